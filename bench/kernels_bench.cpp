// The program's three hot kernels against the C library doing the same job:
// the scientific field against snprintf("%15.6E"), the real conversion
// against strtod, and the power function against std::pow. Each benchmark
// cycles through the same fixed set of inputs, so pairs compare like with
// like.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "arithmetic/arithmetic_unit.h"
#include "arithmetic/float_env.h"
#include "arithmetic/power.h"
#include "console/free_input.h"
#include "results/field_editing.h"
#include "runtime/error_report.h"

namespace {

// Values like a results table's: coefficients, powers of two and Nusselt
// numbers over many decades.
const std::vector<float>& field_values() {
  static const std::vector<float> values = [] {
    std::vector<float> v = {0.75f, 0.51f, 0.26f, 0.076f, 0.4f, 0.5f, 0.6f, 0.7f, 0.0f};
    for (int i = 0; i < 128; ++i) v.push_back(std::ldexp(1.0f, i));
    std::mt19937 random(7);
    std::uniform_real_distribution<double> decade(-3.0, 6.0);
    while (v.size() < 1024) v.push_back(static_cast<float>(std::pow(10.0, decade(random))));
    return v;
  }();
  return values;
}

// Texts like typed values: short decimals, exponents, long digit strings.
const std::vector<std::string>& real_texts() {
  static const std::vector<std::string> texts = [] {
    std::vector<std::string> t = {"0.7",   "0.71",        "10",      "7e-1",
                                  "1.5D3", "123.456789",  "1e-40",   "3.4028234e38",
                                  "-2.5",  "0.000123456", "6.02e23", "1.00000000000000000000001"};
    std::mt19937 random(11);
    std::uniform_real_distribution<double> decade(-3.0, 4.0);
    char text[32];
    while (t.size() < 256) {
      std::snprintf(text, sizeof text, "%.*g", 1 + static_cast<int>(t.size() % 9),
                    std::pow(10.0, decade(random)));
      t.emplace_back(text);
    }
    return t;
  }();
  return texts;
}

// The program's powers: 2^(i-1), Re^m, a ratio to 0.25, Pr to 0.36/0.37.
// Every base and exponent is a single, as the program's are.
struct PowerCase {
  float base;
  float exponent;
};

const std::vector<PowerCase>& power_cases() {
  static const std::vector<PowerCase> cases = [] {
    std::vector<PowerCase> c;
    std::mt19937 random(13);
    std::uniform_real_distribution<double> decade(-3.0, 4.0);
    for (int i = 0; i < 256; ++i) {
      const auto x = static_cast<float>(std::pow(10.0, decade(random)));
      switch (i % 4) {
        case 0: c.push_back({2.0f, static_cast<float>(i / 2)}); break;
        case 1:
          c.push_back({std::ldexp(1.0f, i % 20), 0.4f + 0.1f * static_cast<float>(i % 3)});
          break;
        case 2: c.push_back({x, 0.25f}); break;
        default: c.push_back({x, 0.37f}); break;
      }
    }
    return c;
  }();
  return cases;
}

void BM_EditScientificField(benchmark::State& state) {
  const auto& values = field_values();
  std::size_t i = 0;
  for (auto _ : state) {
    char field[15];
    tavelo::results::edit_scientific_field(values[i], 15, 6, 2, 1, field);
    benchmark::DoNotOptimize(field);
    i = (i + 1) % values.size();
  }
}
BENCHMARK(BM_EditScientificField);

void BM_SnprintfE15_6(benchmark::State& state) {
  const auto& values = field_values();
  std::size_t i = 0;
  char field[32];
  for (auto _ : state) {
    std::snprintf(field, sizeof field, "%15.6E", static_cast<double>(values[i]));
    benchmark::DoNotOptimize(field);
    i = (i + 1) % values.size();
  }
}
BENCHMARK(BM_SnprintfE15_6);

void BM_ConvertRealToken(benchmark::State& state) {
  const auto& texts = real_texts();
  std::size_t i = 0;
  for (auto _ : state) {
    float value = 0.0f;
    benchmark::DoNotOptimize(tavelo::console::convert_real_token(texts[i], value));
    benchmark::DoNotOptimize(value);
    i = (i + 1) % texts.size();
  }
}
BENCHMARK(BM_ConvertRealToken);

void BM_Strtod(benchmark::State& state) {
  const auto& texts = real_texts();
  std::size_t i = 0;
  for (auto _ : state) {
    auto value = static_cast<float>(std::strtod(texts[i].c_str(), nullptr));
    benchmark::DoNotOptimize(value);
    i = (i + 1) % texts.size();
  }
}
BENCHMARK(BM_Strtod);

void BM_RealPower(benchmark::State& state) {
  std::vector<std::pair<tavelo::arithmetic::Extended, tavelo::arithmetic::Extended>> cases;
  for (const PowerCase& c : power_cases()) {
    cases.emplace_back(tavelo::arithmetic::extended_from_single(c.base),
                       tavelo::arithmetic::extended_from_single(c.exponent));
  }
  const std::uint16_t saved = tavelo::arithmetic::arithmetic_unit().control_word();
  tavelo::arithmetic::float_library_setup();
  tavelo::arithmetic::float_runtime_setup(tavelo::runtime::report_math_error);
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(tavelo::arithmetic::real_power(cases[i].first, cases[i].second));
    i = (i + 1) % cases.size();
  }
  tavelo::arithmetic::arithmetic_unit().set_control_word(saved);
}
BENCHMARK(BM_RealPower);

void BM_StdPowLongDouble(benchmark::State& state) {
  const auto& cases = power_cases();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(std::pow(static_cast<long double>(cases[i].base),
                                      static_cast<long double>(cases[i].exponent)));
    i = (i + 1) % cases.size();
  }
}
BENCHMARK(BM_StdPowLongDouble);

void BM_StdPowDouble(benchmark::State& state) {
  const auto& cases = power_cases();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(
        std::pow(static_cast<double>(cases[i].base), static_cast<double>(cases[i].exponent)));
    i = (i + 1) % cases.size();
  }
}
BENCHMARK(BM_StdPowDouble);

}  // namespace

BENCHMARK_MAIN();
