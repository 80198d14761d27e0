#pragma once
// Helpers of the map tests: a shown map of a known client size, paint
// regions of its viewport, and pictures compared pixel by pixel.
#include <QAbstractScrollArea>
#include <QEvent>
#include <QImage>
#include <QPaintEvent>
#include <QRegion>
#include <QtTest>

namespace kelvra::test {

// No scroll bars or frame: the viewport is exactly w x h.
inline bool ShowMap(QAbstractScrollArea &map, int w, int h) {
  map.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  map.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  map.setFrameShape(QFrame::NoFrame);
  map.resize(w, h);
  map.show();
  return QTest::qWaitForWindowExposed(&map);
}

// Collects the regions the viewport is asked to paint.
class TPaintRecorder : public QObject {
public:
  explicit TPaintRecorder(QWidget *viewport) { viewport->installEventFilter(this); }
  QRegion fPainted;
  int fPaints = 0;

protected:
  bool eventFilter(QObject *, QEvent *e) override {
    if (e->type() == QEvent::Paint) {
      fPainted += static_cast<QPaintEvent *>(e)->region();
      ++fPaints;
    }
    return false;
  }
};

// The bounding box of the pixels that differ between two pictures of one size.
inline QRect DiffBox(const QImage &a, const QImage &b) {
  QRect box;
  const QImage x = a.convertToFormat(QImage::Format_ARGB32);
  const QImage y = b.convertToFormat(QImage::Format_ARGB32);
  for (int r = 0; r < x.height(); ++r)
    for (int c = 0; c < x.width(); ++c)
      if (x.pixel(c, r) != y.pixel(c, r)) box |= QRect(c, r, 1, 1);
  return box;
}

} // namespace kelvra::test
