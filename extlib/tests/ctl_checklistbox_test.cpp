// The extended list box and check list box over the system list box:
// horizontal scroll range, index errors, check states and their storage,
// radio buttons and the window's re-creation.
#include "classlib/Forms.h"
#include "testsupport/Gui.h"
#include "testsupport/Pump.h"
#include "classlib/Filer.h"
#include "extlib/ExCheckListBox.h"
#include "extlib/ExFileUtil.h"
#include "extlib/ExFormStorage.h"
#include "extlib/ExPlacementForm.h"
#include "extlib/tests/FormStream.h"
#include "classlib/ExtCtrls.h"
#include "testsupport/Input.h"
#include "testsupport/Registry.h"
#include "classlib/Registry.h"

using namespace testsupport;

namespace {

class TChecksForm : public TForm {
 public:
  using TForm::TForm;
  const char* ClassName() const override { return "TChecksForm"; }
};

struct ListHost {
  std::unique_ptr<TForm> form;
  explicit ListHost(const wchar_t* name = L"ChecksForm") {
    form.reset(new TChecksForm(Application));
    form->SetName(name);
    form->SetBounds(40, 40, 300, 250);
    form->Show();
    Pump(20);
  }
  template <class L>
  L* Add(const std::vector<String>& items = {}, const String& name = L"List") {
    auto* l = new L(form.get());
    l->SetName(name);
    l->SetParent(form.get());
    l->SetBounds(10, 10, 150, 150);
    for (auto& s : items) l->Items()->Add(s);
    return l;
  }
};

}  // namespace

TEST(ExtListBox, HorizontalRangeFollowsTheWidestItem) {
  ListHost h;
  auto* l = h.Add<TExtCustomListBox>();
  EXPECT_FALSE(l->GetAutoScroll());
  l->SetAutoScroll(true);
  l->Items()->Add(L"short");
  int shortW = l->MaxItemWidth();
  l->Items()->Add(L"a considerably longer item than the other one");
  int wide = l->MaxItemWidth();
  EXPECT_GT(wide, shortW);
  l->Items()->Add(L"mid-size item");
  l->Items()->Delete(2);  // narrower: the range stays
  EXPECT_EQ(l->MaxItemWidth(), wide);
  l->Items()->Delete(1);  // the widest: the range shrinks
  EXPECT_EQ(l->MaxItemWidth(), shortW);
  l->Items()->Clear();
  EXPECT_EQ(l->MaxItemWidth(), 0);
  // Several columns switch the rule off.
  l->Items()->Add(L"something");
  l->SetColumns(2);
  l->Items()->Add(L"a considerably longer item than the other one");
  EXPECT_EQ(l->Items()->GetCount(), 2);  // kept across the re-creation
}

TEST(ExtListBox, AssigningTheDrawingEventsMeasuresAnew) {
  ListHost h;
  auto* l = h.Add<TExtCustomListBox>();
  l->SetStyle(lbOwnerDrawFixed);
  l->SetAutoScroll(true);
  l->Items()->Add(L"an item wide enough to scroll sideways in this list");
  int textW = l->MaxItemWidth();
  SendMessageW(l->Handle(), WM_HSCROLL, SB_LINERIGHT, 0);
  ASSERT_GT(GetScrollPos(l->Handle(), SB_HORZ), 0);
  // Widths come from the event only while both events are assigned.
  l->SetOnGetItemWidth(TGetItemWidthEvent([](TWinControl*, int, int& W) { W = 500; }));
  EXPECT_EQ(l->MaxItemWidth(), textW);
  l->SetOnDrawItem(TDrawItemEvent([](TWinControl*, int, TRect, TOwnerDrawState) {}));
  EXPECT_EQ(l->MaxItemWidth(), 500);
  EXPECT_EQ(GetScrollPos(l->Handle(), SB_HORZ), 0);  // back at the left edge
  l->SetOnDrawItem(TDrawItemEvent());
  EXPECT_EQ(l->MaxItemWidth(), textW);
}

TEST(ExtListBox, IndexErrorsPositionsAndSelection) {
  ListHost h;
  auto* l = h.Add<TExtCustomListBox>({L"one", L"two", L"three"});
  EXPECT_THROW(l->Items()->Get(7), EStringListError);
  try {
    l->Items()->Get(7);
  } catch (const EStringListError& e) {
    EXPECT_EQ(e.Message(), L"List index out of bounds (7)");
  }
  EXPECT_THROW(l->GetSelected(9), EStringListError);
  l->SetSelected(1, true);
  EXPECT_EQ(l->GetItemIndex(), 1);
  l->SetSelected(0, false);  // not the current one: nothing happens
  EXPECT_EQ(l->GetItemIndex(), 1);
  l->SetSelected(1, false);
  EXPECT_EQ(l->GetItemIndex(), -1);

  TRect r1 = l->ItemRect(1), r3 = l->ItemRect(3);
  TRect r2 = l->ItemRect(2);
  EXPECT_EQ(r3.top, r2.bottom);  // one past the end: below the last item
  EXPECT_TRUE(IsRectEmpty(&static_cast<const RECT&>(l->ItemRect(4))));
  EXPECT_EQ(l->ItemAtPos(TPoint{5, r1.top + 1}, true), 1);
  EXPECT_EQ(l->ItemAtPos(TPoint{5, r3.top + 20}, true), -1);
  EXPECT_EQ(l->ItemAtPos(TPoint{5, r3.top + 20}, false), 3);
  EXPECT_EQ(l->ItemAtPos(TPoint{-5, 5}, false), -1);

  // Objects ride along as item data and survive a re-creation.
  TObject marker;
  l->Items()->SetObjects(2, &marker);
  l->SetItemIndex(2);
  l->SetSorted(true);
  EXPECT_EQ(l->Items()->GetCount(), 3);
  EXPECT_EQ(l->Items()->IndexOf(L"three"), 1);  // now in order
  EXPECT_EQ(l->Items()->GetObjects(1), &marker);
  EXPECT_EQ(l->GetItemIndex(), 2);
}

