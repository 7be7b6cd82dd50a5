#include "extlib/ExCheckListBox.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <windowsx.h>

#include "classlib/Forms.h"
#include "extlib/ExCtlLabel.h"
#include "extlib/ExCtlListBox.h"
#include "extlib/ExCtlSpeedButton.h"
#include "extlib/ExDrawUtil.h"
#include "extlib/ExFiler.h"
#include "extlib/ExPlacement.h"
#include "extlib/ExSecretPanel.h"

namespace {

std::unique_ptr<TBitmap> CheckImages;

int TextHeightOf(TFont* F, const wchar_t* S) {
  HDC DC = GetDC(nullptr);
  HGDIOBJ Old = SelectObject(DC, F->GetHandle());
  SIZE Size{};
  GetTextExtentPoint32W(DC, S, static_cast<int>(wcslen(S)), &Size);
  SelectObject(DC, Old);
  ReleaseDC(nullptr, DC);
  return Size.cy;
}

}  // namespace

// ---------------------------------------------------------------------------
// TExtListBoxStrings

String TExtListBoxStrings::Get(int Index) const {
  HWND H = listBox_->Handle();
  LRESULT Len = SendMessageW(H, LB_GETTEXTLEN, WPARAM(Index), 0);
  if (Len < 0) Error(L"List index out of bounds (%d)", Index);
  String S(static_cast<size_t>(Len) + 1, L'\0');
  LRESULT Got = SendMessageW(H, LB_GETTEXT, WPARAM(Index), LPARAM(S.data()));
  S.resize(Got < 0 ? 0 : static_cast<size_t>(Got));
  return S;
}

int TExtListBoxStrings::GetCount() const {
  return static_cast<int>(SendMessageW(listBox_->Handle(), LB_GETCOUNT, 0, 0));
}

TObject* TExtListBoxStrings::GetObjects(int Index) const {
  LONG_PTR D = listBox_->GetItemData(Index);
  if (D == LB_ERR) Error(L"List index out of bounds (%d)", Index);
  return reinterpret_cast<TObject*>(D);
}

void TExtListBoxStrings::SetObjects(int Index, TObject* AObject) {
  listBox_->SetItemData(Index, reinterpret_cast<LONG_PTR>(AObject));
}

int TExtListBoxStrings::Add(const String& S) {
  LRESULT R = SendMessageW(listBox_->Handle(), LB_ADDSTRING, 0, LPARAM(S.c_str()));
  if (R < 0) throw EOutOfResources(String(L"Unable to insert a line"));
  return static_cast<int>(R);
}

void TExtListBoxStrings::Insert(int Index, const String& S) {
  if (SendMessageW(listBox_->Handle(), LB_INSERTSTRING, WPARAM(Index), LPARAM(S.c_str())) < 0)
    throw EOutOfResources(String(L"Unable to insert a line"));
}

void TExtListBoxStrings::Delete(int Index) { listBox_->DeleteString(Index); }
void TExtListBoxStrings::Clear() { listBox_->ResetContent(); }

void TExtListBoxStrings::SetUpdateState(bool Updating) {
  SendMessageW(listBox_->Handle(), WM_SETREDRAW, !Updating, 0);
  if (!Updating) listBox_->Invalidate();
}

// ---------------------------------------------------------------------------
// TExtCustomListBox

TExtCustomListBox::TExtCustomListBox(TComponent* AOwner) : TWinControl(AOwner) {
  ControlStyle = TControlStyle{csSetCaption, csDoubleClicks};
  width_ = 121;
  height_ = 97;
  tabStop_ = true;
  parentColor_ = false;
  color_ = clWindow;
  brush_->SetColor(clWindow);
  items_ = CreateItemList();
  canvas_ = std::make_unique<TControlCanvas>(this);
  SuppressAutoDrag = true;  // WMLButtonDown starts the drags
}

TExtCustomListBox::~TExtCustomListBox() {
  // The canvas may hold a drawing context of the window.
  canvas_->SetHandle(nullptr);
}

std::unique_ptr<TExtListBoxStrings> TExtCustomListBox::CreateItemList() {
  return std::make_unique<TExtListBoxStrings>(this);
}

void TExtCustomListBox::SetItems(TStrings* Value) { items_->Assign(Value); }

void TExtCustomListBox::CreateParams(TCreateParams& P) {
  TWinControl::CreateParams(P);
  CreateSubClass(P, L"LISTBOX");
  P.Style |= WS_HSCROLL | WS_VSCROLL | LBS_HASSTRINGS | LBS_NOTIFY;
  if (style_ == lbOwnerDrawFixed) P.Style |= LBS_OWNERDRAWFIXED;
  if (style_ == lbOwnerDrawVariable) P.Style |= LBS_OWNERDRAWVARIABLE;
  if (sorted_) P.Style |= LBS_SORT;
  if (multiSelect_) P.Style |= extendedSelect_ ? LBS_EXTENDEDSEL : LBS_MULTIPLESEL;
  // Whole items are fitted by SetBounds, never by the window.
  P.Style |= LBS_NOINTEGRALHEIGHT;
  if (columns_ != 0) P.Style |= LBS_MULTICOLUMN;
  if (tabWidth_ != 0) P.Style |= LBS_USETABSTOPS;
  if (borderStyle_ == bsSingle) {
    // A sunken client edge with three-dimensional borders, else a plain line.
    if (GetCtl3D())
      P.ExStyle |= WS_EX_CLIENTEDGE;
    else
      P.Style |= WS_BORDER;
  }
  P.WindowClass.style &= ~UINT(CS_HREDRAW | CS_VREDRAW);
}

void TExtCustomListBox::CreateWnd() {
  TWinControl::CreateWnd();
  SetWindowPos(handle_, nullptr, left_, top_, width_, height_, SWP_NOZORDER | SWP_NOACTIVATE);
  if (tabWidth_ != 0) SendMessageW(handle_, LB_SETTABSTOPS, 1, LPARAM(&tabWidth_));
  SetColumnWidth();
  if (saveItems_) {
    std::unique_ptr<TStringList> Saved = std::move(saveItems_);
    items_->Assign(Saved.get());
    SetTopIndex(saveTopIndex_);
    SetItemIndex(saveItemIndex_);
  }
  FitHeight();
}

int TExtCustomListBox::ItemCountWithoutWindow() const {
  if (handle_) return items_->GetCount();
  return saveItems_ ? saveItems_->GetCount() : 0;
}

void TExtCustomListBox::SetBounds(int l, int t, int w, int h) {
  // Only the window knows the item height it draws with.
  if (integralHeight_ && style_ != lbOwnerDrawVariable && handle_) {
    const int item = static_cast<int>(SendMessageW(handle_, LB_GETITEMHEIGHT, 0, 0));
    const int client = h - (height_ - GetClientHeight());
    if (item > 0 && client > item) h -= client % item;
  }
  TWinControl::SetBounds(l, t, w, h);
}

void TExtCustomListBox::FitHeight() {
  if (handle_ && integralHeight_) SetBounds(left_, top_, width_, height_);
}

