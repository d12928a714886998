#include "settings/marking/marking_codes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "settings/error.h"
#include "settings/marking/counters.h"

namespace stylor {
namespace {

using testing::HasSubstr;
using testing::ThrowsMessage;

struct DateCase {
  const char* name;
  const char* instant;
  const char* format;
  const char* text;
};

constexpr DateCase kDates[] = {
    {"EveryCalendarCode", "2026-12-11T14:05:09", "yyyy-yy-MM-dd HH:mm:ss", "2026-26-12-11 14:05:09"},
    {"DayOfYear", "2026-12-11T14:05:09", "jjj", "345"},
    {"DayOfYearPadded", "2026-01-05T00:00:00", "jjj", "005"},
    {"JulianDateCode", "2026-12-11T14:05:09", "J", "3456"},
    {"JulianDateCodeLeapYearEnd", "2024-12-31T23:59:59", "J", "3664"},
    {"IsoWeek", "2026-12-11T14:05:09", "YYYY-ww", "2026-50"},
    {"IsoWeekLastThursdayOfYear", "2026-12-31T12:00:00", "yyyy YYYY ww", "2026 2026 53"},
    {"IsoWeekNewYearStaysInOldWeek", "2027-01-01T12:00:00", "yyyy YYYY ww", "2027 2026 53"},
    {"IsoWeekOneStartsInDecember", "2025-12-29T00:00:00", "yyyy YY ww", "2025 26 01"},
    {"IsoWeekSundayEndsWeek", "2027-01-03T00:00:00", "YYYY ww", "2026 53"},
    {"IsoWeekMondayStartsWeek", "2027-01-04T00:00:00", "YYYY ww", "2027 01"},
    {"YearLetterSkipsIOQ", "2026-12-11T14:05:09", "L", "V"},
    {"YearLetterFirstYear", "2008-06-01T00:00:00", "L", "A"},
    {"YearLetterAfterH", "2016-06-01T00:00:00", "L", "J"},
    {"YearLetterTableStartsOver", "2031-06-01T00:00:00", "L", "A"},
    {"SeparatorsAsTyped", "2026-12-11T14:05:09", "yy/MM.dd_#", "26/12.11_#"},
};

TEST(FormatDate, EveryCodeOnFixedInstants) {
  for (const DateCase& c : kDates) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FormatDate(c.format, ReadCivilTime(c.instant), YearLetters{}), c.text);
  }
}

TEST(FormatDate, RefusesLettersThatStartNoCode) {
  const CivilTime t = ReadCivilTime("2026-12-11T14:05:09");
  EXPECT_THAT([&] { FormatDate("yyyyMMddT", t, {}); },
              ThrowsMessage<Error>(HasSubstr("holds 'T', which starts no date code")));
  EXPECT_THAT([&] { FormatDate("yyy", t, {}); }, ThrowsMessage<Error>(HasSubstr("holds 'y'")));
  EXPECT_THAT([&] { FormatDate("L", ReadCivilTime("2007-01-01T00:00:00"), {}); },
              ThrowsMessage<Error>(HasSubstr("no letter for 2007")));
}

TEST(CivilTime, ReadsOnlyRealInstants) {
  EXPECT_EQ(ReadCivilTime("2024-02-29T23:59:59"), (CivilTime{2024, 2, 29, 23, 59, 59}));
  EXPECT_EQ(FormatCivilTime(ReadCivilTime("2026-12-11T14:05:00")), "2026-12-11T14:05:00");
  for (const char* bad : {"2026-02-29T00:00:00", "2026-12-11 14:05:00", "2026-13-01T00:00:00",
                          "2026-12-11T24:00:00", "2026-12-11T14:05", "2026-1a-11T14:05:00"}) {
    SCOPED_TRACE(bad);
    EXPECT_THAT([&] { ReadCivilTime(bad); },
                ThrowsMessage<Error>(HasSubstr("is not a date and time of the form")));
  }
  for (std::int64_t days : {-1000000, -1, 0, 1, 20798, 3000000}) {
    const CivilTime t = CivilFromDays(days);
    EXPECT_EQ(DaysFromCivil(t.year, t.month, t.day), days);
  }
}

