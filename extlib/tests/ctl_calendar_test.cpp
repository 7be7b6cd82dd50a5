// The month calendar, the drop-down calendar and the modal date dialog on
// real windows.
#include <cmath>

#include "classlib/Forms.h"
#include "testsupport/Gui.h"
#include "testsupport/Input.h"
#include "testsupport/LoopScript.h"
#include "testsupport/Pump.h"
#include "extlib/ExCalendar.h"
#include "extlib/tests/CalendarPoints.h"
#include "extlib/tests/FormStream.h"

using namespace testsupport;
using calendarpoints::DayPoint;

namespace {

struct CalendarHost {
  std::unique_ptr<TForm> form;
  TExtCalendar* cal;
  int changes = 0;
  CalendarHost() {
    form.reset(new TForm(Application));
    form->SetBounds(40, 40, 300, 250);
    cal = new TExtCalendar(form.get());
    cal->SetParent(form.get());
    cal->SetBounds(10, 10, 218, 113);
    cal->OnChange = TNotifyEvent([this](TObject*) { ++changes; });
    form->Show();
    Pump(20);
  }
};

TDateTime D(int y, int m, int d) { return EncodeDate(y, m, d); }
void Key(TWinControl* c, WORD k) { c->Perform(WM_KEYDOWN, k, 1); }

// A step of a script run inside the date dialog's modal loop: it waits
// (up to 5 s) until Ready holds, then acts.
std::function<void()> When(std::function<bool()> Ready, std::function<void()> Act) {
  auto Ticks = std::make_shared<int>(0);
  return [=] {
    if (!Ready() && ++*Ticks < 170) return LoopScript::Current()->Again();
    Act();
  };
}

}  // namespace

TEST(Calendar, DefaultsAndLayoutByWeekStart) {
  CalendarHost h;
  TExtCalendar* c = h.cal;
  EXPECT_TRUE(c->GetUseCurrentDate());
  EXPECT_EQ(c->GetCalendarDate(), std::floor(Now()));
  EXPECT_EQ(c->GetStartOfWeek(), Mon);
  EXPECT_EQ(c->GetColCount(), 7);
  EXPECT_EQ(c->GetRowCount(), 7);
  EXPECT_EQ(c->CellText(0, 0), ShortDayNames[1]);
  EXPECT_EQ(c->CellText(6, 0), ShortDayNames[0]);

  c->SetCalendarDate(D(2024, 1, 15));  // January 2024 begins on a Monday
  EXPECT_EQ(c->CellText(0, 1), L"1");
  EXPECT_EQ(c->CellText(6, 1), L"7");
  EXPECT_EQ(c->GetCol(), 0);  // the 15th: row 3, column 0
  EXPECT_EQ(c->GetRow(), 3);
  c->SetCalendarDate(D(2023, 10, 9));  // October 2023 begins on a Sunday
  EXPECT_EQ(c->CellText(5, 1), L"");
  EXPECT_EQ(c->CellText(6, 1), L"1");
  EXPECT_EQ(c->CellText(1, 6), L"31");
  EXPECT_EQ(c->CellText(2, 6), L"");
  c->SetStartOfWeek(Sun);
  EXPECT_EQ(c->CellText(0, 1), L"1");
  EXPECT_EQ(c->CellText(0, 0), ShortDayNames[0]);

  // The cells fill the control: seven columns and rows.
  EXPECT_EQ(c->GetDefaultColWidth(), (c->GetClientWidth() - 6 * c->GetGridLineWidth()) / 7);
}

TEST(Calendar, MonthAndYearSteps) {
  CalendarHost h;
  TExtCalendar* c = h.cal;
  c->SetCalendarDate(D(2024, 1, 31));
  c->NextMonth();
  EXPECT_EQ(c->GetCalendarDate(), D(2024, 2, 29));
  c->SetCalendarDate(D(2023, 1, 31));
  c->NextMonth();
  EXPECT_EQ(c->GetCalendarDate(), D(2023, 2, 28));
  c->SetCalendarDate(D(2024, 3, 31));
  c->PrevMonth();
  EXPECT_EQ(c->GetCalendarDate(), D(2024, 2, 29));
  c->SetCalendarDate(D(2024, 1, 10));
  c->PrevMonth();
  EXPECT_EQ(c->GetCalendarDate(), D(2023, 12, 10));
  c->SetCalendarDate(D(2000, 2, 29));
  c->NextYear();
  EXPECT_EQ(c->GetCalendarDate(), D(2001, 2, 28));
  c->PrevYear();
  EXPECT_EQ(c->GetCalendarDate(), D(2000, 2, 28));
}

