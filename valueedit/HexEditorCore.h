// The hex editor's behaviour without a window: the byte store, selection,
// insert and overwrite modes, change marks, editing primitives, keyboard
// handling, offsets, translations, undo, files, search and bookmarks.
//
// The editor is laid out as a grid (see THexEditorCore::GetPosAtCursor):
// column 0 offsets, 1 spacer, 2..2B+1 hex digits (two per byte), 2B+2 the
// separator, 2B+3..3B+2 characters; row 0 ruler, 1 spacer, data from row 2.
// The grid itself is reached through the protected Grid* seam: the window
// control (THexEditor) forwards it to its TCustomGrid, while the core alone
// keeps a plain grid state of its own, so everything here runs headless.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "classlib/Classes.h"
#include "classlib/Events.h"
#include "classlib/SysUtils.h"
#include "valueedit/HexOffsetFormat.h"
#include "valueedit/HexTranslation.h"

enum THexCaretKind { ckFull, ckLeft, ckBottom, ckAuto };
enum THexProgressKind { pkLoad, pkSave };
using THexProgressEvent = TEvent<void(TObject* Sender, THexProgressKind ProgressType,
                                      const String& aName, uint8_t Percent, bool& Cancel)>;

struct THexBookmark {
  int32_t mPosition = -1;  // -1 = not set
  bool mInCharField = false;
  bool operator==(const THexBookmark& o) const {
    return mPosition == o.mPosition && mInCharField == o.mInCharField;
  }
};
using THexBookmarks = std::array<THexBookmark, 10>;

// Bit positions of an undo record's 16-bit flag set.
enum THexUndoFlag : uint8_t {
  ufKindByteChanged,
  ufKindByteRemoved,
  ufKindInsertBuffer,
  ufKindReplaceSelection,
  ufKindAppendBuffer,
  ufKindNibbleInsert,
  ufKindNibbleDelete,
  ufKindConvert,
  ufKindCombined,
  ufFlagByteChanged,
  ufFlagModified,
  ufFlag2ndByteCol,
  ufFlagInCharField,
  ufFlagHasSelection,
  ufFlagInsertMode
};
using THexUndoFlags = uint16_t;
constexpr THexUndoFlags HexUndoBit(THexUndoFlag f) { return static_cast<THexUndoFlags>(1u << f); }

// Virtual key codes the editor handles (the platform's values).
namespace hexkeys {
constexpr int Back = 0x08, Tab = 0x09, Shift = 0x10, Control = 0x11, Menu = 0x12, Prior = 0x21,
              Next = 0x22, End = 0x23, Home = 0x24, Left = 0x25, Up = 0x26, Right = 0x27,
              Down = 0x28, Insert = 0x2D, Delete = 0x2E, LButton = 0x01;
}

// The byte store and the base of the undo storage.
class THexMemoryStream : public TMemoryStream {};

class THexEditorCore;

// Undo history: variable-length records appended to one stream, read back
// from the end and trimmed from the front past MaxUndo bytes; one step of
// redo. Record layout (little-endian, packed): length L (4), flags (2),
// caret position (4), position (4), count (4), replaced count (4),
// translation (1), n >= 1 data bytes, [selection lowest/highest/anchor
// (12) when ufFlagHasSelection], L again (4).
class THexUndoStorage {
 public:
  explicit THexUndoStorage(THexEditorCore* editor);

  void CreateUndo(THexUndoFlag kind, int32_t pos, int32_t count, int32_t replaceCount,
                  const String& description);
  bool Undo();
  bool Redo();
  bool CanUndo() const;
  bool CanRedo() const { return !redo_.empty(); }
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate() {
    if (updateCount_ > 0) --updateCount_;
  }
  int32_t UpdateCount() const { return updateCount_; }
  void Reset(bool alsoRedo = true);
  void ResetRedo();
  int32_t Count() const { return count_; }
  void SetCount(int32_t n);
  const String& Description() const { return description_; }
  // Logical stream size and contents (oldest record first).
  int64_t Size() const { return static_cast<int64_t>(buf_.size() - head_); }
  const uint8_t* Data() const { return buf_.data() + head_; }
  void SetSize(int64_t n);
  // Length of the newest record, 0 when there is none.
  uint32_t NewestRecordLength() const;
  THexUndoFlag NewestKind() const;

  static const String& DefaultDescription(THexUndoFlag kind);
  static THexUndoFlag GetUndoKind(THexUndoFlags flags);

  static constexpr int kHeaderSize = 24;  // up to and including data byte 0

