// The power function: base ** exponent in extended precision, worked out
// in the arithmetic unit's steps as the original's library does, so that
// results round alike, and reporting its errors through the floating-point
// environment.
#pragma once

#include "arithmetic/float_env.h"

namespace tavelo::arithmetic {

Extended real_power(Extended base, Extended exponent);

// pow(x, y) in `unit` with its error class, reporting nothing: the steps of
// real_power alone, for holding one unit to another.
Extended power_of(const ArithmeticUnit& unit, Extended x, Extended y, MathErrorType& type);

}  // namespace tavelo::arithmetic
