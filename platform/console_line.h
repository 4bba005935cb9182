// A typed line as a console hands it to the program: a terminal ends it in
// LF, a console in CR LF.
#pragma once

#include <cstddef>

namespace tavelo::platform {

// The line's new length; `line` has room for one more byte.
inline std::size_t with_console_line_end(char* line, std::size_t length) {
  if (length > 0 && line[length - 1] == '\n') {
    line[length - 1] = '\r';
    line[length++] = '\n';
  }
  return length;
}

}  // namespace tavelo::platform
