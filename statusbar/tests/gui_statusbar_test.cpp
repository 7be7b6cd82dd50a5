// The status bar's panels on a real window: registrations with the shared
// timer and the keyboard hook, clock panels, hints, auto-fitting widths.
#include <cmath>
#include <future>
#include <thread>

#include "statusbar/tests/sb_support.h"
#include "statusbar/VersionInfo.h"
#include "testsupport/Input.h"

using namespace testsupport;
using namespace sbtest;

namespace {

class StatusBarEnvironment : public GuiEnvironment {
 public:
  void SetUp() override {
    GuiEnvironment::SetUp();
    KbMonInitialize();
    OdStatusBarInitialize();
    VersionInfoInitialize();
  }
  void TearDown() override {
    VersionInfoFinalize();
    OdStatusBarFinalize();
    KbMonFinalize();
    GuiEnvironment::TearDown();
  }
};

::testing::Environment* const kEnv = ::testing::AddGlobalTestEnvironment(new StatusBarEnvironment);

TDateTime gClock = 0;
TDateTime TestClock() { return gClock; }

struct ClockSeam {
  ClockSeam() {
    gClock = EncodeDate(2026, 3, 14) + EncodeTime(23, 59, 58, 0);
    OdStatusNow = &TestClock;
  }
  ~ClockSeam() { OdStatusNow = &Now; }
};

// A green marker painted over the first Count panels shows which of them
// are painted again.
void MarkPanels(TOdStatusBar* Bar, int Count) {
  HDC dc = GetDC(Bar->GetHandle());
  HBRUSH br = CreateSolidBrush(RGB(0, 255, 0));
  for (int i = 0; i < Count; ++i) {
    TRect r = Bar->GetPanelRect(i);
    FillRect(dc, &r, br);
  }
  DeleteObject(br);
  ReleaseDC(Bar->GetHandle(), dc);
}

bool Marked(TOdStatusBar* Bar, int Index) {
  TRect r = Bar->GetPanelRect(Index);
  HDC dc = GetDC(Bar->GetHandle());
  COLORREF c = GetPixel(dc, r.left + 3, r.top + 3);
  ReleaseDC(Bar->GetHandle(), dc);
  return c == RGB(0, 255, 0);
}

// How many pixels inside a panel's bevel show the colour.
int PanelPixels(TOdStatusBar* Bar, int Index, COLORREF Colour) {
  TRect r = Bar->GetPanelRect(Index);
  InflateRect(&r, -2, -2);
  HDC dc = GetDC(Bar->GetHandle());
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) n += GetPixel(dc, x, y) == Colour;
  ReleaseDC(Bar->GetHandle(), dc);
  return n;
}

bool CapsOn() { return (GetKeyState(VK_CAPITAL) & 1) != 0; }

// Leaves Caps Lock as the test found it.
struct CapsLockKept {
  const bool wasOn = CapsOn();
  ~CapsLockKept() {
    if (CapsOn() != wasOn) PressKey(VK_CAPITAL);
  }
};

// A window of another thread, shown without taking the activation: a click
// on it makes another thread the active one, as another program would.
class ForeignWindow {
 public:
  explicit ForeignWindow(RECT R) {
    thread_ = std::thread([this, R] {
      WNDCLASSW wc{};
      wc.lpfnWndProc = Proc;
      wc.hInstance = GetModuleHandleW(nullptr);
      wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
      wc.lpszClassName = L"OdStatusForeignWindow";
      RegisterClassW(&wc);  // refused, and kept, when an earlier test registered it
      HWND w = CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP | WS_BORDER, R.left, R.top,
                               R.right - R.left, R.bottom - R.top, nullptr, nullptr, wc.hInstance, nullptr);
      ShowWindow(w, SW_SHOWNOACTIVATE);
      made_.set_value(w);
      MSG m;
      while (GetMessageW(&m, nullptr, 0, 0) > 0) DispatchMessageW(&m);
    });
    Wnd = made_.get_future().get();
  }
  ~ForeignWindow() {
    PostMessageW(Wnd, WM_CLOSE, 0, 0);
    thread_.join();
  }
  HWND Wnd = nullptr;

 private:
  static LRESULT CALLBACK Proc(HWND W, UINT Msg, WPARAM WParam, LPARAM LParam) {
    if (Msg == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(W, Msg, WParam, LParam);
  }
  std::promise<HWND> made_;
  std::thread thread_;
};

}  // namespace

