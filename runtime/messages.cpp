#include "runtime/messages.h"

#include "runtime/error_report.h"

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

}  // namespace

std::string_view message_template(std::int32_t index) {
  for (const Wording& wording : kWordings) {
    if (wording.index == index) return wording.text;
  }
  return {};
}

}  // namespace tavelo::runtime
