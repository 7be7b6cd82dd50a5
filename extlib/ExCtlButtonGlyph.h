// Button glyphs: one bitmap strip turned into per-state images held in image
// lists shared by every button whose glyphs have the same size, and the
// layout of glyph, caption and drop-down mark inside a button face.
#pragma once

#include <memory>
#include <vector>

#include "classlib/Buttons.h"  // TButtonLayout, shared with the class library's buttons
#include "classlib/Graphics.h"
#include "classlib/ImgList.h"

enum TExtButtonState { rbsUp, rbsDisabled, rbsDown, rbsExclusive, rbsInactive };
// The number of glyphs in a strip, 1 to 5.
using TExtNumGlyphs = int;

// An image list whose slots are handed out and given back; slots are reused
// and the list never shrinks.
class TGlyphList : public TImageList {
 public:
  TGlyphList(int width, int height);
  // Each adds into a fresh slot and returns its index (-1 on failure).
  int AddMasked(TBitmap* image, TColor maskColor);
  int Add(TBitmap* image, TBitmap* mask);
  // Gives a slot back (ignored when it is not in use).
  void Delete(int index);
  int UsedCount() const { return count_; }

 private:
  int AllocateSlot();
  TBits used_;  // the slots in use
  int count_ = 0;
};

// The glyph lists of all sizes in use.
class TGlyphCache : public TObject {
 public:
  ~TGlyphCache() override;
  // The list for glyphs of this size, made when there is none.
  TGlyphList* GetList(int width, int height);
  // Frees the list when no slot of it is in use any more.
  void ReturnList(TGlyphList* list);
  bool Empty() const { return lists_.empty(); }
  int ListCount() const { return int(lists_.size()); }

 private:
  std::vector<TGlyphList*> lists_;
};

// The process-wide cache; nullptr while no button glyph exists.
TGlyphCache* GlyphCache();

class TExtButtonGlyph : public TObject {
 public:
  TExtButtonGlyph();
  ~TExtButtonGlyph() override;

