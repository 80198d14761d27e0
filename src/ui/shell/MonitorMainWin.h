#pragma once
// The main window: the objects and tracks on the left, the map in the middle with the message
// panel over it, traps and zones on the right, alarms, events and the log below. It owns the
// service client and the map, signs in, keeps the objects fresh with its update timer, and is the
// one command callback of the map and the editor windows.

#include <QMainWindow>
#include <QPointer>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/reports/ReportsForm.h"
#include "core/client/client.h"
#include "core/map/SlippyMapUtils.h"
#include "core/util/LumFormat.h"
#include "ui/account/TokenStore.h"
#include "ui/shell/Styles.h"
#include "ui/widgets/Desk.h"

class QAction;
class QFrame;
class QLabel;
class QMenu;
class QSplitter;
class QStandardItemModel;
class QTabWidget;
class QTimer;
class QToolButton;
class QTreeView;

namespace kelvra {

class TLumMapControl;
class TTrackReplayBar;
class TTrackGraphPane;
class TLumTtyBox;
class TMapMark;
class TObjectsModel;
class TObjectsDelegate;
class TObjectSearch;
class TDeskKeys;
class TAlarmNotify;
class TEventsModel;
class TEventsPanel;
class TMapPanel;
class TZonesPanel;
class TTrapsPanel;
class TTracksPanel;

class TMonitorSession;
class TPhotoFetcher;

class TMonitorMainWin : public QMainWindow, public TDesk {
  Q_OBJECT
  friend class TMonitorSession; // the session fills and empties the window's lists
public:
  explicit TMonitorMainWin(QWidget *parent = nullptr);
  ~TMonitorMainWin() override;

  // --- sign-in -----------------------------------------------------------------------------------
  bool IsLoggedIn() const override;
  void UpdateLoggedIn();
  void Login(bool Timer);
  void SignUp(bool Recovery);
  void Logout();
  void EditUser();
  void EditSettings();
  void ShowAbout();

  // --- objects ------------------------------------------------------------------------------------
  int LoadObjects(int sel);
  void UpdateObjects();
  void BuildAlarms(const TObjectInfo *oi);
  // Selects the object of an alarm (clearing a filter that hides it) and the alarm's rows.
  void SelectAlarm(int eventUid, int objId);
  TObjectInfo *SelectedObject() const override;
  void ShowObjectInfo();
  // The information window of an object, at the mouse cursor.
  void ShowObjectInfo(TObjectInfo *oi);
  void CreateObject();
  void EditObject();
  void DeleteObject();
  void ShowCommands();
  void ShowConfig();
  void ShowPlaces();
  // Trips and places (the object actions live in ObjectActions.cpp).
  void StartTrip();
  void StopTrip();
  void ShowTrips();
  // The reports window (one, kept open beside the main window).
  void ShowReports();
  TReportsForm *Reports() const { return fReports; }
  // The trips of a period in the trips window.
  void ShowTrips(TDateTime dt1, TDateTime dt2);
  void CreatePlace();
  bool OnRClickMap(const TGeoPoint &P);
  enum TRClickAction { rcNone = 0, rcCreatePlace = 1 };
  TRClickAction RClickAction() const { return rClickAction; }
  // Zones, traps and events into the client's caches (their panels show them).
  void LoadZones();
  void LoadTraps(int sel);
  void LoadEvents(TDateTime dt1, TDateTime dt2);
  void UpdateEvents();

  // --- messages, log, commands --------------------------------------------------------------------
  void Log(const std::string &Txt) override;
  void Log(const std::string &Fmt, const TFmtArgs &Args) override;
  void ShowMsg(const std::string &Txt, int Timeout);
  void Msg(const std::string &Sig, const TFmtArgs &Args, int Timeout) override;
  void Msg(const std::string &Sig, int Timeout) { Msg(Sig, {}, Timeout); }
  int Command(QObject *Sender, const std::string &Action, const std::string &Subj,
              const std::vector<std::string> &Args) override;
  QWidget *DeskWidget() override { return this; }
  // Procedures the task timer runs one per tick, oldest first.
  void AddTask(std::function<void()> task) { TaskQueue.push_back(std::move(task)); }

