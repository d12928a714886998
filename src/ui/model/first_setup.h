#pragma once

#include <cstdint>
#include <string_view>

#include "settings/engrave_settings.h"
#include "settings/machine_file.h"

namespace stylor {

/// The unit of the machine's programs, as the first set-up asks for it.
enum class SetupUnit { Millimetres, Inches };

/// The kinds of machine the first set-up offers, in the order it lists them: a mill, a mill
/// with a rotary axis, then one row per lathe-with-mill mode.
struct MachineKind {
  std::string_view caption;
  /// The IntegrexMode the kind selects (which sets the axes); 0 ("None") for the mills.
  std::int32_t latheMillMode = 0;
  /// A mill that wraps the text around a cylinder on the rotary A (Axis 1), its height along X.
  bool rotaryA = false;
};

inline constexpr MachineKind kMachineKinds[] = {
    {"Mill"},
    {"Mill with a rotary axis (A)", 0, true},
    {"Lathe with mill: Mazak G16 (Y, Z, X)", 1},
    {"Lathe with mill: Mazak G07.1 (C, Z, X)", 2},
    {"Lathe with mill: Mazak G12.1 Standard", 3},
    {"Lathe with mill: Mazak G12.1 T-32", 4},
    {"Lathe with mill: Mazak G12.1 Matrix", 5},
    {"Lathe with mill: Okuma G138", 6},
};

/// The controls whose start and end of program the set-up writes. A lathe-with-mill mode has
/// the control of its maker, whatever is chosen.
enum class Control { LinuxCnc, Iso, Mazak, Okuma };

/// The captions of the controls a mill may have, in the order of Control.
inline constexpr std::string_view kMillControls[] = {"LinuxCNC", "Fanuc, Haas and other ISO"};

/// What the first set-up asks: the unit, a row of kMachineKinds and, for a mill, its control.
struct FirstSetup {
  SetupUnit unit = SetupUnit::Millimetres;
  std::size_t kind = 0;
  Control control = Control::LinuxCnc;
  friend bool operator==(const FirstSetup&, const FirstSetup&) = default;
};

/// The control a set-up writes for: the maker's for a lathe-with-mill mode, else the chosen one.
Control ControlOf(const FirstSetup& setup);

/// The four G-code blocks of a set-up, in the fields of `settings` (Pre Tool Change, Tool
/// Change, Post Tool Change, Post Engrave).
struct MachineBlocks {
  Lines preToolChange, toolChange, postToolChange, postEngrave;
  friend bool operator==(const MachineBlocks&, const MachineBlocks&) = default;
};

/// The blocks of a set-up: unit, plane, absolute positions, tool, spindle start, and at the end
/// spindle stop and program end, in the words of its control.
MachineBlocks BlocksFor(const FirstSetup& setup);

/// Fills the four blocks, selects the kind's lathe-with-mill mode (and so its axes) or the rotary
/// axes of a mill with one; other fields keep their values. Throws nothing.
void ApplyFirstSetup(const FirstSetup& setup, SettingsEditor& editor);

}  // namespace stylor
