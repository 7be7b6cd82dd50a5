// Dockable windows (toolbars and tool windows) and the docks that hold them
// in rows along the edges of a form; saving and loading their positions.
#pragma once

#include <vector>

#include "classlib/Controls.h"
#include "classlib/Forms.h"
#include "toolbars/BarBackground.h"
#include "toolbars/BarItems.h"

class TBarDock;
class TBarCustomDockableWindow;
class TBarFloatingWindowParent;
using TBarFloatingWindowParentClass = TBarFloatingWindowParent* (*)(TComponent* AOwner);
class TCustomIniFile;

enum TBarDockPosition { dpTop, dpBottom, dpLeft, dpRight };
using TBarDockableTo = TSet<TBarDockPosition>;
enum TBarDockMode { dmCanFloat, dmCannotFloat, dmCannotFloatOrChangeDocks };
enum TBarDragHandleStyle { dhDouble, dhNone, dhSingle };
enum TBarFloatingMode { fmOnTopOfParentForm, fmOnTopOfAllForms };
enum TBarDockType { dtNotDocked, dtFloating, dtTopBottom, dtLeftRight };
enum TBarShrinkMode { tbsmNone, tbsmWrap, tbsmChevron };
enum TBarDockBoundLine { blTop, blBottom, blLeft, blRight };
using TBarDockBoundLines = TSet<TBarDockBoundLine>;

// Non-client hit codes of docked windows and floating forms.
constexpr LRESULT HTBARDRAG = 2000;
constexpr LRESULT HTBARCLOSE = 2001;
constexpr LRESULT HTBARCAPTION = 2002;

// The edge or corner a floating window is sized by (in the order of the
// system's hit codes HTLEFT to HTBOTTOMRIGHT).
enum TBarSizeHandle {
  twshLeft, twshRight, twshTop, twshTopLeft, twshTopRight, twshBottom, twshBottomLeft, twshBottomRight
};
enum TBarDockableWindowStyle { tbdsResizeEightCorner, tbdsResizeClipCursor };
using TBarDockableWindowStyles = TSet<TBarDockableWindowStyle>;

using TBarDockChangingEvent = TEvent<void(TObject* Sender, bool Floating, TBarDock* DockingTo)>;
using TBarCloseQueryEvent = TEvent<void(TObject* Sender, bool& CanClose)>;
using TBarInsertRemoveEvent = TEvent<void(TObject* Sender, bool Inserting, TBarCustomDockableWindow* Bar)>;
using TBarRequestDockEvent = TEvent<void(TObject* Sender, TBarCustomDockableWindow* Bar, bool& Accept)>;

// ---- position storage -------------------------------------------------------
using TBarPositionReadIntProc = int (*)(const String& ToolbarName, const String& Value, int Default,
                                        void* ExtraData);
using TBarPositionReadStringProc = String (*)(const String& ToolbarName, const String& Value,
                                              const String& Default, void* ExtraData);
using TBarPositionWriteIntProc = void (*)(const String& ToolbarName, const String& Value, int Data,
                                          void* ExtraData);
using TBarPositionWriteStringProc = void (*)(const String& ToolbarName, const String& Value,
                                             const String& Data, void* ExtraData);

struct TBarReadPositionData {
  TBarPositionReadIntProc ReadIntProc;
  TBarPositionReadStringProc ReadStringProc;
  void* ExtraData;
  const String* Name;
};

struct TBarWritePositionData {
  TBarPositionWriteIntProc WriteIntProc;
  TBarPositionWriteStringProc WriteStringProc;
  void* ExtraData;
  const String* Name;
};

void BarCustomSavePositions(TComponent* OwnerComponent, TBarPositionWriteIntProc WriteIntProc,
                            TBarPositionWriteStringProc WriteStringProc, void* ExtraData);
void BarCustomLoadPositions(TComponent* OwnerComponent, TBarPositionReadIntProc ReadIntProc,
                            TBarPositionReadStringProc ReadStringProc, void* ExtraData);
void BarIniSavePositions(TComponent* OwnerComponent, const String& FileName,
                         const String& SectionNamePrefix);
void BarIniLoadPositions(TComponent* OwnerComponent, const String& FileName,
                         const String& SectionNamePrefix);
// Any ini object (a TMemIniFile, a TRegistryIniFile...).
void BarIniSavePositions(TComponent* OwnerComponent, TCustomIniFile* Ini,
                         const String& SectionNamePrefix);
