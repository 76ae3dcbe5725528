#include "skin/png_button.h"

#include <string>

#include "base/gdi.h"
#include "base/wide.h"
#include "res/resource.h"
#include "skin/control_support.h"
#include "skin/dpi.h"
#include "skin/skin_messages.h"
#include "skin/theme.h"

namespace {

constexpr UINT kNormalFace = IDB_PNG_CLOSE_NORMAL;  // light grey cross on a transparent ground
constexpr UINT kHoverFace = IDB_PNG_CLOSE_HOVER;    // white cross on red

void LoadFace(CImage* image, UINT id, int* width, int* height, int dpi) {
  (void)LoadSkinPicture(image, id, dpi);
  PremultiplyAlpha(image);
  *width = image->m_nWidth;
  *height = image->m_nHeight;
}

}  // namespace

CPngButton::CPngButton() { LoadFaces(96); }

void CPngButton::LoadFaces(int dpi) {
  LoadFace(&m_imgNormal, kNormalFace, &m_nNormalWidth, &m_nNormalHeight, dpi);
  LoadFace(&m_imgHover, kHoverFace, &m_nHoverWidth, &m_nHoverHeight, dpi);
  LoadFace(&m_imgPressed, kHoverFace, &m_nPressedWidth, &m_nPressedHeight, dpi);
  LoadFace(&m_imgLatched, kHoverFace, &m_nLatchedWidth, &m_nLatchedHeight, dpi);
  m_bTrackEnabled = 1;
}

void CPngButton::PreSubclassWindow() {
  CButton::PreSubclassWindow();
  ModifyStyle(0, BS_OWNERDRAW);
}

void CPngButton::InvalidateParentArea() const { InvalidateParentUnder(m_hWnd); }

const CImage& CPngButton::FaceFor(int state) const {
  switch (state) {
    case BUTTON_STATE_HOVER:
      return m_imgHover;
    case BUTTON_STATE_PRESSED:
      return m_imgPressed;
    case BUTTON_STATE_LATCHED:
      return m_imgLatched;
    default:
      return m_imgNormal;
  }
}

void CPngButton::DrawItem(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  const std::u16string caption = WindowTextW(m_hWnd);
  m_nState = SelectButtonState(m_nMode, m_bHover != 0, item.itemState, &m_bLatched, m_nState);

  const SkinRect rc = ToSkinRect(item.rcItem);
  const int y = PngFaceTop(rc, !m_imgHover.IsNull(), m_nHoverHeight);
  const CImage& face = FaceFor(m_nState);
  if (!face.IsNull()) {
    (void)face.Draw(dc, 0, y, face.m_nWidth, face.m_nHeight, 0, 0, face.m_nWidth, face.m_nHeight);
  }
  if (theTheme.m_bHighContrast) DrawInnerOutline(dc, item.rcItem, 0, {0, m_focusCue.width}, theTheme.Ink(kInkText, 0));
  if (ShowsFocusCue(m_hWnd, item.itemState)) {
    DrawInnerOutline(dc, item.rcItem, 0, m_focusCue, theTheme.Ink(kInkFocus, theTheme.m_clrWhite));
  }
  if (caption.empty() || m_bCaptionHidden) return;

  (void)::SetBkMode(dc, TRANSPARENT);
  (void)::SetTextColor(dc, m_crText);
  HGDIOBJ font = theTheme.m_fontButton.get();
  ScopedSelect selectFont(dc, font != nullptr ? font : ::GetCurrentObject(dc, OBJ_FONT));
  SIZE extent = {0, 0};
  (void)::GetTextExtentPoint32W(dc, WStr(caption), static_cast<int>(caption.size()), &extent);
  const CaptionPlacement placement = PlacePngCaption(m_nTextPos, rc, {extent.cx, extent.cy}, m_nNormalWidth);
  RECT target = ToRect(placement.rect);
  switch (placement.kind) {
    case CaptionKind::Centred:
      (void)::DrawTextW(dc, WStr(caption), -1, &target, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      break;
    case CaptionKind::BelowCentre:
      (void)::DrawTextW(dc, WStr(caption), -1, &target, DT_WORDBREAK);
      break;
    case CaptionKind::BesideFace:
      (void)::TextOutW(dc, placement.x, placement.y, WStr(caption), static_cast<int>(caption.size()));
      break;
    case CaptionKind::None:
      break;
  }
}

void CPngButton::SizeToContent() {
  const std::u16string caption = WindowTextW(m_hWnd);
  const bool hasCaption = !caption.empty() && !m_bCaptionHidden;
  const bool hasFace = !m_imgNormal.IsNull();
  if (!hasCaption && !hasFace) return;

  ScopedClientDC dc(m_hWnd);
  HGDIOBJ font = theTheme.m_fontButton.get();
  ScopedSelect selectFont(dc.get(), font != nullptr ? font : ::GetCurrentObject(dc.get(), OBJ_FONT));
  SIZE extent = {0, 0};
  if (hasCaption) (void)::GetTextExtentPoint32W(dc.get(), WStr(caption), static_cast<int>(caption.size()), &extent);
  SkinSize size = {0, 0};
  if (PngButtonSize(hasCaption, {extent.cx, extent.cy}, hasFace, {m_nNormalWidth, m_nNormalHeight}, &size)) {
    (void)SetWindowPos(nullptr, 0, 0, size.cx, size.cy,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
  }
}

LRESULT CPngButton::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (LRESULT result = 0; HandleButtonKeys(m_hWnd, msg, wParam, lParam, &result)) return result;
  switch (msg) {
    case WM_MOUSEHOVER:
      m_bHover = 1;
      if (m_bRedrawParent) InvalidateParentArea();
      break;
    case WM_MOUSEMOVE:
      if (m_bTrackEnabled) {
        const RECT client = GetClientRect();
        if (!::PtInRect(&client, MousePoint(lParam))) m_bHover = 0;
        if (!m_bTracking) m_bTracking = TrackHoverAndLeave(m_hWnd);
      }
      break;
    case WM_MOUSELEAVE:
      m_bHover = 0;
      m_bTracking = 0;
      if (m_bRedrawParent) InvalidateParentArea();
      if (HWND parent = GetParent()) (void)::PostMessageW(parent, WM_MOUSELEAVE, 0, 0);
      break;
    case WM_LBUTTONDOWN:
      m_bLatched = 1;
      m_nState = BUTTON_STATE_LATCHED;
      InvalidateParentArea();
      break;
    case WM_LBUTTONUP: {
      const RECT client = GetClientRect();
      HWND parent = GetParent();
      if (::PtInRect(&client, MousePoint(lParam)) && parent != nullptr) {
        (void)::PostMessageW(parent, WM_SKINBTN_CLICK, 0, GetDlgCtrlID());
        InvalidateParentArea();
      }
      break;
    }
    case WM_KEYUP: {
      // Space released on the pressed button: its own handling sends only
      // BN_CLICKED; the parent hears of a click as from the mouse.
      HWND parent = GetParent();
      if (wParam == VK_SPACE && parent != nullptr && (::SendMessageW(m_hWnd, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0) {
        (void)::PostMessageW(parent, WM_SKINBTN_CLICK, 0, GetDlgCtrlID());
      }
      break;
    }
    case WM_ERASEBKGND:
      return TRUE;
    case WM_SETCURSOR:
      if (m_bHandCursor) ShowHandCursor();
      return TRUE;
    default:
      return CButton::WindowProc(msg, wParam, lParam);
  }
  return Default(msg, wParam, lParam);
}
