#include "classlib/StdCtrls.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

namespace {

String WindowText(HWND h) {
  int n = GetWindowTextLengthW(h);
  String s(size_t(n), L'\0');
  if (n) {
    int got = GetWindowTextW(h, s.data(), n + 1);
    s.resize(size_t(std::max(0, got)));
  }
  return s;
}

TOwnerDrawState DrawStateOf(UINT st) {
  TOwnerDrawState s;
  if (st & ODS_SELECTED) s += odSelected;
  if (st & ODS_GRAYED) s += odGrayed;
  if (st & ODS_DISABLED) s += odDisabled;
  if (st & ODS_CHECKED) s += odChecked;
  if (st & ODS_FOCUS) s += odFocused;
  if (st & ODS_DEFAULT) s += odDefault;
  if (st & ODS_COMBOBOXEDIT) s += odComboBoxEdit;
  return s;
}

// Height of one line of text in a font, in pixels.
int FontTextHeight(TFont* f) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, f->GetHandle());
  TEXTMETRICW tm{};
  GetTextMetricsW(dc, &tm);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return tm.tmHeight;
}

}  // namespace

// ===========================================================================
// TCustomLabel

TCustomLabel::TCustomLabel(TComponent* AOwner) : TGraphicControl(AOwner) {
  ControlStyle = TControlStyle{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks, csReplicatable};
  width_ = 65;
  height_ = 17;
  parentColor_ = true;
}

void TCustomLabel::Notification(TComponent* AComponent, TOperation Operation) {
  TGraphicControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == focusControl_) focusControl_ = nullptr;
}

UINT TCustomLabel::TextFlags() const {
  UINT f = DT_EXPANDTABS;
  if (wordWrap_) f |= DT_WORDBREAK;
  else f |= DT_SINGLELINE;
  if (alignment_ == taRightJustify) f |= DT_RIGHT;
  else if (alignment_ == taCenter) f |= DT_CENTER;
  if (!showAccelChar_) f |= DT_NOPREFIX;
  return f;
}

void TCustomLabel::DoDrawText(TRect& r, UINT flags) {
  String text = text_;
  if ((flags & DT_CALCRECT) && (text.empty() || (showAccelChar_ && text[0] == L'&' && text.size() == 1)))
    text += L' ';
  HDC dc = Canvas()->GetHandle();
  HGDIOBJ old = SelectObject(dc, font_->GetHandle());
  SetBkMode(dc, TRANSPARENT);
  if (!enabled_ && !(flags & DT_CALCRECT)) {
    TRect o = r;
    OffsetRect(&o, 1, 1);
    SetTextColor(dc, ColorToRef(clBtnHighlight));
    DrawTextW(dc, text.c_str(), int(text.size()), &o, flags);
    SetTextColor(dc, ColorToRef(clBtnShadow));
  } else {
    SetTextColor(dc, ColorToRef(font_->GetColor()));
  }
  DrawTextW(dc, text.c_str(), int(text.size()), &r, flags);
  SelectObject(dc, old);
}

void TCustomLabel::Paint() {
  TRect r = GetClientRect();
  if (!transparent_) {
    Canvas()->Brush()->SetColor(color_);
    Canvas()->Brush()->SetStyle(bsSolid);
    Canvas()->FillRect(r);
  }
  UINT flags = TextFlags();
  if (layout_ != tlTop) {
    TRect calc = r;
    DoDrawText(calc, flags | DT_CALCRECT);
    int h = RectHeight(calc);
    if (layout_ == tlBottom) OffsetRect(&r, 0, RectHeight(r) - h);
    else OffsetRect(&r, 0, (RectHeight(r) - h) / 2);
  }
  DoDrawText(r, flags);
}

void TCustomLabel::AdjustBounds() {
  if (!autoSize_ || ControlState.Contains(csReadingState)) return;
  // Measure with a context like the screen's, made once: the label may not
  // have a parent window yet, and taking the screen's own is dear under Wine.
  static const HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font_->GetHandle());
  String text = text_;
  if (text.empty()) text = L" ";
  TRect r = Rect(0, 0, wordWrap_ ? width_ : 0, 0);
  DrawTextW(dc, text.c_str(), int(text.size()), &r, TextFlags() | DT_CALCRECT);
  SelectObject(dc, old);
  int w = wordWrap_ ? width_ : RectWidth(r);
  int l = left_;
  if (!wordWrap_ && alignment_ == taRightJustify) l = left_ + width_ - w;
  else if (!wordWrap_ && alignment_ == taCenter) l = left_ + (width_ - w) / 2;
  SetBounds(l, top_, w, RectHeight(r));
}

void TCustomLabel::SetAutoSize(bool v) {
  if (v == autoSize_) return;
  autoSize_ = v;
  AdjustBounds();
}

void TCustomLabel::SetWordWrap(bool v) {
  if (v == wordWrap_) return;
  wordWrap_ = v;
  AdjustBounds();
  Invalidate();
}

void TCustomLabel::SetTransparent(bool v) {
  if (v == transparent_) return;
  transparent_ = v;
  if (v) ControlStyle -= csOpaque;
  else ControlStyle += csOpaque;
  Invalidate();
}

void TCustomLabel::SetAlignment(TAlignment a) {
  if (a == alignment_) return;
  alignment_ = a;
  Invalidate();
}

void TCustomLabel::SetLayout(TTextLayout l) {
  if (l == layout_) return;
  layout_ = l;
  Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool v) {
  if (v == showAccelChar_) return;
  showAccelChar_ = v;
  AdjustBounds();
  Invalidate();
}

// Finds the accelerator (the character after a single '&') of a caption.
static wchar_t AccelOf(const String& s) {
  for (size_t i = 0; i + 1 < s.size(); ++i) {
    if (s[i] == L'&') {
      if (s[i + 1] == L'&') {
        ++i;
        continue;
      }
      return s[i + 1];
    }
  }
  return 0;
}

// CM_DIALOGCHAR at a caption that names a control to focus: true when the
// typed character is the caption's accelerator and the control took the focus.
static bool FocusByAccelerator(const String& caption, WPARAM typed, TWinControl* target) {
  const wchar_t a = AccelOf(caption);
  if (!a || CharUpperW(reinterpret_cast<LPWSTR>(uintptr_t(a))) != CharUpperW(reinterpret_cast<LPWSTR>(typed)) ||
      !target->CanFocus())
    return false;
  target->SetFocus();
  return true;
}

