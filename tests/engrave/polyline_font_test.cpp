#include "engrave/fonts/cxf_reader.h"
#include "engrave/fonts/font_file.h"
#include "engrave/fonts/lff_reader.h"
#include "engrave/fonts/polyline_font.h"
#include "engrave/fonts/stroke_font.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <vector>

#include "engrave/emitter.h"
#include "engrave/prepared_job.h"
#include "settings/error.h"
#include "support/font_text.h"
#include "support/temp_folder.h"

namespace stylor {
namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;
using testing::ThrowsMessage;

const std::string kData = STYLOR_TEST_DATA;

// Moves of the fixtures' glyphs, worked out by hand: both fixtures draw capitals 10 units high on
// the baseline, so a font unit is 0.1 glyph units.
constexpr GlyphMove Travel(double x, double y) { return {x, y, 0, 0, 0, 0, 0}; }
constexpr GlyphMove Cut(double x, double y) { return {x, y, 0, 0, 0, 0, 1}; }
constexpr GlyphMove kPlunge{0, 0, -1, 0, 0, 0, 1};
constexpr GlyphMove kLift{0, 0, 1, 0, 0, 0, 0};

std::vector<GlyphMove> MoveList(const StrokeFont& font, char c) {
  const auto moves = stylor::MovesOf(font, c);
  return {moves.begin(), moves.end()};
}

struct Loaded {
  StrokeFont font;
  FontReport report;
};

Loaded LoadFixture(const std::string& name) {
  Loaded loaded;
  LoadFont(kData + "/" + name, loaded.font, loaded.report);
  return loaded;
}

// The cut points of a glyph's arc lie on its circle, and no chord strays further from the arc
// than 1/500 of the capital height.
void ExpectOnCircle(const std::vector<GlyphMove>& moves, std::size_t first, std::size_t last,
                    double centreX, double centreY, double radius) {
  for (std::size_t m = first; m <= last; ++m) {
    SCOPED_TRACE(m);
    EXPECT_NEAR(std::hypot(moves[m].x - centreX, moves[m].y - centreY), radius, 1e-9);
    if (m == first) continue;
    const double midX = (moves[m].x + moves[m - 1].x) / 2;
    const double midY = (moves[m].y + moves[m - 1].y) / 2;
    EXPECT_LE(radius - std::hypot(midX - centreX, midY - centreY), 0.002);
  }
}

TEST(LffFont, ConvertsArcsReferencesAndCodePointsIntoTheTable) {
  const Loaded lff = LoadFixture("tiny.lff");
  const std::vector<GlyphMove> e = {
      Travel(0, 0),   kPlunge, Cut(0, 1),     Cut(0.6, 1), kLift,
      Travel(0, 0.5), kPlunge, Cut(0.4, 0.5), kLift,
      Travel(0, 0),   kPlunge, Cut(0.6, 0),   kLift};
  EXPECT_EQ(MoveList(lff.font, 'E'), e);
  const Glyph& glyphE = *GlyphOf(lff.font, 'E');
  EXPECT_EQ(glyphE.minX, 0);
  EXPECT_EQ(glyphE.maxX, 0.6);
  EXPECT_EQ(glyphE.maxY, 1);

  // É (0xC9) draws E by reference, then its accent: E's lift and a new stroke.
  std::vector<GlyphMove> eAcute(e);
  eAcute.insert(eAcute.end(), {Travel(0.2, 1.1), kPlunge, Cut(0.4, 1.3), kLift});
  EXPECT_EQ(MoveList(lff.font, '\xC9'), eAcute);

  // € is U+20AC, 0x80 in Windows-1252. It keeps its left side bearing: the width runs from
  // X 0 to its right side. Ж has no 8-bit code.
  EXPECT_EQ(MoveList(lff.font, '\x80'), (std::vector<GlyphMove>{
                                           Travel(0.1, 0.4), kPlunge, Cut(0.5, 0.4), kLift,
                                           Travel(0.1, 0.6), kPlunge, Cut(0.5, 0.6), kLift}));
  EXPECT_EQ(GlyphWidth(lff.font, '\x80'), 0.5);

  // D: up the stem, then a half circle clockwise (bulge -1) of radius 0.5 back to the foot, in
  // 18 chords at a tolerance of 0.002 (2 x acos(1 - 0.002 / 0.5) = 0.1789 rad a chord).
  const std::vector<GlyphMove> d = MoveList(lff.font, 'D');
  ASSERT_EQ(d.size(), 22u);
  EXPECT_EQ(d[2], Cut(0, 1));
  EXPECT_NEAR(d[11].x, 0.5, 1e-12);  // the ninth chord ends at the arc's rightmost point
  EXPECT_NEAR(d[11].y, 0.5, 1e-12);
  EXPECT_EQ(d[20], Cut(0, 0));
  ExpectOnCircle(d, 2, 20, 0, 0.5, 0.5);

  // The font's metrics: a letter gap of 2 units, a blank of word spacing 6 less that gap.
  EXPECT_EQ(lff.font.LetterGap(), 0.2);
  EXPECT_EQ(GlyphWidth(lff.font, ' '), 0.4);
  EXPECT_DOUBLE_EQ(TextWidth(lff.font, "E E", 1, 1, 1), 0.6 + 0.2 + 0.4 + 0.2 + 0.6);

  EXPECT_EQ(lff.report.front(),
            "SYM-E: Moves:013 minX:0.000000 minY:0.000000 maxX:0.600000 maxY:1.000000");
  EXPECT_EQ(lff.report.size(), 5u);  // E D É € and the blank
  EXPECT_EQ(MissingGlyphs(lff.font, "ED\xC9\x80 e"), "e");
}

TEST(CxfFont, ConvertsLinesAndArcsInBothDirections) {
  const Loaded cxf = LoadFixture("tiny.cxf");
  // Four lines: the second goes on from the first, the third is cut backwards from where the
  // tool is, the fourth starts afresh.
  EXPECT_EQ(MoveList(cxf.font, 'E'), (std::vector<GlyphMove>{
                                        Travel(0.6, 1), kPlunge, Cut(0, 1), Cut(0, 0),
                                        Cut(0.6, 0), kLift, Travel(0, 0.5), kPlunge,
                                        Cut(0.4, 0.5), kLift}));
  EXPECT_EQ(MoveList(cxf.font, '\x80').size(), 8u);

  // C: counter-clockwise from 45 to 315 degrees about (0.5, 0.5), in two pieces of 135 degrees
  // of 14 chords each. G: the same arc clockwise, so the same points backwards.
  const std::vector<GlyphMove> c = MoveList(cxf.font, 'C');
  const std::vector<GlyphMove> g = MoveList(cxf.font, 'G');
  ASSERT_EQ(c.size(), 31u);
  ASSERT_EQ(g.size(), 31u);
  const double corner = 0.5 + 0.5 * std::sqrt(0.5);
  EXPECT_NEAR(c[0].x, corner, 1e-12);
  EXPECT_NEAR(c[0].y, corner, 1e-12);
  EXPECT_NEAR(c[15].x, 0, 1e-12);  // the far left at 180 degrees
  EXPECT_NEAR(c[15].y, 0.5, 1e-12);
  ExpectOnCircle(c, 2, 29, 0.5, 0.5, 0.5);
  for (std::size_t m = 2; m <= 28; ++m) {
    EXPECT_NEAR(c[m].x, g[30 - m].x, 1e-9);
    EXPECT_NEAR(c[m].y, g[30 - m].y, 1e-9);
  }
  EXPECT_NEAR(c[29].x, g[0].x, 1e-9);  // where C ends, G starts
  EXPECT_NEAR(c[0].y, g[29].y, 1e-9);
  EXPECT_EQ(cxf.font.LetterGap(), 0.3);
  EXPECT_EQ(GlyphWidth(cxf.font, ' '), 0.5);
  EXPECT_EQ(MissingGlyphs(cxf.font, "ECG\x80 "), "");
}

TEST(FontFormat, ContentDecidesBeforeTheExtension) {
  const struct {
    const char* name;
    std::string bytes;
    const char* file;
    FontFormat format;
  } kCases[] = {
      {"LffHeader", "# Format: LibreCAD Font 1\n", "x.fnt", FontFormat::Lff},
      {"CxfHeader", "# Format:   QCad 1.0 Font\n", "x.lff", FontFormat::Cxf},
      {"LffPolyline", "[0041] A\n0,0;1,1\n", "x.cxf", FontFormat::Lff},
      {"CxfLine", "[A] 1\nL 0,0,1,1\n", "x.lff", FontFormat::Cxf},
      {"SymbolLine", "SYM A\nG00 X0 Y0\n", "x.lff", FontFormat::Fnt},
      {"NothingTellsButTheExtension", "", "DIN.CXF", FontFormat::Cxf},
      {"NothingTellsAtAll", "G00 X0\n", "font", FontFormat::Fnt},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DetectFontFormat(c.bytes, c.file), c.format);
  }
}

