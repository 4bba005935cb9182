#include "tests/e2e/harness.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace tavelo::e2e {
namespace {

using namespace testing;  // the terminal's clock and reads, the scratch folder

constexpr uid_t kOtherUser = 65534;  // nobody, and nogroup as its group
constexpr char kProgramCopy[] = "tavelo";

std::vector<std::string> command_for(const RunOptions& options);

// The first folder above `path` that the other user cannot pass through,
// or an empty path when there is none.
std::filesystem::path closed_to_other_user(const std::filesystem::path& path) {
  for (std::filesystem::path folder = path; !folder.empty(); folder = folder.parent_path()) {
    struct stat info {};
    if (stat(folder.c_str(), &info) != 0 || (info.st_mode & S_IXOTH) == 0) return folder;
    if (folder == folder.parent_path()) break;
  }
  return {};
}

// TMPDIR, or /tmp when unset; a run as the other user takes /tmp too when
// that user cannot reach TMPDIR (a private one, say).
std::string scratch_base(bool other_user) {
  const std::string base = std::filesystem::temp_directory_path();
  if (other_user && geteuid() == 0 && !closed_to_other_user(base).empty()) return "/tmp";
  return base;
}

std::shared_ptr<testing::ScratchFolder> make_scratch_folder(bool other_user) {
  auto folder = std::make_shared<testing::ScratchFolder>(scratch_base(other_user));
  chmod(folder->path().c_str(), 0777);  // a test may drop privileges in the child
  return folder;
}

bool dropping_privileges(const RunOptions& options) {
  return options.as_other_user && geteuid() == 0;
}

// The native program copied where the other user can run it.
void copy_program(const std::string& directory) {
  const std::string copy = directory + "/" + kProgramCopy;
  std::filesystem::copy_file(program_command().back(), copy);
  chmod(copy.c_str(), 0755);
}

void become_other_user() {
  if (setgroups(0, nullptr) != 0 || setgid(kOtherUser) != 0 || setuid(kOtherUser) != 0) {
    _exit(125);
  }
}

int open_or_throw(const std::string& path, int flags) {
  const int fd = open(path.c_str(), flags, 0666);
  check(fd >= 0, "open " + path);
  return fd;
}

[[noreturn]] void exec_child(const RunOptions& options, const std::string& directory, int stdin_fd,
                             int stdout_fd, int stderr_fd) {
  if (stdin_fd >= 0)
    dup2(stdin_fd, 0);
  else
    close(0);
  dup2(stdout_fd, 1);
  dup2(stderr_fd, 2);
  for (int fd = 3; fd < 256; ++fd) close(fd);
  // As a shell starts a foreground job, whatever the suite was started with
  // (nohup, say, leaves SIGHUP ignored, and the program keeps what it is given).
  for (int number : {SIGPIPE, SIGINT, SIGQUIT, SIGHUP, SIGTERM}) signal(number, SIG_DFL);
  if (chdir(directory.c_str()) != 0) _exit(126);
  // An unset COMSPEC would run the tavelo-cmd built beside the program.
  setenv("COMSPEC", "/nonexistent/cmd.exe", 1);
  for (const auto& [name, value] : options.environment) {
    if (value)
      setenv(name.c_str(), value->c_str(), 1);
    else
      unsetenv(name.c_str());
  }
  if (options.in_child) options.in_child();
  std::vector<std::string> command = command_for(options);
  if (dropping_privileges(options)) {
    become_other_user();
    command.back() = directory + "/" + kProgramCopy;
  }
  std::vector<char*> argv;
  for (auto& word : command) argv.push_back(word.data());
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

// The command line of one run: the program itself, or under wine the
// helper that sets the Windows environment and then starts the program.
std::vector<std::string> command_for(const RunOptions& options) {
  std::vector<std::string> command = program_command();
  if (!windows_target()) return command;
  setenv("WINEDEBUG", "-all", 1);
  unsetenv("DISPLAY");  // a real notepad window would wait for a person
  const char* helper = std::getenv("TAVELO_WIN_HELPER");
  if (helper == nullptr) return command;
  std::vector<std::string> wrapped(command.begin(), command.end() - 1);
  wrapped.insert(wrapped.end(), {helper, "run"});
  bool comspec_given = false;
  for (const auto& [name, value] : options.environment) {
    wrapped.push_back(value ? name + "=" + *value : name);
    comspec_given = comspec_given || name == "COMSPEC";
  }
  if (!comspec_given) wrapped.push_back("COMSPEC=Z:\\nonexistent\\cmd.exe");
  wrapped.push_back("--");
  wrapped.push_back(windows_path(command.back()));
  return wrapped;
}

void close_fd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// Feeds the child's stdin and drains its stdout and stderr without deadlock.
// poll() passes over the descriptors already closed (-1).
void pump(int in_fd, const std::string& input, int out_fd, std::string& out, int err_fd,
          std::string& err) {
  std::size_t sent = 0;
  if (input.empty()) close_fd(in_fd);
  while (out_fd >= 0 || err_fd >= 0) {
    pollfd fds[3] = {{in_fd, POLLOUT, 0}, {out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
    if (poll(fds, 3, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents != 0) {
      const ssize_t put = write(in_fd, input.data() + sent, input.size() - sent);
      if (put > 0) sent += static_cast<std::size_t>(put);
      if (put < 0 || sent == input.size()) close_fd(in_fd);
    }
    if (fds[1].revents != 0 && !read_some(out_fd, out, 0)) close_fd(out_fd);
    if (fds[2].revents != 0 && !read_some(err_fd, err, 0)) close_fd(err_fd);
  }
  close_fd(in_fd);
}

}  // namespace

std::string windows_path(const std::string& path) {
  std::string converted = "Z:" + path;
  std::replace(converted.begin(), converted.end(), '/', '\\');
  return converted;
}

std::vector<std::string> program_command() {
  std::vector<std::string> words;
  const char* override_command = std::getenv("TAVELO_COMMAND");
  std::istringstream stream(override_command != nullptr && *override_command != '\0'
                                ? override_command
                                : TAVELO_DEFAULT_COMMAND);
  for (std::string word; stream >> word;) words.push_back(word);
  return words;
}

bool windows_target() {
  const std::vector<std::string> command = program_command();
  const std::string& last = command.back();
  return command.front() == "wine" ||
         (last.size() > 4 && last.compare(last.size() - 4, 4, ".exe") == 0);
}

namespace {

// The little-endian field of `size` bytes at `at` in a program image; bytes
// beyond its end read as zero.
std::uint64_t image_field(const std::string& image, std::size_t at, std::size_t size) {
  std::uint64_t value = 0;
  for (std::size_t i = size; i-- > 0;) {
    const std::size_t place = at + i;
    value = value << 8 | (place < image.size() ? static_cast<unsigned char>(image[place]) : 0u);
  }
  return value;
}

}  // namespace

bool windows_32_bit_target() {
  if (!windows_target()) return false;
  constexpr std::size_t kHeaderOffsetAt = 0x3c;
  constexpr unsigned kIntel386 = 0x14c;
  const std::string image = read_file(program_command().back());
  const std::size_t header = image_field(image, kHeaderOffsetAt, 4);
  // "PE\0\0", then the machine type.
  return image_field(image, header + 4, 2) == kIntel386;
}

bool web_target() {
  const std::vector<std::string> command = program_command();
  const std::string image = read_file(command.back());
  const std::string first_line = image.substr(0, image.find('\n'));
  return std::filesystem::path(command.front()).filename() == "node" ||
         (first_line.starts_with("#!") && first_line.find("node") != std::string::npos);
}

bool statically_linked_target() {
  // An emulator in front (qemu-user) needs descriptors of its own.
  if (windows_target() || program_command().size() > 1) return false;
  constexpr std::uint64_t kInterpreter = 3;  // PT_INTERP: the dynamic loader's name
  const std::string image = read_file(program_command().back());
  if (image.compare(0, 5,
                    "\x7f"
                    "ELF\x02") != 0)
    return false;  // 64-bit ELF only
  const std::uint64_t table = image_field(image, 32, 8);
  const std::uint64_t entry_size = image_field(image, 54, 2);
  const std::uint64_t count = image_field(image, 56, 2);
  for (std::uint64_t i = 0; i < count; ++i) {
    if (image_field(image, table + i * entry_size, 4) == kInterpreter) return false;
  }
  return true;
}

std::string other_user_unavailable() {
  if (windows_target()) return "wine runs only as the owner of its prefix";
  if (geteuid() != 0) return "";
  const std::filesystem::path closed = closed_to_other_user(scratch_base(true));
  if (closed.empty()) return "";
  return "uid " + std::to_string(kOtherUser) + " cannot pass through " + closed.string();
}

std::string prompt(std::size_t i) {
  std::string_view rest = kPrompts;
  for (; i > 0; --i) rest.remove_prefix(rest.find('\n') + 1);
  return std::string(rest.substr(0, rest.find('\r')));
}

std::string input_for(int n) {
  const std::string_view input = kInput;
  return std::string(input.substr(0, input.rfind('\n', input.size() - 2) + 1)) + std::to_string(n) +
         "\n";
}

std::string report(const char* code, const char* label, const char* message) {
  return std::string("\r\nrun-time error ") + code + label + "\r\n- " + message + "\r\n";
}

std::string read_report(const std::string& number, const std::string& message) {
  return report(("F" + number).c_str(), ": READ(CON)", message.c_str());
}

RunResult run_program(const RunOptions& options) {
  signal(SIGPIPE, SIG_IGN);
  RunResult result;
  result.folder = make_scratch_folder(dropping_privileges(options));
  result.directory = result.folder->path();
  if (dropping_privileges(options)) copy_program(result.directory);
  if (options.prepare) options.prepare(result.directory);

  int in_pipe[2] = {-1, -1}, out_pipe[2] = {-1, -1}, err_pipe[2];
  int child_stdin = -1, child_stdout = -1;
  // Beside the scratch directory, not in it.
  const std::string stdin_path = result.directory + ".stdin";
  const std::string stdout_path = result.directory + ".stdout";
  switch (options.stdin_kind) {
    case StdinKind::Pipe:
      check(pipe(in_pipe) == 0, "pipe");
      child_stdin = in_pipe[0];
      break;
    case StdinKind::File:
      write_file(stdin_path, options.input);
      child_stdin = open_or_throw(stdin_path, O_RDONLY);
      break;
    case StdinKind::Null: child_stdin = open_or_throw("/dev/null", O_RDONLY); break;
    case StdinKind::Closed: break;
  }
  switch (options.stdout_kind) {
    case StdoutKind::Pipe:
      check(pipe(out_pipe) == 0, "pipe");
      child_stdout = out_pipe[1];
      break;
    case StdoutKind::File:
      child_stdout = open_or_throw(stdout_path, O_WRONLY | O_CREAT | O_TRUNC);
      break;
    case StdoutKind::DevFull: child_stdout = open_or_throw("/dev/full", O_WRONLY); break;
  }
  check(pipe(err_pipe) == 0, "pipe");

  const pid_t pid = fork();
  check(pid >= 0, "fork");
  if (pid == 0) exec_child(options, result.directory, child_stdin, child_stdout, err_pipe[1]);

  if (child_stdin >= 0) close(child_stdin);
  close(child_stdout);
  close(err_pipe[1]);
  pump(in_pipe[1], options.input, out_pipe[0], result.out, err_pipe[0], result.err);

  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  if (options.stdout_kind == StdoutKind::File) {
    result.out = read_file(stdout_path);
    unlink(stdout_path.c_str());
  }
  if (options.stdin_kind == StdinKind::File) unlink(stdin_path.c_str());
  const std::string results_path = result.directory + "/resultados.txt";
  struct stat info {};
  if (stat(results_path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
    result.results = read_file(results_path);
  }
  return result;
}

TerminalRun::TerminalRun(const RunOptions& options) {
  signal(SIGPIPE, SIG_IGN);
  folder_ = make_scratch_folder(false);
  if (options.prepare) options.prepare(directory());
  int err_pipe[2];
  check(pipe(err_pipe) == 0, "pipe");
  int out_fd = slave();
  if (options.stdout_kind == StdoutKind::File) {
    out_fd = open_or_throw(directory() + "/stdout", O_WRONLY | O_CREAT | O_TRUNC);
  }
  pid_ = fork();
  check(pid_ >= 0, "fork");
  if (pid_ == 0) {
    // The terminal becomes the program's controlling terminal, as in a shell.
    setsid();
    ioctl(slave(), TIOCSCTTY, 0);
    exec_child(options, directory(), slave(), out_fd, err_pipe[1]);
  }
  if (out_fd != slave()) close(out_fd);
  close(err_pipe[1]);
  err_fd_ = err_pipe[0];
}

TerminalRun::~TerminalRun() {
  if (pid_ > 0 && !exited_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  close(err_fd_);
}

void TerminalRun::type(const std::string& keys) const {
  // Wine's console takes the terminal over (echo and canonical mode off) a
  // moment after the program has started; keys typed before that would be
  // echoed by the terminal itself, as no console is.
  const auto deadline = Clock::now() + kPatience;
  while (windows_target() && (local_modes() & ICANON) != 0 && Clock::now() < deadline) {
    poll(nullptr, 0, 10);
  }
  PseudoTerminal::type(keys);
}

int TerminalRun::wait() {
  const auto deadline = Clock::now() + kPatience;
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    // After a failure the program may be waiting for input that never comes.
    if (Clock::now() >= deadline || ::testing::Test::HasFailure()) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    poll(nullptr, 0, 10);
  }
  exited_ = true;
  while (read_some(err_fd_, err_, remaining_ms(deadline))) {
  }
  signalled_ = WIFSIGNALED(status);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void TerminalRun::send(int number) const { kill(pid_, number); }

std::string TerminalRun::out() const { return read_file(directory() + "/stdout"); }

}  // namespace tavelo::e2e
