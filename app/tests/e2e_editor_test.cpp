// The editor driven end to end under Wine, started through the program's
// own start-up: value editing, search, registry files, deleting with the
// confirm dialog, Go, options, the about box and a restart.
#include <cstdio>
#include <fstream>

#include "app/ModuleTable.h"
#include "app/AboutForm.h"
#include "app/Dialogs.h"
#include "app/EditValue.h"
#include "app/EditValueBin.h"
#include "app/FindForm.h"
#include "app/OptionsForm.h"
#include "app/PlacesDialogs.h"
#include "app/tests/e2e_support.h"
#include "testsupport/Input.h"
#include "classlib/Clipbrd.h"
#include "toolbars/BarDock.h"
#include "toolbars/BarViews.h"

using namespace e2e;

namespace {

// Types into a window as the keyboard does: key down, character, key up.
void TypeKeys(HWND H, const String& Text) {
  for (wchar_t c : Text) {
    const WPARAM vk = (c >= L'a' && c <= L'z') ? WPARAM(c - 32) : WPARAM(c);
    SendMessageW(H, WM_KEYDOWN, vk, 1);
    SendMessageW(H, WM_CHAR, c, 1);
    SendMessageW(H, WM_KEYUP, vk, 0xC0000001);
  }
}

// Empties an edit box as the user does: select all, Delete.
void ClearBox(TCustomEdit* Box) {
  Box->SelectAll();
  SendMessageW(Box->GetHandle(), WM_KEYDOWN, VK_DELETE, 1);
  SendMessageW(Box->GetHandle(), WM_KEYUP, VK_DELETE, 0xC0000001);
}

class Editor : public EditorTest {
 protected:
  std::vector<String> Statuses;

  // Every status text the window shows, in order.
  void RecordStatus() {
    auto prev = dmodCommon->Logic.OnStatusText;
    dmodCommon->Logic.OnStatusText = [this, prev](const String& t) {
      Statuses.push_back(t);
      if (prev) prev(t);
    };
  }

  // Message boxes are logged and answered from the front of Answers
  // (Cancel once it is empty).
  void AnswerMessages(std::vector<int>& Answers) {
    MessageBoxHook = [this, &Answers](const String& Text, const String&, UINT) {
      Messages().push_back(Text);
      const int a = Answers.empty() ? IDCANCEL : Answers.front();
      if (!Answers.empty()) Answers.erase(Answers.begin());
      return a;
    };
  }

  // The file dialogs answer with this file (and check the record's size).
  void AnswerFileDialogs(const String& File) {
    TPlacesOpenDialog::DialogHook = [File](OPENFILENAMEW& Ofn, bool) -> BOOL {
      EXPECT_EQ(sizeof(OPENFILENAMEW), size_t(Ofn.lStructSize));
      if (File.size() + 1 > Ofn.nMaxFile) return FALSE;
      wcscpy(Ofn.lpstrFile, File.c_str());
      return TRUE;
    };
  }

  // File > Export (Letter 'E') or File > Import ('I') chosen from the
  // keyboard with the tree focused, as a user does: Alt+F, then the item's
  // letter; the file dialog answers File, an import's confirmation is
  // answered with a click on Yes. Returns the status the command ends with.
  String FileCommand(wchar_t Letter, const String& File) {
    AnswerFileDialogs(File);
    Foreground(Window->treeRegTree);
    Window->SetStatusText(L"before");
    TBarView* bar = Window->tbrMainMenu->View();
    TfrmConfirm* confirm = F.Confirm;
    auto ended = [this] {
      const String t = Window->GetStatusText();
      return t != L"before" && t.rfind(L"Exporting", 0) != 0 && t.rfind(L"Importing", 0) != 0;
    };
    Script s;
    s.Steps = {
        {[] { return true; }, [] { testsupport::InputScript().Press('F', {VK_MENU}).Post(); }},
        {[this, bar] { return bar->OpenViewer && bar->OpenViewerView && bar->OpenViewer->Item == Window->mnuFile; },
         [=] { testsupport::InputScript().Press(WORD(Letter)).Post(); }},
    };
    if (Letter == L'I')
      s.Steps.push_back({[=] { return confirm->GetVisible() && IsWindowVisible(confirm->btnYes->GetHandle()); },
                         [=] {
                           testsupport::InputScript().Click(testsupport::ClientCentre(confirm->btnYes->GetHandle())).Post();
                         }});
    s.Steps.push_back({ended, [] {}});
    EXPECT_EQ(s.Run(20000), s.Steps.size()) << "Alt+F, " << char(Letter) << (Letter == L'I' ? ", Yes" : "");
    return Window->GetStatusText();
  }

  // Runs a search through the find dialog and waits for its end.
  void Search(const String& Text, int Type, int Scope, bool KeyNames = true, bool ValueNames = true,
              bool StringData = true) {
    TfrmFind* find = F.Find;
    ASSERT_TRUE(WithModal([&] { Window->mnuEdit_FindClick(nullptr); },
                          {[=] {
                            ASSERT_TRUE(find->GetVisible());
                            find->cboText->SetText(Text);
                            find->rgrpType->SetItemIndex(Type);
                            find->rgrpScope->SetItemIndex(Scope);
                            find->chkCaseSensitive->SetChecked(false);
                            find->chkSearchKeyNames->SetChecked(KeyNames);
                            find->chkSearchValueNames->SetChecked(ValueNames);
                            find->chkSearchStringData->SetChecked(StringData);
                            find->btnFind->Click();
                          }}));
    ASSERT_TRUE(PumpUntil([] { return !dmodCommon->Logic.IsSearching(); }, 30000));
    dlgtest::Pump(50);
  }

