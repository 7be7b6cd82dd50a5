// Forms, the application object and the screen. Windows only.
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "classlib/Controls.h"
#include "classlib/Menus.h"

class TForm;
class TCustomForm;

// Results of a modal form or a message dialog.
using TModalResult = int;
constexpr TModalResult mrNone = 0;
constexpr TModalResult mrOk = IDOK;          // 1
constexpr TModalResult mrCancel = IDCANCEL;  // 2
constexpr TModalResult mrAbort = IDABORT;    // 3
constexpr TModalResult mrRetry = IDRETRY;    // 4
constexpr TModalResult mrIgnore = IDIGNORE;  // 5
constexpr TModalResult mrYes = IDYES;        // 6
constexpr TModalResult mrNo = IDNO;          // 7
constexpr TModalResult mrAll = mrNo + 1;     // 8
constexpr TModalResult mrNoToAll = mrAll + 1;
constexpr TModalResult mrYesToAll = mrNoToAll + 1;

enum TBorderIcon { biSystemMenu, biMinimize, biMaximize, biHelp };
using TBorderIcons = TSet<TBorderIcon>;

using TFormBorderStyle = TBorderStyle;
enum TPosition {
  poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter,
  poDesktopCenter, poMainFormCenter, poOwnerFormCenter
};
enum TWindowState { wsNormal, wsMinimized, wsMaximized };
enum TFormStyle { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
enum TCloseAction { caNone, caHide, caFree, caMinimize };
// How Tile lays out an MDI form's children: one above the other, or side by side.
enum TTileMode { tbHorizontal, tbVertical };

using TCloseEvent = TEvent<void(TObject* Sender, TCloseAction& Action)>;

// A form's designer: a form being designed holds one, and the components on
// it tell it when they changed something the designer shows or stores.
class IDesigner {
 public:
  virtual ~IDesigner() = default;
  virtual void Modified() = 0;
};
using TCloseQueryEvent = TEvent<void(TObject* Sender, bool& CanClose)>;
using TExceptionEvent = TEvent<void(TObject* Sender, const Exception& E)>;
using TIdleEvent = TEvent<void(TObject* Sender, bool& Done)>;
using TMessageEvent = TEvent<void(MSG& Msg, bool& Handled)>;
using TShowHintEvent = TEvent<void(String& HintStr, bool& CanShow, THintInfo& HintInfo)>;
// Asked for each help request (Command: HELP_CONTEXT, HELP_CONTEXTPOPUP,
// HELP_KEY...; Data: the context, or a pointer to the keyword). Clear
// CallHelp when the request was answered; the result is the request's.
using THelpEvent = TEvent<bool(WORD Command, intptr_t Data, bool& CallHelp)>;

// A top-level window.
// ---------------------------------------------------------------------------
// A windowed control that scrolls its children: with AutoScroll the bars'
// ranges follow the children's extent, and scrolling moves the children.
class TScrollingWinControl;

class TControlScrollBar {
 public:
  enum TScrollBarKind { sbHorizontal, sbVertical };
  TControlScrollBar(TScrollingWinControl* Control, TScrollBarKind Kind) : control_(Control), kind_(Kind) {}
  TScrollBarKind GetKind() const { return kind_; }
  int GetPosition() const { return position_; }
  void SetPosition(int Value);
  // The scrolled extent (the children's, with AutoScroll).
  int GetRange() const { return range_; }
  void SetRange(int Value);
  int GetIncrement() const { return increment_; }
  void SetIncrement(int Value) { increment_ = std::max(1, Value); }
  bool GetVisible() const { return visible_; }
  void SetVisible(bool Value);
  // Whether the bar shows now (visible and the range beyond the client).
  bool IsScrollBarVisible() const;

 private:
  friend class TScrollingWinControl;
  int ClientSize() const;
  TScrollingWinControl* control_;
  TScrollBarKind kind_;
  int position_ = 0, range_ = 0, increment_ = 8;
  bool visible_ = true;
};

class TScrollingWinControl : public TWinControl {
 public:
  explicit TScrollingWinControl(TComponent* AOwner);
  ~TScrollingWinControl() override;
  TControlScrollBar* HorzScrollBar() const { return horz_.get(); }
  TControlScrollBar* VertScrollBar() const { return vert_.get(); }
  bool GetAutoScroll() const { return autoScroll_; }
  void SetAutoScroll(bool Value);
  // Scrolls so that the control (a child, at any depth) is in view.
  void ScrollInView(TControl* AControl);
  void WndProc(TMessage& m) override;