TEST(CheckListBox, TogglingByMouseKeysAndGrayed) {
  ListHost h;
  auto* l = h.Add<TExtCheckListBox>({L"alpha", L"beta", L"gamma"});
  EXPECT_TRUE(l->GetAutoScroll());
  int clicks = 0, changes = 0;
  l->OnClickCheck = TNotifyEvent([&](TObject*) { ++clicks; });
  l->OnStateChange = TChangeStateEvent([&](TObject*, int) { ++changes; });

  TRect r = l->ItemRect(1);
  l->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.left + 3, r.top + 3));
  l->Perform(WM_LBUTTONUP, 0, MAKELPARAM(r.left + 3, r.top + 3));
  EXPECT_TRUE(l->GetChecked(1));
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(changes, 1);
  // A click on the text does not toggle.
  l->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.left + 60, r.top + 3));
  l->Perform(WM_LBUTTONUP, 0, MAKELPARAM(r.left + 60, r.top + 3));
  EXPECT_TRUE(l->GetChecked(1));

  l->SetAllowGrayed(true);
  l->SetItemIndex(0);
  l->Perform(WM_CHAR, L' ', 1);
  EXPECT_EQ(l->GetState(0), cbGrayed);
  l->Perform(WM_CHAR, L' ', 1);
  EXPECT_EQ(l->GetState(0), cbChecked);
  l->Perform(WM_CHAR, L' ', 1);
  EXPECT_EQ(l->GetState(0), cbUnchecked);

  l->SetItemEnabled(2, false);
  l->SetItemIndex(2);
  l->Perform(WM_CHAR, L' ', 1);
  EXPECT_EQ(l->GetState(2), cbUnchecked);
  l->Perform(WM_CHAR, L'+', 1);  // every enabled item
  EXPECT_TRUE(l->GetChecked(0));
  EXPECT_FALSE(l->GetChecked(2));
  l->Perform(WM_CHAR, L'-', 1);
  EXPECT_FALSE(l->GetChecked(1));
}

// In a multiple selection the item index is the focused item: it can be
// set, and space toggles that item.
TEST(CheckListBox, MultipleSelectionItemIndexIsTheFocusedItem) {
  ListHost h;
  auto* l = h.Add<TExtCheckListBox>({L"alpha", L"beta", L"gamma", L"delta"});
  l->SetMultiSelect(true);
  SetForegroundWindow(h.form->GetHandle());
  l->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == l->GetHandle(); }));
  l->SetItemIndex(2);
  EXPECT_EQ(l->GetItemIndex(), 2);
  PressKey(VK_SPACE);
  EXPECT_FALSE(l->GetChecked(0));
  EXPECT_TRUE(l->GetChecked(2));
  PressKey(VK_DOWN);
  EXPECT_EQ(l->GetItemIndex(), 3);
  PressKey(VK_SPACE);
  EXPECT_TRUE(l->GetChecked(3));
  l->Clear();
  EXPECT_EQ(l->GetItemIndex(), -1);
}

TEST(CheckListBox, RadioButtonsKeepExactlyOneChecked) {
  ListHost h;
  auto* empty = h.Add<TExtCheckListBox>({}, L"Empty");
  empty->SetCheckKind(ckRadioButtons);
  EXPECT_EQ(empty->GetCheckedIndex(), -1);

  auto* l = h.Add<TExtCheckListBox>({L"a", L"b", L"c"}, L"Radio");
  l->SetAllowGrayed(true);
  l->SetState(2, cbGrayed);
  EXPECT_EQ(l->GetCheckedIndex(), -1);  // only radio buttons have one
  l->SetCheckKind(ckRadioButtons);
  EXPECT_FALSE(l->GetAllowGrayed());
  EXPECT_EQ(l->GetState(2), cbUnchecked);  // grayed reads unchecked
  EXPECT_EQ(l->GetCheckedIndex(), 0);       // the invariant checks the first
  l->SetChecked(0, false);
  EXPECT_TRUE(l->GetChecked(0));  // unchecking the checked one is refused
  l->SetCheckedIndex(2);
  EXPECT_FALSE(l->GetChecked(0));
  EXPECT_EQ(l->GetCheckedIndex(), 2);
  l->ApplyState(cbChecked, false);  // nothing for radio buttons
  EXPECT_EQ(l->GetCheckedIndex(), 2);
  l->SetCheckedIndex(-4);  // below 0: the first
  EXPECT_EQ(l->GetCheckedIndex(), 0);
  EXPECT_THROW(l->SetCheckedIndex(9), EStringListError);
}

TEST(CheckListBox, StatesFollowExchangeMoveAndRecreation) {
  ListHost h;
  auto* l = h.Add<TExtCheckListBox>({L"a", L"b", L"c"});
  l->SetAllowGrayed(true);
  l->SetState(0, cbChecked);
  l->SetState(1, cbGrayed);
  l->SetItemEnabled(2, false);
  l->Items()->Exchange(0, 2);
  EXPECT_EQ(l->Items()->Get(0), L"c");
  EXPECT_FALSE(l->GetItemEnabled(0));
  EXPECT_EQ(l->GetState(2), cbChecked);
  EXPECT_TRUE(l->GetItemEnabled(2));
  l->Items()->Move(1, 0);  // "b" to the top
  EXPECT_EQ(l->Items()->Get(0), L"b");
  EXPECT_EQ(l->GetState(0), cbGrayed);
  EXPECT_FALSE(l->GetItemEnabled(1));

  TObject data;
  l->Items()->SetObjects(2, &data);
  l->SetBorderStyle(bsNone);  // re-creates the window
  l->Repaint();  // owner drawing of the checks and texts
  Pump(10);
  ASSERT_EQ(l->Items()->GetCount(), 3);
  EXPECT_EQ(l->GetState(0), cbGrayed);
  EXPECT_FALSE(l->GetItemEnabled(1));
  EXPECT_EQ(l->GetState(2), cbChecked);
  EXPECT_EQ(l->Items()->GetObjects(2), &data);
  l->Items()->Delete(0);
  EXPECT_EQ(l->GetState(0), cbUnchecked);
  l->Items()->Clear();
  EXPECT_EQ(l->Items()->GetCount(), 0);
}

