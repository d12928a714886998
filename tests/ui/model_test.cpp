#include "ui/model/engrave_form_model.h"

#include <gmock/gmock.h>
#include <sys/stat.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engrave/program_store.h"
#include "settings/machine_file.h"
#include "support/font_text.h"
#include "support/form_host_double.h"
#include "support/temp_folder.h"

namespace stylor {
namespace {

namespace fs = std::filesystem;
using S = EngraveSettings;

using test::kLetterLFont;
using test::FakeFormHost;
using test::TempFolder;

TEST(EngraveFormModel, StartUpTakesTheWorkingFolderAndItsFont) {
  TempFolder dir;
  std::ofstream(dir.File("BasicFont.fnt")) << kLetterLFont;
  FakeFormHost host;
  EngraveFormModel model(host);
  model.FormActivate(dir.Path().string());
  EXPECT_EQ(model.Settings().FontFile, dir.File("BasicFont.fnt"));
  EXPECT_EQ(GlyphOf(model.Font(), 'L')->moveCount, 5);
  EXPECT_EQ(model.Settings().JustifyPoint, 0);
  EXPECT_EQ(model.Settings().JustifyPointText, "A");
  EXPECT_EQ(model.CurrentPage(), Page::Sequence);
  EXPECT_TRUE(host.errors.empty());
}

TEST(EngraveFormModel, StartUpElsewhereUsesTheFontThatShipsWithStylor) {
  TempFolder dir;
  FakeFormHost host;
  EngraveFormModel model(host);
  model.FormActivate(dir.Path().string());
  EXPECT_THAT(model.Settings().FontFile, testing::EndsWith("/fonts/BasicFont.fnt"));
  EXPECT_GT(GlyphOf(model.Font(), 'A')->moveCount, 0);
  EXPECT_TRUE(host.errors.empty());
}

TEST(EngraveFormModel, AppendModeAndTheTwoBoxesAgree) {
  FakeFormHost host;
  EngraveFormModel model(host);
  model.SetIndex(&S::AppendMode, 2);
  EXPECT_FALSE(model.Settings().PreEngraveW);
  EXPECT_FALSE(model.Settings().PostEngraveW);
  EXPECT_FALSE(model.OverwriteQuestion());
  model.SetState(&S::PreEngraveW, true);
  EXPECT_EQ(model.Settings().AppendMode, 1);
  EXPECT_TRUE(model.OverwriteQuestion());
  model.SetState(&S::PostEngraveW, true);
  EXPECT_EQ(model.Settings().AppendMode, 0);
  model.SetState(&S::PreEngraveW, false);
  EXPECT_EQ(model.Settings().AppendMode, 3);
  EXPECT_FALSE(model.OverwriteQuestion());
  model.SetIndex(&S::AppendMode, 7);  // no such item: the boxes stay
  EXPECT_FALSE(model.Settings().PreEngraveW);
  EXPECT_TRUE(model.Settings().PostEngraveW);
}

TEST(EngraveFormModel, LatheMillModeAndHeadSetTheAxes) {
  FakeFormHost host;
  EngraveFormModel model(host);
  auto axes = [&] {
    return model.Settings().Axis1E + model.Settings().Axis2E + model.Settings().Axis3E;
  };
  model.SetIndex(&S::IntegrexHead, 1);
  EXPECT_EQ(axes(), "XYZ");  // mode None: unchanged
  model.SetIndex(&S::IntegrexMode, 4);
  EXPECT_EQ(axes(), "YXZ");
  model.SetIndex(&S::IntegrexHead, 0);
  EXPECT_EQ(axes(), "XYZ");
  model.SetText(&S::Axis1E, "B");
  model.SetIndex(&S::IntegrexMode, 0);
  EXPECT_EQ(axes(), "BYZ");
  model.SetIndex(&S::IntegrexMode, 6);
  EXPECT_EQ(axes(), "YZX");
}

TEST(EngraveFormModel, EngraveFeedSetsHalfAsPlungeFeedAtEveryChange) {
  struct FeedCase {
    const char* engraveFeed;
    const char* plungeFeed;
  };
  // Whole numbers are halved truncating toward zero; decimals are halved exactly.
  const FeedCase cases[] = {{"7", "3"},        {"75", "37"},     {"-51", "-25"}, {"37.", "18.5"},
                            {"37.5", "18.75"}, {"0.5", "0.25"},  {"-7.5", "-3.75"},
                            {"1e2", "50"},     {"+9", "4"}};
  FakeFormHost host;
  EngraveFormModel model(host);
  for (const FeedCase& c : cases) {
    SCOPED_TRACE(c.engraveFeed);
    model.SetText(&S::EngraveFeedE, c.engraveFeed);
    EXPECT_EQ(model.Settings().PlungeFeedE, c.plungeFeed);
  }
  EXPECT_TRUE(host.errors.empty());
  host.changes.clear();
  model.SetText(&S::EngraveFeedE, "+9");  // the same text again runs nothing
  EXPECT_TRUE(host.changes.empty());
}

TEST(EngraveFormModel, AFeedThatIsNoNumberKeepsThePlungeFeedAndIsReportedAtTheField) {
  FakeFormHost host;
  EngraveFormModel model(host);
  model.SetText(&S::EngraveFeedE, "");
  EXPECT_EQ(model.Settings().PlungeFeedE, "25");
  EXPECT_EQ(host.fieldErrors, Lines{"EngraveFeedE: '' is not a valid floating point value."});
  EXPECT_TRUE(host.errors.empty());
  ASSERT_NE(model.FieldError(InfoOf(&S::EngraveFeedE)), nullptr);
  model.SetText(&S::EngraveFeedE, "6");
  EXPECT_EQ(model.FieldError(InfoOf(&S::EngraveFeedE)), nullptr);
  EXPECT_EQ(model.Settings().PlungeFeedE, "3");
}

TEST(EngraveFormModel, ALabelRuleIsReportedAtTheFieldThatStopsIt) {
  TempFolder dir;
  std::ofstream(dir.File("BasicFont.fnt")) << kLetterLFont;
  FakeFormHost host;
  EngraveFormModel model(host);
  model.FormActivate(dir.Path().string());
  model.SetText(&S::WidthRatioE, "wide");
  model.SetLines(&S::FreeFormTextE, {"L"});
  model.SetText(&S::SeqDigits, "");
  // The widths follow the ratio as well as the text: both changes stop at the ratio.
  EXPECT_EQ(host.fieldErrors,
            (Lines{"WidthRatioE: 'wide' is not a valid floating point value.",
                   "WidthRatioE: 'wide' is not a valid floating point value.",
                   "SeqDigits: '' is not a valid integer value."}));
  EXPECT_TRUE(host.errors.empty());
}

TEST(EngraveFormModel, EveryNumberFieldIsCheckedAsItsJobReadsIt) {
  FakeFormHost host;
  EngraveFormModel model(host);
  struct CheckCase {
    TextField field;
    const char* text;
    const char* error;  // nullptr: reads
  };
  const CheckCase cases[] = {
      {&S::TextHeightE, "1,5", "'1,5' is not a valid floating point value."},
      {&S::TextHeightE, ".25", nullptr},
      {&S::PenDownE, "", "'' is not a valid floating point value."},
      {&S::SeqEnd, "10.5", "'10.5' is not a valid integer value."},
      {&S::SeqEnd, "12", nullptr},
      {&S::SeqPrefix, "x", nullptr},  // read as typed
      {&S::Axis1E, "", nullptr},      // a letter, refused by the job with its own message
  };
  for (const CheckCase& c : cases) {
    SCOPED_TRACE(InfoOf(c.field).name);
    model.SetText(c.field, c.text);
    const std::string* error = model.FieldError(InfoOf(c.field));
    if (c.error == nullptr) {
      EXPECT_EQ(error, nullptr);
    } else {
      ASSERT_NE(error, nullptr);
      EXPECT_EQ(*error, c.error);
    }
  }
  // Word comes once per change of a field's state, not per keystroke.
  EXPECT_EQ(host.errorChanges, (Lines{"TextHeightE", "TextHeightE", "PenDownE", "SeqEnd", "SeqEnd"}));
}

TEST(EngraveFormModel, LabelsFollowTheirFieldsOnlyWhenAsked) {
  TempFolder dir;
  std::ofstream(dir.File("BasicFont.fnt")) << kLetterLFont;
  FakeFormHost host;
  EngraveFormModel window(host);
  window.FormActivate(dir.Path().string());
  EXPECT_EQ(window.WidthLabel(), "0");
  window.SetText(&S::TextHeightE, "1");
  window.SetLines(&S::FreeFormTextE, {"LL"});
  EXPECT_EQ(window.WidthLabel(), "1.55");
  // The last line's width and the widest line's follow the height, the ratios and the font.
  window.SetLines(&S::FreeFormTextE, {"LLL", "L"});
  EXPECT_EQ(window.WidthLabel(), "0.6");
  EXPECT_EQ(window.BlockWidthLabel(), "2.5");
  window.SetText(&S::TextHeightE, "2");
  EXPECT_EQ(window.WidthLabel(), "1.2");
  EXPECT_EQ(window.BlockWidthLabel(), "5");
  window.SetText(&S::WidthRatioE, "0.5");
  EXPECT_NE(window.WidthLabel(), "1.2");
  window.SetText(&S::WidthRatioE, "1");
  window.SetText(&S::TextHeightE, "1");
  std::ofstream(dir.File("wide.fnt")) << "SYM L\nG00 X0 Y1\nG01 Z-1\nG01 X0 Y0\nG01 X1.6 Y0\nG00 Z1\n";
  window.SetLines(&S::FreeFormTextE, {"LL"});
  EXPECT_EQ(window.WidthLabel(), "1.55");
  window.PickFont(dir.File("wide.fnt"));
  EXPECT_EQ(window.WidthLabel(), "3.55");

  FakeFormHost quietHost;
  EngraveFormModel commandLine(quietHost, /*runLabelHandlers=*/false);
  commandLine.FormActivate(dir.Path().string());
  commandLine.SetText(&S::TextHeightE, "x");
  commandLine.SetLines(&S::FreeFormTextE, {"LL"});
  EXPECT_EQ(commandLine.WidthLabel(), "0");
  EXPECT_TRUE(quietHost.errors.empty());
}

TEST(EngraveFormModel, EngravingClearsTheFontReportUnlessCancelled) {
  TempFolder dir;
  std::ofstream(dir.File("BasicFont.fnt")) << kLetterLFont;
  FakeFormHost host;
  EngraveFormModel model(host);
  model.FormActivate(dir.Path().string());
  ASSERT_EQ(model.FontReportLines().size(), 2u);
  model.SetLines(&EngraveSettings::FreeFormTextE, {"A"});
  host.answer.reset();
  model.EngraveTextClick();
  EXPECT_EQ(model.FontReportLines().size(), 2u);
  host.answer = "job.eia";
  model.EngraveTextClick();
  EXPECT_EQ(model.FontReportLines(), FontReport{""});
}

TEST(EngraveFormModel, EachPageNamesTheJobItPreviews) {
  FakeFormHost host;
  EngraveFormModel model(host);
  const std::pair<Page, JobKind> kPages[] = {
      {Page::CircleText, JobKind::CircleText}, {Page::EllipseText, JobKind::EllipseText},
      {Page::Sequence, JobKind::Sequence},     {Page::Machine, JobKind::FreeFormText},
      {Page::About, JobKind::FreeFormText},    {Page::FreeForm, JobKind::FreeFormText},
      {Page::Batch, JobKind::Batch},
  };
  for (const auto& [page, job] : kPages) {
    model.ShowPage(page);
    EXPECT_EQ(model.CurrentJob(), job) << static_cast<int>(page);
  }
}

TEST(EngraveFormModel, PickFontLoadsTheChosenFileAndCancelKeepsTheFont) {
  TempFolder dir;
  std::ofstream(dir.File("BasicFont.fnt")) << kLetterLFont;
  std::ofstream(dir.File("other.fnt")) << "SYM M\nG00 X0 Y0\n";
  FakeFormHost host;
  EngraveFormModel model(host);
  model.FormActivate(dir.Path().string());
  model.PickFontClick();
  EXPECT_EQ(host.fontDialogDir, dir.Path().string());
  EXPECT_EQ(model.Settings().FontFile, dir.File("BasicFont.fnt"));
  host.fontAnswer = dir.File("other.fnt");
  model.PickFontClick();
  EXPECT_EQ(model.Settings().FontFile, dir.File("other.fnt"));
  EXPECT_EQ(GlyphOf(model.Font(), 'M')->moveCount, 1);
  EXPECT_EQ(GlyphOf(model.Font(), 'L')->moveCount, 0);
}

TEST(EngraveFormModel, ShiftCtrlRightClickFlipsTheFontReport) {
  FakeFormHost host;
  EngraveFormModel model(host);
  model.FormMouseDown(MouseButton::Right, false, true);
  EXPECT_FALSE(model.Memo1Visible());
  model.FormMouseDown(MouseButton::Right, true, true);
  EXPECT_TRUE(model.Memo1Visible());
  model.FormMouseDown(MouseButton::Left, true, true);
  EXPECT_TRUE(model.Memo1Visible());
  model.FormMouseDown(MouseButton::Right, true, true);
  EXPECT_FALSE(model.Memo1Visible());
}

TEST(EngraveFormModel, HandlerErrorsShowWithAFullStop) {
  TempFolder dir;
  std::ofstream(dir.File("BasicFont.fnt")) << kLetterLFont;
  FakeFormHost host;
  EngraveFormModel model(host);
  model.FormActivate(dir.Path().string());
  model.SetText(&S::PenUpE, "abc");
  model.Run([&] { model.EngraveTextClick(); });
  EXPECT_EQ(host.errors, std::vector<std::string>{"'abc' is not a valid floating point value."});
  EXPECT_EQ(host.dialogs, 0);
}

// Every job names the characters of its own text that the font lacks, once the program is
// written; a cancelled job says nothing.
TEST(EngraveFormModel, JobsWarnOfTheCharactersTheFontLeavesBlank) {
  TempFolder dir;
  std::ofstream(dir.File("BasicFont.fnt")) << kLetterLFont;
  FakeFormHost host;
  EngraveFormModel model(host);
  model.FormActivate(dir.Path().string());
  model.SetLines(&S::FreeFormTextE, {"L\u00D8", "L \u00B1\u00D8"});
  model.SetText(&S::ArcTextE, "L\u00B0");
  model.SetText(&S::EllipseTextE, "LLLLLLL");
  model.SetText(&S::SeqPrefix, "\u00D8");
  model.SetText(&S::SeqStart, "7");
  model.SetText(&S::SeqEnd, "7");
  const struct {
    void (EngraveFormModel::*handler)();
    std::vector<std::string> warnings;
  } kCases[] = {
      {&EngraveFormModel::EngraveTextClick, {"No glyph in BasicFont.fnt for: \u00D8 \u00B1"}},
      {&EngraveFormModel::CreateArcClick, {"No glyph in BasicFont.fnt for: \u00B0"}},
      {&EngraveFormModel::CreateEllipseClick, {}},
      {&EngraveFormModel::GenerateSequencesClick, {"No glyph in BasicFont.fnt for: \u00D8 7"}},
  };
  for (const auto& c : kCases) {
    host.warnings.clear();
    model.Run([&] { (model.*c.handler)(); });
    EXPECT_EQ(host.warnings, c.warnings);
  }
  EXPECT_TRUE(host.errors.empty());
  host.answer.reset();
  host.warnings.clear();
  model.EngraveTextClick();
  EXPECT_TRUE(host.warnings.empty());
}

// An LFF or CXF font is a font path like any other: picked, saved in a machine file, read again.
TEST(EngraveFormModel, MachineFilesKeepASingleLineFont) {
  TempFolder dir;
  std::ofstream(dir.File("BasicFont.fnt")) << kLetterLFont;
  std::ofstream(dir.File("face.lff")) << "[0045] E\n0,0;0,10;6,10\n";
  FakeFormHost host;
  EngraveFormModel model(host);
  model.FormActivate(dir.Path().string());
  model.PickFont(dir.File("face.lff"));
  EXPECT_EQ(GlyphOf(model.Font(), 'E')->moveCount, 5);
  host.machineSaveAnswer = dir.File("m.mch");
  model.SaveClick();

  FakeFormHost other;
  EngraveFormModel reopened(other);
  reopened.FormActivate(dir.Path().string());
  reopened.OpenMachineFile(dir.File("m.mch"));
  EXPECT_EQ(reopened.Settings().FontFile, dir.File("face.lff"));
  EXPECT_EQ(GlyphOf(reopened.Font(), 'E')->moveCount, 5);
  EXPECT_TRUE(host.errors.empty());
  EXPECT_TRUE(other.errors.empty());
}

TEST(EngraveFormModel, NoJobRunsWithoutAFont) {
  TempFolder dir;
  std::ofstream(dir.File("BasicFont.fnt")) << kLetterLFont;
  FakeFormHost host;
  EngraveFormModel model(host);
  model.FormActivate(dir.Path().string());
  model.SetText(&S::FontFile, dir.File("missing.fnt"));
  model.LoadFontFile();  // as a machine file naming a font that is gone does
  ASSERT_EQ(host.errors.size(), 1u);
  for (auto handler : {&EngraveFormModel::EngraveTextClick, &EngraveFormModel::CreateArcClick,
                       &EngraveFormModel::CreateEllipseClick,
                       &EngraveFormModel::GenerateSequencesClick}) {
    model.Run([&] { (model.*handler)(); });
  }
  EXPECT_EQ(host.errors.size(), 5u);
  EXPECT_THAT(host.errors.back(), testing::HasSubstr("No font is loaded"));
  EXPECT_EQ(host.dialogs, 0);
}

TEST(EngraveFormModel, StartUpReadsDefaultMachineFileAndItsFont) {
  TempFolder dir;
  std::ofstream(dir.File("BasicFont.fnt")) << kLetterLFont;
  std::ofstream(dir.File("other.fnt")) << "SYM M\nG00 X0 Y0\n";
  {
    FakeFormHost host;
    EngraveFormModel saver(host);
    saver.FormActivate(dir.Path().string());
    saver.SetText(&S::FontFile, dir.File("other.fnt"));
    saver.SetText(&S::TextHeightE, "0.25");
    saver.SetIndex(&S::IntegrexMode, 3);
    saver.SetLines(&S::PostEngrave, {"M30"});
    WriteMachineFile(dir.File("default.mch"), saver.Settings());
  }
  FakeFormHost host;
  EngraveFormModel model(host);
  model.FormActivate(dir.Path().string());
  EXPECT_TRUE(host.errors.empty());
  EXPECT_EQ(model.Settings().TextHeightE, "0.25");
  EXPECT_EQ(model.Settings().Axis2E, "C");  // the mode changed while loading: its axes
  EXPECT_EQ(model.Settings().PostEngrave, Lines{"M30"});
  EXPECT_EQ(GlyphOf(model.Font(), 'M')->moveCount, 1);
  EXPECT_EQ(model.CurrentPage(), Page::Sequence);
}

// A default.mch that does not load is said to be so, and none of it is taken: the window works on
// the factory set-up, says so in its title, and still has its font and its page.
TEST(EngraveFormModel, ADefaultMachineFileThatDoesNotLoadLeavesTheFactorySetUp) {
  enum class Kind { Cut, BadInteger, DanglingLink, Pipe, Folder };
  const struct {
    const char* name;
    Kind kind;
    const char* message;
  } kCases[] = {
      {"CutInsideTheTextParameters", Kind::Cut, "' ends in the middle of line 9, the value of"},
      {"BadInteger", Kind::BadInteger, "', line 31, [InverseTimeE]: 'zero' is not a valid"},
      {"DanglingLink", Kind::DanglingLink, "': it is a link to '"},
      {"Pipe", Kind::Pipe, "': it is not a regular file"},
      {"Folder", Kind::Folder, "': Is a directory"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    TempFolder dir;
    std::ofstream(dir.File("BasicFont.fnt")) << kLetterLFont;
    const std::string path = dir.File("default.mch");
    EngraveSettings saved;
    saved.TextHeightE = "2";
    saved.FontFile = dir.File("BasicFont.fnt");
    saved.PreToolChange = {"T1 M6"};
    std::string bytes = FormatMachineFile(saved, path);
    if (c.kind == Kind::Cut) bytes.resize(bytes.find(dir.File("BasicFont.fnt")) + 5);
    if (c.kind == Kind::BadInteger) bytes.replace(bytes.find("[InverseTimeE]\r\n0") + 16, 1, "zero");
    if (c.kind == Kind::Cut || c.kind == Kind::BadInteger) {
      std::ofstream(path, std::ios::binary) << bytes;
    }
    if (c.kind == Kind::DanglingLink) fs::create_symlink(dir.File("gone.mch"), path);
    if (c.kind == Kind::Pipe) {
      ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    }
    if (c.kind == Kind::Folder) fs::create_directory(path);

    FakeFormHost host;
    EngraveFormModel model(host);
    model.Run([&] { model.FormActivate(dir.Path().string()); });
    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_THAT(host.errors[0], testing::HasSubstr("machine file '" + path + c.message));
    EXPECT_TRUE(model.DefaultMachineFileFailed());
    EXPECT_EQ(model.MachineFile(), "");
    EXPECT_EQ(model.Settings().TextHeightE, ".125");
    EXPECT_TRUE(model.Settings().PreToolChange.empty());
    EXPECT_TRUE(model.FontLoaded());
    EXPECT_EQ(model.CurrentPage(), Page::Sequence);

    // A machine file that opens is in use from then on.
    const std::string good = dir.File("good.mch");
    WriteMachineFile(good, saved);
    model.OpenMachineFile(good);
    EXPECT_FALSE(model.DefaultMachineFileFailed());
    EXPECT_EQ(model.Settings().TextHeightE, "2");
  }
}

TEST(EngraveFormModel, AMissingDefaultMachineFileIsNoError) {
  TempFolder dir;
  std::ofstream(dir.File("BasicFont.fnt")) << kLetterLFont;
  FakeFormHost host;
  EngraveFormModel model(host);
  model.FormActivate(dir.Path().string());
  EXPECT_TRUE(host.errors.empty());
  EXPECT_FALSE(model.DefaultMachineFileFailed());
}

// A value that a job cannot read is loaded as it stands; what is said of it names the file and
// the key, once: by the change rule that stopped at it, or else by a warning after the load.
TEST(EngraveFormModel, AnUnreadableValueOfAMachineFileIsReportedWithItsFileAndKey) {
  TempFolder dir;
  std::ofstream(dir.File("BasicFont.fnt")) << kLetterLFont;
  const std::string path = dir.File("default.mch");
  EngraveSettings saved;
  saved.FontFile = dir.File("BasicFont.fnt");
  saved.EngraveFeedE = "nan";
  saved.TextHeightE = "nan";
  WriteMachineFile(path, saved);
  FakeFormHost host;
  EngraveFormModel model(host);
  model.FormActivate(dir.Path().string());
  EXPECT_TRUE(host.errors.empty());
  EXPECT_FALSE(model.DefaultMachineFileFailed());
  EXPECT_EQ(host.fieldErrors,
            std::vector<std::string>{"EngraveFeedE: The machine file '" + path +
                                     "', [EngraveFeedE]: 'nan' is not a valid floating point "
                                     "value."});
  EXPECT_EQ(host.warnings, std::vector<std::string>{"warning: the machine file '" + path +
                                                    "', [Height]: 'nan' is not a valid floating "
                                                    "point value."});
  // Typed by the user, the same value is reported as before.
  model.SetText(&S::EngraveFeedE, "x");
  EXPECT_EQ(host.fieldErrors.back(), "EngraveFeedE: 'x' is not a valid floating point value.");
}

TEST(EngraveFormModel, JobsTellTheHostWhichProgramsTheyWrote) {
  TempFolder dir;
  std::ofstream(dir.File("BasicFont.fnt")) << kLetterLFont;
  FakeFormHost host;
  EngraveFormModel model(host);
  model.FormActivate(dir.Path().string());
  model.SetLines(&S::FreeFormTextE, {"L", "LL"});
  host.answer = "part.eia";
  model.EngraveTextClick();
  ASSERT_EQ(host.written.size(), 1u);
  EXPECT_EQ(host.written[0], Lines{"part.eia"});
  EXPECT_FALSE(host.store.Bytes("part.eia").empty()) << "the host's store still gets the bytes";

  host.answer = dir.File("SN.eia");
  model.SetText(&S::SeqStart, "1");
  model.SetText(&S::SeqEnd, "3");
  model.SetIndex(&S::Files, 1);
  model.GenerateSequencesClick();
  ASSERT_EQ(host.written.size(), 2u);
  EXPECT_EQ(host.written[1].size(), 3u);

  host.answer.reset();  // cancelled: nothing written, nothing said
  model.EngraveTextClick();
  EXPECT_EQ(host.written.size(), 2u);
}

TEST(EngraveFormModel, RemembersTheMachineFileLastOpenedOrSaved) {
  TempFolder dir;
  std::ofstream(dir.File("BasicFont.fnt")) << kLetterLFont;
  FakeFormHost host;
  EngraveFormModel model(host);
  model.FormActivate(dir.Path().string());
  EXPECT_EQ(model.MachineFile(), "");
  const std::string saved = dir.File("lathe.mch");
  WriteMachineFile(saved, model.Settings());
  model.OpenMachineFile(saved);
  EXPECT_EQ(model.MachineFile(), saved);
  EXPECT_THROW(model.OpenMachineFile(dir.File("missing.mch")), Error);
  EXPECT_EQ(model.MachineFile(), saved) << "a file that did not open is not the one shown";
}

TEST(EngraveFormModel, TheUserGuideIsTheGuideOfTheSourceTreeForABuildTree) {
  FakeFormHost host;
  EngraveFormModel model(host);
  const std::string guide = model.DocumentationPath();
  ASSERT_FALSE(guide.empty());
  EXPECT_TRUE(fs::equivalent(guide, fs::path(STYLOR_SOURCE_DIR) / "docs" / "guide.md"));
  EXPECT_EQ(model.DocumentationUrl(), "file://" + guide);
}

TEST(EngraveFormModel, Button1ThenButton2BringsTheTextParametersBack) {
  TempFolder dir;
  std::ofstream(dir.File("BasicFont.fnt")) << kLetterLFont;
  const fs::path previous = fs::current_path();
  fs::current_path(dir.Path().string());
  FakeFormHost host;
  EngraveFormModel model(host);
  model.FormActivate(dir.Path().string());
  model.SetText(&S::TextHeightE, "0.3");
  model.SetLines(&S::PreToolChange, {"T1"});
  model.SetLines(&S::ToolChange, {"M6"});
  model.Button1Click();
  model.SetText(&S::TextHeightE, "9");
  model.Button2Click();
  fs::current_path(previous);
  EXPECT_EQ(model.Settings().TextHeightE, "0.3");
  EXPECT_TRUE(model.Settings().PreToolChange.empty());
  EXPECT_EQ(model.Settings().ToolChange, Lines{"M6"});
}

}  // namespace
}  // namespace stylor

namespace stylor {
namespace {

class BatchModelTest : public testing::Test {
 protected:
  BatchModelTest() {
    std::ofstream(folder.File("BasicFont.fnt")) << test::kLetterLFont;
    model.FormActivate(folder.Path().string());
    model.SetLines(&EngraveSettings::FreeFormTextE, {"{Text}"});
  }
  test::TempFolder folder;
  test::FakeFormHost host;
  EngraveFormModel model{host};
};

TEST_F(BatchModelTest, DataFileListsItsRowsAndTheBatchPagePreviewsRowOne) {
  model.ShowPage(Page::Batch);
  EXPECT_THAT(model.DataRowsLabel(), testing::HasSubstr("No data file chosen"));
  EXPECT_THAT(model.Preview().message, testing::HasSubstr("No data file chosen"));
  std::string rows = "Text\n";
  for (int row = 0; row < 120; ++row) rows += row % 2 ? "L\n" : "LL\n";
  host.dataAnswer = folder.Write("rows.csv", rows);
  model.DataFileClick();
  ASSERT_NE(model.DataRows(), nullptr);
  EXPECT_EQ(model.DataFile(), *host.dataAnswer);
  EXPECT_EQ(model.DataRowsLabel(), "120 rows, the first 100 listed");
  const PreviewScene scene = model.Preview();
  EXPECT_EQ(scene.note, "row 1 of 120");
  ASSERT_TRUE(scene.stats);
  EXPECT_EQ(scene.stats->plunges, 180);
  EXPECT_EQ(model.CurrentJob(), JobKind::Batch);
  model.SetIndex(&EngraveSettings::BatchTextKind, 1);
  EXPECT_EQ(model.Preview().guide.kind, GuideKind::Circle);
}

TEST_F(BatchModelTest, TheChosenRowIsPreviewedUntilANewFileIsRead) {
  model.ShowPage(Page::Batch);
  model.SetPreviewRow(1);  // no data file yet: ignored
  EXPECT_EQ(model.PreviewRow(), 0u);
  host.dataAnswer = folder.Write("rows.csv", "Text\nL\nLLL\nLL\n");
  model.DataFileClick();
  const std::size_t firstRowSegments = model.Preview().segments.size();
  model.SetPreviewRow(1);
  const PreviewScene scene = model.Preview();
  EXPECT_EQ(scene.note, "row 2 of 3");
  EXPECT_GT(scene.segments.size(), firstRowSegments);  // LLL drawn, not the first row's L
  ASSERT_TRUE(scene.stats);
  EXPECT_EQ(scene.stats->plunges, 6);  // the whole run still
  model.SetPreviewRow(3);  // past the last row: ignored
  EXPECT_EQ(model.PreviewRow(), 1u);
  model.SetIndex(&EngraveSettings::Files, 1);  // Many Files frames the row in its own program
  EXPECT_EQ(model.Preview().note, "row 2 of 3");
  model.DataFileClick();
  EXPECT_EQ(model.PreviewRow(), 0u);
  EXPECT_EQ(model.Preview().note, "row 1 of 3");
}

TEST_F(BatchModelTest, SaysWhatItTakesFromTheSequencePage) {
  EXPECT_EQ(model.BatchSequenceLabel(),
            "Takes from Sequence: One File, prefix '' (Many Files only); lines around each row: "
            "before none, after none");
  model.SetIndex(&EngraveSettings::Files, 1);
  model.SetText(&EngraveSettings::FilePrefix, "SNV-");
  model.SetLines(&EngraveSettings::SeqPreGCodes, {"(TAG {Row} OF {Rows}) and a long comment", "M00"});
  EXPECT_EQ(model.BatchSequenceLabel(),
            "Takes from Sequence: Many Files, prefix 'SNV-'; lines around each row (One File "
            "only): before '(TAG {Row} OF {Rows}) an...', 'M00', after none");
}

TEST_F(BatchModelTest, ARefusedFileKeepsTheRowsReadBefore) {
  host.dataAnswer = folder.Write("good.csv", "Text\nL\n");
  model.DataFileClick();
  host.dataAnswer = folder.Write("bad.csv", "Text\n\"L\n");
  model.Run([&] { model.DataFileClick(); });
  ASSERT_EQ(host.errors.size(), 1u);
  EXPECT_THAT(host.errors[0], testing::HasSubstr("bad.csv': line 2 opens a quoted value"));
  EXPECT_EQ(model.DataFile(), folder.File("good.csv"));
  EXPECT_EQ(model.DataRowsLabel(), "1 row");
  host.dataAnswer.reset();
  model.DataFileClick();  // cancelled
  EXPECT_EQ(model.DataFile(), folder.File("good.csv"));
}

TEST_F(BatchModelTest, GenerateFromDataWritesEveryRowAndSaysWhichFiles) {
  model.Run([&] { model.GenerateBatchClick(); });
  ASSERT_EQ(host.errors.size(), 1u);
  EXPECT_THAT(host.errors[0], testing::HasSubstr("No data file is chosen"));
  host.dataAnswer = folder.Write("rows.csv", "Text\nL\nLL\n");
  model.DataFileClick();
  model.SetIndex(&EngraveSettings::Files, 1);
  host.answer = "/out/x.eia";
  model.GenerateBatchClick();
  ASSERT_EQ(host.written.size(), 1u);
  EXPECT_THAT(host.written[0], testing::ElementsAre("/out/1.eia", "/out/2.eia"));
}

// The warning names what any row leaves blank, each character once, and only once the
// programs are written.
TEST_F(BatchModelTest, GenerateFromDataNamesTheCharactersOfEveryRowTheFontLacks) {
  model.SetLines(&EngraveSettings::FreeFormTextE, {"L{Text}", "\u00B1"});
  host.dataAnswer = folder.Write("rows.csv", "Text\nL\u00D8\nL\n\u00B0\u00D8\n");
  model.DataFileClick();
  host.answer = folder.File("plates.eia");
  model.GenerateBatchClick();
  EXPECT_EQ(host.warnings, std::vector<std::string>{"No glyph in BasicFont.fnt for: "
                                                    "\u00D8 \u00B1 \u00B0"});
  host.warnings.clear();
  host.answer.reset();
  model.GenerateBatchClick();
  EXPECT_TRUE(host.warnings.empty());
  EXPECT_TRUE(host.errors.empty());
}

}  // namespace
}  // namespace stylor
