#include "engrave/layouts/sequence.h"

#include "settings/error.h"

// Placeholder until the serial-number layout lands.
namespace stylor {
std::string FormatSerial(int, std::int32_t, std::string_view, std::string_view) {
  throw Error("Serial numbers are not available in this build");
}
void GenerateSequences(const EngraveSettings&, const StrokeFont&, JobHost&) {
  throw Error("Serial numbers are not available in this build");
}
std::string SequenceExample(const EngraveSettings&) {
  throw Error("Serial numbers are not available in this build");
}
}  // namespace stylor
