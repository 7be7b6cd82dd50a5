// A combo edit for one date: its format and edit mask follow the system's
// short date format with a chosen number of year digits (typing fills the
// digit places and steps over the separators), its button drops down a
// calendar (or opens the date dialog), and "+", "-" and "T" step or set the
// date.
#pragma once

#include "extlib/ExCalendar.h"
#include "extlib/ExComboEdit.h"

enum TCalendarStyle { csPopup, csDialog };
enum TYearDigits { dyDefault, dyFour, dyTwo };
using TExecDateDialog = TEvent<void(TObject* Sender, TDateTime& ADate, bool& Action)>;

class TCustomDateEdit : public TCustomComboEdit {
 public:
  explicit TCustomDateEdit(TComponent* AOwner);
  ~TCustomDateEdit() override;

  // Reading never raises: text that is no date gives today with
  // DefaultToday, else the null date. Writing the null date empties the
  // text.
  TDateTime GetDate();
  void SetDate(TDateTime Value);
  // Parses the text strictly; a failure gives the focus back and raises.
  void CheckValidDate();
  String GetDateFormat() const { return dateFormat_; }
  // The edit mask for BlanksChar and the year digits ("!99/99/9999;1; ").
  String GetDateMask() const;
  virtual void ApplyDate(TDateTime Value);
  // Applies the date mask and format anew, keeping the date.
  virtual void UpdateMask();

  bool DefaultToday = false;
  bool CheckOnExit = false;
  TExecDateDialog OnAcceptDate;
  String DialogTitle = L"Select a Date";
  wchar_t GetBlanksChar() const { return blanksChar_; }
  void SetBlanksChar(wchar_t Value);
  TStrings* GetCalendarHints() const { return calendarHints_.get(); }
  TDayOfWeekName GetStartOfWeek() const { return startOfWeek_; }
  void SetStartOfWeek(TDayOfWeekName Value);
  TDaysOfWeek GetWeekends() const { return weekends_; }
  void SetWeekends(TDaysOfWeek Value);
  TColor GetWeekendColor() const { return weekendColor_; }
  void SetWeekendColor(TColor Value);
  TYearDigits GetYearDigits() const { return yearDigits_; }
  void SetYearDigits(TYearDigits Value);
  TCalendarStyle GetCalendarStyle() const { return popup_ ? csPopup : csDialog; }
  void SetCalendarStyle(TCalendarStyle Value);
  TColor GetPopupColor() const;
  void SetPopupColor(TColor Value);
  TPopupCalendar* PopupCalendar() const { return dynamic_cast<TPopupCalendar*>(popup_); }

  void WndProc(TMessage& M) override;

 protected:
  TBitmap* GetDefaultBitmap(bool& DestroyNeeded) override;
  bool AcceptPopup(Variant& Value) override;
  void AcceptValue(const Variant& Value) override;
  void SetPopupValue(const Variant& Value) override;
  void Change() override;
  void KeyDown(WORD& Key, TShiftState Shift) override;
  void KeyPress(wchar_t& Key) override;
  void ButtonClick() override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void DoExit() override;
  // The text holds something besides blanks and date separators.
  bool TextHoldsDate();

 private:
  bool FourDigits() const;
  void ConfigurePopup();
  void CreatePopup();
  void HintsChanged(TObject*);
  bool AppHook(TMessage& M);
  void Unhook();

  bool hooked_ = false;
  TColor popupColor_ = clBtnFace;
  wchar_t blanksChar_ = L' ';
  std::unique_ptr<TStringList> calendarHints_;
  TDayOfWeekName startOfWeek_ = Mon;
  TDaysOfWeek weekends_{Sun};
  TColor weekendColor_ = clRed;
  TYearDigits yearDigits_ = dyDefault;
  String dateFormat_;
  bool formatting_ = false;
};

class TDateEdit : public TCustomDateEdit {
 public:
  explicit TDateEdit(TComponent* AOwner) : TCustomDateEdit(AOwner) { UpdateMask(); }
  const char* ClassName() const override { return "TDateEdit"; }

 protected:
  // The date edit's own properties where they differ from their defaults;
  // DialogTitle only when not "Select a Date", the text only when it holds
  // a date's digits, MaxLength never (the mask sets the length).
  void DefineProperties(TFiler* Filer) override;
};

// Re-reads whether the short date format writes four-digit years and
// re-applies the format of every date edit on every form.
void DateFormatChanged();

void ExDateEditInitialize();
void ExDateEditFinalize();
