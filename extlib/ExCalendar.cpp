#include "extlib/ExCalendar.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "extlib/ExDrawUtil.h"
#include "extlib/ExFiler.h"

TPoint PopupCalendarSize{187, 124};
TEvent<void(TSelectDateDlg*)> OnDateDialogShow;

namespace {

const wchar_t* const NavHints[4] = {L"Previous Year|", L"Previous Month|", L"Next Month|", L"Next Year|"};

TDateTime Today() { return std::floor(Now()); }

// The message font of the system, or the classic dialog font.
void SetDefaultDialogFont(TFont* F) {
  NONCLIENTMETRICSW M{};
  M.cbSize = sizeof(M);
  if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(M), &M, 0)) {
    F->SetName(M.lfMessageFont.lfFaceName);
    F->SetHeight(M.lfMessageFont.lfHeight);
    F->SetStyle(TFontStyles());
  } else {
    F->SetName(L"MS Sans Serif");
    F->SetSize(8);
    F->SetStyle(TFontStyles());
  }
  F->SetColor(clWindowText);
}

}  // namespace

const wchar_t* const CalendarGlyphNames[4] = {L"PREV2", L"PREV1", L"NEXT1", L"NEXT2"};

TBitmap* CreateCalendarGlyph(int Kind) {
  // The program's arrow pictures, fuchsia where transparent.
  TBitmap* B = MakeBitmap(CalendarGlyphNames[Kind]);
  B->SetTransparentColor(clFuchsia);
  return B;
}

TExtTimerSpeedButton::TExtTimerSpeedButton(TComponent* AOwner) : TExtSpeedButton(AOwner) {
  SetStyle(bsWin31);
  SetAllowTimer(true);
  defaultStyle_ = bsWin31;
  defaultAllowTimer_ = true;
}

// ---------------------------------------------------------------------------
// TExtCalendar

TExtCalendar::TExtCalendar(TComponent* AOwner) : TCustomGrid(AOwner) {
  // The date follows the current cell as the grid moves it (see Click);
  // a plain mouse click is no extra click.
  ControlStyle -= csClickEvents;
  SetFixedCols(0);
  SetFixedRows(1);
  SetColCount(7);
  SetRowCount(7);
  SetScrollBars(ssNone);
  SetOptions((GetOptions() - goRangeSelect) + goDrawFocusSelected);
  date_ = Today();
  UpdateCalendar();
}

void TExtCalendar::CreateParams(TCreateParams& P) {
  TCustomGrid::CreateParams(P);
  P.Style |= WS_BORDER;
  P.ExStyle &= ~DWORD(WS_EX_CLIENTEDGE);
}

void TExtCalendar::Change() {
  if (OnChange) OnChange(this);
}

void TExtCalendar::SetCalendarDate(TDateTime Value) {
  if (Value == date_) return;
  date_ = Value;
  UpdateCalendar();
  Change();
}

void TExtCalendar::SetUseCurrentDate(bool Value) {
  if (Value == useCurrentDate_) return;
  useCurrentDate_ = Value;
  if (Value) {
    date_ = Today();
    UpdateCalendar();
  }
}

void TExtCalendar::SetStartOfWeek(TDayOfWeekName Value) {
  if (Value == startOfWeek_) return;
  startOfWeek_ = Value;
  UpdateCalendar();
}

void TExtCalendar::SetWeekends(TDaysOfWeek Value) {
  if (Value == weekends_) return;
  weekends_ = Value;
  UpdateCalendar();
}

void TExtCalendar::SetWeekendColor(TColor Value) {
  if (Value == weekendColor_) return;
  weekendColor_ = Value;
  Invalidate();
}

int TExtCalendar::GetDateElement(int Index) const {
  int Y, M, D;
  DecodeDate(date_, Y, M, D);
  switch (Index) {
    case 1: return Y;
    case 2: return M;
    case 3: return D;
    default: return -1;
  }
}

