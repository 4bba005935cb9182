#include "arithmetic/extended_real.h"

#include <bit>
#include <cstring>

#include "arithmetic/extended_rounding.h"

namespace tavelo::arithmetic {
namespace {

constexpr std::int32_t kMinExponent = 1 - kExtendedBias;
constexpr std::int32_t kMaxExponent = kExtendedBias;

std::uint16_t sign_field(bool negative) { return negative ? kSignBit : 0; }

Extended signed_zero(bool negative) { return {0, sign_field(negative)}; }

// ±magnitude, exactly: a 64-bit integer always fits the significand.
Extended from_magnitude(bool negative, std::uint64_t magnitude, std::int32_t exponent_of_bit_0) {
  if (magnitude == 0) return signed_zero(negative);
  const int shift = std::countl_zero(magnitude);
  return pack(negative, exponent_of_bit_0 + 63 - shift, magnitude << shift);
}

// A binary interchange format: `precision` significand bits (the hidden
// one included) and exponents kMin..kMax for normal numbers.
struct BinaryFormat {
  int precision;
  std::int32_t min_exponent;
  std::int32_t max_exponent;
  int sign_position;
};
constexpr BinaryFormat kSingle{24, -126, 127, 31};
constexpr BinaryFormat kDouble{53, -1022, 1023, 63};

std::uint64_t exponent_bits(const BinaryFormat& f, std::int32_t exponent) {
  return static_cast<std::uint64_t>(exponent - f.min_exponent + 1) << (f.precision - 1);
}

// The bits of `value` rounded to nearest (ties to even) in format `f`, with
// gradual underflow and infinities past its range, as a store rounds.
std::uint64_t binary_from_extended(Extended value, const BinaryFormat& f) {
  const std::uint64_t sign = static_cast<std::uint64_t>(sign_bit(value)) << f.sign_position;
  const std::uint64_t infinity = exponent_bits(f, f.max_exponent + 1);
  const std::uint64_t fraction_mask = (std::uint64_t{1} << (f.precision - 1)) - 1;
  if (is_nan(value)) return sign | infinity | (std::uint64_t{1} << (f.precision - 2));
  if (is_infinite(value)) return sign | infinity;
  if (is_zero(value)) return sign;
  const Unpacked u = unpack(value);
  const int drop = 64 - f.precision;
  if (u.exponent >= f.min_exponent) {
    const Rounded r = round_bits(u.significand, 0, false, drop);
    const std::int32_t exponent = u.exponent + (r.carried ? 1 : 0);
    if (exponent > f.max_exponent) return sign | infinity;
    return sign | exponent_bits(f, exponent) | (r.bits & fraction_mask);
  }
  // Below the normal range the significand moves right; a carry out of the
  // fraction lands in the exponent field as the smallest normal number.
  const Shifted s = shift_right(u.significand, f.min_exponent - u.exponent);
  return sign | round_bits(s.hi, s.lo, s.sticky, drop).bits;
}

// The value of `bits` in format `f`, exactly; a NaN comes in quiet, as a
// load quiets it, with its payload.
Extended extended_from_binary(std::uint64_t bits, const BinaryFormat& f) {
  const int fraction_bits = f.precision - 1;
  const bool negative = ((bits >> f.sign_position) & 1) != 0;
  const std::int32_t all_ones = 2 * f.max_exponent + 1;
  const auto biased =
      static_cast<std::int32_t>((bits >> fraction_bits) & static_cast<std::uint64_t>(all_ones));
  const std::uint64_t fraction = bits & ((std::uint64_t{1} << fraction_bits) - 1);
  const int widen = 64 - f.precision;
  if (biased == all_ones) {
    const std::uint64_t quiet = fraction == 0 ? 0 : std::uint64_t{1} << 62;
    return {kIntegerBit | quiet | (fraction << widen),
            static_cast<std::uint16_t>(sign_field(negative) | kExponentField)};
  }
  if (biased == 0) return from_magnitude(negative, fraction, f.min_exponent - fraction_bits);
  return pack(negative, biased - f.max_exponent,
              ((std::uint64_t{1} << fraction_bits) | fraction) << widen);
}

}  // namespace

Unpacked unpack(Extended x) {
  const bool negative = sign_bit(x);
  const std::int32_t biased = biased_exponent(x);
  if (biased != 0) return {negative, biased - kExtendedBias, x.significand};
  const int shift = std::countl_zero(x.significand);
  return {negative, kMinExponent - shift, x.significand << shift};
}

Extended pack(bool negative, std::int32_t exponent, std::uint64_t significand) {
  if (exponent > kMaxExponent) {
    return {kIntegerBit, static_cast<std::uint16_t>(sign_field(negative) | kExponentField)};
  }
  if (exponent < kMinExponent) return signed_zero(negative);
  return {significand,
          static_cast<std::uint16_t>(sign_field(negative) | (exponent + kExtendedBias))};
}

Extended round_extended(bool negative, std::int32_t exponent, std::uint64_t hi, std::uint64_t lo,
                        bool sticky, int precision) {
  const int drop = 64 - precision;
  const Rounded r = round_bits(hi, lo, sticky, drop);
  return pack(negative, exponent + (r.carried ? 1 : 0), r.bits << drop);
}

Extended extended_from_unusual_single(float value) {
  return extended_from_binary(platform::bit_cast<std::uint32_t>(value), kSingle);
}

Extended extended_from_double(double value) {
  return extended_from_binary(platform::bit_cast<std::uint64_t>(value), kDouble);
}

Extended extended_from_integer(std::int64_t value) {
  const bool negative = value < 0;
  const std::uint64_t magnitude =
      negative ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
  return from_magnitude(negative, magnitude, 0);
}

float single_from_extended(Extended value) {
  const auto bits = static_cast<std::uint32_t>(binary_from_extended(value, kSingle));
  float single = 0;
  std::memcpy(&single, &bits, sizeof single);
  return single;
}

double double_from_extended(Extended value) {
  const std::uint64_t bits = binary_from_extended(value, kDouble);
  double result = 0;
  std::memcpy(&result, &bits, sizeof result);
  return result;
}

int compare(Extended a, Extended b) {
  if (is_zero(a) && is_zero(b)) return 0;
  if (sign_bit(a) != sign_bit(b)) return sign_bit(a) ? -1 : 1;
  const int order =
      biased_exponent(a) != biased_exponent(b)
          ? (biased_exponent(a) < biased_exponent(b) ? -1 : 1)
          : (a.significand == b.significand ? 0 : (a.significand < b.significand ? -1 : 1));
  return sign_bit(a) ? -order : order;
}

Extended nearest_integer(Extended value) {
  if (is_nan(value) || is_infinite(value) || is_zero(value)) return value;
  const Unpacked u = unpack(value);
  if (u.exponent >= 63) return value;
  if (u.exponent < -1) return signed_zero(u.negative);
  const int fraction_bits = 63 - u.exponent;  // 1..64
  if (fraction_bits == 64) {                  // 0.5 <= |value| < 1: a tie goes to 0
    return u.significand > kIntegerBit ? from_magnitude(u.negative, 1, 0) : signed_zero(u.negative);
  }
  std::uint64_t whole = u.significand >> fraction_bits;
  const std::uint64_t rest = u.significand & ((std::uint64_t{1} << fraction_bits) - 1);
  const std::uint64_t half = std::uint64_t{1} << (fraction_bits - 1);
  if (rest > half || (rest == half && (whole & 1) != 0)) ++whole;
  return from_magnitude(u.negative, whole, 0);
}

bool is_integer(Extended value) {
  if (is_zero(value)) return true;
  if (is_nan(value) || is_infinite(value)) return false;
  const Unpacked u = unpack(value);
  if (u.exponent >= 63) return true;
  if (u.exponent < 0) return false;
  return (u.significand << (u.exponent + 1)) == 0;
}

bool is_odd_integer(Extended value) {
  if (!is_integer(value) || is_zero(value)) return false;
  const Unpacked u = unpack(value);
  return u.exponent <= 63 && ((u.significand >> (63 - u.exponent)) & 1) != 0;
}

Extended scale(Extended value, std::int32_t n) {
  if (is_nan(value) || is_infinite(value) || is_zero(value)) return value;
  const Unpacked u = unpack(value);
  return pack(u.negative, u.exponent + n, u.significand);
}

std::int32_t small_integer(Extended value) {
  if (is_zero(value)) return 0;
  const Unpacked u = unpack(value);
  const auto whole = static_cast<std::int32_t>(u.significand >> (63 - u.exponent));
  return u.negative ? -whole : whole;
}

}  // namespace tavelo::arithmetic
