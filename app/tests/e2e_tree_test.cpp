// The key tree and the stored window settings as a user meets them: keys
// whose names a linguistic comparison takes for each other, renaming a
// large branch, settings damaged by hand or by another screen.
#include <fstream>

#include "app/Dialogs.h"
#include "app/ItemData.h"
#include "app/PlacesDialogs.h"
#include "app/tests/e2e_support.h"
#include "testsupport/Input.h"
#include "toolbars/BarViews.h"
#include "classlib/Clipbrd.h"
#include "classlib/Registry.h"

using namespace e2e;

namespace {

class Tree : public EditorTest {
 protected:
  void Foreground(TWinControl* C) {
    SetForegroundWindow(Window->GetHandle());
    Window->SetActiveControl(C);
    dlgtest::Pump(30);
  }
};

// Go, bookmarks, find results and the reopening at start-up open a key by
// its path: among siblings that the language's sorting takes for equal
// (an ignorable character, a ligature, a composed letter) the key opened is
// the one named, and the value commands then act on it.
TEST_F(Tree, APathOpensTheKeyItNamesAmongSiblingsThatSortAlike) {
  const std::vector<String> names = {L"a\u00ADb", L"ab", L"\u00DF", L"ss", L"e\u0301", L"\u00E9",
                                     L"k\U0001F600", L"k\U0001F601"};
  for (const String& n : names) Write(String(Data) + L"\\" + n, L"Name", REG_SZ, Sz(n));
  Start();
  for (const String& n : names) {
    TTreeExNode* got = Open(n);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(got->GetText(), n) << WideToAnsi(n);
    EXPECT_EQ(ValueText(ValueItem(L"Name")), n) << WideToAnsi(n);
  }
  // Letter case still doesn't matter, as in the registry.
  TTreeExNode* got = Open(L"AB");
  ASSERT_NE(got, nullptr);
  EXPECT_EQ(got->GetText(), L"ab");
  EXPECT_TRUE(Messages().empty());
  EXPECT_TRUE(Errors.empty());
}

// F2 on a key with a large branch: the copy and the deletion of the old
// branch run while the window goes on answering, the status telling how
// far; every key and value arrives under the new name.
TEST_F(Tree, ALargeBranchIsRenamedWhileTheWindowGoesOnAnswering) {
  const int kKeys = 200;
  for (int i = 0; i < kKeys; ++i)
    Write(String(Data) + L"\\Big\\K" + IntToStr(i) + (i % 10 == 0 ? L"\\Child" : L""), L"v", REG_DWORD, Dw(i));
  Write(String(Data) + L"\\Big", L"", REG_SZ, Sz(L"top"));
  Start();
  TTreeExNode* big = Open(L"Big");
  ASSERT_NE(big, nullptr);
  Foreground(Window->treeRegTree);
  const HWND main = Window->GetHandle(), bar = Window->sbStatus->GetHandle();
  std::atomic<int> reports{0};
  std::atomic<bool> answered{false};
  size_t total = 0;
  wchar_t during[256] = {};
  dmodCommon->Logic.OnRenameProgress = [&](size_t, size_t Total) {
    if (reports++ != 0) return;
    total = Total;
    DWORD_PTR r = 0;
    answered = SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &r) != 0;
    SendMessageTimeoutW(bar, SB_GETTEXTW, 0, LPARAM(during), SMTO_ABORTIFHUNG, 10000, &r);
  };
  testsupport::InputScript().Press(VK_F2).Send();
  ASSERT_TRUE(PumpUntil([&] { return Window->treeRegTree->IsEditing(); }, 10000));
  testsupport::InputScript().Press('A', {VK_CONTROL}).Text(L"Moved").Press(VK_RETURN).Send();
  ASSERT_TRUE(PumpUntil([&] { return !Window->treeRegTree->IsEditing() && !dmodCommon->Logic.IsWorking(); }, 20000));
  dmodCommon->Logic.OnRenameProgress = {};
  EXPECT_EQ(reports, 2 * kKeys);
  EXPECT_EQ(total, size_t(2 * kKeys));
  EXPECT_TRUE(answered);
  EXPECT_EQ(String(during).rfind(L"Renaming key...", 0), 0u) << WideToAnsi(during);
  EXPECT_FALSE(KeyExists(String(Data) + L"\\Big"));
  EXPECT_EQ(big->GetText(), L"Moved");
  EXPECT_EQ(Window->GetStatusText(), L"Key successfully renamed.");
  DWORD type = 0;
  std::string raw;
  for (int i = 0; i < kKeys; ++i) {
    const String key = String(Data) + L"\\Moved\\K" + IntToStr(i) + (i % 10 == 0 ? L"\\Child" : L"");
    ASSERT_TRUE(Read(key, L"v", type, raw)) << WideToAnsi(key);
    EXPECT_EQ(raw, Dw(i));
  }
  ASSERT_TRUE(Read(String(Data) + L"\\Moved", L"", type, raw));
  EXPECT_EQ(raw, Sz(L"top"));
  EXPECT_TRUE(Errors.empty());
}

