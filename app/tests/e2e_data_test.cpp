// Import and search on the main window as a user drives them: Stop clicked
// while an import writes, regular expressions typed into the find dialog
// over names and data the ANSI code page lacks.
#include <atomic>
#include <fstream>

#include "app/Dialogs.h"
#include "app/FindForm.h"
#include "app/PlacesDialogs.h"
#include "app/tests/e2e_support.h"
#include "testsupport/Input.h"

using namespace e2e;

namespace {

class Import : public EditorTest {
 protected:
  // The import command with the file chosen and the import confirmed.
  void ImportFile(const String& File) {
    TPlacesOpenDialog::DialogHook = [File](OPENFILENAMEW& Ofn, bool) -> BOOL {
      wcscpy(Ofn.lpstrFile, File.c_str());
      return TRUE;
    };
    TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrYes); };
    Window->mnuFile_ImportClick(nullptr);
  }
};

// A click on Stop while the values of a large key are written ends the
// writing at once: the values written stay, the rest never comes, and the
// status says how far the import got; the progress shown went past the
// reading into the writing. The first report of the writing holds the
// writer until the click is taken, so nothing depends on speed.
TEST_F(Import, StopWhileTheValuesAreWrittenEndsTheWriting) {
  Start();
  ASSERT_NE(Open(), nullptr);
  SetForegroundWindow(Window->GetHandle());
  dlgtest::Pump(50);
  const String file = TempFile(L"writing.reg");
  {
    std::ofstream out(WideToAnsi(file), std::ios::binary);
    out << "REGEDIT4\r\n[HKEY_CURRENT_USER\\" << WideToAnsi(Data) << "\\Many]\r\n";
    for (int i = 0; i < 3000; ++i) out << "\"v" << i << "\"=\"x\"\r\n";
  }
  TIORegistry& io = dmodCommon->Logic.iorPort;
  const TProgressEvent report = io.OnProgressChange;  // the status bar's
  std::atomic<bool> fired{false}, stopShown{false};
  io.OnProgressChange = [&](TObject* S, uint32_t P, uint32_t L, uint32_t M, uint32_t ML) {
    report(S, P, L, M, ML);
    if (L != 2 || fired.exchange(true)) return;
    const HWND stop = Window->btnStop->GetHandle();
    stopShown = IsWindowVisible(stop) && IsWindowEnabled(stop);
    testsupport::InputScript().Click(testsupport::ClientCentre(stop)).Post();
    for (int i = 0; i < 1000 && !io.StopRequested; ++i) Sleep(10);
  };
  std::vector<String> shown;
  const auto status = dmodCommon->Logic.OnStatusText;
  dmodCommon->Logic.OnStatusText = [&](const String& Text) {
    shown.push_back(Text);
    status(Text);
  };
  ImportFile(file);
  dmodCommon->Logic.OnStatusText = status;
  io.OnProgressChange = report;
  EXPECT_TRUE(fired);
  EXPECT_TRUE(stopShown);
  EXPECT_FALSE(Window->btnStop->GetVisible());
  // The key and 255 values were written when the writer reported (every 256
  // keys and values), and it wrote nothing after the stop.
  EXPECT_EQ(Window->GetStatusText(),
            L"Import stopped at line 258 of 3002: the lines before it were imported (1 keys, 255 values written).");
  const String many = Data + L"\\Many";
  EXPECT_EQ(ValueNames(many).size(), 255u);
  EXPECT_TRUE(HasValue(many, L"v254"));
  EXPECT_FALSE(HasValue(many, L"v255"));
  // Reading done, 256 of 3002 lines written: 50% and 500 * 256 / 3002 per mille.
  EXPECT_NE(std::find(shown.begin(), shown.end(), L"Importing registry file... 54%"), shown.end());
  // The tree shows what was written.
  TTreeExNode* data = Open();
  ASSERT_NE(data, nullptr);
  data->Expand(false);
  dlgtest::Pump(30);
  bool listed = false;
  for (TTreeExNode* c = data->GetFirstChild(); c; c = c->GetNextSibling()) listed |= c->GetText() == L"Many";
  EXPECT_TRUE(listed);
}

