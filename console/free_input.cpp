#include "console/free_input.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "runtime/error_report.h"
#include "runtime/lowio.h"

namespace tavelo::console {
namespace {

namespace message = runtime::message;

constexpr char kCtrlZ = 0x1A;

class StandardInputPort final : public InputPort {
 public:
  std::int32_t read(char* buffer, std::uint32_t count) override {
    return runtime::low_read(0, buffer, count);
  }
  bool is_device() override { return runtime::descriptor_class(0) == runtime::StreamClass::Device; }
  [[noreturn]] void raise(std::int32_t message_index) override {
    runtime::set_current_unit_name("CON");
    runtime::report_run_time_error(message_index, runtime::kReadStatement);
  }
};

bool is_line_end(char c) { return c == '\r' || c == '\n'; }
bool is_blank(char c) { return c == ' ' || c == '\t'; }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

void append(ValueToken& token, char c) {
  // Past the limit only the fact that the text is too long is kept.
  if (token.length < static_cast<std::int32_t>(token.text.size())) token.text[token.length++] = c;
}

void put_back(ConsoleReader& reader) { --reader.unit.position; }

// A star: the text so far is how many times the value repeats. A read wants
// one value, so only the fact that a count was given matters.
void take_repeat_count(ConsoleReader& reader, ValueToken& token) {
  if (reader.repeat_pending) reader.port.raise(message::kSecondRepeatCount);
  std::int32_t count = 0;
  if (token.length > 0) {
    const std::int32_t error = convert_integer_token(token.view(), count);
    if (error != kConverted) reader.port.raise(error);
  }
  if (count == 0) reader.port.raise(message::kZeroRepeatCount);
  reader.repeat_pending = true;
  token.length = 0;
}

// The rest of a value begun with a quote, up to the matching quote; a
// doubled quote stands for one. Line ends inside are dropped.
void take_quoted(ConsoleReader& reader, ValueToken& token, char quote) {
  for (;;) {
    const char c = take_byte(reader);
    if (c == quote) {
      if (take_byte(reader) != quote) {
        put_back(reader);
        return;
      }
      append(token, quote);
    } else if (!is_line_end(c)) {
      append(token, c);
    }
  }
}

std::int32_t digit_value(char c) {
  if (is_digit(c)) return c - '0';
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  return std::numeric_limits<std::int32_t>::max();
}

// The digits after "#"; `base` is what came before it, 0 meaning 16.
std::int32_t convert_based(std::string_view digits, std::uint32_t base, std::uint32_t& magnitude) {
  if (base == 0) base = 16;
  if (base < 2 || base > 36) return message::kBadBase;
  const std::uint64_t limit = base == 10 ? 2147483647u : 4294967295u;
  std::uint64_t accumulated = 0;
  for (const char c : digits) {
    if (c == kCtrlZ) break;
    if (c == '#') return message::kSecondBaseMark;
    const std::int32_t digit = digit_value(c);
    if (digit >= static_cast<std::int32_t>(base)) return message::kInvalidInteger;
    accumulated = accumulated * base + static_cast<std::uint64_t>(digit);
    if (accumulated > limit) return message::kIntegerTooLarge;
  }
  magnitude = static_cast<std::uint32_t>(accumulated);
  return kConverted;
}

// ---- Real numbers -------------------------------------------------------

constexpr int kSignificantDigits = 24;
// Beyond these powers of ten a double is infinite or zero whatever the digits.
constexpr long kLargestExponent = 400;
constexpr long kWrittenExponentLimit = 5200;
constexpr double kSingleLimit = 3.402823466385289e38;

// A decimal number as its significant digits (no leading zeros) and the
// power of ten of the last one.
struct Decimal {
  char digits[kSignificantDigits + 1] = {};
  int count = 0;           // digits held, at most 24 once rounded
  int seen = 0;            // significant digits in the text
  char digit_after = '0';  // the 25th significant digit
  long scale = 0;
  bool negative = false;
};

void add_digit(Decimal& number, char c, bool after_point) {
  if (after_point) --number.scale;
  if (number.seen == 0 && c == '0') return;
  ++number.seen;
  if (number.count < kSignificantDigits) {
    number.digits[number.count++] = c;
  } else {
    if (number.seen == kSignificantDigits + 1) number.digit_after = c;
    ++number.scale;
  }
}

// At most 24 digits enter the value: the 25th rounds the 24th half up.
void round_to_significant(Decimal& number) {
  if (number.seen <= kSignificantDigits || number.digit_after < '5') return;
  int i = number.count - 1;
  while (i >= 0 && number.digits[i] == '9') number.digits[i--] = '0';
  if (i >= 0) {
    ++number.digits[i];
  } else {
    number.digits[0] = '1';
    number.count = 1;
    number.scale += kSignificantDigits;
  }
}

// Optional sign, digits with an optional point, at least one digit.
bool parse_mantissa(std::string_view text, std::size_t& i, Decimal& number) {
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) number.negative = text[i++] == '-';
  bool any_digit = false;
  bool after_point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (is_digit(c)) {
      add_digit(number, c, after_point);
      any_digit = true;
    } else if (c == '.' && !after_point) {
      after_point = true;
    } else {
      break;
    }
  }
  return any_digit;
}

