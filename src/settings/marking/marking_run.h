#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "settings/engrave_settings.h"
#include "settings/marking/counters.h"
#include "settings/marking/marking_codes.h"

namespace stylor {

/// Where the codes of a job come from: the shop's tables and files, and the instant.
struct MarkingSetup {
  std::vector<ShiftStart> shifts;
  YearLetters yearLetters;
  std::string counterPath = "stylor-counters.csv";  // the counter file
  std::string logPath;                              // the production log; empty: none
  bool utc = false;                                 // the clock read as UTC, not local time
  std::optional<CivilTime> now;                     // a fixed instant (re-cutting a part)
  friend bool operator==(const MarkingSetup&, const MarkingSetup&) = default;
};

/// The setup the settings name: their shift table, year letters, counter file and log (relative
/// paths, and the default counter file stylor-counters.csv, taken in `folder`), their clock.
/// Throws Error for a shift table or year letters that do not read.
MarkingSetup MarkingSetupOf(const EngraveSettings& settings, const std::string& folder,
                            std::optional<CivilTime> now = std::nullopt);

/// The filling of one job. The instant is taken once on construction, so every line and file of
/// the job carries the same one. TakeNumbers holds the counter file locked until Commit or the
/// end of the run: numbers taken by a job that fails or is killed are never handed out, and a
/// second job waits for the first.
class MarkingRun {
 public:
  explicit MarkingRun(MarkingSetup setup);
  ~MarkingRun();
  MarkingRun(const MarkingRun&) = delete;
  MarkingRun& operator=(const MarkingRun&) = delete;

  /// Cuts a text into a template and checks its placeholders (a date format's codes, a shift
  /// table for {Shift}); refusals name `where`. The counters it names are remembered.
  Template Parse(std::string_view text, std::string_view where);
  /// Locks the counter file and takes `perText` values of every counter the parsed texts name
  /// (one per row of a batch), and `extra` values of the counter `extraName` (the Sequence
  /// page's run). Throws Error for a counter that is not defined or has no value left; nothing
  /// is taken then.
  void TakeNumbers(const std::string& extraName = {}, std::size_t extra = 0,
                   std::size_t perText = 1);
  /// Makes TakeNumbers read the counter file without its lock and Commit do nothing: the
  /// values a job would take now, for a preview that must never wait for a job.
  void PeekOnly() { m_peek = true; }
  /// The values taken for `name` by TakeNumbers (the first is the one {Counter:NAME} gives).
  const std::vector<std::int64_t>& Taken(const std::string& name) const;
  /// Whether a parsed text names the counter (it takes the first of the counter's values).
  bool NamedInTexts(const std::string& name) const;
  /// The counter as it stood when its values were taken.
  const Counter& CounterOf(const std::string& name) const;
  /// The text of a placeholder of a parsed template; a counter gives its value number `index`
  /// of those taken for the texts (a batch's row).
  std::string Value(const Placeholder& placeholder, std::size_t index = 0) const;
  /// The counters the parsed texts name, in the order first named.
  const std::vector<std::string>& CounterNames() const { return m_counterNames; }
  /// A parsed template filled.
  std::string Fill(const Template& parsed) const;
  /// Hands the numbers out: the counter file is saved with every counter moved past its values.
  /// Call once the programs are in place. The lock is held until the run is destroyed, so that
  /// the production log's lines go in one after another, in the order of the numbers. Throws
  /// FileError.
  void Commit();
  /// What the job used, in the order first named: ("SN", "0042"), ("Date:yyMMdd", "261211"),
  /// ("Shift", "B"). For the production log and the status bar. A counter that gives each row
  /// of a batch its own value is not here: each row's program names its own.
  const std::vector<std::pair<std::string, std::string>>& Used() const { return m_used; }
  /// "SN 0042, LOT 7": the counter values taken, for the status bar; empty when none.
  std::string NumbersTaken() const;
  const CivilTime& Instant() const { return m_now; }
  const MarkingSetup& Setup() const { return m_setup; }

 private:
  void Note(std::string key, std::string value);

  MarkingSetup m_setup;
  CivilTime m_now;
  std::vector<std::string> m_counterNames;  // in the order first named
  std::unique_ptr<CounterFile> m_file;
  bool m_peek = false;
  std::map<std::string, std::vector<std::int64_t>, std::less<>> m_taken;
  std::map<std::string, Counter, std::less<>> m_before;
  std::vector<std::pair<std::string, std::string>> m_used;
};

/// Fills every text and G-code block of `settings` in place: the free-form text, circle and
/// ellipse texts, the sequence prefix and suffix, the four blocks and the lines before and after
/// each sequence. Every text is parsed before any number is taken, so an unknown name is refused
/// with nothing taken; a value filled into a G-code line that CharacterNotForGCode refuses is
/// refused, naming the field, line and character. Calls run.TakeNumbers(extraName, extra).
void FillMarkingCodes(EngraveSettings& settings, MarkingRun& run,
                      const std::string& extraName = {}, std::size_t extra = 0);

/// The value the next job would take from the counter `name` (its reset rule applied at the
/// setup's instant), read under the counter file's lock. Throws Error for a counter that is not
/// defined or has no value left.
std::int64_t NextCounterValue(const MarkingSetup& setup, const std::string& name);

/// Sets the next value of the counter `name` under the lock, creating a counter that counts up
/// by 1 from `value`, unpadded, when there is none. The value counts in the present period, so a
/// reset rule does not undo it. Throws Error for a value the counter's rules refuse.
void SetCounterValue(const MarkingSetup& setup, const std::string& name, std::int64_t value);

/// The counters of the setup's counter file, read under its lock (none when it is missing).
std::vector<Counter> LoadCounters(const MarkingSetup& setup);

/// Replaces the counters of the setup's counter file, under its lock, by `counters` (the Codes
/// section's table). Throws Error naming the counter for rules CheckCounter refuses or a name
/// given twice; nothing is written then.
void SaveCounters(const MarkingSetup& setup, const std::vector<Counter>& counters);

/// Appends one line per program to the production log of `run` (none when its path is empty):
/// time, machine file, program file, each code used as name=value, and the engraved text, as
/// CSV with CR LF. The lines are added whole or not at all and flushed. Throws FileError.
struct LoggedProgram {
  std::string programFile;
  std::string text;                                          // the engraved text
  std::vector<std::pair<std::string, std::string>> extra;    // codes of this program alone
};
void AppendProductionLog(const MarkingRun& run, const std::string& machineFile,
                         const std::vector<LoggedProgram>& programs);

}  // namespace stylor