  std::vector<String> FindHits() {
    std::vector<String> v;
    TListItems* items = Window->lvFindResults->Items();
    for (int i = 0; i < items->GetCount(); ++i) {
      TListItem* it = items->GetItem(i);
      String s = it->SubItems()->Get(0) + L"|" + it->SubItems()->Get(1);
      v.push_back(s.substr(s.find(L"\\Data") == String::npos ? 0 : s.find(L"\\Data") + 5));
    }
    std::sort(v.begin(), v.end());
    return v;
  }
};

// ---------------------------------------------------------------------------
// Start-up and restart through the program's start-up function.

// The start-up table initialises every listed module once, in order, and
// finalises them all at exit; running it twice only counts.
TEST(StartupTable, ModulesInitialiseOnceAndFinaliseInReverse) {
  const auto& table = ZembrioModuleTable();
  ASSERT_FALSE(table.empty());
  EXPECT_STREQ(table.front().Name, "toolbars.Hooks");
  auto at = [&](const char* Name) {
    return std::find_if(table.begin(), table.end(), [&](const TModuleEntry& e) { return strcmp(e.Name, Name) == 0; }) -
           table.begin();
  };
  // The themed layer finalises before the framework's hooks, the editor's
  // own modules before both.
  EXPECT_LT(at("toolbars.Hooks"), at("skin.Themes"));
  EXPECT_LT(at("skin.Themes"), at("Kbmon"));
  InitializeModules(table);
  InitializeModules(table);
  for (const auto& m : table) EXPECT_EQ(ModuleInitCount(m.Name), 2) << m.Name;
  // A stored form of the program's own windows can be read back: every
  // library's classes are known by name while the modules are up.
  for (const wchar_t* name : {L"THexEditor", L"TBinHexEdit", L"TOdStatusBar", L"TTreeEx"})
    EXPECT_TRUE(static_cast<bool>(GetClass(name))) << name;
  FinalizeModules();
  FinalizeModules();
  for (const auto& m : table) EXPECT_EQ(ModuleInitCount(m.Name), 0) << m.Name;
}

TEST_F(Editor, StartUpCreatesTheFormsInOrderAndFirstStartShowsDefaults) {
  Start();
  // The application owns the forms in the order of their creation.
  std::vector<TComponent*> owned;
  for (int i = 0; i < Application->GetComponentCount(); ++i) owned.push_back(Application->GetComponent(i));
  const std::vector<TComponent*> expected = {F.DataModule, F.Main,    F.EditValue, F.EditValueBin, F.Find,
                                             F.Options,    F.Confirm, F.About,     F.Error};
  auto first = std::find(owned.begin(), owned.end(), static_cast<TComponent*>(F.DataModule));
  ASSERT_NE(first, owned.end());
  EXPECT_EQ(std::vector<TComponent*>(first, first + std::min<ptrdiff_t>(owned.end() - first, 9)), expected);
  EXPECT_EQ(Window->GetLeft(), 0);
  EXPECT_EQ(Window->GetTop(), 0);
  EXPECT_EQ(Window->GetWidth(), 500);
  EXPECT_EQ(Window->GetHeight(), 400);
  EXPECT_EQ(Window->treeRegTree->GetWidth(), 150);
  EXPECT_EQ(Window->GetStatusText(), L"Y..yes, Captain?!?");
  EXPECT_EQ(dmodCommon->MainForm(), Window);
  EXPECT_TRUE(Messages().empty());
}

TEST_F(Editor, RestartRestoresToolbarPositionsLayoutsAndTheSelectedKey) {
  CreateKey(String(Data) + L"\\Kept");
  Start();
  Window->SetBounds(20, 30, 640, 480);
  Window->lvFindResults->Columns()->GetItem(2)->SetWidth(133);
  Window->lvKeyValues->SetViewStyle(vsList);
  Window->tbrEdit->SetDockRow(2);
  Window->tbrEdit->SetDockPos(37);
  ASSERT_NE(Open(L"Kept"), nullptr);
  dlgtest::Pump(50);
  // Where the dock put it (its place is taken by the navigation bar's
  // length), which is what comes back.
  const int row = Window->tbrEdit->EffectiveDockRow, pos = Window->tbrEdit->EffectiveDockPos;
  Stop();

  Start();
  EXPECT_EQ(Window->GetLeft(), 20);
  EXPECT_EQ(Window->GetTop(), 30);
  EXPECT_EQ(Window->GetWidth(), 640);
  EXPECT_EQ(Window->GetHeight(), 480);
  EXPECT_EQ(Window->lvFindResults->Columns()->GetItem(2)->GetWidth(), 133);
  EXPECT_EQ(Window->lvKeyValues->GetViewStyle(), vsList);
  EXPECT_EQ(Window->tbrEdit->EffectiveDockRow, row);
  EXPECT_EQ(Window->tbrEdit->EffectiveDockPos, pos);
  EXPECT_EQ(Window->tbrEdit->GetDockRow(), row);
  EXPECT_EQ(Window->tbrEdit->GetDockPos(), pos);
  ASSERT_NE(Window->GetSelectedNode(), nullptr);
  EXPECT_EQ(Window->GetSelectedNode()->GetText(), L"Kept");
  EXPECT_EQ(Window->GetStatusText(), L"Y..yes, Captain?!?");
}

// Windows stored off every monitor (a monitor since removed, a damaged
// setting) open where they can be used: the main window and the four
// dialogs that keep their place come up inside the screen's work area.
TEST_F(Editor, WindowsStoredOffTheScreenOpenOnIt) {
  Write(Data, L"s", REG_SZ, Sz(L"x"));
  Write(Data, L"b", REG_BINARY, std::string("\x01", 1));
  for (uint32_t stored : {5000u, 0x80000000u}) {
    for (const auto& [section, name] : std::vector<std::pair<String, String>>{
             {L"MainForm", L"Top"}, {L"MainForm", L"Left"}, {L"EditForm", L"EditTop"}, {L"EditForm", L"EditLeft"},
             {L"EditBinForm", L"EditBinTop"}, {L"EditBinForm", L"EditBinLeft"}, {L"FindForm", L"FindTop"},
             {L"FindForm", L"FindLeft"}, {L"OptionsForm", L"OptTop"}, {L"OptionsForm", L"OptLeft"}})
      Write(Settings + L"\\" + section, name, REG_DWORD, Dw(stored));
    Write(Settings + L"\\MainForm", L"Width", REG_DWORD, Dw(100000));
    Start();
    std::vector<String> off;
    auto check = [&](TCustomForm* Form) {
      RECT r{}, work{};
      GetWindowRect(Form->GetHandle(), &r);
      SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
      if (r.left < work.left || r.top < work.top || r.right > work.right || r.bottom > work.bottom)
        off.push_back(Form->GetName());
    };
    check(Window);
    ASSERT_NE(Open(), nullptr);
    for (const wchar_t* value : {L"s", L"b"}) {
      SelectOnly(Window->lvKeyValues, {value});
      ASSERT_TRUE(WithModal([&] { Window->pmnuValues_EditValueClick(nullptr); },
                            {[&] {
                              TCustomForm* shown = F.EditValue->GetVisible() ? static_cast<TCustomForm*>(F.EditValue)
                                                                             : F.EditValueBin;
                              check(shown);
                              shown->SetModalResult(mrCancel);
                            }}));
    }
    ASSERT_TRUE(WithModal([&] { Window->mnuEdit_FindClick(nullptr); }, {[&] {
                            check(F.Find);
                            F.Find->SetModalResult(mrCancel);
                          }}));
    ASSERT_TRUE(WithModal([&] { Window->mnuFile_PreferencesClick(nullptr); }, {[&] {
                            check(F.Options);
                            F.Options->btnCancel->Click();
                          }}));
    Stop();
    EXPECT_TRUE(off.empty()) << stored << ": " << WideToAnsi(off.front());
  }
}

// ---------------------------------------------------------------------------
// Value editors.

TEST_F(Editor, EditAStringValue) {
  Write(Data, L"Greeting", REG_SZ, Sz(L"hello"));
  Start();
  ASSERT_NE(Open(), nullptr);
  SelectOnly(Window->lvKeyValues, {L"Greeting"});
  TfrmEditValue* ed = F.EditValue;
  ASSERT_TRUE(WithModal([&] { Window->pmnuValues_EditValueClick(nullptr); },
                        {[=] {
                          ASSERT_TRUE(ed->GetVisible());
                          EXPECT_EQ(ed->edtValueName->GetText(), L"Greeting");
                          EXPECT_EQ(ed->edtValueStr->GetText(), L"hello");
                          ed->edtValueStr->SetText(L"good \"day\" C:\\x");
                          ed->btnOk->Click();
                        }}));
  DWORD type = 0;
  std::string raw;
  ASSERT_TRUE(Read(Data, L"Greeting", type, raw));
  EXPECT_EQ(type, DWORD(REG_SZ));
  EXPECT_EQ(raw, Sz(L"good \"day\" C:\\x"));
  EXPECT_EQ(Window->GetStatusText(), L"String value saved.");
  EXPECT_EQ(ValueText(ValueItem(L"Greeting")), L"good \"day\" C:\\x");

  // Cancel writes nothing.
  ASSERT_TRUE(WithModal([&] { Window->pmnuValues_EditValueClick(nullptr); },
                        {[=] {
                          ed->edtValueStr->SetText(L"discarded");
                          ed->btnCancel->Click();
                        }}));
  ASSERT_TRUE(Read(Data, L"Greeting", type, raw));
  EXPECT_EQ(raw, Sz(L"good \"day\" C:\\x"));

  // A string that another program stored without any NUL shows whole; OK
  // on the text as shown leaves its bytes as they were, and only a changed
  // text replaces them.
  const std::string bare("n\0o\0", 4), none;
  Write(Data, L"Bare", REG_EXPAND_SZ, bare);
  Write(Data, L"None", REG_SZ, none);
  Window->mnuView_RefreshClick(nullptr);
  for (const auto& [name, shown, bytes] :
       std::vector<std::tuple<String, String, std::string>>{{L"Bare", L"no", bare}, {L"None", L"", none}}) {
    SelectOnly(Window->lvKeyValues, {name});
    ASSERT_TRUE(WithModal([&] { Window->pmnuValues_EditValueClick(nullptr); },
                          {[&] {
                            EXPECT_EQ(ed->edtValueStr->GetText(), shown);
                            ed->btnOk->Click();
                          }}));
    ASSERT_TRUE(Read(Data, name, type, raw));
    EXPECT_EQ(raw, bytes) << WideToAnsi(name);
  }
  SelectOnly(Window->lvKeyValues, {L"Bare"});
  ASSERT_TRUE(WithModal([&] { Window->pmnuValues_EditValueClick(nullptr); },
                        {[=] {
                          ed->edtValueStr->SetText(L"changed");
                          ed->btnOk->Click();
                        }}));
  ASSERT_TRUE(Read(Data, L"Bare", type, raw));
  EXPECT_EQ(raw, Sz(L"changed"));
  EXPECT_EQ(Window->GetStatusText(), L"Expand string value saved.");
}

TEST_F(Editor, EditAnIntegerTypedInHexAndCheckedOnTheOtherPages) {
  Write(Data, L"Count", REG_DWORD, Dw(7));
  Start();
  ASSERT_NE(Open(), nullptr);
  SelectOnly(Window->lvKeyValues, {L"Count"});
  TfrmEditValue* ed = F.EditValue;
  ASSERT_TRUE(WithModal([&] { Window->pmnuValues_EditValueClick(nullptr); },
                        {[=] {
                           ASSERT_EQ(ed->pagEditFormat->GetActivePage(), ed->tbsHex);
                           ClearBox(ed->edtValueHex);
                           TypeKeys(ed->edtValueHex->GetHandle(), L"1f4");
                           EXPECT_EQ(ed->edtValueHex->GetAsInteger(), 500);
                         },
                         [=] {
                           ed->pagEditFormat->SelectNextPage(true);  // Binary
                           ASSERT_EQ(ed->pagEditFormat->GetActivePage(), ed->tbsBinary);
                           String bin = ed->edtValueBin->GetText();
                           while (bin.size() > 1 && bin[0] == L'0') bin.erase(0, 1);
                           EXPECT_EQ(bin, L"111110100");
                         },
                         [=] {
                           ed->pagEditFormat->SelectNextPage(true);  // Decimal
                           ASSERT_EQ(ed->pagEditFormat->GetActivePage(), ed->tbsDecimal);
                           EXPECT_EQ(ed->edtValueDec->GetText(), L"500");
                           ed->btnOk->Click();
                         }}));
  DWORD type = 0;
  std::string raw;
  ASSERT_TRUE(Read(Data, L"Count", type, raw));
  EXPECT_EQ(type, DWORD(REG_DWORD));
  EXPECT_EQ(raw, Dw(500));
  EXPECT_EQ(Window->GetStatusText(), L"Integer value saved.");
  EXPECT_EQ(ValueText(ValueItem(L"Count")), L"0x000001F4  (500)");

  // A decimal beyond 32 bits is refused, not stored as its low bits.
  ASSERT_TRUE(WithModal([&] { Window->pmnuValues_EditValueClick(nullptr); },
                        {[=] {
                           ed->pagEditFormat->SelectNextPage(true);
                           ed->pagEditFormat->SelectNextPage(true);
                           ASSERT_EQ(ed->pagEditFormat->GetActivePage(), ed->tbsDecimal);
                           ClearBox(ed->edtValueDec);
                           TypeKeys(ed->edtValueDec->GetHandle(), L"4294967296");
                           ed->btnOk->Click();
                         },
                         [=] {
                           if (ed->GetVisible()) ed->btnCancel->Click();
                         }}));
  ASSERT_TRUE(Read(Data, L"Count", type, raw));
  EXPECT_EQ(raw, Dw(500));

  // A lone minus sign is no number but no failure either.
  ASSERT_TRUE(WithModal([&] { Window->pmnuValues_EditValueClick(nullptr); },
                        {[=] {
                           ed->pagEditFormat->SelectNextPage(true);
                           ed->pagEditFormat->SelectNextPage(true);
                           ClearBox(ed->edtValueDec);
                           TypeKeys(ed->edtValueDec->GetHandle(), L"-");
                           ed->pagEditFormat->SelectNextPage(false);
                         },
                         [=] {
                           if (ed->GetVisible()) ed->btnCancel->Click();
                         }}));
  ASSERT_TRUE(Read(Data, L"Count", type, raw));
  EXPECT_EQ(raw, Dw(500));
}

TEST_F(Editor, EditABinaryValue) {
  Write(Data, L"Blob", REG_BINARY, std::string("\x01\x02\x03", 3));
  Start();
  ASSERT_NE(Open(), nullptr);
  SelectOnly(Window->lvKeyValues, {L"Blob"});
  TfrmEditValueBin* ed = F.EditValueBin;
  ASSERT_TRUE(WithModal([&] { Window->pmnuValues_EditValueClick(nullptr); },
                        {[=] {
                          ASSERT_TRUE(ed->GetVisible());
                          EXPECT_EQ(ed->heValue->GetDataSize(), 3);
                          HWND h = ed->heValue->GetHandle();
                          SendMessageW(h, WM_CHAR, L'F', 0);
                          SendMessageW(h, WM_CHAR, L'e', 0);
                          ed->btnOk->Click();
                        }}));
  DWORD type = 0;
  std::string raw;
  ASSERT_TRUE(Read(Data, L"Blob", type, raw));
  EXPECT_EQ(type, DWORD(REG_BINARY));
  EXPECT_EQ(raw, std::string("\xFE\x02\x03", 3));
  EXPECT_EQ(Window->GetStatusText(), L"Binary value saved.");
  EXPECT_EQ(ValueText(ValueItem(L"Blob")), L"FE 02 03 ");
}

// ---------------------------------------------------------------------------
// Search.

class SearchTest : public Editor {
 protected:
  void SetUp() override {
    Editor::SetUp();
    Write(String(Data) + L"\\Alpha", L"Colour", REG_SZ, Sz(L"dark blue"));
    Write(String(Data) + L"\\Alpha\\Blueprint", L"Size", REG_DWORD, Dw(3));
    Write(String(Data) + L"\\Beta", L"blue", REG_SZ, Sz(L"sky"));
    Write(String(Data) + L"\\Beta", L"Other", REG_EXPAND_SZ, Sz(L"%BLUE%"));
    Write(String(Data) + L"\\Gamma", L"Pattern", REG_SZ, Sz(L"item-42"));
    Start();
    ASSERT_NE(Open(), nullptr);
    RecordStatus();
  }
};

TEST_F(SearchTest, SubstringExactAndRegularExpressionHits) {
  Search(L"blue", 1, 1);
  EXPECT_EQ(FindHits(), (std::vector<String>{L"\\Alpha\\Blueprint\\|", L"\\Alpha\\|Colour", L"\\Beta\\|Other",
                                             L"\\Beta\\|blue"}));
  ASSERT_GE(Statuses.size(), 2u);
  EXPECT_EQ(Statuses.front(), L"Search started.");
  EXPECT_EQ(Statuses.back(), L"Search finished.");
  EXPECT_FALSE(Window->panelSearching->GetVisible());
  EXPECT_TRUE(Window->mnuEdit_Find->GetEnabled());
  EXPECT_TRUE(Window->mnuEdit_RepeatFind->GetEnabled());

  // Repeat find runs the same search again on what the registry now holds.
  DeleteTree(String(Data) + L"\\Beta");
  Statuses.clear();
  Window->mnuEdit_RepeatFindClick(nullptr);
  ASSERT_TRUE(PumpUntil([] { return !dmodCommon->Logic.IsSearching(); }, 30000));
  dlgtest::Pump(50);
  EXPECT_EQ(FindHits(), (std::vector<String>{L"\\Alpha\\Blueprint\\|", L"\\Alpha\\|Colour"}));
  ASSERT_FALSE(Statuses.empty());
  EXPECT_EQ(Statuses.back(), L"Search finished.");
  Write(String(Data) + L"\\Beta", L"blue", REG_SZ, Sz(L"sky"));

  Search(L"BLUE", 0, 1);  // exact, case-insensitive: the value name "blue"
  EXPECT_EQ(FindHits(), (std::vector<String>{L"\\Beta\\|blue"}));

  Search(L"^item-[0-9]+$", 2, 1);
  EXPECT_EQ(FindHits(), (std::vector<String>{L"\\Gamma\\|Pattern"}));
  EXPECT_EQ(Window->GetStatusText(), L"Search finished.");
}

TEST_F(SearchTest, ABadExpressionIsReportedAndTheSearchEnds) {
  Search(L"item-(", 2, 1);
  ASSERT_FALSE(Messages().empty());
  EXPECT_EQ(Messages().back().rfind(L"An error occurred attempting to parse the regular expression.", 0), 0u)
      << WideToAnsi(Messages().back());
  EXPECT_TRUE(FindHits().empty());
  EXPECT_EQ(Window->GetStatusText(), L"Search finished.");
  EXPECT_TRUE(Window->mnuEdit_Find->GetEnabled());
}

TEST_F(SearchTest, ProgressAndStop) {
  // The whole registry with progress shown, stopped at the first report.
  dmodCommon->SetOption(L"ShowSearchProgress", true);
  TfrmFind* find = F.Find;
  ASSERT_TRUE(WithModal([&] { Window->mnuEdit_FindClick(nullptr); },
                        {[=] {
                          find->cboText->SetText(L"no such text anywhere 7f3a");
                          find->rgrpType->SetItemIndex(1);
                          find->rgrpScope->SetItemIndex(0);
                          find->btnFind->Click();
                        }}));
  ASSERT_TRUE(dmodCommon->Logic.IsSearching());
  EXPECT_TRUE(Window->panelSearching->GetVisible());
  EXPECT_TRUE(Window->btnFindStop->GetEnabled());
  EXPECT_FALSE(Window->mnuEdit_Find->GetEnabled());
  // The search reports the key it is in: the window shows it after the
  // progress text, on the find-results page, where the user sees it.
  const String prefix = L"Search in progress... ";
  ASSERT_TRUE(PumpUntil([&] { return Window->lblFindStats->GetCaption().size() > prefix.size(); }, 30000))
      << WideToAnsi(Window->lblFindStats->GetCaption());
  const String shown = Window->lblFindStats->GetCaption();
  ASSERT_EQ(shown.rfind(prefix, 0), 0u) << WideToAnsi(shown);
  const String key = shown.substr(prefix.size());
  EXPECT_EQ(key.back(), L'\\') << WideToAnsi(key);
  bool exists = false;
  for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG}) {
    HKEY k = nullptr;
    if (RegOpenKeyExW(root, key.substr(0, key.size() - 1).c_str(), 0, KEY_READ, &k) == ERROR_SUCCESS) {
      RegCloseKey(k);
      exists = true;
    }
  }
  EXPECT_TRUE(exists) << "a key below one of the roots: " << WideToAnsi(key);
  EXPECT_EQ(Window->pagExtras->GetActivePage(), Window->tbsFindResults);
  EXPECT_TRUE(Window->lblFindStats->Showing());
  Window->btnFindStop->Click();
  ASSERT_TRUE(PumpUntil([] { return !dmodCommon->Logic.IsSearching(); }, 20000));
  dlgtest::Pump(50);
  EXPECT_NE(std::find(Statuses.begin(), Statuses.end(), String(L"Search aborted.")), Statuses.end());
  EXPECT_FALSE(Window->panelSearching->GetVisible());
  EXPECT_TRUE(Window->mnuEdit_Find->GetEnabled());
}

