// The value editors opened from the values list and used from the keyboard
// as a user does: what an opening starts with does not depend on what an
// earlier opening was left with.
#include "app/EditValue.h"
#include "app/EditValueBin.h"
#include "app/Dialogs.h"
#include "classlib/Clipbrd.h"
#include "app/tests/e2e_support.h"
#include "testsupport/Input.h"
#include "toolbars/BarViews.h"

using namespace e2e;
using testsupport::InputScript;

namespace {

// Sends the keys (or text) and returns at once: the dialog's modal loop
// reads them.
void Post(WORD Vk, const std::vector<WORD>& Mods = {}) { InputScript().Press(Vk, Mods).Post(); }
void PostText(const std::wstring& Text) { InputScript().Text(Text).Post(); }

// Text typed on the keyboard's keys, as a user types it: letters and digits
// by their keys (capitals with Shift), anything else as a character.
InputScript& Type(InputScript& S, const std::wstring& Text) {
  for (wchar_t c : Text) {
    if (c >= L'a' && c <= L'z')
      S.Press(WORD(c - L'a' + 'A'));
    else if (c >= L'A' && c <= L'Z')
      S.Press(WORD(c), {VK_SHIFT});
    else if (c >= L'0' && c <= L'9')
      S.Press(WORD(c));
    else
      S.Text(std::wstring(1, c));
  }
  return S;
}

InputScript& Repeat(InputScript& S, int Times, WORD Vk, const std::vector<WORD>& Mods = {}) {
  for (int i = 0; i < Times; ++i) S.Press(Vk, Mods);
  return S;
}

class ValueEditors : public EditorTest {
 protected:
  // The binary editor up with the keyboard in its hex editor.
  bool BinaryEditorUp() {
    TfrmEditValueBin* ed = F.EditValueBin;
    return ed->GetVisible() && GetFocus() == ed->heValue->GetHandle();
  }
  bool BinaryEditorDown() { return !F.EditValueBin->GetVisible(); }
  // The string and integer editor up with the keyboard in the box its
  // value opens in.
  bool ValueEditorUp() {
    TfrmEditValue* ed = F.EditValue;
    const HWND focus = GetFocus();
    return ed->GetVisible() &&
           (focus == ed->edtValueStr->GetHandle() || focus == ed->edtValueHex->GetHandle());
  }
  std::string Stored(const String& Name, DWORD Type = REG_BINARY) {
    DWORD type = 0;
    std::string raw;
    EXPECT_TRUE(Read(Data, Name, type, raw));
    EXPECT_EQ(type, Type);
    return raw;
  }

  // Opens the value from the values list with Enter and, once its editor
  // has the keyboard, plays Keys, which end with the key that closes it.
  // False when the editor did not open, or did not close. Relist: the
  // values are read again first.
  bool EditWith(const String& Name, const std::function<void(InputScript&)>& Keys, bool Relist = true) {
    if (Relist) Window->LoadValues(Window->GetSelectedNode());
    SelectOnly(Window->lvKeyValues, {Name});
    Foreground(Window->lvKeyValues);
    Script s;
    s.Steps = {{[] { return true; }, [] { Post(VK_RETURN); }},
               {[&] { return BinaryEditorUp() || ValueEditorUp(); },
                [&] {
                  InputScript keys;
                  Keys(keys);
                  keys.Post();
                }},
               {[&] { return !F.EditValue->GetVisible() && BinaryEditorDown(); }, [] {}}};
    const size_t done = s.Run();
    EXPECT_EQ(done, s.Steps.size()) << "1: Enter opens; 2: the keys once the editor has the keyboard; 3: closed";
    return done == s.Steps.size();
  }

