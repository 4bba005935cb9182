// A scratch folder for tests that start real programs: made under TMPDIR
// (or another base), with the shell scripts the tests put there and the
// launches they make fail. It goes with everything in it when it is
// destroyed, unless the test has failed: then it stays, and its path is
// printed, so that what the program left can be read.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "platform/platform.h"

namespace tavelo::testing {

// Records its arguments, each in brackets, in the file "args" beside itself.
inline constexpr char kRecorder[] = "for a do printf '[%s]' \"$a\"; done > \"${0%/*}/args\"\n";

// The bytes of a file; none when it cannot be read.
inline std::string read_file(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

// Replaces the file's bytes, and gives it `mode`.
inline void write_file(const std::string& path, const std::string& bytes, mode_t mode = 0644) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  chmod(path.c_str(), mode);
}

class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& base = std::filesystem::temp_directory_path()) {
    std::string pattern = base + "/tavelo-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~ScratchFolder() {
    if (::testing::Test::HasFailure()) {
      std::cout << "scratch folder kept: " << path_ << std::endl;
      return;
    }
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }

  // A shell script at `name` (folders on the way made too); its path.
  std::string script(const std::string& name, const std::string& body, mode_t mode = 0755) const {
    const std::string path = path_ + "/" + name;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    write_file(path, "#!/bin/sh\n" + body, mode);
    return path;
  }

 private:
  std::string path_;
};

// The ways the start of a program is refused, each made in a scratch folder
// that holds the recorder "rec": the error the platform gives, and the
// reason (an errno value) the viewer launch turns it into.
struct Refusal {
  const char* what;
  std::string (*program)(const ScratchFolder& folder);
  std::uint32_t platform_error;
  std::uint32_t launch_reason;
};

inline const Refusal kRefusals[] = {
    {"missing", [](const ScratchFolder& f) { return f.path() + "/missing"; },
     platform::error::kFileNotFound, 2},
    {"a path through a file", [](const ScratchFolder& f) { return f.path() + "/rec/below"; },
     platform::error::kPathNotFound, 2},
    // Too long for COMSPEC too, which holds 260 characters at most.
    {"a name too long",
     [](const ScratchFolder& f) { return f.path() + "/" + std::string(256, 'x'); },
     platform::error::kFilenameTooLong, 2},
    {"not executable",
     [](const ScratchFolder& f) { return f.script("not-executable", "exit 0\n", 0644); },
     platform::error::kAccessDenied, 12},
    {"neither a script nor a program",
     [](const ScratchFolder& f) {
       const std::string path = f.path() + "/garbage";
       std::ofstream(path) << "plain text\n";
       chmod(path.c_str(), 0755);
       return path;
     },
     platform::error::kBadExeFormat, 8},
};

}  // namespace tavelo::testing