void TExtCalendar::SetDateElement(int Index, int Value) {
  if (Value < 1) return;
  int Y, M, D;
  DecodeDate(date_, Y, M, D);
  switch (Index) {
    case 1:
      if (Value == Y || Value > 9999) return;
      Y = Value;
      D = std::min(D, DaysPerMonth(Y, M));
      break;
    case 2:
      if (Value > 12 || Value == M) return;
      M = Value;
      D = std::min(D, DaysPerMonth(Y, M));
      break;
    case 3:
      if (Value > DaysPerMonth(Y, M) || Value == D) return;
      D = Value;
      break;
    default: return;
  }
  date_ = EncodeDate(Y, M, D) + (date_ - std::floor(date_));
  useCurrentDate_ = false;
  RefreshCalendar(Index == 3);
  Change();
}

void TExtCalendar::RefreshCalendar(bool DayOnly) {
  UpdateCalendar();
  if (!DayOnly) Invalidate();
}

void TExtCalendar::UpdateCalendar() {
  updating_ = true;
  try {
    int Y, M, D;
    DecodeDate(date_, Y, M, D);
    int K = (DayOfWeek(EncodeDate(Y, M, 1)) - static_cast<int>(startOfWeek_) + 7) % 7;
    monthOffset_ = 2 - K;
    if (monthOffset_ == 2) monthOffset_ = -5;
    // Day 1 lies in row 1 at column 1 - offset (offset 1 - column).
    int Cell = D - monthOffset_;
    MoveCurrent(Cell % 7, Cell / 7 + 1, true, false);
    if (HandleAllocated()) Invalidate();
  } catch (...) {
    updating_ = false;
    throw;
  }
  updating_ = false;
}

int TExtCalendar::DayNum(int ACol, int ARow) const { return monthOffset_ + ACol + (ARow - 1) * 7; }

String TExtCalendar::CellText(int ACol, int ARow) const {
  if (ARow == 0) return ShortDayNames[(static_cast<int>(startOfWeek_) + ACol) % 7];
  int D = DayNum(ACol, ARow);
  int Y, M, Day;
  DecodeDate(date_, Y, M, Day);
  return D >= 1 && D <= DaysPerMonth(Y, M) ? IntToStr(D) : String();
}

bool TExtCalendar::SelectCell(int ACol, int ARow) {
  if (!updating_ && readOnly_) return false;
  if (CellText(ACol, ARow).empty()) return false;
  return TCustomGrid::SelectCell(ACol, ARow);
}

void TExtCalendar::Click() {
  TCustomGrid::Click();
  if (!CellText(GetCol(), GetRow()).empty()) SetDay(DayNum(GetCol(), GetRow()));
}

void TExtCalendar::SetFixedColor(TColor Value) {
  if (Value == fixedColor_) return;
  fixedColor_ = Value;
  Invalidate();
}

void TExtCalendar::DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) {
  TCanvas* C = Canvas();
  String T = CellText(ACol, ARow);
  bool Selected = AState.Contains(gdSelected) && ARow > 0;
  C->Brush()->SetColor(ARow == 0 ? fixedColor_ : Selected ? clHighlight : GetColor());
  C->FillRect(ARect);
  TColor Text = Selected ? clHighlightText : Font()->GetColor();
  TDayOfWeekName Day = static_cast<TDayOfWeekName>((static_cast<int>(startOfWeek_) + ACol) % 7);
  if (!Selected && weekends_.Contains(Day)) Text = weekendColor_;
  C->Font()->Assign(*Font());
  C->Font()->SetColor(Text);
  C->Brush()->SetStyle(bsClear);
  TSize E = C->TextExtent(T);
  C->TextOut(ARect.left + (RectWidth(ARect) - E.cx) / 2, ARect.top + (RectHeight(ARect) - E.cy) / 2, T);
  C->Brush()->SetStyle(bsSolid);
}

void TExtCalendar::KeyDown(WORD& Key, TShiftState Shift) {
  if (Shift.Empty()) {
    switch (Key) {
      case VK_RIGHT:
      case VK_ADD:
        if (GetDay() < DaysPerMonth(GetYear(), GetMonth()))
          SetDay(GetDay() + 1);
        else
          SetCalendarDate(GetCalendarDate() + 1);
        Key = 0;
        return;
      case VK_LEFT:
      case VK_SUBTRACT:
        if (GetDay() > 1)
          SetDay(GetDay() - 1);
        else
          SetCalendarDate(GetCalendarDate() - 1);
        Key = 0;
        return;
      default:
        break;
    }
  }
  TGridCoord Before{GetCol(), GetRow()};
  TCustomGrid::KeyDown(Key, Shift);
  // The grid moved the current cell: the date follows it.
  if (!(Before == TGridCoord{GetCol(), GetRow()})) Click();
}

