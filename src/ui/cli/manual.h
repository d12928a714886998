#pragma once

#include <iosfwd>

#include "settings/engrave_settings.h"

namespace stylor {

/// Writes `stylor-cli --help`: the usage, every action and every field with its meaning, unit,
/// default and item numbers, how to pass several lines, and the exit status.
void WriteCommandLineHelp(std::ostream& out);

/// Writes `stylor-cli --help FIELD`: everything about one field, with an example.
void WriteFieldHelp(std::ostream& out, const FieldInfo& field);

/// The two manual pages, drawn from the same tables as the help.
enum class ManualPage { Window, CommandLine };

/// Writes stylor(1) or stylor-cli(1) in roff (man macros).
void WriteManualPage(std::ostream& out, ManualPage page);

}  // namespace stylor
