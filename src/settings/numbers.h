#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

namespace stylor {

/// Appends `value` as printf("%1.<decimals>lf") would, whatever the process's locale.
void AppendFixed(std::string& out, double value, int decimals);

/// `value` as printf("%1.<decimals>lf") would write it, whatever the locale.
std::string FormatFixed(double value, int decimals);

/// Room WriteShortFixed4 and WriteShortFixed2 need.
constexpr std::size_t kShortFixedRoom = 24;

/// Writes `value` with four decimals, byte for byte as AppendFixed, to `out` (kShortFixedRoom
/// characters of room) and returns the end of the text; returns nullptr, writing nothing
/// useful, for a value that only AppendFixed writes (4e5 or more in size, or not finite).
char* WriteShortFixed4(char* out, double value);

/// The same with two decimals, byte for byte as AppendFixed(out, value, 2).
char* WriteShortFixed2(char* out, double value);

namespace numbers_detail {

// Where |value| * scale lies against whole + 1/2, decided exactly from the bits of the double:
// above (1), on it (0) or below (-1); nothing for a value outside what RoundedUnits takes.
std::optional<int> CompareScaledWithHalf(double magnitude, std::uint32_t scale,
                                         std::uint32_t whole);

}  // namespace numbers_detail

/// The size of `value` in units of the last written decimal (ten-thousandths for 4), rounded as
/// the fixed-point text rounds it (a value on a tie to the even unit, as printf does); nothing
/// for a value of 4e9 units or more. The one rounding of the fast paths: the move writer's text
/// and its test of what changed both use it.
template <int kDecimals>
inline std::optional<std::uint32_t> RoundedUnits(double value) {
  static_assert(kDecimals == 2 || kDecimals == 4 || kDecimals == 6);
  constexpr std::uint32_t kScale = kDecimals == 2 ? 100 : kDecimals == 4 ? 10000 : 1000000;
  // Keeps the scaled value below 2^32 and far above the rounding error of one multiplication.
  constexpr double kLimit = 4e9 / kScale;
  const double magnitude = std::abs(value);
  if (!(magnitude < kLimit)) return std::nullopt;
  const double scaled = magnitude * kScale;
  const auto whole = static_cast<std::uint32_t>(scaled);  // truncation: the floor of a positive
  const double fraction = scaled - whole;
  if (std::abs(fraction - 0.5) < 1e-4) {
    // Near a tie the rounded product cannot tell: heights such as .125 put many coordinates
    // within a hair of one. The exact product of the bits decides.
    const std::optional<int> side = numbers_detail::CompareScaledWithHalf(magnitude, kScale, whole);
    if (!side) return std::nullopt;
    return whole + (*side > 0 || (*side == 0 && (whole & 1) != 0) ? 1u : 0u);
  }
  return whole + (fraction > 0.5 ? 1u : 0u);
}

/// `value` as printf("%d") would write it.
void AppendInteger(std::string& out, long long value);

/// Shortest decimal form of `value` with at most 15 significant digits and no trailing zeros
/// ("0", "1.65", "0.125"; "1E20", "1E-5" for very large or very small values).
std::string FormatGeneral(double value);

/// Reads the whole text as a finite decimal real ("-.001", "1.5e3", "+2");
/// throws Error "'<text>' is not a valid floating point value" otherwise (also for blanks,
/// a decimal comma, "inf", "nan" and values out of range).
double ReadReal(std::string_view text);

/// Reads the whole text as a decimal signed 32-bit integer ("-42", "+7");
/// throws Error "'<text>' is not a valid integer value" otherwise.
std::int32_t ReadInteger(std::string_view text);

/// A number read from the front of a text the way C's "%lf" takes it: leading blanks, sign,
/// digits, point, exponent. `used` is 0 when no number starts there. A value too large for a
/// double, or one spelled "inf" or "nan", counts as no number.
struct ScannedReal {
  double value = 0;
  std::size_t used = 0;
};
ScannedReal ScanReal(std::string_view text);

/// The plain numbers of fonts and programs ("-0.0476", "12", ".5"), read from `pos` of `text`
/// with no blanks first: at most 15 significant digits and no exponent. `scanned.used` is where
/// the number ends in `text`. The value is the one ScanReal gives; false, with `scanned` as it
/// was, for any other number, which ScanReal reads by its general route.
inline bool ScanPlainReal(std::string_view text, std::size_t pos, ScannedReal& scanned);

/// A decimal integer read from the front of a text the way C's "%d" takes it; values beyond
/// 32 bits count as no number (`used` 0).
struct ScannedInteger {
  std::int32_t value = 0;
  std::size_t used = 0;
};
ScannedInteger ScanInteger(std::string_view text);

namespace numbers_detail {

// Powers of ten that a double holds exactly.
inline constexpr double kExactPowersOfTen[23] = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

}  // namespace numbers_detail

// Inline, as the readers of programs and fonts call it for every word. Its digits make an
// integer that a double holds exactly, and so does the power of ten, so one correctly rounded
// division gives the correctly rounded value, the one from_chars gives.
inline bool ScanPlainReal(std::string_view text, std::size_t pos, ScannedReal& scanned) {
  // At most 15 significant digits: the digits after any leading zeros stay below 10^15.
  constexpr std::uint64_t kMantissaLimit = 1'000'000'000'000'000;
  const char* at = text.data() + pos;
  const char* const end = text.data() + text.size();
  const bool negative = at < end && *at == '-';
  if (at < end && (*at == '+' || *at == '-')) ++at;
  const char* const digitsStart = at;
  std::uint64_t mantissa = 0;
  for (; at < end && static_cast<unsigned>(*at - '0') < 10; ++at) {
    mantissa = mantissa * 10 + static_cast<unsigned>(*at - '0');
    if (mantissa >= kMantissaLimit) return false;
  }
  std::size_t digits = static_cast<std::size_t>(at - digitsStart);
  std::size_t fraction = 0;
  if (at < end && *at == '.') {
    const char* const fractionStart = ++at;
    for (; at < end && static_cast<unsigned>(*at - '0') < 10; ++at) {
      mantissa = mantissa * 10 + static_cast<unsigned>(*at - '0');
      if (mantissa >= kMantissaLimit) return false;
    }
    fraction = static_cast<std::size_t>(at - fractionStart);
    digits += fraction;
  }
  if (digits == 0 || fraction >= std::size(numbers_detail::kExactPowersOfTen)) return false;
  if (at < end && (*at == 'e' || *at == 'E')) return false;
  const double magnitude =
      static_cast<double>(mantissa) / numbers_detail::kExactPowersOfTen[fraction];
  scanned = {negative ? -magnitude : magnitude, static_cast<std::size_t>(at - text.data())};
  return true;
}

}  // namespace stylor
