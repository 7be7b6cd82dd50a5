#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "classlib/Forms.h"
#include "extlib/ExFileUtil.h"
#include "extlib/ExHook.h"
#include "extlib/ExPlacementForm.h"
#include "classlib/Menus.h"
#include "testsupport/LoopScript.h"
#include "testsupport/Pump.h"
#include "testsupport/Registry.h"

namespace {

class PlacementForm : public ::testing::Test {
 protected:
  void SetUp() override {
    InitForms();
    IniName = NormalDir(GetTempDir()) + L"zembrio-extlib-placement.ini";
    DeleteFileW(IniName.c_str());
  }
  void TearDown() override { DeleteFileW(IniName.c_str()); }

  // A form with a placement on it, built as a form file would build it.
  std::unique_ptr<TForm> MakeForm(int Version = 0, TCloseQueryEvent CloseQuery = TCloseQueryEvent()) {
    std::unique_ptr<TForm> F(new TForm(Application));
    F->SetBounds(40, 50, 320, 240);
    F->OnCloseQuery = CloseQuery;
    Placement = new TFormPlacement(F.get());
    Placement->SetIniFileName(IniName);
    Placement->SetIniSection(L"Main");
    Placement->Version = Version;
    Placement->Loaded();
    return F;
  }

  String IniName;
  TFormPlacement* Placement = nullptr;
};

}  // namespace

TEST_F(PlacementForm, ClosingSavesOnceAndShowingRestores) {
  int Saves = 0;
  {
    auto F = MakeForm();
    Placement->OnSavePlacement = TNotifyEvent([&](TObject*) { ++Saves; });
    F->Show();
    EXPECT_TRUE(Placement->IsRestored());
    F->SetBounds(100, 110, 400, 300);
    F->Close();
    EXPECT_EQ(Saves, 1);
  }
  EXPECT_EQ(Saves, 1);  // the destroy handler does not save again

  auto F = MakeForm();
  F->Show();
  EXPECT_EQ(F->GetLeft(), 100);
  EXPECT_EQ(F->GetTop(), 110);
  EXPECT_EQ(F->GetWidth(), 400);
  EXPECT_EQ(Placement->ReadInteger(L"FormVersion", -1), 0);
}

TEST_F(PlacementForm, RefusedCloseSavesNothing) {
  int Asked = 0, Saves = 0;
  auto F = MakeForm(0, TCloseQueryEvent([&](TObject*, bool& CanClose) {
                      ++Asked;
                      CanClose = false;
                    }));
  Placement->OnSavePlacement = TNotifyEvent([&](TObject*) { ++Saves; });
  F->Show();
  F->Close();
  EXPECT_EQ(Asked, 1);  // the form's own handler still runs, first
  EXPECT_EQ(Saves, 0);
  F->OnCloseQuery = TCloseQueryEvent();  // let the form go without asking
  Placement->Active = false;
}

TEST_F(PlacementForm, NeverRestoredPlacementIsNotOverwritten) {
  auto F = MakeForm();
  Placement->WriteInteger(L"FormVersion", 0);
  Placement->WriteString(L"NormPos", L"1,2,3,4");
  Placement->SaveFormPlacement();
  EXPECT_EQ(Placement->ReadString(L"NormPos", L""), L"1,2,3,4");
}

TEST_F(PlacementForm, NewerVersionDiscardsOldPlacement) {
  {
    auto F = MakeForm(1);
    F->Show();
    F->SetBounds(200, 210, 300, 220);
    F->Close();
  }
  auto F = MakeForm(2);
  F->Show();
  EXPECT_EQ(F->GetLeft(), 40);  // designed position
  F->Close();
  EXPECT_EQ(Placement->ReadInteger(L"FormVersion", 0), 2);
}

