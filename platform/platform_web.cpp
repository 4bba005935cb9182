// Web backend of the platform layer: the program as WebAssembly. What a
// system would do is done by its host, the page or the node runner, through
// the few calls of platform_web.js; answers are as KERNEL32 gives them.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "platform/command_line.h"
#include "platform/console_line.h"
#include "platform/platform.h"
#include "platform/system_errors.h"
#include "platform/system_rules.h"
#include "platform/test_hooks.h"

// The host's calls. Each answers a count, a handle or a kind when it
// succeeds, and minus an errno value when it fails.
extern "C" {
int tavelo_host_file_kind(int handle);
// May wait for the user: the page's console answers when a line is typed.
int tavelo_host_read(int handle, void* buffer, std::uint32_t size);
int tavelo_host_write(int handle, const void* buffer, std::uint32_t size);
int tavelo_host_exists(const char* name);
// The plain calls the opening rules make (system_rules.h's FileCalls).
int tavelo_host_stat(const char* name, tavelo::platform::FileInfo* info);
int tavelo_host_fstat(int handle, tavelo::platform::FileInfo* info);
int tavelo_host_access(const char* name, int mode);
int tavelo_host_open(const char* name, std::uint32_t access, int create_new, int nonblocking);
int tavelo_host_lock(int handle, int exclusive);
int tavelo_host_truncate(int handle, std::uint32_t offset);
int tavelo_host_close(int handle);
// The file a name leads to, links followed, as an absolute path; written
// as getenv answers.
int tavelo_host_real_path(const char* name, char* buffer, std::uint32_t capacity);
int tavelo_host_chmod(int handle, std::uint32_t mode);
int tavelo_host_rename(const char* from, const char* to);
int tavelo_host_remove(const char* name);
// The environment block's size with its final NUL; then the block itself.
std::uint32_t tavelo_host_environment_size();
void tavelo_host_environment(char* buffer);
// The folder the running program is in, ending in '/', as getenv answers;
// 0 when it has none.
std::uint32_t tavelo_host_program_folder(char* buffer, std::uint32_t capacity);
// Runs the program `words[0]` with the other words as its arguments (NUL
// separated, `count` of them) and waits for it; its exit code goes to
// `*exit_code`.
int tavelo_host_run(const char* words, int count, std::uint32_t* exit_code);
[[noreturn]] void tavelo_host_exit(int code);
}

