#pragma once

#include <string>
#include <string_view>

#include "engrave/fonts/stroke_font.h"

namespace stylor {

/// Reads the bytes of a .fnt stroke font file into `font` in place and writes one report line per
/// glyph section; `name` names the file in messages. Throws Error naming it when the bytes hold
/// binary data, define no character, or give one character more than 200 moves; the table then
/// has every move count 0 and the report is empty.
void ParseFont(std::string_view bytes, const std::string& name, StrokeFont& font,
               FontReport& report);

}  // namespace stylor
