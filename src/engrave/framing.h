#pragma once

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace stylor {

struct EngraveSettings;

/// How a program file is framed: whether the program replaces the file (PreEngraveW ticked) or
/// is added to its end, the start block (tool change blocks and the lathe-mill preamble, while
/// PreEngraveW is ticked) and the end block (postamble and PostEngrave, while PostEngraveW is
/// ticked), "\n" line ends.
struct ProgramFrame {
  bool replacesFile = true;
  std::string startBlock;
  std::string endBlock;
  friend bool operator==(const ProgramFrame&, const ProgramFrame&) = default;
};

/// Appends the lines of a G-code block (as typed, UTF-8) to program text: each in Windows-1252,
/// ended by "\n".
void AppendLines(std::string& out, const std::vector<std::string>& lines);
/// The lines of a G-code block as program text, as AppendLines writes them.
std::string LinesText(const std::vector<std::string>& lines);

/// The frame of every program file of a job, from the settings. Throws Error when PenDownE does
/// not convert or the G16 preamble would carry it out of a machine's range.
ProgramFrame FrameOf(const EngraveSettings& settings);

/// The texts of Axis1E, Axis2E, Axis3E that a lathe-mill mode and head select, or nothing for
/// "None" and no selection (the axes stay as typed).
std::optional<std::array<std::string, 3>> AxesForMode(int integrexMode, int integrexHead);

/// PreEngraveW and PostEngraveW for an AppendMode index; nothing for an index outside 0 to 3.
std::optional<std::pair<bool, bool>> AppendBoxesFor(int appendMode);

/// The AppendMode index that matches the two append boxes.
int AppendModeFor(bool preEngrave, bool postEngrave);

}  // namespace stylor
