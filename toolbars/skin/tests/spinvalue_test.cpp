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
}

TEST(SkinSpinValue, SnappedSteps) {
  EXPECT_DOUBLE_EQ(SpinStep(7, 5, true, +1), 10);
  EXPECT_DOUBLE_EQ(SpinStep(7, 5, true, -1), 5);
  EXPECT_DOUBLE_EQ(SpinStep(10, 5, true, +1), 15);
  EXPECT_DOUBLE_EQ(SpinStep(10, 5, true, -1), 5);
  EXPECT_DOUBLE_EQ(SpinStep(7, 5, false, +1), 12);
}
