// A month calendar grid, its borderless drop-down variant and pop-up window
// for date edits, a modal date dialog built in code, and the functions that
// run them.
#pragma once

#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/Grids.h"
#include "extlib/ExComboEdit.h"
#include "extlib/ExDateUtil.h"

using TDaysOfWeek = TSet<TDayOfWeekName>;

// A speed button that repeats its click while held.
class TExtTimerSpeedButton : public TExtSpeedButton {
 public:
  explicit TExtTimerSpeedButton(TComponent* AOwner);
  const char* ClassName() const override { return "TExtTimerSpeedButton"; }
};

class TExtCalendar : public TCustomGrid {
 public:
  explicit TExtCalendar(TComponent* AOwner);
  const char* ClassName() const override { return "TExtCalendar"; }

  TDateTime GetCalendarDate() const { return date_; }
  void SetCalendarDate(TDateTime Value);
  // Year, month and day of the date; values that make no date are ignored.
  int GetYear() const { return GetDateElement(1); }
  void SetYear(int Value) { SetDateElement(1, Value); }
  int GetMonth() const { return GetDateElement(2); }
  void SetMonth(int Value) { SetDateElement(2, Value); }
  int GetDay() const { return GetDateElement(3); }
  void SetDay(int Value) { SetDateElement(3, Value); }
  bool GetReadOnly() const { return readOnly_; }
  void SetReadOnly(bool Value) { readOnly_ = Value; }
  TDayOfWeekName GetStartOfWeek() const { return startOfWeek_; }
  void SetStartOfWeek(TDayOfWeekName Value);
  bool GetUseCurrentDate() const { return useCurrentDate_; }
  void SetUseCurrentDate(bool Value);
  TDaysOfWeek GetWeekends() const { return weekends_; }
  void SetWeekends(TDaysOfWeek Value);
  TColor GetWeekendColor() const { return weekendColor_; }
  // The colour of the header row of day names.
  TColor GetFixedColor() const { return fixedColor_; }
  void SetFixedColor(TColor Value);
  void SetWeekendColor(TColor Value);

  // The text of a cell: a day name in row 0, else the day number or empty.
  String CellText(int ACol, int ARow) const;
  // The day number a cell stands for (may lie outside the month).
  int DayNum(int ACol, int ARow) const;

  void PrevMonth() { ChangeMonth(-1); }
  void NextMonth() { ChangeMonth(1); }
  void PrevYear() { ChangeYear(-1); }
  void NextYear() { ChangeYear(1); }
  virtual void UpdateCalendar();

  TNotifyEvent OnChange;
  void Click() override;
  void WndProc(TMessage& M) override;

 protected:
  // CalendarDate only when UseCurrentDate is off, never Day, Month and
  // Year (the date holds them), then ReadOnly, StartOfWeek,
  // UseCurrentDate, WeekendColor and Weekends where not the defaults.
  void DefineProperties(TFiler* Filer) override;
  void CreateParams(TCreateParams& Params) override;
  void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) override;
  bool SelectCell(int ACol, int ARow) override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyPress(wchar_t& Key) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
  virtual void Change();
  void CalendarResized();

 private:
  int GetDateElement(int Index) const;
  void SetDateElement(int Index, int Value);
  void ChangeMonth(int Delta);
  void ChangeYear(int Delta);
  void RefreshCalendar(bool DayOnly);

  TDateTime date_ = 0;
  int monthOffset_ = 0;
  bool readOnly_ = false;
  TDayOfWeekName startOfWeek_ = Mon;
  bool updating_ = false;
  bool useCurrentDate_ = true;
  TDaysOfWeek weekends_{Sun};
  TColor weekendColor_ = clRed;
  TColor fixedColor_ = clBtnFace;
};

// The drop-down's calendar: borderless, no tab stop, always taking the
// mouse, today's cell framed.
class TLocCalendar : public TExtCalendar {
 public:
  explicit TLocCalendar(TComponent* AOwner);
  const char* ClassName() const override { return "TLocCalendar"; }
  void WndProc(TMessage& M) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) override;
};

