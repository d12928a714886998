// The program that counts on the control, run by the program reader as the control would run it:
// for each dialect and layout, the cycle for a serial makes the moves of the plain program of
// that number. rs274 runs the LinuxCNC programs against the plain ones in tests/interpreter; no
// control of the macro dialect is at hand, so the reader stands in for it here.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "engrave/fonts/font_file.h"
#include "engrave/job_plan.h"
#include "engrave/jobs.h"
#include "engrave/program_store.h"
#include "preview/program_reader.h"
#include "settings/control_dialects.h"
#include "settings/engrave_settings.h"

namespace stylor {
namespace {

std::unique_ptr<StrokeFont> ShippedFont(const std::string& name) {
  auto font = std::make_unique<StrokeFont>();
  FontReport report;
  LoadFont(std::string(STYLOR_SOURCE_DIR) + "/fonts/" + name, *font, report);
  return font;
}

void Set(EngraveSettings& settings, const std::string& name, const std::string& value) {
  const FieldInfo* field = FindField(name);
  ASSERT_NE(field, nullptr) << name;
  if (const auto* text = std::get_if<TextField>(&field->ref)) settings.**text = value;
  if (const auto* index = std::get_if<IndexField>(&field->ref)) settings.**index = std::stoi(value);
  if (const auto* state = std::get_if<StateField>(&field->ref)) settings.**state = value == "1";
}

std::string ProgramOf(const EngraveSettings& settings, const StrokeFont& font) {
  const std::unique_ptr<JobPlan> plan = MakePlan(JobKind::Sequence, {settings, font, nullptr});
  const ProgramFrame frame = plan->Frame(0);
  MemorySink body;
  plan->WriteBody(0, body);
  return frame.startBlock + body.Bytes() + frame.endBlock;
}

// The moves that go somewhere: the plain program leaves out a move to where the tool stands,
// the control's arithmetic may not.
std::vector<ProgramMove> MovesOf(const std::string& program, const ReaderOptions& options) {
  std::vector<ProgramMove> moves;
  ReadProgram(program, "program.nc", options, [&](const ProgramMove& move) {
    const bool goes = std::hypot(move.to.x - move.from.x, move.to.y - move.from.y) > 1e-6 ||
                      std::abs(move.toLevel - move.fromLevel) > 1e-6;
    if (goes) moves.push_back(move);
  });
  return moves;
}

struct LayoutCase {
  const char* name;
  const char* font;
  std::vector<std::pair<const char*, const char*>> fields;
};

const LayoutCase kLayouts[] = {
    {"StraightCentredTurned", "BasicFont.fnt",
     {{"Justification", "1"}, {"TextAngleE", "30"}, {"SeqPrefix", "SN-"}}},
    {"StraightRightPaddedProportional", "ComplexRoman.fnt",
     {{"Justification", "2"}, {"SeqDigits", "5"}, {"TextAngleE", "-75"}, {"WidthRatioE", "0.8"},
      {"SpacingRatioE", "1.3"}, {"SeqPostfix", "/B"}}},
    {"RotaryA", "BasicFont.fnt",
     {{"Axis1E", "A"}, {"Axis2E", "X"}, {"PenDownE", "10"}, {"PenUpE", "11"},
      {"Justification", "1"}}},
    {"ArcClockwise", "BasicFont.fnt",
     {{"UseArcSettings", "1"}, {"RadiusE", "20"}, {"Justification", "1"}, {"SeqPrefix", "N"}}},
    {"ArcCounterClockwiseOnRotary", "Script.fnt",
     {{"UseArcSettings", "1"}, {"RadiusE", "6"}, {"Direction", "1"}, {"Axis1E", "A"},
      {"Axis2E", "X"}, {"PenDownE", "10"}, {"PenUpE", "11"}}},
};

TEST(ControlProgramReading, EachCycleMakesThePlainProgramsMovesInEveryDialectAndLayout) {
  for (std::size_t d = 0; d < std::size(kControlDialects); ++d) {
    for (const LayoutCase& layout : kLayouts) {
      SCOPED_TRACE(std::string(kControlDialects[d].caption) + " " + layout.name);
      const std::unique_ptr<StrokeFont> font = ShippedFont(layout.font);
      EngraveSettings settings;
      settings.TextHeightE = "3";
      settings.PenDownE = "-0.2";
      settings.PenUpE = "2";
      settings.EngraveFeedE = "300";
      settings.PostEngrave = {"G00 Z30", "M30"};
      for (const auto& [name, value] : layout.fields) Set(settings, name, value);
      EngraveSettings control = settings;
      control.Files = 2;
      control.ControlDialect = static_cast<std::int32_t>(d);
      const int variable = d == 0 ? 510 : 3100;
      control.CounterVariable = std::to_string(variable);
      control.SeqStart = "997";
      control.SeqEnd = "1000";
      const std::string program = ProgramOf(control, *font);
      // 997 to 999, and the wrap of the width to 1000.
      for (int serial = 997; serial <= 1000; ++serial) {
        SCOPED_TRACE(serial);
        ReaderOptions options = ReaderOptionsFrom(control);
        options.variables = {{variable, static_cast<double>(serial)}};
        std::vector<ProgramMove> cycle;
        ASSERT_NO_THROW(cycle = MovesOf(program, options)) << program.substr(0, 2000);
        EngraveSettings plain = settings;
        plain.SeqStart = plain.SeqEnd = std::to_string(serial);
        const std::vector<ProgramMove> expected =
            MovesOf(ProgramOf(plain, *font), ReaderOptionsFrom(plain));
        ASSERT_FALSE(expected.empty());
        ASSERT_EQ(cycle.size(), expected.size());
        for (std::size_t k = 0; k < cycle.size(); ++k) {
          SCOPED_TRACE(k);
          EXPECT_EQ(cycle[k].fed, expected[k].fed);
          EXPECT_NEAR(cycle[k].to.x, expected[k].to.x, 1e-4);
          EXPECT_NEAR(cycle[k].to.y, expected[k].to.y, 1e-4);
          EXPECT_NEAR(cycle[k].toLevel, expected[k].toLevel, 1e-4);
          if (HasFailure()) return;
        }
      }
    }
  }
}

}  // namespace
}  // namespace stylor
