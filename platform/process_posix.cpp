// POSIX backend of process creation: answers as CreateProcessA does when it
// is given no application name. The command line is split into arguments by
// the Microsoft C run-time's rules (command_line.cpp), the first being the
// program. A program name holding a '/' is a path; any other is looked up on
// PATH as execvp does (an empty PATH entry is the current directory),
// without Windows' implicit look in the current directory first and without
// a ".exe" suffix.
// The process handle is the read end of the child's status pipe, so that
// close_handle closes it like any other handle.
#include <fcntl.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/platform.h"
#include "platform/posix_calls.h"

namespace tavelo::platform {
namespace {

constexpr std::uint32_t kStillActive = 259;

struct ChildProcess {
  Handle handle;
  pid_t pid;
  bool ended;
  std::uint32_t exit_code;
};

std::vector<ChildProcess> children;

// While a child started here has not been waited for, a console interrupt
// is the child's to act on: SIGINT and SIGQUIT are ignored, and their
// earlier actions kept for the child and for the end of the wait.
int children_running = 0;
struct sigaction interrupt_before {};
struct sigaction quit_before {};

bool ignore_interrupts() {
  if (!set_signal_action(SIGINT, SIG_IGN, &interrupt_before)) return false;
  if (set_signal_action(SIGQUIT, SIG_IGN, &quit_before)) return true;
  sigaction(SIGINT, &interrupt_before, nullptr);
  return false;
}

bool restore_interrupts() {
  return sigaction(SIGINT, &interrupt_before, nullptr) == 0 &&
         sigaction(SIGQUIT, &quit_before, nullptr) == 0;
}

void child_finished() {
  if (--children_running == 0) restore_interrupts();
}

std::vector<std::string> candidate_paths(const std::string& program) {
  if (program.find('/') != std::string::npos) return {program};
  const char* path = std::getenv("PATH");
  const std::string directories = path != nullptr ? path : "/bin:/usr/bin";
  std::vector<std::string> candidates;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = directories.find(':', start);
    std::string directory = directories.substr(start, end - start);
    candidates.push_back((directory.empty() ? "." : directory) + "/" + program);
    if (end == std::string::npos) return candidates;
    start = end + 1;
  }
}

std::uint32_t error_from_exec(int code) {
  switch (code) {
    case ENOENT: return error::kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG: return error::kPathNotFound;
    case EACCES:
    case EPERM: return error::kAccessDenied;
    case ENOEXEC:
    case ELIBBAD: return error::kBadExeFormat;
    case ENOMEM:
    case E2BIG: return error::kNotEnoughMemory;
    default: return error::kGeneralFailure;
  }
}

// In the child: tries the candidates as execvp does (a missing file or a
// refused one moves on; anything else stops); answers the last error.
int exec_candidates(const std::vector<std::string>& candidates, char* const* argv) {
  int failure = ENOENT;
  bool refused = false;
  for (const std::string& candidate : candidates) {
    execve(candidate.c_str(), argv, environ);
    failure = errno;
    if (failure == EACCES) {
      refused = true;
    } else if (failure != ENOENT && failure != ENOTDIR) {
      break;
    }
  }
  if (refused && (failure == ENOENT || failure == ENOTDIR)) failure = EACCES;
  return failure;
}

// In the child: the program's own signal actions are undone (SIGPIPE and
// SIGXFSZ ignored for its writes, SIGINT and SIGQUIT for the wait), then
// the exec; a failure is told to the parent.
[[noreturn]] void exec_child(const std::vector<std::string>& candidates, char* const* argv,
                             int status_fd) {
  const bool actions_reset = set_signal_action(SIGPIPE, SIG_DFL) &&
                             set_signal_action(SIGXFSZ, SIG_DFL) && restore_interrupts();
  int failure = actions_reset ? exec_candidates(candidates, argv) : errno;
  // Nothing is left to do if even this fails: the parent then sees the pipe
  // close with no error and takes the exec as done.
  retry_on_interrupt([&] { return write(status_fd, &failure, sizeof failure); });
  _exit(127);
}

// The child's exec error, or 0 once the exec closed the pipe's write end.
int read_exec_error(int status_fd) {
  int failure = 0;
  const ssize_t got = retry_on_interrupt([&] { return read(status_fd, &failure, sizeof failure); });
  return got == static_cast<ssize_t>(sizeof failure) ? failure : 0;
}

ChildProcess* find_child(Handle handle) {
  for (ChildProcess& child : children) {
    if (child.handle == handle) return &child;
  }
  return nullptr;
}

void record_child(Handle handle, pid_t pid) {
  ChildProcess* reused = find_child(handle);  // a closed handle's number comes back
  const ChildProcess fresh{handle, pid, false, 0};
  if (reused != nullptr) {
    *reused = fresh;
  } else {
    children.push_back(fresh);
  }
}

// A child killed by a signal reports 128 + the signal, as shells do.
std::uint32_t exit_code_of(int status) {
  if (WIFEXITED(status)) return static_cast<std::uint32_t>(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return 128u + static_cast<std::uint32_t>(WTERMSIG(status));
  return kStillActive;
}

bool reap(ChildProcess& child, int options) {
  int status = 0;
  const pid_t got = retry_on_interrupt([&] { return waitpid(child.pid, &status, options); });
  if (got < 0) {
    set_last_error(error::kInvalidHandle);
    return false;
  }
  if (got == child.pid) {
    child.ended = true;
    child.exit_code = exit_code_of(status);
    child_finished();
  }
  return true;
}

bool creation_failed(std::uint32_t reason) {
  child_finished();
  set_last_error(reason);
  return false;
}

}  // namespace

bool create_process(char* command_line, Handle* process) {
  const std::vector<std::string> words = split_command_line(command_line);
  if (words.front().empty()) {
    set_last_error(error::kFileNotFound);
    return false;
  }
  const std::vector<std::string> candidates = candidate_paths(words.front());
  std::vector<char*> argv;
  argv.reserve(words.size() + 1);
  for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);

  int status_pipe[2];
  if (children_running == 0 && !ignore_interrupts()) {
    set_last_error(error::kGeneralFailure);
    return false;
  }
  ++children_running;
  if (pipe2(status_pipe, O_CLOEXEC) != 0) return creation_failed(error::kNotEnoughMemory);
  const pid_t pid = fork();
  if (pid < 0) {
    close(status_pipe[0]);
    close(status_pipe[1]);
    return creation_failed(error::kNotEnoughMemory);
  }
  if (pid == 0) exec_child(candidates, argv.data(), status_pipe[1]);

  close(status_pipe[1]);
  const int failure = read_exec_error(status_pipe[0]);
  if (failure != 0) {
    // Reaped only so that no zombie is left: the exec error is the answer.
    retry_on_interrupt([pid] { return waitpid(pid, nullptr, 0); });
    close(status_pipe[0]);
    return creation_failed(error_from_exec(failure));
  }
  *process = status_pipe[0];
  record_child(*process, pid);
  return true;
}

bool wait_for_process(Handle process) {
  ChildProcess* child = find_child(process);
  if (child == nullptr) {
    set_last_error(error::kInvalidHandle);
    return false;
  }
  return child->ended || reap(*child, 0);
}

bool get_exit_code_process(Handle process, std::uint32_t* code) {
  ChildProcess* child = find_child(process);
  if (child == nullptr) {
    set_last_error(error::kInvalidHandle);
    return false;
  }
  if (!child->ended && !reap(*child, WNOHANG)) return false;
  *code = child->ended ? child->exit_code : kStillActive;
  return true;
}

}  // namespace tavelo::platform
