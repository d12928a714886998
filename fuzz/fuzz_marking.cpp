// Any bytes as a counter file, and as a text whose placeholders are filled. A counter file that
// reads must write back to bytes that read as the same counters, and its counters must take and
// format values without fault; a text that parses must fill to the text it describes.

#include <string>
#include <string_view>

#include "program_check.h"
#include "settings/error.h"
#include "settings/marking/counters.h"
#include "settings/marking/marking_codes.h"

namespace {

using namespace stylor;

void CheckCounters(std::string_view bytes) {
  std::vector<Counter> counters;
  try {
    counters = ParseCounterFile(bytes, "fuzz");
  } catch (const Error&) {
    return;  // a refusal with its message is the answer to a malformed file
  }
  if (counters.size() > kMaxCounters) fuzz::Fail("more counters than the cap were read", "");
  const std::string again = FormatCounterFile(counters);
  try {
    if (ParseCounterFile(again, "again") != counters) {
      fuzz::Fail("counters changed when written back and read again", again);
    }
  } catch (const Error& error) {
    fuzz::Fail("counters written back do not read", error.what());
  }
  const std::vector<ShiftStart> shifts = {{"A", 360}, {"B", 840}};
  for (Counter counter : counters) {
    try {
      const std::string period = ResetPeriod(counter.reset, CivilTime{2026, 12, 11, 14, 5, 0}, shifts);
      for (const std::int64_t value : TakeValues(counter, 3, period)) {
        const std::string text = FormatCounterValue(counter, value);
        if (text.empty() || text.size() > 80) fuzz::Fail("a counter value of no sensible length", text);
      }
    } catch (const Error&) {
      // A counter at its end refuses with its message.
    }
  }
}

void CheckTemplate(std::string_view text) {
  try {
    const Template parsed = ParseTemplate(text, "the text");
    if (parsed.literals.size() != parsed.placeholders.size() + 1) {
      fuzz::Fail("a template of the wrong shape", text);
    }
    const std::string filled = FillTemplate(parsed, [](const Placeholder& p) {
      if (p.name == "Date") {
        try {
          return FormatDate(p.argument, CivilTime{2027, 1, 1, 0, 0, 0}, YearLetters{});
        } catch (const Error&) {
          return std::string();
        }
      }
      return std::string("x");
    });
    if (parsed.placeholders.empty() && filled.size() > text.size()) {
      fuzz::Fail("a text without placeholders grew when filled", text);
    }
  } catch (const Error&) {
    // An unknown name or a lone brace is refused with its message.
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckCounters(bytes);
  CheckTemplate(bytes.substr(0, 4096));
  return 0;
}
