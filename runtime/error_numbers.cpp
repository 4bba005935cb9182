// The error number table, built from its runs of consecutive numbers.
#include <array>

#include "runtime/error_report.h"

namespace tavelo::runtime {
namespace {

struct Run {
  int first_index;
  std::int16_t first_number;  // N of the first index; each next index adds one
};

// Message index i prints 6000 + N; a run lasts until the next one starts.
constexpr Run kRuns[] = {{0, 96},   {11, 200}, {26, 300}, {46, 400}, {72, 500},
                         {89, 600}, {92, 700}, {94, 970}, {97, 980}, {117, 702}};

constexpr std::array<std::int16_t, kErrorTableSize> number_table() {
  std::array<std::int16_t, kErrorTableSize> table{};
  const Run* run = kRuns;
  for (int index = 0; index < kErrorTableSize; ++index) {
    if (run + 1 != std::end(kRuns) && run[1].first_index == index) ++run;
    table[static_cast<std::size_t>(index)] =
        static_cast<std::int16_t>(run->first_number + (index - run->first_index));
  }
  return table;
}

}  // namespace

constinit const std::array<std::int16_t, kErrorTableSize> error_number_table = number_table();

}  // namespace tavelo::runtime
