#include "engrave/job_plan.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engrave/jobs.h"
#include "engrave/program_store.h"
#include "settings/data_file.h"
#include "settings/error.h"
#include "support/font_text.h"

namespace stylor {
namespace {

using testing::HasSubstr;
using testing::ThrowsMessage;

struct PlanCase {
  const char* name;
  JobKind job;
  bool manyFiles;
};

class JobPlanTest : public testing::TestWithParam<PlanCase> {
 protected:
  JobPlanTest() : m_font(test::FontFromText(test::kLetterLFont)) {
    m_settings.FreeFormTextE = {"L L", "LL"};
    m_settings.ArcTextE = "LLL";
    m_settings.EllipseTextE = "LL";
    m_settings.RadiusE = "3";
    m_settings.AEdit = "40";
    m_settings.BEdit = "20";
    m_settings.SeqStart = "1";
    m_settings.SeqEnd = "3";
    m_settings.SeqPrefix = "L";  // the font draws no digit
    m_settings.SeqPreGCodes = {"(BEFORE)"};
    m_settings.SeqPostGCodes = {"(AFTER)"};
    m_settings.PreToolChange = {"(START {Row})"};
    m_settings.PostEngrave = {"M30"};
    m_settings.Files = GetParam().manyFiles ? 1 : 0;
  }

  std::unique_ptr<stylor::StrokeFont> m_font;
  EngraveSettings m_settings;
  DataTable m_rows = ReadDataTable("Tag\nA\nB\nC\n", DataFormat::Csv);
};

// Whatever writes a job (its programs) and whatever draws it (one item framed by its program)
// must agree: the items of each program, in order, are that program's body.
TEST_P(JobPlanTest, TheItemsOfEachProgramMakeItsBody) {
  const std::unique_ptr<JobPlan> plan = MakePlan(GetParam().job, {m_settings, *m_font, &m_rows});
  ASSERT_GT(plan->Programs(), 0u);
  std::vector<std::string> fromItems(plan->Programs());
  for (std::size_t item = 0; item < plan->Items(); ++item) {
    MemorySink sink;
    plan->WriteItem(item, sink);
    fromItems.at(plan->ProgramOfItem(item)) += sink.Bytes();
  }
  for (std::size_t k = 0; k < plan->Programs(); ++k) {
    MemorySink body;
    plan->WriteBody(k, body);
    EXPECT_EQ(body.Bytes(), fromItems[k]) << "program " << k;
    EXPECT_NE(body.Bytes().find("G01"), std::string::npos) << "program " << k;
  }
  if (const std::optional<SeriesNames> names = plan->Series()) {
    EXPECT_EQ(names->fileNames.size(), plan->Programs());
  } else {
    EXPECT_EQ(plan->Programs(), 1u);
  }
  EXPECT_NE(plan->EngravedText().find('L'), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    EveryJob, JobPlanTest,
    testing::Values(PlanCase{"FreeForm", JobKind::FreeFormText, false},
                    PlanCase{"Circle", JobKind::CircleText, false},
                    PlanCase{"Ellipse", JobKind::EllipseText, false},
                    PlanCase{"SequenceOneFile", JobKind::Sequence, false},
                    PlanCase{"SequenceManyFiles", JobKind::Sequence, true},
                    PlanCase{"BatchOneFile", JobKind::Batch, false},
                    PlanCase{"BatchManyFiles", JobKind::Batch, true}),
    [](const testing::TestParamInfo<PlanCase>& info) { return std::string(info.param.name); });

TEST(JobTable, ABatchWithoutRowsNamesTheButtonThatReadsThem) {
  const auto font = test::FontFromText(test::kLetterLFont);
  EngraveSettings settings;
  EXPECT_THAT([&] { MakePlan(JobKind::Batch, {settings, *font, nullptr}); },
              ThrowsMessage<Error>(HasSubstr("\"Data File...\"")));
}

}  // namespace
}  // namespace stylor
