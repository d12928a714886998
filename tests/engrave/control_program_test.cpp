// The sequence program that counts on the control, in each dialect and layout. rs274 runs the
// LinuxCNC programs in tests/interpreter; here the text's shape, which no control of the macro
// dialect is at hand to run, and the refusals.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engrave/control/control_program.h"
#include "engrave/fonts/font_file.h"
#include "engrave/job_plan.h"
#include "engrave/jobs.h"
#include "engrave/program_store.h"
#include "settings/control_dialects.h"
#include "settings/data_file.h"
#include "settings/engrave_settings.h"
#include "settings/error.h"

namespace stylor {
namespace {

using testing::HasSubstr;
using testing::ThrowsMessage;

std::unique_ptr<StrokeFont> ShippedFont(const char* name) {
  auto font = std::make_unique<StrokeFont>();
  FontReport report;
  LoadFont(std::string(STYLOR_SOURCE_DIR) + "/fonts/" + name, *font, report);
  return font;
}

EngraveSettings ControlSettings(int dialect) {
  EngraveSettings s;
  s.Files = 2;
  s.ControlDialect = dialect;
  s.CounterVariable = dialect == 0 ? "510" : "3100";
  s.SeqStart = "998";
  s.SeqEnd = "1200";
  s.SeqPrefix = "SN-";
  s.SeqPostfix = "(A)";
  s.TextHeightE = "3";
  s.PenDownE = "-0.2";
  s.PenUpE = "2";
  s.PreToolChange = {"%", "O1000", "G21 G90"};
  s.PostEngrave = {"G00 Z30", "M30", "%"};
  return s;
}

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string ProgramOf(const EngraveSettings& settings, const StrokeFont& font) {
  const std::unique_ptr<JobPlan> plan = MakePlan(JobKind::Sequence, {settings, font, nullptr});
  EXPECT_EQ(plan->Programs(), 1u);
  const ProgramFrame frame = plan->Frame(0);
  MemorySink body;
  plan->WriteBody(0, body);
  return frame.startBlock + body.Bytes() + frame.endBlock;
}

struct LayoutCase {
  const char* name;
  std::vector<std::pair<const char*, const char*>> fields;  // --set FIELD=VALUE
};

const LayoutCase kLayouts[] = {
    {"StraightCentredTurned", {{"Justification", "1"}, {"TextAngleE", "30"}}},
    {"StraightRightPadded", {{"Justification", "2"}, {"SeqDigits", "6"}}},
    {"RotaryA", {{"Axis1E", "A"}, {"Axis2E", "X"}, {"PenDownE", "10"}, {"PenUpE", "11"}}},
    {"ArcClockwise", {{"UseArcSettings", "1"}, {"RadiusE", "20"}}},
    {"ArcCounterClockwiseOnRotary",
     {{"UseArcSettings", "1"}, {"RadiusE", "20"}, {"Direction", "1"}, {"Axis1E", "A"},
      {"Axis2E", "X"}, {"PenDownE", "10"}, {"PenUpE", "11"}}},
};

// Every dialect row with every layout: the blocks the dialect opens are closed in order, each
// subprogram is defined once and every call finds one, and the cycle steps the variable once,
// after its last move.
TEST(ControlProgram, EveryDialectAndLayoutGivesBalancedBlocksAndDefinedSubprograms) {
  const std::unique_ptr<StrokeFont> font = ShippedFont("BasicFont.fnt");
  for (std::size_t d = 0; d < std::size(kControlDialects); ++d) {
    for (const LayoutCase& layout : kLayouts) {
      SCOPED_TRACE(std::string(kControlDialects[d].caption) + " " + layout.name);
      EngraveSettings settings = ControlSettings(static_cast<int>(d));
      for (const auto& [name, value] : layout.fields) {
        const FieldInfo* field = FindField(name);
        ASSERT_NE(field, nullptr);
        if (const auto* text = std::get_if<TextField>(&field->ref)) settings.**text = value;
        if (const auto* index = std::get_if<IndexField>(&field->ref)) settings.**index = std::stoi(value);
        if (const auto* state = std::get_if<StateField>(&field->ref)) settings.**state = value[0] == '1';
      }
      const std::vector<std::string> lines = LinesOf(ProgramOf(settings, *font));
      const bool macro = d == 0;
      std::vector<std::string> open;  // the labels or levels of the open blocks
      std::set<std::string> defined, called;
      int steps = 0;
      std::size_t lastWalk = 0, stepLine = 0, endBlock = 0;
      const std::regex subOpen(macro ? R"(^O(\d+)$)" : R"(^o(\d+) sub$)");
      const std::regex call(macro ? R"(^M98 P(\d+)$)" : R"(^o(\d+) call$)");
      const std::regex ifOpen(macro ? R"(^IF \[.*\] GOTO (\d+)$)" : R"(^o<(l\d+)> if \[.*\]$)");
      const std::regex whileOpen(macro ? R"(^WHILE \[.*\] DO (\d)$)" : R"(^o<(l\d+)> while \[.*\]$)");
      const std::regex close(macro ? R"(^(?:N(\d+)|END (\d)|M99)$)"
                                   : R"(^o<(l\d+)> (?:endif|endwhile)$|^o(\d+) endsub$)");
      const std::string kept = macro ? "#510" : "#3100";
      for (std::size_t k = 0; k < lines.size(); ++k) {
        const std::string& line = lines[k];
        std::smatch m;
        if (line == "O1000") continue;  // the main program's number, in the start block
        if (std::regex_match(line, m, subOpen)) {
          EXPECT_TRUE(open.empty()) << "a subprogram opens inside a block: " << line;
          EXPECT_TRUE(defined.insert(m[1]).second) << "defined twice: " << line;
          open.push_back("sub" + std::string(m[1]));
        } else if (std::regex_match(line, m, call)) {
          called.insert(m[1]);
        } else if (std::regex_match(line, m, ifOpen)) {
          open.push_back(m[1]);
        } else if (std::regex_match(line, m, whileOpen)) {
          open.push_back(m[1]);
          EXPECT_LE(open.size() - 1, static_cast<std::size_t>(kControlDialects[d].deepestLoop));
        } else if (std::regex_match(line, m, close)) {
          const std::string which = m[1].matched ? std::string(m[1]) : m[2].matched ? "sub" + std::string(m[2]) : "";
          ASSERT_FALSE(open.empty()) << line;
          if (macro && line == "M99") {
            EXPECT_EQ(open.back().rfind("sub", 0), 0u) << line;
          } else if (macro && line[0] == 'E') {
            EXPECT_EQ(open.back(), std::string(m[2])) << line;
          } else if (!macro || line[0] == 'N') {
            EXPECT_EQ(open.back(), which) << line;
          }
          open.pop_back();
        }
        if (std::regex_match(line, m, call) && m[1] == "8000") lastWalk = k;
        if (line == "G00 Z30") endBlock = k;
        if (line.rfind(kept + "=", 0) == 0) {
          ++steps;
          stepLine = k;
        }
      }
      EXPECT_TRUE(open.empty());
      for (const std::string& sub : called) EXPECT_TRUE(defined.count(sub)) << "no O" << sub;
      EXPECT_EQ(defined.size(), 2u + 10u + 6u) << "walk, place, ten digits, S N - ( A )";
      EXPECT_EQ(steps, 1);
      // The step follows the walk that cuts the text and comes before the end block.
      EXPECT_GT(stepLine, lastWalk);
      EXPECT_LT(stepLine, endBlock);
    }
  }
}

// The macro dialect's text, line by line where it matters: the counter is read and checked
// first, the subprograms follow the end block but come before the closing "%", the glyphs are
// called by a computed number, the alarm is #3000 with its text.
TEST(ControlProgram, MacroDialectReadsChecksCutsAndStepsTheKeptVariable) {
  const std::unique_ptr<StrokeFont> font = ShippedFont("BasicFont.fnt");
  EngraveSettings settings = ControlSettings(0);
  settings.SeqStep = "5";
  settings.SeqEnd = "1010";
  settings.FirstSubprogram = "9100";
  settings.UseArcSettings = true;
  settings.RadiusE = "23.7";
  settings.TextAngleE = "37";
  const std::vector<std::string> lines = LinesOf(ProgramOf(settings, *font));
  const auto at = [&](const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) - lines.begin();
  };
  ASSERT_GE(lines.size(), 10u);
  EXPECT_EQ(lines[0], "%");
  EXPECT_EQ(lines[1], "O1000");
  EXPECT_EQ(lines.back(), "%");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "%"), 2);
  EXPECT_EQ(lines[4], "#1=#510");
  // The run 998, 1003, 1008: past 1008 the control stops.
  EXPECT_LT(at("#3000=1 (SERIAL PAST END 1008)"), at("M30"));
  EXPECT_LT(at("#3000=2 (SERIAL BELOW START 998)"), at("M30"));
  // Measured by one walk over the text, cut by the second; the step comes after the cut.
  const auto cutWalk = std::find(lines.begin() + at("M98 P9100") + 1, lines.end(), "M98 P9100");
  EXPECT_LT(cutWalk - lines.begin(), at("#510=#510+5"));
  EXPECT_LT(at("#510=#510+5"), at("G00 Z30"));
  EXPECT_GT(at("O9100"), at("M30"));
  EXPECT_LT(at("O9117"), static_cast<long>(lines.size()));
  EXPECT_EQ(at("O9118"), static_cast<long>(lines.size())) << "18 subprograms, 9100 to 9117";
  EXPECT_NE(at("M98 P#13"), static_cast<long>(lines.size())) << "the glyph by its number";
  EXPECT_NE(at("#13=9102+#11"), static_cast<long>(lines.size())) << "digit d is O9102 + d";
  EXPECT_NE(at("(GLYPH CODE 40)"), static_cast<long>(lines.size())) << "a bracket in a comment";
  // The control takes constants of at most eight digits.
  const std::regex decimal(R"((\d+)\.(\d+))");
  for (const std::string& line : lines) {
    for (auto it = std::sregex_iterator(line.begin(), line.end(), decimal);
         it != std::sregex_iterator(); ++it) {
      const std::string whole = (*it)[1];
      EXPECT_LE((whole == "0" ? 0 : whole.size()) + (*it)[2].length(), 8u) << line;
    }
    EXPECT_EQ(line.find("#<"), std::string::npos) << line;
    EXPECT_EQ(line.find(" if "), std::string::npos) << line;
    if (line.rfind("IF", 0) == 0) {
      EXPECT_TRUE(std::regex_match(
          line, std::regex(R"(IF \[#\d+ (EQ|NE|LT|LE|GT|GE) [#\d.\-]+\] GOTO \d+)")))
          << line;
    }
  }
}