TEST_F(SearchTest, ClosingTheWindowWhileSearchingStopsTheSearch) {
  TfrmFind* find = F.Find;
  ASSERT_TRUE(WithModal([&] { Window->mnuEdit_FindClick(nullptr); },
                        {[=] {
                          find->cboText->SetText(L"no such text anywhere 7f3a");
                          find->rgrpScope->SetItemIndex(0);
                          find->btnFind->Click();
                        }}));
  ASSERT_TRUE(dmodCommon->Logic.IsSearching());
  Window->Close();
  EXPECT_FALSE(dmodCommon->Logic.IsSearching());  // stopped and waited for
  Stop();  // frees the window
}

// ---------------------------------------------------------------------------
// Registry files.

TEST_F(Editor, ExportAndImportRoundTripABranch) {
  const String branch = String(Data) + L"\\Files";
  const String sub = branch + L"\\Sub key";
  const std::string multi = Sz(L"one") + Sz(L"two").substr(0) + std::string(2, '\0');
  std::string big(100000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = char(i * 7 + 3);
  struct V {
    String Key, Name;
    DWORD Type;
    std::string Bytes;
    std::string Back = "-";  // what comes back when it differs, as regedit stores it
  };
  std::vector<V> values = {
      {branch, L"", REG_SZ, Sz(L"the default")},
      {branch, L"Quote \"q\"", REG_SZ, Sz(L"say \"hi\"")},
      {branch, L"Back\\slash", REG_SZ, Sz(L"C:\\dir\\file")},
      {branch, L"a=b", REG_SZ, Sz(L"x=y")},
      {branch, L"Number", REG_DWORD, Dw(0xFFFFFFFF)},
      {branch, L"Bytes", REG_BINARY, std::string("\x00\x10\xFF", 3)},
      {branch, L"Empty", REG_BINARY, std::string()},
      {branch, L"Expand", REG_EXPAND_SZ, Sz(L"%TEMP%\\x")},
      {branch, L"Multi", REG_MULTI_SZ, Sz(L"one") + Sz(L"two") + std::string(2, '\0')},
      {sub, L"\u0416\u4E2D", REG_SZ, Sz(L"\u00E9t\u00E9 \u2603")},
      // Data other programs store: text without a final NUL (read back
      // with one, as regedit stores it), empty entries, eight-byte and
      // unlisted types, the extremes.
      {sub, L"Bare", REG_SZ, std::string("a\0b\0", 4), std::string("a\0b\0\0\0", 6)},
      {sub, L"Zero", REG_SZ, std::string()},
      {sub, L"Gaps", REG_MULTI_SZ, Sz(L"a") + Sz(L"") + Sz(L"b") + Sz(L"") + std::string(2, '\0')},
      {sub, L"Q", REG_QWORD, std::string(8, '\xFF')},
      {sub, L"None", REG_NONE, std::string("\x01", 1)},
      {sub, L"Min", REG_DWORD, Dw(0x80000000)},
      {sub, L"Big", REG_BINARY, big},
      // Key names that hold what a key line is made of.
      {branch + L"\\a] ;b", L" lead=\"[x]\" ", REG_SZ, Sz(L"in a] ;b")},
      {branch + L"\\a", L"v", REG_SZ, Sz(L"in a")},
  };
  (void)multi;
  for (const V& v : values) Write(v.Key, v.Name, v.Type, v.Bytes);
  Start();
  ASSERT_NE(Open(L"Files"), nullptr);
  const String file = TempFile(L"export.reg");
  AnswerFileDialogs(file);
  Window->mnuFile_ExportClick(nullptr);
  // "Bare" lacks its final NUL: the export says it will read back with one.
  EXPECT_EQ(Window->GetStatusText(), L"Registry file exported; 1 value will read back with a NUL character added.");
  // A non-ANSI name makes it a UTF-16LE file.
  std::ifstream in(WideToAnsi(file), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  ASSERT_GE(bytes.size(), 4u);
  EXPECT_EQ(bytes.substr(0, 2), std::string("\xFF\xFE"));

  DeleteTree(branch);
  Window->mnuView_RefreshClick(nullptr);
  TfrmConfirm::ExecuteHook = [](TfrmConfirm* f) {
    EXPECT_EQ(f->GetCaption(), L"Please confirm import");
    return int(mrYes);
  };
  Window->mnuFile_ImportClick(nullptr);
  EXPECT_EQ(Window->GetStatusText(), L"Registry file imported.");
  for (const V& v : values) {
    DWORD type = 0;
    std::string raw;
    ASSERT_TRUE(Read(v.Key, v.Name, type, raw)) << WideToAnsi(v.Name);
    EXPECT_EQ(type, v.Type) << WideToAnsi(v.Name);
    const std::string& back = v.Back == "-" ? v.Bytes : v.Back;
    EXPECT_TRUE(raw == back) << WideToAnsi(v.Name) << ": " << raw.size() << " bytes, not " << back.size();
  }
  EXPECT_EQ(ValueNames(branch).size(), 9u);
  EXPECT_EQ(ValueNames(sub).size(), 8u);
  EXPECT_EQ(ValueNames(branch + L"\\a").size(), 1u);
  // The imported branch shows in the tree.
  EXPECT_NE(Open(L"Files\\Sub key"), nullptr);
}

// Every shape of value the exporter writes apart comes back byte for byte
// through File > Export and File > Import chosen on the keyboard: text of
// an odd byte count (the "szodd" among them), text with NULs
// inside, empty data, each text type, integers of other sizes, unlisted
// types, and names and data outside the code page, in a Unicode file; the
// same but for those that need Unicode in an ANSI file. Text without its
// final NUL is the one value that reads back otherwise (with the NUL added,
// as registry files store text): the export names it, the import writes it.
TEST_F(Editor, EveryShapeOfValueComesBackByteForByteThroughExportAndImport) {
  struct V {
    String Name;
    DWORD Type;
    std::string Bytes;
  };
  const std::string nul2(2, '\0');
  const std::vector<V> ansi = {
      {L"", REG_SZ, Sz(L"default")},
      {L"quoted", REG_SZ, Sz(L"say \"hi\" C:\\dir\\ ;x \\0")},
      {L"q\"b\\=n", REG_EXPAND_SZ, Sz(L"%TEMP%\\x")},
      {L"nuls", REG_SZ, Sz(L"a") + Sz(L"") + Sz(L"b")},
      {L"lines", REG_SZ, Sz(L"one\r\ntwo\r")},
      {L"szempty", REG_SZ, std::string()},
      {L"sznul", REG_SZ, nul2},
      {L"expempty", REG_EXPAND_SZ, std::string()},
      {L"multi", REG_MULTI_SZ, Sz(L"one") + Sz(L"") + Sz(L"two") + nul2},
      {L"multiempty", REG_MULTI_SZ, std::string()},
      {L"dword", REG_DWORD, Dw(0x80000001)},
      {L"dword2", REG_DWORD, std::string("\x01\x02", 2)},
      {L"dword0", REG_DWORD, std::string()},
      {L"bin", REG_BINARY, std::string("\0\x80\xFF", 3)},
      {L"binempty", REG_BINARY, std::string()},
      {L"qword", REG_QWORD, std::string("\x01\0\0\0\0\0\0\x80", 8)},
      {L"none", REG_NONE, std::string("\x7F", 1)},
      {L"bigendian", REG_DWORD_BIG_ENDIAN, std::string("\0\0\0\x01", 4)},
      {L"unlisted", 0x20000, std::string("ab", 2)},
      {L"bare", REG_SZ, std::string("a\0b\0", 4)},  // no final NUL
  };
  std::vector<V> unicode = ansi;
  unicode.insert(unicode.end(), {
                                    {L"szodd", REG_SZ, std::string("\x41\0\0\0\0", 5)},
                                    {L"szodd3", REG_SZ, std::string("\x41\0\x42", 3)},
                                    {L"szone", REG_SZ, std::string("\x41", 1)},
                                    {L"expodd", REG_EXPAND_SZ, std::string("%\0A\0%", 5)},
                                    {L"multiodd", REG_MULTI_SZ, std::string("a\0\0\0\0", 5)},
                                    {L"\u4E2D\u00E9", REG_SZ, Sz(L"\u2603 \u65E5")},
                                    {L"surrogate\xD800", REG_EXPAND_SZ, std::string("\x00\xD8\x41\x00\x00\x00", 6)},
                                    {L"quotedwide", REG_SZ, Sz(L"\"\u0416\" \\ \xDC00")},
                                });
  struct Case {
    const wchar_t* Key;
    const std::vector<V>& Values;
    std::string Start;  // how the file begins
  };
  for (const Case& c : {Case{L"ShapesAnsi", ansi, "REGEDIT4\r\n"},
                        Case{L"ShapesUnicode", unicode, std::string("\xFF\xFEW\0", 4)}}) {
    SCOPED_TRACE(WideToAnsi(c.Key));
    const String key = String(Data) + L"\\" + c.Key;
    for (const V& v : c.Values) Write(key, v.Name, v.Type, v.Bytes);
    if (!F.Main) Start();
    ASSERT_NE(Open(c.Key), nullptr);
    const String file = TempFile(String(c.Key) + L".reg");
    Messages().clear();
    EXPECT_EQ(FileCommand(L'E', file),
              L"Registry file exported; 1 value will read back with a NUL character added.");
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_NE(Messages()[0].find(L"HKEY_CURRENT_USER\\" + key + L", value \"bare\""), String::npos)
        << WideToAnsi(Messages()[0]);
    EXPECT_EQ(Messages()[0].find(L"szodd"), String::npos);
    std::ifstream in(WideToAnsi(file), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    EXPECT_EQ(bytes.substr(0, c.Start.size()), c.Start);

    DeleteTree(key);
    EXPECT_EQ(FileCommand(L'I', file), L"Registry file imported.");
    EXPECT_TRUE(Errors.empty());
    for (const V& v : c.Values) {
      DWORD type = 0;
      std::string raw;
      ASSERT_TRUE(Read(key, v.Name, type, raw)) << WideToAnsi(v.Name);
      EXPECT_EQ(type, v.Type) << WideToAnsi(v.Name);
      const std::string back = v.Name == L"bare" ? v.Bytes + nul2 : v.Bytes;
      EXPECT_TRUE(raw == back) << WideToAnsi(v.Name) << ": " << raw.size() << " bytes, not " << back.size();
    }
    EXPECT_EQ(ValueNames(key).size(), c.Values.size());
  }
}

// A key of many values listed anew while it is shown, by F5 and by an
// import: the tree is built again under the hourglass (read as each old
// node goes), and the window goes on painting while the values are read
// (the status bar, made to need painting as the reading starts, is painted
// before the reading goes on).
TEST_F(Editor, AKeyOfManyValuesIsListedAgainUnderTheHourglassWhileTheWindowPaints) {
  const String key = String(Data) + L"\\Many";
  for (int i = 0; i < 1500; ++i) Write(key, L"v" + IntToStr(i), REG_DWORD, Dw(DWORD(i)));
  const String file = TempFile(L"many.reg");
  std::ofstream(WideToAnsi(file), std::ios::binary)
      << "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" << WideToAnsi(key)
      << "]\r\n\"added\"=dword:00000001\r\n";
  Start();
  ASSERT_NE(Open(L"Many"), nullptr);
  TTreeEx* tree = Window->treeRegTree;
  const TTVExpandedEvent deletion = tree->OnDeletion;
  int unbusy = 0, readings = 0, painted = 0;
  tree->OnDeletion = [&](TObject* Sender, TTreeExNode* Node) {
    unbusy += Screen->GetCursor() != crHourGlass;
    deletion(Sender, Node);
  };
  const HWND bar = Window->sbStatus->GetHandle();
  TfrmMain::ReadingValuesHook = [&] {
    ++readings;
    InvalidateRect(bar, nullptr, FALSE);
    const DWORD end = GetTickCount() + 10000;
    while (GetUpdateRect(bar, nullptr, FALSE) && GetTickCount() < end) Sleep(5);
    painted += !GetUpdateRect(bar, nullptr, FALSE);
  };
  Foreground(tree);
  testsupport::PressKey(VK_F5);
  const bool refreshed = PumpUntil([&] { return Window->GetStatusText() == L"Refresh complete."; }, 20000);
  const String imported = FileCommand(L'I', file);
  TfrmMain::ReadingValuesHook = nullptr;
  tree->OnDeletion = deletion;
  EXPECT_TRUE(refreshed);
  EXPECT_EQ(imported, L"Registry file imported.");
  EXPECT_EQ(unbusy, 0);
  EXPECT_EQ(readings, 2);
  EXPECT_EQ(painted, 2);
  EXPECT_NE(ValueItem(L"added"), nullptr);
  EXPECT_EQ(Window->lvKeyValues->Items()->GetCount(), 1502);
  EXPECT_EQ(Screen->GetCursor(), crDefault);
}

// A value whose name holds a line break can't be written to a registry
// file: the export writes every other value, names what it left out and
// why in a plain message, and reports the export as done with the count;
// a key named so is left out with its values.
TEST_F(Editor, AnExportThatLeavesOutAValueNamesItAndIsDone) {
  const String key = String(Data) + L"\\Breaks";
  Write(key, L"ok", REG_SZ, Sz(L"1"));
  Write(key, L"two\nlines", REG_SZ, Sz(L"2"));
  Write(key + L"\\bro\r\nken", L"inside", REG_SZ, Sz(L"3"));
  Write(key + L"\\fine", L"v", REG_DWORD, Dw(4));
  Start();
  ASSERT_NE(Open(L"Breaks"), nullptr);
  const String file = TempFile(L"breaks.reg");
  EXPECT_EQ(FileCommand(L'E', file), L"Registry file exported with 1 key and 2 values left out.");
  EXPECT_TRUE(Errors.empty()) << WideToAnsi(Errors.empty() ? String() : Errors[0]);
  ASSERT_EQ(Messages().size(), 1u);
  const String& m = Messages()[0];
  EXPECT_NE(m.find(L"1 key and 2 values were left out of the file: a registry file has no way to write a line "
                   L"break or a NUL character in a name"),
            String::npos)
      << WideToAnsi(m);
  EXPECT_NE(m.find(L"\nHKEY_CURRENT_USER\\" + key + L", value \"two<LF>lines\""), String::npos) << WideToAnsi(m);
  EXPECT_NE(m.find(L"\nHKEY_CURRENT_USER\\" + key + L"\\bro<CR><LF>ken"), String::npos) << WideToAnsi(m);

  DeleteTree(key);
  EXPECT_EQ(FileCommand(L'I', file), L"Registry file imported.");
  EXPECT_EQ(ValueNames(key), std::vector<String>{L"ok"});
  EXPECT_TRUE(HasValue(key + L"\\fine", L"v"));
}

// A UTF-8 registry file (with its byte-order mark, or without one) is
// refused with the reason: it is UTF-8, and Unicode (UTF-16) and ANSI
// files are read. A UTF-8 file that is no registry file is refused as such.
TEST_F(Editor, AUtf8RegistryFileIsRefusedAsUtf8) {
  Start();
  ASSERT_NE(Open(), nullptr);
  const String file = TempFile(L"utf8.reg");
  const std::string key = "[HKEY_CURRENT_USER\\" + WideToAnsi(Data) + "\\Utf8]\r\n";
  std::ofstream(WideToAnsi(file), std::ios::binary)
      << "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n" << key << "\"caf\xC3\xA9\"=\"x\"\r\n";
  EXPECT_EQ(FileCommand(L'I', file), L"Import refused: the file is UTF-8 text.");
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find(L"UTF-8"), String::npos) << WideToAnsi(Messages()[0]);
  EXPECT_NE(Messages()[0].find(L"Zembrio reads Unicode (UTF-16) and ANSI registry files"), String::npos)
      << WideToAnsi(Messages()[0]);
  EXPECT_FALSE(KeyExists(String(Data) + L"\\Utf8"));
  EXPECT_TRUE(Errors.empty());

  // Without the mark, bytes beyond ASCII that are all UTF-8 sequences tell
  // the same; a file of ASCII alone is imported.
  Messages().clear();
  std::ofstream(WideToAnsi(file), std::ios::binary)
      << "REGEDIT4\r\n\r\n" << key << "\"caf\xC3\xA9\"=\"\xE2\x82\xAC \xF0\x9F\x98\x80\"\r\n";
  EXPECT_EQ(FileCommand(L'I', file), L"Import refused: the file is UTF-8 text.");
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find(L"Zembrio reads Unicode (UTF-16) and ANSI registry files"), String::npos)
      << WideToAnsi(Messages()[0]);
  EXPECT_FALSE(KeyExists(String(Data) + L"\\Utf8"));
  std::ofstream(WideToAnsi(file), std::ios::binary) << "REGEDIT4\r\n\r\n" << key << "\"cafe\"=\"x\"\r\n";
  EXPECT_EQ(FileCommand(L'I', file), L"Registry file imported.");
  EXPECT_EQ(ValueNames(String(Data) + L"\\Utf8"), std::vector<String>{L"cafe"});
  DeleteTree(String(Data) + L"\\Utf8");

  std::ofstream(WideToAnsi(file), std::ios::binary) << "\xEF\xBB\xBFno header\r\n" << key;
  EXPECT_EQ(FileCommand(L'I', file), L"Import refused: the file is not a registry file.");
  EXPECT_FALSE(KeyExists(String(Data) + L"\\Utf8"));
}

TEST_F(Editor, ImportReadsUtf16LeUtf16BeAndAnsiFiles) {
  Start();
  ASSERT_NE(Open(), nullptr);
  TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrYes); };
  const String keyLine = String(L"[HKEY_CURRENT_USER\\") + Data;
  auto utf16 = [](const String& s, bool be) {
    std::string b = be ? std::string("\xFE\xFF") : std::string("\xFF\xFE");
    for (wchar_t c : s) {
      char lo = char(c & 0xFF), hi = char((c >> 8) & 0xFF);
      if (be) b += hi, b += lo; else b += lo, b += hi;
    }
    return b;
  };
  struct Case {
    const wchar_t* Name;
    std::string Bytes;
  };
  const String le = L"Windows Registry Editor Version 5.00\r\n\r\n" + keyLine +
                    L"\\Le]\r\n\"\u0416name\"=\"\u4E2D \\\"q\\\"\"\r\n\"N\"=dword:0000002a\r\n";
  const String be = L"Windows Registry Editor Version 5.00\r\n\r\n" + keyLine +
                    L"\\Be]\r\n@=\"def\"\r\n\"Bin\"=hex:01,02,\\\r\n  03\r\n";
  std::string ansi = "REGEDIT4\r\n\r\n" + WideToAnsi(keyLine) + "\\Ansi]\r\n\"Caf\xE9\"=\"na\xEFve\"\r\n";
  std::vector<Case> cases = {{L"le.reg", utf16(le, false)}, {L"be.reg", utf16(be, true)}, {L"ansi.reg", ansi}};
  for (const Case& c : cases) {
    const String file = TempFile(c.Name);
    std::ofstream(WideToAnsi(file), std::ios::binary) << c.Bytes;
    AnswerFileDialogs(file);
    Window->mnuFile_ImportClick(nullptr);
    EXPECT_EQ(Window->GetStatusText(), L"Registry file imported.") << WideToAnsi(c.Name);
  }
  DWORD type = 0;
  std::string raw;
  ASSERT_TRUE(Read(String(Data) + L"\\Le", L"\u0416name", type, raw));
  EXPECT_EQ(raw, Sz(L"\u4E2D \"q\""));
  ASSERT_TRUE(Read(String(Data) + L"\\Le", L"N", type, raw));
  EXPECT_EQ(raw, Dw(42));
  ASSERT_TRUE(Read(String(Data) + L"\\Be", L"", type, raw));
  EXPECT_EQ(raw, Sz(L"def"));
  ASSERT_TRUE(Read(String(Data) + L"\\Be", L"Bin", type, raw));
  EXPECT_EQ(type, DWORD(REG_BINARY));
  EXPECT_EQ(raw, std::string("\x01\x02\x03", 3));
  ASSERT_TRUE(Read(String(Data) + L"\\Ansi", L"Caf\u00E9", type, raw));
  EXPECT_EQ(raw, Sz(L"na\u00EFve"));
}