void TExtCalendar::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  TGridCoord Before{GetCol(), GetRow()};
  TCustomGrid::MouseDown(Button, Shift, X, Y);
  if (!(Before == TGridCoord{GetCol(), GetRow()})) Click();
}

void TExtCalendar::KeyPress(wchar_t& Key) {
  if (Key == L't' || Key == L'T') {
    SetCalendarDate(Today());
    Key = 0;
    return;
  }
  TCustomGrid::KeyPress(Key);
}

void TExtCalendar::ChangeMonth(int Delta) {
  int Y, M, D;
  DecodeDate(date_, Y, M, D);
  TDateTime Edge = Delta > 0 ? EncodeDate(Y, M, DaysPerMonth(Y, M)) : EncodeDate(Y, M, 1);
  int NY, NM, ND;
  DecodeDate(Edge + Delta, NY, NM, ND);
  SetCalendarDate(EncodeDate(NY, NM, std::min(D, DaysPerMonth(NY, NM))));
}

void TExtCalendar::ChangeYear(int Delta) {
  int Y, M, D;
  DecodeDate(date_, Y, M, D);
  if (M == 2 && D == 29) D = 28;
  int NY = Y + Delta;
  if (NY < 1 || NY > 9999) return;
  SetCalendarDate(EncodeDate(NY, M, D));
}

void TExtCalendar::CalendarResized() {
  if (!HandleAllocated()) return;
  TRect R = GetClientRect();
  TGridOptions O = GetOptions();
  int Lines = (O.Contains(goVertLine) || O.Contains(goFixedVertLine)) ? 6 * GetGridLineWidth() : 0;
  SetDefaultColWidth(std::max((RectWidth(R) - Lines) / 7, 1));
  SetDefaultRowHeight(std::max((RectHeight(R) - 6 * GetGridLineWidth()) / 7, 1));
}

void TExtCalendar::WndProc(TMessage& M) {
  TCustomGrid::WndProc(M);
  if (M.Msg == WM_SIZE) CalendarResized();
}

// ---------------------------------------------------------------------------
// TLocCalendar

TLocCalendar::TLocCalendar(TComponent* AOwner) : TExtCalendar(AOwner) {
  ControlStyle += TControlStyle{csCaptureMouse, csClickEvents, csDoubleClicks};
  SetBorderStyle(bsNone);
  SetCtl3D(false);
  SetParentColor(true);
  SetFixedColor(GetColor());
  SetOptions(TGridOptions{goFixedHorzLine});
  SetTabStop(false);
  SetUseCurrentDate(false);
  SetCalendarDate(std::floor(Now()));
}

void TLocCalendar::CreateParams(TCreateParams& P) {
  TExtCalendar::CreateParams(P);
  P.Style &= ~DWORD(WS_BORDER | WS_TABSTOP | WS_DISABLED);
}

void TLocCalendar::WndProc(TMessage& M) {
  TExtCalendar::WndProc(M);
  // The header row takes the calendar's colour, which follows the parent's.
  if (M.Msg == CM_COLORCHANGED || M.Msg == CM_PARENTCOLORCHANGED) SetFixedColor(GetColor());
  // The drop-down's calendar always takes the mouse.
  if (M.Msg == CM_ENABLEDCHANGED && HandleAllocated() && !IsDesigning()) EnableWindow(Handle(), TRUE);
}

void TLocCalendar::DrawCell(int ACol, int ARow, const TRect& ARect, TGridDrawState AState) {
  TExtCalendar::DrawCell(ACol, ARow, ARect, AState);
  if (ARow > 0) {
    int Y, M, D, TY, TM, TD;
    DecodeDate(GetCalendarDate(), Y, M, D);
    DecodeDate(Now(), TY, TM, TD);
    if (Y == TY && M == TM && DayNum(ACol, ARow) == TD) {
      TCanvas* C = Canvas();
      TRect R = ARect;
      C->Pen()->SetColor(clBtnShadow);
      C->MoveTo(R.left, R.bottom - 1);
      C->LineTo(R.left, R.top);
      C->LineTo(R.right - 1, R.top);
      C->Pen()->SetColor(clBtnHighlight);
      C->LineTo(R.right - 1, R.bottom - 1);
      C->LineTo(R.left, R.bottom - 1);
    }
  }
}

