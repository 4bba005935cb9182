#include "runtime/arrays.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "tests/support/exact_stderr.h"

namespace tavelo::runtime {
namespace {

std::vector<std::size_t> requests;
void record_request(std::size_t bytes, bool /*granted*/) { requests.push_back(bytes); }
void announce_request(std::size_t bytes, bool granted) {
  std::fputs(("asked " + std::to_string(bytes) + (granted ? " granted\n" : " refused\n")).c_str(),
             stderr);
}

struct HeapRequests : ::testing::Test {
  void SetUp() override {
    requests.clear();
    platform::set_heap_observer(record_request);
  }
  void TearDown() override { platform::set_heap_observer(nullptr); }
};

TEST_F(HeapRequests, EachArrayAsksFourBytesAnElementPlusItsHeader) {
  struct Case {
    std::int32_t n;
    std::size_t bytes;
  };
  const Case cases[] = {{5, 28}, {1, 12}, {0, 8}, {-7, 8}, {128, 520}};
  for (const Case& c : cases) {
    requests.clear();
    ArrayDescriptor descriptor;
    set_array_bounds(descriptor, 1, c.n);
    void* storage = allocate_array(descriptor, 4);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], c.bytes) << "N = " << c.n;
    release_array(storage, descriptor, 4);
  }
}

TEST_F(HeapRequests, FreshElementsReadAsZero) {
  ArrayDescriptor descriptor;
  set_array_bounds(descriptor, 1, 1000);
  const auto* elements = static_cast<const float*>(allocate_array(descriptor, 4));
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(elements[i], 0.0f);
  release_array(const_cast<float*>(elements), descriptor, 4);
}

TEST(ArrayBounds, TheBoundsDecideHowManyElementsAreAskedFor) {
  struct Case {
    std::int32_t lower;
    std::int32_t upper;
    std::uint64_t bytes;
  };
  // Both bounds count; an upper bound below the lower one is an empty array.
  const Case cases[] = {{1, 7, 36}, {3, 7, 28}, {-2, 2, 28}, {7, 7, 12}, {1, -3, 8}, {5, 4, 8}};
  for (const Case& c : cases) {
    ArrayDescriptor descriptor;
    set_array_bounds(descriptor, c.lower, c.upper);
    EXPECT_EQ(array_request_bytes(descriptor, 4), c.bytes) << c.lower << ".." << c.upper;
  }
}

TEST(ArrayBounds, RequestLimitIsWorkedOutWithoutWrapAround) {
  ArrayDescriptor descriptor;
  set_array_bounds(descriptor, 1, 1073741814);
  EXPECT_EQ(array_request_bytes(descriptor, 4), 4294967264u);
  set_array_bounds(descriptor, 1, 1073741815);
  EXPECT_EQ(array_request_bytes(descriptor, 4), 0u);
  // 4 * 2147483647 wraps to 4294967292 in 32 bits; it must still be refused.
  set_array_bounds(descriptor, 1, 2147483647);
  EXPECT_EQ(array_request_bytes(descriptor, 4), 0u);
  set_array_bounds(descriptor, 1, 1073741816);  // 4N + 8 = 2^32 exactly
  EXPECT_EQ(array_request_bytes(descriptor, 4), 0u);
}

TEST(ArrayReleaseTest, ReleasedBlocksLeaveTheOthersIntact) {
  ArrayDescriptor first, second, third;
  set_array_bounds(first, 1, 3);
  set_array_bounds(second, 1, 3);
  set_array_bounds(third, 1, 3);
  auto* a = static_cast<float*>(allocate_array(first, 4));
  auto* b = static_cast<float*>(allocate_array(second, 4));
  auto* c = static_cast<float*>(allocate_array(third, 4));
  a[2] = 1.0f;
  c[2] = 3.0f;
  release_array(b, second, 4);
  EXPECT_EQ(second.status & kArrayAllocated, 0);
  release_array(a, first, 4);
  EXPECT_EQ(c[2], 3.0f);
  release_array(c, third, 4);
}

TEST(ArrayAllocationDeathTest, TooLargeIsRefusedWithoutAskingTheHeap) {
  EXPECT_EXIT(
      {
        platform::set_heap_observer(announce_request);
        ArrayDescriptor descriptor;
        set_array_bounds(descriptor, 1, 1073741815);
        allocate_array(descriptor, 4);
      },
      ::testing::ExitedWithCode(1),
      tavelo::testing::exactly("\r\nrun-time error F6772\r\n- not enough memory for an array\r\n"));
}

TEST(ArrayAllocationDeathTest, LargestAllowedRequestReachesTheHeap) {
  // 64-bit Linux grants it (untouched pages cost nothing); a 32-bit heap
  // refuses it with 6772. Either way the heap was asked for 4294967264.
  EXPECT_EXIT(
      {
        platform::set_heap_observer(announce_request);
        ArrayDescriptor descriptor;
        set_array_bounds(descriptor, 1, 1073741814);
        auto* elements = static_cast<float*>(allocate_array(descriptor, 4));
        // The last element, untouched until now, reads as zero.
        std::exit(elements[1073741813] == 0.0f ? 0 : 2);
      },
      [](int status) {
        return ::testing::ExitedWithCode(0)(status) || ::testing::ExitedWithCode(1)(status);
      },
      "asked 4294967264 ");
}

TEST(ArrayAllocationDeathTest, SecondAllocationOfOneArrayIs6316) {
  EXPECT_EXIT(
      {
        ArrayDescriptor descriptor;
        set_array_bounds(descriptor, 1, 2);
        allocate_array(descriptor, 4);
        allocate_array(descriptor, 4);
      },
      ::testing::ExitedWithCode(1),
      tavelo::testing::exactly("\r\nrun-time error F6316\r\n- array is already allocated\r\n"));
}

}  // namespace
}  // namespace tavelo::runtime
