#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/Filer.h"
#include "extlib/ExHook.h"
#include "testsupport/Pump.h"

namespace {

// Read before any test runs: no hook has been attached in this process yet.
const HWND HookHandleAtStart = TExtWindowHook::GetHookHandle();

constexpr UINT WM_PROBE = WM_APP + 17;

int PropCount(HWND W) {
  int N = 0;
  EnumPropsExW(
      W, [](HWND, LPWSTR, HANDLE, ULONG_PTR Count) -> BOOL { return ++*reinterpret_cast<int*>(Count), TRUE; },
      reinterpret_cast<LPARAM>(&N));
  return N;
}

// Another subclasser of a window: counts what passes and forwards it.
struct TForeignSubclass {
  static inline WNDPROC Saved = nullptr;
  static inline int Calls = 0;
  static LRESULT CALLBACK Proc(HWND W, UINT M, WPARAM WP, LPARAM LP) {
    if (M == WM_PROBE) ++Calls;
    return CallWindowProcW(Saved, W, M, WP, LP);
  }
  static void Install(HWND W) {
    Calls = 0;
    Saved = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(W, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
  }
  static void Remove(HWND W) { SetWindowLongPtrW(W, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Saved)); }
};

using testsupport::PumpPending;

// A panel that records whether it saw the probe message itself.
class TProbePanel : public TPanel {
 public:
  using TPanel::TPanel;
  int Seen = 0;

 protected:
  void WndProc(TMessage& M) override {
    if (M.Msg == WM_PROBE) {
      ++Seen;
      M.Result = 42;
      return;
    }
    TPanel::WndProc(M);
  }
};

class ExtWindowHook : public ::testing::Test {
 protected:
  void SetUp() override {
    InitForms();
    Form.reset(new TForm(Application));
    Panel = new TProbePanel(Form.get());
    Panel->SetParent(Form.get());
  }
  std::unique_ptr<TForm> Form;
  TProbePanel* Panel = nullptr;
};

}  // namespace

TEST_F(ExtWindowHook, HandleBeforeFirstUseAndAttachState) {
  EXPECT_EQ(HookHandleAtStart, reinterpret_cast<HWND>(static_cast<intptr_t>(-1)));
  TExtWindowHook H(Form.get());
  EXPECT_TRUE(H.GetActive());
  int PropsBefore = PropCount(Panel->Handle());
  H.SetWinControl(Panel);
  EXPECT_EQ(PropCount(Panel->Handle()), PropsBefore);  // found through the control map
  EXPECT_EQ(H.GetWinControl(), Panel);
  EXPECT_NE(TExtWindowHook::GetHookHandle(), reinterpret_cast<HWND>(static_cast<intptr_t>(-1)));
  H.SetActive(false);
  EXPECT_FALSE(H.GetActive());
  EXPECT_EQ(SendMessageW(Panel->Handle(), WM_PROBE, 0, 0), 42);
}

TEST_F(ExtWindowHook, NewestHookFirstAndHandledStopsTheChain) {
  std::wstring Log;
  TExtWindowHook First(Form.get()), Second(Form.get());
  First.SetWinControl(Panel);
  Second.SetWinControl(Panel);
  First.BeforeMessage = THookMessageEvent([&](TObject*, TMessage& M, bool&) {
    if (M.Msg == WM_PROBE) Log += L"1b ";
  });
  First.AfterMessage = THookMessageEvent([&](TObject*, TMessage& M, bool&) {
    if (M.Msg == WM_PROBE) Log += L"1a(" + std::to_wstring(M.Result) + L") ";
  });
  bool Swallow = false;
  Second.BeforeMessage = THookMessageEvent([&](TObject*, TMessage& M, bool& Handled) {
    if (M.Msg != WM_PROBE) return;
    Log += L"2b ";
    if (Swallow) {
      Handled = true;
      M.Result = 7;
    }
  });
  EXPECT_EQ(SendMessageW(Panel->Handle(), WM_PROBE, 0, 0), 42);
  EXPECT_EQ(Log, L"2b 1b 1a(42) ");
  EXPECT_EQ(Panel->Seen, 1);

  Log.clear();
  Swallow = true;
  EXPECT_EQ(SendMessageW(Panel->Handle(), WM_PROBE, 0, 0), 7);
  EXPECT_EQ(Log, L"2b ");
  EXPECT_EQ(Panel->Seen, 1);
}

