#include "preview/program_stats.h"

#include <algorithm>

#include "settings/numbers.h"

namespace stylor {

std::string FormatStatNumber(double value, int decimals) {
  std::string text = FormatFixed(value, decimals);
  const bool printsZero = std::all_of(text.begin() + (text.empty() ? 0 : 1), text.end(),
                                      [](char c) { return c == '0' || c == '.'; });
  if (!text.empty() && text.front() == '-' && printsZero) text.erase(0, 1);
  return text;
}

void AddMove(ProgramStats& stats, const ProgramMove& move) {
  ++stats.moves;
  if (!move.fed) stats.rapidLength += move.length;
  if (move.kind == MoveKind::Cut) stats.cutLength += move.length;
  if (move.kind == MoveKind::Travel) stats.travelLength += move.length;
  if (move.kind == MoveKind::Plunge) ++stats.plunges;
  if (move.fed) {
    if (move.minutes) stats.feedMinutes += *move.minutes;
    else ++stats.untimedMoves;
  }
}

void AddSummary(ProgramStats& stats, const ProgramSummary& summary) {
  stats.lines = summary.lines;
  stats.unreadLines = summary.unreadLines;
  stats.extents = summary.extents;
  stats.rapidMinutes = stats.rapidLength / kRapidPerMin;
}

ProgramStats StatsOfProgram(std::string_view bytes, const std::string& name,
                            const ReaderOptions& options) {
  ProgramStats stats;
  const ProgramSummary summary =
      ReadProgram(bytes, name, options, [&](const ProgramMove& move) { AddMove(stats, move); });
  AddSummary(stats, summary);
  return stats;
}

std::string FormatStats(const ProgramStats& stats) {
  std::string out;
  auto count = [&](const char* name, std::int64_t value) {
    out += name;
    out += ": ";
    AppendInteger(out, value);
    out += '\n';
  };
  auto real = [&](const char* name, double value, const char* unit) {
    out += name;
    out += ": ";
    out += FormatStatNumber(value, 4);
    out += unit;
    out += '\n';
  };
  count("lines", stats.lines);
  count("moves", stats.moves);
  count("unread lines", stats.unreadLines);
  real("cut length", stats.cutLength, "");
  real("rapid length", stats.rapidLength, "");
  real("travel length", stats.travelLength, "");
  count("plunges", stats.plunges);
  real("feed time", stats.feedMinutes, " min");
  count("untimed moves", stats.untimedMoves);
  real("rapid time", stats.rapidMinutes, " min");
  out += "rapid rate: ";
  AppendFixed(out, kRapidPerMin, 0);
  out += " per min\n";
  real("total time", stats.feedMinutes + stats.rapidMinutes, " min");
  for (const AxisExtent& extent : stats.extents) {
    out += "extent ";
    out += extent.letter;
    out += ": ";
    out += FormatStatNumber(extent.min, 4);
    out += ' ';
    out += FormatStatNumber(extent.max, 4);
    out += '\n';
  }
  return out;
}

}  // namespace stylor
