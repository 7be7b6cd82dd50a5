// Drag and drop with the real mouse and keyboard: the events of source and
// targets in order with their coordinates, the automatic drag's threshold,
// cancelling, timers during a drag, drag pictures and controls freed while
// they are dragged or dragged over.
#include <atomic>

#include "classlib/ExtCtrls.h"
#include "classlib/ImgList.h"
#include "classlib/tests/gui_support.h"
#include "testsupport/Input.h"

using namespace guitest;
using testsupport::InputScript;

namespace {

POINT ToPoint(TPoint p) { return POINT{p.x, p.y}; }

String XY(int x, int y) { return std::to_wstring(x) + L"," + std::to_wstring(y); }

const wchar_t* StateName(TDragState s) {
  return s == dsDragEnter ? L"enter" : s == dsDragLeave ? L"leave" : L"move";
}

// A source and two targets side by side: R refuses, T takes what comes
// from the source.
struct DragHost {
  std::unique_ptr<TForm> Form;
  TPanel* Src = nullptr;
  TPanel* R = nullptr;
  TPanel* T = nullptr;
  std::vector<String> Log;
  bool LogMoves = false;
  // The last point T was told about (x * 65536 + y), read by script threads.
  std::atomic<long> TLast{-1};

  DragHost() {
    Form.reset(new TForm(Application));
    Form->SetBorderStyle(bsNone);
    Form->SetBounds(40, 40, 470, 160);
    Src = Panel(10);
    R = Panel(170);
    T = Panel(330);
    Src->OnStartDrag = [this](TObject*, TDragObject*&) { Log.push_back(L"start"); };
    Src->OnEndDrag = [this](TObject*, TObject* Target, int X, int Y) {
      Log.push_back(L"end " + String(Target == T ? L"T" : Target ? L"?" : L"none") + L" " + XY(X, Y));
    };
    R->OnDragOver = [this](TObject*, TObject*, int, int, TDragState S, bool& Accept) {
      if (S != dsDragMove || LogMoves) Log.push_back(String(L"R ") + StateName(S));
      Accept = false;
    };
    T->OnDragOver = [this](TObject*, TObject* Source, int X, int Y, TDragState S, bool& Accept) {
      if (S != dsDragMove || LogMoves) Log.push_back(String(L"T ") + StateName(S));
      if (S != dsDragLeave) TLast = X * 65536L + Y;
      Accept = Source == Src;
    };
    T->OnDragDrop = [this](TObject*, TObject* Source, int X, int Y) {
      Log.push_back(L"T drop " + String(Source == Src ? L"src " : L"? ") + XY(X, Y));
    };
    Form->Show();
    SetForegroundWindow(Form->GetHandle());
    Pump(50);
  }
  TPanel* Panel(int left) {
    auto* p = new TPanel(Form.get());
    p->SetParent(Form.get());
    p->SetBounds(left, 10, 130, 130);
    return p;
  }
  static POINT At(TControl* c, int x, int y) { return ToPoint(c->ClientToScreen(TPoint{x, y})); }
  // On a script thread: waits until the drag has brought the pointer to
  // (X, Y) over T, so that what the script sends next comes after it.
  void WaitUntilOverT(int X, int Y) {
    for (int i = 0; i < 2000 && TLast != X * 65536L + Y; ++i) Sleep(5);
  }
};

// Plays a press at From, moves in steps to To, then Finish (keys, more
// moves, the release) on a script thread while this thread runs messages.
void PressAndMove(POINT From, POINT To, const std::function<void()>& Finish) {
  Pump(static_cast<int>(GetDoubleClickTime()) + 30);
  testsupport::RunInput([&] {
    InputScript().Move(From).Post();
    Sleep(30);
    InputScript().Down().Post();
    Sleep(30);
    for (int i = 1; i <= 8; ++i) {
      InputScript().Move(POINT{From.x + (To.x - From.x) * i / 8, From.y + (To.y - From.y) * i / 8}).Post();
      Sleep(15);
    }
    Finish();
  });
}

// A drag object of the caller's with a picture.
struct WithImages : TDragControlObject {
  TDragImageList* I;
  WithImages(TControl* C, TDragImageList* Images) : TDragControlObject(C), I(Images) {}
  TDragImageList* GetDragImages() override { return I; }
};

}  // namespace

