// Zones of the themed scroll bar along its length. Portable.
#pragma once

enum TSBZone { sbzEmpty, sbzPrev, sbzPagePrev, sbzHandle, sbzPageNext, sbzNext };

struct TSBSpan {
  int Start = 0, End = 0;  // along the bar; End exclusive
  bool Empty() const { return End <= Start; }
};

// Length L and thickness T of the bar; Window <= 0 means the bar's length.
// Returns whether the bar is enabled (the window is smaller than the range).
bool SkinScrollZones(int L, int T, int Position, int Range, int Window, TSBSpan Zones[6]);
// The effective window.
inline int SkinScrollWindow(int L, int Window) { return Window <= 0 ? L : Window; }
// Rounds to the nearest integer, ties to even.
int SkinRoundEven(double V);
// Position for a handle dragged D pixels from where it was pressed.
int SkinScrollDragPosition(int L, int T, int PressPosition, int Range, int Window, int D);
