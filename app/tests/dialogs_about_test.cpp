// The about box's title from the version resource, the help loader and
// the help routine, and the file dialogs with the places bar.
#include "app/AboutForm.h"
#include "app/Help.h"
#include "app/PlacesDialogs.h"
#include "app/tests/dialogs_support.h"
#include "classlib/Filer.h"
#include "testsupport/Registry.h"

using namespace dlgtest;

namespace {

TEST(AboutTitle, VersionAndBuildSplitAtTheLastDot) {
  EXPECT_EQ(L"Zembrio v1.0.0 Build 2", AboutTitleText(L"1.0.0.2"));
  EXPECT_EQ(L"Zembrio v Build 7", AboutTitleText(L"7"));
  EXPECT_EQ(L"Zembrio v Build ", AboutTitleText(L""));
  EXPECT_EQ(L"Zembrio v1 Build ", AboutTitleText(L"1."));
}

class AboutTest : public DialogTest {};

TEST_F(AboutTest, TitleComesFromTheProgramsVersionResourceAndManualOpensHelp) {
  std::vector<String> help;
  HelpDisplayHook = [&](const String& t) { help.push_back(t); };
  TfrmAbout* form = new TfrmAbout(Application);
  TModalResult r = RunModal(form, [&] {
    EXPECT_EQ(L"About Zembrio", form->GetCaption());
    EXPECT_EQ(L"Zembrio v3.4.5 Build 678", form->lblTitle->GetCaption());
    EXPECT_FALSE(form->imgIcon->Picture()->Icon()->Empty());  // loaded when first shown
    form->btnManual->Click();
    form->btnClose->Click();
  });
  HelpDisplayHook = nullptr;
  EXPECT_EQ(mrOk, r);
  ASSERT_EQ(1u, help.size());
  EXPECT_EQ(HelpFileName() + L"::/int_welcome.htm", help[0]);
  delete form;
}

TEST(HelpLoader, LoadsOnceAndUnloadsOnce) {
  Hh::UnloadHtmlHelp();
  Hh::UnloadHtmlHelp();  // not loaded: nothing happens
  EXPECT_EQ(nullptr, Hh::HHCtrlHandle);
  EXPECT_EQ(nullptr, Hh::HtmlHelp);
  const String path = Hh::GetPathToHHCtrlOCX();
  Hh::LoadHtmlHelp();
  if (path.empty()) {
    // No control registered on this system: help stays unavailable and
    // showing a topic does nothing.
    EXPECT_EQ(nullptr, Hh::HHCtrlHandle);
    ShowHelpTopic(L"int_welcome.htm");
    return;
  }
  ASSERT_NE(nullptr, Hh::HHCtrlHandle);
  EXPECT_NE(nullptr, Hh::HtmlHelpA);
  EXPECT_NE(nullptr, Hh::HtmlHelpW);
  EXPECT_EQ(Hh::HtmlHelpA, Hh::HtmlHelp);
  HMODULE first = Hh::HHCtrlHandle;
  Hh::LoadHtmlHelp();
  EXPECT_EQ(first, Hh::HHCtrlHandle);
  Hh::UnloadHtmlHelp();
  EXPECT_EQ(nullptr, Hh::HHCtrlHandle);
  EXPECT_EQ(nullptr, Hh::HtmlHelpA);
  EXPECT_EQ(nullptr, Hh::HtmlHelpW);
  EXPECT_EQ(nullptr, Hh::HtmlHelp);
}

// The control's registration as the loader finds it, in a key of the test
// that stands in for HKEY_CLASSES_ROOT: a path with an environment-variable
// reference is taken as it is, fails the file test and leaves help
// unavailable; the same path spelt out loads the control.
TEST(HelpLoader, AnUnexpandedRegisteredPathLeavesHelpUnavailable) {
  testsupport::ScratchKey scratch(L"app");
  const std::wstring clsid = scratch.Path(L"CLSID\\{adb880a6-d8ff-11cf-9377-00aa003b7a11}\\InprocServer32");
  testsupport::reg::CreateKey(clsid);
  const std::wstring unexpanded = L"%SystemRoot%\\system32\\hhctrl.ocx";
  wchar_t expanded[MAX_PATH] = {};
  ASSERT_GT(ExpandEnvironmentStringsW(unexpanded.c_str(), expanded, MAX_PATH), 0u);
  ASSERT_TRUE(FileExists(expanded)) << "the system's HTML Help control is missing";
  HKEY stand = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, scratch.Path().c_str(), 0, KEY_READ, &stand));
  ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CLASSES_ROOT, stand));
  Hh::UnloadHtmlHelp();
  String refused, taken;
  HMODULE loaded = nullptr;
  for (DWORD type : {DWORD(REG_EXPAND_SZ), DWORD(REG_SZ)}) {
    testsupport::reg::Write(clsid, L"", type, testsupport::Sz(unexpanded));
    refused += Hh::GetPathToHHCtrlOCX();
    Hh::LoadHtmlHelp();
    if (Hh::HHCtrlHandle) loaded = Hh::HHCtrlHandle;
  }
  testsupport::reg::Write(clsid, L"", REG_SZ, testsupport::Sz(expanded));
  taken = Hh::GetPathToHHCtrlOCX();
  Hh::LoadHtmlHelp();
  HMODULE spelt = Hh::HHCtrlHandle;
  Hh::UnloadHtmlHelp();
  RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
  RegCloseKey(stand);
  Hh::LoadHtmlHelp();  // as the program had it
  EXPECT_EQ(String(), refused);
  EXPECT_EQ(nullptr, loaded);
  EXPECT_EQ(String(expanded), taken);
  EXPECT_NE(nullptr, spelt);
}

