// The wordings of the message indices this program raises, and their
// formatting with the raiser's integer arguments.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace tavelo::runtime {

// The wording of a message index ("" where the program never raises it).
std::string_view message_template(std::int32_t index);
// Fills each %d with the next argument (%% is one %), at most 999 characters.
std::string format_message(std::string_view text, std::initializer_list<long long> arguments);

}  // namespace tavelo::runtime
