#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <jpeglib.h>

#include <gtest/gtest.h>

#include "core/client/JpegImage.h"

namespace kelvra {
namespace {

// A small baseline JPEG made with the library itself. `pixel` fills the `components` samples
// of one pixel; `space` is the colour space stored in the file.
std::vector<std::uint8_t>
MakeJpeg(int width, int height, int components, J_COLOR_SPACE in, J_COLOR_SPACE space,
         const std::function<void(int x, int y, std::uint8_t *px)> &pixel) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char *buf = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buf, &size);
  cinfo.image_width = width;
  cinfo.image_height = height;
  cinfo.input_components = components;
  cinfo.in_color_space = in;
  jpeg_set_defaults(&cinfo);
  jpeg_set_colorspace(&cinfo, space);
  jpeg_set_quality(&cinfo, 95, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<std::uint8_t> row(std::size_t(width) * components);
  while (cinfo.next_scanline < cinfo.image_height) {
    for (int x = 0; x < width; ++x)
      pixel(x, int(cinfo.next_scanline), &row[std::size_t(x) * components]);
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<std::uint8_t> out(buf, buf + size);
  jpeg_destroy_compress(&cinfo);
  std::free(buf);
  return out;
}

// Left half red, right half blue.
std::vector<std::uint8_t> MakeJpeg(int width, int height) {
  return MakeJpeg(width, height, 3, JCS_RGB, JCS_YCbCr, [width](int x, int, std::uint8_t *px) {
    const bool left = x < width / 2;
    px[0] = left ? 255 : 0;
    px[1] = 0;
    px[2] = left ? 0 : 255;
  });
}

TEST(JpegImage, DecodesOpaquePixels) {
  const auto data = MakeJpeg(32, 16);
  std::string error;
  auto bmp = DecodeJpeg(data.data(), data.size(), error);
  ASSERT_TRUE(bmp) << error;
  EXPECT_EQ(bmp->fWidth, 32);
  EXPECT_EQ(bmp->fHeight, 16);
  const std::uint32_t left = bmp->fPixels[8 * 32 + 4];
  const std::uint32_t right = bmp->fPixels[8 * 32 + 28];
  EXPECT_EQ(left >> 24, 0xFFu);
  EXPECT_GT((left >> 16) & 0xFF, 200u); // red
  EXPECT_LT(left & 0xFF, 60u);
  EXPECT_GT(right & 0xFF, 200u); // blue
  EXPECT_LT((right >> 16) & 0xFF, 60u);
}

TEST(JpegImage, RefusesDataThatIsNoJpeg) {
  const std::string cases[] = {"", "not a jpeg at all", std::string("\xFF\xD8\xFF\xE0", 4)};
  for (const std::string &bytes : cases) {
    std::string error;
    EXPECT_FALSE(
        DecodeJpeg(reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size(), error))
        << bytes.size();
    EXPECT_FALSE(error.empty());
  }
}

// Print pictures: CMYK stored as Adobe's programs write it (inverted, 255 is no ink), also
// transformed to YCCK. Left half red ink (M and Y full), right half cyan with a quarter black.
// The expected colours are what ImageMagick shows for the same files
// (`convert f.jpg -colorspace sRGB txt:-`): (255,0,0) and (0,191,191).
class CmykJpeg : public testing::TestWithParam<J_COLOR_SPACE> {};

TEST_P(CmykJpeg, ComesOutAsRgb) {
  const auto data = MakeJpeg(16, 8, 4, JCS_CMYK, GetParam(), [](int x, int, std::uint8_t *px) {
    const std::uint8_t red[4] = {0, 255, 255, 0}, cyan[4] = {255, 0, 0, 64};
    for (int k = 0; k < 4; ++k)
      px[k] = std::uint8_t(255 - (x < 8 ? red : cyan)[k]);
  });
  std::string error;
  auto bmp = DecodeJpeg(data.data(), data.size(), error);
  ASSERT_TRUE(bmp) << error;
  ASSERT_EQ(bmp->fWidth, 16);
  const auto near = [](std::uint32_t got, std::uint32_t want) {
    for (int shift : {0, 8, 16})
      if (std::abs(int((got >> shift) & 0xFF) - int((want >> shift) & 0xFF)) > 2) return false;
    return (got >> 24) == 0xFF;
  };
  EXPECT_PRED2(near, bmp->fPixels[4 * 16 + 2], 0xFFFF0000u) << std::hex << bmp->fPixels[4 * 16 + 2];
  EXPECT_PRED2(near, bmp->fPixels[4 * 16 + 13], 0xFF00BFBFu)
      << std::hex << bmp->fPixels[4 * 16 + 13];
}

INSTANTIATE_TEST_SUITE_P(PrintColours, CmykJpeg, testing::Values(JCS_CMYK, JCS_YCCK),
                         [](const auto &info) { return info.param == JCS_CMYK ? "Cmyk" : "Ycck"; });

// Damaged files that libjpeg would still turn into a picture, with grey where data is missing.
TEST(JpegImage, RefusesDamagedData) {
  // Enough detail that the picture's data runs over many bytes.
  const auto whole = MakeJpeg(64, 64, 3, JCS_RGB, JCS_YCbCr, [](int x, int y, std::uint8_t *px) {
    px[0] = std::uint8_t(x * 4), px[1] = std::uint8_t(y * 4), px[2] = std::uint8_t((x ^ y) * 4);
  });
  std::string error;
  ASSERT_TRUE(DecodeJpeg(whole.data(), whole.size(), error)) << error;
  ASSERT_EQ(whole[whole.size() - 2], 0xFF); // ends with the EOI marker
  ASSERT_EQ(whole[whole.size() - 1], 0xD9);

  std::vector<std::uint8_t> cutShort(whole.begin(), whole.begin() + long(whole.size() * 6 / 10));
  // Two stray bytes in front of the start-of-scan marker.
  std::vector<std::uint8_t> strayBytes = whole;
  const std::uint8_t sos[] = {0xFF, 0xDA};
  const auto at = std::search(strayBytes.begin(), strayBytes.end(), sos, sos + 2);
  ASSERT_NE(at, strayBytes.end());
  strayBytes.insert(at, {0x12, 0x34});
  const struct {
    const char *name;
    const std::vector<std::uint8_t> &bytes;
    const char *reason;
  } cases[] = {{"CutShort", cutShort, "Premature end of JPEG file"},
               {"BytesBeforeMarker", strayBytes, "extraneous bytes before marker"}};
  for (const auto &c : cases) {
    error.clear();
    EXPECT_FALSE(DecodeJpeg(c.bytes.data(), c.bytes.size(), error)) << c.name;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
  }
}

// A header that claims a picture far larger than its data could hold is refused before anything
// is allocated or decoded; a real picture of one colour, which compresses best, still decodes.
TEST(JpegImage, SizeMustFitTheData) {
  const auto plain = MakeJpeg(2048, 2048, 3, JCS_RGB, JCS_YCbCr, [](int, int, std::uint8_t *px) {
    px[0] = 40, px[1] = 90, px[2] = 200;
  });
  std::string error;
  const auto bmp = DecodeJpeg(plain.data(), plain.size(), error);
  ASSERT_TRUE(bmp) << error << " (" << plain.size() << " bytes)";
  EXPECT_EQ(bmp->fWidth, 2048);

  // The same small picture with a start-of-frame claiming 7000 x 7000 pixels.
  auto claimed = MakeJpeg(64, 64);
  const std::uint8_t sof[] = {0xFF, 0xC0};
  const auto at = std::search(claimed.begin(), claimed.end(), sof, sof + 2);
  ASSERT_NE(at, claimed.end());
  const std::size_t dims = std::size_t(at - claimed.begin()) + 5; // after length and precision
  claimed[dims] = 7000 >> 8, claimed[dims + 1] = 7000 & 0xFF;
  claimed[dims + 2] = 7000 >> 8, claimed[dims + 3] = 7000 & 0xFF;
  error.clear();
  EXPECT_FALSE(DecodeJpeg(claimed.data(), claimed.size(), error));
  EXPECT_EQ(error, "picture data too short for its size");
}

} // namespace
} // namespace kelvra
