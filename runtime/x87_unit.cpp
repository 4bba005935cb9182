#include "runtime/x87_unit.h"

#include "platform/x87.h"

namespace tavelo::runtime {

const ArithmeticUnit kX87Unit{
    platform::x87::control_word, platform::x87::set_control_word, platform::x87::add,
    platform::x87::multiply,     platform::x87::divide,           platform::x87::y_log2_x,
    platform::x87::exp2_minus_1, platform::x87::power_of_two,     platform::x87::store_single,
};

}  // namespace tavelo::runtime
