// The constants of the portable logarithm and exponential, to 128 bits
// (arithmetic/power_tables.cpp, written by scripts/power_tables.py).
#pragma once

#include <cstdint>

#include "arithmetic/wide_real.h"

namespace tavelo::arithmetic::portable {

// log2(s) for s in [1, 2]: s = c (1 + z) with c = 1 + j/128, j the nearest
// step, and 1/c replaced by a reciprocal of 16 bits, so that s times it is
// exact and |z| <= 2^-8 + 2^-16.
inline constexpr int kLogSteps = 128;
inline constexpr int kReciprocalBits = 16;
inline constexpr int kLogTerms = 15;
extern const std::uint32_t kLogReciprocals[kLogSteps + 1];
extern const Wide kLogOfReciprocals[kLogSteps + 1];  // -log2(reciprocal)
extern const Wide kLog2Series[kLogTerms];            // (-1)^(k+1) / (k ln 2)

// 2^f − 1 for |f| <= 1/2: f = j/64 + r with |r| <= 1/128.
inline constexpr int kExpSteps = 64;
inline constexpr int kExpTerms = 13;
extern const Wide kExp2Steps[kExpSteps + 1];  // 2^(j/64), j = -32..32
extern const Wide kExpm1Series[kExpTerms];    // 1 / (k + 1)!
extern const Wide kLn2;

}  // namespace tavelo::arithmetic::portable
