// The values list and the value editors driven from the keyboard on the
// real main window, with the registry changed by another program meanwhile.
#include <algorithm>

#include "app/EditValue.h"
#include "app/EditValueBin.h"
#include "app/ItemData.h"
#include "app/frmConfirmU.h"
#include "app/tests/e2e_support.h"
#include "classlib/Clipbrd.h"
#include "classlib/Registry.h"
#include "testsupport/Input.h"

using namespace e2e;

namespace {

class ValuesE2E : public EditorTest {
 protected:
  // Opens the value under the keyboard's Enter, as the user does.
  bool EnterOn(const String& Name, std::vector<std::function<void()>> Steps) {
    SelectOnly(Window->lvKeyValues, {Name});
    return WithModal([] { testsupport::PressKey(VK_RETURN); }, std::move(Steps));
  }
  // F2 on the item, Keys typed into its name box, then End (Enter or
  // Escape); waits until the box has gone.
  void RenameIn(TListViewQ* List, const String& Name, testsupport::InputScript Keys, WORD End = VK_RETURN) {
    SelectOnly(List, {Name});
    Foreground(List);
    testsupport::PressKey(VK_F2);
    ASSERT_TRUE(PumpUntil([&] { return List->IsEditing(); }, 10000));
    Keys.Press(End).Send();
    ASSERT_TRUE(PumpUntil([&] { return !List->IsEditing(); }, 10000));
  }
  void RenameBy(const String& Name, testsupport::InputScript Keys) {
    RenameIn(Window->lvKeyValues, Name, std::move(Keys));
  }
  // The key with a string value of each name (its name for its data)
  // shown, Name alone chosen and the values list in the foreground;
  // nullptr when the key can't be opened.
  TListViewQ* ShowWithChosen(std::initializer_list<const wchar_t*> Names, const String& Name) {
    for (const wchar_t* name : Names) Write(Data, name, REG_SZ, Sz(name));
    Start();
    if (!Open()) return nullptr;
    SelectOnly(Window->lvKeyValues, {Name});
    Foreground(Window->lvKeyValues);
    return Window->lvKeyValues;
  }
};

}  // namespace

// The list shows what the registry held when the key was read. Another
// program then changes a number and turns a string into a multi-string:
// Enter opens what the registry holds now, and OK on it as shown (or the
// refusal of a type the editor doesn't handle) leaves those bytes alone.
TEST_F(ValuesE2E, AValueChangedElsewhereOpensAsTheRegistryNowHoldsIt) {
  Write(Data, L"Count", REG_DWORD, Dw(1));
  Write(Data, L"Text", REG_SZ, Sz(L"one"));
  Start();
  ASSERT_NE(Open(), nullptr);
  SetForegroundWindow(Window->GetHandle());
  Window->SetActiveControl(Window->lvKeyValues);
  const HWND list = Window->lvKeyValues->GetHandle();
  ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == Window->GetHandle() && GetFocus() == list; }, 10000));
  ASSERT_EQ(ValueText(ValueItem(L"Count")), L"0x00000001  (1)");

  Write(Data, L"Count", REG_DWORD, Dw(2));
  const std::string multi("a\0\0\0b\0\0\0\0\0", 10);
  Write(Data, L"Text", REG_MULTI_SZ, multi);

  TfrmEditValue* ed = F.EditValue;
  String shown;
  ASSERT_TRUE(EnterOn(L"Count", {[&] {
                        ASSERT_TRUE(ed->GetVisible());
                        shown = ed->edtValueHex->GetText();
                        testsupport::PressKey(VK_RETURN);  // OK
                      }}));
  EXPECT_EQ(shown, L"$00000002");
  DWORD type = 0;
  std::string raw;
  ASSERT_TRUE(Read(Data, L"Count", type, raw));
  EXPECT_EQ(raw, Dw(2));
  EXPECT_EQ(ValueText(ValueItem(L"Count")), L"0x00000002  (2)");

  Messages().clear();
  ASSERT_TRUE(EnterOn(L"Text", {}));
  EXPECT_FALSE(ed->GetVisible());
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_NE(Messages()[0].find(L"REG_MULTI_SZ"), String::npos);
  ASSERT_TRUE(Read(Data, L"Text", type, raw));
  EXPECT_EQ(type, DWORD(REG_MULTI_SZ));
  EXPECT_EQ(raw, multi);
  EXPECT_EQ(ValueText(ValueItem(L"Text")), L"");
}

