#include "settings/machine_file.h"

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "settings/error.h"
#include "settings/files.h"
#include "settings/numbers.h"
#include "settings/text8.h"
#include "settings/text_lines.h"

namespace stylor {
namespace {

namespace fs = std::filesystem;
using S = EngraveSettings;

// The key names are not uniform ("[Axis1]" beside "[Axis2E]"); files in use carry them exactly so.
const MachineFilePair kPairs[] = {
    {"[Height]", &S::TextHeightE},
    {"[WidthRatio]", &S::WidthRatioE},
    {"[SpacingRatio]", &S::SpacingRatioE},
    {"[FontFile]", &S::FontFile},
    {"[Axis1]", &S::Axis1E},
    {"[Axis1Start]", &S::Axis1StartE},
    {"[TextAngleE]", &S::TextAngleE},
    {"[Axis2E]", &S::Axis2E},
    {"[Axis2StartE]", &S::Axis2StartE},
    {"[Axis3E]", &S::Axis3E},
    {"[PenDownE]", &S::PenDownE},
    {"[PenUpE]", &S::PenUpE},
    {"[EngraveFeedE]", &S::EngraveFeedE},
    {"[PlungeFeedE]", &S::PlungeFeedE},
    {"[InverseTimeE]", &S::InverseTimeE},
    {"[Justification]", &S::Justification},
    {"[IntegrexMode]", &S::IntegrexMode},
    {"[IntegrexHead]", &S::IntegrexHead},
};

const MachineFileBlock kBlocks[] = {
    {"[SECTION -- Pre Tool Change]", &S::PreToolChange},
    {"[SECTION -- Tool Change]", &S::ToolChange},
    {"[SECTION -- Post Tool Change]", &S::PostToolChange},
    {"[SECTION -- Post Engrave]", &S::PostEngrave},
};

// The keyed parts between the pairs and the blocks: the marking codes of the shop and how the
// strokes are cut. Each part is written only when one of its fields differs from its default,
// so that other set-ups keep their bytes. An older reader drops every line before the first
// block header, so it never takes one of these for a G-code line.
struct KeyedPair {
  std::string_view header;  // the part the key stands in
  std::string_view key;
  FieldRef field;
  bool onlyWhenSet = false;  // written only when it is not the default (a later addition)
};
constexpr std::string_view kCodesHeader = "[Codes]";
constexpr std::string_view kCuttingHeader = "[Cutting]";
constexpr std::string_view kControlHeader = "[Control]";
const KeyedPair kKeyedPairs[] = {
    {kCodesHeader, "ShiftTable", &S::ShiftTable},
    {kCodesHeader, "YearLetterTable", &S::YearLetterTable},
    {kCodesHeader, "CountersFile", &S::CountersFile},
    {kCodesHeader, "ProductionLog", &S::ProductionLog},
    {kCodesHeader, "CodesInUtc", &S::CodesInUtc},
    {kCuttingHeader, "DepthPerPassE", &S::DepthPerPassE},
    {kCuttingHeader, "SpringPass", &S::SpringPass},
    {kCuttingHeader, "RampLengthE", &S::RampLengthE},
    {kCuttingHeader, "TravelOrder", &S::TravelOrder},
    {kCuttingHeader, "LaserMode", &S::LaserMode},
    {kCuttingHeader, "LaserPowerE", &S::LaserPowerE},
    {kCuttingHeader, "DotPitchE", &S::DotPitchE},
    {kCuttingHeader, "DotStyle", &S::DotStyle},
    {kCuttingHeader, "DotDwellE", &S::DotDwellE},
    {kCuttingHeader, "DotCodesE", &S::DotCodesE},
    {kControlHeader, "ControlDialect", &S::ControlDialect},
    {kControlHeader, "CounterVariable", &S::CounterVariable},
    {kControlHeader, "FirstSubprogram", &S::FirstSubprogram},
    {kCuttingHeader, "LaserPassesE", &S::LaserPassesE, true},
    {kCuttingHeader, "LaserZStepE", &S::LaserZStepE, true},
    {kCuttingHeader, "LaserLeadInE", &S::LaserLeadInE, true},
    {kCuttingHeader, "AirAssist", &S::AirAssist, true},
};
constexpr std::string_view kKeyedHeaders[] = {kCodesHeader, kCuttingHeader, kControlHeader};

// A keyed field's value as the file holds it: the text, 0 or 1, or the item's number.
std::string KeyedValue(const EngraveSettings& settings, const FieldRef& field) {
  if (const auto* text = std::get_if<TextField>(&field)) return settings.**text;
  if (const auto* state = std::get_if<StateField>(&field)) return settings.**state ? "1" : "0";
  std::string number;
  AppendInteger(number, settings.*std::get<IndexField>(field));
  return number;
}

constexpr std::string_view kTextParametersHeader = "[SECTION -- Text Parameters]";
constexpr std::string_view kLineEnd = "\r\n";
// Only seven characters mark a header: files in use are read that way, whatever follows.
constexpr std::string_view kSectionMark = "[SECTIO";

constexpr std::string_view kSaveFailure = "Cannot save the machine file";
constexpr std::string_view kReadFailure = "Cannot read the machine file";

[[noreturn]] void RefuseSave(const std::string& path, const std::string& reason) {
  throw Error(std::string(kSaveFailure) + " '" + path + "': " + reason);
}

// The first character of `text` that its 8-bit form `bytes` does not hold, or nothing. Saving it
// as '?' would read back as another text: a font path would name a file that does not exist.
std::optional<std::string_view> UnstorableCharacter(std::string_view text,
                                                    std::string_view bytes) {
  if (From8Bit(bytes) == text) return std::nullopt;
  for (std::size_t at = 0; at < text.size();) {
    // A broken sequence is looked at byte by byte.
    const std::size_t length = std::max<std::size_t>(Utf8Length(text, at), 1);
    const std::string_view character = text.substr(at, length);
    if (From8Bit(To8Bit(character)) != character) return character;
    at += length;
  }
  return text;
}

// A text goes into the file only when it comes back unchanged.
void CheckStorable(const std::string& path, const std::string& what, std::string_view text,
                   std::string_view bytes) {
  if (const auto character = UnstorableCharacter(text, bytes)) {
    RefuseSave(path, what + " holds the character '" + std::string(*character) +
                         "', which a machine file cannot store");
  }
  if (bytes.find('\0') != std::string_view::npos) {
    RefuseSave(path, what + " holds a NUL character, which a machine file cannot store");
  }
}

// A value has exactly one line in the file: a line break in it would put every later pair out of
// step when the file is read, so such a set-up is refused rather than saved damaged.
void AppendValueLine(std::string& out, const std::string& path, std::string_view key,
                     std::string_view text) {
  const std::string bytes = To8Bit(text);
  const std::string what = "the value of " + std::string(key);
  if (bytes.find('\n') != std::string::npos) {
    RefuseSave(path, what + " holds a line break, which a machine file cannot store");
  }
  CheckStorable(path, what, text, bytes);
  if (bytes.size() > kMaxMachineFileLine) {
    RefuseSave(path, what + " is longer than " + SizeText(kMaxMachineFileLine));
  }
  out += bytes;
  out += kLineEnd;
}

void AppendNumberLine(std::string& out, std::int32_t value) {
  AppendInteger(out, value);
  out += kLineEnd;
}

// A line break inside a memo line starts a new file line: the text survives and reads back as two
// memo lines, which is how the window would show it anyway.
void AppendBlock(std::string& out, const std::string& path, const MachineFileBlock& block,
                 const Lines& lines) {
  out += block.header;
  out += kLineEnd;
  for (const std::string& line : lines) {
    const std::string bytes = To8Bit(line);
    const std::string what = "a line of the block " + std::string(block.header);
    CheckStorable(path, what, line, bytes);
    std::string_view rest = bytes;
    for (;;) {
      const std::size_t lf = rest.find('\n');
      const std::string_view piece = rest.substr(0, lf);
      if (piece.size() > kMaxMachineFileLine) {
        RefuseSave(path, what + " is longer than " + SizeText(kMaxMachineFileLine));
      }
      // A line that begins like a section header would read back as one; a blank in front keeps
      // it a line of its block, and the reader's trimming gives back the text as it was.
      if (piece.starts_with(kSectionMark)) out += ' ';
      out += piece;
      out += kLineEnd;
      if (lf == std::string_view::npos) break;
      rest.remove_prefix(lf + 1);
    }
  }
}

std::string FormatTextParameters(const EngraveSettings& settings, const std::string& path) {
  std::string out;
  out += kTextParametersHeader;
  out += kLineEnd;
  for (const MachineFilePair& pair : kPairs) {
    out += pair.key;
    out += kLineEnd;
    if (const auto* text = std::get_if<TextField>(&pair.field)) {
      AppendValueLine(out, path, pair.key, settings.**text);
    } else if (const auto* state = std::get_if<StateField>(&pair.field)) {
      AppendNumberLine(out, settings.**state ? 1 : 0);
    } else {
      AppendNumberLine(out, settings.*std::get<IndexField>(pair.field));
    }
  }
  return out;
}

// The new file is written beside the old one and renamed over it only once it is complete on the
// disk, so a failure or a crash while saving leaves the user's old set-up whole.
void SaveReplacing(const std::string& path, std::string_view bytes) {
  if (bytes.size() > kMaxMachineFileSize) {
    RefuseSave(path, "the set-up takes more than " + SizeText(kMaxMachineFileSize) +
                         ", more than a machine file may hold");
  }
  ReplaceFile(path, bytes, kSaveFailure, Durability::Flushed);
}

[[noreturn]] void RefuseRead(const std::string& path, const std::string& reason) {
  throw Error(std::string(kReadFailure) + " '" + path + "': " + reason);
}

std::string LineText(long long number) {
  std::string text = "line ";
  AppendInteger(text, number);
  return text;
}

// Whole lines, whatever their length: a line that this program writes reads back as one value.
class LineReader {
 public:
  explicit LineReader(std::string_view bytes) : m_rest(bytes) {}

