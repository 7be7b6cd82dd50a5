// The scrolling text panel: layout, stepping through its frames, the end of
// the text, cycling, and a real run on its timer thread.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "classlib/Forms.h"
#include "testsupport/Gui.h"
#include "testsupport/Pump.h"
#include "classlib/StdCtrls.h"
#include "extlib/ExCheckListBox.h"
#include "extlib/ExSecretPanel.h"
#include "extlib/tests/FormStream.h"

using namespace testsupport;

namespace {

class TSteppedPanel : public TSecretPanel {
 public:
  using TSecretPanel::TSecretPanel;
  void Tick(int n = 1) {
    for (int i = 0; i < n; ++i) TimerExpired(this);
  }
  using TWinControl::DestroyHandle;
};

struct PanelHost {
  std::unique_ptr<TForm> form;
  TSteppedPanel* panel;
  TButton* child;
  PanelHost() {
    form.reset(new TForm(Application));
    form->SetBounds(40, 40, 300, 200);
    panel = new TSteppedPanel(form.get());
    panel->SetParent(form.get());
    panel->SetBounds(10, 10, 200, 100);
    panel->SetColor(clWhite);
    panel->Font()->SetColor(clBlack);
    child = new TButton(form.get());
    child->SetParent(panel);
    child->SetBounds(5, 5, 50, 20);
    form->Show();
    Pump(20);
  }
};

bool HasInk(TBitmap* b) {
  for (int y = 0; y < b->GetHeight(); ++y)
    for (int x = 0; x < b->GetWidth(); ++x)
      if ((b->Canvas()->GetPixel(x, y) & 0xFFFFFF) != 0xFFFFFF) return true;
  return false;
}

}  // namespace

TEST(SecretPanel, DefaultsAndLayout) {
  PanelHost h;
  TSteppedPanel* p = h.panel;
  EXPECT_FALSE(p->GetActive());
  EXPECT_EQ(p->GetInterval(), 30u);
  EXPECT_TRUE(p->GetAsyncDrawing());
  EXPECT_EQ(p->GetBevelOuter(), bvLowered);
  EXPECT_EQ(p->GetTextAlignment(), taCenter);
  p->Lines()->Add(L"Hello");
  p->Play();
  // One lowered bevel of 1 pixel: the text sits 3 pixels further in.
  EXPECT_EQ(p->TextRect().left, 1 + 3);
  EXPECT_EQ(p->PaintRect().left, 1);
  p->Stop();

  TBitmap g(16, 10, pf24bit);
  p->SetGlyph(&g);
  p->Play();
  EXPECT_EQ(p->GlyphOrigin().x, 4 + 3);
  EXPECT_EQ(p->TextRect().left, p->GlyphOrigin().x + 16 + 1 + 3);
  p->SetGlyphLayout(glGlyphTop);
  EXPECT_EQ(p->GlyphOrigin().y, 4 + 3);
  EXPECT_EQ(p->TextRect().top, p->GlyphOrigin().y + 10 + 1 + 6);
  p->Stop();
}

TEST(SecretPanel, BlankLinesAndScrollLength) {
  PanelHost h;
  TSteppedPanel* p = h.panel;
  for (const wchar_t* s : {L"", L"   ", L""}) p->Lines()->Add(s);
  p->Play();
  EXPECT_EQ(p->FirstLine(), 3);  // nothing to show
  p->Tick(5);
  EXPECT_FALSE(HasInk(p->MemoryImage()));
  p->Stop();

  p->Lines()->Clear();
  for (const wchar_t* s : {L"", L"First", L"", L"Last"}) p->Lines()->Add(s);
  p->Play();
  EXPECT_EQ(p->FirstLine(), 1);  // leading blanks skipped, the inner one kept
  EXPECT_EQ(p->ScrollLength(), RectHeight(p->TextRect()) + 3 * p->LineHeight());
  p->Tick(p->LineHeight());  // the first line has risen into view
  EXPECT_TRUE(HasInk(p->MemoryImage()));
  p->Stop();

  p->SetScrollDirection(sdHorizontal);
  p->Play();
  EXPECT_GT(p->ScrollLength(), RectWidth(p->TextRect()));
  // The block of three lines is centred: the text area shrinks around it.
  int spare = RectHeight(p->TextRect()) - 3 * p->LineHeight();
  EXPECT_GE(spare, 0);
  EXPECT_LE(spare, 1);
  p->Stop();
}

