// The hex editor's data model, geometry, offsets, keyboard and
// translations, driven headless.
#include <gtest/gtest.h>

#include "valueedit/HexEditorCore.h"
#include "valueedit/tests/hex_test_util.h"

using namespace hexkeys;

// ---------------------------------------------------------------------------
// Geometry and sizes

TEST(HexGeometry, EmptyEditorHasThreeRowsAndOnlyTwoCaretCells) {
  TestHexEditor ed;
  EXPECT_EQ(ed.GetPropRowCount(), 3);
  EXPECT_EQ(ed.GetDataSize(), 0);
  ed.MoveCaret(4, 2);
  EXPECT_EQ(ed.Col(), 2);
  ed.MoveCaret(ed.FirstCharCol(), 2);
  EXPECT_EQ(ed.Col(), ed.FirstCharCol());
  ed.MoveCaret(ed.FirstCharCol() + 1, 2);
  EXPECT_EQ(ed.Col(), ed.FirstCharCol());
}

TEST(HexGeometry, ColumnsAndCellPositionsRoundTrip) {
  TestHexEditor ed;
  ed.SetBytesPerRow(8);
  EXPECT_EQ(ed.CalcColCount(), 27);
  EXPECT_EQ(ed.SeparatorCol(), 18);
  EXPECT_EQ(ed.FirstCharCol(), 19);
  for (int32_t p : {0, 5, 7, 8, 13, 100}) {
    int c, r;
    ed.GetCursorAtPos(p, false, c, r);
    EXPECT_EQ(ed.GetPosAtCursor(c, r), p);
    EXPECT_EQ(ed.GetPosAtCursor(c + 1, r), p);  // second digit
    ed.GetCursorAtPos(p, true, c, r);
    EXPECT_EQ(ed.GetPosAtCursor(c, r), p);
  }
  EXPECT_EQ(ed.GetOtherFieldCol(19 + 3), 2 + 2 * 3);
  EXPECT_EQ(ed.GetOtherFieldCol(2 + 2 * 3 + 1), 19 + 3);
  int c, r;
  ed.GetCursorAtPos(-5, true, c, r);
  EXPECT_EQ(c, 2);
  EXPECT_EQ(r, 2);
}

TEST(HexGeometry, RowCountFollowsInsertModeAppendRow) {
  TestHexEditor ed;
  ed.SetBytesPerRow(8);
  ed.Load(Bytes(16));
  EXPECT_EQ(ed.GetPropRowCount(), 4);  // 2 fixed + 2 data rows
  ed.SetInsertMode(true);
  EXPECT_EQ(ed.GetPropRowCount(), 5);
  ed.SetInsertMode(false);
  EXPECT_EQ(ed.GetPropRowCount(), 4);
  ed.Load(Bytes(17));
  EXPECT_EQ(ed.GetPropRowCount(), 5);
}

TEST(HexGeometry, BytesPerRowLimitsAndCaretKept) {
  TestHexEditor ed;
  ed.Load(Bytes(40));
  ed.SetSelStart(21);
  EXPECT_THROW(ed.SetBytesPerRow(0), EHexException);
  EXPECT_THROW(ed.SetBytesPerRow(257), EHexException);
  EXPECT_THROW(ed.SetBytesPerColumn(0), EHexException);
  ed.SetBytesPerRow(256);
  EXPECT_EQ(ed.GetCursorPos(), 21);
  EXPECT_EQ(ed.GetPropRowCount(), 3);
  ed.SetBytesPerRow(3);
  EXPECT_EQ(ed.GetCursorPos(), 21);
  EXPECT_EQ(ed.Row(), 21 / 3 + 2);
}

// ---------------------------------------------------------------------------
// Offsets

TEST(HexOffsets, DefaultFormatWidthDependsOnRowsAtSizeComputation) {
  TestHexEditor ed;
  ed.SetBytesPerRow(8);
  ed.Load(Bytes(16));
  EXPECT_EQ(ed.GetOffsetString(0), L"0x0");
  EXPECT_EQ(ed.GetOffsetString(8), L"0x8");
  ed.SetInsertMode(true);
  // switching the mode alone keeps the digit count
  EXPECT_EQ(ed.GetOffsetString(8), L"0x8");
  ed.CalcSizes();
  EXPECT_EQ(ed.GetOffsetString(0), L"0x00");
  EXPECT_EQ(ed.GetOffsetString(8), L"0x08");
  EXPECT_EQ(ed.GetOffsetString(16), L"0x10");
}

