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

// A test name from a case's description: letters and digits, words joined
// by underscores.
inline std::string case_name(std::string_view what) {
  std::string name;
  for (char c : what) {
    const bool keep = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (keep) {
      name += c;
    } else if (!name.empty() && name.back() != '_') {
      name += '_';
    }
  }
  while (!name.empty() && name.back() == '_') name.pop_back();
  return name;
}

}  // namespace tavelo::testing
