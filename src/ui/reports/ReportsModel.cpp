#include "ui/reports/ReportsModel.h"

#include <QFont>
#include <cmath>

namespace kelvra {

void TReportsModel::SetTable(const TReportTable *table) {
  beginResetModel();
  fTable = table;
  fTotals = table && fTotalsOnly ? table->Totals() : std::vector<TReportCell>{};
  endResetModel();
}

int TReportsModel::rowCount(const QModelIndex &parent) const {
  if (parent.isValid() || !fTable) return 0;
  return fTotalsOnly ? 1 : static_cast<int>(fTable->rows.size());
}

int TReportsModel::columnCount(const QModelIndex &parent) const {
  return parent.isValid() || !fTable ? 0 : static_cast<int>(fTable->columns.size());
}

QVariant TReportsModel::data(const QModelIndex &index, int role) const {
  if (!fTable || !index.isValid()) return {};
  const auto &cells = fTotalsOnly ? fTotals : fTable->rows[size_t(index.row())];
  const size_t c = size_t(index.column());
  if (c >= cells.size()) return {};
  const TReportCell &cell = cells[c];
  const bool numeric = fTable->columns[c].type != TCellType::Text;
  switch (role) {
  case Qt::DisplayRole:
    return QString::fromStdString(fTable->CellText(cell, c));
  case kSortRole:
    if (numeric) return std::isnan(cell.num) ? -1e300 : cell.num;
    return QString::fromStdString(cell.text);
  case Qt::TextAlignmentRole:
    return numeric && fTable->columns[c].type != TCellType::DateTime
               ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
               : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
  case Qt::FontRole:
    if (fTotalsOnly) {
      QFont f;
      f.setBold(true);
      return f;
    }
    return {};
  default:
    return {};
  }
}

QVariant TReportsModel::headerData(int section, Qt::Orientation o, int role) const {
  if (!fTable || o != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      size_t(section) >= fTable->columns.size())
    return {};
  return QString::fromStdString(fTable->columns[size_t(section)].title);
}

} // namespace kelvra
