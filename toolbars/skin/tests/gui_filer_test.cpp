// Themed items written to a stream and read back.
#include <gtest/gtest.h>

#include "classlib/ExtCtrls.h"
#include "classlib/Filer.h"
#include "toolbars/BarPopup.h"
#include "toolbars/skin/SkinExtItems.h"
#include "toolbars/skin/SkinFiler.h"
#include "toolbars/skin/SkinLists.h"

namespace {

class TFormRoot : public TComponent {
 public:
  TFormRoot() : TComponent(nullptr) { SetName(L"Root"); }
  const char* ClassName() const override { return "TFormRoot"; }
};

// The item container the items of a test are added to.
TBarItemContainer* Box(TComponent* Root) {
  auto* b = new TBarItemContainer(Root);
  b->SetName(L"Box");
  return b;
}

template <class T>
T* Make(TComponent* Root, TBarItemContainer* Box, const wchar_t* Name) {
  auto* i = new T(Root);
  i->SetName(Name);
  Box->Items()->Add(i);
  return i;
}

template <class T>
T* Find(TComponent* Root, const wchar_t* Name) {
  return dynamic_cast<T*>(Root->FindComponent(Name));
}

bool Holds(TMemoryStream& M, const std::string& Name) {
  const char* p = static_cast<const char*>(M.Memory());
  const std::string bytes(p, p + M.GetSize());
  return bytes.find(std::string(1, static_cast<char>(Name.size())) + Name) != std::string::npos;
}

TEST(SkinStreaming, ThemedItemsReadBackWhatTheyStored) {
  InitSkin();
  RegisterSkinClasses();
  TMemoryStream m;
  {
    TFormRoot src;
    TBarItemContainer* box = Box(&src);
    auto* e = Make<TSkinEditItem>(&src, box, L"Edit");
    e->SetAlignment(taCenter);
    e->SetPasswordChar(L'*');
    e->ReadOnly = true;
    e->SetShowImage(true);
    e->ExtendedAccept = true;
    e->FontSettings()->SetBold(tsTrue);
    e->FontSettings()->SetSize(150);
    e->FontSettings()->SetName(L"Tahoma");
    auto* s = Make<TSkinSpinEditItem>(&src, box, L"Spin");
    s->SetValueType(evtFloat);
    s->SetDecimal(3);
    s->SetIncrement(0.5);
    s->MinValue = -2;
    s->MaxValue = 20.5;
    s->SetPrefix(L"$");
    s->SetPostfix(L"kg");
    s->Snap = false;
    s->SetSpaceAfterPrefix(true);
    s->SetValue(12.25);
    auto* d = Make<TSkinDropDownItem>(&src, box, L"Drop");
    d->AlwaysSelectFirst = false;
    d->DropDownList = true;
    auto* c = Make<TSkinComboBoxItem>(&src, box, L"Combo");
    c->Strings()->Add(L"Apple");
    c->Strings()->Add(L"Apricot");
    c->AutoComplete = false;
    c->SetMaxVisibleItems(4);
    c->SetMinListWidth(80);
    c->SetMaxListWidth(200);
    c->SetShowListImages(true);
    c->SetText(L"Apricot");
    auto* l = Make<TSkinLabelItem>(&src, box, L"Label");
    l->SetLabelCaption(L"Find:");
    l->SetMargin(3);
    l->SetOrientation(skinoVertical);
    l->FontSettings()->SetItalic(tsFalse);
    auto* col = Make<TSkinColorItem>(&src, box, L"Colour");
    col->SetColor(0x123456);
    col->SetMinWidth(40);
    col->SetLayout(skinlGlyphTop);
    col->SetStretch(true);
    auto* panel = new TPanel(&src);
    panel->SetName(L"pnlTree");
    auto* toggle = Make<TSkinVisibilityToggleItem>(&src, box, L"ShowTree");
    toggle->SetControl(panel);
    auto* mru = new TSkinMRUList(&src);
    mru->SetName(L"mru");
    mru->SetKeyShift(2);
    mru->SetMaxItems(6);  // more names than the default keeps
    for (const wchar_t* n : {L"C:\\a.reg", L"C:\\b.reg", L"C:\\c.reg", L"C:\\d.reg", L"C:\\e.reg"})
      mru->GetItems()->Add(n);
    mru->Prefix = L"File";
    mru->AddFullPath = false;
    mru->SetHidePathExtension(false);
    auto* mi = Make<TSkinMRUListItem>(&src, box, L"Recent");
    mi->SetMRUList(mru);
    Make<TSkinMRUListItem>(&src, box, L"Unnamed")->SetCaption(L"");
    auto* list = Make<TSkinStringList>(&src, box, L"Strings");
    list->Strings()->Add(L"one");
    list->Strings()->Add(L"two");
    list->ShowImages = true;
    list->MaxWidth = 300;
    list->MaxVisibleItems = 5;
    list->SetItemIndex(1);
    auto* undo = Make<TSkinUndoList>(&src, box, L"Undo");
    undo->Strings()->Add(L"Rename");
    undo->SetMinWidth(0);
    Make<TSkinSeparatorItem>(&src, box, L"Gap")->SetSize(9);
    Make<TSkinSubmenuItem>(&src, box, L"Split")->SetDropdownCombo(true);
    TWriter(&m).WriteRootComponent(&src);
  }
  TFormRoot dst;
  new TPanel(&dst);  // the form's own panel, found by name
  dst.GetComponent(0)->SetName(L"pnlTree");
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(&dst);

  auto* e = Find<TSkinEditItem>(&dst, L"Edit");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->GetAlignment(), taCenter);
  EXPECT_EQ(e->GetPasswordChar(), L'*');
  EXPECT_TRUE(e->ReadOnly);
  EXPECT_TRUE(e->GetShowImage());
  EXPECT_TRUE(e->ExtendedAccept);
  EXPECT_EQ(e->FontSettings()->GetBold(), tsTrue);
  EXPECT_EQ(e->FontSettings()->GetSize(), 150);
  EXPECT_EQ(e->FontSettings()->GetName(), L"Tahoma");
  EXPECT_EQ(e->FontSettings()->GetItalic(), tsDefault);