 protected:
  friend class TControlScrollBar;
  void AlignControls(TControl* aControl, TRect& r) override;
  void CreateWnd() override;
  void UpdateScrollBars();
  // Moves the children by the scroll positions' change.
  void ScrollTo(TControlScrollBar* Bar, int Position);

 private:
  void ScrollMessage(TControlScrollBar* Bar, WORD Code);
  std::unique_ptr<TControlScrollBar> horz_, vert_;
  bool autoScroll_ = true;
  bool updating_ = false;
};

class TScrollBox : public TScrollingWinControl {
 public:
  const char* ClassName() const override { return "TScrollBox"; }
  explicit TScrollBox(TComponent* AOwner);
  TBorderStyle GetBorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TBorderStyle Value);

 protected:
  void CreateParams(TCreateParams& p) override;

 private:
  TBorderStyle borderStyle_ = bsSingle;
};

class TCustomForm : public TWinControl {
 protected:
  const wchar_t* StoredTextName() const override { return L"Caption"; }

 public:
  explicit TCustomForm(TComponent* AOwner);
  ~TCustomForm() override;

  TFormBorderStyle GetBorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TFormBorderStyle s);
  TBorderIcons GetBorderIcons() const { return borderIcons_; }
  void SetBorderIcons(TBorderIcons b);
  // A form laid out at PixelsPerInch (96 unless set) and Scaled is scaled
  // to the screen's dots per inch when its window is first made: its
  // client size and every control's place and size (ScaleBy).
  bool GetScaled() const { return scaled_; }
  void SetScaled(bool Value) { scaled_ = Value; }
  int GetPixelsPerInch() const { return pixelsPerInch_; }
  void SetPixelsPerInch(int Value) { pixelsPerInch_ = Value; }
  TPosition GetPosition() const { return position_; }
  void SetPosition(TPosition p) { position_ = p; }
  TWindowState GetWindowState();
  void SetWindowState(TWindowState s);
  TFormStyle GetFormStyle() const { return formStyle_; }
  void SetFormStyle(TFormStyle s);

  // MDI. An fsMDIForm holds its children in an MDI client window (the
  // client area its aligned controls leave); an fsMDIChild is made inside
  // the application's main form, which must be an fsMDIForm with a window.
  HWND ClientHandle() const { return clientHandle_; }
  // The children in the client's order (z-order: the active one first).
  int MDIChildCount() const;
  TCustomForm* MDIChildren(int I) const;
  TCustomForm* ActiveMDIChild() const;
  void Cascade();
  void Tile();
  void ArrangeIcons();
  // Activates the next (previous) child.
  void Next();
  void Previous();
  TTileMode GetTileMode() const { return tileMode_; }
  void SetTileMode(TTileMode Value) { tileMode_ = Value; }

  void Show();
  void Hide();
  // Asks OnCloseQuery, then runs OnClose; hides (or ends the modal loop).
  void Close();
  bool CloseQuery();
  // Runs a modal loop until ModalResult is set; returns it.
  virtual TModalResult ShowModal();
  TModalResult GetModalResult() const { return modalResult_; }
  void SetModalResult(TModalResult r) { modalResult_ = r; }
  bool IsModal() const { return modal_; }
  // Posts a message that frees the form later (safe inside its own events).
  void Release();

  TWinControl* GetActiveControl() const { return activeControl_; }
  void SetActiveControl(TWinControl* c);
  // Moves the focus to a control of the form (also while the form is hidden).
  void FocusControl(TWinControl* c);
  bool GetKeyPreview() const { return keyPreview_; }
  void SetKeyPreview(bool v) { keyPreview_ = v; }
  bool GetActive() const { return active_; }
  void SetFocus() override;
  bool CanFocus() override { return Showing() && GetEnabled(); }
  bool Showing() const override { return visible_; }
  TRect GetClientRect() override;

  TIcon* Icon() const { return icon_.get(); }
  // The designer of a form being designed (not owned; none at run time).
  IDesigner* GetDesigner() const { return designer_; }
  void SetDesigner(IDesigner* Value) { designer_ = Value; }
  // The menu bar. Its commands (WM_COMMAND) and the opening of its
  // sub-menus (WM_INITMENUPOPUP) reach its items; its shortcuts work while
  // the form has the focus.
  TMainMenu* GetMenu() const { return menu_; }
  void SetMenu(TMainMenu* Value);
  // A key down (CN_KEYDOWN: virtual key, key data) that is the shortcut of
  // an item of the menu runs that item; true when it did.
  virtual bool IsShortCut(TMessage& Message);
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // Runs the form's dialog key handling (Enter/Esc to default/cancel,
  // Tab to the next control). True when it consumed the key.
  bool DialogKey(WORD key, TShiftState shift);
  void SetDefaultButton(TWinControl* c) { defaultButton_ = c; }
  void SetCancelButton(TWinControl* c) { cancelButton_ = c; }
  TWinControl* GetDefaultButton() const { return defaultButton_; }
  TWinControl* GetCancelButton() const { return cancelButton_; }

  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;
  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;
  TEvent<void(TObject* Sender, bool& Resize)> OnPaint;

  void WndProc(TMessage& m) override;
  // An MDI form's default is the frame's procedure, an MDI child's the
  // child's.
  void DefaultHandler(TMessage& m) override;
  // Called by controls when they receive and lose the focus.
  void ActiveControlChanged(TWinControl* c);
  // The user turned to Sender (pressed it, or it takes the focus): the
  // focused control of an active form, unless it is the sender, hears
  // CM_CANCELMODE and closes what it holds open; an MDI frame passes it on
  // to its active child.
  void SendCancelMode(TControl* Sender);
  // Runs OnCreate once (call after the form's controls are set up).
  void DoCreate();
  // Runs OnDestroy once. The base destructor calls it, but by then the
  // derived form's members are gone: a derived form whose OnDestroy handler
  // needs them calls DoDestroy (and DestroyComponents, when its controls'
  // handlers need them too) at the start of its own destructor.
  void DoDestroy();
  // Forgets a control that is going away.
  void ControlDestroyed(TWinControl* c);
  // Updates the actions of the form and of its visible controls (their
  // InitiateAction); the application calls it when idle.
  virtual void UpdateActions();
  // Key preview: the form's key events see a key before the control does.
  bool KeyPreviewDown(WORD& key, TShiftState shift);
  void KeyPress(wchar_t& key) override { TWinControl::KeyPress(key); }
  void KeyUp(WORD& key, TShiftState shift) override { TWinControl::KeyUp(key, shift); }
  void KeyDown(WORD& key, TShiftState shift) override { TWinControl::KeyDown(key, shift); }

 protected:
  void CreateParams(TCreateParams& params) override;
  void CreateWnd() override;
  void DestroyWindowHandle() override;
  void CreateWindowHandle(const TCreateParams& params) override;
  void AlignControls(TControl* aControl, TRect& r) override;
  // A shown form whose window is made again (a border change) shows the new
  // one in the same state, active again when the old one was.
  void SaveWindowState() override;
  void RestoreWindowState() override;
  virtual void DoShow();
  virtual void DoHide();
  virtual void DoClose(TCloseAction& action);
  virtual void Activate();
  virtual void Deactivate();
  void SetVisibleImpl(bool v);
  void ApplyPosition();
  // F1: the help topic of the focused control (or its nearest parent with
  // one); a form with biHelp shows it as a pop-up (HELP_CONTEXTPOPUP).
  void WMHelp(TMessage& m);
  // A sub-menu opens: the menu's item hears of it (not for the system menu).
  virtual void WMInitMenuPopup(TMessage& m);

  TFormBorderStyle borderStyle_ = bsSizeable;
  TBorderIcons borderIcons_{biSystemMenu, biMinimize, biMaximize};
  TPosition position_ = poDesigned;
  TWindowState windowState_ = wsNormal;
  bool wasActive_ = false;
  bool scaled_ = true;
  int pixelsPerInch_ = 96;
  bool scaleDone_ = false;  // scaled (or found right) with the first window
  TFormStyle formStyle_ = fsNormal;
  TModalResult modalResult_ = mrNone;
  bool modal_ = false;
  bool keyPreview_ = false;
  bool active_ = false;
  bool created_ = false;
  bool destroyed_ = false;
  bool positioned_ = false;
  bool inShow_ = false;  // OnShow runs, before the show's own ShowWindow
  bool defaultPlaced_ = false;
  TWinControl* activeControl_ = nullptr;
  TWinControl* defaultButton_ = nullptr;
  TWinControl* cancelButton_ = nullptr;
  TWinControl* focusedControl_ = nullptr;
  std::unique_ptr<TIcon> icon_;
  TMainMenu* menu_ = nullptr;
  HWND clientHandle_ = nullptr;
  TTileMode tileMode_ = tbHorizontal;
  IDesigner* designer_ = nullptr;

 protected:
  // Its own stored properties and events, after its base's.
  void DefineProperties(TFiler* Filer) override;
};

