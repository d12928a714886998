#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace stylor {

// Texts in the settings are held as the window holds them (UTF-8). Engraved text and every text
// written into a program or machine file is 8-bit, one byte a character, in Windows-1252: ASCII
// letters, digits and punctuation are unchanged, and the Western European accents, the degree
// sign and the like keep their usual single-byte codes.

/// The one UTF-8 decoder of every reader: the code point of the character that starts at `pos`
/// of `utf8` into `code`, and its length in bytes; 0 for broken UTF-8 (a stray or missing
/// continuation byte, an overlong form, a surrogate or a code beyond U+10FFFF), which would
/// otherwise slip a NUL or a path separator into a text.
std::size_t DecodeUtf8(std::string_view utf8, std::size_t pos, char32_t& code);

/// The length of the UTF-8 character at `pos`, or 0 when it is broken (see DecodeUtf8).
std::size_t Utf8Length(std::string_view bytes, std::size_t pos);

/// The UTF-8 text in Windows-1252; a character it cannot hold, or a broken UTF-8 sequence,
/// becomes '?'.
std::string To8Bit(std::string_view utf8);

/// The Windows-1252 byte of a Unicode code point (0 to 255), or -1 when 1252 has none.
int Windows1252Of(char32_t codePoint);

/// The code point of a text that is exactly one well-formed UTF-8 character, or nothing.
std::optional<char32_t> SingleCodePoint(std::string_view utf8);

/// The Windows-1252 text in UTF-8 (the five codes that 1252 leaves undefined map to U+0080..).
std::string From8Bit(std::string_view bytes);

}  // namespace stylor
