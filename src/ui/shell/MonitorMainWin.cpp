#include "ui/shell/MonitorMainWin.h"

#include <QThread>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainterPath>
#include <QRegion>
#include <QMenuBar>
#include <QPushButton>
#include <QSplitter>
#include <QStandardItemModel>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <cmath>
#include <ctime>
#include <set>
#include <sstream>

#include "core/app/Common.h"
#include "core/app/MonitorLogic.h"
#include "core/util/LumStrings.h"
#include "ui/account/AccountForms.h"
#include "ui/events/AlarmNotify.h"
#include "ui/shell/DeskKeys.h"
#include "ui/events/EventsModel.h"
#include "ui/account/LoginForm.h"
#include "ui/shell/MonitorApp.h"
#include "ui/objects/ObjectSearch.h"
#include "ui/objects/ObjectsModel.h"
#include "ui/objects/PhotoFetcher.h"
#include "ui/widgets/PanelParts.h"
#include "ui/traps/TrapsPanel.h"
#include "ui/zones/ZonesPanel.h"
#include "ui/events/EventsPanel.h"
#include "ui/shell/MonitorSession.h"
#include "ui/tracks/TracksPanel.h"
#include "ui/map/LumMapControl.h"
#include "ui/map/TrackReplayBar.h"
#include "ui/reports/TrackGraphPane.h"
#include "ui/widgets/BusyRunner.h"
#include "ui/widgets/LumTtyBox.h"
#include "ui/widgets/Prompt.h"
#include "ui/widgets/TranslateForm.h"
#include "ui/widgets/DialogParts.h"

