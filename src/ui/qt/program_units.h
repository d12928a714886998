#pragma once

#include <QString>

#include <string>
#include <vector>

#include "preview/program_stats.h"

namespace stylor {

/// The unit the user's machine programs are in. Nothing converts: the choice only names the unit
/// beside lengths and feeds, so that no written number ever depends on it.
enum class ProgramUnit { Millimetres, Inches };

/// "mm" or "in".
QString LengthSuffix(ProgramUnit unit);
/// "mm/min" or "in/min": every feed the user types is a length per minute (the engine turns it
/// into degrees per minute or inverse time where the feed mode asks).
QString FeedSuffix(ProgramUnit unit);
/// The suffix of angles in the window.
inline const QString kDegreeSuffix = QStringLiteral("\u00b0");

/// The unit held in the application settings ("mm" or "in"); millimetres when none is held.
ProgramUnit StoredProgramUnit();
/// Keeps `unit` in the application settings for the next start.
void StoreProgramUnit(ProgramUnit unit);

/// The rapid rate the statistics time G00 moves at, in program units per minute, held in the
/// application settings; kRapidPerMin when none is held.
double StoredRapidRate();
/// Keeps the rapid rate (a positive number) for the statistics and the next run.
void StoreRapidRate(double perMin);
/// The minutes of `stats`'s rapid moves at `rapidPerMin`.
double RapidMinutesAt(const ProgramStats& stats, double rapidPerMin);

/// The status-bar text after a job: "Wrote part.eia: 452 lines, cut length 7.4552 mm, about
/// 0.15 min" for one file with its statistics, "Wrote part.eia" without them, "Wrote 20
/// programs SN1.eia ... SN20.eia in out/" for several (`folder` as the user should read it).
QString WrittenMessage(const std::vector<QString>& fileNames, const QString& folder,
                       const ProgramStats* stats, ProgramUnit unit,
                       double rapidPerMin = kRapidPerMin);

}  // namespace stylor
