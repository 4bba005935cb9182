#include "runtime/float_env.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

#include "platform/platform.h"
#include "runtime/power.h"
#include "tests/support/exact_stderr.h"

namespace tavelo::runtime {
namespace {

using tavelo::testing::exactly;

constexpr Real kInf = std::numeric_limits<Real>::infinity();
constexpr Real kNaN = std::numeric_limits<Real>::quiet_NaN();

class FloatEnvironment : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = arithmetic_unit().control_word();
    float_library_setup();
    float_runtime_setup();
  }
  void TearDown() override { arithmetic_unit().set_control_word(saved_); }

 private:
  std::uint16_t saved_ = 0;
};

struct PowerCase {
  Real x;
  Real y;
  Real expected;
  bool negative;  // the sign of a zero or infinite result
};

TEST_F(FloatEnvironment, PowerTableRowsWithoutError) {
  const PowerCase cases[] = {
      {2, 3, 8, false},       {-8, 3, -512, true},       {-8, 2, 64, false},
      {2, 10, 1024, false},   {2, 127, 0x1p127L, false}, {4, 0.5, 2, false},
      {5, 0.0, 1, false},     {-5, -0.0, 1, false},      {0, 0, 1, false},
      {kInf, 0, 1, false},    {-kInf, -0.0, 1, false},   {kInf, 2, kInf, false},
      {0, 2, 0, false},       {-0.0, 3, 0, true},        {-0.0, 2, 0, false},
      {3, kInf, kInf, false}, {0.5, kInf, 0, false},     {0, kInf, 0, false},
      {3, -kInf, 0, false},   {0.5, -kInf, kInf, false}, {0, -kInf, kInf, false},
      {kInf, -2, 0, false},   {-kInf, 3, -kInf, true},   {-kInf, 2, kInf, false},
      {-kInf, -3, 0, true},   {-kInf, -2, 0, false},     {-2, -1, -0.5, true},
  };
  for (const PowerCase& c : cases) {
    const Real result = real_power(c.x, c.y);
    EXPECT_EQ(result, c.expected) << "pow(" << static_cast<double>(c.x) << ", "
                                  << static_cast<double>(c.y) << ")";
    EXPECT_EQ(std::signbit(result), c.negative) << static_cast<double>(c.x);
    EXPECT_EQ(current_math_function, 0);
  }
}

TEST_F(FloatEnvironment, PowerOfAPowerOfTwoIsExactInExtendedPrecision) {
  for (int i = 0; i < 128; ++i) {
    EXPECT_EQ(real_power(2.0L, static_cast<Real>(i)), std::ldexp(1.0L, i)) << i;
  }
}

TEST_F(FloatEnvironment, SingleDenormalOperandIsUsedWithoutReport) {
  const float denormal = 1e-40f;
  ASSERT_EQ(std::fpclassify(denormal), FP_SUBNORMAL);
  const Real root = real_power(Real{denormal}, 0.25L);
  EXPECT_NEAR(static_cast<double>(root), 1e-10, 1e-15);
  EXPECT_GT(checked_divide(Real{denormal}, 0.7L), 0);
}

TEST_F(FloatEnvironment, UnderflowingPowerGivesDenormalOrZeroWithoutReport) {
  EXPECT_EQ(real_power(2, -2000), 0);
  EXPECT_EQ(static_cast<double>(real_power(2, -1070)), std::ldexp(1.0, -1070));
}

TEST_F(FloatEnvironment, ArithmeticRoundsToDoubleSignificands) {
  // 1 + 2^-60 is exact in 64-bit significands but not in 53.
  volatile Real one = 1.0L;
  volatile Real tiny = 0x1p-60L;
  EXPECT_EQ(one + tiny, 1.0L);
}

TEST_F(FloatEnvironment, StoreRoundsToNearestSingle) {
  EXPECT_EQ(store_single(0x1p127L), 0x1p127f);
  EXPECT_EQ(store_single(Real{FLT_MAX}), FLT_MAX);
  EXPECT_EQ(store_single(1e-50L), 0.0f);
  EXPECT_EQ(std::fpclassify(store_single(1e-40L)), FP_SUBNORMAL);
}

struct ReportCase {
  const char* what;
  Real (*operation)();
  const char* report;
};

class FloatReportDeathTest : public ::testing::TestWithParam<ReportCase> {};

TEST_P(FloatReportDeathTest, EndsWithItsReportAndExitCodeOne) {
  const ReportCase& c = GetParam();
  EXPECT_EXIT(
      {
        float_library_setup();
        float_runtime_setup();
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
        ReportCase{"negative base, fractional exponent", [] { return real_power(-8, 1.0L / 3); },
                   kDomain},
        ReportCase{"zero to a negative power", [] { return real_power(0, -1); }, kSing},
        ReportCase{"minus zero to an odd negative power", [] { return real_power(-0.0L, -3); },
                   kSing},
        ReportCase{"NaN base", [] { return real_power(kNaN, 0); }, kDomain},
        ReportCase{"NaN exponent", [] { return real_power(2, kNaN); }, kDomain},
        ReportCase{"one to an infinite power", [] { return real_power(1, kInf); }, kDomain},
        ReportCase{"minus one to minus infinity", [] { return real_power(-1, -kInf); }, kDomain},
        ReportCase{"beyond double", [] { return real_power(10, 5000); }, kOverflow},
        ReportCase{"beyond extended", [] { return real_power(2, 40000); }, kOverflow},
        ReportCase{"division by zero", [] { return checked_divide(0.71L, 0); },
                   "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n"},
        ReportCase{"zero by zero", [] { return checked_divide(0, 0); },
                   "\r\nrun-time error M6101: MATH\r\n- floating-point error: invalid\r\n"},
        ReportCase{"zero times infinity", [] { return checked_multiply(0, kInf); },
                   "\r\nrun-time error M6101: MATH\r\n- floating-point error: invalid\r\n"},
        ReportCase{"store beyond single", [] { return Real{store_single(0x1p128L)}; },
                   "\r\nrun-time error M6104: MATH\r\n- floating-point error: overflow\r\n"}),
    [](const auto& param_info) { return tavelo::testing::case_name(param_info.param.what); });

}  // namespace
}  // namespace tavelo::runtime
