#include "engrave/layouts/arc.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "engrave/emitter.h"
#include "engrave/prepared_job.h"
#include "engrave/program_store.h"
#include "support/font_text.h"
#include "support/temp_folder.h"
#include "support/job_host_double.h"
#include "settings/engrave_settings.h"
#include "settings/error.h"
#include "settings/numbers.h"

namespace stylor {
namespace {

using test::FakeJobHost;
using test::FontFromText;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::ThrowsMessage;

// Two glyphs 0.65 wide: A draws its baseline, B a diagonal down to its right end.
constexpr const char* kArcFont =
    "SYM A\nG00 X0 Y0\nG01 Z-1\nG01 X0.65 Y0\nG00 Z1\n"
    "SYM B\nG00 X0 Y1\nG01 Z-1\nG01 X0.65 Y0\nG00 Z1\n";

// H = WR = SR = 1, R = 1, centre (0, 0), text "AB".
EngraveSettings ExampleSettings() {
  EngraveSettings settings;
  settings.TextHeightE = "1";
  settings.PenUpE = ".1";
  settings.PenDownE = "-.01";
  settings.RadiusE = "1";
  settings.ArcTextE = "AB";
  return settings;
}

// The opening rapid of every EngraveLine call: "G00 X.. Y.. Z0.1000".
std::vector<std::string> OpeningMoves(const std::string& bytes) {
  std::vector<std::string> moves;
  std::istringstream in(bytes);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.starts_with("G00 X") && line.ends_with(" Z0.1000")) moves.push_back(line);
  }
  return moves;
}

std::string Fixed4(double value) { return FormatFixed(value, 4); }

struct ExampleCase {
  const char* name;
  int direction;
  const char* textAngle;
  int justification;
  const char* first;  // opening move of the first character
  const char* firstPhi;
  const char* second;
  const char* secondPhi;
};

TEST(CreateArc, TwoCharacterExampleInBothDirectionsAndJustifications) {
  auto font = FontFromText(kArcFont);
  const ExampleCase kCases[] = {
      {"ClockWiseLeft", 0, "90", 0, "G00 X0.0113 Y1.0514 Z0.1000", "-0.3250",
       "G00 X0.8909 Y0.5586 Z0.1000", "-1.3250"},
      {"CounterClockWiseLeft", 1, "-90", 0, "G00 X0.0226 Y-2.1029 Z0.1000", "0.3250",
       "G00 X1.7817 Y-1.1171 Z0.1000", "1.3250"},
      {"ClockWiseCenter", 0, "90", 1, "G00 X-0.7646 Y0.7218 Z0.1000", "0.5000",
       "G00 X0.1942 Y1.0334 Z0.1000", "-0.5000"},
      {"ClockWiseRight", 0, "90", 2, "G00 X-1.0490 Y-0.0719 Z0.1000", "1.3250",
       "G00 X-0.6273 Y0.8439 Z0.1000", "0.3250"},
  };
  for (const ExampleCase& c : kCases) {
    SCOPED_TRACE(c.name);
    EngraveSettings settings = ExampleSettings();
    settings.Direction = c.direction;
    settings.TextAngleE = c.textAngle;
    settings.Justification = c.justification;

    FakeJobHost host;
    CreateArc(settings, *font, host);
    EXPECT_THAT(OpeningMoves(host.store.Bytes("job.eia")), ElementsAre(c.first, c.second));

    PreparedJob job = PrepareJob(settings);
    const ArcLayout layout = PrepareArcJob(job, 1, ArcWindingOf(c.direction));
    const auto placed = PlaceArcCharacters(job, job.start, job.textAngleRad, "AB", layout,
                                           AlignmentOf(c.justification), *font);
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed[0].character, 'A');
    EXPECT_EQ(Fixed4(placed[0].baselineAngleRad), c.firstPhi);
    EXPECT_EQ(placed[1].character, 'B');
    EXPECT_EQ(Fixed4(placed[1].baselineAngleRad), c.secondPhi);
  }
}

