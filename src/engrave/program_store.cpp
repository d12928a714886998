#include "engrave/program_store.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "settings/error.h"
#include "settings/files.h"

namespace stylor {
namespace {

constexpr std::string_view kWriteFailure = "Cannot write the program file";
// Text of a program file gathered before it reaches the disk in one write.
constexpr std::size_t kFileChunk = 64 * 1024;
// The piece in which a gathered append is copied to its file.
constexpr std::size_t kCopyPiece = 1024 * 1024;

// A program that replaces its file: streamed into a temporary file beside it, through a buffer
// that takes the text with its CR LF line ends.
class ReplacingProgramFile final : public ProgramFile {
 public:
  ReplacingProgramFile(const std::string& fileName, Links links,
                       std::vector<std::string>& warnings)
      : m_file(fileName, kWriteFailure, Durability::Renamed, links),
        m_fileName(fileName),
        m_warnings(warnings) {}
  void Write(std::string_view text) override {
    while (!text.empty()) {
      if (!m_buffer) m_buffer.reset(new char[kFileChunk]);  // no need to clear it
      // Room for the worst case, where every character is a line end.
      const std::size_t take = std::min(text.size(), (kFileChunk - m_used) / 2);
      if (take == 0) {
        Flush();
        continue;
      }
      m_used = static_cast<std::size_t>(CopyWithCrLf(m_buffer.get() + m_used, text.substr(0, take)) -
                                        m_buffer.get());
      text.remove_prefix(take);
    }
  }
  void WriteBytes(std::string_view bytes) override {
    if (m_used == 0 && bytes.size() >= kFileChunk) {
      m_file.Write(bytes);  // a large piece goes to the file as it is
      return;
    }
    while (!bytes.empty()) {
      if (!m_buffer) m_buffer.reset(new char[kFileChunk]);
      const std::size_t take = std::min(bytes.size(), kFileChunk - m_used);
      if (take == 0) {
        Flush();
        continue;
      }
      std::memcpy(m_buffer.get() + m_used, bytes.data(), take);
      m_used += take;
      bytes.remove_prefix(take);
    }
  }
  void Finish() override {
    if (m_finished) return;
    Flush();
    m_file.Close();
    m_finished = true;
    m_buffer.reset();  // a job of many files keeps every finished one until the end
  }
  void Commit() override {
    Finish();
    m_file.Commit();
    if (m_file.LeavesOtherNames()) {
      m_warnings.push_back("'" + m_fileName +
                           "' had other names (hard links): they keep the old program");
    }
  }

 private:
  void Flush() {
    if (m_used == 0) return;
    m_file.Write(std::string_view(m_buffer.get(), m_used));
    m_used = 0;
  }

  ReplacingFile m_file;
  std::string m_fileName;
  std::vector<std::string>& m_warnings;
  std::unique_ptr<char[]> m_buffer;
  std::size_t m_used = 0;
  bool m_finished = false;
};

// A program added to the end of its file once complete: a job that fails half-way adds
// nothing. Large programs wait in an unnamed temporary file, so memory stays flat.
class AppendingProgramFile final : public ProgramFile {
 public:
  explicit AppendingProgramFile(const std::string& fileName) : m_fileName(fileName) {
    // A folder, pipe or device is refused now, before the job's moves are made.
    RefuseNonRegularFile(m_fileName, kWriteFailure);
    InstallFileSignalHandlers();
  }
  ~AppendingProgramFile() override {
    if (m_spill != nullptr) std::fclose(m_spill);
  }
  void Write(std::string_view text) override {
    AppendCrLf(m_chunk, text);
    if (m_chunk.size() >= kFileChunk) Spill();
  }
  void WriteBytes(std::string_view bytes) override {
    m_chunk += bytes;
    if (m_chunk.size() >= kFileChunk) Spill();
  }
  void Finish() override {}
  void Commit() override {
    AppendingFile file(m_fileName, kWriteFailure);
    if (m_spill == nullptr) {
      file.Write(m_chunk);
      file.Commit();
      m_chunk.clear();
      return;
    }
    Spill();
    if (std::fflush(m_spill) != 0) Fail(errno != 0 ? errno : EIO);
    // Copied in fixed-size pieces, so that memory stays flat however long the program; a fault
    // on the way cuts the file back to its old program.
    const std::unique_ptr<char[]> piece(new char[kCopyPiece]);
    const int spill = fileno(m_spill);
    for (off_t at = 0; at < static_cast<off_t>(m_spilled);) {
      const ssize_t count = ::pread(spill, piece.get(), kCopyPiece, at);
      if (count < 0 && errno == EINTR) continue;
      if (count <= 0) Fail(count < 0 ? errno : EIO);
      file.Write(std::string_view(piece.get(), static_cast<std::size_t>(count)));
      at += count;
    }
    file.Commit();
  }

 private:
  [[noreturn]] void Fail(int errorNumber) const {
    throw FileError(kWriteFailure, m_fileName, std::strerror(errorNumber));
  }
  void Spill() {
    if (m_spill == nullptr) {
      errno = 0;
      m_spill = std::tmpfile();
      if (m_spill == nullptr) Fail(errno != 0 ? errno : EIO);
    }
    if (std::fwrite(m_chunk.data(), 1, m_chunk.size(), m_spill) != m_chunk.size()) {
      Fail(errno != 0 ? errno : EIO);
    }
    m_spilled += m_chunk.size();
    m_chunk.clear();
  }

