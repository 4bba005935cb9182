// The full 128-bit product of two 64-bit integers, which the portable
// arithmetic is built on: one instruction where the compiler has a 128-bit
// integer type, four 32-bit products elsewhere.
#pragma once

#include <cstdint>

namespace tavelo::platform {

struct Product128 {
  std::uint64_t hi;
  std::uint64_t lo;
};

// The product from 32-bit halves, for compilers without a 128-bit type;
// the tests hold the fast form to it.
inline Product128 multiply_64x64_by_halves(std::uint64_t a, std::uint64_t b) {
  const std::uint64_t a_lo = a & 0xFFFFFFFFu, a_hi = a >> 32;
  const std::uint64_t b_lo = b & 0xFFFFFFFFu, b_hi = b >> 32;
  const std::uint64_t lo_lo = a_lo * b_lo;
  const std::uint64_t hi_lo = a_hi * b_lo;
  const std::uint64_t lo_hi = a_lo * b_hi;
  const std::uint64_t hi_hi = a_hi * b_hi;
  const std::uint64_t middle = (lo_lo >> 32) + (hi_lo & 0xFFFFFFFFu) + (lo_hi & 0xFFFFFFFFu);
  return {hi_hi + (hi_lo >> 32) + (lo_hi >> 32) + (middle >> 32),
          (middle << 32) | (lo_lo & 0xFFFFFFFFu)};
}

inline Product128 multiply_64x64(std::uint64_t a, std::uint64_t b) {
#if defined(__SIZEOF_INT128__)
  __extension__ typedef unsigned __int128 Unsigned128;
  const Unsigned128 product = static_cast<Unsigned128>(a) * b;
  return {static_cast<std::uint64_t>(product >> 64), static_cast<std::uint64_t>(product)};
#else
  return multiply_64x64_by_halves(a, b);
#endif
}

}  // namespace tavelo::platform