void TCustomLabel::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
      AdjustBounds();
      Invalidate();
      return;
    case CM_DIALOGCHAR:
      m.Result = focusControl_ && enabled_ && showAccelChar_ && FocusByAccelerator(text_, m.WParam, focusControl_);
      return;
    default: break;
  }
  TGraphicControl::WndProc(m);
}

// ===========================================================================
// Buttons

TButtonControl::TButtonControl(TComponent* AOwner) : TWinControl(AOwner) {
  ControlStyle = TControlStyle{csSetCaption, csDoubleClicks};
  tabStop_ = true;
}

TButton::TButton(TComponent* AOwner) : TButtonControl(AOwner) {
  width_ = 75;
  height_ = 25;
}

void TButton::CreateParams(TCreateParams& p) {
  TButtonControl::CreateParams(p);
  CreateSubClass(p, L"BUTTON");
  p.Style |= BS_PUSHBUTTON | (default_ ? BS_DEFPUSHBUTTON : 0);
  p.WindowClass.style &= ~UINT(CS_HREDRAW | CS_VREDRAW);
}

void TButton::SetDefault(bool v) {
  if (v == default_) return;
  default_ = v;
  if (handle_) SendMessageW(handle_, BM_SETSTYLE, v ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON, 1);
}

void TButton::Click() {
  if (TCustomForm* f = GetParentForm()) {
    if (modalResult_ != mrNone) f->SetModalResult(modalResult_);
  }
  TButtonControl::Click();
}

bool TButton::IsActive() {
  TCustomForm* f = GetParentForm();
  TWinControl* focused = f ? f->GetActiveControl() : nullptr;
  if (focused == this) return true;
  return default_ && !dynamic_cast<TButton*>(focused);
}

void TButton::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CN_COMMAND:
      if (HIWORD(m.WParam) == BN_CLICKED) {
        Click();
        m.Result = 0;
        return;
      }
      break;
    case CM_DIALOGKEY: {
      TShiftState shift = KeyDataToShiftState(m.LParam);
      bool enter = m.WParam == VK_RETURN && IsActive();
      bool esc = m.WParam == VK_ESCAPE && cancel_;
      if ((enter || esc) && !shift.Contains(ssAlt) && !shift.Contains(ssCtrl) && CanFocus()) {
        Click();
        m.Result = 1;
        return;
      }
      m.Result = 0;
      return;
    }
    case CM_DIALOGCHAR: {
      wchar_t a = AccelOf(GetText());
      if (a && CanFocus() &&
          CharUpperW(reinterpret_cast<LPWSTR>(uintptr_t(a))) == CharUpperW(reinterpret_cast<LPWSTR>(uintptr_t(m.WParam)))) {
        Click();
        m.Result = 1;
        return;
      }
      m.Result = 0;
      return;
    }
    default: break;
  }
  TButtonControl::WndProc(m);
}

TCustomCheckBox::TCustomCheckBox(TComponent* AOwner) : TButtonControl(AOwner) {
  width_ = 97;
  height_ = 17;
}

void TCustomCheckBox::CreateParams(TCreateParams& p) {
  TButtonControl::CreateParams(p);
  CreateSubClass(p, L"BUTTON");
  p.Style |= BS_3STATE;
  if (alignment_ == lrLeft) p.Style |= BS_LEFTTEXT;
  p.WindowClass.style &= ~UINT(CS_HREDRAW | CS_VREDRAW);
}

void TCustomCheckBox::CreateWnd() {
  TButtonControl::CreateWnd();
  SendMessageW(handle_, BM_SETCHECK, WPARAM(state_), 0);
}

void TCustomCheckBox::SaveWindowState() { state_ = TCheckBoxState(SendMessageW(handle_, BM_GETCHECK, 0, 0)); }

TCheckBoxState TCustomCheckBox::GetState() {
  if (handle_) state_ = TCheckBoxState(SendMessageW(handle_, BM_GETCHECK, 0, 0));
  return state_;
}

void TCustomCheckBox::SetState(TCheckBoxState s) {
  if (GetState() == s) return;
  state_ = s;
  if (handle_) SendMessageW(handle_, BM_SETCHECK, WPARAM(s), 0);
  Click();
}

void TCustomCheckBox::SetAlignment(TLeftRight a) {
  if (a == alignment_) return;
  alignment_ = a;
  RecreateWnd();
}

void TCustomCheckBox::Toggle() {
  switch (GetState()) {
    case cbUnchecked: SetState(allowGrayed_ ? cbGrayed : cbChecked); break;
    case cbChecked: SetState(cbUnchecked); break;
    case cbGrayed: SetState(cbChecked); break;
  }
}

void TCustomCheckBox::WndProc(TMessage& m) {
  if (m.Msg == CN_COMMAND && HIWORD(m.WParam) == BN_CLICKED) {
    Toggle();
    m.Result = 0;
    return;
  }
  TButtonControl::WndProc(m);
}

TRadioButton::TRadioButton(TComponent* AOwner) : TButtonControl(AOwner) {
  width_ = 113;
  height_ = 17;
}

void TRadioButton::CreateParams(TCreateParams& p) {
  TButtonControl::CreateParams(p);
  CreateSubClass(p, L"BUTTON");
  p.Style |= BS_RADIOBUTTON;
  p.WindowClass.style &= ~UINT(CS_HREDRAW | CS_VREDRAW);
}

