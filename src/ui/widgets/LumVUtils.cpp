#include "ui/widgets/LumVUtils.h"

#include <QCursor>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QWidget>

namespace kelvra {

QPoint PlaceAtCursor(const QPoint &cursor, int w, int h, bool centerX, bool centerY,
                     const QRect &area) {
  int x = centerX ? cursor.x() - w / 2 : cursor.x();
  int y = centerY ? cursor.y() - h / 2 : cursor.y();
  if (x + w > area.right() + 1) x = area.right() + 1 - w;
  if (y + h > area.bottom() + 1) y = area.bottom() + 1 - h;
  if (x < area.left()) x = area.left();
  if (y < area.top()) y = area.top();
  return {x, y};
}

void SetWinPosToCursor(QWidget *window, bool centerX, bool centerY) {
  if (!window) return;
  const QPoint c = QCursor::pos();
  QScreen *s = QGuiApplication::screenAt(c);
  if (!s) s = QGuiApplication::primaryScreen();
  const QRect area = s ? s->availableGeometry() : QRect(0, 0, 1 << 15, 1 << 15);
  const QSize size = window->frameGeometry().size();
  window->move(PlaceAtCursor(c, size.width(), size.height(), centerX, centerY, area));
}

void MoveInsideScreen(QWidget *window, const QPoint &at) {
  if (!window) return;
  QScreen *s = QGuiApplication::screenAt(at);
  if (!s) s = window->screen();
  const QRect area = s ? s->availableGeometry() : QRect(0, 0, 1 << 15, 1 << 15);
  const QSize size = window->frameGeometry().size();
  window->move(PlaceAtCursor(at, size.width(), size.height(), false, false, area));
}

} // namespace kelvra
