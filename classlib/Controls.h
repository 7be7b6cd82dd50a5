// Visual controls: TControl (anything with bounds on a parent), TWinControl
// (a control with its own window, possibly superclassing a system window
// class), TCustomControl (a window with a canvas and Paint) and
// TGraphicControl (windowless, painted by its parent). Windows only.
#pragma once

#include <functional>
#include <vector>

#include "classlib/Actions.h"
#include "classlib/Classes.h"
#include "classlib/Graphics.h"
#include "classlib/Messages.h"

class TWinControl;
class TPopupMenu;
class TCustomForm;
class TControlActionLink;
class TDragImageList;
class TDragObject;
class TDragDockObject;

// ---------------------------------------------------------------------------
// Messages (TMessage is in Messages.h)
// A window procedure of a control: a method that handles a message in place.
using TWndMethod = TEvent<void(TMessage&)>;

// Control messages (sent between controls, never to foreign windows).
constexpr UINT CM_BASE = 0xB000;
constexpr UINT CM_ACTIVATE = CM_BASE + 0;
constexpr UINT CM_DEACTIVATE = CM_BASE + 1;
// The form's active control changed: LParam is the newly focused control.
// The form sends it to itself; every windowed control passes it on to its
// children.
constexpr UINT CM_FOCUSCHANGED = CM_BASE + 7;
constexpr UINT CM_PARENTFONTCHANGED = CM_BASE + 8;
constexpr UINT CM_PARENTCOLORCHANGED = CM_BASE + 9;
constexpr UINT CM_HITTEST = CM_BASE + 10;
constexpr UINT CM_VISIBLECHANGED = CM_BASE + 11;
constexpr UINT CM_ENABLEDCHANGED = CM_BASE + 12;
constexpr UINT CM_COLORCHANGED = CM_BASE + 13;
constexpr UINT CM_FONTCHANGED = CM_BASE + 14;
constexpr UINT CM_CURSORCHANGED = CM_BASE + 15;
constexpr UINT CM_CTL3DCHANGED = CM_BASE + 16;
constexpr UINT CM_PARENTCTL3DCHANGED = CM_BASE + 17;
constexpr UINT CM_TEXTCHANGED = CM_BASE + 18;
constexpr UINT CM_MOUSEENTER = CM_BASE + 19;
constexpr UINT CM_MOUSELEAVE = CM_BASE + 20;
constexpr UINT CM_MENUCHANGED = CM_BASE + 21;
constexpr UINT CM_APPKEYDOWN = CM_BASE + 22;
constexpr UINT CM_APPSYSCOMMAND = CM_BASE + 23;
constexpr UINT CM_BUTTONPRESSED = CM_BASE + 24;
constexpr UINT CM_SHOWINGCHANGED = CM_BASE + 25;
constexpr UINT CM_ENTER = CM_BASE + 26;
constexpr UINT CM_EXIT = CM_BASE + 27;
constexpr UINT CM_DESIGNHITTEST = CM_BASE + 28;
constexpr UINT CM_ICONCHANGED = CM_BASE + 29;
constexpr UINT CM_WANTSPECIALKEY = CM_BASE + 30;
constexpr UINT CM_INVOKEHELP = CM_BASE + 31;
constexpr UINT CM_WINDOWHOOK = CM_BASE + 32;
constexpr UINT CM_RELEASE = CM_BASE + 33;
constexpr UINT CM_SHOWHINTCHANGED = CM_BASE + 34;
constexpr UINT CM_PARENTSHOWHINTCHANGED = CM_BASE + 35;
constexpr UINT CM_SYSCOLORCHANGE = CM_BASE + 36;
constexpr UINT CM_WININICHANGE = CM_BASE + 37;
constexpr UINT CM_FONTCHANGE = CM_BASE + 38;
constexpr UINT CM_TIMECHANGE = CM_BASE + 39;
constexpr UINT CM_TABSTOPCHANGED = CM_BASE + 40;
constexpr UINT CM_UIACTIVATE = CM_BASE + 41;
constexpr UINT CM_UIDEACTIVATE = CM_BASE + 42;
constexpr UINT CM_DOCWINDOWACTIVATE = CM_BASE + 43;
// A control was put into (LParam 1) or taken out of (LParam 0) the
// controls of a windowed control (WParam the control). Each windowed
// control passes it on to its parent after its own handling, so that the
// form hears of every change in its tree; a handler meant for its own
// controls tells an inserted one by its parent.
constexpr UINT CM_CONTROLLISTCHANGE = CM_BASE + 44;
constexpr UINT CM_GETDATALINK = CM_BASE + 45;
constexpr UINT CM_CHILDKEY = CM_BASE + 46;
constexpr UINT CM_DRAG = CM_BASE + 47;
constexpr UINT CM_HINTSHOW = CM_BASE + 48;
constexpr UINT CM_DIALOGHANDLE = CM_BASE + 49;
constexpr UINT CM_ISTOOLCONTROL = CM_BASE + 50;
constexpr UINT CM_RECREATEWND = CM_BASE + 51;
constexpr UINT CM_INVALIDATE = CM_BASE + 52;
constexpr UINT CM_SYSFONTCHANGED = CM_BASE + 53;
constexpr UINT CM_CONTROLCHANGE = CM_BASE + 54;
constexpr UINT CM_CHANGED = CM_BASE + 55;
constexpr UINT CM_DIALOGKEY = CM_BASE + 56;
constexpr UINT CM_DIALOGCHAR = CM_BASE + 57;
constexpr UINT CM_CANCELMODE = CM_BASE + 58;
constexpr UINT CM_MOUSEWHEEL = CM_BASE + 59;
constexpr UINT CM_BORDERCHANGED = CM_BASE + 60;
constexpr UINT CM_SHOWHINT = CM_BASE + 61;
constexpr UINT CM_BIDIMODECHANGED = CM_BASE + 62;
constexpr UINT CM_PARENTBIDIMODECHANGED = CM_BASE + 63;
// Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PageDown or Ctrl+PageUp where the focus
// is: the form sends it to the focused control and to each control around
// it, innermost first, until one turns its pages (Result 1). WParam 1 turns
// to the next page, 0 to the one before.
constexpr UINT CM_TURNPAGE = CM_BASE + 64;