TEST(HexOffsets, RowUnitsDecimalWithSuffix) {
  TestHexEditor ed;
  ed.Load(Bytes(100));
  ed.SetOffsetFormat(L"R%4!A:|h");
  EXPECT_EQ(ed.GetOffsetString(0), L"0000h");
  EXPECT_EQ(ed.GetOffsetString(32), L"0002h");
  EXPECT_EQ(ed.GetOffsetString(160), L"0010h");
}

TEST(HexOffsets, RowUnitOf256BytesNeverDividesByZero) {
  TestHexEditor ed;
  ed.SetBytesPerRow(256);
  ed.SetOffsetFormat(L"R%4!A:|");
  ed.Load(Bytes(1024));
  EXPECT_EQ(ed.OffsetFormat().BytesPerUnit, 256);
  EXPECT_EQ(ed.GetOffsetString(512), L"0002");
  ed.SetBytesPerRow(16);
  EXPECT_EQ(ed.GetOffsetString(512), L"0032");
}

TEST(HexOffsets, FormatErrorsNameTheProblemAndChangeNothing) {
  TestHexEditor ed;
  auto msg = [&](const String& f) -> String {
    try {
      ed.SetOffsetFormat(f);
    } catch (const EHexException& e) {
      return e.Message();
    }
    return L"(none)";
  };
  EXPECT_EQ(msg(L"10:"), L"Missing char in offset format: |");
  EXPECT_EQ(msg(L"-!:|"), L"Missing char in offset format: number radix");
  EXPECT_EQ(msg(L"-!10|"), L"Missing char in offset format: :");
  EXPECT_EQ(msg(L"-!1:|"), L"Invalid radix in offset format (1h), allowed: 02h..10h");
  EXPECT_EQ(msg(L"-!11:|"), L"Invalid radix in offset format (11h), allowed: 02h..10h");
  EXPECT_EQ(msg(L"0%10:|"), L"Invalid bytes per unit value 0h, allowed: 01h..BytesPerRow");
  // after all those failures the format is still the default one
  EXPECT_EQ(ed.GetOffsetFormat(), L"-!10:0x|");
  EXPECT_EQ(ed.OffsetFormat().Prefix, L"0x");
  EXPECT_EQ(ed.OffsetFormat().Radix, 16);
  EXPECT_EQ(ed.OffsetFormat().BytesPerUnit, 1);
  EXPECT_TRUE(ed.OffsetFormat().Flags & offCalcWidth);
}

TEST(HexOffsets, EmptyFormatAndLowerCase) {
  TestHexEditor ed;
  ed.Load(Bytes(300));
  ed.SetOffsetFormat(L"");
  EXPECT_EQ(ed.GetOffsetString(0x1AB), L"");
  EXPECT_EQ(ed.GetAnyOffsetString(0x1AB), L"1AB");
  ed.SetOffsetFormat(L"4!10:|");
  ed.SetHexLowerCase(true);
  EXPECT_EQ(ed.GetOffsetString(0x1AB), L"01ab");
  EXPECT_EQ(ed.Digit(0xC), L'c');
}

TEST(HexOffsets, RadixHelpers) {
  EXPECT_EQ(IntToRadix(0, 2), L"0");
  EXPECT_EQ(IntToRadix(255, 16), L"FF");
  EXPECT_EQ(IntToRadixLen(5, 2, 8), L"00000101");
  EXPECT_EQ(IntToOctal(8), L"10");
  EXPECT_EQ(CheckRadixToInt(L"0x1F"), 31u);
  EXPECT_EQ(CheckRadixToInt(L"$1F"), 31u);
  EXPECT_EQ(CheckRadixToInt(L"1Fh"), 31u);
  EXPECT_EQ(CheckRadixToInt(L"17o"), 15u);
  EXPECT_EQ(CheckRadixToInt(L"o17"), 15u);
  EXPECT_EQ(CheckRadixToInt(L"017"), 15u);
  EXPECT_EQ(CheckRadixToInt(L"101%"), 5u);
  EXPECT_EQ(CheckRadixToInt(L"%101"), 5u);
  EXPECT_EQ(CheckRadixToInt(L"019"), 19u);
  try {
    CheckRadixToInt(L"12G");
    FAIL();
  } catch (const EHexException& e) {
    EXPECT_EQ(e.Message(), L"Invalid character G, cannot convert using radix Ah");
  }
}