void BarIniLoadPositions(TComponent* OwnerComponent, TCustomIniFile* Ini,
                         const String& SectionNamePrefix);
void BarRegSavePositions(TComponent* OwnerComponent, HKEY RootKey, const String& BaseRegistryKey);
void BarRegLoadPositions(TComponent* OwnerComponent, HKEY RootKey, const String& BaseRegistryKey);
// Test seam: when set and answering true for a key path, opening that key
// for saving fails as a registry without write access would.
extern bool (*BarRegistryFailureSeam)(const String& KeyPath);

// ---- the dockable window ------------------------------------------------------
// A setting that shapes the floating form (its frame, caption, owner or
// showing): read like a plain value; a new value assigned is handed on to
// the window, which re-frames or redraws its floating form.
template <class T>
class TBarFloatingSetting {
 public:
  using Handler = void (TBarCustomDockableWindow::*)();
  TBarFloatingSetting(TBarCustomDockableWindow* Owner, Handler Changed, T Value)
      : owner_(Owner), changed_(Changed), value_(Value) {}
  TBarFloatingSetting(const TBarFloatingSetting&) = delete;
  TBarFloatingSetting& operator=(const TBarFloatingSetting& Other) { return *this = Other.value_; }
  TBarFloatingSetting& operator=(T Value) {
    if (Value == value_) return *this;
    value_ = Value;
    (owner_->*changed_)();
    return *this;
  }
  operator T() const { return value_; }
  T Get() const { return value_; }

 private:
  TBarCustomDockableWindow* owner_;
  Handler changed_;
  T value_;
};

class TBarCustomDockableWindow : public TCustomControl {
 protected:
  // A dock or the floating window places it: only a window placed on the
  // form stores its place and size.
  bool StoresBounds() const override { return !GetDocked() && !floating_; }
  const wchar_t* StoredTextName() const override { return L"Caption"; }

 public:
  explicit TBarCustomDockableWindow(TComponent* AOwner);
  ~TBarCustomDockableWindow() override;
  const char* ClassName() const override { return "TBarCustomDockableWindow"; }

  // Layout hooks of descendants.
  virtual POINT CalcNCSizes();
  virtual bool CanDockTo(TBarDock* ADock);
  virtual void ControlExistsAtPos(POINT P, bool& ControlExists);
  virtual POINT DoArrange(bool CanMoveControls, TBarDockType PreviousDockType, bool NewFloating,
                          TBarDock* NewDock) = 0;
  virtual void DrawNCArea(HDC DC, HRGN Clip);
  virtual void GetBaseSize(POINT& ASize) = 0;
  virtual RECT GetDockedCloseButtonRect(bool LeftRight);
  virtual void GetMinShrinkSize(int& AMinimumSize) {}
  virtual void GetMinMaxSize(int& AMinClientWidth, int& AMinClientHeight, int& AMaxClientWidth,
                             int& AMaxClientHeight) {}
  virtual TBarShrinkMode GetShrinkMode() { return tbsmNone; }
  virtual void SizeChanging(int AWidth, int AHeight) {}
  virtual POINT GetFloatingBorderSize();
  virtual bool ChildControlTransparent(TControl* Ctl) { return false; }
  virtual void ReadPositionData(const TBarReadPositionData& Data) {}
  virtual void WritePositionData(const TBarWritePositionData& Data) {}
  virtual void DoneReadingPositionData(const TBarReadPositionData& Data) {}
  // Floating sizing hooks, called by BeginSizing in this order.
  virtual void ResizeBegin(TBarSizeHandle SizeHandle) {}
  virtual void ResizeTrack(RECT& Rect, const RECT& OrigRect) {}
  virtual void ResizeTrackAccept() {}
  virtual void ResizeEnd() {}
  // Tells OnDockChangingHidden (unless destroying) while the window is
  // taken off its old place.
  virtual void DoDockChangingHidden(bool NewFloating, TBarDock* DockingTo);
  // Called once loaded, before the first arrangement.
  virtual void InitializeOrdering() {}
  // Whether the window was stored by the running program (not designed).
  bool GetSavedAtRunTime() const { return savedAtRunTime_; }
  // Makes the form a floating window lives in (not yet shown).
  // The class of the form this window floats in.
  virtual TBarFloatingWindowParentClass GetFloatingWindowParentClass();

