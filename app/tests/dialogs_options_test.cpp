// The preferences dialog: loading and storing the settings, which answers
// count as accepting, the restart on a change of the root-key naming, the
// bookmark file questions and the font.
#include <cstdio>

#include "app/OptionsForm.h"
#include "app/PlacesDialogs.h"
#include "app/tests/dialogs_support.h"
#include "testsupport/Input.h"

using namespace dlgtest;

namespace {

class FakeFontDialog : public TFontDialog {
 public:
  explicit FakeFontDialog(TComponent* o) : TFontDialog(o) {}
  bool Answer = true;
  String SeenName;

 protected:
  BOOL CallDialog(CHOOSEFONTW& cf) override {
    SeenName = cf.lpLogFont->lfFaceName;
    if (!Answer) return FALSE;
    wcscpy(cf.lpLogFont->lfFaceName, L"Courier New");
    cf.lpLogFont->lfWeight = FW_BOLD;
    cf.lpLogFont->lfItalic = TRUE;
    return TRUE;
  }
};

class OptionsTest : public DialogTest {
 protected:
  void SetUp() override {
    DialogTest::SetUp();
    form = new TfrmOptions(Application, dm.get());
    form->OnClearBookmarks = [this](TObject*) { ++clears; };
    form->OnLoadBookmarks = [this](const String& f) { loads.push_back(f); };
    form->OnCloseMainWindow = [this](TObject*) { ++mainCloses; };
  }
  void TearDown() override {
    delete form;
    TPlacesOpenDialog::DialogHook = nullptr;
    DialogTest::TearDown();
  }
  bool StoredBool(const String& sub, const String& name) {
    DWORD type = 0, n = 0;
    std::wstring text;
    if (!ReadSetting(sub, name, type, text, n)) return false;
    return n != 0 || text == L"True" || text == L"true" || text == L"1";
  }
  // A number setting as stored; -1 when it is missing.
  long long StoredNumber(const String& sub, const String& name) {
    DWORD type = 0, n = 0;
    std::wstring text;
    return ReadSetting(sub, name, type, text, n) ? static_cast<long long>(n) : -1;
  }
  TfrmOptions* form = nullptr;
  int clears = 0;
  int mainCloses = 0;
  std::vector<String> loads;
};

TEST_F(OptionsTest, ShowsTheStoredSettingsAndTheDefaultFont) {
  RunModal(form, [&] {
    EXPECT_EQ(0, form->GetLeft());
    EXPECT_EQ(0, form->GetTop());
    EXPECT_EQ(L"Tahoma, 8 pt", form->edtFont->GetText());
    EXPECT_EQ(dm->GetOption(L"PreloadHasChildren").AsBoolean(), form->chkPreloadHasChildren->GetChecked());
    EXPECT_EQ(dm->GetOption(L"DragHandleStyle").AsInteger(), form->rgrpDragHandleStyle->GetItemIndex());
    EXPECT_EQ(dm->GetOption(L"ShowHints").AsBoolean(), form->chkShowHints->GetChecked());
    EXPECT_FALSE(form->BookmarkPathChanged());
    form->btnCancel->Click();
  });
  EXPECT_TRUE(Messages().Texts.empty());
}

// A grip style stored outside the three items (edited by hand) still lets
// the dialog open; it shows the double bar, the grip the window draws for it.
TEST_F(OptionsTest, AGripStyleOutOfRangeShowsTheDoubleBar) {
  for (int stored : {3, -1, INT_MIN, INT_MAX}) {
    dm->SetOption(L"DragHandleStyle", stored);
    bool shown = false;
    RunModal(form, [&] {
      shown = form->GetVisible();
      EXPECT_EQ(form->rgrpDragHandleStyle->GetItemIndex(), 2) << stored;
      form->btnCancel->Click();
    });
    EXPECT_TRUE(shown) << stored;
  }
}

TEST_F(OptionsTest, OkStoresEverySettingAndWritesThem) {
  const bool preload = dm->GetOption(L"PreloadHasChildren").AsBoolean();
  TModalResult r = RunModal(form, [&] {
    form->chkPreloadHasChildren->SetChecked(!preload);
    form->rgrpDragHandleStyle->SetItemIndex(2);
    form->chkReopenPrevious->SetChecked(true);
    form->chkShowSearchProgress->SetChecked(true);
    form->SetLeft(12);
    form->btnOk->Click();
  });
  EXPECT_EQ(mrOk, r);
  EXPECT_EQ(!preload, dm->GetOption(L"PreloadHasChildren").AsBoolean());
  EXPECT_EQ(2, dm->GetOption(L"DragHandleStyle").AsInteger());
  EXPECT_EQ(!preload, StoredBool(L"General", L"PreloadHasChildren"));
  EXPECT_TRUE(StoredBool(L"General", L"ReopenPrevious"));
  EXPECT_EQ(12, StoredNumber(L"OptionsForm", L"OptLeft"));
  EXPECT_TRUE(Messages().Texts.empty());
  EXPECT_EQ(0, mainCloses);
}

// "Cancel" and Escape end the dialog with the Abort result and store
// nothing but the dialog's position.
TEST_F(OptionsTest, CancelAndEscapeStoreOnlyThePosition) {
  const bool preload = dm->GetOption(L"PreloadHasChildren").AsBoolean();
  auto changeThen = [&](const std::function<void()>& end) {
    return RunModal(form, [&] {
      form->chkPreloadHasChildren->SetChecked(!preload);
      form->chkAbbrBaseKey->SetChecked(!form->chkAbbrBaseKey->GetChecked());
      form->edtBookmarkFile->SetText(L"C:\\elsewhere.ZembrioBM");
      form->SetTop(77);
      end();
    });
  };
  EXPECT_EQ(mrAbort, changeThen([&] {
              testsupport::InputScript().Click(testsupport::ClientCentre(form->btnCancel->GetHandle())).Post();
            }));
  EXPECT_EQ(mrAbort, changeThen([&] {
              ASSERT_TRUE(WaitForKeyboard(form));
              testsupport::InputScript().Press(VK_ESCAPE).Post();
            }));
  EXPECT_EQ(preload, dm->GetOption(L"PreloadHasChildren").AsBoolean());
  EXPECT_EQ(String(), dm->GetOption(L"BookmarkFile").AsString());
  EXPECT_EQ(77, dm->GetOption(L"OptTop").AsInteger());
  EXPECT_EQ(-1, StoredNumber(L"General", L"PreloadHasChildren"));
  EXPECT_TRUE(Messages().Texts.empty());
  EXPECT_EQ(0, mainCloses);
  EXPECT_EQ(0, clears);
}

// The window's close box ends the dialog with the standard cancel result,
// which is not cancelling: the settings are stored as with "OK".
TEST_F(OptionsTest, TheCloseBoxSavesAsOkDoes) {
  const bool preload = dm->GetOption(L"PreloadHasChildren").AsBoolean();
  TModalResult r = RunModal(form, [&] {
    form->chkPreloadHasChildren->SetChecked(!preload);
    form->rgrpDragHandleStyle->SetItemIndex(0);
    testsupport::InputScript().Click(CloseBoxPoint(form->GetHandle())).Post();
  });
  EXPECT_EQ(mrCancel, r);
  EXPECT_EQ(!preload, dm->GetOption(L"PreloadHasChildren").AsBoolean());
  EXPECT_EQ(!preload, StoredBool(L"General", L"PreloadHasChildren"));
  EXPECT_EQ(0, StoredNumber(L"Appearance", L"DragHandleStyle"));
  EXPECT_TRUE(Messages().Texts.empty());
  EXPECT_EQ(0, mainCloses);
}

TEST_F(OptionsTest, ChangingTheRootKeyNamingAsksForARestart) {
  RunModal(form, [&] {
    form->chkAbbrBaseKey->SetChecked(!form->chkAbbrBaseKey->GetChecked());
    form->btnOk->Click();
  });
  ASSERT_EQ(1u, Messages().Texts.size());
  EXPECT_EQ(TfrmOptions::RestartText, Messages().Texts[0]);
  EXPECT_EQ(1, mainCloses);
  EXPECT_TRUE(dm->GetOption(L"AbbrBaseKeyNames").AsBoolean());
  EXPECT_TRUE(StoredBool(L"General", L"AbbrBaseKeyNames"));
  EXPECT_FALSE(StoredBool(L"Appearance", L"AbbrBaseKeyNames"));
  // Toggled twice: back to the stored value, nothing to say.
  Messages().Texts.clear();
  RunModal(form, [&] {
    form->chkAbbrBaseKey->SetChecked(false);
    form->chkAbbrBaseKey->SetChecked(true);
    form->btnOk->Click();
  });
  EXPECT_TRUE(Messages().Texts.empty());
  EXPECT_EQ(1, mainCloses);
}

TEST_F(OptionsTest, ABookmarkPathTypedBackStillCountsAsAChange) {
  const String existing = String(_wgetenv(L"TEMP") ? _wgetenv(L"TEMP") : L".") + L"\\zembrio_dlg_test.ZembrioBM";
  {
    FILE* f = _wfopen(existing.c_str(), L"wb");
    ASSERT_NE(nullptr, f);
    fputs("desc\r\nHKEY_CURRENT_USER\r\n\\Software\r\n", f);
    fclose(f);
  }
  dm->SetOption(L"BookmarkFile", existing);
  RunModal(form, [&] {
    form->edtBookmarkFile->SetText(L"something else");
    form->edtBookmarkFile->SetText(existing);
    EXPECT_TRUE(form->BookmarkPathChanged());
    form->btnOk->Click();
  });
  ASSERT_EQ(2u, Messages().Texts.size());
  EXPECT_EQ(TfrmOptions::ClearBookmarksQuestion, Messages().Texts[0]);
  EXPECT_EQ(TfrmOptions::MergeBookmarksQuestion, Messages().Texts[1]);
  EXPECT_EQ(1, clears);
  EXPECT_EQ(std::vector<String>{existing}, loads);

  // The same file's name in quotes ("Copy as path"): the same questions,
  // and its bookmarks are merged in.
  Messages().Texts.clear();
  RunModal(form, [&] {
    form->edtBookmarkFile->SetText(L"\"" + existing + L"\"");
    form->btnOk->Click();
  });
  EXPECT_EQ(2u, Messages().Texts.size());
  EXPECT_EQ(2, clears);
  EXPECT_EQ((std::vector<String>{existing, existing}), loads);

  // A quote missing at one end: refused at OK, the dialog stays open.
  Messages().Texts.clear();
  bool stayed = false;
  RunModalSteps(form, {[&] {
                         form->edtBookmarkFile->SetText(L"\"" + existing);
                         form->btnOk->Click();
                       },
                       [&] {
                         stayed = form->GetVisible();
                         form->btnCancel->Click();
                       }});
  EXPECT_TRUE(stayed);
  ASSERT_EQ(1u, Messages().Texts.size());
  EXPECT_EQ(0u, Messages().Texts[0].rfind(L"The bookmark file name has a double quote", 0));
  EXPECT_EQ(L"\"" + existing + L"\"", dm->GetOption(L"BookmarkFile").AsString());

  // No to both: the list stays; a file that does not exist asks once.
  Messages().Texts.clear();
  Messages().Answer = IDNO;
  RunModal(form, [&] {
    form->edtBookmarkFile->SetText(existing + L".missing");
    form->btnOk->Click();
  });
  EXPECT_EQ(1u, Messages().Texts.size());
  EXPECT_EQ(2, clears);
  EXPECT_EQ(2u, loads.size());
  EXPECT_EQ(existing + L".missing", dm->GetOption(L"BookmarkFile").AsString());
  _wremove(existing.c_str());
}

TEST_F(OptionsTest, TheBookmarkFileButtonTakesTheSaveDialogsChoice) {
  TPlacesSaveDialog dlg(nullptr);
  dlg.SetFileName(L"Bookmarks.ZembrioBM");
  form->BookmarkDialog = &dlg;
  TPlacesOpenDialog::DialogHook = [](OPENFILENAMEW& ofn, bool save) {
    EXPECT_TRUE(save);
    wcscpy(ofn.lpstrFile, L"C:\\picked.ZembrioBM");
    return TRUE;
  };
  RunModal(form, [&] {
    form->btnSelectBookmarkFile->Click();
    EXPECT_EQ(L"C:\\picked.ZembrioBM", form->edtBookmarkFile->GetText());
    EXPECT_TRUE(form->BookmarkPathChanged());
    // Cancelled afterwards: nothing but the position is stored.
    form->btnCancel->Click();
  });
  EXPECT_EQ(String(), dm->GetOption(L"BookmarkFile").AsString());
  EXPECT_TRUE(Messages().Texts.empty());
}

TEST_F(OptionsTest, FontButtonAndSystemFont) {
  FakeFontDialog fd(nullptr);
  form->FontDialog = &fd;
  dm->SetOption(L"UseSystemFont", false);
  RunModal(form, [&] {
    EXPECT_FALSE(form->chkSystemFont->GetChecked());
    EXPECT_TRUE(form->btnFont->GetEnabled());
    EXPECT_TRUE(form->edtFont->GetEnabled());
    form->btnFont->Click();
    EXPECT_EQ(L"Tahoma", fd.SeenName);
    EXPECT_EQ(L"Courier New, 8 pt, Bold, Italic", form->edtFont->GetText());
    form->chkSystemFont->SetChecked(true);
    form->chkSystemFontClick(form->chkSystemFont);
    EXPECT_FALSE(form->edtFont->GetEnabled());
    EXPECT_FALSE(form->btnFont->GetEnabled());
    form->btnOk->Click();
  });
  // The font is stored from the working font even with the system font on.
  EXPECT_EQ(L"Courier New", dm->GetOption(L"FontName").AsString());
  EXPECT_TRUE(dm->GetOption(L"FontBold").AsBoolean());
  EXPECT_TRUE(dm->GetOption(L"FontItalic").AsBoolean());
  EXPECT_FALSE(dm->GetOption(L"FontUnderline").AsBoolean());
  EXPECT_TRUE(dm->GetOption(L"UseSystemFont").AsBoolean());
  // A cancelled font dialog changes nothing.
  fd.Answer = false;
  RunModal(form, [&] {
    EXPECT_FALSE(form->btnFont->GetEnabled());
    form->btnFont->Click();
    EXPECT_EQ(L"Courier New, 8 pt, Bold, Italic", form->edtFont->GetText());
    form->btnCancel->Click();
  });
}

TEST(OptionsFontText, AllStylesInOrder) {
  TFont f;
  f.SetName(L"Arial");
  f.SetSize(12);
  f.SetStyle(TFontStyles{fsStrikeOut, fsUnderline, fsItalic, fsBold});
  EXPECT_EQ(L"Arial, 12 pt, Bold, Italic, Underline, Strikeout", TfrmOptions::FontDescription(&f));
}

}  // namespace