TEST(HexOffsets, RulerTexts) {
  TestHexEditor ed;
  ed.SetBytesPerRow(32);
  EXPECT_EQ(ed.RulerText(2), L"0");
  EXPECT_EQ(ed.RulerText(3), L"0");
  EXPECT_EQ(ed.RulerText(2 + 2 * 17), L"1");
  EXPECT_EQ(ed.RulerText(3 + 2 * 17), L"1");
  EXPECT_EQ(ed.RulerText(ed.SeparatorCol()), L"  ");
  EXPECT_EQ(ed.RulerText(ed.FirstCharCol() + 27), L"B");
}

// ---------------------------------------------------------------------------
// Data access and selection

TEST(HexData, TextRoundTripKeepsZeroBytesAndIsOneUndoStep) {
  TestHexEditor ed;
  AnsiString data("a\0b\xff", 4);
  ed.SetAsText(data);
  EXPECT_EQ(ed.GetAsText(), data);
  ed.ResetUndo();
  ed.SetModified(false);
  ed.SetAsText(AnsiString("xyz"));
  EXPECT_EQ(ed.GetAsText(), "xyz");
  EXPECT_TRUE(ed.GetModified());
  EXPECT_EQ(ed.UndoStorage().Count(), 1);
  EXPECT_EQ(ed.GetUndoDescription(), L"Replace Selection");
  ed.Undo();
  EXPECT_EQ(ed.GetAsText(), data);
}

TEST(HexData, HexTextConversions) {
  TestHexEditor ed;
  ed.SetAsHex("0a 1B-zz 3");  // the unpaired last digit is dropped
  EXPECT_EQ(ed.GetAsText(), AnsiString("\x0a\x1b", 2));
  EXPECT_EQ(ed.GetAsHex(), "0A1B");
  ed.SetSwapNibbles(true);
  EXPECT_EQ(ed.GetAsHex(), "A0B1");
  uint8_t out[4];
  size_t n;
  THexEditorCore::ConvertHexToBin("12 34 56", 8, out, 2, false, n);
  EXPECT_EQ(n, 2u);  // never past the output
}

TEST(HexData, MemoryAccessRefusesOutOfRange) {
  TestHexEditor ed;
  ed.Load(Bytes(4));
  EXPECT_THROW(ed.GetMemory(4), EHexException);
  EXPECT_THROW(ed.GetMemory(-1), EHexException);
  EXPECT_THROW(ed.SetMemory(4, 1), EHexException);
  ed.SetMemory(3, 0x77);
  EXPECT_EQ(ed.GetMemory(3), 0x77);
  EXPECT_FALSE(ed.GetCanUndo());
}

TEST(HexData, BlockCopiesStayInsideTheData) {
  TestHexEditor ed;
  ed.Load(Bytes(10));
  uint8_t buf[4] = {};
  ed.GetMemAtPos(buf, 6, 4);
  EXPECT_EQ(buf[3], 9);
  EXPECT_THROW(ed.GetMemAtPos(buf, 7, 4), EHexException);
  EXPECT_THROW(ed.SetMemAtPos(buf, -1, 2), EHexException);
  ed.MoveFileMem(0, 2, 5);  // overlapping
  EXPECT_EQ(ed.GetAsText(), AsText({0, 1, 0, 1, 2, 3, 4, 7, 8, 9}));
  EXPECT_THROW(ed.MoveFileMem(0, 8, 5), EHexException);
  const uint8_t two[2] = {0xEE, 0xFF};
  ed.SetMemAtPos(two, 8, 2);
  EXPECT_EQ(ed.GetMemory(9), 0xFF);
  EXPECT_FALSE(ed.GetCanUndo());
}

