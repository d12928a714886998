#pragma once

#include <string>
#include <string_view>

#include "engrave/fonts/stroke_font.h"

namespace stylor {

/// Reads the bytes of an LFF single-line font into `font`: code points that Windows-1252 holds
/// become glyphs of their 8-bit code, arcs are flattened into line moves, references resolved,
/// capitals scaled to 1 unit and the letter gap taken from the font's LetterSpacing. Writes a
/// report line per glyph. Throws Error naming the file (`name`) when the bytes cannot be a font;
/// the table then has every move count 0 and the report is empty.
void ParseLffFont(std::string_view bytes, const std::string& name, StrokeFont& font,
                  FontReport& report);

}  // namespace stylor
