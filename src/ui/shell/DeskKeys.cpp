#include "ui/shell/DeskKeys.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <algorithm>
#include <QMenu>
#include <QKeyEvent>
#include <QMenuBar>
#include <QTreeView>

#include "ui/map/LumMapControl.h"
#include "ui/map/TrackReplayBar.h"
#include "ui/shell/MonitorMainWin.h"
#include "ui/objects/ObjectSearch.h"
#include "ui/widgets/BusyRunner.h"
#include "ui/widgets/TranslateForm.h"

namespace kelvra {

namespace {

// The keys without the empty ones (a platform may have no standard key for something) and
// without repeats (the same key twice on one action would be ambiguous and do nothing).
QList<QKeySequence> Keys(const QList<QKeySequence> &keys) {
  QList<QKeySequence> r;
  for (const QKeySequence &k : keys)
    if (!k.isEmpty() && !r.contains(k)) r << k;
  return r;
}

QAction *Item(QMenu *menu, const char *name, const char *text, const QList<QKeySequence> &keys) {
  QAction *a = menu->addAction(text);
  a->setObjectName(name);
  a->setShortcuts(Keys(keys));
  return a;
}

QMenu *Menu(QMenuBar *bar, QAction *before, const char *name, const char *text) {
  auto *m = new QMenu(text, bar);
  m->setObjectName(name);
  m->menuAction()->setObjectName(name);
  bar->insertMenu(before, m);
  return m;
}

} // namespace

TDeskKeys::TDeskKeys(TMonitorMainWin *window) : QObject(window), fWin(window) {
  QMenuBar *bar = window->menuBar();
  auto keys = [window](const char *name, const QList<QKeySequence> &k) {
    if (auto *a = window->findChild<QAction *>(name)) a->setShortcuts(k);
  };
  // The menus of the window: keys that name what they do.
  keys("MenuSignIn", {QKeySequence(Qt::CTRL | Qt::Key_L)});
  keys("MenuSignOut", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L)});
  keys("MenuSignUp", {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N)});
  keys("MenuUserData", {QKeySequence(Qt::CTRL | Qt::Key_U)});
  keys("MenuUserTrips", {QKeySequence(Qt::CTRL | Qt::Key_T)});
  keys("MenuShowReports", {QKeySequence(Qt::CTRL | Qt::Key_R)});
  keys("MenuEditSettings", {QKeySequence(Qt::CTRL | Qt::Key_Comma)});
  keys("MenuAbout", {QKeySequence(Qt::Key_F1)});
  if (QMenu *styles = window->StyleMenu()) {
    int n = 0;
    for (QAction *a : styles->actions())
      if (!a->isSeparator() && ++n <= 9) a->setShortcut(QKeySequence(Qt::ALT | (Qt::Key_0 + n)));
  }

  QMenu *user = window->findChild<QMenu *>("MenuUser");
  if (user) user->addSeparator();
  QMenu *quitMenu = user ? user : bar->addMenu("User");
  fQuit = Item(quitMenu, "MenuQuit", "Quit", {QKeySequence(Qt::CTRL | Qt::Key_Q), QKeySequence(QKeySequence::Quit)});
  connect(fQuit, &QAction::triggered, window, &QWidget::close);

  QMenu *help = window->findChild<QMenu *>("MenuHelp");
  QAction *before = help ? help->menuAction() : nullptr;
  QMenu *edit = Menu(bar, before, "MenuEdit", "Edit");
  fFind = Item(edit, "MenuFindObject", "Find object", {QKeySequence(Qt::CTRL | Qt::Key_F), QKeySequence(QKeySequence::Find)});
  connect(fFind, &QAction::triggered, this, [this] { fWin->Search()->FocusSearch(); });
  // Delete is read by the lists themselves (eventFilter): a shortcut would also fire while a key
  // goes to another window's list, and another panel may have a Delete key of its own.
  fDelete = Item(edit, "MenuDeleteRow", "Delete", {});
  connect(fDelete, &QAction::triggered, this, [this] { DeleteFocusedRow(); });

  QMenu *view = Menu(bar, before, "MenuView", "View");
  fRefresh = Item(view, "MenuRefresh", "Refresh", {QKeySequence(Qt::Key_F5), QKeySequence(QKeySequence::Refresh)});
  connect(fRefresh, &QAction::triggered, this, [this] {
    if (BusyRunning() || !fWin->IsLoggedIn()) return;
    fWin->UpdateObjects();
    fWin->UpdateEvents();
  });
  fGraphs = Item(view, "MenuGraphs", "Graphs", {QKeySequence(Qt::CTRL | Qt::Key_G)});
  fGraphs->setCheckable(true);
  fGraphs->setChecked(window->GraphsShown());
  fGraphs->setShortcutContext(Qt::WindowShortcut);
  connect(fGraphs, &QAction::toggled, this, [this](bool on) { fWin->ShowGraphs(on); });
  view->addSeparator();
  // Map keys act while the map has the focus: a list keeps + - and the arrows, a field its text.
  fZoomIn = Item(view, "MenuZoomIn", "Zoom in",
                 {QKeySequence(Qt::Key_Plus), QKeySequence(Qt::Key_Equal), QKeySequence(Qt::CTRL | Qt::Key_Plus),
                  QKeySequence(QKeySequence::ZoomIn)});
  fZoomOut = Item(view, "MenuZoomOut", "Zoom out",
                  {QKeySequence(Qt::Key_Minus), QKeySequence(Qt::CTRL | Qt::Key_Minus),
                   QKeySequence(QKeySequence::ZoomOut)});
  // The arrows are read by the map itself (eventFilter): the track replay bar steps with Left and
  // Right while it is shown, and two shortcuts on one key would both be dead.
  fPanLeft = Item(view, "MenuPanLeft", "Pan left", {});
  fPanRight = Item(view, "MenuPanRight", "Pan right", {});
  fPanUp = Item(view, "MenuPanUp", "Pan up", {});
  fPanDown = Item(view, "MenuPanDown", "Pan down", {});
  connect(fZoomIn, &QAction::triggered, this, [this] { Zoom(1); });
  connect(fZoomOut, &QAction::triggered, this, [this] { Zoom(-1); });
  connect(fPanLeft, &QAction::triggered, this, [this] { PanBy(-1, 0); });
  connect(fPanRight, &QAction::triggered, this, [this] { PanBy(1, 0); });
  connect(fPanUp, &QAction::triggered, this, [this] { PanBy(0, -1); });
  connect(fPanDown, &QAction::triggered, this, [this] { PanBy(0, 1); });
  for (QAction *a : {fZoomIn, fZoomOut}) {
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    if (window->Map()) window->Map()->addAction(a);
  }
  fMap = window->Map();
  if (fMap) fMap->installEventFilter(this);
  for (QAction *a : {fQuit, fFind, fRefresh})
    a->setShortcutContext(Qt::WindowShortcut);


  SetDeleteAction(window->ObjList(), [this] { fWin->DeleteObject(); });
  TranslateMenuItem(window, fQuit);
  TranslateMenu(window, edit);
  TranslateMenu(window, view);
  for (QMenu *m : {edit, view})
    TranslateMenuItem(window, m->menuAction());
  // The menus show the keys read by the widgets themselves beside the items' texts.
  const std::pair<QAction *, QKeySequence> arrows[] = {{fDelete, QKeySequence(Qt::Key_Delete)},
                                                       {fPanLeft, QKeySequence(Qt::Key_Left)},
                                                       {fPanRight, QKeySequence(Qt::Key_Right)},
                                                       {fPanUp, QKeySequence(Qt::Key_Up)},
                                                       {fPanDown, QKeySequence(Qt::Key_Down)}};
  for (const auto &[a, k] : arrows)
    a->setText(a->text() + QLatin1Char('\t') + k.toString(QKeySequence::NativeText));
  if (auto *popupDelete = window->findChild<QAction *>("PopupDeleteObject"))
    popupDelete->setText(popupDelete->text() + QLatin1Char('\t') +
                         QKeySequence(Qt::Key_Delete).toString(QKeySequence::NativeText));
}