class TForm : public TCustomForm {
 public:
  explicit TForm(TComponent* AOwner);
};

// A non-visual container of components (the program's data modules),
// owned by the application like its forms.
class TDataModule : public TComponent {
 public:
  // The screen lists every data module from its creation to its
  // destruction (so references to its components can be found by name).
  explicit TDataModule(TComponent* AOwner);
  // Runs OnDestroy unless DoDestroy ran already (a derived module whose
  // handler needs its own members calls it first in its destructor).
  ~TDataModule() override;
  const char* ClassName() const override { return "TDataModule"; }
  // Run OnCreate / OnDestroy once each.
  void DoCreate() {
    if (created_) return;
    created_ = true;
    if (OnCreate) OnCreate(this);
  }
  void DoDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    if (OnDestroy) OnDestroy(this);
  }
  TNotifyEvent OnCreate;
  TNotifyEvent OnDestroy;

 private:
  bool created_ = false;
  bool destroyed_ = false;

 protected:
  // Its own stored properties and events, after its base's.
  void DefineProperties(TFiler* Filer) override;
};

// ---------------------------------------------------------------------------
// Hint window: a small pop-up showing a control's Hint.
class THintWindow : public TCustomControl {
 public:
  explicit THintWindow(TComponent* AOwner);
  void ActivateHint(TRect r, const String& hint);
  void ReleaseHandleHidden();
  TRect CalcHintRect(int maxWidth, const String& hint);