  void SetParent(TWinControl* AParent) override;
  void SetBounds(int l, int t, int w, int h) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void Loaded() override;
  void DefineProperties(TFiler* Filer) override;
  void WndProc(TMessage& m) override;

  // The modal mouse loops: moving between docks and floating (from a point
  // in client coordinates) and sizing a floating window by its border.
  void BeginMoving(int InitX, int InitY);
  void BeginSizing(TBarSizeHandle SizeHandle);
  void DrawDraggingOutline(HDC DC, const RECT* NewRect, const RECT* OldRect, bool NewDocking,
                           bool OldDocking);
  // Docked: floats it; floating: docks it at its last (or default) dock.
  void DoubleClick();
  void ShowNCContextMenu();
  void Moved();
  // Non-client areas: of a docked window on a dock (the current one when
  // none is given) and of the floating form.
  void GetDockedNCArea(POINT& TopLeft, POINT& BottomRight, bool LeftRight, TBarDock* Dock = nullptr);
  void AddDockedNCAreaToSize(POINT& S, bool LeftRight, TBarDock* Dock = nullptr);
  void GetFloatingNCArea(POINT& TopLeft, POINT& BottomRight);
  void AddFloatingNCAreaToSize(POINT& S);
  void SetFloatingPosition(POINT P);
  // Other forms whose docks a drag may use.
  void AddDockForm(TCustomForm* Form);
  void RemoveDockForm(TCustomForm* Form);
  TBarFloatingWindowParent* GetFloatingParent() const { return floatParent_; }
  // Whether the window should show now (floating: with its form and the application).
  bool GetShowingState();
  void UpdateVisibility();
  void UpdateTopmostFlag();
  // The floating form after a change of the settings above.
  void RedrawFloatingCaption();
  void ReframeFloatingForm();
  // The close button or the caption bar turned on or off: besides the
  // form, the floating window is laid out again, for the caption's room
  // may decide its width.
  void CloseButtonChanged();
  void ShowCaptionChanged();
  void FloatingModeChanged();
  bool GetShownInactive() const { return shownInactive_; }
  TBarDockableWindowStyles DockableWindowStyles{tbdsResizeEightCorner, tbdsResizeClipCursor};

  void Arrange();
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();
  void ChangeSize(int AWidth, int AHeight);
  void Close();
  void MoveOnScreen(bool OnlyIfFullyOffscreen);
  bool IsMovable();
  int DragHandleWidth();
  void RedrawNCArea();
  bool IsAutoResized() { return autoResize_ || GetDocked() || floating_; }

