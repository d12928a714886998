#include "ui/qt/user_guide.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace stylor {

UserGuide::UserGuide(const QString& guidePath, QWidget* parent)
    : QDialog(parent), m_browser(new QTextBrowser(this)) {
  setObjectName("UserGuide");
  setWindowTitle("Stylor User Guide");
  resize(760, 640);
  m_browser->setObjectName("UserGuideText");
  m_browser->setOpenExternalLinks(true);
  m_browser->setSearchPaths({QFileInfo(guidePath).absolutePath()});
  m_browser->setSource(QUrl::fromLocalFile(guidePath), QTextDocument::MarkdownResource);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_browser);
  layout->addWidget(buttons);
}

}  // namespace stylor
