// system() with real interpreters: scripts named by COMSPEC (or found on PATH
// as cmd.exe) record the arguments they were given.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "launch/system.h"
#include "platform/platform.h"

namespace tavelo::launch {
namespace {

constexpr std::uint32_t kTag = 0x2FFF0000u;
// Records its arguments in brackets in "args" beside itself.
constexpr char kRecorder[] = "for a do printf '[%s]' \"$a\"; done > \"${0%/*}/args\"\nexit 3\n";

std::optional<std::string> variable(const char* name) {
  const char* value = getenv(name);
  return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

void restore(const char* name, const std::optional<std::string>& value) {
  if (value) {
    setenv(name, value->c_str(), 1);
  } else {
    unsetenv(name);
  }
}

class SystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = std::filesystem::temp_directory_path().string() + "/tavelo-sys-XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    directory_ = pattern;
    interpreter_ = make_interpreter(directory_);
    setenv("COMSPEC", interpreter_.c_str(), 1);
  }
  void TearDown() override {
    restore("COMSPEC", saved_comspec_);
    restore("PATH", saved_path_);
    std::filesystem::remove_all(directory_);
  }

  // A recording interpreter at `directory`/rec, or at `directory`/`name`.
  static std::string make_interpreter(const std::string& directory, const char* name = "rec",
                                      const char* body = kRecorder, mode_t mode = 0755) {
    std::filesystem::create_directories(directory);
    const std::string path = directory + "/" + name;
    std::ofstream(path) << "#!/bin/sh\n" << body;
    chmod(path.c_str(), mode);
    return path;
  }
  // The arguments the interpreter in `directory` received; "<not run>" if none.
  static std::string arguments_in(const std::string& directory) {
    std::ifstream file(directory + "/args");
    if (!file) return "<not run>";
    std::ostringstream text;
    text << file.rdbuf();
    std::filesystem::remove(directory + "/args");
    return text.str();
  }
  std::string arguments() const { return arguments_in(directory_); }
  // A directory whose recording interpreter's path is exactly `length` long.
  std::string directory_for_path_of(std::size_t length) const {
    return directory_ + "/" + std::string(length - directory_.size() - 2 - 3, 'p');
  }

  std::string directory_;
  std::string interpreter_;
  std::optional<std::string> saved_comspec_ = variable("COMSPEC");
  std::optional<std::string> saved_path_ = variable("PATH");
};

TEST_F(SystemTest, RunsTheCommandThroughTheInterpreterAndReturnsItsExitCode) {
  EXPECT_EQ(system("notepad resultados.txt", 22), 3);
  EXPECT_EQ(arguments(), "[/c][notepad][resultados.txt]");
}

struct TrimCase {
  const char* text;
  const char* arguments;
  const char* why;
};

constexpr TrimCase kTrimCases[] = {
    {"notepad x   ", "[/c][notepad][x]", "trailing blanks are cut"},
    {"\"x\t  ", "[/c][x\t]", "a trailing tab stays (seen inside quotes)"},
    {"\"x   ", "[/c][x]", "the blanks after the quote are gone"},
    {"     ", "[/c]", "blanks alone: the line ends after /c"},
    {"", "[/c]", "an empty command"},
};

TEST_F(SystemTest, CutsTrailingBlanksOnly) {
  for (const TrimCase& c : kTrimCases) {
    EXPECT_EQ(system(c.text, static_cast<std::int32_t>(std::string(c.text).size())), 3) << c.why;
    EXPECT_EQ(arguments(), c.arguments) << c.why;
  }
  EXPECT_EQ(system("abc def", 3), 3);  // only the given length counts
  EXPECT_EQ(arguments(), "[/c][abc]");
}

TEST_F(SystemTest, CommandOf1024CharactersRunsAnd1025Fail) {
  const std::string longest = "notepad " + std::string(1016, 'y');
  EXPECT_EQ(system(longest.c_str(), 1024), 3);
  EXPECT_EQ(arguments(), "[/c][notepad][" + std::string(1016, 'y') + "]");

  const std::string too_long = longest + "z";
  platform::set_last_error(0);
  EXPECT_EQ(system(too_long.c_str(), 1025), -1);
  EXPECT_EQ(platform::get_last_error(), kTag | 7);
  EXPECT_EQ(arguments(), "<not run>");
  // Trailing blanks do not count towards the limit.
  const std::string padded = longest + "      ";
  EXPECT_EQ(system(padded.c_str(), static_cast<std::int32_t>(padded.size())), 3);
  arguments();
}

TEST_F(SystemTest, InterpreterPathOf260CharactersRunsAnd261Fail) {
  const std::string fits = directory_for_path_of(260);
  const std::string too_long = directory_for_path_of(261);
  setenv("COMSPEC", make_interpreter(fits).c_str(), 1);
  EXPECT_EQ(system("notepad", 7), 3);
  EXPECT_EQ(arguments_in(fits), "[/c][notepad]");

  setenv("COMSPEC", make_interpreter(too_long).c_str(), 1);
  platform::set_last_error(0);
  EXPECT_EQ(system("notepad", 7), -1);
  EXPECT_EQ(platform::get_last_error(), kTag | 2);
  EXPECT_EQ(arguments_in(too_long), "<not run>");
}

// Unset or empty COMSPEC: tavelo-cmd (none lies beside the test program),
// the first on PATH, else cmd.exe.
TEST_F(SystemTest, UnsetOrEmptyComspecRunsTaveloCmdElseCmdExe) {
  const std::string windows = directory_ + "/windows", first = directory_ + "/a b",
                    second = directory_ + "/second";
  make_interpreter(windows, "cmd.exe");
  make_interpreter(first, "tavelo-cmd");
  make_interpreter(second, "tavelo-cmd");
  const struct {
    std::string path;
    std::string ran;
  } cases[] = {
      {windows, windows}, {windows + ":" + first + ":" + second, first},  // a folder with a blank
  };
  for (const auto& c : cases) {
    setenv("PATH", c.path.c_str(), 1);
    for (const char* value : {static_cast<const char*>(nullptr), ""}) {
      restore("COMSPEC", value != nullptr ? std::optional<std::string>(value) : std::nullopt);
      EXPECT_EQ(system("notepad resultados.txt", 22), 3) << c.path;
      EXPECT_EQ(arguments_in(c.ran), "[/c][notepad][resultados.txt]") << c.path;
    }
  }
}

TEST_F(SystemTest, RefusedLaunchesGiveMinusOneAndTheReason) {
  const struct {
    std::string interpreter;
    std::uint32_t reason;
  } cases[] = {
      {directory_ + "/missing", 2},
      {interpreter_ + "/below", 2},  // a path through a file: path not found
      {make_interpreter(directory_, "not-executable", "exit 0\n", 0644), 12},
  };
  for (const auto& c : cases) {
    setenv("COMSPEC", c.interpreter.c_str(), 1);
    platform::set_last_error(0);
    EXPECT_EQ(system("notepad", 7), -1) << c.interpreter;
    EXPECT_EQ(platform::get_last_error(), kTag | c.reason) << c.interpreter;
  }
  // Not a program at all: no "#!" line and not an executable format.
  const std::string garbage = directory_ + "/not-a-program";
  std::ofstream(garbage) << "plain text\n";
  chmod(garbage.c_str(), 0755);
  setenv("COMSPEC", garbage.c_str(), 1);
  EXPECT_EQ(system("notepad", 7), -1);
  EXPECT_EQ(platform::get_last_error(), kTag | 8);
}

}  // namespace
}  // namespace tavelo::launch
