#include "console/app/main_dlg.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QWindow>

#include "console/app/about_dlg.h"
#include "console/app/account_record.h"
#include "console/app/background_job.h"
#include "console/app/console_state.h"
#include "console/app/product_texts.h"
#include "console/app/section_pages.h"
#include "console/app/settings_page.h"
#include "console/foundation/desktop_services.h"
#include "console/foundation/http_download.h"
#include "console/foundation/icon_button.h"
#include "console/foundation/system_info.h"
#include "online/service_address.h"
#include "platform/codepage.h"
#include "store/gbk_text.h"

namespace orv::console {

namespace {
const QColor kSelectedTabText(255, 0, 0);
const QColor kTabText(29, 43, 58);
const QColor kTabHover(220, 235, 247);
const QColor kTabSelectedBack(255, 255, 255);
const QColor kAdDot(11, 109, 18);
const QColor kHeaderText(255, 255, 255);

QString FromGbk(const std::string& gbk) {
  return QString::fromStdString(codepage::AnsiToUtf8(gbk));
}

std::string ToGbk(const QString& text) {
  return codepage::Utf8ToAnsi(text.toStdString());
}

// Feed texts come from the network: shown byte for byte, never read as markup.
QString FeedText(const std::string& gbk) {
  return QString::fromStdString(store::GbkToUtf8Lossless(gbk));
}

struct TabSpec {
  int id;
  const char* text;
  const char* icon;
  const char* tip;
};

const TabSpec kTabs[5] = {
    {1000, "系统设置", ":/orvane/icon_settings.png", "系统设置，设置软件主要功能"},
    {1001, "词库管理", ":/orvane/icon_keywords.png", "词库管理，管理拦截/替换关键词"},
    {1002, "黑白名单", ":/orvane/icon_lists.png", "黑白名单，管理URL/IP地址访问名单"},
    {1003, "日志分析", ":/orvane/icon_logs.png", "日志分析，拦截/替换日志分析管理"},
    {1004, "关于我们", ":/orvane/icon_about.png", "关于我们，Orvane系列软件"},
};

QLabel* StaticText(QWidget* parent, int id, const QString& text, const QRect& geometry,
                   const QColor& colour, bool link) {
  auto* label = new QLabel(text, parent);
  label->setObjectName(QStringLiteral("control%1").arg(id));
  label->setGeometry(geometry);
  label->setAttribute(Qt::WA_TranslucentBackground);
  label->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(colour.name()));
  if (link) {
    label->setCursor(Qt::PointingHandCursor);
  }
  return label;
}
}  // namespace

