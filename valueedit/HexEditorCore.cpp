#include "valueedit/HexEditorCore.h"

#include <algorithm>
#include <cstring>

#include "valueedit/HexFileOS.h"

namespace {

const String kInvalidMemoryIndex = L"Invalid memory index";
constexpr int64_t kBlockSize = 61440;

bool HasShift(TShiftState s) { return s.Contains(ssShift); }
bool HasCtrl(TShiftState s) { return s.Contains(ssCtrl); }
bool ShiftOnly(TShiftState s) { return s == TShiftState{ssShift}; }
bool CtrlOnly(TShiftState s) { return s == TShiftState{ssCtrl}; }

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

uint8_t HexAnsiLower(uint8_t c) {
  if (c >= 'A' && c <= 'Z') return static_cast<uint8_t>(c + 32);
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<uint8_t>(c + 32);
  switch (c) {
    case 0x8A: return 0x9A;
    case 0x8C: return 0x9C;
    case 0x8E: return 0x9E;
    case 0x9F: return 0xFF;
    default: return c;
  }
}

THexEditorCore::THexEditorCore() : undo_(this) {
  std::memcpy(digits_, L"0123456789ABCDEF", sizeof(wchar_t) * 17);
  offsetFormat_.GenerateOffsetFormat(L"-!10:0x|", bytesPerRow_, bytesPerColumn_);
  hColCount_ = CalcColCount();
}

THexEditorCore::~THexEditorCore() = default;

// ---------------------------------------------------------------------------
// Headless grid

void THexEditorCore::GridSetCounts(int colCount, int rowCount) {
  hColCount_ = colCount;
  hRowCount_ = rowCount;
  if (hRow_ >= rowCount) hRow_ = rowCount - 1;
  if (hCol_ >= colCount) hCol_ = colCount - 1;
  if (hTopRow_ > std::max(2, rowCount - hVisibleRows_)) hTopRow_ = std::max(2, rowCount - hVisibleRows_);
}

void THexEditorCore::GridSetTopRow(int row) {
  hTopRow_ = std::clamp(row, 2, std::max(2, hRowCount_ - hVisibleRows_));
}

void THexEditorCore::GridSetTopLeft(int col, int row) {
  hLeftCol_ = std::max(2, col);
  GridSetTopRow(row);
}

void THexEditorCore::GridMoveCurrent(int col, int row) {
  if (col < 2 || col >= hColCount_ || row < 2 || row >= hRowCount_) return;
  if (!CheckSelectCell(col, row)) return;
  hCol_ = col;
  hRow_ = row;
  if (row < hTopRow_) hTopRow_ = row;
  if (row >= hTopRow_ + hVisibleRows_) hTopRow_ = row - hVisibleRows_ + 1;
}

bool THexEditorCore::IsKeyDown(int vk) const {
  if (vk == hexkeys::Shift) return hShiftDown_;
  if (vk == hexkeys::LButton) return hLButtonDown_;
  return false;
}

void THexEditorCore::Changed() {
  if (OnChange) OnChange(EventSender());
}

void THexEditorCore::WrongKey() {
  if (OnInvalidKey) OnInvalidKey(EventSender());
}

// ---------------------------------------------------------------------------
// Data access

uint8_t THexEditorCore::GetMemory(int32_t pos) const {
  if (pos < 0 || pos >= GetDataSize()) throw EHexException(kInvalidMemoryIndex);
  return static_cast<const uint8_t*>(data_.Memory())[pos];
}

void THexEditorCore::SetMemory(int32_t pos, uint8_t value) {
  if (pos < 0 || pos >= GetDataSize()) throw EHexException(kInvalidMemoryIndex);
  static_cast<uint8_t*>(data_.Memory())[pos] = value;
}

uint8_t* THexEditorCore::GetDataPointer() {
  return GetDataSize() == 0 ? nullptr : static_cast<uint8_t*>(data_.Memory());
}

namespace {
bool RangeInside(int32_t pos, int32_t count, int32_t size) {
  return pos >= 0 && count >= 0 && static_cast<int64_t>(pos) + count <= size;
}
// Positions are 32-bit: the data never grows past 2 GB - 1.
void CheckGrowth(int32_t size, int64_t growth) {
  if (growth > 0 && static_cast<int64_t>(size) + growth > 0x7FFFFFFF) throw EHexException(L"Data too large");
}
}  // namespace

void THexEditorCore::GetMemAtPos(uint8_t* buffer, int32_t pos, int32_t count) const {
  if (!RangeInside(pos, count, GetDataSize())) throw EHexException(kInvalidMemoryIndex);
  if (count > 0) std::memcpy(buffer, static_cast<const uint8_t*>(data_.Memory()) + pos, static_cast<size_t>(count));
}

void THexEditorCore::SetMemAtPos(const uint8_t* buffer, int32_t pos, int32_t count) {
  if (!RangeInside(pos, count, GetDataSize())) throw EHexException(kInvalidMemoryIndex);
  if (count > 0) std::memmove(static_cast<uint8_t*>(data_.Memory()) + pos, buffer, static_cast<size_t>(count));
}

void THexEditorCore::MoveFileMem(int32_t from, int32_t to, int32_t count) {
  int32_t ds = GetDataSize();
  if (!RangeInside(from, count, ds) || !RangeInside(to, count, ds)) throw EHexException(kInvalidMemoryIndex);
  uint8_t* m = static_cast<uint8_t*>(data_.Memory());
  if (count > 0) std::memmove(m + to, m + from, static_cast<size_t>(count));
}

void THexEditorCore::FreeStorage(bool undo) {
  if (undo) {
    undo_.Reset(true);
  } else {
    data_.SetSize(0);
    data_.SetPosition(0);
  }
}

int THexEditorCore::GetCurrentValue() {
  int32_t p = GetPosAtCursor(GridCol(), GridRow());
  return p < GetDataSize() ? GetMemory(p) : -1;
}

int32_t THexEditorCore::GetCursorPos() {
  int32_t p = GetPosAtCursor(GridCol(), GridRow());
  return std::clamp(p, 0, std::max(0, GetDataSize() - 1));
}

AnsiString THexEditorCore::GetAsText() const {
  return AnsiString(static_cast<const char*>(data_.Memory()), static_cast<size_t>(GetDataSize()));
}

void THexEditorCore::SetAsText(const AnsiString& text) {
  std::vector<uint8_t> buf(text.begin(), text.end());
  TranslateBufferFromAnsi(translation_, buf.data(), buf.data(), buf.size());
  if (GetDataSize() > 0) {
    SelectAll();
    ReplaceSelection(buf.data(), static_cast<int32_t>(buf.size()));
  } else {
    InsertBuffer(buf.data(), static_cast<int32_t>(buf.size()), 0);
  }
}

void THexEditorCore::ConvertHexToBin(const char* text, size_t textLen, uint8_t* out, size_t outLen,
                                     bool swap, size_t& count) {
  count = 0;
  int pending = -1;
  for (size_t i = 0; i < textLen && count < outLen; ++i) {
    int d = HexDigitValue(text[i]);
    if (d < 0) continue;
    if (pending < 0) {
      pending = d;
    } else {
      uint8_t b = static_cast<uint8_t>(pending * 16 + d);
      if (swap) b = static_cast<uint8_t>((b >> 4) | (b << 4));
      out[count++] = b;
      pending = -1;
    }
  }
}

void THexEditorCore::ConvertBinToHex(const uint8_t* bytes, char* out, size_t count, bool swap) {
  static const char kD[] = "0123456789ABCDEF";
  for (size_t i = 0; i < count; ++i) {
    char hi = kD[bytes[i] >> 4], lo = kD[bytes[i] & 15];
    out[2 * i] = swap ? lo : hi;
    out[2 * i + 1] = swap ? hi : lo;
  }
  out[2 * count] = 0;
}

AnsiString THexEditorCore::GetAsHex() const {
  std::string s(static_cast<size_t>(GetDataSize()) * 2 + 1, '\0');
  ConvertBinToHex(static_cast<const uint8_t*>(data_.Memory()), s.data(), static_cast<size_t>(GetDataSize()),
                  swapNibbles_);
  s.pop_back();
  return s;
}

void THexEditorCore::SetAsHex(const AnsiString& hex) {
  std::vector<uint8_t> buf(hex.size() / 2 + 1);
  size_t n = 0;
  ConvertHexToBin(hex.data(), hex.size(), buf.data(), buf.size(), swapNibbles_, n);
  if (GetDataSize() > 0) {
    SelectAll();
    ReplaceSelection(buf.data(), static_cast<int32_t>(n));
  } else {
    InsertBuffer(buf.data(), static_cast<int32_t>(n), 0);
  }
}

AnsiString THexEditorCore::GetSelectionAsText() const {
  if (GetSelCount() == 0) return AnsiString();
  return AnsiString(static_cast<const char*>(data_.Memory()) + selLow_, static_cast<size_t>(GetSelCount()));
}

void THexEditorCore::SetSelectionAsText(const AnsiString& text) {
  if (text.empty()) return;
  std::vector<uint8_t> buf(text.begin(), text.end());
  TranslateBufferFromAnsi(translation_, buf.data(), buf.data(), buf.size());
  ReplaceSelection(buf.data(), static_cast<int32_t>(buf.size()));
}

AnsiString THexEditorCore::GetSelectionAsHex() const {
  int32_t n = GetSelCount();
  if (n == 0) return AnsiString();
  std::string s(static_cast<size_t>(n) * 2 + 1, '\0');
  ConvertBinToHex(static_cast<const uint8_t*>(data_.Memory()) + selLow_, s.data(), static_cast<size_t>(n),
                  swapNibbles_);
  s.pop_back();
  return s;
}

void THexEditorCore::SetSelectionAsHex(const AnsiString& hex) {
  if (hex.empty()) return;
  std::vector<uint8_t> buf(hex.size() / 2 + 1);
  size_t n = 0;
  ConvertHexToBin(hex.data(), hex.size(), buf.data(), buf.size(), swapNibbles_, n);
  if (n == 0) return;
  ReplaceSelection(buf.data(), static_cast<int32_t>(n));
}

// ---------------------------------------------------------------------------
// Geometry

int32_t THexEditorCore::GetPosAtCursor(int col, int row) {
  int32_t base = (row - 2) * bytesPerRow_;
  int32_t p;
  if (col > SeparatorCol()) {
    inCharField_ = true;
    p = base + (col - FirstCharCol());
  } else {
    inCharField_ = false;
    p = base + (col >= 2 ? (col - 2) / 2 : -1);
  }
  return p < 0 ? 0 : p;
}

void THexEditorCore::GetCursorAtPos(int32_t pos, bool inCharField, int& col, int& row) const {
  if (pos < 0) {
    col = 2;
    row = 2;
    return;
  }
  row = pos / bytesPerRow_ + 2;
  col = inCharField ? pos % bytesPerRow_ + FirstCharCol() : 2 * (pos % bytesPerRow_) + 2;
}

int THexEditorCore::GetOtherFieldCol(int col) const {
  if (col > SeparatorCol()) return 2 * (col - FirstCharCol()) + 2;
  return (col - 2) / 2 + FirstCharCol();
}

int THexEditorCore::CalcRowCount() const {
  int32_t ds = GetDataSize();
  if (ds == 0) return 3;
  int rows = 2 + (ds + bytesPerRow_ - 1) / bytesPerRow_;
  if (ds % bytesPerRow_ == 0 && GetInsertMode()) ++rows;
  return rows;
}

void THexEditorCore::CalcSizes() {
  LeavePastEnd();
  CutChangeMarks(static_cast<size_t>(GetDataSize()));
  GridSetCounts(CalcColCount(), CalcRowCount());
  SetOffsetDisplayWidth();
  MetricsChanged();
}

int32_t THexEditorCore::TruncMaxPosition(int32_t pos) const {
  int32_t ds = GetDataSize();
  if (pos >= ds) pos = GetInsertMode() ? ds : ds - 1;
  return pos;
}

void THexEditorCore::MoveCaretToPos(int32_t pos, bool inCharField, bool secondDigit) {
  int col, row;
  GetCursorAtPos(pos, inCharField, col, row);
  if (secondDigit && !inCharField && pos >= 0) ++col;
  GridMoveCurrent(col, row);
}

void THexEditorCore::SetBytesPerRow(int n) {
  if (n < 1 || n > 256) throw EHexException(L"Invalid bytes per line argument");
  if (n == bytesPerRow_) return;
  if (offsetFormat_.Flags & offCalcRow) offsetFormat_.BytesPerUnit = static_cast<uint16_t>(n);
  int32_t a = selAnchor_, lo = selLow_, hi = selHigh_;
  int col = GridCol();
  int32_t pos = GetPosAtCursor(col, GridRow());
  bool inChar = inCharField_;
  bool second = !inChar && IsSecondDigitCol(col);
  bytesPerRow_ = n;
  CalcSizes();
  if (pos >= GetDataSize()) pos = GetDataSize() - 1;
  selecting_ = false;
  MoveCaretToPos(pos, inChar, second);
  SetSelection(a, lo, hi);
  InvalidateAll();
}

void THexEditorCore::SetBytesPerColumn(int n) {
  if (n < 1 || n > 256) throw EHexException(L"Invalid bytes per column argument");
  if (n == bytesPerColumn_) return;
  if (offsetFormat_.Flags & offCalcColumn) offsetFormat_.BytesPerUnit = static_cast<uint16_t>(n);
  bytesPerColumn_ = n;
  MetricsChanged();
  InvalidateAll();
}

// ---------------------------------------------------------------------------
// Offsets and ruler

void THexEditorCore::SetOffsetFormat(const String& text) {
  if (text == offsetFormat_.Format) return;
  offsetFormat_.GenerateOffsetFormat(text, bytesPerRow_, bytesPerColumn_);
  SetOffsetDisplayWidth();
  MetricsChanged();
  InvalidateAll();
}

String THexEditorCore::GetOffsetString(uint32_t pos) const {
  const THexOffsetFormat& f = offsetFormat_;
  if (f.Format.empty()) return String();
  if (f.MinWidth == 0 && pos == 0) return f.Prefix + f.Suffix;
  String d = IntToRadixLen(pos / f.BytesPerUnit, f.Radix, f.MinWidth);
  if (hexLowerCase_)
    for (auto& c : d) c = (c >= L'A' && c <= L'F') ? static_cast<wchar_t>(c + 32) : c;
  return f.Prefix + d + f.Suffix;
}

String THexEditorCore::GetAnyOffsetString(int32_t pos) const {
  if (!offsetFormat_.Format.empty()) return GetOffsetString(static_cast<uint32_t>(pos));
  return IntToRadix(static_cast<uint32_t>(pos), 16);
}

void THexEditorCore::SetOffsetDisplayWidth() {
  uint32_t last = static_cast<uint32_t>(std::max(0, GridRowCount() - 3)) * static_cast<uint32_t>(bytesPerRow_);
  if (offsetFormat_.Flags & offCalcWidth)
    offsetFormat_.MinWidth =
        static_cast<int32_t>(IntToRadix(last / offsetFormat_.BytesPerUnit, offsetFormat_.Radix).size());
  offsetDisplayWidth_ = static_cast<int>(GetOffsetString(last).size()) + 1;
}

void THexEditorCore::SetGutterWidth(int w) {
  if (w == gutterWidth_) return;
  gutterWidth_ = w;
  SetOffsetDisplayWidth();
  MetricsChanged();
  InvalidateAll();
}

void THexEditorCore::SetHexLowerCase(bool value) {
  if (value == hexLowerCase_) return;
  hexLowerCase_ = value;
  std::memcpy(digits_, value ? L"0123456789abcdef" : L"0123456789ABCDEF", sizeof(wchar_t) * 17);
  InvalidateAll();
}

String THexEditorCore::RulerText(int col) const {
  if (col == SeparatorCol()) return L"  ";
  if (col >= 2 && col < SeparatorCol()) {
    int k = (col - 2) / 2;
    return String(1, (col - 2) % 2 == 0 ? digits_[(k / 16) & 15] : digits_[k % 16]);
  }
  if (col > SeparatorCol()) return String(1, digits_[(col - FirstCharCol()) % 16]);
  return String();
}

// ---------------------------------------------------------------------------
// Selection

int32_t THexEditorCore::GetSelStart() {
  if (selAnchor_ >= 0) return selAnchor_;
  return std::min(GetPosAtCursor(GridCol(), GridRow()), GetDataSize());
}

int32_t THexEditorCore::GetSelEnd() {
  if (selAnchor_ < 0) return std::min(GetPosAtCursor(GridCol(), GridRow()), GetDataSize());
  return selHigh_ == selAnchor_ ? selLow_ : selHigh_;
}

void THexEditorCore::SetSelStart(int32_t pos) {
  if (pos < 0 || pos >= GetDataSize()) throw EHexException(L"Invalid selection start");
  ResetSelection(true);
  MoveCaretToPos(pos, CaretInCharField());
}

void THexEditorCore::SetSelEnd(int32_t pos) {
  if (pos < -1 || pos >= GetDataSize()) throw EHexException(L"Invalid selection end");
  ResetSelection(true);
  if (pos >= 0) {
    int col, row;
    GetCursorAtPos(pos, CaretInCharField(), col, row);
    Select(GridCol(), GridRow(), row, col);
  }
}

void THexEditorCore::SetSelection(int32_t anchor, int32_t low, int32_t high) {
  int32_t maxp = GetDataSize() - 1;
  auto clampp = [&](int32_t v) { return std::clamp(v, -1, maxp); };
  selAnchor_ = clampp(anchor);
  selLow_ = clampp(low);
  selHigh_ = clampp(high);
  if (selAnchor_ < 0 || selLow_ < 0 || selHigh_ < 0 || selLow_ > selHigh_) selAnchor_ = selLow_ = selHigh_ = -1;
}

void THexEditorCore::NewSelection(int32_t a, int32_t b) {
  int32_t oldLo = selLow_, oldHi = selHigh_;
  SetSelection(a, std::min(a, b), std::max(a, b));
  if (oldLo != selLow_ || oldHi != selHigh_) {
    if (oldLo >= 0) InvalidatePositions(oldLo, oldHi);
    if (selLow_ >= 0) InvalidatePositions(selLow_, selHigh_);
  }
}

void THexEditorCore::Select(int fromCol, int fromRow, int toRow, int toCol) {
  int32_t from = selAnchor_ >= 0 ? selAnchor_ : GetPosAtCursor(fromCol, fromRow);
  int32_t to = GetPosAtCursor(toCol, toRow);
  NewSelection(from, to);
}

void THexEditorCore::ResetSelection(bool redraw) {
  selecting_ = false;
  int32_t lo = selLow_, hi = selHigh_;
  selLow_ = selHigh_ = selAnchor_ = -1;
  insAnchor_ = -1;
  if (redraw && lo >= 0) InvalidatePositions(lo, hi);
}

void THexEditorCore::SelectAll() {
  int32_t ds = GetDataSize();
  if (ds == 0) return;
  selecting_ = false;
  MoveCaretToPos(GetInsertMode() ? ds : ds - 1, CaretInCharField());
  NewSelection(0, ds - 1);
}

void THexEditorCore::InternalGetCurSel(int32_t& start, int32_t& end, int& col, int& row) {
  if (selAnchor_ >= 0) {
    start = selLow_;
    end = selHigh_ + 1;
    GetCursorAtPos(selLow_, CaretInCharField(), col, row);
  } else {
    col = GridCol();
    row = GridRow();
    start = GetPosAtCursor(col, row);
    end = start + 1;
  }
  if (start >= 0) CutChangeMarks(static_cast<size_t>(start));
}

void THexEditorCore::SetInCharField(bool value) {
  if (GetDataSize() == 0 || value == GetInCharField()) return;
  GridMoveCurrent(GetOtherFieldCol(GridCol()), GridRow());
}

bool THexEditorCore::GetInCharField() { return GetDataSize() > 0 && CaretInCharField(); }

int32_t THexEditorCore::GetTopLeftPosition(bool& inCharField) {
  int32_t p = GetPosAtCursor(std::max(2, GridLeftCol()), GridTopRow());
  inCharField = inCharField_;
  return p;
}

void THexEditorCore::SetTopLeftPosition(int32_t pos, bool inCharField) {
  int col, row;
  GetCursorAtPos(pos, inCharField, col, row);
  GridSetTopLeft(col, row);
}

// ---------------------------------------------------------------------------
// Modes

void THexEditorCore::SetInsertMode(bool value) {
  if (value == insertMode_ || !allowInsertMode_ || readOnlyView_ || noSizeChange_) return;
  int32_t ds = GetDataSize();
  bool atAppend = ds > 0 && GetPosAtCursor(GridCol(), GridRow()) >= ds;
  bool inChar = IsCharCol(GridCol());
  // The typing place after the data becomes the append position.
  const bool pastEnd = pastEnd_;
  LeavePastEnd();
  insertMode_ = value;
  CaretShapeChanged();
  if (ds > 0) {
    if (!value && atAppend) {
      selecting_ = false;
      MoveCaretToPos(ds - 1, inChar);
    }
    GridSetCounts(CalcColCount(), CalcRowCount());
    if (value && pastEnd) {
      selecting_ = false;
      MoveCaretToPos(ds, inChar);
    }
  }
  changes_.SetSize(0);
  InvalidateAll();
}

void THexEditorCore::SetAllowInsertMode(bool value) {
  if (noSizeChange_ || readOnlyView_) {
    allowInsertMode_ = false;
    return;
  }
  if (!value && insertMode_) SetInsertMode(false);
  allowInsertMode_ = value;
}

void THexEditorCore::SetNoSizeChange(bool value) {
  if (value == noSizeChange_) return;
  // Leave insert mode first: once the flag is on, the mode can't change.
  if (value) SetInsertMode(false);
  noSizeChange_ = value;
}

void THexEditorCore::SetSwapNibbles(bool value) {
  if (value == swapNibbles_) return;
  swapNibbles_ = value;
  InvalidateAll();
}

void THexEditorCore::SetMaskChar(uint8_t c) {
  if (c == maskChar_) return;
  maskChar_ = c;
  InvalidateAll();
}

void THexEditorCore::SetTranslation(THexTranslationKind kind) {
  if (kind == translation_) return;
  translation_ = kind;
  InvalidateAll();
}

// ---------------------------------------------------------------------------
// Change tracking

bool THexEditorCore::GetModified() const {
  return modified_ && (GetDataSize() > 0 || (fileName_ != L"---" && FileExists(fileName_)));
}

void THexEditorCore::SetModified(bool value) {
  modified_ = value;
  if (!value) {
    ResetUndo();
    changes_.SetSize(0);
    InvalidateAll();
  }
}

void THexEditorCore::SetChanged(int32_t pos, bool value) {
  if (pos < 0) return;
  if (GetInsertMode()) changes_.SetSize(0);
  if (value || pos < changes_.GetSize()) changes_.SetBit(pos, value);
}

// ---------------------------------------------------------------------------
// Editing primitives

bool THexEditorCore::CreateUndo(THexUndoFlag kind, int32_t pos, int32_t count, int32_t replaceCount,
                                const String& description) {
  bool ok = GetDataSize() > 0 || kind == ufKindInsertBuffer || kind == ufKindAppendBuffer;
  if (ok && noSizeChange_) {
    switch (kind) {
      case ufKindByteRemoved:
      case ufKindInsertBuffer:
      case ufKindAppendBuffer:
      case ufKindNibbleInsert:
      case ufKindNibbleDelete:
        ok = false;
        break;
      case ufKindReplaceSelection:
        ok = count == replaceCount;
        break;
      default:
        break;
    }
  }
  if (!ok && kind == ufKindCombined && count <= undo_.Count()) ok = true;
  if (!ok) return false;
  undo_.CreateUndo(kind, pos, count, replaceCount, description);
  modified_ = true;
  return true;
}

void THexEditorCore::IntChangeByte(uint8_t oldByte, uint8_t newByte, int32_t pos, int /*col*/, int /*row*/,
                                   const String& description) {
  if (oldByte == newByte) return;
  if (pos < 0 || pos >= GetDataSize()) return;
  if (!CreateUndo(ufKindByteChanged, pos, 1, 0, description)) return;
  SetMemory(pos, newByte);
  if (!GetInsertMode()) SetChanged(pos, true);
  InvalidatePositions(pos, pos);
  Changed();
}

void THexEditorCore::InternalInsertBuffer(const uint8_t* buffer, int32_t count, int32_t pos) {
  int32_t old = GetDataSize();
  if (old == 0) {
    data_.SetPosition(0);
    changes_.SetSize(0);
  }
  // The buffer may lie inside the store, which can move when it grows.
  std::vector<uint8_t> copy;
  const uint8_t* mem = static_cast<const uint8_t*>(data_.Memory());
  if (old > 0 && buffer >= mem && buffer < mem + old) {
    copy.assign(buffer, buffer + count);
    buffer = copy.data();
  }
  data_.SetSize(static_cast<int64_t>(old) + count);
  uint8_t* m = static_cast<uint8_t*>(data_.Memory());
  std::memmove(m + pos + count, m + pos, static_cast<size_t>(old - pos));
  std::memcpy(m + pos, buffer, static_cast<size_t>(count));
  CalcSizes();
}

void THexEditorCore::InternalAppendBuffer(const uint8_t* buffer, int32_t count) {
  InternalInsertBuffer(buffer, count, GetDataSize());
}

void THexEditorCore::InsertBuffer(const uint8_t* buffer, int32_t count, int32_t pos, const String& description) {
  if (!buffer || count <= 0) return;
  if (pos < 0 || pos > GetDataSize()) throw EHexException(kInvalidMemoryIndex);
  CheckGrowth(GetDataSize(), count);
  if (!CreateUndo(ufKindInsertBuffer, pos, count, 0, description)) return;
  bool inChar = CaretInCharField();
  InternalInsertBuffer(buffer, count, pos);
  AdjustBookmarks(pos, count);
  CutChangeMarks(static_cast<size_t>(pos));
  if (IsControlEnabled()) {
    NewSelection(pos, pos + count - 1);
    MoveCaretToPos(pos + count - 1, inChar);
    NewSelection(pos, pos + count - 1);
  }
  InvalidateAll();
  Changed();
}

void THexEditorCore::AppendBuffer(const uint8_t* buffer, int32_t count, const String& description) {
  if (!buffer || count <= 0) return;
  int32_t ds = GetDataSize();
  CheckGrowth(ds, count);
  if (!CreateUndo(ufKindAppendBuffer, ds, count, 0, description)) return;
  bool inChar = CaretInCharField();
  CutChangeMarks(static_cast<size_t>(ds));
  InternalAppendBuffer(buffer, count);
  selecting_ = false;
  MoveCaretToPos(ds, inChar);
  NewSelection(ds, ds + count - 1);
  InvalidateAll();
  Changed();
}

void THexEditorCore::ReplaceSelection(const uint8_t* buffer, int32_t count, const String& description) {
  if (selAnchor_ < 0) {
    InsertBuffer(buffer, count, GetSelStart(), description);
    return;
  }
  if (count < 0) return;
  int32_t lo = selLow_;
  int32_t len = selHigh_ - selLow_ + 1;
  if (noSizeChange_) {
    if (count > len) count = len;
    if (count == 0) return;
    if (count < len) {
      SetSelection(lo, lo, lo + count - 1);
      len = count;
    }
  }
  CheckGrowth(GetDataSize(), static_cast<int64_t>(count) - len);
  if (!CreateUndo(ufKindReplaceSelection, lo, count, len, description)) return;
  bool inChar = CaretInCharField();
  std::vector<uint8_t> copy(buffer ? buffer : nullptr, buffer ? buffer + count : nullptr);
  int32_t old = GetDataSize();
  uint8_t* m = static_cast<uint8_t*>(data_.Memory());
  if (count != len) {
    if (count > len) {
      data_.SetSize(static_cast<int64_t>(old) + (count - len));
      m = static_cast<uint8_t*>(data_.Memory());
      std::memmove(m + lo + count, m + lo + len, static_cast<size_t>(old - lo - len));
    } else {
      std::memmove(m + lo + count, m + lo + len, static_cast<size_t>(old - lo - len));
      data_.SetSize(static_cast<int64_t>(old) - (len - count));
      m = static_cast<uint8_t*>(data_.Memory());
    }
  }
  if (count > 0) std::memcpy(m + lo, copy.data(), static_cast<size_t>(count));
  CalcSizes();
  AdjustBookmarks(lo + len, count - len);
  CutChangeMarks(static_cast<size_t>(std::max(0, lo)));
  selecting_ = false;
  if (count > 0) {
    MoveCaretToPos(lo + count - 1, inChar);
    NewSelection(lo + count - 1, lo);
  } else {
    ResetSelection(false);
    MoveCaretToPos(TruncMaxPosition(lo), inChar);
  }
  InvalidateAll();
  Changed();
}

void THexEditorCore::DeleteSelection(const String& description) {
  int32_t start, end;
  int col, row;
  InternalGetCurSel(start, end, col, row);
  int32_t ds = GetDataSize();
  end = std::min(end, ds);
  if (start < 0 || start >= end) return;
  if (!CreateUndo(ufKindByteRemoved, start, end - start, 0, description)) return;
  InternalDelete(start, end, col, row);
  AdjustBookmarks(end, -(end - start));
  Changed();
}

void THexEditorCore::InternalDelete(int32_t start, int32_t end, int col, int row) {
  bool inChar = IsCharCol(col >= 0 ? col : GridCol());
  int32_t old = GetDataSize();
  uint8_t* m = static_cast<uint8_t*>(data_.Memory());
  std::memmove(m + start, m + end, static_cast<size_t>(old - end));
  data_.SetSize(old - (end - start));
  CalcSizes();
  int32_t ds = GetDataSize();
  selecting_ = false;
  selLow_ = selHigh_ = selAnchor_ = -1;
  if (ds == 0) {
    MoveCaretToPos(0, inChar);
  } else if (col >= 0 && GetPosAtCursor(col, row) < ds) {
    GridMoveCurrent(col, row);
  } else {
    MoveCaretToPos(GetInsertMode() ? ds : ds - 1, inChar);
  }
  ResetSelection(false);
  InvalidateAll();
}

void THexEditorCore::InternalErase(bool backspace, const String& description) {
  int32_t ds = GetDataSize();
  int32_t caret = GetPosAtCursor(GridCol(), GridRow());
  bool inChar = inCharField_;
  if (backspace) {
    int32_t p = (GetInsertMode() && selAnchor_ < 0) ? caret : GetCursorPos();
    if (p <= 0 || p > ds) return;
    if (!CreateUndo(ufKindByteRemoved, p - 1, 1, 0, description)) return;
    InternalDelete(p - 1, p, GridCol(), GridRow());
    AdjustBookmarks(p, -1);
    selecting_ = false;
    MoveCaretToPos(TruncMaxPosition(p - 1), inChar);
    Changed();
  } else {
    // Delete takes the byte after the caret; at the append position there
    // is none.
    int32_t p = caret;
    if (p >= ds) return;
    if (!CreateUndo(ufKindByteRemoved, p, 1, 0, description)) return;
    InternalDelete(p, p + 1, GridCol(), GridRow());
    AdjustBookmarks(p + 1, -1);
    Changed();
  }
}

namespace {
// Shifts n bytes right by four bits into dst (which may be src): each byte
// takes the low nibble carried from the byte before as its high nibble.
// Answers the low nibble of the last byte.
uint8_t Shift4Bits(const uint8_t* src, size_t n, uint8_t* dst, uint8_t carry) {
  for (size_t i = 0; i < n; ++i) {
    uint8_t b = src[i];
    dst[i] = static_cast<uint8_t>((b >> 4) | (carry << 4));
    carry = b & 0x0F;
  }
  return carry;
}
constexpr size_t kShiftBlock = 512;
}  // namespace

void THexEditorCore::InternalInsertNibble(int32_t pos, bool highNibble) {
  const int32_t old = GetDataSize();
  const size_t n = static_cast<size_t>(old - pos) + 1;  // one byte more for the last nibble
  const uint8_t first = static_cast<const uint8_t*>(data_.Memory())[pos];
  std::vector<uint8_t> shifted(n);
  bool viaFile = false;
  String name;
  try {
    std::unique_ptr<TStream> file = CreateShift4BitStream(pos, name);
    if (file) {
      file->ReadBuffer(shifted.data(), static_cast<int64_t>(n));
      viaFile = true;
    }
  } catch (const Exception&) {
    // No temporary file to be had (a full or missing folder): the edit is
    // done in memory instead of failing after its undo record was taken.
  }
  if (!name.empty()) DeleteFile(name);
  if (!viaFile) {
    const uint8_t* m = static_cast<const uint8_t*>(data_.Memory());
    shifted[n - 1] = static_cast<uint8_t>(Shift4Bits(m + pos, n - 1, shifted.data(), 0) << 4);
  }
  data_.SetSize(static_cast<int64_t>(old) + 1);
  uint8_t* m = static_cast<uint8_t*>(data_.Memory());
  std::copy(shifted.begin(), shifted.end(), m + pos);
  if (!highNibble) m[pos] = first & 0xF0;
}

void THexEditorCore::InternalDeleteNibble(int32_t pos, bool highNibble) {
  int32_t n = GetDataSize();
  uint8_t* m = static_cast<uint8_t*>(data_.Memory());
  uint8_t first = m[pos];
  for (int32_t i = pos; i < n; ++i) {
    uint8_t next = i + 1 < n ? m[i + 1] : 0;
    m[i] = static_cast<uint8_t>((m[i] << 4) | (next >> 4));
  }
  if (!highNibble) m[pos] = static_cast<uint8_t>((first & 0xF0) | (m[pos] & 0x0F));
}

bool THexEditorCore::InsertNibble(int32_t pos, bool highNibble, const String& description) {
  if (GetDataSize() == 0) {
    uint8_t zero = 0;
    InternalAppendBuffer(&zero, 1);
    Changed();
    return true;
  }
  if (pos < 0 || pos >= GetDataSize()) return false;
  CheckGrowth(GetDataSize(), 1);
  if (!CreateUndo(ufKindNibbleInsert, pos, 0, 0, description)) return false;
  ResetSelection(false);
  WaitCursor();
  InternalInsertNibble(pos, highNibble);
  CutChangeMarks(static_cast<size_t>(pos));
  CalcSizes();
  OldCursor();
  InvalidateAll();
  Changed();
  return true;
}

bool THexEditorCore::DeleteNibble(int32_t pos, bool highNibble, const String& description) {
  if (pos < 0 || pos >= GetDataSize()) return false;
  if (!CreateUndo(ufKindNibbleDelete, pos, 0, 0, description)) return false;
  ResetSelection(false);
  WaitCursor();
  InternalDeleteNibble(pos, highNibble);
  CutChangeMarks(static_cast<size_t>(pos));
  CalcSizes();
  OldCursor();
  InvalidateAll();
  Changed();
  return true;
}

void THexEditorCore::InternalConvertRange(int32_t from, int32_t to, THexTranslationKind fromKind,
                                          THexTranslationKind toKind) {
  WaitCursor();
  uint8_t* m = static_cast<uint8_t*>(data_.Memory()) + from;
  size_t n = static_cast<size_t>(to - from + 1);
  TranslateBufferToAnsi(fromKind, m, m, n);
  TranslateBufferFromAnsi(toKind, m, m, n);
  OldCursor();
}

void THexEditorCore::ConvertRange(int32_t from, int32_t to, THexTranslationKind fromKind,
                                  THexTranslationKind toKind, const String& description) {
  if (from > to || to >= GetDataSize() || from < 0 || fromKind == toKind) return;
  if (!CreateUndo(ufKindConvert, from, to - from + 1, 0, description)) return;
  InternalConvertRange(from, to, fromKind, toKind);
  InvalidateAll();
  Changed();
}

void THexEditorCore::CombineUndo(int32_t count, const String& description) {
  CreateUndo(ufKindCombined, 0, count, 0, description);
}

bool THexEditorCore::Undo() { return undo_.Undo(); }
bool THexEditorCore::Redo() { return undo_.Redo(); }

String THexEditorCore::GetUndoDescription() const {
  return undo_.CanUndo() ? undo_.Description() : String(L"No Undo");
}

void THexEditorCore::TruncateData(int32_t n) {
  if (n < 0) n = 0;
  if (n < GetDataSize()) data_.SetSize(n);
}

// ---------------------------------------------------------------------------
// Keyboard

void THexEditorCore::HexKeyDown(int& key, TShiftState shift) {
  switch (key) {
    case hexkeys::Insert:
      SetInsertMode(!GetInsertMode());
      key = 0;
      return;
    case hexkeys::Back:
      if (GetInsertMode() && !readOnlyView_) {
        key = 0;
        // Selected bytes go, and no others: the byte before a selection
        // was not chosen to go with it.
        if (GetSelCount() > 0)
          DeleteSelection();
        else
          InternalErase(true);
        return;
      }
      key = hexkeys::Left;
      break;
    case hexkeys::Delete:
      if (!readOnlyView_) {
        key = 0;
        LeavePastEnd();
        if (CtrlOnly(shift)) {
          DeleteSelection();
        } else if (GetInsertMode()) {
          if (GetSelCount() > 0)
            DeleteSelection();
          else
            InternalErase(false);
        }
        return;
      }
      break;
    default:
      break;
  }
  if (ParseKeyDown(shift, key)) key = 0;
}

void THexEditorCore::HexKeyUp(int& key, TShiftState /*shift*/) { altReleased_ = key == hexkeys::Menu; }

namespace {
// The keys that move the caret.
bool IsCaretKey(int key) {
  switch (key) {
    case hexkeys::Left:
    case hexkeys::Right:
    case hexkeys::Up:
    case hexkeys::Down:
    case hexkeys::Prior:
    case hexkeys::Next:
    case hexkeys::Home:
    case hexkeys::End:
    case hexkeys::Tab:
      return true;
    default:
      return false;
  }
}
}  // namespace

bool THexEditorCore::ParseKeyDown(TShiftState shift, int key) {
  // A caret key without Shift ends the selection in overwrite mode. The key
  // of a typed character leaves it: what is typed goes onto the selection.
  if (shift.Empty() && IsCaretKey(key) && !GetInsertMode()) ResetSelection(true);
  if (pastEnd_ && IsCaretKey(key) && !(key == hexkeys::Right && !HasCtrl(shift))) {
    // From the typing place after the data a caret key starts on the last
    // cell; Left only goes back onto it.
    LeavePastEnd();
    if (key == hexkeys::Left && !HasCtrl(shift)) return true;
  }
  const int B = bytesPerRow_;
  const int col = GridCol(), row = GridRow();
  const int32_t P = GetPosAtCursor(col, row);
  const bool inChar = inCharField_;
  const int32_t ds = GetDataSize();
  const bool ins = GetInsertMode();
  const int32_t maxPos = ins ? ds : ds - 1;
  const int vis = GridVisibleRowCount();
  switch (key) {
    case hexkeys::Left:
      if (HasCtrl(shift)) return false;
      if (inChar) {
        MoveCaretToPos(std::max(0, P - 1), true);
      } else if (IsSecondDigitCol(col)) {
        GridMoveCurrent(col - 1, row);
      } else if (P >= 1) {
        MoveCaretToPos(P - 1, false, true);
      }
      return true;
    case hexkeys::Right:
      if (HasCtrl(shift)) {
        GridMoveCurrent(GetLastCharCol(), row);
        return true;
      }
      if (pastEnd_) return true;  // nothing further right
      // In overwrite mode Right on the last cell goes on to the typing place
      // after it, as typing there does, where the next character adds a byte.
      if (!ins && shift.Empty() && !readOnlyView_ && !noSizeChange_ && IsLastCell(col, row)) {
        pastEnd_ = true;
        CaretPlaceChanged();
        return true;
      }
      if (inChar) {
        MoveCaretToPos(std::max(0, std::min(P + 1, maxPos)), true);
      } else if (!IsSecondDigitCol(col)) {
        if (P != ds) GridMoveCurrent(col + 1, row);
      } else if (P + 1 < ds || (P + 1 == ds && ins)) {
        MoveCaretToPos(P + 1, false);
      }
      return true;
    case hexkeys::Up:
      if (!HasCtrl(shift) && row - 1 >= 2) GridMoveCurrent(col, row - 1);
      return true;
    case hexkeys::Down:
      if (!HasCtrl(shift) && row + 1 < GridRowCount()) GridMoveCurrent(col, row + 1);
      return true;
    case hexkeys::Prior:
      if (HasCtrl(shift)) {
        GridMoveCurrent(col, GridTopRow());
      } else {
        int r = std::max(2, row - vis + 1);
        GridSetTopRow(std::max(2, GridTopRow() - vis + 1));
        GridMoveCurrent(col, r);
      }
      return true;
    case hexkeys::Next:
      if (HasCtrl(shift)) {
        int r = std::min(GridRowCount() - 2, GridTopRow() + vis - 1);
        if (r >= 1) GridMoveCurrent(col, r);
      } else {
        int r = std::min(GridRowCount() - 2, row + vis - 1);
        GridSetTopRow(std::min(std::max(2, GridRowCount() - vis), GridTopRow() + vis - 1));
        if (r > 0) GridMoveCurrent(col, r);
      }
      return true;
    case hexkeys::Home:
      GridMoveCurrent(inChar ? FirstCharCol() : 2, HasCtrl(shift) ? 2 : row);
      return true;
    case hexkeys::End:
      if (HasCtrl(shift)) {
        MoveCaretToPos(std::max(0, maxPos), inChar);
      } else {
        int32_t last = std::min((row - 2) * B + B - 1, maxPos);
        MoveCaretToPos(std::max(0, last), inChar, !inChar);
      }
      return true;
    case hexkeys::Tab:
      if (shift.Empty() || ShiftOnly(shift)) {
        GridMoveCurrent(std::max(2, GetOtherFieldCol(col)), row);
        return true;
      }
      return false;
    case 'T':
      if (HasCtrl(shift)) {
        GridMoveCurrent(std::max(2, GetOtherFieldCol(col)), row);
        return true;
      }
      return false;
    case hexkeys::Shift:
      if (ShiftOnly(shift) || shift == TShiftState{ssShift, ssCtrl}) {
        selecting_ = true;
        return true;
      }
      return false;
    default:
      break;
  }
  if (key >= '0' && key <= '9' && HasCtrl(shift)) {
    int i = key - '0';
    if (HasShift(shift)) {
      SetBookmarkVals(i, P, inChar);
      return true;
    }
    THexBookmark bm = bookmarks_[static_cast<size_t>(i)];
    if (bm.mPosition < 0) return false;
    ResetSelection(true);
    if (bm.mPosition < ds || (ins && bm.mPosition == ds)) {
      MoveCaretToPos(bm.mPosition, bm.mInCharField);
    } else {
      bookmarks_[static_cast<size_t>(i)].mPosition = -1;
      InvalidateAll();
    }
    return true;
  }
  return false;
}

void THexEditorCore::WMChar(uint8_t c) {
  if (readOnlyView_ || c < 32) return;
  // The character is checked before anything moves: a refused one leaves
  // the selection and the caret where they were. In the character field it
  // is translated here, once.
  static const char kValid[] = "0123456789abcdef0123456789ABCDEF";
  const bool alt = altReleased_;
  if (CaretInCharField()) {
    if (alt)
      HexAnsiToOemBuff(&c, &c, 1);
    else
      c = TranslateFromAnsiChar(c);
    if (c < 32 && !alt) {
      WrongKey();
      return;
    }
  } else if (!std::memchr(kValid, c, 32)) {
    WrongKey();
    return;
  }
  const bool ins = GetInsertMode();
  // Shift held for a typed character (an upper-case hex digit or letter)
  // selects nothing: the caret's step past the typed byte or digit must not
  // select it, or the next digit would replace it. A selection already made
  // is still replaced by what is typed. Shift still held afterwards selects
  // with the next caret key, as it did before the character.
  const bool selectingBefore = selecting_;
  selecting_ = false;
  struct SelectingAfter {
    THexEditorCore& ed;
    bool wanted;
    ~SelectingAfter() {
      if (wanted && ed.IsKeyDown(hexkeys::Shift)) ed.selecting_ = true;
    }
  } selectingAfter{*this, selectingBefore};
  // In overwrite mode what is typed over a selection goes onto the selected
  // bytes, from the first one's first digit on, wherever the caret stands
  // in it.
  if (!ins && selAnchor_ >= 0) {
    const int32_t first = selLow_;
    const bool chars = CaretInCharField();
    ResetSelection(true);
    LeavePastEnd();
    MoveCaretToPos(first, chars);
  }
  const int col = GridCol(), row = GridRow();
  const int32_t P = GetPosAtCursor(col, row);
  const bool inChar = inCharField_;
  const int32_t ds = GetDataSize();
  // Typed on past the last cell in overwrite mode, or with no data to
  // overwrite, the character adds a byte, as in insert mode.
  const bool append = (pastEnd_ || ds == 0) && !ins;
  if (P >= ds && !ins && !append) return;
  uint8_t old = (P < ds) ? GetMemory(P) : 0;
  if (inChar) {
    altReleased_ = false;
    if (append) {
      AppendTyped(c);
    } else if (!ins) {
      ResetSelection(true);
      IntChangeByte(old, c, P, col, row);
    } else if (selAnchor_ < 0) {
      if (P == ds)
        AppendBuffer(&c, 1);
      else
        InsertBuffer(&c, 1, P);
      selecting_ = false;
    } else {
      ReplaceSelection(&c, 1);
    }
  } else {
    int d = HexDigitValue(static_cast<char>(c));
    if (!ins) ResetSelection(true);
    bool second = IsSecondDigitCol(col);
    bool onHigh = second == swapNibbles_;
    uint8_t nb = (onHigh || selAnchor_ >= 0) ? static_cast<uint8_t>(d * 16 + (old % 16))
                                             : static_cast<uint8_t>((old & 0xF0) + d);
    if (append) {
      AppendTyped(swapNibbles_ ? static_cast<uint8_t>(d) : static_cast<uint8_t>(d * 16));
    } else if (ins) {
      if (!second || selAnchor_ >= 0) {
        uint8_t ib = swapNibbles_ ? static_cast<uint8_t>(nb % 16) : static_cast<uint8_t>(nb & 0xF0);
        if (ds == 0 || P == ds) {
          if (selAnchor_ >= 0)
            ReplaceSelection(&ib, 1);
          else
            AppendBuffer(&ib, 1);
          selecting_ = false;
        } else if (selAnchor_ < 0) {
          InsertBuffer(&ib, 1, P);
          selecting_ = false;
        } else {
          ReplaceSelection(&ib, 1);
        }
      } else {
        IntChangeByte(old, nb, P, col, row);
      }
    } else {
      IntChangeByte(old, nb, P, col, row);
    }
  }
  const int typedCol = GridCol(), typedRow = GridRow();
  ParseKeyDown(TShiftState{}, hexkeys::Right);
  // In overwrite mode the caret cannot step past the last cell; it stands
  // after it instead, where the next character adds a byte.
  if (!GetInsertMode() && GridCol() == typedCol && GridRow() == typedRow && IsLastCell(typedCol, typedRow)) {
    pastEnd_ = true;
    CaretPlaceChanged();
  }
}

void THexEditorCore::AppendTyped(uint8_t b) {
  const int32_t pos = GetDataSize();
  LeavePastEnd();
  AppendBuffer(&b, 1);
  if (GetDataSize() > pos)
    SetChanged(pos, true);
  else
    WrongKey();  // the size is fixed
}

bool THexEditorCore::IsLastCell(int col, int row) {
  const int32_t ds = GetDataSize();
  if (ds == 0 || GetPosAtCursor(col, row) != ds - 1) return false;
  return IsCharCol(col) || IsSecondDigitCol(col);
}

void THexEditorCore::LeavePastEnd() {
  if (!pastEnd_) return;
  pastEnd_ = false;
  CaretPlaceChanged();
}

// ---------------------------------------------------------------------------
// Which cells may hold the caret

bool THexEditorCore::CheckSelectCell(int col, int row) {
  const int oldCol = GridCol(), oldRow = GridRow();
  const int32_t ds = GetDataSize();
  if (ds == 0) {
    if (!(row == 2 && (col == 2 || col == FirstCharCol()))) return false;
  } else if (!inSelectCheck_) {
    inSelectCheck_ = true;
    struct Guard {
      bool& f;
      ~Guard() { f = false; }
    } guard{inSelectCheck_};
    const bool lbutton = IsKeyDown(hexkeys::LButton);
    if (!IsKeyDown(hexkeys::Shift) && !lbutton) ResetSelection(true);
    if (col == SeparatorCol()) {
      if (lbutton) GridMoveCurrent(col - 1, row);
      return false;
    }
    int32_t pos = GetPosAtCursor(col, row);
    bool inChar = inCharField_;
    if (pos >= ds) {
      bool ok = GetInsertMode() && pos == ds && (inChar || !IsSecondDigitCol(col));
      if (!ok) {
        MoveCaretToPos(GetInsertMode() ? ds : ds - 1, inChar);
        return false;
      }
    }
  }
  LeavePastEnd();
  InvalidateCaretRows(oldRow, row);
  const int32_t oldPos = GetPosAtCursor(oldCol, oldRow);
  const int32_t newPos = GetPosAtCursor(col, row);  // leaves the field flag on the new cell
  if (!selecting_) {
    ResetSelection(true);
  } else if (GetInsertMode()) {
    if (insAnchor_ < 0) insAnchor_ = oldPos;
    int32_t gap = newPos + ((IsSecondDigitCol(col) && newPos >= insAnchor_) ? 1 : 0);
    if (gap == insAnchor_) {
      int32_t lo = selLow_, hi = selHigh_;
      selLow_ = selHigh_ = selAnchor_ = -1;
      if (lo >= 0) InvalidatePositions(lo, hi);
    } else if (gap > insAnchor_) {
      NewSelection(insAnchor_, gap - 1);
    } else {
      NewSelection(insAnchor_ - 1, gap);
    }
  } else {
    Select(oldCol, oldRow, row, col);
  }
  inCharField_ = IsCharCol(col);
  return true;
}

// ---------------------------------------------------------------------------
// Bookmarks

THexBookmark THexEditorCore::GetBookmark(int i) const {
  if (i < 0 || i > 9) throw EHexException(L"Invalid bookmark index");
  return bookmarks_[static_cast<size_t>(i)];
}

void THexEditorCore::SetBookmark(int i, const THexBookmark& bm) {
  if (i < 0 || i > 9) throw EHexException(L"Invalid bookmark index");
  bookmarks_[static_cast<size_t>(i)] = bm;
  InvalidateAll();
}

void THexEditorCore::SetBookmarkVals(int i, int32_t pos, bool inCharField) {
  if (i < 0 || i > 9) throw EHexException(L"Invalid bookmark index");
  THexBookmark& b = bookmarks_[static_cast<size_t>(i)];
  if (b.mPosition == pos && b.mInCharField == inCharField) {
    b.mPosition = -1;
  } else {
    b.mPosition = pos;
    b.mInCharField = inCharField;
  }
  InvalidateAll();
}

void THexEditorCore::AdjustBookmarks(int32_t from, int32_t delta) {
  if (from < 0) return;
  for (auto& b : bookmarks_)
    if (b.mPosition >= from) b.mPosition += delta;
  ClearBookmarksPastEnd();
}

void THexEditorCore::ClearBookmarksPastEnd() {
  int32_t ds = GetDataSize();
  bool any = false;
  for (auto& b : bookmarks_)
    if (b.mPosition > ds || b.mPosition < -1) {
      b.mPosition = -1;
      any = true;
    }
  if (any) InvalidateAll();
}

// ---------------------------------------------------------------------------
// Search and positioning

int32_t THexEditorCore::Find(const uint8_t* buffer, int32_t count, int32_t start, int32_t end, bool ignoreCase,
                             bool searchText) {
  int32_t ds = GetDataSize();
  if (!buffer || count < 1 || start < 0 || end < 0) return -1;
  if (end >= ds) end = ds - 1;
  if (static_cast<int64_t>(start) + count > static_cast<int64_t>(end) + 1) return -1;
  WaitCursor();
  std::vector<uint8_t> pat(buffer, buffer + count);
  if (ignoreCase)
    for (auto& b : pat) b = HexAnsiLower(b);
  if (searchText && translation_ != tkAsIs) TranslateBufferFromAnsi(translation_, pat.data(), pat.data(), pat.size());
  // Every data byte compares through `fold`: lower case in ANSI when
  // ignoring case (through the translation when there is one).
  uint8_t fold[256];
  for (int i = 0; i < 256; ++i) {
    uint8_t b = static_cast<uint8_t>(i);
    if (ignoreCase) {
      if (translation_ == tkAsIs) {
        b = HexAnsiLower(b);
      } else {
        TranslateBufferToAnsi(translation_, &b, &b, 1);
        b = HexAnsiLower(b);
        TranslateBufferFromAnsi(translation_, &b, &b, 1);
      }
    }
    fold[i] = b;
  }
  const uint8_t* m = static_cast<const uint8_t*>(data_.Memory());
  const int32_t lastStart = end - count + 1;
  int32_t result = -1;
  if (!ignoreCase) {
    const uint8_t* p = m + start;
    const uint8_t* stop = m + lastStart + 1;
    while (p < stop) {
      p = static_cast<const uint8_t*>(std::memchr(p, pat[0], static_cast<size_t>(stop - p)));
      if (!p) break;
      if (std::memcmp(p, pat.data(), static_cast<size_t>(count)) == 0) {
        result = static_cast<int32_t>(p - m);
        break;
      }
      ++p;
    }
  } else {
    for (int32_t i = start; i <= lastStart && result < 0; ++i) {
      if (fold[m[i]] != pat[0]) continue;
      int32_t j = 1;
      while (j < count && fold[m[i + j]] == pat[static_cast<size_t>(j)]) ++j;
      if (j == count) result = i;
    }
  }
  OldCursor();
  return result;
}

int32_t THexEditorCore::Seek(int32_t offset, int origin) {
  int32_t ds = GetDataSize();
  int64_t target;
  switch (origin) {
    case 0: target = offset; break;
    case 1: target = static_cast<int64_t>(GetCursorPos()) + offset; break;
    case 2: target = static_cast<int64_t>(ds) + offset - 1; break;
    default: target = GetCursorPos(); break;
  }
  if (ds == 0) return -1;
  int32_t t = static_cast<int32_t>(std::clamp<int64_t>(target, 0, ds - 1));
  SetSelStart(t);
  return t;
}

std::vector<uint8_t> THexEditorCore::BufferFromFile(int32_t pos, int32_t& count) {
  int32_t ds = GetDataSize();
  if (pos < 0 || pos >= ds || count < 0) throw EHexException(L"Invalid buffer from file argument");
  if (static_cast<int64_t>(pos) + count > ds) count = ds - pos;
  const uint8_t* m = static_cast<const uint8_t*>(data_.Memory()) + pos;
  return std::vector<uint8_t>(m, m + count);
}

// ---------------------------------------------------------------------------
// Files and streams

void THexEditorCore::CreateEmptyFile(const String& name) {
  FreeStorage(false);
  fileName_ = name.empty() ? String(L"Untitled") : name;
  undo_.Reset(true);
  selLow_ = selHigh_ = selAnchor_ = -1;
  insAnchor_ = -1;
  selecting_ = false;
  changes_.SetSize(0);
  CalcSizes();
  ClearBookmarksPastEnd();
  modified_ = false;
  readOnlyFile_ = true;
  hasFile_ = false;
  MoveCaretToPos(0, false);
  InvalidateAll();
  Changed();
}

void THexEditorCore::ReportProgress(THexProgressKind kind, int64_t done, int64_t total, int& last) {
  int64_t remaining = total - done;
  int percent = total > 0 ? static_cast<int>((done * 100 + total / 2) / total) : 100;
  if (percent != last || remaining < kBlockSize + 1) {
    if (remaining < kBlockSize + 1) percent = 100;
    last = percent;
    if (OnLoadSaveProgress) {
      bool cancel = false;
      const String& name = loadSaveName_.empty() ? fileName_ : loadSaveName_;
      OnLoadSaveProgress(EventSender(), kind, name, static_cast<uint8_t>(percent), cancel);
      if (cancel) throw EHexException(L"Operation Cancelled");
    }
  }
}

void THexEditorCore::Stream2Stream(TStream* source, TStream* dest, THexProgressKind kind) {
  const int64_t total = source->GetSize() - source->GetPosition();
  std::vector<uint8_t> block(static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(total, 0), kBlockSize)));
  int64_t done = 0;
  int last = -1;
  while (done < total) {
    ReportProgress(kind, done, total, last);
    int64_t n = std::min<int64_t>(total - done, kBlockSize);
    source->ReadBuffer(block.data(), n);
    dest->WriteBuffer(block.data(), n);
    done += n;
  }
}

