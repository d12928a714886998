// Programs of every layout, in the plain-mill dialect, read by an independent G-code interpreter:
// LinuxCNC's rs274, unpacked by scripts/setup. Its canonical moves must agree with what
// `stylor-cli stats` says of the same program.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_folder.h"
#include "ui/cli/command_line.h"
#include "ui/model/first_setup.h"

namespace stylor {
namespace {

namespace fs = std::filesystem;

// rs274 keeps its tool table in $HOME/.tool.mmap, truncated and mapped shared by every run: two
// runs at once (ctest runs tests side by side) would end one with a bus error. Each run here is
// given its own folder as HOME.
const fs::path kInterpreter = fs::path(STYLOR_SOURCE_DIR) / ".cache" / "linuxcnc-uspace";

// One canonical position: X Y Z A B C, as rs274 prints them.
using Position = std::array<double, 6>;

struct Canon {
  std::vector<std::pair<bool, Position>> moves;  // (is a feed, end point), in program order
};

Canon ReadCanon(const fs::path& file) {
  Canon canon;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) {
    const bool feed = line.find("STRAIGHT_FEED(") != std::string::npos;
    if (!feed && line.find("STRAIGHT_TRAVERSE(") == std::string::npos) continue;
    std::string numbers = line.substr(line.find('(') + 1);
    numbers = numbers.substr(0, numbers.find(')'));
    std::replace(numbers.begin(), numbers.end(), ',', ' ');
    std::istringstream values(numbers);
    Position position{};
    for (double& value : position) values >> value;
    canon.moves.push_back({feed, position});
  }
  return canon;
}

int AxisColumn(char letter) { return static_cast<int>(std::string_view("XYZABC").find(letter)); }

struct Stats {
  double cutLength = -1;
  double travelLength = 0;
  std::map<char, std::pair<double, double>> extents;
};

Stats ParseStats(const std::string& text) {
  Stats stats;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("cut length: ", 0) == 0) stats.cutLength = std::stod(line.substr(12));
    if (line.rfind("travel length: ", 0) == 0) stats.travelLength = std::stod(line.substr(15));
    if (line.rfind("extent ", 0) == 0) {
      std::istringstream values(line.substr(10));
      double min = 0, max = 0;
      values >> min >> max;
      stats.extents[line[7]] = {min, max};
    }
  }
  return stats;
}

struct Case {
  const char* name;
  std::vector<std::string> settings;  // --set FIELD=VALUE, before the job
  const char* job;                    // the action
  bool manyFiles = false;
  const char* dataFile = nullptr;     // the rows of a batch ("batch text <file>")
  // The cutting options: the deepest level the plunge axis must reach, whether it may move at
  // all (laser), whether strokes are dots (no cut length) and whether the program holds canned
  // cycles, which Stylor's reader passes over.
  double deepest = 0;
  bool noZ = false;
  bool dots = false;
  bool cycles = false;
  // Laser lead-ins: feeds with the beam at S0, travel to Stylor's reader, feeds to rs274.
  bool leadIns = false;
};

