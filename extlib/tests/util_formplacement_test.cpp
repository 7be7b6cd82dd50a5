#include <gtest/gtest.h>

#include <memory>

#include "classlib/Forms.h"
#include "extlib/ExFileUtil.h"
#include "extlib/ExPlacementForm.h"

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

TEST_F(PlacementForm, EraseSectionsTakesSubsectionsOnly) {
  auto F = MakeForm();
  TMemIniFile Ini(IniName);
  for (const wchar_t* S : {L"Main", L"Main.Grid", L"Main\\Tool", L"MainOther", L"Else"})
    Ini.WriteString(S, L"v", L"1");
  Ini.UpdateFile();
  Placement->EraseSections();
  TMemIniFile After(IniName);
  EXPECT_FALSE(After.SectionExists(L"Main"));
  EXPECT_FALSE(After.SectionExists(L"Main.Grid"));
  EXPECT_FALSE(After.SectionExists(L"Main\\Tool"));
  EXPECT_TRUE(After.SectionExists(L"MainOther"));
  EXPECT_TRUE(After.SectionExists(L"Else"));
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
  MSG Pending;  // the re-created window is hooked again by a posted request
  while (PeekMessageW(&Pending, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&Pending);
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

TEST_F(PlacementForm, RestoreMovesTheMaximisedBorderOffTheScreen) {
  auto F = MakeForm();
  F->Show();
  {
    // Some window managers (Wine's) keep no maximised position of their own.
    WINDOWPLACEMENT Probe{};
    Probe.length = sizeof(Probe);
    GetWindowPlacement(F->Handle(), &Probe);
    POINT Was = Probe.ptMaxPosition;
    Probe.ptMaxPosition = POINT{-7, -7};
    SetWindowPlacement(F->Handle(), &Probe);
    GetWindowPlacement(F->Handle(), &Probe);
    bool Kept = Probe.ptMaxPosition.x == -7;
    Probe.ptMaxPosition = Was;
    SetWindowPlacement(F->Handle(), &Probe);
    if (!Kept) {
      Placement->Active = false;
      GTEST_SKIP() << "the system keeps no maximised position";
    }
  }
  Placement->RestoreFormPlacement();
  WINDOWPLACEMENT P{};
  P.length = sizeof(P);
  GetWindowPlacement(F->Handle(), &P);
  EXPECT_EQ(P.ptMaxPosition.x, -GetSystemMetrics(SM_CXFRAME));
  EXPECT_EQ(P.ptMaxPosition.y, -GetSystemMetrics(SM_CYFRAME));
  Placement->Active = false;
}

TEST(PlacementRegistry, CurrentUserAndReadOnlyOtherRoots) {
  InitForms();
  const wchar_t* Key = L"Software\\ZembrioTest\\extlib\\placement";
  {
    TFormPlacement P(nullptr);
    P.UseRegistry = true;
    P.SetIniFileName(Key);
    P.SetIniSection(L"Main");
    P.WriteString(L"Value", L"stored");
    EXPECT_EQ(P.ReadString(L"Value", L""), L"stored");
  }
  HKEY K = nullptr;
  EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\ZembrioTest\\extlib\\placement\\Main", 0, KEY_READ, &K),
            ERROR_SUCCESS);
  if (K) RegCloseKey(K);
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\ZembrioTest\\extlib");

  // Reading below another root creates nothing, there or under the user.
  TFormPlacement L(nullptr);
  L.UseRegistry = true;
  L.RegistryRoot = prLocalMachine;
  L.SetIniFileName(L"Software\\ZembrioTest\\extlib-absent");
  L.SetIniSection(L"Main");
  EXPECT_EQ(L.ReadString(L"Value", L"default"), L"default");
  EXPECT_EQ(L.ReadInteger(L"Number", 7), 7);
  K = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software\\ZembrioTest\\extlib-absent", 0, KEY_READ, &K),
            ERROR_SUCCESS);
  EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\ZembrioTest\\extlib-absent", 0, KEY_READ, &K),
            ERROR_SUCCESS);
}
