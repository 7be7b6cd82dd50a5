#include "classlib/Mask.h"

#include <algorithm>

#include "classlib/Clipbrd.h"
#include "classlib/Forms.h"

// ===========================================================================
// TEditMask

TEditMask::TEditMask(const String& Mask) {
  // The fields: the mask up to the first ';' that is not escaped.
  size_t end = 0;
  while (end < Mask.size() && Mask[end] != L';') end += Mask[end] == L'\\' ? 2 : 1;
  end = std::min(end, Mask.size());
  if (end < Mask.size()) {
    const size_t second = Mask.find(L';', end + 1);
    const String save = Mask.substr(end + 1, second == String::npos ? String::npos : second - end - 1);
    saveLiterals_ = !(save.size() == 1 && save[0] == L'0');
    if (second != String::npos && second + 1 < Mask.size()) blank_ = Mask[second + 1];
  }
  TCase cs = mcNone;
  for (size_t i = 0; i < end; ++i) {
    const wchar_t m = Mask[i];
    TPos p;
    p.Case = cs;
    switch (m) {
      case L'!': leadingBlanks_ = true; continue;
      case L'>':
        if (i + 1 < end && Mask[i + 1] == L'<') {
          cs = mcNone;
          ++i;
        } else {
          cs = mcUpper;
        }
        continue;
      case L'<': cs = mcLower; continue;
      case L'\\':
        if (++i >= end) continue;
        p.Literal = Mask[i];
        break;
      case L'L': p.Kind = mkLetter; p.Required = true; break;
      case L'l': p.Kind = mkLetter; break;
      case L'A': p.Kind = mkAlnum; p.Required = true; break;
      case L'a': p.Kind = mkAlnum; break;
      case L'C': p.Kind = mkAny; p.Required = true; break;
      case L'c': p.Kind = mkAny; break;
      case L'0': p.Kind = mkDigit; p.Required = true; break;
      case L'9': p.Kind = mkDigit; break;
      case L'#': p.Kind = mkDigitOrSign; break;
      case L':': p.Literal = TimeSeparator; break;
      case L'/': p.Literal = DateSeparator; break;
      case L'_': p.Literal = L' '; break;
      default: p.Literal = m; break;
    }
    pos_.push_back(p);
  }
}

bool TEditMask::Accepts(int i, wchar_t c) const {
  if (i < 0 || i >= Length()) return false;
  switch (pos_[size_t(i)].Kind) {
    case mkLetter: return IsCharAlphaW(c) != FALSE;
    case mkAlnum: return IsCharAlphaNumericW(c) != FALSE;
    case mkAny: return c >= L' ';
    case mkDigit: return c >= L'0' && c <= L'9';
    case mkDigitOrSign: return (c >= L'0' && c <= L'9') || c == L'+' || c == L'-';
    case mkLiteral: return false;
  }
  return false;
}

wchar_t TEditMask::Convert(int i, wchar_t c) const {
  wchar_t s[2] = {c, 0};
  switch (pos_[size_t(i)].Case) {
    case mcUpper: CharUpperW(s); break;
    case mcLower: CharLowerW(s); break;
    case mcNone: break;
  }
  return s[0];
}

int TEditMask::NextSlot(int i) const {
  while (i < Length() && !pos_[size_t(i)].IsSlot()) ++i;
  return std::min(i, Length());
}

int TEditMask::PrevSlot(int i) const {
  for (--i; i >= 0; --i)
    if (pos_[size_t(i)].IsSlot()) return i;
  return -1;
}

String TEditMask::Format(const String& Value, bool WithLiterals) const {
  String t;
  size_t v = 0;
  for (int i = 0; i < Length(); ++i) {
    const TPos& p = pos_[size_t(i)];
    if (!p.IsSlot()) {
      t += p.Literal;
      if (WithLiterals && v < Value.size()) ++v;
      continue;
    }
    wchar_t c = v < Value.size() ? Value[v++] : blank_;
    if (c == L' ' || c == blank_ || !Accepts(i, c)) {
      t += blank_;
    } else {
      t += Convert(i, c);
    }
  }
  return t;
}

String TEditMask::Unformat(const String& EditText, bool WithLiterals) const {
  String t;
  for (int i = 0; i < Length(); ++i) {
    const wchar_t c = size_t(i) < EditText.size() ? EditText[size_t(i)] : blank_;
    if (!pos_[size_t(i)].IsSlot()) {
      if (WithLiterals) t += c;
    } else {
      t += c == blank_ ? L' ' : c;
    }
  }
  if (!WithLiterals) {
    if (leadingBlanks_) {
      t.erase(0, t.find_first_not_of(L' ') == String::npos ? t.size() : t.find_first_not_of(L' '));
    } else {
      t.erase(t.find_last_not_of(L' ') + 1);
    }
  }
  return t;
}

