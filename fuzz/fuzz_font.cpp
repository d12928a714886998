// Any bytes as a .fnt stroke font file, then the width and the moves of a text over the loaded
// table. Input: the job values and the text first, then the bytes of the font file.

#include "engrave/fonts/fnt_reader.h"
#include "engrave/fonts/stroke_font.h"
#include "font_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return stylor::fuzz::CheckFontInput(
      data, size,
      [](std::string_view bytes, stylor::StrokeFont& font, stylor::FontReport& report) {
        stylor::ParseFont(bytes, "font.fnt", font, report);
      },
      stylor::kMaxMoves, stylor::GlyphTableBuilder::kLiveMovesAtMost);
}
