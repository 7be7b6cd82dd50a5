// Item viewers (the presence of one item in one view) and views (the
// subitems of one item laid out in one window: a toolbar, a menu bar or one
// pop-up menu level). Every measuring and painting operation is virtual so
// that a themed layer can override it.
#pragma once

#include <windows.h>

#include <vector>

#include "classlib/Controls.h"
#include "classlib/Graphics.h"
#include "toolbars/BarItems.h"

class TBarView;
class TBarPopupWindow;
class TBarViewAccObject;
class TBarItemViewerAccObject;
struct IAccessible;

// The selected-entry colour of flat menus.
constexpr TColor clMenuHilight = clMenuHighlight;

// Shift flags handed to viewers (same bits as the class library's).
using TBarShift = unsigned;
constexpr TBarShift barShiftShift = 1, barShiftAlt = 2, barShiftCtrl = 4, barShiftDouble = 64;

enum TBarItemViewerStateFlag { tbisInvalidated, tbisLineSep };
using TBarItemViewerState = TSet<TBarItemViewerStateFlag>;

class TBarItemViewer : public TObject {
 public:
  TBarItemViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel);
  ~TBarItemViewer() override;
  static TBarItemViewer* CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel);
  // The class of this viewer, as its item's GetItemViewerClass names it.
  virtual TBarItemViewerClass GetClass() const { return &CreateViewer; }

  RECT BoundsRect{};
  bool Clipped = false;
  int GroupLevel = 0;
  TBarCustomItem* Item = nullptr;
  bool OffEdge = false;
  bool Show = false;
  TBarView* View = nullptr;
  TBarItemViewerState State;

  virtual void CalcSize(TCanvas* Canvas, int& AWidth, int& AHeight);
  virtual bool DoExecute();
  virtual void DrawItemCaption(TCanvas* Canvas, RECT ARect, const String& ACaption,
                               bool ADrawDisabledShadow, UINT AFormat);
  virtual void Entering(TBarItemViewer* OldSelected);
  virtual int GetAccRole();
  virtual bool GetAccValue(String& Value) { return false; }
  virtual String GetCaptionText();
  virtual void GetCursor(POINT Pt, HCURSOR& ACursor) {}
  virtual bool IsToolbarSize();
  virtual bool IsPtInButtonPart(int X, int Y);
  virtual void KeyDown(WORD& Key, TBarShift Shift) {}
  virtual void Leaving();
  virtual void LosingCapture();
  virtual void MouseDown(TBarShift Shift, int X, int Y, bool& MouseDownOnMenu);
  virtual void MouseMove(int X, int Y) {}
  virtual void MouseUp(int X, int Y, bool MouseWasDownOnMenu);
  virtual void MouseWheel(int WheelDelta, int X, int Y) {}
  virtual void Paint(TCanvas* Canvas, RECT ClientAreaRect, bool IsSelected, bool IsPushed,
                     bool UseDisabledShadow);
  virtual bool UsesSameWidth();
  virtual bool IsToolbarStyle();
  virtual bool CaptionShown();
  // Draws the small drop-down triangle centred in D.
  virtual void DrawDropdownArrow(TCanvas* Canvas, RECT D, bool UseDisabledShadow);

  int GetIndex();
  POINT ScreenToClient(POINT P);
  String GetHintText();
  bool ImageShown();
  TCustomImageList* GetImageList();
  bool IsRotated();
  void Execute(bool AGivePriority);
  void AccSelect(bool AExecute);
  void PostAccSelect(bool AExecute);
  bool IsAccessible() { return Show || OffEdge || Clipped; }
  // Accessibility object (BarAcc.h): made on first request, null when the
  // accessibility library is unavailable; the viewer keeps one reference.
  TBarItemViewerAccObject* AccObject = nullptr;
  IAccessible* GetAccObject();
  void ReleaseAccObject();
};

class TBarSeparatorItemViewer : public TBarItemViewer {
 public:
  using TBarItemViewer::TBarItemViewer;
  static TBarItemViewer* CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel);
  TBarItemViewerClass GetClass() const override { return &CreateViewer; }
  void CalcSize(TCanvas* Canvas, int& AWidth, int& AHeight) override;
  void Paint(TCanvas* Canvas, RECT ClientAreaRect, bool IsSelected, bool IsPushed,
             bool UseDisabledShadow) override;
  bool UsesSameWidth() override { return false; }
};

