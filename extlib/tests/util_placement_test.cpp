#include <gtest/gtest.h>

#include <memory>

#include "classlib/Forms.h"
#include "classlib/IniFiles.h"
#include "classlib/Registry.h"
#include "extlib/ExPlacement.h"

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
  const String Key = L"Software\\ZembrioTest\\extlib";
  {
    TRegIniFile Reg(Key);
    WriteFormPlacement(Form.get(), &Reg, L"Placement");
    Form->SetBounds(5, 5, 120, 120);
    ReadFormPlacement(Form.get(), &Reg, L"Placement", true, true);
    EXPECT_EQ(Form->GetLeft(), 50);
    EXPECT_EQ(Form->GetWidth(), 300);
    Reg.EraseSection(L"Placement");
  }
  RegDeleteKeyW(HKEY_CURRENT_USER, Key.c_str());
}