namespace kelvra {

namespace {

QTreeView *MakeList(QWidget *parent, const char *name, QAbstractItemModel *model) {
  auto *v = Named(new QTreeView(parent), name);
  v->setModel(model);
  v->setRootIsDecorated(false);
  v->setUniformRowHeights(false);
  v->setAlternatingRowColors(false);
  v->setSelectionMode(QAbstractItemView::SingleSelection);
  v->setEditTriggers(QAbstractItemView::NoEditTriggers);
  return v;
}

QToolButton *ToolButton(QWidget *parent, const char *name, QStyle::StandardPixmap icon,
                        std::function<void()> action) {
  return PanelButton(parent, name, icon, std::move(action));
}

// A titled group holding a row of tool buttons above its list.
QWidget *Group(QWidget *parent, const char *name, const std::vector<QToolButton *> &buttons,
               QWidget *list) {
  auto *g = Named(new QGroupBox(parent), name);
  auto *lay = new QVBoxLayout(g);
  lay->setContentsMargins(2, 2, 2, 2);
  lay->setSpacing(1);
  if (!buttons.empty()) {
    auto *row = new QHBoxLayout;
    row->setSpacing(0);
    for (QToolButton *b : buttons) {
      b->setParent(g);
      row->addWidget(b);
    }
    row->addStretch();
    lay->addLayout(row);
  }
  list->setParent(g);
  lay->addWidget(list, 1);
  return g;
}

} // namespace

TMonitorMainWin::TMonitorMainWin(QWidget *parent) : QMainWindow(parent) {
  setObjectName("MonitorMainWin");
  setWindowTitle("Kelvra Monitor");
  resize(1200, 800);
  ProtectSettingsFile(IniFileName);

  // 1-2. Sizes and folders.
  fHeightOfBottom = 0;
  MapCacheDir = HomeDir + "MapCache";
  // "map_memory" is a fixed budget; without it the budget starts at "map_cache_size" and grows
  // with the largest view shown.
  MapMemoryFixed = Config && Config->AsInteger("map_memory") > 0;
  MapCacheSize = (Config ? Config->AsInteger(MapMemoryFixed ? "map_memory" : "map_cache_size") : 0) *
                 1000000;

  fTaskTimer = new QTimer(this);
  fTaskTimer->setInterval(100);
  connect(fTaskTimer, &QTimer::timeout, this, &TMonitorMainWin::TaskTimerTick);
  fMsgTimer = new QTimer(this);
  fMsgTimer->setInterval(100);
  connect(fMsgTimer, &QTimer::timeout, this, &TMonitorMainWin::MsgTimerTick);

  BuildPanels();
  BuildMenus();

  const std::string logFile = Config ? Config->GetVal("log_file") : "";
  if (!logFile.empty()) {
    fLogBox->SetLogFileName(logFile);
    fLogBox->SetLogMode(TLumTtyBoxLogMode::lmWriteLog);
  }
  TMonitorApp::SetExceptionHandler([this](const std::string &m) { Msg("error", {m}, 5); });

  // 4. The client, with the saved token, else the configured one.
  fTokenStore = std::make_unique<TTokenStore>(IniFile.get(), [this](const std::string &s) { Log(s); });
  std::string token = fTokenStore->Load();
  if (token.empty() && Config) token = Config->GetVal("token");
  TKelvraClientEnv env;
  env.HomeDir = HomeDir;
  env.PhotoDir = PhotoDir;
  env.SystemTimeZone = SystemTimeZone;
  env.Config = Config.get();
  env.Translate = [](const std::string &key) {
    return Translation ? Translation->GetString("", key, key) : key;
  };
  fClient = std::make_unique<TKelvraClient>(Config ? Config->GetVal("server") : "", token,
                                            Config ? Config->GetVal("timezone") : "", env);
  // Work on a worker (a track being fetched and built) logs too: the console is the UI thread's.
  fClient->SetLogCallback([this](const std::string &s) {
    if (QThread::currentThread() == thread())
      Log(s);
    else
      QMetaObject::invokeMethod(this, [this, s] { Log(s); }, Qt::QueuedConnection);
  });
  // The clock of every time shown: the account's offset unless "time_zone" names another.
  if (const std::string zone = Config ? Trim(Config->GetVal("time_zone")) : ""; !zone.empty()) {
    fClient->SetDisplayZone(zone);
    Log("\rTime zone: " + fClient->DisplayZone().Name());
  }
  fSession = new TMonitorSession(*this, *fClient);
  fPhotos = new TPhotoFetcher(*fClient, this);
  connect(fPhotos, &TPhotoFetcher::PhotoArrived, this, [this](int uid) {
    if (TObjectInfo *oi = fClient->FindObject(uid)) fObjects->RefreshObject(oi);
    if (MapCtrl) MapCtrl->Invalidate();
  });
  fClient->ApiClient().SetExchangeRunner([this](const std::function<void()> &transfer) {
    RunBusy(transfer, [this] { fClient->ApiClient().Abort(); }, this);
  });
  fObjectsDelegate->now = [this] { return fClient->DisplayNow(); };
  fSearch->Proxy()->now = [this] { return fClient->DisplayNow(); };
  fObjectsDelegate->clock = [this] { return fClient->DisplayZone(); };
  fSearch->Proxy()->clock = [this] { return fClient->DisplayZone(); };
  fSearch->Proxy()->address = [](const std::string &osmId) {
    return AddressCache ? AddressCache->GetAddress(osmId) : std::string();
  };

  WireMap();
  BuildTrackPanels();

  // 3. The map panel: the lists' selection text stays black.
  for (QTreeView *v : {fObjList, fTrackList, fTrapList, fZoneList, fAlarmList, fEventList}) {
    QPalette p = v->palette();
    p.setColor(QPalette::Inactive, QPalette::HighlightedText, Qt::black);
    v->setPalette(p);
  }

  // 5. Deferred tasks.
  fTaskTimer->start();

  // 6-7. Layout, first page, collapse button.
  RestoreLayout();
  fPages->setCurrentIndex(0);

  // 8. Translation.
  TranslateForm(this);
  TranslateMenu(this, fObjectPopup);

  // 9-10. Styles.
  for (const QString &name : StyleNames()) {
    QAction *a = fStyleMenu->addAction(name);
    a->setCheckable(true);
    connect(a, &QAction::triggered, this, [this, a] { SetStyle(a->text().remove(QLatin1Char('&'))); });
  }
  const QString style =
      QString::fromStdString(IniFile ? IniFile->ReadString("Main", "Style", "") : "");
  if (!style.isEmpty() && style != GetStyle())
    SetStyle(style);
  else
    UpdateStyleColors();
  UpdateStyleMenu();

  // 11. Old tiles go.
  ClearMapCache();

  fKeys = new TDeskKeys(this);
  fNotify = new TAlarmNotify(this, *fClient,
                             [this](int eventUid, int objId) { SelectAlarm(eventUid, objId); });
}

TMonitorMainWin::~TMonitorMainWin() {
  TMonitorApp::SetExceptionHandler(nullptr);
  fTaskTimer->stop();
  fSession->Shutdown(); // a refresh on its worker ends before the client goes
  fPhotos->Reset();
  SaveLayout();
  // The rows and the marks refer to the client's records: they go first, then the map (which
  // stops its download workers), then the client.
  fObjects->Clear();
  fAlarms->Clear();
  fZonesPanel->Clear();
  fTrapsPanel->Clear();
  fTracks->Clear(); // the windows showing tracks close before the map frees them
  delete MapCtrl;
  MapCtrl = nullptr;
  fClient.reset();
}

void TMonitorMainWin::BuildPanels() {
  auto *central = new QWidget(this);
  auto *cl = new QVBoxLayout(central);
  cl->setContentsMargins(0, 0, 0, 0);
  setCentralWidget(central);

  fMainSplit = Named(new QSplitter(Qt::Vertical, central), "SplMain");
  cl->addWidget(fMainSplit);
  fTopSplit = Named(new QSplitter(Qt::Horizontal, fMainSplit), "SplTop");

  // Left: objects above tracks.
  fLeftSplit = Named(new QSplitter(Qt::Vertical, fTopSplit), "PnlLeft");
  fObjects = new TObjectsModel(this);
  fSearch = new TObjectSearch(fObjects, this);
  fObjList = MakeList(nullptr, "ObjList", fSearch->Proxy());
  fSearch->AttachView(fObjList);
  auto *objBox = new QWidget(this); // the search bar above the list
  auto *objLay = new QVBoxLayout(objBox);
  objLay->setContentsMargins(0, 0, 0, 0);
  objLay->setSpacing(1);
  objLay->addWidget(fSearch);
  objLay->addWidget(fObjList, 1);
  fObjList->setRootIsDecorated(true);
  fObjectsDelegate = new TObjectsDelegate(this);
  fObjList->setItemDelegate(fObjectsDelegate);
  fObjectPopup = Named(new QMenu(this), "ObjectPopup");
  auto addPopup = [this](const char *name, const char *text, std::function<void()> f) {
    QAction *a = fObjectPopup->addAction(text);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, [f] { f(); });
    return a;
  };
  addPopup("PopupCreateObject", "Create object", [this] { CreateObject(); });
  addPopup("PopupDeleteObject", "Delete object", [this] { DeleteObject(); });
  addPopup("PopupCreatePlace", "Create Place", [this] { CreatePlace(); })
      ->setVisible(false);
  addPopup("PopupStartTrip", "Start trip", [this] { StartTrip(); });
  addPopup("PopupStopTrip", "Stop trip", [this] { StopTrip(); });
  auto *menuButton = ToolButton(this, "SbObjectMenu", QStyle::SP_ToolBarVerticalExtensionButton, {});
  connect(menuButton, &QToolButton::clicked, this, [this, menuButton] {
    fObjectPopup->popup(menuButton->mapToGlobal(QPoint(0, menuButton->height())));
  });
  fLeftSplit->addWidget(Group(
      fLeftSplit, "GbObjects",
      {ToolButton(this, "SbObjectInfo", QStyle::SP_MessageBoxInformation, [this] { ShowObjectInfo(); }),
       ToolButton(this, "SbRequestTrack", QStyle::SP_FileDialogDetailedView,
                  [this] { fTracks->RequestTrack(nullptr, "", NAN, NAN, 0); }),
       ToolButton(this, "SbCommands", QStyle::SP_CommandLink, [this] { ShowCommands(); }),
       ToolButton(this, "SbLastMessages", QStyle::SP_FileDialogListView,
                  [this] { fTracks->DumpLastMessages(); }),
       ToolButton(this, "SbObjectConfig", QStyle::SP_FileDialogContentsView, [this] { ShowConfig(); }),
       ToolButton(this, "SbObjectPlaces", QStyle::SP_DirHomeIcon, [this] { ShowPlaces(); }),
       ToolButton(this, "SbEditObject", QStyle::SP_FileDialogNewFolder, [this] { EditObject(); }),
       ToolButton(this, "SbCreatePlace", QStyle::SP_ArrowDown, [this] { CreatePlace(); }),
       menuButton},
      objBox));
  fLeftSplit->setMinimumWidth(kMinSideWidth);

