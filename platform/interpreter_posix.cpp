// POSIX backend of the default command interpreter. Where Windows runs
// cmd.exe, which starts Notepad, a POSIX system runs tavelo-cmd, which shows
// the table as this user expects: the copy installed beside the running
// program, else the first on PATH. Failing both, "cmd.exe" as on Windows,
// looked up on PATH when the process is created.
#include <limits.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace tavelo::platform {
namespace {

constexpr char kViewerInterpreter[] = "tavelo-cmd";

bool is_program(const std::string& path) { return access(path.c_str(), X_OK) == 0; }

std::string beside_running_program() {
  char own[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", own, sizeof own);
  if (length <= 0 || length == static_cast<ssize_t>(sizeof own)) return {};
  std::string path(own, static_cast<std::size_t>(length));
  path.erase(path.rfind('/') + 1);
  return path + kViewerInterpreter;
}

// As execvp searches: an empty entry is the current directory.
std::string first_on_path() {
  const char* variable = std::getenv("PATH");
  const std::string path = variable != nullptr ? variable : "/bin:/usr/bin";
  for (std::size_t start = 0; start <= path.size();) {
    std::size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    const std::string directory = end == start ? "." : path.substr(start, end - start);
    std::string candidate = directory + "/" + kViewerInterpreter;
    if (is_program(candidate)) return candidate;
    start = end + 1;
  }
  return {};
}

// The command line is split by the Windows rules: a path holding blanks is
// quoted, and one holding a quote cannot be written at all.
std::uint32_t write_path(const std::string& path, char* buffer, std::uint32_t capacity) {
  if (path.find('"') != std::string::npos) return 0;
  const std::string text = path.find_first_of(" \t") != std::string::npos ? '"' + path + '"' : path;
  if (text.size() >= capacity) return 0;
  text.copy(buffer, text.size());
  return static_cast<std::uint32_t>(text.size());
}

}  // namespace

std::uint32_t default_interpreter(char* buffer, std::uint32_t capacity) {
  for (const std::string& path : {beside_running_program(), first_on_path()}) {
    if (path.empty() || !is_program(path)) continue;
    const std::uint32_t length = write_path(path, buffer, capacity);
    if (length != 0) return length;
  }
  std::memcpy(buffer, kWindowsInterpreter, sizeof kWindowsInterpreter - 1);
  return sizeof kWindowsInterpreter - 1;
}

}  // namespace tavelo::platform