TEST_F(ExtWindowHook, FailingHookIsReportedAndTheChainGoesOn) {
  int Errors = 0;
  TExceptionEvent Old = Application->OnException;
  Application->OnException = TExceptionEvent([&](TObject*, const Exception&) { ++Errors; });
  bool EarlierRan = false;
  {
    TExtWindowHook First(Form.get()), Second(Form.get());
    First.SetWinControl(Panel);
    Second.SetWinControl(Panel);
    First.BeforeMessage = THookMessageEvent([&](TObject*, TMessage& M, bool&) {
      if (M.Msg == WM_PROBE) EarlierRan = true;
    });
    Second.BeforeMessage = THookMessageEvent([&](TObject*, TMessage& M, bool&) {
      if (M.Msg == WM_PROBE) throw Exception(L"hook failed");
    });
    EXPECT_EQ(SendMessageW(Panel->Handle(), WM_PROBE, 0, 0), 42);
  }
  Application->OnException = Old;
  EXPECT_EQ(Errors, 1);
  EXPECT_TRUE(EarlierRan);
  EXPECT_EQ(Panel->Seen, 1);
}

TEST_F(ExtWindowHook, RecreatedWindowIsHookedAgain) {
  int Probes = 0;
  TExtWindowHook H(Form.get());
  H.SetWinControl(Panel);
  H.BeforeMessage = THookMessageEvent([&](TObject*, TMessage& M, bool&) {
    if (M.Msg == WM_PROBE) ++Probes;
  });
  HWND Old = Panel->Handle();
  Panel->RecreateWnd();
  Panel->HandleNeeded();
  PumpPending();
  HWND New = Panel->Handle();
  EXPECT_NE(Old, New);
  SendMessageW(New, WM_PROBE, 0, 0);
  EXPECT_EQ(Probes, 1);
  EXPECT_EQ(Panel->Seen, 1);
}

TEST_F(ExtWindowHook, UnhookingRestoresTheWindowProcedure) {
  HWND W = Panel->Handle();
  LONG_PTR Before = GetWindowLongPtrW(W, GWLP_WNDPROC);
  {
    TExtWindowHook H(Form.get());
    H.SetWinControl(Panel);
    EXPECT_NE(GetWindowLongPtrW(W, GWLP_WNDPROC), Before);
  }
  EXPECT_EQ(GetWindowLongPtrW(W, GWLP_WNDPROC), Before);
  // The control's hook object stays for reuse, no longer subclassing.
  TControlHook* CH = HookList()->FindControlHook(Panel);
  ASSERT_NE(CH, nullptr);
  EXPECT_FALSE(CH->IsSubclassed());
  EXPECT_EQ(CH->HookCount(), 0u);

  // Moving a hook to another control frees the control hook it leaves.
  TExtWindowHook H(Form.get());
  H.SetWinControl(Panel);
  TPanel* Other = new TPanel(Form.get());
  Other->SetParent(Form.get());
  H.SetWinControl(Other);
  PumpPending();
  EXPECT_EQ(HookList()->FindControlHook(Panel), nullptr);
  EXPECT_NE(HookList()->FindControlHook(Other), nullptr);
}

TEST_F(ExtWindowHook, FreeingTheControlDetaches) {
  TExtWindowHook H(Form.get());
  H.SetWinControl(Panel);
  delete Panel;
  Panel = nullptr;
  EXPECT_EQ(H.GetWinControl(), nullptr);
  PumpPending();
}

TEST_F(ExtWindowHook, AFreedFormLeavesNothingThatPointsAtIt) {
  // A form freed with its hooks on it: its window goes before its hooks
  // do (a re-hook request is posted then), yet nothing handled afterwards
  // may reach the freed form; likewise a form whose only hook was switched
  // off first.
  for (bool SwitchedOff : {false, true}) {
    SCOPED_TRACE(SwitchedOff);
    PumpPending();
    auto* F = new TForm(Application);
    auto* Hook = new TExtWindowHook(F);
    Hook->SetWinControl(F);
    auto* Second = new TExtWindowHook(F);
    Second->SetWinControl(F);
    F->Show();
    ASSERT_NE(HookList()->FindControlHook(F), nullptr);
    if (SwitchedOff) {
      Hook->SetActive(false);
      Second->SetActive(false);
    }
    delete F;
    EXPECT_EQ(HookList()->FindControlHook(F), nullptr);
    PumpPending();
  }
}

TEST_F(ExtWindowHook, HookOnItsOwnFormIsStoredAsFlag) {
  TExtWindowHook H(Form.get());
  EXPECT_FALSE(H.IsForm());
  EXPECT_FALSE(H.NotIsForm());
  H.ReadForm(true);
  EXPECT_EQ(H.GetWinControl(), Form.get());
  EXPECT_TRUE(H.IsForm());
  EXPECT_FALSE(H.NotIsForm());
  H.SetWinControl(Panel);
  EXPECT_FALSE(H.IsForm());
  EXPECT_TRUE(H.NotIsForm());
}

