// The date edit: reading and writing dates, the step keys, the drop-down
// calendar, the date dialog and format changes.
#include <cmath>

#include "classlib/ComCtrls.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"
#include "testsupport/Gui.h"
#include "testsupport/Input.h"
#include "testsupport/Pump.h"
#include "extlib/ExCtlSpeedButton.h"
#include "extlib/ExDateEdit.h"
#include "extlib/tests/CalendarPoints.h"
#include "extlib/tests/FormStream.h"

using namespace testsupport;
using calendarpoints::DayPoint;

namespace {

struct DateHost {
  std::unique_ptr<TForm> form;
  TDateEdit* edit;
  DateHost() {
    form.reset(new TForm(Application));
    form->SetBounds(40, 40, 300, 150);
    edit = new TDateEdit(form.get());
    edit->SetParent(form.get());
    edit->SetBounds(10, 10, 120, 21);
    form->Show();
    edit->SetFocus();
    Pump(20);
  }
};

TDateTime D(int y, int m, int d) { return EncodeDate(y, m, d); }
TDateTime Today() { return std::floor(Now()); }
void Key(TWinControl* c, WORD k, LPARAM l = 1) { c->Perform(WM_KEYDOWN, k, l); }
void Char(TWinControl* c, wchar_t ch) { c->Perform(WM_CHAR, ch, 1); }
bool NoDigits(const String& s) { return s.find_first_of(L"0123456789") == String::npos; }
// The screen point in the middle of a control.
POINT Centre(TControl* c) {
  TPoint p = c->ClientToScreen(TPoint{c->GetWidth() / 2, c->GetHeight() / 2});
  return POINT{p.x, p.y};
}

// A short date format for one test; the one before comes back when the
// test ends, also when an assertion ends it early.
struct ShortDateFormatFor {
  String saved = ShortDateFormat;
  explicit ShortDateFormatFor(const wchar_t* format) {
    ShortDateFormat = format;
    DateFormatChanged();
  }
  ~ShortDateFormatFor() {
    ShortDateFormat = saved;
    DateFormatChanged();
  }
};

}  // namespace

TEST(DateEdit, DefaultsAndNullDate) {
  DateHost h;
  TDateEdit* e = h.edit;
  EXPECT_EQ(e->DialogTitle, L"Select a Date");
  EXPECT_EQ(e->GetCalendarStyle(), csPopup);
  EXPECT_EQ(e->GetGlyphKind(), gkDefault);
  EXPECT_EQ(e->GetNumGlyphs(), 2);
  EXPECT_EQ(e->GetStartOfWeek(), Mon);
  EXPECT_EQ(e->GetDate(), NullDate);
  e->SetDate(D(2024, 3, 5));
  EXPECT_EQ(e->GetText(), FormatDateTime(e->GetDateFormat(), D(2024, 3, 5)));
  EXPECT_EQ(e->GetDate(), D(2024, 3, 5));
  EXPECT_TRUE(e->GetModified());
  e->SetDate(NullDate);
  EXPECT_TRUE(NoDigits(e->GetText()));  // the mask's separators and blanks only
  e->SetText(L"rubbish");
  EXPECT_EQ(e->GetDate(), NullDate);
  e->DefaultToday = true;
  EXPECT_EQ(e->GetDate(), Today());
  e->SetText(L"");
  EXPECT_EQ(e->GetDate(), Today());
  e->SetDate(NullDate);
  EXPECT_EQ(e->GetDate(), Today());
  EXPECT_FALSE(e->GetText().empty());
}

TEST(DateEdit, StepKeys) {
  DateHost h;
  TDateEdit* e = h.edit;
  Key(e, VK_ADD);  // empty: from today
  EXPECT_EQ(e->GetDate(), Today() + 1);
  e->SetDate(D(2024, 2, 28));
  Key(e, VK_ADD);
  EXPECT_EQ(e->GetDate(), D(2024, 2, 29));
  Key(e, VK_SUBTRACT);
  Key(e, VK_SUBTRACT);
  EXPECT_EQ(e->GetDate(), D(2024, 2, 27));
  String before = e->GetText();
  Char(e, L'+');  // the key-down did the work: the character is swallowed
  Char(e, L'-');
  EXPECT_EQ(e->GetText(), before);
  Char(e, L't');
  EXPECT_EQ(e->GetDate(), Today());

  // Without direct input the keys step nothing.
  e->SetDate(D(2024, 2, 27));
  e->SetDirectInput(false);
  Key(e, VK_ADD);
  EXPECT_EQ(e->GetDate(), D(2024, 2, 27));
}

