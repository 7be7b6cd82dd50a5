#include "toolbars/BarBackground.h"

#include <algorithm>

#include "toolbars/BarFiler.h"

namespace {
// A bitmap with a colour table: 1, 4 or 8 bits a pixel.
bool IsPaletted(TBitmap* B) {
  if (B->Empty()) return false;
  BITMAP bm{};
  if (!GetObjectW(B->GetHandle(), sizeof bm, &bm)) return false;
  return bm.bmBitsPixel <= 8;
}
}  // namespace

TBarBackground::TBarBackground(TComponent* AOwner) : TBarBasicBackground(AOwner), bitmap_(new TBitmap) {
  bitmap_->OnChange = TNotifyEvent(this, &TBarBackground::BitmapChanged);
}

TBarBackground::~TBarBackground() {
  DropCache();
  bitmap_->OnChange = TNotifyEvent();
}

void TBarBackground::DefineProperties(TFiler* Filer) {
  TBarBasicBackground::DefineProperties(Filer);
  auto* a = dynamic_cast<TBarBackground*>(Filer->GetAncestor());
  using namespace BarFiler;
  Picture(Filer, L"Bitmap", bitmap_.get(), a ? a->bitmap_.get() : nullptr, [this](TBitmap* b) { SetBitmap(b); });
  Integer(Filer, L"BkColor", bkColor_, a ? a->bkColor_ : clBtnFace, [this](int v) { SetBkColor(v); });
  Boolean(Filer, L"Transparent", transparent_, a ? a->transparent_ : false, [this](bool v) { SetTransparent(v); });
}

void TBarBackground::DropCache() {
  if (cache_) DeleteObject(cache_);
  cache_ = nullptr;
  if (palette_) DeleteObject(palette_);
  palette_ = nullptr;
  paletteRead_ = false;
  cacheWidth_ = cacheHeight_ = 0;
}

void TBarBackground::Changed() {
  DropCache();
  std::vector<TNotifyEvent> list = handlers_;
  for (const TNotifyEvent& h : list)
    if (h) h(this);
}

void TBarBackground::BitmapChanged(TObject*) {
  if (!assigning_) Changed();
}

void TBarBackground::SetBitmap(TBitmap* Value) {
  // One change notice for the whole copy.
  assigning_ = true;
  try {
    if (Value)
      bitmap_->Assign(*Value);  // a paletted bitmap keeps its colour table
    else
      bitmap_->SetSize(0, 0);
  } catch (...) {
    assigning_ = false;
    throw;
  }
  assigning_ = false;
  Changed();
}

void TBarBackground::SetBkColor(TColor Value) {
  if (bkColor_ == Value) return;
  bkColor_ = Value;
  if (transparent_) Changed();
}

void TBarBackground::SetTransparent(bool Value) {
  if (transparent_ == Value) return;
  transparent_ = Value;
  Changed();
}

void TBarBackground::SysColorChanged() {
  if (transparent_ && bkColor_ < 0) Changed();
}

void TBarBackground::RegisterChanges(const TNotifyEvent& Proc) {
  if (std::find(handlers_.begin(), handlers_.end(), Proc) == handlers_.end()) handlers_.push_back(Proc);
}

void TBarBackground::UnregisterChanges(const TNotifyEvent& Proc) {
  auto it = std::find(handlers_.begin(), handlers_.end(), Proc);
  if (it != handlers_.end()) handlers_.erase(it);
}

HPALETTE TBarBackground::GetPalette() {
  if (paletteRead_) return palette_;
  paletteRead_ = true;
  if (!UsingBackground() || !IsPaletted(bitmap_.get())) return nullptr;
  RGBQUAD table[256];
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, bitmap_->GetHandle());
  UINT n = GetDIBColorTable(dc, 0, 256, table);
  SelectObject(dc, old);
  DeleteDC(dc);
  if (n == 0) return nullptr;
  std::vector<BYTE> buf(sizeof(LOGPALETTE) + n * sizeof(PALETTEENTRY));
  auto* lp = reinterpret_cast<LOGPALETTE*>(buf.data());
  lp->palVersion = 0x300;
  lp->palNumEntries = static_cast<WORD>(n);
  for (UINT i = 0; i < n; ++i)
    lp->palPalEntry[i] = PALETTEENTRY{table[i].rgbRed, table[i].rgbGreen, table[i].rgbBlue, 0};
  palette_ = CreatePalette(lp);
  return palette_;
}

