#include "core/client/JpegImage.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>
// After jpeglib.h, which it needs.
#include <jerror.h>

namespace kelvra {

namespace {

// Pictures larger than this are refused rather than allocated.
constexpr std::uint64_t kMaxPixels = 64ull * 1024 * 1024;
// Each 8 x 8 block of a Huffman-coded picture costs at least a bit in the file, so a whole
// picture has at most a few hundred pixels per byte. A header claiming far more belongs to
// damaged or made-up data that would be decoded (arithmetic coding fills missing data with
// zeros without a warning) into hundreds of megabytes of nothing.
constexpr std::uint64_t kMaxPixelsPerByte = 4096;

struct TJpegError {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

extern "C" void JpegErrorExit(j_common_ptr cinfo) {
  auto *err = reinterpret_cast<TJpegError *>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

// A warning means damaged data (a file cut short, bytes lost before a marker, a bad code):
// libjpeg would carry on and fill the rest with grey, so it is refused like an error and
// a cached photo is fetched again instead of being shown half grey. Only the unknown JFIF
// revision says nothing about the pixels.
extern "C" void JpegMessage(j_common_ptr cinfo, int msg_level) {
  if (msg_level < 0 && cinfo->err->msg_code != JWRN_JFIF_MAJOR) JpegErrorExit(cinfo);
}

// A damaged progressive picture can hold thousands of tiny scans, each a pass over the whole
// picture; real ones have about ten.
constexpr long kMaxScans = 256;

struct TJpegProgress {
  jpeg_progress_mgr pub;
};

extern "C" void JpegProgress(j_common_ptr cinfo) {
  if (cinfo->is_decompressor) {
    auto *d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > kMaxScans) {
      auto *err = reinterpret_cast<TJpegError *>(cinfo->err);
      std::snprintf(err->message, sizeof err->message, "too many scans in the picture");
      std::longjmp(err->jump, 1);
    }
  }
}

// Everything the decoder touches between setjmp and a possible longjmp is plain
// data owned by the caller, so the jump skips no destructor. Colour pictures come out
// as RGB, print pictures (CMYK, YCCK) as CMYK with `components` 4.
bool DecodeInto(const std::uint8_t *data, std::size_t size, jpeg_decompress_struct &cinfo,
                TJpegError &jerr, std::vector<std::uint8_t> &pixels, int &width, int &height,
                int &components) {
  TJpegProgress progress{};
  progress.pub.progress_monitor = JpegProgress;
  if (setjmp(jerr.jump)) return false;
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  jpeg_read_header(&cinfo, TRUE);
  // Refused before decoding starts: a progressive picture is read whole (every scan) by
  // jpeg_start_decompress, so a few hundred bytes claiming a huge size would cost seconds.
  const std::uint64_t claimed = std::uint64_t(cinfo.image_width) * std::uint64_t(cinfo.image_height);
  if (claimed > kMaxPixels) {
    std::snprintf(jerr.message, sizeof jerr.message, "unsupported picture size or format");
    return false;
  }
  if (claimed > std::uint64_t(size) * kMaxPixelsPerByte) {
    std::snprintf(jerr.message, sizeof jerr.message, "picture data too short for its size");
    return false;
  }
  const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  cinfo.progress = &progress.pub;
  jpeg_start_decompress(&cinfo);
  width = static_cast<int>(cinfo.output_width);
  height = static_cast<int>(cinfo.output_height);
  components = cinfo.output_components;
  if (width <= 0 || height <= 0 || std::uint64_t(width) * std::uint64_t(height) > kMaxPixels ||
      components != (cmyk ? 4 : 3)) {
    std::snprintf(jerr.message, sizeof jerr.message, "unsupported picture size or format");
    return false;
  }
  const std::size_t stride = std::size_t(width) * std::size_t(components);
  pixels.resize(stride * std::size_t(height));
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = pixels.data() + std::size_t(cinfo.output_scanline) * stride;
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_decompress(&cinfo);
  return true;
}

// CMYK to RGB as image viewers do it without a colour profile: each channel is what the
// ink and the black leave of the paper. CMYK JPEGs carry the values inverted, as Adobe's
// programs write them (255 is no ink); viewers read every CMYK JPEG that way.
std::uint32_t CmykToRgb(const std::uint8_t *p) {
  const std::uint32_t k = p[3];
  auto channel = [k](std::uint32_t c) { return (c * k + 127) / 255; };
  return 0xFF000000u | (channel(p[0]) << 16) | (channel(p[1]) << 8) | channel(p[2]);
}

} // namespace

std::unique_ptr<TBitmap32> DecodeJpeg(const std::uint8_t *data, std::size_t size,
                                      std::string &error) {
  if (!data || size == 0) {
    error = "empty picture";
    return nullptr;
  }
  jpeg_decompress_struct cinfo{};
  TJpegError jerr{};
  cinfo.err = jpeg_std_error(&jerr.pub);
  jerr.pub.error_exit = JpegErrorExit;
  jerr.pub.emit_message = JpegMessage;
  jpeg_create_decompress(&cinfo);
  std::vector<std::uint8_t> pixels;
  int width = 0, height = 0, components = 0;
  const bool ok = DecodeInto(data, size, cinfo, jerr, pixels, width, height, components);
  jpeg_destroy_decompress(&cinfo);
  if (!ok) {
    error = jerr.message[0] ? jerr.message : "bad JPEG data";
    return nullptr;
  }
  auto bmp = std::make_unique<TBitmap32>(width, height);
  const std::uint8_t *src = pixels.data();
  for (std::uint32_t &px : bmp->fPixels) {
    px = components == 4
             ? CmykToRgb(src)
             : 0xFF000000u | (std::uint32_t(src[0]) << 16) | (std::uint32_t(src[1]) << 8) | src[2];
    src += components;
  }
  return bmp;
}

} // namespace kelvra
