#include "settings/marking/marking_codes.h"

#include <algorithm>
#include <ctime>

#include "settings/error.h"
#include "settings/numbers.h"

namespace stylor {
namespace {

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// Appends `value` with zeros in front to `width` digits (value >= 0).
void AppendPadded(std::string& out, long long value, int width) {
  std::string digits;
  AppendInteger(digits, value);
  if (static_cast<int>(digits.size()) < width) out.append(width - digits.size(), '0');
  out += digits;
}

// The number of `width` digits at `pos` of `text`, or -1.
int Digits(std::string_view text, std::size_t pos, std::size_t width) {
  int value = 0;
  for (std::size_t k = pos; k < pos + width; ++k) {
    if (k >= text.size() || text[k] < '0' || text[k] > '9') return -1;
    value = value * 10 + (text[k] - '0');
  }
  return value;
}

bool IsNameCharacter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '-';
}

constexpr std::string_view kPlaceholderNames =
    "Fill placeholders takes {Date:FORMAT}, {Shift} and {Counter:NAME}; write {{ and }} for a "
    "brace";

std::string At(std::size_t offset, std::string_view where) {
  std::string at = "at character ";
  AppendInteger(at, static_cast<long long>(offset + 1));
  at += " of ";
  at += where;
  return at;
}

}  // namespace

std::int64_t DaysFromCivil(int year, int month, int day) {
  const std::int64_t y = year - (month <= 2 ? 1 : 0);
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t mp = (month + 9) % 12;
  const std::int64_t doy = (153 * mp + 2) / 5 + day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

CivilTime CivilFromDays(std::int64_t days) {
  days += 719468;
  const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const std::int64_t doe = days - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  CivilTime time;
  time.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  time.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  time.year = static_cast<int>(yoe + era * 400 + (time.month <= 2 ? 1 : 0));
  return time;
}

CivilTime ReadCivilTime(std::string_view text) {
  const auto refuse = [&] {
    return Error("'" + std::string(text) +
                 "' is not a date and time of the form YYYY-MM-DDTHH:MM:SS");
  };
  if (text.size() != 19 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
      text[13] != ':' || text[16] != ':') {
    throw refuse();
  }
  CivilTime time{Digits(text, 0, 4),  Digits(text, 5, 2),  Digits(text, 8, 2),
                 Digits(text, 11, 2), Digits(text, 14, 2), Digits(text, 17, 2)};
  if (time.year < 1 || time.month < 1 || time.month > 12 || time.day < 1 ||
      time.day > DaysInMonth(time.year, time.month) || time.hour < 0 || time.hour > 23 ||
      time.minute < 0 || time.minute > 59 || time.second < 0 || time.second > 59) {
    throw refuse();
  }
  return time;
}

std::string FormatCivilTime(const CivilTime& time) {
  std::string out;
  AppendPadded(out, time.year, 4);
  out += '-';
  AppendPadded(out, time.month, 2);
  out += '-';
  AppendPadded(out, time.day, 2);
  out += 'T';
  AppendPadded(out, time.hour, 2);
  out += ':';
  AppendPadded(out, time.minute, 2);
  out += ':';
  AppendPadded(out, time.second, 2);
  return out;
}

CivilTime ClockNow(bool utc) {
  const std::time_t now = std::time(nullptr);
  std::tm parts{};
  if (utc) gmtime_r(&now, &parts);
  else localtime_r(&now, &parts);
  // A leap second reads as the last second of its minute.
  return CivilTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                   parts.tm_hour,        parts.tm_min,     std::min(parts.tm_sec, 59)};
}

int DayOfYear(const CivilTime& time) {
  return static_cast<int>(DaysFromCivil(time.year, time.month, time.day) -
                          DaysFromCivil(time.year, 1, 1)) + 1;
}

IsoWeek IsoWeekOf(const CivilTime& time) {
  const std::int64_t days = DaysFromCivil(time.year, time.month, time.day);
  // 1970-01-01 was a Thursday; ISO weekdays run Monday 1 to Sunday 7.
  const std::int64_t weekday = ((days % 7) + 7 + 3) % 7 + 1;
  // The week belongs to the year that holds its Thursday.
  const CivilTime thursday = CivilFromDays(days + 4 - weekday);
  return IsoWeek{thursday.year, (DayOfYear(thursday) - 1) / 7 + 1};
}

YearLetters ReadYearLetters(std::string_view text) {
  if (text.empty()) return YearLetters{};
  const auto refuse = [&](std::string_view why) {
    return Error("The year letters '" + std::string(text) + "' " + std::string(why) +
                 ": write the first year, a colon and the letters, as 2008:ABCDEFGHJKLMNPRSTUVWXYZ");
  };
  const std::size_t colon = text.find(':');
  if (colon != 4) throw refuse("do not start with a year of four digits");
  YearLetters table;
  table.firstYear = Digits(text, 0, 4);
  if (table.firstYear < 1900) throw refuse("do not start with a year of 1900 to 9999");
  table.letters = std::string(text.substr(colon + 1));
  if (table.letters.empty()) throw refuse("hold no letter");
  for (std::size_t k = 0; k < table.letters.size(); ++k) {
    const char c = table.letters[k];
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) {
      throw refuse("hold a character that is no capital letter or digit");
    }
    if (table.letters.find(c, k + 1) != std::string::npos) {
      throw refuse(std::string("hold the letter ") + c + " twice");
    }
  }
  return table;
}