TEST(OdStatusBarTimer, IntervalFollowsTheFastestClient) {
  ClockSeam clock;
  BarHost h;
  TOdStatusPanels* ps = h.bar->Panels();
  h.Add(sptDate);
  ASSERT_NE(ps->Timer(), nullptr);
  EXPECT_EQ(ps->Timer()->GetInterval(), 60000u);
  h.Add(sptTime);
  EXPECT_EQ(ps->Timer()->GetInterval(), 1000u);
  TOdStatusPanel* g = ps->Add();
  g->GaugeAttrs()->SetStyle(gsIndeterminate);
  g->SetPanelType(sptGauge);
  EXPECT_EQ(ps->Timer()->GetInterval(), 1000u) << "a stopped gauge takes no timer";
  g->SetEnabled(true);
  EXPECT_EQ(ps->Timer()->GetInterval(), 50u);
  EXPECT_EQ(ps->TimerClientCount(), 3);
  ps->Delete(g->GetIndex());
  EXPECT_EQ(ps->Timer()->GetInterval(), 1000u);
  ps->Clear();
  EXPECT_EQ(ps->Timer(), nullptr);
  EXPECT_EQ(OdStatusTimerRegistrations(), 0);
}

TEST(OdStatusBarTimer, IndeterminateGaugeStartsStoppedAndStyleSwitchesRegistration) {
  BarHost h;
  TOdStatusPanel* g = h.bar->Panels()->Add();
  g->GaugeAttrs()->SetStyle(gsIndeterminate2);
  g->SetPanelType(sptGauge);
  EXPECT_FALSE(g->GetEnabled());
  EXPECT_EQ(g->GaugeOffset(), 0);
  EXPECT_EQ(g->GaugeStep(), 4);
  EXPECT_EQ(g->GetAlignment(), taCenter);
  EXPECT_EQ(h.bar->Panels()->TimerClientCount(), 0);
  g->SetEnabled(true);
  EXPECT_EQ(h.bar->Panels()->TimerClientCount(), 1);
  // Turning it into a percent gauge while running gives the timer back.
  g->GaugeAttrs()->SetStyle(gsPercent);
  EXPECT_EQ(h.bar->Panels()->TimerClientCount(), 0);
  g->GaugeAttrs()->SetStyle(gsIndeterminate);
  EXPECT_EQ(h.bar->Panels()->TimerClientCount(), 1);
  // Disabling the bar stops every panel; enabling it starts them again.
  h.bar->SetEnabled(false);
  EXPECT_EQ(h.bar->Panels()->TimerClientCount(), 0);
  h.bar->SetEnabled(true);
  EXPECT_EQ(h.bar->Panels()->TimerClientCount(), 1);
  // The speed keeps the direction of travel; nonsense speeds are refused.
  g->GaugeAttrs()->SetSpeed(7);
  EXPECT_EQ(g->GaugeStep(), 7);
  g->GaugeAttrs()->SetSpeed(0);
  EXPECT_EQ(g->GaugeAttrs()->GetSpeed(), 7);
  g->GaugeAttrs()->SetPosition(250);
  EXPECT_EQ(g->GaugeAttrs()->GetPosition(), 100);
}

TEST(OdStatusBarClock, TimePanelsFollowTheClockAndDatePanelsOnlyTheDate) {
  ClockSeam clock;
  BarHost h;
  TOdStatusPanel* t = h.Add(sptTime);
  t->SetTimeFormat(L"hh:nn:ss");
  EXPECT_EQ(t->GetText(), L"23:59:58");
  TOdStatusPanel* d = h.Add(sptDate);
  d->SetDateFormat(L"yyyy-mm-dd");
  EXPECT_EQ(d->GetText(), L"2026-03-14");
  TOdStatusPanel* td = h.Add(sptTimeDate);
  td->SetDateFormat(L"dd.mm.");
  td->SetTimeFormat(L"hh:nn");
  EXPECT_EQ(td->GetText(), L"23:59 14.03.");

  gClock += EncodeTime(0, 0, 1, 0);
  d->SetText(L"stale");  // shows whether the date panel is refreshed
  h.bar->Panels()->TimerEvent(nullptr);
  EXPECT_EQ(t->GetText(), L"23:59:59");
  EXPECT_EQ(d->GetText(), L"stale") << "same day: the date panel is left alone";

  gClock += EncodeTime(0, 0, 2, 0);
  h.bar->Panels()->TimerEvent(nullptr);
  EXPECT_EQ(t->GetText(), L"00:00:01");
  EXPECT_EQ(d->GetText(), L"2026-03-15");

  // The real timer drives the same refresh.
  gClock += EncodeTime(0, 0, 5, 0);
  EXPECT_TRUE(PumpUntil([&] { return t->GetText() == L"00:00:06"; }, 4000));
}

