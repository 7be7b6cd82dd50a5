#include "toolbars/BarToolWindow.h"

#include <algorithm>

#include "toolbars/BarFiler.h"
#include "toolbars/BarUtilsWin.h"

TBarToolWindow::TBarToolWindow(TComponent* AOwner) : TBarCustomDockableWindow(AOwner) {
  SetBounds(GetLeft(), GetTop(), 32, 32);
}

namespace {
// The frame a window has on a dock: 2 pixels on every side plus the drag
// handle on the dock's long axis.
POINT FrameOn(TBarCustomDockableWindow* W, TBarDock* Dock) {
  if (Dock == W->GetCurrentDock()) return W->CalcNCSizes();
  POINT p{4, 4};
  int hw = 0;
  if (Dock->GetAllowDrag()) {
    if (W->GetCloseButtonWhenDocked())
      hw = 14;
    else
      hw = W->GetDragHandleStyle() == dhDouble ? 9 : W->GetDragHandleStyle() == dhNone ? 0 : 6;
  }
  (Dock->IsVertical() ? p.y : p.x) += hw;
  return p;
}
// A client size kept to the window's limits, as sizing it keeps it: at
// least the minimum, at most a maximum above 0.
int WithinLimits(int Size, int Min, int Max) {
  Size = std::max(Size, Min);
  return Max > 0 ? std::min(Size, Max) : Size;
}
}  // namespace

POINT TBarToolWindow::SizeFor(TBarDock* Dock) {
  POINT s{barWidth_, barHeight_};
  if (!Dock) return s;
  POINT frame = FrameOn(this, Dock);
  bool leftRight = Dock->IsVertical();
  if (GetFullSize()) {
    TRect cr = Dock->GetClientRect();
    if (leftRight)
      s.y = (cr.bottom - cr.top) - frame.y;
    else
      s.x = (cr.right - cr.left) - frame.x;
  } else if (GetStretch()) {
    if (leftRight)
      s.y = MinClientHeight;
    else
      s.x = MinClientWidth;
  }
  return s;
}

void TBarToolWindow::Paint() {
  if (IsDesigning()) BarDrawDesignOutline(Canvas(), GetClientRect());
}

POINT TBarToolWindow::DoArrange(bool, TBarDockType, bool, TBarDock* NewDock) { return SizeFor(NewDock); }

void TBarToolWindow::GetBaseSize(POINT& ASize) { ASize = SizeFor(GetCurrentDock()); }

void TBarToolWindow::GetMinMaxSize(int& AMinClientWidth, int& AMinClientHeight, int& AMaxClientWidth,
                                   int& AMaxClientHeight) {
  AMinClientWidth = MinClientWidth;
  AMinClientHeight = MinClientHeight;
  AMaxClientWidth = MaxClientWidth;
  AMaxClientHeight = MaxClientHeight;
}

POINT TBarToolWindow::FrameSize() {
  // On a parent the window measures its frame; without one (a form being
  // read places it later) the frame it will have is its border.
  if (GetParent()) return POINT{GetWidth() - GetClientWidth(), GetHeight() - GetClientHeight()};
  const int b = 2 * NonClientBorderWidth();
  return POINT{b, b};
}

void TBarToolWindow::SizeChanging(int AWidth, int AHeight) {
  const POINT f = FrameSize();
  barWidth_ = AWidth - f.x;
  barHeight_ = AHeight - f.y;
}

int TBarToolWindow::GetClientAreaWidth() { return GetWidth() - FrameSize().x; }
int TBarToolWindow::GetClientAreaHeight() { return GetHeight() - FrameSize().y; }

void TBarToolWindow::SetClientAreaSize(int AWidth, int AHeight) {
  barWidth_ = AWidth;
  barHeight_ = AHeight;
  if (GetDocked() || GetFloating()) {
    Arrange();
    return;
  }
  const POINT f = FrameSize();
  SetBounds(GetLeft(), GetTop(), AWidth + f.x, AHeight + f.y);
}

void TBarToolWindow::ReadPositionData(const TBarReadPositionData& Data) {
  if (!Resizable) return;
  int h = Data.ReadIntProc(*Data.Name, L"ClientHeight", barHeight_, Data.ExtraData);
  int w = Data.ReadIntProc(*Data.Name, L"ClientWidth", barWidth_, Data.ExtraData);
  // Stored values may be damaged: none gives a size the user could not give.
  SetClientAreaSize(WithinLimits(w, MinClientWidth, MaxClientWidth),
                    WithinLimits(h, MinClientHeight, MaxClientHeight));
}

void TBarToolWindow::WritePositionData(const TBarWritePositionData& Data) {
  Data.WriteIntProc(*Data.Name, L"ClientWidth", barWidth_, Data.ExtraData);
  Data.WriteIntProc(*Data.Name, L"ClientHeight", barHeight_, Data.ExtraData);
}

void TBarToolWindow::DefineProperties(TFiler* Filer) {
  TBarCustomDockableWindow::DefineProperties(Filer);
  auto* a = dynamic_cast<TBarToolWindow*>(Filer->GetAncestor());
  using namespace BarFiler;
  // The client size is the window's own: always stored. While the form
  // loads, a docked window's client area is not laid out yet: the other
  // dimension kept is the one recorded.
  Filer->DefineProperty(
      L"ClientAreaWidth", [this](TReader* R) { SetClientAreaSize(R->ReadInteger(), barHeight_); },
      [this](TWriter* W) { W->WriteInteger(GetClientAreaWidth()); }, true);
  Filer->DefineProperty(
      L"ClientAreaHeight", [this](TReader* R) { SetClientAreaSize(barWidth_, R->ReadInteger()); },
      [this](TWriter* W) { W->WriteInteger(GetClientAreaHeight()); }, true);
  Integer(Filer, L"MinClientWidth", MinClientWidth, a ? a->MinClientWidth : 32, [this](int v) { MinClientWidth = v; });
  Integer(Filer, L"MinClientHeight", MinClientHeight, a ? a->MinClientHeight : 32,
          [this](int v) { MinClientHeight = v; });
  Integer(Filer, L"MaxClientWidth", MaxClientWidth, a ? a->MaxClientWidth : 0, [this](int v) { MaxClientWidth = v; });
  Integer(Filer, L"MaxClientHeight", MaxClientHeight, a ? a->MaxClientHeight : 0,
          [this](int v) { MaxClientHeight = v; });
}
