// POSIX backend of process creation: answers as CreateProcessA does when it
// is given no application name. The command line is split into arguments by
// the Microsoft C run-time's rules (command_line.cpp), the first being the
// program. A program name holding a '/' is a path; any other is looked up on
// PATH as execvp does (an empty PATH entry is the current directory),
// without Windows' implicit look in the current directory first and without
// a ".exe" suffix.
// The process handle is the read end of the child's status pipe, so that
// close_handle closes it like any other handle.
// Where Windows runs cmd.exe, which starts Notepad, the default interpreter
// here is tavelo-cmd, which shows the table as this user expects.
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/command_line.h"
#include "platform/platform.h"
#include "platform/posix_calls.h"
#include "platform/system_errors.h"
#include "platform/system_rules.h"

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

// The child runs in a process group of its own, the terminal's foreground
// group while it runs when this program had the terminal, so that what is
// typed there (Ctrl-C, Ctrl-\, Ctrl-Z) goes to it. A SIGTERM or SIGHUP
// while the child runs ends the child's group too, and restores the
// terminal's modes as they were before it started, then ends this program
// by the same signal.
struct Terminal {
  int fd = -1;  // standard input, output or error, when one is a terminal
  termios modes{};
  bool foreground = false;  // the child's group has the terminal
};
Terminal terminal;
volatile pid_t child_group = 0;
struct sigaction terminate_before {};
struct sigaction hangup_before {};

Terminal find_terminal() {
  Terminal found;
  for (int fd = 0; fd <= 2 && found.fd < 0; ++fd) {
    if (isatty(fd) != 0 && tcgetattr(fd, &found.modes) == 0) found.fd = fd;
  }
  found.foreground = found.fd >= 0 && tcgetpgrp(found.fd) == getpgrp();
  return found;
}

// A change to the terminal made from a background group, which is not
// stopped for it.
template <typename Change>
void change_terminal(Change change) {
  sigset_t blocked;
  sigset_t before;
  sigemptyset(&blocked);
  sigaddset(&blocked, SIGTTOU);
  sigprocmask(SIG_BLOCK, &blocked, &before);
  change();
  sigprocmask(SIG_SETMASK, &before, nullptr);
}

void hand_terminal_to(pid_t group) {
  change_terminal([group] { tcsetpgrp(terminal.fd, group); });
}

void restore_modes() {
  change_terminal([] { tcsetattr(terminal.fd, TCSANOW, &terminal.modes); });
}

// Async-signal-safe: the child's group is asked to end by the same signal,
// and killed if it has not within a second; the terminal gets back its
// modes and its group; then this program ends by the signal.
void end_with_child(int number) {
  const pid_t group = child_group;
  if (group > 0) {
    kill(-group, number);
    kill(-group, SIGCONT);
    const timespec pause{0, 10'000'000};
    for (int tries = 0; tries < 100 && waitpid(group, nullptr, WNOHANG) == 0; ++tries) {
      nanosleep(&pause, nullptr);
    }
    kill(-group, SIGKILL);
    waitpid(group, nullptr, 0);
  }
  if (terminal.foreground) hand_terminal_to(getpgrp());
  if (terminal.fd >= 0) restore_modes();
  signal(number, SIG_DFL);
  sigset_t unblocked;
  sigemptyset(&unblocked);
  sigaddset(&unblocked, number);
  sigprocmask(SIG_UNBLOCK, &unblocked, nullptr);
  raise(number);
}

// A signal this program was started ignoring stays ignored.
bool catch_ending(int number, struct sigaction* previous) {
  if (!set_signal_action(number, end_with_child, previous)) return false;
  return previous->sa_handler != SIG_IGN || sigaction(number, previous, nullptr) == 0;
}

bool ignore_interrupts() {
  terminal = find_terminal();
  if (!set_signal_action(SIGINT, SIG_IGN, &interrupt_before)) return false;
  if (set_signal_action(SIGQUIT, SIG_IGN, &quit_before) &&
      catch_ending(SIGTERM, &terminate_before) && catch_ending(SIGHUP, &hangup_before)) {
    return true;
  }
  sigaction(SIGINT, &interrupt_before, nullptr);
  sigaction(SIGQUIT, &quit_before, nullptr);
  sigaction(SIGTERM, &terminate_before, nullptr);
  return false;
}

