#include "engrave/program_store.h"

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

// A program that replaces its file: streamed into a temporary file beside it, through a buffer
// that takes the text with its CR LF line ends.
class ReplacingProgramFile final : public ProgramFile {
 public:
  explicit ReplacingProgramFile(const std::string& fileName) : m_file(fileName, kWriteFailure) {}
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
  }

 private:
  void Flush() {
    if (m_used == 0) return;
    m_file.Write(std::string_view(m_buffer.get(), m_used));
    m_used = 0;
  }

  ReplacingFile m_file;
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
