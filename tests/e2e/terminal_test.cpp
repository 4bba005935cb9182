// The console dialogue at a real pseudo-terminal: the user types each value
// after seeing its prompt, and the terminal shows the prompts, the echo of
// the typing and the owed line ends where they belong. The Windows program
// runs at the same terminal through wine's console, which answers as a
// character device for all three handles.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>

#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/e2e/harness.h"

namespace tavelo::e2e {
namespace {

const std::string kPrs = prompt(0) + "\n";
const std::string kPr = prompt(1) + "\n";
const std::string kN = prompt(2) + "\n";
const std::string kEndOfInputKey = "\x04";  // Ctrl+D

// A terminal run typed line by line: each line once the terminal shows
// what is expected so far.
class Typist {
 public:
  explicit Typist(TerminalRun& run) : run_(run) {}

  // Waits for `shown` to follow what was shown before, then types `keys`.
  bool press(const std::string& shown, const std::string& keys) {
    expected_ += shown;
    if (::testing::Test::HasFailure()) return false;
    if (!run_.shows(expected_)) {
      EXPECT_EQ(run_.screen(), expected_);
      return false;
    }
    run_.type(keys);
    return true;
  }
  // The same with a line and Enter, whose echo wraps after 80 columns.
  void answer(const std::string& shown, const std::string& line) {
    if (!press(shown, line + "\r")) return;
    for (std::size_t start = 0; start == 0 || start < line.size(); start += 80) {
      const std::string row = line.substr(start, 80);
      expected_ += row.substr(0, row.find_last_not_of(' ') + 1) + "\n";
    }
  }
  // The whole screen once the program has ended, with `tail` due last.
  std::string final_screen(const std::string& tail) {
    expected_ += tail;
    run_.shows(expected_);
    return run_.screen();
  }
  const std::string& expected() const { return expected_; }

 private:
  TerminalRun& run_;
  std::string expected_;
};

struct TypedCase {
  const char* name;
  // What the terminal shows, then the line typed there with Enter; the
  // end-of-input key is typed alone.
  std::vector<std::pair<std::string, std::string>> lines;
  std::string tail;  // the screen's last part once the program has ended
  int exit_code;
  std::string err;
};

void PrintTo(const TypedCase& c, std::ostream* os) { *os << c.name; }

class TerminalDialogue : public ::testing::TestWithParam<TypedCase> {};

TEST_P(TerminalDialogue, ShowsEachLineWhereItBelongs) {
  const TypedCase& c = GetParam();
  TerminalRun run;
  Typist typist(run);
  for (const auto& [shown, line] : c.lines) {
    if (line != kEndOfInputKey) {
      typist.answer(shown, line);
    } else if (windows_target()) {
      // A Windows console ends input with Ctrl+Z and Enter; wine's console
      // drops the Ctrl+Z (the line reads as an empty one) and hands a typed
      // Ctrl+D over as the byte 04.
      GTEST_SKIP() << "wine's console cannot be given end of input from a terminal";
    } else {
      typist.press(shown, line);
    }
  }
  EXPECT_EQ(run.wait(), c.exit_code);
  EXPECT_EQ(typist.final_screen(c.tail), typist.expected());
  EXPECT_EQ(run.err(), c.err);
}

const std::string kBlanks126(126, ' ');

INSTANTIATE_TEST_SUITE_P(
    Typed, TerminalDialogue,
    ::testing::Values(
        // No line end is owed once the last value has been read.
        TypedCase{
            "each_value_below_its_prompt", {{kPrs, "0.7"}, {kPr, "0.71"}, {kN, "0"}}, "", 0, ""},
        // The owed line end is paid at exit.
        TypedCase{"end_of_input",
                  {{kPrs, "0.7"}, {kPr, kEndOfInputKey}},
                  "\n",
                  1,
                  read_report("6501", "end of input: a value was expected")},
        // 80 columns: the typed line wraps once.
        TypedCase{"line_of_131_characters",
                  {{kPrs, kBlanks126 + " 0.25"}},
                  "\n",
                  1,
                  read_report("6407", "console line longer than 130 characters")},
        TypedCase{"line_of_130_characters",
                  {{kPrs, kBlanks126 + "0.25"}, {kPr, "0.71"}, {kN, "0"}},
                  "",
                  0,
                  ""},
        TypedCase{"null_repeat_ends_at_its_line_end",
                  {{kPrs, "2*"}, {kPr, "0.71"}, {kN, "0"}},
                  "",
                  0,
                  ""},
        TypedCase{"blank_lines_typed_over",
                  {{kPrs, ""}, {"", "   "}, {"", "0.7 9"}, {kPr, "0.71"}, {kN, "0"}},
                  "",
                  0,
                  ""},
        // The read had paid the prompt's line end: none is owed at exit.
        TypedCase{
            "unusable_value",
            {{kPrs, "abc"}},
            "",
            1,
            read_report("6103", "not a real number: expected digits such as 0.71 or 7.1E-1")}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(Terminal, RedirectedOutputLeavesOnlyTheEchoOnTheTerminal) {
  if (windows_target()) {
    GTEST_SKIP() << "with only standard input at the terminal, wine's console shows nothing "
                    "there, not even the echo of the typed values, which a Windows console shows";
  }
  RunOptions options;
  options.stdout_kind = StdoutKind::File;
  TerminalRun run(options);
  Typist typist(run);
  typist.answer("", "0.7");
  typist.answer("", "0.71");
  typist.answer("", "0");
  EXPECT_EQ(run.wait(), 0);
  EXPECT_EQ(typist.final_screen(""), "0.7\n0.71\n0\n");
  EXPECT_EQ(run.out(), kPrompts);
  EXPECT_EQ(run.err(), "");
}

// Whether process `pid` is still running (a zombie has ended).
bool running(int pid) {
  const std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
  return !stat.empty() && stat[stat.rfind(')') + 2] != 'Z';
}

// The viewer, deaf to a hangup, puts the terminal in raw mode, starts a
// process of its own and waits; the program ended by SIGTERM or SIGHUP
// meanwhile takes the viewer's whole group along and leaves the terminal as
// it was.
TEST(Terminal, EndedWhileTheViewerRunsTakesItAlong) {
  if (windows_target() || web_target()) GTEST_SKIP() << "the POSIX program's own signals";
  for (int number : {SIGTERM, SIGHUP}) {
    RunOptions options;
    options.environment = {{"COMSPEC", "./viewer"}};
    options.prepare = [](const std::string& directory) {
      write_file(directory + "/viewer",
                 "#!/bin/sh\ntrap '' HUP\nstty raw -echo\nsleep 30 &\necho $$ $! > viewers\nwait\n",
                 0755);
    };
    TerminalRun run(options);
    run.type(input_for(0));
    int shell = 0;
    int sleeper = 0;
    for (int tries = 0; tries < 500 && sleeper == 0; ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      std::istringstream(read_file(run.directory() + "/viewers")) >> shell >> sleeper;
    }
    ASSERT_EQ(run.local_modes() & ICANON, 0u) << "the viewer never started";
    run.send(number);
    EXPECT_TRUE(run.wait() == 128 + number && run.signalled()) << strsignal(number);
    EXPECT_EQ(run.local_modes() & (ICANON | ECHO), unsigned{ICANON | ECHO}) << strsignal(number);
    for (int tries = 0; tries < 200 && (running(shell) || running(sleeper)); ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_FALSE(running(shell) || running(sleeper)) << strsignal(number);
  }
}

}  // namespace
}  // namespace tavelo::e2e
