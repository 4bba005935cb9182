// Numbered reports: their layout, their writing on standard error and the
// end of the run that follows; and the short reports of start-up failures.
#include "runtime/error_report.h"

#include "platform/platform.h"
#include "runtime/lowio.h"
#include "runtime/startup.h"

namespace tavelo::runtime {
namespace {

struct Wording {
  std::int32_t index;
  const char* text;
};

// Only the indices this program can raise have a wording.
constexpr Wording kWordings[] = {
    {message::kIntegerTooLarge, "integer value too large: the limit is 2147483647"},
    {message::kInvalidInteger, "invalid character in an integer value"},
    {message::kBeyondDouble, "real value too large for double precision"},
    {message::kNotAReal, "not a real number: expected digits such as 0.71 or 7.1E-1"},
    {message::kBeyondSingle, "real value too large: the limit is 3.4028234E+38"},
    {message::kSecondBaseMark, "second '#' in a based integer"},
    {message::kBadBase, "base of an integer outside 2 to 36"},
    {message::kArrayAllocatedTwice, "array is already allocated"},
    {message::kConsoleLineTooLong, "console line longer than 130 characters"},
    {message::kInvalidFileName, "invalid file name"},
    {message::kOpenFailed, "cannot open the file: system error %d"},
    {message::kOpenAccessDenied,
     "access denied: the file is in use, read-only, locked or a directory"},
    {message::kFileExists, "file already exists"},
    {message::kFileNotFound, "file or path not found"},
    {message::kNoFreeDescriptor, "too many open files"},
    {message::kWriteAccessDenied, "write refused: access denied or file locked"},
    {message::kDiskFull, "no space left on the device"},
    {message::kWriteFailed, "cannot write the file: system error %d"},
    {message::kReadFailed, "standard input could not be read"},
    {message::kEndOfInput, "end of input: a value was expected"},
    {message::kZeroRepeatCount, "repeat count is zero"},
    {message::kSecondRepeatCount, "second repeat count in one value"},
    {message::kQuotedNumber, "quoted or parenthesised text where a number was expected"},
    {message::kUnknown, "unexpected run-time failure"},
    {message::kNoMemoryForUnit, "not enough memory for an input/output unit"},
    {message::kNoMemoryForArray, "not enough memory for an array"},
};

// The wording of a message index ("" where the program never raises it).
std::string_view message_template(std::int32_t index) {
  for (const Wording& wording : kWordings) {
    if (wording.index == index) return wording.text;
  }
  return {};
}

// Kinds below 11 are statements on a unit: their reports show its name.
constexpr bool names_unit(StatementKind kind) { return static_cast<std::int32_t>(kind) < 11; }

constexpr std::size_t kMessageCapacity = 999;
// The longest report: line end, banner, letter and number, the longest
// label, the name and its closing, the longest message, line end.
constexpr std::size_t kReportCapacity = 2 + 15 + 5 + 12 + kNameCapacity + 5 + kMessageCapacity + 2;
char report_buffer[kReportCapacity];

std::string_view label_of(StatementKind kind) {
  switch (kind) {
    case kCloseStatement: return ": CLOSE(";
    case kWriteStatement: return ": WRITE(";
    case kOpenStatement: return ": OPEN(";
    case kReadStatement: return ": READ(";
    case kMathError: return ": MATH\r\n- ";
    default: return names_unit(kind) ? ": (" : "\r\n- ";
  }
}

// Puts the decimal digits of `value`, with a '-' when negative.
template <typename Put>
void put_decimal(long long value, Put put) {
  char digits[20];
  int count = 0;
  unsigned long long magnitude = value < 0 ? 0ull - static_cast<unsigned long long>(value)
                                           : static_cast<unsigned long long>(value);
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) put('-');
  while (count > 0) put(digits[--count]);
}

// A report that cannot be written has nowhere else to go: the exit code
// still tells.
[[noreturn]] void write_error_report(int number, StatementKind kind, std::string_view wording,
                                     std::initializer_list<long long> arguments) {
  const std::string_view report =
      compose_error_report(number, kind, report_name(), wording, arguments);
  low_write(2, report.data(), static_cast<std::uint32_t>(report.size()));
  end_after_report();
}

}  // namespace

