#include "loganalyzer/ui/log_manager_dlg.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "console/foundation/desktop_services.h"
#include "loganalyzer/log_stats.h"
#include "loganalyzer/log_texts.h"
#include "loganalyzer/ui/log_desktop.h"
#include "loganalyzer/ui/log_line_model.h"
#include "loganalyzer/ui/log_stats_view.h"
#include "platform/files.h"

namespace orv::loganalyzer {

using console::BoxAnswer;
using console::BoxButtons;
using console::BoxIcon;

namespace {

const QString kTitle = QStringLiteral("详细日志管理器 - Orvane·非法信息过滤系统");
const QString kFirstTitle = QStringLiteral("详细日志查看器 - Orvane·非法信息监控系统");
const QString kCaption = QStringLiteral("Orvane");

constexpr int kDayColumnSerial = 0;
constexpr int kDayColumnLabel = 1;
constexpr int kDayColumnFile = 2;
constexpr int kDayIndexRole = Qt::UserRole + 1;

QLabel* MakeLink(const QString& text, QWidget* parent) {
  auto* link = new QLabel(QStringLiteral("<a href=\"#\">%1</a>").arg(text), parent);
  link->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
  link->setCursor(Qt::PointingHandCursor);
  return link;
}

}  // namespace

CLogManagerDlg::CLogManagerDlg(std::string logFolder, console::MessageBoxes& boxes,
                               LogDesktop& desktop, QWidget* parent, LogManagerTimings timings)
    : CLogManagerDlg(std::move(logFolder), boxes, desktop, SharedPreselectedDay(), parent,
                     timings) {}

CLogManagerDlg::CLogManagerDlg(std::string logFolder, console::MessageBoxes& boxes,
                               LogDesktop& desktop, PreselectedDay& preselected, QWidget* parent,
                               LogManagerTimings timings)
    : QDialog(parent),
      folder_(std::move(logFolder)),
      boxes_(boxes),
      desktop_(desktop),
      timings_(timings),
      index_(preselected) {
  initialised_ = true;
  setObjectName(QStringLiteral("CLogManagerDlg"));
  setWindowTitle(kFirstTitle);
  setWindowFlag(Qt::WindowMaximizeButtonHint, true);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  setWindowIcon(QIcon(QStringLiteral(":/orvane/app_icon.png")));
  BuildControls();
  BuildMenus();
  resize(1000, 640);

  scanTimer_.setSingleShot(true);
  connect(&scanTimer_, &QTimer::timeout, this, &CLogManagerDlg::Scan);
  if (FolderExists()) {
    scanTimer_.start(timings_.scanMs);
  }
}

CLogManagerDlg::~CLogManagerDlg() = default;

void CLogManagerDlg::BuildControls() {
  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(6, 6, 6, 6);
  root->setSpacing(6);
  auto* panes = new QHBoxLayout;
  root->addLayout(panes, 1);

  auto* left = new QVBoxLayout;
  dayCount_ = new QLabel(QStringLiteral("日志日期"), this);
  dayCount_->setObjectName(QStringLiteral("label1053"));
  dayList_ = new QTreeWidget(this);
  dayList_->setObjectName(QStringLiteral("list1043"));
  dayList_->setHeaderLabels({QStringLiteral("ID"), QStringLiteral("时间"), QStringLiteral("路径")});
  dayList_->setRootIsDecorated(false);
  dayList_->setUniformRowHeights(true);
  dayList_->setAllColumnsShowFocus(true);
  dayList_->setColumnWidth(kDayColumnSerial, 40);
  dayList_->setColumnWidth(kDayColumnLabel, 110);
  dayList_->setColumnHidden(kDayColumnFile, true);
  dayList_->headerItem()->setTextAlignment(kDayColumnSerial, Qt::AlignRight | Qt::AlignVCenter);
  dayList_->setFixedWidth(176);
  dayList_->setContextMenuPolicy(Qt::CustomContextMenu);
  left->addWidget(dayCount_);
  left->addWidget(dayList_, 1);
  panes->addLayout(left);

  auto* right = new QVBoxLayout;
  auto* head = new QHBoxLayout;
  summary_ = new QLabel(QStringLiteral("详细日志"), this);
  summary_->setObjectName(QStringLiteral("label1052"));
  statsButton_ = new QPushButton(QStringLiteral("统计图表"), this);
  statsButton_->setObjectName(QStringLiteral("statsButton"));
  statsButton_->setAutoDefault(false);
  statsButton_->setToolTip(QStringLiteral("按小时、关键词、网址、来源IP和日期统计日志"));
  head->addWidget(summary_, 1);
  head->addWidget(statsButton_);
  right->addLayout(head);

  kindTabs_ = new QTabBar(this);
  kindTabs_->setObjectName(QStringLiteral("tab1045"));
  kindTabs_->setExpanding(false);
  kindTabs_->setDrawBase(false);
  for (int kind = 0; kind < kKindCount; ++kind) {
    kindTabs_->addTab(FromGbk(KindTabTitle(kind)));
  }
  right->addWidget(kindTabs_);
  model_ = new LogLineModel(this);
  lineList_ = new QTableView(this);
  lineList_->setObjectName(QStringLiteral("list1044"));
  lineList_->setModel(model_);
  lineList_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lineList_->setSelectionMode(QAbstractItemView::SingleSelection);
  lineList_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  lineList_->setShowGrid(true);
  lineList_->setWordWrap(false);
  lineList_->setAlternatingRowColors(true);
  lineList_->verticalHeader()->hide();
  lineList_->verticalHeader()->setDefaultSectionSize(22);
  lineList_->horizontalHeader()->setStretchLastSection(true);
  lineList_->horizontalHeader()->setHighlightSections(false);
  const int widths[kRowColumns] = {45, 150, 50, 50, 110, 110, 250, 120};
  for (int column = 0; column < kRowColumns; ++column) {
    lineList_->setColumnWidth(column, widths[column]);
  }
  lineList_->setContextMenuPolicy(Qt::CustomContextMenu);
  right->addWidget(lineList_, 1);
  panes->addLayout(right, 1);

  auto* bottom = new QHBoxLayout;
  bottom->setSpacing(8);
  status_ = new QLabel(QStringLiteral("状态栏"), this);
  status_->setObjectName(QStringLiteral("label1046"));
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("loadProgress"));
  progress_->setRange(0, 100);
  progress_->setFixedWidth(160);
  progress_->hide();
  auto* keyLabel = new QLabel(QStringLiteral("关键词"), this);
  search_ = new QLineEdit(this);
  search_->setObjectName(QStringLiteral("edit1016"));
  search_->setFixedWidth(180);
  search_->setClearButtonEnabled(true);
  searchButton_ = new QPushButton(QStringLiteral("检索"), this);
  searchButton_->setObjectName(QStringLiteral("button1021"));
  searchButton_->setAutoDefault(false);
  bottom->addWidget(status_, 1);
  bottom->addWidget(progress_);
  bottom->addWidget(keyLabel);
  bottom->addWidget(search_);
  bottom->addWidget(searchButton_);
  const QString linkTexts[4] = {QStringLiteral("首页"), QStringLiteral("前一页"),
                                QStringLiteral("后一页"), QStringLiteral("尾页")};
  for (int i = 0; i < 4; ++i) {
    links_[i] = MakeLink(linkTexts[i], this);
    links_[i]->setObjectName(QStringLiteral("link%1").arg(1048 + i));
    bottom->addWidget(links_[i]);
  }
  root->addLayout(bottom);

