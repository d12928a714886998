#include "engrave/layouts/ellipse.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engrave/fonts/stroke_font.h"
#include "engrave/prepared_job.h"
#include "settings/engrave_settings.h"
#include "settings/error.h"
#include "settings/numbers.h"
#include "support/font_text.h"
#include "support/job_host_double.h"
#include "support/temp_folder.h"

namespace stylor {
namespace {

using testing::HasSubstr;
using testing::ThrowsMessage;

// A, B and C are underlines 0.65 wide (maxX - minX = 0.65); '|' is an upright stroke of no width.
constexpr const char* kFont =
    "SYM A\nG00 X0 Y0\nG01 Z-1\nG01 X0.65 Y0\nG00 Z1\n"
    "SYM B\nG00 X0 Y0\nG01 Z-1\nG01 X0.65 Y0\nG00 Z1\n"
    "SYM C\nG00 X0 Y0\nG01 Z-1\nG01 X0.65 Y0\nG00 Z1\n"
    "SYM |\nG00 X0 Y0\nG01 Z-1\nG01 X0 Y1\nG00 Z1\n";

constexpr int kA = 0;
constexpr int kB = 1;
constexpr int kC = 2;
constexpr int kD = 3;
constexpr int kLeft = 0;
constexpr int kCentre = 1;
constexpr int kRight = 2;

std::string Fixed(double value) { return FormatFixed(value, 4); }

// Height, width and spacing ratios 1, major axis 4 and minor axis 2.5 (a = 2, b = 1.25), centre
// (0, 0), text angle 0, point B, "Left", "Clock Wise".
EngraveSettings ExampleSettings() {
  EngraveSettings settings;
  settings.TextHeightE = "1";
  settings.AEdit = "4";
  settings.BEdit = "2.5";
  settings.EllipseTextE = "ABC";
  settings.JustifyPoint = kB;
  settings.JustifyPointText = "B";
  settings.Justification = kLeft;
  settings.EllipseDirection = 0;
  return settings;
}

EllipseLayout ExampleLayout(int point, int justification, bool counterClockwise) {
  return {2, 1.25, static_cast<EllipsePoint>(point), AlignmentOf(justification),
          counterClockwise ? Winding::CounterClockwise : Winding::Clockwise};
}

// Lines of a program that are opening moves of EngraveLine: a rapid with all three axis words.
int OpeningMoves(const std::string& program) {
  int count = 0;
  std::size_t begin = 0;
  while (begin < program.size()) {
    std::size_t end = program.find("\r\n", begin);
    if (end == std::string::npos) end = program.size();
    const std::string line = program.substr(begin, end - begin);
    if (line.starts_with("G00 X") && line.find(" Y") != std::string::npos &&
        line.find(" Z") != std::string::npos) {
      ++count;
    }
    begin = end + 2;
  }
  return count;
}

class EllipseTest : public testing::Test {
 protected:
  std::vector<EllipsePlacement> Place(std::string_view text, const EllipseLayout& layout,
                                      const EngraveSettings& settings = ExampleSettings()) {
    return PlaceEllipseText(text, layout, PrepareJob(settings), *m_font);
  }

  // Runs the job, expects no message box, and returns the program's bytes.
  std::string Program(const EngraveSettings& settings) {
    test::FakeJobHost host;
    CreateEllipse(settings, *m_font, host);
    EXPECT_THAT(host.messages, testing::IsEmpty());
    EXPECT_EQ(host.dialogs, 1);
    return host.store.Bytes("job.eia");
  }

