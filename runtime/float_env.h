// The floating-point environment of the correlation.
//
// Arithmetic runs in long double with the x87 precision control at 53 bits,
// so every operation rounds once to a double significand while keeping the
// extended exponent range; values are rounded to single precision only when
// stored. Exceptions are trapped by explicit checks at the operations that
// can raise them, each ending in its numbered M-report.
#pragma once

#include <cstdint>

namespace tavelo::runtime {

using Real = long double;

// Floating-point exception sub-codes and math-library error classes.
namespace fp {
inline constexpr int kInvalid = 0x81;
inline constexpr int kDenormal = 0x82;
inline constexpr int kDivideByZero = 0x83;
inline constexpr int kOverflow = 0x84;
inline constexpr int kUnderflow = 0x85;
inline constexpr int kInexact = 0x86;
inline constexpr int kSquareRoot = 0x88;
inline constexpr int kStackOverflow = 0x8A;
inline constexpr int kStackUnderflow = 0x8B;
}  // namespace fp

enum class MathErrorType : int {
  None = 0,
  Domain = 1,
  Sing = 2,
  Overflow = 3,
  Underflow = 4,
  TLoss = 5,
  PLoss = 6
};

struct MathErrorRecord {
  MathErrorType type;
  double result;  // what the function returns when the class passes silently
};

// Library step (precision to 53 bits, flags cleared), then run-time step
// (exception masks and handler). Start-up calls them in that order.
void float_library_setup();
void float_runtime_setup();

// The numbered report of a trapped exception, or a return when a math
// function is running (the function reports through its own hook).
void fp_exception_handler(int sub_code);
// Returns true when the class is handled silently; otherwise reports.
bool math_error_hook(MathErrorRecord& record);
[[noreturn]] void report_math_error();
// Non-zero while the power function runs: its errors are its own to report.
extern std::int32_t current_math_function;

// The trapped operations of the correlation.
Real checked_divide(Real dividend, Real divisor);
Real checked_multiply(Real a, Real b);
// Rounds to single precision as a store does; overflow is trapped.
float store_single(Real value);

// Texts of the reports, for the tests.
const char* fp_exception_word(int sub_code);
int fp_exception_number(int sub_code);

}  // namespace tavelo::runtime
