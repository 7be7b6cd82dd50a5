// The integer edit box without a window: formatting, per-base key
// filtering with its beeps, paste, the sign toggle and the range check.
#include <gtest/gtest.h>

#include "valueedit/BinHexEditCore.h"

namespace {

class Box : public TBinHexEditCore {
 public:
  String Text() const { return EditText(); }
  void Set(const String& t, int selStart = -1, int selLen = 0) {
    SetEditText(t);
    EditSetSel(selStart < 0 ? static_cast<int>(t.size()) : selStart, selLen);
  }
  int SelStart() const { return EditSelStart(); }
  int SelLength() const { return EditSelLength(); }
  void Type(const String& s) {
    for (wchar_t c : s) TypeChar(c);
  }
  int focusTaken = 0;

 protected:
  void TakeFocusBack() override { ++focusTaken; }
};

}  // namespace

TEST(BinHexFormat, TextsInEachBase) {
  Box b;
  EXPECT_EQ(b.Text(), L"$00000000");
  EXPECT_EQ(TBinHexEditCore::FormatText(0, Binary, 8), L"0");
  EXPECT_EQ(TBinHexEditCore::FormatText(5, Binary, 8), L"101");
  EXPECT_EQ(TBinHexEditCore::FormatText(-1, Binary, 8), String(64, L'1'));
  EXPECT_EQ(TBinHexEditCore::FormatText(-1, HexaDecimal, 8), L"$" + String(16, L'F'));
  EXPECT_EQ(TBinHexEditCore::FormatText(-42, Number, 8), L"-42");
  String minBin = TBinHexEditCore::IntToBin(INT64_MIN);
  EXPECT_EQ(minBin, L"1" + String(63, L'0'));
  EXPECT_EQ(TBinHexEditCore::BinToInt(minBin), INT64_MIN);
  EXPECT_EQ(TBinHexEditCore::BinToInt(L""), 0);
  EXPECT_EQ(TBinHexEditCore::BinToInt(L"10a1"), 0);
  EXPECT_EQ(TBinHexEditCore::BinToInt(L"11" + String(64, L'0') + L"1"), 1);  // digits past 64 ignored
}

TEST(BinHexFormat, ValueAccessAndBaseSwitch) {
  Box b;
  b.SetAsInteger(-1);
  EXPECT_EQ(b.GetAsInteger(), -1);
  b.SetBaseFormat(Number);
  EXPECT_EQ(b.Text(), L"-1");
  b.SetBaseFormat(Binary);
  EXPECT_EQ(b.Text(), String(64, L'1'));
  EXPECT_EQ(b.GetAsHex(), L"$FFFFFFFFFFFFFFFF");
  b.SetAsHex(L"ff");
  EXPECT_EQ(b.GetAsInteger(), 255);
  EXPECT_EQ(b.Text(), L"11111111");
  b.SetAsBin(L"101");
  EXPECT_EQ(b.GetAsInteger(), 5);
  b.SetBaseFormat(Number);
  b.Set(L"-");
  EXPECT_THROW(b.GetAsInteger(), EConvertError);
  EXPECT_THROW(b.SetBaseFormat(Binary), EConvertError);
  EXPECT_EQ(b.GetBaseFormat(), Number);
}

TEST(BinHexKeys, HexadecimalFiltering) {
  Box b;
  b.Set(L"$0", 1, 1);
  b.Type(L"a");
  EXPECT_EQ(b.Text(), L"$A");
  b.Type(L"g");
  EXPECT_EQ(b.BeepCount, 1);
  b.Set(L"$12345678");
  b.Type(L"9");  // a ninth digit
  EXPECT_EQ(b.BeepCount, 2);
  EXPECT_EQ(b.Text(), L"$12345678");
  b.Set(L"$123", 2, 0);
  b.Type(L"$");
  EXPECT_EQ(b.Text(), L"$0");
  EXPECT_EQ(b.SelStart(), 1);
  EXPECT_EQ(b.SelLength(), 1);
  b.Set(L"$12", 0, 0);
  b.Type(L"5");  // in front of the "$": refused
  EXPECT_EQ(b.Text(), L"$12");
  EXPECT_EQ(b.BeepCount, 3);
  wchar_t enter = 13;
  b.FilterKeyPress(enter);
  EXPECT_EQ(enter, 0);
  EXPECT_EQ(b.BeepCount, 4);
}

