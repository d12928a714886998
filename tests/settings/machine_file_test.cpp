#include "settings/machine_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "settings/error.h"
#include "support/temp_folder.h"

namespace stylor {
namespace {

namespace fs = std::filesystem;
using S = EngraveSettings;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::StartsWith;
using testing::ThrowsMessage;

constexpr const char* kFontPath = "/home/cnc/BasicFont.fnt";

// The 41 lines of a file saved from the defaults, with FontFile = kFontPath.
std::vector<std::string> DefaultLines() {
  return {"[SECTION -- Text Parameters]",
          "[Height]", ".125",
          "[WidthRatio]", "1",
          "[SpacingRatio]", "1",
          "[FontFile]", kFontPath,
          "[Axis1]", "X",
          "[Axis1Start]", "0",
          "[TextAngleE]", "0",
          "[Axis2E]", "Y",
          "[Axis2StartE]", "0",
          "[Axis3E]", "Z",
          "[PenDownE]", "-.001",
          "[PenUpE]", ".001",
          "[EngraveFeedE]", "50",
          "[PlungeFeedE]", "25",
          "[InverseTimeE]", "0",
          "[Justification]", "0",
          "[IntegrexMode]", "0",
          "[IntegrexHead]", "0",
          "[SECTION -- Pre Tool Change]",
          "[SECTION -- Tool Change]",
          "[SECTION -- Post Tool Change]",
          "[SECTION -- Post Engrave]"};
}

// Line index of the value of pair `pair` (1 to 18) in DefaultLines().
std::size_t ValueLine(int pair) { return static_cast<std::size_t>(2 * pair); }

std::string WithCrLf(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  return bytes;
}

EngraveSettings DefaultsWithFont() {
  EngraveSettings settings;
  settings.FontFile = kFontPath;
  return settings;
}

// Settings whose every stored field differs from the defaults, with all four blocks filled.
EngraveSettings OtherSettings() {
  EngraveSettings settings;
  for (const MachineFilePair& pair : MachineFilePairs()) {
    if (const auto* text = std::get_if<TextField>(&pair.field)) settings.**text = "old";
  }
  settings.InverseTimeE = true;
  settings.Justification = 2;
  settings.IntegrexMode = 3;
  settings.IntegrexHead = 1;
  settings.PreToolChange = {"old pre"};
  settings.ToolChange = {"old tool"};
  settings.PostToolChange = {"old post tool"};
  settings.PostEngrave = {"old post engrave"};
  return settings;
}

// Sees every call of the readers in order, and can make a change rule or the font fail.
class RecordingEditor final : public SettingsEditor {
 public:
  explicit RecordingEditor(EngraveSettings start = {}) : settings(std::move(start)) {}

  const EngraveSettings& Settings() const override { return settings; }
  void SetText(TextField field, std::string value) override {
    calls.push_back("SetText " + Name(field) + "=" + value);
    settings.*field = std::move(value);
    if (field == &S::EngraveFeedE && engraveFeedRuleError) throw Error(*engraveFeedRuleError);
  }
  void SetLines(LinesField field, Lines value) override {
    calls.push_back("SetLines " + Name(field));
    settings.*field = std::move(value);
  }
  void SetIndex(IndexField field, std::int32_t value) override {
    calls.push_back("SetIndex " + Name(field) + "=" + std::to_string(value));
    settings.*field = value;
  }
  void SetState(StateField field, bool value) override {
    calls.push_back("SetState " + Name(field) + "=" + (value ? "1" : "0"));
    settings.*field = value;
  }
  void LoadFontFile() override {
    calls.push_back("LoadFontFile");
    if (fontError) throw Error(*fontError);
  }

  EngraveSettings settings;
  std::vector<std::string> calls;
  std::optional<std::string> engraveFeedRuleError;
  std::optional<std::string> fontError;

 private:
  template <typename Field>
  static std::string Name(Field field) {
    return std::string(InfoOf(field).name);
  }
};

class MachineFileTest : public testing::Test {
 protected:
  std::string Path(const std::string& name) const { return m_folder.File(name); }
  std::string Put(const std::string& name, const std::string& bytes) const {
    return m_folder.Write(name, bytes);
  }
  static std::string Bytes(const std::string& path) { return test::ReadBytes(path); }

  std::set<std::string> Entries() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_dir)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  // Writes `settings` and reads the file back into fresh defaults.
  EngraveSettings RoundTrip(const EngraveSettings& settings) {
    const std::string path = Path("round.mch");
    WriteMachineFile(path, settings);
    EngraveSettings loaded;
    PlainSettingsEditor editor(loaded);
    ReadMachineFile(path, editor);
    return loaded;
  }

