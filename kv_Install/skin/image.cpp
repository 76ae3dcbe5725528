#include "skin/image.h"

#include <gdiplus.h>

#include <cstring>
#include <utility>
#include <vector>

#include "base/gdi.h"
#include "base/handles.h"
#include "framework/module.h"
#include "skin/premultiply.h"

namespace {

using namespace Gdiplus;
namespace flat = Gdiplus::DllExports;

// GDI+ is started by the first decode and shut down when the last image
// object is gone. The token and the count of live images are only touched
// under the lock. The lock is made on first use (function-local static), so
// images built during static initialisation find it ready, and it outlives
// every image constructed before it.
struct GdiplusGate {
  GdiplusGate() { ready = ::InitializeCriticalSectionAndSpinCount(&lock, 0) != FALSE; }
  ~GdiplusGate() {
    if (ready) ::DeleteCriticalSection(&lock);
  }
  CRITICAL_SECTION lock;
  bool ready = false;
  ULONG_PTR token = 0;
  int liveImages = 0;
};

GdiplusGate& Gate() {
  static GdiplusGate gate;
  return gate;
}

class GateLock {
 public:
  explicit GateLock(GdiplusGate& g) : g_(g) { ::EnterCriticalSection(&g_.lock); }
  ~GateLock() { ::LeaveCriticalSection(&g_.lock); }
  GateLock(const GateLock&) = delete;
  GateLock& operator=(const GateLock&) = delete;

 private:
  GdiplusGate& g_;
};

bool StartGdiplus() {
  GdiplusGate& g = Gate();
  if (!g.ready) return false;
  GateLock hold(g);
  if (g.token != 0) return true;
  GdiplusStartupInput input;  // version 1, no debug callback, nothing suppressed
  ULONG_PTR token = 0;
  if (GdiplusStartup(&token, &input, nullptr) != Ok) return false;
  g.token = token;
  return true;
}

// Disposes of a GDI+ bitmap at the end of a scope.
struct GpBitmapOwner {
  GpBitmap* bitmap = nullptr;
  ~GpBitmapOwner() {
    if (bitmap != nullptr) (void)flat::GdipDisposeImage(bitmap);
  }
};

// The DIB depth and the format the pixels are read in: 32 bits with straight
// alpha for formats with alpha; a plain BI_RGB layout GDI+ can hand over as
// it is (24 and 32 bits without alpha, 16 bits 5-5-5, indexed with palette);
// anything else as 32 bits without alpha.
struct Layout {
  int bpp;
  PixelFormat read;
  bool alpha;
  bool indexed;
};

// A copy of source at width by height, resampled with the high-quality
// filter; the edges mirror rather than fade. False leaves *scaled empty.
bool Resample(GpBitmap* source, bool alpha, UINT width, UINT height, GpBitmapOwner* scaled) {
  if (flat::GdipCreateBitmapFromScan0(static_cast<INT>(width), static_cast<INT>(height), 0,
                                      alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB, nullptr,
                                      &scaled->bitmap) != Ok) {
    return false;
  }
  GpGraphics* graphics = nullptr;
  GpImageAttributes* edges = nullptr;
  bool drawn = flat::GdipGetImageGraphicsContext(scaled->bitmap, &graphics) == Ok &&
               flat::GdipCreateImageAttributes(&edges) == Ok;
  if (drawn) {
    (void)flat::GdipSetImageAttributesWrapMode(edges, WrapModeTileFlipXY, 0, FALSE);
    (void)flat::GdipSetCompositingMode(graphics, CompositingModeSourceCopy);
    (void)flat::GdipSetInterpolationMode(graphics, InterpolationModeHighQualityBicubic);
    (void)flat::GdipSetPixelOffsetMode(graphics, PixelOffsetModeHalf);
    UINT w = 0;
    UINT h = 0;
    drawn = flat::GdipGetImageWidth(source, &w) == Ok && flat::GdipGetImageHeight(source, &h) == Ok &&
            flat::GdipDrawImageRectRectI(graphics, source, 0, 0, static_cast<INT>(width), static_cast<INT>(height), 0, 0,
                                         static_cast<INT>(w), static_cast<INT>(h), UnitPixel, edges, nullptr,
                                         nullptr) == Ok;
  }
  if (edges != nullptr) (void)flat::GdipDisposeImageAttributes(edges);
  if (graphics != nullptr) (void)flat::GdipDeleteGraphics(graphics);
  return drawn;
}

Layout ChooseLayout(PixelFormat decoded) {
  if ((decoded & PixelFormatAlpha) != 0) return {32, PixelFormat32bppARGB, true, false};
  switch (decoded) {
    case PixelFormat24bppRGB:
    case PixelFormat32bppRGB:
    case PixelFormat16bppRGB555:
      return {static_cast<int>(GetPixelFormatSize(decoded)), decoded, false, false};
    case PixelFormat1bppIndexed:
    case PixelFormat4bppIndexed:
    case PixelFormat8bppIndexed:
      return {static_cast<int>(GetPixelFormatSize(decoded)), decoded, false, true};
    default:
      return {32, PixelFormat32bppRGB, false, false};
  }
}

}  // namespace