void TExtCustomListBox::DestroyWnd() {
  if (handle_ && items_->GetCount() > 0) {
    saveItems_ = std::make_unique<TStringList>();
    saveItems_->Assign(items_.get());
    saveTopIndex_ = GetTopIndex();
    saveItemIndex_ = GetItemIndex();
  }
  TWinControl::DestroyWnd();
}

void TExtCustomListBox::SetColumnWidth() {
  if (handle_ && columns_ > 0)
    SendMessageW(handle_, LB_SETCOLUMNWIDTH, WPARAM((width_ + columns_ - 3) / columns_), 0);
}

// A multiple-selection list has no current selection of one item: its
// item index is the focused item (the window refuses LB_SETCURSEL there).
int TExtCustomListBox::GetItemIndex() {
  if (!multiSelect_) return static_cast<int>(SendMessageW(Handle(), LB_GETCURSEL, 0, 0));
  if (SendMessageW(Handle(), LB_GETCOUNT, 0, 0) <= 0) return -1;
  return static_cast<int>(SendMessageW(Handle(), LB_GETCARETINDEX, 0, 0));
}

void TExtCustomListBox::SetItemIndex(int Value) {
  if (GetItemIndex() == Value) return;
  if (multiSelect_)
    SendMessageW(Handle(), LB_SETCARETINDEX, WPARAM(Value), FALSE);
  else
    SendMessageW(Handle(), LB_SETCURSEL, WPARAM(Value), 0);
}

int TExtCustomListBox::GetTopIndex() { return static_cast<int>(SendMessageW(Handle(), LB_GETTOPINDEX, 0, 0)); }

void TExtCustomListBox::SetTopIndex(int Value) {
  if (GetTopIndex() != Value) SendMessageW(Handle(), LB_SETTOPINDEX, WPARAM(Value), 0);
}

int TExtCustomListBox::GetSelCount() { return static_cast<int>(SendMessageW(Handle(), LB_GETSELCOUNT, 0, 0)); }

bool TExtCustomListBox::GetSelected(int Index) {
  LRESULT R = SendMessageW(Handle(), LB_GETSEL, WPARAM(Index), 0);
  if (R == LB_ERR) throw EStringListError(Format(L"List index out of bounds (%d)", Index));
  return R != 0;
}

void TExtCustomListBox::SetSelected(int Index, bool Value) {
  if (multiSelect_) {
    if (SendMessageW(Handle(), LB_SETSEL, Value, LPARAM(Index)) == LB_ERR)
      throw EStringListError(Format(L"List index out of bounds (%d)", Index));
  } else if (Value) {
    SetItemIndex(Index);
  } else if (GetItemIndex() == Index) {
    SetItemIndex(-1);
  }
}

void TExtCustomListBox::SetBorderStyle(TBorderStyle Value) {
  if (Value == borderStyle_) return;
  borderStyle_ = Value;
  RecreateWnd();
}

void TExtCustomListBox::SetColumns(int Value) {
  if (Value == columns_) return;
  bool WidthOnly = columns_ != 0 && Value != 0;
  columns_ = Value;
  if (WidthOnly)
    SetColumnWidth();
  else
    RecreateWnd();
}

int TExtCustomListBox::GetItemHeight() {
  if (handle_ && style_ == lbStandard) {
    RECT R{};
    SendMessageW(handle_, LB_GETITEMRECT, 0, LPARAM(&R));
    return R.bottom - R.top;
  }
  return itemHeight_;
}

void TExtCustomListBox::SetItemHeight(int Value) {
  if (Value < 1 || Value == itemHeight_) return;
  itemHeight_ = Value;
  RecreateWnd();
}

#define EXT_RECREATING_SETTER(Name, Field, Type) \
  void TExtCustomListBox::Name(Type Value) {     \
    if (Value == Field) return;                  \
    Field = Value;                               \
    RecreateWnd();                               \
  }
EXT_RECREATING_SETTER(SetStyle, style_, TListBoxStyle)
EXT_RECREATING_SETTER(SetIntegralHeight, integralHeight_, bool)
EXT_RECREATING_SETTER(SetMultiSelect, multiSelect_, bool)
EXT_RECREATING_SETTER(SetSorted, sorted_, bool)
EXT_RECREATING_SETTER(SetExtendedSelect, extendedSelect_, bool)
#undef EXT_RECREATING_SETTER

void TExtCustomListBox::SetTabWidth(int Value) {
  Value = std::max(Value, 0);
  if (Value == tabWidth_) return;
  tabWidth_ = Value;
  RecreateWnd();
}

void TExtCustomListBox::SetOnDrawItem(const TDrawItemEvent& Value) {
  bool Changed = static_cast<bool>(onDrawItem_) != static_cast<bool>(Value);
  onDrawItem_ = Value;
  if (Changed) MeasuringChanged();
}

void TExtCustomListBox::SetOnGetItemWidth(const TGetItemWidthEvent& Value) {
  bool Changed = static_cast<bool>(onGetItemWidth_) != static_cast<bool>(Value);
  onGetItemWidth_ = Value;
  if (Changed) MeasuringChanged();
}

void TExtCustomListBox::SetAutoScroll(bool Value) {
  if (Value == autoScroll_) return;
  autoScroll_ = Value;
  MeasuringChanged();
}

void TExtCustomListBox::MeasuringChanged() {
  ScrollToLeft();
  if (!handle_) return;
  if (AutoScrollActive()) {
    ResetHorizontalExtent();
  } else {
    maxWidth_ = 0;
    SetHorizontalExtent();
  }
}

void TExtCustomListBox::SetGraySelection(bool Value) {
  if (Value == graySelection_) return;
  graySelection_ = Value;
  if (handle_ && !Focused()) Invalidate();
}

String TExtCustomListBox::ItemText(int Index) {
  LRESULT Len = SendMessageW(Handle(), LB_GETTEXTLEN, WPARAM(Index), 0);
  if (Len < 0) return String();
  String S(static_cast<size_t>(Len) + 1, L'\0');
  LRESULT Got = SendMessageW(Handle(), LB_GETTEXT, WPARAM(Index), LPARAM(S.data()));
  S.resize(Got < 0 ? 0 : static_cast<size_t>(Got));
  return S;
}

int TExtCustomListBox::GetItemWidth(int Index) {
  if (style_ != lbStandard && onGetItemWidth_ && onDrawItem_) {
    int W = 0;
    onGetItemWidth_(this, Index, W);
    return W;
  }
  String S = ItemText(Index) + L"x";
  HDC DC = GetDC(Handle());
  HGDIOBJ Old = SelectObject(DC, font_->GetHandle());
  int W;
  if (tabWidth_ >= 1) {
    SIZE Zero{};
    GetTextExtentPoint32W(DC, L"0", 1, &Zero);
    int Stop = static_cast<int>(std::lround(tabWidth_ * Zero.cx * 0.25));
    W = LOWORD(GetTabbedTextExtentW(DC, S.c_str(), static_cast<int>(S.size()), 1, &Stop));
  } else {
    SIZE Size{};
    GetTextExtentPoint32W(DC, S.c_str(), static_cast<int>(S.size()), &Size);
    W = Size.cx;
  }
  SelectObject(DC, Old);
  ReleaseDC(Handle(), DC);
  return W;
}

