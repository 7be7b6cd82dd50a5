#include "extlib/ExDateEdit.h"

#include <cmath>
#include <memory>

#include "extlib/ExDrawUtil.h"
#include "extlib/ExFiler.h"

namespace {

std::unique_ptr<TBitmap> DateEditGlyph;

// The program's "DEDITBMP": two glyphs side by side, normal and disabled
// (a small calendar page), loaded on first use.
TBitmap* DateGlyph() { return LibraryBitmap(DateEditGlyph, L"DEDITBMP"); }

TDateTime Today() { return std::floor(Now()); }

// A date read from text; blank text is no date.
bool ParseDate(const String& Format, const String& Text, TDateTime& D) {
  return !Trim(Text).empty() && TryStrToDateFmt(Format, Text, D) && D != NullDate;
}

void UpdateDateEdits(TWinControl* Parent) {
  for (int I = 0; I < Parent->ControlCount(); ++I) {
    auto* W = dynamic_cast<TWinControl*>(Parent->Controls(I));
    if (!W) continue;
    if (auto* D = dynamic_cast<TCustomDateEdit*>(W)) D->UpdateMask();
    UpdateDateEdits(W);
  }
}

}  // namespace

TCustomDateEdit::TCustomDateEdit(TComponent* AOwner) : TCustomComboEdit(AOwner) {
  defNumGlyphs_ = 2;
  calendarHints_ = std::make_unique<TStringList>();
  calendarHints_->OnChange = TNotifyEvent(this, &TCustomDateEdit::HintsChanged);
  dateFormat_ = DefDateFormat(FourDigits());
  CreatePopup();
  ControlState += csCreating;
  SetGlyphKind(gkDefault);
  ControlState -= csCreating;
}

TCustomDateEdit::~TCustomDateEdit() {
  Unhook();
  if (popup_) popup_->OnCloseUp = nullptr;
}

void TCustomDateEdit::CreatePopup() {
  if (popup_) return;
  popup_ = CreatePopupCalendar(this, GetBiDiMode());
  popup_->OnCloseUp = TCloseUpEvent(static_cast<TCustomComboEdit*>(this), &TCustomComboEdit::PopupCloseUp);
  popup_->SetColor(popupColor_);
  ConfigurePopup();
}

TBitmap* TCustomDateEdit::GetDefaultBitmap(bool& DestroyNeeded) {
  DestroyNeeded = false;
  return DateGlyph();
}

bool TCustomDateEdit::FourDigits() const {
  return yearDigits_ == dyFour || (yearDigits_ == dyDefault && ::FourDigitYear);
}

String TCustomDateEdit::GetDateMask() const { return DefDateMask(blanksChar_, FourDigits()); }

void TCustomDateEdit::ConfigurePopup() {
  SetupPopupCalendar(popup_, startOfWeek_, weekends_, weekendColor_, calendarHints_.get(), FourDigits());
}

void TCustomDateEdit::UpdateMask() {
  TDateTime Kept = GetDate();
  String OldFormat = dateFormat_;
  dateFormat_ = DefDateFormat(FourDigits());
  String NewMask = GetDateMask();
  if (NewMask != GetEditMask() || OldFormat != dateFormat_) {
    SetEditMask(String());
    SetEditMask(NewMask);
  }
  ConfigurePopup();
  SetDate(Kept);
}

void TCustomDateEdit::SetBlanksChar(wchar_t Value) {
  if (Value < L' ') Value = L' ';
  if (Value == blanksChar_) return;
  blanksChar_ = Value;
  UpdateMask();
}

void TCustomDateEdit::SetYearDigits(TYearDigits Value) {
  if (Value == yearDigits_) return;
  yearDigits_ = Value;
  UpdateMask();
}

void TCustomDateEdit::SetStartOfWeek(TDayOfWeekName Value) {
  if (Value == startOfWeek_) return;
  startOfWeek_ = Value;
  ConfigurePopup();
}

void TCustomDateEdit::SetWeekends(TDaysOfWeek Value) {
  if (Value == weekends_) return;
  weekends_ = Value;
  ConfigurePopup();
}

void TCustomDateEdit::SetWeekendColor(TColor Value) {
  if (Value == weekendColor_) return;
  weekendColor_ = Value;
  ConfigurePopup();
}

void TCustomDateEdit::HintsChanged(TObject*) {
  calendarHints_->OnChange = nullptr;
  while (calendarHints_->GetCount() > 4) calendarHints_->Delete(calendarHints_->GetCount() - 1);
  calendarHints_->OnChange = TNotifyEvent(this, &TCustomDateEdit::HintsChanged);
  if (!IsDesigning()) ConfigurePopup();
}

void TCustomDateEdit::SetCalendarStyle(TCalendarStyle Value) {
  if (Value == GetCalendarStyle()) return;
  if (Value == csPopup) {
    CreatePopup();
  } else {
    if (popupVisible_) PopupCloseUp(popup_, false);
    popup_->OnCloseUp = nullptr;
    delete popup_;
    popup_ = nullptr;
  }
}

