// Free-form value texts to numbers: integers (decimal, or based as
// "16#FF") and reals (single precision, through an exactly rounded double).
#pragma once

#include <cstdint>
#include <string_view>

namespace tavelo::console {

// The longest value text a read converts.
inline constexpr std::int32_t kMaxValueText = 259;

// Conversions return kConverted or the message index of the error.
inline constexpr std::int32_t kConverted = -1;
std::int32_t convert_integer_token(std::string_view text, std::int32_t& value);
// The decimal text to a double, before the single-precision checks.
std::int32_t real_text_to_double(std::string_view text, double& value);
std::int32_t convert_real_token(std::string_view text, float& value);

}  // namespace tavelo::console
