#include "runtime/power.h"

#include <cfloat>
#include <cmath>
#include <limits>

#include "platform/platform.h"

namespace tavelo::runtime {
namespace {

// The power function's private word: all masked, 64-bit significands.
constexpr std::uint16_t kPowerControlWord = 0x133F;
constexpr std::int32_t kPowerFunction = 36;

enum class OperandKind { Finite, Zero, NaN, Infinite };

OperandKind classify(Real value) {
  switch (std::fpclassify(value)) {
    case FP_NAN: return OperandKind::NaN;
    case FP_INFINITE: return OperandKind::Infinite;
    // An extended-precision denormal counts as zero.
    case FP_ZERO:
    case FP_SUBNORMAL: return OperandKind::Zero;
    default: return OperandKind::Finite;
  }
}

bool is_integer(Real y) { return std::nearbyint(y) == y; }
bool is_odd_integer(Real y) { return is_integer(y) && !is_integer(y / 2); }

constexpr Real kInfinity = HUGE_VALL;
constexpr Real kNaN = std::numeric_limits<Real>::quiet_NaN();

// 2^(y * log2|x|) for finite non-zero operands, negated for odd y.
Real power_by_logarithm(Real x, Real y, bool negate, MathErrorType& type) {
  const Real t = platform::fpu_y_log2_x(y, std::fabs(x));
  Real result;
  if (std::fabs(t) >= 32767.5L) {
    result = t > 0 ? kInfinity : 0.0L;
    if (t < 0) type = MathErrorType::Underflow;
  } else {
    const Real n = std::nearbyint(t);
    const Real f = t - n;
    Real p = (platform::fpu_exp2_minus_1(std::fabs(f))) + 1.0L;
    if (f < 0) p = 1.0L / p;
    result = platform::fpu_scale(p, n);
  }
  if (negate) result = -result;
  if (type == MathErrorType::None) {
    const double rounded = static_cast<double>(result);
    if (std::isinf(rounded)) {
      type = MathErrorType::Overflow;
    } else if (std::fabs(rounded) < DBL_MIN) {
      type = MathErrorType::Underflow;
    }
  }
  return result;
}

// The result of pow(x, y) for every kind of operand, with its error class.
Real power_table(Real x, Real y, MathErrorType& type) {
  const OperandKind kx = classify(x);
  const OperandKind ky = classify(y);
  // A NaN here is always quiet: loading a value quiets a signalling one.
  if (kx == OperandKind::NaN || ky == OperandKind::NaN) {
    type = MathErrorType::QuietNaN;
    return kNaN;
  }
  if (ky == OperandKind::Zero) return 1.0L;
  if (ky == OperandKind::Infinite) {
    const Real magnitude = kx == OperandKind::Zero ? 0.0L : std::fabs(x);
    if (magnitude == 1.0L) {
      type = MathErrorType::Domain;
      return kNaN;
    }
    return (magnitude > 1.0L) == (y > 0) ? kInfinity : 0.0L;
  }
  // From here y is finite and non-zero; whether it is odd is asked only
  // where a sign depends on it.
  if (kx == OperandKind::Infinite) {
    const bool negative = x < 0 && is_odd_integer(y);
    const Real magnitude = y > 0 ? kInfinity : 0.0L;
    return negative ? -magnitude : magnitude;
  }
  if (kx == OperandKind::Zero) {
    const bool negative = std::signbit(x) && is_odd_integer(y);
    if (y > 0) return negative ? -0.0L : 0.0L;
    type = MathErrorType::Sing;
    return negative ? -kInfinity : kInfinity;
  }
  if (x < 0 && !is_integer(y)) {
    type = MathErrorType::Domain;
    return kNaN;
  }
  return power_by_logarithm(x, y, x < 0 && is_odd_integer(y), type);
}

Real pow_extended(Real x, Real y) {
  const std::uint16_t caller_word = platform::fpu_control_word();
  platform::fpu_set_control_word(kPowerControlWord);
  MathErrorType type = MathErrorType::None;
  const Real result = power_table(x, y, type);
  platform::fpu_set_control_word(caller_word);
  if (type == MathErrorType::None) return result;

  // Domain, Sing and Overflow are trapped in the caller's control word: the
  // exception is raised and, this being a math function, comes back here.
  switch (type) {
    case MathErrorType::Domain: raise_float_exception(fp::kInvalid); break;
    case MathErrorType::Sing: raise_float_exception(fp::kDivideByZero); break;
    case MathErrorType::Overflow: raise_float_exception(fp::kOverflow); break;
    case MathErrorType::QuietNaN: type = MathErrorType::Domain; break;
    default: break;  // underflow is masked: the record keeps the rounded result
  }
  MathErrorRecord record{type, static_cast<double>(result)};
  // Handled: the computation goes on with the record's result.
  math_error_hook(record);
  return record.result;
}

}  // namespace

Real real_power(Real base, Real exponent) {
  // Checks raise at the operation itself, so nothing is pending here.
  current_math_function = kPowerFunction;
  const Real result = pow_extended(base, exponent);
  current_math_function = 0;
  return result;
}

}  // namespace tavelo::runtime