int TEditMask::FirstMissing(const String& EditText) const {
  for (int i = 0; i < Length(); ++i) {
    const TPos& p = pos_[size_t(i)];
    if (!p.IsSlot() || !p.Required) continue;
    const wchar_t c = size_t(i) < EditText.size() ? EditText[size_t(i)] : blank_;
    if (c == blank_ || c == L' ') return i;
  }
  return -1;
}

String FormatMaskText(const String& EditMask, const String& Value) {
  const TEditMask m(EditMask);
  if (m.Empty()) return Value;
  return m.Unformat(m.Format(Value, m.SaveLiterals()), true);
}

// ===========================================================================
// TCustomMaskEdit

TCustomMaskEdit::TCustomMaskEdit(TComponent* AOwner) : TCustomEdit(AOwner) {}

void TCustomMaskEdit::SetEditMask(const String& Value) {
  if (Value == editMask_) return;
  // The value moves across: under a mask its slots, else the whole text.
  const bool wasMasked = IsMasked();
  const String text = wasMasked ? mask_.Unformat(RawText(), false) : RawText();
  editMask_ = Value;
  mask_ = TEditMask(Value);
  SetMaxLength(mask_.Length());
  undo_.clear();
  undoValid_ = false;
  TCustomEdit::SetTextImpl(IsMasked() ? mask_.Format(text, !wasMasked && mask_.SaveLiterals()) : text);
  Perform(CM_TEXTCHANGED, 0, 0);
}

String TCustomMaskEdit::GetEditText() { return RawText(); }

void TCustomMaskEdit::SetEditText(const String& Value) {
  TCustomEdit::SetTextImpl(IsMasked() ? mask_.Format(Value, true) : Value);
  Perform(CM_TEXTCHANGED, 0, 0);
}

String TCustomMaskEdit::GetTextImpl() {
  const String raw = RawText();
  return IsMasked() ? mask_.Unformat(raw, mask_.SaveLiterals()) : raw;
}

void TCustomMaskEdit::SetTextImpl(const String& s) {
  TCustomEdit::SetTextImpl(IsMasked() ? mask_.Format(s, mask_.SaveLiterals()) : s);
}

void TCustomMaskEdit::GetSel(int& start, int& end) {
  DWORD a = 0, b = 0;
  if (HandleAllocated()) SendMessageW(GetHandle(), EM_GETSEL, WPARAM(&a), LPARAM(&b));
  start = int(a);
  end = int(b);
}

void TCustomMaskEdit::SetSel(int start, int end) {
  if (HandleAllocated()) SendMessageW(GetHandle(), EM_SETSEL, WPARAM(start), LPARAM(end));
}

void TCustomMaskEdit::Store(const String& editText, int caret) {
  const String old = RawText();
  if (editText != old) {
    undo_ = old;
    undoValid_ = true;
    TCustomEdit::SetTextImpl(editText);
    SetModified(true);
  }
  SetSel(caret, caret);
}

String TCustomMaskEdit::Working(int& start, int& end, bool blankSelection) {
  GetSel(start, end);
  String t = RawText();
  t.resize(size_t(mask_.Length()), mask_.Blank());
  if (blankSelection)
    for (int i = start; i < end && i < mask_.Length(); ++i)
      if (mask_[i].IsSlot()) t[size_t(i)] = mask_.Blank();
  return t;
}

void TCustomMaskEdit::TypeChar(wchar_t c) {
  int s, e;
  String t = Working(s, e, false);
  const int n = mask_.Length();
  // A literal typed where it stands (or before the next slot) moves past it.
  int q = s;
  for (; q < n && !mask_[q].IsSlot(); ++q) {
    if (mask_[q].Literal == c) {
      SetSel(q + 1, q + 1);
      return;
    }
  }
  if (q >= n || !mask_.Accepts(q, c)) {
    ValidateError();
    return;
  }
  t = Working(s, e, true);
  t[size_t(q)] = mask_.Convert(q, c);
  Store(t, mask_.NextSlot(q + 1));
}

void TCustomMaskEdit::DeleteChars(bool Backward) {
  int s, e;
  String t = Working(s, e, true);
  const int n = mask_.Length();
  if (e > s) {
    Store(t, s);
    return;
  }
  const int q = Backward ? mask_.PrevSlot(s) : mask_.NextSlot(s);
  if (q < 0 || q >= n) return;
  t[size_t(q)] = mask_.Blank();
  Store(t, Backward ? q : s);
}

