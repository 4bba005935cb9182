#include "platform/system_rules.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/platform.h"
#include "platform/system_errors.h"

namespace tavelo::platform {

std::uint32_t copy_variable(const char* value, char* buffer, std::uint32_t capacity) {
  const std::size_t length = std::strlen(value);
  if (length + 1 > capacity) return static_cast<std::uint32_t>(length + 1);
  std::memcpy(buffer, value, length + 1);
  return static_cast<std::uint32_t>(length);
}

std::vector<std::string> path_folders(const char* path) {
  const std::string folders = path != nullptr ? path : "/bin:/usr/bin";
  std::vector<std::string> found;
  for (std::size_t start = 0;;) {
    const std::size_t end = folders.find(':', start);
    found.push_back(folders.substr(start, end - start));
    if (end == std::string::npos) return found;
    start = end + 1;
  }
}

namespace {

constexpr char kViewerInterpreter[] = "tavelo-cmd";

// A regular file this user may run.
bool is_program(const FileCalls& calls, const std::string& file) {
  FileInfo info{};
  return calls.stat(file.c_str(), &info) == 0 && info.kind == FileInfo::kRegular &&
         calls.access(file.c_str(), X_OK) == 0;
}

// The program `name` in the first absolute folder of PATH that holds it.
std::string first_on_path(const ProgramSearch& search, const char* name) {
  for (const std::string& folder : path_folders(search.path)) {
    std::string candidate = folder + "/" + name;
    if (folder.starts_with('/') && is_program(search.calls, candidate)) return candidate;
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
    if (path.empty() || !is_program(search.calls, path)) continue;
    const std::uint32_t length = write_path(path, buffer, capacity);
    if (length != 0) return length;
  }
  return 0;
}

namespace {

bool anyone_may_write(const FileInfo& info) { return (info.mode & 0222) != 0; }

long refused(const FileCalls& calls, int fd, std::uint32_t error) {
  calls.close(fd);
  return -static_cast<long>(error);
}

// A FIFO is opened for writing alone, so that the program is never its own
// reader; only a FIFO this user may not write is opened for reading, as a
// read-only file is. CreateFileA refuses to open a directory as a file, and
// an existing read-only file for writing whoever asks; a file that grants
// write permission to nobody is read-only, even for root. Opening a FIFO
// does not wait for its other end; once open, it waits as a handle does.
long open_once(const FileCalls& calls, const char* name, std::uint32_t access,
               Disposition disposition) {
  const bool reading = (access & kGenericRead) != 0;
  const bool writing = (access & kGenericWrite) != 0;
  FileInfo info{};
  const bool fifo = disposition == Disposition::OpenExisting && calls.stat(name, &info) == 0 &&
                    info.kind == FileInfo::kFifo;
  if (fifo && reading && (writing || (anyone_may_write(info) && calls.access(name, W_OK) == 0))) {
    return -static_cast<long>(error::kAccessDenied);
  }
  const int fd = calls.open(name, access, disposition == Disposition::CreateNew, fifo);
  if (fd < 0) return -static_cast<long>(error_from_errno(-fd));
  FileInfo opened{FileInfo::kOther, 0222, 0};
  calls.fstat(fd, &opened);
  if (opened.kind == FileInfo::kDirectory ||
      (disposition == Disposition::OpenExisting && writing && !anyone_may_write(opened))) {
    return refused(calls, fd, error::kAccessDenied);
  }
  if (disposition == Disposition::CreateNew) calls.after_creating(name);
  if (opened.kind == FileInfo::kRegular && calls.lock(fd, writing) == -EWOULDBLOCK) {
    return refused(calls, fd, error::kSharingViolation);
  }
  const int blocked = calls.block(fd);
  return blocked == 0 ? fd : refused(calls, fd, error_from_errno(-blocked));
}

}  // namespace

// A new file is only locked once it exists: another run may have opened,
// locked and written it in between, or created it first. Either way the
// file this run holds, once locked, is cut to the empty file it asked for,
// so that no run ever writes over the start of another's table.
long open_by_the_rules(const FileCalls& calls, const char* name, std::uint32_t access,
                       Disposition disposition) {
  long fd = open_once(calls, name, access, disposition);
  if (fd == -static_cast<long>(error::kFileExists) && disposition == Disposition::CreateNew) {
    fd = open_once(calls, name, access, Disposition::OpenExisting);
  }
  if (fd < 0 || disposition != Disposition::CreateNew || (access & kGenericWrite) == 0) return fd;
  FileInfo info{};
  const int descriptor = static_cast<int>(fd);
  if (calls.fstat(descriptor, &info) != 0 || info.kind != FileInfo::kRegular || info.empty != 0) {
    return fd;
  }
  const int cut = calls.cut(descriptor);
  return cut == 0 ? fd : refused(calls, descriptor, error_from_errno(-cut));
}

}  // namespace tavelo::platform
