#include "ui/widgets/BusyRunner.h"

#include <QEventLoop>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "core/app/Common.h"
#include "ui/widgets/TranslateForm.h"

namespace kelvra {

namespace {

struct TBusyState {
  bool running = false;
  std::function<void()> abort;
  QPointer<TBusyIndicator> indicator;
  // what the worker reported last
  std::mutex progressLock;
  std::string stage;
  std::size_t done = 0, total = 0;
  TBusyProgressObserver observer;
  // what waits for the end of the running transfer (AfterBusy)
  std::vector<std::pair<QPointer<QObject>, std::function<void()>>> after;
};

void Post(QObject *context, std::function<void()> action) {
  QMetaObject::invokeMethod(context, std::move(action), Qt::QueuedConnection);
}

TBusyState &State() {
  static TBusyState s;
  return s;
}

} // namespace

TBusyIndicator::TBusyIndicator(QWidget *parent) : QDialog(parent) {
  setObjectName("BusyForm");
  setWindowTitle("Please wait");
  setWindowModality(Qt::ApplicationModal);
  auto *lay = new QVBoxLayout(this);
  fLabel = new QLabel("Waiting for the service...", this);
  fLabel->setObjectName("LblWait");
  lay->addWidget(fLabel);
  fBar = new QProgressBar(this);
  fBar->setRange(0, 0); // running without a known end
  fBar->setTextVisible(false);
  lay->addWidget(fBar);
  fCancel = new QPushButton("Cancel", this);
  fCancel->setObjectName("ButCancel");
  lay->addWidget(fCancel, 0, Qt::AlignRight);
  connect(fCancel, &QPushButton::clicked, this, [] { CancelBusy(); });
  TranslateForm(this);
  setMinimumWidth(300);
}

void TBusyIndicator::ShowProgress() {
  TBusyState &st = State();
  std::string stage;
  std::size_t done, total;
  {
    std::lock_guard<std::mutex> lock(st.progressLock);
    stage = st.stage;
    done = st.done;
    total = st.total;
  }
  if (stage.empty()) return; // nothing reported: the waiting text and the running bar stay
  fLabel->setText(QString::fromStdString(stage));
  if (total == 0) {
    fBar->setRange(0, 0);
    return;
  }
  fBar->setRange(0, 1000);
  fBar->setValue(int(std::min<std::size_t>(done, total) * 1000 / total));
}

QString TBusyIndicator::StageText() const { return fLabel->text(); }

int TBusyIndicator::Permille() const { return fBar->maximum() == 0 ? -1 : fBar->value(); }

void ReportBusyProgress(const std::string &stage, std::size_t done, std::size_t total) {
  TBusyState &st = State();
  TBusyProgressObserver observer;
  {
    std::lock_guard<std::mutex> lock(st.progressLock);
    st.stage = stage;
    st.done = done;
    st.total = total;
    observer = st.observer;
  }
  if (observer && !stage.empty()) observer(stage, done, total);
}

std::string BusyStageText(const char *key, const char *text) {
  return Translation ? Translation->GetString("BusyForm", key, text) : text;
}

void SetBusyProgressObserver(TBusyProgressObserver observer) {
  TBusyState &st = State();
  std::lock_guard<std::mutex> lock(st.progressLock);
  st.observer = std::move(observer);
}

void RunBusy(const std::function<void()> &transfer, const std::function<void()> &abort,
             QWidget *parent) {
  TBusyState &st = State();
  if (st.running) { // a call made while one waits (should not happen): no second worker
    transfer();
    return;
  }
  st.running = true;
  st.abort = abort;
  ReportBusyProgress({}, 0, 0);

  std::atomic<bool> done{false};
  QEventLoop loop;
  std::thread worker([&] {
    transfer();
    done = true;
    QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
  });

  // Input waits from the first moment; the indicator follows only for a slow reply.
  QTimer delay;
  delay.setSingleShot(true);
  QObject::connect(&delay, &QTimer::timeout, &loop, &QEventLoop::quit);
  delay.start(kBusyDelayMs);
  if (!done) loop.exec(QEventLoop::ExcludeUserInputEvents);
  delay.stop();

  std::unique_ptr<TBusyIndicator> indicator;
  QTimer progress; // the bar follows the work's stages
  if (!done) {
    indicator = std::make_unique<TBusyIndicator>(parent);
    st.indicator = indicator.get();
    indicator->ShowProgress();
    indicator->show();
    QObject::connect(&progress, &QTimer::timeout, indicator.get(), &TBusyIndicator::ShowProgress);
    progress.start(100);
  }
  while (!done)
    loop.exec();
  progress.stop();
  worker.join();
  st.indicator = nullptr;
  indicator.reset();
  st.abort = nullptr;
  ReportBusyProgress({}, 0, 0);
  st.running = false;
  for (auto &[context, action] : std::exchange(st.after, {}))
    if (context) Post(context, std::move(action));
}

void AfterBusy(QObject *context, std::function<void()> action) {
  TBusyState &st = State();
  if (st.running)
    st.after.emplace_back(context, std::move(action));
  else
    Post(context, std::move(action));
}

bool BusyRunning() { return State().running; }

TBusyIndicator *CurrentBusyIndicator() { return State().indicator.data(); }

void CancelBusy() {
  if (State().running && State().abort) State().abort();
}

} // namespace kelvra
