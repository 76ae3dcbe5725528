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

DirPageLayout LayOutDirPage(int dpi, int cx, int topHeight) {
  const auto s = [dpi](int v) { return ScaleLength(v, dpi); };
  DirPageLayout l = {};
  int y = topHeight + s(5);
  l.label = At(s(30), y, s(100), s(20));
  y += s(20);
  l.browse = At(cx - s(118), y, s(88), s(35));
  l.edit = {s(30), y, l.browse.left, l.browse.bottom};  // up to the browse button
  y += s(40);
  l.desktop = At(s(30), y, s(120), s(20));
  l.run = At(s(170), y, s(120), s(20));
  y += s(30) - s(15);
  const TextButtonShape button = TextButton(dpi, true);
  l.cancel = At(cx - s(130), y, button.size.cx, button.size.cy);
  l.install = At(cx - s(240), y, button.size.cx, button.size.cy);
  return l;
}

ProgressPageLayout LayOutProgressPage(int dpi, int cx, int topHeight) {
  const auto s = [dpi](int v) { return ScaleLength(v, dpi); };
  const SkinRect label = At(s(20), topHeight + s(20), s(kProgressLabelWidth), s(kProgressLabelHeight));
  return {label, At(s(20), label.bottom + s(10), cx - s(40), s(10))};
}

FinishPageLayout LayOutFinishPage(int dpi, int cx, int cy, int topHeight) {
  const auto s = [dpi](int v) { return ScaleLength(v, dpi); };
  const TextButtonShape button = TextButton(dpi, false);
  return {At(s(25), topHeight + s(40), s(100), s(20)), At(cx - s(125), cy - s(70), button.size.cx, button.size.cy)};
}

int DialogFontHeight(int dpi) { return -((kDialogPoints * dpi * 2 + 72) / (2 * 72)); }