  test::TempFolder m_folder{"stylor-mch"};
  fs::path m_dir = m_folder.Path();
};

TEST_F(MachineFileTest, SavesTheDefaultsAsFortyOneLinesAndReadsThemBack) {
  const EngraveSettings defaults = DefaultsWithFont();
  const std::string path = Path("default.mch");
  WriteMachineFile(path, defaults);
  EXPECT_EQ(Bytes(path), WithCrLf(DefaultLines()));

  EngraveSettings loaded = OtherSettings();
  PlainSettingsEditor editor(loaded);
  ReadMachineFile(path, editor);
  EXPECT_EQ(loaded, defaults);  // every stored field back, the four memos empty
}

TEST_F(MachineFileTest, WritesEachMemoLineAsOneFileLine) {
  EngraveSettings settings = DefaultsWithFont();
  settings.ToolChange = {"G28 U0", "", "M6 T1"};
  settings.PostEngrave = {"M30"};
  WriteMachineFile(Path("blocks.mch"), settings);
  std::vector<std::string> lines = DefaultLines();
  lines.insert(lines.begin() + 39, {"G28 U0", "", "M6 T1"});
  lines.push_back("M30");
  EXPECT_EQ(Bytes(Path("blocks.mch")), WithCrLf(lines));
}

struct RoundTripCase {
  const char* name;
  std::function<void(EngraveSettings&)> change;
};

TEST_F(MachineFileTest, EveryStoredFieldReadsBackAsHeld) {
  const RoundTripCase kCases[] = {
      {"Defaults", [](EngraveSettings&) {}},
      {"FontPathOf300Characters",
       [](EngraveSettings& s) { s.FontFile = "/fonts/" + std::string(289, 'f') + ".fnt"; }},
      {"BlanksAroundValuesKept",
       [](EngraveSettings& s) {
         s.TextHeightE = "  .25 ";
         s.Axis1E = " X";
         s.PenUpE = "\t.1\t";
       }},
      {"EmptyTexts",
       [](EngraveSettings& s) {
         s.Axis1StartE = "";
         s.Axis3E = "";
       }},
      {"AccentsAndDegreeSign",
       [](EngraveSettings& s) { s.FontFile = "/home/jos\xc3\xa9/Schrift\xc2\xb0.fnt"; }},
      {"NonNumericTextKeptVerbatim", [](EngraveSettings& s) { s.EngraveFeedE = "fast"; }},
      {"IndicesAndState",
       [](EngraveSettings& s) {
         s.InverseTimeE = true;
         s.Justification = -1;
         s.IntegrexMode = 6;
         s.IntegrexHead = 1;
       }},
      {"BlocksWithEmptyLinesAndLongLine",
       [](EngraveSettings& s) {
         s.PreToolChange = {"G28 U0", ""};
         s.ToolChange = {"(" + std::string(300, 'T') + ")"};
         s.PostToolChange = {"", "", "M13"};
         s.PostEngrave = {"M30"};
       }},
      {"ValueAtTheLongestLine",
       [](EngraveSettings& s) { s.FontFile = std::string(kMaxMachineFileLine, 'p'); }},
      {"ValueEndingInCarriageReturn", [](EngraveSettings& s) { s.SpacingRatioE = "1\r"; }},
      {"MarkingCodes",
       [](EngraveSettings& s) {
         s.ShiftTable = "A 06:00, B 14:00, C 22:00";
         s.YearLetterTable = "2020:XYZ";
         s.CountersFile = "/shop/counters=1.csv";
         s.ProductionLog = "log.csv";
         s.CodesInUtc = true;
         s.PostEngrave = {"M30"};
       }},
      {"OneCodeAlone", [](EngraveSettings& s) { s.CodesInUtc = true; }},
      {"CuttingOptions",
       [](EngraveSettings& s) {
         s.DepthPerPassE = "0.05";
         s.SpringPass = true;
         s.RampLengthE = "1.5";
         s.TravelOrder = 2;
         s.LaserMode = 2;
         s.LaserPowerE = "800";
         s.DotPitchE = "0.4";
         s.DotStyle = 1;
         s.DotDwellE = "0.2";
         s.DotCodesE = "M10 M11";
       }},
      {"LaserExtras",
       [](EngraveSettings& s) {
         s.LaserMode = 1;
         s.LaserPassesE = "4";
         s.LaserZStepE = "0.1";
         s.LaserLeadInE = "2";
         s.AirAssist = 2;
       }},
      {"CuttingAndCodes",
       [](EngraveSettings& s) {
         s.ShiftTable = "A 06:00";
         s.TravelOrder = 3;
       }},
  };
  for (const RoundTripCase& c : kCases) {
    SCOPED_TRACE(c.name);
    EngraveSettings settings = DefaultsWithFont();
    c.change(settings);
    EXPECT_EQ(RoundTrip(settings), settings);
  }
}

TEST_F(MachineFileTest, CodesStandWhereAnOlderReaderDropsThem) {
  EngraveSettings settings = DefaultsWithFont();
  settings.ShiftTable = "A 06:00";
  settings.PreToolChange = {"G28"};
  settings.PostEngrave = {"M30"};
  WriteMachineFile(Path("codes.mch"), settings);
  std::vector<std::string> lines = DefaultLines();
  lines.insert(lines.begin() + 37, {"[Codes]", "ShiftTable=A 06:00", "YearLetterTable=",
                                    "CountersFile=", "ProductionLog=", "CodesInUtc=0"});
  lines.insert(lines.begin() + 44, "G28");
  lines.push_back("M30");
  EXPECT_EQ(Bytes(Path("codes.mch")), WithCrLf(lines));
  // The codes lie between the last pair and the first block header, where the readers before
  // them drop every line: the blocks read back without them.
  EngraveSettings blocks;
  PlainSettingsEditor editor(blocks);
  ReadMachineFile(Path("codes.mch"), editor);
  EXPECT_EQ(blocks.PreToolChange, Lines{"G28"});
  EXPECT_EQ(blocks.PostEngrave, Lines{"M30"});
  EXPECT_EQ(blocks.ShiftTable, "A 06:00");

  // A file without codes gives every code its default.
  EngraveSettings loaded = settings;
  PlainSettingsEditor reload(loaded);
  ReadMachineFile(Path("codes.mch"), reload);
  WriteMachineFile(Path("plain.mch"), DefaultsWithFont());
  ReadMachineFile(Path("plain.mch"), reload);
  EXPECT_EQ(loaded.ShiftTable, "");
}

TEST_F(MachineFileTest, CuttingOptionsStandInTheirOwnPartAndAreCheckedWhenRead) {
  EngraveSettings settings = DefaultsWithFont();
  settings.TravelOrder = 1;
  WriteMachineFile(Path("cut.mch"), settings);
  std::vector<std::string> lines = DefaultLines();
  lines.insert(lines.begin() + 37,
               {"[Cutting]", "DepthPerPassE=0", "SpringPass=0", "RampLengthE=0", "TravelOrder=1",
                "LaserMode=0", "LaserPowerE=0", "DotPitchE=0", "DotStyle=0", "DotDwellE=0",
                "DotCodesE="});
  EXPECT_EQ(Bytes(Path("cut.mch")), WithCrLf(lines));
  // The laser extras are written only when set, after the others of the part.
  settings.AirAssist = 1;
  WriteMachineFile(Path("air.mch"), settings);
  std::vector<std::string> withAir = lines;
  withAir.insert(withAir.begin() + 48, "AirAssist=1");
  EXPECT_EQ(Bytes(Path("air.mch")), WithCrLf(withAir));

  // An index beyond its items reads as the last, as the pairs do; one that is no number, or a
  // key of the other part, is not taken.
  const auto readWith = [&](const std::string& line) {
    std::vector<std::string> changed = lines;
    changed[41] = line;
    const std::string edited = Put("edited.mch", WithCrLf(changed));
    EngraveSettings read = DefaultsWithFont();
    PlainSettingsEditor editor(read);
    ReadMachineFile(edited, editor);
    return read;
  };
  EXPECT_EQ(readWith("TravelOrder=9").TravelOrder, 3);
  EXPECT_EQ(readWith("ShiftTable=A 06:00").ShiftTable, "");
  EXPECT_THAT([&] { readWith("TravelOrder=two"); },
              ThrowsMessage<Error>(HasSubstr("TravelOrder")));
}

// The control's dialect, counter and first subprogram stand in a part of their own, written only
// when one differs from its default, so the files of other set-ups keep their bytes.
TEST_F(MachineFileTest, TheCountingOnTheControlStandsInItsOwnPart) {
  EngraveSettings settings = DefaultsWithFont();
  settings.CounterVariable = "3100";
  settings.ControlDialect = 1;
  WriteMachineFile(Path("control.mch"), settings);
  std::vector<std::string> lines = DefaultLines();
  lines.insert(lines.begin() + 37, {"[Control]", "ControlDialect=1", "CounterVariable=3100",
                                    "FirstSubprogram=8000"});
  EXPECT_EQ(Bytes(Path("control.mch")), WithCrLf(lines));
  EngraveSettings read = DefaultsWithFont();
  PlainSettingsEditor editor(read);
  ReadMachineFile(Path("control.mch"), editor);
  EXPECT_EQ(read.ControlDialect, 1);
  EXPECT_EQ(read.CounterVariable, "3100");
  // A dialect past the table reads as the last, as every index does.
  lines[38] = "ControlDialect=7";
  const std::string edited = Put("edited.mch", WithCrLf(lines));
  ReadMachineFile(edited, editor);
  EXPECT_EQ(read.ControlDialect, 1);

  WriteMachineFile(Path("plain.mch"), DefaultsWithFont());
  EXPECT_EQ(Bytes(Path("plain.mch")), WithCrLf(DefaultLines()));
}

TEST_F(MachineFileTest, MemoLinesWithALineBreakComeBackAsSeparateLines) {
  EngraveSettings settings = DefaultsWithFont();
  settings.ToolChange = {"G0 X0\nG1 Z-1", "M6\r\nT2"};
  const EngraveSettings loaded = RoundTrip(settings);
  EXPECT_THAT(loaded.ToolChange, ElementsAre("G0 X0", "G1 Z-1", "M6", "T2"));
}

TEST_F(MachineFileTest, MemoLineThatLooksLikeAHeaderIsSavedSoThatItStaysALine) {
  // The block part knows headers only by their first seven characters: such a line is written
  // after a blank, which the reader trims away again.
  EngraveSettings settings = DefaultsWithFont();
  settings.ToolChange = {"M6", "[SECTION note"};
  settings.PostToolChange = {"M13"};
  const EngraveSettings loaded = RoundTrip(settings);
  EXPECT_THAT(loaded.ToolChange, ElementsAre("M6", "[SECTION note"));
  EXPECT_THAT(loaded.PostToolChange, ElementsAre("M13"));
}

TEST_F(MachineFileTest, ReadsAFileMadeByHandIntoEveryField) {
  RecordingEditor editor(OtherSettings());
  ReadMachineFile(STYLOR_TEST_DATA "/lathe_setup.mch", editor);
  const EngraveSettings& s = editor.settings;
  EXPECT_EQ(s.TextHeightE, ".25");
  EXPECT_EQ(s.WidthRatioE, ".8");
  EXPECT_EQ(s.SpacingRatioE, "1.1");
  EXPECT_EQ(s.FontFile, "/opt/fonts/Script.fnt");
  EXPECT_EQ(s.Axis1E + s.Axis2E + s.Axis3E, "CZX");
  EXPECT_EQ(s.Axis1StartE, "90");
  EXPECT_EQ(s.Axis2StartE, "-1.5");
  EXPECT_EQ(s.PenDownE + " " + s.PenUpE, "1.98 2.1");
  EXPECT_EQ(s.EngraveFeedE + " " + s.PlungeFeedE, "30 12");
  EXPECT_TRUE(s.InverseTimeE);
  EXPECT_EQ(s.Justification, 1);
  EXPECT_EQ(s.IntegrexMode, 2);
  EXPECT_EQ(s.IntegrexHead, 1);
  EXPECT_THAT(s.PreToolChange, ElementsAre("G28 U0 W0", "M5"));
  EXPECT_THAT(s.ToolChange, ElementsAre("T0101 M6", "(ENGRAVE)", ""));
  EXPECT_THAT(s.PostToolChange, ElementsAre("G97 S1500 M13"));
  EXPECT_THAT(s.PostEngrave, ElementsAre("M9", "G28 U0 W0"));
}

TEST_F(MachineFileTest, TheEditorSeesTheFieldsOneByOneInFileOrder) {
  RecordingEditor editor;
  ReadMachineFile(STYLOR_TEST_DATA "/lathe_setup.mch", editor);
  EXPECT_THAT(editor.calls,
              ElementsAre("SetLines PreToolChange", "SetText TextHeightE=.25",
                          "SetText WidthRatioE=.8", "SetText SpacingRatioE=1.1",
                          "SetText FontFile=/opt/fonts/Script.fnt", "LoadFontFile",
                          "SetText Axis1E=C", "SetText Axis1StartE=90", "SetText TextAngleE=0",
                          "SetText Axis2E=Z", "SetText Axis2StartE=-1.5", "SetText Axis3E=X",
                          "SetText PenDownE=1.98", "SetText PenUpE=2.1",
                          "SetText EngraveFeedE=30", "SetText PlungeFeedE=12",
                          "SetState InverseTimeE=1", "SetIndex Justification=1",
                          "SetIndex IntegrexMode=2", "SetIndex IntegrexHead=1",
                          "SetLines PreToolChange", "SetLines ToolChange",
                          "SetLines PostToolChange", "SetLines PostEngrave"));
}

TEST_F(MachineFileTest, AFailingChangeRuleOrFontDoesNotStopTheLoad) {
  RecordingEditor editor(OtherSettings());
  editor.fontError = "Cannot load the font file '/opt/fonts/Script.fnt': No such file or directory";
  editor.engraveFeedRuleError = "'30' is not a valid integer value";
  EXPECT_THAT([&] { ReadMachineFile(STYLOR_TEST_DATA "/lathe_setup.mch", editor); },
              ThrowsMessage<Error>(*editor.fontError));
  EXPECT_EQ(editor.settings.PlungeFeedE, "12");
  EXPECT_EQ(editor.settings.IntegrexHead, 1);
  EXPECT_THAT(editor.settings.PostEngrave, ElementsAre("M9", "G28 U0 W0"));
}

TEST_F(MachineFileTest, BlockLinesAreTrimmedAndLineEndsMayBeBareLf) {
  std::vector<std::string> lines = DefaultLines();
  lines.insert(lines.begin() + 38, {"  G0 X0 \t", "", "\t M6 T1\x1f", "G0 \tX1"});
  lines.push_back("M30  ");
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\n";
  EngraveSettings loaded;
  PlainSettingsEditor editor(loaded);
  ReadMachineFile(Put("lf.mch", bytes), editor);
  EXPECT_THAT(loaded.PreToolChange, ElementsAre("G0 X0", "", "M6 T1", "G0 \tX1"));
  EXPECT_THAT(loaded.PostEngrave, ElementsAre("M30"));
  EXPECT_EQ(loaded.TextHeightE, ".125");
}

TEST_F(MachineFileTest, AByteOrderMarkBeforeTheFirstHeaderIsSkipped) {
  const std::string bom = "\xEF\xBB\xBF";
  std::vector<std::string> lines = DefaultLines();
  lines.insert(lines.begin() + 39, "T1 M6");
  RecordingEditor editor(OtherSettings());
  ReadMachineFile(Put("bom.mch", bom + WithCrLf(lines)), editor);
  EXPECT_EQ(editor.settings.TextHeightE, ".125");
  EXPECT_THAT(editor.settings.ToolChange, ElementsAre("T1 M6"));

  const std::vector<std::string> old(lines.begin() + 37, lines.end());
  RecordingEditor oldEditor(OtherSettings());
  ReadOldMachineFile(Put("bom-old.mch", bom + WithCrLf(old)), oldEditor);
  EXPECT_THAT(oldEditor.settings.ToolChange, ElementsAre("T1 M6"));
  EXPECT_TRUE(oldEditor.settings.PreToolChange.empty());
}

TEST_F(MachineFileTest, SectionHeadersAreCountedNotNamed) {
  std::vector<std::string> lines = DefaultLines();
  lines.resize(37);
  for (const char* line : {"stray line before the first header", "[SECTIONS are counted]",
                           "G28", "[SECTIOX seven characters suffice]", "T1 M6",
                           " [SECTION -- indented is a line]", "[SECTION -- Post Tool Change]",
                           "M13", "[SECTION -- Post Engrave]", "M5",
                           "[SECTION -- a fifth header]", "M30"}) {
    lines.push_back(line);
  }
  EngraveSettings loaded = OtherSettings();
  PlainSettingsEditor editor(loaded);
  ReadMachineFile(Put("headers.mch", WithCrLf(lines)), editor);
  EXPECT_THAT(loaded.PreToolChange, ElementsAre("G28"));
  EXPECT_THAT(loaded.ToolChange, ElementsAre("T1 M6", "[SECTION -- indented is a line]"));
  EXPECT_THAT(loaded.PostToolChange, ElementsAre("M13"));
  EXPECT_THAT(loaded.PostEngrave, ElementsAre("M5", "M30"));
}

TEST_F(MachineFileTest, TheReducedFileLeavesThreeBlocksAsTheyWere) {
  std::vector<std::string> lines = DefaultLines();
  lines.resize(37);
  RecordingEditor editor(OtherSettings());
  ReadMachineFile(Put("reduced.txt", WithCrLf(lines)), editor);
  EXPECT_EQ(editor.settings.TextHeightE, ".125");
  EXPECT_TRUE(editor.settings.PreToolChange.empty());
  EXPECT_THAT(editor.settings.ToolChange, ElementsAre("old tool"));
  EXPECT_THAT(editor.settings.PostToolChange, ElementsAre("old post tool"));
  EXPECT_THAT(editor.settings.PostEngrave, ElementsAre("old post engrave"));
  EXPECT_EQ(editor.calls.front(), "SetLines PreToolChange");
  EXPECT_EQ(editor.calls.back(), "SetIndex IntegrexHead=0");
}

TEST_F(MachineFileTest, OpenOldOnACurrentFileShiftsTheBlocksByOneSection) {
  RecordingEditor editor(OtherSettings());
  ReadOldMachineFile(STYLOR_TEST_DATA "/lathe_setup.mch", editor);
  const EngraveSettings& s = editor.settings;
  ASSERT_EQ(s.PreToolChange.size(), 36u);
  EXPECT_EQ(s.PreToolChange.front(), "[Height]");
  EXPECT_EQ(s.PreToolChange[7], "/opt/fonts/Script.fnt");
  EXPECT_EQ(s.PreToolChange.back(), "1");
  EXPECT_THAT(s.ToolChange, ElementsAre("G28 U0 W0", "M5"));
  EXPECT_THAT(s.PostToolChange, ElementsAre("T0101 M6", "(ENGRAVE)", ""));
  EXPECT_THAT(s.PostEngrave, ElementsAre("G97 S1500 M13", "M9", "G28 U0 W0"));
  // No text parameter is touched and no font is loaded.
  EXPECT_THAT(editor.calls, ElementsAre("SetLines PreToolChange", "SetLines PreToolChange",
                                        "SetLines ToolChange", "SetLines PostToolChange",
                                        "SetLines PostEngrave"));
}

TEST_F(MachineFileTest, OpenOldReadsTheFourBlocks) {
  const std::string path =
      Put("old.mch", WithCrLf({"[SECTION -- Pre Tool Change]", "G28 U0", "[SECTION -- Tool Change]",
                               "T0303", "[SECTION -- Post Tool Change]",
                               "[SECTION -- Post Engrave]", " M30 "}));
  EngraveSettings loaded = OtherSettings();
  PlainSettingsEditor editor(loaded);
  ReadOldMachineFile(path, editor);
  EngraveSettings expected = OtherSettings();
  expected.PreToolChange = {"G28 U0"};
  expected.ToolChange = {"T0303"};
  expected.PostToolChange = {};
  expected.PostEngrave = {"M30"};
  EXPECT_EQ(loaded, expected);
}

TEST_F(MachineFileTest, PairsAreTakenByPosition) {
  // A file that lacks the pair [TextAngleE]: every later field takes the value of the pair after
  // its own, and [IntegrexHead] takes the first header as its key. A fifth header at the end
  // keeps the count of four sections.
  std::vector<std::string> lines = DefaultLines();
  lines[ValueLine(9)] = "2.5";    // Axis2StartE
  lines[ValueLine(11)] = "-.01";  // PenDownE
  lines[ValueLine(13)] = "40";    // EngraveFeedE
  lines[ValueLine(14)] = "20";    // PlungeFeedE
  lines[ValueLine(15)] = "1";     // InverseTimeE
  lines[ValueLine(16)] = "2";     // Justification
  lines[ValueLine(17)] = "1";     // IntegrexMode
  lines.erase(lines.begin() + 13, lines.begin() + 15);
  lines.insert(lines.begin() + 36, {"1", "G28"});  // the lines of the first block
  lines.push_back("[SECTION -- Extra]");
  EngraveSettings loaded = OtherSettings();
  PlainSettingsEditor editor(loaded);
  ReadMachineFile(Put("shifted.mch", WithCrLf(lines)), editor);
  EXPECT_EQ(loaded.Axis1StartE, "0");
  EXPECT_EQ(loaded.TextAngleE, "Y");
  EXPECT_EQ(loaded.Axis2E, "2.5");
  EXPECT_EQ(loaded.Axis2StartE, "Z");
  EXPECT_EQ(loaded.Axis3E, "-.01");
  EXPECT_EQ(loaded.PenDownE, ".001");
  EXPECT_EQ(loaded.PenUpE, "40");
  EXPECT_EQ(loaded.EngraveFeedE, "20");
  EXPECT_EQ(loaded.PlungeFeedE, "1");
  EXPECT_TRUE(loaded.InverseTimeE);
  EXPECT_EQ(loaded.Justification, 1);
  EXPECT_EQ(loaded.IntegrexMode, 0);
  EXPECT_EQ(loaded.IntegrexHead, 1);
  // "[SECTION -- Tool Change]" is the first header left, so the blocks move up by one; "G28"
  // comes before any header and is dropped.
  EXPECT_TRUE(loaded.PreToolChange.empty());
  EXPECT_TRUE(loaded.ToolChange.empty());
  EXPECT_TRUE(loaded.PostToolChange.empty());
  EXPECT_TRUE(loaded.PostEngrave.empty());
}

TEST_F(MachineFileTest, IndicesAreClampedAndAnyNonZeroTicks) {
  struct Case {
    int pair;
    const char* value;
    std::function<std::int32_t(const EngraveSettings&)> read;
    std::int32_t expected;
  };
  const auto justification = [](const EngraveSettings& s) { return s.Justification; };
  const auto mode = [](const EngraveSettings& s) { return s.IntegrexMode; };
  const auto head = [](const EngraveSettings& s) { return s.IntegrexHead; };
  const auto inverseTime = [](const EngraveSettings& s) { return s.InverseTimeE ? 1 : 0; };
  const Case kCases[] = {
      {16, "7", justification, 2},   {16, "-5", justification, -1}, {16, "-1", justification, -1},
      {16, "+1", justification, 1},  {17, "6", mode, 6},             {17, "99", mode, 6},
      {18, "2", head, 1},            {18, "-2147483648", head, -1},  {15, "2", inverseTime, 1},
      {15, "-1", inverseTime, 1},    {15, "0", inverseTime, 0},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::to_string(c.pair) + ": " + c.value);
    std::vector<std::string> lines = DefaultLines();
    lines[ValueLine(c.pair)] = c.value;
    EngraveSettings loaded = OtherSettings();
    PlainSettingsEditor editor(loaded);
    ReadMachineFile(Put("index.mch", WithCrLf(lines)), editor);
    EXPECT_EQ(c.read(loaded), c.expected);
  }
}