void TRadioButton::CreateWnd() {
  TButtonControl::CreateWnd();
  SendMessageW(handle_, BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TRadioButton::SetChecked(bool v) {
  if (v == checked_) return;
  checked_ = v;
  tabStop_ = v;
  if (handle_) SendMessageW(handle_, BM_SETCHECK, v ? BST_CHECKED : BST_UNCHECKED, 0);
  if (v) {
    // Only one radio button of a parent is checked.
    if (parent_) {
      for (int i = 0; i < parent_->ControlCount(); ++i) {
        auto* r = dynamic_cast<TRadioButton*>(parent_->Controls(i));
        if (r && r != this) r->SetChecked(false);
      }
    }
    Click();
  }
}

void TRadioButton::WndProc(TMessage& m) {
  if (m.Msg == CN_COMMAND) {
    WORD code = HIWORD(m.WParam);
    if (code == BN_CLICKED || code == BN_DOUBLECLICKED) {
      if (code == BN_CLICKED) SetChecked(true);
      else DblClick();
      m.Result = 0;
      return;
    }
  }
  TButtonControl::WndProc(m);
}

// ===========================================================================
// TCustomEdit

TCustomEdit::TCustomEdit(TComponent* AOwner) : TWinControl(AOwner) {
  ControlStyle = TControlStyle{csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks};
  width_ = 121;
  height_ = 25;
  tabStop_ = true;
  color_ = clWindow;
  brush_->SetColor(clWindow);
}

void TCustomEdit::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  CreateSubClass(p, L"EDIT");
  p.Style |= ES_AUTOHSCROLL | ES_AUTOVSCROLL;
  if (!hideSelection_) p.Style |= ES_NOHIDESEL;
  if (charCase_ == ecUpperCase) p.Style |= ES_UPPERCASE;
  if (charCase_ == ecLowerCase) p.Style |= ES_LOWERCASE;
  if (readOnly_) p.Style |= ES_READONLY;
  if (passwordChar_) p.Style |= ES_PASSWORD;
  if (oemConvert_) p.Style |= ES_OEMCONVERT;
  if (borderStyle_ == bsSingle) p.ExStyle |= WS_EX_CLIENTEDGE;
  p.WindowClass.style &= ~UINT(CS_HREDRAW | CS_VREDRAW);
}

void TCustomEdit::CreateWnd() {
  creating_ = true;
  try {
    TWinControl::CreateWnd();
  } catch (...) {
    creating_ = false;
    throw;
  }
  creating_ = false;
  SendMessageW(handle_, EM_LIMITTEXT, WPARAM(maxLength_), 0);
  if (passwordChar_) SendMessageW(handle_, EM_SETPASSWORDCHAR, WPARAM(passwordChar_), 0);
  SendMessageW(handle_, EM_SETMODIFY, modified_, 0);
  SendMessageW(handle_, EM_SETSEL, WPARAM(savedSelStart_), LPARAM(savedSelStart_ + savedSelLength_));
  AdjustHeight();
}

void TCustomEdit::SaveWindowState() {
  modified_ = SendMessageW(handle_, EM_GETMODIFY, 0, 0) != 0;
  DWORD a = 0, b = 0;
  SendMessageW(handle_, EM_GETSEL, WPARAM(&a), LPARAM(&b));
  savedSelStart_ = int(a);
  savedSelLength_ = int(b - a);
}

void TCustomEdit::AdjustHeight() {
  if (!autoSize_ || dynamic_cast<TCustomMemo*>(this)) return;
  int h = FontTextHeight(font_.get());
  int border = borderStyle_ == bsSingle ? GetSystemMetrics(SM_CYEDGE) * 2 + 4 : 2;
  if (height_ != h + border) SetHeight(h + border);
}

void TCustomEdit::SetMaxLength(int n) {
  if (n < 0) n = 0;
  maxLength_ = n;
  if (handle_) SendMessageW(handle_, EM_LIMITTEXT, WPARAM(n), 0);
}

void TCustomEdit::SetReadOnly(bool v) {
  readOnly_ = v;
  if (handle_) SendMessageW(handle_, EM_SETREADONLY, v, 0);
}

void TCustomEdit::SetPasswordChar(wchar_t c) {
  if (c == passwordChar_) return;
  passwordChar_ = c;
  RecreateWnd();
}

void TCustomEdit::SetCharCase(TEditCharCase c) {
  if (c == charCase_) return;
  charCase_ = c;
  RecreateWnd();
}

void TCustomEdit::SetBorderStyle(TBorderStyle b) {
  if (b == borderStyle_) return;
  borderStyle_ = b;
  RecreateWnd();
}

void TCustomEdit::SetAutoSize(bool v) {
  autoSize_ = v;
  if (v && handle_) AdjustHeight();
}

void TCustomEdit::SetHideSelection(bool v) {
  if (v == hideSelection_) return;
  hideSelection_ = v;
  RecreateWnd();
}

bool TCustomEdit::GetModified() {
  if (handle_) modified_ = SendMessageW(handle_, EM_GETMODIFY, 0, 0) != 0;
  return modified_;
}

void TCustomEdit::SetModified(bool v) {
  modified_ = v;
  if (handle_) SendMessageW(handle_, EM_SETMODIFY, v, 0);
}

int TCustomEdit::GetSelStart() {
  if (!handle_) return savedSelStart_;
  DWORD a = 0;
  SendMessageW(GetHandle(), EM_GETSEL, WPARAM(&a), 0);
  return int(a);
}

void TCustomEdit::SetSelStart(int v) {
  savedSelStart_ = v;
  savedSelLength_ = 0;
  if (handle_) SendMessageW(handle_, EM_SETSEL, WPARAM(v), LPARAM(v));
}

int TCustomEdit::GetSelLength() {
  if (!handle_) return savedSelLength_;
  DWORD a = 0, b = 0;
  SendMessageW(handle_, EM_GETSEL, WPARAM(&a), LPARAM(&b));
  return int(b - a);
}

void TCustomEdit::SetSelLength(int v) {
  int s = GetSelStart();
  savedSelLength_ = v;
  if (handle_) {
    SendMessageW(handle_, EM_SETSEL, WPARAM(s), LPARAM(s + v));
    SendMessageW(handle_, EM_SCROLLCARET, 0, 0);
  }
}

String TCustomEdit::GetSelText() {
  String t = GetText();
  int s = std::clamp(GetSelStart(), 0, int(t.size()));
  int n = std::clamp(GetSelLength(), 0, int(t.size()) - s);
  return t.substr(size_t(s), size_t(n));
}

void TCustomEdit::SetSelText(const String& s) {
  HandleNeeded();
  SendMessageW(handle_, EM_REPLACESEL, 0, LPARAM(s.c_str()));
}

void TCustomEdit::SelectAll() { SendMessageW(GetHandle(), EM_SETSEL, 0, -1); }

void TCustomEdit::ClearSelection() { SendMessageW(GetHandle(), WM_CLEAR, 0, 0); }

void TCustomEdit::CopyToClipboard() { SendMessageW(GetHandle(), WM_COPY, 0, 0); }

void TCustomEdit::CutToClipboard() { SendMessageW(GetHandle(), WM_CUT, 0, 0); }

void TCustomEdit::PasteFromClipboard() { SendMessageW(GetHandle(), WM_PASTE, 0, 0); }

void TCustomEdit::Undo() { SendMessageW(GetHandle(), WM_UNDO, 0, 0); }

bool TCustomEdit::CanUndo() { return handle_ && SendMessageW(handle_, EM_CANUNDO, 0, 0) != 0; }

void TCustomEdit::SetTextImpl(const String& s) {
  unsigned before = changeCount_;
  TWinControl::SetTextImpl(s);
  // Some edit controls (Wine's) send no EN_CHANGE for WM_SETTEXT: report
  // the change ourselves, once.
  if (handle_ && changeCount_ == before && !creating_) Change();
}

void TCustomEdit::Change() {
  if (OnChange) OnChange(this);
}

void TCustomEdit::DoEnter() {
  if (autoSelect_ && !(GetKeyState(VK_LBUTTON) < 0) && !dynamic_cast<TCustomMemo*>(this)) SelectAll();
  TWinControl::DoEnter();
}

void TCustomEdit::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CN_COMMAND:
      if (HIWORD(m.WParam) == EN_CHANGE && !creating_) {
        ++changeCount_;
        Change();
        m.Result = 0;
        return;
      }
      break;
    case CM_TEXTCHANGED:
      // With a window, EN_CHANGE reports the change.
      if (!handle_) Change();
      return;
    case CM_FONTCHANGED:
      TWinControl::WndProc(m);
      if (handle_) AdjustHeight();
      return;
    default: break;
  }
  TWinControl::WndProc(m);
}