  std::unique_ptr<StrokeFont> m_font = test::FontFromText(kFont);
};

struct ExampleRow {
  const char* name;
  int point;
  int justification;
  bool counterClockwise;
  const char* textAngleDeg;
  const char* centre1;
  const char* centre2;
  std::size_t placedIndex;  // order of placement, from 0
  char character;
  const char* start1;
  const char* start2;
  const char* angleRad;
  const char* parameterRad;
};

// Three glyphs 0.65 wide (W = 2.65, P = 10.346569). Counter-clockwise text is placed last-first:
// the first character placed there is the last of "ABC".
constexpr ExampleRow kExampleRows[] = {
    {"BLeftFirst", kB, kLeft, false, "0", "0", "0",
     0, 'A', "0.0013", "1.2667", "-0.1024", "1.4078"},
    {"BLeftSecond", kB, kLeft, false, "0", "0", "0",
     1, 'B', "0.9922", "1.1104", "-0.4802", "0.8760"},
    {"BLeftThird", kB, kLeft, false, "0", "0", "0",
     2, 'C', "1.8538", "0.5650", "-1.2466", "0.2070"},
    {"BCentreSecond", kB, kCentre, false, "0", "0", "0",
     1, 'B', "-0.3250", "1.2500", "0.0000", "-4.7124"},
    {"BRightThird", kB, kRight, false, "0", "0", "0",
     2, 'C', "-0.6476", "1.2002", "0.1024", "-4.5495"},
    {"DLeftCounterClockwiseFirst", kD, kLeft, true, "0", "0", "0",
     0, 'C', "-0.6488", "-2.2103", "6.2017", "-1.6793"},
    {"ALeftTurned30AboutOneTwo", kA, kLeft, false, "30", "1", "2",
     0, 'A', "-0.7925", "0.9841", "1.6982", "2.8858"},
};

TEST_F(EllipseTest, PlacesTheWorkedExamples) {
  for (const ExampleRow& row : kExampleRows) {
    SCOPED_TRACE(row.name);
    EngraveSettings settings = ExampleSettings();
    settings.TextAngleE = row.textAngleDeg;
    settings.Axis1StartE = row.centre1;
    settings.Axis2StartE = row.centre2;
    const auto placed =
        Place("ABC", ExampleLayout(row.point, row.justification, row.counterClockwise), settings);
    ASSERT_EQ(placed.size(), 3u);
    const EllipsePlacement& p = placed[row.placedIndex];
    EXPECT_EQ(p.character, row.character);
    EXPECT_EQ(Fixed(p.start.x), row.start1);
    EXPECT_EQ(Fixed(p.start.y), row.start2);
    EXPECT_EQ(Fixed(p.angleRad), row.angleRad);
    EXPECT_EQ(Fixed(p.parameterRad), row.parameterRad);
  }
}

TEST(EllipsePerimeter, RamanujanForTheExamplesAndACircle) {
  EXPECT_EQ(FormatFixed(EllipsePerimeter(2, 1.25), 6), "10.346569");
  EXPECT_EQ(FormatFixed(EllipsePerimeter(3, 2.25), 6), "16.577619");
  EXPECT_DOUBLE_EQ(EllipsePerimeter(1.5, 1.5), 2 * kPi * 1.5);
}

struct ChordCase {
  const char* name;
  double dX;
  double dY;
  bool counterClockwise;
  double angleRad;
};

TEST(EllipseBaselineAngle, DirectionOfTravelOfTheChord) {
  const ChordCase kCases[] = {
      {"VerticalUp", 0, 0.1, false, kPi / 2},
      {"VerticalDown", 0, -0.1, false, -kPi / 2},
      {"VerticalStandingStillCountsAsUp", 0, 0, false, kPi / 2},
      {"VerticalUpCounterClockwise", 0, 0.1, true, kPi / 2 + kPi},
      {"VerticalDownCounterClockwise", 0, -0.1, true, -kPi / 2 + kPi},
      {"RightAndDown", 1, -1, false, -kPi / 4},
      {"LeftAndUp", -1, 1, false, -kPi / 4 + kPi},
      {"LeftAndDown", -1, -1, false, kPi / 4 + kPi},
      {"StraightLeft", -1, 0, false, kPi},
      {"LeftAndUpCounterClockwise", -1, 1, true, -kPi / 4 + kPi + kPi},
      {"RightAndUpCounterClockwise", 1, 1, true, kPi / 4 + kPi},
  };
  for (const ChordCase& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_DOUBLE_EQ(EllipseBaselineAngle(c.dX, c.dY, c.counterClockwise), c.angleRad);
  }
}

TEST_F(EllipseTest, WritesTheProgramOfAShortText) {
  EngraveSettings settings = ExampleSettings();
  settings.EllipseTextE = "AB";
  settings.PreToolChange = {"T1 M06"};
  settings.PostEngrave = {"M30"};
  EXPECT_EQ(Program(settings),
            "T1 M06\r\n"
            "G00 X0.0013 Y1.2667 Z0.0010\r\n"
            "G01 Z-0.0010 F25.00\r\n"
            "G01 X0.6479 Y1.2002 F50.00\r\n"
            "G00 Z0.0010\r\n"
            "G00 X0.9922 Y1.1104 Z0.0010\r\n"
            "G01 Z-0.0010 F25.00\r\n"
            "G01 X1.5687 Y0.8101 F50.00\r\n"
            "G00 Z0.0010\r\n"
            "M30\r\n");
}

struct RefusalCase {
  const char* name;
  const char* majorAxis;
  const char* minorAxis;
  const char* text;
  int direction;
  const char* message;
};

TEST_F(EllipseTest, RefusalsShowTheirMessageAndWriteNothing) {
  const RefusalCase kCases[] = {
      {"MinorLargerThanMajor", "2.5", "4", "ABC", 0, "Major Axis Must be larger than Minor Axis"},
      // Twelve glyphs: W = 11.1 against P = 10.3466; eleven (10.15) would fit.
      {"TextLongerThanPerimeter", "4", "2.5", "ABCABCABCABC", 0,
       "Text is too long to fit around ellipse"},
      // Counter-clockwise text would sit on the ellipse of P = 16.58, but the test uses the axes
      // as entered.
      {"TooLongEvenCounterClockwise", "4", "2.5", "ABCABCABCABC", 1,
       "Text is too long to fit around ellipse"},
  };
  for (const RefusalCase& c : kCases) {
    SCOPED_TRACE(c.name);
    EngraveSettings settings = ExampleSettings();
    settings.AEdit = c.majorAxis;
    settings.BEdit = c.minorAxis;
    settings.EllipseTextE = c.text;
    settings.EllipseDirection = c.direction;
    test::FakeJobHost host;
    CreateEllipse(settings, *m_font, host);
    EXPECT_THAT(host.messages, testing::ElementsAre(c.message));
    EXPECT_EQ(host.dialogs, 0);
    EXPECT_THAT(host.store.Files(), testing::IsEmpty());
  }
}

struct ErrorCase {
  const char* name;
  void (*change)(EngraveSettings&);
  const char* message;
};

TEST_F(EllipseTest, FaultySettingsThrowBeforeTheDialog) {
  const ErrorCase kCases[] = {
      {"MajorAxisZero", [](EngraveSettings& s) { s.AEdit = "0"; },
       "Major Axis must be larger than 0 ('0' was entered)"},
      {"MinorAxisNegative", [](EngraveSettings& s) { s.BEdit = "-1"; },
       "Minor Axis must be larger than 0 ('-1' was entered)"},
      // Not "Major Axis Must be larger than Minor Axis": the negative axis is what is wrong.
      {"NegativeMajorBelowMinor", [](EngraveSettings& s) { s.AEdit = "-2.5"; },
       "Major Axis must be larger than 0 ('-2.5' was entered)"},
      {"MajorAxisNotANumber", [](EngraveSettings& s) { s.AEdit = "4x"; },
       "'4x' is not a valid floating point value"},
      {"TypedPointNotInTheList",
       [](EngraveSettings& s) { s.JustifyPoint = -1; s.JustifyPointText = "E"; },
       "Justify Point 'E' is not one of A, B, C or D"},
      {"TypedPointEmpty",
       [](EngraveSettings& s) { s.JustifyPoint = -1; s.JustifyPointText = ""; },
       "Justify Point '' is not one of A, B, C or D"},
      {"IndexOutOfRangeWithTwoLetters",
       [](EngraveSettings& s) { s.JustifyPoint = 4; s.JustifyPointText = "AB"; },
       "Justify Point 'AB' is not one of A, B, C or D"},
      {"CounterClockwiseEllipseShrunkBelowZero",
       [](EngraveSettings& s) { s.EllipseDirection = 1; s.TextHeightE = "-1.5"; },
       "with the text height '-1.5' its Minor Axis is 0 or below"},
      {"PerimeterBeyondTheLargestNumber",
       [](EngraveSettings& s) { s.AEdit = "1e308"; s.BEdit = "1e308"; },
       "The ellipse of Major Axis '1e308' and Minor Axis '1e308' is too large to engrave"},
  };
  for (const ErrorCase& c : kCases) {
    SCOPED_TRACE(c.name);
    EngraveSettings settings = ExampleSettings();
    c.change(settings);
    test::FakeJobHost host;
    EXPECT_THAT([&] { CreateEllipse(settings, *m_font, host); },
                ThrowsMessage<Error>(HasSubstr(c.message)));
    EXPECT_EQ(host.dialogs, 0);
    EXPECT_THAT(host.messages, testing::IsEmpty());
    EXPECT_THAT(host.store.Files(), testing::IsEmpty());
  }
}

TEST_F(EllipseTest, CancelledDialogWritesNothing) {
  test::FakeJobHost host(std::nullopt);
  CreateEllipse(ExampleSettings(), *m_font, host);
  EXPECT_EQ(host.dialogs, 1);
  EXPECT_THAT(host.store.Files(), testing::IsEmpty());
}

TEST_F(EllipseTest, EmptyTextWritesTheStartAndEndBlocksOnly) {
  EngraveSettings settings = ExampleSettings();
  settings.EllipseTextE = "";
  settings.PreToolChange = {"T1 M06"};
  settings.PostEngrave = {"M30"};
  EXPECT_EQ(Program(settings), "T1 M06\r\nM30\r\n");
}

struct SameAsCase {
  const char* name;
  void (*change)(EngraveSettings&);
  void (*reference)(EngraveSettings&);
};

TEST_F(EllipseTest, UnlistedIndicesFallBackToATypedPointAndToLeft) {
  const SameAsCase kCases[] = {
      {"TypedLowerCaseC",
       [](EngraveSettings& s) { s.JustifyPoint = -1; s.JustifyPointText = "c"; },
       [](EngraveSettings& s) { s.JustifyPoint = kC; }},
      {"TypedD", [](EngraveSettings& s) { s.JustifyPoint = -1; s.JustifyPointText = "D"; },
       [](EngraveSettings& s) { s.JustifyPoint = kD; }},
      {"IndexBeyondTheListTypedB",
       [](EngraveSettings& s) {
         s.JustifyPoint = 7;
         s.JustifyPointText = "b";
         s.Justification = kRight;
       },
       [](EngraveSettings& s) { s.JustifyPoint = kB; s.Justification = kRight; }},
      {"JustificationMinusOneIsLeft",
       [](EngraveSettings& s) { s.JustifyPoint = kD; s.Justification = -1; },
       [](EngraveSettings& s) { s.JustifyPoint = kD; s.Justification = kLeft; }},
      {"JustificationThreeIsLeft",
       [](EngraveSettings& s) { s.Justification = 3; },
       [](EngraveSettings& s) { s.Justification = kLeft; }},
  };
  for (const SameAsCase& c : kCases) {
    SCOPED_TRACE(c.name);
    EngraveSettings settings = ExampleSettings();
    c.change(settings);
    EngraveSettings reference = ExampleSettings();
    c.reference(reference);
    const std::string program = Program(settings);
    EXPECT_EQ(OpeningMoves(program), 3);
    EXPECT_EQ(program, Program(reference));
  }
}

TEST_F(EllipseTest, CircleOfEqualAxesEngravesAlongItsTangents) {
  EngraveSettings settings = ExampleSettings();
  settings.AEdit = "3";
  settings.BEdit = "3";
  EXPECT_EQ(OpeningMoves(Program(settings)), 3);
  // Clockwise round a circle the baseline at parameter t runs along t - pi/2.
  const EllipseLayout circle{1.5, 1.5, EllipsePoint::B, TextAlignment::Left, Winding::Clockwise};
  for (const EllipsePlacement& p : Place("ABC", circle)) {
    SCOPED_TRACE(p.character);
    const double turn = p.angleRad - (p.parameterRad - kPi / 2);
    EXPECT_NEAR(std::remainder(turn, 2 * kPi), 0, 1e-4);
  }
}

TEST_F(EllipseTest, CentreAtPointCStartsTheWalkAtPointA) {
  const auto placed = Place("ABC", ExampleLayout(kC, kCentre, false));
  ASSERT_EQ(placed.size(), 3u);
  // Walked from A (parameter pi) down through C (0): the middle character sits on C, the first
  // above it on the upper half, the last below it.
  EXPECT_NEAR(placed[1].parameterRad, 0, 1e-4);
  EXPECT_GT(placed[0].parameterRad, 0);
  EXPECT_LT(placed[0].parameterRad, 1);
  EXPECT_LT(placed[2].parameterRad, 0);
  EXPECT_GT(placed[2].parameterRad, -1);
}

TEST_F(EllipseTest, MiddleCharacterOnTheMajorAxisRunsWithTheWalk) {
  // Centred at A or C, the middle character is due at the first sample past the axis, whose
  // chord still starts on the other half: its baseline must follow that chord's travel (down at
  // C, up at A), not the half its end lies on, or the character is engraved upside down.
  struct Case {
    const char* name;
    int point;
    double angleRad;
    const char* start1;
    const char* start2;
  };
  const Case kCases[] = {
      {"AtC", kC, -kPi / 2, "2.0000", "0.3250"},
      {"AtA", kA, kPi / 2, "-2.0000", "-0.3250"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const auto placed = Place("ABC", ExampleLayout(c.point, kCentre, false));
    ASSERT_EQ(placed.size(), 3u);
    EXPECT_NEAR(placed[1].angleRad, c.angleRad, 1e-3);
    EXPECT_EQ(Fixed(placed[1].start.x), c.start1);
    EXPECT_EQ(Fixed(placed[1].start.y), c.start2);
  }
}

TEST_F(EllipseTest, CounterClockwiseIsPlacedLastFirstOnTheLargerEllipse) {
  EngraveSettings settings = ExampleSettings();
  const double height = 1;
  const auto placed = Place("ABC", ExampleLayout(kD, kLeft, true), settings);
  ASSERT_EQ(placed.size(), 3u);
  EXPECT_EQ(std::string({placed[0].character, placed[1].character, placed[2].character}), "CBA");
  for (const EllipsePlacement& p : placed) {
    SCOPED_TRACE(p.character);
    // The character's middle lies on the ellipse larger by the text height, and its baseline
    // runs against the clockwise walk (rightward across the bottom).
    const double middleX = p.start.x + 0.325 * std::cos(p.angleRad);
    const double middleY = p.start.y + 0.325 * std::sin(p.angleRad);
    const double a = 2 + height;
    const double b = 1.25 + height;
    EXPECT_NEAR(middleX * middleX / (a * a) + middleY * middleY / (b * b), 1, 1e-6);
    EXPECT_GT(std::cos(p.angleRad), 0);
  }
  EXPECT_GT(placed[0].start.x, placed[1].start.x);
  EXPECT_GT(placed[1].start.x, placed[2].start.x);
}

TEST_F(EllipseTest, FirstCharacterDueAtTheFirstSampleFollowsTheTangent) {
  struct Case {
    const char* name;
    int point;
    bool counterClockwise;
    const char* text;  // the zero-width '|' comes first in placement order
    const char* start1;
    const char* start2;
    double angleRad;
  };
  const Case kCases[] = {
      {"TopRunsRight", kB, false, "|A", "0.0000", "1.2500", 0},
      {"RightRunsDown", kC, false, "|A", "2.0000", "0.0000", -kPi / 2},
      {"LeftRunsUp", kA, false, "|A", "-2.0000", "0.0000", kPi / 2},
      {"BottomCounterClockwiseRunsRight", kD, true, "A|", "0.0000", "-2.2500", 2 * kPi},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const auto placed = Place(c.text, ExampleLayout(c.point, kLeft, c.counterClockwise));
    ASSERT_EQ(placed.size(), 2u);
    EXPECT_EQ(placed[0].character, '|');
    EXPECT_EQ(Fixed(placed[0].start.x), c.start1);
    EXPECT_EQ(Fixed(placed[0].start.y), c.start2);
    EXPECT_NEAR(placed[0].angleRad, c.angleRad, 1e-12);
    EXPECT_EQ(placed[1].character, 'A');
  }
}

TEST_F(EllipseTest, CharactersBeyondTheTurnAreDroppedAndTheEndBlockStillWritten) {
  struct Case {
    const char* name;
    bool counterClockwise;
    const char* text;
    const char* placedText;
  };
  // "Right" puts the middle of a last, zero-width character at P exactly; the samples of one turn
  // stop short of a full turn, so it is never reached.
  const Case kCases[] = {
      {"Clockwise", false, "AB|", "AB"},
      {"CounterClockwiseDropsTheFirstCharacter", true, "|AB", "BA"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const auto placed = Place(c.text, ExampleLayout(kB, kRight, c.counterClockwise));
    std::string placedText;
    for (const EllipsePlacement& p : placed) placedText += p.character;
    EXPECT_EQ(placedText, c.placedText);

    EngraveSettings settings = ExampleSettings();
    settings.EllipseTextE = c.text;
    settings.Justification = kRight;
    settings.EllipseDirection = c.counterClockwise ? 1 : 0;
    settings.PostEngrave = {"M30"};
    const std::string program = Program(settings);
    EXPECT_EQ(OpeningMoves(program), 2);
    EXPECT_TRUE(program.ends_with("G00 Z0.0010\r\nM30\r\n"));
  }
}

TEST_F(EllipseTest, AtMostOneCharacterPerSample) {
  // Characters a billionth of a unit high are all due within the first few samples, but each
  // sample places only one: one turn holds fewer samples than the text has characters.
  // No job takes such a height (it rounds to nothing), but the placement must still end.
  PreparedJob job = PrepareJob(ExampleSettings());
  job.textHeight = 1e-9;
  const std::string text(70000, 'A');
  const auto placed = PlaceEllipseText(text, ExampleLayout(kB, kLeft, false), job, *m_font);
  EXPECT_GT(placed.size(), 62800u);
  EXPECT_LT(placed.size(), text.size());
  // From B the parameter falls throughout the turn: a repeated value would be a shared sample.
  int shared = 0;
  for (std::size_t i = 1; i < placed.size(); ++i) {
    if (!(placed[i].parameterRad < placed[i - 1].parameterRad)) ++shared;
  }
  EXPECT_EQ(shared, 0);
}

TEST_F(EllipseTest, HighCodesTakeNoWidthAndEngraveOnlyTheirRapid) {
  EngraveSettings settings = ExampleSettings();
  settings.EllipseTextE = "A\xC3\xA9" "B";  // "AéB": é is code 233 in the 8-bit text
  const std::string program = Program(settings);
  EXPECT_EQ(OpeningMoves(program), 3);
  const auto placed = Place("A\xE9" "B", ExampleLayout(kB, kLeft, false));
  ASSERT_EQ(placed.size(), 3u);
  EXPECT_EQ(placed[1].character, '\xE9');
  // The opening move of é is followed at once by that of B.
  const std::string rapidOfHigh = "G00 X" + Fixed(placed[1].start.x) + " Y" +
                                  Fixed(placed[1].start.y) + " Z0.0010\r\nG00 X" +
                                  Fixed(placed[2].start.x);
  EXPECT_THAT(program, HasSubstr(rapidOfHigh));
}

}  // namespace
}  // namespace stylor
