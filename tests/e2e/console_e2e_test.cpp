// The console dialogue with redirected standard streams: prompts, owed line
// ends and the reports of unusable input, byte for byte.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/e2e/harness.h"

namespace tavelo::e2e {
namespace {

const std::string kCrLf = "\r\n";
const std::string kPromptPrs = "Digite o valor de Prs";
const std::string kPromptPr = "Digite o valor de Pr";
const std::string kPromptN = "Digite o numero de elementos dos conjuntos";
const std::string kAllPrompts = kPromptPrs + kCrLf + kPromptPr + kCrLf + kPromptN + kCrLf;

std::string read_report(const std::string& number, const std::string& message) {
  return "\r\nrun-time error F" + number + ": READ(CON)\r\n- " + message + "\r\n";
}

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
};

void PrintTo(const DialogueCase& c, std::ostream* os) { *os << c.name; }

class ConsoleDialogue : public ::testing::TestWithParam<DialogueCase> {};

TEST_P(ConsoleDialogue, WritesExactlyTheseBytes) {
  const DialogueCase& c = GetParam();
  RunOptions options;
  options.input = c.input;
  options.stdin_kind = c.stdin_kind;
  options.stdout_kind = StdoutKind::File;
  const RunResult run = run_program(options);
  EXPECT_EQ(run.out, c.out);
  EXPECT_EQ(run.err, c.err);
  EXPECT_EQ(run.exit_code, c.exit_code);
}

// N = 0 ends the run without a table row, so only the dialogue is at stake.
INSTANTIATE_TEST_SUITE_P(
    Runs, ConsoleDialogue,
    ::testing::Values(
        DialogueCase{"crlf_lines", "0.7\r\n0.71\r\n0\r\n", StdinKind::File, kAllPrompts, "", 0},
        DialogueCase{"lf_lines_from_a_pipe", "0.7\n0.71\n0\n", StdinKind::Pipe, kAllPrompts, "", 0},
        DialogueCase{"last_line_without_lf", "0.7\n0.71\n0", StdinKind::File, kAllPrompts, "", 0},
        // 132 bytes, a whole record, ending inside the last line.
        DialogueCase{"last_line_without_lf_ends_a_full_record",
                     "0.7\n0.71\n" + std::string(122, ' ') + "0", StdinKind::File, kAllPrompts, "",
                     0},
        DialogueCase{"blank_lines_before_values", "\r\n  \r\n0.7\r\n\t\r\n\r\n0.71\r\n\r\n0\r\n",
                     StdinKind::File, kAllPrompts, "", 0},
        DialogueCase{"rest_of_each_line_discarded", "0.7 99\r\n0.71,3\r\n0/8\r\n", StdinKind::File,
                     kAllPrompts, "", 0},
        // A null value ended by Enter consumes only its own line.
        DialogueCase{"null_repeat_keeps_the_next_line", "2*\r\n0.71\r\n0\r\n", StdinKind::File,
                     kAllPrompts, "", 0},
        // "(" and a quote while the value is still empty begin their forms
        // again: both values are null.
        DialogueCase{"parenthesis_inside_parentheses", "(()\r\n0.71\r\n0\r\n", StdinKind::File,
                     kAllPrompts, "", 0},
        DialogueCase{"empty_quotes_inside_parentheses", "('')\r\n0.71\r\n0\r\n", StdinKind::File,
                     kAllPrompts, "", 0},
        DialogueCase{"three_values_on_one_line", "0.7 0.71 0\r\n", StdinKind::File,
                     kPromptPrs + kCrLf + kPromptPr + kCrLf, kEndOfInput, 1},
        DialogueCase{"error_at_the_first_read", "abc\r\n0.71\r\n0\r\n", StdinKind::File,
                     kPromptPrs + kCrLf, kNotAReal, 1},
        DialogueCase{"empty_input", "", StdinKind::Pipe, kPromptPrs + kCrLf, kEndOfInput, 1},
        DialogueCase{"input_from_the_null_device", "", StdinKind::Null, kPromptPrs + kCrLf,
                     kEndOfInput, 1},
        DialogueCase{"no_standard_input", "", StdinKind::Closed, kPromptPrs + kCrLf,
                     read_report("6500", "standard input could not be read"), 1},
        // From a file a record is the next 132 bytes: a Ctrl+Z line at the
        // end of them ends the input at once, even the line before it.
        DialogueCase{"ctrl_z_line_ends_the_record", "0.7\r\n\x1a\r\n", StdinKind::File,
                     kPromptPrs + kCrLf, kEndOfInput, 1},
        DialogueCase{"real_given_for_the_integer", "0.7\r\n0.71\r\n5.0\r\n", StdinKind::File,
                     kAllPrompts, read_report("6101", "invalid character in an integer value"), 1},
        DialogueCase{
            "quoted_value", "'0.7'\r\n", StdinKind::File, kPromptPrs + kCrLf,
            read_report("6504", "quoted or parenthesised text where a number was expected"), 1},
        DialogueCase{"value_longer_than_259_characters", std::string(260, '1') + "\r\n",
                     StdinKind::File, kPromptPrs + kCrLf, kNotAReal, 1},
        DialogueCase{"beyond_single_precision", "3.4028235e38\r\n", StdinKind::File,
                     kPromptPrs + kCrLf,
                     read_report("6104", "real value too large: the limit is 3.4028234E+38"), 1}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// In the program's process, before it starts: standard input becomes a pipe
// from a writer that sends `pieces` one at a time, each once the program has
// taken all before it, and then keeps its end open, as a writer waiting for
// the next prompt would, until the program has gone. A program still waiting
// for input after 20 seconds is killed.
std::function<void()> paced_input(std::vector<std::string> pieces) {
  return [pieces] {
    int fds[2];
    if (pipe(fds) != 0) _exit(125);
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
};

void PrintTo(const PacedCase& c, std::ostream* os) { *os << c.name; }

class PacedInput : public ::testing::TestWithParam<PacedCase> {};

// However the writer's pauses cut the input, the run is the one the same
// bytes give from a file.
TEST_P(PacedInput, GivesTheRunOfTheSameBytesFromAFile) {
  const PacedCase& c = GetParam();
  RunOptions from_file;
  for (const std::string& piece : c.pieces) from_file.input += piece;
  from_file.stdin_kind = StdinKind::File;
  const RunResult expected = run_program(from_file);
  ASSERT_EQ(expected.exit_code, 0) << expected.err;

  RunOptions paced;
  paced.in_child = paced_input(c.pieces);
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
                      PacedCase{"whole_lines_then_waiting", {"0.7\n", "0.71\n", "1\n"}}),
    [](const auto& paced) { return std::string(paced.param.name); });

// ---- Standard input that is neither a file nor a plain pipe ---------------

// A TCP connection on the loopback whose peer sends the values, the last
// line without its line end, and then resets the connection.
void connection_reset_after_the_values() {
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  auto* named = reinterpret_cast<sockaddr*>(&address);
  if (listener < 0 || bind(listener, named, length) != 0 || listen(listener, 1) != 0 ||
      getsockname(listener, named, &length) != 0)
    _exit(125);
  const int client = socket(AF_INET, SOCK_STREAM, 0);
  if (client < 0 || connect(client, named, length) != 0) _exit(125);
  const int peer = accept(listener, nullptr, nullptr);
  constexpr char kValues[] = "0.7\n0.71\n7";
  const linger reset{1, 0};
  if (peer < 0 || write(peer, kValues, sizeof kValues - 1) != sizeof kValues - 1 ||
      setsockopt(peer, SOL_SOCKET, SO_LINGER, &reset, sizeof reset) != 0)
    _exit(125);
  close(peer);
  close(listener);
  dup2(client, 0);
  close(client);
}

// A pipe from a writer that sends "0.7\n0.71\n7" and its last line end only
// once the program's output, which it passes on, shows all three prompts
// (the last one's line end stays owed until the program ends).
// A writer still waiting for them after 10 seconds sends the line end anyway
// and adds a line of its own to the output.
void last_line_end_after_the_prompts() {
  const std::string three_prompts = kAllPrompts.substr(0, kAllPrompts.size() - 2);
  int in[2];
  int out[2];
  if (pipe(in) != 0 || pipe(out) != 0) _exit(125);
  if (fork() == 0) {
    for (const int fd : {in[0], out[1], 0, 2}) close(fd);
    constexpr char kFirst[] = "0.7\n0.71\n7";
    if (write(in[1], kFirst, sizeof kFirst - 1) < 0) _exit(1);
    std::string shown;
    char buffer[256];
    for (;;) {
      pollfd entry{out[0], POLLIN, 0};
      const bool waiting = in[1] >= 0;
      if (waiting && poll(&entry, 1, 10000) == 0) {
        constexpr char kLate[] = "prompts not all shown\n";
        if (write(1, kLate, sizeof kLate - 1) < 0) _exit(1);
        shown = three_prompts;
      } else {
        const ssize_t got = read(out[0], buffer, sizeof buffer);
        if (got <= 0 || write(1, buffer, static_cast<std::size_t>(got)) != got) _exit(0);
        shown.append(buffer, static_cast<std::size_t>(got));
      }
      if (waiting && shown == three_prompts) {
        if (write(in[1], "\n", 1) != 1) _exit(1);
        close(in[1]);
        in[1] = -1;
      }
    }
  }
  dup2(in[0], 0);
  dup2(out[1], 1);
  for (const int fd : {in[0], in[1], out[0], out[1]}) close(fd);
}

// A pipe handed over non-blocking, whose writer sends the values half a
// second after the program has started.
void non_blocking_pipe_written_late() {
  int fds[2];
  if (pipe(fds) != 0 || fcntl(fds[0], F_SETFL, O_NONBLOCK) != 0) _exit(125);
  if (fork() == 0) {
    for (const int fd : {fds[0], 0, 1, 2}) close(fd);
    usleep(500000);
    const std::string input = input_for(7);
    _exit(write(fds[1], input.data(), input.size()) < 0 ? 1 : 0);
  }
  dup2(fds[0], 0);
  close(fds[0]);
  close(fds[1]);
}

struct UnusualInput {
  const char* name;
  void (*set_up)();
};

void PrintTo(const UnusualInput& c, std::ostream* os) { *os << c.name; }

class UnusualStandardInput : public ::testing::TestWithParam<UnusualInput> {};

// Each gives the worked example's run.
TEST_P(UnusualStandardInput, GivesTheWorkedExample) {
  if (windows_target()) GTEST_SKIP() << "made with POSIX descriptors in the program's process";
  RunOptions options;
  options.in_child = GetParam().set_up;
  const RunResult run = run_program(options);
  EXPECT_EQ(run.out, kAllPrompts);
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.results.value_or("").size(), 511u);
}

INSTANTIATE_TEST_SUITE_P(Inputs, UnusualStandardInput,
                         ::testing::Values(UnusualInput{"connection_reset_after_the_values",
                                                        connection_reset_after_the_values},
                                           UnusualInput{"last_line_end_after_the_prompts",
                                                        last_line_end_after_the_prompts},
                                           UnusualInput{"non_blocking_pipe_written_late",
                                                        non_blocking_pipe_written_late}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// The report of a value out of range names a limit the reader accepts.
TEST(ConsoleInput, LimitNamedByTheRangeReportIsAccepted) {
  RunOptions options;
  options.input = "1e39\n";
  const RunResult refused = run_program(options);
  const std::string marker = "the limit is ";
  const std::size_t at = refused.err.find(marker);
  ASSERT_NE(at, std::string::npos) << refused.err;
  const std::size_t start = at + marker.size();
  const std::string limit = refused.err.substr(start, refused.err.find('\r', start) - start);
  options.input = limit + "\n0.71\n0\n";
  const RunResult run = run_program(options);
  EXPECT_EQ(run.err, "") << limit;
  EXPECT_EQ(run.exit_code, 0) << limit;
}

TEST(ConsoleOutput, FullDeviceIsReportedAsWriteError) {
  RunOptions options;
  options.input = "0.7\n0.71\n0\n";
  options.stdout_kind = StdoutKind::DevFull;
  const RunResult run = run_program(options);
  EXPECT_EQ(run.err, "\r\nrun-time error F6422: WRITE(CON)\r\n- no space left on the device\r\n");
  EXPECT_EQ(run.exit_code, 1);
}

}  // namespace
}  // namespace tavelo::e2e
