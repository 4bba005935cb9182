// The power function: base ** exponent in extended precision, worked out
// on the x87 unit as the original's library does, so that results round
// alike, and reporting its errors through the floating-point environment.
#pragma once

#include "runtime/float_env.h"

namespace tavelo::runtime {

Real real_power(Real base, Real exponent);

}  // namespace tavelo::runtime
