#include "skin/skin_scale.h"

namespace {

constexpr int kWindowWidth = 688;
constexpr int kWindowHeight = 367;
constexpr int kCaptionHeight = 43;
constexpr int kDialogPoints = 8;
// The progress page's label, as the template makes it at 96 dpi.
constexpr int kProgressLabelWidth = 150;
constexpr int kProgressLabelHeight = 16;

SkinRect At(int x, int y, int cx, int cy) { return {x, y, x + cx, y + cy}; }

}  // namespace

int ScaleLength(int length, int dpi) { return (length * dpi * 2 + kBaseDpi) / (2 * kBaseDpi); }

SkinRect ScaleRect(int x, int y, int cx, int cy, int dpi) {
  return At(ScaleLength(x, dpi), ScaleLength(y, dpi), ScaleLength(cx, dpi), ScaleLength(cy, dpi));
}

int PictureSetHalves(int dpi) { return dpi <= kBaseDpi ? 2 : dpi <= kBaseDpi * 3 / 2 ? 3 : 4; }

int SkinPictureId(int id1x, int dpi) { return id1x + (PictureSetHalves(dpi) - 2) * 1000; }

SkinSize MainWindowSize(int dpi) { return {ScaleLength(kWindowWidth, dpi), ScaleLength(kWindowHeight, dpi)}; }

int FitDpi(int dpi, int workWidth, int workHeight) {
  for (int step = dpi; step > kBaseDpi; step = (step - 1) / 24 * 24) {
    const SkinSize size = MainWindowSize(step);
    if (size.cx <= workWidth && size.cy <= workHeight) return step;
  }
  return kBaseDpi;
}

MainLayout LayOutMainWindow(int dpi, int width, SkinSize closeButton) {
  const int caption = ScaleLength(kCaptionHeight, dpi);
  const int x = width - ScaleLength(13, dpi) - closeButton.cx;
  const int y = (caption - closeButton.cy) / 2;
  return {caption, At(x, y, closeButton.cx, closeButton.cy), ScaleLength(20, dpi)};
}

TextButtonShape TextButton(int dpi, bool rounded) {
  return {{ScaleLength(100, dpi), ScaleLength(35, dpi)}, rounded ? ScaleLength(15, dpi) : 0};
}

FocusCue FocusCueAt(int dpi) { return {ScaleLength(3, dpi), ScaleLength(1, dpi)}; }

// Edges are scaled from their 96-dpi distance to the top image or to the
// right edge, so roundings never add up.
DirPageLayout LayOutDirPage(int dpi, int cx, int topHeight) {
  const auto s = [dpi](int v) { return ScaleLength(v, dpi); };
  const auto band = [&](int left, int right, int top, int bottom) {
    return SkinRect{left, topHeight + s(top), right, topHeight + s(bottom)};
  };
  DirPageLayout l = {};
  l.label = band(s(30), s(130), 5, 25);
  l.edit = band(s(30), cx - s(118), 25, 60);  // up to the browse button
  l.browse = band(cx - s(118), cx - s(30), 25, 60);
  l.desktop = band(s(30), s(150), 65, 85);
  l.run = band(s(170), s(290), 65, 85);
  l.install = band(cx - s(240), cx - s(140), 80, 115);
  l.cancel = band(cx - s(130), cx - s(30), 80, 115);
  return l;
}

ProgressPageLayout LayOutProgressPage(int dpi, int cx, int topHeight) {
  const auto s = [dpi](int v) { return ScaleLength(v, dpi); };
  const int label = topHeight + s(20);
  return {{s(20), label, s(20 + kProgressLabelWidth), label + s(kProgressLabelHeight)},
          {s(20), topHeight + s(30 + kProgressLabelHeight), cx - s(20), topHeight + s(40 + kProgressLabelHeight)}};
}

FinishPageLayout LayOutFinishPage(int dpi, int cx, int cy, int topHeight) {
  const auto s = [dpi](int v) { return ScaleLength(v, dpi); };
  const TextButtonShape button = TextButton(dpi, false);
  return {At(s(25), topHeight + s(40), s(100), s(20)), At(cx - s(125), cy - s(70), button.size.cx, button.size.cy)};
}

int DialogFontHeight(int dpi) { return -((kDialogPoints * dpi * 2 + 72) / (2 * 72)); }