TEST(CheckListBox, SavingAndRestoringStates) {
  ListHost h;
  String name = NormalDir(GetTempDir()) + L"zembrio-checks.ini";
  DeleteFileW(name.c_str());
  auto* l = h.Add<TExtCheckListBox>({L"a", L"b"});
  EXPECT_EQ(l->DefaultSection(), L"TChecksFormList");  // the form's class and the control's name
  {
    TMemIniFile ini(name);
    ini.WriteString(L"TChecksFormList", L"Count", L"5");
    ini.WriteString(L"TChecksFormList", L"Item0", L"1");
    ini.WriteString(L"TChecksFormList", L"Item1", L"7");  // no such state: unchecked
    ini.WriteString(L"TChecksFormList", L"Item2", L"1");
    l->SetChecked(1, true);
    l->RestoreStates(&ini);
    EXPECT_TRUE(l->GetChecked(0));
    EXPECT_FALSE(l->GetChecked(1));

    l->SaveStates(&ini);
    EXPECT_EQ(ini.ReadString(L"TChecksFormList", L"Count", L""), L"2");
    EXPECT_EQ(ini.ReadString(L"TChecksFormList", L"Item0", L""), L"1");
    EXPECT_EQ(ini.ReadString(L"TChecksFormList", L"Item2", L"gone"), L"gone");  // the section was erased

    // Radio buttons: only the first checked entry applies.
    auto* r = h.Add<TExtCheckListBox>({L"x", L"y", L"z"}, L"Radio");
    r->SetCheckKind(ckRadioButtons);
    ini.WriteString(L"TChecksFormRadio", L"Count", L"3");
    ini.WriteString(L"TChecksFormRadio", L"Item0", L"0");
    ini.WriteString(L"TChecksFormRadio", L"Item1", L"1");
    ini.WriteString(L"TChecksFormRadio", L"Item2", L"1");
    r->RestoreStates(&ini);
    EXPECT_EQ(r->GetCheckedIndex(), 1);
  }

  // Through a form placement's link.
  auto* p = new TFormPlacement(h.form.get());
  p->SetIniFileName(name);
  p->SetIniSection(L"Main");
  l->SetIniStorage(p);
  l->SetChecked(1, true);
  p->RestoreFormPlacement();
  p->SaveFormPlacement();
  TMemIniFile ini(name);
  EXPECT_EQ(ini.ReadString(L"Main\\TChecksFormList", L"Item1", L""), L"1");
  l->SetChecked(1, false);
  p->RestoreFormPlacement();
  EXPECT_TRUE(l->GetChecked(1));
  DeleteFileW(name.c_str());
}

// A form storage that keeps the list's items as well as its checks brings
// both back: the checks after the items. Items read back as they are stay
// where they are, with their enabled flags and data.
TEST(CheckListBox, ChecksStoredBesideTheItemsComeBackWithThem) {
  ListHost h;
  String name = NormalDir(GetTempDir()) + L"zembrio-checks-items.ini";
  DeleteFileW(name.c_str());
  auto* l = h.Add<TExtCheckListBox>({L"a", L"b", L"c"});
  auto* s = new TFormStorage(h.form.get());
  s->SetIniFileName(name);
  s->SetIniSection(L"Main");
  s->GetStoredProps()->AddObject(L"List.Items", l);
  l->SetIniStorage(s);
  s->RestoreFormPlacement();
  l->SetChecked(1, true);
  s->SaveFormPlacement();

  l->SetChecked(1, false);
  l->SetItemEnabled(2, false);
  l->Items()->SetObjects(0, reinterpret_cast<TObject*>(LONG_PTR(42)));
  s->RestoreFormPlacement();
  EXPECT_TRUE(l->GetChecked(1));
  EXPECT_FALSE(l->GetItemEnabled(2));
  EXPECT_EQ(l->Items()->GetObjects(0), reinterpret_cast<TObject*>(LONG_PTR(42)));

  // Other items held: the stored ones come back, checked as stored.
  l->Items()->Clear();
  l->Items()->Add(L"z");
  s->RestoreFormPlacement();
  ASSERT_EQ(l->Items()->GetCount(), 3);
  EXPECT_EQ(l->Items()->Get(2), L"c");
  EXPECT_FALSE(l->GetChecked(0));
  EXPECT_TRUE(l->GetChecked(1));
  s->Active = false;
  DeleteFileW(name.c_str());
}

// A form storage keeps the items with their states as one value, without
// the version a form stream writes before it: read back into a list made
// in code, the items come back with their states.
TEST(CheckListBox, ItemsWithStatesStoredAsOneValueComeBack) {
  ListHost h;
  String name = NormalDir(GetTempDir()) + L"zembrio-checks-strings.ini";
  DeleteFileW(name.c_str());
  auto* l = h.Add<TExtCheckListBox>({L"a", L"b", L"c"});
  l->SetAllowGrayed(true);
  auto* s = new TFormStorage(h.form.get());
  s->SetIniFileName(name);
  s->SetIniSection(L"Main");
  s->GetStoredProps()->AddObject(L"List.Strings", l);
  s->RestoreFormPlacement();
  l->SetItemEnabled(0, false);
  l->SetChecked(1, true);
  l->SetState(2, cbGrayed);
  s->SaveFormPlacement();

  l->Items()->Clear();
  l->Items()->Add(L"z");
  s->RestoreFormPlacement();
  ASSERT_EQ(l->Items()->GetCount(), 3);
  EXPECT_EQ(l->Items()->Get(2), L"c");
  EXPECT_FALSE(l->GetItemEnabled(0));
  EXPECT_TRUE(l->GetChecked(1));
  EXPECT_EQ(l->GetState(2), cbGrayed);

  // As many items held: they stay, with their data, renamed ones too; the
  // list stays scrolled as it was, with the line picked by the user.
  l->Items()->Put(0, L"x");
  l->Items()->Put(2, L"y");
  l->Items()->SetObjects(0, reinterpret_cast<TObject*>(LONG_PTR(42)));
  l->Items()->SetObjects(1, reinterpret_cast<TObject*>(LONG_PTR(43)));
  l->SetChecked(1, false);
  const int lineHeight = l->ItemRect(0).bottom - l->ItemRect(0).top;
  l->SetHeight(l->GetHeight() - l->GetClientHeight() + 2 * lineHeight + lineHeight / 2);
  l->SetTopIndex(1);
  ASSERT_EQ(l->GetTopIndex(), 1);
  const TRect last = l->ItemRect(2);
  testsupport::Click(testsupport::ScreenPoint(l->GetHandle(), last.left + 40, (last.top + last.bottom) / 2));
  ASSERT_EQ(l->GetItemIndex(), 2);
  s->RestoreFormPlacement();
  ASSERT_EQ(l->Items()->GetCount(), 3);
  EXPECT_EQ(l->Items()->Get(0), L"a");
  EXPECT_EQ(l->Items()->Get(2), L"c");
  EXPECT_EQ(l->GetItemIndex(), 2);
  EXPECT_EQ(l->GetTopIndex(), 1);
  EXPECT_EQ(l->Items()->GetObjects(0), reinterpret_cast<TObject*>(LONG_PTR(42)));
  EXPECT_EQ(l->Items()->GetObjects(1), reinterpret_cast<TObject*>(LONG_PTR(43)));
  EXPECT_FALSE(l->GetItemEnabled(0));
  EXPECT_TRUE(l->GetChecked(1));
  s->Active = false;
  DeleteFileW(name.c_str());
}

