// Our image class over a DIB section, PNG resources decoded through the GDI+
// flat API, and the blit that draws them.
#pragma once

#include <windows.h>
#include <objidl.h>

#include "base/handles.h"

class CImage {
 public:
  CImage();   // raises the process-wide live-image count
  ~CImage();  // empties the image; the last image gone shuts GDI+ down
  CImage(const CImage&) = delete;
  CImage& operator=(const CImage&) = delete;

  // Deletes the bitmap and resets every field to the empty values.
  void Destroy();
  bool IsNull() const { return !m_hBitmap; }

  // Decodes a PNG (or any format GDI+ reads) from the stream into a new DIB
  // section: 32 bits with straight alpha when the decoded format has alpha,
  // else the decoded depth when GDI can use it, else 32 bits without alpha.
  // Starts GDI+ if it is not running. False leaves the image empty.
  // A width and height other than the picture's own resample it to that
  // size with GDI+'s high-quality filter (a skin picture drawn for another
  // display scale); 0 keeps the picture's own.
  bool Load(IStream* stream, int width = 0, int height = 0);

  // One blit of the source rectangle onto the destination rectangle:
  // TransparentBlt with the transparent colour, else AlphaBlend (per-pixel
  // alpha at full constant alpha) when the image has alpha, else StretchBlt
  // SRCCOPY.
  bool Draw(HDC dc, int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc, int wSrc, int hSrc) const;

  UniqueBitmap m_hBitmap;
  void* m_pBits = nullptr;  // pixel (0, 0)
  int m_nWidth = 0;
  int m_nHeight = 0;
  int m_nPitch = 0;  // bytes from one row to the next; negative for a bottom-up DIB
  int m_nBPP = 0;
  bool m_bIsDIBSection = false;
  bool m_bHasAlpha = false;
  int m_iTransparentColor = -1;                   // palette index, -1 for none
  COLORREF m_clrTransparentColor = 0xFFFFFFFFu;  // colour, 0xFFFFFFFF for none
};

// Loads PNG resource `id` (type "PNG") of the current resource module into
// image, emptying it first. False for a null image or a missing resource;
// true once the resource was found and loaded, even when decoding failed
// (the image then stays empty).
// width and height as for CImage::Load.
bool LoadPngResource(CImage* image, UINT id, int width = 0, int height = 0);

// Scales the colour bytes of a 32-bit image with alpha by its alpha
// (truncating division by 255); other images are left as they are.
void PremultiplyAlpha(CImage* image);

// For tests: whether GDI+ is running, and how many images are alive.
bool GdiplusIsRunning();
int LiveImageCount();
