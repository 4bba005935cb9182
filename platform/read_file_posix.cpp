// Reads from standard input. A terminal is made to answer as a console
// does: one typed line per read, ending in CR LF, handed out at most `size`
// bytes at a time, so a long line arrives over several reads. Whether
// standard input is a terminal is decided once, when start-up takes it.
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/console_line.h"
#include "platform/platform.h"
#include "platform/posix_calls.h"

namespace tavelo::platform {
namespace {

int terminal_input = -1;
ConsoleLine terminal_line;

// ReadFile waits for data. A descriptor handed over non-blocking answers
// "nothing yet" instead, so the read waits for data itself and tries again.
ssize_t read_waiting(int fd, void* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = retry_on_interrupt([&] { return ::read(fd, buffer, size); });
    if (n >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return n;
    pollfd entry{fd, POLLIN, 0};
    if (retry_on_interrupt([&] { return ::poll(&entry, 1, -1); }) < 0) return -1;
  }
}

}  // namespace

void decide_input_kind(int fd) { terminal_input = isatty(fd) != 0 ? fd : -1; }

bool read_file(Handle handle, void* buffer, std::uint32_t size, std::uint32_t* done) {
  const int fd = static_cast<int>(handle);
  *done = 0;
  if (fd != terminal_input) {
    const ssize_t n = read_waiting(fd, buffer, size);
    if (n < 0) {
      set_last_error_from_errno();
      return false;
    }
    *done = static_cast<std::uint32_t>(n);
    return true;
  }
  const bool handed = terminal_line.hand_over(
      [fd](char* line, std::size_t capacity) { return read_waiting(fd, line, capacity); }, buffer,
      size, done);
  if (!handed) set_last_error_from_errno();
  return handed;
}

}  // namespace tavelo::platform
