// Process creation with real child processes: the command line as the
// Microsoft C run-time splits it, the program search, the errors, the wait
// and the exit code.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "tests/support/scratch_folder.h"

namespace tavelo::platform {
namespace {

using testing::kRefusals;
using testing::ScratchFolder;

// A scratch folder holding the recorder "rec".
class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override { folder_.script("rec", testing::kRecorder); }

  static std::string read(const std::string& path) { return testing::read_file(path); }
  // Runs the command line to its end; its exit code, or -1 when not created.
  static long run(std::string command_line) {
    Handle process = kInvalidHandle;
    if (!create_process(command_line.data(), &process)) return -1;
    EXPECT_TRUE(wait_for_process(process));
    std::uint32_t code = 0;
    EXPECT_TRUE(get_exit_code_process(process, &code));
    EXPECT_TRUE(close_handle(process));
    return code;
  }

  ScratchFolder folder_;
  const std::string& directory_ = folder_.path();
};

struct SplitCase {
  const char* tail;
  const char* arguments;
};

constexpr SplitCase kSplitCases[] = {
    {"a b\t c", "[a][b][c]"},       // blanks and tabs separate
    {"\"a b\" c", "[a b][c]"},      // quotes group
    {R"(a\b\\c)", R"([a\b\\c])"},   // backslashes before no quote are literal
    {R"(a\"b)", R"([a"b])"},        // 2n+1 backslashes: n and a literal quote
    {R"(a\\"b c")", R"([a\b c])"},  // 2n backslashes: n, and the quote toggles
    {R"(a\\\"b)", R"([a\"b])"},
    {R"("a""b" c)", R"([a"b][c])"},        // "" inside quotes is a literal quote
    {R"("" x)", "[][x]"},                  // an empty quoted argument counts
    {"\"open ended  ", "[open ended  ]"},  // an unclosed quote runs to the end
    {"", ""},
};

TEST_F(ProcessTest, SplitsTheCommandLineAsTheCRunTimeDoes) {
  for (const SplitCase& c : kSplitCases) {
    EXPECT_EQ(run(directory_ + "/rec " + c.tail), 0) << c.tail;
    EXPECT_EQ(read(directory_ + "/args"), c.arguments) << c.tail;
  }
}

TEST_F(ProcessTest, QuotedProgramPathMayHoldBlanks) {
  std::filesystem::create_directory(directory_ + "/with blank");
  std::filesystem::copy_file(directory_ + "/rec", directory_ + "/with blank/rec");
  EXPECT_EQ(run("\"" + directory_ + "/with blank/rec\" x\\y"), 0);
  EXPECT_EQ(read(directory_ + "/with blank/args"), "[x\\y]");
}

TEST_F(ProcessTest, ProgramWithoutSlashIsLookedUpOnPath) {
  const std::string saved = getenv("PATH") != nullptr ? getenv("PATH") : "";
  setenv("PATH", ("/nonexistent:" + directory_).c_str(), 1);
  const long code = run("rec one");
  setenv("PATH", saved.c_str(), 1);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(read(directory_ + "/args"), "[one]");
}

TEST_F(ProcessTest, RefusedCreationGivesThePlatformError) {
  for (const testing::Refusal& refusal : kRefusals) {
    set_last_error(0);
    EXPECT_EQ(run(refusal.program(folder_) + " a"), -1) << refusal.what;
    EXPECT_EQ(get_last_error(), refusal.platform_error) << refusal.what;
  }
  set_last_error(0);
  EXPECT_EQ(run("\"\" a"), -1);  // an empty program name
  EXPECT_EQ(get_last_error(), error::kFileNotFound);
}

TEST_F(ProcessTest, ExitCodeIsTheStatusOr128PlusTheSignal) {
  EXPECT_EQ(run("/bin/sh -c \"exit 42\""), 42);
  EXPECT_EQ(run("/bin/sh -c \"kill -TERM $$\""), 128 + SIGTERM);
  // The caller ignores an interrupt while it waits; the child does not. The
  // suite itself may have been started with interrupts ignored.
  const auto previous = signal(SIGINT, SIG_DFL);
  EXPECT_EQ(run("/bin/sh -c \"kill -INT $PPID; kill -INT $$\""), 128 + SIGINT);
  signal(SIGINT, previous);
}

TEST_F(ProcessTest, ChildDoesNotInheritAnIgnoredSigpipe) {
  const auto previous = signal(SIGPIPE, SIG_IGN);
  const long code = run("/bin/sh -c \"kill -PIPE $$; exit 7\"");
  signal(SIGPIPE, previous);
  EXPECT_EQ(code, 128 + SIGPIPE);
}

TEST_F(ProcessTest, WaitReturnsOnlyOnceTheChildHasEnded) {
  const std::string marker = directory_ + "/marker";
  EXPECT_EQ(run("/bin/sh -c \"sleep 0.3; : > '" + marker + "'\""), 0);
  EXPECT_TRUE(std::filesystem::exists(marker));
}

}  // namespace
}  // namespace tavelo::platform