  // The bytes stored after typing Keys into the binary value holding Bytes.
  std::string TypedIntoBinary(const std::string& Bytes, const std::function<void(InputScript&)>& Keys) {
    Write(Data, L"Blob", REG_BINARY, Bytes);
    if (!EditWith(L"Blob", Keys)) return "<not edited>";
    return Stored(L"Blob");
  }
};

// Tab moves the caret to the characters, and an opening left there (even a
// cancelled one) once made the next opening type into the characters while
// its marks showed the hex digits: "ab" stored 61 62 03, and after three
// Tabs Insert + "ABCD" stored 41 42 43 44 01 02 03. Every opening starts on
// the first hex digit, typing over.
TEST_F(ValueEditors, EachBinaryOpeningStartsOnTheFirstHexDigitWhateverTheLastWasLeftWith) {
  const std::string bytes("\x01\x02\x03", 3);
  Write(Data, L"Blob", REG_BINARY, bytes);
  Write(Data, L"Empty", REG_BINARY, std::string());
  Start();
  ASSERT_NE(Open(), nullptr);
  THexEditor* he = F.EditValueBin->heValue;
  struct Case {
    const wchar_t* Value;
    int Tabs;
    bool Insert;
    const wchar_t* Typed;
    std::string Expected;
  };
  const Case cases[] = {{L"Blob", 1, false, L"ab", std::string("\xAB\x02\x03", 3)},
                        {L"Blob", 3, true, L"ABCD", std::string("\xAB\xCD\x01\x02\x03", 5)},
                        {L"Empty", 1, false, L"ab", std::string("\xAB", 1)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << WideToAnsi(c.Value) << ", " << c.Tabs << " Tabs");
    Write(Data, c.Value, REG_BINARY, c.Value == String(L"Blob") ? bytes : std::string());
    Window->LoadValues(Window->GetSelectedNode());
    SelectOnly(Window->lvKeyValues, {c.Value});
    Foreground(Window->lvKeyValues);
    const bool empty = c.Value != String(L"Blob");
    bool hexAtStart = false, overwriting = false;
    Script s;
    s.Steps = {
        {[] { return true; }, [] { Post(VK_RETURN); }},
        {[&] { return BinaryEditorUp(); },
         [&] {
           for (int i = 0; i < c.Tabs; ++i) Post(VK_TAB);
         }},
        {[&] { return he->IsCharCol(he->GetCol()) == (c.Tabs % 2 == 1); }, [&] { Post(VK_ESCAPE); }},
        {[&] { return BinaryEditorDown(); }, [] { Post(VK_RETURN); }},
        {[&] { return BinaryEditorUp(); },
         [&] {
           hexAtStart = he->GetCol() == 2 && he->GetRow() == 2;
           overwriting = he->GetInsertMode() == empty;
           if (c.Insert) Post(VK_INSERT);
           PostText(c.Typed);
           Post(VK_RETURN);
         }},
        {[&] { return BinaryEditorDown(); }, [] {}},
    };
    ASSERT_EQ(s.Run(), s.Steps.size()) << "1: Enter opens; 2: Tabs; 3: the caret in the field they lead to; "
                                          "4: Escape closes, Enter opens again; 5: typed and Enter; 6: closed";
    EXPECT_TRUE(hexAtStart);
    EXPECT_TRUE(overwriting) << "typing overwrites, but adds to an empty value";
    EXPECT_EQ(Stored(c.Value), c.Expected);
  }
}

// Each opening selects the whole value, whatever was opened before and
// wherever the last typing left the caret: the string editor once put the
// caret at the start after an integer had been opened ("firsthello"), or
// kept it after the text typed at the last opening ("firstsecond").
TEST_F(ValueEditors, EveryOpeningSelectsTheWholeValueSoTypingReplacesIt) {
  Write(Data, L"Str", REG_SZ, Sz(L"hello"));
  Write(Data, L"Exp", REG_EXPAND_SZ, Sz(L"%TEMP%"));
  Write(Data, L"Num", REG_DWORD, Dw(7));
  Start();
  ASSERT_NE(Open(), nullptr);
  struct Step {
    const wchar_t* Value;
    const wchar_t* Typed;
    WORD Close;
    DWORD Type;
    std::string Expected;
  };
  const Step steps[] = {{L"Num", L"", VK_ESCAPE, REG_DWORD, Dw(7)},
                        {L"Str", L"first", VK_RETURN, REG_SZ, Sz(L"first")},
                        {L"Str", L"second", VK_RETURN, REG_SZ, Sz(L"second")},
                        {L"Exp", L"third", VK_RETURN, REG_EXPAND_SZ, Sz(L"third")},
                        {L"Num", L"1f", VK_RETURN, REG_DWORD, Dw(0x1F)},
                        {L"Num", L"2", VK_RETURN, REG_DWORD, Dw(2)},
                        {L"Str", L"", VK_ESCAPE, REG_SZ, Sz(L"second")},
                        {L"Str", L"fourth", VK_RETURN, REG_SZ, Sz(L"fourth")}};
  int n = 0;
  for (const Step& st : steps) {
    SCOPED_TRACE(testing::Message() << "opening " << ++n << ": " << WideToAnsi(st.Value));
    ASSERT_TRUE(EditWith(st.Value, [&](InputScript& s) { Type(s, st.Typed).Press(st.Close); }));
    EXPECT_EQ(Stored(st.Value, st.Type), st.Expected);
  }
}

// Typing over a selection in overwrite mode writes the selected bytes from
// the first one's first digit on. The selection once went at the typed key,
// and the digits landed where the caret stood: on the second digit of the
// last selected byte ("01 0F F3 04 05"), or on the byte after the selection.
TEST_F(ValueEditors, TypingOverASelectionWritesTheSelectedBytesFromTheFirst) {
  Write(Data, L"Blob", REG_BINARY, std::string());
  Start();
  ASSERT_NE(Open(), nullptr);
  const std::string five("\x01\x02\x03\x04\x05", 5);
  struct Case {
    const char* What;
    std::function<void(InputScript&)> Select;
    const wchar_t* Typed;
    std::string Expected;
  };
  const Case cases[] = {
      {"three Shift+Right", [](InputScript& s) { Repeat(s, 3, VK_RIGHT, {VK_SHIFT}); }, L"ff",
       std::string("\xFF\x02\x03\x04\x05", 5)},
      {"four Shift+Right", [](InputScript& s) { Repeat(s, 4, VK_RIGHT, {VK_SHIFT}); }, L"fff",
       std::string("\xFF\xF2\x03\x04\x05", 5)},
      {"capitals typed with Shift", [](InputScript& s) { Repeat(s, 3, VK_RIGHT, {VK_SHIFT}); }, L"AB",
       std::string("\xAB\x02\x03\x04\x05", 5)},
      {"Shift+Left from the end",
       [](InputScript& s) { Repeat(s.Press(VK_END, {VK_CONTROL}), 2, VK_LEFT, {VK_SHIFT}); }, L"ab",
       std::string("\x01\x02\x03\xAB\x05", 5)},
      {"characters", [](InputScript& s) { Repeat(s.Press(VK_TAB), 2, VK_RIGHT, {VK_SHIFT}); }, L"z",
       std::string("\x7A\x02\x03\x04\x05", 5)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    const std::string stored = TypedIntoBinary(five, [&](InputScript& s) {
      c.Select(s);
      Type(s, c.Typed).Press(VK_RETURN);
    });
    EXPECT_EQ(stored, c.Expected);
  }
}

// Typing on past the last digit adds bytes, as typing into an empty value
// does; each digit once overwrote the last one ("01 02 05" for "45"), and
// with no byte left to overwrite the typing was lost.
TEST_F(ValueEditors, TypingPastTheLastByteAddsBytes) {
  Write(Data, L"Blob", REG_BINARY, std::string());
  Start();
  ASSERT_NE(Open(), nullptr);
  const std::string three("\x01\x02\x03", 3), eight("\x01\x02\x03\x04\x05\x06\x07\x08", 8);
  struct Case {
    const char* What;
    std::string Bytes;
    std::function<void(InputScript&)> Keys;
    std::string Expected;
  };
  const Case cases[] = {
      {"on the last digit", three, [](InputScript& s) { Type(s.Press(VK_END, {VK_CONTROL}).Press(VK_RIGHT), L"45"); },
       std::string("\x01\x02\x04\x50", 4)},
      {"onto a new row", eight, [](InputScript& s) { Type(s.Press(VK_END, {VK_CONTROL}), L"9abc"); },
       std::string("\x01\x02\x03\x04\x05\x06\x07\x9A\xBC", 9)},
      {"back onto the last digit", three,
       [](InputScript& s) { Type(Type(s.Press(VK_END, {VK_CONTROL}).Press(VK_RIGHT), L"4").Press(VK_LEFT), L"9"); },
       std::string("\x01\x02\x09", 3)},
      {"characters", three, [](InputScript& s) { Type(s.Press(VK_TAB).Press(VK_END, {VK_CONTROL}), L"xyz"); },
       std::string("\x01\x02\x78\x79\x7A", 5)},
      {"an empty value switched to overwrite", std::string(), [](InputScript& s) { Type(s.Press(VK_INSERT), L"abc"); },
       std::string("\xAB\xC0", 2)},
      {"Right past the last digit", three,
       [](InputScript& s) { Type(s.Press(VK_END, {VK_CONTROL}).Press(VK_RIGHT).Press(VK_RIGHT), L"45"); },
       std::string("\x01\x02\x03\x45", 4)},
      {"Right past the last character and Left back", three,
       [](InputScript& s) { Type(s.Press(VK_TAB).Press(VK_END, {VK_CONTROL}).Press(VK_RIGHT).Press(VK_LEFT), L"x"); },
       std::string("\x01\x02\x78", 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    const std::string stored = TypedIntoBinary(c.Bytes, [&](InputScript& s) {
      c.Keys(s);
      s.Press(VK_RETURN);
    });
    EXPECT_EQ(stored, c.Expected);
  }
}

// Ctrl+Tab turns the number pages from the box being typed in, and the
// keyboard goes on to the box of the page that comes up; it once stayed in
// the hexadecimal box, so "101" meant for the binary page stored 101 hex.
TEST_F(ValueEditors, CtrlTabTurnsTheNumberPagesFromTheBox) {
  Write(Data, L"Num", REG_DWORD, Dw(7));
  Start();
  ASSERT_NE(Open(), nullptr);
  struct Case {
    const char* What;
    std::vector<WORD> Mods;
    int Times;
    const wchar_t* Typed;
    uint32_t Expected;
  };
  const Case cases[] = {{"to Binary", {VK_CONTROL}, 1, L"101", 5},
                        {"back to Decimal", {VK_CONTROL, VK_SHIFT}, 1, L"-5", 0xFFFFFFFBu},
                        {"round to Hexadecimal", {VK_CONTROL}, 3, L"1f", 0x1F}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    ASSERT_TRUE(EditWith(L"Num", [&](InputScript& s) {
      Type(Repeat(s, c.Times, VK_TAB, c.Mods), c.Typed).Press(VK_RETURN);
    }));
    EXPECT_EQ(Stored(L"Num", REG_DWORD), Dw(c.Expected));
  }
}

// A text holding line breaks pasted into a string value is stored whole, as
// the box shows such a text when it opens one (only its first line was).
TEST_F(ValueEditors, APastedTextWithLineBreaksIsStoredWhole) {
  Write(Data, L"Note", REG_SZ, Sz(L"old"));
  Write(Data, L"Path", REG_EXPAND_SZ, Sz(L"%TEMP%"));
  Start();
  ASSERT_NE(Open(), nullptr);
  Clipboard()->SetAsText(L"line1\r\nline2\nline3");
  ASSERT_TRUE(EditWith(L"Note", [](InputScript& s) { s.Press('V', {VK_CONTROL}).Press(VK_RETURN); }));
  EXPECT_EQ(Stored(L"Note", REG_SZ), Sz(L"line1\r\nline2\nline3"));
  // Typed around a pasted text, with Shift+Insert.
  ASSERT_TRUE(EditWith(L"Path", [](InputScript& s) {
    Type(s.Press(VK_END), L"a").Press(VK_INSERT, {VK_SHIFT}).Text(L"b").Press(VK_RETURN);
  }));
  EXPECT_EQ(Stored(L"Path", REG_EXPAND_SZ), Sz(L"%TEMP%aline1\r\nline2\nline3b"));
}

// A change refused because another program deleted the key leaves no
// earlier success standing in the status bar: a save, a rename, a delete,
// a new value and a new key each say what did not happen, and the values
// list shows no data the registry did not take.
TEST_F(ValueEditors, ChangesInAKeyDeletedBehindTheProgramsBackSayTheyFailed) {
  const String key = String(Data) + L"\\Gone";
  CreateKey(key);
  Write(key, L"Note", REG_SZ, Sz(L"old"));
  Write(key, L"Other", REG_SZ, Sz(L"o"));
  Start();
  ASSERT_NE(Open(L"Gone"), nullptr);
  ASSERT_TRUE(EditWith(L"Note", [](InputScript& s) { Type(s, L"new").Press(VK_RETURN); }));
  const String saved = L"String value saved.";
  ASSERT_EQ(Window->GetStatusText(), saved);
  DeleteTree(key);

  ASSERT_TRUE(EditWith(L"Note", [](InputScript& s) { Type(s, L"lost").Press(VK_RETURN); }, false));
  EXPECT_EQ(Window->GetStatusText(), L"Value not saved.");
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0].rfind(AppText::SaveFailed, 0), 0u) << WideToAnsi(Errors[0]);
  EXPECT_EQ(ValueText(ValueItem(L"Note")), L"new");

  Window->SetStatusText(saved);
  SelectOnly(Window->lvKeyValues, {L"Other"});
  Foreground(Window->lvKeyValues);
  testsupport::PressKey(VK_F2);
  ASSERT_TRUE(PumpUntil([&] { return Window->lvKeyValues->IsEditing(); }));
  InputScript().Text(L"Renamed").Press(VK_RETURN).Send();
  ASSERT_TRUE(PumpUntil([&] { return !Window->lvKeyValues->IsEditing(); }));
  EXPECT_EQ(Window->GetStatusText(), L"Value not renamed.");
  EXPECT_NE(ValueItem(L"Other"), nullptr);

  Window->SetStatusText(saved);
  TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrYes); };
  SelectOnly(Window->lvKeyValues, {L"Other"});
  Foreground(Window->lvKeyValues);
  testsupport::PressKey(VK_DELETE);
  EXPECT_EQ(Window->GetStatusText(), L"Value not deleted.");

