#include "engrave/program_store.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "settings/error.h"

namespace stylor {
namespace {

[[noreturn]] void ThrowWriteError(const std::string& fileName, int errorNumber) {
  throw Error("Cannot write the program file '" + fileName + "': " + std::strerror(errorNumber));
}

}  // namespace

std::string ToCrLf(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size() + text.size() / 16 + 2);
  std::size_t start = 0;
  for (std::size_t lf = text.find('\n'); lf != std::string_view::npos;
       start = lf + 1, lf = text.find('\n', start)) {
    bytes.append(text.substr(start, lf - start));
    bytes.append("\r\n");
  }
  bytes.append(text.substr(start));
  return bytes;
}

void FileProgramStore::Write(const std::string& fileName, WriteMode mode, std::string_view text) {
  const std::string bytes = ToCrLf(text);
  errno = 0;
  std::FILE* file = std::fopen(fileName.c_str(), mode == WriteMode::Create ? "wb" : "ab");
  if (file == nullptr) ThrowWriteError(fileName, errno);
  const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file);
  const int writeErrno = errno;
  // fclose flushes: a full disk often shows only here.
  errno = 0;
  const bool closed = std::fclose(file) == 0;
  if (written != bytes.size()) ThrowWriteError(fileName, writeErrno != 0 ? writeErrno : EIO);
  if (!closed) ThrowWriteError(fileName, errno != 0 ? errno : EIO);
}

void MemoryProgramStore::Write(const std::string& fileName, WriteMode mode,
                               std::string_view text) {
  std::string& file = m_files[fileName];
  if (mode == WriteMode::Create) file.clear();
  file += ToCrLf(text);
}

const std::string& MemoryProgramStore::Bytes(const std::string& fileName) const {
  static const std::string kNone;
  const auto found = m_files.find(fileName);
  return found == m_files.end() ? kNone : found->second;
}

}  // namespace stylor
