#include "settings/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace stylor {

std::FILE* OpenRegularFile(const std::string& path, std::string& reason) {
  const int descriptor = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (descriptor < 0) {
    reason = std::strerror(errno);
    return nullptr;
  }
  struct stat info {};
  std::FILE* file = nullptr;
  if (::fstat(descriptor, &info) != 0) {
    reason = std::strerror(errno);
  } else if (S_ISDIR(info.st_mode)) {
    reason = std::strerror(EISDIR);
  } else if (!S_ISREG(info.st_mode)) {
    reason = "it is not a regular file (a device or a pipe, say)";
  } else if (::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK) != 0 ||
             (file = ::fdopen(descriptor, "rb")) == nullptr) {
    reason = std::strerror(errno);
  }
  if (file == nullptr) ::close(descriptor);
  return file;
}

}  // namespace stylor
