// The rules the POSIX and web backends share, written once against what
// each asks of its own system.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tavelo::platform {

// What a file is, as the rules of opening it need to know.
struct FileInfo {
  enum Kind : std::int32_t { kRegular, kDirectory, kFifo, kOther } kind;
  std::int32_t mode;  // the permission bits
  std::int32_t empty;
};

// The plain calls the opening rules make of a system, each answering 0 (or
// a descriptor) when it succeeds and minus an errno value when it fails.
struct FileCalls {
  int (*stat)(const char* name, FileInfo* info);
  int (*access)(const char* name, int mode);  // this user may (W_OK, X_OK)
  int (*open)(const char* name, std::uint32_t access, bool create_new, bool nonblocking);
  int (*fstat)(int fd, FileInfo* info);
  // The share lock on a regular file, exclusive for writing: -EWOULDBLOCK
  // while another holds it; any other failure (-ENOLCK where the system
  // takes no locks) lets the open go on unlocked.
  int (*lock)(int fd, bool exclusive);
  int (*cut)(int fd);    // to length 0
  int (*block)(int fd);  // reads and writes wait again
  void (*close)(int fd);
  void (*after_creating)(const char* name);  // where another run may come in
};

// GetEnvironmentVariableA's answer for a variable set to `value`: its
// length when it fits in `capacity` with its NUL, else the size needed.
std::uint32_t copy_variable(const char* value, char* buffer, std::uint32_t capacity);

// The folders of PATH in order, as execvp takes them: an unset PATH is
// "/bin:/usr/bin", and an empty entry stays empty.
std::vector<std::string> path_folders(const char* path);

// Where a POSIX-like system looks for the default interpreter.
struct ProgramSearch {
  std::string own_folder;  // the running program's folder, ending in '/', or empty
  const char* path;        // PATH's value, or nullptr when unset
  const FileCalls& calls;
};

// tavelo-cmd beside the running program, else the first on PATH; else a
// cmd.exe on PATH. Only PATH's absolute folders are searched: the current
// folder holds data, never the interpreter. Written into `buffer` as
// default_interpreter does; 0 when there is none.
std::uint32_t find_default_interpreter(const ProgramSearch& search, char* buffer,
                                       std::uint32_t capacity);

// CreateFileA with share read (see create_file): a descriptor, or minus
// the Windows error number.
long open_by_the_rules(const FileCalls& calls, const char* name, std::uint32_t access,
                       Disposition disposition);

}  // namespace tavelo::platform
