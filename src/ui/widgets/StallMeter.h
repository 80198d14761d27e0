#pragma once
// The stall meter: every time the UI thread's event loop does not turn for longer than the
// threshold, one log line gives the duration and the action that held it (a menu item, a button,
// a shortcut, a timer). The loop turns whenever an event starts or ends being delivered and when
// the loop goes to sleep; time asleep is not counted.
//
// The application object reports every delivery (`Enter` before, `Leave` after); the meter keeps
// a stack of what is being delivered so that a handler that ran a nested loop and then worked on
// is blamed for that work, not the last event of the nested loop.

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QEvent;

namespace kelvra {

class TStallMeter : public QObject {
  Q_OBJECT
public:
  using TSink = std::function<void(const std::string &line)>;
  using TClock = std::function<int64_t()>; // milliseconds, monotonic

  // thresholdMs <= 0 measures nothing. The clock defaults to the steady clock.
  TStallMeter(int thresholdMs, TSink sink, TClock clock = {});
  ~TStallMeter() override;

  // The meter the application object reports to (null: none). Not owned.
  static TStallMeter *Current();
  static void SetCurrent(TStallMeter *meter);

  int Threshold() const { return fThreshold; }
  // The longest stall seen so far, logged or not (milliseconds), and the number logged.
  int64_t MaxStall() const { return fMaxStall; }
  int StallCount() const { return fCount; }
  QString MaxStallAction() const { return fMaxAction; }

  // Called by the application object around each delivery on the UI thread.
  void Enter(QObject *receiver, QEvent *event);
  void Leave();

  // A user-facing name of what an event asks for ("menu \"Sign In\"", "timer UpdateTimer"),
  // empty for events that are not actions of their own.
  static QString DescribeAction(QObject *receiver, QEvent *event);

private:
  struct TFrame {
    QString action;       // empty: not an action of its own (painting, layout, ...)
    const char *kind;     // the receiver's class, for a delivery that is not an action
  };
  void Turn();
  QString Blame() const;
  void Asleep();
  void Awake();

  int fThreshold;
  TSink fSink;
  TClock fClock;
  int64_t fLastTurn = 0;
  bool fSleeping = false;
  std::vector<TFrame> fStack;
  int64_t fMaxStall = 0;
  QString fMaxAction;
  int fCount = 0;
};

} // namespace kelvra