  // Properties.
  bool GetDocked() const { return currentDock_ != nullptr; }
  TBarDock* GetCurrentDock() const { return currentDock_; }
  void SetCurrentDock(TBarDock* Value);
  bool GetFloating() const { return floating_; }
  void SetFloating(bool Value);
  TBarDock* GetLastDock() const { return lastDock_; }
  void SetLastDock(TBarDock* Value);
  TBarDock* DefaultDock = nullptr;
  int GetDockRow() const { return dockRow_; }
  void SetDockRow(int Value);
  int GetDockPos() const { return dockPos_; }
  void SetDockPos(int Value);
  bool GetCloseButtonWhenDocked() const { return closeButtonWhenDocked_; }
  void SetCloseButtonWhenDocked(bool Value);
  TBarDragHandleStyle GetDragHandleStyle() const { return dragHandleStyle_; }
  void SetDragHandleStyle(TBarDragHandleStyle Value);
  bool GetFullSize() const { return fullSize_; }
  void SetFullSize(bool Value);
  bool GetStretch() const { return stretch_; }
  void SetStretch(bool Value);
  TBorderStyle GetBorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle Value);
  bool GetAutoResize() const { return autoResize_; }
  void SetAutoResize(bool Value);
  bool GetUseLastDock() const { return useLastDock_; }
  void SetUseLastDock(bool Value);
  POINT FloatingPosition{0, 0};
  // Docked, the client area lies inside the frame the window draws (its
  // grip and close button among it), with a handle or before it has one.
  TRect GetClientRect() override;
  int NonClientWidth() { return CalcNCSizes().x; }
  int NonClientHeight() { return CalcNCSizes().y; }

  bool ActivateParent = true;
  bool DblClickUndock = true;
  // What DblClickUndock starts as in this class: a stream holds it only
  // where it differs.
  virtual bool DefaultDblClickUndock() const { return true; }
  bool SmoothDrag = true;
  TBarDockMode DockMode = dmCanFloat;
  TBarDockableTo DockableTo{dpTop, dpBottom, dpLeft, dpRight};
  // The floating form's caption button, caption bar, sizing border, place
  // above forms and hiding with the application: changed while the window
  // floats, the floating form follows at once.
  TBarFloatingSetting<bool> CloseButton{this, &TBarCustomDockableWindow::CloseButtonChanged, true};
  TBarFloatingSetting<bool> ShowCaption{this, &TBarCustomDockableWindow::ShowCaptionChanged, true};
  TBarFloatingSetting<bool> Resizable{this, &TBarCustomDockableWindow::ReframeFloatingForm, true};
  TBarFloatingSetting<TBarFloatingMode> FloatingMode{this, &TBarCustomDockableWindow::FloatingModeChanged,
                                                     fmOnTopOfParentForm};
  TBarFloatingSetting<bool> HideWhenInactive{this, &TBarCustomDockableWindow::UpdateVisibility, true};

  TNotifyEvent OnClose;
  TBarCloseQueryEvent OnCloseQuery;
  TNotifyEvent OnDockChanged;
  TBarDockChangingEvent OnDockChanging;
  TBarDockChangingEvent OnDockChangingHidden;
  TNotifyEvent OnMove;
  TNotifyEvent OnRecreated;
  TNotifyEvent OnRecreating;
  TNotifyEvent OnVisibleChanged;

  // Set by the dock's arrangement.
  int EffectiveDockRow = 0;
  int EffectiveDockPos = 0;
  // The length the dock shrank the window to (0: full length).
  int ShrunkLength = 0;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  // Remembers the client size the window was told of.
  void Resize() override;
  void TrackCloseButton();
  void UpdateCloseHover(bool Hot);
  // Moved over a dock with a background: paints itself anew at once.
  void RepaintOverBackground();
  bool closePushed_ = false;
  bool closeHot_ = false;
  int updateCount_ = 0;
  bool arrangeNeeded_ = false;
  int disableSizeReactions_ = 0;

 private:
  friend class TBarDock;
  friend class TBarFloatingWindowParent;
  int DragHandleWidthOn(TBarDock* Dock) const;
  void ApplyFloatingSize(const RECT& R);
  // Frees the floating form once the window has left it.
  void ReleaseFloatingParent();
  // The client size from the window's size and frame.
  POINT ClientSizeOfFrame();
  // Tells the window of a client size its own sizing did not report (its
  // frame changed while its size stayed).
  void ResizeIfClientChanged();
  POINT toldClientSize_{-1, -1};
  TBarFloatingWindowParent* floatParent_ = nullptr;
  std::vector<TCustomForm*> dockForms_;
  bool smoothDragging_ = false;
  bool insertRowBefore_ = false;
  bool shownInactive_ = false;
  int disableMove_ = 0;
  TBarDock* currentDock_ = nullptr;
  TBarDock* lastDock_ = nullptr;
  bool floating_ = false;
  int dockRow_ = 0;
  int dockPos_ = -1;
  bool closeButtonWhenDocked_ = false;
  TBarDragHandleStyle dragHandleStyle_ = dhSingle;
  bool fullSize_ = false;
  bool stretch_ = false;
  TBorderStyle borderStyle_ = bsSingle;
  bool autoResize_ = true;
  bool useLastDock_ = true;
  bool savedAtRunTime_ = false;
  TCustomForm* floatForm_ = nullptr;  // the form the floating form belongs to
  bool inSetParent_ = false;
  String pendingLastDock_;  // the last dock a stream names, until loaded
};

TBarDockType BarGetDockTypeOf(TBarDock* Dock, bool Floating);
// The outermost form above a window; raises EInvalidOperation when there is none.
TCustomForm* BarValidToolWindowParentForm(TControl* ToolWindow);
TCustomForm* BarGetToolWindowParentForm(TControl* ToolWindow);
// The top-level window that stands for a form (activation, owning its
// floating windows): an MDI child's MDI parent form, else the form itself;
// null while the form has no window.
HWND BarFormTopWindow(TCustomForm* Form);

// ---- the dock ------------------------------------------------------------------------
class TBarDock : public TCustomControl {
 protected:
  // Its place and size follow its position and its windows.
  bool StoresBounds() const override { return false; }