TEST(Calendar, ElementSettersIgnoreImpossibleValues) {
  CalendarHost h;
  TExtCalendar* c = h.cal;
  c->SetCalendarDate(D(2024, 1, 31));
  h.changes = 0;
  c->SetMonth(13);
  c->SetMonth(0);
  c->SetYear(0);
  c->SetDay(32);
  c->SetDay(31);  // unchanged
  EXPECT_EQ(h.changes, 0);
  EXPECT_TRUE(c->GetUseCurrentDate());
  c->SetMonth(2);  // the day is cut to February's length
  EXPECT_EQ(c->GetCalendarDate(), D(2024, 2, 29));
  EXPECT_FALSE(c->GetUseCurrentDate());
  EXPECT_EQ(h.changes, 1);
  c->SetDay(30);
  EXPECT_EQ(c->GetDay(), 29);
  c->SetYear(2023);
  EXPECT_EQ(c->GetCalendarDate(), D(2023, 2, 28));
  c->SetUseCurrentDate(true);
  EXPECT_EQ(c->GetCalendarDate(), std::floor(Now()));
}

TEST(Calendar, KeysAndReadOnly) {
  CalendarHost h;
  TExtCalendar* c = h.cal;
  c->SetCalendarDate(D(2024, 1, 31));
  Key(c, VK_RIGHT);
  EXPECT_EQ(c->GetCalendarDate(), D(2024, 2, 1));
  Key(c, VK_LEFT);
  EXPECT_EQ(c->GetCalendarDate(), D(2024, 1, 31));
  Key(c, VK_SUBTRACT);
  EXPECT_EQ(c->GetCalendarDate(), D(2024, 1, 30));
  Key(c, VK_UP);  // the grid moves a week back and the date follows
  EXPECT_EQ(c->GetCalendarDate(), D(2024, 1, 23));
  Key(c, VK_DOWN);
  Key(c, VK_DOWN);  // no day below the 30th: the cell stays
  EXPECT_EQ(c->GetCalendarDate(), D(2024, 1, 30));
  c->Perform(WM_CHAR, L't', 1);
  EXPECT_EQ(c->GetCalendarDate(), std::floor(Now()));

  c->SetCalendarDate(D(2024, 1, 10));
  c->SetReadOnly(true);
  Key(c, VK_DOWN);
  EXPECT_EQ(c->GetCalendarDate(), D(2024, 1, 10));
  Key(c, VK_ADD);
  EXPECT_EQ(c->GetCalendarDate(), D(2024, 1, 11));
  EXPECT_EQ(c->GetRow(), 2);  // the cell follows a read-only calendar's date too
  EXPECT_EQ(c->GetCol(), 3);
}

TEST(Calendar, MouseClickPicksTheDay) {
  CalendarHost h;
  TExtCalendar* c = h.cal;
  c->SetCalendarDate(D(2024, 1, 15));
  TRect r = c->CellRect(2, 2);  // the 10th
  c->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.left + 3, r.top + 3));
  c->Perform(WM_LBUTTONUP, 0, MAKELPARAM(r.left + 3, r.top + 3));
  if (GetCapture()) ReleaseCapture();
  EXPECT_EQ(c->GetCalendarDate(), D(2024, 1, 10));
  // A cell without a day is not taken.
  c->SetCalendarDate(D(2023, 10, 9));
  r = c->CellRect(0, 1);
  c->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.left + 3, r.top + 3));
  c->Perform(WM_LBUTTONUP, 0, MAKELPARAM(r.left + 3, r.top + 3));
  if (GetCapture()) ReleaseCapture();
  EXPECT_EQ(c->GetCalendarDate(), D(2023, 10, 9));
}

