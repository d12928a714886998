#pragma once

// What the files of the main window share: the sizes of the controls, the keys of the
// application settings, the conversions between Qt's strings and the model's, and the small
// builders of labels and groups. For the window's own files only.

#include <QByteArray>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFont>
#include <QGroupBox>
#include <QLabel>
#include <QMargins>
#include <QRect>
#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <string_view>

#include "settings/engrave_settings.h"

namespace stylor::form_parts {

using S = EngraveSettings;


inline constexpr int kPanelHeight = 309;
inline constexpr int kEditHeight = 21;
inline constexpr int kButtonHeight = 25;
inline constexpr int kCheckHeight = 17;
// The frame a window manager usually puts around a window, until the real one is known.
inline constexpr QMargins kAssumedFrame(6, 38, 6, 6);

inline const QString kTitle = QStringLiteral("Stylor");
// The program files of the save and open dialogs: .eia first, then the names other controls use.
inline const QStringList kProgramFilters = {"EIA (*.eia)",         "Text File (*.txt)",
                                     "NC Program (*.nc)",   "NGC Program (*.ngc)",
                                     "TAP Program (*.tap)", "All Files (*)"};
inline const QString kGeometryKey = QStringLiteral("window/geometry");
inline const QString kSplitterKey = QStringLiteral("window/splitter");
inline const QString kRecentKey = QStringLiteral("recentMachineFiles");
inline const QString kPageKey = QStringLiteral("window/page");
inline const QString kFreeFormKey = QStringLiteral("texts/freeForm");
inline const QString kArcTextKey = QStringLiteral("texts/circle");
inline const QString kEllipseTextKey = QStringLiteral("texts/ellipse");
inline const QString kErrorOutline =
    QStringLiteral("QLineEdit { border: 2px solid #c62828; border-radius: 2px; }");
inline const QString kWarningOutline = QStringLiteral(
    "QComboBox, QLineEdit, QPlainTextEdit { border: 2px solid #e08a00; border-radius: 2px; }"
    "QGroupBox { border: 2px solid #e08a00; border-radius: 2px; margin-top: 7px; }"
    "QGroupBox::title { subcontrol-origin: margin; left: 7px; }");

inline QString ToQt(const std::string& utf8) { return QString::fromStdString(utf8); }
inline QString ToQt(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
inline std::string ToUtf8(const QString& text) { return text.toStdString(); }
inline std::string ToNativePath(const QString& path) { return QFile::encodeName(path).toStdString(); }
inline QString FromNativePath(const std::string& path) {
  return QFile::decodeName(QByteArray::fromStdString(path));
}

// A memo's text as lines: "\n" separates lines and a final "\n" only ends the last one.
inline Lines SplitLines(const QString& text) {
  Lines lines;
  if (text.isEmpty()) return lines;
  QStringList parts = text.split(u'\n');
  if (text.endsWith(u'\n')) parts.removeLast();
  lines.reserve(static_cast<std::size_t>(parts.size()));
  for (const QString& part : parts) lines.push_back(ToUtf8(part));
  return lines;
}

// The inverse of SplitLines, so that a memo shown from the model reads back unchanged.
inline QString JoinLines(const Lines& lines) {
  QString text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += u'\n';
    text += ToQt(lines[i]);
  }
  if (!lines.empty() && lines.back().empty()) text += u'\n';
  return text;
}

inline QLabel* AddLabel(QWidget* parent, const QString& caption, int left, int top) {
  auto* label = new QLabel(caption, parent);
  label->move(left, top);
  label->adjustSize();
  return label;
}

inline QGroupBox* AddGroup(QWidget* parent, const QString& name, const QString& caption, QRect place) {
  auto* group = new QGroupBox(caption, parent);
  group->setObjectName(name);
  group->setGeometry(place);
  return group;
}

inline QFont Scaled(const QFont& base, int pixelSize, bool bold) {
  QFont font = base;
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

inline std::optional<std::string> RunFileDialog(QFileDialog& dialog) {
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return ToNativePath(dialog.selectedFiles().constFirst());
}


}  // namespace stylor::form_parts
