#include "engrave/framing.h"

#include "engrave/emitter.h"
#include "settings/engrave_settings.h"
#include "settings/numbers.h"
#include "settings/text8.h"

namespace stylor {
namespace {

struct ModeBlocks {
  std::string preamble;
  std::string postamble;
};

// Head 1 is item 0; every other index, "nothing selected" included, counts as Head 2.
ModeBlocks BlocksFor(int mode, int head, double penDown) {
  const bool head2 = head != 0;
  switch (mode) {
    case 0:
    case 2:
      return {};
    case 1: {
      std::string preamble = head2 ? "G110C2\nG00 C0.0\nG12.1\nG16 C" : "G00 C0.0\nG12.1\nG16 C";
      // The cylinder radius is a machine word like any coordinate, with the same range.
      AppendMachineNumber(preamble, penDown, 4);
      return {preamble + "\n", "G13.1\n"};
    }
    case 3:
      return {"G00 C0.0\nG12.1\n", "G13.1\n"};
    case 4:
      return {std::string(head2 ? "G110C2\n" : "") + "G00 C0.0\nG12.1\n", "G13.1\n"};
    case 5:
      return {"G00 C0.0\nG17UH\nG12.1\nG122.1\n", "G13.1\n"};
    case 6:
      return {"G138\n", "G136\n"};
    default:
      // No mode selected still closes a milling-plane block the way the Mazak modes do.
      return {"", "G13.1\n"};
  }
}

void AppendLines(std::string& out, const Lines& lines) {
  for (const std::string& line : lines) {
    out += To8Bit(line);
    out += '\n';
  }
}

}  // namespace

ProgramFrame FrameOf(const EngraveSettings& settings) {
  ProgramFrame frame;
  frame.replacesFile = settings.PreEngraveW;
  if (!settings.PreEngraveW && !settings.PostEngraveW) return frame;
  const double penDown = ReadReal(settings.PenDownE);
  const ModeBlocks blocks = BlocksFor(settings.IntegrexMode, settings.IntegrexHead, penDown);
  if (settings.PreEngraveW) {
    AppendLines(frame.startBlock, settings.PreToolChange);
    AppendLines(frame.startBlock, settings.ToolChange);
    AppendLines(frame.startBlock, settings.PostToolChange);
    frame.startBlock += blocks.preamble;
  }
  if (settings.PostEngraveW) {
    frame.endBlock += blocks.postamble;
    AppendLines(frame.endBlock, settings.PostEngrave);
  }
  return frame;
}

std::optional<std::array<std::string, 3>> AxesForMode(int integrexMode, int integrexHead) {
  const bool head2 = integrexHead != 0;
  switch (integrexMode) {
    case 1:
    case 6:  // the Okuma mode programs Y, Z, X whatever its caption shows
      return std::array<std::string, 3>{"Y", "Z", "X"};
    case 2:
      return std::array<std::string, 3>{"C", "Z", "X"};
    case 3:
    case 5:
      return head2 ? std::array<std::string, 3>{"C", "X", "Z"}
                   : std::array<std::string, 3>{"X", "C", "Z"};
    case 4:
      return head2 ? std::array<std::string, 3>{"Y", "X", "Z"}
                   : std::array<std::string, 3>{"X", "Y", "Z"};
    default:
      return std::nullopt;
  }
}

std::optional<std::pair<bool, bool>> AppendBoxesFor(int appendMode) {
  switch (appendMode) {
    case 0: return std::pair{true, true};
    case 1: return std::pair{true, false};
    case 2: return std::pair{false, false};
    case 3: return std::pair{false, true};
    default: return std::nullopt;
  }
}

int AppendModeFor(bool preEngrave, bool postEngrave) {
  if (preEngrave) return postEngrave ? 0 : 1;
  return postEngrave ? 3 : 2;
}

}  // namespace stylor
