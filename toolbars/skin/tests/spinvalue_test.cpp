#include <gtest/gtest.h>

#include "toolbars/skin/SkinSpinValue.h"

namespace {
bool Parse(const TSpinValueFormat& F, const String& S, double& V) { return SpinParseValue(F, S, V); }
}  // namespace

TEST(SkinSpinValue, ParsesNumbersUnitsAndOneOperator) {
  TSpinValueFormat f;
  f.ValueType = evtFloat;
  double v;
  ASSERT_TRUE(Parse(f, L"12.5", v));
  EXPECT_DOUBLE_EQ(v, 12.5);
  f.Decimal = 2;
  EXPECT_EQ(SpinValueToText(f, v), L"12.50");
  ASSERT_TRUE(Parse(f, L" 3 * 4", v));
  EXPECT_DOUBLE_EQ(v, 12);
  EXPECT_FALSE(Parse(f, L"3 *", v));        // operator without a second term
  EXPECT_FALSE(Parse(f, L"3 * 4 + 1", v));  // one operator at most
  EXPECT_FALSE(Parse(f, L"8 / 0", v));      // no division by zero
  EXPECT_FALSE(Parse(f, L"", v));
  ASSERT_TRUE(Parse(f, L"1e3", v));
  EXPECT_DOUBLE_EQ(v, 1000);
  EXPECT_FALSE(Parse(f, L"1e5000", v));
  // "E" without digits after it is a postfix, handed to the converter.
  String seenPost;
  f.Convert = [&](const String&, const String& Post, double&) {
    seenPost = Post;
    return true;
  };
  ASSERT_TRUE(Parse(f, L"2E", v));
  EXPECT_EQ(seenPost, L"E");
  // Units: -5 kg has no prefix and the postfix kg; the converter may refuse.
  String seenPre = L"x";
  f.Convert = [&](const String& Pre, const String& Post, double&) {
    seenPre = Pre;
    seenPost = Post;
    return Post != L"lb";
  };
  ASSERT_TRUE(Parse(f, L"-5 kg", v));
  EXPECT_DOUBLE_EQ(v, -5);
  EXPECT_EQ(seenPre, L"");
  EXPECT_EQ(seenPost, L"kg");
  EXPECT_FALSE(Parse(f, L"5 lb", v));
}

TEST(SkinSpinValue, FloatsUseTheSystemDecimalSeparator) {
  const wchar_t saved = DecimalSeparator;
  DecimalSeparator = L',';
  TSpinValueFormat f;
  f.ValueType = evtFloat;
  double v = 0;
  // What the item writes, it reads back.
  EXPECT_EQ(SpinValueToText(f, 12.5), L"12,50");
  EXPECT_TRUE(SpinParseValue(f, L"12,50", v));
  EXPECT_DOUBLE_EQ(v, 12.5);
  EXPECT_TRUE(SpinParseValue(f, L"1,5+2", v));
  EXPECT_DOUBLE_EQ(v, 3.5);
  // A point is no separator there: "12.5" is not a number.
  EXPECT_FALSE(SpinParseValue(f, L"12.5", v));
  DecimalSeparator = saved;
}

