#include "engrave/cutting/cutting.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "engrave/emitter.h"
#include "engrave/fonts/font_file.h"
#include "engrave/layouts/sequence.h"
#include "engrave/job_plan.h"
#include "engrave/program_store.h"
#include "engrave/prepared_job.h"
#include "settings/engrave_settings.h"
#include "settings/error.h"
#include "support/font_text.h"

namespace stylor {
namespace {

using test::FontFromText;
using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::HasSubstr;
using testing::ThrowsMessage;

// An L (one open path of two strokes) and an O-like square (one closed path).
constexpr const char* kFont =
    "SYM L\nG00 X0 Y1\nG01 Z-1\nG01 X0 Y0\nG01 X0.6 Y0\nG00 Z1\n"
    "SYM I\nG00 X0 Y1\nG01 Z-1\nG01 X0.6 Y1\nG00 Z1\nG00 X0 Y0\nG01 Z-1\nG01 X0.6 Y0\nG00 Z1\n"
    "G00 X0.3 Y1\nG01 Z-1\nG01 X0.3 Y0\nG00 Z1\n"
    "SYM O\nG00 X0 Y0\nG01 Z-1\nG01 X0.5 Y0\nG01 X0.5 Y1\nG01 X0 Y1\nG01 X0 Y0\nG00 Z1\n";

struct PassCase {
  const char* name;
  double penUp, penDown, step;
  bool spring;
  std::vector<double> levels;
};

TEST(PassLevels, StepDownFromTheSurfaceAndEndAtFullDepth) {
  const PassCase cases[] = {
      {"one pass", 1, -0.3, 0, false, {-0.3}},
      {"spring pass alone", 1, -0.3, 0, true, {-0.3, -0.3}},
      {"even steps", 1, -0.3, 0.1, false, {-0.1, -0.2, -0.3}},
      {"last step shorter", 1, -0.25, 0.1, false, {-0.1, -0.2, -0.25}},
      {"spring pass after the steps", 1, -0.2, 0.1, true, {-0.1, -0.2, -0.2}},
      {"plunge axis upwards", -1, 0.2, 0.1, false, {0.1, 0.2}},
  };
  for (const PassCase& c : cases) {
    const std::vector<double> levels = PassLevels(c.penUp, c.penDown, c.step, c.spring);
    ASSERT_EQ(levels.size(), c.levels.size()) << c.name;
    for (std::size_t k = 0; k < levels.size(); ++k) EXPECT_NEAR(levels[k], c.levels[k], 1e-12) << c.name;
    EXPECT_EQ(levels.back(), c.penDown) << c.name;
  }
}

TEST(RampAlong, GoesBackAndForthOnAShortStrokeAndEndsAtDepth) {
  const CutPath path = {{0, 0}, {1, 0}, {1, 5}};
  const std::vector<RampPoint> ramp = RampAlong(path, 0, -1, 2.5);
  ASSERT_EQ(ramp.size(), 3u);
  EXPECT_EQ(ramp[0].at.x, 1);
  EXPECT_NEAR(ramp[0].level, -0.4, 1e-12);
  EXPECT_EQ(ramp[1].at.x, 0);
  EXPECT_NEAR(ramp[1].level, -0.8, 1e-12);
  EXPECT_NEAR(ramp[2].at.x, 0.5, 1e-12);
  EXPECT_EQ(ramp[2].level, -1);
  // Never off the first stroke.
  for (const RampPoint& point : ramp) EXPECT_EQ(point.at.y, 0);
  // A long stroke takes the ramp in one leg.
  const std::vector<RampPoint> one = RampAlong({{0, 0}, {4, 0}}, 0, -1, 2);
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0].at.x, 2);
  EXPECT_TRUE(RampAlong({{3, 3}}, 0, -1, 2).empty());
}

