// The main window's commands end to end: what the focused control decides,
// toolbar toggles, Expand and Collapse, shortcuts typed on the keyboard,
// Go with short root names, import failures.
#include <fstream>
#include <tuple>

#include "app/Dialogs.h"
#include "app/EditValue.h"
#include "app/EditValueBin.h"
#include "app/FindForm.h"
#include "app/PlacesDialogs.h"
#include "app/tests/e2e_support.h"
#include "testsupport/Input.h"
#include "classlib/Clipbrd.h"

using namespace e2e;

namespace {

class Commands : public EditorTest {
 protected:
  void Focus(TWinControl* C) {
    Window->SetActiveControl(C);
    dlgtest::Pump(30);
  }
  static std::vector<String> ChildTexts(TTreeExNode* Node) {
    std::vector<String> v;
    for (TTreeExNode* c = Node->GetFirstChild(); c; c = c->GetNextSibling()) v.push_back(c->GetText());
    return v;
  }
  // Presses a key with the modifiers held, through the system's input.
  void Press(WORD Vk, std::vector<WORD> Mods) {
    SetForegroundWindow(Window->GetHandle());
    dlgtest::Pump(30);
    testsupport::PressKey(Vk, Mods);
    dlgtest::Pump(150);
  }
};

TEST_F(Commands, CopyKeyPathFollowsTheFocusedList) {
  CreateKey(String(Data) + L"\\Marked");
  Start();
  ASSERT_NE(Open(L"Marked"), nullptr);
  Window->mnuNavigation_BookmarkClick(nullptr);
  ASSERT_EQ(Window->lvBookmarks->Items()->GetCount(), 1);
  Window->pagExtras->SetActivePage(Window->tbsBookmarks);
  Open();  // the tree now shows another key

  // The bookmarks list focused with nothing selected: nothing at all.
  Clipboard()->SetAsText(L"untouched");
  Window->SetStatusText(L"before");
  Window->lvBookmarks->ClearSelection();
  Focus(Window->lvBookmarks);
  Window->mnuEdit_CopyKeyClick(nullptr);
  EXPECT_EQ(Clipboard()->GetAsText(), L"untouched");
  EXPECT_EQ(Window->GetStatusText(), L"before");

  Window->lvBookmarks->Items()->GetItem(0)->SetSelected(true);
  Window->mnuEdit_CopyKeyClick(nullptr);
  EXPECT_EQ(Clipboard()->GetAsText(), String(L"HKEY_CURRENT_USER\\") + Data + L"\\Marked");
  EXPECT_EQ(Window->GetStatusText(), L"Copied path of the selected bookmark to the clipboard.");

  // The tree focused: the selected key.
  Focus(Window->treeRegTree);
  Window->mnuEdit_CopyKeyClick(nullptr);
  EXPECT_EQ(Clipboard()->GetAsText(), String(L"HKEY_CURRENT_USER\\") + Data);
  EXPECT_EQ(Window->GetStatusText(), L"Copied path of the selected key to the clipboard.");
}

// A bookmark whose root line names no root key: opened (Enter), it is a
// key that does not exist, said plainly as Go says it (the tree does not
// take it for a root key it lost); its path is copied with the root text
// as the file has it.
TEST_F(Commands, ABookmarkOfAnUnknownRootKeyOpensAsAMissingKeyAndCopiesItsRootText) {
  std::ofstream(BookmarkFile.c_str(), std::ios::binary) << "Elsewhere\r\nHKEY_NOWHERE\r\n\\Software\\X\r\n";
  Start();
  ASSERT_NE(Open(), nullptr);
  ASSERT_EQ(Window->lvBookmarks->Items()->GetCount(), 1);
  Window->pagExtras->SetActivePage(Window->tbsBookmarks);
  SelectOnly(Window->lvBookmarks, {L"Elsewhere"});
  Foreground(Window->lvBookmarks);
  Messages().clear();
  testsupport::PressKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return !Messages().empty() || !Errors.empty(); }, 5000));
  EXPECT_EQ(Messages(), std::vector<String>{L"The requested key does not exist:\n\nHKEY_NOWHERE\\Software\\X"});
  EXPECT_TRUE(Errors.empty());
  EXPECT_EQ(Window->GetStatusText(), L"Key not found.");
  EXPECT_EQ(Window->GetSelectedNode()->GetText(), L"Data");

  Clipboard()->SetAsText(L"untouched");
  Press('C', {VK_CONTROL, VK_MENU});
  EXPECT_EQ(Clipboard()->GetAsText(), L"HKEY_NOWHERE\\Software\\X");
  EXPECT_EQ(Window->GetStatusText(), L"Copied path of the selected bookmark to the clipboard.");
}