TEST(HexSelection, StartEndAndCount) {
  TestHexEditor ed;
  ed.Load(Bytes(32));
  EXPECT_THROW(ed.SetSelStart(32), EHexException);
  EXPECT_THROW(ed.SetSelEnd(32), EHexException);
  ed.SetSelStart(4);
  ed.SetSelEnd(9);
  EXPECT_EQ(ed.GetSelCount(), 6);
  EXPECT_EQ(ed.GetSelStart(), 4);
  EXPECT_EQ(ed.GetSelEnd(), 9);
  EXPECT_TRUE(ed.IsSelected(9));
  EXPECT_FALSE(ed.IsSelected(10));
  ed.SetSelEnd(-1);
  EXPECT_EQ(ed.GetSelCount(), 0);
  ed.SelectAll();
  EXPECT_EQ(ed.GetSelCount(), 32);
  EXPECT_EQ(ed.GetCursorPos(), 31);
}

TEST(HexSelection, ShiftArrowsSelectInBothModes) {
  TestHexEditor ed;
  ed.Load(Bytes(32));
  ed.SetSelStart(4);
  ed.Key(Shift, {ssShift});
  ed.Key(Right, {ssShift});  // second digit of byte 4
  ed.Key(Right, {ssShift});  // byte 5
  EXPECT_EQ(ed.SelLow(), 4);
  EXPECT_EQ(ed.SelHigh(), 5);
  ed.Key(Right);  // without Shift the selection goes
  EXPECT_EQ(ed.GetSelCount(), 0);

  // insert mode selects the bytes between two gaps
  ed.SetInsertMode(true);
  ed.SetSelStart(4);
  ed.Key(Shift, {ssShift});
  ed.Key(Right, {ssShift});
  EXPECT_EQ(ed.SelLow(), 4);
  EXPECT_EQ(ed.SelHigh(), 4);
  ed.Key(Left, {ssShift});
  EXPECT_EQ(ed.GetSelCount(), 0);
}

// ---------------------------------------------------------------------------
// Insert mode switching

TEST(HexModes, InsertModeRefusedWhenReadOnlyOrFixedSize) {
  TestHexEditor ed;
  ed.Load(Bytes(8));
  ed.SetReadOnlyView(true);
  ed.SetInsertMode(true);
  EXPECT_FALSE(ed.GetInsertMode());
  ed.SetReadOnlyView(false);
  ed.SetInsertMode(true);
  EXPECT_TRUE(ed.GetInsertMode());
  ed.SetNoSizeChange(true);
  EXPECT_FALSE(ed.GetInsertMode());
  ed.SetNoSizeChange(false);
  EXPECT_FALSE(ed.GetInsertMode());  // left when the size was fixed
}

TEST(HexModes, SwitchingModeClearsChangeMarksAndLeavesAppendPosition) {
  TestHexEditor ed;
  ed.Load(Bytes(8));
  ed.SetSelStart(2);
  ed.Type("F");
  EXPECT_TRUE(ed.HasChanged(2));
  ed.SetInsertMode(true);
  EXPECT_FALSE(ed.HasChanged(2));
  ed.Key(End, {ssCtrl});
  EXPECT_EQ(ed.GetPosAtCursor(ed.Col(), ed.Row()), 8);
  ed.SetInsertMode(false);
  EXPECT_EQ(ed.GetPosAtCursor(ed.Col(), ed.Row()), 7);
}

// ---------------------------------------------------------------------------
// Keyboard: typing in both fields

TEST(HexTyping, OverwriteHexDigitsChangeHighThenLowNibble) {
  TestHexEditor ed;
  ed.Load(Bytes(8));
  ed.SetSelStart(3);
  ed.Type("A");
  EXPECT_EQ(ed.GetMemory(3), (0xA0 | (3 & 0x0F)));
  ed.Type("B");
  EXPECT_EQ(ed.GetMemory(3), 0xAB);
  EXPECT_EQ(ed.GetCursorPos(), 4);
  EXPECT_EQ(ed.GetDataSize(), 8);
  EXPECT_TRUE(ed.HasChanged(3));
}