TEST(OrderPaths, TwoOptMendsABadOrderAndReversesOpenPaths) {
  // Four short strokes along a line, given in the worst order and each drawn backwards.
  std::vector<CutPath> paths = {
      {{4, 0}, {3, 0}}, {{1, 0}, {0, 0}}, {{7, 0}, {6, 0}}, {{2.5, 0}, {1.5, 0}}};
  const double before = TravelLength(paths, {0, 0});
  OrderPaths(paths, {0, 0}, 1e-6);
  EXPECT_NEAR(TravelLength(paths, {0, 0}), 3, 1e-12);
  EXPECT_LT(TravelLength(paths, {0, 0}), before / 4);
  EXPECT_EQ(paths.front().front().x, 0);  // the first stroke reversed
  // The same input gives the same order.
  std::vector<CutPath> again = {
      {{4, 0}, {3, 0}}, {{1, 0}, {0, 0}}, {{7, 0}, {6, 0}}, {{2.5, 0}, {1.5, 0}}};
  OrderPaths(again, {0, 0}, 1e-6);
  EXPECT_EQ(again.size(), paths.size());
  for (std::size_t k = 0; k < paths.size(); ++k) EXPECT_EQ(again[k].front().x, paths[k].front().x);

  // Nearest neighbour alone goes to the near end of a line first; 2-opt turns the run round.
  std::vector<CutPath> zigzag = {{{1, 0}}, {{-2, 0}}, {{3, 0}}, {{-4, 0}}, {{5, 0}}};
  OrderPaths(zigzag, {0, 0}, 1e-6);
  double nearestNeighbour = 1 + 3 + 5 + 7 + 9;
  EXPECT_LT(TravelLength(zigzag, {0, 0}), nearestNeighbour);
}

TEST(OrderPaths, JoinsPathsThatMeetWithinTheTolerance) {
  std::vector<CutPath> paths = {{{0, 0}, {1, 0}}, {{5, 5}, {6, 5}}, {{1.00001, 0}, {1, 1}},
                                {{0, 2}, {1, 1}}};
  OrderPaths(paths, {0, 0}, 0.0001);
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(paths[0].size(), 4u);  // the third joined on, the fourth reversed onto it
  EXPECT_EQ(paths[0].back().y, 2);
  // Beyond the tolerance nothing joins.
  std::vector<CutPath> apart = {{{0, 0}, {1, 0}}, {{1.01, 0}, {2, 0}}};
  OrderPaths(apart, {0, 0}, 0.0001);
  EXPECT_EQ(apart.size(), 2u);
}

TEST(DotsAlong, PutsADotOnEveryCornerAndNoneFartherApartThanThePitch) {
  const std::vector<Point2> dots = DotsAlong({{0, 0}, {1, 0}, {1, 0.5}}, 0.3);
  const auto has = [&dots](double x, double y) {
    return std::any_of(dots.begin(), dots.end(), [&](Point2 p) {
      return std::abs(p.x - x) < 1e-12 && std::abs(p.y - y) < 1e-12;
    });
  };
  EXPECT_TRUE(has(0, 0));
  EXPECT_TRUE(has(1, 0));  // the corner
  EXPECT_TRUE(has(1, 0.5));
  for (std::size_t k = 1; k < dots.size(); ++k) {
    EXPECT_LE(std::hypot(dots[k].x - dots[k - 1].x, dots[k].y - dots[k - 1].y), 0.3 + 1e-12);
  }
  EXPECT_EQ(dots.size(), 4u + 2u + 1u);  // 1 / 0.3 -> 4 legs, 0.5 / 0.3 -> 2 legs
  // A closed square: its start is dotted once.
  EXPECT_EQ(DotsAlong({{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}}, 1).size(), 4u);
}

// The moves of "text" with the settings `set` on top of the defaults, penUp 1 and penDown -0.3.
std::string Program(std::vector<std::pair<std::string, std::string>> set, std::string_view text) {
  EngraveSettings settings;
  settings.PenUpE = "1";
  settings.PenDownE = "-0.3";
  settings.TextHeightE = "1";
  for (const auto& [name, value] : set) {
    const FieldInfo* field = FindField(name);
    if (const auto* t = std::get_if<TextField>(&field->ref)) settings.*(*t) = value;
    if (const auto* i = std::get_if<IndexField>(&field->ref)) settings.*(*i) = std::stoi(value);
    if (const auto* b = std::get_if<StateField>(&field->ref)) settings.*(*b) = value == "1";
  }
  const PreparedJob job = PrepareJob(settings);
  auto font = FontFromText(kFont);
  std::string out;
  AppendEngraveMoves(out, job, {}, 0, text, *font);
  return out;
}

