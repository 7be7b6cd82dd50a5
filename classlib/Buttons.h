// Buttons with a glyph: the window-less speed button (tool bar buttons,
// groups with one button down) and the owner-drawn bitmap button.
#pragma once

#include "classlib/StdCtrls.h"

// Where the glyph sits beside the caption.
enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
// A speed button's look: up, disabled, pressed, or held down (Down).
enum TButtonState { bsUp, bsDisabled, bsDown, bsExclusive };

// Draws a glyph strip's cell and a caption inside r, laid out by Layout
// (Margin -1: the whole block centred; Spacing -1: glyph and caption
// spread evenly). A glyph strip has NumGlyphs cells: up, disabled,
// pressed, down. Offset moves everything (a pressed look).
void DrawButtonGlyphAndCaption(TCanvas* Canvas, const TRect& r, TBitmap* Glyph, int NumGlyphs, TButtonState State,
                               const String& Caption, TButtonLayout Layout, int Margin, int Spacing, int Offset);

class TSpeedButton : public TGraphicControl {
 public:
  const char* ClassName() const override { return "TSpeedButton"; }
 protected:
  const wchar_t* StoredTextName() const override { return L"Caption"; }

 public:
  explicit TSpeedButton(TComponent* AOwner);
  ~TSpeedButton() override;

  TBitmap* GetGlyph() const { return glyph_.get(); }
  void SetGlyph(TBitmap* Value);
  int GetNumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int Value);  // 1 to 4
  TButtonLayout GetLayout() const { return layout_; }
  void SetLayout(TButtonLayout Value);
  int GetMargin() const { return margin_; }
  void SetMargin(int Value);
  int GetSpacing() const { return spacing_; }
  void SetSpacing(int Value);
  bool GetFlat() const { return flat_; }
  void SetFlat(bool Value);
  // Buttons of one GroupIndex (> 0) and parent: at most one is Down;
  // AllowAllUp lets the down one come up again.
  int GetGroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int Value);
  bool GetAllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool Value);
  bool GetDown() const { return down_; }
  void SetDown(bool Value);
  TButtonState GetState() const;
  // Whether the mouse is over the button (CM_MOUSEENTER / CM_MOUSELEAVE).
  bool MouseInControl() const { return mouseIn_; }

  void Click() override;
  void WndProc(TMessage& m) override;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  void GlyphChanged(TObject*) { Invalidate(); }
  std::unique_ptr<TBitmap> glyph_;
  int numGlyphs_ = 1;
  TButtonLayout layout_ = blGlyphLeft;
  int margin_ = -1;
  int spacing_ = 4;
  bool flat_ = false;
  int groupIndex_ = 0;
  bool allowAllUp_ = false;
  bool down_ = false;
  bool pressed_ = false;   // the left button went down on it and is held over it
  bool tracking_ = false;  // the left button went down on it
  bool mouseIn_ = false;
};

// A push button that draws its own face (BS_OWNERDRAW): the parent's
// WM_DRAWITEM reaches its WindowProc as CN_DRAWITEM.
class TBitBtn : public TButton {
 public:
  const char* ClassName() const override { return "TBitBtn"; }
  explicit TBitBtn(TComponent* AOwner);
  ~TBitBtn() override;

  TBitmap* GetGlyph() const { return glyph_.get(); }
  void SetGlyph(TBitmap* Value);
  int GetNumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int Value);
  TButtonLayout GetLayout() const { return layout_; }
  void SetLayout(TButtonLayout Value);
  int GetMargin() const { return margin_; }
  void SetMargin(int Value);
  int GetSpacing() const { return spacing_; }
  void SetSpacing(int Value);

  void WndProc(TMessage& m) override;

 protected:
  void CreateParams(TCreateParams& p) override;
  virtual void DrawItem(const DRAWITEMSTRUCT& Item);

 private:
  void GlyphChanged(TObject*) { Invalidate(); }
  std::unique_ptr<TBitmap> glyph_;
  int numGlyphs_ = 1;
  TButtonLayout layout_ = blGlyphLeft;
  int margin_ = -1;
  int spacing_ = 4;
};
