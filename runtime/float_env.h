// The floating-point environment of the correlation.
//
// Values in the arithmetic unit are the x87's extended format; the unit
// rounds every operation once to a double significand (the precision field
// at 53 bits) while keeping the extended exponent range, and values are
// rounded to single precision only when stored. Every exception stays
// masked in the unit: the checks at the operations that can raise one stand
// in for its traps and hand a trapped exception to the handler, which makes
// its numbered M-report.
#pragma once

#include <cstdint>

#include "runtime/arithmetic_unit.h"
#include "runtime/extended_real.h"

namespace tavelo::runtime {

using Real = Extended;

// A stored single or an integer as the unit holds it: exactly.
inline Real real_from_single(float value) { return extended_from_single(value); }
inline Real real_from_integer(std::int64_t value) { return extended_from_integer(value); }

// The sub-code that comes with a trapped exception: its report is
// "floating-point error: " + word, numbered 6100 + (sub_code - 0x80).
struct FloatExceptionCode {
  int sub_code;
  std::uint16_t mask_bit;  // the condition's exception mask in the control word
  const char* word;
};

namespace fp {
inline constexpr FloatExceptionCode kInvalid{0x81, 0x01, "invalid"};
inline constexpr FloatExceptionCode kDivideByZero{0x83, 0x04, "divide by zero"};
inline constexpr FloatExceptionCode kOverflow{0x84, 0x08, "overflow"};
// Masked under the program's control word, or never caused by correct code
// (square root and the register-stack faults raise the invalid condition);
// kept so that every sub-code of the unit has its report.
inline constexpr FloatExceptionCode kDenormal{0x82, 0x02, "denormal"};
inline constexpr FloatExceptionCode kUnderflow{0x85, 0x10, "underflow"};
inline constexpr FloatExceptionCode kInexact{0x86, 0x20, "inexact"};
inline constexpr FloatExceptionCode kSquareRoot{0x88, 0x01, "square root"};
inline constexpr FloatExceptionCode kStackOverflow{0x8A, 0x01, "stack overflow"};
inline constexpr FloatExceptionCode kStackUnderflow{0x8B, 0x01, "stack underflow"};
}  // namespace fp

// The math library's error classes; report number 6200 + class.
enum class MathErrorType : int {
  None = 0,
  Domain = 1,
  Sing = 2,
  Overflow = 3,
  Underflow = 4,
  TLoss = 5,
  PLoss = 6,
  // Inside the library only: a quiet NaN operand, which becomes Domain
  // without raising an exception.
  QuietNaN = 7,
};

struct MathErrorRecord {
  MathErrorType type;
  double result;  // what the function returns when the class passes silently
};

// Library step (precision to 53 bits, flags cleared), then run-time step
// (exception masks and handler). Start-up calls them in that order.
void float_library_setup();
void float_runtime_setup();

// Raises the exception of `code` as a continuable one: when the condition is
// trapped, the handler reports it, unless a math function is running, in
// which case it returns and the function reports through math_error_hook.
void raise_float_exception(const FloatExceptionCode& code);
// The handled flag: true for the classes that pass silently (underflow and
// partial loss); every other class is reported and the hook never returns.
bool math_error_hook(MathErrorRecord& record);
// Non-zero while a math function runs (36: the power function).
extern std::int32_t current_math_function;

// The trapped operations of the correlation.
Real checked_divide(Real dividend, Real divisor);
Real checked_multiply(Real a, Real b);
// Rounds to single precision as a store does; overflow is trapped.
float store_single(Real value);

}  // namespace tavelo::runtime
