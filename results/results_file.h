// Unit 3: the results file, its records and its 1024-byte block buffer.
#pragma once

#include <cstdint>

namespace tavelo::results {

// Connects unit 3 to the named file, creating it or opening the existing
// one (which is cut when the first record statement starts).
void open_results_file(const char* name, std::int32_t length);
// The header's record statement: "Elemento i - C(i) - m(i) - Re(i) - Nu(i)".
void write_header_record();
// A row's record statement, in the layout (I5,4(1P,E15.6)).
void write_row_record(std::int32_t i, float c, float m, float re, float nu);
// Writes what the buffer holds, closes the handle and keeps the file; a
// failing close is reported like a failing block write (CLOSE).
void close_results_file();

}  // namespace tavelo::results
