#pragma once
// Object photos fetched in the background. The first sign-in of a big fleet ticks thousands of
// objects, each with a photo to show on its mark, and the window must wait for none of them: a
// worker with a connection of its own reads each photo from the photo folder or from the service
// and decodes it; the picture is given to its object on the window's thread (found again by uid,
// so a record that went meanwhile is never touched), and PhotoArrived tells the window to repaint.

#include <QObject>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>

#include "core/util/LumDates.h"

namespace kelvra {

class TKelvraClient;
class TObjectInfo;
struct TBitmap32;

class TPhotoFetcher : public QObject {
  Q_OBJECT
public:
  // client: the window's client (not owned, outlives the fetcher); each run copies its session,
  // and its objects receive the photos.
  TPhotoFetcher(TKelvraClient &client, QObject *parent);
  ~TPhotoFetcher() override;

  // Asks for the object's photo unless it has one, has none, or is asked for already.
  void Want(const TObjectInfo &oi);
  // Forgets what was asked and ends the run in flight (signed out, the list reloaded): no photo
  // fetched before is given to an object after.
  void Reset();
  // Photos asked for and not given yet (to an object, or up as failed).
  std::size_t Pending() const { return fAsked.size(); }

signals:
  // The object of this uid has its photo now (its row and mark show it).
  void PhotoArrived(int uid);

private:
  struct TWant {
    int uid = 0;
    TDateTime imageDt = 0;
  };
  struct TRun;
  void Kick();
  void Apply(const std::shared_ptr<TRun> &run, TWant want, std::shared_ptr<TBitmap32> photo,
             const std::string &log);
  void RunEnded(const std::shared_ptr<TRun> &run);
  // Ends the run in flight and waits for its worker.
  void StopRun();

  TKelvraClient &fClient;
  std::deque<TWant> fQueue;         // asked for, not handed to a run yet
  std::unordered_set<int> fAsked;   // uids queued or in a run
  std::shared_ptr<TRun> fRun;       // the run in flight, null when none
  std::thread fWorker;
};

} // namespace kelvra
