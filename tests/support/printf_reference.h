// The scientific field (1P,E15.6) of a single built by another route than the
// program's: the C library's printf digits of the value, then plain string
// rounding (18 digits truncated, rounded at the 17th, then half away from zero
// at the 7th).
//
// Linux/glibc-specific: it relies on printf printing the exact decimal
// expansion of a double (a float widens to one exactly), which glibc does and
// many C libraries do not. The mingw-w64 stdio that libstdc++ selects on
// Windows is exact as well, which keeps the correlation reference test, the one
// portable user, passing under wine; nothing else is promised there.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace tavelo::testing {

// Adds one at digits[last], carrying left; true when every digit up to it was
// a nine (they are all zeros now).
inline bool carry_into(std::string& digits, std::size_t last) {
  for (std::size_t i = last + 1; i-- > 0;) {
    if (digits[i] != '9') {
      ++digits[i];
      return false;
    }
    digits[i] = '0';
  }
  return true;
}

// The significant digits of `magnitude` (at least 31 of them, exact in the
// first 18) and the decimal exponent of the first one.
inline void exact_digits(double magnitude, std::string& digits, int& exponent) {
  char text[160];
  // 31 digits are printed correctly rounded; they only disagree with the
  // truncated first 18 when digits 19 to 31 were all nines and rounded up,
  // which leaves them all zeros. Then all 121 digits are asked for (exact:
  // a float has at most 112 significant digits). The short form first keeps
  // sweeps over all 2^32 patterns affordable.
  std::snprintf(text, sizeof text, "%.30e", magnitude);
  std::string mantissa = std::string(1, text[0]) + std::string(text + 2, 30);
  if (mantissa.find_first_not_of('0', 18) == std::string::npos) {
    std::snprintf(text, sizeof text, "%.120e", magnitude);
    mantissa = std::string(1, text[0]) + std::string(text + 2, 120);
  }
  digits = mantissa;
  exponent = std::atoi(std::strchr(text, 'e') + 1);
}

// The (1P,E15.6) field of a finite `value`; both zeros give the unsigned zero.
inline std::string reference_scientific_field(float value) {
  if (value == 0.0f) return "   0.000000E+00";
  std::string digits;
  int exponent = 0;  // of the first digit: d.ddd x 10^exponent
  exact_digits(std::fabs(static_cast<double>(value)), digits, exponent);
  // 18 truncated digits, the 18th rounding the 17th.
  std::string seventeen = digits.substr(0, 17);
  if (digits[17] >= '5' && carry_into(seventeen, 16)) {
    seventeen = "1" + std::string(16, '0');
    ++exponent;
  }
  // Half away from zero at the 7th, judged on the 8th of those 17.
  std::string seven = seventeen.substr(0, 7);
  if (seventeen[7] >= '5' && carry_into(seven, 6)) {
    seven = "1000000";
    ++exponent;
  }
  char tail[16];
  std::snprintf(tail, sizeof tail, "E%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
  return std::string(value < 0.0f ? "  -" : "   ") + seven[0] + "." + seven.substr(1) + tail;
}

}  // namespace tavelo::testing