  std::string m_fileName;
  std::string m_chunk;
  std::FILE* m_spill = nullptr;
  std::size_t m_spilled = 0;
};

class MemoryProgramFile final : public ProgramFile {
 public:
  MemoryProgramFile(std::map<std::string, std::string>& files, std::string fileName,
                    WriteMode mode)
      : m_files(files), m_fileName(std::move(fileName)), m_mode(mode) {}
  void Write(std::string_view text) override { AppendCrLf(m_bytes, text); }
  void WriteBytes(std::string_view bytes) override { m_bytes += bytes; }
  void Finish() override {}
  void Commit() override {
    std::string& file = m_files[m_fileName];
    if (m_mode != WriteMode::Append) file = std::move(m_bytes);
    else file += m_bytes;
    m_bytes.clear();
  }

 private:
  std::map<std::string, std::string>& m_files;
  std::string m_fileName;
  WriteMode m_mode;
  std::string m_bytes;
};

}  // namespace

char* CopyWithCrLf(char* out, std::string_view text) {
  // Program lines are short: plain copies between the line ends found by memchr cost far less
  // than a test per character.
  const char* at = text.data();
  const char* const end = at + text.size();
  for (;;) {
    const auto* lf = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
    if (lf == nullptr) break;
    const auto length = static_cast<std::size_t>(lf - at);
    std::memcpy(out, at, length);
    out += length;
    out[0] = '\r';
    out[1] = '\n';
    out += 2;
    at = lf + 1;
  }
  const auto rest = static_cast<std::size_t>(end - at);
  std::memcpy(out, at, rest);
  return out + rest;
}

void AppendCrLf(std::string& bytes, std::string_view text) {
  const auto lineEnds = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  const std::size_t start = bytes.size();
  bytes.resize(start + text.size() + lineEnds);
  CopyWithCrLf(bytes.data() + start, text);
}

std::string ToCrLf(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size() + text.size() / 16 + 2);
  AppendCrLf(bytes, text);
  return bytes;
}

void AppendFromCrLf(std::string& text, std::string_view bytes) {
  text.reserve(text.size() + bytes.size());
  for (std::size_t at = 0; at < bytes.size();) {
    const std::size_t crlf = bytes.find("\r\n", at);
    if (crlf == std::string_view::npos) {
      text.append(bytes.substr(at));
      break;
    }
    text.append(bytes.substr(at, crlf - at));
    text += '\n';
    at = crlf + 2;
  }
}

void ProgramSink::WriteBytes(std::string_view bytes) {
  std::string text;
  AppendFromCrLf(text, bytes);
  Write(text);
}

void ProgramText::Flush() {
  Bytes();
  if (m_bytes.empty()) return;
  m_sink.WriteBytes(m_bytes);
  m_bytes.clear();
}

void ProgramStore::Write(const std::string& fileName, WriteMode mode, std::string_view text) {
  const std::unique_ptr<ProgramFile> file = Open(fileName, mode);
  file->Write(text);
  file->Commit();
}

void ProgramStore::CommitSeries(const std::string& /*folder*/,
                                const std::vector<std::unique_ptr<ProgramFile>>& files) {
  for (const std::unique_ptr<ProgramFile>& file : files) file->Commit();
}

std::unique_ptr<ProgramFile> FileProgramStore::Open(const std::string& fileName, WriteMode mode) {
  switch (mode) {
    case WriteMode::Create:
      return std::make_unique<ReplacingProgramFile>(fileName, Links::Follow, m_warnings);
    case WriteMode::CreateInSeries:
      return std::make_unique<ReplacingProgramFile>(fileName, Links::Refuse, m_warnings);
    case WriteMode::Append: break;
  }
  return std::make_unique<AppendingProgramFile>(fileName);
}

void FileProgramStore::CommitSeries(const std::string& folder,
                                    const std::vector<std::unique_ptr<ProgramFile>>& files) {
  // Every file is complete before the first rename; the mark lets a later run finish the
  // renames of a run killed among them.
  std::string key = folder;
  if (key.size() > 1 && key.back() == '/') key.pop_back();
  const SeriesCommit series(key);
  for (const std::unique_ptr<ProgramFile>& file : files) file->Commit();
}

std::vector<std::string> FileProgramStore::TakeWarnings() {
  std::vector<std::string> warnings = TakeFileNotices();
  for (std::string& warning : m_warnings) warnings.push_back(std::move(warning));
  m_warnings.clear();
  return warnings;
}

std::unique_ptr<ProgramFile> MemoryProgramStore::Open(const std::string& fileName,
                                                      WriteMode mode) {
  return std::make_unique<MemoryProgramFile>(m_files, fileName, mode);
}

const std::string& MemoryProgramStore::Bytes(const std::string& fileName) const {
  static const std::string kNone;
  const auto found = m_files.find(fileName);
  return found == m_files.end() ? kNone : found->second;
}

}  // namespace stylor
