// The reporter's name buffer: the unit or file name a report shows.
#include <algorithm>
#include <array>
#include <cstring>

#include "runtime/error_report.h"

namespace tavelo::runtime {
namespace {

std::array<char, kNameCapacity> name_buffer{};
std::size_t name_length = 0;
// Where the buffer's name was copied from by set_current_unit_name: a unit
// names every statement with the same text, which is copied once. OPEN,
// which names a unit's text before the unit exists, forgets it.
const char* name_source = nullptr;

void store_name(std::string_view name) {
  name_length = std::min(name.size(), kNameCapacity);
  std::memcpy(name_buffer.data(), name.data(), name_length);
}

}  // namespace

void set_current_unit_name(std::string_view name) {
  if (name.data() == name_source && name.size() == name_length) return;
  store_name(name);
  name_source = name.data();
}

void set_open_file_name(std::string_view name) {
  name_source = nullptr;
  name = name.substr(0, kNameCapacity);
  const auto first = name.find_first_not_of(' ');
  if (first == std::string_view::npos) {
    store_name({});
    return;
  }
  store_name(name.substr(first, name.find_last_not_of(' ') - first + 1));
}

std::string_view report_name() { return {name_buffer.data(), name_length}; }

}  // namespace tavelo::runtime
