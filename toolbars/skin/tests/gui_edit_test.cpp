// Themed edit and spin-edit items in a toolbar.
#include <gtest/gtest.h>

#include <memory>

#include <atomic>

#include "classlib/Forms.h"
#include "testsupport/Gui.h"
#include "testsupport/Pump.h"
#include "testsupport/Input.h"
#include "toolbars/skin/SkinEditItems.h"
#include "toolbars/skin/SkinWindows.h"

using namespace testsupport;
using testsupport::InputScript;

namespace {
struct EditHost {
  std::unique_ptr<TForm> Form;
  TSkinDock* Dock;
  TSkinToolbar* Bar;
  explicit EditHost(TBarDockPosition Pos = dpTop) {
    Form.reset(new TForm(Application));
    Form->SetBounds(50, 50, 500, 300);
    Dock = new TSkinDock(Form.get());
    Dock->SetPosition(Pos);
    Dock->SetParent(Form.get());
    Bar = new TSkinToolbar(Form.get());
    Bar->SetName(L"tbrEdit");
    Bar->SetParent(Dock);
  }
  void Show() {
    Form->Show();
    Pump(50);
    Bar->View()->ValidatePositions();
  }
  // A spin edit added to the bar, the bar shown; the spin edit's viewer.
  TSkinSpinEditViewer* ShowSpin(TSkinSpinEditItem*& Item) {
    Item = new TSkinSpinEditItem(Form.get());
    Bar->Items()->Add(Item);
    Show();
    return dynamic_cast<TSkinSpinEditViewer*>(Bar->View()->Find(Item));
  }
};
}  // namespace

TEST(SkinEditItems, SpinValueFollowsTypingAndTab) {
  EditHost h;
  auto* s = new TSkinSpinEditItem(h.Form.get());
  s->MinValue = 0;
  s->MaxValue = 10;
  h.Bar->Items()->Add(s);
  h.Show();
  EXPECT_EQ(s->GetText(), L"0");
  EXPECT_EQ(s->GetAlignment(), taRightJustify);
  std::vector<double> changes;
  s->OnValueChange = TEvent<void(TObject*, double)>([&](TObject*, double v) { changes.push_back(v); });
  String seenText;
  s->OnChange = TSkinEditChange([&](TObject* Sender, const String& T) {
    EXPECT_EQ(Sender, s);
    seenText = T;
  });
  // Typing 15 (the edit control's change): accepted as 10, the text stays.
  s->DoChange(nullptr, L"15");
  EXPECT_EQ(seenText, L"15");
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_DOUBLE_EQ(changes[0], 10);
  EXPECT_DOUBLE_EQ(s->LastValue(), 10);
  s->DoChange(nullptr, L"garbage");  // no parse: nothing changes, no error
  EXPECT_EQ(changes.size(), 1u);
  auto* v = dynamic_cast<TSkinSpinEditViewer*>(h.Bar->View()->Find(s));
  ASSERT_NE(v, nullptr);
  TMessage tab{WM_CHAR, 9, 0, 0};
  EXPECT_FALSE(v->HandleEditMessage(tab));  // Tab rewrites the text, passes on
  EXPECT_EQ(s->GetText(), L"10");
  TMessage down{WM_KEYDOWN, VK_DOWN, 0, 0};
  EXPECT_TRUE(v->HandleEditMessage(down));
  EXPECT_EQ(s->GetText(), L"9");
  EXPECT_EQ(v->GetAccRole(), 52);
}

TEST(SkinEditItems, SpinPropertiesValidateTheirValues) {
  EditHost h;
  auto* s = new TSkinSpinEditItem(h.Form.get());
  h.Bar->Items()->Add(s);
  try {
    s->SetIncrement(0);
    FAIL();
  } catch (const EPropertyError& e) {
    EXPECT_EQ(e.Message(), L"Increment should be a positive value");
  }
  EXPECT_THROW(s->SetPrefix(L"a b"), EPropertyError);
  EXPECT_THROW(s->SetPostfix(L"m2"), EPropertyError);
  s->SetValueType(evtFloat);
  s->SetIncrement(2.6);
  s->SetValue(7);
  EXPECT_EQ(s->GetText(), L"7.00");
  s->SetPostfix(L"kg");
  s->SetSpaceBeforePostfix(true);
  EXPECT_EQ(s->GetText(), L"7.00 kg");
  EXPECT_DOUBLE_EQ(s->GetValue(), 7);
  s->SetValueType(evtInteger);  // the increment becomes a whole step
  EXPECT_DOUBLE_EQ(s->GetIncrement(), 3);
  EXPECT_EQ(s->GetText(), L"7 kg");
  s->SetIncrement(5);
  s->ClickUp();
  EXPECT_EQ(s->GetText(), L"10 kg");
  s->ClickDown();
  EXPECT_EQ(s->GetText(), L"5 kg");
}