const std::vector<std::string> kLinear = {"PenDownE=-0.2", "PenUpE=2", "EngraveFeedE=300"};
// Text wrapped around a cylinder of radius 10 on the rotary A, its height along X.
const std::vector<std::string> kRotaryA = {"Axis1E=A", "Axis2E=X", "PenDownE=10", "PenUpE=11",
                                           "EngraveFeedE=300"};

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const Case kCases[] = {
    {"TextLinear",
     Join(kLinear, {"FreeFormTextE=NAME PLATE\nPUMP P-200\nSERIAL 0042", "TextHeightE=5",
                    "Justification=1", "TextAngleE=30", "Axis1StartE=12.5"}),
     "text"},
    {"ArcLinear",
     Join(kLinear, {"ArcTextE=AROUND THE BOSS", "TextHeightE=4", "RadiusE=15", "TextAngleE=90",
                    "Justification=1", "Direction=1"}),
     "arc"},
    {"EllipseLinear",
     Join(kLinear, {"EllipseTextE=BADGE", "TextHeightE=6", "AEdit=80", "BEdit=50",
                    "JustifyPoint=1"}),
     "ellipse"},
    {"SequenceOneFileLinear",
     Join(kLinear, {"SeqStart=8", "SeqEnd=12", "SeqDigits=3", "SeqPrefix=SN-", "TextHeightE=3",
                    "SeqPreGCodes=G00 X0 Y0", "UseArcSettings=1", "RadiusE=20"}),
     "sequence"},
    {"SequenceManyFilesLinear",
     Join(kLinear, {"SeqStart=1", "SeqEnd=3", "Files=1", "FilePrefix=SN", "TextHeightE=3"}),
     "sequence", true},
    {"TextRotaryADegreesPerMinute",
     Join(kRotaryA, {"FreeFormTextE=ROLL 12\nLOT 7", "TextHeightE=3", "FeedMode=1"}), "text"},
    {"ArcRotaryAInverseTime",
     Join(kRotaryA, {"ArcTextE=RING", "TextHeightE=2", "RadiusE=8", "FeedMode=2",
                     "PreToolChange=G93"}),
     "arc"},
    {"SequenceRotaryA", Join(kRotaryA, {"SeqStart=98", "SeqEnd=101", "TextHeightE=3"}),
     "sequence"},
    // The nearest settings to those a job refuses: axes of other letters than the command
    // letters, the smallest feeds and height still written above zero, data values that a
    // G-code comment can hold.
    {"AxesSwapped", Join(kLinear, {"Axis1E=Y", "Axis2E=X", "FreeFormTextE=AB", "TextHeightE=5"}),
     "text"},
    {"SmallestFeeds",
     Join(kLinear, {"EngraveFeedE=0.01", "PlungeFeedE=0.01", "FreeFormTextE=AB", "TextHeightE=5"}),
     "text"},
    {"InverseTimeSmallFeed",
     Join(kLinear, {"FeedMode=2", "PreToolChange=G93", "EngraveFeedE=1", "PlungeFeedE=1",
                    "FreeFormTextE=AB", "TextHeightE=5"}),
     "text"},
    {"SmallestHeight", Join(kLinear, {"TextHeightE=0.0001", "FreeFormTextE=AB"}), "text"},
    {"SmallestHeightOfASequence", Join(kLinear, {"TextHeightE=0.0001", "SeqEnd=1003"}),
     "sequence"},
    {"BatchValuesInComments",
     Join(kLinear, {"FreeFormTextE={Name}", "TextHeightE=5", "SeqPreGCodes=(SERIAL {Serial})",
                    "PreToolChange=(BATCH {Rows} {Serial})"}),
     "batch", false, "Name,Serial\nPLATE,1-A/7 #2 \"X\" *\nPUMP,G00 Z-5.\n"},
    // How it cuts: depth in passes, ramps, travel order, laser, dots.
    {"DepthPassesLinear",
     Join(kLinear, {"FreeFormTextE=DEEP\nO8", "TextHeightE=5", "DepthPerPassE=0.07",
                    "SpringPass=1"}),
     "text", false, nullptr, -0.2},
    {"RampedArcLinear",
     Join(kLinear, {"ArcTextE=RAMPED O", "TextHeightE=4", "RadiusE=15", "RampLengthE=1.5",
                    "DepthPerPassE=0.1"}),
     "arc", false, nullptr, -0.2},
    {"RampedRotaryA", Join(kRotaryA, {"FreeFormTextE=RAMP 0", "TextHeightE=3", "RampLengthE=1"}),
     "text", false, nullptr, 10},
    {"TravelOrderEllipse",
     Join(kLinear, {"EllipseTextE=SHORTEST", "TextHeightE=6", "AEdit=80", "BEdit=50",
                    "TravelOrder=3"}),
     "ellipse", false, nullptr, -0.2},
    {"TravelOrderSequenceOneFile",
     Join(kLinear, {"SeqStart=8", "SeqEnd=12", "TextHeightE=3", "TravelOrder=1"}), "sequence",
     false, nullptr, -0.2},
    {"TravelOrderBatch", Join(kLinear, {"FreeFormTextE={Name}", "TextHeightE=5", "TravelOrder=2"}),
     "batch", false, "Name\nPLATE\nPUMP\n", -0.2},
    {"LaserM3Linear",
     Join(kLinear, {"FreeFormTextE=LASER 42\nBEAM", "TextHeightE=5", "LaserMode=1",
                    "LaserPowerE=800", "TravelOrder=2"}),
     "text", false, nullptr, 0, true},
    {"LaserM4RotaryA",
     Join(kRotaryA, {"SeqStart=98", "SeqEnd=101", "TextHeightE=3", "LaserMode=2",
                     "LaserPowerE=0.6"}),
     "sequence", false, nullptr, 0, true},
    {"LaserPassesStepZLinear",
     Join(kLinear, {"FreeFormTextE=DEEP 8\nO", "TextHeightE=5", "LaserMode=1", "LaserPowerE=800",
                    "LaserPassesE=3", "LaserZStepE=0.1", "AirAssist=2", "TravelOrder=3"}),
     "text", false, nullptr, -0.4},
    {"LaserLeadInM4RotaryA",
     Join(kRotaryA, {"FreeFormTextE=ROLL 7", "TextHeightE=3", "LaserMode=2", "LaserPowerE=0.6",
                     "LaserLeadInE=0.5", "AirAssist=1", "TravelOrder=1"}),
     "text", false, nullptr, 0, true, false, false, true},
    {"TravelOrderSerialsWholeRun",
     Join(kLinear, {"SeqStart=8", "SeqEnd=13", "SeqPrefix=SN-", "TextHeightE=3",
                    "TravelOrder=3"}),
     "sequence", false, nullptr, -0.2},
    {"DotsPlungeLinear",
     Join(kLinear, {"FreeFormTextE=DOT 7", "TextHeightE=5", "DotPitchE=0.8", "DotDwellE=0.1"}),
     "text", false, nullptr, -0.2, false, true},
    {"DotsPinLinear",
     Join(kLinear, {"FreeFormTextE=PIN", "TextHeightE=5", "DotPitchE=0.8", "DotStyle=2",
                    "DotCodesE=M7 M9", "DotDwellE=0.05"}),
     "text", false, nullptr, 0, false, true},
    {"DotsCycleLinear",
     Join(kLinear, {"FreeFormTextE=G82", "TextHeightE=5", "DotPitchE=0.8", "DotStyle=1",
                    "DotDwellE=0.2"}),
     "text", false, nullptr, -0.2, false, true, true},
    {"DotsPlungeRotaryA",
     Join(kRotaryA, {"FreeFormTextE=81", "TextHeightE=3", "DotPitchE=0.5"}), "text", false,
     nullptr, 10, false, true},
    // A code beside the text, in each way of cutting a module and on the rotary axis.
    {"CodeDotsWithDwell",
     Join(kLinear, {"FreeFormTextE=SN 0042", "TextHeightE=3", "CodeKind=1", "CodeText=SN 0042",
                    "CodeStyle=0", "CodeModuleE=0.5", "ToolDiameterE=0.5", "CodeXE=30",
                    "CodeDwellE=0.2"}),
     "text"},
    {"CodeFilledQrTurned",
     Join(kLinear, {"FreeFormTextE=LOT 7", "TextHeightE=3", "CodeKind=2", "CodeText=LOT 7 \u00d8",
                    "CodeStyle=1", "CodeModuleE=0.6", "ToolDiameterE=0.25", "CodeXE=30",
                    "CodeAngleE=37", "CodeLightOnDark=1"}),
     "text"},
    {"CodeOutlines",
     Join(kLinear, {"FreeFormTextE=P-200", "TextHeightE=3", "CodeKind=1", "CodeText=P-200",
                    "CodeStyle=2", "CodeModuleE=0.5", "ToolDiameterE=0.2", "CodeYE=10"}),
     "text"},
    {"CodeRotaryA",
     Join(kRotaryA, {"FreeFormTextE=ROLL 12", "TextHeightE=3", "CodeKind=1", "CodeText=ROLL 12",
                     "CodeStyle=1", "CodeModuleE=0.4", "ToolDiameterE=0.3", "CodeXE=90"}),
     "text"},
    {"CodeOfEachNumber",
     Join(kLinear, {"SeqStart=8", "SeqEnd=10", "SeqPrefix=SN-", "TextHeightE=3", "CodeKind=1",
                    "CodeText={Serial}", "CodeModuleE=0.5", "ToolDiameterE=0.4", "CodeXE=20"}),
     "sequence"},
    {"CodeOfEachRow",
     Join(kLinear, {"FreeFormTextE={Name}", "TextHeightE=5", "CodeKind=2", "CodeText=TAG {Name}",
                    "CodeModuleE=0.5", "ToolDiameterE=0.4", "CodeXE=40"}),
     "batch", false, "Name\nV-101\nV-102\n"},
};

