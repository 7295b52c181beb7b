#include "console/app/about_dlg.h"

#include <QDialogButtonBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "console/app/product_texts.h"
#include "console/foundation/desktop_services.h"

namespace orv::console {

CAboutDlg::CAboutDlg(Shell& shell, QWidget* parent) : QDialog(parent), shell_(shell) {
  setObjectName(QStringLiteral("CAboutDlg"));
  setWindowTitle(QStringLiteral("关于 Orvane"));
  auto* icon = new QLabel(this);
  icon->setPixmap(QPixmap(QStringLiteral(":/orvane/app_icon.png")));
  auto* title = new QLabel(MainWindowTitle() + QStringLiteral(" 版"), this);
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  auto* maker = new QLabel(QStringLiteral("Orvane 网站安全团队 出品"), this);
  auto* link = new QLabel(MakerAddress(), this);
  link->setObjectName(QStringLiteral("control1064"));
  link->setStyleSheet(QStringLiteral("color: rgb(0, 0, 255);"));
  link->setCursor(Qt::PointingHandCursor);
  link->installEventFilter(this);
  link_ = link;

  auto* texts = new QVBoxLayout;
  texts->addWidget(title);
  texts->addWidget(maker);
  texts->addWidget(link);
  auto* top = new QHBoxLayout;
  top->addWidget(icon, 0, Qt::AlignTop);
  top->addSpacing(12);
  top->addLayout(texts, 1);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(buttons);
}

bool CAboutDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == link_ && event->type() == QEvent::MouseButtonRelease) {
    shell_.Open(MakerAddress());
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace orv::console
