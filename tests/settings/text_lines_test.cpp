#include "settings/text_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace stylor {
namespace {

std::vector<std::string> Lines(std::string_view bytes) {
  std::vector<std::string> lines;
  std::string_view line;
  while (TakeLine(bytes, line)) lines.emplace_back(line);
  return lines;
}

// Every line end, mixed; lines shorter and longer than the stretch an LF is first looked for
// in; a file of old Mac line ends, whose lines have no LF anywhere after them.
TEST(TakeLine, SplitsAtEveryKindOfLineEnd) {
  const std::string wide(300, 'w');
  const struct {
    std::string bytes;
    std::vector<std::string> lines;
  } kCases[] = {
      {"a\nb\r\nc\rd", {"a", "b", "c", "d"}},
      {"a\r\n\r\n\nb\n", {"a", "", "", "b"}},
      {"x\ry\nz", {"x", "y", "z"}},
      {wide + "\n" + wide + "\r\n" + wide, {wide, wide, wide}},
      {"a\r" + wide + "\rb\n", {"a", wide, "b"}},
      {"\n", {""}},
      {"", {}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.bytes.substr(0, 20));
    EXPECT_EQ(Lines(c.bytes), c.lines);
  }
}

}  // namespace
}  // namespace stylor
