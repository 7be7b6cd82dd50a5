#include <gtest/gtest.h>

#include "extlib/ExStrUtil.h"

TEST(ExStrUtilWin, LocaleCompare) {
  EXPECT_EQ(CompStr("abc", "abc"), 0);
  EXPECT_EQ(CompStr("abc", "abd"), -1);
  EXPECT_EQ(CompStr("b", "a"), 1);
  EXPECT_NE(CompStr("abc", "ABC"), 0);
  EXPECT_EQ(CompText("abc", "ABC"), 0);
  EXPECT_EQ(CompText("", ""), 0);
}

TEST(ExStrUtilWin, OemRoundTripKeepsLength) {
  AnsiString S = "plain ASCII text";
  EXPECT_EQ(StrToOem(S), S);
  EXPECT_EQ(OemToAnsiStr(StrToOem(S)), S);
  EXPECT_EQ(StrToOem("\xe9").size(), 1u);
  EXPECT_EQ(StrToOem(""), "");
}

TEST(ExStrUtilWin, OwnCommandLineHasNoSuchSwitch) {
  EXPECT_EQ(GetCmdLineArg("no-such-switch-here", TCharSet{'/', '-'}), "");
}
