#include "console/app/loader_dlg.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>

#include "console/app/product_texts.h"
#include "console/app/startup_loader.h"

namespace orv::console {

CLoaderDlg::CLoaderDlg(ConsoleState& state, MessageBoxes& boxes, LoaderTimings timings,
                       QWidget* parent)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog),
      state_(state),
      boxes_(boxes),
      timings_(timings),
      background_(QStringLiteral(":/orvane/loader_background.png")) {
  setObjectName(QStringLiteral("CLoaderDlg"));
  setWindowTitle(QStringLiteral("Orvane·非法信息过滤系统v") + QString::fromLatin1(kProductVersion));
  setWindowIcon(QIcon(QStringLiteral(":/orvane/app_icon.png")));
  setFixedSize(400, 250);

  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("control1007"));
  progress_->setGeometry(40, 184, 320, 10);
  progress_->setRange(0, 100);
  progress_->setTextVisible(false);
  progress_->setStyleSheet(QStringLiteral(
      "QProgressBar { background: rgba(255,255,255,40); border: 1px solid rgba(255,255,255,90);"
      " border-radius: 4px; }"
      "QProgressBar::chunk { background: #7fd3f0; border-radius: 3px; }"));

  status_ = new QLabel(QStringLiteral("启动中..."), this);
  status_->setObjectName(QStringLiteral("control1008"));
  status_->setGeometry(40, 200, 320, 24);
  status_->setAttribute(Qt::WA_TranslucentBackground);
  status_->setStyleSheet(QStringLiteral("color: #dcefff;"));

  startTimer_.setSingleShot(true);
  startTimer_.setInterval(timings_.startDelayMs);
  connect(&startTimer_, &QTimer::timeout, this, [this] {
    RunLoadSteps();
    QTimer::singleShot(timings_.closeDelayMs, this, &QDialog::accept);
  });
  startTimer_.start();
}

int CLoaderDlg::Progress() const {
  return progress_->value();
}

QString CLoaderDlg::StatusText() const {
  return status_->text();
}

void CLoaderDlg::RunLoadSteps() {
  startTimer_.stop();
  StartupLoader loader(
      state_, boxes_,
      [this](int progress, const QString& status) {
        progress_->setValue(progress);
        status_->setText(status);
      },
      this);
  loader.SetFinalPauseMs(timings_.finalPauseMs);
  loadSucceeded_ = loader.Run();
}

void CLoaderDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(rect(), background_);
}

void CLoaderDlg::keyPressEvent(QKeyEvent* event) {
  // The loader closes itself when the work is done; Esc must not cut the start short.
  if (event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace orv::console
