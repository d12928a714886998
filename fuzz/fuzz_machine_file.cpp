// Any bytes as a machine file, read by both readers into fresh settings; whatever was read must
// survive a save and a second read unchanged, because that round trip is the user's set-up. A
// refused file changes nothing, and a file that loads, saved and then cut short, must not load
// again unless what is left is a whole file in itself.

#include <algorithm>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "program_check.h"
#include "settings/engrave_settings.h"
#include "settings/error.h"
#include "settings/machine_file.h"

namespace {

using namespace stylor;

std::string Describe(const EngraveSettings& settings, const FieldRef& ref) {
  std::string text(InfoOf(ref).name);
  text += " = ";
  if (const auto* field = std::get_if<TextField>(&ref)) return text + settings.**field;
  if (const auto* field = std::get_if<IndexField>(&ref)) {
    return text + std::to_string(settings.**field);
  }
  if (const auto* field = std::get_if<StateField>(&ref)) return text + (settings.**field ? "1" : "0");
  for (const std::string& line : settings.*std::get<LinesField>(ref)) text += line + "|";
  return text;
}

bool SameField(const EngraveSettings& a, const EngraveSettings& b, const FieldRef& ref) {
  return std::visit([&](auto field) { return a.*field == b.*field; }, ref);
}

// Saves what was read and reads it back: every stored field must come back as it was.
void RoundTrip(const EngraveSettings& read, const char* reader) {
  std::string saved;
  try {
    saved = FormatMachineFile(read, "saved.mch");
  } catch (const Error& error) {
    fuzz::Fail(std::string("the set-up read by ") + reader + " cannot be saved", error.what());
  }
  EngraveSettings again;
  PlainSettingsEditor editor(again);
  try {
    ParseMachineFile(saved, "saved.mch", editor);
  } catch (const Error& error) {
    fuzz::Fail(std::string("a saved set-up read by ") + reader + " does not read back",
               error.what());
  }
  for (const MachineFilePair& pair : MachineFilePairs()) {
    if (!SameField(read, again, pair.field)) {
      fuzz::Fail(std::string("a value read by ") + reader + " changed in the round trip",
                 Describe(read, pair.field) + "  became  " + Describe(again, pair.field));
    }
  }
  for (const MachineFileBlock& block : MachineFileBlocks()) {
    if (!SameField(read, again, block.field)) {
      fuzz::Fail(std::string("a block read by ") + reader + " changed in the round trip",
                 Describe(read, block.field) + "  became  " + Describe(again, block.field));
    }
  }
}

// Where the lines of `saved` end: the byte after each LF.
std::vector<std::size_t> LineEnds(std::string_view saved) {
  std::vector<std::size_t> ends;
  for (std::size_t at = saved.find('\n'); at != std::string_view::npos; at = saved.find('\n', at + 1)) {
    ends.push_back(at + 1);
  }
  return ends;
}

// Cuts `saved`, a file this program wrote, after `size` bytes and reads what is left. Two cuts
// leave a file that is whole in itself and must load: after the 37 lines of the pairs (the
// reduced file), and between two lines after the last block header (a shorter Post Engrave). Any
// other cut must be refused, and changes nothing.
void CheckCut(const std::string& saved, const EngraveSettings& read, std::size_t size) {
  const std::vector<std::size_t> ends = LineEnds(saved);
  constexpr std::size_t kPairLines = 37;
  const std::size_t reducedEnd = ends.at(kPairLines - 1);
  std::size_t headers = 0;
  std::size_t lastHeaderEnd = 0;
  for (std::size_t line = kPairLines; line < ends.size() && headers < 4; ++line) {
    if (std::string_view(saved).substr(ends[line - 1]).starts_with("[SECTIO")) {
      ++headers;
      lastHeaderEnd = ends[line];
    }
  }
  if (headers != 4) fuzz::Fail("a saved machine file lacks a block header", saved);
  const bool atLineEnd = std::binary_search(ends.begin(), ends.end(), size);
  const bool whole = atLineEnd && (size == reducedEnd || size >= lastHeaderEnd);

  EngraveSettings cut;
  PlainSettingsEditor editor(cut);
  std::string refusal;
  try {
    ParseMachineFile(std::string_view(saved).substr(0, size), "cut.mch", editor);
  } catch (const Error& error) {
    refusal = error.what();
  }
  const std::string where = "cut after " + std::to_string(size) + " of " +
                            std::to_string(saved.size()) + " bytes";
  if (!whole) {
    if (refusal.empty()) fuzz::Fail("a truncated machine file loaded", where);
    if (!(cut == EngraveSettings{})) fuzz::Fail("a refused machine file changed the set-up", where);
    return;
  }
  if (!refusal.empty()) fuzz::Fail("a cut that leaves a whole file was refused", where + ": " + refusal);
  for (const MachineFilePair& pair : MachineFilePairs()) {
    if (!SameField(read, cut, pair.field)) {
      fuzz::Fail("a whole part of a cut file read back changed", where + ": " + Describe(cut, pair.field));
    }
  }
  const EngraveSettings defaults;
  const bool blocksRight =
      size == reducedEnd
          ? cut.PreToolChange.empty() && cut.ToolChange == defaults.ToolChange &&
                cut.PostToolChange == defaults.PostToolChange && cut.PostEngrave == defaults.PostEngrave
          : cut.PreToolChange == read.PreToolChange && cut.ToolChange == read.ToolChange &&
                cut.PostToolChange == read.PostToolChange &&
                cut.PostEngrave.size() <= read.PostEngrave.size() &&
                std::equal(cut.PostEngrave.begin(), cut.PostEngrave.end(), read.PostEngrave.begin());
  if (!blocksRight) fuzz::Fail("the blocks of a cut file read back wrong", where);
}

// Cuts the saved form of a file that loaded at a few places: inside its last line, where a cut
// most often falls and is hardest to see, and at two places that vary with the input.
void CheckCuts(const EngraveSettings& read, std::string_view input) {
  const std::string saved = FormatMachineFile(read, "saved.mch");
  const std::size_t hash = std::hash<std::string_view>{}(input);
  for (const std::size_t back : {std::size_t{1}, std::size_t{2}, std::size_t{3}}) {
    if (back <= saved.size()) CheckCut(saved, read, saved.size() - back);
  }
  CheckCut(saved, read, hash % saved.size());
  CheckCut(saved, read, (hash / 7919) % saved.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  EngraveSettings current;
  PlainSettingsEditor currentEditor(current);
  bool loaded = true;
  try {
    ParseMachineFile(input, "input.mch", currentEditor);
  } catch (const Error& error) {
    loaded = false;
    if (!(current == EngraveSettings{})) fuzz::Fail("a refused machine file changed the set-up", error.what());
  }
  RoundTrip(current, "Open");
  if (loaded) CheckCuts(current, input);

  EngraveSettings old;
  PlainSettingsEditor oldEditor(old);
  try {
    ParseOldMachineFile(input, "input.mch", oldEditor);
  } catch (const Error& error) {
    if (!(old == EngraveSettings{})) {
      fuzz::Fail("a machine file refused by Open Old changed the set-up", error.what());
    }
  }
  RoundTrip(old, "Open Old");
  return 0;
}