TEST(PopupCalendar, ValuesTitleKeysAndPick) {
  std::unique_ptr<TForm> form(new TForm(Application));
  form->SetBounds(40, 40, 300, 100);
  form->Show();
  auto* p = CreatePopupCalendar(form.get());
  EXPECT_EQ(p->GetWidth(), 187);
  EXPECT_EQ(p->GetHeight(), 124);
  p->SetValue(Variant::FromDate(D(2024, 1, 15)));
  EXPECT_EQ(p->GetValue().AsDateTime(), D(2024, 1, 15));
  EXPECT_EQ(p->TitleLabel()->GetCaption(), LongMonthNames[0] + L", 2024");
  p->SetValue(Variant());
  EXPECT_EQ(p->GetValue().AsDateTime(), std::floor(Now()));
  p->SetValue(Variant(String(L"no date")));
  EXPECT_EQ(p->GetValue().AsDateTime(), std::floor(Now()));
  {
    // A text is read in the default format of the pop-up's year digits, in
    // the order of the short date format.
    String savedFormat = ShortDateFormat;
    ShortDateFormat = L"d/M/yyyy";
    p->FourDigitYear = false;
    p->SetValue(Variant(String(L"05/03/24")));
    EXPECT_EQ(p->GetValue().AsDateTime(), D(2024, 3, 5));
    p->SetValue(Variant(String(L"31/02/24")));
    EXPECT_EQ(p->GetValue().AsDateTime(), std::floor(Now()));
    p->FourDigitYear = true;
    p->SetValue(Variant(String(L"06/03/1999")));
    EXPECT_EQ(p->GetValue().AsDateTime(), D(1999, 3, 6));
    ShortDateFormat = savedFormat;
  }

  p->SetValue(Variant::FromDate(D(2024, 1, 15)));
  WORD k = VK_NEXT;
  p->PopupKeyDown(k, TShiftState());
  EXPECT_EQ(k, 0);
  EXPECT_EQ(p->GetValue().AsDateTime(), D(2024, 2, 15));
  k = VK_PRIOR;
  p->PopupKeyDown(k, TShiftState{ssCtrl});
  EXPECT_EQ(p->GetValue().AsDateTime(), D(2023, 2, 15));
  EXPECT_EQ(p->TitleLabel()->GetCaption(), LongMonthNames[1] + L", 2023");
  k = VK_RIGHT;
  p->PopupKeyDown(k, TShiftState());
  EXPECT_EQ(p->GetValue().AsDateTime(), D(2023, 2, 16));
  wchar_t ch = L'T';
  p->PopupKeyPress(ch);
  EXPECT_EQ(p->GetValue().AsDateTime(), std::floor(Now()));

  TStringList hints;
  hints.Add(L"Back a year");
  hints.Add(L"");
  SetupPopupCalendar(p, Sun, TDaysOfWeek{Sat, Sun}, clBlue, &hints, false);
  EXPECT_EQ(p->NavButton(0)->GetHint(), L"Back a year");
  EXPECT_EQ(p->NavButton(1)->GetHint(), L"Previous Month|");
  EXPECT_EQ(p->Calendar()->GetStartOfWeek(), Sun);
  EXPECT_FALSE(p->FourDigitYear);

  // Releasing the mouse over a day picks it and closes accepting.
  int closes = 0;
  bool accepted = false;
  p->OnCloseUp = TCloseUpEvent([&](TObject*, bool a) {
    ++closes;
    accepted = a;
  });
  p->SetValue(Variant::FromDate(D(2024, 1, 15)));
  p->ShowAt(TPoint{60, 200});
  Pump(20);
  TLocCalendar* c = p->Calendar();
  TRect r = c->CellRect(3, 2);  // Sunday start: the 10th
  c->Perform(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(r.left + 2, r.top + 2));
  c->Perform(WM_LBUTTONUP, 0, MAKELPARAM(r.left + 2, r.top + 2));
  if (GetCapture()) ReleaseCapture();
  EXPECT_EQ(closes, 1);
  EXPECT_TRUE(accepted);
  EXPECT_EQ(p->GetValue().AsDateTime(), D(2024, 1, 10));
  // The header row picks nothing.
  r = c->CellRect(3, 0);
  c->Perform(WM_LBUTTONUP, 0, MAKELPARAM(r.left + 2, r.top + 2));
  EXPECT_EQ(closes, 1);
}

