#pragma once
// Follows a file that another writer appends to and hands the new bytes to the owner.
// The worker thread only appends to the queue under the lock and then calls the notify
// callback; the owner takes the bytes with TakeTail() on its own thread. Nothing else is
// shared, so the hand-over has no race whatever thread the callback runs on.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace kelvra {

class TLumLogTail {
public:
  // Called on the worker thread with the tag and the number of bytes read, or -1 on an error.
  using TNotify = std::function<void(uint16_t tag, int value)>;

  explicit TLumLogTail(const std::string &fileName, TNotify notify = {}, uint16_t tag = 0);
  ~TLumLogTail(); // stops and joins the thread, then closes the file
  TLumLogTail(const TLumLogTail &) = delete;
  TLumLogTail &operator=(const TLumLogTail &) = delete;

  std::string FileName() const;
  void
  SetFileName(const std::string &name); // closes the open file; the next pass opens the new one
  std::string ErrorMsg() const;
  uint16_t Tag() const { return ftag; }
  size_t TailSize() const;
  void SetTailSize(size_t capacity); // a different capacity drops what is queued
  bool IsOpen() const;               // the file is open and positioned (for callers that wait)

  // All queued bytes, emptying the queue.
  std::string TakeTail();

private:
  void Execute();
  void close_file();
  void notify(int value);
  bool WaitStop(int ms); // true when told to stop

  mutable std::mutex fLock;
  std::condition_variable fWake;
  bool fStop = false;
  std::string ffile_name;
  int ffile_handle = -1;
  uint64_t fInode = 0; // to notice a file that was replaced (a rotated log)
  int64_t fPos = 0;
  std::string ferror_msg;
  std::string ftail;
  size_t fTailSize = 8192;
  uint16_t ftag = 0;
  TNotify fNotify;
  std::thread fThread; // last: started when everything above is ready
};

} // namespace kelvra
