// Death tests that check standard error to the byte.
#pragma once

#include <string>
#include <string_view>

namespace tavelo::testing {

// A regular expression matching exactly `bytes` and nothing else.
inline std::string exactly(std::string_view bytes) {
  std::string pattern = "^";
  for (char c : bytes) {
    if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) pattern += '\\';
    pattern += c;
  }
  return pattern + "$";
}

}  // namespace tavelo::testing
