// Component model, lists, string lists, collections and streams.
#include "classlib/Classes.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

// ---------------------------------------------------------------------------
// TList

TList::~TList() { Clear(); }

void TList::IndexError(int Index) const {
  throw EListError(Format(L"List index out of bounds (%d)", Index));
}

int TList::Add(void* Item) {
  items_.push_back(Item);
  int i = GetCount() - 1;
  if (Item) Notify(Item, lnAdded);
  return i;
}

void TList::Insert(int Index, void* Item) {
  if (Index < 0 || Index > GetCount()) IndexError(Index);
  items_.insert(items_.begin() + Index, Item);
  if (Item) Notify(Item, lnAdded);
}

void TList::Delete(int Index) {
  if (Index < 0 || Index >= GetCount()) IndexError(Index);
  void* p = items_[static_cast<size_t>(Index)];
  items_.erase(items_.begin() + Index);
  if (p) Notify(p, lnDeleted);
}

int TList::Remove(void* Item) {
  int i = IndexOf(Item);
  if (i >= 0) Delete(i);
  return i;
}

void* TList::Extract(void* Item) {
  int i = IndexOf(Item);
  if (i < 0) return nullptr;
  items_.erase(items_.begin() + i);
  if (Item) Notify(Item, lnExtracted);
  return Item;
}

void TList::Clear() {
  SetCount(0);
  items_.shrink_to_fit();
}

void TList::Exchange(int Index1, int Index2) {
  if (Index1 < 0 || Index1 >= GetCount()) IndexError(Index1);
  if (Index2 < 0 || Index2 >= GetCount()) IndexError(Index2);
  std::swap(items_[static_cast<size_t>(Index1)], items_[static_cast<size_t>(Index2)]);
}

void TList::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  if (CurIndex < 0 || CurIndex >= GetCount()) IndexError(CurIndex);
  if (NewIndex < 0 || NewIndex >= GetCount()) IndexError(NewIndex);
  void* p = items_[static_cast<size_t>(CurIndex)];
  items_.erase(items_.begin() + CurIndex);
  items_.insert(items_.begin() + NewIndex, p);
}

int TList::IndexOf(const void* Item) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i] == Item) return static_cast<int>(i);
  return -1;
}

void* TList::First() const { return Get(0); }
void* TList::Last() const { return Get(GetCount() - 1); }

void TList::Pack() { items_.erase(std::remove(items_.begin(), items_.end(), nullptr), items_.end()); }

void TList::Sort(TListSortCompare Compare) {
  if (!Compare) return;
  std::stable_sort(items_.begin(), items_.end(), [&](void* a, void* b) { return Compare(a, b) < 0; });
}

void TList::SortWith(const std::function<int(void*, void*)>& Compare) {
  std::stable_sort(items_.begin(), items_.end(), [&](void* a, void* b) { return Compare(a, b) < 0; });
}

void TList::Assign(const TList& Source) {
  if (&Source == this) return;
  Clear();
  for (void* p : Source.items_) Add(p);
}

void TList::SetCount(int NewCount) {
  if (NewCount < 0) throw EListError(Format(L"List count out of bounds (%d)", NewCount));
  while (GetCount() > NewCount) Delete(GetCount() - 1);
  items_.resize(static_cast<size_t>(NewCount), nullptr);
}

void TList::SetCapacity(int NewCapacity) {
  if (NewCapacity < GetCount()) throw EListError(Format(L"List capacity out of bounds (%d)", NewCapacity));
  items_.reserve(static_cast<size_t>(NewCapacity));
}

void* TList::Get(int Index) const {
  if (Index < 0 || Index >= GetCount()) IndexError(Index);
  return items_[static_cast<size_t>(Index)];
}

void TList::Put(int Index, void* Item) {
  if (Index < 0 || Index >= GetCount()) IndexError(Index);
  void* old = items_[static_cast<size_t>(Index)];
  if (old == Item) return;
  items_[static_cast<size_t>(Index)] = Item;
  if (old) Notify(old, lnDeleted);
  if (Item) Notify(Item, lnAdded);
}

void TList::Notify(void*, TListNotification) {}

// ---------------------------------------------------------------------------
// TPersistent

void TPersistent::Assign(TPersistent* Source) {
  if (!Source) throw EConvertError(Format(L"Cannot assign a nil to a %s", AnsiToWide(ClassName())));
  Source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* Dest) {
  throw EConvertError(Format(L"Cannot assign a %s to a %s", AnsiToWide(ClassName()),
                             Dest ? AnsiToWide(Dest->ClassName()) : String(L"nil")));
}

// ---------------------------------------------------------------------------
// TComponent

bool IsValidIdent(const String& Ident) {
  if (Ident.empty()) return false;
  auto alpha = [](wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || c == L'_'; };
  if (!alpha(Ident[0])) return false;
  for (wchar_t c : Ident)
    if (!alpha(c) && !(c >= L'0' && c <= L'9')) return false;
  return true;
}

namespace {
// The EndLoading calls running on this thread, innermost first: each keeps
// the components freed while it runs, whose Loaded it must not call.
struct TLoadingWatch {
  TLoadingWatch* Outer;
  std::unordered_set<const TComponent*> Freed;
};
thread_local TLoadingWatch* t_loadingWatch = nullptr;
}  // namespace

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  for (TLoadingWatch* w = t_loadingWatch; w; w = w->Outer) w->Freed.insert(this);
  Destroying();
  // Tell everyone who asked; each Notification removes itself from our
  // list (through RemoveFreeNotification), so take them one at a time.
  while (!freeNotifies_.empty()) {
    TComponent* other = freeNotifies_.back();
    freeNotifies_.pop_back();
    other->ForgetFreeNotifier(this);
    CallProtected([&] { other->Notification(this, opRemove); });
  }
  DestroyComponents();
  if (owner_) owner_->RemoveComponent(this);
}

TComponent* TComponent::GetComponent(int Index) const {
  if (Index < 0 || Index >= GetComponentCount())
    throw EListError(Format(L"List index out of bounds (%d)", Index));
  return components_[static_cast<size_t>(Index)];
}

int TComponent::GetComponentIndex() const {
  if (!owner_) return -1;
  auto& v = owner_->components_;
  auto it = std::find(v.begin(), v.end(), this);
  return it == v.end() ? -1 : static_cast<int>(it - v.begin());
}

