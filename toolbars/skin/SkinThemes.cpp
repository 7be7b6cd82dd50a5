#include "toolbars/skin/SkinThemes.h"

#include <algorithm>
#include <memory>

#include "classlib/Forms.h"
#include "classlib/Thread.h"
#include "toolbars/BarUtilsWin.h"
#include "toolbars/skin/SkinDefaultTheme.h"
#include "toolbars/skin/SkinUtils.h"
#include "toolbars/skin/SkinUxThemes.h"

TColor clPopup = clMenu, clPopupText = clMenuText, clToolbar = clBtnFace, clToolbarText = clBtnText;
TColor clSkinHotLight = clHotLight;
TColor clMoneyGreen = 0xC0DCC0, clSkyBlue = 0xF0CAA6, clCream = 0xF0FBFF, clMedGray = 0xA4A0A0;
bool SkinLoColor = false, SkinHiContrast = false, SkinNoBlending = false;
bool USE_FLATMENUS = false, USE_THEMES = false;
HTHEME BUTTON_THEME = nullptr, SCROLLBAR_THEME = nullptr, REBAR_THEME = nullptr, TOOLBAR_THEME = nullptr,
       WINDOW_THEME = nullptr, COMBO_THEME = nullptr, EXPLORERBAR_THEME = nullptr, STATUSBAR_THEME = nullptr,
       SPIN_THEME = nullptr;
bool (*SkinSystemFlatMenusSeam)() = nullptr;
bool (*SkinPlatformAllowsStylesSeam)() = nullptr;

void SkinDispatch(TObject* Target, TMessage& Message) {
  if (!Target) return;
  if (auto* l = dynamic_cast<ISkinListener*>(Target)) {
    l->SkinMessage(Message);
  } else if (auto* c = dynamic_cast<TControl*>(Target)) {
    if (c->WindowProc)
      c->WindowProc(Message);
    else
      c->WndProc(Message);
  }
}

namespace {
// ---- registry ------------------------------------------------------------------------------
struct ThemeRecord {
  String Name;
  TSkinThemeClass Class;
  TSkinTheme* Instance;
  int RefCount;
};
std::vector<ThemeRecord>& Registry() {
  static std::vector<ThemeRecord> r;
  return r;
}
// Names are kept to 255 characters, so a longer name is looked up by as
// much of it as was kept.
ThemeRecord* FindRecord(const String& Name) {
  const String key = Name.substr(0, 255);
  for (auto& r : Registry())
    if (CompareText(r.Name, key) == 0) return &r;
  return nullptr;
}

// Sends to the listeners registered when the broadcast starts. A listener's
// handler may free or unregister another listener (a theme switcher's
// OnThemeChange freeing a toolbar): one taken out of the live list meanwhile
// is passed over, never called.
void SendToAll(const std::vector<TObject*>& List, UINT Msg, WPARAM W, LPARAM L) {
  std::vector<TObject*> copy(List);
  for (TObject* o : copy) {
    if (std::find(List.begin(), List.end(), o) == List.end()) continue;
    TMessage m{Msg, W, L, 0};
    SkinDispatch(o, m);
  }
}

bool PlatformAllowsStyles() {
  if (SkinPlatformAllowsStylesSeam) return SkinPlatformAllowsStylesSeam();
  DWORD v = GetVersion();
  if (v & 0x80000000u) return false;
  int major = LOBYTE(LOWORD(v)), minor = HIBYTE(LOWORD(v));
  return major > 5 || (major == 5 && minor >= 1);
}

bool SystemFlatMenus() {
  if (SkinSystemFlatMenusSeam) return SkinSystemFlatMenusSeam();
  if (!PlatformAllowsStyles()) return false;
  BOOL flat = FALSE;
  if (!SystemParametersInfoW(0x1022, 0, &flat, 0)) return false;
  return flat != FALSE;
}

// ---- theme manager ------------------------------------------------------------------------------
class TSkinThemeManager : public TObject {
 public:
  TSkinThemeManager() {
    wnd_ = AllocateHWnd(TWndMethodEvent(this, &TSkinThemeManager::WndProc));
    Recompute();
  }
  ~TSkinThemeManager() override {
    CloseHandles();
    FreeXPThemes();
    if (wnd_) DeallocateHWnd(wnd_);
  }
  void Recompute();
  void Notify() {
    if (listeners.empty()) return;
    for (WPARAM w = 1; w <= 3; ++w) SendToAll(listeners, SkinMSysChange, w, 0);
  }
  void WndProc(TMessage& m) {
    switch (m.Msg) {
      case WM_SYSCOLORCHANGE:
      case WM_DISPLAYCHANGE:
      case WM_THEMECHANGED:
        Recompute();
        Notify();
        break;
      case WM_ACTIVATEAPP:
        SendToAll(listeners, SkinMSysChange, m.WParam ? 4 : 5, 0);
        break;
      default:
        break;
    }
    m.Result = DefWindowProcW(wnd_, m.Msg, m.WParam, m.LParam);
  }
  void CloseHandles() {
    HTHEME* hs[] = {&BUTTON_THEME, &SCROLLBAR_THEME, &REBAR_THEME, &TOOLBAR_THEME, &WINDOW_THEME,
                    &COMBO_THEME, &EXPLORERBAR_THEME, &STATUSBAR_THEME, &SPIN_THEME};
    for (HTHEME* h : hs) {
      if (*h && skinux::CloseThemeData) skinux::CloseThemeData(*h);
      *h = nullptr;
    }
  }

