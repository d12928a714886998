#include "support/font_text.h"

#include "engrave/fonts/fnt_reader.h"

namespace stylor::test {

std::unique_ptr<StrokeFont> FontFromText(const std::string& text, FontReport* report) {
  auto font = std::make_unique<StrokeFont>();
  FontReport unused;
  ParseFont(text, "font.fnt", *font, report != nullptr ? *report : unused);
  return font;
}

std::string ReferenceChainFont(int levels) {
  std::string font = "# Format: LibreCAD Font 1\n[0045] E\n0,0;0,10;6,10\n";
  char32_t next = 0xE000;
  const auto hex = [](char32_t codePoint) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string digits;
    for (int shift = 12; shift >= 0; shift -= 4) digits += kHex[(codePoint >> shift) & 0xF];
    return digits;
  };
  for (int top = 0x21; top < 0x100; ++top) {
    if (top == 'E' || (top >= 0x7F && top < 0xA1)) continue;
    std::string below;
    for (int level = 0; level <= levels; ++level) {
      const char32_t codePoint = level == levels ? static_cast<char32_t>(top) : next++;
      font += "[" + hex(codePoint) + "] x\n";
      font += below.empty() ? std::string("0,0;1,10\n") : "C" + below + "\nC" + below + "\n";
      below = hex(codePoint);
    }
  }
  return font;
}

}  // namespace stylor::test