// A hex value broken by the key line after it is left out with that line,
// the values meant for that key go nowhere, and the status says lines were
// skipped instead of a plain "imported".
TEST_F(Editor, ABrokenHexValueIsSkippedAndTheImportSaysSo) {
  Start();
  ASSERT_NE(Open(), nullptr);
  TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrYes); };
  const std::string key = "[HKEY_CURRENT_USER\\" + WideToAnsi(Data) + "\\Br";
  const std::string text = "REGEDIT4\r\n\r\n" + key + "]\r\n\"a\"=hex(2):4c,69,6e,65,20,\\\r\n" + key +
                           "\\Sub]\r\n\"z\"=\"1\"\r\n" + key + "]\r\n\"ok\"=dword:  00000008\r\n";
  const String file = TempFile(L"broken.reg");
  std::ofstream(WideToAnsi(file), std::ios::binary) << text;
  AnswerFileDialogs(file);
  Window->mnuFile_ImportClick(nullptr);
  EXPECT_EQ(Window->GetStatusText(), L"Registry file imported with 3 lines skipped (first at line 4).");
  DWORD type = 0;
  std::string raw;
  ASSERT_TRUE(Read(String(Data) + L"\\Br", L"ok", type, raw));
  EXPECT_EQ(raw, Dw(8));
  EXPECT_EQ(ValueNames(String(Data) + L"\\Br"), std::vector<String>{L"ok"});
  EXPECT_FALSE(KeyExists(String(Data) + L"\\Br\\Sub"));
}

