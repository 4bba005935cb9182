// A command line split into its program and arguments, as the backends
// that start programs without a Windows loader need it.
#pragma once

#include <string>
#include <vector>

namespace tavelo::platform {

// The words of `line` by the Microsoft C run-time's rules; the first, the
// program, is empty when the line names none.
std::vector<std::string> split_command_line(const char* line);

}  // namespace tavelo::platform
