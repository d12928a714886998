#include "engrave/layouts/sequence.h"

#include <algorithm>
#include <bitset>
#include <cmath>
#include <optional>

#include "engrave/emitter.h"
#include "engrave/fonts/stroke_font.h"
#include "engrave/framing.h"
#include "engrave/geometry.h"
#include "engrave/job_host.h"
#include "engrave/job_plan.h"
#include "engrave/job_writer.h"
#include "engrave/layouts/arc.h"
#include "engrave/layouts/program_size.h"
#include "engrave/prepared_job.h"
#include "engrave/program_store.h"
#include "settings/data_file.h"
#include "settings/engrave_settings.h"
#include "settings/error.h"
#include "settings/numbers.h"
#include "settings/text8.h"

namespace stylor {
namespace {


// The spinner offers 0 to 20 digits; a wider field can only come from a damaged setting, and
// must not turn into megabytes of zeros.
constexpr int kMaxSerialDigits = 64;

// More program files than this in one folder is a mistake in the run, not a job.
constexpr std::int64_t kMaxManyFiles = 1'000'000;

std::string FormatSerialWide(int digits, std::int64_t number, std::string_view prefix,
                             std::string_view suffix) {
  const auto width = static_cast<std::size_t>(std::clamp(digits, 0, kMaxSerialDigits));
  std::string plain;
  AppendInteger(plain, number);
  std::string text;
  text.reserve(prefix.size() + std::max(width, plain.size()) + suffix.size());
  text += prefix;
  if (plain.size() < width) {
    // As "%0Nd": the zeros go between the sign and the digits, and the sign counts in the width.
    const std::size_t signLength = number < 0 ? 1 : 0;
    text.append(plain, 0, signLength);
    text.append(width - plain.size(), '0');
    text.append(plain, signLength);
  } else {
    text += plain;
  }
  text += suffix;
  return text;
}

// The "Use Arc Settings" circle: counter-clockwise numbers sit one text height further out, with
// the spacing ratio left as prepared.
ArcLayout SequenceArcLayout(double radius, Winding winding, double textHeight) {
  ArcLayout layout{radius, -1, -kPi / 2};
  if (winding == Winding::CounterClockwise) layout = {radius + textHeight, 1, kPi / 2};
  CheckArcRadius(layout);
  return layout;
}

// A Many Files prefix starts every file name: a line break or another control character in it
// makes names that no listing shows as they are.
void RequirePrintablePrefix(const std::string& prefix) {
  for (const char c : prefix) {
    const auto code = static_cast<unsigned char>(c);
    if (code < 32 || code == 127) {
      throw Error("The File Name Prefix (FilePrefix) holds " + ShownCharacter(c) +
                  "; a file name may not hold a line break or another control character");
    }
  }
}

std::string Count(std::int64_t value) {
  std::string text;
  AppendInteger(text, value);
  return text;
}

// The bytes a run will write, CR LF included: the blocks of its first and last number (the
// widest, mostly) averaged over its count, and the frame once per program; Many Files counts
// each file as the whole disk blocks it takes.
std::uint64_t EstimateRunBytes(const SequenceJob& run, SequenceWriter& writer,
                               const ProgramFrame& frame) {
  const std::int64_t count = run.Count();
  MemorySink first, last;
  writer.WriteNumber(0, first);
  writer.WriteNumber(count - 1, last);
  const double number = (static_cast<double>(first.Bytes().size()) +
                         static_cast<double>(last.Bytes().size())) / 2;
  const double framing = static_cast<double>(ToCrLf(frame.startBlock).size() +
                                             ToCrLf(frame.endBlock).size());
  double total = number * static_cast<double>(count) + framing;
  if (run.manyFiles) {
    constexpr double kDiskBlock = 4096;
    const double perFile = std::ceil((number + framing) / kDiskBlock) * kDiskBlock;
    total = perFile * static_cast<double>(count);
  }
  return static_cast<std::uint64_t>(total);
}

}  // namespace

std::string FormatSerial(int digits, std::int32_t number, std::string_view prefix,
                         std::string_view suffix) {
  return FormatSerialWide(digits, number, prefix, suffix);
}

std::string SequenceExample(const EngraveSettings& settings) {
  const std::string suffix = To8Bit(settings.SeqPostfix);
  const std::string prefix = To8Bit(settings.SeqPrefix);
  const std::int64_t start = ReadInteger(settings.SeqStart);
  const std::int64_t step = ReadInteger(settings.SeqStep);
  const int digits = ReadInteger(settings.SeqDigits);
  // In 64 bits the twelfth number cannot wrap round: past the 32-bit range it shows as it is.
  return From8Bit(FormatSerialWide(digits, start + 11 * step, prefix, suffix));
}

SequenceJob PrepareSequenceJob(const EngraveSettings& settings) {
  SequenceJob run;
  run.job = PrepareJob(settings);
  run.first = ReadInteger(settings.SeqStart);
  run.last = ReadInteger(settings.SeqEnd);
  run.step = std::max<std::int64_t>(ReadInteger(settings.SeqStep), 1);
  run.digits = ReadInteger(settings.SeqDigits);
  if (run.digits > kMaxSerialDigits) {
    std::string message = "The number of digits (SeqDigits) is ";
    AppendInteger(message, run.digits);
    message += "; a serial number is padded to at most ";
    AppendInteger(message, kMaxSerialDigits);
    throw Error(message + " digits");
  }
  if (settings.UseArcSettings) {
    run.arc = SequenceArcLayout(ReadReal(settings.RadiusE), ArcWindingOf(settings.Direction),
                                run.job.textHeight);
  }
  run.prefix = To8Bit(settings.SeqPrefix);
  run.suffix = To8Bit(settings.SeqPostfix);
  run.linesBefore = LinesText(settings.SeqPreGCodes);
  run.linesAfter = LinesText(settings.SeqPostGCodes);
  run.alignment = AlignmentOf(settings.Justification);
  run.manyFiles = ManyFilesOf(settings.Files);
  run.filePrefix = settings.FilePrefix;
  run.typedStart = settings.SeqStart;
  if (run.manyFiles && settings.PadFileNumbers && run.Count() > 0) {
    // The widest number of a run is its first or its last.
    std::string first, last;
    AppendInteger(first, run.Number(0));
    AppendInteger(last, run.Number(run.Count() - 1));
    run.fileNumberWidth = std::max(first.size(), last.size());
  }
  // The files go into the folder chosen in the save dialog; a folder inside the prefix would
  // be put into the path a second time.
  if (run.manyFiles && HoldsPathSeparator(run.filePrefix)) {
    throw Error("The File Name Prefix '" + run.filePrefix +
                "' must not hold a folder: the programs go into the folder chosen for them");
  }
  if (run.manyFiles) RequirePrintablePrefix(run.filePrefix);
  run.code = PrepareCodeJob(settings, run.job);
  return run;
}

void RequireNumbers(const SequenceJob& run) {
  const std::int64_t count = run.Count();
  if (count == 0) {
    std::string message = "Nothing to engrave: the End of the run, ";
    AppendInteger(message, run.last);
    message += ", is below its Start, ";
    AppendInteger(message, run.first);
    throw Error(message);
  }
  // Numbers go up from the Start, so the Start is the lowest; every block is labelled with its
  // number, and a control reads no N label below zero ("N-3").
  if (run.first < 0) {
    std::string message = "The run starts at ";
    AppendInteger(message, run.first);
    message += ": each number's block is labelled N and the number, and a control refuses N";
    AppendInteger(message, run.first);
    throw Error(message + "; start the run at 0 or above");
  }
  if (run.manyFiles && count > kMaxManyFiles) {
    std::string message = "A run of ";
    AppendInteger(message, count);
    message += " numbers would write as many program files; Many Files writes at most ";
    AppendInteger(message, kMaxManyFiles);
    throw Error(message + ", so choose One File or a shorter run");
  }
}

SequenceWriter::SequenceWriter(const SequenceJob& run, const StrokeFont& font)
    : m_run(run), m_font(font), m_engraver(run.job, font, LineEnd::CrLf) {}

void SequenceWriter::WriteNumber(std::int64_t k, ProgramSink& body) {
  const PreparedJob& job = m_run.job;
  const std::int32_t number = m_run.Number(k);
  const std::string serial = FormatSerial(m_run.digits, number, m_run.prefix, m_run.suffix);
  // The moves are made before anything of the number is written, so a refusal writes nothing.
  // Along a line they come with CR LF line ends, around an arc with "\n".
  const std::string* moves = &m_text;
  m_text.clear();
  if (m_run.arc) {
    AppendArcMoves(m_text, job, job.start, job.textAngleRad, serial, *m_run.arc,
                   m_run.alignment, m_font);
  } else {
    Point2 point = job.start;
    const bool fromFarEnd = job.cutting.travelOrder == 3 && !m_run.manyFiles && k % 2 == 1;
    double width = 0;
    if (m_run.alignment != TextAlignment::Left || fromFarEnd) {
      width = TextWidth(m_font, serial, job.textHeight, job.widthRatio, job.spacingRatio);
    }
    if (m_run.alignment != TextAlignment::Left) {
      point = RotatePoint(AlignmentShift(m_run.alignment, width), 0, job.textAngleRad,
                          job.start.x, job.start.y);
    }
    std::optional<Point2> orderFrom;
    if (fromFarEnd) {
      // The whole run in one program: the number before ends at the far end of the text, so
      // every other number is ordered from there and the tool does not cross the part empty.
      orderFrom = RotatePoint(width, 0, job.textAngleRad, point.x, point.y);
    }
    moves = &m_engraver.Engrave(point, job.textAngleRad, serial, orderFrom);
  }
  if (m_run.code) {
    m_code.clear();
    AppendCodeMoves(m_code, *m_run.code, job, WithSerial(m_run.code->request.content, serial));
  }
  // Not `m_head = "N"`: g++ 12 then warns of an overlapping copy that cannot happen.
  m_head.clear();
  m_head += 'N';
  AppendInteger(m_head, number);
  m_head += '\n';
  m_head += m_run.linesBefore;
  body.Write(m_head);
  if (m_run.arc) body.Write(*moves);
  else body.WriteBytes(*moves);
  if (m_run.code) body.Write(m_code);
  if (!m_run.linesAfter.empty()) body.Write(m_run.linesAfter);
}

std::string SerialRunCharacters(const SequenceJob& run) {
  // Any stretch of a run of one sign puts all ten digits into the place whose unit is the
  // first power of ten above the step (that digit moves on by at most one per number), once
  // it spans a hundred-odd numbers; so the scan below stops early on every long run, and goes
  // through a short one to its end.
  constexpr std::string_view kDigits = "0123456789";
  std::bitset<256> seen;
  std::size_t found = 0;
  std::string characters;
  const std::int64_t count = run.Count();
  for (std::int64_t k = 0; k < count && found < kDigits.size(); ++k) {
    for (const char c : FormatSerial(run.digits, run.Number(k), "", "")) {
      const auto code = static_cast<unsigned char>(c);
      if (seen[code]) continue;
      seen.set(code);
      characters += c;
      if (c >= '0' && c <= '9') ++found;
    }
  }
  // All ten digits were found: a sign still to come is that of the last number.
  if (count > 0 && !seen['-']) {
    for (const char c : FormatSerial(run.digits, run.Number(count - 1), "", "")) {
      if (c == '-') characters += c;
    }
  }
  return characters;
}

std::string SequenceFileName(const SequenceJob& run, std::int64_t k) {
  std::string number;
  AppendInteger(number, run.Number(k));
  std::string name = run.filePrefix;
  if (number.size() < run.fileNumberWidth) name.append(run.fileNumberWidth - number.size(), '0');
  return name + number + ".eia";
}

namespace {

class SequencePlan final : public JobPlan {
 public:
  SequencePlan(const EngraveSettings& settings, const StrokeFont& font)
      : m_run(PrepareSequenceJob(settings)),
        m_frame(FrameOf(settings)),
        m_engraved(To8Bit(settings.SeqPrefix) + To8Bit(settings.SeqPostfix)),
        // A field of the frame that does not convert is named before an empty run is.
        m_writer((RequireNumbers(m_run), m_run), font) {}