 protected:
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
};

// A hook that sees each message before it is dispatched; returning true
// consumes the message.
using TApplicationHook = std::function<bool(MSG& msg)>;
// A hook on the application window's messages (CM_APPKEYDOWN,
// CM_APPSYSCOMMAND...); returning true means handled.
using TWindowHook = TEvent<bool(TMessage& Message)>;

class TApplication : public TComponent {
 public:
  explicit TApplication(TComponent* AOwner);
  ~TApplication() override;

  void Initialize();
  // Creates a form of the given class owned by the application (the first
  // one becomes the main form). Same as new T(Application) + registration.
  template <class T>
  T* CreateForm() {
    T* f = new T(this);
    FormCreated(f);
    return f;
  }
  void FormCreated(TCustomForm* f);
  void Run();
  void Terminate();
  bool Terminated() const { return terminated_; }
  void ProcessMessages();
  void HandleMessage();
  // One message from the queue; false when there was none.
  bool ProcessMessage(MSG& msg);
  // Dispatches a message like the loop does (hooks, dialog keys...).
  void DispatchOne(MSG& msg);

  // Call from a catch block: hands the current exception to OnException or
  // ShowException. EAbort is silent.
  void HandleException(TObject* sender);
  // The same for an exception object (the core's callback hook uses it).
  void HandleExceptionObject(TObject* sender, const Exception& e);
  // Shows an exception's message; through ShowExceptionHook when set.
  void ShowException(const Exception& e);
  // Replaces the message box of ShowException (tests observe it here).
  std::function<void(const String& message, const String& title)> ShowExceptionHook;

  TCustomForm* MainForm() const { return mainForm_; }
  TCustomForm* GetMainForm() const { return mainForm_; }
  HWND Handle();
  HWND GetHandle() { return Handle(); }
  const String& GetTitle() const { return title_; }
  void SetTitle(const String& t);
  // Message box owned by the active form.
  int MessageBox(const String& text, const String& caption, UINT flags);
  bool GetShowMainForm() const { return showMainForm_; }
  void SetShowMainForm(bool v) { showMainForm_ = v; }
  String ExeName() const;

