// Undo and redo: record layout and sizes, descriptions, sequences,
// trimming, update brackets and bookmark shifts.
#include <gtest/gtest.h>

#include "valueedit/HexEditorCore.h"
#include "valueedit/tests/hex_test_util.h"

using namespace hexkeys;

namespace {
uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
}  // namespace

TEST(HexUndoRecords, ByteChangeRecordSizesAndLayout) {
  TestHexEditor ed;
  ed.Load(Bytes(16));
  ed.SetSelStart(5);
  ed.Type("7");
  THexUndoStorage& u = ed.UndoStorage();
  ASSERT_EQ(u.Count(), 1);
  ASSERT_EQ(u.Size(), 28);
  const uint8_t* r = u.Data();
  EXPECT_EQ(Le32(r), 28u);
  uint16_t flags = static_cast<uint16_t>(r[4] | r[5] << 8);
  EXPECT_TRUE(flags & HexUndoBit(ufKindByteChanged));
  EXPECT_FALSE(flags & HexUndoBit(ufFlagHasSelection));
  EXPECT_EQ(Le32(r + 6), 5u);   // caret
  EXPECT_EQ(Le32(r + 10), 5u);  // position
  EXPECT_EQ(Le32(r + 14), 1u);  // count
  EXPECT_EQ(r[22], tkAsIs);
  EXPECT_EQ(r[23], 5);          // the old byte
  EXPECT_EQ(Le32(r + 24), 28u);  // trailer

  // with a selection present the record carries it: 24 + 12 + 4
  ed.SetSelection(2, 2, 3);
  ed.IntChangeByte(ed.GetMemory(9), 0x99, 9, 0, 0);
  EXPECT_EQ(u.NewestRecordLength(), 40u);
  EXPECT_EQ(u.Size(), 68);
  const uint8_t* r2 = u.Data() + 28;
  EXPECT_TRUE((r2[4] | r2[5] << 8) & HexUndoBit(ufFlagHasSelection));
  EXPECT_EQ(Le32(r2 + 24), 2u);
  EXPECT_EQ(Le32(r2 + 28), 3u);
  EXPECT_EQ(Le32(r2 + 32), 2u);
}

TEST(HexUndoRecords, RemovalAndReplaceKeepTheOldBytes) {
  TestHexEditor ed;
  ed.Load(Bytes(16));
  ed.SetSelStart(3);
  ed.SetSelEnd(6);
  ed.DeleteSelection();
  EXPECT_EQ(ed.UndoStorage().NewestRecordLength(), 27u + 4u + 12u);  // with the selection
  EXPECT_EQ(ed.GetUndoDescription(), L"Remove Data");
  ed.SetSelStart(0);
  ed.SetSelEnd(1);
  const uint8_t rep[] = {1, 2, 3};
  ed.ReplaceSelection(rep, 3);
  EXPECT_EQ(ed.UndoStorage().NewestRecordLength(), 27u + 2u + 12u);
  EXPECT_EQ(ed.GetUndoDescription(), L"Replace Selection");
}

TEST(HexUndoSequences, UndoRedoAcrossKindsRestoresDataAndDescriptions) {
  TestHexEditor ed;
  ed.Load(Bytes(8));
  const AnsiString orig = ed.GetAsText();
  EXPECT_EQ(ed.GetUndoDescription(), L"No Undo");
  ed.SetSelStart(1);
  ed.Type("F");  // Change Byte
  const uint8_t ins[] = {0xAA, 0xBB};
  ed.InsertBuffer(ins, 2, 4);  // Insert Buffer
  ed.AppendBuffer(ins, 1);     // Append Buffer
  ed.SetSelStart(0);
  ed.SetSelEnd(1);
  ed.DeleteSelection();  // Remove Data
  const AnsiString last = ed.GetAsText();
  EXPECT_EQ(ed.UndoStorage().Count(), 4);

  EXPECT_EQ(ed.GetUndoDescription(), L"Remove Data");
  ed.Undo();
  EXPECT_EQ(ed.GetUndoDescription(), L"Append Buffer");
  ed.Undo();
  EXPECT_EQ(ed.GetUndoDescription(), L"Insert Buffer");
  ed.Undo();
  EXPECT_EQ(ed.GetUndoDescription(), L"Change Byte");
  ed.Undo();
  EXPECT_EQ(ed.GetAsText(), orig);
  EXPECT_FALSE(ed.GetCanUndo());
  EXPECT_EQ(ed.GetUndoDescription(), L"No Undo");
  EXPECT_FALSE(ed.GetModified());
  EXPECT_FALSE(ed.HasChanged(1));

  // one step of redo
  EXPECT_TRUE(ed.Redo());
  EXPECT_EQ(ed.GetMemory(1), 0xF1);
  EXPECT_EQ(ed.GetUndoDescription(), L"Change Byte");
  EXPECT_FALSE(ed.Redo());
  ed.Undo();
  EXPECT_EQ(ed.GetAsText(), orig);

  // the change mark follows undo and redo
  ed.SetSelStart(2);
  ed.Type("C");
  EXPECT_TRUE(ed.HasChanged(2));
  ed.Undo();
  EXPECT_FALSE(ed.HasChanged(2));
  ed.Redo();
  EXPECT_TRUE(ed.HasChanged(2));
  ed.Undo();

  // an undo followed by a new edit discards the redo step
  ed.Type("E");
  ed.Undo();
  EXPECT_TRUE(ed.GetCanRedo());
  ed.Type("D");
  EXPECT_FALSE(ed.GetCanRedo());
  (void)last;
}