QAction *TDeskKeys::PanAction(int key) const {
  switch (key) {
  case Qt::Key_Left: return fPanLeft;
  case Qt::Key_Right: return fPanRight;
  case Qt::Key_Up: return fPanUp;
  case Qt::Key_Down: return fPanDown;
  default: return nullptr;
  }
}

bool TDeskKeys::eventFilter(QObject *o, QEvent *e) {
  // Only key events: others also come while the window and its lists are being destroyed.
  if (e->type() != QEvent::KeyPress && e->type() != QEvent::ShortcutOverride)
    return QObject::eventFilter(o, e);
  if (e->type() == QEvent::KeyPress) {
    auto *k = static_cast<QKeyEvent *>(e);
    auto it = fDeleters.find(qobject_cast<QAbstractItemView *>(o));
    if (it != fDeleters.end() && k->key() == Qt::Key_Delete && !(k->modifiers() & ~Qt::KeypadModifier)) {
      if (it->first->currentIndex().isValid()) it->second();
      return true;
    }
  }
  if (!fMap || o != fMap) return QObject::eventFilter(o, e);
  auto *k = static_cast<QKeyEvent *>(e);
  QAction *pan = k->modifiers() & ~Qt::KeypadModifier ? nullptr : PanAction(k->key());
  if (!pan) return QObject::eventFilter(o, e);
  // A replay bar in sight keeps Left and Right for its steps.
  const QList<TTrackReplayBar *> bars = fWin->MapArea()->findChildren<TTrackReplayBar *>();
  const bool replaying = (k->key() == Qt::Key_Left || k->key() == Qt::Key_Right) &&
                         std::any_of(bars.cbegin(), bars.cend(),
                                     [](const QWidget *bar) { return bar->isVisible(); });
  if (replaying) return QObject::eventFilter(o, e);
  if (e->type() == QEvent::ShortcutOverride) {
    e->accept(); // the key comes to the map as a key press
    return true;
  }
  pan->trigger();
  return true;
}

void TDeskKeys::SetDeleteAction(QAbstractItemView *list, std::function<void()> deleteRow) {
  if (!list) return;
  fDeleters[list] = std::move(deleteRow);
  list->installEventFilter(this);
}

void TDeskKeys::DeleteFocusedRow() {
  for (QWidget *w = QApplication::focusWidget(); w; w = w->parentWidget())
    if (auto *list = qobject_cast<QAbstractItemView *>(w)) {
      auto it = fDeleters.find(list);
      if (it != fDeleters.end() && list->currentIndex().isValid()) it->second();
      return;
    }
}

void TDeskKeys::Zoom(int delta) {
  TLumMapControl *map = fWin->Map();
  if (!map) return;
  // About the centre of the view, as the map's own zoom about the mouse would with it there.
  const QPoint centre = map->ViewToMap(QPoint(map->viewport()->width() / 2, map->viewport()->height() / 2));
  map->SetZoom(map->Zoom() + delta, centre);
}

void TDeskKeys::PanBy(int dx, int dy) {
  TLumMapControl *map = fWin->Map();
  if (!map) return;
  // A quarter of the view per key press.
  map->ScrollMapBy(dx * map->viewport()->width() / 4, dy * map->viewport()->height() / 4);
}

} // namespace kelvra