// ---------------------------------------------------------------------------
// TPopupCalendar

TPopupCalendar::TPopupCalendar(TComponent* AOwner) : TPopupWindow(AOwner) {
  FourDigitYear = ::FourDigitYear;
  SetBounds(0, 0, std::max<int>(PopupCalendarSize.x, 180), std::max<int>(PopupCalendarSize.y, 120));
  SetColor(clBtnFace);
  SetParentFont(false);
  SetDefaultDialogFont(Font());
  auto* Owner = dynamic_cast<TControl*>(AOwner);
  SetShowHint(Owner ? Owner->GetShowHint() : true);
  // A designed pop-up is never shown: it holds nothing.
  if (IsDesigning()) return;

  auto* Back = new TPanel(this);
  Back->SetParent(this);
  Back->SetAlign(alClient);
  Back->SetBevelOuter(bvNone);
  auto* Top = new TPanel(Back);
  Top->SetParent(Back);
  Top->SetAlign(alTop);
  Top->SetHeight(18);
  Top->SetBevelOuter(bvNone);
  int TopW = GetWidth() - 4;
  calendar_ = new TLocCalendar(Back);
  calendar_->SetParent(Back);
  calendar_->SetAlign(alClient);
  calendar_->OnChange = TNotifyEvent(this, &TPopupCalendar::CalendarChange);
  calendar_->OnMouseUp = TMouseEvent(this, &TPopupCalendar::CalendarMouseUp);
  const int Lefts[4] = {-1, 12, TopW - 26, TopW - 13};
  const TNotifyEvent Clicks[4] = {TNotifyEvent(this, &TPopupCalendar::PrevYearClick),
                                  TNotifyEvent(this, &TPopupCalendar::PrevMonthClick),
                                  TNotifyEvent(this, &TPopupCalendar::NextMonthClick),
                                  TNotifyEvent(this, &TPopupCalendar::NextYearClick)};
  for (int I = 0; I < 4; ++I) {
    auto* B = new TExtTimerSpeedButton(Top);
    B->SetParent(Top);
    B->SetBounds(Lefts[I], -1, 14, 14);
    std::unique_ptr<TBitmap> G(CreateCalendarGlyph(I));
    B->SetGlyph(G.get());
    B->SetHint(NavHints[I]);
    B->OnClick = Clicks[I];
    buttons_[I] = B;
  }
  title_ = new TLabel(Top);
  title_->SetParent(Top);
  title_->SetAutoSize(false);
  title_->SetTransparent(true);
  title_->SetAlignment(taCenter);
  title_->SetBounds(29, 1, TopW - 58, 14);
  title_->OnDblClick = TNotifyEvent(this, &TPopupCalendar::TitleDblClick);
  UpdateTitle();
}

void TPopupCalendar::UpdateTitle() {
  if (!calendar_ || !title_) return;
  title_->SetCaption(FormatDateTime(L"MMMM, YYYY", calendar_->GetCalendarDate()));
}

void TPopupCalendar::TitleDblClick(TObject*) { calendar_->SetCalendarDate(std::floor(Now())); }

void TPopupCalendar::CalendarMouseUp(TObject*, TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button != mbLeft || !(Shift - TShiftState{ssLeft}).Empty()) return;
  TGridCoord Cell = calendar_->MouseCoord(X, Y);
  if (Cell.Y >= 1 && Cell.X >= 0 && !calendar_->CellText(Cell.X, Cell.Y).empty()) CloseUp(true);
}

