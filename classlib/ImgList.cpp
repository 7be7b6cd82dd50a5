#include "classlib/ImgList.h"

#include <algorithm>

#include "classlib/Controls.h"

ZEMBRIO_DECLARE_EXCEPTION(EImageListError, Exception)

TCustomImageList::TCustomImageList(TComponent* AOwner) : TComponent(AOwner) {}

TCustomImageList::TCustomImageList(TComponent* AOwner, int width, int height)
    : TComponent(AOwner), width_(width), height_(height) {}

void TChangeLink::Change() {
  if (OnChange) OnChange(sender_);
}

TChangeLink::~TChangeLink() {
  if (sender_) sender_->UnRegisterChanges(this);
}

TCustomImageList::~TCustomImageList() {
  for (TChangeLink* l : links_) l->sender_ = nullptr;
  links_.clear();
  FreeHandle();
}

void TCustomImageList::RegisterChanges(TChangeLink* link) {
  if (!link || link->sender_ == this) return;
  if (link->sender_) link->sender_->UnRegisterChanges(link);
  link->sender_ = this;
  links_.push_back(link);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* link) {
  auto it = std::find(links_.begin(), links_.end(), link);
  if (it == links_.end()) return;
  links_.erase(it);
  link->sender_ = nullptr;
}

void TCustomImageList::FreeHandle() {
  if (handle_) ImageList_Destroy(handle_);
  handle_ = nullptr;
}

void TCustomImageList::CreateImageList() { handle_ = NewImageList(); }

void TCustomImageList::HandleNeeded() {
  if (!handle_) CreateImageList();
}

HIMAGELIST TCustomImageList::GetHandle() {
  HandleNeeded();
  return handle_;
}

void TCustomImageList::SetHandle(HIMAGELIST h) {
  if (h == handle_) return;
  if (h) {
    int w = 0, hh = 0;
    ImageList_GetIconSize(h, &w, &hh);
    width_ = w;
    height_ = hh;
  }
  ReplaceHandle(h);
}

void TCustomImageList::ReplaceHandle(HIMAGELIST h) {
  // The watchers take the new list before the old one goes, and at once
  // even inside BeginUpdate: a control must never hold a destroyed list.
  HIMAGELIST old = handle_;
  handle_ = h;
  const int level = updateCount_;
  updateCount_ = 0;
  try {
    Change();
  } catch (...) {
    updateCount_ = level;
    if (old) ImageList_Destroy(old);
    throw;
  }
  updateCount_ = level;
  if (old) ImageList_Destroy(old);
}

HIMAGELIST TCustomImageList::NewImageList() const {
  InitCommonControl(ICC_WIN95_CLASSES);
  UINT flags = ILC_COLOR32 | (masked_ ? ILC_MASK : 0);
  HIMAGELIST h = ImageList_Create(width_, height_, flags, 4, 4);
  if (!h) throw EImageListError(L"Invalid image size");
  if (bkColor_ != clNone) ImageList_SetBkColor(h, ColorToRef(bkColor_));
  return h;
}

void TCustomImageList::SetSize(int w, int h) {
  if (w <= 0 || h <= 0) throw EImageListError(L"Invalid image size");
  if (w == width_ && h == height_) return;
  width_ = w;
  height_ = h;
  if (handle_)
    ReplaceHandle(NewImageList());
  else
    Change();
}

void TCustomImageList::SetWidth(int w) { SetSize(w, height_); }
void TCustomImageList::SetHeight(int h) { SetSize(width_, h); }

void TCustomImageList::SetMasked(bool m) {
  if (m == masked_) return;
  masked_ = m;
  if (handle_) ReplaceHandle(NewImageList());
}

void TCustomImageList::SetBkColor(TColor c) {
  bkColor_ = c;
  if (handle_) ImageList_SetBkColor(handle_, c == clNone ? CLR_NONE : ColorToRef(c));
  Change();
}

int TCustomImageList::GetCount() { return handle_ ? ImageList_GetImageCount(handle_) : 0; }

void TCustomImageList::CheckIndex(int index, const wchar_t* op) const {
  int n = handle_ ? ImageList_GetImageCount(handle_) : 0;
  if (index < 0 || index >= n) throw EImageListError(String(L"Failed to ") + op + L" image list index " + std::to_wstring(index));
}

void TCustomImageList::Change() {
  if (updateCount_ > 0) {
    pendingChange_ = true;
    return;
  }
  pendingChange_ = false;
  if (OnChange) OnChange(this);
  // A watcher may unregister while told: walk a copy.
  for (TChangeLink* l : std::vector<TChangeLink*>(links_))
    if (std::find(links_.begin(), links_.end(), l) != links_.end()) l->Change();
}

