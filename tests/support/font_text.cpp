#include "support/font_text.h"

namespace stylor::test {

std::unique_ptr<StrokeFont> FontFromText(const std::string& text, FontReport* report) {
  auto font = std::make_unique<StrokeFont>();
  FontReport unused;
  ParseFont(text, "font.fnt", *font, report != nullptr ? *report : unused);
  return font;
}

}  // namespace stylor::test
