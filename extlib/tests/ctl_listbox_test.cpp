// The text list box keeps its horizontal scroll range at its widest item.
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

}  // namespace