TEST(DateEdit, FormatsFollowYearDigitsAndTheSystemFormat) {
  DateHost h;
  TDateEdit* e = h.edit;
  ShortDateFormatFor format(L"dd/MM/yy");
  EXPECT_FALSE(FourDigitYear);
  EXPECT_EQ(e->GetDateFormat(), DefDateFormat(false));
  e->SetDate(D(2024, 3, 5));
  ShortDateFormat = L"dd/MM/yyyy";
  DateFormatChanged();
  EXPECT_EQ(e->GetDateFormat(), DefDateFormat(true));
  EXPECT_EQ(e->GetDate(), D(2024, 3, 5));  // the date is kept across the change
  EXPECT_EQ(e->GetText(), FormatDateTime(DefDateFormat(true), D(2024, 3, 5)));
  e->SetYearDigits(dyTwo);
  EXPECT_EQ(e->GetDateFormat(), DefDateFormat(false));
  DateFormatChanged();
  EXPECT_EQ(e->GetDateFormat(), DefDateFormat(false));  // not the default digits: unchanged
}

TEST(DateEdit, WindowCreationTakesOverAFormatChangedMeanwhile) {
  ShortDateFormatFor format(L"dd/MM/yyyy");
  std::unique_ptr<TForm> form(new TForm(Application));
  form->SetBounds(40, 40, 300, 150);
  auto* e = new TDateEdit(form.get());
  e->SetBounds(10, 10, 120, 21);
  e->SetDate(D(2024, 3, 5));
  ASSERT_FALSE(e->HandleAllocated());
  ASSERT_EQ(e->GetDateFormat(), DefDateFormat(true));
  // Changed while the edit has no window: nothing tells it.
  ShortDateFormat = L"dd/MM/yy";
  ExDateUtilInitialize();
  e->SetParent(form.get());
  form->Show();
  ASSERT_TRUE(e->HandleAllocated());
  EXPECT_EQ(e->GetDateFormat(), DefDateFormat(false));
  EXPECT_EQ(e->GetEditMask(), DefDateMask(L' ', false));
  EXPECT_EQ(e->GetDate(), D(2024, 3, 5));
  EXPECT_EQ(e->GetText(), FormatDateTime(DefDateFormat(false), D(2024, 3, 5)));
}

TEST(DateEdit, CalendarHintsKeepFourLines) {
  DateHost h;
  TStrings* hints = h.edit->GetCalendarHints();
  for (const wchar_t* s : {L"a", L"b", L"c", L"d"}) hints->Add(s);
  hints->Add(L"e");
  EXPECT_EQ(hints->GetCount(), 4);
  EXPECT_EQ(hints->Get(3), L"d");
  EXPECT_EQ(h.edit->PopupCalendar()->NavButton(3)->GetHint(), L"d");
}

TEST(DateEdit, PopupExchangesTheDate) {
  DateHost h;
  TDateEdit* e = h.edit;
  e->SetDate(D(2024, 1, 31));
  e->Perform(WM_SYSKEYDOWN, VK_DOWN, 0x20000001);
  ASSERT_TRUE(e->PopupVisible());
  TPopupCalendar* p = e->PopupCalendar();
  EXPECT_EQ(p->GetValue().AsDateTime(), D(2024, 1, 31));
  // The pop-up reads in the edit's order.
  e->SetBiDiMode(bdRightToLeft);
  EXPECT_EQ(p->GetBiDiMode(), bdRightToLeft);
  e->SetBiDiMode(bdLeftToRight);
  EXPECT_EQ(p->GetBiDiMode(), bdLeftToRight);
  Key(e, VK_NEXT);  // handed to the calendar
  EXPECT_EQ(p->GetValue().AsDateTime(), D(2024, 2, 29));
  Key(e, VK_ADD);
  EXPECT_EQ(p->GetValue().AsDateTime(), D(2024, 3, 1));
  Char(e, L'+');  // the typed sign goes to the calendar, which ignores it
  EXPECT_EQ(p->GetValue().AsDateTime(), D(2024, 3, 1));
  EXPECT_EQ(e->GetDate(), D(2024, 1, 31));  // not taken over yet
  Char(e, L'\r');
  EXPECT_FALSE(e->PopupVisible());
  EXPECT_EQ(e->GetDate(), D(2024, 3, 1));

  // OnAcceptDate may change the date or refuse it.
  e->OnAcceptDate = TExecDateDialog([](TObject*, TDateTime& d, bool&) { d += 10; });
  e->DoClick();
  Char(e, L'\r');
  EXPECT_EQ(e->GetDate(), D(2024, 3, 11));
  e->OnAcceptDate = TExecDateDialog([](TObject*, TDateTime&, bool& a) { a = false; });
  e->DoClick();
  Key(e, VK_NEXT);
  Char(e, L'\r');
  EXPECT_EQ(e->GetDate(), D(2024, 3, 11));

  // An empty edit opens the calendar on today.
  e->OnAcceptDate = nullptr;
  e->SetText(L"");
  e->DoClick();
  EXPECT_EQ(p->GetValue().AsDateTime(), Today());
  Char(e, 0x1B);
  EXPECT_TRUE(NoDigits(e->GetText()));
  EXPECT_EQ(e->GetDate(), NullDate);
}

