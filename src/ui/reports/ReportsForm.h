#pragma once
// "Reports": trips, stops, a summary per object and day, or the events, for the objects ticked
// (found with the search field and filters of the object list) over a period. The tracks are
// fetched and reduced on a worker under the busy window with its stages and "Cancel"; the result
// is a sortable table with its totals under it; a double click shows the row on the map; the
// table goes to XLSX, CSV, PDF or the printer.

#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/reports/ReportJob.h"
#include "core/reports/ReportTable.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QPushButton;
class QSortFilterProxyModel;
class QStandardItemModel;
class QTableView;

namespace kelvra {

class TKelvraClient;
class TReportsModel;
class TReportObjectsFilter;

// What the window asks of the main window.
struct TReportsHost {
  std::function<void(const std::string &text)> Log;
  // Shows the object's track of the row's time (a trip, a stop, a day, an event) on the map.
  std::function<void(const TReportTarget &target, const std::string &sign)> ShowOnMap;
  // The address of a place id the cache knows ("" when it does not).
  std::function<std::string(const std::string &osmId)> Address;
  // Where the place lookups of the work go (not owned; null: coordinates are shown).
  TAddressCache *Addresses = nullptr;
};

class TReportsForm : public QDialog {
  Q_OBJECT
public:
  // The client stays with the main window and outlives the window's use of it.
  TReportsForm(TKelvraClient &client, TReportsHost host, QWidget *parent = nullptr);
  ~TReportsForm() override;

  // The object list from the client's cache (copies of uid and name: nothing is held).
  void LoadObjects();
  // Ticks the objects with these uids (only them).
  void TickObjects(const std::vector<int> &uids);
  // Ticks or clears every object the search and filters show.
  void TickShown(bool on);
  std::vector<TReportObject> TickedObjects() const;

  void SetPeriod(TDateTime dt1, TDateTime dt2);
  // The period dialog; false when it was cancelled.
  bool AskPeriod();
  void SetKind(TReportKind kind);
  TReportKind Kind() const;

  // Runs the report; false when nothing was made (cancelled, failed, nothing ticked). A run
  // that is cancelled or fails leaves the table shown before it as it was.
  bool Run();
  // Asks for a file name and writes the table by its extension (.xlsx, .pdf, else CSV).
  void Export();
  // Writes the table to the name by its extension; empty on success, else the reason.
  QString ExportTo(const QString &fileName);
  void Print();
  // Shows the row (of the view) on the map.
  void ShowRow(int viewRow);

  const TReportTable *Table() const { return fTable.get(); }
  QTableView *TableView() const { return fView; }
  QTableView *TotalsView() const { return fTotalsView; }
  QSortFilterProxyModel *SortModel() const { return fSort; }
  QLineEdit *SearchEdit() const { return fSearch; }
  QListView *ObjectsView() const { return fObjectsView; }
  QLabel *StatusLabel() const { return fStatus; }
  // The text of a stage as the busy window shows it.
  static QString StageText(const QWidget *form, TReportStage stage, const std::string &object);

private:
  void UpdateFilter();
  void ShowPeriod();
  void SetStatus(const QString &text);
  // The report's texts (kinds, columns) from this window's translation, else their English.
  TReportText Texts() const;

  TKelvraClient &fClient;
  TReportsHost fHost;
  TDateTime fDt1 = 0, fDt2 = 0;
  std::unique_ptr<TReportTable> fTable; // what the views show
  QStandardItemModel *fObjects;         // child
  TReportObjectsFilter *fObjectsFilter; // child
  QListView *fObjectsView;              // child
  QLineEdit *fSearch;                   // child
  QCheckBox *fWithAlarms, *fMoving, *fOffline; // children
  QLabel *fPeriodLabel;                 // child
  QComboBox *fKind;                     // child
  QPushButton *fRun, *fExport, *fPrint; // children
  TReportsModel *fModel, *fTotals;      // children
  QSortFilterProxyModel *fSort;         // child
  QTableView *fView, *fTotalsView;      // children
  QLabel *fStatus;                      // child
};

} // namespace kelvra