TEST_F(PlacementForm, EraseSectionsTakesSubsectionsOnlyComparingWideNamesLiterally) {
  auto F = MakeForm();
  // Writes the sections, erases the placement's own and checks what is left.
  auto Erase = [&](std::initializer_list<const wchar_t*> Gone, std::initializer_list<const wchar_t*> Kept) {
    {
      TMemIniFile Ini(IniName);
      for (auto* S : Gone) Ini.WriteString(S, L"v", L"1");
      for (auto* S : Kept) Ini.WriteString(S, L"v", L"1");
      Ini.UpdateFile();
    }
    Placement->EraseSections();
    TMemIniFile After(IniName);
    for (auto* S : Gone) EXPECT_FALSE(After.SectionExists(S)) << S;
    for (auto* S : Kept) EXPECT_TRUE(After.SectionExists(S)) << S;
  };
  Erase({L"Main", L"Main.Grid", L"Main\\Tool"}, {L"MainOther", L"Else"});
  // Wide names, compared literally.
  Placement->SetIniSection(L"\x0416");
  Erase({L"\x0416", L"\x0416.Grid", L"\x0416\\Tool"}, {L"A", L"A.b", L"\x0436", L"\x0416x"});
  // Wildcard characters in a section's name are plain characters.
  Placement->SetIniSection(L"?");
  Erase({}, {L"A.b"});
  Placement->Active = false;
}

TEST_F(PlacementForm, PreventResizePinsTheSize) {
  std::unique_ptr<TForm> F(new TForm(Application));
  F->SetBounds(40, 50, 320, 240);
  Placement = new TFormPlacement(F.get());
  Placement->SetIniFileName(IniName);
  Placement->SetPreventResize(true);
  Placement->Loaded();
  EXPECT_FALSE(F->GetBorderIcons().Contains(biMaximize));
  F->Show();
  MINMAXINFO Info = {};
  SendMessageW(F->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&Info));
  EXPECT_EQ(Info.ptMinTrackSize.x, F->GetWidth());
  EXPECT_EQ(Info.ptMaxTrackSize.y, F->GetHeight());
  RECT R;
  GetWindowRect(F->Handle(), &R);
  // The bottom-right corner of the frame is no sizing border any more.
  LRESULT Hit = SendMessageW(F->Handle(), WM_NCHITTEST, 0, MAKELPARAM(R.right - 2, R.bottom - 2));
  EXPECT_FALSE(Hit >= HTLEFT && Hit <= HTBOTTOMRIGHT) << Hit;

  Placement->SetPreventResize(false);
  EXPECT_TRUE(F->GetBorderIcons().Contains(biMaximize));
  testsupport::PumpPending();  // the re-created window is hooked again by a posted request
  EXPECT_EQ(HookList()->FindControlHook(F.get()), nullptr);  // no longer needed
}

TEST_F(PlacementForm, DialogsGetNoMaximiseButtonBack) {
  std::unique_ptr<TForm> F(new TForm(Application));
  F->SetBorderStyle(bsDialog);
  Placement = new TFormPlacement(F.get());
  Placement->SetIniFileName(IniName);
  Placement->Loaded();
  Placement->SetPreventResize(true);
  Placement->SetPreventResize(false);
  EXPECT_FALSE(F->GetBorderIcons().Contains(biMaximize));
}

TEST_F(PlacementForm, MinMaxInfoLimitsTracking) {
  auto F = MakeForm();
  F->Show();
  TWinMinMaxInfo M;
  M.MinTrackWidth = 222;
  M.MaxTrackHeight = 555;
  Placement->SetMinMaxInfo(M);
  MINMAXINFO Info = {};
  Info.ptMaxTrackSize = POINT{9999, 9999};
  SendMessageW(F->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&Info));
  EXPECT_EQ(Info.ptMinTrackSize.x, 222);
  EXPECT_EQ(Info.ptMaxTrackSize.y, 555);
  EXPECT_EQ(Info.ptMaxTrackSize.x, 9999);
}

namespace {
// Keeps the placement it would give the window (the window manager may
// not keep a maximised position of its own).
class TRecordingPlacement : public TFormPlacement {
 public:
  using TFormPlacement::TFormPlacement;
  int Applied = 0;
  WINDOWPLACEMENT Last{};

 protected:
  void ApplyPlacement(HWND Wnd, const WINDOWPLACEMENT& P) override {
    ++Applied;
    Last = P;
    TFormPlacement::ApplyPlacement(Wnd, P);
  }
};
}  // namespace

