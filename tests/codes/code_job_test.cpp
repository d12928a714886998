#include "engrave/codes/code_job.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "engrave/layouts/batch.h"
#include "engrave/layouts/free_form.h"
#include "engrave/layouts/sequence.h"
#include "engrave/program_store.h"
#include "settings/data_file.h"
#include "settings/engrave_settings.h"
#include "settings/error.h"
#include "support/font_text.h"

namespace stylor {
namespace {

using testing::HasSubstr;

EngraveSettings WithCode() {
  EngraveSettings s;
  s.FreeFormTextE = {"L"};
  s.CodeKind = 1;
  s.CodeText = "SN-8";
  s.CodeModuleE = "0.5";
  s.ToolDiameterE = "0.5";
  s.CodeXE = "10";
  return s;
}

std::string FreeFormBody(const EngraveSettings& s) {
  const auto font = test::FontFromText(test::kLetterLFont);
  MemorySink sink;
  WriteFreeFormBody(PrepareFreeFormJob(s), *font, sink);
  return sink.Bytes();
}

std::size_t Count(const std::string& text, std::string_view what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(CodeJob, NoCodeLeavesTheFreeFormProgramAsItWas) {
  EngraveSettings s = WithCode();
  s.CodeKind = 0;
  s.CodeText = "anything";
  EngraveSettings plain;
  plain.FreeFormTextE = {"L"};
  EXPECT_EQ(FreeFormBody(s), FreeFormBody(plain));
}

TEST(CodeJob, DotsPlungeOncePerDarkModuleWithTheirDwell) {
  EngraveSettings s = WithCode();
  s.CodeStyle = 0;
  s.CodeDwellE = "0.25";
  CodeRequest request{CodeSymbology::DataMatrix, "SN-8", false, "", false, 1};
  const ModuleMatrix matrix = EncodeCode(request);
  const auto dark = static_cast<std::size_t>(std::count(matrix.dark.begin(), matrix.dark.end(), 1));
  const std::string body = FreeFormBody(s);
  EXPECT_EQ(Count(body, "G04 P0.25\r\n"), dark);
  const std::string text = FreeFormBody([&] { auto t = s; t.CodeKind = 0; return t; }());
  EXPECT_EQ(body.substr(0, text.size()), text) << "the code follows the text";
  s.CodeDwellE = "0";
  EXPECT_EQ(Count(FreeFormBody(s), "G04"), 0u);
}

TEST(CodeJob, EachNumberOfASequenceGetsTheCodeOfItsSerial) {
  EngraveSettings s = WithCode();
  s.SeqStart = "7";
  s.SeqEnd = "8";
  s.SeqPrefix = "SN-";
  s.CodeText = "{Serial}";
  const auto font = test::FontFromText(test::kLetterLFont);
  const SequenceJob run = PrepareSequenceJob(s);
  SequenceWriter writer(run, *font);
  MemorySink sink;
  writer.WriteNumber(1, sink);
  // The same code as the free-form job cuts for the text typed by hand.
  EngraveSettings typed = WithCode();
  typed.CodeText = "SN-8";
  const std::string code = FreeFormBody(typed).substr(FreeFormBody([&] { auto t = typed; t.CodeKind = 0; return t; }()).size());
  EXPECT_THAT(sink.Bytes(), HasSubstr(code));
}

TEST(CodeJob, EachRowOfABatchGetsTheCodeOfItsValues) {
  EngraveSettings s = WithCode();
  s.FreeFormTextE = {"{Tag}"};
  s.CodeText = "TAG {Tag}";
  const std::string rows = "Tag\nV-101\nV-102\n";
  const DataTable table = ReadDataTable(rows, DetectDataFormat("rows.csv", rows));
  const BatchJob job = PrepareBatchJob(s, table, BatchLayout::FreeFormText);
  EngraveSettings filled = s;
  FillBatchRow(job, 1, filled);
  EXPECT_EQ(filled.CodeText, "TAG V-102");
}

TEST(CodeJob, RefusesBeforeAnyFileIsAsked) {
  struct Case {
    const char* name;
    void (*change)(EngraveSettings&);
    const char* message;
  };
  const Case cases[] = {
      {"ToolWiderThanTheModule", [](EngraveSettings& s) { s.ToolDiameterE = "0.6"; },
       "The module size (CodeModuleE) 0.5 is smaller than the tool can make: the tool diameter "
       "(ToolDiameterE) is 0.6"},
      {"QuietZoneBelowTheStandard", [](EngraveSettings& s) { s.CodeKind = 2; s.CodeQuietE = "2"; },
       "less than QR asks for: at least 4"},
      {"ContentTooLong", [](EngraveSettings& s) { s.CodeText = std::string(4000, 'x'); },
       "longer than the largest Data Matrix symbol holds"},
      {"ModuleNotANumber", [](EngraveSettings& s) { s.CodeModuleE = "big"; }, "'big'"},
      {"NegativeDwell", [](EngraveSettings& s) { s.CodeDwellE = "-1"; }, "(CodeDwellE) must be 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EngraveSettings s = WithCode();
    c.change(s);
    EXPECT_THAT([&] { PrepareFreeFormJob(s); }, testing::ThrowsMessage<Error>(HasSubstr(c.message)));
  }
}

TEST(CodeJob, RotaryPositionsAreDegreesOnTheCylinder) {
  EngraveSettings s = WithCode();
  s.Axis1E = "A";
  s.Axis2E = "X";
  s.PenDownE = "10";
  s.PenUpE = "11";
  s.CodeXE = "90";
  const std::string body = FreeFormBody(s);
  const std::string text = FreeFormBody([&] { auto t = s; t.CodeKind = 0; return t; }());
  const std::string code = body.substr(text.size());
  // The corner at 90 degrees, the first module half a module further round: 90 + 0.25 / (2 pi
  // 10) x 360 degrees.
  EXPECT_THAT(code, HasSubstr("A91.4324"));
  EXPECT_THAT(code, testing::Not(HasSubstr("Y")));
}

}  // namespace
}  // namespace stylor
