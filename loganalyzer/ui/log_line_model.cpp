#include "loganalyzer/ui/log_line_model.h"

#include <QColor>
#include <QStringList>

#include "loganalyzer/log_texts.h"
#include "loganalyzer/ui/log_desktop.h"

namespace orv::loganalyzer {

namespace {
const QStringList& Titles() {
  static const QStringList titles = {QStringLiteral("序号"),   QStringLiteral("时间"),
                                     QStringLiteral("类型"),   QStringLiteral("方式"),
                                     QStringLiteral("关键词"), QStringLiteral("来自IP"),
                                     QStringLiteral("网址"),   QStringLiteral("关联词")};
  return titles;
}

// The kind column coloured as the charts colour the kinds, so blocked lines stand out.
QVariant KindColour(const std::string& kind) {
  if (kind.find(KindWord(kKindDeny)) != std::string::npos) return QColor(0xc0, 0x39, 0x2b);
  if (kind.find(KindWord(kKindReplace)) != std::string::npos) return QColor(0xd3, 0x84, 0x00);
  if (kind.find(KindWord(kKindRecord)) != std::string::npos) return QColor(0x2e, 0x6d, 0xb4);
  return {};
}
}  // namespace

void LogLineModel::SetRows(std::vector<DisplayRow> rows) {
  beginResetModel();
  rows_ = std::move(rows);
  endResetModel();
}

const DisplayRow* LogLineModel::Row(int row) const {
  if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) return nullptr;
  return &rows_[static_cast<std::size_t>(row)];
}

int LogLineModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int LogLineModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kRowColumns;
}

QVariant LogLineModel::data(const QModelIndex& index, int role) const {
  const DisplayRow* row = Row(index.row());
  if (row == nullptr || index.column() < 0 || index.column() >= kRowColumns) return {};
  const std::string& cell = (*row)[static_cast<std::size_t>(index.column())];
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      return FromGbk(cell);
    case Qt::TextAlignmentRole:
      return index.column() == 0 ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
    case Qt::ForegroundRole:
      return index.column() == 2 ? KindColour(cell) : QVariant();
    default:
      return {};
  }
}

QVariant LogLineModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
      section < Titles().size()) {
    return Titles()[section];
  }
  return QAbstractTableModel::headerData(section, orientation, role);
}

}  // namespace orv::loganalyzer
