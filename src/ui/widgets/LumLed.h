#pragma once
// A 16 x 16 lamp placed beside an edit field: dialogs light it when the field changes, and only
// lit fields count as changed.

#include <QColor>
#include <QWidget>

class QTimer;

namespace kelvra {

enum class TLumLedStyle {
  ldsDrawing,
  ldsDigitBigRed,
  ldsDigitBigGreen,
  ldsDigitSmallRed,
  ldsDigitSmallGreen,
  ldsHorizontal,
  ldsVertical,
  ldsSquare,
  ldsRound,
  ldsSoft,
  ldsUserDefined
};

class TLumLed : public QWidget {
  Q_OBJECT
  Q_PROPERTY(bool Lit READ Lit WRITE SetLit NOTIFY OnChange)
  Q_PROPERTY(bool Blinking READ Blinking WRITE SetBlinking)
  Q_PROPERTY(int BlinkPeriod READ BlinkPeriod WRITE SetBlinkPeriod)
  Q_PROPERTY(int BlinkDuration READ BlinkDuration WRITE SetBlinkDuration)
  Q_PROPERTY(QColor ColorOn READ ColorOn WRITE SetColorOn)
  Q_PROPERTY(QColor ColorOff READ ColorOff WRITE SetColorOff)

public:
  explicit TLumLed(QWidget *parent = nullptr);

  bool Lit() const { return FState == FStateOn; }
  void SetLit(bool value);
  int State() const { return FState; }
  void SetState(int value);

  bool Blinking() const { return FBlinking; }
  void SetBlinking(bool value);
  int BlinkPeriod() const { return FBlinkPeriod; }
  void SetBlinkPeriod(int ms); // at least 50
  int BlinkDuration() const { return FBlinkDuration; }
  void SetBlinkDuration(int ms); // between 10 and the period minus 10

  QColor ColorOn() const { return FColorOn; }
  void SetColorOn(const QColor &c);
  QColor ColorOff() const { return FColorOff; }
  void SetColorOff(const QColor &c);

  // Only ldsDrawing is painted; the bitmap styles need state images the program does not carry,
  // so they are drawn the same way.
  TLumLedStyle LedStyle() const { return FLedStyle; }
  void SetLedStyle(TLumLedStyle s);

  QSize sizeHint() const override { return {16, 16}; }

signals:
  void OnChange();
  void OnMouseEnter();
  void OnMouseLeave();

protected:
  void paintEvent(QPaintEvent *) override;
  void enterEvent(QEnterEvent *) override;
  void leaveEvent(QEvent *) override;

private:
  void BlinkTick();
  void RestartBlink();

  bool FBlinking = false;
  int FBlinkPeriod = 1000;
  int FBlinkDuration = 200;
  QColor FColorOn = Qt::red;
  QColor FColorOff = QColor(192, 192, 192); // silver
  TLumLedStyle FLedStyle = TLumLedStyle::ldsDrawing;
  int FState = 0;
  static constexpr int FStateOn = 1;
  static constexpr int FStateOff = 0;
  QTimer *FTimer = nullptr; // child of this widget
};

} // namespace kelvra
