#include "settings/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <utility>

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

// The words for a write fault. A file-size limit (ulimit -f) reads "File too large", as SIGXFSZ
// is ignored.
std::string ReasonFor(int errorNumber) { return std::strerror(errorNumber != 0 ? errorNumber : EIO); }

void WriteAll(int descriptor, std::string_view bytes, std::string_view failure,
              const std::string& path) {
  while (!bytes.empty()) {
    const ssize_t count = ::write(descriptor, bytes.data(), bytes.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      throw FileError(failure, path, ReasonFor(errno));
    }
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
}

[[noreturn]] void FailOnBrokenLink(int errorNumber, std::string_view failure,
                                   const std::string& path) {
  if (errorNumber == ELOOP) throw FileError(failure, path, "it is a symbolic link in a loop");
  if (errorNumber == ENOENT) {
    throw FileError(failure, path, "it is a symbolic link to a file that does not exist");
  }
  throw FileError(failure, path, ReasonFor(errorNumber));
}

// Saving through a symbolic link replaces the file it points to, not the link. A link that
// leads nowhere (dangling, or a loop) is refused: replacing it would turn it into a plain file.
// A name the run made up is never followed.
std::string ResolvedTarget(const std::string& path, std::string_view failure, Links links) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  if (links == Links::Refuse) {
    throw FileError(failure, path,
                    "it is a symbolic link, and the files of a run are only written as regular "
                    "files");
  }
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) FailOnBrokenLink(errno, failure, path);
  std::string target = resolved;
  std::free(resolved);
  return target;
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

// The folder part of a path, as run folders are keyed.
std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

constexpr std::string_view kRunPrefix = ".stylor-run-";
// Inside a run folder: the mark of a series whose renames have begun. Temporary files are named
// "<n>.<target name>", so the mark never meets one of them.
constexpr const char* kSeriesMark = "series";

// What a signal handler may touch: fixed slots, each filled before it is marked used. Only
// async-signal-safe calls reach them from the handler.
struct RunSlot {
  std::atomic<int> used{0};
  int parentFd = -1;
  int runFd = -1;
  char name[64] = {};
};
struct AppendSlot {
  std::atomic<int> used{0};
  int fd = -1;
  off_t length = 0;
  char createdPath[PATH_MAX] = {};  // empty unless the append created the file
};
constexpr int kRunSlots = 64;
constexpr int kAppendSlots = 4;
RunSlot g_runSlots[kRunSlots];
AppendSlot g_appendSlots[kAppendSlots];
std::atomic<int> g_holding{0};   // > 0 while a series is being put in place
std::atomic<int> g_pending{0};   // a signal that waits for the series
std::atomic<int> g_cleaned{0};

// Empties a run folder and removes it, with async-signal-safe calls only.
void EmptyAndRemove(int parentFd, int runFd, const char* name) {
  alignas(8) static char entries[16384];
  for (;;) {
    ::lseek(runFd, 0, SEEK_SET);
    const long count = ::syscall(SYS_getdents64, runFd, entries, sizeof entries);
    if (count <= 0) break;
    int removed = 0;
    for (long at = 0; at < count;) {
      // struct linux_dirent64: ino (8), off (8), reclen (2), type (1), name
      unsigned short length = 0;
      std::memcpy(&length, entries + at + 16, sizeof length);
      const char* entry = entries + at + 19;
      if (std::strcmp(entry, ".") != 0 && std::strcmp(entry, "..") != 0 &&
          ::unlinkat(runFd, entry, 0) == 0) {
        ++removed;
      }
      at += length;
    }
    if (removed == 0) break;
  }
  ::unlinkat(parentFd, name, AT_REMOVEDIR);
}

void CleanUpRun() {
  if (g_cleaned.exchange(1) != 0) return;
  for (AppendSlot& slot : g_appendSlots) {
    if (slot.used.load() == 0) continue;
    [[maybe_unused]] const int cut = ::ftruncate(slot.fd, slot.length);
    if (slot.createdPath[0] != '\0') ::unlink(slot.createdPath);
  }
  for (RunSlot& slot : g_runSlots) {
    if (slot.used.load() != 0) EmptyAndRemove(slot.parentFd, slot.runFd, slot.name);
  }
}