  auto* s = Find<TSkinSpinEditItem>(&dst, L"Spin");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->GetValueType(), evtFloat);
  EXPECT_EQ(s->GetDecimal(), 3);
  EXPECT_DOUBLE_EQ(s->GetIncrement(), 0.5);
  EXPECT_DOUBLE_EQ(s->MinValue, -2);
  EXPECT_DOUBLE_EQ(s->MaxValue, 20.5);
  EXPECT_FALSE(s->Snap);
  EXPECT_DOUBLE_EQ(s->GetValue(), 12.25);
  EXPECT_EQ(s->GetText(), L"$ 12.250kg");
  EXPECT_EQ(s->GetAlignment(), taRightJustify);

  auto* d = Find<TSkinDropDownItem>(&dst, L"Drop");
  ASSERT_NE(d, nullptr);
  EXPECT_FALSE(d->AlwaysSelectFirst);
  EXPECT_TRUE(d->DropDownList);

  auto* c = Find<TSkinComboBoxItem>(&dst, L"Combo");
  ASSERT_NE(c, nullptr);
  ASSERT_EQ(c->Strings()->GetCount(), 2);
  EXPECT_EQ(c->Strings()->Get(1), L"Apricot");
  EXPECT_FALSE(c->AutoComplete);
  EXPECT_EQ(c->GetMaxVisibleItems(), 4);
  EXPECT_EQ(c->GetMinListWidth(), 80);
  EXPECT_EQ(c->GetMaxListWidth(), 200);
  EXPECT_TRUE(c->GetShowListImages());
  EXPECT_EQ(c->GetItemIndex(), 1);  // the text names the second string
  ASSERT_EQ(c->Count(), 1);         // its own list, once
  EXPECT_EQ(c->GetItem(0), c->List());

  auto* l = Find<TSkinLabelItem>(&dst, L"Label");
  ASSERT_NE(l, nullptr);
  EXPECT_EQ(l->GetLabelCaption(), L"Find:");
  EXPECT_EQ(l->GetCaption(), L"");
  EXPECT_EQ(l->GetMargin(), 3);
  EXPECT_EQ(l->GetOrientation(), skinoVertical);
  EXPECT_EQ(l->FontSettings()->GetItalic(), tsFalse);

  auto* col = Find<TSkinColorItem>(&dst, L"Colour");
  ASSERT_NE(col, nullptr);
  EXPECT_EQ(col->GetColor(), 0x123456);
  EXPECT_EQ(col->GetMinWidth(), 40);
  EXPECT_EQ(col->GetLayout(), skinlGlyphTop);
  EXPECT_TRUE(col->GetStretch());

  auto* toggle = Find<TSkinVisibilityToggleItem>(&dst, L"ShowTree");
  ASSERT_NE(toggle, nullptr);
  EXPECT_EQ(toggle->GetControl(), dst.FindComponent(L"pnlTree"));

  auto* mru = Find<TSkinMRUList>(&dst, L"mru");
  auto* mi = Find<TSkinMRUListItem>(&dst, L"Recent");
  ASSERT_TRUE(mru && mi);
  EXPECT_EQ(mru->GetKeyShift(), 2);
  EXPECT_EQ(mru->GetMaxItems(), 6);
  ASSERT_EQ(mru->GetItems()->GetCount(), 5);
  EXPECT_EQ(mru->GetItems()->Get(4), L"C:\\e.reg");
  EXPECT_EQ(mru->Prefix, L"File");
  EXPECT_FALSE(mru->AddFullPath);
  EXPECT_FALSE(mru->GetHidePathExtension());
  ASSERT_EQ(mru->GetItemContainer()->Count(), 5);  // its menu items are back too
  EXPECT_EQ(mru->GetItemContainer()->GetItem(0)->GetCaption(), L"&3 C:\\a.reg");
  EXPECT_EQ(mi->GetMRUList(), mru);
  EXPECT_EQ(mi->GetCaption(), L"(Skin MRU List)");
  EXPECT_EQ(Find<TSkinMRUListItem>(&dst, L"Unnamed")->GetCaption(), L"");

  auto* list = Find<TSkinStringList>(&dst, L"Strings");
  ASSERT_NE(list, nullptr);
  ASSERT_EQ(list->Strings()->GetCount(), 2);
  EXPECT_EQ(list->Strings()->Get(1), L"two");
  EXPECT_TRUE(list->ShowImages);
  EXPECT_EQ(list->MaxWidth, 300);
  EXPECT_EQ(list->MaxVisibleItems, 5);
  EXPECT_EQ(list->GetItemIndex(), 1);
  EXPECT_EQ(list->GetMinWidth(), 32);
  auto* undo = Find<TSkinUndoList>(&dst, L"Undo");
  ASSERT_NE(undo, nullptr);
  ASSERT_EQ(undo->Strings()->GetCount(), 1);
  EXPECT_EQ(undo->Strings()->Get(0), L"Rename");
  EXPECT_EQ(undo->GetMinWidth(), 0);
  EXPECT_FALSE(undo->ShowImages);
  EXPECT_EQ(undo->MaxVisibleItems, 8);
  EXPECT_EQ(undo->GetItemIndex(), -1);
  EXPECT_EQ(Find<TSkinSeparatorItem>(&dst, L"Gap")->GetSize(), 9);
  EXPECT_TRUE(Find<TSkinSubmenuItem>(&dst, L"Split")->GetDropdownCombo());
}

