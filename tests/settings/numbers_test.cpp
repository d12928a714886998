#include "settings/numbers.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "settings/error.h"

namespace stylor {
namespace {

using testing::HasSubstr;
using testing::ThrowsMessage;

struct FixedCase {
  double value;
  int decimals;
  const char* text;
};

TEST(FormatFixed, MatchesPrintfRoundingAndSigns) {
  constexpr FixedCase kCases[] = {
      {0.00005, 4, "0.0001"},   {-0.00004, 4, "-0.0000"}, {1.23445, 4, "1.2345"},
      {-0.0, 4, "-0.0000"},     {0.99995, 4, "1.0000"},   {2.00005, 4, "2.0000"},
      {1432.394, 2, "1432.39"}, {25, 2, "25.00"},         {1e15, 4, "1000000000000000.0000"},
      {1000000, 6, "1000000.000000"}, {0.03125, 4, "0.0312"},  {0.09375, 4, "0.0938"},
      {-0.15625, 4, "-0.1562"}, {0.125, 2, "0.12"},         {0.375, 2, "0.38"},
  };
  for (const FixedCase& c : kCases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(FormatFixed(c.value, c.decimals), c.text);
  }
}

TEST(FormatFixed, IgnoresACommaLocale) {
  // The window sets the C numeric locale from the user's environment; output must not follow it.
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  const char* comma = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "fr_FR.UTF-8"}) {
    if (std::setlocale(LC_NUMERIC, name) != nullptr &&
        std::string_view(std::localeconv()->decimal_point) == ",") {
      comma = name;
      break;
    }
  }
  if (comma == nullptr) {
    std::setlocale(LC_NUMERIC, saved.c_str());
    GTEST_SKIP() << "no locale with a decimal comma here; scripts/setup makes de_DE.UTF-8 with "
                    "localedef";
  }
  EXPECT_EQ(FormatFixed(1.5, 4), "1.5000") << comma;
  EXPECT_EQ(ReadReal("-.001"), -0.001) << comma;
  EXPECT_THAT([] { ReadReal("1,5"); },
              ThrowsMessage<Error>("'1,5' is not a valid floating point value"));
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(ReadReal, TakesDecimalTexts) {
  EXPECT_EQ(ReadReal(".125"), 0.125);
  EXPECT_EQ(ReadReal("-.001"), -0.001);
  EXPECT_EQ(ReadReal("+2"), 2);
  EXPECT_EQ(ReadReal("1.5e3"), 1500);
  EXPECT_EQ(ReadReal("5."), 5);
  EXPECT_EQ(ReadReal("1e-400"), 0);  // below any precision we print
}

TEST(ReadReal, RefusesEverythingElseWithTheText) {
  for (const char* text : {"", "abc", " 1", "1 ", "1,5", "1e999", "-1e999", "inf", "nan", "-",
                           ".", "0x10", "1.2.3", "e5"}) {
    SCOPED_TRACE(text);
    EXPECT_THAT([&] { ReadReal(text); },
                ThrowsMessage<Error>(std::string("'") + text +
                                     "' is not a valid floating point value"));
  }
}

TEST(ReadInteger, TakesSigned32BitDecimals) {
  EXPECT_EQ(ReadInteger("50"), 50);
  EXPECT_EQ(ReadInteger("-51"), -51);
  EXPECT_EQ(ReadInteger("+7"), 7);
  EXPECT_EQ(ReadInteger("2147483647"), 2147483647);
  EXPECT_EQ(ReadInteger("-2147483648"), -2147483647 - 1);
  for (const char* text : {"", "1.5", "2147483648", " 1", "0x10", "-", "1e3", "12a"}) {
    SCOPED_TRACE(text);
    EXPECT_THAT([&] { ReadInteger(text); },
                ThrowsMessage<Error>(std::string("'") + text + "' is not a valid integer value"));
  }
}

// The plain numbers of fonts and programs take a short way (one division); it must give the bits
// that the exact conversion gives, for every count of digits and place of the point around the
// 15 digits where the short way ends.
TEST(ScanReal, PlainNumbersGiveTheBitsOfTheExactConversion) {
  std::uint64_t state = 0x9E3779B97F4A7C15u;
  const auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  for (int n = 0; n < 400000; ++n) {
    const int digits = 1 + static_cast<int>(next() % 18);
    std::string number;
    for (int d = 0; d < digits; ++d) number += static_cast<char>('0' + next() % 10);
    if (next() % 4 == 0) number.insert(0, std::string(next() % 4, '0'));
    const std::size_t point = next() % (number.size() + 2);
    if (point <= number.size()) number.insert(point, ".");
    const char* sign = n % 3 == 0 ? "-" : n % 7 == 0 ? "+" : "";
    const std::string text = " " + (sign + number) + (n % 2 ? " Y1" : "");
    double expected = 0;
    const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), expected);
    ASSERT_EQ(ec, std::errc()) << text;
    if (*sign == '-') expected = -expected;
    const ScannedReal scanned = ScanReal(text);
    ASSERT_EQ(std::bit_cast<std::uint64_t>(scanned.value), std::bit_cast<std::uint64_t>(expected))
        << text;
    ASSERT_EQ(scanned.used, 1 + std::string_view(sign).size() + number.size()) << text;
  }
}