String THexEditorCore::GetTempName() {
  const String dir = IncludeTrailingPathDelimiter(Trim(GetTempDirectory()));
  String name;
  do {
    // A name already taken in this tick moves on to the next number rather
    // than waiting for the clock.
    uint32_t tick = HexTickCount();
    if (tick == lastTempTick_) tick = lastTempTick_ + 1;
    lastTempTick_ = tick;
    name = dir + IntToHexBits(tick, 32, 8) + L".HXT";
  } while (FileExists(name));
  return name;
}

std::unique_ptr<TStream> THexEditorCore::CreateShift4BitStream(int32_t pos, String& name) {
  name.clear();
  const int32_t size = GetDataSize();
  if (pos < 0 || pos >= size) return nullptr;
  // Claimed atomically, so that another program's file of the same name
  // (made between the look-up and now) is never opened.
  String tmp;
  for (int attempt = 0;; ++attempt) {
    tmp = GetTempName();
    intptr_t h = HexCreateNewFile(tmp);
    if (h != -1) {
      HexCloseFile(h);
      break;
    }
    if (attempt >= 100 || !FileExists(tmp)) {
      unsigned long err = HexLastError();
      throw EFCreateError(Format(L"Cannot create file \"%s\". %s", tmp, SysErrorMessage(err)));
    }
  }
  name = tmp;
  try {
    auto file = std::make_unique<TFileStream>(tmp, fmOpenReadWrite | fmShareExclusive);
    const uint8_t* m = static_cast<const uint8_t*>(data_.Memory());
    // The bytes from pos and one zero byte that takes the last nibble.
    const size_t count = static_cast<size_t>(size - pos) + 1;
    uint8_t block[kShiftBlock];
    uint8_t carry = 0;
    for (size_t done = 0; done < count; done += kShiftBlock) {
      size_t fromData = std::min(kShiftBlock, count - 1 > done ? count - 1 - done : 0);
      std::fill(std::copy(m + pos + done, m + pos + done + fromData, block), block + kShiftBlock, 0);
      carry = Shift4Bits(block, kShiftBlock, block, carry);
      file->WriteBuffer(block, kShiftBlock);
    }
    file->SetPosition(0);
    return file;
  } catch (...) {
    DeleteFile(tmp);
    name.clear();
    throw;
  }
}

