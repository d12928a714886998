#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include "settings/marking/marking_run.h"
#include "support/form_host_double.h"
#include "support/temp_folder.h"
#include "ui/model/engrave_form_model.h"

namespace stylor {
namespace {

using S = EngraveSettings;
using testing::HasSubstr;

struct JobCase {
  const char* name;
  void (EngraveFormModel::*click)();
  std::function<void(EngraveFormModel&)> withPlaceholders;
  std::function<void(EngraveFormModel&)> typedByHand;
};

// The blocks every case writes, so that the G-code side of the filling is compared too.
void SetBlocks(EngraveFormModel& m, bool placeholders) {
  m.SetLines(&S::PreToolChange, {placeholders ? "(LOT {Date:yyMMdd}-{Shift})" : "(LOT 261211-B)"});
  m.SetLines(&S::ToolChange, {placeholders ? "#100={Counter:SN}" : "#100=0042", "T1 M6"});
  m.SetLines(&S::PostEngrave, {placeholders ? "(WEEK {Date:YYYY-ww} {{}})" : "(WEEK 2026-50 {})"});
  m.SetLines(&S::SeqPreGCodes, {placeholders ? "(J{Date:J})" : "(J3456)"});
  m.SetLines(&S::SeqPostGCodes, {placeholders ? "M0 ({Shift})" : "M0 (B)"});
}

class MarkingModelTest : public testing::Test {
 protected:
  // Runs one job and returns every program it wrote, by name.
  std::map<std::string, std::string> Run(const JobCase& c, bool placeholders) {
    test::FakeFormHost host;
    EngraveFormModel model(host);
    model.FormActivate(m_dir.Path().string());
    model.SetMarkingInstant(ReadCivilTime("2026-12-11T14:05:00"));
    model.SetText(&S::ShiftTable, "A 06:00, B 14:00, C 22:00");
    model.SetState(&S::FillPlaceholders, placeholders);
    SetBlocks(model, placeholders);
    (placeholders ? c.withPlaceholders : c.typedByHand)(model);
    (model.*c.click)();
    EXPECT_THAT(host.errors, testing::IsEmpty());
    return host.store.Files();
  }
  void SetCounter(std::int64_t next) {
    MarkingSetup setup;
    setup.counterPath = m_dir.File("stylor-counters.csv");
    Counter sn = NewCounter("SN", next);
    sn.width = 4;
    std::ofstream(setup.counterPath, std::ios::binary) << FormatCounterFile({sn});
  }
  std::int64_t Next() {
    MarkingSetup setup;
    setup.counterPath = m_dir.File("stylor-counters.csv");
    setup.now = ReadCivilTime("2026-12-11T14:05:00");
    return NextCounterValue(setup, "SN");
  }

