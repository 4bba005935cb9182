// Decimal to double for WebAssembly, whose C++ library converts no
// floating-point text: its C library's strtod rounds correctly too.
#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/platform.h"

namespace tavelo::platform {

bool decimal_to_double(const char* text, std::size_t length, double* value) {
  const std::string terminated(text, length);
  errno = 0;
  const double converted = std::strtod(terminated.c_str(), nullptr);
  if (errno == ERANGE) return false;
  *value = converted;
  return true;
}

}  // namespace tavelo::platform
