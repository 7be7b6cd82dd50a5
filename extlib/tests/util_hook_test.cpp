#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "extlib/ExHook.h"

namespace {

constexpr UINT WM_PROBE = WM_APP + 17;

void PumpPosted() {
  MSG M;
  while (PeekMessageW(&M, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&M);
    DispatchMessageW(&M);
  }
}

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
  if (!HookList()) EXPECT_EQ(TExtWindowHook::GetHookHandle(), reinterpret_cast<HWND>(static_cast<intptr_t>(-1)));
  TExtWindowHook H(Form.get());
  EXPECT_TRUE(H.GetActive());
  H.SetWinControl(Panel);
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
  PumpPosted();
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
  PumpPosted();
  EXPECT_EQ(HookList()->FindControlHook(Panel), nullptr);
  EXPECT_NE(HookList()->FindControlHook(Other), nullptr);
}

TEST_F(ExtWindowHook, FreeingTheControlDetaches) {
  TExtWindowHook H(Form.get());
  H.SetWinControl(Panel);
  delete Panel;
  Panel = nullptr;
  EXPECT_EQ(H.GetWinControl(), nullptr);
  PumpPosted();
}

TEST_F(ExtWindowHook, HookOnItsOwnFormIsStoredAsFlag) {
  TExtWindowHook H(Form.get());
  EXPECT_FALSE(H.IsForm());
  H.ReadForm(true);
  EXPECT_EQ(H.GetWinControl(), Form.get());
  EXPECT_TRUE(H.IsForm());
  H.SetWinControl(Panel);
  EXPECT_FALSE(H.IsForm());
}
