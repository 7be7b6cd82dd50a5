// Panels, bevels, images, paint boxes, splitters, radio groups and timers.
// Windows only.
#pragma once

#include "classlib/StdCtrls.h"

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
using TBevelWidth = int;

class TCustomPanel : public TCustomControl {
 protected:
  const wchar_t* StoredTextName() const override { return L"Caption"; }

 public:
  explicit TCustomPanel(TComponent* AOwner);
  TBevelCut GetBevelInner() const { return bevelInner_; }
  void SetBevelInner(TBevelCut b);
  TBevelCut GetBevelOuter() const { return bevelOuter_; }
  void SetBevelOuter(TBevelCut b);
  int GetBevelWidth() const { return bevelWidth_; }
  void SetBevelWidth(int w);
  // The border between the bevels, drawn inside the client area.
  void SetBorderWidth(int w) override;
  TBorderStyle GetBorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle b);
  TAlignment GetAlignment() const { return alignment_; }
  void SetAlignment(TAlignment a);
  bool GetFullRepaint() const { return fullRepaint_; }
  void SetFullRepaint(bool v) { fullRepaint_ = v; }
  void WndProc(TMessage& m) override;

 protected:
  void CreateParams(TCreateParams& p) override;
  void Paint() override;
  void AdjustClientRect(TRect& r) override;
  void Changed2();
  int NonClientBorderWidth() const override { return 0; }

  TBevelCut bevelInner_ = bvNone;
  TBevelCut bevelOuter_ = bvRaised;
  int bevelWidth_ = 1;
  TBorderStyle borderStyle_ = bsNone;
  TAlignment alignment_ = taCenter;
  bool fullRepaint_ = true;
};

class TPanel : public TCustomPanel {
 public:
  const char* ClassName() const override { return "TPanel"; }
  explicit TPanel(TComponent* AOwner) : TCustomPanel(AOwner) {}
};

enum TBevelStyle { bsLowered, bsRaised };
enum TBevelShape { bsBox, bsFrame, bsTopLine, bsBottomLine, bsLeftLine, bsRightLine, bsSpacer };

class TBevel : public TGraphicControl {
 public:
  const char* ClassName() const override { return "TBevel"; }
  explicit TBevel(TComponent* AOwner);
  TBevelShape GetShape() const { return shape_; }
  void SetShape(TBevelShape s);
  TBevelStyle GetStyle() const { return style_; }
  void SetStyle(TBevelStyle s);

 protected:
  void Paint() override;
  TBevelShape shape_ = bsBox;
  TBevelStyle style_ = bsLowered;
};

class TImage : public TGraphicControl {
 public:
  const char* ClassName() const override { return "TImage"; }
  explicit TImage(TComponent* AOwner);
  ~TImage() override;
  TPicture* Picture() const { return picture_.get(); }
  bool GetStretch() const { return stretch_; }
  void SetStretch(bool v);
  bool GetCenter() const { return center_; }
  void SetCenter(bool v);
  bool GetTransparent() const { return transparent_; }
  void SetTransparent(bool v);
  bool GetAutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);

 protected:
  void Paint() override;
  void PictureChanged(TObject*);
  TRect DestRect();
  std::unique_ptr<TPicture> picture_;
  bool stretch_ = false, center_ = false, transparent_ = false, autoSize_ = false;
};

class TPaintBox : public TGraphicControl {
 public:
  const char* ClassName() const override { return "TPaintBox"; }
  explicit TPaintBox(TComponent* AOwner);
  TNotifyEvent OnPaint;

 protected:
  void Paint() override;

 protected:
  // Its own stored properties and events, after its base's.
  void DefineProperties(TFiler* Filer) override;
};

// A bar between aligned controls that resizes its neighbour when dragged.
enum TResizeStyle { rsNone, rsLine, rsUpdate, rsPattern };
using TCanResizeSplitterEvent = TEvent<void(TObject* Sender, int& NewSize, bool& Accept)>;

class TSplitter : public TGraphicControl {
 public:
  const char* ClassName() const override { return "TSplitter"; }
  explicit TSplitter(TComponent* AOwner);
  int GetMinSize() const { return minSize_; }
  void SetMinSize(int v) { minSize_ = v < 1 ? 1 : v; }
  bool GetAutoSnap() const { return autoSnap_; }
  void SetAutoSnap(bool v) { autoSnap_ = v; }
  bool GetBeveled() const { return beveled_; }
  void SetBeveled(bool v);
  TResizeStyle GetResizeStyle() const { return resizeStyle_; }
  void SetResizeStyle(TResizeStyle s) { resizeStyle_ = s; }
  // The control that the splitter resizes (found when a drag starts).
  TControl* FindControl();

  TCanResizeSplitterEvent OnCanResize;
  TNotifyEvent OnMoved;
  TNotifyEvent OnPaint;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  bool DoCanResize(int& newSize);
  void CalcSplitSize(int x, int y, int& newSize, int& split);
  void UpdateControlSize();
  void DrawLine();
  bool Horizontal() const { return align_ == alTop || align_ == alBottom; }

  int minSize_ = 30;
  bool autoSnap_ = false;
  bool beveled_ = false;
  TResizeStyle resizeStyle_ = rsPattern;
  TControl* control_ = nullptr;
  TPoint downPos_{};
  int split_ = 0;
  int maxSize_ = 0;
  int newSize_ = 0;
  int oldSize_ = -1;
  bool dragging_ = false;
  bool lineVisible_ = false;
  int lineX_ = 0, lineY_ = 0;

 protected:
  // Its own stored properties and events, after its base's.
  void DefineProperties(TFiler* Filer) override;
};

class TCustomRadioGroup : public TCustomGroupBox {
 public:
  explicit TCustomRadioGroup(TComponent* AOwner);
  ~TCustomRadioGroup() override;
  TStrings* Items() const { return items_.get(); }
  int GetItemIndex() const { return itemIndex_; }
  void SetItemIndex(int i);
  int GetColumns() const { return columns_; }
  void SetColumns(int c);
  TRadioButton* Buttons(int i) const { return buttons_[size_t(i)]; }
  int ButtonCount() const { return int(buttons_.size()); }
  void WndProc(TMessage& m) override;

 protected:
  void ItemsChanged(TObject*);
  void UpdateButtons();
  void ArrangeButtons();
  void ButtonClick(TObject* sender);
  void Resize() override;

  std::unique_ptr<TStringList> items_;
  std::vector<TRadioButton*> buttons_;
  int itemIndex_ = -1;
  int columns_ = 1;
  bool updating_ = false;
};

class TRadioGroup : public TCustomRadioGroup {
 public:
  const char* ClassName() const override { return "TRadioGroup"; }
  explicit TRadioGroup(TComponent* AOwner) : TCustomRadioGroup(AOwner) {}
};

// Fires OnTimer every Interval milliseconds while Enabled, on the thread
// that created it (through a hidden window).
class TTimer : public TComponent {
 public:
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;
  const char* ClassName() const override { return "TTimer"; }
  bool GetEnabled() const { return enabled_; }
  void SetEnabled(bool v);
  unsigned GetInterval() const { return interval_; }
  void SetInterval(unsigned ms);
  TNotifyEvent OnTimer;
  void SetOnTimer(TNotifyEvent e);

 protected:
  virtual void Timer();

 private:
  static LRESULT CALLBACK TimerWndProc(HWND, UINT, WPARAM, LPARAM);
  void UpdateTimer();
  bool enabled_ = true;
  unsigned interval_ = 1000;
  HWND window_ = nullptr;

 protected:
  // Its own stored properties and events, after its base's.
  void DefineProperties(TFiler* Filer) override;
};