TEST(DateDialog, SelectDateAcceptsAndCancels) {
  OnDateDialogShow = [](TSelectDateDlg* d) {
    EXPECT_EQ(d->GetCaption(), L"Pick");
    EXPECT_EQ(d->Calendar->GetWeekendColor(), clGreen);
    d->Calendar->NextMonth();
    WORD k = VK_RETURN;
    d->FormKeyDown(d, k, TShiftState());
  };
  TDateTime date = D(2024, 1, 31);
  EXPECT_TRUE(SelectDate(date, L"Pick", Mon, TDaysOfWeek{Sun}, clGreen, nullptr));
  EXPECT_EQ(date, D(2024, 2, 29));

  OnDateDialogShow = [](TSelectDateDlg* d) {
    EXPECT_EQ(d->GetCaption(), L"Select a Date");
    WORD k = VK_NEXT;
    d->FormKeyDown(d, k, TShiftState{ssCtrl});
    EXPECT_EQ(d->TitleLabel->GetCaption(), LongMonthNames[1] + L", 2025");
    k = VK_ESCAPE;
    d->FormKeyDown(d, k, TShiftState());
  };
  EXPECT_FALSE(SelectDate(date, L"", Mon, TDaysOfWeek{Sun}, clRed, nullptr));
  EXPECT_EQ(date, D(2024, 2, 29));

  // A null date starts on today; the text form follows the short date format.
  String saved = ShortDateFormat;
  ShortDateFormat = L"yyyy-mm-dd";
  OnDateDialogShow = [](TSelectDateDlg* d) {
    EXPECT_EQ(d->GetDate(), std::floor(Now()));
    d->SetDate(D(2020, 5, 6));
    d->SetModalResult(mrOk);
  };
  String text = L"not a date";
  EXPECT_TRUE(SelectDateStr(text, L"", Mon, TDaysOfWeek{Sun}, clRed, nullptr));
  EXPECT_EQ(text, L"2020-05-06");
  OnDateDialogShow = [](TSelectDateDlg* d) {
    EXPECT_EQ(d->GetDate(), D(2020, 5, 6));
    d->SetModalResult(mrOk);
  };
  EXPECT_TRUE(SelectDateStr(text, L"", Mon, TDaysOfWeek{Sun}, clRed, nullptr));
  ShortDateFormat = saved;
  OnDateDialogShow = nullptr;
}

// The user's keys and mouse in the shown dialog: Tab and Shift+Tab turn the
// month (the calendar keeps the focus), a double-click on a day takes it.
TEST(DateDialog, TabTurnsTheMonthAndADoubleClickedDayIsTaken) {
  TSelectDateDlg* dlg = nullptr;
  OnDateDialogShow = [&](TSelectDateDlg* d) { dlg = d; };
  auto focused = [&] { return dlg && IsWindowVisible(dlg->GetHandle()) && GetFocus() == dlg->Calendar->GetHandle(); };
  auto title = [&] { return dlg->TitleLabel->GetCaption(); };
  const String jan = LongMonthNames[0] + L", 2024", feb = LongMonthNames[1] + L", 2024";
  String afterTab, afterShiftTab;
  bool focusStayed = false;
  TDateTime date = D(2024, 1, 15);
  {
    LoopScript s({When(focused, [&] { InputScript().Press(VK_TAB).Post(); }),
                  When([&] { return title() != jan; },
                       [&] {
                         afterTab = title();
                         InputScript().Press(VK_TAB, {VK_SHIFT}).Post();
                       }),
                  When([&] { return title() != feb; },
                       [&] {
                         afterShiftTab = title();
                         focusStayed = focused();
                         dlg->SetModalResult(mrCancel);
                       })});
    EXPECT_FALSE(SelectDate(date, L"", Mon, TDaysOfWeek{Sun}, clRed, nullptr));
  }
  EXPECT_EQ(afterTab, feb);
  EXPECT_EQ(afterShiftTab, jan);
  EXPECT_TRUE(focusStayed);

  dlg = nullptr;
  {
    LoopScript s({When(focused, [&] { InputScript().Move(DayPoint(dlg->Calendar, 10)).Down().Up().Down().Up().Post(); }),
                  When([] { return false; }, [&] { dlg->SetModalResult(mrCancel); })});
    EXPECT_TRUE(SelectDate(date, L"", Mon, TDaysOfWeek{Sun}, clRed, nullptr));
  }
  OnDateDialogShow = nullptr;
  EXPECT_EQ(date, D(2024, 1, 10));
}

