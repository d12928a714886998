#include "settings/text_lines.h"

namespace stylor {

bool TakeLine(std::string_view& rest, std::string_view& line) {
  if (rest.empty()) return false;
  // One pass for either end: looking for an LF first would scan to the end of a file without
  // any for every one of its lines.
  std::size_t length = 0;
  while (length < rest.size() && rest[length] != '\n' && rest[length] != '\r') ++length;
  line = rest.substr(0, length);
  std::size_t lineEnd = 0;
  if (length < rest.size()) {
    lineEnd = rest[length] == '\r' && length + 1 < rest.size() && rest[length + 1] == '\n' ? 2 : 1;
  }
  rest.remove_prefix(length + lineEnd);
  return true;
}

std::string_view WithoutByteOrderMark(std::string_view bytes) {
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  return bytes;
}

}  // namespace stylor