void THexEditorCore::LoadFromStream(TStream* stream) {
  data_.SetSize(0);
  WaitCursor();
  try {
    int64_t size = stream->GetSize();
    if (size > 0x7FFFFFFF) throw EHexException(L"Stream too large");
    stream->SetPosition(0);
    data_.SetSize(size);
    data_.SetPosition(0);
    Stream2Stream(stream, &data_, pkLoad);
  } catch (...) {
    // A cancelled or failed load leaves a consistent empty document.
    OldCursor();
    data_.SetSize(0);
    loadSaveName_.clear();
    CreateEmptyFile(String());
    throw;
  }
  data_.SetPosition(0);
  if (undo_.UpdateCount() == 0) undo_.Reset(true);
  undo_.ResetRedo();
  changes_.SetSize(0);
  selLow_ = selHigh_ = selAnchor_ = -1;
  insAnchor_ = -1;
  CalcSizes();
  ClearBookmarksPastEnd();
  modified_ = false;
  selecting_ = false;
  MoveCaretToPos(0, false);
  InvalidateAll();
  Changed();
  OldCursor();
}

void THexEditorCore::LoadFromFile(const String& name) {
  readOnlyFile_ = true;
  std::unique_ptr<TFileStream> fs;
  try {
    if (!FileExists(name)) throw EFOpenError(L"file not found");
    fs = std::make_unique<TFileStream>(name, fmOpenRead | fmShareDenyNone);
  } catch (const Exception&) {
    unsigned long err = HexLastError();
    throw EFOpenError(Format(L"Cannot open %s.\r\n(%s.)", name, SysErrorMessage(err)));
  }
  // A file with the read-only attribute stays read-only also where the
  // system lets this user open it for writing anyway (root under Wine).
  try {
    TFileStream probe(name, fmOpenReadWrite | fmShareDenyNone);
    readOnlyFile_ = HexFileReadOnly(name);
  } catch (const Exception&) {
    readOnlyFile_ = true;
  }
  bool ro = readOnlyFile_;
  loadSaveName_ = name;
  try {
    LoadFromStream(fs.get());
  } catch (...) {
    loadSaveName_.clear();
    throw;
  }
  fileName_ = name;
  readOnlyFile_ = ro;
  hasFile_ = true;
  loadSaveName_.clear();
}