// The registry twins keep the states below a key: the section is erased
// before the states are written, and the states read back.
TEST(CheckListBox, SavingAndRestoringStatesInTheRegistry) {
  testsupport::ScratchKey Scratch(L"extlib");
  const String Key = Scratch.Path(L"checks");
  ListHost h;
  auto* l = h.Add<TExtCheckListBox>({L"a", L"b", L"c"});
  l->SetAllowGrayed(true);
  {
    TRegIniFile Reg(Key);
    Reg.WriteString(L"TChecksFormList", L"Item7", L"1");  // an older, longer list
    l->SetState(1, cbChecked);
    l->SetState(2, cbGrayed);
    l->SaveStatesReg(&Reg);
  }
  EXPECT_FALSE(Scratch.HasValue(L"checks\\TChecksFormList", L"Item7"));
  for (const wchar_t* Name : {L"Count", L"Item0", L"Item1", L"Item2"})
    EXPECT_TRUE(Scratch.HasValue(L"checks\\TChecksFormList", Name)) << Name;

  l->SetState(1, cbUnchecked);
  l->SetState(2, cbUnchecked);
  l->SetState(0, cbChecked);
  TRegIniFile Reg(Key);
  l->RestoreStatesReg(&Reg);
  EXPECT_EQ(l->GetState(0), cbUnchecked);
  EXPECT_EQ(l->GetState(1), cbChecked);
  EXPECT_EQ(l->GetState(2), cbGrayed);
  EXPECT_EQ(Reg.ReadInteger(L"TChecksFormList", L"Count", 0), 3);
}

TEST(CheckListBox, PaintsItsItemsIntoAGivenContext) {
  ListHost h;
  auto* l = h.Add<TExtCheckListBox>({L"WWWW", L"MMMM"});
  l->SetColor(clWhite);
  l->Font()->SetColor(clBlack);
  l->SetChecked(0, true);
  int w = l->GetClientWidth(), ht = l->GetClientHeight();
  TBitmap b(w, ht, pf24bit);
  b.Canvas()->Brush()->SetColor(clRed);
  b.Canvas()->FillRect(Rect(0, 0, w, ht));
  l->Perform(WM_PAINT, WPARAM(b.Canvas()->GetHandle()), 0);
  TRect r0 = l->ItemRect(0), r1 = l->ItemRect(1);
  auto dark = [&](int x0, int x1, int y0, int y1) {
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        if ((b.Canvas()->GetPixel(x, y) & 0xFFFFFF) == 0) return true;
    return false;
  };
  int cw = l->CheckWidth();
  EXPECT_TRUE(dark(cw, w, r0.top, r0.bottom));   // the first text
  EXPECT_TRUE(dark(cw, w, r1.top, r1.bottom));   // the second text
  EXPECT_TRUE(dark(0, cw, r0.top, r0.bottom));   // a check box frame
  EXPECT_EQ(b.Canvas()->GetPixel(w - 1, ht - 1) & 0xFFFFFF, clRed);  // below the items: untouched
}

