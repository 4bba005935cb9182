#include "runtime/lowio.h"

namespace tavelo::runtime {
namespace {

struct Descriptor {
  platform::Handle handle = platform::kInvalidHandle;
  StreamClass stream_class = StreamClass::Device;
};

Descriptor descriptors[3];
bool bound = false;

StreamClass classify(platform::Handle handle) {
  if (handle == platform::kInvalidHandle) return StreamClass::Device;
  switch (platform::get_file_type(handle)) {
    case platform::FileType::Char: return StreamClass::Device;
    case platform::FileType::Pipe: return StreamClass::Pipe;
    default: return StreamClass::DiskFile;
  }
}

}  // namespace

void lowio_setup() {
  if (bound) return;
  constexpr platform::StdStream kStreams[] = {
      platform::StdStream::Input, platform::StdStream::Output, platform::StdStream::Error};
  for (int fd = 0; fd < 3; ++fd) {
    descriptors[fd].handle = platform::get_std_handle(kStreams[fd]);
    descriptors[fd].stream_class = classify(descriptors[fd].handle);
  }
  bound = true;
}

StreamClass descriptor_class(int descriptor) {
  lowio_setup();
  return descriptors[descriptor].stream_class;
}

platform::Handle descriptor_handle(int descriptor) {
  lowio_setup();
  return descriptors[descriptor].handle;
}

std::int32_t low_read(int descriptor, void* buffer, std::uint32_t count) {
  std::uint32_t done = 0;
  if (!platform::read_file(descriptor_handle(descriptor), buffer, count, &done)) {
    // A writer that has gone away is the end of input, as on a console pipe.
    if (platform::get_last_error() == platform::error::kBrokenPipe) return 0;
    return -1;
  }
  return static_cast<std::int32_t>(done);
}

std::int32_t low_write(int descriptor, const void* buffer, std::uint32_t count) {
  std::uint32_t done = 0;
  const platform::Handle handle = descriptor_handle(descriptor);
  if (handle == platform::kInvalidHandle) {
    platform::set_last_error(platform::error::kInvalidHandle);
    return 0;
  }
  // A failed write leaves its reason where the caller looks for it.
  platform::write_file(handle, buffer, count, &done);
  return static_cast<std::int32_t>(done);
}

}  // namespace tavelo::runtime
