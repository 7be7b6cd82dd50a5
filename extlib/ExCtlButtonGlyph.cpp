#include "extlib/ExCtlButtonGlyph.h"

#include "extlib/ExDrawUtil.h"

#include <algorithm>

namespace {

TGlyphCache* glyphCache = nullptr;
int glyphObjects = 0;

COLORREF Ref(TColor c) { return ColorToRef(c); }

// A monochrome mask of `image`: set where the image has `color`. The mask is
// a device-dependent bitmap: only that kind takes the background-colour rule
// when colour is copied to monochrome (a monochrome DIB takes the nearest of
// its two colours instead).
std::unique_ptr<TBitmap> MaskOf(TBitmap* image, TColor color) {
  int w = image->GetWidth(), h = image->GetHeight();
  HBITMAP mono = CreateBitmap(w, h, 1, 1, nullptr);
  HDC src = image->Canvas()->GetHandle();
  HDC dc = CreateCompatibleDC(src);
  HGDIOBJ old = SelectObject(dc, mono);
  COLORREF oldBk = SetBkColor(src, Ref(color));
  BitBlt(dc, 0, 0, w, h, src, 0, 0, SRCCOPY);
  SetBkColor(src, oldBk);
  SelectObject(dc, old);
  DeleteDC(dc);
  auto mask = std::make_unique<TBitmap>();
  mask->SetHandle(mono);
  return mask;
}

// A bitmap of one cell of the strip on a button-face background.
std::unique_ptr<TBitmap> Cell(TBitmap* strip, int cell, int w, int h) {
  auto b = std::make_unique<TBitmap>(w, h);
  b->Canvas()->Brush()->SetColor(clBtnFace);
  b->Canvas()->FillRect(TRect{0, 0, w, h});
  BitBlt(b->Canvas()->GetHandle(), 0, 0, w, h, strip->Canvas()->GetHandle(), cell * w, 0, SRCCOPY);
  return b;
}

}  // namespace

// ===========================================================================
// TGlyphList

TGlyphList::TGlyphList(int width, int height) : TImageList(nullptr, width, height) {}

int TGlyphList::AllocateSlot() {
  int index = used_.OpenBit();
  used_.SetBit(index, true);  // grows the set past its end
  return index;
}

int TGlyphList::Add(TBitmap* image, TBitmap* mask) {
  int index = AllocateSlot();
  int result = index;
  if (index >= GetCount()) result = TImageList::Add(image, mask);
  else Replace(index, image, mask);
  if (result < 0) {
    used_.SetBit(index, false);
    return -1;
  }
  ++count_;
  return index;
}

int TGlyphList::AddMasked(TBitmap* image, TColor maskColor) {
  auto mask = MaskOf(image, maskColor);
  return Add(image, mask.get());
}

void TGlyphList::Delete(int index) {
  if (index < 0 || !used_.GetBit(index)) return;
  used_.SetBit(index, false);
  --count_;
}

// ===========================================================================
// TGlyphCache

TGlyphCache::~TGlyphCache() {
  for (TGlyphList* l : lists_) delete l;
}

TGlyphList* TGlyphCache::GetList(int width, int height) {
  for (auto it = lists_.rbegin(); it != lists_.rend(); ++it)
    if ((*it)->GetWidth() == width && (*it)->GetHeight() == height) return *it;
  lists_.push_back(new TGlyphList(width, height));
  return lists_.back();
}

void TGlyphCache::ReturnList(TGlyphList* list) {
  if (!list || list->UsedCount() != 0) return;
  auto it = std::find(lists_.begin(), lists_.end(), list);
  if (it == lists_.end()) return;
  lists_.erase(it);
  delete list;
}

TGlyphCache* GlyphCache() { return glyphCache; }

// ===========================================================================
// TExtButtonGlyph

TExtButtonGlyph::TExtButtonGlyph() : original_(std::make_unique<TBitmap>()) {
  original_->OnChange = TNotifyEvent(this, &TExtButtonGlyph::GlyphChanged);
  if (!glyphCache) glyphCache = new TGlyphCache;
  ++glyphObjects;
}

TExtButtonGlyph::~TExtButtonGlyph() {
  original_->OnChange = TNotifyEvent();
  Invalidate();
  --glyphObjects;
  if (glyphCache && glyphCache->Empty()) {
    delete glyphCache;
    glyphCache = nullptr;
  }
}

