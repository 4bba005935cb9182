#include "results/field_editing.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace tavelo::results {
namespace {

// ---- Exact decimal expansion -------------------------------------------
//
// A finite float is m * 2^e with m < 2^24 and -149 <= e <= 104. For e >= 0
// the value is the integer m << e (below 2^128); for e < 0 it is
// m * 5^-e / 10^-e, so the digits are those of the integer m * 5^-e (below
// 2^371). Both fit in twelve 32-bit limbs; the host's printf is never asked,
// because C libraries disagree on how they print.

constexpr int kMaxLimbs = 12;
constexpr std::uint32_t kChunk = 1000000000;  // 10^9, the base of a digit chunk
constexpr std::uint32_t kFivePow13 = 1220703125;

struct BigInteger {
  std::array<std::uint32_t, kMaxLimbs> limb{};  // least significant first
  std::size_t size = 0;                         // limbs in use; 0 is zero
};

void multiply_small(BigInteger& n, std::uint32_t factor) {
  std::uint64_t carry = 0;
  for (std::size_t i = 0; i < n.size; ++i) {
    const std::uint64_t product = std::uint64_t{n.limb[i]} * factor + carry;
    n.limb[i] = static_cast<std::uint32_t>(product);
    carry = product >> 32;
  }
  if (carry != 0) n.limb[n.size++] = static_cast<std::uint32_t>(carry);
}

// Divides in place; returns the remainder.
std::uint32_t divide_small(BigInteger& n, std::uint32_t divisor) {
  std::uint64_t remainder = 0;
  for (std::size_t i = n.size; i-- > 0;) {
    const std::uint64_t part = (remainder << 32) | n.limb[i];
    n.limb[i] = static_cast<std::uint32_t>(part / divisor);
    remainder = part % divisor;
  }
  while (n.size > 0 && n.limb[n.size - 1] == 0) --n.size;
  return static_cast<std::uint32_t>(remainder);
}

BigInteger shifted(std::uint32_t m, int shift) {
  BigInteger n;
  const auto word = static_cast<std::size_t>(shift / 32);
  const int bit = shift % 32;
  const std::uint64_t wide = std::uint64_t{m} << bit;
  n.limb[word] = static_cast<std::uint32_t>(wide);
  n.limb[word + 1] = static_cast<std::uint32_t>(wide >> 32);
  n.size = n.limb[word + 1] != 0 ? word + 2 : word + 1;
  return n;
}

BigInteger times_power_of_five(std::uint32_t m, int power) {
  BigInteger n;
  n.limb[0] = m;
  n.size = 1;
  for (; power >= 13; power -= 13) multiply_small(n, kFivePow13);
  std::uint32_t rest = 1;
  for (; power > 0; --power) rest *= 5;
  multiply_small(n, rest);
  return n;
}

// Writes the decimal digits of n (non-zero) into `out`; returns their count.
int to_decimal(BigInteger n, char* out) {
  std::array<std::uint32_t, 16> chunks{};
  std::size_t count = 0;
  while (n.size > 0) chunks[count++] = divide_small(n, kChunk);
  int length = 0;
  for (std::size_t i = count; i-- > 0;) {
    char group[9];
    std::uint32_t value = chunks[i];
    for (int j = 8; j >= 0; --j, value /= 10) group[j] = static_cast<char>('0' + value % 10);
    int first = 0;
    if (i == count - 1) {
      while (first < 8 && group[first] == '0') ++first;  // no leading zeros
    }
    std::memcpy(out + length, group + first, static_cast<std::size_t>(9 - first));
    length += 9 - first;
  }
  return length;
}

// Adds one unit at position `last` of a digit string; true on a carry out
// of the first digit (every digit was a nine and is now a zero).
bool increment_digits(char* digits, int last) {
  for (int i = last; i >= 0; --i) {
    if (digits[i] != '9') {
      ++digits[i];
      return false;
    }
    digits[i] = '0';
  }
  return true;
}

// The widened value of a NaN always has its quiet bit set: loading a
// signalling single NaN quiets it, so "1#SNAN" never comes from a float.
DecimalDigits special_digits(std::uint32_t bits) {
  DecimalDigits record;
  record.finite = false;
  record.exponent = 1;
  record.sign = (bits >> 31) != 0 ? '-' : ' ';
  if ((bits & 0x007FFFFFu) == 0) {
    record.digits = "1#INF";
  } else if (bits == 0xFFC00000u) {
    record.digits = "1#IND";
  } else {
    record.digits = "1#QNAN";
  }
  return record;
}

// ---- Field composition --------------------------------------------------

void append_exponent(std::string& body, int exponent, int exponent_digits) {
  const int magnitude = exponent < 0 ? -exponent : exponent;
  int limit = 1;
  for (int i = 0; i < exponent_digits; ++i) limit *= 10;
  int shown = exponent_digits;
  if (magnitude < limit) {
    body += 'E';
  } else {
    shown = 3;  // the E gives way to a third digit: E+99 then +100
  }
  body += exponent < 0 ? '-' : '+';
  std::string digits(static_cast<std::size_t>(shown), '0');
  int rest = magnitude;
  for (int i = shown - 1; i >= 0; --i, rest /= 10)
    digits[static_cast<std::size_t>(i)] = static_cast<char>('0' + rest % 10);
  body += digits;
}

bool exponent_fits(int exponent, int exponent_digits) {
  const int magnitude = exponent < 0 ? -exponent : exponent;
  int limit = 1;
  for (int i = 0; i < exponent_digits; ++i) limit *= 10;
  return magnitude < limit || (exponent_digits == 2 && magnitude < 1000);
}

std::string right_justified(const std::string& body, int width) {
  if (static_cast<int>(body.size()) > width)
    return std::string(static_cast<std::size_t>(width), '*');
  return std::string(static_cast<std::size_t>(width) - body.size(), ' ') + body;
}

}  // namespace

