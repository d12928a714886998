#include "engrave/layouts/batch.h"

#include <algorithm>
#include <bitset>
#include <cmath>
#include <unordered_map>

#include "engrave/job_host.h"
#include "engrave/job_plan.h"
#include "engrave/job_writer.h"
#include "engrave/layouts/arc.h"
#include "engrave/layouts/ellipse.h"
#include "engrave/layouts/free_form.h"
#include "engrave/layouts/program_size.h"
#include "engrave/program_store.h"
#include "settings/error.h"
#include "settings/numbers.h"
#include "settings/text8.h"

namespace stylor {
namespace {

using S = EngraveSettings;

constexpr LinesField kBlocks[] = {&S::PreToolChange, &S::ToolChange, &S::PostToolChange,
                                  &S::PostEngrave};
constexpr LinesField kRowLines[] = {&S::SeqPreGCodes, &S::SeqPostGCodes};

std::string RowName(std::size_t row) {
  std::string text = "Row ";
  AppendInteger(text, static_cast<long long>(row + 1));
  return text;
}

std::string Number(std::size_t value) {
  std::string text;
  AppendInteger(text, static_cast<long long>(value));
  return text;
}

// The one-line text field the layout engraves, or nothing for the free-form lines.
TextField OneLineText(BatchLayout layout) {
  if (layout == BatchLayout::CircleText) return &S::ArcTextE;
  if (layout == BatchLayout::EllipseText) return &S::EllipseTextE;
  return nullptr;
}

// Why `value` of `what` ("column 'Lot'", "{Date:yyMMdd}") may not go into the G-code line
// `field`, as a refusal names it.
[[noreturn]] void RefuseGCodeValue(std::size_t row, std::string_view what, std::string_view field,
                                   const std::string& shown) {
  throw Error(RowName(row) + ": the value of " + std::string(what) + " holds " + shown +
              ", and it is filled into " + std::string(field) +
              ", a G-code line: a value there may not hold a line break, '(', ')', ';', '%' or a "
              "control character, which would end its comment or start a program line of its own");
}

// Every value a placeholder puts into a G-code line passes this one rule.
void RequireGCodeValue(std::string_view value, std::size_t row, std::string_view what,
                       std::string_view field) {
  if (const std::optional<std::string> shown = CharacterNotForGCode(value)) {
    RefuseGCodeValue(row, what, field, *shown);
  }
}

std::string ColumnWhat(std::string_view column) { return "column '" + std::string(column) + "'"; }

// Walks `text`, handing the plain runs to `literal` and each name between braces to
// `placeholder`. A "{" with no "}" after it is kept as typed, and in "{a{b}" the first brace is
// plain text. With `escapes`, "{{" and "}}" are one brace each.
template <class Literal, class Placeholder>
void ScanPlaceholders(std::string_view text, bool escapes, Literal literal,
                      Placeholder placeholder) {
  constexpr std::size_t npos = std::string_view::npos;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t open = text.find('{', pos);
    if (escapes) {
      const std::size_t doubledClose = text.find("}}", pos);
      if (doubledClose < open) {
        literal(text.substr(pos, doubledClose + 1 - pos));
        pos = doubledClose + 2;
        continue;
      }
      if (open != npos && open + 1 < text.size() && text[open + 1] == '{') {
        literal(text.substr(pos, open + 1 - pos));
        pos = open + 2;
        continue;
      }
    }
    const std::size_t close = open == npos ? open : text.find('}', open + 1);
    if (close == npos) break;
    const std::size_t reopen = text.find('{', open + 1);
    if (reopen < close) {
      literal(text.substr(pos, reopen - pos));
      pos = reopen;
      continue;
    }
    literal(text.substr(pos, open - pos));
    placeholder(text.substr(open + 1, close - open - 1));
    pos = close + 1;
  }
  if (pos < text.size()) literal(text.substr(pos));
}

// The value of the placeholder `name` in `row`: {Row}, {Rows}, a column, or one of the job's
// codes.
std::string PlaceholderValue(const BatchJob& job, std::string_view name, std::size_t row,
                             std::string_view field, bool gcode) {
  const DataTable& table = *job.table;
  if (name == "Row") return Number(row + 1);
  if (name == "Rows") return Number(table.Rows());
  const std::optional<std::size_t> column = table.ColumnOf(name);
  const std::optional<std::string> code = job.codes ? job.codes(name, row) : std::nullopt;
  if (column && code) {
    throw Error("The placeholder {" + std::string(name) + "} in " + std::string(field) +
                " names a column of the data file and a code alike: rename the column");
  }
  if (column) {
    const std::string_view value = table.Value(row, *column);
    if (gcode) RequireGCodeValue(value, row, ColumnWhat(name), field);
    return std::string(value);
  }
  if (code) {
    if (gcode) RequireGCodeValue(*code, row, "{" + std::string(name) + "}", field);
    return *code;
  }
  std::string columns;
  for (const std::string& each : table.columns) columns += (columns.empty() ? "" : ", ") + each;
  throw Error(RowName(row) + ": the placeholder {" + std::string(name) + "} in " +
              std::string(field) + " names no column of the data file (its columns: " + columns +
              "; besides {Row} and {Rows}" +
              (job.codes ? ", {Date:FORMAT}, {Shift} and {Counter:NAME}" : "") + ")");
}

// `text` with its placeholders replaced by the values of `row`; `field` names the text in a
// refusal. A G-code line (`gcode`) takes only values that RequireGCodeValue lets through.
std::string Fill(const BatchJob& job, std::string_view text, std::size_t row,
                 std::string_view field, bool gcode) {
  std::string out;
  ScanPlaceholders(
      text, static_cast<bool>(job.codes), [&](std::string_view run) { out.append(run); },
      [&](std::string_view name) { out += PlaceholderValue(job, name, row, field, gcode); });
  return out;
}

// Fills every line; a value with a line break splits its line in two.
void FillLines(const BatchJob& job, const Lines& lines, std::size_t row, std::string_view field,
               bool gcode, Lines& out) {
  out.clear();
  for (const std::string& line : lines) {
    const std::string filled = Fill(job, line, row, field, gcode);
    std::size_t start = 0;
    while (true) {
      const std::size_t lf = filled.find('\n', start);
      out.push_back(filled.substr(start, lf == std::string::npos ? lf : lf - start));
      if (lf == std::string::npos) break;
      start = lf + 1;
    }
  }
}

// Every row's values that go into G-code lines, checked before anything is asked or written:
// the blocks of each row's frame, and the lines around each row of One File.
void RequireGCodeValues(const BatchJob& job) {
  const DataTable& table = *job.table;
  struct Use {
    std::size_t column;
    std::string_view field;
  };
  std::vector<Use> uses;
  const auto look = [&](LinesField field) {
    for (std::size_t column = 0; column < table.columns.size(); ++column) {
      const std::string placeholder = "{" + table.columns[column] + "}";
      const Lines& lines = job.settings.*field;
      const bool used = std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(placeholder) != std::string::npos;
      });
      const bool known = std::any_of(uses.begin(), uses.end(),
                                     [&](const Use& use) { return use.column == column; });
      if (used && !known) uses.push_back({column, InfoOf(field).name});
    }
  };
  for (const LinesField field : kBlocks) look(field);
  if (!job.manyFiles) {
    for (const LinesField field : kRowLines) look(field);
  }
  if (uses.empty()) return;
  for (std::size_t row = 0; row < table.Rows(); ++row) {
    for (const Use& use : uses) {
      RequireGCodeValue(table.Value(row, use.column), row, ColumnWhat(table.columns[use.column]),
                        use.field);
    }
  }
}

