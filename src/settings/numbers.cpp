#include "settings/numbers.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <charconv>
#include <cmath>
#include <cstring>
#include <system_error>

#include "settings/error.h"

namespace stylor {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsCBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Length of the decimal real at the front of `text` (sign, digits with at most one point and at
// least one digit, optional exponent), or 0. This is the C syntax without "inf", "nan" or hex.
std::size_t DecimalRealLength(std::string_view text) {
  std::size_t pos = 0;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
  std::size_t digits = 0;
  while (pos < text.size() && IsDigit(text[pos])) ++pos, ++digits;
  if (pos < text.size() && text[pos] == '.') {
    ++pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos, ++digits;
  }
  if (digits == 0) return 0;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    std::size_t exponent = pos + 1;
    if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
    if (exponent < text.size() && IsDigit(text[exponent])) {
      while (exponent < text.size() && IsDigit(text[exponent])) ++exponent;
      pos = exponent;
    }
  }
  return pos;
}

// Roughly the power of ten of a decimal real text (digits before the point, less leading zeros
// after it, plus the exponent): positive for values of 1 and above.
long DecimalExponent(std::string_view number) {
  std::size_t pos = 0;
  while (pos < number.size() && number[pos] == '0') ++pos;
  long exponent = 0;
  while (pos < number.size() && IsDigit(number[pos])) ++pos, ++exponent;
  if (exponent == 0 && pos < number.size() && number[pos] == '.') {
    ++pos;
    while (pos < number.size() && number[pos] == '0') ++pos, --exponent;
  }
  const std::size_t e = number.find_first_of("eE");
  if (e != std::string_view::npos) {
    long value = 0;
    std::from_chars(number.data() + e + 1 + (number[e + 1] == '+'), number.data() + number.size(),
                    value);
    exponent += value;
  }
  return exponent;
}

// Converts a text already known to have the decimal real syntax; false when out of range.
bool ConvertDecimalReal(std::string_view number, double& value) {
  // from_chars takes neither a leading '+' nor a bare leading point after a sign in every
  // library version, so hand it the digits and put the sign back ourselves.
  bool negative = false;
  if (!number.empty() && (number.front() == '+' || number.front() == '-')) {
    negative = number.front() == '-';
    number.remove_prefix(1);
  }
  double magnitude = 0;
  auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), magnitude,
                                   std::chars_format::general);
  if (ec == std::errc::result_out_of_range) {
    // Underflow is harmless (the value is 0 to any precision we print); overflow is not a number.
    if (DecimalExponent(number) > 0) return false;
    magnitude = 0;
  } else if (ec != std::errc() || end != number.data() + number.size()) {
    return false;
  }
  if (!std::isfinite(magnitude)) return false;
  value = negative ? -magnitude : magnitude;
  return true;
}

}  // namespace

namespace numbers_detail {

std::optional<int> CompareScaledWithHalf(double magnitude, std::uint32_t scale,
                                         std::uint32_t whole) {
  __extension__ using Wide = unsigned __int128;
  const auto bits = std::bit_cast<std::uint64_t>(magnitude);
  const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
  if (biased == 0 || biased == 0x7FF) return std::nullopt;  // zero, subnormal, inf or nan
  // magnitude = mantissa * 2^exponent exactly, and magnitude * scale against whole + 1/2 is
  // mantissa * scale against (2 whole + 1) * 2^(-exponent - 1), both whole numbers.
  const std::uint64_t mantissa = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
  const int shift = -(biased - 1075) - 1;
  // RoundedUnits takes magnitudes below 4e5, where the shift is 33 or more; past 93 the scaled
  // value is far below a half and (2 whole + 1) << shift would not fit in 128 bits.
  if (shift < 0 || shift > 93) return std::nullopt;
  const Wide product = static_cast<Wide>(mantissa) * scale;
  const Wide half = (static_cast<Wide>(whole) * 2 + 1) << shift;
  return product > half ? 1 : product < half ? -1 : 0;
}

}  // namespace numbers_detail