// ---- views ------------------------------------------------------------------------
enum TBarViewOrientation { tbvoHorizontal, tbvoVertical, tbvoFloating };
enum TBarViewStateFlag {
  vsModal,
  vsMouseInWindow,
  vsDrawInOrder,
  vsOppositePopup,
  vsIgnoreFirstMouseUp,
  vsShowAccels,
  vsDropDownMenus,
  vsNoAnimation
};
using TBarViewState = TSet<TBarViewStateFlag>;
enum TBarViewStyleFlag { vsMenuBar, vsUseHiddenAccels, vsAlwaysShowHints };
using TBarViewStyle = TSet<TBarViewStyleFlag>;
enum TBarViewTimerID { tiOpen, tiClose, tiScrollUp, tiScrollDown };
enum TBarEnterToolbarLoopOption { tbetMouseDown, tbetExecuteSelected, tbetFromMSAA };
using TBarEnterToolbarLoopOptions = TSet<TBarEnterToolbarLoopOption>;

constexpr UINT BarViewTimerBase = 9000;
constexpr int BarScrollArrowHeight = 19;

// The framework's shared toolbar and menu font (the system menu font).
TFont* BarToolbarFont();
void BarInitToolbarSystemFont();
// Frees it (module shutdown); the next use makes it again.
void BarFreeToolbarFont();

// The remembered mouse position of the menu loops (screen coordinates);
// an x of INT_MIN marks it stale.
extern POINT BarLastMousePos;

struct TBarMargins {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
};

class TBarView : public TComponent {
 public:
  TBarView(TComponent* AOwner, TBarView* AParentView, TBarCustomItem* AParentItem,
           TWinControl* AWindow, bool AIsToolbar, bool ACustomizing, bool AUsePriorityList);
  ~TBarView() override;
  const char* ClassName() const override { return "TBarView"; }

  // Virtual operations.
  virtual void AutoSize(int AWidth, int AHeight) {}
  virtual void DoUpdatePositions(POINT& ASize);
  virtual TBarCustomItem* GetChevronItem() { return nullptr; }
  virtual void GetMargins(TBarViewOrientation AOrientation, TBarMargins& Margins);
  virtual TBarCustomItem* GetMDIButtonsItem() { return nullptr; }
  virtual TBarCustomItem* GetMDISystemMenuItem() { return nullptr; }
  virtual TFont* GetFont();
  virtual void KeyDown(WORD& Key, TBarShift Shift);
  virtual void InvalidatePositions();
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // Layout.
  bool CalculatePositions(bool CanMoveControls, TBarViewOrientation AOrientation,
                          int AWrapOffset, int AChevronOffset, int AChevronSize,
                          POINT& ABaseSize, POINT& TotalSize, int& AWrappedLines);
  void UpdatePositions();
  void ValidatePositions();
  void TryValidatePositions();
  void BeginUpdate();
  void EndUpdate();
  void RecreateAllViewers();
  void InitiateActions();

  // Viewers.
  int ViewerCount() const { return static_cast<int>(viewers_.size()); }
  TBarItemViewer* Viewers(int I) const { return viewers_[static_cast<size_t>(I)]; }
  TBarItemViewer* Find(TBarCustomItem* Item);
  int IndexOf(const TBarItemViewer* Viewer) const;
  TBarItemViewer* ViewerFromPoint(POINT P);
  void Invalidate(TBarItemViewer* Viewer);
  void DrawSubitems(TCanvas* Canvas);
  virtual void DrawItem(TBarItemViewer* Viewer, TCanvas* DrawTo, bool Offscreen);
  void GetOffEdgeControlList(std::vector<TWinControl*>& List);
  TBarItemViewer* HighestPriorityViewer();
  void GivePriority(TBarItemViewer* AViewer);

  // Chain.
  bool ContainsView(const TBarView* V) const;
  TBarView* GetRootView();
  TBarView* GetParentToolbarView();

  // Selection and keyboard.
  TBarItemViewer* GetSelected() const { return selected_; }
  void SetSelected(TBarItemViewer* V) { Select(V, false); }
  void Select(TBarItemViewer* Value, bool ViaMouse);
  void UpdateSelection(const POINT* P, bool AllowNewSelection);
  TBarItemViewer* NextSelectable(TBarItemViewer* Cur, bool GoForward);
  TBarItemViewer* FirstSelectable();
  TBarItemViewer* NextSelectableWithAccel(TBarItemViewer* Cur, wchar_t Key,
                                          bool RequirePrimaryAccel, bool& IsOnlyItemWithAccel);
  void ExecuteSelected(bool AGivePriority);
  void SetAccelsVisibility(bool AShowAccels);
  void Scroll(bool ADown);
  void ScrollSelectedIntoView();

