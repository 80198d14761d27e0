#include "core/map/PngImage.h"

#include <png.h>

#include <bit>
#include <cstring>

namespace kelvra {

namespace {
// Larger pictures are refused rather than allocated: no tile or photo is near
// this, and a forged header must not make us reserve gigabytes.
constexpr std::uint64_t MaxPixels = 32u << 20;

// Frees the simplified-API state on every path out.
struct TPngImageHolder {
  png_image fImage;
  TPngImageHolder() {
    std::memset(&fImage, 0, sizeof fImage);
    fImage.version = PNG_IMAGE_VERSION;
  }
  ~TPngImageHolder() { png_image_free(&fImage); }
  TPngImageHolder(const TPngImageHolder &) = delete;
  TPngImageHolder &operator=(const TPngImageHolder &) = delete;
};
} // namespace

std::unique_ptr<TPngImage> DecodePng(const std::uint8_t *Data, std::size_t Size,
                                     std::string &Error) {
  Error.clear();
  if (Data == nullptr || Size < 8 || png_sig_cmp(Data, 0, 8) != 0) {
    Error = "not a PNG image";
    return nullptr;
  }
  TPngImageHolder holder;
  png_image &img = holder.fImage;
  if (!png_image_begin_read_from_memory(&img, Data, Size)) {
    Error = img.message;
    return nullptr;
  }
  if (img.width == 0 || img.height == 0 || std::uint64_t(img.width) * img.height > MaxPixels) {
    Error = "PNG image size out of range";
    return nullptr;
  }
  // 16-bit samples without a gamma or sRGB chunk are sRGB like every other picture, not
  // linear light (which would come out far too bright in 8 bits).
  img.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
  // Byte order B, G, R, A is 0xAARRGGBB read as a little-endian word.
  img.format = std::endian::native == std::endian::little ? PNG_FORMAT_BGRA : PNG_FORMAT_ARGB;
  auto image = std::make_unique<TPngImage>();
  image->fWidth = int(img.width);
  image->fHeight = int(img.height);
  image->fPixels.resize(std::size_t(img.width) * img.height);
  if (!png_image_finish_read(&img, nullptr, image->fPixels.data(), 0, nullptr)) {
    Error = img.message;
    return nullptr;
  }
  return image;
}

std::unique_ptr<TBitmap32> PngToBitmap(const TPngImage &Image) {
  auto bmp = std::make_unique<TBitmap32>(Image.fWidth, Image.fHeight);
  const std::size_t n = Image.fPixels.size();
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint32_t p = Image.fPixels[i];
    const std::uint32_t alpha = p >> 24;
    if (alpha == 255) {
      bmp->fPixels[i] = p;
    } else if (alpha != 0) {
      auto mul = [alpha](std::uint32_t c) { return (c * alpha + 127) / 255; };
      bmp->fPixels[i] = (alpha << 24) | (mul((p >> 16) & 0xFF) << 16) |
                        (mul((p >> 8) & 0xFF) << 8) | mul(p & 0xFF);
    }
  }
  return bmp;
}

} // namespace kelvra
