#pragma once
// Service calls stay blocking for their callers, but the window must never freeze while one waits
// for the network: the transfer runs on a worker thread while the user-interface thread waits in
// a local event loop. Input is held back at once; after half a second a modal busy indicator with
// "Cancel" appears (painting goes on all the time), and "Cancel" aborts the transfer.

#include <QDialog>
#include <functional>

class QPushButton;

namespace kelvra {

// The indicator (window "BusyForm"): a message, a running bar and "Cancel".
class TBusyIndicator : public QDialog {
  Q_OBJECT
public:
  explicit TBusyIndicator(QWidget *parent);
  QPushButton *CancelButton() const { return fCancel; }

private:
  QPushButton *fCancel; // child
};

// Runs transfer on a worker thread and returns when it has ended; abort is called (on this
// thread) when the user presses "Cancel" or CancelBusy is called. Nested calls run in place.
void RunBusy(const std::function<void()> &transfer, const std::function<void()> &abort,
             QWidget *parent);
// A transfer is running (timers use it to skip their tick instead of starting a second one).
bool BusyRunning();
// The indicator shown right now, null when none is.
TBusyIndicator *CurrentBusyIndicator();
// Aborts the running transfer, as "Cancel" does.
void CancelBusy();

inline constexpr int kBusyDelayMs = 500;

} // namespace kelvra
