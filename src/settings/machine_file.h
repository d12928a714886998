#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

#include "settings/engrave_settings.h"

namespace stylor {

/// Receives the fields of a machine file one by one, in file order, so that a window can run its
/// change rules as they arrive (EngraveFeedE sets PlungeFeedE, a new lathe-mill mode sets the
/// axes) and load the font right after FontFile.
class SettingsEditor {
 public:
  virtual ~SettingsEditor() = default;
  virtual const EngraveSettings& Settings() const = 0;
  virtual void SetText(TextField field, std::string value) = 0;
  virtual void SetLines(LinesField field, Lines value) = 0;
  virtual void SetIndex(IndexField field, std::int32_t value) = 0;
  virtual void SetState(StateField field, bool value) = 0;
  /// Loads the font that FontFile now names.
  virtual void LoadFontFile() = 0;
};

/// Edits a settings set directly, with no change rules and no font: for tests and tools.
class PlainSettingsEditor final : public SettingsEditor {
 public:
  explicit PlainSettingsEditor(EngraveSettings& settings) : m_settings(settings) {}
  const EngraveSettings& Settings() const override { return m_settings; }
  void SetText(TextField field, std::string value) override { m_settings.*field = std::move(value); }
  void SetLines(LinesField field, Lines value) override { m_settings.*field = std::move(value); }
  void SetIndex(IndexField field, std::int32_t value) override { m_settings.*field = value; }
  void SetState(StateField field, bool value) override { m_settings.*field = value; }
  void LoadFontFile() override {}

 private:
  EngraveSettings& m_settings;
};

/// The bytes of the current machine-file layout (header, 18 key/value pairs, 4 block sections,
/// CR LF). Throws Error naming `name` for a value that the file could not give back as it is.
std::string FormatMachineFile(const EngraveSettings& settings, const std::string& name);

/// Writes FormatMachineFile to `path`, replacing it atomically once it is on the disk. Throws
/// Error naming the file and the reason.
void WriteMachineFile(const std::string& path, const EngraveSettings& settings);

/// Reads the bytes of a machine file of the current layout into the editor; `name` names the file
/// in messages. The whole file is read first and nothing changes unless it reads whole: bytes
/// that cannot be a machine file (empty, binary, a line over kMaxMachineFileLine, a first line
/// that is no section header), a file that ends early (before its 18th value line, with only one
/// to three block sections, or with a last line that has no line end) and a value of pairs 15 to
/// 18 that is not an integer are refused with an Error naming the file and the line. A leading
/// UTF-8 byte order mark is skipped. Nothing after the 18th value line is the reduced file
/// (WriteTextParameters): its pairs are set, PreToolChange is emptied and the other three blocks
/// stay. Then the fields arrive field by field in file order. An Error thrown by the editor (a
/// change rule, the font) does not stop them: the first one is thrown once every field is set.
void ParseMachineFile(std::string_view bytes, const std::string& name, SettingsEditor& editor);

/// Reads the bytes of the older layout (the four block sections only) into the editor, whole or
/// not at all as ParseMachineFile: an empty file, one to three section headers or a last line
/// without its line end is refused before any field changes. Lines before the first section
/// header are dropped. Lines without any section header fill PreToolChange alone, as they
/// always have.
void ParseOldMachineFile(std::string_view bytes, const std::string& name, SettingsEditor& editor);

/// Reads the file `path` (at most kMaxMachineFileSize bytes, a regular file) with
/// ParseMachineFile. A folder, a pipe, a device or a link to nothing is refused with its reason.
void ReadMachineFile(const std::string& path, SettingsEditor& editor);

/// Reads the file `path` with ParseOldMachineFile.
void ReadOldMachineFile(const std::string& path, SettingsEditor& editor);

/// Writes the header and the 18 pairs alone to `directory` joined with `name`.
void WriteTextParameters(const std::string& directory, const std::string& name,
                         const EngraveSettings& settings);

/// One key/value pair of the text parameters: the key line as written and the field it holds.
struct MachineFilePair {
  std::string_view key;
  FieldRef field;
};

/// The eighteen pairs in file order, "[Height]" to "[IntegrexHead]".
std::span<const MachineFilePair> MachineFilePairs();

/// A block section: its header line as written and the memo it holds.
struct MachineFileBlock {
  std::string_view header;
  LinesField field;
};

/// The four block sections in file order, "[SECTION -- Pre Tool Change]" first.
std::span<const MachineFileBlock> MachineFileBlocks();

/// Empties PreToolChange, ToolChange, PostToolChange and PostEngrave, in that order ("Reset").
void ResetMachineBlocks(SettingsEditor& editor);

/// Longest line (line end not counted) that a machine file may hold; the readers refuse a longer
/// one and the writers refuse to store one.
inline constexpr std::size_t kMaxMachineFileLine = 64 * 1024;

/// Largest machine file that is read or written, in bytes.
inline constexpr std::size_t kMaxMachineFileSize = 4 * 1024 * 1024;

}  // namespace stylor