TEST_F(Commands, GoAcceptsShortRootNamesAndReportsMissingKeys) {
  CreateKey(String(Data) + L"\\Short");
  Start();
  Window->txtPath->SetText(String(L"Current User\\") + Data + L"\\Short");
  Window->tbtnNavigation_GoClick(nullptr);
  ASSERT_NE(Window->GetSelectedNode(), nullptr);
  EXPECT_EQ(Window->GetSelectedNode()->GetText(), L"Short");
  // A key that isn't there is reported (Go has its reports on).
  Messages().clear();
  Window->txtPath->SetText(String(L"HKEY_CURRENT_USER\\") + Data + L"\\Missing");
  Window->tbtnNavigation_GoClick(nullptr);
  EXPECT_EQ(Messages(), std::vector<String>{String(L"The requested key does not exist:\n\nHKEY_CURRENT_USER\\") +
                                            Data + L"\\Missing"});
  EXPECT_TRUE(Errors.empty());
  EXPECT_EQ(Window->GetStatusText(), L"Key not found.");
  // An empty answer does nothing.
  InputQueryShowHook = [](TForm* f) {
    auto* e = static_cast<TEdit*>(f->FindComponent(L"Edit"));
    PostMessageW(e->GetHandle(), WM_KEYDOWN, VK_RETURN, 0);
  };
  TTreeExNode* before = Window->GetSelectedNode();
  Messages().clear();
  Errors.clear();
  ASSERT_TRUE(WithModal([&] { Window->mnuNavigation_GotoClick(nullptr); }, {}));
  EXPECT_EQ(Window->GetSelectedNode(), before);
  EXPECT_TRUE(Messages().empty());
  EXPECT_TRUE(Errors.empty());
}

TEST_F(Commands, APathTypedInTheAddressBoxOpensOnEnterAndOnGo) {
  CreateKey(String(Data) + L"\\Typed\\One");
  CreateKey(String(Data) + L"\\Typed\\Two");
  Start();
  SetForegroundWindow(Window->GetHandle());
  dlgtest::Pump(30);
  auto centre = [&](TBarCustomItem* Item) {
    TBarItemViewer* v = Window->tbrNavigation->View()->Find(Item);
    EXPECT_NE(v, nullptr);
    const RECT r = v ? v->BoundsRect : RECT{};
    return testsupport::ScreenPoint(Window->tbrNavigation->GetHandle(), (r.left + r.right) / 2,
                                    (r.top + r.bottom) / 2);
  };
  auto selected = [&] {
    TTreeExNode* n = Window->GetSelectedNode();
    return n ? n->GetText() : String();
  };
  // Typed at the end of the address, then Enter.
  ASSERT_NE(Open(L"Typed"), nullptr);
  ASSERT_TRUE(testsupport::RunInput([&] {
    testsupport::InputScript().Click(centre(Window->txtPath)).Press(VK_END).Text(L"\\One").Press(VK_RETURN).Post();
  }));
  EXPECT_TRUE(testsupport::PumpUntil([&] { return selected() == L"One"; }, 10000));
  EXPECT_EQ(Window->txtPath->GetText(), String(L"HKEY_CURRENT_USER\\") + Data + L"\\Typed\\One");
  // Typed, then a click on Go: the typed path, not the one shown before.
  ASSERT_NE(Open(L"Typed"), nullptr);
  ASSERT_TRUE(testsupport::RunInput([&] {
    testsupport::InputScript()
        .Click(centre(Window->txtPath))
        .Press(VK_END)
        .Text(L"\\Two")
        .Click(centre(Window->tbtnNavigation_Go))
        .Post();
  }));
  EXPECT_TRUE(testsupport::PumpUntil([&] { return selected() == L"Two"; }, 10000));
  EXPECT_EQ(Window->txtPath->GetText(), String(L"HKEY_CURRENT_USER\\") + Data + L"\\Typed\\Two");
  EXPECT_TRUE(Errors.empty());
}

TEST_F(Commands, ToolbarTogglesAndExpandCollapse) {
  CreateKey(String(Data) + L"\\P\\Q\\R");
  Start();
  ASSERT_TRUE(Window->mnuView_TB_File->GetChecked());
  Window->mnuView_TB_FileClick(nullptr);
  EXPECT_FALSE(Window->tbrFile->GetVisible());
  EXPECT_FALSE(Window->mnuView_TB_File->GetChecked());
  Window->mnuView_TB_FileClick(nullptr);
  EXPECT_TRUE(Window->tbrFile->GetVisible());
  EXPECT_TRUE(Window->mnuView_TB_File->GetChecked());
  // The toolbar hidden by itself (as its close button does) clears the mark.
  Window->tbrNavigation->SetVisible(false);
  EXPECT_FALSE(Window->mnuView_TB_Navigation->GetChecked());

  TTreeExNode* p = Open(L"P");
  ASSERT_NE(p, nullptr);
  p->Collapse(true);
  Window->mnuNavigation_ExpandClick(nullptr);
  EXPECT_TRUE(p->GetExpanded());
  TTreeExNode* q = p->GetFirstChild();
  ASSERT_NE(q, nullptr);
  EXPECT_FALSE(q->GetExpanded());  // one level only
  q->Expand(false);
  Window->mnuNavigation_CollapseClick(nullptr);
  EXPECT_FALSE(p->GetExpanded());
  // The collapsed branch is read again on the next expansion, all closed.
  Window->mnuNavigation_ExpandClick(nullptr);
  ASSERT_TRUE(p->GetExpanded());
  ASSERT_NE(p->GetFirstChild(), nullptr);
  EXPECT_EQ(p->GetFirstChild()->GetText(), L"Q");
  EXPECT_FALSE(p->GetFirstChild()->GetExpanded());
}

