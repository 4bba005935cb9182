// The low-level handle table: descriptors 0, 1 and 2 bound to the standard
// handles and classified once at start-up.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace tavelo::runtime {

enum class StreamClass { Device, Pipe, DiskFile };

// Binds and classifies descriptors 0..2 (idempotent). A missing standard
// handle counts as a device.
void lowio_setup();
StreamClass descriptor_class(int descriptor);
platform::Handle descriptor_handle(int descriptor);

// Reads at most `count` bytes: the count read (0 at end of input), or -1
// with the reason in platform::get_last_error().
std::int32_t low_read(int descriptor, void* buffer, std::uint32_t count);
// Writes `count` bytes unchanged: the count written, which is less than
// `count` on failure, the reason then in platform::get_last_error().
std::int32_t low_write(int descriptor, const void* buffer, std::uint32_t count);

}  // namespace tavelo::runtime