  /// The next line without its line end (LF, and a CR right before it); false at the end.
  bool Next(std::string_view& line) {
    if (m_rest.empty()) return false;
    const std::size_t lf = m_rest.find('\n');
    line = m_rest.substr(0, lf);
    m_rest.remove_prefix(lf == std::string_view::npos ? m_rest.size() : lf + 1);
    m_ended = lf != std::string_view::npos;
    if (m_ended && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++m_number;
    return true;
  }
  /// The number of the line last read, 1 for the first; 0 before any.
  long long Number() const { return m_number; }
  /// Whether the line last read ended with its LF.
  bool Ended() const { return m_ended; }
  bool AtEnd() const { return m_rest.empty(); }

 private:
  std::string_view m_rest;
  long long m_number = 0;
  bool m_ended = false;
};

// Refuses, before any field changes, bytes that cannot be a machine file: binary data, or a line
// longer than any that a machine file holds.
void CheckMachineFileBytes(std::string_view bytes, const std::string& name) {
  if (bytes.find('\0') != std::string_view::npos) RefuseRead(name, "it holds binary data, not text");
  LineReader lines(bytes);
  std::string_view line;
  while (lines.Next(line)) {
    if (line.size() > kMaxMachineFileLine) {
      RefuseRead(name, LineText(lines.Number()) + " is longer than " + SizeText(kMaxMachineFileLine));
    }
  }
}

// A file cut short (a copy that stopped, a full disk, an editor that lost its end) must not load
// half: a G-code line cut in its middle still reads as G-code ("M03 S12000" becomes "M03 S1").
[[noreturn]] void RefuseEnd(const std::string& name, const std::string& where) {
  throw Error("The machine file '" + name + "' ends " + where);
}

// The current layout and the reduced file start with the Text Parameters header, and an old
// layout given to Open starts with a block header. Pairs are taken by position, so without this
// a G-code program opened by mistake would put its lines into the text height, the ratios and
// the font path.
void RequireHeaderFirst(std::string_view bytes, const std::string& name) {
  LineReader lines(bytes);
  std::string_view first;
  if (lines.Next(first) && !first.starts_with(kSectionMark)) {
    if (!lines.Ended() && kTextParametersHeader.starts_with(first)) {
      RefuseEnd(name, "in the middle of line 1, the header " + std::string(kTextParametersHeader) +
                          ": the line has no line end");
    }
    throw Error("The file '" + name +
                "' is not a machine file: its first line is not a section header");
  }
}

std::string ReadMachineFileBytes(const std::string& path) {
  // A link whose file is gone would read as "No such file or directory", which the user, who
  // sees the link, would not believe.
  std::error_code error;
  if (fs::is_symlink(fs::symlink_status(path, error)) &&
      fs::status(path, error).type() == fs::file_type::not_found) {
    const fs::path target = fs::read_symlink(path, error);
    RefuseRead(path, "it is a link to '" + target.string() + "', which does not exist");
  }
  try {
    return ReadWholeFile(path, kMaxMachineFileSize, kReadFailure);
  } catch (const FileTooLarge&) {
    RefuseRead(path, "it is larger than " + SizeText(kMaxMachineFileSize) +
                         ", too large for a machine file");
  }
}

// The next line, which must be there and must end with its line end; `what` names it.
std::string_view RequireLine(LineReader& lines, const std::string& name, const std::string& what) {
  std::string_view line;
  if (!lines.Next(line)) RefuseEnd(name, "after " + LineText(lines.Number()) + ", before " + what);
  if (!lines.Ended()) {
    RefuseEnd(name, "in the middle of " + LineText(lines.Number()) + ", " + what +
                        ": the line has no line end");
  }
  return line;
}

// A value of pairs 15 to 18, as an integer.
std::int32_t ReadPairInteger(std::string_view value, const std::string& name, long long line,
                             std::string_view key) {
  try {
    return ReadInteger(value);
  } catch (const Error& error) {
    throw Error("The machine file '" + name + "', " + LineText(line) + ", " + std::string(key) +
                ": " + error.what());
  }
}

std::int32_t ClampIndex(std::int32_t value, IndexField field) {
  const auto last = static_cast<std::int32_t>(InfoOf(field).items.size()) - 1;
  if (value < -1) return -1;
  return value > last ? last : value;
}

bool IsSectionHeader(std::string_view line) { return line.starts_with(kSectionMark); }

std::string_view TrimBlanks(std::string_view line) {
  const auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  while (!line.empty() && isBlank(line.front())) line.remove_prefix(1);
  while (!line.empty() && isBlank(line.back())) line.remove_suffix(1);
  return line;
}

// One value of the text parameters as the editor will get it.
struct PairValue {
  std::string text;
  std::int32_t number = 0;  // the state (0 or 1) or the clamped index
};

// The whole content of a machine file, read before any field changes.
struct MachineFileContent {
  std::vector<PairValue> values;  // the 18 pairs; none in the old layout
  // The memos of the block sections in file order: all four, none in the reduced file, or Pre
  // Tool Change alone for lines without any section header given to Open Old.
  std::vector<Lines> blocks;
  // The keyed fields (marking codes, cutting): each value in kKeyedPairs order, when the file
  // has blocks.
  std::vector<std::string> keyed;
};

// The keyed lines before the first block header: a part header ("[Codes]", "[Cutting]"), then
// "Key=Value" lines; unknown keys and parts are passed over (a later version may add some), and
// every field the file does not hold takes its default.
std::vector<std::string> ReadKeyedValues(const std::vector<std::string_view>& lines,
                                         const std::string& name) {
  const EngraveSettings defaults;
  std::vector<std::string> values;
  for (const KeyedPair& pair : kKeyedPairs) values.push_back(KeyedValue(defaults, pair.field));
  std::string_view part;
  for (const std::string_view line : lines) {
    if (std::find(std::begin(kKeyedHeaders), std::end(kKeyedHeaders), line) !=
        std::end(kKeyedHeaders)) {
      part = line;
      continue;
    }
    const std::size_t equals = line.find('=');
    if (part.empty() || equals == std::string_view::npos) continue;
    for (std::size_t k = 0; k < std::size(kKeyedPairs); ++k) {
      const KeyedPair& pair = kKeyedPairs[k];
      if (pair.header != part || line.substr(0, equals) != pair.key) continue;
      std::string value = From8Bit(line.substr(equals + 1));
      const std::string where = "The machine file '" + name + "', " + std::string(pair.key);
      if (std::holds_alternative<StateField>(pair.field) && value != "0" && value != "1") {
        throw Error(where + ": the value must be 0 or 1, not '" + value + "'");
      }
      if (const auto* index = std::get_if<IndexField>(&pair.field)) {
        std::int32_t number = 0;
        try {
          number = ReadInteger(value);
        } catch (const Error& error) {
          throw Error(where + ": " + error.what());
        }
        value.clear();
        AppendInteger(value, ClampIndex(number, *index));
      }
      values[k] = std::move(value);
    }
  }
  return values;
}

// The block part: headers are counted, not named; the first four choose the memo that the
// following lines fill, and a fifth or later one is passed over. Lines before the first header
// are dropped. All four headers must be there, and the last line must have its line end: only
// then is the file known to be whole.
std::vector<Lines> ReadBlocks(LineReader& lines, const std::string& name,
                              std::vector<std::string_view>* before = nullptr) {
  std::vector<Lines> memos(std::size(kBlocks));
  std::size_t sections = 0;
  std::string_view line;
  while (lines.Next(line)) {
    const bool header = IsSectionHeader(line);
    if (!lines.Ended()) {
      std::string where;
      if (header && sections < std::size(kBlocks)) {
        where = "the header of the section " + std::string(kBlocks[sections].header);
      } else if (sections == 0) {
        where = "before the section " + std::string(kBlocks[0].header);
      } else {
        where = "in the section " + std::string(kBlocks[std::min(sections, std::size(kBlocks)) - 1].header);
      }
      RefuseEnd(name, "in the middle of " + LineText(lines.Number()) + ", " + where +
                          ": the line has no line end");
    }
    if (header) {
      if (sections < std::size(kBlocks)) ++sections;
    } else if (sections > 0) {
      memos[sections - 1].push_back(From8Bit(TrimBlanks(line)));
    } else if (before != nullptr) {
      before->push_back(line);
    }
  }
  if (sections < std::size(kBlocks)) {
    RefuseEnd(name, "after " + LineText(lines.Number()) + ", before the section " +
                        std::string(kBlocks[sections].header) +
                        ": a machine file holds all four block sections, empty ones too");
  }
  return memos;
}

bool HasSectionHeader(std::string_view bytes) {
  LineReader lines(bytes);
  std::string_view line;
  while (lines.Next(line)) {
    if (IsSectionHeader(line)) return true;
  }
  return false;
}

// Lines without any section header, given to Open Old, have always been read as the Pre Tool
// Change block alone, the last one with or without its line end: a list of lines has no shape
// that would show a cut. Only the start of a first header cut short is known for what it is.
std::vector<Lines> ReadHeaderlessLines(LineReader& lines, const std::string& name) {
  Lines memo;
  std::string_view line;
  while (lines.Next(line)) {
    if (lines.Number() == 1 && !lines.Ended() && kBlocks[0].header.starts_with(line)) {
      RefuseEnd(name, "in the middle of line 1, the header of the section " +
                          std::string(kBlocks[0].header) + ": the line has no line end");
    }
    memo.push_back(From8Bit(TrimBlanks(line)));
  }
  return {std::move(memo)};
}

MachineFileContent ReadCurrentLayout(std::string_view bytes, const std::string& name) {
  LineReader lines(bytes);
  MachineFileContent content;
  // The Text Parameters header; pairs are taken by position.
  RequireLine(lines, name, "the header " + std::string(kTextParametersHeader));
  for (const MachineFilePair& pair : kPairs) {
    const std::string key(pair.key);
    RequireLine(lines, name, "the key " + key);
    PairValue value;
    value.text = From8Bit(RequireLine(lines, name, "the value of " + key));
    if (std::holds_alternative<StateField>(pair.field)) {
      value.number = ReadPairInteger(value.text, name, lines.Number(), key) != 0 ? 1 : 0;
    } else if (const auto* index = std::get_if<IndexField>(&pair.field)) {
      value.number = ClampIndex(ReadPairInteger(value.text, name, lines.Number(), key), *index);
    }
    content.values.push_back(std::move(value));
  }
  // Nothing after the pairs is the reduced file of "Button1"; anything is a block part.
  if (!lines.AtEnd()) {
    std::vector<std::string_view> before;
    content.blocks = ReadBlocks(lines, name, &before);
    content.keyed = ReadKeyedValues(before, name);
  }
  return content;
}

// An error of the editor (a change rule, the font) is the window's to show; the load goes on, so
// that the rest of the set-up still arrives, and the first such error is thrown at its end.
class EditorErrors {
 public:
  template <typename Call>
  void Run(Call&& call) {
    try {
      call();
    } catch (const Error& error) {
      if (!m_first) m_first = error.what();
    }
  }
  void ThrowFirst() const {
    if (m_first) throw Error(*m_first);
  }

