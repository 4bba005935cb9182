// Values in the arithmetic unit: the x87's extended format, handled in
// portable code. Everything here is exact (or rounds as the unit's stores
// do), so it gives the same answers whichever unit did the arithmetic.
#pragma once

#include <cstdint>

#include "platform/bit_cast.h"

namespace tavelo::arithmetic {

// The x87's 80-bit format as plain data, so that values pass between the
// portable unit and the x87 itself: a 64-bit significand with its integer
// bit explicit (bit 63), then the sign (bit 15) and the exponent biased by
// 16383 (bits 0-14).
struct Extended {
  std::uint64_t significand = 0;
  std::uint16_t sign_exponent = 0;
  // The same bits: not the numbers' equality (NaNs, the two zeros).
  friend bool operator==(const Extended&, const Extended&) = default;
};

inline constexpr std::int32_t kExtendedBias = 16383;
inline constexpr std::uint16_t kSignBit = 0x8000;
inline constexpr std::uint16_t kExponentField = 0x7FFF;
inline constexpr std::uint64_t kIntegerBit = std::uint64_t{1} << 63;

inline bool sign_bit(Extended x) { return (x.sign_exponent & kSignBit) != 0; }
inline std::uint16_t biased_exponent(Extended x) { return x.sign_exponent & kExponentField; }
inline bool is_nan(Extended x) {
  return biased_exponent(x) == kExponentField && (x.significand << 1) != 0;
}
inline bool is_infinite(Extended x) {
  return biased_exponent(x) == kExponentField && (x.significand << 1) == 0;
}
inline bool is_zero(Extended x) { return biased_exponent(x) == 0 && x.significand == 0; }
inline Extended negate(Extended x) {
  return {x.significand, static_cast<std::uint16_t>(x.sign_exponent ^ kSignBit)};
}
inline Extended magnitude(Extended x) {
  return {x.significand, static_cast<std::uint16_t>(x.sign_exponent & kExponentField)};
}

inline constexpr Extended kExtendedOne{kIntegerBit, kExtendedBias};
inline constexpr Extended kExtendedInfinity{kIntegerBit, kExponentField};
// The unit's answer to an invalid operation: the negative quiet NaN.
inline constexpr Extended kIndefinite{0xC000000000000000u, 0xFFFF};

// A finite non-zero value as ±significand · 2^(exponent − 63), with the
// significand normalised (bit 63 set), also for the unit's own denormals.
struct Unpacked {
  bool negative;
  std::int32_t exponent;
  std::uint64_t significand;
};
Unpacked unpack(Extended x);
// Normalised significand and exponent back to the format: infinite above
// the unit's range; below it, the signed zero (the program's values stay
// within about 1e-84..1e84, and a value that small stores as zero
// everywhere: as a single, a double and as the unit's denormal alike).
Extended pack(bool negative, std::int32_t exponent, std::uint64_t significand);

// Zeros, denormals, infinities and NaNs; the common case is inline, as the
// correlation converts several singles a row.
Extended extended_from_unusual_single(float value);
inline Extended extended_from_single(float value) {
  const auto bits = platform::bit_cast<std::uint32_t>(value);
  const std::uint32_t biased = (bits >> 23) & 0xFF;
  if (biased == 0 || biased == 0xFF) return extended_from_unusual_single(value);
  return {std::uint64_t{(1u << 23) | (bits & 0x7FFFFF)} << 40,
          static_cast<std::uint16_t>(((bits >> 16) & kSignBit) | (biased - 127 + kExtendedBias))};
}
Extended extended_from_double(double value);
Extended extended_from_integer(std::int64_t value);

// Rounded to nearest, ties to even, with gradual underflow, as a store to
// that format rounds.
float single_from_extended(Extended value);
double double_from_extended(Extended value);

// -1, 0 or 1 for a < b, a == b, a > b; neither may be a NaN.
int compare(Extended a, Extended b);
// Rounded to the nearest integer, ties to even (frndint).
Extended nearest_integer(Extended value);
bool is_integer(Extended value);
bool is_odd_integer(Extended value);
// value · 2^n exactly (fscale), within the unit's range.
Extended scale(Extended value, std::int32_t n);
// The integer value of an integral |value| < 2^31.
std::int32_t small_integer(Extended value);

}  // namespace tavelo::arithmetic
