// Caption and list helpers (no window system needed).
#include <gtest/gtest.h>

#include <vector>

#include "toolbars/BarUtils.h"

namespace {

TEST(BarCaptions, AmpersandsAndAccelerators) {
  EXPECT_EQ(EscapeAmpersands(L"Save & Exit"), L"Save && Exit");
  EXPECT_EQ(StripAccelChars(L"A&&B"), L"A&B");
  EXPECT_EQ(StripAccelChars(L"&File"), L"File");
  EXPECT_EQ(FindAccelChar(L"&File &Edit"), L'E');
  EXPECT_EQ(FindAccelChar(L"Fish && Chips"), 0);
  EXPECT_EQ(FindAccelChar(L"Trailing&"), 0);
}

TEST(BarCaptions, TrailingPunctuation) {
  EXPECT_EQ(StripTrailingPunctuation(L"Open..."), L"Open");
  EXPECT_EQ(StripTrailingPunctuation(L"Name:"), L"Name");
  EXPECT_EQ(StripTrailingPunctuation(L":"), L":");
  EXPECT_EQ(StripTrailingPunctuation(L"..."), L"...");
}

TEST(BarHelpers, DivRoundUpAndLists) {
  EXPECT_EQ(DivRoundUp(7, 4), 2);
  EXPECT_EQ(DivRoundUp(8, 4), 2);
  EXPECT_EQ(DivRoundUp(0, 4), 0);

  std::vector<int*>* list = nullptr;
  int a = 1, b = 2;
  EXPECT_TRUE(AddToList(list, &a));
  EXPECT_FALSE(AddToList(list, &a));
  EXPECT_TRUE(AddToFrontOfList(list, &b));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ((*list)[0], &b);
  RemoveFromList(list, &a);
  RemoveFromList(list, &b);
  EXPECT_EQ(list, nullptr);

  std::vector<int> v{5, 3, 9, 1, 7, 3};
  ListSortEx(v, [](int x, int y) { return x - y; });
  EXPECT_EQ(v, (std::vector<int>{1, 3, 3, 5, 7, 9}));
}

}  // namespace