// A rename refused (the name is taken) or failed (the registry refuses to
// make the new key) leaves the key as it was and the status saying so, not
// "Renaming key...".
TEST_F(Tree, ARenameThatIsRefusedOrFailsSaysSo) {
  CreateKey(String(Data) + L"\\Mine\\Inner");
  CreateKey(String(Data) + L"\\Taken");
  Start();
  TTreeExNode* mine = Open(L"Mine");
  ASSERT_NE(mine, nullptr);
  Foreground(Window->treeRegTree);
  testsupport::InputScript().Press(VK_F2).Send();
  ASSERT_TRUE(PumpUntil([&] { return Window->treeRegTree->IsEditing(); }, 10000));
  testsupport::InputScript().Press('A', {VK_CONTROL}).Text(L"taken").Press(VK_RETURN).Send();
  ASSERT_TRUE(PumpUntil([&] { return !Window->treeRegTree->IsEditing() && !dmodCommon->Logic.IsWorking(); }, 20000));
  EXPECT_EQ(Messages(), std::vector<String>{L"Key name already exists: Mine\n\nRename aborted."});
  EXPECT_EQ(Window->GetStatusText(), L"Key not renamed.");
  EXPECT_EQ(mine->GetText(), L"Mine");

  String other = L"Other";
  RegistryFailNext(L"RegCreateKeyEx", 1, ERROR_ACCESS_DENIED);
  Window->treeRegTreeEdited(nullptr, mine, other);
  RegistryClearFaults();
  EXPECT_EQ(other, L"Mine");
  EXPECT_FALSE(KeyExists(String(Data) + L"\\Other"));
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0].rfind(L"Unable to successfully rename the registry key.", 0), 0u) << WideToAnsi(Errors[0]);
  EXPECT_EQ(Window->GetStatusText(), L"Key not renamed.");
  EXPECT_TRUE(KeyExists(String(Data) + L"\\Mine\\Inner"));
  Errors.clear();
}

// An import that fails partway wrote the keys before the failure: the tree
// shows them. A file cut off inside a value's continued hex list writes
// nothing of that value and says a line was skipped.
TEST_F(Tree, ImportsThatFailOrAreCutOffShowWhatTheyWrote) {
  CreateKey(String(Data) + L"\\Old");
  Start();
  TTreeExNode* data = Open();
  ASSERT_NE(data, nullptr);
  data->Expand(false);
  const String file = TempFile(L"partial.reg");
  const std::string keyLine = "[HKEY_CURRENT_USER\\" + WideToAnsi(Data);
  {
    std::ofstream out(WideToAnsi(file), std::ios::binary);
    // A value name beyond the registry's limit can't be written.
    out << "REGEDIT4\r\n" << keyLine << "\\Written]\r\n\"a\"=\"1\"\r\n"
        << keyLine << "\\Long]\r\n\"" << std::string(20000, 'n') << "\"=\"1\"\r\n";
  }
  TPlacesOpenDialog::DialogHook = [file](OPENFILENAMEW& Ofn, bool) -> BOOL {
    wcscpy(Ofn.lpstrFile, file.c_str());
    return TRUE;
  };
  TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrYes); };
  Window->mnuFile_ImportClick(nullptr);
  EXPECT_EQ(Window->GetStatusText(), L"Import failed.");
  EXPECT_EQ(Errors.size(), 1u);
  ASSERT_TRUE(KeyExists(String(Data) + L"\\Written"));
  data = Window->GetSelectedNode();
  ASSERT_NE(data, nullptr);
  std::vector<String> shown;
  for (TTreeExNode* c = data->GetFirstChild(); c; c = c->GetNextSibling()) shown.push_back(c->GetText());
  EXPECT_NE(std::find(shown.begin(), shown.end(), L"Written"), shown.end());

  std::ofstream(WideToAnsi(file), std::ios::binary)
      << "REGEDIT4\r\n" << keyLine << "\\Cut]\r\n\"whole\"=hex:01\r\n\"bin\"=hex:01,02,03,\\\r\n  04,05,\\\r\n";
  Window->mnuFile_ImportClick(nullptr);
  EXPECT_EQ(Window->GetStatusText(), L"Registry file imported with 2 lines skipped (first at line 4).");
  EXPECT_TRUE(HasValue(String(Data) + L"\\Cut", L"whole"));
  EXPECT_FALSE(HasValue(String(Data) + L"\\Cut", L"bin"));
  Errors.clear();
}

