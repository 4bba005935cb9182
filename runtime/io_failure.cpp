#include "runtime/io_failure.h"

#include "platform/platform.h"
#include "runtime/error_report.h"

namespace tavelo::runtime {

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

}  // namespace tavelo::runtime
