#include "valueedit/BinHexEditCore.h"

#include <algorithm>

namespace {

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }
bool IsHexUpper(wchar_t c) { return IsDigit(c) || (c >= L'A' && c <= L'F'); }

[[noreturn]] void NotAnInteger(const String& s) {
  throw EConvertError(L"'" + s + L"' is not a valid integer value");
}

}  // namespace

TBinHexEditCore::TBinHexEditCore() { text_ = FormatText(0, baseFormat_, hexLength_); }

String TBinHexEditCore::IntToBin(int64_t value) {
  String r;
  uint64_t v = static_cast<uint64_t>(value);
  if (value < 0) {
    r = L"1";
    v &= ~(uint64_t(1) << 63);
  }
  for (int bit = 62; bit >= 0; --bit) {
    if (v & (uint64_t(1) << bit))
      r += L'1';
    else if (!r.empty())
      r += L'0';
  }
  return r.empty() ? String(L"0") : r;
}

int64_t TBinHexEditCore::BinToInt(const String& text) {
  if (text.empty()) return 0;
  for (wchar_t c : text)
    if (c != L'0' && c != L'1') return 0;
  uint64_t v = 0;
  size_t n = text.size();
  for (size_t k = 0; k < n && k < 64; ++k)
    if (text[n - 1 - k] == L'1') v |= uint64_t(1) << k;
  return static_cast<int64_t>(v);
}

String TBinHexEditCore::FormatText(int64_t value, TBaseFormat base, int hexLength) {
  switch (base) {
    case Number:
      return IntToStr(value);
    case Binary:
      return IntToBin(value);
    case HexaDecimal:
    default:
      return L"$" + IntToHexBits(static_cast<uint64_t>(value), 64, std::max(1, hexLength));
  }
}

int64_t TBinHexEditCore::TextToInt(const String& text) {
  if (!text.empty() && text[0] == L'$') {
    if (text.size() == 1 || text.size() > 17) NotAnInteger(text);
    uint64_t v = 0;
    for (size_t i = 1; i < text.size(); ++i) {
      wchar_t c = text[i];
      int d;
      if (c >= L'0' && c <= L'9')
        d = c - L'0';
      else if (c >= L'A' && c <= L'F')
        d = c - L'A' + 10;
      else if (c >= L'a' && c <= L'f')
        d = c - L'a' + 10;
      else
        NotAnInteger(text);
      v = v * 16 + static_cast<uint64_t>(d);
    }
    return static_cast<int64_t>(v);
  }
  int64_t v;
  if (text.empty() || !TryStrToInt64(text, v)) NotAnInteger(text);
  for (wchar_t c : text)
    if (!IsDigit(c) && c != L'-') NotAnInteger(text);
  return v;
}

int64_t TBinHexEditCore::GetAsInteger() const {
  const String text = EditText();
  if (baseFormat_ == Binary) return BinToInt(text);
  // The digits of a hexadecimal box are hexadecimal also where its "$"
  // was taken away without the keyboard (the edit's own Delete or Cut).
  if (baseFormat_ == HexaDecimal && !text.empty() && text[0] != L'$') return TextToInt(L"$" + text);
  return TextToInt(text);
}

void TBinHexEditCore::SetAsInteger(int64_t value) {
  String t = FormatText(value, baseFormat_, hexLength_);
  if (t != EditText()) SetEditText(t);
  if (IsDesigningNow() && RangeInForce() && (value < minValue_ || value > maxValue_)) InvalidEntry();
}

void TBinHexEditCore::SetAsBin(const String& s) {
  int64_t v = BinToInt(s);
  if (v != GetAsInteger()) SetAsInteger(v);
}

void TBinHexEditCore::SetAsHex(const String& s) {
  String t = (!s.empty() && s[0] == L'$') ? s : L"$" + s;
  int64_t v = TextToInt(t);
  if (v != GetAsInteger()) SetAsInteger(v);
}

void TBinHexEditCore::SetBaseFormat(TBaseFormat base) {
  if (base == baseFormat_) return;
  int64_t v = GetAsInteger();
  baseFormat_ = base;
  SetEditText(FormatText(v, base, hexLength_));
}

void TBinHexEditCore::SetMaxValue(int64_t v) {
  // A form read gives the two ends in either order: both are taken.
  if (v == maxValue_ || (v < minValue_ && !IsLoadingNow())) return;
  maxValue_ = v;
  if (RangeInForce() && GetAsInteger() > maxValue_) InvalidEntry();
}

void TBinHexEditCore::SetMinValue(int64_t v) {
  if (v == minValue_ || (v > maxValue_ && !IsLoadingNow())) return;
  minValue_ = v;
  if (RangeInForce() && GetAsInteger() < minValue_) InvalidEntry();
}

void TBinHexEditCore::InvalidEntry() {
  if (IsLoadingNow()) return;
  if (OnInvalidEntry) {
    OnInvalidEntry(EventSender());
    return;
  }
  int64_t v = GetAsInteger();
  if (v < minValue_)
    SetAsInteger(minValue_);
  else if (v > maxValue_)
    SetAsInteger(maxValue_);
  Beep();
  TakeFocusBack();
}

void TBinHexEditCore::CheckRangeOnExit() {
  if (minValue_ == 0 || maxValue_ == 0) return;
  int64_t v = GetAsInteger();
  if (v < minValue_ || v > maxValue_) InvalidEntry();
}

void TBinHexEditCore::EditSetSel(int start, int length) {
  int n = static_cast<int>(text_.size());
  selStart_ = std::clamp(start, 0, n);
  selLength_ = std::clamp(length, 0, n - selStart_);
}

