#include "console/free_input.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "runtime/error_report.h"
#include "tests/support/worked_example.h"

namespace tavelo::console {
namespace {

namespace message = runtime::message;

constexpr std::int32_t kOk = kConverted;

struct ReadError {
  std::int32_t index;
};

// Standard input as a console or a file would present it. A console hands
// out one typed line per read (in pieces when longer than the request); a
// file hands out whatever the request asks for. Once failing, a read past
// the last byte fails, as on a connection the peer has reset.
class ScriptedPort final : public InputPort {
 public:
  ScriptedPort(std::string bytes, bool device) : bytes_(std::move(bytes)), device_(device) {}
  std::int32_t read(char* buffer, std::uint32_t count) override {
    if (fail_ && offset_ == bytes_.size()) return -1;
    std::size_t available = bytes_.size() - offset_;
    if (device_) {
      const std::size_t line_end = bytes_.find('\n', offset_);
      if (line_end != std::string::npos) available = line_end + 1 - offset_;
    }
    const std::size_t n = std::min<std::size_t>(count, available);
    std::memcpy(buffer, bytes_.data() + offset_, n);
    offset_ += n;
    return static_cast<std::int32_t>(n);
  }
  bool is_device() override { return device_; }
  [[noreturn]] void raise(std::int32_t message_index) override { throw ReadError{message_index}; }
  void fail() { fail_ = true; }

 private:
  std::string bytes_;
  std::size_t offset_ = 0;
  bool device_;
  bool fail_ = false;
};

// Several reads in a row on one unit, as the program makes them.
class Reads {
 public:
  Reads(std::string input, bool device) : port_(std::move(input), device) {}
  // The error index, or kOk.
  template <typename Value>
  std::int32_t read(Value& value) {
    ConsoleReader reader{unit_, port_};
    try {
      if constexpr (std::is_same_v<Value, float>)
        read_real_value(reader, value);
      else
        read_integer_value(reader, value);
    } catch (const ReadError& error) {
      return error.index;
    }
    return kOk;
  }
  ConsoleUnit& unit() { return unit_; }
  ScriptedPort& port() { return port_; }