TEST(OdStatusBarClock, FormatsLeaveOtherPanelsAlone) {
  BarHost h;
  TOdStatusPanel* p = h.Add(sptNormal);
  p->SetText(L"Ready");
  p->SetDateFormat(L"yyyy");
  p->SetTimeFormat(L"hh");
  EXPECT_EQ(p->GetText(), L"Ready");
  EXPECT_EQ(h.bar->Panels()->TimerClientCount(), 0);
}

TEST(OdStatusBarLocks, LockPanelsShareOneHookAndGiveItBack) {
  ASSERT_EQ(OdStatusKeyboardHook(), nullptr);
  {
    BarHost a, b;
    TOdStatusPanel* caps = a.Add(sptCapsLock);
    EXPECT_EQ(caps->GetText(), L" CAPS ");
    EXPECT_TRUE(caps->GetAutoFit());
    EXPECT_EQ(caps->GetWidth(), a.bar->TextExtent(L" CAPS ").cx + 6);
    caps->SetWidth(300);
    EXPECT_NE(caps->GetWidth(), 300) << "an auto-fitted width is not set by hand";
    EXPECT_NE(OdStatusKeyboardHook(), nullptr);
    EXPECT_EQ(a.bar->MainWinHookClients(), 1);
    TOdStatusPanel* num = b.Add(sptNumLock);
    b.Add(sptScrollLock);
    EXPECT_EQ(OdStatusHookClients(), 3);
    EXPECT_EQ(num->GetDisplayName(), L"sptNumLock");
    // A disabled lock panel leaves the hook; enabling it comes back.
    caps->SetEnabled(false);
    EXPECT_EQ(OdStatusHookClients(), 2);
    EXPECT_EQ(a.bar->MainWinHookClients(), 0);
    caps->SetEnabled(true);
    EXPECT_EQ(OdStatusHookClients(), 3);
    // Retyping a lock panel gives its place up.
    num->SetPanelType(sptNormal);
    EXPECT_EQ(OdStatusHookClients(), 2);
    // Deactivating the application asks every lock panel to repaint.
    TMessage m{WM_ACTIVATEAPP, 0, 0, 0};
    EXPECT_FALSE(a.bar->AppWinHook(m));
    MSG msg;
    EXPECT_TRUE(PeekMessageW(&msg, a.bar->GetHandle(), WM_REFRESHLOCKINDICATORS, WM_REFRESHLOCKINDICATORS,
                             PM_NOREMOVE));
    Pump(20);
  }
  EXPECT_EQ(OdStatusKeyboardHook(), nullptr) << "the last lock panel removes the hook";
  EXPECT_EQ(OdStatusHookClients(), 0);
  // The unit's own check passes now.
  EXPECT_NO_THROW(OdStatusBarFinalize());
  OdStatusBarInitialize();
}

TEST(OdStatusBarLocks, FinalisationReportsALeftoverHook) {
  auto* a = new BarHost;
  a->Add(sptCapsLock);
  EXPECT_THROW(OdStatusBarFinalize(), EOdAssertion);
  EXPECT_EQ(OdStatusKeyboardHook(), nullptr);
  OdStatusBarInitialize();
  // The bar still thinks it is hooked; freeing it must not fail.
  delete a;
  EXPECT_EQ(OdStatusHookClients(), 0);
}

