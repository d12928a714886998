#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/font_text.h"
#include "support/form_host_double.h"
#include "support/temp_folder.h"
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

// A value that reads but cannot be machined is refused with its field in brackets: the box of
// the first field named is marked.
TEST(RefusedField, IsTheFirstFieldNamedInBrackets) {
  test::FakeFormHost host;
  EngraveFormModel model(host);
  EXPECT_EQ(model.RefusedField("Axis 1 (Axis1E) and Axis 2 (Axis2E) are both 'X'")->name,
            "Axis1E");
  test::TempFolder dir;
  dir.Write("font.fnt", test::kLetterLFont);
  model.PickFont(dir.File("font.fnt"));
  model.SetText(&S::Axis2E, "C");
  model.SetLines(&S::FreeFormTextE, {"L"});
  model.Run([&] { model.EngraveTextClick(); });
  ASSERT_EQ(host.errors.size(), 1u);
  EXPECT_THAT(host.errors[0], testing::HasSubstr("radius of the engraved cylinder"));
  EXPECT_EQ(model.RefusedField(host.errors[0])->name, "PenDownE");
}

// On a rotary axis the pen down level is the radius of the cylinder: the box is marked while
// it is not above 0, and the mark follows the axis letters and the mode as well as the value.
TEST(RotaryPenDown, IsMarkedWhileItIsNoRadius) {
  test::FakeFormHost host;
  EngraveFormModel model(host);
  const FieldInfo& pen = InfoOf(&S::PenDownE);
  EXPECT_EQ(model.FieldError(pen), nullptr);  // the factory -.001 on a mill
  model.SetText(&S::Axis2E, "C");
  ASSERT_NE(model.FieldError(pen), nullptr);
  EXPECT_THAT(*model.FieldError(pen), testing::HasSubstr("(PenDownE) must be above 0"));
  model.SetText(&S::PenDownE, "0");
  EXPECT_NE(model.FieldError(pen), nullptr);
  model.SetText(&S::PenDownE, "12.5");
  EXPECT_EQ(model.FieldError(pen), nullptr);
  model.SetText(&S::PenDownE, "-0.15");
  model.SetText(&S::Axis2E, "Y");
  EXPECT_EQ(model.FieldError(pen), nullptr);
  model.SetIndex(&S::IntegrexMode, 1);  // Mazak G16 turns the cylinder whatever the letters
  EXPECT_NE(model.FieldError(pen), nullptr);
  model.SetIndex(&S::IntegrexMode, 0);
  EXPECT_EQ(model.FieldError(pen), nullptr);
}

}  // namespace
}  // namespace stylor