void DieOf(int signalNumber) {
  CleanUpRun();
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  ::sigemptyset(&fallback.sa_mask);
  ::sigaction(signalNumber, &fallback, nullptr);
  // Inside the handler the signal is blocked until it returns; then it ends the process with
  // the signal's own status.
  ::raise(signalNumber);
}

void OnSignal(int signalNumber) {
  const int saved = errno;
  if (g_holding.load() > 0) {
    g_pending.store(signalNumber);
  } else {
    DieOf(signalNumber);
  }
  errno = saved;
}

// Ctrl+C, a closed terminal and a plain kill remove the run's files before the process ends. A
// signal that was ignored when the process started (nohup) stays ignored. A file-size limit must
// show as a write fault, not end the process.
void InstallSignalHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    for (const int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
      struct sigaction old {};
      if (::sigaction(signalNumber, nullptr, &old) != 0 || old.sa_handler != SIG_DFL) continue;
      struct sigaction handler {};
      handler.sa_handler = OnSignal;
      ::sigfillset(&handler.sa_mask);
      ::sigaction(signalNumber, &handler, nullptr);
    }
    struct sigaction old {};
    if (::sigaction(SIGXFSZ, nullptr, &old) == 0 && old.sa_handler == SIG_DFL) {
      struct sigaction ignore {};
      ignore.sa_handler = SIG_IGN;
      ::sigemptyset(&ignore.sa_mask);
      ::sigaction(SIGXFSZ, &ignore, nullptr);
    }
  });
}

struct RunFolder {
  std::string path;
  std::string name;
  int parentFd = -1;
  int runFd = -1;
  int slot = -1;  // -1 when every slot is taken: the next run tidies this one after a signal
  long live = 0;
  unsigned long next = 0;
};

struct RunState {
  std::map<std::string, RunFolder> folders;
  std::set<std::string> tidied;
  std::vector<std::string> notices;
};

RunState& Runs() {
  static RunState state;
  return state;
}

// A run folder left by a process that is gone: its lock is free. A series whose renames had
// begun is finished, in the order it was written; anything else is removed. Folders of other
// owners are left alone: their files are not ours to move.
void TidyRunFolder(const std::string& folder, int parentFd, const std::string& name) {
  const int runFd = ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (runFd < 0) return;
  struct stat info {};
  if (::fstat(runFd, &info) != 0 || info.st_uid != Facts().uid ||
      ::flock(runFd, LOCK_EX | LOCK_NB) != 0) {
    ::close(runFd);
    return;
  }
  if (::faccessat(runFd, kSeriesMark, F_OK, AT_SYMLINK_NOFOLLOW) == 0) {
    std::vector<std::pair<unsigned long long, std::string>> pending;
    if (DIR* entries = ::fdopendir(::dup(runFd))) {
      while (const dirent* entry = ::readdir(entries)) {
        const std::string_view entryName = entry->d_name;
        const std::size_t dot = entryName.find('.');
        if (dot == 0 || dot == std::string_view::npos || dot + 1 == entryName.size()) continue;
        unsigned long long order = 0;
        if (std::from_chars(entryName.data(), entryName.data() + dot, order).ptr !=
            entryName.data() + dot) {
          continue;
        }
        pending.emplace_back(order, std::string(entryName));
      }
      ::closedir(entries);
    }
    std::sort(pending.begin(), pending.end());
    std::size_t placed = 0;
    for (const auto& [order, entryName] : pending) {
      const std::string targetName = entryName.substr(entryName.find('.') + 1);
      if (::renameat(runFd, entryName.c_str(), parentFd, targetName.c_str()) == 0) ++placed;
    }
    if (placed != 0) {
      std::string notice = "a run that was stopped while putting its series of programs in place "
                           "left ";
      AppendInteger(notice, static_cast<long long>(placed));
      notice += placed == 1 ? " program" : " programs";
      notice += " of it waiting in '" + folder + "': they are now in place, so the series is "
                "whole";
      Runs().notices.push_back(std::move(notice));
    }
  }
  EmptyAndRemove(parentFd, runFd, name.c_str());
  ::close(runFd);
}

