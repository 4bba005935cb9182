#include "arithmetic/float_env.h"

#include <cmath>
#include <exception>

namespace tavelo::arithmetic {

std::int32_t current_math_function = 0;

namespace {

// The x87 control word's precision field (bits 8-9).
constexpr std::uint16_t kPrecisionMask = 0x0300;
constexpr std::uint16_t kPrecision53 = 0x0200;

// Null for the program's own unit.
const ArithmeticUnit* active_unit = nullptr;

// The handler's report, from the run-time step on; until then every
// exception is masked.
MathReport math_report = nullptr;

[[noreturn]] void report(int number, std::string_view message) {
  math_report(number, message);
  std::terminate();  // a report ends the run: never reached
}

// The power function is the only math function; "**" is its display name.
constexpr const char* kMathErrorMessages[] = {"",
                                              "**: DOMAIN error",
                                              "**: SING error",
                                              "**: OVERFLOW error",
                                              "**: UNDERFLOW error",
                                              "**: TLOSS error",
                                              "**: PLOSS error"};

void fp_exception_handler(const FloatExceptionCode& code) {
  if (current_math_function != 0) return;  // the math function reports it
  report(6100 + (code.sub_code - 0x80), code.message);
}

}  // namespace

const ArithmeticUnit& arithmetic_unit() {
  return active_unit != nullptr ? *active_unit : kProgramUnit;
}

const ArithmeticUnit& use_arithmetic_unit(const ArithmeticUnit& unit) {
  const ArithmeticUnit& before = arithmetic_unit();
  active_unit = &unit;
  return before;
}

void float_library_setup() {
  const ArithmeticUnit& unit = arithmetic_unit();
  const std::uint16_t word = unit.control_word();
  unit.set_control_word(static_cast<std::uint16_t>((word & ~kPrecisionMask) | kPrecision53));
}

void float_runtime_setup(MathReport reporter) {
  math_report = reporter;
  current_math_function = 0;
}

void raise_float_exception(const FloatExceptionCode& code) {
  if (math_report != nullptr) fp_exception_handler(code);
}

bool math_error_hook(MathErrorRecord& record) {
  if (record.type == MathErrorType::Underflow || record.type == MathErrorType::PLoss) return true;
  const int type = static_cast<int>(record.type);
  report(6200 + type, kMathErrorMessages[type]);
}

Extended checked_divide(Extended dividend, Extended divisor) {
  const bool both_infinite = is_infinite(dividend) && is_infinite(divisor);
  if (is_zero(divisor) || both_infinite) {
    const bool invalid = is_zero(dividend) || is_nan(dividend) || both_infinite;
    raise_float_exception(invalid ? fp::kInvalid : fp::kDivideByZero);
  }
  return arithmetic_unit().divide(dividend, divisor);
}

Extended checked_multiply(Extended a, Extended b) {
  if ((is_zero(a) && is_infinite(b)) || (is_zero(b) && is_infinite(a))) {
    raise_float_exception(fp::kInvalid);
  }
  const Extended product = arithmetic_unit().multiply(a, b);
  if (is_infinite(product) && !is_infinite(a) && !is_infinite(b))
    raise_float_exception(fp::kOverflow);
  return product;
}

float store_single(Extended value) {
  const float stored = arithmetic_unit().store_single(value);
  if (std::isinf(stored) && !is_infinite(value)) raise_float_exception(fp::kOverflow);
  return stored;
}

}  // namespace tavelo::arithmetic
