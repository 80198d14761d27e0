#pragma once
// The main window signed in as "demo" to an in-process kelvra-sim in a temporary program folder
// (for the tests of the panels and dialogs the main window opens).

#include <QCoreApplication>
#include <QVariantMap>

#include <filesystem>
#include <memory>

#include "core/app/Common.h"
#include "sim/SimServer.h"
#include "sim/SimUtil.h"
#include "support/TempDir.h"
#include "ui/shell/MonitorMainWin.h"
#include "ui/widgets/LumTtyBox.h"
#include "ui/widgets/Prompt.h"

namespace kelvra::test {

inline QVariantMap Answer(std::initializer_list<std::pair<const char *, QVariant>> fields) {
  QVariantMap m;
  for (const auto &[k, v] : fields)
    m.insert(QString::fromLatin1(k), v);
  return m;
}

class TSignedInDesk {
public:
  TSignedInDesk() {
    std::filesystem::create_directory_symlink(
        QCoreApplication::applicationDirPath().toStdString() + "/Translations", fDir.Path() + "Translations");
    TSimOptions opt;
    sim::ParseUtc("2026-12-09T12:00:00Z", opt.startTime);
    fSim = std::make_unique<SimServer>(opt);
    fStarted = fSim->Start();
  }
  ~TSignedInDesk() {
    Prompt::StopScript();
    fWin.reset();
    Done();
  }

  bool SimStarted() const { return fStarted; }
  SimServer &Sim() { return *fSim; }
  const std::string &Dir() const { return fDir.Path(); }

  // The window, shown when asked, signed in through the scripted login dialog.
  TMonitorMainWin &Start(bool show = false) {
    Init(fDir.Path() + "KelvraMonitor", {"server=" + fSim->BaseUrl()});
    fWin = std::make_unique<TMonitorMainWin>();
    if (show) {
      fWin->resize(1200, 800);
      fWin->show();
    }
    Prompt::StartScript({Answer({{"UserEdit", "demo"}, {"PassEdit", "demo"}, {"click", "ButSignIn"}})});
    fWin->Login(true);
    Prompt::StopScript();
    return *fWin;
  }

  QString LogText() const {
    QString s;
    for (int i = 0; i < fWin->LogBox()->LineCount(); ++i)
      s += fWin->LogBox()->Line(i) + "\n";
    return s;
  }

private:
  TTempDir fDir;
  std::unique_ptr<SimServer> fSim;
  bool fStarted = false;
  std::unique_ptr<TMonitorMainWin> fWin;
};

} // namespace kelvra::test
