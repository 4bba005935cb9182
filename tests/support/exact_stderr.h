// Death tests that check standard error to the byte.
#pragma once

#include <string>
#include <string_view>

namespace tavelo::testing {

// A regular expression matching exactly `bytes` and nothing else, except
// that a CR before an LF may be missing: GoogleTest reads a death test's
// standard error in text mode on Windows. The bytes themselves, CR and all,
// are checked by the report-composing tests and end to end.
inline std::string exactly(std::string_view bytes) {
  std::string pattern = "^";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') {
      pattern += "\r?";
      continue;
    }
    if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) pattern += '\\';
    pattern += c;
  }
  return pattern + "$";
}

}  // namespace tavelo::testing
