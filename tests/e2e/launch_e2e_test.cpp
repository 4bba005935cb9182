// The viewer launch seen from outside: the interpreter named by COMSPEC (or
// cmd.exe) gets "/c notepad resultados.txt", finds the file complete, and the
// program ends only after it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"

namespace tavelo::e2e {
namespace {

// Lets go of the program's output pipes, so the harness returns as soon as
// the program itself has ended; records what it was given and what it found;
// leaves a marker only after a pause.
constexpr char kViewer[] =
    "#!/bin/sh\n"
    "exec >/dev/null 2>&1\n"
    "for a do printf '[%s]' \"$a\"; done > args\n"
    "cp resultados.txt seen.txt\n"
    "sleep 0.5\n"
    "printf done > marker\n"
    "exit 5\n";

void place_viewer(const std::string& directory, const char* name) {
  const std::string path = directory + "/" + name;
  write_file(path, kViewer, 0755);
}

RunOptions viewer_run(const char* name, std::optional<std::string> comspec) {
  RunOptions options{.input = kInput};
  options.prepare = [name](const std::string& directory) { place_viewer(directory, name); };
  // The scratch directory is the current one: "./viewer" names it, and an
  // empty PATH entry searches it.
  options.environment = {{"COMSPEC", comspec}, {"PATH", ":/usr/bin:/bin"}};
  return options;
}

// The interpreter, seen through what it left as `records` (its arguments,
// the file it found, its marker), got `arguments`, found the complete file,
// and the program ended only after it.
struct Records {
  const char* arguments;
  const char* seen;
  const char* marker;
};
constexpr Records kViewerRecords = {"args", "seen.txt", "marker"};
constexpr Records kHelperRecords = {"interpreter-args.txt", "interpreter-saw.txt",
                                    "interpreter-done.txt"};

void expect_ran_after_the_file(const RunResult& run, const Records& records,
                               const std::string& arguments) {
  EXPECT_EQ(run.exit_code, 0);  // the interpreter's own exit code is not the program's
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, kPrompts);
  EXPECT_EQ(read_file(run.directory + "/" + records.arguments), arguments);
  ASSERT_TRUE(run.results.has_value());
  EXPECT_EQ(run.results, kTable);
  EXPECT_EQ(read_file(run.directory + "/" + records.seen), *run.results);
  EXPECT_EQ(read_file(run.directory + "/" + records.marker), "done")
      << "returned before the interpreter ended";
}

// The Windows program gets a Windows stand-in for the interpreter: the
// suite's helper, which records "interpreter-args.txt", copies the file to
// "interpreter-saw.txt" and leaves "interpreter-done.txt" after a second.
class ViewerLaunch : public ::testing::Test {
 protected:
  void SetUp() override {
    windows_ = windows_target();
    const char* helper = std::getenv("TAVELO_WIN_HELPER");
    if (windows_ && helper == nullptr) GTEST_SKIP() << "TAVELO_WIN_HELPER is not set";
    if (windows_) helper_ = helper;
  }

  // Runs the Windows program with COMSPEC unset, empty or naming `interpreter`
  // (copied into the scratch directory under that name when given).
  RunResult run_windows(std::optional<std::string> comspec, const char* copy_as) {
    RunOptions options{.input = kInput};
    const std::string helper = helper_;
    options.prepare = [helper, copy_as](const std::string& directory) {
      if (copy_as != nullptr) write_file(directory + "/" + copy_as, read_file(helper));
    };
    options.environment = {{"COMSPEC", comspec}};
    return run_program(options);
  }