TEST(EngraveArc, EachCharacterIsOneLineFromItsStartAlongItsTangent) {
  auto font = FontFromText(kArcFont);
  PreparedJob job = PrepareJob(ExampleSettings());
  job.textAngleRad = kPi / 2;
  std::string moves;
  AppendArcMoves(moves, job, {0, 0}, kPi / 2, "AB", {1, -1, -kPi / 2}, TextAlignment::Left,
                 *font);
  // A's stroke runs 0.65 along phi = -0.325 from (0.0113, 1.0514); B starts one unit higher
  // across its own baseline, so its top lies outward from the circle.
  EXPECT_EQ(ToCrLf(moves),
            "G00 X0.0113 Y1.0514 Z0.1000\r\n"
            "G01 Z-0.0100 F25.00\r\n"
            "G01 X0.6273 Y0.8439 F50.00\r\n"
            "G00 Z0.1000\r\n"
            "G00 X0.8909 Y0.5586 Z0.1000\r\n"
            "G00 X1.8608 Y0.8019\r\n"
            "G01 Z-0.0100 F25.00\r\n"
            "G01 X1.0490 Y-0.0719 F50.00\r\n"
            "G00 Z0.1000\r\n");
}

TEST(PrepareArcJob, CounterClockwiseGrowsRadiusAndSpacingClockwiseKeepsThem) {
  PreparedJob job;
  job.textHeight = 0.5;
  job.spacingRatio = 1.2;
  PreparedJob clockwise = job;
  EXPECT_EQ(PrepareArcJob(clockwise, 2, Winding::Clockwise), (ArcLayout{2, -1, -kPi / 2}));
  EXPECT_EQ(clockwise.spacingRatio, 1.2);

  for (int direction : {1, 2, -1}) {
    SCOPED_TRACE(direction);
    PreparedJob counter = job;
    EXPECT_EQ(PrepareArcJob(counter, 2, ArcWindingOf(direction)), (ArcLayout{2.5, 1, kPi / 2}));
    EXPECT_EQ(counter.spacingRatio, 1.2 * (2 + 0.5) / 2);
  }
}

TEST(CreateArc, PassesThePreparedCircleToEveryCharacter) {
  auto font = FontFromText(kArcFont);
  EngraveSettings settings = ExampleSettings();
  settings.TextHeightE = ".5";
  settings.SpacingRatioE = "1.2";
  settings.RadiusE = "2";
  settings.Axis1StartE = "3";
  settings.Axis2StartE = "-1";
  settings.TextAngleE = "30";
  settings.Justification = 1;
  settings.ArcTextE = "ABBA";
  for (int direction : {0, 1}) {
    SCOPED_TRACE(direction);
    settings.Direction = direction;
    FakeJobHost host;
    CreateArc(settings, *font, host);

    PreparedJob job = PrepareJob(settings);
    ArcLayout layout{2, -1, -kPi / 2};
    if (direction != 0) {
      job.spacingRatio = 1.2 * 2.5 / 2;
      layout = {2.5, 1, kPi / 2};
    }
    std::string expected;
    AppendArcMoves(expected, job, {3, -1}, job.textAngleRad, "ABBA", layout,
                   TextAlignment::Centre, *font);
    EXPECT_EQ(host.store.Bytes("job.eia"), ToCrLf(expected));
  }
}

TEST(PlaceArcCharacters, JustificationIsMeasuredAlongTheCircleFromTheTextAngle) {
  auto font = FontFromText(kArcFont);
  PreparedJob job = PrepareJob(ExampleSettings());
  const double theta0 = 0.7;
  for (const ArcLayout& layout : {ArcLayout{1, -1, -kPi / 2}, ArcLayout{2, 1, kPi / 2}}) {
    SCOPED_TRACE(layout.directionSign);
    const auto left = PlaceArcCharacters(job, {}, theta0, "AB", layout, TextAlignment::Left, *font);
    // "Left": the first glyph's middle lies half its width past the text angle, and its
    // baseline is the tangent there.
    EXPECT_EQ(Fixed4(left[0].baselineAngleRad),
              Fixed4(theta0 + 0.325 / layout.radius * layout.directionSign +
                     layout.tangentOffsetRad));
    // "Center" and "Right" turn the whole text back by W / 2 and W along the circle.
    const double width = 1.65;
    const double back = -width / layout.radius * layout.directionSign;
    for (int justification : {1, 2}) {
      SCOPED_TRACE(justification);
      const double turn = back * (justification == 1 ? 0.5 : 1);
      const auto placed =
          PlaceArcCharacters(job, {}, theta0, "AB", layout, AlignmentOf(justification), *font);
      for (std::size_t i = 0; i < placed.size(); ++i) {
        EXPECT_EQ(Fixed4(placed[i].baselineAngleRad), Fixed4(left[i].baselineAngleRad + turn));
      }
    }
    for (int other : {-1, 3, 7}) {
      SCOPED_TRACE(other);
      EXPECT_EQ(PlaceArcCharacters(job, {}, theta0, "AB", layout, AlignmentOf(other), *font), left);
    }
  }
}