CImage::CImage() {
  GdiplusGate& g = Gate();
  if (!g.ready) return;
  GateLock hold(g);
  ++g.liveImages;
}

CImage::~CImage() {
  Destroy();
  GdiplusGate& g = Gate();
  if (!g.ready) return;
  GateLock hold(g);
  if (--g.liveImages == 0 && g.token != 0) {
    GdiplusShutdown(g.token);
    g.token = 0;
  }
}

void CImage::Destroy() {
  m_hBitmap.reset();
  m_pBits = nullptr;
  m_nWidth = m_nHeight = m_nPitch = m_nBPP = 0;
  m_bIsDIBSection = m_bHasAlpha = false;
  m_iTransparentColor = -1;
  m_clrTransparentColor = 0xFFFFFFFFu;
}

bool CImage::Load(IStream* stream, int wantedWidth, int wantedHeight) {
  Destroy();
  // The image decoding is alive, so the count is above zero and nothing shuts
  // GDI+ down while it decodes.
  if (stream == nullptr || !StartGdiplus()) return false;

  GpBitmapOwner source;
  if (flat::GdipCreateBitmapFromStream(stream, &source.bitmap) != Ok) return false;
  PixelFormat decoded = 0;
  UINT width = 0;
  UINT height = 0;
  if (flat::GdipGetImagePixelFormat(source.bitmap, &decoded) != Ok ||
      flat::GdipGetImageWidth(source.bitmap, &width) != Ok || flat::GdipGetImageHeight(source.bitmap, &height) != Ok ||
      width == 0 || height == 0 || width > 0x7FFF || height > 0x7FFF) {
    return false;
  }
  Layout layout = ChooseLayout(decoded);
  GpBitmapOwner scaled;
  if (wantedWidth > 0 && wantedHeight > 0 && wantedWidth <= 0x7FFF && wantedHeight <= 0x7FFF &&
      (static_cast<UINT>(wantedWidth) != width || static_cast<UINT>(wantedHeight) != height)) {
    width = static_cast<UINT>(wantedWidth);
    height = static_cast<UINT>(wantedHeight);
    if (!Resample(source.bitmap, layout.alpha, width, height, &scaled)) return false;
    layout = ChooseLayout(layout.alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB);
    std::swap(source.bitmap, scaled.bitmap);  // each owner still disposes of one
  }

  // Bottom-up, as the platform's image class makes them: pixel (0, 0) is the
  // last row in memory and the pitch is negative.
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
  } info = {};
  info.header.biSize = sizeof info.header;
  info.header.biWidth = static_cast<LONG>(width);
  info.header.biHeight = static_cast<LONG>(height);
  info.header.biPlanes = 1;
  info.header.biBitCount = static_cast<WORD>(layout.bpp);
  info.header.biCompression = BI_RGB;
  if (layout.indexed) {
    INT paletteBytes = 0;
    if (flat::GdipGetImagePaletteSize(source.bitmap, &paletteBytes) != Ok || paletteBytes <= 0) return false;
    std::vector<unsigned char> buffer(static_cast<size_t>(paletteBytes));
    auto* palette = reinterpret_cast<ColorPalette*>(buffer.data());
    if (flat::GdipGetImagePalette(source.bitmap, palette, paletteBytes) != Ok) return false;
    const UINT count = palette->Count < (1u << layout.bpp) ? palette->Count : (1u << layout.bpp);
    for (UINT i = 0; i < count; ++i) {
      const ARGB c = palette->Entries[i];
      info.colours[i] = {static_cast<BYTE>(c), static_cast<BYTE>(c >> 8), static_cast<BYTE>(c >> 16), 0};
    }
    info.header.biClrUsed = count;
  }

  void* bits = nullptr;
  UniqueBitmap dib(::CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!dib || bits == nullptr) return false;
  const int rowBytes = static_cast<int>(((width * layout.bpp + 31) / 32) * 4);
  auto* first = static_cast<unsigned char*>(bits) + static_cast<size_t>(height - 1) * rowBytes;

  GpRect all(0, 0, static_cast<INT>(width), static_cast<INT>(height));
  BitmapData data = {};
  if (flat::GdipBitmapLockBits(source.bitmap, &all, ImageLockModeRead, layout.read, &data) != Ok) return false;
  const size_t copy = (static_cast<size_t>(width) * layout.bpp + 7) / 8;
  for (UINT y = 0; y < height; ++y) {
    const auto* from = static_cast<const unsigned char*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride;
    std::memcpy(first - static_cast<ptrdiff_t>(y) * rowBytes, from, copy);
  }
  (void)flat::GdipBitmapUnlockBits(source.bitmap, &data);

  m_hBitmap = std::move(dib);
  m_pBits = first;
  m_nWidth = static_cast<int>(width);
  m_nHeight = static_cast<int>(height);
  m_nPitch = -rowBytes;
  m_nBPP = layout.bpp;
  m_bIsDIBSection = true;
  m_bHasAlpha = layout.alpha;
  return true;
}