TEST(DateDialog, PopupDateOpensUnderTheEdit) {
  std::unique_ptr<TForm> form(new TForm(Application));
  form->SetBounds(300, 100, 300, 100);
  auto* edit = new TEdit(form.get());
  edit->SetParent(form.get());
  edit->SetBounds(10, 10, 260, 21);
  form->Show();
  Pump(20);
  RECT er{};
  GetWindowRect(edit->Handle(), &er);
  OnDateDialogShow = [&](TSelectDateDlg* d) {
    RECT dr{};
    GetWindowRect(d->Handle(), &dr);
    EXPECT_EQ(dr.right, er.right);  // right edges together
    EXPECT_EQ(dr.top, er.bottom - 1);
    EXPECT_EQ(d->GetDate(), D(2024, 7, 4));
    d->SetModalResult(mrCancel);
  };
  TDateTime date = D(2024, 7, 4);
  EXPECT_FALSE(PopupDate(date, edit));
  OnDateDialogShow = nullptr;
}

TEST(PopupCalendar, HeaderRowTakesTheParentsColour) {
  std::unique_ptr<TForm> form(new TForm(Application));
  form->SetBounds(40, 40, 300, 100);
  form->Show();
  auto* p = CreatePopupCalendar(form.get());
  TLocCalendar* cal = p->Calendar();
  cal->GetParent()->SetColor(clYellow);
  EXPECT_EQ(cal->GetColor(), clYellow);
  EXPECT_EQ(cal->GetFixedColor(), clYellow);
  TBitmap out(cal->GetWidth(), cal->GetHeight());
  cal->Perform(WM_PAINT, WPARAM(out.Canvas()->GetHandle()), 0);
  EXPECT_EQ(GetPixel(out.Canvas()->GetHandle(), 2, 2) & 0xFFFFFF, RGB(255, 255, 0));
  // A plain calendar keeps button face for its header.
  TExtCalendar plain(nullptr);
  EXPECT_EQ(plain.GetFixedColor(), clBtnFace);
}

TEST(PopupCalendar, ScalesAtOtherDensitiesAndTakesTheReadingOrder) {
  std::unique_ptr<TForm> owner(new TForm(Application));
  auto make = [&](TBiDiMode mode) { return std::unique_ptr<TPopupCalendar>(CreatePopupCalendar(owner.get(), mode)); };
  // At 96 DPI the layout stays; the reading order is the edit's.
  auto plain = make(bdRightToLeft);
  EXPECT_EQ(plain->GetWidth(), 187);
  EXPECT_EQ(plain->GetHeight(), 124);
  EXPECT_EQ(plain->NavButton(3)->GetWidth(), 14);
  EXPECT_EQ(plain->GetBiDiMode(), bdRightToLeft);
  // At 120 DPI everything grows by 5/4 and the calendar takes the pop-up's font.
  Screen->SetPixelsPerInch(120);
  auto scaled = make(bdLeftToRight);
  Screen->SetPixelsPerInch(0);
  EXPECT_EQ(scaled->GetWidth(), MulDiv(187, 120, 96));
  EXPECT_EQ(scaled->GetHeight(), MulDiv(124, 120, 96));
  EXPECT_EQ(scaled->NavButton(3)->GetWidth(), MulDiv(14, 120, 96));
  EXPECT_EQ(scaled->NavButton(3)->GetLeft(), MulDiv(plain->NavButton(3)->GetLeft(), 120, 96));
  EXPECT_TRUE(scaled->Calendar()->GetParentFont());
  EXPECT_EQ(scaled->GetBiDiMode(), bdLeftToRight);
}

