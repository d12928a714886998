#pragma once

#include <string_view>

namespace stylor {

/// The line splitter of the text files that end their lines in any of the usual ways: takes the
/// next line of `rest` off its front, without its line end: LF, CR LF or a CR alone (a file
/// saved with the line ends of old Macs). False when `rest` is empty.
bool TakeLine(std::string_view& rest, std::string_view& line);

/// `bytes` without a leading UTF-8 byte order mark.
std::string_view WithoutByteOrderMark(std::string_view bytes);

}  // namespace stylor
