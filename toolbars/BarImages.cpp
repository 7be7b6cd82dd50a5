#include "toolbars/BarImages.h"

#include <objidl.h>

// The system headers declare these only where the stream interface came
// before them, which the precompiled headers do not guarantee.
extern "C" {
DECLSPEC_IMPORT HIMAGELIST WINAPI ImageList_Read(IStream* pstm);
DECLSPEC_IMPORT BOOL WINAPI ImageList_Write(HIMAGELIST himl, IStream* pstm);
}

#include "classlib/Filer.h"
#include "toolbars/BarFiler.h"

TBarCustomImageList::~TBarCustomImageList() {
  SetComponentStateFlag(csDestroying, true);
  SetList(checked_, checkedLink_, nullptr);
  SetList(disabled_, disabledLink_, nullptr);
  SetList(hot_, hotLink_, nullptr);
}

void TBarCustomImageList::SetList(TCustomImageList*& Field, TChangeLink& Link, TCustomImageList* Value) {
  if (Value == this) Value = nullptr;
  if (Field == Value) return;
  if (Field) {
    Field->UnRegisterChanges(&Link);
    Field->RemoveFreeNotification(this);
  }
  Field = Value;
  if (Value) {
    Link.OnChange = TNotifyEvent(this, &TBarCustomImageList::StateListChanged);
    Value->RegisterChanges(&Link);
    Value->FreeNotification(this);
  }
  if (!IsLoading() && !IsDestroying()) Change();
}

void TBarCustomImageList::StateListChanged(TObject*) {
  if (!IsDestroying()) Change();
}

void TBarCustomImageList::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomImageList::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  // The going list drops its links itself.
  if (AComponent == checked_) checked_ = nullptr;
  if (AComponent == disabled_) disabled_ = nullptr;
  if (AComponent == hot_) hot_ = nullptr;
}

std::unique_ptr<TBitmap> TBarCustomImageList::NewImagesBitmap() {
  auto b = std::make_unique<TBitmap>();
  b->OnChange = TNotifyEvent(this, &TBarCustomImageList::ImagesBitmapChanged);
  // Drawing on the strip's canvas changes it too.
  b->Canvas()->OnChange = TNotifyEvent(this, &TBarCustomImageList::ImagesBitmapChanged);
  return b;
}

void TBarCustomImageList::SetImagesBitmap(TBitmap* Value) {
  if (Value == imagesBitmap_.get()) return;
  if (Value)
    imagesBitmap_->Assign(*Value);  // signals the change itself
  else
    imagesBitmap_->Assign(TBitmap());
}

void TBarCustomImageList::SetImagesBitmapMaskColor(TColor Value) {
  if (maskColor_ == Value) return;
  maskColor_ = Value;
  ImagesBitmapChanged();
}

void TBarCustomImageList::ImagesBitmapChanged(TObject*) {
  if (!imagesBitmap_ || imagesBitmap_->Empty() || IsDestroying()) return;
  Clear();
  AddMasked(imagesBitmap_.get(), maskColor_);
}

namespace {
const std::vector<const wchar_t*> kDrawingStyleNames = {L"dsFocus", L"dsSelected", L"dsNormal", L"dsTransparent"};
const std::vector<const wchar_t*> kImageTypeNames = {L"itImage", L"itMask"};

// The images in the system's own image-list format.
void WriteImages(HIMAGELIST List, TStream* Out) {
  IStream* s = nullptr;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &s))) throw EWriteError(L"Out of memory writing images");
  bool ok = ImageList_Write(List, s);
  LARGE_INTEGER zero{};
  ULARGE_INTEGER end{};
  HGLOBAL g = nullptr;
  if (ok) ok = SUCCEEDED(s->Seek(zero, STREAM_SEEK_CUR, &end)) && SUCCEEDED(GetHGlobalFromStream(s, &g));
  if (ok) {
    const void* p = GlobalLock(g);
    Out->WriteBuffer(p, static_cast<int64_t>(end.QuadPart));
    GlobalUnlock(g);
  }
  s->Release();
  if (!ok) throw EWriteError(L"Failed to write image list data");
}

HIMAGELIST ReadImages(TStream* In) {
  int64_t n = In->GetSize() - In->GetPosition();
  HGLOBAL g = GlobalAlloc(GMEM_MOVEABLE, static_cast<SIZE_T>(n > 0 ? n : 1));
  if (!g) throw EReadError(L"Out of memory reading images");
  if (n > 0) {
    void* p = GlobalLock(g);
    In->ReadBuffer(p, n);
    GlobalUnlock(g);
  }
  IStream* s = nullptr;
  if (FAILED(CreateStreamOnHGlobal(g, TRUE, &s))) {
    GlobalFree(g);
    throw EReadError(L"Out of memory reading images");
  }
  HIMAGELIST h = ImageList_Read(s);
  s->Release();
  if (!h) throw EReadError(L"Failed to read image list data");
  return h;
}
}  // namespace

