#pragma once

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace stylor {

enum class WriteMode {
  Create,  // the program replaces the file (or creates it)
  Append,  // the program is added to the end of the file, creating it when missing
  // The program replaces (or creates) a file whose name the run made up, one of a series: it is
  // only ever written as a regular file, and a symbolic link under that name is refused.
  CreateInSeries,
};

/// Receives finished program text ("\n" line ends) in pieces; throws Error when it cannot be
/// written.
class ProgramSink {
 public:
  virtual ~ProgramSink() = default;
  virtual void Write(std::string_view text) = 0;
  /// Takes program text whose lines end in CR LF already, the bytes of a file; the move writer
  /// builds its lines so, and a sink that keeps the bytes takes them without a second pass. One
  /// that reads "\n" text gets them as Write would.
  virtual void WriteBytes(std::string_view bytes);
};

/// Appends `bytes` to `text` with every CR LF turned back into "\n".
void AppendFromCrLf(std::string& text, std::string_view bytes);

/// Appends `text` to `bytes` with every "\n" turned into the CR LF line end of program files.
void AppendCrLf(std::string& bytes, std::string_view text);

/// Copies `text` to `out` with every "\n" turned into CR LF and returns the end of the copy;
/// `out` needs room for twice the text in the worst case.
char* CopyWithCrLf(char* out, std::string_view text);

/// `text` with every "\n" turned into CR LF.
std::string ToCrLf(std::string_view text);

/// Program text held in memory byte for byte as a file would get it (CR LF included).
class MemorySink final : public ProgramSink {
 public:
  void Write(std::string_view text) override { AppendCrLf(m_bytes, text); }
  void WriteBytes(std::string_view bytes) override { m_bytes += bytes; }
  const std::string& Bytes() const { return m_bytes; }
  std::string& Bytes() { return m_bytes; }

 private:
  std::string m_bytes;
};

/// Counts the bytes a program file would get (CR LF included) without keeping them.
class CountingSink final : public ProgramSink {
 public:
  void Write(std::string_view text) override {
    m_bytes += text.size() + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  }
  void WriteBytes(std::string_view bytes) override { m_bytes += bytes.size(); }
  std::size_t Bytes() const { return m_bytes; }

 private:
  std::size_t m_bytes = 0;
};

/// Gathers program text and hands it to a sink in large pieces (as bytes, CR LF line ends), so
/// that the moves of a long job cost one virtual call per piece, not per move. What was not
/// flushed is dropped.
class ProgramText final : public ProgramSink {
 public:
  explicit ProgramText(ProgramSink& sink) : m_sink(sink) {}
  void Write(std::string_view text) override {
    AppendCrLf(Bytes(), text);
    FlushIfLarge();
  }
  void WriteBytes(std::string_view bytes) override {
    Bytes() += bytes;
    FlushIfLarge();
  }
  /// Where text with "\n" line ends goes; it joins the bytes at the next call of any other
  /// member, so the reference is good until then only.
  std::string& Out() { return m_text; }
  /// Where text with CR LF line ends goes, after what went to Out() before.
  std::string& Bytes() {
    if (!m_text.empty()) {
      AppendCrLf(m_bytes, m_text);
      m_text.clear();
    }
    return m_bytes;
  }
  /// Hands the text over once it is large enough to be worth a write.
  void FlushIfLarge() {
    if (Bytes().size() >= kPieceSize) Flush();
  }
  void Flush();

 private:
  static constexpr std::size_t kPieceSize = 64 * 1024;
  ProgramSink& m_sink;
  std::string m_text;
  std::string m_bytes;
};

/// One program file being written. Text goes to it in pieces; Finish ends the writing and
/// Commit puts the program in place: it replaces the file (Create) or is added to its end
/// (Append). Until Commit the file stays byte for byte as it was; a program file destroyed
/// without Commit leaves nothing behind. Throws Error naming the file when it cannot be written.
class ProgramFile : public ProgramSink {
 public:
  /// Ends the writing; every write fault shows here at the latest. Commit calls it when needed.
  virtual void Finish() = 0;
  virtual void Commit() = 0;
};

/// Where program files go: the disk, or memory for the preview, the tests and the benchmarks.
class ProgramStore {
 public:
  virtual ~ProgramStore() = default;
  /// Starts the program file `fileName` (native bytes). A folder, a pipe or a device is refused.
  virtual std::unique_ptr<ProgramFile> Open(const std::string& fileName, WriteMode mode) = 0;
  /// Writes a whole program text ("\n" line ends) in one go.
  void Write(const std::string& fileName, WriteMode mode, std::string_view text);
  /// Commits the finished files of a series, all of them in `folder` (separator included, or
  /// empty for the working folder), as one: see FileProgramStore.
  virtual void CommitSeries(const std::string& folder,
                            const std::vector<std::unique_ptr<ProgramFile>>& files);
  /// What the user should know of the files written since the last call ("the other name keeps
  /// the old program"), each once.
  virtual std::vector<std::string> TakeWarnings() { return {}; }
};

/// Program files on disk. A replacing program is streamed into a temporary file in the run
/// folder beside the target and renamed over it on Commit (see ReplacingFile); an appending one
/// is gathered (in memory, or in an unnamed temporary file once large) and copied to the end of
/// the file in fixed-size pieces on Commit, which cuts the file back to its old length when the
/// copy fails. A series is marked in its run folder while its files are renamed, so that a run
/// killed half-way is finished by the next one (see SeriesCommit).
class FileProgramStore final : public ProgramStore {
 public:
  std::unique_ptr<ProgramFile> Open(const std::string& fileName, WriteMode mode) override;
  void CommitSeries(const std::string& folder,
                    const std::vector<std::unique_ptr<ProgramFile>>& files) override;
  std::vector<std::string> TakeWarnings() override;

 private:
  std::vector<std::string> m_warnings;
};

/// Program files held in memory, byte for byte as the disk would get them.
class MemoryProgramStore final : public ProgramStore {
 public:
  std::unique_ptr<ProgramFile> Open(const std::string& fileName, WriteMode mode) override;
  /// The bytes of one file ("" when never written).
  const std::string& Bytes(const std::string& fileName) const;
  const std::map<std::string, std::string>& Files() const { return m_files; }
  void Clear() { m_files.clear(); }

 private:
  std::map<std::string, std::string> m_files;
};

}  // namespace stylor
