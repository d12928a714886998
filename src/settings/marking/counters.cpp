#include "settings/marking/counters.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <limits>

#include "settings/error.h"
#include "settings/files.h"
#include "settings/numbers.h"

namespace stylor {
namespace {

constexpr std::string_view kHeader = "Name,Next,Start,Step,End,AtEnd,Width,Base,Reset,Check,Period";
constexpr std::string_view kEnds[] = {"Stop", "Wrap"};
constexpr std::string_view kResets[] = {"Never", "Day", "Shift", "Week", "Month", "Year"};
constexpr std::string_view kChecks[] = {"None", "Luhn", "Mod37_36"};
constexpr std::string_view kDigits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

std::string Number(long long value) {
  std::string text;
  AppendInteger(text, value);
  return text;
}

std::optional<std::int64_t> ReadInt64(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

template <std::size_t N>
std::optional<std::size_t> IndexOf(const std::string_view (&items)[N], std::string_view text) {
  for (std::size_t k = 0; k < N; ++k) {
    if (items[k] == text) return k;
  }
  return std::nullopt;
}

int DigitValue(char c) {
  const std::size_t at = kDigits.find(c);
  return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

}  // namespace

Counter NewCounter(std::string name, std::int64_t value) {
  Counter counter;
  counter.name = std::move(name);
  counter.next = value;
  counter.start = value;
  return counter;
}

void CheckCounter(const Counter& counter) {
  const auto refuse = [&](const std::string& why) {
    return Error("The counter '" + counter.name + "' " + why);
  };
  if (counter.name.empty() || counter.name.size() > 32 ||
      !std::all_of(counter.name.begin(), counter.name.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
               c == '_' || c == '-';
      })) {
    throw Error("The counter name '" + counter.name +
                "' is not 1 to 32 letters, digits, '-' or '_'");
  }
  if (counter.step == 0) throw refuse("has a step of 0: it would give one number again and again");
  if (counter.base != 10 && counter.base != 16 && counter.base != 36) {
    throw refuse("has the base " + Number(counter.base) + ": it counts in base 10, 16 or 36");
  }
  if (counter.width < 0 || counter.width > 30) throw refuse("has a width outside 0 to 30");
  if (counter.check == CheckCharacter::Luhn && counter.base != 10) {
    throw refuse("has a Luhn check digit, which needs base 10");
  }
  if (counter.next < 0 || counter.start < 0 || (counter.end && *counter.end < 0)) {
    throw refuse("has a value below 0");
  }
  if (counter.end && (counter.step > 0 ? counter.start > *counter.end : counter.start < *counter.end)) {
    throw refuse("starts at " + Number(counter.start) + ", past its end " + Number(*counter.end));
  }
}

std::string FormatCounterValue(const Counter& counter, std::int64_t value) {
  char digits[72];
  char* end = digits + sizeof digits;
  char* first = end;
  auto rest = static_cast<std::uint64_t>(value);
  do {
    *--first = kDigits[rest % static_cast<std::uint64_t>(counter.base)];
    rest /= static_cast<std::uint64_t>(counter.base);
  } while (rest != 0);
  std::string out;
  const auto size = static_cast<int>(end - first);
  if (size < counter.width) out.append(static_cast<std::size_t>(counter.width - size), '0');
  out.append(first, end);
  if (counter.check == CheckCharacter::Luhn) out += LuhnCheckDigit(out);
  else if (counter.check == CheckCharacter::Mod37_36) out += Mod37_36CheckCharacter(out);
  return out;
}

char LuhnCheckDigit(std::string_view digits) {
  int sum = 0;
  bool doubled = true;  // the check digit goes right of the last digit, which is doubled
  for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
    int d = *it - '0';
    if (doubled) {
      d *= 2;
      if (d > 9) d -= 9;
    }
    sum += d;
    doubled = !doubled;
  }
  return static_cast<char>('0' + (10 - sum % 10) % 10);
}

char Mod37_36CheckCharacter(std::string_view text) {
  constexpr int kM = 36;
  int p = kM;
  for (const char c : text) {
    int s = (p + DigitValue(c)) % kM;
    if (s == 0) s = kM;
    p = (2 * s) % (kM + 1);
  }
  return kDigits[static_cast<std::size_t>((kM + 1 - p) % kM)];
}

std::string ResetPeriod(CounterReset reset, const CivilTime& time,
                        const std::vector<ShiftStart>& shifts) {
  const YearLetters none;
  switch (reset) {
    case CounterReset::Never: return {};
    case CounterReset::Day: return FormatDate("yyyy-MM-dd", time, none);
    case CounterReset::Shift: {
      const ShiftAt shift = ShiftAtTime(shifts, time);
      return FormatDate("yyyy-MM-dd ", shift.startDate, none) + shift.name;
    }
    case CounterReset::Week: return FormatDate("YYYY", time, none) + "-W" + FormatDate("ww", time, none);
    case CounterReset::Month: return FormatDate("yyyy-MM", time, none);
    case CounterReset::Year: return FormatDate("yyyy", time, none);
  }
  return {};
}

std::vector<std::int64_t> TakeValues(Counter& counter, std::size_t count, std::string_view period) {
  CheckCounter(counter);
  std::int64_t next = counter.period != period ? counter.start : counter.next;
  if (counter.reset == CounterReset::Never) next = counter.next;
  std::vector<std::int64_t> values;
  values.reserve(count);
  const bool up = counter.step > 0;
  for (std::size_t k = 0; k < count; ++k) {
    const bool pastEnd = counter.end && (up ? next > *counter.end : next < *counter.end);
    if (pastEnd || next < 0) {
      if (counter.atEnd == CounterEnd::Wrap && counter.end) {
        next = counter.start;
      } else {
        throw Error("The counter '" + counter.name + "' has no value left: " +
                    (counter.end ? "its end is " + Number(*counter.end) : std::string("it would go below 0")) +
                    "; set its next value with \"counter " + counter.name + " VALUE\" or make it wrap");
      }
    }
    values.push_back(next);
    if (up ? next > std::numeric_limits<std::int64_t>::max() - counter.step
           : next < std::numeric_limits<std::int64_t>::min() - counter.step) {
      throw Error("The counter '" + counter.name + "' has no value left: it passes the largest number");
    }
    next += counter.step;
  }
  counter.next = next;
  if (counter.reset != CounterReset::Never) counter.period = std::string(period);
  return values;
}

std::string FormatCounterFile(const std::vector<Counter>& counters) {
  std::string out(kHeader);
  out += "\r\n";
  for (const Counter& c : counters) {
    out += c.name + ',' + Number(c.next) + ',' + Number(c.start) + ',' + Number(c.step) + ',' +
           (c.end ? Number(*c.end) : std::string()) + ',' +
           std::string(kEnds[static_cast<int>(c.atEnd)]) + ',' + Number(c.width) + ',' +
           Number(c.base) + ',' + std::string(kResets[static_cast<int>(c.reset)]) + ',' +
           std::string(kChecks[static_cast<int>(c.check)]) + ',' + c.period + "\r\n";
  }
  return out;
}

std::vector<Counter> ParseCounterFile(std::string_view bytes, const std::string& name) {
  std::vector<Counter> counters;
  std::size_t pos = 0;
  std::size_t lineNumber = 0;
  while (pos < bytes.size()) {
    std::size_t lf = bytes.find('\n', pos);
    if (lf == std::string_view::npos) lf = bytes.size();
    std::string_view line = bytes.substr(pos, lf - pos);
    pos = lf + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const auto refuse = [&](const std::string& why) {
      return Error("The counter file '" + name + "' has " + why + " on line " + Number(static_cast<long long>(lineNumber)));
    };
    if (lineNumber == 1) {
      if (line != kHeader) throw refuse("no header \"" + std::string(kHeader) + "\"");
      continue;
    }
    if (line.empty()) continue;
    std::vector<std::string_view> values;
    std::size_t start = 0;
    while (true) {
      const std::size_t comma = line.find(',', start);
      values.push_back(line.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
    if (values.size() != 11) throw refuse("not 11 values");
    Counter c;
    c.name = std::string(values[0]);
    const auto integer = [&](std::string_view text, const char* what) {
      const std::optional<std::int64_t> value = ReadInt64(text);
      if (!value) throw refuse(std::string("a ") + what + " that is no whole number");
      return *value;
    };
    c.next = integer(values[1], "next value");
    c.start = integer(values[2], "start");
    c.step = integer(values[3], "step");
    if (!values[4].empty()) c.end = integer(values[4], "end");
    const auto item = [&](const auto& items, std::string_view text, const char* what) {
      const std::optional<std::size_t> index = IndexOf(items, text);
      if (!index) throw refuse(std::string("an unknown ") + what + " '" + std::string(text) + "'");
      return *index;
    };
    c.atEnd = static_cast<CounterEnd>(item(kEnds, values[5], "end rule"));
    const std::int64_t width = integer(values[6], "width");
    const std::int64_t base = integer(values[7], "base");
    if (width < 0 || width > 30 || base < 0 || base > 36) throw refuse("a width or base out of range");
    c.width = static_cast<int>(width);
    c.base = static_cast<int>(base);
    c.reset = static_cast<CounterReset>(item(kResets, values[8], "reset rule"));
    c.check = static_cast<CheckCharacter>(item(kChecks, values[9], "check character"));
    c.period = std::string(values[10]);
    try {
      CheckCounter(c);
    } catch (const Error& error) {
      throw refuse(std::string("a counter that cannot count (") + error.what() + ")");
    }
    for (const Counter& other : counters) {
      if (other.name == c.name) throw refuse("the counter '" + c.name + "' a second time");
    }
    if (counters.size() >= kMaxCounters) throw refuse("more than " + Number(kMaxCounters) + " counters");
    counters.push_back(std::move(c));
  }
  if (lineNumber == 0 && !bytes.empty()) throw Error("The counter file '" + name + "' is empty");
  return counters;
}

CounterFile::CounterFile(std::string path) : m_path(std::move(path)) {
  const std::string lockPath = m_path + ".lock";
  RefuseNonRegularFile(lockPath, "Cannot lock the counter file");
  m_lock = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
  if (m_lock < 0) throw FileError("Cannot lock the counter file", lockPath, std::strerror(errno));
  int result;
  do {
    result = ::flock(m_lock, LOCK_EX);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    const int error = errno;
    ::close(m_lock);
    throw FileError("Cannot lock the counter file", lockPath, std::strerror(error));
  }
  try {
    RefuseNonRegularFile(m_path, "Cannot read the counter file");
    if (::access(m_path.c_str(), F_OK) == 0) {
      m_counters = ParseCounterFile(
          ReadWholeFile(m_path, kMaxCounterFileBytes, "Cannot read the counter file"), m_path);
    }
  } catch (...) {
    ::close(m_lock);
    throw;
  }
}

CounterFile::~CounterFile() {
  if (m_lock >= 0) ::close(m_lock);
}

Counter* CounterFile::Find(std::string_view name) {
  for (Counter& counter : m_counters) {
    if (counter.name == name) return &counter;
  }
  return nullptr;
}

Counter& CounterFile::Require(std::string_view name) {
  if (Counter* counter = Find(name)) return *counter;
  // A mistyped name must not start a second series of serials at 1.
  throw Error("There is no counter '" + std::string(name) + "' in the counter file '" + m_path +
              "': set its first value with \"counter " + std::string(name) +
              " VALUE\" or in the Codes section");
}

void CounterFile::Save() {
  ReplaceFile(m_path, FormatCounterFile(m_counters), "Cannot write the counter file",
              Durability::Flushed);
}

}  // namespace stylor
