#include "engrave/framing.h"

#include "engrave/emitter.h"
#include "settings/engrave_settings.h"
#include "settings/machine_modes.h"
#include "settings/numbers.h"
#include "settings/text8.h"

namespace stylor {

void AppendLines(std::string& out, const Lines& lines) {
  for (const std::string& line : lines) {
    out += To8Bit(line);
    out += '\n';
  }
}

std::string LinesText(const Lines& lines) {
  std::string text;
  AppendLines(text, lines);
  return text;
}

ProgramFrame FrameOf(const EngraveSettings& settings) {
  ProgramFrame frame;
  frame.replacesFile = settings.PreEngraveW;
  if (!settings.PreEngraveW && !settings.PostEngraveW) return frame;
  const double penDown = ReadReal(settings.PenDownE);
  const LatheMillMode& mode = LatheMillModeOf(settings.IntegrexMode);
  std::string radius;
  // The cylinder radius is a machine word like any coordinate, with the same range; a job of
  // this mode refuses a radius out of range whichever block it writes.
  if (mode.preambleTakesRadius) {
    AppendMachineNumber(radius, penDown, 4);
    radius += '\n';
  }
  if (settings.PreEngraveW) {
    AppendLines(frame.startBlock, settings.PreToolChange);
    AppendLines(frame.startBlock, settings.ToolChange);
    AppendLines(frame.startBlock, settings.PostToolChange);
    frame.startBlock += mode.preamble[HeadOf(settings.IntegrexHead)];
    frame.startBlock += radius;
  }
  if (settings.PostEngraveW) {
    frame.endBlock += mode.postamble;
    AppendLines(frame.endBlock, settings.PostEngrave);
  }
  return frame;
}

std::optional<std::array<std::string, 3>> AxesForMode(int integrexMode, int integrexHead) {
  const LatheMillMode& mode = LatheMillModeOf(integrexMode);
  if (!mode.selectsAxes) return std::nullopt;
  const ModeAxes& axes = mode.axes[HeadOf(integrexHead)];
  return std::array<std::string, 3>{std::string(axes[0]), std::string(axes[1]),
                                    std::string(axes[2])};
}

std::optional<std::pair<bool, bool>> AppendBoxesFor(int appendMode) {
  switch (static_cast<AppendStep>(appendMode)) {
    case AppendStep::SingleOperation: return std::pair{true, true};
    case AppendStep::StartNewJob: return std::pair{true, false};
    case AppendStep::AppendToJob: return std::pair{false, false};
    case AppendStep::CloseJob: return std::pair{false, true};
  }
  return std::nullopt;  // nothing selected
}

int AppendModeFor(bool preEngrave, bool postEngrave) {
  AppendStep step = AppendStep::SingleOperation;
  if (preEngrave) step = postEngrave ? AppendStep::SingleOperation : AppendStep::StartNewJob;
  else step = postEngrave ? AppendStep::CloseJob : AppendStep::AppendToJob;
  return static_cast<int>(step);
}

}  // namespace stylor
