#include "core/map/NetworkRequest.h"

#include "core/util/Version.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <thread>

namespace kelvra {

std::unique_ptr<THttpRequestProps> THttpRequestProps::Clone() const {
  auto c = std::make_unique<THttpRequestProps>();
  c->Proxy = Proxy;
  c->URL = URL;
  c->HttpUserName = HttpUserName;
  c->HttpPassword = HttpPassword;
  if (HeaderLines) c->HeaderLines = std::make_unique<std::vector<std::string>>(*HeaderLines);
  c->Additional = Additional;
  c->Cancel = Cancel;
  c->Reply = Reply;
  c->Connections = Connections;
  return c;
}

std::vector<std::string> SampleHeaders() {
  return {"User-Agent: " + ProgramUserAgent(), "Accept-Language: en-US;q=0.7,en;q=0.3",
          "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8"};
}

// One download worker. It ends when it finds the queue empty or is told to
// stop; the queue frees it on its next RequestTile or at destruction.
class TNetworkRequestThread {
public:
  explicit TNetworkRequestThread(TNetworkRequestQueue &Owner) : fOwner(Owner) {}
  ~TNetworkRequestThread() { Join(); }

  void Start() {
    fThread = std::thread([this] { Execute(); });
  }
  void Terminate() {
    fTerminated = true;
    fTerminated.notify_all();
  }
  void Join() {
    if (fThread.joinable()) fThread.join();
  }

  // Set under the queue's lock when PopTask found nothing: from then on the
  // worker no longer counts, so the next RequestTile starts a fresh one
  // instead of leaving its task to a worker that is on its way out.
  bool fEnding = false;

private:
  void Execute();

