#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace stylor::fuzz {

/// A name of this process's own in a scratch folder (memory-backed when there is one, so that
/// the syncs of a save cost nothing), removed with everything under it when the process ends
/// normally; a crashed run leaves it for its input to be replayed.
class ScratchPath {
 public:
  explicit ScratchPath(const std::string& name) {
    const std::filesystem::path folder =
        access("/dev/shm", W_OK) == 0 ? std::filesystem::path("/dev/shm")
                                      : std::filesystem::temp_directory_path();
    m_path = (folder / ("stylor-fuzz-" + std::to_string(getpid()) + "-" + name)).string();
  }
  ~ScratchPath() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
  }
  ScratchPath(const ScratchPath&) = delete;
  ScratchPath& operator=(const ScratchPath&) = delete;

  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
};

}  // namespace stylor::fuzz
