// A floating toolbar is sized by its border in steps: only widths at which
// its items wrap into whole rows are offered.
#include <algorithm>

#include "toolbars/BarFloat.h"
#include "toolbars/BarToolbar.h"
#include "toolbars/BarViews.h"

struct TBarCustomToolbar::ResizeRecord {
  // One size the window may take: its outer size, never narrower than the
  // caption, and the width its items wrap at to fill it (0: one row).
  struct Entry {
    LONG x, y;
    int WrapWidth;
  };
  TBarSizeHandle SizeHandle = twshRight;
  std::vector<Entry> Sizes;
  int OrigLeft = 0, OrigTop = 0, OrigWidth = 0, OrigHeight = 0;
  int FloatingWidth = 0;
  int OrigFloatingWidth = 0;
  int SnapDistance = 12;
  bool Changed = false;
  bool LastWasShrinking = false;
};

void TBarCustomToolbar::BuildPotentialSizesList(std::vector<POINT>& List) {
  TBarMargins margins;
  View()->GetMargins(tbvoFloating, margins);
  const int minWidth = margins.Left + margins.Right;
  const int saved = floatingWidth_;
  floatingWidth_ = 0;
  // Measured at the items' own widths: widened to the caption, every width
  // below the caption's would measure wider than itself and end the list
  // before the rows a narrow toolbar can still wrap into.
  naturalMeasure_ = true;
  try {
    POINT s = DoArrange(false, dtNotDocked, true, nullptr);
    List.push_back(s);
    int lines = WrappedLines;
    int w = s.x - 1;
    while (w >= minWidth) {
      floatingWidth_ = w;
      s = DoArrange(false, dtNotDocked, true, nullptr);
      if (s.x > w) break;
      if (s.x == w) {
        if (WrappedLines == lines)
          List.back() = s;
        else
          List.push_back(s);
        lines = WrappedLines;
        --w;
      } else {
        w = s.x;
      }
    }
  } catch (...) {
    naturalMeasure_ = false;
    floatingWidth_ = saved;
    throw;
  }
  naturalMeasure_ = false;
  floatingWidth_ = saved;
}

void TBarCustomToolbar::ResizeBegin(TBarSizeHandle SizeHandle) {
  TBarCustomDockableWindow::ResizeBegin(SizeHandle);
  TBarFloatingWindowParent* fp = GetFloatingParent();
  if (!fp) return;
  delete resize_;
  resize_ = new ResizeRecord;
  ResizeRecord& r = *resize_;
  r.SizeHandle = SizeHandle;
  RECT wr;
  GetWindowRect(fp->GetHandle(), &wr);
  r.OrigLeft = wr.left;
  r.OrigTop = wr.top;
  r.OrigWidth = wr.right - wr.left;
  r.OrigHeight = wr.bottom - wr.top;
  r.FloatingWidth = GetFloatingWidth();
  r.OrigFloatingWidth = r.FloatingWidth;
  std::vector<POINT> natural;
  BuildPotentialSizesList(natural);
  for (size_t i = 0; i < natural.size(); ++i) {
    // The items wrap at their own width; the window is as wide as its
    // caption needs. The first size is the single row.
    POINT outer = FloatingSize(natural[i]);
    AddFloatingNCAreaToSize(outer);
    r.Sizes.push_back({outer.x, outer.y, i == 0 ? 0 : static_cast<int>(natural[i].x)});
  }
  // Sizing along Y walks the list by height, so it is ordered by height.
  const bool byHeight = SizeHandle != twshLeft && SizeHandle != twshRight;
  using Entry = ResizeRecord::Entry;
  std::stable_sort(r.Sizes.begin(), r.Sizes.end(), [&](const Entry& a, const Entry& b) {
    return byHeight ? a.y > b.y : a.x > b.x;
  });
  const bool alongX = SizeHandle == twshLeft || SizeHandle == twshRight;
  if (alongX) {
    // Layouts narrower than the caption all take the caption's width. A side
    // edge can only choose a width, so each width is offered once: the
    // present layout where it is one of them, else the one with the fewest
    // rows. A side drag that can't change the width keeps the rows.
    auto isCurrent = [&](const Entry& e) { return e.x == r.OrigWidth && e.y == r.OrigHeight; };
    std::vector<Entry> merged;
    for (const Entry& e : r.Sizes) {
      if (!merged.empty() && merged.back().x == e.x) {
        if (isCurrent(e) && !isCurrent(merged.back())) merged.back() = e;
      } else {
        merged.push_back(e);
      }
    }
    r.Sizes.swap(merged);
  }
  // Near the present size the snap must not reach the neighbouring sizes.
  for (size_t i = 0; i < r.Sizes.size(); ++i) {
    if (r.Sizes[i].x != r.OrigWidth || r.Sizes[i].y != r.OrigHeight) continue;
    auto along = [&](const Entry& p) { return static_cast<int>(alongX ? p.x : p.y); };
    if (i > 0) r.SnapDistance = std::min(r.SnapDistance, along(r.Sizes[i - 1]) - along(r.Sizes[i]) - 1);
    if (i + 1 < r.Sizes.size())
      r.SnapDistance = std::min(r.SnapDistance, along(r.Sizes[i]) - along(r.Sizes[i + 1]) - 1);
    r.SnapDistance = std::max(r.SnapDistance, 0);
    break;
  }
}

