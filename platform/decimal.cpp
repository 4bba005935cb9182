// Decimal to double where the C++ library converts floating-point text.
#include <charconv>

#include "platform/platform.h"

namespace tavelo::platform {

bool decimal_to_double(const char* text, std::size_t length, double* value) {
  return std::from_chars(text, text + length, *value).ec != std::errc::result_out_of_range;
}

}  // namespace tavelo::platform
