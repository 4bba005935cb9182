// Storage for the work arrays and the command buffer.
#pragma once

#include <cstdint>

namespace tavelo::runtime {

struct ArrayDimension {
  std::int32_t extent;
  std::int32_t multiplier;
  std::int32_t lower_bound;
};

// One-dimensional is all this program asks for. The storage's address is
// the caller's to keep: allocate_array returns it.
struct ArrayDescriptor {
  std::uint16_t status = 0;  // bit 0: allocated
  ArrayDimension dimension{};
};

inline constexpr std::uint16_t kArrayAllocated = 1;
// Requests above this many bytes are refused without asking the heap.
inline constexpr std::uint64_t kLargestHeapRequest = 4294967264u;  // 0xFFFFFFE0
inline constexpr std::uint32_t kArrayHeaderBytes = 8;

void set_array_bounds(ArrayDescriptor& descriptor, std::int32_t lower, std::int32_t upper);
// Returns storage for the described elements, fresh elements reading as zero.
// Refusal is run-time error 6772; a second allocation is 6316.
void* allocate_array(ArrayDescriptor& descriptor, std::uint32_t element_size);
void release_array(void* address, ArrayDescriptor& descriptor, std::uint32_t element_size);

// The heap request allocate_array makes for a descriptor, or 0 when the
// request is too large to be made at all.
std::uint64_t array_request_bytes(const ArrayDescriptor& descriptor, std::uint32_t element_size);

}  // namespace tavelo::runtime