// E, e, D or d with an optional sign, or a bare sign; then digits. The
// value saturates: anything that large is out of range anyway.
bool parse_exponent(std::string_view text, std::size_t& i, long& exponent) {
  exponent = 0;
  if (i == text.size()) return true;
  const char mark = text[i];
  if (mark == 'E' || mark == 'e' || mark == 'D' || mark == 'd')
    ++i;
  else if (mark != '+' && mark != '-')
    return false;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  const std::size_t first = i;
  for (; i < text.size() && is_digit(text[i]); ++i) {
    if (exponent < 1000000) exponent = exponent * 10 + (text[i] - '0');
  }
  if (negative) exponent = -exponent;
  return i > first && i == text.size();
}

// A file or a pipe hands over whatever the writer has sent so far, which
// may end inside a line; reading on until a line end, the end of input or a
// full record keeps a value whole whenever the writer flushes. A writer of
// whole lines is never waited for beyond its line end.
std::int32_t complete_line(ConsoleReader& reader, std::int32_t n) {
  char* const buffer = reader.unit.buffer;
  while (n < kRecordSize && buffer[n - 1] != '\n') {
    const std::int32_t more =
        reader.port.read(buffer + n, static_cast<std::uint32_t>(kRecordSize - n));
    if (more < 0) reader.port.raise(message::kReadFailed);
    if (more == 0) break;
    n += more;
  }
  return n;
}

}  // namespace

InputPort& standard_input_port() {
  static StandardInputPort port;
  return port;
}

void read_console_record(ConsoleReader& reader) {
  ConsoleUnit& unit = reader.unit;
  const bool device = reader.port.is_device();
  // Only a full record from a file or a pipe can stop inside a line.
  const bool inside_line = !device && unit.last_index >= 0 && unit.buffer[unit.last_index] != '\n';
  std::int32_t n = reader.port.read(unit.buffer, kRecordSize);
  if (n == 0 && inside_line) {
    // The input ends without a line end: the last line still counts.
    unit.buffer[0] = '\n';
    unit.position = 0;
    unit.last_index = 0;
    return;
  }
  if (n == 0) {
    unit.end_of_file = true;
    reader.port.raise(message::kEndOfInput);
  }
  if (n < 0) reader.port.raise(message::kReadFailed);
  if (!device) n = complete_line(reader, n);
  unit.position = 0;
  unit.last_index = n - 1;
  // A short record ends as a line: on a console always, from a file or a
  // pipe only at the end of input.
  if (n < kRecordSize && unit.buffer[n - 1] != '\n') unit.buffer[++unit.last_index] = '\n';
  if (n == kRecordSize && unit.buffer[kRecordSize - 1] != '\n' && reader.port.is_device()) {
    reader.port.raise(message::kConsoleLineTooLong);
  }
  if (n > 2 && unit.buffer[n - 3] == kCtrlZ) {
    unit.end_of_file = true;
    reader.port.raise(message::kEndOfInput);
  }
}

char take_byte(ConsoleReader& reader) {
  ConsoleUnit& unit = reader.unit;
  if (unit.position > unit.last_index) read_console_record(reader);
  return unit.buffer[unit.position++];
}

void end_read(ConsoleReader& reader) {
  ConsoleUnit& unit = reader.unit;
  if (reader.port.is_device()) {
    // A console hands out whole lines: the next read starts a new one.
    unit.position = 0;
    unit.last_index = -1;
  } else {
    while (take_byte(reader) != '\n') {
    }
  }
  unit.line_pending = false;
}

ValueToken next_value_token(ConsoleReader& reader) {
  using Form = ValueToken::Form;
  using Terminator = ValueToken::Terminator;
  ValueToken token;
  for (;;) {
    const char c = take_byte(reader);
    const bool blank_ends_value =
        token.form != Form::Parenthesised && (token.length > 0 || reader.repeat_pending);
    if (is_line_end(c)) {
      put_back(reader);
      end_read(reader);
      // The read may not discard another line once this one is gone.
      if (blank_ends_value) {
        reader.line_consumed = true;
        return token;
      }
    } else if (is_blank(c)) {
      if (blank_ends_value) return token;
    } else if (token.form == Form::Parenthesised && c == ')') {
      return token;
    } else if (token.length == 0 && c == '(') {
      // While the value is empty, "(" and a quote begin their forms anew,
      // inside parentheses too: "(()" and "('')" are null values.
      token.form = Form::Parenthesised;
    } else if (token.length == 0 && (c == '\'' || c == '"')) {
      token.form = Form::Quoted;
      take_quoted(reader, token, c);
      return token;
    } else if (c == '*') {
      take_repeat_count(reader, token);
    } else if (c == ',' && token.form != Form::Parenthesised) {
      token.terminator = Terminator::Comma;
      return token;
    } else if (c == '/') {
      token.terminator = Terminator::Slash;
      return token;
    } else {
      append(token, c);
    }
  }
}