void TExtCustomListBox::SetHorizontalExtent() {
  if (handle_) SendMessageW(handle_, LB_SETHORIZONTALEXTENT, WPARAM(maxWidth_), 0);
}

void TExtCustomListBox::ResetHorizontalExtent() {
  maxWidth_ = 0;
  if (!handle_) return;
  int N = static_cast<int>(SendMessageW(handle_, LB_GETCOUNT, 0, 0));
  for (int I = 0; I < N; ++I) maxWidth_ = std::max(maxWidth_, GetItemWidth(I));
  SetHorizontalExtent();
}

void TExtCustomListBox::ScrollToLeft() {
  if (handle_) SendMessageW(handle_, WM_HSCROLL, SB_TOP, 0);
}

LONG_PTR TExtCustomListBox::GetItemData(int Index) {
  return static_cast<LONG_PTR>(SendMessageW(Handle(), LB_GETITEMDATA, WPARAM(Index), 0));
}

void TExtCustomListBox::SetItemData(int Index, LONG_PTR AData) {
  SendMessageW(Handle(), LB_SETITEMDATA, WPARAM(Index), LPARAM(AData));
}

void TExtCustomListBox::ResetContent() { SendMessageW(Handle(), LB_RESETCONTENT, 0, 0); }

void TExtCustomListBox::DeleteString(int Index) { SendMessageW(Handle(), LB_DELETESTRING, WPARAM(Index), 0); }

int TExtCustomListBox::ItemAtPos(TPoint Pos, bool Existing) {
  TRect C = GetClientRect();
  if (!PtInRect(&C, Pos)) return -1;
  int Count = items_->GetCount();
  for (int I = GetTopIndex(); I < Count; ++I) {
    RECT R{};
    if (SendMessageW(Handle(), LB_GETITEMRECT, WPARAM(I), LPARAM(&R)) == LB_ERR) break;
    if (PtInRect(&R, Pos)) return I;
  }
  return Existing ? -1 : Count;
}

TRect TExtCustomListBox::ItemRect(int Index) {
  TRect R{};
  int Count = items_->GetCount();
  if (Index == 0 || Index < Count) {
    SendMessageW(Handle(), LB_GETITEMRECT, WPARAM(Index), LPARAM(&R));
  } else if (Index == Count && Count > 0) {
    SendMessageW(Handle(), LB_GETITEMRECT, WPARAM(Index - 1), LPARAM(&R));
    OffsetRect(&R, 0, R.bottom - R.top);
  }
  return R;
}

void TExtCustomListBox::DefaultDrawText(int X, int Y, const String& S) {
  HDC DC = canvas_->GetHandle();
  canvas_->Brush();  // selects the current font and brush
  if (tabWidth_ != 0) {
    int Stop = static_cast<int>(std::lround(tabWidth_ * canvas_->TextWidth(L"0") * 0.25));
    canvas_->TextWidth(L"");  // make the font current
    TabbedTextOutW(DC, X, Y, S.c_str(), static_cast<int>(S.size()), 1, &Stop, X);
  } else {
    canvas_->TextOut(X, Y, S);
  }
}

void TExtCustomListBox::DrawItem(int Index, TRect Rect, TOwnerDrawState State) {
  if (onDrawItem_) {
    onDrawItem_(this, Index, Rect, State);
    return;
  }
  canvas_->FillRect(Rect);
  if (Index < 0 || Index >= items_->GetCount()) return;
  // The text keeps 2 pixels off the edge it reads from.
  const bool RightToLeft = UseRightToLeftReading();
  if (RightToLeft)
    Rect.right -= 2;
  else
    Rect.left += 2;
  int Y = std::max<int>(Rect.top, (Rect.bottom + Rect.top - canvas_->TextHeight(L"Wy")) / 2);
  canvas_->Brush()->SetStyle(bsClear);
  String Text = ItemText(Index);
  DefaultDrawText(RightToLeft ? Rect.right - canvas_->TextWidth(Text) : Rect.left, Y, Text);
  canvas_->Brush()->SetStyle(bsSolid);
}

void TExtCustomListBox::MeasureItem(int Index, int& Height) {
  if (OnMeasureItem) OnMeasureItem(this, Index, Height);
}

void TExtCustomListBox::CNDrawItem(TMessage& M) {
  auto* D = reinterpret_cast<DRAWITEMSTRUCT*>(M.LParam);
  TOwnerDrawState State;
  if (D->itemState & ODS_SELECTED) State += odSelected;
  if (D->itemState & ODS_FOCUS) State += odFocused;
  if (D->itemState & ODS_DISABLED) State += odDisabled;
  canvas_->SetHandle(D->hDC);
  canvas_->Font()->Assign(*font_);
  canvas_->Brush()->Assign(*brush_);
  if (State.Contains(odSelected)) {
    if (graySelection_ && !IsDesigning() && !Focused()) {
      canvas_->Brush()->SetColor(clBtnFace);
      if (ColorToRGB(canvas_->Font()->GetColor()) == ColorToRGB(clBtnFace)) canvas_->Font()->SetColor(clBtnText);
    } else {
      canvas_->Brush()->SetColor(clHighlight);
      canvas_->Font()->SetColor(clHighlightText);
    }
  }
  TRect R = D->rcItem;
  if (static_cast<int>(D->itemID) >= 0)
    DrawItem(static_cast<int>(D->itemID), R, State);
  else
    canvas_->FillRect(R);
  if (State.Contains(odFocused)) DrawFocusRect(D->hDC, &D->rcItem);
  canvas_->SetHandle(nullptr);
  M.Result = TRUE;
}

void TExtCustomListBox::CNMeasureItem(TMessage& M) {
  auto* MI = reinterpret_cast<MEASUREITEMSTRUCT*>(M.LParam);
  int H = itemHeight_;
  if (style_ == lbOwnerDrawVariable) MeasureItem(static_cast<int>(MI->itemID), H);
  MI->itemHeight = static_cast<UINT>(H);
  M.Result = TRUE;
}

void TExtCustomListBox::PaintItems(HDC DC) {
  TRect C = GetClientRect();
  UINT Id = static_cast<UINT>(GetDlgCtrlID(handle_));
  int Count = items_->GetCount();
  int Y = 0;
  for (int I = std::max(GetTopIndex(), 0); I < Count && Y < C.bottom; ++I) {
    ULONG_PTR Data = static_cast<ULONG_PTR>(SendMessageW(handle_, LB_GETITEMDATA, WPARAM(I), 0));
    MEASUREITEMSTRUCT MI{ODT_LISTBOX, Id, static_cast<UINT>(I), static_cast<UINT>(C.right),
                         static_cast<UINT>(itemHeight_), Data};
    Perform(CN_MEASUREITEM, Id, LPARAM(&MI));
    DRAWITEMSTRUCT D{};
    D.CtlType = ODT_LISTBOX;
    D.CtlID = Id;
    D.itemID = static_cast<UINT>(I);
    D.itemAction = ODA_DRAWENTIRE;
    if (SendMessageW(handle_, LB_GETSEL, WPARAM(I), 0) > 0) D.itemState = ODS_SELECTED;
    D.hwndItem = handle_;
    D.hDC = DC;
    D.rcItem = TRect{0, Y, C.right, Y + static_cast<int>(MI.itemHeight)};
    D.itemData = Data;
    Perform(CN_DRAWITEM, Id, LPARAM(&D));
    Y += static_cast<int>(MI.itemHeight);
  }
}