 private:
  // The fixed part of an undo record as stored (the data bytes follow).
  struct THexUndoRec {
    uint32_t Length;
    THexUndoFlags Flags;
    int32_t CurPos, Pos, Count, ReplCount;
    uint8_t Translation;
  };
  THexUndoRec ReadHeader(const uint8_t* p) const;
  bool NewestHeader(THexUndoRec& h, const uint8_t** rec) const;
  void Append(const uint8_t* p, size_t n);
  void Trim();
  void PopNewest();
  void RestoreState(THexUndoFlags flags, int32_t caretPos, uint8_t translation,
                    const int32_t* selection);
  void CreateRedo(const THexUndoRec& h);

  THexEditorCore* editor_;
  std::vector<uint8_t> buf_;  // the stream; bytes before head_ are dropped
  size_t head_ = 0;
  int32_t count_ = 0;
  int32_t updateCount_ = 0;
  String description_;
  std::vector<uint8_t> redo_;        // redo record
  std::vector<uint8_t> lastUndone_;  // the undone record, for redo
  String lastUndoneDescription_;
};

class THexEditorCore {
  friend class THexUndoStorage;

 public:
  THexEditorCore();
  virtual ~THexEditorCore();
  THexEditorCore(const THexEditorCore&) = delete;
  THexEditorCore& operator=(const THexEditorCore&) = delete;

  // ---- data ----
  int32_t GetDataSize() const { return static_cast<int32_t>(data_.GetSize()); }
  uint8_t GetMemory(int32_t pos) const;
  void SetMemory(int32_t pos, uint8_t value);
  uint8_t* GetDataPointer();
  // Block copies out of and into the store; a range outside the data raises
  // "Invalid memory index".
  void GetMemAtPos(uint8_t* buffer, int32_t pos, int32_t count) const;
  void SetMemAtPos(const uint8_t* buffer, int32_t pos, int32_t count);
  // Moves count bytes inside the store (the ranges may overlap).
  void MoveFileMem(int32_t from, int32_t to, int32_t count);
  // Repaints the rows that hold the positions from..to.
  void RedrawPos(int32_t from, int32_t to) { InvalidatePositions(from, to); }
  // Empties the undo history (undo) or the data.
  void FreeStorage(bool undo);
  int GetCurrentValue();
  int32_t GetCursorPos();
  AnsiString GetAsText() const;
  void SetAsText(const AnsiString& text);
  AnsiString GetAsHex() const;
  void SetAsHex(const AnsiString& hex);
  AnsiString GetSelectionAsText() const;
  void SetSelectionAsText(const AnsiString& text);
  AnsiString GetSelectionAsHex() const;
  void SetSelectionAsHex(const AnsiString& hex);
  // Pairs the hexadecimal digits of text into bytes (other characters are
  // skipped, an unpaired last digit is dropped); at most outLen bytes.
  static void ConvertHexToBin(const char* text, size_t textLen, uint8_t* out, size_t outLen,
                              bool swap, size_t& count);
  // Two upper-case digits per byte plus a terminating zero.
  static void ConvertBinToHex(const uint8_t* bytes, char* out, size_t count, bool swap);

  // ---- selection ----
  int32_t GetSelStart();
  int32_t GetSelEnd();
  int32_t GetSelCount() const { return selAnchor_ < 0 ? 0 : selHigh_ - selLow_ + 1; }
  bool IsSelected(int32_t pos) const {
    return selAnchor_ >= 0 && pos >= selLow_ && pos <= selHigh_;
  }
  void SetSelStart(int32_t pos);
  void SetSelEnd(int32_t pos);
  void SetSelection(int32_t anchor, int32_t low, int32_t high);
  void NewSelection(int32_t a, int32_t b);
  void Select(int fromCol, int fromRow, int toRow, int toCol);
  void ResetSelection(bool redraw);
  void SelectAll();
  void InternalGetCurSel(int32_t& start, int32_t& end, int& col, int& row);
  void SetInCharField(bool value);
  // The caret's field; false while there is no data.
  bool GetInCharField();
  // The field of the caret cell, data or not.
  bool CaretInCharField() const { return IsCharCol(GridCol()); }
  int32_t GetTopLeftPosition(bool& inCharField);
  void SetTopLeftPosition(int32_t pos, bool inCharField);
  int32_t SelLow() const { return selLow_; }
  int32_t SelHigh() const { return selHigh_; }
  int32_t SelAnchor() const { return selAnchor_; }
  bool Selecting() const { return selecting_; }