// The drop-down calendar by mouse: an arrow turns the month, a clicked day
// becomes the edit's date, a held arrow repeats, and a double-click on the
// title goes back to today.
TEST(DateEdit, PopupCalendarByMouse) {
  DateHost h;
  TDateEdit* e = h.edit;
  e->SetDate(D(2024, 1, 15));
  SetForegroundWindow(h.form->GetHandle());
  e->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == e->GetHandle(); }));
  TPopupCalendar* p = e->PopupCalendar();
  auto months = [&] {
    int y, m, d;
    DecodeDate(p->GetValue().AsDateTime(), y, m, d);
    return y * 12 + m - 1;
  };
  Click(Centre(e->Button()));
  ASSERT_TRUE(e->PopupVisible());
  Click(Centre(p->NavButton(2)));
  EXPECT_EQ(p->TitleLabel()->GetCaption(), LongMonthNames[1] + L", 2024");
  EXPECT_TRUE(e->PopupVisible());
  Click(DayPoint(p->Calendar(), 10));
  EXPECT_FALSE(e->PopupVisible());
  EXPECT_EQ(e->GetDate(), D(2024, 2, 10));

  Click(Centre(e->Button()));
  ASSERT_TRUE(e->PopupVisible());
  const int start = months();
  InputScript().Move(Centre(p->NavButton(2))).Down().Send();
  EXPECT_TRUE(PumpUntil([&] { return months() >= start + 3; }));
  InputScript().Up().Send();
  EXPECT_TRUE(e->PopupVisible());
  EXPECT_GE(months(), start + 3);
  DoubleClick(Centre(p->TitleLabel()));
  EXPECT_EQ(p->GetValue().AsDateTime(), Today());
  EXPECT_TRUE(e->PopupVisible());
  PressKey(VK_ESCAPE);
  EXPECT_FALSE(e->PopupVisible());
  EXPECT_EQ(e->GetDate(), D(2024, 2, 10));
}

// The pop-up repaints the edit's text area at once and leaves the button
// alone.
TEST(DateEdit, PopupRepaintsTheEditsTextArea) {
  DateHost h;
  TDateEdit* e = h.edit;
  UpdateWindow(e->GetHandle());
  std::vector<RECT> painted;
  TWndMethod old = e->WindowProc;
  e->WindowProc = TWndMethod([&](TMessage& m) {
    if (m.Msg == WM_PAINT) {
      RECT r{};
      GetUpdateRect(e->GetHandle(), &r, FALSE);
      painted.push_back(r);
    }
    old(m);
  });
  e->PopupCalendar()->InvalidateEditor();
  e->WindowProc = old;
  ASSERT_EQ(painted.size(), 1u);
  EXPECT_EQ(painted[0].left, 0);
  EXPECT_EQ(painted[0].top, 0);
  EXPECT_EQ(painted[0].right, e->GetClientWidth() - e->GetButtonWidth() - 2);
  EXPECT_EQ(painted[0].bottom, e->GetClientHeight());
}

