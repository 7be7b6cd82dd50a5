// Window-system helpers of the toolbar library: text measuring, WM_PRINT
// support, drag outlines, monitors, mouse-leave tracking and system settings.
#pragma once

#include <windows.h>

#include <functional>

#include "toolbars/BarUtils.h"

class TCanvas;
class TComponent;
class TWinControl;
struct TMessage;

// The dotted button-shadow outline a designed dock or window shows round R;
// the canvas's pen is solid again afterwards.
void BarDrawDesignOutline(TCanvas* Canvas, const RECT& R);

// Fills R with the 50% checker pattern in two colours (Fore where the
// pattern's bits are clear, Back where they are set).
void BarDitherRect(HDC DC, const RECT& R, COLORREF Fore, COLORREF Back);

int GetTextHeight(HDC DC);
int GetTextWidth(HDC DC, const String& S, bool Prefix);
// A copy of the DC's font turned to run downwards (270 degrees); 0 on failure.
HFONT CreateRotatedFont(HDC DC);
void DrawRotatedText(HDC DC, const String& AText, const RECT& ARect, UINT AFormat);

// Dispatches pending WM_PAINT messages of the thread. A WM_QUIT met on the
// way is posted again and ends the pumping.
void ProcessPaintMessages();
// Tracks a pressed caption or frame button of Wnd modally: the mouse is
// captured; SetPushed is told whether the cursor is over ButtonRect (in
// window coordinates) as it moves; other input is swallowed and the rest
// dispatched. Returns true when the button was released over itself. A
// WM_QUIT met on the way is posted again and ends the tracking.
bool TrackFrameButton(HWND Wnd, const std::function<RECT()>& ButtonRect,
                      const std::function<void(bool Pushed)>& SetPushed);
// Removes queued messages in [AMin, AMax]; a removed WM_QUIT is re-posted.
void RemoveMessages(UINT AMin, UINT AMax);

using TBarNCPaintProc = void (*)(HWND Wnd, HDC DC, LPARAM AppData);
// Answers WM_PRINT for a window that paints its own frame. Always returns 1.
LRESULT HandleWMPrint(HWND Wnd, WPARAM WParam, LPARAM LParam, TBarNCPaintProc NCPaintFunc,
                      LPARAM AppData);
// Answers WM_PRINTCLIENT: the control paints itself into the message's
// context (its paint handler with a WM_PAINT carrying that context).
void HandleWMPrintClient(TWinControl* Control, TMessage& Message);
void SelectNCUpdateRgn(HWND Wnd, HDC DC, HRGN Rgn);
HRGN CreateNullRegion();
HBRUSH CreateHalftoneBrush();
void DrawInvertRect(HDC DC, const RECT* NewRect, const RECT* OldRect, SIZE NewSize, SIZE OldSize,
                    HBRUSH Brush, HBRUSH BrushLast);
void DrawHalftoneInvertRect(HDC DC, const RECT* NewRect, const RECT* OldRect, SIZE NewSize,
                            SIZE OldSize);

RECT GetRectOfPrimaryMonitor(bool WorkArea);
bool UsingMultipleMonitors();
RECT GetRectOfMonitorContainingRect(const RECT& R, bool WorkArea);
RECT GetRectOfMonitorContainingPoint(POINT P, bool WorkArea);
RECT GetRectOfMonitorContainingWindow(HWND Wnd, bool WorkArea);

void InitTrackMouseEvent();
bool CallTrackMouseEvent(HWND Wnd, DWORD Flags);

int GetMenuShowDelay();
// The registry fallback of GetMenuShowDelay, reading the given key:
// missing key or value 400, unusable data 0, negative numbers 0.
int BarReadMenuShowDelay(HKEY Root, const wchar_t* SubKey);
bool AreFlatMenusEnabled();
bool AreKeyboardCuesEnabled();
bool IsWindowsXP();
UINT GetInputLocaleCodePage();
bool NeedToPlaySound(const String& Alias);
// NeedToPlaySound's registry test against an explicit scheme root.
bool BarSoundAliasHasFile(HKEY Root, const String& SchemeKey);

bool ApplicationIsActive();

// Shared font of menus and toolbars, filled from the system's menu font.
// A failure to read the metrics falls back to the default GUI font.
LOGFONTW BarGetMenuLogFont();
// The system call it uses (replaceable by tests).
extern BOOL(WINAPI* BarSystemParametersInfo)(UINT Action, UINT Param, PVOID Data, UINT WinIni);
