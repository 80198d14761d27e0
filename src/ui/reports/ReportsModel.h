#pragma once
// The report table in the window: the rows (sortable by the numbers behind the cells, not by
// their texts) and, apart, the totals row under them.

#include <QAbstractTableModel>

#include "core/reports/ReportTable.h"

namespace kelvra {

class TReportsModel : public QAbstractTableModel {
  Q_OBJECT
public:
  // totals: the model shows the table's totals row instead of its rows.
  explicit TReportsModel(bool totals, QObject *parent = nullptr)
      : QAbstractTableModel(parent), fTotalsOnly(totals) {}

  // The table is shared with the window, which keeps it alive while the model shows it.
  void SetTable(const TReportTable *table);
  const TReportTable *Table() const { return fTable; }

  // What the proxy sorts by: the number of a numeric cell, else its text.
  static constexpr int kSortRole = Qt::UserRole + 1;

  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role) const override;
  QVariant headerData(int section, Qt::Orientation o, int role) const override;

private:
  const TReportTable *fTable = nullptr; // not owned
  bool fTotalsOnly;
  std::vector<TReportCell> fTotals;
};

} // namespace kelvra