// How many characters each row engraves, its placeholders filled.
std::vector<std::size_t> EngravedLengths(const BatchJob& job) {
  std::vector<std::size_t> lengths;
  lengths.reserve(job.table->Rows());
  const TextField field = OneLineText(job.layout);
  for (std::size_t row = 0; row < job.table->Rows(); ++row) {
    std::size_t length = 0;
    if (field) {
      length = Fill(job, job.settings.*field, row, InfoOf(field).name, false).size();
    } else {
      for (const std::string& line : job.settings.FreeFormTextE) {
        length += Fill(job, line, row, "FreeFormTextE", false).size();
      }
    }
    lengths.push_back(length);
  }
  return lengths;
}

std::string FoldCase(std::string_view name) {
  std::string folded(name);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

}  // namespace

std::string_view BatchLayoutCaption(BatchLayout layout) {
  return kBatchLayoutCaptions[static_cast<std::size_t>(layout)];
}

BatchJob PrepareBatchJob(const EngraveSettings& settings, const DataTable& table,
                         BatchLayout layout, RowCodes codes) {
  if (OnTheControlOf(settings.Files)) {
    throw Error("On the control (Files) counts the numbers of a sequence; a batch writes One File "
                "or Many Files");
  }
  BatchJob job{layout, &table, settings, ManyFilesOf(settings.Files), std::nullopt,
               std::move(codes)};
  if (table.Rows() == 0) {
    throw Error("Nothing to engrave: the data file holds no rows below its header");
  }
  if (job.manyFiles && HoldsPathSeparator(settings.FilePrefix)) {
    throw Error("The File Name Prefix '" + settings.FilePrefix +
                "' must not hold a folder: the programs go into the folder chosen for them");
  }
  if (job.manyFiles) {
    for (const char c : settings.FilePrefix) {
      const auto code = static_cast<unsigned char>(c);
      if (code < 32 || code == 127) {
        throw Error("The File Name Prefix (FilePrefix) holds " + ShownCharacter(c) +
                    "; a file name may not hold a line break or another control character");
      }
    }
  }
  // The code goes beside free-form text only: a circle or ellipse row would lose it unseen.
  if (settings.CodeKind != 0 && layout != BatchLayout::FreeFormText) {
    throw Error("A code (CodeKind) is cut beside the rows of Free Form Text only, not of " +
                std::string(BatchLayoutCaption(layout)) +
                ": choose Free Form Text as the text job, or no code");
  }
  if (!settings.BatchNameColumn.empty()) {
    job.nameColumn = table.ColumnOf(settings.BatchNameColumn);
    if (!job.nameColumn) {
      throw Error("The BatchNameColumn '" + settings.BatchNameColumn +
                  "' names no column of the data file");
    }
  }
  // A placeholder names the same thing in every row, so filling the first row finds every
  // unknown one before anything is asked for.
  EngraveSettings filled = settings;
  FillBatchRow(job, 0, filled);
  RequireGCodeValues(job);
  if (const TextField field = OneLineText(layout)) {
    // A circle or ellipse text is one line: a value with a line break cannot go into it.
    const std::string& text = settings.*field;
    std::vector<std::size_t> used;
    for (std::size_t column = 0; column < table.columns.size(); ++column) {
      if (text.find("{" + table.columns[column] + "}") != std::string::npos) used.push_back(column);
    }
    for (std::size_t row = 0; row < table.Rows(); ++row) {
      for (const std::size_t column : used) {
        if (table.Value(row, column).find('\n') != std::string_view::npos) {
          throw Error(RowName(row) + ": the value of '" + table.columns[column] +
                      "' holds a line break, and " + std::string(InfoOf(field).name) +
                      " is one line of text");
        }
      }
    }
  }
  return job;
}