  // Middle: the map with the message panel over it.
  fMapArea = Named(new QWidget(fTopSplit), "MapPanel");
  fMapArea->setMinimumSize(200, 150);
  fMapArea->setAutoFillBackground(true);
  auto *mapLay = new QVBoxLayout(fMapArea);
  mapLay->setContentsMargins(0, 0, 0, 0);
  auto *exitBar = Named(new QToolBar(fMapArea), "TbMap");
  QAction *exit = exitBar->addAction(style()->standardIcon(QStyle::SP_DialogCloseButton), "Sign out");
  exit->setObjectName("SbExit");
  connect(exit, &QAction::triggered, this, [this] { Logout(); });
  exitBar->hide();
  mapLay->addWidget(exitBar); // the map goes below it
  fMapArea->installEventFilter(this);
  fMsgPanel = Named(new QFrame(fMapArea), "PnlMsg");
  fMsgPanel->setFrameShape(QFrame::Box);
  fMsgPanel->setLineWidth(1);
  fMsgPanel->setAutoFillBackground(true);
  auto *msgLay = new QVBoxLayout(fMsgPanel);
  fMsgLabel = Named(new QLabel(fMsgPanel), "LblMsg");
  fMsgLabel->setAlignment(Qt::AlignCenter);
  fMsgLabel->setWordWrap(true);
  msgLay->addWidget(fMsgLabel);
  fMsgPanel->installEventFilter(this);
  fMsgLabel->installEventFilter(this);
  fMsgPanel->hide();

