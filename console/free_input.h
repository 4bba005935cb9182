// Free-form reading of one value per console line.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "console/console_unit.h"
#include "console/value_conversion.h"

namespace tavelo::console {

void console_read_real(float& value);
void console_read_integer(std::int32_t& value);

// ---- The steps of a read, for the program and its tests ----------------

// What a console read depends on beyond its unit: the bytes of standard
// input, whether that is a character device, and the report that ends the
// run when the input is unusable.
class InputPort {
 public:
  virtual ~InputPort() = default;
  // At most `count` bytes: the count read, 0 at end of input, -1 on failure.
  virtual std::int32_t read(char* buffer, std::uint32_t count) = 0;
  virtual bool is_device() = 0;
  [[noreturn]] virtual void raise(std::int32_t message_index) = 0;
};

// One read in progress on a unit.
struct ConsoleReader {
  ConsoleUnit& unit;
  InputPort& port;
  bool repeat_pending = false;
  bool line_consumed = false;
};

struct ValueToken {
  enum class Terminator { Blank, Comma, Slash };
  enum class Form { Plain, Quoted, Parenthesised };
  // One character more than a value may hold marks a text that is too long.
  std::array<char, kMaxValueText + 1> text{};
  std::int32_t length = 0;  // 0: a null value
  Terminator terminator = Terminator::Blank;
  Form form = Form::Plain;
  std::string_view view() const { return {text.data(), static_cast<std::size_t>(length)}; }
};

// Fetches the next input record into the unit's buffer.
void read_console_record(ConsoleReader& reader);
// Takes the next input byte, fetching a record when none is left.
char take_byte(ConsoleReader& reader);
// Discards the rest of the current line.
void end_read(ConsoleReader& reader);
// Scans for one value among blanks, commas, slashes and line ends.
ValueToken next_value_token(ConsoleReader& reader);
// The whole of a read after its start: scan, check, convert, store, end.
void read_real_value(ConsoleReader& reader, float& value);
void read_integer_value(ConsoleReader& reader, std::int32_t& value);

}  // namespace tavelo::console