 public:
  explicit TBarDock(TComponent* AOwner);
  ~TBarDock() override;
  const char* ClassName() const override { return "TBarDock"; }

  virtual bool Accepts(TBarCustomDockableWindow* AWindow) { return allowDrag_; }
  virtual void ArrangeToolbars();
  void SetParent(TWinControl* AParent) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void Loaded() override;
  void DefineProperties(TFiler* Filer) override;
  void WndProc(TMessage& m) override;

  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();
  void CommitPositions();
  void ChangeDockList(bool Insert, TBarCustomDockableWindow* Bar);
  void ToolbarVisibilityChanged(TBarCustomDockableWindow* Bar, bool ForceRemove);
  int GetCurrentRowSize(int Row, bool& AFullSize);
  int GetMinRowSize(int Row, TBarCustomDockableWindow* ExcludeControl);
  int GetHighestRow(bool HighestEffective);
  // The row whose accumulated thickness first exceeds Pos (across the
  // rows); past the last row, the row after it.
  int GetDesignModeRowOf(int Pos);
  bool HasVisibleToolbars() { return !visibleList_.empty(); }
  bool ToolbarVisibleOnDock(TBarCustomDockableWindow* AToolbar);
  void ChangeWidthHeight(int NewWidth, int NewHeight);
  int ToolbarCount() const { return static_cast<int>(visibleList_.size()); }
  TBarCustomDockableWindow* Toolbars(int Index) const { return visibleList_[static_cast<size_t>(Index)]; }
  int NonClientWidth() const;
  int NonClientHeight() const;

  bool GetAllowDrag() const { return allowDrag_; }
  void SetAllowDrag(bool Value);
  TBarDockBoundLines GetBoundLines() const { return boundLines_; }
  void SetBoundLines(TBarDockBoundLines Value);
  bool GetFixAlign() const { return fixAlign_; }
  void SetFixAlign(bool Value);
  bool GetLimitToOneRow() const { return limitToOneRow_; }
  void SetLimitToOneRow(bool Value);
  TBarDockPosition GetPosition() const { return position_; }
  void SetPosition(TBarDockPosition Value);
  bool IsVertical() const { return position_ == dpLeft || position_ == dpRight; }

  TBarInsertRemoveEvent OnInsertRemoveBar;
  TBarRequestDockEvent OnRequestDock;

  // The shared background painted under the dock and, with
  // BackgroundOnToolbars, under its docked windows.
  TBarBasicBackground* GetBackground() const { return background_; }
  void SetBackground(TBarBasicBackground* Value);
  bool GetBackgroundOnToolbars() const { return backgroundOnToolbars_; }
  void SetBackgroundOnToolbars(bool Value);
  // DrawRect starts at the dock's client origin in DC's coordinates; the
  // tiles start at the parent's client origin.
  virtual void DrawBackground(HDC DC, const RECT& DrawRect);
  virtual bool UsingBackground();
  // Redraws the dock and every window on it.
  void InvalidateBackgrounds();

 protected:
  void AlignControls(TControl* AControl, TRect& R) override;
  void CreateParams(TCreateParams& Params) override;
  void Paint() override;
  virtual void PaintNCArea(HDC DC);

 private:
  friend class TBarCustomDockableWindow;
  // Loaded positions are committed by the arrangement that follows.
  friend void BarCustomLoadPositions(TComponent*, TBarPositionReadIntProc, TBarPositionReadStringProc, void*);
  std::vector<TBarCustomDockableWindow*> dockList_;
  std::vector<TBarCustomDockableWindow*> visibleList_;
  int updateCount_ = 0;
  bool arrangeNeeded_ = false;
  bool commitPositions_ = false;
  bool allowDrag_ = true;
  TBarDockBoundLines boundLines_;
  bool fixAlign_ = false;
  bool limitToOneRow_ = false;
  TBarDockPosition position_ = dpTop;
  int lastClientLength_ = -1;
  bool arranging_ = false;
  // While a window is dragged: the window, whether its row is locked, and
  // whether it shares a row that is too long for the dock.
  void BackgroundChanged(TObject* Sender);
  TBarBasicBackground* background_ = nullptr;
  bool backgroundOnToolbars_ = true;
  TBarCustomDockableWindow* draggingWindow_ = nullptr;
  bool rowLocked_ = false;
  bool draggedOnOverfullRow_ = false;
};