  // --- styles and map cache -----------------------------------------------------------------------
  QString GetStyle() const;
  void SetStyle(const QString &StyleName);
  void UpdateStyleMenu();
  void UpdateStyleColors();
  void ClearMapCache();

  // --- for the tests and the map wiring ------------------------------------------------------------
  TKelvraClient &Client() override { return *fClient; }
  TObjectsModel *Objects() const { return fObjects; }
  TObjectsDelegate *ObjectsDelegate() const { return fObjectsDelegate; }
  QTreeView *ObjList() const { return fObjList; }
  TObjectSearch *Search() const { return fSearch; }
  TDeskKeys *Keys() const { return fKeys; }
  TAlarmNotify *Notify() const { return fNotify; }
  QTreeView *AlarmList() const { return fAlarmList; }
  TEventsModel *Alarms() const { return fAlarms; }
  TLumTtyBox *LogBox() const { return fLogBox; }
  QFrame *MsgPanel() const { return fMsgPanel; }
  QLabel *MsgLabel() const { return fMsgLabel; }
  QTimer *LoginTimer() const;
  QTimer *UpdateTimer() const;
  TMonitorSession *Session() const { return fSession; }
  TPhotoFetcher *Photos() const { return fPhotos; }
  QTabWidget *BottomPages() const { return fPages; }
  QWidget *BottomPanel() const;
  QWidget *LeftPanel() const;
  QWidget *RightPanel() const;
  QWidget *MapArea() const { return fMapArea; }
  TLumMapControl *Map() const override { return MapCtrl; }
  // The map mark bound to an object, null when it has none.
  TMapMark *MarkOf(const TObjectInfo *oi) const;
  // Ticking a row puts the object on the map, unticking takes it off.
  void ObjListChecking(TObjectInfo *oi, bool on);
  // Centres the map on the selected object when its row is ticked.
  void CentreOnSelected();
  QMenu *StyleMenu() const { return fStyleMenu; }
  const TStyleColors &StyleColors() const { return fColors; }
  int HeightOfBottom() const { return fHeightOfBottom; }
  void ToggleBottom();
  // Lists that later panels fill; empty and translated until then.
  QTreeView *TrackList() const { return fTrackList; }
  QTreeView *ZoneList() const { return fZoneList; }
  TZonesPanel *ZonesPanel() const { return fZonesPanel; }
  TTrapsPanel *TrapsPanel() const { return fTrapsPanel; }
  QTreeView *TrapList() const { return fTrapList; }
  QTreeView *EventList() const { return fEventList; }
  TTracksPanel *Tracks() const { return fTracks; }
  // The graphs under the map (View menu); kept shown or hidden in the settings file.
  TTrackGraphPane *Graphs() const { return fGraphs; }
  TTrackReplayBar *ReplayBar() const { return fReplayBar; }
  bool GraphsShown() const { return fGraphsShown; }
  void ShowGraphs(bool On);
  TEventsPanel *EventsPanel() const { return fEventsPanel; }

protected:
  void showEvent(QShowEvent *) override;
  void closeEvent(QCloseEvent *) override;
  bool eventFilter(QObject *, QEvent *) override;

private:
  void BuildMenus();
  void BuildPanels();
  void RestoreLayout();
  void SaveLayout();
  void ApplyPanelSizes();
  void PlaceCollapseButton();
  void OnBottomResized();
  void MsgTimerTick();
  void TaskTimerTick();
  // Empties every list that refers to the client's records, and the map's marks, before those
  // records may go. True when that closed the zone editor.
  bool ClearObjectRows();
  // The marks of the objects on the map.
  void RemoveObjectMarks();
  // Moves every mark to its object's last position after a refresh.
  void FollowObjects();
  void WireMap();
  // The tracks panel and the alarm and event pages (they need the client and the map).
  void BuildTrackPanels();
  // At sign-out: the marks, the tracks and the zone and trap rows.
  void ClearMapAndPanels();
  // Rows for the objects a refresh brought that have none yet (ticked as on a first run).
  void AddNewObjectRows();
  void BuildListMenus();
  // The first start: the object panel as wide as its names and times, five alarm rows high.
  void FitPanelsToContent();
  // The places dialog creating a place of oi from the access points around a right click.
  void CreatePlaceOf(TObjectInfo *oi, const TWifiList &list);
  // Re-reads an object after its trip changed and repaints its row.
  void RereadObject(int uid);
  // Whether a record held across a modal window has gone meanwhile; the user is told.
  bool ObjectGone(const TRecordRef<TObjectInfo> &held);
  void SaveSelectedUid();
  // The ticked rows are kept in the settings file; a first run ticks every object with a
  // position, so that the fleet is on the map at once.
  void SaveCheckedUids();
  void RestoreTicks();

