// The statistics view: when and where events happened on the shown day (events per hour
// stacked by kind; the ten most frequent keywords, URLs and client addresses) and how many
// events of each kind every listed day had. The figures come from the log analyzer's
// statistics; this view only draws them.
#pragma once

#include <QDialog>
#include <QWidget>
#include <string>
#include <vector>

#include "loganalyzer/log_stats.h"

class QLabel;
class QChart;
class QChartView;

namespace orv::loganalyzer {

class CLogStatsView : public QWidget {
  Q_OBJECT

 public:
  enum TopList { kTopKeywords = 0, kTopUrls = 1, kTopClients = 2 };

  explicit CLogStatsView(QWidget* parent = nullptr);

  void ShowDay(const std::string& dateLabel, const DayStats& stats);
  void ShowDays(const std::vector<DayTotals>& days);

  QChart* HourChart() const;
  QChart* DaysChart() const;
  QChart* TopChart(TopList which) const;
  QLabel* Headline() const { return headline_; }

 private:
  QLabel* headline_ = nullptr;
  QChartView* hours_ = nullptr;
  QChartView* days_ = nullptr;
  QChartView* tops_[3] = {};
};

class CLogStatsDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CLogStatsDlg(QWidget* parent = nullptr);
  CLogStatsView& View() { return *view_; }

 private:
  CLogStatsView* view_ = nullptr;
};

// The colour each kind is drawn in (the line list colours its kind column the same way).
QColor KindColor(int kind);

}  // namespace orv::loganalyzer