TEST(PlacesDialogs, PlacesBarOnWindows2000MeAndLater) {
  EXPECT_TRUE(TPlacesOpenDialog::PlacesBarSupported(VER_PLATFORM_WIN32_NT, 5, 0));   // 2000
  EXPECT_TRUE(TPlacesOpenDialog::PlacesBarSupported(VER_PLATFORM_WIN32_NT, 5, 1));   // XP
  EXPECT_TRUE(TPlacesOpenDialog::PlacesBarSupported(VER_PLATFORM_WIN32_NT, 10, 0));
  EXPECT_TRUE(TPlacesOpenDialog::PlacesBarSupported(VER_PLATFORM_WIN32_WINDOWS, 4, 90));  // ME
  EXPECT_FALSE(TPlacesOpenDialog::PlacesBarSupported(VER_PLATFORM_WIN32_WINDOWS, 4, 10));  // 98
  EXPECT_FALSE(TPlacesOpenDialog::PlacesBarSupported(VER_PLATFORM_WIN32_NT, 4, 0));        // NT 4
  EXPECT_FALSE(TPlacesOpenDialog::PlacesBarSupported(VER_PLATFORM_WIN32s, 3, 95));
}

struct Seen {
  DWORD size = 0;
  DWORD flagsEx = 99;
  bool save = false;
  String title;
  int calls = 0;
};

class PlacesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TPlacesOpenDialog::DialogHook = [this](OPENFILENAMEW& ofn, bool save) {
      ++seen.calls;
      seen.size = ofn.lStructSize;
      seen.flagsEx = ofn.FlagsEx;
      seen.save = save;
      seen.title = ofn.lpstrTitle ? ofn.lpstrTitle : L"";
      wcscpy(ofn.lpstrFile, L"C:\\chosen\\file.reg");
      return TRUE;
    };
  }
  void TearDown() override {
    TPlacesOpenDialog::DialogHook = nullptr;
    TPlacesOpenDialog::VersionHook = nullptr;
  }
  static void Version(DWORD platform, DWORD major, DWORD minor) {
    TPlacesOpenDialog::VersionHook = [=](DWORD& p, DWORD& ma, DWORD& mi) {
      p = platform;
      ma = major;
      mi = minor;
      return true;
    };
  }
  Seen seen;
};

TEST_F(PlacesTest, TheWholeRecordOfThisPlatformWithThePlacesBar) {
  Version(VER_PLATFORM_WIN32_NT, 5, 1);
  TPlacesOpenDialog open(nullptr);
  EXPECT_TRUE(open.GetShowPlacesBar());
  open.SetTitle(L"Import Registry File");
  open.SetFilter(L"Registry Files (*.reg)|*.reg|All Files (*.*)|*.*");
  ASSERT_TRUE(open.Execute());
  EXPECT_EQ(sizeof(OPENFILENAMEW), seen.size);
#ifdef _WIN64
  EXPECT_EQ(152u, seen.size);
#endif
  EXPECT_EQ(0u, seen.flagsEx);
  EXPECT_FALSE(seen.save);
  EXPECT_EQ(L"Import Registry File", seen.title);
  EXPECT_EQ(L"C:\\chosen\\file.reg", open.GetFileName());

  open.SetShowPlacesBar(false);
  ASSERT_TRUE(open.Execute());
  EXPECT_EQ(sizeof(OPENFILENAMEW), seen.size);
  EXPECT_EQ(DWORD(OFN_EX_NOPLACESBAR), seen.flagsEx);

  TPlacesSaveDialog save(nullptr);
  ASSERT_TRUE(save.Execute());
  EXPECT_TRUE(seen.save);
  EXPECT_EQ(sizeof(OPENFILENAMEW), seen.size);
}

