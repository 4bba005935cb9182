// What the POSIX backend's files share: errno turned into the Windows error
// numbers, and the retry of a call that a signal interrupted.
#pragma once

#include <cerrno>
#include <cstdint>

namespace tavelo::platform {

// The Windows error number that stands for an errno value.
std::uint32_t error_from_errno(int code);
// The last error from errno.
void set_last_error_from_errno();

// Calls `call` again while it fails with EINTR; returns its last result.
template <typename Call>
auto retry_on_interrupt(Call call) {
  auto result = call();
  while (result < 0 && errno == EINTR) result = call();
  return result;
}

}  // namespace tavelo::platform
