// The decimal digits of a single-precision float, taken from its exact value:
// the digit string of the general field (its first 17 significant digits,
// the 18th rounding the 17th) and the seven digits the results table shows.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <string_view>

#include "platform/bit_cast.h"

namespace tavelo::results {

// The most significant digits a single-precision value is ever shown with;
// digit positions beyond it are written as '0'.
inline constexpr int significant_digit_cap = 7;

// The decimal form of one value: sign, 0.d1d2d3... x 10^exponent.
struct DecimalDigits {
  char sign = ' ';            // '-' or ' '
  std::int32_t exponent = 0;  // X, with the point before the first digit
  // At most 17 digits, no trailing zeros (one more after a rounding carry);
  // or "1#INF" etc.
  std::array<char, 18> digits{};
  std::int32_t count = 0;  // characters of `digits` in use
  bool finite = true;      // false for infinities and NaNs
  std::string_view text() const { return {digits.data(), static_cast<std::size_t>(count)}; }
};

// The first 17 significant digits of the exact value (18 truncated, rounded
// at the 17th), or the text of an infinity or NaN.
DecimalDigits decimal_digits(float value);
// The same by the exact big-integer expansion of the value, which
// decimal_digits falls back on where its wide multiply cannot decide.
DecimalDigits exact_decimal_digits(float value);

// Shortens the digits to n, rounding on the (n+1)-th digit alone; true when
// the rounding carried into a new leading digit (the exponent grew by one).
bool round_digit_string(DecimalDigits& record, int n);

// floor(log10(2^b)) for |b| < 1650: 78913 / 2^18 is log10(2) closely enough.
constexpr int floor_log10_of_power_of_two(int b) { return (b * 78913) >> 18; }

// ---- The table's seven digits -------------------------------------------
//
// The digit string rounds twice: at the 17th digit on the 18th, then at the
// 7th on the 8th. Both together round the value, scaled to z in [10^6, 10^7),
// up where its fraction reaches 0.5 - 5 x 10^-11: below that, the 18th digit
// cannot carry through nines into the 8th. So z alone decides, and it needs
// far fewer bits than 18 digits: m (brought to 24 bits) times a 64-bit
// truncated 10^q, with the product's lowest 32 bits dropped, falls short of
// the exact z by less than 2^-27. A fraction within that of the boundary is
// left to the digit string. Inline: the table's fields call it 512 times a run.

// 10^q as p * 2^-shift, with 2^63 <= p < 2^64, truncated; q = 7 - X for
// every X of a finite single, 39 (3.4E+38) down to -44 (1.4E-45).
struct ShortPower {
  std::uint64_t p;
  int shift;
};
inline constexpr int kShortLowestPower = significant_digit_cap - 39;
inline constexpr int kShortPowerCount = 39 + 44 + 1;
extern const std::array<ShortPower, kShortPowerCount> short_powers;

// The digits of a non-zero finite value rounded to significant_digit_cap, as
// round_digit_string(decimal_digits(value), significant_digit_cap) leaves
// them, but as one number from 10^6 to 10^7 - 1, with X.
struct CappedDigits {
  std::uint32_t digits;  // 0 where this form cannot answer
  std::int32_t exponent;
};

// No digits (0) for zero, infinities and NaNs, and for the rare value so
// near a rounding boundary that only the digit string can tell.
inline CappedDigits capped_digits(float value) {
  constexpr std::uint32_t kUnit = 1000000;  // 10^(cap - 1): z's first digit
  constexpr std::uint32_t kEnd = 10 * kUnit;
  // Fractions in units of 2^-64: the computed one's largest shortfall, with
  // room; 0.5 - 5 x 10^-11 and, for the digit 4 of a z scaled ten times too
  // far, 1 - 5 x 10^-10, both rounded up.
  constexpr std::uint64_t kShortfall = std::uint64_t{1} << 37;
  constexpr std::uint64_t kHalfBoundary =
      (std::uint64_t{1} << 63) - (std::uint64_t{1} << 63) / 10000000000u;
  constexpr std::uint64_t kWholeBoundary = 0 - (std::uint64_t{1} << 63) / 1000000000u;

  const std::uint32_t bits = platform::bit_cast<std::uint32_t>(value);
  const std::uint32_t biased = (bits >> 23) & 0xFFu;
  const std::uint32_t fraction_bits = bits & 0x007FFFFFu;
  if (biased == 0xFFu || (biased | fraction_bits) == 0) return {0, 0};
  // value = m * 2^e, m brought to 24 bits (a denormal's too).
  std::uint32_t m = biased == 0 ? fraction_bits : (fraction_bits | 0x00800000u);
  const int spare = std::countl_zero(m) - 8;
  m <<= spare;
  const int e = (biased == 0 ? 1 : static_cast<int>(biased)) - 150 - spare;
  // 2^(e+23) <= value < 2^(e+24): X is this or one more, and z below 10^8.
  std::int32_t exponent = floor_log10_of_power_of_two(e + 23) + 1;
  const ShortPower& power =
      short_powers[static_cast<std::size_t>(significant_digit_cap - exponent - kShortLowestPower)];
  const int point = power.shift - e;  // 63 to 67 bits of fraction in m * p
  const std::uint64_t high =
      std::uint64_t{m} * (power.p >> 32) + ((std::uint64_t{m} * (power.p & 0xFFFFFFFFu)) >> 32);
  auto whole = static_cast<std::uint32_t>(high >> (point - 32));
  const std::uint64_t fraction = high << (96 - point);
  bool up = false;
  if (whole >= kEnd && whole % 10 != 4) {
    // X is one more, and z / 10 rounds on z's last digit alone.
    up = whole % 10 > 4;
    whole /= 10;
    ++exponent;
  } else {
    std::uint64_t boundary = kHalfBoundary;
    if (whole >= kEnd) {  // the same, with a last digit 4: the fraction tells
      whole /= 10;
      ++exponent;
      boundary = kWholeBoundary;
    }
    if (fraction < boundary && fraction >= boundary - kShortfall) return {0, 0};
    up = fraction >= boundary;
  }
  whole += up ? 1 : 0;
  if (whole == kEnd) {
    whole = kUnit;
    ++exponent;
  }
  return {whole, exponent};
}

// "00" to "99": two digits per division.
inline constexpr auto digit_pairs = [] {
  std::array<char, 200> pairs{};
  for (std::size_t i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// Writes the last `count` digits of `value` before `end`.
void put_digits_before(char* end, std::uint32_t value, int count);

}  // namespace tavelo::results