TEST_F(PlacesTest, OlderSystemsGetTheOlderRecord) {
  Version(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
  TPlacesSaveDialog save(nullptr);
  ASSERT_TRUE(save.Execute());
  EXPECT_TRUE(seen.save);
  EXPECT_EQ(DWORD(OPENFILENAME_SIZE_VERSION_400W), seen.size);
  EXPECT_EQ(0u, seen.flagsEx);
  // A version that can't be had counts as an older system.
  TPlacesOpenDialog::VersionHook = [](DWORD&, DWORD&, DWORD&) { return false; };
  TPlacesOpenDialog open(nullptr);
  ASSERT_TRUE(open.Execute());
  EXPECT_EQ(DWORD(OPENFILENAME_SIZE_VERSION_400W), seen.size);
}

TEST_F(PlacesTest, ACancelledDialogKeepsTheFileName) {
  TPlacesOpenDialog::DialogHook = [](OPENFILENAMEW&, bool) { return FALSE; };
  TPlacesOpenDialog open(nullptr);
  open.SetFileName(L"RegExport.reg");
  EXPECT_FALSE(open.Execute());
  EXPECT_EQ(L"RegExport.reg", open.GetFileName());
}

// A dialog written to a form stream and read back into a new one of the
// class registered under its name.
TComponent* StreamedCopy(TComponent* Source, TMemoryStream& M) {
  TWriter(&M).WriteRootComponent(Source);
  const std::string name = Source->ClassName();
  TComponent* copy = FindClass(String(name.begin(), name.end()))(nullptr);
  M.SetPosition(0);
  TReader(&M).ReadRootComponent(copy);
  return copy;
}

bool StreamHas(TMemoryStream& M, const std::string& Text) {
  const char* p = static_cast<const char*>(M.Memory());
  return std::string(p, size_t(M.GetSize())).find(Text) != std::string::npos;
}

TEST(PlacesDialogs, RegisteredOnSamplesAndShowPlacesBarAlwaysStored) {
  PlacesDialogs::Register();
  PlacesDialogs::Register();  // again: each still once
  EXPECT_EQ(ComponentsOnPage(L"Samples"), (std::vector<String>{L"TPlacesOpenDialog", L"TPlacesSaveDialog"}));

  // Stored at its default too, and read back whatever it holds.
  TPlacesSaveDialog save(nullptr);
  save.SetName(L"sdlg");
  TMemoryStream m1;
  std::unique_ptr<TComponent> c1(StreamedCopy(&save, m1));
  EXPECT_TRUE(StreamHas(m1, "ShowPlacesBar"));
  auto* saveCopy = dynamic_cast<TPlacesSaveDialog*>(c1.get());
  ASSERT_NE(saveCopy, nullptr);
  EXPECT_TRUE(saveCopy->GetShowPlacesBar());

  TPlacesOpenDialog open(nullptr);
  open.SetName(L"odlg");
  open.SetShowPlacesBar(false);
  TMemoryStream m2;
  std::unique_ptr<TComponent> c2(StreamedCopy(&open, m2));
  auto* openCopy = dynamic_cast<TPlacesOpenDialog*>(c2.get());
  ASSERT_NE(openCopy, nullptr);
  EXPECT_EQ(dynamic_cast<TPlacesSaveDialog*>(c2.get()), nullptr);
  EXPECT_FALSE(openCopy->GetShowPlacesBar());
}

TEST(PlacesDialogsReal, ThisSystemShowsThePlacesBar) {
  // The real version question (Wine reports an NT system of 5.x or later).
  EXPECT_TRUE(TPlacesOpenDialog::IsWin2000());
}

}  // namespace
