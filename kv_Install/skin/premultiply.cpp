#include "skin/premultiply.h"

#include <cstddef>

void PremultiplyBgra(std::uint8_t* bits, int width, int height, int pitch) {
  for (int x = 0; x < width; ++x) {
    for (int y = 0; y < height; ++y) {
      std::uint8_t* p = bits + static_cast<std::ptrdiff_t>(y) * pitch + static_cast<std::ptrdiff_t>(x) * 4;
      const unsigned a = p[3];
      for (int c = 0; c < 3; ++c) p[c] = static_cast<std::uint8_t>(p[c] * a / 255u);
    }
  }
}
