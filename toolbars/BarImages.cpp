#include "toolbars/BarImages.h"

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

void TBarCustomImageList::SetImagesBitmap(TBitmap* Value) {
  if (!imagesBitmap_) imagesBitmap_ = std::make_unique<TBitmap>();
  if (Value)
    imagesBitmap_->Assign(*Value);
  else
    imagesBitmap_ = std::make_unique<TBitmap>();
  ImagesBitmapChanged();
}

void TBarCustomImageList::SetImagesBitmapMaskColor(TColor Value) {
  if (maskColor_ == Value) return;
  maskColor_ = Value;
  ImagesBitmapChanged();
}

void TBarCustomImageList::ImagesBitmapChanged() {
  if (!imagesBitmap_ || imagesBitmap_->Empty()) return;
  Clear();
  AddMasked(imagesBitmap_.get(), maskColor_);
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
