// The portable unit held to the x87 itself, in one process, on the cases
// where rounding is hard: exact ties and near-ties of the basic operations,
// the Prandtl powers of every positive single, fourth roots of quotients,
// and rows whose 53-bit value lies a hair from a single rounding boundary.
// The full runs take hours and run with TAVELO_SLOW_TESTS=1 (a strided
// sample runs always); they print their counts. TAVELO_CANDIDATES names a
// file for the near-boundary inputs, one dialogue per line, so that other
// builds can be run on them.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/tavelo.h"
#include "arithmetic/power.h"
#include "arithmetic/x87_unit.h"
#include "platform/bit_cast.h"
#include "runtime/arrays.h"
#include "runtime/error_report.h"

namespace tavelo::arithmetic {
namespace {

bool slow_run() {
  const char* slow = std::getenv("TAVELO_SLOW_TESTS");
  return slow != nullptr && std::string(slow) == "1";
}

// body(first, last, worker) over [0, count), split among the cores; each
// worker sets its own control words, as each thread has its own x87.
template <class Body>
void in_parallel(std::uint64_t count, Body body) {
  const unsigned workers = std::max(1u, std::thread::hardware_concurrency());
  std::vector<std::thread> threads;
  for (unsigned w = 0; w < workers; ++w) {
    threads.emplace_back([&, w] { body(count * w / workers, count * (w + 1) / workers, w); });
  }
  for (std::thread& thread : threads) thread.join();
}

Extended power_in(const ArithmeticUnit& unit, Extended x, Extended y) {
  MathErrorType type = MathErrorType::None;
  return power_of(unit, x, y, type);
}

float single_of_bits(std::uint32_t bits) { return platform::bit_cast<float>(bits); }

struct Tally {
  std::atomic<std::uint64_t> cases{0};
  std::atomic<std::uint64_t> differ_64{0};
  std::atomic<std::uint64_t> differ_single{0};

