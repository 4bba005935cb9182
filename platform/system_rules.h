// The rules the POSIX and web backends share, written once against what
// each asks of its own system.
#pragma once

#include <cstdint>
#include <string>

namespace tavelo::platform {

// Where a POSIX-like system looks for the default interpreter.
struct ProgramSearch {
  std::string own_folder;  // the running program's folder, ending in '/', or empty
  const char* path;        // PATH's value, or nullptr when unset
  bool (*is_program)(const std::string& file);  // a regular file this user may run
};

// tavelo-cmd beside the running program, else the first on PATH; else a
// cmd.exe on PATH. Only PATH's absolute folders are searched: the current
// folder holds data, never the interpreter. Written into `buffer` as
// default_interpreter does; 0 when there is none.
std::uint32_t find_default_interpreter(const ProgramSearch& search, char* buffer,
                                       std::uint32_t capacity);

}  // namespace tavelo::platform