// A glyph that does not read is left out with a report line saying why; the rest of the font
// loads. A file without a glyph to use is refused and leaves an empty table.
TEST(LffFont, LeavesOutBrokenGlyphsAndRefusesUselessFiles) {
  StrokeFont font;
  FontReport report;
  ParseLffFont("[0045] E\n0,0;0,10\n[0041] A\n0,0;5,x\n[0042] B\nC0041\n", "f.lff", font,
               report);
  EXPECT_GT(GlyphOf(font, 'E')->moveCount, 0);
  EXPECT_EQ(MissingGlyphs(font, "EAB"), "AB");
  EXPECT_THAT(report, testing::Contains(HasSubstr("Left out the glyph U+0041 (line 3): line 4:")));
  EXPECT_THAT(report, testing::Contains(HasSubstr(
                          "Left out the glyph U+0042 (line 5): it refers to U+0041, which is "
                          "left out")));

  // Over the move limit: a long polyline, and references that multiply a glyph.
  std::string large = "[0045] E\n0,0;0,10\n[0046] F\n";
  for (int corner = 0; corner < 4001; ++corner) large += std::to_string(corner % 2) + ",1;";
  large += "\n[0047] G\nC0046\nC0046\nC0046\nC0046\nC0046\n";
  ParseLffFont(large, "f.lff", font, report);
  EXPECT_EQ(MissingGlyphs(font, "EFG"), "FG");
  EXPECT_THAT(report, testing::Contains(HasSubstr("U+0046 (line 3): more than 4000 moves")));
  EXPECT_THAT(report, testing::Contains(HasSubstr("U+0047 (line 5): more than 16000 corners")));

  EXPECT_THAT([&] { ParseCxfFont("[#0416] 1\nL 0,0,1,1\n", "f.cxf", font, report); },
              ThrowsMessage<Error>(HasSubstr("'f.cxf': it has no glyph for a character")));
  EXPECT_FALSE(font.HasMoves());
  EXPECT_TRUE(report.empty());
}

