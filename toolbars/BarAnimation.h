// The opening animation of pop-up windows: a slide or a fade timed by a
// worker thread that asks the window's own thread to draw each step.
#pragma once

#include <windows.h>

using TBarAnimationDirection = unsigned;
constexpr TBarAnimationDirection tbadLeft = 1, tbadRight = 2, tbadDown = 4, tbadUp = 8;

constexpr UINT WMVmoxStepAnimation = 0x955;
constexpr UINT WMVmoxAnimationEnded = 0x956;

void BarStartAnimation(HWND Wnd, int Time, bool Blend, TBarAnimationDirection Directions);
// Called by the animated window on WMVmoxStepAnimation (LParam: the
// animation number).
void BarStepAnimation(WPARAM WParam, LPARAM LParam);
// Ends the running animation at once (only Wnd's, or any when Wnd is 0)
// and shows the whole window.
void BarEndAnimation(HWND Wnd);
// True while an animation runs (for tests).
bool BarAnimationRunning();
// Test seam: pretend UpdateLayeredWindow is missing.
void BarAnimationDisableLayered(bool Disable);
using TBarUpdateLayeredWindow = BOOL(WINAPI*)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF, BLENDFUNCTION*,
                                              DWORD);
// Test seam: the system's UpdateLayeredWindow (null where it is missing),
// and a function the fades call in its place (null: the system's again).
TBarUpdateLayeredWindow BarAnimationSystemLayeredFunction();
void BarAnimationUseLayeredFunction(TBarUpdateLayeredWindow Fn);