void TidyFolder(const std::string& folder) {
  const int parentFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (parentFd < 0) return;
  std::vector<std::string> found;
  if (DIR* entries = ::fdopendir(::dup(parentFd))) {
    while (const dirent* entry = ::readdir(entries)) {
      if (std::string_view(entry->d_name).starts_with(kRunPrefix)) found.emplace_back(entry->d_name);
    }
    ::closedir(entries);
  }
  for (const std::string& name : found) TidyRunFolder(folder, parentFd, name);
  ::close(parentFd);
}

// The run folder of this process in `folder`, made on first use; each call is matched by
// ReleaseRunFolder. Throws FileError naming `path`.
RunFolder& AcquireRunFolder(const std::string& folder, std::string_view failure,
                            const std::string& path, bool replacing) {
  InstallSignalHandlers();
  RunState& runs = Runs();
  if (!runs.tidied.contains(folder)) {
    TidyFolder(folder);
    runs.tidied.insert(folder);
  }
  RunFolder& run = runs.folders[folder];
  if (run.live > 0) {
    ++run.live;
    return run;
  }
  const auto fail = [&](int errorNumber) {
    runs.folders.erase(folder);
    // A file that may be written, in a folder that may not: the replacement needs a new file
    // beside the old one.
    if (replacing && (errorNumber == EACCES || errorNumber == EPERM || errorNumber == EROFS)) {
      throw FileError(failure, path,
                      "its folder is read-only, so the program cannot be replaced safely");
    }
    throw FileError(failure, path, std::strerror(errorNumber));
  };
  const int parentFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (parentFd < 0) fail(errno);
  std::string name;
  for (int attempt = 0;; ++attempt) {
    name = std::string(kRunPrefix);
    AppendInteger(name, Facts().pid);
    if (attempt > 0) {
      name += '-';
      AppendInteger(name, attempt);
    }
    if (::mkdirat(parentFd, name.c_str(), 0700) == 0) break;
    const int error = errno;
    if (error == EEXIST && attempt < 9) {
      // Left by a dead process of the same id, or planted: tidy what is ours, try another name.
      TidyRunFolder(folder, parentFd, name);
      if (::mkdirat(parentFd, name.c_str(), 0700) == 0) break;
      continue;
    }
    ::close(parentFd);
    fail(error);
  }
  const int runFd = ::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (runFd < 0 || ::flock(runFd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    if (runFd >= 0) ::close(runFd);
    ::unlinkat(parentFd, name.c_str(), AT_REMOVEDIR);
    ::close(parentFd);
    fail(error);
  }
  run.path = folder + "/" + name;
  run.name = name;
  run.parentFd = parentFd;
  run.runFd = runFd;
  run.live = 1;
  run.next = 0;
  run.slot = -1;
  for (int slot = 0; slot < kRunSlots; ++slot) {
    RunSlot& free = g_runSlots[slot];
    if (free.used.load() != 0) continue;
    free.parentFd = parentFd;
    free.runFd = runFd;
    std::memcpy(free.name, name.c_str(), std::min(name.size() + 1, sizeof free.name));
    free.used.store(1);
    run.slot = slot;
    break;
  }
  return run;
}

void ReleaseRunFolder(const std::string& folder) {
  RunState& runs = Runs();
  const auto found = runs.folders.find(folder);
  if (found == runs.folders.end() || --found->second.live > 0) return;
  const RunFolder& run = found->second;
  if (run.slot >= 0) g_runSlots[run.slot].used.store(0);
  if (::unlinkat(run.parentFd, run.name.c_str(), AT_REMOVEDIR) != 0) {
    EmptyAndRemove(run.parentFd, run.runFd, run.name.c_str());
  }
  ::close(run.runFd);
  ::close(run.parentFd);
  runs.folders.erase(found);
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

FileReader::FileReader(const std::string& path, std::size_t maxBytes, std::string_view failure)
    : m_path(path), m_maxBytes(maxBytes), m_failure(failure) {
  struct stat before {};
  if (::stat(path.c_str(), &before) != 0) throw FileError(failure, path, std::strerror(errno));
  RequireRegularIfPresent(before, failure, path);
  if (static_cast<unsigned long long>(before.st_size) > maxBytes) {
    throw FileTooLarge(failure, path, maxBytes);
  }
  // Non-blocking, and checked again once open: the name may have been given to a pipe between
  // the two looks.
  m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (m_fd < 0) throw FileError(failure, path, std::strerror(errno));
  try {
    struct stat info {};
    if (::fstat(m_fd, &info) != 0) throw FileError(failure, path, std::strerror(errno));
    RequireRegularIfPresent(info, failure, path);
    if (static_cast<unsigned long long>(info.st_size) > maxBytes) {
      throw FileTooLarge(failure, path, maxBytes);
    }
    m_size = static_cast<std::size_t>(info.st_size);
  } catch (...) {
    ::close(m_fd);
    throw;
  }
}

FileReader::~FileReader() {
  if (m_fd >= 0) ::close(m_fd);
}

std::size_t FileReader::Read(char* into, std::size_t count) {
  // The size may change while reading: read to the end, but never past the cap.
  for (;;) {
    const ssize_t got = ::read(m_fd, into, count);
    if (got < 0) {
      if (errno == EINTR) continue;
      throw FileError(m_failure, m_path, std::strerror(errno));
    }
    m_read += static_cast<std::size_t>(got);
    if (m_read > m_maxBytes) throw FileTooLarge(m_failure, m_path, m_maxBytes);
    return static_cast<std::size_t>(got);
  }
}

ReplacingFile::ReplacingFile(const std::string& path, std::string_view failure,
                             Durability durability, Links links)
    : m_path(path),
      m_target(ResolvedTarget(path, failure, links)),
      m_folder(FolderOf(m_target)),
      m_failure(failure),
      m_durability(durability) {
  struct stat old {};
  const bool replacing = ::stat(m_target.c_str(), &old) == 0;
  if (replacing) {
    RequireRegularIfPresent(old, failure, path);
    // A write-protected file stays protected, as it would against writing it in place.
    if (::access(m_target.c_str(), W_OK) != 0) Fail(errno);
    m_otherNames = old.st_nlink > 1;
  }
  RunFolder& run = AcquireRunFolder(m_folder, failure, path, replacing);
  m_holdsRunFolder = true;
  try {
    const std::string name = BaseNameOf(m_target);
    for (int attempt = 0; m_descriptor < 0; ++attempt) {
      m_temporary = run.path + '/';
      AppendInteger(m_temporary, static_cast<long long>(run.next++));
      m_temporary += '.';
      m_temporary += name;
      // Private from the first byte: the program gets its final mode only once complete.
      m_descriptor = ::open(m_temporary.c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
      if (m_descriptor < 0 && (errno != EEXIST || attempt == 99)) Fail(errno);
    }
    const ProcessFacts& facts = Facts();
    const mode_t wanted = replacing ? (old.st_mode & 07777) : facts.createdMode;
    // Best effort: a new file that cannot take the old one's mode or owner keeps the defaults,
    // which is no reason to lose the program. Most files already have them.
    if (wanted != (0600 & facts.createdMode)) ::fchmod(m_descriptor, wanted);
    if (replacing && (old.st_uid != facts.uid || old.st_gid != facts.gid)) {
      [[maybe_unused]] const int ignored = ::fchown(m_descriptor, old.st_uid, old.st_gid);
    }
  } catch (...) {
    Release();
    throw;
  }
}

ReplacingFile::~ReplacingFile() {
  if (m_descriptor >= 0) ::close(m_descriptor);
  if (!m_committed && !m_temporary.empty()) ::unlink(m_temporary.c_str());
  Release();
}

void ReplacingFile::Release() {
  if (!m_holdsRunFolder) return;
  m_holdsRunFolder = false;
  ReleaseRunFolder(m_folder);
}

void ReplacingFile::Fail(int errorNumber) const {
  throw FileError(m_failure, m_path, ReasonFor(errorNumber));
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
  Release();
  if (m_durability == Durability::Flushed) SyncDirectoryOf(m_target);
}

SeriesCommit::SeriesCommit(const std::string& folder) {
  g_holding.fetch_add(1);
  const auto found = Runs().folders.find(folder.empty() ? "." : folder);
  if (found == Runs().folders.end()) return;
  const int mark = ::openat(found->second.runFd, kSeriesMark,
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (mark < 0) return;
  ::close(mark);
  m_mark = found->second.path + '/' + kSeriesMark;
}

SeriesCommit::~SeriesCommit() {
  if (!m_mark.empty()) ::unlink(m_mark.c_str());
  if (g_holding.fetch_sub(1) == 1) {
    const int pending = g_pending.exchange(0);
    if (pending != 0) DieOf(pending);
  }
}

void InstallFileSignalHandlers() { InstallSignalHandlers(); }

std::vector<std::string> TakeFileNotices() { return std::exchange(Runs().notices, {}); }

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

AppendingFile::AppendingFile(const std::string& path, std::string_view failure)
    : m_path(path), m_failure(failure) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode) &&
      ::stat(path.c_str(), &info) != 0) {
    FailOnBrokenLink(errno, failure, path);
  }
  RefuseNonRegularFile(path, failure);
  InstallSignalHandlers();
  constexpr int kFlags = O_WRONLY | O_APPEND | O_NONBLOCK | O_CLOEXEC;
  m_descriptor = ::open(path.c_str(), kFlags);
  if (m_descriptor < 0 && errno == ENOENT) {
    m_descriptor = ::open(path.c_str(), kFlags | O_CREAT | O_EXCL, 0666);
    m_created = m_descriptor >= 0;
  }
  if (m_descriptor < 0) throw FileError(failure, path, std::strerror(errno));
  if (::fstat(m_descriptor, &info) != 0 || !S_ISREG(info.st_mode)) {
    const int error = S_ISREG(info.st_mode) ? errno : 0;
    ::close(m_descriptor);
    m_descriptor = -1;
    throw FileError(failure, path, error != 0 ? std::strerror(error) : kNotRegular);
  }
  m_oldLength = info.st_size;
  for (int slot = 0; slot < kAppendSlots; ++slot) {
    AppendSlot& free = g_appendSlots[slot];
    if (free.used.load() != 0) continue;
    free.fd = m_descriptor;
    free.length = static_cast<off_t>(m_oldLength);
    free.createdPath[0] = '\0';
    if (m_created && path.size() < sizeof free.createdPath) {
      std::memcpy(free.createdPath, path.c_str(), path.size() + 1);
    }
    free.used.store(1);
    m_slot = slot;
    break;
  }
}

AppendingFile::~AppendingFile() {
  if (m_descriptor < 0) return;
  CutBack();
}

void AppendingFile::CutBack() {
  // The old program ends where it ended; a file that the append created goes again.
  if (m_created) ::unlink(m_path.c_str());
  else [[maybe_unused]] const int cut = ::ftruncate(m_descriptor, static_cast<off_t>(m_oldLength));
  if (m_slot >= 0) g_appendSlots[m_slot].used.store(0);
  m_slot = -1;
  ::close(m_descriptor);
  m_descriptor = -1;
}

void AppendingFile::CutBackAndFail(int errorNumber) {
  CutBack();
  throw FileError(m_failure, m_path, ReasonFor(errorNumber));
}

void AppendingFile::Write(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t count = ::write(m_descriptor, bytes.data(), bytes.size());
    if (count < 0) {
      if (errno == EINTR) continue;
      CutBackAndFail(errno);
    }
    bytes.remove_prefix(static_cast<std::size_t>(count));
  }
}

void AppendingFile::Commit() {
  if (m_descriptor < 0) return;
  if (m_slot >= 0) g_appendSlots[m_slot].used.store(0);
  m_slot = -1;
  const int result = ::close(m_descriptor);
  m_descriptor = -1;
  if (result == 0) return;
  // A late write fault (a network file system): the old program still ends where it ended.
  const int error = errno;
  if (m_created) ::unlink(m_path.c_str());
  else [[maybe_unused]] const int cut = ::truncate(m_path.c_str(), static_cast<off_t>(m_oldLength));
  throw FileError(m_failure, m_path, ReasonFor(error));
}

void AppendToFile(const std::string& path, std::string_view bytes, std::string_view failure) {
  AppendingFile file(path, failure);
  file.Write(bytes);
  file.Commit();
}

}  // namespace stylor