// ===========================================================================
// TCustomMemo

std::vector<String> TMemoStrings::Split() const {
  std::vector<String> lines;
  String t = memo_->GetText();
  if (t.empty()) return lines;
  size_t start = 0;
  for (size_t i = 0; i < t.size(); ++i) {
    if (t[i] == L'\r' || t[i] == L'\n') {
      lines.push_back(t.substr(start, i - start));
      if (t[i] == L'\r' && i + 1 < t.size() && t[i + 1] == L'\n') ++i;
      start = i + 1;
    }
  }
  if (start < t.size()) lines.push_back(t.substr(start));
  return lines;
}

void TMemoStrings::Join(const std::vector<String>& lines) {
  String t;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) t += L"\r\n";
    t += lines[i];
  }
  memo_->SetText(t);
}

String TMemoStrings::Get(int Index) const {
  auto l = Split();
  if (Index < 0 || Index >= int(l.size())) Error(L"List index out of bounds (%d)", Index);
  return l[size_t(Index)];
}

int TMemoStrings::GetCount() const { return int(Split().size()); }

void TMemoStrings::Put(int Index, const String& S) {
  auto l = Split();
  if (Index < 0 || Index >= int(l.size())) Error(L"List index out of bounds (%d)", Index);
  l[size_t(Index)] = S;
  Join(l);
}

void TMemoStrings::Insert(int Index, const String& S) {
  auto l = Split();
  if (Index < 0 || Index > int(l.size())) Error(L"List index out of bounds (%d)", Index);
  l.insert(l.begin() + Index, S);
  Join(l);
}

void TMemoStrings::Delete(int Index) {
  auto l = Split();
  if (Index < 0 || Index >= int(l.size())) Error(L"List index out of bounds (%d)", Index);
  l.erase(l.begin() + Index);
  Join(l);
}

void TMemoStrings::Clear() { memo_->SetText(String()); }

String TMemoStrings::GetText() const {
  String t;
  for (auto& s : Split()) t += s + L"\r\n";
  return t;
}

void TMemoStrings::SetText(const String& Value) {
  String t;
  // Normalise line ends to CR LF for the edit control.
  for (size_t i = 0; i < Value.size(); ++i) {
    if (Value[i] == L'\r' || Value[i] == L'\n') {
      t += L"\r\n";
      if (Value[i] == L'\r' && i + 1 < Value.size() && Value[i + 1] == L'\n') ++i;
    } else {
      t += Value[i];
    }
  }
  if (t.size() >= 2 && t.compare(t.size() - 2, 2, L"\r\n") == 0) t.resize(t.size() - 2);
  memo_->SetText(t);
}

TCustomMemo::TCustomMemo(TComponent* AOwner) : TCustomEdit(AOwner), lines_(std::make_unique<TMemoStrings>(this)) {
  width_ = 185;
  height_ = 89;
  autoSize_ = false;
}

TCustomMemo::~TCustomMemo() = default;

void TCustomMemo::CreateParams(TCreateParams& p) {
  TCustomEdit::CreateParams(p);
  p.Style &= ~DWORD(ES_AUTOHSCROLL);
  p.Style |= ES_MULTILINE;
  if (wantReturns_) p.Style |= ES_WANTRETURN;
  if (!wordWrap_ || scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) p.Style |= ES_AUTOHSCROLL;
  if (scrollBars_ == ssHorizontal || scrollBars_ == ssBoth) p.Style |= WS_HSCROLL;
  if (scrollBars_ == ssVertical || scrollBars_ == ssBoth) p.Style |= WS_VSCROLL;
}

void TCustomMemo::SetScrollBars(TScrollStyle s) {
  if (s == scrollBars_) return;
  scrollBars_ = s;
  RecreateWnd();
}

void TCustomMemo::SetWordWrap(bool v) {
  if (v == wordWrap_) return;
  wordWrap_ = v;
  RecreateWnd();
}

void TCustomMemo::WndProc(TMessage& m) {
  if (m.Msg == WM_GETDLGCODE) {
    TCustomEdit::WndProc(m);
    if (!wantTabs_) m.Result &= ~LRESULT(DLGC_WANTTAB);
    // The multi-line edit wants every key; a Tab it does not want goes to
    // the form all the same.
    if (!wantReturns_ || askingTab_) m.Result &= ~LRESULT(DLGC_WANTALLKEYS);
    return;
  }
  if (m.Msg == CN_KEYDOWN && m.WParam == VK_TAB && !wantTabs_) {
    askingTab_ = true;
    try {
      TCustomEdit::WndProc(m);
    } catch (...) {
      askingTab_ = false;
      throw;
    }
    askingTab_ = false;
    return;
  }
  TCustomEdit::WndProc(m);
}