  connect(links_[0], &QLabel::linkActivated, this, [this] { FirstPage(); });
  connect(links_[1], &QLabel::linkActivated, this, [this] { PreviousPage(); });
  connect(links_[2], &QLabel::linkActivated, this, [this] { NextPage(); });
  connect(links_[3], &QLabel::linkActivated, this, [this] { LastPage(); });
  connect(kindTabs_, &QTabBar::currentChanged, this, &CLogManagerDlg::OnKindChanged);
  connect(search_, &QLineEdit::textChanged, this, &CLogManagerDlg::OnSearchChanged);
  connect(searchButton_, &QPushButton::clicked, this, &CLogManagerDlg::OnSearchChanged);
  connect(statsButton_, &QPushButton::clicked, this, &CLogManagerDlg::ShowStatistics);
  connect(dayList_, &QTreeWidget::itemDoubleClicked, this, [this] { OpenSelectedDay(); });
  connect(lineList_, &QTableView::doubleClicked, this, [this] { ShowDetail(); });
  connect(dayList_, &QWidget::customContextMenuRequested, this,
          [this] { dayMenu_.exec(QCursor::pos()); });
  connect(lineList_, &QWidget::customContextMenuRequested, this, [this] {
    // The box shows what the search really is (stored lower-cased); refilling it must not
    // search again and send the list back to page 1.
    const QSignalBlocker quiet(search_);
    search_->setText(FromGbk(day_.Search()));
    lineMenu_.exec(QCursor::pos());
  });

