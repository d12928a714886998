#include "settings/engrave_settings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <variant>
#include <vector>

#include "settings/numbers.h"
#include "settings/text8.h"

namespace stylor {
namespace {

TEST(EngraveSettings, EveryFieldHasItsNameInTheTable) {
  const EngraveSettings defaults;
  EXPECT_EQ(AllFields().size(), 91u);
  for (const FieldInfo& field : AllFields()) {
    SCOPED_TRACE(field.name);
    EXPECT_EQ(FindField(field.name), &field);
    EXPECT_EQ(&InfoOf(field.ref), &field);
  }
  EXPECT_EQ(FindField("NoSuchField"), nullptr);
  EXPECT_EQ(kIntegrexModeItems[1], "Mazak G16   (Y, Z, X)");
  EXPECT_EQ(kIntegrexModeItems[6], "Okuma G138  (C, Z, X)");
  EXPECT_TRUE(defaults.PreEngraveW && defaults.PostEngraveW && !defaults.InverseTimeE);
  EXPECT_EQ(defaults.JustifyPoint, -1);  // the start-up selects "A"
}

// The one row of a numeric field holds its reading rule and its place in the jobs' reading
// order: the refusals mark the first box read, so two rows must not share a place, and a number
// without a place would never be marked.
TEST(EngraveSettings, EveryNumberHasItsRuleAndAPlaceOfItsOwnInTheReadingOrder) {
  const EngraveSettings defaults;
  std::vector<int> steps;
  for (const FieldInfo& field : AllFields()) {
    SCOPED_TRACE(field.name);
    EXPECT_FALSE(field.caption.empty()) << "the box's caption, for the status bar and the manual";
    if (field.reading == Reading::Text) {
      EXPECT_EQ(field.readStep, 0);
      continue;
    }
    ASSERT_TRUE(std::holds_alternative<TextField>(field.ref));
    const std::string& typed = defaults.*std::get<TextField>(field.ref);
    if (field.reading == Reading::Real) EXPECT_NO_THROW(ReadReal(typed));
    else EXPECT_NO_THROW(ReadInteger(typed));
    EXPECT_GT(field.readStep, 0);
    steps.push_back(field.readStep);
    if (field.startOf != nullptr) {
      EXPECT_EQ(field.unit, "length");
    }
  }
  std::sort(steps.begin(), steps.end());
  EXPECT_EQ(std::adjacent_find(steps.begin(), steps.end()), steps.end());
  EXPECT_EQ(steps.size(), 34u);
  EXPECT_EQ(InfoOf(&EngraveSettings::Axis1StartE).startOf, &EngraveSettings::Axis1E);
  EXPECT_EQ(InfoOf(&EngraveSettings::IntegrexMode).itemMeanings[6],
            "Writes G138; ends with G136");
}

TEST(ReadLetter, TakesTheFirstCharacterAsIs) {
  EXPECT_EQ(ReadLetter("X"), 'X');
  EXPECT_EQ(ReadLetter("y"), 'y');
  EXPECT_EQ(ReadLetter("Cxyz"), 'C');
  EXPECT_EQ(ReadLetter(""), '\0');
  EXPECT_EQ(ReadLetter("\xc3\x84"), '\xC4');  // Ä is one Windows-1252 byte
  EXPECT_TRUE(IsRotaryLetter('A') && IsRotaryLetter('C'));
  EXPECT_FALSE(IsRotaryLetter('a') || IsRotaryLetter('D'));
}

TEST(Text8, UsesWindows1252AndReplacesWhatItCannotHold) {
  EXPECT_EQ(To8Bit("SN-0042 #1.5/2"), "SN-0042 #1.5/2");
  EXPECT_EQ(To8Bit("\xc3\xa9\xc2\xb0\xe2\x82\xac"), "\xE9\xB0\x80");  // é ° €
  EXPECT_EQ(To8Bit("\xe4\xb8\xad"), "?");                            // a CJK character
  EXPECT_EQ(To8Bit("a\xff" "b"), "a?b");                              // broken UTF-8
  EXPECT_EQ(From8Bit("\xE9\xB0\x80"), "\xc3\xa9\xc2\xb0\xe2\x82\xac");
  EXPECT_EQ(To8Bit(From8Bit("\x81\x9D\xFF")), "\x81\x9D\xFF");
}

struct BrokenUtf8Case {
  const char* utf8;
  const char* bytes;
};

TEST(Text8, BrokenUtf8BecomesQuestionMarksNeverTheCharacterItMimics) {
  const BrokenUtf8Case kCases[] = {
      {"a\xc0\x80z", "a??z"},          // overlong NUL
      {"a\xc0\xafz", "a??z"},          // overlong '/'
      {"\xe0\x80\xaf", "???"},         // overlong '/' in three bytes
      {"\xc1\x81", "??"},              // overlong 'A'
      {"\xf0\x80\x80\xaf", "????"},    // overlong '/' in four bytes
      {"\xed\xa0\x80", "???"},         // a lone surrogate
      {"\xf4\x90\x80\x80", "????"},    // beyond U+10FFFF
      {"\xc2\x81", "\x81"},             // a short two-byte form is fine (U+0081)
      {"\xf0\x9f\x98\x80", "?"},        // a real four-byte character Windows-1252 lacks
  };
  for (const BrokenUtf8Case& c : kCases) {
    SCOPED_TRACE(c.utf8);
    EXPECT_EQ(To8Bit(c.utf8), c.bytes);
  }
}

}  // namespace
}  // namespace stylor
