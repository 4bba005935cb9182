#include "arithmetic/power.h"

#include <cmath>

namespace tavelo::arithmetic {
namespace {

// The power function's private word: all masked, 64-bit significands.
constexpr std::uint16_t kPowerControlWord = 0x133F;
constexpr std::int32_t kPowerFunction = 36;

enum class OperandKind { Finite, Zero, NaN, Infinite };

OperandKind classify(Extended value) {
  if (is_nan(value)) return OperandKind::NaN;
  if (is_infinite(value)) return OperandKind::Infinite;
  // An extended-precision denormal counts as zero.
  if (biased_exponent(value) == 0) return OperandKind::Zero;
  return OperandKind::Finite;
}

constexpr Extended kInfinity = kExtendedInfinity;
constexpr Extended kZero{};
constexpr Extended kNaN = kIndefinite;
// |t| at which 2^t leaves the unit's range whatever its fraction: 32767.5.
constexpr Extended kExponentLimit{0xFFFF000000000000u, kExtendedBias + 14};

bool beyond_exponent_limit(Extended t) {
  const Extended m = magnitude(t);
  return m.sign_exponent != kExponentLimit.sign_exponent
             ? m.sign_exponent > kExponentLimit.sign_exponent
             : m.significand >= kExponentLimit.significand;
}

Extended with_sign(Extended value, bool negative) { return negative ? negate(value) : value; }

// 2^(y * log2|x|) for finite non-zero operands, negated for odd y: the
// unit's own steps, each rounded to 64 bits as the unit rounds it.
Extended power_by_logarithm(const ArithmeticUnit& unit, Extended x, Extended y, bool negate_result,
                            MathErrorType& type) {
  const Extended t = unit.y_log2_x(y, magnitude(x));
  Extended result;
  if (beyond_exponent_limit(t)) {
    result = sign_bit(t) ? kZero : kInfinity;
    if (sign_bit(t)) type = MathErrorType::Underflow;
  } else {
    result = unit.power_of_two(t);
  }
  result = with_sign(result, negate_result);
  // Exponents well inside the double range need no rounding to see that.
  const int exponent = biased_exponent(result) - kExtendedBias;
  if (type == MathErrorType::None && (exponent < -1022 || exponent > 1022)) {
    const double rounded = double_from_extended(result);
    if (std::isinf(rounded)) {
      type = MathErrorType::Overflow;
    } else if (std::fabs(rounded) < 0x1p-1022) {
      type = MathErrorType::Underflow;
    }
  }
  return result;
}

// The result of pow(x, y) for every kind of operand, with its error class.
Extended power_table(const ArithmeticUnit& unit, Extended x, Extended y, MathErrorType& type) {
  const OperandKind kx = classify(x);
  const OperandKind ky = classify(y);
  // A NaN here is always quiet: loading a value quiets a signalling one.
  if (kx == OperandKind::NaN || ky == OperandKind::NaN) {
    type = MathErrorType::QuietNaN;
    return kNaN;
  }
  if (ky == OperandKind::Zero) return kExtendedOne;
  const bool y_positive = !sign_bit(y);
  if (ky == OperandKind::Infinite) {
    const int against_one = kx == OperandKind::Zero ? -1 : compare(magnitude(x), kExtendedOne);
    if (against_one == 0) {
      type = MathErrorType::Domain;
      return kNaN;
    }
    return (against_one > 0) == y_positive ? kInfinity : kZero;
  }
  // From here y is finite and non-zero; whether it is odd is asked only
  // where a sign depends on it.
  if (kx == OperandKind::Infinite) {
    const bool negative = sign_bit(x) && is_odd_integer(y);
    return with_sign(y_positive ? kInfinity : kZero, negative);
  }
  if (kx == OperandKind::Zero) {
    const bool negative = sign_bit(x) && is_odd_integer(y);
    if (y_positive) return with_sign(kZero, negative);
    type = MathErrorType::Sing;
    return with_sign(kInfinity, negative);
  }
  if (sign_bit(x) && !is_integer(y)) {
    type = MathErrorType::Domain;
    return kNaN;
  }
  return power_by_logarithm(unit, x, y, sign_bit(x) && is_odd_integer(y), type);
}

Extended pow_extended(Extended x, Extended y) {
  MathErrorType type = MathErrorType::None;
  const Extended result = power_of(arithmetic_unit(), x, y, type);
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
  MathErrorRecord record{type, double_from_extended(result)};
  // Handled: the computation goes on with the record's result.
  math_error_hook(record);
  return extended_from_double(record.result);
}

}  // namespace

Extended power_of(const ArithmeticUnit& unit, Extended x, Extended y, MathErrorType& type) {
  const std::uint16_t caller_word = unit.control_word();
  unit.set_control_word(kPowerControlWord);
  const Extended result = power_table(unit, x, y, type);
  unit.set_control_word(caller_word);
  return result;
}

Extended real_power(Extended base, Extended exponent) {
  // Checks raise at the operation itself, so nothing is pending here.
  current_math_function = kPowerFunction;
  const Extended result = pow_extended(base, exponent);
  current_math_function = 0;
  return result;
}

}  // namespace tavelo::arithmetic
