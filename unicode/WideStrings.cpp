#include "unicode/WideStrings.h"

#include <algorithm>
#include <memory>
#include <string>

#include "unicode/UnicodeTables.h"
#include "unicode/UnicodeUtils.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

const wchar_t kIndexError[] = L"List index out of bounds (%d)";
const wchar_t kSortedError[] = L"Operation not allowed on sorted string list";
const wchar_t kDuplicateError[] = L"String list does not allow duplicates";
const wchar_t kCapacityError[] = L"List capacity out of bounds (%d)";

// Holds BeginUpdate/EndUpdate around a scope, also when it unwinds.
class UpdateScope {
 public:
  explicit UpdateScope(TWideStrings* list) : list_(list) { list_->BeginUpdate(); }
  ~UpdateScope() { list_->EndUpdate(); }
  UpdateScope(const UpdateScope&) = delete;
  UpdateScope& operator=(const UpdateScope&) = delete;

 private:
  TWideStrings* list_;
};

bool IsLineBreak(WideChar c) {
  return c == u'\n' || c == 0x0B || c == 0x0C || c == u'\r' || c == 0x2028 || c == 0x2029;
}

// Case-insensitive comparison by the character tables (host build, and the
// fallback when the platform refuses the locale).
int CompareFolded(const WideString& a, const WideString& b) {
  std::size_t i = 0, j = 0;
  auto next = [](const WideString& s, std::size_t& k) -> UCS4 {
    UCS4 c = s[k++];
    if (IsHighSurrogate(c) && k < s.size() && IsLowSurrogate(s[k])) c = JoinSurrogates(c, s[k++]);
    return UnicodeToLower(c);
  };
  while (i < a.size() && j < b.size()) {
    UCS4 x = next(a, i), y = next(b, j);
    if (x != y) return x < y ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

}  // namespace

// --- TWideStrings -------------------------------------------------------------

TWideStrings::TWideStrings() : language_(UserDefaultLocale()) {}

TWideStrings::~TWideStrings() = default;

int TWideStrings::CompareStrings(const WideString& S1, const WideString& S2) const {
#ifdef _WIN32
  if (S1.size() < 0x7FFFFFFF && S2.size() < 0x7FFFFFFF) {
    int r = CompareStringW(language_, NORM_IGNORECASE, reinterpret_cast<const wchar_t*>(S1.data()),
                           static_cast<int>(S1.size()),
                           reinterpret_cast<const wchar_t*>(S2.data()),
                           static_cast<int>(S2.size()));
    if (r != 0) return r - CSTR_EQUAL;
  }
#endif
  return CompareFolded(S1, S2);
}

void TWideStrings::Error(const wchar_t* Msg, int Data) const {
  std::wstring text(Msg);
  std::size_t at = text.find(L"%d");
  if (at != std::wstring::npos) text.replace(at, 2, std::to_wstring(Data));
  throw EStringListError(String(text));
}

void TWideStrings::Assign(TPersistent* Source) {
  if (auto* wide = dynamic_cast<TWideStrings*>(Source)) {
    if (wide == this) return;
    UpdateScope scope(this);
    Clear();
    AddStrings(wide);
    return;
  }
  if (auto* strings = dynamic_cast<TStrings*>(Source)) {
    UpdateScope scope(this);
    Clear();
    AddStrings(strings);
    return;
  }
  TPersistent::Assign(Source);
}

void TWideStrings::AssignTo(TPersistent* Dest) {
  if (auto* strings = dynamic_cast<TStrings*>(Dest)) {
    strings->BeginUpdate();
    try {
      strings->Clear();
      for (int i = 0; i < GetCount(); ++i) strings->AddObject(ToString(Get(i)), GetObject(i));
    } catch (...) {
      strings->EndUpdate();
      throw;
    }
    strings->EndUpdate();
    return;
  }
  if (auto* wide = dynamic_cast<TWideStrings*>(Dest)) {
    wide->Assign(this);
    return;
  }
  TPersistent::AssignTo(Dest);
}

int TWideStrings::GetCapacity() const { return GetCount(); }
TObject* TWideStrings::GetObject(int) const { return nullptr; }
void TWideStrings::PutObject(int, TObject*) {}
void TWideStrings::SetCapacity(int) {}
void TWideStrings::SetUpdateState(bool) {}
void TWideStrings::SetLanguage(std::uint32_t Value) { language_ = Value; }

// Inserts before it deletes, so a refused insertion loses nothing; an index
// outside the list is refused before anything changes (inserting at the count
// would succeed and the deletion after it fail).
void TWideStrings::Put(int Index, const WideString& S) {
  if (Index < 0 || Index >= GetCount()) Error(kIndexError, Index);
  TObject* object = GetObject(Index);
  UpdateScope scope(this);
  InsertObject(Index, S, object);
  Delete(Index + 1);
}

int TWideStrings::Add(const WideString& S) {
  int index = GetCount();
  Insert(index, S);
  return index;
}

int TWideStrings::AddObject(const WideString& S, TObject* AObject) {
  int index = Add(S);
  PutObject(index, AObject);
  return index;
}

void TWideStrings::InsertObject(int Index, const WideString& S, TObject* AObject) {
  Insert(Index, S);
  PutObject(Index, AObject);
}

void TWideStrings::AddStrings(const TStrings* Strings) {
  UpdateScope scope(this);
  for (int i = 0; i < Strings->GetCount(); ++i)
    AddObject(ToWideString(Strings->Get(i)), Strings->GetObjects(i));
}

void TWideStrings::AddStrings(const TWideStrings* Strings) {
  UpdateScope scope(this);
  // Copy first: Strings may be this list.
  int count = Strings->GetCount();
  for (int i = 0; i < count; ++i) AddObject(Strings->Get(i), Strings->GetObject(i));
}

void TWideStrings::Exchange(int Index1, int Index2) {
  UpdateScope scope(this);
  WideString s = Get(Index1);
  TObject* o = GetObject(Index1);
  Put(Index1, Get(Index2));
  PutObject(Index1, GetObject(Index2));
  Put(Index2, s);
  PutObject(Index2, o);
}

void TWideStrings::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  UpdateScope scope(this);
  WideString s = Get(CurIndex);
  TObject* o = GetObject(CurIndex);
  // The same as deleting and inserting at NewIndex, but a refused insertion
  // (a sorted list, an index out of range) leaves the list as it was.
  if (CurIndex < NewIndex) {
    InsertObject(NewIndex + 1, s, o);
    Delete(CurIndex);
  } else {
    InsertObject(NewIndex, s, o);
    Delete(CurIndex + 1);
  }
}

