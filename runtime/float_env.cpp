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
// trapped. The hardware keeps every exception masked; the checks below
// stand in for its traps, so a trap never arrives as a signal.
std::uint16_t trapped_masks = kExceptionMasks;

bool trapped(int sub_code) {
  const int bit = sub_code == fp::kInvalid ? 0x01 : sub_code == fp::kDivideByZero ? 0x04 : 0x08;
  return (trapped_masks & bit) == 0;
}

// The class or sub-code of the report being made.
int current_error = 0;

struct SubCode {
  int code;
  const char* word;
  int number;
};

constexpr SubCode kSubCodes[] = {
    {fp::kInvalid, "invalid", 6101},
    {fp::kDenormal, "denormal", 6102},
    {fp::kDivideByZero, "divide by zero", 6103},
    {fp::kOverflow, "overflow", 6104},
    {fp::kUnderflow, "underflow", 6105},
    {fp::kInexact, "inexact", 6106},
    {fp::kSquareRoot, "square root", 6108},
    {fp::kStackOverflow, "stack overflow", 6110},
    {fp::kStackUnderflow, "stack underflow", 6111},
};

constexpr const char* kMathErrorWords[] = {"",          "DOMAIN", "SING", "OVERFLOW",
                                           "UNDERFLOW", "TLOSS",  "PLOSS"};

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

void fp_exception_handler(int sub_code) {
  if (current_math_function != 0) return;  // the math function reports it
  current_error = sub_code;
  report_math_error();
}

bool math_error_hook(MathErrorRecord& record) {
  if (record.type == MathErrorType::Underflow || record.type == MathErrorType::PLoss) return true;
  current_error = static_cast<int>(record.type);
  report_math_error();
}

void report_math_error() {
  std::string message;
  int number = 0;
  if (current_error < 0x80) {
    message = std::string("**") + ": " + kMathErrorWords[current_error] + " error";
    number = 6200 + current_error;
  } else {
    message = std::string("floating-point error: ") + fp_exception_word(current_error);
    number = fp_exception_number(current_error);
  }
  write_error_report(number, message, kMathError);
  throw TerminationRecovery{};
}

const char* fp_exception_word(int sub_code) {
  for (const SubCode& entry : kSubCodes) {
    if (entry.code == sub_code) return entry.word;
  }
  return "unknown";
}

int fp_exception_number(int sub_code) {
  for (const SubCode& entry : kSubCodes) {
    if (entry.code == sub_code) return entry.number;
  }
  return 6100;
}

Real checked_divide(Real dividend, Real divisor) {
  const bool both_infinite = std::isinf(dividend) && std::isinf(divisor);
  if (divisor == 0 || both_infinite) {
    const bool invalid = dividend == 0 || std::isnan(dividend) || both_infinite;
    const int sub_code = invalid ? fp::kInvalid : fp::kDivideByZero;
    if (trapped(sub_code)) fp_exception_handler(sub_code);
  }
  return dividend / divisor;
}

Real checked_multiply(Real a, Real b) {
  if ((a == 0 && std::isinf(b)) || (b == 0 && std::isinf(a))) {
    if (trapped(fp::kInvalid)) fp_exception_handler(fp::kInvalid);
  }
  const Real product = a * b;
  if (std::isinf(product) && !std::isinf(a) && !std::isinf(b) && trapped(fp::kOverflow)) {
    fp_exception_handler(fp::kOverflow);
  }
  return product;
}

float store_single(Real value) {
  const float stored = static_cast<float>(value);
  if (std::isinf(stored) && !std::isinf(value) && trapped(fp::kOverflow)) {
    fp_exception_handler(fp::kOverflow);
  }
  return stored;
}

}  // namespace tavelo::runtime
