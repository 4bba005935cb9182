// The Windows error number each errno value stands for: the one table the
// POSIX backend and the web backend (whose hosts answer errno values)
// share.
#pragma once

#include <cstdint>

namespace tavelo::platform {

std::uint32_t error_from_errno(int code);
// The same for a failed write or cut: on a handle opened without write
// access, WriteFile and SetEndOfFile fail with access denied, where POSIX
// answers EBADF or EINVAL.
std::uint32_t error_from_write_errno(int code, bool read_only);

}  // namespace tavelo::platform