class InterpreterTest : public testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    if (!fs::exists(kInterpreter / "usr" / "bin" / "rs274")) {
      GTEST_SKIP() << "LinuxCNC's rs274 is not unpacked in " << kInterpreter
                   << ": scripts/setup unpacks the package linuxcnc-uspace there";
    }
    folder.Write("empty.var", "");
    folder.Write("empty.tbl", "");
  }

  std::vector<std::string> Args(const Case& c) {
    std::vector<std::string> args = {"--dir", folder.Path().string()};
    // rs274 wants the program to end as a program does.
    for (const std::string& setting : Join(c.settings, {"PostEngrave=G00 Z30\nM2"})) {
      args.insert(args.end(), {"--set", setting});
    }
    return args;
  }

  // Reads `program` with rs274; returns its canonical moves, failing on any error it reports.
  Canon Interpret(const fs::path& program) {
    const fs::path canon = program.string() + ".canon";
    const fs::path log = program.string() + ".log";
    const std::string command =
        "cd '" + folder.Path().string() + "' && HOME=\"$PWD\" LD_LIBRARY_PATH='" +
        (kInterpreter / "usr" / "lib").string() + "' '" +
        (kInterpreter / "usr" / "bin" / "rs274").string() + "' -v empty.var -t empty.tbl '" +
        program.string() + "' '" + canon.string() + "' < /dev/null > '" + log.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream logFile(log);
    const std::string logText((std::istreambuf_iterator<char>(logFile)), {});
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << program << ": rs274 reports an error:\n" << logText;
    return ReadCanon(canon);
  }

  void Compare(const Case& c, const fs::path& program) {
    SCOPED_TRACE(program.filename().string());
    std::ostringstream out, err;
    std::vector<std::string> args = Args(c);
    args.insert(args.end(), {"stats", program.string()});
    ASSERT_EQ(RunCommandLine(args, out, err), 0) << err.str();
    const Stats stats = ParseStats(out.str());
    const Canon canon = Interpret(program);
    ASSERT_FALSE(canon.moves.empty());

    // The plunge axis: in laser mode it never moves after the program's own first lines; with
    // depth passes and dots it reaches the pen down level and goes no deeper.
    if (c.noZ || c.deepest != 0) {
      double deepest = INFINITY;
      bool zMoves = false;
      for (std::size_t k = 0; k < canon.moves.size(); ++k) {
        const double z = canon.moves[k].second[2];
        // rs274's last move is the end block's "G00 Z30".
        if (k + 1 < canon.moves.size()) deepest = std::min(deepest, z);
        if (k > 0 && k + 1 < canon.moves.size() && z != canon.moves[k - 1].second[2]) zMoves = true;
      }
      if (c.noZ) {
        EXPECT_FALSE(zMoves) << "a laser program moves Z";
      } else {
        EXPECT_NEAR(deepest, c.deepest, 1e-9) << "deepest level";
      }
    }
    if (c.cycles) return;  // Stylor's reader does not follow canned cycles

    for (const auto& [letter, extent] : stats.extents) {
      // A laser program writes Z in its end block only; rs274 starts from Z0.
      if (c.noZ && letter == 'Z') continue;
      const int column = AxisColumn(letter);
      ASSERT_GE(column, 0) << letter;
      double min = canon.moves.front().second[column], max = min;
      for (const auto& [feed, position] : canon.moves) {
        min = std::min(min, position[column]);
        max = std::max(max, position[column]);
      }
      EXPECT_NEAR(min, extent.first, 1e-4) << "extent " << letter;
      EXPECT_NEAR(max, extent.second, 1e-4) << "extent " << letter;
    }

    // A cut is a feed that moves the text plane; a rotary axis turns on the cylinder whose
    // radius is the cutting level.
    const bool rotary = c.settings.front() == "Axis1E=A";
    const double mmPerDegree = rotary ? 2 * std::numbers::pi * 10 / 360 : 0;
    const int axis1 = AxisColumn(rotary ? 'A' : 'X'), axis2 = AxisColumn(rotary ? 'X' : 'Y');
    double cut = 0;
    Position at{};
    for (const auto& [feed, position] : canon.moves) {
      double d1 = position[axis1] - at[axis1];
      if (rotary) d1 *= mmPerDegree;
      const double d2 = position[axis2] - at[axis2];
      const double d3 = position[2] - at[2];
      if (feed && (d1 != 0 || d2 != 0)) cut += std::sqrt(d1 * d1 + d2 * d2 + d3 * d3);
      at = position;
    }
    if (!c.dots) {
      EXPECT_GT(cut, 0);
    }
    EXPECT_NEAR(cut, stats.cutLength + (c.leadIns ? stats.travelLength : 0), 1e-4);
  }

  test::TempFolder folder{"stylor-rs274"};
};