  // Paging keys work wherever the caret is, the search box included.
  for (QWidget* watched : std::initializer_list<QWidget*>{dayList_, lineList_, kindTabs_, search_,
                                                          searchButton_, statsButton_}) {
    watched->installEventFilter(this);
  }
}

void CLogManagerDlg::BuildMenus() {
  dayMenu_.addAction(QStringLiteral("查看当天日志"), this, [this] { OpenSelectedDay(); });
  dayMenu_.addAction(QStringLiteral("删除当天日志"), this, [this] { DeleteDay(); });
  dayMenu_.addSeparator();
  dayMenu_.addAction(QStringLiteral("打开日志目录"), this, [this] { OpenFolder(); });
  dayMenu_.addSeparator();
  dayMenu_.addAction(QStringLiteral("刷新(&R)"), this, [this] { Refresh(); });

  lineMenu_.addAction(QStringLiteral("日志详细"), this, [this] { ShowDetail(); });
  lineMenu_.addSeparator();
  lineMenu_.addAction(QStringLiteral("删除当天所有日志"), this, [this] { DeleteDayFromLines(); });
  lineMenu_.addAction(QStringLiteral("打开日志目录"), this, [this] { OpenFolder(); });
  lineMenu_.addSeparator();
  lineMenu_.addAction(QStringLiteral("复制URL到剪贴板"), this, [this] { CopyUrl(); });
  lineMenu_.addAction(QStringLiteral("复制整条到剪贴板"), this, [this] { CopyLine(); });
}

bool CLogManagerDlg::FolderExists() const {
  return !folder_.empty() && files::IsDirectory(folder_);
}

int CLogManagerDlg::Run() {
  if (!FolderExists()) {
    boxes_.Show(
        this, BoxIcon::Warning, QStringLiteral("无日志"),
        QStringLiteral("日志路径：") + LocalPath(folder_) + QStringLiteral(" 不存在，没有日志"));
    return QDialog::Rejected;
  }
  return exec();
}

void CLogManagerDlg::SetTitleStatus(const QString& status) {
  setWindowTitle(status.isEmpty() ? kTitle
                                  : kTitle + QStringLiteral("(") + status + QStringLiteral(")"));
}

void CLogManagerDlg::SetLinksEnabled(bool on) {
  for (QLabel* link : links_) {
    link->setEnabled(on);
  }
}

void CLogManagerDlg::SetBusy(bool on) {
  busy_ = on;
  for (QWidget* control :
       std::initializer_list<QWidget*>{dayList_, kindTabs_, search_, searchButton_, statsButton_}) {
    control->setEnabled(!on);
  }
  SetLinksEnabled(!on);
}

void CLogManagerDlg::ResetKind() {
  const QSignalBlocker quiet(kindTabs_);
  kindTabs_->setCurrentIndex(kKindAll);
  day_.SetKind(kKindAll);
}

void CLogManagerDlg::RelabelTabs(bool withCounts) {
  for (int kind = 0; kind < kKindCount; ++kind) {
    kindTabs_->setTabText(
        kind, FromGbk(withCounts ? KindTabLabel(kind, day_.Count(kind)) : KindTabTitle(kind)));
  }
}