TEST(HexUndoSequences, RedoOfEachSizeChangingKind) {
  TestHexEditor ed;
  ed.Load(Bytes(8));
  const uint8_t ins[] = {0xAA, 0xBB};
  ed.InsertBuffer(ins, 2, 4);
  AnsiString after = ed.GetAsText();
  ed.Undo();
  ed.Redo();
  EXPECT_EQ(ed.GetAsText(), after);

  ed.SetSelStart(2);
  ed.SetSelEnd(5);
  const uint8_t rep[] = {0xCC};
  ed.ReplaceSelection(rep, 1);
  after = ed.GetAsText();
  ed.Undo();
  EXPECT_EQ(ed.GetAsText(), AsText({0, 1, 2, 3, 0xAA, 0xBB, 4, 5, 6, 7}));
  ed.Redo();
  EXPECT_EQ(ed.GetAsText(), after);

  ed.SetSelStart(0);
  ed.SetSelEnd(2);
  ed.DeleteSelection();
  after = ed.GetAsText();
  ed.Undo();
  ed.Redo();
  EXPECT_EQ(ed.GetAsText(), after);

  ed.AppendBuffer(ins, 2);
  after = ed.GetAsText();
  ed.Undo();
  ed.Redo();
  EXPECT_EQ(ed.GetAsText(), after);
}

TEST(HexUndoSequences, CombinedStepsUndoTogetherAndCannotBeRedone) {
  TestHexEditor ed;
  ed.Load(Bytes(8));
  ed.SetSelStart(0);
  ed.Type("1");
  const AnsiString before = ed.GetAsText();
  ed.Type("2");
  ed.Type("3");
  ed.Type("4");
  ed.CombineUndo(3, L"Fill");
  EXPECT_EQ(ed.GetUndoDescription(), L"Fill");
  ed.Undo();
  EXPECT_EQ(ed.GetAsText(), before);
  EXPECT_FALSE(ed.GetCanRedo());
  EXPECT_EQ(ed.UndoStorage().Count(), 1);
}

TEST(HexUndoSequences, PredecessorShowsItsDefaultDescription) {
  TestHexEditor ed;
  ed.Load(Bytes(8));
  const uint8_t b[] = {9};
  ed.InsertBuffer(b, 1, 0, L"My insert");
  EXPECT_EQ(ed.GetUndoDescription(), L"My insert");
  ed.SetSelStart(3);
  ed.Type("A");
  ed.Undo();
  EXPECT_EQ(ed.GetUndoDescription(), L"Insert Buffer");
}

TEST(HexUndoLimits, TinyMaxUndoKeepsOnlyTheNewestRecord) {
  TestHexEditor ed;
  ed.Load(Bytes(64));
  ed.SetMaxUndo(10);
  ed.SetSelStart(0);
  for (int i = 0; i < 20; ++i) ed.Type("F");
  EXPECT_EQ(ed.UndoStorage().Count(), 1);
  EXPECT_EQ(ed.UndoStorage().Size(), 28);
  ed.Undo();
  EXPECT_EQ(ed.UndoStorage().Count(), 0);
  EXPECT_FALSE(ed.Undo());
  EXPECT_EQ(ed.UndoStorage().Count(), 0);
}

