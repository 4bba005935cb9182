// The wordings of the message indices this program raises.
#pragma once

#include <cstdint>
#include <string_view>

namespace tavelo::runtime {

// The wording of a message index ("" where the program never raises it).
std::string_view message_template(std::int32_t index);

}  // namespace tavelo::runtime