// Every check is a cell of the program's "CHECK_IMAGES", one bitmap for all
// check list boxes: row = kind, column = state, three further on for a
// disabled item or control; the control's colour shows through the cell's
// transparent pixels and fills the rest of the strip.
TEST(CheckListBox, ChecksAreCellsOfTheProgramsCheckImages) {
  EXPECT_NE(FindResourceW(GetModuleHandleW(nullptr), L"CHECK_IMAGES", MAKEINTRESOURCEW(2)), nullptr);  // RT_BITMAP
  ListHost h;
  auto* l = h.Add<TExtCheckListBox>({L"one", L"two", L"three"}, L"A");
  TBitmap* images = CheckListImages();
  HBITMAP handle = images->GetHandle();
  auto* other = h.Add<TExtCheckListBox>({L"x"}, L"B");
  EXPECT_EQ(CheckListImages(), images);  // loaded once
  EXPECT_EQ(images->GetHandle(), handle);
  ASSERT_EQ(images->GetWidth() % 6, 0);
  ASSERT_EQ(images->GetHeight() % 3, 0);
  const int cw = images->GetWidth() / 6, ch = images->GetHeight() / 3;
  EXPECT_EQ(l->CheckWidth(), cw + 2);
  EXPECT_EQ(other->CheckWidth(), cw + 2);
  EXPECT_GE(RectHeight(l->ItemRect(0)), ch);

  const TColor see = images->GetTransparentColor();
  auto cell = [&](int kind, int column, int x, int y) {
    return images->Canvas()->GetPixel(column * cw + x, kind * ch + y) & 0xFFFFFF;
  };
  auto sameCells = [&](int k1, int c1, int k2, int c2) {
    for (int y = 0; y < ch; ++y)
      for (int x = 0; x < cw; ++x)
        if (cell(k1, c1, x, y) != cell(k2, c2, x, y)) return false;
    return true;
  };
  // The picture: a square box, a round button, a bare mark; every checked
  // cell differs from the unchecked and from the disabled one.
  EXPECT_NE(cell(ckCheckBoxes, 0, 0, 0), see);
  EXPECT_EQ(cell(ckRadioButtons, 0, 0, 0), see);
  EXPECT_TRUE(sameCells(ckCheckMarks, 0, ckCheckMarks, 3));
  EXPECT_EQ(cell(ckCheckMarks, 0, cw / 2, ch / 2), see);
  for (int kind : {ckCheckBoxes, ckRadioButtons, ckCheckMarks}) {
    EXPECT_FALSE(sameCells(kind, 0, kind, 1)) << kind;
    EXPECT_FALSE(sameCells(kind, 1, kind, 4)) << kind;
  }

  const TColor back = RGB(10, 120, 200);
  l->SetColor(back);
  auto drawsCell = [&](int index, int kind, int column) -> ::testing::AssertionResult {
    int w = l->GetClientWidth(), ht = l->GetClientHeight();
    TBitmap shot(w, ht, pf24bit);
    l->Perform(WM_PAINT, WPARAM(shot.Canvas()->GetHandle()), 0);
    TRect r = l->ItemRect(index);
    int x0 = r.left + (l->CheckWidth() - cw) / 2, y0 = r.top + (RectHeight(r) - ch) / 2;
    if ((shot.Canvas()->GetPixel(r.left, y0) & 0xFFFFFF) != back)
      return ::testing::AssertionFailure() << "strip edge of item " << index;
    for (int y = 0; y < ch; ++y)
      for (int x = 0; x < cw; ++x) {
        TColor want = cell(kind, column, x, y), got = shot.Canvas()->GetPixel(x0 + x, y0 + y) & 0xFFFFFF;
        if (want == see) want = back;
        if (got != want)
          return ::testing::AssertionFailure() << "item " << index << " at " << x << "," << y << ": "
                                               << got << " instead of " << want;
      }
    return ::testing::AssertionSuccess();
  };
  l->SetAllowGrayed(true);
  l->SetChecked(0, true);
  l->SetState(1, cbGrayed);
  l->SetItemEnabled(1, false);
  EXPECT_TRUE(drawsCell(0, ckCheckBoxes, 1));
  EXPECT_TRUE(drawsCell(1, ckCheckBoxes, 2 + 3));
  EXPECT_TRUE(drawsCell(2, ckCheckBoxes, 0));
  l->SetCheckKind(ckCheckMarks);
  EXPECT_TRUE(drawsCell(0, ckCheckMarks, 1));
  EXPECT_TRUE(drawsCell(1, ckCheckMarks, 2 + 3));
  EXPECT_TRUE(drawsCell(2, ckCheckMarks, 0));
  l->SetCheckKind(ckRadioButtons);
  EXPECT_TRUE(drawsCell(0, ckRadioButtons, 1));
  l->SetEnabled(false);  // a disabled control draws every check disabled
  EXPECT_TRUE(drawsCell(0, ckRadioButtons, 1 + 3));
  EXPECT_TRUE(drawsCell(2, ckRadioButtons, 0 + 3));

  // Freed at finalisation, loaded again on the next use.
  ExCheckListBoxFinalize();
  images = CheckListImages();
  EXPECT_TRUE(drawsCell(0, ckRadioButtons, 1 + 3));
}

TEST(CheckListBox, AssigningAnotherCheckListCopiesStates) {
  ListHost h;
  auto* a = h.Add<TExtCheckListBox>({L"one", L"two"}, L"A");
  a->SetChecked(1, true);
  a->SetItemEnabled(0, false);
  auto* b = h.Add<TExtCheckListBox>({L"old"}, L"B");
  b->SetItems(a->Items());
  ASSERT_EQ(b->Items()->GetCount(), 2);
  EXPECT_EQ(b->Items()->Get(1), L"two");
  EXPECT_TRUE(b->GetChecked(1));
  EXPECT_FALSE(b->GetItemEnabled(0));
  TStringList plain;
  plain.Add(L"x");
  b->SetItems(&plain);
  EXPECT_FALSE(b->GetChecked(0));

  // Into a sorted list each state goes with its text.
  auto* z = h.Add<TExtCheckListBox>({L"zeta", L"alpha"}, L"Z");
  z->SetChecked(0, true);
  z->SetItemEnabled(1, false);
  b->SetSorted(true);
  b->SetItems(z->Items());
  ASSERT_EQ(b->Items()->Get(0), L"alpha");
  EXPECT_FALSE(b->GetChecked(0));
  EXPECT_FALSE(b->GetItemEnabled(0));
  EXPECT_TRUE(b->GetChecked(1));
  EXPECT_TRUE(b->GetItemEnabled(1));
}

TEST(ExtListBox, GraySelectionAndTabStops) {
  ListHost h;
  auto* l = h.Add<TExtCustomListBox>({L"first", L"second"});
  l->SetStyle(lbOwnerDrawFixed);
  l->SetItemIndex(1);
  int w = l->GetClientWidth(), ht = l->GetClientHeight();
  TBitmap b(w, ht, pf24bit);
  auto rowColour = [&]() {
    l->Perform(WM_PAINT, WPARAM(b.Canvas()->GetHandle()), 0);
    TRect r = l->ItemRect(1);
    return b.Canvas()->GetPixel(w - 2, r.top + 1) & 0xFFFFFF;
  };
  h.form->SetFocus();  // the list has no focus
  Pump(10);
  EXPECT_EQ(rowColour(), ColorToRGB(clHighlight) & 0xFFFFFF);
  l->SetGraySelection(true);
  EXPECT_EQ(rowColour(), ColorToRGB(clBtnFace) & 0xFFFFFF);
  // The designer always shows the selection as selected.
  h.form->SetDesigning(true);
  EXPECT_EQ(rowColour(), ColorToRGB(clHighlight) & 0xFFFFFF);
  h.form->SetDesigning(false);

  // Tab stops widen an item with tabs beyond its plain text width.
  auto* t = h.Add<TExtCustomListBox>({}, L"Tabs");
  t->SetAutoScroll(true);
  t->Items()->Add(L"a\tb");
  int plain = t->MaxItemWidth();
  t->SetTabWidth(40);
  EXPECT_EQ(t->Items()->GetCount(), 1);  // kept across the re-creation
  EXPECT_GT(t->MaxItemWidth(), plain);
  t->SetTabWidth(-3);
  EXPECT_EQ(t->GetTabWidth(), 0);
}

namespace {
// A check list that writes its items the way older streams did: text,
// checked, enabled and (from version 1 on) the state.
class TOldCheckList : public TExtCheckListBox {
 public:
  TOldCheckList(TComponent* AOwner, int AVersion) : TExtCheckListBox(AOwner), Version(AVersion) {}
  int Version;