TEST_F(MachineFileTest, ABadIntegerIsRefusedWithItsLineAndKeyAndChangesNothing) {
  struct Case {
    int pair;
    const char* value;
    const char* key;
  };
  const Case kCases[] = {{15, "yes", "[InverseTimeE]"}, {16, "abc", "[Justification]"},
                         {16, "", "[Justification]"},   {17, "1.5", "[IntegrexMode]"},
                         {18, " 1", "[IntegrexHead]"},  {16, "99999999999", "[Justification]"},
                         {15, "nan", "[InverseTimeE]"}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::to_string(c.pair) + ": " + c.value);
    std::vector<std::string> lines = DefaultLines();
    lines[ValueLine(c.pair)] = c.value;
    const std::string path = Put("bad.mch", WithCrLf(lines));
    RecordingEditor editor(OtherSettings());
    EXPECT_THAT([&] { ReadMachineFile(path, editor); },
                ThrowsMessage<Error>("The machine file '" + path + "', line " +
                                     std::to_string(ValueLine(c.pair) + 1) + ", " + c.key + ": '" +
                                     c.value + "' is not a valid integer value"));
    EXPECT_TRUE(editor.calls.empty());
    EXPECT_EQ(editor.settings, OtherSettings());
  }
}

// Each line of the file, a block line for every section, so that a cut can fall anywhere.
std::vector<std::string> FilledLines() {
  std::vector<std::string> lines = DefaultLines();
  lines.insert(lines.begin() + 41, "M30");
  lines.insert(lines.begin() + 40, "M13");
  lines.insert(lines.begin() + 39, {"T1 M06", "M03 S12000"});
  lines.insert(lines.begin() + 38, "G28");
  return lines;
}

