#include "console/app/startup_loader.h"

#include <QThread>

#include "console/app/console_state.h"
#include "console/app/first_run.h"
#include "console/app/product_texts.h"
#include "console/foundation/desktop_services.h"
#include "console/foundation/system_info.h"
#include "platform/codepage.h"
#include "platform/files.h"

namespace orv::console {

StartupLoader::StartupLoader(ConsoleState& state, MessageBoxes& boxes, Report report,
                             QWidget* owner)
    : state_(state), boxes_(boxes), report_(std::move(report)), owner_(owner) {}

bool StartupLoader::Run() {
  bool ok = true;
  report_(10, QStringLiteral("加载中..."));
  PumpMessages();

  const bool firstRun = IsFirstRun(state_);
  report_(20, QStringLiteral("加载中..."));
  PumpMessages();

  if (firstRun) {
    const FirstRunResult result = WriteFirstRunDefaults(state_);
    if (result.defaultsWritten) {
      boxes_.Show(owner_, BoxIcon::Information, QStringLiteral("Orvane"), WelcomeText());
    } else {
      ok = false;
      boxes_.Show(owner_, BoxIcon::Error, QStringLiteral("Orvane"), result.failure);
    }
  }

  report_(40, QStringLiteral("正在读取词库..."));
  // A missing database is an empty one (a first start has none yet). One that exists but
  // cannot be read is not: the administrator must know before a save replaces it.
  if (!state_.Database().LoadDatabase(state_.DatabasePath()) &&
      files::Exists(state_.DatabasePath())) {
    ok = false;
    const QString path = QString::fromStdString(codepage::AnsiToUtf8(state_.DatabasePath()));
    boxes_.Show(owner_, BoxIcon::Error, QStringLiteral("Orvane"),
                QStringLiteral("无法读取词库文件 %1，词库暂时为空。\n\n"
                               "请检查该文件后重新启动本程序；在此之前请不要保存词库，"
                               "以免覆盖原有的关键词。")
                    .arg(path));
  }

  report_(99, QStringLiteral("加载完毕！"));
  PumpMessages();
  if (finalPauseMs_ > 0) {
    QThread::msleep(static_cast<unsigned long>(finalPauseMs_));
  }
  return ok;
}

}  // namespace orv::console
