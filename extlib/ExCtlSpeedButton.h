// The extended speed button: a window-less button with a glyph strip, flat
// and framed looks, groups with one button down, and a repeat timer that
// clicks while the button is held.
#pragma once

#include <memory>

#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/Menus.h"
#include "extlib/ExCtlButtonGlyph.h"

enum TButtonStyle { bsAutoDetect, bsWin31, bsNew };
enum TExtDropDownMenuPos { dmpBottom, dmpRight };

class TExtSpeedButton : public TGraphicControl {
 public:
  explicit TExtSpeedButton(TComponent* AOwner);
  ~TExtSpeedButton() override;
  const char* ClassName() const override { return "TExtSpeedButton"; }

  int GetGroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int v);
  bool GetDown() const { return down_; }
  void SetDown(bool v);
  bool GetAllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool v);
  bool GetFlat() const { return flat_; }
  void SetFlat(bool v);
  TButtonStyle GetStyle() const { return style_; }
  void SetStyle(TButtonStyle s);
  TButtonLayout GetLayout() const { return layout_; }
  void SetLayout(TButtonLayout l);
  int GetSpacing() const { return spacing_; }
  void SetSpacing(int v);
  int GetMargin() const { return margin_; }
  void SetMargin(int v);  // never below -1
  TModalResult GetModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult r) { modalResult_ = r; }
  bool GetGrayedInactive() const { return grayedInactive_; }
  void SetGrayedInactive(bool v);
  TBitmap* GetGlyph() const { return glyph_->GetGlyph(); }
  void SetGlyph(TBitmap* b);
  int GetNumGlyphs() const { return glyph_->GetNumGlyphs(); }
  void SetNumGlyphs(int n);
  // How the caption wraps and lines up beside the glyph.
  bool GetWordWrap() const { return glyph_->GetWordWrap(); }
  void SetWordWrap(bool v);
  TAlignment GetAlignment() const { return glyph_->GetAlignment(); }
  void SetAlignment(TAlignment a);
  bool GetAllowTimer() const { return allowTimer_; }
  void SetAllowTimer(bool v);
  unsigned GetInitPause() const { return initPause_; }
  void SetInitPause(unsigned ms) { initPause_ = ms; }
  // Shows the parent's image under the button instead of button face.
  bool GetTransparent() const { return transparent_; }
  void SetTransparent(bool v);
  unsigned GetRepeatInterval() const { return repeatInterval_; }
  void SetRepeatInterval(unsigned ms) { repeatInterval_ = ms; }

  TPopupMenu* GetDropDownMenu() const { return dropDownMenu_; }
  void SetDropDownMenu(TPopupMenu* m);
  bool GetMarkDropDown() const { return markDropDown_; }
  void SetMarkDropDown(bool v);
  TExtDropDownMenuPos GetMenuPosition() const { return menuPosition_; }
  void SetMenuPosition(TExtDropDownMenuPos p) { menuPosition_ = p; }
  // Pops the drop-down menu up at a client point when there is one and it
  // may open (always when `manual`, else only a menu that pops up by
  // itself); true when it did.
  bool CheckMenuDropDown(TPoint p, bool manual);
  // Pops the drop-down menu up beside the button.
  bool CheckBtnMenuDropDown();
  // Where the drop-down menu opens, in client coordinates.
  TPoint GetDropDownMenuPos();
  void Notification(TComponent* AComponent, TOperation Operation) override;

  TExtButtonState GetState() const { return state_; }
  bool MouseInside() const { return mouseInside_; }
  TExtButtonGlyph* ButtonGlyph() const { return glyph_.get(); }
  // The repeat timer (nullptr until first needed).
  TTimer* RepeatTimer() const { return repeatTimer_; }

  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;

  // Sets the parent form's modal result, then clicks.
  void Click() override;
  // A programmatic press and release.
  void ButtonClick();
  void WndProc(TMessage& m) override;
  // Makes the glyph for the look the button starts with.
  void Loaded() override;

 protected:
  // The caption, the glyph and the button's own properties where they
  // differ from their defaults (Margin -1, InitPause 500, RepeatInterval
  // 100, GrayedInactive and MarkDropDown true).
  void DefineProperties(TFiler* Filer) override;
  // The Style and AllowTimer a button of the class starts with.
  TButtonStyle defaultStyle_ = bsAutoDetect;
  bool defaultAllowTimer_ = false;
  // A grouped button takes the action's Checked as Down; an empty glyph is
  // filled from the action list's image.
  void ActionChange(TObject* Sender, bool CheckDefaults) override;
  void Paint() override;
  virtual void PaintGlyph(TCanvas* canvas, const TRect& r, TExtButtonState state, bool drawMark);
  virtual void MouseEnter();
  virtual void MouseLeave();
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  void UpdateTracking();
  void UpdateExclusive();
  void TimerExpired(TObject*);
  void StopRepeat();
  bool InClient(int x, int y);
  void GlyphChanged(TObject*);
  // Makes the image of the coming look (disabled, flat or up) ahead.
  void PrepareGlyph();

  int groupIndex_ = 0;
  TButtonStyle style_ = bsAutoDetect;
  std::unique_ptr<TExtButtonGlyph> glyph_;
  std::unique_ptr<TBitmap> drawBitmap_;
  bool down_ = false;
  bool dragging_ = false;
  bool flat_ = false;
  bool mouseInside_ = false;
  bool allowAllUp_ = false;
  TButtonLayout layout_ = blGlyphTop;
  int spacing_ = 1;
  int margin_ = -1;
  TModalResult modalResult_ = mrNone;
  bool grayedInactive_ = true;
  TTimer* repeatTimer_ = nullptr;
  bool allowTimer_ = false;
  unsigned initPause_ = 500;
  unsigned repeatInterval_ = 100;
  TExtButtonState state_ = rbsUp;
  TPopupMenu* dropDownMenu_ = nullptr;
  bool markDropDown_ = true;
  TExtDropDownMenuPos menuPosition_ = dmpBottom;
  bool menuTracking_ = false;
  bool transparent_ = false;
  String dropDownMenuName_;  // read from a stream, found once loading is over
};