int TCustomImageList::Add(TBitmap* image, TBitmap* mask) {
  if (!image || image->Empty()) return -1;
  HandleNeeded();
  int r = ImageList_Add(handle_, image->GetHandle(), mask && !mask->Empty() ? mask->GetHandle() : nullptr);
  if (r < 0) throw EImageListError(L"Failed to add an image to the image list");
  Change();
  return r;
}

int TCustomImageList::AddMasked(TBitmap* image, TColor maskColor) {
  if (!image || image->Empty()) return -1;
  HandleNeeded();
  int r;
  if (masked_ && maskColor != clNone) {
    // The image list changes the colour-keyed pixels of the bitmap it is
    // given: hand it a copy.
    TBitmap copy;
    copy.Assign(*image);
    r = ImageList_AddMasked(handle_, copy.GetHandle(), ColorToRef(maskColor));
  } else {
    r = ImageList_Add(handle_, image->GetHandle(), nullptr);
  }
  if (r < 0) throw EImageListError(L"Failed to add an image to the image list");
  Change();
  return r;
}

int TCustomImageList::AddIcon(TIcon* icon) {
  if (!icon || icon->Empty()) return -1;
  HandleNeeded();
  int r = ImageList_ReplaceIcon(handle_, -1, icon->GetHandle());
  Change();
  return r;
}

void TCustomImageList::Replace(int index, TBitmap* image, TBitmap* mask) {
  CheckIndex(index, L"replace");
  if (!ImageList_Replace(handle_, index, image->GetHandle(), mask && !mask->Empty() ? mask->GetHandle() : nullptr))
    throw EImageListError(L"Failed to replace image list index " + std::to_wstring(index));
  Change();
}

void TCustomImageList::Delete(int index) {
  CheckIndex(index, L"remove");
  ImageList_Remove(handle_, index);
  Change();
}

void TCustomImageList::Clear() {
  if (handle_) ImageList_Remove(handle_, -1);
  Change();
}

void TCustomImageList::Move(int cur, int dest) {
  CheckIndex(cur, L"move");
  CheckIndex(dest, L"move");
  if (cur == dest) return;
  // Rebuild through copies: the list has no direct move.
  int n = GetCount();
  std::vector<int> order;
  for (int i = 0; i < n; ++i) order.push_back(i);
  int v = order[size_t(cur)];
  order.erase(order.begin() + cur);
  order.insert(order.begin() + dest, v);
  HIMAGELIST copy = ImageList_Duplicate(handle_);
  for (int i = 0; i < n; ++i) ImageList_Copy(handle_, i, copy, order[size_t(i)], ILCF_MOVE);
  ImageList_Destroy(copy);
  Change();
}

void TCustomImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled) {
  DrawEx(canvas, x, y, index, drawingStyle_, imageType_, enabled);
}

void TCustomImageList::DrawEx(TCanvas* canvas, int x, int y, int index, TDrawingStyle ds, TImageType it,
                              bool enabled) {
  if (!handle_ || index < 0 || index >= GetCount()) return;
  HDC dc = canvas->GetHandle();
  if (enabled) {
    UINT style = ILD_NORMAL;
    switch (ds) {
      case dsFocus: style = ILD_FOCUS; break;
      case dsSelected: style = ILD_SELECTED; break;
      case dsTransparent: style = ILD_TRANSPARENT; break;
      default: style = masked_ ? ILD_TRANSPARENT : ILD_NORMAL; break;
    }
    if (it == itMask) style |= ILD_MASK;
    ImageList_DrawEx(handle_, index, dc, x, y, 0, 0, CLR_NONE, CLR_NONE, style);
    canvas->Refresh();
    return;
  }
  // Disabled: the image's shape as an embossed gray glyph. The mask marks
  // where the image has pixels.
  TBitmap mono(width_, height_, pf1bit);
  HDC mdc = mono.CanvasDC();
  PatBlt(mdc, 0, 0, width_, height_, WHITENESS);
  if (masked_) {
    ImageList_DrawEx(handle_, index, mdc, 0, 0, 0, 0, CLR_NONE, CLR_NONE, ILD_MASK);
  } else {
    // Without a mask every pixel that is not the background colour counts.
    TBitmap img(width_, height_, pf32bit);
    ImageList_DrawEx(handle_, index, img.CanvasDC(), 0, 0, 0, 0, CLR_NONE, CLR_NONE, ILD_NORMAL);
    COLORREF old = ::SetBkColor(img.CanvasDC(), ColorToRef(clWhite));
    BitBlt(mdc, 0, 0, width_, height_, img.CanvasDC(), 0, 0, SRCCOPY);
    ::SetBkColor(img.CanvasDC(), old);
  }
  COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
  COLORREF oldBack = ::SetBkColor(dc, RGB(255, 255, 255));
  HBRUSH hi = CreateSolidBrush(ColorToRef(clBtnHighlight));
  HGDIOBJ ob = SelectObject(dc, hi);
  // ROP 0x00B8074A: brush where the mask is black, keep the rest.
  BitBlt(dc, x + 1, y + 1, width_, height_, mdc, 0, 0, 0x00B8074A);
  HBRUSH sh = CreateSolidBrush(ColorToRef(clBtnShadow));
  SelectObject(dc, sh);
  BitBlt(dc, x, y, width_, height_, mdc, 0, 0, 0x00B8074A);
  SelectObject(dc, ob);
  DeleteObject(hi);
  DeleteObject(sh);
  SetTextColor(dc, oldText);
  ::SetBkColor(dc, oldBack);
  canvas->Refresh();
}