TEST_F(PlacementForm, RestoreMovesTheMaximisedBorderOffTheScreen) {
  struct Case {
    TFormBorderStyle Style;
    int X, Y;
  };
  for (Case C : {Case{bsSizeable, SM_CXFRAME, SM_CYFRAME}, Case{bsDialog, SM_CXDLGFRAME, SM_CYDLGFRAME},
                 Case{bsSingle, SM_CXBORDER, SM_CYBORDER}, Case{bsNone, -1, -1}}) {
    SCOPED_TRACE(int(C.Style));
    std::unique_ptr<TForm> F(new TForm(Application));
    F->SetBorderStyle(C.Style);
    auto* P = new TRecordingPlacement(F.get());
    P->SetIniFileName(IniName);
    P->Loaded();
    F->HandleNeeded();
    P->RestoreFormPlacement();  // hidden: shown as hidden
    ASSERT_EQ(P->Applied, 1);
    EXPECT_EQ(P->Last.showCmd, UINT(SW_HIDE));
    EXPECT_EQ(P->Last.ptMaxPosition.x, C.X < 0 ? 0 : -GetSystemMetrics(C.X));
    EXPECT_EQ(P->Last.ptMaxPosition.y, C.Y < 0 ? 0 : -GetSystemMetrics(C.Y));
    // A placement that limits the size leaves the window's own alone.
    TWinMinMaxInfo M;
    M.MinTrackWidth = 100;
    P->SetMinMaxInfo(M);
    P->RestoreFormPlacement();
    EXPECT_EQ(P->Applied, 1);
    P->Active = false;
  }
}

TEST_F(PlacementForm, PreventResizeGreysSizeAndMaximizeInTheSystemMenu) {
  std::unique_ptr<TForm> F(new TForm(Application));
  Placement = new TFormPlacement(F.get());
  Placement->SetIniFileName(IniName);
  Placement->SetPreventResize(true);
  Placement->Loaded();
  F->Show();
  HMENU Menu = GetSystemMenu(F->Handle(), FALSE);
  ASSERT_NE(Menu, nullptr);
  EnableMenuItem(Menu, SC_SIZE, MF_BYCOMMAND | MF_ENABLED);
  EnableMenuItem(Menu, SC_MOVE, MF_BYCOMMAND | MF_ENABLED);
  SendMessageW(F->Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(Menu), MAKELPARAM(0, TRUE));
  EXPECT_TRUE(GetMenuState(Menu, SC_SIZE, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_TRUE(GetMenuState(Menu, SC_MAXIMIZE, MF_BYCOMMAND) & MF_GRAYED);
  EXPECT_FALSE(GetMenuState(Menu, SC_MOVE, MF_BYCOMMAND) & MF_GRAYED);
  Placement->Active = false;
}

TEST_F(PlacementForm, PreventResizeLetsTheMainMenuSeeTheSystemMenuOpen) {
  std::unique_ptr<TForm> F(new TForm(Application));
  F->SetBounds(40, 50, 320, 240);
  auto* Bar = new TMainMenu(F.get());
  auto* File = new TMenuItem(Bar);
  File->SetCaption(L"&File");
  File->Add(new TMenuItem(Bar));  // File opens a sub-menu
  Bar->Items()->Add(File);
  int Opened = 0;
  File->OnClick = [&](TObject*) { ++Opened; };
  F->SetMenu(Bar);
  // Sees each system-menu notice right after the placement has handled it
  // (an older hook: the newest handles first).
  struct Seen {
    HMENU Menu = nullptr;
    bool SizeGrey = false, MaxGrey = false, MoveGrey = true;
  };
  std::vector<Seen> SysNotices;
  auto* Watch = new TExtWindowHook(F.get());
  Watch->AfterMessage = [&](TObject*, TMessage& M, bool&) {
    if (M.Msg != WM_INITMENUPOPUP || !HIWORD(M.LParam)) return;
    auto* Menu = reinterpret_cast<HMENU>(M.WParam);
    SysNotices.push_back({Menu, (GetMenuState(Menu, SC_SIZE, MF_BYCOMMAND) & MF_GRAYED) != 0,
                          (GetMenuState(Menu, SC_MAXIMIZE, MF_BYCOMMAND) & MF_GRAYED) != 0,
                          (GetMenuState(Menu, SC_MOVE, MF_BYCOMMAND) & MF_GRAYED) != 0});
  };
  Watch->SetWinControl(F.get());
  Placement = new TFormPlacement(F.get());
  Placement->SetIniFileName(IniName);
  Placement->SetPreventResize(true);
  Placement->Loaded();
  F->Show();

  // The notice as the system sends it for a system menu (high word set):
  // the menu's item with that sub-menu hears of it once, and the notice
  // counts as handled.
  LRESULT R = SendMessageW(F->Handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(File->Handle()), MAKELPARAM(0, TRUE));
  EXPECT_EQ(R, 1);
  EXPECT_EQ(Opened, 1);

  // The real system menu, opened as Alt+Space opens it: Size and Maximize
  // are grey once the placement has seen it open (the frame is sizeable,
  // so the system itself offers Size), Move is not, and no item of the
  // menu bar runs, the system menu being none of its sub-menus.
  SysNotices.clear();
  HMENU Sys = GetSystemMenu(F->Handle(), FALSE);
  ASSERT_NE(Sys, nullptr);
  EnableMenuItem(Sys, SC_SIZE, MF_BYCOMMAND | MF_ENABLED);
  {
    testsupport::LoopScript Script({});  // Escape until the menu has closed
    SendMessageW(F->Handle(), WM_SYSCOMMAND, SC_KEYMENU, L' ');
  }
  ASSERT_EQ(SysNotices.size(), 1u) << "the system menu did not open";
  EXPECT_EQ(SysNotices[0].Menu, Sys);
  EXPECT_TRUE(SysNotices[0].SizeGrey);
  EXPECT_TRUE(SysNotices[0].MaxGrey);
  EXPECT_FALSE(SysNotices[0].MoveGrey);
  EXPECT_EQ(Opened, 1);
  Placement->Active = false;
}

TEST(PlacementRegistry, CurrentUserAndReadOnlyOtherRoots) {
  InitForms();
  testsupport::ScratchKey Scratch(L"extlib");
  const String Key = Scratch.Path(L"placement");
  {
    TFormPlacement P(nullptr);
    P.UseRegistry = true;
    P.SetIniFileName(Key);
    P.SetIniSection(L"Main");
    P.WriteString(L"Value", L"stored");
    EXPECT_EQ(P.ReadString(L"Value", L""), L"stored");
  }
  EXPECT_TRUE(Scratch.KeyExists(L"placement\\Main"));

  // Reading below another root creates nothing, there or under the user.
  TFormPlacement L(nullptr);
  L.UseRegistry = true;
  L.RegistryRoot = prLocalMachine;
  const String Absent = Scratch.Path(L"absent");
  L.SetIniFileName(Absent);
  L.SetIniSection(L"Main");
  EXPECT_EQ(L.ReadString(L"Value", L"default"), L"default");
  EXPECT_EQ(L.ReadInteger(L"Number", 7), 7);
  HKEY K = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, Absent.c_str(), 0, KEY_READ, &K), ERROR_SUCCESS);
  EXPECT_FALSE(Scratch.KeyExists(L"absent"));
}

