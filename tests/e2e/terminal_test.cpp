// The console dialogue at a real pseudo-terminal: the user types each value
// after seeing its prompt, and the terminal shows the prompts, the echo of
// the typing and the owed line ends where they belong. The Windows program
// runs at the same terminal through wine's console, which answers as a
// character device for all three handles.
#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/harness.h"

namespace tavelo::e2e {
namespace {

const std::string kPrs = std::string(kPromptPrs) + "\n";
const std::string kPr = std::string(kPromptPr) + "\n";
const std::string kN = std::string(kPromptN) + "\n";
const std::string kEnter = "\r";
const std::string kEndOfInputKey = "\x04";  // Ctrl+D

// A terminal run typed line by line: each line once the terminal shows
// what is expected so far.
class Typist {
 public:
  explicit Typist(TerminalRun& run) : run_(run) {}

  // Waits for `shown` to follow what was shown before, then types `keys`.
  bool press(const std::string& shown, const std::string& keys) {
    expected_ += shown;
    if (::testing::Test::HasFailure() || !expect_shown()) return false;
    run_.type(keys);
    return true;
  }
  // The same with a line and Enter, whose echo wraps after 80 columns.
  void answer(const std::string& shown, const std::string& line) {
    if (!press(shown, line + kEnter)) return;
    for (std::size_t start = 0; start == 0 || start < line.size(); start += 80) {
      const std::string row = line.substr(start, 80);
      expected_ += row.substr(0, row.find_last_not_of(' ') + 1) + "\n";
    }
  }
  bool expect_shown() {
    if (run_.shows(expected_)) return true;
    EXPECT_EQ(run_.screen(), expected_);
    return false;
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

// A Windows console ends input with Ctrl+Z and Enter; wine's console drops
// the Ctrl+Z (the line reads as an empty one) and hands a typed Ctrl+D over
// as the byte 04, so end of input cannot be typed to the Windows program.
class TerminalEndOfInput : public ::testing::Test {
 protected:
  void SetUp() override {
    if (windows_target()) {
      GTEST_SKIP() << "wine's console drops a typed Ctrl+Z, the Windows console's end of input "
                      "(Ctrl+Z, Enter reads as an empty line), and passes Ctrl+D on as byte 04";
    }
  }
};

TEST(Terminal, EachValueIsTypedOnTheLineBelowItsPrompt) {
  TerminalRun run;
  Typist typist(run);
  typist.answer(kPrs, "0.7");
  typist.answer(kPr, "0.71");
  typist.answer(kN, "0");
  // No line end is owed once the last value has been read.
  EXPECT_EQ(run.wait(), 0);
  EXPECT_EQ(typist.final_screen(""), kPrs + "0.7\n" + kPr + "0.71\n" + kN + "0\n");
  EXPECT_EQ(run.err(), "");
}

TEST_F(TerminalEndOfInput, IsReportedAndTheOwedLineEndPaidAtExit) {
  TerminalRun run;
  Typist typist(run);
  typist.answer(kPrs, "0.7");
  typist.press(kPr, kEndOfInputKey);
  EXPECT_EQ(run.wait(), 1);
  EXPECT_EQ(typist.final_screen("\n"), kPrs + "0.7\n" + kPr + "\n");
  EXPECT_EQ(run.err(), read_report("6501", "end of input: a value was expected"));
}

// 80 columns: the typed line wraps once.
TEST(Terminal, LineOf131CharactersIsTooLong) {
  const std::string line(127, ' ');
  TerminalRun run;
  Typist typist(run);
  typist.answer(kPrs, line + "0.25");
  EXPECT_EQ(run.wait(), 1);
  EXPECT_EQ(typist.final_screen("\n"), kPrs + "\n" + std::string(47, ' ') + "0.25\n\n");
  EXPECT_EQ(run.err(), read_report("6407", "console line longer than 130 characters"));
}

TEST(Terminal, LineOf130CharactersIsAccepted) {
  TerminalRun run;
  Typist typist(run);
  typist.answer(kPrs, std::string(126, ' ') + "0.25");
  typist.answer(kPr, "0.71");
  typist.answer(kN, "0");
  EXPECT_EQ(run.wait(), 0);
  EXPECT_EQ(typist.final_screen(""), typist.expected());
  EXPECT_EQ(run.err(), "");
}

TEST(Terminal, NullRepeatEndsTheReadAtItsOwnLineEnd) {
  TerminalRun run;
  Typist typist(run);
  typist.answer(kPrs, "2*");
  typist.answer(kPr, "0.71");
  typist.answer(kN, "0");
  EXPECT_EQ(run.wait(), 0);
  EXPECT_EQ(typist.final_screen(""), typist.expected());
  EXPECT_EQ(run.err(), "");
}

TEST(Terminal, BlankLinesAreTypedOverUntilAValueComes) {
  TerminalRun run;
  Typist typist(run);
  typist.answer(kPrs, "");
  typist.answer("", "   ");
  typist.answer("", "0.7 9");
  typist.answer(kPr, "0.71");
  typist.answer(kN, "0");
  EXPECT_EQ(run.wait(), 0);
  EXPECT_EQ(typist.final_screen(""), typist.expected());
}

TEST(Terminal, UnusableValueIsReportedAfterItsLine) {
  TerminalRun run;
  Typist typist(run);
  typist.answer(kPrs, "abc");
  EXPECT_EQ(run.wait(), 1);
  // The read had paid the prompt's line end: none is owed at exit.
  EXPECT_EQ(typist.final_screen(""), kPrs + "abc\n");
  EXPECT_EQ(run.err(),
            read_report("6103", "not a real number: expected digits such as 0.71 or 7.1E-1"));
}

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

}  // namespace
}  // namespace tavelo::e2e
