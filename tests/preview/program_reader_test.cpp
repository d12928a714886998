#include "preview/program_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>

#include "preview/program_stats.h"
#include "settings/engrave_settings.h"
#include "settings/error.h"
#include "settings/numbers.h"
#include "support/temp_folder.h"

namespace stylor {
namespace {

namespace fs = std::filesystem;
using testing::HasSubstr;

std::string ReadData(const std::string& name) {
  std::ifstream in(std::string(STYLOR_TEST_DATA) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// The pen levels of the worked "LL" example: up 0.1, down -0.01.
ReaderOptions LevelsOfExample() {
  ReaderOptions options;
  options.penUp = 0.1;
  options.penDown = -0.01;
  return options;
}

TEST(ProgramReaderTest, WorkedExampleMovesByKindAndLine) {
  std::vector<ProgramMove> moves;
  const ProgramSummary summary = ReadProgram(ReadData("ll.eia"), "ll.eia", LevelsOfExample(),
                                             [&](const ProgramMove& m) { moves.push_back(m); });
  const MoveKind kExpected[] = {MoveKind::Rapid, MoveKind::Plunge, MoveKind::Cut, MoveKind::Cut,
                                MoveKind::Lift,  MoveKind::Rapid,  MoveKind::Plunge,
                                MoveKind::Cut,   MoveKind::Cut,    MoveKind::Lift};
  ASSERT_EQ(moves.size(), std::size(kExpected));
  for (std::size_t i = 0; i < moves.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(moves[i].kind, kExpected[i]);
    EXPECT_EQ(moves[i].line, static_cast<std::int64_t>(i) + 2);  // the opening move only places
  }
  EXPECT_EQ(moves[5].from, (Point2{0.6, 0}));
  EXPECT_EQ(moves[5].to, (Point2{0.95, 1}));
  EXPECT_EQ(moves[5].fromLevel, 0.1);  // the lift's level carries over to the plane move
  EXPECT_EQ(moves[6].from, (Point2{0.95, 1}));
  EXPECT_EQ(moves[6].toLevel, -0.01);
  EXPECT_EQ(summary.lines, 11);
  EXPECT_EQ(summary.start, (Point2{0, 0}));
  EXPECT_THAT(summary.extents,
              testing::ElementsAre(AxisExtent{'X', 0, 1.55}, AxisExtent{'Y', 0, 1},
                                   AxisExtent{'Z', -0.01, 0.1}));
}

// LF, CR LF and CR alone (the line ends of old Macs) each end a line: the worked example reads
// the same with any of them, and with a mix.
TEST(ProgramReaderTest, EveryKindOfLineEndEndsALine) {
  std::string lf = ReadData("ll.eia");
  lf.erase(std::remove(lf.begin(), lf.end(), '\r'), lf.end());
  const auto read = [](const std::string& bytes) {
    std::vector<std::int64_t> lines;
    const ProgramSummary summary =
        ReadProgram(bytes, "ll.eia", LevelsOfExample(),
                    [&](const ProgramMove& m) { lines.push_back(m.line); });
    return std::pair(summary.lines, lines);
  };
  const auto expected = read(lf);
  ASSERT_EQ(expected.first, 11);
  std::string cr = lf, crlf, mixed;
  std::replace(cr.begin(), cr.end(), '\n', '\r');
  int line = 0;
  for (const char c : lf) {
    crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    mixed += c != '\n' ? std::string(1, c) : ++line % 3 == 0 ? "\r" : line % 3 == 1 ? "\r\n" : "\n";
  }
  for (const std::string& bytes : {cr, crlf, mixed}) EXPECT_EQ(read(bytes), expected);
}

// Worked by hand: cuts 1 + 0.6 twice; rapids 1, the lift 0.11, the hop sqrt(0.35^2 + 1) and
// the last lift 0.11; feeds 0.11 / 25 per plunge and 1.6 / 50 per letter.
TEST(ProgramStatsTest, WorkedExampleByHand) {
  const ProgramStats stats = StatsOfProgram(ReadData("ll.eia"), "ll.eia", LevelsOfExample());
  EXPECT_EQ(stats.lines, 11);
  EXPECT_EQ(stats.moves, 10);
  EXPECT_NEAR(stats.cutLength, 3.2, 1e-12);
  EXPECT_NEAR(stats.rapidLength, 1 + 0.11 + std::sqrt(0.35 * 0.35 + 1) + 0.11, 1e-12);
  EXPECT_EQ(stats.travelLength, 0);
  EXPECT_EQ(stats.plunges, 2);
  EXPECT_NEAR(stats.feedMinutes, 2 * (0.11 / 25 + 1.6 / 50), 1e-12);
  EXPECT_EQ(stats.untimedMoves, 0);
  EXPECT_NEAR(stats.rapidMinutes, stats.rapidLength / 5000, 1e-15);
}

struct TimingCase {
  const char* name;
  ReaderOptions options;
  const char* program;
  double cut;
  double travel;
  double feedMinutes;
  std::int64_t untimed;
};

ReaderOptions With(ReaderOptions options, auto&&... changes) {
  (changes(options), ...);
  return options;
}
auto Axes(char a1, char a2, char plunge) {
  return [=](ReaderOptions& o) { o.axis1 = a1, o.axis2 = a2, o.plungeAxis = plunge; };
}
auto Levels(double up, double down) {
  return [=](ReaderOptions& o) { o.penUp = up, o.penDown = down; };
}
auto FeedMode(int mode) { return [=](ReaderOptions& o) { o.feedRate = FeedRateOf(mode); }; }
auto LatheMill(int mode) { return [=](ReaderOptions& o) { o.mode = &LatheMillModeOf(mode); }; }

const double kQuarterTurnOfRadius2 = 2 * 3.141592653589793 * 2 / 4;  // 90 degrees on radius 2
const double kA28 = 28.6479 / 360 * (2 * 2 * 3.141592653589793);     // A28.6479 on radius 2

const TimingCase kTiming[] = {
    {"InverseTimeIsOneOverTheLinesF", With(LevelsOfExample(), FeedMode(2)),
     "G00 X0 Y0 Z0.1\nG01 Z-0.01 F2500.00\nG01 X2 F25.00\nG01 X3\n", 3, 0,
     1.0 / 2500 + 1.0 / 25, 1},
    {"UnitsPerMinute", LevelsOfExample(),
     "G00 X0 Y0 Z0.1\nG01 Z-0.01 F25\nG01 X2 F50\nG01 Y1\nG00 Z0.1\nG01 X3 F100\n", 3, 1,
     0.11 / 25 + 2.0 / 50 + 1.0 / 50 + 1.0 / 100, 0},
    {"DegreesPerMinuteOnTheRotaryAxis",
     With(ReaderOptions{}, Axes('A', 'Y', 'Z'), Levels(2.1, 2), FeedMode(1)),
     "G00 A0.0000 Y0.0000 Z2.1000\nG01 Z2.0000 F25.00\nG01 A28.6479 F1432.39\nG01 Y1 F50.00\n",
     kA28 + 1, 0, 0.1 / 25 + 28.6479 / 1432.39 + 1.0 / 50, 0},
    {"RotaryAxisInUnitsPerMinute", With(ReaderOptions{}, Axes('A', 'Y', 'Z'), Levels(2.1, 2)),
     "G00 A0 Y0 Z2.1\nG01 Z2 F25\nG01 A28.6479 F50\n", kA28, 0, 0.1 / 25 + kA28 / 50, 0},
    {"MazakG121WritesRotaryAxesAsLengths",
     With(LevelsOfExample(), Axes('X', 'C', 'Z'), LatheMill(3)),
     "G00 C0.0\nG12.1\nG00 X0 C0 Z0.1\nG01 Z-0.01 F25\nG01 C1.5 F50\nG13.1\n", 1.5, 0,
     0.11 / 25 + 1.5 / 50, 0},
    {"MazakG071PositioningIsATravelFeed",
     With(ReaderOptions{}, Axes('C', 'Z', 'X'), Levels(2.1, 2), LatheMill(2), FeedMode(1)),
     "G00 C0.0000 Z0.0000 X2.1000\nG01 C90.0000 F200.00\n", 0, kQuarterTurnOfRadius2,
     kQuarterTurnOfRadius2 / 200, 0},
    {"IncrementalWordsAddUp", LevelsOfExample(),
     "G90 G00 X1 Y1 Z0.1\nG91\nG01 Z-0.11 F25\nX2 F50\nY-0.5\nG90\nG01 X3 Y0\n", 3, 0,
     0.11 / 25 + 2.0 / 50 + 0.5 / 50 + 0.5 / 50, 0},
    {"FeedMoveWithoutAnyFIsNotTimed", LevelsOfExample(), "G00 X0 Y0 Z0.1\nG01 Z-0.01\nG01 X1\n",
     1, 0, 0, 2},
    {"LevelsTheOtherWayRound", With(ReaderOptions{}, Levels(0, 1)),
     "G00 X0 Y0 Z0\nG01 Z1 F10\nG01 X1 F50\nG00 Z0\nG01 X2\n", 1, 1, 0.1 + 1.0 / 50 + 1.0 / 50,
     0},
};

class TimingTest : public testing::TestWithParam<TimingCase> {};

TEST_P(TimingTest, LengthsAndTimes) {
  const TimingCase& c = GetParam();
  const ProgramStats stats = StatsOfProgram(c.program, "p.eia", c.options);
  EXPECT_NEAR(stats.cutLength, c.cut, 1e-9);
  EXPECT_NEAR(stats.travelLength, c.travel, 1e-9);
  EXPECT_NEAR(stats.feedMinutes, c.feedMinutes, 1e-9);
  EXPECT_EQ(stats.untimedMoves, c.untimed);
}

INSTANTIATE_TEST_SUITE_P(Feeds, TimingTest, testing::ValuesIn(kTiming),
                         [](const auto& info) { return std::string(info.param.name); });

// After the opening move at (0, 0), a line that moves nothing must leave X where it was, so the
// next feed move still starts at X 0.
struct SkippedCase {
  const char* line;
  bool unread;
};
const SkippedCase kSkipped[] = {
    {"N1000", false},        {"M30", false},           {"T1 M6", false},
    {"(G01 X5 Y5)", false},  {"; G01 X5", false},      {"G16 X5", false},
    {"G04 X5", false},       {"G110C2", false},        {"G17UH", false},
    {"G12.1", false},        {"%", false},             {"", false},
    {"G01 X1.2.3", true},
    {"G01 X-", true},        {"G01 X99999999999", true},
};

TEST(ProgramReaderTest, LinesThatMoveNothingAreSkipped) {
  for (const SkippedCase& c : kSkipped) {
    SCOPED_TRACE(c.line);
    ProgramReader reader(LevelsOfExample());
    reader.ReadLine("G00 X0 Y0 Z0.1");
    reader.ReadLine("G01 Z-0.01 F25");
    EXPECT_FALSE(reader.ReadLine(c.line));
    const std::optional<ProgramMove> next = reader.ReadLine("G01 Y1");
    ASSERT_TRUE(next);
    EXPECT_EQ(next->from, (Point2{0, 0}));
    EXPECT_EQ(next->kind, MoveKind::Cut);
    EXPECT_EQ(reader.Summary().unreadLines, c.unread ? 1 : 0);
    EXPECT_EQ(reader.Summary().lines, 4);
  }
}

TEST(ProgramReaderTest, StartIsWhereBothPlaneAxesFirstBecomeKnown) {
  ReaderOptions options = With(LevelsOfExample(), Axes('X', 'C', 'Z'), LatheMill(3));
  std::vector<ProgramMove> moves;
  const ProgramSummary summary =
      ReadProgram("G00 C0.0\r\nG12.1\r\nG00 X1.0000 C2.0000 Z0.1000\r\nG00 X3\r\n", "p", options,
                  [&](const ProgramMove& m) { moves.push_back(m); });
  EXPECT_EQ(summary.start, (Point2{1, 2}));
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0].from, (Point2{1, 2}));
  EXPECT_EQ(moves[0].to, (Point2{3, 2}));
}

TEST(ProgramReaderTest, RotaryDegreesUnrollOnThePenDownRadius) {
  ReaderOptions options = With(ReaderOptions{}, Axes('C', 'Z', 'X'), Levels(2.1, 2));
  ProgramReader reader(options);
  reader.ReadLine("G00 C90.0000 Z0.0000 X2.1000");
  const std::optional<ProgramMove> move = reader.ReadLine("G00 C180.0000");
  ASSERT_TRUE(move);
  EXPECT_NEAR(move->from.x, 3.141592653589793, 1e-12);
  EXPECT_NEAR(move->to.x, 2 * 3.141592653589793, 1e-12);
  EXPECT_EQ(reader.Summary().extents[0], (AxisExtent{'C', 90, 180}));  // as written
}

struct OptionsCase {
  const char* name;
  ReaderOptions options;
  const char* message;
};
const OptionsCase kBadOptions[] = {
    {"EmptyLetter", With(ReaderOptions{}, Axes('\0', 'Y', 'Z')), "The axis letter of Axis 1 is empty"},
    {"Digit", With(ReaderOptions{}, Axes('X', '1', 'Z')),
     "The axis letter of Axis 2 must be a letter, not '1'"},
    {"FeedLetter", With(ReaderOptions{}, Axes('X', 'Y', 'f')),
     "The axis letter of the plunge axis (Axis3E) must not be 'f': every program uses F"},
    {"SpindleLetter", With(ReaderOptions{}, Axes('s', 'Y', 'Z')), "every program uses S"},
    {"SameLetterTwice", With(ReaderOptions{}, Axes('X', 'x', 'Z')),
     "Axis 1 (Axis1E) and Axis 2 (Axis2E) are both 'x'"},
    {"RotaryOnRadiusZero", With(ReaderOptions{}, Axes('A', 'Y', 'Z'), Levels(1, 0)),
     "must be above 0 with a rotary axis"},
    {"G16OnRadiusZero", With(ReaderOptions{}, Axes('X', 'Y', 'Z'), Levels(1, 0), LatheMill(1)),
     "must be above 0 with a rotary axis"},
};

TEST(ProgramReaderTest, RefusesOptionsItCannotReadWith) {
  for (const OptionsCase& c : kBadOptions) {
    SCOPED_TRACE(c.name);
    EXPECT_THAT([&] { ProgramReader reader(c.options); },
                testing::ThrowsMessage<Error>(HasSubstr(c.message)));
  }
  // In the G12.1 modes rotary words are lengths, so a radius of 0 unrolls nothing.
  EXPECT_NO_THROW({
    ProgramReader reader(With(ReaderOptions{}, Axes('X', 'C', 'Z'), Levels(1, 0), LatheMill(3)));
  });
}

TEST(ProgramReaderTest, OptionsFromTheSettings) {
  EngraveSettings settings;
  settings.Axis1E = "Y";
  settings.Axis2E = "Z";
  settings.Axis3E = "X";
  settings.PenUpE = "2.1";
  settings.PenDownE = "2";
  settings.IntegrexMode = 1;
  settings.FeedMode = 1;
  EXPECT_EQ(ReaderOptionsFrom(settings),
            ReaderOptions(MachineAxes{'Y', 'Z', 'X', 2.1, 2, FeedRate::DegreesPerMinute,
                                      &LatheMillModeOf(1), DegreesAxis::Axis1}));
  // A job written with these settings reads back with the same axes.
  settings.IntegrexMode = 0;
  EXPECT_EQ(static_cast<const MachineAxes&>(PrepareJob(settings)),
            static_cast<const MachineAxes&>(ReaderOptionsFrom(settings)));
  settings.PenDownE = "x";
  EXPECT_THAT([&] { ReaderOptionsFrom(settings); },
              testing::ThrowsMessage<Error>("'x' is not a valid floating point value"));
}

// Arcs from (1, 0) at Z -1 (cutting level of the default options) at F10.
struct ArcCase {
  const char* name;
  ReaderOptions options;
  const char* arc;
  double length;
  double sweep;
  Point2 centre;
};
const double kRootTwo = std::sqrt(2.0);
const ArcCase kArcs[] = {
    {"QuarterByCentreCounterClockwise", {}, "G03 X0 Y1 I-1 J0", kPi / 2, kPi / 2, {0, 0}},
    {"ThreeQuartersByCentreClockwise", {}, "G02 X0 Y1 I-1", 3 * kPi / 2, -3 * kPi / 2, {0, 0}},
    {"QuarterByRadius", {}, "G02 X0 Y1 R1", kPi / 2, -kPi / 2, {1, 1}},
    {"NegativeRadiusTakesTheLargerArc", {}, "G02 X0 Y1 R-1", 3 * kPi / 2, -3 * kPi / 2, {0, 0}},
    {"RadiusOfHalfTheChordIsAHalfTurn", {}, "G03 X-1.0000001 Y0 R1", kPi, kPi, {0, 0}},
    {"RadiusLargerThanTheChord", {}, "G03 X0 Y1 R1.4142135623730951",
     kRootTwo * kPi / 3, kPi / 3, {0.5 - std::sqrt(0.75), 0.5 - std::sqrt(0.75)}},
    {"FullCircleEndsWhereItStarts", {}, "G03 X1 Y0 I-1 J0", 2 * kPi, 2 * kPi, {0, 0}},
    {"FullCircleWithoutAxisWords", {}, "G02 I-2", 4 * kPi, -2 * kPi, {-1, 0}},
    {"HelixCountsItsRise", {}, "G03 X1 Y0 Z-2 I-1", std::hypot(2 * kPi, 1.0), 2 * kPi, {0, 0}},
    {"HelicalQuarter", {}, "G02 X0 Y-1 Z-4 R1", std::hypot(kPi / 2, 3.0), -kPi / 2, {0, 0}},
    {"IncrementalEndsCentreFromTheStart", {}, "G91 G03 X-1 Y1 I-1", kPi / 2, kPi / 2, {0, 0}},
    // Y then X turns the plane over: G02 is counter-clockwise in (Y, X); J runs along Y.
    {"PlaneOfYThenX", With(ReaderOptions{}, Axes('Y', 'X', 'Z')), "G02 X1 Y0 I0 J-1",
     kPi / 2, kPi / 2, {0, 0}},
    {"PlaneOfXThenZ", With(ReaderOptions{}, Axes('X', 'Z', 'Y'), Levels(1, -1)),
     "G02 X0 Z1 I-1 K0", kPi / 2, kPi / 2, {0, 0}},
};

TEST(ProgramReaderTest, ArcsCountTheirTrueLength) {
  for (const ArcCase& c : kArcs) {
    SCOPED_TRACE(c.name);
    const char axis2 = c.options.axis2;
    const char plunge = c.options.plungeAxis;
    // Start at axis 1 = 1, axis 2 = 0, plunge axis -1.
    std::string program = std::string("G00 ") + c.options.axis1 + "1 " + axis2 + "0\nG01 " +
                          plunge + "-1 F10\n" + c.arc + "\n";
    std::vector<ProgramMove> moves;
    ReadProgram(program, "p.eia", c.options,
                [&](const ProgramMove& move) { moves.push_back(move); });
    ASSERT_EQ(moves.size(), 2u);
    const ProgramMove& arc = moves[1];
    EXPECT_TRUE(arc.arc);
    EXPECT_EQ(arc.kind, MoveKind::Cut);
    EXPECT_EQ(arc.line, 3);
    EXPECT_NEAR(arc.length, c.length, 1e-6);
    EXPECT_NEAR(arc.sweep, c.sweep, 1e-6);
    EXPECT_NEAR(arc.centre.x, c.centre.x, 1e-6);
    EXPECT_NEAR(arc.centre.y, c.centre.y, 1e-6);
    ASSERT_TRUE(arc.minutes);
    EXPECT_NEAR(*arc.minutes, c.length / 10, 1e-6);
    const ProgramStats stats = StatsOfProgram(program, "p.eia", c.options);
    EXPECT_NEAR(stats.cutLength, c.length, 1e-6);
    // The plunge starts from an unknown level and adds no time.
    EXPECT_NEAR(stats.feedMinutes, c.length / 10, 1e-6);
    // Drawn with its own chords, each end on the circle, ending exactly where the move ends.
    const std::vector<Point2> points = MovePoints(arc);
    EXPECT_GT(points.size(), 16u);
    EXPECT_LE(points.size(), static_cast<std::size_t>(kMaxArcChords) + 1);
    EXPECT_EQ(points.front(), arc.from);
    EXPECT_EQ(points.back(), arc.to);
    const double radius = std::hypot(arc.from.x - arc.centre.x, arc.from.y - arc.centre.y);
    for (const Point2& p : points) {
      EXPECT_NEAR(std::hypot(p.x - arc.centre.x, p.y - arc.centre.y), radius, 1e-9);
    }
  }
}

TEST(ProgramReaderTest, ArcsOutsideAPlaneOfXYZAreTheirChord) {
  const ReaderOptions options = With(ReaderOptions{}, Axes('X', 'A', 'Z'), LatheMill(3));
  std::vector<ProgramMove> moves;
  ReadProgram("G00 X0 A0\nG01 Z-1 F10\nG02 X1 A0 I5\n", "p.eia", options,
              [&](const ProgramMove& move) { moves.push_back(move); });
  ASSERT_EQ(moves.size(), 2u);
  EXPECT_FALSE(moves[1].arc);
  EXPECT_NEAR(moves[1].length, 1, 1e-12);
  EXPECT_EQ(MovePoints(moves[1]).size(), 2u);
}

struct BadProgramCase {
  const char* name;
  std::string bytes;
  const char* message;
};

TEST(ProgramReaderTest, RefusesTextThatIsNoProgram) {
  const BadProgramCase cases[] = {
      {"LongLine", "G00 X0\n" + std::string(5000, '1'),
       "Line 2 of the program 'p.eia' is longer than 4096 characters"},
      {"ZeroByte", std::string("G00 X0\nG01\0X1\n", 14), "binary data (a zero byte on line 2)"},
      {"AxisTwice", "G00 X0 Y0\nG01 X1 Y1 x2\n",
       "Line 2 of the program \'p.eia\' holds two x words: a control refuses a line that gives one address twice"},
      {"PlungeAxisTwice", "G00 Z1\nG00 Z1 Z-1\n", "Line 2 of the program \'p.eia\' holds two Z words"},
      {"FeedTwice", "G01 X1 F10 F20\n", "Line 1 of the program \'p.eia\' holds two F words"},
      {"OtherAxisTwice", "G00 A1 A2\n", "Line 1 of the program \'p.eia\' holds two A words"},
      {"RadiusTwice", "G00 X0 Y0\nG02 X1 Y1 R1 R2\n", "Line 2 of the program \'p.eia\' holds two R words"},
      {"ArcRadiusShort", "G00 X0 Y0\nG02 X3 Y0 R1\n",
       "Line 2 of the program \'p.eia\' holds an arc that cannot be: R is shorter than half the distance from its start "
       "to its end"},
      {"ArcRadiusAndCentre", "G00 X0 Y0\nG03 X1 Y1 R1 I1\n",
       "Line 2 of the program \'p.eia\' holds an arc that cannot be: it gives both R and centre offsets"},
      {"ArcWithoutCentre", "G00 X0 Y0\nG02 X1 Y1 F10\n",
       "Line 2 of the program \'p.eia\' holds an arc that cannot be: it gives neither R nor centre offsets"},
      {"ArcModalWithoutCentre", "G00 X0 Y0\nG02 X1 Y1 I1\nX2 Y2\n",
       "Line 3 of the program \'p.eia\' holds an arc that cannot be: it gives neither"},
      {"ArcEndsOffItsCircle", "G00 X0 Y0\nG02 X2 Y0 I3\n",
       "Line 2 of the program \'p.eia\' holds an arc that cannot be: its end is not as far from the centre as its start"},
      {"ArcRadiusBackToStart", "G00 X0 Y0\nG02 X0 Y0 R1\n",
       "Line 2 of the program \'p.eia\' holds an arc that cannot be: an R arc must end away from its start"},
      {"ArcCentreAtStart", "G00 X0 Y0\nG02 X0 Y0 I0 J0\n",
       "Line 2 of the program \'p.eia\' holds an arc that cannot be: its centre is its start"},
  };
  for (const BadProgramCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_THAT([&] { ReadProgram(c.bytes, "p.eia", ReaderOptions{}, nullptr); },
                testing::ThrowsMessage<Error>(HasSubstr(c.message)));
  }
}

TEST(ProgramReaderTest, AnyBytesEndInAReadingOrAnError) {
  std::mt19937 random(20240611);
  const std::string alphabet = "GXYZACFMNIJR0123456789.-+ ()#;[\r\n\t\x80\xff";
  for (int round = 0; round < 300; ++round) {
    std::string bytes(random() % 3000, ' ');
    for (char& c : bytes) {
      c = round % 3 == 0 ? static_cast<char>(random()) : alphabet[random() % alphabet.size()];
    }
    try {
      const ProgramStats stats = StatsOfProgram(bytes, "p", ReaderOptions{});
      EXPECT_GE(stats.lines, 1);
      EXPECT_TRUE(std::isfinite(stats.cutLength) && std::isfinite(stats.feedMinutes));
    } catch (const Error&) {
    }
  }
}

class ProgramFileTest : public testing::Test {
 protected:
  test::TempFolder folder{"stylor-preview"};
  std::string dir = folder.Path().string();
};

TEST_F(ProgramFileTest, ReadsTheBytesAndRefusesWhatItCannotRead) {
  EXPECT_EQ(ReadProgramFile(std::string(STYLOR_TEST_DATA) + "/l.eia"), ReadData("l.eia"));
  const std::string missing = dir + "/missing.eia";
  EXPECT_THAT([&] { ReadProgramFile(missing); },
              testing::ThrowsMessage<Error>("Cannot read the program file '" + missing +
                                            "': No such file or directory"));
  EXPECT_THAT([&] { ReadProgramFile(dir); },
              testing::ThrowsMessage<Error>(HasSubstr("Is a directory")));
  // A named pipe that no one writes to kept `stylor-cli stats` and Open Program waiting for ever.
  const std::string pipe = dir + "/pipe.eia";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  for (const std::string& device : {pipe, std::string("/dev/zero")}) {
    EXPECT_THAT([&] { ReadProgramFile(device); },
                testing::ThrowsMessage<Error>("Cannot read the program file '" + device +
                                              "': it is not a regular file (a device or a pipe, "
                                              "say)"));
  }
  const std::string large = dir + "/large.eia";
  std::ofstream(large).put('G');
  fs::resize_file(large, kMaxProgramBytes + 1);  // sparse: nothing is really written
  EXPECT_THAT([&] { ReadProgramFile(large); },
              testing::ThrowsMessage<Error>(HasSubstr("is larger than 64 MiB")));
}

// A file is read in pieces of some 256 KiB: lines, CR LF pairs and refusals that straddle the
// pieces read as they do from the whole bytes, the file named by its path.
TEST_F(ProgramFileTest, ReadsAFileInPiecesAsItsWholeBytes) {
  std::mt19937 random(7);
  std::string bytes;
  const char* const ends[] = {"\n", "\r\n", "\r"};
  for (int k = 0; bytes.size() < 700'000; ++k) {
    bytes += k % 5 == 0 ? "G00 X" : "G01 X";
    AppendInteger(bytes, static_cast<long long>(random() % 1000));
    bytes += " Y";
    AppendInteger(bytes, static_cast<long long>(random() % 1000));
    bytes += k % 5 == 0 ? " Z1" : " Z-1 F10";
    bytes += std::string(random() % 40, ' ');
    bytes += ends[random() % 3];
  }
  const auto read = [&](const std::string& program, bool fromFile) {
    std::vector<std::int64_t> lines;
    const auto visit = [&](const ProgramMove& move) { lines.push_back(move.line); };
    const std::string path = dir + "/p.eia";
    if (!fromFile) return std::pair(ReadProgram(program, path, ReaderOptions{}, visit).lines, lines);
    std::ofstream(path, std::ios::binary) << program;
    return std::pair(ReadProgramFile(path, ReaderOptions{}, visit).lines, lines);
  };
  for (const std::size_t cut : {std::size_t{0}, std::size_t{1}, std::size_t{262'143},
                                std::size_t{266'241}, std::size_t{266'242}}) {
    SCOPED_TRACE(cut);
    const std::string program = bytes.substr(cut);
    EXPECT_EQ(read(program, true), read(program, false));
  }
  // A CR at the end of the first piece whose LF comes with the second is one line end.
  std::string crlf(266'241, ' ');
  crlf[266'240] = '\r';
  for (std::size_t at = 100; at < 266'000; at += 100) crlf[at] = '\n';
  crlf += "\nG00 X1 Y1\r\nG01 X2 F10\r\n";
  EXPECT_EQ(read(crlf, true), read(crlf, false));

  const std::string path = dir + "/p.eia";
  const auto refusal = [&](const std::string& program) {
    std::ofstream(path, std::ios::binary) << program;
    try {
      ReadProgramFile(path, ReaderOptions{}, nullptr);
    } catch (const Error& error) {
      return std::string(error.what());
    }
    return std::string();
  };
  const std::string front(270'000, '\n');
  EXPECT_EQ(refusal(front + std::string(5000, '1')),
            "Line 270001 of the program '" + path + "' is longer than 4096 characters: it is not "
            "a G-code program");
  EXPECT_EQ(refusal(std::string(262'000, '\n') + std::string(5000, '1') + "\n"),
            "Line 262001 of the program '" + path + "' is longer than 4096 characters: it is not "
            "a G-code program");
  EXPECT_THAT(refusal(front + std::string("G01\0X1\n", 7)),
              HasSubstr("The program '" + path + "' holds binary data (a zero byte on line 270001)"));
  EXPECT_EQ(refusal(front + "G01 X1 X2\n"),
            "Line 270001 of the program '" + path + "' holds two X words: a control refuses a line "
            "that gives one address twice");
  // Told how far it is, it can be stopped.
  std::vector<std::size_t> told;
  struct Stop {};
  std::ofstream(path, std::ios::binary) << bytes;
  EXPECT_THROW(ReadProgramFile(path, ReaderOptions{}, nullptr,
                               [&](std::size_t done, std::size_t total) {
                                 EXPECT_EQ(total, bytes.size());
                                 told.push_back(done);
                                 if (done > 300'000) throw Stop{};
                               }),
               Stop);
  EXPECT_EQ(told.front(), 0u);
  EXPECT_GT(told.back(), 300'000u);
  EXPECT_LT(told.back(), bytes.size());
}

}  // namespace
}  // namespace stylor
