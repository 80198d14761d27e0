#pragma once
// A clickable link: an underlined label with a hand cursor that opens its address through the
// desktop's URL opener, or runs a command with parameters; nothing when both are empty.

#include <QColor>
#include <QLabel>
#include <QStringList>

namespace kelvra {

class TLumUrlLabel : public QLabel {
  Q_OBJECT
public:
  explicit TLumUrlLabel(QWidget *parent = nullptr);

  QString Url() const { return FUrl; }
  void SetUrl(const QString &url); // also the hint
  void SetCommand(const QString &command, const QStringList &parameters);
  QColor ColorNormal = QColor(0, 0, 255);
  QColor ColorHover = QColor(255, 0, 0);
  QColor ColorActive = QColor(255, 0, 0);
  void SetColor(const QColor &c);
  // Opens the address or runs the command; false when there is nothing to do.
  bool Action();

signals:
  void Clicked();

protected:
  void enterEvent(QEnterEvent *) override;
  void leaveEvent(QEvent *) override;
  void mousePressEvent(QMouseEvent *) override;
  void mouseReleaseEvent(QMouseEvent *) override;

private:
  QString FUrl;
  QString FCommand;
  QStringList FParameters;
};

} // namespace kelvra
