#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engrave/codes/code_job.h"
#include "engrave/prepared_job.h"

namespace stylor {

struct EngraveSettings;
struct StrokeFont;
class JobHost;
class JobPlan;
class ProgramSink;

/// The free-form text job, converted: every line of FreeFormTextE in 8 bits, and how the lines
/// are justified about the start point (0 left, 1 centre, 2 right; any other index as left).
struct FreeFormJob {
  PreparedJob job;
  TextAlignment alignment = TextAlignment::Left;
  std::vector<std::string> lines;
  std::optional<CodeJob> code;  // cut after the lines
};

/// Reads the settings of the free-form text job; throws the conversion message of the first
/// field that does not convert.
FreeFormJob PrepareFreeFormJob(const EngraveSettings& settings);

/// Writes the moves of every line, each on its own baseline stepping down by height x line
/// spacing, justified about the start point and turned by the text angle. Throws Error when a
/// move would carry a value out of a machine's range.
void WriteFreeFormBody(const FreeFormJob& job, const StrokeFont& font, ProgramSink& body);

/// The free-form text job's plan: one program, the start and end blocks about the moves of every
/// line. Throws Error when a field does not convert or there is nothing to engrave.
std::unique_ptr<JobPlan> PlanFreeFormText(const EngraveSettings& settings, const StrokeFont& font);

/// The free-form text job framed by the start and end blocks. Throws Error, and asks for no
/// file, when a field does not convert or there is nothing to engrave; a value out of a
/// machine's range leaves the chosen file as it was. Returns false when the user cancels.
bool EngraveFreeFormText(const EngraveSettings& settings, const StrokeFont& font, JobHost& host);

/// The width label: the engraved width of the memo's last line, in the general number format.
/// Throws the conversion message when the height or a ratio does not convert.
std::string FreeFormWidthLabel(const EngraveSettings& settings, const StrokeFont& font);

}  // namespace stylor
