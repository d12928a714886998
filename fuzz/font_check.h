#pragma once

// What every font fuzz target checks: any bytes as a font file, then the width and the moves of
// a text over the table that was loaded (or left empty by a refusal).

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <memory>
#include <string>

#include "engrave/emitter.h"
#include "engrave/fonts/stroke_font.h"
#include "engrave/prepared_job.h"
#include "program_check.h"
#include "settings/error.h"

namespace stylor::fuzz {
namespace font_check {

using namespace stylor;
// Values a user can type, the troublesome ones included.
inline constexpr std::array<double, 16> kValues = {
    0, 1, -1, 0.125, -0.001, 0.001, 2, 360, 1e-300, -1e-300, 5e-5, 1e8, 1e300, -1e300, 0.5, 3e9};

inline constexpr std::array<std::array<char, 3>, 8> kAxes = {{
    {'X', 'Y', 'Z'}, {'A', 'Y', 'Z'}, {'X', 'B', 'Z'}, {'C', 'A', 'Z'},
    {'Y', 'Z', 'X'}, {'C', 'Z', 'X'}, {'X', 'C', 'Z'}, {'a', 'y', 'z'},
}};

inline double PickValue(FuzzedDataProvider& input) {
  return kValues[input.ConsumeIntegralInRange<std::size_t>(0, kValues.size() - 1)];
}

inline PreparedJob PickJob(FuzzedDataProvider& input) {
  PreparedJob job;
  const auto& axes = kAxes[input.ConsumeIntegralInRange<std::size_t>(0, kAxes.size() - 1)];
  job.axis1 = axes[0];
  job.axis2 = axes[1];
  job.plungeAxis = axes[2];
  job.mode = &LatheMillModeOf(input.ConsumeIntegralInRange<int>(-1, 7));
  job.feedRate = FeedRateOf(input.ConsumeIntegralInRange<int>(-1, 3));
  job.g16AxisMarker = static_cast<DegreesAxis>(input.ConsumeIntegralInRange<int>(0, 2));
  // Mostly the defaults, so that the font rather than absurd values decides the moves.
  if (input.ConsumeBool()) {
    job.start = {PickValue(input), PickValue(input)};
    job.penUp = PickValue(input);
    job.penDown = PickValue(input);
    job.textHeight = PickValue(input);
    job.widthRatio = PickValue(input);
    job.spacingRatio = PickValue(input);
    job.plungeFeed = PickValue(input);
    job.engraveFeed = PickValue(input);
  }
  job.textAngleRad = input.ConsumeIntegralInRange<int>(-720, 720) * (3.141592653589793 / 180);
  return job;
}

inline std::string PickText(FuzzedDataProvider& input) {
  std::string text;
  const int count = input.ConsumeIntegralInRange<int>(0, 8);
  for (int i = 0; i < count; ++i) text += static_cast<char>(input.ConsumeIntegral<unsigned char>());
  if (input.ConsumeBool()) {
    for (int code = 32; code < 256; ++code) text += static_cast<char>(code);
  }
  return text;
}

// Every glyph's moves lie in the font and in range; a refused font has none at all.
inline void CheckTable(const StrokeFont& font, bool loaded, int maxMoves,
                       std::size_t maxTotalMoves) {
  if (!loaded && font.HasMoves()) fuzz::Fail("a refused font left moves", "");
  std::size_t totalMoves = 0;
  for (int code = 0; code < kGlyphCount; ++code) {
    const Glyph* glyph = GlyphOf(font, static_cast<char>(code));
    if (glyph == nullptr) fuzz::Fail("a code of the table has no glyph", std::to_string(code));
    if (glyph->moveCount < 0 || glyph->moveCount > maxMoves) {
      fuzz::Fail("move count out of range", std::to_string(glyph->moveCount));
    }
    if (!loaded && glyph->moveCount != 0) fuzz::Fail("a refused font left moves", "");
    totalMoves += static_cast<std::size_t>(std::max(glyph->moveCount, 0));
    // Memory stays bounded: the table as a whole keeps to its cap, whatever the file refers to.
    if (totalMoves > maxTotalMoves) fuzz::Fail("the font has more moves than its cap", "");
    const auto moves = font.Moves(*glyph);
    if (moves.size() != static_cast<std::size_t>(glyph->moveCount)) {
      fuzz::Fail("a glyph's moves lie outside the font's", std::to_string(code));
    }
    // Reading every move lets AddressSanitizer see an index outside the font's moves.
    volatile double sum = 0;
    for (const GlyphMove& move : moves) {
      if (!std::isfinite(move.x) || !std::isfinite(move.y)) {
        fuzz::Fail("a move is not a finite point", std::to_string(code));
      }
      sum = sum + move.x;
    }
  }
}

}  // namespace font_check

/// Reads a job, a text and then the font bytes from `data`, loads the font with `parse` and
/// checks the table and the moves of the text; glyphs may have at most `maxMoves` moves, the
/// font `maxTotalMoves`.
using FontParse = std::function<void(std::string_view, StrokeFont&, FontReport&)>;
inline int CheckFontInput(const std::uint8_t* data, std::size_t size, const FontParse& parse,
                          int maxMoves, std::size_t maxTotalMoves) {
  using namespace font_check;

  FuzzedDataProvider input(data, size);
  const PreparedJob job = PickJob(input);
  const std::string text = PickText(input);
  const std::string bytes = input.ConsumeRemainingBytesAsString();

  auto font = std::make_unique<StrokeFont>();
  FontReport report;
  bool loaded = true;
  try {
    parse(bytes, *font, report);
  } catch (const Error&) {
    loaded = false;
    if (!report.empty()) fuzz::Fail("a refused font left a report", report.front());
  }
  CheckTable(*font, loaded, maxMoves, maxTotalMoves);
  // A copy reads its own moves, not those of the font it came from.
  const StrokeFont copy = *font;
  // The same font: its letter gap and the characters it names too.
  if (!(copy.LetterGap() == font->LetterGap())) fuzz::Fail("a copy has another letter gap", "");
  for (int code = 0; code < kGlyphCount; ++code) {
    const auto c = static_cast<unsigned char>(code);
    if (copy.Names(c) != font->Names(c)) fuzz::Fail("a copy names other characters", "");
  }
  font.reset();
  CheckTable(copy, loaded, maxMoves, maxTotalMoves);

  volatile double width = TextWidth(copy, text, job.textHeight, job.widthRatio, job.spacingRatio);
  (void)width;

  const std::string before = "(kept)\n";
  std::string out = before;
  try {
    AppendEngraveMoves(out, job, job.start, job.textAngleRad, text, copy);
  } catch (const Error&) {
    if (out != before) fuzz::Fail("a refused text left moves behind", out);
    return 0;
  }
  std::string_view moves(out);
  moves.remove_prefix(before.size());
  if (moves.empty() || moves.back() != '\n') fuzz::Fail("moves do not end with a line end", moves);
  while (!moves.empty()) {
    const std::size_t lf = moves.find('\n');
    const std::string_view line = moves.substr(0, lf);
    if (!fuzz::IsMoveLine(line)) fuzz::Fail("not a move line", line);
    moves.remove_prefix(lf + 1);
  }
  return 0;
}

}  // namespace stylor::fuzz
