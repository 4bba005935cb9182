// The results file as the program leaves it on disk, byte for byte: its
// records, its replacement of an older file, its block writes and its
// failures with their reports.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/harness.h"

namespace tavelo::e2e {
namespace {

const std::string kHeader = std::string(kTable).substr(0, std::string(kTable).find('\n') + 1);

// A prepare step leaving a FIFO named resultados.txt with the given mode.
std::function<void(const std::string&)> fifo_file(mode_t mode) {
  return [mode](const std::string& directory) {
    const std::string path = directory + "/resultados.txt";
    ASSERT_EQ(mkfifo(path.c_str(), mode), 0);
    chmod(path.c_str(), mode);
  };
}

// A prepare step leaving `bytes` in resultados.txt with the given mode.
std::function<void(const std::string&)> existing_file(const std::string& bytes, mode_t mode) {
  return
      [=](const std::string& directory) { write_file(directory + "/resultados.txt", bytes, mode); };
}

// Whole runs: the prompts on standard output, and what the run left.
struct RunCase {
  const char* name;
  std::string input;
  std::function<void(const std::string&)> prepare;
  int exit_code;
  std::string err;
  std::optional<std::string> results;  // resultados.txt, if a file is left
};

void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

class Runs : public ::testing::TestWithParam<RunCase> {};

TEST_P(Runs, LeaveExactlyThisFile) {
  const RunCase& c = GetParam();
  RunOptions options{.input = c.input};
  options.prepare = c.prepare;
  const RunResult run = run_program(options);
  EXPECT_EQ(run.exit_code, c.exit_code);
  EXPECT_EQ(run.err, c.err);
  EXPECT_EQ(run.out, kPrompts);
  EXPECT_EQ(run.results.value_or("<none>"), c.results.value_or("<none>"));
}

const std::string kOlder = "table of an earlier run\r\n";

INSTANTIATE_TEST_SUITE_P(
    ResultsFile, Runs,
    ::testing::Values(
        RunCase{"worked_example", kInput, nullptr, 0, "", kTable},
        // Start-up sets 53-bit significands for the arithmetic, and nothing
        // here does: under the x87's own 64-bit default the second Nu of this
        // run would round up to 9.248930E-01.
        RunCase{"arithmetic_with_53_bit_significands", "25.3187218\n3.3\n2\n", nullptr, 0, "",
                std::string(kHeader) +
                    "    1   7.500000E-01   4.000000E-01   1.000000E+00   7.009377E-01\r\n"
                    "    2   7.500000E-01   4.000000E-01   2.000000E+00   9.248929E-01\r\n"},
        RunCase{"no_elements", input_for(0), nullptr, 0, "", kHeader},
        RunCase{"negative_n", input_for(-3), nullptr, 0, "", kHeader},
        RunCase{"longer_existing_file_replaced", kInput,
                existing_file(std::string(20000, 'x'), 0644), 0, "", kTable},
        RunCase{"directory_of_that_name", kInput,
                [](const std::string& directory) {
                  mkdir((directory + "/resultados.txt").c_str(), 0755);
                },
                1,
                report("F6414", ": OPEN(resultados.txt)",
                       "access denied: the file is in use, read-only, locked or a directory"),
                std::nullopt},
        // One element more than the largest arrays, on either target.
        RunCase{"arrays_one_element_too_large", input_for(1073741815), nullptr, 1,
                "\r\nrun-time error F6772\r\n- not enough memory for an array\r\n", std::nullopt},
        // A run failing before the writer leaves the older file alone: the
        // whole Reynolds series, Re(129) overflowing, comes before Nu(1)
        // divides by zero. The driver's reports are checked with the driver.
        RunCase{"driver_failure_leaves_the_older_file", "0\n0.71\n129\n",
                existing_file(kOlder, 0644), 1,
                "\r\nrun-time error M6104: MATH\r\n- floating-point error: overflow\r\n", kOlder}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// The sizes of the writes the program makes to resultados.txt, seen by
// strace: the file's descriptor comes from the program's own openat.
std::vector<long> results_write_sizes(const std::string& trace) {
  std::istringstream lines(trace);
  std::string pid;
  std::string fd;
  std::vector<long> sizes;
  for (std::string line; std::getline(lines, line);) {
    const std::string line_pid = line.substr(0, line.find(' '));
    // strace pads the pid column to five characters: skip every blank.
    const std::string call = line.substr(line.find_first_not_of(' ', line.find(' ')));
    if (call.rfind("openat(", 0) == 0 && call.find("\"resultados.txt\"") != std::string::npos) {
      pid = line_pid;
      fd = call.substr(call.rfind("= ") + 2);
    } else if (!fd.empty() && line_pid == pid && call.rfind("write(" + fd + ",", 0) == 0) {
      const std::size_t end = call.rfind(") = ");
      const std::size_t start = call.rfind(", ", end) + 2;
      sizes.push_back(std::stol(call.substr(start, end - start)));
    }
  }
  return sizes;
}

TEST(ResultsFile, FifteenRowsAreWrittenAsOneBlockThenTheRestAtClose) {
  const char* override_command = std::getenv("TAVELO_COMMAND");
  if (override_command != nullptr && *override_command != '\0') {
    GTEST_SKIP() << "system calls are only those of the native program";
  }
  std::string command = "strace -f -qq -e trace=openat,write -o strace.out";
  for (const std::string& word : program_command()) command += " " + word;
  RunOptions options{.input = input_for(15)};
  options.environment = {{"TAVELO_COMMAND", command}};
  const RunResult run = run_program(options);
  EXPECT_EQ(run.exit_code, 0) << run.err;
  ASSERT_TRUE(run.results.has_value());
  EXPECT_EQ(run.results->size(), 1047u);
  EXPECT_EQ(run.results->substr(0, std::string(kTable).size()), kTable);
  EXPECT_EQ(results_write_sizes(read_file(run.directory + "/strace.out")),
            (std::vector<long>{1024, 23}));
}

// The file grants write permission to nobody: it is read-only for every
// user, root included, as the read-only attribute is on Windows. Wine will
// not run for another user than the owner of its prefix, so the Windows
// program is tried as the user running the suite only.
struct ReadOnlyRun {
  const char* who;
  bool as_other_user;
  bool fifo = false;  // a FIFO (POSIX only) in place of the file
};

// A file with contents fails the cut and is left alone. Nothing is cut in
// an empty file, so the refusal comes with the only block, written by the
// close statement; the process end does not write it again. A FIFO nobody
// may write is read-only the same way, and opening it waits for no writer.
TEST(ResultsFile, ReadOnlyFileIsRefusedAndLeftAlone) {
  std::vector<ReadOnlyRun> runs = {{"as the user running the suite", false}};
  if (!windows_target() && other_user_unavailable().empty()) runs.push_back({"as nobody", true});
  if (!windows_target()) runs.push_back({"a FIFO, as the user running the suite", false, true});
  for (const std::string old_contents : {"older table\r\n", ""}) {
    for (const ReadOnlyRun& as : runs) {
      if (as.fifo && !old_contents.empty()) continue;
      SCOPED_TRACE(std::string(as.who) + (old_contents.empty() ? ", empty" : ", with contents"));
      RunOptions options{.input = kInput};
      options.prepare = as.fifo ? fifo_file(0444) : existing_file(old_contents, 0444);
      options.as_other_user = as.as_other_user;
      const RunResult run = run_program(options);
      EXPECT_EQ(run.exit_code, 1);
      EXPECT_EQ(run.err,
                report("F6421",
                       old_contents.empty() ? ": CLOSE(resultados.txt)" : ": WRITE(resultados.txt)",
                       "write refused: access denied or file locked"));
      EXPECT_EQ(run.out, kPrompts);
      EXPECT_EQ(run.results.value_or(as.fifo ? "" : "<none>"), old_contents);
    }
  }
}

// Failures of the open step. A query of the name that fails counts as a
// missing file; strace makes it fail while a file of that name exists: the
// file is then opened as it is, and replaced whole, as when another run
// creates it first.
struct OpenFailure {
  const char* name;
  std::function<void(const std::string&)> prepare;
  std::function<void()> in_child;
  const char* wrapper;  // a command in front of the program, or nullptr
  const char* code;     // nullptr: no failure, the run writes its table
  const char* message;
  bool static_only = false;  // the dynamic loader needs descriptors too
};

std::vector<OpenFailure> open_failures() {
  return {
      {"a name the existence query does not find, yet taken",
       [](const std::string& directory) {
         existing_file("older table\r\n", 0644)(directory);
         // strace's own notes go to the null device; the program gets
         // standard error back.
         write_file(directory + "/inject.sh",
                    "exec 3>&2 2>/dev/null\n"
                    "exec strace -f -qq -P resultados.txt -o /dev/null "
                    "-e trace=stat,lstat,newfstatat,statx "
                    "-e inject=stat,lstat,newfstatat,statx:error=EACCES:when=1 "
                    "sh -c 'exec 2>&3 3>&-; exec \"$@\"' sh \"$@\"\n");
       },
       nullptr, "sh inject.sh", nullptr, nullptr},
      {"a symbolic link to nothing",
       [](const std::string& directory) {
         ASSERT_EQ(symlink("missing.txt", (directory + "/resultados.txt").c_str()), 0);
       },
       nullptr, nullptr, "F6416", "file or path not found"},
      {"the working folder removed",
       [](const std::string& directory) { mkdir((directory + "/gone").c_str(), 0777); },
       [] {
         if (chdir("gone") != 0 || rmdir("../gone") != 0) _exit(125);
       },
       nullptr, "F6416", "file or path not found"},
      {"no descriptor left for the file", nullptr,
       [] {
         const rlimit limit{3, 3};
         setrlimit(RLIMIT_NOFILE, &limit);
       },
       nullptr, "F6417", "too many open files", true},
      // Opened for writing alone, so as not to be its own reader, a FIFO
      // nobody reads refuses at once: no process is at the other end.
      {"a FIFO nobody reads", fifo_file(0644), nullptr, nullptr, "F6413",
       "cannot open the file: system error 233"},
      {"a FIFO nobody reads, that may only be written", fifo_file(0222), nullptr, nullptr, "F6413",
       "cannot open the file: system error 233"},
  };
}

TEST(ResultsFile, OpenFailuresAreReportedWithTheirCause) {
  // Wine cannot start with three descriptors or in a removed folder, and
  // does not see a link to nothing; strace is for the native program.
  if (windows_target()) GTEST_SKIP() << "causes made for the native program";
  const bool static_program = statically_linked_target();
  for (const OpenFailure& failure : open_failures()) {
    if (failure.static_only && !static_program) {
      std::cout << "not tried, a loader or an emulator starts the program: " << failure.name
                << "\n";
      continue;
    }
    RunOptions options{.input = kInput};
    options.prepare = failure.prepare;
    options.in_child = failure.in_child;
    if (failure.wrapper != nullptr) {
      std::string command = failure.wrapper;
      for (const std::string& word : program_command()) command += " " + word;
      options.environment = {{"TAVELO_COMMAND", command}};
    }
    const RunResult run = run_program(options);
    if (failure.code == nullptr) {
      EXPECT_EQ(run.exit_code, 0) << failure.name;
      EXPECT_EQ(run.err, "") << failure.name;
      EXPECT_EQ(run.results, kTable) << failure.name;
      continue;
    }
    EXPECT_EQ(run.exit_code, 1) << failure.name;
    EXPECT_EQ(run.err, report(failure.code, ": OPEN(resultados.txt)", failure.message))
        << failure.name;
    EXPECT_EQ(run.out, kPrompts) << failure.name;
  }
}

// Nobody may read the file, only write it: the third attempt, for writing
// alone, opens it, and the table is written as usual.
TEST(ResultsFile, WriteOnlyFileIsOpenedByTheThirdAttempt) {
  if (windows_target()) GTEST_SKIP() << "wine runs only as the owner of its prefix";
  const std::string unavailable = other_user_unavailable();
  if (!unavailable.empty()) GTEST_SKIP() << unavailable;
  RunOptions options{.input = kInput};
  options.prepare = existing_file("older table\r\n", 0222);
  options.as_other_user = true;
  const RunResult run = run_program(options);
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "");
  const std::string path = run.directory + "/resultados.txt";
  chmod(path.c_str(), 0644);
  EXPECT_EQ(read_file(path), kTable);
}

// Under a file size limit a write past it is refused as by a full disk; the
// program runs with SIGXFSZ at its default action, as a shell leaves it. A
// refusal during the rows leaves the blocks before it on disk, one in the
// close step the bytes that fitted. Either way the refused block is dropped:
// the process end closes the unit without writing it a second time.
struct SizeLimitCase {
  const char* name;
  int n;
  rlim_t limit;
  std::size_t old_file_size;  // 0: no earlier file
  const char* first_label;
};

constexpr SizeLimitCase kSizeLimitCases[] = {
    {"second block refused during the rows", 31, 1024, 0, ": WRITE(resultados.txt)"},
    {"an earlier 5000-byte file is cut, then the same", 31, 1024, 5000, ": WRITE(resultados.txt)"},
    {"only block refused in the close step", 7, 256, 0, ": CLOSE(resultados.txt)"},
};

TEST(ResultsFile, FileSizeLimitIsReportedAsAFullDisk) {
  if (windows_target()) {
    GTEST_SKIP() << "wine reports a file size limit as a general failure, not a full disk";
  }
  for (const SizeLimitCase& c : kSizeLimitCases) {
    const RunResult whole = run_program({.input = input_for(c.n)});
    ASSERT_EQ(whole.exit_code, 0) << c.name;
    ASSERT_EQ(whole.results.value_or("").size(), 42u + 67u * static_cast<unsigned>(c.n)) << c.name;

    RunOptions options{.input = input_for(c.n)};
    if (c.old_file_size > 0)
      options.prepare = existing_file(std::string(c.old_file_size, 'x'), 0644);
    options.in_child = [size = c.limit] {
      const rlimit limit{size, size};
      setrlimit(RLIMIT_FSIZE, &limit);
      signal(SIGXFSZ, SIG_DFL);
    };
    const RunResult run = run_program(options);
    EXPECT_EQ(run.exit_code, 1) << c.name;
    EXPECT_EQ(run.err, report("F6422", c.first_label, "no space left on the device")) << c.name;
    EXPECT_EQ(run.out, kPrompts) << c.name;
    EXPECT_EQ(run.results.value_or("<none>"), whole.results->substr(0, c.limit)) << c.name;
  }
}

}  // namespace
}  // namespace tavelo::e2e