// Sizes stored by another screen or damaged by hand: the values list and
// the splitter stay in the window, and the font keeps a readable size.
TEST_F(Tree, DamagedSizeSettingsStillShowTheTreeTheListAndReadableText) {
  const String mainForm = Settings + L"\\MainForm", look = Settings + L"\\Appearance";
  struct Case {
    DWORD TreeWidth, FontSize;
  } cases[] = {{100000, 0x7FFFFFFF}, {0x80000000, 5000}, {400, 0}};
  Write(Settings + L"\\General", L"BookmarkFile", REG_SZ, Sz(BookmarkFile));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.TreeWidth);
    Write(mainForm, L"Width", REG_DWORD, Dw(500));
    Write(mainForm, L"LPWidth", REG_DWORD, Dw(c.TreeWidth));
    Write(look, L"UseSystemFont", REG_DWORD, Dw(0));
    Write(look, L"FontSize", REG_DWORD, Dw(c.FontSize));
    Start();
    const int tree = Window->treeRegTree->GetWidth(), pane = Window->panelTop->GetClientWidth();
    EXPECT_GE(tree, 30);
    EXPECT_GE(Window->lvKeyValues->GetWidth(), 30) << "tree " << tree << " in " << pane;
    EXPECT_LE(Window->spltVertical->GetLeft() + Window->spltVertical->GetWidth(), pane);
    EXPECT_EQ(Window->Font()->GetSize(), 8);
    if (c.TreeWidth == 400) {
      EXPECT_EQ(tree, 400);  // a width that fits is kept
    }
    Stop();
  }
}

// With the abbreviated names on, the tree shows the root keys by their
// short names while the address box keeps the full ones, for a key below a
// root and for a root key clicked with the mouse.
TEST_F(Tree, ShortRootNamesInTheTreeFullNamesInTheAddressBox) {
  Write(Settings + L"\\General", L"AbbrBaseKeyNames", REG_DWORD, Dw(1));
  CreateKey(String(Data) + L"\\Inner");
  Start();
  TTreeExNode* top = Window->treeRegTree->Items()->GetFirstNode();
  ASSERT_NE(top, nullptr);
  std::vector<String> roots;
  for (TTreeExNode* c = top->GetFirstChild(); c; c = c->GetNextSibling()) roots.push_back(c->GetText());
  EXPECT_EQ(roots, (std::vector<String>{L"Classes", L"Current User", L"Local Machine", L"Users", L"Current Config",
                                        L"Dynamic Data"}));
  TTreeExNode* inner = Open(L"Inner");
  ASSERT_NE(inner, nullptr);
  EXPECT_EQ(Window->txtPath->GetText(), String(L"HKEY_CURRENT_USER\\") + Data + L"\\Inner");
  TTreeExNode* root = inner;
  while (root->GetLevel() > 1) root = root->GetParent();
  ASSERT_EQ(root->GetText(), L"Current User");
  Foreground(Window->treeRegTree);
  root->MakeVisible();
  const TRect r = root->DisplayRect(true);
  testsupport::Click(testsupport::ScreenPoint(Window->treeRegTree->GetHandle(), (r.left + r.right) / 2,
                                              (r.top + r.bottom) / 2));
  ASSERT_TRUE(PumpUntil([&] { return Window->treeRegTree->Selected() == root; }));
  EXPECT_EQ(Window->txtPath->GetText(), L"HKEY_CURRENT_USER");
}

}  // namespace

