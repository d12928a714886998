#include "ui/model/first_setup.h"

#include <iterator>
#include <string>

namespace stylor {
namespace {

using S = EngraveSettings;

// "{U}" in a template line stands for the unit word.
Lines Fill(std::initializer_list<std::string_view> lines, SetupUnit unit) {
  const std::string word = unit == SetupUnit::Inches ? "G20" : "G21";
  Lines filled;
  for (std::string_view line : lines) {
    std::string text(line);
    if (const std::size_t at = text.find("{U}"); at != std::string::npos) {
      text.replace(at, 3, word);
    }
    filled.push_back(std::move(text));
  }
  return filled;
}

// The spindle codes of the lathes' milling spindles differ from machine to machine: the first
// line asks the machinist to check them before the first run.
constexpr std::string_view kCheckCodes = "(CHECK THE M CODES AGAINST THE MACHINE MANUAL)";

}  // namespace

Control ControlOf(const FirstSetup& setup) {
  const std::size_t kind = setup.kind < std::size(kMachineKinds) ? setup.kind : 0;
  const std::int32_t mode = kMachineKinds[kind].latheMillMode;
  if (mode == 6) return Control::Okuma;
  if (mode != 0) return Control::Mazak;
  return setup.control == Control::Iso ? Control::Iso : Control::LinuxCnc;
}

MachineBlocks BlocksFor(const FirstSetup& setup) {
  const SetupUnit unit = setup.unit;
  switch (ControlOf(setup)) {
    case Control::LinuxCnc:
      // Tool length offset after the change, spindle on before the first move reaches the part.
      return {Fill({"(ENGRAVING)", "G17 {U} G40 G49 G80 G90 G94"}, unit),
              Fill({"T1 M06", "G43 H1"}, unit), Fill({"G54", "S10000 M03"}, unit),
              Fill({"M05", "M30"}, unit)};
    case Control::Iso:
      return {Fill({"%", "O1000 (ENGRAVING)", "G17 {U} G40 G49 G80 G90 G94"}, unit),
              Fill({"T1 M06", "G43 H01"}, unit), Fill({"G54", "S10000 M03"}, unit),
              Fill({"M05", "G91 G28 Z0", "G90", "M30", "%"}, unit)};
    case Control::Mazak:
      // M200 selects milling, M203 and M205 start and stop the milling spindle.
      return {Fill({"%", "O1000 (ENGRAVING)", kCheckCodes, "{U} G90 G94"}, unit),
              Fill({"T1 M06", "M200"}, unit), Fill({"S1000 M203"}, unit),
              Fill({"M205", "M30", "%"}, unit)};
    case Control::Okuma:
      // M110 joins the C axis, M13 and M12 start and stop the rotary tool.
      return {Fill({kCheckCodes, "{U} G90 G94"}, unit), Fill({"T1 M06"}, unit),
              Fill({"M110", "S1000 M13"}, unit), Fill({"M12", "M109", "M02"}, unit)};
  }
  return {};
}

void ApplyFirstSetup(const FirstSetup& setup, SettingsEditor& editor) {
  MachineBlocks blocks = BlocksFor(setup);
  editor.SetLines(&S::PreToolChange, std::move(blocks.preToolChange));
  editor.SetLines(&S::ToolChange, std::move(blocks.toolChange));
  editor.SetLines(&S::PostToolChange, std::move(blocks.postToolChange));
  editor.SetLines(&S::PostEngrave, std::move(blocks.postEngrave));
  const std::size_t kind = setup.kind < std::size(kMachineKinds) ? setup.kind : 0;
  const MachineKind& machine = kMachineKinds[kind];
  editor.SetIndex(&S::IntegrexMode, machine.latheMillMode);
  if (machine.rotaryA) {
    editor.SetText(&S::Axis1E, "A");
    editor.SetText(&S::Axis2E, "X");
    editor.SetText(&S::Axis3E, "Z");
  } else if (machine.latheMillMode == 0) {
    editor.SetText(&S::Axis1E, "X");
    editor.SetText(&S::Axis2E, "Y");
    editor.SetText(&S::Axis3E, "Z");
  }
}

}  // namespace stylor
