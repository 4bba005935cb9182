// The scientific field checked against a reference built differently: the C
// library's printf (glibc prints the exact decimal expansion of a double, and
// a float widens to a double exactly) followed by plain string rounding. The
// full sweep of all 2^32 patterns takes minutes and runs only when
// TAVELO_SLOW_TESTS=1; a strided sample runs always.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "results/field_editing.h"

namespace tavelo::results {
namespace {

// Adds one at position `last`; true when every digit up to it was a nine.
bool carry_into(std::string& digits, std::size_t last) {
  for (std::size_t i = last + 1; i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return false;
    }
    digits[i] = '0';
  }
  return true;
}

// The significant digits of |value| (at least 31 of them, exact in the first
// 18) and the decimal exponent of the first one.
void exact_digits(double magnitude, std::string& digits, int& exponent) {
  char text[160];
  // 31 digits are printed correctly rounded; they only disagree with the
  // truncated first 18 when digits 19 to 31 were all nines and rounded up,
  // which leaves them all zeros. Then all 121 digits are asked for (exact:
  // a float has at most 112 significant digits).
  std::snprintf(text, sizeof text, "%.30e", magnitude);
  std::string mantissa = std::string(1, text[0]) + std::string(text + 2, 30);
  if (mantissa.find_first_not_of('0', 18) == std::string::npos) {
    std::snprintf(text, sizeof text, "%.120e", magnitude);
    mantissa = std::string(1, text[0]) + std::string(text + 2, 120);
  }
  digits = mantissa;
  exponent = std::atoi(std::strchr(text, 'e') + 1);
}

std::string reference_field(std::uint32_t bits) {
  const bool negative = (bits >> 31) != 0;
  const std::uint32_t magnitude_bits = bits & 0x7FFFFFFFu;
  if (magnitude_bits == 0x7F800000u) return "1#INF..........";
  if (magnitude_bits > 0x7F800000u)
    return bits == 0xFFC00000u ? "1#IND.........." : "1#QNAN.........";
  if (magnitude_bits == 0) return "   0.000000E+00";

  std::string digits;
  int exponent = 0;  // of the first digit: d.ddd x 10^exponent
  exact_digits(static_cast<double>(std::bit_cast<float>(magnitude_bits)), digits, exponent);
  // 18 truncated digits, the 18th rounding the 17th.
  std::string seventeen = digits.substr(0, 17);
  if (digits[17] >= '5' && carry_into(seventeen, 16)) {
    seventeen = "1" + std::string(16, '0');
    ++exponent;
  }
  // Half away from zero at the 7th, judged on the 8th of those 17.
  std::string seven = seventeen.substr(0, 7);
  if (seventeen[7] >= '5' && carry_into(seven, 6)) {
    seven = "1000000";
    ++exponent;
  }
  char tail[16];
  std::snprintf(tail, sizeof tail, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
  return std::string(negative ? "  -" : "   ") + seven[0] + "." + seven.substr(1) + tail;
}

// Checks both signs of every `stride`-th magnitude, on all cores.
void sweep(std::uint32_t stride) {
  constexpr std::uint64_t kMagnitudes = 0x80000000u;
  const unsigned workers = std::max(1u, std::thread::hardware_concurrency());
  std::atomic<std::uint64_t> mismatches{0};
  std::mutex report;
  std::vector<std::thread> threads;
  for (unsigned w = 0; w < workers; ++w) {
    threads.emplace_back([&, w] {
      for (std::uint64_t m = std::uint64_t{w} * stride; m < kMagnitudes;
           m += std::uint64_t{workers} * stride) {
        for (const std::uint32_t bits :
             {static_cast<std::uint32_t>(m), static_cast<std::uint32_t>(m) | 0x80000000u}) {
          const std::string expected = reference_field(bits);
          const std::string got = edit_scientific_field(std::bit_cast<float>(bits), 15, 6, 2, 1);
          if (got != expected && mismatches.fetch_add(1) < 10) {
            const std::lock_guard<std::mutex> lock(report);
            ADD_FAILURE() << std::hex << bits << ": got '" << got << "', reference '" << expected
                          << "'";
          }
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(mismatches.load(), 0u);
}

TEST(ScientificFieldSweep, ReferenceAgreesOnTheTableValues) {
  // The reference itself must give the known fields, or a sweep proves nothing.
  EXPECT_EQ(reference_field(0x3F333333), "   7.000000E-01");
  EXPECT_EQ(reference_field(0x4996B444), "   1.234569E+06");
  EXPECT_EQ(reference_field(0x1E3CE508), "   1.000000E-20");
  EXPECT_EQ(reference_field(0x80000001), "  -1.401298E-45");
}

// 2^31 / 1021 magnitudes, both signs: about 4.2 million patterns.
TEST(ScientificFieldSweep, StridedSampleMatchesTheReference) { sweep(1021); }

TEST(ScientificFieldSweep, ExhaustiveAllFloatPatternsMatchTheReference) {
  const char* slow = std::getenv("TAVELO_SLOW_TESTS");
  if (slow == nullptr || std::string(slow) != "1") GTEST_SKIP() << "set TAVELO_SLOW_TESTS=1";
  sweep(1);
}

}  // namespace
}  // namespace tavelo::results