 private:
  ConsoleUnit unit_;
  ScriptedPort port_;
};

// Tells -0 from 0.
bool same_bits(float a, float b) {
  return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}

TEST(ValueText, OverLongValueFromAFileIsRejected) {
  const std::string line = std::string(300, '7') + "\r\n";
  float real = 0;
  std::int32_t integer = 0;
  EXPECT_EQ(Reads(line, false).read(real), message::kNotAReal);
  EXPECT_EQ(Reads(line, false).read(integer), message::kInvalidInteger);
}

// ---- Reads of typed lines -------------------------------------------------

enum class Target { Real, Integer };
enum class Outcome { Stored, Unchanged, Error };

struct LineCase {
  std::string line;  // without its CR LF
  Target target;
  Outcome outcome;
  double value;  // what is stored, or the error index
};

constexpr float kUntouchedReal = 42.0f;
constexpr std::int32_t kUntouchedInteger = 42;

LineCase real(std::string line, float value) {
  return {std::move(line), Target::Real, Outcome::Stored, value};
}
LineCase integer(std::string line, std::int32_t value) {
  return {std::move(line), Target::Integer, Outcome::Stored, static_cast<double>(value)};
}
LineCase null_value(std::string line, Target target) {
  return {std::move(line), target, Outcome::Unchanged, 0};
}
LineCase fails(std::string line, Target target, std::int32_t error) {
  return {std::move(line), target, Outcome::Error, static_cast<double>(error)};
}

void PrintTo(const LineCase& c, std::ostream* os) { *os << '"' << c.line << '"'; }

// One typed line given to one read, from a console and from a file alike.
class TypedLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(TypedLine, ReadsAsOnAConsoleAndFromAFile) {
  const LineCase& c = GetParam();
  for (const bool device : {true, false}) {
    SCOPED_TRACE(device ? "console" : "file");
    Reads reads(c.line + "\r\n", device);
    float real_value = kUntouchedReal;
    std::int32_t integer_value = kUntouchedInteger;
    const std::int32_t result =
        c.target == Target::Real ? reads.read(real_value) : reads.read(integer_value);
    switch (c.outcome) {
      case Outcome::Error: EXPECT_EQ(result, static_cast<std::int32_t>(c.value)); break;
      case Outcome::Unchanged:
        EXPECT_EQ(result, kOk);
        EXPECT_EQ(real_value, kUntouchedReal);
        EXPECT_EQ(integer_value, kUntouchedInteger);
        break;
      case Outcome::Stored:
        ASSERT_EQ(result, kOk);
        if (c.target == Target::Real) {
          EXPECT_TRUE(same_bits(real_value, static_cast<float>(c.value))) << real_value;
        } else {
          EXPECT_EQ(integer_value, static_cast<std::int32_t>(c.value));
        }
        break;
    }
  }
}

// The scan around the value: what ends it and what is passed over. What
// the text itself converts to is value_conversion_test's.
INSTANTIATE_TEST_SUITE_P(Values, TypedLine,
                         ::testing::Values(real("0.7    99", 0.7f), real("0,7", 0.0f),
                                           real("  \t.7\t", 0.7f), real("7d-1 ,", 0.7f),
                                           real("0.5/", 0.5f), integer(" +5 ", 5),
                                           integer("005,6", 5)));

INSTANTIATE_TEST_SUITE_P(
    NullsAndRepeats, TypedLine,
    ::testing::Values(null_value(",", Target::Real), null_value("  /", Target::Real),
                      null_value(", 5", Target::Integer), real("2*3.5", 3.5f), integer("3*7 8", 7),
                      null_value("2*", Target::Real), null_value("2* 3.5", Target::Real),
                      null_value("2*,3.5", Target::Real), null_value("''", Target::Real),
                      null_value("()", Target::Integer), null_value("( )", Target::Real),
                      // "(" and a quote while the value is still empty begin
                      // their forms again: both values are null.
                      null_value("(()", Target::Real), null_value("('')", Target::Real),
                      fails("0*3", Target::Real, message::kZeroRepeatCount),
                      fails("*3", Target::Real, message::kZeroRepeatCount),
                      fails("2*3*4", Target::Real, message::kSecondRepeatCount),
                      fails("x*3", Target::Real, message::kInvalidInteger),
                      fails("99999999999*3", Target::Real, message::kIntegerTooLarge),
                      fails("'0.7'", Target::Real, message::kQuotedNumber),
                      fails("\"5\"", Target::Integer, message::kQuotedNumber),
                      fails("'it''s'", Target::Real, message::kQuotedNumber),
                      fails("(1,2)", Target::Real, message::kQuotedNumber),
                      fails("(1, 2)", Target::Integer, message::kQuotedNumber)));

// A conversion's error ends the read, for either target; a Ctrl+Z record
// ends the input.
INSTANTIATE_TEST_SUITE_P(Errors, TypedLine,
                         ::testing::Values(fails("abc", Target::Real, message::kNotAReal),
                                           fails("5.0", Target::Integer, message::kInvalidInteger),
                                           fails("\x1a", Target::Real, message::kEndOfInput),
                                           fails("5\x1a", Target::Integer, message::kEndOfInput)));

// ---- Records ----------------------------------------------------------------

TEST(ConsoleRecord, TypedLineOf131CharactersIsTooLongButOf130Fits) {
  const std::string line130 = std::string(126, ' ') + "0.25";
  const std::string line131 = std::string(127, ' ') + "0.25";
  float value = 0;
  EXPECT_EQ(Reads(line130 + "\r\n", true).read(value), kOk);
  EXPECT_EQ(value, 0.25f);
  EXPECT_EQ(Reads(line131 + "\r\n", true).read(value), message::kConsoleLineTooLong);
  // From a file a record is just the next bytes, however long the line.
  value = 0;
  EXPECT_EQ(Reads(line131 + "\r\n", false).read(value), kOk);
  EXPECT_EQ(value, 0.25f);
}

TEST(ConsoleRecord, EndOfInputIsReportedAndRemembered) {
  for (const char* input : {"", "\r\n  \r\n", "\x1a\r\n"}) {
    Reads reads(input, false);
    float value = 0;
    EXPECT_EQ(reads.read(value), message::kEndOfInput) << input;
    EXPECT_TRUE(reads.unit().end_of_file);
  }
}

TEST(ConsoleRecord, ReadFailureIsReported) {
  Reads reads("", false);
  reads.port().fail();
  float value = 0;
  EXPECT_EQ(reads.read(value), message::kReadFailed);
  EXPECT_FALSE(reads.unit().end_of_file);
}

TEST(ConsoleRecord, ShortRecordEndsAsALine) {
  ConsoleUnit unit;
  ScriptedPort port("0.7", true);
  ConsoleReader reader{unit, port};
  read_console_record(reader);
  EXPECT_EQ(unit.last_index, 3);
  EXPECT_EQ(unit.buffer[3], '\n');
}

// A read that fails after part of a line ends that line as the end of
// input does; only a read that gets nothing at all reports the failure.
TEST(ConsoleRecord, FailureAfterPartOfALineEndsThatLine) {
  Reads reads("0.7\n0.71\n7", false);
  reads.port().fail();
  float real = 0;
  std::int32_t n = 0;
  EXPECT_EQ(reads.read(real), kOk);
  EXPECT_EQ(reads.read(real), kOk);
  ASSERT_EQ(reads.read(n), kOk);
  EXPECT_EQ(n, 7);
  EXPECT_EQ(reads.read(n), message::kReadFailed);
}

// ---- Several reads ------------------------------------------------------------

struct Dialogue {
  std::int32_t first_error = kOk;
  float prs = 0, pr = 0;
  std::int32_t n = 0;
};

// The program's three reads: two reals, then an integer.
Dialogue run_dialogue(const std::string& input, bool device) {
  Reads reads(input, device);
  Dialogue d;
  for (const auto& step : {0, 1, 2}) {
    const std::int32_t result = step == 0   ? reads.read(d.prs)
                                : step == 1 ? reads.read(d.pr)
                                            : reads.read(d.n);
    if (result != kOk) {
      d.first_error = result;
      break;
    }
  }
  return d;
}

struct DialogueCase {
  const char* name;
  std::string input;
  std::int32_t error;
  float prs, pr;
  std::int32_t n;
  bool file_only = false;  // longer lines than a console takes
};

void PrintTo(const DialogueCase& c, std::ostream* os) { *os << c.name; }

class ThreeReads : public ::testing::TestWithParam<DialogueCase> {};

TEST_P(ThreeReads, EachReadTakesItsOwnLine) {
  const DialogueCase& c = GetParam();
  for (const bool device : {true, false}) {
    if (device && c.file_only) continue;
    SCOPED_TRACE(device ? "console" : "file");
    const Dialogue d = run_dialogue(c.input, device);
    EXPECT_EQ(d.first_error, c.error);
    EXPECT_EQ(d.prs, c.prs);
    EXPECT_EQ(d.pr, c.pr);
    EXPECT_EQ(d.n, c.n);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, ThreeReads,
    ::testing::Values(
        DialogueCase{"crlf", "0.7\r\n0.71\r\n7\r\n", kOk, 0.7f, 0.71f, 7},
        DialogueCase{"lf", testing::worked::kInput, kOk, 0.7f, 0.71f, 7},
        DialogueCase{"last_line_without_lf", "0.7\r\n0.71\r\n7", kOk, 0.7f, 0.71f, 7},
        DialogueCase{"blank_lines_between", "\r\n \r\n0.7\r\n\t\r\n\r\n0.71\r\n\r\n7\r\n", kOk,
                     0.7f, 0.71f, 7},
        DialogueCase{"rest_of_line_discarded", "0.7 9 9\r\n0.71,8\r\n7/6\r\n", kOk, 0.7f, 0.71f, 7},
        DialogueCase{"all_on_one_line", "0.7 0.71 7\r\n", message::kEndOfInput, 0.7f, 0, 0},
        // A null value ended by the line end takes that line only.
        DialogueCase{"null_repeat_at_line_end", "2*\r\n0.71\r\n7\r\n", kOk, 0, 0.71f, 7},
        DialogueCase{"null_repeat_then_blanks", "2*   \r\n0.71\r\n7\r\n", kOk, 0, 0.71f, 7},
        DialogueCase{"empty_quotes_at_line_end", "''\r\n0.71\r\n7\r\n", kOk, 0, 0.71f, 7},
        DialogueCase{"value_after_repeat_line", "0.7\r\n3*\n5\r\n", kOk, 0.7f, 0, 5},
        DialogueCase{"parentheses_over_lines", "( \r\n )\r\n0.71\r\n7\r\n", kOk, 0, 0.71f, 7},
        DialogueCase{"long_file_lines_span_records",
                     std::string(200, ' ') + "0.7" + std::string(200, ' ') + "9\r\n0.71" +
                         std::string(300, ' ') + "\r\n7\r\n",
                     kOk, 0.7f, 0.71f, 7, true}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(ReadEnd, ClearsTheOwedLineEnd) {
  for (const char* input : {"0.7\r\n", "2*\r\n", ",\r\n"}) {
    for (const bool device : {true, false}) {
      Reads reads(input, device);
      reads.unit().line_pending = true;
      float value = 0;
      ASSERT_EQ(reads.read(value), kOk);
      EXPECT_FALSE(reads.unit().line_pending) << input;
    }
  }
}

TEST(ReadEnd, ConsoleDropsTheRecordFileKeepsTheNextLine) {
  Reads console("0.7 9\r\n", true);
  Reads file("0.7 9\r\n0.5\r\n", false);
  float value = 0;
  ASSERT_EQ(console.read(value), kOk);
  EXPECT_EQ(console.unit().last_index, -1);
  ASSERT_EQ(file.read(value), kOk);
  EXPECT_EQ(file.unit().buffer[file.unit().position], '0');
}

}  // namespace
}  // namespace tavelo::console