  // Right: traps above zones.
  fRightSplit = Named(new QSplitter(Qt::Vertical, fTopSplit), "PnlRight");
  fTrapsPanel = new TTrapsPanel(*this);
  fTrapList = fTrapsPanel->List();
  fRightSplit->addWidget(Group(fRightSplit, "GbTraps", fTrapsPanel->Buttons(), fTrapList));
  fZonesPanel = new TZonesPanel(*this);
  fZoneList = fZonesPanel->List();
  fRightSplit->addWidget(Group(fRightSplit, "GbZones", fZonesPanel->Buttons(), fZoneList));
  fRightSplit->setMinimumWidth(kMinSideWidth);
  fTopSplit->setStretchFactor(0, 0);
  fTopSplit->setStretchFactor(1, 1);
  fTopSplit->setStretchFactor(2, 0);

  // Bottom: alarms, events, log.
  fPages = Named(new QTabWidget(fMainSplit), "PcBottom");
  fPages->setMinimumHeight(MinBottomHeight);
  auto *tabLog = Named(new QWidget, "TabLog");
  auto *logLay = new QHBoxLayout(tabLog);
  fLogBox = Named(new TLumTtyBox(tabLog), "LogBox");
  logLay->addWidget(fLogBox, 1);
  auto *clear = Named(new QPushButton("Clear log", tabLog), "SbClearLog");
  connect(clear, &QPushButton::clicked, fLogBox, &QPlainTextEdit::clear);
  logLay->addWidget(clear, 0, Qt::AlignTop);
  fPages->addTab(tabLog, "Log");
  tabLog->layout()->setContentsMargins(1, 1, 1, 1);
  connect(fPages, &QTabWidget::currentChanged, this, [this, tabLog](int i) {
    if (fPages->widget(i) == tabLog) fLogBox->ScrollTo(-1);
    if (fEventsPanel && fPages->widget(i) == fEventsPanel->EventPage())
      fEventsPanel->EventsPageShown();
  });
  fCollapse = ToolButton(this, "SbCollapse", QStyle::SP_TitleBarShadeButton, [this] { ToggleBottom(); });
  fCollapse->setParent(fPages);
  fCollapse->resize(20, 20);
  fPages->installEventFilter(this);
  fMainSplit->setStretchFactor(0, 1);
  fMainSplit->setStretchFactor(1, 0);
  fMainSplit->setChildrenCollapsible(false);
  fTopSplit->setChildrenCollapsible(false);

  connect(fObjList->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this] { BuildAlarms(nullptr); });
}

void TMonitorMainWin::BuildMenus() {
  QMenuBar *bar = menuBar();
  auto *user = Named(bar->addMenu("User"), "MenuUser");
  auto item = [this](QMenu *m, const char *name, const char *text, std::function<void()> f) {
    QAction *a = m->addAction(text);
    a->setObjectName(name);
    connect(a, &QAction::triggered, this, [f] { f(); });
    return a;
  };
  fMenuSignIn = item(user, "MenuSignIn", "Sign In", [this] { Login(false); });
  fMenuSignUp = item(user, "MenuSignUp", "Sign Up", [this] { SignUp(false); });
  fMenuUserData = item(user, "MenuUserData", "User data", [this] { EditUser(); });
  fMenuUserTrips = item(user, "MenuUserTrips", "Trips", [this] { ShowTrips(); });
  user->addSeparator();
  fMenuSignOut = item(user, "MenuSignOut", "Sign Out", [this] { Logout(); });
  auto *reports = Named(bar->addMenu("Reports"), "MenuReports");
  item(reports, "MenuShowReports", "Reports", [this] { ShowReports(); });
  auto *settings = Named(bar->addMenu("Settings"), "MenuSettings");
  fStyleMenu = Named(settings->addMenu("Style"), "MenuStyle");
  item(settings, "MenuEditSettings", "Settings", [this] { EditSettings(); });
  auto *help = Named(bar->addMenu("Help"), "MenuHelp");
  item(help, "MenuAbout", "About", [this] { ShowAbout(); });
  for (QMenu *m : {user, reports, settings, help, fStyleMenu})
    m->menuAction()->setObjectName(m->objectName());
}

// --- layout -------------------------------------------------------------------------------------