TEST(OdStatusBarLocks, MonitorLibraryAbsentFallsBackToTheOwnHook) {
  BarHost h;
  TOdStatusPanel* caps = h.Add(sptCapsLock);
  String saved = KbMonDLLName;
  KbMonDLLName = L"ZembrioNoSuchKbMon.dll";
  h.bar->SetUseMonitorDLL(true);
  EXPECT_FALSE(h.bar->GetUseMonitorDLL());
  EXPECT_FALSE(KbMonDLL_Loaded);
  EXPECT_EQ(h.bar->MonitorRegistrations(), 0);
  EXPECT_EQ(OdStatusHookClients(), 1) << "the lock panel is tracked by the hook again";
  EXPECT_NE(OdStatusKeyboardHook(), nullptr);
  // Without any lock panel the answer is the same.
  h.bar->Panels()->Clear();
  h.bar->SetUseMonitorDLL(true);
  EXPECT_FALSE(h.bar->GetUseMonitorDLL());
  KbMonDLLName = saved;
  (void)caps;
}

// The library is loaded for an enabled lock panel only, yet UseMonitorDLL
// holds on a bar without one: a designer gets no error while the library
// is there, and the lock panels added later are tracked by it, as those of
// a bar that had its lock panel first.
TEST(OdStatusBarLocks, MonitorLibraryLoadsOnlyForAnEnabledLockPanelAndTheSettingHolds) {
  KbMonName fake(L"KbMonFake.dll");
  BarHost h;
  h.Add(sptNormal);
  TOdStatusPanel* caps = h.Add(sptCapsLock);
  caps->SetEnabled(false);
  h.form->SetDesigning(true);
  EXPECT_NO_THROW(h.bar->SetUseMonitorDLL(true));
  h.form->SetDesigning(false);
  EXPECT_TRUE(h.bar->GetUseMonitorDLL());
  EXPECT_FALSE(KbMonDLL_Loaded) << "no enabled lock panel holds it";
  EXPECT_EQ(h.bar->MonitorRegistrations(), 0);
  h.Add(sptNumLock);
  caps->SetEnabled(true);
  EXPECT_TRUE(KbMonDLL_Loaded);
  EXPECT_EQ(h.bar->MonitorRegistrations(), 2);
  BarHost first;
  first.Add(sptCapsLock);
  first.bar->SetUseMonitorDLL(true);
  EXPECT_TRUE(first.bar->GetUseMonitorDLL());
  EXPECT_EQ(first.bar->MonitorRegistrations(), 1);
  EXPECT_EQ(KbMonRegisteredCount(), 2);
  EXPECT_EQ(OdStatusHookClients(), 0) << "no lock panel is left on the bars' own hook";
}

// A bar without its window yet counts on the library all the same: another
// bar giving up its last lock panel leaves the library loaded, and the
// window is registered once it is made.
TEST(OdStatusBarLocks, MonitorLibraryStaysForABarWithoutItsWindowYet) {
  KbMonName fake(L"KbMonFake.dll");
  BarHost h;
  h.bar->SetUseMonitorDLL(true);
  TOdStatusPanel* caps = h.Add(sptCapsLock);
  auto* later = new TOdStatusBar(h.form.get());
  later->SetUseMonitorDLL(true);
  later->Panels()->Add()->SetPanelType(sptNumLock);
  ASSERT_FALSE(later->HandleAllocated());
  ASSERT_EQ(later->MonitorRegistrations(), 1);
  h.bar->Panels()->Delete(caps->GetIndex());
  EXPECT_TRUE(KbMonDLL_Loaded);
  later->SetParent(h.form.get());
  later->HandleNeeded();
  EXPECT_EQ(later->MonitorMessage(), UINT(WM_APP + 0x321));
  EXPECT_EQ(KbMonRegisteredCount(), 1);
  delete later;
  EXPECT_FALSE(KbMonDLL_Loaded);
}

