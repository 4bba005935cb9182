// The wordings of the message indices this program raises, and their
// formatting with the raiser's integer arguments.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace tavelo::runtime {

// The wording of a message index ("" where the program never raises it).
std::string_view message_template(std::int32_t index);
// Fills each %d with the next argument (%% is one %), at most 999 characters.
// The text is made in a buffer of the process, not on the heap, so that a
// report can be written when memory has run out; it lasts until the next
// call.
std::string_view format_message(std::string_view text, std::initializer_list<long long> arguments);

// Puts the decimal digits of `value`, with a '-' when negative, one
// character at a time through `put`.
template <typename Put>
void put_decimal(long long value, Put put) {
  char digits[20];
  int count = 0;
  unsigned long long magnitude = value < 0 ? 0ull - static_cast<unsigned long long>(value)
                                           : static_cast<unsigned long long>(value);
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) put('-');
  while (count > 0) put(digits[--count]);
}

}  // namespace tavelo::runtime