// Reading order: left to right, or right to left with text aligned to the
// right (bdRightToLeft), left as it is (NoAlign) or only the reading order.
enum TBiDiMode { bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly };

// Notifications of a child window reflected back to the child's control:
// CN_BASE + the original message number.
constexpr UINT CN_BASE = 0xBC00;
constexpr UINT CN_CHARTOITEM = CN_BASE + WM_CHARTOITEM;
constexpr UINT CN_COMMAND = CN_BASE + WM_COMMAND;
constexpr UINT CN_COMPAREITEM = CN_BASE + WM_COMPAREITEM;
constexpr UINT CN_CTLCOLORBTN = CN_BASE + WM_CTLCOLORBTN;
constexpr UINT CN_CTLCOLORDLG = CN_BASE + WM_CTLCOLORDLG;
constexpr UINT CN_CTLCOLOREDIT = CN_BASE + WM_CTLCOLOREDIT;
constexpr UINT CN_CTLCOLORLISTBOX = CN_BASE + WM_CTLCOLORLISTBOX;
constexpr UINT CN_CTLCOLORMSGBOX = CN_BASE + WM_CTLCOLORMSGBOX;
constexpr UINT CN_CTLCOLORSCROLLBAR = CN_BASE + WM_CTLCOLORSCROLLBAR;
constexpr UINT CN_CTLCOLORSTATIC = CN_BASE + WM_CTLCOLORSTATIC;
constexpr UINT CN_DELETEITEM = CN_BASE + WM_DELETEITEM;
constexpr UINT CN_DRAWITEM = CN_BASE + WM_DRAWITEM;
constexpr UINT CN_HSCROLL = CN_BASE + WM_HSCROLL;
constexpr UINT CN_MEASUREITEM = CN_BASE + WM_MEASUREITEM;
constexpr UINT CN_PARENTNOTIFY = CN_BASE + WM_PARENTNOTIFY;
constexpr UINT CN_VKEYTOITEM = CN_BASE + WM_VKEYTOITEM;
constexpr UINT CN_VSCROLL = CN_BASE + WM_VSCROLL;
constexpr UINT CN_KEYDOWN = CN_BASE + WM_KEYDOWN;
constexpr UINT CN_KEYUP = CN_BASE + WM_KEYUP;
constexpr UINT CN_CHAR = CN_BASE + WM_CHAR;
constexpr UINT CN_SYSKEYDOWN = CN_BASE + WM_SYSKEYDOWN;
constexpr UINT CN_SYSCHAR = CN_BASE + WM_SYSCHAR;
constexpr UINT CN_NOTIFY = CN_BASE + WM_NOTIFY;

// Handed to CM_HINTSHOW in LParam.
struct THintInfo {
  class TControl* HintControl = nullptr;
  TPoint CursorPos{};
  TRect CursorRect{};
  String HintStr;
  int HideTimeout = 0;
};

// ---------------------------------------------------------------------------
// Shift state of keys and mouse buttons (TShiftState is in Classes.h).
TShiftState KeysToShiftState(WPARAM keys);     // MK_xxx flags of a mouse message
TShiftState KeyDataToShiftState(LPARAM data);  // key message data (Alt bit) + keyboard
TShiftState GetShiftState();                   // current keyboard state

enum TMouseButton { mbLeft, mbRight, mbMiddle };

enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom };

// Whether a control names its help topic by context number or by keyword.
enum THelpType { htKeyword, htContext };

enum TAnchorKind { akLeft, akTop, akRight, akBottom };
using TAnchors = TSet<TAnchorKind>;

enum TControlStyleItem {
  csAcceptsControls, csCaptureMouse, csDesignInteractive, csClickEvents, csFramed,
  csSetCaption, csOpaque, csDoubleClicks, csFixedWidth, csFixedHeight, csNoDesignVisible,
  csReplicatable, csNoStdEvents, csDisplayDragImage, csReflector, csActionClient,
  csMenuEvents, csParentBackground
};
using TControlStyle = TSet<TControlStyleItem>;

