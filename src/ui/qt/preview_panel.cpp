#include "ui/qt/preview_panel.h"

#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QCoreApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <utility>
#include <vector>

#include "preview/palette.h"
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
constexpr int kStatsHeight = 145;
constexpr int kMinViewSide = 160;

// The marks of the drawing in their colours, as PaintScene draws them; a mark and its name
// never part at a line break.
QString Legend() {
  const auto mark = [](Rgb colour, const char* glyph, const char* name) {
    return "<span style=\"color:" + HexColour(colour) + "\">" + glyph + "</span>&nbsp;" + name;
  };
  const std::string legend =
      mark(palette::kCut, "&#9473;", "cut &nbsp; ") +
      mark(palette::kRapid, "&#9476;", "rapid &nbsp; ") +
      mark(palette::kPlunge, "&#9679;", "plunge &nbsp; ") +
      mark(palette::kStart, "&#9675;", "program&nbsp;start &nbsp; ") +
      mark(palette::kMarker, "+", "start&nbsp;point &nbsp; ") +
      mark(palette::kMarker, "&#215;", "centre");
  return QString::fromStdString(legend);
}

struct StatRow {
  QString name;
  std::string value;
};

std::string Count(std::int64_t value) {
  std::string text;
  AppendInteger(text, value);
  return text;
}

std::string Minutes(double minutes) { return FormatStatNumber(minutes, 2) + " min"; }

// Lengths and extents with the four decimals the program writes, and the unit after them: the
// words of a rotary axis that `mode` writes in degrees span degrees, not lengths.
std::vector<StatRow> StatRows(const ProgramStats& stats, ProgramUnit unit,
                              const LatheMillMode& mode, double rapidPerMin) {
  const std::string length = " " + LengthSuffix(unit).toStdString();
  auto fixed4 = [](double value) { return FormatStatNumber(value, 4); };
  std::vector<StatRow> rows = {
      {"Lines", Count(stats.lines)},
      {"Moves", Count(stats.moves)},
      {"Plunges", Count(stats.plunges)},
      {"Cut length", fixed4(stats.cutLength) + length},
      {"Rapid length", fixed4(stats.rapidLength) + length},
  };
  if (stats.travelLength > 0) {
    rows.push_back({"Travel length", fixed4(stats.travelLength) + length});
  }
  if (stats.unreadLines > 0) rows.push_back({"Unread lines", Count(stats.unreadLines)});
  rows.push_back({"Feed time", Minutes(stats.feedMinutes)});
  const double rapidMinutes = RapidMinutesAt(stats, rapidPerMin);
  rows.push_back({"Rapids at " + QString::fromStdString(FormatGeneral(rapidPerMin)) + " " +
                      FeedSuffix(unit),
                  Minutes(rapidMinutes)});
  rows.push_back({"Estimated time", Minutes(stats.feedMinutes + rapidMinutes)});
  if (stats.untimedMoves > 0) rows.push_back({"Moves without feed", Count(stats.untimedMoves)});
  for (const AxisExtent& extent : stats.extents) {
    const bool degrees = mode.rotaryInDegrees && IsRotaryLetter(extent.letter);
    rows.push_back({QString(QChar(static_cast<unsigned char>(extent.letter))) + " from",
                    fixed4(extent.min) + " to " + fixed4(extent.max) +
                        (degrees ? kDegreeSuffix.toStdString() : length)});
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

// The pages without a job of their own show the free-form text.
QString JobTitle(Page page) {
  const std::string_view caption = JobInfoOf(JobOfPage(page)).caption;
  return QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size()));
}

}  // namespace

