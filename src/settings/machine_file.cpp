#include "settings/machine_file.h"

#include "settings/error.h"

// Placeholder until machine files land.
namespace stylor {
void WriteMachineFile(const std::string&, const EngraveSettings&) {
  throw Error("Machine files are not available in this build");
}
void ReadMachineFile(const std::string&, SettingsEditor&) {
  throw Error("Machine files are not available in this build");
}
void ReadOldMachineFile(const std::string&, SettingsEditor&) {
  throw Error("Machine files are not available in this build");
}
void WriteTextParameters(const std::string&, const std::string&, const EngraveSettings&) {
  throw Error("Machine files are not available in this build");
}
}  // namespace stylor
