#include "console/console_unit.h"

#include <algorithm>
#include <cstring>

#include "platform/platform.h"
#include "runtime/error_report.h"
#include "runtime/lowio.h"

namespace tavelo::console {
namespace {

constexpr int kStandardOutput = 1;
// Free-form output lines hold at most this many text characters.
constexpr std::int32_t kLineWidth = 79;
constexpr char kLineEnd[2] = {'\r', '\n'};

// In the shared configuration only the first unit is used.
ConsoleUnit first_unit;
ConsoleUnit second_unit;
bool shared = false;
bool set_up = false;

ConsoleUnit& select_for_output() {
  ConsoleUnit& unit = shared ? first_unit : second_unit;
  if (shared) unit.position = 0;
  return unit;
}

// Writes the bytes unchanged; returns the count actually written.
std::int32_t write_console_bytes(int descriptor, const char* bytes, std::int32_t count) {
  return runtime::low_write(descriptor, bytes, static_cast<std::uint32_t>(count));
}

// Not checked, as in the original run-time: a device that refuses shows at
// the next text write.
void pay_line_end() { write_console_bytes(kStandardOutput, kLineEnd, sizeof kLineEnd); }

// A short text write is final only when the device is full or refuses us;
// anything else lets the run go on as if the bytes had gone out.
void check_text_write(std::int32_t written, std::int32_t wanted) {
  if (written >= wanted) return;
  const std::int32_t index = runtime::write_failure_message(platform::get_last_error());
  if (index == runtime::message::kWriteFailed) return;
  runtime::set_current_unit_name("CON");
  runtime::report_run_time_error(index, runtime::kWriteStatement);
}

// One record: a blank carriage-control byte, then the text. The blank starts
// a new line, so a line end still owed is paid first; the record's own line
// end is left owed.
void write_record(ConsoleUnit& unit, const char* text, std::int32_t length) {
  unit.buffer[0] = ' ';
  std::memcpy(unit.buffer + 1, text, static_cast<std::size_t>(length));
  unit.position = 1 + length;
  if (unit.line_pending) pay_line_end();
  check_text_write(write_console_bytes(kStandardOutput, unit.buffer + 1, length), length);
  unit.line_pending = true;
  unit.position = 0;
}

}  // namespace

void console_setup() {
  using runtime::StreamClass;
  shared = runtime::descriptor_class(0) == StreamClass::Device &&
           runtime::descriptor_class(1) == StreamClass::Device;
  first_unit = ConsoleUnit{};
  second_unit = ConsoleUnit{};
  set_up = true;
}

ConsoleUnit& console_input_unit() { return first_unit; }

void console_write_line(const char* text, std::int32_t length) {
  ConsoleUnit& unit = select_for_output();
  // A text wider than a line goes out as several records.
  do {
    const std::int32_t part = std::min(length, kLineWidth);
    write_record(unit, text, part);
    text += part;
    length -= part;
  } while (length > 0);
}

void console_begin_read() {
  ConsoleUnit& unit = console_input_unit();
  if (unit.line_pending) {
    // The user's typing starts on a fresh line; the debt stays recorded
    // until the read has taken its line.
    pay_line_end();
    unit.last_index = -1;
  }
}

void console_shutdown() {
  if (!set_up) return;
  ConsoleUnit& unit = select_for_output();
  if (unit.line_pending) pay_line_end();
}

}  // namespace tavelo::console