void TComponent::SetComponentIndex(int Value) {
  if (!owner_) return;
  auto& v = owner_->components_;
  int cur = GetComponentIndex();
  if (cur < 0) return;
  int count = static_cast<int>(v.size());
  if (Value < 0) Value = 0;
  if (Value >= count) Value = count - 1;
  if (Value == cur) return;
  v.erase(v.begin() + cur);
  v.insert(v.begin() + Value, this);
}

void TComponent::SetName(const String& NewName) {
  if (name_ == NewName) return;
  if (!NewName.empty() && !IsValidIdent(NewName))
    throw EComponentError(Format(L"Component name \"%s\" is not a valid identifier", NewName));
  if (owner_) owner_->ValidateRename(this, name_, NewName);
  else ValidateRename(nullptr, name_, NewName);
  name_ = NewName;
}

void TComponent::ValidateRename(TComponent* AComponent, const String& CurName, const String& NewName) {
  (void)CurName;
  if (AComponent && !NewName.empty()) {
    TComponent* other = FindComponent(NewName);
    if (other && other != AComponent)
      throw EComponentError(Format(L"A component named %s already exists", NewName));
  }
}

TComponent* TComponent::FindComponent(const String& AName) const {
  if (AName.empty()) return nullptr;
  for (TComponent* c : components_)
    if (SameText(c->name_, AName)) return c;
  return nullptr;
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (!AComponent || AComponent == this) return;
  if (!owner_ || AComponent->owner_ != owner_) {
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), AComponent) == freeNotifies_.end()) {
      freeNotifies_.push_back(AComponent);
      AComponent->FreeNotification(this);
    }
  }
  state_.Include(csFreeNotification);
}

void TComponent::ForgetFreeNotifier(TComponent* AComponent) {
  freeNotifies_.erase(std::remove(freeNotifies_.begin(), freeNotifies_.end(), AComponent), freeNotifies_.end());
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (!AComponent) return;
  ForgetFreeNotifier(AComponent);
  AComponent->ForgetFreeNotifier(this);
}

void TComponent::Insert(TComponent* AComponent) {
  components_.push_back(AComponent);
  AComponent->owner_ = this;
}

void TComponent::Remove(TComponent* AComponent) {
  components_.erase(std::remove(components_.begin(), components_.end(), AComponent), components_.end());
  AComponent->owner_ = nullptr;
}

void TComponent::InsertComponent(TComponent* AComponent) {
  if (!AComponent) return;
  // Check the name first: a refused move leaves the component where it was.
  ValidateRename(AComponent, String(), AComponent->name_);
  if (AComponent->owner_) AComponent->owner_->RemoveComponent(AComponent);
  Insert(AComponent);
  if (IsDesigning()) AComponent->SetDesigning(true);
  Notification(AComponent, opInsert);
}

void TComponent::SetDesigning(bool Value, bool SetChildren) {
  SetComponentStateFlag(csDesigning, Value);
  if (SetChildren)
    for (TComponent* c : components_) c->SetDesigning(Value, true);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  if (!AComponent || AComponent->owner_ != this) return;
  Notification(AComponent, opRemove);
  Remove(AComponent);
}

void TComponent::DestroyComponents() {
  while (!components_.empty()) {
    TComponent* c = components_.back();
    if (c->state_.Contains(csFreeNotification)) RemoveComponent(c);
    else Remove(c);
    delete c;
  }
}

void TComponent::Destroying() {
  if (state_.Contains(csDestroying)) return;
  state_.Include(csDestroying);
  for (TComponent* c : components_) c->Destroying();
}

void TComponent::BeginLoading() {
  state_.Include(csLoading);
  for (TComponent* c : components_) c->BeginLoading();
}

void TComponent::EndLoading() {
  // Collect first: a Loaded handler may create or free components. One it
  // freed is passed over (a component made since may have its address).
  std::vector<TComponent*> all;
  std::vector<TComponent*> stack{this};
  while (!stack.empty()) {
    TComponent* c = stack.back();
    stack.pop_back();
    all.push_back(c);
    for (auto it = c->components_.rbegin(); it != c->components_.rend(); ++it) stack.push_back(*it);
  }
  struct TWatching {
    TLoadingWatch Watch{t_loadingWatch, {}};
    TWatching() { t_loadingWatch = &Watch; }
    ~TWatching() { t_loadingWatch = Watch.Outer; }
  } watching;
  const auto& freed = watching.Watch.Freed;
  for (TComponent* c : all)
    if ((freed.empty() || !freed.count(c)) && c->state_.Contains(csLoading)) c->Loaded();
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove && AComponent) RemoveFreeNotification(AComponent);
  // Index walk from the end: a handler may free components.
  for (size_t i = components_.size(); i > 0; --i) {
    if (i - 1 >= components_.size()) continue;
    components_[i - 1]->Notification(AComponent, Operation);
  }
}

void TComponent::Loaded() { state_.Exclude(csLoading); }

bool TComponent::ExecuteAction(TBasicAction* Action) {
  if (!Action->HandlesTarget(this)) return false;
  Action->ExecuteTarget(this);
  return true;
}

bool TComponent::UpdateAction(TBasicAction* Action) {
  if (!Action->HandlesTarget(this)) return false;
  Action->UpdateTarget(this);
  return true;
}

void TComponent::GetChildren(const TGetChildProc& Proc, TComponent* Root) {
  if (Root != this) return;
  const std::vector<TComponent*> owned = components_;  // Proc may change the list
  for (TComponent* c : owned)
    if (!c->HasParent()) Proc(c);
}

void TComponent::SetChildOrder(TComponent* Child, int Order) {
  if (!Child || Child->owner_ != this || Child->HasParent()) return;
  // Order counts the children without parent only.
  int seen = 0;
  for (size_t i = 0; i < components_.size(); ++i) {
    if (components_[i]->HasParent()) continue;
    if (seen++ == Order) {
      Child->SetComponentIndex(static_cast<int>(i));
      return;
    }
  }
  Child->SetComponentIndex(static_cast<int>(components_.size()) - 1);
}

// ---------------------------------------------------------------------------
// TStream

