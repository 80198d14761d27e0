#pragma once
// The keyboard of the main window: a shortcut on every menu action (shown in the menus), and the
// actions a desk needs beyond them: Quit (Ctrl+Q), Refresh (F5), Find object (Ctrl+F), Delete
// (the selected row of the focused list, after that list's own question), and the map's zoom
// (+, -) and pan (arrows), which act while the map has the focus so that lists and fields keep
// their own keys.

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>

class QAbstractItemView;
class QAction;
class QMenu;

namespace kelvra {

class TMonitorMainWin;

class TDeskKeys : public QObject {
  Q_OBJECT
public:
  // Adds the menus "Edit" and "View" (before "Help") and Quit to "User", translated, and gives
  // the window's menu actions their keys; made once the window has its map and its menus.
  explicit TDeskKeys(TMonitorMainWin *window);

  // What Delete does while a list has the focus (the objects list deletes its object); the key
  // acts only in the lists given here.
  void SetDeleteAction(QAbstractItemView *list, std::function<void()> deleteRow);

  QAction *Quit() const { return fQuit; }
  QAction *Refresh() const { return fRefresh; }
  QAction *Find() const { return fFind; }
  QAction *Delete() const { return fDelete; }
  QAction *ZoomIn() const { return fZoomIn; }
  QAction *ZoomOut() const { return fZoomOut; }
  // Shows or hides the graphs under the map.
  QAction *Graphs() const { return fGraphs; }

protected:
  bool eventFilter(QObject *o, QEvent *e) override;

private:
  QAction *PanAction(int key) const;
  void DeleteFocusedRow();
  void Zoom(int delta);
  void PanBy(int dx, int dy);

  TMonitorMainWin *fWin; // not owned: the window these keys belong to
  QPointer<QWidget> fMap; // the window's map, whose arrow keys this reads
  QAction *fQuit, *fRefresh, *fFind, *fDelete, *fZoomIn, *fZoomOut, *fGraphs;
  QAction *fPanLeft, *fPanRight, *fPanUp, *fPanDown;
  std::map<QAbstractItemView *, std::function<void()>> fDeleters;
};

} // namespace kelvra