namespace tavelo::platform {

namespace {

// What tavelo_host_file_kind answers. The null device open for reading and
// writing is also what node puts in place of a standard handle the process
// was started without.
enum HostKind { kHostUnknown, kHostDisk, kHostChar, kHostPipe, kHostTerminal, kHostNullBothWays };

std::uint32_t last_error = error::kSuccess;
HeapObserver heap_observer = nullptr;

bool succeeded(int answer) {
  if (answer >= 0) return true;
  last_error = error_from_errno(-answer);
  return false;
}

int host_handle(Handle handle) { return static_cast<int>(handle); }

// The one process the program runs: it has ended by the time create_process
// answers, and its handle is no host handle.
constexpr Handle kProcessHandle = 0x7FFF0000;
std::uint32_t process_exit_code = 0;
bool process_open = false;

// A terminal delivers one typed line per read, as a console does.
bool terminal_input = false;
ConsoleLine terminal_line;

// A host that takes no locks (node) answers ENOLCK. So that two runs never
// mix their tables there, a regular file opened for writing is written
// beside itself, in a new file of this run's own with the file's
// permissions, which replaces it whole, by a rename, when it is closed; a
// run that wrote nothing leaves the file as it was. The program writes one
// file at a time.
struct Beside {
  Handle file = kInvalidHandle;
  int written = -1;
  std::string temporary;
  std::string target;
  bool changed = false;
};
Beside beside;
bool opened_unlocked = false;

}  // namespace

bool set_up_signals() { return true; }

std::uint32_t get_version() { return 0; }

bool heap_create() { return true; }

void* heap_alloc(std::size_t bytes) {
  void* block = std::calloc(1, bytes == 0 ? 1 : bytes);
  if (heap_observer != nullptr) heap_observer(bytes, block != nullptr);
  return block;
}

void* heap_alloc_uncleared(std::size_t bytes) {
  void* block = std::malloc(bytes == 0 ? 1 : bytes);
  if (heap_observer != nullptr) heap_observer(bytes, block != nullptr);
  return block;
}

void heap_free(void* block) { std::free(block); }

void set_heap_observer(HeapObserver observer) { heap_observer = observer; }

const char* get_command_line() { return "tavelo"; }

const char* get_environment_block() {
  static std::string block;
  block.assign(tavelo_host_environment_size(), '\0');
  tavelo_host_environment(block.data());
  return block.c_str();
}

// A run that ends before it closes a file it writes beside takes its own
// file away, and leaves the file as it was.
void exit_process(int code) {
  if (beside.file != kInvalidHandle) tavelo_host_remove(beside.temporary.c_str());
  tavelo_host_exit(code);
}

Handle get_std_handle(StdStream stream) {
  const int fd = stream == StdStream::Input ? 0 : stream == StdStream::Output ? 1 : 2;
  const int kind = tavelo_host_file_kind(fd);
  // Node's stand-in cannot be told from `<>/dev/null`: both are taken
  // for a handle that was never there.
  if (kind < 0 || kind == kHostNullBothWays) return kInvalidHandle;
  if (fd == 0) terminal_input = kind == kHostTerminal;
  return fd;
}

FileType get_file_type(Handle handle) {
  if (handle == kProcessHandle) return FileType::Unknown;
  const int kind = tavelo_host_file_kind(host_handle(handle));
  if (!succeeded(kind)) return FileType::Unknown;
  switch (kind) {
    case kHostDisk: return FileType::Disk;
    case kHostChar:
    case kHostTerminal:
    case kHostNullBothWays: return FileType::Char;
    case kHostPipe: return FileType::Pipe;
    default: return FileType::Unknown;
  }
}

bool read_file(Handle handle, void* buffer, std::uint32_t size, std::uint32_t* done) {
  *done = 0;
  if (handle != 0 || !terminal_input) {
    const int n = tavelo_host_read(host_handle(handle), buffer, size);
    if (!succeeded(n)) return false;
    *done = static_cast<std::uint32_t>(n);
    return true;
  }
  return terminal_line.hand_over(
      [](char* line, std::size_t capacity) {
        const int n = tavelo_host_read(0, line, static_cast<std::uint32_t>(capacity));
        return succeeded(n) ? n : -1;
      },
      buffer, size, done);
}

namespace {

// A host string: empty when unset, or when it does not fit in `capacity`.
template <typename Call>
std::string host_string(Call call) {
  char text[4096];
  const std::uint32_t length = call(text, sizeof text);
  return length < sizeof text ? std::string(text, length) : std::string();
}

// The handles of files opened without write access.
std::vector<Handle> read_only_handles;

bool read_only(Handle handle) {
  return std::find(read_only_handles.begin(), read_only_handles.end(), handle) !=
         read_only_handles.end();
}

void write_beside(Handle file, const char* name) {
  const std::string target = host_string([name](char* text, std::uint32_t capacity) {
    return static_cast<std::uint32_t>(tavelo_host_real_path(name, text, capacity));
  });
  FileInfo info{};
  if (target.empty() || tavelo_host_fstat(host_handle(file), &info) != 0) return;
  const std::size_t folder = target.rfind('/') + 1;
  const std::string stem = target.substr(0, folder) + '.' + target.substr(folder) + ".tavelo-";
  for (unsigned number = 1;; ++number) {
    std::string temporary = stem;
    // The digits by hand: std::to_string would bring printf into the page.
    for (unsigned rest = number; rest != 0; rest /= 10) {
      temporary.insert(stem.size(), 1, static_cast<char>('0' + rest % 10));
    }
    const int written = tavelo_host_open(temporary.c_str(), kGenericRead | kGenericWrite, 1, 0);
    if (written == -EEXIST) continue;
    // A folder this run may not write in: the file itself, unguarded.
    if (written < 0) return;
    tavelo_host_chmod(written, static_cast<std::uint32_t>(info.mode));
    beside = {file, written, std::move(temporary), target, false};
    return;
  }
}

// The descriptor the bytes of `handle` go to.
int written_to(Handle handle) {
  if (handle != beside.file) return host_handle(handle);
  beside.changed = true;
  return beside.written;
}

bool written(Handle handle, int answer) {
  if (answer >= 0) return true;
  last_error = error_from_write_errno(-answer, read_only(handle));
  return false;
}

}  // namespace

bool write_file(Handle handle, const void* buffer, std::uint32_t size, std::uint32_t* done) {
  *done = 0;
  const int n = tavelo_host_write(written_to(handle), buffer, size);
  if (!written(handle, n)) return false;
  *done = static_cast<std::uint32_t>(n);
  return true;
}

std::uint32_t get_last_error() { return last_error; }
void set_last_error(std::uint32_t code) { last_error = code; }

bool file_exists(const char* name) { return tavelo_host_exists(name) > 0; }

namespace {

// A host's descriptors wait for their data as they are.
constexpr FileCalls kHostFileCalls = {
    tavelo_host_stat,
    tavelo_host_access,
    [](const char* name, std::uint32_t access, bool create_new, bool nonblocking) {
      return tavelo_host_open(name, access, create_new ? 1 : 0, nonblocking ? 1 : 0);
    },
    tavelo_host_fstat,
    [](int fd, bool exclusive) {
      const int answer = tavelo_host_lock(fd, exclusive ? 1 : 0);
      opened_unlocked = answer == -ENOLCK;
      return answer;
    },
    [](int fd) { return tavelo_host_truncate(fd, 0); },
    [](int) { return 0; },
    [](int fd) { tavelo_host_close(fd); },
    [](const char*) {},
};

}  // namespace

Handle create_file(const char* name, std::uint32_t access, Disposition disposition) {
  opened_unlocked = false;
  const long fd = open_by_the_rules(kHostFileCalls, name, access, disposition);
  if (fd < 0) {
    last_error = static_cast<std::uint32_t>(-fd);
    return kInvalidHandle;
  }
  if ((access & kGenericWrite) == 0)
    read_only_handles.push_back(fd);
  else if (opened_unlocked)
    write_beside(fd, name);
  return fd;
}

bool truncate_file_at(Handle handle, std::uint32_t offset) {
  return written(handle, tavelo_host_truncate(written_to(handle), offset));
}

bool close_handle(Handle handle) {
  if (handle == kProcessHandle && process_open) {
    process_open = false;
    return true;
  }
  std::erase(read_only_handles, handle);
  if (handle != beside.file) return succeeded(tavelo_host_close(host_handle(handle)));
  const Beside closing = std::exchange(beside, {});
  const bool closed = succeeded(tavelo_host_close(host_handle(handle))) &&
                      succeeded(tavelo_host_close(closing.written));
  if (closed && closing.changed) {
    return succeeded(tavelo_host_rename(closing.temporary.c_str(), closing.target.c_str()));
  }
  tavelo_host_remove(closing.temporary.c_str());
  return closed;
}

namespace {

// The value of `name` in the environment block, where an empty one is not
// an unset one; nullptr when unset.
const char* environment_value(const char* name) {
  const std::size_t length = std::strlen(name);
  for (const char* entry = get_environment_block(); *entry != '\0';
       entry += std::strlen(entry) + 1) {
    if (std::strncmp(entry, name, length) == 0 && entry[length] == '=') return entry + length + 1;
  }
  return nullptr;
}

}  // namespace

std::uint32_t get_environment_variable(const char* name, char* buffer, std::uint32_t capacity) {
  const char* value = environment_value(name);
  if (value == nullptr || *value == '\0') {
    last_error = error::kEnvironmentVariableNotFound;
    return 0;
  }
  return copy_variable(value, buffer, capacity);
}

std::uint32_t default_interpreter(char* buffer, std::uint32_t capacity) {
  return find_default_interpreter(
      {host_string(tavelo_host_program_folder), environment_value("PATH"), kHostFileCalls}, buffer,
      capacity);
}

bool create_process(char* command_line, Handle* process) {
  const std::vector<std::string> words = split_command_line(command_line);
  if (words.front().empty()) {
    last_error = error::kFileNotFound;
    return false;
  }
  std::string block;
  for (const std::string& word : words) block.append(word).push_back('\0');
  if (!succeeded(
          tavelo_host_run(block.data(), static_cast<int>(words.size()), &process_exit_code))) {
    return false;
  }
  process_open = true;
  *process = kProcessHandle;
  return true;
}

bool wait_for_process(Handle process) {
  if (process == kProcessHandle && process_open) return true;
  last_error = error::kInvalidHandle;
  return false;
}

bool get_exit_code_process(Handle process, std::uint32_t* code) {
  if (process != kProcessHandle || !process_open) {
    last_error = error::kInvalidHandle;
    return false;
  }
  *code = process_exit_code;
  return true;
}

}  // namespace tavelo::platform
