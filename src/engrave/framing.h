#pragma once

#include <array>
#include <optional>
#include <string>
#include <utility>

namespace stylor {

struct EngraveSettings;
class ProgramStore;

/// Writes the start block (`start` true: creates or empties the file while PreEngraveW is ticked)
/// or the end block (appends while PostEngraveW is ticked) of a program file, reading the
/// settings at the moment of the call. Throws Error, before the file is opened, when PenDownE
/// does not convert or the G16 preamble would carry it out of a machine's range; and when the
/// file cannot be written.
void WriteFraming(ProgramStore& store, const std::string& fileName, bool start,
                  const EngraveSettings& settings);

/// The texts of Axis1E, Axis2E, Axis3E that a lathe-mill mode and head select, or nothing for
/// "None" and no selection (the axes stay as typed).
std::optional<std::array<std::string, 3>> AxesForMode(int integrexMode, int integrexHead);

/// PreEngraveW and PostEngraveW for an AppendMode index; nothing for an index outside 0 to 3.
std::optional<std::pair<bool, bool>> AppendBoxesFor(int appendMode);

/// The AppendMode index that matches the two append boxes.
int AppendModeFor(bool preEngrave, bool postEngrave);

}  // namespace stylor