TEST_F(Commands, ShortcutsTypedOnTheKeyboard) {
  CreateKey(String(Data) + L"\\Doomed");
  Write(Data, L"V1", REG_SZ, Sz(L"x"));
  Start();
  ASSERT_NE(Open(L"Doomed"), nullptr);
  TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrYes); };
  // Ctrl+D with the tree focused deletes the selected key.
  Focus(Window->treeRegTree);
  Press('D', {VK_CONTROL});
  EXPECT_FALSE(KeyExists(String(Data) + L"\\Doomed"));
  // With the values list focused, its selection.
  ASSERT_NE(Open(), nullptr);
  ASSERT_NE(ValueItem(L"V1"), nullptr);
  SelectOnly(Window->lvKeyValues, {L"V1"});
  Focus(Window->lvKeyValues);
  Press('D', {VK_CONTROL});
  EXPECT_TRUE(ValueNames(Data).empty());
  EXPECT_TRUE(KeyExists(Data));
  // Ctrl+Alt+C copies the key path.
  Focus(Window->treeRegTree);
  Clipboard()->SetAsText(L"");
  Press('C', {VK_CONTROL, VK_MENU});
  EXPECT_EQ(Clipboard()->GetAsText(), String(L"HKEY_CURRENT_USER\\") + Data);
}

TEST_F(Commands, EnterEditsTheValueAndUnsupportedTypesOpenNoEditor) {
  Write(Data, L"Text", REG_SZ, Sz(L"abc"));
  const std::string multi = Sz(L"one") + Sz(L"two") + std::string(2, '\0');
  Write(Data, L"Multi", REG_MULTI_SZ, multi);
  Start();
  ASSERT_NE(Open(), nullptr);
  SelectOnly(Window->lvKeyValues, {L"Text"});
  Focus(Window->lvKeyValues);
  TfrmEditValue* ed = F.EditValue;
  bool shown = false;
  ASSERT_TRUE(WithModal([&] { Press(VK_RETURN, {}); },
                        {[&, ed] {
                          shown = ed->GetVisible();
                          ed->edtValueStr->SetText(L"typed");
                          ed->btnOk->Click();
                        }}));
  EXPECT_TRUE(shown);
  DWORD type = 0;
  std::string raw;
  ASSERT_TRUE(Read(Data, L"Text", type, raw));
  EXPECT_EQ(raw, Sz(L"typed"));

  // A multi-string is shown as unsupported and never opened as a string.
  SelectOnly(Window->lvKeyValues, {L"Multi"});
  EXPECT_TRUE(WithModal([&] { Window->pmnuValues_EditValueClick(nullptr); }, {}, 3000));
  EXPECT_FALSE(ed->GetVisible());
  ASSERT_TRUE(Read(Data, L"Multi", type, raw));
  EXPECT_EQ(type, DWORD(REG_MULTI_SZ));
  EXPECT_EQ(raw, multi);
}

TEST_F(Commands, ImportFailuresAreReportedNotAnnouncedAsSuccess) {
  Start();
  ASSERT_NE(Open(), nullptr);
  TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrYes); };
  // A file dialog cancelled, or a confirmation refused, imports nothing and
  // says so: the import before it does not stand for it.
  const String file = TempFile(L"bad.reg");
  bool chosen = true;
  TPlacesOpenDialog::DialogHook = [file, &chosen](OPENFILENAMEW& Ofn, bool) -> BOOL {
    wcscpy(Ofn.lpstrFile, file.c_str());
    return chosen;
  };
  for (const bool refused : {false, true}) {
    {
      std::ofstream out(WideToAnsi(file), std::ios::binary);
      out << "REGEDIT4\r\n[HKEY_CURRENT_USER\\" << WideToAnsi(Data) << "\\Before]\r\n";
    }
    chosen = true;
    Window->mnuFile_ImportClick(nullptr);
    ASSERT_EQ(Window->GetStatusText(), L"Registry file imported.");
    {
      std::ofstream out(WideToAnsi(file), std::ios::binary);
      out << "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_NOPE\\Software\\X]\r\n\"A\"=\"1\"\r\n"
          << "[HKEY_CURRENT_USER\\" << WideToAnsi(Data) << "\\Ok]\r\n\"B\"=dword:zz\r\n\"C\"=\"fine\"\r\n";
    }
    chosen = refused;
    TfrmConfirm::ExecuteHook = [refused](TfrmConfirm*) { return int(refused ? mrNo : mrYes); };
    Window->mnuFile_ImportClick(nullptr);
    EXPECT_EQ(Window->GetStatusText(), L"Import aborted.") << (refused ? "refused" : "cancelled");
    EXPECT_FALSE(KeyExists(String(Data) + L"\\Ok"));
  }

  // The unreadable lines are skipped: the readable one is written, the
  // unknown root isn't mapped anywhere, the bad number isn't written.
  TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrYes); };
  Window->mnuFile_ImportClick(nullptr);
  DWORD type = 0;
  std::string raw;
  EXPECT_TRUE(Read(String(Data) + L"\\Ok", L"C", type, raw));
  EXPECT_FALSE(Read(String(Data) + L"\\Ok", L"B", type, raw));
  EXPECT_FALSE(KeyExists(L"Software\\X"));
  EXPECT_EQ(Window->GetStatusText().rfind(L"Registry file imported with ", 0), 0u)
      << WideToAnsi(Window->GetStatusText());
  EXPECT_NE(Window->GetStatusText().find(L"skipped (first at line 3)"), String::npos)
      << WideToAnsi(Window->GetStatusText());

  // A write the registry refuses (a value name beyond its limit) stops the
  // import with the error dialog; the status says it failed instead of
  // still saying the import is under way.
  {
    std::ofstream out(WideToAnsi(file), std::ios::binary);
    out << "REGEDIT4\r\n[HKEY_CURRENT_USER\\" << WideToAnsi(Data) << "\\Long]\r\n\"" << std::string(20000, 'n')
        << "\"=\"1\"\r\n";
  }
  Errors.clear();
  Window->mnuFile_ImportClick(nullptr);
  EXPECT_EQ(Window->GetStatusText(), L"Import failed.");
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0].rfind(L"An exception occurrred attempting to import a registry file", 0), 0u)
      << WideToAnsi(Errors[0]);

  // A file that can't be read is reported, not announced as imported.
  DeleteFileW(file.c_str());
  Errors.clear();
  Messages().clear();
  Window->SetStatusText(L"before");
  Window->mnuFile_ImportClick(nullptr);
  EXPECT_NE(Window->GetStatusText(), L"Registry file imported.");
  EXPECT_FALSE(Errors.empty() && Messages().empty());
}

