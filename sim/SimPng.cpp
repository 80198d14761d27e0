#include "sim/SimPng.h"

#include <csetjmp>
#include <memory>

#include <png.h>

namespace kelvra::sim {

namespace {
void AppendBytes(png_structp png, png_bytep data, png_size_t len) {
  auto *out = static_cast<std::string *>(png_get_io_ptr(png));
  out->append(reinterpret_cast<const char *>(data), len);
}
void NoFlush(png_structp) {}

// Owns the libpng write structures for one encoding.
struct TPngWriter {
  png_structp png = nullptr;
  png_infop info = nullptr;
  TPngWriter() {
    png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png) info = png_create_info_struct(png);
  }
  ~TPngWriter() { png_destroy_write_struct(&png, info ? &info : nullptr); }
  TPngWriter(const TPngWriter &) = delete;
  TPngWriter &operator=(const TPngWriter &) = delete;
};
} // namespace

std::string EncodePng(int width, int height, const std::vector<uint8_t> &rgba) {
  if (width <= 0 || height <= 0 || rgba.size() != static_cast<size_t>(width) * height * 4)
    return {};
  std::string out;
  TPngWriter w;
  if (!w.png || !w.info) return {};
  std::vector<png_bytep> rows(static_cast<size_t>(height));
  for (int y = 0; y < height; ++y)
    rows[static_cast<size_t>(y)] =
        const_cast<png_bytep>(rgba.data() + static_cast<size_t>(y) * width * 4);
  if (setjmp(png_jmpbuf(w.png))) return {};
  png_set_write_fn(w.png, &out, AppendBytes, NoFlush);
  png_set_IHDR(w.png, w.info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(w.png, 6);
  png_set_rows(w.png, w.info, rows.data());
  png_write_png(w.png, w.info, PNG_TRANSFORM_IDENTITY, nullptr);
  return out;
}

} // namespace kelvra::sim
