// The characters of the results table's numeric fields: the integer field
// of the index column (I5) and the scientific field of the real columns
// (1P,E15.6), composed from the decimal digits of a single-precision float.
// Each field is edited in place, into the caller's record.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "platform/bit_cast.h"
#include "results/decimal_digits.h"

namespace tavelo::results {

// Writes exactly `width` characters at `field`: the value right-justified
// with at least `min_digits` digits, or `width` asterisks when it does not fit.
void edit_integer_field(std::int32_t value, int width, int min_digits, char* field);

// Any layout, from the digit string of decimal_digits.
void edit_general_field(float value, int width, int fraction_digits, int exponent_digits, int scale,
                        char* field);

// Seven digits, the first apart: "d" and "dddddd".
inline void put_seven_digits(std::uint32_t value, char* first, char* rest) {
  const std::uint32_t high = value / 10000;  // 100 to 999
  const std::uint32_t low = value % 10000;
  *first = static_cast<char>('0' + high / 100);
  std::memcpy(rest, &digit_pairs[std::size_t{2} * (high % 100)], 2);
  std::memcpy(rest + 2, &digit_pairs[std::size_t{2} * (low / 100)], 2);
  std::memcpy(rest + 4, &digit_pairs[std::size_t{2} * (low % 100)], 2);
}

// "E-99" to "E+99", four characters each: the two-digit exponents.
inline constexpr int largest_two_digit_exponent = 99;
inline constexpr auto exponent_texts = [] {
  std::array<char, 4 * (2 * largest_two_digit_exponent + 1)> texts{};
  for (int printed = -largest_two_digit_exponent; printed <= largest_two_digit_exponent;
       ++printed) {
    const int magnitude = printed < 0 ? -printed : printed;
    char* text = &texts[static_cast<std::size_t>(4 * (printed + largest_two_digit_exponent))];
    text[0] = 'E';
    text[1] = printed < 0 ? '-' : '+';
    text[2] = static_cast<char>('0' + magnitude / 10);
    text[3] = static_cast<char>('0' + magnitude % 10);
  }
  return texts;
}();

// The layout of the table's real columns, (1P,E`width`.6): one digit before
// the point, six after it (all the digits a single is shown with) and a
// two-digit exponent, edited from the seven digits as one number. Inline,
// with capped_digits: a table's fields are most of a run's work.
inline void edit_table_field(float value, int width, char* field) {
  constexpr int kBody = 12;  // d.ddddddE+xx
  const std::uint32_t bits = platform::bit_cast<std::uint32_t>(value);
  const bool zero = (bits & 0x7FFFFFFFu) == 0;
  const bool minus = (bits >> 31) != 0 && !zero;
  const int body = kBody + (minus ? 1 : 0);
  const CappedDigits capped = zero ? CappedDigits{0, 0} : capped_digits(value);
  if (body > width || (!zero && capped.digits == 0))
    return edit_general_field(value, width, significant_digit_cap - 1, 2, 1, field);
  // The blanks before the body; the body overwrites any past them.
  if (width - body <= 8) {
    constexpr std::uint64_t kEightBlanks = 0x2020202020202020u;
    std::memcpy(field, &kEightBlanks, 8);
  } else {
    std::memset(field, ' ', static_cast<std::size_t>(width - body));
  }
  char* out = field + width - body;
  // Zero, of either sign, prints with the exponent 0, not X - 1.
  if (zero) {
    std::memcpy(out, "0.000000E+00", kBody);
    return;
  }
  if (minus) *out++ = '-';
  put_seven_digits(capped.digits, out, out + 2);
  out[1] = '.';
  // Every finite single has X - 1 from -45 to 38.
  const auto printed = static_cast<std::size_t>(capped.exponent - 1 + largest_two_digit_exponent);
  std::memcpy(out + 8, &exponent_texts[4 * printed], 4);
}

// Writes exactly `width` characters at `field`: the value with `scale` digits
// before the point and `fraction_digits` digits in all after the first, then
// E and a signed exponent of `exponent_digits` digits. Asterisks when the
// body does not fit. Inline, so that a caller with the table's layout calls
// its editor directly.
inline void edit_scientific_field(float value, int width, int fraction_digits, int exponent_digits,
                                  int scale, char* field) {
  if (scale == 1 && fraction_digits + 1 == significant_digit_cap && exponent_digits == 2) {
    edit_table_field(value, width, field);
  } else {
    edit_general_field(value, width, fraction_digits, exponent_digits, scale, field);
  }
}

}  // namespace tavelo::results