  TBitmap* GetGlyph() const { return original_.get(); }
  void SetGlyph(TBitmap* b);
  int GetNumGlyphs() const { return numGlyphs_; }
  // 0 and the current value do nothing; values above 5 are taken as 5.
  void SetNumGlyphs(int n);
  bool GetWordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v) { wordWrap_ = v; }
  TAlignment GetAlignment() const { return alignment_; }
  void SetAlignment(TAlignment a) { alignment_ = a; }
  TColor GetTransparentColor() const { return transparentColor_; }

  // The slot of the image for a state, made on first use; -1 when the strip
  // is empty.
  int CreateButtonGlyph(TExtButtonState state);
  // The same for image `index` of an image list; -1 when the list is empty
  // or has no such image.
  int CreateImageGlyph(TExtButtonState state, TCustomImageList* images, int index);
  // Draws the state's image with its top-left corner at (x, y); returns the
  // size drawn ((0, 0) when there is none).
  TPoint DrawButtonGlyph(TCanvas* canvas, int x, int y, TExtButtonState state);
  TPoint DrawButtonImage(TCanvas* canvas, int x, int y, TCustomImageList* images, int index,
                         TExtButtonState state);
  // Draws the caption in `textBounds` (a disabled one engraved).
  void DrawButtonText(TCanvas* canvas, const String& caption, TRect textBounds, TExtButtonState state, UINT flags);
  // Each line of the caption shortened with "..." to `width` pixels, with
  // trailing blanks trimmed.
  String MinimizeCaption(TCanvas* canvas, const String& caption, int width);
  // Lays out glyph and caption inside `client`: the glyph's top-left corner
  // and the caption's rectangle, both in the coordinates of `client`.
  // With an image list and a valid index its image takes the glyph's place.
  void CalcButtonLayout(TCanvas* canvas, const TRect& client, const String& caption, TButtonLayout layout,
                        int margin, int spacing, bool popupMark, TPoint& glyphPos, TRect& textBounds,
                        UINT flags, TCustomImageList* images = nullptr, int index = -1);
  // Lays out and draws glyph (or image) and caption in `client` for a
  // state; returns the caption's rectangle.
  TRect DrawEx(TCanvas* canvas, const TRect& client, const String& caption, TButtonLayout layout, int margin,
               int spacing, bool popupMark, TCustomImageList* images, int index, TExtButtonState state,
               UINT flags);
  TRect Draw(TCanvas* canvas, const TRect& client, const String& caption, TButtonLayout layout, int margin,
             int spacing, bool popupMark, TExtButtonState state, UINT flags) {
    return DrawEx(canvas, client, caption, layout, margin, spacing, popupMark, nullptr, -1, state, flags);
  }
  // The drop-down mark: a small downward triangle whose top row starts at
  // (x, y - 1).
  void DrawPopupMark(TCanvas* canvas, int x, int y, TExtButtonState state);
  // Gray for every colour except the transparent one and the button face.
  TColor MapColor(TColor c) const;
  // Gives back every made image (of the strip and of an image list).
  void Invalidate();
  // The list holding the made images (nullptr before any is made).
  TGlyphList* GlyphList() const { return list_; }

  TNotifyEvent OnChange;

 private:
  void GlyphChanged(TObject*);
  bool ValidImage(TCustomImageList* images, int index) const;

  std::unique_ptr<TBitmap> original_;
  TGlyphList* list_ = nullptr;
  int indexes_[5] = {-1, -1, -1, -1, -1};
  // The images made from an image list, and the list and image they show.
  int imageIndexes_[5] = {-1, -1, -1, -1, -1};
  TCustomImageList* imageSource_ = nullptr;
  int imageSourceIndex_ = -1;
  TGlyphList* imageList_ = nullptr;
  TColor transparentColor_ = clFuchsia;
  int numGlyphs_ = 1;
  bool wordWrap_ = false;
  TAlignment alignment_ = taCenter;
};

// Draws a whole raised button face with glyph and caption, without a control.
class TButtonImage : public TObject {
 public:
  TButtonImage();
  TBitmap* GetGlyph() const { return glyph_->GetGlyph(); }
  void SetGlyph(TBitmap* b) { glyph_->SetGlyph(b); }
  int GetNumGlyphs() const { return glyph_->GetNumGlyphs(); }
  void SetNumGlyphs(int n) { glyph_->SetNumGlyphs(n); }
  bool GetWordWrap() const { return glyph_->GetWordWrap(); }
  void SetWordWrap(bool v) { glyph_->SetWordWrap(v); }
  TAlignment GetAlignment() const { return glyph_->GetAlignment(); }
  void SetAlignment(TAlignment a) { glyph_->SetAlignment(a); }
  TPoint GetButtonSize() const { return buttonSize_; }
  void SetButtonSize(TPoint p) { buttonSize_ = p; }
  const String& GetCaption() const { return caption_; }
  void SetCaption(const String& s) { caption_ = s; }
  // Paints the button with its top-left corner at (x, y), in `font` when one
  // is given; the canvas keeps its own font and brush colour.
  void Draw(TCanvas* canvas, int x, int y, int margin, int spacing, TButtonLayout layout, TFont* font,
            UINT flags) {
    DrawEx(canvas, x, y, margin, spacing, layout, font, nullptr, -1, flags);
  }
  // The same with image `index` of `images` as the glyph.
  void DrawEx(TCanvas* canvas, int x, int y, int margin, int spacing, TButtonLayout layout, TFont* font,
              TCustomImageList* images, int index, UINT flags);
  void Invalidate() { glyph_->Invalidate(); }

 private:
  std::unique_ptr<TExtButtonGlyph> glyph_;
  TPoint buttonSize_{24, 23};
  String caption_;
};