// Another program deletes the key while its values are listed; a value
// edited there and accepted can't be written. The error is shown, and the
// list keeps the data the value had, never the text that was not saved.
TEST_F(ValuesE2E, AFailedWriteLeavesTheListShowingTheDataItHad) {
  Write(Data + L"\\Doomed", L"Text", REG_SZ, Sz(L"one"));
  Write(Data + L"\\Doomed", L"Blob", REG_BINARY, std::string("\x01\x02", 2));
  Start();
  ASSERT_NE(Open(L"Doomed"), nullptr);
  SetForegroundWindow(Window->GetHandle());
  Window->SetActiveControl(Window->lvKeyValues);
  const HWND list = Window->lvKeyValues->GetHandle();
  ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == Window->GetHandle() && GetFocus() == list; }, 10000));
  ASSERT_EQ(ValueText(ValueItem(L"Text")), L"one");
  DeleteTree(Data + L"\\Doomed");

  TfrmEditValue* ed = F.EditValue;
  ASSERT_TRUE(EnterOn(L"Text", {[&] {
                        ASSERT_TRUE(ed->GetVisible());
                        ASSERT_TRUE(PumpUntil([&] { return GetFocus() == ed->edtValueStr->GetHandle(); }, 10000));
                        testsupport::InputScript().Press(VK_END).Press(VK_HOME, {VK_SHIFT}).Send();
                        testsupport::TypeText(L"two");
                        testsupport::PressKey(VK_RETURN);  // OK
                      }}));
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_FALSE(KeyExists(Data + L"\\Doomed"));
  EXPECT_EQ(ValueText(ValueItem(L"Text")), L"one");

  Errors.clear();
  ASSERT_TRUE(EnterOn(L"Blob", {[&] {
                        ASSERT_TRUE(F.EditValueBin->GetVisible());
                        const HWND he = F.EditValueBin->heValue->GetHandle();
                        ASSERT_TRUE(PumpUntil([&] { return GetFocus() == he; }, 10000));
                        testsupport::TypeText(L"ff");
                        testsupport::PressKey(VK_RETURN);  // OK
                      }}));
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(ValueText(ValueItem(L"Blob")), L"01 02 ");
}

// Value names run far beyond the list's display buffer. The name box of a
// long name holds all of it (the first character deleted leaves the rest
// whole), the longest name the registry takes, pasted, is stored whole and
// the status names what the registry now holds; a longer one is refused,
// never stored cut short.
TEST_F(ValuesE2E, ALongValueNameIsRenamedWhole) {
  String digits;
  for (int i = 0; i < 300; ++i) digits += wchar_t(L'0' + i % 10);
  Write(Data, L"L" + digits, REG_SZ, Sz(L"long"));
  Start();
  ASSERT_NE(Open(), nullptr);

  RenameBy(L"L" + digits, testsupport::InputScript().Press(VK_HOME).Press(VK_DELETE));
  auto names = ValueNames(Data);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].size(), 300u);
  EXPECT_TRUE(names[0] == digits);
  EXPECT_TRUE(Window->GetStatusText() == L"Value successfully renamed to " + digits + L".");

  // The longest name the registry takes, pasted over the whole name.
  String longest(16383 - digits.size(), L'W');
  longest += digits;
  Clipboard()->SetAsText(longest);
  RenameBy(digits, testsupport::InputScript().Press('A', {VK_CONTROL}).Press('V', {VK_CONTROL}));
  names = ValueNames(Data);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].size(), 16383u);
  EXPECT_TRUE(names[0] == longest);
  DWORD type = 0;
  std::string raw;
  ASSERT_TRUE(Read(Data, longest, type, raw));
  EXPECT_EQ(raw, Sz(L"long"));
  EXPECT_NE(ValueItem(longest), nullptr);
  EXPECT_TRUE(Errors.empty());
  EXPECT_TRUE(Messages().empty()) << Messages().size();

  // A name pasted one character longer (or far longer) is refused in
  // plain words; the value keeps its name and the status no longer says
  // renamed.
  for (const String& over : {L"q" + longest, String(40000, L'q')}) {
    Messages().clear();
    Clipboard()->SetAsText(over);
    RenameBy(longest, testsupport::InputScript().Press('A', {VK_CONTROL}).Press('V', {VK_CONTROL}));
    names = ValueNames(Data);
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(names[0] == longest) << names[0].size();
    EXPECT_EQ(Messages(), std::vector<String>{L"A value name can have at most 16,383 characters."});
    EXPECT_TRUE(Window->GetStatusText() == L"Value not renamed.") << WideToAnsi(Window->GetStatusText().substr(0, 60));
    ASSERT_NE(ValueItem(longest), nullptr);
    EXPECT_TRUE(ValueItem(longest)->GetCaption() == longest);
  }
  EXPECT_TRUE(Errors.empty());

  // Another value renamed to that name is refused in a real message box
  // that comes up at once, no wider than the screen, with the name's
  // beginning and end around "…"; the status no longer says renamed.
  Write(Data, L"short", REG_SZ, Sz(L"s"));
  Foreground(Window->lvKeyValues);
  testsupport::PressKey(VK_F5);
  ASSERT_NE(ValueItem(L"short"), nullptr);
  Clipboard()->SetAsText(longest);
  const auto hook = MessageBoxHook;
  MessageBoxHook = nullptr;
  RECT box{};
  String text;
  Script s;
  s.Steps = {{[] {
                wchar_t cls[16] = {};
                GetClassNameW(GetForegroundWindow(), cls, 16);
                return String(cls) == L"#32770";
              },
              [&] {
                const HWND w = GetForegroundWindow();
                GetWindowRect(w, &box);
                const HWND label = GetDlgItem(w, 0xFFFF);
                text.resize(size_t(GetWindowTextLengthW(label)) + 1);
                text.resize(size_t(GetWindowTextW(label, &text[0], int(text.size()))));
                testsupport::InputScript().Press(VK_RETURN).Post();
              }}};
  EXPECT_EQ(s.Run([&] {
    RenameBy(L"short", testsupport::InputScript().Press('A', {VK_CONTROL}).Press('V', {VK_CONTROL}));
  }),
            s.Steps.size());
  MessageBoxHook = hook;
  EXPECT_FALSE(s.TimedOut);
  EXPECT_EQ(ValueNames(Data).size(), 2u);
  EXPECT_EQ(Window->GetStatusText(), L"Value not renamed.");
  EXPECT_GE(box.left, 0);
  EXPECT_LE(box.right, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(text.rfind(L"Value already exists: " + longest.substr(0, 20), 0), 0u) << WideToAnsi(text.substr(0, 80));
  EXPECT_NE(text.find(L"\u2026"), String::npos);
  String joined;
  for (wchar_t c : text)
    if (c != L'\n' && c != L'\r') joined += c;
  const String end = longest.substr(longest.size() - 60) + L"Rename aborted.";
  EXPECT_TRUE(joined.size() > end.size() && joined.substr(joined.size() - end.size()) == end);
}

