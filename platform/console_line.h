// A typed line as a console hands it to the program: a terminal gives the
// line ending in LF, a console hands it over ending in CR LF, one line per
// read and at most the bytes asked for, so that a long line arrives over
// several reads.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tavelo::platform {

class ConsoleLine {
 public:
  // One read from the console: the rest of the last line, or a new one from
  // `read_line(buffer, capacity)`, which answers its length or -1 on failure
  // (false then, nothing handed over).
  template <typename ReadLine>
  bool hand_over(ReadLine read_line, void* buffer, std::uint32_t size, std::uint32_t* done) {
    *done = 0;
    if (start_ == end_) {
      const auto n = read_line(line_, sizeof line_ - 1);
      if (n < 0) return false;
      start_ = 0;
      end_ = static_cast<std::size_t>(n);
      if (end_ > 0 && line_[end_ - 1] == '\n') {
        line_[end_ - 1] = '\r';
        line_[end_++] = '\n';
      }
    }
    const std::size_t count = std::min<std::size_t>(size, end_ - start_);
    std::memcpy(buffer, line_ + start_, count);
    start_ += count;
    *done = static_cast<std::uint32_t>(count);
    return true;
  }

 private:
  // A canonical-mode terminal line is at most 4096 bytes; one more for the CR.
  char line_[4097];
  std::size_t start_ = 0;
  std::size_t end_ = 0;
};

}  // namespace tavelo::platform