TEST(SkinEditItems, SpinButtonsRepeatWhileHeld) {
  EditHost h;
  TSkinSpinEditItem* s = nullptr;
  TSkinSpinEditViewer* v = h.ShowSpin(s);
  ASSERT_NE(v, nullptr);
  EXPECT_EQ(v->GetIndentAfter(), CurrentSkinTheme()->GetIntegerMetrics(65) + 2);
  int w = v->BoundsRect.right - v->BoundsRect.left;
  EXPECT_TRUE(v->IsPtInButtonPart(2, 2));
  EXPECT_FALSE(v->IsPtInButtonPart(w - 2, 2));
  // The press is played to the viewer with the pointer away from the bar:
  // the release then ends the press only (over the item it opens the field,
  // as the next test shows).
  testsupport::MoveMouse(testsupport::ParkingPlace());
  bool onMenu = false;
  v->MouseDown(0, w - 3, 1, onMenu);
  EXPECT_EQ(v->PressedButton(), 1);
  EXPECT_EQ(s->GetText(), L"1");
  ASSERT_NE(v->RepeatTimer(), nullptr);
  EXPECT_EQ(v->RepeatTimer()->GetInterval(), 400u);
  v->TimerTick(nullptr);
  EXPECT_EQ(v->RepeatTimer()->GetInterval(), 100u);
  EXPECT_EQ(s->GetText(), L"2");
  v->MouseUp(w - 3, 1, false);
  EXPECT_EQ(v->PressedButton(), 0);
  EXPECT_EQ(v->RepeatTimer(), nullptr);
  h.Bar->View()->CancelCapture();
}

// A real press on the upper spin button: the value steps at once and again
// while the button is held; the release ends the press.
TEST(SkinEditItems, SpinButtonPressedWithTheMouseRepeatsUntilReleased) {
  EditHost h;
  TSkinSpinEditItem* s = nullptr;
  TSkinSpinEditViewer* v = h.ShowSpin(s);
  ASSERT_NE(v, nullptr);
  std::vector<double> values;
  std::vector<unsigned> intervals;
  std::atomic<int> changes{0};
  s->OnValueChange = TEvent<void(TObject*, double)>([&](TObject*, double x) {
    values.push_back(x);
    intervals.push_back(v->RepeatTimer() ? v->RepeatTimer()->GetInterval() : 0u);
    ++changes;
  });
  const POINT up = testsupport::ScreenPoint(v->View->Window->GetHandle(), v->BoundsRect.right - 3,
                                            v->BoundsRect.top + 2);
  ASSERT_TRUE(testsupport::RunInput([&] {
    InputScript().Move(up).Down().Post();
    for (int i = 0; i < 1000 && changes < 3; ++i) Sleep(10);  // the press and two repeats
    InputScript().Up().Post();
    Sleep(100);
    InputScript().Press(VK_ESCAPE).Post();  // closes the field should one be open
  }, 20000));
  ASSERT_GE(values.size(), 3u);
  EXPECT_EQ(values[0], 1);
  EXPECT_EQ(values[1], 2);
  EXPECT_EQ(values[2], 3);
  EXPECT_EQ(intervals[1], 100u);  // after the first repeat, every 100 ms
  EXPECT_EQ(v->PressedButton(), 0);
  EXPECT_EQ(v->RepeatTimer(), nullptr);
  EXPECT_EQ(v->EditControl, nullptr);
  EXPECT_TRUE(ShownExceptions().empty());
}

TEST(SkinEditItems, LayoutInToolbarsAndVerticalDocks) {
  EditHost h;
  auto* e = new TSkinEditItem(h.Form.get());
  e->SetText(L"secret");
  e->SetPasswordChar(L'*');
  h.Bar->Items()->Add(e);
  h.Show();
  TBarItemViewer* v = h.Bar->View()->Find(e);
  ASSERT_TRUE(dynamic_cast<TSkinEditItemViewer*>(v));
  EXPECT_EQ((v->BoundsRect.bottom - v->BoundsRect.top) % 2, 1);  // the Default theme makes odd heights
  EXPECT_EQ(v->BoundsRect.right - v->BoundsRect.left, e->GetEditWidth());
  h.Bar->Invalidate();
  Pump(50);
  EXPECT_TRUE(ShownExceptions().empty());

  EditHost vh(dpLeft);
  auto* ve = new TSkinEditItem(vh.Form.get());
  ve->SetCaption(L"Path");
  vh.Bar->Items()->Add(ve);
  vh.Show();
  TBarItemViewer* vv = vh.Bar->View()->Find(ve);
  EXPECT_FALSE(dynamic_cast<TSkinEditItemViewer*>(vv));  // shown as a button
  EXPECT_TRUE(dynamic_cast<TSkinItemViewer*>(vv));
}
