// The hex editor on a real window: typing through window messages,
// mouse, scrolling through large data, painting colours, bookmarks icons.
#include <algorithm>

#include "valueedit/HexEditor.h"
#include "valueedit/tests/hex_editor_host.h"

#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"
#include "testsupport/Gui.h"
#include "testsupport/Input.h"
#include "testsupport/Pump.h"

using namespace testsupport;

static ::testing::Environment* const kGuiEnv = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

TEST(HexEditorControl, ConstructionDefaults) {
  EditorHost h;
  THexEditor* ed = h.ed;
  // the published properties
  EXPECT_EQ(ed->GetBytesPerRow(), 16);
  EXPECT_EQ(ed->GetBytesPerColumn(), 2);
  EXPECT_EQ(ed->GetTranslation(), tkAsIs);
  EXPECT_EQ(ed->GetOffsetFormat(), L"-!10:0x|");
  EXPECT_EQ(ed->GetCaretKind(), ckAuto);
  EXPECT_TRUE(ed->GetFocusFrame());
  EXPECT_FALSE(ed->GetSwapNibbles());
  EXPECT_EQ(ed->GetMaskChar(), '.');
  EXPECT_FALSE(ed->GetNoSizeChange());
  EXPECT_TRUE(ed->GetAllowInsertMode());
  EXPECT_FALSE(ed->GetDrawGridLines());
  EXPECT_TRUE(ed->GetWantTabs());
  EXPECT_FALSE(ed->GetReadOnlyView());
  EXPECT_FALSE(ed->GetHideSelection());
  EXPECT_FALSE(ed->GetGraySelectionIfNotFocused());
  EXPECT_EQ(ed->GetGutterWidth(), -1);
  EXPECT_EQ(ed->GetMaxUndo(), 1048576);
  EXPECT_FALSE(ed->GetInsertMode());
  EXPECT_FALSE(ed->GetHexLowerCase());
  EXPECT_TRUE(ed->GetDrawGutter3D());
  EXPECT_FALSE(ed->GetShowRuler());
  EXPECT_FALSE(ed->OnLoadSaveProgress);
  EXPECT_FALSE(ed->OnInvalidKey);
  EXPECT_FALSE(ed->OnTopLeftChanged);
  EXPECT_FALSE(ed->OnChange);
  EXPECT_EQ(ed->GetVersion(), L"October 25, 2002");
  ed->SetVersion(L"x");
  EXPECT_EQ(ed->GetVersion(), L"October 25, 2002");
  // the colour set
  THexColors* k = ed->Colors();
  EXPECT_EQ(k->GetBackground(), clWindow);
  EXPECT_EQ(k->GetChangedBackground(), 11075583);
  EXPECT_EQ(k->GetChangedText(), clMaroon);
  EXPECT_EQ(k->GetCursorFrame(), clNavy);
  EXPECT_EQ(k->GetOffset(), clBlack);
  EXPECT_EQ(k->GetOddColumn(), clBlue);
  EXPECT_EQ(k->GetEvenColumn(), clNavy);
  EXPECT_EQ(k->GetCurrentOffsetBackground(), clBtnShadow);
  EXPECT_EQ(k->GetOffsetBackGround(), clBtnFace);
  EXPECT_EQ(k->GetCurrentOffset(), clBtnHighlight);
  EXPECT_EQ(k->GetGrid(), clBtnFace);
  // what the constructor sets of the control and the grid
  EXPECT_EQ(ed->GetBorderStyle(), bsSingle);
  EXPECT_FALSE(ed->GetCtl3D());
  EXPECT_EQ(ed->GetCursor(), crIBeam);
  EXPECT_EQ(ed->Font()->GetName(), L"Courier New");
  EXPECT_EQ(ed->Font()->GetSize(), 11);
  EXPECT_FALSE(ed->GetParentColor());
  EXPECT_EQ(ed->GetColor(), clWindow);
  EXPECT_TRUE(ed->GetOptions() == TGridOptions{goThumbTracking});
  EXPECT_EQ(ed->GetDefaultColWidth(), 0);
  EXPECT_EQ(ed->GetRowHeights(0), 0);
  EXPECT_EQ(ed->GetRowHeights(1), 0);
  EXPECT_EQ(ed->GetRowCount(), 3);
  EXPECT_EQ(ed->GetColCount(), 51);
  EXPECT_EQ(ed->GetFixedCols(), 2);
  EXPECT_EQ(ed->GetFixedRows(), 2);
  // the document
  EXPECT_EQ(ed->GetFileName(), L"Untitled");
  EXPECT_EQ(ed->GetDataSize(), 0);
  EXPECT_EQ(ed->GetSelCount(), 0);
  EXPECT_FALSE(ed->GetCanUndo());
  EXPECT_FALSE(ed->GetModified());
  EXPECT_TRUE(ed->GetReadOnlyFile());
  for (int i = 0; i < 10; ++i) EXPECT_EQ(ed->GetBookmark(i).mPosition, -1) << i;
  EXPECT_EQ(ed->GetCol(), 2);
  EXPECT_EQ(ed->TCustomGrid::GetRow(), 2);
}

