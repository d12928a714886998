#include "engrave/layouts/sequence.h"

#include <algorithm>
#include <optional>

#include "engrave/emitter.h"
#include "engrave/framing.h"
#include "engrave/geometry.h"
#include "engrave/job_host.h"
#include "engrave/layouts/arc.h"
#include "engrave/prepared_job.h"
#include "engrave/program_store.h"
#include "engrave/stroke_font.h"
#include "settings/engrave_settings.h"
#include "settings/error.h"
#include "settings/numbers.h"
#include "settings/text8.h"

namespace stylor {
namespace {

constexpr int kClockwise = 0;
constexpr int kJustifyCenter = 1;
constexpr int kJustifyRight = 2;

// The spinner offers 0 to 20 digits; a wider field can only come from a damaged setting, and
// must not turn into megabytes of zeros.
constexpr int kMaxSerialDigits = 64;

#ifdef _WIN32
constexpr const char* kPathSeparators = "\\/";
#else
constexpr const char* kPathSeparators = "/";
#endif

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

std::string LinesText(const Lines& lines) {
  std::string text;
  for (const std::string& line : lines) {
    text += To8Bit(line);
    text += '\n';
  }
  return text;
}

// The "Use Arc Settings" circle: counter-clockwise numbers sit one text height further out, with
// the spacing ratio left as prepared.
ArcLayout SequenceArcLayout(double radius, int direction, double textHeight) {
  ArcLayout layout{radius, -1, -kPi / 2};
  if (direction != kClockwise) layout = {radius + textHeight, 1, kPi / 2};
  CheckArcRadius(layout);
  return layout;
}

// The folder part of a chosen path, separator included; empty when the path names no folder.
std::string DirectoryOf(const std::string& path) {
  const std::size_t cut = path.find_last_of(kPathSeparators);
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
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

void GenerateSequences(const EngraveSettings& settings, const StrokeFont& font, JobHost& host) {
  const PreparedJob job = PrepareJob(settings);
  const std::int32_t first = ReadInteger(settings.SeqStart);
  const std::int32_t last = ReadInteger(settings.SeqEnd);
  std::int32_t step = ReadInteger(settings.SeqStep);
  if (step < 1) step = 1;
  // The digits and the circle cannot change while the run writes; read once before the dialog,
  // a bad value cannot leave a program cut off halfway without its end block.
  const int digits = ReadInteger(settings.SeqDigits);
  std::optional<ArcLayout> arc;
  if (settings.UseArcSettings) {
    arc = SequenceArcLayout(ReadReal(settings.RadiusE), settings.Direction, job.textHeight);
  }
  const std::string prefix = To8Bit(settings.SeqPrefix);
  const std::string suffix = To8Bit(settings.SeqPostfix);
  const std::string preLines = LinesText(settings.SeqPreGCodes);
  const std::string postLines = LinesText(settings.SeqPostGCodes);
  const bool manyFiles = settings.Files != 0;

  auto engraveNumber = [&](ProgramStore& into, const std::string& file, const std::string& serial) {
    if (arc) {
      EngraveArc(into, file, job, job.start, job.textAngleRad, serial, *arc,
                 settings.Justification, font);
      return;
    }
    const double width = TextWidth(font, serial, job.textHeight, job.widthRatio, job.spacingRatio);
    Point2 point = job.start;
    if (settings.Justification == kJustifyCenter) {
      point = RotatePoint(width * (-0.5), 0, job.textAngleRad, job.start.x, job.start.y);
    } else if (settings.Justification == kJustifyRight) {
      point = RotatePoint(width * (-1), 0, job.textAngleRad, job.start.x, job.start.y);
    }
    EngraveLine(into, file, job, point, job.textAngleRad, serial, font);
  };
  // Every number is engraved once into memory before the dialog, so that a value no machine
  // takes (a start of 2e9, say) is refused before a program file is emptied. The moves of each
  // number differ with its digits' widths, so no number can stand in for another.
  for (std::int64_t n = first; n <= last; n += step) {
    MemoryProgramStore scratch;
    engraveNumber(scratch, "check",
                  FormatSerial(digits, static_cast<std::int32_t>(n), prefix, suffix));
  }

  ProgramStore& store = host.Programs();
  std::string fileName;
  std::string directory;
  if (!manyFiles) {
    const std::optional<std::string> chosen = host.AskProgramFile(std::nullopt);
    if (!chosen) return;
    fileName = *chosen;
    WriteFraming(store, fileName, true, settings);
  } else {
    const std::optional<std::string> chosen =
        host.AskProgramFile(settings.FilePrefix + settings.SeqStart + ".eia");
    host.ClearProgramFileName();
    if (!chosen) return;
    directory = DirectoryOf(*chosen);
  }

  // 64 bits: the number after the largest 32-bit one ends the run instead of wrapping round.
  for (std::int64_t n = first; n <= last; n += step) {
    const auto number = static_cast<std::int32_t>(n);
    const std::string serial = FormatSerial(digits, number, prefix, suffix);
    if (manyFiles) {
      fileName = directory;
      fileName += settings.FilePrefix;
      AppendInteger(fileName, number);
      fileName += ".eia";
      WriteFraming(store, fileName, true, settings);
    }

    std::string head = "N";
    AppendInteger(head, number);
    head += '\n';
    head += preLines;
    store.Write(fileName, WriteMode::Append, head);

    engraveNumber(store, fileName, serial);

    // An empty memo adds no byte; skipping its write saves an open and close per number.
    if (!postLines.empty()) store.Write(fileName, WriteMode::Append, postLines);
    if (manyFiles) WriteFraming(store, fileName, false, settings);
  }
  if (!manyFiles) WriteFraming(store, fileName, false, settings);
}

}  // namespace stylor