void TPopupCalendar::PopupKeyDown(WORD& Key, TShiftState Shift) {
  if (!calendar_) return;
  bool Ctrl = Shift.Contains(ssCtrl);
  if (Key == VK_PRIOR) {
    Ctrl ? calendar_->PrevYear() : calendar_->PrevMonth();
    Key = 0;
  } else if (Key == VK_NEXT) {
    Ctrl ? calendar_->NextYear() : calendar_->NextMonth();
    Key = 0;
  } else {
    TMessage M{WM_KEYDOWN, Key, 0, 0};
    calendar_->Perform(M.Msg, M.WParam, Shift.Contains(ssAlt) ? 0x20000000 : 0);
    Key = 0;
  }
}

void TPopupCalendar::PopupKeyPress(wchar_t& Key) {
  if (!calendar_) return;
  calendar_->Perform(WM_CHAR, Key, 0);
  Key = 0;
}

Variant TPopupCalendar::GetValue() {
  return Variant::FromDate(calendar_ ? calendar_->GetCalendarDate() : std::floor(Now()));
}

void TPopupCalendar::SetValue(const Variant& Value) {
  if (!calendar_) return;
  TDateTime D = std::floor(Now());
  if (!Value.IsEmpty()) {
    String T;
    for (wchar_t C : Value.AsString())
      if (C != DateSeparator) T += C;
    if (!Trim(T).empty()) {
      try {
        // A text is read in the default date format of the year digits
        // the pop-up was set up with.
        D = Value.VarType() == varString ? StrToDateFmt(DefDateFormat(FourDigitYear), Value.AsString())
                                         : Value.AsDateTime();
      } catch (const Exception&) {
        D = std::floor(Now());
      }
    }
  }
  calendar_->SetCalendarDate(D);
  UpdateTitle();
}

namespace {
// The screen's pixels per inch when it is not the 96 the windows are laid
// out for, else 0.
int ScreenScale() {
  int PPI = Screen ? Screen->PixelsPerInch() : 96;
  return PPI != 96 ? PPI : 0;
}
}  // namespace

TPopupCalendar* CreatePopupCalendar(TComponent* AOwner, TBiDiMode ABiDiMode) {
  auto* P = new TPopupCalendar(AOwner);
  if (AOwner && !AOwner->GetComponentState().Contains(csDesigning)) {
    if (int PPI = ScreenScale()) {
      P->SetBounds(P->GetLeft(), P->GetTop(), MulDiv(P->GetWidth(), PPI, 96), MulDiv(P->GetHeight(), PPI, 96));
      P->ScaleBy(PPI, 96);
      P->Calendar()->SetParentFont(true);
      SetDefaultDialogFont(P->Font());
    }
    // The edit's reading order, at any screen density.
    P->SetBiDiMode(ABiDiMode);
  }
  return P;
}

void SetupPopupCalendar(TPopupWindow* PopupCalendar, TDayOfWeekName AStartOfWeek, TDaysOfWeek AWeekends,
                        TColor AWeekendColor, TStrings* BtnHints, bool FourDigitYear) {
  auto* P = dynamic_cast<TPopupCalendar*>(PopupCalendar);
  if (!P) return;
  P->FourDigitYear = FourDigitYear;
  if (!P->Calendar()) return;  // a designed pop-up holds no calendar
  P->Calendar()->SetStartOfWeek(AStartOfWeek);
  P->Calendar()->SetWeekendColor(AWeekendColor);
  P->Calendar()->SetWeekends(AWeekends);
  if (BtnHints)
    for (int I = 0; I <= std::min(BtnHints->GetCount() - 1, 3); ++I)
      if (!BtnHints->Get(I).empty()) P->NavButton(I)->SetHint(BtnHints->Get(I));
}

// ---------------------------------------------------------------------------
// TSelectDateDlg

