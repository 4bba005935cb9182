// The program's correlation computed under its own floating-point set-up,
// in tests that give the caller's control word back afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "app/tavelo.h"
#include "arithmetic/arithmetic_unit.h"
#include "arithmetic/float_env.h"
#include "runtime/error_report.h"

namespace tavelo::testing {

// The state for Prs, Pr and N, computed with the program's arithmetic.
inline app::Correlation compute(float prs, float pr, std::int32_t n) {
  arithmetic::float_library_setup();
  arithmetic::float_runtime_setup(runtime::report_math_error);
  app::Correlation state;
  state.prs = prs;
  state.pr = pr;
  state.n = n;
  app::compute_correlation(state);
  return state;
}

class CorrelationTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = arithmetic::arithmetic_unit().control_word(); }
  void TearDown() override { arithmetic::arithmetic_unit().set_control_word(saved_); }

 private:
  std::uint16_t saved_ = 0;
};

}  // namespace tavelo::testing