TEST_F(MachineFileTest, AFileThatEndsEarlyIsRefusedWithWhereItEndsAndChangesNothing) {
  const std::string header = "The machine file '";
  struct Case {
    const char* name;
    std::string bytes;
    std::string ending;  // the message after the file's name
  };
  const std::string whole = WithCrLf(FilledLines());
  const auto upTo = [&](std::size_t lines) {
    std::vector<std::string> kept = FilledLines();
    kept.resize(lines);
    return WithCrLf(kept);
  };
  const std::string allFour = ": a machine file holds all four block sections, empty ones too";
  const std::string noEnd = ": the line has no line end";
  const Case kCases[] = {
      {"Empty", "", "' is empty"},
      {"OnlyAByteOrderMark", "\xEF\xBB\xBF", "' is empty"},
      {"HeaderAlone", upTo(1), "' ends after line 1, before the key [Height]"},
      {"BeforeAValue", upTo(28), "' ends after line 28, before the value of [PlungeFeedE]"},
      {"BeforeTheLastKey", upTo(35), "' ends after line 35, before the key [IntegrexHead]"},
      {"InsideTheLastValue", upTo(37).substr(0, upTo(37).size() - 2),
       "' ends in the middle of line 37, the value of [IntegrexHead]" + noEnd},
      {"InsideAKey", upTo(27) + "[Plun",
       "' ends in the middle of line 28, the key [PlungeFeedE]" + noEnd},
      {"StrayLineAfterThePairs", upTo(37) + "G28\r\n",
       "' ends after line 38, before the section [SECTION -- Pre Tool Change]" + allFour},
      {"OneSection", upTo(39),
       "' ends after line 39, before the section [SECTION -- Tool Change]" + allFour},
      {"TwoSections", upTo(42),
       "' ends after line 42, before the section [SECTION -- Post Tool Change]" + allFour},
      {"ThreeSections", upTo(44),
       "' ends after line 44, before the section [SECTION -- Post Engrave]" + allFour},
      {"InsideAToolChangeLine", whole.substr(0, whole.find("M03 S12000") + 6),
       "' ends in the middle of line 42, in the section [SECTION -- Tool Change]" + noEnd},
      {"InsideTheLastHeader", upTo(44) + "[SECTION -- Post",
       "' ends in the middle of line 45, the header of the section [SECTION -- Post Engrave]" +
           noEnd},
      // "M30" cut to "M3" would start the spindle at the end of the program.
      {"InsideTheLastLine", whole.substr(0, whole.size() - 3),
       "' ends in the middle of line 46, in the section [SECTION -- Post Engrave]" + noEnd},
      {"BetweenCrAndLf", whole.substr(0, whole.size() - 1),
       "' ends in the middle of line 46, in the section [SECTION -- Post Engrave]" + noEnd},
      {"LastLineWithoutItsLineEndByHand", whole.substr(0, whole.size() - 2),
       "' ends in the middle of line 46, in the section [SECTION -- Post Engrave]" + noEnd},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string path = Put("cut.mch", c.bytes);
    RecordingEditor editor(OtherSettings());
    EXPECT_THAT([&] { ReadMachineFile(path, editor); },
                ThrowsMessage<Error>(header + path + c.ending));
    EXPECT_TRUE(editor.calls.empty());
    EXPECT_EQ(editor.settings, OtherSettings());
  }
}

