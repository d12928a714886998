#include "settings/text_lines.h"

#include <algorithm>
#include <cstring>

namespace stylor {

bool TakeLine(std::string_view& rest, std::string_view& line) {
  if (rest.empty()) return false;
  // An LF is looked for in a short stretch only, then a CR before it: searching further would
  // scan to the end of a file without any LF for every one of its lines. A line longer than
  // the stretch, or the last one, takes the one pass for either end.
  constexpr std::size_t kStretch = 256;
  std::size_t length = 0;
  const char* const at = rest.data();
  const auto* lf = static_cast<const char*>(std::memchr(at, '\n', std::min(rest.size(), kStretch)));
  const auto* cr = lf == nullptr ? nullptr
                                 : static_cast<const char*>(std::memchr(at, '\r', static_cast<std::size_t>(lf - at)));
  if (lf != nullptr) {
    length = static_cast<std::size_t>((cr != nullptr ? cr : lf) - at);
  } else {
    while (length < rest.size() && rest[length] != '\n' && rest[length] != '\r') ++length;
  }
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
