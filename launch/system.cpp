#include "launch/system.h"

#include <cstring>

#include "platform/platform.h"
#include "runtime/arrays.h"

namespace tavelo::launch {
namespace {

constexpr std::int32_t kLongestCommand = 1024;
constexpr std::uint32_t kLongestInterpreterPath = 260;
// Interpreter path, " /c " and the terminating NUL.
constexpr std::int32_t kBufferSlack = 265;
constexpr char kVariableName[] = "COMSPEC";
constexpr char kRunSwitch[] = " /c ";
constexpr std::uint32_t kReasonTag = 0x2FFF0000u;

// The reasons are errno values: what the C library's system() would have
// left in errno, carried in the platform's last error instead.
enum Reason : std::uint32_t {
  kNoSuchFile = 2,
  kArgumentListTooLong = 7,
  kExecFormatError = 8,
  kNotEnoughMemory = 12,
};

std::int32_t fail(Reason reason) {
  platform::set_last_error(kReasonTag | reason);
  return -1;
}

Reason reason_for(std::uint32_t platform_error) {
  switch (platform_error) {
    case platform::error::kFileNotFound:
    case platform::error::kPathNotFound: return kNoSuchFile;
    case platform::error::kBadFormat:
    case platform::error::kBadExeFormat: return kExecFormatError;
    default: return kNotEnoughMemory;
  }
}

// Length without trailing blanks; tabs and other characters stay.
std::int32_t trimmed_length(const char* text, std::int32_t length) {
  while (length > 0 && text[length - 1] == ' ') --length;
  return length < 0 ? 0 : length;
}

// No time limit: the call returns only once the interpreter has ended.
// The results are not checked: the caller never reads the status, and a
// failed query leaves it 0.
std::int32_t wait_for_exit_code(platform::Handle process) {
  platform::wait_for_process(process);
  std::uint32_t code = 0;
  platform::get_exit_code_process(process, &code);
  platform::close_handle(process);
  return static_cast<std::int32_t>(code);
}

}  // namespace

std::int32_t system(const char* command, std::int32_t length) {
  const std::int32_t t = trimmed_length(command, length);
  if (t > kLongestCommand) return fail(kArgumentListTooLong);

  runtime::ArrayDescriptor descriptor;
  runtime::set_array_bounds(descriptor, 1, t + kBufferSlack);
  char* buffer = static_cast<char*>(runtime::allocate_array(descriptor, 1));

  std::uint32_t path_length =
      platform::get_environment_variable(kVariableName, buffer, kLongestInterpreterPath + 1);
  if (path_length > kLongestInterpreterPath) {
    runtime::release_array(buffer, descriptor, 1);
    return fail(kNoSuchFile);
  }
  if (path_length == 0) {
    // Unset and empty alike: the platform's own interpreter ("cmd.exe" on
    // Windows). A value is otherwise used verbatim, unquoted.
    path_length = platform::default_interpreter(buffer, kLongestInterpreterPath + 1);
    if (path_length == 0) {
      runtime::release_array(buffer, descriptor, 1);
      return fail(kNoSuchFile);
    }
  }
  char* cursor = buffer + path_length;
  std::memcpy(cursor, kRunSwitch, sizeof kRunSwitch - 1);
  cursor += sizeof kRunSwitch - 1;
  std::memcpy(cursor, command, static_cast<std::size_t>(t));
  cursor[t] = '\0';

  platform::Handle process = platform::kInvalidHandle;
  const bool created = platform::create_process(buffer, &process);
  // Read before the release, which may disturb the last error.
  const std::uint32_t platform_error =
      created ? platform::error::kSuccess : platform::get_last_error();
  runtime::release_array(buffer, descriptor, 1);
  if (!created) return fail(reason_for(platform_error));
  return wait_for_exit_code(process);
}

}  // namespace tavelo::launch