TEST(SecretPanel, EndOfTextStopsAndShowsTheChildren) {
  PanelHost h;
  TSteppedPanel* p = h.panel;
  p->SetAsyncDrawing(false);
  p->Lines()->Add(L"Only line");
  int starts = 0, stops = 0;
  p->OnStartPlay = TNotifyEvent([&](TObject*) { ++starts; });
  p->OnStopPlay = TNotifyEvent([&](TObject*) { ++stops; });
  p->Play();
  EXPECT_EQ(starts, 1);
  EXPECT_FALSE(h.child->GetVisible());
  p->Timer()->SetEnabled(false);  // stepped by hand from here
  p->Tick(p->ScrollLength());
  EXPECT_TRUE(p->GetActive());
  EXPECT_EQ(p->ScrollCounter(), p->ScrollLength());
  p->Tick();
  EXPECT_FALSE(p->GetActive());
  EXPECT_EQ(stops, 1);
  EXPECT_TRUE(h.child->GetVisible());
  EXPECT_EQ(p->MemoryImage(), nullptr);

  // Cycled: the counter starts again.
  p->Cycled = true;
  p->Play();
  p->Timer()->SetEnabled(false);
  p->Tick(p->ScrollLength() + 1);
  EXPECT_TRUE(p->GetActive());
  EXPECT_EQ(p->ScrollCounter(), 0);
  // A change of the lines starts the text again.
  p->Tick(3);
  p->Lines()->Add(L"More");
  EXPECT_EQ(p->ScrollCounter(), 0);
  p->Stop();
  EXPECT_TRUE(h.child->GetVisible());
}

TEST(SecretPanel, FailedStartLeavesItInactive) {
  PanelHost h;
  TSteppedPanel* p = h.panel;
  p->Lines()->Add(L"x");
  p->OnStartPlay = TNotifyEvent([](TObject*) { throw Exception(String(L"no")); });
  EXPECT_THROW(p->Play(), Exception);
  EXPECT_FALSE(p->GetActive());
  EXPECT_FALSE(p->Timer()->GetEnabled());
  EXPECT_TRUE(h.child->GetVisible());
}

TEST(SecretPanel, RunsToTheEndOnItsTimerThread) {
  PanelHost h;
  TSteppedPanel* p = h.panel;
  p->SetBounds(10, 10, 120, 30);
  p->SetInterval(1);
  p->Lines()->Add(L"Scrolling");
  p->Play();
  EXPECT_TRUE(PumpUntil([&] { return !p->GetActive(); }, 10000));
  EXPECT_TRUE(h.child->GetVisible());
}

