// Image lists with state images, and the few image-list operations the
// viewers need, in one place.
#pragma once

#include <memory>

#include "classlib/Graphics.h"
#include "classlib/ImgList.h"

// An image list that can hand its drawing to other lists for disabled,
// checked and hot (selected) items, and that can take all its images from
// one bitmap strip.
class TBarCustomImageList : public TCustomImageList {
 public:
  using TCustomImageList::TCustomImageList;
  ~TBarCustomImageList() override;
  const char* ClassName() const override { return "TBarCustomImageList"; }

  TCustomImageList* GetCheckedImages() const { return checked_; }
  void SetCheckedImages(TCustomImageList* Value) { SetList(checked_, checkedLink_, Value); }
  TCustomImageList* GetDisabledImages() const { return disabled_; }
  void SetDisabledImages(TCustomImageList* Value) { SetList(disabled_, disabledLink_, Value); }
  TCustomImageList* GetHotImages() const { return hot_; }
  void SetHotImages(TCustomImageList* Value) { SetList(hot_, hotLink_, Value); }
  // The list's own bitmap strip: whenever it changes (loaded, resized,
  // assigned or drawn on) and is not empty, it replaces all images (masked
  // images of the list's size).
  TBitmap* GetImagesBitmap() const { return imagesBitmap_.get(); }
  // Copies Value into the bitmap strip; null empties it.
  void SetImagesBitmap(TBitmap* Value);
  TColor GetImagesBitmapMaskColor() const { return maskColor_; }
  void SetImagesBitmapMaskColor(TColor Value);

  void DrawState(TCanvas* Canvas, int X, int Y, int Index, bool Enabled, bool Selected, bool Checked);
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // Streams the list's size and look, its state lists (by name), its images
  // bitmap and mask colour, and its images; a list with a non-empty images
  // bitmap stores the bitmap only, its images being made from it.
  void DefineProperties(TFiler* Filer) override;
  void Loaded() override;

 private:
  // The field's list changes; the link follows it, and this list signals
  // its own change (as it does whenever one of them changes).
  void SetList(TCustomImageList*& Field, TChangeLink& Link, TCustomImageList* Value);
  void StateListChanged(TObject*);
  void ImagesBitmapChanged(TObject* = nullptr);
  std::unique_ptr<TBitmap> NewImagesBitmap();
  TCustomImageList* checked_ = nullptr;
  TCustomImageList* disabled_ = nullptr;
  TCustomImageList* hot_ = nullptr;
  TChangeLink checkedLink_, disabledLink_, hotLink_;
  String pendingChecked_, pendingDisabled_, pendingHot_;  // names read, found in Loaded
  std::unique_ptr<TBitmap> imagesBitmap_ = NewImagesBitmap();
  TColor maskColor_ = clFuchsia;
};

class TBarImageList : public TBarCustomImageList {
 public:
  using TBarCustomImageList::TBarCustomImageList;
  const char* ClassName() const override { return "TBarImageList"; }
};

int BarImageWidth(TCustomImageList* IL);
int BarImageHeight(TCustomImageList* IL);
// Draws image Index at (X, Y); a state image list picks its disabled,
// checked or hot list first.
void BarImageDrawState(TCustomImageList* IL, TCanvas* Canvas, int X, int Y, int Index,
                       bool Enabled, bool Selected, bool Checked);
