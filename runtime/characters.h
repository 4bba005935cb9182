// Characters that the command line, the console reader and the value
// conversions read alike.
#pragma once

namespace tavelo::runtime {

// A blank between words or values: space or tab.
constexpr bool is_blank(char c) { return c == ' ' || c == '\t'; }

// Ctrl+Z: where console input ends a record's data.
inline constexpr char kCtrlZ = 0x1A;

}  // namespace tavelo::runtime