TEST(DateDialog, ScalesAndCentresAtOtherDensities) {
  struct Seen {
    int width = 0, left = 0, top = 0, height = 0, calendarWidth = 0;
    bool parentFont = false;
  } at96, at120;
  auto look = [](Seen& s) {
    OnDateDialogShow = [&s](TSelectDateDlg* d) {
      s = Seen{d->GetClientWidth(), d->GetLeft(), d->GetTop(), d->GetHeight(), d->Calendar->GetWidth(),
               d->Calendar->GetParentFont()};
      d->SetModalResult(mrCancel);
    };
    TDateTime date = 0;
    SelectDate(date, L"", Mon, TDaysOfWeek{Sun}, clRed, nullptr);
  };
  look(at96);
  Screen->SetPixelsPerInch(120);
  look(at120);
  Screen->SetPixelsPerInch(0);
  OnDateDialogShow = nullptr;
  EXPECT_EQ(at96.width, 222);
  EXPECT_EQ(at120.width, MulDiv(222, 120, 96));
  EXPECT_EQ(at120.calendarWidth, MulDiv(at96.calendarWidth, 120, 96));
  EXPECT_TRUE(at120.parentFont);
  EXPECT_NEAR(at120.top, (Screen->GetHeight() - at120.height) / 2, 1);  // centred
}

namespace {

const wchar_t* const ArrowNames[4] = {L"PREV2", L"PREV1", L"NEXT1", L"NEXT2"};

bool SamePixels(TBitmap* A, TBitmap* B) {
  if (A->GetWidth() != B->GetWidth() || A->GetHeight() != B->GetHeight()) return false;
  for (int Y = 0; Y < A->GetHeight(); ++Y)
    for (int X = 0; X < A->GetWidth(); ++X)
      if (ColorToRGB(A->Canvas()->Pixels(X, Y)) != ColorToRGB(B->Canvas()->Pixels(X, Y))) return false;
  return true;
}

// Whether the picture's black pixels, and only those, are black somewhere
// on the screen inside the button.
bool ArrowOnScreen(TControl* Button, TBitmap* Picture) {
  TPoint Origin = Button->ClientToScreen(TPoint{0, 0});
  int W = Button->GetWidth(), H = Button->GetHeight();
  TBitmap Shot(W, H);
  HDC Screen = GetDC(nullptr);
  BitBlt(Shot.Canvas()->GetHandle(), 0, 0, W, H, Screen, Origin.x, Origin.y, SRCCOPY);
  ReleaseDC(nullptr, Screen);
  auto Black = [](TColor C) { return (ColorToRGB(C) & 0xFFFFFF) == 0; };
  for (int OY = 0; OY + Picture->GetHeight() <= H; ++OY)
    for (int OX = 0; OX + Picture->GetWidth() <= W; ++OX) {
      bool Match = true;
      for (int Y = 0; Match && Y < Picture->GetHeight(); ++Y)
        for (int X = 0; Match && X < Picture->GetWidth(); ++X)
          Match = Black(Picture->Canvas()->Pixels(X, Y)) == Black(Shot.Canvas()->Pixels(OX + X, OY + Y));
      if (Match) return true;
    }
  return false;
}

}  // namespace