int TWideStrings::IndexOf(const WideString& S) const {
  for (int i = 0; i < GetCount(); ++i)
    if (CompareStrings(Get(i), S) == 0) return i;
  return -1;
}

int TWideStrings::IndexOfObject(const TObject* AObject) const {
  for (int i = 0; i < GetCount(); ++i)
    if (GetObject(i) == AObject) return i;
  return -1;
}

bool TWideStrings::Equals(const TWideStrings* Strings) const {
  if (!Strings || GetCount() != Strings->GetCount()) return false;
  for (int i = 0; i < GetCount(); ++i)
    if (Get(i) != Strings->Get(i)) return false;
  return true;
}

void TWideStrings::BeginUpdate() {
  if (updateCount_ == 0) SetUpdateState(true);
  ++updateCount_;
}

void TWideStrings::EndUpdate() {
  if (updateCount_ == 0) return;
  --updateCount_;
  if (updateCount_ == 0) SetUpdateState(false);
}

// --- names and values

WideString TWideStrings::GetName(int Index) const {
  WideString s = Get(Index);
  std::size_t at = s.find(u'=');
  return at == WideString::npos ? WideString() : s.substr(0, at);
}

int TWideStrings::IndexOfName(const WideString& Name) const {
  for (int i = 0; i < GetCount(); ++i) {
    WideString s = Get(i);
    std::size_t at = s.find(u'=');
    if (at != WideString::npos && CompareStrings(s.substr(0, at), Name) == 0) return i;
  }
  return -1;
}

WideString TWideStrings::GetValue(const WideString& Name) const {
  int i = IndexOfName(Name);
  if (i < 0) return WideString();
  WideString s = Get(i);
  return s.substr(s.find(u'=') + 1);
}

