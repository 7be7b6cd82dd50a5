#include "classlib/CheckLst.h"

TCheckListBox::TCheckListBox(TComponent* AOwner) : TCustomListBox(AOwner) { style_ = lbOwnerDrawFixed; }

TCheckListBox::Item& TCheckListBox::At(int Index) {
  if (Index < 0 || Index >= items_->GetCount()) throw EListError(L"List index out of bounds (" + IntToStr(Index) + L")");
  if (size_t(Index) >= states_.size()) states_.resize(size_t(Index) + 1);
  return states_[size_t(Index)];
}

TCheckBoxState TCheckListBox::GetState(int Index) const {
  if (Index < 0 || Index >= items_->GetCount()) throw EListError(L"List index out of bounds (" + IntToStr(Index) + L")");
  return size_t(Index) < states_.size() ? states_[size_t(Index)].State : cbUnchecked;
}

void TCheckListBox::SetState(int Index, TCheckBoxState Value) {
  Item& i = At(Index);
  if (i.State == Value) return;
  i.State = Value;
  if (HandleAllocated()) {
    RECT r;
    if (SendMessageW(handle_, LB_GETITEMRECT, WPARAM(Index), LPARAM(&r)) != LB_ERR) InvalidateRect(handle_, &r, FALSE);
  }
}

bool TCheckListBox::GetItemEnabled(int Index) const {
  if (Index < 0 || Index >= items_->GetCount()) throw EListError(L"List index out of bounds (" + IntToStr(Index) + L")");
  return size_t(Index) < states_.size() ? states_[size_t(Index)].Enabled : true;
}

void TCheckListBox::SetItemEnabled(int Index, bool Value) {
  Item& i = At(Index);
  if (i.Enabled == Value) return;
  i.Enabled = Value;
  Invalidate();
}

int TCheckListBox::CheckWidth() const { return GetSystemMetrics(SM_CXMENUCHECK) + 2; }

void TCheckListBox::CreateWnd() {
  TCustomListBox::CreateWnd();
  states_.resize(size_t(items_->GetCount()));
}

void TCheckListBox::ClickCheck() {
  if (OnClickCheck) OnClickCheck(this);
}

void TCheckListBox::Toggle(int Index) {
  if (!GetItemEnabled(Index)) return;
  switch (GetState(Index)) {
    case cbUnchecked: SetState(Index, allowGrayed_ ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(Index, cbUnchecked); break;
    case cbGrayed: SetState(Index, cbChecked); break;
  }
  ClickCheck();
}

void TCheckListBox::WndProc(TMessage& m) {
  // While the window is being filled from the list, the states stay.
  const bool filling = ControlState.Contains(csCreating) || ControlState.Contains(csRecreating);
  switch (m.Msg) {
    case LB_ADDSTRING:
    case LB_INSERTSTRING: {
      TCustomListBox::WndProc(m);
      const int at = int(m.Result);
      if (!filling && at >= 0 && size_t(at) <= states_.size()) states_.insert(states_.begin() + at, Item{});
      return;
    }
    case LB_DELETESTRING:
      if (!filling && m.WParam < states_.size()) states_.erase(states_.begin() + ptrdiff_t(m.WParam));
      break;
    case LB_RESETCONTENT:
      if (!filling) states_.clear();
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
      TCustomListBox::WndProc(m);
      const TPoint p{short(LOWORD(m.LParam)), short(HIWORD(m.LParam))};
      const int i = ItemAtPos(p, true);
      if (i >= 0) {
        const TRect r = ItemRect(i);
        const bool rtl = GetWindowLongW(handle_, GWL_EXSTYLE) & WS_EX_RTLREADING;
        const bool onBox = rtl ? p.x >= r.right - CheckWidth() : p.x < r.left + CheckWidth();
        if (onBox) Toggle(i);
      }
      return;
    }
    case WM_CHAR:
      if (m.WParam == L' ') {
        const int i = GetItemIndex();
        if (i >= 0) Toggle(i);
        m.Result = 0;
        return;
      }
      break;
    default: break;
  }
  TCustomListBox::WndProc(m);
}

void TCheckListBox::DrawItem(int index, TRect r, TOwnerDrawState state) {
  // The check box cell, then the item as a plain list box draws it.
  TRect box = r;
  box.right = box.left + CheckWidth();
  r.left = box.right;
  HDC dc = canvas_->GetHandle();
  FillRect(dc, &box, GetSysColorBrush(COLOR_WINDOW));
  if (index >= 0 && index < items_->GetCount()) {
    const int size = GetSystemMetrics(SM_CXMENUCHECK) - 2;
    RECT cb{box.left + (RectWidth(box) - size) / 2, box.top + (RectHeight(box) - size) / 2, 0, 0};
    cb.right = cb.left + size;
    cb.bottom = cb.top + size;
    UINT s = DFCS_BUTTONCHECK | DFCS_FLAT;
    const TCheckBoxState st = GetState(index);
    if (st == cbChecked) s |= DFCS_CHECKED;
    if (st == cbGrayed) s = DFCS_BUTTON3STATE | DFCS_CHECKED | DFCS_FLAT;
    if (!GetItemEnabled(index)) s |= DFCS_INACTIVE;
    DrawFrameControl(dc, &cb, DFC_BUTTON, s);
    if (!GetItemEnabled(index) && !OnDrawItem) {
      canvas_->FillRect(r);
      SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
      SetBkMode(dc, TRANSPARENT);
      canvas_->TextOut(r.left + 2, r.top, items_->Get(index));
      return;
    }
  }
  TCustomListBox::DrawItem(index, r, state);
}
