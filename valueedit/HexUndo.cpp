// Undo and redo storage of the hex editor.
#include <algorithm>
#include <cstring>

#include "valueedit/HexEditorCore.h"

namespace {

void Put32(std::vector<uint8_t>& v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
void Put16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

constexpr size_t kDataOffset = 23;
constexpr size_t kRedoBookmarkBytes = 80;

}  // namespace

THexUndoStorage::THexUndoStorage(THexEditorCore* editor) : editor_(editor) {}

const String& THexUndoStorage::DefaultDescription(THexUndoFlag kind) {
  static const String kTexts[9] = {L"Change Byte",       L"Remove Data",    L"Insert Buffer",
                                   L"Replace Selection", L"Append Buffer",  L"Insert Nibble",
                                   L"Delete Nibble",     L"Convert",        L"Multiple Modification"};
  static const String kEmpty;
  return kind <= ufKindCombined ? kTexts[kind] : kEmpty;
}

THexUndoFlag THexUndoStorage::GetUndoKind(THexUndoFlags flags) {
  for (int i = 0; i <= ufKindCombined; ++i)
    if (flags & (1u << i)) return static_cast<THexUndoFlag>(i);
  return ufKindByteChanged;
}

bool THexUndoStorage::CanUndo() const { return count_ >= 1 && updateCount_ == 0 && Size() > 0; }

void THexUndoStorage::Reset(bool alsoRedo) {
  buf_.clear();
  head_ = 0;
  count_ = 0;
  updateCount_ = 0;
  description_.clear();
  if (alsoRedo) ResetRedo();
}

void THexUndoStorage::ResetRedo() {
  redo_.clear();
  lastUndone_.clear();
  lastUndoneDescription_.clear();
}

void THexUndoStorage::SetSize(int64_t n) {
  if (n < 0) n = 0;
  buf_.resize(head_ + static_cast<size_t>(n));
  if (n < kHeaderSize) count_ = 0;
}

void THexUndoStorage::SetCount(int32_t n) {
  count_ = n;
  if (n < 1) Reset(false);
}

void THexUndoStorage::Append(const uint8_t* p, size_t n) { buf_.insert(buf_.end(), p, p + n); }

THexUndoStorage::THexUndoRec THexUndoStorage::ReadHeader(const uint8_t* p) const {
  THexUndoRec h;
  h.Length = Get32(p);
  h.Flags = static_cast<THexUndoFlags>(p[4] | (p[5] << 8));
  h.CurPos = static_cast<int32_t>(Get32(p + 6));
  h.Pos = static_cast<int32_t>(Get32(p + 10));
  h.Count = static_cast<int32_t>(Get32(p + 14));
  h.ReplCount = static_cast<int32_t>(Get32(p + 18));
  h.Translation = p[22];
  return h;
}

bool THexUndoStorage::NewestHeader(THexUndoRec& h, const uint8_t** rec) const {
  int64_t size = Size();
  if (size < kHeaderSize + 4) return false;
  uint32_t len = Get32(Data() + size - 4);
  if (len < static_cast<uint32_t>(kHeaderSize + 3) || len > size) return false;
  const uint8_t* p = Data() + size - len;
  h = ReadHeader(p);
  if (h.Length != len) return false;
  *rec = p;
  return true;
}

uint32_t THexUndoStorage::NewestRecordLength() const {
  THexUndoRec h;
  const uint8_t* p;
  return NewestHeader(h, &p) ? h.Length : 0;
}

THexUndoFlag THexUndoStorage::NewestKind() const {
  THexUndoRec h;
  const uint8_t* p;
  return NewestHeader(h, &p) ? GetUndoKind(h.Flags) : ufKindByteChanged;
}

// Drops the oldest records while the history is longer than MaxUndo. The
// dropped bytes are only skipped (one pointer move); the buffer is compacted
// when the dead part outgrows the live one, so trimming stays linear.
void THexUndoStorage::Trim() {
  const int32_t maxUndo = editor_->maxUndo_;
  if (maxUndo < 1) return;
  while (count_ >= 1 && Size() > maxUndo) {
    if (Size() < 4) {
      Reset(false);
      return;
    }
    uint32_t len = Get32(Data());
    if (len < static_cast<uint32_t>(kHeaderSize) || len > Size()) {
      Reset(false);  // malformed: the whole history goes
      return;
    }
    head_ += len;
    --count_;
    if (Size() == 0) {
      Reset(false);
      return;
    }
  }
  if (head_ > 0 && head_ >= buf_.size() - head_) {
    buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(head_));
    head_ = 0;
  }
}

