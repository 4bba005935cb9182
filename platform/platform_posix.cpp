// POSIX backend of the platform layer: answers as KERNEL32 would.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

#include "platform/console_line.h"
#include "platform/platform.h"
#include "platform/posix_calls.h"
#include "platform/system_errors.h"
#include "platform/system_rules.h"
#include "platform/test_hooks.h"

namespace tavelo::platform {
namespace {

std::uint32_t last_error = error::kSuccess;
HeapObserver heap_observer = nullptr;
bool heap_exhausted = false;
std::uint32_t close_failure = error::kSuccess;
CreatedObserver created_observer = nullptr;
// Standard input's descriptor when start-up found a terminal there, which
// then hands over one typed line per read, as a console does.
int terminal_input = -1;
ConsoleLine terminal_line;

int descriptor_of(Handle handle) { return static_cast<int>(handle); }

void set_last_error_from_errno() { last_error = error_from_errno(errno); }

void set_last_error_for_write(int fd) {
  const int code = errno;
  const int flags = ::fcntl(fd, F_GETFL);
  last_error = error_from_write_errno(code, flags >= 0 && (flags & O_ACCMODE) == O_RDONLY);
}

void* observed(std::size_t bytes, void* block) {
  if (heap_observer != nullptr) heap_observer(bytes, block != nullptr);
  return block;
}

// A descriptor handed over non-blocking (another program may have set
// O_NONBLOCK on a pipe it shares) answers "try again" where ReadFile and
// WriteFile wait. True once it is ready for `events`; false after any other
// failure, or when the wait fails.
bool wait_when_busy(int fd, short events) {
  if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
  pollfd entry{fd, events, 0};
  return retry_on_interrupt([&] { return ::poll(&entry, 1, -1); }) >= 0;
}

ssize_t read_waiting(int fd, void* buffer, std::size_t size) {
  for (;;) {
    const ssize_t n = retry_on_interrupt([&] { return ::read(fd, buffer, size); });
    if (n >= 0 || !wait_when_busy(fd, POLLIN)) return n;
  }
}

}  // namespace

std::uint32_t get_last_error() { return last_error; }
void set_last_error(std::uint32_t code) { last_error = code; }

bool set_up_signals() {
  // A write to a reader that has gone, or past the file size limit, must
  // fail like WriteFile does, not kill the process.
  return set_signal_action(SIGPIPE, SIG_IGN) && set_signal_action(SIGXFSZ, SIG_IGN);
}

std::uint32_t get_version() { return 0; }

bool heap_create() { return true; }

void* heap_alloc(std::size_t bytes) {
  // calloc maps large blocks fresh from the kernel, so zero costs nothing
  // until a page is touched.
  return observed(bytes, heap_exhausted ? nullptr : std::calloc(1, bytes == 0 ? 1 : bytes));
}

void* heap_alloc_uncleared(std::size_t bytes) {
  return observed(bytes, heap_exhausted ? nullptr : std::malloc(bytes == 0 ? 1 : bytes));
}

void heap_free(void* block) { std::free(block); }

void set_heap_observer(HeapObserver observer) { heap_observer = observer; }
void set_heap_exhausted(bool exhausted) { heap_exhausted = exhausted; }
void set_close_failure(std::uint32_t error) { close_failure = error; }
void set_created_observer(CreatedObserver observer) { created_observer = observer; }

const char* get_command_line() { return "tavelo"; }

const char* get_environment_block() {
  // The Windows shape: NUL-separated strings ending in an empty one.
  static std::string block;
  block.clear();
  std::size_t size = 1;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    size += std::strlen(*entry) + 1;
  }
  block.reserve(size);  // one allocation, not one per doubling
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    block.append(*entry).push_back('\0');
  }
  block.push_back('\0');
  return block.c_str();
}

void exit_process(int code) { _exit(code); }

Handle get_std_handle(StdStream stream) {
  const int fd = stream == StdStream::Input ? 0 : stream == StdStream::Output ? 1 : 2;
  struct stat info {};
  if (fstat(fd, &info) != 0) return kInvalidHandle;
  if (fd == 0) terminal_input = isatty(fd) != 0 ? fd : -1;
  return fd;
}

FileType get_file_type(Handle handle) {
  struct stat info {};
  if (handle == kInvalidHandle || fstat(descriptor_of(handle), &info) != 0) {
    set_last_error_from_errno();
    return FileType::Unknown;
  }
  if (S_ISCHR(info.st_mode)) return FileType::Char;
  if (S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode)) return FileType::Pipe;
  return FileType::Disk;
}

bool read_file(Handle handle, void* buffer, std::uint32_t size, std::uint32_t* done) {
  const int fd = descriptor_of(handle);
  *done = 0;
  if (fd != terminal_input) {
    const ssize_t n = read_waiting(fd, buffer, size);
    if (n < 0) {
      set_last_error_from_errno();
      return false;
    }
    *done = static_cast<std::uint32_t>(n);
    return true;
  }
  const bool handed = terminal_line.hand_over(
      [fd](char* line, std::size_t capacity) { return read_waiting(fd, line, capacity); }, buffer,
      size, done);
  if (!handed) set_last_error_from_errno();
  return handed;
}

