#include "toolbars/BarUtilsWin.h"

#include "classlib/Controls.h"

#include <mmsystem.h>

#include <cstdlib>
#include <cwchar>


void BarDrawDesignOutline(TCanvas* Canvas, const RECT& R) {
  Canvas->Pen()->SetStyle(psDot);
  Canvas->Pen()->SetColor(clBtnShadow);
  Canvas->Brush()->SetStyle(bsClear);
  Canvas->Rectangle(R.left, R.top, R.right, R.bottom);
  Canvas->Pen()->SetStyle(psSolid);
}

int GetTextHeight(HDC DC) {
  TEXTMETRICW tm{};
  GetTextMetricsW(DC, &tm);
  return tm.tmHeight;
}

int GetTextWidth(HDC DC, const String& S, bool Prefix) {
  String t = Prefix ? StripAccelChars(S) : S;
  SIZE sz{};
  GetTextExtentPoint32W(DC, t.c_str(), static_cast<int>(t.size()), &sz);
  return sz.cx;
}

namespace {
int CALLBACK FontExistsProc(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM Data) {
  *reinterpret_cast<bool*>(Data) = true;
  return 0;
}
}  // namespace

HFONT CreateRotatedFont(HDC DC) {
  LOGFONTW lf{};
  HGDIOBJ cur = GetCurrentObject(DC, OBJ_FONT);
  if (!cur || GetObjectW(cur, sizeof(lf), &lf) == 0) return 0;
  lf.lfEscapement = 2700;
  lf.lfOrientation = 2700;
  lf.lfOutPrecision = OUT_TT_ONLY_PRECIS;
  if (_wcsicmp(lf.lfFaceName, L"MS Sans Serif") == 0 ||
      _wcsicmp(lf.lfFaceName, L"Microsoft Sans Serif") == 0)
    wcscpy(lf.lfFaceName, L"Arial");
  size_t len = wcslen(lf.lfFaceName);
  if (len < 31) {
    wchar_t vert[LF_FACESIZE] = L"@";
    wcscat(vert, lf.lfFaceName);
    bool found = false;
    EnumFontsW(DC, vert, FontExistsProc, reinterpret_cast<LPARAM>(&found));
    if (found) wcscpy(lf.lfFaceName, vert);
  }
  return CreateFontIndirectW(&lf);
}

void DrawRotatedText(HDC DC, const String& AText, const RECT& ARect, UINT AFormat) {
  if (AText.empty()) return;
  HFONT rot = CreateRotatedFont(DC);
  HGDIOBJ oldFont = rot ? SelectObject(DC, rot) : nullptr;
  TEXTMETRICW tm{};
  GetTextMetricsW(DC, &tm);
  int X = ARect.left + ((ARect.right - ARect.left) - tm.tmHeight) / 2;
  String text = AText;
  int accel = -1;
  if (!(AFormat & DT_NOPREFIX)) {
    String t;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == L'&') {
        if (i + 1 < text.size() && text[i + 1] == L'&') {
          t += L'&';
          ++i;
        } else if (i + 1 < text.size()) {
          accel = static_cast<int>(t.size());
        }
        continue;
      }
      t += text[i];
    }
    text = t;
  }
  int H = ARect.bottom - ARect.top;
  auto extent = [&](const String& s) {
    SIZE sz{};
    GetTextExtentPoint32W(DC, s.c_str(), static_cast<int>(s.size()), &sz);
    return static_cast<int>(sz.cx);
  };
  if ((AFormat & DT_END_ELLIPSIS) && text.size() > 1 && extent(text) > H) {
    if (H < 3) {
      text = text.substr(0, 1);
    } else {
      text.pop_back();
      while (text.size() > 1 && extent(text + L"...") > H) text.pop_back();
    }
    text += L"...";
    if (accel >= static_cast<int>(text.size()) - 3) accel = -1;
  }
  int Y = ARect.top;
  if (AFormat & DT_CENTER) Y = ARect.top + (H - extent(text)) / 2;
  bool clip = !(AFormat & DT_NOCLIP);
  int saved = 0;
  if (clip) {
    saved = SaveDC(DC);
    IntersectClipRect(DC, ARect.left, ARect.top, ARect.right, ARect.bottom);
  }
  UINT oldAlign = SetTextAlign(DC, TA_BOTTOM);
  TextOutW(DC, X, Y, text.c_str(), static_cast<int>(text.size()));
  SetTextAlign(DC, oldAlign);
  if (accel >= 0 && !(AFormat & DT_HIDEPREFIX)) {
    int W1 = extent(text.substr(0, accel));
    int W2 = W1 + extent(text.substr(accel, 1));
    HPEN pen = CreatePen(PS_SOLID, 1, GetTextColor(DC));
    HGDIOBJ oldPen = SelectObject(DC, pen);
    MoveToEx(DC, X + tm.tmDescent - 2, Y + W1, nullptr);
    LineTo(DC, X + tm.tmDescent - 2, Y + W2);
    SelectObject(DC, oldPen);
    DeleteObject(pen);
  }
  if (clip) RestoreDC(DC, saved);
  if (rot) {
    SelectObject(DC, oldFont);
    DeleteObject(rot);
  }
}

