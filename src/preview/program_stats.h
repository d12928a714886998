#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engrave/program_store.h"
#include "preview/program_reader.h"

namespace stylor {

/// The rate at which statistics time rapid moves, in machine units per minute. Machines differ
/// widely; a fixed, stated rate keeps the estimate comparable between programs.
constexpr double kRapidPerMin = 5000;

/// The same job cut in the font's order, which a travel order is measured against.
struct FontOrderStats {
  double rapidLength = 0;
  double feedMinutes = 0;
};

/// What a program does, added up over its moves. Lengths in machine units (rotary degrees
/// unrolled on the pen down radius), times in minutes.
struct ProgramStats {
  std::int64_t lines = 0;
  std::int64_t moves = 0;         // moves from a known place
  std::int64_t unreadLines = 0;   // macro lines and words whose number does not read
  double cutLength = 0;           // feed moves in the plane with the tool down
  double rapidLength = 0;         // every G00 move, the plunge axis included
  double travelLength = 0;        // feed moves in the plane with the tool up
  std::int64_t plunges = 0;
  double feedMinutes = 0;         // every feed move at the program's F
  std::int64_t untimedMoves = 0;  // feed moves without a usable F
  double rapidMinutes = 0;        // rapidLength at kRapidPerMin
  std::vector<AxisExtent> extents;
  std::optional<FontOrderStats> fontOrder;  // a job's statistics under a TravelOrder
};

/// The minutes a travel order saves against the font's order, rapids timed at `rapidPerMin`;
/// 0 without a comparison.
double MinutesSaved(const ProgramStats& stats, double rapidPerMin);

/// Adds one move of a program to `stats`, in program order.
void AddMove(ProgramStats& stats, const ProgramMove& move);

/// Completes `stats` with the line counts and extents of the program whose moves it holds.
void AddSummary(ProgramStats& stats, const ProgramSummary& summary);

/// The statistics of a program text; throws what ReadProgram throws.
ProgramStats StatsOfProgram(std::string_view bytes, const std::string& name,
                            const ReaderOptions& options);

/// The statistics of the program file at `path`, read piece by piece; throws what
/// ReadProgramFile throws.
ProgramStats StatsOfProgramFile(const std::string& path, const ReaderOptions& options);

/// Adds the statistics of another program file of the same job (Many Files) to `total`: counts,
/// lengths and times add up, extents widen.
void AddProgramStats(ProgramStats& total, const ProgramStats& other);

/// The statistics of program text as it is written, read line by line without keeping it, so
/// that a run of any length is counted in little memory.
class StatsSink final : public ProgramSink {
 public:
  StatsSink(const ReaderOptions& options, std::string name);
  void Write(std::string_view text) override;
  /// The statistics of everything written, the last unfinished line included.
  ProgramStats Finish();

 private:
  void ReadLine(std::string_view line);

  ProgramReader m_reader;
  std::string m_name;
  std::string m_partial;
  ProgramStats m_stats;
};

/// `value` with `decimals` decimals as the program writes it, but a value that rounds to zero
/// without its sign: a statistic reads "0.0000", never "-0.0000".
std::string FormatStatNumber(double value, int decimals);

/// Under a travel order, the lines "font order rapid length", "rapid length saved" and "time
/// saved" (rapids at kRapidPerMin), after "rapid length" when `withRapidLength`; else "".
std::string FormatTravelSaving(const ProgramStats& stats, bool withRapidLength = true);

/// One "name: value" line per statistic, in a fixed order; lengths and extents with four
/// decimals as the program writes them, times in minutes.
std::string FormatStats(const ProgramStats& stats);

}  // namespace stylor