// In the designer the placement leaves the form alone: its events, its
// maximise button and its window procedure; it shows only the names set,
// and gives back on destruction only what it took.
TEST_F(PlacementForm, DesignedFormKeepsItsEventsButtonsAndNames) {
  std::unique_ptr<TForm> F(new TForm(Application));
  TNotifyEvent Shown([](TObject*) {});
  F->OnShow = Shown;
  Placement = new TFormPlacement(F.get());
  F->SetDesigning(true);
  ASSERT_TRUE(Placement->IsDesigning());
  EXPECT_EQ(Placement->GetIniFileName(), L"");
  EXPECT_EQ(Placement->GetIniSection(), L"");
  Placement->SetIniFileName(IniName);
  Placement->SetIniSection(L"Designed");
  EXPECT_EQ(Placement->GetIniFileName(), IniName);
  EXPECT_EQ(Placement->GetIniSection(), L"Designed");
  Placement->SetPreventResize(true);
  Placement->Loaded();
  EXPECT_TRUE(F->GetBorderIcons().Contains(biMaximize));
  EXPECT_EQ(F->OnShow, Shown);
  EXPECT_FALSE(F->OnCloseQuery);
  F->HandleNeeded();
  EXPECT_EQ(HookList() ? HookList()->FindControlHook(F.get()) : nullptr, nullptr);
  // Events set after the placement was read stay when it goes.
  TNotifyEvent Later([](TObject*) {});
  F->OnDestroy = Later;
  delete Placement;
  EXPECT_EQ(F->OnDestroy, Later);
  EXPECT_EQ(F->OnShow, Shown);

  // Running, the names default to the program's and the events are taken
  // and given back.
  F->SetDesigning(false);
  Placement = new TFormPlacement(F.get());
  EXPECT_FALSE(Placement->GetIniFileName().empty());
  EXPECT_EQ(Placement->GetIniSection(), GetDefaultSection(F.get()));
  Placement->Loaded();
  EXPECT_NE(F->OnShow, Shown);
  delete Placement;
  EXPECT_EQ(F->OnShow, Shown);
  EXPECT_EQ(F->OnDestroy, Later);
}

