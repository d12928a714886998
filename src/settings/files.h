#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "settings/error.h"

namespace stylor {

/// A file that could not be read or written. The message is what the user sees,
/// "<failure> '<path>': <reason>"; `Reason()` is the reason alone.
class FileError : public Error {
 public:
  FileError(std::string_view failure, const std::string& path, std::string reason);
  const std::string& Reason() const { return m_reason; }

 private:
  std::string m_reason;
};

/// A file refused by ReadWholeFile for its size alone, so that a reader can say what the cap is for.
class FileTooLarge : public FileError {
 public:
  FileTooLarge(std::string_view failure, const std::string& path, std::size_t maxBytes);
  std::size_t MaxBytes() const { return m_maxBytes; }

 private:
  std::size_t m_maxBytes;
};

/// "4 MiB" for a whole number of mebibytes, else "<n> characters".
std::string SizeText(std::size_t bytes);

/// The whole of the regular file `path`. A folder, a named pipe or a device is refused before it
/// is opened (opening a serial port can reset the controller behind it, and a pipe would keep the
/// reader waiting); a file larger than `maxBytes` throws FileTooLarge. Throws FileError starting
/// with `failure` ("Cannot read the machine file").
std::string ReadWholeFile(const std::string& path, std::size_t maxBytes, std::string_view failure);

/// The regular file `path` opened for reading piece by piece, with the checks of ReadWholeFile:
/// a folder, pipe or device is refused before it is opened, a file larger than `maxBytes`
/// throws FileTooLarge, now or once reading goes past the cap. Throws FileError starting with
/// `failure`.
class FileReader {
 public:
  FileReader(const std::string& path, std::size_t maxBytes, std::string_view failure);
  ~FileReader();
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;
  /// The size the file had when it was opened.
  std::size_t Size() const { return m_size; }
  /// Reads at most `count` bytes into `into`; 0 at the end of the file.
  std::size_t Read(char* into, std::size_t count);

 private:
  std::string m_path;
  std::size_t m_maxBytes;
  std::string m_failure;
  int m_fd = -1;
  std::size_t m_size = 0;
  std::size_t m_read = 0;
};

/// Whether the file is flushed to the disk before it takes the old one's place: worth it for a
/// set-up saved now and then, too slow for thousands of program files.
enum class Durability { Flushed, Renamed };

/// What a replacement does when the name it is given is a symbolic link: a file the user picked
/// is replaced through its link; a name that the run made up (Many Files, a batch folder) is only
/// ever written as a regular file, so a link planted under it is refused.
enum class Links { Follow, Refuse };

/// A new version of the file `path`, written in pieces into a temporary file and put in the old
/// one's place by Commit. Until then the old file stays byte for byte as it was; a writer
/// destroyed without Commit removes its temporary file. A folder, pipe, device, write-protected
/// file, dangling link or link loop is refused on construction, as is a file in a folder that
/// cannot take the temporary file. Every fault throws FileError starting with `failure`
/// ("Cannot write the program file").
///
/// The temporary files of a process live in one run folder per target folder,
/// ".stylor-run-<pid>", created mode 0700 and locked while the process lives; each file is
/// created mode 0600 and given the old file's mode (or the usual one) before it is renamed.
/// SIGINT, SIGTERM and SIGHUP remove the run folders before the process dies of the signal; a
/// run folder whose process died otherwise (SIGKILL) is removed by the next process that writes
/// in that folder, found by its free lock, so a reused pid never matters. SIGXFSZ is ignored, so a
/// file-size limit shows as a write fault.
class ReplacingFile {
 public:
  ReplacingFile(const std::string& path, std::string_view failure,
                Durability durability = Durability::Renamed, Links links = Links::Follow);
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  void Write(std::string_view bytes);
  /// Closes the temporary file; a late write fault (a full disk) shows here. Commit calls it.
  void Close();
  /// Closes the temporary file and renames it over the target.
  void Commit();
  /// True when the old file had other names (hard links): they keep the old version.
  bool LeavesOtherNames() const { return m_otherNames; }
  /// The folder that holds the target, as run folders are keyed ("." for none).
  const std::string& Folder() const { return m_folder; }

 private:
  [[noreturn]] void Fail(int errorNumber) const;
  void Release();

  std::string m_path;     // as the user named it, for messages
  std::string m_target;   // the file that is replaced (a symbolic link's target)
  std::string m_folder;
  std::string m_temporary;
  std::string m_failure;
  Durability m_durability;
  int m_descriptor = -1;
  bool m_committed = false;
  bool m_holdsRunFolder = false;
  bool m_otherNames = false;
};

/// While alive, the replacing files of `folder` that are committed are one series: the run
/// folder holds a mark saying so. A process killed during the renames leaves the mark, and the
/// next process writing in the folder finishes the renames of the complete series (see
/// TakeFileNotices). SIGINT, SIGTERM and SIGHUP wait until the series is in place.
class SeriesCommit {
 public:
  explicit SeriesCommit(const std::string& folder);
  ~SeriesCommit();
  SeriesCommit(const SeriesCommit&) = delete;
  SeriesCommit& operator=(const SeriesCommit&) = delete;

 private:
  std::string m_mark;
};

/// Sets up the run's signal handling described at ReplacingFile (once; every writer here calls
/// it). A writer of other temporary files calls it before its first write, so that a file-size
/// limit shows as a write fault there too.
void InstallFileSignalHandlers();

/// What the clean-up of earlier runs did that the user should know (a series finished), each
/// once; empty when nothing happened.
std::vector<std::string> TakeFileNotices();

/// Replaces the file `path` by `bytes` as ReplacingFile does.
void ReplaceFile(const std::string& path, std::string_view bytes, std::string_view failure,
                 Durability durability = Durability::Renamed);

/// Throws FileError when `path` names a folder, a named pipe or a device; a missing file passes.
void RefuseNonRegularFile(const std::string& path, std::string_view failure);

/// Bytes added to the end of the file `path` (created when missing), whole or not at all: a
/// write fault, a destruction without Commit, or SIGINT, SIGTERM or SIGHUP during the writing
/// cut the file back to its old length (a file it created is removed). A folder, pipe, device or
/// dangling link is refused before it is opened for writing. Faults throw FileError.
class AppendingFile {
 public:
  AppendingFile(const std::string& path, std::string_view failure);
  ~AppendingFile();
  AppendingFile(const AppendingFile&) = delete;
  AppendingFile& operator=(const AppendingFile&) = delete;

  void Write(std::string_view bytes);
  void Commit();

 private:
  [[noreturn]] void CutBackAndFail(int errorNumber);
  void CutBack();

  std::string m_path;
  std::string m_failure;
  int m_descriptor = -1;
  long long m_oldLength = 0;
  bool m_created = false;
  int m_slot = -1;
};

/// Adds `bytes` to the end of the file `path` as AppendingFile does.
void AppendToFile(const std::string& path, std::string_view bytes, std::string_view failure);

}  // namespace stylor
