// Any bytes as a macro program read back by stats and preview: variables, expressions, loops,
// conditions and subprogram calls of both dialects, run within small limits. Input: a byte picks
// the first line (none, a variable of the controls' dialect, a named parameter of LinuxCNC's),
// which makes the rest a macro program; the rest is the program.

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <string>
#include <string_view>

#include "preview/macro_program.h"
#include "preview/program_reader.h"
#include "preview/program_stats.h"
#include "program_check.h"
#include "settings/error.h"

namespace {

using namespace stylor;

constexpr std::string_view kFirstLines[] = {"", "#1=0\n", "#<a>=0\n"};

std::int64_t CountLines(std::string_view bytes) {
  std::int64_t lines = 0;
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    if (bytes[at] != '\n' && bytes[at] != '\r') continue;
    ++lines;
    if (bytes[at] == '\r' && at + 1 < bytes.size() && bytes[at + 1] == '\n') ++at;
  }
  if (!bytes.empty() && bytes.back() != '\n' && bytes.back() != '\r') ++lines;
  return lines;
}

// A refusal names the program, and the line where it can.
void CheckRefusal(std::string_view message, std::string_view name) {
  if (message.find("'" + std::string(name) + "'") == std::string_view::npos) {
    fuzz::Fail("a refusal does not name the program", message);
  }
  if (!message.starts_with("Line ") && !message.starts_with("The program ") &&
      !message.starts_with("The variable #")) {
    fuzz::Fail("a refusal names neither a line nor the program first", message);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string_view first =
      kFirstLines[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kFirstLines) - 1)];
  const double kept = input.ConsumeIntegralInRange<int>(-2, 2000);
  const std::string bytes = std::string(first) + input.ConsumeRemainingBytesAsString();
  const std::string name = "program.nc";

  ReaderOptions options;
  options.penUp = 1;
  options.penDown = -1;
  options.variables = {{500, kept}};
  options.macroLimits.blocks = 20'000;
  options.macroLimits.bytes = 1 << 20;
  const std::int64_t lines = CountLines(bytes);

  std::int64_t visited = 0;
  try {
    const ProgramSummary summary =
        ReadProgram(bytes, name, options, [&](const ProgramMove& move) {
          if (move.line < 1 || move.line > lines) {
            fuzz::Fail("a move names a line outside the program", std::to_string(move.line));
          }
          if (!(move.length >= 0) || !std::isfinite(move.to.x) || !std::isfinite(move.to.y)) {
            fuzz::Fail("a move is not a finite move", "");
          }
          ++visited;
        });
    if (summary.lines != lines) fuzz::Fail("the line count is wrong", std::to_string(summary.lines));
    if (summary.unreadLines < 0 || summary.unreadLines > lines) {
      fuzz::Fail("the unread line count is out of range", std::to_string(summary.unreadLines));
    }
  } catch (const Error& error) {
    CheckRefusal(error.what(), name);
    return 0;
  }
  // The statistics read the same program the same way.
  const ProgramStats stats = StatsOfProgram(bytes, name, options);
  if (stats.moves != visited) fuzz::Fail("stats count other moves than the reader", "");

  // The first line as an expression: a value or a named refusal, in both dialects.
  const std::string_view line = std::string_view(bytes).substr(0, bytes.find('\n'));
  for (const MacroDialect dialect : {MacroDialect::Industrial, MacroDialect::LinuxCnc}) {
    try {
      const double value = EvaluateMacroExpression(line.substr(0, 200), dialect);
      if (!std::isfinite(value)) fuzz::Fail("an expression is not a finite number", line);
    } catch (const Error& error) {
      if (!std::string_view(error.what()).starts_with("The expression '")) {
        fuzz::Fail("an expression's refusal does not name it", error.what());
      }
    }
  }
  return 0;
}