// The LinuxCNC program keeps its working values in named globals, assigns bracketed
// expressions and aborts with a message.
TEST(ControlProgram, LinuxCncDialectUsesOWordsAndTheAbortMessage) {
  const std::unique_ptr<StrokeFont> font = ShippedFont("BasicFont.fnt");
  EngraveSettings settings = ControlSettings(1);
  settings.PreToolChange = {"G21 G90"};
  settings.PostEngrave = {"G00 Z30", "M2"};
  const std::vector<std::string> lines = LinesOf(ProgramOf(settings, *font));
  const auto has = [&](const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  };
  EXPECT_EQ(lines.front(), "G21 G90");
  EXPECT_EQ(lines.back(), "M2");
  EXPECT_TRUE(has("#<_stylor_serial>=[#3100]"));
  EXPECT_TRUE(has("(abort, SERIAL PAST END 1200)"));
  EXPECT_TRUE(has("#3100=[#3100+1]"));
  EXPECT_TRUE(has("o[#<_stylor_glyph>] call"));
  EXPECT_TRUE(has("o8000 sub"));
  EXPECT_TRUE(has("o8017 endsub"));
  EXPECT_FALSE(has("o8018 sub"));
}

// Files=2 writes one program and is no Many Files run: the model and the command line ask for
// a file, not a folder.
TEST(ControlProgram, OnTheControlIsOneProgramNotManyFiles) {
  EXPECT_FALSE(ManyFilesOf(2));
  EXPECT_TRUE(ManyFilesOf(1));
  EXPECT_TRUE(OnTheControlOf(2));
  const std::unique_ptr<StrokeFont> font = ShippedFont("BasicFont.fnt");
  const std::unique_ptr<JobPlan> plan =
      MakePlan(JobKind::Sequence, {ControlSettings(1), *font, nullptr});
  EXPECT_EQ(plan->Programs(), 1u);
  EXPECT_FALSE(plan->Series());
  EXPECT_THAT(plan->EngravedText(), HasSubstr("0123456789"));
  // Each number of the run is an item: the whole cycle, run with the counter at that number.
  EXPECT_EQ(plan->Items(), 1200u - 998u + 1u);
  MemorySink item, body;
  plan->WriteItem(2, item);
  plan->WriteBody(0, body);
  EXPECT_EQ(item.Bytes(), body.Bytes());
  const std::vector<std::pair<int, double>> counter = {{3100, 1000.0}};
  EXPECT_EQ(plan->ItemVariables(2), counter);
  EXPECT_THAT(plan->ItemNote(2), HasSubstr("counter at 1000"));
}