char YearLetterOf(const YearLetters& table, int year) {
  if (year < table.firstYear) {
    std::string message = "The year letters start in ";
    AppendInteger(message, table.firstYear);
    message += ": there is no letter for ";
    AppendInteger(message, year);
    throw Error(message);
  }
  return table.letters[static_cast<std::size_t>(year - table.firstYear) % table.letters.size()];
}

std::string FormatDate(std::string_view format, const CivilTime& time,
                       const YearLetters& letters) {
  std::string out;
  std::size_t pos = 0;
  const auto starts = [&](std::string_view code) { return format.substr(pos, code.size()) == code; };
  while (pos < format.size()) {
    if (starts("yyyy")) {
      AppendPadded(out, time.year, 4), pos += 4;
    } else if (starts("yy")) {
      AppendPadded(out, time.year % 100, 2), pos += 2;
    } else if (starts("YYYY")) {
      AppendPadded(out, IsoWeekOf(time).year, 4), pos += 4;
    } else if (starts("YY")) {
      AppendPadded(out, IsoWeekOf(time).year % 100, 2), pos += 2;
    } else if (starts("MM")) {
      AppendPadded(out, time.month, 2), pos += 2;
    } else if (starts("dd")) {
      AppendPadded(out, time.day, 2), pos += 2;
    } else if (starts("HH")) {
      AppendPadded(out, time.hour, 2), pos += 2;
    } else if (starts("mm")) {
      AppendPadded(out, time.minute, 2), pos += 2;
    } else if (starts("ss")) {
      AppendPadded(out, time.second, 2), pos += 2;
    } else if (starts("ww")) {
      AppendPadded(out, IsoWeekOf(time).week, 2), pos += 2;
    } else if (starts("jjj")) {
      AppendPadded(out, DayOfYear(time), 3), pos += 3;
    } else if (starts("J")) {
      AppendPadded(out, DayOfYear(time), 3);
      AppendInteger(out, time.year % 10);
      pos += 1;
    } else if (starts("L")) {
      out += YearLetterOf(letters, time.year), pos += 1;
    } else {
      const char c = format[pos];
      if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
        throw Error("The date format '" + std::string(format) + "' holds '" + std::string(1, c) +
                    "', which starts no date code: the codes are yyyy yy YYYY YY MM dd HH mm ss "
                    "ww jjj J L");
      }
      out += c;
      ++pos;
    }
  }
  return out;
}

std::vector<ShiftStart> ReadShiftTable(const std::vector<std::string>& lines) {
  std::vector<ShiftStart> shifts;
  for (const std::string& line : lines) {
    std::size_t start = 0;
    while (start <= line.size()) {
      std::size_t end = line.find(',', start);
      if (end == std::string::npos) end = line.size();
      std::string_view entry = std::string_view(line).substr(start, end - start);
      start = end + 1;
      while (!entry.empty() && entry.front() == ' ') entry.remove_prefix(1);
      while (!entry.empty() && (entry.back() == ' ' || entry.back() == '\r')) entry.remove_suffix(1);
      if (entry.empty()) continue;
      const auto refuse = [&](std::string_view why) {
        return Error("The shift '" + std::string(entry) + "' " + std::string(why) +
                     ": write a name and the time it starts, as A 06:00");
      };
      const std::size_t space = entry.rfind(' ');
      if (space == std::string_view::npos) throw refuse("has no start time");
      std::string_view name = entry.substr(0, space);
      while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
      const std::string_view clock = entry.substr(space + 1);
      if (name.empty() || name.size() > 16 ||
          !std::all_of(name.begin(), name.end(), IsNameCharacter)) {
        throw refuse("has no name of 1 to 16 letters, digits, '-' or '_'");
      }
      const int hour = clock.size() == 5 && clock[2] == ':' ? Digits(clock, 0, 2) : -1;
      const int minute = clock.size() == 5 ? Digits(clock, 3, 2) : -1;
      if (hour < 0 || hour > 23 || minute < 0 || minute > 59) {
        throw refuse("has no start time HH:MM");
      }
      ShiftStart shift{std::string(name), hour * 60 + minute};
      for (const ShiftStart& other : shifts) {
        if (other.name == shift.name) throw refuse("repeats the name of another shift");
        if (other.minuteOfDay == shift.minuteOfDay) throw refuse("starts when another shift starts");
      }
      shifts.push_back(std::move(shift));
    }
  }
  std::sort(shifts.begin(), shifts.end(),
            [](const ShiftStart& a, const ShiftStart& b) { return a.minuteOfDay < b.minuteOfDay; });
  return shifts;
}

