#include "ui/widgets/TermSignals.h"

#include <QApplication>
#include <QDialog>

#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kelvra {

namespace {

int gSignalFd[2] = {-1, -1};

extern "C" void OnTermSignal(int) {
  const char c = 1;
  // Only async-signal-safe calls here; a full pipe just means a close is already pending.
  [[maybe_unused]] ssize_t n = ::write(gSignalFd[0], &c, 1);
}

QPointer<QWidget> &Target() {
  static QPointer<QWidget> window;
  return window;
}

} // namespace

void CloseOnTermSignals(QWidget *window) {
  Target() = window;
  if (gSignalFd[0] >= 0) return;
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalFd) != 0) return;
  ::fcntl(gSignalFd[0], F_SETFL, O_NONBLOCK);
  // Owned by the application object, so it goes with it.
  auto *notifier = new QSocketNotifier(gSignalFd[1], QSocketNotifier::Read, qApp);
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
    char buf[16];
    [[maybe_unused]] ssize_t n = ::read(gSignalFd[1], buf, sizeof buf);
    // A modal dialog waiting for an answer would keep the program alive: it is answered
    // "Cancel" first, then the window closes as the user would close it.
    for (int i = 0; i < 16; ++i) {
      QWidget *modal = QApplication::activeModalWidget();
      if (!modal || modal == Target()) break;
      if (auto *d = qobject_cast<QDialog *>(modal))
        d->reject();
      else
        modal->close();
      if (QApplication::activeModalWidget() == modal) break;
    }
    if (Target()) Target()->close();
  });
  struct sigaction sa {};
  sa.sa_handler = OnTermSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGINT, &sa, nullptr);
}

} // namespace kelvra