// A name emptied with the keys (Ctrl+A, Delete) and accepted with Enter is
// refused in so many words, in the values list (a virtual list) and in the
// bookmarks list alike, and both keep their names; emptied and left with
// Escape, it ends silently.
TEST_F(ValuesE2E, AnEmptiedNameIsRefusedAndEscapeEndsTheEditSilently) {
  Write(Data, L"Kept", REG_SZ, Sz(L"k"));
  Start();
  TTreeExNode* node = Open();
  ASSERT_NE(node, nullptr);
  Window->AddBookmark(node);
  TListItem* mark = Window->lvBookmarks->Items()->GetItem(0);
  mark->CancelEdit();
  const String described = node->GetText();
  for (const auto& [list, name, refusal] :
       {std::tuple<TListViewQ*, String, String>{Window->lvKeyValues, L"Kept", L"Invalid value name."},
        {Window->lvBookmarks, described, L"Invalid bookmark name."}})
    for (const WORD end : {VK_RETURN, VK_ESCAPE}) {
      Messages().clear();
      RenameIn(list, name, testsupport::InputScript().Press('A', {VK_CONTROL}).Press(VK_DELETE), end);
      EXPECT_EQ(Messages(), end == VK_RETURN ? std::vector<String>{refusal} : std::vector<String>{});
    }
  EXPECT_EQ(ValueNames(Data), std::vector<String>{L"Kept"});
  EXPECT_NE(ValueItem(L"Kept"), nullptr);
  EXPECT_EQ(mark->GetCaption(), described);
  EXPECT_EQ(ItemBookmark(mark)->Description, described);
  EXPECT_TRUE(Errors.empty());
}

// A rename ended with the name as it was renames nothing and says
// nothing: the success of the rename before it, of a value, a bookmark or
// a key, does not stand for it.
TEST_F(ValuesE2E, AnUnchangedRenameLeavesNoEarlierRenameStanding) {
  Write(Data, L"m1", REG_SZ, Sz(L"1"));
  Write(Data, L"m2", REG_SZ, Sz(L"2"));
  CreateKey(String(Data) + L"\\Other");
  Start();
  TTreeExNode* data = Open();
  ASSERT_NE(data, nullptr);
  data->Expand(false);
  for (TTreeExNode* node : {data, Window->FindChild(data, L"Other")}) {
    Window->AddBookmark(node);
    Window->lvBookmarks->Items()->GetItem(Window->lvBookmarks->Items()->GetCount() - 1)->CancelEdit();
  }
  ASSERT_EQ(Window->lvBookmarks->Items()->GetCount(), 2);

  RenameBy(L"m1", testsupport::InputScript().Text(L"m9"));
  ASSERT_EQ(Window->GetStatusText(), L"Value successfully renamed to m9.");
  RenameBy(L"m2", testsupport::InputScript());
  EXPECT_EQ(Window->GetStatusText(), L"");

  RenameIn(Window->lvBookmarks, data->GetText(), testsupport::InputScript().Text(L"Mine"));
  ASSERT_EQ(Window->GetStatusText(), L"Bookmark renamed.");
  RenameIn(Window->lvBookmarks, L"Other", testsupport::InputScript());
  EXPECT_EQ(Window->GetStatusText(), L"");

  TTreeEx* tree = Window->treeRegTree;
  auto renameKey = [&](const std::wstring& Typed) {
    Foreground(tree);
    testsupport::PressKey(VK_F2);
    ASSERT_TRUE(PumpUntil([&] { return tree->IsEditing(); }, 10000));
    testsupport::InputScript().Text(Typed).Press(VK_RETURN).Send();
    ASSERT_TRUE(PumpUntil([&] { return !tree->IsEditing() && !dmodCommon->Logic.IsWorking(); }, 10000));
  };
  ASSERT_NE(Open(L"Other"), nullptr);
  renameKey(L"Other2");
  ASSERT_EQ(Window->GetStatusText(), L"Key successfully renamed.");
  renameKey(L"");
  EXPECT_EQ(Window->GetStatusText(), L"");

  std::vector<String> names = ValueNames(Data);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<String>{L"m2", L"m9"}));
  EXPECT_TRUE(KeyExists(String(Data) + L"\\Other2"));
  EXPECT_TRUE(Messages().empty());
  EXPECT_TRUE(Errors.empty());
}

