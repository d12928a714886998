#pragma once

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "engrave/stroke_font.h"

namespace stylor::test {

/// A file in a fresh temporary folder, removed with the fixture.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "stylor-XXXXXX").string();
    m_path = mkdtemp(pattern.data());
  }
  ~TempDir() { std::filesystem::remove_all(m_path); }
  const std::filesystem::path& Path() const { return m_path; }
  std::string File(const std::string& name) const { return (m_path / name).string(); }
  std::string Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(File(name), std::ios::binary) << bytes;
    return File(name);
  }

 private:
  std::filesystem::path m_path;
};

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

/// A font table loaded from the given file text.
inline std::unique_ptr<StrokeFont> FontFromText(const std::string& text, FontReport* report = nullptr) {
  auto font = std::make_unique<StrokeFont>();
  FontReport unused;
  ParseFont(text, "font.fnt", *font, report ? *report : unused);
  return font;
}

}  // namespace stylor::test
