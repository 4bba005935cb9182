#include "runtime/startup.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "runtime/error_report.h"
#include "tests/support/exact_stderr.h"

namespace tavelo::runtime {
namespace {

using tavelo::testing::exactly;

void say(const char* text) {
  std::fputs(text, stderr);
  std::fflush(stderr);
}

void console_setup_stub() {}
void console_shutdown_stub() { say("console\n"); }
void close_unit_2() { say("close 2\n"); }
void close_unit_5() { say("close 5\n"); }
void close_unit_3_failing() {
  say("close 3\n");
  set_current_unit_name("resultados.txt");
  report_run_time_error(message::kDiskFull, kCloseStatement);
}

[[noreturn]] void start_with(int (*main_program)()) {
  start_up({[] {}, [](void (*)(int, std::string_view)) {}, console_setup_stub,
            console_shutdown_stub, main_program});
}

TEST(ProcessEndDeathTest, NormalEndClosesUnitsInSlotOrderThenPaysTheConsole) {
  EXPECT_EXIT(start_with([] {
                connect_unit(5, close_unit_5);
                connect_unit(2, close_unit_2);
                return 0;
              }),
              ::testing::ExitedWithCode(0), exactly("close 2\nclose 5\nconsole\n"));
}

TEST(ProcessEndDeathTest, ReportEndsWithCodeOneAfterClosingUnits) {
  EXPECT_EXIT(start_with([]() -> int {
                connect_unit(2, close_unit_2);
                set_current_unit_name("CON");
                report_run_time_error(message::kEndOfInput, kReadStatement);
              }),
              ::testing::ExitedWithCode(1),
              exactly("\r\nrun-time error F6501: READ(CON)\r\n- end of input: a value was "
                      "expected\r\nclose 2\nconsole\n"));
}

TEST(ProcessEndDeathTest, FailureWhileClosingIsReportedAndEndsWithCodeOne) {
  // The failed unit stops the closing: slot 5 and the console are skipped.
  // A normal end with a report is a failure, not code 0.
  EXPECT_EXIT(start_with([] {
                connect_unit(2, close_unit_2);
                connect_unit(3, close_unit_3_failing);
                connect_unit(5, close_unit_5);
                return 0;
              }),
              ::testing::ExitedWithCode(1),
              exactly("close 2\nclose 3\n\r\nrun-time error F6422: CLOSE(resultados.txt)\r\n- no "
                      "space left on the device\r\n"));
}

TEST(ProcessEndDeathTest, SecondReportWhileClosingKeepsTheFirstExitCode) {
  EXPECT_EXIT(start_with([]() -> int {
                connect_unit(3, close_unit_3_failing);
                report_run_time_error(message::kNoMemoryForArray, kOutsideUnit);
              }),
              ::testing::ExitedWithCode(1),
              exactly("\r\nrun-time error F6772\r\n- not enough memory for an array\r\nclose "
                      "3\n\r\nrun-time error F6422: CLOSE(resultados.txt)\r\n- no space left on "
                      "the device\r\n"));
}

TEST(ProcessEndDeathTest, QuickEndRunsNoExitHandler) {
  EXPECT_EXIT(start_with([]() -> int {
                connect_unit(2, close_unit_2);
                quick_end(7);
              }),
              ::testing::ExitedWithCode(7), exactly(""));
}

}  // namespace
}  // namespace tavelo::runtime