// Whatever byte a copy stops at, the file does not load, unless what is left is itself a whole
// file: the reduced file of the 37 lines of pairs, or a cut between two lines of the last block,
// which no reader can tell from a shorter block.
TEST_F(MachineFileTest, NoCutOfAWholeFileLoadsExceptAtTheTwoPlacesThatLookWhole) {
  const std::string whole = WithCrLf(FilledLines());
  const std::size_t reducedEnd = WithCrLf(DefaultLines()).find("[SECTION -- Pre Tool Change]");
  const std::size_t lastHeaderEnd = whole.find("[SECTION -- Post Engrave]\r\n") + 27;
  EngraveSettings complete = OtherSettings();
  PlainSettingsEditor completeEditor(complete);
  ParseMachineFile(whole, "whole.mch", completeEditor);
  for (std::size_t size = 0; size < whole.size(); ++size) {
    SCOPED_TRACE(size);
    RecordingEditor editor(OtherSettings());
    const bool loads = [&] {
      try {
        ParseMachineFile(std::string_view(whole).substr(0, size), "cut.mch", editor);
        return true;
      } catch (const Error& error) {
        EXPECT_THAT(error.what(), StartsWith("The machine file 'cut.mch' "));
        return false;
      }
    }();
    const bool atLineEnd = size > 0 && whole[size - 1] == '\n';
    EXPECT_EQ(loads, atLineEnd && (size == reducedEnd || size >= lastHeaderEnd));
    if (!loads) {
      EXPECT_TRUE(editor.calls.empty());
      EXPECT_EQ(editor.settings, OtherSettings());
    } else if (size >= lastHeaderEnd) {
      EXPECT_EQ(editor.settings.ToolChange, complete.ToolChange);
      EXPECT_EQ(editor.settings.PostToolChange, complete.PostToolChange);
    }
  }
}

