#include "ui/shell/MonitorApp.h"

#include <QPointer>
#include <QThread>

#include "ui/widgets/StallMeter.h"

#include <cstdio>
#include <exception>

namespace kelvra {

namespace {
TMonitorApp::TExceptionHandler &Handler() {
  static TMonitorApp::TExceptionHandler h;
  return h;
}

void Report(const std::string &message) {
  if (Handler())
    Handler()(message);
  else
    std::fprintf(stderr, "Unhandled exception: %s\n", message.c_str());
}
} // namespace

TMonitorApp::TMonitorApp(int &argc, char **argv) : QApplication(argc, argv) {}

namespace {
// Reports one delivery on the UI thread to the stall meter, also when the handler throws.
class TStallGuard {
public:
  TStallGuard(QObject *receiver, QEvent *event) {
    TStallMeter *m = TStallMeter::Current();
    if (m && receiver && QThread::currentThread() == m->thread()) {
      fMeter = m;
      m->Enter(receiver, event);
    }
  }
  ~TStallGuard() {
    if (fMeter) fMeter->Leave();
  }
  TStallGuard(const TStallGuard &) = delete;
  TStallGuard &operator=(const TStallGuard &) = delete;

private:
  QPointer<TStallMeter> fMeter;
};
} // namespace

bool TMonitorApp::notify(QObject *receiver, QEvent *event) {
  TStallGuard stall(receiver, event);
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception &e) {
    Report(e.what());
  } catch (...) {
    Report("unknown exception");
  }
  return false;
}

void TMonitorApp::SetExceptionHandler(TExceptionHandler handler) { Handler() = std::move(handler); }

} // namespace kelvra
