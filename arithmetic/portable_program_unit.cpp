// Builds for machines without an x87 compute with the portable unit.
#include "arithmetic/arithmetic_unit.h"

namespace tavelo::arithmetic {

const ArithmeticUnit& kProgramUnit = kPortableUnit;

}  // namespace tavelo::arithmetic
