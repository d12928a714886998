#pragma once

#include <QDialog>
#include <QString>

class QTextBrowser;

namespace stylor {

/// The README shown inside Stylor, rendered from its Markdown, so that the guide needs neither a
/// browser nor a network. Pictures and links resolve beside the README.
class UserGuide final : public QDialog {
  Q_OBJECT

 public:
  /// A guide window for the README at `readmePath`, not yet shown.
  UserGuide(const QString& readmePath, QWidget* parent);
  /// The page as it is shown.
  QTextBrowser* Browser() const { return m_browser; }

 private:
  QTextBrowser* m_browser;
};

}  // namespace stylor
