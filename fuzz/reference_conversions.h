// Independent references for the two value conversions, written from the
// rules of the accepted forms rather than from the program's code: the
// integer reference accumulates in 64 bits character by character, and the
// real reference matches the whole text, normalises the significant digits
// itself and leaves the decimal-to-double step to the C library's strtod.
#pragma once

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace tavelo::fuzz {

// Message indices of the conversion errors (printed as 6000 + the number).
inline constexpr std::int32_t kOk = -1;
inline constexpr std::int32_t kIntegerTooLarge = 4;  // 6100
inline constexpr std::int32_t kInvalidInteger = 5;   // 6101
inline constexpr std::int32_t kBeyondDouble = 6;     // 6102
inline constexpr std::int32_t kNotAReal = 7;         // 6103
inline constexpr std::int32_t kBeyondSingle = 8;     // 6104
inline constexpr std::int32_t kSecondBaseMark = 28;  // 6302
inline constexpr std::int32_t kBadBase = 29;         // 6303
inline constexpr std::size_t kLongestText = 259;
inline constexpr char kCtrlZ = 0x1A;

inline bool decimal_digit(char c) { return c >= '0' && c <= '9'; }

// 0..35 for 0-9, A-Z, a-z; 99 for anything else.
inline int digit_of(char c) {
  if (decimal_digit(c)) return c - '0';
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  return 99;
}

struct IntegerOutcome {
  std::int32_t error = kOk;
  std::int32_t value = 0;
};

inline IntegerOutcome reference_integer(std::string_view text) {
  if (text.size() > kLongestText) return {kInvalidInteger, 0};
  if (text == "-2147483648") return {kOk, INT32_MIN};
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t number = 0;
  bool based = false;
  std::int64_t base = 10;
  std::int64_t limit = 2147483647;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == kCtrlZ) break;
    if (c == '#') {
      if (based) return {kSecondBaseMark, 0};
      based = true;
      base = number == 0 ? 16 : number;
      if (base < 2 || base > 36) return {kBadBase, 0};
      limit = base == 10 ? 2147483647 : 4294967295;
      number = 0;
      continue;
    }
    const int digit = based ? digit_of(c) : (decimal_digit(c) ? c - '0' : 99);
    if (digit >= base) return {kInvalidInteger, 0};
    number = number * base + digit;
    if (number > limit) return {kIntegerTooLarge, 0};
  }
  const auto pattern = static_cast<std::uint32_t>(number);
  return {kOk, static_cast<std::int32_t>(negative ? ~pattern + 1u : pattern)};
}

struct RealOutcome {
  std::int32_t error = kOk;
  double wide = 0.0;   // the double before the single-precision checks
  float stored = 0.f;  // what the variable receives
};

// Whole-text match of: sign? (digits (. digits*)? | . digits) exponent?
// where exponent is [EeDd] sign? digits, or sign digits.
inline RealOutcome reference_real(std::string_view text) {
  if (text.size() > kLongestText) return {kNotAReal};
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::string before, after;
  while (i < text.size() && decimal_digit(text[i])) before += text[i++];
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && decimal_digit(text[i])) after += text[i++];
  }
  if (before.empty() && after.empty()) return {kNotAReal};
  long long written = 0;
  if (i < text.size()) {
    const char mark = text[i];
    const bool letter = mark == 'E' || mark == 'e' || mark == 'D' || mark == 'd';
    if (!letter && mark != '+' && mark != '-') return {kNotAReal};
    if (letter) ++i;
    bool exponent_negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) exponent_negative = text[i++] == '-';
    if (i == text.size()) return {kNotAReal};
    for (; i < text.size(); ++i) {
      if (!decimal_digit(text[i])) return {kNotAReal};
      if (written < 100000000) written = written * 10 + (text[i] - '0');
    }
    if (exponent_negative) written = -written;
  }
  if (written > 5200) return {kBeyondDouble};

  // The value is 0.<all digits> x 10^(size of before + written); drop the
  // leading zeros, keep 24 digits, round half up on the 25th.
  std::string digits = before + after;
  long long exponent = static_cast<long long>(before.size()) + written;
  const std::size_t first = digits.find_first_not_of('0');
  const double zero = negative ? -0.0 : 0.0;
  if (first == std::string::npos) return {kOk, zero, static_cast<float>(zero)};
  digits.erase(0, first);
  exponent -= static_cast<long long>(first);
  if (digits.size() > 24) {
    const bool up = digits[24] >= '5';
    digits.resize(24);
    if (up) {
      std::size_t k = 24;
      while (k > 0 && digits[k - 1] == '9') digits[--k] = '0';
      if (k == 0) {
        digits.insert(digits.begin(), '1');
        ++exponent;
      } else {
        ++digits[k - 1];
      }
    }
  }
  if (exponent > 1000) return {kBeyondDouble};
  if (exponent < -1000) return {kOk, zero, static_cast<float>(zero)};
  const std::string normalised = "0." + digits + "e" + std::to_string(exponent);
  errno = 0;
  double d = std::strtod(normalised.c_str(), nullptr);
  if (std::isinf(d)) return {kBeyondDouble};
  if (negative) d = -d;
  const double limit = std::nextafter(static_cast<double>(FLT_MAX), HUGE_VAL);
  if (d > limit || d < -limit) return {kBeyondSingle, d};
  return {kOk, d, static_cast<float>(d)};
}

}  // namespace tavelo::fuzz