void CLogManagerDlg::Scan() {
  if (busy_) {
    // A refresh asked for while a day loads runs once the load is over.
    scanTimer_.start(timings_.scanMs);
    return;
  }
  scanTimer_.stop();
  status_->setText(QStringLiteral("请稍后..."));
  SetTitleStatus(QStringLiteral("正在解析日志，请稍后..."));
  ResetKind();
  shownPage_ = 1;
  dayList_->clear();
  const int days = index_.Scan(folder_);
  QTreeWidgetItem* current = nullptr;
  const std::vector<LogDay>& list = index_.Days();
  for (std::size_t i = 0; i < list.size(); ++i) {
    auto* item = new QTreeWidgetItem(dayList_);
    item->setText(kDayColumnSerial, QString::number(list[i].serial));
    item->setTextAlignment(kDayColumnSerial, Qt::AlignRight | Qt::AlignVCenter);
    item->setText(kDayColumnLabel, FromGbk(list[i].label));
    item->setText(kDayColumnFile, FromGbk(list[i].fileName));
    item->setData(0, kDayIndexRole, static_cast<qulonglong>(i));
    if (list[i].label == index_.CurrentDate()) {
      current = item;
    }
  }
  if (current != nullptr) {
    dayList_->setCurrentItem(current);
  }
  dayCount_->setText(FromGbk(loganalyzer::DayCountLabel(static_cast<std::size_t>(days))));
  if (days > 0) {
    ReadDay(index_.CurrentPath());
    if (closing_) return;
    ShowPage(1);
  } else {
    model_->Clear();
    RelabelTabs(false);
    status_->setText(QStringLiteral("完毕."));
    summary_->setText(FromGbk(NoLogsText()));
  }
  SetTitleStatus({});
}

void CLogManagerDlg::ReadDay(const std::string& path) {
  SetTitleStatus(QStringLiteral("分析中,请稍后..."));
  SetBusy(true);
  if (day_.BeginLoad(path)) {
    progress_->setValue(0);
    progress_->show();
    while (day_.LoadStep(timings_.loadStepBytes)) {
      const std::uint64_t total = std::max<std::uint64_t>(day_.BytesTotal(), 1);
      progress_->setValue(
          static_cast<int>(std::min<std::uint64_t>(day_.BytesRead() * 100 / total, 100)));
      QCoreApplication::processEvents();
      if (closing_) {
        day_.CancelLoad();
        break;
      }
    }
    progress_->hide();
  }
  SetBusy(false);
  RelabelTabs(true);
  SetTitleStatus({});
}

void CLogManagerDlg::ShowPage(int n) {
  model_->Clear();
  const std::string& path = index_.CurrentPath();
  if (path.empty() || !files::IsRegularFile(path)) {
    summary_->setText(QStringLiteral("所选日志文件不存在！"));
    boxes_.Show(this, BoxIcon::Warning, QStringLiteral("日志不存在"),
                QStringLiteral("日志[") + LocalPath(path) + QStringLiteral("]不存在！"));
    return;
  }
  SetLinksEnabled(false);
  SetTitleStatus(QStringLiteral("检索中,请稍后.."));
  LogPage page = day_.Page(n);
  SetTitleStatus({});
  summary_->setText(FromGbk(PageSummaryLabel(index_.CurrentDate(), page)));
  status_->setText(FromGbk(PageStatusText(page)));
  model_->SetRows(std::move(page.rows));
  SetLinksEnabled(true);
  shownPage_ = day_.CurrentPage();
}

void CLogManagerDlg::GoTo(int target) {
  if (busy_ || index_.Days().empty()) {
    return;
  }
  target = std::max(target, 1);
  if (target != shownPage_) {
    ShowPage(target);
  }
}

void CLogManagerDlg::FirstPage() {
  GoTo(1);
}
void CLogManagerDlg::PreviousPage() {
  GoTo(std::max(day_.CurrentPage() - 1, 1));
}
void CLogManagerDlg::NextPage() {
  GoTo(std::min(day_.CurrentPage() + 1, day_.PageCount()));
}
void CLogManagerDlg::LastPage() {
  GoTo(day_.PageCount());
}

