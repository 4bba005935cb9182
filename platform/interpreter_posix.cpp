// POSIX backend of the default command interpreter. Where Windows runs
// cmd.exe, which starts Notepad, a POSIX system runs tavelo-cmd, which shows
// the table as this user expects (system_rules.cpp finds it).
#include <limits.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "platform/posix_calls.h"

namespace tavelo::platform {
namespace {

std::string own_folder() {
  char own[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", own, sizeof own);
  if (length <= 0 || length == static_cast<ssize_t>(sizeof own)) return {};
  std::string path(own, static_cast<std::size_t>(length));
  path.erase(path.rfind('/') + 1);
  return path;
}

}  // namespace

std::uint32_t default_interpreter(char* buffer, std::uint32_t capacity) {
  return find_default_interpreter({own_folder(), std::getenv("PATH"), kPosixFileCalls}, buffer,
                                  capacity);
}

}  // namespace tavelo::platform
