#include "ThemeManager/ThemeSrv.h"

#include <shlwapi.h>

#include "classlib/Forms.h"

namespace {

const wchar_t* const kThemeClassNames[] = {L"button", L"clock", L"combobox", L"edit", L"explorerbar", L"header", L"listview", L"menu", L"page", L"progress", L"rebar", L"scrollbar", L"spin", L"startpanel", L"status", L"tab", L"taskband", L"taskbar", L"toolbar", L"tooltip", L"trackbar", L"traynotify", L"treeview", L"window"};

const int kTThemedButtonParts[] = {2, 7, 15, 27, 29};
const int kTThemedClockParts[] = {2};
const int kTThemedComboBoxParts[] = {2};
const int kTThemedEditParts[] = {2, 9};
const int kTThemedExplorerBarParts[] = {2, 5, 11, 14, 17, 18, 21, 24, 25, 26, 29, 32};
const int kTThemedHeaderParts[] = {2, 5, 8, 11};
const int kTThemedListviewParts[] = {2, 7, 8, 9, 10};
const int kTThemedMenuParts[] = {2, 5, 6, 7, 8, 9};
const int kTThemedPageParts[] = {2, 6, 10, 14};
const int kTThemedProgressParts[] = {2, 3, 4, 5};
const int kTThemedRebarParts[] = {2, 3, 4, 10, 14};
const int kTThemedScrollBarParts[] = {2, 18, 22, 26, 30, 34, 38, 42, 46, 50};
const int kTThemedSpinParts[] = {2, 6, 10, 14};
const int kTThemedStartPanelParts[] = {2, 3, 4, 7, 8, 9, 10, 11, 12, 15, 16};
const int kTThemedStatusParts[] = {2, 3, 4};
const int kTThemedTabParts[] = {2, 7, 12, 17, 22, 27, 32, 37, 42, 43};
const int kTThemedTaskBandParts[] = {2, 3, 4};
const int kTThemedTaskBarParts[] = {2};
const int kTThemedToolBarParts[] = {2, 8, 14, 20, 26, 32};
const int kTThemedToolTipParts[] = {2, 4, 6, 8, 10};
const int kTThemedTrackBarParts[] = {2, 3, 4, 9, 14, 19, 24, 29, 34, 35};
const int kTThemedTrayNotifyParts[] = {2, 3};
const int kTThemedTreeviewParts[] = {2, 7, 9};
const int kTThemedWindowParts[] = {2, 5, 8, 11, 14, 17, 20, 22, 24, 26, 28, 30, 32, 36, 40, 44, 48, 52, 56, 60, 64, 68, 72, 76, 80, 84, 88, 92, 96, 97, 98, 99, 100, 101, 102, 103, 104};

// Part = the part whose value range holds Value (0 before the first part);
// State counts from 1 within the part.
template <size_t N>
TThemedElementDetails Details(TThemedElement e, int value, const int (&parts)[N]) {
  TThemedElementDetails d;
  d.Element = e;
  int first = 0;
  for (size_t i = 0; i < N; ++i)
    if (value >= parts[i]) {
      d.Part = int(i) + 1;
      first = parts[i];
    }
  d.State = value - first + 1;
  return d;
}

TThemeServices* services_ = nullptr;
TThemeServices* subclassing_ = nullptr;  // the object behind SubclassProc

DWORD SystemComCtlVersion() {
  HMODULE m = ::GetModuleHandleW(L"comctl32.dll");
  if (!m) return 0;
  auto get = reinterpret_cast<DLLGETVERSIONPROC>(reinterpret_cast<void*>(::GetProcAddress(m, "DllGetVersion")));
  if (!get) return 0;
  DLLVERSIONINFO info{};
  info.cbSize = sizeof(info);
  if (FAILED(get(&info))) return 0;
  return MAKELONG(info.dwMinorVersion, info.dwMajorVersion);
}
TComCtlVersionProvider comCtlVersion_ = nullptr;

struct Finalizer {
  ~Finalizer() { FreeThemeServices(); }
} finalizer_;

}  // namespace

TComCtlVersionProvider SetComCtlVersionProvider(TComCtlVersionProvider p) {
  TComCtlVersionProvider old = comCtlVersion_;
  comCtlVersion_ = p;
  return old;
}

