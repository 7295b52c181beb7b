// The rows of the shown page for the line list: one page at a time (at most 50 rows), held as
// the GBK rows the day log built, so details and copies work on the bytes as logged.
#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "loganalyzer/day_log.h"

namespace orv::loganalyzer {

class LogLineModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  using QAbstractTableModel::QAbstractTableModel;

  void SetRows(std::vector<DisplayRow> rows);
  void Clear() { SetRows({}); }
  const DisplayRow* Row(int row) const;
  const std::vector<DisplayRow>& Rows() const { return rows_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  std::vector<DisplayRow> rows_;
};

}  // namespace orv::loganalyzer