void FillBatchRow(const BatchJob& job, std::size_t row, EngraveSettings& filled) {
  const EngraveSettings& typed = job.settings;
  if (const TextField field = OneLineText(job.layout)) {
    filled.*field = Fill(job, typed.*field, row, InfoOf(field).name, false);
  } else {
    FillLines(job, typed.FreeFormTextE, row, "FreeFormTextE", false, filled.FreeFormTextE);
    filled.CodeText = Fill(job, typed.CodeText, row, "CodeText", false);
  }
  for (const LinesField field : kBlocks) {
    FillLines(job, typed.*field, row, InfoOf(field).name, true, filled.*field);
  }
  // Many Files writes each row as the plain job would, without the lines around each row.
  if (!job.manyFiles) {
    for (const LinesField field : kRowLines) {
      FillLines(job, typed.*field, row, InfoOf(field).name, true, filled.*field);
    }
  }
}

std::vector<std::string> BatchFileNames(const BatchJob& job) {
  const DataTable& table = *job.table;
  const std::string prefix = job.settings.FilePrefix;
  const std::size_t width = Number(table.Rows()).size();
  std::vector<std::string> names;
  names.reserve(table.Rows());
  std::unordered_map<std::string, std::size_t> taken;
  for (std::size_t row = 0; row < table.Rows(); ++row) {
    std::string name = prefix;
    if (job.nameColumn) {
      const std::string_view value = table.Value(row, *job.nameColumn);
      const std::string& column = table.columns[*job.nameColumn];
      if (value.empty()) {
        throw Error(RowName(row) + ": the file name column '" + column + "' is empty");
      }
      if (HoldsPathSeparator(value)) {
        throw Error(RowName(row) + ": the file name '" + std::string(value) +
                    "' holds a path separator; the files go into the folder chosen for them");
      }
      if (std::any_of(value.begin(), value.end(),
                      [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; })) {
        throw Error(RowName(row) + ": the file name of column '" + column +
                    "' holds a line break or another control character");
      }
      name += value;
    } else {
      const std::string number = Number(row + 1);
      name.append(width - number.size(), '0');
      name += number;
    }
    name += ".eia";
    const auto [at, inserted] = taken.emplace(FoldCase(name), row);
    if (!inserted) {
      throw Error(RowName(row) + ": the file name '" + name + "' is already that of " +
                  RowName(at->second) + " (letter case aside)");
    }
    names.push_back(std::move(name));
  }
  return names;
}

