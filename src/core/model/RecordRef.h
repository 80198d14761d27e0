#pragma once
// The lifetime rule for the client's records (objects, zones, traps): a record may be freed by any
// return to the event loop (a sign-out, a reload of its list), so nobody keeps a raw pointer to one
// across a modal window or a wait. A window or caller that holds a record across such a return
// holds a TRecordRef: it tells whether the record still lives, and it refuses to hand out a dead
// one (asking for a dead record through -> or * stops the program with a message instead of
// reading freed memory).

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace kelvra {

// A member of every record that others may hold: it lives and dies with the record. A copy of a
// record is another record, so a copy gets a life of its own.
class TRecordLife {
public:
  TRecordLife() : fAlive(std::make_shared<char>(0)) {}
  TRecordLife(const TRecordLife &) : TRecordLife() {}
  TRecordLife &operator=(const TRecordLife &) { return *this; }
  std::weak_ptr<const char> Watch() const { return fAlive; }

private:
  std::shared_ptr<char> fAlive;
};

// A record held across a return to the event loop. T has a `life` member (TRecordLife) and a
// `uid`.
template <class T> class TRecordRef {
public:
  TRecordRef() = default;
  explicit TRecordRef(T *aRecord)
      : fRecord(aRecord), fLife(aRecord ? aRecord->life.Watch() : std::weak_ptr<const char>()),
        fUid(aRecord ? aRecord->uid : 0), fHeld(aRecord != nullptr) {}

  // A record was given and it still lives.
  bool Alive() const { return fHeld && !fLife.expired(); }
  // A record was given and it has gone since (reloaded, deleted, signed out).
  bool Gone() const { return fHeld && fLife.expired(); }
  // The record, null when none was given or it has gone.
  T *Get() const { return Alive() ? fRecord : nullptr; }
  // The record's uid when it was taken (readable after the record has gone).
  int Uid() const { return fUid; }

  T &operator*() const { return *Checked(); }
  T *operator->() const { return Checked(); }

private:
  T *Checked() const {
    if (!Alive()) {
      std::fprintf(stderr, "TRecordRef: a record (uid %d) used after it was freed\n", fUid);
      std::abort();
    }
    return fRecord;
  }

  T *fRecord = nullptr; // not owned: the client's cache owns it
  std::weak_ptr<const char> fLife;
  int fUid = 0;
  bool fHeld = false;
};

} // namespace kelvra
