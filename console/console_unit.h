// The console units, the prompt records and the owed line end.
#pragma once

#include <cstdint>

namespace tavelo::console {

inline constexpr std::int32_t kRecordSize = 132;

// The run-time's record for a console channel; its reports name it "CON".
struct ConsoleUnit {
  char buffer[kRecordSize] = {};
  std::int32_t position = 0;     // next byte to put or take
  std::int32_t last_index = -1;  // last valid byte of the input record held
  bool line_pending = false;     // an output record still owes its CR LF
  bool end_of_file = false;
};

// Shared when standard input and output are both character devices: one
// unit carries both directions. Otherwise split: an input and an output unit.
void console_setup();
ConsoleUnit& console_input_unit();

// Writes `length` bytes of `text` as one console record; its CR LF is owed.
void console_write_line(const char* text, std::int32_t length);
// Pays an owed line end before input is awaited.
void console_begin_read();
// Pays the line end still owed at process end.
void console_shutdown();

}  // namespace tavelo::console