  // Hooks that see each message first.
  void HookMainWindow(const TWindowHook& hook);    // messages of the app window
  void UnhookMainWindow(const TWindowHook& hook);
  // Sends a message to the application window's handling (hooks first);
  // true when the answer is non-zero.
  bool HandleNeededAndSend(TMessage& m);
  // Offers a key message to the shortcut hooks (CM_APPKEYDOWN); true when
  // one of them took it.
  bool IsShortCut(TMessage& keyMsg);
  int AddMessageHook(TApplicationHook hook);       // returns an id
  void RemoveMessageHook(int id);

  // Hints.
  const String& GetHint() const { return hint_; }
  void SetHint(const String& h);
  bool GetShowHint() const { return showHint_; }
  void SetShowHint(bool v);
  int HintPause = 500;
  int HintShortPause = 50;
  int HintHidePause = 2500;
  TColor HintColor = clInfoBk;
  void CancelHint();
  // Forgets a control that is going away.
  void CancelHintFor(TControl* c);
  // Shows the hint of the hint control for the pointer at cursorPos (screen
  // coordinates); CM_HINTSHOW gets the place in the control's client
  // coordinates and may narrow CursorRect, the stretch over which this hint
  // holds.
  void ActivateHint(TPoint cursorPos);
  // A control's hint changed: when the pointer is over it, the application
  // takes the new hint and its pause starts again (one control with many
  // parts, such as a toolbar, gives each part's hint this way).
  void HintChanged(TControl* c);
  THintWindow* GetHintWindow() const { return hintWindow_; }
  // A mouse message (client coordinates of Control) that the caller keeps
  // from the queue, e.g. a modal menu loop's: hints and CM_MOUSEENTER /
  // CM_MOUSELEAVE follow it as they follow the queue's.
  void HintMouseMessage(TControl* Control, TMessage& Message);
  // Whether hints carry their shortcut's text ("Open (Ctrl+O)").
  bool GetHintShortCuts() const { return hintShortCuts_; }
  void SetHintShortCuts(bool v) { hintShortCuts_ = v; }

  // Help. HelpCommand asks OnHelp, then (unless it cleared CallHelp) the
  // help handler, the program's help viewer; false when nobody answered.
  bool HelpCommand(WORD Command, intptr_t Data);
  // HELP_CONTEXT with the context.
  bool HelpContext(THelpContext Context);
  // HELP_KEY with a pointer to the keyword (a wide string).
  bool HelpKeyword(const String& Keyword);
  const String& GetHelpFile() const { return helpFile_; }
  void SetHelpFile(const String& Value) { helpFile_ = Value; }
  THelpEvent OnHelp;
  std::function<bool(WORD Command, intptr_t Data)> HelpHandler;

  TExceptionEvent OnException;
  TIdleEvent OnIdle;
  TMessageEvent OnMessage;
  TNotifyEvent OnHint;
  TShowHintEvent OnShowHint;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;

  // Modal stack bookkeeping (used by ShowModal).
  void ModalStarted() { ++modalLevel_; }
  void ModalFinished() { --modalLevel_; }
  int ModalLevel() const { return modalLevel_; }

  // Runs OnIdle when the queue is empty (internal).
  void Idle(const MSG& msg);
  // Updates the actions of every visible, enabled form (idle time).
  void DoActionIdle();

  // Actions looking for a handler: OnActionExecute / OnActionUpdate.
  bool ExecuteAction(TBasicAction* Action) override;
  bool UpdateAction(TBasicAction* Action) override;
  // Offers an action to its targets: the focused control and its parents
  // up to their form, then the form's other visible controls. True when
  // one of them ran (updated) it.
  bool DispatchAction(TBasicAction* Action, bool Execute);
  TActionEvent OnActionExecute;
  TActionEvent OnActionUpdate;
  // Called by forms as they die.
  void FormDestroyed(TCustomForm* f);

 private:
  void DoHandle(TObject* sender, const Exception& e);
  bool IsKeyMsg(MSG& msg);
  bool IsHintMsg(MSG& msg);
  bool IsDlgMsg(MSG& msg);
  // The MDI keys (Ctrl+F4, Ctrl+F6...) of the main form's children.
  bool IsMDIMsg(MSG& msg);
  void DoMouseIdle();
  void MouseOver(TControl* c, TPoint screenPos);
  void RestartHint(TControl* c);
  void AppWndProc(TMessage& m);
  static LRESULT CALLBACK AppWindowProc(HWND, UINT, WPARAM, LPARAM);
  void HintTimerExpired();
  void StartHintTimer(int delay, int kind);
  void StopHintTimer();

