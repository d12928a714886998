#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/form_host_double.h"
#include "ui/model/engrave_form_model.h"

namespace stylor {
namespace {

using S = EngraveSettings;

// The box a refusal names is the one whose value stopped the job: where two boxes hold the same
// wrong text, the one the job reads first.
TEST(RefusedField, IsTheFirstBoxTheJobReadsWithThatValue) {
  test::FakeFormHost host;
  EngraveFormModel model(host);
  model.SetText(&S::SpacingRatioE, "5x");
  model.SetText(&S::TextHeightE, "5x");
  model.SetText(&S::RadiusE, "r");
  EXPECT_EQ(model.RefusedField("'5x' is not a valid floating point value")->name, "TextHeightE");
  EXPECT_EQ(model.RefusedField("'r' is not a valid floating point value")->name, "RadiusE");
  model.SetText(&S::Axis1StartE, "5x");
  EXPECT_EQ(model.RefusedField("'5x' is not a valid floating point value")->name, "Axis1StartE");
  EXPECT_EQ(model.RefusedField("'7' is not a valid floating point value"), nullptr);
  EXPECT_EQ(model.RefusedField("The axis letter of the plunge axis is empty")->name, "Axis3E");
  EXPECT_EQ(model.RefusedField("No font is loaded"), nullptr);
}

}  // namespace
}  // namespace stylor