TEST(HexTyping, InsertHexDigitsInsertOneByte) {
  TestHexEditor ed;
  ed.Load(Bytes(8));
  ed.SetInsertMode(true);
  ed.SetSelStart(3);
  ed.Type("AB");
  EXPECT_EQ(ed.GetDataSize(), 9);
  EXPECT_EQ(ed.GetMemory(3), 0xAB);
  EXPECT_EQ(ed.GetMemory(4), 3);
  EXPECT_EQ(ed.GetCursorPos(), 4);
}

TEST(HexTyping, InvalidHexKeyAndControlCharactersChangeNothing) {
  TestHexEditor ed;
  ed.Load(Bytes(8));
  ed.SetSelStart(0);
  ed.Type("g");
  EXPECT_EQ(ed.invalidKeys, 1);
  ed.WMChar(9);
  ed.Key(Tab);
  ed.WMChar(1);
  EXPECT_EQ(ed.GetAsText(), AsText(Bytes(8)));
  EXPECT_FALSE(ed.GetCanUndo());
}

// Typed over a selection: overwrite mode writes from the first selected
// byte on, insert mode replaces the selection; a refused key (a non-hex key,
// a character the translation refuses) leaves selection and caret alone.
// The selection is made as a user makes it, with Shift+Right from its first
// byte, so the caret stands at its end; each character comes with its key's
// key-down, as from the keyboard.
TEST(HexTyping, OverASelectionInBothModes) {
  for (bool ins : {false, true}) {
    for (bool chars : {false, true}) {
      TestHexEditor ed;
      ed.Load(Bytes(8));
      ed.SetTranslation(tkASCII);
      ed.SetInsertMode(ins);
      if (chars) ed.Key(Tab);
      ed.SetSelStart(2);
      ed.Key(Shift, {ssShift});
      for (int i = 0; i < 8 && ed.GetSelCount() < 3; ++i) ed.Key(Right, {ssShift});
      ASSERT_EQ(ed.SelLow(), 2) << ins << chars;
      ASSERT_EQ(ed.SelHigh(), 4) << ins << chars;
      const int col = ed.Col();
      ASSERT_NE(ed.GetCursorPos(), 2) << ins << chars;
      auto press = [&ed](int vk, uint8_t c) {
        ed.Key(vk);
        ed.WMChar(c);
      };
      press(chars ? 0xBA : 'G', chars ? 0xE9 : 'g');  // refused
      EXPECT_EQ(ed.invalidKeys, 1);
      EXPECT_EQ(ed.GetSelCount(), 3) << ins << chars;
      EXPECT_EQ(ed.Col(), col) << ins << chars;
      press(chars ? 'Z' : 'A', chars ? 'Z' : 'A');
      const int typed = chars ? 'Z' : 0xA0 | (ins ? 0 : 2);
      EXPECT_EQ(ed.GetAsText(), ins ? AsText({0, 1, typed, 5, 6, 7}) : AsText({0, 1, typed, 3, 4, 5, 6, 7}))
          << ins << chars;
      EXPECT_EQ(ed.GetSelCount(), 0);
    }
  }
}

TEST(HexTyping, CharacterFieldUnderEachTranslation) {
  struct Case {
    THexTranslationKind kind;
    char typed;
    uint8_t stored;
  };
  const Case cases[] = {{tkAsIs, 'A', 0x41}, {tkDos8, 'A', 0x41}, {tkASCII, 'z', 0x7A},
                        {tkMac, '\xC4', 0x80}, {tkBCD, 'A', 0xC1}, {tkCustom, 'Q', 'Q'}};
  for (const Case& c : cases) {
    TestHexEditor ed;
    ed.Load(Bytes(4));
    ed.SetTranslation(c.kind);
    ed.SetSelStart(1);
    ed.Key(Tab);
    ASSERT_TRUE(ed.GetInCharField());
    ed.WMChar(static_cast<uint8_t>(c.typed));
    EXPECT_EQ(ed.GetMemory(1), c.stored) << "kind " << int(c.kind);
    EXPECT_EQ(ed.TranslateToAnsiChar(c.stored), static_cast<uint8_t>(c.typed)) << "kind " << int(c.kind);
  }
}

