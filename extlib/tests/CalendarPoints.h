// Where a user points at a calendar on the screen, for the tests of the
// calendar and of the date edit.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include "extlib/ExCalendar.h"
#include "testsupport/Input.h"

namespace calendarpoints {

// The screen point in the middle of the calendar's cell of a day.
inline POINT DayPoint(TExtCalendar* c, int Day) {
  for (int r = 1; r < 7; ++r)
    for (int col = 0; col < 7; ++col)
      if (c->CellText(col, r) == IntToStr(Day)) {
        TRect cr = c->CellRect(col, r);
        return testsupport::ScreenPoint(c->GetHandle(), (cr.left + cr.right) / 2, (cr.top + cr.bottom) / 2);
      }
  ADD_FAILURE() << "no cell for day " << Day;
  return POINT{};
}

}  // namespace calendarpoints
