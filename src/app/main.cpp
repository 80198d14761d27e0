// The entry of KelvraMonitor: the application object, the fatal-error handler, the start-up of
// the globals before any window and their end after the message loop.

#include <cstdio>
#include <string>
#include <vector>

#include "core/app/Common.h"
#include "core/util/Version.h"
#include "ui/shell/MonitorApp.h"
#include "ui/shell/MonitorMainWin.h"
#include "ui/widgets/Prompt.h"
#include "ui/widgets/StallMeter.h"
#include "ui/widgets/TermSignals.h"

using namespace kelvra;

namespace {

bool HasArg(const std::vector<std::string> &args, const char *name) {
  for (const auto &a : args)
    if (a == name) return true;
  return false;
}

} // namespace

int main(int argc, char **argv) {
  // A password on the command line leaves the process's arguments at once: other users can list
  // them (ps, /proc/PID/cmdline) for as long as the program runs.
  const std::vector<std::string> secretArgs = TakeSecretArgs(argc, argv);
  // Answered before anything else, so they work without a display.
  const std::vector<std::string> rawArgs(argv + 1, argv + argc);
  if (HasArg(rawArgs, "--help") || HasArg(rawArgs, "-h")) {
    std::fputs(ConfigKeysHelp().c_str(), stdout);
    return 0;
  }
  if (HasArg(rawArgs, "--version")) {
    std::printf("KelvraMonitor %s\n", ProgramVersion());
    return 0;
  }

  TMonitorApp app(argc, argv);
  QApplication::setApplicationName("KELVRA");
  SetFatalErrorHandler([](const std::string &text) {
    // Nobody could answer a box on the offscreen platform; the text is on stderr already.
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) return;
    Prompt::Message(nullptr, QMessageBox::Critical, "Fatal error",
                    QString::fromStdString(text).replace('\r', '\n'));
  });

  // Qt has taken its own options out; every other argument is one configuration line.
  std::vector<std::string> args;
  const QStringList qargs = QCoreApplication::arguments();
  for (qsizetype i = 1; i < qargs.size(); ++i)
    if (!qargs[i].isEmpty()) args.push_back(qargs[i].toStdString());
  args.insert(args.end(), secretArgs.begin(), secretArgs.end());
  Init("", args);

  int rc;
  {
    TMonitorMainWin win;
    CloseOnTermSignals(&win);
    win.Log("\rKelvraMonitor " + std::string(ProgramVersion()));
    win.Log("\rHome folder: " + HomeDir);
    win.Log("\rConfiguration file: " + CfgFileName);
    win.Log("\rLanguage: " + Language + " (" + Translation->GetLang() + ")");
    for (const std::string &warning : StartupWarnings)
      win.Log("\r" + warning);
    // A settings save that fails (a full disk) is said once, in the log at once and over the
    // map when the event loop gets to it (the save may happen in the middle of anything, the
    // layout's at the window's end).
    auto saveFailed = [&win](const std::string &text) {
      win.Log("\rX: " + text);
      const std::string reason = IniFile->LastError();
      QMetaObject::invokeMethod(
          &win, [&win, reason] { win.Msg("settings_not_saved", {reason}, 10); },
          Qt::QueuedConnection);
    };
    IniFile->SetOnSaveError(saveFailed);
    // A save that failed while the window was being made went to standard error only.
    if (!IniFile->LastError().empty())
      saveFailed("Settings could not be saved: " + IniFile->LastError());
    // Every turn of the event loop longer than stall_log_ms gets a log line (0: not measured).
    TStallMeter stalls(Config ? Config->AsInteger("stall_log_ms") : 0,
                       [&win](const std::string &line) { win.Log(line); });
    if (stalls.Threshold() > 0) {
      win.Log("\rStall meter: " + std::to_string(stalls.Threshold()) + " ms");
      TStallMeter::SetCurrent(&stalls);
    }
    win.show();
    rc = app.exec();
    if (stalls.Threshold() > 0) {
      TStallMeter::SetCurrent(nullptr);
      win.Log("\rLongest stall " + std::to_string(stalls.MaxStall()) + " ms: " +
              stalls.MaxStallAction().toStdString());
    }
    CloseOnTermSignals(nullptr);
  }
  IniFile->SetOnSaveError(nullptr); // the window is gone: from here on, standard error says it
  Done();
  return rc;
}