// The date edit among a form's controls, by keyboard: Tab and Shift+Tab
// pass through it; Escape closes an open calendar and nothing else (the
// date typed before it opened stays); with the calendar closed, Escape
// first undoes the typing and only then reaches the cancel button, and
// Enter reaches the default button.
TEST(DateEdit, KeysAmongTheFormsControls) {
  DateHost h;
  TDateEdit* e = h.edit;
  ShortDateFormatFor format(L"M/d/yyyy");
  int cancels = 0, defaults = 0;
  auto* cancel = new TButton(h.form.get());
  cancel->SetParent(h.form.get());
  cancel->SetBounds(150, 10, 80, 24);
  cancel->SetCancel(true);
  cancel->OnClick = TNotifyEvent([&](TObject*) { ++cancels; });
  auto* ok = new TButton(h.form.get());
  ok->SetParent(h.form.get());
  ok->SetBounds(150, 40, 80, 24);
  ok->SetDefault(true);
  ok->OnClick = TNotifyEvent([&](TObject*) { ++defaults; });
  SetForegroundWindow(h.form->GetHandle());
  e->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == e->GetHandle(); }));
  PressKey(VK_TAB);
  EXPECT_EQ(GetFocus(), cancel->GetHandle());
  PressKey(VK_TAB, {VK_SHIFT});
  ASSERT_EQ(GetFocus(), e->GetHandle());
  PressKey(VK_TAB, {VK_SHIFT});
  EXPECT_EQ(GetFocus(), ok->GetHandle());
  PressKey(VK_TAB);
  ASSERT_EQ(GetFocus(), e->GetHandle());

  e->SetSelStart(0);
  TypeText(L"12252024");
  ASSERT_EQ(e->GetDate(), D(2024, 12, 25));
  PressKey(VK_DOWN, {VK_MENU});
  ASSERT_TRUE(e->PopupVisible());
  PressKey(VK_RIGHT);
  EXPECT_EQ(e->PopupCalendar()->GetValue().AsDateTime(), D(2024, 12, 26));
  PressKey(VK_ESCAPE);
  EXPECT_FALSE(e->PopupVisible());
  EXPECT_EQ(e->GetDate(), D(2024, 12, 25));

  PressKey(VK_DOWN, {VK_MENU});
  PressKey(VK_RIGHT);
  PressKey(VK_RETURN);
  EXPECT_FALSE(e->PopupVisible());
  EXPECT_EQ(e->GetDate(), D(2024, 12, 26));
  EXPECT_EQ(cancels, 0);
  EXPECT_EQ(defaults, 0);

  PressKey(VK_ESCAPE);  // back to the text the edit had when it was entered
  EXPECT_TRUE(NoDigits(e->GetText()));
  EXPECT_EQ(cancels, 0);
  PressKey(VK_ESCAPE);
  EXPECT_EQ(cancels, 1);
  PressKey(VK_RETURN);
  EXPECT_EQ(defaults, 1);
}

// Ctrl+PageDown in a date edit on a page: the open calendar's next year,
// with the calendar closed the next page.
TEST(DateEdit, CtrlPageKeysTurnTheOpenCalendarsYearNotThePage) {
  std::unique_ptr<TForm> form(new TForm(Application));
  form->SetBounds(40, 40, 300, 200);
  auto* pages = new TPageControl(form.get());
  pages->SetParent(form.get());
  pages->SetBounds(0, 0, 280, 150);
  TTabSheet* sheets[2];
  for (TTabSheet*& s : sheets) {
    s = new TTabSheet(form.get());
    s->SetPageControl(pages);
  }
  auto* e = new TDateEdit(form.get());
  e->SetParent(sheets[0]);
  e->SetBounds(10, 10, 120, 21);
  pages->SetActivePage(sheets[0]);
  form->Show();
  SetForegroundWindow(form->GetHandle());
  e->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == e->GetHandle(); }));
  e->SetDate(D(2024, 1, 31));
  PressKey(VK_DOWN, {VK_MENU});
  ASSERT_TRUE(e->PopupVisible());
  PressKey(VK_NEXT, {VK_CONTROL});
  EXPECT_EQ(e->PopupCalendar()->GetValue().AsDateTime(), D(2025, 1, 31));
  EXPECT_EQ(pages->GetActivePage(), sheets[0]);
  PressKey(VK_ESCAPE);
  ASSERT_FALSE(e->PopupVisible());
  PressKey(VK_NEXT, {VK_CONTROL});
  EXPECT_EQ(pages->GetActivePage(), sheets[1]);
}

// An open calendar closes without taking its date when the user presses
// anywhere else on the form: a panel, the form itself or another edit.
TEST(DateEdit, ClickElsewhereOnTheFormClosesTheCalendar) {
  DateHost h;
  TDateEdit* e = h.edit;
  h.form->SetBounds(40, 40, 560, 150);
  auto* panel = new TPanel(h.form.get());
  panel->SetParent(h.form.get());
  panel->SetBounds(400, 10, 120, 40);
  auto* other = new TEdit(h.form.get());
  other->SetParent(h.form.get());
  other->SetBounds(400, 70, 120, 21);
  e->SetDate(D(2024, 12, 25));
  SetForegroundWindow(h.form->GetHandle());
  e->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == e->GetHandle(); }));

  auto open = [&] {
    PressKey(VK_DOWN, {VK_MENU});
    ASSERT_TRUE(e->PopupVisible());
    PressKey(VK_RIGHT);  // the calendar moves on a day
    RECT r{};
    GetWindowRect(e->PopupCalendar()->GetHandle(), &r);
    ASSERT_LT(r.right, panel->ClientToScreen(TPoint{0, 0}).x);  // the presses below miss it
  };
  ASSERT_NO_FATAL_FAILURE(open());
  Click(ClientCentre(panel->GetHandle()));
  EXPECT_FALSE(e->PopupVisible());
  EXPECT_FALSE(IsWindowVisible(e->PopupCalendar()->GetHandle()));
  EXPECT_EQ(e->GetDate(), D(2024, 12, 25));
  EXPECT_EQ(GetFocus(), e->GetHandle());

  ASSERT_NO_FATAL_FAILURE(open());
  Click(ScreenPoint(h.form->GetHandle(), 300, 100));
  EXPECT_FALSE(e->PopupVisible());
  EXPECT_EQ(e->GetDate(), D(2024, 12, 25));

  // A press on the form's caption bar closes it too.
  ASSERT_NO_FATAL_FAILURE(open());
  RECT wr{};
  GetWindowRect(h.form->GetHandle(), &wr);
  const TPoint clientTop = h.form->ClientToScreen(TPoint{0, 0});
  Click(POINT{wr.left + 60, (wr.top + clientTop.y) / 2});
  EXPECT_FALSE(e->PopupVisible());
  EXPECT_EQ(e->GetDate(), D(2024, 12, 25));

  ASSERT_NO_FATAL_FAILURE(open());
  Click(ClientCentre(other->GetHandle()));
  EXPECT_FALSE(e->PopupVisible());
  EXPECT_EQ(GetFocus(), other->GetHandle());
  EXPECT_EQ(e->GetDate(), D(2024, 12, 25));
}

