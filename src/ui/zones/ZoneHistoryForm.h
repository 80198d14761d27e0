#pragma once
// "Zone History": which objects were inside a zone during a period, as visits (points of one
// object at most an hour apart) under each object, with their points; exports TXT, CSV, XLSX.

#include <QDialog>
#include <memory>
#include <string>
#include <vector>

#include "core/model/ZoneHistory.h"

class QStandardItemModel;
class QTreeView;

namespace kelvra {

class TKelvraClient;
class TZoneInfo;

class TZoneHistoryForm : public QDialog {
  Q_OBJECT
public:
  explicit TZoneHistoryForm(QWidget *parent = nullptr);
  ~TZoneHistoryForm() override;

  // Builds the visits (the history is sorted in place), the caption and the tree.
  void BuildHistory(TKelvraClient &aClient, TZoneInfo &aZoneInfo, TDateTime Dt1, TDateTime Dt2,
                    std::vector<std::unique_ptr<TTrackPointInfo>> &aHistory);
  // The caption and the tree of visits already built (their points stay where they are).
  void SetVisits(const std::string &aZoneName, TDateTime Dt1, TDateTime Dt2, TVisitList aVisits);
  // Asks for a file name and writes the export; the written file is opened.
  void Export();
  // Writes the export by the name's extension (.txt, .xlsx, else CSV with ".csv"); the name
  // written, empty when nothing was written.
  std::string ExportTo(const std::string &fileName);

  const TVisitList &Visits() const { return fVisits; }
  QTreeView *HistoryList() const { return fList; }
  QStandardItemModel *HistoryModel() const { return fModel; }

private:
  TVisitList fVisits;
  QTreeView *fList;
  QStandardItemModel *fModel;
};

} // namespace kelvra