// The single-line fonts of the Debian package librecad-data, when it is installed: each loads,
// and its capitals stand 1 unit high on the baseline.
TEST(LffFont, EveryFontOfTheDebianPackageLoadsWithCapitalsOneUnitHigh) {
  const fs::path folder = "/usr/share/librecad/fonts";
  if (!fs::is_directory(folder)) GTEST_SKIP() << "librecad-data is not installed";
  int fonts = 0;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() != ".lff") continue;
    SCOPED_TRACE(entry.path().filename().string());
    ++fonts;
    StrokeFont font;
    FontReport report;
    ASSERT_NO_THROW(LoadFont(entry.path().string(), font, report));
    // The symbol sets (sy*.lff) hold symbols at the letters' codes: no capitals to measure.
    if (entry.path().filename().string().starts_with("sy")) continue;
    std::vector<double> tops, bottoms;
    for (const char capital : std::string_view("EFHIKLNTZ")) {
      if (!font.Names(static_cast<unsigned char>(capital))) continue;
      tops.push_back(GlyphOf(font, capital)->maxY);
      bottoms.push_back(GlyphOf(font, capital)->minY);
    }
    ASSERT_FALSE(tops.empty());
    std::sort(tops.begin(), tops.end());
    std::sort(bottoms.begin(), bottoms.end());
    EXPECT_NEAR(tops[tops.size() / 2], 1, 0.01);
    EXPECT_NEAR(bottoms[bottoms.size() / 2], 0, 0.01);
  }
  EXPECT_GE(fonts, 40);
}

