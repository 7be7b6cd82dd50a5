#include <gtest/gtest.h>

#include "extlib/ExWinUtil.h"

TEST(ExWinUtil, WaitCursorNests) {
  InitForms();
  Screen->SetCursor(crCross);
  StartWait();
  StartWait();
  EXPECT_EQ(Screen->GetCursor(), crHourGlass);
  StopWait();
  EXPECT_EQ(Screen->GetCursor(), crHourGlass);
  StopWait();
  EXPECT_EQ(Screen->GetCursor(), crCross);
  Screen->SetCursor(crDefault);
  StopWait();  // unmatched: nothing happens
  EXPECT_EQ(Screen->GetCursor(), crDefault);
}