void THexUndoStorage::CreateUndo(THexUndoFlag kind, int32_t pos, int32_t count, int32_t replaceCount,
                                 const String& description) {
  // Any edit makes the redo step stale, recorded or not.
  ResetRedo();
  if (updateCount_ > 0) return;
  description_ = description.empty() ? DefaultDescription(kind) : description;
  Trim();

  THexEditorCore& ed = *editor_;
  THexUndoFlags flags = HexUndoBit(kind);
  if ((kind == ufKindByteChanged || kind == ufKindNibbleInsert || kind == ufKindNibbleDelete ||
       kind == ufKindCombined) &&
      ed.HasChanged(pos))
    flags |= HexUndoBit(ufFlagByteChanged);
  const int col = ed.GridCol();
  if (ed.IsCharCol(col))
    flags |= HexUndoBit(ufFlagInCharField);
  else if (ed.IsSecondDigitCol(col))
    flags |= HexUndoBit(ufFlag2ndByteCol);
  if (ed.insertMode_) flags |= HexUndoBit(ufFlagInsertMode);
  if (ed.modified_) flags |= HexUndoBit(ufFlagModified);
  const bool hasSel = ed.selAnchor_ >= 0;
  if (hasSel) flags |= HexUndoBit(ufFlagHasSelection);

  const int32_t ds = ed.GetDataSize();
  const uint8_t* mem = static_cast<const uint8_t*>(ed.data_.Memory());
  auto dataRange = [&](int32_t p, int32_t n) -> std::vector<uint8_t> {
    if (p < 0 || n <= 0 || p >= ds) return {};
    n = std::min(n, ds - p);
    return std::vector<uint8_t>(mem + p, mem + p + n);
  };
  std::vector<uint8_t> data;
  switch (kind) {
    case ufKindByteChanged:
    case ufKindNibbleInsert:
    case ufKindNibbleDelete:
      data = dataRange(pos, 1);
      break;
    case ufKindByteRemoved:
    case ufKindConvert:
      data = dataRange(pos, count);
      break;
    case ufKindReplaceSelection:
      data = dataRange(pos, replaceCount);
      break;
    case ufKindCombined: {
      AnsiString a = WideToAnsi(description_);
      if (a.size() > 255) a.resize(255);
      data.push_back(static_cast<uint8_t>(a.size()));
      data.insert(data.end(), a.begin(), a.end());
      break;
    }
    default:
      break;
  }
  if (data.empty()) data.push_back(0);

  const uint32_t len = static_cast<uint32_t>(27 + data.size() + (hasSel ? 12 : 0));
  std::vector<uint8_t> rec;
  rec.reserve(len);
  Put32(rec, len);
  Put16(rec, flags);
  Put32(rec, static_cast<uint32_t>(ed.GetPosAtCursor(col, ed.GridRow())));
  Put32(rec, static_cast<uint32_t>(pos));
  Put32(rec, static_cast<uint32_t>(count));
  Put32(rec, static_cast<uint32_t>(replaceCount));
  rec.push_back(static_cast<uint8_t>(ed.translation_));
  rec.insert(rec.end(), data.begin(), data.end());
  if (hasSel) {
    Put32(rec, static_cast<uint32_t>(ed.selLow_));
    Put32(rec, static_cast<uint32_t>(ed.selHigh_));
    Put32(rec, static_cast<uint32_t>(ed.selAnchor_));
  }
  Put32(rec, len);
  Append(rec.data(), rec.size());
  ++count_;
}

