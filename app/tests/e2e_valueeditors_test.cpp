// The value editors opened from the values list and used from the keyboard
// as a user does: what an opening starts with does not depend on what an
// earlier opening was left with.
#include "app/EditValueBin.h"
#include "app/tests/e2e_support.h"
#include "testsupport/Input.h"

using namespace e2e;

namespace {

// Sends the keys (or text) and returns at once: the dialog's modal loop
// reads them.
void Post(WORD Vk, const std::vector<WORD>& Mods = {}) { testsupport::InputScript().Press(Vk, Mods).Post(); }
void PostText(const std::wstring& Text) { testsupport::InputScript().Text(Text).Post(); }

class ValueEditors : public EditorTest {
 protected:
  // The binary editor up with the keyboard in its hex editor.
  bool BinaryEditorUp() {
    TfrmEditValueBin* ed = F.EditValueBin;
    return ed->GetVisible() && GetFocus() == ed->heValue->GetHandle();
  }
  bool BinaryEditorDown() { return !F.EditValueBin->GetVisible(); }
  std::string Stored(const String& Name) {
    DWORD type = 0;
    std::string raw;
    EXPECT_TRUE(Read(Data, Name, type, raw));
    EXPECT_EQ(type, DWORD(REG_BINARY));
    return raw;
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
    std::wstring Typed;
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

}  // namespace
