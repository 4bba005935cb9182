// Builds for x86 compute with the x87 itself.
#include "runtime/x87_unit.h"

namespace tavelo::runtime {

const ArithmeticUnit& kProgramUnit = kX87Unit;

}  // namespace tavelo::runtime
