// The portable unit's working precision for logarithms and exponentials:
// 128-bit significands, twice the x87's, so that a result rounded to 64
// bits from them is the correctly rounded one but for values within about
// 2^-110 relative of a rounding boundary.
#pragma once

#include <bit>
#include <cstdint>

#include "arithmetic/extended_rounding.h"
#include "platform/wide_multiply.h"

namespace tavelo::arithmetic::portable {

// ±(hi · 2^64 + lo) · 2^(exponent − 127): the leading bit of hi is set, or
// hi and lo are both zero for zero.
struct Wide {
  std::uint64_t hi;
  std::uint64_t lo;
  std::int32_t exponent;
  bool negative;
};

inline bool is_zero(const Wide& w) { return w.hi == 0 && w.lo == 0; }

// ±hi:lo · 2^(exponent − 127) with hi:lo not yet normalised.
inline Wide normalised(bool negative, std::int32_t exponent, std::uint64_t hi, std::uint64_t lo) {
  if (hi == 0 && lo == 0) return {0, 0, 0, negative};
  if (hi == 0) {
    hi = lo;
    lo = 0;
    exponent -= 64;
  }
  const int shift = std::countl_zero(hi);
  if (shift != 0) {
    hi = (hi << shift) | (lo >> (64 - shift));
    lo <<= shift;
  }
  return {hi, lo, exponent - shift, negative};
}

inline Wide wide_from_extended(Extended x) {
  if (arithmetic::is_zero(x)) return {0, 0, 0, sign_bit(x)};
  const Unpacked u = unpack(x);
  return {u.significand, 0, u.exponent, u.negative};
}

// ±magnitude · 2^exponent_of_bit_0.
inline Wide wide_from_integer(bool negative, std::uint64_t magnitude,
                              std::int32_t exponent_of_bit_0) {
  return normalised(negative, exponent_of_bit_0 + 63, magnitude, 0);
}

// Rounded to 64 bits, nearest, ties to even.
inline Extended wide_to_extended(const Wide& w) {
  if (is_zero(w)) return {0, static_cast<std::uint16_t>(w.negative ? kSignBit : 0)};
  return round_extended(w.negative, w.exponent, w.hi, w.lo, false, 64);
}

// The product's leading 128 bits; the parts below 2^-128 of it that are
// left out make it short by less than 2 units of its last place.
inline Wide wide_multiply(const Wide& a, const Wide& b) {
  const bool negative = a.negative != b.negative;
  if (is_zero(a) || is_zero(b)) return {0, 0, 0, negative};
  const platform::Product128 hh = platform::multiply_64x64(a.hi, b.hi);
  const platform::Product128 hl = platform::multiply_64x64(a.hi, b.lo);
  const platform::Product128 lh = platform::multiply_64x64(a.lo, b.hi);
  const std::uint64_t w1 = hl.lo + lh.lo;
  const std::uint64_t c1 = w1 < hl.lo ? 1 : 0;
  std::uint64_t w2 = hh.lo + hl.hi;
  std::uint64_t c2 = w2 < hh.lo ? 1 : 0;
  w2 += lh.hi;
  c2 += w2 < lh.hi ? 1 : 0;
  w2 += c1;
  c2 += (w2 < c1) ? 1 : 0;
  const std::uint64_t w3 = hh.hi + c2;
  const std::int32_t exponent = a.exponent + b.exponent;
  if ((w3 >> 63) != 0) return {w3, w2, exponent + 1, negative};
  return {(w3 << 1) | (w2 >> 63), (w2 << 1) | (w1 >> 63), exponent, negative};
}

// The sum, the smaller operand's bits beyond 128 below the larger's
// leading bit left out.
inline Wide wide_add(const Wide& a, const Wide& b) {
  if (is_zero(a)) return b;
  if (is_zero(b)) return a;
  const bool a_larger = a.exponent != b.exponent ? a.exponent > b.exponent
                                                 : (a.hi != b.hi ? a.hi > b.hi : a.lo >= b.lo);
  const Wide& big = a_larger ? a : b;
  const Wide& small = a_larger ? b : a;
  const std::int32_t d = big.exponent - small.exponent;
  if (d >= 128) return big;
  std::uint64_t s_hi = small.hi, s_lo = small.lo;
  if (d >= 64) {
    s_lo = s_hi >> (d - 64);
    s_hi = 0;
  } else if (d > 0) {
    s_lo = (s_lo >> d) | (s_hi << (64 - d));
    s_hi >>= d;
  }
  if (big.negative == small.negative) {
    std::uint64_t lo = big.lo + s_lo;
    std::uint64_t hi = big.hi + s_hi + (lo < big.lo ? 1 : 0);
    const bool carry = hi < big.hi || (hi == big.hi && lo < big.lo);
    if (!carry) return {hi, lo, big.exponent, big.negative};
    lo = (lo >> 1) | (hi << 63);
    hi = (hi >> 1) | kIntegerBit;
    return {hi, lo, big.exponent + 1, big.negative};
  }
  const std::uint64_t lo = big.lo - s_lo;
  const std::uint64_t hi = big.hi - s_hi - (big.lo < s_lo ? 1 : 0);
  return normalised(big.negative, big.exponent, hi, lo);
}

inline Wide wide_negate(Wide w) {
  w.negative = !w.negative;
  return w;
}

}  // namespace tavelo::arithmetic::portable
