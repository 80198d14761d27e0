#include "ui/objects/PhotoFetcher.h"

#include <atomic>
#include <chrono>
#include <vector>

#include "core/client/client.h"
#include "core/map/Bitmap32.h"
#include "core/model/ObjectInfo.h"

namespace kelvra {

// One batch of photos on the worker: a client of its own with the window client's session.
struct TPhotoFetcher::TRun {
  std::unique_ptr<TKelvraClient> client;
  std::string token; // the session's token when the run started
  std::vector<TWant> wants;
  std::string log; // the client's log text of the photo in hand (the worker's only)
  std::atomic<bool> stop{false};
  std::mutex lock; // guards ended
  std::condition_variable endedCv;
  bool ended = false;
};

TPhotoFetcher::TPhotoFetcher(TKelvraClient &client, QObject *parent)
    : QObject(parent), fClient(client) {}

TPhotoFetcher::~TPhotoFetcher() { StopRun(); }

void TPhotoFetcher::Want(const TObjectInfo &oi) {
  if (!oi.has_image || oi.photo || oi.uid <= 0 || fClient.PhotoDir().empty()) return;
  if (!fAsked.insert(oi.uid).second) return;
  fQueue.push_back({oi.uid, oi.image_dt});
  Kick();
}

void TPhotoFetcher::Reset() {
  StopRun();
  fQueue.clear();
  fAsked.clear();
}

void TPhotoFetcher::Kick() {
  if (fRun || fQueue.empty() || fClient.Token().empty()) return;
  if (fWorker.joinable()) fWorker.join(); // the last run has ended: its worker is done
  auto run = std::make_shared<TRun>();
  run->token = fClient.Token();
  TKelvraClientEnv env;
  env.PhotoDir = fClient.PhotoDir();
  run->client = std::make_unique<TKelvraClient>(fClient.ApiServer(), run->token, "", env);
  run->client->CopySession(fClient);
  run->wants.assign(fQueue.begin(), fQueue.end());
  fQueue.clear();
  fRun = run;
  run->client->SetLogCallback([raw = run.get()](const std::string &s) { raw->log += s; });
  fWorker = std::thread([this, run] {
    for (const TWant &want : run->wants) {
      if (run->stop) break;
      // GetPhoto fills a record: a stand-in of the uid and image date, never the window's own.
      TObjectInfo stand;
      stand.uid = want.uid;
      stand.has_image = true;
      stand.image_dt = want.imageDt;
      run->client->GetPhoto(stand);
      auto photo = std::shared_ptr<TBitmap32>(std::move(stand.photo));
      std::string text;
      text.swap(run->log);
      QMetaObject::invokeMethod(
          this, [this, run, want, photo, text] { Apply(run, want, photo, text); },
          Qt::QueuedConnection);
    }
    {
      std::lock_guard<std::mutex> lock(run->lock);
      run->ended = true;
    }
    run->endedCv.notify_all();
    QMetaObject::invokeMethod(this, [this, run] { RunEnded(run); }, Qt::QueuedConnection);
  });
}

void TPhotoFetcher::Apply(const std::shared_ptr<TRun> &run, TWant want,
                          std::shared_ptr<TBitmap32> photo, const std::string &log) {
  if (run != fRun) return; // reset meanwhile: the uid may name another user's object now
  fAsked.erase(want.uid);
  if (!log.empty() && fClient.LogCallback()) fClient.LogCallback()(log);
  if (!photo || fClient.Token() != run->token) return;
  TObjectInfo *oi = fClient.FindObject(want.uid);
  // A newer photo (image_dt moved on) or one the user loaded meanwhile is not replaced.
  if (!oi || !oi->has_image || oi->photo || oi->image_dt != want.imageDt) return;
  oi->photo = std::make_unique<TBitmap32>(std::move(*photo));
  oi->ClearIcon();
  emit PhotoArrived(want.uid);
}

void TPhotoFetcher::RunEnded(const std::shared_ptr<TRun> &run) {
  if (run != fRun) return;
  if (fWorker.joinable()) fWorker.join();
  fRun.reset();
  Kick(); // what was asked for meanwhile
}

void TPhotoFetcher::StopRun() {
  if (fRun) {
    fRun->stop = true;
    // A request may only be starting as the abort comes (which would then be forgotten): the
    // abort is repeated until the worker has ended.
    std::unique_lock<std::mutex> lock(fRun->lock);
    while (!fRun->ended) {
      fRun->client->ApiClient().Abort();
      fRun->endedCv.wait_for(lock, std::chrono::milliseconds(50));
    }
  }
  if (fWorker.joinable()) fWorker.join();
  fRun.reset(); // its queued results are dropped when they come
}

} // namespace kelvra