  test::TempFolder m_dir;
};

TEST_F(MarkingModelTest, PlaceholdersGiveTheBytesOfTheTextTypedByHand) {
  const JobCase cases[] = {
      {"FreeForm", &EngraveFormModel::EngraveTextClick,
       [](EngraveFormModel& m) { m.SetLines(&S::FreeFormTextE, {"PN-{Date:yyMMdd}-{Shift}-{Counter:SN}", "{Date:L}{Date:jjj}"}); },
       [](EngraveFormModel& m) { m.SetLines(&S::FreeFormTextE, {"PN-261211-B-0042", "V345"}); }},
      {"Circle", &EngraveFormModel::CreateArcClick,
       [](EngraveFormModel& m) { m.SetText(&S::ArcTextE, "SN {Counter:SN} {Date:HH:mm}"); },
       [](EngraveFormModel& m) { m.SetText(&S::ArcTextE, "SN 0042 14:05"); }},
      {"Ellipse", &EngraveFormModel::CreateEllipseClick,
       [](EngraveFormModel& m) { m.SetText(&S::EllipseTextE, "{Date:dd.MM.yyyy}/{Counter:SN}"); },
       [](EngraveFormModel& m) { m.SetText(&S::EllipseTextE, "11.12.2026/0042"); }},
      {"SequenceOneFile", &EngraveFormModel::GenerateSequencesClick,
       [](EngraveFormModel& m) {
         m.SetText(&S::SeqPrefix, "{Date:yyww}-{Counter:SN}-");
         m.SetText(&S::SeqPostfix, "{Shift}");
       },
       [](EngraveFormModel& m) {
         m.SetText(&S::SeqPrefix, "2650-0042-");
         m.SetText(&S::SeqPostfix, "B");
       }},
      {"SequenceManyFiles", &EngraveFormModel::GenerateSequencesClick,
       [](EngraveFormModel& m) {
         m.SetIndex(&S::Files, 1);
         m.SetText(&S::FilePrefix, "P");
         m.SetText(&S::SeqPrefix, "{Counter:SN}/");
       },
       [](EngraveFormModel& m) {
         m.SetIndex(&S::Files, 1);
         m.SetText(&S::FilePrefix, "P");
         m.SetText(&S::SeqPrefix, "0042/");
       }},
  };
  for (const JobCase& c : cases) {
    SCOPED_TRACE(c.name);
    SetCounter(42);
    const auto filled = Run(c, true);
    EXPECT_EQ(Next(), 43) << "the job handed out its number";
    const auto typed = Run(c, false);
    ASSERT_FALSE(typed.empty());
    EXPECT_EQ(filled, typed);
  }
}

// A batch gives each row its own number: the same bytes as a data file that holds the numbers in
// a column of their own.
TEST_F(MarkingModelTest, EachBatchRowTakesItsOwnNumberBesideItsColumns) {
  const std::string rows = m_dir.Write("rows.csv", "Name,SN\r\nPUMP,0042\r\nVALVE,0043\r\nSHAFT,0044\r\n");
  for (const int files : {0, 1}) {
    SCOPED_TRACE(files == 0 ? "One File" : "Many Files");
    // Without codes a batch reads every "{...}" as a column, so the typed blocks hold none.
    const auto batch = [&](const char* text, const char* toolChange, const char* postEngrave) {
      return [=](EngraveFormModel& m) {
        m.ReadDataFileAt(rows);
        m.SetIndex(&S::Files, files);
        m.SetLines(&S::FreeFormTextE, {text});
        m.SetLines(&S::ToolChange, {toolChange, "T1 M6"});
        m.SetLines(&S::PostEngrave, {postEngrave});
      };
    };
    const JobCase c = {"Batch", &EngraveFormModel::GenerateBatchClick,
                       batch("{Name}-{Date:yyMMdd}-{Counter:SN} {{R{Row}}}", "#100={Counter:SN}",
                             "(WEEK {Date:YYYY-ww})"),
                       batch("{Name}-261211-{SN} {R{Row}}", "#100={SN}", "(WEEK 2026-50)")};
    SetCounter(42);
    const auto filled = Run(c, true);
    EXPECT_EQ(Next(), 45) << "three rows, three numbers";
    const auto typed = Run(c, false);
    ASSERT_EQ(typed.size(), files == 0 ? 1u : 3u);
    EXPECT_EQ(filled, typed);
  }
}

TEST_F(MarkingModelTest, ABatchCodeThatIsAlsoAColumnIsRefused) {
  SetCounter(42);
  test::FakeFormHost host;
  EngraveFormModel model(host);
  model.FormActivate(m_dir.Path().string());
  model.SetText(&S::ShiftTable, "A 06:00");
  model.SetState(&S::FillPlaceholders, true);
  model.ReadDataFileAt(m_dir.Write("rows.csv", "Shift,Name\r\nN,PUMP\r\n"));
  model.SetLines(&S::FreeFormTextE, {"{Name} {Shift}"});
  try {
    model.GenerateBatchClick();
    FAIL() << "a name that is a column and a code is refused";
  } catch (const Error& error) {
    EXPECT_THAT(error.what(), HasSubstr("{Shift} names a column of the data file and a code"));
  }
  EXPECT_EQ(Next(), 42);
}

TEST_F(MarkingModelTest, ARunContinuesFromItsCounterAndMovesItPastTheRun) {
  SetCounter(500);
  const JobCase run = {"Sequence", &EngraveFormModel::GenerateSequencesClick,
                       [](EngraveFormModel& m) {
                         m.SetText(&S::SeqCounter, "SN");
                         m.SetText(&S::SeqStart, "1");
                         m.SetText(&S::SeqEnd, "3");
                       },
                       [](EngraveFormModel& m) {
                         m.SetText(&S::SeqStart, "500");
                         m.SetText(&S::SeqEnd, "502");
                         m.SetLines(&S::ToolChange, {"#100=0042", "T1 M6"});
                       }};
  // The block's {Counter:SN} takes 500 and the run 501 to 503.
  const JobCase shifted = {run.name, run.click, run.withPlaceholders, [](EngraveFormModel& m) {
                             m.SetText(&S::SeqStart, "501");
                             m.SetText(&S::SeqEnd, "503");
                             m.SetLines(&S::ToolChange, {"#100=0500", "T1 M6"});
                           }};
  const auto filled = Run(shifted, true);
  EXPECT_EQ(Next(), 504);
  EXPECT_EQ(filled, Run(shifted, false));
}

TEST_F(MarkingModelTest, ThePreviewShowsTheFilledTextAndTakesNoNumber) {
  SetCounter(42);
  const auto segmentsOf = [&](const char* text, bool placeholders) {
    test::FakeFormHost host;
    EngraveFormModel model(host);
    model.FormActivate(m_dir.Path().string());
    model.SetMarkingInstant(ReadCivilTime("2026-12-11T14:05:00"));
    model.ShowPage(Page::FreeForm);
    model.SetState(&S::FillPlaceholders, placeholders);
    model.SetLines(&S::FreeFormTextE, {text});
    const PreviewScene scene = model.Preview();
    std::vector<std::pair<double, double>> ends;
    for (const PreviewSegment& segment : scene.segments) ends.emplace_back(segment.to.x, segment.to.y);
    return ends;
  };
  const auto filled = segmentsOf("SN{Counter:SN}/{Date:yy}", true);
  EXPECT_EQ(filled, segmentsOf("SN0042/26", false));
  EXPECT_NE(filled, segmentsOf("SN{Counter:SN}/{Date:yy}", false));
  EXPECT_EQ(Next(), 42);
}

TEST_F(MarkingModelTest, ACancelledOrRefusedJobHandsOutNothing) {
  SetCounter(7);
  test::FakeFormHost host(std::nullopt);  // the save dialog is cancelled
  EngraveFormModel model(host);
  model.FormActivate(m_dir.Path().string());
  model.SetState(&S::FillPlaceholders, true);
  model.SetLines(&S::FreeFormTextE, {"{Counter:SN}"});
  model.EngraveTextClick();
  EXPECT_EQ(Next(), 7);
  host.answer = "job.eia";
  model.SetText(&S::TextHeightE, "x");
  EXPECT_THROW(model.EngraveTextClick(), Error);
  EXPECT_EQ(Next(), 7);
  EXPECT_EQ(model.Settings().FreeFormTextE, Lines{"{Counter:SN}"}) << "the typed text stays";
  model.SetText(&S::TextHeightE, ".125");
  model.EngraveTextClick();
  EXPECT_EQ(Next(), 8);
  EXPECT_EQ(model.NumbersTaken(), "SN 0007");
}

}  // namespace
}  // namespace stylor
