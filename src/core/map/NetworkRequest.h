#pragma once
// Background download of map tiles: a queue that drops duplicates and tiles of
// a zoom the user has left, serves visible tiles first, and runs the blocking
// requests on a few worker threads that exist only while there is work.
#include "core/map/PngImage.h"
#include "core/map/SlippyMapUtils.h"
#include "core/map/TileFreshness.h"
#include "core/map/TilesProvider.h"

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kelvra {

// Connections kept open between requests (the request function's own type); freed with the
// last request props that refer to it, which closes its idle connections.
class THttpConnections;

class THttpRequestProps {
public:
  // Empty: a direct connection; "http://SYSTEM": the system's proxy settings.
  std::string Proxy;
  std::string URL;
  std::string HttpUserName;
  std::string HttpPassword;
  // "Name: value" lines sent as request headers; may be absent.
  std::unique_ptr<std::vector<std::string>> HeaderLines;
  // For a request function's own use; not owned, copied as a reference.
  void *Additional = nullptr;
  // The worker's stop request (not owned): a request in progress gives up
  // once it turns true, so that closing the map never waits for the network.
  const std::atomic<bool> *Cancel = nullptr;
  // When set, the request function fills it with the reply's status and caching headers
  // (not owned, copied as a reference).
  THttpReplyInfo *Reply = nullptr;
  // Shared by the clones: requests reuse its open connections. Null: a connection per request.
  std::shared_ptr<THttpConnections> Connections;

  std::unique_ptr<THttpRequestProps> Clone() const;
};

// The header lines the map sends with every tile request. The User-Agent
// names this program honestly, as the tile server's usage policy demands.
std::vector<std::string> SampleHeaders();

// One blocking request: the body goes into ResponseStm; false with ErrMsg
// (possibly empty) on failure. A 304 reply is a success with an empty body.
using TBlockingNetworkRequestFunc = std::function<bool(
    const THttpRequestProps &RequestProps, TMemoryStream &ResponseStm, std::string &ErrMsg)>;

// Called on a worker thread, outside the queue's lock, for every finished
// request; receives ownership of Ms, which is null on failure. It must not
// touch user-interface objects.
using TGotTileCallbackBgThr = std::function<void(
    const TTile &Tile, std::unique_ptr<TMemoryStream> Ms, const std::string &Error)>;
// The same with the reply's status and caching headers (Ms is empty, not null, on a 304).
using TGotTileReplyCallbackBgThr =
    std::function<void(const TTile &Tile, std::unique_ptr<TMemoryStream> Ms,
                       const std::string &Error, const THttpReplyInfo &Reply)>;

class TNetworkRequestThread;

class TNetworkRequestQueue {
public:
  // Takes ownership of the provider, which turns tiles into addresses.
  TNetworkRequestQueue(unsigned MaxTasksPerThread, unsigned MaxThreads,
                       TBlockingNetworkRequestFunc RequestFunc,
                       std::unique_ptr<TTilesProvider> TilesProvider);
  // Stops the workers (a download in progress is abandoned) and waits for
  // them; results that arrive meanwhile are dropped.
  ~TNetworkRequestQueue();
  TNetworkRequestQueue(const TNetworkRequestQueue &) = delete;
  TNetworkRequestQueue &operator=(const TNetworkRequestQueue &) = delete;

  // Queues a download unless the tile is already queued or downloading. Validators of a
  // cached copy make it a conditional request.
  void RequestTile(const TTile &Tile, const TTileValidators &Validators = {});
  // The visible area in map pixels: tiles inside it are served first.
  void SetCurrentViewRect(const TRect &ViewRect);

  // The template every request starts from (proxy, credentials, headers).
  void SetRequestProps(const THttpRequestProps &Props);
  std::unique_ptr<THttpRequestProps> RequestProps() const;
  void SetOnGotTileBgThr(TGotTileCallbackBgThr Callback);
  void SetOnGotTileReplyBgThr(TGotTileReplyCallbackBgThr Callback);
  // True: strict arrival order, nothing dropped.
  void SetDumbQueueOrder(bool Value);

  // Workers alive (not yet ending).
  std::size_t WorkerCount() const;

private:
  friend class TNetworkRequestThread;

  bool PopTask(TNetworkRequestThread &Sender, TTile &Tile,
               std::unique_ptr<THttpRequestProps> &RequestProps);
  void DoRequestComplete(const TTile &Tile, std::unique_ptr<TMemoryStream> Ms,
                         const std::string &Error, const THttpReplyInfo &Reply);
  void AddThread();
  void ReapFinishedThreads();

  // Guards every member below except the constants and fDestroying.
  mutable std::recursive_mutex fCS;
  std::deque<TTile> fTaskQueue; // oldest first
  // Validators of queued tiles that are asked for again (few: tiles gone stale).
  std::vector<std::pair<TTile, TTileValidators>> fValidators;
  std::unique_ptr<THttpRequestProps> fRequestProps;
  std::vector<std::unique_ptr<TNetworkRequestThread>> fThreads;
  std::vector<TTile> fCurrentTasks;
  std::atomic<bool> fDestroying{false};
  const unsigned fMaxTasksPerThread;
  const unsigned fMaxThreads;
  TGotTileReplyCallbackBgThr fGotTileCb;
  const TBlockingNetworkRequestFunc fRequestFunc;
  const std::unique_ptr<TTilesProvider> fTilesProvider;
  bool fDumbQueueOrder = false;
  // Tile numbers in view: columns Left..Right-1, rows Top..Bottom-1.
  TRect fCurrTileNumbersRect;
};

} // namespace kelvra
