// Rounding of exact significands wider than the result, shared by the
// stores and the portable unit's arithmetic.
#pragma once

#include <cstdint>

#include "arithmetic/extended_real.h"

namespace tavelo::arithmetic {

struct Rounded {
  std::uint64_t bits;  // the kept bits, as an integer
  bool carried;        // rounding overflowed them: bits is then the top bit alone
};

// hi:lo, with `sticky` standing for anything non-zero below lo, rounded to
// nearest (ties to even) at bit `drop` of hi: the bits of hi above the
// lowest `drop` (0..63).
inline Rounded round_bits(std::uint64_t hi, std::uint64_t lo, bool sticky, int drop) {
  const std::uint64_t kept = drop == 0 ? hi : hi >> drop;
  bool above, tie;
  if (drop == 0) {
    above = lo > kIntegerBit || (lo == kIntegerBit && sticky);
    tie = lo == kIntegerBit && !sticky;
  } else {
    const std::uint64_t rest = hi & ((std::uint64_t{1} << drop) - 1);
    const std::uint64_t half = std::uint64_t{1} << (drop - 1);
    above = rest > half || (rest == half && (lo != 0 || sticky));
    tie = rest == half && lo == 0 && !sticky;
  }
  if (!(above || (tie && (kept & 1) != 0))) return {kept, false};
  const std::uint64_t limit = drop == 0 ? 0 : std::uint64_t{1} << (64 - drop);
  const std::uint64_t up = kept + 1;
  if (up == limit) return {std::uint64_t{1} << (63 - drop), true};
  return {up, false};
}

struct Shifted {
  std::uint64_t hi;
  std::uint64_t lo;
  bool sticky;
};

// significand · 2^-shift as hi:lo (significand at hi), bits lost below lo
// kept as the sticky flag.
inline Shifted shift_right(std::uint64_t significand, std::int32_t shift) {
  if (shift == 0) return {significand, 0, false};
  if (shift < 64) return {significand >> shift, significand << (64 - shift), false};
  if (shift == 64) return {0, significand, false};
  if (shift < 128) {
    return {0, significand >> (shift - 64), (significand << (128 - shift)) != 0};
  }
  return {0, 0, significand != 0};
}

// ±hi:lo · 2^(exponent − 127), hi normalised, rounded to `precision` bits
// (24, 53 or 64) and packed.
Extended round_extended(bool negative, std::int32_t exponent, std::uint64_t hi, std::uint64_t lo,
                        bool sticky, int precision);

}  // namespace tavelo::arithmetic
