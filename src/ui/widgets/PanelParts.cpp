#include "ui/widgets/PanelParts.h"

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