std::vector<double> ZWords(const std::string& program) {
  std::vector<double> levels;
  std::istringstream lines(program);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t z = line.find(" Z");
    if (z != std::string::npos) levels.push_back(std::stod(line.substr(z + 2)));
  }
  return levels;
}

TEST(CuttingProgram, DepthPassesFinishEachCharacterBeforeTheNextBegins) {
  const std::string program = Program({{"DepthPerPassE", "0.1"}, {"SpringPass", "1"}}, "LO");
  // Opening; L: three passes and the spring pass; O: the same.
  EXPECT_THAT(ZWords(program),
              ElementsAreArray({1.0, -0.1, 1.0, -0.2, 1.0, -0.3, 1.0, -0.3, 1.0,  //
                                -0.1, 1.0, -0.2, 1.0, -0.3, 1.0, -0.3, 1.0}));
  // Each plunge is fed at the plunge feed.
  EXPECT_THAT(program, HasSubstr("G01 Z-0.2000 F25.00\n"));
  // All off: the plain moves, as every program had.
  EXPECT_EQ(Program({}, "LO"), Program({{"TravelOrder", "0"}, {"DepthPerPassE", "0"}}, "LO"));
}

TEST(CuttingProgram, AClosedPathEndsByCuttingOverItsRamp) {
  const std::string program = Program({{"RampLengthE", "0.25"}}, "O");
  EXPECT_THAT(program, HasSubstr("G00 X0.0000 Y0.0000 Z1.0000\n"
                                 "G01 Z0.0000 F25.00\n"
                                 "G01 X0.2500 Z-0.3000 F50.00\n"
                                 "G01 X0.5000\n"));
  EXPECT_THAT(program, HasSubstr("G01 Y0.0000\nG01 X0.2500\nG00 Z1.0000\n"));
  // An open path goes back over its ramp at depth before it is cut.
  EXPECT_THAT(Program({{"RampLengthE", "0.25"}}, "L"),
              HasSubstr("G01 Y0.7500 Z-0.3000 F50.00\nG01 Y1.0000\nG01 Y0.0000\n"));
}

TEST(CuttingProgram, LaserModeSwitchesTheBeamAndNeverMovesZ) {
  const std::string m3 = Program({{"LaserMode", "1"}, {"LaserPowerE", "750"}}, "LO");
  EXPECT_TRUE(ZWords(m3).empty());
  EXPECT_THAT(m3, HasSubstr("M03 S750\nG01 Y0.0000 F50.00\n"));
  EXPECT_THAT(m3, HasSubstr("M05\nG00"));
  const std::string m4 = Program({{"LaserMode", "2"}, {"LaserPowerE", "0.5"}}, "L");
  EXPECT_THAT(m4, HasSubstr("M04 S0.5\n"));
  EXPECT_THAT(m4, testing::EndsWith("S0\n"));
}