TEST_F(MachineFileTest, OpenOldLoadsWholeFilesOnly) {
  const std::vector<std::string> old = {"[SECTION -- Pre Tool Change]", "G28",
                                        "[SECTION -- Tool Change]",     "T1 M06",
                                        "[SECTION -- Post Tool Change]", "[SECTION -- Post Engrave]",
                                        "M30"};
  const auto upTo = [&](std::size_t lines) {
    return WithCrLf(std::vector<std::string>(old.begin(), old.begin() + lines));
  };
  const std::string whole = upTo(old.size());
  const struct {
    const char* name;
    std::string bytes;
    std::string ending;
  } kCases[] = {
      {"Empty", "", "' is empty"},
      {"FirstHeaderCut", "[SECTI",
       "' ends in the middle of line 1, the header of the section [SECTION -- Pre Tool Change]: "
       "the line has no line end"},
      {"OneSection", upTo(2),
       "' ends after line 2, before the section [SECTION -- Tool Change]: a machine file "
       "holds all four block sections, empty ones too"},
      {"TwoSections", upTo(4),
       "' ends after line 4, before the section [SECTION -- Post Tool Change]: a machine file "
       "holds all four block sections, empty ones too"},
      {"InsideTheLastLine", whole.substr(0, whole.size() - 3),
       "' ends in the middle of line 7, in the section [SECTION -- Post Engrave]: the line has "
       "no line end"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string path = Put("old.mch", c.bytes);
    RecordingEditor editor(OtherSettings());
    EXPECT_THAT([&] { ReadOldMachineFile(path, editor); },
                ThrowsMessage<Error>("The machine file '" + path + c.ending));
    EXPECT_TRUE(editor.calls.empty());
  }
}

// Lines with no section header at all have always been read as the Pre Tool Change block alone.
TEST_F(MachineFileTest, OpenOldTakesLinesWithoutAnyHeaderAsPreToolChange) {
  RecordingEditor editor(OtherSettings());
  ReadOldMachineFile(Put("lines.mch", "[PreToolChange]\nG90 \n\n M30"), editor);
  EngraveSettings expected = OtherSettings();
  expected.PreToolChange = {"[PreToolChange]", "G90", "", "M30"};
  EXPECT_EQ(editor.settings, expected);
}

// Pairs are taken by position: a program opened by mistake would put its moves into the text
// height, the ratios and the font path, and its first integer-less line at pair 15 would stop
// the load half-way.
TEST_F(MachineFileTest, OpenRefusesAFileThatDoesNotStartWithASectionHeader) {
  std::vector<std::string> program = {"G90", "G00 X0.0000 Y0.0000 Z0.0010"};
  for (int move = 0; move < 40; ++move) {
    program.push_back("G01 X0." + std::to_string(1000 + move) + " Y0.0476 F50.00");
  }
  program.push_back("M30");
  std::vector<std::string> blankFirst = DefaultLines();
  blankFirst.insert(blankFirst.begin(), "");
  std::vector<std::string> indented = DefaultLines();
  indented[0] = " " + indented[0];
  const struct {
    const char* name;
    std::string bytes;
  } kCases[] = {
      {"GCodeProgram", WithCrLf(program)},
      {"BlankFirstLine", WithCrLf(blankFirst)},
      {"IndentedHeader", WithCrLf(indented)},
      {"OneLineNoEnd", "G00 X1"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string path = Put("program.mch", c.bytes);
    RecordingEditor editor(OtherSettings());
    EXPECT_THAT([&] { ReadMachineFile(path, editor); },
                ThrowsMessage<Error>("The file '" + path +
                                     "' is not a machine file: its first line is not a section "
                                     "header"));
    EXPECT_TRUE(editor.calls.empty());
    EXPECT_EQ(editor.settings, OtherSettings());
  }
}

TEST_F(MachineFileTest, AFileThatCannotBeAMachineFileChangesNothing) {
  const std::string longLine(kMaxMachineFileLine + 1, 'x');
  std::vector<std::string> withLongValue = DefaultLines();
  withLongValue[ValueLine(4)] = longLine;
  struct Case {
    const char* name;
    std::string path;
    std::string reason;
  };
  fs::create_directory(Path("folder.mch"));
  fs::create_symlink(Path("gone.mch"), Path("dangling.mch"));
  fs::create_symlink("/dev/null", Path("device.mch"));
  const Case kCases[] = {
      {"Missing", Path("missing.mch"), "No such file or directory"},
      {"Directory", Path("folder.mch"), "Is a directory"},
      {"DanglingLink", Path("dangling.mch"),
       "it is a link to '" + Path("gone.mch") + "', which does not exist"},
      {"Device", Path("device.mch"), "it is not a regular file (a device or a pipe, say)"},
      {"Binary", Put("binary.mch", WithCrLf(DefaultLines()) + std::string("\0\x01\x02", 3)),
       "it holds binary data, not text"},
      {"LongLine", Put("long.mch", WithCrLf(withLongValue)), "line 9 is longer than 65536 characters"},
      {"TooLarge", Put("large.mch", std::string(kMaxMachineFileSize + 1, '\n')),
       "it is larger than 4 MiB, too large for a machine file"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    for (const bool old : {false, true}) {
      RecordingEditor editor(OtherSettings());
      EXPECT_THAT(
          [&] { old ? ReadOldMachineFile(c.path, editor) : ReadMachineFile(c.path, editor); },
          ThrowsMessage<Error>("Cannot read the machine file '" + c.path + "': " + c.reason));
      EXPECT_TRUE(editor.calls.empty());
    }
  }
}

TEST_F(MachineFileTest, AFailedSaveLeavesTheOldFileWhole) {
  const std::string oldBytes = WithCrLf(DefaultLines());
  const std::string target = Put("setup.mch", oldBytes);
  fs::create_directory(Path("folder.mch"));
  const EngraveSettings defaults = DefaultsWithFont();
  EngraveSettings withBreak = DefaultsWithFont();
  withBreak.FontFile = "/fonts/a\nb.fnt";
  EngraveSettings withLongLine = DefaultsWithFont();
  withLongLine.PostEngrave = {std::string(kMaxMachineFileLine + 1, 'M')};
  EngraveSettings tooLarge = DefaultsWithFont();
  tooLarge.ToolChange.assign(kMaxMachineFileSize / 6, "G0 X1");  // 7 bytes a line
  EngraveSettings cyrillicPath = DefaultsWithFont();
  cyrillicPath.FontFile = "/home/\xd0\x94\xd0\xb8\xd0\xbc\xd0\xb0/BasicFont.fnt";  // Дима
  EngraveSettings mathSign = DefaultsWithFont();
  mathSign.PostToolChange = {"(DEPTH \xe2\x89\xa4 0.1)"};  // ≤
  EngraveSettings withNul = DefaultsWithFont();
  withNul.ToolChange = {std::string("M6\0", 3)};
  struct Case {
    const char* name;
    std::string path;
    const EngraveSettings& settings;
    std::string reason;
  };
  const Case kCases[] = {
      {"MissingDirectory", Path("no/such/dir.mch"), defaults, "No such file or directory"},
      {"Directory", Path("folder.mch"), defaults, "Is a directory"},
      {"LineBreakInAValue", target, withBreak,
       "the value of [FontFile] holds a line break, which a machine file cannot store"},
      {"LongBlockLine", target, withLongLine,
       "a line of the block [SECTION -- Post Engrave] is longer than 65536 characters"},
      {"CharacterOutsideTheFontPathsCodePage", target, cyrillicPath,
       "the value of [FontFile] holds the character '\xd0\x94', which a machine file cannot "
       "store"},
      {"CharacterOutsideABlocksCodePage", target, mathSign,
       "a line of the block [SECTION -- Post Tool Change] holds the character '\xe2\x89\xa4', "
       "which a machine file cannot store"},
      {"NulInABlockLine", target, withNul,
       "a line of the block [SECTION -- Tool Change] holds a NUL character, which a machine "
       "file cannot store"},
      {"TooLarge", target, tooLarge,
       "the set-up takes more than 4 MiB, more than a machine file may hold"},
  };
  const std::set<std::string> entries = Entries();
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_THAT([&] { WriteMachineFile(c.path, c.settings); },
                ThrowsMessage<Error>("Cannot save the machine file '" + c.path + "': " + c.reason));
    EXPECT_EQ(Bytes(target), oldBytes);
    EXPECT_EQ(Entries(), entries);
  }
}

// Makes every write beyond `bytes` fail, as a full disk would.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &m_saved);
    m_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = m_saved;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_handler);
  }

 private:
  rlimit m_saved{};
  void (*m_handler)(int) = nullptr;
};