TEST(BinHexKeys, BinaryFiltering) {
  Box b;
  b.SetBaseFormat(Binary);
  b.Set(String(32, L'1'));
  b.Type(L"1");  // a 33rd digit
  EXPECT_EQ(b.BeepCount, 1);
  b.Set(L"10");
  b.Type(L"1a0");
  EXPECT_EQ(b.Text(), L"1010");
  EXPECT_EQ(b.BeepCount, 2);
}

TEST(BinHexKeys, DecimalSignToggleAndOverflow) {
  Box b;
  b.SetBaseFormat(Number);
  b.Set(L"12");
  b.Type(L"-");
  EXPECT_EQ(b.Text(), L"-12");
  b.Type(L"-");
  EXPECT_EQ(b.Text(), L"12");
  b.Set(L"0", 0, 1);
  b.Type(L"-");
  EXPECT_EQ(b.Text(), L"-0");
  EXPECT_EQ(b.SelStart(), 1);
  EXPECT_EQ(b.SelLength(), 1);
  b.Set(L"922337203685477580");
  b.Type(L"7");
  EXPECT_EQ(b.Text(), L"9223372036854775807");
  b.Type(L"1");  // would overflow
  EXPECT_EQ(b.BeepCount, 1);
  // the sign toggle never leaves the 64-bit range
  b.Set(L"-9223372036854775808");
  b.Type(L"-");
  EXPECT_EQ(b.Text(), L"-9223372036854775808");
  EXPECT_EQ(b.BeepCount, 2);
  b.Type(L"x");
  EXPECT_EQ(b.BeepCount, 3);
}

TEST(BinHexKeys, DeleteAtStartAndEmptyTextRepair) {
  Box b;
  b.Set(L"$1234", 0, 0);
  int del = 0x2E;
  b.FilterKeyDown(del, TShiftState{});
  EXPECT_EQ(del, 0);
  EXPECT_EQ(b.Text(), L"$0");
  b.Set(L"");
  int k = 0;
  b.FilterKeyUp(k, TShiftState{});
  EXPECT_EQ(b.Text(), L"$0");
  b.Set(L"12", 0, 0);
  b.FilterKeyUp(k, TShiftState{});
  EXPECT_EQ(b.Text(), L"$12");
  EXPECT_EQ(b.SelStart(), 1);
  b.SetBaseFormat(Number);
  b.Set(L"");
  b.FilterKeyUp(k, TShiftState{});
  EXPECT_EQ(b.Text(), L"0");
}

TEST(BinHexPaste, PasteIsReplayedAsTypedCharacters) {
  Box b;
  b.SetBaseFormat(Binary);
  b.Set(L"11", 1, 0);
  b.PasteText(L"0a1 b");
  EXPECT_EQ(b.Text(), L"1011");
  EXPECT_EQ(b.BeepCount, 3);
  // a read-only box refuses the paste and keeps its selection
  b.SetReadOnlyCore(true);
  b.Set(L"1011", 0, 4);
  b.PasteText(L"1");
  EXPECT_EQ(b.Text(), L"1011");
  EXPECT_EQ(b.SelLength(), 4);
  EXPECT_EQ(b.BeepCount, 4);
  b.Type(L"1");
  EXPECT_EQ(b.BeepCount, 5);
}

TEST(BinHexRange, CheckOnExitAndLimits) {
  Box b;
  b.SetBaseFormat(Number);
  b.SetMaxValue(100);
  b.Set(L"500");
  b.CheckRangeOnExit();  // the minimum is 0: no check
  EXPECT_EQ(b.Text(), L"500");
  b.SetMinValue(1);  // the range is in force now
  b.Set(L"500");
  b.CheckRangeOnExit();
  EXPECT_EQ(b.Text(), L"100");
  EXPECT_EQ(b.BeepCount, 1);
  EXPECT_EQ(b.focusTaken, 1);
  b.SetMaxValue(0);  // below the minimum: ignored
  EXPECT_EQ(b.GetMaxValue(), 100);
  int events = 0;
  b.OnInvalidEntry = [&](TObject*) { ++events; };
  b.Set(L"-5");
  b.CheckRangeOnExit();
  EXPECT_EQ(events, 1);
  EXPECT_EQ(b.Text(), L"-5");  // the event alone decides
  b.SetMaxValue(50);
  EXPECT_EQ(b.GetMaxValue(), 50);
}