  std::size_t Programs() const override {
    return m_run.manyFiles ? static_cast<std::size_t>(m_run.Count()) : 1;
  }
  ProgramFrame Frame(std::size_t) override { return m_frame; }
  void WriteBody(std::size_t k, ProgramSink& body) override {
    if (m_run.manyFiles) {
      m_writer.WriteNumber(static_cast<std::int64_t>(k), body);
      return;
    }
    for (std::int64_t number = 0; number < m_run.Count(); ++number) {
      m_writer.WriteNumber(number, body);
    }
  }
  std::optional<SeriesNames> Series() const override {
    if (!m_run.manyFiles) return std::nullopt;
    // The dialog offers the first name: as typed, or padded as every name is.
    SeriesNames names{m_run.fileNumberWidth > 0 ? SequenceFileName(m_run, 0)
                                                : m_run.filePrefix + m_run.typedStart + ".eia",
                      {}};
    names.fileNames.reserve(static_cast<std::size_t>(m_run.Count()));
    for (std::int64_t k = 0; k < m_run.Count(); ++k) {
      names.fileNames.push_back(SequenceFileName(m_run, k));
    }
    return names;
  }
  std::optional<SizeEstimate> Size() override {
    return SizeEstimate{EstimateRunBytes(m_run, m_writer, m_frame),
                        "estimated from its first and last number, " + Count(m_run.Count()) +
                            (m_run.manyFiles ? " files" : " numbers")};
  }
  std::string EngravedText() const override { return m_engraved + SerialRunCharacters(m_run); }

