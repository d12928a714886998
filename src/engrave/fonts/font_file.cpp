#include "engrave/fonts/font_file.h"

#include "engrave/fonts/cxf_reader.h"
#include "engrave/fonts/fnt_reader.h"
#include "engrave/fonts/lff_reader.h"
#include "engrave/fonts/polyline_font.h"
#include "settings/error.h"
#include "settings/files.h"
#include "settings/text_lines.h"

namespace stylor {
namespace {

constexpr std::string_view kLoadFailure = "Cannot load the font file";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(text[i]) != lower(prefix[i])) return false;
  }
  return true;
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
  for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
    if (StartsWithNoCase(text.substr(at), part)) return true;
  }
  return false;
}

bool IsCxfRecord(std::string_view line) {
  return line.starts_with("L ") || line.starts_with("A ") || line.starts_with("AR ");
}

}  // namespace

FontFormat DetectFontFormat(std::string_view bytes, std::string_view name) {
  bool inGlyph = false;
  bytes = WithoutByteOrderMark(bytes);
  std::string_view line;
  while (TakeLine(bytes, line)) {
    if (line.starts_with("SYM ")) return FontFormat::Fnt;
    if (line.starts_with('#')) {
      if (!ContainsNoCase(line, "Format:")) continue;
      if (ContainsNoCase(line, "LibreCAD")) return FontFormat::Lff;
      if (ContainsNoCase(line, "QCad")) return FontFormat::Cxf;
      continue;
    }
    if (line.starts_with('[')) {
      inGlyph = true;
      continue;
    }
    if (!inGlyph || line.find_first_not_of(" \t") == std::string_view::npos) continue;
    return IsCxfRecord(line) ? FontFormat::Cxf : FontFormat::Lff;
  }
  const std::size_t dot = name.rfind('.');
  const std::string_view extension = dot == std::string_view::npos ? "" : name.substr(dot);
  if (StartsWithNoCase(extension, ".lff") && extension.size() == 4) return FontFormat::Lff;
  if (StartsWithNoCase(extension, ".cxf") && extension.size() == 4) return FontFormat::Cxf;
  return FontFormat::Fnt;
}

std::string FontLoadFailure(const std::string& name, const std::string& reason) {
  return std::string(kLoadFailure) + " '" + name + "': " + reason;
}

void LoadFont(const std::string& fileName, StrokeFont& font, FontReport& report) {
  std::string bytes;
  try {
    bytes = ReadWholeFile(fileName, kMaxFontFileBytes, kLoadFailure);
  } catch (const Error&) {
    GlyphTableBuilder::Empty(font);
    report.clear();
    throw;
  }
  switch (DetectFontFormat(bytes, fileName)) {
    case FontFormat::Lff: ParseLffFont(bytes, fileName, font, report); break;
    case FontFormat::Cxf: ParseCxfFont(bytes, fileName, font, report); break;
    case FontFormat::Fnt: ParseFont(bytes, fileName, font, report); break;
  }
}

}  // namespace stylor
