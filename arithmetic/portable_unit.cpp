// The x87's arithmetic in portable code. Add, multiply and divide work out
// the exact result (as wide integers) and round it once, where the control
// word's precision field says, just as the unit does; so do the stores.
// The unit's fyl2x and f2xm1 are computed to 128 bits and rounded once to
// 64, which is what the unit aims at.
#include <utility>

#include "arithmetic/arithmetic_unit.h"
#include "arithmetic/extended_rounding.h"
#include "arithmetic/power_tables.h"
#include "arithmetic/wide_real.h"
#include "platform/wide_multiply.h"

namespace tavelo::arithmetic {
namespace {

// The word a process starts with: 53-bit precision, all masked. Each thread
// has its own, as each has its own x87.
thread_local std::uint16_t control = 0x027F;

std::uint16_t portable_control_word() { return control; }
void portable_set_control_word(std::uint16_t word) { control = word; }

int precision() {
  switch ((control >> 8) & 3) {
    case 0: return 24;
    case 2: return 53;
    default: return 64;
  }
}

Extended quiet(Extended nan) {
  return {nan.significand | (std::uint64_t{1} << 62), nan.sign_exponent};
}

// NaN operands: the first one, quietened.
bool either_nan(Extended a, Extended b, Extended& result) {
  if (is_nan(a) || is_nan(b)) {
    result = quiet(is_nan(a) ? a : b);
    return true;
  }
  return false;
}

Extended signed_value(Extended magnitude_value, bool negative) {
  return negative ? negate(magnitude(magnitude_value)) : magnitude(magnitude_value);
}

Extended portable_add(Extended a, Extended b) {
  Extended result;
  if (either_nan(a, b, result)) return result;
  if (is_infinite(a) || is_infinite(b)) {
    if (is_infinite(a) && is_infinite(b) && sign_bit(a) != sign_bit(b)) return kIndefinite;
    return is_infinite(a) ? a : b;
  }
  if (is_zero(a) && is_zero(b)) return signed_value({}, sign_bit(a) && sign_bit(b));
  if (is_zero(a) || is_zero(b)) {
    const Unpacked u = unpack(is_zero(a) ? b : a);
    return round_extended(u.negative, u.exponent, u.significand, 0, false, precision());
  }
  Unpacked big = unpack(a), small = unpack(b);
  if (big.exponent < small.exponent ||
      (big.exponent == small.exponent && big.significand < small.significand)) {
    std::swap(big, small);
  }
  const Shifted s = shift_right(small.significand, big.exponent - small.exponent);
  std::uint64_t hi = big.significand, lo = 0;
  if (big.negative == small.negative) {
    lo = s.lo;
    hi += s.hi;
    if (hi < big.significand) {  // carried out: one place right
      const bool lost = (lo & 1) != 0;
      lo = (lo >> 1) | (hi << 63);
      hi = (hi >> 1) | kIntegerBit;
      return round_extended(big.negative, big.exponent + 1, hi, lo, s.sticky || lost, precision());
    }
    return round_extended(big.negative, big.exponent, hi, lo, s.sticky, precision());
  }
  // The smaller one's bits lost below lo make the difference a little
  // smaller than hi:lo − 1 would be: borrow one and keep the sticky bit.
  lo = 0 - s.lo;
  hi = hi - s.hi - (s.lo != 0 ? 1 : 0);
  if (s.sticky) {
    hi -= lo == 0 ? 1 : 0;
    lo -= 1;
  }
  if (hi == 0 && lo == 0 && !s.sticky) return {};
  const portable::Wide w = portable::normalised(big.negative, big.exponent, hi, lo);
  return round_extended(w.negative, w.exponent, w.hi, w.lo, s.sticky, precision());
}

Extended portable_multiply(Extended a, Extended b) {
  Extended result;
  if (either_nan(a, b, result)) return result;
  const bool negative = sign_bit(a) != sign_bit(b);
  if (is_infinite(a) || is_infinite(b)) {
    if (is_zero(a) || is_zero(b)) return kIndefinite;
    return signed_value(kExtendedInfinity, negative);
  }
  if (is_zero(a) || is_zero(b)) return signed_value({}, negative);
  const Unpacked ua = unpack(a), ub = unpack(b);
  const platform::Product128 p = platform::multiply_64x64(ua.significand, ub.significand);
  const std::int32_t exponent = ua.exponent + ub.exponent;
  if ((p.hi >> 63) != 0)
    return round_extended(negative, exponent + 1, p.hi, p.lo, false, precision());
  return round_extended(negative, exponent, (p.hi << 1) | (p.lo >> 63), p.lo << 1, false,
                        precision());
}

Extended portable_divide(Extended dividend, Extended divisor) {
  Extended result;
  if (either_nan(dividend, divisor, result)) return result;
  const bool negative = sign_bit(dividend) != sign_bit(divisor);
  if (is_infinite(dividend)) {
    return is_infinite(divisor) ? kIndefinite : signed_value(kExtendedInfinity, negative);
  }
  if (is_infinite(divisor)) return signed_value({}, negative);
  if (is_zero(divisor)) {
    return is_zero(dividend) ? kIndefinite : signed_value(kExtendedInfinity, negative);
  }
  if (is_zero(dividend)) return signed_value({}, negative);
  const Unpacked n = unpack(dividend), d = unpack(divisor);
  // 66 quotient bits by long division, the first one set, then the rest.
  std::int32_t exponent = n.exponent - d.exponent;
  std::uint64_t remainder = n.significand;
  bool carry = false;  // bit 64 of the remainder
  if (remainder < d.significand) {
    --exponent;
    carry = (remainder >> 63) != 0;
    remainder <<= 1;
  }
  // The bits enter low and move up: after 66 the first two are in `top`.
  std::uint64_t top = 0, low = 0;
  for (int bit = 0; bit < 66; ++bit) {
    const bool one = carry || remainder >= d.significand;
    if (one) remainder -= d.significand;
    top = (top << 1) | (low >> 63);
    low = (low << 1) | (one ? 1 : 0);
    carry = (remainder >> 63) != 0;
    remainder <<= 1;
  }
  return round_extended(negative, exponent, (top << 62) | (low >> 2), (low & 3) << 62,
                        remainder != 0 || carry, precision());
}

// log2(x) for a finite x > 0.
portable::Wide log2_of(Extended x) {
  using namespace portable;
  const Unpacked u = unpack(x);
  // s = significand / 2^63 in [1, 2); its nearest step c = 1 + j/128.
  const auto j = static_cast<int>((u.significand - kIntegerBit + (std::uint64_t{1} << 55)) >> 56);
  const platform::Product128 p = platform::multiply_64x64(u.significand, kLogReciprocals[j]);
  // s times the reciprocal, exactly, is (hi:lo) / 2^79 = 1 + z.
  constexpr std::uint64_t kOneHi = std::uint64_t{1} << 15;
  const bool below_one = p.hi < kOneHi;
  std::uint64_t z_hi, z_lo;
  if (below_one) {
    z_lo = 0 - p.lo;
    z_hi = kOneHi - p.hi - (p.lo != 0 ? 1 : 0);
  } else {
    z_lo = p.lo;
    z_hi = p.hi - kOneHi;
  }
  const Wide z = normalised(below_one, 127 - 79, z_hi, z_lo);
  Wide series = kLog2Series[kLogTerms - 1];
  for (int k = kLogTerms - 2; k >= 0; --k)
    series = wide_add(wide_multiply(series, z), kLog2Series[k]);
  const Wide exponent = wide_from_integer(
      u.exponent < 0, static_cast<std::uint64_t>(u.exponent < 0 ? -u.exponent : u.exponent), 0);
  return wide_add(wide_add(exponent, kLogOfReciprocals[j]), wide_multiply(series, z));
}

Extended portable_y_log2_x(Extended y, Extended x) {
  if (is_nan(x) || is_nan(y) || is_infinite(x) || is_infinite(y) || sign_bit(x) || is_zero(x)) {
    return kIndefinite;
  }
  return portable::wide_to_extended(
      portable::wide_multiply(portable::wide_from_extended(y), log2_of(x)));
}

Extended portable_exp2_minus_1(Extended f) {
  using namespace portable;
  if (is_nan(f) || is_infinite(f)) return kIndefinite;
  if (arithmetic::is_zero(f)) return f;
  const Unpacked u = unpack(f);
  if (u.exponent > -1 || (u.exponent == -1 && u.significand != kIntegerBit)) return kIndefinite;
  // j = 64 f rounded: f = j/64 + r with |r| <= 1/128.
  int j = 0;
  if (u.exponent == -7) {
    j = 1;
  } else if (u.exponent > -7) {
    const int shift = 57 - u.exponent;
    j = static_cast<int>(((u.significand >> (shift - 1)) + 1) >> 1);
  }
  if (u.negative) j = -j;
  const Wide step = wide_from_integer(j < 0, static_cast<std::uint64_t>(j < 0 ? -j : j), -6);
  const Wide r = wide_add(wide_from_extended(f), wide_negate(step));
  const Wide v = wide_multiply(r, kLn2);
  // e^v − 1 = v (1 + v/2! + v^2/3! + ...)
  Wide series = kExpm1Series[kExpTerms - 1];
  for (int k = kExpTerms - 2; k >= 0; --k)
    series = wide_add(wide_multiply(series, v), kExpm1Series[k]);
  const Wide expm1 = wide_multiply(series, v);
  if (j == 0) return wide_to_extended(expm1);
  // 2^f − 1 = (2^(j/64) − 1) + 2^(j/64) (2^r − 1)
  const Wide power = kExp2Steps[j + kExpSteps / 2];
  const Wide minus_one = wide_add(power, wide_from_integer(true, 1, 0));
  return wide_to_extended(wide_add(minus_one, wide_multiply(power, expm1)));
}

}  // namespace

Extended portable_power_of_two(Extended t) {
  const Extended n = nearest_integer(t);
  const Extended f = portable_add(t, negate(n));
  Extended p = portable_add(portable_exp2_minus_1(magnitude(f)), kExtendedOne);
  if (sign_bit(f) && !arithmetic::is_zero(f)) p = portable_divide(kExtendedOne, p);
  return scale(p, small_integer(n));
}

const ArithmeticUnit kPortableUnit{
    portable_control_word, portable_set_control_word, portable_add,
    portable_multiply,     portable_divide,           portable_y_log2_x,
    portable_exp2_minus_1, portable_power_of_two,     single_from_extended,
};

}  // namespace tavelo::arithmetic
