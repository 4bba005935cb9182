#include "runtime/error_report.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "platform/platform.h"
#include "runtime/lowio.h"
#include "runtime/startup.h"

namespace tavelo::runtime {

// Runs of consecutive numbers: message index i prints 6000 + N.
// clang-format off
const std::int16_t error_number_table[kErrorTableSize] = {
    // indices 0-10: 96-106
    96, 97, 98, 99, 100, 101, 102, 103, 104, 105, 106,
    // indices 11-25: 200-214
    200, 201, 202, 203, 204, 205, 206, 207, 208, 209, 210, 211, 212, 213, 214,
    // indices 26-45: 300-319
    300, 301, 302, 303, 304, 305, 306, 307, 308, 309, 310, 311, 312, 313, 314, 315, 316, 317, 318,
    319,
    // indices 46-71: 400-425
    400, 401, 402, 403, 404, 405, 406, 407, 408, 409, 410, 411, 412, 413, 414, 415, 416, 417, 418,
    419, 420, 421, 422, 423, 424, 425,
    // indices 72-88: 500-516
    500, 501, 502, 503, 504, 505, 506, 507, 508, 509, 510, 511, 512, 513, 514, 515, 516,
    // indices 89-91: 600-602
    600, 601, 602,
    // indices 92-93: 700-701
    700, 701,
    // indices 94-96: 970-972
    970, 971, 972,
    // indices 97-116: 980-999
    980, 981, 982, 983, 984, 985, 986, 987, 988, 989, 990, 991, 992, 993, 994, 995, 996, 997, 998,
    999,
    // indices 117-219: 702-804
    702, 703, 704, 705, 706, 707, 708, 709, 710, 711, 712, 713, 714, 715, 716, 717, 718, 719, 720,
    721, 722, 723, 724, 725, 726, 727, 728, 729, 730, 731, 732, 733, 734, 735, 736, 737, 738, 739,
    740, 741, 742, 743, 744, 745, 746, 747, 748, 749, 750, 751, 752, 753, 754, 755, 756, 757, 758,
    759, 760, 761, 762, 763, 764, 765, 766, 767, 768, 769, 770, 771, 772, 773, 774, 775, 776, 777,
    778, 779, 780, 781, 782, 783, 784, 785, 786, 787, 788, 789, 790, 791, 792, 793, 794, 795, 796,
    797, 798, 799, 800, 801, 802, 803, 804,
};
// clang-format on

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
    {message::kOpenAccessDenied, "access denied: the file is read-only, locked or a directory"},
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

constexpr std::size_t kNameCapacity = 259;
constexpr std::size_t kMessageCapacity = 999;

std::array<char, kNameCapacity + 1> name_buffer{};
std::size_t name_length = 0;
std::string_view current_unit_name = "CON";
bool shutting_down = false;

void store_name(std::string_view name) {
  name_length = std::min(name.size(), kNameCapacity);
  std::memcpy(name_buffer.data(), name.data(), name_length);
}

// A report that cannot be written has nowhere else to go: the exit code
// still tells.
void write_piece(std::string_view piece) {
  low_write(2, piece.data(), static_cast<std::uint32_t>(piece.size()));
}

std::string code_piece(char letter, int number) { return letter + std::to_string(number); }

}  // namespace

std::string_view message_template(std::int32_t index) {
  for (const Wording& wording : kWordings) {
    if (wording.index == index) return wording.text;
  }
  return {};
}

std::string format_message(std::string_view text,
                           std::initializer_list<MessageArgument> arguments) {
  std::string out;
  const MessageArgument* next = arguments.begin();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char conversion = text[++i];
    if (conversion == '%') {
      out += '%';
    } else if (next == arguments.end()) {
      // A template never asks for more than its raiser gives; show nothing.
    } else if (conversion == 's') {
      out += next->is_text ? next->text : std::to_string(next->integer);
      ++next;
    } else if (conversion == 'd') {
      out += std::to_string(next->integer);
      ++next;
    } else if (conversion == 'c') {
      out += static_cast<char>(next->integer);
      ++next;
    }
  }
  if (out.size() > kMessageCapacity) out.resize(kMessageCapacity);
  return out;
}

void set_current_unit_name(std::string_view name) { current_unit_name = name; }

void set_open_file_name(std::string_view name) {
  name = name.substr(0, kNameCapacity);
  const auto first = name.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    store_name({});
    return;
  }
  name = name.substr(first, name.find_last_not_of(' ') - first + 1);
  store_name(name);
}

std::string_view report_name() { return {name_buffer.data(), name_length}; }

void set_shutdown_flag() { shutting_down = true; }
bool shutdown_flag() { return shutting_down; }

void report_run_time_error(std::int32_t index, StatementKind kind,
                           std::initializer_list<MessageArgument> arguments) {
  if (index == -2) index = message::kUnknown;
  if (index < 0 || index >= kErrorTableSize) index = message::kUnknown;
  if (names_unit(kind) && kind != kOpenStatement) store_name(current_unit_name);
  const int number = 6000 + error_number_table[index];
  write_error_report(number, format_message(message_template(index), arguments), kind);
  // Only the process end comes back here: resume it after the failed unit.
  throw TerminationRecovery{};
}

std::string compose_error_report(int number, std::string_view message, StatementKind kind,
                                 std::string_view name) {
  std::string report = "\r\nrun-time error ";
  report += code_piece(kind == kMathError ? 'M' : 'F', number);
  switch (kind) {
    case kCloseStatement: report += ": CLOSE("; break;
    case kWriteStatement: report += ": WRITE("; break;
    case kOpenStatement: report += ": OPEN("; break;
    case kReadStatement: report += ": READ("; break;
    case kMathError: report += ": MATH\r\n- "; break;
    default: report += names_unit(kind) ? ": (" : "\r\n- "; break;
  }
  if (names_unit(kind)) {
    report += name;
    report += message.empty() ? ")\r\n" : ")\r\n- ";
  }
  report += message;
  report += "\r\n";
  return report;
}

void write_error_report(int number, std::string_view message, StatementKind kind) {
  write_piece(compose_error_report(number, message, kind, report_name()));
  if (!shutting_down) normal_end(1);
}

std::string compose_start_up_failure(int code) {
  const char* text = "";
  switch (code) {
    case 8: text = "R6008\r\n- not enough space for arguments\r\n"; break;
    case 9: text = "R6009\r\n- not enough space for environment\r\n"; break;
    case 24: text = "R6024\r\n- not enough space for _onexit/atexit table\r\n"; break;
    case 26: text = "R6026\r\n- not enough space for stdio initialization\r\n"; break;
    case 27: text = "R6027\r\n- not enough space for lowio initialization\r\n"; break;
    default: break;
  }
  return std::string("\r\n") + "runtime error " + text;
}

void report_start_up_failure(int code) {
  platform::Handle handle = descriptor_handle(2);
  if (handle == platform::kInvalidHandle) {
    handle = platform::get_std_handle(platform::StdStream::Error);
  }
  const std::string report = compose_start_up_failure(code);
  // Three pieces, one WriteFile each: line end, banner, the code's text.
  const std::string_view pieces[] = {std::string_view(report).substr(0, 2),
                                     std::string_view(report).substr(2, 14),
                                     std::string_view(report).substr(16)};
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
