#include "console/value_conversion.h"

#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/platform.h"
#include "runtime/characters.h"
#include "runtime/error_report.h"

namespace tavelo::console {
namespace {

namespace message = runtime::message;
using runtime::kCtrlZ;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::int32_t digit_value(char c) {
  if (is_digit(c)) return c - '0';
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  return std::numeric_limits<std::int32_t>::max();
}

// The digits after "#"; `base` is what came before it, 0 meaning 16.
std::int32_t convert_based(std::string_view digits, std::uint32_t base, std::uint32_t& magnitude) {
  if (base == 0) base = 16;
  if (base < 2 || base > 36) return message::kBadBase;
  const std::uint64_t limit = base == 10 ? 2147483647u : 4294967295u;
  std::uint64_t accumulated = 0;
  for (const char c : digits) {
    if (c == kCtrlZ) break;
    if (c == '#') return message::kSecondBaseMark;
    const std::int32_t digit = digit_value(c);
    if (digit >= static_cast<std::int32_t>(base)) return message::kInvalidInteger;
    accumulated = accumulated * base + static_cast<std::uint64_t>(digit);
    if (accumulated > limit) return message::kIntegerTooLarge;
  }
  magnitude = static_cast<std::uint32_t>(accumulated);
  return kConverted;
}

// ---- Real numbers -------------------------------------------------------

constexpr int kSignificantDigits = 24;
// Beyond these powers of ten a double is infinite or zero whatever the digits.
constexpr long kLargestExponent = 400;
constexpr long kWrittenExponentLimit = 5200;
constexpr double kSingleLimit = 3.402823466385289e38;

// A decimal number as its significant digits (no leading zeros) and the
// power of ten of the last one.
struct Decimal {
  char digits[kSignificantDigits + 1] = {};
  int count = 0;           // digits held, at most 24 once rounded
  int seen = 0;            // significant digits in the text
  char digit_after = '0';  // the 25th significant digit
  long scale = 0;
  bool negative = false;
};

void add_digit(Decimal& number, char c, bool after_point) {
  if (after_point) --number.scale;
  if (number.seen == 0 && c == '0') return;
  ++number.seen;
  if (number.count < kSignificantDigits) {
    number.digits[number.count++] = c;
  } else {
    if (number.seen == kSignificantDigits + 1) number.digit_after = c;
    ++number.scale;
  }
}

// At most 24 digits enter the value: the 25th rounds the 24th half up.
void round_to_significant(Decimal& number) {
  if (number.seen <= kSignificantDigits || number.digit_after < '5') return;
  int i = number.count - 1;
  while (i >= 0 && number.digits[i] == '9') number.digits[i--] = '0';
  if (i >= 0) {
    ++number.digits[i];
  } else {
    number.digits[0] = '1';
    number.count = 1;
    number.scale += kSignificantDigits;
  }
}

// Optional sign, digits with an optional point, at least one digit.
bool parse_mantissa(std::string_view text, std::size_t& i, Decimal& number) {
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) number.negative = text[i++] == '-';
  bool any_digit = false;
  bool after_point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (is_digit(c)) {
      add_digit(number, c, after_point);
      any_digit = true;
    } else if (c == '.' && !after_point) {
      after_point = true;
    } else {
      break;
    }
  }
  return any_digit;
}

// E, e, D or d with an optional sign, or a bare sign; then digits. The
// value saturates: anything that large is out of range anyway.
bool parse_exponent(std::string_view text, std::size_t& i, long& exponent) {
  exponent = 0;
  if (i == text.size()) return true;
  const char mark = text[i];
  if (mark == 'E' || mark == 'e' || mark == 'D' || mark == 'd')
    ++i;
  else if (mark != '+' && mark != '-')
    return false;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t first = i;
  for (; i < text.size() && is_digit(text[i]); ++i) {
    if (exponent < 1000000) exponent = exponent * 10 + (text[i] - '0');
  }
  if (negative) exponent = -exponent;
  return i > first && i == text.size();
}

}  // namespace

std::int32_t convert_integer_token(std::string_view text, std::int32_t& value) {
  if (text.size() > kMaxValueText) return message::kInvalidInteger;
  if (text == "-2147483648") {
    value = std::numeric_limits<std::int32_t>::min();
    return kConverted;
  }
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::uint32_t magnitude = 0;
  for (; i < text.size() && text[i] != kCtrlZ; ++i) {
    const char c = text[i];
    if (c == '#') {
      const std::uint32_t base = magnitude;
      const std::int32_t error = convert_based(text.substr(i + 1), base, magnitude);
      if (error != kConverted) return error;
      break;
    }
    if (!is_digit(c)) return message::kInvalidInteger;
    const auto digit = static_cast<std::uint32_t>(c - '0');
    if (magnitude > (2147483647u - digit) / 10) return message::kIntegerTooLarge;
    magnitude = magnitude * 10 + digit;
  }
  // A based value above the signed range is kept as its 32-bit pattern.
  value = static_cast<std::int32_t>(negative ? 0u - magnitude : magnitude);
  return kConverted;
}

std::int32_t real_text_to_double(std::string_view text, double& value) {
  if (text.size() > kMaxValueText) return message::kNotAReal;
  Decimal number;
  std::size_t i = 0;
  long exponent = 0;
  if (!parse_mantissa(text, i, number) || !parse_exponent(text, i, exponent)) {
    return message::kNotAReal;
  }
  if (exponent > kWrittenExponentLimit) return message::kBeyondDouble;
  round_to_significant(number);
  const double zero = number.negative ? -0.0 : 0.0;
  if (number.count == 0) {
    value = zero;
    return kConverted;
  }
  const long scale = number.scale + exponent;
  const long magnitude = scale + number.count - 1;  // power of ten of the first digit
  if (magnitude > kLargestExponent) return message::kBeyondDouble;
  if (magnitude < -kLargestExponent) {
    value = zero;
    return kConverted;
  }
  // The digits and an explicit exponent, converted with correct rounding.
  char normalised[kSignificantDigits + 16];
  const int length =
      std::snprintf(normalised, sizeof normalised, "%.*se%ld", number.count, number.digits, scale);
  double converted = 0.0;
  if (!platform::decimal_to_double(normalised, static_cast<std::size_t>(length), &converted)) {
    // Reported alike for both ends of the range: the magnitude tells them apart.
    if (magnitude > 0) return message::kBeyondDouble;
    converted = 0.0;
  }
  value = number.negative ? -converted : converted;
  return kConverted;
}

std::int32_t convert_real_token(std::string_view text, float& value) {
  double d = 0.0;
  const std::int32_t error = real_text_to_double(text, d);
  if (error != kConverted) return error;
  // Checked before rounding: values that would round down to the largest
  // single are still out of range.
  if (d < -kSingleLimit || d > kSingleLimit) return message::kBeyondSingle;
  value = static_cast<float>(d);
  return kConverted;
}

}  // namespace tavelo::console
