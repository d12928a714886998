// Settings decoded from the input run through the window model for every job. Each job either
// completes or ends with the program's error; every line of every program file is a user's memo
// line, a line of the mode blocks, an "N" line or a move line whose numbers a machine reads, and
// no move holds a command letter as an axis word or one plane axis twice. Everything runs in
// memory: the shipped font is read once, and the programs go to a memory store.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <variant>

#include "engrave/fonts/font_file.h"
#include "engrave/fonts/stroke_font.h"
#include "engrave/program_store.h"
#include "program_check.h"
#include "settings/error.h"
#include "settings/numbers.h"
#include "settings/text8.h"
#include "ui/model/engrave_form_model.h"

namespace {

using namespace stylor;
using S = EngraveSettings;

constexpr const char* kProgramFile = "programs/job.eia";
// What the chosen file holds before the jobs run; jobs that append keep it.
constexpr const char* kPreviousProgram = "(a finished program)\nM30\n";
constexpr std::size_t kMaxTextLength = 32;
constexpr int kMaxMemoLines = 4;
constexpr int kMaxChanges = 32;
constexpr std::int64_t kMaxRunNumbers = 16;

class FuzzHost final : public FormHost {
 public:
  std::optional<std::string> AskProgramFile(const std::optional<std::string>&) override {
    return kProgramFile;
  }
  void ClearProgramFileName() override {}
  void ShowMessage(const std::string&) override {}
  ProgramStore& Programs() override { return m_store; }
  std::optional<std::string> AskFontFile(const std::string&) override { return {}; }
  std::optional<std::string> AskMachineFileToSave(const std::string&) override { return {}; }
  std::optional<std::string> AskMachineFileToOpen(const std::string&) override { return {}; }
  std::optional<std::string> AskDataFile(const std::string&) override { return {}; }
  void ShowError(const std::string&) override {}
  void ShowWarning(const std::string&) override {}
  void OpenUrl(const std::string&) override {}

  const MemoryProgramStore& Store() const { return m_store; }