TEST_P(InterpreterTest, ReadsTheProgramWithoutErrorAndAgreesWithStats) {
  const Case& c = GetParam();
  const fs::path target = c.manyFiles ? folder.Path() / "out" : fs::path(folder.File("job.eia"));
  if (c.manyFiles) fs::create_directory(target);
  std::ostringstream out, err;
  std::vector<std::string> args = Args(c);
  if (c.dataFile) {
    args.insert(args.end(), {c.job, "text", folder.Write("rows.csv", c.dataFile)});
  } else {
    args.push_back(c.job);
  }
  args.push_back(target.string());
  ASSERT_EQ(RunCommandLine(args, out, err), 0) << err.str();

  std::vector<fs::path> programs;
  if (c.manyFiles) {
    for (const auto& entry : fs::directory_iterator(target)) programs.push_back(entry.path());
    EXPECT_EQ(programs.size(), 3u);
  } else {
    programs.push_back(target);
  }
  for (const fs::path& program : programs) Compare(c, program);
}

INSTANTIATE_TEST_SUITE_P(EveryLayout, InterpreterTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });

std::string JoinBlock(const Lines& lines, bool dropProgramNumber) {
  std::string text;
  for (const std::string& line : lines) {
    // rs274 takes an O word only as the label of a subroutine: the ISO program number is the
    // one line of those templates its dialect does not read.
    if (dropProgramNumber && line.rfind("O1000", 0) == 0) continue;
    if (!text.empty()) text += '\n';
    text += line;
  }
  return text;
}

