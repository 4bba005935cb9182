// Runs started together in one folder, and a run beside one that is still
// writing: whichever way they meet, the file left is the whole table of a
// run that ended with 0; a run refused says so. Each run has its own Pr and
// its own N, so that no two tables share their first rows or their length
// (every row from the 21st on reads the same).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"
#include "tests/support/scratch_folder.h"

namespace tavelo::e2e {
namespace {

// Up to nine blocks: the longest writes there are.
std::string input_with(int racer) {
  return "0.7\n0." + std::to_string(71 + racer) + "\n" + std::to_string(128 - racer) + "\n";
}

// The table of each racer's input, from a run alone.
std::map<int, std::string> tables;
const std::string& table_of(int racer) {
  if (!tables.contains(racer))
    tables[racer] = run_program({.input = input_with(racer)}).results.value_or("");
  return tables[racer];
}

// Starts one run per command at once in `folder`, racer k reading
// input_with(k), and waits for them all; their exit statuses.
std::vector<int> race(const std::string& folder,
                      const std::vector<std::vector<std::string>>& commands) {
  std::vector<pid_t> runs;
  for (std::size_t k = 0; k < commands.size(); ++k) {
    const std::string name = folder + "/" + std::to_string(k);
    write_file(name + ".in", input_with(static_cast<int>(k)));
    const pid_t pid = fork();
    if (pid == 0) {
      if (chdir(folder.c_str()) != 0 || !freopen((name + ".in").c_str(), "r", stdin) ||
          !freopen("/dev/null", "w", stdout) || !freopen((name + ".err").c_str(), "w", stderr)) {
        _exit(125);
      }
      setenv("COMSPEC", "/nonexistent/cmd.exe", 1);
      std::vector<char*> argv;
      for (const std::string& word : commands[k]) argv.push_back(const_cast<char*>(word.c_str()));
      argv.push_back(nullptr);
      execvp(argv[0], argv.data());
      _exit(127);
    }
    runs.push_back(pid);
  }
  std::vector<int> statuses;
  for (const pid_t pid : runs) {
    int status = 0;
    waitpid(pid, &status, 0);
    statuses.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
  }
  return statuses;
}

void expect_one_whole_table(const std::vector<std::vector<std::string>>& commands, int trials) {
  for (int trial = 0; trial < trials; ++trial) {
    SCOPED_TRACE("trial " + std::to_string(trial));
    const testing::ScratchFolder folder;
    const std::vector<int> statuses = race(folder.path(), commands);
    bool whole = false;
    for (std::size_t k = 0; k < statuses.size(); ++k) {
      const std::string err = read_file(folder.path() + "/" + std::to_string(k) + ".err");
      if (statuses[k] == 0) {
        whole =
            whole || read_file(folder.path() + "/resultados.txt") == table_of(static_cast<int>(k));
      } else {
        EXPECT_EQ(statuses[k], 1);
        EXPECT_TRUE(err.find("F6414") != std::string::npos ||
                    err.find("F6421") != std::string::npos)
            << err;
      }
    }
    EXPECT_TRUE(whole) << "no run's whole table in " << folder.path();
  }
}

TEST(TogetherInOneFolder, TenRunsLeaveOneWholeTable) {
  if (windows_target()) GTEST_SKIP() << "Windows' own share modes; wine starts too slowly for this";
  expect_one_whole_table(std::vector<std::vector<std::string>>(10, program_command()), 10);
}

// The web program run by node, which takes no locks and sees none, beside
// the native program, which takes them.
TEST(TogetherInOneFolder, NodeAndNativeRunsLeaveOneWholeTable) {
  if (!web_target()) GTEST_SKIP() << "for the node runner beside the native program";
  const std::vector<std::string> native = {TAVELO_DEFAULT_COMMAND};
  expect_one_whole_table({program_command(), native, program_command(), native}, 10);
}

// A native run holding the file, half its table written, while the run
// under test goes from start to end: the run under test's table is left
// whole (node), or the run is refused and the holder's table is (native).
TEST(TogetherInOneFolder, RunBesideOneHeldMidWrite) {
  if (windows_target()) GTEST_SKIP() << "the locks of the POSIX program";
  const std::string& held_table = table_of(0);
  RunOptions options{.input = input_with(1)};
  int held = -1;
  options.prepare = [&](const std::string& directory) {
    held = open((directory + "/resultados.txt").c_str(), O_RDWR | O_CREAT, 0666);
    struct flock range {};
    range.l_type = F_WRLCK;
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    ASSERT_EQ(fcntl(held, F_OFD_SETLK, &range), 0);
    ASSERT_EQ(write(held, held_table.data(), 4096), 4096);
  };
  const RunResult run = run_program(options);
  ASSERT_EQ(write(held, held_table.data() + 4096, held_table.size() - 4096),
            static_cast<ssize_t>(held_table.size() - 4096));
  close(held);
  const std::string left = read_file(run.directory + "/resultados.txt");
  if (web_target()) {
    EXPECT_EQ(run.exit_code, 0);
    EXPECT_TRUE(left == table_of(1)) << "not the node run's table";
  } else {
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.err.find("F6414"), std::string::npos) << run.err;
    EXPECT_TRUE(left == held_table) << "not the holder's table";
  }
}

}  // namespace
}  // namespace tavelo::e2e
