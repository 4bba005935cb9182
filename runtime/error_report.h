// Numbered run-time error reports, each followed by the end of the run
// (end_after_report, runtime/startup.h). Start-up failures have reports of
// their own, followed by the quick end.
//
// How a failure travels to its report:
// - A platform call answers false (or, for a write, fewer bytes than
//   asked) and leaves the reason in platform::get_last_error(); see
//   platform/platform.h. The caller that owns the statement turns the reason
//   into a message index (open and write failures: below, one mapping for
//   the console and the results file) and calls report_run_time_error,
//   which never returns to it.
// - A value conversion returns the message index of its error, or kConverted
//   (console/value_conversion.h), so that the read raising it names its unit.
// - A trapped floating-point exception or a math error reaches
//   report_math_error through the hook start-up hands the arithmetic.
// - launch::system answers -1 with a tagged reason in the platform's last
//   error, as the C library's system() does; the program reads neither.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace tavelo::runtime {

// What the failing statement was doing; decides the report's label.
enum class StatementKind : std::int32_t {
  kCloseStatement = 1,
  kWriteStatement = 2,
  kOpenStatement = 6,
  kReadStatement = 7,
  kMathError = 15,
  kOutsideUnit = 16,
};
// The kinds read as plain names where a report is raised.
using enum StatementKind;

// Message indices raised by this program, named for readability.
namespace message {
inline constexpr std::int32_t kIntegerTooLarge = 4;       // 6100
inline constexpr std::int32_t kInvalidInteger = 5;        // 6101
inline constexpr std::int32_t kBeyondDouble = 6;          // 6102
inline constexpr std::int32_t kNotAReal = 7;              // 6103
inline constexpr std::int32_t kBeyondSingle = 8;          // 6104
inline constexpr std::int32_t kSecondBaseMark = 28;       // 6302
inline constexpr std::int32_t kBadBase = 29;              // 6303
inline constexpr std::int32_t kArrayAllocatedTwice = 42;  // 6316
inline constexpr std::int32_t kConsoleLineTooLong = 53;   // 6407
inline constexpr std::int32_t kInvalidFileName = 58;      // 6412
inline constexpr std::int32_t kOpenFailed = 59;           // 6413, with the system error
inline constexpr std::int32_t kOpenAccessDenied = 60;     // 6414
inline constexpr std::int32_t kFileExists = 61;           // 6415
inline constexpr std::int32_t kFileNotFound = 62;         // 6416
inline constexpr std::int32_t kNoFreeDescriptor = 63;     // 6417
inline constexpr std::int32_t kWriteAccessDenied = 67;    // 6421
inline constexpr std::int32_t kDiskFull = 68;             // 6422
inline constexpr std::int32_t kWriteFailed = 69;          // 6423, with the system error
inline constexpr std::int32_t kReadFailed = 72;           // 6500
inline constexpr std::int32_t kEndOfInput = 73;           // 6501
inline constexpr std::int32_t kZeroRepeatCount = 74;      // 6502
inline constexpr std::int32_t kSecondRepeatCount = 75;    // 6503
inline constexpr std::int32_t kQuotedNumber = 76;         // 6504
inline constexpr std::int32_t kUnknown = 90;              // 6601; index -2 means this
inline constexpr std::int32_t kNoMemoryForUnit = 92;      // 6700
inline constexpr std::int32_t kNoMemoryForArray = 187;    // 6772
}  // namespace message

// A failed CreateFileA: access denied, file exists, not found, no free
// descriptor, invalid name, or kOpenFailed (which shows the reason).
std::int32_t open_failure_message(std::uint32_t platform_error);
// A failed write or cut: disk full, access denied, or kWriteFailed (which
// shows the reason).
std::int32_t write_failure_message(std::uint32_t platform_error);

inline constexpr int kErrorTableSize = 220;
// Entry i is N: message index i prints the number 6000 + N.
extern const std::array<std::int16_t, kErrorTableSize> error_number_table;

// The longest name a report shows (OPEN copies at most this much).
inline constexpr std::size_t kNameCapacity = 259;

// The unit the statement beginning now works on ("CON", or a file's name):
// copied into the name buffer, which reports of unit statements show.
void set_current_unit_name(std::string_view name);
// OPEN's copy of its file name into the name buffer, trimmed of blanks, at
// most kNameCapacity characters.
void set_open_file_name(std::string_view name);
// The name buffer as it stands (what the next report would show).
std::string_view report_name();

// Reports a numbered error; `arguments` fill the %d of its wording in order.
// The run then ends (end_after_report): this never returns to its caller.
[[noreturn]] void report_run_time_error(std::int32_t index, StatementKind kind,
                                        std::initializer_list<long long> arguments = {});
// A trapped floating-point exception or a math error: its numbered M-report
// with a message of its own (the numbers are not message indices), then the
// end as above.
[[noreturn]] void report_math_error(int number, std::string_view message);

// The bytes of one report, in the order they are written, its message the
// wording with each %d filled from `arguments` (%% is one %) and cut at 999
// characters. Reports are made in a buffer of the process, never on the
// heap, so that they are written when memory has run out; the text lasts
// until the next report.
std::string_view compose_error_report(int number, StatementKind kind, std::string_view name,
                                      std::string_view wording,
                                      std::initializer_list<long long> arguments = {});

// Start-up failures: codes 8, 9, 24, 26, 27.
std::string_view compose_start_up_failure(int code);
[[noreturn]] void report_start_up_failure(int code);

}  // namespace tavelo::runtime
