#include "support/TestPng.h"

#include <png.h>

#include <bit>
#include <cstring>
#include <stdexcept>

namespace kelvra::test {

std::vector<std::uint8_t> MakePng(std::uint32_t Argb, int Width, int Height) {
  return MakePng(std::vector<std::uint32_t>(std::size_t(Width) * Height, Argb), Width, Height);
}

std::vector<std::uint8_t> MakePng(const std::vector<std::uint32_t> &pixels, int Width, int Height) {
  png_image img;
  std::memset(&img, 0, sizeof img);
  img.version = PNG_IMAGE_VERSION;
  img.width = png_uint_32(Width);
  img.height = png_uint_32(Height);
  img.format = std::endian::native == std::endian::little ? PNG_FORMAT_BGRA : PNG_FORMAT_ARGB;
  png_alloc_size_t size = 0;
  if (!png_image_write_to_memory(&img, nullptr, &size, 0, pixels.data(), 0, nullptr))
    throw std::runtime_error(img.message);
  std::vector<std::uint8_t> out(size);
  if (!png_image_write_to_memory(&img, out.data(), &size, 0, pixels.data(), 0, nullptr))
    throw std::runtime_error(img.message);
  out.resize(size);
  return out;
}

} // namespace kelvra::test