 protected:
  void DefineProperties(TFiler* Filer) override {
    if (Version > 0)
      Filer->DefineProperty(L"InternalVersion", nullptr, [this](TWriter* W) { W->WriteInteger(Version); }, true);
    Filer->DefineProperty(
        L"Strings", nullptr,
        [this](TWriter* W) {
          W->WriteListBegin();
          for (int I = 0; I < Items()->GetCount(); ++I) {
            W->WriteString(Items()->Get(I));
            W->WriteBoolean(GetChecked(I));
            W->WriteBoolean(GetItemEnabled(I));
            if (Version > 0) W->WriteInteger(GetState(I));
          }
          W->WriteListEnd();
        },
        true);
  }
};

bool Holds(TMemoryStream& S, const char* Text) {
  std::string Bytes(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.GetSize()));
  return Bytes.find(Text) != std::string::npos;
}
}  // namespace

// As the program writes them, the library started: the list is written
// against a new one, which has neither window nor items.
TEST(CheckListBox, StatesTravelInTheFormStream) {
  ExCheckListBoxInitialize();
  TMemoryStream S;
  {
    ListHost h;
    auto* l = h.Add<TExtCheckListBox>({L"a", L"b", L"c"});
    l->SetState(0, cbGrayed);
    l->SetItemEnabled(1, false);
    l->SetChecked(2, true);
    TWriter W(&S);
    W.WriteRootComponent(h.form.get());
  }
  EXPECT_TRUE(Holds(S, "InternalVersion"));
  S.SetPosition(0);
  ListHost h;
  auto* l = h.Add<TExtCheckListBox>({L"old"});
  TReader R(&S);
  R.ReadRootComponent(h.form.get());
  ASSERT_EQ(l->Items()->GetCount(), 3);
  EXPECT_EQ(l->Items()->Get(1), L"b");
  EXPECT_EQ(l->GetState(0), cbGrayed);
  EXPECT_FALSE(l->GetItemEnabled(1));
  EXPECT_EQ(l->GetState(2), cbChecked);

  // Cut short after the second item's text: the read fails, the items and
  // their states stay.
  std::string Bytes(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.GetSize()));
  const size_t Cut = Bytes.find("\x06\x01" "b");
  ASSERT_NE(Cut, std::string::npos);
  TMemoryStream Broken;
  Broken.WriteBuffer(Bytes.data(), static_cast<int64_t>(Cut + 3));
  Broken.SetPosition(0);
  l->SetChecked(1, true);
  EXPECT_THROW(TReader(&Broken).ReadRootComponent(h.form.get()), Exception);
  ASSERT_EQ(l->Items()->GetCount(), 3);
  EXPECT_EQ(l->Items()->Get(2), L"c");
  EXPECT_EQ(l->GetState(0), cbGrayed);
  EXPECT_TRUE(l->GetChecked(1));
}

TEST(CheckListBox, OlderStreamsAndAncestors) {
  for (int Version : {0, 150}) {
    SCOPED_TRACE(Version);
    TMemoryStream S;
    {
      ListHost h;
      auto* old = new TOldCheckList(h.form.get(), Version);
      old->SetName(L"List");
      old->SetParent(h.form.get());
      for (auto* T : {L"x", L"y"}) old->Items()->Add(T);
      old->SetState(0, cbGrayed);
      old->SetItemEnabled(1, false);
      TWriter W(&S);
      W.WriteRootComponent(h.form.get());
    }
    S.SetPosition(0);
    ListHost h;
    auto* l = h.Add<TExtCheckListBox>();
    TReader R(&S);
    R.ReadRootComponent(h.form.get());
    ASSERT_EQ(l->Items()->GetCount(), 2);
    // Version 0 knows only checked or not; later ones keep the grayed state.
    EXPECT_EQ(l->GetState(0), Version == 0 ? cbUnchecked : cbGrayed);
    EXPECT_FALSE(l->GetItemEnabled(1));
  }

  // Against an ancestor: nothing when equal, the items when any differs (the
  // first one too); the version only without an ancestor.
  ListHost a(L"Ancestor"), d;
  auto* base = a.Add<TExtCheckListBox>({L"p", L"q"});
  auto* mine = d.Add<TExtCheckListBox>({L"p", L"q"});
  (void)base;
  TMemoryStream Same;
  TWriter(&Same).WriteDescendent(d.form.get(), a.form.get());
  EXPECT_FALSE(Holds(Same, "Strings"));
  EXPECT_FALSE(Holds(Same, "InternalVersion"));
  mine->SetChecked(0, true);
  TMemoryStream Changed;
  TWriter(&Changed).WriteDescendent(d.form.get(), a.form.get());
  EXPECT_TRUE(Holds(Changed, "Strings"));
}

TEST(CheckListBox, RightToLeftReadingPutsTheCheckOnTheRight) {
  ListHost h;
  auto* l = h.Add<TExtCheckListBox>({L"WWWW", L"MMMM"});
  l->SetBiDiMode(bdRightToLeft);
  l->SetColor(clWhite);
  l->Font()->SetColor(clBlack);
  TRect r = l->ItemRect(1);
  const int cw = l->CheckWidth();
  // Only a click in the strip at the right edge toggles.
  l->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.left + 3, r.top + 3));
  l->Perform(WM_LBUTTONUP, 0, MAKELPARAM(r.left + 3, r.top + 3));
  EXPECT_FALSE(l->GetChecked(1));
  l->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.right - cw / 2, r.top + 3));
  l->Perform(WM_LBUTTONUP, 0, MAKELPARAM(r.right - cw / 2, r.top + 3));
  EXPECT_TRUE(l->GetChecked(1));
  // Painted (the first item, unselected): the check at the right, the text
  // ending 2 pixels before it.
  l->SetItemIndex(-1);
  l->SetChecked(0, true);
  r = l->ItemRect(0);
  int w = l->GetClientWidth(), ht = l->GetClientHeight();
  TBitmap b(w, ht, pf24bit);
  l->Perform(WM_PAINT, WPARAM(b.Canvas()->GetHandle()), 0);
  auto darkColumns = [&](int x0, int x1) {
    std::vector<int> xs;
    for (int x = x0; x < x1; ++x)
      for (int y = r.top; y < r.bottom; ++y)
        if ((b.Canvas()->GetPixel(x, y) & 0xFFFFFF) == 0) {
          xs.push_back(x);
          break;
        }
    return xs;
  };
  EXPECT_FALSE(darkColumns(r.right - cw, r.right).empty());  // the check box
  std::vector<int> text = darkColumns(0, r.right - cw);
  ASSERT_FALSE(text.empty());
  EXPECT_LE(text.back(), r.right - cw - 2);
  EXPECT_GT(text.front(), w / 2);  // right-aligned
}