// Keys the user may not read (HKEY_LOCAL_MACHINE has many for a user
// without administrator rights) are left out of an export, which writes the
// rest and says so plainly: counted in the status, named in a message, with
// no error dialog and no "Export aborted.".
TEST_F(Editor, AnExportLeavesOutKeysThatCantBeReadAndNamesThem) {
  const String top = String(Data) + L"\\Exp";
  CreateKey(top + L"\\Open");
  Write(top + L"\\Open", L"v", REG_SZ, Sz(L"1"));
  CreateKey(top + L"\\Locked\\Inner");
  Write(top + L"\\Locked", L"secret", REG_SZ, Sz(L"s"));
  Start();
  ASSERT_NE(Open(L"Exp"), nullptr);
  const String file = TempFile(L"partial.reg");
  struct TRefused {
    TRefused() { RegistryRefuseKey(L"Locked", ERROR_ACCESS_DENIED); }
    ~TRefused() { RegistryClearFaults(); }
  };
  String status;
  {
    TRefused refused;
    status = FileCommand(L'E', file);
  }
  EXPECT_EQ(status, L"Registry file exported; 1 key was not readable.");
  EXPECT_TRUE(Errors.empty()) << (Errors.empty() ? "" : WideToAnsi(Errors[0]));
  EXPECT_EQ(Messages(), std::vector<String>{L"The registry file was written:\n" + file +
                                            L"\n\nThe exported file is incomplete: 1 key could not be read whole:\n"
                                            L"HKEY_CURRENT_USER\\" + top + L"\\Locked (" +
                                            SysErrorMessage(ERROR_ACCESS_DENIED) + L")"});
  std::ifstream in(WideToAnsi(file), std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\" + WideToAnsi(top) + "\\Open]\r\n\"v\"=\"1\"\r\n"), std::string::npos)
      << text;
  EXPECT_EQ(text.find("Locked"), std::string::npos) << text;
}

