// Any bytes as a G-code program read back by stats and preview, as `stylor-cli stats`, `preview`
// and the window's Open Program read an outside file. Input: a few bytes choose the reading
// options (axis letters, pen levels, feed and lathe-mill modes), the rest is the program.

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cmath>
#include <string>
#include <string_view>
#include <vector>

#include "preview/preview_scene.h"
#include "preview/program_reader.h"
#include "preview/program_stats.h"
#include "preview/svg.h"
#include "program_check.h"
#include "settings/error.h"

namespace {

using namespace stylor;

constexpr std::array<std::array<char, 3>, 8> kAxes = {{
    {'X', 'Y', 'Z'}, {'A', 'Y', 'Z'}, {'X', 'B', 'Z'}, {'C', 'A', 'Z'},
    {'Y', 'Z', 'X'}, {'X', 'C', 'Z'}, {'X', 'X', 'Z'}, {'G', 'Y', 'Z'},
}};

constexpr std::array<double, 10> kLevels = {0.001, -0.001, 0, 1, -1, 25, -18.398, 1e-300, 1e300,
                                            -1e300};

double PickLevel(FuzzedDataProvider& input) {
  return kLevels[input.ConsumeIntegralInRange<std::size_t>(0, kLevels.size() - 1)];
}

ReaderOptions PickOptions(FuzzedDataProvider& input) {
  ReaderOptions options;
  const auto& axes = kAxes[input.ConsumeIntegralInRange<std::size_t>(0, kAxes.size() - 1)];
  options.axis1 = axes[0];
  options.axis2 = axes[1];
  options.plungeAxis = axes[2];
  options.penUp = PickLevel(input);
  options.penDown = PickLevel(input);
  options.feedRate = FeedRateOf(input.ConsumeIntegralInRange<int>(0, 2));
  // -1 and 7 stand for an index outside the list: the mode of nothing selected.
  options.mode = &LatheMillModeOf(input.ConsumeIntegralInRange<int>(-1, 7));
  options.g16AxisMarker = static_cast<DegreesAxis>(input.ConsumeIntegralInRange<int>(0, 2));
  // Macro programs run within small limits here; fuzz_macro_reader looks into them.
  options.macroLimits.blocks = 20'000;
  return options;
}

// Lines as the reader splits them: at LF, a last line without one counted too.
// The lines of a program, byte by byte: LF, CR LF and a CR alone each end one.
std::vector<std::string_view> ProgramLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    if (bytes[at] != '\n' && bytes[at] != '\r') continue;
    lines.push_back(bytes.substr(start, at - start));
    if (bytes[at] == '\r' && at + 1 < bytes.size() && bytes[at + 1] == '\n') ++at;
    start = at + 1;
  }
  if (start < bytes.size()) lines.push_back(bytes.substr(start));
  return lines;
}

bool HasLongLine(const std::vector<std::string_view>& lines) {
  for (const std::string_view line : lines) {
    if (line.size() > kMaxProgramLine) return true;
  }
  return false;
}

void CheckMove(const ProgramMove& move, std::int64_t lines) {
  if (move.line < 1 || move.line > lines) fuzz::Fail("a move names a line outside the program", "");
  if (!(move.length >= 0)) fuzz::Fail("a move has a negative length", "");
  if (move.arc) {
    const std::vector<Point2> points = MovePoints(move);
    if (points.size() < 2 || points.size() > kMaxArcChords + 1) {
      fuzz::Fail("an arc is drawn with too few or too many chords", "");
    }
    for (const Point2& p : points) {
      if (!std::isfinite(p.x) || !std::isfinite(p.y)) fuzz::Fail("an arc point is not finite", "");
    }
  }
  if (move.minutes && !(std::isfinite(*move.minutes) && *move.minutes >= 0)) {
    fuzz::Fail("a move has a time that is not a finite, non-negative number", "");
  }
  if (!move.fed && move.minutes) fuzz::Fail("a rapid move is timed", "");
}

// The picture is a whole SVG document whose text holds no raw control character.
void CheckSvg(const std::string& svg) {
  if (!svg.starts_with("<svg ") || !svg.ends_with("</svg>\n")) {
    fuzz::Fail("the preview is not one SVG document", svg.substr(0, 200));
  }
  for (char c : svg) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\n') {
      fuzz::Fail("the preview holds a control character", svg.substr(0, 200));
    }
  }
  for (const std::string_view bad : {"nan", "inf"}) {
    if (svg.find(bad) != std::string::npos) fuzz::Fail("the preview holds a number that is not", bad);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const ReaderOptions options = PickOptions(input);
  const std::string bytes = input.ConsumeRemainingBytesAsString();
  const std::string name = "program.eia";
  try {
    CheckReaderOptions(options);
  } catch (const Error&) {
    return 0;
  }
  const std::vector<std::string_view> programLines = ProgramLines(bytes);
  const bool refused = bytes.find('\0') != std::string::npos || HasLongLine(programLines);
  const auto lines = static_cast<std::int64_t>(programLines.size());

  std::int64_t visited = 0;
  ProgramSummary summary;
  try {
    summary = ReadProgram(bytes, name, options, [&](const ProgramMove& move) {
      CheckMove(move, lines);
      ++visited;
    });
  } catch (const Error& error) {
    // A line that a control refuses too (one address twice, an arc that cannot be) names itself.
    if (std::string_view(error.what()).starts_with("Line ") && !refused) return 0;
    if (!refused) fuzz::Fail("a text program was refused", error.what());
    if (std::string_view(error.what()).find(name) == std::string_view::npos) {
      fuzz::Fail("a refusal does not name the program", error.what());
    }
    return 0;
  }
  if (refused) fuzz::Fail("binary data or an over-long line was read as a program", "");
  if (summary.lines != lines) fuzz::Fail("the line count is wrong", std::to_string(summary.lines));
  if (summary.unreadLines < 0 || summary.unreadLines > lines) {
    fuzz::Fail("the unread line count is out of range", std::to_string(summary.unreadLines));
  }

  const ProgramStats stats = StatsOfProgram(bytes, name, options);
  if (stats.moves != visited) fuzz::Fail("stats count other moves than the reader", "");
  if (stats.plunges > stats.moves) fuzz::Fail("more plunges than moves", "");
  const std::string text = FormatStats(stats);
  if (text.empty() || text.back() != '\n') fuzz::Fail("the statistics do not end a line", text);

  const PreviewScene scene = SceneOfProgram(bytes, name, options);
  if (static_cast<std::int64_t>(scene.segments.size()) > visited * kMaxArcChords) {
    fuzz::Fail("the preview draws more segments than the program has moves", "");
  }
  CheckSvg(DrawSvg(scene));
  return 0;
}