TEST(HexTyping, AsciiRefusesHighCharactersAndMasksHighBytes) {
  TestHexEditor ed;
  ed.Load(Bytes(4));
  ed.SetTranslation(tkASCII);
  ed.Key(Tab);
  ed.WMChar(0xE9);
  EXPECT_EQ(ed.invalidKeys, 1);
  EXPECT_EQ(ed.TranslateToAnsiChar(0xC8), '.');
}

TEST(HexTyping, InsertModeCharactersAppendAtTheEnd) {
  TestHexEditor ed;
  ed.SetInsertMode(true);
  ed.Key(Tab);
  // With no data the caret stands in the character column, but no field
  // holds it; typing keeps to the column the caret stands in.
  EXPECT_EQ(ed.Col(), ed.FirstCharCol());
  EXPECT_FALSE(ed.GetInCharField());
  ed.Type("hi!");
  EXPECT_EQ(ed.GetAsText(), "hi!");
  EXPECT_TRUE(ed.GetInCharField());
  EXPECT_EQ(ed.GetPosAtCursor(ed.Col(), ed.Row()), 3);
  // Emptied again, the answer is false again.
  ed.SelectAll();
  ed.DeleteSelection();
  EXPECT_EQ(ed.GetDataSize(), 0);
  EXPECT_TRUE(ed.IsCharCol(ed.Col()));
  EXPECT_FALSE(ed.GetInCharField());
}

TEST(HexTyping, BackspaceAndDeleteInBothModes) {
  TestHexEditor ed;
  ed.Load(Bytes(10));
  ed.SetSelStart(5);
  ed.Key(Back);  // overwrite: only moves left
  EXPECT_EQ(ed.GetDataSize(), 10);
  EXPECT_EQ(ed.Col(), 2 + 2 * 4 + 1);
  ed.Key(Delete);  // overwrite: nothing
  EXPECT_EQ(ed.GetDataSize(), 10);
  ed.Key(Delete, {ssCtrl});  // deletes the caret byte
  EXPECT_EQ(ed.GetAsText(), AsText({0, 1, 2, 3, 5, 6, 7, 8, 9}));

  TestHexEditor ins;
  ins.Load(Bytes(10));
  ins.SetInsertMode(true);
  ins.SetSelStart(0);
  ins.Key(Back);
  EXPECT_EQ(ins.GetDataSize(), 10);
  ins.SetSelStart(4);
  ins.SetSelEnd(6);
  ins.Key(Back);  // only the selection, as Delete
  EXPECT_EQ(ins.GetAsText(), AsText({0, 1, 2, 3, 7, 8, 9}));
  ins.SetSelStart(1);
  ins.SetSelEnd(3);
  ins.Key(Delete);  // only the selection
  EXPECT_EQ(ins.GetAsText(), AsText({0, 7, 8, 9}));
  ins.Key(End, {ssCtrl});
  ins.Key(Delete);  // nothing after the append position
  EXPECT_EQ(ins.GetDataSize(), 4);
  ins.Key(Back);
  EXPECT_EQ(ins.GetAsText(), AsText({0, 7, 8}));
}

// ---------------------------------------------------------------------------
// Keyboard: navigation

TEST(HexKeys, ArrowsHomeEndAndTab) {
  TestHexEditor ed;
  ed.Load(Bytes(40));
  ed.SetSelStart(17);
  ed.Key(Home);
  EXPECT_EQ(ed.GetCursorPos(), 16);
  ed.Key(End);
  EXPECT_EQ(ed.GetCursorPos(), 31);
  EXPECT_TRUE(ed.IsSecondDigitCol(ed.Col()));
  ed.Key(Home, {ssCtrl});
  EXPECT_EQ(ed.GetCursorPos(), 0);
  ed.Key(End, {ssCtrl});
  EXPECT_EQ(ed.GetCursorPos(), 39);
  ed.Key(Tab);
  EXPECT_TRUE(ed.GetInCharField());
  EXPECT_EQ(ed.GetCursorPos(), 39);
  ed.Key(Right);  // never past the last byte in overwrite mode
  EXPECT_EQ(ed.GetCursorPos(), 39);
  ed.Key('T', {ssCtrl});
  EXPECT_FALSE(ed.GetInCharField());
  ed.Key(Up);
  EXPECT_EQ(ed.GetCursorPos(), 23);
  EXPECT_FALSE(ed.ParseKeyDown(TShiftState{ssCtrl}, Left));
}