namespace {

// Writes most values without the general conversion: the value scaled by 10^decimals is rounded
// to the nearest integer, which is exactly what printf does unless the scaled value lies so close
// to a half that the rounding of the multiplication could decide it; those go the long way.
constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Two digits of a number below 100.
char* PutDigitPair(char* out, std::uint32_t pair) {
  std::memcpy(out, kDigitPairs + 2 * pair, 2);
  return out + 2;
}

// The digits of a whole number, without leading zeros ("0" for 0).
char* PutWholeNumber(char* out, std::uint32_t number) {
  // Positions on a part are mostly below 1000: count from the small end.
  int digits = 1;
  for (std::uint32_t bound = 10; digits < 10 && number >= bound; bound *= 10) ++digits;
  char* pos = out + digits;
  while (number >= 100) {
    pos -= 2;
    PutDigitPair(pos, number % 100);
    number /= 100;
  }
  if (number >= 10) {
    PutDigitPair(pos - 2, number);
  } else {
    pos[-1] = static_cast<char>('0' + number);
  }
  return out + digits;
}

template <int kDecimals>
char* WriteFixedFast(char* out, double value) {
  constexpr std::uint32_t kScale = kDecimals == 2 ? 100 : kDecimals == 4 ? 10000 : 1000000;
  const std::optional<std::uint32_t> units = RoundedUnits<kDecimals>(value);
  if (!units) return nullptr;
  const std::uint32_t rounded = *units;
  std::uint32_t fractionPart = rounded % kScale;
  if (std::signbit(value)) *out++ = '-';
  out = PutWholeNumber(out, rounded / kScale);
  *out++ = '.';
  // The decimals, two at a time from the first.
  for (std::uint32_t unit = kScale / 100; unit >= 1; unit /= 100) {
    out = PutDigitPair(out, fractionPart / unit);
    fractionPart %= unit;
    if (unit == 1) break;
  }
  return out;
}

template <int kDecimals>
bool AppendFixedFast(std::string& out, double value) {
  char text[kShortFixedRoom];
  const char* end = WriteFixedFast<kDecimals>(text, value);
  if (end == nullptr) return false;
  out.append(text, static_cast<std::size_t>(end - text));
  return true;
}

}  // namespace

char* WriteShortFixed4(char* out, double value) { return WriteFixedFast<4>(out, value); }
char* WriteShortFixed2(char* out, double value) { return WriteFixedFast<2>(out, value); }

void AppendFixed(std::string& out, double value, int decimals) {
  if (decimals == 4 && AppendFixedFast<4>(out, value)) return;
  if (decimals == 2 && AppendFixedFast<2>(out, value)) return;
  if (decimals == 6 && AppendFixedFast<6>(out, value)) return;
  std::array<char, 400> buffer;  // DBL_MAX in fixed notation with decimals needs 310+ characters
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                              std::chars_format::fixed, decimals);
  out.append(buffer.data(), result.ptr);
}

std::string FormatFixed(double value, int decimals) {
  std::string text;
  AppendFixed(text, value, decimals);
  return text;
}

void AppendInteger(std::string& out, long long value) {
  std::array<char, 24> buffer;
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  out.append(buffer.data(), result.ptr);
}

std::string FormatGeneral(double value) {
  if (value == 0) return "0";
  std::array<char, 64> buffer;
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                              std::chars_format::general, 15);
  std::string text(buffer.data(), result.ptr);
  // "%g" style exponents read better in the window with an upper-case E and no padding zeros.
  const auto e = text.find('e');
  if (e == std::string::npos) return text;
  std::string mantissa = text.substr(0, e);
  std::string exponent = text.substr(e + 1);
  const std::string sign = exponent.front() == '-' ? "-" : "";
  exponent.erase(0, exponent.front() == '-' || exponent.front() == '+' ? 1 : 0);
  exponent.erase(0, std::min(exponent.find_first_not_of('0'), exponent.size() - 1));
  return mantissa + "E" + sign + exponent;
}

double ReadReal(std::string_view text) {
  double value = 0;
  if (text.empty() || DecimalRealLength(text) != text.size() || !ConvertDecimalReal(text, value)) {
    throw Error("'" + std::string(text) + "' is not a valid floating point value");
  }
  return value;
}

std::int32_t ReadInteger(std::string_view text) {
  std::string_view digits = text;
  bool negative = false;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  std::int64_t magnitude = 0;
  auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (digits.empty() || !IsDigit(digits.front()) || ec != std::errc() ||
      end != digits.data() + digits.size() || value < INT32_MIN || value > INT32_MAX) {
    throw Error("'" + std::string(text) + "' is not a valid integer value");
  }
  return static_cast<std::int32_t>(value);
}

ScannedReal ScanReal(std::string_view text) {
  std::size_t blanks = 0;
  while (blanks < text.size() && IsCBlank(text[blanks])) ++blanks;
  if (ScannedReal plain; ScanPlainReal(text, blanks, plain)) return plain;
  const std::size_t length = DecimalRealLength(text.substr(blanks));
  double value = 0;
  if (length == 0 || !ConvertDecimalReal(text.substr(blanks, length), value)) return {};
  return {value, blanks + length};
}

ScannedInteger ScanInteger(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && IsCBlank(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  const std::size_t digitsStart = pos;
  // Leading zeros do not count; past eleven digits the value is out of range whatever follows.
  constexpr std::int64_t kBeyond = std::int64_t{1} << 40;
  std::int64_t magnitude = 0;
  while (pos < text.size() && IsDigit(text[pos])) {
    if (magnitude < kBeyond) magnitude = magnitude * 10 + (text[pos] - '0');
    ++pos;
  }
  if (pos == digitsStart) return {};
  const std::int64_t value = negative ? -magnitude : magnitude;
  if (value < INT32_MIN || value > INT32_MAX) return {};
  return {static_cast<std::int32_t>(value), pos};
}

}  // namespace stylor