// A frame drawn on the timer's thread keeps to what the window thread
// prepared: it draws the lines the image was made with, whatever Lines goes
// through meanwhile, and it never makes a window on its own thread when the
// panel's window is gone. The frame waits inside OnPaintClient while the
// window thread acts.
TEST(SecretPanel, FramesOnTheTimerThreadKeepToWhatTheWindowThreadPrepared) {
  PanelHost h;
  TSteppedPanel* p = h.panel;
  p->SetInterval(1);
  p->Cycled = true;
  p->Lines()->Add(L"WWWW");
  const std::thread::id Main = std::this_thread::get_id();
  const int K = 40;  // the line is wholly inside the text area by then
  std::mutex M;
  std::condition_variable CV;
  int Asked = 0, Done = 0;
  std::atomic<int> Frames{0};
  std::atomic<bool> Ink{false};
  auto Ask = [&](int Step) {
    std::unique_lock<std::mutex> L(M);
    Asked = Step;
    CV.wait_for(L, std::chrono::seconds(10), [&] { return Done >= Step; });
  };
  p->OnPaintClient = TPanelDrawEvent([&](TObject*, TCanvas* C, const TRect& R) {
    if (std::this_thread::get_id() != Main) {
      const int N = ++Frames;
      if (N == K) {
        Ask(1);
      } else if (N == K + 1) {
        // The image still holds frame K.
        for (int y = R.top + 3; y < R.bottom - 3 && !Ink; ++y)
          for (int x = R.left + 3; x < R.right - 3; ++x)
            if ((C->GetPixel(x, y) & 0xFFFFFF) != 0xFFFFFF) {
              Ink = true;
              break;
            }
        Ask(2);
      }
    }
    C->FillRect(R);
  });
  auto Answer = [&](int Step) {
    std::lock_guard<std::mutex> L(M);
    Done = Step;
    CV.notify_all();
  };
  p->Play();
  ASSERT_TRUE(PumpUntil([&] { std::lock_guard<std::mutex> L(M); return Asked == 1; }));
  // The lines change without telling the panel yet.
  p->Lines()->BeginUpdate();
  p->Lines()->Clear();
  p->Lines()->Add(L" ");
  Answer(1);
  ASSERT_TRUE(PumpUntil([&] { std::lock_guard<std::mutex> L(M); return Asked == 2; }));
  p->DestroyHandle();
  Answer(2);
  // Frames without a window draw nothing; a window made on the timer's
  // thread would need this one answering its parent's messages meanwhile.
  Pump(300);
  p->Stop();  // waits for the frame in flight
  p->Lines()->EndUpdate();
  EXPECT_TRUE(Ink) << "frame " << K << " drew the lines it was prepared with";
  if (p->HandleAllocated()) {
    EXPECT_EQ(GetWindowThreadProcessId(p->GetHandle(), nullptr), GetCurrentThreadId())
        << "the panel's window was made on another thread";
  }
}

// Freeing a playing panel ends its play: OnStopPlay runs once, the timer
// is gone with it; a stopped panel does not hear of it again.
TEST(SecretPanel, FreedWhileRunning) {
  for (int i = 0; i < 3; ++i) {
    int Stops = 0;
    TObject* StoppedBy = nullptr;
    TSecretPanel* Panel = nullptr;
    {
      PanelHost h;
      Panel = h.panel;
      h.panel->SetInterval(1);
      h.panel->SetBounds(10, 10, 60, 20);
      h.panel->Lines()->Add(L"gone soon");
      h.panel->Cycled = true;  // plays until freed
      h.panel->OnStopPlay = TNotifyEvent([&](TObject* S) {
        ++Stops;
        StoppedBy = S;
      });
      h.panel->Play();
      Pump(15 * i);
      EXPECT_TRUE(h.panel->GetActive());
    }  // the form and the running panel go here
    EXPECT_EQ(Stops, 1) << i;
    EXPECT_EQ(StoppedBy, Panel);
  }
  int Stops = 0;
  {
    PanelHost h;
    h.panel->OnStopPlay = TNotifyEvent([&](TObject*) { ++Stops; });
    h.panel->Play();
    h.panel->Stop();
  }
  EXPECT_EQ(Stops, 1);
}

