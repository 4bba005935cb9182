// POSIX backend of the default command interpreter. Where Windows runs
// cmd.exe, which starts Notepad, a POSIX system runs tavelo-cmd, which shows
// the table as this user expects: the copy installed beside the running
// program, else the first on PATH; failing both, a cmd.exe on PATH, as on
// Windows. The current folder holds the user's data, never the program's
// interpreter: an empty PATH, or an empty or relative entry, names no folder
// to search here, whatever execvp would make of it.
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/platform.h"

namespace tavelo::platform {
namespace {

constexpr char kViewerInterpreter[] = "tavelo-cmd";

bool is_program(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string beside_running_program() {
  char own[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", own, sizeof own);
  if (length <= 0 || length == static_cast<ssize_t>(sizeof own)) return {};
  std::string path(own, static_cast<std::size_t>(length));
  path.erase(path.rfind('/') + 1);
  return path + kViewerInterpreter;
}

// The program `name` in the first absolute folder of PATH that holds it.
std::string first_on_path(const char* name) {
  const char* variable = std::getenv("PATH");
  const std::string path = variable != nullptr ? variable : "/bin:/usr/bin";
  for (std::size_t start = 0; start < path.size();) {
    std::size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    const std::string directory = path.substr(start, end - start);
    start = end + 1;
    if (!directory.starts_with('/')) continue;
    std::string candidate = directory + "/" + name;
    if (is_program(candidate)) return candidate;
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
  for (const std::string& path : {beside_running_program(), first_on_path(kViewerInterpreter),
                                  first_on_path(kWindowsInterpreter)}) {
    if (path.empty() || !is_program(path)) continue;
    const std::uint32_t length = write_path(path, buffer, capacity);
    if (length != 0) return length;
  }
  return 0;
}

}  // namespace tavelo::platform
