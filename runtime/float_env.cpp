#include "runtime/float_env.h"

#include <cmath>
#include <string>

#include "platform/platform.h"
#include "runtime/error_report.h"

namespace tavelo::runtime {

std::int32_t current_math_function = 0;

namespace {

// x87 control words: precision field (bits 8-9), exception masks (bits 0-5).
constexpr std::uint16_t kPrecisionMask = 0x0300;
constexpr std::uint16_t kPrecision53 = 0x0200;
constexpr std::uint16_t kExceptionMasks = 0x003F;
// The masks the program runs under: invalid, zero-divide and overflow
// trapped once the run-time step has run.
std::uint16_t trapped_masks = kExceptionMasks;

constexpr const char* kMathErrorWords[] = {"",          "DOMAIN", "SING", "OVERFLOW",
                                           "UNDERFLOW", "TLOSS",  "PLOSS"};

[[noreturn]] void report_math_error(const FloatExceptionCode& code) {
  write_error_report(6100 + (code.sub_code - 0x80),
                     std::string("floating-point error: ") + code.word, kMathError);
}

// The power function is the only math function; "**" is its display name.
[[noreturn]] void report_math_error(MathErrorType type) {
  const int type_number = static_cast<int>(type);
  write_error_report(6200 + type_number,
                     std::string("**") + ": " + kMathErrorWords[type_number] + " error",
                     kMathError);
}

void fp_exception_handler(const FloatExceptionCode& code) {
  if (current_math_function != 0) return;  // the math function reports it
  report_math_error(code);
}

}  // namespace

void float_library_setup() {
  const std::uint16_t word = platform::fpu_control_word();
  platform::fpu_set_control_word(
      static_cast<std::uint16_t>((word & ~kPrecisionMask) | kPrecision53));
}

void float_runtime_setup() {
  // 0xF2: denormal, underflow and precision masked; invalid, zero-divide
  // and overflow trapped (by the checks of this file).
  trapped_masks = 0xF2 & kExceptionMasks;
  current_math_function = 0;
}

void raise_float_exception(const FloatExceptionCode& code) {
  if ((trapped_masks & code.mask_bit) == 0) fp_exception_handler(code);
}

bool math_error_hook(MathErrorRecord& record) {
  if (record.type == MathErrorType::Underflow || record.type == MathErrorType::PLoss) return true;
  report_math_error(record.type);
}

Real checked_divide(Real dividend, Real divisor) {
  const bool both_infinite = std::isinf(dividend) && std::isinf(divisor);
  if (divisor == 0 || both_infinite) {
    const bool invalid = dividend == 0 || std::isnan(dividend) || both_infinite;
    raise_float_exception(invalid ? fp::kInvalid : fp::kDivideByZero);
  }
  return dividend / divisor;
}

Real checked_multiply(Real a, Real b) {
  if ((a == 0 && std::isinf(b)) || (b == 0 && std::isinf(a))) raise_float_exception(fp::kInvalid);
  const Real product = a * b;
  if (std::isinf(product) && !std::isinf(a) && !std::isinf(b)) raise_float_exception(fp::kOverflow);
  return product;
}

float store_single(Real value) {
  const float stored = static_cast<float>(value);
  if (std::isinf(stored) && !std::isinf(value)) raise_float_exception(fp::kOverflow);
  return stored;
}

}  // namespace tavelo::runtime
