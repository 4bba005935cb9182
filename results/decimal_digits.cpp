#include "results/decimal_digits.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "platform/bit_cast.h"

namespace tavelo::results {
namespace {

// ---- Exact decimal expansion -------------------------------------------
//
// A finite float is m * 2^e with m < 2^24 and -149 <= e <= 104. Its integer
// part (m << e, below 2^128, or m >> -e) is cut into base-10^9 chunks by
// division; its fraction, held as a fixed-point number whose point sits at a
// limb boundary, gives the next nine digits each time it is multiplied by
// 10^9 (the carry out of the top limb). Only the first 18 significant digits
// are ever formed; the host's printf is never asked, because C libraries
// disagree on how they print.

constexpr int kMaxLimbs = 6;
constexpr std::uint32_t kChunk = 1000000000;  // 10^9, the base of a digit chunk
constexpr int kFormed = 18;                   // digits formed: the 18th rounds the 17th

struct BigInteger {
  std::uint32_t limb[kMaxLimbs] = {};  // least significant first
  int size = 0;                        // limbs in use
};

// Divides in place; returns the remainder.
std::uint32_t divide_small(BigInteger& n, std::uint32_t divisor) {
  std::uint64_t remainder = 0;
  for (int i = n.size; i-- > 0;) {
    const std::uint64_t part = (remainder << 32) | n.limb[i];
    n.limb[i] = static_cast<std::uint32_t>(part / divisor);
    remainder = part % divisor;
  }
  while (n.size > 0 && n.limb[n.size - 1] == 0) --n.size;
  return static_cast<std::uint32_t>(remainder);
}

// Multiplies the first `size` limbs in place; returns the carry out of them.
std::uint32_t multiply_small(BigInteger& n, std::uint32_t factor) {
  std::uint64_t carry = 0;
  for (int i = 0; i < n.size; ++i) {
    const std::uint64_t product = std::uint64_t{n.limb[i]} * factor + carry;
    n.limb[i] = static_cast<std::uint32_t>(product);
    carry = product >> 32;
  }
  return static_cast<std::uint32_t>(carry);
}

BigInteger shifted(std::uint32_t m, int shift) {
  BigInteger n;
  const int word = shift / 32;
  const std::uint64_t wide = std::uint64_t{m} << (shift % 32);
  n.limb[word] = static_cast<std::uint32_t>(wide);
  n.limb[word + 1] = static_cast<std::uint32_t>(wide >> 32);
  n.size = word + 2;
  return n;
}

bool is_zero(const BigInteger& n) {
  for (int i = 0; i < n.size; ++i) {
    if (n.limb[i] != 0) return false;
  }
  return true;
}

// The leading significant digits of an expansion as they are formed.
struct Leading {
  char digits[kFormed + 9];  // a whole chunk may pass the 18th digit
  int count = 0;
  std::int32_t exponent = 0;  // X
  bool full() const { return count >= kFormed; }
};

// Appends the `width` digits of a chunk; zeros before the first significant
// digit are skipped, and their number returned.
int take_chunk(Leading& out, std::uint32_t chunk, int width) {
  if (out.count > 0) {
    out.count += width;
    put_digits_before(out.digits + out.count, chunk, width);
    return 0;
  }
  char group[9];
  put_digits_before(group + width, chunk, width);
  int first = 0;
  while (first < width && group[first] == '0') ++first;
  std::memcpy(out.digits, group + first, static_cast<std::size_t>(width - first));
  out.count = width - first;
  return first;
}

int digit_count(std::uint32_t chunk) {
  int count = 1;
  for (; chunk >= 10; chunk /= 10) ++count;
  return count;
}

// The digits of a non-zero integer part.
void take_integer(Leading& out, BigInteger n) {
  std::uint32_t chunks[kMaxLimbs + 1];
  int count = 0;
  while (n.size > 2 && n.limb[n.size - 1] == 0) --n.size;
  while (n.size > 2) chunks[count++] = divide_small(n, kChunk);
  // Below 2^64 plain 64-bit division does.
  std::uint64_t rest = (std::uint64_t{n.limb[1]} << 32) | n.limb[0];
  for (; rest != 0; rest /= kChunk) chunks[count++] = static_cast<std::uint32_t>(rest % kChunk);
  const int top = digit_count(chunks[count - 1]);
  out.exponent = top + 9 * (count - 1);
  take_chunk(out, chunks[count - 1], top);
  for (int i = count - 1; i-- > 0 && !out.full();) take_chunk(out, chunks[i], 9);
}

// The digits of the fraction part / 2^bits, after those of the integer part.
void take_fraction(Leading& out, std::uint32_t part, int bits) {
  const int limbs = (bits + 31) / 32;
  BigInteger fraction = shifted(part, 32 * limbs - bits);
  fraction.size = limbs;
  while (!out.full() && !is_zero(fraction)) {
    out.exponent -= take_chunk(out, multiply_small(fraction, kChunk), 9);
  }
}

void set_text(DecimalDigits& record, std::string_view text) {
  std::memcpy(record.digits.data(), text.data(), text.size());
  record.count = static_cast<std::int32_t>(text.size());
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
    set_text(record, "1#INF");
  } else if (bits == 0xFFC00000u) {
    set_text(record, "1#IND");
  } else {
    set_text(record, "1#QNAN");
  }
  return record;
}

// The first 18 digits of m * 2^e by the big-integer expansion, truncated;
// the 18th rounds the 17th. A shorter expansion ends in zeros, which round
// nothing.
void exact_leading(std::uint32_t m, int e, DecimalDigits& record) {
  Leading lead;
  if (e >= 0) {
    take_integer(lead, shifted(m, e));
  } else {
    const int bits_below = -e;
    const std::uint32_t whole = bits_below < 24 ? m >> bits_below : 0;
    if (whole != 0) take_integer(lead, shifted(whole, 0));
    take_fraction(lead, bits_below < 24 ? m & ((1u << bits_below) - 1) : m, bits_below);
  }
  char* digits = lead.digits;
  record.exponent = lead.exponent;
  if (lead.full() && digits[kFormed - 1] >= '5' && increment_digits(digits, kFormed - 2)) {
    digits[0] = '1';
    ++record.exponent;
  }
  int kept = std::min(lead.count, kFormed - 1);
  while (kept > 1 && digits[kept - 1] == '0') --kept;
  set_text(record, std::string_view(digits, static_cast<std::size_t>(kept)));
}

// ---- Leading digits by one wide multiply -------------------------------
//
// The first 18 digits of m * 2^e are floor(m * 2^e * 10^q) for the q that
// brings the value into [10^17, 10^18). 10^q is held as a 128-bit P, with
// 2^127 <= P < 2^128 and P = 10^q * 2^shift: exactly for 0 <= q <= 55
// (5^q < 2^128), truncated otherwise, short by less than one part in 2^127.
// The product m * P (at most 152 bits) is exact, so a truncated P leaves
// the computed value below the true one by less than 2^-67: its integer
// part can be one short only when the 64 fraction bits below it are all
// ones, and then the big-integer expansion answers instead.

constexpr int kLowestPower = -21;  // brings the largest float, 3.4E+38, to 18 digits
constexpr int kHighestPower = 62;  // brings the smallest denormal, 1.4E-45, to 18 digits

struct PowerOfTen {
  std::uint32_t limb[4];  // P, least significant first
  int shift;
  bool exact;
};

// 256 bits, least significant limb first; only the table is built with it.
struct Wide {
  std::uint32_t limb[8] = {};
};

constexpr bool bit_of(const Wide& n, int i) {
  return i >= 0 && i < 256 && ((n.limb[i / 32] >> (i % 32)) & 1u) != 0;
}

constexpr void times_ten(Wide& n) {
  std::uint64_t carry = 0;
  for (std::uint32_t& limb : n.limb) {
    const std::uint64_t product = std::uint64_t{limb} * 10 + carry;
    limb = static_cast<std::uint32_t>(product);
    carry = product >> 32;
  }
}

// Divides by ten; true when a remainder was dropped.
constexpr bool divide_by_ten(Wide& n) {
  std::uint64_t remainder = 0;
  for (int i = 8; i-- > 0;) {
    const std::uint64_t part = (remainder << 32) | n.limb[i];
    n.limb[i] = static_cast<std::uint32_t>(part / 10);
    remainder = part % 10;
  }
  return remainder != 0;
}

// The top 128 bits of n * 2^-scale = 10^q, as P and its shift.
constexpr PowerOfTen top_bits(const Wide& n, int scale, bool exact) {
  int length = 256;
  while (!bit_of(n, length - 1)) --length;
  const int drop = length - 128;
  PowerOfTen power{{}, scale - drop, exact};
  for (int i = 0; i < drop; ++i) {
    if (bit_of(n, i)) power.exact = false;
  }
  for (int i = 0; i < 128; ++i) {
    if (bit_of(n, i + drop)) power.limb[i / 32] |= 1u << (i % 32);
  }
  return power;
}

constexpr PowerOfTen power_of_ten(int q) {
  Wide n;
  if (q >= 0) {
    n.limb[0] = 1;
    for (int i = 0; i < q; ++i) times_ten(n);
    return top_bits(n, 0, true);
  }
  // 2^255 / 10^-q keeps more than 128 bits for every q in the tables.
  n.limb[7] = 1u << 31;
  bool exact = true;
  for (int i = 0; i < -q; ++i) {
    if (divide_by_ten(n)) exact = false;
  }
  return top_bits(n, 255, exact);
}

constexpr auto kPowersOfTenTable = [] {
  std::array<PowerOfTen, kHighestPower - kLowestPower + 1> table{};
  for (int q = kLowestPower; q <= kHighestPower; ++q) {
    table[static_cast<std::size_t>(q - kLowestPower)] = power_of_ten(q);
  }
  return table;
}();

constexpr std::uint64_t kTenTo17 = 100000000000000000u;
constexpr std::uint64_t kTenTo18 = 1000000000000000000u;

// 64 bits of the 160-bit product from bit `from` up.
std::uint64_t window(const std::uint32_t (&product)[5], int from) {
  const int limb = from / 32;
  const int bit = from % 32;
  const std::uint64_t low = (std::uint64_t{product[limb + 1]} << 32) | product[limb];
  if (bit == 0) return low;
  const std::uint64_t high = limb + 2 < 5 ? product[limb + 2] : 0;
  return (low >> bit) | (high << (64 - bit));
}

// The first 18 digits and X of m * 2^e (m != 0); false when only the
// big-integer expansion can tell them.
bool fast_leading(std::uint32_t m, int e, std::uint64_t& leading, std::int32_t& exponent) {
  // 2^b <= value < 2^(b+1), so 10^(X-1) <= value < 10^(X+1).
  const int b = e + 31 - std::countl_zero(m);
  exponent = floor_log10_of_power_of_two(b) + 1;
  const PowerOfTen& power =
      kPowersOfTenTable[static_cast<std::size_t>(18 - exponent - kLowestPower)];
  std::uint32_t product[5];
  std::uint64_t carry = 0;
  for (int i = 0; i < 4; ++i) {
    const std::uint64_t part = std::uint64_t{power.limb[i]} * m + carry;
    product[i] = static_cast<std::uint32_t>(part);
    carry = part >> 32;
  }
  product[4] = static_cast<std::uint32_t>(carry);
  // The point sits 64 to 95 bits up, between the fraction and the digits.
  const int point = power.shift - e;
  if (!power.exact && window(product, point - 64) == ~std::uint64_t{0}) return false;
  leading = window(product, point);
  if (leading >= kTenTo18) {
    leading /= 10;  // floor(floor(y) / 10) is floor(y / 10)
    ++exponent;
  }
  return true;
}

// 18 digits truncated: the 18th rounds the 17th, trailing zeros go.
void put_leading(std::uint64_t leading, DecimalDigits& record) {
  std::uint64_t kept = leading / 10;
  if (leading % 10 >= 5 && ++kept == kTenTo17) {
    kept /= 10;
    ++record.exponent;
  }
  char* digits = record.digits.data();
  const auto high = static_cast<std::uint32_t>(kept / 100000000);
  const auto low = static_cast<std::uint32_t>(kept % 100000000);
  put_digits_before(digits + 9, high, 9);
  int count = 9;
  if (low != 0) {
    put_digits_before(digits + 17, low, 8);
    count = 17;
  }
  while (count > 1 && digits[count - 1] == '0') --count;
  record.count = count;
}

// A float taken apart; a finite non-zero value is m * 2^e with m != 0.
struct FloatParts {
  std::uint32_t bits;
  std::uint32_t m;
  int e;
  bool special;  // an infinity or a NaN
  bool zero;
  bool negative() const { return (bits >> 31) != 0; }
};

FloatParts parts_of(float value) {
  const std::uint32_t bits = platform::bit_cast<std::uint32_t>(value);
  const std::uint32_t biased = (bits >> 23) & 0xFFu;
  const std::uint32_t fraction = bits & 0x007FFFFFu;
  return {bits, biased == 0 ? fraction : (fraction | 0x00800000u),
          (biased == 0 ? 1 : static_cast<int>(biased)) - 150, biased == 0xFFu,
          biased == 0 && fraction == 0};
}

enum class Method { Fast, Exact };

DecimalDigits digits_of(float value, Method method) {
  const FloatParts parts = parts_of(value);
  if (parts.special) return special_digits(parts.bits);
  DecimalDigits record;
  if (parts.zero) {
    set_text(record, "0");  // negative zero too: no sign
    return record;
  }
  record.sign = parts.negative() ? '-' : ' ';
  std::uint64_t leading = 0;
  if (method == Method::Fast && fast_leading(parts.m, parts.e, leading, record.exponent)) {
    put_leading(leading, record);
  } else {
    exact_leading(parts.m, parts.e, record);
  }
  return record;
}

}  // namespace