// A key that is listed but can't be opened (a link to a key that is not
// there) is one of the keys an export could not read: counted and named.
// Exported itself, it is said plainly that the key can't be read, and no
// file is written (nor said to be corrupt).
TEST_F(Editor, AnExportCountsAListedKeyThatCantBeOpened) {
  const String top = String(Data) + L"\\Exp";
  Write(top + L"\\Open", L"v", REG_SZ, Sz(L"1"));
  const String target = L"\\Registry\\User\\ZembrioNoSuchUser\\Missing";
  testsupport::reg::CreateLink(top + L"\\Dangling", target);
  Start();
  ASSERT_NE(Open(L"Exp"), nullptr);
  const String file = TempFile(L"parent.reg");
  EXPECT_EQ(FileCommand(L'E', file), L"Registry file exported; 1 key was not readable.");
  EXPECT_EQ(Messages(), std::vector<String>{L"The registry file was written:\n" + file +
                                            L"\n\nThe exported file is incomplete: 1 key could not be read whole:\n"
                                            L"HKEY_CURRENT_USER\\" + top +
                                            L"\\Dangling (a link to a key that does not exist: " + target + L")"});
  std::ifstream in(WideToAnsi(file), std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("[HKEY_CURRENT_USER\\" + WideToAnsi(top) + "\\Open]\r\n\"v\"=\"1\"\r\n"), std::string::npos)
      << text;
  EXPECT_EQ(text.find("Dangling"), std::string::npos) << text;

  // The link key itself (its values can't be listed either: said when it
  // is selected).
  ASSERT_NE(Open(L"Exp\\Dangling"), nullptr);
  Errors.clear();
  Messages().clear();
  const String none = TempFile(L"link.reg");
  EXPECT_EQ(FileCommand(L'E', none), L"Export aborted: the key can't be read.");
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0], L"The key to export can't be read: nothing was exported, and no file was written.\n\nKey: "
                       L"HKEY_CURRENT_USER\\" + top + L"\\Dangling\nIt is a link to a key that does not exist: " +
                       target + L".");
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(GetFileAttributesW(none.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(Editor, ExportWithoutAKeyOrCancelledIsAborted) {
  Start();
  ASSERT_NE(Open(), nullptr);
  TPlacesOpenDialog::DialogHook = [](OPENFILENAMEW&, bool) -> BOOL { return FALSE; };
  Window->mnuFile_ExportClick(nullptr);
  EXPECT_EQ(Window->GetStatusText(), L"Export aborted.");
  // A file that can't be written is reported, not announced as exported.
  AnswerFileDialogs(L"Z:\\no\\such\\folder\\x.reg");
  Window->mnuFile_ExportClick(nullptr);
  EXPECT_NE(Window->GetStatusText(), L"Registry file exported.");
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0].rfind(L"An exception occurred attempting to export a registry file.", 0), 0u)
      << WideToAnsi(Errors[0]);
  // With the system's reason.
  EXPECT_NE(Errors[0].find(Trim(SysErrorMessage(ERROR_PATH_NOT_FOUND))), String::npos) << WideToAnsi(Errors[0]);

  // A read-only file is neither replaced nor announced as written, and no
  // temporary file is left beside it.
  const String kept = TempFile(L"readonly.reg");
  std::ofstream(WideToAnsi(kept), std::ios::binary) << "KEEP";
  ASSERT_TRUE(SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_READONLY));
  AnswerFileDialogs(kept);
  Errors.clear();
  Window->mnuFile_ExportClick(nullptr);
  SetFileAttributesW(kept.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(Window->GetStatusText(), L"Export aborted.");
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_NE(Errors[0].find(L"read-only"), String::npos) << WideToAnsi(Errors[0]);
  std::ifstream in(WideToAnsi(kept), std::ios::binary);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), "KEEP");
  EXPECT_EQ(GetFileAttributesW((kept + L".tmp~").c_str()), INVALID_FILE_ATTRIBUTES);
}

// ---------------------------------------------------------------------------
// Deleting through the real confirm dialog.

TEST_F(Editor, MultiDeleteAnswersThroughTheConfirmDialog) {
  for (const wchar_t* n : {L"A", L"B", L"C", L"D", L"E"}) Write(Data, n, REG_SZ, Sz(n));
  Start();
  ASSERT_NE(Open(), nullptr);
  TfrmConfirm* c = F.Confirm;
  auto answer = [c](TButton* TfrmConfirm::*Button) {
    return [c, Button] {
      ASSERT_TRUE(c->GetVisible());
      EXPECT_EQ(c->GetCaption(), L"Please confirm delete");
      EXPECT_FALSE(c->imgQuestion->Picture()->Icon()->Empty());  // loaded when first shown
      (c->*Button)->Click();
    };
  };
  // No to the first, Yes to the second.
  SelectOnly(Window->lvKeyValues, {L"A", L"B"});
  ASSERT_TRUE(WithModal([&] { Window->DeleteSelected(Window->lvKeyValues); },
                        {answer(&TfrmConfirm::btnNo), answer(&TfrmConfirm::btnYes)}));
  EXPECT_EQ(Window->GetStatusText(), L"Values deleted: 1");
  EXPECT_EQ(ValueNames(Data), (std::vector<String>{L"A", L"C", L"D", L"E"}));
  // Cancel stops at once.
  SelectOnly(Window->lvKeyValues, {L"C", L"D"});
  ASSERT_TRUE(WithModal([&] { Window->DeleteSelected(Window->lvKeyValues); }, {answer(&TfrmConfirm::btnCancel)}));
  EXPECT_EQ(Window->GetStatusText(), L"Values deleted: 0");
  EXPECT_EQ(ValueNames(Data).size(), 4u);
  // Yes to All: one question for three.
  SelectOnly(Window->lvKeyValues, {L"C", L"D", L"E"});
  ASSERT_TRUE(WithModal([&] { Window->DeleteSelected(Window->lvKeyValues); }, {answer(&TfrmConfirm::btnYesToAll)}));
  EXPECT_EQ(Window->GetStatusText(), L"Values deleted: 3");
  EXPECT_EQ(ValueNames(Data), (std::vector<String>{L"A"}));
  EXPECT_EQ(ValueItem(L"C"), nullptr);
  EXPECT_NE(ValueItem(L"A"), nullptr);
  // The default value deleted with another: its row stays, not set, as
  // every key lists one (it had left the list).
  Write(Data, L"", REG_SZ, Sz(L"the default"));
  Window->RefreshTree();
  ASSERT_EQ(ValueText(ValueItem(L"(Default)")), L"the default");
  SelectOnly(Window->lvKeyValues, {L"(Default)", L"A"});
  ASSERT_TRUE(WithModal([&] { Window->DeleteSelected(Window->lvKeyValues); }, {answer(&TfrmConfirm::btnYesToAll)}));
  EXPECT_EQ(Window->GetStatusText(), L"Values deleted: 2");
  EXPECT_TRUE(ValueNames(Data).empty());
  EXPECT_EQ(Window->lvKeyValues->Items()->GetCount(), 1);
  EXPECT_EQ(ValueText(ValueItem(L"(Default)")), L"(value not set)");
  EXPECT_TRUE(Errors.empty());
  // A default value that is not set has nothing to delete: no error for it.
  Write(Data, L"A", REG_SZ, Sz(L"A"));
  Window->RefreshTree();
  SelectOnly(Window->lvKeyValues, {L"(Default)", L"A"});
  ASSERT_TRUE(WithModal([&] { Window->DeleteSelected(Window->lvKeyValues); }, {answer(&TfrmConfirm::btnYesToAll)}));
  EXPECT_EQ(Window->GetStatusText(), L"Values deleted: 1");
  EXPECT_TRUE(ValueNames(Data).empty());
  EXPECT_EQ(Window->lvKeyValues->Items()->GetCount(), 1);
  EXPECT_TRUE(Errors.empty());
}

// ---------------------------------------------------------------------------
// Clipboard, Go.

TEST_F(Editor, CopyCommandsAndGoToATypedPath) {
  Write(String(Data) + L"\\Deep\\Er", L"Name", REG_SZ, Sz(L"copied text"));
  Start();
  ASSERT_NE(Open(L"Deep\\Er"), nullptr);
  Window->mnuEdit_CopyKeyClick(nullptr);
  EXPECT_EQ(Clipboard()->GetAsText(), String(L"HKEY_CURRENT_USER\\") + Data + L"\\Deep\\Er");
  SelectOnly(Window->lvKeyValues, {L"Name"});
  Window->mnuEdit_CopyValueClick(nullptr);
  EXPECT_EQ(Clipboard()->GetAsText(), L"copied text");

  // Go through the input box, typed in another case.
  Window->treeRegTree->Items()->GetFirstNode()->SetSelected(true);
  InputQueryShowHook = [this](TForm* f) {
    auto* e = static_cast<TEdit*>(f->FindComponent(L"Edit"));
    e->SetText(String(L"hkey_current_user\\") + Data + L"\\DEEP");
    PostMessageW(e->GetHandle(), WM_KEYDOWN, VK_RETURN, 0);
  };
  ASSERT_TRUE(WithModal([&] { Window->mnuNavigation_GotoClick(nullptr); }, {}));
  ASSERT_NE(Window->GetSelectedNode(), nullptr);
  EXPECT_EQ(Window->GetSelectedNode()->GetText(), L"Deep");
  // Go from the address box.
  Window->txtPath->SetText(String(L"HKEY_CURRENT_USER\\") + Data + L"\\Deep\\Er");
  Window->tbtnNavigation_GoClick(nullptr);
  ASSERT_NE(Window->GetSelectedNode(), nullptr);
  EXPECT_EQ(Window->GetSelectedNode()->GetText(), L"Er");
  EXPECT_NE(ValueItem(L"Name"), nullptr);
}