void TExtButtonGlyph::Invalidate() {
  for (int& i : indexes_) {
    if (i != -1 && list_) list_->Delete(i);
    i = -1;
  }
  if (list_ && glyphCache) glyphCache->ReturnList(list_);
  list_ = nullptr;
  for (int& i : imageIndexes_) {
    if (i != -1 && imageList_) imageList_->Delete(i);
    i = -1;
  }
  if (imageList_ && glyphCache) glyphCache->ReturnList(imageList_);
  imageList_ = nullptr;
  imageSource_ = nullptr;
  imageSourceIndex_ = -1;
}

void TExtButtonGlyph::SetGlyph(TBitmap* b) {
  // The bitmap reports changes while it is still being copied into; reading
  // it then would hold its context and spoil the copy, so take the change
  // once the copy is complete.
  original_->OnChange = TNotifyEvent();
  if (b) original_->Assign(*b);
  else original_->Assign(TBitmap());
  original_->OnChange = TNotifyEvent(this, &TExtButtonGlyph::GlyphChanged);
  GlyphChanged(original_.get());
}

void TExtButtonGlyph::GlyphChanged(TObject*) {
  Invalidate();
  if (!original_->Empty() && original_->GetWidth() > 0 && original_->GetHeight() > 0) {
    transparentColor_ = TColor(original_->GetTransparentColor() & 0xFFFFFF);
    int w = original_->GetWidth(), h = original_->GetHeight();
    if (w % h == 0) {
      int n = w / h;
      if (n > 5) n = 1;
      numGlyphs_ = n;
    }
  }
  if (OnChange) OnChange(this);
}

void TExtButtonGlyph::SetNumGlyphs(int n) {
  if (n > 5) n = 5;
  if (n <= 0 || n == numGlyphs_) return;
  Invalidate();
  numGlyphs_ = n;
  if (OnChange) OnChange(this);
}

TColor TExtButtonGlyph::MapColor(TColor c) const {
  COLORREF r = Ref(c);
  if (r == Ref(transparentColor_) || r == Ref(clBtnFace)) return c;
  int gray = (77 * GetRValue(r) + 150 * GetGValue(r) + 29 * GetBValue(r)) >> 8;
  return TColor(RGB(gray, gray, gray));
}

int TExtButtonGlyph::CreateButtonGlyph(TExtButtonState state) {
  if (state == rbsDown && numGlyphs_ < 3) state = rbsUp;
  if (indexes_[state] != -1) return indexes_[state];
  if (original_->Empty() || original_->GetWidth() <= 0 || original_->GetHeight() <= 0) return -1;
  int w = original_->GetWidth() / numGlyphs_, h = original_->GetHeight();
  if (w <= 0) return -1;
  if (!glyphCache) glyphCache = new TGlyphCache;
  if (!list_) list_ = glyphCache->GetList(w, h);
  int cell = int(state) < numGlyphs_ ? int(state) : 0;
  int index = -1;
  switch (state) {
    case rbsUp:
    case rbsDown:
    case rbsExclusive: {
      auto b = Cell(original_.get(), cell, w, h);
      index = list_->AddMasked(b.get(), transparentColor_);
      break;
    }
    case rbsDisabled:
      if (numGlyphs_ >= 2) {
        auto b = Cell(original_.get(), 1, w, h);
        index = list_->AddMasked(b.get(), transparentColor_);
      } else {
        std::unique_ptr<TBitmap> b(CreateDisabledBitmap(original_.get(), clBlack));
        index = list_->AddMasked(b.get(), clBtnFace);
      }
      break;
    case rbsInactive: {
      auto b = Cell(original_.get(), numGlyphs_ >= 5 ? 4 : 0, w, h);
      if (numGlyphs_ < 5) {
        HDC d = b->Canvas()->GetHandle();
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) SetPixel(d, x, y, Ref(MapColor(TColor(GetPixel(d, x, y) & 0xFFFFFF))));
      }
      index = list_->AddMasked(b.get(), transparentColor_);
      break;
    }
  }
  indexes_[state] = index;
  return index;
}

bool TExtButtonGlyph::ValidImage(TCustomImageList* images, int index) const {
  return images && images->GetWidth() > 0 && images->GetHeight() > 0 && index >= 0 && index < images->GetCount();
}