// With WantTabs Tab switches the caret between the hex and the character
// field; without it Tab and Shift+Tab move the focus between the controls
// of the form and leave the caret where it was.
TEST(HexEditorControl, TabSwitchesFieldsOrMovesTheFocus) {
  EditorHost h;
  h.ed->SetBounds(0, 0, 520, 250);
  auto* other = new TEdit(h.form.get());
  other->SetBounds(10, 260, 100, 24);
  other->SetParent(h.form.get());
  h.SetData("abcd");
  SetForegroundWindow(h.form->GetHandle());
  h.ed->SetFocus();
  Pump(30);
  ASSERT_TRUE(h.ed->Focused());
  ASSERT_FALSE(h.ed->CaretInCharField());
  PressKey(VK_TAB);
  EXPECT_TRUE(h.ed->Focused());
  EXPECT_TRUE(h.ed->CaretInCharField());

  h.ed->SetWantTabs(false);
  PressKey(VK_TAB);
  EXPECT_TRUE(other->Focused());
  PressKey(VK_TAB, {VK_SHIFT});
  EXPECT_TRUE(h.ed->Focused());
  EXPECT_TRUE(h.ed->CaretInCharField());
  EXPECT_EQ(h.ed->GetDataSize(), 4);
}

TEST(HexEditorControl, PropertyCountsAreTheGridsAcrossLayoutChanges) {
  EditorHost h;
  THexEditor* ed = h.ed;
  auto expectGrid = [&](int cols, int rows) {
    EXPECT_EQ(ed->GetColCount(), cols);
    EXPECT_EQ(ed->GetRowCount(), rows);
    EXPECT_EQ(ed->GetPropColCount(), ed->GetColCount());
    EXPECT_EQ(ed->GetPropRowCount(), ed->GetRowCount());
  };
  expectGrid(51, 3);
  ed->SetBytesPerRow(8);
  h.SetData(std::string(16, 'x'));
  expectGrid(27, 4);
  ed->SetInsertMode(true);
  expectGrid(27, 5);  // the append row after a full row
  ed->SetBytesPerRow(5);
  expectGrid(18, 6);
  ed->SetInsertMode(false);
  expectGrid(18, 6);
}

TEST(HexEditorControl, BookmarkIconsAreTwentyImagesOfTheBuiltInBitmap) {
  EditorHost h;
  EXPECT_EQ(h.ed->GetBookmarkBitmap()->GetWidth(), 200);
  EXPECT_EQ(h.ed->GetBookmarkBitmap()->GetHeight(), 10);
  EXPECT_EQ(h.ed->BookmarkImageCount(), 20);
  EXPECT_FALSE(h.ed->HasCustomBookmarkBitmap());
  TBitmap wrong(100, 10);
  try {
    h.ed->SetBookmarkBitmap(&wrong);
    FAIL();
  } catch (const EHexException& e) {
    EXPECT_EQ(e.Message(), L"Invalid bookmark bitmap (must be 10 x 200 px)");
  }
  TBitmap mine(200, 10);
  h.ed->SetBookmarkBitmap(&mine);
  EXPECT_TRUE(h.ed->HasCustomBookmarkBitmap());
  h.ed->SetBookmarkBitmap(nullptr);
  EXPECT_FALSE(h.ed->HasCustomBookmarkBitmap());
  EXPECT_EQ(h.ed->BookmarkImageCount(), 20);
  // a change of the bitmap itself refills the icons
  h.ed->GetBookmarkBitmap()->SetWidth(100);
  EXPECT_EQ(h.ed->BookmarkImageCount(), 10);
  h.ed->SetBookmarkBitmap(nullptr);
  EXPECT_EQ(h.ed->BookmarkImageCount(), 20);
}

