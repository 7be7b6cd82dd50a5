#include "ThemeManager/ThemeMgr.h"

#include <algorithm>
#include <commctrl.h>
#include <mutex>

#include "classlib/Buttons.h"
#include "classlib/Filer.h"
#include "classlib/PropFiler.h"
#include "classlib/CheckLst.h"
#include "classlib/ComCtrls.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Grids.h"
#include "classlib/StdCtrls.h"
#include "classlib/ToolWin.h"

namespace {

// The system's critical section: one thread at a time, re-entrant for the
// thread that holds it.
class TCriticalSection {
 public:
  TCriticalSection() { ::InitializeCriticalSection(&cs_); }
  ~TCriticalSection() { ::DeleteCriticalSection(&cs_); }
  TCriticalSection(const TCriticalSection&) = delete;
  TCriticalSection& operator=(const TCriticalSection&) = delete;
  void Enter() { ::EnterCriticalSection(&cs_); }
  void Leave() { ::LeaveCriticalSection(&cs_); }
  // For std::lock_guard.
  void lock() { Enter(); }
  void unlock() { Leave(); }

 private:
  CRITICAL_SECTION cs_;
};

// Made at start-up and never destroyed: the finalizers at program end still
// take it.
TCriticalSection& Lock() {
  static auto* cs = new TCriticalSection;
  return *cs;
}
TCriticalSection& lockAtStartUp_ = Lock();
TThemeManager* mainManager_ = nullptr;
int subclassCount_ = 0;

bool ThemesEnabled() { return ThemeServices()->ThemesEnabled(); }

TThemeOption OptionFor(TSubclassKind k) {
  switch (k) {
    case skPanel: return toSubclassPanel;
    case skListView: return toSubclassListView;
    case skTabSheet: return toSubclassTabSheet;
    case skWinControl: return toSubclassWinControl;
    case skGroupBox: return toSubclassGroupBox;
    case skButton: return toSubclassButtons;
    case skSpeedButton: return toSubclassSpeedButtons;
    case skTrackBar: return toSubclassTrackBar;
    case skAnimate: return toSubclassAnimate;
    case skStatusBar: return toSubclassStatusBar;
    case skCheckListBox: return toSubclassCheckListbox;
    case skForm: break;
  }
  return toAllowControls;  // forms need no option
}

bool RightToLeftReading(TControl* Control) {
  auto* w = dynamic_cast<TWinControl*>(Control);
  return w && w->HandleAllocated() && (::GetWindowLongW(w->GetHandle(), GWL_EXSTYLE) & WS_EX_RTLREADING);
}

// Right-to-left reading by the control's own reading order or by its window.
bool ReadsRightToLeft(TControl* Control) { return Control->UseRightToLeftReading() || RightToLeftReading(Control); }

void Frame3D(HDC dc, TRect& r, TColor topLeft, TColor bottomRight, int width) {
  HBRUSH tl = ::CreateSolidBrush(ColorToRef(topLeft));
  HBRUSH br = ::CreateSolidBrush(ColorToRef(bottomRight));
  for (int i = 0; i < width; ++i) {
    RECT top{r.left, r.top, r.right - 1, r.top + 1}, left{r.left, r.top, r.left + 1, r.bottom - 1};
    RECT bottom{r.left, r.bottom - 1, r.right, r.bottom}, right{r.right - 1, r.top, r.right, r.bottom};
    ::FillRect(dc, &top, tl);
    ::FillRect(dc, &left, tl);
    ::FillRect(dc, &bottom, br);
    ::FillRect(dc, &right, br);
    r = TRect(r.left + 1, r.top + 1, r.right - 1, r.bottom - 1);
  }
  ::DeleteObject(tl);
  ::DeleteObject(br);
}

}  // namespace

// ---------------------------------------------------------------------------
// TWindowProcList

TWindowProcList::TWindowProcList(TThemeManager* Manager, TSubclassKind Kind, TPreProc Proc)
    : manager_(Manager), kind_(Kind), proc_(Proc) {}

TWindowProcList::~TWindowProcList() { Clear(); }

bool TWindowProcList::Accepts(TControl* Control) const {
  switch (kind_) {
    case skPanel: return dynamic_cast<TCustomPanel*>(Control) != nullptr;
    case skListView: return dynamic_cast<TCustomListView*>(Control) != nullptr;
    case skTabSheet: return dynamic_cast<TTabSheet*>(Control) != nullptr;
    case skWinControl: return dynamic_cast<TWinControl*>(Control) != nullptr;
    case skGroupBox: return dynamic_cast<TCustomGroupBox*>(Control) != nullptr;
    case skButton: return dynamic_cast<TButtonControl*>(Control) != nullptr;
    case skSpeedButton: return dynamic_cast<TSpeedButton*>(Control) != nullptr;
    case skTrackBar: return dynamic_cast<TTrackBar*>(Control) != nullptr;
    case skAnimate: return dynamic_cast<TAnimate*>(Control) != nullptr;
    case skStatusBar: return dynamic_cast<TStatusBar*>(Control) != nullptr;
    case skCheckListBox: return dynamic_cast<TCheckListBox*>(Control) != nullptr;
    case skForm: return dynamic_cast<TCustomForm*>(Control) != nullptr;
  }
  return false;
}

int TWindowProcList::Add(TControl* Control) {
  int index;
  if (!Control || !Accepts(Control) || Find(Control, index)) return -1;
  {
    std::lock_guard<TCriticalSection> g(Lock());
    ++subclassCount_;
  }
  auto link = std::make_shared<Link>();
  link->OldProc = Control->WindowProc;
  entries_.push_back({Control, link});
  TPreProc p = proc_;
  // Let go of by a manager that could not put the previous procedure back
  // (the control was being freed), it passes everything on to that one.
  Control->WindowProc = TWndMethod([p, Control, link](TMessage& msg) {
    if (link->Released) link->OldProc(msg);
    else p(Control, msg);
  });
  // Freeing the control tells the manager, wherever the control lives.
  Control->FreeNotification(manager_);
  sorted_ = entries_.size() < 2;
  cacheControl_ = nullptr;
  return int(entries_.size()) - 1;
}

void TWindowProcList::Sort() {
  std::sort(entries_.begin(), entries_.end(),
            [](const Entry& a, const Entry& b) { return std::less<TControl*>()(a.Control, b.Control); });
  sorted_ = true;
  cacheControl_ = nullptr;
}

bool TWindowProcList::Find(TControl* Control, int& Index) {
  if (Control && Control == cacheControl_) {
    Index = cacheIndex_;
    return true;
  }
  if (!sorted_) Sort();
  auto it = std::lower_bound(entries_.begin(), entries_.end(), Control, [](const Entry& e, TControl* c) {
    return std::less<TControl*>()(e.Control, c);
  });
  Index = int(it - entries_.begin());
  if (it != entries_.end() && it->Control == Control) {
    cacheControl_ = Control;
    cacheIndex_ = Index;
    return true;
  }
  return false;
}

void TWindowProcList::Remove(TControl* Control) {
  int index;
  if (Find(Control, index)) {
    std::shared_ptr<Link> link = entries_[size_t(index)].Subclass;
    entries_.erase(entries_.begin() + index);
    cacheControl_ = nullptr;
    link->Released = true;
    Control->WindowProc = link->OldProc;
    if (auto* w = dynamic_cast<TWinControl*>(Control)) manager_->RemoveChildSubclassing(w);
    std::lock_guard<TCriticalSection> g(Lock());
    --subclassCount_;
  }
  if (TThemeManager* m = TThemeManager::CurrentThemeManager()) m->RemoveRecreationCandidate(Control);
  manager_->RemoveRecreationCandidate(Control);
}

