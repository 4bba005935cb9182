// tavelo-cmd, the POSIX interpreter that plays cmd.exe and Notepad: the
// program hands it its viewer command, it shows the table with whatever the
// user has (editor, desktop, pager) and the program ends after it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/harness.h"

namespace tavelo::e2e {
namespace {

using Environment = std::vector<std::pair<std::string, std::optional<std::string>>>;

// Stands in for an editor, xdg-open or a pager: records its name and
// arguments, what it found in the file, and leaves a marker after a pause;
// or, when its name is $FAILING, fails at once with status 3.
constexpr char kShower[] =
    "#!/bin/sh\n"
    "[ \"${0##*/}\" = \"${FAILING:-}\" ] && exit 3\n"
    "printf '%s:' \"${0##*/}\" > shown\n"
    "for a do printf '[%s]' \"$a\"; done >> shown\n"
    "cp resultados.txt seen.txt\n"
    "sleep 0.3\n"
    ": > marker\n";

constexpr const char* kShowers[] = {"visual", "editor", "xdg-open", "pager"};

// Every setting tavelo-cmd looks at, unset unless a case sets it; the
// scratch directory (an empty PATH entry) comes first on PATH.
Environment viewer_environment(const Environment& settings) {
  Environment environment = {{"COMSPEC", TAVELO_VIEWER}, {"PATH", ":/usr/bin:/bin"},
                             {"VISUAL", std::nullopt},   {"EDITOR", std::nullopt},
                             {"DISPLAY", std::nullopt},  {"WAYLAND_DISPLAY", std::nullopt},
                             {"PAGER", std::nullopt}};
  environment.insert(environment.end(), settings.begin(), settings.end());
  return environment;
}

struct ShowCase {
  const char* why;
  Environment settings;
  bool terminal;
  const char* shown;  // what the stand-in recorded, or nullptr for none
};

const ShowCase kShowCases[] = {
    {"VISUAL comes first",
     {{"VISUAL", "visual"}, {"EDITOR", "editor"}, {"DISPLAY", ":0"}},
     true,
     "visual:[resultados.txt]"},
    {"then EDITOR, with its own arguments",
     {{"EDITOR", "editor -n"}, {"DISPLAY", ":0"}},
     true,
     "editor:[-n][resultados.txt]"},
    {"then xdg-open under X11", {{"DISPLAY", ":0"}}, true, "xdg-open:[resultados.txt]"},
    {"or under Wayland", {{"WAYLAND_DISPLAY", "wayland-0"}}, false, "xdg-open:[resultados.txt]"},
    {"then a pager on a terminal", {{"PAGER", "pager"}}, true, "pager:[resultados.txt]"},
    {"also when xdg-open fails there",
     {{"DISPLAY", ":0"}, {"PAGER", "pager"}, {"FAILING", "xdg-open"}},
     true,
     "pager:[resultados.txt]"},
    {"no editor without a terminal", {{"VISUAL", "visual"}, {"EDITOR", "editor"}}, false, nullptr},
    {"no pager without a terminal", {{"PAGER", "pager"}}, false, nullptr},
    {"nothing at all", {}, false, nullptr},
    {"the tavelo-cmd beside the program, with COMSPEC unset",
     {{"COMSPEC", std::nullopt}, {"VISUAL", "visual"}},
     true,
     "visual:[resultados.txt]"},
};

TEST(TaveloCmd, ShowsTheCompleteTableAndTheProgramWaitsForIt) {
  if (windows_target()) GTEST_SKIP() << "tavelo-cmd is the interpreter of the POSIX program";
  for (const ShowCase& c : kShowCases) {
    SCOPED_TRACE(c.why);
    RunOptions options{.input = kInput};
    options.environment = viewer_environment(c.settings);
    options.prepare = [](const std::string& directory) {
      for (const char* name : kShowers) {
        write_file(directory + "/" + name, kShower, 0755);
      }
    };
    // At a terminal, the values typed ahead; its screen is not looked at.
    std::optional<TerminalRun> terminal;
    RunResult run;
    if (c.terminal) {
      terminal.emplace(options);
      terminal->type(kInput);
      run.exit_code = terminal->wait();
      run.err = terminal->err();
      run.directory = terminal->directory();
      run.results = read_file(run.directory + "/resultados.txt");
    } else {
      run = run_program(options);
    }
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_EQ(run.err, "");
    if (!c.terminal) {
      EXPECT_EQ(run.out, kPrompts);
    }
    ASSERT_EQ(run.results, kTable);
    struct stat info {};
    if (c.shown == nullptr) {
      EXPECT_NE(stat((run.directory + "/shown").c_str(), &info), 0) << "something was shown";
      continue;
    }
    EXPECT_EQ(read_file(run.directory + "/shown"), c.shown);
    EXPECT_EQ(read_file(run.directory + "/seen.txt"), *run.results);
    EXPECT_EQ(stat((run.directory + "/marker").c_str(), &info), 0)
        << "the program ended before the viewer";
  }
}

// With nothing else at a terminal, the table in the pager until q is typed.
TEST(TaveloCmd, PagesTheTableAtATerminalUntilQ) {
  if (windows_target()) GTEST_SKIP() << "tavelo-cmd is the interpreter of the POSIX program";
  if (!std::filesystem::exists("/usr/bin/less")) GTEST_SKIP() << "less is not installed";
  RunOptions options;
  options.environment = viewer_environment({{"COMSPEC", std::nullopt}, {"TERM", "xterm"}});
  TerminalRun run(options);
  run.type(kInput);
  const std::string table = kTable;
  const std::size_t last_row = table.rfind('\n', table.size() - 2) + 1;
  EXPECT_TRUE(run.shows(table.substr(last_row, table.size() - last_row - 2), true)) << run.screen();
  run.type("q");
  EXPECT_EQ(run.wait(), 0);
}

// Run directly: anything but "/c notepad FILE" is refused in one line.
TEST(TaveloCmd, RefusesAnyOtherCommandInOneLine) {
  if (windows_target()) GTEST_SKIP() << "tavelo-cmd is the interpreter of the POSIX program";
  for (const char* arguments : {"", "/c", "/c notepad", "/c dir resultados.txt",
                                "/k notepad resultados.txt", "/c notepad resultados.txt extra"}) {
    SCOPED_TRACE(arguments);
    RunOptions options;
    options.environment = viewer_environment({{"VISUAL", "visual"}});
    options.environment.emplace_back("TAVELO_COMMAND", std::string(TAVELO_VIEWER " ") + arguments);
    const RunResult run = run_program(options);
    EXPECT_EQ(run.exit_code, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, std::string("tavelo-cmd: cannot run \"") + arguments +
                           "\": only \"/c notepad FILE\" is understood\n");
  }
}

}  // namespace
}  // namespace tavelo::e2e