enum TControlStateItem {
  csLButtonDown, csClicked, csPalette, csReadingState, csAlignmentNeeded, csFocusing,
  csCreating, csPaintCopy, csCustomPaint, csDestroyingHandle, csDocking, csRecreating
};
using TControlState = TSet<TControlStateItem>;

using TCursor = int;
// A control's caption.
using TCaption = String;

// The parts of a hint: the short one before '|' (shown over the control),
// the long one after it (for a status bar). A hint without '|' is both.
String GetShortHint(const String& Hint);
String GetLongHint(const String& Hint);
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSize = -22;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crMultiDrag = -16;
constexpr TCursor crSQLWait = -17;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;

using TMouseEvent = TEvent<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = TEvent<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = TEvent<void(TObject* Sender, WORD& Key, TShiftState Shift)>;
using TKeyPressEvent = TEvent<void(TObject* Sender, wchar_t& Key)>;
using TMouseWheelEvent = TEvent<void(TObject* Sender, TShiftState Shift, int WheelDelta, TPoint MousePos, bool& Handled)>;
using TMouseWheelUpDownEvent = TEvent<void(TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled)>;
using TContextPopupEvent = TEvent<void(TObject* Sender, TPoint MousePos, bool& Handled)>;
using TCanResizeEvent = TEvent<void(TObject* Sender, int& NewWidth, int& NewHeight, bool& Resize)>;

// ---------------------------------------------------------------------------
// Drag and drop. A drag starts with BeginDrag (or, with DragMode
// dmAutomatic, a left press that moves the pointer past the system's drag
// distance); while it runs, the control under the pointer is asked through
// CM_DRAG whether it takes what is dragged, and the pointer shows the
// source's DragCursor over a control that does and crNoDrop elsewhere.
// Releasing the left button over such a control drops; Escape, a right
// click or the loss of the mouse capture cancel.
enum TDragMode { dmManual, dmAutomatic };
// dkDock drags fire the dock events (OnStartDock, OnEndDock) and hand
// Docking in the drag record; there are no docking sites here, so such a
// drag ends like a plain one (dropped on a control that accepts it).
enum TDragKind { dkDrag, dkDock };
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };
// What CM_DRAG asks (WParam); LParam is a TDragRec*.
enum TDragMessage { dmDragEnter, dmDragLeave, dmDragMove, dmDragDrop, dmDragCancel, dmFindTarget };

struct TDragRec {
  TPoint Pos{};                  // the pointer, screen coordinates
  TDragObject* Source = nullptr;  // what is dragged
  class TControl* Target = nullptr;  // the control asked
  bool Docking = false;          // a dkDock drag
};

// CM_DRAG's parts: Result is the answer (non-zero: the target accepts; for
// dmFindTarget the TControl* that takes the drag, null: the one asked).
inline TDragMessage DragMessageOf(const TMessage& m) { return TDragMessage(m.WParam); }
inline TDragRec* DragRecOf(const TMessage& m) { return reinterpret_cast<TDragRec*>(m.LParam); }

// What is being dragged. The class library makes a TDragControlObject
// (TDragDockObject for dkDock) for the source unless its OnStartDrag or
// DoStartDrag hands one of its own, which then stays the caller's to free.
class TDragObject : public TObject {
 public:
  // The pointer's shape over a target that accepts (or refuses) it.
  virtual TCursor GetDragCursor(bool Accepted, int X, int Y);
  virtual TDragImageList* GetDragImages() { return nullptr; }
  virtual void HideDragImage();
  virtual void ShowDragImage();
  // The drag ended over Target (null: over nothing) at Target's client
  // point X, Y; Accepted: dropped on a target that took it.
  virtual void Finished(TObject* Target, int X, int Y, bool Accepted) {}
  // The screen point, the control under it and the point in its client
  // area, as of the last move.
  TPoint DragPos{};
  TControl* DragTarget = nullptr;
  TPoint DragTargetPos{};
  // Set while a cancelled drag ends (Escape, right click, capture lost).
  bool Cancelling = false;
  // Set when the drag ended with a drop that the target accepted.
  bool Dropped = false;
};

// A control being dragged: its DragCursor and drag images; when the drag
// ends the control's DoEndDrag hears it. The events' Source is the control.
class TDragControlObject : public TDragObject {
 public:
  explicit TDragControlObject(TControl* AControl) : Control(AControl) {}
  TCursor GetDragCursor(bool Accepted, int X, int Y) override;
  TDragImageList* GetDragImages() override;
  void Finished(TObject* Target, int X, int Y, bool Accepted) override;
  // Null once the control has been freed.
  TControl* Control;
};

// A control dragged with DragKind dkDock: its DoEndDock hears the end.
class TDragDockObject : public TDragControlObject {
 public:
  explicit TDragDockObject(TControl* AControl) : TDragControlObject(AControl) {}
  void Finished(TObject* Target, int X, int Y, bool Accepted) override;
};

using TStartDragEvent = TEvent<void(TObject* Sender, TDragObject*& DragObject)>;
using TStartDockEvent = TEvent<void(TObject* Sender, TDragDockObject*& DragObject)>;
using TDragOverEvent = TEvent<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDragDropEvent = TEvent<void(TObject* Sender, TObject* Source, int X, int Y)>;
using TEndDragEvent = TEvent<void(TObject* Sender, TObject* Target, int X, int Y)>;

