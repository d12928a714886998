#pragma once

#include <string>

namespace stylor {

struct EngraveSettings;
struct StrokeFont;
class JobHost;

/// The free-form text job: every line of FreeFormTextE on its own baseline, stepping down by
/// height x line spacing, justified about the start point and turned by the text angle, framed by
/// the start and end blocks. Throws Error; writes nothing, and asks for no file, when a field
/// does not convert or a move would carry a value out of a machine's range. Returns false when
/// the user cancels the save dialog.
bool EngraveFreeFormText(const EngraveSettings& settings, const StrokeFont& font, JobHost& host);

/// The width label: the engraved width of the memo's last line, in the general number format.
/// Throws the conversion message when the height or a ratio does not convert.
std::string FreeFormWidthLabel(const EngraveSettings& settings, const StrokeFont& font);

}  // namespace stylor
