#include "extlib/ExCtlListBox.h"

#include <algorithm>
#include <cmath>


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
  int width;
  if (GetTabWidth() >= 1) {
    // Tabs expand to the stops the window sets from TabWidth (dialog units,
    // a quarter of the width of "0" each).
    SIZE zero{};
    GetTextExtentPoint32W(dc, L"0", 1, &zero);
    int stop = int(std::lround(GetTabWidth() * zero.cx * 0.25));
    width = LOWORD(GetTabbedTextExtentW(dc, s.c_str(), int(s.size()), 1, &stop));
  } else {
    SIZE sz{};
    GetTextExtentPoint32W(dc, s.c_str(), int(s.size()), &sz);
    width = int(sz.cx);
  }
  SelectObject(dc, old);
  ReleaseDC(handle_, dc);
  return width;
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