TEST_F(ExtWindowHook, SubclasserAboveTheHookKeepsTheChainWhole) {
  HWND W = Panel->Handle();
  auto Hook = std::make_unique<TExtWindowHook>(Form.get());
  int Probes = 0;
  Hook->SetWinControl(Panel);
  TForeignSubclass::Install(W);

  // Moved away under the other subclasser (the control hook is freed):
  // messages still reach the control through the hook procedure.
  TPanel* Other = new TPanel(Form.get());
  Other->SetParent(Form.get());
  Hook->SetWinControl(Other);
  PumpPending();
  EXPECT_EQ(HookList()->FindControlHook(Panel), nullptr);
  EXPECT_EQ(SendMessageW(W, WM_PROBE, 0, 0), 42);
  EXPECT_EQ(Panel->Seen, 1);

  // Hooked again in that state: one pass through each procedure.
  TExtWindowHook Again(Form.get());
  Again.BeforeMessage = THookMessageEvent([&](TObject*, TMessage& M, bool&) {
    if (M.Msg == WM_PROBE) ++Probes;
  });
  Again.SetWinControl(Panel);
  EXPECT_EQ(SendMessageW(W, WM_PROBE, 0, 0), 42);
  EXPECT_EQ(Probes, 1);
  EXPECT_EQ(Panel->Seen, 2);
  EXPECT_EQ(TForeignSubclass::Calls, 2);

  // The other subclasser leaves first, then the hook: the chain is back.
  TForeignSubclass::Remove(W);
  Again.SetActive(false);
  EXPECT_EQ(SendMessageW(W, WM_PROBE, 0, 0), 42);
  EXPECT_EQ(Panel->Seen, 3);
  EXPECT_EQ(Probes, 1);
}

// Outside an unnamed namespace, so calls go through the table.
class TExtHookTestSlots : public TObject {
 public:
  virtual int First() { return 1; }
  virtual int Second() { return 2; }
};
using TSlots = TExtHookTestSlots;

namespace {
int ReplacedSecond(TSlots*) { return 22; }
// Calls through the table: the compiler can't tell the object's class.
int CallSecond(TSlots* S) {
  asm volatile("" : "+r"(S));
  return S->Second();
}
// This compiler's address of a virtual method as bound to an object.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpmf-conversions"
void* AddressOf(TSlots& S, int (TSlots::*M)()) { return reinterpret_cast<void*>(S.*M); }
#pragma GCC diagnostic pop
}  // namespace

TEST(ExtVirtualMethods, FindReadAndPatchASlot) {
  TSlots S;
  void* First = AddressOf(S, &TSlots::First);
  void* Second = AddressOf(S, &TSlots::Second);
  int FirstIndex = FindVirtualMethodIndex(&S, First);
  int SecondIndex = FindVirtualMethodIndex(&S, Second);
  ASSERT_GE(FirstIndex, 1);
  EXPECT_EQ(SecondIndex, FirstIndex + 1);
  EXPECT_EQ(GetVirtualMethodAddress(&S, SecondIndex), Second);
  EXPECT_EQ(FindVirtualMethodIndex(&S, reinterpret_cast<void*>(&ReplacedSecond)), -1);

  // The table lies in read-only memory: the write lifts the protection.
  EXPECT_EQ(SetVirtualMethodAddress(&S, SecondIndex, reinterpret_cast<void*>(&ReplacedSecond)), Second);
  EXPECT_EQ(GetVirtualMethodAddress(&S, SecondIndex), reinterpret_cast<void*>(&ReplacedSecond));
  TSlots Another;
  EXPECT_EQ(CallSecond(&Another), 22);
  EXPECT_EQ(SetVirtualMethodAddress(&S, SecondIndex, Second), reinterpret_cast<void*>(&ReplacedSecond));
  EXPECT_EQ(CallSecond(&Another), 2);
}

TEST_F(ExtWindowHook, FormHookTravelsAsIsFormInTheStream) {
  TMemoryStream S;
  {
    std::unique_ptr<TForm> F(new TForm(Application));
    auto* H = new TExtWindowHook(F.get());
    H->SetName(L"Hook");
    H->SetWinControl(F.get());
    TWriter W(&S);
    W.WriteRootComponent(F.get());
  }
  std::string Bytes(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.GetSize()));
  EXPECT_NE(Bytes.find("IsForm"), std::string::npos);
  S.SetPosition(0);
  std::unique_ptr<TForm> Other(new TForm(Application));
  auto* H = new TExtWindowHook(Other.get());
  H->SetName(L"Hook");
  TReader R(&S);
  R.ReadRootComponent(Other.get());
  EXPECT_EQ(H->GetWinControl(), Other.get());
  EXPECT_TRUE(H->IsForm());
}

