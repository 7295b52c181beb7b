#include "loganalyzer/ui/log_stats_view.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QCursor>
#include <QDate>
#include <QDateTimeAxis>
#include <QGridLayout>
#include <QHorizontalBarSeries>
#include <QLabel>
#include <QLineSeries>
#include <QStackedBarSeries>
#include <QToolTip>
#include <QVBoxLayout>
#include <QValueAxis>
#include <algorithm>

#include "loganalyzer/log_names.h"
#include "loganalyzer/log_texts.h"
#include "loganalyzer/ui/log_desktop.h"

namespace orv::loganalyzer {

namespace {

constexpr int kEventKinds[] = {kKindDeny, kKindReplace, kKindRecord, kKindOther};
constexpr int kLabelChars = 28;

QString KindName(int kind) {
  return FromGbk(KindWord(kind));
}

QChartView* MakeView(const QString& title, QWidget* parent) {
  auto* chart = new QChart;
  chart->setTitle(title);
  QFont font = chart->titleFont();
  font.setBold(true);
  chart->setTitleFont(font);
  chart->setAnimationOptions(QChart::NoAnimation);
  chart->setMargins(QMargins(4, 4, 4, 4));
  chart->legend()->setAlignment(Qt::AlignTop);
  auto* view = new QChartView(chart, parent);
  view->setRenderHint(QPainter::Antialiasing);
  view->setMinimumSize(260, 220);
  return view;
}

// Forgets the series and axes of an earlier day.
void Reset(QChart* chart) {
  chart->removeAllSeries();
  for (QAbstractAxis* axis : chart->axes()) {
    chart->removeAxis(axis);
    delete axis;
  }
}

QValueAxis* CountAxis(double maximum) {
  auto* axis = new QValueAxis;
  axis->setRange(0, std::max(maximum, 4.0));
  axis->setLabelFormat(QStringLiteral("%d"));
  axis->applyNiceNumbers();
  axis->setLabelFormat(QStringLiteral("%d"));
  return axis;
}

// Long URLs keep their start and their end (the page and its query), which tell them apart.
QString Elided(const QString& text) {
  if (text.size() <= kLabelChars) return text;
  const int head = kLabelChars / 2 - 2;
  return text.left(head) + QChar(0x2026) + text.right(kLabelChars - head - 1);
}

}  // namespace

QColor KindColor(int kind) {
  switch (kind) {
    case kKindDeny:
      return QColor(0xd6, 0x45, 0x41);
    case kKindReplace:
      return QColor(0xf0, 0x9a, 0x1a);
    case kKindRecord:
      return QColor(0x3b, 0x7d, 0xd8);
    default:
      return QColor(0x9a, 0xa5, 0xb1);
  }
}

CLogStatsView::CLogStatsView(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(8, 8, 8, 8);
  headline_ = new QLabel(this);
  headline_->setObjectName(QStringLiteral("statsHeadline"));
  headline_->setWordWrap(true);
  headline_->setStyleSheet(
      QStringLiteral("QLabel { color: #12355b; background: #eef4fb; border: 1px solid #c9d9ec;"
                     " border-radius: 4px; padding: 6px; }"));
  layout->addWidget(headline_);

  auto* grid = new QGridLayout;
  hours_ = MakeView(QStringLiteral("当天每小时事件数（按类型）"), this);
  days_ = MakeView(QStringLiteral("每日事件数（按类型）"), this);
  tops_[kTopKeywords] = MakeView(QStringLiteral("关键词 前10"), this);
  tops_[kTopUrls] = MakeView(QStringLiteral("网址 前10"), this);
  tops_[kTopClients] = MakeView(QStringLiteral("来自IP 前10"), this);
  grid->addWidget(hours_, 0, 0, 1, 7);
  grid->addWidget(days_, 0, 7, 1, 5);
  grid->addWidget(tops_[kTopKeywords], 1, 0, 1, 3);
  grid->addWidget(tops_[kTopUrls], 1, 3, 1, 5);
  grid->addWidget(tops_[kTopClients], 1, 8, 1, 4);
  for (int column = 0; column < 12; ++column) {
    grid->setColumnStretch(column, 1);
  }
  grid->setRowStretch(0, 1);
  grid->setRowStretch(1, 1);
  layout->addLayout(grid, 1);
}

QChart* CLogStatsView::HourChart() const {
  return hours_->chart();
}
QChart* CLogStatsView::DaysChart() const {
  return days_->chart();
}
QChart* CLogStatsView::TopChart(TopList which) const {
  return tops_[which]->chart();
}

void CLogStatsView::ShowDay(const std::string& dateLabel, const DayStats& stats) {
  const QString day = FromGbk(dateLabel);

  // Events per hour, one stacked bar per hour.
  QChart* chart = HourChart();
  Reset(chart);
  chart->setTitle(day.isEmpty() ? QStringLiteral("当天每小时事件数（按类型）")
                                : day + QStringLiteral(" 每小时事件数（按类型）"));
  auto* series = new QStackedBarSeries;
  for (int kind : kEventKinds) {
    auto* set = new QBarSet(KindName(kind));
    set->setColor(KindColor(kind));
    set->setBorderColor(KindColor(kind).darker(115));
    for (const KindCounts& hour : stats.perHour) {
      *set << static_cast<double>(hour[static_cast<std::size_t>(kind)]);
    }
    series->append(set);
  }
  series->setBarWidth(0.8);
  chart->addSeries(series);
  QStringList hours;
  std::size_t busiest = 0;
  for (int h = 0; h < 24; ++h) {
    hours << QString::number(h);
    busiest = std::max(busiest, stats.perHour[static_cast<std::size_t>(h)][kKindAll]);
  }
  auto* hourAxis = new QBarCategoryAxis;
  hourAxis->append(hours);
  QFont small = hourAxis->labelsFont();
  small.setPointSizeF(std::max(6.0, small.pointSizeF() - 2));
  hourAxis->setLabelsFont(small);
  chart->addAxis(hourAxis, Qt::AlignBottom);
  series->attachAxis(hourAxis);
  QValueAxis* countAxis = CountAxis(static_cast<double>(busiest));
  chart->addAxis(countAxis, Qt::AlignLeft);
  series->attachAxis(countAxis);

  // The three top lists, most frequent at the top.
  const std::vector<RankedText>* lists[3] = {&stats.topKeywords, &stats.topUrls, &stats.topClients};
  const QColor colours[3] = {KindColor(kKindDeny), QColor(0x5b, 0x6c, 0x8f),
                             QColor(0x2a, 0x9d, 0x8f)};
  for (int which = 0; which < 3; ++which) {
    QChart* top = TopChart(static_cast<TopList>(which));
    Reset(top);
    top->legend()->hide();
    auto* bars = new QHorizontalBarSeries;
    auto* set = new QBarSet(QStringLiteral("次数"));
    set->setColor(colours[which]);
    set->setBorderColor(colours[which]);
    QStringList names;
    std::size_t most = 0;
    const std::vector<RankedText>& list = *lists[which];
    for (auto entry = list.rbegin(); entry != list.rend(); ++entry) {
      *set << static_cast<double>(entry->count);
      // Categories must differ; a rank keeps two texts cut to the same label apart.
      names << QStringLiteral("%1. %2").arg(list.rend() - entry).arg(Elided(FromGbk(entry->text)));
      most = std::max(most, entry->count);
    }
    QStringList full;
    for (auto entry = list.rbegin(); entry != list.rend(); ++entry) full << FromGbk(entry->text);
    connect(set, &QBarSet::hovered, top, [full](bool over, int index) {
      if (over && index >= 0 && index < full.size()) {
        QToolTip::showText(QCursor::pos(), full[index]);
      } else {
        QToolTip::hideText();
      }
    });
    bars->append(set);
    bars->setLabelsVisible(true);
    bars->setLabelsPosition(QAbstractBarSeries::LabelsInsideEnd);
    top->addSeries(bars);
    auto* nameAxis = new QBarCategoryAxis;
    nameAxis->append(names);
    top->addAxis(nameAxis, Qt::AlignLeft);
    bars->attachAxis(nameAxis);
    QValueAxis* axis = CountAxis(static_cast<double>(most));
    top->addAxis(axis, Qt::AlignBottom);
    bars->attachAxis(axis);
  }

  // The line an administrator reads first: how much was blocked, when, and from where.
  const std::size_t denied = stats.totals[kKindDeny];
  QString text = day.isEmpty() ? QStringLiteral("暂无日志.") : day + QStringLiteral("：");
  if (!day.isEmpty()) {
    text += QStringLiteral("共 %1 条事件，拦截 %2 次，替换 %3 次，记录 %4 次，其他 %5 条。")
                .arg(stats.totals[kKindAll])
                .arg(denied)
                .arg(stats.totals[kKindReplace])
                .arg(stats.totals[kKindRecord])
                .arg(stats.totals[kKindOther]);
    if (denied > 0) {
      std::size_t peak = 0;
      for (std::size_t h = 1; h < 24; ++h) {
        if (stats.perHour[h][kKindDeny] > stats.perHour[peak][kKindDeny]) peak = h;
      }
      text += QStringLiteral(" 拦截最多的时段：%1:00-%1:59（%2 次）。")
                  .arg(peak)
                  .arg(stats.perHour[peak][kKindDeny]);
    }
    if (!stats.topClients.empty()) {
      text += QStringLiteral(" 事件最多的来源：%1（%2 次）")
                  .arg(FromGbk(stats.topClients[0].text))
                  .arg(stats.topClients[0].count);
    }
    if (!stats.topUrls.empty()) {
      text += QStringLiteral("；网址：%1（%2 次）。")
                  .arg(FromGbk(stats.topUrls[0].text))
                  .arg(stats.topUrls[0].count);
    }
  }
  headline_->setText(text);
}

void CLogStatsView::ShowDays(const std::vector<DayTotals>& days) {
  QChart* chart = DaysChart();
  Reset(chart);
  // A line per kind over a date axis stays readable from a week to a year of days.
  auto* dateAxis = new QDateTimeAxis;
  dateAxis->setFormat(days.size() > 60 ? QStringLiteral("yyyy-MM") : QStringLiteral("MM-dd"));
  chart->addAxis(dateAxis, Qt::AlignBottom);
  std::size_t most = 0;
  qint64 first = 0;
  qint64 last = 0;
  bool any = false;
  std::vector<QLineSeries*> lines;
  for (int kind : kEventKinds) {
    auto* line = new QLineSeries;
    line->setName(KindName(kind));
    line->setColor(KindColor(kind));
    line->setPointsVisible(days.size() <= 60);
    QPen pen = line->pen();
    pen.setWidth(2);
    pen.setColor(KindColor(kind));
    line->setPen(pen);
    lines.push_back(line);
  }
  for (const DayTotals& day : days) {
    CivilDate date;
    if (!ParseDateLabel(day.label, date)) continue;
    const qint64 at =
        QDateTime(QDate(date.year, date.month, date.day), QTime(12, 0)).toMSecsSinceEpoch();
    first = any ? std::min(first, at) : at;
    last = any ? std::max(last, at) : at;
    any = true;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      const std::size_t count = day.counts[static_cast<std::size_t>(kEventKinds[i])];
      lines[i]->append(static_cast<double>(at), static_cast<double>(count));
      most = std::max(most, count);
    }
  }
  QValueAxis* countAxis = CountAxis(static_cast<double>(most));
  chart->addAxis(countAxis, Qt::AlignLeft);
  for (QLineSeries* line : lines) {
    chart->addSeries(line);
    line->attachAxis(dateAxis);
    line->attachAxis(countAxis);
  }
  if (any) {
    // One tick per day up to a week or so, so each label stands under its points.
    const qint64 day = qint64{24} * 3600 * 1000;
    dateAxis->setRange(QDateTime::fromMSecsSinceEpoch(first),
                       QDateTime::fromMSecsSinceEpoch(std::max(last, first + day)));
    const qint64 spanDays = (last - first) / day + 1;
    dateAxis->setTickCount(spanDays <= 9 ? static_cast<int>(std::max<qint64>(spanDays, 2)) : 9);
  }
}

CLogStatsDlg::CLogStatsDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("CLogStatsDlg"));
  setWindowTitle(QStringLiteral("日志统计 - Orvane·非法信息过滤系统"));
  setWindowFlag(Qt::WindowMaximizeButtonHint, true);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  view_ = new CLogStatsView(this);
  layout->addWidget(view_);
  resize(1180, 760);
}

}  // namespace orv::loganalyzer
