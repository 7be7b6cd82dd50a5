// Shadowed text drawing and the shadow label: a label that draws its caption
// over an offset copy in a shadow colour, looks engraved when disabled, can
// frame itself when the control it labels has the focus, and reports the
// mouse entering and leaving it.
#pragma once

#include "classlib/StdCtrls.h"

enum TShadowPosition { spLeftTop, spLeftBottom, spRightBottom, spRightTop };

// Draws `len` characters of `text` (-1: up to the terminating zero) twice:
// once offset by `shadowSize` towards `pos` in `shadowColor`, then in place in
// the context's text colour (which is left as it was). With DT_CALCRECT only
// measures. `r` becomes the union of both rectangles. Returns the height of
// the text plus the shadow size.
int DrawShadowText(HDC dc, const wchar_t* text, int len, RECT& r, UINT format, BYTE shadowSize,
                   COLORREF shadowColor, TShadowPosition pos);

class TExtCustomLabel : public TGraphicControl {
 public:
  explicit TExtCustomLabel(TComponent* AOwner);

  TWinControl* GetFocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* c);
  TAlignment GetAlignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  bool GetAutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  TTextLayout GetLayout() const { return layout_; }
  void SetLayout(TTextLayout l);
  TColor GetShadowColor() const { return shadowColor_; }
  void SetShadowColor(TColor c);
  BYTE GetShadowSize() const { return shadowSize_; }
  void SetShadowSize(BYTE s);
  TShadowPosition GetShadowPos() const { return shadowPos_; }
  void SetShadowPos(TShadowPosition p);
  bool GetWordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v);
  bool GetShowAccelChar() const { return showAccelChar_; }
  void SetShowAccelChar(bool v);
  bool GetShowFocus() const { return showFocus_; }
  void SetShowFocus(bool v);
  // Transparent is the absence of the opaque style flag.
  bool GetTransparent() const { return !ControlStyle.Contains(csOpaque); }
  void SetTransparent(bool v);
  int GetLeftMargin() const { return leftMargin_; }
  void SetLeftMargin(int v);
  int GetRightMargin() const { return rightMargin_; }
  void SetRightMargin(int v);

  // Whether the mouse is over the (enabled) label of the active program.
  bool MouseInside() const { return mouseInside_; }
  // The left button went down on the label and has not come up.
  bool Pressed() const { return pressed_; }
  // Whether the focus control holds the focus.
  bool FocusShown() const { return focused_; }

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

  void Notification(TComponent* AComponent, TOperation Operation) override;
  void WndProc(TMessage& m) override;
  // Sizes the label to its caption (only with AutoSize).
  void AdjustBounds();
  // An auto-sized label that no alignment places keeps its caption's size
  // whatever bounds it is given (a word-wrapped one wraps in the new width).
  void SetBounds(int l, int t, int w, int h) override;

 protected:
  virtual TColor GetDefaultFontColor() { return font_->GetColor(); }
  virtual String GetLabelCaption() { return GetText(); }
  virtual void MouseEnter();
  virtual void MouseLeave();
  void Paint() override;
  // Draws (or with DT_CALCRECT measures) the caption into `dc`.
  void DoDrawText(HDC dc, TRect& r, UINT flags);

 private:
  void UpdateTracking();

  TWinControl* focusControl_ = nullptr;
  TAlignment alignment_ = taLeftJustify;
  bool autoSize_ = true;
  TTextLayout layout_ = tlTop;
  TColor shadowColor_ = clBtnHighlight;
  BYTE shadowSize_ = 1;
  TShadowPosition shadowPos_ = spLeftTop;
  bool wordWrap_ = false;
  bool showAccelChar_ = true;
  bool showFocus_ = false;
  bool focused_ = false;
  bool mouseInside_ = false;
  bool pressed_ = false;
  int leftMargin_ = 0;
  int rightMargin_ = 0;
  bool adjusting_ = false;
};

class TExtLabel : public TExtCustomLabel {
 public:
  explicit TExtLabel(TComponent* AOwner) : TExtCustomLabel(AOwner) {}
  const char* ClassName() const override { return "TExtLabel"; }

 protected:
  // The caption and the label's own properties where they differ from
  // their defaults; the margins are not stored.
  void DefineProperties(TFiler* Filer) override;
  // Finds the focus control a stream named.
  void Loaded() override;

 private:
  String focusControlName_;
};
