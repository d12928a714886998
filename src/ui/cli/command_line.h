#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace stylor {

/// Runs `stylor-cli [--dir DIR] ACTION...`: the window's start-up in DIR, then each action like
/// the window's button of that name, left to right on one model. Returns the exit status: 0, 1
/// when an action fails (its message on `err` as "Stylor: ..."), 2 for a usage error (nothing
/// runs). Standard output gets only what width, example, font-report, show and stats print.
int RunCommandLine(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace stylor
