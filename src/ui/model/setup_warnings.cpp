#include "ui/model/setup_warnings.h"

#include <cctype>
#include <iterator>

#include "settings/machine_modes.h"

namespace stylor {
namespace {

using S = EngraveSettings;

bool IsBlank(const Lines& lines) {
  for (const std::string& line : lines) {
    for (const char c : line) {
      if (c != ' ' && c != '\t' && c != '\r') return false;
    }
  }
  return true;
}

bool StartBlockIsBlank(const EngraveSettings& settings) {
  return IsBlank(settings.PreToolChange) && IsBlank(settings.ToolChange) &&
         IsBlank(settings.PostToolChange);
}

// The lines the start block writes: the three tool-change blocks and the mode's preamble.
Lines StartBlockLines(const EngraveSettings& settings) {
  Lines lines = settings.PreToolChange;
  lines.insert(lines.end(), settings.ToolChange.begin(), settings.ToolChange.end());
  lines.insert(lines.end(), settings.PostToolChange.begin(), settings.PostToolChange.end());
  const LatheMillMode& mode = LatheMillModeOf(settings.IntegrexMode);
  lines.emplace_back(mode.preamble[static_cast<std::size_t>(HeadOf(settings.IntegrexHead))]);
  return lines;
}

bool LineHasWord(const std::string& line, char letter, int value) {
  const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  std::size_t i = 0;
  while (i < line.size()) {
    const char c = line[i];
    if (c == ';') return false;
    if (c == '(') {
      const std::size_t close = line.find(')', i);
      if (close == std::string::npos) return false;
      i = close + 1;
      continue;
    }
    ++i;
    if (std::toupper(static_cast<unsigned char>(c)) != upper) continue;
    std::size_t at = i;
    while (at < line.size() && line[at] == ' ') ++at;
    long number = 0;
    std::size_t digits = 0;
    while (at < line.size() && line[at] >= '0' && line[at] <= '9' && number < 100000) {
      number = number * 10 + (line[at] - '0');
      ++at;
      ++digits;
    }
    if (digits == 0) continue;
    bool whole = true;
    if (at < line.size() && line[at] == '.') {
      for (++at; at < line.size() && line[at] >= '0' && line[at] <= '9'; ++at) {
        if (line[at] != '0') whole = false;
      }
    }
    if (whole && number == value && !(at < line.size() && line[at] >= '0' && line[at] <= '9')) {
      return true;
    }
  }
  return false;
}

}  // namespace

bool HoldsLatheAxes(const EngraveSettings& settings) {
  if (LatheMillModeOf(settings.IntegrexMode).selectsAxes) return false;
  const ModeAxes typed = {settings.Axis1E, settings.Axis2E, settings.Axis3E};
  if (typed == ModeAxes{"X", "Y", "Z"}) return false;
  for (const LatheMillMode& mode : kLatheMillModes) {
    if (!mode.selectsAxes) continue;
    for (const ModeAxes& axes : mode.axes) {
      if (axes == typed) return true;
    }
  }
  return false;
}

bool HasWord(const Lines& lines, char letter, int value) {
  for (const std::string& line : lines) {
    if (LineHasWord(line, letter, value)) return true;
  }
  return false;
}

std::vector<SetupWarning> JobWarnings(const EngraveSettings& settings, bool repeatsInOneFile) {
  std::vector<SetupWarning> warnings;
  if (HoldsLatheAxes(settings)) {
    warnings.push_back(
        {"The axes are still " + settings.Axis1E + ", " + settings.Axis2E + ", " +
             settings.Axis3E +
             " as a lathe-with-mill mode set them, but the mode is \"None\": the pen plunges "
             "in " + settings.Axis3E + ". For a mill, set the axes to X, Y, Z",
         {&S::Axis1E, &S::Axis2E, &S::Axis3E}});
  }
  if (repeatsInOneFile && IsBlank(settings.SeqPreGCodes) && IsBlank(settings.SeqPostGCodes)) {
    warnings.push_back(
        {"One File with no G codes before or after each sequence: every number is cut on the "
         "same spot as the one before. Put an M00 (a stop to change the part) or a shift of the "
         "work offset before each sequence",
         {&S::SeqPreGCodes, &S::SeqPostGCodes}});
  }
  // An appending job writes no start block: the first job of the program wrote it.
  if (FeedRateOf(settings.FeedMode) == FeedRate::InverseTime && settings.PreEngraveW &&
      !HasWord(StartBlockLines(settings), 'G', 93)) {
    warnings.push_back(
        {"Inverse Time Feed writes each F as the inverse of a move's time, but the start block "
         "holds no G93: the control reads those F words as feeds per minute. Put G93 into "
         "Post Tool Change",
         {&S::FeedMode, &S::PostToolChange}});
  }
  return warnings;
}

std::string StartBlockNote(const EngraveSettings& settings) {
  if (!settings.PreEngraveW || !StartBlockIsBlank(settings)) return {};
  struct Need {
    const char* what;
    bool present;
  };
  const Lines& end = settings.PostEngrave;
  const Need needs[] = {
      {"no unit (G20 or G21)", false},
      {"no absolute mode (G90)", false},
      {"no spindle start (M03)", false},
      {"no spindle stop (M05)",
       settings.PostEngraveW && (HasWord(end, 'M', 5) || HasWord(end, 'M', 2) ||
                                 HasWord(end, 'M', 30))},
      {"no program end (M30)",
       settings.PostEngraveW && (HasWord(end, 'M', 2) || HasWord(end, 'M', 30))},
  };
  std::string lacking;
  std::size_t count = 0;
  for (const Need& need : needs) count += need.present ? 0 : 1;
  std::size_t listed = 0;
  for (const Need& need : needs) {
    if (need.present) continue;
    ++listed;
    if (listed > 1) lacking += listed == count ? " and " : ", ";
    lacking += need.what;
  }
  return "The start block is empty: the program has " + lacking +
         ". Fill the blocks on the Machine page";
}

}  // namespace stylor
