// The Windows error number each errno value stands for: the one table the
// POSIX backend and the web backend (whose hosts answer errno values)
// share.
#pragma once

#include <cstdint>

namespace tavelo::platform {

std::uint32_t error_from_errno(int code);

}  // namespace tavelo::platform
