#include "engrave/layouts/batch.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engrave/job_plan.h"
#include "engrave/layouts/arc.h"
#include "engrave/layouts/ellipse.h"
#include "engrave/layouts/free_form.h"
#include "engrave/program_store.h"
#include "settings/error.h"
#include "support/font_text.h"
#include "support/job_host_double.h"

namespace stylor {
namespace {

using test::FakeJobHost;
using testing::ElementsAreArray;
using testing::HasSubstr;
using testing::IsEmpty;
using testing::ThrowsMessage;

// Capitals, digits, a space and a hyphen; each glyph ends its stroke at a height of its own, so
// the moves tell the characters apart.
std::string PlateFont() {
  std::string text;
  const std::string characters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-";
  for (std::size_t k = 0; k < characters.size(); ++k) {
    text += "SYM ";
    text += characters[k];
    text += "\nG00 X0 Y0\nG01 Z-1\nG01 X0.5 Y0." + std::to_string(10 + k) + "\nG00 Z1\n";
  }
  return text + "SYM  \nG00 X0.5 Y0\n";
}

const char* const kPlates = "Name,Serial,Tag\nPUMP,101,p1\n\"VALVE A\",7,v-7\nFAN,\"2\n3\",f\n";

EngraveSettings Typed() {
  EngraveSettings settings;
  settings.TextHeightE = "0.25";
  settings.AEdit = "40";
  settings.BEdit = "20";
  settings.RadiusE = "3";
  settings.PreToolChange = {"(PLATE {Row} OF {Rows})", "T1 M06"};
  settings.PostEngrave = {"(DONE {Name})", "M30"};
  return settings;
}

// The layouts' own jobs, run on settings typed by hand.
void RunPlainJob(BatchLayout layout, const EngraveSettings& settings, const StrokeFont& font,
                 JobHost& host) {
  if (layout == BatchLayout::FreeFormText) EngraveFreeFormText(settings, font, host);
  if (layout == BatchLayout::CircleText) CreateArc(settings, font, host);
  if (layout == BatchLayout::EllipseText) CreateEllipse(settings, font, host);
}

struct HandFilledRow {
  Lines freeForm;
  const char* oneLine;  // the circle and ellipse text, whose table has the serial 23 on row 3
  Lines start;
  Lines end;
};

class BatchTest : public testing::Test {
 protected:
  std::unique_ptr<StrokeFont> m_font = test::FontFromText(PlateFont());
  DataTable m_table = ReadDataTable(kPlates, DataFormat::Csv);
};

TEST_F(BatchTest, ManyFilesEachRowIsTheJobTypedByHand) {
  const HandFilledRow kRows[] = {
      {{"TAG PUMP", "NO 101-1"}, "PUMP 101", {"(PLATE 1 OF 3)", "T1 M06"}, {"(DONE PUMP)", "M30"}},
      {{"TAG VALVE A", "NO 7-2"}, "VALVE A 7", {"(PLATE 2 OF 3)", "T1 M06"},
       {"(DONE VALVE A)", "M30"}},
      {{"TAG FAN", "NO 2", "3-3"}, "FAN 23", {"(PLATE 3 OF 3)", "T1 M06"}, {"(DONE FAN)", "M30"}},
  };
  for (const BatchLayout layout :
       {BatchLayout::FreeFormText, BatchLayout::CircleText, BatchLayout::EllipseText}) {
    SCOPED_TRACE(BatchLayoutCaption(layout));
    EngraveSettings settings = Typed();
    settings.Files = 1;
    settings.FilePrefix = "P";
    settings.FreeFormTextE = {"TAG {Name}", "NO {Serial}-{Row}"};
    settings.ArcTextE = settings.EllipseTextE = "{Name} {Serial}";
    // The third row's serial holds a line break: only free-form text can take it.
    DataTable table = m_table;
    if (layout != BatchLayout::FreeFormText) {
      table = ReadDataTable("Name,Serial,Tag\nPUMP,101,p1\n\"VALVE A\",7,v-7\nFAN,23,f\n",
                            DataFormat::Csv);
    }
    FakeJobHost batch("/out/x.eia");
    GenerateBatch(settings, table, layout, *m_font, batch);
    ASSERT_EQ(batch.store.Files().size(), table.Rows());
    for (std::size_t row = 0; row < table.Rows(); ++row) {
      SCOPED_TRACE(row);
      EngraveSettings byHand = settings;
      byHand.Files = 0;
      byHand.FreeFormTextE = kRows[row].freeForm;
      byHand.ArcTextE = byHand.EllipseTextE = kRows[row].oneLine;
      byHand.PreToolChange = kRows[row].start;
      byHand.PostEngrave = kRows[row].end;
      FakeJobHost plain;
      RunPlainJob(layout, byHand, *m_font, plain);
      ASSERT_THAT(plain.messages, IsEmpty());
      EXPECT_EQ(batch.store.Bytes("/out/P" + std::to_string(row + 1) + ".eia"),
                plain.store.Bytes("job.eia"));
    }
  }
}

// A row of thousands of lines is measured by its first lines only, and the estimate still comes
// close to the bytes written (the lines further down the part take a digit more in Y).
TEST_F(BatchTest, TheSizeOfALongRowComesFromItsFirstLines) {
  std::string value;
  for (int k = 0; k < 6000; ++k) value += (k % 3 == 0 ? "PUMP " : "FAN ") + std::to_string(k) + "\n";
  const DataTable table = ReadDataTable("Name\n\"" + value + "\"\nVALVE\n", DataFormat::Csv);
  EngraveSettings settings = Typed();
  settings.FreeFormTextE = {"{Name}"};
  settings.PostEngrave = {"M30"};  // a value with line breaks goes into no G-code line
  const std::optional<SizeEstimate> size =
      PlanBatch(settings, table, BatchLayout::FreeFormText, *m_font)->Size();
  ASSERT_TRUE(size.has_value());
  FakeJobHost batch;
  GenerateBatch(settings, table, BatchLayout::FreeFormText, *m_font, batch);
  const double written = static_cast<double>(batch.store.Bytes("job.eia").size());
  EXPECT_NEAR(static_cast<double>(size->bytes), written, written * 0.1);
}

TEST_F(BatchTest, OneFileWrapsEachRowInItsLinesBetweenOneStartAndOneEndBlock) {
  EngraveSettings settings = Typed();
  settings.FreeFormTextE = {"{Name}"};
  settings.SeqPreGCodes = {"(ROW {Row} {Tag})"};
  settings.SeqPostGCodes = {"M00", "({Name})"};
  FakeJobHost batch;
  GenerateBatch(settings, m_table, BatchLayout::FreeFormText, *m_font, batch);

  std::string expected = "(PLATE 1 OF 3)\r\nT1 M06\r\n";
  const char* const kRowLines[][3] = {{"(ROW 1 p1)", "PUMP", "(PUMP)"},
                                      {"(ROW 2 v-7)", "VALVE A", "(VALVE A)"},
                                      {"(ROW 3 f)", "FAN", "(FAN)"}};
  for (std::size_t row = 0; row < 3; ++row) {
    EngraveSettings moves;
    moves.TextHeightE = settings.TextHeightE;
    moves.FreeFormTextE = {kRowLines[row][1]};
    FakeJobHost plain;
    EngraveFreeFormText(moves, *m_font, plain);
    expected += std::string(kRowLines[row][0]) + "\r\n" + plain.store.Bytes("job.eia") +
                "M00\r\n" + kRowLines[row][2] + "\r\n";
  }
  expected += "(DONE FAN)\r\nM30\r\n";
  EXPECT_EQ(batch.store.Bytes("job.eia"), expected);
  EXPECT_EQ(batch.dialogs, 1);
}

TEST_F(BatchTest, ManyFilesNamesPadTheRowNumberOrTakeTheNameColumn) {
  struct NameCase {
    const char* name;
    std::size_t rows;
    const char* prefix;
    const char* nameColumn;
    std::vector<std::string> firstAndLast;
  };
  const NameCase kCases[] = {
      {"ThreeRows", 3, "P", "", {"P1.eia", "P3.eia"}},
      {"TwoHundredFiftyRows", 250, "P", "", {"P001.eia", "P250.eia"}},
      {"TenRows", 10, "", "", {"01.eia", "10.eia"}},
      {"ByColumn", 3, "SN-", "Tag", {"SN-t1.eia", "SN-t3.eia"}},
  };
  for (const NameCase& c : kCases) {
    SCOPED_TRACE(c.name);
    std::string bytes = "Tag\n";
    for (std::size_t row = 1; row <= c.rows; ++row) bytes += "t" + std::to_string(row) + "\n";
    const DataTable table = ReadDataTable(bytes, DataFormat::Csv);
    EngraveSettings settings;
    settings.Files = 1;
    settings.FilePrefix = c.prefix;
    settings.BatchNameColumn = c.nameColumn;
    const std::vector<std::string> names =
        BatchFileNames(PrepareBatchJob(settings, table, BatchLayout::FreeFormText));
    ASSERT_EQ(names.size(), c.rows);
    EXPECT_EQ(names.front(), c.firstAndLast[0]);
    EXPECT_EQ(names.back(), c.firstAndLast[1]);
  }
}

struct RefusalCase {
  const char* name;
  const char* rows;
  void (*change)(EngraveSettings&);
  const char* message;
};

const RefusalCase kRefusals[] = {
    {"UnknownInText", "Name\nA\n", [](EngraveSettings& s) { s.FreeFormTextE = {"{Name}", "{Nmae}"}; },
     "Row 1: the placeholder {Nmae} in FreeFormTextE names no column"},
    {"UnknownInBlock", "Name\nA\n", [](EngraveSettings& s) { s.ToolChange = {"T{Tool}"}; },
     "Row 1: the placeholder {Tool} in ToolChange"},
    {"UnknownInRowLines", "Name\nA\n", [](EngraveSettings& s) { s.SeqPostGCodes = {"{row}"}; },
     "placeholder {row} in SeqPostGCodes"},
    {"EmptyPlaceholder", "Name\nA\n", [](EngraveSettings& s) { s.FreeFormTextE = {"{}"}; },
     "placeholder {}"},
    {"NoRows", "Name\n", [](EngraveSettings&) {}, "Nothing to engrave: the data file holds no rows"},
    {"UnknownNameColumn", "Name\nA\n",
     [](EngraveSettings& s) { s.Files = 1, s.BatchNameColumn = "Serial"; },
     "The BatchNameColumn 'Serial' names no column"},
    {"EmptyName", "Name\nA\n\"\"\n", [](EngraveSettings& s) { s.Files = 1, s.BatchNameColumn = "Name"; },
     "Row 2: the file name column 'Name' is empty"},
    {"SeparatorInName", "Name\nA\nb/c\n",
     [](EngraveSettings& s) { s.Files = 1, s.BatchNameColumn = "Name"; }, "Row 2: the file name 'b/c'"},
    {"LineBreakInName", "Name\n\"a\nb\"\n",
     [](EngraveSettings& s) { s.Files = 1, s.BatchNameColumn = "Name"; }, "control character"},
    {"SameNameTwice", "Name\nA\nB\na\n",
     [](EngraveSettings& s) { s.Files = 1, s.BatchNameColumn = "Name"; },
     "Row 3: the file name 'a.eia' is already that of Row 1"},
    {"FolderInPrefix", "Name\nA\n", [](EngraveSettings& s) { s.Files = 1, s.FilePrefix = "d/P"; },
     "must not hold a folder"},
    {"FieldDoesNotConvert", "Name\nA\n", [](EngraveSettings& s) { s.TextHeightE = "tall"; },
     "'tall'"},
    // A value in a G-code line must not end its comment or start a line of its own; the row
    // at fault may be the last one.
    {"ValueClosesTheComment", "Name,Serial\nA,1\nB,\"1) G00 Z-5. (\"\n",
     [](EngraveSettings& s) { s.SeqPreGCodes = {"(SERIAL {Serial})"}; },
     "Row 2: the value of column 'Serial' holds ')', and it is filled into SeqPreGCodes"},
    {"ValueOpensAComment", "Name,Serial\nA,(\n",
     [](EngraveSettings& s) { s.SeqPostGCodes = {"{Serial}"}; }, "holds '('"},
    {"ValueStartsAProgramLine", "Name,Serial\nA,1\nB,\"1\nG00 Z-5.\"\nC,3\n",
     [](EngraveSettings& s) { s.ToolChange = {"(SERIAL {Serial})"}; },
     "Row 2: the value of column 'Serial' holds a line break, and it is filled into ToolChange"},
    {"ValueWithACarriageReturn", "Name,Serial\nA,\"1\r2\"\n",
     [](EngraveSettings& s) { s.PostEngrave = {"({Serial})"}; }, "holds a line break"},
    {"ValueWithASemicolon", "Name,Serial\nA,1;G00\n",
     [](EngraveSettings& s) { s.PreToolChange = {"({Serial})"}; }, "holds ';'"},
    {"ValueWithAPercent", "Name,Serial\nA,%\n",
     [](EngraveSettings& s) { s.PostToolChange = {"({Serial})"}; }, "holds '%'"},
    {"ValueWithEscape", "Name,Serial\nA,a\x1b[2J\n",
     [](EngraveSettings& s) { s.PostEngrave = {"({Serial})"}; }, "holds ESC (code 27)"},
    {"ValueWithAC1Control", "Name,Serial\nA,a\xc2\x85\n",
     [](EngraveSettings& s) { s.PostEngrave = {"({Serial})"}; }, "holds the control character U+0085"},
    {"ValueInTheBlocksOfManyFiles", "Name,Serial\nA,1\nB,)\n",
     [](EngraveSettings& s) { s.Files = 1, s.PreToolChange = {"({Serial})"}; },
     "Row 2: the value of column 'Serial' holds ')', and it is filled into PreToolChange"},
    {"LineBreakInPrefix", "Name\nA\n", [](EngraveSettings& s) { s.Files = 1, s.FilePrefix = "P\n"; },
     "The File Name Prefix (FilePrefix) holds a line break"},
};

class BatchRefusalTest : public testing::TestWithParam<RefusalCase> {};

TEST_P(BatchRefusalTest, RefusesBeforeAskingForAFile) {
  auto font = test::FontFromText(PlateFont());
  const DataTable table = ReadDataTable(GetParam().rows, DataFormat::Csv);
  EngraveSettings settings;
  settings.FreeFormTextE = {"{Name}"};
  GetParam().change(settings);
  FakeJobHost host;
  EXPECT_THAT([&] { GenerateBatch(settings, table, BatchLayout::FreeFormText, *font, host); },
              ThrowsMessage<Error>(HasSubstr(GetParam().message)));
  EXPECT_EQ(host.dialogs, 0);
  EXPECT_THAT(host.store.Files(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Cases, BatchRefusalTest, testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(BatchTest, OneLineTextsRefuseAValueWithALineBreak) {
  for (const BatchLayout layout : {BatchLayout::CircleText, BatchLayout::EllipseText}) {
    EngraveSettings settings = Typed();
    settings.ArcTextE = settings.EllipseTextE = "{Serial}";
    FakeJobHost host;
    EXPECT_THAT([&] { GenerateBatch(settings, m_table, layout, *m_font, host); },
                ThrowsMessage<Error>(HasSubstr("Row 3: the value of 'Serial' holds a line break")));
    EXPECT_EQ(host.dialogs, 0);
  }
}

TEST_F(BatchTest, ACodeBesideCircleOrEllipseRowsIsRefusedNotLost) {
  for (const BatchLayout layout : {BatchLayout::CircleText, BatchLayout::EllipseText}) {
    EngraveSettings settings = Typed();
    settings.ArcTextE = settings.EllipseTextE = "{Name}";
    settings.CodeKind = 1;
    settings.CodeText = "{Name}";
    FakeJobHost host;
    EXPECT_THAT([&] { GenerateBatch(settings, m_table, layout, *m_font, host); },
                ThrowsMessage<Error>(HasSubstr("Free Form Text only, not of " +
                                               std::string(BatchLayoutCaption(layout)))));
    EXPECT_EQ(host.dialogs, 0);
  }
}

TEST_F(BatchTest, ARowTheEllipseRefusesLeavesEveryFileAsItWas) {
  const DataTable table =
      ReadDataTable("Name\nA\n" + std::string(200, 'A') + "\n", DataFormat::Csv);
  for (const int files : {0, 1}) {
    EngraveSettings settings = Typed();
    settings.AEdit = "4", settings.BEdit = "2";
    settings.EllipseTextE = "{Name}";
    settings.Files = files;
    FakeJobHost host("/out/x.eia");
    EXPECT_THAT(
        [&] { GenerateBatch(settings, table, BatchLayout::EllipseText, *m_font, host); },
        ThrowsMessage<Error>(HasSubstr("Row 2: Text is too long to fit around ellipse")));
    EXPECT_THAT(host.store.Files(), IsEmpty());
  }
}

TEST_F(BatchTest, ValuesAGCodeLineRefusesAreEngravedAndLinesOfManyFilesAreNotFilled) {
  // In the engraved text every line a value makes is a move; the lines around each row are not
  // written by Many Files, so their values are not checked there.
  const DataTable table = ReadDataTable("Name,Serial\nA,\"1) G00 Z-5. (\nB;%\"\n", DataFormat::Csv);
  for (const int files : {0, 1}) {
    EngraveSettings settings;
    settings.FreeFormTextE = {"{Serial}"};
    settings.Files = files;
    settings.FilePrefix = "P";
    settings.SeqPreGCodes = {files == 0 ? "(NAME {Name})" : "(SERIAL {Serial})"};
    FakeJobHost host("/out/x.eia");
    GenerateBatch(settings, table, BatchLayout::FreeFormText, *m_font, host);
    ASSERT_FALSE(host.store.Files().empty());
    for (const auto& [name, bytes] : host.store.Files()) {
      SCOPED_TRACE(name);
      EXPECT_EQ(bytes.find("Z-5"), std::string::npos);
      EXPECT_EQ(bytes.find("(SERIAL"), std::string::npos);
    }
  }
}

TEST_F(BatchTest, FillKeepsBracesThatOpenNoPlaceholder) {
  EngraveSettings settings;
  settings.FreeFormTextE = {"{ {Name}", "a{b{Row}}", "{Name", "}{Rows}{"};
  const BatchJob job = PrepareBatchJob(settings, m_table, BatchLayout::FreeFormText);
  EngraveSettings filled = settings;
  FillBatchRow(job, 1, filled);
  EXPECT_THAT(filled.FreeFormTextE, ElementsAreArray({"{ VALVE A", "a{b2}", "{Name", "}3{"}));
}

}  // namespace
}  // namespace stylor
