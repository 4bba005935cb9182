// The power function: base ** exponent in extended precision, worked out
// in the arithmetic unit's steps as the original's library does, so that
// results round alike, and reporting its errors through the floating-point
// environment.
#pragma once

#include "runtime/float_env.h"

namespace tavelo::runtime {

Real real_power(Real base, Real exponent);

// pow(x, y) in `unit` with its error class, reporting nothing: the steps of
// real_power alone, for holding one unit to another.
Real power_of(const ArithmeticUnit& unit, Real x, Real y, MathErrorType& type);

}  // namespace tavelo::runtime