TEST(OdStatusBarLocks, MonitorLibraryNotificationsSetTheKeyState) {
  BarHost h;
  String saved = KbMonDLLName;
  KbMonDLLName = L"KbMonFake.dll";
  TOdStatusPanel* caps = h.Add(sptCapsLock);
  TOdStatusPanel* num = h.Add(sptNumLock);
  h.bar->SetUseMonitorDLL(true);
  ASSERT_TRUE(h.bar->GetUseMonitorDLL());
  EXPECT_TRUE(KbMonDLL_Loaded);
  EXPECT_EQ(h.bar->MonitorRegistrations(), 2);
  EXPECT_EQ(OdStatusHookClients(), 0);
  EXPECT_EQ(KbMonRegisteredCount(), 1);
  UINT msg = h.bar->MonitorMessage();
  ASSERT_EQ(msg, UINT(WM_APP + 0x321));
  SendMessageW(h.bar->GetHandle(), msg, VK_NUMLOCK, 1);
  EXPECT_TRUE(num->KeyOn());
  EXPECT_FALSE(caps->KeyOn());
  SendMessageW(h.bar->GetHandle(), msg, VK_CAPITAL, 3);
  EXPECT_TRUE(caps->KeyOn());
  SendMessageW(h.bar->GetHandle(), msg, VK_NUMLOCK, 0);
  EXPECT_FALSE(num->KeyOn());
  h.bar->SetUseMonitorDLL(false);
  EXPECT_EQ(h.bar->MonitorRegistrations(), 0);
  EXPECT_FALSE(KbMonDLL_Loaded) << "the last registration unloads the library";
  EXPECT_EQ(OdStatusHookClients(), 2);
  KbMonDLLName = saved;
}

TEST(OdStatusBarPanels, HintsIndexesAndAutoFit) {
  BarHost h;
  TOdStatusPanel* p = h.Add(sptEllipsisPath, 60);
  p->SetText(L"C:\\Program Files\\Quorvel\\Zembrio\\Bookmarks.ZembrioBM");
  EXPECT_EQ(p->GetHint(), p->GetText());
  p->OnHintText = TOdPanelHintTextEvent([](TOdStatusBar*, TOdStatusPanel*, String& hint) { hint += L"!"; });
  EXPECT_EQ(p->GetHint(), p->GetText() + L"!");
  p->SetHint(L"Own hint");
  p->OnHintText = TOdPanelHintTextEvent();
  EXPECT_EQ(p->GetHint(), L"Own hint");
  EXPECT_EQ(p->GetDisplayName(), p->GetText());

  EXPECT_THROW(h.bar->InvalidatePanel(1), EListError);
  EXPECT_THROW(h.bar->InvalidatePanel(-1), EListError);
  EXPECT_NO_THROW(h.bar->InvalidatePanel(0));

  TOdStatusPanel* n = h.Add(sptNormal);
  n->SetText(L"Width");
  n->SetBorderWidth(3);
  n->SetAutoFit(true);
  EXPECT_EQ(n->GetWidth(), h.bar->TextExtent(L"Width").cx + 6 + 3);
  n->SetText(L"A longer width");
  EXPECT_EQ(n->GetWidth(), h.bar->TextExtent(L"A longer width").cx + 6 + 3);

  TOdStatusPanel* g = h.Add(sptGlyph);
  g->Glyph()->Bitmap()->SetSize(16, 16);
  g->Glyph()->OnChange(g->Glyph());
  EXPECT_EQ(g->GetWidth(), 16 + 4);
  g->SetText(L"Hi");
  EXPECT_EQ(g->GetWidth(), h.bar->TextExtent(L"Hi").cx + 2 + 16 + 4);

  // The linked panels keep step with the panels.
  EXPECT_EQ(h.bar->TStatusBar::Panels()->GetCount(), 3);
  EXPECT_EQ(h.bar->FindLinkedPanel(h.bar->TStatusBar::Panels()->GetItem(1)), n);
  h.bar->Panels()->Delete(0);
  EXPECT_EQ(h.bar->TStatusBar::Panels()->GetCount(), 2);
  EXPECT_EQ(h.bar->FindLinkedPanel(h.bar->TStatusBar::Panels()->GetItem(0)), n);
  EXPECT_EQ(n->GetLinkedPanel()->GetStyle(), psOwnerDraw);
}

TEST(OdStatusBarPanels, AssignCopiesTheDescription) {
  ClockSeam clock;
  BarHost h;
  TOdStatusPanel* a = h.Add(sptTime);
  a->SetTimeFormat(L"hh:nn");
  a->SetAlignment(taRightJustify);
  a->SetHint(L"Clock");
  TOdStatusPanel* b = h.Add(sptNormal);
  h.bar->Panels()->SetItem(1, a);
  EXPECT_EQ(b->GetPanelType(), sptTime);
  EXPECT_EQ(b->GetText(), L"23:59");
  EXPECT_EQ(b->GetAlignment(), taRightJustify);
  EXPECT_EQ(b->GetHint(), L"Clock");
  EXPECT_EQ(h.bar->Panels()->TimerClientCount(), 2);
}

