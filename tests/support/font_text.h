#pragma once

#include <memory>
#include <string>

#include "engrave/fonts/stroke_font.h"

namespace stylor::test {

/// A font of one glyph, an L 0.6 units wide: plunge at the top of the stem, down, along the
/// baseline, lift. Five moves, small enough to read a whole program by eye.
inline constexpr const char* kLetterLFont =
    "SYM L\nG00 X0 Y1\nG01 Z-1\nG01 X0 Y0\nG01 X0.6 Y0\nG00 Z1\n";

/// An LFF font of reference chains: each chain starts with a stroke under a private code point,
/// each of `levels` levels above draws the level below twice, and its top is a Windows-1252
/// character (every one from '!' on but 'E', which the font draws plainly). Copying the strokes
/// at every level made 117 KB of such chains take a gigabyte.
std::string ReferenceChainFont(int levels);

/// A font table parsed from the text of a font file; `report` receives the font report.
std::unique_ptr<StrokeFont> FontFromText(const std::string& text, FontReport* report = nullptr);

}  // namespace stylor::test
