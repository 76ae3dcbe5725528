#include "skin/button_rules.h"

int SelectButtonState(int mode, bool hover, unsigned itemState, int* latched, int current) {
  const bool selected = (itemState & kItemSelected) != 0;
  const bool focused = (itemState & kItemFocus) != 0;
  if (mode == 0) {
    if (hover && !selected) return BUTTON_STATE_HOVER;
    if (hover && selected && focused) return BUTTON_STATE_PRESSED;
    return BUTTON_STATE_NORMAL;
  }
  if (mode == 1) {
    if ((focused && hover) || *latched != 0) {
      *latched = 1;
      return BUTTON_STATE_LATCHED;
    }
    return BUTTON_STATE_NORMAL;
  }
  return current;
}

bool ShowsFocusCue(unsigned itemState, unsigned uiState) {
  return (itemState & kItemFocus) != 0 && (itemState & kItemNoFocusRect) == 0 && (uiState & kUiHideFocus) == 0;
}

OutlineRing InnerRing(SkinRect r, int cornerSize, int inset, int ring) {
  const int d = inset + ring;
  const int corner = cornerSize - 2 * d;
  OutlineRing out = {{r.left + d, r.top + d, r.right - 1 - d, r.bottom - 1 - d}, corner > 0 ? corner : 0};
  if (out.rect.right <= out.rect.left || out.rect.bottom <= out.rect.top) out.rect = {0, 0, 0, 0};
  return out;
}

CaptionPlacement PlacePngCaption(int textPos, SkinRect item, SkinSize text, int normalFaceWidth) {
  const int width = item.right - item.left;
  const int height = item.bottom - item.top;
  CaptionPlacement p = {CaptionKind::None, item, 0, 0};
  if (textPos == -2) {
    p.kind = CaptionKind::Centred;
  } else if (textPos == -1) {
    p.kind = CaptionKind::BelowCentre;
    p.rect.left = item.left + (width - text.cx / 2) / 2;
    p.rect.right = p.rect.left + text.cx / 2;
    p.rect.top = item.top + height / 2 + 5;
    p.rect.bottom = p.rect.top + 2 * text.cy;
  } else if (textPos > 0) {
    p.kind = CaptionKind::BesideFace;
    p.x = item.left + normalFaceWidth + textPos;
    p.y = item.top + height / 2 - text.cy / 2;
  }
  return p;
}

int PngFaceTop(SkinRect item, bool hasHoverFace, int hoverFaceHeight) {
  return hasHoverFace ? (item.bottom - hoverFaceHeight - item.top) / 2 : 0;
}

bool PngButtonSize(bool hasCaption, SkinSize text, bool hasFace, SkinSize face, SkinSize* size) {
  if (!hasCaption && !hasFace) return false;
  if (!hasCaption) text = {0, 0};
  size->cx = text.cx + (hasCaption && hasFace ? 10 : 0);
  if (hasFace) {
    size->cx += face.cx;
    size->cy = text.cy > face.cy ? text.cy : face.cy;
  } else {
    size->cy = text.cy;
  }
  return true;
}

ArcShape ArcButtonShape(int cornerStyle, SkinRect r, int cornerSize, int squareOff) {
  const SolidFill leftKept = {r.left + cornerSize, r.top, r.right, r.bottom};
  const SolidFill topKept = {r.left, r.top + squareOff, r.right, r.bottom};
  const SolidFill bottomKept = {r.left, r.top, r.right, r.bottom - squareOff};
  switch (cornerStyle) {
    case 0:
      return {true, 0, {}};
    case 1:
      return {true, 1, {leftKept}};
    case 3:
      return {true, 1, {topKept}};
    case 4:
      return {true, 1, {bottomKept}};
    case 5:
      return {true, 2, {topKept, leftKept}};
    default:  // 2 and every other value: no shape
      return {false, 0, {}};
  }
}

MenuEditBands MenuEditLayout(SkinRect layout, int textHeight) {
  const int spare = layout.bottom - layout.top - textHeight;
  const int pad = spare > 0 ? spare / 2 : 0;
  return {pad, {0, 0, layout.right, pad}, {0, layout.bottom - pad, layout.right, layout.bottom}};
}

SkinRect MenuEditClient(SkinRect proposed, int pad, int textMargin) {
  SkinRect rc = proposed;
  rc.top += pad;
  rc.bottom -= pad;
  rc.left += textMargin;
  if (rc.bottom < rc.top) rc.bottom = rc.top;
  if (rc.right < rc.left) rc.right = rc.left;
  return rc;
}
