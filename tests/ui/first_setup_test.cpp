#include "ui/model/first_setup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iterator>

#include "settings/machine_file.h"
#include "support/form_host_double.h"
#include "support/temp_folder.h"
#include "ui/model/engrave_form_model.h"
#include "ui/model/setup_warnings.h"

namespace stylor {
namespace {

using S = EngraveSettings;
using testing::Contains;

// Whatever the kind, control and unit, a program of the set-up starts safe: its unit, absolute
// positions and a running spindle before the first move, and a stopped spindle and a program end
// after the last.
TEST(FirstSetup, EveryTemplateStartsAndEndsAProgramSafely) {
  for (std::size_t kind = 0; kind < std::size(kMachineKinds); ++kind) {
    for (const Control control : {Control::LinuxCnc, Control::Iso}) {
      for (const SetupUnit unit : {SetupUnit::Millimetres, SetupUnit::Inches}) {
        const FirstSetup setup{unit, kind, control};
        SCOPED_TRACE(std::string(kMachineKinds[kind].caption) + " " +
                     std::to_string(static_cast<int>(ControlOf(setup))) +
                     (unit == SetupUnit::Inches ? " in" : " mm"));
        S settings;
        PlainSettingsEditor editor(settings);
        ApplyFirstSetup(setup, editor);
        Lines start = settings.PreToolChange;
        start.insert(start.end(), settings.ToolChange.begin(), settings.ToolChange.end());
        start.insert(start.end(), settings.PostToolChange.begin(), settings.PostToolChange.end());
        const bool inches = unit == SetupUnit::Inches;
        EXPECT_TRUE(HasWord(start, 'G', inches ? 20 : 21));
        EXPECT_FALSE(HasWord(start, 'G', inches ? 21 : 20));
        EXPECT_TRUE(HasWord(start, 'G', 90));
        EXPECT_TRUE(HasWord(start, 'M', 3) || HasWord(start, 'M', 13) || HasWord(start, 'M', 203));
        EXPECT_TRUE(HasWord(settings.PostEngrave, 'M', 30) ||
                    HasWord(settings.PostEngrave, 'M', 2));
        EXPECT_EQ(StartBlockNote(settings), "");
        EXPECT_TRUE(JobWarnings(settings, false).empty());
        EXPECT_EQ(settings.IntegrexMode, kMachineKinds[kind].latheMillMode);
        // Only the blocks, the mode and the axes change: the factory values stay.
        S factory;
        factory.PreToolChange = settings.PreToolChange;
        factory.ToolChange = settings.ToolChange;
        factory.PostToolChange = settings.PostToolChange;
        factory.PostEngrave = settings.PostEngrave;
        factory.IntegrexMode = settings.IntegrexMode;
        factory.Axis1E = settings.Axis1E;
        factory.Axis2E = settings.Axis2E;
        factory.Axis3E = settings.Axis3E;
        EXPECT_EQ(settings, factory);
      }
    }
  }
}

TEST(FirstSetup, TheKindChoosesTheModeTheAxesAndTheLathesControl) {
  struct Case {
    std::size_t kind;
    Control chosen;
    Control control;
    const char* axes;
  };
  const Case cases[] = {{0, Control::Iso, Control::Iso, "XYZ"},
                        {1, Control::LinuxCnc, Control::LinuxCnc, "AXZ"},
                        {2, Control::Iso, Control::Mazak, "YZX"},
                        {3, Control::LinuxCnc, Control::Mazak, "CZX"}, {4, Control::Iso, Control::Mazak, "XCZ"},
                        {7, Control::Iso, Control::Okuma, "YZX"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(kMachineKinds[c.kind].caption);
    const FirstSetup setup{SetupUnit::Millimetres, c.kind, c.chosen};
    EXPECT_EQ(ControlOf(setup), c.control);
    test::FakeFormHost host;
    EngraveFormModel model(host);
    model.SetIndex(&S::IntegrexMode, 2);  // a mill set-up puts the mill's axes back
    ApplyFirstSetup(setup, model);
    EXPECT_EQ(model.Settings().Axis1E + model.Settings().Axis2E + model.Settings().Axis3E, c.axes);
  }
  EXPECT_THAT(BlocksFor({SetupUnit::Inches, 0, Control::Iso}).preToolChange,
              Contains("G17 G20 G40 G49 G80 G90 G94"));
}

// The set-up is kept as default.mch, so the next start reads it back.
TEST(FirstSetup, IsSavedAsTheDefaultMachineFile) {
  test::TempFolder dir;
  test::FakeFormHost host;
  EngraveFormModel model(host);
  model.FormActivate(dir.Path().string());
  const FirstSetup setup{SetupUnit::Inches, 0, Control::LinuxCnc};
  model.SaveFirstSetup(setup);
  EXPECT_EQ(model.MachineFile(), dir.File("default.mch"));
  test::FakeFormHost nextHost;
  EngraveFormModel next(nextHost);
  next.FormActivate(dir.Path().string());
  EXPECT_EQ(next.Settings().PreToolChange, BlocksFor(setup).preToolChange);
  EXPECT_EQ(next.Settings().PostEngrave, BlocksFor(setup).postEngrave);
  EXPECT_TRUE(nextHost.errors.empty());
}

}  // namespace
}  // namespace stylor

namespace stylor {
namespace {

// Reset can be undone until a block is typed into; the blocks count as edited against the
// machine file last opened or saved.
TEST(ResetUndo, BringsTheBlocksBackUntilTheUserTypesANewOne) {
  test::TempFolder dir;
  test::FakeFormHost host;
  EngraveFormModel model(host);
  model.FormActivate(dir.Path().string());
  EXPECT_FALSE(model.BlocksEdited());
  model.SaveFirstSetup({SetupUnit::Millimetres, 0, Control::LinuxCnc});
  EXPECT_FALSE(model.BlocksEdited());
  const Lines start = model.Settings().PreToolChange;
  EXPECT_FALSE(model.CanUndoReset());
  model.ResetClick();
  EXPECT_TRUE(model.Settings().PreToolChange.empty());
  EXPECT_TRUE(model.BlocksEdited());
  ASSERT_TRUE(model.CanUndoReset());
  model.UndoResetClick();
  EXPECT_EQ(model.Settings().PreToolChange, start);
  EXPECT_FALSE(model.CanUndoReset());
  EXPECT_FALSE(model.BlocksEdited());

  model.ResetClick();
  model.SetLines(&S::ToolChange, {"T2 M06"});
  EXPECT_FALSE(model.CanUndoReset()) << "the new block is kept";
  model.UndoResetClick();
  EXPECT_EQ(model.Settings().ToolChange, Lines{"T2 M06"});
  EXPECT_TRUE(model.BlocksEdited());
}

}  // namespace
}  // namespace stylor
