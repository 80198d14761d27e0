#pragma once
// TLumQueue: a fixed-capacity first-in first-out ring of bytes.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace kelvra {

class ELumQueueError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

class TLumQueue {
public:
  explicit TLumQueue(int32_t capacity = 8192);

  void Clear() { fHead = fTail = 0; }
  int32_t Count() const;
  int32_t Space() const { return fQSize - Count() - 1; }
  int32_t Size() const { return fQSize - 1; }

  // Throws ELumQueueError when full.
  void Put(uint8_t byte);
  // Puts the bytes in order (throws like Put when the ring fills); returns how many.
  int32_t PutBuf(const uint8_t *bytes, int32_t count);
  // Throws ELumQueueError when empty.
  uint8_t Get();
  // The byte `index` places after the head; throws when index is not below Count.
  uint8_t Peek(int32_t index) const;
  // Takes every byte and returns them as text (legacy bytes decoded as ANSI).
  std::string GetText();

private:
  std::vector<uint8_t> fBuffer;
  int32_t fQSize;
  int32_t fHead = 0;
  int32_t fTail = 0;
};

} // namespace kelvra