// Go to cancelled opens nothing: the key an earlier Go opened is no longer
// said to be opened.
TEST_F(Editor, GoToCancelledLeavesNoEarlierKeyOpenedStanding) {
  CreateKey(Data + L"\\Deep");
  Start();
  Window->txtPath->SetText(L"HKEY_CURRENT_USER\\" + Data + L"\\Deep");
  Window->tbtnNavigation_GoClick(nullptr);
  ASSERT_EQ(Window->GetStatusText().rfind(L"Key opened: ", 0), 0u);
  Foreground(Window->treeRegTree);
  bool asked = false;
  InputQueryShowHook = [&](TForm*) {
    asked = true;
    testsupport::InputScript().Press(VK_ESCAPE).Post();
  };
  ASSERT_TRUE(WithModal([] { testsupport::InputScript().Press('G', {VK_CONTROL}).Send(); }, {}));
  InputQueryShowHook = nullptr;
  EXPECT_TRUE(asked);
  EXPECT_EQ(Window->GetStatusText(), L"");
  EXPECT_EQ(Window->GetSelectedNode()->GetText(), L"Deep");
  // Enter in an empty address box the same.
  Window->tbtnNavigation_GoClick(nullptr);
  ASSERT_EQ(Window->GetStatusText().rfind(L"Key opened: ", 0), 0u);
  TBarItemViewer* box = Window->tbrNavigation->View()->Find(Window->txtPath);
  ASSERT_NE(box, nullptr);
  const RECT r = box->BoundsRect;
  const POINT at = testsupport::ScreenPoint(Window->tbrNavigation->GetHandle(), (r.left + r.right) / 2,
                                            (r.top + r.bottom) / 2);
  ASSERT_TRUE(testsupport::RunInput([&] {
    testsupport::InputScript()
        .Click(at)
        .Press(VK_END)
        .Press(VK_HOME, {VK_SHIFT})
        .Press(VK_DELETE)
        .Press(VK_RETURN)
        .Post();
  }));
  EXPECT_TRUE(PumpUntil([&] { return Window->GetStatusText().empty(); }));
  EXPECT_EQ(Window->GetSelectedNode()->GetText(), L"Deep");
}

// Export chosen while a key's name is being edited exports the key by the
// name typed: the edit ends first, as it does for the other commands on
// the tree.
TEST_F(Editor, ExportDuringARenameExportsTheKeyByItsNewName) {
  Write(Data + L"\\Old", L"v", REG_SZ, Sz(L"x"));
  Start();
  ASSERT_NE(Open(L"Old"), nullptr);
  Foreground(Window->treeRegTree);
  testsupport::PressKey(VK_F2);
  ASSERT_TRUE(PumpUntil([&] { return Window->treeRegTree->IsEditing(); }));
  testsupport::InputScript().Press('A', {VK_CONTROL}).Text(L"New").Send();
  const String file = TempFile(L"RenamedExport.reg");
  AnswerFileDialogs(file);
  TBarView* bar = Window->tbrMainMenu->View();
  Script s;
  s.Steps = {
      {[] { return true; }, [] { testsupport::InputScript().Press('F', {VK_MENU}).Post(); }},
      {[=] { return bar->OpenViewer && bar->OpenViewerView && bar->OpenViewer->Item == Window->mnuFile; },
       [] { testsupport::InputScript().Press('E').Post(); }},
      {[=] { return Window->GetStatusText().rfind(L"Registry file exported", 0) == 0; }, [] {}}};
  ASSERT_EQ(s.Run(20000), s.Steps.size()) << WideToAnsi(Window->GetStatusText());
  EXPECT_TRUE(KeyExists(Data + L"\\New"));
  std::ifstream in(WideToAnsi(file), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i)
    if (bytes[i]) text += bytes[i];  // the file's UTF-16 read as its ASCII letters
  EXPECT_NE(text.find("\\New]"), std::string::npos) << text;
  EXPECT_EQ(text.find("\\Old]"), std::string::npos) << text;
}

// ---------------------------------------------------------------------------
// Options, about.

TEST_F(Editor, OptionsChangedAppliedAndPersisted) {
  Start();
  ASSERT_TRUE(Window->GetShowHint());
  TfrmOptions* o = F.Options;
  ASSERT_TRUE(WithModal([&] { Window->mnuFile_PreferencesClick(nullptr); },
                        {[=] {
                          ASSERT_TRUE(o->GetVisible());
                          o->chkShowHints->SetChecked(false);
                          o->rgrpDragHandleStyle->SetItemIndex(0);
                          o->chkTbrCloseButton->SetChecked(true);
                          o->btnOk->Click();
                        }}));
  EXPECT_FALSE(Window->GetShowHint());
  EXPECT_TRUE(Window->tbrFile->GetCloseButtonWhenDocked());
  EXPECT_EQ(Window->tbrFile->GetDragHandleStyle(), dhNone);
  // Stored right away in the settings key.
  DWORD type = 0;
  std::string raw;
  ASSERT_TRUE(Read(String(Settings) + L"\\Appearance", L"ShowHints", type, raw));
  EXPECT_EQ(type, DWORD(REG_DWORD));
  EXPECT_EQ(raw, Dw(0));

  // Cancel changes nothing.
  ASSERT_TRUE(WithModal([&] { Window->mnuFile_PreferencesClick(nullptr); },
                        {[=] {
                          o->chkShowHints->SetChecked(true);
                          o->btnCancel->Click();
                        }}));
  EXPECT_FALSE(Window->GetShowHint());

  // The bookmark file is browsed for through the data module's save dialog
  // (with the places bar), and the font through its font dialog.
  EXPECT_EQ(o->FontDialog, dmodCommon->fdlgFont);
  const String bm = TempFile(L"picked.ZembrioBM");
  bool asked = false;
  TPlacesOpenDialog::DialogHook = [&](OPENFILENAMEW& Ofn, bool Save) -> BOOL {
    asked = true;
    EXPECT_TRUE(Save);
    wcscpy(Ofn.lpstrFile, bm.c_str());
    return TRUE;
  };
  ASSERT_TRUE(WithModal([&] { Window->mnuFile_PreferencesClick(nullptr); },
                        {[=] {
                          o->btnSelectBookmarkFile->Click();
                          EXPECT_EQ(o->edtBookmarkFile->GetText(), bm);
                          o->btnCancel->Click();
                        }}));
  EXPECT_TRUE(asked);
  // And a restart reads them back.
  Stop();
  Start();
  EXPECT_FALSE(Window->GetShowHint());
  EXPECT_TRUE(Window->tbrFile->GetCloseButtonWhenDocked());
  EXPECT_EQ(Window->tbrFile->GetDragHandleStyle(), dhNone);
}

// The options dialog's close box saves and the main window applies the
// options again; Escape cancels, and nothing is applied.
TEST_F(Editor, OptionsCloseBoxSavesAndEscapeCancels) {
  Start();
  TfrmOptions* o = F.Options;
  ASSERT_TRUE(Window->GetShowHint());
  ASSERT_TRUE(WithModal([&] { Window->mnuFile_PreferencesClick(nullptr); },
                        {[=] {
                          o->chkShowHints->SetChecked(false);
                          testsupport::InputScript().Click(dlgtest::CloseBoxPoint(o->GetHandle())).Post();
                        }}));
  EXPECT_FALSE(Window->GetShowHint());
  DWORD type = 0;
  std::string raw;
  ASSERT_TRUE(Read(String(Settings) + L"\\Appearance", L"ShowHints", type, raw));
  EXPECT_EQ(raw, Dw(0));

  ASSERT_TRUE(WithModal([&] { Window->mnuFile_PreferencesClick(nullptr); },
                        {[=] {
                          o->chkShowHints->SetChecked(true);
                          ASSERT_TRUE(dlgtest::WaitForKeyboard(o));
                          testsupport::InputScript().Press(VK_ESCAPE).Post();
                        }}));
  EXPECT_FALSE(Window->GetShowHint());
  ASSERT_TRUE(Read(String(Settings) + L"\\Appearance", L"ShowHints", type, raw));
  EXPECT_EQ(raw, Dw(0));
}