bool CImage::Draw(HDC dc, int xDest, int yDest, int wDest, int hDest, int xSrc, int ySrc, int wSrc,
                  int hSrc) const {
  if (!m_hBitmap) return false;
  UniqueMemoryDc memory(::CreateCompatibleDC(dc));
  if (!memory) return false;
  ScopedSelect selected(memory.get(), m_hBitmap.get());

  BOOL drawn = FALSE;
  if (m_iTransparentColor != -1 || m_clrTransparentColor != 0xFFFFFFFFu) {
    COLORREF key = m_clrTransparentColor;
    RGBQUAD entry = {};
    if (m_iTransparentColor != -1 &&
        ::GetDIBColorTable(memory.get(), static_cast<UINT>(m_iTransparentColor), 1, &entry) == 1) {
      key = RGB(entry.rgbRed, entry.rgbGreen, entry.rgbBlue);
    }
    drawn = ::TransparentBlt(dc, xDest, yDest, wDest, hDest, memory.get(), xSrc, ySrc, wSrc, hSrc, key);
  } else if (m_bHasAlpha) {
    const BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    drawn = ::AlphaBlend(dc, xDest, yDest, wDest, hDest, memory.get(), xSrc, ySrc, wSrc, hSrc, blend);
  } else {
    drawn = ::StretchBlt(dc, xDest, yDest, wDest, hDest, memory.get(), xSrc, ySrc, wSrc, hSrc, SRCCOPY);
  }
  return drawn != FALSE;
}

bool LoadPngResource(CImage* image, UINT id, int width, int height) {
  if (image == nullptr) return false;
  if (!image->IsNull()) image->Destroy();

  HMODULE module = ResourceModule();
  HRSRC resource = ::FindResourceA(module, MAKEINTRESOURCEA(id), "PNG");
  if (resource == nullptr) return false;
  HGLOBAL loaded = ::LoadResource(module, resource);
  if (loaded == nullptr) return false;
  const void* bytes = ::LockResource(loaded);
  const DWORD size = ::SizeofResource(module, resource);

  // GDI+ reads the stream at its leisure, so it gets its own copy in movable
  // memory rather than the module's pages.
  UniqueHGlobal block(::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
  if (!block) return true;
  if (bytes != nullptr && size != 0) {
    void* copy = ::GlobalLock(block.get());
    if (copy == nullptr) return true;
    std::memcpy(copy, bytes, size);
    (void)::GlobalUnlock(block.get());
  }
  UniqueCom<IStream> stream;  // released before the memory under it
  if (SUCCEEDED(::CreateStreamOnHGlobal(block.get(), FALSE, stream.put()))) {
    (void)image->Load(stream.get(), width, height);  // a failed decode leaves the image empty
  }
  return true;
}

void PremultiplyAlpha(CImage* image) {
  if (image == nullptr || !image->m_bHasAlpha || image->m_nBPP != 32 || image->m_pBits == nullptr) return;
  PremultiplyBgra(static_cast<std::uint8_t*>(image->m_pBits), image->m_nWidth, image->m_nHeight, image->m_nPitch);
}

bool GdiplusIsRunning() {
  GdiplusGate& g = Gate();
  if (!g.ready) return false;
  GateLock hold(g);
  return g.token != 0;
}

int LiveImageCount() {
  GdiplusGate& g = Gate();
  if (!g.ready) return 0;
  GateLock hold(g);
  return g.liveImages;
}