void TBarCustomImageList::DefineProperties(TFiler* Filer) {
  TCustomImageList::DefineProperties(Filer);
  auto* a = dynamic_cast<TBarCustomImageList*>(Filer->GetAncestor());
  using namespace BarFiler;
  // The size first: a new size empties the list.
  Integer(Filer, L"Height", GetHeight(), a ? a->GetHeight() : 16, [this](int v) { SetHeight(v); });
  Integer(Filer, L"Width", GetWidth(), a ? a->GetWidth() : 16, [this](int v) { SetWidth(v); });
  Integer(Filer, L"BkColor", GetBkColor(), a ? a->GetBkColor() : clNone, [this](int v) { SetBkColor(v); });
  Enum(Filer, L"DrawingStyle", GetDrawingStyle(), a ? a->GetDrawingStyle() : dsNormal, kDrawingStyleNames,
       [this](int v) { SetDrawingStyle(static_cast<TDrawingStyle>(v)); });
  Enum(Filer, L"ImageType", GetImageType(), a ? a->GetImageType() : itImage, kImageTypeNames,
       [this](int v) { SetImageType(static_cast<TImageType>(v)); });
  Boolean(Filer, L"Masked", GetMasked(), a ? a->GetMasked() : true, [this](bool v) { SetMasked(v); });
  Reference(Filer, L"CheckedImages", checked_, a ? a->checked_ : nullptr, pendingChecked_);
  Reference(Filer, L"DisabledImages", disabled_, a ? a->disabled_ : nullptr, pendingDisabled_);
  Reference(Filer, L"HotImages", hot_, a ? a->hot_ : nullptr, pendingHot_);
  Integer(Filer, L"ImagesBitmapMaskColor", maskColor_, a ? a->maskColor_ : clFuchsia,
          [this](int v) { SetImagesBitmapMaskColor(v); });
  const bool fromBitmap = imagesBitmap_ && !imagesBitmap_->Empty();
  Filer->DefineBinaryProperty(
      L"ImagesBitmap",
      [this](TStream* In) {
        std::vector<uint8_t> bytes(static_cast<size_t>(In->GetSize() - In->GetPosition()));
        if (!bytes.empty()) In->ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
        TBitmap b;
        b.LoadFromBytes(bytes.data(), bytes.size());
        SetImagesBitmap(&b);
      },
      [this](TStream* Out) {
        std::vector<uint8_t> bytes = imagesBitmap_->SaveToBytes();
        Out->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
      },
      fromBitmap);
  // The images themselves only when the bitmap does not make them.
  Filer->DefineBinaryProperty(
      L"Bitmap", [this](TStream* In) { SetHandle(ReadImages(In)); },
      [this](TStream* Out) { WriteImages(GetHandle(), Out); }, !fromBitmap && GetCount() > 0);
}

void TBarCustomImageList::Loaded() {
  TCustomImageList::Loaded();
  auto resolve = [this](String& Name) -> TCustomImageList* {
    auto* l = dynamic_cast<TCustomImageList*>(BarFiler::Find(this, Name));
    Name.clear();
    return l;
  };
  if (!pendingChecked_.empty()) SetCheckedImages(resolve(pendingChecked_));
  if (!pendingDisabled_.empty()) SetDisabledImages(resolve(pendingDisabled_));
  if (!pendingHot_.empty()) SetHotImages(resolve(pendingHot_));
}

void TBarCustomImageList::DrawState(TCanvas* Canvas, int X, int Y, int Index, bool Enabled, bool Selected,
                                    bool Checked) {
  if (!Enabled && disabled_)
    disabled_->Draw(Canvas, X, Y, Index, true);
  else if (Checked && checked_)
    checked_->Draw(Canvas, X, Y, Index, Enabled);
  else if (Selected && hot_)
    hot_->Draw(Canvas, X, Y, Index, Enabled);
  else
    Draw(Canvas, X, Y, Index, Enabled);
}

int BarImageWidth(TCustomImageList* IL) { return IL ? IL->GetWidth() : 0; }

int BarImageHeight(TCustomImageList* IL) { return IL ? IL->GetHeight() : 0; }

void BarImageDrawState(TCustomImageList* IL, TCanvas* Canvas, int X, int Y, int Index, bool Enabled,
                       bool Selected, bool Checked) {
  if (!IL) return;
  if (auto* s = dynamic_cast<TBarCustomImageList*>(IL))
    s->DrawState(Canvas, X, Y, Index, Enabled, Selected, Checked);
  else
    IL->Draw(Canvas, X, Y, Index, Enabled);
}
