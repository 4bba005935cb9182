// The x87 as an arithmetic unit, on x86 builds.
#pragma once

#include "runtime/arithmetic_unit.h"

namespace tavelo::runtime {

extern const ArithmeticUnit kX87Unit;

}  // namespace tavelo::runtime
