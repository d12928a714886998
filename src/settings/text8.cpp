#include "settings/text8.h"

#include <array>
#include <cstdint>
#include <optional>

namespace stylor {
namespace {

// Code points of Windows-1252 bytes 0x80 to 0x9F; the undefined five map to themselves.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char ToByte(char32_t code) {
  if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<char>(code);
  for (std::size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == code) return static_cast<char>(0x80 + i);
  }
  return '?';
}

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

}  // namespace

std::size_t DecodeUtf8(std::string_view utf8, std::size_t pos, char32_t& code) {
  const auto lead = static_cast<unsigned char>(utf8[pos]);
  const std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3
                             : (lead >> 3) == 0x1E ? 4 : 0;
  code = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F
                                                                     : lead & 0x07;
  bool valid = length != 0 && pos + length <= utf8.size();
  for (std::size_t i = 1; valid && i < length; ++i) {
    const auto next = static_cast<unsigned char>(utf8[pos + i]);
    valid = (next & 0xC0) == 0x80;
    code = (code << 6) | (next & 0x3F);
  }
  // An overlong form ("\xC0\x80" for NUL, "\xC0\xAF" for '/'), a surrogate or a code beyond
  // Unicode is broken UTF-8 too: decoded, it would slip a NUL or a path separator into a text.
  static constexpr char32_t kSmallest[5] = {0, 0, 0x80, 0x800, 0x10000};
  valid = valid && code >= kSmallest[length] && code <= 0x10FFFF &&
          !(code >= 0xD800 && code <= 0xDFFF);
  return valid ? length : 0;
}

std::size_t Utf8Length(std::string_view bytes, std::size_t pos) {
  char32_t code = 0;
  return DecodeUtf8(bytes, pos, code);
}

std::string To8Bit(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t pos = 0;
  while (pos < utf8.size()) {
    char32_t code = 0;
    const std::size_t length = DecodeUtf8(utf8, pos, code);
    if (length == 0) {
      out += '?';
      ++pos;
      continue;
    }
    out += ToByte(code);
    pos += length;
  }
  return out;
}

int Windows1252Of(char32_t codePoint) {
  const char byte = ToByte(codePoint);
  if (byte == '?' && codePoint != '?') return -1;
  return static_cast<unsigned char>(byte);
}

std::optional<char32_t> SingleCodePoint(std::string_view utf8) {
  char32_t code = 0;
  if (utf8.empty() || DecodeUtf8(utf8, 0, code) != utf8.size()) return std::nullopt;
  return code;
}

std::string From8Bit(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80 && byte < 0xA0) AppendUtf8(out, kHighControls[byte - 0x80]);
    else AppendUtf8(out, byte);
  }
  return out;
}

}  // namespace stylor
