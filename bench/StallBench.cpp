// What a user feels during a long action: whether the window answers. Each figure is the longest
// time the window's event loop stood still during the action, as the program's own stall meter
// measures it (its maximum in one run), printed as its ratio to the target's milliseconds (1 is
// the target itself). The windows are the program's own, driven as a user drives them, on the
// platform QT_QPA_PLATFORM names (offscreen when unset; run it under Xvfb with xcb to see it).
//   import stall: a 1,000,000-row CSV through the import dialog: the file read, the grid shown,
//                 the track made with its statistics (target 100 ms)
//   dump stall:   the dump window of a 1,000,000-point track opened (its table and charts built)
//                 and sorted by speed (target 100 ms)
//   report stall: the reports window's Summary of 100 objects over 7 days (kelvra-sim in this
//                 process with --fleet 100 --history 8): every track fetched, reduced and the
//                 table shown (target 100 ms)
// Each action runs twice: under the wall clock, as the program's meter measures (logged: what a
// user met on this machine), and under the window thread's CPU clock (the figure: a thread that
// is ready but waits for a core on a busy machine does not count). Every stall over 20 ms is
// written to the log (stderr) with the action the meter blamed.
#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QTableView>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "BenchData.h"
#include "BenchFigures.h"
#include "core/app/Common.h"
#include "core/app/Translate.h"
#include "core/client/client.h"
#include "core/reports/ReportJob.h"
#include "core/util/LumHash.h"
#include "core/tracks/GeoTrack.h"
#include "core/tracks/TrackDump.h"
#include "sim/SimServer.h"
#include "ui/reports/ReportsForm.h"
#include "ui/shell/MonitorApp.h"
#include "ui/tracks/TrackDumpForm.h"
#include "ui/tracks/TrackParserForm.h"
#include "ui/widgets/StallMeter.h"

namespace {

using namespace kelvra;
using namespace kelvra::bench;

namespace fs = std::filesystem;

constexpr int kPoints = 1000000;
constexpr double kTargetMs = 100;
constexpr int kLogMs = 20;

// A CSV of kPoints one-second fixes as a tracker's export writes them: Unix time, position,
// speed, separated by ";" (the import dialog's default separator).
std::string CsvFile() {
  const std::string name = (WorkDir() / "track.csv").string();
  const auto points = TrackPoints(kPoints, kPoints / 500);
  std::FILE *f = std::fopen(name.c_str(), "wb");
  if (!f) std::abort();
  std::fputs("time;lat;lon;alt;speed\n", f);
  for (int i = 0; i < kPoints; ++i) {
    const TTrackPointInfo &p = *points[std::size_t(i)];
    std::fprintf(f, "%lld;%.6f;%.6f;%.2f;%.2f\n", static_cast<long long>(kStart + i), p.lat, p.lon,
                 p.alt, p.speed);
  }
  if (std::fclose(f) != 0) std::abort();
  return name;
}

// The clocks of the meter: the wall clock (what the meter of the program uses) and the window
// thread's own CPU time (what that thread worked, without the time it waited for a core).
int64_t WallMs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}
int64_t ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return int64_t(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}

// Runs aAction as an event of the loop (as a menu item's handler runs), lets the loop finish
// what it queued, and returns the meter's longest stall in milliseconds of aClock.
double LongestStall(const char *aName, const char *aClockName, const TStallMeter::TClock &aClock,
                    const std::function<void()> &aAction) {
  TStallMeter meter(kLogMs, [aName, aClockName](const std::string &line) {
    std::fprintf(stderr, "%s (%s):%s\n", aName, aClockName, line.c_str());
  }, aClock);
  TStallMeter::SetCurrent(&meter);
  // A loop of its own, ended by its own quit: the application's quit is a request to close every
  // window, which would reach the windows of the next action (a dump window closed and deleted
  // while the action still used it, a report's work started while the busy state was not over).
  QEventLoop loop;
  QTimer::singleShot(0, &loop, [&aAction, &loop] {
    aAction();
    // What the action left to the loop (painting, layout, deferred deletes) counts too.
    QTimer::singleShot(200, &loop, &QEventLoop::quit);
  });
  loop.exec();
  TStallMeter::SetCurrent(nullptr);
  std::fprintf(stderr, "%s (%s): longest stall %lld ms (%s), %d over %d ms\n", aName, aClockName,
               static_cast<long long>(meter.MaxStall()), meter.MaxStallAction().toUtf8().constData(),
               meter.StallCount(), kLogMs);
  return double(meter.MaxStall());
}