TEST(YearLetters, ReadsAndRefuses) {
  const YearLetters table = ReadYearLetters("2020:XYZ");
  EXPECT_EQ(YearLetterOf(table, 2020), 'X');
  EXPECT_EQ(YearLetterOf(table, 2023), 'X');
  EXPECT_EQ(ReadYearLetters(""), YearLetters{});
  EXPECT_THAT([] { ReadYearLetters("2020:ABA"); }, ThrowsMessage<Error>(HasSubstr("the letter A twice")));
  EXPECT_THAT([] { ReadYearLetters("20:AB"); }, ThrowsMessage<Error>(HasSubstr("four digits")));
  EXPECT_THAT([] { ReadYearLetters("2020:a"); }, ThrowsMessage<Error>(HasSubstr("no capital letter")));
}

TEST(Shifts, NightShiftKeepsTheDateItStartedOn) {
  const std::vector<ShiftStart> shifts = ReadShiftTable({"B 14:00, A 06:00", "", "C 22:00"});
  ASSERT_EQ(shifts.size(), 3u);
  EXPECT_EQ(shifts.front().name, "A");
  struct Case {
    const char* instant;
    const char* shift;
    const char* date;
  };
  for (const Case& c : {Case{"2026-12-11T06:00:00", "A", "2026-12-11"},
                        Case{"2026-12-11T13:59:59", "A", "2026-12-11"},
                        Case{"2026-12-11T14:00:00", "B", "2026-12-11"},
                        Case{"2026-12-11T23:30:00", "C", "2026-12-11"},
                        Case{"2026-12-12T02:00:00", "C", "2026-12-11"},
                        Case{"2027-01-01T05:59:00", "C", "2026-12-31"}}) {
    SCOPED_TRACE(c.instant);
    const ShiftAt at = ShiftAtTime(shifts, ReadCivilTime(c.instant));
    EXPECT_EQ(at.name, c.shift);
    EXPECT_EQ(FormatDate("yyyy-MM-dd", at.startDate, {}), c.date);
  }
  EXPECT_THAT([] { ReadShiftTable({"A 06:00", "A 14:00"}); },
              ThrowsMessage<Error>(HasSubstr("The shift 'A 14:00' repeats the name")));
  EXPECT_THAT([] { ReadShiftTable({"A 6:00"}); }, ThrowsMessage<Error>(HasSubstr("no start time HH:MM")));
  EXPECT_THAT([] { ReadShiftTable({"A 25:00"}); }, ThrowsMessage<Error>(HasSubstr("no start time HH:MM")));
  EXPECT_THAT([] { ShiftAtTime({}, CivilTime{}); }, ThrowsMessage<Error>(HasSubstr("needs a shift table")));
}

TEST(Templates, BracesPlaceholdersAndWhereTheyAre) {
  const Template t = ParseTemplate("PN-{Date:yyMMdd}-{Shift}-{{{Counter:SN}}}", "the text");
  ASSERT_EQ(t.placeholders.size(), 3u);
  EXPECT_EQ(t.placeholders[0], (Placeholder{"Date", "yyMMdd", 3}));
  EXPECT_EQ(t.placeholders[2], (Placeholder{"Counter", "SN", 27}));
  EXPECT_EQ(FillTemplate(t, [](const Placeholder& p) { return "<" + p.name + ">"; }),
            "PN-<Date>-<Shift>-{<Counter>}");

  struct Bad {
    const char* text;
    const char* message;
  };
  for (const Bad& c : {
           Bad{"A{Name}", "Unknown placeholder {Name} at character 2 of line 3 of ToolChange"},
           Bad{"{date:yy}", "Unknown placeholder {date:yy} at character 1"},
           Bad{"ab{Date:yy", "A '{' without its '}' at character 3"},
           Bad{"{Date:yy{Shift}", "A '{' without its '}' at character 1"},
           Bad{"a}b", "A lone '}' at character 2"},
           Bad{"{Date}", "{Date} at character 1 of line 3 of ToolChange needs a format"},
           Bad{"{Counter:}", "needs a counter name"},
           Bad{"{Shift:A}", "takes nothing after its name"},
       }) {
    SCOPED_TRACE(c.text);
    EXPECT_THAT([&] { ParseTemplate(c.text, "line 3 of ToolChange"); },
                ThrowsMessage<Error>(HasSubstr(c.message)));
  }
}

