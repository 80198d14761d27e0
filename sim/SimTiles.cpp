#include "sim/SimTiles.h"

#include <cstring>
#include <vector>

#include "sim/SimPng.h"

namespace kelvra::sim {

namespace {

// A 5 x 7 font for the few characters a tile label needs; each row is 5 bits, high bit left.
struct TGlyph {
  char ch;
  uint8_t rows[7];
};
constexpr TGlyph kFont[] = {
    {'0', {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}},
    {'1', {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E}},
    {'2', {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}},
    {'3', {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E}},
    {'4', {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}},
    {'5', {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E}},
    {'6', {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}},
    {'7', {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08}},
    {'8', {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}},
    {'9', {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C}},
    {'z', {0x00, 0x00, 0x1F, 0x02, 0x04, 0x08, 0x1F}},
    {'x', {0x00, 0x00, 0x11, 0x0A, 0x04, 0x0A, 0x11}},
    {'y', {0x00, 0x00, 0x11, 0x11, 0x0F, 0x01, 0x0E}},
    {'=', {0x00, 0x00, 0x1F, 0x00, 0x1F, 0x00, 0x00}},
    {'/', {0x01, 0x01, 0x02, 0x04, 0x08, 0x10, 0x10}},
};

const TGlyph *FindGlyph(char c) {
  for (auto &g : kFont)
    if (g.ch == c) return &g;
  return nullptr;
}

struct TCanvas {
  std::vector<uint8_t> px = std::vector<uint8_t>(kTileSize * kTileSize * 4);
  void Set(int x, int y, uint8_t r, uint8_t g, uint8_t b) {
    if (x < 0 || y < 0 || x >= kTileSize || y >= kTileSize) return;
    uint8_t *p = &px[(static_cast<size_t>(y) * kTileSize + x) * 4];
    p[0] = r;
    p[1] = g;
    p[2] = b;
    p[3] = 255;
  }
  void Text(int x, int y, const std::string &s, int scale) {
    for (char c : s) {
      if (const TGlyph *g = FindGlyph(c))
        for (int row = 0; row < 7; ++row)
          for (int col = 0; col < 5; ++col)
            if (g->rows[row] & (0x10 >> col))
              for (int dy = 0; dy < scale; ++dy)
                for (int dx = 0; dx < scale; ++dx)
                  Set(x + col * scale + dx, y + row * scale + dy, 40, 40, 60);
      x += 6 * scale;
    }
  }
};

} // namespace

bool TileExists(int64_t z, int64_t x, int64_t y) {
  if (z < 0 || z > kMaxTileZoom) return false;
  int64_t n = int64_t(1) << z;
  return x >= 0 && y >= 0 && x < n && y < n;
}

std::string RenderTile(int64_t z, int64_t x, int64_t y) {
  if (!TileExists(z, x, y)) return {};
  TCanvas c;
  // A pale tint per zoom level, alternating per tile like a chess board so borders show.
  bool odd = ((x + y) & 1) != 0;
  uint8_t r = static_cast<uint8_t>(225 + (z * 37) % 25),
          g = static_cast<uint8_t>(230 + (z * 11) % 20),
          b = static_cast<uint8_t>(215 + (z * 53) % 30);
  if (odd) {
    r = static_cast<uint8_t>(r - 8);
    g = static_cast<uint8_t>(g - 8);
  }
  for (int py = 0; py < kTileSize; ++py)
    for (int px = 0; px < kTileSize; ++px) {
      bool border = px == 0 || py == 0 || px == kTileSize - 1 || py == kTileSize - 1;
      bool grid = px % 32 == 0 || py % 32 == 0;
      if (border)
        c.Set(px, py, 120, 120, 140);
      else if (grid)
        c.Set(px, py, 200, 200, 205);
      else
        c.Set(px, py, r, g, b);
    }
  c.Text(16, 16, "z=" + std::to_string(z), 3);
  c.Text(16, 48, "x=" + std::to_string(x), 3);
  c.Text(16, 80, "y=" + std::to_string(y), 3);
  c.Text(16, 224, std::to_string(z) + "/" + std::to_string(x) + "/" + std::to_string(y), 2);
  return EncodePng(kTileSize, kTileSize, c.px);
}

} // namespace kelvra::sim