namespace {

// Key names run to 255 characters, and the tree's name box holds them
// whole: the first character deleted from the longest name leaves the
// other 254, and the longest name pasted is stored whole. A longer name
// pasted is refused in plain words, never stored cut short: the key keeps
// its name and the status no longer says renamed.
TEST_F(Tree, TheLongestKeyNameIsEditedWholeAndALongerOneIsRefused) {
  String digits;
  for (int i = 0; i < 255; ++i) digits += wchar_t(L'0' + i % 10);
  CreateKey(String(Data) + L"\\" + digits);
  Start();
  ASSERT_NE(Open(digits), nullptr);
  Foreground(Window->treeRegTree);
  auto rename = [&](testsupport::InputScript Keys) {
    testsupport::InputScript().Press(VK_F2).Send();
    ASSERT_TRUE(PumpUntil([&] { return Window->treeRegTree->IsEditing(); }, 10000));
    Keys.Press(VK_RETURN).Send();
    ASSERT_TRUE(PumpUntil([&] { return !Window->treeRegTree->IsEditing() && !dmodCommon->Logic.IsWorking(); }, 20000));
  };
  auto paste = [&](const String& Name) {
    Clipboard()->SetAsText(Name);
    rename(testsupport::InputScript().Press('A', {VK_CONTROL}).Press('V', {VK_CONTROL}));
  };
  rename(testsupport::InputScript().Press(VK_HOME).Press(VK_DELETE));
  EXPECT_EQ(testsupport::reg::SubkeyNames(Data), std::vector<String>{digits.substr(1)});

  const String longest(255, L'k');
  paste(longest);
  std::vector<String> names = testsupport::reg::SubkeyNames(Data);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].size(), 255u);
  EXPECT_EQ(names[0], longest);
  EXPECT_EQ(Window->GetStatusText(), L"Key successfully renamed.");
  EXPECT_TRUE(Messages().empty());

  for (const String& over : {String(256, L'm'), String(300, L'm')}) {
    Messages().clear();
    paste(over);
    EXPECT_EQ(testsupport::reg::SubkeyNames(Data), std::vector<String>{longest}) << over.size();
    EXPECT_EQ(Messages(), std::vector<String>{L"A key name can have at most 255 characters."});
    EXPECT_EQ(Window->GetStatusText(), L"Key not renamed.");
    EXPECT_EQ(Window->GetSelectedNode()->GetText(), longest);
  }
  EXPECT_TRUE(Errors.empty());
}

