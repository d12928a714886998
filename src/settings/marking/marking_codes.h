#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace stylor {

/// A wall-clock instant as the shop reads it (local time or UTC), to the second.
struct CivilTime {
  int year = 1970;
  int month = 1;   // 1..12
  int day = 1;     // 1..31
  int hour = 0;    // 0..23
  int minute = 0;  // 0..59
  int second = 0;  // 0..59
  friend bool operator==(const CivilTime&, const CivilTime&) = default;
};

/// Days since 1970-01-01 of a calendar date (proleptic Gregorian).
std::int64_t DaysFromCivil(int year, int month, int day);

/// The calendar date of a count of days since 1970-01-01 (time of day 00:00:00).
CivilTime CivilFromDays(std::int64_t days);

/// Reads "YYYY-MM-DDTHH:MM:SS" (a real date and time of day); throws Error
/// "'<text>' is not a date and time of the form YYYY-MM-DDTHH:MM:SS" otherwise.
CivilTime ReadCivilTime(std::string_view text);

/// "YYYY-MM-DDTHH:MM:SS".
std::string FormatCivilTime(const CivilTime& time);

/// The instant a job takes once: the clock now, as local time or as UTC.
CivilTime ClockNow(bool utc);

/// The ISO 8601 week of a date: its week-numbering year and week 1..53.
struct IsoWeek {
  int year = 0;
  int week = 0;
  friend bool operator==(const IsoWeek&, const IsoWeek&) = default;
};
IsoWeek IsoWeekOf(const CivilTime& time);

/// Day of the year, 1..366.
int DayOfYear(const CivilTime& time);

/// The letters that stand for years on a stamp: `letters[0]` is `firstYear`, the next letter the
/// next year, and the table starts over after its last letter.
struct YearLetters {
  int firstYear = 2008;
  std::string letters = "ABCDEFGHJKLMNPRSTUVWXYZ";  // I, O and Q skipped: they read as 1, 0, O
  friend bool operator==(const YearLetters&, const YearLetters&) = default;
};

/// Reads "<first year>:<letters>" ("2008:ABCDEFGHJKLMNPRSTUVWXYZ"); empty gives the default
/// table. Throws Error for a year out of 1900..9999, no letters, a character that is no capital
/// letter or digit, or a letter given twice.
YearLetters ReadYearLetters(std::string_view text);

/// The letter of `year`; throws Error for a year before the table's first.
char YearLetterOf(const YearLetters& table, int year);

/// Fills a date format: yyyy, yy (calendar year), YYYY, YY (ISO week-numbering year), MM, dd,
/// HH, mm, ss, ww (ISO week), jjj (day of the year), J (the Julian date code: day of the year and
/// last digit of the year, "3456" for 2026-12-11), L (the year letter). Every other character
/// but a letter is written as it is. Throws Error naming a letter that starts no code, so that a
/// mistyped code is never cut as text.
std::string FormatDate(std::string_view format, const CivilTime& time, const YearLetters& letters);

/// One shift: its name and the minute of the day it starts.
struct ShiftStart {
  std::string name;
  int minuteOfDay = 0;
  friend bool operator==(const ShiftStart&, const ShiftStart&) = default;
};

/// Reads a shift table, one shift a line or separated by commas, "A 06:00", "B 14:00", ...:
/// a name (letters, digits, '-', '_', at most 16) and a start time HH:MM. Empty lines are
/// skipped. Throws Error naming the entry for a bad name or time, a name or start given twice.
/// The result is sorted by start.
std::vector<ShiftStart> ReadShiftTable(const std::vector<std::string>& lines);

/// The shift running at `time` and the date it started on: the last shift that started at or
/// before the time of day; before the first start of the day, the last shift of the day before
/// (it crossed midnight and keeps the date on which it started). Throws Error when the table is
/// empty.
struct ShiftAt {
  std::string name;
  CivilTime startDate;  // the date the shift started on, 00:00:00
  friend bool operator==(const ShiftAt&, const ShiftAt&) = default;
};
ShiftAt ShiftAtTime(const std::vector<ShiftStart>& shifts, const CivilTime& time);

/// One placeholder of a text: its name ("Date", "Shift", "Counter"), the part after ':' and
/// where it starts in the text (byte offset).
struct Placeholder {
  std::string name;
  std::string argument;
  std::size_t offset = 0;
  friend bool operator==(const Placeholder&, const Placeholder&) = default;
};

/// A text cut into literal runs and placeholders, in order: `literals` has one more entry than
/// `placeholders` (the run before each, then the rest).
struct Template {
  std::vector<std::string> literals;
  std::vector<Placeholder> placeholders;
};

/// Cuts `text` into a template: "{{" and "}}" stand for one brace, "{Name}" and
/// "{Name:argument}" for a placeholder. `where` names the text in messages ("line 2 of
/// the start block"). Throws Error naming `where` and the character for a "{" that is never
/// closed, a lone "}", and for a name that is not Date (which needs a format), Shift (which takes
/// none) or Counter (which needs a counter name).
Template ParseTemplate(std::string_view text, std::string_view where);

/// The placeholder that `name` (as written between braces) stands for when it is one of the
/// codes: "Shift", "Date:FORMAT" or "Counter:NAME" with something after the colon; nothing for
/// any other name (a column of a data file).
std::optional<Placeholder> CodePlaceholderOf(std::string_view name);

/// The text of a template with each placeholder replaced by `value(placeholder)`.
std::string FillTemplate(const Template& parsed,
                         const std::function<std::string(const Placeholder&)>& value);

/// One line of the help and the manual for each placeholder and date code.
std::string_view PlaceholderHelp();

}  // namespace stylor