  void print(const char* what, double seconds) const {
    std::printf("%s: %" PRIu64 " cases, %" PRIu64 " differ at 64 bits, %" PRIu64
                " after rounding to single, %.0f s\n",
                what, cases.load(), differ_64.load(), differ_single.load(), seconds);
  }
};

// x^y in both units: counts where the 64-bit results differ, and where
// they still differ once rounded to single.
void compare_powers(Extended x, Extended y, Tally& tally) {
  const Extended by_x87 = power_in(kX87Unit, x, y);
  const Extended by_portable = power_in(kPortableUnit, x, y);
  if (by_x87 == by_portable) return;
  ++tally.differ_64;
  if (single_from_extended(by_x87) != single_from_extended(by_portable)) ++tally.differ_single;
}

double seconds_since(const std::chrono::steady_clock::time_point& start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

constexpr std::uint16_t kProgramWord = 0x027F;  // 53 bits, as the program runs

// Operands whose exact results fall on, or one unit of 2^-64 beside, a
// point halfway between two 53-bit (and, stored, 24-bit) neighbours.
TEST(PortableUnit, BasicOperationsRoundTiesAndNearTiesAsTheX87) {
  std::mt19937_64 random(19);
  const std::uint64_t tails[] = {0x400, 0x3FF, 0x401, 0, 0x7FF, 0x80000000FFu, 0xFFFFFFFFFFu};
  const float factors[] = {1.0f, 3.0f, 0.75f, 5.0f, 0.1f, 1.0f / 3, 0x1p-60f, 1e30f};
  int cases = 0;
  for (int k = 0; k < 200000; ++k) {
    const std::uint64_t tail = tails[static_cast<std::size_t>(k) % std::size(tails)];
    const Extended a{
        kIntegerBit | ((random() << 11) & ~std::uint64_t{0x7FF} & ~kIntegerBit) | tail,
        static_cast<std::uint16_t>(kExtendedBias - 40 + static_cast<int>(random() % 80))};
    const float factor =
        k % 3 == 0
            ? factors[static_cast<std::size_t>(k / 3) % std::size(factors)]
            : single_of_bits(0x30000000u + static_cast<std::uint32_t>(random() % 0x1E000000u));
    const Extended b = extended_from_single(factor);
    for (const std::uint16_t word : {kProgramWord, std::uint16_t{0x037F}}) {
      kX87Unit.set_control_word(word);
      kPortableUnit.set_control_word(word);
      ASSERT_EQ(kX87Unit.multiply(a, b), kPortableUnit.multiply(a, b)) << k;
      ASSERT_EQ(kX87Unit.divide(a, b), kPortableUnit.divide(a, b)) << k;
      ASSERT_EQ(kX87Unit.divide(b, a), kPortableUnit.divide(b, a)) << k;
      ASSERT_EQ(kX87Unit.add(a, b), kPortableUnit.add(a, b)) << k;
      ASSERT_EQ(kX87Unit.add(a, negate(b)), kPortableUnit.add(a, negate(b))) << k;
      ++cases;
    }
    ASSERT_EQ(kX87Unit.store_single(a), kPortableUnit.store_single(a)) << k;
  }
  kX87Unit.set_control_word(kProgramWord);
  EXPECT_EQ(cases, 400000);
}

// x^0.36 and x^0.37 for every positive finite single x (every 65537th in
// the strided run).
TEST(PortableUnit, PrandtlPowersOfEverySingleRoundAsTheX87s) {
  const std::uint32_t stride = slow_run() ? 1 : 65537;
  const Extended exponents[] = {extended_from_single(single_of_bits(0x3EB851ECu)),
                                extended_from_single(single_of_bits(0x3EBD70A4u))};
  constexpr std::uint64_t kPositiveFinite = 0x7F7FFFFFu;
  Tally tally;
  const auto start = std::chrono::steady_clock::now();
  in_parallel(kPositiveFinite / stride, [&](std::uint64_t first, std::uint64_t last, unsigned) {
    for (std::uint64_t k = first; k < last; ++k) {
      const auto bits = static_cast<std::uint32_t>(1 + k * stride);
      const Extended x = extended_from_single(single_of_bits(bits));
      for (const Extended& y : exponents) compare_powers(x, y, tally);
      tally.cases += 2;
    }
  });
  tally.print("x^0.36, x^0.37", seconds_since(start));
  EXPECT_EQ(tally.differ_single.load(), 0u);
}

// (a/b)^0.25 for quotients of random positive singles, the quotient
// rounded to 53 bits as the program forms it.
TEST(PortableUnit, FourthRootsOfQuotientsRoundAsTheX87s) {
  const std::uint64_t count = slow_run() ? 1000000000u : 200000u;
  const Extended quarter = extended_from_single(0.25f);
  Tally tally;
  const auto start = std::chrono::steady_clock::now();
  in_parallel(count, [&](std::uint64_t first, std::uint64_t last, unsigned worker) {
    std::mt19937_64 random(25 + worker);
    kX87Unit.set_control_word(kProgramWord);
    kPortableUnit.set_control_word(kProgramWord);
    for (std::uint64_t k = first; k < last; ++k) {
      const auto positive = [&] {
        return extended_from_single(
            single_of_bits(1 + static_cast<std::uint32_t>(random() % 0x7F7FFFFFu)));
      };
      const Extended a = positive();
      const Extended ratio = kPortableUnit.divide(a, positive());
      compare_powers(ratio, quarter, tally);
      ++tally.cases;
    }
  });
  tally.print("(a/b)^0.25", seconds_since(start));
  EXPECT_EQ(tally.differ_single.load(), 0u);
}

// The distance of a 53-bit value from the nearest point halfway between
// two singles, in units of the single's last place.
double distance_from_single_midpoint(double value) {
  const float nearest = static_cast<float>(value);
  const float below = std::nextafter(nearest, 0.0f);
  const float above = std::nextafter(nearest, HUGE_VALF);
  const double ulp = static_cast<double>(above) - static_cast<double>(nearest);
  const double to_below = std::fabs(value - (static_cast<double>(nearest) + below) / 2);
  const double to_above = std::fabs(value - (static_cast<double>(nearest) + above) / 2);
  return std::min(to_below, to_above) / ulp;
}

// The x87's rows 1..20 of the pair: true when one lies within 2^-25 single
// units of a midpoint.
bool near_a_midpoint_on_the_x87(float prs, float pr, const Extended (&re_m)[20],
                                const float (&c)[20]) {
  const Extended ratio = kX87Unit.divide(extended_from_single(pr), extended_from_single(prs));
  const Extended root = power_in(kX87Unit, ratio, extended_from_single(0.25f));
  const float n_pr = pr > 10.0f ? single_of_bits(0x3EB851ECu) : single_of_bits(0x3EBD70A4u);
  const Extended power = power_in(kX87Unit, extended_from_single(pr), extended_from_single(n_pr));
  for (int i = 0; i < 20; ++i) {
    Extended value = kX87Unit.multiply(re_m[i], extended_from_single(c[i]));
    value = kX87Unit.multiply(kX87Unit.multiply(value, root), power);
    if (distance_from_single_midpoint(double_from_extended(value)) < 0x1p-25) return true;
  }
  return false;
}

std::vector<float> table_in(const ArithmeticUnit& unit, float prs, float pr) {
  const ArithmeticUnit& before = use_arithmetic_unit(unit);
  float_library_setup();
  float_runtime_setup(runtime::report_math_error);
  app::Correlation state;
  state.prs = prs;
  state.pr = pr;
  state.n = 20;
  app::compute_correlation(state);
  std::vector<float> nu(state.nu, state.nu + 20);
  release_array(state.re, state.re_descriptor, 4);
  release_array(state.m, state.m_descriptor, 4);
  release_array(state.nu, state.nu_descriptor, 4);
  release_array(state.c, state.c_descriptor, 4);
  use_arithmetic_unit(before);
  return nu;
}

// Random (Prs, Pr) pairs, log-uniform over 1e-3..1e4: the x87 finds the
// rows a hair from a single boundary, then both units compute the whole
// table of each such pair. 2 x 10^8 pairs (4 x 10^9 rows) in the slow run.
TEST(PortableUnit, TablesWithRowsNearASingleBoundaryAreTheX87s) {
  const std::uint64_t pairs = slow_run() ? 200000000u : 100000u;
  const float c[20] = {0.75f, 0.75f, 0.75f, 0.75f, 0.75f, 0.75f, 0.51f, 0.51f, 0.51f,  0.51f,
                       0.26f, 0.26f, 0.26f, 0.26f, 0.26f, 0.26f, 0.26f, 0.26f, 0.076f, 0.076f};
  const float m[20] = {0.4f, 0.4f, 0.4f, 0.4f, 0.4f, 0.4f, 0.5f, 0.5f, 0.5f, 0.5f,
                       0.6f, 0.6f, 0.6f, 0.6f, 0.6f, 0.6f, 0.6f, 0.6f, 0.7f, 0.7f};
  Extended re_m[20];
  for (int i = 0; i < 20; ++i) {
    re_m[i] =
        power_in(kX87Unit, extended_from_single(std::ldexp(1.0f, i)), extended_from_single(m[i]));
  }
  std::mutex found;
  std::vector<std::pair<float, float>> candidates;
  const auto start = std::chrono::steady_clock::now();
  in_parallel(pairs, [&](std::uint64_t first, std::uint64_t last, unsigned worker) {
    std::mt19937_64 random(2026 + worker);
    std::uniform_real_distribution<double> decade(-3.0, 4.0);
    kX87Unit.set_control_word(kProgramWord);
    for (std::uint64_t k = first; k < last; ++k) {
      const auto prs = static_cast<float>(std::pow(10.0, decade(random)));
      const auto pr = static_cast<float>(std::pow(10.0, decade(random)));
      if (near_a_midpoint_on_the_x87(prs, pr, re_m, c)) {
        const std::lock_guard<std::mutex> lock(found);
        candidates.emplace_back(prs, pr);
      }
    }
  });
  const double search_seconds = seconds_since(start);
  int differing = 0;
  std::FILE* out = nullptr;
  if (const char* path = std::getenv("TAVELO_CANDIDATES")) out = std::fopen(path, "w");
  for (const auto& [prs, pr] : candidates) {
    if (table_in(kX87Unit, prs, pr) != table_in(kPortableUnit, prs, pr)) {
      ++differing;
      ADD_FAILURE() << "Prs = " << prs << ", Pr = " << pr;
    }
    if (out != nullptr)
      std::fprintf(out, "%.17g %.17g\n", static_cast<double>(prs), static_cast<double>(pr));
  }
  if (out != nullptr) std::fclose(out);
  std::printf(
      "rows near a single boundary: %llu rows scanned in %.0f s, %zu candidates, %d tables "
      "differ\n",
      static_cast<unsigned long long>(pairs * 20), search_seconds, candidates.size(), differing);
  EXPECT_EQ(differing, 0);
}

}  // namespace
}  // namespace tavelo::arithmetic