bool TMonitorMainWin::eventFilter(QObject *o, QEvent *e) {
  if (o == fPages && e->type() == QEvent::Resize) {
    OnBottomResized();
  } else if ((o == fMsgPanel || o == fMsgLabel) && e->type() == QEvent::MouseButtonPress) {
    Msg("", 3);
    return true;
  } else if (o == fMapArea && e->type() == QEvent::Resize && fMsgPanel->isVisible()) {
    fMsgPanel->move((fMapArea->width() - fMsgPanel->width()) / 2,
                    (fMapArea->height() - fMsgPanel->height()) / 2);
  }
  return QMainWindow::eventFilter(o, e);
}

void TMonitorMainWin::showEvent(QShowEvent *e) {
  QMainWindow::showEvent(e);
  if (!fLayoutApplied) {
    fLayoutApplied = true;
    ApplyPanelSizes(); // the splitters know their real size only now
    // The map was centred at its first size; centre it again once the layout has settled.
    QTimer::singleShot(0, this, [this] {
      if (MapCtrl) MapCtrl->SetCenter(MapCtrl->Zoom() < 0 ? 12 : MapCtrl->Zoom(), 57.998649, 56.27574);
    });
  }
  if (!Activated) {
    Activated = true;
    UpdateLoggedIn();
    fSession->LoginTimer()->start();
  }
}

void TMonitorMainWin::SaveSelectedUid() {
  if (const TObjectInfo *oi = SelectedObject(); oi && IniFile)
    IniFile->WriteInteger("Main", "SelectedUid", oi->uid);
}

void TMonitorMainWin::closeEvent(QCloseEvent *e) {
  if (BusyRunning()) {
    // The request in flight is cancelled first; the window closes as soon as it has returned.
    e->ignore();
    CancelBusy();
    if (!fCloseAfterBusy) {
      fCloseAfterBusy = true;
      auto *retry = new QTimer(this);
      connect(retry, &QTimer::timeout, this, [this, retry] {
        if (BusyRunning()) return;
        retry->deleteLater();
        close();
      });
      retry->start(50);
    }
    return;
  }
  SaveSelectedUid();
  fTokenStore->MoveFromFile();
  e->accept();
}

// --- sign-in ------------------------------------------------------------------------------------

bool TMonitorMainWin::IsLoggedIn() const { return fClient && !fClient->Token().empty(); }

void TMonitorMainWin::Login(bool Timer) { fSession->Login(Timer); }
void TMonitorMainWin::SignUp(bool Recovery) { fSession->SignUp(Recovery); }
void TMonitorMainWin::Logout() { fSession->Logout(); }
void TMonitorMainWin::EditUser() { fSession->EditUser(); }
int TMonitorMainWin::LoadObjects(int sel) { return fSession->LoadObjects(sel); }
void TMonitorMainWin::UpdateObjects() { fSession->UpdateObjects(); }
void TMonitorMainWin::UpdateEvents() { fSession->UpdateEvents(); }
QTimer *TMonitorMainWin::LoginTimer() const { return fSession->LoginTimer(); }
QTimer *TMonitorMainWin::UpdateTimer() const { return fSession->UpdateTimer(); }

void TMonitorMainWin::UpdateLoggedIn() {
  const bool in = IsLoggedIn();
  fMenuSignIn->setEnabled(!in);
  fMenuUserData->setEnabled(in);
  fMenuSignOut->setEnabled(in);
}

bool TMonitorMainWin::ClearObjectRows() {
  fPhotos->Reset(); // a photo on its way is for a record that goes
  RemoveObjectMarks();
  fObjects->Clear();
  fAlarms->Clear();
  const bool zoneEditorClosed = fZonesPanel->Clear();
  fTrapsPanel->Clear();
  fEventsPanel->ClearEvents(); // they refer to the client's event list too
  return zoneEditorClosed;
}

