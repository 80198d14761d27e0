// PNG decoding of bit depths and colour types the way image viewers show them.
#include "core/map/PngImage.h"

#include <png.h>

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace kelvra {
namespace {

// A PNG written with libpng's full API, so that its bit depth and chunks are exactly chosen.
// `samples` holds the rows one after the other, big-endian for 16 bits as PNG stores them.
std::vector<std::uint8_t> MakePng(int width, int height, int bitDepth, int colorType,
                                  const std::vector<std::uint8_t> &samples, double fileGamma) {
  std::vector<std::uint8_t> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t n) {
        auto *o = static_cast<std::vector<std::uint8_t> *>(png_get_io_ptr(p));
        o->insert(o->end(), data, data + n);
      },
      nullptr);
  png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), bitDepth, colorType,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (fileGamma > 0) png_set_gAMA(png, info, fileGamma);
  png_write_info(png, info);
  const std::size_t stride = samples.size() / std::size_t(height);
  for (int y = 0; y < height; ++y)
    png_write_row(png, samples.data() + std::size_t(y) * stride);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

struct TPngCase {
  const char *name;
  int bitDepth, colorType;
  std::vector<std::uint8_t> samples; // two pixels in one row
  double fileGamma;                  // 0: no gAMA chunk
  std::uint32_t want[2];             // 0xAARRGGBB
};

class PngDecode : public testing::TestWithParam<TPngCase> {};

// Expected pixels are what ImageMagick shows for the same files (`convert f.png -depth 8
// txt:-`), within one step of rounding from 16 to 8 bits.
TEST_P(PngDecode, PixelsAsViewersShowThem) {
  const TPngCase &c = GetParam();
  const auto data = MakePng(2, 1, c.bitDepth, c.colorType, c.samples, c.fileGamma);
  std::string error;
  auto image = DecodePng(data.data(), data.size(), error);
  ASSERT_TRUE(image) << error;
  ASSERT_EQ(image->fPixels.size(), 2u);
  for (int i = 0; i < 2; ++i)
    for (int shift : {0, 8, 16, 24}) {
      const int got = int((image->fPixels[i] >> shift) & 0xFF);
      const int want = int((c.want[i] >> shift) & 0xFF);
      EXPECT_NEAR(got, want, 1) << "pixel " << i << " byte " << shift / 8 << std::hex << " got "
                                << image->fPixels[i];
    }
}

INSTANTIATE_TEST_SUITE_P(
    Depths, PngDecode,
    testing::Values(
        // 16-bit samples without a gamma chunk are sRGB: 0x3838 is 0x38, not 128.
        TPngCase{"Untagged16BitRgb",
                 16,
                 PNG_COLOR_TYPE_RGB,
                 {0x38, 0x38, 0, 0, 0xFF, 0xFF, 0x80, 0x00, 0x12, 0x34, 0xC0, 0xC0},
                 0,
                 {0xFF3800FF, 0xFF7F12C0}},
        TPngCase{"Untagged16BitGreyAlpha",
                 16,
                 PNG_COLOR_TYPE_GRAY_ALPHA,
                 {0x38, 0x38, 0xFF, 0xFF, 0x80, 0x00, 0x80, 0x00},
                 0,
                 {0xFF383838, 0x807F7F7F}},
        TPngCase{"EightBitRgb",
                 8,
                 PNG_COLOR_TYPE_RGB,
                 {0x38, 0, 0xFF, 0x80, 0x12, 0xC0},
                 0,
                 {0xFF3800FF, 0xFF8012C0}},
        // A file that says its samples are linear light is converted for the screen:
        // 0x3838 of linear light is sRGB 129.
        TPngCase{"Linear16BitTagged",
                 16,
                 PNG_COLOR_TYPE_RGB,
                 {0x38, 0x38, 0, 0, 0xFF, 0xFF, 0x38, 0x38, 0, 0, 0xFF, 0xFF},
                 1.0,
                 {0xFF8100FF, 0xFF8100FF}}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
} // namespace kelvra
