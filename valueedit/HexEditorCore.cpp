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

THexEditorCore::THexEditorCore() : fUndo(this) {
  std::memcpy(fDigits, L"0123456789ABCDEF", sizeof(wchar_t) * 17);
  fOffsetFormat.GenerateOffsetFormat(L"-!10:0x|", fBytesPerRow, fBytesPerColumn);
  fHColCount = CalcColCount();
}

THexEditorCore::~THexEditorCore() = default;

// ---------------------------------------------------------------------------
// Headless grid

void THexEditorCore::GridSetCounts(int colCount, int rowCount) {
  fHColCount = colCount;
  fHRowCount = rowCount;
  if (fHRow >= rowCount) fHRow = rowCount - 1;
  if (fHCol >= colCount) fHCol = colCount - 1;
  if (fHTopRow > std::max(2, rowCount - fHVisibleRows)) fHTopRow = std::max(2, rowCount - fHVisibleRows);
}

void THexEditorCore::GridSetTopRow(int row) {
  fHTopRow = std::clamp(row, 2, std::max(2, fHRowCount - fHVisibleRows));
}

void THexEditorCore::GridSetTopLeft(int col, int row) {
  fHLeftCol = std::max(2, col);
  GridSetTopRow(row);
}

void THexEditorCore::GridMoveCurrent(int col, int row) {
  if (col < 2 || col >= fHColCount || row < 2 || row >= fHRowCount) return;
  if (!CheckSelectCell(col, row)) return;
  fHCol = col;
  fHRow = row;
  if (row < fHTopRow) fHTopRow = row;
  if (row >= fHTopRow + fHVisibleRows) fHTopRow = row - fHVisibleRows + 1;
}

bool THexEditorCore::IsKeyDown(int vk) const {
  if (vk == hexkeys::Shift) return fHShiftDown;
  if (vk == hexkeys::LButton) return fHLButtonDown;
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
  return static_cast<const uint8_t*>(fData.Memory())[pos];
}

void THexEditorCore::SetMemory(int32_t pos, uint8_t value) {
  if (pos < 0 || pos >= GetDataSize()) throw EHexException(kInvalidMemoryIndex);
  static_cast<uint8_t*>(fData.Memory())[pos] = value;
}

uint8_t* THexEditorCore::GetDataPointer() {
  return GetDataSize() == 0 ? nullptr : static_cast<uint8_t*>(fData.Memory());
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
  if (count > 0) std::memcpy(buffer, static_cast<const uint8_t*>(fData.Memory()) + pos, static_cast<size_t>(count));
}

void THexEditorCore::SetMemAtPos(const uint8_t* buffer, int32_t pos, int32_t count) {
  if (!RangeInside(pos, count, GetDataSize())) throw EHexException(kInvalidMemoryIndex);
  if (count > 0) std::memmove(static_cast<uint8_t*>(fData.Memory()) + pos, buffer, static_cast<size_t>(count));
}

void THexEditorCore::MoveFileMem(int32_t from, int32_t to, int32_t count) {
  int32_t ds = GetDataSize();
  if (!RangeInside(from, count, ds) || !RangeInside(to, count, ds)) throw EHexException(kInvalidMemoryIndex);
  uint8_t* m = static_cast<uint8_t*>(fData.Memory());
  if (count > 0) std::memmove(m + to, m + from, static_cast<size_t>(count));
}