void THexUndoStorage::PopNewest() {
  THexUndoRec h;
  const uint8_t* rec;
  if (!NewestHeader(h, &rec)) {
    Reset(false);
    return;
  }
  lastUndone_.assign(rec, rec + h.Length);
  lastUndoneDescription_ = description_;
  buf_.resize(buf_.size() - h.Length);
  --count_;
  THexUndoRec n;
  const uint8_t* nrec;
  if (count_ >= 1 && NewestHeader(n, &nrec)) {
    THexUndoFlag kind = GetUndoKind(n.Flags);
    description_ = DefaultDescription(kind);
    if (kind == ufKindCombined) {
      uint8_t l = nrec[kDataOffset];
      if (l > 0 && kDataOffset + 1 + l <= n.Length - 4)
        description_ = AnsiToWide(std::string_view(reinterpret_cast<const char*>(nrec + kDataOffset + 1), l));
    }
  } else {
    Reset(false);
  }
}

void THexUndoStorage::RestoreState(THexUndoFlags flags, int32_t caretPos, uint8_t translation,
                                   const int32_t* selection) {
  THexEditorCore& ed = *editor_;
  ed.SetInsertMode((flags & HexUndoBit(ufFlagInsertMode)) != 0);
  ed.ResetSelection(false);
  const bool inChar = (flags & HexUndoBit(ufFlagInCharField)) != 0;
  const bool second = !inChar && ed.GetDataSize() > 0 && (flags & HexUndoBit(ufFlag2ndByteCol)) != 0;
  ed.MoveCaretToPos(caretPos, inChar, second);
  ed.modified_ = (flags & HexUndoBit(ufFlagModified)) != 0;
  if (selection) ed.SetSelection(selection[2], selection[0], selection[1]);
  if (translation <= tkCustom) ed.SetTranslation(static_cast<THexTranslationKind>(translation));
  ed.Changed();
}

void THexUndoStorage::CreateRedo(const THexUndoRec& h) {
  ResetRedo();
  THexEditorCore& ed = *editor_;
  const THexUndoFlag kind = GetUndoKind(h.Flags);
  if (kind == ufKindCombined) return;
  const int32_t ds = ed.GetDataSize();
  const uint8_t* mem = static_cast<const uint8_t*>(ed.data_.Memory());
  THexUndoFlags flags = HexUndoBit(kind);
  int32_t count = h.Count;
  std::vector<uint8_t> data;
  auto take = [&](int32_t p, int32_t n) {
    if (p >= 0 && n > 0 && p < ds) data.assign(mem + p, mem + p + std::min(n, ds - p));
  };
  switch (kind) {
    case ufKindByteChanged:
      take(h.Pos, 1);
      if (ed.HasChanged(h.Pos)) flags |= HexUndoBit(ufFlagByteChanged);
      break;
    case ufKindInsertBuffer:
    case ufKindReplaceSelection:
    case ufKindConvert:
      take(h.Pos, h.Count);
      break;
    case ufKindAppendBuffer:
      take(h.Pos, ds - h.Pos);
      break;
    case ufKindNibbleInsert:
    case ufKindNibbleDelete:
      take(0, ds);
      count = ds;
      break;
    default:
      break;
  }
  const int col = ed.GridCol();
  if (ed.IsCharCol(col))
    flags |= HexUndoBit(ufFlagInCharField);
  else if (ed.IsSecondDigitCol(col))
    flags |= HexUndoBit(ufFlag2ndByteCol);
  if (ed.insertMode_) flags |= HexUndoBit(ufFlagInsertMode);
  if (ed.modified_) flags |= HexUndoBit(ufFlagModified);
  std::vector<uint8_t>& r = redo_;
  Put32(r, static_cast<uint32_t>(24 + data.size()));
  Put16(r, flags);
  Put32(r, static_cast<uint32_t>(ed.GetPosAtCursor(col, ed.GridRow())));
  Put32(r, static_cast<uint32_t>(h.Pos));
  Put32(r, static_cast<uint32_t>(count));
  Put32(r, static_cast<uint32_t>(h.ReplCount));
  r.push_back(static_cast<uint8_t>(ed.translation_));
  r.insert(r.end(), data.begin(), data.end());
  for (const THexBookmark& b : ed.bookmarks_) {
    Put32(r, static_cast<uint32_t>(b.mPosition));
    r.push_back(b.mInCharField ? 1 : 0);
    r.push_back(0);
    r.push_back(0);
    r.push_back(0);
  }
  Put32(r, static_cast<uint32_t>(ed.selLow_));
  Put32(r, static_cast<uint32_t>(ed.selHigh_));
  Put32(r, static_cast<uint32_t>(ed.selAnchor_));
}

