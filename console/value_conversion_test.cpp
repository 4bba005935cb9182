#include "console/value_conversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "runtime/error_report.h"

namespace tavelo::console {
namespace {

namespace message = runtime::message;

constexpr std::int32_t kOk = kConverted;

// A text, and the error its conversion gives or the value it stores.
template <typename Value>
struct Case {
  const char* text;
  std::int32_t error;
  Value value;
};

template <typename Value>
void PrintTo(const Case<Value>& c, std::ostream* os) {
  *os << '"' << c.text << '"';
}

// The conversion of the case's text gives its error, or stores its value
// bit for bit (-0 is not 0).
template <typename Value, typename Convert>
void expect_conversion(const Case<Value>& c, Convert convert) {
  Value value = 123;
  EXPECT_EQ(convert(c.text, value), c.error) << c.text;
  if (c.error == kOk) {
    EXPECT_EQ(std::memcmp(&value, &c.value, sizeof value), 0) << c.text << " gave " << value;
  }
}

// ---- Reals --------------------------------------------------------------

using RealCase = Case<float>;
class RealConversion : public ::testing::TestWithParam<RealCase> {};
TEST_P(RealConversion, GivesTheSingleOrTheError) {
  expect_conversion(GetParam(), convert_real_token);
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
        RealCase{"3.4028234E+38", kOk, kFltMax},  // the limit kBeyondSingle's report names
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

using DoubleCase = Case<double>;
class DoubleConversion : public ::testing::TestWithParam<DoubleCase> {};
TEST_P(DoubleConversion, RoundsTheDecimalOnce) {
  expect_conversion(GetParam(), real_text_to_double);
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

using IntegerCase = Case<std::int32_t>;
class IntegerConversion : public ::testing::TestWithParam<IntegerCase> {};
TEST_P(IntegerConversion, GivesTheIntegerOrTheError) {
  expect_conversion(GetParam(), convert_integer_token);
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

}  // namespace
}  // namespace tavelo::console
