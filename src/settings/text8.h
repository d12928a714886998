#pragma once

#include <string>
#include <string_view>

namespace stylor {

// Texts in the settings are held as the window holds them (UTF-8). Engraved text and every text
// written into a program or machine file is 8-bit, one byte a character, in Windows-1252: ASCII
// letters, digits and punctuation are unchanged, and the Western European accents, the degree
// sign and the like keep their usual single-byte codes.

/// The UTF-8 text in Windows-1252; a character it cannot hold, or a broken UTF-8 sequence,
/// becomes '?'.
std::string To8Bit(std::string_view utf8);

/// The Windows-1252 text in UTF-8 (the five codes that 1252 leaves undefined map to U+0080..).
std::string From8Bit(std::string_view bytes);

}  // namespace stylor
