// The coefficient bands of the correlation: C and m by Reynolds band.
#pragma once

#include <cstdint>

namespace tavelo::app {

// The trip count of a 1..N loop, worked out once before the first pass.
constexpr std::int64_t trip_count(std::int32_t n) { return std::int64_t{n} - 1 + 1; }

// C(i) and m(i) from the Reynolds band of Re(i); elements outside every
// band keep what they held.
void calcula_C(const std::int32_t& n, const float* re, float* c);
void calcula_m(const std::int32_t& n, const float* re, float* m);

}  // namespace tavelo::app
