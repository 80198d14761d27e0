#include "ui/shell/MonitorApp.h"

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

bool TMonitorApp::notify(QObject *receiver, QEvent *event) {
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