// A key listed after another was scrolled to its end shows from its top,
// whether it is clicked in the tree or opened by Go: (Default) is the top
// row, not a row at the place the other key's list was left at.
TEST_F(ValuesE2E, ANewlyListedKeyShowsFromItsTop) {
  const String many = String(Data) + L"\\Many";
  for (int i = 0; i < 3000; ++i) Write(many, L"p" + IntToStr(1000 + i), REG_DWORD, Dw(DWORD(i)));
  for (const wchar_t* few : {L"Few", L"Fewer"})
    for (int i = 0; i < 100; ++i) Write(String(Data) + L"\\" + few, L"n" + IntToStr(100 + i), REG_DWORD, Dw(1));
  Start();
  SetForegroundWindow(Window->GetHandle());
  SendMessageW(Window->GetHandle(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  ASSERT_TRUE(PumpUntil([&] { return Window->GetWindowState() == wsMaximized; }, 10000));
  TListViewQ* lv = Window->lvKeyValues;
  const HWND list = lv->GetHandle();
  auto top = [&] { return int(SendMessageW(list, LVM_GETTOPINDEX, 0, 0)); };
  // Many listed, a click in its list and Ctrl+End.
  auto toTheEnd = [&] {
    ASSERT_NE(Open(L"Many"), nullptr);
    RECT rc{};
    ::GetClientRect(list, &rc);
    testsupport::Click(testsupport::ScreenPoint(list, 60, rc.bottom / 2));
    testsupport::PressKey(VK_END, {VK_CONTROL});
    ASSERT_TRUE(PumpUntil([&] { return top() > 2900; }, 5000));
  };
  toTheEnd();
  TTreeExNode* data = Window->treeRegTree->GetSelection()->GetParent();
  TTreeExNode* few = Window->FindChild(data, L"Few");
  ASSERT_NE(few, nullptr);
  Foreground(Window->treeRegTree);
  const TRect r = few->DisplayRect(true);
  testsupport::Click(testsupport::ScreenPoint(Window->treeRegTree->GetHandle(), (r.left + r.right) / 2,
                                              (r.top + r.bottom) / 2));
  ASSERT_TRUE(PumpUntil([&] { return lv->Items()->GetCount() == 101; }, 5000));
  dlgtest::Pump(30);
  EXPECT_EQ(top(), 0) << "clicked in the tree";

  toTheEnd();
  Window->txtPath->SetText(String(L"HKEY_CURRENT_USER\\") + Data + L"\\Fewer");
  Window->tbtnNavigation_GoClick(nullptr);
  ASSERT_EQ(lv->Items()->GetCount(), 101);
  dlgtest::Pump(30);
  EXPECT_EQ(top(), 0) << "opened by Go";
  EXPECT_EQ(lv->Items()->GetItem(0)->GetCaption(), L"(Default)");
  EXPECT_TRUE(Errors.empty());
}

// A name longer than the list shows whole (259 characters), cut back to
// exactly what the list shows of it, is a new name: it is stored.
TEST_F(ValuesE2E, ALongNameCutToWhatTheListShowsIsStored) {
  String name = L"P";
  for (int i = 1; i < 300; ++i) name += wchar_t(L'a' + i % 26);
  Write(Data, name, REG_DWORD, Dw(5));
  Start();
  ASSERT_NE(Open(), nullptr);
  testsupport::InputScript cut;
  cut.Press(VK_END);
  for (size_t i = 259; i < name.size(); ++i) cut.Press(VK_BACK);
  RenameBy(name, cut);
  const auto names = ValueNames(Data);
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(names[0].size(), 259u);
  EXPECT_TRUE(names[0] == name.substr(0, 259));
  EXPECT_NE(ValueItem(name.substr(0, 259)), nullptr);
  EXPECT_TRUE(Messages().empty());
}

// F5 in the values list reads the key again: the value chosen stays chosen
// with the keyboard on it, and the keyboard stays in the list, so Down goes
// on from it. A value gone meanwhile is chosen no more.
TEST_F(ValuesE2E, RefreshKeepsTheChosenValueAndTheKeyboardInTheList) {
  TListViewQ* lv = ShowWithChosen({L"a1", L"b2", L"c3"}, L"b2");
  ASSERT_NE(lv, nullptr);
  Write(Data, L"new", REG_DWORD, Dw(1));
  testsupport::PressKey(VK_F5);
  ASSERT_TRUE(PumpUntil([&] { return ValueItem(L"new") != nullptr; }, 10000));
  EXPECT_EQ(Chosen(lv), std::vector<String>{L"b2"});
  EXPECT_EQ(FocusedCaption(lv), L"b2");
  EXPECT_EQ(GetFocus(), lv->GetHandle());
  EXPECT_EQ(Window->ActiveControlName(), L"lvKeyValues");
  testsupport::PressKey(VK_DOWN);
  EXPECT_EQ(Chosen(lv), std::vector<String>{L"c3"});

  HKEY key;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, Data.c_str(), 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
  RegDeleteValueW(key, L"c3");
  RegCloseKey(key);
  testsupport::PressKey(VK_F5);
  ASSERT_TRUE(PumpUntil([&] { return ValueItem(L"c3") == nullptr; }, 10000));
  EXPECT_TRUE(Chosen(lv).empty());
  EXPECT_EQ(GetFocus(), lv->GetHandle());
}

// F5 while a value's name is being edited, after another program added a
// value that sorts before it: the list is read again and the edit ends
// unapplied. No value takes the typed name, the one before it least.
TEST_F(ValuesE2E, RefreshDuringARenameRenamesNoValue) {
  TListViewQ* lv = ShowWithChosen({L"b1", L"c2", L"d3"}, L"c2");
  ASSERT_NE(lv, nullptr);
  testsupport::PressKey(VK_F2);
  ASSERT_TRUE(PumpUntil([&] { return lv->IsEditing(); }, 10000));
  Write(Data, L"a0", REG_SZ, Sz(L"a0"));
  testsupport::InputScript().Text(L"zz").Press(VK_F5).Send();
  ASSERT_TRUE(PumpUntil([&] { return ValueItem(L"a0") != nullptr; }, 10000));
  // An edit still open is ended as the user ends one.
  if (lv->IsEditing()) testsupport::PressKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return !lv->IsEditing(); }, 10000));
  std::vector<String> names = ValueNames(Data);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<String>{L"a0", L"b1", L"c2", L"d3"}));
  EXPECT_NE(ValueItem(L"b1"), nullptr);
  EXPECT_EQ(ValueItem(L"zz"), nullptr);
}