void TCustomMaskEdit::PasteText(const String& s) {
  int a, e;
  String t = Working(a, e, true);
  const int n = mask_.Length();
  int q = a;
  for (wchar_t c : s) {
    if (q >= n) break;
    if (!mask_[q].IsSlot() && mask_[q].Literal == c) {
      ++q;
      continue;
    }
    q = mask_.NextSlot(q);
    if (q >= n) break;
    if (!mask_.Accepts(q, c)) {
      ValidateError();
      break;
    }
    t[size_t(q)] = mask_.Convert(q, c);
    ++q;
  }
  Store(t, mask_.NextSlot(q));
}

void TCustomMaskEdit::Undo() {
  if (!IsMasked()) {
    TCustomEdit::Undo();
    return;
  }
  if (!undoValid_) return;
  const String now = RawText();
  TCustomEdit::SetTextImpl(undo_);
  undo_ = now;
  SetModified(true);
}

void TCustomMaskEdit::Reset() {
  if (!IsMasked() || !entered_ || RawText() == entryText_) return;
  undo_ = RawText();
  undoValid_ = true;
  TCustomEdit::SetTextImpl(entryText_);
  SetModified(false);
  SelectAll();
}

void TCustomMaskEdit::ValidateError() { MessageBeep(0); }

void TCustomMaskEdit::ValidateEdit() {
  if (!IsMasked()) return;
  const int missing = mask_.FirstMissing(RawText());
  if (missing < 0) return;
  if (HandleAllocated() && CanFocus()) {
    if (GetFocus() != GetHandle()) SetFocus();
    SetSel(missing, missing);
  }
  throw EMaskEditError(L"Invalid input value: the text does not fill the edit mask. Press Esc to abandon the changes");
}

void TCustomMaskEdit::DoEnter() {
  // Focus given back after a refused exit keeps the text of the first entry.
  if (!entered_) entryText_ = RawText();
  entered_ = true;
  TCustomEdit::DoEnter();
}

void TCustomMaskEdit::DoExit() {
  // A text the user changed must fill the mask before the focus may go.
  if (IsMasked() && GetModified()) ValidateEdit();
  entered_ = false;
  TCustomEdit::DoExit();
}

void TCustomMaskEdit::KeyDown(WORD& Key, TShiftState Shift) {
  TCustomEdit::KeyDown(Key, Shift);
  if (!IsMasked() || Key == 0) return;
  int s, e;
  GetSel(s, e);
  switch (Key) {
    case VK_DELETE:
      if (Shift.Contains(ssShift)) return;  // cut
      if (EditCanModify()) DeleteChars(false);
      Key = 0;
      break;
    case VK_ESCAPE:
      if (entered_ && RawText() != entryText_) {
        Reset();
        Key = 0;
      }
      break;
    case VK_RIGHT:
    case VK_LEFT:
      if (Shift.Contains(ssShift) || Shift.Contains(ssCtrl)) return;
      {
        // The caret steps from slot to slot over the literals.
        int q = Key == VK_RIGHT ? mask_.NextSlot(std::min(e + 1, mask_.Length())) : mask_.PrevSlot(s);
        if (Key == VK_RIGHT && e > s) q = mask_.NextSlot(e);
        if (Key == VK_LEFT && e > s) q = s;
        if (q < 0) q = mask_.NextSlot(0);
        SetSel(q, q);
        Key = 0;
      }
      break;
    default: break;
  }
}

void TCustomMaskEdit::KeyPress(wchar_t& Key) {
  TCustomEdit::KeyPress(Key);
  if (!IsMasked() || Key == 0) return;
  if (Key == L'\b') {
    if (EditCanModify()) DeleteChars(true);
    Key = 0;
  } else if (Key >= L' ') {
    if (EditCanModify()) TypeChar(Key);
    Key = 0;
  } else if (Key == 27 && GetKeyState(VK_ESCAPE) < 0) {
    Key = 0;  // the edit would beep
  }
}

void TCustomMaskEdit::WndProc(TMessage& m) {
  if (IsMasked()) {
    switch (m.Msg) {
      case WM_PASTE:
        if (EditCanModify() && Clipboard()->HasFormat(CF_UNICODETEXT)) PasteText(Clipboard()->GetAsText());
        return;
      case WM_CUT:
        CopyToClipboard();
        if (EditCanModify()) DeleteChars(false);
        return;
      case WM_CLEAR:
        if (EditCanModify()) DeleteChars(false);
        return;
      case WM_UNDO:
      case EM_UNDO:
        Undo();
        m.Result = 1;
        return;
      case EM_CANUNDO:
        m.Result = undoValid_ ? 1 : 0;
        return;
      case CM_WANTSPECIALKEY:
        // Escape restores the text instead of reaching the form's cancel button.
        if (m.WParam == VK_ESCAPE && entered_ && RawText() != entryText_) {
          m.Result = 1;
          return;
        }
        break;
      default: break;
    }
  }
  TCustomEdit::WndProc(m);
}