// A combo box's list is what drops down, so it is the item's sub-item at
// run time; a designed combo box has none, made in code or read.
TEST(SkinStreaming, ComboBoxHoldsItsListOnlyOutsideDesign) {
  InitSkin();
  RegisterSkinClasses();
  TMemoryStream m;
  {
    TFormRoot src;
    TBarItemContainer* box = Box(&src);
    auto* c = Make<TSkinComboBoxItem>(&src, box, L"Combo");
    ASSERT_EQ(c->Count(), 1);
    EXPECT_EQ(c->GetItem(0), c->List());
    c->Strings()->Add(L"Apple");
    TWriter(&m).WriteRootComponent(&src);
  }
  TFormRoot designed;
  designed.SetDesigning(true);
  auto* made = new TSkinComboBoxItem(&designed);
  EXPECT_EQ(made->Count(), 0);
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(&designed);
  auto* read = Find<TSkinComboBoxItem>(&designed, L"Combo");
  ASSERT_NE(read, nullptr);
  EXPECT_EQ(read->Count(), 0);
  EXPECT_EQ(read->Strings()->GetCount(), 1);
  TFormRoot run;
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(&run);
  read = Find<TSkinComboBoxItem>(&run, L"Combo");
  ASSERT_NE(read, nullptr);
  ASSERT_EQ(read->Count(), 1);
  EXPECT_EQ(read->GetItem(0), read->List());
  // A form put into design afterwards takes the list from the combo box,
  // and gives it back when it runs again.
  run.SetDesigning(true);
  EXPECT_EQ(read->Count(), 0);
  run.SetDesigning(false);
  ASSERT_EQ(read->Count(), 1);
  EXPECT_EQ(read->GetItem(0), read->List());
}

