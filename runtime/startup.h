// The process frame: start-up, the exit handlers and the end of the process.
#pragma once

#include <cstdint>
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

// Runs the exit handlers (run_time_termination among them), then exits.
[[noreturn]] void normal_end(int code);
// Exits without running any exit handler.
[[noreturn]] void quick_end(int code);
// Numbered units (slots 1..61). A connected unit gives the closer that the
// process end calls if the unit is still connected then.
void connect_unit(int slot, void (*close)());
void disconnect_unit(int slot);

}  // namespace tavelo::runtime