TEST(CuttingProgram, LaserPassesStepZLeadInAndAirAssist) {
  const std::vector<std::pair<std::string, std::string>> laser = {{"LaserMode", "1"},
                                                                  {"LaserPowerE", "750"}};
  auto with = [&](std::vector<std::pair<std::string, std::string>> more) {
    more.insert(more.begin(), laser.begin(), laser.end());
    return Program(more, "L");
  };
  // Three passes, each 0.05 nearer the work from the focus at pen down, then back to it.
  const std::string passes = with({{"LaserPassesE", "3"}, {"LaserZStepE", "0.05"}});
  EXPECT_THAT(ZWords(passes), ElementsAre(-0.3, -0.35, -0.4, -0.3));
  std::size_t burns = 0;
  for (std::size_t at = passes.find("M03 S750\n"); at != std::string::npos;
       at = passes.find("M03 S750\n", at + 1)) {
    ++burns;
  }
  EXPECT_EQ(burns, 3u);
  EXPECT_THAT(passes, HasSubstr("M05\nG00 Z-0.3500\nG00 X0.0000 Y1.0000\nM03 S750\n"));
  // Passes without a step burn again at the focus: still no Z word.
  EXPECT_TRUE(ZWords(with({{"LaserPassesE", "2"}})).empty());
  // L starts down its stem from 0,1: the lead-in comes from above with the beam at S0, and the
  // first move of the stroke carries the power.
  EXPECT_THAT(with({{"LaserLeadInE", "0.25"}}),
              HasSubstr("G00 Y1.2500\nM03 S0\nG01 Y1.0000 F50.00\nG01 Y0.0000 S750\n"
                        "G01 X0.6000\nM05\n"));
  // Air on after the opening rapid, off after the last burn.
  const std::string air = with({{"AirAssist", "2"}});
  EXPECT_THAT(air, testing::StartsWith("G00 X0.0000 Y0.0000\nM08\n"));
  EXPECT_THAT(air, testing::EndsWith("M05\nM09\n"));
}

TEST(CuttingProgram, ACodeKeepsEveryStrokeAndDwellsAtTheBottomOfEachDot) {
  EngraveSettings settings;
  settings.PenUpE = "1";
  settings.PenDownE = "-0.3";
  settings.TravelOrder = 3;
  settings.DepthPerPassE = "0.1";
  const PreparedJob job = PrepareJob(settings);
  std::string out;
  AppendCutMoves(out, job, {{{0, 0}, {1, 0}}, {{0, 1}, {1, 1}}}, {{2, 0}}, 0.2);
  // Both strokes in three passes each: none is held back for an order of the whole text.
  std::size_t passes = 0;
  for (std::size_t at = out.find("G01 Z-0.3000"); at != std::string::npos;
       at = out.find("G01 Z-0.3000", at + 1)) {
    ++passes;
  }
  EXPECT_EQ(passes, 2u + 1u);  // each stroke's last pass, and the dot
  EXPECT_THAT(out, HasSubstr("Y1.0000"));
  EXPECT_THAT(out, HasSubstr("G01 Z-0.3000 F25.00\nG04 P0.20\nG00 Z1.0000\n"));
}

TEST(CuttingProgram, DotsOfEachStyle) {
  const std::string plunge = Program({{"DotPitchE", "0.5"}, {"DotDwellE", "0.2"}}, "L");
  // L: 0,1 -> 0,0 (2 legs) -> 0.6,0 (2 legs): five dots.
  EXPECT_EQ(std::count(plunge.begin(), plunge.end(), 'P'), 5);
  EXPECT_THAT(plunge, HasSubstr("G01 Z-0.3000 F25.00\nG04 P0.2\nG00 Z1.0000\n"));
  const std::string cycle = Program({{"DotPitchE", "0.5"}, {"DotStyle", "1"}}, "L");
  EXPECT_THAT(cycle, HasSubstr("G81 X0.0000 Y0.0000 Z-0.3000 R1.0000 F25.00\n"));
  EXPECT_THAT(cycle, testing::EndsWith("G80\n"));
  const std::string pin =
      Program({{"DotPitchE", "0.5"}, {"DotStyle", "2"}, {"DotCodesE", "M7 M9"}}, "L");
  EXPECT_THAT(pin, HasSubstr("G00 X0.3000\nM7\nG04 P0\nM9\n"));
}

// The length of the rapids of a program in the plane, from 0, 0.
double RapidLength(const std::string& program) {
  double length = 0, x = 0, y = 0;
  std::istringstream lines(program);
  for (std::string line; std::getline(lines, line);) {
    double nx = x, ny = y;
    if (auto p = line.find(" X"); p != std::string::npos) nx = std::stod(line.substr(p + 2));
    if (auto p = line.find(" Y"); p != std::string::npos) ny = std::stod(line.substr(p + 2));
    if (line.starts_with("G00")) length += std::hypot(nx - x, ny - y);
    x = nx;
    y = ny;
  }
  return length;
}

