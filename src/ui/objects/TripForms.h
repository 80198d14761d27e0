#pragma once
// The trips window (the trips of a period grouped by object, the details of the chosen object or
// trip, and a request to the main window to show a trip's track) and the start-trip dialog.

#include <QDialog>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "core/client/client.h"
#include "core/tracks/TrackDump.h"

class QLineEdit;
class QStandardItemModel;
class QTableView;
class QTreeView;

namespace kelvra {

// The main window's command entry: sender, action, subject, argument pairs; the result is the
// receiver's.
using TCmdCallback = std::function<int(QObject *Sender, const std::string &Action,
                                       const std::string &Subj, const std::vector<std::string> &Args)>;

class TTripInfoForm : public QWidget {
  Q_OBJECT
public:
  explicit TTripInfoForm(QWidget *parent = nullptr);
  ~TTripInfoForm() override;
  // The one trips window that is open, null when none is.
  static TTripInfoForm *Active();

  // Fills the tree from copies of the client's trips (a later trip request empties the client's
  // list) and shows the window. The client must outlive it.
  void ShowTrips(TKelvraClient *aClient, TCmdCallback aCmdCallBack);
  // Asks the main window to show the selected trip's track; false when that cannot be done.
  bool ShowTrack();
  // Ctrl+C / Ctrl+Insert: the selected detail row's value.
  void CopyValue();

  QTreeView *Tree() const { return fTree; }
  QTableView *Details() const { return fDetails; }
  QStandardItemModel *TreeModel() const { return fTreeModel; }
  const std::vector<TInfoRow> &DetailRows() const { return fRows; }
  // The trip of a tree row, null for an object row.
  const TTripInfo *TripAt(const QModelIndex &i) const;

protected:
  void keyPressEvent(QKeyEvent *e) override;

private:
  void OnSelect(const QModelIndex &i);
  void SetDetails(std::vector<TInfoRow> rows);

  TKelvraClient *fClient = nullptr; // not owned
  TCmdCallback fCmdCallBack;
  TTripList fTrips;                 // copies of the client's trips
  const TTripInfo *fTrip = nullptr; // the selected trip, in fTrips
  std::vector<TInfoRow> fRows;
  QTreeView *fTree;
  QStandardItemModel *fTreeModel;
  QTableView *fDetails;
  QStandardItemModel *fDetailModel;
};

class TStartTripForm : public QDialog {
  Q_OBJECT
public:
  explicit TStartTripForm(QWidget *parent = nullptr);
  void SetTripName(const std::string &name);
  std::string GetTripName() const;

private:
  QLineEdit *fName;
};

} // namespace kelvra