// A key named in three spellings, its subkey's line in a third one (which
// another writer may reach first), keeps the spelling of its first mention
// as the tree shows it after the import.
TEST_F(Import, AKeyKeepsTheSpellingOfItsFirstMention) {
  Start();
  ASSERT_NE(Open(), nullptr);
  const String file = TempFile(L"spelling.reg");
  {
    const std::string root = "[HKEY_CURRENT_USER\\" + WideToAnsi(Data);
    std::ofstream out(WideToAnsi(file), std::ios::binary);
    out << "REGEDIT4\r\n";
    for (int k = 0; k < 6; ++k) {
      const std::string n = std::to_string(k);
      out << root << "\\MixedCase" << n << "]\r\n";
      for (int i = 0; i < 20; ++i) out << "\"v" << i << "\"=\"x\"\r\n";
      out << root << "\\MIXEDCASE" << n << "]\r\n" << root << "\\mixedcase" << n << "\\Sub]\r\n";
    }
  }
  for (int run = 0; run < 10; ++run) {
    for (int k = 0; k < 6; ++k) DeleteTree(Data + L"\\MixedCase" + IntToStr(k));
    ImportFile(file);
    ASSERT_EQ(Window->GetStatusText(), L"Registry file imported.");
    TTreeExNode* data = Open();
    ASSERT_NE(data, nullptr);
    data->Expand(false);
    dlgtest::Pump(10);
    std::vector<String> names;
    for (TTreeExNode* c = data->GetFirstChild(); c; c = c->GetNextSibling()) names.push_back(c->GetText());
    for (int k = 0; k < 6; ++k)
      ASSERT_NE(std::find(names.begin(), names.end(), L"MixedCase" + IntToStr(k)), names.end()) << "run " << run;
  }
}

class Search : public EditorTest {
 protected:
  // The find dialog opened from the Edit menu, the text typed, the type
  // and the scope chosen and Find clicked with the mouse; waits for the
  // search's end and gives the hits' key paths and names.
  std::vector<String> Find(const String& Text) {
    TfrmFind* find = F.Find;
    auto centre = [](TWinControl* C) { return testsupport::ClientCentre(C->GetHandle()); };
    Script s;
    s.Steps = {
        {[find] {
           const HWND text = find->cboText->GetHandle();
           return find->GetVisible() && (GetFocus() == text || IsChild(text, GetFocus()));
         },
         [=] {
           testsupport::InputScript()
               .Press(VK_END)
               .Press(VK_HOME, {VK_SHIFT})
               .Text(Text)
               .Click(centre(find->rgrpType->Buttons(2)))
               .Click(centre(find->rgrpScope->Buttons(1)))
               .Click(centre(find->btnFind))
               .Post();
         }},
        {[find] { return !find->GetVisible(); }, [] {}},
    };
    SetForegroundWindow(Window->GetHandle());
    dlgtest::Pump(30);
    EXPECT_EQ(s.Run([&] { Window->mnuEdit_FindClick(nullptr); }, 15000), s.Steps.size());
    EXPECT_TRUE(PumpUntil([] { return !dmodCommon->Logic.IsSearching(); }, 30000));
    dlgtest::Pump(30);
    std::vector<String> hits;
    TListItems* items = Window->lvFindResults->Items();
    for (int i = 0; i < items->GetCount(); ++i) hits.push_back(Window->GetFindResultText(items->GetItem(i)));
    std::sort(hits.begin(), hits.end());
    return hits;
  }
};

// Characters the ANSI code page lacks are no "?" to a regular expression:
// an escaped question mark finds only real question marks, and characters
// the code page lacks still match what any character matches.
TEST_F(Search, ARegularExpressionFindsOnlyTheTextItNames) {
  CreateKey(Data + L"\\a\u0416b");
  CreateKey(Data + L"\\\u65e5\u672c");
  CreateKey(Data + L"\\a?b");
  Write(Data + L"\\a?b", L"\u540d\u524d", REG_SZ, Sz(L"\u0416\u0416\u0416"));
  Write(Data + L"\\a?b", L"??", REG_SZ, Sz(L"plain"));
  Start();
  ASSERT_NE(Open(), nullptr);
  const std::vector<String> questions = Find(L"^\\?+$");
  EXPECT_EQ(questions.size(), 1u);
  for (const String& h : questions) EXPECT_NE(h.find(L"??"), String::npos) << WideToAnsi(h);
  const std::vector<String> between = Find(L"a\\?b");
  EXPECT_EQ(between.size(), 1u);  // the key a?b only
  for (const String& h : between) EXPECT_EQ(h.find(L"\u0416"), String::npos) << WideToAnsi(h);
  const std::vector<String> any = Find(L"^a.b$");
  EXPECT_EQ(any.size(), 2u);  // a?b and a\u0416b
  const std::vector<String> three = Find(L"^...$");
  EXPECT_EQ(three.size(), 3u);  // a?b, a\u0416b and the data \u0416\u0416\u0416
}

}  // namespace
