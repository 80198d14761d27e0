#pragma once
// PNG pictures made at test time.
#include <cstdint>
#include <vector>

namespace kelvra::test {

// A PNG of the given size filled with one colour (0xAARRGGBB, straight alpha).
std::vector<std::uint8_t> MakePng(std::uint32_t Argb, int Width = 256, int Height = 256);
// A PNG of these pixels (Width x Height, top row first, 0xAARRGGBB).
std::vector<std::uint8_t> MakePng(const std::vector<std::uint32_t> &Pixels, int Width, int Height);

} // namespace kelvra::test
