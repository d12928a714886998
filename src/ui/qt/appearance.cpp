#include "ui/qt/appearance.h"

#include <QApplication>
#include <QFont>
#include <QPalette>
#include <QStyleFactory>

namespace stylor {

void ApplyAppearance(QApplication& app) {
  app.setStyle(QStyleFactory::create("Fusion"));

  const QColor ink(0x1e, 0x2a, 0x36);
  const QColor faded(0x8a, 0x96, 0xa3);
  QPalette palette(QColor(0xd9, 0xe0, 0xe8), QColor(0xe8, 0xec, 0xf1));
  palette.setColor(QPalette::WindowText, ink);
  palette.setColor(QPalette::Text, ink);
  palette.setColor(QPalette::ButtonText, ink);
  palette.setColor(QPalette::Base, Qt::white);
  palette.setColor(QPalette::AlternateBase, QColor(0xf2, 0xf5, 0xf8));
  palette.setColor(QPalette::ToolTipBase, QColor(0xfb, 0xfc, 0xf4));
  palette.setColor(QPalette::ToolTipText, ink);
  palette.setColor(QPalette::PlaceholderText, faded);
  palette.setColor(QPalette::Highlight, QColor(0x35, 0x5a, 0x7e));
  palette.setColor(QPalette::HighlightedText, Qt::white);
  palette.setColor(QPalette::Link, QColor(0x2c, 0x5f, 0x8a));
  for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
    palette.setColor(QPalette::Disabled, role, faded);
  }
  app.setPalette(palette);

  // The layout is measured in pixels; a semi-condensed face keeps the longest captions
  // ("Single Engrave Operation") inside their groups, and Qt narrows the face itself when no
  // condensed cut is installed.
  QFont font("DejaVu Sans");
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(11);
  font.setStretch(QFont::SemiCondensed);
  app.setFont(font);

  // Captions sit on the frame line, so that the short groups of the fixed layout keep their
  // room for the controls.
  app.setStyleSheet(
      "QGroupBox { border: 1px solid #a9b4c0; border-radius: 3px; margin-top: 6px; }"
      "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left;"
      " left: 7px; padding: 0 3px; }");
}

}  // namespace stylor
