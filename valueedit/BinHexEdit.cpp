#include "valueedit/BinHexEdit.h"

#include "classlib/Filer.h"
#include "classlib/PropFiler.h"

TBinHexEdit::TBinHexEdit(TComponent* AOwner) : TCustomEdit(AOwner) {
  SetWidth(100);
  SetText(FormatText(0, baseFormat_, hexLength_));
  enabledColor_ = clWindow;
  TCustomEdit::SetColor(clWindow);
}

String TBinHexEdit::EditText() const { return const_cast<TBinHexEdit*>(this)->GetText(); }

int TBinHexEdit::EditSelStart() const { return const_cast<TBinHexEdit*>(this)->GetSelStart(); }

int TBinHexEdit::EditSelLength() const { return const_cast<TBinHexEdit*>(this)->GetSelLength(); }

void TBinHexEdit::EditSetSel(int start, int length) {
  SetSelStart(start);
  SetSelLength(length);
}

void TBinHexEdit::Beep() {
  MessageBeep(0);
  TBinHexEditCore::Beep();
}

void TBinHexEdit::TakeFocusBack() {
  if (CanFocus() && !IsDesigning()) SetFocus();
}

void TBinHexEdit::TypeChar(wchar_t c) {
  // Replayed through the window as typed, so the key filter sees it; the
  // clipboard commands are not replayed.
  if (c == 3 || c == 22 || c == 24) return;
  if (HandleAllocated())
    Perform(WM_CHAR, c, 0);
  else
    TBinHexEditCore::TypeChar(c);
}

void TBinHexEdit::KeyDown(WORD& key, TShiftState shift) {
  TCustomEdit::KeyDown(key, shift);
  enteredByMouse_ = false;
  if (key == 0) return;
  int k = key;
  FilterKeyDown(k, shift);
  key = static_cast<WORD>(k);
}

void TBinHexEdit::KeyUp(WORD& key, TShiftState shift) {
  TCustomEdit::KeyUp(key, shift);
  int k = key;
  FilterKeyUp(k, shift);
}

void TBinHexEdit::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomEdit::MouseDown(button, shift, x, y);
  if ((button == mbLeft || shift.Contains(ssLeft)) && enteredByMouse_) {
    enteredByMouse_ = false;
    if (GetAutoSelect()) SelectAll();
  }
}

void TBinHexEdit::DoEnter() {
  TCustomEdit::DoEnter();
  enteredByMouse_ = GetKeyState(VK_LBUTTON) < 0;
  if (GetAutoSelect()) SelectAll();
}

void TBinHexEdit::DoExit() {
  TCustomEdit::DoExit();
  CheckRangeOnExit();
}

void TBinHexEdit::CreateParams(TCreateParams& p) {
  TCustomEdit::CreateParams(p);
  p.Style |= ES_MULTILINE;
  p.Style &= ~static_cast<DWORD>(ES_RIGHT | ES_CENTER);
  if (alignment_ == taRightJustify) p.Style |= ES_RIGHT;
  if (alignment_ == taCenter) p.Style |= ES_CENTER;
}

void TBinHexEdit::SetAlignment(TAlignment a) {
  if (a == alignment_) return;
  alignment_ = a;
  if (HandleAllocated()) {
    int s = GetSelStart(), l = GetSelLength();
    RecreateWnd();
    SetSelStart(s);
    SetSelLength(l);
  }
}

// Showing a colour keeps ParentColor: the enabled colour may be the
// parent's.
void TBinHexEdit::ApplyColor() {
  const bool parentColor = parentColor_;
  TCustomEdit::SetColor(GetEnabled() ? enabledColor_ : disabledColor_);
  parentColor_ = parentColor;
}

void TBinHexEdit::SetColor(TColor c) {
  enabledColor_ = c;
  if (GetEnabled()) ApplyColor();
  if (parent_ && parent_->Brush()->GetColor() != c) TCustomEdit::SetParentColor(false);
}