void CLogManagerDlg::OnKindChanged(int kind) {
  if (busy_) return;
  day_.SetKind(kind);
  if (!index_.Days().empty()) ShowPage(1);
}

void CLogManagerDlg::OnSearchChanged() {
  if (busy_) return;
  day_.SetSearch(ToGbk(search_->text()));
  if (!index_.Days().empty()) ShowPage(1);
}

void CLogManagerDlg::OpenSelectedDay() {
  if (busy_ || index_.Days().empty()) {
    return;
  }
  QTreeWidgetItem* item = dayList_->currentItem();
  if (item == nullptr || !item->isSelected()) {
    return;
  }
  const auto at = item->data(0, kDayIndexRole).toULongLong();
  if (at >= index_.Days().size()) {
    return;
  }
  index_.Select(index_.Days()[at]);
  ResetKind();
  ReadDay(index_.CurrentPath());
  if (closing_) return;
  ShowPage(1);
}

void CLogManagerDlg::DeleteDay() {
  if (busy_ || index_.Days().empty()) {
    return;
  }
  const std::string path = index_.CurrentPath();
  const BoxAnswer answer = boxes_.Show(this, BoxIcon::Question, kCaption,
                                       QStringLiteral("确定要删除[") + LocalPath(path) +
                                           QStringLiteral("]的所有日志吗？删除后将不可恢复！"),
                                       BoxButtons::YesNo);
  if (answer != BoxAnswer::Yes) {
    lineList_->viewport()->update();
    return;
  }
  QString reason;
  if (!desktop_.MoveToTrash(path, reason)) {
    // The file is still there: say so, and keep showing it rather than pretend it is gone.
    boxes_.Show(this, BoxIcon::Error, kCaption,
                QStringLiteral("删除日志[") + LocalPath(path) + QStringLiteral("]失败：") + reason);
    return;
  }
  index_.ForgetCurrent();
  scanTimer_.start(timings_.rescanAfterDeleteMs);
}

void CLogManagerDlg::DeleteDayFromLines() {
  if (model_->rowCount() > 0) {
    DeleteDay();
  }
}

void CLogManagerDlg::OpenFolder() {
  if (index_.Days().empty()) {
    return;
  }
  std::string path = index_.CurrentPath();
  QTreeWidgetItem* item = dayList_->currentItem();
  if (item != nullptr && item->isSelected()) {
    const auto at = item->data(0, kDayIndexRole).toULongLong();
    if (at < index_.Days().size()) {
      path = index_.PathOf(index_.Days()[at]);
    }
  }
  desktop_.ShowInFolder(path);
}

void CLogManagerDlg::Refresh() {
  scanTimer_.start(timings_.scanMs);
}

const DisplayRow* CLogManagerDlg::SelectedLine() const {
  const QModelIndex current = lineList_->currentIndex();
  if (!current.isValid() || !lineList_->selectionModel()->isRowSelected(current.row(), {})) {
    return nullptr;
  }
  return model_->Row(current.row());
}

void CLogManagerDlg::ShowDetail() {
  const DisplayRow* row = SelectedLine();
  if (row == nullptr) return;
  boxes_.Show(this, BoxIcon::Information, QStringLiteral("Orvane详细日志"),
              FromGbk(DetailText(*row)));
  lineList_->viewport()->update();
}

void CLogManagerDlg::CopyUrl() {
  const DisplayRow* row = SelectedLine();
  if (model_->rowCount() == 0 || row == nullptr) return;
  const std::string url = CopyUrlText(*row);
  if (desktop_.CopyText(url)) {
    boxes_.Show(this, BoxIcon::Information, kCaption,
                QStringLiteral("成功复制URL地址到剪贴板：\n\n") + FromGbk(url));
  } else {
    boxes_.Show(this, BoxIcon::Error, kCaption,
                QStringLiteral("复制URL地址：") + FromGbk(url) + QStringLiteral(" 失败，请重试。"));
  }
  lineList_->viewport()->update();
}