  // Edit > New > String Value, and Edit > New > Key, from the keyboard.
  TBarView* bar = Window->tbrMainMenu->View();
  const int listed = Window->lvKeyValues->Items()->GetCount();
  for (const auto& [letter, status] : {std::pair<WORD, String>{'S', L"New value not added."},
                                       std::pair<WORD, String>{'K', L"New key not added."}}) {
    Window->SetStatusText(saved);
    Foreground(Window->treeRegTree);
    Script s;
    auto open = [](TBarView* View, TBarCustomItem* Item) {
      return View && View->OpenViewer && View->OpenViewerView && View->OpenViewer->Item == Item;
    };
    auto on = [&](TBarCustomItem* Item) {
      TBarView* menu = bar->OpenViewerView;
      return menu && menu->GetSelected() && menu->GetSelected()->Item == Item;
    };
    s.Steps = {{[] { return true; }, [] { Post('E', {VK_MENU}); }},
               // N also marks Re&name: it moves to New (unless New is marked), Right opens it.
               {[&] { return open(bar, Window->mnuEdit); },
                [&] {
                  if (!on(Window->mnuEdit_New)) Post('N');
                }},
               {[&] { return on(Window->mnuEdit_New); }, [] { Post(VK_RIGHT); }},
               {[&] { return open(bar->OpenViewerView, Window->mnuEdit_New); }, [l = letter] { Post(l); }},
               {[&] { return Window->GetStatusText() != saved; }, [] {}}};
    EXPECT_EQ(s.Run(10000), s.Steps.size()) << char(letter);
    EXPECT_EQ(Window->GetStatusText(), status);
  }
  EXPECT_EQ(Window->lvKeyValues->Items()->GetCount(), listed);
  EXPECT_FALSE(KeyExists(key));
}

}  // namespace
