#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace stylor {

/// The one error type of the program; its message is the text the user sees.
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// The message as shown to the user: a full stop is added when the code of the last character is
/// above that of the full stop (46), so "... value" gets one and "done." stays as it is.
std::string WithFullStop(std::string_view message);

}  // namespace stylor
