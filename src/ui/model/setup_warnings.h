#pragma once

#include <string>
#include <vector>

#include "settings/engrave_settings.h"

namespace stylor {

/// A setting that writes a program a machinist should not run as it stands. The program is
/// written all the same; the warning says why it is dangerous and what to put right.
struct SetupWarning {
  std::string text;
  /// The boxes that hold the setting, marked by the window.
  std::vector<FieldRef> fields;
  friend bool operator==(const SetupWarning&, const SetupWarning&) = default;
};

/// True when the mode selects no axes ("None", or nothing selected) but Axis1E, Axis2E and
/// Axis3E still hold, as whole texts, the letters one lathe-with-mill mode sets for one of its
/// heads, other than the mill's X, Y, Z. Choosing "None" changes no axis, so these are the
/// letters left behind by a lathe-with-mill mode chosen before.
bool HoldsLatheAxes(const EngraveSettings& settings);

/// True when `lines` hold the word `letter` (either case) with the whole number `value`:
/// "G93", "g093", "G 93", "G93.0"; not "G930" or "G93.5". Comments in parentheses and after ';'
/// do not count.
bool HasWord(const Lines& lines, char letter, int value);

/// The warnings of a job on these settings: lathe axes left under mode "None", a One File run
/// of many sequences (`repeatsInOneFile`) with nothing between them, and inverse-time feeds
/// with no G93 in the start block.
std::vector<SetupWarning> JobWarnings(const EngraveSettings& settings, bool repeatsInOneFile);

/// What a program written with an empty start block lacks (units, absolute mode, spindle start,
/// and from the end block spindle stop and program end); empty while the start block holds a
/// line or is not written.
std::string StartBlockNote(const EngraveSettings& settings);

}  // namespace stylor
