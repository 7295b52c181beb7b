#include "console/app/upcoming_page.h"

#include <QLabel>
#include <QVBoxLayout>

namespace orv::console {

CUpcomingPage::CUpcomingPage(const QString& pageName, const QString& whatItDoes, QWidget* parent)
    : QWidget(parent) {
  setObjectName(QStringLiteral("upcoming:") + pageName);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 24, 24, 24);
  layout->setSpacing(10);

  auto* title = new QLabel(pageName, this);
  QFont titleFont = title->font();
  titleFont.setPointSizeF(titleFont.pointSizeF() + 3);
  titleFont.setBold(true);
  title->setFont(titleFont);
  title->setStyleSheet(QStringLiteral("color: #12355b;"));

  auto* purpose = new QLabel(whatItDoes, this);
  purpose->setWordWrap(true);
  purpose->setStyleSheet(QStringLiteral("color: #3b4b5c;"));

  auto* notice =
      new QLabel(QStringLiteral("此页面将在后续版本中提供。当前版本尚不能在这里查看或修改这些内容，"
                                "设置文件和词库文件保持原样。"),
                 this);
  notice->setObjectName(QStringLiteral("upcomingNotice"));
  notice->setWordWrap(true);
  notice->setStyleSheet(
      QStringLiteral("QLabel { color: #7a5a00; background: #fff8e1; border: 1px solid #f0d889;"
                     " border-radius: 4px; padding: 8px; }"));

  layout->addWidget(title);
  layout->addWidget(purpose);
  layout->addSpacing(6);
  layout->addWidget(notice);
  layout->addStretch(1);
}

}  // namespace orv::console
