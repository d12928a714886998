#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engrave/framing.h"
#include "engrave/jobs.h"
#include "settings/data_file.h"
#include "settings/engrave_settings.h"

namespace stylor {

struct StrokeFont;
class JobHost;
class JobPlan;
class ProgramSink;

/// A batch, checked: the settings as typed (texts holding placeholders such as {Name}, {Row},
/// {Rows}), the rows that fill them and the files they go to.
struct BatchJob {
  BatchLayout layout = BatchLayout::FreeFormText;
  const DataTable* table = nullptr;
  EngraveSettings settings;
  bool manyFiles = false;
  std::optional<std::size_t> nameColumn;  // BatchNameColumn, when set
  RowCodes codes;                         // none: braces are the columns' alone
};

/// The names between braces in the texts a batch of `layout` fills (its text, the code's text,
/// the four blocks and the lines around each row), each once, in order; with `escapes`, "{{"
/// and "}}" are single braces and start no placeholder.
std::vector<std::string> BatchPlaceholderNames(const EngraveSettings& settings, BatchLayout layout,
                                               bool escapes);

/// The 8-bit characters a row engraves, its settings filled by FillBatchRow.
std::string BatchRowText(BatchLayout layout, const EngraveSettings& filled);

/// Checks a batch before anything is asked for or written: the table has rows, every
/// placeholder of the texts the job writes names a column, {Row} or {Rows}, a one-line text
/// (ArcTextE, EllipseTextE) gets no line break from a value, no value of any row that fills a
/// G-code block or row line holds a character CharacterNotForGCode refuses, BatchNameColumn
/// names a column and a Many Files prefix holds no folder or control character. Throws Error
/// naming the placeholder, value or field and the row (and for a G-code value the column and
/// the character). The table must outlive the job.
/// With `codes`, a placeholder that names both a code and a column is refused.
BatchJob PrepareBatchJob(const EngraveSettings& settings, const DataTable& table,
                         BatchLayout layout, RowCodes codes = {});

/// Fills `filled` (a copy of job.settings) with the values of `row` (counted from 0): each
/// placeholder of the job's text, the four G-code blocks, SeqPreGCodes and SeqPostGCodes is
/// replaced by its value, and a text line holding a value with a line break becomes several
/// lines. Throws Error naming the row, column, field and character for a value that a G-code
/// line may not hold (see CharacterNotForGCode).
/// A "{" without a closing "}" is kept as typed.
void FillBatchRow(const BatchJob& job, std::size_t row, EngraveSettings& filled);

/// The program file name of every row (Many Files): FilePrefix, then the value of the
/// BatchNameColumn or the row number zero-padded to the width of the row count, then ".eia".
/// Throws Error naming the row for an empty name, a path separator or control character in it,
/// or a name another row has already (letter case aside, as some disks ignore it).
std::vector<std::string> BatchFileNames(const BatchJob& job);

/// Writes the moves of one row's text, the row's settings filled by FillBatchRow, exactly as the
/// job of that layout writes them for the same settings typed by hand. Throws Error naming the
/// row when the ellipse refuses the text.
void WriteBatchRowBody(BatchLayout layout, const EngraveSettings& filled, std::size_t row,
                       const StrokeFont& font, ProgramSink& body);

/// Writes the programs of a batch: One File is one program of every row, Many Files one program
/// per row. Rows are filled as they are written, so memory stays flat however many there are.
class BatchWriter {
 public:
  BatchWriter(const BatchJob& job, const StrokeFont& font);
  /// How many program files the batch writes.
  std::size_t Programs() const;
  /// The frame of program `k`: One File takes the start block of the first row and the end
  /// block of the last; Many Files the blocks of row k.
  ProgramFrame Frame(std::size_t k);
  /// The body of program `k`: every row for One File, row k for Many Files.
  void WriteBody(std::size_t k, ProgramSink& body);
  /// One row as it stands in its program: for One File wrapped in its filled SeqPreGCodes and
  /// SeqPostGCodes lines. Throws what WriteBatchRowBody throws.
  void WriteRow(std::size_t row, ProgramSink& body);
  /// The first row as WriteRow writes it, but of a free-form row only its first lines, as many
  /// as hold `characters` engraved characters: the sample a batch's size is estimated from,
  /// which a row of any length makes in the same time. Returns the characters of the lines
  /// written when the row was cut, nothing when it was written whole.
  std::optional<std::size_t> WriteFirstRowSample(ProgramSink& body, std::size_t characters);

 private:
  void FillRow(std::size_t row);

  const BatchJob& m_job;
  const StrokeFont& m_font;
  EngraveSettings m_filled;
  std::size_t m_filledRow = static_cast<std::size_t>(-1);  // none yet
};

/// The batch job's plan: the rows as BatchWriter writes them, one item per row. Throws what
/// PrepareBatchJob throws. The table must outlive the plan.
std::unique_ptr<JobPlan> PlanBatch(const EngraveSettings& settings, const DataTable& table,
                                   BatchLayout layout, const StrokeFont& font,
                                   RowCodes codes = {});

/// The batch job: One File writes the start block of the first row, then for each row its filled
/// SeqPreGCodes lines, its moves and its filled SeqPostGCodes lines, then the end block of the
/// last row; Many Files writes every row as its own program, framed by its own filled blocks.
/// Throws Error, and writes nothing, when the batch does not check, a field does not convert or
/// any row is refused; nothing is written when the user cancels.
void GenerateBatch(const EngraveSettings& settings, const DataTable& table, BatchLayout layout,
                   const StrokeFont& font, JobHost& host);

/// The caption of a layout ("Free Form Text", "Circle Text", "Ellipse Text").
std::string_view BatchLayoutCaption(BatchLayout layout);

}  // namespace stylor