// A bookmark file path is checked when the preferences are accepted: a
// folder's name is refused, a missing folder is made only when the user
// agrees (else the dialog stays open), and the bookmarks of the run reach
// the new file at close while the old file keeps its own. A start whose
// bookmark file can't be read, its folder missing, says so.
TEST_F(Editor, ABookmarkFileInAMissingFolderIsCheckedAtOkAndReportedAtStart) {
  const std::string oldBytes = "Old\r\nHKEY_CURRENT_USER\r\n\\Software\r\n";
  {
    std::ofstream f(BookmarkFile.c_str(), std::ios::binary);
    f << oldBytes;
  }
  const String folder = TempFile(L"bmdir"), file = folder + L"\\Marks.ZembrioBM";
  auto removeFolder = [&] {
    DeleteFileW(file.c_str());
    RemoveDirectoryW(folder.c_str());
  };
  removeFolder();
  CreateKey(String(Data) + L"\\Marked");
  Start();
  ASSERT_EQ(Window->lvBookmarks->Items()->GetCount(), 1);
  TfrmOptions* o = F.Options;
  std::vector<int> answers = {IDOK, IDNO, IDYES, IDNO};
  const auto keptHook = MessageBoxHook;
  AnswerMessages(answers);
  auto typePathAndOk = [o](const String& Path) {
    testsupport::InputScript()
        .Click(testsupport::ClientCentre(o->edtBookmarkFile->GetHandle()))
        .Press(VK_HOME)
        .Press(VK_END, {VK_SHIFT})
        .Text(Path)
        .Click(testsupport::ClientCentre(o->btnOk->GetHandle()))
        .Post();
  };
  const String tempDir = ExtractFileDir(folder);
  bool madeAfterNo = true;
  Script s;
  s.Steps = {{[&] { return o->GetVisible() && GetForegroundWindow() == o->GetHandle(); },
              [&] { typePathAndOk(tempDir); }},
             {[&] { return Messages().size() == 1 && GetForegroundWindow() == o->GetHandle(); },
              [&] { typePathAndOk(file); }},
             {[&] { return Messages().size() == 2 && GetForegroundWindow() == o->GetHandle(); },
              [&] {
                madeAfterNo = DirectoryExists(folder);
                testsupport::InputScript().Click(testsupport::ClientCentre(o->btnOk->GetHandle())).Post();
              }},
             {[&] { return !o->GetVisible(); }, [] {}}};
  EXPECT_EQ(s.Run([&] { Window->mnuFile_PreferencesClick(nullptr); }), s.Steps.size());
  MessageBoxHook = keptHook;
  const String create =
      L"The folder of the bookmark file does not exist:\n\n" + folder + L"\n\nDo you wish to create it?";
  EXPECT_EQ(Messages(), (std::vector<String>{L"The bookmark file location is a folder, not a file:\n\n" + tempDir,
                                             create, create, TfrmOptions::ClearBookmarksQuestion}));
  EXPECT_FALSE(madeAfterNo);
  EXPECT_TRUE(DirectoryExists(folder));
  DWORD type = 0;
  std::string raw;
  ASSERT_TRUE(Read(Settings + L"\\General", L"BookmarkFile", type, raw));
  EXPECT_EQ(raw, Sz(file));

  // A bookmark added, the window closed: the list, old bookmark and new,
  // is in the new file; the old file is as it was.
  ASSERT_NE(Open(L"Marked"), nullptr);
  Foreground(Window->treeRegTree);
  testsupport::InputScript().Press('B', {VK_CONTROL}).Press(VK_ESCAPE).Send();
  ASSERT_EQ(Window->lvBookmarks->Items()->GetCount(), 2);
  Stop();
  EXPECT_TRUE(Errors.empty()) << (Errors.empty() ? "" : WideToAnsi(Errors[0]));
  auto bytesOf = [](const String& Name) {
    std::ifstream f(Name.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  };
  EXPECT_EQ(bytesOf(file), oldBytes + "Marked\r\nHKEY_CURRENT_USER\r\n\\" + WideToAnsi(Data) + "\\Marked\r\n");
  EXPECT_EQ(bytesOf(BookmarkFile), oldBytes);

  // The folder gone before the next start: the start says so, and the
  // close has nothing to write and reports no failure.
  removeFolder();
  Messages().clear();
  Start();
  EXPECT_EQ(Messages(), std::vector<String>{L"The bookmark file can't be read: its folder does not exist.\n\nBookmark "
                                            L"file: " + file + L"\n\nCheck the bookmark file location setting in "
                                            L"the Zembrio preferences."});
  EXPECT_EQ(Window->lvBookmarks->Items()->GetCount(), 0);
  Stop();
  EXPECT_TRUE(Errors.empty());
  EXPECT_FALSE(DirectoryExists(folder));
}

// Bookmarks added while the bookmark file's folder is gone are not lost at
// close: the user is offered the folder made again, or another file (which
// the settings then name); a file that can't be written, another file.
TEST_F(Editor, BookmarksAddedWhileTheFileHasNoFolderAreSavedWhereTheUserSays) {
  const String folder = TempFile(L"gonedir"), file = folder + L"\\Marks.ZembrioBM";
  const String other = TempFile(L"other.ZembrioBM");
  auto removeFolder = [&] {
    DeleteFileW(file.c_str());
    RemoveDirectoryW(folder.c_str());
  };
  removeFolder();
  BookmarkFile = file;
  CreateKey(String(Data) + L"\\Marked");
  std::vector<int> answers;
  const auto keptHook = MessageBoxHook;
  AnswerMessages(answers);
  auto bytesOf = [](const String& Name) {
    std::ifstream f(Name.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  };
  const std::string marked = "Marked\r\nHKEY_CURRENT_USER\r\n\\" + WideToAnsi(Data) + "\\Marked\r\n";
  const String create = L"The bookmarks can't be saved: the folder of the bookmark file does not exist:\n\n" +
                        folder + L"\n\nDo you wish to create it?";
  // Started (a gone folder the start tells), a bookmark added with Ctrl+B,
  // the window closed with the offer answered.
  auto session = [&](std::vector<int> Answers) {
    Start();
    Messages().clear();
    ASSERT_NE(Open(L"Marked"), nullptr);
    const int marks = Window->lvBookmarks->Items()->GetCount();
    Foreground(Window->treeRegTree);
    testsupport::InputScript().Press('B', {VK_CONTROL}).Press(VK_ESCAPE).Send();
    ASSERT_EQ(Window->lvBookmarks->Items()->GetCount(), marks + 1);
    answers = std::move(Answers);
    Stop();
  };

  session({IDYES});
  EXPECT_EQ(Messages(), std::vector<String>{create});
  EXPECT_EQ(bytesOf(file), marked);

  removeFolder();
  AnswerFileDialogs(other);
  session({IDNO, IDYES});
  EXPECT_EQ(Messages(), (std::vector<String>{create, TfrmMain::UnsavedBookmarksQuestion}));
  EXPECT_EQ(bytesOf(other), marked);
  EXPECT_FALSE(DirectoryExists(folder));
  DWORD type = 0;
  std::string raw;
  ASSERT_TRUE(Read(Settings + L"\\General", L"BookmarkFile", type, raw));
  EXPECT_EQ(raw, Sz(other));
  EXPECT_TRUE(Errors.empty());

  const String third = TempFile(L"third.ZembrioBM");
  AnswerFileDialogs(third);
  SetFileAttributesW(other.c_str(), FILE_ATTRIBUTE_READONLY);
  session({IDYES});
  SetFileAttributesW(other.c_str(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0].rfind(AppText::BookmarksSaveFailed, 0), 0u) << WideToAnsi(Errors[0]);
  EXPECT_EQ(Messages(), std::vector<String>{TfrmMain::UnsavedBookmarksQuestion});
  EXPECT_EQ(bytesOf(other), marked);
  EXPECT_EQ(bytesOf(third), marked + marked);
  MessageBoxHook = keptHook;
}

// Bookmarks whose file another program holds open at close are not lost:
// the file is left as it is, and another file is offered, which then gets
// the file's bookmarks read at start and the one added.
TEST_F(Editor, BookmarksWhoseFileIsHeldOpenAtCloseAreSavedWhereTheUserSays) {
  const std::string stored = "a\r\nHKEY_USERS\r\n\\1\r\n";
  std::ofstream(BookmarkFile.c_str(), std::ios::binary) << stored;
  const String other = TempFile(L"other.ZembrioBM");
  DeleteFileW(other.c_str());
  CreateKey(String(Data) + L"\\Marked");
  std::vector<int> answers;
  const auto keptHook = MessageBoxHook;
  AnswerMessages(answers);
  AnswerFileDialogs(other);
  auto bytesOf = [](const String& Name) {
    std::ifstream f(Name.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  };
  Start();
  ASSERT_EQ(Window->lvBookmarks->Items()->GetCount(), 1);
  ASSERT_NE(Open(L"Marked"), nullptr);
  Foreground(Window->treeRegTree);
  testsupport::InputScript().Press('B', {VK_CONTROL}).Press(VK_ESCAPE).Send();
  ASSERT_EQ(Window->lvBookmarks->Items()->GetCount(), 2);
  const HANDLE held = CreateFileW(BookmarkFile.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  Messages().clear();
  answers = {IDOK, IDYES};
  Stop();
  CloseHandle(held);
  MessageBoxHook = keptHook;
  ASSERT_EQ(Messages().size(), 2u);
  EXPECT_EQ(Messages()[0].rfind(L"The bookmarks can't be saved in the bookmark file: it can't be read,", 0), 0u);
  EXPECT_EQ(Messages()[1], TfrmMain::UnsavedBookmarksQuestion);
  EXPECT_EQ(bytesOf(BookmarkFile), stored);
  EXPECT_EQ(bytesOf(other), stored + "Marked\r\nHKEY_CURRENT_USER\r\n\\" + WideToAnsi(Data) + "\\Marked\r\n");
  EXPECT_TRUE(Errors.empty());
}

// The program started again for a test that ends it.
using EditorDeathTest = EditorTest;

// Ticking the abbreviated root-key names and pressing OK, with the mouse,
// tells the user that the program ends and ends it: the main window closes
// (storing the selected key and its settings as they still were), and the
// new naming, written after that close, is what the registry keeps.
TEST_F(EditorDeathTest, ChangingTheRootKeyNamingEndsTheProgramAndKeepsTheNewNaming) {
  auto program = [&] {
    // The test host gives way: the editor's window is the program's
    // main window, whose close ends the program.
    delete Application->MainForm();
    Start();
    if (Application->MainForm() != Window) ExitProcess(10);
    if (!Open()) ExitProcess(11);
    Foreground(Window->treeRegTree);
    TfrmOptions* o = F.Options;
    Script s;
    s.Steps = {{[&] { return o->GetVisible() && GetForegroundWindow() == o->GetHandle(); },
                [&] {
                  testsupport::InputScript().Click(testsupport::ClientCentre(o->chkAbbrBaseKey->GetHandle())).Post();
                }},
               {[&] { return o->chkAbbrBaseKey->GetChecked(); },
                [&] { testsupport::InputScript().Click(testsupport::ClientCentre(o->btnOk->GetHandle())).Post(); }}};
    const size_t ran = s.Run([&] { Window->mnuFile_PreferencesClick(nullptr); });
    if (ran != s.Steps.size()) ExitProcess(12);
    if (Messages() != std::vector<String>{TfrmOptions::RestartText}) ExitProcess(13);
    // The application's message loop has been told to end.
    ExitProcess(Application->Terminated() ? 0 : 14);
  };
  EXPECT_EXIT(program(), ::testing::ExitedWithCode(0), "");
  DWORD type = 0;
  std::string raw;
  ASSERT_TRUE(Read(Settings + L"\\General", L"AbbrBaseKeyNames", type, raw));
  EXPECT_EQ(raw, Dw(1));
  ASSERT_TRUE(Read(Settings + L"\\General", L"PreviousPath", type, raw));
  EXPECT_EQ(raw, Sz(L"\\" + Data));
  // The next start shows the short names.
  Start();
  TTreeExNode* key = Open();
  ASSERT_NE(key, nullptr);
  while (key->GetLevel() > 1) key = key->GetParent();
  EXPECT_EQ(key->GetText(), L"Current User");
}

TEST_F(Editor, AboutBoxTitleComesFromTheVersionResource) {
  Start();
  TfrmAbout* a = F.About;
  ASSERT_TRUE(WithModal([&] { Window->mnuHelp_AboutClick(nullptr); },
                        {[=] {
                          ASSERT_TRUE(a->GetVisible());
                          EXPECT_EQ(a->lblTitle->GetCaption(), L"Zembrio v1.0.0 Build 1");
                          a->btnClose->Click();
                        }}));
}

}  // namespace
