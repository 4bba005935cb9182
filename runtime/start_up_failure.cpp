// The short reports of start-up failures, written before the run-time is
// ready, and the quick end with exit code 255.
#include "platform/platform.h"
#include "runtime/error_report.h"
#include "runtime/lowio.h"
#include "runtime/startup.h"

namespace tavelo::runtime {

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