TSelectDateDlg::TSelectDateDlg(TComponent* AOwner) : TForm(AOwner) {
  SetBorderStyle(bsToolWindow);
  SetClientWidth(222);
  SetClientHeight(154);
  SetCaption(L"Select a Date");
  SetPosition(poScreenCenter);
  SetColor(clBtnFace);
  SetDefaultDialogFont(Font());
  SetKeyPreview(true);
  // The dialog offers its handlers by name, so that its events stream.
  RegisterMethod(L"PrevMonthBtnClick", TNotifyEvent(this, &TSelectDateDlg::PrevMonthBtnClick));
  RegisterMethod(L"NextMonthBtnClick", TNotifyEvent(this, &TSelectDateDlg::NextMonthBtnClick));
  RegisterMethod(L"PrevYearBtnClick", TNotifyEvent(this, &TSelectDateDlg::PrevYearBtnClick));
  RegisterMethod(L"NextYearBtnClick", TNotifyEvent(this, &TSelectDateDlg::NextYearBtnClick));
  RegisterMethod(L"CalendarChange", TNotifyEvent(this, &TSelectDateDlg::CalendarChange));
  RegisterMethod(L"CalendarDblClick", TNotifyEvent(this, &TSelectDateDlg::CalendarDblClick));
  RegisterMethod(L"TopPanelDblClick", TNotifyEvent(this, &TSelectDateDlg::TopPanelDblClick));
  RegisterMethod(L"FormKeyDown", TKeyEvent(this, &TSelectDateDlg::FormKeyDown));
  OnKeyDown = TKeyEvent(this, &TSelectDateDlg::FormKeyDown);

  auto* Top = new TPanel(this);
  Top->SetParent(this);
  Top->SetBounds(0, 0, 222, 22);
  Top->SetBevelOuter(bvNone);
  Top->OnDblClick = TNotifyEvent(this, &TSelectDateDlg::TopPanelDblClick);
  TitleLabel = new TLabel(this);
  TitleLabel->SetName(L"TitleLabel");
  TitleLabel->SetParent(Top);
  TitleLabel->SetAutoSize(false);
  TitleLabel->SetBounds(35, 4, 152, 14);
  TitleLabel->SetAlignment(taCenter);
  TitleLabel->SetTransparent(true);
  TitleLabel->Font()->SetColor(clBlue);
  TitleLabel->Font()->SetStyle(TFontStyles{fsBold});
  TitleLabel->OnDblClick = TNotifyEvent(this, &TSelectDateDlg::TopPanelDblClick);
  const int Lefts[4] = {3, 18, 188, 203};
  const TNotifyEvent Clicks[4] = {TNotifyEvent(this, &TSelectDateDlg::PrevYearBtnClick),
                                  TNotifyEvent(this, &TSelectDateDlg::PrevMonthBtnClick),
                                  TNotifyEvent(this, &TSelectDateDlg::NextMonthBtnClick),
                                  TNotifyEvent(this, &TSelectDateDlg::NextYearBtnClick)};
  for (int I = 0; I < 4; ++I) {
    auto* B = new TExtTimerSpeedButton(this);
    B->SetParent(Top);
    B->SetBounds(Lefts[I], 3, 16, 16);
    std::unique_ptr<TBitmap> G(CreateCalendarGlyph(I));
    B->SetGlyph(G.get());
    B->SetHint(NavHints[I]);
    B->OnClick = Clicks[I];
    Buttons[I] = B;
  }
  auto* Bottom = new TPanel(this);
  Bottom->SetParent(this);
  Bottom->SetBounds(0, 133, 222, 21);
  Bottom->SetBevelOuter(bvNone);
  auto* Ok = new TButton(this);
  Ok->SetParent(Bottom);
  Ok->SetBounds(0, 0, 112, 21);
  Ok->SetCaption(L"OK");
  Ok->SetModalResult(mrOk);
  auto* Cancel = new TButton(this);
  Cancel->SetParent(Bottom);
  Cancel->SetBounds(111, 0, 111, 21);
  Cancel->SetCaption(L"Cancel");
  Cancel->SetModalResult(mrCancel);
  auto* Client = new TPanel(this);
  Client->SetParent(this);
  Client->SetBounds(0, 22, 222, 111);
  Client->SetBevelOuter(bvNone);
  Calendar = new TExtCalendar(this);
  Calendar->SetName(L"Calendar");
  Calendar->SetParent(Client);
  Calendar->SetBounds(2, 2, 218, 113);
  Calendar->SetColor(clWhite);
  Calendar->SetUseCurrentDate(false);
  Calendar->OnChange = TNotifyEvent(this, &TSelectDateDlg::CalendarChange);
  Calendar->OnDblClick = TNotifyEvent(this, &TSelectDateDlg::CalendarDblClick);
  SetActiveControl(Calendar);
  SetDate(NullDate);
}

