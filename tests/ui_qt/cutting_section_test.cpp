#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "support/form_host_double.h"
#include "support/temp_folder.h"
#include "ui/model/engrave_form_model.h"
#include "ui/qt/cutting_section.h"
#include "ui/qt/form_widgets.h"

namespace stylor {
namespace {

TEST(CuttingSection, EveryCuttingFieldHasItsBoxBoundToTheModel) {
  test::TempFolder dir;
  test::FakeFormHost host;
  EngraveFormModel model(host);
  model.FormActivate(dir.Path().string());
  CuttingSection section(model, ProgramUnit::Millimetres, nullptr);

  const struct {
    const char* name;
    const char* typed;
    std::string EngraveSettings::*field;
    const char* unit;
  } edits[] = {
      {"DepthPerPassE", "0.1", &EngraveSettings::DepthPerPassE, "mm"},
      {"RampLengthE", "2", &EngraveSettings::RampLengthE, "mm"},
      {"LaserPowerE", "750", &EngraveSettings::LaserPowerE, ""},
      {"LaserPassesE", "3", &EngraveSettings::LaserPassesE, ""},
      {"LaserZStepE", "0.05", &EngraveSettings::LaserZStepE, "mm"},
      {"LaserLeadInE", "1", &EngraveSettings::LaserLeadInE, "mm"},
      {"DotPitchE", "0.5", &EngraveSettings::DotPitchE, "mm"},
      {"DotDwellE", "0.2", &EngraveSettings::DotDwellE, ""},
      {"DotCodesE", "M10 M11", &EngraveSettings::DotCodesE, ""},
  };
  for (const auto& e : edits) {
    SCOPED_TRACE(e.name);
    auto* box = section.findChild<UnitEdit*>(e.name);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->Suffix(), e.unit);
    EXPECT_FALSE(box->toolTip().isEmpty());
    box->setText(e.typed);
    emit box->editingFinished();
    EXPECT_EQ(model.Settings().*e.field, e.typed);
  }
  const struct {
    const char* name;
    std::int32_t EngraveSettings::*field;
  } choices[] = {{"TravelOrder", &EngraveSettings::TravelOrder},
                 {"LaserMode", &EngraveSettings::LaserMode},
                 {"AirAssist", &EngraveSettings::AirAssist},
                 {"DotStyle", &EngraveSettings::DotStyle}};
  for (const auto& c : choices) {
    SCOPED_TRACE(c.name);
    auto* box = section.findChild<QComboBox*>(c.name);
    ASSERT_NE(box, nullptr);
    box->setCurrentIndex(2);
    EXPECT_EQ(model.Settings().*c.field, 2);
  }
  auto* spring = section.findChild<QCheckBox*>("SpringPass");
  ASSERT_NE(spring, nullptr);
  spring->click();
  EXPECT_TRUE(model.Settings().SpringPass);

  // A change made elsewhere (a machine file read) shows when the section is refreshed.
  model.SetIndex(&EngraveSettings::TravelOrder, 3);
  model.SetText(&EngraveSettings::DepthPerPassE, "0.25");
  section.Refresh();
  EXPECT_EQ(section.findChild<QComboBox*>("TravelOrder")->currentIndex(), 3);
  EXPECT_EQ(section.findChild<UnitEdit*>("DepthPerPassE")->text(), "0.25");
  EXPECT_EQ(section.findChild<UnitEdit*>("LaserLeadInE")->Suffix(), "mm");
  CuttingSection inches(model, ProgramUnit::Inches, nullptr);
  EXPECT_EQ(inches.findChild<UnitEdit*>("LaserLeadInE")->Suffix(), "in");
}

}  // namespace
}  // namespace stylor