void THexEditorCore::FreeStorage(bool undo) {
  if (undo) {
    fUndo.Reset(true);
  } else {
    fData.SetSize(0);
    fData.SetPosition(0);
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
  return AnsiString(static_cast<const char*>(fData.Memory()), static_cast<size_t>(GetDataSize()));
}

void THexEditorCore::SetAsText(const AnsiString& text) {
  std::vector<uint8_t> buf(text.begin(), text.end());
  TranslateBufferFromAnsi(fTranslation, buf.data(), buf.data(), buf.size());
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
  ConvertBinToHex(static_cast<const uint8_t*>(fData.Memory()), s.data(), static_cast<size_t>(GetDataSize()),
                  fSwapNibbles);
  s.pop_back();
  return s;
}

void THexEditorCore::SetAsHex(const AnsiString& hex) {
  std::vector<uint8_t> buf(hex.size() / 2 + 1);
  size_t n = 0;
  ConvertHexToBin(hex.data(), hex.size(), buf.data(), buf.size(), fSwapNibbles, n);
  if (GetDataSize() > 0) {
    SelectAll();
    ReplaceSelection(buf.data(), static_cast<int32_t>(n));
  } else {
    InsertBuffer(buf.data(), static_cast<int32_t>(n), 0);
  }
}

AnsiString THexEditorCore::GetSelectionAsText() const {
  if (GetSelCount() == 0) return AnsiString();
  return AnsiString(static_cast<const char*>(fData.Memory()) + fSelLow, static_cast<size_t>(GetSelCount()));
}

void THexEditorCore::SetSelectionAsText(const AnsiString& text) {
  if (text.empty()) return;
  std::vector<uint8_t> buf(text.begin(), text.end());
  TranslateBufferFromAnsi(fTranslation, buf.data(), buf.data(), buf.size());
  ReplaceSelection(buf.data(), static_cast<int32_t>(buf.size()));
}

AnsiString THexEditorCore::GetSelectionAsHex() const {
  int32_t n = GetSelCount();
  if (n == 0) return AnsiString();
  std::string s(static_cast<size_t>(n) * 2 + 1, '\0');
  ConvertBinToHex(static_cast<const uint8_t*>(fData.Memory()) + fSelLow, s.data(), static_cast<size_t>(n),
                  fSwapNibbles);
  s.pop_back();
  return s;
}

void THexEditorCore::SetSelectionAsHex(const AnsiString& hex) {
  if (hex.empty()) return;
  std::vector<uint8_t> buf(hex.size() / 2 + 1);
  size_t n = 0;
  ConvertHexToBin(hex.data(), hex.size(), buf.data(), buf.size(), fSwapNibbles, n);
  if (n == 0) return;
  ReplaceSelection(buf.data(), static_cast<int32_t>(n));
}

// ---------------------------------------------------------------------------
// Geometry

int32_t THexEditorCore::GetPosAtCursor(int col, int row) {
  int32_t base = (row - 2) * fBytesPerRow;
  int32_t p;
  if (col > SeparatorCol()) {
    fInCharField = true;
    p = base + (col - FirstCharCol());
  } else {
    fInCharField = false;
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
  row = pos / fBytesPerRow + 2;
  col = inCharField ? pos % fBytesPerRow + FirstCharCol() : 2 * (pos % fBytesPerRow) + 2;
}

int THexEditorCore::GetOtherFieldCol(int col) const {
  if (col > SeparatorCol()) return 2 * (col - FirstCharCol()) + 2;
  return (col - 2) / 2 + FirstCharCol();
}

int THexEditorCore::CalcRowCount() const {
  int32_t ds = GetDataSize();
  if (ds == 0) return 3;
  int rows = 2 + (ds + fBytesPerRow - 1) / fBytesPerRow;
  if (ds % fBytesPerRow == 0 && GetInsertMode()) ++rows;
  return rows;
}

void THexEditorCore::CalcSizes() {
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
  if (n == fBytesPerRow) return;
  if (fOffsetFormat.Flags & offCalcRow) fOffsetFormat.BytesPerUnit = static_cast<uint16_t>(n);
  int32_t a = fSelAnchor, lo = fSelLow, hi = fSelHigh;
  int col = GridCol();
  int32_t pos = GetPosAtCursor(col, GridRow());
  bool inChar = fInCharField;
  bool second = !inChar && IsSecondDigitCol(col);
  fBytesPerRow = n;
  CalcSizes();
  if (pos >= GetDataSize()) pos = GetDataSize() - 1;
  fSelecting = false;
  MoveCaretToPos(pos, inChar, second);
  SetSelection(a, lo, hi);
  InvalidateAll();
}

void THexEditorCore::SetBytesPerColumn(int n) {
  if (n < 1 || n > 256) throw EHexException(L"Invalid bytes per column argument");
  if (n == fBytesPerColumn) return;
  if (fOffsetFormat.Flags & offCalcColumn) fOffsetFormat.BytesPerUnit = static_cast<uint16_t>(n);
  fBytesPerColumn = n;
  MetricsChanged();
  InvalidateAll();
}

// ---------------------------------------------------------------------------
// Offsets and ruler

void THexEditorCore::SetOffsetFormat(const String& text) {
  if (text == fOffsetFormat.Format) return;
  fOffsetFormat.GenerateOffsetFormat(text, fBytesPerRow, fBytesPerColumn);
  SetOffsetDisplayWidth();
  MetricsChanged();
  InvalidateAll();
}

String THexEditorCore::GetOffsetString(uint32_t pos) const {
  const THexOffsetFormat& f = fOffsetFormat;
  if (f.Format.empty()) return String();
  if (f.MinWidth == 0 && pos == 0) return f.Prefix + f.Suffix;
  String d = IntToRadixLen(pos / f.BytesPerUnit, f.Radix, f.MinWidth);
  if (fHexLowerCase)
    for (auto& c : d) c = (c >= L'A' && c <= L'F') ? static_cast<wchar_t>(c + 32) : c;
  return f.Prefix + d + f.Suffix;
}

String THexEditorCore::GetAnyOffsetString(int32_t pos) const {
  if (!fOffsetFormat.Format.empty()) return GetOffsetString(static_cast<uint32_t>(pos));
  return IntToRadix(static_cast<uint32_t>(pos), 16);
}

void THexEditorCore::SetOffsetDisplayWidth() {
  uint32_t last = static_cast<uint32_t>(std::max(0, GridRowCount() - 3)) * static_cast<uint32_t>(fBytesPerRow);
  if (fOffsetFormat.Flags & offCalcWidth)
    fOffsetFormat.MinWidth =
        static_cast<int32_t>(IntToRadix(last / fOffsetFormat.BytesPerUnit, fOffsetFormat.Radix).size());
  fOffsetDisplayWidth = static_cast<int>(GetOffsetString(last).size()) + 1;
}

void THexEditorCore::SetGutterWidth(int w) {
  if (w == fGutterWidth) return;
  fGutterWidth = w;
  SetOffsetDisplayWidth();
  MetricsChanged();
  InvalidateAll();
}

void THexEditorCore::SetHexLowerCase(bool value) {
  if (value == fHexLowerCase) return;
  fHexLowerCase = value;
  std::memcpy(fDigits, value ? L"0123456789abcdef" : L"0123456789ABCDEF", sizeof(wchar_t) * 17);
  InvalidateAll();
}

String THexEditorCore::RulerText(int col) const {
  if (col == SeparatorCol()) return L"  ";
  if (col >= 2 && col < SeparatorCol()) {
    int k = (col - 2) / 2;
    return String(1, (col - 2) % 2 == 0 ? fDigits[(k / 16) & 15] : fDigits[k % 16]);
  }
  if (col > SeparatorCol()) return String(1, fDigits[(col - FirstCharCol()) % 16]);
  return String();
}

// ---------------------------------------------------------------------------
// Selection

int32_t THexEditorCore::GetSelStart() {
  if (fSelAnchor >= 0) return fSelAnchor;
  return std::min(GetPosAtCursor(GridCol(), GridRow()), GetDataSize());
}

int32_t THexEditorCore::GetSelEnd() {
  if (fSelAnchor < 0) return std::min(GetPosAtCursor(GridCol(), GridRow()), GetDataSize());
  return fSelHigh == fSelAnchor ? fSelLow : fSelHigh;
}

void THexEditorCore::SetSelStart(int32_t pos) {
  if (pos < 0 || pos >= GetDataSize()) throw EHexException(L"Invalid selection start");
  ResetSelection(true);
  MoveCaretToPos(pos, GetInCharField());
}

void THexEditorCore::SetSelEnd(int32_t pos) {
  if (pos < -1 || pos >= GetDataSize()) throw EHexException(L"Invalid selection end");
  ResetSelection(true);
  if (pos >= 0) {
    int col, row;
    GetCursorAtPos(pos, GetInCharField(), col, row);
    Select(GridCol(), GridRow(), row, col);
  }
}

void THexEditorCore::SetSelection(int32_t anchor, int32_t low, int32_t high) {
  int32_t maxp = GetDataSize() - 1;
  auto clampp = [&](int32_t v) { return std::clamp(v, -1, maxp); };
  fSelAnchor = clampp(anchor);
  fSelLow = clampp(low);
  fSelHigh = clampp(high);
  if (fSelAnchor < 0 || fSelLow < 0 || fSelHigh < 0 || fSelLow > fSelHigh) fSelAnchor = fSelLow = fSelHigh = -1;
}

void THexEditorCore::NewSelection(int32_t a, int32_t b) {
  int32_t oldLo = fSelLow, oldHi = fSelHigh;
  SetSelection(a, std::min(a, b), std::max(a, b));
  if (oldLo != fSelLow || oldHi != fSelHigh) {
    if (oldLo >= 0) InvalidatePositions(oldLo, oldHi);
    if (fSelLow >= 0) InvalidatePositions(fSelLow, fSelHigh);
  }
}

void THexEditorCore::Select(int fromCol, int fromRow, int toRow, int toCol) {
  int32_t from = fSelAnchor >= 0 ? fSelAnchor : GetPosAtCursor(fromCol, fromRow);
  int32_t to = GetPosAtCursor(toCol, toRow);
  NewSelection(from, to);
}

void THexEditorCore::ResetSelection(bool redraw) {
  fSelecting = false;
  int32_t lo = fSelLow, hi = fSelHigh;
  fSelLow = fSelHigh = fSelAnchor = -1;
  fInsAnchor = -1;
  if (redraw && lo >= 0) InvalidatePositions(lo, hi);
}

void THexEditorCore::SelectAll() {
  int32_t ds = GetDataSize();
  if (ds == 0) return;
  fSelecting = false;
  MoveCaretToPos(GetInsertMode() ? ds : ds - 1, GetInCharField());
  NewSelection(0, ds - 1);
}

void THexEditorCore::InternalGetCurSel(int32_t& start, int32_t& end, int& col, int& row) {
  if (fSelAnchor >= 0) {
    start = fSelLow;
    end = fSelHigh + 1;
    GetCursorAtPos(fSelLow, GetInCharField(), col, row);
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

bool THexEditorCore::GetInCharField() {
  if (GetDataSize() == 0) return IsCharCol(GridCol());
  return IsCharCol(GridCol());
}

int32_t THexEditorCore::GetTopLeftPosition(bool& inCharField) {
  int32_t p = GetPosAtCursor(std::max(2, GridLeftCol()), GridTopRow());
  inCharField = fInCharField;
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
  if (value == fInsertMode || !fAllowInsertMode || fReadOnlyView || fNoSizeChange) return;
  int32_t ds = GetDataSize();
  bool atAppend = ds > 0 && GetPosAtCursor(GridCol(), GridRow()) >= ds;
  bool inChar = IsCharCol(GridCol());
  fInsertMode = value;
  CaretShapeChanged();
  if (ds > 0) {
    if (!value && atAppend) {
      fSelecting = false;
      MoveCaretToPos(ds - 1, inChar);
    }
    GridSetCounts(CalcColCount(), CalcRowCount());
  }
  fChanges.clear();
  InvalidateAll();
}

void THexEditorCore::SetAllowInsertMode(bool value) {
  if (fNoSizeChange || fReadOnlyView) {
    fAllowInsertMode = false;
    return;
  }
  if (!value && fInsertMode) SetInsertMode(false);
  fAllowInsertMode = value;
}

void THexEditorCore::SetNoSizeChange(bool value) {
  if (value == fNoSizeChange) return;
  // Leave insert mode first: once the flag is on, the mode can't change.
  if (value) SetInsertMode(false);
  fNoSizeChange = value;
}

void THexEditorCore::SetSwapNibbles(bool value) {
  if (value == fSwapNibbles) return;
  fSwapNibbles = value;
  InvalidateAll();
}

void THexEditorCore::SetMaskChar(uint8_t c) {
  if (c == fMaskChar) return;
  fMaskChar = c;
  InvalidateAll();
}

void THexEditorCore::SetTranslation(THexTranslationKind kind) {
  if (kind == fTranslation) return;
  fTranslation = kind;
  InvalidateAll();
}

// ---------------------------------------------------------------------------
// Change tracking

bool THexEditorCore::GetModified() const {
  return fModified && (GetDataSize() > 0 || (fFileName != L"---" && FileExists(fFileName)));
}

void THexEditorCore::SetModified(bool value) {
  fModified = value;
  if (!value) {
    ResetUndo();
    fChanges.clear();
    InvalidateAll();
  }
}

void THexEditorCore::SetChanged(int32_t pos, bool value) {
  if (pos < 0) return;
  if (GetInsertMode()) fChanges.clear();
  if (value || static_cast<size_t>(pos) < fChanges.size()) {
    if (static_cast<size_t>(pos) >= fChanges.size()) fChanges.resize(static_cast<size_t>(pos) + 1);
    fChanges[static_cast<size_t>(pos)] = value;
  }
}

// ---------------------------------------------------------------------------
// Editing primitives

bool THexEditorCore::CreateUndo(THexUndoFlag kind, int32_t pos, int32_t count, int32_t replaceCount,
                                const String& description) {
  bool ok = GetDataSize() > 0 || kind == ufKindInsertBuffer || kind == ufKindAppendBuffer;
  if (ok && fNoSizeChange) {
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
  if (!ok && kind == ufKindCombined && count <= fUndo.Count()) ok = true;
  if (!ok) return false;
  fUndo.CreateUndo(kind, pos, count, replaceCount, description);
  fModified = true;
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
    fData.SetPosition(0);
    fChanges.clear();
  }
  // The buffer may lie inside the store, which can move when it grows.
  std::vector<uint8_t> copy;
  const uint8_t* mem = static_cast<const uint8_t*>(fData.Memory());
  if (old > 0 && buffer >= mem && buffer < mem + old) {
    copy.assign(buffer, buffer + count);
    buffer = copy.data();
  }
  fData.SetSize(static_cast<int64_t>(old) + count);
  uint8_t* m = static_cast<uint8_t*>(fData.Memory());
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
  bool inChar = GetInCharField();
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
  bool inChar = GetInCharField();
  CutChangeMarks(static_cast<size_t>(ds));
  InternalAppendBuffer(buffer, count);
  fSelecting = false;
  MoveCaretToPos(ds, inChar);
  NewSelection(ds, ds + count - 1);
  InvalidateAll();
  Changed();
}

void THexEditorCore::ReplaceSelection(const uint8_t* buffer, int32_t count, const String& description) {
  if (fSelAnchor < 0) {
    InsertBuffer(buffer, count, GetSelStart(), description);
    return;
  }
  if (count < 0) return;
  int32_t lo = fSelLow;
  int32_t len = fSelHigh - fSelLow + 1;
  if (fNoSizeChange) {
    if (count > len) count = len;
    if (count == 0) return;
    if (count < len) {
      SetSelection(lo, lo, lo + count - 1);
      len = count;
    }
  }
  CheckGrowth(GetDataSize(), static_cast<int64_t>(count) - len);
  if (!CreateUndo(ufKindReplaceSelection, lo, count, len, description)) return;
  bool inChar = GetInCharField();
  std::vector<uint8_t> copy(buffer ? buffer : nullptr, buffer ? buffer + count : nullptr);
  int32_t old = GetDataSize();
  uint8_t* m = static_cast<uint8_t*>(fData.Memory());
  if (count != len) {
    if (count > len) {
      fData.SetSize(static_cast<int64_t>(old) + (count - len));
      m = static_cast<uint8_t*>(fData.Memory());
      std::memmove(m + lo + count, m + lo + len, static_cast<size_t>(old - lo - len));
    } else {
      std::memmove(m + lo + count, m + lo + len, static_cast<size_t>(old - lo - len));
      fData.SetSize(static_cast<int64_t>(old) - (len - count));
      m = static_cast<uint8_t*>(fData.Memory());
    }
  }
  if (count > 0) std::memcpy(m + lo, copy.data(), static_cast<size_t>(count));
  CalcSizes();
  AdjustBookmarks(lo + len, count - len);
  CutChangeMarks(static_cast<size_t>(std::max(0, lo)));
  fSelecting = false;
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
  uint8_t* m = static_cast<uint8_t*>(fData.Memory());
  std::memmove(m + start, m + end, static_cast<size_t>(old - end));
  fData.SetSize(old - (end - start));
  CalcSizes();
  int32_t ds = GetDataSize();
  fSelecting = false;
  fSelLow = fSelHigh = fSelAnchor = -1;
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
  bool inChar = fInCharField;
  if (backspace) {
    int32_t p = (GetInsertMode() && fSelAnchor < 0) ? caret : GetCursorPos();
    if (p <= 0 || p > ds) return;
    if (!CreateUndo(ufKindByteRemoved, p - 1, 1, 0, description)) return;
    InternalDelete(p - 1, p, GridCol(), GridRow());
    AdjustBookmarks(p, -1);
    fSelecting = false;
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

void THexEditorCore::InternalInsertNibble(int32_t pos, bool highNibble) {
  int32_t old = GetDataSize();
  fData.SetSize(static_cast<int64_t>(old) + 1);
  uint8_t* m = static_cast<uint8_t*>(fData.Memory());
  uint8_t first = m[pos];
  // Shift [pos, old) right by four bits into [pos, old + 1); the last carry
  // becomes the high nibble of the new last byte.
  uint8_t carry = 0;
  for (int32_t i = pos; i < old; ++i) {
    uint8_t b = m[i];
    m[i] = static_cast<uint8_t>((b >> 4) | (carry << 4));
    carry = b & 0x0F;
  }
  m[old] = static_cast<uint8_t>(carry << 4);
  if (!highNibble) m[pos] = first & 0xF0;
}

void THexEditorCore::InternalDeleteNibble(int32_t pos, bool highNibble) {
  int32_t n = GetDataSize();
  uint8_t* m = static_cast<uint8_t*>(fData.Memory());
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
  uint8_t* m = static_cast<uint8_t*>(fData.Memory()) + from;
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

bool THexEditorCore::Undo() { return fUndo.Undo(); }
bool THexEditorCore::Redo() { return fUndo.Redo(); }

String THexEditorCore::GetUndoDescription() const {
  return fUndo.CanUndo() ? fUndo.Description() : String(L"No Undo");
}

void THexEditorCore::TruncateData(int32_t n) {
  if (n < 0) n = 0;
  if (n < GetDataSize()) fData.SetSize(n);
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
      if (GetInsertMode() && !fReadOnlyView) {
        key = 0;
        if (GetSelCount() > 0) DeleteSelection();
        InternalErase(true);
        return;
      }
      key = hexkeys::Left;
      break;
    case hexkeys::Delete:
      if (!fReadOnlyView) {
        key = 0;
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

void THexEditorCore::HexKeyUp(int& key, TShiftState /*shift*/) { fAltReleased = key == hexkeys::Menu; }

bool THexEditorCore::ParseKeyDown(TShiftState shift, int key) {
  if (shift.Empty() && key != hexkeys::Shift && !GetInsertMode()) ResetSelection(true);
  const int B = fBytesPerRow;
  const int col = GridCol(), row = GridRow();
  const int32_t P = GetPosAtCursor(col, row);
  const bool inChar = fInCharField;
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
        fSelecting = true;
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
    THexBookmark bm = fBookmarks[static_cast<size_t>(i)];
    if (bm.mPosition < 0) return false;
    ResetSelection(true);
    if (bm.mPosition < ds || (ins && bm.mPosition == ds)) {
      MoveCaretToPos(bm.mPosition, bm.mInCharField);
    } else {
      fBookmarks[static_cast<size_t>(i)].mPosition = -1;
      InvalidateAll();
    }
    return true;
  }
  return false;
}

void THexEditorCore::HexChar(uint8_t c) {
  if (fReadOnlyView || c < 32) return;
  const int col = GridCol(), row = GridRow();
  const int32_t P = GetPosAtCursor(col, row);
  const bool inChar = fInCharField;
  const int32_t ds = GetDataSize();
  const bool ins = GetInsertMode();
  if (P >= ds && !ins) return;
  uint8_t old = (P < ds) ? GetMemory(P) : 0;
  if (inChar) {
    bool alt = fAltReleased;
    if (alt)
      HexAnsiToOemBuff(&c, &c, 1);
    else
      c = TranslateFromAnsiChar(c);
    if (c < 32 && !alt) {
      WrongKey();
      return;
    }
    fAltReleased = false;
    if (!ins) {
      ResetSelection(true);
      IntChangeByte(old, c, P, col, row);
    } else if (fSelAnchor < 0) {
      if (P == ds)
        AppendBuffer(&c, 1);
      else
        InsertBuffer(&c, 1, P);
      fSelecting = false;
    } else {
      ReplaceSelection(&c, 1);
    }
  } else {
    static const char kValid[] = "0123456789abcdef0123456789ABCDEF";
    if (!std::memchr(kValid, c, 32)) {
      WrongKey();
      return;
    }
    int d = HexDigitValue(static_cast<char>(c));
    if (!ins) ResetSelection(true);
    bool second = IsSecondDigitCol(col);
    bool onHigh = second == fSwapNibbles;
    uint8_t nb = (onHigh || fSelAnchor >= 0) ? static_cast<uint8_t>(d * 16 + (old % 16))
                                             : static_cast<uint8_t>((old & 0xF0) + d);
    if (ins) {
      if (!second || fSelAnchor >= 0) {
        uint8_t ib = fSwapNibbles ? static_cast<uint8_t>(nb % 16) : static_cast<uint8_t>(nb & 0xF0);
        if (ds == 0 || P == ds) {
          if (fSelAnchor >= 0)
            ReplaceSelection(&ib, 1);
          else
            AppendBuffer(&ib, 1);
          fSelecting = false;
        } else if (fSelAnchor < 0) {
          InsertBuffer(&ib, 1, P);
          fSelecting = false;
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
  ParseKeyDown(TShiftState{}, hexkeys::Right);
}

// ---------------------------------------------------------------------------
// Which cells may hold the caret

bool THexEditorCore::CheckSelectCell(int col, int row) {
  const int oldCol = GridCol(), oldRow = GridRow();
  const int32_t ds = GetDataSize();
  if (ds == 0) {
    if (!(row == 2 && (col == 2 || col == FirstCharCol()))) return false;
  } else if (!fInSelectCheck) {
    fInSelectCheck = true;
    struct Guard {
      bool& f;
      ~Guard() { f = false; }
    } guard{fInSelectCheck};
    const bool lbutton = IsKeyDown(hexkeys::LButton);
    if (!IsKeyDown(hexkeys::Shift) && !lbutton) ResetSelection(true);
    if (col == SeparatorCol()) {
      if (lbutton) GridMoveCurrent(col - 1, row);
      return false;
    }
    int32_t pos = GetPosAtCursor(col, row);
    bool inChar = fInCharField;
    if (pos >= ds) {
      bool ok = GetInsertMode() && pos == ds && (inChar || !IsSecondDigitCol(col));
      if (!ok) {
        MoveCaretToPos(GetInsertMode() ? ds : ds - 1, inChar);
        return false;
      }
    }
  }
  InvalidateCaretRows(oldRow, row);
  const int32_t oldPos = GetPosAtCursor(oldCol, oldRow);
  const int32_t newPos = GetPosAtCursor(col, row);  // leaves the field flag on the new cell
  if (!fSelecting) {
    ResetSelection(true);
  } else if (GetInsertMode()) {
    if (fInsAnchor < 0) fInsAnchor = oldPos;
    int32_t gap = newPos + ((IsSecondDigitCol(col) && newPos >= fInsAnchor) ? 1 : 0);
    if (gap == fInsAnchor) {
      int32_t lo = fSelLow, hi = fSelHigh;
      fSelLow = fSelHigh = fSelAnchor = -1;
      if (lo >= 0) InvalidatePositions(lo, hi);
    } else if (gap > fInsAnchor) {
      NewSelection(fInsAnchor, gap - 1);
    } else {
      NewSelection(fInsAnchor - 1, gap);
    }
  } else {
    Select(oldCol, oldRow, row, col);
  }
  fInCharField = IsCharCol(col);
  return true;
}

// ---------------------------------------------------------------------------
// Bookmarks

THexBookmark THexEditorCore::GetBookmark(int i) const {
  if (i < 0 || i > 9) throw EHexException(L"Invalid bookmark index");
  return fBookmarks[static_cast<size_t>(i)];
}

void THexEditorCore::SetBookmark(int i, const THexBookmark& bm) {
  if (i < 0 || i > 9) throw EHexException(L"Invalid bookmark index");
  fBookmarks[static_cast<size_t>(i)] = bm;
  InvalidateAll();
}

void THexEditorCore::SetBookmarkVals(int i, int32_t pos, bool inCharField) {
  if (i < 0 || i > 9) throw EHexException(L"Invalid bookmark index");
  THexBookmark& b = fBookmarks[static_cast<size_t>(i)];
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
  for (auto& b : fBookmarks)
    if (b.mPosition >= from) b.mPosition += delta;
  ClearBookmarksPastEnd();
}

void THexEditorCore::ClearBookmarksPastEnd() {
  int32_t ds = GetDataSize();
  bool any = false;
  for (auto& b : fBookmarks)
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
  if (searchText && fTranslation != tkAsIs) TranslateBufferFromAnsi(fTranslation, pat.data(), pat.data(), pat.size());
  // Every data byte compares through `fold`: lower case in ANSI when
  // ignoring case (through the translation when there is one).
  uint8_t fold[256];
  for (int i = 0; i < 256; ++i) {
    uint8_t b = static_cast<uint8_t>(i);
    if (ignoreCase) {
      if (fTranslation == tkAsIs) {
        b = HexAnsiLower(b);
      } else {
        TranslateBufferToAnsi(fTranslation, &b, &b, 1);
        b = HexAnsiLower(b);
        TranslateBufferFromAnsi(fTranslation, &b, &b, 1);
      }
    }
    fold[i] = b;
  }
  const uint8_t* m = static_cast<const uint8_t*>(fData.Memory());
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
  const uint8_t* m = static_cast<const uint8_t*>(fData.Memory()) + pos;
  return std::vector<uint8_t>(m, m + count);
}

// ---------------------------------------------------------------------------
// Files and streams

void THexEditorCore::CreateEmptyFile(const String& name) {
  FreeStorage(false);
  fFileName = name.empty() ? String(L"Untitled") : name;
  fUndo.Reset(true);
  fSelLow = fSelHigh = fSelAnchor = -1;
  fInsAnchor = -1;
  fSelecting = false;
  fChanges.clear();
  CalcSizes();
  ClearBookmarksPastEnd();
  fModified = false;
  fReadOnlyFile = true;
  fHasFile = false;
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
      const String& name = fLoadSaveName.empty() ? fFileName : fLoadSaveName;
      OnLoadSaveProgress(EventSender(), kind, name, static_cast<uint8_t>(percent), cancel);
      if (cancel) throw EHexException(L"Operation Cancelled");
    }
  }
}

void THexEditorCore::StreamIn(TStream* source, int64_t count) {
  uint8_t* m = static_cast<uint8_t*>(fData.Memory());
  int64_t done = 0;
  int last = -1;
  while (done < count) {
    ReportProgress(pkLoad, done, count, last);
    int64_t n = std::min<int64_t>(count - done, kBlockSize);
    source->ReadBuffer(m + done, n);
    done += n;
  }
}

void THexEditorCore::StreamOut(TStream* dest, THexProgressKind kind) {
  const uint8_t* m = static_cast<const uint8_t*>(fData.Memory());
  int64_t count = GetDataSize();
  int64_t done = 0;
  int last = -1;
  while (done < count) {
    ReportProgress(kind, done, count, last);
    int64_t n = std::min<int64_t>(count - done, kBlockSize);
    dest->WriteBuffer(m + done, n);
    done += n;
  }
}

void THexEditorCore::LoadFromStream(TStream* stream) {
  fData.SetSize(0);
  WaitCursor();
  try {
    int64_t size = stream->GetSize();
    if (size > 0x7FFFFFFF) throw EHexException(L"Stream too large");
    stream->SetPosition(0);
    fData.SetSize(size);
    StreamIn(stream, size);
  } catch (...) {
    // A cancelled or failed load leaves a consistent empty document.
    OldCursor();
    fData.SetSize(0);
    fLoadSaveName.clear();
    CreateEmptyFile(String());
    throw;
  }
  fData.SetPosition(0);
  if (fUndo.UpdateCount() == 0) fUndo.Reset(true);
  fUndo.ResetRedo();
  fChanges.clear();
  fSelLow = fSelHigh = fSelAnchor = -1;
  fInsAnchor = -1;
  CalcSizes();
  ClearBookmarksPastEnd();
  fModified = false;
  fSelecting = false;
  MoveCaretToPos(0, false);
  InvalidateAll();
  Changed();
  OldCursor();
}

void THexEditorCore::LoadFromFile(const String& name) {
  fReadOnlyFile = true;
  std::unique_ptr<TFileStream> fs;
  try {
    if (!FileExists(name)) throw EFOpenError(L"file not found");
    fs = std::make_unique<TFileStream>(name, fmOpenRead | fmShareDenyNone);
  } catch (const Exception&) {
    unsigned long err = HexLastError();
    throw EFOpenError(Format(L"Cannot open %s.\r\n(%s.)", name, SysErrorMessage(err)));
  }
  try {
    TFileStream probe(name, fmOpenReadWrite | fmShareDenyNone);
    fReadOnlyFile = false;
  } catch (const Exception&) {
    fReadOnlyFile = true;
  }
  bool ro = fReadOnlyFile;
  fLoadSaveName = name;
  try {
    LoadFromStream(fs.get());
  } catch (...) {
    fLoadSaveName.clear();
    throw;
  }
  fFileName = name;
  fReadOnlyFile = ro;
  fHasFile = true;
  fLoadSaveName.clear();
}

void THexEditorCore::PrepareOverwriteDiskFile() {
  if (fReadOnlyFile) throw EFOpenError(Format(L"Cannot save readonly file %s.", fFileName));
}

void THexEditorCore::SaveToFile(const String& name, bool markSaved) {
  if (name == fFileName) PrepareOverwriteDiskFile();
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
  fLoadSaveName = name;
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
    fLoadSaveName.clear();
    throw;
  }
  fHasFile = true;
  if (markSaved) {
    fChanges.clear();
    fModified = false;
    fReadOnlyFile = false;
    fFileName = name;
    fUndo.Reset(true);
    InvalidateAll();
  }
  fLoadSaveName.clear();
}

void THexEditorCore::SaveToStream(TStream* stream) { CopyToStream(stream, pkSave, String()); }

void THexEditorCore::CopyToStream(TStream* stream, THexProgressKind kind, const String& name) {
  WaitCursor();
  String saved = fLoadSaveName;
  if (!name.empty()) fLoadSaveName = name;
  try {
    stream->SetSize(GetDataSize());
    stream->SetPosition(0);
    StreamOut(stream, kind);
  } catch (...) {
    fLoadSaveName = saved;
    OldCursor();
    throw;
  }
  fLoadSaveName = saved;
  InvalidateAll();
  OldCursor();
}