// The control under a screen point: the windowed control there, or its
// child control at that point; disabled ones only with AllowDisabled.
TControl* FindDragTarget(const TPoint& Pos, bool AllowDisabled);

// Watchers of a few events of the thread's windows, told by the class
// library's own window procedures (of every control and form, and of the
// application window) before the window handles the message: a sent
// WM_ACTIVATEAPP, WM_WINDOWPOSCHANGED or WM_SETFOCUS (the window, WParam,
// LParam as sent), and wnDestroying (the window, 0, 0) when a control's
// window is about to be destroyed, before the windows it owns go with it.
// Unlike a system message hook this costs nothing per message: windows that
// are not the class library's are not seen. Watchers belong to the thread
// that adds them and hear only its windows; one added twice is told twice
// and needs two removals. A watcher may add or remove watchers while told.
enum TWindowNotice { wnActivateApp, wnWindowPosChanged, wnSetFocus, wnDestroying };
using TWindowNoticeProc = void (*)(TWindowNotice Notice, HWND Wnd, WPARAM WParam, LPARAM LParam);
void AddWindowNoticeProc(TWindowNoticeProc Proc);
void RemoveWindowNoticeProc(TWindowNoticeProc Proc);
// Tells this thread's watchers of a window message (a message other than the
// three above is not told); for window procedures outside the controls.
void TellWindowWatchers(HWND Wnd, UINT Msg, WPARAM WParam, LPARAM LParam);

// Limits on a control's size; 0 means no limit.
class TSizeConstraints : public TObject {
 public:
  int MinWidth = 0, MinHeight = 0, MaxWidth = 0, MaxHeight = 0;
  void Set(int minW, int minH, int maxW, int maxH) {
    MinWidth = minW; MinHeight = minH; MaxWidth = maxW; MaxHeight = maxH;
    if (OnChange) OnChange(this);
  }
  // Clamps a width and height to the limits.
  void Apply(int& w, int& h) const;
  // Each limit that is set times m / d (a layout moved to another screen).
  void ScaleBy(int m, int d);
  TNotifyEvent OnChange;
};

// ---------------------------------------------------------------------------
class TControl : public TComponent {
 public:
  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  // The message entry point; replaceable (for subclassing by others). The
  // default is WndProc. Restore by assigning the previous value back.
  TWndMethod WindowProc;
  LRESULT Perform(UINT msg, WPARAM w = 0, LPARAM l = 0);

  TWinControl* GetParent() const { return parent_; }
  virtual void SetParent(TWinControl* p);

  int GetLeft() const { return left_; }
  int GetTop() const { return top_; }
  int GetWidth() const { return width_; }
  int GetHeight() const { return height_; }
  void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
  void SetTop(int v) { SetBounds(left_, v, width_, height_); }
  void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
  void SetHeight(int v) { SetBounds(left_, top_, width_, v); }
  TRect GetBoundsRect() const { return Bounds(left_, top_, width_, height_); }
  void SetBoundsRect(const TRect& r) { SetBounds(r.left, r.top, RectWidth(r), RectHeight(r)); }
  virtual void SetBounds(int l, int t, int w, int h);
  virtual TRect GetClientRect();
  int GetClientWidth() { return RectWidth(GetClientRect()); }
  int GetClientHeight() { return RectHeight(GetClientRect()); }
  void SetClientWidth(int w);
  void SetClientHeight(int h);
  virtual TPoint GetClientOrigin();
  TPoint ClientToScreen(TPoint p);
  TPoint ScreenToClient(TPoint p);

  bool GetVisible() const { return visible_; }
  void SetVisible(bool v);
  void Show();
  void Hide();
  // Visible and all parents showing.
  virtual bool Showing() const;
  bool GetEnabled() const { return enabled_; }
  virtual void SetEnabled(bool v);

  TAlign GetAlign() const { return align_; }
  void SetAlign(TAlign a);
  TAnchors GetAnchors() const { return anchors_; }
  void SetAnchors(TAnchors a);
  TSizeConstraints* Constraints() const { return constraints_.get(); }

  TFont* Font() const { return font_.get(); }
  TFont* GetFont() const { return font_.get(); }
  void SetFont(TFont* f) { font_->Assign(*f); }
  bool GetParentFont() const { return parentFont_; }
  void SetParentFont(bool v);
  TColor GetColor() const { return color_; }
  void SetColor(TColor c);
  bool GetParentColor() const { return parentColor_; }
  void SetParentColor(bool v);

  // Caption and Text are the same text.
  String GetText();
  void SetText(const String& s);
  String GetCaption() { return GetText(); }
  void SetCaption(const String& s) { SetText(s); }

  const String& GetHint() const { return hint_; }
  void SetHint(const String& h);