void TExtCustomListBox::DefaultHandler(TMessage& M) {
  if (skipDefault_ && M.Msg == skipDefault_) {
    skipDefault_ = 0;
    return;
  }
  TWinControl::DefaultHandler(M);
}

void TExtCustomListBox::DispatchWithoutDefault(TMessage& M) {
  skipDefault_ = M.Msg;
  TWinControl::WndProc(M);
  skipDefault_ = 0;
}

void TExtCustomListBox::WMLButtonDown(TMessage& M) {
  TShiftState Shift = KeysToShiftState(M.WParam);
  dragStarted_ = false;
  if (multiSelect_ && (!Shift.Contains(ssShift) || Shift.Contains(ssCtrl))) {
    int Index = ItemAtPos(Point(GET_X_LPARAM(M.LParam), GET_Y_LPARAM(M.LParam)), true);
    if (Index >= 0 && GetSelected(Index)) {
      // The selection stays as it is while it is dragged; the list sees
      // the press only if no drag comes of it.
      pressHeld_ = true;
      BeginDrag(false);
      return;
    }
  }
  pressHeld_ = false;
  TWinControl::WndProc(M);  // the list selects as for any click
  if (!(multiSelect_ && (Shift.Contains(ssCtrl) || Shift.Contains(ssShift)))) BeginDrag(false);
}

void TExtCustomListBox::DoStartDrag(TDragObject*& DragObject) {
  dragStarted_ = true;
  pressHeld_ = false;
  TWinControl::DoStartDrag(DragObject);
}

void TExtCustomListBox::DoEndDrag(TObject* Target, int X, int Y) {
  if (!Target) DragCanceled();
  TWinControl::DoEndDrag(Target, X, Y);
}

void TExtCustomListBox::DragCanceled() {
  if (!handle_) return;
  POINT C;
  GetCursorPos(&C);
  TPoint P = ScreenToClient(TPoint{C.x, C.y});
  // A click sent outside the items would select the nearest one, which the
  // user never pointed at.
  TRect R = GetClientRect();
  if (!PtInRect(&R, P)) return;
  TMessage Click{};
  Click.Msg = WM_LBUTTONDOWN;
  Click.LParam = MAKELPARAM(P.x, P.y);
  TWinControl::DefaultHandler(Click);
  Click.Msg = WM_LBUTTONUP;
  TWinControl::DefaultHandler(Click);
}

void TExtCustomListBox::WndProc(TMessage& M) {
  switch (M.Msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      if (GetDragMode() == dmAutomatic && !Dragging() && !GetComponentState().Contains(csDesigning) && handle_) {
        // A control inside the list takes its own clicks.
        if (IsControlMouseMsg(M)) return;
        if (M.Msg == WM_LBUTTONDOWN)
          WMLButtonDown(M);
        else
          DispatchWithoutDefault(M);
        return;
      }
      if (M.Msg == WM_LBUTTONDBLCLK) {
        // The mouse handling reports the double click; the list's own
        // notice of it, sent meanwhile, would report it a second time.
        struct Flag {
          bool& F;
          ~Flag() { F = false; }
        } Reset{inMouseDblClick_ = true};
        TWinControl::WndProc(M);
        return;
      }
      break;
    case WM_LBUTTONUP:
      if (pressHeld_) {
        // Released before the pointer moved the drag distance: no drag.
        bool Unstarted = Dragging() && !dragStarted_;
        pressHeld_ = false;
        TWinControl::WndProc(M);
        if (Unstarted) DragCanceled();
        return;
      }
      break;
    case CM_CTL3DCHANGED:  // the border is made with the window
      TWinControl::WndProc(M);
      if (handle_ && borderStyle_ == bsSingle) RecreateWnd();
      return;
    case CN_DRAWITEM:
      CNDrawItem(M);
      return;
    case CN_MEASUREITEM:
      CNMeasureItem(M);
      return;
    case CN_COMMAND:
      if (HIWORD(M.WParam) == LBN_SELCHANGE) Click();
      if (HIWORD(M.WParam) == LBN_DBLCLK && !inMouseDblClick_) DblClick();
      return;
    case WM_SIZE:
      TWinControl::WndProc(M);
      SetColumnWidth();
      return;
    case WM_PAINT:
      if (M.WParam && handle_) {
        PaintItems(reinterpret_cast<HDC>(M.WParam));
        M.Result = 0;
        return;
      }
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      TWinControl::WndProc(M);
      if (graySelection_ && multiSelect_ && handle_ && GetSelCount() >= 2) Invalidate();
      return;
    default:
      break;
  }
  if (AutoScrollActive() && handle_) {
    switch (M.Msg) {
      case WM_SETFONT:
        TWinControl::WndProc(M);
        canvas_->Font()->Assign(*font_);
        ResetHorizontalExtent();
        return;
      case LB_ADDSTRING:
      case LB_INSERTSTRING:
        TWinControl::WndProc(M);
        if (static_cast<LRESULT>(M.Result) >= 0) {
          maxWidth_ = std::max(maxWidth_, GetItemWidth(static_cast<int>(M.Result)));
          SetHorizontalExtent();
        }
        return;
      case LB_DELETESTRING:
        if (GetItemWidth(static_cast<int>(M.WParam)) < maxWidth_) {
          TWinControl::WndProc(M);
        } else {
          ScrollToLeft();
          TWinControl::WndProc(M);
          ResetHorizontalExtent();
        }
        return;
      case LB_RESETCONTENT:
        maxWidth_ = 0;
        SetHorizontalExtent();
        ScrollToLeft();
        TWinControl::WndProc(M);
        return;
      default:
        break;
    }
  }
  TWinControl::WndProc(M);
}

// ---------------------------------------------------------------------------
// TCheckListBoxStrings

void TCheckListBoxStrings::Exchange(int Index1, int Index2) {
  auto* L = static_cast<TExtCheckListBox*>(listBox_);
  TCheckBoxState S1 = L->GetCheckObject(Index1)->State, S2 = L->GetCheckObject(Index2)->State;
  bool E1 = L->GetItemEnabled(Index1), E2 = L->GetItemEnabled(Index2);
  BeginUpdate();
  TExtListBoxStrings::Exchange(Index1, Index2);
  L->GetCheckObject(Index1)->State = S2;
  L->GetCheckObject(Index1)->Enabled = E2;
  L->GetCheckObject(Index2)->State = S1;
  L->GetCheckObject(Index2)->Enabled = E1;
  EndUpdate();
}

void TCheckListBoxStrings::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  auto* L = static_cast<TExtCheckListBox*>(listBox_);
  TCheckBoxState S = L->GetCheckObject(CurIndex)->State;
  bool E = L->GetItemEnabled(CurIndex);
  BeginUpdate();
  TExtListBoxStrings::Move(CurIndex, NewIndex);
  L->GetCheckObject(NewIndex)->State = S;
  L->GetCheckObject(NewIndex)->Enabled = E;
  EndUpdate();
}

