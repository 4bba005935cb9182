// Builds for x86 compute with the x87 itself.
#include "arithmetic/x87_unit.h"

namespace tavelo::arithmetic {

const ArithmeticUnit& kProgramUnit = kX87Unit;

}  // namespace tavelo::arithmetic
