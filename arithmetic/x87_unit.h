// The x87 as an arithmetic unit, on x86 builds.
#pragma once

#include "arithmetic/arithmetic_unit.h"

namespace tavelo::arithmetic {

extern const ArithmeticUnit kX87Unit;

}  // namespace tavelo::arithmetic
