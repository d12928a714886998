#include "engrave/fonts/fnt_reader.h"
#include "engrave/fonts/font_file.h"
#include "engrave/fonts/stroke_font.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "settings/error.h"
#include "settings/text8.h"
#include "support/font_text.h"
#include "support/temp_folder.h"

namespace stylor {
namespace {

using test::FontFromText;
using testing::HasSubstr;
using testing::ThrowsMessage;

constexpr const char* kHyphenAndA =
    "SYM -\n"
    "G00 X0 Y0.5\n"
    "G01 Z-1\n"
    "G01 X1 Y0.5\n"
    "G00 Z1\n"
    "SYM A\r\n"
    "G00 X0 Y0\r\n"
    "G01 Z-1\r\n"
    "G01 X0.5 Y1\r\n"
    "G01 X1 Y0\r\n"
    "G00 Z1\r\n";

TEST(LoadFont, ReadsSectionsMovesAndExtents) {
  FontReport report;
  auto font = FontFromText(kHyphenAndA, &report);
  const Glyph& hyphen = *GlyphOf(*font, '-');
  ASSERT_EQ(hyphen.moveCount, 4);
  EXPECT_EQ(font->Moves(hyphen)[0], (GlyphMove{0, 0.5, 0, 0, 0, 0, 0}));
  EXPECT_EQ(font->Moves(hyphen)[1], (GlyphMove{0, 0, -1, 0, 0, 0, 1}));
  EXPECT_EQ(font->Moves(hyphen)[2], (GlyphMove{1, 0.5, 0, 0, 0, 0, 1}));
  EXPECT_EQ(font->Moves(hyphen)[3], (GlyphMove{0, 0, 1, 0, 0, 0, 0}));
  EXPECT_EQ(hyphen.minX, 0);
  EXPECT_EQ(hyphen.maxX, 1);
  EXPECT_EQ(hyphen.minY, 0.5);
  EXPECT_EQ(hyphen.maxY, 0.5);
  EXPECT_EQ(GlyphOf(*font, 'A')->moveCount, 5);
  ASSERT_EQ(report.size(), 3u);
  // Glyph 0's "%c" is code 0, which ends the C string.
  EXPECT_EQ(report[0], "SYM-");
  EXPECT_EQ(report[1],
            "SYM--: Moves:004 minX:0.000000 minY:0.500000 maxX:1.000000 maxY:0.500000 ");
  EXPECT_EQ(report[2], "SYM-A: Moves:005 minX:0.000000 minY:0.000000 maxX:1.000000 maxY:1.000000");
}

TEST(LoadFont, ReadsWordsLikeTheMachineReader) {
  auto font = FontFromText(
      "SYM x\n"
      "g01 x1 y2\n"          // upper-cased
      "G01 X1\n"             // Y absent: 0 and no Y extent
      "(MAX) X1 Y0\n"        // the first X is the one in MAX
      "G01 Z0\n"             // Z 0 or less: down
      "G01 Z\n"              // Z without a number: down
      "G01 Z0.001\n"         // up
      "\n"                   // a blank line is a move of zeros
      "sym A\n"              // not a symbol line
      "G2 X1.5e1 I-2 J3 K4\n");
  const Glyph& g = *GlyphOf(*font, 'x');
  ASSERT_EQ(g.moveCount, 9);
  EXPECT_EQ(font->Moves(g)[0], (GlyphMove{1, 2, 0, 0, 0, 0, 1}));
  EXPECT_EQ(font->Moves(g)[1].y, 0);
  EXPECT_EQ(font->Moves(g)[2].x, 0);
  EXPECT_EQ(font->Moves(g)[3].zDirection, -1);
  EXPECT_EQ(font->Moves(g)[4].zDirection, -1);
  EXPECT_EQ(font->Moves(g)[5].zDirection, 1);
  EXPECT_EQ(font->Moves(g)[6], GlyphMove{});
  EXPECT_EQ(font->Moves(g)[7].g, 0);
  EXPECT_EQ(font->Moves(g)[8], (GlyphMove{15, 0, 0, -2, 3, 4, 2}));
  EXPECT_EQ(g.minY, 0);
  EXPECT_EQ(g.maxY, 2);
  EXPECT_EQ(g.maxX, 15);
}

// The common "G0n X.. Y.." and "G0n Z.." lines are read in one pass; lines that only look like
// them must still read word by word, to the same move.
TEST(LoadFont, UsualLinesAndTheirNearMissesReadAsWords) {
  const struct {
    const char* line;
    GlyphMove move;
  } kCases[] = {
      {"G01 X-0.0476 Y+1.5", {-0.0476, 1.5, 0, 0, 0, 0, 1}},
      {"G00 X.5 Y5.", {0.5, 5, 0, 0, 0, 0, 0}},
      {"G12 X1 Y2", {1, 2, 0, 0, 0, 0, 12}},
      {"G001 X1 Y2", {1, 2, 0, 0, 0, 0, 1}},
      {"G01 X1 Y2 ", {1, 2, 0, 0, 0, 0, 1}},
      {"G01 X1Y2", {1, 2, 0, 0, 0, 0, 1}},
      {"G01 X1 Y2Z1", {1, 2, 1, 0, 0, 0, 1}},
      {"G01 X1 X2 Y3", {1, 3, 0, 0, 0, 0, 1}},
      {"G01 X 1 Y2e-1", {1, 0.2, 0, 0, 0, 0, 1}},
      {"G01 X0.1234567890123456 Y0", {0.1234567890123456, 0, 0, 0, 0, 0, 1}},
      {"G01 Z-1 X5", {5, 0, -1, 0, 0, 0, 1}},
      {"G01 Z0", {0, 0, -1, 0, 0, 0, 1}},
      {"G00 Z+0.001", {0, 0, 1, 0, 0, 0, 0}},
      {"G00 Z1 ", {0, 0, 1, 0, 0, 0, 0}},
  };
  for (const auto& c : kCases) {
    auto font = FontFromText(std::string("SYM x\n") + c.line + "\n");
    const Glyph& glyph = *GlyphOf(*font, 'x');
    ASSERT_EQ(glyph.moveCount, 1) << c.line;
    EXPECT_EQ(font->Moves(glyph)[0], c.move) << c.line;
  }
}

TEST(LoadFont, SplitsLongLinesIntoPiecesOf99) {
  // 99 characters and a line end: the line end comes back as a second, empty piece.
  const std::string line99 = "G01 X2" + std::string(93, ' ');
  auto font = FontFromText("SYM a\n" + line99 + "\n");
  ASSERT_EQ(GlyphOf(*font, 'a')->moveCount, 2);
  EXPECT_EQ(MovesOf(*font, 'a')[0].x, 2);
  EXPECT_EQ(MovesOf(*font, 'a')[1], GlyphMove{});
  // Longer: the hundredth character starts a piece of its own, read as a move line.
  auto split = FontFromText("SYM b\n" + line99 + "X3\n");
  ASSERT_EQ(GlyphOf(*split, 'b')->moveCount, 2);
  EXPECT_EQ(MovesOf(*split, 'b')[0].x, 2);
  EXPECT_EQ(MovesOf(*split, 'b')[1].x, 3);
}

// The reader sees lines as a C text stream with a 100-byte buffer gives them: the fifth character
// of a bare "SYM " line is its line end, and a CR counts only where it is not part of CR LF.
TEST(LoadFont, ReadsPiecesAsTheTextStreamGivesThem) {
  const std::string line98 = "G01 X2" + std::string(92, ' ');
  const struct {
    const char* name;
    std::string text;
    char code;
    int moves;
  } kCases[] = {
      {"BareSymbolLineNamesTheLineEnd", "SYM \nX1 Y1\n", '\n', 1},
      {"BareSymbolLineAtTheEndNamesCodeZero", "X5\nSYM A\nX1\nSYM ", '\0', 0},
      {"CrLfIsOneCharacter", "SYM a\r\n" + line98 + "\r\n", 'a', 1},
      {"ALoneCrIsACharacter", "SYM a\n" + line98 + "\r\r\n", 'a', 2},
      {"EmptyLinesAreMoves", "SYM a\n\n\r\n\nX1", 'a', 4},
      {"LastLineWithoutLineEnd", "SYM a\nX1 Y1", 'a', 1},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    auto font = FontFromText(c.text);
    EXPECT_EQ(GlyphOf(*font, c.code)->moveCount, c.moves);
  }
}

// A file saved with CR line ends only reads as the same file with LF or CR LF line ends.
TEST(LoadFont, ReadsAFileWithCrLineEndsOnly) {
  std::string lf = kHyphenAndA;
  lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
  std::string cr = lf;
  std::replace(cr.begin(), cr.end(), '\n', '\r');
  FontReport expectedReport, report;
  auto expected = FontFromText(lf, &expectedReport);
  auto font = FontFromText(cr, &report);
  EXPECT_EQ(report, expectedReport);
  for (const char c : {'-', 'A'}) {
    ASSERT_EQ(GlyphOf(*font, c)->moveCount, GlyphOf(*expected, c)->moveCount);
    EXPECT_TRUE(std::ranges::equal(MovesOf(*font, c), MovesOf(*expected, c)));
  }
}

// Sections of one code again and again: the table keeps the last one and the other glyphs whole,
// however many moves the replaced sections held.
TEST(LoadFont, ManyRepeatedSectionsKeepTheLastAndEveryOtherGlyph) {
  std::string text = "SYM B\nX0 Y0\nX0.5 Y1\n";
  for (int section = 0; section < 30000; ++section) {
    text += "SYM A\nX" + std::to_string(section) + " Y1\nG01 Z-1\n";
  }
  text += "SYM C\nX3 Y3\n";
  auto font = FontFromText(text);
  const Glyph& a = *GlyphOf(*font, 'A');
  ASSERT_EQ(a.moveCount, 2);
  EXPECT_EQ(font->Moves(a)[0], (GlyphMove{29999, 1, 0, 0, 0, 0, 0}));
  EXPECT_EQ(font->Moves(a)[1], (GlyphMove{0, 0, -1, 0, 0, 0, 1}));
  ASSERT_EQ(GlyphOf(*font, 'B')->moveCount, 2);
  EXPECT_EQ(MovesOf(*font, 'B')[1], (GlyphMove{0.5, 1, 0, 0, 0, 0, 0}));
  EXPECT_EQ(MovesOf(*font, 'C')[0].x, 3);
}

// The glyph table holds only what the font has, yet a copy is a font of its own.
TEST(StrokeFont, ACopyKeepsItsMovesWhenTheOriginalIsReloadedOrGone) {
  auto font = FontFromText(kHyphenAndA);
  const StrokeFont copy = *font;
  ParseFont("SYM A\nX9 Y9\n", "other.fnt", *font, *std::make_unique<FontReport>());
  EXPECT_EQ(MovesOf(*font, 'A')[0].x, 9);
  font.reset();
  ASSERT_EQ(GlyphOf(copy, 'A')->moveCount, 5);
  EXPECT_EQ(MovesOf(copy, 'A')[2], (GlyphMove{0.5, 1, 0, 0, 0, 0, 1}));
  EXPECT_EQ(MovesOf(copy, '-')[3], (GlyphMove{0, 0, 1, 0, 0, 0, 0}));
  StrokeFont moved = std::move(const_cast<StrokeFont&>(copy));
  EXPECT_EQ(MovesOf(moved, 'A')[2].x, 0.5);
  EXPECT_EQ(GlyphOf(copy, 'A')->moveCount, 0);  // what is left behind is an empty table
  // Codes that no font named are empty glyphs, 8-bit ones too.
  for (const char code : {'Q', '\xE9'}) {
    EXPECT_EQ(GlyphOf(moved, code)->moveCount, 0);
    EXPECT_EQ(GlyphOf(moved, code)->maxX, 0);
  }
}

TEST(LoadFont, ALaterSectionReplacesTheMovesAndAnotherFontKeepsOldExtents) {
  auto font = std::make_unique<StrokeFont>();
  FontReport report;
  ParseFont("SYM A\nG00 X0 Y0\nG01 X2 Y1\nSYM B\nX0 Y0\nX0.5 Y1\nSYM A\nX0 Y0\n", "a.fnt", *font,
            report);
  EXPECT_EQ(GlyphOf(*font, 'A')->moveCount, 1);
  EXPECT_EQ(GlyphOf(*font, 'A')->maxX, 0);
  EXPECT_EQ(report[1], "SYM-A: Moves:002 minX:0.000000 minY:0.000000 maxX:2.000000 maxY:1.000000 ");
  ParseFont("SYM A\nX0 Y0\nX1 Y1\n", "b.fnt", *font, report);
  EXPECT_EQ(GlyphOf(*font, 'B')->moveCount, 0);
  EXPECT_EQ(TextWidth(*font, "B", 1, 1, 1), 0.5);  // the extents of the earlier font stay
}

TEST(LoadFont, AGlyphWithoutXWordsMeasuresZeroButReportsItsSentinels) {
  FontReport report;
  auto font = FontFromText("SYM .\nG01 Z-1\nG00 Z1\nSYM A\nX0 Y0\nX1 Y1\n", &report);
  EXPECT_EQ(GlyphOf(*font, '.')->maxX, -1000000);
  EXPECT_EQ(GlyphWidth(*font, '.'), 0);
  EXPECT_DOUBLE_EQ(TextWidth(*font, ".A", 1, 1, 1), 0.35 + 1);
  EXPECT_THAT(report[1], HasSubstr("minX:1000000.000000"));
}

struct RefusedFont {
  const char* name;
  std::string text;
  const char* reason;
};

TEST(LoadFont, RefusesBadFilesAndLeavesAnEmptyTable) {
  const RefusedFont kCases[] = {
      {"Empty", "", "defines no character"},
      {"NoSymbolLine", "G00 X0 Y0\n", "defines no character"},
      {"Binary", std::string("SYM A\nX1\0\x01\x02", 11), "binary data"},
      {"TooManyMoves", "SYM W\n" + [] {
         std::string moves;
         for (int i = 0; i < 201; ++i) moves += "G01 X1 Y1\n";
         return moves;
       }(), "'W' (code 87) has more than 200 moves"},
  };
  for (const RefusedFont& c : kCases) {
    SCOPED_TRACE(c.name);
    auto font = std::make_unique<StrokeFont>();
    FontReport report;
    ParseFont(kHyphenAndA, "good.fnt", *font, report);
    const std::string file = "bad.fnt";
    EXPECT_THAT([&] { ParseFont(c.text, file, *font, report); },
                ThrowsMessage<Error>(AllOf(HasSubstr("'" + file + "'"), HasSubstr(c.reason))));
    EXPECT_EQ(GlyphOf(*font, 'A')->moveCount, 0);
    EXPECT_TRUE(report.empty());
  }
}

TEST(LoadFont, NamesAFileThatCannotBeReadAndTheReason) {
  test::TempFolder dir;
  auto font = std::make_unique<StrokeFont>();
  FontReport report;
  LoadFont(dir.Write("good.fnt", kHyphenAndA), *font, report);
  ASSERT_TRUE(font->HasMoves());
  const std::string missing = dir.File("missing.fnt");
  EXPECT_THAT([&] { LoadFont(missing, *font, report); },
              ThrowsMessage<Error>("Cannot load the font file '" + missing +
                                   "': No such file or directory"));
  EXPECT_TRUE(report.empty());
  EXPECT_FALSE(font->HasMoves());
  EXPECT_EQ(GlyphOf(*font, 'A')->moveCount, 0);
  EXPECT_THAT([&] { LoadFont(dir.Path().string(), *font, report); },
              ThrowsMessage<Error>(HasSubstr("Is a directory")));
}

// A pipe that no one writes to, or a terminal, would keep the reader waiting for ever.
TEST(LoadFont, RefusesWhatIsNotARegularFileWithoutWaitingForIt) {
  test::TempFolder dir;
  const std::string pipe = dir.File("pipe.fnt");
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  for (const std::string& file : {pipe, std::string("/dev/null"), std::string("/dev/zero")}) {
    SCOPED_TRACE(file);
    auto font = std::make_unique<StrokeFont>();
    FontReport report;
    EXPECT_THAT([&] { LoadFont(file, *font, report); },
                ThrowsMessage<Error>(AllOf(HasSubstr("'" + file + "'"),
                                           HasSubstr("is not a regular file"))));
  }
}

TEST(TextWidth, SumsAdvancesLessTheLastGap) {
  auto font = FontFromText(kHyphenAndA);
  EXPECT_EQ(TextWidth(*font, "", 1, 1, 1), 0);
  EXPECT_EQ(TextWidth(*font, "A", 2, 1, 1), 2);
  EXPECT_DOUBLE_EQ(TextWidth(*font, "A-", 0.5, 2, 1.5), (1 + 0.35) * 1.5 + 1 * 1.5);
  EXPECT_DOUBLE_EQ(TextWidth(*font, "\xE9" "A", 1, 1, 1), 0.35 + 1);  // é lacks a glyph
}

// Windows-1252 characters from 128 up have sections of their own, and the characters that the
// last font lacks are named once each, the blank never.
TEST(LoadFont, EightBitCharactersHaveGlyphsAndMissingOnesAreNamed) {
  FontReport report;
  auto font = FontFromText("SYM \xB0\nG00 X0 Y1\nG01 X0.3 Y1\nSYM A\nX0 Y0\nX1 Y1\n", &report);
  EXPECT_EQ(GlyphOf(*font, '\xB0')->moveCount, 2);
  EXPECT_EQ(GlyphWidth(*font, '\xB0'), 0.3);
  EXPECT_EQ(report[1], "SYM-\xB0: Moves:002 minX:0.000000 minY:1.000000 maxX:0.300000 maxY:1.000000 ");
  EXPECT_EQ(MissingGlyphs(*font, "A\xB0 \xD8\xB1 A \xD8x"), "\xD8\xB1x");
  EXPECT_EQ(MissingGlyphs(*font, "A\xB0"), "");
  // A later font that lacks the degree sign: it is missing, whatever extents it keeps.
  ParseFont("SYM A\nX0 Y0\n", "b.fnt", *font, report);
  EXPECT_EQ(MissingGlyphs(*font, "\xB0"), "\xB0");
}

// The faces that ship draw the characters machinists engrave on parts: each has a cut (a plunge
// and a move in the plane), whatever letters a face is made of.
TEST(ShippedFonts, DrawTheWindows1252CharactersOfParts) {
  const std::string symbols = To8Bit("\u00B0\u00B1\u00B5\u00D7\u00F7\u00B2\u00B3\u00BC\u00BD\u00BE\u00A9\u00AE");
  const std::string latin = To8Bit(
      "\u00D8\u00F8\u20AC\u00E9\u00E8\u00EA\u00EB\u00E0\u00E2\u00E4\u00E5\u00E7\u00F1\u00F6\u00F4"
      "\u00FC\u00FB\u00EF\u00EE\u00DF\u00C9\u00C8\u00CA\u00CB\u00C0\u00C2\u00C4\u00C5\u00C7\u00D1"
      "\u00D6\u00D4\u00DC\u00DB\u00CF\u00CE");
  const struct {
    const char* face;
    std::string characters;
  } kFaces[] = {
      {"BasicFont.fnt", symbols + latin + "\xA7"},
      {"DuplexRoman.fnt", symbols + latin + "\xA7"},
      {"ComplexRoman.fnt", symbols + latin + "\xA7"},
      {"Script.fnt", symbols + latin + "\xA7"},
      {"Gothic.fnt", symbols + latin},  // its section sign would need more than 200 moves
      {"Greek.fnt", symbols + "\xA7"},    // Greek letters: no Latin accents to put on them
  };
  for (const auto& c : kFaces) {
    SCOPED_TRACE(c.face);
    StrokeFont font;
    FontReport report;
    LoadFont(std::string(STYLOR_SOURCE_DIR) + "/fonts/" + c.face, font, report);
    EXPECT_EQ(MissingGlyphs(font, c.characters), "");
    for (const char ch : c.characters) {
      const auto moves = MovesOf(font, ch);
      const auto plunges = std::count_if(moves.begin(), moves.end(),
                                         [](const GlyphMove& m) { return m.zDirection < 0; });
      EXPECT_GT(plunges, 0) << From8Bit(std::string(1, ch));
    }
  }
}

}  // namespace
}  // namespace stylor