TEST(DateEdit, DialogStyleRunsTheDateDialog) {
  DateHost h;
  TDateEdit* e = h.edit;
  e->SetCalendarStyle(csDialog);
  EXPECT_EQ(e->PopupCalendar(), nullptr);
  e->SetDate(D(2024, 5, 10));
  int shown = 0;
  OnDateDialogShow = [&](TSelectDateDlg* d) {
    ++shown;
    EXPECT_EQ(d->GetDate(), D(2024, 5, 10));
    d->Calendar->NextMonth();
    d->SetModalResult(mrOk);
  };
  e->Perform(WM_SYSKEYDOWN, VK_DOWN, 0x20000001);
  OnDateDialogShow = nullptr;
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(e->GetDate(), D(2024, 6, 10));
  e->SetCalendarStyle(csPopup);
  EXPECT_NE(e->PopupCalendar(), nullptr);
}

TEST(DateEdit, CheckValidDateRaisesForNoDate) {
  DateHost h;
  TDateEdit* e = h.edit;
  e->SetText(L"  ");
  EXPECT_NO_THROW(e->CheckValidDate());
  e->SetText(L"31/31/31x");
  EXPECT_THROW(e->CheckValidDate(), EConvertError);
  int changes = 0;
  e->OnChange = TNotifyEvent([&](TObject*) { ++changes; });
  e->SetText(FormatDateTime(e->GetDateFormat(), D(2024, 1, 2)));
  changes = 0;
  e->CheckValidDate();  // rewriting the text stays silent
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(e->GetDate(), D(2024, 1, 2));
}

// A settings change the application's window hears re-formats the running
// date edits; a designed one keeps its format and mask.
TEST(DateEdit, SystemSettingsChangeReformats) {
  DateHost h;
  TDateEdit* e = h.edit;
  e->SetDate(D(2024, 3, 5));
  String saved = ShortDateFormat;
  ShortDateFormat = FourDigitYear ? L"d/M/yy" : L"d/M/yyyy";  // the opposite of the system's
  ExDateUtilInitialize();
  e->UpdateMask();
  std::unique_ptr<TForm> designed(new TForm(Application));
  designed->SetDesigning(true);
  designed->SetBounds(40, 200, 300, 100);
  auto* d = new TDateEdit(designed.get());
  d->SetParent(designed.get());
  d->SetBounds(10, 10, 120, 21);
  designed->Show();
  Pump(20);
  String before = e->GetDateFormat(), mask = e->GetEditMask();
  ASSERT_EQ(d->GetDateFormat(), before);
  TMessage m{WM_WININICHANGE, 0, 0, 0};
  Application->HandleNeededAndSend(m);  // the settings are read again
  EXPECT_NE(e->GetDateFormat(), before);
  EXPECT_EQ(e->GetDateFormat(), DefDateFormat(FourDigitYear));
  EXPECT_EQ(e->GetEditMask(), DefDateMask(e->GetBlanksChar(), FourDigitYear));
  EXPECT_EQ(e->GetDate(), D(2024, 3, 5));
  EXPECT_EQ(d->GetDateFormat(), before);
  EXPECT_EQ(d->GetEditMask(), mask);
  ShortDateFormat = saved;
  ExDateUtilInitialize();
}

