// The main window's layout: the panels' sizes restored from the settings file (on the first start
// the window takes most of the screen and the panels fit their content once the objects are
// loaded), the graphs under the map, the collapsible bottom panel, and the sizes saved at the end.

#include "ui/shell/MonitorMainWin.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QMenuBar>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>

#include "core/app/Common.h"
#include "core/app/MonitorLogic.h"
#include "ui/map/LumMapControl.h"
#include "ui/map/TrackReplayBar.h"
#include "ui/reports/TrackGraphPane.h"

namespace kelvra {

namespace {

constexpr int kDefaultGraphsHeight = 180;

} // namespace

QWidget *TMonitorMainWin::BottomPanel() const { return fPages; }
QWidget *TMonitorMainWin::LeftPanel() const { return fLeftSplit; }
QWidget *TMonitorMainWin::RightPanel() const { return fRightSplit; }

void TMonitorMainWin::RestoreLayout() {
  TMainLayout cur;
  cur.Left = x();
  cur.Top = y();
  cur.Width = width();
  cur.Height = height();
  fFirstStart = !IniFile || !IniFile->ValueExists("Main", "Width");
  if (fFirstStart) {
    // Most of the screen, centred; the panels follow their content once the objects are loaded.
    const QScreen *scr = screen() ? screen() : QGuiApplication::primaryScreen();
    const QRect a = scr ? scr->availableGeometry() : QRect(0, 0, 1024, 768);
    const TMainLayout b = FirstStartBounds(a.x(), a.y(), a.width(), a.height());
    cur.Left = b.Left;
    cur.Top = b.Top;
    cur.Width = b.Width;
    cur.Height = b.Height;
  }
  const int leftHeight = height() - 150;
  const TMainLayout l = IniFile ? ReadMainLayout(*IniFile, cur, leftHeight, leftHeight)
                                : ReadMainLayout(TLumIniFile(""), cur, leftHeight, leftHeight);
  setGeometry(l.Left, l.Top, std::max(l.Width, 400), std::max(l.Height, 300));
  if (fHeightOfBottom == 0) fHeightOfBottom = l.HeightOfBottom;
  fSizes = {l.LeftWidth, l.ObjectsHeight, l.RightWidth, l.TrapsHeight, l.BottomHeight};
  fGraphsHeight = l.GraphsHeight > 0 ? l.GraphsHeight : kDefaultGraphsHeight;
  ShowGraphs(l.Graphs);
  ApplyPanelSizes();
  if (l.Maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

void TMonitorMainWin::FitPanelsToContent() {
  fFirstStart = false;
  // The object list: every column as wide as its widest text, with the frame, the tree's indent
  // and room for a scroll bar.
  int want = 2 * fObjList->frameWidth() + fObjList->indentation() +
             fObjList->verticalScrollBar()->sizeHint().width() + 8;
  for (int c = 0; c < fObjList->header()->count(); ++c)
    if (!fObjList->isColumnHidden(c))
      want += std::max(static_cast<QAbstractItemView *>(fObjList)->sizeHintForColumn(c),
                      fObjList->header()->sectionSizeHint(c));
  fSizes.leftWidth = PanelSizeFor(want, kMinSideWidth, width() / 3);
  // The bottom: five alarm rows under the tabs and the header.
  const int row = fAlarmList->model() && fAlarmList->model()->rowCount() > 0
                      ? static_cast<QAbstractItemView *>(fAlarmList)->sizeHintForRow(0)
                      : 2 * fAlarmList->fontMetrics().height() + 6;
  const int bottom = fPages->tabBar()->sizeHint().height() + fAlarmList->header()->sizeHint().height() +
                     5 * row + 2 * fAlarmList->frameWidth() +
                     fAlarmList->horizontalScrollBar()->sizeHint().height() + 6;
  fSizes.bottomHeight = PanelSizeFor(bottom, kMinStoredBottom, height() / 2);
  fHeightOfBottom = fSizes.bottomHeight;
  ApplyPanelSizes();
}

void TMonitorMainWin::ApplyPanelSizes() {
  const int w = std::max(fTopSplit->width(), width());
  const int h = std::max(fMainSplit->height(), height() - menuBar()->height());
  fTopSplit->setSizes({fSizes.leftWidth, std::max(200, w - fSizes.leftWidth - fSizes.rightWidth),
                       fSizes.rightWidth});
  fMainSplit->setSizes({std::max(150, h - fSizes.bottomHeight), fSizes.bottomHeight});
  const int side = std::max(fLeftSplit->height(), h - fSizes.bottomHeight);
  fLeftSplit->setSizes({fSizes.objectsHeight, std::max(40, side - fSizes.objectsHeight)});
  fRightSplit->setSizes({fSizes.trapsHeight, std::max(40, side - fSizes.trapsHeight)});
  if (fGraphsShown) {
    const int mapH = std::max(fMapSplit->height(), fGraphsHeight + 100);
    fMapSplit->setSizes({mapH - fGraphsHeight, fGraphsHeight});
  }
}

void TMonitorMainWin::ShowGraphs(bool On) {
  if (!fGraphs) return;
  if (fGraphsShown && !On && fGraphs->height() > 0) fGraphsHeight = fGraphs->height();
  fGraphsShown = On;
  fGraphs->setVisible(On);
  if (On) {
    const QList<int> s = fMapSplit->sizes();
    const int total = s.value(0) + s.value(1);
    if (total > fGraphsHeight) fMapSplit->setSizes({total - fGraphsHeight, fGraphsHeight});
  }
  if (auto *a = findChild<QAction *>("MenuGraphs")) a->setChecked(On);
}

void TMonitorMainWin::SaveLayout() {
  if (!IniFile) return;
  TMainLayout l;
  l.Maximized = isMaximized();
  const QRect g = normalGeometry().isValid() ? normalGeometry() : geometry();
  l.Left = g.x();
  l.Top = g.y();
  l.Width = g.width();
  l.Height = g.height();
  const QList<int> top = fTopSplit->sizes(), left = fLeftSplit->sizes(),
                   right = fRightSplit->sizes(), main = fMainSplit->sizes();
  l.LeftWidth = top.value(0);
  l.RightWidth = top.value(2);
  l.ObjectsHeight = left.value(0);
  l.TrapsHeight = right.value(0);
  l.BottomHeight = main.value(1);
  l.HeightOfBottom = fHeightOfBottom;
  l.Graphs = fGraphsShown;
  l.GraphsHeight = fGraphsShown && fGraphs->height() > 0 ? fGraphs->height() : fGraphsHeight;
  WriteMainLayout(*IniFile, l);
  const QString style = GetStyle();
  if (!style.isEmpty()) IniFile->WriteString("Main", "Style", style.toStdString());
}

void TMonitorMainWin::PlaceCollapseButton() {
  fCollapse->move(fPages->width() - fCollapse->width() - 4, fPages->height() - fCollapse->height() - 2);
  fCollapse->raise();
}

void TMonitorMainWin::OnBottomResized() {
  const int h = fPages->height();
  if (h > MinBottomHeight) fHeightOfBottom = h;
  fCollapse->setIcon(style()->standardIcon(h > MinBottomHeight ? QStyle::SP_TitleBarShadeButton
                                                               : QStyle::SP_TitleBarUnshadeButton));
  PlaceCollapseButton();
}

void TMonitorMainWin::ToggleBottom() {
  QList<int> s = fMainSplit->sizes();
  if (s.size() != 2) return;
  const int total = s[0] + s[1];
  const int want = fPages->height() <= MinBottomHeight ? fHeightOfBottom : MinBottomHeight;
  fMainSplit->setSizes({total - want, want});
}

} // namespace kelvra
