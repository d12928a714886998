#include "settings/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "settings/numbers.h"

namespace stylor {
namespace {

constexpr const char* kNotRegular = "it is not a regular file (a device or a pipe, say)";

// Closes a descriptor on every way out of a function.
class Descriptor {
 public:
  explicit Descriptor(int fd) : m_fd(fd) {}
  ~Descriptor() {
    if (m_fd >= 0) ::close(m_fd);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int Get() const { return m_fd; }
  /// Closes now; false (errno set) when the close reports a late write error.
  bool Close() {
    const int result = ::close(m_fd);
    m_fd = -1;
    return result == 0;
  }

 private:
  int m_fd;
};

// Refuses what must not be read or written as a plain file. The check comes before any open
// for writing, and an open for reading is non-blocking, so a pipe never holds the program.
void RequireRegularIfPresent(const struct stat& info, std::string_view failure,
                             const std::string& path) {
  if (S_ISDIR(info.st_mode)) throw FileError(failure, path, std::strerror(EISDIR));
  if (!S_ISREG(info.st_mode)) throw FileError(failure, path, kNotRegular);
}

void WriteAll(int descriptor, std::string_view bytes, std::string_view failure,
              const std::string& path) {
  while (!bytes.empty()) {
    const ssize_t count = ::write(descriptor, bytes.data(), bytes.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      throw FileError(failure, path, std::strerror(errno));
    }
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
}

// Saving through a symbolic link replaces the file it points to, not the link.
std::string ResolvedTarget(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
      std::string target = resolved;
      std::free(resolved);
      return target;
    }
  }
  return path;
}

// The process's id, effective owner and file-creation mask, read once: a job of many files
// would otherwise ask for them once per file.
struct ProcessFacts {
  pid_t pid = ::getpid();
  uid_t uid = ::geteuid();
  gid_t gid = ::getegid();
  mode_t createdMode = [] {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
  }();
};

const ProcessFacts& Facts() {
  static const ProcessFacts facts;
  return facts;
}

// Best effort: makes the rename itself durable.
void SyncDirectoryOf(const std::string& target) {
  const std::size_t slash = target.rfind('/');
  const std::string directory =
      slash == std::string::npos ? "." : (slash == 0 ? "/" : target.substr(0, slash));
  const int descriptor = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (descriptor < 0) return;
  ::fsync(descriptor);
  ::close(descriptor);
}

}  // namespace

std::string SizeText(std::size_t bytes) {
  std::string text;
  if (bytes != 0 && bytes % (1024 * 1024) == 0) {
    AppendInteger(text, static_cast<long long>(bytes / (1024 * 1024)));
    return text + " MiB";
  }
  AppendInteger(text, static_cast<long long>(bytes));
  return text + " characters";
}

FileTooLarge::FileTooLarge(std::string_view failure, const std::string& path, std::size_t maxBytes)
    : FileError(failure, path, "it is larger than " + SizeText(maxBytes)), m_maxBytes(maxBytes) {}

FileError::FileError(std::string_view failure, const std::string& path, std::string reason)
    : Error(std::string(failure) + " '" + path + "': " + reason), m_reason(std::move(reason)) {}

std::string ReadWholeFile(const std::string& path, std::size_t maxBytes,
                          std::string_view failure) {
  struct stat before {};
  if (::stat(path.c_str(), &before) != 0) throw FileError(failure, path, std::strerror(errno));
  RequireRegularIfPresent(before, failure, path);
  if (static_cast<unsigned long long>(before.st_size) > maxBytes) {
    throw FileTooLarge(failure, path, maxBytes);
  }
  // Non-blocking, and checked again once open: the name may have been given to a pipe between
  // the two looks.
  Descriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (file.Get() < 0) throw FileError(failure, path, std::strerror(errno));
  struct stat info {};
  if (::fstat(file.Get(), &info) != 0) throw FileError(failure, path, std::strerror(errno));
  RequireRegularIfPresent(info, failure, path);
  if (static_cast<unsigned long long>(info.st_size) > maxBytes) {
    throw FileTooLarge(failure, path, maxBytes);
  }
  std::string bytes;
  // One byte more than the size says, so that the usual read ends with the end-of-file read
  // instead of growing the buffer.
  bytes.resize(std::min<std::size_t>(static_cast<std::size_t>(info.st_size) + 1, maxBytes + 1));
  std::size_t filled = 0;
  // The size may change while reading: read to the end, but never past the cap.
  for (;;) {
    if (filled == bytes.size()) {
      if (bytes.size() >= maxBytes + 1) break;
      bytes.resize(std::min(maxBytes + 1, std::max<std::size_t>(bytes.size() * 2, 4096)));
    }
    const ssize_t count = ::read(file.Get(), bytes.data() + filled, bytes.size() - filled);
    if (count < 0) {
      if (errno == EINTR) continue;
      throw FileError(failure, path, std::strerror(errno));
    }
    if (count == 0) break;
    filled += static_cast<std::size_t>(count);
  }
  if (filled > maxBytes) throw FileTooLarge(failure, path, maxBytes);
  bytes.resize(filled);
  return bytes;
}

ReplacingFile::ReplacingFile(const std::string& path, std::string_view failure,
                             Durability durability)
    : m_path(path), m_target(ResolvedTarget(path)), m_failure(failure), m_durability(durability) {
  struct stat old {};
  const bool replacing = ::stat(m_target.c_str(), &old) == 0;
  if (replacing) {
    RequireRegularIfPresent(old, failure, path);
    // A write-protected file stays protected, as it would against writing it in place.
    if (::access(m_target.c_str(), W_OK) != 0) Fail(errno);
  }
  for (int attempt = 0; m_descriptor < 0; ++attempt) {
    m_temporary = m_target + ".writing-";
    AppendInteger(m_temporary, Facts().pid);
    m_temporary += '-';
    AppendInteger(m_temporary, attempt);
    m_descriptor = ::open(m_temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_descriptor < 0 && (errno != EEXIST || attempt == 99)) {
      // The folder's own fault (missing, not writable) reads best against the name asked for.
      Fail(errno);
    }
  }
  // Best effort: a new file that cannot take the old one's mode or owner keeps the defaults,
  // which is no reason to lose the program. Most files already have them.
  if (replacing) {
    const ProcessFacts& facts = Facts();
    if ((old.st_mode & 07777) != facts.createdMode) ::fchmod(m_descriptor, old.st_mode & 07777);
    if (old.st_uid != facts.uid || old.st_gid != facts.gid) {
      [[maybe_unused]] const int ignored = ::fchown(m_descriptor, old.st_uid, old.st_gid);
    }
  }
}

ReplacingFile::~ReplacingFile() {
  if (m_descriptor >= 0) ::close(m_descriptor);
  if (!m_committed) ::unlink(m_temporary.c_str());
}

void ReplacingFile::Fail(int errorNumber) const {
  throw FileError(m_failure, m_path, std::strerror(errorNumber != 0 ? errorNumber : EIO));
}

void ReplacingFile::Write(std::string_view bytes) {
  WriteAll(m_descriptor, bytes, m_failure, m_path);
}

void ReplacingFile::Close() {
  if (m_descriptor < 0) return;
  // Some file systems cannot sync (EINVAL); the data is then as safe as they make it.
  if (m_durability == Durability::Flushed && ::fsync(m_descriptor) != 0 && errno != EINVAL) {
    Fail(errno);
  }
  const int result = ::close(m_descriptor);
  m_descriptor = -1;
  if (result != 0) Fail(errno);
}

void ReplacingFile::Commit() {
  Close();
  if (::rename(m_temporary.c_str(), m_target.c_str()) != 0) Fail(errno);
  m_committed = true;
  if (m_durability == Durability::Flushed) SyncDirectoryOf(m_target);
}

void ReplaceFile(const std::string& path, std::string_view bytes, std::string_view failure,
                 Durability durability) {
  ReplacingFile file(path, failure, durability);
  file.Write(bytes);
  file.Commit();
}

void RefuseNonRegularFile(const std::string& path, std::string_view failure) {
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0) RequireRegularIfPresent(info, failure, path);
}

void AppendToFile(const std::string& path, std::string_view bytes, std::string_view failure) {
  RefuseNonRegularFile(path, failure);
  Descriptor file(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666));
  if (file.Get() < 0) throw FileError(failure, path, std::strerror(errno));
  WriteAll(file.Get(), bytes, failure, path);
  if (!file.Close()) throw FileError(failure, path, std::strerror(errno != 0 ? errno : EIO));
}

}  // namespace stylor
