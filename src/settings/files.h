#pragma once

#include <cstddef>
#include <string>
#include <string_view>

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

/// Whether the file is flushed to the disk before it takes the old one's place: worth it for a
/// set-up saved now and then, too slow for thousands of program files.
enum class Durability { Flushed, Renamed };

/// A new version of the file `path`, written in pieces into a temporary file beside it and put
/// in the old one's place by Commit. Until then the old file stays byte for byte as it was; a
/// writer destroyed without Commit removes its temporary file. A folder, pipe, device or
/// write-protected file is refused on construction. Every fault throws FileError starting with
/// `failure` ("Cannot write the program file").
class ReplacingFile {
 public:
  ReplacingFile(const std::string& path, std::string_view failure,
                Durability durability = Durability::Renamed);
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  void Write(std::string_view bytes);
  /// Closes the temporary file; a late write fault (a full disk) shows here. Commit calls it.
  void Close();
  /// Closes the temporary file and renames it over the target.
  void Commit();

 private:
  [[noreturn]] void Fail(int errorNumber) const;

  std::string m_path;     // as the user named it, for messages
  std::string m_target;   // the file that is replaced (a symbolic link's target)
  std::string m_temporary;
  std::string m_failure;
  Durability m_durability;
  int m_descriptor = -1;
  bool m_committed = false;
};

/// Replaces the file `path` by `bytes` as ReplacingFile does.
void ReplaceFile(const std::string& path, std::string_view bytes, std::string_view failure,
                 Durability durability = Durability::Renamed);

/// Throws FileError when `path` names a folder, a named pipe or a device; a missing file passes.
void RefuseNonRegularFile(const std::string& path, std::string_view failure);

/// Adds `bytes` to the end of the file `path`, creating it when missing, in one write. A folder,
/// pipe or device is refused before it is opened for writing.
void AppendToFile(const std::string& path, std::string_view bytes, std::string_view failure);

}  // namespace stylor