// A rename that changes only the letter case renames the value (the
// registry takes the two names for one): the new spelling is stored with
// the same type and bytes, and nothing else is left in the key.
TEST_F(ValuesE2E, ARenameThatChangesOnlyTheCaseRenames) {
  const std::string bytes("\x01\x00\xfe", 3);
  Write(Data, L"v2", REG_BINARY, bytes);
  Write(Data, L"other", REG_DWORD, Dw(7));
  Start();
  ASSERT_NE(Open(), nullptr);
  RenameBy(L"v2", testsupport::InputScript().Press(VK_HOME).Press(VK_DELETE).Text(L"V"));
  EXPECT_EQ(ValueNames(Data), (std::vector<String>{L"V2", L"other"}));
  DWORD type = 0;
  std::string raw;
  ASSERT_TRUE(Read(Data, L"V2", type, raw));
  EXPECT_EQ(type, DWORD(REG_BINARY));
  EXPECT_EQ(raw, bytes);
  EXPECT_EQ(Window->GetStatusText(), L"Value successfully renamed to V2.");
  EXPECT_NE(ValueItem(L"V2"), nullptr);
  EXPECT_TRUE(Errors.empty());
  EXPECT_EQ(Messages(), std::vector<String>{});

  // The spare value's deletion refused: the rename is done, the status says
  // so and the error names the value left over.
  struct TFaults {
    ~TFaults() { RegistryClearFaults(); }
  } faults;
  RegistryFailNext(L"RegDeleteValue", 1, ERROR_ACCESS_DENIED, 1);
  RenameBy(L"V2", testsupport::InputScript().Press(VK_HOME).Press(VK_DELETE).Text(L"v"));
  EXPECT_EQ(ValueNames(Data), (std::vector<String>{L"Zembrio rename", L"other", L"v2"}));
  EXPECT_NE(ValueItem(L"v2"), nullptr);
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_NE(Errors[0].find(L"Zembrio rename"), String::npos);
  EXPECT_EQ(Window->GetStatusText(), L"Value renamed to v2; a spare value is left in the key.");
}