  HWND handle_ = nullptr;
  TCustomForm* mainForm_ = nullptr;
  bool terminated_ = false;
  bool running_ = false;
  bool showMainForm_ = true;
  String title_ = L"Zembrio";
  String helpFile_;
  String hint_;
  bool showHint_ = true;
  bool hintShortCuts_ = true;
  int modalLevel_ = 0;
  std::vector<TWindowHook> windowHooks_;
  std::vector<std::pair<int, TApplicationHook>> messageHooks_;
  int nextHookId_ = 1;
  THintWindow* hintWindow_ = nullptr;
  TControl* hintControl_ = nullptr;
  TControl* mouseControl_ = nullptr;
  bool hintActive_ = false;
  // The shown (or refused) hint's CursorRect in screen coordinates: leaving
  // it starts the hint again.
  TRect hintCursorRect_{};
  bool hintRectValid_ = false;
  // The pending pause follows a shown hint: the next one shows sooner.
  bool hintReshow_ = false;
  UINT_PTR hintTimer_ = 0;
  int hintTimerKind_ = 0;
  bool inException_ = false;
};

// A monitor's geometry.
struct TMonitorInfo {
  HMONITOR Handle;
  TRect BoundsRect;
  TRect WorkareaRect;
  bool Primary;
};

class TScreen : public TComponent {
 public:
  explicit TScreen(TComponent* AOwner);
  ~TScreen() override;

  // The cursor shown over the whole application (crDefault: each control's).
  TCursor GetCursor() const { return cursor_; }
  void SetCursor(TCursor c);
  HCURSOR Cursors(TCursor c);
  void SetCursors(TCursor c, HCURSOR h);

  TCustomForm* GetActiveForm() const { return activeForm_; }
  TWinControl* GetActiveControl() const { return activeControl_; }
  int FormCount() const { return int(forms_.size()); }
  TCustomForm* Forms(int i) const { return forms_[size_t(i)]; }
  int DataModuleCount() const { return int(dataModules_.size()); }
  TDataModule* DataModules(int i) const { return dataModules_[size_t(i)]; }

  TFont* IconFont();       // the icon-title font
  TFont* HintFont();
  TFont* MenuFont();
  int GetWidth() const;
  int GetHeight() const;
  // The screen's dots per inch (the system's, unless set: a seam for tests
  // and for a program that wants to lay out for another screen; 0 resets).
  int PixelsPerInch() const;
  int GetPixelsPerInch() const { return PixelsPerInch(); }
  void SetPixelsPerInch(int Value) { pixelsPerInch_ = Value; }
  int MonitorCount();
  TMonitorInfo Monitors(int i);
  TRect GetWorkAreaRect() const;  // of the primary monitor
  TRect GetDesktopRect() const;
  // The work area of the monitor nearest a rectangle.
  TRect WorkAreaOf(const TRect& r) const;

  // Internal bookkeeping.
  void AddForm(TCustomForm* f);
  void RemoveForm(TCustomForm* f);
  void AddDataModule(TDataModule* d) { dataModules_.push_back(d); }
  void RemoveDataModule(TDataModule* d);
  void SetActiveForm(TCustomForm* f);
  void SetActiveControl(TWinControl* c) { activeControl_ = c; }
  TNotifyEvent OnActiveFormChange;
  TNotifyEvent OnActiveControlChange;

 private:
  int pixelsPerInch_ = 0;
  TCursor cursor_ = crDefault;
  std::vector<std::pair<TCursor, HCURSOR>> cursors_;
  std::vector<TCustomForm*> forms_;
  std::vector<TDataModule*> dataModules_;
  TCustomForm* activeForm_ = nullptr;
  TWinControl* activeControl_ = nullptr;
  std::unique_ptr<TFont> iconFont_, hintFont_, menuFont_;
  std::vector<TMonitorInfo> monitors_;
};

extern TApplication* Application;
extern TScreen* Screen;

// Creates the Application and Screen objects (idempotent; the module
// start-up calls it, tests may call it directly).
void InitForms();
void DoneForms();

// The form that holds a control.
TCustomForm* GetParentForm(TControl* c);
// Tells the designer of a designed control's form that the control changed;
// does nothing at run time, while the control is being destroyed, or when
// its form has no designer.
void NotifyDesigner(TControl* c);