DWORD GetComCtlVersion() { return comCtlVersion_ ? comCtlVersion_() : SystemComCtlVersion(); }

#define ZEMBRIO_DETAILS_DEF(Enum, Elem)                                  \
  TThemedElementDetails TThemeServices::GetElementDetails(Enum Value) { \
    return Details(Elem, int(Value), k##Enum##Parts);                   \
  }
ZEMBRIO_THEMED_ENUMS(ZEMBRIO_DETAILS_DEF)
#undef ZEMBRIO_DETAILS_DEF

TThemeServices::TThemeServices(HWND Window) {
  if (Window && !subclassing_) {
    window_ = Window;
    subclassing_ = this;
    oldProc_ = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(Window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TThemeServices::SubclassProc)));
  }
  libraryAvailable_ = InitThemeLibrary();
  UpdateThemes();
}

TThemeServices::~TThemeServices() {
  Unsubclass();
  UnloadThemeData();
  FreeThemeLibrary();
}

void TThemeServices::Unsubclass() {
  if (!window_) return;
  // Put the old procedure back only while ours is still the one installed;
  // someone who subclassed after us keeps theirs.
  if (::IsWindow(window_) &&
      reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(window_, GWLP_WNDPROC)) == &TThemeServices::SubclassProc)
    ::SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(oldProc_));
  if (subclassing_ == this) subclassing_ = nullptr;
  window_ = nullptr;
}

LRESULT CALLBACK TThemeServices::SubclassProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
  TThemeServices* self = subclassing_;
  if (!self || self->window_ != h) return ::DefWindowProcW(h, msg, w, l);
  return self->WindowProc(msg, w, l);
}

LRESULT TThemeServices::WindowProc(UINT Msg, WPARAM W, LPARAM L) {
  HWND h = window_;
  WNDPROC old = oldProc_;
  if (Msg == WM_DESTROY) Unsubclass();
  else if (Msg == WM_THEMECHANGED) {
    try {
      UpdateThemes();
      DoOnThemeChange();
    } catch (...) {
      if (Application) Application->HandleException(this);
    }
  }
  return old ? ::CallWindowProcW(old, h, Msg, W, L) : ::DefWindowProcW(h, Msg, W, L);
}

void TThemeServices::DoOnThemeChange() {
  if (OnThemeChange) OnThemeChange(this);
}

void TThemeServices::UpdateThemes() {
  if (themesAvailable_) UnloadThemeData();
  themesAvailable_ = UseThemes() && GetComCtlVersion() >= ComCtlVersion6;
  controlsThemed_ = themesAvailable_ && uxtheme::GetThemeAppProperties &&
                    (uxtheme::GetThemeAppProperties() & STAP_ALLOW_CONTROLS) != 0;
}

HTHEME TThemeServices::GetTheme(TThemedElement Element) {
  if (!themesAvailable_ || unsigned(Element) >= unsigned(ThemedElementCount)) return nullptr;
  if (!themes_[Element] && uxtheme::OpenThemeData)
    themes_[Element] = uxtheme::OpenThemeData(window_, kThemeClassNames[Element]);
  return themes_[Element];
}

void TThemeServices::UnloadThemeData() {
  for (HTHEME& t : themes_)
    if (t) {
      if (uxtheme::CloseThemeData) uxtheme::CloseThemeData(t);
      t = nullptr;
    }
}

COLORREF TThemeServices::ColorToRGB(TColor Color, const TThemedElementDetails* Details) {
  if (Color >= 0 || !Details) return COLORREF(Color);
  HTHEME t = GetTheme(Details->Element);
  if (!t || !uxtheme::GetThemeSysColor) return ::GetSysColor(int(Color & 0xFF));
  return uxtheme::GetThemeSysColor(t, int(Color & 0x7FFFFFFF));
}

TRect TThemeServices::ContentRect(HDC DC, const TThemedElementDetails& Details, const TRect& BoundingRect) {
  TRect r = BoundingRect;
  HTHEME t = GetTheme(Details.Element);
  if (t && uxtheme::GetThemeBackgroundContentRect) {
    RECT in = BoundingRect, out = BoundingRect;
    if (SUCCEEDED(uxtheme::GetThemeBackgroundContentRect(t, DC, Details.Part, Details.State, &in, &out))) r = out;
  }
  return r;
}

