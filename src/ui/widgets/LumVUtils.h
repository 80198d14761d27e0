#pragma once
// Window placement: a window opened from a click appears at the mouse cursor, inside the screen.

class QWidget;
class QRect;
class QPoint;

namespace kelvra {

// The top-left corner of a w x h window at the cursor (or centred on it in a direction whose
// flag is set), pushed back inside area: right and bottom edges first, then left and top.
QPoint PlaceAtCursor(const QPoint &cursor, int w, int h, bool centerX, bool centerY,
                     const QRect &area);
// Moves the window so, within the available area of the screen under the cursor.
void SetWinPosToCursor(QWidget *window, bool centerX = false, bool centerY = false);
// Moves the window's top-left corner to the point, pushed back inside the screen there.
void MoveInsideScreen(QWidget *window, const QPoint &at);

} // namespace kelvra