void TWindowProcList::Forget(TControl* Control) {
  int index;
  if (Find(Control, index)) {
    entries_[size_t(index)].Subclass->Released = true;
    entries_.erase(entries_.begin() + index);
    cacheControl_ = nullptr;
    std::lock_guard<TCriticalSection> g(Lock());
    --subclassCount_;
  }
}

void TWindowProcList::Clear() {
  while (!entries_.empty()) {
    TControl* c = entries_.front().Control;
    if (c->IsDestroying()) Forget(c);  // no longer whole: leave it alone
    else Remove(c);
  }
}

void TWindowProcList::DispatchMessage(TControl* Control, TMessage& Message) {
  int index;
  if (!Find(Control, index)) throw EThemeManagerError(L"Control reference not found.");
  TWndMethod old = entries_[size_t(index)].Subclass->OldProc;  // a copy: the entry may go while it runs
  old(Message);
  if (Message.Msg == WM_DESTROY && Control->IsDestroying()) Remove(Control);
  else if (Message.Msg == CM_RECREATEWND) {
    if (TThemeManager* m = TThemeManager::CurrentThemeManager()) m->AddRecreationCandidate(Control);
  }
}

// ---------------------------------------------------------------------------
// TThemeManager: life and hand-over

TThemeManager::TThemeManager(TComponent* AOwner) : TComponent(AOwner) {
  lists_[skPanel].reset(new TWindowProcList(this, skPanel, &PrePanelWindowProc));
  lists_[skListView].reset(new TWindowProcList(this, skListView, &PreListviewWindowProc));
  lists_[skTabSheet].reset(new TWindowProcList(this, skTabSheet, &PreTabSheetWindowProc));
  lists_[skWinControl].reset(new TWindowProcList(this, skWinControl, &PreWinControlWindowProc));
  lists_[skGroupBox].reset(new TWindowProcList(this, skGroupBox, &PreGroupBoxWindowProc));
  lists_[skButton].reset(new TWindowProcList(this, skButton, &PreButtonControlWindowProc));
  lists_[skSpeedButton].reset(new TWindowProcList(this, skSpeedButton, &PreSpeedButtonWindowProc));
  lists_[skTrackBar].reset(new TWindowProcList(this, skTrackBar, &PreTrackBarWindowProc));
  lists_[skAnimate].reset(new TWindowProcList(this, skAnimate, &PreAnimateWindowProc));
  lists_[skStatusBar].reset(new TWindowProcList(this, skStatusBar, &PreStatusBarWindowProc));
  lists_[skCheckListBox].reset(new TWindowProcList(this, skCheckListBox, &PreCheckListBoxWindowProc));
  lists_[skForm].reset(new TWindowProcList(this, skForm, &PreFormWindowProc));
  // A manager on a form being designed only keeps the form's options: it
  // neither watches the application nor takes part in the subclassing.
  if (IsDesigning()) {
    subManager_ = true;
    return;
  }
  if (Application) {
    Application->HookMainWindow(TWindowHook(this, &TThemeManager::MainWindowHook));
    hooked_ = true;
  }
  std::lock_guard<TCriticalSection> g(Lock());
  if (mainManager_) {
    subManager_ = true;
    options_ = mainManager_->options_;
  } else {
    mainManager_ = this;
  }
}

TThemeManager::~TThemeManager() {
  formsWaiting_.clear();
  recreation_.clear();
  // Unsubclass everything while every list is still there (removing a
  // windowed control looks up its children's lists).
  ClearLists();
  for (auto& l : lists_) l.reset();
  if (hooked_ && Application) Application->UnhookMainWindow(TWindowHook(this, &TThemeManager::MainWindowHook));
  bool wasMain = false;
  {
    std::lock_guard<TCriticalSection> g(Lock());
    if (mainManager_ == this) {
      mainManager_ = nullptr;
      wasMain = true;
    }
  }
  // A designed manager that was made main lets go of that (nothing may
  // keep pointing at it) but hands nothing over.
  if (wasMain && Application && !IsDesigning()) {
    HWND h = Application->Handle();
    if (h && ::IsWindow(h)) ::SendMessageW(h, WM_MAINMANAGERRELEASED, 0, 0);
  }
}

TThemeManager* TThemeManager::CurrentThemeManager() {
  std::lock_guard<TCriticalSection> g(Lock());
  return mainManager_;
}

namespace {
TThemeManager* MainManagerOrFail() {
  TThemeManager* m = TThemeManager::CurrentThemeManager();
  if (!m) throw EThemeManagerError(L"Assertion failure");
  return m;
}

TSize MeasureCheckBoxes() {
  // The system's check-box strip (OBM_CHECKBOXES) holds 4 x 3 images.
  const WORD kCheckBoxes = 32759;
  TSize size{13, 13};
  if (HBITMAP b = ::LoadBitmapW(nullptr, MAKEINTRESOURCEW(kCheckBoxes))) {
    BITMAP info{};
    if (::GetObjectW(b, sizeof(info), &info)) size = {info.bmWidth / 4, info.bmHeight / 3};
    ::DeleteObject(b);
  }
  return size;
}
const TSize checkBoxSize_ = MeasureCheckBoxes();
}  // namespace

TSize TThemeManager::CheckBoxSize() { return checkBoxSize_; }

#define ZEMBRIO_PRE_WINDOW_PROC(Name)                                          \
  void TThemeManager::Pre##Name(TControl* Control, TMessage& Message) {      \
    MainManagerOrFail()->Name(Control, Message);                             \
  }
ZEMBRIO_PRE_WINDOW_PROC(AnimateWindowProc)
ZEMBRIO_PRE_WINDOW_PROC(ButtonControlWindowProc)
ZEMBRIO_PRE_WINDOW_PROC(CheckListBoxWindowProc)
ZEMBRIO_PRE_WINDOW_PROC(FormWindowProc)
ZEMBRIO_PRE_WINDOW_PROC(GroupBoxWindowProc)
ZEMBRIO_PRE_WINDOW_PROC(ListviewWindowProc)
ZEMBRIO_PRE_WINDOW_PROC(PanelWindowProc)
ZEMBRIO_PRE_WINDOW_PROC(StatusBarWindowProc)
ZEMBRIO_PRE_WINDOW_PROC(SpeedButtonWindowProc)
ZEMBRIO_PRE_WINDOW_PROC(TabSheetWindowProc)
ZEMBRIO_PRE_WINDOW_PROC(TrackBarWindowProc)
ZEMBRIO_PRE_WINDOW_PROC(WinControlWindowProc)
#undef ZEMBRIO_PRE_WINDOW_PROC

int TThemeManager::SubclassedCount() {
  std::lock_guard<TCriticalSection> g(Lock());
  return subclassCount_;
}

bool TThemeManager::GetIsMainManager() const {
  std::lock_guard<TCriticalSection> g(Lock());
  return mainManager_ == this;
}

void TThemeManager::MakeMain() {
  mainManager_ = this;
  subManager_ = false;
}

void TThemeManager::ForceAsMainManager() {
  if (GetIsMainManager()) return;
  {
    std::lock_guard<TCriticalSection> g(Lock());
    if (TThemeManager* old = mainManager_) {
      old->subManager_ = true;
      old->ClearLists();
    }
    MakeMain();
  }
  CollectForms(nullptr);
}

void TThemeManager::Loaded() {
  TComponent::Loaded();
  if (GetIsMainManager() && !IsDesigning()) CollectForms(nullptr);
}

