#include "console/free_input.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "runtime/error_report.h"

namespace tavelo::console {
namespace {

namespace message = runtime::message;

constexpr std::int32_t kOk = kConverted;

struct ReadError {
  std::int32_t index;
};

// Standard input as a console or a file would present it. A console hands
// out one typed line per read (in pieces when longer than the request); a
// file hands out whatever the request asks for.
class ScriptedPort final : public InputPort {
 public:
  ScriptedPort(std::string bytes, bool device) : bytes_(std::move(bytes)), device_(device) {}
  std::int32_t read(char* buffer, std::uint32_t count) override {
    if (fail_) return -1;
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
bool same_bits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

// ---- Reals --------------------------------------------------------------

struct RealCase {
  const char* text;
  std::int32_t error;
  float value;
};

void PrintTo(const RealCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class RealConversion : public ::testing::TestWithParam<RealCase> {};

TEST_P(RealConversion, GivesTheSingleOrTheError) {
  const RealCase& c = GetParam();
  float value = 123.0f;
  EXPECT_EQ(convert_real_token(c.text, value), c.error) << c.text;
  if (c.error == kOk) {
    EXPECT_TRUE(same_bits(value, c.value)) << c.text << " gave " << value;
  }
}

constexpr float kFltMax = std::numeric_limits<float>::max();

INSTANTIATE_TEST_SUITE_P(Forms, RealConversion,
                         ::testing::Values(RealCase{"0.7", kOk, 0.7f}, RealCase{".7", kOk, 0.7f},
                                           RealCase{"7e-1", kOk, 0.7f}, RealCase{"7E-1", kOk, 0.7f},
                                           RealCase{"7d-1", kOk, 0.7f}, RealCase{"7D-1", kOk, 0.7f},
                                           RealCase{"7-1", kOk, 0.7f}, RealCase{"7.", kOk, 7.0f},
                                           RealCase{"7+1", kOk, 70.0f},
                                           RealCase{"+1.5E+0003", kOk, 1500.0f},
                                           RealCase{"-2.5d0", kOk, -2.5f},
                                           RealCase{"000.00012e4", kOk, 1.2f},
                                           RealCase{"-0", kOk, -0.0f}, RealCase{"0", kOk, 0.0f},
                                           RealCase{"-0.0e-7", kOk, -0.0f}));

INSTANTIATE_TEST_SUITE_P(
    NotReals, RealConversion,
    ::testing::Values(
        RealCase{".", message::kNotAReal, 0}, RealCase{"+", message::kNotAReal, 0},
        RealCase{"e5", message::kNotAReal, 0}, RealCase{"1e", message::kNotAReal, 0},
        RealCase{"1e+", message::kNotAReal, 0}, RealCase{"abc", message::kNotAReal, 0},
        RealCase{"0x10", message::kNotAReal, 0}, RealCase{"inf", message::kNotAReal, 0},
        RealCase{"1.2.3", message::kNotAReal, 0}, RealCase{"1e5x", message::kNotAReal, 0},
        RealCase{"1e+-5", message::kNotAReal, 0}, RealCase{"--1", message::kNotAReal, 0},
        RealCase{"1 ", message::kNotAReal, 0}));

INSTANTIATE_TEST_SUITE_P(
    Ranges, RealConversion,
    ::testing::Values(
        RealCase{"1e39", message::kBeyondSingle, 0},
        RealCase{"3.4028235e38", message::kBeyondSingle, 0},
        RealCase{"-3.4028235e38", message::kBeyondSingle, 0},
        RealCase{"1.7976931348623158e308", message::kBeyondSingle, 0},
        RealCase{"3.4028234663852886e38", kOk, kFltMax},
        RealCase{"3.402823466385289e38", kOk, kFltMax},
        RealCase{"-3.402823466385289e38", kOk, -kFltMax},
        RealCase{"1e400", message::kBeyondDouble, 0},
        RealCase{"1.7976931348623159e308", message::kBeyondDouble, 0},
        RealCase{"1e5201", message::kBeyondDouble, 0}, RealCase{"1e-50", kOk, 0.0f},
        RealCase{"-1e-50", kOk, -0.0f}, RealCase{"1e-5201", kOk, 0.0f},
        RealCase{"1e-40", kOk, static_cast<float>(1e-40)},
        RealCase{"1.401298464324817e-45", kOk, std::numeric_limits<float>::denorm_min()},
        RealCase{"7.006492321624085e-46", kOk, 0.0f},
        RealCase{"7.00649232162409e-46", kOk, std::numeric_limits<float>::denorm_min()},
        // Above half the smallest single, but the double it
        // rounds to is exactly half: ties to even give zero.
        RealCase{"7.006492321624086e-46", kOk, 0.0f},
        // Exactly halfway once rounded to double, then to even.
        RealCase{"1.0000000596046447753907", kOk, 1.0f}));

TEST(RealConversion, DenormalSinglesAreDenormal) {
  float value = 0;
  ASSERT_EQ(convert_real_token("1e-40", value), kOk);
  EXPECT_EQ(std::fpclassify(value), FP_SUBNORMAL);
}

struct DoubleCase {
  const char* text;
  std::int32_t error;
  double value;
};

void PrintTo(const DoubleCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class DoubleConversion : public ::testing::TestWithParam<DoubleCase> {};

TEST_P(DoubleConversion, RoundsTheDecimalOnce) {
  const DoubleCase& c = GetParam();
  double value = 123.0;
  EXPECT_EQ(real_text_to_double(c.text, value), c.error) << c.text;
  if (c.error == kOk) {
    EXPECT_TRUE(same_bits(value, c.value)) << c.text << " gave " << value;
  }
}

constexpr double kOnePlusUlp = 1.0000000000000002;  // 1 + 2^-52

INSTANTIATE_TEST_SUITE_P(SignificantDigits, DoubleConversion,
                         ::testing::Values(
                             // 1 + 2^-53 is halfway; its first 24 digits fall below it.
                             DoubleCase{"1.00000000000000011102230", kOk, 1.0},
                             DoubleCase{"1.00000000000000011102231", kOk, kOnePlusUlp},
                             // A 25th digit of 5 rounds the 24th up, one of 4 leaves it ...
                             DoubleCase{"1.000000000000000111022305", kOk, kOnePlusUlp},
                             DoubleCase{"1.000000000000000111022304", kOk, 1.0},
                             // ... and later digits never count.
                             DoubleCase{"1.00000000000000011102230499999", kOk, 1.0},
                             DoubleCase{"1000000000000000111022305e-24", kOk, kOnePlusUlp},
                             DoubleCase{"1000000000000000111022304999e-27", kOk, 1.0},
                             // Rounding up through nines carries into a new digit.
                             DoubleCase{"9999999999999999999999999", kOk, 1e25},
                             DoubleCase{"0.00000000009999999999999999999999999", kOk, 1e-10}));

INSTANTIATE_TEST_SUITE_P(
    RangeEnds, DoubleConversion,
    ::testing::Values(DoubleCase{"4.9406564584124654e-324", kOk, 4.9406564584124654e-324},
                      DoubleCase{"2.4703282292062328e-324", kOk, 4.9406564584124654e-324},
                      DoubleCase{"2.4703282292062327e-324", kOk, 0.0},
                      DoubleCase{"-2.4703282292062327e-324", kOk, -0.0},
                      DoubleCase{"2.2250738585072011e-308", kOk, 2.2250738585072009e-308},
                      DoubleCase{"2.2250738585072012e-308", kOk, 2.2250738585072014e-308},
                      DoubleCase{"1e-320", kOk, 1e-320},
                      DoubleCase{"1.7976931348623157e308", kOk, 1.7976931348623157e308},
                      DoubleCase{"1e309", message::kBeyondDouble, 0},
                      DoubleCase{"-1e309", message::kBeyondDouble, 0},
                      DoubleCase{"1e-400", kOk, 0.0},
                      DoubleCase{"0.001e312", message::kBeyondDouble, 0},
                      DoubleCase{"000000.000005e-318", kOk, 4.9406564584124654e-324}));

// ---- Integers -----------------------------------------------------------

struct IntegerCase {
  const char* text;
  std::int32_t error;
  std::int32_t value;
};

void PrintTo(const IntegerCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class IntegerConversion : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerConversion, GivesTheIntegerOrTheError) {
  const IntegerCase& c = GetParam();
  std::int32_t value = 123;
  EXPECT_EQ(convert_integer_token(c.text, value), c.error) << c.text;
  if (c.error == kOk) {
    EXPECT_EQ(value, c.value) << c.text;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Decimal, IntegerConversion,
    ::testing::Values(IntegerCase{"5", kOk, 5}, IntegerCase{"+5", kOk, 5},
                      IntegerCase{"005", kOk, 5}, IntegerCase{"-5", kOk, -5},
                      IntegerCase{"+", kOk, 0}, IntegerCase{"-", kOk, 0},
                      IntegerCase{"2147483647", kOk, 2147483647},
                      IntegerCase{"-2147483647", kOk, -2147483647},
                      IntegerCase{"-2147483648", kOk, std::numeric_limits<std::int32_t>::min()},
                      IntegerCase{"12\x1a"
                                  "34",
                                  kOk, 12},
                      IntegerCase{"2147483648", message::kIntegerTooLarge, 0},
                      IntegerCase{"-2147483649", message::kIntegerTooLarge, 0},
                      IntegerCase{"-02147483648", message::kIntegerTooLarge, 0},
                      IntegerCase{"99999999999", message::kIntegerTooLarge, 0},
                      IntegerCase{"5.0", message::kInvalidInteger, 0},
                      IntegerCase{"5e1", message::kInvalidInteger, 0},
                      IntegerCase{"+-5", message::kInvalidInteger, 0},
                      IntegerCase{"x", message::kInvalidInteger, 0},
                      IntegerCase{"5\x80", message::kInvalidInteger, 0}));

INSTANTIATE_TEST_SUITE_P(
    Based, IntegerConversion,
    ::testing::Values(
        IntegerCase{"16#FF", kOk, 255}, IntegerCase{"#ff", kOk, 255}, IntegerCase{"0#FF", kOk, 255},
        IntegerCase{"2#101", kOk, 5}, IntegerCase{"36#zZ", kOk, 1295}, IntegerCase{"8#", kOk, 0},
        IntegerCase{"-8#17", kOk, -15}, IntegerCase{"16#FFFFFFFF", kOk, -1},
        IntegerCase{"16#80000000", kOk, std::numeric_limits<std::int32_t>::min()},
        IntegerCase{"-16#FFFFFFFF", kOk, 1}, IntegerCase{"10#2147483647", kOk, 2147483647},
        IntegerCase{"10#2147483648", message::kIntegerTooLarge, 0},
        IntegerCase{"16#100000000", message::kIntegerTooLarge, 0},
        IntegerCase{"8#9", message::kInvalidInteger, 0},
        IntegerCase{"16#G", message::kInvalidInteger, 0},
        IntegerCase{"16#-1", message::kInvalidInteger, 0}, IntegerCase{"1#0", message::kBadBase, 0},
        IntegerCase{"37#1", message::kBadBase, 0},
        IntegerCase{"16#1#2", message::kSecondBaseMark, 0}));

TEST(ValueText, LongerThan259CharactersIsRejected) {
  const std::string digits259 = std::string(258, '0') + "5";
  const std::string digits260 = std::string(259, '0') + "5";
  std::int32_t integer = 0;
  float real = 0;
  EXPECT_EQ(convert_integer_token(digits259, integer), kOk);
  EXPECT_EQ(integer, 5);
  EXPECT_EQ(convert_integer_token(digits260, integer), message::kInvalidInteger);
  EXPECT_EQ(convert_real_token(digits259, real), kOk);
  EXPECT_EQ(real, 5.0f);
  EXPECT_EQ(convert_real_token(digits260, real), message::kNotAReal);
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

INSTANTIATE_TEST_SUITE_P(
    Values, TypedLine,
    ::testing::Values(real("0.7", 0.7f), real("0.7    99", 0.7f), real("0,7", 0.0f),
                      real("  \t.7\t", 0.7f), real("7d-1 ,", 0.7f), real("7-1", 0.7f),
                      real("7.", 7.0f), real("7+1", 70.0f), real("-0", -0.0f), real("1e-50", 0.0f),
                      real("1e-40", static_cast<float>(1e-40)), real("0.5/", 0.5f), integer("5", 5),
                      integer(" +5 ", 5), integer("005,6", 5), integer("-5", -5), integer("+", 0),
                      integer("2147483647", 2147483647),
                      integer("-2147483648", std::numeric_limits<std::int32_t>::min()),
                      integer("16#FF", 255), integer("#ff", 255), integer("2#101", 5),
                      integer("16#FFFFFFFF", -1)));

INSTANTIATE_TEST_SUITE_P(
    NullsAndRepeats, TypedLine,
    ::testing::Values(null_value(",", Target::Real), null_value("  /", Target::Real),
                      null_value(", 5", Target::Integer), real("2*3.5", 3.5f), integer("3*7 8", 7),
                      null_value("2*", Target::Real), null_value("2* 3.5", Target::Real),
                      null_value("2*,3.5", Target::Real), null_value("''", Target::Real),
                      null_value("()", Target::Integer), null_value("( )", Target::Real),
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

INSTANTIATE_TEST_SUITE_P(
    Errors, TypedLine,
    ::testing::Values(fails(".", Target::Real, message::kNotAReal),
                      fails("+", Target::Real, message::kNotAReal),
                      fails("e5", Target::Real, message::kNotAReal),
                      fails("1e+", Target::Real, message::kNotAReal),
                      fails("abc", Target::Real, message::kNotAReal),
                      fails("0x10", Target::Real, message::kNotAReal),
                      fails("1e39", Target::Real, message::kBeyondSingle),
                      fails("3.4028235e38", Target::Real, message::kBeyondSingle),
                      fails("1e400", Target::Real, message::kBeyondDouble),
                      fails("5.0", Target::Integer, message::kInvalidInteger),
                      fails("5e1", Target::Integer, message::kInvalidInteger),
                      fails("2147483648", Target::Integer, message::kIntegerTooLarge),
                      fails("-2147483649", Target::Integer, message::kIntegerTooLarge),
                      fails("8#9", Target::Integer, message::kInvalidInteger),
                      fails("1#0", Target::Integer, message::kBadBase),
                      fails("37#1", Target::Integer, message::kBadBase),
                      fails("16#1#2", Target::Integer, message::kSecondBaseMark),
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
  Reads reads("0.7\r\n", false);
  reads.port().fail();
  float value = 0;
  EXPECT_EQ(reads.read(value), message::kReadFailed);
  EXPECT_FALSE(reads.unit().end_of_file);
}

TEST(ConsoleRecord, ShortRecordEndsAsALine) {
  ConsoleUnit unit;
  ScriptedPort port("0.7", false);
  ConsoleReader reader{unit, port};
  read_console_record(reader);
  EXPECT_EQ(unit.last_index, 3);
  EXPECT_EQ(unit.buffer[3], '\n');
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
};

void PrintTo(const DialogueCase& c, std::ostream* os) { *os << c.name; }

class ThreeReads : public ::testing::TestWithParam<DialogueCase> {};

TEST_P(ThreeReads, EachReadTakesItsOwnLine) {
  const DialogueCase& c = GetParam();
  for (const bool device : {true, false}) {
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
        DialogueCase{"lf", "0.7\n0.71\n7\n", kOk, 0.7f, 0.71f, 7},
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
        DialogueCase{"parentheses_over_lines", "( \r\n )\r\n0.71\r\n7\r\n", kOk, 0, 0.71f, 7}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(ThreeReads, LongFileLinesSpanRecords) {
  const std::string input = std::string(200, ' ') + "0.7" + std::string(200, ' ') + "9\r\n" +
                            "0.71" + std::string(300, ' ') + "\r\n7\r\n";
  const Dialogue d = run_dialogue(input, false);
  EXPECT_EQ(d.first_error, kOk);
  EXPECT_EQ(d.prs, 0.7f);
  EXPECT_EQ(d.pr, 0.71f);
  EXPECT_EQ(d.n, 7);
}

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