// A DWORD or QWORD whose data is not four or eight bytes long opens in the
// binary editor (no number editor can show it): the bytes typed are stored
// as typed, and the value keeps its type.
TEST_F(ValuesE2E, ANumberOfAnotherSizeIsEditedAsBytesKeepingItsType) {
  Write(Data, L"D3", REG_DWORD, std::string("\x01\x02\x03", 3));
  Write(Data, L"Q5", REG_QWORD, std::string("\x01\x02\x03\x04\x05", 5));
  Start();
  ASSERT_NE(Open(), nullptr);
  Foreground(Window->lvKeyValues);
  TfrmEditValueBin* bin = F.EditValueBin;
  for (const auto& [name, type, stored] :
       {std::tuple<const wchar_t*, DWORD, std::string>{L"D3", REG_DWORD, std::string("\xAB\x02\x03", 3)},
        std::tuple<const wchar_t*, DWORD, std::string>{L"Q5", REG_QWORD, std::string("\xAB\x02\x03\x04\x05", 5)}}) {
    bool opened = false;
    ASSERT_TRUE(EnterOn(name, {[&] {
                          opened = bin->GetVisible();
                          ASSERT_TRUE(opened);
                          ASSERT_TRUE(PumpUntil([&] { return GetFocus() == bin->heValue->GetHandle(); }, 10000));
                          testsupport::TypeText(L"ab");
                          testsupport::PressKey(VK_RETURN);  // OK
                        }}));
    EXPECT_TRUE(opened) << WideToAnsi(name);
    DWORD t = 0;
    std::string raw;
    ASSERT_TRUE(Read(Data, name, t, raw));
    EXPECT_EQ(t, type) << WideToAnsi(name);
    EXPECT_EQ(raw, stored) << WideToAnsi(name);
    EXPECT_EQ(Window->GetStatusText(), RegTypeName(type) + L" value saved.");
  }
  EXPECT_TRUE(Messages().empty());
  EXPECT_TRUE(Errors.empty());
}

// A string whose bytes its text can't hold whole (a NUL before its end, an
// odd number of bytes) opens in the binary editor with a note of why: every
// byte is kept but those typed over, OK with nothing typed keeps them all,
// and the value keeps its type.
TEST_F(ValuesE2E, AStringHoldingANulIsEditedAsBytesAndKeepsEveryByte) {
  const std::string nul = Sz(L"abc") + Sz(L"def"), expand = Sz(L"%A%") + Sz(L"tail");
  const std::string odd = Sz(L"abc") + "\x7F";
  Write(Data, L"Nul", REG_SZ, nul);
  Write(Data, L"Exp", REG_EXPAND_SZ, expand);
  Write(Data, L"Odd", REG_SZ, odd);
  Start();
  ASSERT_NE(Open(), nullptr);
  Foreground(Window->lvKeyValues);
  TfrmEditValueBin* bin = F.EditValueBin;
  struct TCase {
    const wchar_t* Name;
    DWORD Type;
    std::string Held;
    const wchar_t* Typed;  // over the first byte
    std::string Stored;
    const wchar_t* Note;
    const wchar_t* Saved;
  };
  const TCase cases[] = {
      {L"Nul", REG_SZ, nul, L"ab", "\xAB" + nul.substr(1), L"The REG_SZ value holds a NUL character before its end",
       L"String value saved."},
      {L"Exp", REG_EXPAND_SZ, expand, L"ab", "\xAB" + expand.substr(1),
       L"The REG_EXPAND_SZ value holds a NUL character before its end", L"Expand string value saved."},
      {L"Odd", REG_SZ, odd, L"", odd, L"The REG_SZ value has 9 bytes of data, an odd number", L"String value saved."},
  };
  for (const TCase& c : cases) {
    String note;
    std::string shown;
    ASSERT_TRUE(EnterOn(c.Name, {[&] {
                          ASSERT_TRUE(bin->GetVisible());
                          ASSERT_TRUE(PumpUntil([&] { return GetFocus() == bin->heValue->GetHandle(); }, 10000));
                          note = Window->GetStatusText();
                          shown = bin->heValue->GetAsText();
                          testsupport::TypeText(c.Typed);
                          testsupport::PressKey(VK_RETURN);  // OK
                        }}));
    EXPECT_EQ(note, String(c.Note) + L": it is edited as bytes, and stays a " + RegTypeName(c.Type) + L".");
    EXPECT_EQ(shown, c.Held) << WideToAnsi(c.Name);
    DWORD t = 0;
    std::string raw;
    ASSERT_TRUE(Read(Data, c.Name, t, raw));
    EXPECT_EQ(t, c.Type) << WideToAnsi(c.Name);
    EXPECT_EQ(raw, c.Stored) << WideToAnsi(c.Name);
    EXPECT_EQ(Window->GetStatusText(), c.Saved);
  }
  EXPECT_TRUE(Messages().empty());
  EXPECT_TRUE(Errors.empty());
}