struct TemplateCase {
  const char* name;
  FirstSetup setup;
};

// The templates of the first set-up for the controls whose dialect rs274 reads; the lathes'
// G12.1, G16, G07.1 and G138 are not in it.
const TemplateCase kTemplates[] = {
    {"LinuxCncMillMillimetres", {SetupUnit::Millimetres, 0, Control::LinuxCnc}},
    {"LinuxCncMillInches", {SetupUnit::Inches, 0, Control::LinuxCnc}},
    {"LinuxCncRotaryMillimetres", {SetupUnit::Millimetres, 1, Control::LinuxCnc}},
    {"IsoMillMillimetres", {SetupUnit::Millimetres, 0, Control::Iso}},
    {"IsoMillInches", {SetupUnit::Inches, 0, Control::Iso}},
};

class SetupTemplateTest : public testing::TestWithParam<TemplateCase> {
 protected:
  void SetUp() override {
    if (!fs::exists(kInterpreter / "usr" / "bin" / "rs274")) {
      GTEST_SKIP() << "LinuxCNC's rs274 is not unpacked in " << kInterpreter;
    }
    folder.Write("empty.var", "");
  }

  test::TempFolder folder{"stylor-rs274"};
};

TEST_P(SetupTemplateTest, ReadsTheBlocksOfTheFirstSetUp) {
  const TemplateCase& c = GetParam();
  const MachineBlocks blocks = BlocksFor(c.setup);
  folder.Write("tool.tbl", "T1 P1 Z0 D3 ;engraver\n");
  const std::string program = folder.File("job.ngc");
  std::vector<std::string> args = {"--dir", folder.Path().string()};
  std::vector<std::string> settings = {
      "FreeFormTextE=PLATE 7", "TextHeightE=5", "PenDownE=-0.2", "PenUpE=2",
      "PreToolChange=" + JoinBlock(blocks.preToolChange, true),
      "ToolChange=" + JoinBlock(blocks.toolChange, true),
      "PostToolChange=" + JoinBlock(blocks.postToolChange, true),
      "PostEngrave=" + JoinBlock(blocks.postEngrave, true)};
  if (kMachineKinds[c.setup.kind].rotaryA) {
    settings.insert(settings.end(), {"Axis1E=A", "Axis2E=X", "PenDownE=10", "PenUpE=11"});
  }
  for (const std::string& setting : settings) args.insert(args.end(), {"--set", setting});
  args.insert(args.end(), {"text", program});
  std::ostringstream out, err;
  ASSERT_EQ(RunCommandLine(args, out, err), 0) << err.str();
  EXPECT_EQ(err.str(), "") << "no warning of the set-up's own blocks";

  const std::string command =
      "cd '" + folder.Path().string() + "' && HOME=\"$PWD\" LD_LIBRARY_PATH='" +
      (kInterpreter / "usr" / "lib").string() + "' '" +
      (kInterpreter / "usr" / "bin" / "rs274").string() + "' -v empty.var -t tool.tbl '" +
      program + "' canon.txt < /dev/null > log.txt 2>&1";
  const int status = std::system(command.c_str());
  std::ifstream logFile(folder.File("log.txt"));
  const std::string logText((std::istreambuf_iterator<char>(logFile)), {});
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << logText;
  std::ifstream canonFile(folder.File("canon.txt"));
  const std::string canon((std::istreambuf_iterator<char>(canonFile)), {});
  const bool inches = c.setup.unit == SetupUnit::Inches;
  EXPECT_THAT(canon, testing::HasSubstr(inches ? "USE_LENGTH_UNITS(CANON_UNITS_INCHES)"
                                               : "USE_LENGTH_UNITS(CANON_UNITS_MM)"));
  EXPECT_THAT(canon, testing::HasSubstr("START_SPINDLE_CLOCKWISE"));
  EXPECT_THAT(canon, testing::HasSubstr("STOP_SPINDLE_TURNING"));
  EXPECT_THAT(canon, testing::HasSubstr("USE_TOOL_LENGTH_OFFSET"));
  // The spindle turns before the first feed reaches the part.
  EXPECT_LT(canon.find("START_SPINDLE_CLOCKWISE"), canon.find("STRAIGHT_FEED"));
  EXPECT_GT(ReadCanon(folder.File("canon.txt")).moves.size(), 4u);
}

