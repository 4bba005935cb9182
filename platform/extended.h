// The x87 unit's extended-precision format as plain data, so that values
// can pass between the run-time's portable arithmetic and the unit itself:
// a 64-bit significand with its integer bit explicit (bit 63), then the sign
// (bit 15) and the exponent biased by 16383 (bits 0-14).
#pragma once

#include <cstdint>

namespace tavelo::platform {

struct Extended {
  std::uint64_t significand = 0;
  std::uint16_t sign_exponent = 0;
  // The same bits: not the numbers' equality (NaNs, the two zeros).
  friend bool operator==(const Extended&, const Extended&) = default;
};

}  // namespace tavelo::platform