int TExtButtonGlyph::CreateImageGlyph(TExtButtonState state, TCustomImageList* images, int index) {
  if (state == rbsDown) state = rbsUp;
  if (!ValidImage(images, index)) return -1;
  if (images != imageSource_ || index != imageSourceIndex_) {
    // Another image: the ones made so far show the old one.
    for (int& i : imageIndexes_) {
      if (i != -1 && imageList_) imageList_->Delete(i);
      i = -1;
    }
    imageSource_ = images;
    imageSourceIndex_ = index;
  }
  if (imageIndexes_[state] != -1) return imageIndexes_[state];
  int w = images->GetWidth(), h = images->GetHeight();
  if (!glyphCache) glyphCache = new TGlyphCache;
  if (imageList_ && (imageList_->GetWidth() != w || imageList_->GetHeight() != h)) {
    glyphCache->ReturnList(imageList_);
    imageList_ = nullptr;
  }
  if (!imageList_) imageList_ = glyphCache->GetList(w, h);
  auto face = std::make_unique<TBitmap>(w, h);
  face->Canvas()->Brush()->SetColor(clBtnFace);
  face->Canvas()->FillRect(TRect{0, 0, w, h});
  int slot = -1;
  switch (state) {
    case rbsDisabled:
      ImageListDrawDisabled(images, face->Canvas(), 0, 0, index, clBtnHighlight, clBtnShadow, true);
      slot = imageList_->AddMasked(face.get(), clBtnFace);
      break;
    case rbsInactive: {
      ImageList_Draw(images->GetHandle(), index, face->Canvas()->GetHandle(), 0, 0, ILD_NORMAL);
      HDC d = face->Canvas()->GetHandle();
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) SetPixel(d, x, y, Ref(MapColor(TColor(GetPixel(d, x, y) & 0xFFFFFF))));
      slot = imageList_->AddMasked(face.get(), clBtnFace);
      break;
    }
    default: {
      ImageList_Draw(images->GetHandle(), index, face->Canvas()->GetHandle(), 0, 0, ILD_NORMAL);
      // The mask: where the image drawn on black and on white differs, the
      // ground shows through (whatever way the list keeps its mask).
      TBitmap onBlack(w, h), onWhite(w, h);
      onBlack.Canvas()->Brush()->SetColor(clBlack);
      onBlack.Canvas()->FillRect(TRect{0, 0, w, h});
      onWhite.Canvas()->Brush()->SetColor(clWhite);
      onWhite.Canvas()->FillRect(TRect{0, 0, w, h});
      HDC b = onBlack.Canvas()->GetHandle(), wh = onWhite.Canvas()->GetHandle();
      ImageList_Draw(images->GetHandle(), index, b, 0, 0, ILD_TRANSPARENT);
      ImageList_Draw(images->GetHandle(), index, wh, 0, 0, ILD_TRANSPARENT);
      HBITMAP mono = CreateBitmap(w, h, 1, 1, nullptr);
      HDC dc = CreateCompatibleDC(nullptr);
      HGDIOBJ old = SelectObject(dc, mono);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          SetPixel(dc, x, y, (GetPixel(b, x, y) & 0xFFFFFF) != (GetPixel(wh, x, y) & 0xFFFFFF) ? RGB(255, 255, 255) : 0);
      SelectObject(dc, old);
      DeleteDC(dc);
      TBitmap mask;
      mask.SetHandle(mono);
      slot = imageList_->Add(face.get(), &mask);
      break;
    }
  }
  imageIndexes_[state] = slot;
  return slot;
}

TPoint TExtButtonGlyph::DrawButtonImage(TCanvas* canvas, int x, int y, TCustomImageList* images, int index,
                                        TExtButtonState state) {
  int slot = CreateImageGlyph(state, images, index);
  if (slot < 0 || !imageList_) return TPoint{0, 0};
  ImageList_Draw(imageList_->GetHandle(), slot, canvas->GetHandle(), x, y, ILD_TRANSPARENT);
  return TPoint{imageList_->GetWidth(), imageList_->GetHeight()};
}

String TExtButtonGlyph::MinimizeCaption(TCanvas* canvas, const String& caption, int width) {
  String out, line;
  auto flush = [&](bool last) {
    String l = MinimizeText(line, canvas, width);
    while (!l.empty() && l.back() == L' ') l.pop_back();
    out += l;
    if (!last) out += L"\r\n";
    line.clear();
  };
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == L'\r' || caption[i] == L'\n') {
      if (caption[i] == L'\r' && i + 1 < caption.size() && caption[i + 1] == L'\n') ++i;
      flush(false);
    } else {
      line += caption[i];
    }
  }
  flush(true);
  return out;
}

TPoint TExtButtonGlyph::DrawButtonGlyph(TCanvas* canvas, int x, int y, TExtButtonState state) {
  int index = CreateButtonGlyph(state);
  if (index < 0 || !list_) return TPoint{0, 0};
  ImageList_Draw(list_->GetHandle(), index, canvas->GetHandle(), x, y, ILD_TRANSPARENT);
  return TPoint{list_->GetWidth(), list_->GetHeight()};
}

