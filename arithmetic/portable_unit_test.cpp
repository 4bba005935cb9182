// The portable unit on every machine, against results the x87 gave: the
// powers the table's Reynolds numbers take, and the wide products the
// unit is built on.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "arithmetic/power.h"
#include "platform/wide_multiply.h"

namespace tavelo::arithmetic {
namespace {

struct ReynoldsPower {
  int i;  // Re = 2^i
  float m;
  std::uint16_t sign_exponent;
  std::uint64_t significand;
};

// The x87's Re^m for the twenty rows inside the bands. Where it differs
// from the correctly rounded power, (2^f - 1) + 1 rounded twice: 2^3.5
// correctly rounded ends in ...6484.
constexpr ReynoldsPower kX87Powers[] = {
    {0, 0.4f, 0x3FFF, 0x8000000000000000u},  {1, 0.4f, 0x3FFF, 0xA8E5A2A97F9C8924u},
    {2, 0.4f, 0x3FFF, 0xDEDC66F5C42D6F90u},  {3, 0.4f, 0x4000, 0x93088C546A556904u},
    {4, 0.4f, 0x4000, 0xC20300536010BFDBu},  {5, 0.4f, 0x4001, 0x8000002C5C8605A4u},
    {6, 0.5f, 0x4002, 0x8000000000000000u},  {7, 0.5f, 0x4002, 0xB504F333F9DE6485u},
    {8, 0.5f, 0x4003, 0x8000000000000000u},  {9, 0.5f, 0x4003, 0xB504F333F9DE6484u},
    {10, 0.6f, 0x4005, 0x80000162E431DBA0u}, {11, 0.6f, 0x4005, 0xC203026D4A3E910Fu},
    {12, 0.6f, 0x4006, 0x93088E1F0952E496u}, {13, 0.6f, 0x4006, 0xDEDC69FA24C1AA91u},
    {14, 0.6f, 0x4007, 0xA8E5A52D62E0CA2Au}, {15, 0.6f, 0x4008, 0x80000214564C3A6Cu},
    {16, 0.6f, 0x4008, 0xC203037A3F57A8F0u}, {17, 0.6f, 0x4009, 0x93088EEADE371F93u},
    {18, 0.7f, 0x400B, 0xC202FE3975E8C213u}, {19, 0.7f, 0x400C, 0x9D962240E88D6D28u},
};

TEST(PortableUnit, ReynoldsPowersAreTheX87sBitForBit) {
  for (const ReynoldsPower& row : kX87Powers) {
    MathErrorType type = MathErrorType::None;
    const Extended power = power_of(kPortableUnit, extended_from_single(std::ldexp(1.0f, row.i)),
                                    extended_from_single(row.m), type);
    EXPECT_EQ(power, (Extended{row.significand, row.sign_exponent})) << "2^" << row.i;
    EXPECT_EQ(type, MathErrorType::None);
  }
}

TEST(PortableUnit, WideProductsAgreeWithTheirHalves) {
  const std::uint64_t values[] = {
      0, 1, 0xFFFFFFFFu, 0x100000000u, ~std::uint64_t{0}, 0x8000000000000001u, 0xB504F333F9DE6484u};
  for (const std::uint64_t a : values) {
    for (const std::uint64_t b : values) {
      const platform::Product128 fast = platform::multiply_64x64(a, b);
      const platform::Product128 halves = platform::multiply_64x64_by_halves(a, b);
      EXPECT_EQ(fast.hi, halves.hi) << a << " * " << b;
      EXPECT_EQ(fast.lo, halves.lo) << a << " * " << b;
    }
  }
  EXPECT_EQ(platform::multiply_64x64_by_halves(~0ull, ~0ull).hi, ~0ull - 1);
}

}  // namespace
}  // namespace tavelo::arithmetic