 private:
  MemoryProgramStore m_store;
};

// Texts a user types into number fields, the troublesome ones included.
constexpr std::array<const char*, 34> kTypedNumbers = {
    "0", "1", "-1", ".125", "-.001", ".001", "2", "360", "90", "-90", "1.5", "4", "2.5", "50",
    "25", "1e-300", "1e8", "1e9", "1e300", "-1e300", "1e999", "nan", "inf", "-", "", " 1",
    "0x10", "2147483647", "-2147483648", "2147483640", "100000", "0.0001", "1e-5", "-0"};

std::string TypedText(FuzzedDataProvider& input) {
  if (input.ConsumeBool()) {
    return kTypedNumbers[input.ConsumeIntegralInRange<std::size_t>(0, kTypedNumbers.size() - 1)];
  }
  return input.ConsumeRandomLengthString(kMaxTextLength);
}

Lines TypedLines(FuzzedDataProvider& input) {
  Lines lines(input.ConsumeIntegralInRange<int>(0, kMaxMemoLines));
  for (std::string& line : lines) line = input.ConsumeRandomLengthString(kMaxTextLength);
  return lines;
}

std::int32_t TypedIndex(FuzzedDataProvider& input) {
  if (input.ConsumeIntegralInRange<int>(0, 7) == 0) return input.ConsumeIntegral<std::int32_t>();
  return input.ConsumeIntegralInRange<std::int32_t>(-1, 7);
}

void ChangeSettings(FuzzedDataProvider& input, EngraveFormModel& model) {
  const auto fields = AllFields();
  for (int change = 0; change < kMaxChanges && input.remaining_bytes() > 0; ++change) {
    const FieldInfo& field = fields[input.ConsumeIntegralInRange<std::size_t>(0, fields.size() - 1)];
    // The font stays the one that ships: the font reader has a fuzzer of its own.
    if (field.name == "FontFile") continue;
    if (const auto* text = std::get_if<TextField>(&field.ref)) {
      model.SetText(*text, TypedText(input));
    } else if (const auto* lines = std::get_if<LinesField>(&field.ref)) {
      model.SetLines(*lines, TypedLines(input));
    } else if (const auto* index = std::get_if<IndexField>(&field.ref)) {
      model.SetIndex(*index, TypedIndex(input));
    } else {
      model.SetState(std::get<StateField>(field.ref), input.ConsumeBool());
    }
  }
}

// Keeps a serial run to a few numbers, wherever it starts, so that every input runs quickly.
void BoundSerialRun(EngraveFormModel& model) {
  const EngraveSettings& settings = model.Settings();
  std::int64_t first = 0, last = 0, step = 0;
  try {
    first = ReadInteger(settings.SeqStart);
    last = ReadInteger(settings.SeqEnd);
    step = std::max<std::int64_t>(ReadInteger(settings.SeqStep), 1);
  } catch (const Error&) {
    return;
  }
  if (last - first <= (kMaxRunNumbers - 1) * step) return;
  const std::int64_t bounded = std::min<std::int64_t>(first + (kMaxRunNumbers - 1) * step, INT32_MAX);
  std::string end;
  AppendInteger(end, bounded);
  model.SetText(&S::SeqEnd, end);
}

template <typename Handler>
void RunJob(Handler&& handler) {
  try {
    handler();
  } catch (const Error&) {
    // The job refused its input: that is one of the two allowed outcomes.
  }
}

// In memory no write fails, so a job that ends with an error refused its settings, and must have
// done so before it touched any program file (the chosen one may hold a finished program).
void RunJobKeepingFilesOnError(FuzzHost& host, const char* name,
                               const std::function<void()>& job) {
  const std::map<std::string, std::string> before = host.Store().Files();
  try {
    job();
  } catch (const Error& error) {
    if (host.Store().Files() != before) {
      fuzz::Fail(std::string("a job that failed changed a program file: ") + name, error.what());
    }
  }
}

std::set<std::string, std::less<>> UserLines(const EngraveSettings& settings) {
  std::set<std::string, std::less<>> lines;
  for (const Lines* memo : {&settings.PreToolChange, &settings.ToolChange, &settings.PostToolChange,
                            &settings.PostEngrave, &settings.SeqPreGCodes, &settings.SeqPostGCodes}) {
    for (const std::string& line : *memo) {
      const std::string bytes = To8Bit(line);
      std::size_t start = 0;
      for (std::size_t lf = bytes.find('\n'); lf != std::string::npos; lf = bytes.find('\n', start)) {
        lines.insert(bytes.substr(start, lf - start));
        start = lf + 1;
      }
      lines.insert(bytes.substr(start));
    }
  }
  return lines;
}

bool IsModeBlockLine(std::string_view line) {
  static constexpr std::array<std::string_view, 8> kFixed = {
      "G00 C0.0", "G12.1", "G110C2", "G17UH", "G122.1", "G13.1", "G138", "G136"};
  if (std::find(kFixed.begin(), kFixed.end(), line) != kFixed.end()) return true;
  return line.starts_with("G16 C") && fuzz::IsMachineNumber(line.substr(5), 4);
}

// The words a program holds besides the axes; a move whose axis word has one of these letters
// (any case) is read by a control as that command.
constexpr std::string_view kCommandLetters = "GMNFTSOPRgmnftsopr";

// The axis words of a move line (letter and four decimals): none may be a command letter, and the
// two plane words of a move (the first two) must differ; the opening move adds the plunge axis,
// which may share a letter with a plane axis in stored set-ups.
void CheckAxisWords(std::string_view line) {
  std::string letters;
  for (std::size_t space = line.find(' '); space != std::string_view::npos;) {
    const std::size_t start = space + 1;
    space = line.find(' ', start);
    const std::string_view word =
        line.substr(start, space == std::string_view::npos ? space : space - start);
    if (word.size() < 2 || !fuzz::IsMachineNumber(word.substr(1), 4)) continue;
    if (kCommandLetters.find(word[0]) != std::string_view::npos) {
      fuzz::Fail("a command letter written as an axis word", line);
    }
    letters += static_cast<char>(word[0] >= 'a' && word[0] <= 'z' ? word[0] - 'a' + 'A' : word[0]);
  }
  if (letters.size() >= 2 && letters[0] == letters[1]) {
    fuzz::Fail("one letter on both plane axes of a move", line);
  }
}

void CheckPrograms(const FuzzHost& host, const EngraveSettings& settings) {
  auto userLines = UserLines(settings);
  userLines.insert("(a finished program)");
  userLines.insert("M30");
  for (const auto& [name, bytes] : host.Store().Files()) {
    fuzz::ForEachProgramLine(bytes, [&](std::string_view line) {
      if (fuzz::IsMoveLine(line) && !userLines.contains(line)) {
        CheckAxisWords(line);
        return;
      }
      if (userLines.contains(line) || IsModeBlockLine(line)) return;
      if (line.starts_with('N') && fuzz::IsInteger(line.substr(1))) return;
      fuzz::Fail("a program line that no writer makes", line);
    });
  }
}

// The shipped font, read once for the whole run.
const StrokeFont& ShippedFont(FontReport& report) {
  static FontReport shippedReport;
  static const StrokeFont font = [] {
    StrokeFont loaded;
    LoadFont(std::string(STYLOR_SOURCE_DIR) + "/fonts/BasicFont.fnt", loaded, shippedReport);
    return loaded;
  }();
  report = shippedReport;
  return font;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  FuzzHost host;
  host.Programs().Write(kProgramFile, WriteMode::Create, kPreviousProgram);
  EngraveFormModel model(host);
  FontReport report;
  const StrokeFont& font = ShippedFont(report);
  model.UseFont(font, report);
  model.SetIndex(&S::JustifyPoint, 0);
  ChangeSettings(input, model);
  BoundSerialRun(model);

  RunJob([&] { model.FreeFormTextEChange(); });
  RunJob([&] { model.SeqStartChange(); });
  struct NamedJob {
    const char* name;
    void (EngraveFormModel::*handler)();
  };
  for (const NamedJob& job : {NamedJob{"EngraveText", &EngraveFormModel::EngraveTextClick},
                              NamedJob{"CreateArc", &EngraveFormModel::CreateArcClick},
                              NamedJob{"CreateEllipse", &EngraveFormModel::CreateEllipseClick},
                              NamedJob{"GenerateSequences",
                                       &EngraveFormModel::GenerateSequencesClick}}) {
    RunJobKeepingFilesOnError(host, job.name, [&] { (model.*job.handler)(); });
    CheckPrograms(host, model.Settings());
  }
  return 0;
}