// ---------------------------------------------------------------------------
// TExtCheckListBox

TBitmap* CheckListImages() { return LibraryBitmap(CheckImages, L"CHECK_IMAGES"); }

// The controls of the unit that a form stream may name by class.
void ExCheckListBoxInitialize() {
  RegisterClasses({ComponentClass<TExtCheckListBox>(L"TExtCheckListBox"), ComponentClass<TExtLabel>(L"TExtLabel"),
                   ComponentClass<TTextListBox>(L"TTextListBox"),
                   ComponentClass<TExtSpeedButton>(L"TExtSpeedButton"),
                   ComponentClass<TSecretPanel>(L"TSecretPanel")});
  // Written against a new control of their class, so that what their
  // constructors set (a list box's tab stop, a button's hints) is not
  // written while unchanged.
  CompareWithNewComponents({L"TExtCheckListBox", L"TExtLabel", L"TTextListBox", L"TExtSpeedButton", L"TSecretPanel"});
}
void ExCheckListBoxFinalize() {
  for (const wchar_t* Name : {L"TExtCheckListBox", L"TExtLabel", L"TTextListBox", L"TExtSpeedButton", L"TSecretPanel"})
    UnRegisterClass(Name);
  CheckImages.reset();
}

TExtCheckListBox::TExtCheckListBox(TComponent* AOwner) : TExtCustomListBox(AOwner) {
  items_ = CreateItemList();
  autoScroll_ = true;
  TBitmap* Images = CheckListImages();
  checkWidth_ = Images->GetWidth() / 6;
  checkHeight_ = Images->GetHeight() / 3;
  iniLink_ = std::make_unique<TIniLink>();
  iniLink_->OnSave = TNotifyEvent(this, &TExtCheckListBox::IniSave);
  iniLink_->OnLoad = TNotifyEvent(this, &TExtCheckListBox::IniLoad);
}

TExtCheckListBox::~TExtCheckListBox() {
  iniLink_.reset();
  for (TCheckListBoxItem* O : checkObjects_) delete O;
  checkObjects_.clear();
  if (handle_) {
    // The window outlives this part of the object: its items point nowhere.
    int N = static_cast<int>(SendMessageW(handle_, LB_GETCOUNT, 0, 0));
    for (int I = 0; I < N; ++I) SendMessageW(handle_, LB_SETITEMDATA, WPARAM(I), 0);
  }
}

std::unique_ptr<TExtListBoxStrings> TExtCheckListBox::CreateItemList() {
  return std::make_unique<TCheckListBoxStrings>(this);
}

void TExtCheckListBox::CreateParams(TCreateParams& P) {
  TExtCustomListBox::CreateParams(P);
  if (!(P.Style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE))) P.Style |= LBS_OWNERDRAWFIXED;
}

void TExtCheckListBox::CreateWnd() {
  TExtCustomListBox::CreateWnd();
  saveStates_.clear();
  haveSavedStates_ = false;
  ResetItemHeight();
}

void TExtCheckListBox::DestroyWnd() {
  std::vector<TCheckListBoxItem*> Old;
  if (handle_) {
    int N = items_->GetCount();
    if (N > 0) {
      saveStates_.clear();
      for (int I = 0; I < N; ++I) {
        TCheckListBoxItem* O = FindCheckObject(I);
        uint32_t Enabled = O ? O->Enabled : 1, State = O ? O->State : cbUnchecked;
        saveStates_.push_back(Enabled | (State << 16));
      }
      haveSavedStates_ = true;
    }
  }
  TExtCustomListBox::DestroyWnd();
  for (TCheckListBoxItem* O : checkObjects_) delete O;
  checkObjects_.clear();
}

void TExtCheckListBox::ResetItemHeight() {
  if (!handle_ || (style_ != lbStandard && !(style_ == lbOwnerDrawFixed && !onDrawItem_))) return;
  int H = std::max(TextHeightOf(font_.get(), L"Wg"), checkHeight_);
  if (style_ == lbOwnerDrawFixed) H = std::max(H, itemHeight_);
  SendMessageW(handle_, LB_SETITEMHEIGHT, 0, H);
  FitHeight();
  TRect C = GetClientRect();
  if (items_->GetCount() * H <= RectHeight(C)) SetScrollRange(handle_, SB_VERT, 0, 0, TRUE);
}

int TExtCheckListBox::GetItemHeight() {
  if (handle_ && (style_ == lbStandard || (style_ == lbOwnerDrawFixed && !onDrawItem_))) {
    RECT R{};
    SendMessageW(handle_, LB_GETITEMRECT, 0, LPARAM(&R));
    if (R.bottom > R.top) return R.bottom - R.top;
  }
  return itemHeight_;
}

int TExtCheckListBox::GetItemWidth(int Index) { return TExtCustomListBox::GetItemWidth(Index) + CheckWidth(); }

void TExtCheckListBox::CNMeasureItem(TMessage& M) {
  auto* MI = reinterpret_cast<MEASUREITEMSTRUCT*>(M.LParam);
  if (style_ == lbStandard || (style_ == lbOwnerDrawFixed && !onDrawItem_)) {
    int H = std::max(TextHeightOf(font_.get(), L"Wg"), checkHeight_);
    if (style_ == lbOwnerDrawFixed) H = std::max(H, itemHeight_);
    MI->itemHeight = static_cast<UINT>(H);
    M.Result = TRUE;
    return;
  }
  TExtCustomListBox::CNMeasureItem(M);
}

void TExtCheckListBox::CNDrawItem(TMessage& M) {
  auto* D = reinterpret_cast<DRAWITEMSTRUCT*>(M.LParam);
  // The check strip is on the side the text reads from.
  if (UseRightToLeftReading())
    D->rcItem.right -= CheckWidth();
  else
    D->rcItem.left += CheckWidth();
  TExtCustomListBox::CNDrawItem(M);
}

void TExtCheckListBox::DrawCheck(TRect R, TCheckBoxState AState, bool AEnabled) {
  int Column = static_cast<int>(AState) + (AEnabled ? 0 : 3);
  AssignBitmapCell(CheckListImages(), &drawBitmap_, 6, 3, static_cast<int>(checkKind_) * 6 + Column);
  // The strip in the control's colour, which also shows through the
  // cell's transparent pixels.
  TColor SavedBrush = canvas_->Brush()->GetColor();
  canvas_->Brush()->SetColor(GetColor());
  canvas_->FillRect(R);
  int X = R.left + (RectWidth(R) - checkWidth_) / 2, Y = R.top + (RectHeight(R) - checkHeight_) / 2;
  DrawBitmapTransparent(canvas_.get(), X, Y, &drawBitmap_, drawBitmap_.GetTransparentColor());
  canvas_->Brush()->SetColor(SavedBrush);
}

