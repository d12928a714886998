// Any bytes as an LFF single-line font (polylines with bulges, references), then the width and the moves of a text over the converted table. Input: the
// job values and the text first, then the bytes of the font file.

#include "engrave/fonts/lff_reader.h"
#include "engrave/fonts/polyline_font.h"
#include "engrave/fonts/stroke_font.h"
#include "font_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return stylor::fuzz::CheckFontInput(
      data, size,
      [](std::string_view bytes, stylor::StrokeFont& font, stylor::FontReport& report) {
        stylor::ParseLffFont(bytes, "font.lff", font, report);
      },
      stylor::kMaxConvertedMoves, stylor::kMaxFontMoves + 2);
}