// Writes the last `count` digits of `value` before `end`.
void put_digits_before(char* end, std::uint32_t value, int count) {
  for (; count >= 2; count -= 2, value /= 100) {
    end -= 2;
    std::memcpy(end, &digit_pairs[std::size_t{2} * (value % 100)], 2);
  }
  if (count == 1) end[-1] = static_cast<char>('0' + value % 10);
}

DecimalDigits decimal_digits(float value) { return digits_of(value, Method::Fast); }

DecimalDigits exact_decimal_digits(float value) { return digits_of(value, Method::Exact); }

bool round_digit_string(DecimalDigits& record, int n) {
  if (record.count <= n) return false;
  char* digits = record.digits.data();
  const bool up = digits[n] >= '5';
  record.count = n;
  if (up) {
    if (increment_digits(digits, n - 1)) {
      // Every digit is now a zero: "1" and n zeros.
      digits[0] = '1';
      digits[n] = '0';
      record.count = n + 1;
      ++record.exponent;
      return true;
    }
    return false;
  }
  if (record.sign == '-' && std::all_of(digits, digits + n, [](char c) { return c == '0'; }))
    record.sign = ' ';
  return false;
}

// 10^q for the exponents of capped_digits, from the same 128-bit powers.
constexpr std::array<ShortPower, kShortPowerCount> short_powers = [] {
  std::array<ShortPower, kShortPowerCount> table{};
  for (std::size_t i = 0; i != table.size(); ++i) {
    const PowerOfTen power = power_of_ten(kShortLowestPower + static_cast<int>(i));
    table[i] = {(std::uint64_t{power.limb[3]} << 32) | power.limb[2], power.shift - 64};
  }
  return table;
}();

}  // namespace tavelo::results
