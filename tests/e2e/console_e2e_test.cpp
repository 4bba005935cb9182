// The console dialogue with redirected standard streams: prompts, owed line
// ends and the reports of unusable input, byte for byte.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"

namespace tavelo::e2e {
namespace {

const std::string kFirstPrompt = prompt(0) + "\r\n";

const std::string kEndOfInput = read_report("6501", "end of input: a value was expected");
const std::string kNotAReal =
    read_report("6103", "not a real number: expected digits such as 0.71 or 7.1E-1");

struct DialogueCase {
  const char* name;
  std::string input;
  StdinKind stdin_kind;
  std::string out;
  std::string err;
  int exit_code;
  StdoutKind stdout_kind = StdoutKind::File;
};

void PrintTo(const DialogueCase& c, std::ostream* os) { *os << c.name; }

class ConsoleDialogue : public ::testing::TestWithParam<DialogueCase> {};

TEST_P(ConsoleDialogue, WritesExactlyTheseBytes) {
  const DialogueCase& c = GetParam();
  RunOptions options{.input = c.input};
  options.stdin_kind = c.stdin_kind;
  options.stdout_kind = c.stdout_kind;
  const RunResult run = run_program(options);
  EXPECT_EQ(run.out, c.out);
  EXPECT_EQ(run.err, c.err);
  EXPECT_EQ(run.exit_code, c.exit_code);
}

// N = 0 ends the run without a table row, so only the dialogue is at stake.
// How a line is scanned and converted is the unit tables' (free_input_test,
// value_conversion_test); these rows are what only a whole run shows: the
// prompts and their line ends, the kinds of standard input, the reports.
INSTANTIATE_TEST_SUITE_P(
    Runs, ConsoleDialogue,
    ::testing::Values(
        DialogueCase{"crlf_lines", "0.7\r\n0.71\r\n0\r\n", StdinKind::File, kPrompts, "", 0},
        DialogueCase{"lf_lines_from_a_pipe", "0.7\n0.71\n0\n", StdinKind::Pipe, kPrompts, "", 0},
        // 132 bytes, a whole record, ending inside the last line.
        DialogueCase{"last_line_without_lf_ends_a_full_record",
                     "0.7\n0.71\n" + std::string(122, ' ') + "0", StdinKind::File, kPrompts, "", 0},
        DialogueCase{"error_at_the_first_read", "abc\r\n0.71\r\n0\r\n", StdinKind::File,
                     kFirstPrompt, kNotAReal, 1},
        DialogueCase{"empty_input", "", StdinKind::Pipe, kFirstPrompt, kEndOfInput, 1},
        DialogueCase{"input_from_the_null_device", "", StdinKind::Null, kFirstPrompt, kEndOfInput,
                     1},
        DialogueCase{"no_standard_input", "", StdinKind::Closed, kFirstPrompt,
                     read_report("6500", "standard input could not be read"), 1},
        // From a file a record is the next 132 bytes: a Ctrl+Z line at the
        // end of them ends the input at once, even the line before it.
        DialogueCase{"ctrl_z_line_ends_the_record", "0.7\r\n\x1a\r\n", StdinKind::File,
                     kFirstPrompt, kEndOfInput, 1},
        DialogueCase{"real_given_for_the_integer", "0.7\r\n0.71\r\n5.0\r\n", StdinKind::File,
                     kPrompts, read_report("6101", "invalid character in an integer value"), 1},
        DialogueCase{
            "quoted_value", "'0.7'\r\n", StdinKind::File, kFirstPrompt,
            read_report("6504", "quoted or parenthesised text where a number was expected"), 1},
        DialogueCase{"beyond_single_precision", "3.4028235e38\r\n", StdinKind::File, kFirstPrompt,
                     read_report("6104", "real value too large: the limit is 3.4028234E+38"), 1},
        DialogueCase{"full_output_device", "0.7\n0.71\n0\n", StdinKind::Pipe, "",
                     report("F6422", ": WRITE(CON)", "no space left on the device"), 1,
                     StdoutKind::DevFull}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// In the program's process, before it starts: standard input becomes a pipe
// from a writer that sends `pieces` one at a time, each once the program has
// taken all before it, and then keeps its end open, as a writer waiting for
// the next prompt would, until the program has gone. A program still waiting
// for input after 20 seconds is killed. Some process managers hand the pipe
// over non-blocking.
std::function<void()> paced_input(std::vector<std::string> pieces, bool non_blocking) {
  return [pieces, non_blocking] {
    int fds[2];
    if (pipe(fds) != 0 || (non_blocking && fcntl(fds[0], F_SETFL, O_NONBLOCK) != 0)) _exit(125);
    const pid_t program = getpid();
    if (fork() == 0) {
      close(fds[0]);
      for (const int fd : {0, 1, 2}) close(fd);
      int ticks = 0;
      const auto keep_waiting = [&] {
        if (getppid() != program || ++ticks > 2000) return false;
        usleep(10000);
        return true;
      };
      for (const std::string& piece : pieces) {
        if (write(fds[1], piece.data(), piece.size()) < 0) _exit(0);
        int unread = 0;
        while (ioctl(fds[1], FIONREAD, &unread) == 0 && unread > 0 && keep_waiting()) {
        }
      }
      while (keep_waiting()) {
      }
      if (getppid() == program) kill(program, SIGKILL);
      _exit(0);
    }
    dup2(fds[0], 0);
    close(fds[0]);
    close(fds[1]);
  };
}

struct PacedCase {
  const char* name;
  std::vector<std::string> pieces;
  bool non_blocking = false;
};

void PrintTo(const PacedCase& c, std::ostream* os) { *os << c.name; }

class PacedInput : public ::testing::TestWithParam<PacedCase> {};

// However the writer's pauses cut the input, the run is the one the same
// bytes give from a file.
TEST_P(PacedInput, GivesTheRunOfTheSameBytesFromAFile) {
  const PacedCase& c = GetParam();
  if (c.non_blocking && windows_target()) GTEST_SKIP() << "O_NONBLOCK is POSIX's";
  RunOptions from_file;
  for (const std::string& piece : c.pieces) from_file.input += piece;
  from_file.stdin_kind = StdinKind::File;
  const RunResult expected = run_program(from_file);
  ASSERT_EQ(expected.exit_code, 0) << expected.err;

  RunOptions paced;
  paced.in_child = paced_input(c.pieces, c.non_blocking);
  const RunResult run = run_program(paced);
  EXPECT_EQ(run.out, expected.out);
  EXPECT_EQ(run.err, expected.err);
  EXPECT_EQ(run.exit_code, expected.exit_code);
  EXPECT_EQ(run.results.value_or("<none>"), expected.results.value_or("<none>"));
}

INSTANTIATE_TEST_SUITE_P(
    Writers, PacedInput,
    ::testing::Values(PacedCase{"pause_inside_a_value", {"0.7", "5\n1\n1\n"}},
                      PacedCase{"pause_inside_the_next_line", {"0.7\n0.7", "1\n1\n"}},
                      PacedCase{"whole_lines_then_waiting", {"0.7\n", "0.71\n", "1\n"}},
                      PacedCase{"non_blocking_pipe", {"0.7\n", "0.71\n", "1\n"}, true}),
    [](const auto& paced) { return std::string(paced.param.name); });

// Standard output is a full pipe that another program has set non-blocking;
// its reader drains it half a second later and passes on what follows the
// filling. The prompts wait for room instead of being lost.
TEST(PushingBackOutput, PromptsWaitForRoomInAFullNonBlockingPipe) {
  if (windows_target()) GTEST_SKIP() << "O_NONBLOCK is POSIX's";
  RunOptions options{.input = input_for(1)};
  options.in_child = [] {
    int fds[2];
    if (pipe(fds) != 0 || fcntl(fds[1], F_SETFL, O_NONBLOCK) != 0) _exit(125);
    const char fill[512] = {};
    ssize_t filled = 0;
    for (ssize_t n; (n = write(fds[1], fill, sizeof fill)) > 0;) filled += n;
    if (fork() == 0) {
      close(fds[1]);
      usleep(500000);
      char chunk[4096];
      for (ssize_t n; (n = read(fds[0], chunk, sizeof chunk)) > 0;) {
        const ssize_t skipped = std::min(n, filled);
        filled -= skipped;
        if (write(1, chunk + skipped, static_cast<std::size_t>(n - skipped)) < 0) _exit(1);
      }
      _exit(0);
    }
    dup2(fds[1], 1);
    close(fds[0]);
    close(fds[1]);
  };
  const RunResult run = run_program(options);
  EXPECT_EQ(run.out, kPrompts);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exit_code, 0);
}

}  // namespace
}  // namespace tavelo::e2e
