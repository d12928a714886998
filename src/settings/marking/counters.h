#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "settings/marking/marking_codes.h"

namespace stylor {

/// What a counter does when its next value would pass its end.
enum class CounterEnd { Stop, Wrap };
/// When a counter starts again from its start value: at the first value taken in a new period.
enum class CounterReset { Never, Day, Shift, Week, Month, Year };
/// The character added after a serial so that a reader can tell a misread one.
enum class CheckCharacter { None, Luhn, Mod37_36 };

/// A named counter as its file holds it: the next value to hand out and its rules.
struct Counter {
  std::string name;
  std::int64_t next = 1;
  std::int64_t start = 1;                // where a wrap and a reset begin again
  std::int64_t step = 1;                 // negative: counts down
  std::optional<std::int64_t> end;       // the last value; nothing: no end
  CounterEnd atEnd = CounterEnd::Stop;
  int width = 0;                         // leading zeros up to this many digits
  int base = 10;                         // 10, 16 or 36 (digits 0-9 then A-Z)
  CounterReset reset = CounterReset::Never;
  CheckCharacter check = CheckCharacter::None;
  std::string period;                    // the period of the last value taken (reset rule)
  friend bool operator==(const Counter&, const Counter&) = default;
};

/// The counter that `counter NAME VALUE` creates: it counts up by 1 from `value`, unpadded.
Counter NewCounter(std::string name, std::int64_t value);

/// Throws Error naming the counter for rules that cannot count: a name that is not 1 to 32
/// letters, digits, '-' or '_', a step of 0, a base other than 10, 16 or 36, a width over 30, a
/// Luhn check digit outside base 10, a negative value, or a start past the end.
void CheckCounter(const Counter& counter);

/// The value as it is cut: its digits in the counter's base (capitals), zeros in front up to
/// the width, then the check character.
std::string FormatCounterValue(const Counter& counter, std::int64_t value);

/// The Luhn (mod 10) check digit of a string of decimal digits.
char LuhnCheckDigit(std::string_view digits);

/// The ISO 7064 MOD 37,36 check character (0-9, A-Z) of a string of digits and capitals.
char Mod37_36CheckCharacter(std::string_view text);

/// The period a reset rule compares: "" for Never, the date for Day, the date the shift started
/// and its name for Shift, the ISO week for Week, the month, the year. Throws Error for a shift
/// reset without a shift table.
std::string ResetPeriod(CounterReset reset, const CivilTime& time,
                        const std::vector<ShiftStart>& shifts);

/// Takes `count` values from the counter, in order, and moves its next value past them: a
/// counter whose period has changed starts again from its start first; a value past the end
/// wraps to the start, or is refused (Error naming the counter and its end) for Stop. A value
/// below 0 or out of range is refused too. Nothing changes when it throws.
std::vector<std::int64_t> TakeValues(Counter& counter, std::size_t count, std::string_view period);

/// The bytes of a counter file: a header line and one line per counter, CR LF.
std::string FormatCounterFile(const std::vector<Counter>& counters);

/// Reads the bytes of a counter file; `name` names it in messages. Throws Error naming the
/// line for a bad header, a wrong number of values, a value that does not read, rules that
/// CheckCounter refuses, a name given twice or more than kMaxCounters counters.
std::vector<Counter> ParseCounterFile(std::string_view bytes, const std::string& name);

/// Most counters a file may hold.
inline constexpr std::size_t kMaxCounters = 10000;
/// Largest counter file read, in bytes.
inline constexpr std::size_t kMaxCounterFileBytes = std::size_t{1} << 20;

/// The counter file, held under an exclusive lock (flock on "<path>.lock") from construction to
/// destruction, so that two windows or many command-line runs take their numbers one after
/// another. The constructor waits for the lock and reads the file (a missing file holds no
/// counter); Save replaces the file atomically and flushed. A process that dies holding it
/// frees the lock and leaves the file as it was: its numbers were never handed out.
class CounterFile {
 public:
  explicit CounterFile(std::string path);
  ~CounterFile();
  CounterFile(const CounterFile&) = delete;
  CounterFile& operator=(const CounterFile&) = delete;

  std::vector<Counter>& Counters() { return m_counters; }
  /// The counter of that name, or nullptr.
  Counter* Find(std::string_view name);
  /// The counter of that name; throws Error saying how to set it up when there is none.
  Counter& Require(std::string_view name);
  /// Writes the counters back, replacing the file atomically. Throws FileError.
  void Save();
  const std::string& Path() const { return m_path; }

 private:
  std::string m_path;
  int m_lock = -1;
  std::vector<Counter> m_counters;
};

}  // namespace stylor
