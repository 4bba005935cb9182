// The numeric fields of the results table, fed as bit patterns: every four
// bytes are one single-precision value for the scientific field (1P,E15.6),
// and also one 32-bit integer for the integer field, whose width and minimum
// digit count come from the pattern's top bits (besides the row's I5).
//
// Checked: every field has exactly its width; a finite value's field is
// blanks then -d.ddddddE+dd, whose body parses back to within half a unit of
// its 7th digit of the value, and equals the field built from glibc's exact
// printing of the value (first 18 digits truncated, rounded at the 17th,
// then half away from zero at the 7th); infinities and NaNs give their
// texts; an integer field is asterisks exactly when the number does not fit,
// else blanks then the number, which parses back.
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "results/field_editing.h"
#include "tests/support/printf_reference.h"

namespace {

void require(bool condition, const char* what, std::uint32_t bits, const std::string& field) {
  if (!condition) {
    std::fprintf(stderr, "property violated: %s (bits %08X, field \"%s\")\n", what,
                 static_cast<unsigned>(bits), field.c_str());
    std::abort();
  }
}

void check_scientific(std::uint32_t bits) {
  const float value = std::bit_cast<float>(bits);
  std::string field(15, '?');
  tavelo::results::edit_scientific_field(value, 15, 6, 2, 1, field.data());
  require(field.size() == 15, "width 15", bits, field);
  if (std::isinf(value)) {
    require(field == "1#INF..........", "infinity text", bits, field);
    return;
  }
  if (std::isnan(value)) {
    require(field == (bits == 0xFFC00000u ? "1#IND.........." : "1#QNAN........."), "NaN text",
            bits, field);
    return;
  }
  const bool negative = value < 0.0f;
  const std::size_t blanks = negative ? 2 : 3;
  require(field.find_first_not_of(' ') == blanks, "leading blanks", bits, field);
  const char* body = field.c_str() + blanks + (negative ? 1 : 0);
  const bool layout = body[0] >= '0' && body[0] <= '9' && body[1] == '.' && body[8] == 'E' &&
                      (body[9] == '+' || body[9] == '-') && body[10] >= '0' && body[10] <= '9' &&
                      body[11] >= '0' && body[11] <= '9' && body[12] == '\0' &&
                      std::strspn(body + 2, "0123456789") == 6;
  require(layout, "d.ddddddE+dd layout", bits, field);
  require(value == 0.0f || body[0] != '0', "a non-zero first digit", bits, field);
  char* end = nullptr;
  const double parsed = std::strtod(field.c_str(), &end);
  require(*end == '\0', "body parses", bits, field);
  const double exact = static_cast<double>(value);
  if (exact != 0.0) {
    const int x = std::atoi(body + 9);
    // Half a unit of the 7th digit, and a few units of the last place for
    // the parse and the subtraction.
    const double slack = 4 * (std::fabs(exact) + std::fabs(parsed)) * DBL_EPSILON;
    require(std::fabs(parsed - exact) <= 0.5 * std::pow(10.0, x - 6) + slack,
            "within half a unit of the 7th digit", bits, field);
  } else {
    require(parsed == 0.0, "zero reads as zero", bits, field);
  }
  require(field == tavelo::testing::reference_scientific_field(value), "as printf's exact digits",
          bits, field);
}

void check_integer(std::uint32_t bits) {
  const auto value = static_cast<std::int32_t>(bits);
  const int width = 1 + static_cast<int>(bits >> 28);  // 1..16
  const int min_digits = 1 + static_cast<int>((bits >> 24) & 7);
  for (const auto& [w, m] : {std::pair{5, 1}, std::pair{width, min_digits}}) {
    std::string field(static_cast<std::size_t>(w), '?');
    tavelo::results::edit_integer_field(value, w, m, field.data());
    require(static_cast<int>(field.size()) == w, "integer field width", bits, field);
    std::string digits = std::to_string(value < 0 ? -static_cast<std::int64_t>(value) : value);
    if (value == 0) digits.clear();
    if (static_cast<int>(digits.size()) < m)
      digits.insert(0, static_cast<std::size_t>(m) - digits.size(), '0');
    const std::string body = (value < 0 ? "-" : "") + digits;
    if (static_cast<int>(body.size()) > w) {
      require(field == std::string(static_cast<std::size_t>(w), '*'), "asterisks", bits, field);
    } else {
      require(field == std::string(static_cast<std::size_t>(w) - body.size(), ' ') + body,
              "right-justified", bits, field);
      require(std::strtoll(field.c_str(), nullptr, 10) == value, "parses back", bits, field);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  for (std::size_t i = 0; i + 4 <= size; i += 4) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, data + i, 4);
    check_scientific(bits);
    check_integer(bits);
  }
  return 0;
}
