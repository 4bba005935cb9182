// Whole tables against a reference computed by another route: the Nusselt
// number evaluated in 64-bit-significand arithmetic from exp2, square roots
// and powl (not the program's x87 power function, which also works with
// 64-bit significands, but by fyl2x, f2xm1 and fscale), rounded to single
// once, and every field written from printf's exact digits of the value
// with plain string rounding (not the program's own digits).
// Cases whose exact value lies within 2^-45 relative of a point halfway
// between two singles are left out: there the two routes may round apart.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

#include "app/tavelo.h"
#include "arithmetic/arithmetic_unit.h"
#include "results/field_editing.h"
#include "runtime/arrays.h"
#include "tests/support/correlation_fixture.h"
#include "tests/support/printf_reference.h"

namespace tavelo::app {
namespace {

using tavelo::testing::reference_scientific_field;

// The band of 2^(i-1): C and m as stored singles, zero past the last band.
struct Coefficients {
  float c;
  float m;
};

Coefficients band_of_element(int i) {
  if (i <= 6) return {std::bit_cast<float>(0x3F400000u), std::bit_cast<float>(0x3ECCCCCDu)};
  if (i <= 10) return {std::bit_cast<float>(0x3F028F5Cu), std::bit_cast<float>(0x3F000000u)};
  if (i <= 18) return {std::bit_cast<float>(0x3E851EB8u), std::bit_cast<float>(0x3F19999Au)};
  if (i <= 20) return {std::bit_cast<float>(0x3D9BA5E3u), std::bit_cast<float>(0x3F333333u)};
  return {0.0f, 0.0f};
}

// The exact Nusselt number to about 2^-60: 2^((i-1)m) is exp2 of an exact
// product, the fourth root is two square roots.
long double reference_nusselt(int i, float prs, float pr) {
  const Coefficients band = band_of_element(i);
  if (band.c == 0.0f) return 0.0L;
  const long double n_pr = pr > 10.0f ? std::bit_cast<float>(0x3EB851ECu)   // 0.36
                                      : std::bit_cast<float>(0x3EBD70A4u);  // 0.37
  const long double re_m = std::exp2(static_cast<long double>(i - 1) * band.m);
  const long double ratio = static_cast<long double>(pr) / prs;
  return band.c * re_m * std::sqrt(std::sqrt(ratio)) * std::pow(static_cast<long double>(pr), n_pr);
}

// True when `exact` is within 2^-45 relative of a halfway point between two
// singles, where a correct rounding of a nearby value could go either way.
bool near_rounding_boundary(long double exact) {
  if (exact == 0.0L) return false;
  const float nearest = static_cast<float>(exact);
  const long double below = std::nextafter(nearest, 0.0f);
  const long double above = std::nextafter(nearest, HUGE_VALF);
  const long double margin = std::ldexp(std::fabs(exact), -45);
  return std::fabs(exact - (nearest + below) / 2) < margin ||
         std::fabs(exact - (nearest + above) / 2) < margin;
}

std::string reference_row(int i, float c, float m, float re, float nu) {
  char index[16];
  std::snprintf(index, sizeof index, "%5d", i);
  return index + reference_scientific_field(c) + reference_scientific_field(m) +
         reference_scientific_field(re) + reference_scientific_field(nu);
}

std::string program_row(int i, float c, float m, float re, float nu) {
  std::string row(65, '?');
  results::edit_integer_field(i, 5, 1, row.data());
  char* field = row.data() + 5;
  for (const float value : {c, m, re, nu}) {
    results::edit_scientific_field(value, 15, 6, 2, 1, field);
    field += 15;
  }
  return row;
}

class CorrelationReference : public testing::CorrelationTest {
 protected:
  // The program's arithmetic under its own control word.
  static Correlation run(float prs, float pr, std::int32_t n) {
    Correlation state = testing::compute(prs, pr, n);
    arithmetic::arithmetic_unit().set_control_word(kFullPrecision);
    return state;
  }

  static void release(Correlation& state) {
    runtime::release_array(state.re, state.re_descriptor, 4);
    runtime::release_array(state.m, state.m_descriptor, 4);
    runtime::release_array(state.nu, state.nu_descriptor, 4);
    runtime::release_array(state.c, state.c_descriptor, 4);
  }

  // The reference wants every bit of the 64-bit significand.
  static constexpr std::uint16_t kFullPrecision = 0x037F;
};

TEST_F(CorrelationReference, RandomTablesMatchAnIndependentEvaluationByteForByte) {
  constexpr int kCases = 400;
  std::mt19937_64 random(20240611);
  std::uniform_real_distribution<double> decade(-3.0, 4.0);  // 1e-3 .. 1e4, log-uniform
  std::uniform_int_distribution<std::int32_t> elements(1, 128);
  int rows = 0;
  int skipped = 0;
  for (int k = 0; k < kCases; ++k) {
    const auto prs = static_cast<float>(std::pow(10.0, decade(random)));
    const auto pr = static_cast<float>(std::pow(10.0, decade(random)));
    const std::int32_t n = elements(random);
    Correlation state = run(prs, pr, n);
    for (int i = 1; i <= n; ++i) {
      const long double exact = reference_nusselt(i, prs, pr);
      if (near_rounding_boundary(exact)) {
        ++skipped;
        continue;
      }
      const Coefficients band = band_of_element(i);
      const float re = std::ldexp(1.0f, i - 1);
      const std::string expected = reference_row(i, band.c, band.m, re, static_cast<float>(exact));
      const std::string actual =
          program_row(i, state.c[i - 1], state.m[i - 1], state.re[i - 1], state.nu[i - 1]);
      ASSERT_EQ(actual, expected) << "Prs = " << prs << ", Pr = " << pr << ", N = " << n
                                  << ", i = " << i;
      ++rows;
    }
    release(state);
  }
  // The margin leaves out about 2^-20 of the rows: a handful at most.
  EXPECT_LT(skipped, 10);
  EXPECT_GT(rows, kCases * 30);
}

}  // namespace
}  // namespace tavelo::app
