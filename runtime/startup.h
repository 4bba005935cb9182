// The process frame: start-up, the exit handlers and the end of the process.
#pragma once

#include <string_view>

namespace tavelo::runtime {

// The pieces start-up wires together; main() supplies them, so the run-time
// never reaches up into the arithmetic, the console or the program itself.
struct ProgramHooks {
  // The floating-point set-up: the precision, then the traps, whose reports
  // the run-time writes (report_math_error).
  void (*float_setup)();
  void (*float_traps)(void (*report)(int number, std::string_view message));
  void (*console_setup)();
  void (*console_shutdown)();
  int (*main_program)();
};

// The process entry: prepares the run-time, runs the main program and ends
// the process. Never returns.
[[noreturn]] void start_up(const ProgramHooks& hooks);

// How a run ends. The normal end runs the exit handlers (run_time_termination
// among them) once, then exits with `code`: after the main program returns
// (0), after a report (1, through end_after_report) and when start-up finds
// no command line or environment (-1).
[[noreturn]] void normal_end(int code);
// What follows a report: the normal end with code 1; or, when the report
// was raised while the process end closes the units, the end's code becomes
// at least 1 and the closing stops at the unit that failed.
[[noreturn]] void end_after_report();
// Exits without running any exit handler: after a start-up failure (255).
[[noreturn]] void quick_end(int code);

// Numbered units (slots 1..61): the closer the process end calls for a
// slot, in slot order. It closes its unit if that is still connected, which
// the unit's owner alone keeps.
void connect_unit(int slot, void (*close)());

}  // namespace tavelo::runtime