void TMonitorMainWin::BuildTrackPanels() {
  TTracksHost host;
  host.Log = [this](const std::string &t) { Log(t); };
  host.Msg = [this](const std::string &sig, const TFmtArgs &args, int timeout) {
    Msg(sig, args, timeout);
  };
  host.SelectedObject = [this] { return SelectedObject(); };
  host.AddTask = [this](std::function<void()> task) { AddTask(std::move(task)); };
  fTracks = new TTracksPanel(*fClient, *MapCtrl, std::move(host), fLeftSplit);
  fLeftSplit->insertWidget(1, fTracks);
  fTrackList = fTracks->List();
  // The replay bar follows the selected track.
  connect(fTrackList->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this] { fReplayBar->SetTrack(fTracks->SelectedTrack()); });
  // The graphs show the ticked tracks.
  TGraphHost graphs;
  graphs.SensorName = [this](const TGeoTrack &t, const std::string &sign) {
    const auto names = fTracks->SensorNames(t);
    return names ? names(sign) : std::string();
  };
  graphs.SelectTrack = [this](const TGeoTrack *t) { fTracks->SelectTrack(t); };
  fGraphs = new TTrackGraphPane(MapCtrl, fReplayBar, std::move(graphs), fMapSplit);
  fMapSplit->addWidget(fGraphs);
  fMapSplit->setStretchFactor(0, 1);
  fMapSplit->setStretchFactor(1, 0);
  fGraphs->hide();
  connect(fGraphs, &TTrackGraphPane::CloseRequested, this, [this] { ShowGraphs(false); });
  QAbstractItemModel *tracks = fTracks->Model();
  for (auto sig : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
    connect(tracks, sig, fGraphs, [this] { fGraphs->TracksChanged(); });
  connect(tracks, &QAbstractItemModel::dataChanged, fGraphs, [this] { fGraphs->TracksChanged(); });
  connect(tracks, &QAbstractItemModel::modelReset, fGraphs, [this] { fGraphs->TracksChanged(); });

  TEventsHost events;
  events.Log = [this](const std::string &t) { Log(t); };
  events.RequestEventTrack = [this](const TEventInfo *ei) { fTracks->RequestEventTrack(ei); };
  events.ShowTrap = [this](TTrapInfo *ti) { fTrapsPanel->ShowTrap(ti); };
  fEventsPanel = new TEventsPanel(*fClient, std::move(events), this);
  fPages->insertTab(0, fEventsPanel->AlarmPage(), "Alarms");
  fPages->insertTab(1, fEventsPanel->EventPage(), "Events");
  fAlarms = fEventsPanel->Alarms();
  fAlarmList = fEventsPanel->AlarmList();
  fEventList = fEventsPanel->EventList();
  BuildListMenus();
}

void TMonitorMainWin::BuildListMenus() {
  // A right click on a list offers what its tool bar does; the object list also the items of the
  // object menu button (Delete deletes the selected object there).
  auto buttonsOf = [](QWidget *box) {
    std::vector<QToolButton *> out;
    for (QToolButton *b : box->findChildren<QToolButton *>())
      if (b->objectName() != "SbObjectMenu" && b->objectName() != "SbCollapse") out.push_back(b);
    return out;
  };
  if (auto *objects = findChild<QGroupBox *>("GbObjects"))
    new TListMenu(fObjList, buttonsOf(objects), fObjectPopup,
                  {{"PopupDeleteObject", QKeySequence(Qt::Key_Delete)}});
  new TListMenu(fTrackList, buttonsOf(fTracks));
  new TListMenu(fTrapList, fTrapsPanel->Buttons());
  new TListMenu(fZoneList, fZonesPanel->Buttons());
  new TListMenu(fAlarmList, buttonsOf(fEventsPanel->AlarmPage()));
  new TListMenu(fEventList, buttonsOf(fEventsPanel->EventPage()));
}

void TMonitorMainWin::WireMap() {
  MapCtrl = new TLumMapControl(fMapArea, MapCacheDir, static_cast<std::uint32_t>(std::clamp<int64_t>(
                                                          MapCacheSize, 0, UINT32_MAX)));
  MapCtrl->setObjectName("MapCtrl");
  // The map above the graphs, which the View menu shows.
  fMapSplit = Named(new QSplitter(Qt::Vertical, fMapArea), "SplMap");
  fMapSplit->setChildrenCollapsible(false);
  static_cast<QVBoxLayout *>(fMapArea->layout())->insertWidget(fMapArea->layout()->indexOf(MapCtrl),
                                                               fMapSplit, 1);
  fMapSplit->addWidget(MapCtrl);
  MapCtrl->TileStorage().SetFixedBudget(MapMemoryFixed);
  MapCtrl->LogCallback = [this](const std::string &Fmt, const TFmtArgs &Args) { Log(Fmt, Args); };
  MapCtrl->Now = [this] { return fClient ? fClient->DisplayNow() : NowLocal(); };
  MapCtrl->Clock = [this] { return fClient ? fClient->DisplayZone() : TDisplayZone(); };
  MapCtrl->CmdCallback = [this](QObject *Sender, const std::string &Action, const std::string &Subj,
                                const std::vector<std::string> &Args) {
    return Command(Sender, Action, Subj, Args);
  };
  // Clicks open their windows from the task queue, so that the map's mouse handler returns first.
  MapCtrl->OnClickMapMark = [this](TMapMark *mark) {
    auto *oi = mark ? static_cast<TObjectInfo *>(mark->Data) : nullptr;
    if (!oi || !fObjects->IndexOf(oi).isValid()) return;
    const int uid = oi->uid;
    AddTask([this, uid] {
      if (TObjectInfo *o = fClient->FindObject(uid)) ShowObjectInfo(o);
    });
  };
  MapCtrl->OnClickTrackPoint = [this](TTrackPointInfo &tp) { fTracks->OnClickTrackPoint(tp); };
  MapCtrl->OnClickZone = [this](TZoneInfo &zi) {
    TZoneInfo *z = &zi;
    AddTask([this, z] {
      for (const auto &own : fClient->ZoneList()) // the zone may have gone meanwhile
        if (own.get() == z) fZonesPanel->OnClickZone(*z);
    });
  };
  MapCtrl->OnRClickMap = [this](const TGeoPoint &P) { return OnRClickMap(P); };
  MapCtrl->SetGeoZones(&fClient->ZoneList());
  MapCtrl->SetCenter(12, 57.998649, 56.27574);
  fReplayBar = new TTrackReplayBar(fMapArea, MapCtrl);
  fObjects->onChecking = [this](TObjectInfo *oi, bool on) { ObjListChecking(oi, on); };
  connect(fObjList, &QTreeView::doubleClicked, this, [this] { CentreOnSelected(); });
  fMsgPanel->raise();
}

