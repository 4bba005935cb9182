#include "arithmetic/float_env.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "arithmetic/power.h"
#include "runtime/error_report.h"
#include "tests/support/exact_stderr.h"

namespace tavelo::arithmetic {
namespace {

using tavelo::testing::exactly;

// The cases run in the program's unit and, where that is the x87, in the
// portable one too.
class FloatEnvironment : public ::testing::TestWithParam<const ArithmeticUnit*> {
 protected:
  void SetUp() override {
    before_ = &use_arithmetic_unit(*GetParam());
    saved_ = arithmetic_unit().control_word();
    float_library_setup();
    float_runtime_setup(runtime::report_math_error);
  }
  void TearDown() override {
    arithmetic_unit().set_control_word(saved_);
    use_arithmetic_unit(*before_);
  }

 private:
  const ArithmeticUnit* before_ = nullptr;
  std::uint16_t saved_ = 0;
};

Extended r(double value) { return extended_from_double(value); }
double d(Extended value) { return double_from_extended(value); }

constexpr double kInf = HUGE_VAL;
const double kNaN = std::nan("");

struct PowerCase {
  double x;
  double y;
  double expected;
  bool negative;  // the sign of a zero or infinite result
};

TEST_P(FloatEnvironment, PowerTableRowsWithoutError) {
  const PowerCase cases[] = {
      {2, 3, 8, false},       {-8, 3, -512, true},       {-8, 2, 64, false},
      {2, 10, 1024, false},   {2, 127, 0x1p127, false},  {4, 0.5, 2, false},
      {5, 0.0, 1, false},     {-5, -0.0, 1, false},      {0, 0, 1, false},
      {kInf, 0, 1, false},    {-kInf, -0.0, 1, false},   {kInf, 2, kInf, false},
      {0, 2, 0, false},       {-0.0, 3, 0, true},        {-0.0, 2, 0, false},
      {3, kInf, kInf, false}, {0.5, kInf, 0, false},     {0, kInf, 0, false},
      {3, -kInf, 0, false},   {0.5, -kInf, kInf, false}, {0, -kInf, kInf, false},
      {kInf, -2, 0, false},   {-kInf, 3, -kInf, true},   {-kInf, 2, kInf, false},
      {-kInf, -3, 0, true},   {-kInf, -2, 0, false},     {-2, -1, -0.5, true},
  };
  for (const PowerCase& c : cases) {
    const Extended result = real_power(r(c.x), r(c.y));
    EXPECT_EQ(d(result), c.expected) << "pow(" << c.x << ", " << c.y << ")";
    EXPECT_EQ(sign_bit(result), c.negative) << c.x;
    EXPECT_EQ(current_math_function, 0);
  }
}

TEST_P(FloatEnvironment, PowerOfAPowerOfTwoIsExactInExtendedPrecision) {
  for (int i = 0; i < 128; ++i) {
    EXPECT_EQ(d(real_power(r(2), extended_from_integer(i))), std::ldexp(1.0, i)) << i;
  }
}

TEST_P(FloatEnvironment, SingleDenormalOperandIsUsedWithoutReport) {
  const float denormal = 1e-40f;
  ASSERT_EQ(std::fpclassify(denormal), FP_SUBNORMAL);
  const Extended root = real_power(extended_from_single(denormal), r(0.25));
  EXPECT_NEAR(d(root), 1e-10, 1e-15);
  EXPECT_GT(d(checked_divide(extended_from_single(denormal), r(0.7))), 0);
}

TEST_P(FloatEnvironment, UnderflowingPowerGivesDenormalOrZeroWithoutReport) {
  EXPECT_EQ(d(real_power(r(2), r(-2000))), 0);
  EXPECT_EQ(d(real_power(r(2), r(-1070))), std::ldexp(1.0, -1070));
}

// Each operation rounds its exact result once, to 53 bits.
TEST_P(FloatEnvironment, ArithmeticRoundsToDoubleSignificands) {
  const ArithmeticUnit& unit = arithmetic_unit();
  // 1 + 2^-60 is exact in 64-bit significands but not in 53.
  EXPECT_EQ(d(unit.add(r(1), r(0x1p-60))), 1.0);
  // (1 + 2^-53 + 2^-63)(1 - 2^-24) rounds to 1 - 2^-24 + 2^-53; rounding
  // the first factor to 53 bits first would give 1 - 2^-24 + 2^-52.
  const Extended wide{kIntegerBit | (std::uint64_t{1} << 10) | 1, kExtendedBias};
  EXPECT_EQ(d(unit.multiply(wide, r(1 - 0x1p-24))), 1 - 0x1p-24 + 0x1p-53);
  EXPECT_EQ(d(unit.divide(r(1), r(3))), 1.0 / 3);
}

TEST_P(FloatEnvironment, StoreRoundsToNearestSingle) {
  EXPECT_EQ(store_single(r(0x1p127)), 0x1p127f);
  EXPECT_EQ(store_single(r(FLT_MAX)), FLT_MAX);
  EXPECT_EQ(store_single(r(1e-50)), 0.0f);
  EXPECT_EQ(std::fpclassify(store_single(r(1e-40))), FP_SUBNORMAL);
}

std::vector<const ArithmeticUnit*> units_under_test() {
  if (&kProgramUnit == &kPortableUnit) return {&kPortableUnit};
  return {&kProgramUnit, &kPortableUnit};
}

INSTANTIATE_TEST_SUITE_P(Units, FloatEnvironment, ::testing::ValuesIn(units_under_test()),
                         [](const auto& unit_info) {
                           return std::string(unit_info.param == &kPortableUnit ? "portable"
                                                                                : "program");
                         });

struct ReportCase {
  const char* what;
  Extended (*operation)();
  const char* report;
};

class FloatReportDeathTest : public ::testing::TestWithParam<ReportCase> {};

TEST_P(FloatReportDeathTest, EndsWithItsReportAndExitCodeOne) {
  const ReportCase& c = GetParam();
  EXPECT_EXIT(
      {
        float_library_setup();
        float_runtime_setup(runtime::report_math_error);
        c.operation();
      },
      ::testing::ExitedWithCode(1), exactly(c.report))
      << c.what;
}

constexpr char kDomain[] = "\r\nrun-time error M6201: MATH\r\n- **: DOMAIN error\r\n";
constexpr char kSing[] = "\r\nrun-time error M6202: MATH\r\n- **: SING error\r\n";
constexpr char kOverflow[] = "\r\nrun-time error M6203: MATH\r\n- **: OVERFLOW error\r\n";

INSTANTIATE_TEST_SUITE_P(
    Reports, FloatReportDeathTest,
    ::testing::Values(
        ReportCase{"negative base, fractional exponent",
                   [] { return real_power(r(-8), r(1.0 / 3)); }, kDomain},
        ReportCase{"zero to a negative power", [] { return real_power(r(0), r(-1)); }, kSing},
        ReportCase{"minus zero to an odd negative power", [] { return real_power(r(-0.0), r(-3)); },
                   kSing},
        ReportCase{"NaN base", [] { return real_power(r(kNaN), r(0)); }, kDomain},
        ReportCase{"NaN exponent", [] { return real_power(r(2), r(kNaN)); }, kDomain},
        ReportCase{"one to an infinite power", [] { return real_power(r(1), r(kInf)); }, kDomain},
        ReportCase{"minus one to minus infinity", [] { return real_power(r(-1), r(-kInf)); },
                   kDomain},
        ReportCase{"beyond double", [] { return real_power(r(10), r(5000)); }, kOverflow},
        ReportCase{"beyond extended", [] { return real_power(r(2), r(40000)); }, kOverflow},
        ReportCase{"division by zero", [] { return checked_divide(r(0.71), r(0)); },
                   "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n"},
        ReportCase{"zero by zero", [] { return checked_divide(r(0), r(0)); },
                   "\r\nrun-time error M6101: MATH\r\n- floating-point error: invalid\r\n"},
        ReportCase{"zero times infinity", [] { return checked_multiply(r(0), r(kInf)); },
                   "\r\nrun-time error M6101: MATH\r\n- floating-point error: invalid\r\n"},
        ReportCase{"store beyond single",
                   [] { return extended_from_single(store_single(r(0x1p128))); },
                   "\r\nrun-time error M6104: MATH\r\n- floating-point error: overflow\r\n"}),
    [](const auto& param_info) { return tavelo::testing::case_name(param_info.param.what); });

}  // namespace
}  // namespace tavelo::arithmetic
