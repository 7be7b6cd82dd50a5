// The text list box keeps its horizontal scroll range at its widest item.
#include <cmath>

#include "classlib/Forms.h"
#include "testsupport/Gui.h"
#include "testsupport/Pump.h"
#include "extlib/ExCtlListBox.h"

using namespace testsupport;

namespace {

struct ListHost {
  std::unique_ptr<TForm> form;
  TTextListBox* list = nullptr;
  ListHost() {
    form.reset(new TForm(Application));
    form->SetBounds(50, 50, 300, 200);
    list = new TTextListBox(form.get());
    list->SetParent(form.get());
    list->SetBounds(10, 10, 120, 100);
    form->Show();
    list->HandleNeeded();
    Pump(20);
  }
  int Extent() { return int(SendMessageW(list->GetHandle(), LB_GETHORIZONTALEXTENT, 0, 0)); }
};

TEST(TextListBox, RangeFollowsTheWidestItem) {
  ListHost h;
  h.list->Items()->Add(L"short");
  int narrow = h.Extent();
  EXPECT_GT(narrow, 0);
  EXPECT_EQ(narrow, h.list->MaxItemWidth());
  h.list->Items()->Add(L"a considerably longer item than the other one");
  int wide = h.Extent();
  EXPECT_GT(wide, narrow);
  // Wider than the box: the horizontal scroll bar shows.
  EXPECT_TRUE(GetWindowLongW(h.list->GetHandle(), GWL_STYLE) & WS_HSCROLL);
  h.list->Items()->Insert(0, L"mid length item");
  EXPECT_EQ(h.Extent(), wide);
  // Deleting a narrower item leaves the range; deleting the widest shrinks it.
  h.list->Items()->Delete(0);
  EXPECT_EQ(h.Extent(), wide);
  h.list->Items()->Delete(1);
  EXPECT_EQ(h.Extent(), narrow);
  // A bigger font widens it; clearing resets it.
  h.list->Items()->Add(L"another fairly long entry in the list");
  int before = h.Extent();
  h.list->Font()->SetSize(h.list->Font()->GetSize() * 2);
  Pump(10);
  EXPECT_GT(h.Extent(), before);
  h.list->Items()->Clear();
  EXPECT_EQ(h.Extent(), 0);
  EXPECT_EQ(h.list->MaxItemWidth(), 0);
}

// With tab stops, a tabbed item reaches past its first stop, so the range
// covers the text the window shows after the tab.
TEST(TextListBox, TabbedItemsAreMeasuredToTheirTabStop) {
  ListHost h;
  h.list->SetTabWidth(60);
  h.list->HandleNeeded();
  h.list->Items()->Add(L"a\tb");
  HDC dc = GetDC(h.list->GetHandle());
  HGDIOBJ old = SelectObject(dc, h.list->Font()->GetHandle());
  SIZE zero{}, tail{};
  GetTextExtentPoint32W(dc, L"0", 1, &zero);
  GetTextExtentPoint32W(dc, L"bx", 2, &tail);
  SelectObject(dc, old);
  ReleaseDC(h.list->GetHandle(), dc);
  int stop = int(std::lround(60 * zero.cx * 0.25));
  EXPECT_EQ(h.Extent(), stop + tail.cx);
  EXPECT_EQ(h.list->MaxItemWidth(), h.Extent());
}

}  // namespace

#include "extlib/ExCheckListBox.h"
#include "extlib/tests/FormStream.h"

// Read into an empty form: the list is made by its class, with its lines
// and the list box's usual settings.
TEST(TextListBox, UsualPropertiesTravelInTheFormStream) {
  using namespace formstream;
  ExCheckListBoxInitialize();
  TMemoryStream S;
  auto Plain = NewForm(L"PlainTextLists");
  Place<TTextListBox>(Plain.get(), L"Names");
  Write(Plain.get(), S);
  ExpectNotStored(S, {"Style", "ItemHeight", "MultiSelect", "Sorted", "Items.Strings", "OnDrawItem"});
  // Nor the tab stop and colour a new list box starts with.
  for (const char* Name : {"TabStop", "Color"}) EXPECT_FALSE(HoldsAfter(S, "Names", Name)) << Name;

  auto Source = NewForm(L"SourceTextLists");
  auto* L = Place<TTextListBox>(Source.get(), L"Names");
  L->SetStyle(lbOwnerDrawFixed);
  L->SetItemHeight(22);
  L->SetMultiSelect(true);
  L->SetSorted(true);
  for (const wchar_t* Item : {L"pear", L"apple"}) L->Items()->Add(Item);
  auto Copy = NewForm(L"CopyTextLists");
  L->OnDrawItem = Offer<TDrawItemEvent>(L"NamesDraw", {Source.get(), Copy.get()});
  ExpectRoundTrip(Source.get(), Copy.get(), S);
  ExpectStored(S, {"Style", "ItemHeight", "MultiSelect", "Sorted", "Items.Strings", "OnDrawItem"});
  auto* R = dynamic_cast<TTextListBox*>(Copy->FindComponent(L"Names"));
  ASSERT_NE(R, nullptr);
  ASSERT_EQ(R->Items()->GetCount(), 2);
  EXPECT_EQ(R->Items()->Get(0), L"apple");
  EXPECT_EQ(R->GetItemHeight(), 22);
}
