#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "classlib/Forms.h"
#include "classlib/IniFiles.h"
#include "classlib/Registry.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Filer.h"
#include "extlib/ExPlacement.h"
#include "extlib/ExPlacementForm.h"
#include "testsupport/Registry.h"

TEST(IniText, LineBreaksAreEscaped) {
  EXPECT_EQ(StrToIniStr(L"a\r\nb\n\rc\rd\ne"), L"a\\nb\\nc\\nd\\ne");
  EXPECT_EQ(IniStrToStr(L"a\\nb\\nc\\nd\\ne"), L"a\r\nb\r\nc\r\nd\r\ne");
  EXPECT_EQ(IniStrToStr(L"C:\\new\\x\\"), L"C:\r\new\\x\\");
  EXPECT_EQ(StrToIniStr(String(MaxIniLine, L'x')).size(), MaxIniLine);
  EXPECT_THROW(StrToIniStr(String(MaxIniLine + 1, L'x')), Exception);
  EXPECT_THROW(IniStrToStr(String(MaxIniLine + 1, L'x')), Exception);
}

TEST(IniText, ValueAccessOverAnyObject) {
  TObject Other;
  EXPECT_EQ(IniReadString(&Other, L"S", L"N", L"dflt"), L"dflt");
  EXPECT_EQ(IniReadInteger(nullptr, L"S", L"N", 5), 5);
  IniWriteString(&Other, L"S", L"N", L"x");  // nothing happens

  TMemIniFile Ini(L"zembrio-extlib-test-not-saved.ini");
  IniWriteInteger(&Ini, L"S", L"I", 42);
  IniWriteBool(&Ini, L"S", L"B", true);
  IniWriteString(&Ini, L"S", L"T", L"text");
  EXPECT_EQ(IniReadInteger(&Ini, L"S", L"I", 0), 42);
  EXPECT_TRUE(IniReadBool(&Ini, L"S", L"B", false));
  EXPECT_EQ(IniReadString(&Ini, L"S", L"T", L""), L"text");
  IniDeleteKey(&Ini, L"S", L"T");
  EXPECT_EQ(IniReadString(&Ini, L"S", L"T", L"gone"), L"gone");
  IniEraseSection(&Ini, L"S");
  EXPECT_EQ(IniReadInteger(&Ini, L"S", L"I", -1), -1);
}

TEST(IniText, QuotedValuesSurviveTheIniFile) {
  wchar_t Dir[MAX_PATH];
  GetTempPathW(MAX_PATH, Dir);
  String Name = String(Dir) + L"zembrio-extlib-quotes.ini";
  struct Case {
    const wchar_t *Value, *Stored;
  };
  for (Case C : {Case{L"\"both\"", L"\"\"both\"\""}, Case{L"'both'", L"\"'both'\""}, Case{L"\"", L"\"\"\""},
                 Case{L"\"open", L"\"open"}, Case{L"", L""}}) {
    SCOPED_TRACE(C.Value);
    DeleteFileW(Name.c_str());
    {
      TIniFile Ini(Name);
      IniWriteString(&Ini, L"S", L"V", C.Value);
    }
    wchar_t Raw[64] = {};
    GetPrivateProfileSectionW(L"S", Raw, 64, Name.c_str());  // as stored
    EXPECT_EQ(String(Raw), String(L"V=") + C.Stored);
    TIniFile Again(Name);
    EXPECT_EQ(IniReadString(&Again, L"S", L"V", L"?"), C.Value);
  }
  // Several quoted values in one file: each write leaves the others intact.
  DeleteFileW(Name.c_str());
  {
    TIniFile Ini(Name);
    IniWriteString(&Ini, L"S", L"A", L"\"a\"");
    IniWriteString(&Ini, L"S", L"B", L"'b'");
    IniWriteString(&Ini, L"S", L"C", L"\"c\"");
  }
  TIniFile All(Name);
  EXPECT_EQ(IniReadString(&All, L"S", L"A", L"?"), L"\"a\"");
  EXPECT_EQ(IniReadString(&All, L"S", L"B", L"?"), L"'b'");
  EXPECT_EQ(IniReadString(&All, L"S", L"C", L"?"), L"\"c\"");
  DeleteFileW(Name.c_str());
}

