#include "ui/widgets/LumLogTail.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvra {

namespace {
constexpr size_t kReadBlock = 1000;
}

TLumLogTail::TLumLogTail(const std::string &fileName, TNotify notify, uint16_t tag)
    : ffile_name(fileName), ftag(tag), fNotify(std::move(notify)) {
  fThread = std::thread([this] { Execute(); });
}

TLumLogTail::~TLumLogTail() {
  {
    std::lock_guard<std::mutex> g(fLock);
    fStop = true;
  }
  fWake.notify_all();
  if (fThread.joinable()) fThread.join();
  close_file();
}

std::string TLumLogTail::FileName() const {
  std::lock_guard<std::mutex> g(fLock);
  return ffile_name;
}

void TLumLogTail::SetFileName(const std::string &name) {
  std::lock_guard<std::mutex> g(fLock);
  if (name == ffile_name) return;
  ffile_name = name;
  close_file();
}

std::string TLumLogTail::ErrorMsg() const {
  std::lock_guard<std::mutex> g(fLock);
  return ferror_msg;
}

size_t TLumLogTail::TailSize() const {
  std::lock_guard<std::mutex> g(fLock);
  return fTailSize;
}

void TLumLogTail::SetTailSize(size_t capacity) {
  std::lock_guard<std::mutex> g(fLock);
  if (capacity == fTailSize) return;
  fTailSize = capacity;
  ftail.clear();
}

bool TLumLogTail::IsOpen() const {
  std::lock_guard<std::mutex> g(fLock);
  return ffile_handle >= 0;
}

std::string TLumLogTail::TakeTail() {
  std::lock_guard<std::mutex> g(fLock);
  std::string s;
  s.swap(ftail);
  return s;
}

// Callers hold fLock (or the thread is already joined).
void TLumLogTail::close_file() {
  if (ffile_handle >= 0) ::close(ffile_handle);
  ffile_handle = -1;
}

void TLumLogTail::notify(int value) {
  if (fNotify) fNotify(ftag, value);
}

bool TLumLogTail::WaitStop(int ms) {
  std::unique_lock<std::mutex> g(fLock);
  if (ms > 0) fWake.wait_for(g, std::chrono::milliseconds(ms), [this] { return fStop; });
  return fStop;
}

void TLumLogTail::Execute() {
  int delay = 0;
  char buf[kReadBlock];
  while (!WaitStop(delay)) {
    delay = 1000;
    int notifyValue = 0;
    {
      std::lock_guard<std::mutex> g(fLock);
      if (ffile_name.empty()) continue;
      if (ffile_handle >= 0) {
        // A log that was rotated (replaced) or truncated is reopened at its end, as after an
        // error; otherwise the follower would keep reading a file nobody writes any more.
        struct stat byName {};
        if (::stat(ffile_name.c_str(), &byName) != 0 || uint64_t(byName.st_ino) != fInode ||
            byName.st_size < fPos)
          close_file();
      }
      if (ffile_handle < 0) {
        int fd = ::open(ffile_name.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
          ferror_msg = "TLumLogTail.Open: error " + std::to_string(errno);
          notifyValue = -1;
        } else {
          struct stat st {};
          ::fstat(fd, &st);
          fInode = uint64_t(st.st_ino);
          // What the file held before is never delivered.
          fPos = ::lseek(fd, 0, SEEK_END);
          ffile_handle = fd;
        }
      }
      if (ffile_handle >= 0 && notifyValue == 0) {
        if (fTailSize < ftail.size() + kReadBlock) continue; // the reader has not kept up
        ssize_t n = ::read(ffile_handle, buf, kReadBlock);
        if (n < 0) {
          ferror_msg = "TLumLogTail.Read: error " + std::to_string(errno);
          notifyValue = -1;
          close_file();
        } else if (n > 0) {
          ftail.append(buf, size_t(n));
          fPos += n;
          notifyValue = int(n);
          delay = 100;
        } else {
          delay = 500;
        }
      }
    }
    // Notified outside the lock, so the receiver may take the bytes at once.
    if (notifyValue != 0) notify(notifyValue);
  }
}

} // namespace kelvra