  bool windows_ = false;
  std::string helper_;
};

TEST_F(ViewerLaunch, ComspecInterpreterSeesTheClosedFileAndIsWaitedFor) {
  if (windows_) {
    const std::string windows_comspec = windows_path(helper_);
    const RunResult run = run_windows(windows_comspec, nullptr);
    expect_ran_after_the_file(run, kHelperRecords, windows_comspec + " /c notepad resultados.txt");
    return;
  }
  expect_ran_after_the_file(run_program(viewer_run("viewer", "./viewer")), kViewerRecords,
                            "[/c][notepad][resultados.txt]");
}

// Windows runs cmd.exe; Linux runs the tavelo-cmd built beside the program,
// which under a display hands the file to xdg-open (here, a recorder).
TEST_F(ViewerLaunch, UnsetOrEmptyComspecRunsThePlatformInterpreter) {
  for (const std::optional<std::string>& comspec :
       {std::optional<std::string>(), std::optional<std::string>("")}) {
    SCOPED_TRACE(comspec ? "COMSPEC empty" : "COMSPEC unset");
    if (windows_) {
      // The platform's search finds cmd.exe in the current directory before
      // the system's own.
      expect_ran_after_the_file(run_windows(comspec, "cmd.exe"), kHelperRecords,
                                "cmd.exe /c notepad resultados.txt");
      continue;
    }
    RunOptions options = viewer_run("xdg-open", comspec);
    options.environment.insert(
        options.environment.end(),
        {{"DISPLAY", ":0"}, {"VISUAL", std::nullopt}, {"EDITOR", std::nullopt}});
    expect_ran_after_the_file(run_program(options), kViewerRecords, "[resultados.txt]");
  }
}

TEST_F(ViewerLaunch, MissingInterpreterStillEndsNormallyWithoutAMessage) {
  // Windows always has a cmd.exe of its own, so only a COMSPEC that names
  // nothing can be missing there.
  std::vector<std::optional<std::string>> comspecs = {"./no-such-interpreter"};
  if (windows_) comspecs = {"Z:\\no\\such\\interpreter.exe"};
  if (!windows_) comspecs.emplace_back();
  for (const std::optional<std::string>& comspec : comspecs) {
    RunOptions options{.input = kInput};
    options.environment = {{"COMSPEC", comspec}};
    if (!windows_) options.environment.emplace_back("PATH", "/nonexistent");
    const RunResult run = run_program(options);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, kPrompts);
    EXPECT_EQ(run.results, kTable);
  }
}

// An empty PATH, or an empty entry in it, searches no folder for the
// default interpreter: copies planted in the data folder never run. The
// program runs from a folder of its own, with no tavelo-cmd beside it (its
// command names its programs by path).
TEST_F(ViewerLaunch, DefaultInterpreterNeverComesFromTheDataFolder) {
  if (windows_) GTEST_SKIP() << "Windows itself looks for cmd.exe in the current folder";
  const std::vector<std::string> command = program_command();
  const std::string program = std::filesystem::path(command.back()).filename();
  for (const char* path : {"", ":/usr/bin:/bin", "/usr/bin:/bin:"}) {
    RunOptions options{.input = kInput};
    options.environment = {{"COMSPEC", std::nullopt}, {"PATH", path}};
    options.prepare = [&](const std::string& directory) {
      std::filesystem::create_directory(directory + "/program");
      std::filesystem::copy_file(command.back(), directory + "/program/" + program);
      for (const char* name : {"tavelo-cmd", "cmd.exe"}) place_viewer(directory, name);
    };
    options.in_child = [&] {
      std::string line;
      for (std::size_t i = 0; i + 1 < command.size(); ++i) line += command[i] + " ";
      setenv("TAVELO_COMMAND", (line + "program/" + program).c_str(), 1);
    };
    const RunResult run = run_program(options);
    EXPECT_EQ(run.exit_code, 0) << "PATH=" << path;
    EXPECT_EQ(run.results, kTable) << "PATH=" << path;
    EXPECT_FALSE(std::filesystem::exists(run.directory + "/args")) << "PATH=" << path;
  }
}

// The program ignores SIGPIPE and SIGXFSZ for its own writes; the
// interpreter it starts gets every signal's default action back.
TEST_F(ViewerLaunch, InterpreterStartsWithDefaultSignalActions) {
  if (windows_) GTEST_SKIP() << "signal actions are POSIX's";
  RunOptions options = viewer_run("viewer", "./viewer");
  options.prepare = [](const std::string& directory) {
    write_file(directory + "/viewer", "#!/bin/sh\ngrep '^SigIgn' /proc/self/status > ignored\n",
               0755);
  };
  const RunResult run = run_program(options);
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(read_file(run.directory + "/ignored"), "SigIgn:\t0000000000000000\n");
}

// The platform's own cmd.exe runs notepad, which cannot open a window
// without a display; whatever it does, the run ends normally.
TEST_F(ViewerLaunch, SystemInterpreterWithoutADisplayStillEndsNormally) {
  if (!windows_) GTEST_SKIP() << "the Windows program's own cmd.exe";
  const RunResult run = run_windows(std::nullopt, nullptr);
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.out, kPrompts);
  EXPECT_EQ(run.results, kTable);
}

}  // namespace
}  // namespace tavelo::e2e
