// Cases where the two targets meet the machine differently: a file system
// that is really full, a file locked by another process, and the largest
// work arrays the allocation limit lets through.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <utility>

#include "tests/e2e/harness.h"

namespace tavelo::e2e {
namespace {

// A 4 KiB file system over the scratch directory: the fifth 1024-byte block
// meets a full disk on either target. Mounting needs root.
TEST(FullFileSystem, FifthBlockIsRefusedAndTheFirstFourStay) {
  RunOptions whole_options{.input = input_for(100)};
  const RunResult whole = run_program(whole_options);
  ASSERT_EQ(whole.exit_code, 0);

  bool mounted = false;
  std::string mount_point;
  RunOptions options{.input = input_for(100)};
  options.prepare = [&](const std::string& directory) {
    mounted = mount("tmpfs", directory.c_str(), "tmpfs", 0, "size=4k,mode=0777") == 0;
    mount_point = directory;
  };
  const RunResult run = run_program(options);
  if (!mounted) GTEST_SKIP() << "cannot mount a small file system here (needs root)";
  umount(mount_point.c_str());

  EXPECT_EQ(run.exit_code, 1);
  // The refused block is not written again when the process end closes the
  // file, so one report, and the console's owed line end is paid.
  EXPECT_EQ(run.err, report("F6422", ": WRITE(resultados.txt)", "no space left on the device"));
  EXPECT_EQ(run.out, kPrompts);
  EXPECT_EQ(run.results.value_or("<none>"), whole.results->substr(0, 4096));
}

// Another process holds resultados.txt open for writing, as a second run
// does while the first still writes: the open is refused (Windows: the
// share mode; POSIX: the lock a writer takes, flock or a record lock of
// the process or of the open file) and the file left alone.
class LockedFile : public ::testing::TestWithParam<int> {};
INSTANTIATE_TEST_SUITE_P(Kinds, LockedFile, ::testing::Values(LOCK_EX, F_SETLK, F_OFD_SETLK));

bool take(int fd, int kind) {
  struct flock range {};
  range.l_type = F_WRLCK;
  return kind == LOCK_EX ? flock(fd, LOCK_EX) == 0 : fcntl(fd, kind, &range) == 0;
}

TEST_P(LockedFile, OpenIsRefusedAndTheFileLeftAlone) {
  const char* helper = std::getenv("TAVELO_WIN_HELPER");
  if (windows_target() && helper == nullptr) GTEST_SKIP() << "needs TAVELO_WIN_HELPER";
  if (windows_target() && GetParam() != LOCK_EX) GTEST_SKIP() << "the helper's share mode alone";
  // The page's files are its own memory; node, which stands in for it
  // here, has no file locks to take.
  if (web_target()) GTEST_SKIP() << "node has no file locks: the web program's files are its own";
  pid_t holder = -1;
  RunOptions options{.input = kInput};
  options.prepare = [&](const std::string& directory) {
    write_file(directory + "/resultados.txt", "held table\r\n");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    holder = fork();
    if (holder == 0) {
      dup2(ready[1], 1);
      if (chdir(directory.c_str()) != 0) _exit(126);
      if (!windows_target()) {
        const int held = open("resultados.txt", O_RDWR);
        if (held < 0 || !take(held, GetParam()) || write(1, "held", 4) != 4) _exit(125);
        pause();
        _exit(0);
      }
      setenv("WINEDEBUG", "-all", 1);
      // The same wine loader as the program's (32- or 64-bit).
      const std::string wine = program_command().size() > 1 ? program_command().front() : "wine";
      execlp(wine.c_str(), wine.c_str(), helper, "hold", "resultados.txt", "60",
             static_cast<char*>(nullptr));
      _exit(127);
    }
    close(ready[1]);
    char word[8] = {};
    ASSERT_GT(read(ready[0], word, 4), 0) << "the helper did not take the file";
    close(ready[0]);
  };
  const RunResult run = run_program(options);
  kill(holder, SIGTERM);
  waitpid(holder, nullptr, 0);

  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, report("F6414", ": OPEN(resultados.txt)",
                            "access denied: the file is in use, read-only, locked or a directory"));
  EXPECT_EQ(run.out, kPrompts);
  EXPECT_EQ(run.results.value_or("<none>"), "held table\r\n");
}

// 4N + 8 = 4294967264 bytes per array is the largest request allowed.
constexpr int kLargestCount = 1073741814;
constexpr std::size_t kLargestArrayBytes = 4294967264u;
constexpr char kNoMemory[] = "\r\nrun-time error F6772\r\n- not enough memory for an array\r\n";

RunResult run_largest(std::function<void()> in_child = {}) {
  RunOptions options{.input = input_for(kLargestCount)};
  options.in_child = std::move(in_child);
  return run_program(options);
}

// Whether this process may map the four arrays (an address-space limit or
// strict overcommit refuses them); the program run from here inherits both.
bool four_largest_arrays_granted() {
  void* arrays[4] = {};
  bool granted = true;
  for (void*& array : arrays) {
    array = mmap(nullptr, kLargestArrayBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                 -1, 0);
    if (array == MAP_FAILED) granted = false;
  }
  for (void* array : arrays) {
    if (array != MAP_FAILED) munmap(array, kLargestArrayBytes);
  }
  return granted;
}

// AddressSanitizer reserves terabytes of shadow memory at start-up, more
// than any limit that refuses the arrays.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
constexpr bool kAddressSanitizer = __has_feature(address_sanitizer);
#else
constexpr bool kAddressSanitizer = false;
#endif

// Under an address-space limit the first array cannot be had.
TEST(LargestArrays, AnAddressSpaceLimitRefusesThemAtOnce) {
  if (windows_target()) GTEST_SKIP() << "a limit that low would stop wine itself";
  if (web_target()) GTEST_SKIP() << "node reserves more for WebAssembly";
  if (kAddressSanitizer) GTEST_SKIP() << "the sanitizer's shadow memory exceeds the limit";
  const RunResult run = run_largest([] {
    const rlimit limit{1u << 30, 1u << 30};
    setrlimit(RLIMIT_AS, &limit);
  });
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, kNoMemory);
  EXPECT_EQ(run.out, kPrompts);
  EXPECT_FALSE(run.results.has_value());
}

// A 64-bit process that is granted the arrays (untouched pages cost nothing)
// goes on until Re(129) overflows; a 32-bit heap (32-bit Windows,
// WebAssembly) cannot hold them at all.
TEST(LargestArrays, GrantedArraysComputeUntilReOverflows) {
  const bool thirty_two_bit = windows_32_bit_target() || web_target();
  if (!thirty_two_bit && !four_largest_arrays_granted()) {
    GTEST_SKIP() << "this machine does not grant four arrays of 4 GiB "
                    "(address-space limit or strict overcommit)";
  }
  const RunResult run = run_largest();
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.out, kPrompts);
  EXPECT_FALSE(run.results.has_value());
  if (thirty_two_bit) {
    EXPECT_EQ(run.err, kNoMemory);
  } else {
    EXPECT_EQ(run.err, "\r\nrun-time error M6104: MATH\r\n- floating-point error: overflow\r\n");
  }
}

// Four arrays of 64 MiB: the web heap stops at 256 MiB, so that no input
// takes a browser tab past 512 MiB; every other target grants them.
TEST(LargestArrays, TheWebHeapRefusesFourArraysOf64MiB) {
  const RunResult run = run_program({.input = input_for(1 << 24)});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err,
            web_target()
                ? kNoMemory
                : "\r\nrun-time error M6104: MATH\r\n- floating-point error: overflow\r\n");
}

}  // namespace
}  // namespace tavelo::e2e
