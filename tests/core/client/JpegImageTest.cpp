#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <jpeglib.h>

#include <gtest/gtest.h>

#include "core/client/JpegImage.h"

namespace kelvra {
namespace {

// A small baseline JPEG made with the library itself: left half red, right half blue.
std::vector<std::uint8_t> MakeJpeg(int width, int height) {
  jpeg_compress_struct cinfo{};
  jpeg_error_mgr jerr{};
  cinfo.err = jpeg_std_error(&jerr);
  jpeg_create_compress(&cinfo);
  unsigned char *buf = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buf, &size);
  cinfo.image_width = width;
  cinfo.image_height = height;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<std::uint8_t> row(width * 3);
  for (int x = 0; x < width; ++x) {
    const bool left = x < width / 2;
    row[x * 3] = left ? 255 : 0;
    row[x * 3 + 1] = 0;
    row[x * 3 + 2] = left ? 0 : 255;
  }
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW r = row.data();
    jpeg_write_scanlines(&cinfo, &r, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<std::uint8_t> out(buf, buf + size);
  jpeg_destroy_compress(&cinfo);
  std::free(buf);
  return out;
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

} // namespace
} // namespace kelvra