void TExtButtonGlyph::CalcButtonLayout(TCanvas* canvas, const TRect& client, const String& caption,
                                       TButtonLayout layout, int margin, int spacing, bool popupMark,
                                       TPoint& glyphPos, TRect& textBounds, UINT flags,
                                       TCustomImageList* images, int index) {
  const int W = client.right - client.left, H = client.bottom - client.top;
  TPoint glyph{0, 0};
  if (ValidImage(images, index))
    glyph = TPoint{images->GetWidth(), images->GetHeight()};
  else if (!original_->Empty() && original_->GetWidth() > 0 && numGlyphs_ > 0)
    glyph = TPoint{original_->GetWidth() / numGlyphs_, original_->GetHeight()};
  const bool vertical = layout == blGlyphTop || layout == blGlyphBottom;
  int roomW = vertical ? W : W - glyph.x;
  int roomH = vertical ? H - glyph.y : H;
  int& along = vertical ? roomH : roomW;
  if (margin != -1) along -= margin;
  if (spacing != -1) along -= spacing;
  if (!vertical && popupMark) roomW -= 9;
  roomW = std::max(roomW, 0);
  roomH = std::max(roomH, 0);

  HDC dc = canvas->GetHandle();
  HGDIOBJ oldFont = SelectObject(dc, canvas->Font()->GetHandle());
  String text = caption;
  if (!wordWrap_ && !text.empty()) text = MinimizeCaption(canvas, text, roomW);
  TRect tr{0, 0, 0, 0};
  if (!text.empty()) {
    tr = TRect{0, 0, roomW, 0};
    DrawTextW(dc, text.c_str(), int(text.size()), &tr,
              DT_CALCRECT | DT_CENTER | DT_VCENTER | (wordWrap_ ? DT_WORDBREAK : 0) | flags);
    tr.right = std::min<LONG>(tr.right, roomW);
    tr.bottom = std::min<LONG>(tr.bottom, roomH);
  }
  SelectObject(dc, oldFont);
  int textW = tr.right - tr.left, textH = tr.bottom - tr.top;

  if (popupMark) {
    if (glyph.x > 0 && glyph.y > 0 && layout != blGlyphLeft) glyph.x += 6;
    else textW += 9;
  }
  TPoint textPos{0, 0};
  if (vertical) {
    glyphPos.x = W / 2 - glyph.x / 2;
    textPos.x = W / 2 - textW / 2;
  } else {
    glyphPos.y = H / 2 - glyph.y / 2;
    textPos.y = H / 2 - textH / 2;
  }
  const int extent = vertical ? H : W;
  const int g = vertical ? glyph.y : glyph.x;
  const int t = vertical ? textH : textW;
  if (t == 0 || g == 0) spacing = 0;
  if (margin == -1) {
    if (spacing != -1) {
      margin = extent / 2 - (g + spacing + t) / 2;
    } else {
      margin = (extent - g - t) / 3;
      spacing = margin;
    }
  } else if (spacing == -1) {
    spacing = (extent - margin - g) / 2 - t / 2;
  }
  int gAlong = 0, tAlong = 0;
  switch (layout) {
    case blGlyphLeft:
    case blGlyphTop:
      gAlong = margin;
      tAlong = margin + g + spacing;
      break;
    case blGlyphRight:
    case blGlyphBottom:
      gAlong = extent - margin - g;
      tAlong = gAlong - spacing - t;
      break;
  }
  if (vertical) {
    glyphPos.y = gAlong;
    textPos.y = tAlong;
  } else {
    glyphPos.x = gAlong;
    textPos.x = tAlong;
  }
  glyphPos.x += client.left;
  glyphPos.y += client.top;
  textBounds = TRect{textPos.x + client.left, textPos.y + client.top, textPos.x + client.left + textW,
                     textPos.y + client.top + textH};
}

TRect TExtButtonGlyph::DrawEx(TCanvas* canvas, const TRect& client, const String& caption, TButtonLayout layout,
                              int margin, int spacing, bool popupMark, TCustomImageList* images, int index,
                              TExtButtonState state, UINT flags) {
  TPoint gp{0, 0};
  TRect tb{0, 0, 0, 0};
  CalcButtonLayout(canvas, client, caption, layout, margin, spacing, popupMark, gp, tb, flags, images, index);
  TPoint drawn = ValidImage(images, index) ? DrawButtonImage(canvas, gp.x, gp.y, images, index, state)
                                           : DrawButtonGlyph(canvas, gp.x, gp.y, state);
  if (popupMark) {
    int x, y;
    if (layout != blGlyphLeft && drawn.x > 0 && drawn.y > 0) {
      x = gp.x + drawn.x + 1;
      y = gp.y + drawn.y / 2;
    } else {
      // The layout kept 9 pixels after the text for the mark.
      x = caption.empty() ? (client.left + client.right - 7) / 2 : tb.right - 9 + 2;
      y = tb.top + (tb.bottom - tb.top) / 2;
    }
    DrawPopupMark(canvas, x, y, state);
  }
  DrawButtonText(canvas, caption, tb, state, flags);
  return tb;
}

