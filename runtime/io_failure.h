// Open and write failures: the platform's reason as the message index of
// the report, in one place for the console and the results file.
#pragma once

#include <cstdint>

namespace tavelo::runtime {

// A failed CreateFileA: access denied, file exists, not found, no free
// descriptor, invalid name, or kOpenFailed (which shows the reason).
std::int32_t open_failure_message(std::uint32_t platform_error);
// A failed write or cut: disk full, access denied, or kWriteFailed (which
// shows the reason).
std::int32_t write_failure_message(std::uint32_t platform_error);

}  // namespace tavelo::runtime