void WriteBatchRowBody(BatchLayout layout, const EngraveSettings& filled, std::size_t row,
                       const StrokeFont& font, ProgramSink& body) {
  switch (layout) {
    case BatchLayout::FreeFormText:
      WriteFreeFormBody(PrepareFreeFormJob(filled), font, body);
      return;
    case BatchLayout::CircleText:
      WriteArcBody(PrepareArcTextJob(filled), font, body);
      return;
    case BatchLayout::EllipseText: {
      const EllipseJob ellipse = PrepareEllipseJob(filled, font);
      if (ellipse.refusal) throw Error(RowName(row) + ": " + *ellipse.refusal);
      WriteEllipseBody(ellipse, font, body);
      return;
    }
  }
}

BatchWriter::BatchWriter(const BatchJob& job, const StrokeFont& font)
    : m_job(job), m_font(font), m_filled(job.settings) {
  FillRow(0);
}

std::size_t BatchWriter::Programs() const {
  return m_job.manyFiles ? m_job.table->Rows() : 1;
}

void BatchWriter::FillRow(std::size_t row) {
  if (row == m_filledRow) return;
  FillBatchRow(m_job, row, m_filled);
  m_filledRow = row;
}

ProgramFrame BatchWriter::Frame(std::size_t k) {
  if (m_job.manyFiles) {
    FillRow(k);
    return FrameOf(m_filled);
  }
  FillRow(m_job.table->Rows() - 1);
  const std::string endBlock = FrameOf(m_filled).endBlock;
  FillRow(0);
  ProgramFrame frame = FrameOf(m_filled);
  frame.endBlock = endBlock;
  return frame;
}

void BatchWriter::WriteRow(std::size_t row, ProgramSink& body) {
  FillRow(row);
  if (!m_job.manyFiles) body.Write(LinesText(m_filled.SeqPreGCodes));
  WriteBatchRowBody(m_job.layout, m_filled, row, m_font, body);
  if (!m_job.manyFiles) body.Write(LinesText(m_filled.SeqPostGCodes));
}

std::optional<std::size_t> BatchWriter::WriteFirstRowSample(ProgramSink& body,
                                                            std::size_t characters) {
  FillRow(0);
  Lines& lines = m_filled.FreeFormTextE;
  std::size_t used = 0;
  std::size_t kept = 0;
  // Counted as EngravedLengths counts a value's line breaks: one character each.
  while (kept < lines.size() && used < characters) used += lines[kept++].size() + 1;
  if (OneLineText(m_job.layout) || kept == lines.size()) {
    WriteRow(0, body);
    return std::nullopt;
  }
  lines.resize(kept);
  try {
    WriteRow(0, body);
  } catch (...) {
    m_filledRow = static_cast<std::size_t>(-1);
    throw;
  }
  m_filledRow = static_cast<std::size_t>(-1);  // the row is filled again before it is written
  return used;
}

void BatchWriter::WriteBody(std::size_t k, ProgramSink& sink) {
  if (m_job.manyFiles) {
    WriteRow(k, sink);
    return;
  }
  // Each row's moves come in one large piece already; gathering them again would copy them twice.
  for (std::size_t row = 0; row < m_job.table->Rows(); ++row) WriteRow(row, sink);
}

std::string BatchRowText(BatchLayout layout, const EngraveSettings& filled) {
  if (const TextField field = OneLineText(layout)) return To8Bit(filled.*field);
  std::string text;
  for (const std::string& line : filled.FreeFormTextE) text += To8Bit(line);
  return text;
}

std::vector<std::string> BatchPlaceholderNames(const EngraveSettings& settings, BatchLayout layout,
                                               bool escapes) {
  std::vector<std::string> names;
  const auto scan = [&](std::string_view text) {
    ScanPlaceholders(text, escapes, [](std::string_view) {}, [&](std::string_view name) {
      if (std::find(names.begin(), names.end(), name) == names.end()) names.emplace_back(name);
    });
  };
  if (const TextField field = OneLineText(layout)) {
    scan(settings.*field);
  } else {
    for (const std::string& line : settings.FreeFormTextE) scan(line);
    scan(settings.CodeText);
  }
  for (const LinesField field : kBlocks) {
    for (const std::string& line : settings.*field) scan(line);
  }
  if (!ManyFilesOf(settings.Files)) {
    for (const LinesField field : kRowLines) {
      for (const std::string& line : settings.*field) scan(line);
    }
  }
  return names;
}