  bool Activated = false;
  TRClickAction rClickAction = rcNone;
  TLumMapControl *MapCtrl = nullptr; // child of the map panel; freed before the client
  TTrackReplayBar *fReplayBar = nullptr; // under the map, child of the map panel
  QSplitter *fMapSplit = nullptr;        // the map above the graphs
  TTrackGraphPane *fGraphs = nullptr;    // in fMapSplit
  bool fGraphsShown = false;
  int fGraphsHeight = 0;
  std::string MapCacheDir;
  int64_t MapCacheSize = 0;
  bool MapMemoryFixed = false; // "map_memory" configured: the tile budget does not grow
  std::unique_ptr<TKelvraClient> fClient;
  std::unique_ptr<TTokenStore> fTokenStore; // the remembered token: secret store or settings file
  int MinBottomHeight = 64;
  int fHeightOfBottom = 0;
  std::deque<std::function<void()>> TaskQueue;
  TDateTime MsgTimeout = 0;
  TStyleColors fColors;
  bool fLayoutApplied = false;
  bool fFirstStart = false; // no layout stored: the panels take their content's size once loaded
  bool fCloseAfterBusy = false;
  bool fRestoringTicks = false;
  std::vector<std::unique_ptr<TMapMark>> fPendingMarks; // marks of the ticks being restored
  struct TPanelSizes {
    int leftWidth = 0, objectsHeight = 0, rightWidth = 0, trapsHeight = 0, bottomHeight = 0;
  } fSizes;

  TMonitorSession *fSession = nullptr; // child; its timers drive the update cycle
  TPhotoFetcher *fPhotos = nullptr;    // child; the photos of the ticked objects
  QTimer *fTaskTimer, *fMsgTimer;
  QSplitter *fMainSplit, *fTopSplit, *fLeftSplit, *fRightSplit;
  QWidget *fMapArea;
  QFrame *fMsgPanel;
  QLabel *fMsgLabel;
  QTreeView *fObjList, *fTrackList = nullptr, *fTrapList, *fZoneList, *fAlarmList = nullptr,
                      *fEventList = nullptr;
  TObjectsModel *fObjects;
  TObjectsDelegate *fObjectsDelegate;
  TObjectSearch *fSearch;
  TDeskKeys *fKeys = nullptr;
  TAlarmNotify *fNotify = nullptr;
  TZonesPanel *fZonesPanel;
  TTrapsPanel *fTrapsPanel;
  TEventsModel *fAlarms = nullptr;
  TTracksPanel *fTracks = nullptr;
  QPointer<TReportsForm> fReports; // deletes itself when it closes
  TEventsPanel *fEventsPanel = nullptr;
  TLumTtyBox *fLogBox;
  QTabWidget *fPages;
  QToolButton *fCollapse;
  QMenu *fStyleMenu;
  QMenu *fObjectPopup;
  QAction *fMenuSignIn, *fMenuSignUp, *fMenuUserData, *fMenuUserTrips, *fMenuSignOut;
};

} // namespace kelvra
