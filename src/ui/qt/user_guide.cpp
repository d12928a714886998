#include "ui/qt/user_guide.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

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
  m_browser->viewport()->installEventFilter(this);
  FitPictures();
}

void UserGuide::FitPictures() {
  QTextDocument* document = m_browser->document();
  // The room of a picture: the page's width less its margins, never wider than drawn.
  const double room = std::max(80.0, m_browser->viewport()->width() - 2 * document->documentMargin() - 4);
  struct Picture {
    int position;
    int length;
    QTextImageFormat format;
  };
  std::vector<Picture> pictures;
  for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
    for (auto it = block.begin(); !it.atEnd(); ++it) {
      const QTextFragment fragment = it.fragment();
      if (!fragment.isValid() || !fragment.charFormat().isImageFormat()) continue;
      pictures.push_back({fragment.position(), fragment.length(),
                          fragment.charFormat().toImageFormat()});
    }
  }
  for (Picture& picture : pictures) {
    const QVariant resource =
        document->resource(QTextDocument::ImageResource, QUrl(picture.format.name()));
    QSizeF natural;
    if (resource.canConvert<QImage>()) natural = resource.value<QImage>().size();
    if (natural.isEmpty() && resource.canConvert<QPixmap>()) natural = resource.value<QPixmap>().size();
    if (natural.isEmpty()) continue;
    const double width = std::min(natural.width(), room);
    if (picture.format.width() == width) continue;
    picture.format.setWidth(width);
    picture.format.setHeight(natural.height() * width / natural.width());
    QTextCursor cursor(document);
    cursor.setPosition(picture.position);
    cursor.setPosition(picture.position + picture.length, QTextCursor::KeepAnchor);
    cursor.setCharFormat(picture.format);
  }
}

bool UserGuide::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_browser->viewport() && event->type() == QEvent::Resize) FitPictures();
  return QDialog::eventFilter(watched, event);
}

}  // namespace stylor
