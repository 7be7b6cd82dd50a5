// The toolbar: a dockable window that shows an item tree through a toolbar
// view, with a chevron for the items that do not fit, wrappers for plain
// controls, keyboard access and the menu-bar mode.
#pragma once

#include <functional>

#include "toolbars/BarDock.h"
#include "toolbars/BarViews.h"

class TBarCustomToolbar;

// Asked first about a key that may be a shortcut; it may change the key.
using TShortCutEvent = TEvent<void(TWMKey& Message, bool& Handled)>;

class TBarToolbarView : public TBarView {
 public:
  TBarToolbarView(TBarCustomToolbar* AToolbar, TBarCustomItem* AParentItem, bool AUsePriorityList);
  const char* ClassName() const override { return "TBarToolbarView"; }
  void AutoSize(int AWidth, int AHeight) override;
  void DoUpdatePositions(POINT& ASize) override;
  TBarCustomItem* GetChevronItem() override;
  TBarCustomItem* GetMDIButtonsItem() override;
  TBarCustomItem* GetMDISystemMenuItem() override;
  TFont* GetFont() override;
  void InvalidatePositions() override;
  TBarCustomToolbar* Toolbar() const { return toolbar_; }

 private:
  TBarCustomToolbar* toolbar_;
};

class TBarChevronItem : public TBarCustomItem {
 public:
  explicit TBarChevronItem(TBarCustomToolbar* AToolbar);
  const char* ClassName() const override { return "TBarChevronItem"; }
  TBarView* GetChevronParentView() override;
  TBarItemViewerClass GetItemViewerClass(TBarView* AView) override;
  static String GetDefaultHint() { return String(SBarChevronItemMoreButtonsHint); }

 private:
  TBarCustomToolbar* toolbar_;
};

class TBarChevronItemViewer : public TBarItemViewer {
 public:
  using TBarItemViewer::TBarItemViewer;
  static TBarItemViewer* CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel);
  TBarItemViewerClass GetClass() const override { return &CreateViewer; }
  void Paint(TCanvas* Canvas, RECT ClientAreaRect, bool IsSelected, bool IsPushed,
             bool UseDisabledShadow) override;
};

// Class references of a toolbar's parts.
using TBarChevronItemClass = TBarChevronItem* (*)(TBarCustomToolbar* AToolbar);
using TBarToolbarViewClass = TBarToolbarView* (*)(TBarCustomToolbar* AToolbar, TBarCustomItem* AParentItem,
                                                  bool AUsePriorityList);

class TBarCustomToolbar : public TBarCustomDockableWindow, public IBarItems {
 public:
  explicit TBarCustomToolbar(TComponent* AOwner);
  ~TBarCustomToolbar() override;
  const char* ClassName() const override { return "TBarCustomToolbar"; }

  // The classes the toolbar makes its items, chevron item and view from. The
  // parts are made on first use, once the toolbar is whole, so the classes a
  // derived toolbar answers are the ones made.
  virtual TBarRootItemClass GetItemClass();
  virtual TBarChevronItemClass GetChevronItemClass();
  virtual TBarToolbarViewClass GetViewClass();

  TBarRootItem* Items() const { return Parts().items_; }
  TBarCustomItem* GetItems() override { return Items(); }
  TBarToolbarView* View() const { return Parts().view_; }
  TBarCustomItem* ChevronItem() const { return Parts().chevronItem_; }

  TCustomImageList* GetImages() const { return Items()->GetSubMenuImages(); }
  void SetImages(TCustomImageList* Value) { Items()->SetSubMenuImages(Value); }
  TBarCustomItem* GetLinkSubitems() const { return Items()->GetLinkSubitems(); }
  void SetLinkSubitems(TBarCustomItem* Value) { Items()->SetLinkSubitems(Value); }
  TBarItemOptions GetOptions() const { return Items()->GetOptions(); }
  void SetOptions(TBarItemOptions Value) { Items()->SetOptions(Value); }
  void BeginUpdate() { View()->BeginUpdate(); }
  void EndUpdate() { View()->EndUpdate(); }

  String GetChevronHint() const { return ChevronItem()->GetHint(); }
  void SetChevronHint(const String& Value);
  bool IsChevronHintStored() const;
  void DefineProperties(TFiler* Filer) override;
  bool GetChevronMoveItems() const { return chevronMoveItems_; }
  void SetChevronMoveItems(bool Value);
  int GetFloatingWidth() const { return floatingWidth_; }
  void SetFloatingWidth(int Value);
  bool GetMenuBar() const { return menuBar_; }
  void SetMenuBar(bool Value);
  bool GetProcessShortCuts() const { return processShortCuts_; }
  void SetProcessShortCuts(bool Value);
  TBarShrinkMode GetShrinkModeProp() const { return shrinkMode_; }
  void SetShrinkMode(TBarShrinkMode Value);
  bool GetSystemFont() const { return systemFont_; }
  void SetSystemFont(bool Value);
  bool UpdateActions = true;
  TShortCutEvent OnShortCut;

