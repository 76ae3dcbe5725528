// The skinned controls' decisions and layout arithmetic as plain C++: which
// visual state a button shows, where its caption goes, how big it makes
// itself, which fills shape an arc button's corners, and how the menu edit
// box splits its height into bands and a one-line client area. The window
// code in png_button.cpp, arc_btn.cpp and menu_edit.cpp stays thin over it.
// All halvings truncate toward zero.
#pragma once

// Visual states shared by both skinned buttons.
constexpr int BUTTON_STATE_NORMAL = 0;
constexpr int BUTTON_STATE_HOVER = 1;
constexpr int BUTTON_STATE_PRESSED = 2;
constexpr int BUTTON_STATE_LATCHED = 3;

// Owner-draw item state bits (ODS_SELECTED, ODS_FOCUS, ODS_NOFOCUSRECT) and
// the UI state bit that hides focus cues until the keyboard is used
// (UISF_HIDEFOCUS).
constexpr unsigned kItemSelected = 0x0001;
constexpr unsigned kItemFocus = 0x0010;
constexpr unsigned kItemNoFocusRect = 0x0200;
constexpr unsigned kUiHideFocus = 0x0001;

struct SkinRect {
  int left, top, right, bottom;
};
struct SkinSize {
  int cx, cy;
};

// Mode 0 (momentary): hover when hovered and not selected, pressed when
// hovered, selected and focused, else normal. Mode 1 (latching): latched,
// and *latched set, once focused while hovered or already latched, else
// normal. Any other mode keeps `current`.
int SelectButtonState(int mode, bool hover, unsigned itemState, int* latched, int current);

// Whether a button draws its keyboard-focus cue: it has the focus, and
// neither its item state nor its window's UI state says to hide the cue.
bool ShowsFocusCue(unsigned itemState, unsigned uiState);

// The focus cue at a display scale: an outline `width` px wide, `inset` px
// inside the button's edge.
struct FocusCue {
  int inset, width;
};
// Ring `ring` (0 the outermost) of an outline `inset` px inside r, whose
// corners follow an ellipse of cornerSize: its rectangle, on whose last row
// and column the ring lies, and its own corner ellipse. A ring that does not
// fit inside r has an empty rectangle.
struct OutlineRing {
  SkinRect rect;
  int corner;
};
OutlineRing InnerRing(SkinRect r, int cornerSize, int inset, int ring);

// The PNG button's caption by m_nTextPos: -2 centred in the item, -1 wrapped
// into a rectangle below the centre, > 0 a line beside the normal face.
enum class CaptionKind { Centred, BelowCentre, BesideFace, None };
struct CaptionPlacement {
  CaptionKind kind;
  SkinRect rect;  // Centred: the item; BelowCentre: the wrapping rectangle
  int x, y;       // BesideFace: where TextOut starts
};
CaptionPlacement PlacePngCaption(int textPos, SkinRect item, SkinSize text, int normalFaceWidth);

// Where the faces start vertically: centred on the hover face's height, or 0
// without a hover face.
int PngFaceTop(SkinRect item, bool hasHoverFace, int hoverFaceHeight);

// The PNG button's SizeToContent size; false when there is neither caption
// nor normal face (the window keeps its size).
bool PngButtonSize(bool hasCaption, SkinSize text, bool hasFace, SkinSize face, SkinSize* size);

// An opaque fill as FillSolidRect takes it: x, y, width, height.
struct SolidFill {
  int x, y, cx, cy;
};
// The arc button's shape in r for m_nCornerStyle: whether the rounded
// rectangle (GDI fill plus anti-aliased outline) is drawn, and the fills that
// square off corners after it. The fills pass r's right and bottom as width
// and height; the DC clips what lies beyond the button.
struct ArcShape {
  bool rounded;
  int fillCount;
  SolidFill fills[2];
};
ArcShape ArcButtonShape(int cornerStyle, SkinRect r, int cornerSize, int squareOff);

// The menu edit box's bands above and below one line of text of height
// textHeight inside m_rcLayout, in window coordinates. The pad is half the
// spare height; a layout shorter than the text gets no bands (pad 0) rather
// than a huge unsigned pad and an inverted client area.
struct MenuEditBands {
  int pad;
  SkinRect top, bottom;
};
MenuEditBands MenuEditLayout(SkinRect layout, int textHeight);
// The proposed client rectangle less the bands and the left text margin,
// never inverted.
SkinRect MenuEditClient(SkinRect proposed, int pad, int textMargin);