TColor TCustomDateEdit::GetPopupColor() const { return popup_ ? popup_->GetColor() : popupColor_; }

void TCustomDateEdit::SetPopupColor(TColor Value) {
  popupColor_ = Value;
  if (popup_) popup_->SetColor(Value);
}

TDateTime TCustomDateEdit::GetDate() {
  TDateTime D;
  if (ParseDate(dateFormat_, GetText(), D)) return D;
  return DefaultToday ? Today() : NullDate;
}

void TCustomDateEdit::SetDate(TDateTime Value) {
  TDateTime Before = GetDate();
  if (!ValidDate(Value) || Value == NullDate) Value = DefaultToday ? Today() : NullDate;
  SetText(Value == NullDate ? String() : FormatDateTime(dateFormat_, Value));
  if (GetDate() != Before) SetModified(true);
}

void TCustomDateEdit::ApplyDate(TDateTime Value) {
  SetDate(Value);
  SelectAll();
}

bool TCustomDateEdit::TextHoldsDate() {
  for (wchar_t C : GetText())
    if (C != 0 && C != L' ' && C != blanksChar_ && C != DateSeparator) return true;
  return false;
}

void TCustomDateEdit::CheckValidDate() {
  if (!TextHoldsDate()) return;
  formatting_ = true;
  try {
    TDateTime D = StrToDateFmt(dateFormat_, GetText());
    SetDate(D);
  } catch (...) {
    formatting_ = false;
    if (CanFocus()) SetFocus();
    throw;
  }
  formatting_ = false;
}

void TCustomDateEdit::DoExit() {
  if (CheckOnExit && !IsDesigning()) CheckValidDate();
  TCustomComboEdit::DoExit();
}

void TCustomDateEdit::Change() {
  if (!formatting_) TCustomComboEdit::Change();
}

void TCustomDateEdit::SetPopupValue(const Variant& Value) {
  TDateTime D;
  if (Value.IsEmpty() || !ParseDate(dateFormat_, Value.AsString(), D)) D = Today();
  TCustomComboEdit::SetPopupValue(Variant::FromDate(D));
}

bool TCustomDateEdit::AcceptPopup(Variant& Value) {
  if (!OnAcceptDate) return true;
  TDateTime D = NullDate;
  bool Empty = Value.IsEmpty() || (Value.VarType() == varString && Value.AsString().empty());
  if (!Empty) {
    try {
      D = Value.AsDateTime();
    } catch (const Exception&) {
      D = DefaultToday ? Today() : NullDate;
    }
  }
  bool Action = true;
  OnAcceptDate(this, D, Action);
  if (Action) Value = Variant::FromDate(D);
  return Action;
}

void TCustomDateEdit::AcceptValue(const Variant& Value) {
  TDateTime D = NullDate;
  try {
    D = Value.AsDateTime();
  } catch (const Exception&) {
    D = NullDate;
  }
  SetDate(D);
  popupVisible_ = popup_ && popup_->IsShowing();
}

void TCustomDateEdit::KeyDown(WORD& Key, TShiftState Shift) {
  if (popupVisible_) {
    switch (Key) {
      case VK_PRIOR: case VK_NEXT: case VK_LEFT: case VK_RIGHT: case VK_UP: case VK_DOWN: case VK_ADD:
      case VK_SUBTRACT:
        if (auto* P = PopupCalendar()) P->PopupKeyDown(Key, Shift);
        Key = 0;
        return;
      default:
        break;
    }
  } else if (Shift.Empty() && GetDirectInput() && (Key == VK_ADD || Key == VK_SUBTRACT)) {
    TDateTime D = GetDate();
    if (D == NullDate) D = Today();
    ApplyDate(D + (Key == VK_ADD ? 1 : -1));
    Key = 0;
    return;
  }
  TCustomComboEdit::KeyDown(Key, Shift);
}

void TCustomDateEdit::KeyPress(wchar_t& Key) {
  bool Special = Key == L'+' || Key == L'-' || Key == L'T' || Key == L't';
  if (Special && popupVisible_) {
    if (auto* P = PopupCalendar()) P->PopupKeyPress(Key);
    Key = 0;
    return;
  }
  if (Special && GetDirectInput()) {
    if (Key == L'T' || Key == L't') ApplyDate(Today());
    Key = 0;
    return;
  }
  TCustomComboEdit::KeyPress(Key);
}

void TCustomDateEdit::ButtonClick() {
  TCustomComboEdit::ButtonClick();
  if (popup_) return;
  TDateTime D = GetDate();
  bool Action = SelectDate(D, DialogTitle, startOfWeek_, weekends_, weekendColor_, calendarHints_.get());
  if (CanFocus()) SetFocus();
  if (Action && OnAcceptDate) OnAcceptDate(this, D, Action);
  if (Action) {
    SetDate(D);
    if (Focused()) SelectAll();
  }
}