ShiftAt ShiftAtTime(const std::vector<ShiftStart>& shifts, const CivilTime& time) {
  if (shifts.empty()) {
    throw Error("{Shift} needs a shift table: name each shift and the time it starts, as A 06:00");
  }
  const int minute = time.hour * 60 + time.minute;
  const std::int64_t today = DaysFromCivil(time.year, time.month, time.day);
  for (auto it = shifts.rbegin(); it != shifts.rend(); ++it) {
    if (it->minuteOfDay <= minute) return ShiftAt{it->name, CivilFromDays(today)};
  }
  // Before the first start of the day: the night shift that began yesterday is still on.
  return ShiftAt{shifts.back().name, CivilFromDays(today - 1)};
}

Template ParseTemplate(std::string_view text, std::string_view where) {
  Template parsed;
  parsed.literals.emplace_back();
  std::size_t pos = 0;
  while (pos < text.size()) {
    const char c = text[pos];
    if (c == '}') {
      if (pos + 1 < text.size() && text[pos + 1] == '}') {
        parsed.literals.back() += '}';
        pos += 2;
        continue;
      }
      throw Error("A lone '}' " + At(pos, where) + ": " + std::string(kPlaceholderNames));
    }
    if (c != '{') {
      parsed.literals.back() += c;
      ++pos;
      continue;
    }
    if (pos + 1 < text.size() && text[pos + 1] == '{') {
      parsed.literals.back() += '{';
      pos += 2;
      continue;
    }
    const std::size_t close = text.find('}', pos);
    const std::size_t nextOpen = text.find('{', pos + 1);
    if (close == std::string_view::npos || (nextOpen != std::string_view::npos && nextOpen < close)) {
      throw Error("A '{' without its '}' " + At(pos, where) + ": " + std::string(kPlaceholderNames));
    }
    const std::string_view inside = text.substr(pos + 1, close - pos - 1);
    const std::size_t colon = inside.find(':');
    Placeholder placeholder{std::string(inside.substr(0, colon)),
                            colon == std::string_view::npos ? std::string()
                                                            : std::string(inside.substr(colon + 1)),
                            pos};
    const std::string shown = "{" + std::string(inside) + "}";
    const bool hasArgument = colon != std::string_view::npos;
    if (placeholder.name == "Date" || placeholder.name == "Counter") {
      if (placeholder.argument.empty()) {
        throw Error("The placeholder " + shown + " " + At(pos, where) + " needs " +
                    (placeholder.name == "Date" ? "a format, as {Date:yyMMdd}"
                                                : "a counter name, as {Counter:SN}"));
      }
    } else if (placeholder.name == "Shift") {
      if (hasArgument) {
        throw Error("The placeholder " + shown + " " + At(pos, where) + " takes nothing after its name: write {Shift}");
      }
    } else {
      throw Error("Unknown placeholder " + shown + " " + At(pos, where) + ": " +
                  std::string(kPlaceholderNames));
    }
    parsed.placeholders.push_back(std::move(placeholder));
    parsed.literals.emplace_back();
    pos = close + 1;
  }
  return parsed;
}

std::optional<Placeholder> CodePlaceholderOf(std::string_view name) {
  if (name == "Shift") return Placeholder{"Shift", {}, 0};
  const std::size_t colon = name.find(':');
  if (colon == std::string_view::npos || colon + 1 == name.size()) return std::nullopt;
  const std::string_view head = name.substr(0, colon);
  if (head != "Date" && head != "Counter") return std::nullopt;
  return Placeholder{std::string(head), std::string(name.substr(colon + 1)), 0};
}

std::string FillTemplate(const Template& parsed,
                         const std::function<std::string(const Placeholder&)>& value) {
  std::string out = parsed.literals.front();
  for (std::size_t k = 0; k < parsed.placeholders.size(); ++k) {
    out += value(parsed.placeholders[k]);
    out += parsed.literals[k + 1];
  }
  return out;
}

std::string_view PlaceholderHelp() {
  return "With FillPlaceholders=1 every text and G-code block is filled when a job is written:\n"
         "  {Date:FORMAT}   the job's date and time; FORMAT takes yyyy yy (year), YYYY YY (ISO\n"
         "                  week year), MM dd HH mm ss, ww (ISO week), jjj (day of the year),\n"
         "                  J (Julian date code: day of the year and last digit of the year,\n"
         "                  3456 for 2026-12-11), L (year letter, A = 2008 without I, O, Q);\n"
         "                  other letters are refused, other characters written as they are\n"
         "  {Shift}         the name of the shift running (a shift past midnight keeps the date\n"
         "                  it started on)\n"
         "  {Counter:NAME}  the next value of the counter NAME, taken when the programs are in\n"
         "                  place (see the action counter)\n"
         "  {{ and }}       a brace; an unknown name is refused before anything is written\n";
}

}  // namespace stylor