struct RefusalCase {
  const char* name;
  int dialect;
  std::vector<std::pair<const char*, const char*>> fields;
  const char* message;
};

const RefusalCase kRefusals[] = {
    {"LatheMillMode", 1, {{"IntegrexMode", "1"}, {"PenDownE", "10"}, {"PenUpE", "11"}}, "lathe-mill mode 'Mazak G16   (Y, Z, X)'"},
    {"InverseTime", 1, {{"FeedMode", "2"}}, "Inverse Time Feed (FeedMode)"},
    {"DegreesPerMinute", 0, {{"FeedMode", "1"}}, "Degrees Per Min (FeedMode)"},
    {"DepthPasses", 1, {{"DepthPerPassE", "0.05"}}, "depth in passes (DepthPerPassE)"},
    {"Ramp", 1, {{"RampLengthE", "1"}}, "(RampLengthE)"},
    {"TravelOrder", 0, {{"TravelOrder", "1"}}, "(TravelOrder)"},
    {"Laser", 0, {{"LaserMode", "1"}, {"LaserPowerE", "500"}}, "(LaserMode)"},
    {"Dots", 0, {{"DotPitchE", "0.5"}}, "(DotPitchE)"},
    {"Code", 0, {{"CodeKind", "1"}, {"CodeText", "{Serial}"}}, "(CodeKind)"},
    {"AppendMode", 0, {{"PostEngraveW", "0"}}, "Single Engrave Operation (AppendMode)"},
    {"UnknownDialect", 2, {}, "The control dialect (ControlDialect) is 2"},
    {"MacroVariableBelowKept", 0, {{"CounterVariable", "499"}},
     "The counter variable (CounterVariable) is 499: the macro dialect keeps its variables in "
     "#500 to #999, so choose one from 500 to 999"},
    {"MacroVariableAboveKept", 0, {{"CounterVariable", "1000"}}, "from 500 to 999"},
    {"LinuxCncVolatileParameter", 1, {{"CounterVariable", "30"}},
     "LinuxCNC keeps the user parameters 31 to 5000 in its parameter file, so choose one from 31 "
     "to 5000"},
    {"LinuxCncSystemParameter", 1, {{"CounterVariable", "5001"}}, "from 31 to 5000"},
    {"CounterNotANumber", 1, {{"CounterVariable", "#500"}}, "'#500' is not a valid integer value"},
    {"MacroSubprogramsPastO9999", 0, {{"FirstSubprogram", "9990"}},
     "The first subprogram (FirstSubprogram) is 9990: the program numbers 18 subprograms from it, "
     "and Macro (#500, O, M98) takes subprogram numbers 1 to 9999, so choose one from 1 to 9982"},
    {"SubprogramZero", 1, {{"FirstSubprogram", "0"}}, "(FirstSubprogram) is 0"},
    {"EmptyRun", 1, {{"SeqEnd", "10"}}, "Nothing to engrave"},
    {"MacroEndBlockWithoutProgramEnd", 0, {{"PostEngrave", "G00 Z30\n(M30 LATER)\nM300\n%"}},
     "end the program there with M30 or M02 (Post Engrave, PostEngrave)"},
};

