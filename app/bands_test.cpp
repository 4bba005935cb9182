#include "app/bands.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>

namespace tavelo::app {
namespace {

constexpr float kUnassigned = -123.0f;

struct BandCase {
  float re;
  std::uint32_t c_bits;  // 0 when no band holds
  std::uint32_t m_bits;
};

TEST(CoefficientBands, EachBandIsClosedBelowAndOpenAbove) {
  const BandCase cases[] = {
      {0.999999f, 0, 0},
      {-5.0f, 0, 0},
      {0.0f, 0, 0},
      {1.0f, 0x3F400000u, 0x3ECCCCCDu},
      {39.99999f, 0x3F400000u, 0x3ECCCCCDu},
      {40.0f, 0x3F028F5Cu, 0x3F000000u},
      {1000.0f, 0x3E851EB8u, 0x3F19999Au},
      {199999.98f, 0x3E851EB8u, 0x3F19999Au},
      {200000.0f, 0x3D9BA5E3u, 0x3F333333u},
      {999999.94f, 0x3D9BA5E3u, 0x3F333333u},
      {1000000.0f, 0, 0},
  };
  for (const BandCase& b : cases) {
    const std::int32_t n = 1;
    float c = kUnassigned, m = kUnassigned;
    calcula_C(n, &b.re, &c);
    calcula_m(n, &b.re, &m);
    if (b.c_bits == 0) {
      EXPECT_EQ(c, kUnassigned) << b.re;
      EXPECT_EQ(m, kUnassigned) << b.re;
    } else {
      EXPECT_EQ(std::bit_cast<std::uint32_t>(c), b.c_bits) << b.re;
      EXPECT_EQ(std::bit_cast<std::uint32_t>(m), b.m_bits) << b.re;
    }
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
