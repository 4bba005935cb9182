// Standard-input bytes through the record fetcher, the value scanner and both
// conversions, as the program's three reads take them.
//
// The first byte sets up the input: bit 0 makes it a character device, the
// other bits how many bytes one read of it returns at most (1..132), so that
// records split anywhere. The rest is the input itself.
//
// Checked: the unit's record never leaves its 132-byte buffer; every value
// text that reaches a conversion converts exactly as the independent
// references say (integer and real, errors included); integer values
// survive a round trip through decimal and based texts, real values one
// through a 9-digit text (17 next to the largest single); and the three reads of the program (real,
// real, integer) end as the scanner and the references predict.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "console/console_unit.h"
#include "console/free_input.h"
#include "fuzz/reference_conversions.h"

namespace {

using tavelo::console::ConsoleReader;
using tavelo::console::ConsoleUnit;
using tavelo::console::InputPort;
using tavelo::console::ValueToken;
namespace ref = tavelo::fuzz;

constexpr std::int32_t kQuotedNumber = 76;  // 6504

struct Raised {
  std::int32_t index;
};

class BytesPort final : public InputPort {
 public:
  BytesPort(const std::uint8_t* data, std::size_t size, bool device, std::uint32_t chunk)
      : data_(data), size_(size), device_(device), chunk_(chunk) {}
  std::int32_t read(char* buffer, std::uint32_t count) override {
    std::size_t n = size_ - offset_;
    if (n > count) n = count;
    if (n > chunk_) n = chunk_;
    if (n > 0) std::memcpy(buffer, data_ + offset_, n);
    offset_ += n;
    return static_cast<std::int32_t>(n);
  }
  bool is_device() override { return device_; }
  [[noreturn]] void raise(std::int32_t message_index) override { throw Raised{message_index}; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t offset_ = 0;
  bool device_;
  std::uint32_t chunk_;
};

void require(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
  }
}

void check_unit(const ConsoleUnit& unit) {
  require(unit.last_index >= -1 && unit.last_index < tavelo::console::kRecordSize,
          "record within its buffer");
  require(unit.position >= 0 && unit.position <= unit.last_index + 1, "position within record");
}

bool same_bits(float a, float b) {
  return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b);
}
bool same_bits(double a, double b) {
  return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

std::string in_base(std::uint32_t value, unsigned base, bool lower) {
  const char* digits =
      lower ? "0123456789abcdefghijklmnopqrstuvwxyz" : "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::string text;
  do {
    text.insert(text.begin(), digits[value % base]);
    value /= base;
  } while (value != 0);
  return text;
}

void integer_round_trips(std::int32_t value, unsigned salt) {
  using tavelo::console::convert_integer_token;
  std::int32_t back = 0;
  require(convert_integer_token(std::to_string(value), back) == ref::kOk && back == value,
          "integer round trip through decimal");
  const unsigned base = 2 + salt % 35;
  const auto pattern = static_cast<std::uint32_t>(value);
  const bool lower = (salt & 64) != 0;
  if (base != 10 || pattern <= 2147483647u) {
    const std::string prefix = base == 16 && (salt & 128) != 0 ? "" : std::to_string(base);
    back = 0;
    require(convert_integer_token(prefix + "#" + in_base(pattern, base, lower), back) == ref::kOk &&
                back == value,
            "integer round trip through a based text");
  }
  if (value < 0 && (base != 10 || value != INT32_MIN)) {
    back = 0;
    const std::string text = "-" + std::to_string(base) + "#" + in_base(0u - pattern, base, lower);
    require(convert_integer_token(text, back) == ref::kOk && back == value,
            "negative integer round trip through a based text");
  }
}

void real_round_trip(float value) {
  if (!(value == value) || value - value != 0.0f) return;  // only finite values exist here
  char text[32];
  std::snprintf(text, sizeof text, "%.9g", static_cast<double>(value));
  // Near the largest single, 9 digits can lie above the accepted range.
  if (std::fabs(std::strtod(text, nullptr)) > 3.4028234663852886e38) {
    std::snprintf(text, sizeof text, "%.17g", static_cast<double>(value));
  }
  float back = 0.0f;
  require(tavelo::console::convert_real_token(text, back) == ref::kOk && same_bits(back, value),
          "real round trip through 9 digits");
}

// What one read of a value ends with: an error, or the stored value.
struct ReadOutcome {
  std::int32_t error = ref::kOk;
  float real = 0.0f;
  std::int32_t integer = 0;
};

// The converters on one value text, against the references.
ReadOutcome convert_checked(std::string_view text, bool integer) {
  ReadOutcome outcome;
  const ref::IntegerOutcome expected_integer = ref::reference_integer(text);
  std::int32_t int_value = 0;
  const std::int32_t int_error = tavelo::console::convert_integer_token(text, int_value);
  require(int_error == expected_integer.error, "integer conversion error as the reference");
  if (int_error == ref::kOk) {
    require(int_value == expected_integer.value, "integer value as the reference");
    integer_round_trips(
        int_value, static_cast<unsigned>(text.size() * 31 + static_cast<std::size_t>(text[0])));
  }

  const ref::RealOutcome expected_real = ref::reference_real(text);
  double wide = 0.0;
  const std::int32_t wide_error = tavelo::console::real_text_to_double(text, wide);
  require(
      wide_error == (expected_real.error == ref::kBeyondSingle ? ref::kOk : expected_real.error),
      "decimal to double error as the reference");
  // Below the normal double range only the single result is held to.
  if (wide_error == ref::kOk && !(std::abs(expected_real.wide) < 2.2250738585072014e-308)) {
    require(same_bits(wide, expected_real.wide), "decimal to double as strtod");
  }
  float real_value = 0.0f;
  const std::int32_t real_error = tavelo::console::convert_real_token(text, real_value);
  require(real_error == expected_real.error, "real conversion error as the reference");
  if (real_error == ref::kOk) {
    require(same_bits(real_value, expected_real.stored), "real value as the reference");
    real_round_trip(real_value);
  }

  outcome.error = integer ? int_error : real_error;
  outcome.real = real_value;
  outcome.integer = int_value;
  return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool device = (data[0] & 1) != 0;
  const std::uint32_t chunk = 1 + (data[0] >> 1) % tavelo::console::kRecordSize;
  const std::uint8_t* input = data + 1;
  const std::size_t input_size = size - 1;

  // The scanner and the converters step by step, predicting each read.
  ReadOutcome predicted[3];
  int predicted_reads = 0;
  {
    BytesPort port(input, input_size, device, chunk);
    ConsoleUnit unit;
    for (; predicted_reads < 3; ++predicted_reads) {
      ReadOutcome& outcome = predicted[predicted_reads];
      ConsoleReader reader{unit, port};
      try {
        const ValueToken token = tavelo::console::next_value_token(reader);
        check_unit(unit);
        require(token.length >= 0 && token.length <= tavelo::console::kMaxValueText + 1,
                "token length");
        if (token.length > 0) {
          if (token.form != ValueToken::Form::Plain) {
            outcome.error = kQuotedNumber;
          } else {
            const ReadOutcome converted = convert_checked(token.view(), predicted_reads == 2);
            outcome.error = converted.error;
            if (predicted_reads == 2)
              outcome.integer = converted.integer;
            else
              outcome.real = converted.real;
          }
          if (outcome.error != ref::kOk) {
            ++predicted_reads;
            break;
          }
        }
        if (!reader.line_consumed) tavelo::console::end_read(reader);
        check_unit(unit);
      } catch (const Raised& raised) {
        check_unit(unit);
        outcome.error = raised.index;
        ++predicted_reads;
        break;
      }
    }
  }

  // The program's own three reads must end the same way.
  BytesPort port(input, input_size, device, chunk);
  ConsoleUnit unit;
  float prs = 0.0f;
  float pr = 0.0f;
  std::int32_t n = 0;
  int reads = 0;
  std::int32_t error = ref::kOk;
  try {
    ConsoleReader first{unit, port};
    tavelo::console::read_real_value(first, prs);
    ++reads;
    ConsoleReader second{unit, port};
    tavelo::console::read_real_value(second, pr);
    ++reads;
    ConsoleReader third{unit, port};
    tavelo::console::read_integer_value(third, n);
    ++reads;
  } catch (const Raised& raised) {
    error = raised.index;
    ++reads;
  }
  check_unit(unit);
  require(reads == predicted_reads, "reads end where predicted");
  require(error == predicted[reads - 1].error, "the read fails as predicted");
  const int completed = error == ref::kOk ? reads : reads - 1;
  if (completed > 0) require(same_bits(prs, predicted[0].real), "Prs as predicted");
  if (completed > 1) require(same_bits(pr, predicted[1].real), "Pr as predicted");
  if (completed > 2) require(n == predicted[2].integer, "N as predicted");
  return 0;
}
