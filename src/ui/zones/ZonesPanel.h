#pragma once
// The "Geozones" list of the main window: a ticked zone is drawn on the map; the tool bar shows,
// edits, creates and deletes zones and asks for a zone's history. It also answers the zone
// commands of the map and the zone editor (through the main window's Command).

#include <QAbstractListModel>
#include <QObject>
#include <QPointer>
#include <functional>
#include <string>
#include <vector>

#include "ui/widgets/CheckListModel.h"
#include "ui/widgets/PanelParts.h"
#include "core/model/ZoneInfo.h"
#include "core/util/LumDates.h"
#include "ui/zones/ZoneEditForm.h"

class QToolButton;
class QTreeView;

namespace kelvra {

class TDesk;

// One row per zone of the client's list, in its order; the tick is the zone's `visible`.
// The zones list: the client's zones, ticked while shown on the map.
using TZonesModel = TCheckList<TZoneInfo>;

class TZonesPanel : public QObject {
  Q_OBJECT
public:
  explicit TZonesPanel(TDesk &desk);
  ~TZonesPanel() override;

  QTreeView *List() const { return fList; }
  TZonesModel *Model() const { return fModel; }
  std::vector<QToolButton *> Buttons() const { return fButtons; }
  TZoneEditForm *Editor() const { return fEditor; }

  void LoadZones();
  // Before the client's zones go: rows and editor go first. True when an editor was open.
  bool Clear();
  TZoneInfo *SelectedZone() const;
  void ShowZoneOnMap(TZoneInfo *zi);
  void ShowAllZonesOnMap();
  void ShowZoneInfo(bool editMode);
  void ShowZoneHistory();
  void AppendZone();
  void EditZone();
  void DeleteZone();
  void OnClickZone(TZoneInfo &zi);
  // The zone commands of the map and the editor; false when the command is not theirs.
  bool Command(QObject *Sender, const std::string &Action, const std::string &Subj,
               const std::vector<std::string> &Args, int &Result);

private:
  void OnTick(TZoneInfo *zi, bool on);
  int SaveZone(TZoneInfo &zi);
  void RemoveZone(TZoneInfo *zi);
  // Whether a zone held across a modal window has gone meanwhile; the user is told.
  bool ZoneGone(const TRecordRef<TZoneInfo> &held);

  TDesk &fWin; // the window this panel sits in
  QTreeView *fList;
  TZonesModel *fModel;
  std::vector<QToolButton *> fButtons;
  QToolButton *fHistoryButton = nullptr;
  QPointer<TZoneEditForm> fEditor;
};

} // namespace kelvra
