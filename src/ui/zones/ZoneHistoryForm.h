#pragma once
// "Zone History": which objects were inside a zone during a period, as visits (points of one
// object at most an hour apart) under each object, with their points; exports TXT, CSV, XLSX.

#include <QAbstractItemModel>
#include <QDialog>
#include <string>
#include <vector>

#include "core/model/ZoneHistory.h"

class QTreeView;

namespace kelvra {

// The tree of the window over a history made on a worker: objects, their visits, the visits'
// points. Rows are made only when the view asks for them, so a month of points (a million)
// opens at once.
class TZoneHistoryModel : public QAbstractItemModel {
  Q_OBJECT
public:
  explicit TZoneHistoryModel(QObject *parent = nullptr);
  // The history is not owned; null empties the tree.
  void SetHistory(const TZoneHistory *history);

  QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
  QModelIndex parent(const QModelIndex &child) const override;
  int rowCount(const QModelIndex &parent = {}) const override;
  int columnCount(const QModelIndex &parent = {}) const override;
  QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  // The translation names the two columns.
  bool setHeaderData(int section, Qt::Orientation orientation, const QVariant &value,
                     int role = Qt::EditRole) override;

private:
  // An index's internal id: what it is (object, visit, point) and whose child it is.
  static constexpr quintptr kVisit = quintptr(1) << 62; // | the object's row
  static constexpr quintptr kPoint = quintptr(1) << 61; // | the visit's index in the history
  static constexpr quintptr kIndexMask = kPoint - 1;

  const TZoneHistory *fHistory = nullptr;
  std::vector<int> fVisitRow;   // per visit: its row under its object
  std::vector<int> fVisitGroup; // per visit: its object's row
  QString fTitles[2] = {"Object/Time", "Data"};
};

class TZoneHistoryForm : public QDialog {
  Q_OBJECT
public:
  explicit TZoneHistoryForm(QWidget *parent = nullptr);
  ~TZoneHistoryForm() override;

  // The caption and the tree of a history already made (the window owns it from here).
  void SetHistory(const std::string &aZoneName, TDateTime Dt1, TDateTime Dt2,
                  TZoneHistory aHistory);
  // Asks for a file name and writes the export; the written file is opened.
  void Export();
  // Writes the export by the name's extension (.txt, .xlsx, else CSV with ".csv"); the name
  // written, empty when nothing was written.
  std::string ExportTo(const std::string &fileName);

  const TVisitList &Visits() const { return fHistory.Visits; }
  QTreeView *HistoryList() const { return fList; }
  TZoneHistoryModel *HistoryModel() const { return fModel; }

private:
  TZoneHistory fHistory;
  QTreeView *fList;
  TZoneHistoryModel *fModel;
};

} // namespace kelvra
