// std::bit_cast, which not every target's C++ library offers yet; the
// compiler's builtin, which the library's own is made of, stands in.
#pragma once

namespace tavelo::platform {

template <typename To, typename From>
constexpr To bit_cast(const From& from) noexcept {
  static_assert(sizeof(To) == sizeof(From), "a bit_cast keeps the size");
  return __builtin_bit_cast(To, from);
}

}  // namespace tavelo::platform