TEST(SecretPanel, PublishedPropertiesTravelInTheFormStreamAndPlayingResumes) {
  using namespace formstream;
  auto Make = [](const wchar_t* FormName) {
    auto F = NewForm(FormName);
    F->SetBounds(40, 40, 300, 200);
    Place<TSecretPanel>(F.get(), L"Credits")->SetBounds(10, 10, 200, 100);
    F->Show();
    return F;
  };
  auto Panel = [](TForm* F) { return dynamic_cast<TSecretPanel*>(F->FindComponent(L"Credits")); };
  TMemoryStream S;
  auto Plain = Make(L"PlainPanels");
  Write(Plain.get(), S);
  for (const char* Name : {"BevelOuter", "Active", "Alignment", "AsyncDrawing", "Interval", "Lines"})
    EXPECT_FALSE(Holds(S, Name)) << Name;

  auto Source = Make(L"SetPanels");
  TSecretPanel* P = Panel(Source.get());
  P->SetBevelOuter(bvRaised);
  P->SetAsyncDrawing(false);
  P->Cycled = true;
  P->SetInterval(60000);  // no tick while the test runs
  P->Lines()->Add(L"Written by");
  P->SetScrollDirection(sdHorizontal);
  P->SetBevelInner(bvRaised);
  P->SetBevelWidth(2);
  P->SetBorderWidth(3);
  P->SetBorderStyle(bsSingle);
  P->SetTextAlignment(taLeftJustify);
  P->SetGlyphLayout(glGlyphTop);
  P->SetTextStyle(bvLowered);
  TBitmap Picture;
  Picture.SetSize(8, 8);
  P->SetGlyph(&Picture);
  // Read into an empty form: the panel is made by its class.
  ExCheckListBoxInitialize();
  auto Copy = NewForm(L"ReadPanels");
  P->OnPaintClient = Offer<TPanelDrawEvent>(L"CreditsPaint", {Source.get(), Copy.get()});
  P->OnStartPlay = Offer<TNotifyEvent>(L"CreditsStart", {Source.get(), Copy.get()});
  P->OnStopPlay = Offer<TNotifyEvent>(L"CreditsStop", {Source.get(), Copy.get()});
  P->Play();
  Copy->Show();
  ExpectRoundTrip(Source.get(), Copy.get(), S);
  ExpectStored(S, {"Active", "AsyncDrawing", "Cycled", "Glyph.Data", "GlyphLayout", "Interval", "Lines",
                   "ScrollDirection", "TextStyle", "OnPaintClient", "OnStartPlay", "OnStopPlay", "Alignment",
                   "BevelInner", "BevelOuter", "BevelWidth", "BorderWidth", "BorderStyle"});
  P->Stop();
  EXPECT_TRUE(Panel(Copy.get())->GetActive());
  EXPECT_NE(Panel(Copy.get())->MemoryImage(), nullptr);  // playing: the text is drawn off screen
  Panel(Copy.get())->Stop();
}

namespace {
struct TRecordingDesigner : IDesigner {
  int Changes = 0;
  void Modified() override { ++Changes; }
};
}  // namespace

// In the designer playing keeps the children on show, and stopping tells the
// form's designer; at run time, or when the panel is freed, it hears nothing.
TEST(SecretPanel, DesignedPanelKeepsItsChildrenVisibleAndTellsTheDesigner) {
  PanelHost h;
  TRecordingDesigner Designer;
  h.form->SetDesigner(&Designer);
  TSteppedPanel* p = h.panel;
  p->SetAsyncDrawing(false);
  p->Lines()->Add(L"Designed");
  h.form->SetDesigning(true);
  p->Play();
  EXPECT_TRUE(p->GetActive());
  EXPECT_TRUE(h.child->GetVisible());
  EXPECT_EQ(Designer.Changes, 0);
  p->Stop();
  EXPECT_TRUE(h.child->GetVisible());
  EXPECT_EQ(Designer.Changes, 1);
  p->Stop();  // already stopped: nothing changes
  EXPECT_EQ(Designer.Changes, 1);

  h.form->SetDesigning(false);
  p->Play();
  EXPECT_FALSE(h.child->GetVisible());
  p->Stop();
  EXPECT_TRUE(h.child->GetVisible());
  EXPECT_EQ(Designer.Changes, 1);

  // Freed while playing at design time.
  h.form->SetDesigning(true);
  p->Play();
  delete p;
  EXPECT_EQ(Designer.Changes, 1);
  h.form->SetDesigner(nullptr);
}

namespace {
// The columns of the frame's image that hold text.
std::pair<int, int> InkColumns(TBitmap* b) {
  int first = b->GetWidth(), last = -1;
  for (int y = 0; y < b->GetHeight(); ++y)
    for (int x = 0; x < b->GetWidth(); ++x)
      if ((b->Canvas()->GetPixel(x, y) & 0xFFFFFF) != 0xFFFFFF) {
        first = std::min(first, x);
        last = std::max(last, x);
      }
  return {first, last};
}
}  // namespace

