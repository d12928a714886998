#pragma once

#include <QDialog>
#include <QString>

class QTextBrowser;

namespace stylor {

/// The guide shown inside Stylor, rendered from its Markdown, so that the guide needs neither a
/// browser nor a network. Pictures and links resolve beside the guide; a picture wider than the
/// window is drawn to the window's width.
class UserGuide final : public QDialog {
  Q_OBJECT

 public:
  /// A guide window for the Markdown file at `guidePath`, not yet shown.
  UserGuide(const QString& guidePath, QWidget* parent);
  /// The page as it is shown.
  QTextBrowser* Browser() const { return m_browser; }
  /// Draws every picture at most as wide as the page shows.
  void FitPictures();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QTextBrowser* m_browser;
};

}  // namespace stylor