// With automatic dragging, a press on an item of a multiple selection drags
// the whole selection; a press that never moves is a click on that item.
TEST(ExtListBox, AutomaticDragKeepsTheSelectionAndAPlainPressSelects) {
  ListHost h;
  auto* l = h.Add<TExtCustomListBox>({L"zero", L"one", L"two", L"three", L"four"});
  l->SetMultiSelect(true);
  l->SetDragMode(dmAutomatic);
  auto* target = new TPanel(h.form.get());
  target->SetParent(h.form.get());
  target->SetBounds(180, 10, 100, 150);
  TObject* dropped = nullptr;
  int droppedSelCount = -1;
  target->OnDragOver = TDragOverEvent([&](TObject*, TObject*, int, int, TDragState, bool& Accept) { Accept = true; });
  target->OnDragDrop = TDragDropEvent([&](TObject*, TObject* Source, int, int) {
    dropped = Source;
    droppedSelCount = l->GetSelCount();
  });
  TObject* endTarget = l;
  l->OnEndDrag = TEndDragEvent([&](TObject*, TObject* Target, int, int) { endTarget = Target; });
  SetForegroundWindow(h.form->GetHandle());
  PumpUntil([&] { return GetForegroundWindow() == h.form->GetHandle(); });

  auto itemPoint = [&](int i) {
    TRect r = l->ItemRect(i);
    return testsupport::ScreenPoint(l->GetHandle(), r.left + 20, (r.top + r.bottom) / 2);
  };
  l->SetSelected(1, true);
  l->SetSelected(3, true);

  // Dragged from a selected item: both items travel, none is deselected.
  testsupport::DragScript d;
  d.From = itemPoint(3);
  d.To = testsupport::ClientCentre(target->GetHandle());
  ASSERT_TRUE(testsupport::Drag(d));
  ASSERT_TRUE(PumpUntil([&] { return dropped != nullptr; }));
  EXPECT_EQ(dropped, l);
  EXPECT_EQ(droppedSelCount, 2);
  EXPECT_EQ(endTarget, target);
  EXPECT_TRUE(l->GetSelected(1));
  EXPECT_TRUE(l->GetSelected(3));

  // A press and release on a selected item without moving: a click there.
  dropped = nullptr;
  testsupport::Click(itemPoint(1));
  EXPECT_TRUE(PumpUntil([&] { return l->GetSelCount() == 1; }));
  EXPECT_TRUE(l->GetSelected(1));
  EXPECT_FALSE(l->GetSelected(3));
  EXPECT_EQ(dropped, nullptr);

  // Ctrl adds to the selection and starts no drag.
  testsupport::Click(itemPoint(4), {VK_CONTROL});
  EXPECT_TRUE(PumpUntil([&] { return l->GetSelCount() == 2; }));
  EXPECT_TRUE(l->GetSelected(4));

  // From an unselected item the press selects it alone, then drags it;
  // released over a control that refuses it, the end names no target.
  testsupport::DragScript d2;
  d2.From = itemPoint(2);
  d2.To = testsupport::ScreenPoint(h.form->GetHandle(), 170, 200);
  ASSERT_TRUE(testsupport::Drag(d2));
  EXPECT_TRUE(PumpUntil([&] { return endTarget == nullptr; }));
  EXPECT_EQ(dropped, nullptr);
  EXPECT_EQ(l->GetSelCount(), 1);
  EXPECT_TRUE(l->GetSelected(2));
}

TEST(ExtListBox, DoubleClickIsReportedOnce) {
  ListHost h;
  auto* l = h.Add<TExtCustomListBox>({L"zero", L"one", L"two"});
  int dbl = 0;
  l->OnDblClick = TNotifyEvent([&](TObject*) { ++dbl; });
  SetForegroundWindow(h.form->GetHandle());
  PumpUntil([&] { return GetForegroundWindow() == h.form->GetHandle(); });
  TRect r = l->ItemRect(1);
  testsupport::DoubleClick(testsupport::ScreenPoint(l->GetHandle(), r.left + 20, (r.top + r.bottom) / 2));
  Pump(50);
  EXPECT_EQ(dbl, 1);
  l->SetDragMode(dmAutomatic);
  dbl = 0;
  testsupport::DoubleClick(testsupport::ScreenPoint(l->GetHandle(), r.left + 20, (r.top + r.bottom) / 2));
  Pump(50);
  EXPECT_EQ(dbl, 1);
}

namespace {
// The frame's thickness on the left: client edge 2, plain border 1, none 0.
int LeftFrame(HWND W) {
  RECT R;
  GetWindowRect(W, &R);
  POINT P{0, 0};
  ClientToScreen(W, &P);
  return P.x - R.left;
}
}  // namespace