TEST(SkinSpinValue, HexIntegerAndRange) {
  TSpinValueFormat h;
  h.ValueType = evtHex;
  double v;
  ASSERT_TRUE(Parse(h, L"FF", v));
  EXPECT_DOUBLE_EQ(v, 255);
  EXPECT_FALSE(Parse(h, L"ff", v));  // lower case is a prefix without a number
  EXPECT_EQ(SpinValueToText(h, 255), L"FF");
  TSpinValueFormat i;
  EXPECT_FALSE(Parse(i, L"1.5", v));
  EXPECT_EQ(SpinValueToText(i, 2.5), L"2");  // ties to even
  EXPECT_EQ(SpinValueToText(i, 3.5), L"4");
  i.MinValue = 0;
  i.MaxValue = 10;
  ASSERT_TRUE(Parse(i, L"15", v));  // parsing does not clamp
  EXPECT_DOUBLE_EQ(v, 15);
  EXPECT_EQ(SpinValueToText(i, v), L"10");
  i.Prefix = L"$";
  i.Postfix = L"px";
  i.SpaceBeforePostfix = true;
  EXPECT_EQ(SpinValueToText(i, 7), L"$7 px");
  i.ValueToText = [](double, String& T) { T = L"seven"; };
  EXPECT_EQ(SpinValueToText(i, 7), L"seven");
  EXPECT_TRUE(SpinValidateUnits(L"kg"));
  EXPECT_TRUE(SpinValidateUnits(L""));
  EXPECT_FALSE(SpinValidateUnits(L"k g"));
  EXPECT_FALSE(SpinValidateUnits(L"m2"));
  // Forty hex digits are far beyond any integer: the text saturates.
  ASSERT_TRUE(Parse(h, String(40, L'F'), v));
  EXPECT_EQ(SpinValueToText(h, v), L"7FFFFFFFFFFFFFFF");
  TSpinValueFormat plain;
  EXPECT_EQ(SpinValueToText(plain, -1e300), L"-9223372036854775808");
}

TEST(SkinSpinValue, SnappedSteps) {
  EXPECT_DOUBLE_EQ(SpinStep(7, 5, true, +1), 10);
  EXPECT_DOUBLE_EQ(SpinStep(7, 5, true, -1), 5);
  EXPECT_DOUBLE_EQ(SpinStep(10, 5, true, +1), 15);
  EXPECT_DOUBLE_EQ(SpinStep(10, 5, true, -1), 5);
  EXPECT_DOUBLE_EQ(SpinStep(7, 5, false, +1), 12);
}

#include "toolbars/skin/SkinScrollZones.h"

TEST(SkinScrollZones, ButtonsTrackAndHandle) {
  TSBSpan z[6];
  // 100 long, 16 thick, 10 of 40 rows visible at row 0.
  EXPECT_TRUE(SkinScrollZones(100, 16, 0, 40, 10, z));
  EXPECT_EQ(z[sbzPrev].End, 16);
  EXPECT_EQ(z[sbzNext].Start, 84);
  EXPECT_EQ(z[sbzHandle].Start, 16);
  EXPECT_EQ(z[sbzHandle].End - z[sbzHandle].Start, 17);  // round(68 * 10 / 40) = 17
  EXPECT_TRUE(z[sbzPagePrev].Empty());
  EXPECT_EQ(z[sbzPageNext].End, 84);
  // At the end the handle touches the next button.
  SkinScrollZones(100, 16, 30, 40, 10, z);
  EXPECT_EQ(z[sbzHandle].Start, 16 + 51);
  // A tiny window keeps an 8-pixel handle, placed by the free track.
  SkinScrollZones(100, 16, 999, 1000, 1, z);
  EXPECT_EQ(z[sbzHandle].End - z[sbzHandle].Start, 8);
  EXPECT_EQ(z[sbzHandle].End, 84);
  // Shorter than two buttons: they share the length, no handle.
  EXPECT_TRUE(SkinScrollZones(30, 16, 0, 40, 10, z));
  EXPECT_EQ(z[sbzPrev].End, 14);
  EXPECT_TRUE(z[sbzHandle].Empty());
  // Track shorter than 13 pixels: no handle even though enabled.
  SkinScrollZones(44, 16, 0, 40, 10, z);
  EXPECT_TRUE(z[sbzHandle].Empty());
  // Everything visible: disabled.
  EXPECT_FALSE(SkinScrollZones(100, 16, 0, 5, 10, z));
  EXPECT_TRUE(z[sbzHandle].Empty());
  EXPECT_EQ(SkinRoundEven(2.5), 2);
  EXPECT_EQ(SkinRoundEven(3.5), 4);
  // Dragging the handle by the whole free track scrolls to the end.
  EXPECT_EQ(SkinScrollDragPosition(100, 16, 0, 40, 10, 68), 40);
  EXPECT_EQ(SkinScrollDragPosition(100, 16, 0, 1000, 1, 60), 999);
}
