// Themed lists: an item that shows a scrollable list of strings inside a
// pop-up or on a toolbar, with its own scroll bar drawn in the viewer; the
// undo list highlights every entry down to the one under the mouse.
#pragma once

#include "classlib/Classes.h"
#include "toolbars/skin/SkinItems.h"
#include "toolbars/skin/SkinScrollZones.h"

enum TSBKind { sbHorizontal, sbVertical };
using TSBAutoScrollEvent = TEvent<void(TObject* Sender, int& Direction, int& Interval)>;

class TSkinScrollBar : public TObject {
 public:
  TSkinScrollBar();
  ~TSkinScrollBar() override;

  void SetBounds(const RECT& R);
  RECT GetBounds() const { return bounds_; }
  TSBKind GetKind() const { return kind_; }
  void SetKind(TSBKind Value);
  uint16_t Increment = 1;
  int GetPosition() const { return position_; }
  void SetPosition(int Value);
  int GetRange() const { return range_; }
  void SetRange(int Value);
  int GetWindow() const { return window_; }
  void SetWindow(int Value);
  int EffectiveWindow() const;
  // A change made by the user: clamped, redrawn and reported.
  void UpdatePosition(int Value);
  void StartAutoScroll(int Direction, int Interval);
  void StopAutoScroll();
  bool AutoScrolling() const { return autoScrolling_; }
  // The zone under a point relative to the bar, or -1.
  int GetZone(int X, int Y);
  RECT ZoneRect(TSBZone Z);
  int PressedZone() const { return pressed_; }
  void PaintTo(TCanvas* Canvas);

  virtual bool GetEnabled();
  virtual void MouseDown(TMouseButton Button, int X, int Y);
  virtual void MouseMove(int X, int Y);
  virtual void MouseUp(TMouseButton Button, int X, int Y);
  virtual void TimerElapsed(UINT_PTR TimerID, int& Interval);
  virtual void Redraw();

  TNotifyEvent OnChange;
  TNotifyEvent OnRedraw;
  TSBAutoScrollEvent OnAutoScroll;

 private:
  void UpdateZones();
  void StartTimer(UINT_PTR ID, int Interval);
  void StopTimer(UINT_PTR ID);
  void WndProc(TMessage& M);
  int Length() const;
  int Thickness() const;
  void Act(int Zone);
  RECT bounds_{};
  TSBKind kind_ = sbVertical;
  int position_ = 0, range_ = 0, window_ = 0;
  TSBSpan zones_[6];
  bool enabled_ = false;
  int pressed_ = -1;
  POINT pressPoint_{}, lastPoint_{};
  int pressPosition_ = 0;
  bool userAction_ = false;
  int autoDirection_ = 0, autoInterval_ = 0;
  bool autoScrolling_ = false;
  HWND wnd_ = nullptr;
};

class TSkinCustomListViewer;
using TSkinLPaintEvent = TEvent<void(TObject* Sender, TCanvas* Canvas, RECT ARect, int AIndex, int AHoverIndex,
                                     bool& DrawDefault)>;
using TSkinLAdjustImageIndex = TEvent<void(TObject* Sender, int AItemIndex, int& ImageIndex)>;
using TSkinLMeasureHeight = TEvent<void(TObject* Sender, TCanvas* Canvas, int& AHeight)>;
using TSkinLMeasureWidth = TEvent<void(TObject* Sender, TCanvas* Canvas, int AIndex, int& AWidth)>;

class TSkinCustomList : public TSkinCustomItem {
 public:
  explicit TSkinCustomList(TComponent* AOwner);
  ~TSkinCustomList() override;
  const char* ClassName() const override { return "TSkinCustomList"; }
  TBarItemViewerClass GetItemViewerClass(TBarView* AView) override;
  // With a string list's Strings.
  void DefineProperties(TFiler* Filer) override;

  int GetItemIndex() const { return itemIndex_; }
  void SetItemIndex(int Value);
  int MaxWidth = 0;
  int MaxVisibleItems = 8;
  bool ShowImages = false;
  void MakeVisible(int AIndex);

  virtual void DoClearItem(TCanvas* ACanvas, RECT& ARect, int AIndex, int AHoverIndex, bool& DrawDefault);
  virtual void DoDrawItem(TCanvas* ACanvas, RECT& ARect, int AIndex, int AHoverIndex, bool& DrawDefault);
  virtual void DoMeasureHeight(TCanvas* ACanvas, int& AHeight);
  virtual void DoMeasureWidth(TCanvas* ACanvas, int AIndex, int& AWidth);
  virtual void DrawItem(TCanvas* ACanvas, TSkinCustomListViewer* AViewer, const RECT& ARect, int AIndex,
                        int AHoverIndex);
  virtual int GetImageIndex(int ItemIndex);
  virtual String GetItemText(int Index) = 0;
  virtual int GetCount() = 0;
  virtual void HandleChange();
  virtual void HandleHover(int AIndex) {}