// Commands typed while a key's new name is in its edit box (F2) end the
// edit as leaving the box does, then act on the key by its new name:
// Ctrl+D deletes the renamed key (the question took the focus, the rename
// happened behind it, and the delete went for the old name: "Key delete
// failed"), F5 reads the tree again with the renamed key selected and no
// other key renamed, Ctrl+B bookmarks the key by its new path.
TEST_F(Tree, CommandsDuringAKeyNameEditActOnTheKeyByItsNewName) {
  for (const wchar_t* k : {L"Del", L"Ren", L"Mark", L"Other\\Child"}) CreateKey(String(Data) + L"\\" + k);
  Start();
  TCustomTreeEx* tree = Window->treeRegTree;
  auto typeName = [&](const String& Key, const String& Name) {
    ASSERT_NE(Open(Key), nullptr);
    EditorTest::Foreground(tree);
    testsupport::PressKey(VK_F2);
    ASSERT_TRUE(PumpUntil([&] { return tree->IsEditing(); }, 10000));
    testsupport::InputScript().Press('A', {VK_CONTROL}).Text(Name).Send();
    dlgtest::Pump(30);
  };
  auto subkeys = [&] { return testsupport::reg::SubkeyNames(Data); };

  typeName(L"Del", L"Deleted");
  TfrmConfirm* c = F.Confirm;
  Script s;
  s.Steps = {{[c] { return c->GetVisible() && GetForegroundWindow() == c->GetHandle(); },
              [c] { testsupport::InputScript().Click(testsupport::ClientCentre(c->btnYes->GetHandle())).Post(); }},
             {[&] { return !c->GetVisible() && Window->GetStatusText().rfind(L"Key delete", 0) == 0; }, [] {}}};
  EXPECT_EQ(s.Run([] { testsupport::InputScript().Press('D', {VK_CONTROL}).Post(); }), s.Steps.size());
  EXPECT_EQ(subkeys(), (std::vector<String>{L"Mark", L"Other", L"Ren"}));
  EXPECT_EQ(Window->GetStatusText(), L"Key deleted.");
  EXPECT_FALSE(tree->IsEditing());
  EXPECT_TRUE(Errors.empty());

  typeName(L"Ren", L"Renamed");
  testsupport::PressKey(VK_F5);
  ASSERT_TRUE(PumpUntil([&] { return Window->GetStatusText() == L"Refresh complete."; }, 10000));
  if (tree->IsEditing()) testsupport::PressKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return !tree->IsEditing() && !dmodCommon->Logic.IsWorking(); }, 10000));
  EXPECT_EQ(subkeys(), (std::vector<String>{L"Mark", L"Other", L"Renamed"}));
  ASSERT_NE(Window->GetSelectedNode(), nullptr);
  EXPECT_EQ(Window->GetSelectedNode()->GetText(), L"Renamed");

  typeName(L"Mark", L"Marked");
  testsupport::PressKey('B', {VK_CONTROL});
  TListItems* marks = Window->lvBookmarks->Items();
  ASSERT_TRUE(PumpUntil([&] { return marks->GetCount() == 1; }, 10000));
  if (Window->lvBookmarks->IsEditing()) testsupport::PressKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return !tree->IsEditing() && !Window->lvBookmarks->IsEditing(); }, 10000));
  EXPECT_EQ(subkeys(), (std::vector<String>{L"Marked", L"Other", L"Renamed"}));
  const TBookmark* mark = ItemBookmark(marks->GetItem(0));
  ASSERT_NE(mark, nullptr);
  EXPECT_EQ(mark->KeyPath, L"\\" + Data + L"\\Marked");
  EXPECT_EQ(marks->GetItem(0)->GetCaption(), L"Marked");

  // Navigation > Expand, from the menu bar's keys, expands the key by its
  // new name (read by its old one, the rename's end folded it again);
  // Collapse then says nothing of the rename before it.
  typeName(L"Other", L"Opened");
  auto menu = [&](WORD Letter) {
    Script m;
    m.Steps = {{[] { return true; }, [] { testsupport::InputScript().Press('N', {VK_MENU}).Post(); }},
               {[&] { return Window->tbrMainMenu->View()->OpenViewerView != nullptr; },
                [Letter] { testsupport::InputScript().Press(Letter).Post(); }},
               {[&] { return Window->tbrMainMenu->View()->OpenViewerView == nullptr; }, [] {}}};
    EXPECT_EQ(m.Run(), m.Steps.size());
    dlgtest::Pump(30);
    if (tree->IsEditing()) testsupport::PressKey(VK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return !tree->IsEditing() && !dmodCommon->Logic.IsWorking(); }, 10000));
  };
  menu('X');
  EXPECT_EQ(subkeys(), (std::vector<String>{L"Marked", L"Opened", L"Renamed"}));
  TTreeExNode* opened = Window->GetSelectedNode();
  ASSERT_NE(opened, nullptr);
  EXPECT_EQ(opened->GetText(), L"Opened");
  EXPECT_TRUE(opened->GetExpanded());
  EXPECT_NE(Window->FindChild(opened, L"Child"), nullptr);
  EXPECT_EQ(Window->GetStatusText(), L"Key successfully renamed.");
  menu('C');
  EXPECT_FALSE(opened->GetExpanded());
  EXPECT_EQ(Window->GetStatusText(), L"");
  EXPECT_TRUE(Errors.empty());
  EXPECT_TRUE(Messages().empty());
}

}  // namespace

// Alt+F4 closes the main window whichever pane has the keyboard: the key
// tree hands the system keys it has no use for on, as the values list does.
TEST_F(Tree, AltF4ClosesTheWindowFromTheTreeAsFromTheList) {
  for (bool fromTree : {true, false}) {
    SCOPED_TRACE(fromTree ? "key tree" : "values list");
    Start();
    ASSERT_NE(Open(), nullptr);
    TWinControl* focus = fromTree ? static_cast<TWinControl*>(Window->treeRegTree) : Window->lvKeyValues;
    EditorTest::Foreground(focus);
    const HWND main = Window->GetHandle();
    int closes = 0;
    TCloseEvent own = Window->OnClose;
    Window->OnClose = TCloseEvent([&, own](TObject* Sender, TCloseAction& Action) {
      ++closes;
      if (own) own(Sender, Action);
    });
    testsupport::PressKey(VK_F4, {VK_MENU});
    EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(main); }, 3000)) << "the window is still shown";
    EXPECT_EQ(closes, 1);
    Stop();
  }
}