  // The control's help topic: a context number (HelpType htContext, the
  // default) or a keyword. A control without one (0, or an empty keyword)
  // has its parent's; F1 shows the topic of the focused control.
  THelpContext GetHelpContext() const { return helpContext_; }
  void SetHelpContext(THelpContext Value) { helpContext_ = Value; }
  THelpType GetHelpType() const { return helpType_; }
  void SetHelpType(THelpType Value) { helpType_ = Value; }
  const String& GetHelpKeyword() const { return helpKeyword_; }
  void SetHelpKeyword(const String& Value) { helpKeyword_ = Value; }
  // This control or the nearest parent that has a help topic, or null.
  TControl* HelpTopicControl();
  bool GetShowHint() const { return showHint_; }
  void SetShowHint(bool v);
  // Reading order; a control follows its parent's (ParentBiDiMode) until
  // it is given its own. CM_BIDIMODECHANGED tells the control.
  TBiDiMode GetBiDiMode() const { return biDiMode_; }
  void SetBiDiMode(TBiDiMode v);
  bool GetParentBiDiMode() const { return parentBiDiMode_; }
  void SetParentBiDiMode(bool v);
  bool IsRightToLeft() const { return biDiMode_ != bdLeftToRight; }
  bool UseRightToLeftReading() const { return biDiMode_ != bdLeftToRight; }
  bool UseRightToLeftAlignment() const { return biDiMode_ == bdRightToLeft; }
  bool UseRightToLeftScrollBar() const { return biDiMode_ == bdRightToLeft || biDiMode_ == bdRightToLeftNoAlign; }
  bool GetParentShowHint() const { return parentShowHint_; }
  void SetParentShowHint(bool v);

  TPopupMenu* GetPopupMenu() const { return popupMenu_; }
  void SetPopupMenu(TPopupMenu* m) { popupMenu_ = m; }
  TCursor GetCursor() const { return cursor_; }
  void SetCursor(TCursor c);

  TControlStyle ControlStyle{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  TControlState ControlState;

  virtual void Invalidate();
  void Repaint();
  virtual void Update();
  void Refresh() { Repaint(); }
  void BringToFront();
  void SendToBack();
  // Asks the parent to lay out its children again.
  void RequestAlign();

  // The form that holds this control, or nullptr.
  TCustomForm* GetParentForm() const;

  // The action the control shows and runs (null: none). The control's
  // caption, enabled state, hint, visibility, help context and OnClick
  // follow the action's while its link ties them.
  TBasicAction* GetAction() const;
  void SetAction(TBasicAction* Value);
  TControlActionLink* GetActionLink() const { return actionLink_.get(); }
  // Updates the action through the link (the application does it for
  // every visible control of a visible form when it is idle).
  virtual void InitiateAction();
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // Streaming: a control is stored inside its parent.
  bool HasParent() const override { return true; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* Value) override;

  // Drag and drop (see TDragMode).
  TDragMode GetDragMode() const { return dragMode_; }
  virtual void SetDragMode(TDragMode Value) { dragMode_ = Value; }
  TDragKind GetDragKind() const { return dragKind_; }
  void SetDragKind(TDragKind Value) { dragKind_ = Value; }
  TCursor GetDragCursor() const { return dragCursor_; }
  void SetDragCursor(TCursor Value) { dragCursor_ = Value; }
  // Starts dragging this control: at once, or (not Immediate) once the
  // pointer has moved Threshold pixels with the left button down (-1: the
  // system's drag distance); a release before that ends it without any
  // drag event. Returns at once: the drag runs on through the thread's
  // message loop and ends with a drop or a cancel. Does nothing while
  // another drag runs.
  void BeginDrag(bool Immediate, int Threshold = -1);
  // Ends this control's drag: dropped where the pointer is (when the
  // target there accepts) or cancelled.
  void EndDrag(bool Drop);
  // Whether this control is being dragged (or waits for the threshold).
  bool Dragging() const;
  // The start: fires OnStartDrag (OnStartDock for dkDock); a drag object
  // handed back is used instead of the class library's own.
  virtual void DoStartDrag(TDragObject*& DragObject);
  virtual void DoStartDock(TDragDockObject*& DragObject);
  // The end of a drag of this control: Target is the control that took the
  // drop, null when cancelled or refused; X, Y are Target's client point
  // (this control's when there is no target). Fires OnEndDrag / OnEndDock.
  virtual void DoEndDrag(TObject* Target, int X, int Y);
  virtual void DoEndDock(TObject* Target, int X, int Y);
  // As a target, in client coordinates: DragOver asks (Accept starts false
  // and only OnDragOver sets it), DragDrop takes the drop.
  virtual void DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept);
  virtual void DragDrop(TObject* Source, int X, int Y);
  // The picture shown under the pointer while this control is dragged over
  // controls with csDisplayDragImage (null: none).
  virtual TDragImageList* GetDragImages() { return nullptr; }

  // Events.
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TNotifyEvent OnResize;
  TMouseEvent OnMouseDown;
  // A turn of the mouse wheel towards the user (Down) or away (Up), where
  // OnMouseWheel left it unhandled; MousePos is in screen coordinates.
  TMouseWheelUpDownEvent OnMouseWheelDown;
  TMouseWheelUpDownEvent OnMouseWheelUp;
  TMouseEvent OnMouseUp;
  TMouseMoveEvent OnMouseMove;
  TContextPopupEvent OnContextPopup;
  TCanResizeEvent OnCanResize;
  TStartDragEvent OnStartDrag;
  TStartDockEvent OnStartDock;
  TDragOverEvent OnDragOver;
  TDragDropEvent OnDragDrop;
  TEndDragEvent OnEndDrag;
  TEndDragEvent OnEndDock;