bool THexUndoStorage::Undo() {
  // Inside an update bracket nothing is recorded and nothing is undone;
  // the history stays as it is.
  if (updateCount_ > 0) return false;
  if (!CanUndo()) {
    Reset(false);
    return false;
  }
  if (Size() < kHeaderSize) {
    Reset(true);
    return false;
  }
  THexUndoRec h;
  const uint8_t* rec;
  if (!NewestHeader(h, &rec)) {
    Reset(true);
    return false;
  }
  THexEditorCore& ed = *editor_;
  const THexUndoFlag kind = GetUndoKind(h.Flags);
  const int32_t ds = ed.GetDataSize();
  const int32_t P = h.Pos, N = h.Count, R = h.ReplCount;
  const bool hasSel = (h.Flags & HexUndoBit(ufFlagHasSelection)) != 0;
  const size_t dataLen = h.Length - 27 - (hasSel ? 12 : 0);
  // Copies out of the stream, which popping shrinks.
  std::vector<uint8_t> data(rec + kDataOffset, rec + kDataOffset + dataLen);
  int32_t sel[3] = {-1, -1, -1};
  if (hasSel)
    for (int i = 0; i < 3; ++i) sel[i] = static_cast<int32_t>(Get32(rec + h.Length - 16 + 4 * i));
  const int32_t* selp = hasSel ? sel : nullptr;

  // A record that doesn't fit the data can't be applied: drop the history.
  bool fits = true;
  switch (kind) {
    case ufKindByteChanged:
    case ufKindNibbleInsert:
    case ufKindNibbleDelete:
      fits = P >= 0 && P < ds;
      break;
    case ufKindByteRemoved:
      fits = P >= 0 && P <= ds && static_cast<size_t>(N) == dataLen;
      break;
    case ufKindInsertBuffer:
    case ufKindConvert:
      fits = P >= 0 && N >= 0 && static_cast<int64_t>(P) + N <= ds;
      break;
    case ufKindReplaceSelection:
      fits = P >= 0 && N >= 0 && static_cast<int64_t>(P) + N <= ds && (R == 0 || static_cast<size_t>(R) == dataLen);
      break;
    case ufKindAppendBuffer:
      fits = P >= 0 && P <= ds;
      break;
    default:
      break;
  }
  if (!fits) {
    Reset(true);
    return false;
  }

  if (kind != ufKindCombined) CreateRedo(h);
  auto cutMarks = [&](size_t n) {
    if (ed.changes_.GetSize() >= P) ed.CutChangeMarks(n);
  };
  switch (kind) {
    case ufKindByteChanged:
      ed.SetMemory(P, data[0]);
      ed.SetChanged(P, (h.Flags & HexUndoBit(ufFlagByteChanged)) != 0);
      RestoreState(h.Flags, h.CurPos, h.Translation, selp);
      ed.InvalidatePositions(P, P);
      break;
    case ufKindByteRemoved:
      ed.InternalInsertBuffer(data.data(), N, P);
      ed.AdjustBookmarks(P, N);
      RestoreState(h.Flags, h.CurPos, h.Translation, selp);
      cutMarks(static_cast<size_t>(P));
      ed.InvalidateAll();
      break;
    case ufKindInsertBuffer: {
      uint8_t* m = static_cast<uint8_t*>(ed.data_.Memory());
      std::memmove(m + P, m + P + N, static_cast<size_t>(ds - P - N));
      ed.data_.SetSize(ds - N);
      ed.CalcSizes();
      ed.AdjustBookmarks(P + N, -N);
      RestoreState(h.Flags, h.CurPos, h.Translation, selp);
      cutMarks(static_cast<size_t>(P));
      ed.InvalidateAll();
      break;
    }
    case ufKindReplaceSelection: {
      // N new bytes at P go; the R old ones come back.
      std::vector<uint8_t> next;
      next.reserve(static_cast<size_t>(ds - N + R));
      const uint8_t* m = static_cast<const uint8_t*>(ed.data_.Memory());
      uint8_t* mm = static_cast<uint8_t*>(ed.data_.Memory());
      if (R > N) {
        ed.data_.SetSize(static_cast<int64_t>(ds) + (R - N));
        mm = static_cast<uint8_t*>(ed.data_.Memory());
        std::memmove(mm + P + R, mm + P + N, static_cast<size_t>(ds - P - N));
      } else if (R < N) {
        std::memmove(mm + P + R, mm + P + N, static_cast<size_t>(ds - P - N));
        ed.data_.SetSize(static_cast<int64_t>(ds) - (N - R));
        mm = static_cast<uint8_t*>(ed.data_.Memory());
      }
      (void)m;
      if (R > 0) std::memcpy(mm + P, data.data(), static_cast<size_t>(R));
      ed.CalcSizes();
      ed.AdjustBookmarks(P + N, R - N);
      RestoreState(h.Flags, h.CurPos, h.Translation, selp);
      if (ed.changes_.GetSize() >= P) ed.CutChangeMarks(static_cast<size_t>(std::max(0, P - 1)));
      ed.InvalidateAll();
      break;
    }
    case ufKindAppendBuffer:
      ed.TruncateData(P);
      ed.CalcSizes();
      ed.ClearBookmarksPastEnd();
      cutMarks(static_cast<size_t>(P));
      RestoreState(h.Flags, h.CurPos, h.Translation, selp);
      ed.InvalidateAll();
      break;
    case ufKindNibbleInsert:
      ed.InternalDeleteNibble(P, false);
      ed.SetMemory(P, data[0]);
      ed.SetChanged(P, (h.Flags & HexUndoBit(ufFlagByteChanged)) != 0);
      ed.TruncateData(ds - 1);
      ed.CalcSizes();
      ed.ClearBookmarksPastEnd();
      RestoreState(h.Flags, h.CurPos, h.Translation, selp);
      cutMarks(static_cast<size_t>(P));
      ed.InvalidateAll();
      break;
    case ufKindNibbleDelete: {
      ed.InternalInsertNibble(P, false);
      ed.SetMemory(P, data[0]);
      ed.SetChanged(P, (h.Flags & HexUndoBit(ufFlagByteChanged)) != 0);
      ed.TruncateData(ds);
      ed.CalcSizes();
      RestoreState(h.Flags, h.CurPos, h.Translation, selp);
      cutMarks(static_cast<size_t>(P));
      ed.InvalidateAll();
      break;
    }
    case ufKindConvert:
      std::memcpy(static_cast<uint8_t*>(ed.data_.Memory()) + P, data.data(), static_cast<size_t>(N));
      RestoreState(h.Flags, h.CurPos, h.Translation, selp);
      cutMarks(static_cast<size_t>(P));
      ed.InvalidateAll();
      break;
    case ufKindCombined:
      PopNewest();
      for (int32_t i = 0; i < N; ++i)
        if (!Undo()) break;
      ResetRedo();
      return true;
    default:  // flags are never a record's kind
      break;
  }
  PopNewest();
  return true;
}