int64_t TStream::GetSize() {
  int64_t pos = Seek(0, soCurrent);
  int64_t size = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return size;
}

void TStream::SetSize(int64_t) { throw EStreamError(String(L"Stream size can't be changed")); }

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
  if (Count < 0 || (Count != 0 && Read(Buffer, Count) != Count)) throw EReadError(String(L"Stream read error"));
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
  if (Count < 0 || (Count != 0 && Write(Buffer, Count) != Count)) throw EWriteError(String(L"Stream write error"));
}

int64_t TStream::CopyFrom(TStream* Source, int64_t Count) {
  if (!Source) throw EStreamError(String(L"No source stream"));
  if (Count == 0) {
    Source->SetPosition(0);
    Count = Source->GetSize();
  }
  if (Count < 0) throw EReadError(String(L"Stream read error"));
  const int64_t kChunk = 61440;
  std::vector<unsigned char> buf(static_cast<size_t>(std::min(Count, kChunk)) + 1);
  int64_t left = Count;
  while (left > 0) {
    int64_t n = std::min(left, kChunk);
    Source->ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    left -= n;
  }
  return Count;
}

// ---------------------------------------------------------------------------
// TMemoryStream

TMemoryStream::~TMemoryStream() = default;

int64_t TMemoryStream::Read(void* Buffer, int64_t Count) {
  if (Count <= 0 || pos_ >= GetSize()) return 0;
  int64_t n = std::min(Count, GetSize() - pos_);
  std::memcpy(Buffer, data_.data() + pos_, static_cast<size_t>(n));
  pos_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0 || pos_ < 0) return 0;
  int64_t end = pos_ + Count;
  if (end > GetSize()) data_.resize(static_cast<size_t>(end));
  std::memcpy(data_.data() + pos_, Buffer, static_cast<size_t>(Count));
  pos_ = end;
  return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t base = Origin == soBeginning ? 0 : Origin == soCurrent ? pos_ : GetSize();
  int64_t p = base + Offset;
  if (p < 0) p = 0;  // never before the start
  pos_ = p;
  return pos_;
}

void TMemoryStream::SetSize(int64_t NewSize) {
  if (NewSize < 0) NewSize = 0;
  data_.resize(static_cast<size_t>(NewSize));
  if (pos_ > NewSize) pos_ = NewSize;
}

void TMemoryStream::Clear() {
  data_.clear();
  data_.shrink_to_fit();
  pos_ = 0;
}

void TMemoryStream::LoadFromStream(TStream* Stream) {
  Stream->SetPosition(0);
  int64_t n = Stream->GetSize();
  std::vector<unsigned char> tmp(static_cast<size_t>(n));
  if (n) Stream->ReadBuffer(tmp.data(), n);
  data_.swap(tmp);
  pos_ = 0;
}

void TMemoryStream::SaveToStream(TStream* Stream) {
  if (!data_.empty()) Stream->WriteBuffer(data_.data(), GetSize());
}

void TMemoryStream::LoadFromFile(const String& FileName) {
  TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&f);
}

void TMemoryStream::SaveToFile(const String& FileName) {
  TFileStream f(FileName, fmCreate);
  SaveToStream(&f);
}

// ---------------------------------------------------------------------------
// TStringStream

int64_t TStringStream::Read(void* Buffer, int64_t Count) {
  if (Count <= 0 || pos_ >= GetSize()) return 0;
  int64_t n = std::min(Count, GetSize() - pos_);
  std::memcpy(Buffer, data_.data() + pos_, static_cast<size_t>(n));
  pos_ += n;
  return n;
}

int64_t TStringStream::Write(const void* Buffer, int64_t Count) {
  if (Count <= 0) return 0;
  int64_t end = pos_ + Count;
  if (end > GetSize()) data_.resize(static_cast<size_t>(end));
  std::memcpy(data_.data() + pos_, Buffer, static_cast<size_t>(Count));
  pos_ = end;
  return Count;
}

int64_t TStringStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t base = Origin == soBeginning ? 0 : Origin == soCurrent ? pos_ : GetSize();
  pos_ = std::max<int64_t>(0, base + Offset);
  return pos_;
}

void TStringStream::SetSize(int64_t NewSize) {
  data_.resize(static_cast<size_t>(std::max<int64_t>(0, NewSize)));
  if (pos_ > GetSize()) pos_ = GetSize();
}

// ---------------------------------------------------------------------------
// THandleStream / TFileStream

#ifdef _WIN32
static HANDLE H(intptr_t h) { return reinterpret_cast<HANDLE>(h); }

int64_t THandleStream::Read(void* Buffer, int64_t Count) {
  int64_t total = 0;
  auto* p = static_cast<unsigned char*>(Buffer);
  while (Count > 0) {
    DWORD chunk = static_cast<DWORD>(std::min<int64_t>(Count, 1 << 30));
    DWORD got = 0;
    if (!ReadFile(H(handle_), p, chunk, &got, nullptr) || got == 0) break;
    total += got;
    p += got;
    Count -= got;
  }
  return total;
}

int64_t THandleStream::Write(const void* Buffer, int64_t Count) {
  int64_t total = 0;
  auto* p = static_cast<const unsigned char*>(Buffer);
  while (Count > 0) {
    DWORD chunk = static_cast<DWORD>(std::min<int64_t>(Count, 1 << 30));
    DWORD put = 0;
    if (!WriteFile(H(handle_), p, chunk, &put, nullptr) || put == 0) break;
    total += put;
    p += put;
    Count -= put;
  }
  return total;
}

int64_t THandleStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  LARGE_INTEGER d, r;
  d.QuadPart = Offset;
  DWORD m = Origin == soBeginning ? FILE_BEGIN : Origin == soCurrent ? FILE_CURRENT : FILE_END;
  if (!SetFilePointerEx(H(handle_), d, &r, m)) return -1;
  return r.QuadPart;
}

void THandleStream::SetSize(int64_t NewSize) {
  int64_t pos = GetPosition();
  if (Seek(NewSize, soBeginning) != NewSize || !SetEndOfFile(H(handle_)))
    throw EStreamError(Format(L"Can't change the stream size: %s", SysErrorMessage(GetLastError())));
  if (pos < NewSize) Seek(pos, soBeginning);
}