// At another screen density a date edit made on a designed form gets its
// pop-up as made: not scaled, its font not reset.
TEST(DateEdit, OnADesignedFormAtOtherDensitiesThePopupIsNotScaled) {
  std::unique_ptr<TPopupCalendar> plain(new TPopupCalendar(nullptr));
  std::unique_ptr<TForm> form(new TForm(Application));
  form->SetDesigning(true);
  form->SetBounds(40, 40, 300, 150);
  Screen->SetPixelsPerInch(120);
  auto* e = new TDateEdit(form.get());
  Screen->SetPixelsPerInch(0);
  e->SetParent(form.get());
  e->SetBounds(10, 10, 120, 21);
  TPopupCalendar* p = e->PopupCalendar();
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->GetWidth(), 187);
  EXPECT_EQ(p->GetHeight(), 124);
  EXPECT_EQ(p->Font()->GetHeight(), plain->Font()->GetHeight());
  EXPECT_EQ(p->Font()->GetName(), plain->Font()->GetName());
  form->Show();
  Pump(20);
  EXPECT_EQ(p->GetWidth(), 187);
}

// Typed keys fill the digit places of the date mask, which follows the year
// digits and BlanksChar; the separators are stepped over, letters refused.
TEST(DateEdit, TypingFollowsTheDateMask) {
  DateHost h;
  TDateEdit* e = h.edit;
  ShortDateFormatFor format(L"M/d/yyyy");
  EXPECT_EQ(e->GetEditMask(), L"!99/99/9999;1; ");
  EXPECT_EQ(e->GetDateMask(), e->GetEditMask());
  SetForegroundWindow(h.form->GetHandle());
  e->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == e->GetHandle(); }));
  e->SetSelStart(0);
  TypeText(L"12x252024");
  EXPECT_EQ(e->GetEditText(), L"12/25/2024");
  EXPECT_EQ(e->GetDate(), D(2024, 12, 25));

  // Two-digit years: a shorter mask, the date kept.
  e->SetYearDigits(dyTwo);
  EXPECT_EQ(e->GetEditMask(), L"!99/99/99;1; ");
  EXPECT_EQ(e->GetEditText(), L"12/25/24");
  EXPECT_EQ(e->GetDate(), D(2024, 12, 25));

  // Empty places show BlanksChar.
  e->SetYearDigits(dyFour);
  e->SetBlanksChar(L'_');
  e->SetDate(NullDate);
  EXPECT_EQ(e->GetEditText(), L"__/__/____");
  e->SetSelStart(0);
  TypeText(L"0703");
  EXPECT_EQ(e->GetEditText(), L"07/03/____");
  TypeText(L"2025");
  EXPECT_EQ(e->GetDate(), D(2025, 7, 3));
}

TEST(DateEdit, PublishedPropertiesTravelInTheFormStream) {
  using namespace formstream;
  TMemoryStream S;
  auto Plain = NewForm(L"PlainForm");
  TDateEdit* e = Place<TDateEdit>(Plain.get(), L"Due");
  e->SetBlanksChar(L'_');
  e->SetText(e->GetText());  // the mask's underscores and separators
  e->SetMaxLength(30);
  Write(Plain.get(), S);
  // Defaults, a text of blanks and separators only, and the maximum length
  // stay out.
  for (const char* Name : {"DialogTitle", "PopupAlign", "CalendarStyle", "Text", "MaxLength", "GlyphKind",
                           "Glyph.Data", "NumGlyphs", "ButtonWidth", "YearDigits", "Weekends", "CalendarHints"})
    EXPECT_FALSE(Holds(S, Name)) << Name;

  auto Source = NewForm(L"SourceForm");
  e = Place<TDateEdit>(Source.get(), L"Due");
  e->SetBlanksChar(L'_');
  e->SetYearDigits(dyFour);
  e->DialogTitle = L"Pick the day";
  e->PopupAlign = epaLeft;
  e->SetCalendarStyle(csDialog);
  e->SetWeekends(TDaysOfWeek{Sat, Sun});
  e->GetCalendarHints()->Add(L"Last year");
  e->DefaultToday = true;
  e->SetDate(D(2031, 12, 24));
  e->SetAutoSelect(false);
  e->SetBorderStyle(bsNone);
  e->SetButtonHint(L"Open the calendar");
  e->CheckOnExit = true;
  e->ClickKey = escCtrl | VK_RETURN;
  e->SetDirectInput(false);
  e->SetHideSelection(false);
  e->SetReadOnly(true);
  e->SetPopupColor(clYellow);
  e->SetStartOfWeek(Sun);
  e->SetWeekendColor(clBlue);
  TBitmap G;
  G.SetSize(24, 12);
  e->SetGlyph(&G);
  e->SetNumGlyphs(2);
  e->SetButtonWidth(30);
  auto Copy = NewForm(L"ReadForm");
  TDateEdit* r = Place<TDateEdit>(Copy.get(), L"Due");
  e->OnAcceptDate = Offer<TExecDateDialog>(L"DueAccept", {Source.get(), Copy.get()});
  e->OnButtonClick = Offer<TNotifyEvent>(L"DueButton", {Source.get(), Copy.get()});
  e->OnChange = Offer<TNotifyEvent>(L"DueChange", {Source.get(), Copy.get()});
  ExpectRoundTrip(Source.get(), Copy.get(), S);
  ExpectStored(S, {"AutoSelect", "BlanksChar", "BorderStyle", "ButtonHint", "CalendarHints", "CheckOnExit",
                   "ClickKey", "DefaultToday", "DialogTitle", "DirectInput", "GlyphKind", "Glyph.Data",
                   "ButtonWidth", "HideSelection", "NumGlyphs", "PopupAlign", "PopupColor", "ReadOnly",
                   "CalendarStyle", "StartOfWeek", "Weekends", "WeekendColor", "YearDigits", "Text", "OnAcceptDate",
                   "OnButtonClick", "OnChange"});
  EXPECT_TRUE(Holds(S, "Pick the day") && Holds(S, "Text"));
  EXPECT_EQ(r->GetDate(), D(2031, 12, 24));  // the mask is in place before the text
  EXPECT_EQ(r->PopupCalendar(), nullptr);

  // Against an ancestor that has the same values nothing of them is written.
  TMemoryStream Same;
  TWriter(&Same).WriteDescendent(Copy.get(), Source.get());
  for (const char* Name : {"DialogTitle", "Text", "CalendarHints", "Weekends"})
    EXPECT_FALSE(Holds(Same, Name)) << Name;
}