TEST(HexKeys, PageDownStopsOneRowShortOfTheLast) {
  TestHexEditor ed;
  ed.SetHeadlessVisibleRows(10);
  ed.Load(Bytes(16 * 15));  // rows 2..16
  ed.SetSelStart(0);
  ed.Key(Next);
  EXPECT_EQ(ed.Row(), 11);
  ed.Key(Next);
  EXPECT_EQ(ed.Row(), 15);  // RowCount - 2
  ed.Key(Down);
  EXPECT_EQ(ed.Row(), 16);
  ed.Key(Prior);
  EXPECT_EQ(ed.Row(), 7);
}

TEST(HexKeys, ClickPastTheDataLandsOnTheLastByte) {
  TestHexEditor ed;
  ed.Load(Bytes(20));
  ed.MoveCaret(2 + 2 * 10, 3);  // position 26, beyond the data
  EXPECT_EQ(ed.GetCursorPos(), 19);
  ed.MoveCaret(ed.SeparatorCol(), 2);  // never the separator
  EXPECT_NE(ed.Col(), ed.SeparatorCol());
}

TEST(HexKeys, BookmarksFromTheKeyboard) {
  TestHexEditor ed;
  ed.Load(Bytes(40));
  ed.SetSelStart(12);
  ed.Key('3', {ssCtrl, ssShift});
  EXPECT_EQ(ed.GetBookmark(3).mPosition, 12);
  ed.SetSelStart(30);
  EXPECT_TRUE(ed.ParseKeyDown(TShiftState{ssCtrl}, '3'));
  EXPECT_EQ(ed.GetCursorPos(), 12);
  ed.Key('3', {ssCtrl, ssShift});  // same cell: cleared
  EXPECT_EQ(ed.GetBookmark(3).mPosition, -1);
  EXPECT_FALSE(ed.ParseKeyDown(TShiftState{ssCtrl}, '3'));
  EXPECT_THROW(ed.GetBookmark(10), EHexException);
  EXPECT_THROW(ed.GetBookmark(-1), EHexException);
  EXPECT_THROW(ed.SetBookmarkVals(-1, 0, false), EHexException);
}

// ---------------------------------------------------------------------------
// Nibbles

TEST(HexNibbles, InsertHighNibbleWritesTheFinalCarry) {
  TestHexEditor ed;
  ed.Load(std::vector<uint8_t>(512, 0xAB));
  ASSERT_TRUE(ed.InsertNibble(0, true));
  ASSERT_EQ(ed.GetDataSize(), 513);
  EXPECT_EQ(ed.GetMemory(0), 0x0A);
  for (int i = 1; i < 512; ++i) ASSERT_EQ(ed.GetMemory(i), 0xBA) << i;
  EXPECT_EQ(ed.GetMemory(512), 0xB0);
}

TEST(HexNibbles, InsertAndDeleteBothVariantsAndUndo) {
  TestHexEditor ed;
  ed.Load({0xAB, 0xCD});
  ed.InsertNibble(0, false);
  EXPECT_EQ(ed.GetAsText(), AsText({0xA0, 0xBC, 0xD0}));
  ed.Undo();
  EXPECT_EQ(ed.GetAsText(), AsText({0xAB, 0xCD}));
  ed.DeleteNibble(0, true);
  EXPECT_EQ(ed.GetAsText(), AsText({0xBC, 0xD0}));
  ed.Undo();
  EXPECT_EQ(ed.GetAsText(), AsText({0xAB, 0xCD}));
  ed.DeleteNibble(0, false);
  EXPECT_EQ(ed.GetAsText(), AsText({0xAC, 0xD0}));
  EXPECT_EQ(ed.GetUndoDescription(), L"Delete Nibble");
  ed.Undo();
  EXPECT_EQ(ed.GetAsText(), AsText({0xAB, 0xCD}));
  ed.Redo();
  EXPECT_EQ(ed.GetAsText(), AsText({0xAC, 0xD0}));
  EXPECT_FALSE(ed.InsertNibble(2, true));
  EXPECT_FALSE(ed.DeleteNibble(-1, true));
}

