#include "sim/SimPng.h"

#include <csetjmp>
#include <cstdlib>
#include <memory>

#include <png.h>
// jpeglib.h needs FILE and size_t declared first
#include <cstdio>
#include <jpeglib.h>

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

std::string EncodeJpeg(int width, int height, const std::vector<uint8_t> &rgba, int quality) {
  if (width <= 0 || height <= 0 || rgba.size() != static_cast<size_t>(width) * height * 4)
    return {};
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char *mem = nullptr;
  unsigned long memSize = 0;
  jpeg_mem_dest(&cinfo, &mem, &memSize);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, quality, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
  while (cinfo.next_scanline < cinfo.image_height) {
    const uint8_t *src = &rgba[static_cast<size_t>(cinfo.next_scanline) * width * 4];
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 3; ++c)
        row[static_cast<size_t>(x) * 3 + c] = src[x * 4 + c];
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::string out(reinterpret_cast<const char *>(mem), memSize);
  jpeg_destroy_compress(&cinfo);
  std::free(mem);
  return out;
}

} // namespace kelvra::sim
