#include "console/app/log_list_page.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <vector>

#include "console/app/console_state.h"
#include "console/app/page_text.h"
#include "console/foundation/dates_paths.h"
#include "console/foundation/desktop_services.h"
#include "console/foundation/skin_button.h"
#include "console/foundation/system_info.h"
#include "console/foundation/text_files.h"
#include "loganalyzer/log_index.h"
#include "loganalyzer/ui/log_desktop.h"
#include "loganalyzer/ui/log_manager_dlg.h"
#include "platform/ascii.h"
#include "platform/files.h"

namespace orv::console {

namespace {

using loganalyzer::FromGbk;
using loganalyzer::LocalPath;

std::string WithoutAll(std::string text, std::string_view part) {
  for (std::size_t at; (at = text.find(part)) != std::string::npos;) {
    text.erase(at, part.size());
  }
  return text;
}

struct Candidate {
  std::string name;
  std::string label;
};

// The day files of the folder as the page lists them: a lower-cased name holding ".log",
// longer than 6 bytes and starting with "20", that gives a date label; oldest date first.
std::vector<Candidate> DayFiles(const std::string& folder, bool& anyEntry) {
  std::vector<std::string> names;
  anyEntry = ListFilesByExtension(names, folder, "*") > 0;
  std::vector<Candidate> days;
  for (const std::string& name : names) {
    const std::string lower = ascii::Lower(name);
    if (lower.find(".log") == std::string::npos || lower.size() <= 6 ||
        lower.compare(0, 2, "20") != 0 || files::IsDirectory(folder + name)) {
      continue;
    }
    std::string label = NormalizeDateText(WithoutAll(lower, ".log"));
    if (!label.empty()) {
      days.push_back(Candidate{name, std::move(label)});
    }
  }
  std::stable_sort(days.begin(), days.end(), [](const Candidate& a, const Candidate& b) {
    return a.label != b.label ? a.label < b.label : a.name < b.name;
  });
  return days;
}

}  // namespace

CLogListPage::CLogListPage(ConsoleState& state, MessageBoxes& boxes,
                           loganalyzer::LogDesktop& desktop, LogWindowOpener opener,
                           int startScanMs, QWidget* parent)
    : QWidget(parent), state_(state), boxes_(boxes), desktop_(desktop), opener_(std::move(opener)) {
  setObjectName(QStringLiteral("CLogListPage"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(6);

  auto* title = new QLabel(QStringLiteral("日志预览列表"), this);
  title->setObjectName(QStringLiteral("label1070"));
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  layout->addWidget(title);

  list_ = new QTreeWidget(this);
  list_->setObjectName(QStringLiteral("list1019"));
  list_->setHeaderLabels({QStringLiteral("序号"), QStringLiteral("日期"), QStringLiteral("条数"),
                          QStringLiteral("路径")});
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setAllColumnsShowFocus(true);
  list_->setAlternatingRowColors(true);
  list_->setColumnWidth(kColumnSerial, 56);
  list_->setColumnWidth(kColumnDate, 280);
  list_->setColumnWidth(kColumnLines, 85);
  list_->setColumnHidden(kColumnPath, true);
  list_->header()->setStretchLastSection(false);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  layout->addWidget(list_, 1);

  auto* bottom = new QHBoxLayout;
  scanStatus_ = new QLabel(this);
  scanStatus_->setObjectName(QStringLiteral("label1058"));
  bottom->addWidget(scanStatus_, 1);
  detail_ = new CSkinButton(this);
  detail_->setObjectName(QStringLiteral("button1038"));
  detail_->setText(QStringLiteral("详 细"));
  refresh_ = new CSkinButton(this);
  refresh_->setObjectName(QStringLiteral("button1037"));
  refresh_->setText(QStringLiteral("刷 新"));
  for (CSkinButton* button : {detail_, refresh_}) {
    // The section tabs' skin, so the page's buttons match the tab above them.
    button->SetBitmaps(QStringLiteral(":/orvane/tab_normal.png"),
                       QStringLiteral(":/orvane/tab_pressed.png"),
                       QStringLiteral(":/orvane/tab_over.png"), QString());
    button->setFixedSize(65, 25);
    button->setCursor(Qt::PointingHandCursor);
    bottom->addWidget(button);
  }
  layout->addLayout(bottom);

  menu_.addAction(QStringLiteral("查看详细日志"), this, [this] { OpenSelectedDay(); });
  menu_.addAction(QStringLiteral("清空日志"), this, [this] { ClearLogs(); });
  menu_.addAction(QStringLiteral("刷新日志"), this, [this] { Scan(); });
  menu_.addSeparator();
  menu_.addAction(QStringLiteral("打开日志路径"), this, [this] { OpenFolder(); });

  connect(detail_, &QPushButton::clicked, this, [this] { OpenViewer(); });
  connect(refresh_, &QPushButton::clicked, this, [this] { Scan(); });
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { OpenSelectedDay(); });
  connect(list_, &QWidget::customContextMenuRequested, this,
          [this] { menu_.exec(QCursor::pos()); });

  startTimer_.setSingleShot(true);
  connect(&startTimer_, &QTimer::timeout, this, &CLogListPage::OnStartTimer);
  if (startScanMs >= 0) {
    startTimer_.start(startScanMs);
  }
}

std::string CLogListPage::LogFolder() const {
  std::string folder = state_.Settings().GetLogPath();
  if (!folder.empty() && folder.back() != '/' && folder.back() != '\\') {
    folder += files::SeparatorOf(folder);
  }
  return folder;
}

void CLogListPage::OnStartTimer() {
  state_.SetStatusText(Gbk(QStringLiteral("正在索引日志..")));
  Scan();
  PumpMessages();
  state_.SetStatusText("0");
}

void CLogListPage::Scan() {
  if (scanning_) {
    return;
  }
  scanning_ = true;
  scanStatus_->setText(QStringLiteral("读取中..."));
  scanStatus_->repaint();
  refresh_->setEnabled(false);
  QPointer<CLogListPage> alive(this);
  PumpMessages();
  if (!alive) return;
  list_->clear();

  const std::string folder = LogFolder();
  bool anyEntry = false;
  if (!folder.empty() && files::IsDirectory(folder)) {
    for (const Candidate& day : DayFiles(folder, anyEntry)) {
      const std::string path = folder + day.name;
      const std::size_t lines = CountNonEmptyLines(path);
      if (lines > 0) {
        auto* item = new QTreeWidgetItem;
        item->setText(kColumnDate, FromGbk(day.label));
        item->setText(kColumnLines, QString::number(lines));
        item->setTextAlignment(kColumnLines, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(kColumnPath, LocalPath(path));
        list_->insertTopLevelItem(0, item);
        item->setText(kColumnSerial, QString::number(list_->topLevelItemCount()));
      }
      if (!PumpMessages() || !alive) {
        break;
      }
    }
    if (!alive) return;
  }
  scanStatus_->setText(anyEntry ? QStringLiteral("完毕，共 %1 项。").arg(list_->topLevelItemCount())
                                : QStringLiteral("完毕."));
  scanStatus_->repaint();
  PumpMessages();
  if (!alive) return;
  refresh_->setEnabled(true);
  scanning_ = false;
}

void CLogListPage::OpenWindow() {
  const std::string folder = state_.Settings().GetLogPath();
  if (opener_) {
    opener_(this, folder);
  } else {
    loganalyzer::OpenLogManager(this, folder, boxes_, desktop_);
  }
}

void CLogListPage::OpenSelectedDay() {
  QTreeWidgetItem* item = list_->currentItem();
  if (item == nullptr || !item->isSelected()) {
    return;
  }
  loganalyzer::SharedPreselectedDay() =
      loganalyzer::PreselectedDay{loganalyzer::ToGbk(item->text(kColumnDate)),
                                  item->text(kColumnPath).toLocal8Bit().toStdString()};
  OpenWindow();
}

void CLogListPage::OpenViewer() {
  OpenWindow();
}

void CLogListPage::ClearLogs() {
  if (list_->topLevelItemCount() == 0) {
    return;
  }
  if (boxes_.Show(this, BoxIcon::Question, QStringLiteral("日志文件清理警告"),
                  QStringLiteral("确定要清理所有日志文件吗？"),
                  BoxButtons::YesNo) != BoxAnswer::Yes) {
    return;
  }
  int deleted = 0;
  QStringList failures;
  for (int row = list_->topLevelItemCount() - 1; row >= 0; --row) {
    QTreeWidgetItem* item = list_->topLevelItem(row);
    const QString path = item->text(kColumnPath);
    QString reason;
    if (desktop_.MoveToTrash(path.toLocal8Bit().toStdString(), reason)) {
      delete list_->takeTopLevelItem(row);
      ++deleted;
      continue;
    }
    // The row keeps its path so the file can still be opened or deleted again.
    const QString why = QStringLiteral("删除失败：") + reason;
    for (int column = 0; column < list_->columnCount(); ++column) {
      item->setForeground(column, QColor(0xc0, 0x00, 0x00));
      item->setToolTip(column, why);
    }
    failures.prepend(path + QStringLiteral("：") + reason);
  }
  QString text = QStringLiteral("操作完成，成功删除日志文件 %1 个，失败 %2 个。")
                     .arg(deleted)
                     .arg(failures.size());
  if (!failures.isEmpty()) {
    text += QStringLiteral("\n\n未能删除：\n") + failures.join(QLatin1Char('\n'));
  }
  boxes_.Show(this, failures.isEmpty() ? BoxIcon::Information : BoxIcon::Warning,
              QStringLiteral("Orvane"), text);
}

void CLogListPage::OpenFolder() {
  desktop_.OpenFolder(state_.Settings().GetLogPath());
}

}  // namespace orv::console
