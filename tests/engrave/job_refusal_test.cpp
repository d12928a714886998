#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>

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