TEST(HexEditorControl, TypingThroughWindowMessagesInBothFields) {
  EditorHost h;
  h.SetData(std::string(8, '\0'));
  h.Char(L'a');
  h.Char(L'B');
  EXPECT_EQ(h.ed->GetMemory(0), 0xAB);
  h.Char(L'x');  // not a hex digit
  EXPECT_EQ(h.ed->GetMemory(1), 0);
  h.Key(VK_TAB);
  EXPECT_TRUE(h.ed->GetInCharField());
  h.Char(L'Z');
  EXPECT_EQ(h.ed->GetMemory(1), 'Z');
  h.Char(L'\u00e9');  // é: an ANSI character
  EXPECT_EQ(h.ed->GetMemory(2), 0xE9);
  h.Key(VK_INSERT);
  EXPECT_TRUE(h.ed->GetInsertMode());
  h.Char(L'Q');
  EXPECT_EQ(h.ed->GetDataSize(), 9);
  EXPECT_EQ(h.ed->GetMemory(3), 'Q');
  h.Key(VK_BACK);
  EXPECT_EQ(h.ed->GetDataSize(), 8);
  EXPECT_TRUE(h.ed->GetCanUndo());
  // the key-press event can swallow a character
  h.ed->OnKeyPress = [](TObject*, wchar_t& k) { k = 0; };
  h.Char(L'W');
  EXPECT_EQ(h.ed->GetDataSize(), 8);
}

// In overwrite mode a digit typed on the last one leaves the caret after
// it, where typing goes on adding bytes; Left goes back onto the digit, and
// Insert makes that place the append position.
TEST(HexEditorControl, CaretStandsAfterTheLastDigitTypedInOverwriteMode) {
  EditorHost h;
  h.SetData(std::string("\x01\x02\x03", 3));
  const int charWidth = RectWidth(h.ed->CellRect(2, 2));
  auto caretX = [&] {
    Pump(20);
    POINT p{};
    EXPECT_TRUE(GetCaretPos(&p));
    return p.x;
  };
  h.ed->SetSelStart(2);
  h.Key(VK_RIGHT);
  const TRect last = h.ed->CellRect(h.ed->GetCol(), h.ed->TCustomGrid::GetRow());
  h.Char(L'4');
  EXPECT_TRUE(h.ed->GetTypingPastEnd());
  EXPECT_EQ(caretX(), last.left + charWidth);
  h.Key(VK_LEFT);
  EXPECT_FALSE(h.ed->GetTypingPastEnd());
  EXPECT_EQ(caretX(), last.left);
  EXPECT_EQ(h.ed->GetCursorPos(), 2);
  h.Char(L'9');
  h.Key(VK_INSERT);
  EXPECT_TRUE(h.ed->GetInsertMode());
  EXPECT_EQ(h.ed->GetPosAtCursor(h.ed->GetCol(), h.ed->TCustomGrid::GetRow()), 3);
  h.Char(L'5');
  EXPECT_EQ(h.ed->GetAsText(), std::string("\x01\x02\x09\x50", 4));
}

