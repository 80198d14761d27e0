#pragma once
// PNG encoding of plain RGBA pixels for tiles and generated photos.
#include <cstdint>
#include <string>
#include <vector>

namespace kelvra::sim {

// rgba holds width * height * 4 bytes, rows top to bottom. Returns the PNG file bytes, empty on
// failure.
std::string EncodePng(int width, int height, const std::vector<uint8_t> &rgba);

} // namespace kelvra::sim