void TCustomDateEdit::CreateWnd() {
  TCustomComboEdit::CreateWnd();
  // The system's date format may have changed while there was no window
  // (and so no hook to hear of it).
  UpdateMask();
  if (!hooked_ && Application && !GetComponentState().Contains(csDesigning)) {
    Application->HookMainWindow(TWindowHook(this, &TCustomDateEdit::AppHook));
    hooked_ = true;
  }
}

void TCustomDateEdit::DestroyWnd() {
  Unhook();
  TCustomComboEdit::DestroyWnd();
}

void TCustomDateEdit::Unhook() {
  if (hooked_ && Application) Application->UnhookMainWindow(TWindowHook(this, &TCustomDateEdit::AppHook));
  hooked_ = false;
}

bool TCustomDateEdit::AppHook(TMessage& M) {
  if (M.Msg == WM_WININICHANGE) {
    // The system's date settings changed: take them over and re-format.
    GetFormatSettings();
    ExDateUtilInitialize();
    UpdateMask();
  }
  return false;
}

void TCustomDateEdit::WndProc(TMessage& M) { TCustomComboEdit::WndProc(M); }

void DateFormatChanged() {
  ExDateUtilInitialize();
  if (!Screen) return;
  for (int I = 0; I < Screen->FormCount(); ++I) UpdateDateEdits(Screen->Forms(I));
}

// ---------------------------------------------------------------------------
// Form streams

void TDateEdit::DefineProperties(TFiler* Filer) {
  TCustomDateEdit::DefineProperties(Filer);
  auto* A = dynamic_cast<TDateEdit*>(Filer->GetAncestor());
  using namespace ExFiler;
  // The mask follows the blanks and the year digits: both come before the
  // text.
  Text(Filer, L"BlanksChar", String(1, GetBlanksChar()), String(1, A ? A->GetBlanksChar() : L' '),
       [this](const String& V) { SetBlanksChar(V.empty() ? L' ' : V[0]); });
  Lines(Filer, L"CalendarHints", GetCalendarHints(), A ? A->GetCalendarHints() : nullptr);
  Boolean(Filer, L"CheckOnExit", CheckOnExit, A ? A->CheckOnExit : false, [this](bool V) { CheckOnExit = V; });
  Boolean(Filer, L"DefaultToday", DefaultToday, A ? A->DefaultToday : false, [this](bool V) { DefaultToday = V; });
  Text(Filer, L"DialogTitle", DialogTitle, A ? A->DialogTitle : String(L"Select a Date"),
       [this](const String& V) { DialogTitle = V; });
  Ignored(Filer, L"MaxLength");
  Enum(Filer, L"PopupAlign", PopupAlign, A ? A->PopupAlign : epaRight, {L"epaRight", L"epaLeft"},
       [this](int V) { PopupAlign = static_cast<TPopupAlign>(V); });
  Integer(Filer, L"PopupColor", GetPopupColor(), A ? A->GetPopupColor() : clBtnFace,
          [this](int64_t V) { SetPopupColor(static_cast<TColor>(V)); });
  Enum(Filer, L"CalendarStyle", GetCalendarStyle(), A ? A->GetCalendarStyle() : csPopup, {L"csPopup", L"csDialog"},
       [this](int V) { SetCalendarStyle(static_cast<TCalendarStyle>(V)); });
  const TNames Days{L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"};
  Enum(Filer, L"StartOfWeek", GetStartOfWeek(), A ? A->GetStartOfWeek() : Mon, Days,
       [this](int V) { SetStartOfWeek(static_cast<TDayOfWeekName>(V)); });
  Set(Filer, L"Weekends", GetWeekends().Bits(), (A ? A->GetWeekends() : TDaysOfWeek{Sun}).Bits(), Days,
      [this](uint64_t V) { SetWeekends(TDaysOfWeek::FromBits(V)); });
  Integer(Filer, L"WeekendColor", GetWeekendColor(), A ? A->GetWeekendColor() : clRed,
          [this](int64_t V) { SetWeekendColor(static_cast<TColor>(V)); });
  Enum(Filer, L"YearDigits", GetYearDigits(), A ? A->GetYearDigits() : dyDefault, {L"dyDefault", L"dyFour", L"dyTwo"},
       [this](int V) { SetYearDigits(static_cast<TYearDigits>(V)); });
  const bool HasDate = TextHoldsDate();
  Text(
      Filer, L"Text", GetText(), A && A->TextHoldsDate() ? A->GetText() : String(),
      [this](const String& V) { SetText(V); }, HasDate);
  Event(Filer, L"OnAcceptDate", OnAcceptDate, A ? &A->OnAcceptDate : nullptr);
}

void ExDateEditInitialize() {
  RegisterClass(ComponentClass<TDateEdit>(L"TDateEdit"));
  // Making one touches nothing but the new control: what its constructor
  // sets is not written while unchanged.
  CompareWithNewComponents({L"TDateEdit"});
}
void ExDateEditFinalize() {
  UnRegisterClass(L"TDateEdit");
  DateEditGlyph.reset();
}