void CLogManagerDlg::CopyLine() {
  const DisplayRow* row = SelectedLine();
  if (model_->rowCount() == 0 || row == nullptr) return;
  const std::string text = CopyLineText(*row);
  if (desktop_.CopyText(text)) {
    boxes_.Show(this, BoxIcon::Information, kCaption,
                QStringLiteral("内容：") + FromGbk(text) + QStringLiteral(" 复制到剪贴板成功！"));
  } else {
    boxes_.Show(
        this, BoxIcon::Error, kCaption,
        QStringLiteral("内容：") + FromGbk(text) + QStringLiteral(" 复制到剪贴板失败！请重试。"));
  }
  lineList_->viewport()->update();
}

std::unique_ptr<CLogStatsDlg> CLogManagerDlg::BuildStatistics() {
  if (busy_) return nullptr;
  SetBusy(true);
  SetTitleStatus(QStringLiteral("统计中,请稍后..."));
  progress_->setValue(0);
  progress_->show();
  const DayStats stats = ComputeDayStats(day_);
  const std::vector<DayTotals> days =
      CountDays(index_, [this](std::size_t done, std::size_t total) {
        progress_->setValue(static_cast<int>(done * 100 / std::max<std::size_t>(total, 1)));
        QCoreApplication::processEvents();
        return !closing_;
      });
  progress_->hide();
  SetBusy(false);
  SetTitleStatus({});
  if (closing_) return nullptr;
  auto dialog = std::make_unique<CLogStatsDlg>(this);
  dialog->View().ShowDay(index_.Days().empty() ? std::string() : index_.CurrentDate(), stats);
  dialog->View().ShowDays(days);
  return dialog;
}

void CLogManagerDlg::ShowStatistics() {
  if (std::unique_ptr<CLogStatsDlg> dialog = BuildStatistics()) {
    dialog->exec();
  }
}

bool CLogManagerDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lineList_ && event->type() == QEvent::Resize && initialised_) {
    FitLineColumns(static_cast<QResizeEvent*>(event)->size().width() - 2 * lineList_->frameWidth() -
                   (lineList_->verticalScrollBar()->isVisible()
                        ? lineList_->verticalScrollBar()->width()
                        : 0));
  }
  if (event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    switch (key->key()) {
      case Qt::Key_PageUp:
      case Qt::Key_Left:
        PreviousPage();
        return true;
      case Qt::Key_PageDown:
      case Qt::Key_Right:
        NextPage();
        return true;
      case Qt::Key_Return:
      case Qt::Key_Enter:
        if (watched == dayList_) {
          OpenSelectedDay();
        } else if (watched == lineList_) {
          ShowDetail();
        }
        return true;
      default:
        break;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CLogManagerDlg::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_PageUp:
    case Qt::Key_Left:
      PreviousPage();
      return;
    case Qt::Key_PageDown:
    case Qt::Key_Right:
      NextPage();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void CLogManagerDlg::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (initialised_ && !isMinimized()) {
    FitLineColumns(lineList_->viewport()->width());
  }
}

// The URL column takes the room the other columns leave, keeping some for the last one, so a
// wide window shows whole addresses and a narrow one scrolls.
void CLogManagerDlg::FitLineColumns(int listWidth) {
  int others = 0;
  for (int column = 0; column < 6; ++column) {
    others += lineList_->columnWidth(column);
  }
  lineList_->setColumnWidth(6, std::max(250, listWidth - others - 130));
}

void CLogManagerDlg::done(int result) {
  // A load or count in progress notices this between two steps and stops.
  closing_ = true;
  QDialog::done(result);
}

void OpenLogManager(QWidget* owner, const std::string& logFolder, console::MessageBoxes& boxes,
                    LogDesktop& desktop) {
  CLogManagerDlg dialog(logFolder, boxes, desktop, owner);
  dialog.Run();
}

void OpenLogManagerOnDay(QWidget* owner, const std::string& logFolder, const std::string& dateLabel,
                         const std::string& path, console::MessageBoxes& boxes,
                         LogDesktop& desktop) {
  if (!dateLabel.empty()) {
    SharedPreselectedDay() = PreselectedDay{dateLabel, path};
  }
  OpenLogManager(owner, logFolder, boxes, desktop);
}

}  // namespace orv::loganalyzer
