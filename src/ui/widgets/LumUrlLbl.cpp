#include "ui/widgets/LumUrlLbl.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QProcess>
#include <QUrl>

namespace kelvra {

TLumUrlLabel::TLumUrlLabel(QWidget *parent) : QLabel(parent) {
  QFont f = font();
  f.setUnderline(true);
  setFont(f);
  setCursor(Qt::PointingHandCursor);
  SetColor(ColorNormal);
}

void TLumUrlLabel::SetUrl(const QString &url) {
  FUrl = url;
  setToolTip(url);
}

void TLumUrlLabel::SetCommand(const QString &command, const QStringList &parameters) {
  FCommand = command;
  FParameters = parameters;
}

void TLumUrlLabel::SetColor(const QColor &c) {
  QPalette p = palette();
  p.setColor(QPalette::WindowText, c);
  setPalette(p);
}

bool TLumUrlLabel::Action() {
  emit Clicked();
  if (!FUrl.trimmed().isEmpty()) return QDesktopServices::openUrl(QUrl(FUrl.trimmed()));
  if (!FCommand.trimmed().isEmpty()) return QProcess::startDetached(FCommand, FParameters);
  return false;
}

void TLumUrlLabel::enterEvent(QEnterEvent *) { SetColor(ColorHover); }
void TLumUrlLabel::leaveEvent(QEvent *) { SetColor(ColorNormal); }
void TLumUrlLabel::mousePressEvent(QMouseEvent *) { SetColor(ColorActive); }

void TLumUrlLabel::mouseReleaseEvent(QMouseEvent *e) {
  SetColor(ColorHover);
  if (rect().contains(e->position().toPoint())) Action();
}

} // namespace kelvra
