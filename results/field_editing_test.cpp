#include "results/field_editing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <string>

namespace tavelo::results {
namespace {

float from_bits(std::uint32_t bits) { return std::bit_cast<float>(bits); }

// The fields as the editors leave them in a record prefilled with '?', so
// that a position they fail to write shows.
std::string scientific(float value, int width, int d, int e, int k) {
  std::string field(static_cast<std::size_t>(width), '?');
  edit_scientific_field(value, width, d, e, k, field.data());
  return field;
}

std::string integer(std::int32_t value, int width, int min_digits) {
  std::string field(static_cast<std::size_t>(width), '?');
  edit_integer_field(value, width, min_digits, field.data());
  return field;
}

struct ScientificCase {
  std::uint32_t bits;
  const char* field;
  const char* why;
};

// Inputs as bit patterns: what makes a case hard is the stored value, not
// the decimal text one would type for it.
constexpr ScientificCase kScientificCases[] = {
    {0x3F400000, "   7.500000E-01", "0.75, exact in binary: zeros fill the fraction"},
    {0x3F028F5C, "   5.100000E-01", "0.51 is stored as 0.50999999...: the 8th digit rounds up"},
    {0x3D9BA5E3, "   7.600000E-02", "0.076 is stored as 0.075999997...: carry through nines"},
    {0x3F333333, "   7.000000E-01", "0.7 is stored as 0.69999998...: carry into the first digit"},
    {0x3F800000, "   1.000000E+00", "1.0: exponent zero is written E+00"},
    {0x49000000, "   5.242880E+05", "524288, six significant digits filled with one zero"},
    {0x4B800000, "   1.677722E+07", "2^24 = 16777216: eight digits, the 8th rounds up"},
    {0x374F2040, "   1.234567E-05", "1.234567E-05 is stored as 1.2345670256...E-05"},
    {0xC0200000, "  -2.500000E+00", "negative: one blank fewer, the minus in front"},
    {0x00000000, "   0.000000E+00", "zero: exponent not adjusted by the scale factor"},
    {0x80000000, "   0.000000E+00", "negative zero prints as zero, without a sign"},
    {0x4996B43C, "   1.234568E+06", "1234567.5, an exact tie at the 8th digit: away from zero"},
    {0x4996B444, "   1.234569E+06",
     "1234568.5, a tie with an even 7th digit: still away from zero"},
    {0xC996B444, "  -1.234569E+06", "the negative tie rounds away from zero too"},
    {0x1E3CE508, "   1.000000E-20", "nearest to 1E-20 is 9.9999997E-21: a new leading digit"},
    {0x7F7FFFFF, "   3.402823E+38", "largest finite value: the largest exponent"},
    {0x00000001, "   1.401298E-45", "smallest denormal: 105 significant digits, smallest exponent"},
    {0x00800000, "   1.175494E-38", "smallest normal value"},
    {0x007FFFFF, "   1.175494E-38", "largest denormal rounds to the same seven digits"},
    {0x3DCCCCCD, "   1.000000E-01", "0.1 is stored above 0.1: the 8th digit rounds down"},
    {0x4CBEBC20, "   1.000000E+08", "10^8 exactly: digits beyond the 7th are zeros"},
    {0x36AFC14F, "   5.237910E-06",
     "5.2379104999999981E-06, too near the boundary for the short multiply: the digit string"},
    {0x7F800000, "1#INF..........", "positive infinity: no blanks, dots fill the width"},
    {0xFF800000, "1#INF..........", "negative infinity: the sign is not shown"},
    {0xFFC00000, "1#IND..........", "the NaN that invalid operations produce"},
    {0x7FC00000, "1#QNAN.........", "a positive quiet NaN"},
    {0xFFC00001, "1#QNAN.........", "a negative quiet NaN other than the invalid-operation one"},
    {0x7F800001, "1#QNAN.........", "a signalling NaN is quieted when the value is loaded"},
};

TEST(ScientificField, EditsTheStoredValueWithSevenSignificantDigits) {
  for (const ScientificCase& c : kScientificCases) {
    EXPECT_EQ(scientific(from_bits(c.bits), 15, 6, 2, 1), c.field)
        << std::hex << c.bits << ": " << c.why;
  }
}

struct DigitsCase {
  std::uint32_t bits;
  char sign;
  std::int32_t exponent;
  const char* digits;
  const char* why;
};

constexpr DigitsCase kDigitsCases[] = {
    {0x3F800000, ' ', 1, "1", "trailing zeros are removed"},
    {0x3F028F5C, ' ', 0, "50999999046325684", "17 digits: the 18th (0) rounds nothing"},
    {0x3F333333, ' ', 0, "69999998807907104", "the 18th digit (9) rounds the 17th up"},
    {0x1E3CE508, ' ', -20, "99999996826552254", "X with 10^(X-1) <= value < 10^X"},
    {0x00000001, ' ', -44, "14012984643248171", "a long expansion, truncated at the 18th digit"},
    {0x4B800000, ' ', 8, "16777216", "an integer value keeps its digits exactly"},
    {0xC0200000, '-', 1, "25", "a negative value carries the sign"},
    {0x80000000, ' ', 0, "0", "negative zero is plain zero"},
};

TEST(DecimalDigits, GivesSeventeenDigitsRoundedOnTheEighteenth) {
  for (const DigitsCase& c : kDigitsCases) {
    const DecimalDigits d = decimal_digits(from_bits(c.bits));
    EXPECT_EQ(d.sign, c.sign) << c.why;
    EXPECT_EQ(d.exponent, c.exponent) << c.why;
    EXPECT_EQ(d.text(), c.digits) << c.why;
    EXPECT_TRUE(d.finite) << c.why;
  }
}

TEST(DecimalDigits, MarksInfinitiesAndNaNsAsNotFinite) {
  const DecimalDigits d = decimal_digits(from_bits(0xFF800000));
  EXPECT_FALSE(d.finite);
  EXPECT_EQ(d.sign, '-');
  EXPECT_EQ(d.exponent, 1);
  EXPECT_EQ(d.text(), "1#INF");
}

struct RoundCase {
  char sign;
  const char* digits;
  int n;
  const char* rounded;
  std::int32_t exponent;  // from 5
  bool carry;
  char sign_after;
};

constexpr RoundCase kRoundCases[] = {
    {' ', "1234567", 7, "1234567", 5, false, ' '},      // short enough: unchanged
    {' ', "12345675", 7, "1234568", 5, false, ' '},     // 5 rounds up
    {' ', "12345674999", 7, "1234567", 5, false, ' '},  // judged on the one digit
    {' ', "12999996", 7, "1300000", 5, false, ' '},     // carry through nines
    {' ', "99999995", 7, "10000000", 6, true, ' '},     // new leading digit
    {'-', "00000004", 7, "0000000", 5, false, ' '},     // nothing left: no minus
    {'-', "00000014", 7, "0000001", 5, false, '-'},     // something left keeps it
};

TEST(RoundDigitString, RoundsHalfAwayFromZeroOnTheNextDigit) {
  for (const RoundCase& c : kRoundCases) {
    DecimalDigits d;
    d.sign = c.sign;
    d.exponent = 5;
    d.count = static_cast<std::int32_t>(std::string_view(c.digits).size());
    std::copy_n(c.digits, d.count, d.digits.begin());
    EXPECT_EQ(round_digit_string(d, c.n), c.carry) << c.digits;
    EXPECT_EQ(d.text(), c.rounded) << c.digits;
    EXPECT_EQ(d.exponent, c.exponent) << c.digits;
    EXPECT_EQ(d.sign, c.sign_after) << c.digits;
  }
}

struct IntegerCase {
  std::int32_t value;
  int width;
  int min_digits;
  const char* field;
};

constexpr IntegerCase kIntegerCases[] = {
    {1, 5, 1, "    1"},
    {99999, 5, 1, "99999"},   // exactly fills the width
    {100000, 5, 1, "*****"},  // one digit too many
    {0, 5, 1, "    0"},       // zero is m zeros
    {-9999, 5, 1, "-9999"},   // the sign takes a column
    {-10000, 5, 1, "*****"},
    {128, 5, 1, "  128"},               // the largest index the table can reach
    {INT32_MIN, 11, 1, "-2147483648"},  // no 32-bit negation of the magnitude
    {INT32_MIN, 5, 1, "*****"},
    {7, 5, 3, "  007"},  // left-filled to the minimum digit count
    {0, 5, 0, "     "},  // no digits asked for zero: blanks
    // Blanks wider than a word, and narrower than half a word.
    {-128, 12, 1, "        -128"},
    {5, 2, 1, " 5"},
};

TEST(IntegerField, RightJustifiesOrFillsWithAsterisks) {
  for (const IntegerCase& c : kIntegerCases) {
    EXPECT_EQ(integer(c.value, c.width, c.min_digits), c.field) << c.value;
  }
}

struct ScaleCase {
  std::uint32_t bits;
  int width;
  int d;
  int e;
  int k;
  const char* field;
};

// Other scale factors and widths follow the same rules; the results table
// only uses (15, 6, 2, 1).
constexpr ScaleCase kScaleCases[] = {
    {0x3F400000, 12, 6, 2, 1, "7.500000E-01"},     // a body exactly as wide as the field
    {0x3F400000, 11, 6, 2, 1, "***********"},      // one column short
    {0xC0200000, 12, 6, 2, 1, "************"},     // the minus needs a column
    {0x4B800000, 15, 6, 2, 2, "   16.77722E+06"},  // two digits before the point
    {0x4B800000, 15, 6, 2, 0, "   0.167772E+08"},
    {0x4B800000, 15, 6, 2, -1, "   0.016777E+09"},
    {0x3F800000, 18, 10, 2, 1, "  1.0000000000E+00"},  // beyond the cap: zeros
    {0x3F028F5C, 18, 10, 2, 1, "  5.1000000000E-01"},  // rounded at the 7th all the same
    // The table's layout with more blanks than a word.
    {0xC0200000, 24, 6, 2, 1, "           -2.500000E+00"},
};

TEST(ScientificField, FollowsTheScaleFactorAndWidth) {
  for (const ScaleCase& c : kScaleCases) {
    EXPECT_EQ(scientific(from_bits(c.bits), c.width, c.d, c.e, c.k), c.field)
        << std::hex << c.bits << std::dec << " k=" << c.k << " w=" << c.width;
  }
}

}  // namespace
}  // namespace tavelo::results