CMainDlg::CMainDlg(ConsoleState& state, MessageBoxes& boxes, SystemControl& control,
                   MainDlgTimings timings, QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      state_(state),
      boxes_(boxes),
      control_(control),
      processes_(control.processes),
      shell_(control.shell),
      timings_(timings),
      background_(QStringLiteral(":/orvane/main_background.png")) {
  setObjectName(QStringLiteral("CMainDlg"));
  setFixedSize(700, 498);
  setWindowIcon(QIcon(QStringLiteral(":/orvane/app_icon.png")));

  normalFont_ = QFont(QStringLiteral("Verdana"));
  normalFont_.setPointSizeF(9.2);
  normalFont_.setWeight(QFont::Normal);
  boldFont_ = normalFont_;
  boldFont_.setWeight(QFont::Bold);
  setWindowTitle(MainWindowTitle());

  CreateTabButtons();
  CreateSections();
  CreateLabels();

  // The start-up status stays in the title until timer 2 clears it.
  state_.SetStatusText("\xBC\xD3\xD4\xD8\xB4\xCA\xBF\xE2...");  // "加载词库..."
  shownStatus_ = state_.StatusText();
  SetTitleStatus(shownStatus_);

  const std::string base = online::ServiceBaseUrl(state_.Settings());
  feeds_.updateFeed = online::UpdateFeedUrl(base);
  feeds_.downloadPage = ToGbk(DownloadPageAddress());
  feeds_.adsFeed = online::AdsFeedUrl(base);
  feeds_.defaultAd = {ToGbk(DefaultAdLink()), ToGbk(DefaultAdTitle()), ""};
  adLink_ = feeds_.defaultAd.link;
  if (timings_.runFeeds) StartFeeds();

  statusTimer_.setInterval(timings_.statusMs);
  connect(&statusTimer_, &QTimer::timeout, this, &CMainDlg::OnStatusTimer);
  statusClearTimer_.setInterval(timings_.statusClearMs);
  statusClearTimer_.setSingleShot(true);
  connect(&statusClearTimer_, &QTimer::timeout, this, &CMainDlg::OnStatusClearTimer);
  adTimer_.setInterval(timings_.adMs);
  connect(&adTimer_, &QTimer::timeout, this, &CMainDlg::OnAdTimer);
  statusTimer_.start();
  statusClearTimer_.start();
  adTimer_.start();

  state_.SetVersionMark(VersionMarkFor(state_.Settings().GetUser()));
  versionMarkTimer_.setInterval(timings_.versionMarkMs);
  connect(&versionMarkTimer_, &QTimer::timeout, this, &CMainDlg::OnVersionMarkTimer);
  versionMarkTimer_.start();
}

CMainDlg::~CMainDlg() {
  // The jobs wake from their pause and their results are dropped before the window goes.
  updateJob_.reset();
  adsJob_.reset();
}

void CMainDlg::StartFeeds() {
  const std::string updateUrl = feeds_.updateFeed;
  updateJob_ = std::make_unique<BackgroundJob>(
      this, timings_.feedDelayMs, [this, updateUrl]() -> std::function<void()> {
        std::string text;
        HttpGetText(updateUrl, text, kFeedTimeoutMs);
        return [this, notice = online::ParseUpdateFeed(text)] { OnUpdateFeed(notice); };
      });
  const std::string adsUrl = feeds_.adsFeed;
  adsJob_ = std::make_unique<BackgroundJob>(
      this, timings_.feedDelayMs, [this, adsUrl]() -> std::function<void()> {
        std::string text;
        const bool downloaded = HttpGetText(adsUrl, text, kFeedTimeoutMs) == 1;
        return [this, downloaded, entries = online::ParseAdsFeed(text, online::kProductCode)] {
          OnAdsFeed(downloaded, entries);
        };
      });
}

void CMainDlg::OnUpdateFeed(const online::UpdateNotice& notice) {
  ++feedsHandled_;
  if (!online::IsNewerVersion(notice.version, kProductVersion)) return;
  const BoxAnswer answer =
      boxes_.Show(this, BoxIcon::Information, QStringLiteral("Orvane 升级助手"),
                  FeedText(online::UpdateQuestion(notice)), BoxButtons::YesNo);
  if (answer == BoxAnswer::Yes) {
    shell_.Open(FeedText(online::UpdatePageToOpen(notice, feeds_.downloadPage)));
  }
}

void CMainDlg::OnAdsFeed(bool downloaded, std::vector<online::AdEntry> entries) {
  ++feedsHandled_;
  adRotation_.Reset(std::move(entries));
  if (!downloaded) ShowAd(feeds_.defaultAd);
}

void CMainDlg::ShowAd(const online::AdEntry& entry) {
  adLink_ = entry.link;
  const online::Rgb rgb = online::AdColour(entry.colour);
  adColour_ = QColor(rgb.red, rgb.green, rgb.blue);
  adTitle_->setText(FeedText(entry.title));
  adTitle_->setStyleSheet(
      QStringLiteral("color: %1; background: transparent;").arg(adColour_.name()));
  adTitle_->update();
}

QColor CMainDlg::AdColour() const {
  return adColour_;
}

void CMainDlg::OpenAdLink() {
  shell_.Open(FeedText(online::AdLinkToOpen(adLink_, feeds_.defaultAd.link)));
}

void CMainDlg::CreateTabButtons() {
  for (int i = 0; i < 5; ++i) {
    const TabSpec& spec = kTabs[i];
    auto* button = new CIconButton(this);
    button->setObjectName(QStringLiteral("button%1").arg(spec.id));
    button->setText(QString::fromUtf8(spec.text));
    button->setToolTip(QString::fromUtf8(spec.tip));
    button->setGeometry(20, 70 + 47 * i, 100, 32);
    button->setIconSize(QSize(32, 32));
    const QIcon icon(QString::fromLatin1(spec.icon));
    button->SetIcons(icon, icon);
    button->SetDrawTransparent(true);
    button->setCursor(Qt::PointingHandCursor);
    button->setFocusPolicy(Qt::NoFocus);
    const int id = spec.id;
    connect(button, &QPushButton::clicked, this, [this, id] { OnTabClicked(id); });
    tabs_[static_cast<std::size_t>(i)] = button;
    StyleTab(button, id == selectedTab_);
  }
}

void CMainDlg::CreateSections() {
  sections_ = {new CSettingsSection(state_, boxes_, control_, this),
               new CKeywordSection(state_, boxes_, this), new CListSection(state_, boxes_, this),
               new CLogSection(state_, boxes_, this)};
  for (CPageContainer* section : sections_) {
    section->setGeometry(140, 68, 546, 403);
    section->hide();
  }
  currentSection_ = sections_[0];
  currentSection_->show();
}

void CMainDlg::CreateLabels() {
  auto* subtitle = new QLabel(QStringLiteral("非法信息过滤系统"), this);
  subtitle->setObjectName(QStringLiteral("productSubtitle"));
  subtitle->setGeometry(158, 12, 260, 30);
  QFont subtitleFont = subtitle->font();
  subtitleFont.setPointSizeF(14);
  subtitle->setFont(subtitleFont);
  subtitle->setStyleSheet(QStringLiteral("color: #e6f3fa; background: transparent;"));

  versionLabel_ =
      StaticText(this, 1023, QStringLiteral("版本：v") + QString::fromLatin1(kProductVersion),
                 QRect(470, 8, 218, 20), kHeaderText, false);
  versionLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  solutions_ = StaticText(this, 1074, QStringLiteral("网站安全解决方案"), QRect(538, 30, 150, 20),
                          kHeaderText, true);
  solutions_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  QFont underlined = solutions_->font();
  underlined.setUnderline(true);
  solutions_->setFont(underlined);

  adDot_ = StaticText(this, 1069, QStringLiteral("·"), QRect(8, 474, 14, 22), kAdDot, false);
  adDot_->setAlignment(Qt::AlignCenter);
  QFont dotFont = adDot_->font();
  dotFont.setBold(true);
  dotFont.setPointSizeF(dotFont.pointSizeF() * 1.8);
  adDot_->setFont(dotFont);
  adTitle_ =
      StaticText(this, 1006, DefaultAdTitle(), QRect(22, 477, 400, 18), QColor(40, 60, 80), true);
  adTitle_->setTextFormat(Qt::PlainText);
  adColour_ = QColor(40, 60, 80);
  makerLine_ = StaticText(this, 1005,
                          QStringLiteral("© Orvane 网站安全  ") +
                              QString(MakerAddress()).remove(QStringLiteral("https://")),
                          QRect(430, 477, 258, 18), QColor(70, 90, 110), true);
  makerLine_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  for (QLabel* clickable : {solutions_, adTitle_, makerLine_}) {
    clickable->installEventFilter(this);
  }
}

void CMainDlg::StyleTab(CIconButton* button, bool selected) {
  button->setFont(selected ? boldFont_ : normalFont_);
  using Role = CIconButton::ColorRole;
  if (selected) {
    button->SetDrawTransparent(false);
    button->SetColors(Role::MouseAway, kTabSelectedBack, kSelectedTabText);
    button->SetColors(Role::MouseOver, kTabSelectedBack, kSelectedTabText);
    button->SetColors(Role::Focused, kTabSelectedBack, kSelectedTabText);
  } else {
    button->SetDrawTransparent(true);
    button->SetColors(Role::MouseAway, kTabSelectedBack, kTabText);
    button->SetColors(Role::MouseOver, kTabHover, kTabText);
    button->SetColors(Role::Focused, kTabSelectedBack, kTabText);
  }
  button->update();
}

CPageContainer* CMainDlg::Section(int tabId) const {
  const int index = tabId - kFirstTabId;
  if (index < 0 || index >= static_cast<int>(sections_.size())) {
    return nullptr;
  }
  return sections_[static_cast<std::size_t>(index)];
}

CIconButton* CMainDlg::TabButton(int tabId) const {
  const int index = tabId - kFirstTabId;
  if (index < 0 || index >= static_cast<int>(tabs_.size())) {
    return nullptr;
  }
  return tabs_[static_cast<std::size_t>(index)];
}

QString CMainDlg::VersionLabelText() const {
  return versionLabel_->text();
}

void CMainDlg::OnTabClicked(int tabId) {
  if (tabId == kAboutTabId) {
    shell_.Open(MakerAddress());
    return;
  }
  CPageContainer* section = Section(tabId);
  if (section == nullptr) {
    return;
  }
  if (section->isHidden()) {
    currentSection_->hide();
    section->show();
    currentSection_ = section;
  }
  StyleTab(TabButton(selectedTab_), false);
  PumpMessages();
  selectedTab_ = tabId;
  StyleTab(TabButton(selectedTab_), true);
  PumpMessages();
}

bool CMainDlg::ShowPage(const QString& name) {
  static const struct {
    const char* name;
    int tab;
    int subTab;
  } kPages[] = {{"settings", 1000, 1011},      {"words-deny", 1001, 1013},
                {"words-replace", 1001, 1014}, {"words-record", 1001, 1016},
                {"words-free", 1001, 1015},    {"list-black", 1002, 1009},
                {"list-white", 1002, 1010},    {"logs", 1003, 1012}};
  for (const auto& page : kPages) {
    if (name == QLatin1String(page.name)) {
      OnTabClicked(page.tab);
      Section(page.tab)->SelectTab(page.subTab);
      return true;
    }
  }
  return false;
}

void CMainDlg::SetTitleStatus(const std::string& status) {
  QString title = MainWindowTitle();
  if (!status.empty()) {
    title += QStringLiteral(" - ") + FromGbk(status);
  }
  setWindowTitle(title);
}

void CMainDlg::OnStatusTimer() {
  if (state_.UpdateShownStatus(shownStatus_)) {
    SetTitleStatus(shownStatus_);
  }
}

void CMainDlg::OnStatusClearTimer() {
  state_.SetStatusText("0");
  statusClearTimer_.stop();
}

void CMainDlg::OnAdTimer() {
  ShowAd(adRotation_.Next(feeds_.defaultAd));
}

void CMainDlg::OnVersionMarkTimer() {
  const std::string mark = state_.TakeVersionMark();
  if (mark.empty()) {
    return;
  }
  versionLabel_->setText(QStringLiteral("版本：v") + QString::fromLatin1(kProductVersion) +
                         FromGbk(mark));
  versionLabel_->repaint();
  PumpMessages();
}

void CMainDlg::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.drawPixmap(rect(), background_);
}

