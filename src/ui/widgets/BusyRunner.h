#pragma once
// Service calls stay blocking for their callers, but the window must never freeze while one waits
// for the network: the transfer runs on a worker thread while the user-interface thread waits in
// a local event loop. Input is held back at once; after half a second a modal busy indicator with
// "Cancel" appears (painting goes on all the time), and "Cancel" aborts the transfer.

#include <QDialog>
#include <cstddef>
#include <functional>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;

namespace kelvra {

// The indicator (window "BusyForm"): a message, a bar (running, or how far the stage of a long
// piece of work is) and "Cancel".
class TBusyIndicator : public QDialog {
  Q_OBJECT
public:
  explicit TBusyIndicator(QWidget *parent);
  QPushButton *CancelButton() const { return fCancel; }
  // Shows what ReportBusyProgress said last (called on the user-interface thread).
  void ShowProgress();
  // What the bar shows: the stage's text and how far it is in thousandths (-1: running).
  QString StageText() const;
  int Permille() const;

private:
  QLabel *fLabel;       // child
  QProgressBar *fBar;   // child
  QPushButton *fCancel; // child
};

// Runs transfer on a worker thread and returns when it has ended; abort is called (on this
// thread) when the user presses "Cancel" or CancelBusy is called. Nested calls run in place.
void RunBusy(const std::function<void()> &transfer, const std::function<void()> &abort,
             QWidget *parent);
// A transfer is running (timers use it to skip their tick instead of starting a second one).
bool BusyRunning();
// Runs action on the user-interface thread once no transfer runs: queued at once when none runs,
// else when the running one has ended (its caller may hold records until it returns, so the
// action comes from the event loop, never from inside RunBusy). Dropped when context goes.
void AfterBusy(QObject *context, std::function<void()> action);
// The indicator shown right now, null when none is.
TBusyIndicator *CurrentBusyIndicator();
// Aborts the running transfer, as "Cancel" does.
void CancelBusy();

// Work on the worker of RunBusy tells which stage runs and how far it is (total 0: unknown); the
// indicator shows it. Safe from any thread; stage is a translated text.
void ReportBusyProgress(const std::string &stage, std::size_t done, std::size_t total);
// A stage's text as the indicator shows it: the translation of key in the indicator's section,
// else text.
std::string BusyStageText(const char *key, const char *text);
// Told every report, on the thread that made it (tests stop the work at a stage with CancelBusy).
using TBusyProgressObserver =
    std::function<void(const std::string &stage, std::size_t done, std::size_t total)>;
void SetBusyProgressObserver(TBusyProgressObserver observer);

inline constexpr int kBusyDelayMs = 500;

} // namespace kelvra