// The strokes of a reference are walked, never copied: a font of deep chains loads at once, each
// glyph draws every stroke its chain multiplies out to up to the limits, deeper ones are left out
// saying why, and the font as a whole keeps to its cap on moves.
TEST(LffFont, ReferenceChainsShareTheirStrokesAndTheFontKeepsToItsCap) {
  StrokeFont font;
  FontReport report;
  const std::string chains = test::ReferenceChainFont(16);
  ASSERT_GT(chains.size(), 60000u);
  ParseLffFont(chains, "chains.lff", font, report);
  EXPECT_THAT(report, testing::Contains(HasSubstr(
                          "Left out the glyph U+0021 (line 51): it refers to U+E00F, which is "
                          "left out (it refers to U+E00E")));
  EXPECT_THAT(report, testing::Contains(HasSubstr("more than 16000 corners with its references")));

  // Shallow chains draw every stroke: level n is 2^n strokes of one line, each starting where
  // the one before ended (one travel, one plunge, a cut per stroke and a lift).
  ParseLffFont(test::ReferenceChainFont(11), "chains.lff", font, report);
  EXPECT_EQ(GlyphOf(font, 'A')->moveCount, 2048 + 3);
  std::size_t total = 0;
  for (int code = 0; code < kGlyphCount; ++code) {
    total += static_cast<std::size_t>(GlyphOf(font, static_cast<char>(code))->moveCount);
  }
  EXPECT_LE(total, kMaxFontMoves + 2);
  EXPECT_GT(total, kMaxFontMoves - 2100);
  EXPECT_THAT(report, testing::Contains(HasSubstr(
                          "the glyphs before it take up the 262144 moves a font may have")));
  EXPECT_EQ(MissingGlyphs(font, "E!A"), "");
  EXPECT_EQ(MissingGlyphs(font, "\xFF"), "\xFF");
}

// A file that holds more than any font is refused before it takes much memory.
TEST(LffFont, RefusesMoreGlyphsOrCornersThanAFontHolds) {
  StrokeFont font;
  FontReport report;
  std::string glyphs;
  for (int g = 0; g <= 65536; ++g) glyphs += "[#" + std::to_string(10000 + g) + "]\n0,0\n";
  EXPECT_THAT([&] { ParseLffFont(glyphs, "g.lff", font, report); },
              ThrowsMessage<Error>(HasSubstr("'g.lff': line 131073: it has more than 65536 glyphs")));
  std::string corners = "[0045] E\n";
  std::string line;
  for (int c = 0; c < 10000; ++c) line += "0,0;";
  for (int l = 0; l <= 100; ++l) corners += line + "0,10\n";
  EXPECT_THAT([&] { ParseLffFont(corners, "c.lff", font, report); },
              ThrowsMessage<Error>(HasSubstr("more than 1000000 corners and references")));
}

// Line ends of any kind, and a UTF-8 byte order mark, read as the usual file does.
TEST(LffFont, ReadsCrLineEndsAndAByteOrderMark) {
  const std::string lf =
      "# Format: LibreCAD Font 1\n# LetterSpacing: 2\n[0045] E\n0,0;0,10;6,10\n[0041] A\nC0045\n";
  StrokeFont expected;
  FontReport report;
  ParseLffFont(lf, "f.lff", expected, report);
  const auto replaced = [&](std::string_view end) {
    std::string bytes;
    for (const char c : lf) c == '\n' ? bytes += end : bytes += c;
    return bytes;
  };
  for (const std::string& bytes :
       {replaced("\r"), replaced("\r\n"), "\xEF\xBB\xBF" + lf, "\xEF\xBB\xBF" + replaced("\r")}) {
    SCOPED_TRACE(bytes.substr(0, 12));
    StrokeFont font;
    ASSERT_EQ(DetectFontFormat(bytes, "f"), FontFormat::Lff);
    ParseLffFont(bytes, "f.lff", font, report);
    EXPECT_EQ(MissingGlyphs(font, "EA"), "");
    EXPECT_EQ(MoveList(font, 'A'), MoveList(expected, 'E'));
    EXPECT_EQ(font.LetterGap(), expected.LetterGap());
  }
}

// A copy and a move of a single-line font are that font: the same letter gap, the same
// characters named, the same program.
TEST(StrokeFont, CopiesAndMovesOfASingleLineFontEngraveAsTheFontDoes) {
  const Loaded lff = LoadFixture("tiny.lff");
  ASSERT_NE(lff.font.LetterGap(), kFntLetterGap);
  const auto engraved = [](const StrokeFont& font) {
    std::string out;
    PreparedJob job;
    AppendEngraveMoves(out, job, job.start, 0, "EE\xC9 E", font);
    return out + MissingGlyphs(font, "EQ\xC9");
  };
  const std::string expected = engraved(lff.font);
  EXPECT_THAT(expected, testing::EndsWith("Q"));
  StrokeFont copy = lff.font;
  EXPECT_EQ(engraved(copy), expected);
  StrokeFont assigned;
  assigned = copy;
  EXPECT_EQ(engraved(assigned), expected);
  const StrokeFont moved = std::move(copy);
  EXPECT_EQ(engraved(moved), expected);
  StrokeFont moveAssigned;
  moveAssigned = std::move(assigned);
  EXPECT_EQ(engraved(moveAssigned), expected);
}

}  // namespace
}  // namespace stylor