TEST(IniText, DefaultNames) {
  InitForms();
  EXPECT_EQ(GetDefaultIniName(), L"extlib_util_tests.INI");
  DefCompanyName = L"Acme";
  EXPECT_EQ(GetDefaultIniRegKey(), L"Software\\Acme\\extlib_util_tests");
  ExPlacementFinalize();
  EXPECT_EQ(GetDefaultIniRegKey(), L"Software\\extlib_util_tests");
  OnGetDefaultIniName = [] { return String(L"other.ini"); };
  EXPECT_EQ(GetDefaultIniName(), L"other.ini");
  OnGetDefaultIniName = nullptr;
}

namespace {
class FormPlacement : public ::testing::Test {
 protected:
  void SetUp() override {
    InitForms();
    Form.reset(new TForm(Application));
    Form->SetBounds(50, 60, 300, 200);
    Form->Show();
  }
  void TearDown() override { Form.reset(); }
  std::unique_ptr<TForm> Form;
  TMemIniFile Ini{L"zembrio-extlib-placement-not-saved.ini"};
};
}  // namespace

TEST_F(FormPlacement, PositionRoundTrip) {
  WriteFormPlacement(Form.get(), &Ini, L"Main");
  EXPECT_EQ(IniReadString(&Ini, L"Main", L"NormPos", L""), L"50,60,350,260");
  String Sized = Format(L"NormPos(%dx%d)", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
  EXPECT_EQ(IniReadString(&Ini, L"Main", Sized, L""), L"50,60,350,260");
  Form->SetBounds(0, 0, 100, 100);
  ReadFormPlacement(Form.get(), &Ini, L"Main", false, true);
  EXPECT_EQ(Form->GetLeft(), 50);
  EXPECT_EQ(Form->GetTop(), 60);
  EXPECT_EQ(Form->GetWidth(), 300);
  EXPECT_EQ(Form->GetHeight(), 200);
}

TEST_F(FormPlacement, PlainNameServesANewResolutionAndFixedBordersKeepSize) {
  IniWriteString(&Ini, L"F", L"NormPos", L"10,20,410,320");
  ReadFormPlacement(Form.get(), &Ini, L"F", false, true);
  EXPECT_EQ(Form->GetLeft(), 10);
  EXPECT_EQ(Form->GetTop(), 20);
  EXPECT_EQ(Form->GetWidth(), 400);

  Form->SetBorderStyle(bsDialog);
  int W = Form->GetWidth(), H = Form->GetHeight();
  IniWriteString(&Ini, L"F", L"NormPos", L"30,40,100,90");
  ReadFormPlacement(Form.get(), &Ini, L"F", false, true);
  EXPECT_EQ(Form->GetLeft(), 30);
  EXPECT_EQ(Form->GetTop(), 40);
  EXPECT_EQ(Form->GetWidth(), W);
  EXPECT_EQ(Form->GetHeight(), H);
}

// A centred form takes the restored place and stops centring itself; a
// designed one keeps its centring.
TEST_F(FormPlacement, CentredFormStopsCentringUnlessDesigned) {
  IniWriteString(&Ini, L"F", L"NormPos", L"10,20,410,320");
  Form->SetPosition(poScreenCenter);
  Form->SetDesigning(true);
  ReadFormPlacement(Form.get(), &Ini, L"F", false, true);
  EXPECT_EQ(Form->GetPosition(), poScreenCenter);
  EXPECT_EQ(Form->GetLeft(), 10);
  Form->SetDesigning(false);
  Form->SetPosition(poDesktopCenter);
  ReadFormPlacement(Form.get(), &Ini, L"F", false, true);
  EXPECT_EQ(Form->GetPosition(), poDesigned);
}

TEST_F(FormPlacement, OtherDensityKeepsPositionButAppliesState) {
  IniWriteString(&Ini, L"F", L"NormPos", L"10,20,410,320");
  IniWriteInteger(&Ini, L"F", L"PixelsPerInch", Screen->PixelsPerInch() + 48);
  IniWriteInteger(&Ini, L"F", L"ShowCmd", SW_SHOWMAXIMIZED);
  Form->SetPosition(poDesigned);
  ReadFormPlacement(Form.get(), &Ini, L"F", true, true);
  EXPECT_EQ(Form->GetWindowState(), wsMaximized);
  Form->SetWindowState(wsNormal);
  EXPECT_EQ(Form->GetLeft(), 50);
}

TEST_F(FormPlacement, RegistryTwin) {
  testsupport::ScratchKey Scratch(L"extlib");
  const String Key = Scratch.Path();
  {
    TRegIniFile Reg(Key);
    WriteFormPlacement(Form.get(), &Reg, L"Placement");
    // A value of a type that holds no number reads as a missing one: the
    // rest is restored.
    for (const wchar_t* Name : {L"Flags", L"ShowCmd"}) Scratch.Write(L"Placement", Name, REG_BINARY, "\1\2\3");
    Form->SetBounds(5, 5, 120, 120);
    ReadFormPlacement(Form.get(), &Reg, L"Placement", true, true);
    EXPECT_EQ(Form->GetLeft(), 50);
    EXPECT_EQ(Form->GetWidth(), 300);
    Reg.EraseSection(L"Placement");
  }
}

namespace {
class TMainWnd : public TForm {
 public:
  using TForm::TForm;
  const char* ClassName() const override { return "TMainWnd"; }
};
class TChildWnd : public TForm {
 public:
  using TForm::TForm;
  const char* ClassName() const override { return "TChildWnd"; }
  int Probes = 0;
  void WndProc(TMessage& M) override {
    if (M.Msg == WM_APP + 5) {
      ++Probes;
      M.Result = Probes + 100;
      return;
    }
    TForm::WndProc(M);
  }
};

String TempName(const wchar_t* Name) {
  wchar_t Dir[MAX_PATH];
  GetTempPathW(MAX_PATH, Dir);
  return String(Dir) + Name;
}
}  // namespace

TEST(PlacementDefaults, SectionsAndIniData) {
  InitForms();
  std::unique_ptr<TMainWnd> F(new TMainWnd(Application));
  auto* Panel = new TPanel(F.get());
  Panel->SetName(L"Panel1");
  Panel->SetParent(F.get());
  auto* Button = new TPanel(F.get());
  Button->SetName(L"Button1");
  Button->SetParent(Panel);
  EXPECT_EQ(GetDefaultSection(F.get()), L"TMainWnd");
  EXPECT_EQ(GetDefaultSection(Button), L"TMainWndButton1");  // run together, no separator
  TPanel Loose(nullptr), Inner(nullptr);
  Loose.SetName(L"Outer");
  Inner.SetName(L"Inner");
  Inner.SetParent(&Loose);
  EXPECT_EQ(GetDefaultSection(&Inner), L"OuterInner");
  EXPECT_EQ(GetDefaultSection(&Loose), L"Outer");
  auto* Plain = new TComponent(F.get());
  Plain->SetName(L"Store");
  EXPECT_EQ(GetDefaultSection(Plain), L"TMainWnd.Store");
  EXPECT_EQ(GetDefaultSection(nullptr), L"");

  String Name, Section;
  GetDefaultIniData(Button, Name, Section, false);
  EXPECT_EQ(Name, GetDefaultIniName());
  EXPECT_EQ(Section, L"TMainWndButton1");
  GetDefaultIniData(Button, Name, Section, true);
  EXPECT_EQ(Name, GetDefaultIniRegKey());
  auto* P = new TFormPlacement(F.get());
  P->SetIniFileName(L"mine.ini");
  GetDefaultIniData(Button, Name, Section, true);
  EXPECT_EQ(Name, L"mine.ini");
}

TEST(PlacementFree, SaveAndRestoreByClassName) {
  InitForms();
  String Name = TempName(L"zembrio-extlib-free-placement.ini");
  DeleteFileW(Name.c_str());
  std::unique_ptr<TMainWnd> F(new TMainWnd(Application));
  F->SetBounds(70, 80, 320, 240);
  F->Show();
  SaveFormPlacement(F.get(), Name, false);
  {
    TMemIniFile Ini(Name);
    EXPECT_EQ(Ini.ReadString(L"TMainWnd", L"NormPos", L""), L"70,80,390,320");
  }
  F->SetBounds(0, 0, 100, 100);
  RestoreFormPlacement(F.get(), Name, false);
  EXPECT_EQ(F->GetLeft(), 70);
  EXPECT_EQ(F->GetWidth(), 320);
  DeleteFileW(Name.c_str());
}

TEST(PlacementFree, StoredStatesOfMainAndMdiForms) {
  InitForms();
  TMemIniFile Ini(L"zembrio-extlib-states-not-saved.ini");
  IniWriteInteger(&Ini, L"S", L"ShowCmd", SW_SHOWMINIMIZED);
  IniWriteInteger(&Ini, L"M", L"ShowCmd", SW_SHOWMAXIMIZED);
  std::unique_ptr<TForm> Own;
  TCustomForm* Main = Application->GetMainForm();
  if (!Main) {
    Own.reset(Application->CreateForm<TForm>());
    Main = Own.get();
  }
  // A minimised main form: the program goes to the task bar, the form
  // itself is shown normal later.
  auto* MainForm = dynamic_cast<TForm*>(Main);
  ASSERT_NE(MainForm, nullptr);
  MainForm->Hide();
  MainForm->SetWindowState(wsMinimized);
  ReadFormPlacement(MainForm, &Ini, L"S", true, false);
  MSG Posted;
  EXPECT_TRUE(PeekMessageW(&Posted, Application->Handle(), WM_SYSCOMMAND, WM_SYSCOMMAND, PM_REMOVE));
  EXPECT_EQ(Posted.wParam, WPARAM(SC_MINIMIZE));
  MainForm->Show();
  EXPECT_FALSE(IsIconic(MainForm->Handle()));
  MainForm->Hide();

  // An MDI parent takes the stored state when it is shown.
  std::unique_ptr<TForm> Mdi(new TForm(Application));
  Mdi->SetFormStyle(fsMDIForm);
  ReadFormPlacement(Mdi.get(), &Ini, L"M", true, false);
  EXPECT_FALSE(IsZoomed(Mdi->Handle()));
  Mdi->Show();
  EXPECT_TRUE(IsZoomed(Mdi->Handle()));
}

TEST(PlacementFree, GridLayoutByColumn) {
  InitForms();
  TMemIniFile Ini(L"zembrio-extlib-grid-not-saved.ini");
  std::unique_ptr<TMainWnd> Main(new TMainWnd(Application));
  auto* Grid = new TDrawGrid(Main.get());
  Grid->SetName(L"Grid");
  Grid->SetParent(Main.get());
  Grid->SetColCount(3);
  Grid->SetColWidths(1, 33);
  SaveGridLayout(Grid, &Ini);
  EXPECT_EQ(IniReadInteger(&Ini, L"TMainWndGrid", L"Item1", 0), 33);
  Grid->SetColWidths(1, 50);
  IniWriteInteger(&Ini, L"TMainWndGrid", L"Item2", 44);
  RestoreGridLayout(Grid, &Ini);
  EXPECT_EQ(Grid->GetColWidths(1), 33);
  EXPECT_EQ(Grid->GetColWidths(2), 44);
}

TEST(PlacementFree, FormsFilesAndBroadcasts) {
  InitForms();
  EXPECT_EQ(FindForm<TChildWnd>(), nullptr);
  TChildWnd* Shown = FindShowForm<TChildWnd>(L"First");
  std::unique_ptr<TChildWnd> Keep(Shown);
  EXPECT_EQ(Shown->GetCaption(), L"First");
  EXPECT_TRUE(Shown->GetVisible());
  EXPECT_EQ(FindForm<TChildWnd>(), Shown);
  EXPECT_EQ(FindShowForm<TChildWnd>(L""), Shown);
  TChildWnd* Ref = nullptr;
  std::unique_ptr<TChildWnd> Made(InstantiateForm(Ref));
  EXPECT_EQ(InstantiateForm(Ref), Made.get());

  // The last form's answer comes back; every form got the message once.
  AppBroadcast(WM_APP + 5, 0, 0);
  EXPECT_EQ(Shown->Probes, 1);
  EXPECT_EQ(Made->Probes, 1);

  String Dir = TempName(L"zembrio-extlib-unique");
  CreateDirectoryW(Dir.c_str(), nullptr);
  for (const wchar_t* N : {L"\\f0.txt", L"\\f1.txt"}) CloseHandle(CreateFileW((Dir + N).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  EXPECT_EQ(GetUniqueFileNameInDir(Dir, L"f%d.txt"), L"f2.txt");
  DeleteFileW((Dir + L"\\f0.txt").c_str());
  DeleteFileW((Dir + L"\\f1.txt").c_str());
  RemoveDirectoryW(Dir.c_str());

  HWND App = Application->Handle();
  LONG_PTR Old = GetWindowLongPtrW(App, GWL_STYLE);
  AppTaskbarIcons(true);
  EXPECT_TRUE(GetWindowLongPtrW(App, GWL_STYLE) & WS_CAPTION);
  AppTaskbarIcons(false);
  EXPECT_FALSE(GetWindowLongPtrW(App, GWL_STYLE) & WS_CAPTION);
  SetWindowLongPtrW(App, GWL_STYLE, Old);
}