void TSelectDateDlg::SetDate(TDateTime Value) {
  Calendar->SetCalendarDate(Value == NullDate ? std::floor(Now()) : Value);
  CalendarChange(this);
}

void TSelectDateDlg::CalendarChange(TObject*) {
  TitleLabel->SetCaption(FormatDateTime(L"MMMM, YYYY", Calendar->GetCalendarDate()));
}

void TSelectDateDlg::PrevMonthBtnClick(TObject*) { Calendar->PrevMonth(); }
void TSelectDateDlg::NextMonthBtnClick(TObject*) { Calendar->NextMonth(); }
void TSelectDateDlg::PrevYearBtnClick(TObject*) { Calendar->PrevYear(); }
void TSelectDateDlg::NextYearBtnClick(TObject*) { Calendar->NextYear(); }
void TSelectDateDlg::CalendarDblClick(TObject*) { SetModalResult(mrOk); }
void TSelectDateDlg::TopPanelDblClick(TObject*) { SetDate(std::floor(Now())); }

void TSelectDateDlg::FormKeyDown(TObject*, WORD& Key, TShiftState Shift) {
  bool Navigated = true;
  switch (Key) {
    case VK_ESCAPE: SetModalResult(mrCancel); Navigated = false; break;
    case VK_RETURN: SetModalResult(mrOk); Navigated = false; break;
    case VK_TAB:
      Shift == TShiftState{ssShift} ? Calendar->PrevMonth() : Calendar->NextMonth();
      break;
    case VK_PRIOR:
      Shift.Contains(ssCtrl) ? Calendar->PrevYear() : Calendar->PrevMonth();
      break;
    case VK_NEXT:
      Shift.Contains(ssCtrl) ? Calendar->NextYear() : Calendar->NextMonth();
      break;
    default: return;
  }
  if (Navigated) TitleLabel->Repaint();
  Key = 0;
}

void TSelectDateDlg::WndProc(TMessage& M) {
  // Tab turns the month here: the form's own key handling sees it before
  // the focus would move on.
  if (M.Msg == CM_DIALOGKEY && M.WParam == VK_TAB) {
    WORD Key = VK_TAB;
    KeyDown(Key, KeyDataToShiftState(M.LParam));
    if (Key == 0) {
      M.Result = 1;
      return;
    }
  }
  TForm::WndProc(M);
}

namespace {

bool RunDateDialog(TSelectDateDlg* D, TDateTime& Date) {
  D->SetDate(Date);
  if (OnDateDialogShow) D->OnShow = TNotifyEvent([D](TObject*) { OnDateDialogShow(D); });
  if (D->ShowModal() != mrOk) return false;
  Date = D->GetDate();
  return true;
}

std::unique_ptr<TSelectDateDlg> MakeDateDialog(const String& Caption) {
  std::unique_ptr<TSelectDateDlg> D(new TSelectDateDlg(Application));
  if (!Caption.empty()) D->SetCaption(Caption);
  if (ScreenScale()) {
    D->HandleNeeded();  // the form scales itself to the screen with its first window
    D->Calendar->SetParentFont(true);
    SetDefaultDialogFont(D->Font());
    D->SetLeft(Screen->GetWidth() / 2 - D->GetWidth() / 2);
    D->SetTop(Screen->GetHeight() / 2 - D->GetHeight() / 2);
  }
  return D;
}

}  // namespace

bool PopupDate(TDateTime& Date, TWinControl* Edit) {
  auto D = MakeDateDialog(String());
  D->SetBorderIcons(TBorderIcons());
  D->SetPosition(poDesigned);
  if (Edit && Edit->HandleAllocated()) {
    RECT R{};
    GetWindowRect(Edit->Handle(), &R);
    int Left = R.left + Edit->GetWidth() - D->GetWidth();
    if (Left < 0) Left = R.left;
    int Top = R.top + Edit->GetHeight() - 1;
    if (Top + D->GetHeight() > GetSystemMetrics(SM_CYSCREEN)) {
      Top = R.top - D->GetHeight() + 1;
      if (Top < 0) Top = R.top + Edit->GetHeight() - 1;
    }
    D->SetBounds(Left, Top, D->GetWidth(), D->GetHeight());
  }
  return RunDateDialog(D.get(), Date);
}