// The values window keeps only the count of the values (the list keeps
// them): leaving a key of many values empties it at once, where a window
// that holds a record per value frees them one by one (under Wine in time
// that grows with the square of their number: eight seconds for 230,000).
// All it shows comes from the list: each value's name, text and picture,
// in every view style; typing the start of a name chooses that value.
TEST_F(ValuesE2E, TheValuesWindowHoldsOnlyTheCountAndShowsWhatTheListHolds) {
  Write(Data, L"alpha", REG_SZ, Sz(L"a"));
  Write(Data, L"beta", REG_DWORD, Dw(2));
  Write(Data, L"delta", REG_EXPAND_SZ, Sz(L"%d%"));
  Write(Data, L"gamma", REG_BINARY, std::string("\x01", 1));
  CreateKey(String(Data) + L"\\Empty");
  Start();
  ASSERT_NE(Open(), nullptr);
  TListViewQ* lv = Window->lvKeyValues;
  EXPECT_NE(GetWindowLongPtrW(lv->GetHandle(), GWL_STYLE) & LVS_OWNERDATA, 0);
  // Name, Value column and picture of each row as the window gives them,
  // and as the list holds them.
  auto shown = [lv] {
    std::vector<String> v;
    const HWND h = lv->GetHandle();
    for (int i = 0; i < int(SendMessageW(h, LVM_GETITEMCOUNT, 0, 0)); ++i) {
      wchar_t name[64] = {}, text[64] = {};
      LVITEMW it{};
      it.mask = LVIF_TEXT | LVIF_IMAGE;
      it.iItem = i;
      it.pszText = name;
      it.cchTextMax = 64;
      SendMessageW(h, LVM_GETITEMW, 0, LPARAM(&it));
      LVITEMW sub{};
      sub.iSubItem = 1;
      sub.pszText = text;
      sub.cchTextMax = 64;
      SendMessageW(h, LVM_GETITEMTEXTW, WPARAM(i), LPARAM(&sub));
      v.push_back(String(name) + L"|" + text + L"|" + IntToStr(it.iImage));
    }
    return v;
  };
  std::vector<String> held;
  for (int i = 0; i < lv->Items()->GetCount(); ++i) {
    TListItem* it = lv->Items()->GetItem(i);
    held.push_back(it->GetCaption() + L"|" + ValueText(it) + L"|" + IntToStr(it->GetImageIndex()));
  }
  ASSERT_EQ(held.size(), 5u);
  EXPECT_EQ(held[0], L"(Default)|(value not set)|0");
  const std::vector<String> pictures{L"|0", L"|0", L"|1", L"|4", L"|2"};  // by type
  for (size_t i = 0; i < held.size(); ++i) EXPECT_TRUE(held[i].ends_with(pictures[i])) << WideToAnsi(held[i]);
  for (TViewStyle style : {vsIcon, vsSmallIcon, vsList, vsReport}) {
    Window->SetListViewStyle(lv, style);
    EXPECT_EQ(shown(), held) << int(style);
  }

  Foreground(lv);
  testsupport::TypeText(L"de");
  ASSERT_TRUE(PumpUntil([&] { return lv->GetSelected() && lv->GetSelected()->GetCaption() == L"delta"; }));
  EXPECT_EQ(lv->GetSelCount(), 1);

  ASSERT_NE(Open(L"Empty"), nullptr);
  EXPECT_EQ(shown(), std::vector<String>{L"(Default)|(value not set)|0"});
}

// Many values deleted as the user does it: the first chosen with a click,
// Shift+End, Delete, No to the first question and "Yes to All" to the next.
// The hourglass is up while the rows leave the list (read as each goes);
// the value refused stays, in the registry and listed, still chosen and
// with the keyboard on it; the others are gone from both, and the status
// counts them.
TEST_F(ValuesE2E, ManyValuesDeletedAtOnceGoUnderTheHourglassSparingTheOneRefused) {
  std::vector<String> names;
  for (int i = 0; i < 60; ++i) {
    names.push_back(L"v" + IntToStr(100 + i));
    Write(Data, names.back(), REG_DWORD, Dw(DWORD(i)));
  }
  Start();
  ASSERT_NE(Open(), nullptr);
  TListViewQ* lv = Window->lvKeyValues;
  const TLVDeletedEvent deletion = lv->OnDeletion;
  std::vector<String> busy;
  lv->OnDeletion = [&](TObject* Sender, TListItem* Item) {
    if (Screen->GetCursor() != crHourGlass || GetCursor() != LoadCursorW(nullptr, IDC_WAIT))
      busy.push_back(Item->GetCaption());
    deletion(Sender, Item);
  };
  const bool deleted = DeleteToTheEndSparingFirst(lv, ValueItem(L"v100"), L"Values deleted: 59");
  lv->OnDeletion = deletion;
  ASSERT_TRUE(deleted);
  EXPECT_TRUE(busy.empty()) << busy.size() << " rows left without the hourglass, the first " << WideToAnsi(busy[0]);
  EXPECT_EQ(Screen->GetCursor(), crDefault);
  EXPECT_EQ(ValueNames(Data), std::vector<String>{L"v100"});
  std::vector<String> listed;
  for (int i = 0; i < lv->Items()->GetCount(); ++i) listed.push_back(lv->Items()->GetItem(i)->GetCaption());
  EXPECT_EQ(listed, (std::vector<String>{L"(Default)", L"v100"}));
  EXPECT_EQ(int(SendMessageW(lv->GetHandle(), LVM_GETITEMCOUNT, 0, 0)), 2);
  EXPECT_EQ(Chosen(lv), std::vector<String>{L"v100"});
  EXPECT_EQ(FocusedCaption(lv), L"v100");
  EXPECT_TRUE(Errors.empty());
}