TEST(CheckCharacters, PublishedExamples) {
  // The usual worked example of the Luhn algorithm, and a card test number.
  EXPECT_EQ(LuhnCheckDigit("7992739871"), '3');
  EXPECT_EQ(LuhnCheckDigit("401288888888188"), '1');
  EXPECT_EQ(LuhnCheckDigit("0"), '0');
  // ISO 7064 MOD 37,36: the check character of a release identifier, and of an ISAN root.
  EXPECT_EQ(Mod37_36CheckCharacter("A12425GABC1234002"), 'M');
}

Counter Rule(std::int64_t next, std::int64_t step, std::optional<std::int64_t> end, CounterEnd atEnd) {
  Counter c = NewCounter("SN", next);
  c.start = step > 0 ? 1 : 9;
  c.step = step;
  c.end = end;
  c.atEnd = atEnd;
  return c;
}

TEST(Counters, StepEndWrapAndStop) {
  struct Case {
    const char* name;
    Counter counter;
    std::size_t count;
    std::vector<std::int64_t> values;
    std::int64_t next;
  };
  const Case cases[] = {
      {"CountsUp", Rule(5, 1, std::nullopt, CounterEnd::Stop), 3, {5, 6, 7}, 8},
      {"StepsOfTen", Rule(5, 10, std::nullopt, CounterEnd::Stop), 2, {5, 15}, 25},
      {"EndIsTheLastValue", Rule(8, 1, 9, CounterEnd::Stop), 2, {8, 9}, 10},
      {"WrapsToTheStart", Rule(8, 1, 9, CounterEnd::Wrap), 4, {8, 9, 1, 2}, 3},
      {"CountsDownAndWraps", Rule(2, -1, 1, CounterEnd::Wrap), 3, {2, 1, 9}, 8},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Counter counter = c.counter;
    EXPECT_EQ(TakeValues(counter, c.count, ""), c.values);
    EXPECT_EQ(counter.next, c.next);
  }
  Counter stop = Rule(8, 1, 9, CounterEnd::Stop);
  EXPECT_THAT([&] { TakeValues(stop, 3, ""); },
              ThrowsMessage<Error>(HasSubstr("The counter 'SN' has no value left: its end is 9")));
  EXPECT_EQ(stop.next, 8) << "a refused take changes nothing";
  Counter down = Rule(1, -1, std::nullopt, CounterEnd::Stop);
  EXPECT_THAT([&] { TakeValues(down, 3, ""); }, ThrowsMessage<Error>(HasSubstr("it would go below 0")));
}

