// Themed edit and spin-edit items in a toolbar.
#include <gtest/gtest.h>

#include <memory>

#include <atomic>
#include <thread>

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
// What a viewer paints over a fill of one colour, pixel by pixel.
struct Picture {
  int W = 0, H = 0;
  std::vector<COLORREF> Px;
  COLORREF At(int X, int Y) const { return Px[static_cast<size_t>(Y * W + X)]; }
};
Picture PaintOf(TBarItemViewer* V, COLORREF Fill) {
  Picture p;
  p.W = V->BoundsRect.right - V->BoundsRect.left;
  p.H = V->BoundsRect.bottom - V->BoundsRect.top;
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, p.W, p.H);
  ReleaseDC(nullptr, screen);
  HGDIOBJ old = SelectObject(dc, bmp);
  RECT all{0, 0, p.W, p.H};
  HBRUSH b = CreateSolidBrush(Fill);
  FillRect(dc, &all, b);
  DeleteObject(b);
  TCanvas c;
  c.SetHandle(dc);
  V->Paint(&c, all, false, false, false);
  c.SetHandle(nullptr);
  for (int y = 0; y < p.H; ++y)
    for (int x = 0; x < p.W; ++x) p.Px.push_back(GetPixel(dc, x, y));
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);
  return p;
}
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
  // The password item paints exactly what an item showing the stars would.
  auto* stars = new TSkinEditItem(h.Form.get());
  stars->SetText(L"******");
  h.Bar->Items()->Add(stars);
  h.Bar->View()->ValidatePositions();
  const COLORREF white = RGB(255, 255, 255);
  std::vector<COLORREF> starred = PaintOf(h.Bar->View()->Find(stars), white).Px;
  EXPECT_EQ(PaintOf(v, white).Px, starred);
  e->SetPasswordChar(0);
  EXPECT_NE(PaintOf(v, white).Px, starred);  // and the text itself once the character goes

  EditHost vh(dpLeft);
  auto* ve = new TSkinEditItem(vh.Form.get());
  ve->SetCaption(L"Path");
  vh.Bar->Items()->Add(ve);
  vh.Show();
  TBarItemViewer* vv = vh.Bar->View()->Find(ve);
  EXPECT_FALSE(dynamic_cast<TSkinEditItemViewer*>(vv));  // shown as a button
  EXPECT_TRUE(dynamic_cast<TSkinItemViewer*>(vv));
  // As a button it measures its caption in its own font.
  auto* bold = new TSkinEditItem(vh.Form.get());
  bold->SetCaption(L"Path");
  bold->FontSettings()->SetBold(tsTrue);
  auto* big = new TSkinEditItem(vh.Form.get());
  big->SetCaption(L"Path");
  big->FontSettings()->SetSize(150);
  vh.Bar->Items()->Add(bold);
  vh.Bar->Items()->Add(big);
  vh.Bar->View()->ValidatePositions();
  auto width = [&](TBarCustomItem* I) {
    const RECT r = vh.Bar->View()->Find(I)->BoundsRect;
    return r.right - r.left;
  };
  auto height = [&](TBarCustomItem* I) {
    const RECT r = vh.Bar->View()->Find(I)->BoundsRect;
    return r.bottom - r.top;
  };
  EXPECT_GT(std::max(width(bold), height(bold)), std::max(width(ve), height(ve)));
  EXPECT_GT(width(big), width(ve));
}