  TNetworkRequestQueue &fOwner;
  std::atomic<bool> fTerminated{false};
  std::thread fThread;
};

void TNetworkRequestThread::Execute() {
  while (!fTerminated) {
    TTile tile;
    std::unique_ptr<THttpRequestProps> props;
    if (!fOwner.PopTask(*this, tile, props)) break;
    props->URL = fOwner.fTilesProvider->GetTileURL(tile);
    // A proxy given as host:port speaks plain HTTP; one with a scheme is kept.
    if (!props->Proxy.empty() && props->Proxy.find("://") == std::string::npos)
      props->Proxy = "http://" + props->Proxy;
    props->Cancel = &fTerminated;
    THttpReplyInfo reply;
    props->Reply = &reply;
    auto stream = std::make_unique<TMemoryStream>();
    std::string error;
    bool ok = false;
    try {
      ok = fOwner.fRequestFunc(*props, *stream, error);
    } catch (const std::exception &e) {
      error = e.what();
    } catch (...) {
      error = "unknown error";
    }
    if (!ok) stream.reset();
    props.reset();
    fOwner.DoRequestComplete(tile, std::move(stream), error, reply);
  }
}

namespace {
long IndexOfTile(const TTile &Tile, const auto &List) {
  const auto it = std::find(List.begin(), List.end(), Tile);
  return it == List.end() ? -1 : long(it - List.begin());
}

// The oldest queued tile inside the view, or -1.
long ExtractTileInView(const std::deque<TTile> &List, const TRect &ViewTileNumbersRect) {
  const TRect &r = ViewTileNumbersRect;
  for (std::size_t i = 0; i < List.size(); ++i) {
    const auto x = std::int64_t(List[i].ParameterX), y = std::int64_t(List[i].ParameterY);
    if (x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom) return long(i);
  }
  return -1;
}
} // namespace

TNetworkRequestQueue::TNetworkRequestQueue(unsigned MaxTasksPerThread, unsigned MaxThreads,
                                           TBlockingNetworkRequestFunc RequestFunc,
                                           std::unique_ptr<TTilesProvider> TilesProvider)
    : fRequestProps(std::make_unique<THttpRequestProps>()), fMaxTasksPerThread(MaxTasksPerThread),
      fMaxThreads(MaxThreads), fRequestFunc(std::move(RequestFunc)),
      fTilesProvider(std::move(TilesProvider)) {}

TNetworkRequestQueue::~TNetworkRequestQueue() {
  std::vector<std::unique_ptr<TNetworkRequestThread>> threads;
  {
    std::lock_guard lock(fCS);
    fDestroying = true;
    for (auto &t : fThreads)
      t->Terminate();
    threads = std::move(fThreads);
  }
  // Joined without the lock: a worker may still need it in PopTask or
  // DoRequestComplete on its way out.
  for (auto &t : threads)
    t->Join();
}

void TNetworkRequestQueue::RequestTile(const TTile &Tile, const TTileValidators &Validators) {
  std::lock_guard lock(fCS);
  if (fDestroying || IndexOfTile(Tile, fCurrentTasks) >= 0 || IndexOfTile(Tile, fTaskQueue) >= 0)
    return;
  if (!fDumbQueueOrder)
    while (!fTaskQueue.empty() && fTaskQueue.front().Zoom != Tile.Zoom)
      fTaskQueue.pop_front();
  std::erase_if(fValidators, [this](const auto &v) { return IndexOfTile(v.first, fTaskQueue) < 0; });
  if (!Validators.Empty()) fValidators.emplace_back(Tile, Validators);
  fTaskQueue.push_back(Tile);
  ReapFinishedThreads();
  const std::size_t workers = fThreads.size();
  if (fTaskQueue.size() > std::size_t(fMaxTasksPerThread) * workers && workers < fMaxThreads)
    AddThread();
}

void TNetworkRequestQueue::ReapFinishedThreads() {
  for (std::size_t i = fThreads.size(); i-- > 0;)
    if (fThreads[i]->fEnding)
      fThreads.erase(fThreads.begin() + long(i)); // joins: the worker only has to return
}

void TNetworkRequestQueue::AddThread() {
  auto t = std::make_unique<TNetworkRequestThread>(*this);
  try {
    t->Start();
  } catch (const std::system_error &) {
    return; // no thread to be had now: the next request tries again
  }
  fThreads.push_back(std::move(t));
}

void TNetworkRequestQueue::SetCurrentViewRect(const TRect &ViewRect) {
  const TRect r = ToTileBoundary(ViewRect);
  std::lock_guard lock(fCS);
  fCurrTileNumbersRect =
      TRect{r.Left / TileSize, r.Top / TileSize, r.Right / TileSize, r.Bottom / TileSize};
}

void TNetworkRequestQueue::SetRequestProps(const THttpRequestProps &Props) {
  auto copy = Props.Clone();
  std::lock_guard lock(fCS);
  fRequestProps = std::move(copy);
}

std::unique_ptr<THttpRequestProps> TNetworkRequestQueue::RequestProps() const {
  std::lock_guard lock(fCS);
  return fRequestProps->Clone();
}

void TNetworkRequestQueue::SetOnGotTileBgThr(TGotTileCallbackBgThr Callback) {
  TGotTileReplyCallbackBgThr cb;
  if (Callback)
    cb = [Callback = std::move(Callback)](const TTile &Tile, std::unique_ptr<TMemoryStream> Ms,
                                          const std::string &Error, const THttpReplyInfo &) {
      Callback(Tile, std::move(Ms), Error);
    };
  SetOnGotTileReplyBgThr(std::move(cb));
}

void TNetworkRequestQueue::SetOnGotTileReplyBgThr(TGotTileReplyCallbackBgThr Callback) {
  std::lock_guard lock(fCS);
  fGotTileCb = std::move(Callback);
}

void TNetworkRequestQueue::SetDumbQueueOrder(bool Value) {
  std::lock_guard lock(fCS);
  fDumbQueueOrder = Value;
}

std::size_t TNetworkRequestQueue::WorkerCount() const {
  std::lock_guard lock(fCS);
  return std::size_t(
      std::count_if(fThreads.begin(), fThreads.end(), [](const auto &t) { return !t->fEnding; }));
}

bool TNetworkRequestQueue::PopTask(TNetworkRequestThread &Sender, TTile &Tile,
                                   std::unique_ptr<THttpRequestProps> &RequestProps) {
  std::lock_guard lock(fCS);
  if (fTaskQueue.empty()) {
    Sender.fEnding = true;
    return false;
  }
  long index = -1;
  if (!fDumbQueueOrder && fCurrTileNumbersRect.Right != 0 && fCurrTileNumbersRect.Bottom != 0)
    index = ExtractTileInView(fTaskQueue, fCurrTileNumbersRect);
  if (index < 0) index = 0;
  Tile = fTaskQueue[std::size_t(index)];
  fTaskQueue.erase(fTaskQueue.begin() + index);
  fCurrentTasks.push_back(Tile);
  RequestProps = fRequestProps->Clone();
  const auto v = std::find_if(fValidators.begin(), fValidators.end(),
                              [&](const auto &e) { return e.first == Tile; });
  if (v != fValidators.end()) {
    if (!RequestProps->HeaderLines) RequestProps->HeaderLines = std::make_unique<std::vector<std::string>>();
    for (std::string &line : v->second.HeaderLines())
      RequestProps->HeaderLines->push_back(std::move(line));
    fValidators.erase(v);
  }
  return true;
}

void TNetworkRequestQueue::DoRequestComplete(const TTile &Tile, std::unique_ptr<TMemoryStream> Ms,
                                             const std::string &Error,
                                             const THttpReplyInfo &Reply) {
  TGotTileReplyCallbackBgThr callback;
  {
    std::lock_guard lock(fCS);
    if (fDestroying) return; // the map is going away: nobody waits for this tile
    if (const long i = IndexOfTile(Tile, fCurrentTasks); i >= 0)
      fCurrentTasks.erase(fCurrentTasks.begin() + i);
    callback = fGotTileCb;
  }
  if (callback) callback(Tile, std::move(Ms), Error, Reply);
}

} // namespace kelvra