void TWideStrings::SetValue(const WideString& Name, const WideString& Value) {
  int i = IndexOfName(Name);
  if (Value.empty()) {
    if (i >= 0) Delete(i);
    return;
  }
  WideString line = Name + u"=" + Value;
  if (i < 0)
    Add(line);
  else
    Put(i, line);
}

// --- comma text

WideString TWideStrings::GetCommaText() const {
  int count = GetCount();
  if (count == 1 && Get(0).empty()) return u"\"\"";
  WideString out;
  for (int i = 0; i < count; ++i) {
    WideString s = Get(i);
    bool quote = s.empty() || std::any_of(s.begin(), s.end(),
                             [](WideChar c) { return c <= u' ' || c == u'"' || c == u','; });
    if (i > 0) out.push_back(u',');
    out += quote ? WideQuotedStr(s, u'"') : s;
  }
  return out;
}

void TWideStrings::SetCommaText(const WideString& Value) {
  UpdateScope scope(this);
  Clear();
  // The text ends at its first NUL character, as a zero-terminated text.
  const WideChar* p = Value.c_str();
  auto skipBlanks = [&p] {
    while (*p >= 1 && *p <= u' ') ++p;
  };
  skipBlanks();
  while (*p) {
    WideString item;
    if (*p == u'"') {
      item = WideExtractQuotedStr(p, u'"');
    } else {
      const WideChar* start = p;
      while (*p > u' ' && *p != u',') ++p;
      item.assign(start, p);
    }
    Add(item);
    skipBlanks();
    if (*p == u',') {
      ++p;
      skipBlanks();
    }
  }
}

// --- text

WideString TWideStrings::GetTextStr() const {
  WideString out;
  for (int i = 0; i < GetCount(); ++i) {
    out += Get(i);
    out += CRLF;
  }
  return out;
}

void TWideStrings::SetTextStr(const WideString& Value) {
  UpdateScope scope(this);
  Clear();
  std::size_t end = Value.find(u'\0');
  if (end == WideString::npos) end = Value.size();
  std::size_t i = 0;
  while (i < end) {
    std::size_t start = i;
    while (i < end && !IsLineBreak(Value[i])) ++i;
    Add(Value.substr(start, i - start));
    if (i < end) {
      if (Value[i] == u'\r' && i + 1 < end && Value[i + 1] == u'\n')
        i += 2;
      else
        ++i;
    }
  }
}

WideChar* TWideStrings::GetText() const { return StrNewW(GetTextStr().c_str()); }

void TWideStrings::SetText(const WideChar* Text) {
  SetTextStr(Text ? WideString(Text) : WideString());
}

// --- streams and files

void TWideStrings::LoadFromBytes(const void* Data, std::size_t Size) {
  const auto* p = static_cast<const unsigned char*>(Data);
  unsigned mark = 0;
  if (Size >= 1) mark = p[0];
  if (Size >= 2) mark |= unsigned(p[1]) << 8;
  WideString text;
  bool unicode = mark == 0xFEFF || mark == 0xFFFE;
  if (unicode) {
    std::size_t count = (Size - 2) / 2;  // a final odd byte is not text
    text.resize(count);
    bool swap = mark == 0xFFFE;
    for (std::size_t i = 0; i < count; ++i) {
      unsigned lo = p[2 + 2 * i], hi = p[3 + 2 * i];
      text[i] = static_cast<WideChar>(swap ? (lo << 8) | hi : (hi << 8) | lo);
    }
  } else {
    text = CodePageToWideString(AnsiString(reinterpret_cast<const char*>(p), Size), 0);
  }
  UpdateScope scope(this);
  SetTextStr(text);
  saveUnicode_ = unicode;
}

void TWideStrings::LoadFromStream(TStream* Stream) {
  std::int64_t size = Stream->GetSize() - Stream->GetPosition();
  std::vector<unsigned char> bytes(size > 0 ? static_cast<std::size_t>(size) : 0);
  if (!bytes.empty()) Stream->ReadBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  LoadFromBytes(bytes.data(), bytes.size());
}

