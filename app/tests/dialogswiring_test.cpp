// The dialogs bound into the data module as the program starts them: the
// value-editing road from the data module to the registry, the options
// and about commands' hooks and help.
#include "app/AboutForm.h"
#include "app/dmodCommonU.h"
#include "app/EditValue.h"
#include "app/EditValueBin.h"
#include "app/FindForm.h"
#include "app/Help.h"
#include "app/OptionsForm.h"
#include "app/PlacesDialogs.h"
#include "app/tests/dialogs_support.h"
#include "classlib/Filer.h"
#include "testsupport/Input.h"
#include "testsupport/Registry.h"

using namespace dlgtest;

namespace {

TfrmEditValue* frmEditValue = nullptr;
TfrmEditValueBin* frmEditValueBin = nullptr;
TfrmFind* frmFind = nullptr;
TfrmOptions* frmOptions = nullptr;
TfrmAbout* frmAbout = nullptr;

// The dialogs created and bound as the program's start-up does it.
void CreateAndBindDialogs() {
  InstallApplicationHelp();
  TCommonLogic* logic = &dmodCommon->Logic;
  frmEditValue = new TfrmEditValue(Application, logic);
  frmEditValueBin = new TfrmEditValueBin(Application, logic);
  frmFind = new TfrmFind(Application, logic);
  frmOptions = new TfrmOptions(Application, logic);
  frmAbout = new TfrmAbout(Application);
  frmOptions->BookmarkDialog = dmodCommon->sdlgBookmarks;
  frmOptions->FontDialog = dmodCommon->fdlgFont;
  logic->OnEditValue = [](unsigned char Type) {
    return Type == cValue::cvtBinary ? frmEditValueBin->ShowModal() : frmEditValue->ShowModal();
  };
  frmFind->OnStartSearch = [](bool Repeat, const TSearchInput& Input) { dmodCommon->StartSearch(Repeat, Input); };
  dmodCommon->ShowFindDialogHook = [] { frmFind->ShowModal(); };
  frmOptions->OnAskYesNo = [](const String& Question) { return dmodCommon->AskYesNo(Question); };
  dmodCommon->ShowOptionsHook = [] { return frmOptions->ShowModal(); };
  dmodCommon->ShowAboutHook = [] { frmAbout->ShowModal(); };
  dmodCommon->HtmlHelpHook = [](const String& File, const String& Topic) { ShowHelpTopicIn(File, Topic); };
}

class WiringTest : public testsupport::ScratchKeyTest {
 protected:
  WiringTest() : ScratchKeyTest(L"app") {}
  static void SetUpTestSuite() {
    ClearSettings();
    dmodCommon = new TdmodCommon(Application);
    dmodCommon->ReadAllOptions();
    CreateAndBindDialogs();
  }
  // The application frees the forms and the data module at the end, as
  // it does in the program.
  void SetUp() override {
    ScratchKeyTest::SetUp();
    Messages().Texts.clear();
    ShownExceptions().clear();
    dmodCommon->Logic.OnStatusText = [this](const String& t) { status.push_back(t); };
  }
  void TearDown() override {
    dmodCommon->Logic.OnStatusText = nullptr;
    EXPECT_TRUE(ShownExceptions().empty());
    ScratchKeyTest::TearDown();
  }
  // The test's key as the editor names it below its root.
  String Sub() const { return Path(); }
  std::string Raw(const String& name, DWORD& type) const {
    std::string bytes;
    return testsupport::reg::Read(Path(), name, type, bytes) ? bytes : "<missing>";
  }
  std::vector<String> status;
};

TEST_F(WiringTest, TheFontDialogStartsWithMsSansSerifEightPoints) {
  // Before the options dialog first hands it a font.
  EXPECT_EQ(dmodCommon->fdlgFont->Font()->GetName(), L"MS Sans Serif");
  EXPECT_EQ(dmodCommon->fdlgFont->Font()->GetSize(), 8);
}

TEST_F(WiringTest, TheDataModulesSharedComponentsAreFoundByName) {
  // A form's stored reference to a shared component names the data
  // module and the component, and reads back as that component.
  const std::pair<TComponent*, const wchar_t*> Shared[] = {
      {dmodCommon->imlTreeImages, L"imlTreeImages"},   {dmodCommon->imlLVImages16, L"imlLVImages16"},
      {dmodCommon->imlLVImages32, L"imlLVImages32"},   {dmodCommon->imlTabSheets, L"imlTabSheets"},
      {dmodCommon->imlMenuToolbar, L"imlMenuToolbar"}, {dmodCommon->odlgImport, L"odlgImport"},
      {dmodCommon->sdlgExport, L"sdlgExport"},         {dmodCommon->odlgBookmarks, L"odlgBookmarks"},
      {dmodCommon->fdlgFont, L"fdlgFont"},             {dmodCommon->sdlgBookmarks, L"sdlgBookmarks"},
      {&dmodCommon->rsOptions(), L"rsOptions"},        {&dmodCommon->iorPort(), L"iorPort"},
  };
  for (const auto& [Component, Name] : Shared) {
    SCOPED_TRACE(Name);
    EXPECT_EQ(Component->GetOwner(), dmodCommon);
    EXPECT_EQ(dmodCommon->FindComponent(Name), Component);
    const String Stored = ComponentReferenceName(frmOptions, Component);
    EXPECT_EQ(Stored, String(L"dmodCommon.") + Name);
    EXPECT_EQ(FindReferencedComponent(frmOptions, Stored), Component);
  }
}

// The data module's published components in their order, and its
// settings store and registry-file component read back from its stream:
// the 57 settings and the port's format into a data module whose own
// were changed.
TEST_F(WiringTest, TheDataModulesStreamHoldsItsSettingsStoreAndRegistryFilePort) {
  std::vector<String> names;
  for (int i = 0; i < dmodCommon->GetComponentCount(); ++i) names.push_back(dmodCommon->GetComponent(i)->GetName());
  const std::vector<String> published = {L"imlTreeImages", L"imlLVImages16", L"imlLVImages32", L"iorPort",
                                         L"imlTabSheets",  L"imlMenuToolbar", L"odlgImport",    L"sdlgExport",
                                         L"odlgBookmarks", L"fdlgFont",       L"sdlgBookmarks", L"rsOptions"};
  EXPECT_EQ(names, published);

  dmodCommon->iorPort().Filename = L"Other.reg";
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(dmodCommon);
  dmodCommon->iorPort().Filename = L"RegistryDump.reg";
  TdmodCommon other(nullptr);
  other.rsOptions().GetValues()->Clear();
  other.rsOptions().BaseKey.clear();
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(&other);
  ASSERT_EQ(other.rsOptions().Count(), 57);
  EXPECT_EQ(other.rsOptions().BaseKey, L"Software\\Quorvel\\Zembrio");
  for (int i = 0; i < 57; ++i) {
    EXPECT_EQ(other.rsOptions().Item(i).GetName(), dmodCommon->rsOptions().Item(i).GetName());
    EXPECT_EQ(other.rsOptions().Item(i).GetDefaultValue(), dmodCommon->rsOptions().Item(i).GetDefaultValue());
  }
  EXPECT_EQ(other.iorPort().Filename, L"Other.reg");
}

TEST_F(WiringTest, TheDataModulesFileDialogsShowThePlacesBar) {
  struct Want {
    TPlacesOpenDialog* Dialog;
    const char* Class;
    const wchar_t* Title;
    const wchar_t* Ext;
    const wchar_t* File;
    const wchar_t* Filter;
    TOpenOptions Options;
  };
  const wchar_t* RegFilter = L"Registry Files (*.reg)|*.reg|All Files (*.*)|*.*";
  const wchar_t* BmFilter = L"Zembrio Bookmarks (*.ZembrioBM)|*.ZembrioBM|All files (*.*)|*.*";
  const TOpenOptions Bm{ofOverwritePrompt, ofHideReadOnly, ofEnableSizing};
  const Want Dialogs[] = {
      {dmodCommon->odlgImport, "TPlacesOpenDialog", L"Import Registry File", L"reg", L"RegExport.reg", RegFilter,
       TOpenOptions{ofFileMustExist, ofEnableSizing}},
      {dmodCommon->sdlgExport, "TPlacesSaveDialog", L"Export Registry File", L"reg", L"RegExport.reg", RegFilter,
       TOpenOptions{ofOverwritePrompt, ofEnableSizing}},
      {dmodCommon->odlgBookmarks, "TPlacesOpenDialog", L"Select a bookmark file", L"ZembrioBM",
       L"Bookmarks.ZembrioBM", BmFilter, Bm},
      {dmodCommon->sdlgBookmarks, "TPlacesSaveDialog", L"Select a bookmark file", L"ZembrioBM",
       L"Bookmarks.ZembrioBM", BmFilter, Bm},
  };
  for (const Want& W : Dialogs) {
    SCOPED_TRACE(W.Title);
    ASSERT_NE(W.Dialog, nullptr);
    EXPECT_STREQ(W.Dialog->ClassName(), W.Class);
    EXPECT_EQ(W.Dialog->GetOwner(), dmodCommon);
    EXPECT_EQ(W.Dialog->GetTitle(), W.Title);
    EXPECT_EQ(W.Dialog->GetDefaultExt(), W.Ext);
    EXPECT_EQ(W.Dialog->GetFileName(), W.File);
    EXPECT_EQ(W.Dialog->GetFilter(), W.Filter);
    EXPECT_EQ(W.Dialog->GetOptions(), W.Options);
    EXPECT_TRUE(W.Dialog->GetShowPlacesBar());
  }
}

TEST_F(WiringTest, EditingAStringRunsTheEditorAndSavesThroughTheDataModule) {
  cValue v;
  v.SetName(L"Greeting");
  v.SetString(L"hello");
  v.Update(RegRoot::CurrentUser, L"\\" + Sub());
  ScheduleSteps({[&] {
    ASSERT_TRUE(frmEditValue->GetVisible());
    EXPECT_EQ(L"HKEY_CURRENT_USER\\" + Sub(), frmEditValue->edtPath->GetText());
    frmEditValue->edtValueStr->SetText(L"hello again");
    frmEditValue->btnOk->Click();
  }});
  EXPECT_TRUE(dmodCommon->SaveEditedValue(RegRoot::CurrentUser, L"\\" + Sub(), v));
  DWORD type = 0;
  const std::string raw = Raw(L"Greeting", type);
  EXPECT_EQ(DWORD(REG_SZ), type);
  EXPECT_EQ(String(L"hello again") + L'\0', String(reinterpret_cast<const wchar_t*>(raw.data()), raw.size() / 2));
  ASSERT_FALSE(status.empty());
  EXPECT_EQ(L"String value saved.", status.back());
}

TEST_F(WiringTest, EditingAnIntegerOnTheDecimalPageStoresIt) {
  cValue v;
  v.SetName(L"Count");
  v.SetInteger(7);
  v.Update(RegRoot::CurrentUser, L"\\" + Sub());
  ScheduleSteps({[&] {
    frmEditValue->pagEditFormat->SelectNextPage(false);  // Decimal
    TBinHexEdit* dec = frmEditValue->edtValueDec;
    dec->SelectAll();
    dec->TypeChar(L'\b');
    for (wchar_t c : String(L"4294967295")) dec->TypeChar(c);
    frmEditValue->pagEditFormat->SelectNextPage(true);  // Hexadecimal
    frmEditValue->btnOk->Click();
  }});
  EXPECT_TRUE(dmodCommon->SaveEditedValue(RegRoot::CurrentUser, L"\\" + Sub(), v));
  DWORD type = 0;
  const std::string raw = Raw(L"Count", type);
  EXPECT_EQ(DWORD(REG_DWORD), type);
  EXPECT_EQ(std::string("\xFF\xFF\xFF\xFF", 4), raw);
  EXPECT_EQ(L"Integer value saved.", status.back());
}

TEST_F(WiringTest, CancelledEditorsWriteNothing) {
  cValue v;
  v.SetName(L"Blob");
  v.SetBinary(std::string("\x01\x02", 2));
  v.Update(RegRoot::CurrentUser, L"\\" + Sub());
  ScheduleSteps({[&] {
    ASSERT_TRUE(frmEditValueBin->GetVisible());
    SendMessageW(frmEditValueBin->heValue->GetHandle(), WM_CHAR, L'F', 0);
    frmEditValueBin->btnCancel->Click();
  }});
  EXPECT_FALSE(dmodCommon->SaveEditedValue(RegRoot::CurrentUser, L"\\" + Sub(), v));
  DWORD type = 0;
  EXPECT_EQ(std::string("\x01\x02", 2), Raw(L"Blob", type));
  // The status was cleared as the editor opened: nothing stands after it.
  EXPECT_EQ(status, std::vector<String>{String()});
}

TEST_F(WiringTest, EditingBinaryDataSavesTheHexEditorsBytes) {
  cValue v;
  v.SetName(L"Blob");
  v.SetBinary(std::string("\x01\x02", 2));
  v.Update(RegRoot::CurrentUser, L"\\" + Sub());
  ScheduleSteps({[&] {
    HWND h = frmEditValueBin->heValue->GetHandle();
    SendMessageW(h, WM_CHAR, L'F', 0);
    SendMessageW(h, WM_CHAR, L'E', 0);
    frmEditValueBin->btnOk->Click();
  }});
  EXPECT_TRUE(dmodCommon->SaveEditedValue(RegRoot::CurrentUser, L"\\" + Sub(), v));
  DWORD type = 0;
  EXPECT_EQ(std::string("\xFE\x02", 2), Raw(L"Blob", type));
  EXPECT_EQ(DWORD(REG_BINARY), type);
  EXPECT_EQ(L"Binary value saved.", status.back());
}

// The preferences command hears OK, Abort from "Cancel" and Escape (the
// one answer that counts as cancelling), and the standard cancel result
// from the window's close box.
TEST_F(WiringTest, PreferencesAnswerAbortOnlyWhenCancelled) {
  // Each step waits for the dialog to take the keyboard before it clicks.
  auto clickOn = [](std::function<POINT()> Where) {
    return [Where] {
      ASSERT_TRUE(WaitForKeyboard(frmOptions));
      testsupport::InputScript().Click(Where()).Post();
    };
  };
  ScheduleSteps({clickOn([] { return testsupport::ClientCentre(frmOptions->btnOk->GetHandle()); })});
  EXPECT_EQ(mrOk, dmodCommon->ShowOptionsHook());
  ScheduleSteps({clickOn([] { return testsupport::ClientCentre(frmOptions->btnCancel->GetHandle()); })});
  EXPECT_EQ(mrAbort, dmodCommon->ShowOptionsHook());
  ScheduleSteps({[] {
    ASSERT_TRUE(WaitForKeyboard(frmOptions));
    testsupport::InputScript().Press(VK_ESCAPE).Post();
  }});
  EXPECT_EQ(mrAbort, dmodCommon->ShowOptionsHook());
  ScheduleSteps({clickOn([] { return CloseBoxPoint(frmOptions->GetHandle()); })});
  EXPECT_EQ(mrCancel, dmodCommon->ShowOptionsHook());
}

TEST_F(WiringTest, AboutCommandAndHelpTopics) {
  String title;
  ScheduleSteps({[&] {
    title = frmAbout->lblTitle->GetCaption();
    frmAbout->btnClose->Click();
  }});
  ASSERT_TRUE(bool(dmodCommon->ShowAboutHook));
  dmodCommon->ShowAboutHook();
  EXPECT_EQ(L"Zembrio v3.4.5 Build 678", title);

  std::vector<String> help;
  HelpDisplayHook = [&](const String& t) { help.push_back(t); };
  dmodCommon->ShowHelpTopic(L"int_contact.htm");
  dmodCommon->ShowHelpContents();
  HelpDisplayHook = nullptr;
  ASSERT_EQ(2u, help.size());
  EXPECT_EQ(HelpFileName() + L"::/int_contact.htm", help[0]);
  EXPECT_EQ(HelpFileName() + L"::/int_welcome.htm", help[1]);

  // A help context asked of the application reaches the help file.
  std::vector<std::pair<String, DWORD>> contexts;
  HelpContextHook = [&](const String& File, DWORD Context) { contexts.emplace_back(File, Context); };
  EXPECT_TRUE(Application->HelpContext(1205));
  EXPECT_TRUE(Application->HelpCommand(HELP_CONTEXTPOPUP, 77));
  HelpContextHook = nullptr;
  ASSERT_EQ(2u, contexts.size());
  EXPECT_EQ(std::make_pair(HelpFileName(), DWORD(1205)), contexts[0]);
  EXPECT_EQ(DWORD(77), contexts[1].second);
}

}  // namespace