// Export and import run while the window goes on answering messages;
// Escape and a click on the Stop button (real input) stop them: the export
// writes no file, the import tells how far it got.
TEST_F(Commands, LongExportAndImportStopOnTheStopButtonAndEscape) {
  for (int k = 0; k < 40; ++k) CreateKey(String(Data) + L"\\Big\\K" + IntToStr(k));
  Start();
  ASSERT_NE(Open(L"Big"), nullptr);
  SetForegroundWindow(Window->GetHandle());
  dlgtest::Pump(50);
  TIORegistry& io = dmodCommon->Logic.iorPort;
  const TProgressEvent report = io.OnProgressChange;  // the status bar's
  const HWND main = Window->GetHandle();
  std::function<void()> input;  // played on the worker at the first report
  std::atomic<bool> fired{false}, answered{false}, stopShown{false};
  io.OnProgressChange = [&](TObject* S, uint32_t P, uint32_t L, uint32_t M, uint32_t ML) {
    report(S, P, L, M, ML);
    if (!L || fired.exchange(true)) return;
    DWORD_PTR r = 0;
    answered = SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &r) != 0;
    stopShown = IsWindowVisible(Window->btnStop->GetHandle()) != 0;
    input();
    // The work waits until the window thread has taken the stop.
    for (int i = 0; i < 1000 && !io.StopRequested; ++i) Sleep(10);
  };

  const String file = TempFile(L"long.reg");
  TPlacesOpenDialog::DialogHook = [&file](OPENFILENAMEW& Ofn, bool) -> BOOL {
    wcscpy(Ofn.lpstrFile, file.c_str());
    return TRUE;
  };
  input = [&] {
    // A click on the stop button, read by the loop that runs the export.
    testsupport::InputScript().Click(testsupport::ClientCentre(Window->btnStop->GetHandle())).Post();
  };
  Window->mnuFile_ExportClick(nullptr);
  EXPECT_TRUE(fired);
  EXPECT_TRUE(answered);
  EXPECT_TRUE(stopShown);
  EXPECT_FALSE(Window->btnStop->GetVisible());
  // The click gave Stop the keyboard; hidden, it hands it back to the tree.
  EXPECT_EQ(GetFocus(), Window->treeRegTree->GetHandle());
  EXPECT_EQ(Window->GetStatusText(), L"Export stopped; no file was written.");
  EXPECT_EQ(GetFileAttributesW(file.c_str()), INVALID_FILE_ATTRIBUTES);

  // The same file written whole, then imported with Escape typed meanwhile.
  io.OnProgressChange = report;
  Window->mnuFile_ExportClick(nullptr);
  ASSERT_EQ(Window->GetStatusText(), L"Registry file exported.");
  {
    std::ofstream out(WideToAnsi(file), std::ios::binary | std::ios::app);
    out << "[HKEY_CURRENT_USER\\" << WideToAnsi(Data) << "\\Many]\r\n";
    for (int i = 0; i < 2000; ++i) out << "\"v" << i << "\"=\"x\"\r\n";
  }
  fired = false;
  io.OnProgressChange = [&](TObject* S, uint32_t P, uint32_t L, uint32_t M, uint32_t ML) {
    report(S, P, L, M, ML);
    if (!L || fired.exchange(true)) return;
    testsupport::InputScript().Press(VK_ESCAPE).Post();
    for (int i = 0; i < 1000 && !io.StopRequested; ++i) Sleep(10);
  };
  TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrYes); };
  Window->mnuFile_ImportClick(nullptr);
  EXPECT_TRUE(fired);
  // The stop came while the key Many was still being read: none of its
  // values is written.
  EXPECT_EQ(Window->GetStatusText().rfind(L"Import stopped at line ", 0), 0u)
      << WideToAnsi(Window->GetStatusText());
  DWORD type = 0;
  std::string raw;
  EXPECT_FALSE(Read(String(Data) + L"\\Many", L"v0", type, raw));
  io.OnProgressChange = report;
}

}  // namespace