#include "classlib/StdCtrls.h"
#include "extlib/tests/FormStream.h"

TEST_F(ExtWindowHook, ActiveItsControlAndItsEventsTravelInTheStream) {
  using namespace formstream;
  ExHookInitialize();  // the reader makes hooks by class
  auto Make = [](const wchar_t* Name) {
    auto F = NewForm(Name);
    Place<TEdit>(F.get(), L"Target");
    return F;
  };
  auto Edit = [](TForm* F) { return dynamic_cast<TEdit*>(F->FindComponent(L"Target")); };
  TMemoryStream S;
  auto Plain = Make(L"PlainHooks");
  (new TExtWindowHook(Plain.get()))->SetName(L"Watcher");
  Write(Plain.get(), S);
  ExpectNotStored(S, {"Active", "WinControl", "BeforeMessage", "AfterMessage", "IsForm"});

  auto Source = Make(L"SourceHooks");
  auto Copy = Make(L"CopyHooks");
  auto* Watcher = new TExtWindowHook(Source.get());
  Watcher->SetName(L"Watcher");
  Watcher->SetWinControl(Edit(Source.get()));
  auto* Idle = new TExtWindowHook(Source.get());
  Idle->SetName(L"Idle");
  Idle->SetWinControl(Edit(Source.get()));
  Idle->SetActive(false);
  int Before = 0, After = 0;
  THookMessageEvent CountBefore([&](TObject*, TMessage& M, bool&) { Before += M.Msg == WM_PROBE; });
  THookMessageEvent CountAfter([&](TObject*, TMessage& M, bool&) { After += M.Msg == WM_PROBE; });
  for (TForm* F : {Source.get(), Copy.get()}) {
    F->RegisterMethod(L"WatchBefore", CountBefore);
    F->RegisterMethod(L"WatchAfter", CountAfter);
  }
  Watcher->BeforeMessage = CountBefore;
  Watcher->AfterMessage = CountAfter;
  ExpectRoundTrip(Source.get(), Copy.get(), S);
  ExpectStored(S, {"Active", "WinControl", "BeforeMessage", "AfterMessage"});
  ExpectNotStored(S, {"IsForm"});

  TEdit* Target = Edit(Copy.get());
  auto* ReadWatcher = dynamic_cast<TExtWindowHook*>(Copy->FindComponent(L"Watcher"));
  auto* ReadIdle = dynamic_cast<TExtWindowHook*>(Copy->FindComponent(L"Idle"));
  ASSERT_NE(ReadWatcher, nullptr);
  ASSERT_NE(ReadIdle, nullptr);
  EXPECT_EQ(ReadWatcher->GetWinControl(), Target);
  EXPECT_TRUE(ReadWatcher->GetActive());
  EXPECT_EQ(ReadIdle->GetWinControl(), Target);
  EXPECT_FALSE(ReadIdle->GetActive());
  ASSERT_NE(HookList()->FindControlHook(Target), nullptr);
  EXPECT_EQ(HookList()->FindControlHook(Target)->HookCount(), 1u);  // the active one only
  SendMessageW(Target->Handle(), WM_PROBE, 0, 0);
  EXPECT_EQ(Before, 1);
  EXPECT_EQ(After, 1);
}

TEST_F(ExtWindowHook, ADesignedControlKeepsItsWindowProcedure) {
  Form->SetDesigning(true);
  HWND W = Panel->Handle();
  const LONG_PTR Own = GetWindowLongPtrW(W, GWLP_WNDPROC);
  int Seen = 0;
  TExtWindowHook H(Form.get());
  H.BeforeMessage = THookMessageEvent([&](TObject*, TMessage& M, bool&) { Seen += M.Msg == WM_PROBE; });
  H.SetWinControl(Panel);
  EXPECT_EQ(GetWindowLongPtrW(W, GWLP_WNDPROC), Own);
  EXPECT_EQ(SendMessageW(W, WM_PROBE, 0, 0), 42);
  EXPECT_EQ(Seen, 0);
  // Running, the hook takes the window when it attaches again.
  Form->SetDesigning(false);
  H.SetActive(false);
  H.SetActive(true);
  EXPECT_NE(GetWindowLongPtrW(W, GWLP_WNDPROC), Own);
  SendMessageW(W, WM_PROBE, 0, 0);
  EXPECT_EQ(Seen, 1);
}
