#pragma once
// Small parts the side panels of the main window share: their tool buttons and the title of a
// one-column list that the translation sets.

#include <QKeySequence>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStyle>
#include <QVariant>
#include <functional>
#include <map>
#include <vector>

class QAbstractItemView;
class QMenu;
class QToolButton;
class QWidget;

namespace kelvra {

// An auto-raised tool button with a standard icon, named for the translation.
QToolButton *PanelButton(QWidget *parent, const char *name, QStyle::StandardPixmap icon,
                         std::function<void()> action);

// The right-click menu of a list: a right click makes the row under the pointer the current one,
// then shows the actions of the list's tool buttons (their translated tips and icons, enabled as
// the buttons are) and, after a separator, the actions of an extra menu (the same actions as
// there). A key the desk gives an action is shown beside it (keys, by the button's or action's
// object name).
class TListMenu : public QObject {
  Q_OBJECT
public:
  TListMenu(QAbstractItemView *list, std::vector<QToolButton *> buttons, QMenu *extra = nullptr,
            std::map<QString, QKeySequence> keys = {});
  // The menu as a right click at pos (viewport coordinates) shows it, not shown; owned by the caller.
  QMenu *Build(const QPoint &pos);
  // The menu of a list, null when it has none.
  static TListMenu *Of(const QAbstractItemView *list);

private:
  QAbstractItemView *fList;
  std::vector<QPointer<QToolButton>> fButtons;
  QPointer<QMenu> fExtra;
  std::map<QString, QKeySequence> fKeys;
};

// The header of a list model's only column (the translation's "_columns" sets it).
struct TColumnTitle {
  QString text;
  QVariant Get(int section, Qt::Orientation o, int role) const;
  // True when taken (the caller then announces the changed header).
  bool Set(int section, Qt::Orientation o, const QVariant &value, int role);
};

} // namespace kelvra
