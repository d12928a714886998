#include "ui/qt/preview_panel.h"

#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <utility>
#include <vector>

#include "preview/program_reader.h"
#include "preview/program_stats.h"
#include "settings/error.h"
#include "settings/numbers.h"
#include "ui/model/engrave_form_model.h"
#include "ui/qt/preview_view.h"

namespace stylor {
namespace {

constexpr int kMargin = 8;
constexpr int kButtonHeight = 25;
constexpr int kViewTop = 40;
constexpr int kViewHeight = 490;
constexpr int kStatsTop = 538;

struct StatRow {
  QString name;
  std::string value;
};

std::string Count(std::int64_t value) {
  std::string text;
  AppendInteger(text, value);
  return text;
}

std::string Minutes(double minutes) { return FormatFixed(minutes, 2) + " min"; }

// Lengths and extents with the four decimals the program writes.
std::vector<StatRow> StatRows(const ProgramStats& stats) {
  std::vector<StatRow> rows = {
      {"Lines", Count(stats.lines)},
      {"Moves", Count(stats.moves)},
      {"Plunges", Count(stats.plunges)},
      {"Cut length", FormatFixed(stats.cutLength, 4)},
      {"Rapid length", FormatFixed(stats.rapidLength, 4)},
  };
  if (stats.travelLength > 0) rows.push_back({"Travel length", FormatFixed(stats.travelLength, 4)});
  if (stats.unreadLines > 0) rows.push_back({"Unread lines", Count(stats.unreadLines)});
  rows.push_back({"Feed time", Minutes(stats.feedMinutes)});
  rows.push_back({"Rapids at " + QString::fromStdString(FormatFixed(kRapidPerMin, 0)) + "/min",
                  Minutes(stats.rapidMinutes)});
  rows.push_back({"Estimated time", Minutes(stats.feedMinutes + stats.rapidMinutes)});
  if (stats.untimedMoves > 0) rows.push_back({"Moves without feed", Count(stats.untimedMoves)});
  for (const AxisExtent& extent : stats.extents) {
    rows.push_back({QString(QChar(static_cast<unsigned char>(extent.letter))) + " from",
                    FormatFixed(extent.min, 4) + " to " + FormatFixed(extent.max, 4)});
  }
  return rows;
}

// Two columns of name and value, the first filled before the second.
QString StatsTable(const std::vector<StatRow>& rows) {
  const std::size_t half = (rows.size() + 1) / 2;
  auto cells = [&](std::size_t i) {
    if (i >= rows.size()) return QString("<td></td><td></td>");
    return "<td>" + rows[i].name.toHtmlEscaped() + "</td><td align=\"right\">" +
           QString::fromStdString(rows[i].value).toHtmlEscaped() + "</td>";
  };
  QString html = "<table width=\"100%\" cellspacing=\"0\" cellpadding=\"1\">";
  for (std::size_t i = 0; i < half; ++i) {
    html += "<tr>" + cells(i) + "<td width=\"18\"></td>" + cells(half + i) + "</tr>";
  }
  return html + "</table>";
}

QString JobTitle(Page page) {
  switch (page) {
    case Page::CircleText: return "Circle Text";
    case Page::EllipseText: return "Ellipse Text";
    case Page::Sequence: return "Sequence";
    // The pages without a job of their own show the free-form text.
    default: return "Free Form Text";
  }
}

}  // namespace

PreviewPanel::PreviewPanel(const EngraveFormModel& model, QWidget* parent)
    : QWidget(parent), m_model(model) {
  setObjectName("PreviewPanel");
  setFixedSize(kWidth, kHeight);
  setAutoFillBackground(true);

  const int right = kWidth - kMargin;
  m_live = new QPushButton("Live", this);
  m_live->setObjectName("PreviewLive");
  m_live->setToolTip("Back to the preview of the settings");
  m_live->setGeometry(right - 56, kMargin, 56, kButtonHeight);
  m_live->setEnabled(false);
  auto* open = new QPushButton("Open Program...", this);
  open->setObjectName("OpenProgram");
  open->setGeometry(m_live->x() - 4 - 100, kMargin, 100, kButtonHeight);
  auto* fit = new QPushButton("Fit", this);
  fit->setObjectName("PreviewFit");
  fit->setToolTip("Show the whole drawing (or double click it)");
  fit->setGeometry(open->x() - 4 - 48, kMargin, 48, kButtonHeight);

  m_title = new QLabel(this);
  m_title->setObjectName("PreviewTitle");
  m_title->setGeometry(kMargin, kMargin, fit->x() - 2 * kMargin, kButtonHeight);
  QFont bold = m_title->font();
  bold.setBold(true);
  m_title->setFont(bold);

  m_view = new PreviewView(this);
  m_view->setObjectName("PreviewView");
  m_view->setGeometry(kMargin, kViewTop, kWidth - 2 * kMargin, kViewHeight);

  auto* statsGroup = new QGroupBox("Program Statistics", this);
  statsGroup->setObjectName("PreviewStatsGroup");
  statsGroup->setGeometry(kMargin, kStatsTop, kWidth - 2 * kMargin, kHeight - kMargin - kStatsTop);
  m_stats = new QLabel(statsGroup);
  m_stats->setObjectName("PreviewStats");
  m_stats->setGeometry(10, 16, statsGroup->width() - 20, statsGroup->height() - 20);
  m_stats->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_stats->setTextFormat(Qt::RichText);

  m_rebuildTimer = new QTimer(this);
  m_rebuildTimer->setSingleShot(true);
  m_rebuildTimer->setInterval(0);
  connect(m_rebuildTimer, &QTimer::timeout, this, [this] { Rebuild(); });
  connect(fit, &QPushButton::clicked, m_view, &PreviewView::FitToView);
  connect(m_live, &QPushButton::clicked, this, [this] { ShowLive(); });
  connect(open, &QPushButton::clicked, this, [this] {
    if (m_open) m_open();
  });
  m_rebuildTimer->start();
}

const PreviewScene& PreviewPanel::Scene() const { return m_view->Scene(); }

void PreviewPanel::SettingsChanged() {
  if (m_showsFile) {
    m_showsFile = false;
    m_refit = true;
  }
  m_rebuildTimer->start();
}

void PreviewPanel::ViewChanged() {
  if (!m_showsFile) m_rebuildTimer->start();
}

void PreviewPanel::ShowLive() {
  m_showsFile = false;
  m_refit = true;
  Rebuild();
}

void PreviewPanel::Rebuild() {
  m_rebuildTimer->stop();
  if (m_showsFile) return;
  const QString title = JobTitle(m_model.CurrentPage());
  // Another job draws something else entirely: show all of it.
  if (title != m_liveTitle) m_refit = true;
  m_liveTitle = title;
  const bool refit = std::exchange(m_refit, false);
  ++m_rebuilds;
  m_live->setEnabled(false);
  PreviewScene scene = BuildPreview(m_model.Settings(), m_model.Font(), m_model.CurrentJob());
  m_view->SetScene(std::move(scene), refit);
  Show(m_view->Scene(), "Preview of " + title, QString());
}

void PreviewPanel::ShowProgramFile(const std::string& path) {
  m_rebuildTimer->stop();
  const QString shownPath = QFile::decodeName(QByteArray::fromStdString(path));
  PreviewScene scene;
  try {
    const ReaderOptions options = ReaderOptionsFrom(m_model.Settings());
    scene = SceneOfProgram(ReadProgramFile(path), path, options);
  } catch (const Error& error) {
    scene = PreviewScene{};
    scene.message = WithFullStop(error.what());
  }
  m_showsFile = true;
  m_live->setEnabled(true);
  m_view->SetScene(std::move(scene), true);
  Show(m_view->Scene(), "Program " + QFileInfo(shownPath).fileName(), shownPath);
}

void PreviewPanel::Show(const PreviewScene& scene, const QString& title, const QString& toolTip) {
  m_title->setText(QFontMetrics(m_title->font()).elidedText(title, Qt::ElideMiddle, m_title->width()));
  m_title->setToolTip(toolTip.isEmpty() ? title : toolTip);
  if (scene.stats) {
    m_stats->setText(StatsTable(StatRows(*scene.stats)));
  } else {
    m_stats->setText("<span style=\"color:#5a6673\">No program to count.</span>");
  }
}

}  // namespace stylor