  // Dockable-window hooks.
  POINT DoArrange(bool CanMoveControls, TBarDockType PreviousDockType, bool NewFloating,
                  TBarDock* NewDock) override;
  void GetBaseSize(POINT& ASize) override;
  void GetMinShrinkSize(int& AMinimumSize) override;
  TBarShrinkMode GetShrinkMode() override { return shrinkMode_; }
  void ControlExistsAtPos(POINT P, bool& ControlExists) override;
  void ReadPositionData(const TBarReadPositionData& Data) override;
  void WritePositionData(const TBarWritePositionData& Data) override;
  void Loaded() override;
  // Streaming: the items first, then the controls.
  void GetChildren(const TGetChildProc& Proc, TComponent* Root) override;
  void SetChildOrder(TComponent* Child, int Order) override;
  // Tab leaves out the controls the chevron hides (and what they hold).
  void GetTabOrderList(std::vector<TWinControl*>& List) override;
  // Floating sizing in steps of whole rows.
  void ResizeBegin(TBarSizeHandle SizeHandle) override;
  void ResizeTrack(RECT& Rect, const RECT& OrigRect) override;
  void ResizeTrackAccept() override;
  void ResizeEnd() override;
  // One size per number of wrapped rows, each the narrowest for that count.
  virtual void BuildPotentialSizesList(std::vector<POINT>& List);
  void WndProc(TMessage& m) override;

  int CalcWrapOffset(TBarDock* Dock);
  int CalcChevronOffset(TBarDock* Dock, TBarViewOrientation Orientation);
  void UpdateViewProperties();
  void GetMinBarSize(POINT& Size);
  TBarControlItem* CreateWrapper(int Index, TControl* Ctl);
  TBarControlItem* FindWrapper(TControl* Ctl);
  void CreateWrappersForAllControls();

  // Keyboard access.
  bool IsShortCut(TWMKey& Message);
  bool KeyboardOpen(wchar_t Key, bool RequirePrimaryAccel);
  void InitiateAction() override;

  POINT BaseSize{0, 0};
  POINT LastArrangeSize{0, 0};
  static bool MainWindowHookEntry(TMessage& Message) { return MainWindowHook(Message); }
  int WrappedLines = 1;
  int DisableArrange = 0;

 protected:
  void Paint() override;
  void AlignControls(TControl* AControl, TRect& R) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  void MouseMove(TShiftState Shift, int X, int Y) override;
  void CancelHover();
  void CMHintShow(TMessage& Message);
  void SetMainWindowHook();
  void InstallMainWindowHook();
  void UninstallMainWindowHook();
  static bool MainWindowHook(TMessage& Message);
  bool HandleSysCommand(TMessage& m);

 private:
  struct ResizeRecord;
  ResizeRecord* resize_ = nullptr;  // only while sizing
  friend class TBarToolbarView;
  // A floating toolbar's client Size, never narrower than its caption: where
  // the caption's text is wider than the buttons (at 144 dots per inch the
  // caption font grows, the button pictures do not) it would be cut. Every
  // layout of a floating toolbar, and every measure of one for floating,
  // passes here.
  POINT FloatingSize(POINT Size);
  // The client width a floating toolbar needs to show its whole caption.
  // The text is measured again only when it or the caption font changed.
  int FloatingCaptionWidth();
  String captionMeasured_;
  LOGFONTW captionFont_{};
  int captionTextWidth_ = 0;
  const TBarCustomToolbar& Parts() const;
  void CreateParts();
  bool partsMade_ = false;
  TBarRootItem* items_ = nullptr;
  TBarToolbarView* view_ = nullptr;
  TBarChevronItem* chevronItem_ = nullptr;
  bool chevronMoveItems_ = true;
  int floatingWidth_ = 0;
  // Set while the sizes a floating toolbar may take are measured: a
  // measure for floating is then not widened to the caption.
  bool naturalMeasure_ = false;
  bool menuBar_ = false;
  bool processShortCuts_ = false;
  TBarShrinkMode shrinkMode_ = tbsmChevron;
  bool systemFont_ = true;
  bool getMessageHookInstalled_ = false;
  bool mainWindowHookInstalled_ = false;
  bool ignoreMouseLeave_ = false;
};

class TBarToolbar : public TBarCustomToolbar {
 public:
  using TBarCustomToolbar::TBarCustomToolbar;
  const char* ClassName() const override { return "TBarToolbar"; }
};