std::string edit_integer_field(std::int32_t value, int width, int min_digits) {
  // Magnitude in 64 bits: the most negative value has no 32-bit negation.
  std::uint64_t magnitude = value < 0
                                ? std::uint64_t{0} - static_cast<std::uint64_t>(std::int64_t{value})
                                : static_cast<std::uint64_t>(value);
  std::string digits;
  for (; magnitude != 0; magnitude /= 10)
    digits.insert(digits.begin(), static_cast<char>('0' + magnitude % 10));
  if (static_cast<int>(digits.size()) < min_digits) {
    digits.insert(0, static_cast<std::size_t>(min_digits) - digits.size(), '0');
  }
  return right_justified(value < 0 ? "-" + digits : digits, width);
}

DecimalDigits decimal_digits(float value) {
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(value);
  const std::uint32_t biased = (bits >> 23) & 0xFFu;
  const std::uint32_t fraction = bits & 0x007FFFFFu;
  if (biased == 0xFFu) return special_digits(bits);

  DecimalDigits record;
  if (biased == 0 && fraction == 0) {
    record.digits = "0";  // negative zero too: no sign
    return record;
  }
  record.sign = (bits >> 31) != 0 ? '-' : ' ';
  const std::uint32_t m = biased == 0 ? fraction : (fraction | 0x00800000u);
  const int e = (biased == 0 ? 1 : static_cast<int>(biased)) - 150;

  char expansion[128];
  const int length = e >= 0 ? to_decimal(shifted(m, e), expansion)
                            : to_decimal(times_power_of_five(m, -e), expansion);
  record.exponent = length - (e < 0 ? -e : 0);

  // The first 18 digits, truncated; the 18th rounds the 17th.
  char digits[18];
  for (int i = 0; i < 18; ++i) digits[i] = i < length ? expansion[i] : '0';
  if (digits[17] >= '5' && increment_digits(digits, 16)) {
    digits[0] = '1';
    ++record.exponent;
  }
  int kept = 17;
  while (kept > 1 && digits[kept - 1] == '0') --kept;
  record.digits.assign(digits, static_cast<std::size_t>(kept));
  return record;
}

bool round_digit_string(DecimalDigits& record, int n) {
  std::string& digits = record.digits;
  if (static_cast<int>(digits.size()) <= n) return false;
  const bool up = digits[static_cast<std::size_t>(n)] >= '5';
  digits.resize(static_cast<std::size_t>(n));
  if (up) {
    if (increment_digits(digits.data(), n - 1)) {
      digits.insert(digits.begin(), '1');
      ++record.exponent;
      return true;
    }
    return false;
  }
  if (record.sign == '-' && digits.find_first_not_of('0') == std::string::npos) record.sign = ' ';
  return false;
}

std::string edit_scientific_field(float value, int width, int fraction_digits, int exponent_digits,
                                  int scale) {
  DecimalDigits record = decimal_digits(value);
  if (!record.finite) {
    const std::string text = record.digits.substr(0, static_cast<std::size_t>(width));
    return text + std::string(static_cast<std::size_t>(width) - text.size(), '.');
  }
  // With k > 0, k digits precede the point and d - k + 1 follow it; with
  // k <= 0 the point comes first, then -k zeros and d + k digits.
  const int significant = scale > 0 ? fraction_digits + 1 : fraction_digits + scale;
  if (significant <= 0 || scale > fraction_digits + 1) {
    return std::string(static_cast<std::size_t>(width), '*');
  }
  const bool zero = record.digits == "0";
  round_digit_string(record, std::min(significant_digit_cap, significant));
  const int exponent = zero ? 0 : record.exponent - scale;
  if (!exponent_fits(exponent, exponent_digits))
    return std::string(static_cast<std::size_t>(width), '*');

  std::string mantissa = record.digits;
  mantissa.resize(static_cast<std::size_t>(significant), '0');
  std::string body;
  if (record.sign == '-') body += '-';
  if (scale > 0) {
    body.append(mantissa, 0, static_cast<std::size_t>(scale));
    body += '.';
    body.append(mantissa, static_cast<std::size_t>(scale), std::string::npos);
  } else {
    body += "0.";
    body.append(static_cast<std::size_t>(-scale), '0');
    body += mantissa;
  }
  append_exponent(body, exponent, exponent_digits);
  return right_justified(body, width);
}

}  // namespace tavelo::results