TEST(HexUndoLimits, TrimmingKeepsTheNewestRecordsUsable) {
  TestHexEditor ed;
  ed.Load(Bytes(256));
  ed.SetMaxUndo(28 * 50);
  ed.SetSelStart(0);
  for (int i = 0; i < 200; ++i) ed.IntChangeByte(ed.GetMemory(i), 0xEE, i, 0, 0);
  EXPECT_LE(ed.UndoStorage().Size(), 28 * 51);
  int undone = 0;
  while (ed.Undo()) ++undone;
  EXPECT_GE(undone, 50);
  // the newest changes came back, the oldest stay
  EXPECT_EQ(ed.GetMemory(199), 199);
  EXPECT_EQ(ed.GetMemory(0), 0xEE);
}

TEST(HexUndoLimits, UndoInsideAnUpdateBracketKeepsTheHistory) {
  TestHexEditor ed;
  ed.Load(Bytes(8));
  ed.SetSelStart(0);
  ed.Type("F");
  ed.UndoBeginUpdate();
  ed.Type("E");  // not recorded
  EXPECT_FALSE(ed.Undo());
  ed.UndoEndUpdate();
  EXPECT_EQ(ed.UndoStorage().Count(), 1);
  EXPECT_TRUE(ed.Undo());
  EXPECT_EQ(ed.GetMemory(0), 0);
}

TEST(HexBookmarksUndo, ShiftsByTheRightAmounts) {
  TestHexEditor ed;
  ed.Load(Bytes(20));
  ed.SetBookmarkVals(0, 10, false);
  ed.SetBookmarkVals(1, 2, true);
  ed.SetBookmarkVals(2, 19, false);
  const uint8_t four[] = {1, 2, 3, 4};
  ed.InsertBuffer(four, 4, 5);
  EXPECT_EQ(ed.GetBookmark(0).mPosition, 14);
  EXPECT_EQ(ed.GetBookmark(1).mPosition, 2);
  EXPECT_EQ(ed.GetBookmark(2).mPosition, 23);
  ed.Undo();
  EXPECT_EQ(ed.GetBookmark(0).mPosition, 10);
  EXPECT_EQ(ed.GetBookmark(2).mPosition, 19);

  // removal: bookmarks behind the removed bytes move back by the count
  ed.SetSelStart(3);
  ed.SetSelEnd(5);
  ed.DeleteSelection();
  EXPECT_EQ(ed.GetBookmark(0).mPosition, 7);
  EXPECT_EQ(ed.GetBookmark(2).mPosition, 16);
  ed.Undo();
  EXPECT_EQ(ed.GetBookmark(0).mPosition, 10);
  EXPECT_EQ(ed.GetBookmark(2).mPosition, 19);

  // replacement of 3 bytes by 1
  ed.SetSelStart(4);
  ed.SetSelEnd(6);
  const uint8_t one[] = {0xFF};
  ed.ReplaceSelection(one, 1);
  EXPECT_EQ(ed.GetBookmark(0).mPosition, 8);
  EXPECT_EQ(ed.GetBookmark(2).mPosition, 17);
  ed.Undo();
  EXPECT_EQ(ed.GetBookmark(0).mPosition, 10);
  EXPECT_EQ(ed.GetBookmark(2).mPosition, 19);

  // a bookmark that ends past the data is cleared
  ed.SetSelStart(12);
  ed.SetSelEnd(19);
  ed.DeleteSelection();
  EXPECT_EQ(ed.GetBookmark(2).mPosition, -1);
  EXPECT_EQ(ed.GetBookmark(0).mPosition, 10);
}

TEST(HexBookmarksUndo, UndoingANibbleInsertClearsABookmarkOnTheDroppedByte) {
  TestHexEditor ed;
  ed.Load(Bytes(4));
  ed.InsertNibble(0, true);  // 5 bytes now
  ed.SetBookmarkVals(4, 4, false);
  ed.Undo();
  EXPECT_EQ(ed.GetDataSize(), 4);
  EXPECT_EQ(ed.GetBookmark(4).mPosition, 4);  // the append position stays
  ed.InsertNibble(0, true);
  ed.SetBookmarkVals(5, 5, false);
  ed.Undo();
  EXPECT_EQ(ed.GetBookmark(5).mPosition, -1);
}

TEST(HexBookmarksUndo, LoadingDropsBookmarksPastTheNewData) {
  TestHexEditor ed;
  ed.Load(Bytes(40));
  ed.SetBookmarkVals(0, 30, false);
  ed.SetBookmarkVals(1, 3, true);
  ed.Load(Bytes(10));
  EXPECT_EQ(ed.GetBookmark(0).mPosition, -1);
  EXPECT_EQ(ed.GetBookmark(1).mPosition, 3);
}