// Past "Yes to All" a delete of many values shows the share done and the
// Stop button; Escape pressed once the share shows stops it before its next
// value: the values deleted leave the list, the rest stay in the registry
// and listed, the status counts the values really deleted and Stop goes
// again, handing the keyboard back to the list.
TEST_F(ValuesE2E, ManyValuesDeletedShowHowFarTheyGotAndStopOnEscape) {
  constexpr int kValues = 20000;
  {
    HKEY k = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, Data.c_str(), 0, KEY_SET_VALUE, &k), ERROR_SUCCESS);
    for (int i = 0; i < kValues; ++i) {
      const DWORD v = DWORD(i);
      RegSetValueExW(k, (L"v" + IntToStr(100000 + i)).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v),
                     sizeof v);
    }
    RegCloseKey(k);
  }
  Start();
  ASSERT_NE(Open(), nullptr);
  TListViewQ* lv = Window->lvKeyValues;
  Foreground(lv);
  const TRect first = ValueItem(L"v100000")->DisplayRect(drLabel);
  testsupport::Click(testsupport::ScreenPoint(lv->GetHandle(), first.left + 4, (first.top + first.bottom) / 2));
  testsupport::PressKey(VK_END, {VK_SHIFT});
  ASSERT_TRUE(PumpUntil([&] { return lv->GetSelCount() == kValues; }));
  TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrYesToAll); };
  String progress;
  bool stopShown = false;
  const auto status = dmodCommon->Logic.OnStatusText;
  dmodCommon->Logic.OnStatusText = [&](const String& Text) {
    status(Text);
    if (!progress.empty() || Text.rfind(L"Deleting values... ", 0) != 0) return;
    progress = Text;
    stopShown = IsWindowVisible(Window->btnStop->GetHandle()) != 0;
    testsupport::InputScript().Press(VK_ESCAPE).Post();
    // The key is in the queue before the next value goes.
    MSG m;
    for (int i = 0; i < 5000 && !PeekMessageW(&m, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE); ++i) Sleep(1);
  };
  testsupport::PressKey(VK_DELETE);
  dmodCommon->Logic.OnStatusText = status;
  ASSERT_FALSE(progress.empty()) << WideToAnsi(Window->GetStatusText());
  EXPECT_TRUE(stopShown);
  EXPECT_NE(progress, L"Deleting values... 100%");
  const std::vector<String> left = ValueNames(Data);
  const int deleted = kValues - int(left.size());
  EXPECT_GT(deleted, 0);
  EXPECT_GT(left.size(), 0u);
  EXPECT_EQ(Window->GetStatusText(), L"Values deleted: " + IntToStr(deleted));
  std::vector<String> listed;
  for (int i = 0; i < lv->Items()->GetCount(); ++i) listed.push_back(lv->Items()->GetItem(i)->GetCaption());
  std::sort(listed.begin(), listed.end());
  ASSERT_EQ(listed.size(), left.size() + 1);
  EXPECT_EQ(listed.front(), L"(Default)");
  EXPECT_EQ(listed.back(), L"v119999");
  EXPECT_TRUE(std::equal(left.begin(), left.end(), listed.begin() + 1)) << "the list is not what the key holds";
  EXPECT_EQ(int(SendMessageW(lv->GetHandle(), LVM_GETITEMCOUNT, 0, 0)), int(listed.size()));
  EXPECT_FALSE(Window->btnStop->GetVisible());
  EXPECT_EQ(GetFocus(), lv->GetHandle());
  EXPECT_TRUE(Errors.empty());
}

// Every value chosen (the first clicked, Shift+End) and Delete pressed:
// the rows chosen are gathered under the hourglass, up from the key until
// the question (many thousands of rows took seconds before it showed);
// Cancel leaves the values, and the ordinary pointer after.
TEST_F(ValuesE2E, AllValuesChosenAreGatheredUnderTheHourglassBeforeTheQuestion) {
  for (int i = 0; i < 40; ++i) Write(Data, L"v" + IntToStr(100 + i), REG_DWORD, Dw(DWORD(i)));
  Start();
  ASSERT_NE(Open(), nullptr);
  TListViewQ* lv = Window->lvKeyValues;
  Foreground(lv);
  const TRect first = lv->Items()->GetItem(0)->DisplayRect(drLabel);
  testsupport::Click(testsupport::ScreenPoint(lv->GetHandle(), first.left + 4, (first.top + first.bottom) / 2));
  testsupport::PressKey(VK_END, {VK_SHIFT});
  ASSERT_TRUE(PumpUntil([&] { return lv->GetSelCount() == 41; }));
  std::vector<std::pair<TCursor, bool>> asked;
  TfrmConfirm::ExecuteHook = [&](TfrmConfirm*) {
    asked.push_back({Screen->GetCursor(), GetCursor() == LoadCursorW(nullptr, IDC_WAIT)});
    return int(mrCancel);
  };
  testsupport::PressKey(VK_DELETE);
  ASSERT_TRUE(PumpUntil([&] { return Window->GetStatusText() == L"Values deleted: 0"; }));
  EXPECT_EQ(asked, (std::vector<std::pair<TCursor, bool>>{{crHourGlass, true}}));
  EXPECT_EQ(Screen->GetCursor(), crDefault);
  EXPECT_EQ(ValueNames(Data).size(), 40u);
}
