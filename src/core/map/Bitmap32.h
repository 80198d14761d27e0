#pragma once
// The core's picture: plain pixels that the user interface wraps without
// copying (QImage::Format_ARGB32_Premultiplied over fPixels, fWidth * 4 bytes
// per line).
#include <cstdint>
#include <vector>

namespace kelvra {

struct TBitmap32 {
  int fWidth = 0;
  int fHeight = 0;
  // Premultiplied 0xAARRGGBB in native byte order, top row first, rows packed
  // without padding.
  std::vector<std::uint32_t> fPixels;

  TBitmap32() = default;
  // A transparent bitmap of the given size.
  TBitmap32(int Width, int Height)
      : fWidth(Width), fHeight(Height), fPixels(std::size_t(Width) * std::size_t(Height), 0u) {}

  int BytesPerLine() const { return fWidth * 4; }
  std::size_t ByteSize() const { return fPixels.size() * sizeof(std::uint32_t); }
};

} // namespace kelvra
