#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engrave/codes/code_cuts.h"
#include "engrave/prepared_job.h"

namespace stylor {

struct EngraveSettings;

/// A code of a job, converted: what to encode (its content may hold {Serial}), where and how to
/// cut it.
struct CodeJob {
  CodeRequest request;
  CodePlacement placement;
  double dwellSeconds = 0;
};

/// The code of the settings, or nothing when CodeKind is 0. Throws the conversion message of
/// the first code field that does not convert, and Error for a quiet zone below the standard's,
/// a module the tool cannot make, or a dwell below 0. Rotary positions are degrees, turned into
/// lengths on the cylinder as the start values are.
std::optional<CodeJob> PrepareCodeJob(const EngraveSettings& settings, const PreparedJob& job);

/// The content with every {Serial} replaced by `serial` (Windows-1252).
std::string WithSerial(std::string_view content, std::string_view serial);

/// Appends the moves of the code holding `content` (Windows-1252): encoded, cut as the job says
/// and written through the same move writer as the text. Throws Error naming why the content
/// does not encode, or what AppendCutMoves throws.
void AppendCodeMoves(std::string& out, const CodeJob& code, const PreparedJob& job,
                     std::string_view content);

}  // namespace stylor
