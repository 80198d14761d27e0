#include "ui/widgets/PanelParts.h"

#include <QAbstractItemView>
#include <QMenu>
#include <QToolButton>

namespace kelvra {

QToolButton *PanelButton(QWidget *parent, const char *name, QStyle::StandardPixmap icon,
                         std::function<void()> action) {
  auto *b = new QToolButton(parent);
  b->setObjectName(name);
  b->setIcon(parent->style()->standardIcon(icon));
  b->setAutoRaise(true);
  if (action) QObject::connect(b, &QToolButton::clicked, parent, [action] { action(); });
  return b;
}

TListMenu::TListMenu(QAbstractItemView *list, std::vector<QToolButton *> buttons, QMenu *extra,
                     std::map<QString, QKeySequence> keys)
    : QObject(list), fList(list), fExtra(extra), fKeys(std::move(keys)) {
  setObjectName("ListMenu");
  for (QToolButton *b : buttons)
    fButtons.emplace_back(b);
  list->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(list, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
    QMenu *m = Build(pos);
    m->setAttribute(Qt::WA_DeleteOnClose);
    m->popup(fList->viewport()->mapToGlobal(pos));
  });
}

QMenu *TListMenu::Build(const QPoint &pos) {
  const QModelIndex at = fList->indexAt(pos);
  if (at.isValid()) fList->setCurrentIndex(at);
  auto *m = new QMenu(fList);
  m->setObjectName(fList->objectName() + "Menu");
  // The key after a tab, unless the text names one already (an action of a menu bar may).
  auto withKey = [this](const QString &text, const QString &name) {
    const auto k = fKeys.find(name);
    if (k == fKeys.end() || text.contains(QLatin1Char('\t'))) return text;
    return text + QLatin1Char('\t') + k->second.toString(QKeySequence::NativeText);
  };
  for (const QPointer<QToolButton> &b : fButtons) {
    if (!b || !b->isVisibleTo(b->parentWidget())) continue;
    const QString text = b->text().isEmpty() ? b->toolTip() : b->text();
    QAction *a = m->addAction(b->icon(), withKey(text, b->objectName()));
    a->setObjectName(b->objectName());
    a->setEnabled(b->isEnabled());
    QPointer<QToolButton> button = b;
    connect(a, &QAction::triggered, this, [button] {
      if (button) button->click();
    });
  }
  if (fExtra) {
    m->addSeparator();
    for (QAction *x : fExtra->actions()) {
      if (!x->isVisible()) continue;
      if (x->isSeparator()) {
        m->addSeparator();
        continue;
      }
      QAction *a = m->addAction(x->icon(), withKey(x->text(), x->objectName()));
      a->setObjectName(x->objectName());
      a->setEnabled(x->isEnabled());
      QPointer<QAction> source = x;
      connect(a, &QAction::triggered, this, [source] {
        if (source) source->trigger();
      });
    }
  }
  return m;
}

TListMenu *TListMenu::Of(const QAbstractItemView *list) {
  return list ? list->findChild<TListMenu *>("ListMenu", Qt::FindDirectChildrenOnly) : nullptr;
}

QVariant TColumnTitle::Get(int section, Qt::Orientation o, int role) const {
  if (section == 0 && o == Qt::Horizontal && role == Qt::DisplayRole) return text;
  return {};
}

bool TColumnTitle::Set(int section, Qt::Orientation o, const QVariant &value, int role) {
  if (section != 0 || o != Qt::Horizontal || role != Qt::EditRole) return false;
  text = value.toString();
  return true;
}

} // namespace kelvra