void TWideStrings::SaveToStream(TStream* Stream) {
  WideString text = GetTextStr();
  saved_ = false;
  if (saveUnicode_) {
    std::vector<unsigned char> bytes;
    bytes.reserve(2 + text.size() * 2);
    bytes.push_back(0xFF);
    bytes.push_back(0xFE);
    for (WideChar c : text) {
      bytes.push_back(static_cast<unsigned char>(c & 0xFF));
      bytes.push_back(static_cast<unsigned char>(c >> 8));
    }
    Stream->WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  } else {
    bool lost = false;
    AnsiString bytes = WideStringToCodePage(text, 0, &lost);
    bool allowed = true;
    if (lost && OnConfirmConversion) OnConfirmConversion(this, allowed);
    if (!allowed) return;
    if (!bytes.empty()) Stream->WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
  }
  saved_ = true;
}

void TWideStrings::LoadFromFile(const String& FileName) {
  TFileStream stream(FileName, fmOpenRead | fmShareDenyNone);
  LoadFromStream(&stream);
}

void TWideStrings::SaveToFile(const String& FileName) {
  TFileStream stream(FileName, fmCreate);
  SaveToStream(&stream);
}

// --- TWideStringList ------------------------------------------------------------

TWideStringList::~TWideStringList() {
  OnChange = nullptr;
  OnChanging = nullptr;
  items_.clear();
  count_ = 0;
}

void TWideStringList::CheckIndex(int Index, int Limit) const {
  if (Index < 0 || Index >= Limit) Error(kIndexError, Index);
}

void TWideStringList::Changed() {
  if (GetUpdateCount() == 0 && OnChange) OnChange(this);
}

void TWideStringList::Changing() {
  if (GetUpdateCount() == 0 && OnChanging) OnChanging(this);
}

void TWideStringList::SetUpdateState(bool Updating) {
  if (Updating)
    Changing();
  else
    Changed();
}

WideString TWideStringList::Get(int Index) const {
  CheckIndex(Index, count_);
  return items_[static_cast<std::size_t>(Index)].FString;
}

TObject* TWideStringList::GetObject(int Index) const {
  CheckIndex(Index, count_);
  return items_[static_cast<std::size_t>(Index)].FObject;
}

void TWideStringList::Put(int Index, const WideString& S) {
  if (sorted_) Error(kSortedError, 0);
  CheckIndex(Index, count_);
  Changing();
  items_[static_cast<std::size_t>(Index)].FString = S;
  Changed();
}

void TWideStringList::PutObject(int Index, TObject* AObject) {
  CheckIndex(Index, count_);
  Changing();
  items_[static_cast<std::size_t>(Index)].FObject = AObject;
  Changed();
}

void TWideStringList::SetCapacity(int NewCapacity) {
  if (NewCapacity < count_) Error(kCapacityError, NewCapacity);
  items_.resize(static_cast<std::size_t>(NewCapacity));
}

void TWideStringList::Grow() {
  int capacity = GetCapacity();
  int delta = capacity > 64 ? capacity / 4 : (capacity > 8 ? 16 : 4);
  SetCapacity(capacity + delta);
}

void TWideStringList::InsertItem(int Index, const WideString& S) {
  Changing();
  if (count_ == GetCapacity()) Grow();
  for (int i = count_; i > Index; --i)
    items_[static_cast<std::size_t>(i)] = std::move(items_[static_cast<std::size_t>(i - 1)]);
  items_[static_cast<std::size_t>(Index)] = TWideStringItem{S, nullptr};
  ++count_;
  Changed();
}

void TWideStringList::Insert(int Index, const WideString& S) {
  if (sorted_) Error(kSortedError, 0);
  CheckIndex(Index, count_ + 1);
  InsertItem(Index, S);
}

int TWideStringList::Add(const WideString& S) {
  int index;
  if (!sorted_) {
    index = count_;
  } else if (Find(S, index)) {
    if (duplicates_ == dupIgnore) return index;
    if (duplicates_ == dupError) Error(kDuplicateError, 0);
  }
  InsertItem(index, S);
  return index;
}

void TWideStringList::Delete(int Index) {
  CheckIndex(Index, count_);
  Changing();
  for (int i = Index; i + 1 < count_; ++i)
    items_[static_cast<std::size_t>(i)] = std::move(items_[static_cast<std::size_t>(i + 1)]);
  --count_;
  items_[static_cast<std::size_t>(count_)] = TWideStringItem{};
  Changed();
}

