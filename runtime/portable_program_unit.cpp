// Builds for machines without an x87 compute with the portable unit.
#include "runtime/arithmetic_unit.h"

namespace tavelo::runtime {

const ArithmeticUnit& kProgramUnit = kPortableUnit;

}  // namespace tavelo::runtime