INSTANTIATE_TEST_SUITE_P(FirstSetUp, SetupTemplateTest, testing::ValuesIn(kTemplates),
                         [](const testing::TestParamInfo<TemplateCase>& info) {
                           return std::string(info.param.name);
                         });


// A sequence that counts on the control, in LinuxCNC's dialect: rs274 runs the one program
// cycle after cycle with a parameter file, as the control would. Each cycle's moves are those
// of the plain program of that number, the parameter file then holds the next number, and past
// the End the program aborts with its message and leaves the number as it was.
struct ControlCase {
  const char* name;
  std::vector<std::string> settings;
};

const ControlCase kControlCases[] = {
    {"StraightTurnedCentred",
     Join(kLinear, {"TextHeightE=3", "SeqPrefix=SN-", "Justification=1", "TextAngleE=30",
                    "Axis1StartE=12.5"})},
    {"StraightRightPaddedProportional",
     Join(kLinear, {"TextHeightE=4", "SeqPostfix=/B", "SeqDigits=5", "Justification=2",
                    "TextAngleE=-75", "FontFile=ComplexRoman.fnt", "WidthRatioE=0.8",
                    "SpacingRatioE=1.3"})},
    {"RotaryA", Join(kRotaryA, {"TextHeightE=3", "Justification=1", "Axis1StartE=350"})},
    {"ArcClockwise",
     Join(kLinear, {"TextHeightE=3", "UseArcSettings=1", "RadiusE=20", "Justification=1",
                    "TextAngleE=90", "SeqPrefix=N"})},
    {"ArcCounterClockwiseRight",
     Join(kLinear, {"TextHeightE=2", "UseArcSettings=1", "RadiusE=15", "Direction=1",
                    "Justification=2", "FontFile=Script.fnt"})},
    {"ArcOnRotaryA", Join(kRotaryA, {"TextHeightE=2", "UseArcSettings=1", "RadiusE=6"})},
};