// Sideways, left-to-right text enters from the right edge; read right to
// left it enters from the left, its lines in right-to-left order.
TEST(SecretPanel, HorizontalTextEntersFromTheSideItsReadingStartsAt) {
  PanelHost h;
  TSteppedPanel* p = h.panel;
  p->SetAsyncDrawing(false);
  p->SetScrollDirection(sdHorizontal);
  p->Lines()->Add(L"ab.");
  auto Frame = [&](int Ticks) {
    p->Play();
    p->Timer()->SetEnabled(false);
    p->Tick(Ticks);
    auto Copy = std::make_unique<TBitmap>();
    Copy->Assign(*p->MemoryImage());
    p->Stop();
    return Copy;
  };
  p->Play();
  const int TW = RectWidth(p->TextRect()), W = p->ScrollLength() - TW;
  p->Stop();
  ASSERT_GT(W, 10);
  auto LeftToRight = InkColumns(Frame(10).get());
  EXPECT_GE(LeftToRight.first, TW - 10);

  p->SetBiDiMode(bdRightToLeftReadingOnly);
  auto RightToLeft = InkColumns(Frame(10).get());
  EXPECT_LT(RightToLeft.second, 10);
  EXPECT_GE(RightToLeft.second, 0);

  // The whole line in view 5 pixels from the left, both ways: right to
  // left it reads as ".ab" does left to right.
  auto Read = Frame(W + 5);
  p->SetBiDiMode(bdLeftToRight);
  p->Lines()->Clear();
  p->Lines()->Add(L".ab");
  auto Written = Frame(TW - 5);
  ASSERT_EQ(Read->GetWidth(), Written->GetWidth());
  for (int y = 0; y < Read->GetHeight(); ++y)
    for (int x = 0; x < Read->GetWidth(); ++x)
      ASSERT_EQ(Read->Canvas()->GetPixel(x, y), Written->Canvas()->GetPixel(x, y)) << x << "," << y;
}

// A playing panel with a glyph repainted over and over while its frames are
// drawn on the timer's thread: a repaint (holding the control's canvas)
// and a frame (copying its image onto the control) must not wait on each
// other. The panel lives on a thread of its own, so that were they to,
// this test fails after its time instead of hanging the program.
TEST(SecretPanel, RepaintsWithAGlyphWhileFramesRunOnTheTimerThread) {
  std::atomic<bool> Finished{false};
  std::atomic<int> Frames{0}, Repaints{0};
  std::thread Window([&] {
    HWND Host = CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 40, 40, 240, 80, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    auto* P = new TSecretPanel(nullptr);
    P->SetBounds(0, 0, 200, 60);
    P->SetParentWindow(Host);
    P->SetInterval(1);
    P->Cycled = true;
    P->Lines()->Add(L"Glyph beside the text");
    TBitmap G(16, 10, pf24bit);
    P->SetGlyph(&G);
    const std::thread::id Own = std::this_thread::get_id();
    P->OnPaintClient = TPanelDrawEvent([&](TObject*, TCanvas* C, const TRect& R) {
      if (std::this_thread::get_id() != Own) {
        Sleep(5);
        ++Frames;
      } else {
        ++Repaints;
      }
      C->FillRect(R);
    });
    P->Play();
    const HWND Wnd = P->GetHandle();
    const DWORD Until = GetTickCount() + 3000;
    while (static_cast<int>(Until - GetTickCount()) > 0) {
      InvalidateRect(Wnd, nullptr, TRUE);
      UpdateWindow(Wnd);
    }
    P->Stop();
    delete P;
    DestroyWindow(Host);
    Finished = true;
  });
  if (!PumpUntil([&] { return Finished.load(); }, 20000)) {
    // Both threads wait for good: leave them, and the panel, to the end.
    Window.detach();
    FAIL() << "the window thread and the timer's thread stopped for good after " << Frames << " frames and "
           << Repaints << " repaints";
  }
  Window.join();
  EXPECT_GT(Frames, 10);
  EXPECT_GT(Repaints, 10);
}