  // ---- modes ----
  bool GetInsertMode() const {
    return insertMode_ && allowInsertMode_ && !noSizeChange_ && !readOnlyView_;
  }
  void SetInsertMode(bool value);
  bool GetAllowInsertMode() const { return allowInsertMode_; }
  void SetAllowInsertMode(bool value);
  bool GetNoSizeChange() const { return noSizeChange_; }
  void SetNoSizeChange(bool value);
  bool GetReadOnlyView() const { return readOnlyView_; }
  void SetReadOnlyView(bool value) { readOnlyView_ = value; }
  bool GetWantTabs() const { return wantTabs_; }
  void SetWantTabs(bool value) { wantTabs_ = value; }
  bool GetSwapNibbles() const { return swapNibbles_; }
  void SetSwapNibbles(bool value);
  uint8_t GetMaskChar() const { return maskChar_; }
  void SetMaskChar(uint8_t c);
  THexTranslationKind GetTranslation() const { return translation_; }
  void SetTranslation(THexTranslationKind kind);
  bool GetHexLowerCase() const { return hexLowerCase_; }
  void SetHexLowerCase(bool value);
  wchar_t Digit(int nibble) const { return digits_[nibble & 15]; }

  // ---- change tracking ----
  bool GetModified() const;
  void SetModified(bool value);
  bool HasChanged(int32_t pos) const {
    return pos >= 0 && changes_.GetBit(pos);
  }
  void SetChanged(int32_t pos, bool value);
  size_t ChangeMarkCount() const { return static_cast<size_t>(changes_.GetSize()); }

  // ---- editing ----
  bool CreateUndo(THexUndoFlag kind, int32_t pos, int32_t count, int32_t replaceCount,
                  const String& description);
  void IntChangeByte(uint8_t oldByte, uint8_t newByte, int32_t pos, int col, int row,
                     const String& description = String());
  void InsertBuffer(const uint8_t* buffer, int32_t count, int32_t pos,
                    const String& description = String());
  void AppendBuffer(const uint8_t* buffer, int32_t count, const String& description = String());
  void ReplaceSelection(const uint8_t* buffer, int32_t count, const String& description = String());
  void DeleteSelection(const String& description = String());
  void InternalErase(bool backspace, const String& description = String());
  bool InsertNibble(int32_t pos, bool highNibble, const String& description = String());
  bool DeleteNibble(int32_t pos, bool highNibble, const String& description = String());
  void ConvertRange(int32_t from, int32_t to, THexTranslationKind fromKind,
                    THexTranslationKind toKind, const String& description = String());
  void CombineUndo(int32_t count, const String& description = String());
  bool Undo();
  bool Redo();
  bool GetCanUndo() const { return undo_.CanUndo(); }
  bool GetCanRedo() const { return undo_.CanRedo(); }
  String GetUndoDescription() const;
  void UndoBeginUpdate() { undo_.BeginUpdate(); }
  void UndoEndUpdate() { undo_.EndUpdate(); }
  void ResetUndo() { undo_.Reset(true); }
  THexUndoStorage& UndoStorage() { return undo_; }
  int32_t GetMaxUndo() const { return maxUndo_; }
  void SetMaxUndo(int32_t v) { maxUndo_ = v; }

  // ---- geometry ----
  int GetBytesPerRow() const { return bytesPerRow_; }
  void SetBytesPerRow(int n);
  int GetBytesPerColumn() const { return bytesPerColumn_; }
  void SetBytesPerColumn(int n);
  int CalcColCount() const { return 3 * bytesPerRow_ + 3; }
  int GetLastCharCol() const { return CalcColCount() - 1; }
  int FirstCharCol() const { return 2 * bytesPerRow_ + 3; }
  int SeparatorCol() const { return 2 * bytesPerRow_ + 2; }
  int32_t GetPosAtCursor(int col, int row);
  void GetCursorAtPos(int32_t pos, bool inCharField, int& col, int& row) const;
  int GetOtherFieldCol(int col) const;
  int GetRow(int32_t pos) const { return pos / bytesPerRow_ + 2; }
  // The row count that the data needs (3 with no data).
  int CalcRowCount() const;
  void CalcSizes();
  int32_t TruncMaxPosition(int32_t pos) const;
  bool IsSecondDigitCol(int col) const { return col >= 2 && col < SeparatorCol() && (col - 2) % 2 == 1; }
  bool IsCharCol(int col) const { return col > SeparatorCol(); }

