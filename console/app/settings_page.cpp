#include "console/app/settings_page.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QSysInfo>
#include <QThread>
#include <system_error>

#include "console/app/account_record.h"
#include "console/app/console_state.h"
#include "console/app/online_notice.h"
#include "console/app/page_text.h"
#include "console/app/sibling_programs.h"
#include "console/foundation/desktop_services.h"
#include "console/foundation/skin_button.h"
#include "console/foundation/switch_button.h"
#include "console/foundation/system_info.h"
#include "console/foundation/text_ops.h"
#include "loganalyzer/ui/log_desktop.h"
#include "loganalyzer/ui/log_manager_dlg.h"
#include "online/account.h"
#include "online/client.h"
#include "store/gbk_text.h"

namespace orv::console {
namespace {

const QString kMessageCaption = QStringLiteral("消息");
const QString kErrorCaption = QStringLiteral("错误");
const QString kProductCaption = QStringLiteral("Orvane");
const QString kBadLogPath = QStringLiteral("日志路径不存在，请重新选择设置。");
const QString kWebService = QStringLiteral("w3svc");
const QString kBackgroundService = QStringLiteral("OrvFilter");

QString FromGbk(const std::string& gbk) {
  return QString::fromStdString(store::GbkToUtf8Lossless(gbk));
}

// Waits `ms` with the window alive.
void PauseWithEvents(int ms) {
  QElapsedTimer elapsed;
  elapsed.start();
  PumpMessages();
  while (elapsed.elapsed() < ms) {
    QThread::msleep(10);
    PumpMessages();
  }
}

std::string WithoutTrailingSeparator(std::string folder) {
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  return folder;
}

}  // namespace

QString CSettingsPage::RestartCaption() {
  return QStringLiteral("重启IIS");
}

QString OsLabelText(const QString& osName, bool wow64, const QString& architecture) {
  return QStringLiteral("操作系统:") + osName + QLatin1Char('(') +
         (wow64 ? QStringLiteral("x64") : architecture) + QLatin1Char(')');
}

CSettingsPage::CSettingsPage(ConsoleState& state, MessageBoxes& boxes, SystemControl& control,
                             SettingsPageTimings timings, QWidget* parent)
    : QWidget(parent), state_(state), boxes_(boxes), control_(control), timings_(timings) {
  setObjectName(QStringLiteral("CSettingsPage"));
  BuildControls();
  Load();

  startTimer_.setSingleShot(true);
  startTimer_.setInterval(timings_.startMs);
  connect(&startTimer_, &QTimer::timeout, this, &CSettingsPage::OnStartTimer);
  startTimer_.start();
}

CSettingsPage::~CSettingsPage() {
  if (restartThread_.joinable()) restartThread_.join();
}

QLabel* CSettingsPage::Link(int linkId) const {
  for (QLabel* link : links_) {
    if (link != nullptr && link->objectName() == QStringLiteral("link%1").arg(linkId)) return link;
  }
  return nullptr;
}

void CSettingsPage::Status(const QString& text) {
  state_.SetStatusText(Gbk(text));
}

void CSettingsPage::Load() {
  store::SettingsFile& file = state_.Settings();
  loaded_ = store::LoadSettingsPage(file);
  {
    const QSignalBlocker quiet(switch_);
    switch_->setChecked(loaded_.isSystem);
  }
  ShowSwitchCaption();
  fileTypes_->setText(FromGbk(loaded_.fileType));
  sendWords_->setText(FromGbk(loaded_.sendWords));
  safeCode_->setText(FromGbk(loaded_.safeCode));
  gzip_->setChecked(loaded_.isGzip);
  showWords_->setChecked(loaded_.isShowWords);
  log_->setChecked(loaded_.isLog);
  logPath_->setText(FromGbk(loaded_.logPath));
  clearDays_->setText(FromGbk(loaded_.clearLog));
  autoWords_->setChecked(loaded_.isAutoWords);
  autoHour_->setText(FromGbk(loaded_.autoHour));
  user_->setText(FromGbk(TextBetween(UnscrambleAccountRecord(file.GetUser()), "<u>", "</u>")));
  password_->clear();
  // Long texts (a deep log folder) show from their beginning.
  for (QLineEdit* field : {fileTypes_, sendWords_, safeCode_, logPath_, user_}) {
    field->setCursorPosition(0);
  }
}

void CSettingsPage::ShowSwitchCaption() {
  switch_->setText(switch_->isChecked() ? QStringLiteral("系统已开启")
                                        : QStringLiteral("系统已关闭"));
  switch_->update();
}

void CSettingsPage::OnStartTimer() {
  startTimer_.stop();
  std::string osName;
  GetOsName(osName);
  const bool wow64 = IsWow64();
  osLabel_->setText(OsLabelText(FromGbk(osName), wow64, QSysInfo::currentCpuArchitecture()));
  advice_->setVisible(wow64);
  // Only the caption: nothing changed, so nothing is written at start.
  ShowSwitchCaption();
}

void CSettingsPage::OnSwitchClicked() {
  ShowSwitchCaption();
  const bool on = switch_->isChecked();
  if (!state_.Settings().SetIsSystem(on)) {
    {
      const QSignalBlocker quiet(switch_);
      switch_->setChecked(!on);
    }
    ShowSwitchCaption();
    boxes_.Show(this, BoxIcon::Error, kErrorCaption,
                QStringLiteral("无法写入设置文件 %1，系统开关未改变。请检查文件权限后再试。")
                    .arg(QString::fromLocal8Bit(state_.Settings().Path())));
    Status(QStringLiteral("系统开关未改变。"));
    return;
  }
  loaded_.isSystem = on;
  Status(QStringLiteral("操作完毕，请[保存]并重启IIS后生效..."));
}

bool CSettingsPage::ReadFields(store::SettingsPageFields& fields) {
  fields.isSystem = switch_->isChecked();
  fields.isGzip = gzip_->isChecked();
  fields.isLog = log_->isChecked();
  fields.isShowWords = showWords_->isChecked();
  fields.isAutoWords = autoWords_->isChecked();
  const struct {
    QLineEdit* field;
    const char* name;
    std::string* value;
  } texts[] = {{fileTypes_, "监控的文件类型", &fields.fileType},
               {sendWords_, "提示信息", &fields.sendWords},
               {safeCode_, "安全码", &fields.safeCode},
               {logPath_, "日志路径", &fields.logPath},
               {clearDays_, "自动清理天数", &fields.clearLog},
               {autoHour_, "自动获取时间", &fields.autoHour}};
  for (const auto& text : texts) {
    const store::GbkEncoding encoded = store::Utf8ToGbkStrict(text.field->text().toStdString());
    if (!encoded.ok) {
      boxes_.Show(
          this, BoxIcon::Warning, kMessageCaption,
          QStringLiteral("“%1”中的“%2”无法以GBK编码保存，请修改后再保存。"
                         "本次未写入任何设置。")
              .arg(QString::fromUtf8(text.name), QString::fromStdString(encoded.character)));
      text.field->setFocus();
      return false;
    }
    *text.value = encoded.gbk;
  }
  return true;
}

bool CSettingsPage::Save() {
  save_->setEnabled(false);
  const bool done = SaveSteps();
  save_->setEnabled(true);
  return done;
}

bool CSettingsPage::SaveSteps() {
  store::SettingsPageFields fields;
  if (!ReadFields(fields)) {
    Status(QStringLiteral("设置未保存。"));
    return false;
  }
  Status(QStringLiteral("正在保存设置..."));

  store::SettingsFile& file = state_.Settings();
  const std::vector<std::string_view> changed =
      store::ChangedPageKeys(loaded_, store::LoadSettingsPage(file));
  if (!changed.empty()) {
    QStringList names;
    for (std::string_view key : changed) names.append(QString::fromLatin1(key));
    const BoxAnswer answer =
        boxes_.Show(this, BoxIcon::Question, kMessageCaption,
                    QStringLiteral("设置文件中的 %1 在本页载入之后已被其他程序修改。\n\n"
                                   "要用本页的内容覆盖它们吗？选择“否”将不保存任何设置。")
                        .arg(names.join(QStringLiteral("、"))),
                    BoxButtons::YesNo);
    if (answer != BoxAnswer::Yes) {
      Status(QStringLiteral("设置未保存。"));
      return false;
    }
  }

  const store::SettingsPageSave saved =
      store::SaveSettingsPage(file, fields, state_.DatabasePath());
  autoHour_->setText(FromGbk(saved.shownHour));
  clearDays_->setText(FromGbk(saved.shownDays));
  loaded_ = store::LoadSettingsPage(file);
  if (saved.logPathRefused) {
    boxes_.Show(this, BoxIcon::Warning, kErrorCaption, kBadLogPath);
  }
  if (!saved.AllWritten()) {
    QStringList failed;
    for (const std::string& key : saved.failedKeys) failed.append(QString::fromLocal8Bit(key));
    boxes_.Show(this, BoxIcon::Error, kErrorCaption,
                QStringLiteral("无法写入设置文件 %1，以下设置未保存：%2。\n\n"
                               "请检查磁盘空间和文件权限后再试；系统未做设置。")
                    .arg(QString::fromLocal8Bit(file.Path()), failed.join(QStringLiteral("、"))));
    Status(QStringLiteral("保存设置失败。"));
    return false;
  }

  Status(QStringLiteral("正在设置系统。"));
  const SiblingOutcome system = ApplySystemSwitch();
  loaded_ = store::LoadSettingsPage(file);
  if (!system.ok) {
    Status(QStringLiteral("设置已保存，但系统设置未完成：") + system.message);
    boxes_.Show(this, BoxIcon::Warning, kMessageCaption,
                QStringLiteral("设置已保存，但系统设置未完成：\n\n") + system.message);
    return false;
  }
  Status(QStringLiteral("保存设置完毕，重启IIS后生效。"));
  if (saved.logPathRefused) return false;
  boxes_.Show(this, BoxIcon::Information, kMessageCaption, QStringLiteral("保存完毕。"));
  return true;
}

SiblingOutcome CSettingsPage::ApplySystemSwitch() {
  if (switch_->isChecked()) return control_.siblings.Repair();
  // Switched off on the page: the file says what the filter will do, so it decides.
  if (state_.Settings().ReadKey(store::keys::kIsSystem) == "1") {
    return control_.siblings.Repair();
  }
  return control_.siblings.Unload();
}

void CSettingsPage::RestartIis() {
  if (restarting_) return;
  const BoxAnswer answer = boxes_.Show(
      this, BoxIcon::Question, QStringLiteral("提示"),
      QStringLiteral("是否重启IIS服务？重启期间网站将不能被正常访问。"), BoxButtons::YesNo);
  if (answer != BoxAnswer::Yes) return;
  restarting_ = true;
  restart_->setText(QStringLiteral("重启中.."));
  restart_->setEnabled(false);
  Status(QStringLiteral("正在重启IIS服务.."));
  PauseWithEvents(timings_.restartPauseMs);

  ServiceControl& services = control_.services;
  try {
    restartThread_ = std::thread([this, &services] {
      const ServiceResult result = services.RestartService(kWebService);
      QMetaObject::invokeMethod(
          this, [this, result] { FinishRestart(result); }, Qt::QueuedConnection);
    });
  } catch (const std::system_error&) {
    // No thread to be had: the restart runs here, the window waiting with it.
    FinishRestart(services.RestartService(kWebService));
  }
}

void CSettingsPage::FinishRestart(const ServiceResult& result) {
  if (restartThread_.joinable()) restartThread_.join();
  restarting_ = false;
  restart_->setEnabled(true);
  restart_->setText(RestartCaption());
  if (result.ok) {
    Status(QStringLiteral("IIS服务重启完毕！"));
    return;
  }
  Status(QStringLiteral("IIS服务重启失败：") + result.message);
  boxes_.Show(this, BoxIcon::Warning, QStringLiteral("提示"),
              QStringLiteral("IIS服务重启失败：\n\n") + result.message);
}

bool CSettingsPage::Repair() {
  const BoxAnswer answer = boxes_.Show(
      this, BoxIcon::Question, kProductCaption,
      QStringLiteral("将进行 非法信息过滤系统 的修复任务，确定吗？"), BoxButtons::YesNo);
  if (answer != BoxAnswer::Yes) return false;
  QLabel* link = Link(kRepairLinkId);
  link->setEnabled(false);
  Status(QStringLiteral("正在修复系统..."));

  QStringList problems;
  const SiblingOutcome system = ApplySystemSwitch();
  if (!system.ok) problems.append(system.message);

  if (control_.processes.IsProcessRunning("orvfilter.exe") != 1) {
    // Remove the background service, then install it again. Removing one that is not there
    // (or not running) is no failure; installing and starting it must succeed.
    control_.services.SetServiceRunning(kBackgroundService, false);
    control_.services.SetServiceEnabled(kBackgroundService, false);
    PauseWithEvents(timings_.serviceStepMs);
    ServiceResult installed = control_.services.SetServiceEnabled(kBackgroundService, true);
    if (installed.ok) installed = control_.services.SetServiceRunning(kBackgroundService, true);
    if (!installed.ok) problems.append(installed.message);
    PauseWithEvents(timings_.serviceSettleMs);
  }

  link->setEnabled(true);
  if (!problems.isEmpty()) {
    Status(QStringLiteral("修复未完成：") + problems.first());
    boxes_.Show(this, BoxIcon::Warning, kProductCaption,
                QStringLiteral("修复未完成：\n\n") + problems.join(QStringLiteral("\n")));
    return false;
  }
  Status(QStringLiteral("修复完毕！"));
  boxes_.Show(this, BoxIcon::Information, kProductCaption, QStringLiteral("修复完毕！"));
  return true;
}

void CSettingsPage::ChooseLogFolder() {
  std::string chosen;
  const int result = control_.folders.Choose(this, Gbk(logPath_->text()), chosen);
  if (result == 1) {
    logPath_->setText(FromGbk(WithoutTrailingSeparator(chosen)));
    logPath_->setCursorPosition(0);
  } else if (result < 0) {
    boxes_.Show(this, BoxIcon::Warning, kMessageCaption,
                QStringLiteral("无法打开文件夹选择窗口，请直接填写日志路径。"));
  }
}

void CSettingsPage::OpenLogFolder() {
  const QString folder = logPath_->text();
  if (!store::IsUsableLogPath(Gbk(folder))) {
    boxes_.Show(this, BoxIcon::Warning, kErrorCaption, kBadLogPath);
    return;
  }
  if (!control_.shell.Open(folder)) {
    boxes_.Show(this, BoxIcon::Warning, kMessageCaption,
                QStringLiteral("无法打开日志文件夹 %1。").arg(folder));
  }
}

void CSettingsPage::OpenLogManager() {
  const std::string folder = state_.Settings().GetLogPath();
  if (logWindowOpener_) {
    logWindowOpener_(this, folder);
  } else {
    loganalyzer::OpenLogManager(this, folder, boxes_, loganalyzer::DefaultLogDesktop());
  }
}

void CSettingsPage::VerifyAccount() {
  if (verifying_) return;
  const store::GbkEncoding user = store::Utf8ToGbkStrict(user_->text().toStdString());
  const store::GbkEncoding password = store::Utf8ToGbkStrict(password_->text().toStdString());
  if (!user.ok || !password.ok) {
    // Sent as something else, the name or password could never match the account.
    boxes_.Show(this, BoxIcon::Warning, QStringLiteral("输入错误"),
                QStringLiteral("用户名或密码中的“%1”无法以GBK编码发送，请修改后再验证。")
                    .arg(QString::fromStdString(user.ok ? password.character : user.character)));
    return;
  }
  const bool sending = online::AccountInputComplete(user.gbk, password.gbk);
  QLabel* link = Link(kVerifyLinkId);
  if (sending) {
    verifying_ = true;
    link->setEnabled(false);
    state_.SetStatusText(online::StatusVerifying());
  }
  const online::VerifyOutcome outcome =
      online::VerifyAccount(state_.Settings(), transport_, user.gbk, password.gbk);
  if (sending) {
    state_.SetStatusText(std::string(online::kStatusIdle));
    link->setEnabled(true);
    verifying_ = false;
  }
  if (outcome.accountStored) {
    state_.SetVersionMark(outcome.versionMark);
    // The field shows the name as stored: trimmed.
    user_->setText(FromGbk(online::ReadStoredAccount(state_.Settings().GetUser()).user));
    user_->setCursorPosition(0);
  }
  ShowOnlineNotice(boxes_, this, outcome.notice);
}

void CSettingsPage::ShowSixtyFourBitAdvice() {
  boxes_.Show(this, BoxIcon::Information, QStringLiteral("启用32位应用程序"),
              QStringLiteral("您的系统为64位系统，您需要设置IIS【启用32位应用程序】模式才能使用该"
                             "信息过滤系统。\n\n如有疑问，请联系我们的在线客服解答。"));
}

}  // namespace orv::console