class ControlInterpreterTest : public testing::TestWithParam<ControlCase> {
 protected:
  void SetUp() override {
    if (!fs::exists(kInterpreter / "usr" / "bin" / "rs274")) {
      GTEST_SKIP() << "LinuxCNC's rs274 is not unpacked in " << kInterpreter;
    }
    folder.Write("empty.var", "");
    folder.Write("empty.tbl", "");
  }

  // Writes the job with the case's settings and `more`, fonts from the shipped folder.
  void Write(const std::vector<std::string>& more, const fs::path& program) {
    std::vector<std::string> args = {"--dir", (fs::path(STYLOR_SOURCE_DIR) / "fonts").string()};
    for (const std::string& setting :
         Join(Join(GetParam().settings, more), {"PostEngrave=G00 Z30\nM2"})) {
      args.insert(args.end(), {"--set", setting});
    }
    args.insert(args.end(), {"sequence", program.string()});
    std::ostringstream out, err;
    ASSERT_EQ(RunCommandLine(args, out, err), 0) << err.str();
  }

  // rs274's exit status and log; the canonical moves go to `canon`.
  std::pair<int, std::string> Run(const fs::path& program, const std::string& parameters,
                                  const fs::path& canon) {
    const fs::path log = program.string() + ".log";
    const std::string command =
        "cd '" + folder.Path().string() + "' && HOME=\"$PWD\" LD_LIBRARY_PATH='" +
        (kInterpreter / "usr" / "lib").string() + "' '" +
        (kInterpreter / "usr" / "bin" / "rs274").string() + "' -v " + parameters +
        " -t empty.tbl '" + program.string() + "' '" + canon.string() + "' < /dev/null > '" +
        log.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    std::ifstream logFile(log);
    const std::string logText((std::istreambuf_iterator<char>(logFile)), {});
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, logText};
  }

  // The moves without those that stay where the one before ended: the plain program leaves out
  // a move whose printed position does not change, the control's program does not know it.
  static Canon Moving(const Canon& canon) {
    Canon moving;
    for (const auto& move : canon.moves) {
      if (!moving.moves.empty() && moving.moves.back().second == move.second) continue;
      moving.moves.push_back(move);
    }
    return moving;
  }

  double KeptSerial() {
    std::ifstream in(folder.File("params.var"));
    for (std::string line; std::getline(in, line);) {
      std::istringstream values(line);
      int number = 0;
      double value = 0;
      if (values >> number >> value && number == 3100) return value;
    }
    return -1;
  }

  test::TempFolder folder{"stylor-rs274"};
};

