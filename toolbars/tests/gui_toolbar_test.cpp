// Toolbars, docks, menus and pop-ups on real windows.
#include <gtest/gtest.h>

#include <memory>

#include "classlib/ImgList.h"
#include "classlib/tests/gui_support.h"
#include "toolbars/BarDock.h"
#include "toolbars/BarEditItem.h"
#include "toolbars/BarPopup.h"
#include "toolbars/BarToolbar.h"

using namespace guitest;

static ::testing::Environment* const kGuiEnv = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

namespace {

struct Host {
  std::unique_ptr<TForm> Form;
  TBarDock* Dock = nullptr;
  Host(int w = 500, int h = 300) {
    Form.reset(new TForm(Application));
    Form->SetBounds(40, 40, w, h);
    Dock = new TBarDock(Form.get());
    Dock->SetName(L"tbdTop");
    Dock->SetParent(Form.get());
  }
  TBarToolbar* AddToolbar(const String& Name, int Row, int Pos) {
    auto* t = new TBarToolbar(Form.get());
    t->SetName(Name);
    t->SetDockRow(Row);
    t->SetDockPos(Pos);
    t->SetParent(Dock);
    return t;
  }
  void Show() {
    Form->Show();
    Pump(50);
  }
};

TBarItem* AddItem(TBarCustomItem* Parent, const String& Caption, int* Clicks = nullptr) {
  auto* it = new TBarItem(Parent->GetOwner());
  it->SetCaption(Caption);
  if (Clicks) it->OnClick = [Clicks](TObject*) { ++*Clicks; };
  Parent->Add(it);
  return it;
}

TEST(BarToolbarLayout, ImageOnlyButtonMeasures23x22) {
  Host h;
  auto* t = h.AddToolbar(L"tbrTest", 0, 0);
  TCustomImageList il(nullptr, 16, 16);
  t->SetImages(&il);
  auto* b = AddItem(t->Items(), L"");
  b->SetImageIndex(0);
  h.Show();
  TBarItemViewer* v = t->View()->Find(b);
  EXPECT_EQ(v->BoundsRect.right - v->BoundsRect.left, 23);
  EXPECT_EQ(v->BoundsRect.bottom - v->BoundsRect.top, 22);
  // A combo is 11 wider; its drop-down part is outside the button part.
  auto* c = new TBarSubmenuItem(h.Form.get());
  c->SetDropdownCombo(true);
  c->SetImageIndex(0);
  t->Items()->Add(c);
  Pump(20);
  TBarItemViewer* cv = t->View()->Find(c);
  int cw = cv->BoundsRect.right - cv->BoundsRect.left;
  EXPECT_EQ(cw, 34);
  EXPECT_TRUE(cv->IsPtInButtonPart(cw - 12, 5));
  EXPECT_FALSE(cv->IsPtInButtonPart(cw - 11, 5));
}

TEST(BarToolbarLayout, DockedFrameSizes) {
  Host h;
  auto* t = h.AddToolbar(L"tbrFrame", 0, 0);
  AddItem(t->Items(), L"One");
  h.Show();
  EXPECT_EQ(t->CalcNCSizes().x, 4 + 6);  // single handle
  EXPECT_EQ(t->CalcNCSizes().y, 4);
  t->SetDragHandleStyle(dhDouble);
  EXPECT_EQ(t->CalcNCSizes().x, 4 + 9);
  t->SetDragHandleStyle(dhNone);
  EXPECT_EQ(t->CalcNCSizes().x, 4);
  t->SetCloseButtonWhenDocked(true);
  EXPECT_EQ(t->CalcNCSizes().x, 4 + 14);  // 14 with the close button, whatever the style
  RECT b = t->GetDockedCloseButtonRect(false);
  EXPECT_EQ(b.left, 3);
  EXPECT_EQ(b.top, 2);
  EXPECT_EQ(b.right - b.left, 11);
  // The client area is the window less the frame.
  RECT wr, cr;
  GetWindowRect(t->GetHandle(), &wr);
  GetClientRect(t->GetHandle(), &cr);
  EXPECT_EQ((wr.right - wr.left) - cr.right, 18);
  EXPECT_EQ((wr.bottom - wr.top) - cr.bottom, 4);
  // The dock is one row: the toolbar's height.
  EXPECT_EQ(h.Dock->GetHeight(), t->GetHeight());
}

}  // namespace