TEST(DateEdit, StreamsMakeDateEditsByClassAndKeepACustomGlyph) {
  ExDateEditInitialize();
  TMemoryStream S;
  auto Source = formstream::NewForm(L"GlyphSource");
  TDateEdit* e = formstream::Place<TDateEdit>(Source.get(), L"Due");
  TBitmap G;
  G.SetSize(12, 10);
  e->SetGlyph(&G);
  e->SetButtonWidth(30);
  auto Made = formstream::NewForm(L"MadeForm");
  formstream::ExpectRoundTrip(Source.get(), Made.get(), S);
  auto* r = dynamic_cast<TDateEdit*>(Made->FindComponent(L"Due"));
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->GetParent(), Made.get());
  EXPECT_EQ(r->GetGlyphKind(), gkCustom);
  EXPECT_EQ(r->GetGlyph()->GetWidth(), 12);

  // A custom kind without a glyph reads back without the calendar picture.
  e->SetGlyph(nullptr);
  ASSERT_EQ(e->GetGlyphKind(), gkCustom);
  auto Bare = formstream::NewForm(L"BareForm");
  formstream::ExpectRoundTrip(Source.get(), Bare.get(), S);
  auto* b = dynamic_cast<TDateEdit*>(Bare->FindComponent(L"Due"));
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(b->GetGlyphKind(), gkCustom);
  EXPECT_TRUE(b->GetGlyph()->Empty());
}

// A menu dropped down from code closes the calendar open on the form, as a
// press elsewhere on the form does.
TEST(DateEdit, MenuDroppedDownFromCodeClosesTheCalendar) {
  DateHost h;
  TDateEdit* e = h.edit;
  auto* b = new TExtSpeedButton(h.form.get());
  b->SetParent(h.form.get());
  b->SetBounds(200, 10, 30, 30);
  auto* menu = new TPopupMenu(h.form.get());
  int popups = 0;
  menu->OnPopup = TNotifyEvent([&](TObject*) { ++popups; });
  b->SetDropDownMenu(menu);
  e->SetDate(D(2024, 12, 25));
  SetForegroundWindow(h.form->GetHandle());
  e->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == e->GetHandle(); }));
  e->Perform(WM_SYSKEYDOWN, VK_DOWN, 0x20000001);
  ASSERT_TRUE(e->PopupVisible());
  Key(e, VK_RIGHT);  // the calendar moves on; closing does not take it
  EXPECT_TRUE(b->CheckBtnMenuDropDown());
  EXPECT_EQ(popups, 1);
  EXPECT_FALSE(e->PopupVisible());
  EXPECT_FALSE(IsWindowVisible(e->PopupCalendar()->GetHandle()));
  EXPECT_EQ(e->GetDate(), D(2024, 12, 25));
}