TEST(GuiDrag, RealMouseDragFiresStartOverDropAndEndInOrder) {
  DragHost h;
  h.Src->SetDragMode(dmAutomatic);
  bool clicked = false;
  h.Src->OnClick = [&](TObject*) { clicked = true; };
  HCURSOR overRefuser = nullptr;
  h.R->OnDragOver = [&](TObject*, TObject*, int X, int Y, TDragState S, bool& Accept) {
    if (S != dsDragMove) h.Log.push_back(String(L"R ") + StateName(S));
    // Where the pointer has been over R a while, the cursor says no.
    if (S == dsDragMove) overRefuser = GetCursor();
    if (S != dsDragLeave) EXPECT_TRUE(X >= 0 && Y >= 0 && X < 130 && Y < 130) << X << "," << Y;
    Accept = false;
  };
  testsupport::DragScript d;
  d.From = DragHost::At(h.Src, 60, 60);
  d.Via = {DragHost::At(h.R, 60, 60), DragHost::At(h.R, 70, 60)};
  d.To = DragHost::At(h.T, 30, 40);
  ASSERT_TRUE(testsupport::Drag(d));
  ASSERT_TRUE(PumpUntil([&] { return !h.Log.empty() && h.Log.back().rfind(L"end", 0) == 0; }));
  const std::vector<String> want{L"start", L"R enter", L"R leave", L"T enter", L"T drop src 30,40", L"end T 30,40"};
  EXPECT_EQ(want, h.Log);
  EXPECT_EQ(Screen->Cursors(crNoDrop), overRefuser);
  EXPECT_FALSE(clicked);
  EXPECT_FALSE(h.Src->Dragging());
  EXPECT_EQ(nullptr, GetCapture());
}

// A designed control is its designer's to move: a press and a move far
// enough start no automatic drag of its own.
TEST(GuiDrag, ADesignedControlStartsNoAutomaticDrag) {
  DragHost h;
  h.Src->SetDragMode(dmAutomatic);
  h.Src->SetDesigning(true);
  testsupport::DragScript d;
  d.From = DragHost::At(h.Src, 60, 60);
  d.Via = {DragHost::At(h.R, 60, 60)};
  d.To = DragHost::At(h.T, 30, 40);
  ASSERT_TRUE(testsupport::Drag(d));
  Pump();
  EXPECT_TRUE(h.Log.empty());
  EXPECT_FALSE(h.Src->Dragging());
}

TEST(GuiDrag, EscapeAndARightClickCancel) {
  DragHost h;
  h.Src->OnMouseDown = [&](TObject*, TMouseButton B, TShiftState, int, int) {
    if (B == mbLeft) h.Src->BeginDrag(true);
  };
  bool popup = false;
  h.T->OnContextPopup = [&](TObject*, TPoint, bool& Handled) {
    popup = true;
    Handled = true;
  };
  const POINT from = DragHost::At(h.Src, 60, 60), to = DragHost::At(h.T, 40, 40);
  PressAndMove(from, to, [&] {
    h.WaitUntilOverT(40, 40);
    InputScript().Press(VK_ESCAPE).Post();
    Sleep(30);
    InputScript().Move(DragHost::At(h.T, 50, 50)).Post();
    Sleep(15);
    InputScript().Up().Post();
  });
  ASSERT_TRUE(PumpUntil([&] { return !h.Log.empty() && h.Log.back().rfind(L"end", 0) == 0; }));
  const TPoint last = h.Src->ScreenToClient(TPoint{to.x, to.y});
  const std::vector<String> want{L"start",   L"R enter", L"R leave",
                                 L"T enter", L"T leave", L"end none " + XY(last.x, last.y)};
  EXPECT_EQ(want, h.Log);
  EXPECT_EQ(nullptr, GetCapture());

  h.Log.clear();
  h.TLast = -1;
  PressAndMove(from, to, [&] {
    h.WaitUntilOverT(40, 40);
    InputScript().Down(testsupport::Button::Right).Post();
    Sleep(30);
    InputScript().Up(testsupport::Button::Right).Post();
    Sleep(30);
    InputScript().Up().Post();
  });
  ASSERT_TRUE(PumpUntil([&] { return !h.Log.empty() && h.Log.back().rfind(L"end", 0) == 0; }));
  EXPECT_EQ(want, h.Log);
  Pump(50);
  EXPECT_FALSE(popup) << "the right click that cancelled reached the target";
  EXPECT_EQ(nullptr, GetCapture());
}