bool SelectDate(TDateTime& Date, const String& DlgCaption, TDayOfWeekName AStartOfWeek, TDaysOfWeek AWeekends,
                TColor AWeekendColor, TStrings* BtnHints) {
  auto D = MakeDateDialog(DlgCaption);
  D->Calendar->SetStartOfWeek(AStartOfWeek);
  D->Calendar->SetWeekends(AWeekends);
  D->Calendar->SetWeekendColor(AWeekendColor);
  if (BtnHints)
    for (int I = 0; I <= std::min(BtnHints->GetCount() - 1, 3); ++I)
      if (!BtnHints->Get(I).empty()) D->Buttons[I]->SetHint(BtnHints->Get(I));
  return RunDateDialog(D.get(), Date);
}

bool SelectDateStr(String& StrDate, const String& DlgCaption, TDayOfWeekName AStartOfWeek, TDaysOfWeek AWeekends,
                   TColor AWeekendColor, TStrings* BtnHints) {
  TDateTime D = StrDate.empty() ? std::floor(Now()) : StrToDateFmtDef(ShortDateFormat, StrDate, std::floor(Now()));
  if (!SelectDate(D, DlgCaption, AStartOfWeek, AWeekends, AWeekendColor, BtnHints)) return false;
  StrDate = FormatDateTime(ShortDateFormat, D);
  return true;
}

// ---------------------------------------------------------------------------
// Form streams

void TExtCalendar::DefineProperties(TFiler* Filer) {
  TCustomGrid::DefineProperties(Filer);
  auto* A = dynamic_cast<TExtCalendar*>(Filer->GetAncestor());
  using namespace ExFiler;
  // Without an ancestor that holds a date of its own, any date differs.
  DateTime(
      Filer, L"CalendarDate", date_,
      A && !A->useCurrentDate_ ? A->date_ : std::numeric_limits<double>::quiet_NaN(),
      [this](double V) { SetCalendarDate(V); }, !useCurrentDate_);
  Integer(
      Filer, L"Day", 0, 0, [this](int64_t V) { SetDay(static_cast<int>(V)); }, false);
  Integer(
      Filer, L"Month", 0, 0, [this](int64_t V) { SetMonth(static_cast<int>(V)); }, false);
  Integer(
      Filer, L"Year", 0, 0, [this](int64_t V) { SetYear(static_cast<int>(V)); }, false);
  Boolean(Filer, L"ReadOnly", readOnly_, A ? A->readOnly_ : false, [this](bool V) { SetReadOnly(V); });
  const TNames Days{L"Sun", L"Mon", L"Tue", L"Wed", L"Thu", L"Fri", L"Sat"};
  Enum(Filer, L"StartOfWeek", startOfWeek_, A ? A->startOfWeek_ : Mon, Days,
       [this](int V) { SetStartOfWeek(static_cast<TDayOfWeekName>(V)); });
  Boolean(Filer, L"UseCurrentDate", useCurrentDate_, A ? A->useCurrentDate_ : true,
          [this](bool V) { SetUseCurrentDate(V); });
  Integer(Filer, L"WeekendColor", weekendColor_, A ? A->weekendColor_ : clRed,
          [this](int64_t V) { SetWeekendColor(static_cast<TColor>(V)); });
  Set(Filer, L"Weekends", weekends_.Bits(), (A ? A->weekends_ : TDaysOfWeek{Sun}).Bits(), Days,
      [this](uint64_t V) { SetWeekends(TDaysOfWeek::FromBits(V)); });
  Event(Filer, L"OnChange", OnChange, A ? &A->OnChange : nullptr);
}

void ExCalendarInitialize() {
  RegisterClasses({ComponentClass<TExtCalendar>(L"TExtCalendar"),
                   ComponentClass<TExtTimerSpeedButton>(L"TExtTimerSpeedButton")});
  CompareWithNewComponents({L"TExtCalendar", L"TExtTimerSpeedButton"});
}
void ExCalendarFinalize() {
  for (const wchar_t* Name : {L"TExtCalendar", L"TExtTimerSpeedButton"}) UnRegisterClass(Name);
}