// The action once under the wall clock (logged: what a user on this machine met) and once under
// the window thread's CPU clock (the figure: it holds on a busy machine, where a thread that is
// ready waits for a core). False when aAction said it did not do its work.
void StallFigure(const char *aName, const std::function<bool()> &aAction) {
  bool done = true;
  const auto run = [&] { done = aAction() && done; };
  LongestStall(aName, "wall", WallMs, run);
  const double cpu = LongestStall(aName, "window thread CPU", ThreadCpuMs, run);
  if (!done) std::fprintf(stderr, "%s: the action did not do its work\n", aName);
  PrintFigure(aName, done ? cpu / kTargetMs : -1, 1);
}

void ImportStall() {
  const std::string csv = CsvFile();
  StallFigure("import stall", [&csv] {
    TTrackParser dlg;
    dlg.show();
    dlg.ParseFile(QString::fromStdString(csv));
    const bool made = dlg.MakeTrack() && dlg.GetTrack() != nullptr;
    QCoreApplication::processEvents(); // the dialog shows what it made before it closes
    return made;
  });
}

void DumpStall() {
  auto track = std::make_unique<TGeoTrack>("101");
  auto points = TrackPoints(kPoints, kPoints / 500);
  track->Assign(std::move(points));
  StallFigure("dump stall", [&track] {
    auto *form = new TTrackDumpForm;
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->SetTrack(track.get(), false);
    form->resize(1200, 800);
    form->show();
    form->BuildDump(); // what the first activation does
    QCoreApplication::processEvents();
    form->Model()->SortByTitle(dcSpeed);
    const bool sorted = form->Model()->SortColumn() == dcSpeed &&
                        form->Model()->rowCount() == static_cast<int>(track->Points().size());
    QCoreApplication::processEvents();
    form->close();
    return sorted;
  });
}

void ReportStall() {
  constexpr int kObjects = 100, kDays = 7;
  constexpr int64_t kNow = 1765447200; // 11.12.2025 10:00 UTC: the sim's frozen clock
  TSimOptions options;
  options.fleet = kObjects;
  options.historyDays = kDays + 1;
  options.startTime = kNow;
  SimServer sim(options);
  TLumHash config;
  config.SetVal("http_timeout", "600");
  TKelvraClientEnv env;
  env.Config = &config;
  std::unique_ptr<TKelvraClient> client;
  if (sim.Start()) {
    client = std::make_unique<TKelvraClient>(sim.BaseUrl() + "/", "", "0", env);
    if (!client->Login(SimServer::kDemoUser, SimServer::kDemoPassword) || client->GetObjects() < 0)
      client.reset();
  }
  if (!client) {
    std::fprintf(stderr, "report stall: no signed-in service\n");
    PrintFigure("report stall", -1, 1);
    return;
  }
  StallFigure("report stall", [&client] {
    TReportsHost host;
    host.Log = [](const std::string &) {};
    host.ShowOnMap = [](const TReportTarget &, const std::string &) {};
    host.Address = [](const std::string &) { return std::string(); };
    TReportsForm form(*client, host);
    form.resize(1200, 800);
    form.show();
    form.LoadObjects();
    form.TickShown(true);
    const TDateTime dt2 = UnixToDateTime(kNow, false);
    form.SetPeriod(dt2 - kDays, dt2);
    form.SetKind(TReportKind::Summary);
    const bool made = form.Run() && form.Table() && form.Table()->rows.size() >= size_t(kObjects);
    QCoreApplication::processEvents(); // the table shown
    return made;
  });
  sim.Stop();
}

} // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  TMonitorApp app(qtArgc, argv);
  IniFile = std::make_unique<TLumIniFile>((WorkDir() / "bench.ini").string());
  Translation = std::make_unique<TTranslation>();
  try { // the windows' texts, as the program shows them
    Translation->LoadDefaults(
        (fs::path(argv[0]).parent_path() / "Translations" / "defaults.txt").string());
  } catch (const ETranslation &e) {
    std::fprintf(stderr, "translation: %s\n", e.what());
  }
  // KELVRA_STALL_ONLY=import,report runs only those figures.
  const QString only = qEnvironmentVariable("KELVRA_STALL_ONLY");
  const auto wanted = [&only](const char *name) { return only.isEmpty() || only.split(',').contains(name); };
  if (wanted("import")) ImportStall();
  if (wanted("dump")) DumpStall();
  if (wanted("report")) ReportStall();
  Translation.reset();
  IniFile.reset();
  std::error_code ec;
  fs::remove_all(WorkDir(), ec);
  return 0;
}