// ===========================================================================
// Item strings

int TWinItemStrings::Add(const String& S) { return AddObject(S, nullptr); }

int TWinItemStrings::AddObject(const String& S, TObject* AObject) {
  int before = GetCount();
  int i = TStringList::AddObject(S, AObject);
  if (GetCount() != before && Live()) InsertLive(i, S);
  return i;
}

void TWinItemStrings::InsertLive(int index, const String& s) {
  SendMessageW(owner_->GetHandle(), msgs_.Insert, WPARAM(index), LPARAM(s.c_str()));
}

void TWinItemStrings::Insert(int Index, const String& S) {
  TStringList::Insert(Index, S);
  if (Live()) InsertLive(Index, S);
}

void TWinItemStrings::Delete(int Index) {
  TStringList::Delete(Index);
  if (Live()) SendMessageW(owner_->GetHandle(), msgs_.Delete, WPARAM(Index), 0);
}

void TWinItemStrings::Clear() {
  TStringList::Clear();
  if (Live()) SendMessageW(owner_->GetHandle(), msgs_.Reset, 0, 0);
}

void TWinItemStrings::Put(int Index, const String& S) {
  TStringList::Put(Index, S);
  if (Live()) Reload();
}

void TWinItemStrings::Exchange(int Index1, int Index2) {
  TStringList::Exchange(Index1, Index2);
  if (Live()) Reload();
}

void TWinItemStrings::Move(int CurIndex, int NewIndex) {
  TStringList::Move(CurIndex, NewIndex);
  if (Live()) Reload();
}

void TWinItemStrings::Sort() {
  TStringList::Sort();
  if (Live()) Reload();
}

void TWinItemStrings::Reload() {
  if (!Live()) return;
  HWND h = owner_->GetHandle();
  SendMessageW(h, WM_SETREDRAW, FALSE, 0);
  SendMessageW(h, msgs_.Reset, 0, 0);
  for (int i = 0; i < GetCount(); ++i) {
    String s = Get(i);
    SendMessageW(h, msgs_.Insert, WPARAM(i), LPARAM(s.c_str()));
  }
  SendMessageW(h, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(h, nullptr, TRUE);
}

// ===========================================================================
// TCustomComboBox

TCustomComboBox::TCustomComboBox(TComponent* AOwner)
    : TWinControl(AOwner),
      items_(std::make_unique<TWinItemStrings>(
          this, TWinItemStrings::Messages{CB_ADDSTRING, CB_INSERTSTRING, CB_DELETESTRING, CB_RESETCONTENT, CB_SETITEMDATA})) {
  width_ = 145;
  height_ = 25;
  tabStop_ = true;
  color_ = clWindow;
  brush_->SetColor(clWindow);
}

TCustomComboBox::~TCustomComboBox() { DestroyHandle(); }

void TCustomComboBox::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  CreateSubClass(p, L"COMBOBOX");
  p.Style |= WS_VSCROLL | CBS_AUTOHSCROLL | CBS_HASSTRINGS;
  switch (style_) {
    case csDropDown: p.Style |= CBS_DROPDOWN; break;
    case csSimple: p.Style |= CBS_SIMPLE; break;
    case csDropDownList: p.Style |= CBS_DROPDOWNLIST; break;
    case csOwnerDrawFixed: p.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED; break;
    case csOwnerDrawVariable: p.Style |= CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE; break;
  }
  if (style_ != csSimple) p.Height = height_ + itemHeight_ * std::max(1, dropDownCount_) + 2;
  p.WindowClass.style &= ~UINT(CS_HREDRAW | CS_VREDRAW);
}

void TCustomComboBox::CreateWnd() {
  String text = text_;
  TWinControl::CreateWnd();
  items_->Reload();
  if (maxLength_) SendMessageW(handle_, CB_LIMITTEXT, WPARAM(maxLength_), 0);
  SendMessageW(handle_, CB_SETMINVISIBLE, WPARAM(std::max(1, dropDownCount_)), 0);
  if (itemIndex_ >= 0) SendMessageW(handle_, CB_SETCURSEL, WPARAM(itemIndex_), 0);
  else if (style_ == csDropDown || style_ == csSimple) SetWindowTextW(handle_, text.c_str());
}

void TCustomComboBox::SaveWindowState() {
  itemIndex_ = int(SendMessageW(handle_, CB_GETCURSEL, 0, 0));
}

