#pragma once

#include <map>
#include <string>
#include <string_view>

namespace stylor {

enum class WriteMode {
  Create,  // create the file, or empty it when it exists
  Append,  // add to the end of the file, creating it when missing
};

/// Turns every "\n" of program text into the CR LF line end of the program files.
std::string ToCrLf(std::string_view text);

/// Where program files go. Every writer hands over its whole text in one call; the file is opened,
/// written and closed within the call, so nothing stays open between the steps of a job.
class ProgramStore {
 public:
  virtual ~ProgramStore() = default;
  /// Writes `text` ("\n" line ends) to the program file `fileName`; throws Error naming the file
  /// and the system's reason when it cannot be opened, written or closed.
  virtual void Write(const std::string& fileName, WriteMode mode, std::string_view text) = 0;
};

/// Program files on disk (file names are the platform's native byte strings).
class FileProgramStore final : public ProgramStore {
 public:
  void Write(const std::string& fileName, WriteMode mode, std::string_view text) override;
};

/// Program files held in memory, byte for byte as the disk would get them (CR LF included):
/// for the preview, the tests and the benchmarks.
class MemoryProgramStore final : public ProgramStore {
 public:
  void Write(const std::string& fileName, WriteMode mode, std::string_view text) override;
  /// The bytes of one file ("" when never written).
  const std::string& Bytes(const std::string& fileName) const;
  const std::map<std::string, std::string>& Files() const { return m_files; }
  void Clear() { m_files.clear(); }

 private:
  std::map<std::string, std::string> m_files;
};

}  // namespace stylor