// ---------------------------------------------------------------------------
// Editing primitives

TEST(HexEdit, NoSizeChangeClipsReplacement) {
  TestHexEditor ed;
  ed.Load(Bytes(10));
  ed.SetNoSizeChange(true);
  ed.SetSelStart(2);
  ed.SetSelEnd(4);
  const uint8_t longer[] = {0xE0, 0xE1, 0xE2, 0xE3, 0xE4};
  ed.ReplaceSelection(longer, 5);
  EXPECT_EQ(ed.GetAsText(), AsText({0, 1, 0xE0, 0xE1, 0xE2, 5, 6, 7, 8, 9}));
  ed.SetSelStart(2);
  ed.SetSelEnd(5);
  const uint8_t shorter[] = {0xF0};
  ed.ReplaceSelection(shorter, 1);
  EXPECT_EQ(ed.GetAsText(), AsText({0, 1, 0xF0, 0xE1, 0xE2, 5, 6, 7, 8, 9}));
  ed.InsertBuffer(shorter, 1, 0);  // refused
  EXPECT_EQ(ed.GetDataSize(), 10);
}

TEST(HexEdit, ConvertRangeTranslatesAndUndoes) {
  TestHexEditor ed;
  ed.Load(Bytes("ABC"));
  ed.ConvertRange(0, 2, tkAsIs, tkBCD);
  EXPECT_EQ(ed.GetAsText(), AsText({0xC1, 0xC2, 0xC3}));
  EXPECT_EQ(ed.GetUndoDescription(), L"Convert");
  ed.ConvertRange(0, 3, tkAsIs, tkBCD);  // past the end: nothing
  ed.Undo();
  EXPECT_EQ(ed.GetAsText(), "ABC");
}

// ---------------------------------------------------------------------------
// Translations

TEST(HexTranslations, TableRoundTripsAndDisplay) {
  for (THexTranslationKind k : {tkMac, tkBCD, tkCustom}) {
    for (int c = 0; c < 256; ++c) {
      uint8_t b = static_cast<uint8_t>(c), back;
      TranslateBufferFromAnsi(k, &b, &b, 1);
      back = b;
      TranslateBufferToAnsi(k, &back, &back, 1);
      ASSERT_EQ(back, c) << "kind " << int(k) << " char " << c;
    }
  }
  EXPECT_EQ(HexTranslateToAnsiChar(tkAsIs, 0x0A, '.'), '.');
  EXPECT_EQ(HexTranslateToAnsiChar(tkAsIs, 0x41, '.'), 'A');
  EXPECT_EQ(HexTranslateToAnsiChar(tkAsIs, 0x0A, 0), 0x0A);
  EXPECT_EQ(HexTranslateFromAnsiChar(tkBCD, 'A'), 0xC1);
  EXPECT_EQ(HexTranslateToAnsiChar(tkBCD, 0xF0, '.'), '0');
  EXPECT_EQ(HexTranslateToAnsiChar(tkBCD, 0x25, '.'), '.');  // line feed
  EXPECT_EQ(HexTranslateFromAnsiChar(tkAsIs, 31), 0);
  EXPECT_EQ(HexTranslationDesc[tkBCD], L"EBCDIC Codepage 38");
  EXPECT_EQ(HexTranslationDescShort[tkCustom], L"Cust");
  // an unknown kind converts nothing
  uint8_t buf[2] = {1, 2};
  TranslateBufferFromAnsi(static_cast<THexTranslationKind>(9), buf, buf, 2);
  EXPECT_EQ(buf[0], 1);
}

TEST(HexTranslations, SetAsTextTranslatesButGetAsTextDoesNot) {
  TestHexEditor ed;
  ed.SetTranslation(tkBCD);
  ed.SetAsText("AB");
  EXPECT_EQ(ed.GetAsText(), AsText({0xC1, 0xC2}));
}