void TCustomComboBox::SetBounds(int l, int t, int w, int h) {
  TWinControl::SetBounds(l, t, w, h);
  if (handle_ && style_ != csSimple)
    SetWindowPos(handle_, nullptr, 0, 0, width_, height_ + itemHeight_ * std::max(1, dropDownCount_) + 2,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int TCustomComboBox::GetItemIndex() {
  if (handle_) itemIndex_ = int(SendMessageW(handle_, CB_GETCURSEL, 0, 0));
  return itemIndex_;
}

void TCustomComboBox::SetItemIndex(int i) {
  if (i < -1 || i >= items_->GetCount()) i = -1;
  itemIndex_ = i;
  if (handle_) SendMessageW(handle_, CB_SETCURSEL, WPARAM(i), 0);
  else text_ = i >= 0 ? items_->Get(i) : String();
}

void TCustomComboBox::SetStyle(TComboBoxStyle s) {
  if (s == style_) return;
  style_ = s;
  RecreateWnd();
}

void TCustomComboBox::SetDropDownCount(int n) {
  dropDownCount_ = n;
  if (handle_) SendMessageW(handle_, CB_SETMINVISIBLE, WPARAM(std::max(1, n)), 0);
}

void TCustomComboBox::SetSorted(bool v) {
  if (v == sorted_) return;
  sorted_ = v;
  items_->SetSorted(v);
  items_->Reload();
}

void TCustomComboBox::SetMaxLength(int n) {
  maxLength_ = std::max(0, n);
  if (handle_) SendMessageW(handle_, CB_LIMITTEXT, WPARAM(maxLength_), 0);
}

bool TCustomComboBox::GetDroppedDown() { return handle_ && SendMessageW(handle_, CB_GETDROPPEDSTATE, 0, 0) != 0; }

void TCustomComboBox::SetDroppedDown(bool v) {
  if (handle_) SendMessageW(handle_, CB_SHOWDROPDOWN, v, 0);
}

void TCustomComboBox::Clear() {
  items_->Clear();
  itemIndex_ = -1;
  SetText(String());
}

void TCustomComboBox::SelectAll() {
  if (handle_) SendMessageW(handle_, CB_SETEDITSEL, 0, MAKELPARAM(0, 0xFFFF));
}

void TCustomComboBox::Change() {
  if (OnChange) OnChange(this);
}

void TCustomComboBox::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CN_COMMAND:
      switch (HIWORD(m.WParam)) {
        case CBN_EDITCHANGE:
          Change();
          return;
        case CBN_SELCHANGE:
          itemIndex_ = int(SendMessageW(handle_, CB_GETCURSEL, 0, 0));
          if (itemIndex_ >= 0 && itemIndex_ < items_->GetCount()) text_ = items_->Get(itemIndex_);
          Click();
          if (OnSelect) OnSelect(this);
          Change();
          return;
        case CBN_DROPDOWN:
          if (OnDropDown) OnDropDown(this);
          return;
        case CBN_CLOSEUP:
          if (OnCloseUp) OnCloseUp(this);
          return;
        default: break;
      }
      break;
    case CN_DRAWITEM:
      if (OnDrawItem) {
        auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
        OnDrawItem(this, int(d->itemID), d->rcItem, DrawStateOf(d->itemState));
        m.Result = 1;
        return;
      }
      break;
    case CN_MEASUREITEM: {
      auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
      mi->itemHeight = UINT(itemHeight_);
      m.Result = 1;
      return;
    }
    default: break;
  }
  TWinControl::WndProc(m);
}

// ===========================================================================
// TCustomListBox

TCustomListBox::TCustomListBox(TComponent* AOwner)
    : TWinControl(AOwner),
      items_(std::make_unique<TWinItemStrings>(
          this, TWinItemStrings::Messages{LB_ADDSTRING, LB_INSERTSTRING, LB_DELETESTRING, LB_RESETCONTENT, LB_SETITEMDATA})),
      canvas_(std::make_unique<TCanvas>()) {
  // The list reports its double clicks itself (LBN_DBLCLK); the mouse
  // handling must not report them a second time.
  ControlStyle -= csDoubleClicks;
  width_ = 121;
  height_ = 97;
  tabStop_ = true;
  color_ = clWindow;
  brush_->SetColor(clWindow);
}

TCustomListBox::~TCustomListBox() { DestroyHandle(); }

void TCustomListBox::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  CreateSubClass(p, L"LISTBOX");
  p.Style |= WS_VSCROLL | WS_HSCROLL | LBS_NOTIFY | LBS_HASSTRINGS;
  if (!integralHeight_) p.Style |= LBS_NOINTEGRALHEIGHT;
  if (multiSelect_) p.Style |= extendedSelect_ ? LBS_EXTENDEDSEL : LBS_MULTIPLESEL;
  if (columns_ > 0) p.Style |= LBS_MULTICOLUMN;
  if (tabWidth_ > 0) p.Style |= LBS_USETABSTOPS;
  if (style_ == lbOwnerDrawFixed) p.Style |= LBS_OWNERDRAWFIXED;
  if (style_ == lbOwnerDrawVariable) p.Style |= LBS_OWNERDRAWVARIABLE;
  if (borderStyle_ == bsSingle) {
    if (ctl3D_) p.ExStyle |= WS_EX_CLIENTEDGE;
    else p.Style |= WS_BORDER;
  }
  p.WindowClass.style &= ~UINT(CS_HREDRAW | CS_VREDRAW);
}

void TCustomListBox::CreateWnd() {
  TWinControl::CreateWnd();
  if (tabWidth_ > 0) {
    UINT stop = UINT(tabWidth_);
    SendMessageW(handle_, LB_SETTABSTOPS, 1, LPARAM(&stop));
  }
  SetColumnWidth();
  items_->Reload();
  if (style_ == lbOwnerDrawFixed) SendMessageW(handle_, LB_SETITEMHEIGHT, 0, itemHeight_);
  if (multiSelect_) {
    for (int i : savedSelection_) SendMessageW(handle_, LB_SETSEL, TRUE, i);
    if (itemIndex_ >= 0) SendMessageW(handle_, LB_SETCARETINDEX, WPARAM(itemIndex_), 0);
  } else {
    // From a multiple selection only the first item stays selected.
    int sel = !savedSelection_.empty() ? savedSelection_.front() : itemIndex_;
    if (sel >= 0) SendMessageW(handle_, LB_SETCURSEL, WPARAM(sel), 0);
  }
  SendMessageW(handle_, LB_SETTOPINDEX, WPARAM(topIndex_), 0);
  savedSelection_.clear();
}

void TCustomListBox::SaveWindowState() {
  // The window's own style tells how to read it (the flag may have changed).
  bool multi = (GetWindowLongPtrW(handle_, GWL_STYLE) & (LBS_EXTENDEDSEL | LBS_MULTIPLESEL)) != 0;
  topIndex_ = int(SendMessageW(handle_, LB_GETTOPINDEX, 0, 0));
  savedSelection_.clear();
  if (multi) {
    for (int i = 0; i < items_->GetCount(); ++i)
      if (SendMessageW(handle_, LB_GETSEL, WPARAM(i), 0) > 0) savedSelection_.push_back(i);
    int caret = int(SendMessageW(handle_, LB_GETCARETINDEX, 0, 0));
    itemIndex_ = caret >= 0 && caret < items_->GetCount() ? caret : -1;
  } else {
    itemIndex_ = int(SendMessageW(handle_, LB_GETCURSEL, 0, 0));
    if (itemIndex_ >= 0) savedSelection_.push_back(itemIndex_);
  }
}

int TCustomListBox::GetItemIndex() {
  if (!handle_) return itemIndex_;
  if (multiSelect_) return int(SendMessageW(handle_, LB_GETCARETINDEX, 0, 0)) < items_->GetCount() && items_->GetCount() > 0
                                ? int(SendMessageW(handle_, LB_GETCARETINDEX, 0, 0))
                                : -1;
  return int(SendMessageW(handle_, LB_GETCURSEL, 0, 0));
}

