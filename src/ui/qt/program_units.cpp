#include "ui/qt/program_units.h"

#include <QSettings>

#include "settings/numbers.h"

namespace stylor {
namespace {

const QString kUnitKey = QStringLiteral("programUnit");

}  // namespace

QString LengthSuffix(ProgramUnit unit) {
  return unit == ProgramUnit::Inches ? QStringLiteral("in") : QStringLiteral("mm");
}

QString FeedSuffix(ProgramUnit unit) { return LengthSuffix(unit) + QStringLiteral("/min"); }

ProgramUnit StoredProgramUnit() {
  return QSettings().value(kUnitKey).toString() == "in" ? ProgramUnit::Inches
                                                         : ProgramUnit::Millimetres;
}

void StoreProgramUnit(ProgramUnit unit) { QSettings().setValue(kUnitKey, LengthSuffix(unit)); }

double StoredRapidRate() {
  bool ok = false;
  const double rate = QSettings().value(QStringLiteral("statistics/rapidPerMin")).toDouble(&ok);
  return ok && rate > 0 && rate < 1e9 ? rate : kRapidPerMin;
}

void StoreRapidRate(double perMin) {
  QSettings().setValue(QStringLiteral("statistics/rapidPerMin"), perMin);
}

double RapidMinutesAt(const ProgramStats& stats, double rapidPerMin) {
  return stats.rapidLength / rapidPerMin;
}

QString WrittenMessage(const std::vector<QString>& fileNames, const QString& folder,
                       const ProgramStats* stats, ProgramUnit unit, double rapidPerMin) {
  if (fileNames.empty()) return {};
  if (fileNames.size() > 1) {
    return QString("Wrote %1 programs %2 ... %3 in %4")
        .arg(fileNames.size())
        .arg(fileNames.front(), fileNames.back(), folder);
  }
  QString message = "Wrote " + fileNames.front();
  if (stats == nullptr) return message;
  return message + QString(": %1 lines, cut length %2 %3, about %4 min")
                       .arg(stats->lines)
                       .arg(QString::fromStdString(FormatStatNumber(stats->cutLength, 4)),
                            LengthSuffix(unit),
                            QString::fromStdString(FormatStatNumber(
                                stats->feedMinutes + RapidMinutesAt(*stats, rapidPerMin), 2)));
}

}  // namespace stylor