TEST(OdStatusBarPanels, ReadingOrderIsTheLinkedPanelsAndTravelsWithThePanel) {
  BarHost h;
  TOdStatusPanel* a = h.Add(sptNormal, 50);
  TOdStatusPanel* b = h.Add(sptNormal, 60);
  EXPECT_TRUE(a->GetParentBiDiMode());
  EXPECT_FALSE(a->IsBiDiModeStored());
  a->SetBiDiMode(bdRightToLeft);
  EXPECT_EQ(a->GetLinkedPanel()->GetBiDiMode(), bdRightToLeft);
  EXPECT_FALSE(a->GetParentBiDiMode()) << "a mode of its own no longer follows the bar";
  EXPECT_TRUE(a->IsBiDiModeStored());
  // Copied by Assign, and kept by a move.
  TOdStatusPanel* c = h.Add(sptNormal, 70);
  h.bar->Panels()->SetItem(2, a);
  EXPECT_EQ(c->GetBiDiMode(), bdRightToLeft);
  EXPECT_FALSE(c->GetParentBiDiMode());
  a->SetIndex(1);
  EXPECT_EQ(a->GetLinkedPanel(), h.bar->TStatusBar::Panels()->GetItem(1));
  EXPECT_EQ(a->GetBiDiMode(), bdRightToLeft);
  EXPECT_FALSE(a->GetParentBiDiMode());
  EXPECT_TRUE(b->GetParentBiDiMode());
  b->SetParentBiDiMode(false);
  EXPECT_FALSE(b->GetLinkedPanel()->GetParentBiDiMode());
}

