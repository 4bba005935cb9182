// The console units, the prompt records and the owed line end.
#pragma once

#include <cstdint>

namespace tavelo::console {

inline constexpr std::int32_t kRecordSize = 132;
// Free-form output lines hold at most this many text characters.
inline constexpr std::int32_t kLineWidth = 79;
inline constexpr char kLineEnd[2] = {'\r', '\n'};

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
ConsoleUnit& console_output_unit();

// Writes `length` bytes of `text` as one console record; its CR LF is owed.
void console_write_line(const char* text, std::int32_t length);
// Pays an owed line end before input is awaited.
void console_begin_read();
// Pays the line end still owed at process end.
void console_shutdown();
// Writes the bytes unchanged; returns the count actually written.
std::int32_t write_console_bytes(int descriptor, const char* bytes, std::int32_t count);

}  // namespace tavelo::console