TEST(CheckListBox, SingleBorderIsSunkenOnlyWithThreeDimensionalLook) {
  ListHost h;
  auto* l = h.Add<TExtCheckListBox>({L"a", L"b"});
  l->SetChecked(1, true);
  auto Ex = [&] { return GetWindowLongPtrW(l->Handle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE; };
  auto Plain = [&] { return GetWindowLongPtrW(l->Handle(), GWL_STYLE) & WS_BORDER; };
  ASSERT_TRUE(l->GetCtl3D());
  EXPECT_TRUE(Ex());
  EXPECT_FALSE(Plain());
  EXPECT_EQ(LeftFrame(l->Handle()), 2);

  l->SetCtl3D(false);  // a new window with a plain border, the items kept
  EXPECT_FALSE(Ex());
  EXPECT_TRUE(Plain());
  EXPECT_EQ(LeftFrame(l->Handle()), 1);
  ASSERT_EQ(l->Items()->GetCount(), 2);
  EXPECT_TRUE(l->GetChecked(1));

  // Following the form's setting again.
  l->SetParentCtl3D(true);
  h.form->SetCtl3D(false);
  h.form->SetCtl3D(true);
  EXPECT_TRUE(Ex());
  EXPECT_FALSE(Plain());

  l->SetBorderStyle(bsNone);
  h.form->SetCtl3D(false);
  EXPECT_FALSE(Ex());
  EXPECT_FALSE(Plain());
  EXPECT_EQ(LeftFrame(l->Handle()), 0);
}

TEST(CheckListBox, PublishedPropertiesTravelInTheFormStream) {
  TMemoryStream S;
  {
    ListHost h(L"PlainChecks");
    h.Add<TExtCheckListBox>();
    formstream::Write(h.form.get(), S);
  }
  for (const char* Name : {"CheckKind", "CheckedIndex", "IniStorage", "AutoScroll", "BorderStyle", "ItemHeight"})
    EXPECT_FALSE(formstream::Holds(S, Name)) << Name;

  ListHost Source(L"SetChecks"), Copy(L"ReadChecks");
  (new TFormPlacement(Source.form.get()))->SetName(L"Placement");
  auto* Storage = new TFormPlacement(Copy.form.get());
  Storage->SetName(L"Placement");
  auto* l = Source.Add<TExtCheckListBox>({L"b", L"a", L"c"});
  l->SetCheckKind(ckRadioButtons);
  l->SetChecked(2, true);
  l->SetSorted(true);
  l->SetAutoScroll(false);
  l->SetBorderStyle(bsNone);
  l->SetTabWidth(12);
  l->SetIniStorage(dynamic_cast<TFormPlacement*>(Source.form->FindComponent(L"Placement")));
  // The list read into has one item only when CheckedIndex 2 is read.
  auto* r = Copy.Add<TExtCheckListBox>({L"old"});
  l->SetAllowGrayed(true);
  l->SetColumns(2);
  l->SetExtendedSelect(false);
  l->SetGraySelection(true);
  l->SetItemHeight(20);
  l->SetMultiSelect(true);
  l->SetStyle(lbOwnerDrawFixed);
  using formstream::Offer;
  std::initializer_list<TComponent*> Forms{Source.form.get(), Copy.form.get()};
  l->OnStateChange = Offer<TChangeStateEvent>(L"ChecksState", Forms);
  l->OnClickCheck = Offer<TNotifyEvent>(L"ChecksClick", Forms);
  l->SetOnDrawItem(Offer<TDrawItemEvent>(L"ChecksDraw", Forms));
  l->SetOnGetItemWidth(Offer<TGetItemWidthEvent>(L"ChecksWidth", Forms));
  l->OnMeasureItem = Offer<TMeasureItemEvent>(L"ChecksMeasure", Forms);
  formstream::ExpectRoundTrip(Source.form.get(), Copy.form.get(), S);
  formstream::ExpectStored(S, {"AllowGrayed", "CheckKind", "CheckedIndex", "IniStorage", "AutoScroll", "BorderStyle",
                               "Columns", "ExtendedSelect", "GraySelection", "ItemHeight",
                               "Strings", "MultiSelect", "Sorted", "Style", "TabWidth", "OnStateChange",
                               "OnClickCheck", "OnDrawItem", "OnGetItemWidth", "OnMeasureItem"});
  EXPECT_EQ(r->GetOnGetItemWidth(), l->GetOnGetItemWidth());  // through its setter
  // The property itself is read back (its height: below).
  l->SetIntegralHeight(true);
  formstream::Write(Source.form.get(), S);
  formstream::ExpectStored(S, {"IntegralHeight"});
  ASSERT_FALSE(r->GetIntegralHeight());
  formstream::Read(S, Copy.form.get());
  EXPECT_TRUE(r->GetIntegralHeight());
  EXPECT_EQ(r->GetIniStorage(), Storage);
  EXPECT_EQ(r->GetCheckedIndex(), 2);
  EXPECT_FALSE(r->GetChecked(0));
}

// A list fitted to whole items is as high as it was written: reading does
// not shrink it further, whether the height comes before the property or
// the window is made again.
int ItemHeightOf(TExtCheckListBox* L) { return int(SendMessageW(L->GetHandle(), LB_GETITEMHEIGHT, 0, 0)); }

TEST(CheckListBox, IntegralHeightReadsBackTheHeightWritten) {
  ExCheckListBoxInitialize();
  ListHost Source(L"FitChecks"), Copy(L"FitRead");
  auto* l = Source.Add<TExtCheckListBox>({L"a", L"b"});
  l->SetHeight(97);
  l->SetIntegralHeight(true);
  const int written = l->GetHeight();
  EXPECT_EQ(l->GetClientHeight() % ItemHeightOf(l), 0);
  EXPECT_LE(written, 97);
  TMemoryStream S;
  formstream::Write(Source.form.get(), S);
  auto* r = Copy.Add<TExtCheckListBox>();
  formstream::Read(S, Copy.form.get());
  Pump(10);
  EXPECT_EQ(r->GetHeight(), written);
  l->SetIntegralHeight(false);
  l->SetIntegralHeight(true);
  EXPECT_EQ(l->GetHeight(), written);
}

// In the designer a press with automatic dragging is the list's own: it
// selects the item and starts no drag.
TEST(ExtListBox, DesignedListTakesPressesWithoutDragging) {
  ListHost h;
  auto* l = h.Add<TExtCustomListBox>({L"zero", L"one", L"two"});
  l->SetDragMode(dmAutomatic);
  int starts = 0;
  l->OnStartDrag = TStartDragEvent([&](TObject*, TDragObject*&) { ++starts; });
  h.form->SetDesigning(true);
  SetForegroundWindow(h.form->GetHandle());
  PumpUntil([&] { return GetForegroundWindow() == h.form->GetHandle(); });
  TRect r = l->ItemRect(2);
  testsupport::Click(testsupport::ScreenPoint(l->GetHandle(), r.left + 20, (r.top + r.bottom) / 2));
  EXPECT_TRUE(PumpUntil([&] { return l->GetItemIndex() == 2; }));
  EXPECT_FALSE(l->Dragging());
  EXPECT_EQ(starts, 0);
}
