#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "settings/marking/marking_run.h"
#include "support/form_host_double.h"
#include "support/temp_folder.h"
#include "ui/model/engrave_form_model.h"
#include "ui/qt/codes_section.h"

namespace stylor {
namespace {

using testing::HasSubstr;

TEST(CodesSection, EditsTheFieldsAndSavesTheCountersTable) {
  test::TempFolder dir;
  test::FakeFormHost host;
  EngraveFormModel model(host);
  model.FormActivate(dir.Path().string());
  CodesSection section(model, nullptr);

  auto* fill = section.findChild<QCheckBox*>("FillPlaceholders");
  ASSERT_NE(fill, nullptr);
  fill->click();
  EXPECT_TRUE(model.Settings().FillPlaceholders);
  auto* shifts = section.findChild<QLineEdit*>("ShiftTable");
  shifts->setText("A 06:00, B 14:00");
  emit shifts->editingFinished();
  EXPECT_EQ(model.Settings().ShiftTable, "A 06:00, B 14:00");

  auto* table = section.findChild<QTableWidget*>("Counters");
  section.findChild<QPushButton*>("AddCounter")->click();
  ASSERT_EQ(table->rowCount(), 1);
  table->item(0, 1)->setText("42");  // Next
  table->item(0, 6)->setText("4");   // Width
  section.findChild<QPushButton*>("SaveCounters")->click();
  EXPECT_THAT(host.errors, testing::IsEmpty());
  EXPECT_THAT(test::ReadBytes(dir.File("stylor-counters.csv")),
              HasSubstr("\r\nSN,42,1,1,,Stop,4,10,Never,None,\r\n"));

  // A counter that cannot count is refused by name, and the file keeps what it held.
  const std::string before = test::ReadBytes(dir.File("stylor-counters.csv"));
  table->item(0, 3)->setText("0");  // Step
  section.findChild<QPushButton*>("SaveCounters")->click();
  ASSERT_EQ(host.errors.size(), 1u);
  EXPECT_THAT(host.errors[0], HasSubstr("The counter 'SN' has a step of 0"));
  EXPECT_EQ(test::ReadBytes(dir.File("stylor-counters.csv")), before);
  EXPECT_EQ(table->item(0, 3)->text(), "1") << "the table shows the file again";
}

}  // namespace
}  // namespace stylor