void TWideStringList::Clear() {
  if (count_ == 0) return;
  Changing();
  items_.clear();
  items_.shrink_to_fit();
  count_ = 0;
  Changed();
}

void TWideStringList::ExchangeItems(int Index1, int Index2) {
  std::swap(items_[static_cast<std::size_t>(Index1)], items_[static_cast<std::size_t>(Index2)]);
}

void TWideStringList::Exchange(int Index1, int Index2) {
  CheckIndex(Index1, count_);
  CheckIndex(Index2, count_);
  Changing();
  ExchangeItems(Index1, Index2);
  Changed();
}

bool TWideStringList::Find(const WideString& S, int& Index) const {
  bool found = false;
  int lo = 0, hi = count_ - 1;
  while (lo <= hi) {
    int mid = lo + (hi - lo) / 2;
    int c = CompareStrings(items_[static_cast<std::size_t>(mid)].FString, S);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (duplicates_ != dupAccept) lo = mid;
      }
    }
  }
  Index = lo;
  return found;
}

int TWideStringList::IndexOf(const WideString& S) const {
  if (!sorted_) return TWideStrings::IndexOf(S);
  int index;
  return Find(S, index) ? index : -1;
}

void TWideStringList::QuickSort(int L, int R) {
  while (L < R) {
    int i = L, j = R, p = L + (R - L) / 2;
    do {
      while (i < R && CompareStrings(items_[static_cast<std::size_t>(i)].FString,
                                     items_[static_cast<std::size_t>(p)].FString) < 0)
        ++i;
      while (j > L && CompareStrings(items_[static_cast<std::size_t>(j)].FString,
                                     items_[static_cast<std::size_t>(p)].FString) > 0)
        --j;
      if (i <= j) {
        ExchangeItems(i, j);
        if (p == i)
          p = j;
        else if (p == j)
          p = i;
        ++i;
        --j;
      }
    } while (i <= j);
    // Recurse into the smaller part and loop on the larger, so the depth
    // stays logarithmic.
    if (j - L < R - i) {
      if (L < j) QuickSort(L, j);
      L = i;
    } else {
      if (i < R) QuickSort(i, R);
      R = j;
    }
  }
}

void TWideStringList::SortItems() {
  if (count_ < 2) return;
  Changing();
  QuickSort(0, count_ - 1);
  Changed();
}

void TWideStringList::Sort() {
  if (!sorted_) SortItems();
}

void TWideStringList::SetSorted(bool Value) {
  if (sorted_ == Value) return;
  if (Value) Sort();
  sorted_ = Value;
}

void TWideStringList::SetLanguage(std::uint32_t Value) {
  TWideStrings::SetLanguage(Value);
  if (sorted_) SortItems();
}

// ---------------------------------------------------------------------------
// Component streams

void TWideStrings::DefineProperties(TFiler* Filer) {
  TPersistent::DefineProperties(Filer);
  bool HasData;
  if (TPersistent* A = Filer->GetAncestor()) {
    auto* Ancestor = dynamic_cast<TWideStrings*>(A);
    HasData = !Ancestor || !Equals(Ancestor);
  } else {
    HasData = GetCount() > 0;
  }
  // A list of lines, as the form streaming's own string lists are.
  TDeclaringKind Kind(TDeclaredKind::Lines);
  Filer->DefineProperty(
      L"WideStrings", [this](TReader* R) { ReadData(R); }, [this](TWriter* W) { WriteData(W); }, HasData);
}

// The whole list is read before the lines change: a broken one leaves
// them as they were.
void TWideStrings::ReadData(TReader* Reader) {
  std::vector<WideString> Read;
  Reader->ReadListBegin();
  while (!Reader->EndOfList()) Read.push_back(ToWideString(Reader->ReadWideString()));
  Reader->ReadListEnd();
  BeginUpdate();
  try {
    Clear();
    for (const WideString& Line : Read) Add(Line);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TWideStrings::WriteData(TWriter* Writer) {
  Writer->WriteListBegin();
  for (int I = 0; I < GetCount(); ++I) Writer->WriteWideString(ToString(Get(I)));
  Writer->WriteListEnd();
}
