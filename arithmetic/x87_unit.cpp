// The x87 unit's own arithmetic, which the original program's results come
// from, each operation done by the unit itself under the control word in
// force. Values cross in the unit's 80-bit format: the first ten bytes of a
// long double on x86. The build compiles this file for x86 targets only.
#include "arithmetic/x87_unit.h"

#include <cstring>

namespace tavelo::arithmetic {
namespace {

static_assert(sizeof(long double) >= 10, "long double is the x87 format on x86");

long double load(Extended value) {
  long double loaded = 0;
  std::memcpy(&loaded, &value.significand, 8);
  std::memcpy(reinterpret_cast<char*>(&loaded) + 8, &value.sign_exponent, 2);
  return loaded;
}

Extended stored(long double value) {
  Extended result;
  std::memcpy(&result.significand, &value, 8);
  std::memcpy(&result.sign_exponent, reinterpret_cast<const char*>(&value) + 8, 2);
  return result;
}

// fnstcw / fldcw.
std::uint16_t control_word() {
  std::uint16_t word = 0;
  __asm__ volatile("fnstcw %0" : "=m"(word));
  return word;
}

void set_control_word(std::uint16_t word) { __asm__ volatile("fldcw %0" : : "m"(word)); }

// fadd, fmul, fdiv, rounded as the precision field says. volatile: the
// compiler does not know the precision control, so it must
// neither fold nor move these operations.
Extended add(Extended a, Extended b) {
  volatile long double sum = load(a) + load(b);
  return stored(sum);
}

Extended multiply(Extended a, Extended b) {
  volatile long double product = load(a) * load(b);
  return stored(product);
}

Extended divide(Extended dividend, Extended divisor) {
  volatile long double quotient = load(dividend) / load(divisor);
  return stored(quotient);
}

// fyl2x: y * log2(x); f2xm1: 2^f - 1 for |f| <= 1; both to 64 bits.
Extended y_log2_x(Extended y, Extended x) {
  long double result;
  __asm__ volatile("fyl2x" : "=t"(result) : "0"(load(x)), "u"(load(y)) : "st(1)");
  return stored(result);
}

Extended exp2_minus_1(Extended f) {
  long double result;
  __asm__ volatile("f2xm1" : "=t"(result) : "0"(load(f)));
  return stored(result);
}

// 2^t for |t| < 32767.5: frndint, fsub, f2xm1 of |f|, fld1 + fadd, fdiv
// when f < 0, fscale, in one call so that the power costs little more
// than the unit's own instructions.
Extended power_of_two(Extended t) {
  const long double x = load(t);
  long double n;
  __asm__ volatile("frndint" : "=t"(n) : "0"(x));
  const volatile long double f = x - n;
  const long double fraction = f;
  long double p;
  __asm__ volatile("f2xm1" : "=t"(p) : "0"(fraction < 0 ? -fraction : fraction));
  volatile long double whole = p + 1.0L;
  if (fraction < 0) whole = 1.0L / whole;
  long double result;
  __asm__ volatile("fscale" : "=t"(result) : "0"(whole), "u"(n));
  return stored(result);
}

// fstp to a single: rounded to nearest, infinite past the single range.
float store_single(Extended value) {
  volatile float single = static_cast<float>(load(value));
  return single;
}

}  // namespace

const ArithmeticUnit kX87Unit{
    control_word, set_control_word, add,          multiply,     divide,
    y_log2_x,     exp2_minus_1,     power_of_two, store_single,
};

}  // namespace tavelo::arithmetic
