#include "runtime/error_report.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/support/exact_stderr.h"

namespace tavelo::runtime {
namespace {

using tavelo::testing::exactly;

// Both ends of every run of the table, and the numbers the program prints.
TEST(ErrorNumberTable, RunsGiveTheDocumentedNumbers) {
  struct Case {
    int index;
    int number;
  };
  const Case cases[] = {{0, 6096},   {10, 6106},  {11, 6200},  {25, 6214}, {26, 6300}, {42, 6316},
                        {45, 6319},  {46, 6400},  {53, 6407},  {60, 6414}, {68, 6422}, {71, 6425},
                        {72, 6500},  {76, 6504},  {88, 6516},  {89, 6600}, {90, 6601}, {91, 6602},
                        {92, 6700},  {93, 6701},  {94, 6970},  {96, 6972}, {97, 6980}, {116, 6999},
                        {117, 6702}, {187, 6772}, {218, 6803}, {219, 6804}};
  for (const Case& c : cases) {
    EXPECT_EQ(6000 + error_number_table[static_cast<std::size_t>(c.index)], c.number)
        << "index " << c.index;
  }
}

TEST(ErrorReport, LayoutForEachKind) {
  struct Case {
    int number;
    const char* message;
    StatementKind kind;
    const char* name;
    const char* expected;
  };
  const Case cases[] = {
      {6422, "disk full", kCloseStatement, "resultados.txt",
       "\r\nrun-time error F6422: CLOSE(resultados.txt)\r\n- disk full\r\n"},
      {6421, "denied", kWriteStatement, "CON",
       "\r\nrun-time error F6421: WRITE(CON)\r\n- denied\r\n"},
      {6414, "no access", kOpenStatement, "resultados.txt",
       "\r\nrun-time error F6414: OPEN(resultados.txt)\r\n- no access\r\n"},
      {6501, "end", kReadStatement, "CON", "\r\nrun-time error F6501: READ(CON)\r\n- end\r\n"},
      {6103, "floating-point error: divide by zero", kMathError, "CON",
       "\r\nrun-time error M6103: MATH\r\n- floating-point error: divide by zero\r\n"},
      {6772, "no memory", kOutsideUnit, "CON", "\r\nrun-time error F6772\r\n- no memory\r\n"},
      // An empty message leaves an empty second line and no "- ".
      {6501, "", kReadStatement, "CON", "\r\nrun-time error F6501: READ(CON)\r\n\r\n"},
      {6772, "", kOutsideUnit, "", "\r\nrun-time error F6772\r\n- \r\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(compose_error_report(c.number, c.kind, c.name, c.message), c.expected);
  }
}

TEST(ErrorReport, MessageFormatting) {
  const auto message = [](std::string_view wording, std::initializer_list<long long> arguments) {
    const std::string_view report =
        compose_error_report(6423, kOutsideUnit, "", wording, arguments);
    // Between "\r\nrun-time error F6423\r\n- " and the closing "\r\n".
    return std::string(report.substr(26, report.size() - 28));
  };
  EXPECT_EQ(message("system error %d", {-5}), "system error -5");
  EXPECT_EQ(message("%d%% of %d", {5, 7}), "5% of 7");
  EXPECT_EQ(message(std::string(1200, 'a'), {}).size(), 999u);
}

TEST(ErrorReport, NamesAreCopiedTrimmedForOpenAndCapped) {
  set_open_file_name("  resultados.txt   ");
  EXPECT_EQ(report_name(), "resultados.txt");
  set_open_file_name(std::string(300, 'x'));
  EXPECT_EQ(report_name().size(), 259u);
  std::string unit = "CON";
  set_current_unit_name(unit);
  unit = "XYZ";  // the caller's string may change or go away
  EXPECT_EQ(report_name(), "CON");
}

// The report reaches standard error whole and the run ends with code 1. A
// READ shows the current unit, an OPEN the name it opens.
TEST(ErrorReportDeathTest, ReportIsWrittenAndTheRunEndsWithCodeOne) {
  set_current_unit_name("CON");
  const auto expect_report = [](const std::function<void()>& report, const char* expected) {
    EXPECT_EXIT(report(), ::testing::ExitedWithCode(1), exactly(expected));
  };
  expect_report([] { report_run_time_error(message::kEndOfInput, kReadStatement); },
                "\r\nrun-time error F6501: READ(CON)\r\n- end of input: a value was expected\r\n");
  expect_report(
      [] {
        set_open_file_name("resultados.txt");
        report_run_time_error(message::kOpenAccessDenied, kOpenStatement);
      },
      "\r\nrun-time error F6414: OPEN(resultados.txt)\r\n- access denied: the file is "
      "in use, read-only, locked or a directory\r\n");
  expect_report([] { report_run_time_error(-2, kOutsideUnit); },
                "\r\nrun-time error F6601\r\n- unexpected run-time failure\r\n");
  // An index with no words gives an empty message.
  expect_report([] { report_run_time_error(100, kWriteStatement); },
                "\r\nrun-time error F6983: WRITE(CON)\r\n\r\n");
  expect_report(
      [] { report_run_time_error(message::kWriteFailed, kWriteStatement, {31}); },
      "\r\nrun-time error F6423: WRITE(CON)\r\n- cannot write the file: system error 31\r\n");
}

TEST(StartUpFailureDeathTest, EachCodeHasItsReportAndExitCode255) {
  struct Case {
    int code;
    const char* text;
  };
  const Case cases[] = {
      {8, "R6008\r\n- not enough space for arguments\r\n"},
      {9, "R6009\r\n- not enough space for environment\r\n"},
      {24, "R6024\r\n- not enough space for _onexit/atexit table\r\n"},
      {26, "R6026\r\n- not enough space for stdio initialization\r\n"},
      {27, "R6027\r\n- not enough space for lowio initialization\r\n"},
  };
  for (const Case& c : cases) {
    const std::string expected = std::string("\r\nruntime error ") + c.text;
    EXPECT_EQ(compose_start_up_failure(c.code), expected);
    EXPECT_EXIT(report_start_up_failure(c.code), ::testing::ExitedWithCode(255), exactly(expected));
  }
}

}  // namespace
}  // namespace tavelo::runtime
