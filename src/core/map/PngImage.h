#pragma once
// PNG decoding (libpng) into 32-bit pixels.
#include "core/map/Bitmap32.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kelvra {

// Bytes as received or read from a file, e.g. one map tile.
using TMemoryStream = std::vector<std::uint8_t>;

// A decoded PNG: 0xAARRGGBB pixels in native byte order with straight
// (not premultiplied) alpha, top row first.
struct TPngImage {
  int fWidth = 0;
  int fHeight = 0;
  std::vector<std::uint32_t> fPixels;
};

// Decodes any PNG colour type. Returns null and sets Error for data that is
// not a PNG, a damaged one or one too large to be a picture we show.
std::unique_ptr<TPngImage> DecodePng(const std::uint8_t *Data, std::size_t Size,
                                     std::string &Error);

// The image drawn onto a new transparent bitmap of its size (premultiplied).
std::unique_ptr<TBitmap32> PngToBitmap(const TPngImage &Image);

} // namespace kelvra