  uint8_t styles = 1;
  int flatMenu = 0;
  std::vector<TObject*> listeners;
  HWND wnd_ = nullptr;
};

void TSkinThemeManager::Recompute() {
  RecreateStock();
  HDC dc = GetDC(nullptr);
  SkinLoColor = GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES) < 12;
  ReleaseDC(nullptr, dc);
  SkinHiContrast = (GetSysColor(COLOR_BTNFACE) & 0xFFFFFF) == 0xFFFFFF;
  SkinNoBlending = SkinLoColor || SkinHiContrast;
  CloseHandles();
  FreeXPThemes();
  USE_THEMES = false;
  if (PlatformAllowsStyles() && styles == 1) {
    try {
      InitXPThemes();
      USE_THEMES = CanUseXPThemes();
      if (USE_THEMES && skinux::OpenThemeData) {
        BUTTON_THEME = skinux::OpenThemeData(wnd_, L"BUTTON");
        SCROLLBAR_THEME = skinux::OpenThemeData(wnd_, L"SCROLLBAR");
        REBAR_THEME = skinux::OpenThemeData(wnd_, L"REBAR");
        TOOLBAR_THEME = skinux::OpenThemeData(wnd_, L"TOOLBAR");
        WINDOW_THEME = skinux::OpenThemeData(wnd_, L"WINDOW");
        COMBO_THEME = skinux::OpenThemeData(wnd_, L"COMBOBOX");
        EXPLORERBAR_THEME = skinux::OpenThemeData(wnd_, L"EXPLORERBAR");
        STATUSBAR_THEME = skinux::OpenThemeData(wnd_, L"STATUS");
        SPIN_THEME = skinux::OpenThemeData(wnd_, L"SPIN");
      }
    } catch (...) {
      CloseHandles();
      FreeXPThemes();
      USE_THEMES = false;
    }
  }
  clToolbar = clBtnFace;
  clToolbarText = clBtnText;
  if (USE_THEMES && TOOLBAR_THEME && skinux::GetThemeColor) {
    COLORREF c;
    if (SUCCEEDED(skinux::GetThemeColor(TOOLBAR_THEME, 0, 0, 3802, &c))) clToolbar = static_cast<TColor>(c);
    if (SUCCEEDED(skinux::GetThemeColor(TOOLBAR_THEME, 0, 0, 3803, &c))) clToolbarText = static_cast<TColor>(c);
  }
  if (SystemFlatMenus()) {
    if (flatMenu == 1) {
      USE_FLATMENUS = false;
      clPopup = clToolbar;
      clPopupText = clToolbarText;
    } else {
      USE_FLATMENUS = true;
      clPopup = clMenu;
      clPopupText = clMenuText;
    }
  } else if (flatMenu == 2) {
    USE_FLATMENUS = true;
    clPopup = clWindow;
    clPopupText = clWindowText;
  } else {
    USE_FLATMENUS = false;
    clPopup = clMenu;
    clPopupText = clMenuText;
  }
}

TSkinThemeManager* g_manager = nullptr;

// ---- nexus ------------------------------------------------------------------------------------
class TSkinNexus : public TObject, public ISkinListener {
 public:
  TSkinNexus();
  ~TSkinNexus() override;
  void SkinMessage(TMessage& m) override {
    if (m.Msg == SkinMSysChange) SendToAll(listeners, BarMThemeChange, m.WParam, 0);
  }
  std::vector<TObject*> listeners;
};

TSkinNexus* g_nexus = nullptr;
TSkinTheme* CurrentTheme = nullptr;
bool g_skinInited = false;

TSkinNexus::TSkinNexus() {
  CurrentTheme = GetSkinTheme(L"Default");
  AddSkinSysChangeNotification(this);
}

TSkinNexus::~TSkinNexus() {
  RemoveSkinSysChangeNotification(this);
  if (CurrentTheme) ReleaseSkinTheme(CurrentTheme);
  CurrentTheme = nullptr;
}