void TThemeServices::DrawEdge(HDC DC, const TThemedElementDetails& Details, const TRect& R, UINT Edge,
                              UINT Flags, TRect* ContentRect) {
  HTHEME t = GetTheme(Details.Element);
  if (!t || !uxtheme::DrawThemeEdge) return;
  RECT r = R, c = R;
  uxtheme::DrawThemeEdge(t, DC, Details.Part, Details.State, &r, Edge, Flags, &c);
  if (ContentRect) *ContentRect = c;
}

void TThemeServices::DrawElement(HDC DC, const TThemedElementDetails& Details, const TRect& R,
                                 const TRect* ClipRect) {
  HTHEME t = GetTheme(Details.Element);
  if (!t || !uxtheme::DrawThemeBackground) return;
  RECT r = R, clip = ClipRect ? RECT(*ClipRect) : RECT{};
  uxtheme::DrawThemeBackground(t, DC, Details.Part, Details.State, &r, ClipRect ? &clip : nullptr);
}

void TThemeServices::DrawIcon(HDC DC, const TThemedElementDetails& Details, const TRect& R, HIMAGELIST Images,
                              int Index) {
  HTHEME t = GetTheme(Details.Element);
  if (!t || !uxtheme::DrawThemeIcon) return;
  RECT r = R;
  uxtheme::DrawThemeIcon(t, DC, Details.Part, Details.State, &r, Images, Index);
}

void TThemeServices::DrawText(HDC DC, const TThemedElementDetails& Details, const String& S, const TRect& R,
                              DWORD Flags, DWORD Flags2) {
  HTHEME t = GetTheme(Details.Element);
  if (!t || !uxtheme::DrawThemeText) return;
  RECT r = R;
  uxtheme::DrawThemeText(t, DC, Details.Part, Details.State, S.c_str(), int(S.size()), Flags, Flags2, &r);
}

bool TThemeServices::HasTransparentParts(const TThemedElementDetails& Details) {
  HTHEME t = GetTheme(Details.Element);
  return t && uxtheme::IsThemeBackgroundPartiallyTransparent &&
         uxtheme::IsThemeBackgroundPartiallyTransparent(t, Details.Part, Details.State);
}

void TThemeServices::DrawParentBackground(HWND Window, HDC Target, const TThemedElementDetails* Details,
                                          bool OnlyIfTransparent, const TRect* Bounds) {
  if (!uxtheme::DrawThemeParentBackground) return;
  if (OnlyIfTransparent && Details && !HasTransparentParts(*Details)) return;
  RECT b = Bounds ? RECT(*Bounds) : RECT{};
  uxtheme::DrawThemeParentBackground(Window, Target, Bounds ? &b : nullptr);
}

void TThemeServices::PaintBorder(TWinControl* Control, bool EraseLRCorner) {
  if (!Control || !Control->HandleAllocated()) return;
  HWND h = Control->GetHandle();
  if ((::GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) == 0) return;
  RECT wr;
  ::GetWindowRect(h, &wr);
  TRect r(0, 0, wr.right - wr.left, wr.bottom - wr.top);
  HDC dc = ::GetWindowDC(h);
  if (!dc) return;
  LONG_PTR style = ::GetWindowLongPtrW(h, GWL_STYLE);
  if (EraseLRCorner && (style & WS_HSCROLL) && (style & WS_VSCROLL)) {
    RECT inner{r.left + 2, r.top + 2, r.right - 2, r.bottom - 2};
    RECT corner{inner.right - ::GetSystemMetrics(SM_CXVSCROLL), inner.bottom - ::GetSystemMetrics(SM_CYHSCROLL),
                inner.right, inner.bottom};
    ::FillRect(dc, &corner, ::GetSysColorBrush(COLOR_BTNFACE));
  }
  ::ExcludeClipRect(dc, r.left + 2, r.top + 2, r.right - 2, r.bottom - 2);
  DrawElement(dc, GetElementDetails(teEditTextNormal), r);
  ::ReleaseDC(h, dc);
}

TThemeServices* ThemeServices() {
  if (!services_) services_ = new TThemeServices(Application ? Application->Handle() : nullptr);
  return services_;
}

void FreeThemeServices() {
  TThemeServices* s = services_;
  services_ = nullptr;
  delete s;
}