  // Message handling: WndProc dispatches; DefaultHandler is the last stop.
  virtual void WndProc(TMessage& m);
  virtual void DefaultHandler(TMessage& m);

  // Called when the control has been clicked: runs OnClick, or the action
  // when OnClick is the action's own handler or there is none.
  virtual void Click();
  virtual void DblClick();

 protected:
  friend class TWinControl;
  friend class TCustomForm;
  friend class TApplication;
  virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
  virtual void MouseMove(TShiftState shift, int x, int y);
  virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
  virtual void Resize();
  virtual void Changed() {}
  virtual bool CanResize(int& newWidth, int& newHeight);
  virtual void ConstrainedResize(int& w, int& h);
  // Text kept for windowless controls; windowed controls read their window.
  virtual String GetTextImpl() { return text_; }
  virtual void SetTextImpl(const String& s);
  virtual void VisibleChanging() {}
  virtual void FontChanged(TObject*);
  virtual void DoContextPopup(TPoint mousePos, bool& handled);
  // Takes the action's properties; with CheckDefaults only those the
  // control still has at their defaults.
  virtual void ActionChange(TObject* Sender, bool CheckDefaults);
  // The link class of the control (GetActionLinkClass).
  virtual TControlActionLink* CreateActionLink();
  void DoActionChange(TObject* Sender);
  void Loaded() override;
  // Stores the usual properties of a control (bounds, Enabled, Visible,
  // the hint, the text, Color, Font and their Parent flags) where they
  // differ from the ancestor's or, without one, from a new control's.
  void DefineProperties(TFiler* Filer) override;
  // The name the control's text is stored under ("Caption", "Text"); null
  // when the text is not stored with the control.
  virtual const wchar_t* StoredTextName() const { return nullptr; }
  // False for a control whose place and size others decide (a docked
  // window's, its dock): its bounds are not stored.
  virtual bool StoresBounds() const { return true; }
  // The colour used to paint this control's background.
  TColor EffectiveColor() const;
  // Tells each form above the control that the user turned to the sender
  // (a press, a focus change): the control that holds a pop-up open there
  // hears CM_CANCELMODE with the sender in LParam.
  void SendCancelMode(TControl* sender);
  virtual void UpdateBoundsRect(const TRect& r);
  void InvalidateControl(bool isVisible, bool isOpaque);
  // Distances to the parent's client edges, for anchoring.
  void UpdateAnchorRules();

  TWinControl* parent_ = nullptr;
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  TAlign align_ = alNone;
  TAnchors anchors_{akLeft, akTop};
  TRect anchorRules_{};   // left, top, right, bottom distances in the parent
  TSize anchorParentSize_{};  // parent client size when the rules were taken
  bool anchorValid_ = false;
  std::unique_ptr<TSizeConstraints> constraints_;
  std::unique_ptr<TFont> font_;
  bool parentFont_ = true;
  TColor color_ = clWindow;
  bool parentColor_ = false;
  String text_;
  String hint_;
  bool showHint_ = false;
  bool parentShowHint_ = true;
  TBiDiMode biDiMode_ = bdLeftToRight;
  bool parentBiDiMode_ = true;
  TPopupMenu* popupMenu_ = nullptr;
  TCursor cursor_ = crDefault;
  bool mouseInControl_ = false;
  std::unique_ptr<TControlActionLink> actionLink_;
  THelpContext helpContext_ = 0;
  THelpType helpType_ = htContext;
  String helpKeyword_;
  TDragMode dragMode_ = dmManual;
  TDragKind dragKind_ = dkDrag;
  TCursor dragCursor_ = crDrag;
  // While set, a left press does not start the automatic drag (for a
  // control that starts its drags itself and passes the press on).
  bool SuppressAutoDrag = false;
  // CM_DRAG's base handling: the drag messages as DragOver and DragDrop.
  void DoDragMsg(TMessage& m);

 private:
  void HandleMouse(TMessage& m);
  void FontChangedThunk(TObject* s) { FontChanged(s); }
};

// The link of a control to its action: each property is tied while the
// control's value equals the action's.
class TControlActionLink : public TActionLink {
 public:
  explicit TControlActionLink(TControl* AClient) : TActionLink(AClient), client_(AClient) {}
  bool IsCaptionLinked() override;
  bool IsEnabledLinked() override;
  bool IsHintLinked() override;
  bool IsVisibleLinked() override;
  bool IsHelpContextLinked() override;
  bool IsOnExecuteLinked() override;
  void SetHelpContext(THelpContext Value) override;
  void SetCaption(const String& Value) override;
  void SetEnabled(bool Value) override;
  void SetHint(const String& Value) override;
  void SetVisible(bool Value) override;
  void SetOnExecute(const TNotifyEvent& Value) override;

 protected:
  TControl* client_;
};

// ---------------------------------------------------------------------------
// Window creation parameters.
struct TCreateParams {
  String Caption;
  DWORD Style = 0;
  DWORD ExStyle = 0;
  int X = 0, Y = 0, Width = 0, Height = 0;
  HWND WndParent = nullptr;
  void* Param = nullptr;
  WNDCLASSW WindowClass{};
  String WinClassName;  // the name under which our class is registered
  // System class that is superclassed (e.g. L"EDIT"); empty for our own.
  String SubclassName;
};