extern TPoint PopupCalendarSize;

// The calendar that drops down below a date edit.
class TPopupCalendar : public TPopupWindow {
 public:
  explicit TPopupCalendar(TComponent* AOwner);
  Variant GetValue() override;
  void SetValue(const Variant& Value) override;
  TLocCalendar* Calendar() const { return calendar_; }
  TLabel* TitleLabel() const { return title_; }
  // Previous year, previous month, next month, next year.
  TExtTimerSpeedButton* NavButton(int Index) const { return buttons_[Index]; }
  // Two- or four-digit years in the texts SetValue reads.
  bool FourDigitYear = true;
  // Keys and characters handed on by the edit while the pop-up is open.
  void PopupKeyDown(WORD& Key, TShiftState Shift);
  void PopupKeyPress(wchar_t& Key);
  void UpdateTitle();

 private:
  void CalendarChange(TObject*) { UpdateTitle(); }
  void CalendarMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
  void TitleDblClick(TObject*);
  void PrevYearClick(TObject*) { calendar_->PrevYear(); }
  void PrevMonthClick(TObject*) { calendar_->PrevMonth(); }
  void NextMonthClick(TObject*) { calendar_->NextMonth(); }
  void NextYearClick(TObject*) { calendar_->NextYear(); }

  TLocCalendar* calendar_ = nullptr;
  TLabel* title_ = nullptr;
  TExtTimerSpeedButton* buttons_[4] = {};
};

// The modal "Select a Date" dialog.
class TSelectDateDlg : public TForm {
 public:
  explicit TSelectDateDlg(TComponent* AOwner);
  TExtCalendar* Calendar = nullptr;
  TLabel* TitleLabel = nullptr;
  TExtTimerSpeedButton* Buttons[4] = {};
  TDateTime GetDate() const { return Calendar->GetCalendarDate(); }
  // The null date shows today.
  void SetDate(TDateTime Value);

  void PrevMonthBtnClick(TObject*);
  void NextMonthBtnClick(TObject*);
  void PrevYearBtnClick(TObject*);
  void NextYearBtnClick(TObject*);
  void CalendarChange(TObject*);
  void CalendarDblClick(TObject*);
  void TopPanelDblClick(TObject*);
  void FormKeyDown(TObject* Sender, WORD& Key, TShiftState Shift);
  void WndProc(TMessage& M) override;
};

// The drop-down calendar of an edit: at other than 96 DPI scaled to the
// screen with the default dialog font; in the given reading order.
TPopupCalendar* CreatePopupCalendar(TComponent* AOwner, TBiDiMode ABiDiMode = bdLeftToRight);
void SetupPopupCalendar(TPopupWindow* PopupCalendar, TDayOfWeekName AStartOfWeek, TDaysOfWeek AWeekends,
                        TColor AWeekendColor, TStrings* BtnHints, bool FourDigitYear);
// Runs the dialog under the edit; true and the date on OK.
bool PopupDate(TDateTime& Date, TWinControl* Edit);
bool SelectDate(TDateTime& Date, const String& DlgCaption, TDayOfWeekName AStartOfWeek, TDaysOfWeek AWeekends,
                TColor AWeekendColor, TStrings* BtnHints);
bool SelectDateStr(String& StrDate, const String& DlgCaption, TDayOfWeekName AStartOfWeek, TDaysOfWeek AWeekends,
                   TColor AWeekendColor, TStrings* BtnHints);

// Runs each time a date dialog has been shown modally (for tests and
// automation: it may close the dialog). nullptr: nothing.
extern TEvent<void(TSelectDateDlg*)> OnDateDialogShow;

// Navigation glyphs, a new bitmap from the program's pictures "PREV2",
// "PREV1", "NEXT1" and "NEXT2": 0 previous year, 1 previous month, 2 next
// month, 3 next year.
TBitmap* CreateCalendarGlyph(int Kind);

// Registers the calendar and the repeating button, so that a reader makes
// them from a form stream by class name.
void ExCalendarInitialize();
void ExCalendarFinalize();
