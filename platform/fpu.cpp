// The x87 unit, for the arithmetic that must round like the original
// program's: the precision control, fyl2x, f2xm1 and fscale. Both targets
// (x86-64 Linux and i686 Windows) have it; elsewhere the library stands in.
#include <cmath>

#include "platform/platform.h"

namespace tavelo::platform {

#if defined(__i386__) || defined(__x86_64__)

std::uint16_t fpu_control_word() {
  std::uint16_t word = 0;
  __asm__ volatile("fnstcw %0" : "=m"(word));
  return word;
}

void fpu_set_control_word(std::uint16_t word) { __asm__ volatile("fldcw %0" : : "m"(word)); }

long double fpu_y_log2_x(long double y, long double x) {
  long double result;
  __asm__("fyl2x" : "=t"(result) : "0"(x), "u"(y) : "st(1)");
  return result;
}

long double fpu_exp2_minus_1(long double f) {
  long double result;
  __asm__("f2xm1" : "=t"(result) : "0"(f));
  return result;
}

long double fpu_scale(long double x, long double n) {
  long double result;
  __asm__("fscale" : "=t"(result) : "0"(x), "u"(n));
  return result;
}

#else

// No x87: long double is whatever the compiler offers, and the results may
// differ from an x87 machine's in the last bit of rare values.
std::uint16_t fpu_control_word() { return 0x027F; }
void fpu_set_control_word(std::uint16_t) {}
long double fpu_y_log2_x(long double y, long double x) { return y * std::log2(x); }
long double fpu_exp2_minus_1(long double f) {
  return std::expm1(f * 0.693147180559945309417232121458176568L);
}
long double fpu_scale(long double x, long double n) { return std::scalbn(x, static_cast<int>(n)); }

#endif

}  // namespace tavelo::platform
