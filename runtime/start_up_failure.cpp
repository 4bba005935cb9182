// The short reports of start-up failures, written before the run-time is
// ready, and the quick end with exit code 255.
#include "platform/platform.h"
#include "runtime/error_report.h"
#include "runtime/lowio.h"
#include "runtime/startup.h"

namespace tavelo::runtime {

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
