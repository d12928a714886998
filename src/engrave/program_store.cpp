#include "engrave/program_store.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "settings/error.h"
#include "settings/files.h"

namespace stylor {
namespace {

constexpr std::string_view kWriteFailure = "Cannot write the program file";
// Text of a program file gathered before it reaches the disk in one write.
constexpr std::size_t kFileChunk = 256 * 1024;

// A program that replaces its file: streamed into a temporary file beside it.
class ReplacingProgramFile final : public ProgramFile {
 public:
  explicit ReplacingProgramFile(const std::string& fileName) : m_file(fileName, kWriteFailure) {}
  void Write(std::string_view text) override {
    AppendCrLf(m_chunk, text);
    if (m_chunk.size() >= kFileChunk) Flush();
  }
  void Finish() override {
    if (m_finished) return;
    Flush();
    m_file.Close();
    m_finished = true;
    std::string().swap(m_chunk);  // a job of many files keeps every finished one until the end
  }
  void Commit() override {
    Finish();
    m_file.Commit();
  }

 private:
  void Flush() {
    m_file.Write(m_chunk);
    m_chunk.clear();
  }

  ReplacingFile m_file;
  std::string m_chunk;
  bool m_finished = false;
};

// A program added to the end of its file once complete: a job that fails half-way adds
// nothing. Large programs wait in an unnamed temporary file, so memory stays flat.
class AppendingProgramFile final : public ProgramFile {
 public:
  explicit AppendingProgramFile(const std::string& fileName) : m_fileName(fileName) {
    // A folder, pipe or device is refused now, before the job's moves are made.
    RefuseNonRegularFile(m_fileName, kWriteFailure);
  }
  ~AppendingProgramFile() override {
    if (m_spill != nullptr) std::fclose(m_spill);
  }
  void Write(std::string_view text) override {
    AppendCrLf(m_chunk, text);
    if (m_chunk.size() >= kFileChunk) Spill();
  }
  void Finish() override {}
  void Commit() override {
    if (m_spill == nullptr) {
      AppendToFile(m_fileName, m_chunk, kWriteFailure);
      m_chunk.clear();
      return;
    }
    Spill();
    std::rewind(m_spill);
    std::string all;
    all.resize(m_spilled);
    if (std::fread(all.data(), 1, all.size(), m_spill) != all.size()) Fail(EIO);
    AppendToFile(m_fileName, all, kWriteFailure);
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
  void Finish() override {}
  void Commit() override {
    std::string& file = m_files[m_fileName];
    if (m_mode == WriteMode::Create) file = std::move(m_bytes);
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

void AppendCrLf(std::string& bytes, std::string_view text) {
  const char* at = text.data();
  const char* const end = at + text.size();
  while (at != end) {
    const void* found = std::memchr(at, '\n', static_cast<std::size_t>(end - at));
    const char* lf = found != nullptr ? static_cast<const char*>(found) : end;
    bytes.append(at, lf);
    if (lf == end) break;
    bytes.append("\r\n", 2);
    at = lf + 1;
  }
}

std::string ToCrLf(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size() + text.size() / 16 + 2);
  AppendCrLf(bytes, text);
  return bytes;
}

void ProgramText::Flush() {
  if (m_text.empty()) return;
  m_sink.Write(m_text);
  m_text.clear();
}

void ProgramStore::Write(const std::string& fileName, WriteMode mode, std::string_view text) {
  const std::unique_ptr<ProgramFile> file = Open(fileName, mode);
  file->Write(text);
  file->Commit();
}

std::unique_ptr<ProgramFile> FileProgramStore::Open(const std::string& fileName, WriteMode mode) {
  if (mode == WriteMode::Create) return std::make_unique<ReplacingProgramFile>(fileName);
  return std::make_unique<AppendingProgramFile>(fileName);
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
