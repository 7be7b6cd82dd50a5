// The hex editor on a form of its own for window tests, and the colours it
// shows in a cell.
#pragma once

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "classlib/Forms.h"
#include "testsupport/Pump.h"
#include "valueedit/HexEditor.h"
#include "valueedit/tests/window_picture.h"

struct EditorHost {
  std::unique_ptr<TForm> form;
  THexEditor* ed = nullptr;
  explicit EditorHost(int w = 520, int h = 300) {
    form.reset(new TForm(Application));
    form->SetBorderStyle(bsNone);
    form->SetBounds(30, 30, w, h);
    ed = new THexEditor(form.get());
    ed->SetBounds(0, 0, w, h);
    ed->SetParent(form.get());
    form->Show();
    ed->HandleNeeded();
    ed->SetFocus();
    testsupport::Pump(30);
  }
  void SetData(const std::string& s) {
    ed->SetAsText(s);
    ed->ResetUndo();
    ed->SetSelStart(0);
  }
  void Char(wchar_t c) { SendMessageW(ed->GetHandle(), WM_CHAR, c, 0); }
  void Key(WORD vk) { SendMessageW(ed->GetHandle(), WM_KEYDOWN, vk, 0); }
  void Click(int x, int y) {
    SendMessageW(ed->GetHandle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    SendMessageW(ed->GetHandle(), WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  }
  // Widens the form and the editor until one whole row of cells fits. The
  // cell width follows the font's "w", and which font stands in for Courier
  // New differs between machines, so a fixed window width does not do.
  void FitWholeRow() {
    int need = 0;
    for (int c = 0; c < ed->GetColCount(); ++c)
      if (ed->GetColWidths(c) > 0) need += ed->GetColWidths(c) + ed->GetGridLineWidth();
    int frame = ed->GetWidth() - RectWidth(ed->GetClientRect());
    int w = need + frame + GetSystemMetrics(SM_CXVSCROLL);
    if (w <= ed->GetWidth()) return;
    form->SetBounds(form->GetLeft(), form->GetTop(), w, form->GetHeight());
    ed->SetBounds(0, 0, w, ed->GetHeight());
    testsupport::Pump(10);
  }
  // Colours found inside a cell after painting.
  std::vector<COLORREF> CellColors(int col, int row) {
    ed->Invalidate();
    ed->Update();
    TRect r = ed->CellRect(col, row);
    std::vector<COLORREF> out;
    HDC dc = GetDC(ed->GetHandle());
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) out.push_back(GetPixel(dc, x, y));
    ReleaseDC(ed->GetHandle(), dc);
    return out;
  }
  static bool Has(const std::vector<COLORREF>& v, TColor c) {
    COLORREF want = ColorToRef(c);
    return std::find(v.begin(), v.end(), want) != v.end();
  }
};