  TNotifyEvent OnChange;
  TSkinLPaintEvent OnClearItem;
  TSkinLPaintEvent OnDrawItem;
  TSkinLAdjustImageIndex OnAdjustImageIndex;
  TSkinLMeasureHeight OnMeasureHeight;
  TSkinLMeasureWidth OnMeasureWidth;

  std::vector<TSkinCustomListViewer*>* Viewers() const { return viewers_; }

 private:
  friend class TSkinCustomListViewer;
  int itemIndex_ = -1;
  std::vector<TSkinCustomListViewer*>* viewers_ = nullptr;
};

class TSkinStringList : public TSkinCustomList {
 public:
  explicit TSkinStringList(TComponent* AOwner);
  ~TSkinStringList() override;
  const char* ClassName() const override { return "TSkinStringList"; }
  TStrings* Strings() const { return strings_; }
  void SetStrings(TStrings* Value) { strings_->Assign(Value); }
  String GetItemText(int Index) override { return strings_->Get(Index); }
  int GetCount() override { return strings_->GetCount(); }

 private:
  TStringList* strings_;
};

class TSkinUndoList : public TSkinStringList {
 public:
  using TSkinStringList::TSkinStringList;
  const char* ClassName() const override { return "TSkinUndoList"; }
  TBarItemViewerClass GetItemViewerClass(TBarView* AView) override;
  void DrawItem(TCanvas* ACanvas, TSkinCustomListViewer* AViewer, const RECT& ARect, int AIndex,
                int AHoverIndex) override;
  void HandleHover(int AIndex) override;
};

class TSkinCustomListViewer : public TSkinItemViewer {
 public:
  TSkinCustomListViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel);
  ~TSkinCustomListViewer() override;
  static TBarItemViewer* CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel);
  TBarItemViewerClass GetClass() const override { return &CreateViewer; }

  void CalcSize(TCanvas* Canvas, int& AWidth, int& AHeight) override;
  void Paint(TCanvas* Canvas, RECT ClientAreaRect, bool IsSelected, bool IsPushed, bool UseDisabledShadow) override;
  void KeyDown(WORD& Key, TBarShift Shift) override;
  void MouseDown(TBarShift Shift, int X, int Y, bool& MouseDownOnMenu) override;
  void MouseMove(int X, int Y) override;
  void MouseUp(int X, int Y, bool MouseWasDownOnMenu) override;
  void MouseWheel(int WheelDelta, int X, int Y) override;
  void LosingCapture() override;

  virtual void AdjustAutoScrollHover(int& AIndex, int Direction);
  virtual int GetItemHeight(TCanvas* ACanvas);
  virtual int GetItemWidth(TCanvas* ACanvas, int AIndex);
  virtual void HandleAutoScroll(int& Direction, int& Interval);

  RECT GetItemRect(int AIndex);
  int GetItemIndexAt(int X, int Y);
  void DrawItems(TCanvas* Canvas, const RECT& Clip);
  void UpdateItems();
  void ListChangeHandler(int NewIndex);
  void MakeItemVisible(int AIndex);

  int HoverIndex = -1;
  int TopIndex = 0;
  int VisibleItems = 1;
  int ItemHeight = 0;
  int ItemCount = 0;
  TSkinScrollBar* ScrollBar() const { return scrollBar_; }
  int ScrollBarWidth = 0;

 protected:
  TSkinCustomList* List() const { return static_cast<TSkinCustomList*>(Item); }
  void SetHover(int AIndex);
  void RedrawRows(int From, int To);
  void ScrollBarChange(TObject* Sender);
  void ScrollBarRedraw(TObject* Sender);
  void ScrollBarAutoScroll(TObject* Sender, int& Direction, int& Interval);
  void Scroll(int NewTop);

 private:
  TSkinScrollBar* scrollBar_ = nullptr;
  RECT clientRect_{};
  int wheelAccumulator_ = 0;
  bool itemDragging_ = false, barDragging_ = false;
  bool changing_ = false;
};

class TSkinUndoListViewer : public TSkinCustomListViewer {
 public:
  using TSkinCustomListViewer::TSkinCustomListViewer;
  static TBarItemViewer* CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel);
  TBarItemViewerClass GetClass() const override { return &CreateViewer; }
  void AdjustAutoScrollHover(int& AIndex, int Direction) override;
  void HandleAutoScroll(int& Direction, int& Interval) override;
};
