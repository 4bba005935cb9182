// The viewer launch seen from outside: the interpreter named by COMSPEC (or
// cmd.exe) gets "/c notepad resultados.txt", finds the file complete, and the
// program ends only after it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>
#include <string>

#include "tests/e2e/harness.h"

namespace tavelo::e2e {
namespace {

constexpr char kPrompts[] =
    "Digite o valor de Prs\r\nDigite o valor de Pr\r\nDigite o numero de elementos dos "
    "conjuntos\r\n";
constexpr char kInput[] = "0.7\n0.71\n7\n";

// Lets go of the program's output pipes, so the harness returns as soon as
// the program itself has ended; records what it was given and what it found;
// leaves a marker only after a pause.
constexpr char kViewer[] =
    "#!/bin/sh\n"
    "exec >/dev/null 2>&1\n"
    "for a do printf '[%s]' \"$a\"; done > args\n"
    "cp resultados.txt seen.txt\n"
    "sleep 0.5\n"
    ": > marker\n"
    "exit 5\n";

void place_viewer(const std::string& directory, const char* name) {
  const std::string path = directory + "/" + name;
  write_file(path, kViewer);
  chmod(path.c_str(), 0755);
}

RunOptions viewer_run(const char* name, std::optional<std::string> comspec) {
  RunOptions options;
  options.input = kInput;
  options.prepare = [name](const std::string& directory) { place_viewer(directory, name); };
  // The scratch directory is the current one: "./viewer" names it, and an
  // empty PATH entry searches it.
  options.environment = {{"COMSPEC", comspec}, {"PATH", ":/usr/bin:/bin"}};
  return options;
}

void expect_viewer_ran_after_the_file(const RunResult& run) {
  EXPECT_EQ(run.exit_code, 0);  // the viewer's own exit code is not the program's
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out, kPrompts);
  EXPECT_EQ(read_file(run.directory + "/args"), "[/c][notepad][resultados.txt]");
  ASSERT_TRUE(run.results.has_value());
  EXPECT_EQ(read_file(run.directory + "/seen.txt"), *run.results);
  EXPECT_EQ(run.results->size(), 511u);
  struct stat info {};
  EXPECT_EQ(stat((run.directory + "/marker").c_str(), &info), 0)
      << "returned before the viewer ended";
}

TEST(ViewerLaunch, ComspecInterpreterSeesTheClosedFileAndIsWaitedFor) {
  expect_viewer_ran_after_the_file(run_program(viewer_run("viewer", "./viewer")));
}

TEST(ViewerLaunch, UnsetOrEmptyComspecRunsCmdExe) {
  for (const std::optional<std::string>& comspec :
       {std::optional<std::string>(), std::optional<std::string>("")}) {
    SCOPED_TRACE(comspec ? "COMSPEC empty" : "COMSPEC unset");
    expect_viewer_ran_after_the_file(run_program(viewer_run("cmd.exe", comspec)));
  }
}

TEST(ViewerLaunch, MissingInterpreterStillEndsNormallyWithoutAMessage) {
  for (const std::optional<std::string>& comspec :
       {std::optional<std::string>("./no-such-interpreter"), std::optional<std::string>()}) {
    RunOptions options;
    options.input = kInput;
    options.environment = {{"COMSPEC", comspec}, {"PATH", "/nonexistent"}};
    const RunResult run = run_program(options);
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, kPrompts);
    EXPECT_EQ(run.results.value_or("").size(), 511u);
  }
}

}  // namespace
}  // namespace tavelo::e2e