TEST(GuiDrag, AutomaticDragStartsOnlyPastTheThreshold) {
  DragHost h;
  h.Src->SetDragMode(dmAutomatic);
  int clicks = 0;
  h.Src->OnClick = [&](TObject*) { ++clicks; };
  // A press with a move below the system's drag distance is a click.
  const POINT from = DragHost::At(h.Src, 60, 60);
  PressAndMove(from, POINT{from.x + 1, from.y + 1}, [] { InputScript().Up().Post(); });
  ASSERT_TRUE(PumpUntil([&] { return clicks == 1; }));
  EXPECT_TRUE(h.Log.empty());
  EXPECT_EQ(nullptr, GetCapture());

  // A threshold of its own: 20 pixels are not enough, 40 are.
  h.Src->SetDragMode(dmManual);
  TPoint startedAt{};
  h.Src->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { h.Src->BeginDrag(false, 30); };
  h.Src->OnStartDrag = [&](TObject*, TDragObject*&) {
    POINT p;
    GetCursorPos(&p);
    startedAt = h.Src->ScreenToClient(TPoint{p.x, p.y});
    h.Log.push_back(L"start");
  };
  PressAndMove(from, POINT{from.x + 20, from.y}, [&] {
    Sleep(100);
    InputScript().Move(POINT{from.x + 40, from.y}).Post();
    Sleep(30);
    InputScript().Up().Post();
  });
  ASSERT_TRUE(PumpUntil([&] { return !h.Log.empty() && h.Log.back().rfind(L"end", 0) == 0; }));
  EXPECT_EQ(L"start", h.Log.front());
  EXPECT_GE(startedAt.x, 60 + 30);
  EXPECT_EQ(1, clicks);
  EXPECT_EQ(nullptr, GetCapture());
}

TEST(GuiDrag, TargetTimersRunAndPicturesShowDuringADrag) {
  DragHost h;
  h.T->ControlStyle += csDisplayDragImage;
  TDragImageList images(nullptr, 16, 16);
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetWidth(16);
  bmp->SetHeight(16);
  images.Add(bmp.get(), nullptr);
  ASSERT_TRUE(images.SetDragImage(0, 2, 2));
  WithImages own(h.Src, &images);
  h.Src->OnStartDrag = [&](TObject*, TDragObject*& O) { O = &own; };
  h.Src->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { h.Src->BeginDrag(true); };
  std::atomic<int> ticks{0};
  TWndMethod old = h.T->WindowProc;
  h.T->WindowProc = [&](TMessage& m) {
    if (m.Msg == WM_TIMER && m.WParam == 77) ++ticks;
    old(m);
  };
  bool imageOverT = false, imageOverR = true;
  h.T->OnDragOver = [&](TObject*, TObject*, int, int, TDragState S, bool& Accept) {
    if (S == dsDragEnter) SetTimer(h.T->GetHandle(), 77, 20, nullptr);
    if (S == dsDragMove) imageOverT = images.GetLockedWindow() == h.Form->GetHandle();
    Accept = true;
  };
  h.R->OnDragOver = [&](TObject*, TObject*, int, int, TDragState S, bool&) {
    if (S == dsDragMove) imageOverR = images.GetLockedWindow() != nullptr;
  };
  int ticksAtDrop = 0;
  h.T->OnDragDrop = [&](TObject*, TObject*, int, int) { ticksAtDrop = ticks; };
  const POINT from = DragHost::At(h.Src, 60, 60);
  PressAndMove(from, DragHost::At(h.R, 60, 60), [&] {
    InputScript().Move(DragHost::At(h.R, 61, 60)).Post();
    Sleep(30);
    for (int i = 1; i <= 4; ++i) {
      InputScript().Move(DragHost::At(h.T, 10 * i, 40)).Post();
      Sleep(15);
    }
    // The button stays down until the target's timer has fired three times.
    for (int i = 0; i < 1000 && ticks < 3; ++i) Sleep(10);
    InputScript().Up().Post();
  });
  KillTimer(h.T->GetHandle(), 77);
  h.T->WindowProc = old;
  EXPECT_GE(ticksAtDrop, 3);
  EXPECT_TRUE(imageOverT);
  EXPECT_FALSE(imageOverR);
  EXPECT_FALSE(images.Dragging());
}

