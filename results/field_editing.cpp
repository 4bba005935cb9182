#include "results/field_editing.h"

#include <algorithm>
#include <cstring>

namespace tavelo::results {
namespace {

constexpr int kPowersOfTen[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
constexpr std::uint32_t kPowersOfTen32[] = {1,      10,      100,      1000,      10000,
                                            100000, 1000000, 10000000, 100000000, 1000000000};

}  // namespace

void edit_integer_field(std::int32_t value, int width, int min_digits, char* field) {
  // The magnitude as unsigned: the most negative value has no 32-bit negation.
  std::uint32_t rest =
      value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
  int digits = 0;
  while (digits < 10 && rest >= kPowersOfTen32[digits]) ++digits;
  const int shown = std::max(digits, min_digits);
  const int body = shown + (value < 0 ? 1 : 0);
  if (body > width) {
    std::fill(field, field + width, '*');
    return;
  }
  // Blanks over the whole field, then right to left over them: the digits
  // two at a time, the zeros before them, the sign. A narrow field's blanks
  // are two overlapping words rather than a call to memset.
  if (width >= 4 && width <= 8) {
    constexpr std::uint32_t kFourBlanks = 0x20202020u;
    std::memcpy(field, &kFourBlanks, 4);
    std::memcpy(field + width - 4, &kFourBlanks, 4);
  } else {
    std::memset(field, ' ', static_cast<std::size_t>(width));
  }
  char* at = field + width;
  for (; rest >= 10; rest /= 100) {
    at -= 2;
    std::memcpy(at, &digit_pairs[std::size_t{2} * (rest % 100)], 2);
  }
  if (rest != 0) *--at = static_cast<char>('0' + rest);
  if (shown > digits)
    std::memset(field + width - shown, '0', static_cast<std::size_t>(shown - digits));
  if (value < 0) field[width - body] = '-';
}

void edit_general_field(float value, int width, int fraction_digits, int exponent_digits, int scale,
                        char* field) {
  const auto stars = [&] { std::memset(field, '*', static_cast<std::size_t>(width)); };
  DecimalDigits record = decimal_digits(value);
  if (!record.finite) {
    const int shown = std::min(record.count, width);
    std::memcpy(field, record.digits.data(), static_cast<std::size_t>(shown));
    std::memset(field + shown, '.', static_cast<std::size_t>(width - shown));
    return;
  }
  // With k > 0, k digits precede the point and d - k + 1 follow it; with
  // k <= 0 the point comes first, then -k zeros and d + k digits.
  const int significant = scale > 0 ? fraction_digits + 1 : fraction_digits + scale;
  if (significant <= 0 || scale > fraction_digits + 1) return stars();
  const bool zero = record.text() == "0";
  round_digit_string(record, std::min(significant_digit_cap, significant));
  const int exponent = zero ? 0 : record.exponent - scale;
  const int magnitude = exponent < 0 ? -exponent : exponent;
  // Past e digits the E gives way to a third digit (E+99, then +100).
  const bool with_letter = exponent_digits >= static_cast<int>(std::size(kPowersOfTen)) ||
                           magnitude < kPowersOfTen[std::max(exponent_digits, 0)];
  if (!with_letter && (exponent_digits != 2 || magnitude >= 1000)) return stars();

  const int shown_exponent = with_letter ? exponent_digits : 3;
  const int mantissa = scale > 0 ? significant + 1 : 2 - scale + significant;
  const int body = (record.sign == '-' ? 1 : 0) + mantissa + (with_letter ? 2 : 1) + shown_exponent;
  if (body > width) return stars();

  char* out = field + width - body;
  std::memset(field, ' ', static_cast<std::size_t>(width - body));
  if (record.sign == '-') *out++ = '-';
  // Digit positions past the record's digits are zeros.
  const int given = std::min(record.count, significant);
  const char* digit = record.digits.data();
  if (scale > 0) {
    for (int i = 0; i < scale; ++i) *out++ = i < given ? digit[i] : '0';
    *out++ = '.';
    std::memset(out, '0', static_cast<std::size_t>(significant - scale));
    for (int i = scale; i < given; ++i) out[i - scale] = digit[i];
    out += significant - scale;
  } else {
    *out++ = '0';
    *out++ = '.';
    std::memset(out, '0', static_cast<std::size_t>(significant - scale));
    std::copy_n(digit, given, out - scale);
    out += significant - scale;
  }
  if (with_letter) *out++ = 'E';
  *out++ = exponent < 0 ? '-' : '+';
  put_digits_before(out + shown_exponent, static_cast<std::uint32_t>(magnitude), shown_exponent);
}

}  // namespace tavelo::results