// A date edit made on a designed form: its calendar pop-up holds nothing
// and answers today, leaving the edit checks no date, and a form read at
// design time puts the pop-up just below the edit.
TEST(DateEdit, OnADesignedFormThePopupHoldsNothing) {
  ExDateEditInitialize();
  std::unique_ptr<TForm> form(new TForm(Application));
  form->SetDesigning(true);
  form->SetBounds(40, 40, 300, 150);
  auto* e = new TDateEdit(form.get());
  e->SetParent(form.get());
  e->SetBounds(10, 10, 120, 21);
  auto* other = new TEdit(form.get());
  other->SetParent(form.get());
  other->SetBounds(10, 50, 120, 21);
  form->Show();
  Pump(20);
  TPopupCalendar* p = e->PopupCalendar();
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(p->IsDesigning());
  EXPECT_EQ(p->Calendar(), nullptr);
  EXPECT_EQ(p->TitleLabel(), nullptr);
  EXPECT_EQ(p->NavButton(0), nullptr);
  EXPECT_EQ(p->ControlCount(), 0);
  EXPECT_EQ(p->GetValue().AsDateTime(), Today());
  p->SetValue(Variant::FromDate(D(2024, 2, 3)));
  EXPECT_EQ(p->GetValue().AsDateTime(), Today());
  WORD k = VK_NEXT;
  p->PopupKeyDown(k, TShiftState{});
  wchar_t c = L't';
  p->PopupKeyPress(c);
  p->UpdateTitle();
  // Settings handed to the pop-up find no calendar and no buttons.
  e->SetStartOfWeek(Sun);
  e->SetWeekendColor(clBlue);
  e->GetCalendarHints()->Add(L"Back a year");
  e->SetDate(D(2024, 2, 3));
  // Leaving the edit checks no date.
  e->CheckOnExit = true;
  e->SetText(L"31/31/31x");
  ShownExceptions().clear();
  e->SetFocus();
  other->SetFocus();
  Pump(20);
  EXPECT_TRUE(ShownExceptions().empty());

  // Read into a designed form: the pop-up stands below the edit, 10 x 10.
  TMemoryStream S;
  auto Source = formstream::NewForm(L"DesignSource");
  formstream::Place<TDateEdit>(Source.get(), L"Due");
  auto Made = formstream::NewForm(L"DesignMade");
  Made->SetDesigning(true);
  formstream::Write(Source.get(), S);
  formstream::Read(S, Made.get());
  auto* r = dynamic_cast<TDateEdit*>(Made->FindComponent(L"Due"));
  ASSERT_NE(r, nullptr);
  ASSERT_NE(r->PopupCalendar(), nullptr);
  const int H = r->GetHeight();
  EXPECT_EQ(r->PopupCalendar()->GetBoundsRect(), Rect(0, H + 1, 10, H + 11)) << H;
  // Also when a windowed edit is resized while the form loads.
  Made->HandleNeeded();
  r->HandleNeeded();
  Made->BeginLoading();
  r->SetHeight(30);
  Made->EndLoading();
  EXPECT_EQ(r->PopupCalendar()->GetBoundsRect(), Rect(0, 31, 10, 41));
  // Outside loading the pop-up keeps its place.
  r->SetHeight(27);
  EXPECT_EQ(r->PopupCalendar()->GetBoundsRect(), Rect(0, 31, 10, 41));
}

// Leaving a running edit by Tab or by a click elsewhere checks its date: a
// text that is no date takes the focus back and the error is shown; a date
// is written back in the edit's format and lets the focus go.
TEST(DateEdit, CheckOnExitHoldsTheFocusOnARealExit) {
  ShortDateFormatFor Format(L"dd/MM/yyyy");
  DateHost h;
  TDateEdit* e = h.edit;
  auto* other = new TEdit(h.form.get());
  other->SetParent(h.form.get());
  other->SetBounds(10, 60, 120, 21);
  e->CheckOnExit = true;
  SetForegroundWindow(h.form->Handle());
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == e->GetHandle(); }));

  for (bool ByClick : {false, true}) {
    SCOPED_TRACE(ByClick ? "click" : "Tab");
    e->SetText(L"31/13/2031");
    ShownExceptions().clear();
    InputScript In;
    ByClick ? In.Click(Centre(other)) : In.Press(VK_TAB);
    ASSERT_TRUE(In.Send());
    Pump(20);
    EXPECT_EQ(GetFocus(), e->GetHandle());
    ASSERT_EQ(ShownExceptions().size(), 1u);
    EXPECT_NE(ShownExceptions()[0].find(L"31/13/2031"), std::wstring::npos) << ShownExceptions()[0];
  }

  e->SetText(L"05/03/2031");
  ShownExceptions().clear();
  ASSERT_TRUE(InputScript().Press(VK_TAB).Send());
  Pump(20);
  EXPECT_TRUE(ShownExceptions().empty());
  EXPECT_EQ(GetFocus(), other->GetHandle());
  EXPECT_EQ(e->GetDate(), D(2031, 3, 5));
  EXPECT_EQ(e->GetText(), L"05/03/2031");
}