void TMonitorMainWin::EditSettings() {
  Log("\rEdit settings");
  TSettingsEditForm dlg(this);
  if (Prompt::Exec(&dlg) != QDialog::Accepted) return;
  if (!dlg.GetModified()) {
    Log("\rNo setting changes");
    return;
  }
  const TLumHash &fields = dlg.GetFields();
  if (fields.Count() == 0) return;
  Log("\rUpdate settings");
  for (int i = 0; i < fields.Count(); ++i) {
    Log("\r  " + fields.GetKey(i) + "=" + fields.GetValByIndex(i));
    if (IniFile) IniFile->WriteString("Config", fields.GetKey(i), fields.GetValByIndex(i));
  }
  ReloadConfig();
  if (MapCtrl) MapCtrl->ApplyConfig();
}

void TMonitorMainWin::ShowAbout() {
  TAboutForm dlg(this);
  Prompt::Exec(&dlg);
}

// --- objects ------------------------------------------------------------------------------------

TObjectInfo *TMonitorMainWin::SelectedObject() const {
  TObjectInfo *oi = fSearch->ObjectAt(fObjList->currentIndex());
  return oi && oi->uid > 0 ? oi : nullptr;
}

void TMonitorMainWin::BuildAlarms(const TObjectInfo *oi) {
  if (!oi) oi = SelectedObject();
  std::vector<const TEventInfo *> rows;
  if (oi)
    for (const auto &ei : oi->alarms)
      rows.push_back(ei.get());
  fAlarms->SetEvents(std::move(rows));
}

void TMonitorMainWin::LoadZones() { fZonesPanel->LoadZones(); }

void TMonitorMainWin::LoadTraps(int sel) { fTrapsPanel->LoadTraps(sel); }

void TMonitorMainWin::LoadEvents(TDateTime dt1, TDateTime dt2) {
  fEventsPanel->LoadEvents(dt1, dt2);
}

void TMonitorMainWin::DeleteObject() {
  TObjectInfo *oi = SelectedObject();
  if (!oi) {
    Msg("object_not_selected", 3);
    return;
  }
  const std::string name = oi->name;
  const QString prompt = FormString(this, oi->is_deleted ? "delete_object_prompt" : "mark_object_prompt",
                                    {name});
  const TRecordRef<TObjectInfo> held(oi);
  oi = nullptr;
  const auto answer = Prompt::Message(this, QMessageBox::Question, FormString(this, "delete_object"),
                                      prompt, QMessageBox::Yes | QMessageBox::No);
  if (ObjectGone(held) || answer != QMessageBox::Yes) return;
  if (held->is_deleted && held->has_image) fClient->DeletePhoto(*held);
  if (ObjectGone(held)) return;
  // The record may go with the call: nothing may paint it afterwards.
  const bool forGood = held->is_deleted;
  if (forGood) ClearObjectRows();
  if (fClient->DeleteObject(held.Get()) || forGood) LoadObjects(0);
}

// --- messages, log, tasks, commands ------------------------------------------------------------

void TMonitorMainWin::Log(const std::string &Txt) {
  fLogBox->PutString(StampLog(Txt, LogStamp(NowLocal())));
}

void TMonitorMainWin::Log(const std::string &Fmt, const TFmtArgs &Args) { Log(Format(Fmt, Args)); }

