#include "platform/system_rules.h"

#include "platform/platform.h"

namespace tavelo::platform {
namespace {

constexpr char kViewerInterpreter[] = "tavelo-cmd";

// The program `name` in the first absolute folder of PATH that holds it.
std::string first_on_path(const ProgramSearch& search, const char* name) {
  const std::string path = search.path != nullptr ? search.path : "/bin:/usr/bin";
  for (std::size_t start = 0; start < path.size();) {
    std::size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    const std::string directory = path.substr(start, end - start);
    start = end + 1;
    if (!directory.starts_with('/')) continue;
    std::string candidate = directory + "/" + name;
    if (search.is_program(candidate)) return candidate;
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

std::uint32_t find_default_interpreter(const ProgramSearch& search, char* buffer,
                                       std::uint32_t capacity) {
  const std::string beside =
      search.own_folder.empty() ? std::string() : search.own_folder + kViewerInterpreter;
  for (const std::string& path : {beside, first_on_path(search, kViewerInterpreter),
                                  first_on_path(search, kWindowsInterpreter)}) {
    if (path.empty() || !search.is_program(path)) continue;
    const std::uint32_t length = write_path(path, buffer, capacity);
    if (length != 0) return length;
  }
  return 0;
}

}  // namespace tavelo::platform
