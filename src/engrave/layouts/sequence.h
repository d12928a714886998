#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <optional>
#include <string_view>

#include "engrave/codes/code_job.h"
#include "engrave/emitter.h"
#include "engrave/layouts/arc.h"
#include "engrave/prepared_job.h"

namespace stylor {

struct EngraveSettings;
struct StrokeFont;
class JobHost;
class JobPlan;
class ProgramSink;

/// prefix, the number in decimal padded with leading zeros to `digits` characters (0: no
/// padding; the width counts a minus sign; a longer number is never cut), suffix.
std::string FormatSerial(int digits, std::int32_t number, std::string_view prefix,
                         std::string_view suffix);

/// The "Generate Sequences" job, converted: the run of numbers, how each is written and placed,
/// and the files it goes to.
struct SequenceJob {
  PreparedJob job;
  std::int64_t first = 0;
  std::int64_t last = -1;
  std::int64_t step = 1;
  int digits = 0;
  std::string prefix;  // 8-bit
  std::string suffix;
  std::string linesBefore;  // SeqPreGCodes, "\n" after each line
  std::string linesAfter;
  TextAlignment alignment = TextAlignment::Left;
  std::optional<ArcLayout> arc;  // "Use Arc Settings"
  bool manyFiles = false;
  std::optional<CodeJob> code;  // cut after each number, {Serial} taking it
  std::string filePrefix;     // as typed (Many Files)
  std::size_t fileNumberWidth = 0;  // digits of the numbers in the file names; 0: as they are
  std::string typedStart;     // SeqStart as typed, for the dialog's preset name
  /// How many numbers the run engraves.
  std::int64_t Count() const { return last < first ? 0 : (last - first) / step + 1; }
  /// The k-th number of the run, counted from 0.
  std::int32_t Number(std::int64_t k) const { return static_cast<std::int32_t>(first + k * step); }
};

/// Reads the settings of the "Generate Sequences" job. Throws Error when a field does not
/// convert, the arc radius gives no step, SeqDigits is above 64, or a Many Files prefix holds a
/// folder or a control character.
SequenceJob PrepareSequenceJob(const EngraveSettings& settings);

/// Throws "Nothing to engrave: ..." for a run without numbers (its End below its Start), refuses a
/// run that starts below 0 (its N labels would be negative), and
/// refuses a Many Files run of more files than a folder should take.
void RequireNumbers(const SequenceJob& job);

/// Writes the blocks of the numbers of a run. The moves a number shares with the one before
/// (the same leading characters at the same place) are made once and reused.
class SequenceWriter {
 public:
  /// Throws what the moves of any number would throw for the job's values (a division by zero).
  SequenceWriter(const SequenceJob& run, const StrokeFont& font);
  /// Writes the block of the k-th number of the run (counted from 0): its "N" line, the lines
  /// before, the engraved serial text and the lines after.
  void WriteNumber(std::int64_t k, ProgramSink& body);

 private:
  const SequenceJob& m_run;
  const StrokeFont& m_font;
  SerialEngraver m_engraver;
  std::string m_text;  // moves around the arc
  std::string m_head;  // the "N" line and the lines before
  std::string m_code;  // moves of the number's code
};

/// Every character the numbers of a run write (digits, padding zeros and sign), each once,
/// without the prefix and suffix; cheap for a run of any length.
std::string SerialRunCharacters(const SequenceJob& run);

/// The name of the program file of the k-th number (Many Files): prefix, number, ".eia".
std::string SequenceFileName(const SequenceJob& job, std::int64_t k);

/// The "Generate Sequences" job's plan: one program of every number, or one program per number
/// (Many Files). Throws Error as PrepareSequenceJob and RequireNumbers do.
std::unique_ptr<JobPlan> PlanSequence(const EngraveSettings& settings, const StrokeFont& font);

/// The "Generate Sequences" job: one block per number ("N" line, the lines before, the engraved
/// serial text, the lines after) into one program file or one file per number. Throws Error;
/// writes nothing when a field does not convert, the arc radius gives no step, or the user
/// cancels; a file that cannot be written stops the run, and the files before it stay whole.
void GenerateSequences(const EngraveSettings& settings, const StrokeFont& font, JobHost& host);

/// The example label (UTF-8, as the window shows it): the twelfth number of the run, start +
/// 11 x step as typed, worked out in 64 bits so that it never wraps round. Throws the
/// integer conversion message when SeqStart, SeqStep or SeqDigits does not convert.
std::string SequenceExample(const EngraveSettings& settings);

}  // namespace stylor
