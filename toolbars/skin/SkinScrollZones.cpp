#include "toolbars/skin/SkinScrollZones.h"

#include <cmath>

int SkinRoundEven(double V) { return static_cast<int>(std::nearbyint(V)); }

namespace {
int ButtonLength(int L, int T) { return (L - 2 <= 2 * T) ? (L - 2) / 2 : T; }
}  // namespace

bool SkinScrollZones(int L, int T, int Position, int Range, int Window, TSBSpan Z[6]) {
  for (int i = 0; i < 6; ++i) Z[i] = TSBSpan{};
  int b = ButtonLength(L, T);
  if (b < 0) b = 0;
  int w = SkinScrollWindow(L, Window);
  Z[sbzPrev] = {0, b};
  Z[sbzNext] = {L - b, L};
  Z[sbzEmpty] = {b, L - b};
  bool enabled = w < Range;
  int t = L - 2 * b;
  if (enabled && t >= 13) {
    int h = SkinRoundEven(static_cast<double>(t) * w / Range);
    int start;
    if (h < 8) {
      h = 8;
      start = b + SkinRoundEven(static_cast<double>(t - 8) * Position / (Range - w));
    } else {
      start = b + SkinRoundEven(static_cast<double>(t) * Position / Range);
    }
    Z[sbzHandle] = {start, start + h};
    Z[sbzPagePrev] = {b, start};
    Z[sbzPageNext] = {start + h, L - b};
  }
  return enabled;
}

int SkinScrollDragPosition(int L, int T, int PressPosition, int Range, int Window, int D) {
  int b = ButtonLength(L, T);
  int w = SkinScrollWindow(L, Window);
  int t = L - 2 * b;
  if (t <= 0 || Range <= 0) return PressPosition;
  int h = SkinRoundEven(static_cast<double>(t) * w / Range);
  if (h < 8) {
    if (t - 8 <= 0) return PressPosition;
    return PressPosition + SkinRoundEven(static_cast<double>(Range - w) * D / (t - 8));
  }
  return PressPosition + SkinRoundEven(static_cast<double>(D) * Range / t);
}
