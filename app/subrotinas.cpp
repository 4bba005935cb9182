#include "app/subrotinas.h"

#include <bit>

#include "launch/system.h"
#include "results/results_file.h"

namespace tavelo::app {
namespace {

struct Band {
  float lower;  // inclusive
  float upper;  // exclusive
  float c;
  float m;
};

// Tested in this order; the first band that holds assigns.
constexpr Band kBands[] = {
    {1.0f, 40.0f, std::bit_cast<float>(0x3F400000u), std::bit_cast<float>(0x3ECCCCCDu)},
    {40.0f, 1000.0f, std::bit_cast<float>(0x3F028F5Cu), std::bit_cast<float>(0x3F000000u)},
    {1000.0f, 200000.0f, std::bit_cast<float>(0x3E851EB8u), std::bit_cast<float>(0x3F19999Au)},
    {200000.0f, 1000000.0f, std::bit_cast<float>(0x3D9BA5E3u), std::bit_cast<float>(0x3F333333u)},
};

const Band* band_of(float re) {
  for (const Band& band : kBands) {
    if (re >= band.lower && re < band.upper) return &band;
  }
  return nullptr;
}

// Both routines index 1..N; the arrays arrive as their first element.
template <float Band::*Column>
void assign_from_bands(const std::int32_t& n, const float* re, float* out) {
  const std::int64_t trips = std::int64_t{n} - 1 + 1;
  for (std::int64_t i = 0; i < trips; ++i) {
    if (const Band* band = band_of(re[i])) out[i] = band->*Column;
  }
}

constexpr char kResultsName[] = "resultados.txt";
constexpr char kViewerCommand[] = "notepad resultados.txt";

}  // namespace

void calcula_C(const std::int32_t& n, const float* re, float* c) {
  assign_from_bands<&Band::c>(n, re, c);
}

void calcula_m(const std::int32_t& n, const float* re, float* m) {
  assign_from_bands<&Band::m>(n, re, m);
}

void escreve_resultados(const std::int32_t& n, const float* c, const float* m, const float* re,
                        const float* nu) {
  results::open_results_file(kResultsName, sizeof kResultsName - 1);
  results::write_header_record();
  const std::int32_t rows = n;
  for (std::int32_t i = 1; i <= rows; ++i) {
    results::write_row_record(i, c[i - 1], m[i - 1], re[i - 1], nu[i - 1]);
  }
  results::close_results_file();
  // The viewer's status is kept but nothing reads it.
  [[maybe_unused]] static std::int32_t viewer_status = 0;
  viewer_status = launch::system(kViewerCommand, sizeof kViewerCommand - 1);
}

}  // namespace tavelo::app