  // ---- offsets and ruler ----
  const String& GetOffsetFormat() const { return offsetFormat_.Format; }
  void SetOffsetFormat(const String& text);
  const THexOffsetFormat& OffsetFormat() const { return offsetFormat_; }
  virtual String GetOffsetString(uint32_t pos) const;
  virtual String GetAnyOffsetString(int32_t pos) const;
  void SetOffsetDisplayWidth();
  int OffsetDisplayWidth() const { return offsetDisplayWidth_; }
  int GetGutterWidth() const { return gutterWidth_; }
  void SetGutterWidth(int w);
  String RulerText(int col) const;

  // ---- keyboard ----
  // The key handlers of the control; `key` becomes 0 when consumed.
  void HexKeyDown(int& key, TShiftState shift);
  void HexKeyUp(int& key, TShiftState shift);
  virtual bool ParseKeyDown(TShiftState shift, int key);
  // A typed character (after the control's own key-press event).
  void WMChar(uint8_t c);
  // In overwrite mode, after a character typed on the last cell of the
  // data, or Right pressed there: the caret stands after that cell, and the
  // next character typed adds a byte. A caret move, or a caret key other
  // than Right, ends it (Left goes back onto the last cell).
  bool GetTypingPastEnd() const { return pastEnd_; }
  // Whether the caret may move to the cell (the grid's SelectCell).
  bool CheckSelectCell(int col, int row);

  // ---- translations ----
  uint8_t TranslateFromAnsiChar(uint8_t c) const { return HexTranslateFromAnsiChar(translation_, c); }
  uint8_t TranslateToAnsiChar(uint8_t b) const { return HexTranslateToAnsiChar(translation_, b, maskChar_); }

  // ---- files, streams, search ----
  void CreateEmptyFile(const String& name);
  void LoadFromFile(const String& name);
  void LoadFromStream(TStream* stream);
  void SaveToFile(const String& name, bool markSaved = true);
  void SaveToStream(TStream* stream);
  void CopyToStream(TStream* stream, THexProgressKind kind, const String& name);
  virtual void PrepareOverwriteDiskFile();
  std::vector<uint8_t> BufferFromFile(int32_t pos, int32_t& count);
  // A name in the temporary-files folder that no file has: the tick count
  // as 8 hexadecimal digits and ".HXT".
  String GetTempName();
  // A new temporary file (its name in `name`, rewound) holding the data from
  // pos to the end shifted right by four bits, the last nibble in one more
  // byte, in whole zero-padded blocks of 512 bytes; no file (and an empty
  // name) when pos is not inside the data. The caller deletes the file.
  std::unique_ptr<TStream> CreateShift4BitStream(int32_t pos, String& name);
  int32_t Find(const uint8_t* buffer, int32_t count, int32_t start, int32_t end, bool ignoreCase,
               bool searchText);
  int32_t Seek(int32_t offset, int origin);
  const String& GetFileName() const { return fileName_; }
  bool GetReadOnlyFile() const { return readOnlyFile_; }
  void SetReadOnlyFile(bool value) {
    if (value) readOnlyFile_ = true;
  }
  bool HasFile() const { return hasFile_; }

  // ---- bookmarks ----
  THexBookmark GetBookmark(int i) const;
  void SetBookmark(int i, const THexBookmark& bm);
  void SetBookmarkVals(int i, int32_t pos, bool inCharField);
  void AdjustBookmarks(int32_t from, int32_t delta);
  const THexBookmarks& Bookmarks() const { return bookmarks_; }

  // ---- events ----
  TNotifyEvent OnChange;
  TNotifyEvent OnInvalidKey;
  THexProgressEvent OnLoadSaveProgress;

  // ---- the grid state (through the seam) ----
  int Col() const { return GridCol(); }
  int Row() const { return GridRow(); }
  int GetPropColCount() const { return GridColCount(); }
  int GetPropRowCount() const { return GridRowCount(); }
  int TopRowNow() const { return GridTopRow(); }
  // Moves the caret through the SelectCell rules.
  void MoveCaret(int col, int row) { GridMoveCurrent(col, row); }
  // Caret to a byte in a field (on its first digit in the hex field).
  void MoveCaretToPos(int32_t pos, bool inCharField, bool secondDigit = false);

  // Headless grid settings: keys held, focus, visible rows.
  void SetHeadlessKeys(bool shiftDown, bool leftButtonDown) {
    hShiftDown_ = shiftDown;
    hLButtonDown_ = leftButtonDown;
  }
  void SetHeadlessVisibleRows(int n) { hVisibleRows_ = n < 1 ? 1 : n; }

  // Bookkeeping shared with the control.
  bool showRuler_ = false;

