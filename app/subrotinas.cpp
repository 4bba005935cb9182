#include "app/subrotinas.h"

#include "platform/bit_cast.h"

namespace tavelo::app {
namespace {

using platform::bit_cast;

struct Band {
  float lower;  // inclusive
  float upper;  // exclusive
  float c;
  float m;
};

// Tested in this order; the first band that holds assigns.
constexpr Band kBands[] = {
    {1.0f, 40.0f, bit_cast<float>(0x3F400000u), bit_cast<float>(0x3ECCCCCDu)},
    {40.0f, 1000.0f, bit_cast<float>(0x3F028F5Cu), bit_cast<float>(0x3F000000u)},
    {1000.0f, 200000.0f, bit_cast<float>(0x3E851EB8u), bit_cast<float>(0x3F19999Au)},
    {200000.0f, 1000000.0f, bit_cast<float>(0x3D9BA5E3u), bit_cast<float>(0x3F333333u)},
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
  const std::int64_t trips = trip_count(n);
  for (std::int64_t i = 0; i < trips; ++i) {
    if (const Band* band = band_of(re[i])) out[i] = band->*Column;
  }
}

}  // namespace

void calcula_C(const std::int32_t& n, const float* re, float* c) {
  assign_from_bands<&Band::c>(n, re, c);
}

void calcula_m(const std::int32_t& n, const float* re, float* m) {
  assign_from_bands<&Band::m>(n, re, m);
}

}  // namespace tavelo::app