bool TBarBackground::UsingBackground() { return bitmap_->GetWidth() > 0 && bitmap_->GetHeight() > 0; }

void TBarBackground::BuildCache(HDC DC) {
  int w = bitmap_->GetWidth(), h = bitmap_->GetHeight();
  cache_ = CreateCompatibleBitmap(DC, w, h);
  if (!cache_) return;
  cacheWidth_ = w;
  cacheHeight_ = h;
  HDC src = CreateCompatibleDC(DC);
  HDC dst = CreateCompatibleDC(DC);
  HGDIOBJ oldSrc = SelectObject(src, bitmap_->GetHandle());
  HGDIOBJ oldDst = SelectObject(dst, cache_);
  HPALETTE pal = GetPalette(), oldPal = nullptr;
  if (pal) {
    oldPal = SelectPalette(dst, pal, TRUE);
    RealizePalette(dst);
  }
  if (!transparent_) {
    BitBlt(dst, 0, 0, w, h, src, 0, 0, SRCCOPY);
  } else {
    RECT r{0, 0, w, h};
    HBRUSH b = CreateSolidBrush(ColorToRef(bkColor_));
    FillRect(dst, &r, b);
    DeleteObject(b);
    // The bottom-left pixel's colour shows the background colour through.
    COLORREF key = GetPixel(src, 0, h - 1);
    TransparentBlt(dst, 0, 0, w, h, src, 0, 0, w, h, key);
  }
  if (oldPal) SelectPalette(dst, oldPal, TRUE);
  SelectObject(src, oldSrc);
  SelectObject(dst, oldDst);
  DeleteDC(src);
  DeleteDC(dst);
}

void TBarBackground::Draw(HDC DC, const RECT& R) {
  if (!UsingBackground()) return;
  if (!cache_) BuildCache(DC);
  if (!cache_) return;
  int saved = SaveDC(DC);
  // The cache has the bitmap's colours: realise them where a palette counts.
  if (HPALETTE pal = GetPalette()) {
    SelectPalette(DC, pal, TRUE);
    RealizePalette(DC);
  }
  if (cacheWidth_ == 8 && cacheHeight_ == 8) {
    HBRUSH brush = CreatePatternBrush(cache_);
    POINT org{0, 0};
    GetWindowOrgEx(DC, &org);
    SetBrushOrgEx(DC, R.left - org.x, R.top - org.y, nullptr);
    FillRect(DC, &R, brush);
    DeleteObject(brush);
  } else {
    IntersectClipRect(DC, R.left, R.top, R.right, R.bottom);
    // Only the tiles that reach what the context lets through are copied
    // (a dock far from its parent's origin starts its tiles far outside).
    RECT clip{};
    if (GetClipBox(DC, &clip) == NULLREGION) {
      RestoreDC(DC, saved);
      return;
    }
    const int x0 = R.left + std::max<int>(0, (clip.left - R.left) / cacheWidth_) * cacheWidth_;
    const int y0 = R.top + std::max<int>(0, (clip.top - R.top) / cacheHeight_) * cacheHeight_;
    const int x1 = std::min<int>(R.right, clip.right), y1 = std::min<int>(R.bottom, clip.bottom);
    HDC mem = CreateCompatibleDC(DC);
    HGDIOBJ old = SelectObject(mem, cache_);
    for (int y = y0; y < y1; y += cacheHeight_)
      for (int x = x0; x < x1; x += cacheWidth_)
        BitBlt(DC, x, y, cacheWidth_, cacheHeight_, mem, 0, 0, SRCCOPY);
    SelectObject(mem, old);
    DeleteDC(mem);
  }
  RestoreDC(DC, saved);
}