  // Child pop-ups.
  bool OpenChildPopup(bool SelectFirstItem);
  void CloseChildPopups();
  void CancelChildPopups();
  void ImagesChanged();

  // Modal state.
  void EndModal();
  void EndModalWithClick(TBarItemViewer* AViewer);
  void EndModalWithHelp(int AContextID);
  void EndModalWithSystemMenu(HWND AWnd, WORD AKey);
  void SetCapture() { Capture = true; }
  void CancelCapture();
  HWND GetCaptureWnd();
  void EnterToolbarLoop(TBarEnterToolbarLoopOptions Options);
  void NotifyFocusEvent();
  // Accessibility object (BarAcc.h), as for viewers; HandleWMGetObject
  // answers a window's request for its client object.
  TBarViewAccObject* AccObject = nullptr;
  IAccessible* GetAccObject();
  void ReleaseAccObject();
  bool HandleWMGetObject(TMessage& Message);

  // Timers.
  void StartTimer(TBarViewTimerID ID, int Interval);
  void StopTimer(TBarViewTimerID ID);
  void StopAllTimers();
  bool TimerRunning(TBarViewTimerID ID) const { return (activeTimers_ & (1u << ID)) != 0; }

  void SetCustomizing(bool Value);
  void SetUsePriorityList(bool Value);
  TBarCustomItem* GetCurParentItem() const { return curParentItem_; }
  TBarCustomItem* GetParentItem() const { return parentItem_; }
  bool PositionsValid() const { return positionsValid_; }

  // Public state.
  TColor BackgroundColor = clDefault;
  bool Capture = false;
  HWND CaptureWnd = nullptr;
  TBarView* ChevronParentView = nullptr;
  POINT BaseSize{};
  int ChevronOffset = 0, ChevronSize = 0;
  bool Customizing = false;
  TBarDoneActionData DoneActionData;
  int InternalViewersAtEnd = 0;
  int InternalViewersAtFront = 0;
  bool IsPopup = false, IsToolbar = false;
  int MaxHeight = 0;
  RECT MonitorRect{};
  bool MouseOverSelected = false;
  TBarItemViewer* OpenViewer = nullptr;
  TBarView* OpenViewerView = nullptr;
  TBarPopupWindow* OpenViewerWindow = nullptr;
  TBarView* ParentView = nullptr;
  TBarViewOrientation Orientation = tbvoHorizontal;
  int ScrollOffset = 0;
  bool SelectedViaMouse = false;
  bool ShowUpArrow = false, ShowDownArrow = false;
  TBarViewState State;
  TBarViewStyle Style;
  bool UsePriorityList = false;
  TWinControl* Window = nullptr;
  int WrapOffset = 0;
  int WrappedLines = 1;

 protected:
  void UpdateCurParentItem();
  void ItemNotification(TBarCustomItem* Sender, bool Relayed, TBarItemChangedAction Action,
                        int Index, TBarCustomItem* Item);
  void LinkNotification(TBarCustomItem* Sender, bool Relayed, TBarItemChangedAction Action,
                        int Index, TBarCustomItem* Item);
  int InsertItemViewers(int NewIndex, TBarCustomItem* AItem, int AGroupLevel,
                        bool AddToPriorityList, bool TopOfPriorityList);
  void RecreateItemViewer(int I);
  void FreeViewers();
  void DeletingViewer(TBarItemViewer* V);
  void RemoveViewer(int I);
  void RepaintNow();

  std::vector<TBarItemViewer*> viewers_;
  std::vector<TBarItemViewer*>* priorityList_ = nullptr;
  TBarItemViewer* selected_ = nullptr;
  TBarCustomItem* parentItem_ = nullptr;
  TBarCustomItem* curParentItem_ = nullptr;
  unsigned activeTimers_ = 0;
  int updateCount_ = 0;
  bool positionsValid_ = false;
};

// The modal message loop that runs while a menu is open or the keyboard
// is in a toolbar.
class TBarModalHandler : public TObject {
 public:
  explicit TBarModalHandler(HWND AExistingWnd);
  ~TBarModalHandler() override;
  void Loop(TBarView* RootView, bool AssumeButtonDown, bool AExecuteSelected, bool FromMSAA,
            bool TrackRightButton);
  HWND Wnd() const { return wnd_; }

 private:
  HWND wnd_ = nullptr;
  bool createdWnd_ = false;
  bool inited_ = false;
};

// Hides the application's hint and drops one that waits for its pause: a
// menu opens at the pointer, where the hint of what it opens from would
// cover its first items.
void BarCancelHint();

// Seam for tests: the hint text the modal loop would hand the application.
extern String BarCurrentMenuHint;
