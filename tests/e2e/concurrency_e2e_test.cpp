// Runs started together in one folder, and a run beside one still writing:
// the file left is always the whole table of a run that ended with 0, and a
// refused run says so. Each run has its own Pr and N, so that no two tables
// share their first rows or their length (rows from the 21st on are alike).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"

namespace tavelo::e2e {
namespace {

std::string input_with(std::size_t k) {
  return "0.7\n0." + std::to_string(71 + k) + "\n" + std::to_string(128 - k) + "\n";
}

const std::string& table_of(std::size_t k) {  // from a run alone
  static std::map<std::size_t, std::string> tables;
  if (!tables.contains(k)) tables[k] = run_program({.input = input_with(k)}).results.value_or("");
  return tables[k];
}

std::string joined(const std::vector<std::string>& words) {
  std::string line;
  for (const std::string& word : words) line += word + " ";
  return line;
}

// Ten trials of the runs `commands` started at once, run k reading
// input_with(k).
void expect_one_whole_table(const std::vector<std::string>& commands) {
  for (int trial = 0; trial < 10; ++trial) {
    const testing::ScratchFolder folder;
    std::string script = "cd " + folder.path() + " && export COMSPEC=/nonexistent/cmd.exe\n";
    for (std::size_t k = 0; k < commands.size(); ++k) {
      const std::string n = std::to_string(k);
      write_file(folder.path() + "/" + n + ".in", input_with(k));
      script +=
          "(" + commands[k] + "<" + n + ".in >/dev/null 2>" + n + ".err; echo $? >" + n + ")&\n";
    }
    ASSERT_EQ(std::system((script + "wait").c_str()), 0);
    const std::string left = read_file(folder.path() + "/resultados.txt");
    bool whole = false;
    for (std::size_t k = 0; k < commands.size(); ++k) {
      const std::string status = read_file(folder.path() + "/" + std::to_string(k));
      const std::string err = read_file(folder.path() + "/" + std::to_string(k) + ".err");
      whole = whole || (status == "0\n" && left == table_of(k));
      if (status != "0\n") {
        EXPECT_TRUE(status == "1\n" &&
                    (err.find("F6414") != err.npos || err.find("F6421") != err.npos))
            << err;
      }
    }
    EXPECT_TRUE(whole) << "trial " << trial << ": no whole table of a run that ended with 0";
    for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
      EXPECT_FALSE(entry.path().filename().string().starts_with(".")) << "left: " << entry.path();
    }
  }
}

TEST(TogetherInOneFolder, TenRunsLeaveOneWholeTable) {
  if (windows_target()) GTEST_SKIP() << "Windows' own share modes; wine starts too slowly for this";
  expect_one_whole_table(std::vector<std::string>(10, joined(program_command())));
}

// Node, which takes no locks and sees none, beside the native program.
TEST(TogetherInOneFolder, NodeAndNativeRunsLeaveOneWholeTable) {
  if (!web_target()) GTEST_SKIP() << "for the node runner beside the native program";
  const std::string node = joined(program_command());
  expect_one_whole_table({node, TAVELO_DEFAULT_COMMAND, node, TAVELO_DEFAULT_COMMAND});
}

// A native run holds the file, half its table written, while the run under
// test goes from start to end: node leaves its own table whole; a native
// run is refused and the holder's table is left.
TEST(TogetherInOneFolder, RunBesideOneHeldMidWrite) {
  if (windows_target()) GTEST_SKIP() << "the locks of the POSIX program";
  const std::string& held_table = table_of(0);
  RunOptions options{.input = input_with(1)};
  int held = -1;
  options.prepare = [&](const std::string& directory) {
    held = open((directory + "/resultados.txt").c_str(), O_RDWR | O_CREAT, 0666);
    struct flock range {};
    range.l_type = F_WRLCK;
    ASSERT_TRUE(flock(held, LOCK_EX) == 0 && fcntl(held, F_OFD_SETLK, &range) == 0);
    ASSERT_EQ(write(held, held_table.data(), 4096), 4096);
  };
  const RunResult run = run_program(options);
  ASSERT_GT(write(held, held_table.data() + 4096, held_table.size() - 4096), 0);
  close(held);
  const std::string left = read_file(run.directory + "/resultados.txt");
  EXPECT_EQ(run.exit_code, web_target() ? 0 : 1) << run.err;
  EXPECT_TRUE(left == (web_target() ? table_of(1) : held_table)) << "a mixed table";
}

}  // namespace
}  // namespace tavelo::e2e