  std::size_t Items() const override { return static_cast<std::size_t>(m_run.Count()); }
  std::size_t ProgramOfItem(std::size_t item) const override {
    return m_run.manyFiles ? item : 0;
  }
  void WriteItem(std::size_t item, ProgramSink& body) override {
    m_writer.WriteNumber(static_cast<std::int64_t>(item), body);
  }
  std::string ItemNote(std::size_t item) const override {
    std::string note;
    AppendInteger(note, static_cast<long long>(item + 1));
    note += " of ";
    AppendInteger(note, m_run.Count());
    note += m_run.manyFiles ? " program" : " number";
    if (m_run.Count() != 1) note += 's';
    return note;
  }
  TextShape Shape() const override { return m_run.arc ? TextShape::Circle : TextShape::Line; }

 private:
  SequenceJob m_run;
  ProgramFrame m_frame;
  std::string m_engraved;  // prefix and suffix
  SequenceWriter m_writer;
};

}  // namespace

std::unique_ptr<JobPlan> PlanSequence(const EngraveSettings& settings, const StrokeFont& font) {
  return std::make_unique<SequencePlan>(settings, font);
}

void GenerateSequences(const EngraveSettings& settings, const StrokeFont& font, JobHost& host) {
  WritePlan(*PlanSequence(settings, font), host);
}

}  // namespace stylor