void ProcessPaintMessages() {
  MSG msg;
  while (PeekMessageW(&msg, 0, WM_PAINT, WM_PAINT, PM_NOREMOVE)) {
    if (msg.message == WM_QUIT) {
      // Take it out and put it back so the application's loop still ends.
      PeekMessageW(&msg, 0, WM_QUIT, WM_QUIT, PM_REMOVE);
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    BOOL r = GetMessageW(&msg, 0, WM_PAINT, WM_PAINT);
    if (r == -1) return;
    if (r == 0) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    DispatchMessageW(&msg);
  }
}

void RemoveMessages(UINT AMin, UINT AMax) {
  MSG msg;
  while (PeekMessageW(&msg, 0, AMin, AMax, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
  }
}

namespace {
void PrintOne(HWND Parent, HWND Child, HDC DC, LPARAM Flags) {
  RECT r;
  GetWindowRect(Child, &r);
  MapWindowPoints(0, Parent, reinterpret_cast<POINT*>(&r), 2);
  int s = SaveDC(DC);
  POINT org;
  GetWindowOrgEx(DC, &org);
  SetWindowOrgEx(DC, org.x - r.left, org.y - r.top, nullptr);
  IntersectClipRect(DC, 0, 0, r.right - r.left, r.bottom - r.top);
  SendMessageW(Child, WM_PRINT, reinterpret_cast<WPARAM>(DC), Flags);
  RestoreDC(DC, s);
}

struct OwnedEnum {
  HWND owner;
  HDC dc;
  LPARAM flags;
};

BOOL CALLBACK PrintOwnedProc(HWND W, LPARAM Data) {
  auto* e = reinterpret_cast<OwnedEnum*>(Data);
  if (GetWindow(W, GW_OWNER) == e->owner && IsWindowVisible(W)) PrintOne(e->owner, W, e->dc, e->flags);
  return TRUE;
}
}  // namespace

void HandleWMPrintClient(TWinControl* Control, TMessage& Message) {
  HDC DC = reinterpret_cast<HDC>(Message.WParam);
  int saved = SaveDC(DC);
  TMessage paint{WM_PAINT, Message.WParam, 0, 0};
  Control->PaintHandler(paint);
  RestoreDC(DC, saved);
  Message.Result = 0;
}

LRESULT HandleWMPrint(HWND Wnd, WPARAM WParam, LPARAM LParam, TBarNCPaintProc NCPaintFunc,
                      LPARAM AppData) {
  HDC DC = reinterpret_cast<HDC>(WParam);
  if ((LParam & PRF_CHECKVISIBLE) && !IsWindowVisible(Wnd)) return 1;
  int saved = SaveDC(DC);
  if ((LParam & PRF_NONCLIENT) && NCPaintFunc) {
    int s = SaveDC(DC);
    NCPaintFunc(Wnd, DC, AppData);
    RestoreDC(DC, s);
  }
  RECT wr;
  GetWindowRect(Wnd, &wr);
  POINT origin{0, 0};
  ClientToScreen(Wnd, &origin);
  POINT offset{origin.x - wr.left, origin.y - wr.top};
  if (LParam & PRF_CLIENT) {
    auto shifted = [&](UINT msg) {
      int s = SaveDC(DC);
      if (LParam & PRF_NONCLIENT) {
        POINT org;
        GetWindowOrgEx(DC, &org);
        SetWindowOrgEx(DC, org.x - offset.x, org.y - offset.y, nullptr);
      }
      SendMessageW(Wnd, msg, WParam, msg == WM_PRINTCLIENT ? LParam : 0);
      RestoreDC(DC, s);
    };
    if (LParam & PRF_ERASEBKGND) shifted(WM_ERASEBKGND);
    shifted(WM_PRINTCLIENT);
    POINT org;
    GetWindowOrgEx(DC, &org);
    SetWindowOrgEx(DC, org.x - offset.x, org.y - offset.y, nullptr);
    if (LParam & PRF_CHILDREN) {
      for (HWND c = GetWindow(Wnd, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if (GetParent(c) == Wnd && IsWindowVisible(c))
          PrintOne(Wnd, c, DC, PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
    }
    if (LParam & PRF_OWNED) {
      OwnedEnum e{Wnd, DC, LParam};
      EnumThreadWindows(GetCurrentThreadId(), PrintOwnedProc, reinterpret_cast<LPARAM>(&e));
    }
  }
  RestoreDC(DC, saved);
  return 1;
}

void SelectNCUpdateRgn(HWND Wnd, HDC DC, HRGN Rgn) {
  if (Rgn == 0 || Rgn == reinterpret_cast<HRGN>(1)) return;
  RECT wr;
  GetWindowRect(Wnd, &wr);
  if (SelectClipRgn(DC, Rgn) == ERROR) {
    HRGN r = CreateRectRgnIndirect(&wr);
    SelectClipRgn(DC, r);
    DeleteObject(r);
  }
  OffsetClipRgn(DC, -wr.left, -wr.top);
}

HRGN CreateNullRegion() { return CreateRectRgn(0, 0, 0, 0); }

HBRUSH CreateHalftoneBrush() {
  WORD pattern[8];
  for (int i = 0; i < 8; ++i) pattern[i] = (i & 1) ? 0xAAAA : 0x5555;
  HBITMAP bmp = CreateBitmap(8, 8, 1, 1, pattern);
  HBRUSH b = CreatePatternBrush(bmp);
  DeleteObject(bmp);
  return b;
}

namespace {
HRGN FrameRegion(const RECT& R, SIZE S) {
  HRGN outer = CreateRectRgnIndirect(&R);
  RECT in{R.left + S.cx, R.top + S.cy, R.right - S.cx, R.bottom - S.cy};
  RECT inner;
  if (!IntersectRect(&inner, &in, &R)) SetRectEmpty(&inner);
  HRGN innerRgn = CreateRectRgnIndirect(&inner);
  CombineRgn(outer, outer, innerRgn, RGN_XOR);
  DeleteObject(innerRgn);
  return outer;
}
}  // namespace

void DrawInvertRect(HDC DC, const RECT* NewRect, const RECT* OldRect, SIZE NewSize, SIZE OldSize,
                    HBRUSH Brush, HBRUSH BrushLast) {
  HRGN rgnNew = NewRect ? FrameRegion(*NewRect, NewSize) : CreateNullRegion();
  if (!BrushLast) BrushLast = Brush;
  HRGN rgnOld = 0, rgnUpdate = 0;
  if (OldRect) {
    rgnOld = FrameRegion(*OldRect, OldSize);
    if (Brush == BrushLast) {
      rgnUpdate = CreateNullRegion();
      CombineRgn(rgnUpdate, rgnOld, rgnNew, RGN_XOR);
    }
  }
  int saved = SaveDC(DC);
  RECT box;
  if (Brush != BrushLast && rgnOld) {
    SelectClipRgn(DC, rgnOld);
    SelectObject(DC, BrushLast);
    GetClipBox(DC, &box);
    PatBlt(DC, box.left, box.top, box.right - box.left, box.bottom - box.top, PATINVERT);
  }
  SelectClipRgn(DC, rgnUpdate ? rgnUpdate : rgnNew);
  SelectObject(DC, Brush);
  GetClipBox(DC, &box);
  PatBlt(DC, box.left, box.top, box.right - box.left, box.bottom - box.top, PATINVERT);
  RestoreDC(DC, saved);
  DeleteObject(rgnNew);
  if (rgnOld) DeleteObject(rgnOld);
  if (rgnUpdate) DeleteObject(rgnUpdate);
}

void DrawHalftoneInvertRect(HDC DC, const RECT* NewRect, const RECT* OldRect, SIZE NewSize,
                            SIZE OldSize) {
  HBRUSH b = CreateHalftoneBrush();
  DrawInvertRect(DC, NewRect, OldRect, NewSize, OldSize, b, 0);
  DeleteObject(b);
}

RECT GetRectOfPrimaryMonitor(bool WorkArea) {
  RECT r;
  if (WorkArea && SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0)) return r;
  return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

bool UsingMultipleMonitors() {
  int n = GetSystemMetrics(SM_CMONITORS);
  return n != 0 && n != 1;
}

namespace {
RECT FromMonitor(HMONITOR M, bool WorkArea) {
  MONITORINFO mi{};
  mi.cbSize = sizeof(mi);
  if (M && GetMonitorInfoW(M, &mi)) return WorkArea ? mi.rcWork : mi.rcMonitor;
  return GetRectOfPrimaryMonitor(WorkArea);
}
}  // namespace

RECT GetRectOfMonitorContainingRect(const RECT& R, bool WorkArea) {
  if (!UsingMultipleMonitors()) return GetRectOfPrimaryMonitor(WorkArea);
  return FromMonitor(MonitorFromRect(&R, MONITOR_DEFAULTTONEAREST), WorkArea);
}

RECT GetRectOfMonitorContainingPoint(POINT P, bool WorkArea) {
  if (!UsingMultipleMonitors()) return GetRectOfPrimaryMonitor(WorkArea);
  return FromMonitor(MonitorFromPoint(P, MONITOR_DEFAULTTONEAREST), WorkArea);
}

RECT GetRectOfMonitorContainingWindow(HWND Wnd, bool WorkArea) {
  if (!UsingMultipleMonitors()) return GetRectOfPrimaryMonitor(WorkArea);
  return FromMonitor(MonitorFromWindow(Wnd, MONITOR_DEFAULTTONEAREST), WorkArea);
}

namespace {
using TrackMouseEventFn = BOOL(WINAPI*)(LPTRACKMOUSEEVENT);
TrackMouseEventFn g_trackMouseEvent = nullptr;
bool g_trackMouseEventInit = false;
}  // namespace

void InitTrackMouseEvent() {
  if (g_trackMouseEventInit) return;
  g_trackMouseEventInit = true;
  if (HMODULE u = GetModuleHandleW(L"user32.dll"))
    g_trackMouseEvent = reinterpret_cast<TrackMouseEventFn>(
        reinterpret_cast<void*>(GetProcAddress(u, "TrackMouseEvent")));
  if (!g_trackMouseEvent) {
    if (HMODULE c = LoadLibraryW(L"comctl32.dll"))
      g_trackMouseEvent = reinterpret_cast<TrackMouseEventFn>(
          reinterpret_cast<void*>(GetProcAddress(c, "_TrackMouseEvent")));
  }
}

bool CallTrackMouseEvent(HWND Wnd, DWORD Flags) {
  InitTrackMouseEvent();
  if (!g_trackMouseEvent) return false;
  TRACKMOUSEEVENT t{};
  t.cbSize = sizeof(t);
  t.dwFlags = Flags;
  t.hwndTrack = Wnd;
  t.dwHoverTime = 0;
  return g_trackMouseEvent(&t) != FALSE;
}

int BarReadMenuShowDelay(HKEY Root, const wchar_t* SubKey) {
  HKEY k;
  if (RegOpenKeyExW(Root, SubKey, 0, KEY_QUERY_VALUE, &k) != ERROR_SUCCESS) return 400;
  wchar_t buf[17] = {};
  DWORD type = 0, size = 32;
  LONG r = RegQueryValueExW(k, L"MenuShowDelay", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(k);
  if (r == ERROR_FILE_NOT_FOUND) return 400;
  if (r != ERROR_SUCCESS || type != REG_SZ) return 0;
  buf[16] = 0;
  wchar_t* end = nullptr;
  long v = wcstol(buf, &end, 10);
  if (end == buf || *end != 0) return 0;
  return v < 0 ? 0 : static_cast<int>(v);
}

int GetMenuShowDelay() {
  static bool cached = false;
  static int registryDelay = 0;
  int v = 0;
  if (SystemParametersInfoW(SPI_GETMENUSHOWDELAY, 0, &v, 0)) return v < 0 ? 0 : v;
  if (!cached) {
    registryDelay = BarReadMenuShowDelay(HKEY_CURRENT_USER, L"Control Panel\\Desktop");
    cached = true;
  }
  return registryDelay;
}

namespace {
OSVERSIONINFOW OsVersion() {
  OSVERSIONINFOW v{};
  v.dwOSVersionInfoSize = sizeof(v);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  GetVersionExW(&v);
#pragma GCC diagnostic pop
  return v;
}
}  // namespace

bool IsWindowsXP() {
  OSVERSIONINFOW v = OsVersion();
  return v.dwPlatformId == VER_PLATFORM_WIN32_NT &&
         (v.dwMajorVersion >= 6 || (v.dwMajorVersion == 5 && v.dwMinorVersion >= 1));
}

bool AreFlatMenusEnabled() {
  BOOL flat = FALSE;
  return IsWindowsXP() && SystemParametersInfoW(SPI_GETFLATMENU, 0, &flat, 0) && flat;
}

bool AreKeyboardCuesEnabled() {
  OSVERSIONINFOW v = OsVersion();
  BOOL cues = TRUE;
  if (v.dwMajorVersion >= 5 && SystemParametersInfoW(SPI_GETKEYBOARDCUES, 0, &cues, 0) && !cues)
    return false;
  return true;
}

UINT GetInputLocaleCodePage() {
  wchar_t buf[16] = {};
  LCID lcid = MAKELCID(LOWORD(reinterpret_cast<UINT_PTR>(GetKeyboardLayout(0))), SORT_DEFAULT);
  if (GetLocaleInfoW(lcid, LOCALE_IDEFAULTANSICODEPAGE, buf, 16) == 0) return 0;
  wchar_t* end = nullptr;
  unsigned long cp = wcstoul(buf, &end, 10);
  if (end == buf || !IsValidCodePage(static_cast<UINT>(cp))) return 0;
  return static_cast<UINT>(cp);
}

bool BarSoundAliasHasFile(HKEY Root, const String& SchemeKey) {
  HKEY k;
  if (RegOpenKeyExW(Root, SchemeKey.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  BYTE buf[8] = {};
  DWORD size = sizeof(buf), type = 0;
  LONG r = RegQueryValueExW(k, nullptr, nullptr, &type, buf, &size);
  RegCloseKey(k);
  if (r == ERROR_MORE_DATA) return true;
  if (r != ERROR_SUCCESS) return false;
  return size >= 2 && (buf[0] != 0 || buf[1] != 0);
}

bool NeedToPlaySound(const String& Alias) {
  OSVERSIONINFOW v = OsVersion();
  if (!(v.dwPlatformId == VER_PLATFORM_WIN32_NT && v.dwMajorVersion >= 5)) return true;
  return BarSoundAliasHasFile(HKEY_CURRENT_USER,
                              L"AppEvents\\Schemes\\Apps\\.Default\\" + Alias + L"\\.Current");
}

bool ApplicationIsActive() { return GetActiveWindow() != 0; }

BOOL(WINAPI* BarSystemParametersInfo)(UINT, UINT, PVOID, UINT) = SystemParametersInfoW;

LOGFONTW BarGetMenuLogFont() {
  // The structure grew a field on later systems; ask with the full size and,
  // when the system refuses it, with the size that older systems expect.
  NONCLIENTMETRICSW m{};
  UINT sizes[2] = {sizeof(NONCLIENTMETRICSW),
                   static_cast<UINT>(offsetof(NONCLIENTMETRICSW, iPaddedBorderWidth))};
  for (UINT sz : sizes) {
    m = NONCLIENTMETRICSW{};
    m.cbSize = sz;
    if (BarSystemParametersInfo(SPI_GETNONCLIENTMETRICS, sz, &m, 0)) return m.lfMenuFont;
  }
  LOGFONTW lf{};
  GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
  return lf;
}

bool TrackFrameButton(HWND Wnd, const std::function<RECT()>& ButtonRect,
                      const std::function<void(bool Pushed)>& SetPushed) {
  auto inside = [&] {
    POINT p;
    GetCursorPos(&p);
    RECT wr;
    GetWindowRect(Wnd, &wr);
    p.x -= wr.left;
    p.y -= wr.top;
    RECT b = ButtonRect();
    return PtInRect(&b, p) != FALSE;
  };
  SetPushed(true);
  ::SetCapture(Wnd);
  bool released = false;
  MSG msg;
  for (;;) {
    if (GetCapture() != Wnd) break;
    if (!GetMessageW(&msg, nullptr, 0, 0)) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (msg.message == WM_LBUTTONUP) {
      released = inside();
      break;
    }
    if (msg.message == WM_LBUTTONDOWN || msg.message == WM_LBUTTONDBLCLK) break;
    if (msg.message == WM_MOUSEMOVE) {
      SetPushed(inside());
      continue;
    }
    if ((msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) ||
        (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST))
      continue;
    DispatchMessageW(&msg);
  }
  if (GetCapture() == Wnd) ReleaseCapture();
  SetPushed(false);
  return released;
}

void BarDitherRect(HDC DC, const RECT& R, COLORREF Fore, COLORREF Back) {
  WORD pattern[8];
  for (int i = 0; i < 8; ++i) pattern[i] = (i & 1) ? 0xAAAA : 0x5555;
  HBITMAP bmp = CreateBitmap(8, 8, 1, 1, pattern);
  HBRUSH b = CreatePatternBrush(bmp);
  COLORREF oldText = SetTextColor(DC, Fore);
  COLORREF oldBk = SetBkColor(DC, Back);
  FillRect(DC, &R, b);
  SetTextColor(DC, oldText);
  SetBkColor(DC, oldBk);
  DeleteObject(b);
  DeleteObject(bmp);
}