TEST(PopupCalendar, ArrowsAreTheProgramsPictures) {
  std::unique_ptr<TBitmap> Pictures[4];
  for (int I = 0; I < 4; ++I) {
    ASSERT_NE(FindResourceW(GetModuleHandleW(nullptr), ArrowNames[I], MAKEINTRESOURCEW(2)), nullptr) << I;
    Pictures[I].reset(CreateCalendarGlyph(I));
  }
  EXPECT_FALSE(SamePixels(Pictures[0].get(), Pictures[3].get()));  // left and right differ
  EXPECT_FALSE(SamePixels(Pictures[0].get(), Pictures[1].get()));  // two heads and one

  std::unique_ptr<TForm> form(new TForm(Application));
  form->SetBounds(40, 40, 300, 100);
  form->Show();
  auto* p = CreatePopupCalendar(form.get());
  p->ShowAt(TPoint{60, 200});
  Pump(20);
  for (int I = 0; I < 4; ++I) {
    SCOPED_TRACE(I);
    EXPECT_TRUE(SamePixels(p->NavButton(I)->GetGlyph(), Pictures[I].get()));
    p->NavButton(I)->Repaint();
    EXPECT_TRUE(ArrowOnScreen(p->NavButton(I), Pictures[I].get()));
  }
  p->HidePopup();

  // The dialog's buttons, checked once the dialog is on the screen.
  static TSelectDateDlg* Dialog;
  static TBitmap* Expected[4];
  static int Shown;
  Shown = 0;
  for (int I = 0; I < 4; ++I) Expected[I] = Pictures[I].get();
  OnDateDialogShow = [](TSelectDateDlg* d) {
    Dialog = d;
    SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR Id, DWORD) {
      if (!Dialog || !IsWindowVisible(Dialog->Handle())) return;
      KillTimer(nullptr, Id);
      ++Shown;
      Dialog->Repaint();
      for (int I = 0; I < 4; ++I) {
        SCOPED_TRACE(I);
        EXPECT_TRUE(SamePixels(Dialog->Buttons[I]->GetGlyph(), Expected[I]));
        EXPECT_TRUE(ArrowOnScreen(Dialog->Buttons[I], Expected[I]));
      }
      Dialog->SetModalResult(mrCancel);
      Dialog = nullptr;
    });
  };
  TDateTime date = D(2024, 1, 31);
  SelectDate(date, L"", Mon, TDaysOfWeek{Sun}, clRed, nullptr);
  OnDateDialogShow = nullptr;
  EXPECT_EQ(Shown, 1);
}

TEST(Calendar, StoresItsDateOnlyWhenNotTodaysAndTheRestWhereNotDefault) {
  using namespace formstream;
  TMemoryStream S;
  auto Plain = NewForm(L"PlainCalendars");
  Place<TExtCalendar>(Plain.get(), L"Cal");
  Place<TExtTimerSpeedButton>(Plain.get(), L"Repeat");  // bsWin31 and AllowTimer are its defaults
  Write(Plain.get(), S);
  for (const char* Name : {"CalendarDate", "Day", "Month", "Year", "ReadOnly", "StartOfWeek", "UseCurrentDate",
                           "WeekendColor", "Weekends", "Style", "AllowTimer"})
    EXPECT_FALSE(Holds(S, Name)) << Name;

  auto Source = NewForm(L"SetCalendars");
  TExtCalendar* C = Place<TExtCalendar>(Source.get(), L"Cal");
  C->SetUseCurrentDate(false);
  C->SetCalendarDate(EncodeDate(1999, 12, 31));
  C->SetStartOfWeek(Sun);
  C->SetWeekends(TDaysOfWeek{Fri, Sat});
  C->SetReadOnly(true);
  Place<TExtTimerSpeedButton>(Source.get(), L"Repeat")->SetAllowTimer(false);
  auto Copy = NewForm(L"ReadCalendars");
  TExtCalendar* R = Place<TExtCalendar>(Copy.get(), L"Cal");  // starts on today
  auto* B = Place<TExtTimerSpeedButton>(Copy.get(), L"Repeat");
  C->SetWeekendColor(clBlue);
  C->OnChange = Offer<TNotifyEvent>(L"CalChanged", {Source.get(), Copy.get()});
  ExpectRoundTrip(Source.get(), Copy.get(), S);
  ExpectStored(S, {"CalendarDate", "ReadOnly", "StartOfWeek", "UseCurrentDate", "WeekendColor", "Weekends",
                   "OnChange"});
  ExpectNotStored(S, {"Day", "Month", "Year"});  // the date holds them
  EXPECT_EQ(R->OnChange, C->OnChange);
  EXPECT_EQ(R->GetCalendarDate(), EncodeDate(1999, 12, 31));
  EXPECT_EQ(R->GetDay(), 31);
  EXPECT_FALSE(R->GetUseCurrentDate());
  EXPECT_FALSE(B->GetAllowTimer());
  // Read into an empty form: the calendar and the button are made by class.
  ExCalendarInitialize();
  auto Made = NewForm(L"MadeCalendars");
  Made->RegisterMethod(L"CalChanged", C->OnChange);
  ExpectRoundTrip(Source.get(), Made.get(), S);
  auto* MC = dynamic_cast<TExtCalendar*>(Made->FindComponent(L"Cal"));
  auto* MB = dynamic_cast<TExtTimerSpeedButton*>(Made->FindComponent(L"Repeat"));
  ASSERT_TRUE(MC && MB);
  EXPECT_EQ(MC->GetCalendarDate(), EncodeDate(1999, 12, 31));
  EXPECT_FALSE(MB->GetAllowTimer());
}

