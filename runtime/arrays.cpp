#include "runtime/arrays.h"

#include <cstring>

#include "platform/platform.h"
#include "runtime/error_report.h"

namespace tavelo::runtime {
namespace {

// Every block starts with an 8-byte header: the previous block's address,
// then (where an address takes 4 bytes) the address just past this block.
// The newest block heads the list that release_array searches.
unsigned char* newest_block = nullptr;

unsigned char* previous_of(const unsigned char* block) {
  unsigned char* previous = nullptr;
  std::memcpy(&previous, block, sizeof previous);
  return previous;
}

void write_header(unsigned char* block, std::uint64_t total) {
  static_assert(sizeof(void*) <= kArrayHeaderBytes, "the header holds an address");
  std::memcpy(block, &newest_block, sizeof newest_block);
  if constexpr (2 * sizeof(void*) <= kArrayHeaderBytes) {
    unsigned char* end = block + total;
    std::memcpy(block + sizeof(void*), &end, sizeof end);
  }
}

}  // namespace

void set_array_bounds(ArrayDescriptor& descriptor, std::int32_t lower, std::int32_t upper) {
  const bool empty = upper < lower;
  // upper - lower + 1 can exceed 32 bits only for bounds this program never gives.
  const std::int64_t extent = empty ? 0 : std::int64_t{upper} - lower + 1;
  descriptor.dimension.extent = static_cast<std::int32_t>(extent);
  descriptor.dimension.multiplier = 1;
  descriptor.dimension.lower_bound = empty ? 1 : lower;
}

std::uint64_t array_request_bytes(const ArrayDescriptor& descriptor, std::uint32_t element_size) {
  // Worked out in 64 bits: a 32-bit product could wrap and slip under the limit.
  const std::uint64_t elements = static_cast<std::uint64_t>(descriptor.dimension.extent) *
                                 static_cast<std::uint64_t>(descriptor.dimension.multiplier);
  const std::uint64_t total = elements * element_size + kArrayHeaderBytes;
  return total > kLargestHeapRequest ? 0 : total;
}

void* allocate_array(ArrayDescriptor& descriptor, std::uint32_t element_size) {
  if ((descriptor.status & kArrayAllocated) != 0) {
    report_run_time_error(message::kArrayAllocatedTwice, kOutsideUnit);
  }
  const std::uint64_t total = array_request_bytes(descriptor, element_size);
  if (total == 0 || total > SIZE_MAX)
    report_run_time_error(message::kNoMemoryForArray, kOutsideUnit);
  auto* block = static_cast<unsigned char*>(platform::heap_alloc(static_cast<std::size_t>(total)));
  if (block == nullptr) report_run_time_error(message::kNoMemoryForArray, kOutsideUnit);
  write_header(block, total);
  newest_block = block;
  descriptor.status |= kArrayAllocated;
  return block + kArrayHeaderBytes;
}

void release_array(void* address, ArrayDescriptor& descriptor, std::uint32_t /*element_size*/) {
  unsigned char* block = static_cast<unsigned char*>(address) - kArrayHeaderBytes;
  // Unlink: find the block whose header points at ours, searching from the newest.
  if (newest_block == block) {
    newest_block = previous_of(block);
  } else {
    for (unsigned char* later = newest_block; later != nullptr; later = previous_of(later)) {
      if (previous_of(later) == block) {
        unsigned char* previous = previous_of(block);
        std::memcpy(later, &previous, sizeof previous);
        break;
      }
    }
  }
  platform::heap_free(block);
  descriptor.status = static_cast<std::uint16_t>(descriptor.status & ~kArrayAllocated);
}

}  // namespace tavelo::runtime