TEST(Counters, ResetRulesAtTheirBoundaries) {
  const std::vector<ShiftStart> shifts = ReadShiftTable({"A 06:00", "B 14:00", "C 22:00"});
  struct Case {
    CounterReset reset;
    const char* before;  // the last value taken then
    const char* same;    // still the same period
    const char* after;   // the first instant of the next
  };
  const Case cases[] = {
      {CounterReset::Day, "2026-12-11T00:00:00", "2026-12-11T23:59:59", "2026-12-12T00:00:00"},
      {CounterReset::Shift, "2026-12-11T22:00:00", "2026-12-12T05:59:59", "2026-12-12T06:00:00"},
      {CounterReset::Week, "2026-12-28T00:00:00", "2027-01-03T23:59:59", "2027-01-04T00:00:00"},
      {CounterReset::Month, "2026-12-01T00:00:00", "2026-12-31T23:59:59", "2027-01-01T00:00:00"},
      {CounterReset::Year, "2026-01-01T00:00:00", "2026-12-31T23:59:59", "2027-01-01T00:00:00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.reset));
    Counter counter = NewCounter("LOT", 1);
    counter.reset = c.reset;
    const auto take = [&](const char* instant) {
      return TakeValues(counter, 1, ResetPeriod(c.reset, ReadCivilTime(instant), shifts)).front();
    };
    EXPECT_EQ(take(c.before), 1);
    EXPECT_EQ(take(c.same), 2);
    EXPECT_EQ(take(c.after), 1);
  }
  Counter never = NewCounter("SN", 41);
  EXPECT_EQ(TakeValues(never, 1, ResetPeriod(CounterReset::Never, CivilTime{}, shifts)).front(), 41);
}

TEST(Counters, BasesWidthAndCheckCharacters) {
  struct Case {
    int base;
    int width;
    CheckCharacter check;
    std::int64_t value;
    const char* text;
  };
  for (const Case& c : {Case{10, 0, CheckCharacter::None, 42, "42"},
                        Case{10, 6, CheckCharacter::None, 42, "000042"},
                        Case{16, 4, CheckCharacter::None, 255, "00FF"},
                        Case{36, 0, CheckCharacter::None, 46655, "ZZZ"},
                        Case{36, 4, CheckCharacter::None, 36, "0010"},
                        Case{10, 0, CheckCharacter::Luhn, 7992739871, "79927398713"},
                        Case{10, 12, CheckCharacter::Luhn, 7992739871, "0079927398713"},
                        Case{36, 0, CheckCharacter::Mod37_36, 0, "02"}}) {
    SCOPED_TRACE(c.text);
    Counter counter = NewCounter("SN", 0);
    counter.base = c.base;
    counter.width = c.width;
    counter.check = c.check;
    EXPECT_EQ(FormatCounterValue(counter, c.value), c.text);
  }
}

TEST(CounterFile, RoundTripsAndRefusesBadLines) {
  Counter rich = NewCounter("LOT-2", 17);
  rich.start = 1;
  rich.step = -2;
  rich.end = 0;
  rich.atEnd = CounterEnd::Wrap;
  rich.width = 5;
  rich.base = 36;
  rich.reset = CounterReset::Shift;
  rich.check = CheckCharacter::Mod37_36;
  rich.period = "2026-12-11 C";
  rich.start = 99;
  const std::vector<Counter> counters = {NewCounter("SN", 1000), rich};
  const std::string bytes = FormatCounterFile(counters);
  EXPECT_EQ(bytes.substr(0, bytes.find("\r\n", 70) + 2),
            "Name,Next,Start,Step,End,AtEnd,Width,Base,Reset,Check,Period\r\n"
            "SN,1000,1000,1,,Stop,0,10,Never,None,\r\n");
  EXPECT_EQ(ParseCounterFile(bytes, "c.csv"), counters);

  const std::string header = "Name,Next,Start,Step,End,AtEnd,Width,Base,Reset,Check,Period\r\n";
  struct Bad {
    std::string bytes;
    const char* message;
  };
  for (const Bad& c : {Bad{"Name\r\n", "no header"},
                       Bad{header + "SN,1,1,1\r\n", "not 11 values on line 2"},
                       Bad{header + "SN,x,1,1,,Stop,0,10,Never,None,\r\n", "a next value that is no whole number"},
                       Bad{header + "SN,1,1,0,,Stop,0,10,Never,None,\r\n", "has a step of 0"},
                       Bad{header + "SN,1,1,1,,Stop,0,10,Daily,None,\r\n", "an unknown reset rule 'Daily'"},
                       Bad{header + "SN,1,1,1,,Stop,0,16,Never,Luhn,\r\n", "needs base 10"},
                       Bad{header + "SN,1,1,1,,Stop,0,10,Never,None,\r\nSN,1,1,1,,Stop,0,10,Never,None,\r\n",
                           "the counter 'SN' a second time on line 3"}}) {
    SCOPED_TRACE(c.message);
    EXPECT_THAT([&] { ParseCounterFile(c.bytes, "c.csv"); },
                ThrowsMessage<Error>(HasSubstr(c.message)));
  }
}

}  // namespace
}  // namespace stylor
