#include "settings/engrave_settings.h"

#include <gtest/gtest.h>

#include "settings/text8.h"

namespace stylor {
namespace {

TEST(EngraveSettings, EveryFieldHasItsNameInTheTable) {
  const EngraveSettings defaults;
  EXPECT_EQ(AllFields().size(), 49u);
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

}  // namespace
}  // namespace stylor
