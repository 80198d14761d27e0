#pragma once
// PNG and JPEG encoding of plain RGBA pixels for tiles and generated photos.
#include <cstdint>
#include <string>
#include <vector>

namespace kelvra::sim {

// rgba holds width * height * 4 bytes, rows top to bottom. Returns the PNG file bytes, empty on
// failure.
std::string EncodePng(int width, int height, const std::vector<uint8_t> &rgba);
// The same pixels as a baseline JPEG of the given quality (1..100); alpha is dropped.
std::string EncodeJpeg(int width, int height, const std::vector<uint8_t> &rgba, int quality = 85);

} // namespace kelvra::sim
