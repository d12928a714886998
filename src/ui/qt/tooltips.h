#pragma once

#include <QString>
#include <QStringList>

#include <string>

#include "settings/engrave_settings.h"

namespace stylor {

/// What a field's control does, in the user's words: its unit and what it writes. Empty for a
/// field no control shows.
QString FieldToolTip(const FieldRef& field);

/// The name the status bar gives a field: the caption beside its control ("Height", "Axis 1
/// Start"); the field's own name where the window shows no caption.
QString FieldCaption(const FieldInfo& field);

/// A message about a field's value as the window shows it, after the caption of its box:
/// "Height: 5x is not a number" for a text that does not read as a number; any other message as
/// it stands.
QString FieldMessage(const FieldInfo& field, const std::string& text);

/// One tooltip per item of a choice, saying what choosing it writes or does.
QStringList ItemToolTips(IndexField field);

}  // namespace stylor
