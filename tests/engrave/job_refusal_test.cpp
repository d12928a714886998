#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engrave/layouts/arc.h"
#include "engrave/layouts/ellipse.h"
#include "engrave/layouts/free_form.h"
#include "engrave/layouts/sequence.h"
#include "support/font_text.h"
#include "support/temp_folder.h"
#include "support/job_host_double.h"
#include "settings/engrave_settings.h"
#include "settings/error.h"

namespace stylor {
namespace {

using testing::HasSubstr;
using testing::ThrowsMessage;

using Job = std::function<void(const EngraveSettings&, const StrokeFont&, JobHost&)>;

struct RefusalCase {
  const char* name;
  Job job;
  void (*change)(EngraveSettings&);
};

const Job kFreeForm = [](const EngraveSettings& s, const StrokeFont& f, JobHost& h) {
  EngraveFreeFormText(s, f, h);
};
const Job kArc = CreateArc;
const Job kEllipse = CreateEllipse;
const Job kSequence = GenerateSequences;

void StartBeyondAMachine(EngraveSettings& s) { s.Axis1StartE = "2e9"; }
void PenUpBeyondAMachine(EngraveSettings& s) { s.PenUpE = "-2e9"; }
void FeedBeyondAMachine(EngraveSettings& s) { s.EngraveFeedE = "1e10"; }
void SecondLineBeyondAMachine(EngraveSettings& s) {
  s.FreeFormTextE = {"AB", "AB"};
  s.LineSpacingE = "1e10";
}

const RefusalCase kCases[] = {
    {"FreeFormStart", kFreeForm, StartBeyondAMachine},
    {"FreeFormPenUp", kFreeForm, PenUpBeyondAMachine},
    {"FreeFormFeed", kFreeForm, FeedBeyondAMachine},
    {"FreeFormSecondLine", kFreeForm, SecondLineBeyondAMachine},
    {"ArcStart", kArc, StartBeyondAMachine},
    {"ArcFeed", kArc, FeedBeyondAMachine},
    {"EllipseStart", kEllipse, StartBeyondAMachine},
    {"EllipsePenUp", kEllipse, PenUpBeyondAMachine},
    {"EllipseFeed", kEllipse, FeedBeyondAMachine},
    {"SequenceStart", kSequence, StartBeyondAMachine},
    {"SequenceFeed", kSequence, FeedBeyondAMachine},
    {"SequenceOnTheCircle", kSequence, [](EngraveSettings& s) {
       s.UseArcSettings = true;
       s.RadiusE = "2e9";
     }},
};

void PrintTo(const RefusalCase& refusal, std::ostream* out) { *out << refusal.name; }

class JobRefusalTest : public testing::TestWithParam<RefusalCase> {};

// A value no machine takes is refused while the job prepares its moves: the user's file, which
// may hold a finished program, is not emptied by a job that cannot write its own.
TEST_P(JobRefusalTest, RefusesAndKeepsThePreviousProgram) {
  const auto font = test::FontFromText("SYM A\nG00 X0 Y0\nG01 Z-1\nG01 X0.65 Y0\nG00 Z1\n"
                                       "SYM B\nG00 X0 Y0\nG01 Z-1\nG01 X0.65 Y1\nG00 Z1\n");
  EngraveSettings settings;
  settings.FreeFormTextE = {"AB"};
  settings.ArcTextE = "AB";
  settings.EllipseTextE = "AB";
  settings.SeqPrefix = "AB";  // the fixture font has no digits
  settings.JustifyPoint = 0;
  GetParam().change(settings);
  test::FakeJobHost host;
  host.store.Write("job.eia", WriteMode::Create, "(finished program)\nM30\n");

  EXPECT_THAT([&] { GetParam().job(settings, *font, host); },
              ThrowsMessage<Error>(HasSubstr("out of range for a machine")));
  EXPECT_EQ(host.store.Bytes("job.eia"), "(finished program)\r\nM30\r\n");
  EXPECT_EQ(host.store.Files().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Jobs, JobRefusalTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace stylor

namespace stylor {
namespace {

TEST(GenerateSequences, AWideNumberInTheMiddleOfTheRunLeavesEveryFileAsItWas) {
  // "1" is wide, "0" and "2" narrow: of 10, 11 and 12 only the middle one reaches past 1e9.
  const auto font = test::FontFromText("SYM 0\nG01 X0 Y0\nG01 X0.1 Y0\nSYM 1\nG01 X0 Y0\nG01 X1 Y0\n"
                                       "SYM 2\nG01 X0 Y0\nG01 X0.1 Y0\n");
  EngraveSettings settings;
  settings.TextHeightE = "1";
  settings.Axis1StartE = "999999998";
  settings.SeqStart = "10";
  settings.SeqEnd = "12";
  for (const int files : {0, 1}) {
    SCOPED_TRACE(files);
    settings.Files = files;
    test::FakeJobHost host("/out/job.eia");
    host.store.Write("/out/job.eia", WriteMode::Create, "(finished program)\n");
    host.store.Write("/out/10.eia", WriteMode::Create, "(old 10)\n");
    EXPECT_THAT([&] { GenerateSequences(settings, *font, host); },
                ThrowsMessage<Error>(HasSubstr("out of range for a machine")));
    EXPECT_EQ(host.store.Bytes("/out/job.eia"), "(finished program)\r\n");
    // Many Files puts no program in place before every one of them is complete.
    EXPECT_EQ(host.store.Bytes("/out/10.eia"), "(old 10)\r\n");
    EXPECT_EQ(host.store.Files().size(), 2u);
  }
}

}  // namespace
}  // namespace stylor

namespace stylor {
namespace {

// Settings whose program a control would misread or refuse: each names its field, for every
// job, before the save dialog, and the file keeps its finished program.
struct SettingCase {
  const char* name;
  std::vector<std::pair<TextField, const char*>> typed;
  const char* message;  // empty: the job writes its program
  std::int32_t feedMode = 0;
  std::int32_t integrexMode = 0;
};

using S = EngraveSettings;

const SettingCase kSettingCases[] = {
    {"AxisS", {{&S::Axis2E, "S"}}, "Axis 2 (Axis2E) must not be 'S'"},
    {"AxisLowerS", {{&S::Axis2E, "s"}}, "Axis 2 (Axis2E) must not be 's'"},
    {"AxisG", {{&S::Axis1E, "G"}}, "Axis 1 (Axis1E) must not be 'G'"},
    {"AxisM", {{&S::Axis2E, "M"}}, "(Axis2E) must not be 'M'"},
    {"AxisN", {{&S::Axis2E, "N"}}, "(Axis2E) must not be 'N'"},
    {"AxisF", {{&S::Axis3E, "F"}}, "the plunge axis (Axis3E) must not be 'F'"},
    {"AxisT", {{&S::Axis1E, "t"}}, "(Axis1E) must not be 't'"},
    {"AxisO", {{&S::Axis1E, "O"}}, "(Axis1E) must not be 'O'"},
    {"AxisP", {{&S::Axis3E, "p"}}, "(Axis3E) must not be 'p'"},
    {"AxisR", {{&S::Axis2E, "R"}}, "(Axis2E) must not be 'R'"},
    {"PlaneAxesTwice", {{&S::Axis1E, "X"}, {&S::Axis2E, "x"}}, "are both 'x'"},
    {"PlungeAxisOnAPlaneAxis", {{&S::Axis2E, "Z"}}, "Axis 2 (Axis2E) and the plunge axis (Axis3E)"},
    {"PlungeAxisOnTheFirstAxis", {{&S::Axis3E, "x"}}, "Axis 1 (Axis1E) and the plunge axis"},
    {"MatrixModeU", {{&S::Axis2E, "U"}}, "the lathe-mill mode Mazak G12.1 Matrix writes U", 0, 5},
    {"MatrixModeH", {{&S::Axis1E, "h"}}, "writes H as a word of its own", 0, 5},
    {"UInAnotherMode", {{&S::Axis2E, "U"}}, ""},
    {"FeedRoundsToZero", {{&S::EngraveFeedE, "0.001"}}, "engrave feed (EngraveFeedE) must be above 0"},
    {"FeedBelowZero", {{&S::EngraveFeedE, "-50"}}, "it would be written F-50.00"},
    {"PlungeFeedMinusZero", {{&S::PlungeFeedE, "-0"}}, "plunge feed (PlungeFeedE) must be above 0"},
    {"DegreesFeedRoundsToZero", {{&S::PlungeFeedE, "0.004"}}, "written F0.00", 1},
    {"TimedFeedZero", {{&S::EngraveFeedE, "0"}}, "(EngraveFeedE) must be above 0: Inverse Time", 2},
    {"TimedFeedTooSmallForItsMoves", {{&S::EngraveFeedE, "0.0001"}}, "would write F0.00", 2},
    {"TimedFeedSmallButWritten", {{&S::EngraveFeedE, "0.001"}, {&S::TextHeightE, "0.01"}}, "", 2},
    {"HeightZero", {{&S::TextHeightE, "0"}}, "The text height (TextHeightE) rounds to 0.0000"},
    {"HeightMinusZero", {{&S::TextHeightE, "-0"}}, "(TextHeightE) rounds to 0.0000"},
    {"HeightTenMillionths", {{&S::TextHeightE, "1e-5"}}, "(TextHeightE) rounds to 0.0000"},
    {"WidthRatioZero", {{&S::WidthRatioE, "0"}}, "The width ratio (WidthRatioE)"},
    {"SmallestFeedWritten", {{&S::EngraveFeedE, "0.01"}, {&S::PlungeFeedE, "0.005"}}, ""},
    {"SmallestHeight", {{&S::TextHeightE, "0.0001"}}, ""},
};

void PrintTo(const SettingCase& c, std::ostream* out) { *out << c.name; }

class SettingRefusalTest : public testing::TestWithParam<SettingCase> {};

TEST_P(SettingRefusalTest, NamesTheFieldBeforeTheDialogOrWrites) {
  const SettingCase& c = GetParam();
  const auto font = test::FontFromText("SYM A\nG00 X0 Y0\nG01 Z-1\nG01 X0.65 Y1\nG00 Z1\n");
  for (const auto& [job, name] : {std::pair{kFreeForm, "text"}, std::pair{kArc, "arc"},
                                  std::pair{kEllipse, "ellipse"}, std::pair{kSequence, "sequence"}}) {
    SCOPED_TRACE(name);
    EngraveSettings settings;
    settings.FreeFormTextE = {"AA"};
    settings.ArcTextE = settings.EllipseTextE = settings.SeqPrefix = "AA";
    settings.SeqEnd = "1001";
    settings.FeedMode = c.feedMode;
    settings.IntegrexMode = c.integrexMode;
    if (c.feedMode == 1) {
      // Degrees Per Min needs a rotary axis to differ, on a cylinder of a real radius.
      settings.Axis2E = "C";
      settings.PenDownE = "2";
      settings.PenUpE = "2.1";
    }
    for (const auto& [field, text] : c.typed) settings.*field = text;
    test::FakeJobHost host;
    host.store.Write("job.eia", WriteMode::Create, "(finished program)\n");
    if (*c.message == '\0') {
      job(settings, *font, host);
      EXPECT_NE(host.store.Bytes("job.eia"), "(finished program)\r\n");
      continue;
    }
    EXPECT_THAT([&] { job(settings, *font, host); }, ThrowsMessage<Error>(HasSubstr(c.message)));
    EXPECT_EQ(host.store.Bytes("job.eia"), "(finished program)\r\n");
    // A computed feed is refused as its move is written, after the dialog; every other
    // refusal comes before it.
    if (std::string_view(c.message).find("would write F0.00") == std::string_view::npos) {
      EXPECT_EQ(host.dialogs, 0);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Settings, SettingRefusalTest, testing::ValuesIn(kSettingCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace stylor