enum TBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };

class TWinControl : public TControl {
 public:
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  // Creates the window on first use.
  HWND GetHandle();
  HWND Handle() { return GetHandle(); }
  bool HandleAllocated() const { return handle_ != nullptr; }
  void HandleNeeded();
  // A foreign window to live in (no TWinControl parent).
  HWND GetParentWindow() const { return parentWindow_; }
  void SetParentWindow(HWND w);
  // Throws the window away and builds it again, keeping the control's state.
  void RecreateWnd();
  // The control that owns a window, or nullptr.
  static TWinControl* FindControl(HWND wnd);

  int ControlCount() const { return int(controls_.size()); }
  TControl* Controls(int i) const { return controls_[size_t(i)]; }
  TControl* GetControl(int i) const { return controls_[size_t(i)]; }
  void InsertControl(TControl* c);
  void RemoveControl(TControl* c);
  bool ContainsControl(TControl* c) const;
  // The child control under a client point (windowless ones included).
  TControl* ControlAtPos(TPoint p, bool allowDisabled, bool allowWinControls = false);
  // Streaming: after what the base hands, the child controls that Root
  // owns, in order; SetChildOrder moves a child control to that place
  // (stacking order with it).
  void GetChildren(const TGetChildProc& Proc, TComponent* Root) override;
  void SetChildOrder(TComponent* Child, int Order) override;

  int GetTabOrder() const;
  void SetTabOrder(int order);
  bool GetTabStop() const { return tabStop_; }
  void SetTabStop(bool v);
  virtual void SetFocus();
  virtual bool Focused();
  virtual bool CanFocus();
  // Collects focusable children in tab order (depth first).
  // Virtual: a control may leave out children it hides (FindNextControl
  // and SelectNext go through it).
  virtual void GetTabOrderList(std::vector<TWinControl*>& list);
  TWinControl* FindNextControl(TWinControl* cur, bool goForward, bool checkTabStop, bool checkParent);
  void SelectNext(TWinControl* cur, bool goForward, bool checkTabStop);

  // Three-dimensional borders (on by default). SetCtl3D performs
  // CM_CTL3DCHANGED and stops following the parent; a control whose value
  // changes hands it to its children (CM_PARENTCTL3DCHANGED, WParam non-zero,
  // LParam the value), and those following their parent take it.
  bool GetCtl3D() const { return ctl3D_; }
  void SetCtl3D(bool v);
  bool GetParentCtl3D() const { return parentCtl3D_; }
  void SetParentCtl3D(bool v);

  // A plain border of this width inside the window's frame, painted in the
  // control's colour: the client area shrinks by it on every side.
  int GetBorderWidth() const { return borderWidth_; }
  virtual void SetBorderWidth(int Value);

  // Paints through a bitmap (erase and paint shown at once, no flicker).
  bool GetDoubleBuffered() const { return doubleBuffered_; }
  void SetDoubleBuffered(bool v);

  TBrush* Brush() const { return brush_.get(); }
  bool Showing() const override;
  void SetBounds(int l, int t, int w, int h) override;
  TRect GetClientRect() override;
  TPoint GetClientOrigin() override;
  void Invalidate() override;
  void Update() override;
  void SetEnabled(bool v) override;

  void DisableAlign();
  void EnableAlign();
  void Realign();
  bool AlignDisabled() const { return alignLevel_ > 0; }
  void ScaleBy(int m, int d);

  // Painting of windowless children into a context (WM_PAINT).
  void PaintControls(HDC dc, TControl* first);
  void PaintHandler(TMessage& m);

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  TKeyEvent OnKeyDown;
  TKeyEvent OnKeyUp;
  TKeyPressEvent OnKeyPress;
  TMouseWheelEvent OnMouseWheel;

  void WndProc(TMessage& m) override;
  void DefaultHandler(TMessage& m) override;
  // The superclassed (or default) window procedure.
  WNDPROC DefWndProc() const { return defWndProc_; }

  // Lets a key message (WM_KEYDOWN, WM_CHAR...) go through the key events;
  // true when it was consumed.
  bool DoKeyDown(TMessage& m);
  bool DoKeyPress(TMessage& m);
  bool DoKeyUp(TMessage& m);

 protected:
  friend class TControl;
  friend class TApplication;
  friend class TCustomForm;
  // With the control's: TabOrder and TabStop.
  void DefineProperties(TFiler* Filer) override;
  virtual void CreateParams(TCreateParams& params);
  // Sets up superclassing of a system window class for CreateParams.
  void CreateSubClass(TCreateParams& params, const wchar_t* className);
  virtual void CreateWnd();
  virtual void CreateWindowHandle(const TCreateParams& params);
  // Runs Create (which makes this control's window: CreateWindowEx, an MDI
  // client's WM_MDICREATE...) so that the window's first messages already
  // reach this control; answers the window.
  HWND CreateWindowThrough(const std::function<HWND()>& Create);
  virtual void DestroyWnd();
  virtual void DestroyWindowHandle();
  void CreateHandle();
  void DestroyHandle();
  // Hooks for state that lives in the native window across RecreateWnd:
  // SaveWindowState runs before the window goes, RestoreWindowState after
  // the new one is created.
  virtual void SaveWindowState() {}
  virtual void RestoreWindowState() {}