void TExtCheckListBox::DrawItem(int Index, TRect Rect, TOwnerDrawState State) {
  bool Enabled = true;
  TCheckBoxState S = cbUnchecked;
  if (Index >= 0 && Index < items_->GetCount()) {
    Enabled = GetItemEnabled(Index);
    S = GetState(Index);
    TRect Strip = Rect;
    if (UseRightToLeftReading()) {
      Strip.left = Rect.right;
      Strip.right = Rect.right + CheckWidth();
    } else {
      Strip.right = Rect.left;
      Strip.left = Rect.left - CheckWidth();
    }
    DrawCheck(Strip, S, Enabled && GetEnabled());
    if (!Enabled) canvas_->Font()->SetColor(State.Contains(odSelected) ? clInactiveCaptionText : clGrayText);
  }
  if (style_ == lbStandard && onDrawItem_) {
    TDrawItemEvent Saved = onDrawItem_;
    onDrawItem_ = nullptr;
    try {
      TExtCustomListBox::DrawItem(Index, Rect, State);
    } catch (...) {
      onDrawItem_ = Saved;
      throw;
    }
    onDrawItem_ = Saved;
  } else {
    TExtCustomListBox::DrawItem(Index, Rect, State);
  }
}

TCheckListBoxItem* TExtCheckListBox::FindCheckObject(int Index) {
  LONG_PTR D = TExtCustomListBox::GetItemData(Index);
  if (D == LB_ERR) throw EStringListError(Format(L"List index out of bounds (%d)", Index));
  auto* O = reinterpret_cast<TCheckListBoxItem*>(D);
  return checkObjects_.count(O) ? O : nullptr;
}

TCheckListBoxItem* TExtCheckListBox::GetCheckObject(int Index) {
  TCheckListBoxItem* O = FindCheckObject(Index);
  if (!O) {
    O = new TCheckListBoxItem;
    checkObjects_.insert(O);
    TExtCustomListBox::SetItemData(Index, reinterpret_cast<LONG_PTR>(O));
  }
  return O;
}

LONG_PTR TExtCheckListBox::GetItemData(int Index) {
  TCheckListBoxItem* O = FindCheckObject(Index);
  return O ? O->Data : 0;
}

void TExtCheckListBox::SetItemData(int Index, LONG_PTR AData) {
  TCheckListBoxItem* O = GetCheckObject(Index);
  O->Data = AData;
  if (haveSavedStates_ && !saveStates_.empty()) {
    uint32_t E = saveStates_.front();
    saveStates_.erase(saveStates_.begin());
    O->Enabled = (E & 0xFFFF) != 0;
    O->State = static_cast<TCheckBoxState>(E >> 16);
  }
}

void TExtCheckListBox::DeleteString(int Index) {
  if (TCheckListBoxItem* O = FindCheckObject(Index)) {
    checkObjects_.erase(O);
    delete O;
    TExtCustomListBox::SetItemData(Index, 0);
  }
  TExtCustomListBox::DeleteString(Index);
}

void TExtCheckListBox::ResetContent() {
  int N = handle_ ? items_->GetCount() : 0;
  for (int I = 0; I < N; ++I)
    if (TCheckListBoxItem* O = FindCheckObject(I)) {
      checkObjects_.erase(O);
      delete O;
      TExtCustomListBox::SetItemData(I, 0);
    }
  TExtCustomListBox::ResetContent();
}

TCheckBoxState TExtCheckListBox::GetState(int Index) {
  TCheckListBoxItem* O = FindCheckObject(Index);
  TCheckBoxState S = O ? O->State : cbUnchecked;
  if (checkKind_ == ckRadioButtons && S != cbChecked) S = cbUnchecked;
  return S;
}

void TExtCheckListBox::SetState(int Index, TCheckBoxState Value) {
  TCheckListBoxItem* O = GetCheckObject(Index);
  if (O->State == Value && !updatingStates_) return;
  if (checkKind_ == ckRadioButtons && Value != cbChecked && O->State == cbChecked && !updatingStates_) return;
  O->State = Value;
  if (checkKind_ == ckRadioButtons && Value == cbChecked) {
    for (int I = items_->GetCount() - 1; I >= 0; --I) {
      if (I == Index) continue;
      TCheckListBoxItem* Other = FindCheckObject(I);
      if (Other && Other->State == cbChecked) {
        Other->State = cbUnchecked;
        InvalidateCheck(I);
      }
    }
  }
  InvalidateCheck(Index);
  if (!IsLoading()) ChangeItemState(Index);
}

bool TExtCheckListBox::GetItemEnabled(int Index) {
  TCheckListBoxItem* O = FindCheckObject(Index);
  return O ? O->Enabled : true;
}

void TExtCheckListBox::SetItemEnabled(int Index, bool Value) {
  TCheckListBoxItem* O = GetCheckObject(Index);
  if (O->Enabled == Value) return;
  O->Enabled = Value;
  InvalidateItem(Index);
}

int TExtCheckListBox::GetCheckedIndex() {
  if (checkKind_ != ckRadioButtons) return -1;
  for (int I = 0; I < items_->GetCount(); ++I)
    if (GetState(I) == cbChecked) return I;
  return -1;
}

void TExtCheckListBox::SetCheckedIndex(int Value) {
  if (items_->GetCount() > 0) SetChecked(std::max(Value, 0), true);
}

void TExtCheckListBox::ForceRadio() {
  if (checkKind_ != ckRadioButtons || !handle_ || items_->GetCount() == 0) return;
  updatingStates_ = true;
  try {
    SetState(std::max(GetCheckedIndex(), 0), cbChecked);
  } catch (...) {
    updatingStates_ = false;
    throw;
  }
  updatingStates_ = false;
}

void TExtCheckListBox::SetCheckKind(TCheckKind Value) {
  if (Value == checkKind_) return;
  checkKind_ = Value;
  ForceRadio();
  Invalidate();
}

void TExtCheckListBox::Loaded() {
  TExtCustomListBox::Loaded();
  if (!iniStorageName_.empty()) {
    SetIniStorage(dynamic_cast<TFormPlacement*>(ExFiler::Find(this, iniStorageName_)));
    iniStorageName_.clear();
  }
  if (checkedIndexRead_ >= 0 && checkedIndexRead_ < items_->GetCount()) SetCheckedIndex(checkedIndexRead_);
  checkedIndexRead_ = -1;
  ForceRadio();
}

// ---------------------------------------------------------------------------
// Form streams

// A list without a window that can't have one (a new one of the class the
// writer compares with, made without a parent) has no items to ask for.
bool TExtCheckListBox::Bare(TExtCheckListBox* List) {
  return !List->HandleAllocated() && !List->GetParent() && !List->GetParentWindow();
}

