#include <gtest/gtest.h>

#include "extlib/ExFileUtil.h"

TEST(ExFileUtil, PathNormalisation) {
  EXPECT_EQ(NormalDir(L"C"), L"C:\\");
  EXPECT_EQ(NormalDir(L"C:\\Temp"), L"C:\\Temp\\");
  EXPECT_EQ(NormalDir(L"C:\\"), L"C:\\");
  EXPECT_EQ(NormalDir(L"C:"), L"C:");
  EXPECT_EQ(NormalDir(L""), L"");
  EXPECT_EQ(RemoveBackSlash(L"C:\\"), L"C:\\");
  EXPECT_EQ(RemoveBackSlash(L"C:\\Temp\\"), L"C:\\Temp");
  EXPECT_EQ(RemoveBackSlash(L"\\"), L"\\");
  EXPECT_EQ(RemoveBackSlash(L"dir"), L"dir");
  EXPECT_TRUE(ValidFileName(L"a b.txt"));
  EXPECT_FALSE(ValidFileName(L""));
  EXPECT_FALSE(ValidFileName(L"a|b"));
  EXPECT_FALSE(ValidFileName(L"[x]"));
}
