#include "ui/widgets/LumLed.h"

#include <QPainter>
#include <QPolygon>
#include <QTimer>
#include <algorithm>

namespace kelvra {

TLumLed::TLumLed(QWidget *parent) : QWidget(parent) {
  setFixedSize(16, 16);
  FTimer = new QTimer(this);
  FTimer->setSingleShot(true);
  connect(FTimer, &QTimer::timeout, this, &TLumLed::BlinkTick);
}

void TLumLed::SetState(int value) {
  if (value == FState) return;
  FState = value;
  update();
  emit OnChange();
}

void TLumLed::SetLit(bool value) { SetState(value ? FStateOn : FStateOff); }

void TLumLed::SetBlinking(bool value) {
  if (value == FBlinking) return;
  FBlinking = value;
  if (FBlinking) {
    SetLit(true);
    FTimer->start(FBlinkDuration);
  } else {
    FTimer->stop();
  }
}

void TLumLed::SetBlinkPeriod(int ms) {
  FBlinkPeriod = std::max(ms, 50);
  FBlinkDuration = std::clamp(FBlinkDuration, 10, FBlinkPeriod - 10);
  RestartBlink();
}

void TLumLed::SetBlinkDuration(int ms) {
  FBlinkDuration = std::clamp(ms, 10, FBlinkPeriod - 10);
  RestartBlink();
}

void TLumLed::RestartBlink() {
  if (FBlinking) FTimer->start(Lit() ? FBlinkDuration : FBlinkPeriod - FBlinkDuration);
}

// On for the blink duration, off for the rest of the period.
void TLumLed::BlinkTick() {
  if (!FBlinking) return;
  SetLit(!Lit());
  FTimer->start(Lit() ? FBlinkDuration : FBlinkPeriod - FBlinkDuration);
}

void TLumLed::SetColorOn(const QColor &c) {
  FColorOn = c;
  update();
}

void TLumLed::SetColorOff(const QColor &c) {
  FColorOff = c;
  update();
}

void TLumLed::SetLedStyle(TLumLedStyle s) {
  FLedStyle = s;
  update();
}

void TLumLed::paintEvent(QPaintEvent *) {
  QPainter p(this);
  const QRect r = rect();
  p.fillRect(r, Lit() ? FColorOn : FColorOff);
  // A raised edge: white along the left and top, grey along the right and bottom.
  p.setPen(Qt::white);
  p.drawLine(r.left(), r.top(), r.right(), r.top());
  p.drawLine(r.left(), r.top(), r.left(), r.bottom());
  p.setPen(QColor(128, 128, 128));
  p.drawLine(r.right(), r.top(), r.right(), r.bottom());
  p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
  // The small highlight three pixels in from the top-left corner.
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::white);
  p.drawPolygon(QPolygon({QPoint(3, 3), QPoint(7, 3), QPoint(3, 7)}));
}

void TLumLed::enterEvent(QEnterEvent *) { emit OnMouseEnter(); }

void TLumLed::leaveEvent(QEvent *) { emit OnMouseLeave(); }

} // namespace kelvra
