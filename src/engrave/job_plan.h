#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engrave/framing.h"

namespace stylor {

class JobHost;
class ProgramSink;

/// The names of the program files of a Many Files job: the save dialog's preset name and the
/// name of each file inside the folder the user chooses, one per program of the plan.
struct SeriesNames {
  std::string presetName;
  std::vector<std::string> fileNames;
};

/// What a large job is expected to write, for the free space of its folder, and how that was
/// estimated (a refusal quotes it).
struct SizeEstimate {
  std::uint64_t bytes = 0;
  std::string how;
};

/// The line the text of a job follows: the preview draws the start point, or the centre and the
/// circle or ellipse, from it.
enum class TextShape { Line, Circle, Ellipse };

/// One job, prepared from the settings, as every front end reads it: the programs it writes, the
/// frame and body of each, the characters it engraves and what the preview draws. A plan is made
/// by its layout (PlanFreeFormText, PlanSequence, ...), which throws Error for a field that does
/// not convert or a job that cannot be written; once made, it writes any of its programs in any
/// order. Items are what the job repeats (a number of a run, a row of a batch); a plain job has
/// one item, its whole body.
class JobPlan {
 public:
  virtual ~JobPlan() = default;

  /// How many program files the job writes.
  virtual std::size_t Programs() const = 0;
  /// The frame of program `k`.
  virtual ProgramFrame Frame(std::size_t k) = 0;
  /// The body of program `k`, "\n" line ends. Throws Error when a value cannot be written.
  virtual void WriteBody(std::size_t k, ProgramSink& body) = 0;
  /// The file names of a Many Files job; nothing when the job writes one chosen file.
  virtual std::optional<SeriesNames> Series() const { return std::nullopt; }
  /// The expected size of the whole job, checked against the free space of the chosen folder
  /// before its first program is written; nothing for a job too small to matter.
  virtual std::optional<SizeEstimate> Size() { return std::nullopt; }
  /// Why the job is refused with a plain message box instead of an error (the ellipse that the
  /// text does not fit); nothing for a job that can be written.
  virtual std::optional<std::string> Refusal() const { return std::nullopt; }
  /// Every 8-bit character the job engraves, each at least once: the missing-glyph warning
  /// names those the font lacks.
  virtual std::string EngravedText() const = 0;

  /// How many items the job repeats (1 for a plain job).
  virtual std::size_t Items() const { return 1; }
  /// The program that holds item `item`.
  virtual std::size_t ProgramOfItem(std::size_t item) const { return item < Programs() ? item : 0; }
  /// Item `item` as it stands in its program; for a plain job, its whole body.
  virtual void WriteItem(std::size_t item, ProgramSink& body) { WriteBody(item, body); }
  /// What the preview says of item `item` ("1 of 20 numbers", "row 3 of 8"); "" for a plain job.
  virtual std::string ItemNote(std::size_t /*item*/) const { return {}; }
  /// The line the text follows.
  virtual TextShape Shape() const { return TextShape::Line; }
  /// For a program that reads its number from the control: the values the control's kept
  /// variables hold when it cuts item `item`, as (variable, value). None for any other job.
  virtual std::vector<std::pair<int, double>> ItemVariables(std::size_t /*item*/) const {
    return {};
  }
};

/// Writes every program of a plan through the host: asks for the file (or, for a series, the
/// folder) once, checks the free space of its folder against Size(), and streams each program
/// framed into its file; a series is put in place as one (see WriteProgramSeries). A Refusal()
/// is shown as a message and writes nothing. Returns false when nothing is written: the user
/// cancels, or the plan is refused.
bool WritePlan(JobPlan& plan, JobHost& host);

}  // namespace stylor
