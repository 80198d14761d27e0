#include "ui/account/TokenStore.h"

#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

#include "core/util/LumIniFiles.h"

namespace kelvra {

namespace {

constexpr const char *kLoginSection = "Login";
constexpr const char *kKey = "Token";
enum { kRead, kWrite, kDelete };
// A store that does not answer within this is taken as absent (D-Bus itself gives up at 25 s).
constexpr int kStoreWaitMs = 30000;

} // namespace

TTokenStore::TTokenStore(TLumIniFile *ini, TLog log, std::string service)
    : fIni(ini), fLog(std::move(log)), fService(std::move(service)) {}

TTokenStore::TResult TTokenStore::Run(int op, const std::string &token) {
  QKeychain::Job *job;
  const QString service = QString::fromStdString(fService);
  if (op == kRead) {
    job = new QKeychain::ReadPasswordJob(service);
  } else if (op == kWrite) {
    auto *w = new QKeychain::WritePasswordJob(service);
    w->setTextData(QString::fromStdString(token));
    job = w;
  } else {
    job = new QKeychain::DeletePasswordJob(service);
  }
  job->setAutoDelete(false);
  job->setInsecureFallback(false);
  job->setKey(kKey);
  bool done = false;
  QEventLoop loop;
  QObject::connect(job, &QKeychain::Job::finished, &loop, [&] {
    done = true;
    loop.quit();
  });
  QTimer limit;
  limit.setSingleShot(true);
  QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
  job->start();
  if (!done) {
    limit.start(kStoreWaitMs);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
  }
  TResult r;
  if (!done) {
    // The job still runs: it frees itself when the store answers at last.
    QObject::disconnect(job, nullptr, &loop, nullptr);
    job->setAutoDelete(true);
    r.text = "no answer";
    return r;
  }
  const QKeychain::Error e = job->error();
  if (e == QKeychain::NoError) {
    r.ok = true;
    if (op == kRead) {
      r.found = true;
      r.text = static_cast<QKeychain::ReadPasswordJob *>(job)->textData().toStdString();
    }
  } else if (e == QKeychain::EntryNotFound) {
    r.ok = true;
  } else {
    r.text = job->errorString().toStdString();
    if (r.text.empty()) r.text = "error " + std::to_string(static_cast<int>(e));
  }
  delete job;
  return r;
}

void TTokenStore::Note(const TResult &r) {
  const TState now = r.ok ? TState::Store : TState::File;
  if (now == fState) return;
  fState = now;
  if (!fLog) return;
  if (now == TState::Store)
    fLog("\rToken storage: secret service");
  else
    fLog("\rToken storage: settings file (no secret service: " + r.text + ")");
}

std::string TTokenStore::FileToken() const {
  return fIni ? fIni->ReadString(kLoginSection, kKey, "") : std::string();
}

void TTokenStore::WriteFile(const std::string &token) {
  if (!fIni) return;
  if (!token.empty())
    fIni->WriteString(kLoginSection, kKey, token);
  else if (fIni->ValueExists(kLoginSection, kKey))
    fIni->DeleteKey(kLoginSection, kKey);
}

std::string TTokenStore::Load() {
  const TResult r = Run(kRead, "");
  Note(r);
  const std::string file = FileToken();
  if (!file.empty()) return file;
  return r.found ? r.text : std::string();
}

void TTokenStore::Save(const std::string &token) {
  if (token.empty()) {
    Clear();
    return;
  }
  const TResult r = Run(kWrite, token);
  Note(r);
  WriteFile(r.ok ? "" : token);
}

void TTokenStore::Clear() {
  Note(Run(kDelete, ""));
  WriteFile("");
}

void TTokenStore::MoveFromFile() {
  const std::string file = FileToken();
  if (!file.empty()) Save(file);
}

} // namespace kelvra