namespace {

class BatchPlan final : public JobPlan {
 public:
  BatchPlan(const EngraveSettings& settings, const DataTable& table, BatchLayout layout,
            const StrokeFont& font, RowCodes codes)
      : m_job(PrepareBatchJob(settings, table, layout, std::move(codes))), m_writer(m_job, font) {}

  std::size_t Programs() const override { return m_writer.Programs(); }
  ProgramFrame Frame(std::size_t k) override { return m_writer.Frame(k); }
  void WriteBody(std::size_t k, ProgramSink& body) override { m_writer.WriteBody(k, body); }
  std::optional<SeriesNames> Series() const override {
    if (!m_job.manyFiles) return std::nullopt;
    SeriesNames names{{}, BatchFileNames(m_job)};
    names.presetName = names.fileNames.front();
    return names;
  }
  std::optional<SizeEstimate> Size() override;
  std::string EngravedText() const override;

  std::size_t Items() const override { return m_job.table->Rows(); }
  std::size_t ProgramOfItem(std::size_t row) const override { return m_job.manyFiles ? row : 0; }
  void WriteItem(std::size_t row, ProgramSink& body) override { m_writer.WriteRow(row, body); }
  std::string ItemNote(std::size_t row) const override {
    std::string note = "row ";
    AppendInteger(note, static_cast<long long>(row + 1));
    note += " of ";
    AppendInteger(note, static_cast<long long>(m_job.table->Rows()));
    return note;
  }
  TextShape Shape() const override {
    if (m_job.layout == BatchLayout::CircleText) return TextShape::Circle;
    if (m_job.layout == BatchLayout::EllipseText) return TextShape::Ellipse;
    return TextShape::Line;
  }

 private:
  BatchJob m_job;
  BatchWriter m_writer;
};

// The size of a whole batch: the first row's program bytes per engraved character, times the
// characters of every row (each Many Files program as the whole disk blocks it takes). Making
// the first row refuses a field that does not convert before the user is asked for a file, as
// the plain jobs do. The bytes are counted, not kept, and a long free-form row is measured by
// its first lines: a row of 20,000 lines is not engraved twice.
std::optional<SizeEstimate> BatchPlan::Size() {
  constexpr std::size_t kSampleCharacters = 4096;
  const ProgramFrame firstFrame = m_writer.Frame(0);
  CountingSink firstRow;
  const std::optional<std::size_t> sampled =
      m_writer.WriteFirstRowSample(firstRow, kSampleCharacters);
  const double framing = static_cast<double>(ToCrLf(firstFrame.startBlock).size() +
                                             ToCrLf(firstFrame.endBlock).size());
  const std::vector<std::size_t> characters = EngravedLengths(m_job);
  const double perCharacter =
      static_cast<double>(firstRow.Bytes()) /
      static_cast<double>(std::max<std::size_t>(sampled.value_or(characters.front()), 1));
  double estimate = framing;
  for (const std::size_t length : characters) {
    const double rowBytes = perCharacter * static_cast<double>(std::max<std::size_t>(length, 1));
    if (m_job.manyFiles) {
      constexpr double kDiskBlock = 4096;
      estimate += std::ceil((rowBytes + framing) / kDiskBlock) * kDiskBlock;
    } else {
      estimate += rowBytes;
    }
  }
  std::string how = "estimated from the bytes of its first row per character, ";
  AppendInteger(how, static_cast<long long>(m_job.table->Rows()));
  how += m_job.manyFiles ? " files" : " rows";
  return SizeEstimate{static_cast<std::uint64_t>(estimate), std::move(how)};
}

// Every character the rows engrave, each once, in the order they first appear.
std::string BatchPlan::EngravedText() const {
  EngraveSettings filled = m_job.settings;
  std::bitset<256> seen;
  std::string text;
  for (std::size_t row = 0; row < m_job.table->Rows(); ++row) {
    FillBatchRow(m_job, row, filled);
    for (const char c : BatchRowText(m_job.layout, filled)) {
      const auto code = static_cast<unsigned char>(c);
      if (seen[code]) continue;
      seen.set(code);
      text += c;
    }
  }
  return text;
}

}  // namespace

std::unique_ptr<JobPlan> PlanBatch(const EngraveSettings& settings, const DataTable& table,
                                   BatchLayout layout, const StrokeFont& font, RowCodes codes) {
  return std::make_unique<BatchPlan>(settings, table, layout, font, std::move(codes));
}

void GenerateBatch(const EngraveSettings& settings, const DataTable& table, BatchLayout layout,
                   const StrokeFont& font, JobHost& host) {
  WritePlan(*PlanBatch(settings, table, layout, font), host);
}

}  // namespace stylor