TEST(CuttingProgram, TravelOrderShortensTheRapidsOfALine) {
  auto font = FontFromText(kFont);
  const auto rapid = RapidLength;
  // The I's bars are drawn top, bottom, then the stem from the top: two long rapids each.
  const double plain = rapid(Program({}, "III"));
  const double character = rapid(Program({{"TravelOrder", "1"}}, "III"));
  EXPECT_LT(character, plain * 0.75);
  EXPECT_LE(rapid(Program({{"TravelOrder", "2"}}, "III")), character);
  // An order that saves nothing keeps the font's.
  EXPECT_EQ(Program({{"TravelOrder", "1"}}, "O"), Program({}, "O"));
}

TEST(CuttingProgram, TheWholeJobIsOrderedAcrossItsTexts) {
  EngraveSettings settings;
  settings.PenUpE = "1";
  settings.PenDownE = "-0.3";
  settings.TextHeightE = "1";
  settings.TravelOrder = 3;
  PreparedJob job = PrepareJob(settings);
  auto font = FontFromText(kFont);
  // Two lines of L: the second line starts under the first.
  const TextPlacement lines[] = {{{0, 0}, 0, "LLL"}, {{0, -2}, 0, "LLL"}};
  const auto travel = [](const std::string& program) {
    return static_cast<long>(std::count(program.begin(), program.end(), '\n'));
  };
  std::string whole;
  AppendEngraveGroup(whole, job, lines, *font);
  // One opening rapid, and the second line taken from the end where the first one stops.
  EXPECT_EQ(std::count(whole.begin(), whole.end(), 'Z') - 1, 6 * 2);
  EXPECT_THAT(whole, testing::Not(HasSubstr("G00 X0.0000 Y-2.0000 Z1.0000")));
  job.cutting.travelOrder = 2;
  std::string each;
  AppendEngraveGroup(each, job, lines, *font);
  // Each line opens on its own, straight to the first path the order takes.
  EXPECT_THAT(each, HasSubstr("G00 X0.6000 Y-2.0000 Z1.0000\nG01 Z-0.3000"));
  EXPECT_LE(travel(whole), travel(each));
}

// The body of a run of 100 serial numbers in one program, cut in the shipped font.
std::string SerialRun(int travelOrder) {
  EngraveSettings settings;
  settings.SeqStart = "1";
  settings.SeqEnd = "100";
  settings.SeqPrefix = "SN-";
  settings.SeqDigits = "6";
  settings.TravelOrder = travelOrder;
  StrokeFont font;
  FontReport report;
  LoadFont(std::string(STYLOR_SOURCE_DIR) + "/fonts/BasicFont.fnt", font, report);
  MemorySink body;
  PlanSequence(settings, font)->WriteBody(0, body);
  return body.Bytes();
}

TEST(OrderPaths, ARunOfSerialsTakesAQuarterLessRapidThanTheFontsOrder) {
  const double plain = RapidLength(SerialRun(0));
  const std::string whole = SerialRun(3);
  // Every other number is taken from its far end: the tool no longer goes back across the part.
  EXPECT_LE(RapidLength(whole), plain * 0.75);
  EXPECT_LT(RapidLength(SerialRun(2)), plain);
  EXPECT_EQ(SerialRun(3), whole);
  // Each number is still cut whole under its own N block, in the run's order.
  EXPECT_LT(whole.find("N1\r\n"), whole.find("N2\r\n"));
  EXPECT_EQ(std::count(whole.begin(), whole.end(), 'N'), 100);
}

