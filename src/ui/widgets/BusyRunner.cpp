#include "ui/widgets/BusyRunner.h"

#include <QEventLoop>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <atomic>
#include <thread>

#include "ui/widgets/TranslateForm.h"

namespace kelvra {

namespace {

struct TBusyState {
  bool running = false;
  std::function<void()> abort;
  QPointer<TBusyIndicator> indicator;
};

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
  auto *label = new QLabel("Waiting for the service...", this);
  label->setObjectName("LblWait");
  lay->addWidget(label);
  auto *bar = new QProgressBar(this);
  bar->setRange(0, 0); // running without a known end
  bar->setTextVisible(false);
  lay->addWidget(bar);
  fCancel = new QPushButton("Cancel", this);
  fCancel->setObjectName("ButCancel");
  lay->addWidget(fCancel, 0, Qt::AlignRight);
  connect(fCancel, &QPushButton::clicked, this, [] { CancelBusy(); });
  TranslateForm(this);
  setMinimumWidth(300);
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
  if (!done) {
    indicator = std::make_unique<TBusyIndicator>(parent);
    st.indicator = indicator.get();
    indicator->show();
  }
  while (!done)
    loop.exec();
  worker.join();
  st.indicator = nullptr;
  indicator.reset();
  st.abort = nullptr;
  st.running = false;
}

bool BusyRunning() { return State().running; }

TBusyIndicator *CurrentBusyIndicator() { return State().indicator.data(); }

void CancelBusy() {
  if (State().running && State().abort) State().abort();
}

} // namespace kelvra
