// The characters of the results table's numeric fields: the integer field
// of the index column (I5) and the scientific field of the real columns
// (1P,E15.6), built from the exact decimal value of a single-precision float.
// Each field is edited in place, into the caller's record.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

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

// Writes exactly `width` characters at `field`: the value right-justified
// with at least `min_digits` digits, or `width` asterisks when it does not fit.
void edit_integer_field(std::int32_t value, int width, int min_digits, char* field);

// The first 17 significant digits of the exact value (18 truncated, rounded
// at the 17th), or the text of an infinity or NaN.
DecimalDigits decimal_digits(float value);
// The same by the exact big-integer expansion of the value, which
// decimal_digits falls back on where its wide multiply cannot decide.
DecimalDigits exact_decimal_digits(float value);

// Shortens the digits to n, rounding on the (n+1)-th digit alone; true when
// the rounding carried into a new leading digit (the exponent grew by one).
bool round_digit_string(DecimalDigits& record, int n);

// Writes exactly `width` characters at `field`: the value with `scale` digits
// before the point and `fraction_digits` digits in all after the first, then
// E and a signed exponent of `exponent_digits` digits. Asterisks when the
// body does not fit.
void edit_scientific_field(float value, int width, int fraction_digits, int exponent_digits,
                           int scale, char* field);

}  // namespace tavelo::results
