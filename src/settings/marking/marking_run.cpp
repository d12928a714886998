#include "settings/marking/marking_run.h"

#include <unistd.h>

#include <algorithm>

#include "settings/data_file.h"
#include "settings/error.h"
#include "settings/files.h"
#include "settings/numbers.h"

namespace stylor {
namespace {

std::string Where(std::string_view field, std::size_t line, std::size_t lines) {
  if (lines <= 1) return std::string(field);
  std::string where = "line ";
  AppendInteger(where, static_cast<long long>(line + 1));
  return where + " of " + std::string(field);
}

void AppendCsv(std::string& out, std::string_view value) {
  if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
    out += value;
    return;
  }
  out += '"';
  for (const char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

}  // namespace

MarkingSetup MarkingSetupOf(const EngraveSettings& settings, const std::string& folder,
                            std::optional<CivilTime> now) {
  const auto inFolder = [&](const std::string& path) {
    if (path.empty() || path.front() == '/' || folder.empty()) return path;
    return folder.back() == '/' ? folder + path : folder + "/" + path;
  };
  MarkingSetup setup;
  setup.shifts = ReadShiftTable({settings.ShiftTable});
  setup.yearLetters = ReadYearLetters(settings.YearLetterTable);
  setup.counterPath = inFolder(settings.CountersFile.empty() ? setup.counterPath : settings.CountersFile);
  setup.logPath = inFolder(settings.ProductionLog);
  setup.utc = settings.CodesInUtc;
  setup.now = now;
  return setup;
}

MarkingRun::MarkingRun(MarkingSetup setup)
    : m_setup(std::move(setup)), m_now(m_setup.now ? *m_setup.now : ClockNow(m_setup.utc)) {}

MarkingRun::~MarkingRun() = default;

Template MarkingRun::Parse(std::string_view text, std::string_view where) {
  Template parsed = ParseTemplate(text, where);
  for (const Placeholder& p : parsed.placeholders) {
    try {
      // Filled once now, so that a bad format or a missing table stops the job before it writes.
      if (p.name == "Date") Note("Date:" + p.argument, FormatDate(p.argument, m_now, m_setup.yearLetters));
      if (p.name == "Shift") Note("Shift", ShiftAtTime(m_setup.shifts, m_now).name);
    } catch (const Error& error) {
      throw Error(std::string(error.what()) + " (in {" + p.name +
                  (p.argument.empty() ? "" : ":" + p.argument) + "} of " + std::string(where) + ")");
    }
    if (p.name == "Counter" &&
        std::find(m_counterNames.begin(), m_counterNames.end(), p.argument) == m_counterNames.end()) {
      m_counterNames.push_back(p.argument);
    }
  }
  return parsed;
}

void MarkingRun::TakeNumbers(const std::string& extraName, std::size_t extra,
                             std::size_t perText) {
  if (m_counterNames.empty() && extraName.empty()) return;
  std::vector<Counter> peeked;
  if (m_peek) {
    RefuseNonRegularFile(m_setup.counterPath, "Cannot read the counter file");
    if (::access(m_setup.counterPath.c_str(), F_OK) == 0) {
      peeked = ParseCounterFile(ReadWholeFile(m_setup.counterPath, kMaxCounterFileBytes,
                                              "Cannot read the counter file"),
                                m_setup.counterPath);
    }
  } else if (!m_file) {
    m_file = std::make_unique<CounterFile>(m_setup.counterPath);
  }
  std::vector<Counter>& counters = m_peek ? peeked : m_file->Counters();
  const auto find = [&](const std::string& name) -> Counter& {
    for (Counter& counter : counters) {
      if (counter.name == name) return counter;
    }
    // A mistyped name must not start a second series of serials at 1.
    throw Error("There is no counter '" + name + "' in the counter file '" + m_setup.counterPath +
                "': set its first value with \"counter " + name +
                " VALUE\" or in the Codes section");
  };
  std::vector<std::string> names = m_counterNames;
  if (!extraName.empty() && std::find(names.begin(), names.end(), extraName) == names.end()) {
    names.push_back(extraName);
  }
  // Checked and taken on copies: a refusal of the last counter leaves the first untouched.
  std::vector<Counter> after;
  std::map<std::string, std::vector<std::int64_t>, std::less<>> taken;
  for (const std::string& name : names) {
    Counter counter = find(name);
    m_before[name] = counter;
    const std::size_t count =
        (name == extraName ? extra : 0) + (NamedInTexts(name) ? perText : 0);
    taken[name] = TakeValues(counter, count, ResetPeriod(counter.reset, m_now, m_setup.shifts));
    after.push_back(std::move(counter));
  }
  for (Counter& counter : after) find(counter.name) = std::move(counter);
  m_taken = std::move(taken);
  if (perText != 1) return;
  for (const std::string& name : m_counterNames) {
    Note(name, FormatCounterValue(m_before.at(name), m_taken.at(name).front()));
  }
}

const std::vector<std::int64_t>& MarkingRun::Taken(const std::string& name) const {
  const auto it = m_taken.find(name);
  if (it == m_taken.end()) throw Error("No number was taken from the counter '" + name + "'");
  return it->second;
}

bool MarkingRun::NamedInTexts(const std::string& name) const {
  return std::find(m_counterNames.begin(), m_counterNames.end(), name) != m_counterNames.end();
}

const Counter& MarkingRun::CounterOf(const std::string& name) const {
  const auto it = m_before.find(name);
  if (it == m_before.end()) throw Error("No number was taken from the counter '" + name + "'");
  return it->second;
}

std::string MarkingRun::Value(const Placeholder& p, std::size_t index) const {
  if (p.name == "Date") return FormatDate(p.argument, m_now, m_setup.yearLetters);
  if (p.name == "Shift") return ShiftAtTime(m_setup.shifts, m_now).name;
  const std::vector<std::int64_t>& values = Taken(p.argument);
  if (index >= values.size()) {
    std::string message = "No number was taken from the counter '" + p.argument + "' for row ";
    AppendInteger(message, static_cast<long long>(index + 1));
    throw Error(message);
  }
  return FormatCounterValue(CounterOf(p.argument), values[index]);
}

std::string MarkingRun::Fill(const Template& parsed) const {
  return FillTemplate(parsed, [this](const Placeholder& p) { return Value(p); });
}

void MarkingRun::Commit() {
  if (!m_file) return;
  m_file->Save();
}

std::string MarkingRun::NumbersTaken() const {
  std::string text;
  for (const auto& [name, values] : m_taken) {
    if (values.empty()) continue;
    if (!text.empty()) text += ", ";
    const Counter& counter = m_before.at(name);
    text += name + " " + FormatCounterValue(counter, values.front());
    if (values.size() > 1) text += " to " + FormatCounterValue(counter, values.back());
  }
  return text;
}

void MarkingRun::Note(std::string key, std::string value) {
  for (const auto& used : m_used) {
    if (used.first == key) return;
  }
  m_used.emplace_back(std::move(key), std::move(value));
}

void FillMarkingCodes(EngraveSettings& settings, MarkingRun& run, const std::string& extraName,
                      std::size_t extra) {
  using S = EngraveSettings;
  struct TextSlot {
    std::string* text;
    std::string where;
    bool gcode;
  };
  std::vector<TextSlot> slots;
  const auto addLines = [&](Lines& lines, std::string_view name, bool gcode) {
    for (std::size_t k = 0; k < lines.size(); ++k) {
      slots.push_back({&lines[k], Where(name, k, lines.size()), gcode});
    }
  };
  addLines(settings.FreeFormTextE, "FreeFormTextE", false);
  slots.push_back({&settings.ArcTextE, "ArcTextE", false});
  slots.push_back({&settings.EllipseTextE, "EllipseTextE", false});
  slots.push_back({&settings.SeqPrefix, "SeqPrefix", false});
  slots.push_back({&settings.SeqPostfix, "SeqPostfix", false});
  constexpr std::pair<LinesField, std::string_view> kBlocks[] = {
      {&S::PreToolChange, "PreToolChange"}, {&S::ToolChange, "ToolChange"},
      {&S::PostToolChange, "PostToolChange"}, {&S::PostEngrave, "PostEngrave"},
      {&S::SeqPreGCodes, "SeqPreGCodes"},   {&S::SeqPostGCodes, "SeqPostGCodes"}};
  for (const auto& [field, name] : kBlocks) addLines(settings.*field, name, true);

  std::vector<Template> parsed;
  parsed.reserve(slots.size());
  for (const TextSlot& slot : slots) {
    parsed.push_back(run.Parse(*slot.text, slot.where));
    if (!slot.gcode) continue;
    // Dates and shifts are known now: a value a G-code line cannot hold stops the job here.
    for (const Placeholder& p : parsed.back().placeholders) {
      if (p.name == "Counter") continue;
      if (const std::optional<std::string> bad = CharacterNotForGCode(run.Value(p))) {
        throw Error("The value of {" + p.name + ":" + p.argument + "} in " + slot.where +
                    " holds " + *bad + ", which a G-code line cannot hold");
      }
    }
  }
  run.TakeNumbers(extraName, extra);
  for (std::size_t k = 0; k < slots.size(); ++k) {
    if (parsed[k].placeholders.empty()) {
      // "{{" and "}}" are one brace even in a text without a placeholder.
      if (!parsed[k].literals.empty()) *slots[k].text = parsed[k].literals.front();
      continue;
    }
    *slots[k].text = run.Fill(parsed[k]);
  }
}

std::int64_t NextCounterValue(const MarkingSetup& setup, const std::string& name) {
  CounterFile file(setup.counterPath);
  Counter counter = file.Require(name);
  const CivilTime now = setup.now ? *setup.now : ClockNow(setup.utc);
  return TakeValues(counter, 1, ResetPeriod(counter.reset, now, setup.shifts)).front();
}

void SetCounterValue(const MarkingSetup& setup, const std::string& name, std::int64_t value) {
  CounterFile file(setup.counterPath);
  Counter* counter = file.Find(name);
  if (counter == nullptr) {
    file.Counters().push_back(NewCounter(name, value));
    counter = &file.Counters().back();
  }
  Counter changed = *counter;
  changed.next = value;
  const CivilTime now = setup.now ? *setup.now : ClockNow(setup.utc);
  changed.period = ResetPeriod(changed.reset, now, setup.shifts);
  CheckCounter(changed);
  if (changed.end && (changed.step > 0 ? value > *changed.end : value < *changed.end)) {
    std::string message = "The counter '" + name + "' ends at ";
    AppendInteger(message, *changed.end);
    throw Error(message + ": its next value cannot lie past it");
  }
  *counter = std::move(changed);
  file.Save();
}

std::vector<Counter> LoadCounters(const MarkingSetup& setup) {
  CounterFile file(setup.counterPath);
  return file.Counters();
}

void SaveCounters(const MarkingSetup& setup, const std::vector<Counter>& counters) {
  for (std::size_t k = 0; k < counters.size(); ++k) {
    CheckCounter(counters[k]);
    for (std::size_t j = 0; j < k; ++j) {
      if (counters[j].name == counters[k].name) {
        throw Error("The counter '" + counters[k].name + "' is named twice");
      }
    }
  }
  CounterFile file(setup.counterPath);
  file.Counters() = counters;
  file.Save();
}

void AppendProductionLog(const MarkingRun& run, const std::string& machineFile,
                         const std::vector<LoggedProgram>& programs) {
  const std::string& path = run.Setup().logPath;
  if (path.empty() || programs.empty()) return;
  std::string lines;
  const std::string when = FormatCivilTime(run.Instant());
  for (const LoggedProgram& program : programs) {
    AppendCsv(lines, when);
    lines += ',';
    AppendCsv(lines, machineFile);
    lines += ',';
    AppendCsv(lines, program.programFile);
    for (const auto& list : {&run.Used(), &program.extra}) {
      for (const auto& [name, value] : *list) {
        lines += ',';
        AppendCsv(lines, name + "=" + value);
      }
    }
    lines += ',';
    AppendCsv(lines, program.text);
    lines += "\r\n";
  }
  AppendToFile(path, lines, "Cannot write the production log");
}

}  // namespace stylor