void TBinHexEditCore::ReplaceSelectionText(const String& s) {
  String t = EditText();
  int st = std::clamp(EditSelStart(), 0, static_cast<int>(t.size()));
  int len = std::clamp(EditSelLength(), 0, static_cast<int>(t.size()) - st);
  t.replace(static_cast<size_t>(st), static_cast<size_t>(len), s);
  SetEditText(t);
  EditSetSel(st + static_cast<int>(s.size()), 0);
}

void TBinHexEditCore::FilterKeyPress(wchar_t& key) {
  if (key == 13 || key == 27) {
    Beep();
    key = 0;
    return;
  }
  FireKeyPress(key);
  if (key == 0 || key == 3) return;
  if (readOnly_) {
    Beep();
    key = 0;
    return;
  }
  const String text = EditText();
  const int st = std::clamp(EditSelStart(), 0, static_cast<int>(text.size()));
  const int len = std::clamp(EditSelLength(), 0, static_cast<int>(text.size()) - st);
  auto wouldBe = [&](wchar_t c) {
    return text.substr(0, static_cast<size_t>(st)) + String(1, c) + text.substr(static_cast<size_t>(st + len));
  };
  if (key == 8 || key == 22 || key == 24) return;
  switch (baseFormat_) {
    case HexaDecimal: {
      if (key >= L'a' && key <= L'f') key = static_cast<wchar_t>(key - 32);
      if (key == L'$') {
        SetEditText(L"$0");
        EditSetSel(1, 1);
        key = 0;
        return;
      }
      if (!IsHexUpper(key)) {
        Beep();
        key = 0;
        return;
      }
      String w = wouldBe(key);
      // A digit typed in front of the "$" would leave no number.
      bool dollarInside = w.find(L'$', 1) != String::npos;
      if (static_cast<int>(w.size()) > hexLength_ + 1 || dollarInside) {
        Beep();
        key = 0;
      }
      return;
    }
    case Binary: {
      if ((key == L'0' || key == L'1') && static_cast<int>(wouldBe(key).size()) <= binLength_) return;
      Beep();
      key = 0;
      return;
    }
    case Number:
    default: {
      if (key != L'-' && !IsDigit(key)) {
        Beep();
        key = 0;
        return;
      }
      String w = wouldBe(key);
      if (key == L'-') {
        key = 0;
        String result;
        for (wchar_t c : w)
          if (c != L'-') result += c;
        if (result.empty()) result = L"0";
        int64_t dummy;
        if (text.find(L'-') != String::npos && result != L"0") {
          if (!TryStrToInt64(result, dummy)) {
            Beep();  // the toggled value would not fit
            return;
          }
          SetEditText(result);
          EditSetSel(std::max(0, st - 1), 0);
        } else {
          String neg = L"-" + result;
          if (!TryStrToInt64(neg, dummy)) {
            Beep();
            return;
          }
          SetEditText(neg);
          if (neg == L"-0")
            EditSetSel(1, 1);
          else
            EditSetSel(st + 1, 0);
        }
        return;
      }
      int64_t v;
      bool ok = TryStrToInt64(w, v);
      // Only digits with at most one leading sign form a decimal number.
      for (size_t i = 0; ok && i < w.size(); ++i)
        if (!IsDigit(w[i]) && !(i == 0 && w[i] == L'-')) ok = false;
      if (!ok) {
        Beep();
        key = 0;
      }
      return;
    }
  }
}

void TBinHexEditCore::FilterKeyDown(int& key, TShiftState /*shift*/) {
  constexpr int kDelete = 0x2E;
  if (readOnly_ || key != kDelete) return;
  const String text = EditText();
  if (EditSelStart() != 0) return;
  bool allSelected = EditSelLength() >= static_cast<int>(text.size()) && !text.empty();
  if ((!text.empty() && text[0] == L'$') || allSelected) {
    if (baseFormat_ == HexaDecimal) {
      SetEditText(L"$0");
      EditSetSel(1, 1);
    } else {
      SetEditText(L"0");
      EditSetSel(0, 1);
    }
    key = 0;
  }
}

void TBinHexEditCore::FilterKeyUp(int& /*key*/, TShiftState /*shift*/) {
  if (readOnly_) return;
  const String text = EditText();
  if (baseFormat_ == Number || baseFormat_ == Binary) {
    if (text.empty()) {
      SetEditText(L"0");
      EditSetSel(0, 1);
    }
  } else {
    if (text.empty() || text == L"$") {
      SetEditText(L"$0");
      EditSetSel(1, 1);
    } else if (text[0] != L'$') {
      int st = EditSelStart();
      SetEditText(L"$" + text);
      EditSetSel(st + 1, 0);
    }
  }
}

void TBinHexEditCore::PasteText(const String& text) {
  // A read-only box takes nothing, and keeps its selection.
  if (readOnly_) {
    Beep();
    return;
  }
  ReplaceSelectionText(String());
  for (wchar_t c : text) TypeChar(c);
  // A paste from the edit's own menu comes without a key going up: the
  // text is repaired here as after a typed key (the "$", an empty box).
  int none = 0;
  FilterKeyUp(none, TShiftState{});
}

void TBinHexEditCore::TypeChar(wchar_t c) {
  FilterKeyPress(c);
  if (c == 0 || c == 3 || c == 22 || c == 24) return;
  if (c == 8) {
    if (EditSelLength() > 0) {
      ReplaceSelectionText(String());
    } else if (EditSelStart() > 0) {
      EditSetSel(EditSelStart() - 1, 1);
      ReplaceSelectionText(String());
    }
    return;
  }
  ReplaceSelectionText(String(1, c));
}