 private:
  std::optional<std::string> m_first;
};

// Hands a file that read whole to the editor, field by field in file order, so that the change
// rules run as they would while the user typed the values.
void ApplyContent(MachineFileContent& content, SettingsEditor& editor) {
  EditorErrors editorErrors;
  editorErrors.Run([&] { editor.SetLines(&S::PreToolChange, {}); });
  for (std::size_t at = 0; at < content.values.size(); ++at) {
    const FieldRef& field = kPairs[at].field;
    PairValue& value = content.values[at];
    if (const auto* text = std::get_if<TextField>(&field)) {
      editorErrors.Run([&] { editor.SetText(*text, std::move(value.text)); });
      if (*text == &S::FontFile) editorErrors.Run([&] { editor.LoadFontFile(); });
    } else if (const auto* state = std::get_if<StateField>(&field)) {
      editorErrors.Run([&] { editor.SetState(*state, value.number != 0); });
    } else {
      editorErrors.Run([&] { editor.SetIndex(std::get<IndexField>(field), value.number); });
    }
  }
  for (std::size_t at = 0; at < content.blocks.size(); ++at) {
    editorErrors.Run([&] { editor.SetLines(kBlocks[at].field, std::move(content.blocks[at])); });
  }
  for (std::size_t at = 0; at < content.keyed.size(); ++at) {
    const FieldRef& field = kKeyedPairs[at].field;
    std::string& value = content.keyed[at];
    // Only a value that changes arrives, so a file without keyed parts reads as it always did.
    if (KeyedValue(editor.Settings(), field) == value) continue;
    if (const auto* text = std::get_if<TextField>(&field)) {
      editorErrors.Run([&] { editor.SetText(*text, std::move(value)); });
    } else if (const auto* state = std::get_if<StateField>(&field)) {
      editorErrors.Run([&] { editor.SetState(*state, value == "1"); });
    } else {
      editorErrors.Run([&] { editor.SetIndex(std::get<IndexField>(field), ReadInteger(value)); });
    }
  }
  editorErrors.ThrowFirst();
}

}  // namespace

std::span<const MachineFilePair> MachineFilePairs() { return kPairs; }

std::span<const MachineFileBlock> MachineFileBlocks() { return kBlocks; }

std::string FormatMachineFile(const EngraveSettings& settings, const std::string& name) {
  std::string bytes = FormatTextParameters(settings, name);
  const EngraveSettings defaults;
  for (const std::string_view header : kKeyedHeaders) {
    const auto inPart = [&](const KeyedPair& pair) { return pair.header == header; };
    const bool changed = std::any_of(std::begin(kKeyedPairs), std::end(kKeyedPairs), [&](const KeyedPair& pair) {
      return inPart(pair) && KeyedValue(settings, pair.field) != KeyedValue(defaults, pair.field);
    });
    if (!changed) continue;
    bytes += header;
    bytes += kLineEnd;
    for (const KeyedPair& pair : kKeyedPairs) {
      if (!inPart(pair)) continue;
      if (pair.onlyWhenSet && KeyedValue(settings, pair.field) == KeyedValue(defaults, pair.field)) {
        continue;
      }
      bytes += pair.key;
      bytes += '=';
      AppendValueLine(bytes, name, pair.key, KeyedValue(settings, pair.field));
    }
  }
  for (const MachineFileBlock& block : kBlocks) {
    AppendBlock(bytes, name, block, settings.*block.field);
  }
  return bytes;
}

void WriteMachineFile(const std::string& path, const EngraveSettings& settings) {
  SaveReplacing(path, FormatMachineFile(settings, path));
}

void ParseMachineFile(std::string_view bytes, const std::string& name, SettingsEditor& editor) {
  bytes = WithoutByteOrderMark(bytes);
  if (bytes.empty()) throw Error("The machine file '" + name + "' is empty");
  CheckMachineFileBytes(bytes, name);
  RequireHeaderFirst(bytes, name);
  MachineFileContent content = ReadCurrentLayout(bytes, name);
  ApplyContent(content, editor);
}

void ParseOldMachineFile(std::string_view bytes, const std::string& name, SettingsEditor& editor) {
  bytes = WithoutByteOrderMark(bytes);
  if (bytes.empty()) throw Error("The machine file '" + name + "' is empty");
  CheckMachineFileBytes(bytes, name);
  LineReader lines(bytes);
  MachineFileContent content;
  content.blocks = HasSectionHeader(bytes) ? ReadBlocks(lines, name)
                                           : ReadHeaderlessLines(lines, name);
  ApplyContent(content, editor);
}

void ReadMachineFile(const std::string& path, SettingsEditor& editor) {
  ParseMachineFile(ReadMachineFileBytes(path), path, editor);
}

void ReadOldMachineFile(const std::string& path, SettingsEditor& editor) {
  ParseOldMachineFile(ReadMachineFileBytes(path), path, editor);
}

void WriteTextParameters(const std::string& directory, const std::string& name,
                         const EngraveSettings& settings) {
  std::string path = directory;
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  SaveReplacing(path, FormatTextParameters(settings, path));
}

void ResetMachineBlocks(SettingsEditor& editor) {
  for (const MachineFileBlock& block : kBlocks) editor.SetLines(block.field, {});
}

}  // namespace stylor
