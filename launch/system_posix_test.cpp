// system() with real interpreters: scripts named by COMSPEC (or found on PATH
// as cmd.exe) record the arguments they were given.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>

#include "launch/system.h"
#include "platform/platform.h"
#include "tests/support/scratch_folder.h"

namespace tavelo::launch {
namespace {

using testing::ScratchFolder;

constexpr std::uint32_t kTag = 0x2FFF0000u;
// The recorder, ending with an exit code of its own.
const std::string kRecorder = std::string(testing::kRecorder) + "exit 3\n";

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
    interpreter_ = folder_.script("rec", kRecorder);
    setenv("COMSPEC", interpreter_.c_str(), 1);
  }
  void TearDown() override {
    restore("COMSPEC", saved_comspec_);
    restore("PATH", saved_path_);
  }

  // A recording interpreter at `directory`/rec (inside the scratch folder).
  std::string make_interpreter(const std::string& directory) const {
    return folder_.script(directory.substr(directory_.size() + 1) + "/rec", kRecorder);
  }
  // The arguments the interpreter in `directory` received; "<not run>" if none.
  static std::string arguments_in(const std::string& directory) {
    if (!std::filesystem::exists(directory + "/args")) return "<not run>";
    std::string text = testing::read_file(directory + "/args");
    std::filesystem::remove(directory + "/args");
    return text;
  }
  std::string arguments() const { return arguments_in(directory_); }
  // A directory whose recording interpreter's path is exactly `length` long.
  std::string directory_for_path_of(std::size_t length) const {
    return directory_ + "/" + std::string(length - directory_.size() - 2 - 3, 'p');
  }

  ScratchFolder folder_;
  const std::string& directory_ = folder_.path();
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
  folder_.script("windows/cmd.exe", kRecorder);
  folder_.script("a b/tavelo-cmd", kRecorder);
  folder_.script("second/tavelo-cmd", kRecorder);
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
  for (const testing::Refusal& refusal : testing::kRefusals) {
    setenv("COMSPEC", refusal.program(folder_).c_str(), 1);
    platform::set_last_error(0);
    EXPECT_EQ(system("notepad", 7), -1) << refusal.what;
    EXPECT_EQ(platform::get_last_error(), kTag | refusal.launch_reason) << refusal.what;
  }
}

}  // namespace
}  // namespace tavelo::launch
