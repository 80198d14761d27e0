#include "core/util/LumQueue.h"

#include <algorithm>

#include "core/util/LumSmallUtils.h"

namespace kelvra {

TLumQueue::TLumQueue(int32_t capacity)
    : fBuffer(static_cast<size_t>(std::max(capacity, 0)) + 1),
      fQSize(static_cast<int32_t>(fBuffer.size())) {}

int32_t TLumQueue::Count() const {
  const int32_t n = fTail - fHead;
  return n < 0 ? n + fQSize : n;
}

void TLumQueue::Put(uint8_t byte) {
  if (Space() == 0) throw ELumQueueError("TLumQueueError. Queue is full.");
  fBuffer[fTail] = byte;
  fTail = (fTail + 1) % fQSize;
}

int32_t TLumQueue::PutBuf(const uint8_t *bytes, int32_t count) {
  int32_t n = 0;
  for (; n < count; ++n)
    Put(bytes[n]);
  return n;
}

uint8_t TLumQueue::Get() {
  if (Count() == 0) throw ELumQueueError("TLumQueueError. Queue is empty.");
  const uint8_t b = fBuffer[fHead];
  fHead = (fHead + 1) % fQSize;
  return b;
}

uint8_t TLumQueue::Peek(int32_t index) const {
  if (index < 0 || index >= Count())
    throw ELumQueueError("TLumQueueError.Peek: Index more then data count.");
  return fBuffer[(fHead + index) % fQSize];
}

std::string TLumQueue::GetText() {
  std::string bytes;
  bytes.reserve(Count());
  while (Count() > 0)
    bytes += static_cast<char>(Get());
  // Decoded as a whole: UTF-8 sequences span several bytes and must stay together.
  return AnsiToUtf8(bytes);
}

} // namespace kelvra