// A click opens the field: the edit control takes the item's look, is named
// after its viewer, and its keys and changes come back through the viewer.
TEST(SkinEditItems, AClickOpensAFieldThatTheItemAndItsViewerDrive) {
  EditHost h;
  auto* e = new TSkinEditItem(h.Form.get());
  e->SetAlignment(taCenter);
  e->SetPasswordChar(L'*');
  e->FontSettings()->SetBold(tsTrue);
  h.Bar->Items()->Add(e);
  auto* s = new TSkinSpinEditItem(h.Form.get());
  h.Bar->Items()->Add(s);
  h.Show();
  auto* ev = dynamic_cast<TSkinEditItemViewer*>(h.Bar->View()->Find(e));
  auto* sv = dynamic_cast<TSkinSpinEditViewer*>(h.Bar->View()->Find(s));
  ASSERT_TRUE(ev && sv);
  std::atomic<int> began{0}, changes{0};
  String name, typed;
  LONG_PTR style = 0;
  wchar_t password = 0;
  bool bold = false;
  e->OnBeginEdit = [&](TBarEditItem*, TBarEditItemViewer*, TEdit*) { ++began; };
  s->OnBeginEdit = [&](TBarEditItem*, TBarEditItemViewer*, TEdit*) { ++began; };
  e->OnChange = TSkinEditChange([&](TObject*, const String& T) {
    typed = T;
    if (TEdit* c = ev->EditControl) {
      name = c->GetName();
      style = GetWindowLongPtrW(c->GetHandle(), GWL_STYLE);
      password = static_cast<wchar_t>(SendMessageW(c->GetHandle(), EM_GETPASSWORDCHAR, 0, 0));
      bold = c->Font()->GetStyle().Contains(fsBold);
    }
    ++changes;
  });
  auto wait = [](std::atomic<int>& N, int Want) {
    for (int i = 0; i < 500 && N < Want; ++i) Sleep(10);
  };
  const POINT ep = ScreenPoint(h.Bar->GetHandle(), ev->BoundsRect.left + 8, (ev->BoundsRect.top + ev->BoundsRect.bottom) / 2);
  const POINT sp = ScreenPoint(h.Bar->GetHandle(), sv->BoundsRect.left + 8, (sv->BoundsRect.top + sv->BoundsRect.bottom) / 2);
  ASSERT_TRUE(RunInput([&] {
    InputScript().Click(ep).Post();
    wait(began, 1);
    InputScript().Text(L"xy").Post();
    wait(changes, 2);
    InputScript().Press(VK_RETURN).Post();
    Sleep(100);
    InputScript().Click(sp).Post();
    wait(began, 2);
    InputScript().Press(VK_UP).Press(VK_UP).Post();
    Sleep(200);
    InputScript().Press(VK_RETURN).Post();
  }, 20000));
  EXPECT_TRUE(PumpUntil([&] { return !sv->EditControl; }, 5000));
  EXPECT_EQ(typed, L"xy");
  EXPECT_EQ(e->GetText(), L"xy");
  EXPECT_EQ(name.find(L"TSkinEditItemViewer_edit_control_"), 0u) << name.c_str();
  EXPECT_EQ(style & (ES_CENTER | ES_RIGHT), ES_CENTER);
  EXPECT_EQ(password, L'*');
  EXPECT_TRUE(bold);
  EXPECT_EQ(s->GetText(), L"2");  // the arrow keys reach the spin item through the viewer
  EXPECT_TRUE(ShownExceptions().empty());
}

// In a menu the box starts at the caption's gap, and the open field lies
// inside the box's frame.
TEST(SkinEditItems, MenuEditBoxStartsAtTheCaptionAndHoldsItsField) {
  InitSkin();
  std::unique_ptr<TSkinSubmenuItem> parent(new TSkinSubmenuItem(nullptr));
  auto* e = new TSkinEditItem(parent.get());
  e->SetEditCaption(L"Name");
  parent->Add(e);
  std::unique_ptr<TBarPopupWindow> w(parent->GetPopupWindowClass()(nullptr, nullptr, parent.get(), false));
  w->View->UpdatePositions();
  auto* v = dynamic_cast<TSkinEditItemViewer*>(w->View->Find(e));
  ASSERT_NE(v, nullptr);
  const Picture p = PaintOf(v, RGB(255, 0, 255));
  RECT er;
  v->GetEditRect(er);
  OffsetRect(&er, -v->BoundsRect.left, -v->BoundsRect.top);
  // The field (window colour) left of the edit rectangle's start, across
  // the row's middle.
  const COLORREF field = ColorToRef(clWindow);
  const int y = p.H / 2;
  const bool fieldThere = p.At(er.left + 2, y) == field;
  int fieldLeft = er.left + 2;
  while (fieldLeft > 0 && p.At(fieldLeft - 1, y) == field) --fieldLeft;
  ASSERT_TRUE(fieldThere);
  EXPECT_LE(fieldLeft, er.left);  // the control opens inside the field, clear of the frame
  EXPECT_GE(fieldLeft, er.left - 3);
}

// Editing started by the program: the item shows checked while its field
// is open; typed text accepted with Enter is a change, text dropped with
// Escape is not.
TEST(SkinEditItems, StartEditingReportsWhetherTheTextChanged) {
  EditHost h;
  auto* e = new TSkinEditItem(h.Form.get());
  e->SetText(L"old");
  h.Bar->Items()->Add(e);
  h.Show();
  SetForegroundWindow(h.Form->GetHandle());
  Pump(30);
  std::atomic<int> began{0};
  bool checkedWhileOpen = false;
  e->OnBeginEdit = [&](TBarEditItem*, TBarEditItemViewer*, TEdit*) {
    checkedWhileOpen = e->GetChecked();
    ++began;
  };
  auto edit = [&](const std::wstring& Text, WORD EndKey) {
    const int want = began + 1;
    std::thread typist([&, want] {
      for (int i = 0; i < 500 && began < want; ++i) Sleep(10);
      InputScript().Text(Text).Wait(50).Press(EndKey).Post();
    });
    const bool changed = e->StartEditing(h.Bar->View());
    typist.join();
    return changed;
  };
  EXPECT_TRUE(edit(L"new", VK_RETURN));
  EXPECT_TRUE(checkedWhileOpen);
  EXPECT_FALSE(e->GetChecked());
  EXPECT_EQ(e->GetText(), L"new");
  checkedWhileOpen = false;
  EXPECT_FALSE(edit(L"dropped", VK_ESCAPE));
  EXPECT_TRUE(checkedWhileOpen);
  EXPECT_FALSE(e->GetChecked());
  EXPECT_EQ(e->GetText(), L"new");
  EXPECT_TRUE(ShownExceptions().empty());
}