TEST_F(MachineFileTest, AWriteThatFailsHalfWayLeavesTheOldFileWhole) {
  const std::string oldBytes = WithCrLf(DefaultLines());
  const std::string target = Put("setup.mch", oldBytes);
  EngraveSettings settings = DefaultsWithFont();
  settings.PostEngrave.assign(100, "G0 X1 Y1");
  const std::set<std::string> entries = Entries();
  {
    const FileSizeLimit limit(256);
    EXPECT_THAT([&] { WriteMachineFile(target, settings); },
                ThrowsMessage<Error>("Cannot save the machine file '" + target +
                                     "': File too large"));
  }
  EXPECT_EQ(Bytes(target), oldBytes);
  EXPECT_EQ(Entries(), entries);
}

TEST_F(MachineFileTest, WriteProtectionRefusesTheSave) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes through write protection";
  const std::string oldBytes = WithCrLf(DefaultLines());
  const std::string target = Put("setup.mch", oldBytes);
  const std::string locked = Put("locked.mch", oldBytes);
  fs::permissions(locked, fs::perms::owner_read);
  EXPECT_THAT([&] { WriteMachineFile(locked, OtherSettings()); },
              ThrowsMessage<Error>("Cannot save the machine file '" + locked +
                                   "': Permission denied"));
  fs::permissions(m_dir, fs::perms::owner_read | fs::perms::owner_exec);
  EXPECT_THAT([&] { WriteMachineFile(target, OtherSettings()); },
              ThrowsMessage<Error>("Cannot save the machine file '" + target +
                                   "': Permission denied"));
  fs::permissions(m_dir, fs::perms::owner_all);
  EXPECT_EQ(Bytes(target), oldBytes);
  EXPECT_EQ(Bytes(locked), oldBytes);
  EXPECT_EQ(Entries(), (std::set<std::string>{"locked.mch", "setup.mch"}));
}