PreviewPanel::PreviewPanel(const EngraveFormModel& model, QWidget* parent)
    : QWidget(parent), m_model(model) {
  setObjectName("PreviewPanel");
  setAutoFillBackground(true);

  m_title = new QLabel(this);
  m_title->setObjectName("PreviewTitle");
  m_title->setMinimumWidth(40);
  m_title->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  QFont bold = m_title->font();
  bold.setBold(true);
  m_title->setFont(bold);
  m_rapids = new QPushButton("Rapids", this);
  m_rapids->setObjectName("PreviewRapids");
  m_rapids->setCheckable(true);
  m_rapids->setChecked(true);
  m_rapids->setToolTip("Show or hide the rapid moves (dashed), to see the cuts alone");
  auto* fit = new QPushButton("Fit", this);
  fit->setObjectName("PreviewFit");
  fit->setToolTip("Show the whole drawing (or double click it)");
  auto* open = new QPushButton("Open Program...", this);
  open->setObjectName("OpenProgram");
  open->setToolTip("Show a program file (.eia, .txt) with its statistics instead of the settings");
  m_live = new QPushButton("Live", this);
  m_live->setObjectName("PreviewLive");
  m_live->setToolTip("Back to the preview of the settings");
  m_live->setEnabled(false);
  auto* top = new QHBoxLayout;
  top->setSpacing(4);
  top->addWidget(m_title, 1);
  for (QPushButton* button : {m_rapids, fit, open, m_live}) {
    // As wide as the caption needs, so that the title keeps its room.
    button->setFixedSize(button->fontMetrics().horizontalAdvance(button->text()) + 18,
                         kButtonHeight);
    top->addWidget(button);
  }

  m_view = new PreviewView(this);
  m_view->setObjectName("PreviewView");
  m_view->setMinimumSize(kMinViewSide, kMinViewSide);
  m_view->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

  auto* legend = new QLabel(Legend(), this);
  legend->setObjectName("PreviewLegend");
  legend->setTextFormat(Qt::RichText);
  legend->setWordWrap(true);
  legend->setToolTip("Point at a mark in the drawing to read what it stands for");

  auto* statsGroup = new QGroupBox("Program Statistics", this);
  statsGroup->setObjectName("PreviewStatsGroup");
  statsGroup->setFixedHeight(kStatsHeight);
  m_stats = new QLabel(statsGroup);
  m_stats->setObjectName("PreviewStats");
  m_stats->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_stats->setTextFormat(Qt::RichText);
  m_stats->setToolTip("Counted from the program text; rapids are timed at a fixed rate");
  auto* statsLayout = new QVBoxLayout(statsGroup);
  statsLayout->setContentsMargins(10, 14, 10, 4);
  statsLayout->addWidget(m_stats);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
  layout->setSpacing(6);
  layout->addLayout(top);
  layout->addWidget(m_view, 1);
  layout->addWidget(legend);
  layout->addWidget(statsGroup);

  m_rebuildTimer = new QTimer(this);
  m_rebuildTimer->setSingleShot(true);
  m_rebuildTimer->setInterval(0);
  connect(m_rebuildTimer, &QTimer::timeout, this, [this] { Rebuild(); });
  connect(fit, &QPushButton::clicked, m_view, &PreviewView::FitToView);
  connect(m_rapids, &QPushButton::toggled, m_view, &PreviewView::SetRapidsShown);
  connect(m_live, &QPushButton::clicked, this, [this] { ShowLive(); });
  connect(open, &QPushButton::clicked, this, [this] {
    if (m_open) m_open();
  });
  m_rebuildTimer->start();
}

void PreviewPanel::RapidRateChanged() { ShowStats(m_view->Scene()); }

void PreviewPanel::SetUnit(ProgramUnit unit) {
  m_unit = unit;
  m_view->SetUnit(LengthSuffix(unit));
  ShowStats(m_view->Scene());
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
  PreviewScene scene = m_model.Preview();
  if (!m_model.FontLoaded() && scene.message.empty() && scene.segments.empty()) {
    scene.message = "No font is loaded from \"" + m_model.Settings().FontFile +
                    "\": choose one with \"Pick Font\".";
  }
  m_view->SetScene(std::move(scene), refit);
  Show(m_view->Scene(), "Preview of " + title, QString());
}

// Steps of the progress bar of a program being read.
constexpr int kProgressSteps = 1000;

void PreviewPanel::ShowProgramFile(const std::string& path) {
  m_rebuildTimer->stop();
  const QString shownPath = QFile::decodeName(QByteArray::fromStdString(path));
  PreviewScene scene;
  // A large file is read behind a progress bar whose Cancel keeps the picture as it was.
  QProgressDialog progress("Reading " + QFileInfo(shownPath).fileName() + " ...", "Cancel", 0,
                           kProgressSteps, this);
  progress.setWindowModality(Qt::WindowModal);
  progress.setMinimumDuration(300);
  struct Cancelled {};
  try {
    const ReaderOptions options = ReaderOptionsFrom(m_model.Settings());
    scene = SceneOfProgramFile(path, options, [&](std::size_t done, std::size_t total) {
      if (total > 0) progress.setValue(static_cast<int>(kProgressSteps * (double(done) / total)));
      QCoreApplication::processEvents();
      if (progress.wasCanceled()) throw Cancelled{};
    });
  } catch (const Cancelled&) {
    return;
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
  m_title->setText(title);
  m_title->setToolTip(toolTip.isEmpty() ? title : toolTip);
  ShowStats(scene);
}

void PreviewPanel::ShowStats(const PreviewScene& scene) {
  if (scene.stats) {
    m_stats->setText(StatsTable(
        StatRows(*scene.stats, m_unit, LatheMillModeOf(m_model.Settings().IntegrexMode),
                 StoredRapidRate())));
  } else {
    m_stats->setText("<span style=\"color:#5a6673\">No program to count.</span>");
  }
}

}  // namespace stylor
