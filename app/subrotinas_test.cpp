#include "app/subrotinas.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace tavelo::app {
namespace {

constexpr float kUnassigned = -123.0f;

struct BandCase {
  float re;
  bool in_band;
  float c;  // the correlation's coefficients, as written in its table
  float m;
};

TEST(CoefficientBands, EachBandIsClosedBelowAndOpenAbove) {
  const BandCase cases[] = {
      {0.999999f, false, 0, 0},
      {-5.0f, false, 0, 0},
      {0.0f, false, 0, 0},
      {1.0f, true, 0.75f, 0.4f},
      {39.99999f, true, 0.75f, 0.4f},
      {40.0f, true, 0.51f, 0.5f},
      {1000.0f, true, 0.26f, 0.6f},
      {199999.98f, true, 0.26f, 0.6f},
      {200000.0f, true, 0.076f, 0.7f},
      {999999.94f, true, 0.076f, 0.7f},
      {1000000.0f, false, 0, 0},
  };
  for (const BandCase& b : cases) {
    const std::int32_t n = 1;
    float c = kUnassigned, m = kUnassigned;
    calcula_C(n, &b.re, &c);
    calcula_m(n, &b.re, &m);
    EXPECT_EQ(c, b.in_band ? b.c : kUnassigned) << b.re;
    EXPECT_EQ(m, b.in_band ? b.m : kUnassigned) << b.re;
  }
}

TEST(CoefficientBands, NoElementIsTouchedForNBelowOne) {
  const float re[2] = {1.0f, 2.0f};
  for (const std::int32_t n : {0, -1, -2147483647 - 1}) {
    float c[2] = {kUnassigned, kUnassigned};
    calcula_C(n, re, c);
    calcula_m(n, re, c);
    EXPECT_EQ(c[0], kUnassigned);
    EXPECT_EQ(c[1], kUnassigned);
  }
}

}  // namespace
}  // namespace tavelo::app
