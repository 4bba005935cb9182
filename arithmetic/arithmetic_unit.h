// The arithmetic unit the correlation and the power function compute with.
//
// Two units give the same results: the x87 itself, on x86 processors (the
// original's own arithmetic), and a portable one in software for every
// other machine, which follows the x87's rounding step by step. The build
// picks the program's unit; the tests can run the portable one anywhere.
#pragma once

#include <cstdint>

#include "arithmetic/extended_real.h"

namespace tavelo::arithmetic {

struct ArithmeticUnit {
  // The x87 control word: the precision field (bits 8-9) says where add,
  // multiply and divide round (24, 53 or 64 bits); rounding is always to
  // nearest and every exception stays masked.
  std::uint16_t (*control_word)();
  void (*set_control_word)(std::uint16_t word);
  Extended (*add)(Extended a, Extended b);
  Extended (*multiply)(Extended a, Extended b);
  Extended (*divide)(Extended dividend, Extended divisor);
  // y · log2(x) for finite y and x > 0, and 2^f − 1 for |f| <= 1/2, each
  // rounded once to 64 bits whatever the precision field says.
  Extended (*y_log2_x)(Extended y, Extended x);
  Extended (*exp2_minus_1)(Extended f);
  // 2^t for |t| < 32767.5 by the unit's own steps under a 64-bit word:
  // n = t to the nearest integer, f = t - n, p = (2^|f| - 1) + 1, 1/p when
  // f < 0, then p · 2^n. Below the unit's normal range the result may be
  // one of its denormals or zero; the caller's range check makes it zero.
  Extended (*power_of_two)(Extended t);
  // The store to a single: nearest, infinite past the single range.
  float (*store_single)(Extended value);
};

extern const ArithmeticUnit kPortableUnit;
// The unit this build's program computes with.
extern const ArithmeticUnit& kProgramUnit;

// The unit in use (the program's unless a test chose another), and the
// choice; answers the unit used before.
const ArithmeticUnit& arithmetic_unit();
const ArithmeticUnit& use_arithmetic_unit(const ArithmeticUnit& unit);

}  // namespace tavelo::arithmetic