TEST_F(Commands, TheSplitDraggedInAMaximisedWindowIsKeptAcrossARestart) {
  Start();
  SetForegroundWindow(Window->GetHandle());
  SendMessageW(Window->GetHandle(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  ASSERT_TRUE(PumpUntil([&] { return Window->GetWindowState() == wsMaximized; }, 10000));
  // The maximised size reaches the layout in steps (the window's new size,
  // then the panes aligned to it): the drag starts once the window's client
  // area and the splitter's place have stayed the same over a few pumps, so
  // the splitter's limits are taken from the final layout.
  auto layout = [&] {
    RECT rc{};
    ::GetClientRect(Window->GetHandle(), &rc);
    return std::make_tuple(rc.right, rc.bottom, Window->GetClientHeight(), Window->spltHorizontal->GetTop());
  };
  int same = 0;
  auto last = layout();
  ASSERT_TRUE(PumpUntil([&] {
    dlgtest::Pump(30);
    const auto now = layout();
    same = now == last && std::get<1>(now) == std::get<2>(now) ? same + 1 : 0;
    last = now;
    return same >= 3;
  }, 10000));
  // The splitter above the lower pane dragged 120 pixels up with the mouse.
  TSplitter* split = Window->spltHorizontal;
  const int x = split->GetLeft() + split->GetWidth() / 2, y = split->GetTop() + split->GetHeight() / 2;
  const int before = Window->pagExtras->GetHeight();
  testsupport::DragScript drag;
  drag.From = testsupport::ScreenPoint(Window->GetHandle(), x, y);
  drag.To = testsupport::ScreenPoint(Window->GetHandle(), x, y - 120);
  ASSERT_TRUE(testsupport::Drag(drag));
  ASSERT_TRUE(PumpUntil([&] { return Window->pagExtras->GetHeight() == before + 120; }, 10000))
      << Window->pagExtras->GetHeight() << " after " << before;
  const int lower = Window->pagExtras->GetHeight(), upper = Window->panelTop->GetHeight();
  Stop();

  // The next start opens maximised with the same split.
  Start();
  ASSERT_TRUE(PumpUntil([&] { return Window->GetWindowState() == wsMaximized; }, 10000));
  EXPECT_EQ(Window->pagExtras->GetHeight(), lower);
  EXPECT_EQ(Window->panelTop->GetHeight(), upper);
}

TEST_F(Commands, EnterAndEscapeAnswerTheBinaryEditorWhileItsHexEditorHasTheFocus) {
  Write(Data, L"Bytes", REG_BINARY, std::string("\x01\x02\x03", 3));
  Start();
  ASSERT_NE(Open(), nullptr);
  SelectOnly(Window->lvKeyValues, {L"Bytes"});
  Focus(Window->lvKeyValues);
  SetForegroundWindow(Window->GetHandle());
  dlgtest::Pump(30);
  TfrmEditValueBin* ed = F.EditValueBin;
  const HWND hex = ed->heValue->GetHandle();
  const DWORD tid = GetCurrentThreadId();
  // Enter opens the value; two hex digits overwrite the first byte; then
  // Enter, or Escape, with the hex editor focused.
  auto edit = [&](const std::wstring& Digits, WORD Answer) {
    return testsupport::RunInput([&] {
      testsupport::InputScript().Press(VK_RETURN).Post();
      const DWORD until = GetTickCount() + 10000;
      GUITHREADINFO gi{};
      gi.cbSize = sizeof gi;
      while (!(GetGUIThreadInfo(tid, &gi) && gi.hwndFocus == hex && IsWindowVisible(hex)) && GetTickCount() < until)
        Sleep(10);
      testsupport::InputScript().Text(Digits).Press(Answer).Post();
    }, 15000);
  };
  DWORD type = 0;
  std::string raw;
  ASSERT_TRUE(edit(L"ab", VK_RETURN));
  EXPECT_TRUE(PumpUntil([&] { return !ed->GetVisible(); }, 10000));
  ASSERT_TRUE(Read(Data, L"Bytes", type, raw));
  EXPECT_EQ(raw, std::string("\xAB\x02\x03", 3));
  EXPECT_EQ(ValueText(ValueItem(L"Bytes")), L"AB 02 03 ");

  ASSERT_TRUE(edit(L"cd", VK_ESCAPE));
  EXPECT_TRUE(PumpUntil([&] { return !ed->GetVisible(); }, 10000));
  ASSERT_TRUE(Read(Data, L"Bytes", type, raw));
  EXPECT_EQ(raw, std::string("\xAB\x02\x03", 3));
  EXPECT_EQ(ValueText(ValueItem(L"Bytes")), L"AB 02 03 ");
}

TEST_F(Commands, AKeyNameEditDueWhileADialogIsUpIsNotStartedBehindIt) {
  CreateKey(String(Data) + L"\\A");
  CreateKey(String(Data) + L"\\B");
  Start();
  TTreeExNode* a = Open(L"A");
  ASSERT_NE(a, nullptr);
  SetForegroundWindow(Window->GetHandle());
  dlgtest::Pump(30);
  TTreeEx* tree = Window->treeRegTree;
  ASSERT_EQ(GetFocus(), tree->GetHandle());
  auto at = [&](TTreeExNode* N) {
    const TRect r = N->DisplayRect(true);
    return testsupport::ScreenPoint(tree->GetHandle(), (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  };
  // The tree asks whether the name may be edited when the edit is due.
  bool asked = false;
  auto editing = tree->OnEditing;
  tree->OnEditing = TTVEditingEvent([&](TObject* S, TTreeExNode* N, bool& Allow) {
    asked = true;
    editing(S, N, Allow);
  });
  // A click on the selected key (which starts the edit of its name a
  // moment later), at once Ctrl+F; the Find dialog stays up until the
  // edit was due, then is cancelled.
  TfrmFind* find = F.Find;
  bool shown = false;
  ASSERT_TRUE(WithModal([&] { testsupport::InputScript().Click(at(a)).Press('F', {VK_CONTROL}).Send(15000); },
                        {[&] {
                          shown = find->GetVisible();
                          EXPECT_TRUE(PumpUntil([&] { return asked; }, 10000));
                          find->Button1->Click();
                        }}));
  EXPECT_TRUE(shown);
  EXPECT_FALSE(tree->IsEditing());
  // The tree goes on answering the mouse.
  TTreeExNode* b = a->GetNextSibling();
  ASSERT_NE(b, nullptr);
  testsupport::Click(at(b));
  EXPECT_TRUE(PumpUntil([&] { return Window->GetSelectedNode() == b; }, 10000));
  EXPECT_EQ(Window->txtPath->GetText(), String(L"HKEY_CURRENT_USER\\") + Data + L"\\B");
  // Rename still edits the selected key's name.
  Window->mnuEdit_RenameClick(nullptr);
  EXPECT_TRUE(tree->IsEditing());
  SendMessageW(reinterpret_cast<HWND>(SendMessageW(tree->GetHandle(), TVM_GETEDITCONTROL, 0, 0)), WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(PumpUntil([&] { return !tree->IsEditing(); }, 10000));
}

TEST_F(Commands, AddressesWithTheUsualRootAbbreviationsOpenAndUnknownRootsAreReportedPlainly) {
  CreateKey(String(Data) + L"\\Abbr");
  Start();
  SetForegroundWindow(Window->GetHandle());
  dlgtest::Pump(30);
  TBarItemViewer* v = Window->tbrNavigation->View()->Find(Window->txtPath);
  ASSERT_NE(v, nullptr);
  const POINT box = testsupport::ScreenPoint(Window->tbrNavigation->GetHandle(),
                                             (v->BoundsRect.left + v->BoundsRect.right) / 2,
                                             (v->BoundsRect.top + v->BoundsRect.bottom) / 2);
  // The address box emptied and a path typed, then Enter.
  auto type = [&](const String& Path) {
    return testsupport::RunInput([&] {
      testsupport::InputScript().Click(box).Press(VK_END).Press(VK_HOME, {VK_SHIFT}).Press(VK_DELETE).Text(Path).Press(
          VK_RETURN).Post();
    });
  };
  ASSERT_TRUE(type(String(L"hkcu\\") + Data + L"\\Abbr"));
  EXPECT_TRUE(PumpUntil([&] { return Window->GetSelectedNode() && Window->GetSelectedNode()->GetText() == L"Abbr"; },
                        10000));
  EXPECT_EQ(Window->txtPath->GetText(), String(L"HKEY_CURRENT_USER\\") + Data + L"\\Abbr");

  TTreeExNode* before = Window->GetSelectedNode();
  Messages().clear();
  ASSERT_TRUE(type(L"HKEY_NOWHERE\\Software"));
  EXPECT_TRUE(PumpUntil([&] { return !Messages().empty(); }, 10000));
  EXPECT_EQ(Messages(), std::vector<String>{L"The requested key does not exist:\n\nHKEY_NOWHERE\\Software"});
  EXPECT_TRUE(Errors.empty());
  EXPECT_EQ(Window->GetSelectedNode(), before);

  // Doubled and final backslashes separate like single ones (a doubled one
  // had opened the key before it, without a word).
  String doubled;
  for (wchar_t c : String(L"HKEY_CURRENT_USER\\") + Data + L"\\Abbr\\") doubled += c == L'\\' ? String(L"\\\\") : String(1, c);
  ASSERT_NE(Open(), nullptr);
  Messages().clear();
  ASSERT_TRUE(type(doubled));
  EXPECT_TRUE(PumpUntil([&] { return Window->GetSelectedNode() && Window->GetSelectedNode()->GetText() == L"Abbr"; },
                        10000));
  EXPECT_EQ(Window->txtPath->GetText(), String(L"HKEY_CURRENT_USER\\") + Data + L"\\Abbr");
  EXPECT_TRUE(Messages().empty());
}

TEST_F(Commands, ABookmarkedKeyThatAnotherProgramDeletedIsReportedAndDropsFromTheTree) {
  CreateKey(String(Data) + L"\\Gone");
  CreateKey(String(Data) + L"\\Stays");
  Start();
  ASSERT_NE(Open(L"Gone"), nullptr);
  Window->AddBookmarkItem(L"Gone", RegRoot::CurrentUser, String(L"\\") + Data + L"\\Gone");
  TTreeExNode* data = Open();
  ASSERT_NE(data, nullptr);
  DeleteTree(String(Data) + L"\\Gone");  // the tree still shows it
  ASSERT_EQ(ChildTexts(data), (std::vector<String>{L"Gone", L"Stays"}));
  // A double click on the bookmark.
  Window->pagExtras->SetActivePage(Window->tbsBookmarks);
  dlgtest::Pump(30);
  RECT r{LVIR_LABEL};
  ASSERT_TRUE(SendMessageW(Window->lvBookmarks->GetHandle(), LVM_GETITEMRECT, 0, LPARAM(&r)));
  Messages().clear();
  testsupport::DoubleClick(testsupport::ScreenPoint(Window->lvBookmarks->GetHandle(), (r.left + r.right) / 2,
                                                    (r.top + r.bottom) / 2));
  EXPECT_TRUE(PumpUntil([&] { return !Messages().empty(); }, 10000));
  EXPECT_EQ(Messages(),
            std::vector<String>{String(L"The requested key does not exist:\n\nHKEY_CURRENT_USER\\") + Data + L"\\Gone"});
  EXPECT_TRUE(Errors.empty());
  EXPECT_EQ(Window->GetSelectedNode(), data);
  EXPECT_EQ(ChildTexts(data), std::vector<String>{L"Stays"});
}

// Deleting a branch of many keys runs while the window goes on answering
// and painting, the status telling how far it got. It has no Stop: a key
// pressed meanwhile never leaves a deletion half done.
TEST_F(Commands, ALargeBranchIsDeletedWhileTheWindowGoesOnAnswering) {
  const int kKeys = 300;
  for (int i = 0; i < kKeys; ++i)
    CreateKey(String(Data) + L"\\Big\\K" + IntToStr(i) + (i % 10 == 0 ? L"\\Child" : L""));
  CreateKey(String(Data) + L"\\Kept");
  Start();
  TTreeExNode* big = Open(L"Big");
  ASSERT_NE(big, nullptr);
  big->Expand(false);
  Focus(Window->treeRegTree);
  TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrYes); };
  const HWND main = Window->GetHandle(), bar = Window->sbStatus->GetHandle(), stop = Window->btnStop->GetHandle();
  std::atomic<int> reports{0};
  std::atomic<bool> answered{false}, stopShown{false};
  size_t total = 0;
  wchar_t during[256] = {};
  // The first report, on the worker: the window thread answers and shows
  // the deletion under way.
  dmodCommon->Logic.OnDeleteProgress = [&](size_t, size_t Total) {
    if (reports++ != 0) return;
    total = Total;
    DWORD_PTR r = 0;
    answered = SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &r) != 0;
    SendMessageTimeoutW(bar, SB_GETTEXTW, 0, LPARAM(during), SMTO_ABORTIFHUNG, 10000, &r);
    stopShown = IsWindowVisible(stop) != 0;
    testsupport::InputScript().Press(VK_ESCAPE).Post();
  };
  Press(VK_DELETE, {});
  dmodCommon->Logic.OnDeleteProgress = {};
  EXPECT_EQ(reports, kKeys);
  EXPECT_EQ(total, size_t(kKeys));
  EXPECT_TRUE(answered);
  EXPECT_EQ(String(during).rfind(L"Deleting key...", 0), 0u) << WideToAnsi(during);
  EXPECT_FALSE(stopShown);
  EXPECT_FALSE(KeyExists(String(Data) + L"\\Big"));
  EXPECT_TRUE(KeyExists(String(Data) + L"\\Kept"));
  EXPECT_EQ(Window->GetStatusText(), L"Key deleted.");
  EXPECT_EQ(ChildTexts(Open()), std::vector<String>{L"Kept"});
  EXPECT_TRUE(Errors.empty());
}

// A key that another program made below a level the tree has read (with a
// key of that level open) is reached by Go: the level is read again.
TEST_F(Commands, GoReachesAKeyMadeElsewhereBelowAnOpenLevel) {
  for (int i = 0; i < 50; ++i) CreateKey(String(Data) + L"\\Open\\K" + IntToStr(i) + L"\\Child");
  CreateKey(String(Data) + L"\\Other");
  Start();
  TTreeExNode* open = Open(L"Open");
  ASSERT_NE(open, nullptr);
  open->Expand(false);
  open->GetFirstChild()->Expand(false);
  ASSERT_NE(Open(L"Other"), nullptr);
  CreateKey(String(Data) + L"\\Made");
  Messages().clear();
  Window->GoToPath(String(L"HKEY_CURRENT_USER\\") + Data + L"\\Made");
  ASSERT_NE(Window->GetSelectedNode(), nullptr);
  EXPECT_EQ(Window->GetSelectedNode()->GetText(), L"Made");
  EXPECT_TRUE(Messages().empty());
  EXPECT_TRUE(Errors.empty());
}

// A click on the button of a key above the selected one collapses it and
// selects it (its values listed, its path in the address box); the tree
// had been left with no selection while both showed the key gone from it.
TEST_F(Commands, CollapsingAKeyAboveTheSelectionSelectsIt) {
  for (int i = 0; i < 3; ++i) CreateKey(String(Data) + L"\\A\\K" + IntToStr(i) + L"\\C");
  Write(String(Data) + L"\\A", L"inA", REG_SZ, Sz(L"a"));
  Write(String(Data) + L"\\A\\K1\\C", L"inC", REG_SZ, Sz(L"c"));
  Start();
  TTreeExNode* a = Open(L"A");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(Open(L"A\\K1\\C"), nullptr);
  ASSERT_NE(ValueItem(L"inC"), nullptr);
  Focus(Window->treeRegTree);
  SetForegroundWindow(Window->GetHandle());
  dlgtest::Pump(30);
  const TRect r = a->DisplayRect(true);
  const int y = (r.top + r.bottom) / 2;
  int x = -1;
  for (int i = 0; i < r.left && x < 0; ++i)
    if (Window->treeRegTree->GetHitTestInfoAt(i, y).Contains(htOnButton)) x = i;
  ASSERT_GE(x, 0);
  testsupport::Click(testsupport::ScreenPoint(Window->treeRegTree->GetHandle(), x + 2, y));
  EXPECT_TRUE(PumpUntil([&] { return !a->GetExpanded(); }, 10000));
  EXPECT_EQ(Window->GetSelectedNode(), a);
  EXPECT_NE(ValueItem(L"inA"), nullptr);
  EXPECT_EQ(ValueItem(L"inC"), nullptr);
  EXPECT_EQ(Window->txtPath->GetText(), String(L"HKEY_CURRENT_USER\\") + Data + L"\\A");
}

// "My Registry" is no key: the commands on the selected key, typed with it
// selected, change nothing and say so, in place of what an earlier command
// reported (a copy of a key's path had left "Copied path..." standing). A
// root key can't be renamed or deleted, and each says that (the refused
// delete in the status bar too, in place of an earlier delete's).
TEST_F(Commands, KeyCommandsOnMyRegistryOrARootKeySayWhyNothingWasDone) {
  Write(Data, L"V", REG_SZ, Sz(L"x"));
  Start();
  ASSERT_NE(Open(), nullptr);
  Focus(Window->treeRegTree);
  Press('C', {VK_CONTROL, VK_MENU});
  ASSERT_EQ(Window->GetStatusText(), L"Copied path of the selected key to the clipboard.");

  TTreeExNode* top = Window->treeRegTree->Items()->GetFirstNode();
  top->MakeVisible();
  dlgtest::Pump(30);
  const TRect r = top->DisplayRect(true);
  testsupport::Click(
      testsupport::ScreenPoint(Window->treeRegTree->GetHandle(), (r.left + r.right) / 2, (r.top + r.bottom) / 2));
  ASSERT_EQ(Window->GetSelectedNode(), top);
  Clipboard()->SetAsText(L"untouched");
  int asked = 0;
  TfrmConfirm::ExecuteHook = [&](TfrmConfirm*) {
    ++asked;
    return int(mrYes);
  };
  const String noKey = L"No registry key is selected.";
  const std::vector<std::tuple<WORD, std::vector<WORD>, String>> keys = {
      {'C', {VK_CONTROL, VK_MENU}, noKey},  // Copy key path
      {'B', {VK_CONTROL}, noKey},           // Bookmark
      {'D', {VK_CONTROL}, noKey},           // Delete
      {VK_F2, {}, noKey},                   // Rename
      {'C', {VK_CONTROL, VK_SHIFT}, L"No value is selected."}};  // Copy value
  for (const auto& [vk, mods, said] : keys) {
    SCOPED_TRACE(testing::Message() << "key " << vk);
    Press(vk, mods);
    EXPECT_EQ(Window->GetStatusText(), said);
    Window->SetStatusText(L"before");
  }
  for (auto command : {&TfrmMain::mnuEdit_New_KeyClick, &TfrmMain::mnuEdit_New_StringClick}) {
    (Window->*command)(nullptr);
    EXPECT_EQ(Window->GetStatusText(), noKey);
    Window->SetStatusText(L"before");
  }
  EXPECT_EQ(Clipboard()->GetAsText(), L"untouched");
  EXPECT_EQ(Window->lvBookmarks->Items()->GetCount(), 0);
  EXPECT_EQ(asked, 0);
  EXPECT_FALSE(Window->treeRegTree->IsEditing());
  EXPECT_TRUE(Messages().empty());

  ASSERT_NE(Window->ExpandToBranch(RegRoot::CurrentUser, L"", true), nullptr);
  Focus(Window->treeRegTree);
  Press(VK_F2, {});
  Window->SetStatusText(L"Key deleted.");
  Press('D', {VK_CONTROL});
  EXPECT_EQ(Messages(), (std::vector<String>{L"A root key can't be renamed.", L"A root key can't be deleted."}));
  EXPECT_EQ(Window->GetStatusText(), L"Key not deleted.");
  EXPECT_FALSE(Window->treeRegTree->IsEditing());
  EXPECT_EQ(asked, 0);
  EXPECT_TRUE(KeyExists(Data));
  EXPECT_TRUE(Errors.empty());
}