void TExtCheckListBox::DefineProperties(TFiler* Filer) {
  TExtCustomListBox::DefineProperties(Filer);
  auto* Ancestor = dynamic_cast<TExtCheckListBox*>(Filer->GetAncestor());
  auto* A = Ancestor;
  using namespace ExFiler;
  Boolean(Filer, L"AllowGrayed", allowGrayed_, A ? A->allowGrayed_ : false, [this](bool V) { SetAllowGrayed(V); });
  Enum(Filer, L"CheckKind", checkKind_, A ? A->checkKind_ : ckCheckBoxes,
       {L"ckCheckBoxes", L"ckRadioButtons", L"ckCheckMarks"},
       [this](int V) { SetCheckKind(static_cast<TCheckKind>(V)); });
  // Read before the items it names: applied once loading is over.
  Integer(Filer, L"CheckedIndex", GetCheckedIndex(), A && !Bare(A) ? A->GetCheckedIndex() : -1,
          [this](int64_t V) { checkedIndexRead_ = static_cast<int>(V); });
  Reference(Filer, L"IniStorage", GetIniStorage(), A ? A->GetIniStorage() : nullptr, iniStorageName_);
  Boolean(Filer, L"AutoScroll", autoScroll_, A ? A->autoScroll_ : true, [this](bool V) { SetAutoScroll(V); });
  Enum(Filer, L"BorderStyle", borderStyle_, A ? A->borderStyle_ : bsSingle, BorderStyleNames,
       [this](int V) { SetBorderStyle(V == bsNone ? bsNone : bsSingle); });
  Integer(Filer, L"Columns", columns_, A ? A->columns_ : 0, [this](int64_t V) { SetColumns(static_cast<int>(V)); });
  Boolean(Filer, L"ExtendedSelect", extendedSelect_, A ? A->extendedSelect_ : true,
          [this](bool V) { SetExtendedSelect(V); });
  Boolean(Filer, L"GraySelection", graySelection_, A ? A->graySelection_ : false,
          [this](bool V) { SetGraySelection(V); });
  Boolean(Filer, L"IntegralHeight", integralHeight_, A ? A->integralHeight_ : false,
          [this](bool V) { SetIntegralHeight(V); });
  // The height set, not the one the window measures.
  Integer(Filer, L"ItemHeight", itemHeight_, A ? A->itemHeight_ : 16,
          [this](int64_t V) { SetItemHeight(static_cast<int>(V)); });
  Boolean(Filer, L"MultiSelect", multiSelect_, A ? A->multiSelect_ : false, [this](bool V) { SetMultiSelect(V); });
  Boolean(Filer, L"Sorted", sorted_, A ? A->sorted_ : false, [this](bool V) { SetSorted(V); });
  Enum(Filer, L"Style", style_, A ? A->style_ : lbStandard,
       {L"lbStandard", L"lbOwnerDrawFixed", L"lbOwnerDrawVariable"},
       [this](int V) { SetStyle(static_cast<TListBoxStyle>(V)); });
  Integer(Filer, L"TabWidth", tabWidth_, A ? A->tabWidth_ : 0, [this](int64_t V) { SetTabWidth(static_cast<int>(V)); });
  Event(Filer, L"OnStateChange", OnStateChange, A ? &A->OnStateChange : nullptr);
  Event(Filer, L"OnClickCheck", OnClickCheck, A ? &A->OnClickCheck : nullptr);
  EventVia(Filer, L"OnDrawItem", GetOnDrawItem(), A ? &A->GetOnDrawItem() : nullptr,
           [this](const TDrawItemEvent& E) { SetOnDrawItem(E); });
  EventVia(Filer, L"OnGetItemWidth", GetOnGetItemWidth(), A ? &A->GetOnGetItemWidth() : nullptr,
           [this](const TGetItemWidthEvent& E) { SetOnGetItemWidth(E); });
  Event(Filer, L"OnMeasureItem", OnMeasureItem, A ? &A->OnMeasureItem : nullptr);
  // The items with their states come last: the kind and the sorting above
  // shape them. The layout's version goes with them for other readers;
  // this one tells the layout from the values themselves.
  const bool ItemsDiffer = DiffersFrom(Ancestor);
  Filer->DefineProperty(
      L"InternalVersion", [](TReader* Reader) { Reader->ReadInteger(); },
      [](TWriter* Writer) { Writer->WriteInteger(202); }, Ancestor == nullptr || ItemsDiffer);
  Filer->DefineProperty(
      L"Strings", [this](TReader* Reader) { ReadCheckData(Reader); },
      [this](TWriter* Writer) { WriteCheckData(Writer); }, ItemsDiffer);
}

bool TExtCheckListBox::DiffersFrom(TExtCheckListBox* Ancestor) {
  int N = ItemCountWithoutWindow();
  if (!Ancestor || N == 0 || Ancestor->ItemCountWithoutWindow() != N) return N > 0;
  // Every item counts, the first one too.
  for (int I = 0; I < N; ++I) {
    TCheckListBoxItem* Mine = FindCheckObject(I);
    TCheckListBoxItem* Theirs = Ancestor->FindCheckObject(I);
    if (CompareText(items_->Get(I), Ancestor->Items()->Get(I)) != 0 ||
        (Mine ? Mine->State : cbUnchecked) != (Theirs ? Theirs->State : cbUnchecked) ||
        (Mine ? Mine->Enabled : true) != (Theirs ? Theirs->Enabled : true))
      return true;
  }
  return false;
}

void TExtCheckListBox::WriteCheckData(TWriter* Writer) {
  Writer->WriteListBegin();
  for (int I = 0; I < items_->GetCount(); ++I) {
    TCheckListBoxItem* O = FindCheckObject(I);
    Writer->WriteString(items_->Get(I));
    Writer->WriteInteger(static_cast<int>(O ? O->State : cbUnchecked));
    Writer->WriteBoolean(O ? O->Enabled : true);
  }
  Writer->WriteListEnd();
}

namespace {

bool IsIntegerValue(TValueType V) { return V == vaInt8 || V == vaInt16 || V == vaInt32 || V == vaInt64; }

}  // namespace

// The whole list is read before the items change: a broken one leaves
// them as they were. Each entry tells its own layout, whatever version
// came before it (a value stored alone, by a form storage, comes with
// none): after the text, an integer is the state of the current layout
// (then enabled); a boolean is an older one's checked flag (then enabled,
// and from version 1 on the state as an integer).
void TExtCheckListBox::ReadCheckData(TReader* Reader) {
  struct TEntry {
    String Text;
    TCheckBoxState State;
    bool Enabled;
  };
  std::vector<TEntry> Read;
  Reader->ReadListBegin();
  while (!Reader->EndOfList()) {
    TEntry E;
    E.Text = Reader->ReadString();
    if (IsIntegerValue(Reader->NextValue())) {
      E.State = static_cast<TCheckBoxState>(Reader->ReadInteger());
      E.Enabled = Reader->ReadBoolean();
    } else {
      E.State = Reader->ReadBoolean() ? cbChecked : cbUnchecked;
      E.Enabled = Reader->ReadBoolean();
      if (IsIntegerValue(Reader->NextValue())) E.State = static_cast<TCheckBoxState>(Reader->ReadInteger());
    }
    if (E.State != cbChecked && E.State != cbGrayed) E.State = cbUnchecked;
    Read.push_back(std::move(E));
  }
  Reader->ReadListEnd();
  // As many items as are held: each stays, with its data and its check
  // object, and takes the text, state and enabled flag read. A sorted list
  // keeps its own order, so there only the same texts stay.
  const int N = items_->GetCount();
  bool InPlace = static_cast<int>(Read.size()) == N;
  for (int I = 0; InPlace && sorted_ && I < N; ++I) InPlace = items_->Get(I) == Read[I].Text;
  items_->BeginUpdate();
  try {
    if (InPlace) {
      // The lines stay where the user left them: selected and scrolled.
      const int ItemIndex = GetItemIndex();
      const int TopIndex = GetTopIndex();
      bool Renamed = false;
      for (int I = 0; I < N; ++I) {
        const TEntry& E = Read[I];
        TCheckListBoxItem* O = GetCheckObject(I);
        if (items_->Get(I) != E.Text) {
          // A new text is a new line of the window: the check object and
          // the line's selection move over to it.
          const bool Sel = multiSelect_ && GetSelected(I);
          TExtCustomListBox::SetItemData(I, 0);
          TExtCustomListBox::DeleteString(I);
          items_->Insert(I, E.Text);
          TExtCustomListBox::SetItemData(I, reinterpret_cast<LONG_PTR>(O));
          if (Sel) SetSelected(I, true);
          Renamed = true;
        }
        O->State = E.State;
        O->Enabled = E.Enabled;
      }
      if (Renamed) {
        SetItemIndex(ItemIndex);
        SetTopIndex(TopIndex);
      }
    } else {
      items_->Clear();
      for (const TEntry& E : Read) {
        TCheckListBoxItem* O = GetCheckObject(items_->Add(E.Text));
        O->State = E.State;
        O->Enabled = E.Enabled;
      }
    }
  } catch (...) {
    items_->EndUpdate();
    throw;
  }
  items_->EndUpdate();
  ForceRadio();
}