TEST(HexEditorControl, MouseMovesTheCaretAndDragSelects) {
  EditorHost h;
  h.SetData(std::string(40, 'x'));
  TRect r = h.ed->CellRect(2 + 2 * 5, 3);  // byte 21
  h.Click(r.left + 1, r.top + 1);
  EXPECT_EQ(h.ed->GetCursorPos(), 21);
  TRect past = h.ed->CellRect(2 + 2 * 12, 4);  // byte 44: past the data
  h.Click(past.left + 1, past.top + 1);
  EXPECT_EQ(h.ed->GetCursorPos(), 39);
  TRect a = h.ed->CellRect(2, 2), b = h.ed->CellRect(2 + 2 * 3, 2);
  SendMessageW(h.ed->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(a.left + 1, a.top + 1));
  SendMessageW(h.ed->GetHandle(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(b.left + 1, b.top + 1));
  SendMessageW(h.ed->GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(b.left + 1, b.top + 1));
  EXPECT_EQ(h.ed->GetSelCount(), 4);
}

TEST(HexEditorControl, LargeDataScrollsPastSixtyFiveThousandRows) {
  EditorHost h(900, 300);
  h.SetData(std::string(16 * 200000, 'z'));  // 200,000 rows
  EXPECT_EQ(h.ed->GetRowCount(), 200002);
  h.Key(VK_END);
  SendMessageW(h.ed->GetHandle(), WM_KEYDOWN, VK_CONTROL, 0);
  h.ed->Seek(0, 2);
  EXPECT_EQ(h.ed->GetCursorPos(), 16 * 200000 - 1);
  EXPECT_GT(h.ed->GetTopRow(), 65535);
  SCROLLINFO si{};
  si.cbSize = sizeof(si);
  si.fMask = SIF_ALL;
  ASSERT_TRUE(GetScrollInfo(h.ed->GetHandle(), SB_VERT, &si));
  EXPECT_EQ(si.nPos, h.ed->GetTopRow() - 2);
  SendMessageW(h.ed->GetHandle(), WM_VSCROLL, SB_TOP, 0);
  EXPECT_EQ(h.ed->GetTopRow(), 2);
  bool inChar;
  EXPECT_EQ(h.ed->GetTopLeftPosition(inChar), 0);
  h.ed->SetTopLeftPosition(16 * 100000, false);
  EXPECT_EQ(h.ed->GetTopRow(), 100002);
}

TEST(HexEditorControl, PaintsColumnGroupsChangesAndSelection) {
  EditorHost h;
  h.SetData(std::string("\x11\x22\x33\x44\x55", 5));
  // (the caret sits on the first digit of byte 0: look at second digits)
  auto g1 = h.CellColors(3, 2);  // byte 0, first group
  auto g2 = h.CellColors(7, 2);  // byte 2, second group
  EXPECT_TRUE(EditorHost::Has(g1, clBlue));
  EXPECT_TRUE(EditorHost::Has(g2, clNavy));
  EXPECT_FALSE(EditorHost::Has(g2, clBlue));
  // a changed byte: maroon on A8FFFF
  h.ed->SetSelStart(4);
  h.Char(L'9');
  auto ch = h.CellColors(10, 2);  // the caret went on to the second digit
  EXPECT_TRUE(EditorHost::Has(ch, h.ed->Colors()->GetChangedBackground()));
  EXPECT_TRUE(EditorHost::Has(ch, clMaroon));
  // a selected byte is inverted: the window colour turns into its inverse
  h.ed->SetSelStart(0);
  h.ed->SetSelEnd(1);
  auto sel = h.CellColors(3, 2);
  EXPECT_TRUE(EditorHost::Has(sel, InvertColor(clWindow)));
  EXPECT_TRUE(EditorHost::Has(sel, InvertColor(clBlue)));
  // hidden while unfocused, still selected
  h.ed->SetHideSelection(true);
  SetFocus(nullptr);
  Pump(20);
  auto hidden = h.CellColors(3, 2);
  EXPECT_FALSE(EditorHost::Has(hidden, InvertColor(clWindow)));
  EXPECT_EQ(h.ed->GetSelCount(), 2);
}

TEST(HexEditorControl, ColoursAndHelpers) {
  EditorHost h;
  EXPECT_EQ(FadeToGray(clWhite), static_cast<TColor>(RGB(255, 255, 255)));
  EXPECT_EQ(FadeToGray(clRed), static_cast<TColor>(RGB(73, 73, 73)));
  EXPECT_EQ(InvertColor(clBlack), static_cast<TColor>(0xFFFFFF));
  std::unique_ptr<THexEditor> other(new THexEditor(nullptr));
  other->Colors()->SetBackground(clYellow);
  other->Colors()->SetOddColumn(clRed);
  h.ed->SetColors(other->Colors());
  EXPECT_EQ(h.ed->GetColor(), clYellow);
  EXPECT_EQ(h.ed->Colors()->GetOddColumn(), clRed);
}

// The white part of the caret's picture: what the caret inverts, from the
// caret's place (the cell's top left) on.
static TRect CaretShape(THexEditor* ed) {
  TRect r = Rect(1 << 20, 1 << 20, 0, 0);
  for (int y = 0; y < ed->CaretBitmap()->GetHeight(); ++y)
    for (int x = 0; x < ed->CaretBitmap()->GetWidth(); ++x)
      if (ed->CaretBitmap()->Canvas()->Pixels(x, y) == clWhite)
        r = Rect(std::min<int>(r.left, x), std::min<int>(r.top, y), std::max<int>(r.right, x + 1),
                 std::max<int>(r.bottom, y + 1));
  return r;
}

TEST(HexEditorControl, LayoutChangesRepaintWithoutTrouble) {
  EditorHost h(700, 260);
  h.SetData(std::string(3000, 'q'));
  const int w = h.ed->CharWidth(), rh = h.ed->RowHeightPx();
  for (int bpr : {1, 7, 256, 16}) {
    h.ed->SetBytesPerRow(bpr);
    h.ed->SetBytesPerColumn(bpr == 256 ? 256 : 4);
    h.ed->SetShowRuler(bpr == 7);
    h.ed->SetHexLowerCase(bpr == 256);
    h.ed->SetOffsetFormat(bpr == 1 ? L"R%4!A:|h" : L"-!10:0x|");
    // Full: the whole cell; left: a bar two pixels wide; bottom: a band
    // above the cell's last two rows; auto: full in overwrite mode.
    for (THexCaretKind k : {ckFull, ckLeft, ckBottom, ckAuto}) {
      h.ed->SetCaretKind(k);
      EXPECT_EQ(CaretShape(h.ed), k == ckLeft     ? Rect(0, 0, 2, rh - 2)
                                  : k == ckBottom ? Rect(0, rh - 4, w, rh - 2)
                                                  : Rect(0, 0, w, rh - 2))
          << int(k);
    }
    h.ed->SetSelStart(2999);
    h.ed->Invalidate();
    h.ed->Update();
    EXPECT_EQ(h.ed->GetCursorPos(), 2999) << bpr;
    EXPECT_EQ(h.ed->GetColWidths(1), 6);
    EXPECT_EQ(h.ed->GetRowHeights(0), bpr == 7 ? h.ed->RowHeightPx() + 3 : 0);
  }
  // the offset column grows with the digits of the largest offset
  int w16 = h.ed->GetColWidths(0);
  h.ed->SetGutterWidth(33);
  EXPECT_EQ(h.ed->GetColWidths(0), 33);
  h.ed->SetGutterWidth(-1);
  EXPECT_EQ(h.ed->GetColWidths(0), w16);
  // insert mode: a click right of the last character of a full row lands on
  // the append position of the next row
  h.SetData(std::string(32, 'q'));
  // shorter data loaded into the editor scrolled to its end shows from its
  // first row on
  EXPECT_EQ(h.ed->GetTopRow(), 2);
  h.FitWholeRow();
  h.ed->SetInsertMode(true);
  EXPECT_EQ(CaretShape(h.ed), Rect(0, 0, 2, rh - 2));  // auto: a bar in insert mode
  TRect last = h.ed->CellRect(h.ed->GetLastCharCol(), 3);
  ASSERT_GT(RectWidth(last), 0);
  h.Click(last.right - 1, last.top + 2);
  EXPECT_EQ(h.ed->GetPosAtCursor(h.ed->GetCol(), h.ed->TCustomGrid::GetRow()), 32);
}

TEST(HexEditorControl, DataSetBeforeTheWindowExistsSurvivesItsCreation) {
  std::unique_ptr<TForm> form(new TForm(Application));
  form->SetBounds(30, 30, 400, 200);
  auto* ed = new THexEditor(form.get());
  ed->SetBounds(0, 0, 400, 200);
  ed->SetParent(form.get());
  ed->SetAsText("data first");
  ed->SetSelStart(0);
  ASSERT_FALSE(ed->HandleAllocated());
  form->Show();
  ed->HandleNeeded();
  Pump(20);
  EXPECT_EQ(ed->GetAsText(), "data first");
  EXPECT_EQ(ed->GetCursorPos(), 0);
}

TEST(HexEditorControl, CaretFollowsTheCurrentCellAndHidesWhenScrolledAway) {
  EditorHost h(700, 200);
  h.SetData(std::string(4000, 'c'));
  h.ed->SetSelStart(37);
  Pump(30);
  POINT p{};
  ASSERT_TRUE(GetCaretPos(&p));
  TRect r = h.ed->CellRect(h.ed->GetCol(), h.ed->TCustomGrid::GetRow());
  EXPECT_EQ(p.x, r.left);
  EXPECT_EQ(p.y, r.top);
  SendMessageW(h.ed->GetHandle(), WM_VSCROLL, SB_BOTTOM, 0);
  Pump(30);
  ASSERT_TRUE(GetCaretPos(&p));
  EXPECT_EQ(p.x, -50);
  EXPECT_EQ(p.y, -50);
  // page down brings it back into view
  h.Key(VK_NEXT);
  Pump(30);
  ASSERT_TRUE(GetCaretPos(&p));
  r = h.ed->CellRect(h.ed->GetCol(), h.ed->TCustomGrid::GetRow());
  EXPECT_EQ(p.y, r.top);
  EXPECT_GT(h.ed->GetCursorPos(), 37);
}

// Counts the messages of one kind that reach a control.
struct MessageCounter {
  TControl* control;
  TWndMethod old;
  int count = 0;
  MessageCounter(TControl* c, UINT msg) : control(c), old(c->WindowProc) {
    c->WindowProc = TWndMethod([this, msg](TMessage& m) {
      if (m.Msg == msg) ++count;
      old(m);
    });
  }
  ~MessageCounter() { control->WindowProc = old; }
};

TEST(HexEditorControl, SelectingMouseScrollsOnlyTowardsCells) {
  EditorHost h(760, 130);
  THexEditor* ed = h.ed;
  ed->SetBytesPerRow(8);
  h.SetData(std::string(8 * 60, 'x'));
  const HWND wnd = ed->GetHandle();
  const TRect cr = ed->GetClientRect();
  ASSERT_LT(ed->GridWidth() + 40, cr.right) << "the grid must end short of the window's right edge";
  ASSERT_LT(ed->GetTopRow() + ed->VisibleRowCount(), ed->GetRowCount());
  const TRect a = ed->CellRect(2, 2), b = ed->CellRect(2 + 2 * 3, 2);
  // press on byte 0 and drag to byte 3, the button held
  ASSERT_TRUE(testsupport::InputScript()
                  .Move(testsupport::ScreenPoint(wnd, a.left + 1, a.top + 2))
                  .Down()
                  .Move(testsupport::ScreenPoint(wnd, b.left + 1, b.top + 2))
                  .Send());
  struct Release {
    ~Release() { testsupport::InputScript().Up().Send(); }
  } release;
  ASSERT_EQ(ed->GetGridState(), gsSelecting);
  ASSERT_EQ(ed->GetSelCount(), 4);
  MessageCounter timers(ed, WM_TIMER);
  // right of the last column the scroll timer leaves caret and selection:
  // no cell lies there to scroll to
  testsupport::MoveMouse(testsupport::ScreenPoint(wnd, cr.right + 30, b.top + 2));
  ASSERT_TRUE(testsupport::PumpUntil([&] { return timers.count >= 4; }, 10000));
  EXPECT_EQ(ed->GetSelCount(), 4);
  EXPECT_FALSE(ed->GetInCharField());
  EXPECT_EQ(ed->GetCursorPos(), 3);
  // below the window more rows follow: the timer scrolls and selects on
  testsupport::MoveMouse(testsupport::ScreenPoint(wnd, b.left + 1, cr.bottom + 30));
  EXPECT_TRUE(testsupport::PumpUntil([&] { return ed->GetTopRow() > 3; }, 10000));
  EXPECT_GT(ed->GetSelCount(), 8);
  EXPECT_FALSE(ed->GetInCharField());
}

TEST(HexEditorControl, PointerOverTheSelectionAndAClickOnIt) {
  EditorHost h(700, 200);
  THexEditor* ed = h.ed;
  h.SetData(std::string(64, 's'));
  ed->SetSelStart(2);
  ed->SetSelEnd(5);
  ASSERT_EQ(ed->GetSelCount(), 4);
  const HWND wnd = ed->GetHandle();
  const TRect on = ed->CellRect(2 + 2 * 3, 2), off = ed->CellRect(2 + 2 * 10, 2);
  const TRect offset = ed->CellRect(0, 3);
  // the arrow over the selection and the offsets, the I-beam over other bytes
  testsupport::MoveMouse(testsupport::ScreenPoint(wnd, on.left + 1, on.top + 2));
  EXPECT_EQ(ed->GetCursor(), crArrow);
  EXPECT_TRUE(ed->GetMouseOverSelection());
  testsupport::MoveMouse(testsupport::ScreenPoint(wnd, off.left + 1, off.top + 2));
  EXPECT_EQ(ed->GetCursor(), crIBeam);
  testsupport::MoveMouse(testsupport::ScreenPoint(wnd, offset.left + 4, offset.top + 2));
  EXPECT_EQ(ed->GetCursor(), crArrow);
  EXPECT_TRUE(ed->MouseOverFixed(offset.left + 4, offset.top + 2));
  // a click on the selection (no move between press and release) drops it
  // and puts the caret on the byte clicked
  testsupport::Click(testsupport::ScreenPoint(wnd, on.left + 1, on.top + 2));
  EXPECT_EQ(ed->GetSelCount(), 0);
  EXPECT_EQ(ed->GetCursorPos(), 3);
  EXPECT_FALSE(ed->GetInCharField());
}

TEST(HexEditorControl, DragAndDropOntoAndFromTheEditor) {
  EditorHost h(520, 200);
  THexEditor* ed = h.ed;
  h.SetData("0123456789abcdefghij");
  // The whole row in sight: a drag that passes the last visible cell on its
  // way in scrolls the grid one column (half a byte) otherwise, more or less
  // often by how many moves the system reports on the way.
  h.FitWholeRow();
  h.form->SetBounds(h.form->GetLeft(), h.form->GetTop(), ed->GetWidth() + 180, 200);
  auto* src = new TPanel(h.form.get());
  src->SetParent(h.form.get());
  src->SetBounds(ed->GetWidth() + 40, 40, 100, 100);
  src->SetDragMode(dmAutomatic);
  SetForegroundWindow(h.form->GetHandle());
  Pump(30);
  std::vector<int32_t> shown;
  int drops = 0;
  int32_t dropped = -2;
  ed->OnDragOver = [&](TObject*, TObject* Source, int X, int Y, TDragState State, bool& Accept) {
    Accept = Source == src;
    if (Accept && State != dsDragLeave) shown.push_back(ed->ShowDragCell(X, Y));
  };
  ed->OnDragDrop = [&](TObject*, TObject*, int, int) {
    ++drops;
    dropped = ed->DropPosition();
    ed->InsertBuffer(reinterpret_cast<const uint8_t*>("XY"), 2, dropped);
  };
  const HWND wnd = ed->GetHandle();
  const POINT from = ClientCentre(src->GetHandle());
  // onto the second digit of byte 5: the bytes go in before it
  const TRect b5 = ed->CellRect(2 + 2 * 5 + 1, 2);
  ASSERT_TRUE(Drag(DragScript{from, ScreenPoint(wnd, b5.left + 2, b5.top + 3)}));
  EXPECT_EQ(drops, 1);
  EXPECT_EQ(dropped, 5);
  ASSERT_FALSE(shown.empty());
  EXPECT_EQ(shown.back(), 5);
  EXPECT_EQ(ed->GetAsText(), "01234XY56789abcdefghij");
  EXPECT_EQ(ed->DropPosition(), -1);  // the marker went with the drop
  // over a selected byte the marker stands at the selection's start; a
  // drag that leaves again drops nothing and takes the marker along
  ed->SetSelStart(10);
  ed->SetSelEnd(13);
  shown.clear();
  const TRect c12 = ed->CellRect(ed->FirstCharCol() + 12, 2);
  DragScript away{from, from};
  away.Via = {ScreenPoint(wnd, c12.left + 2, c12.top + 3)};
  ASSERT_TRUE(Drag(away));
  // over the selected bytes 10 to 13 the marker stood at byte 10
  EXPECT_NE(std::find(shown.begin(), shown.end(), 10), shown.end());
  for (int32_t p : shown) EXPECT_TRUE(p < 11 || p > 13) << p;
  EXPECT_EQ(drops, 1);
  EXPECT_EQ(ed->DropPosition(), -1);
  EXPECT_EQ(ed->GetDataSize(), 22);
  // the marker is drawn in the cell's text colour, also on the append cell
  const TRect end = ed->CellRect(2 + 2 * 6, 3);
  EXPECT_EQ(ed->ShowDragCell(end.left + 2, end.top + 3), 22);
  EXPECT_TRUE(EditorHost::Has(h.CellColors(2 + 2 * 6, 3), ed->Font()->GetColor()));
  ed->HideDragCell();
  EXPECT_FALSE(EditorHost::Has(h.CellColors(2 + 2 * 6, 3), ed->Font()->GetColor()));

  // as a source with DragMode dmAutomatic: a click without a move places
  // the caret, a press moved far enough drags the editor onto the panel
  ed->SetDragMode(dmAutomatic);
  int starts = 0, taken = 0;
  ed->OnStartDrag = [&](TObject*, TDragObject*&) { ++starts; };
  src->OnDragOver = [&](TObject*, TObject* Source, int, int, TDragState, bool& Accept) { Accept = Source == ed; };
  src->OnDragDrop = [&](TObject*, TObject* Source, int, int) { taken += Source == ed; };
  Pump(static_cast<int>(GetDoubleClickTime()) + 30);
  Click(ScreenPoint(wnd, b5.left - 4, b5.top + 3));
  EXPECT_EQ(ed->GetCursorPos(), 5);
  EXPECT_EQ(starts, 0);
  ASSERT_TRUE(Drag(DragScript{ScreenPoint(wnd, end.left + 2, end.top + 3), from}));
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(taken, 1);
  // the press left no mouse selection running
  EXPECT_EQ(ed->GetGridState(), gsNormal);
  EXPECT_EQ(GetCapture(), nullptr);
}

TEST(HexEditorDesign, AWindowMadeWhileDesignedHoldsAnEmptyDocument) {
  for (bool designing : {false, true}) {
    SCOPED_TRACE(designing ? "designing" : "running");
    std::unique_ptr<TForm> form(new TForm(Application));
    auto* ed = new THexEditor(form.get());
    ed->SetParent(form.get());
    form->SetDesigning(designing);
    ed->SetAsText("abc");  // before the window exists
    ed->HandleNeeded();
    EXPECT_EQ(ed->GetDataSize(), designing ? 0 : 3);
    EXPECT_EQ(ed->GetModified(), !designing);
    EXPECT_EQ(ed->GetCanUndo(), !designing);
    EXPECT_EQ(ed->GetFileName(), L"Untitled");
    // A window made again in the designer empties it again.
    ed->SetAsText("de");
    ed->RecreateWnd();
    ed->HandleNeeded();
    EXPECT_EQ(ed->GetDataSize(), designing ? 0 : 2);
  }
}
