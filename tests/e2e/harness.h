// Runs the built program in a scratch directory and captures what it did.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/scratch_folder.h"
#include "tests/support/terminal.h"
#include "tests/support/worked_example.h"

namespace tavelo::e2e {

// The worked example: kInput, kPrompts (with their CR LF, as a whole run
// writes them) and kTable.
using namespace testing::worked;

enum class StdinKind { Pipe, File, Null, Closed };
enum class StdoutKind { Pipe, File, DevFull };

struct RunOptions {
  std::string input;  // bytes on standard input
  StdinKind stdin_kind = StdinKind::Pipe;
  StdoutKind stdout_kind = StdoutKind::Pipe;
  // Environment changes: a value sets the variable, nullopt unsets it.
  // COMSPEC names an interpreter that does not exist unless given here.
  std::vector<std::pair<std::string, std::optional<std::string>>> environment{};
  // Called in the parent with the scratch directory before the run.
  std::function<void(const std::string& directory)> prepare{};
  // Called in the child after fork, before exec (limits, credentials).
  std::function<void()> in_child{};
  // Run as someone other than the owner of the scratch files: as root the
  // child becomes uid and gid 65534 and runs a copy of the program placed in
  // the scratch directory, which that user can reach wherever the build is.
  bool as_other_user = false;
};

struct RunResult {
  std::string out;
  std::string err;
  int exit_code = -1;                                    // the exit status, or 128 + signal
  std::optional<std::string> results;                    // resultados.txt, if it exists
  std::shared_ptr<const testing::ScratchFolder> folder;  // kept when the test fails
  std::string directory;                                 // its path
};

// The command prefix under test: $TAVELO_COMMAND split on blanks, or the
// program built beside the tests.
std::vector<std::string> program_command();

// True when the program under test is the Windows one (run under wine).
// Its environment changes then go through $TAVELO_WIN_HELPER, since wine
// gives a Windows process its own COMSPEC; with none given, COMSPEC names
// an interpreter that does not exist, as an unset one does on Linux.
bool windows_target();

// True when the program under test is a 32-bit Windows executable (its PE
// header names an Intel 386).
bool windows_32_bit_target();

// True when the program under test is the web program run by node.
bool web_target();

// True when the program under test is a 64-bit ELF program that names no
// dynamic loader and runs without an emulator in front of it.
bool statically_linked_target();

RunResult run_program(const RunOptions& options);

// Why a run with `as_other_user` cannot be made here, or empty when it can.
std::string other_user_unavailable();

// Prompt i (0 to 2), without its CR LF.
std::string prompt(std::size_t i);
// The worked example's input with another N.
std::string input_for(int n);
// A numbered report as it reaches standard error.
std::string report(const char* code, const char* label, const char* message);
// The report of a console read: read_report("6501", ...) is F6501 on READ(CON).
std::string read_report(const std::string& number, const std::string& message);

// The program at a pseudo-terminal (see PseudoTerminal): standard input,
// and standard output unless `stdout_kind` is File, on the terminal;
// standard error on a pipe. The environment, `prepare` and `in_child` of
// the options apply as for run_program, and the scratch directory is
// handled the same way.
class TerminalRun : public testing::PseudoTerminal {
 public:
  explicit TerminalRun(const RunOptions& options = {});
  ~TerminalRun();
  TerminalRun(const TerminalRun&) = delete;
  TerminalRun& operator=(const TerminalRun&) = delete;

  void type(const std::string& keys) const;
  // The exit code, once the program has ended (killed if it never does).
  int wait();
  const std::string& err() const { return err_; }
  // Sends the program `number`; whether wait() found it ended by a signal.
  void send(int number) const;
  bool signalled() const { return signalled_; }
  const std::string& directory() const { return folder_->path(); }
  // Standard output, when it went to a file.
  std::string out() const;

 private:
  int err_fd_ = -1;
  int pid_ = -1;
  bool exited_ = false;
  bool signalled_ = false;
  std::shared_ptr<testing::ScratchFolder> folder_;
  std::string err_;
};

// Helpers for tests.
std::string windows_path(const std::string& path);  // Z: and backslashes, as wine sees it
using testing::read_file;
using testing::write_file;

}  // namespace tavelo::e2e