void TBinHexEdit::SetDisabledColor(TColor c) {
  disabledColor_ = c;
  if (!GetEnabled()) ApplyColor();
}

void TBinHexEdit::SetEnabled(bool v) {
  TCustomEdit::SetEnabled(v);
  ApplyColor();
}

void TBinHexEdit::SetParentColor(bool v) {
  if (v == GetParentColor()) return;
  if (v && parent_) enabledColor_ = parent_->Brush()->GetColor();
  TCustomEdit::SetParentColor(v);
  ApplyColor();
}

void TBinHexEdit::SetReadOnly(bool v) {
  TCustomEdit::SetReadOnly(v);
  SetReadOnlyCore(v);
}

void TBinHexEdit::Loaded() {
  TCustomEdit::Loaded();
  ApplyColor();
}

void TBinHexEdit::WMPaste(TMessage& m) {
  String text;
  if (OpenClipboard(HandleAllocated() ? handle_ : nullptr)) {
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
      if (auto* p = static_cast<const wchar_t*>(GlobalLock(h))) {
        text = p;
        GlobalUnlock(h);
      }
    }
    CloseClipboard();
  }
  CallProtected([&] { PasteText(text); });
  m.Result = 0;
}

// Enter, Escape and Tab stay with the dialog.
void TBinHexEdit::WMGetDlgCode(TMessage& m) { m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS; }

void TBinHexEdit::CMParentColorChanged(TMessage& m) {
  TCustomEdit::WndProc(m);
  if (GetParentColor() && parent_) enabledColor_ = parent_->Brush()->GetColor();
  ApplyColor();
}

void TBinHexEdit::WndProc(TMessage& m) {
  switch (m.Msg) {
    case WM_PASTE: WMPaste(m); return;
    case WM_GETDLGCODE: WMGetDlgCode(m); return;
    case CM_PARENTCOLORCHANGED: CMParentColorChanged(m); return;
    case CM_EXIT:
    case WM_KILLFOCUS:
      CallProtected([&] { TCustomEdit::WndProc(m); });
      return;
    default:
      break;
  }
  TCustomEdit::WndProc(m);
}

void BinHexEdit::Register() { RegisterComponents(L"ValueEdit", {ComponentClass<TBinHexEdit>(L"TBinHexEdit")}); }

// ---------------------------------------------------------------------------
// Form streams

