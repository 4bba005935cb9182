#include "results/results_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <new>

#include "arithmetic/float_env.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "runtime/arrays.h"
#include "runtime/error_report.h"
#include "tests/support/exact_stderr.h"

namespace {

// Memory runs out for the C++ allocator too: a report that asked it for a
// string would end the process without one.
bool out_of_memory = false;

}  // namespace

void* operator new(std::size_t bytes) {
  if (out_of_memory) std::abort();
  if (void* block = std::malloc(bytes == 0 ? 1 : bytes)) return block;
  throw std::bad_alloc();
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace tavelo::results {
namespace {

void run_out_of_memory() {
  platform::set_heap_exhausted(true);
  out_of_memory = true;
}

struct UnitFailure {
  const char* what;
  void (*fault)();
  const char* report;
};

const UnitFailure kUnitFailures[] = {
    {"a close that fails with a write the file system held back",
     [] { platform::set_close_failure(platform::error::kDiskFull); },
     "\r\nrun-time error F6422: CLOSE(resultados.txt)\r\n- no space left on the device\r\n"},
    {"the heap exhausted at the open", run_out_of_memory,
     "\r\nrun-time error F6700\r\n- not enough memory for an input/output unit\r\n"},
    {"the heap exhausted at a work array",
     [] {
       run_out_of_memory();
       runtime::ArrayDescriptor descriptor;
       runtime::set_array_bounds(descriptor, 1, 7);
       runtime::allocate_array(descriptor, 4);
     },
     "\r\nrun-time error F6772\r\n- not enough memory for an array\r\n"},
    {"the heap exhausted at a trapped division",
     [] {
       run_out_of_memory();
       arithmetic::float_library_setup();
       arithmetic::float_runtime_setup(runtime::report_math_error);
       arithmetic::checked_divide(arithmetic::extended_from_single(0.71f),
                                  arithmetic::extended_from_single(0));
     },
     "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n"},
};

TEST(ResultsUnitDeathTest, FailuresAreReportedWithExitCodeOne) {
  const std::filesystem::path folder =
      std::filesystem::path(::testing::TempDir()) / "tavelo-results-unit";
  std::filesystem::create_directories(folder);
  for (const UnitFailure& c : kUnitFailures) {
    EXPECT_EXIT(
        {
          std::filesystem::current_path(folder);
          c.fault();
          open_results_file("resultados.txt", 14);
          write_header_record();
          close_results_file();
          std::exit(0);
        },
        ::testing::ExitedWithCode(1), tavelo::testing::exactly(c.report))
        << c.what;
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tavelo::results