  virtual void AlignControls(TControl* aControl, TRect& r);
  virtual void AdjustClientRect(TRect& r) {}
  void AlignControl(TControl* aControl);
  virtual void DoEnter();
  virtual void DoExit();
  virtual void KeyDown(WORD& key, TShiftState shift);
  virtual void KeyUp(WORD& key, TShiftState shift);
  virtual void KeyPress(wchar_t& key);
  virtual bool DoMouseWheel(TShiftState shift, int delta, TPoint pos);
  virtual bool IsControlMouseMsg(TMessage& m);
  void SetTextImpl(const String& s) override;
  String GetTextImpl() override;
  void FontChanged(TObject*) override;
  virtual void ColorChanged();
  void UpdateControlState();
  void NotifyControls(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);
  void UpdateShowing();
  void BrushChanged(TObject*);
  // Handles WM_CTLCOLORxxx for a child: sets colours and returns the brush.
  LRESULT DoCtlColor(HDC dc);
  // Whether this control wants a message before the dialog-key processing.
  virtual bool WantsKey(UINT vk, TShiftState shift) { return false; }

  HWND handle_ = nullptr;
  HWND parentWindow_ = nullptr;
  WNDPROC defWndProc_ = nullptr;
  std::vector<TControl*> controls_;  // every child (windowed and not)
  std::vector<TWinControl*> tabList_;
  bool tabStop_ = false;
  bool ctl3D_ = true;
  bool parentCtl3D_ = true;
  int borderWidth_ = 0;
  // The part of BorderWidth kept outside the client area (a control that
  // draws its border inside its client area answers 0).
  virtual int NonClientBorderWidth() const { return borderWidth_; }
  // Fills the border of BorderWidth with the control's brush (WM_NCPAINT).
  void PaintBorderWidth();
  bool doubleBuffered_ = false;
  HDC bufferDC_ = nullptr;  // the bitmap being painted while double-buffered
  bool keepWindow_ = false;  // being moved to a parent that has a window
  int alignLevel_ = 0;
  std::unique_ptr<TBrush> brush_;
  TSize lastClientSize_{};

 private:
  friend LRESULT CALLBACK ZembrioInitWndProc(HWND, UINT, WPARAM, LPARAM);
  friend LRESULT CALLBACK ZembrioStdWndProc(HWND, UINT, WPARAM, LPARAM);
  void DoAlign(TAlign a, TControl* aControl, TRect& r);
  void AnchorChildren();
  void WMPaint(TMessage& m);
  bool ReflectNotification(TMessage& m);
  void BrushChangedThunk(TObject* s) { BrushChanged(s); }
};

// A windowed control with a canvas for its own painting.
class TCustomControl : public TWinControl {
 public:
  explicit TCustomControl(TComponent* AOwner);
  ~TCustomControl() override;
  TCanvas* Canvas() const { return canvas_.get(); }
  TCanvas* GetCanvas() const { return canvas_.get(); }
  void WndProc(TMessage& m) override;

 protected:
  friend class TWinControl;
  virtual void Paint();
  void PaintWindow(HDC dc);
  std::unique_ptr<TCanvas> canvas_;
};

// A canvas that draws onto a control: its window's DC for windowed controls,
// the parent's DC clipped to the bounds for windowless ones.
class TControlCanvas : public TCanvas {
 public:
  explicit TControlCanvas(TControl* c) : control_(c) {}
  ~TControlCanvas() override;
  void FreeHandle();
  void UpdateTextFlags() {}

 protected:
  void CreateHandle() override;

 private:
  TControl* control_;
  HDC ownDC_ = nullptr;
  HWND window_ = nullptr;
};

// A windowless control painted by its parent.
class TGraphicControl : public TControl {
 public:
  explicit TGraphicControl(TComponent* AOwner);
  ~TGraphicControl() override;
  TCanvas* Canvas() const { return canvas_.get(); }
  TCanvas* GetCanvas() const { return canvas_.get(); }
  void WndProc(TMessage& m) override;

 protected:
  friend class TWinControl;
  virtual void Paint() {}
  // Whether a client point is over the control.
  bool IsInside(int X, int Y) const { return X >= 0 && Y >= 0 && X < width_ && Y < height_; }
  // A button held down with the mouse: while Tracking, Pressed follows
  // whether the pointer is over it; a change repaints.
  void TrackPress(bool Tracking, bool& Pressed, int X, int Y);
  std::unique_ptr<TCanvas> canvas_;
};

// Erases DC (a context of Control's client area) with Control's parent's
// background: the parent's WM_ERASEBKGND with the origin moved to the
// control's place.
void PerformEraseBackground(TControl* Control, HDC DC);

// Makes sure a set of common-control classes is registered.
void InitCommonControl(DWORD iccClass);

// The module instance the program's windows and resources belong to.
HINSTANCE MainInstance();

// Hands an exception caught in a window or callback procedure to the
// application's handler. Never throws. Call only inside a catch block.
void HandleCallbackException(TObject* sender);
