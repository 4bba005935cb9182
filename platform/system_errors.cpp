#include "platform/system_errors.h"

#include <cerrno>

#include "platform/platform.h"

namespace tavelo::platform {
namespace {

struct ErrnoMeaning {
  int code;
  std::uint32_t windows_error;
};

// ETXTBSY: a program being written cannot be run, as Windows refuses a
// file another process holds. ENXIO: a FIFO with no reader. E2BIG: an
// argument list the new process cannot be given.
constexpr ErrnoMeaning kMeanings[] = {
    {0, error::kSuccess},
    {ENOENT, error::kFileNotFound},
    {ENOTDIR, error::kPathNotFound},
    {EACCES, error::kAccessDenied},
    {EPERM, error::kAccessDenied},
    {EISDIR, error::kAccessDenied},
    {EROFS, error::kWriteProtect},
    {EEXIST, error::kFileExists},
    {ENOSPC, error::kDiskFull},
    {EFBIG, error::kDiskFull},
    {EDQUOT, error::kDiskFull},
    {EMFILE, error::kTooManyOpenFiles},
    {ENFILE, error::kTooManyOpenFiles},
    {ENOMEM, error::kNotEnoughMemory},
    {E2BIG, error::kNotEnoughMemory},
    {ENAMETOOLONG, error::kFilenameTooLong},
    {EINVAL, error::kInvalidParameter},
    {EBADF, error::kInvalidHandle},
    {ENOEXEC, error::kBadExeFormat},
    {ELIBBAD, error::kBadExeFormat},
    {EPIPE, error::kNoData},
    {ENXIO, error::kPipeNotConnected},
    {ETXTBSY, error::kSharingViolation},
};

}  // namespace

std::uint32_t error_from_errno(int code) {
  for (const ErrnoMeaning& meaning : kMeanings) {
    if (meaning.code == code) return meaning.windows_error;
  }
  return error::kGeneralFailure;
}

std::uint32_t error_from_write_errno(int code, bool read_only) {
  return read_only && (code == EBADF || code == EINVAL) ? error::kAccessDenied
                                                        : error_from_errno(code);
}

}  // namespace tavelo::platform