TEST(CreateArc, EmptyTextWritesTheStartAndEndBlocksOnly) {
  auto font = FontFromText(kArcFont);
  EngraveSettings settings = ExampleSettings();
  settings.ArcTextE = "";
  settings.PreToolChange = {"T1 M06"};
  settings.PostEngrave = {"M30"};
  FakeJobHost host;
  CreateArc(settings, *font, host);
  EXPECT_EQ(host.store.Bytes("job.eia"), "T1 M06\r\nM30\r\n");
}

TEST(CreateArc, CancelledDialogWritesNothing) {
  auto font = FontFromText(kArcFont);
  FakeJobHost host(std::nullopt);
  CreateArc(ExampleSettings(), *font, host);
  EXPECT_EQ(host.dialogs, 1);
  EXPECT_TRUE(host.store.Files().empty());
}

struct RefusalCase {
  const char* name;
  const char* radius;
  int direction;
  const char* message;
};

TEST(CreateArc, RefusesBadRadiiBeforeTheDialog) {
  auto font = FontFromText(kArcFont);
  const RefusalCase kCases[] = {
      {"ZeroClockwise", "0", 0, "The radius must not be 0"},
      // Counter-clockwise spacing is scaled by (R + H) / R.
      {"ZeroCounterClockwise", "0", 1, "The radius must not be 0"},
      {"MinusHeightCounterClockwise", "-1", 1, "other than minus the text height"},
      {"NotANumber", "1,5", 0, "'1,5' is not a valid floating point value"},
  };
  for (const RefusalCase& c : kCases) {
    SCOPED_TRACE(c.name);
    EngraveSettings settings = ExampleSettings();
    settings.RadiusE = c.radius;
    settings.Direction = c.direction;
    FakeJobHost host;
    EXPECT_THAT([&] { CreateArc(settings, *font, host); },
                ThrowsMessage<Error>(HasSubstr(c.message)));
    EXPECT_EQ(host.dialogs, 0);
    EXPECT_TRUE(host.store.Files().empty());
  }
  // A value no machine takes shows while the moves are made, and the file stays untouched.
  EngraveSettings huge = ExampleSettings();
  huge.RadiusE = "1e12";
  FakeJobHost refused;
  refused.store.Write("job.eia", WriteMode::Create, "(old)\n");
  EXPECT_THAT([&] { CreateArc(huge, *font, refused); },
              ThrowsMessage<Error>(HasSubstr("out of range for a machine")));
  EXPECT_EQ(refused.store.Bytes("job.eia"), "(old)\r\n");
  // Minus the height is a fine clockwise radius: the text runs round the other side.
  EngraveSettings settings = ExampleSettings();
  settings.RadiusE = "-1";
  FakeJobHost host;
  CreateArc(settings, *font, host);
  EXPECT_EQ(OpeningMoves(host.store.Bytes("job.eia")).size(), 2u);
}

TEST(EngraveArc, ZeroRadiusIsRefusedBeforeAnyWrite) {
  auto font = FontFromText(kArcFont);
  std::string moves;
  EXPECT_THAT([&] { AppendArcMoves(moves, PreparedJob{}, {}, 0, "AB", {0, -1, -kPi / 2},
                                  TextAlignment::Left, *font); },
              ThrowsMessage<Error>(HasSubstr("The radius must not be 0")));
  EXPECT_TRUE(moves.empty());
}

TEST(CreateArc, CharactersWithoutAGlyphTakeTheSpaceOfAnEmptyGlyph) {
  auto font = FontFromText(kArcFont);
  EngraveSettings settings = ExampleSettings();
  settings.TextAngleE = "90";
  settings.ArcTextE = "A\xC3\x89" "B";  // "AÉB": É is code 201 in 8-bit text
  FakeJobHost host;
  CreateArc(settings, *font, host);
  settings.ArcTextE = "A B";  // the space has no glyph in this font either
  FakeJobHost spaced;
  CreateArc(settings, *font, spaced);
  // É gets its rapid to where it would stand and no stroke; B follows after the gap.
  EXPECT_EQ(host.store.Bytes("job.eia"), spaced.store.Bytes("job.eia"));
  EXPECT_EQ(OpeningMoves(host.store.Bytes("job.eia")).size(), 3u);
}

}  // namespace
}  // namespace stylor