namespace {

// A quoted or parenthesised value cannot be a number; a null value leaves
// the variable as it was.
template <typename Value, typename Convert>
void read_value(ConsoleReader& reader, Value& value, Convert convert) {
  reader.repeat_pending = false;
  reader.line_consumed = false;
  const ValueToken token = next_value_token(reader);
  if (token.length > 0) {
    if (token.form != ValueToken::Form::Plain) reader.port.raise(message::kQuotedNumber);
    Value converted{};
    const std::int32_t error = convert(token.view(), converted);
    if (error != kConverted) reader.port.raise(error);
    value = converted;
  }
  if (!reader.line_consumed) end_read(reader);
}

}  // namespace

void read_real_value(ConsoleReader& reader, float& value) {
  read_value(reader, value, convert_real_token);
}

void read_integer_value(ConsoleReader& reader, std::int32_t& value) {
  read_value(reader, value, convert_integer_token);
}

void console_read_real(float& value) {
  console_begin_read();
  ConsoleReader reader{console_input_unit(), standard_input_port()};
  read_real_value(reader, value);
}

void console_read_integer(std::int32_t& value) {
  console_begin_read();
  ConsoleReader reader{console_input_unit(), standard_input_port()};
  read_integer_value(reader, value);
}

void console_end_read() {
  ConsoleReader reader{console_input_unit(), standard_input_port()};
  end_read(reader);
}

std::int32_t convert_integer_token(std::string_view text, std::int32_t& value) {
  if (text.size() > kMaxValueText) return message::kInvalidInteger;
  if (text == "-2147483648") {
    value = std::numeric_limits<std::int32_t>::min();
    return kConverted;
  }
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::uint32_t magnitude = 0;
  for (; i < text.size() && text[i] != kCtrlZ; ++i) {
    const char c = text[i];
    if (c == '#') {
      const std::uint32_t base = magnitude;
      const std::int32_t error = convert_based(text.substr(i + 1), base, magnitude);
      if (error != kConverted) return error;
      break;
    }
    if (!is_digit(c)) return message::kInvalidInteger;
    const auto digit = static_cast<std::uint32_t>(c - '0');
    if (magnitude > (2147483647u - digit) / 10) return message::kIntegerTooLarge;
    magnitude = magnitude * 10 + digit;
  }
  // A based value above the signed range is kept as its 32-bit pattern.
  value = static_cast<std::int32_t>(negative ? 0u - magnitude : magnitude);
  return kConverted;
}

std::int32_t real_text_to_double(std::string_view text, double& value) {
  if (text.size() > kMaxValueText) return message::kNotAReal;
  Decimal number;
  std::size_t i = 0;
  long exponent = 0;
  if (!parse_mantissa(text, i, number) || !parse_exponent(text, i, exponent)) {
    return message::kNotAReal;
  }
  if (exponent > kWrittenExponentLimit) return message::kBeyondDouble;
  round_to_significant(number);
  const double zero = number.negative ? -0.0 : 0.0;
  if (number.count == 0) {
    value = zero;
    return kConverted;
  }
  const long scale = number.scale + exponent;
  const long magnitude = scale + number.count - 1;  // power of ten of the first digit
  if (magnitude > kLargestExponent) return message::kBeyondDouble;
  if (magnitude < -kLargestExponent) {
    value = zero;
    return kConverted;
  }
  // The digits and an explicit exponent, converted with correct rounding.
  char normalised[kSignificantDigits + 16];
  const int length =
      std::snprintf(normalised, sizeof normalised, "%.*se%ld", number.count, number.digits, scale);
  double converted = 0.0;
  const auto result = std::from_chars(normalised, normalised + length, converted);
  if (result.ec == std::errc::result_out_of_range) {
    // Reported alike for both ends of the range: the magnitude tells them apart.
    if (magnitude > 0) return message::kBeyondDouble;
    converted = 0.0;
  }
  value = number.negative ? -converted : converted;
  return kConverted;
}

std::int32_t convert_real_token(std::string_view text, float& value) {
  double d = 0.0;
  const std::int32_t error = real_text_to_double(text, d);
  if (error != kConverted) return error;
  // Checked before rounding: values that would round down to the largest
  // single are still out of range.
  if (d < -kSingleLimit || d > kSingleLimit) return message::kBeyondSingle;
  value = static_cast<float>(d);
  return kConverted;
}

}  // namespace tavelo::console