TFileStream::TFileStream(const String& FileName, unsigned Mode)
    : THandleStream(reinterpret_cast<intptr_t>(INVALID_HANDLE_VALUE)), fileName_(FileName) {
  static const DWORD kShare[] = {FILE_SHARE_READ | FILE_SHARE_WRITE, 0, FILE_SHARE_READ, FILE_SHARE_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE};
  unsigned shareIdx = (Mode & 0xF0) >> 4;
  DWORD share = shareIdx <= 4 ? kShare[shareIdx] : (FILE_SHARE_READ | FILE_SHARE_WRITE);
  HANDLE h;
  if ((Mode & 0xFF00) == fmCreate) {
    h = CreateFileW(FileName.c_str(), GENERIC_READ | GENERIC_WRITE, (Mode & 0xF0) ? share : 0, nullptr,
                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
      throw EFCreateError(Format(L"Cannot create file \"%s\". %s", FileName, SysErrorMessage(GetLastError())));
  } else {
    static const DWORD kAccess[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
    unsigned a = Mode & 3;
    if (a > 2) a = 0;
    h = CreateFileW(FileName.c_str(), kAccess[a], share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
      throw EFOpenError(Format(L"Cannot open file \"%s\". %s", FileName, SysErrorMessage(GetLastError())));
  }
  handle_ = reinterpret_cast<intptr_t>(h);
}

TFileStream::~TFileStream() {
  if (H(handle_) != INVALID_HANDLE_VALUE) CloseHandle(H(handle_));
}

// TResourceStream

TResourceStream::TResourceStream(void* Instance, const String& ResName, const wchar_t* ResType) {
  Initialize(Instance, ResName.c_str(), ResType);
}

TResourceStream::TResourceStream(void* Instance, int ResID, const wchar_t* ResType) {
  Initialize(Instance, MAKEINTRESOURCEW(ResID), ResType);
}

void TResourceStream::Initialize(void* Instance, const wchar_t* Name, const wchar_t* ResType) {
  HMODULE m = static_cast<HMODULE>(Instance);
  HRSRC r = FindResourceW(m, Name, ResType);
  HGLOBAL g = r ? LoadResource(m, r) : nullptr;
  if (!g) {
    String n = IS_INTRESOURCE(Name) ? IntToStr(static_cast<int64_t>(reinterpret_cast<uintptr_t>(Name))) : String(Name);
    throw EResNotFound(Format(L"Resource %s not found", n));
  }
  data_ = static_cast<const unsigned char*>(LockResource(g));
  size_ = SizeofResource(m, r);
}
#else
int64_t THandleStream::Read(void* Buffer, int64_t Count) {
  int64_t total = 0;
  auto* p = static_cast<unsigned char*>(Buffer);
  while (Count > 0) {
    ssize_t n = ::read(static_cast<int>(handle_), p, static_cast<size_t>(std::min<int64_t>(Count, 1 << 30)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    total += n;
    p += n;
    Count -= n;
  }
  return total;
}

int64_t THandleStream::Write(const void* Buffer, int64_t Count) {
  int64_t total = 0;
  auto* p = static_cast<const unsigned char*>(Buffer);
  while (Count > 0) {
    ssize_t n = ::write(static_cast<int>(handle_), p, static_cast<size_t>(std::min<int64_t>(Count, 1 << 30)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    total += n;
    p += n;
    Count -= n;
  }
  return total;
}

int64_t THandleStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int w = Origin == soBeginning ? SEEK_SET : Origin == soCurrent ? SEEK_CUR : SEEK_END;
  return static_cast<int64_t>(::lseek(static_cast<int>(handle_), static_cast<off_t>(Offset), w));
}

void THandleStream::SetSize(int64_t NewSize) {
  if (::ftruncate(static_cast<int>(handle_), static_cast<off_t>(NewSize)) != 0)
    throw EStreamError(Format(L"Can't change the stream size: %s", SysErrorMessage(errno)));
  if (GetPosition() > NewSize) Seek(NewSize, soBeginning);
}

TFileStream::TFileStream(const String& FileName, unsigned Mode) : THandleStream(-1), fileName_(FileName) {
  std::string path = WideToUtf8(FileName);
  int fd;
  if ((Mode & 0xFF00) == fmCreate) {
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0666);
    if (fd < 0) throw EFCreateError(Format(L"Cannot create file \"%s\". %s", FileName, SysErrorMessage(errno)));
  } else {
    int a = (Mode & 3) == fmOpenWrite ? O_WRONLY : (Mode & 3) == fmOpenReadWrite ? O_RDWR : O_RDONLY;
    fd = ::open(path.c_str(), a);
    if (fd >= 0) {
      struct stat st;
      if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
        ::close(fd);
        fd = -1;
        errno = EISDIR;
      }
    }
    if (fd < 0) throw EFOpenError(Format(L"Cannot open file \"%s\". %s", FileName, SysErrorMessage(errno)));
  }
  handle_ = fd;
}

TFileStream::~TFileStream() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
}

TResourceStream::TResourceStream(void*, const String& ResName, const wchar_t*) {
  throw EResNotFound(Format(L"Resource %s not found", ResName));
}
TResourceStream::TResourceStream(void*, int ResID, const wchar_t*) {
  throw EResNotFound(Format(L"Resource %d not found", ResID));
}
void TResourceStream::Initialize(void*, const wchar_t*, const wchar_t*) {}
#endif

int64_t TResourceStream::Read(void* Buffer, int64_t Count) {
  if (Count <= 0 || pos_ >= size_) return 0;
  int64_t n = std::min(Count, size_ - pos_);
  std::memcpy(Buffer, data_ + pos_, static_cast<size_t>(n));
  pos_ += n;
  return n;
}

int64_t TResourceStream::Write(const void*, int64_t) {
  throw EStreamError(String(L"Can't write to a read-only resource stream"));
}

int64_t TResourceStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  int64_t base = Origin == soBeginning ? 0 : Origin == soCurrent ? pos_ : size_;
  pos_ = std::max<int64_t>(0, base + Offset);
  return pos_;
}

// ---------------------------------------------------------------------------
// TStrings

TStrings::~TStrings() = default;

void TStrings::Error(const wchar_t* Msg, int Data) const { throw EStringListError(Format(Msg, Data)); }

void TStrings::Put(int Index, const String& S) {
  TObject* o = GetObjects(Index);
  Delete(Index);
  InsertObject(Index, S, o);
}

TObject* TStrings::GetObjects(int) const { return nullptr; }
void TStrings::SetObjects(int, TObject*) {}

int TStrings::Add(const String& S) {
  int i = GetCount();
  Insert(i, S);
  return i;
}

int TStrings::AddObject(const String& S, TObject* AObject) {
  int i = Add(S);
  SetObjects(i, AObject);
  return i;
}

void TStrings::AddStrings(const TStrings* Strings) {
  if (!Strings) return;
  BeginUpdate();
  try {
    int n = Strings->GetCount();  // fixed: adding a list to itself doubles it once
    for (int i = 0; i < n; ++i) AddObject(Strings->Get(i), Strings->GetObjects(i));
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::InsertObject(int Index, const String& S, TObject* AObject) {
  Insert(Index, S);
  SetObjects(Index, AObject);
}

void TStrings::Exchange(int Index1, int Index2) {
  BeginUpdate();
  try {
    String s = Get(Index1);
    TObject* o = GetObjects(Index1);
    Put(Index1, Get(Index2));
    SetObjects(Index1, GetObjects(Index2));
    Put(Index2, s);
    SetObjects(Index2, o);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TStrings::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  BeginUpdate();
  try {
    String s = Get(CurIndex);
    TObject* o = GetObjects(CurIndex);
    Delete(CurIndex);
    InsertObject(NewIndex, s, o);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

int TStrings::CompareStrings(const String& S1, const String& S2) const { return AnsiCompareText(S1, S2); }

int TStrings::IndexOf(const String& S) const {
  int n = GetCount();
  for (int i = 0; i < n; ++i)
    if (CompareStrings(Get(i), S) == 0) return i;
  return -1;
}

int TStrings::IndexOfName(const String& Name) const {
  int n = GetCount();
  for (int i = 0; i < n; ++i) {
    String s = Get(i);
    size_t p = s.find(NameValueSeparator);
    if (p != String::npos && CompareStrings(s.substr(0, p), Name) == 0) return i;
  }
  return -1;
}

int TStrings::IndexOfObject(const TObject* AObject) const {
  int n = GetCount();
  for (int i = 0; i < n; ++i)
    if (GetObjects(i) == AObject) return i;
  return -1;
}

bool TStrings::Equals(const TStrings* Strings) const {
  if (!Strings || Strings->GetCount() != GetCount()) return false;
  for (int i = 0; i < GetCount(); ++i)
    if (Get(i) != Strings->Get(i)) return false;
  return true;
}

void TStrings::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TStrings*>(Source)) {
    if (src == this) return;
    BeginUpdate();
    try {
      Clear();
      NameValueSeparator = src->NameValueSeparator;
      Delimiter = src->Delimiter;
      QuoteChar = src->QuoteChar;
      StrictDelimiter = src->StrictDelimiter;
      AddStrings(src);
    } catch (...) {
      EndUpdate();
      throw;
    }
    EndUpdate();
    return;
  }
  TPersistent::Assign(Source);
}

String TStrings::GetName(int Index) const {
  String s = Get(Index);
  size_t p = s.find(NameValueSeparator);
  return p == String::npos ? String() : s.substr(0, p);
}

String TStrings::GetValue(const String& Name) const {
  int i = IndexOfName(Name);
  if (i < 0) return String();
  String s = Get(i);
  return s.substr(s.find(NameValueSeparator) + 1);
}

void TStrings::SetValue(const String& Name, const String& Value) {
  int i = IndexOfName(Name);
  if (!Value.empty()) {
    String line = Name + NameValueSeparator + Value;
    if (i < 0) Add(line);
    else Put(i, line);
  } else if (i >= 0) {
    Delete(i);
  }
}

String TStrings::GetValueFromIndex(int Index) const {
  String s = Get(Index);
  size_t p = s.find(NameValueSeparator);
  return p == String::npos ? String() : s.substr(p + 1);
}

void TStrings::SetValueFromIndex(int Index, const String& Value) {
  if (Value.empty()) {
    Delete(Index);
    return;
  }
  Put(Index, GetName(Index) + NameValueSeparator + Value);
}

String TStrings::GetText() const {
  String r;
  int n = GetCount();
  for (int i = 0; i < n; ++i) {
    r += Get(i);
    r += L"\r\n";
  }
  return r;
}

void TStrings::SetText(const String& Value) {
  BeginUpdate();
  try {
    Clear();
    size_t i = 0, n = Value.size();
    while (i < n) {
      size_t start = i;
      while (i < n && Value[i] != L'\r' && Value[i] != L'\n') ++i;
      Add(Value.substr(start, i - start));
      if (i < n && Value[i] == L'\r') ++i;
      if (i < n && Value[i] == L'\n') ++i;
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

String TStrings::GetDelimitedText() const {
  int n = GetCount();
  if (n == 1 && Get(0).empty()) return String(2, QuoteChar);
  String r;
  for (int i = 0; i < n; ++i) {
    String s = Get(i);
    bool quote = false;
    for (wchar_t c : s) {
      if (c == QuoteChar || c == Delimiter || (!StrictDelimiter && c <= L' ') || c == L'\0') {
        quote = true;
        break;
      }
    }
    // An item that starts with the quote or ends in blanks would not come
    // back the same: quote those too.
    if (!quote && StrictDelimiter && !s.empty() && (s.front() <= L' ' || s.back() <= L' ')) quote = true;
    if (i) r.push_back(Delimiter);
    r += quote ? AnsiQuotedStr(s, QuoteChar) : s;
  }
  return r;
}

void TStrings::SetDelimitedText(const String& Value) {
  BeginUpdate();
  try {
    Clear();
    size_t p = 0, n = Value.size();
    auto blank = [](wchar_t c) { return c >= 1 && c <= L' '; };
    if (!StrictDelimiter)
      while (p < n && blank(Value[p])) ++p;
    while (p < n) {
      String s;
      if (Value[p] == QuoteChar) {
        s = AnsiExtractQuotedStr(Value, p, QuoteChar);
        // Text glued to the closing quote belongs to the item.
        while (p < n && Value[p] != Delimiter && (StrictDelimiter || !blank(Value[p]))) s.push_back(Value[p++]);
      } else {
        size_t start = p;
        while (p < n && Value[p] != Delimiter && (StrictDelimiter || !blank(Value[p]))) ++p;
        s = Value.substr(start, p - start);
      }
      Add(s);
      if (!StrictDelimiter)
        while (p < n && blank(Value[p])) ++p;
      if (p < n && Value[p] == Delimiter) {
        if (p + 1 == n) Add(String());  // a trailing delimiter ends in an empty item
        ++p;
        if (!StrictDelimiter)
          while (p < n && blank(Value[p])) ++p;
      }
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

String TStrings::GetCommaText() const {
  auto* self = const_cast<TStrings*>(this);
  wchar_t d = Delimiter, q = QuoteChar;
  bool sd = StrictDelimiter;
  self->Delimiter = L',';
  self->QuoteChar = L'"';
  self->StrictDelimiter = false;
  String r = GetDelimitedText();
  self->Delimiter = d;
  self->QuoteChar = q;
  self->StrictDelimiter = sd;
  return r;
}

void TStrings::SetCommaText(const String& Value) {
  wchar_t d = Delimiter, q = QuoteChar;
  bool sd = StrictDelimiter;
  Delimiter = L',';
  QuoteChar = L'"';
  StrictDelimiter = false;
  try {
    SetDelimitedText(Value);
  } catch (...) {
    Delimiter = d;
    QuoteChar = q;
    StrictDelimiter = sd;
    throw;
  }
  Delimiter = d;
  QuoteChar = q;
  StrictDelimiter = sd;
}

void TStrings::BeginUpdate() {
  // The state change is announced while the count is still zero, so that
  // OnChanging fires once for the whole update.
  if (updateCount_ == 0) SetUpdateState(true);
  ++updateCount_;
}

void TStrings::EndUpdate() {
  if (updateCount_ <= 0) return;
  if (--updateCount_ == 0) SetUpdateState(false);
}

void TStrings::SetUpdateState(bool) {}

void TStrings::LoadFromStream(TStream* Stream) {
  int64_t size = Stream->GetSize() - Stream->GetPosition();
  std::string bytes(static_cast<size_t>(std::max<int64_t>(0, size)), '\0');
  if (!bytes.empty()) Stream->ReadBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  String text;
  auto u8 = [](char c) { return static_cast<unsigned char>(c); };
  if (bytes.size() >= 2 && ((u8(bytes[0]) == 0xFF && u8(bytes[1]) == 0xFE) || (u8(bytes[0]) == 0xFE && u8(bytes[1]) == 0xFF))) {
    bool le = u8(bytes[0]) == 0xFF;
    std::u16string units;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      char16_t u = le ? char16_t(u8(bytes[i]) | (u8(bytes[i + 1]) << 8)) : char16_t((u8(bytes[i]) << 8) | u8(bytes[i + 1]));
      units.push_back(u);
    }
    if constexpr (sizeof(wchar_t) == 2) {
      text.assign(units.begin(), units.end());
    } else {
      // Combine surrogate pairs into code points for 32-bit wide text.
      for (size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
          c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
          ++i;
        }
        text.push_back(static_cast<wchar_t>(c));
      }
    }
  } else if (bytes.size() >= 3 && u8(bytes[0]) == 0xEF && u8(bytes[1]) == 0xBB && u8(bytes[2]) == 0xBF) {
    text = Utf8ToWide(std::string_view(bytes).substr(3));
  } else {
    text = AnsiToWide(bytes);
  }
  SetText(text);
}

void TStrings::SaveToStream(TStream* Stream, TTextEncoding Encoding) const {
  String text = GetText();
  if (Encoding == teAnsi) {
    AnsiString a = WideToAnsi(text);
    Stream->WriteBuffer(a.data(), static_cast<int64_t>(a.size()));
  } else if (Encoding == teUTF8) {
    std::string u = "\xEF\xBB\xBF" + WideToUtf8(text);
    Stream->WriteBuffer(u.data(), static_cast<int64_t>(u.size()));
  } else {
    std::string b = "\xFF\xFE";
    auto put = [&](char16_t u) {
      b.push_back(static_cast<char>(u & 0xFF));
      b.push_back(static_cast<char>(u >> 8));
    };
    for (wchar_t wc : text) {
      char32_t c = static_cast<char32_t>(wc);
      if constexpr (sizeof(wchar_t) == 2) c &= 0xFFFF;
      if (c >= 0x10000) {
        c -= 0x10000;
        put(static_cast<char16_t>(0xD800 + (c >> 10)));
        put(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
      } else {
        put(static_cast<char16_t>(c));
      }
    }
    Stream->WriteBuffer(b.data(), static_cast<int64_t>(b.size()));
  }
}

void TStrings::LoadFromFile(const String& FileName) {
  TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&f);
}

void TStrings::SaveToFile(const String& FileName, TTextEncoding Encoding) const {
  TFileStream f(FileName, fmCreate);
  SaveToStream(&f, Encoding);
}

// ---------------------------------------------------------------------------
// TStringList

TStringList::~TStringList() {
  OnChange = nullptr;
  OnChanging = nullptr;
  if (OwnsObjects)
    for (auto& it : items_) delete it.O;
  items_.clear();
}

void TStringList::CheckIndex(int Index) const {
  if (Index < 0 || Index >= GetCount()) Error(L"List index out of bounds (%d)", Index);
}

String TStringList::Get(int Index) const {
  CheckIndex(Index);
  return items_[static_cast<size_t>(Index)].S;
}

void TStringList::Put(int Index, const String& S) {
  if (sorted_) Error(L"Operation not allowed on sorted list", 0);
  CheckIndex(Index);
  Changing();
  items_[static_cast<size_t>(Index)].S = S;
  Changed();
}

TObject* TStringList::GetObjects(int Index) const {
  CheckIndex(Index);
  return items_[static_cast<size_t>(Index)].O;
}

void TStringList::SetObjects(int Index, TObject* AObject) {
  CheckIndex(Index);
  Changing();
  auto& it = items_[static_cast<size_t>(Index)];
  if (OwnsObjects && it.O != AObject) delete it.O;
  it.O = AObject;
  Changed();
}

int TStringList::Add(const String& S) { return AddObject(S, nullptr); }

int TStringList::AddObject(const String& S, TObject* AObject) {
  int index;
  if (!sorted_) {
    index = GetCount();
  } else if (Find(S, index)) {
    switch (duplicates_) {
      case dupIgnore:
        return index;  // the object was not stored: it stays the caller's
      case dupError:
        Error(L"String list does not allow duplicates", 0);
      case dupAccept:
        break;
    }
  }
  InsertItem(index, S, AObject);
  return index;
}

void TStringList::Insert(int Index, const String& S) {
  if (sorted_) Error(L"Operation not allowed on sorted list", 0);
  if (Index < 0 || Index > GetCount()) Error(L"List index out of bounds (%d)", Index);
  InsertItem(Index, S, nullptr);
}

void TStringList::InsertItem(int Index, const String& S, TObject* AObject) {
  Changing();
  items_.insert(items_.begin() + Index, Item{S, AObject});
  Changed();
}

void TStringList::Delete(int Index) {
  CheckIndex(Index);
  Changing();
  TObject* o = items_[static_cast<size_t>(Index)].O;
  items_.erase(items_.begin() + Index);
  if (OwnsObjects) delete o;
  Changed();
}

void TStringList::Clear() {
  if (items_.empty()) return;
  Changing();
  std::vector<Item> old;
  old.swap(items_);
  if (OwnsObjects)
    for (auto& it : old) delete it.O;
  Changed();
}

void TStringList::Exchange(int Index1, int Index2) {
  if (sorted_) Error(L"Operation not allowed on sorted list", 0);
  CheckIndex(Index1);
  CheckIndex(Index2);
  Changing();
  std::swap(items_[static_cast<size_t>(Index1)], items_[static_cast<size_t>(Index2)]);
  Changed();
}

void TStringList::Move(int CurIndex, int NewIndex) {
  if (CurIndex == NewIndex) return;
  if (sorted_) Error(L"Operation not allowed on sorted list", 0);
  CheckIndex(CurIndex);
  CheckIndex(NewIndex);
  Changing();
  Item it = std::move(items_[static_cast<size_t>(CurIndex)]);
  items_.erase(items_.begin() + CurIndex);
  items_.insert(items_.begin() + NewIndex, std::move(it));
  Changed();
}

int TStringList::CompareStrings(const String& S1, const String& S2) const {
  return caseSensitive_ ? AnsiCompareStr(S1, S2) : AnsiCompareText(S1, S2);
}

int TStringList::IndexOf(const String& S) const {
  if (!sorted_) return TStrings::IndexOf(S);
  int i;
  return Find(S, i) ? i : -1;
}

bool TStringList::Find(const String& S, int& Index) const {
  if (!sorted_) {
    // A binary search of an unsorted list would answer at random.
    Index = TStrings::IndexOf(S);
    if (Index >= 0) return true;
    Index = GetCount();
    return false;
  }
  int lo = 0, hi = GetCount() - 1;
  bool found = false;
  while (lo <= hi) {
    int mid = lo + (hi - lo) / 2;
    int c = CompareStrings(items_[static_cast<size_t>(mid)].S, S);
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

void TStringList::QuickSortWith(TStringListSortCompare Compare) {
  // Sort a permutation, then apply it: Compare works on indexes of the
  // list as it stands.
  std::vector<int> order(items_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return Compare(this, a, b) < 0; });
  std::vector<Item> sorted;
  sorted.reserve(items_.size());
  for (int i : order) sorted.push_back(std::move(items_[static_cast<size_t>(i)]));
  items_.swap(sorted);
}

void TStringList::Sort() {
  CustomSort([](TStringList* L, int a, int b) {
    return L->CompareStrings(L->items_[static_cast<size_t>(a)].S, L->items_[static_cast<size_t>(b)].S);
  });
}

void TStringList::CustomSort(TStringListSortCompare Compare) {
  if (!Compare || GetCount() < 2) return;
  Changing();
  QuickSortWith(Compare);
  Changed();
}

void TStringList::SetSorted(bool Value) {
  if (sorted_ == Value) return;
  if (Value) Sort();
  sorted_ = Value;
}

void TStringList::SetCaseSensitive(bool Value) {
  if (caseSensitive_ == Value) return;
  caseSensitive_ = Value;
  if (sorted_) Sort();
}

void TStringList::SetUpdateState(bool Updating) {
  if (Updating) Changing();
  else Changed();
}

void TStringList::Changed() {
  if (GetUpdateCount() == 0 && OnChange) OnChange(this);
}

void TStringList::Changing() {
  if (GetUpdateCount() == 0 && OnChanging) OnChanging(this);
}

// ---------------------------------------------------------------------------
// Collections

TCollectionItem::TCollectionItem(TCollection* Collection) { SetCollection(Collection); }

TCollectionItem::~TCollectionItem() { SetCollection(nullptr); }

void TCollectionItem::SetCollection(TCollection* Value) {
  if (collection_ == Value) return;
  if (collection_) collection_->RemoveItem(this);
  if (Value) Value->InsertItem(this);
}

int TCollectionItem::GetIndex() const {
  if (!collection_) return -1;
  auto& v = collection_->items_;
  auto it = std::find(v.begin(), v.end(), this);
  return it == v.end() ? -1 : static_cast<int>(it - v.begin());
}

void TCollectionItem::SetIndex(int Value) {
  int cur = GetIndex();
  if (cur < 0 || Value == cur) return;
  auto& v = collection_->items_;
  if (Value < 0 || Value >= static_cast<int>(v.size()))
    throw EListError(Format(L"List index out of bounds (%d)", Value));
  v.erase(v.begin() + cur);
  v.insert(v.begin() + Value, this);
  Changed(true);
}

String TCollectionItem::GetDisplayName() const {
  return displayName_.empty() ? AnsiToWide(ClassName()) : displayName_;
}

void TCollectionItem::SetDisplayName(const String& Value) {
  displayName_ = Value;
  Changed(false);
}

void TCollectionItem::Changed(bool AllItems) {
  if (collection_ && collection_->updateCount_ == 0) collection_->Update(AllItems ? nullptr : this);
}

TCollection::TCollection(ItemFactory Factory) : factory_(std::move(Factory)) {}

TCollection::~TCollection() {
  updateCount_ = 1;  // no updates while going away
  while (!items_.empty()) delete items_.back();
}

TCollectionItem* TCollection::Add() {
  if (!factory_) throw EInvalidOperation(String(L"Collection has no item class"));
  TCollectionItem* item = factory_(this);
  if (item && item->collection_ != this) item->SetCollection(this);
  return item;
}

TCollectionItem* TCollection::Insert(int Index) {
  if (Index < 0 || Index > GetCount()) throw EListError(Format(L"List index out of bounds (%d)", Index));
  BeginUpdate();
  TCollectionItem* item = nullptr;
  try {
    item = Add();
    item->SetIndex(Index);
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
  return item;
}

void TCollection::Delete(int Index) { delete GetItem(Index); }

void TCollection::Clear() {
  if (items_.empty()) return;
  BeginUpdate();
  while (!items_.empty()) delete items_.back();
  EndUpdate();
}

TCollectionItem* TCollection::FindItemID(int ID) const {
  for (auto* it : items_)
    if (it->id_ == ID) return it;
  return nullptr;
}

TCollectionItem* TCollection::GetItem(int Index) const {
  if (Index < 0 || Index >= GetCount()) throw EListError(Format(L"List index out of bounds (%d)", Index));
  return items_[static_cast<size_t>(Index)];
}

void TCollection::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TCollection*>(Source)) {
    if (src == this) return;
    BeginUpdate();
    try {
      Clear();
      for (auto* it : src->items_) Add()->Assign(it);
    } catch (...) {
      EndUpdate();
      throw;
    }
    EndUpdate();
    return;
  }
  TPersistent::Assign(Source);
}

void TCollection::BeginUpdate() { ++updateCount_; }

void TCollection::EndUpdate() {
  if (updateCount_ > 0 && --updateCount_ == 0) Changed();
}

void TCollection::Update(TCollectionItem*) {}

void TCollection::InsertItem(TCollectionItem* Item) {
  items_.push_back(Item);
  Item->collection_ = this;
  Item->id_ = nextId_++;
  Changed();
}

void TCollection::RemoveItem(TCollectionItem* Item) {
  items_.erase(std::remove(items_.begin(), items_.end(), Item), items_.end());
  Item->collection_ = nullptr;
  Changed();
}

void TCollection::Changed() {
  if (updateCount_ == 0) Update(nullptr);
}

// ---------------------------------------------------------------------------
// TBasicActionLink

TBasicActionLink::TBasicActionLink(TObject* AClient) { AssignClient(AClient); }

TBasicActionLink::~TBasicActionLink() {
  if (action_) action_->UnRegisterChanges(this);
}

void TBasicActionLink::SetAction(TBasicAction* Value) {
  if (Value == action_) return;
  if (action_) action_->UnRegisterChanges(this);
  action_ = Value;
  if (action_) action_->RegisterChanges(this);
}

bool TBasicActionLink::Execute(TComponent* AComponent) {
  if (!action_) return false;
  TBasicAction* a = action_;
  a->ActionComponent = AComponent;
  struct TClear {
    TBasicAction* A;
    ~TClear() { A->ActionComponent = nullptr; }
  } clear{a};
  return a->Execute();
}

bool TBasicActionLink::Update() { return action_ && action_->Update(); }

void TBasicActionLink::Change() {
  if (OnChange) OnChange(action_);
}

// ---------------------------------------------------------------------------
// TBasicAction

TBasicAction::TBasicAction(TComponent* AOwner) : TComponent(AOwner) {}

TBasicAction::~TBasicAction() {
  // The clients forget the action (each link takes itself out of the list).
  while (!clients_.empty()) {
    TBasicActionLink* l = clients_.back();
    clients_.pop_back();
    l->action_ = nullptr;
  }
}

bool TBasicAction::Execute() {
  if (!OnExecute) return false;
  OnExecute(this);
  return true;
}

bool TBasicAction::Update() {
  if (!OnUpdate) return false;
  OnUpdate(this);
  return true;
}

void TBasicAction::RegisterChanges(TBasicActionLink* Value) {
  if (std::find(clients_.begin(), clients_.end(), Value) == clients_.end()) clients_.push_back(Value);
  Value->action_ = this;
}

void TBasicAction::UnRegisterChanges(TBasicActionLink* Value) {
  auto it = std::find(clients_.begin(), clients_.end(), Value);
  if (it != clients_.end()) clients_.erase(it);
  if (Value->action_ == this) Value->action_ = nullptr;
}

void TBasicAction::Change() {
  const std::vector<TBasicActionLink*> links = clients_;
  for (TBasicActionLink* l : links)
    if (std::find(clients_.begin(), clients_.end(), l) != clients_.end()) l->Change();
}

// ===========================================================================
// TBits

namespace {
void CheckBitIndex(int Index) {
  if (Index < 0) throw EBitsError(L"Bits index out of range");
}
}  // namespace

void TBits::SetSize(int Value) {
  CheckBitIndex(Value);
  bits_.resize(size_t(Value), false);
}

bool TBits::GetBit(int Index) const {
  CheckBitIndex(Index);
  return size_t(Index) < bits_.size() && bits_[size_t(Index)];
}

void TBits::SetBit(int Index, bool Value) {
  CheckBitIndex(Index);
  if (size_t(Index) >= bits_.size()) bits_.resize(size_t(Index) + 1, false);
  bits_[size_t(Index)] = Value;
}

int TBits::OpenBit() const {
  for (size_t i = 0; i < bits_.size(); ++i)
    if (!bits_[i]) return int(i);
  return int(bits_.size());
}

#ifdef _WIN32
HRESULT STDMETHODCALLTYPE TInterfacedObject::QueryInterface(REFIID Iid, void** Obj) {
  if (!Obj) return E_POINTER;
  static const IID kUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
  if (IsEqualIID(Iid, kUnknown)) {
    *Obj = static_cast<IUnknown*>(this);
    AddRef();
    return S_OK;
  }
  *Obj = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE TInterfacedObject::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refCount_)); }

ULONG STDMETHODCALLTYPE TInterfacedObject::Release() {
  const LONG r = InterlockedDecrement(&refCount_);
  if (r == 0) delete this;
  return static_cast<ULONG>(r);
}
#endif