bool restore_interrupts() {
  return sigaction(SIGINT, &interrupt_before, nullptr) == 0 &&
         sigaction(SIGQUIT, &quit_before, nullptr) == 0 &&
         sigaction(SIGTERM, &terminate_before, nullptr) == 0 &&
         sigaction(SIGHUP, &hangup_before, nullptr) == 0;
}

void child_finished() {
  child_group = 0;
  if (terminal.foreground) hand_terminal_to(getpgrp());
  if (--children_running == 0) restore_interrupts();
}

std::vector<std::string> candidate_paths(const std::string& program) {
  if (program.find('/') != std::string::npos) return {program};
  std::vector<std::string> candidates;
  for (const std::string& folder : path_folders(std::getenv("PATH"))) {
    candidates.push_back((folder.empty() ? "." : folder) + "/" + program);
  }
  return candidates;
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
  setpgid(0, 0);
  if (terminal.foreground) hand_terminal_to(getpid());
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

// The child whose handle this is; nullptr, with the error set, for none.
ChildProcess* find_child(Handle handle) {
  for (ChildProcess& child : children) {
    if (child.handle == handle) return &child;
  }
  set_last_error(error::kInvalidHandle);
  return nullptr;
}

void record_child(Handle handle, pid_t pid) {
  const ChildProcess fresh{handle, pid, false, 0};
  for (ChildProcess& child : children) {
    if (child.handle == handle) {  // a closed handle's number comes back
      child = fresh;
      return;
    }
  }
  children.push_back(fresh);
}

// A child killed by a signal reports 128 + the signal, as shells do.
std::uint32_t exit_code_of(int status) {
  if (WIFEXITED(status)) return static_cast<std::uint32_t>(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return 128u + static_cast<std::uint32_t>(WTERMSIG(status));
  return kStillActive;
}

// A child stopped at the terminal (Ctrl-Z) stops this program too, so that
// the shell gets its terminal back; once continued, the child goes on in
// the foreground.
void stop_with_child(pid_t group) {
  hand_terminal_to(getpgrp());
  raise(SIGSTOP);
  hand_terminal_to(group);
  kill(-group, SIGCONT);
}

bool reap(ChildProcess& child, int options) {
  int status = 0;
  const int stops = terminal.foreground ? WUNTRACED : 0;
  pid_t got = retry_on_interrupt([&] { return waitpid(child.pid, &status, options | stops); });
  while (got == child.pid && WIFSTOPPED(status)) {
    stop_with_child(child.pid);
    got = retry_on_interrupt([&] { return waitpid(child.pid, &status, options | stops); });
  }
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

std::string own_folder() {
  char own[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", own, sizeof own);
  if (length <= 0 || length == static_cast<ssize_t>(sizeof own)) return {};
  std::string path(own, static_cast<std::size_t>(length));
  path.erase(path.rfind('/') + 1);
  return path;
}

bool creation_failed(std::uint32_t reason) {
  child_finished();
  set_last_error(reason);
  return false;
}

}  // namespace

std::uint32_t default_interpreter(char* buffer, std::uint32_t capacity) {
  return find_default_interpreter({own_folder(), std::getenv("PATH"), kPosixFileCalls}, buffer,
                                  capacity);
}

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
  setpgid(pid, pid);  // as the child does, whichever comes first
  child_group = pid;

  close(status_pipe[1]);
  const int failure = read_exec_error(status_pipe[0]);
  if (failure != 0) {
    // Reaped only so that no zombie is left: the exec error is the answer.
    retry_on_interrupt([pid] { return waitpid(pid, nullptr, 0); });
    close(status_pipe[0]);
    return creation_failed(error_from_errno(failure));
  }
  *process = status_pipe[0];
  record_child(*process, pid);
  return true;
}

bool wait_for_process(Handle process) {
  ChildProcess* child = find_child(process);
  return child != nullptr && (child->ended || reap(*child, 0));
}

bool get_exit_code_process(Handle process, std::uint32_t* code) {
  ChildProcess* child = find_child(process);
  if (child == nullptr || (!child->ended && !reap(*child, WNOHANG))) return false;
  *code = child->ended ? child->exit_code : kStillActive;
  return true;
}

}  // namespace tavelo::platform