void TBarCustomToolbar::ResizeTrack(RECT& Rect, const RECT& OrigRect) {
  TBarCustomDockableWindow::ResizeTrack(Rect, OrigRect);
  if (!resize_ || resize_->Sizes.empty()) return;
  ResizeRecord& r = *resize_;
  const TBarSizeHandle sh = r.SizeHandle;
  const bool alongY = sh != twshLeft && sh != twshRight;
  int start = alongY ? r.OrigHeight : r.OrigWidth;
  int requested;
  if (alongY) {
    requested = sh == twshTop || sh == twshTopLeft || sh == twshTopRight ? r.OrigTop + r.OrigHeight - Rect.top
                                                                            : Rect.bottom - r.OrigTop;
  } else {
    requested = sh == twshLeft ? r.OrigLeft + r.OrigWidth - Rect.left : Rect.right - r.OrigLeft;
  }
  const bool shrinking = requested < start;
  if (!(r.Changed && shrinking == r.LastWasShrinking)) {
    r.Changed = false;
    r.LastWasShrinking = shrinking;
    if (requested >= start - r.SnapDistance && requested < start + r.SnapDistance) requested = start;
  }
  Rect = OrigRect;
  const int n = static_cast<int>(r.Sizes.size());
  auto applyEntry = [&](int i) {
    const ResizeRecord::Entry& s = r.Sizes[static_cast<size_t>(i)];
    r.FloatingWidth = s.WrapWidth;
    if (alongY) {
      if (sh == twshBottom || sh == twshBottomLeft || sh == twshBottomRight)
        Rect.bottom = Rect.top + s.y;
      else
        Rect.top = Rect.bottom - s.y;
      Rect.right = Rect.left + s.x;
    } else {
      if (sh == twshRight)
        Rect.right = Rect.left + s.x;
      else
        Rect.left = Rect.right - s.x;
      Rect.bottom = Rect.top + s.y;
    }
  };
  auto extent = [&](int i) { return alongY ? r.Sizes[static_cast<size_t>(i)].y : r.Sizes[static_cast<size_t>(i)].x; };
  if (requested == start) {
    // No movement along the edge's own axis (or within the snap distance):
    // the size the sizing began with, not the next larger one.
    int at = -1;
    for (int i = 0; i < n && at < 0; ++i)
      if (r.Sizes[static_cast<size_t>(i)].x == r.OrigWidth && r.Sizes[static_cast<size_t>(i)].y == r.OrigHeight) at = i;
    if (at >= 0) {
      applyEntry(at);
    } else {
      Rect = RECT{r.OrigLeft, r.OrigTop, r.OrigLeft + r.OrigWidth, r.OrigTop + r.OrigHeight};
      r.FloatingWidth = r.OrigFloatingWidth;
    }
  } else if (shrinking) {
    // From the smallest up: the last entry, and every one that fits.
    for (int i = n - 1; i >= 0; --i)
      if (i == n - 1 || extent(i) <= requested) applyEntry(i);
  } else {
    for (int i = 0; i < n; ++i)
      if (i == 0 || extent(i) > requested) applyEntry(i);
  }
  r.Changed = !EqualRect(&Rect, &OrigRect);
}

void TBarCustomToolbar::ResizeTrackAccept() {
  TBarCustomDockableWindow::ResizeTrackAccept();
  if (resize_) SetFloatingWidth(resize_->FloatingWidth);
}

void TBarCustomToolbar::ResizeEnd() {
  TBarCustomDockableWindow::ResizeEnd();
  FreeAndNil(resize_);
}