bool write_file(Handle handle, const void* buffer, std::uint32_t size, std::uint32_t* done) {
  const char* bytes = static_cast<const char*>(buffer);
  std::uint32_t written = 0;
  // A pipe may take less than asked; WriteFile finishes the job or fails.
  while (written < size) {
    const ssize_t n = retry_on_interrupt(
        [&] { return ::write(descriptor_of(handle), bytes + written, size - written); });
    if (n < 0 && wait_when_busy(descriptor_of(handle), POLLOUT)) continue;
    if (n < 0) {
      set_last_error_for_write(descriptor_of(handle));
      *done = written;
      return false;
    }
    written += static_cast<std::uint32_t>(n);
  }
  *done = written;
  return true;
}

// A symbolic link exists whether or not its target does, as a link does
// for GetFileAttributesA.
bool file_exists(const char* name) {
  struct stat info {};
  return lstat(name, &info) == 0;
}

namespace {

int minus_errno(int result) { return result < 0 ? -errno : result; }

FileInfo info_of(const struct stat& info) {
  const FileInfo::Kind kind = S_ISREG(info.st_mode)    ? FileInfo::kRegular
                              : S_ISDIR(info.st_mode)  ? FileInfo::kDirectory
                              : S_ISFIFO(info.st_mode) ? FileInfo::kFifo
                                                       : FileInfo::kOther;
  return {kind, static_cast<std::int32_t>(info.st_mode & 07777), info.st_size == 0};
}

int stat_name(const char* name, FileInfo* info) {
  struct stat found {};
  if (::stat(name, &found) != 0) return -errno;
  *info = info_of(found);
  return 0;
}

int stat_descriptor(int fd, FileInfo* info) {
  struct stat found {};
  if (::fstat(fd, &found) != 0) return -errno;
  *info = info_of(found);
  return 0;
}

// Nothing waits for the other end of a FIFO, whatever the rules ask.
int open_file(const char* name, std::uint32_t access, bool create_new, bool /*nonblocking*/) {
  int flags = O_RDONLY;
  if ((access & kGenericWrite) != 0) flags = (access & kGenericRead) != 0 ? O_RDWR : O_WRONLY;
  if (create_new) flags |= O_CREAT | O_EXCL;
  return minus_errno(::open(name, flags | O_NONBLOCK, 0666));
}

// Both kinds of lock are taken, flock and a record lock over the whole
// file (an open file description's own where the system has them), so that
// a program holding either kind is honoured. Programs that take no lock
// still read the file.
int take_share_lock(int fd, bool exclusive) {
  if (retry_on_interrupt([&] { return ::flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB); }) !=
          0 &&
      errno == EWOULDBLOCK) {
    return -EWOULDBLOCK;
  }
  struct flock range {};
  range.l_type = exclusive ? F_WRLCK : F_RDLCK;
  range.l_whence = SEEK_SET;
  if (::fcntl(fd, F_OFD_SETLK, &range) == 0) return 0;
  if (errno == EINVAL && ::fcntl(fd, F_SETLK, &range) == 0) return 0;
  return errno == EAGAIN || errno == EACCES ? -EWOULDBLOCK : 0;
}

}  // namespace

const FileCalls kPosixFileCalls = {
    stat_name,
    [](const char* name, int mode) { return minus_errno(::access(name, mode)); },
    open_file,
    stat_descriptor,
    take_share_lock,
    [](int fd) { return minus_errno(::ftruncate(fd, 0)); },
    [](int fd) { return minus_errno(::fcntl(fd, F_SETFL, 0)); },
    [](int fd) { ::close(fd); },
    [](const char* name) {
      if (created_observer != nullptr) created_observer(name);
    },
};

Handle create_file(const char* name, std::uint32_t access, Disposition disposition) {
  const long fd = open_by_the_rules(kPosixFileCalls, name, access, disposition);
  if (fd >= 0) return fd;
  last_error = static_cast<std::uint32_t>(-fd);
  return kInvalidHandle;
}

bool truncate_file_at(Handle handle, std::uint32_t offset) {
  const int fd = descriptor_of(handle);
  if (::lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0 ||
      ::ftruncate(fd, static_cast<off_t>(offset)) != 0) {
    set_last_error_for_write(fd);
    return false;
  }
  return true;
}

bool close_handle(Handle handle) {
  if (::close(descriptor_of(handle)) != 0) {
    set_last_error_from_errno();
    return false;
  }
  if (close_failure != error::kSuccess) {
    last_error = std::exchange(close_failure, error::kSuccess);
    return false;
  }
  return true;
}

std::uint32_t get_environment_variable(const char* name, char* buffer, std::uint32_t capacity) {
  const char* value = std::getenv(name);
  if (value == nullptr) {
    last_error = error::kEnvironmentVariableNotFound;
    return 0;
  }
  return copy_variable(value, buffer, capacity);
}

}  // namespace tavelo::platform