void TCustomImageList::GetBitmap(int index, TBitmap* image) {
  if (!image) return;
  CheckIndex(index, L"get");
  image->SetSize(width_, height_);
  HDC dc = image->CanvasDC();
  PatBlt(dc, 0, 0, width_, height_, WHITENESS);
  ImageList_DrawEx(handle_, index, dc, 0, 0, 0, 0, CLR_NONE, CLR_NONE, ILD_NORMAL);
}

void TCustomImageList::GetIcon(int index, TIcon* icon) {
  if (!icon) return;
  CheckIndex(index, L"get");
  icon->SetHandle(ImageList_GetIcon(handle_, index, ILD_NORMAL));
}

bool TCustomImageList::GetInstRes(HINSTANCE inst, TResType type, const String& name, int width,
                                  TLoadResources options, TColor maskColor) {
  if (type != rtBitmap) {
    UINT t = type == rtIcon ? IMAGE_ICON : IMAGE_CURSOR;
    HANDLE h = LoadImageW(inst, name.c_str(), t, width_, height_, 0);
    if (!h) return false;
    HandleNeeded();
    ImageList_ReplaceIcon(handle_, -1, static_cast<HICON>(h));
    DestroyIcon(static_cast<HICON>(h));
    Change();
    return true;
  }
  TBitmap bmp;
  try {
    bmp.LoadFromResourceName(inst, name);
  } catch (const EResNotFound&) {
    return false;
  }
  if (width > 0 && width != width_) SetSize(width, bmp.GetHeight());
  else if (bmp.GetHeight() != height_) SetSize(width_, bmp.GetHeight());
  // ImageList_AddMasked splits a wide strip into images of the list's width.
  BeginUpdate();
  if (maskColor == clDefault) maskColor = bmp.Canvas()->GetPixel(0, bmp.GetHeight() - 1);
  AddMasked(&bmp, maskColor);
  EndUpdate();
  return true;
}

bool TCustomImageList::ResourceLoad(TResType type, const String& name, TColor maskColor, HINSTANCE inst) {
  return GetInstRes(inst ? inst : MainInstance(), type, name, 0, TLoadResources{}, maskColor);
}

// ---------------------------------------------------------------------------
// TDragImageList

void DragImagesFreed(TDragImageList* images);

TDragImageList::~TDragImageList() {
  if (dragging_) EndDrag();
  DragImagesFreed(this);
}

bool TDragImageList::SetDragImage(int Index, int HotSpotX, int HotSpotY) {
  if (Index < 0 || Index >= GetCount()) return false;
  dragIndex_ = Index;
  hotSpot_ = TPoint{HotSpotX, HotSpotY};
  if (dragging_) ImageList_SetDragCursorImage(GetHandle(), Index, HotSpotX, HotSpotY);
  return true;
}

bool TDragImageList::BeginDrag(HWND Window, int X, int Y) {
  if (dragging_) EndDrag();
  if (GetCount() == 0) return false;
  if (!ImageList_BeginDrag(GetHandle(), dragIndex_, hotSpot_.x, hotSpot_.y)) return false;
  dragging_ = true;
  return DragLock(Window, X, Y);
}

bool TDragImageList::DragLock(HWND Window, int X, int Y) {
  if (!dragging_) return false;
  if (locked_ && Window == lockWindow_) return DragMove(X, Y);
  DragUnlock();
  locked_ = ImageList_DragEnter(Window, X, Y) != FALSE;
  lockWindow_ = locked_ ? Window : nullptr;
  return locked_;
}

void TDragImageList::DragUnlock() {
  if (!locked_) return;
  ImageList_DragLeave(lockWindow_);
  locked_ = false;
  lockWindow_ = nullptr;
}

bool TDragImageList::DragMove(int X, int Y) { return locked_ && ImageList_DragMove(X, Y); }

bool TDragImageList::EndDrag() {
  if (!dragging_) return false;
  DragUnlock();
  ImageList_EndDrag();
  dragging_ = false;
  return true;
}

void TDragImageList::HideDragImage() {
  if (locked_) ImageList_DragShowNolock(FALSE);
}

void TDragImageList::ShowDragImage() {
  if (locked_) ImageList_DragShowNolock(TRUE);
}
