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

double MinutesSaved(const ProgramStats& stats, double rapidPerMin) {
  if (!stats.fontOrder) return 0;
  return stats.fontOrder->feedMinutes - stats.feedMinutes +
         (stats.fontOrder->rapidLength - stats.rapidLength) / rapidPerMin;
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

ProgramStats StatsOfProgramFile(const std::string& path, const ReaderOptions& options) {
  ProgramStats stats;
  const ProgramSummary summary = ReadProgramFile(
      path, options, [&](const ProgramMove& move) { AddMove(stats, move); });
  AddSummary(stats, summary);
  return stats;
}

void AddProgramStats(ProgramStats& total, const ProgramStats& other) {
  total.lines += other.lines;
  total.moves += other.moves;
  total.unreadLines += other.unreadLines;
  total.cutLength += other.cutLength;
  total.rapidLength += other.rapidLength;
  total.travelLength += other.travelLength;
  total.plunges += other.plunges;
  total.feedMinutes += other.feedMinutes;
  total.untimedMoves += other.untimedMoves;
  total.rapidMinutes += other.rapidMinutes;
  if (total.fontOrder && other.fontOrder) {
    total.fontOrder->rapidLength += other.fontOrder->rapidLength;
    total.fontOrder->feedMinutes += other.fontOrder->feedMinutes;
  }
  for (const AxisExtent& extent : other.extents) {
    auto same = std::find_if(total.extents.begin(), total.extents.end(),
                             [&](const AxisExtent& e) { return e.letter == extent.letter; });
    if (same == total.extents.end()) {
      total.extents.push_back(extent);
    } else {
      same->min = std::min(same->min, extent.min);
      same->max = std::max(same->max, extent.max);
    }
  }
}

StatsSink::StatsSink(const ReaderOptions& options, std::string name)
    : m_reader(options, name), m_name(std::move(name)) {}

void StatsSink::Write(std::string_view text) {
  while (!text.empty()) {
    const std::size_t lf = text.find('\n');
    if (lf == std::string_view::npos) {
      m_partial.append(text);
      return;
    }
    if (m_partial.empty()) {
      ReadLine(text.substr(0, lf));
    } else {
      m_partial.append(text.substr(0, lf));
      ReadLine(m_partial);
      m_partial.clear();
    }
    text.remove_prefix(lf + 1);
  }
}

void StatsSink::ReadLine(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  // The reader takes lines of a bounded length; a longer block line moves nothing anyway.
  if (line.size() > kMaxProgramLine) line = line.substr(0, kMaxProgramLine);
  if (const std::optional<ProgramMove> move = m_reader.ReadLine(line)) AddMove(m_stats, *move);
}

ProgramStats StatsSink::Finish() {
  if (!m_partial.empty()) {
    ReadLine(m_partial);
    m_partial.clear();
  }
  m_reader.Finish([&](const ProgramMove& move) { AddMove(m_stats, move); });
  AddSummary(m_stats, m_reader.Summary());
  return m_stats;
}

std::string FormatTravelSaving(const ProgramStats& stats, bool withRapidLength) {
  if (!stats.fontOrder) return {};
  std::string out;
  auto real = [&](const char* name, double value, const char* unit) {
    out += name;
    out += ": ";
    out += FormatStatNumber(value, 4);
    out += unit;
    out += '\n';
  };
  if (withRapidLength) real("rapid length", stats.rapidLength, "");
  real("font order rapid length", stats.fontOrder->rapidLength, "");
  real("rapid length saved", stats.fontOrder->rapidLength - stats.rapidLength, "");
  real("time saved", MinutesSaved(stats, kRapidPerMin), " min");
  return out;
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
  out += FormatTravelSaving(stats, false);
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