bool THexUndoStorage::Redo() {
  if (redo_.size() < kDataOffset + kRedoBookmarkBytes + 12) return false;
  THexEditorCore& ed = *editor_;
  THexUndoRec h = ReadHeader(redo_.data());
  const THexUndoFlag kind = GetUndoKind(h.Flags);
  const size_t m = h.Length >= 24 ? h.Length - 24 : 0;
  if (kDataOffset + m + kRedoBookmarkBytes + 12 > redo_.size()) {
    ResetRedo();
    return false;
  }
  std::vector<uint8_t> data(redo_.begin() + kDataOffset, redo_.begin() + static_cast<std::ptrdiff_t>(kDataOffset + m));
  const uint8_t* tail = redo_.data() + kDataOffset + m;
  const int32_t ds = ed.GetDataSize();
  const int32_t P = h.Pos, N = h.Count, R = h.ReplCount;
  uint8_t* mem = static_cast<uint8_t*>(ed.data_.Memory());
  auto fail = [&]() {
    ResetRedo();
    return false;
  };
  switch (kind) {
    case ufKindByteChanged:
      if (P < 0 || P >= ds || data.empty()) return fail();
      mem[P] = data[0];
      break;
    case ufKindByteRemoved:
      if (P < 0 || N < 0 || static_cast<int64_t>(P) + N > ds) return fail();
      std::memmove(mem + P, mem + P + N, static_cast<size_t>(ds - P - N));
      ed.data_.SetSize(ds - N);
      break;
    case ufKindInsertBuffer:
      if (P < 0 || P > ds || static_cast<size_t>(N) != data.size()) return fail();
      ed.InternalInsertBuffer(data.data(), N, P);
      break;
    case ufKindReplaceSelection: {
      if (P < 0 || R < 0 || static_cast<int64_t>(P) + R > ds || static_cast<size_t>(N) != data.size()) return fail();
      if (N > R) {
        ed.data_.SetSize(static_cast<int64_t>(ds) + (N - R));
        mem = static_cast<uint8_t*>(ed.data_.Memory());
        std::memmove(mem + P + N, mem + P + R, static_cast<size_t>(ds - P - R));
      } else if (N < R) {
        std::memmove(mem + P + N, mem + P + R, static_cast<size_t>(ds - P - R));
        ed.data_.SetSize(static_cast<int64_t>(ds) - (R - N));
        mem = static_cast<uint8_t*>(ed.data_.Memory());
      }
      if (N > 0) std::memcpy(mem + P, data.data(), static_cast<size_t>(N));
      break;
    }
    case ufKindAppendBuffer:
      if (P != ds) return fail();
      if (!data.empty()) ed.InternalInsertBuffer(data.data(), static_cast<int32_t>(data.size()), ds);
      break;
    case ufKindNibbleInsert:
    case ufKindNibbleDelete:
      ed.data_.SetSize(static_cast<int64_t>(data.size()));
      if (!data.empty()) std::memcpy(ed.data_.Memory(), data.data(), data.size());
      break;
    case ufKindConvert:
      if (P < 0 || static_cast<int64_t>(P) + static_cast<int64_t>(data.size()) > ds) return fail();
      std::memcpy(mem + P, data.data(), data.size());
      break;
    default:
      return fail();
  }
  ed.CalcSizes();
  for (size_t i = 0; i < 10; ++i) {
    ed.bookmarks_[i].mPosition = static_cast<int32_t>(Get32(tail + 8 * i));
    ed.bookmarks_[i].mInCharField = tail[8 * i + 4] != 0;
  }
  ed.ClearBookmarksPastEnd();
  int32_t sel[3];
  for (int i = 0; i < 3; ++i) sel[i] = static_cast<int32_t>(Get32(tail + kRedoBookmarkBytes + 4 * i));
  ed.SetInsertMode((h.Flags & HexUndoBit(ufFlagInsertMode)) != 0);
  ed.ResetSelection(false);
  const bool inChar = (h.Flags & HexUndoBit(ufFlagInCharField)) != 0;
  const bool second = !inChar && ed.GetDataSize() > 0 && (h.Flags & HexUndoBit(ufFlag2ndByteCol)) != 0;
  ed.MoveCaretToPos(h.CurPos, inChar, second);
  ed.modified_ = (h.Flags & HexUndoBit(ufFlagModified)) != 0;
  ed.SetSelection(sel[2], sel[0], sel[1]);
  if (h.Translation <= tkCustom) ed.SetTranslation(static_cast<THexTranslationKind>(h.Translation));
  if (kind == ufKindByteChanged) ed.SetChanged(P, (h.Flags & HexUndoBit(ufFlagByteChanged)) != 0);
  if (!lastUndone_.empty()) {
    Append(lastUndone_.data(), lastUndone_.size());
    ++count_;
    description_ = lastUndoneDescription_;
  }
  ed.InvalidateAll();
  ResetRedo();
  ed.Changed();
  return true;
}