bool TThemeManager::MainWindowHook(TMessage& Message) {
  try {
    if (Message.Msg == WM_MAINMANAGERRELEASED) {
      bool becameMain = false;
      {
        std::lock_guard<TCriticalSection> g(Lock());
        if (!mainManager_) {
          MakeMain();
          becameMain = true;
        }
      }
      if (becameMain) CollectForms(nullptr);
    }
    while (!formsWaiting_.empty()) {
      auto* f = dynamic_cast<TCustomForm*>(formsWaiting_.front());
      formsWaiting_.erase(formsWaiting_.begin());
      if (!f) continue;
      if (GetIsMainManager()) CollectForms(f);
      if (f->HandleAllocated())
        ::RedrawWindow(f->GetHandle(), nullptr, nullptr,
                       RDW_INVALIDATE | RDW_VALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    while (!recreation_.empty()) {
      TControl* c = recreation_.front();
      recreation_.erase(recreation_.begin());
      if (auto* w = dynamic_cast<TWinControl*>(c)) w->HandleNeeded();
    }
    if (Message.Msg == WM_THEMECHANGED) {
      UpdateThemes();
      DoOnThemeChange();
    }
  } catch (...) {
    if (Application) Application->HandleException(this);
  }
  return false;
}

void TThemeManager::Notification(TComponent* AComponent, TOperation Operation) {
  if (IsDesigning()) {
    TComponent::Notification(AComponent, Operation);
    return;
  }
  if (Operation == opInsert) {
    // Insertion is announced while the component is still being built, so
    // its class can't be told yet: it waits, and the hook looks at it once
    // the posted message comes round.
    if (AComponent && AComponent != this &&
        std::find(formsWaiting_.begin(), formsWaiting_.end(), AComponent) == formsWaiting_.end()) {
      TThemeManager* main = CurrentThemeManager();
      if (main && main != this) {
        main->Notification(AComponent, Operation);
      } else if (main == this) {
        formsWaiting_.push_back(AComponent);
        AComponent->FreeNotification(this);  // in case it goes before the hook runs
        if (Application && Application->Handle()) ::PostMessageW(Application->Handle(), WM_NULL, 0, 0);
      }
    }
  } else if (AComponent) {
    // The component may be half gone (this comes from its destructor): drop
    // it by address only, without asking it anything.
    formsWaiting_.erase(std::remove(formsWaiting_.begin(), formsWaiting_.end(), AComponent), formsWaiting_.end());
    auto* c = reinterpret_cast<TControl*>(AComponent);
    for (auto& l : lists_)
      if (l) l->Forget(c);
    RemoveRecreationCandidate(c);
  }
  TComponent::Notification(AComponent, Operation);
}

void TThemeManager::SetThemeOptions(TThemeOptions Value) {
  std::lock_guard<TCriticalSection> g(Lock());
  const bool designing = IsDesigning();
  // A designed manager's options are the form's own, not the running
  // application's.
  if (subManager_ && !designing && mainManager_ && mainManager_ != this) {
    mainManager_->SetThemeOptions(Value);
    options_ = mainManager_->options_;
    return;
  }
  if (Value == options_) return;
  options_ = Value;
  // The rest is the running application's, which only its main manager
  // changes.
  if (designing || !GetIsMainManager()) return;
  if (ThemeServices()->LibraryAvailable() && uxtheme::SetThemeAppProperties) {
    DWORD flags = 0;
    if (Value.Contains(toAllowNonClientArea)) flags |= STAP_ALLOW_NONCLIENT;
    if (Value.Contains(toAllowControls)) flags |= STAP_ALLOW_CONTROLS;
    if (Value.Contains(toAllowWebContent)) flags |= STAP_ALLOW_WEBCONTENT;
    uxtheme::SetThemeAppProperties(flags);
  }
  // While the form is read the rest waits: the form is not complete yet.
  if (IsLoading() || GetComponentState().Contains(csReading)) return;
  UpdateThemes();
  BroadcastThemeChange();
  if (Application && Application->Handle()) ::SendMessageW(Application->Handle(), WM_THEMECHANGED, 0, 0);
  if (Screen)
    for (int i = 0; i < Screen->FormCount(); ++i)
      if (Screen->Forms(i)->HandleAllocated())
        ::RedrawWindow(Screen->Forms(i)->GetHandle(), nullptr, nullptr,
                       RDW_INVALIDATE | RDW_INTERNALPAINT | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW |
                           RDW_ERASENOW | RDW_FRAME);
}

namespace {
const wchar_t* const kOptionNames[] = {
    L"toAllowNonClientArea", L"toAllowControls",       L"toAllowWebContent",    L"toSubclassAnimate",
    L"toSubclassButtons",    L"toSubclassCheckListbox", L"toSubclassDBLookup",  L"toSubclassFrame",
    L"toSubclassGroupBox",   L"toSubclassListView",    L"toSubclassPanel",      L"toSubclassTabSheet",
    L"toSubclassSpeedButtons", L"toSubclassStatusBar", L"toSubclassTrackBar",   L"toSubclassWinControl",
    L"toResetMouseCapture",  L"toSetTransparency",     L"toAlternateTabSheetDraw"};
}  // namespace

void TThemeManager::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  auto* ancestor = dynamic_cast<TThemeManager*>(Filer->GetAncestor());
  const TThemeOptions base = ancestor ? ancestor->options_ : DefaultThemeOptions();
  PropFiler::Set(Filer, L"Options", options_.Bits(), base.Bits(),
                 PropFiler::TNames(std::begin(kOptionNames), std::end(kOptionNames)),
                 [this](uint64_t bits) { SetThemeOptions(TThemeOptions::FromBits(bits)); });
  using PropFiler::Event;
  Event(Filer, L"OnAllowSubclassing", OnAllowSubclassing, ancestor ? &ancestor->OnAllowSubclassing : nullptr);
  Event(Filer, L"OnControlMessage", OnControlMessage, ancestor ? &ancestor->OnControlMessage : nullptr);
  Event(Filer, L"OnThemeChange", OnThemeChange, ancestor ? &ancestor->OnThemeChange : nullptr);
}

void TThemeManager::UpdateThemes() {
  TThemeServices* s = ThemeServices();
  s->UpdateThemes();
  if (s->LibraryAvailable() && !IsDesigning() && uxtheme::GetThemeAppProperties) {
    DWORD p = uxtheme::GetThemeAppProperties();
    auto set = [&](TThemeOption o, bool on) { on ? options_.Include(o) : options_.Exclude(o); };
    set(toAllowNonClientArea, (p & STAP_ALLOW_NONCLIENT) != 0);
    set(toAllowControls, (p & STAP_ALLOW_CONTROLS) != 0);
    set(toAllowWebContent, (p & STAP_ALLOW_WEBCONTENT) != 0);
  }
}

namespace {
void BroadcastTo(TWinControl* w) {
  for (int i = 0; i < w->ControlCount(); ++i) {
    auto* c = dynamic_cast<TWinControl*>(w->Controls(i));
    if (!c || !c->HandleAllocated()) continue;
    c->Perform(WM_THEMECHANGED, 0, 0);
    // These two keep theme data of their own: a new window takes the new look.
    if (dynamic_cast<TCustomListView*>(c) || dynamic_cast<TCoolBar*>(c)) c->RecreateWnd();
    else BroadcastTo(c);
  }
}
}  // namespace

void TThemeManager::BroadcastThemeChange() {
  if (!Screen) return;
  for (int i = 0; i < Screen->FormCount(); ++i) {
    TCustomForm* f = Screen->Forms(i);
    f->Perform(WM_THEMECHANGED, 0, 0);
    BroadcastTo(f);
  }
}

// ---------------------------------------------------------------------------
// Collecting controls

void TThemeManager::CollectForms(TCustomForm* Form) {
  if (!GetIsMainManager() || IsDesigning()) return;
  if (Form) {
    lists_[skForm]->Add(Form);
    Form->FreeNotification(this);
    CollectControls(Form);
  } else {
    ClearLists();
    if (Screen)
      for (int i = 0; i < Screen->FormCount(); ++i) {
        TCustomForm* f = Screen->Forms(i);
        lists_[skForm]->Add(f);
        f->FreeNotification(this);
        CollectControls(f);
      }
  }
  if (options_.Contains(toResetMouseCapture) || options_.Contains(toSetTransparency)) FixControls(Form);
}

void TThemeManager::CollectControls(TWinControl* Parent) {
  if (!Parent) throw EThemeManagerError(L"Parent of controls to be collected must be valid.");
  if (!GetIsMainManager() || IsDesigning()) return;
  for (int i = 0; i < Parent->ControlCount(); ++i) {
    TControl* c = Parent->Controls(i);
    HandleControlChange(c, true);
    if (auto* w = dynamic_cast<TWinControl*>(c); w && w->ControlCount() > 0) CollectControls(w);
  }
}

void TThemeManager::FixControls(TCustomForm* Form) {
  std::vector<TWinControl*> roots;
  if (Form) roots.push_back(Form);
  else if (Screen)
    for (int i = 0; i < Screen->FormCount(); ++i) roots.push_back(Screen->Forms(i));
  std::function<void(TWinControl*)> visit = [&](TWinControl* p) {
    for (int i = 0; i < p->ControlCount(); ++i) {
      TControl* c = p->Controls(i);
      if (auto* w = dynamic_cast<TWinControl*>(c)) {
        if (ThemesEnabled() && w->HandleAllocated() && uxtheme::EnableThemeDialogTexture)
          uxtheme::EnableThemeDialogTexture(w->GetHandle(), ETDT_ENABLETAB);
        if (auto* bar = dynamic_cast<TToolBar*>(w)) {
          if (options_.Contains(toSetTransparency)) bar->SetTransparent(true);
          // A captured mouse keeps the hot look on a button the pointer
          // has left; drop-down buttons need it for their menus.
          if (options_.Contains(toResetMouseCapture))
            for (int b = 0; b < bar->ButtonCount(); ++b)
              if (TToolButton* button = bar->Buttons(b); button->GetStyle() != tbsDropDown)
                button->ControlStyle.Exclude(csCaptureMouse);
        } else if (w->ControlCount() > 0) {
          visit(w);
        }
      } else if (auto* l = dynamic_cast<TCustomLabel*>(c)) {
        if (options_.Contains(toSetTransparency)) l->SetTransparent(true);
      }
    }
  };
  for (TWinControl* r : roots) visit(r);
}

void TThemeManager::RemoveChildSubclassing(TWinControl* Parent) {
  for (int i = 0; i < Parent->ControlCount(); ++i)
    if (auto* w = dynamic_cast<TWinControl*>(Parent->Controls(i))) {
      RemoveChildSubclassing(w);
      HandleControlChange(w, false);
    }
}

void TThemeManager::ClearLists() {
  // Every list, themed or not: a list left filled would keep controls bound
  // to a manager that is no longer the one in charge.
  for (auto& l : lists_)
    if (l) l->Clear();
}

TWindowProcList* TThemeManager::ListFor(TControl* Control, bool Inserting) {
  static const TSubclassKind order[] = {skButton,   skSpeedButton,  skGroupBox,  skTabSheet,
                                        skPanel,    skListView,     skTrackBar,  skCheckListBox,
                                        skStatusBar, skAnimate,     skForm,      skWinControl};
  bool library = ThemeServices()->LibraryAvailable();
  for (TSubclassKind k : order) {
    if (!library && k != skListView) continue;
    if (!lists_[k] || !lists_[k]->Accepts(Control)) continue;
    if (Inserting && k != skForm && !options_.Contains(OptionFor(k))) return nullptr;
    return lists_[k].get();
  }
  return nullptr;
}

void TThemeManager::HandleControlChange(TControl* Control, bool Inserting) {
  if (!Control) return;
  if (!Inserting) {
    // Wherever it was put when it came: the library or the options may have
    // changed since.
    for (auto& l : lists_)
      if (l && l->Contains(Control)) l->Remove(Control);
    RemoveRecreationCandidate(Control);
    return;
  }
  // Only the main manager subclasses: the installed procedures run its lists.
  if (!GetIsMainManager()) return;
  TWindowProcList* list = ListFor(Control, Inserting);
  if (!list) return;
  if (Inserting) {
    if (list->Kind() == skListView && !list->Contains(Control)) {
      auto* w = static_cast<TWinControl*>(Control);
      if (w->HandleAllocated()) ::PostMessageW(w->GetHandle(), CM_RECREATEWND, 0, 0);
    }
    if (list->Kind() == skSpeedButton) Control->FreeNotification(this);
    if (list->Kind() == skForm) {
      // Its controls are asked one by one, whatever the form itself says.
      auto* f = static_cast<TCustomForm*>(Control);
      f->FreeNotification(this);
      CollectControls(f);
      formsWaiting_.erase(std::remove(formsWaiting_.begin(), formsWaiting_.end(), static_cast<TComponent*>(f)),
                          formsWaiting_.end());
    }
  }
  if (Inserting && DoAllowSubclassing(Control) && Control->Perform(CM_DENYSUBCLASSING, 0, 0) == 0) {
    list->Add(Control);
  } else {
    list->Remove(Control);
  }
}

void TThemeManager::AddRecreationCandidate(TControl* Control) {
  if (std::find(recreation_.begin(), recreation_.end(), Control) == recreation_.end())
    recreation_.push_back(Control);
}

void TThemeManager::RemoveRecreationCandidate(TControl* Control) {
  recreation_.erase(std::remove(recreation_.begin(), recreation_.end(), Control), recreation_.end());
}

int TThemeManager::FindListener(const TControlMessageEvent& Method) const {
  for (size_t i = 0; i < listeners_.size(); ++i)
    if (listeners_[i] == Method) return int(i);
  return -1;
}

void TThemeManager::RegisterListener(const TControlMessageEvent& Method) {
  if (Method && FindListener(Method) < 0) listeners_.push_back(Method);
}

void TThemeManager::UnregisterListener(const TControlMessageEvent& Method) {
  int i = FindListener(Method);
  if (i >= 0) listeners_.erase(listeners_.begin() + i);
}

bool TThemeManager::DoAllowSubclassing(TControl* Control) {
  bool allow = true;
  if (OnAllowSubclassing) OnAllowSubclassing(this, Control, allow);
  return allow;
}

bool TThemeManager::DoControlMessage(TControl* Control, TMessage& Message) {
  bool handled = false;
  if (OnControlMessage) OnControlMessage(this, Control, Message, handled);
  for (size_t i = 0; !handled && i < listeners_.size(); ++i) {
    TControlMessageEvent l = listeners_[i];
    l(this, Control, Message, handled);
  }
  return handled;
}

void TThemeManager::DoOnThemeChange() {
  if (OnThemeChange) OnThemeChange(this);
}

bool TThemeManager::NeedsBorderPaint(TControl* Control) {
  return dynamic_cast<TScrollingWinControl*>(Control) || dynamic_cast<TCustomGrid*>(Control) ||
         dynamic_cast<TCustomRichEdit*>(Control);
}

// ---------------------------------------------------------------------------
// Helpers of the window procedures

void TThemeManager::UpdateUIState(TControl* Control, WORD Key) {
  TCustomForm* f = Control->GetParentForm();
  if (!f || !f->HandleAllocated()) return;
  switch (Key) {
    case VK_TAB: case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN:
      ::SendMessageW(f->GetHandle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
      break;
    case VK_MENU:
      ::SendMessageW(f->GetHandle(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEACCEL), 0);
      break;
    default: break;
  }
}

void TThemeManager::PerformEraseBackground(TControl* Control, HDC DC) { ::PerformEraseBackground(Control, DC); }

void TThemeManager::DrawParentBackground(TControl* Control, HDC DC, const TThemedElementDetails* Details,
                                         bool OnlyIfTransparent, const TRect* Bounds) {
  auto* w = dynamic_cast<TWinControl*>(Control);
  if (!w || !w->HandleAllocated()) return;
  ThemeServices()->DrawParentBackground(w->GetHandle(), DC, Details, OnlyIfTransparent, Bounds);
}

TThemedButtonFace TThemeManager::ButtonFaceOf(TControl* Control, TThemedButton Button) {
  TThemedButtonFace f;
  f.Caption = Control->GetCaption();
  f.Font = Control->Font();
  f.Enabled = Button != tbPushButtonDisabled;
  f.State = Button == tbPushButtonDisabled  ? bsDisabled
            : Button == tbPushButtonPressed ? bsDown
                                            : bsUp;
  f.RightToLeft = RightToLeftReading(Control);
  auto glyphOf = [&f](TBitmap* glyph, int cells, TButtonLayout layout, int margin, int spacing) {
    f.Glyph = glyph;
    f.NumGlyphs = cells;
    f.Layout = layout;
    f.Margin = margin;
    f.Spacing = spacing;
  };
  if (auto* sb = dynamic_cast<TSpeedButton*>(Control)) {
    glyphOf(sb->GetGlyph(), sb->GetNumGlyphs(), sb->GetLayout(), sb->GetMargin(), sb->GetSpacing());
    f.Flat = sb->GetFlat();
    // Held down (Down) rather than pressed: the fourth cell.
    if (Button == tbPushButtonPressed && sb->GetState() == bsExclusive) f.State = bsExclusive;
  } else if (auto* bb = dynamic_cast<TBitBtn*>(Control)) {
    glyphOf(bb->GetGlyph(), bb->GetNumGlyphs(), bb->GetLayout(), bb->GetMargin(), bb->GetSpacing());
  }
  return f;
}

void TThemeManager::DrawButton(TControl* Control, TThemedButton Button, bool Focused, const TRect& R, HDC DC) {
  DrawButton(ButtonFaceOf(Control, Button), Button, Focused, R, DC);
}

namespace {

// Copies a stretch of Src to Dst leaving out the pixels of the transparent
// colour.
void TransparentStretchBlt(HDC Dst, const TRect& DstRect, HDC Src, const TRect& SrcRect, COLORREF Transparent) {
  ::TransparentBlt(Dst, DstRect.left, DstRect.top, DstRect.right - DstRect.left, DstRect.bottom - DstRect.top, Src,
                   SrcRect.left, SrcRect.top, SrcRect.right - SrcRect.left, SrcRect.bottom - SrcRect.top,
                   Transparent);
}

TThemedToolBar ToolBarButtonOf(TThemedButton b) {
  switch (b) {
    case tbPushButtonHot: return ttbButtonHot;
    case tbPushButtonPressed: return ttbButtonPressed;
    case tbPushButtonDisabled: return ttbButtonDisabled;
    default: return ttbButtonNormal;
  }
}

// Where glyph and caption go along one axis of the content rectangle: the
// offset of the first of the two from the start, and the gap between them.
void PlaceAlong(int Room, int GlyphSize, int TextSize, int Margin, int Spacing, int& Offset, int& Gap) {
  if (GlyphSize == 0 || TextSize == 0) Spacing = 0;
  if (Margin < 0) {
    if (Spacing < 0) {
      Spacing = (Room - GlyphSize - TextSize) / 3;
      Margin = Spacing;
    } else {
      Margin = (Room - GlyphSize - Spacing - TextSize) / 2;
    }
  } else if (Spacing < 0) {
    Spacing = (Room - Margin - GlyphSize - TextSize) / 2;
  }
  Offset = std::max(Margin, 0);
  Gap = std::max(Spacing, 0);
}

}  // namespace

void TThemeManager::DrawButton(const TThemedButtonFace& Face, TThemedButton Button, bool Focused, const TRect& R,
                               HDC DC) {
  TThemeServices* s = ThemeServices();
  TThemedElementDetails d = Face.Flat ? TThemeServices::GetElementDetails(ToolBarButtonOf(Button))
                                      : TThemeServices::GetElementDetails(Button);
  s->DrawElement(DC, d, R);
  TRect content = s->ContentRect(DC, d, R);

  HGDIOBJ oldFont = Face.Font ? ::SelectObject(DC, Face.Font->GetHandle()) : nullptr;
  SIZE text{0, 0};
  if (!Face.Caption.empty()) {
    RECT calc{0, 0, 0, 0};
    ::DrawTextW(DC, Face.Caption.c_str(), int(Face.Caption.size()), &calc, DT_CALCRECT | DT_SINGLELINE);
    text = {calc.right - calc.left, calc.bottom - calc.top};
  }
  int cells = std::max(Face.NumGlyphs, 1);
  bool glyph = Face.Glyph && !Face.Glyph->Empty() && Face.Glyph->GetWidth() >= cells;
  SIZE g{glyph ? Face.Glyph->GetWidth() / cells : 0, glyph ? Face.Glyph->GetHeight() : 0};

  TButtonLayout layout = Face.Layout;
  if (Face.RightToLeft && layout == blGlyphLeft) layout = blGlyphRight;
  else if (Face.RightToLeft && layout == blGlyphRight) layout = blGlyphLeft;
  bool across = layout == blGlyphLeft || layout == blGlyphRight;
  int glyphExtent = across ? g.cx : g.cy, textExtent = across ? text.cx : text.cy;
  int offset = 0, gap = 0;
  PlaceAlong(across ? content.right - content.left : content.bottom - content.top, glyphExtent, textExtent,
             Face.Margin, Face.Spacing, offset, gap);

  // Centred across the layout's axis; along it, glyph and caption in turn
  // from the start (glyph left or above) or from the end.
  POINT gp{content.left + (content.right - content.left - g.cx) / 2,
           content.top + (content.bottom - content.top - g.cy) / 2};
  TRect tr = content;
  LONG POINT::*at = across ? &POINT::x : &POINT::y;
  LONG RECT::*lo = across ? &RECT::left : &RECT::top;
  LONG RECT::*hi = across ? &RECT::right : &RECT::bottom;
  if (layout == blGlyphLeft || layout == blGlyphTop) {
    gp.*at = content.*lo + offset;
    tr.*lo = gp.*at + glyphExtent + gap;
    tr.*hi = tr.*lo + textExtent;
  } else {
    gp.*at = content.*hi - offset - glyphExtent;
    tr.*hi = gp.*at - gap;
    tr.*lo = tr.*hi - textExtent;
  }

  if (glyph) {
    int cell = 0;
    if (Face.State == bsDisabled && cells > 1) cell = 1;
    else if (Face.State == bsDown && cells > 2) cell = 2;
    else if (Face.State == bsExclusive && cells > 3) cell = 3;
    COLORREF transparent = COLORREF(Face.Glyph->GetTransparentColor() & 0xFFFFFF);
    TransparentStretchBlt(DC, TRect(gp.x, gp.y, gp.x + g.cx, gp.y + g.cy), Face.Glyph->CanvasDC(),
                          TRect(cell * g.cx, 0, (cell + 1) * g.cx, g.cy), transparent);
  }
  if (!Face.Caption.empty()) {
    int oldMode = ::SetBkMode(DC, TRANSPARENT);
    TColor colour = !Face.Enabled ? clGrayText : Face.Font ? Face.Font->GetColor() : clBtnText;
    COLORREF oldColor = ::SetTextColor(DC, ColorToRef(colour));
    RECT rr = tr;
    UINT flags = DT_CENTER | DT_VCENTER | DT_SINGLELINE | (Face.RightToLeft ? DT_RTLREADING : 0);
    ::DrawTextW(DC, Face.Caption.c_str(), int(Face.Caption.size()), &rr, flags);
    ::SetTextColor(DC, oldColor);
    ::SetBkMode(DC, oldMode);
  }
  if (oldFont) ::SelectObject(DC, oldFont);
  if (Focused) {
    COLORREF oldText = ::SetTextColor(DC, RGB(0, 0, 0));
    RECT f = content;
    ::DrawFocusRect(DC, &f);
    ::SetTextColor(DC, oldText);
  }
}

void TThemeManager::Pass(TControl* Control, TMessage& Message) {
  for (auto& l : lists_) {
    int i;
    if (l->Find(Control, i)) {
      l->DispatchMessage(Control, Message);
      return;
    }
  }
  throw EThemeManagerError(L"Control reference not found.");
}

// ---------------------------------------------------------------------------
// The window procedures

void TThemeManager::FormWindowProc(TControl* Control, TMessage& Message) {
  if (Message.Msg == CM_CONTROLLISTCHANGE) {
    auto* child = reinterpret_cast<TControl*>(Message.WParam);
    if (Message.LParam != 0) {
      HandleControlChange(child, true);
      if (auto* w = dynamic_cast<TWinControl*>(child); w && w->ControlCount() > 0 && lists_[skForm]->Contains(Control))
        CollectControls(w);
    } else if (child) {
      HandleControlChange(child, false);
    }
  }
  DoControlMessage(Control, Message);
  Pass(Control, Message);
}

void TThemeManager::ListviewWindowProc(TControl* Control, TMessage& Message) {
  if (DoControlMessage(Control, Message)) return;
  if ((Message.Msg == LVM_SETCOLUMNA || Message.Msg == LVM_INSERTCOLUMNA || Message.Msg == LVM_SETCOLUMNW ||
       Message.Msg == LVM_INSERTCOLUMNW) &&
      Message.LParam) {
    // Both column records start alike up to iImage.
    auto* col = reinterpret_cast<LVCOLUMNW*>(Message.LParam);
    if ((col->mask & LVCF_IMAGE) && col->iImage == -1) col->mask &= ~LVCF_IMAGE;
  }
  Pass(Control, Message);
}

void TThemeManager::StatusBarWindowProc(TControl* Control, TMessage& Message) {
  if (DoControlMessage(Control, Message)) return;
  if (ThemesEnabled()) {
    if (Message.Msg == WM_ERASEBKGND) {
      ThemeServices()->DrawElement(HDC(Message.WParam), TThemeServices::GetElementDetails(tsStatusRoot),
                                   Control->GetClientRect());
      Message.Result = 1;
      return;
    }
    if (Message.Msg == WM_NCCALCSIZE) {
      Pass(Control, Message);
      if (Message.WParam) Message.Result |= WVR_HREDRAW | WVR_VREDRAW;
      return;
    }
  }
  Pass(Control, Message);
}

void TThemeManager::WinControlWindowProc(TControl* Control, TMessage& Message) {
  if (DoControlMessage(Control, Message)) return;
  if (ThemesEnabled()) switch (Message.Msg) {
      case WM_ERASEBKGND:
        if (dynamic_cast<TScrollingWinControl*>(Control)) {
          HDC dc = HDC(Message.WParam);
          if (static_cast<TWinControl*>(Control)->GetDoubleBuffered()) PerformEraseBackground(Control, dc);
          else DrawParentBackground(Control, dc, nullptr, false);
          Message.Result = 1;
          return;
        }
        break;
      case CN_CTLCOLORSTATIC:
        if (dynamic_cast<TCustomStaticText*>(Control)) {
          HDC dc = HDC(Message.WParam);
          ::SetBkMode(dc, TRANSPARENT);
          DrawParentBackground(Control, dc, nullptr, false);
          Message.Result = LRESULT(::GetStockObject(NULL_BRUSH));
          return;
        }
        break;
      case WM_NCPAINT:
        // Any control with a client edge gets the themed edit border.
        Pass(Control, Message);
        ThemeServices()->PaintBorder(static_cast<TWinControl*>(Control), dynamic_cast<TCustomGrid*>(Control) != nullptr);
        return;
      case WM_KEYDOWN: case WM_SYSKEYDOWN: case CN_KEYDOWN:
        UpdateUIState(Control, WORD(Message.WParam));
        break;
      default: break;
    }
  Pass(Control, Message);
}

void TThemeManager::ButtonControlWindowProc(TControl* Control, TMessage& Message) {
  if (DoControlMessage(Control, Message)) return;
  auto* bitBtn = dynamic_cast<TBitBtn*>(Control);
  if (ThemesEnabled()) switch (Message.Msg) {
      case CN_DRAWITEM:
        if (bitBtn && Message.LParam) {
          const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(Message.LParam);
          TThemedElementDetails d = TThemeServices::GetElementDetails(tbPushButtonNormal);
          TRect r = item.rcItem;
          DrawParentBackground(Control, item.hDC, &d, true, &r);
          DrawBitBtn(bitBtn, item);
          Message.Result = 1;
          return;
        }
        break;
      case WM_ERASEBKGND:
        Message.Result = 1;
        return;
      case WM_KEYDOWN: case WM_SYSKEYDOWN: case CN_KEYDOWN:
        UpdateUIState(Control, WORD(Message.WParam));
        break;
      case CM_MOUSEENTER: case CM_MOUSELEAVE:
        // The hot look follows the pointer. The control hears it too: it
        // keeps its own idea of whether the mouse is in it.
        if (bitBtn) bitBtn->Invalidate();
        break;
      case CN_CTLCOLORBTN: case CN_CTLCOLORSTATIC:
        EraseThroughParent(Control, HDC(Message.WParam));
        Message.Result = LRESULT(::GetStockObject(NULL_BRUSH));
        return;
      default: break;
    }
  Pass(Control, Message);
}

void TThemeManager::EraseThroughParent(TControl* Control, HDC DC, const TThemedElementDetails* Details,
                                       bool OnlyIfTransparent, const TRect* Bounds) {
  TWinControl* parent = Control->GetParent();
  if (parent && parent->GetDoubleBuffered()) {
    int saved = ::SaveDC(DC);
    if (Bounds) ::IntersectClipRect(DC, Bounds->left, Bounds->top, Bounds->right, Bounds->bottom);
    PerformEraseBackground(Control, DC);
    ::RestoreDC(DC, saved);
  } else {
    DrawParentBackground(Control, DC, Details, OnlyIfTransparent, Bounds);
  }
}

void TThemeManager::DrawBitBtn(TBitBtn* BitBtn, const DRAWITEMSTRUCT& DrawItemStruct) {
  UINT state = DrawItemStruct.itemState;
  POINT cursor{};
  if (BitBtn->HandleAllocated() && ::GetCursorPos(&cursor) && ::WindowFromPoint(cursor) == BitBtn->GetHandle())
    state |= ODS_HOTLIGHT;
  TThemedButton button = !BitBtn->GetEnabled()        ? tbPushButtonDisabled
                         : (state & ODS_SELECTED)     ? tbPushButtonPressed
                         : (state & ODS_HOTLIGHT)     ? tbPushButtonHot
                         : (BitBtn->GetDefault() || (state & ODS_FOCUS)) ? tbPushButtonDefaulted
                                                                         : tbPushButtonNormal;
  DrawButton(BitBtn, button, (state & ODS_FOCUS) != 0, DrawItemStruct.rcItem, DrawItemStruct.hDC);
}

void TThemeManager::SpeedButtonWindowProc(TControl* Control, TMessage& Message) {
  if (DoControlMessage(Control, Message)) return;
  auto* button = static_cast<TSpeedButton*>(Control);
  if (ThemesEnabled()) switch (Message.Msg) {
      case WM_PAINT: {
        // A window-less control paints into the context it is given.
        HDC dc = HDC(Message.WParam);
        if (!dc) break;
        PerformEraseBackground(Control, dc);
        TThemedButton state = tbPushButtonNormal;
        TButtonState look = button->GetState();
        if (!button->GetEnabled()) {
          state = tbPushButtonDisabled;
        } else if (look == bsDown || look == bsExclusive) {
          state = tbPushButtonPressed;
        } else if (button->GetFlat() ? button->MouseInControl() : [&] {
                     POINT p{};
                     return ::GetCursorPos(&p) && FindDragTarget(TPoint{p.x, p.y}, true) == button;
                   }()) {
          state = tbPushButtonHot;
        }
        DrawButton(Control, state, false, TRect(0, 0, Control->GetWidth(), Control->GetHeight()), dc);
        Message.Result = 0;
        return;
      }
      case CM_MOUSEENTER: case CM_MOUSELEAVE:
        // A flat button repaints itself; a raised one shows its hot look.
        if (!button->GetFlat() && button->GetEnabled()) button->Invalidate();
        break;
      default: break;
    }
  Pass(Control, Message);
}

void TThemeManager::TrackBarWindowProc(TControl* Control, TMessage& Message) {
  if (DoControlMessage(Control, Message)) return;
  auto* bar = static_cast<TTrackBar*>(Control);
  if (ThemesEnabled() && Message.Msg == CN_NOTIFY && Message.LParam) {
    auto* cd = reinterpret_cast<NMCUSTOMDRAW*>(Message.LParam);
    if (cd->hdr.code != UINT(NM_CUSTOMDRAW)) return;  // nothing else of the bar's is needed
    Message.Result = CDRF_DODEFAULT;
    if (cd->dwDrawStage == CDDS_PREPAINT) {
      Message.Result = CDRF_NOTIFYITEMDRAW;
    } else if (cd->dwDrawStage == CDDS_ITEMPREPAINT && bar->HandleAllocated()) {
      HWND h = bar->GetHandle();
      RECT client;
      ::GetClientRect(h, &client);
      // The focus rectangle runs round the client area: keep it.
      bool focusShown = bar->Focused() && !(::SendMessageW(h, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS);
      int inset = focusShown ? 1 : 0;
      if (cd->dwItemSpec == TBCD_TICS) {
        TRect r(client.left + inset, client.top + inset, client.right - inset, client.bottom - inset);
        DrawParentBackground(Control, cd->hdc, nullptr, false, &r);
      } else if (cd->dwItemSpec == TBCD_CHANNEL) {
        RECT ch{};
        ::SendMessageW(h, TBM_GETCHANNELRECT, 0, LPARAM(&ch));
        TRect r = ch;
        if (bar->GetOrientation() == trHorizontal) {
          r.left = client.left + inset;
          r.right = client.right - inset;
        } else {
          r.top = client.top + inset;
          r.bottom = client.bottom - inset;
        }
        int saved = ::SaveDC(cd->hdc);
        ::IntersectClipRect(cd->hdc, r.left, r.top, r.right, r.bottom);
        TThemedElementDetails d = TThemeServices::GetElementDetails(ttbThumbTics);
        DrawParentBackground(Control, cd->hdc, &d, false, &r);
        ::RestoreDC(cd->hdc, saved);
      }
    }
    return;
  }
  Pass(Control, Message);
}

void TThemeManager::AnimateWindowProc(TControl* Control, TMessage& Message) {
  if (DoControlMessage(Control, Message)) return;
  auto* animate = static_cast<TAnimate*>(Control);
  if (ThemesEnabled()) switch (Message.Msg) {
      case WM_ERASEBKGND:
        Message.Result = 1;
        return;
      case CN_CTLCOLORSTATIC:
        if (animate->GetTransparent()) {
          TColor c = animate->GetColor();
          Message.Result = int32_t(c) < 0 ? LRESULT(::GetSysColorBrush(int(c & 0xFF)))
                                          : LRESULT(animate->Brush()->GetHandle());
          return;
        }
        break;
      default: break;
    }
  Pass(Control, Message);
}

void TThemeManager::CheckListBoxWindowProc(TControl* Control, TMessage& Message) {
  // A message handled by a listener still reaches the list box.
  DoControlMessage(Control, Message);
  auto* list = static_cast<TCheckListBox*>(Control);
  if (!ThemesEnabled() || Message.Msg != CN_DRAWITEM || !Message.LParam || list->Items()->GetCount() == 0) {
    Pass(Control, Message);
    return;
  }
  const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(Message.LParam);
  bool rtl = RightToLeftReading(Control);
  int checkWidth = list->CheckWidth();
  TRect strip = item.rcItem, r = item.rcItem;
  if (rtl) {
    r.right -= checkWidth;
    strip.left = r.right;
  } else {
    r.left += checkWidth;
    strip.right = r.left;
  }
  TCanvas* canvas = list->Canvas();
  canvas->SetHandle(item.hDC);
  try {
    canvas->Font()->Assign(*list->Font());
    canvas->Brush()->Assign(*list->Brush());
    // The check box sits on the list's own colour, selected or not.
    canvas->FillRect(strip);
    if (item.itemState & ODS_SELECTED) {
      canvas->Brush()->SetColor(clHighlight);
      canvas->Font()->SetColor(clHighlightText);
    }
    int index = int(item.itemID);
    canvas->FillRect(r);
    if (index >= 0 && index < list->Items()->GetCount()) {
      TCheckBoxState st = list->GetState(index);
      TThemedButton look = st == cbChecked ? tbCheckBoxCheckedNormal
                           : st == cbGrayed ? tbCheckBoxMixedNormal
                                            : tbCheckBoxUncheckedNormal;
      TSize box = CheckBoxSize();
      int x = strip.left + (strip.right - strip.left - box.cx) / 2;
      int y = strip.top + (strip.bottom - strip.top - box.cy) / 2;
      ThemeServices()->DrawElement(item.hDC, TThemeServices::GetElementDetails(look),
                                   TRect(x, y, x + box.cx, y + box.cy));
      TRect text = r;
      if (rtl) text.right -= 2;
      else text.left += 2;
      if (!list->GetItemEnabled(index)) canvas->Font()->SetColor(clGrayText);
      HDC dc = canvas->GetHandle();
      HGDIOBJ oldFont = ::SelectObject(dc, canvas->Font()->GetHandle());
      COLORREF oldColour = ::SetTextColor(dc, ColorToRef(canvas->Font()->GetColor()));
      int oldMode = ::SetBkMode(dc, TRANSPARENT);
      String s = list->Items()->Get(index);
      RECT tr = text;
      ::DrawTextW(dc, s.c_str(), int(s.size()), &tr,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | (rtl ? DT_RIGHT | DT_RTLREADING : DT_LEFT));
      ::SetBkMode(dc, oldMode);
      ::SetTextColor(dc, oldColour);
      ::SelectObject(dc, oldFont);
    }
    if (item.itemState & ODS_FOCUS) {
      RECT f = r;
      ::DrawFocusRect(item.hDC, &f);
    }
  } catch (...) {
    canvas->SetHandle(nullptr);
    throw;
  }
  canvas->SetHandle(nullptr);
  Message.Result = 1;
}

void TThemeManager::PaintGroupBox(TWinControl* Box, HDC DC) {
  TThemeServices* s = ThemeServices();
  HGDIOBJ oldFont = ::SelectObject(DC, Box->Font()->GetHandle());
  ::SetTextColor(DC, ColorToRef(Box->Font()->GetColor()));
  String caption = Box->GetCaption();
  TRect client = Box->GetClientRect();
  TRect cap(0, 0, 0, 0);
  int capHeight = 0;
  if (!caption.empty()) {
    SIZE sz{};
    ::GetTextExtentPoint32W(DC, caption.c_str(), int(caption.size()), &sz);
    capHeight = sz.cy;
    // 8 pixels in from the edge where the reading starts.
    cap = ReadsRightToLeft(Box) ? TRect(client.right - 8 - sz.cx, 0, client.right - 8, sz.cy)
                                : TRect(client.left + 8, 0, client.left + 8 + sz.cx, sz.cy);
  }
  TRect frame(client.left, client.top + capHeight / 2, client.right, client.bottom);
  TThemedElementDetails d = TThemeServices::GetElementDetails(Box->GetEnabled() ? tbGroupBoxNormal : tbGroupBoxDisabled);
  int saved = ::SaveDC(DC);
  if (!caption.empty()) ::ExcludeClipRect(DC, cap.left, cap.top, cap.right, cap.bottom);
  s->DrawElement(DC, d, frame);
  ::RestoreDC(DC, saved);
  if (!caption.empty())
    s->DrawText(DC, d, caption, cap, (ReadsRightToLeft(Box) ? DT_RIGHT | DT_RTLREADING : DT_LEFT) | DT_SINGLELINE, 0);
  ::SelectObject(DC, oldFont);
}

void TThemeManager::GroupBoxWindowProc(TControl* Control, TMessage& Message) {
  if (DoControlMessage(Control, Message)) return;
  auto* box = static_cast<TWinControl*>(Control);
  if (ThemesEnabled()) switch (Message.Msg) {
      case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = Message.WParam ? HDC(Message.WParam) : ::BeginPaint(box->GetHandle(), &ps);
        PaintGroupBox(box, dc);
        box->PaintControls(dc, nullptr);
        if (!Message.WParam) ::EndPaint(box->GetHandle(), &ps);
        Message.Result = 0;
        return;
      }
      case WM_ERASEBKGND: {
        TThemedElementDetails d = TThemeServices::GetElementDetails(tbGroupBoxNormal);
        EraseThroughParent(Control, HDC(Message.WParam), &d, true);
        Message.Result = 1;
        return;
      }
      case WM_KEYDOWN: case WM_SYSKEYDOWN: case CN_KEYDOWN:
        UpdateUIState(Control, WORD(Message.WParam));
        break;
      default: break;
    }
  Pass(Control, Message);
}

void TThemeManager::PaintPanel(TWinControl* Panel, HDC DC) {
  auto* p = static_cast<TCustomPanel*>(Panel);
  TRect r = Panel->GetClientRect();
  if (p->GetBevelOuter() != bvNone)
    Frame3D(DC, r, p->GetBevelOuter() == bvLowered ? clBtnShadow : clBtnHighlight,
            p->GetBevelOuter() == bvLowered ? clBtnHighlight : clBtnShadow, p->GetBevelWidth());
  int bw = p->GetBorderWidth();
  r = TRect(r.left + bw, r.top + bw, r.right - bw, r.bottom - bw);
  if (p->GetBevelInner() != bvNone)
    Frame3D(DC, r, p->GetBevelInner() == bvLowered ? clBtnShadow : clBtnHighlight,
            p->GetBevelInner() == bvLowered ? clBtnHighlight : clBtnShadow, p->GetBevelWidth());
  TWinControl* parent = Panel->GetParent();
  if (!Panel->GetParentColor() && (!parent || parent->GetColor() != Panel->GetColor())) {
    HBRUSH b = ::CreateSolidBrush(ColorToRef(Panel->GetColor()));
    RECT rr = r;
    ::FillRect(DC, &rr, b);
    ::DeleteObject(b);
  } else {
    EraseThroughParent(Panel, DC, nullptr, false, &r);
  }
  String caption = Panel->GetCaption();
  if (!caption.empty()) {
    HGDIOBJ oldFont = ::SelectObject(DC, Panel->Font()->GetHandle());
    int oldMode = ::SetBkMode(DC, TRANSPARENT);
    ::SetTextColor(DC, ColorToRef(Panel->Font()->GetColor()));
    // Right-to-left reading mirrors the alignment: left-justified text
    // starts at the right edge.
    const bool rtl = ReadsRightToLeft(Panel);
    TAlignment a = p->GetAlignment();
    if (rtl && a != taCenter) a = a == taLeftJustify ? taRightJustify : taLeftJustify;
    UINT align = a == taLeftJustify ? DT_LEFT : a == taRightJustify ? DT_RIGHT : DT_CENTER;
    if (rtl) align |= DT_RTLREADING;
    RECT rr = r;
    ::DrawTextW(DC, caption.c_str(), int(caption.size()), &rr, align | DT_EXPANDTABS | DT_VCENTER | DT_SINGLELINE);
    ::SetBkMode(DC, oldMode);
    ::SelectObject(DC, oldFont);
  }
}

void TThemeManager::PanelWindowProc(TControl* Control, TMessage& Message) {
  if (DoControlMessage(Control, Message)) return;
  auto* panel = static_cast<TWinControl*>(Control);
  TWinControl* parent = panel->GetParent();
  bool sameColour = panel->GetParentColor() || (parent && parent->GetColor() == panel->GetColor());
  if (ThemesEnabled() && sameColour) switch (Message.Msg) {
      case WM_PAINT: case WM_PRINTCLIENT: {
        PAINTSTRUCT ps;
        bool own = Message.WParam == 0;
        HDC dc = own ? ::BeginPaint(panel->GetHandle(), &ps) : HDC(Message.WParam);
        PaintPanel(panel, dc);
        panel->PaintControls(dc, nullptr);
        if (own) ::EndPaint(panel->GetHandle(), &ps);
        Message.Result = 0;
        return;
      }
      case WM_ERASEBKGND:
        EraseThroughParent(Control, HDC(Message.WParam));
        Message.Result = 1;
        return;
      case WM_NCPAINT:
        Pass(Control, Message);
        if (static_cast<TCustomPanel*>(Control)->GetBorderStyle() == bsSingle && panel->HandleAllocated()) {
          HDC dc = ::GetWindowDC(panel->GetHandle());
          RECT wr;
          ::GetWindowRect(panel->GetHandle(), &wr);
          TRect r(0, 0, wr.right - wr.left, wr.bottom - wr.top);
          ThemeServices()->DrawEdge(dc, TThemeServices::GetElementDetails(trBandNormal), r, EDGE_ETCHED, BF_RECT);
          ::ReleaseDC(panel->GetHandle(), dc);
        }
        return;
      default: break;
    }
  Pass(Control, Message);
}

void TThemeManager::TabSheetWindowProc(TControl* Control, TMessage& Message) {
  if (DoControlMessage(Control, Message)) return;
  if (ThemesEnabled()) switch (Message.Msg) {
      case WM_ERASEBKGND: case WM_PRINTCLIENT:
        if (options_.Contains(toAlternateTabSheetDraw))
          ThemeServices()->DrawElement(HDC(Message.WParam), TThemeServices::GetElementDetails(ttBody),
                                       Control->GetClientRect());
        else
          DrawParentBackground(Control, HDC(Message.WParam), nullptr, false);
        Message.Result = 1;
        return;
      case WM_NCPAINT: {
        // The border round the client area shows the parent's background.
        auto* w = static_cast<TWinControl*>(Control);
        if (!w->HandleAllocated()) break;
        HWND h = w->GetHandle();
        RECT wr, cr;
        ::GetWindowRect(h, &wr);
        ::GetClientRect(h, &cr);
        ::MapWindowPoints(h, nullptr, reinterpret_cast<POINT*>(&cr), 2);
        ::OffsetRect(&cr, -wr.left, -wr.top);
        HDC dc = ::GetWindowDC(h);
        ::ExcludeClipRect(dc, cr.left, cr.top, cr.right, cr.bottom);
        TRect all(0, 0, wr.right - wr.left, wr.bottom - wr.top);
        DrawParentBackground(Control, dc, nullptr, false, &all);
        ::ReleaseDC(h, dc);
        Message.Result = 0;
        return;
      }
      default: break;
    }
  Pass(Control, Message);
}

void ThemeMgr::Register() { RegisterComponents(L"XP", {ComponentClass<TThemeManager>(L"TThemeManager")}); }
