// Numbered reports: their layout, their writing on standard error and what
// follows them (the end of the process, or the return to the closing step).
#include "runtime/error_report.h"

#include <cstring>

#include "runtime/lowio.h"
#include "runtime/messages.h"
#include "runtime/startup.h"

namespace tavelo::runtime {
namespace {

bool shutting_down = false;
bool reported = false;

// Kinds below 11 are statements on a unit: their reports show its name.
constexpr bool names_unit(StatementKind kind) { return static_cast<std::int32_t>(kind) < 11; }

// The longest report: line end, banner, letter and number, the longest
// label, the name and its closing, the longest message, line end.
constexpr std::size_t kReportCapacity = 2 + 15 + 5 + 12 + kNameCapacity + 5 + 999 + 2;
char report_buffer[kReportCapacity];

// A report that cannot be written has nowhere else to go: the exit code
// still tells.
void write_piece(std::string_view piece) {
  low_write(2, piece.data(), static_cast<std::uint32_t>(piece.size()));
}

std::string_view label_of(StatementKind kind) {
  switch (kind) {
    case kCloseStatement: return ": CLOSE(";
    case kWriteStatement: return ": WRITE(";
    case kOpenStatement: return ": OPEN(";
    case kReadStatement: return ": READ(";
    case kMathError: return ": MATH\r\n- ";
    default: return names_unit(kind) ? ": (" : "\r\n- ";
  }
}

}  // namespace

void set_shutdown_flag() { shutting_down = true; }
bool shutdown_flag() { return shutting_down; }
bool report_written() { return reported; }

void report_run_time_error(std::int32_t index, StatementKind kind,
                           std::initializer_list<long long> arguments) {
  // Index -2, and any index outside the table, is reported as index 90.
  if (index < 0 || index >= kErrorTableSize) index = message::kUnknown;
  const int number = 6000 + error_number_table[static_cast<std::size_t>(index)];
  write_error_report(number, format_message(message_template(index), arguments), kind);
}

std::string_view compose_error_report(int number, std::string_view message, StatementKind kind,
                                      std::string_view name) {
  std::size_t length = 0;
  const auto put = [&](std::string_view piece) {
    piece = piece.substr(0, kReportCapacity - length);
    std::memcpy(report_buffer + length, piece.data(), piece.size());
    length += piece.size();
  };
  put("\r\nrun-time error ");
  put(kind == kMathError ? "M" : "F");
  put_decimal(number, [&](char digit) { put({&digit, 1}); });
  put(label_of(kind));
  if (names_unit(kind)) {
    put(name.substr(0, kNameCapacity));
    put(message.empty() ? ")\r\n" : ")\r\n- ");
  }
  put(message.substr(0, 999));
  put("\r\n");
  return {report_buffer, length};
}

void report_math_error(int number, std::string_view message) {
  write_error_report(number, message, kMathError);
}

void write_error_report(int number, std::string_view message, StatementKind kind) {
  reported = true;
  write_piece(compose_error_report(number, message, kind, report_name()));
  if (!shutting_down) normal_end(1);
  // Only the process end gets here: resume it after the unit that failed.
  throw TerminationRecovery{};
}

}  // namespace tavelo::runtime
