#pragma once

#include <filesystem>
#include <string>

namespace stylor::test {

/// A fresh folder under the system's temporary folder, removed with everything in it when the
/// object goes. Its permissions let a run without root's rights reach it.
class TempFolder {
 public:
  explicit TempFolder(const std::string& prefix = "stylor-test");
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return m_path; }
  /// The path of `name` inside the folder.
  std::string File(const std::string& name) const;
  /// Writes `bytes` as they are into `name` and returns its path.
  std::string Write(const std::string& name, const std::string& bytes) const;

 private:
  std::filesystem::path m_path;
};

/// The bytes of a file, "" when it cannot be read.
std::string ReadBytes(const std::string& path);

}  // namespace stylor::test