void TExtCheckListBox::ApplyState(TCheckBoxState AState, bool EnabledOnly) {
  if (checkKind_ == ckRadioButtons) return;
  for (int I = 0; I < items_->GetCount(); ++I)
    if (!EnabledOnly || GetItemEnabled(I)) SetState(I, AState);
}

void TExtCheckListBox::SetItems(TStrings* Value) {
  auto* Strings = dynamic_cast<TExtListBoxStrings*>(Value);
  auto* Source = Strings ? dynamic_cast<TExtCheckListBox*>(Strings->Owner()) : nullptr;
  if (Source == this) return;
  items_->BeginUpdate();
  try {
    if (!Source) {
      TExtCustomListBox::SetItems(Value);
    } else {
      // A sorted list puts the items in an order of its own: each state
      // goes where its text went.
      items_->Clear();
      TStrings* From = Source->Items();
      for (int I = 0; I < From->GetCount(); ++I) {
        int At = items_->AddObject(From->Get(I), From->GetObjects(I));
        TCheckListBoxItem* O = GetCheckObject(At);
        O->State = Source->FindCheckObject(I) ? Source->FindCheckObject(I)->State : cbUnchecked;
        O->Enabled = Source->GetItemEnabled(I);
      }
    }
  } catch (...) {
    items_->EndUpdate();
    throw;
  }
  items_->EndUpdate();
}

void TExtCheckListBox::InvalidateCheck(int Index) {
  if (!handle_) return;
  TRect R = ItemRect(Index);
  if (UseRightToLeftReading())
    R.left = R.right - CheckWidth();
  else
    R.right = R.left + CheckWidth();
  InvalidateRect(handle_, &R, !ControlStyle.Contains(csOpaque));
  UpdateWindow(handle_);
}

void TExtCheckListBox::InvalidateItem(int Index) {
  if (!handle_) return;
  TRect R = ItemRect(Index);
  InvalidateRect(handle_, &R, !ControlStyle.Contains(csOpaque));
  UpdateWindow(handle_);
}

void TExtCheckListBox::ToggleClickCheck(int Index) {
  if (Index < 0 || Index >= items_->GetCount() || !GetItemEnabled(Index)) return;
  switch (GetState(Index)) {
    case cbUnchecked: SetState(Index, GetAllowGrayed() ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(Index, cbUnchecked); break;
    case cbGrayed: SetState(Index, cbChecked); break;
  }
  ClickCheck();
}

void TExtCheckListBox::ClickCheck() {
  if (OnClickCheck) OnClickCheck(this);
}

void TExtCheckListBox::ChangeItemState(int Index) {
  if (OnStateChange) OnStateChange(this, Index);
}

void TExtCheckListBox::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (Button == mbLeft) {
    int Index = ItemAtPos(TPoint{X, Y}, true);
    if (Index >= 0) {
      TRect R = ItemRect(Index);
      bool OnCheck = UseRightToLeftReading() ? X - (R.right - CheckWidth()) > 0 && X - (R.right - CheckWidth()) < CheckWidth()
                                             : X - R.left < CheckWidth();
      if (OnCheck) ToggleClickCheck(Index);
    }
  }
  TExtCustomListBox::MouseDown(Button, Shift, X, Y);
}

void TExtCheckListBox::KeyPress(wchar_t& Key) {
  TExtCustomListBox::KeyPress(Key);
  switch (Key) {
    case L' ':
      ToggleClickCheck(GetItemIndex());
      Key = 0;
      break;
    case L'+':
      ApplyState(cbChecked, true);
      ClickCheck();
      break;
    case L'-':
      ApplyState(cbUnchecked, true);
      ClickCheck();
      break;
    default:
      break;
  }
}

void TExtCheckListBox::WndProc(TMessage& M) {
  TExtCustomListBox::WndProc(M);
  if (M.Msg == WM_SETFONT || M.Msg == CM_FONTCHANGED) ResetItemHeight();
}

// ---------------------------------------------------------------------------
// Stored states

String TExtCheckListBox::DefaultSection() { return GetDefaultSection(this); }

void TExtCheckListBox::WriteStates(TObject* Ini, const String& Section) {
  IniEraseSection(Ini, Section);
  int N = items_->GetCount();
  IniWriteInteger(Ini, Section, L"Count", N);
  for (int I = 0; I < N; ++I) IniWriteInteger(Ini, Section, Format(L"Item%d", I), static_cast<int>(GetState(I)));
}

void TExtCheckListBox::ReadStates(TObject* Ini, const String& Section) {
  int N = std::min(IniReadInteger(Ini, Section, L"Count", 0), items_->GetCount());
  for (int I = 0; I < N; ++I) {
    int V = IniReadInteger(Ini, Section, Format(L"Item%d", I), 0);
    // Only the three states exist; anything else reads as unchecked.
    TCheckBoxState S = V == cbChecked || V == cbGrayed ? static_cast<TCheckBoxState>(V) : cbUnchecked;
    SetState(I, S);
    if (checkKind_ == ckRadioButtons && S == cbChecked) break;
  }
}

void TExtCheckListBox::SaveStates(TCustomIniFile* IniFile) { WriteStates(IniFile, DefaultSection()); }
void TExtCheckListBox::RestoreStates(TCustomIniFile* IniFile) { ReadStates(IniFile, DefaultSection()); }
void TExtCheckListBox::SaveStatesReg(TRegIniFile* IniFile) { WriteStates(IniFile, DefaultSection()); }
void TExtCheckListBox::RestoreStatesReg(TRegIniFile* IniFile) { ReadStates(IniFile, DefaultSection()); }

void TExtCheckListBox::IniSave(TObject*) {
  if (TObject* Ini = iniLink_->GetIniObject()) WriteStates(Ini, iniLink_->GetRootSection() + DefaultSection());
}

void TExtCheckListBox::IniLoad(TObject*) {
  if (TObject* Ini = iniLink_->GetIniObject()) ReadStates(Ini, iniLink_->GetRootSection() + DefaultSection());
}

