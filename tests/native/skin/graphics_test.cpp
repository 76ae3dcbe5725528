#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <vector>

#include "aa_drawings.h"
#include "memory_surface.h"
#include "skin/aa_graphics.h"
#include "skin/premultiply.h"

namespace {

int Channel(Colour c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }

struct Surfaces : ::testing::Test {
  MemorySurface s{kDrawingWidth, kDrawingHeight, kDrawingBackground};
  MemorySurface expected{kDrawingWidth, kDrawingHeight, kDrawingBackground};
  CTGraphics g;

  // Every pixel that differs from the background.
  std::vector<std::pair<int, int>> Painted(const MemorySurface& m) const {
    std::vector<std::pair<int, int>> out;
    for (int y = 0; y < m.height(); ++y)
      for (int x = 0; x < m.width(); ++x)
        if (m.at(x, y) != kDrawingBackground) {
          out.emplace_back(x, y);
        }
    return out;
  }
};

TEST_F(Surfaces, HorizontalLineDrawnBackwardsIsSolidBetweenBothEnds) {
  g.DrawLine(s, 10, 10, 2, 10, kInk);
  for (int x = 0; x < s.width(); ++x) {
    EXPECT_EQ(s.at(x, 10), x >= 2 && x <= 10 ? kInk : kDrawingBackground) << x;
    EXPECT_EQ(s.at(x, 11), kDrawingBackground) << x;
  }
  EXPECT_EQ(Painted(s).size(), 9u);
}

TEST_F(Surfaces, ZeroLengthLineSetsOnePixel) {
  g.DrawLine(s, 7, 8, 7, 8, kInk);
  EXPECT_EQ(Painted(s), (std::vector<std::pair<int, int>>{{7, 8}}));
}

TEST_F(Surfaces, ShallowLineSplitsTheColourOverVerticalPairs) {
  MemorySurface black(20, 10, 0);
  const Colour ink = 0x0030A0F0;
  g.DrawLine(black, 0, 0, 10, 5, ink);
  EXPECT_EQ(black.at(0, 0), ink);
  EXPECT_EQ(black.at(10, 5), ink);
  for (int x = 1; x <= 9; ++x) {
    const int row = x / 2;  // the exact y is x / 2
    for (int shift = 0; shift <= 16; shift += 8) {
      int sum = 0;
      for (int y = 0; y < black.height(); ++y) {
        const int v = Channel(black.at(x, y), shift);
        if (y != row && y != row + 1) {
          EXPECT_EQ(v, 0) << x << "," << y;
        }
        sum += v;
      }
      // Each of the two products truncates on its own.
      EXPECT_LE(sum, Channel(ink, shift)) << x;
      EXPECT_GE(sum, Channel(ink, shift) - 1) << x;
    }
  }
  EXPECT_EQ(black.at(1, 0), 0x00185078u);  // half of the colour, truncated
  EXPECT_EQ(black.at(1, 1), 0x00185078u);
}

TEST_F(Surfaces, RoundRectUsesCornerBoxesOfTheEllipseSizeRoundedDownToEven) {
  g.DrawRoundRect(s, 0, 0, 100, 35, 15, 15, kInk);
  g.DrawLine(expected, 7, 0, 93, 0, kInk);
  g.DrawArc(expected, 86, 0, 100, 14, 270, 360, kInk);
  g.DrawLine(expected, 100, 7, 100, 28, kInk);
  g.DrawArc(expected, 86, 21, 100, 35, 0, 90, kInk);
  g.DrawLine(expected, 93, 35, 7, 35, kInk);
  g.DrawArc(expected, 0, 21, 14, 35, 90, 180, kInk);
  g.DrawLine(expected, 0, 28, 0, 7, kInk);
  g.DrawArc(expected, 0, 0, 14, 14, 180, 270, kInk);
  EXPECT_EQ(s.pixels(), expected.pixels());
  EXPECT_EQ(s.at(0, 0), kDrawingBackground);
  EXPECT_EQ(s.at(100, 35), kDrawingBackground);
  EXPECT_EQ(s.at(50, 35), kInk);  // right and bottom are drawn on
  EXPECT_EQ(s.at(100, 17), kInk);
}

TEST_F(Surfaces, RoundRectTooSmallForItsCornersIsTheInscribedEllipse) {
  struct Box {
    int left, top, right, bottom;
  };
  for (const Box b : {Box{20, 5, 33, 50}, Box{5, 20, 100, 33}}) {
    MemorySurface a(kDrawingWidth, kDrawingHeight, kDrawingBackground);
    MemorySurface e(kDrawingWidth, kDrawingHeight, kDrawingBackground);
    g.DrawRoundRect(a, b.left, b.top, b.right, b.bottom, 15, 15, kInk);
    g.DrawEllipse(e, b.left, b.top, b.right, b.bottom, kInk);
    EXPECT_EQ(a.pixels(), e.pixels()) << b.left << "," << b.top;
    EXPECT_NE(a.pixels(), std::vector<Colour>(a.pixels().size(), kDrawingBackground));
  }
}

TEST_F(Surfaces, QuarterArcStaysInItsQuadrant) {
  g.DrawArc(s, 86, 0, 100, 14, 270, 360, kInk);
  const auto painted = Painted(s);
  ASSERT_GT(painted.size(), 10u);
  for (const auto& [x, y] : painted) {
    EXPECT_GE(x, 93) << x << "," << y;
    EXPECT_LE(y, 7) << x << "," << y;
  }
  EXPECT_EQ(s.at(93, 0), kInk);  // the top of the ellipse
}

TEST_F(Surfaces, ArcOverFourQuadrantsAndMoreIsDrawnInFivePieces) {
  g.DrawArc(s, 10, 10, 50, 40, 0, 450, kInk);
  for (float a = 0; a < 450; a += 90) g.DrawArc(expected, 10, 10, 50, 40, a, a + 90, kInk);
  EXPECT_EQ(s.pixels(), expected.pixels());
  int quadrants[4] = {};
  for (const auto& [x, y] : Painted(s)) ++quadrants[(x < 30 ? 1 : 0) + (y < 25 ? 2 : 0)];
  for (int q : quadrants) EXPECT_GT(q, 10);
}

TEST_F(Surfaces, ArcsThatDrawNothing) {
  g.DrawArc(s, 10, 10, 50, 40, 90, 90, kInk);    // ends where it starts
  g.DrawArc(s, 10, 10, 50, 40, 200, 150, kInk);  // ends before it starts
  g.DrawArc(s, 10, 10, 50, 40, -30, 60, kInk);   // first piece below its quadrant
  EXPECT_TRUE(Painted(s).empty());
}

TEST(Premultiply, ScalesColourByAlphaTruncating) {
  struct Case {
    std::uint8_t in[4], out[4];
  };
  const Case cases[] = {
      {{200, 100, 50, 128}, {100, 50, 25, 128}},
      {{255, 17, 1, 0}, {0, 0, 0, 0}},
      {{9, 200, 255, 255}, {9, 200, 255, 255}},
      {{255, 255, 254, 1}, {1, 1, 0, 1}},
  };
  // One column of pixels, stored bottom-up: a negative pitch.
  std::vector<std::uint8_t> image;
  for (const Case& c : cases) image.insert(image.begin(), c.in, c.in + 4);
  const int n = static_cast<int>(std::size(cases));
  PremultiplyBgra(image.data() + (n - 1) * 4, 1, n, -4);
  for (int i = 0; i < n; ++i) {
    const std::uint8_t* p = image.data() + (n - 1 - i) * 4;
    EXPECT_EQ(std::vector<int>(p, p + 4), std::vector<int>(cases[i].out, cases[i].out + 4)) << i;
  }
}

}  // namespace