TEST(GuiDrag, FreeingTheSourceOrTheTargetDuringADragLeavesNothingBehind) {
  DragHost h;
  h.Src->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { h.Src->BeginDrag(true); };
  // The target frees the source as the pointer enters it.
  h.T->OnDragOver = [&](TObject*, TObject*, int, int, TDragState S, bool& Accept) {
    h.Log.push_back(String(L"T ") + StateName(S));
    if (S == dsDragEnter && h.Src) {
      delete h.Src;
      h.Src = nullptr;
    }
    Accept = true;
  };
  const POINT from = DragHost::At(h.Src, 60, 60);
  PressAndMove(from, DragHost::At(h.T, 40, 40), [] { InputScript().Up().Post(); });
  EXPECT_EQ(nullptr, h.Src);
  ASSERT_FALSE(h.Log.empty());
  EXPECT_EQ((std::vector<String>{L"start", L"R enter", L"R leave", L"T enter", L"T leave"}), h.Log);
  EXPECT_EQ(nullptr, GetCapture());

  // A target freed under the pointer (by a timer) is no target any more;
  // the drop then goes nowhere and the source hears a cancel.
  h.Log.clear();
  h.Src = h.Panel(10);
  h.Src->OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { h.Src->BeginDrag(true); };
  TObject* endTarget = h.Src;
  bool ended = false;
  h.Src->OnEndDrag = [&](TObject*, TObject* Target, int, int) {
    ended = true;
    endTarget = Target;
  };
  std::atomic<bool> gone{false};
  auto* timer = new TTimer(h.Form.get());
  timer->SetInterval(20);
  timer->SetEnabled(false);
  timer->SetOnTimer([&](TObject*) {
    timer->SetEnabled(false);
    delete h.T;
    h.T = nullptr;
    gone = true;
  });
  TPanel* t = h.T;
  t->OnDragOver = [&](TObject*, TObject*, int, int, TDragState S, bool& Accept) {
    if (S == dsDragEnter) timer->SetEnabled(true);
    Accept = true;
  };
  const POINT inT = DragHost::At(t, 40, 40);
  PressAndMove(from, inT, [&] {
    for (int i = 0; i < 1000 && !gone; ++i) Sleep(10);
    InputScript().Move(POINT{inT.x + 2, inT.y}).Post();
    Sleep(15);
    InputScript().Up().Post();
  });
  ASSERT_TRUE(PumpUntil([&] { return ended; }));
  EXPECT_TRUE(gone);
  EXPECT_EQ(nullptr, endTarget);
  EXPECT_EQ(nullptr, GetCapture());
}

TEST(GuiDrag, FindDragTargetSkipsDisabledControlsUnlessAllowed) {
  DragHost h;
  auto* box = new TPaintBox(h.Form.get());
  box->SetParent(h.R);
  box->SetBounds(10, 10, 40, 40);
  const TPoint inBox = h.R->ClientToScreen(TPoint{20, 20});
  EXPECT_EQ(box, FindDragTarget(inBox, false));
  box->SetEnabled(false);
  EXPECT_EQ(h.R, FindDragTarget(inBox, false));
  EXPECT_EQ(box, FindDragTarget(inBox, true));
  h.T->SetEnabled(false);
  const TPoint inT = h.T->ClientToScreen(TPoint{20, 20});
  EXPECT_EQ(h.Form.get(), FindDragTarget(inT, false));
  EXPECT_EQ(h.T, FindDragTarget(inT, true));
}
