#pragma once
// Small parts the side panels of the main window share: their tool buttons and the title of a
// one-column list that the translation sets.

#include <QString>
#include <QStyle>
#include <QVariant>
#include <functional>

class QToolButton;
class QWidget;

namespace kelvra {

// An auto-raised tool button with a standard icon, named for the translation.
QToolButton *PanelButton(QWidget *parent, const char *name, QStyle::StandardPixmap icon,
                         std::function<void()> action);

// The header of a list model's only column (the translation's "_columns" sets it).
struct TColumnTitle {
  QString text;
  QVariant Get(int section, Qt::Orientation o, int role) const;
  // True when taken (the caller then announces the changed header).
  bool Set(int section, Qt::Orientation o, const QVariant &value, int role);
};

} // namespace kelvra
