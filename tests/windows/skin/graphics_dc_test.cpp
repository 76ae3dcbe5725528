// The anti-aliased drawing through GetPixel/SetPixel on a real device
// context gives exactly what the memory surface of the native tests gets.
#include <gtest/gtest.h>

#include "aa_drawings.h"
#include "graphics_canvas.h"
#include "memory_surface.h"
#include "skin/dc_surface.h"

namespace {

TEST(GraphicsOnDc, EveryDrawingMatchesTheMemorySurfacePixelForPixel) {
  for (const Drawing& d : kDrawings) {
    MemorySurface memory(kDrawingWidth, kDrawingHeight, kDrawingBackground);
    DibCanvas canvas(kDrawingWidth, kDrawingHeight, kDrawingBackground);
    DcSurface surface(canvas.dc());
    d.draw(memory);
    d.draw(surface);
    int differing = 0;
    for (int y = 0; y < kDrawingHeight; ++y) {
      for (int x = 0; x < kDrawingWidth; ++x) {
        if (canvas.at(x, y) != memory.at(x, y) && differing++ < 5) {
          ADD_FAILURE() << d.name << " at " << x << "," << y << ": dc " << std::hex << canvas.at(x, y)
                        << " memory " << memory.at(x, y);
        }
      }
    }
    EXPECT_EQ(differing, 0) << d.name;
  }
}

}  // namespace