TSkinThemeManager* Manager() {
  if (!g_manager) {
    InitSkinUtils();
    clSkinHotLight = GetSysColorBrush(COLOR_HOTLIGHT) ? clHotLight : clHighlight;
    g_manager = new TSkinThemeManager();
  }
  return g_manager;
}
}  // namespace

// ---- registry -------------------------------------------------------------------------------------
void RegisterSkinTheme(const String& Name, TSkinThemeClass ThemeClass) {
  if (Name.empty() || !ThemeClass) throw Exception(L"Cannot register theme");
  if (FindRecord(Name)) throw Exception(Format(L"Theme %s is already registered", Name));
  Registry().push_back({Name.substr(0, 255), ThemeClass, nullptr, 0});
}

bool IsSkinThemeAvailable(const String& Name) { return FindRecord(Name) != nullptr; }

void GetAvailableSkinThemes(TStrings* List) {
  if (!List) return;
  for (auto& r : Registry()) List->Add(r.Name);
}

TSkinTheme* GetSkinTheme(const String& Name) {
  ThemeRecord* r = FindRecord(Name);
  if (!r) throw Exception(L"Unknown theme " + Name);
  if (r->RefCount == 0) {
    if (r->Instance) throw ESkinAssertion(L"Theme instance without references (SkinThemes)");
    TSkinTheme* t = r->Class(r->Name);
    // The record may have moved while the theme registered itself.
    r = FindRecord(Name);
    r->Instance = t;
    TMessage m{SkinMSysChange, static_cast<WPARAM>(ApplicationIsActive() ? 1 : 0), 0, 0};
    SkinDispatch(t, m);
  }
  ++r->RefCount;
  return r->Instance;
}

void ReleaseSkinTheme(TSkinTheme*& Theme) {
  ThemeRecord* rec = nullptr;
  if (Theme)
    for (auto& r : Registry())
      if (r.Instance == Theme) rec = &r;
  if (!rec) throw Exception(L"Cannot release theme");
  if (rec->RefCount < 1) throw Exception(L"Cannot release theme " + Theme->Name);
  if (--rec->RefCount == 0) {
    TSkinTheme* t = rec->Instance;
    rec->Instance = nullptr;
    delete t;
    Theme = nullptr;
  }
}

int SkinThemeRefCount(const String& Name) {
  ThemeRecord* r = FindRecord(Name);
  return r ? r->RefCount : 0;
}

// ---- parameters and broadcasts ------------------------------------------------------------------
void SetSkinSysParam(int Param, int Value) {
  TSkinThemeManager* m = Manager();
  if (Param == 1) {
    if (Value == m->flatMenu) return;
    m->flatMenu = Value;
  } else if (Param == 2) {
    uint8_t b = Value == 0 ? 1 : 0;
    if (b == m->styles) return;
    m->styles = b;
  } else {
    return;
  }
  m->Recompute();
  m->Notify();
}

HWND SkinSysChangeWindow() { return Manager()->wnd_; }

int GetSkinSysParam(int Param) {
  TSkinThemeManager* m = Manager();
  if (Param == 1) return m->flatMenu;
  if (Param == 2) return m->styles == 1 ? 0 : 2;
  return -1;
}

void SkinRecomputeAndNotify() {
  TSkinThemeManager* m = Manager();
  m->Recompute();
  m->Notify();
}

void AddSkinSysChangeNotification(TObject* AObject) {
  auto& l = Manager()->listeners;
  if (std::find(l.begin(), l.end(), AObject) == l.end()) l.push_back(AObject);
}

void RemoveSkinSysChangeNotification(TObject* AObject) {
  if (!g_manager) return;
  auto& l = g_manager->listeners;
  l.erase(std::remove(l.begin(), l.end(), AObject), l.end());
}

void InitSkin() {
  if (g_skinInited) return;
  g_skinInited = true;
  Manager();
  if (!IsSkinThemeAvailable(L"Default")) RegisterSkinTheme(L"Default", &CreateSkinDefaultTheme);
  g_nexus = new TSkinNexus();
  AddSkinColor(&clSkinHotLight, L"clHotLight");
  AddSkinColor(&clMoneyGreen, L"clMoneyGreen");
  AddSkinColor(&clSkyBlue, L"clSkyBlue");
  AddSkinColor(&clCream, L"clCream");
  AddSkinColor(&clMedGray, L"clMedGray");
}

void FinalizeSkin() {
  if (!g_skinInited) return;
  g_skinInited = false;
  delete g_nexus;
  g_nexus = nullptr;
  ClearSkinColors();
  delete g_manager;
  g_manager = nullptr;
  for (auto& r : Registry()) delete r.Instance;
  Registry().clear();
}

