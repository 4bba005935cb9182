// Numbered reports: their layout, their writing on standard error and what
// follows them (the end of the process, or the return to the closing step).
#include "runtime/error_report.h"

#include "runtime/lowio.h"
#include "runtime/messages.h"
#include "runtime/startup.h"

namespace tavelo::runtime {
namespace {

bool shutting_down = false;

// Kinds below 11 are statements on a unit: their reports show its name.
constexpr bool names_unit(StatementKind kind) { return static_cast<std::int32_t>(kind) < 11; }

// A report that cannot be written has nowhere else to go: the exit code
// still tells.
void write_piece(std::string_view piece) {
  low_write(2, piece.data(), static_cast<std::uint32_t>(piece.size()));
}

}  // namespace

void set_shutdown_flag() { shutting_down = true; }
bool shutdown_flag() { return shutting_down; }

void report_run_time_error(std::int32_t index, StatementKind kind,
                           std::initializer_list<long long> arguments) {
  // Index -2, and any index outside the table, is reported as index 90.
  if (index < 0 || index >= kErrorTableSize) index = message::kUnknown;
  const int number = 6000 + error_number_table[static_cast<std::size_t>(index)];
  write_error_report(number, format_message(message_template(index), arguments), kind);
}

std::string compose_error_report(int number, std::string_view message, StatementKind kind,
                                 std::string_view name) {
  std::string report = "\r\nrun-time error ";
  report += kind == kMathError ? 'M' : 'F';
  report += std::to_string(number);
  switch (kind) {
    case kCloseStatement: report += ": CLOSE("; break;
    case kWriteStatement: report += ": WRITE("; break;
    case kOpenStatement: report += ": OPEN("; break;
    case kReadStatement: report += ": READ("; break;
    case kMathError: report += ": MATH\r\n- "; break;
    default: report += names_unit(kind) ? ": (" : "\r\n- "; break;
  }
  if (names_unit(kind)) {
    report += name;
    report += message.empty() ? ")\r\n" : ")\r\n- ";
  }
  report += message;
  report += "\r\n";
  return report;
}

void write_error_report(int number, std::string_view message, StatementKind kind) {
  write_piece(compose_error_report(number, message, kind, report_name()));
  if (!shutting_down) normal_end(1);
  // Only the process end gets here: resume it after the unit that failed.
  throw TerminationRecovery{};
}

}  // namespace tavelo::runtime