TEST_F(MachineFileTest, SavingReplacesTheFileBehindItsNameAndLink) {
  const std::string target = Put("setup.mch", "old");
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::create_symlink(target, Path("link.mch"));
  const EngraveSettings settings = DefaultsWithFont();
  WriteMachineFile(Path("link.mch"), settings);
  EXPECT_TRUE(fs::is_symlink(Path("link.mch")));
  EXPECT_EQ(Bytes(target), WithCrLf(DefaultLines()));
  EXPECT_EQ(fs::status(target).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  EXPECT_EQ(Entries(), (std::set<std::string>{"link.mch", "setup.mch"}));
}

TEST_F(MachineFileTest, TestButtonsWriteAndReadTheTextParametersAlone) {
  EngraveSettings settings = DefaultsWithFont();
  settings.TextHeightE = ".25";
  settings.IntegrexMode = 3;
  settings.PostEngrave = {"M30"};  // not part of the reduced file
  WriteTextParameters(m_dir.string(), "test.txt", settings);
  WriteTextParameters(m_dir.string() + "/", "again.txt", settings);
  std::vector<std::string> lines = DefaultLines();
  lines.resize(37);
  lines[ValueLine(1)] = ".25";
  lines[ValueLine(17)] = "3";
  EXPECT_EQ(Bytes(Path("test.txt")), WithCrLf(lines));
  EXPECT_EQ(Bytes(Path("again.txt")), WithCrLf(lines));

  RecordingEditor editor(OtherSettings());
  ReadMachineFile(Path("test.txt"), editor);
  EngraveSettings expected = DefaultsWithFont();
  expected.TextHeightE = ".25";
  expected.IntegrexMode = 3;
  expected.ToolChange = {"old tool"};
  expected.PostToolChange = {"old post tool"};
  expected.PostEngrave = {"old post engrave"};
  EXPECT_EQ(editor.settings, expected);
  EXPECT_THAT(editor.calls, testing::Contains("LoadFontFile"));
}

TEST(ResetMachineBlocks, EmptiesTheFourBlocksInOrderAndNothingElse) {
  RecordingEditor editor(OtherSettings());
  ResetMachineBlocks(editor);
  EngraveSettings expected = OtherSettings();
  expected.PreToolChange.clear();
  expected.ToolChange.clear();
  expected.PostToolChange.clear();
  expected.PostEngrave.clear();
  EXPECT_EQ(editor.settings, expected);
  EXPECT_THAT(editor.calls, ElementsAre("SetLines PreToolChange", "SetLines ToolChange",
                                        "SetLines PostToolChange", "SetLines PostEngrave"));
}

}  // namespace
}  // namespace stylor

namespace stylor {
namespace {

TEST(MachineFilePipes, APipeIsRefusedWithoutWaitingAndIsNotReplacedBySaving) {
  const fs::path dir = fs::temp_directory_path() / ("stylor-mch-pipe-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string pipe = (dir / "setup.mch").string();
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  EngraveSettings settings;
  PlainSettingsEditor editor(settings);
  EXPECT_THAT([&] { ReadMachineFile(pipe, editor); },
              ThrowsMessage<Error>(HasSubstr("not a regular file")));
  EXPECT_THAT([&] { ReadOldMachineFile(pipe, editor); },
              ThrowsMessage<Error>(HasSubstr("not a regular file")));
  EXPECT_THAT([&] { WriteMachineFile(pipe, settings); },
              ThrowsMessage<Error>(HasSubstr("not a regular file")));
  EXPECT_TRUE(fs::is_fifo(pipe));
  EXPECT_EQ(settings, EngraveSettings{});
  fs::remove_all(dir);
}

}  // namespace
}  // namespace stylor