TEST(SkinStreaming, DefaultsAreNotStored) {
  InitSkin();
  RegisterSkinClasses();
  TFormRoot src;
  TBarItemContainer* box = Box(&src);
  Make<TSkinSpinEditItem>(&src, box, L"Spin");
  Make<TSkinComboBoxItem>(&src, box, L"Combo");
  Make<TSkinColorItem>(&src, box, L"Colour");
  Make<TSkinLabelItem>(&src, box, L"Label");
  Make<TSkinMRUListItem>(&src, box, L"Recent");
  (new TSkinMRUList(&src))->SetName(L"mru");
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(&src);
  for (const char* name : {"Increment", "MinValue", "MaxValue", "Value", "Alignment", "Decimal", "Snap", "Strings",
                           "MinListWidth", "MaxVisibleItems", "AutoComplete", "Color", "Margin", "Caption",
                           "FontSettings.Size", "MinWidth", "TSkinStringList", "MaxItems", "Prefix",
                           "AddFullPath", "HidePathExtension", "Items"})
    EXPECT_FALSE(Holds(m, name)) << name;
  // A value away from its default is.
  auto* s = Find<TSkinSpinEditItem>(&src, L"Spin");
  s->SetIncrement(2);
  TMemoryStream m2;
  TWriter(&m2).WriteRootComponent(&src);
  EXPECT_TRUE(Holds(m2, "Increment"));
  EXPECT_FALSE(Holds(m2, "Value"));
}

// A spin item's text is its value's while it reads as what the value gives:
// only a text that says something else is stored, and read after the value.
TEST(SkinStreaming, SpinTextIsStoredOnlyWhenItIsNotTheValues) {
  InitSkin();
  RegisterSkinClasses();
  TFormRoot src;
  auto* s = Make<TSkinSpinEditItem>(&src, Box(&src), L"Spin");
  auto Stream = [&] {
    TMemoryStream m;
    TWriter(&m).WriteRootComponent(&src);
    return std::string(static_cast<const char*>(m.Memory()), static_cast<size_t>(m.GetSize()));
  };
  auto HoldsText = [](const std::string& b) { return b.find("\x04Text") != std::string::npos; };
  EXPECT_FALSE(HoldsText(Stream()));  // "0"
  s->SetValue(12);
  EXPECT_FALSE(HoldsText(Stream()));  // "12"
  s->SetText(L"twelve");
  const std::string b = Stream();
  EXPECT_TRUE(HoldsText(b));
  TFormRoot dst;
  Make<TSkinSpinEditItem>(&dst, Box(&dst), L"Spin");
  TMemoryStream in;
  in.WriteBuffer(b.data(), static_cast<int64_t>(b.size()));
  in.SetPosition(0);
  TReader(&in).ReadRootComponent(&dst);
  EXPECT_EQ(Find<TSkinSpinEditItem>(&dst, L"Spin")->GetText(), L"twelve");
}

}  // namespace
