#include "app/tavelo.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>

#include "tests/support/correlation_fixture.h"
#include "tests/support/exact_stderr.h"
#include "tests/support/worked_example.h"

namespace tavelo::app {
namespace {

std::string scientific(float value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6E", static_cast<double>(value));
  return text;
}

class Correlate : public testing::CorrelationTest {
 protected:
  static Correlation run(float prs, float pr, std::int32_t n) {
    return testing::compute(prs, pr, n);
  }
};

TEST_F(Correlate, WorkedExampleGivesTheTabulatedNusseltNumbers) {
  const Correlation s = run(0.7f, 0.71f, 7);
  std::istringstream rows(testing::worked::kTable);
  std::string row;
  std::getline(rows, row);  // the header
  for (int i = 0; std::getline(rows, row); ++i) {
    // Nu is the last field, before the CR.
    EXPECT_EQ(scientific(s.nu[i]), row.substr(row.size() - 13, 12)) << "i = " << i + 1;
    EXPECT_EQ(s.re[i], std::ldexp(1.0f, i));
  }
  EXPECT_EQ(s.c[5], 0.75f);
  EXPECT_EQ(s.c[6], 0.51f);
  EXPECT_EQ(s.m[6], 0.5f);
  EXPECT_EQ(s.n_pr, 0.37f);
}

TEST_F(Correlate, PrandtlExponentSwitchesStrictlyAboveTen) {
  EXPECT_EQ(run(1.0f, 10.0f, 1).n_pr, 0.37f);
  EXPECT_EQ(run(1.0f, 10.000001f, 1).n_pr, 0.36f);
  EXPECT_EQ(run(1.0f, -20.0f, 0).n_pr, 0.37f);
}

TEST_F(Correlate, ElementsBeyondTheLastBandStayZero) {
  const Correlation s = run(0.7f, 0.71f, 30);
  for (int i = 0; i < 30; ++i) {
    EXPECT_EQ(s.re[i], std::ldexp(1.0f, i));
    if (i + 1 >= 21) {
      EXPECT_EQ(s.c[i], 0.0f) << i + 1;
      EXPECT_EQ(s.m[i], 0.0f) << i + 1;
      EXPECT_EQ(s.nu[i], 0.0f) << i + 1;
    } else {
      EXPECT_GT(s.nu[i], 0.0f) << i + 1;
    }
  }
  EXPECT_EQ(s.c[19], 0.076f);  // Re = 524288 is still in the last band
}

TEST_F(Correlate, SeriesReachesTwoToThe127AtElement128) {
  const Correlation s = run(0.7f, 0.71f, 128);
  EXPECT_EQ(s.re[127], 0x1p127f);
  EXPECT_FLOAT_EQ(s.re[127], 1.7014118e38f);
}

TEST_F(Correlate, NoElementIsComputedForNBelowOne) {
  for (const std::int32_t n : {0, -1}) {
    // A zero Prs would be reported if any quotient were formed.
    const Correlation s = run(0.0f, 0.0f, n);
    EXPECT_NE(s.re, nullptr);
    EXPECT_EQ(s.re_descriptor.dimension.extent, 0);
  }
}

TEST_F(Correlate, ZeroPrandtlGivesZeroNusseltWithoutReport) {
  const Correlation s = run(0.7f, 0.0f, 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(s.nu[i], 0.0f);
}

TEST_F(Correlate, DenormalPrandtlNumbersAreUsedWithoutReport) {
  const Correlation s = run(1e-40f, 1e-40f, 2);
  EXPECT_GT(s.nu[0], 0.0f);
}

struct FailureCase {
  const char* what;
  float prs;
  float pr;
  std::int32_t n;
  const char* report;
};

class CorrelateDeathTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(CorrelateDeathTest, EndsInItsReport) {
  const FailureCase& c = GetParam();
  EXPECT_EXIT(testing::compute(c.prs, c.pr, c.n), ::testing::ExitedWithCode(1),
              testing::exactly(c.report))
      << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Failures, CorrelateDeathTest,
    ::testing::Values(
        FailureCase{"zero Prs", 0.0f, 0.71f, 7,
                    "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n"},
        FailureCase{"zero over zero", 0.0f, 0.0f, 1,
                    "\r\nrun-time error M6101: MATH\r\n- floating-point error: invalid\r\n"},
        FailureCase{"opposite signs", -0.7f, 0.71f, 7,
                    "\r\nrun-time error M6201: MATH\r\n- **: DOMAIN error\r\n"},
        FailureCase{"both negative", -0.7f, -0.71f, 7,
                    "\r\nrun-time error M6201: MATH\r\n- **: DOMAIN error\r\n"},
        FailureCase{"Re(129) beyond single", 0.7f, 0.71f, 129,
                    "\r\nrun-time error M6104: MATH\r\n- floating-point error: overflow\r\n"},
        FailureCase{"first array too large", 0.7f, 0.71f, 1073741815,
                    "\r\nrun-time error F6772\r\n- not enough memory for an array\r\n"}),
    [](const auto& param_info) { return tavelo::testing::case_name(param_info.param.what); });

}  // namespace
}  // namespace tavelo::app