void TExtButtonGlyph::DrawButtonText(TCanvas* canvas, const String& caption, TRect textBounds,
                                     TExtButtonState state, UINT flags) {
  if (caption.empty()) return;
  HDC dc = canvas->GetHandle();
  HGDIOBJ oldFont = SelectObject(dc, canvas->Font()->GetHandle());
  int oldMode = SetBkMode(dc, TRANSPARENT);
  String text = caption.substr(0, 255);
  UINT f = flags | DT_VCENTER | (wordWrap_ ? DT_WORDBREAK : 0);
  if (state == rbsDisabled) {
    TRect r = textBounds;
    OffsetRect(&r, 1, 1);
    SetTextColor(dc, Ref(clBtnHighlight));
    DrawTextW(dc, text.c_str(), int(text.size()), &r, f);
    SetTextColor(dc, Ref(clBtnShadow));
  } else {
    SetTextColor(dc, Ref(canvas->Font()->GetColor()));
  }
  TRect r = textBounds;
  DrawTextW(dc, text.c_str(), int(text.size()), &r, f);
  SetBkMode(dc, oldMode);
  SelectObject(dc, oldFont);
}

// ===========================================================================
// TButtonImage

TButtonImage::TButtonImage() : glyph_(std::make_unique<TExtButtonGlyph>()) {}

void TButtonImage::DrawEx(TCanvas* canvas, int x, int y, int margin, int spacing, TButtonLayout layout, TFont* font,
                          TCustomImageList* images, int index, UINT flags) {
  TFont keepFont;
  keepFont.Assign(*canvas->Font());
  TColor keepBrush = canvas->Brush()->GetColor();
  TRect r{x, y, x + buttonSize_.x, y + buttonSize_.y};
  canvas->Brush()->SetColor(clBtnFace);
  canvas->FillRect(r);
  HDC dc = canvas->GetHandle();
  auto frame = [dc](TRect& rc, TColor tl, TColor br) {
    HBRUSH a = CreateSolidBrush(Ref(tl));
    HBRUSH b = CreateSolidBrush(Ref(br));
    RECT t{rc.left, rc.top, rc.right - 1, rc.top + 1}, l{rc.left, rc.top, rc.left + 1, rc.bottom - 1};
    RECT bt{rc.left, rc.bottom - 1, rc.right, rc.bottom}, rt{rc.right - 1, rc.top, rc.right, rc.bottom};
    FillRect(dc, &t, a);
    FillRect(dc, &l, a);
    FillRect(dc, &bt, b);
    FillRect(dc, &rt, b);
    DeleteObject(a);
    DeleteObject(b);
    InflateRect(&rc, -1, -1);
  };
  frame(r, clBtnShadow, clWindowFrame);
  frame(r, clBtnHighlight, clBtnShadow);
  if (font) canvas->Font()->Assign(*font);
  // The caption's lines lie as the alignment says, whatever the caller asked.
  const UINT align = GetAlignment() == taLeftJustify ? DT_LEFT : GetAlignment() == taRightJustify ? DT_RIGHT : DT_CENTER;
  flags = (flags & ~UINT(DT_CENTER | DT_RIGHT)) | align;
  glyph_->DrawEx(canvas, r, caption_, layout, margin, spacing, false, images, index, rbsUp, flags);
  canvas->Font()->Assign(keepFont);
  canvas->Brush()->SetColor(keepBrush);
}

void TExtButtonGlyph::DrawPopupMark(TCanvas* canvas, int x, int y, TExtButtonState state) {
  HDC dc = canvas->GetHandle();
  auto triangle = [dc](int x0, int y0, COLORREF c) {
    for (int row = 0; row < 4; ++row)
      for (int i = row; i < 7 - row; ++i) SetPixel(dc, x0 + i, y0 - 1 + row, c);
  };
  if (state == rbsDisabled) {
    triangle(x + 1, y + 1, Ref(clBtnHighlight));
    triangle(x, y, Ref(clBtnShadow));
  } else {
    triangle(x, y, Ref(clBtnText));
  }
}