// A placement made in code (never read from a form file) pins or limits
// the size of its form as the system sizes it.
TEST_F(PlacementForm, PlacementMadeInCodeHooksItsForm) {
  auto SizeTo = [](TForm* F, int W, int H) {
    SetWindowPos(F->Handle(), nullptr, 0, 0, W, H, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT R;
    GetWindowRect(F->Handle(), &R);
    return SIZE{R.right - R.left, R.bottom - R.top};
  };
  {
    std::unique_ptr<TForm> F(new TForm(Application));
    F->SetBounds(40, 50, 320, 240);
    Placement = new TFormPlacement(F.get());
    Placement->Active = false;
    Placement->SetPreventResize(true);
    EXPECT_FALSE(F->GetBorderIcons().Contains(biMaximize));
    F->Show();
    SIZE S = SizeTo(F.get(), 500, 400);
    EXPECT_EQ(S.cx, 320);
    EXPECT_EQ(S.cy, 240);
    Placement->SetPreventResize(false);
    S = SizeTo(F.get(), 500, 400);
    EXPECT_EQ(S.cx, 500);
  }
  std::unique_ptr<TForm> F(new TForm(Application));
  F->SetBounds(40, 50, 320, 240);
  Placement = new TFormPlacement(F.get());
  Placement->Active = false;
  TWinMinMaxInfo M;
  M.MinTrackWidth = 300;
  M.MaxTrackHeight = 350;
  Placement->SetMinMaxInfo(M);
  F->Show();
  SIZE S = SizeTo(F.get(), 150, 500);
  EXPECT_EQ(S.cx, 300);
  EXPECT_EQ(S.cy, 350);
  Placement->SetMinMaxInfo(TWinMinMaxInfo());
  S = SizeTo(F.get(), 150, 500);
  EXPECT_EQ(S.cx, 150);
  EXPECT_EQ(S.cy, 500);
}

// Two placements on one form, the first freed while the form lives on: the
// second still restores on show and saves on close, and the form's own
// handlers still run once each, reached through the second alone.
TEST_F(PlacementForm, SecondPlacementKeepsItsHooksWhenTheFirstGoes) {
  int Shown = 0, Asked = 0, Destroyed = 0, Restores = 0, Saves = 0;
  std::unique_ptr<TForm> F(new TForm(Application));
  F->SetBounds(40, 50, 320, 240);
  F->OnShow = TNotifyEvent([&](TObject*) { ++Shown; });
  F->OnCloseQuery = TCloseQueryEvent([&](TObject*, bool&) { ++Asked; });
  F->OnDestroy = TNotifyEvent([&](TObject*) { ++Destroyed; });
  auto* First = new TFormPlacement(F.get());
  First->SetIniFileName(IniName);
  First->SetIniSection(L"First");
  First->Loaded();
  auto* Second = new TFormPlacement(F.get());
  Second->SetIniFileName(IniName);
  Second->SetIniSection(L"Second");
  Second->Loaded();
  Second->OnRestorePlacement = TNotifyEvent([&](TObject*) { ++Restores; });
  Second->OnSavePlacement = TNotifyEvent([&](TObject*) { ++Saves; });
  delete First;

  F->Show();
  EXPECT_EQ(Restores, 1);
  EXPECT_EQ(Shown, 1);
  F->Close();
  EXPECT_EQ(Asked, 1);
  EXPECT_EQ(Saves, 1);
  F.reset();
  EXPECT_EQ(Destroyed, 1);
}