TEST(ControlProgram, RefusesWhatItsProgramCannotHoldNamingTheFieldOrMode) {
  const std::unique_ptr<StrokeFont> font = ShippedFont("BasicFont.fnt");
  for (const RefusalCase& c : kRefusals) {
    SCOPED_TRACE(c.name);
    EngraveSettings settings = ControlSettings(c.dialect);
    if (c.dialect > 1) settings.CounterVariable = "600";
    for (const auto& [name, value] : c.fields) {
      const FieldInfo* field = FindField(name);
      ASSERT_NE(field, nullptr) << name;
      if (const auto* text = std::get_if<TextField>(&field->ref)) settings.**text = value;
      if (const auto* index = std::get_if<IndexField>(&field->ref)) settings.**index = std::stoi(value);
      if (const auto* state = std::get_if<StateField>(&field->ref)) settings.**state = value[0] == '1';
      if (const auto* lines = std::get_if<LinesField>(&field->ref)) {
        settings.**lines = LinesOf(value);
      }
    }
    EXPECT_THAT([&] { MakePlan(JobKind::Sequence, {settings, *font, nullptr}); },
                ThrowsMessage<Error>(HasSubstr(c.message)));
  }
}

TEST(ControlProgram, ABatchDoesNotCountOnTheControl) {
  const std::unique_ptr<StrokeFont> font = ShippedFont("BasicFont.fnt");
  EngraveSettings settings = ControlSettings(0);
  settings.FreeFormTextE = {"{Tag}"};
  const DataTable rows = ReadDataTable("Tag\nA\n", DataFormat::Csv);
  EXPECT_THAT([&] { MakePlan(JobKind::Batch, {settings, *font, &rows}); },
              ThrowsMessage<Error>(HasSubstr("On the control (Files) counts the numbers of a "
                                             "sequence")));
}

}  // namespace
}  // namespace stylor