 protected:
  // ---- the grid seam; the defaults keep a grid state of their own ----
  virtual int GridCol() const { return hCol_; }
  virtual int GridRow() const { return hRow_; }
  virtual int GridRowCount() const { return hRowCount_; }
  virtual int GridColCount() const { return hColCount_; }
  virtual void GridSetCounts(int colCount, int rowCount);
  virtual int GridTopRow() const { return hTopRow_; }
  virtual void GridSetTopRow(int row);
  virtual int GridLeftCol() const { return hLeftCol_; }
  virtual void GridSetTopLeft(int col, int row);
  virtual int GridVisibleRowCount() const { return hVisibleRows_; }
  virtual void GridMoveCurrent(int col, int row);
  virtual void InvalidateAll() {}
  virtual void InvalidatePositions(int32_t /*from*/, int32_t /*to*/) { InvalidateAll(); }
  virtual void InvalidateCaretRows(int /*oldRow*/, int /*newRow*/) {}
  virtual void MetricsChanged() {}
  virtual void CaretShapeChanged() {}
  // The caret's place in its cell changed (GetTypingPastEnd).
  virtual void CaretPlaceChanged() {}
  virtual bool IsKeyDown(int vk) const;
  virtual bool IsControlEnabled() const { return true; }
  virtual void WaitCursor() {}
  virtual void OldCursor() {}
  virtual TObject* EventSender() { return nullptr; }
  virtual void Changed();
  void WrongKey();

  // Internal primitives.
  void InternalInsertBuffer(const uint8_t* buffer, int32_t count, int32_t pos);
  void InternalAppendBuffer(const uint8_t* buffer, int32_t count);
  void InternalDelete(int32_t start, int32_t end, int col, int row);
  void InternalInsertNibble(int32_t pos, bool highNibble);
  void InternalDeleteNibble(int32_t pos, bool highNibble);
  void InternalConvertRange(int32_t from, int32_t to, THexTranslationKind fromKind,
                            THexTranslationKind toKind);
  void CutChangeMarks(size_t n) {
    if (static_cast<size_t>(changes_.GetSize()) > n) changes_.SetSize(static_cast<int>(n));
  }
  void TruncateData(int32_t n);
  // Typing past the end: appends the typed byte and marks it changed.
  void AppendTyped(uint8_t b);
  // The last cell of the data in its field: the character cell or the
  // second digit of the last byte.
  bool IsLastCell(int col, int row);
  void LeavePastEnd();
  void ClearBookmarksPastEnd();
  // Copies the source from its position to its end into dest in blocks,
  // reporting progress (OnLoadSaveProgress may cancel).
  void Stream2Stream(TStream* source, TStream* dest, THexProgressKind kind);
  void ReportProgress(THexProgressKind kind, int64_t done, int64_t total, int& last);

  mutable THexMemoryStream data_;
  TBits changes_;  // set where a byte was overwritten
  THexUndoStorage undo_;
  THexBookmarks bookmarks_;

  int bytesPerRow_ = 16;
  int bytesPerColumn_ = 2;
  bool inCharField_ = false;
  int32_t selLow_ = -1, selHigh_ = -1, selAnchor_ = -1;
  int32_t insAnchor_ = -1;
  bool selecting_ = false;
  bool insertMode_ = false;
  bool allowInsertMode_ = true;
  bool noSizeChange_ = false;
  bool readOnlyView_ = false;
  bool wantTabs_ = true;
  bool swapNibbles_ = false;
  bool hexLowerCase_ = false;
  wchar_t digits_[17];
  uint8_t maskChar_ = '.';
  THexTranslationKind translation_ = tkAsIs;
  bool modified_ = false;
  bool altReleased_ = false;
  bool inSelectCheck_ = false;
  bool pastEnd_ = false;  // GetTypingPastEnd
  int32_t maxUndo_ = 1048576;

  String fileName_ = L"---";
  bool readOnlyFile_ = true;
  bool hasFile_ = false;
  String loadSaveName_;
  uint32_t lastTempTick_ = 0;

  THexOffsetFormat offsetFormat_;
  int offsetDisplayWidth_ = 0;
  int gutterWidth_ = -1;

 private:
  int hCol_ = 2, hRow_ = 2, hRowCount_ = 3, hColCount_ = 51, hTopRow_ = 2, hLeftCol_ = 2;
  int hVisibleRows_ = 16;
  bool hShiftDown_ = false, hLButtonDown_ = false;
};

// The ANSI (code page 1252) lower case of one byte.
uint8_t HexAnsiLower(uint8_t c);