TEST(ScanReal, ReadsAPrefixTheWayCDoes) {
  EXPECT_EQ(ScanReal("  -1.5e2abc").value, -150);
  EXPECT_EQ(ScanReal("  -1.5e2abc").used, 8u);
  EXPECT_EQ(ScanReal("1e").value, 1);
  EXPECT_EQ(ScanReal(".5 Y2").value, 0.5);
  EXPECT_EQ(ScanReal("AX").used, 0u);
  EXPECT_EQ(ScanReal("inf").used, 0u);
  EXPECT_EQ(ScanReal("1e999").used, 0u);
  EXPECT_EQ(ScanInteger("01 X").value, 1);
  EXPECT_EQ(ScanInteger("99999999999").used, 0u);
  EXPECT_EQ(ScanInteger(" -2147483648X").value, INT32_MIN);
  EXPECT_EQ(ScanInteger(" -2147483648X").used, 12u);
  EXPECT_EQ(ScanInteger("2147483648").used, 0u);
  EXPECT_EQ(ScanInteger("+000000000000000000007.5").value, 7);
  EXPECT_EQ(ScanInteger("- 1").used, 0u);
}

TEST(FormatGeneral, WritesTheShortestFormUpTo15Digits) {
  EXPECT_EQ(FormatGeneral(0), "0");
  EXPECT_EQ(FormatGeneral(1.65), "1.65");
  EXPECT_EQ(FormatGeneral(0.125 * 0.65), "0.08125");
  EXPECT_EQ(FormatGeneral(0.1 + 0.2), "0.3");
  EXPECT_EQ(FormatGeneral(-2.5), "-2.5");
  EXPECT_EQ(FormatGeneral(1e20), "1E20");
}

TEST(WithFullStop, AddsAStopAfterCharactersAboveTheStop) {
  EXPECT_EQ(WithFullStop("'a' is not a valid integer value"), "'a' is not a valid integer value.");
  EXPECT_EQ(WithFullStop("done."), "done.");
  EXPECT_EQ(WithFullStop("(x)"), "(x)");  // ')' is below '.'
  EXPECT_EQ(WithFullStop(""), "");
}

}  // namespace
}  // namespace stylor

namespace stylor {
namespace {

TEST(FormatFixed, AgreesWithTheFullConversionOnManyValues) {
  // The reference is std::to_chars, which rounds the exact binary value like printf.
  std::uint64_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    return seed >> 11;
  };
  for (int n = 0; n < 200000; ++n) {
    const double magnitude = std::ldexp(static_cast<double>(next()), -53) *
                             std::pow(10.0, static_cast<int>(next() % 11) - 5);
    // Every fifth value sits on a decimal half, where the rounding is hardest.
    double value = n % 5 == 0 ? (std::round(magnitude * 1e4) + 0.5) / 1e4 : magnitude;
    if (next() % 2) value = -value;
    for (int decimals : {2, 4, 6}) {
      char buffer[400];
      auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed,
                                  decimals);
      ASSERT_EQ(FormatFixed(value, decimals), std::string(buffer, result.ptr)) << value;
    }
  }
  // Exact ties (binary fractions such as 1/32, which go to the even digit) and the values a
  // hair either side of them, as heights like .125 make them, in both signs.
  for (int power = 3; power <= 14; ++power) {
    for (int k = 1; k < 4000; k += 7) {
      const double tie = std::ldexp(k, -power);
      for (const double value : {tie, std::nextafter(tie, 0.0), std::nextafter(tie, 1e9), -tie}) {
        for (int decimals : {2, 4, 6}) {
          char buffer[400];
          auto result = std::to_chars(buffer, buffer + sizeof buffer, value,
                                      std::chars_format::fixed, decimals);
          ASSERT_EQ(FormatFixed(value, decimals), std::string(buffer, result.ptr)) << value;
        }
      }
    }
  }
}

}  // namespace
}  // namespace stylor