TEST(OdStatusBarPanels, ClickReachesThePanelUnderTheCursor) {
  BarHost h;
  h.Add(sptNormal, 100);
  TOdStatusPanel* second = h.Add(sptNormal, 100);
  int clicks = 0;
  struct Counter {
    int* n;
    void Clicked(TObject*) { ++*n; }
  } counter{&clicks};
  second->OnClick = TNotifyEvent(&counter, &Counter::Clicked);
  TRect r = h.bar->GetPanelRect(1);
  POINT pt{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  ClientToScreen(h.bar->GetHandle(), &pt);
  testsupport::Click(pt);
  EXPECT_TRUE(testsupport::PumpUntil([&] { return clicks > 0; }, 10000));
  EXPECT_EQ(clicks, 1);
}

TEST(OdStatusBarPanels, MovingAPanelTakesItsLinkedSettingsAlong) {
  BarHost h;
  TOdStatusPanel* a = h.Add(sptNormal, 50);
  TOdStatusPanel* b = h.Add(sptNormal, 120);
  TOdStatusPanel* c = h.Add(sptNormal, 70);
  c->SetAlignment(taRightJustify);
  c->SetIndex(0);
  EXPECT_EQ(c->GetIndex(), 0);
  EXPECT_EQ(a->GetIndex(), 1);
  EXPECT_EQ(b->GetIndex(), 2);
  EXPECT_EQ(c->GetWidth(), 70);
  EXPECT_EQ(c->GetAlignment(), taRightJustify);
  EXPECT_EQ(a->GetWidth(), 50);
  EXPECT_EQ(b->GetWidth(), 120);
  EXPECT_EQ(b->GetAlignment(), taLeftJustify);
  TStatusPanels* linked = h.bar->TStatusBar::Panels();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(h.bar->FindLinkedPanel(linked->GetItem(i)), (*h.bar->Panels())[i]);
  // The window shows the new order.
  TRect r = h.bar->GetPanelRect(0);
  EXPECT_NEAR(r.right - r.left, 70, 3);
}

TEST(OdStatusBarPanels, HintOfThePanelUnderTheCursor) {
  BarHost h;
  h.Add(sptNormal, 100)->SetHint(L"First");
  h.Add(sptNormal, 100);
  h.Add(sptNormal, 100)->SetHint(L"Third");
  h.bar->SetHint(L"Bar");
  auto ask = [&](int panel) {
    TRect r = h.bar->GetPanelRect(panel);
    THintInfo info;
    info.HintControl = h.bar;
    info.CursorPos = TPoint{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    info.CursorRect = h.bar->GetClientRect();
    info.HintStr = h.bar->GetHint();
    h.bar->Perform(CM_HINTSHOW, 0, LPARAM(&info));
    return info;
  };
  THintInfo first = ask(0);
  EXPECT_EQ(first.HintStr, L"First");
  EXPECT_EQ(first.CursorRect.right, h.bar->GetPanelRect(0).right);
  // Between the hinted panels the bar's own hint shows, over that stretch.
  THintInfo middle = ask(1);
  EXPECT_EQ(middle.HintStr, L"Bar");
  EXPECT_EQ(middle.CursorRect.left, h.bar->GetPanelRect(0).right);
  EXPECT_EQ(middle.CursorRect.right, h.bar->GetPanelRect(2).left);
}

TEST(OdStatusBarLocks, KeyHookRepaintsOnFirstPressOnly) {
  BarHost h;
  h.Add(sptCapsLock);
  h.Add(sptNumLock);
  h.bar->Update();
  Pump(20);
  TOdStatusBar* bar = h.bar;
  const LPARAM kRepeat = LPARAM(1) << 30, kRelease = LPARAM(1) << 31;
  MarkPanels(bar, 2);
  OdStatusKeyboardHookProc(HC_ACTION, VK_CAPITAL, kRepeat | 1);
  OdStatusKeyboardHookProc(HC_ACTION, VK_CAPITAL, kRelease | kRepeat | 1);
  bar->Update();
  EXPECT_TRUE(Marked(bar, 0)) << "auto-repeat and release leave the panel alone";
  OdStatusKeyboardHookProc(HC_ACTION, VK_CAPITAL, 1);
  bar->Update();
  EXPECT_FALSE(Marked(bar, 0));
  EXPECT_TRUE(Marked(bar, 1)) << "only the panel of the pressed key";
  OdStatusKeyboardHookProc(HC_ACTION, 'A', 1);
  bar->Update();
  EXPECT_TRUE(Marked(bar, 1));
  // After the application was deactivated the next key repaints them all.
  MarkPanels(bar, 2);
  TMessage m{WM_ACTIVATEAPP, 0, 0, 0};
  bar->AppWinHook(m);
  OdStatusKeyboardHookProc(HC_ACTION, 'A', 1);
  bar->Update();
  EXPECT_FALSE(Marked(bar, 0));
  EXPECT_FALSE(Marked(bar, 1));
  // The message posted on (de)activation repaints the lock panels too.
  MarkPanels(bar, 2);
  Pump(30);
  EXPECT_FALSE(Marked(bar, 0));
}

// Caps Lock pressed on the keyboard reaches its panel through the thread's
// keyboard hook: the panel shows the key's new state (the thread knows it
// only once it has taken the key's message, after the hook), the other lock
// panel is left alone, and holding the key down repaints it once.
TEST(OdStatusBarLocks, ALockKeyPressedShowsItsNewStateInItsPanel) {
  CapsLockKept kept;
  BarHost h;
  h.Add(sptCapsLock);
  h.Add(sptNumLock);
  SetForegroundWindow(h.form->GetHandle());
  h.bar->Update();
  Pump(20);
  ASSERT_EQ(GetForegroundWindow(), h.form->GetHandle());
  auto showsTheKeyState = [&] {
    const COLORREF on = RGB(0, 0, 0), off = ColorToRef(clGrayText);
    const bool keyOn = CapsOn();
    return PanelPixels(h.bar, 0, keyOn ? on : off) > 0 && PanelPixels(h.bar, 0, keyOn ? off : on) == 0;
  };
  MarkPanels(h.bar, 2);
  InputScript().Key(VK_CAPITAL, true).Send();
  EXPECT_NE(CapsOn(), kept.wasOn);
  EXPECT_FALSE(Marked(h.bar, 0));
  EXPECT_TRUE(showsTheKeyState());
  EXPECT_TRUE(Marked(h.bar, 1)) << "only the panel of the pressed key";
  MarkPanels(h.bar, 1);
  InputScript().Key(VK_CAPITAL, true).Key(VK_CAPITAL, false).Send();
  EXPECT_TRUE(Marked(h.bar, 0)) << "the key held down and let go paints nothing more";
  PressKey(VK_CAPITAL);
  EXPECT_EQ(CapsOn(), kept.wasOn);
  EXPECT_TRUE(showsTheKeyState());
}

// The application losing the activation to another program's window and
// getting it back, by clicks, repaints its lock panels each time; having
// lost it, the bar repaints them at the next key too, whichever it is.
TEST(OdStatusBarLocks, TheApplicationActivatedAndDeactivatedRepaintsTheLockPanels) {
  BarHost h;
  h.Add(sptCapsLock);
  h.Add(sptNormal)->SetText(L"Plain");
  SetForegroundWindow(h.form->GetHandle());
  ForeignWindow other(RECT{600, 400, 800, 500});
  h.bar->Update();
  Pump(20);
  ASSERT_EQ(GetForegroundWindow(), h.form->GetHandle());
  MarkPanels(h.bar, 1);
  InputScript().Click(ClientCentre(other.Wnd)).Post();
  EXPECT_TRUE(PumpUntil([&] { return !Marked(h.bar, 0); }, 10000)) << "not repainted on deactivation";
  EXPECT_EQ(GetForegroundWindow(), other.Wnd);
  MarkPanels(h.bar, 1);
  // Back by a click on the form, with no key on the way.
  InputScript().Click(ScreenPoint(h.form->GetHandle(), 10, 10)).Post();
  EXPECT_TRUE(PumpUntil([&] { return !Marked(h.bar, 0); }, 10000)) << "not repainted on activation";
  EXPECT_EQ(GetForegroundWindow(), h.form->GetHandle());
  Pump(20);
  MarkPanels(h.bar, 2);
  PressKey(VK_SHIFT);
  EXPECT_FALSE(Marked(h.bar, 0)) << "the first key after a deactivation repaints the lock panels";
  EXPECT_TRUE(Marked(h.bar, 1)) << "and only them";
}

TEST(OdStatusBarActions, AnActionOnTheBarRepaintsIt) {
  BarHost h;
  TOdStatusPanel* p = h.Add(sptNormal, 150);
  // An action that knows status bars: it writes into their first panel.
  struct TShowAction : TBasicAction {
    using TBasicAction::TBasicAction;
    bool HandlesTarget(TObject* Target) override { return dynamic_cast<TOdStatusBar*>(Target) != nullptr; }
    void ExecuteTarget(TObject* Target) override {
      static_cast<TOdStatusBar*>(Target)->Panels()->GetItem(0)->SetText(L"Done");
    }
  } show(nullptr);
  TBasicAction other(nullptr);
  auto pending = [&] {
    RECT r;
    return GetUpdateRect(h.bar->GetHandle(), &r, FALSE) != 0;
  };
  h.bar->Update();
  ASSERT_FALSE(pending());
  EXPECT_FALSE(h.bar->ExecuteAction(&other));
  EXPECT_TRUE(pending()) << "repainted whether or not the action ran";
  h.bar->Update();
  EXPECT_TRUE(h.bar->ExecuteAction(&show));
  EXPECT_EQ(p->GetText(), L"Done");
  EXPECT_TRUE(pending());
}

// A designer is told that the monitor library is missing; the bar falls
// back to its own hook all the same.
TEST(OdStatusBarDesign, MissingMonitorLibraryIsReportedWhileDesigned) {
  BarHost h;
  h.Add(sptCapsLock);
  String saved = KbMonDLLName;
  KbMonDLLName = L"ZembrioNoSuchKbMon.dll";
  h.form->SetDesigning(true);
  try {
    h.bar->SetUseMonitorDLL(true);
    ADD_FAILURE() << "no error";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), L"Could not load ZembrioNoSuchKbMon.dll");
  }
  EXPECT_FALSE(h.bar->GetUseMonitorDLL());
  EXPECT_EQ(h.bar->MonitorRegistrations(), 0);
  EXPECT_EQ(OdStatusHookClients(), 1);
  KbMonDLLName = saved;
}

// The full text stands in for a "..." hint only in the running program.
TEST(OdStatusBarDesign, EllipsisHintShowsAsSetWhileDesigned) {
  BarHost h;
  TOdStatusPanel* p = h.Add(sptEllipsisText, 60);
  p->SetText(L"A text too long for its panel");
  h.form->SetDesigning(true);
  EXPECT_EQ(p->GetHint(), L"...");
  h.form->SetDesigning(false);
  EXPECT_EQ(p->GetHint(), p->GetText());
}
