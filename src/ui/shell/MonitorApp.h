#pragma once
// The application object: whatever a handler throws and nobody caught reaches notify, which hands
// its message to the program (the main window shows it as "error") and goes on.

#include <QApplication>
#include <functional>
#include <string>

namespace kelvra {

class TMonitorApp : public QApplication {
public:
  TMonitorApp(int &argc, char **argv);
  bool notify(QObject *receiver, QEvent *event) override;

  // Receives the message of an escaped exception; without one it goes to standard error.
  using TExceptionHandler = std::function<void(const std::string &message)>;
  static void SetExceptionHandler(TExceptionHandler handler);
};

} // namespace kelvra
