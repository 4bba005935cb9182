// The x87 floating-point unit, where the processor has one (the build
// compiles fpu_x87.cpp only for x86 targets): its control word and the
// operations the correlation and the power function use, each done by the
// unit itself under the control word in force, on values passed in the
// unit's own extended format.
#pragma once

#include <cstdint>

#include "platform/extended.h"

namespace tavelo::platform::x87 {

// fnstcw / fldcw.
std::uint16_t control_word();
void set_control_word(std::uint16_t word);
// fadd, fmul, fdiv: rounded as the precision control says.
Extended add(Extended a, Extended b);
Extended multiply(Extended a, Extended b);
Extended divide(Extended dividend, Extended divisor);
// fyl2x: y * log2(x); f2xm1: 2^f - 1 for |f| <= 1; both to 64 bits.
Extended y_log2_x(Extended y, Extended x);
Extended exp2_minus_1(Extended f);
// fstp to a single: rounded to nearest, infinite past the single range.
// 2^t for |t| < 32767.5: frndint, fsub, f2xm1 of |f|, fld1 + fadd, fdiv
// when f < 0, fscale, in one call so that the power costs little more
// than the unit's own instructions.
Extended power_of_two(Extended t);
float store_single(Extended value);

}  // namespace tavelo::platform::x87