void THexEditorCore::PrepareOverwriteDiskFile() {
  if (readOnlyFile_) throw EFOpenError(Format(L"Cannot save readonly file %s.", fileName_));
}

void THexEditorCore::SaveToFile(const String& name, bool markSaved) {
  if (name == fileName_) PrepareOverwriteDiskFile();
  // Written beside the target under a fresh name and moved over it only
  // once complete, so a cancel or an error leaves the old file intact.
  String dir = ExtractFilePath(name);
  String tmp;
  intptr_t h = -1;
  for (int attempt = 0; attempt < 1000 && h == -1; ++attempt) {
    tmp = dir + IntToHexBits(HexTickCount() + static_cast<uint32_t>(attempt), 32, 8) + L".HXT";
    h = HexCreateNewFile(tmp);
    if (h == -1 && !FileExists(tmp)) break;  // not a name clash: the folder refuses
  }
  if (h == -1) {
    unsigned long err = HexLastError();
    throw EFCreateError(Format(L"Cannot create file \"%s\". %s", name, SysErrorMessage(err)));
  }
  loadSaveName_ = name;
  try {
    {
      THandleStream hs(h);
      SaveToStream(&hs);
    }
    HexCloseFile(h);
    h = -1;
    if (!HexReplaceFile(tmp, name)) {
      unsigned long err = HexLastError();
      throw EFCreateError(Format(L"Cannot create file \"%s\". %s", name, SysErrorMessage(err)));
    }
  } catch (...) {
    HexCloseFile(h);
    DeleteFile(tmp);
    loadSaveName_.clear();
    throw;
  }
  hasFile_ = true;
  if (markSaved) {
    changes_.SetSize(0);
    modified_ = false;
    readOnlyFile_ = false;
    fileName_ = name;
    undo_.Reset(true);
    InvalidateAll();
  }
  loadSaveName_.clear();
}

void THexEditorCore::SaveToStream(TStream* stream) { CopyToStream(stream, pkSave, String()); }

void THexEditorCore::CopyToStream(TStream* stream, THexProgressKind kind, const String& name) {
  WaitCursor();
  String saved = loadSaveName_;
  if (!name.empty()) loadSaveName_ = name;
  try {
    stream->SetSize(GetDataSize());
    stream->SetPosition(0);
    data_.SetPosition(0);
    Stream2Stream(&data_, stream, kind);
  } catch (...) {
    loadSaveName_ = saved;
    OldCursor();
    throw;
  }
  loadSaveName_ = saved;
  InvalidateAll();
  OldCursor();
}