void CMainDlg::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // The main window closes only through its close button.
      event->accept();
      return;
    case Qt::Key_F1:
      shell_.Open(MakerAddress());
      event->accept();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

bool CMainDlg::ConfirmClose() {
  if (closeWithoutAsking_ || processes_.IsProcessRunning("orvfilter.exe") == 1) {
    return true;
  }
  const BoxAnswer answer = boxes_.Show(
      this, BoxIcon::Warning, QStringLiteral("是否关闭"),
      QStringLiteral("系统进程被停止，无法自动更新关键词以及确保所有网站被正常监控。\n\n"
                     "要修复，请点击下方的【修复系统】操作修复。\n\n确定关闭退出吗？"),
      BoxButtons::OkCancel);
  return answer == BoxAnswer::Ok;
}

void CMainDlg::closeEvent(QCloseEvent* event) {
  if (!ConfirmClose()) {
    event->ignore();
    return;
  }
  statusTimer_.stop();
  adTimer_.stop();
  versionMarkTimer_.stop();
  QDialog::closeEvent(event);
}

void CMainDlg::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QDialog::mousePressEvent(event);
    return;
  }
  // A press anywhere on the window's own surface moves the window, as on its caption.
  QWindow* window = windowHandle();
  if (window != nullptr && window->startSystemMove()) {
    return;
  }
  dragging_ = true;
  dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
}

void CMainDlg::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton)) {
    move(event->globalPosition().toPoint() - dragOffset_);
    return;
  }
  QDialog::mouseMoveEvent(event);
}

void CMainDlg::mouseReleaseEvent(QMouseEvent* event) {
  dragging_ = false;
  QDialog::mouseReleaseEvent(event);
}

void CMainDlg::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* about = menu.addAction(QStringLiteral("关于 Orvane非法信息过滤系统(&A)..."));
  if (menu.exec(event->globalPos()) == about) {
    OpenAboutDialog();
  }
}

void CMainDlg::OpenAboutDialog() {
  CAboutDlg about(shell_, this);
  about.exec();
}

bool CMainDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) {
    if (watched == makerLine_) {
      shell_.Open(MakerAddress());
      return true;
    }
    if (watched == solutions_) {
      shell_.Open(SolutionsAddress());
      return true;
    }
    if (watched == adTitle_) {
      OpenAdLink();
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace orv::console
