#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "engrave/fonts/stroke_font.h"

namespace stylor {

/// The formats of font file that LoadFont reads.
enum class FontFormat { Fnt, Lff, Cxf };

/// The format of a font file: by its content (a "SYM " line is .fnt; a "# Format:" header or
/// the first glyph's lines tell LFF from CXF), and by the extension of `name` only when the
/// content tells nothing; .fnt when neither does.
FontFormat DetectFontFormat(std::string_view bytes, std::string_view name);

/// Largest font file that is read: far more than a table of 256 full glyphs takes, and room for
/// the large single-line fonts with thousands of glyphs of which only some fit the table.
constexpr std::size_t kMaxFontFileBytes = std::size_t{16} << 20;

/// The message of a font file that does not load: "Cannot load the font file 'name': reason".
std::string FontLoadFailure(const std::string& name, const std::string& reason);

/// Loads the font file `fileName` (a regular file of at most kMaxFontFileBytes): a .fnt stroke
/// font, or a single-line font in LFF or CXF, told apart by content before extension. Throws
/// Error naming the file when it cannot be read, and what the reader of its format throws; the
/// table then has every move count 0 and the report is empty.
void LoadFont(const std::string& fileName, StrokeFont& font, FontReport& report);

}  // namespace stylor
