// Any bytes as a machine file, read by both readers into fresh settings; whatever was read must
// survive a save and a second read unchanged, because that round trip is the user's set-up.

#include <string>
#include <string_view>
#include <variant>

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  EngraveSettings current;
  PlainSettingsEditor currentEditor(current);
  try {
    ParseMachineFile(input, "input.mch", currentEditor);
  } catch (const Error&) {
    // A refused or partly read file still leaves a set-up the user can save.
  }
  RoundTrip(current, "Open");

  EngraveSettings old;
  PlainSettingsEditor oldEditor(old);
  try {
    ParseOldMachineFile(input, "input.mch", oldEditor);
  } catch (const Error&) {
  }
  RoundTrip(old, "Open Old");
  return 0;
}