namespace {
const ValueEditFiler::TNames kAlignmentNames{L"taLeftJustify", L"taRightJustify", L"taCenter"};
const ValueEditFiler::TNames kBaseFormatNames{L"Number", L"Binary", L"HexaDecimal"};
const ValueEditFiler::TNames kBorderStyleNames{L"bsNone", L"bsSingle"};

using TBoxTable = ValueEditFiler::TPropTable<TBinHexEdit>;

TBoxTable MakeBoxTable() {
  TBoxTable T;
  using B = TBinHexEdit;
  T.Enum(L"Alignment", taCenter, kAlignmentNames, [](B& C) { return static_cast<int>(C.GetAlignment()); },
         [](B& C, int V) { C.SetAlignment(static_cast<TAlignment>(V)); });
  // The value in other notations: read when a stream has them, written as
  // AsInteger only.
  T.ReadOnly(L"AsBin", [](TReader* R, B& C) { C.SetAsBin(R->ReadString()); });
  T.Boolean(L"AutoSelect", true, [](B& C) { return C.GetAutoSelect(); }, [](B& C, bool V) { C.SetAutoSelect(V); });
  T.Boolean(L"AutoSize", true, [](B& C) { return C.GetAutoSize(); }, [](B& C, bool V) { C.SetAutoSize(V); });
  // The base and the lengths before the value they shape.
  T.Enum(L"BaseFormat", HexaDecimal, kBaseFormatNames, [](B& C) { return static_cast<int>(C.GetBaseFormat()); },
         [](B& C, int V) { C.SetBaseFormat(static_cast<TBaseFormat>(V)); });
  T.Integer(L"BinLength", 32, 16, [](B& C) { return C.GetBinLength(); },
            [](B& C, int64_t V) { C.SetBinLength(static_cast<int>(V)); });
  T.Integer(L"HexLength", 8, 4, [](B& C) { return C.GetHexLength(); },
            [](B& C, int64_t V) { C.SetHexLength(static_cast<int>(V)); });
  T.Integer(
      L"AsInteger", 0, -1234567890123,
      [](B& C) -> int64_t {
        try {
          return C.GetAsInteger();
        } catch (const EConvertError&) {
          return 0;  // a text that is no number yet ("-", "$") holds no value
        }
      },
      [](B& C, int64_t V) { C.SetAsInteger(V); });
  T.ReadOnly(L"AsHex", [](TReader* R, B& C) { C.SetAsHex(R->ReadString()); });
  T.Integer(L"DisabledColor", clBtnFace, clRed, [](B& C) { return C.GetDisabledColor(); },
            [](B& C, int64_t V) { C.SetDisabledColor(static_cast<TColor>(V)); });
  T.Enum(L"BorderStyle", bsSingle, kBorderStyleNames, [](B& C) { return C.GetBorderStyle() == bsNone ? 0 : 1; },
         [](B& C, int V) { C.SetBorderStyle(V ? bsSingle : bsNone); });
  T.Boolean(L"HideSelection", true, [](B& C) { return C.GetHideSelection(); },
            [](B& C, bool V) { C.SetHideSelection(V); });
  T.Integer(L"MaxLength", 0, 12, [](B& C) { return C.GetMaxLength(); },
            [](B& C, int64_t V) { C.SetMaxLength(static_cast<int>(V)); });
  T.Integer(L"MaxValue", 0, 100, [](B& C) { return C.GetMaxValue(); }, [](B& C, int64_t V) { C.SetMaxValue(V); });
  T.Integer(L"MinValue", 0, -100, [](B& C) { return C.GetMinValue(); }, [](B& C, int64_t V) { C.SetMinValue(V); });
  T.Boolean(L"ReadOnly", false, [](B& C) { return C.GetReadOnly(); }, [](B& C, bool V) { C.SetReadOnly(V); });
  // Fixed: a stream may carry it, nothing writes it.
  T.ReadOnly(L"Version", [](TReader* R, B& C) { C.SetVersion(R->ReadString()); });
  T.Event(L"OnInvalidEntry", &TBinHexEditCore::OnInvalidEntry);
  // The edit's and the control's events, until the class library stores
  // them.
  T.Event(L"OnChange", &TCustomEdit::OnChange, true);
  T.ControlEvents();
  return T;
}
}  // namespace

const ValueEditFiler::TPropTable<TBinHexEdit>& TBinHexEdit::StoredProperties() {
  static const TBoxTable Table = MakeBoxTable();
  return Table;
}

void TBinHexEdit::DefineProperties(TFiler* Filer) {
  // The colour stored is the one shown while enabled, whatever the box
  // shows now; read back, it is that colour again (SetColor). Declared
  // first, this is the declaration a writer writes and a reader reads.
  auto* A = dynamic_cast<TBinHexEdit*>(Filer->GetAncestor());
  PropFiler::Integer(
      Filer, L"Color", enabledColor_, A ? A->enabledColor_ : clWindow,
      [this](int64_t V) { SetColor(static_cast<TColor>(V)); }, !GetParentColor());
  StoredProperties().Define(Filer, *this, [this](TFiler* F) {
    struct TShown {
      TColor& Color;
      const TColor Was;
      ~TShown() { Color = Was; }
    } shown{color_, color_};
    color_ = enabledColor_;
    TCustomEdit::DefineProperties(F);
  });
}
