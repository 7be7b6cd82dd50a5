#include "extlib/ExCtlListBox.h"

#include <algorithm>

#include "extlib/ExFiler.h"

void TTextListBox::DefineProperties(TFiler* Filer) {
  TCustomListBox::DefineProperties(Filer);
  auto* A = dynamic_cast<TTextListBox*>(Filer->GetAncestor());
  using namespace ExFiler;
  // The shape of the list before its lines.
  Enum(Filer, L"Style", GetStyle(), A ? A->GetStyle() : lbStandard,
       {L"lbStandard", L"lbOwnerDrawFixed", L"lbOwnerDrawVariable"},
       [this](int V) { SetStyle(static_cast<TListBoxStyle>(V)); });
  Integer(Filer, L"ItemHeight", itemHeight_, A ? A->itemHeight_ : 16,
          [this](int64_t V) { SetItemHeight(static_cast<int>(V)); });
  Boolean(Filer, L"MultiSelect", GetMultiSelect(), A ? A->GetMultiSelect() : false,
          [this](bool V) { SetMultiSelect(V); });
  Boolean(Filer, L"Sorted", GetSorted(), A ? A->GetSorted() : false, [this](bool V) { SetSorted(V); });
  Lines(Filer, L"Items.Strings", Items(), A ? A->Items() : nullptr);
  Event(Filer, L"OnDrawItem", OnDrawItem, A ? &A->OnDrawItem : nullptr);
}

void TTextListBox::CreateParams(TCreateParams& p) {
  TCustomListBox::CreateParams(p);
  p.Style |= WS_HSCROLL;
}

int TTextListBox::GetItemWidth(int index) {
  if (!HandleAllocated()) return 0;
  LRESULT len = SendMessageW(handle_, LB_GETTEXTLEN, WPARAM(index), 0);
  if (len == LB_ERR) return 0;
  String s(size_t(len) + 1, L'\0');
  LRESULT got = SendMessageW(handle_, LB_GETTEXT, WPARAM(index), LPARAM(s.data()));
  s.resize(got == LB_ERR ? 0 : size_t(got));
  s += L'x';
  HDC dc = GetDC(handle_);
  HGDIOBJ old = SelectObject(dc, font_->GetHandle());
  SIZE sz{};
  GetTextExtentPoint32W(dc, s.c_str(), int(s.size()), &sz);
  SelectObject(dc, old);
  ReleaseDC(handle_, dc);
  return int(sz.cx);
}

void TTextListBox::SetExtent() {
  if (HandleAllocated()) SendMessageW(handle_, LB_SETHORIZONTALEXTENT, WPARAM(maxWidth_), 0);
}

void TTextListBox::ResetExtent() {
  maxWidth_ = 0;
  if (!HandleAllocated()) return;
  int n = int(SendMessageW(handle_, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) maxWidth_ = std::max(maxWidth_, GetItemWidth(i));
  SetExtent();
}

void TTextListBox::ScrollToLeft() {
  if (HandleAllocated()) SendMessageW(handle_, WM_HSCROLL, SB_TOP, 0);
}

void TTextListBox::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_SETFONT:
      TCustomListBox::WndProc(m);
      ResetExtent();
      return;
    case LB_ADDSTRING:
    case LB_INSERTSTRING:
      TCustomListBox::WndProc(m);
      if (LRESULT(m.Result) >= 0) {
        maxWidth_ = std::max(maxWidth_, GetItemWidth(int(m.Result)));
        SetExtent();
      }
      return;
    case LB_DELETESTRING:
      if (GetItemWidth(int(m.WParam)) < maxWidth_) {
        TCustomListBox::WndProc(m);
      } else {
        ScrollToLeft();
        TCustomListBox::WndProc(m);
        ResetExtent();
      }
      return;
    case LB_RESETCONTENT:
      maxWidth_ = 0;
      SetExtent();
      ScrollToLeft();
      TCustomListBox::WndProc(m);
      return;
    default: break;
  }
  TCustomListBox::WndProc(m);
}
