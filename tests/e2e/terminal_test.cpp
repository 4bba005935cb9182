// The console dialogue on a real pseudo-terminal: the user types each value
// after seeing its prompt, and the terminal shows the prompts, the echo of
// the typing and the owed line ends in the order they happened.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"

namespace tavelo::e2e {
namespace {

using Clock = std::chrono::steady_clock;
// A safety net against a hung child, not a measure of speed.
constexpr auto kPatience = std::chrono::seconds(10);

const std::string kCrLf = "\r\n";
const std::string kEndOfInputKey = "\x04";  // Ctrl+D
const std::string kPromptPrs = "Digite o valor de Prs";
const std::string kPromptPr = "Digite o valor de Pr";
const std::string kPromptN = "Digite o numero de elementos dos conjuntos";

std::string read_report(const std::string& number, const std::string& message) {
  return "\r\nrun-time error F" + number + ": READ(CON)\r\n- " + message + "\r\n";
}

int remaining_ms(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// The program with standard input (and optionally standard output) on the
// slave side of a pseudo-terminal and standard error on a pipe. Output
// post-processing is off, so the bytes on the terminal are the program's own
// plus the line discipline's echo of what is typed.
class TerminalRun {
 public:
  explicit TerminalRun(bool stdout_on_terminal = true) {
    check(openpty(&master_, &slave_, nullptr, nullptr, nullptr) == 0, "openpty");
    termios settings{};
    check(tcgetattr(slave_, &settings) == 0, "tcgetattr");
    settings.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    settings.c_lflag |= ICANON | ECHO;
    check(tcsetattr(slave_, TCSANOW, &settings) == 0, "tcsetattr");
    int err_pipe[2];
    check(pipe(err_pipe) == 0, "pipe");
    char pattern[] = "/tmp/tavelo-tty-XXXXXX";
    check(mkdtemp(pattern) != nullptr, "mkdtemp");
    directory_ = pattern;
    const std::string out_path = directory_ + "/stdout";
    const std::vector<std::string> command = program_command();

    pid_ = fork();
    check(pid_ >= 0, "fork");
    if (pid_ == 0) {
      setsid();
      dup2(slave_, 0);
      if (stdout_on_terminal)
        dup2(slave_, 1);
      else
        dup2(open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666), 1);
      dup2(err_pipe[1], 2);
      for (int fd = 3; fd < 256; ++fd) close(fd);
      if (chdir(directory_.c_str()) != 0) _exit(126);
      setenv("COMSPEC", "/nonexistent/cmd.exe", 1);  // no viewer at the terminal
      std::vector<char*> argv;
      argv.reserve(command.size() + 1);
      for (const auto& word : command) argv.push_back(const_cast<char*>(word.c_str()));
      argv.push_back(nullptr);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    close(err_pipe[1]);
    err_fd_ = err_pipe[0];
    // The slave stays open here too, so the terminal's buffered output
    // survives the child's exit.
  }

  ~TerminalRun() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(master_);
    close(slave_);
    close(err_fd_);
    std::system(("rm -rf '" + directory_ + "'").c_str());
  }

  TerminalRun(const TerminalRun&) = delete;
  TerminalRun& operator=(const TerminalRun&) = delete;

  void type(const std::string& keys) {
    check(write(master_, keys.data(), keys.size()) == static_cast<ssize_t>(keys.size()), "type");
  }

  // Everything shown so far, once all that is expected has been or the
  // screen has gone another way.
  const std::string& screen_until(std::size_t length) {
    const auto deadline = Clock::now() + kPatience;
    while (screen_.size() < length && expected_.starts_with(screen_) &&
           !::testing::Test::HasFailure() && read_some(master_, screen_, remaining_ms(deadline)) &&
           Clock::now() < deadline) {
    }
    return screen_;
  }

  // Waits for `text` to be the end of what is shown, then types `keys`,
  // which the terminal echoes (end of input excepted).
  void answer(const std::string& text, const std::string& keys) {
    if (::testing::Test::HasFailure()) return;
    expected_ += text;
    screen_until(expected_.size());
    ASSERT_EQ(screen_, expected_);
    type(keys);
    if (keys != kEndOfInputKey) expected_ += keys;
  }

  // The exit code, after the child has ended (killed if it never does).
  int wait() {
    const auto deadline = Clock::now() + kPatience;
    int status = 0;
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      // After a failure the child may be waiting for input that never comes.
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
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  // The whole screen once `expected` is due, with a short look for more.
  std::string final_screen(const std::string& tail) {
    expected_ += tail;
    screen_until(expected_.size());
    read_some(master_, screen_, 100);
    return screen_;
  }
  const std::string& expected() const { return expected_; }
  const std::string& err() const { return err_; }
  std::string out_file() const { return read_file(directory_ + "/stdout"); }

 private:
  static void check(bool ok, const char* what) {
    if (!ok) throw std::runtime_error(what);
  }

  // Appends what arrives within `timeout_ms`; false at the end or on silence.
  static bool read_some(int fd, std::string& sink, int timeout_ms) {
    pollfd entry{fd, POLLIN, 0};
    if (poll(&entry, 1, timeout_ms) <= 0) return false;
    char buffer[4096];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) return false;
    sink.append(buffer, static_cast<std::size_t>(got));
    return true;
  }

  int master_ = -1;
  int slave_ = -1;
  int err_fd_ = -1;
  pid_t pid_ = -1;
  bool exited_ = false;
  std::string directory_;
  std::string screen_;
  std::string expected_;
  std::string err_;
};

// The Windows program's console is wine's, not a POSIX terminal: these
// cases are for the POSIX backend's terminal reads.
class Terminal : public ::testing::Test {
 protected:
  void SetUp() override {
    if (windows_target()) GTEST_SKIP() << "a pseudo-terminal is not a Windows console";
  }
};

TEST_F(Terminal, EachValueIsTypedOnTheLineBelowItsPrompt) {
  TerminalRun run;
  run.answer(kPromptPrs + kCrLf, "0.7\n");
  run.answer(kPromptPr + kCrLf, "0.71\n");
  run.answer(kPromptN + kCrLf, "0\n");
  // No line end is owed once the last value has been read.
  EXPECT_EQ(run.wait(), 0);
  EXPECT_EQ(run.final_screen(""),
            kPromptPrs + kCrLf + "0.7\n" + kPromptPr + kCrLf + "0.71\n" + kPromptN + kCrLf + "0\n");
  EXPECT_EQ(run.err(), "");
}

TEST_F(Terminal, EndOfInputIsReportedAndTheOwedLineEndPaidAtExit) {
  TerminalRun run;
  run.answer(kPromptPrs + kCrLf, "0.7\n");
  run.answer(kPromptPr + kCrLf, kEndOfInputKey);
  run.wait();
  EXPECT_EQ(run.final_screen(kCrLf), kPromptPrs + kCrLf + "0.7\n" + kPromptPr + kCrLf + kCrLf);
  EXPECT_EQ(run.err(), read_report("6501", "end of input: a value was expected"));
}

TEST_F(Terminal, EndOfInputExitCodeIsOne) {
  TerminalRun run;
  run.answer(kPromptPrs + kCrLf, kEndOfInputKey);
  EXPECT_EQ(run.wait(), 1);
}

TEST_F(Terminal, LineOf131CharactersIsTooLong) {
  const std::string line(127, ' ');
  TerminalRun run;
  run.answer(kPromptPrs + kCrLf, line + "0.25\n");
  EXPECT_EQ(run.wait(), 1);
  EXPECT_EQ(run.final_screen(kCrLf), kPromptPrs + kCrLf + line + "0.25\n" + kCrLf);
  EXPECT_EQ(run.err(), read_report("6407", "console line longer than 130 characters"));
}

TEST_F(Terminal, LineOf130CharactersIsAccepted) {
  const std::string line(126, ' ');
  TerminalRun run;
  run.answer(kPromptPrs + kCrLf, line + "0.25\n");
  run.answer(kPromptPr + kCrLf, "0.71\n");
  run.answer(kPromptN + kCrLf, "0\n");
  EXPECT_EQ(run.wait(), 0);
  EXPECT_EQ(run.final_screen(""), run.expected());
  EXPECT_EQ(run.err(), "");
}

TEST_F(Terminal, NullRepeatEndsTheReadAtItsOwnLineEnd) {
  TerminalRun run;
  run.answer(kPromptPrs + kCrLf, "2*\n");
  run.answer(kPromptPr + kCrLf, "0.71\n");
  run.answer(kPromptN + kCrLf, "0\n");
  EXPECT_EQ(run.wait(), 0);
  EXPECT_EQ(run.final_screen(""), run.expected());
  EXPECT_EQ(run.err(), "");
}

TEST_F(Terminal, BlankLinesAreTypedOverUntilAValueComes) {
  TerminalRun run;
  run.answer(kPromptPrs + kCrLf, "\n");
  run.type("   \n0.7 9\n");
  run.answer("   \n0.7 9\n" + kPromptPr + kCrLf, "0.71\n");
  run.answer(kPromptN + kCrLf, "0\n");
  EXPECT_EQ(run.wait(), 0);
  EXPECT_EQ(run.final_screen(""), run.expected());
}

TEST_F(Terminal, RedirectedOutputLeavesOnlyTheEchoOnTheTerminal) {
  TerminalRun run(false);
  run.type("0.7\n0.71\n0\n");
  EXPECT_EQ(run.wait(), 0);
  EXPECT_EQ(run.final_screen("0.7\n0.71\n0\n"), "0.7\n0.71\n0\n");
  EXPECT_EQ(run.out_file(), kPromptPrs + kCrLf + kPromptPr + kCrLf + kPromptN + kCrLf);
  EXPECT_EQ(run.err(), "");
}

}  // namespace
}  // namespace tavelo::e2e