void TMonitorMainWin::ShowMsg(const std::string &Text, int Timeout) {
  std::string txt = Trim(Text);
  Log("\r" + txt);
  if (txt.empty()) {
    MsgTimeout = 0;
    fMsgTimer->stop();
    fMsgPanel->hide();
    fMapArea->update();
    return;
  }
  const bool alert = txt[0] == '!';
  if (alert) txt.erase(0, 1);
  QFont f = font();
  f.setBold(alert);
  fMsgLabel->setFont(f);
  const QPalette app = QApplication::palette();
  QPalette pp = fMsgPanel->palette();
  pp.setColor(QPalette::Window, app.color(QPalette::ToolTipBase));
  pp.setColor(QPalette::WindowText, app.color(QPalette::ToolTipText));
  fMsgPanel->setPalette(pp);
  QPalette p = fMsgLabel->palette();
  p.setColor(QPalette::WindowText, alert ? QColor(Qt::red) : app.color(QPalette::ToolTipText));
  fMsgLabel->setPalette(p);
  fMsgLabel->setText(QString::fromStdString(txt));
  const int w = 400;
  const int textH = fMsgLabel->heightForWidth(w - 24);
  const int h = std::max(QFontMetrics(f).lineSpacing(), textH) + 32;
  fMsgPanel->setGeometry((fMapArea->width() - w) / 2, (fMapArea->height() - h) / 2, w, h);
  QPainterPath rounded;
  rounded.addRoundedRect(QRectF(0, 0, w, h), 8, 8);
  fMsgPanel->setMask(QRegion(rounded.toFillPolygon().toPolygon()));
  fMsgPanel->show();
  fMsgPanel->raise();
  MsgTimeout = NowLocal() + Timeout / 86400.0;
  fMsgTimer->start();
}

void TMonitorMainWin::Msg(const std::string &Sig, const TFmtArgs &Args, int Timeout) {
  ShowMsg(Sig.empty() ? std::string() : FormString(this, Sig, Args).toStdString(), Timeout);
}

void TMonitorMainWin::MsgTimerTick() {
  if (!fMsgPanel->isVisible()) {
    fMsgTimer->stop();
    return;
  }
  if (NowLocal() >= MsgTimeout) {
    fMsgPanel->hide();
    fMapArea->update();
  }
}

void TMonitorMainWin::TaskTimerTick() {
  if (BusyRunning() || TaskQueue.empty()) return;
  fTaskTimer->stop();
  std::function<void()> task = std::move(TaskQueue.front());
  TaskQueue.pop_front();
  try {
    task();
  } catch (...) {
    fTaskTimer->start(); // the queue goes on after a failed task; the handler reports it
    throw;
  }
  fTaskTimer->start();
}

int TMonitorMainWin::Command(QObject *Sender, const std::string &Action, const std::string &Subj,
                             const std::vector<std::string> &Args) {
  if (!IsLoggedIn()) {
    Msg("not_logged_in", 3);
    return -1;
  }
  Log("\rCommand: %s %s (%s)", {Action, Subj, JoinArgs(Args)});
  if (int result = -1; fZonesPanel->Command(Sender, Action, Subj, Args, result)) {
    fMapArea->update();
    return result;
  }
  // The trip window shows a trip's track.
  if (Action == "show" && Subj == "track")
    fTracks->ShowTrackCommand(qobject_cast<QWidget *>(Sender), Args);
  fMapArea->update();
  return -1;
}

// --- styles, map cache --------------------------------------------------------------------------

QString TMonitorMainWin::GetStyle() const { return ActiveStyleName(); }

void TMonitorMainWin::SetStyle(const QString &StyleName) {
  Log("\rSet style: " + StyleName.toStdString());
  if (!StyleNames().contains(StyleName, Qt::CaseSensitive)) {
    Log(" x: not found");
    return;
  }
  Log("\rTry set style: " + StyleName.toStdString());
  try {
    if (!ApplyStyle(StyleName)) throw std::runtime_error("the style cannot be made");
    UpdateStyleColors();
    UpdateStyleMenu();
  } catch (const std::exception &e) {
    Log("\rX: " + std::string(e.what()));
  }
}

void TMonitorMainWin::UpdateStyleMenu() {
  const QString active = GetStyle();
  for (QAction *a : fStyleMenu->actions())
    a->setChecked(QString(a->text()).remove(QLatin1Char('&')) == active);
}

void TMonitorMainWin::UpdateStyleColors() {
  fColors = ActiveStyleColors();
  fObjectsDelegate->colors = {fColors.win, fColors.txt, fColors.txtSel};
  fObjList->viewport()->update();
}

void TMonitorMainWin::ClearMapCache() {
  const int age = MapCacheMaxAge(Config ? Config->GetVal("map_cache_max_age") : "");
  Log("\rClear disk tile cache: dir=%s, age=%d", {MapCacheDir, age});
  const int n = ClearDir(MapCacheDir, age, std::time(nullptr), [this](const std::string &p, int err) {
    Log("\r  error del %s: %d", {p, err});
  });
  Log("\r  -> %d", {n});
}

} // namespace kelvra
