#pragma once

#include <cstdio>
#include <string>

namespace stylor {

/// Opens a file for reading ("rb"), or returns nullptr and puts the reason into `reason`. Only a
/// regular file is opened: a named pipe or a terminal would block a reader until someone writes
/// to it, for ever if no one does, so the file is opened without waiting and anything else is
/// refused ("Is a directory", or "it is not a regular file (a device or a pipe, say)").
std::FILE* OpenRegularFile(const std::string& path, std::string& reason);

}  // namespace stylor