TEST(OrderPaths, AScrambledGridComesOutWholeAndNearlyShortest) {
  // 64 strokes half a unit long on a grid of unit pitch, given in a scrambled order. The
  // shortest tour runs the rows back and forth: 56 gaps of 0.5 and 7 row changes of 1.
  std::vector<CutPath> paths;
  for (int k = 0; k < 64; ++k) {
    const int cell = k * 37 % 64;
    const double x = cell % 8, y = cell / 8;
    paths.push_back({{x, y}, {x + 0.5, y}});
  }
  const std::vector<CutPath> given = paths;
  OrderPaths(paths, {0, 0}, 1e-6);
  EXPECT_LE(TravelLength(paths, {0, 0}), (56 * 0.5 + 7) * 1.1);
  // Every stroke once, either way round.
  const auto key = [](CutPath path) {
    if (path.back().x < path.front().x) std::reverse(path.begin(), path.end());
    return std::pair(path.front().y, path.front().x);
  };
  std::vector<std::pair<double, double>> in, out;
  for (const CutPath& path : given) in.push_back(key(path));
  for (const CutPath& path : paths) out.push_back(key(path));
  std::sort(in.begin(), in.end());
  std::sort(out.begin(), out.end());
  EXPECT_EQ(out, in);
  // A square entered from its right side starts at the corner nearest the tool.
  std::vector<CutPath> square = {{{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}}};
  OrderPaths(square, {3, 1}, 1e-6);
  EXPECT_THAT(square[0], ElementsAre(Point2{1, 1}, Point2{0, 1}, Point2{0, 0}, Point2{1, 0},
                                     Point2{1, 1}));
}

TEST(CuttingOptions, RefusesWhatCannotBeCutNamingTheFieldOrMode) {
  const struct {
    std::vector<std::pair<std::string, std::string>> set;
    const char* message;
  } cases[] = {
      {{{"DepthPerPassE", "-1"}}, "DepthPerPassE must not be negative"},
      {{{"DepthPerPassE", "x"}}, "DepthPerPassE: "},
      {{{"LaserMode", "1"}}, "LaserMode needs a LaserPowerE above 0"},
      {{{"LaserMode", "1"}, {"LaserPowerE", "9"}, {"DepthPerPassE", "0.1"}},
       "LaserMode and DepthPerPassE or SpringPass cannot be used together"},
      {{{"DotPitchE", "1"}, {"RampLengthE", "1"}}, "DotPitchE and RampLengthE cannot"},
      {{{"DotPitchE", "1"}, {"DotStyle", "2"}}, "DotCodesE must hold two M codes"},
      {{{"DepthPerPassE", "0.0001"}}, "more than 1000 passes"},
      {{{"DepthPerPassE", "0.1"}, {"PenDownE", "10"}, {"PenUpE", "11"}},
       "steps down from the work surface at 0"},
      {{{"IntegrexMode", "3"}, {"DotPitchE", "1"}, {"DotStyle", "1"}},
       "The lathe-mill mode Mazak G12.1 Standard cannot take a canned drilling cycle"},
      {{{"Axis1E", "A"}, {"PenDownE", "5"}, {"DotPitchE", "1"}, {"DotStyle", "1"}},
       "A canned drilling cycle (DotStyle 1) cannot position the rotary axis A"},
      {{{"IntegrexMode", "2"}, {"RampLengthE", "1"}},
       "The lathe-mill mode Mazak G07.1 (C, Z, X) cannot take a ramped entry (RampLengthE)"},
      {{{"AirAssist", "1"}}, "AirAssist is for a laser: set LaserMode too, or leave it at 0"},
      {{{"LaserPassesE", "2"}}, "LaserPassesE is for a laser: set LaserMode too, or leave it at 1"},
      {{{"LaserMode", "1"}, {"LaserPowerE", "9"}, {"LaserPassesE", "0"}},
       "LaserPassesE must be from 1 to 1000"},
      {{{"LaserMode", "1"}, {"LaserPowerE", "9"}, {"LaserZStepE", "0.1"}},
       "LaserZStepE steps between passes: set LaserPassesE above 1"},
      {{{"LaserMode", "1"}, {"LaserPowerE", "9"}, {"LaserLeadInE", "-1"}},
       "LaserLeadInE must not be negative"},
      {{{"LaserMode", "1"}, {"LaserPowerE", "9"}, {"LaserPassesE", "two"}}, "LaserPassesE: "},
  };
  for (const auto& c : cases) {
    EXPECT_THAT([&] { Program(c.set, "L"); }, ThrowsMessage<Error>(HasSubstr(c.message)))
        << c.message;
  }
}

}  // namespace
}  // namespace stylor