// The drop-down's calendar keeps its window enabled, so it always takes the
// mouse; a designed one follows its Enabled.
TEST(PopupCalendar, CalendarWindowStaysEnabledOutsideDesign) {
  for (bool Designed : {false, true}) {
    std::unique_ptr<TForm> f(new TForm(Application));
    if (Designed) f->SetDesigning(true);
    auto* c = new TLocCalendar(f.get());
    c->SetParent(f.get());
    c->SetBounds(0, 0, 180, 120);
    c->HandleNeeded();
    c->SetEnabled(false);
    EXPECT_EQ(IsWindowEnabled(c->GetHandle()) != FALSE, !Designed) << Designed;
  }
}

// The dialog's calendar and title are found by name, and each of its eight
// handlers is offered by name, so the events bound to them stream.
TEST(DateDialog, NamedPartsAndHandlersStream) {
  std::unique_ptr<TSelectDateDlg> Dlg(new TSelectDateDlg(Application));
  EXPECT_EQ(Dlg->FindComponent(L"Calendar"), Dlg->Calendar);
  EXPECT_EQ(Dlg->FindComponent(L"TitleLabel"), Dlg->TitleLabel);
  EXPECT_EQ(Dlg->MethodName(Dlg->Calendar->OnChange), L"CalendarChange");
  EXPECT_EQ(Dlg->MethodName(Dlg->Calendar->OnDblClick), L"CalendarDblClick");
  EXPECT_EQ(Dlg->MethodName(Dlg->TitleLabel->OnDblClick), L"TopPanelDblClick");
  EXPECT_EQ(Dlg->MethodName(Dlg->OnKeyDown), L"FormKeyDown");
  const wchar_t* Clicks[4] = {L"PrevYearBtnClick", L"PrevMonthBtnClick", L"NextMonthBtnClick", L"NextYearBtnClick"};
  for (int I = 0; I < 4; ++I) EXPECT_EQ(Dlg->MethodName(Dlg->Buttons[I]->OnClick), Clicks[I]);

  TMemoryStream S;
  formstream::Write(Dlg.get(), S);
  for (const char* Name : {"CalendarChange", "CalendarDblClick", "TopPanelDblClick", "FormKeyDown", "PrevYearBtnClick",
                           "PrevMonthBtnClick", "NextMonthBtnClick", "NextYearBtnClick"})
    EXPECT_TRUE(formstream::Holds(S, Name)) << Name;
}

// A pop-up made for a designed owner builds nothing, gives today and takes
// no value, and is neither scaled nor given the edit's reading order.
TEST(PopupCalendar, DesignedOwnerGetsAnEmptyUnscaledPopup) {
  std::unique_ptr<TForm> Owner(new TForm(Application));
  Owner->SetDesigning(true);
  Screen->SetPixelsPerInch(120);
  std::unique_ptr<TPopupCalendar> P(CreatePopupCalendar(Owner.get(), bdRightToLeft));
  Screen->SetPixelsPerInch(0);
  ASSERT_TRUE(P->IsDesigning());
  EXPECT_EQ(P->Calendar(), nullptr);
  EXPECT_EQ(P->ControlCount(), 0);
  EXPECT_EQ(P->GetWidth(), 187);
  EXPECT_EQ(P->GetHeight(), 124);
  EXPECT_EQ(P->GetBiDiMode(), bdLeftToRight);
  EXPECT_EQ(P->GetValue().AsDateTime(), std::floor(Now()));
  P->SetValue(Variant::FromDate(D(2024, 1, 15)));
  EXPECT_EQ(P->GetValue().AsDateTime(), std::floor(Now()));
  SetupPopupCalendar(P.get(), Sun, TDaysOfWeek{Sat}, clBlue, nullptr, false);
  EXPECT_FALSE(P->FourDigitYear);
}
