#include "console/free_input.h"

#include "runtime/characters.h"
#include "runtime/error_report.h"
#include "runtime/lowio.h"

namespace tavelo::console {
namespace {

namespace message = runtime::message;
using runtime::is_blank;
using runtime::kCtrlZ;

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

void append(ValueToken& token, char c) {
  // Past the limit only the fact that the text is too long is kept.
  if (token.length < static_cast<std::int32_t>(token.text.size())) {
    token.text[static_cast<std::size_t>(token.length++)] = c;
  }
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

// Standard input, with errors reported as READ(CON).
InputPort& standard_input_port() {
  static StandardInputPort port;
  return port;
}

}  // namespace

// A file or a pipe hands over whatever the writer has sent so far, which
// may end inside a line. Such a record is not ended there: the scan reads on
// only when it needs the next byte, so a value stays whole however the
// writer's bytes arrive, and a pipe reads as a file of the same bytes does.
// When the input ends inside a line, or a read after part of a line fails,
// that line ends there; only a read that starts a line reports a failure.
void read_console_record(ConsoleReader& reader) {
  ConsoleUnit& unit = reader.unit;
  const bool device = reader.port.is_device();
  const bool inside_line = !device && unit.last_index >= 0 && unit.buffer[unit.last_index] != '\n';
  std::int32_t n = reader.port.read(unit.buffer, kRecordSize);
  if (n <= 0 && inside_line) {
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
  unit.position = 0;
  unit.last_index = n - 1;
  // A short console record ends as a line.
  if (device && n < kRecordSize && unit.buffer[n - 1] != '\n')
    unit.buffer[++unit.last_index] = '\n';
  if (n == kRecordSize && unit.buffer[kRecordSize - 1] != '\n' && device) {
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

}  // namespace tavelo::console
