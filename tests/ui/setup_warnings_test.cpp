#include "ui/model/setup_warnings.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "settings/machine_modes.h"
#include "support/font_text.h"
#include "support/form_host_double.h"
#include "support/temp_folder.h"
#include "ui/cli/command_line.h"
#include "ui/model/engrave_form_model.h"

namespace stylor {
namespace {

using S = EngraveSettings;
using testing::HasSubstr;

// Every mode and head, then "None": the letters that mode left are lathe letters unless they are
// the mill's own X, Y, Z (Mazak G12.1 T-32 on Head 1).
TEST(HoldsLatheAxes, EveryModeLeavesItsLettersMarkedUnderNone) {
  constexpr auto kModes = static_cast<std::int32_t>(std::size(kLatheMillModes));
  for (std::int32_t mode = 1; mode < kModes; ++mode) {
    for (std::int32_t head = 0; head < 2; ++head) {
      SCOPED_TRACE(testing::Message() << "mode " << mode << " head " << head);
      test::FakeFormHost host;
      EngraveFormModel model(host);
      model.SetIndex(&S::IntegrexHead, head);
      model.SetIndex(&S::IntegrexMode, mode);
      EXPECT_FALSE(HoldsLatheAxes(model.Settings()));  // the mode itself uses them
      model.SetIndex(&S::IntegrexMode, 0);
      const S& settings = model.Settings();
      const bool mill = settings.Axis1E == "X" && settings.Axis2E == "Y" && settings.Axis3E == "Z";
      EXPECT_EQ(HoldsLatheAxes(settings), !mill);
      model.SetIndex(&S::IntegrexMode, -1);  // nothing selected changes no axis either
      EXPECT_EQ(HoldsLatheAxes(model.Settings()), !mill);
      model.MillAxesClick();
      EXPECT_FALSE(HoldsLatheAxes(model.Settings()));
    }
  }
}

TEST(HoldsLatheAxes, OnlyTheWholeLettersOfAModeCount) {
  struct Case {
    const char* axes[3];
    bool lathe;
  };
  const Case cases[] = {{{"Y", "Z", "X"}, true},  {{"C", "X", "Z"}, true},
                        {{"X", "Y", "Z"}, false}, {{"y", "z", "x"}, false},
                        {{"Y", "X", "C"}, false}, {{"Y ", "Z", "X"}, false},
                        {{"X", "Y", "A"}, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.axes[0]) + c.axes[1] + c.axes[2]);
    S settings;
    settings.Axis1E = c.axes[0];
    settings.Axis2E = c.axes[1];
    settings.Axis3E = c.axes[2];
    EXPECT_EQ(HoldsLatheAxes(settings), c.lathe);
  }
}

TEST(HasWord, ReadsWordsAsTheControlDoes) {
  struct Case {
    const char* line;
    bool found;
  };
  const Case cases[] = {{"G93", true},          {"g93 G01", true},       {"G17 G093", true},
                        {"G 93", true},         {"G93.0", true},         {"N10G93X1", true},
                        {"G930", false},        {"G93.5", false},        {"G193", false},
                        {"(G93) G94", false},   {"G94 ; G93", false},    {"M93", false},
                        {"(unclosed G93", false}, {"", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(HasWord({c.line}, 'G', 93), c.found);
  }
}

TEST(JobWarnings, NameTheDangerAndTheBoxes) {
  S settings;
  EXPECT_TRUE(JobWarnings(settings, false).empty());

  settings.Axis1E = "Y";
  settings.Axis2E = "Z";
  settings.Axis3E = "X";
  std::vector<SetupWarning> warnings = JobWarnings(settings, false);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_THAT(warnings[0].text, HasSubstr("still Y, Z, X"));
  EXPECT_THAT(warnings[0].text, HasSubstr("plunges in X"));
  EXPECT_EQ(warnings[0].fields, (std::vector<FieldRef>{&S::Axis1E, &S::Axis2E, &S::Axis3E}));
  settings.IntegrexMode = 6;  // the Okuma mode itself programs Y, Z, X
  EXPECT_TRUE(JobWarnings(settings, false).empty());

  S serial;
  warnings = JobWarnings(serial, true);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_THAT(warnings[0].text, HasSubstr("same spot"));
  EXPECT_THAT(warnings[0].text, HasSubstr("M00"));
  EXPECT_THAT(warnings[0].text, HasSubstr("work offset"));
  serial.SeqPreGCodes = {"  "};  // blanks write nothing a control acts on
  EXPECT_EQ(JobWarnings(serial, true).size(), 1u);
  serial.SeqPostGCodes = {"M00"};
  EXPECT_TRUE(JobWarnings(serial, true).empty());

  S inverse;
  inverse.FeedMode = 2;
  inverse.PostToolChange = {"G90 G54", "(G93 later)"};
  warnings = JobWarnings(inverse, false);
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_THAT(warnings[0].text, HasSubstr("no G93"));
  inverse.ToolChange = {"T1 M06 G93"};
  EXPECT_TRUE(JobWarnings(inverse, false).empty());
  inverse.ToolChange.clear();
  inverse.PreEngraveW = false;  // an appended job: its start block was written before
  EXPECT_TRUE(JobWarnings(inverse, false).empty());
}

TEST(StartBlockNote, SaysWhatTheProgramLacks) {
  S settings;
  EXPECT_EQ(StartBlockNote(settings),
            "The start block is empty: the program has no unit (G20 or G21), no absolute mode "
            "(G90), no spindle start (M03), no spindle stop (M05) and no program end (M30). Fill "
            "the blocks on the Machine page");
  settings.PostEngrave = {"M05", "M30"};
  EXPECT_THAT(StartBlockNote(settings), HasSubstr("no spindle start (M03). Fill"));
  settings.PostEngraveW = false;  // the end block is not written
  EXPECT_THAT(StartBlockNote(settings), HasSubstr("and no program end (M30)"));
  settings.ToolChange = {"T1 M06"};
  EXPECT_EQ(StartBlockNote(settings), "");
  settings.ToolChange.clear();
  settings.PreEngraveW = false;
  EXPECT_EQ(StartBlockNote(settings), "");
}

// A job runs all the same and says what is dangerous once it has run; the model lists the same
// for the page the window shows.
TEST(SetupWarnings, JobsRunAndWarnOnceTheyHaveRun) {
  test::TempFolder dir;
  test::FakeFormHost host;
  EngraveFormModel model(host);
  dir.Write("font.fnt", test::kLetterLFont);
  model.PickFont(dir.File("font.fnt"));
  model.SetLines(&S::FreeFormTextE, {"L"});
  model.SetText(&S::PenDownE, "2");  // C is rotary: the pen down level is the radius
  model.SetIndex(&S::IntegrexMode, 2);
  model.SetIndex(&S::IntegrexMode, 0);
  model.EngraveTextClick();
  EXPECT_TRUE(host.errors.empty());
  ASSERT_EQ(host.setupWarnings.size(), 2u);  // and the empty start block, as the window says
  EXPECT_THAT(host.setupWarnings[0], HasSubstr("still C, Z, X"));
  EXPECT_THAT(host.setupWarnings[1], HasSubstr("The start block is empty"));
  ASSERT_EQ(model.SetupWarnings().size(), 2u);
  EXPECT_THAT(model.SetupWarnings()[1].text, HasSubstr("The start block is empty"));

  model.MillAxesClick();
  model.SetText(&S::SeqEnd, "1000");  // a single number repeats nothing
  model.ShowPage(Page::Sequence);
  host.setupWarnings.clear();
  model.GenerateSequencesClick();
  ASSERT_EQ(host.setupWarnings.size(), 1u);
  EXPECT_THAT(host.setupWarnings[0], HasSubstr("The start block is empty"));
  model.SetText(&S::SeqEnd, "1001");
  EXPECT_THAT(model.SetupWarnings()[0].text, HasSubstr("same spot"));
  host.setupWarnings.clear();
  model.GenerateSequencesClick();
  ASSERT_EQ(host.setupWarnings.size(), 2u);
  EXPECT_THAT(host.setupWarnings[0], HasSubstr("same spot"));
  model.SetIndex(&S::Files, 1);
  EXPECT_EQ(model.SetupWarnings().size(), 1u);  // only the start block
}

TEST(SetupWarnings, TheCommandLineWarnsOnStderrAndSucceeds) {
  test::TempFolder folder{"stylor-cli"};
  folder.Write("BasicFont.fnt", test::kLetterLFont);
  const std::string dir = folder.Path().string();
  std::ostringstream out, err;
  EXPECT_EQ(RunCommandLine({"--dir", dir, "--set", "IntegrexMode=6", "--set", "IntegrexMode=0",
                            "--set", "FeedMode=2", "--set", "FreeFormTextE=L", "text",
                            dir + "/a.eia"},
                           out, err),
            0);
  EXPECT_EQ(err.str(),
            "Stylor: warning: The axes are still Y, Z, X as a lathe-with-mill mode set them, but "
            "the mode is \"None\": the pen plunges in X. For a mill, set the axes to X, Y, Z.\n"
            "Stylor: warning: Inverse Time Feed writes each F as the inverse of a move's time, "
            "but the start block holds no G93: the control reads those F words as feeds per "
            "minute. Put G93 into Post Tool Change.\n"
            "Stylor: warning: The start block is empty: the program has no unit (G20 or G21), no "
            "absolute mode (G90), no spindle start (M03), no spindle stop (M05) and no program "
            "end (M30). Fill the blocks on the Machine page.\n");
  EXPECT_FALSE(test::ReadBytes(dir + "/a.eia").empty());
  EXPECT_EQ(out.str(), "");
  err.str("");
  // --warn, which once asked for these lines, is still taken.
  EXPECT_EQ(RunCommandLine({"--dir", dir, "--warn", "--set", "SeqEnd=1002", "--set",
                            "PostToolChange=G21 G90 M03", "--set", "PostEngrave=M30",
                            "sequence", dir + "/s.eia"},
                           out, err),
            0);
  // The test font has no digits: that warning comes first.
  EXPECT_THAT(err.str(),
              testing::EndsWith("\nStylor: warning: One File with no G codes before or after "
                                "each sequence: every number is cut on the same spot as the one "
                                "before. Put an M00 (a stop to change the part) or a shift of "
                                "the work offset before each sequence.\n"));
  EXPECT_THAT(err.str(), testing::Not(HasSubstr("start block")));
  err.str("");
  // A set-up with its blocks filled warns of nothing; an appending job writes no start block.
  EXPECT_EQ(RunCommandLine({"--dir", dir, "--set", "PostToolChange=G21 G90 M03", "--set",
                            "PostEngrave=M30", "--set", "FreeFormTextE=L", "text", dir + "/b.eia",
                            "--set", "PostToolChange=", "--set", "AppendMode=2", "text",
                            dir + "/b.eia"},
                           out, err),
            0);
  EXPECT_EQ(err.str(), "");
}

}  // namespace
}  // namespace stylor