TEST_P(ControlInterpreterTest, EachCycleCutsThePlainProgramsNumberAndStepsTheParameter) {
  const fs::path control = folder.File("control.ngc");
  Write({"Files=2", "ControlDialect=1", "CounterVariable=3100", "SeqStart=997", "SeqEnd=1000"},
        control);
  // The control is set to the first number by hand: a parameter listed in the file is kept.
  folder.Write("params.var", "3100\t997.000000\n");
  // 997, 998, 999 and the wrap of the width to 1000.
  for (int serial = 997; serial <= 1000; ++serial) {
    SCOPED_TRACE(serial);
    const auto [status, log] = Run(control, "params.var", folder.File("control.canon"));
    ASSERT_EQ(status, 0) << log;
    const fs::path plain = folder.File("plain.ngc");
    Write({"SeqStart=" + std::to_string(serial), "SeqEnd=" + std::to_string(serial)}, plain);
    const auto [plainStatus, plainLog] = Run(plain, "empty.var", folder.File("plain.canon"));
    ASSERT_EQ(plainStatus, 0) << plainLog;
    const Canon cycle = Moving(ReadCanon(folder.File("control.canon")));
    const Canon expected = Moving(ReadCanon(folder.File("plain.canon")));
    ASSERT_EQ(cycle.moves.size(), expected.moves.size());
    ASSERT_GT(cycle.moves.size(), 10u);
    for (std::size_t k = 0; k < cycle.moves.size(); ++k) {
      EXPECT_EQ(cycle.moves[k].first, expected.moves[k].first) << "move " << k;
      for (int axis = 0; axis < 6; ++axis) {
        EXPECT_NEAR(cycle.moves[k].second[axis], expected.moves[k].second[axis], 1e-4 + 1e-9)
            << "move " << k << " axis " << "XYZABC"[axis];
      }
    }
    EXPECT_EQ(KeptSerial(), serial + 1);
  }
  // Past the End: an abort with the message, no move, and the number stays.
  const auto [status, log] = Run(control, "params.var", folder.File("past.canon"));
  EXPECT_NE(status, 0);
  EXPECT_THAT(log, testing::HasSubstr("SERIAL PAST END 1000"));
  EXPECT_TRUE(ReadCanon(folder.File("past.canon")).moves.empty());
  EXPECT_EQ(KeptSerial(), 1001);
}

INSTANTIATE_TEST_SUITE_P(EveryLayout, ControlInterpreterTest, testing::ValuesIn(kControlCases),
                         [](const testing::TestParamInfo<ControlCase>& info) {
                           return std::string(info.param.name);
                         });

TEST(ControlInterpreter, AParameterBelowTheStartStopsBeforeAnyMove) {
  if (!fs::exists(kInterpreter / "usr" / "bin" / "rs274")) GTEST_SKIP();
  test::TempFolder folder{"stylor-rs274"};
  folder.Write("empty.tbl", "");
  // A parameter file that does not list the counter: it reads 0.
  folder.Write("params.var", "");
  const std::string program = folder.File("control.ngc");
  std::ostringstream out, err;
  std::vector<std::string> args = {"--dir", folder.Path().string()};
  for (const std::string& setting :
       Join(kLinear, {"Files=2", "ControlDialect=1", "CounterVariable=3100", "SeqStart=5",
                      "SeqEnd=9", "PostEngrave=G00 Z30\nM2"})) {
    args.insert(args.end(), {"--set", setting});
  }
  args.insert(args.end(), {"sequence", program});
  ASSERT_EQ(RunCommandLine(args, out, err), 0) << err.str();
  const std::string command =
      "cd '" + folder.Path().string() + "' && HOME=\"$PWD\" LD_LIBRARY_PATH='" +
      (kInterpreter / "usr" / "lib").string() + "' '" +
      (kInterpreter / "usr" / "bin" / "rs274").string() +
      "' -v params.var -t empty.tbl control.ngc canon.txt < /dev/null > log.txt 2>&1";
  const int status = std::system(command.c_str());
  EXPECT_FALSE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  std::ifstream logFile(folder.File("log.txt"));
  const std::string logText((std::istreambuf_iterator<char>(logFile)), {});
  EXPECT_THAT(logText, testing::HasSubstr("SERIAL BELOW START 5"));
  EXPECT_TRUE(ReadCanon(folder.File("canon.txt")).moves.empty());
}

}  // namespace
}  // namespace stylor