void TCustomListBox::SetItemIndex(int i) {
  if (i < -1 || i >= items_->GetCount()) i = -1;
  itemIndex_ = i;
  if (!handle_) return;
  if (multiSelect_) {
    SendMessageW(handle_, LB_SETSEL, FALSE, -1);
    if (i >= 0) SendMessageW(handle_, LB_SETSEL, TRUE, i);
    SendMessageW(handle_, LB_SETCARETINDEX, WPARAM(i), 0);
  } else {
    SendMessageW(handle_, LB_SETCURSEL, WPARAM(i), 0);
  }
}

void TCustomListBox::SetMultiSelect(bool v) {
  if (v == multiSelect_) return;
  multiSelect_ = v;
  RecreateWnd();
}

bool TCustomListBox::GetSelected(int i) {
  if (i < 0 || i >= items_->GetCount()) throw EListError(L"List index out of bounds (" + std::to_wstring(i) + L")");
  if (!handle_) {
    if (multiSelect_) return std::find(savedSelection_.begin(), savedSelection_.end(), i) != savedSelection_.end();
    return i == itemIndex_;
  }
  return SendMessageW(handle_, LB_GETSEL, WPARAM(i), 0) > 0;
}

void TCustomListBox::SetSelected(int i, bool v) {
  if (i < 0 || i >= items_->GetCount()) throw EListError(L"List index out of bounds (" + std::to_wstring(i) + L")");
  if (!handle_) {
    if (multiSelect_) {
      savedSelection_.erase(std::remove(savedSelection_.begin(), savedSelection_.end(), i), savedSelection_.end());
      if (v) savedSelection_.push_back(i);
    } else {
      itemIndex_ = v ? i : (itemIndex_ == i ? -1 : itemIndex_);
    }
    return;
  }
  if (multiSelect_) SendMessageW(handle_, LB_SETSEL, v, i);
  else SendMessageW(handle_, LB_SETCURSEL, v ? WPARAM(i) : WPARAM(-1), 0);
}

int TCustomListBox::GetSelCount() {
  if (!handle_) return multiSelect_ ? int(savedSelection_.size()) : (itemIndex_ >= 0 ? 1 : 0);
  if (!multiSelect_) return SendMessageW(handle_, LB_GETCURSEL, 0, 0) >= 0 ? 1 : 0;
  return int(SendMessageW(handle_, LB_GETSELCOUNT, 0, 0));
}

void TCustomListBox::SetSorted(bool v) {
  if (v == sorted_) return;
  sorted_ = v;
  items_->SetSorted(v);
  items_->Reload();
}

void TCustomListBox::SetStyle(TListBoxStyle s) {
  if (s == style_) return;
  style_ = s;
  RecreateWnd();
}

void TCustomListBox::SetItemHeight(int h) {
  if (h <= 0 || h == itemHeight_) return;
  itemHeight_ = h;
  if (handle_) SendMessageW(handle_, LB_SETITEMHEIGHT, 0, h);
  Invalidate();
}

void TCustomListBox::SetBorderStyle(TBorderStyle Value) {
  if (Value == borderStyle_) return;
  borderStyle_ = Value;
  RecreateWnd();
}

void TCustomListBox::SetColumns(int Value) {
  if (Value < 0) Value = 0;
  if (Value == columns_) return;
  bool flowChanges = (Value > 0) != (columns_ > 0);
  columns_ = Value;
  if (flowChanges) RecreateWnd();
  else SetColumnWidth();
}

void TCustomListBox::SetColumnWidth() {
  if (!handle_ || columns_ <= 0) return;
  RECT r;
  ::GetClientRect(handle_, &r);
  int width = (r.right - r.left + columns_ - 1) / columns_;
  if (width > 0) SendMessageW(handle_, LB_SETCOLUMNWIDTH, WPARAM(width), 0);
}

void TCustomListBox::SetExtendedSelect(bool Value) {
  if (Value == extendedSelect_) return;
  extendedSelect_ = Value;
  if (multiSelect_) RecreateWnd();
}

void TCustomListBox::SetIntegralHeight(bool Value) {
  if (Value == integralHeight_) return;
  integralHeight_ = Value;
  RecreateWnd();
}

void TCustomListBox::SetTabWidth(int Value) {
  if (Value < 0) Value = 0;
  if (Value == tabWidth_) return;
  tabWidth_ = Value;
  RecreateWnd();
}

void TCustomListBox::MeasureItem(int Index, int& Height) {
  if (OnMeasureItem) OnMeasureItem(this, Index, Height);
}

int TCustomListBox::GetTopIndex() {
  if (handle_) topIndex_ = int(SendMessageW(handle_, LB_GETTOPINDEX, 0, 0));
  return topIndex_;
}

void TCustomListBox::SetTopIndex(int i) {
  topIndex_ = i;
  if (handle_) SendMessageW(handle_, LB_SETTOPINDEX, WPARAM(i), 0);
}

int TCustomListBox::ItemAtPos(TPoint p, bool existing) {
  int count = items_->GetCount();
  if (!handle_) return existing ? -1 : count;
  LRESULT r = SendMessageW(handle_, LB_ITEMFROMPOINT, 0, MAKELPARAM(p.x, p.y));
  int idx = LOWORD(r);
  bool outside = HIWORD(r) != 0;
  if (outside || idx >= count) return existing ? -1 : count;
  return idx;
}

TRect TCustomListBox::ItemRect(int index) {
  RECT r{};
  if (handle_) SendMessageW(handle_, LB_GETITEMRECT, WPARAM(index), LPARAM(&r));
  return r;
}

void TCustomListBox::Clear() {
  items_->Clear();
  itemIndex_ = -1;
}

void TCustomListBox::DrawItem(int index, TRect r, TOwnerDrawState state) {
  if (OnDrawItem) {
    OnDrawItem(this, index, r, state);
    return;
  }
  canvas_->FillRect(r);
  if (index >= 0 && index < items_->GetCount()) canvas_->TextOut(r.left + 2, r.top, items_->Get(index));
}

