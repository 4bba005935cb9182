#include "runtime/startup.h"

#include <cstring>
#include <optional>

#include "platform/platform.h"
#include "runtime/characters.h"
#include "runtime/error_report.h"
#include "runtime/lowio.h"

namespace tavelo::runtime {
namespace {

using ExitHandler = void (*)();

constexpr int kFirstUnitSlot = 1;
constexpr int kLastUnitSlot = 61;

constexpr int kFirstHandlerSlots = 32;
constexpr int kHandleTableEntries = 32;
constexpr int kStreamTableSlots = 512;
constexpr int kFallbackStreamTableSlots = 20;
constexpr std::size_t kStatementWorkAreaBytes = 20000;

ExitHandler* exit_handlers = nullptr;
int exit_handler_count = 0;
// Set when the process end begins: the code it ends with.
std::optional<int> ending_code;
// What a report raised while the units are closed throws, so that the end
// resumes after the unit that failed.
struct TerminationRecovery {};

void (*unit_closers[kLastUnitSlot + 1])() = {};
void (*console_shutdown_hook)() = nullptr;
void* statement_work_area = nullptr;
// The start-up tables, held until the process ends. Nothing reads them
// back: volatile keeps the stores, so they stay reachable, not leaked.
void* volatile handle_table = nullptr;
void* volatile argument_vector = nullptr;
void* volatile environment_vector = nullptr;
void* volatile stream_table = nullptr;

// Allocates a start-up table, or ends the process with the code's report.
// Nothing reads a table before writing it: it is not cleared.
void* start_up_table(std::size_t bytes, int failure_code) {
  void* table = platform::heap_alloc_uncleared(bytes);
  if (table == nullptr) report_start_up_failure(failure_code);
  return table;
}

// The argument vector: the program itself, then the command line's words.
// Nothing reads it, but it is built where it was, so a failure reports here.
void build_argument_vector(const char* command_line) {
  std::size_t words = 1;
  bool in_word = false;
  for (const char* c = command_line; *c != '\0'; ++c) {
    const bool blank = is_blank(*c);
    if (!blank && !in_word) ++words;
    in_word = !blank;
  }
  argument_vector = start_up_table((words + 1) * sizeof(char*), 8);
}

void build_environment_vector(const char* block) {
  std::size_t entries = 0;
  for (const char* entry = block; *entry != '\0'; entry += std::strlen(entry) + 1) ++entries;
  environment_vector = start_up_table((entries + 1) * sizeof(char*), 9);
}

void create_exit_handler_table() {
  exit_handlers =
      static_cast<ExitHandler*>(start_up_table(kFirstHandlerSlots * sizeof(ExitHandler), 24));
}

void create_stream_table() {
  void* table = platform::heap_alloc_uncleared(kStreamTableSlots * sizeof(void*));
  if (table == nullptr) table = start_up_table(kFallbackStreamTableSlots * sizeof(void*), 26);
  stream_table = table;
}

// Appends a handler; handlers run in reverse order of registration. The
// run-time registers one, far fewer than the table's first slots.
void register_exit_handler(void (*handler)()) { exit_handlers[exit_handler_count++] = handler; }

// Closes units, pays the console's owed line end; the normal end runs it
// once.
void run_time_termination() {
  // A report raised while closing is written in full, then unwinds here;
  // the units after the failed one and the console stay as they are.
  try {
    for (int slot = kFirstUnitSlot; slot <= kLastUnitSlot; ++slot) {
      if (unit_closers[slot] != nullptr) unit_closers[slot]();
    }
    if (console_shutdown_hook != nullptr) console_shutdown_hook();
  } catch (const TerminationRecovery&) {
  }
  if (statement_work_area != nullptr) {
    platform::heap_free(statement_work_area);
    statement_work_area = nullptr;
  }
}

void initialise_io(const ProgramHooks& hooks) {
  statement_work_area = start_up_table(kStatementWorkAreaBytes, 26);
  hooks.console_setup();
  console_shutdown_hook = hooks.console_shutdown;
  hooks.float_traps(report_math_error);
  register_exit_handler(run_time_termination);
}

}  // namespace

void connect_unit(int slot, void (*close)()) { unit_closers[slot] = close; }

void normal_end(int code) {
  if (!ending_code) {
    ending_code = code;
    for (int i = exit_handler_count - 1; i >= 0; --i) exit_handlers[i]();
  }
  platform::exit_process(*ending_code);
}

void end_after_report() {
  if (!ending_code) normal_end(1);
  // A failure reported while the units are closed is still a failure.
  if (*ending_code == 0) ending_code = 1;
  throw TerminationRecovery{};
}

void quick_end(int code) { platform::exit_process(code); }

void start_up(const ProgramHooks& hooks) {
  if (!platform::set_up_signals()) quick_end(255);
  platform::get_version();
  if (!platform::heap_create()) quick_end(255);
  handle_table = start_up_table(kHandleTableEntries * sizeof(platform::Handle), 27);
  lowio_setup();
  const char* command_line = platform::get_command_line();
  const char* environment = platform::get_environment_block();
  if (command_line == nullptr || environment == nullptr) normal_end(-1);
  build_argument_vector(command_line);
  build_environment_vector(environment);
  hooks.float_setup();
  create_exit_handler_table();
  create_stream_table();
  initialise_io(hooks);
  normal_end(hooks.main_program());
}

}  // namespace tavelo::runtime