void AddThemeNotification(TObject* AObject) {
  InitSkin();
  auto& l = g_nexus->listeners;
  if (std::find(l.begin(), l.end(), AObject) == l.end()) l.push_back(AObject);
}

void RemoveThemeNotification(TObject* AObject) {
  if (!g_nexus) return;
  auto& l = g_nexus->listeners;
  l.erase(std::remove(l.begin(), l.end(), AObject), l.end());
}

void SkinSetTheme(const String& Name) {
  InitSkin();
  if (!IsSkinThemeAvailable(Name)) return;
  TSkinTheme* next = GetSkinTheme(Name);
  if (CurrentTheme) ReleaseSkinTheme(CurrentTheme);
  CurrentTheme = next;
  for (WPARAM w = 1; w <= 3; ++w) SendToAll(g_nexus->listeners, BarMThemeChange, w, 1);
}

String SkinCurrentTheme() {
  InitSkin();
  return CurrentTheme ? CurrentTheme->Name : String();
}

TSkinTheme* CurrentSkinTheme() {
  InitSkin();
  return CurrentTheme;
}

// ---- views and colours ------------------------------------------------------------------------------
int GetWinViewType(TControl* Control) {
  if (!Control) return 0;
  TMessage m{BarMGetViewType, 0, 0, 0};
  SkinDispatch(Control, m);
  return static_cast<int>(m.Result);
}

int GetViewType(TBarView* View) { return View ? GetWinViewType(View->Window) : 0; }

TColor GetEffectiveColor(TControl* Control) {
  if (!Control) return clBtnFace;
  TMessage m{BarMGetEffectiveColor, 0, 0, 0};
  SkinDispatch(Control, m);
  if (m.Result != 0) return static_cast<TColor>(m.WParam);
  if (auto* f = dynamic_cast<TCustomForm*>(Control))
    if (f->GetFormStyle() == fsMDIForm) return clBtnFace;
  return Control->GetColor();
}

unsigned GetStateFlags(const TSkinItemInfo& I) {
  unsigned f = 0;
  if (!I.Enabled) f |= ISF_DISABLED;
  if (I.HoverKind == hkMouseHover) f |= ISF_HOT;
  if (I.Pushed) f |= ISF_PUSHED;
  if (I.Selected) f |= ISF_SELECTED;
  return f;
}

TColor GetSkinTextColor(unsigned StateFlags) {
  TSkinItemInfo I;
  I.ViewType = (StateFlags & 16) ? VT_PANEL : VT_TOOLBAR;
  I.ItemOptions = IO_TOOLBARSTYLE;
  I.Enabled = !(StateFlags & ISF_DISABLED);
  I.Pushed = (StateFlags & ISF_PUSHED) != 0;
  I.HoverKind = (StateFlags & ISF_HOT) ? hkMouseHover : hkNone;
  I.Selected = (StateFlags & ISF_SELECTED) != 0;
  return CurrentSkinTheme()->GetItemTextColor(I);
}

// ---- geometry ------------------------------------------------------------------------------------
void GetSkinCaptionRect(const TSkinWindowInfo& W, bool AdjustForBorder, bool MinusCloseButton, RECT& R) {
  R = RECT{0, 0, W.ClientWidth, GetSystemMetrics(SM_CYSMCAPTION) - 1};
  if (MinusCloseButton) R.right -= R.bottom - R.top;
  if (AdjustForBorder) OffsetRect(&R, W.FloatingBorderSize.x, W.FloatingBorderSize.y);
}

void GetSkinCloseButtonRect(const TSkinWindowInfo& W, bool AdjustForBorder, RECT& R) {
  GetSkinCaptionRect(W, AdjustForBorder, false, R);
  R.left = R.right - (R.bottom - R.top);
}

int GetSkinDragHandleSize(const TSkinToolbarInfo& T) {
  if (!T.AllowDrag) return 0;
  if (T.CloseButtonState & 1) return 14;
  switch (T.DragHandleStyle) {
    case dhDouble: return 9;
    case dhNone: return 0;
    default: return 6;
  }
}

void GetSkinDockedCloseButtonRect(const TSkinToolbarInfo& T, RECT& R) {
  int size = GetSkinDragHandleSize(T) - 1;
  if (!T.IsVertical)
    R = RECT{T.BorderSize.x, T.BorderSize.y, T.BorderSize.x + size, T.BorderSize.y + size};
  else {
    int x = T.ClientWidth + T.BorderSize.x - size;
    R = RECT{x, T.BorderSize.y, x + size, T.BorderSize.y + size};
  }
}