void TCustomListBox::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CN_COMMAND:
      switch (HIWORD(m.WParam)) {
        case LBN_SELCHANGE:
          Click();
          return;
        case LBN_DBLCLK:
          DblClick();
          return;
        default: break;
      }
      break;
    case CN_DRAWITEM: {
      auto* d = reinterpret_cast<DRAWITEMSTRUCT*>(m.LParam);
      TOwnerDrawState st = DrawStateOf(d->itemState);
      canvas_->SetHandle(d->hDC);
      canvas_->Font()->Assign(*font_);
      canvas_->Brush()->Assign(*brush_);
      if (st.Contains(odSelected)) {
        canvas_->Brush()->SetColor(clHighlight);
        canvas_->Font()->SetColor(clHighlightText);
      }
      try {
        if (int(d->itemID) >= 0) DrawItem(int(d->itemID), d->rcItem, st);
        else canvas_->FillRect(d->rcItem);
        if (st.Contains(odFocused)) DrawFocusRect(d->hDC, &d->rcItem);
      } catch (...) {
        canvas_->SetHandle(nullptr);
        throw;
      }
      canvas_->SetHandle(nullptr);
      m.Result = 1;
      return;
    }
    case CN_MEASUREITEM: {
      auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(m.LParam);
      int height = itemHeight_;
      if (style_ == lbOwnerDrawVariable) MeasureItem(int(mi->itemID), height);
      mi->itemHeight = UINT(std::max(height, 1));
      m.Result = 1;
      return;
    }
    case WM_SIZE:
      TWinControl::WndProc(m);
      SetColumnWidth();
      return;
    default: break;
  }
  TWinControl::WndProc(m);
}

// ===========================================================================
// TCustomGroupBox

TCustomGroupBox::TCustomGroupBox(TComponent* AOwner) : TCustomControl(AOwner) {
  ControlStyle = TControlStyle{csAcceptsControls, csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks,
                               csReplicatable};
  width_ = 185;
  height_ = 105;
}

void TCustomGroupBox::AdjustClientRect(TRect& r) {
  if (textHeight_ < 0) textHeight_ = FontTextHeight(font_.get());
  r.top += textHeight_;
  InflateRect(&r, -1, -1);
  if (r.bottom < r.top) r.bottom = r.top;
}

void TCustomGroupBox::Paint() {
  TCanvas* c = Canvas();
  c->Font()->Assign(*font_);
  int h = c->TextHeight(L"0");
  TRect r = Rect(0, h / 2 - 1, width_, height_);
  c->Brush()->SetColor(color_);
  c->Brush()->SetStyle(bsSolid);
  c->FillRect(GetClientRect());
  HDC dc = c->GetHandle();
  DrawEdge(dc, &r, EDGE_ETCHED, BF_RECT);
  String t = GetText();
  if (!t.empty()) {
    TRect tr = Rect(8, 0, 0, h);
    DrawTextW(dc, t.c_str(), int(t.size()), &tr, DT_CALCRECT | DT_SINGLELINE);
    c->Brush()->SetColor(color_);
    c->FillRect(Rect(tr.left - 1, tr.top, tr.right + 1, tr.bottom));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, ColorToRef(enabled_ ? font_->GetColor() : clGrayText));
    DrawTextW(dc, t.c_str(), int(t.size()), &tr, DT_SINGLELINE);
  }
}

void TCustomGroupBox::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
      if (m.Msg == CM_FONTCHANGED) textHeight_ = -1;
      TCustomControl::WndProc(m);
      Realign();
      Invalidate();
      return;
    case CM_DIALOGCHAR: {
      wchar_t a = AccelOf(GetText());
      if (a && CanFocus() &&
          CharUpperW(reinterpret_cast<LPWSTR>(uintptr_t(a))) == CharUpperW(reinterpret_cast<LPWSTR>(uintptr_t(m.WParam)))) {
        if (TWinControl* c = FindNextControl(nullptr, true, true, false)) c->SetFocus();
        m.Result = 1;
        return;
      }
      break;
    }
    default: break;
  }
  TCustomControl::WndProc(m);
}

// --- TCustomStaticText ---------------------------------------------------------

TCustomStaticText::TCustomStaticText(TComponent* AOwner) : TWinControl(AOwner) {
  SetBounds(left_, top_, 65, 17);
}

void TCustomStaticText::CreateParams(TCreateParams& p) {
  TWinControl::CreateParams(p);
  CreateSubClass(p, L"STATIC");
  static const DWORD align[] = {SS_LEFT, SS_RIGHT, SS_CENTER};
  p.Style |= SS_NOTIFY | align[alignment_];
  if (!showAccelChar_) p.Style |= SS_NOPREFIX;
  if (borderStyle_ == sbsSingle) p.Style |= WS_BORDER;
  if (borderStyle_ == sbsSunken) p.Style |= SS_SUNKEN;
  p.WindowClass.style &= ~UINT(CS_HREDRAW | CS_VREDRAW);
}

void TCustomStaticText::SetAlignment(TAlignment Value) {
  if (Value == alignment_) return;
  alignment_ = Value;
  RecreateWnd();
}

void TCustomStaticText::SetBorderStyle(TStaticBorderStyle Value) {
  if (Value == borderStyle_) return;
  borderStyle_ = Value;
  RecreateWnd();
}

void TCustomStaticText::SetShowAccelChar(bool Value) {
  if (Value == showAccelChar_) return;
  showAccelChar_ = Value;
  RecreateWnd();
}

void TCustomStaticText::SetFocusControl(TWinControl* Value) {
  if (focusControl_ == Value) return;
  if (focusControl_) focusControl_->RemoveFreeNotification(this);
  focusControl_ = Value;
  if (Value) Value->FreeNotification(this);
}

void TCustomStaticText::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == focusControl_) focusControl_ = nullptr;
}

void TCustomStaticText::WndProc(TMessage& m) {
  switch (m.Msg) {
    case CN_CTLCOLORSTATIC:
      m.Result = DoCtlColor(HDC(m.WParam));
      return;
    case CM_DIALOGCHAR:
      m.Result = focusControl_ && enabled_ && showAccelChar_ && FocusByAccelerator(GetText(), m.WParam, focusControl_);
      return;
    default: break;
  }
  TWinControl::WndProc(m);
}

void TCustomEdit::SetOEMConvert(bool v) {
  if (v == oemConvert_) return;
  oemConvert_ = v;
  RecreateWnd();
}
