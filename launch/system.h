// Runs a command line through the command interpreter and waits for it.
#pragma once

#include <cstdint>

namespace tavelo::launch {

// The interpreter's exit code, or -1 (reason in the platform's last error,
// tagged 0x2FFF0000) when no process could be run.
std::int32_t system(const char* command, std::int32_t length);

}  // namespace tavelo::launch
