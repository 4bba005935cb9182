// The floating-point environment of the correlation.
//
// Values in the arithmetic unit are the x87's extended format; the unit
// rounds every operation once to a double significand (the precision field
// at 53 bits) while keeping the extended exponent range, and values are
// rounded to single precision only when stored. Every exception stays
// masked in the unit: the checks at the operations that can raise one stand
// in for its traps and hand a trapped exception to the handler, whose
// numbered M-report the run-time writes through the hook that start-up
// installs (this layer sees nothing above it).
#pragma once

#include <cstdint>
#include <string_view>

#include "arithmetic/arithmetic_unit.h"
#include "arithmetic/extended_real.h"

namespace tavelo::arithmetic {

// The sub-code that comes with a trapped exception, numbered 6100 +
// (sub_code - 0x80) in its report. The program's control word traps these
// three and masks the others (denormal, underflow, inexact).
struct FloatExceptionCode {
  int sub_code;
  const char* message;
};

namespace fp {
inline constexpr FloatExceptionCode kInvalid{0x81, "floating-point error: invalid"};
inline constexpr FloatExceptionCode kDivideByZero{0x83, "floating-point error: divide by zero"};
inline constexpr FloatExceptionCode kOverflow{0x84, "floating-point error: overflow"};
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

// Writes a numbered M-report and ends the run; it never returns.
using MathReport = void (*)(int number, std::string_view message);

// Library step (precision to 53 bits), then run-time step (the traps and
// the handler's report). Start-up calls them in that order.
void float_library_setup();
void float_runtime_setup(MathReport report);

// Raises the exception of `code` as a continuable one: once the traps are
// set, the handler reports it, unless a math function is running, in which
// case it returns and the function reports through math_error_hook.
void raise_float_exception(const FloatExceptionCode& code);
// The handled flag: true for the classes that pass silently (underflow and
// partial loss); every other class is reported and the hook never returns.
bool math_error_hook(MathErrorRecord& record);
// Non-zero while a math function runs (36: the power function).
extern std::int32_t current_math_function;

// The trapped operations of the correlation.
Extended checked_divide(Extended dividend, Extended divisor);
Extended checked_multiply(Extended a, Extended b);
// Rounds to single precision as a store does; overflow is trapped.
float store_single(Extended value);

}  // namespace tavelo::arithmetic