void report_run_time_error(std::int32_t index, StatementKind kind,
                           std::initializer_list<long long> arguments) {
  // Index -2, and any index outside the table, is reported as index 90.
  if (index < 0 || index >= kErrorTableSize) index = message::kUnknown;
  write_error_report(6000 + error_number_table[static_cast<std::size_t>(index)], kind,
                     message_template(index), arguments);
}

void report_math_error(int number, std::string_view message) {
  write_error_report(number, kMathError, message, {});
}

std::string_view compose_error_report(int number, StatementKind kind, std::string_view name,
                                      std::string_view wording,
                                      std::initializer_list<long long> arguments) {
  std::size_t length = 0;
  const auto put = [&](char c) {
    if (length < kReportCapacity) report_buffer[length++] = c;
  };
  const auto put_text = [&](std::string_view text) {
    for (const char c : text) put(c);
  };
  put_text("\r\nrun-time error ");
  put(kind == kMathError ? 'M' : 'F');
  put_decimal(number, put);
  put_text(label_of(kind));
  if (names_unit(kind)) {
    put_text(name.substr(0, kNameCapacity));
    put_text(wording.empty() ? ")\r\n" : ")\r\n- ");
  }
  const std::size_t message_end = length + kMessageCapacity;
  const auto put_message = [&](char c) {
    if (length < message_end) put(c);
  };
  const long long* next = arguments.begin();
  for (std::size_t i = 0; i < wording.size(); ++i) {
    if (wording[i] != '%' || i + 1 == wording.size()) {
      put_message(wording[i]);
    } else if (wording[++i] == '%') {
      put_message('%');
    } else if (wording[i] == 'd' && next != arguments.end()) {
      // A wording never asks for more than its raiser gives.
      put_decimal(*next++, put_message);
    }
  }
  put_text("\r\n");
  return {report_buffer, length};
}

std::int32_t open_failure_message(std::uint32_t platform_error) {
  namespace error = platform::error;
  switch (platform_error) {
    case error::kAccessDenied:
    case error::kSharingViolation:
    case error::kLockViolation:
    case error::kWriteProtect:
    case error::kDirectory: return message::kOpenAccessDenied;
    case error::kFileExists:
    case error::kAlreadyExists: return message::kFileExists;
    case error::kFileNotFound:
    case error::kPathNotFound: return message::kFileNotFound;
    case error::kTooManyOpenFiles: return message::kNoFreeDescriptor;
    case error::kInvalidName:
    case error::kInvalidParameter:
    case error::kFilenameTooLong: return message::kInvalidFileName;
    default: return message::kOpenFailed;
  }
}

std::int32_t write_failure_message(std::uint32_t platform_error) {
  namespace error = platform::error;
  switch (platform_error) {
    case error::kDiskFull:
    case error::kHandleDiskFull: return message::kDiskFull;
    case error::kAccessDenied:
    case error::kLockViolation: return message::kWriteAccessDenied;
    default: return message::kWriteFailed;
  }
}

// The short reports of start-up failures, written before the run-time is
// ready, then the quick end with exit code 255.
std::string_view compose_start_up_failure(int code) {
  switch (code) {
    case 8: return "\r\nruntime error R6008\r\n- not enough space for arguments\r\n";
    case 9: return "\r\nruntime error R6009\r\n- not enough space for environment\r\n";
    case 24: return "\r\nruntime error R6024\r\n- not enough space for _onexit/atexit table\r\n";
    case 26: return "\r\nruntime error R6026\r\n- not enough space for stdio initialization\r\n";
    case 27: return "\r\nruntime error R6027\r\n- not enough space for lowio initialization\r\n";
    default: return "\r\nruntime error ";
  }
}

void report_start_up_failure(int code) {
  const platform::Handle handle = descriptor_handle(2);
  const std::string_view report = compose_start_up_failure(code);
  // Three pieces, one WriteFile each: line end, banner, the code's text.
  const std::string_view pieces[] = {report.substr(0, 2), report.substr(2, 14), report.substr(16)};
  // As for a report: a failed write has nowhere else to go.
  for (std::string_view piece : pieces) {
    std::uint32_t done = 0;
    if (handle != platform::kInvalidHandle) {
      platform::write_file(handle, piece.data(), static_cast<std::uint32_t>(piece.size()), &done);
    }
  }
  quick_end(255);
}

}  // namespace tavelo::runtime
