// TRegistry over the Win32 registry functions, and the registry-backed
// settings files.
#include "classlib/Registry.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <mutex>

// ---------------------------------------------------------------------------
// Fault seam

namespace {

struct TFault {
  int count;  // -1: until cleared
  LONG code;
  int skip;  // calls that still go through first
};

std::mutex g_faultLock;
std::map<String, TFault>& Faults() {
  static std::map<String, TFault> faults;
  return faults;
}
// Keys refused by name (upper-cased), with the code their opens fail with.
std::map<String, LONG>& RefusedKeys() {
  static std::map<String, LONG> keys;
  return keys;
}
std::atomic<bool> g_anyFault{false};

// Under g_faultLock.
void NoteFaults() { g_anyFault = !Faults().empty() || !RefusedKeys().empty(); }

// Returns the forced error for Operation, or ERROR_SUCCESS.
LONG Forced(const wchar_t* Operation) {
  if (!g_anyFault.load(std::memory_order_relaxed)) return ERROR_SUCCESS;
  std::lock_guard<std::mutex> lock(g_faultLock);
  auto it = Faults().find(Operation);
  if (it == Faults().end() || it->second.count == 0) return ERROR_SUCCESS;
  if (it->second.skip > 0) {
    --it->second.skip;
    return ERROR_SUCCESS;
  }
  LONG code = it->second.code;
  if (it->second.count > 0 && --it->second.count == 0) Faults().erase(it);
  NoteFaults();
  return code;
}

// The code a refused key's open fails with, or ERROR_SUCCESS. Sub is the
// path opened below some key; its last component names the key.
LONG Refused(const wchar_t* Sub) {
  if (!g_anyFault.load(std::memory_order_relaxed) || !Sub) return ERROR_SUCCESS;
  std::wstring_view path(Sub);
  while (!path.empty() && path.back() == L'\\') path.remove_suffix(1);
  const size_t cut = path.rfind(L'\\');
  if (cut != std::wstring_view::npos) path.remove_prefix(cut + 1);
  String name(path);
  CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
  std::lock_guard<std::mutex> lock(g_faultLock);
  auto it = RefusedKeys().find(name);
  return it == RefusedKeys().end() ? ERROR_SUCCESS : it->second;
}

LONG OpenKeyEx(HKEY key, const wchar_t* sub, REGSAM sam, HKEY* out, DWORD options = 0) {
  *out = nullptr;
  if (LONG f = Forced(L"RegOpenKeyEx")) return f;
  if (LONG f = Refused(sub)) return f;
  return RegOpenKeyExW(key, sub, options, sam, out);
}
LONG CreateKeyEx(HKEY key, const wchar_t* sub, REGSAM sam, HKEY* out, DWORD options = REG_OPTION_NON_VOLATILE,
                 DWORD* disposition = nullptr) {
  *out = nullptr;
  if (LONG f = Forced(L"RegCreateKeyEx")) return f;
  DWORD disp = 0;
  const LONG rc = RegCreateKeyExW(key, sub, 0, nullptr, options, sam, nullptr, out, &disp);
  if (disposition) *disposition = disp;
  return rc;
}
LONG SetValueEx(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
  if (LONG f = Forced(L"RegSetValueEx")) return f;
  // The system looks at the character just past text data that does not end
  // in a NUL and, when it happens to be 0, stores one more (a value stored
  // without its final NUL grew by two bytes depending on what followed the
  // buffer in memory). Text is written from a copy followed by non-zero
  // bytes, so exactly `size` bytes are stored and nothing past the caller's
  // buffer is read.
  if (size && data && (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ)) {
    std::string padded(static_cast<const char*>(data), size);
    padded.append(3, '\xFF');
    return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(padded.data()), size);
  }
  return RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
}
LONG QueryValueEx(HKEY key, const wchar_t* name, DWORD* type, void* data, DWORD* size) {
  if (LONG f = Forced(L"RegQueryValueEx")) return f;
  return RegQueryValueExW(key, name, nullptr, type, static_cast<BYTE*>(data), size);
}
LONG DeleteValueW_(HKEY key, const wchar_t* name) {
  if (LONG f = Forced(L"RegDeleteValue")) return f;
  return RegDeleteValueW(key, name);
}
// Deletes the open key itself (opened with DELETE access): a link opened
// as itself goes as the link, where a deletion by name would reach the key
// it links to.
LONG DeleteOpenKey(HKEY key) {
  if (LONG f = Forced(L"RegDeleteKey")) return f;
  using TNtDeleteKey = LONG(NTAPI*)(HANDLE);
  using TNtStatusToError = ULONG(NTAPI*)(LONG);
  static const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  static const auto deleteKey =
      reinterpret_cast<TNtDeleteKey>(reinterpret_cast<void*>(GetProcAddress(ntdll, "NtDeleteKey")));
  static const auto toError =
      reinterpret_cast<TNtStatusToError>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlNtStatusToDosError")));
  if (!deleteKey || !toError) return ERROR_CALL_NOT_IMPLEMENTED;
  const LONG status = deleteKey(key);
  return status >= 0 ? ERROR_SUCCESS : static_cast<LONG>(toError(status));
}
LONG EnumKeyEx(HKEY key, DWORD index, wchar_t* name, DWORD* len) {
  if (LONG f = Forced(L"RegEnumKeyEx")) return f;
  return RegEnumKeyExW(key, index, name, len, nullptr, nullptr, nullptr, nullptr);
}
LONG EnumValue(HKEY key, DWORD index, wchar_t* name, DWORD* len, DWORD* type, BYTE* data, DWORD* size) {
  if (LONG f = Forced(L"RegEnumValue")) return f;
  return RegEnumValueW(key, index, name, len, nullptr, type, data, size);
}
LONG QueryInfoKey(HKEY key, TRegKeyInfo& info) {
  if (LONG f = Forced(L"RegQueryInfoKey")) return f;
  DWORD subKeys = 0, maxSub = 0, values = 0, maxValue = 0, maxData = 0;
  FILETIME ft{};
  LONG r = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, &maxSub, nullptr, &values, &maxValue,
                            &maxData, nullptr, &ft);
  if (r == ERROR_SUCCESS) {
    info.NumSubKeys = static_cast<int>(subKeys);
    info.MaxSubKeyLen = static_cast<int>(maxSub);
    info.NumValues = static_cast<int>(values);
    info.MaxValueLen = static_cast<int>(maxValue);
    info.MaxDataLen = static_cast<int>(maxData);
    info.FileTime = ft;
  }
  return r;
}
LONG FlushKey(HKEY key) {
  if (LONG f = Forced(L"RegFlushKey")) return f;
  return RegFlushKey(key);
}

bool IsPredefined(HKEY k) {
  return k == HKEY_CLASSES_ROOT || k == HKEY_CURRENT_USER || k == HKEY_LOCAL_MACHINE || k == HKEY_USERS ||
         k == HKEY_PERFORMANCE_DATA || k == HKEY_CURRENT_CONFIG || k == HKEY_DYN_DATA;
}

void CloseHKey(HKEY k) {
  if (k && !IsPredefined(k)) RegCloseKey(k);
}

// Strips the leading backslash of an absolute path (and trailing ones).
String PathPart(const String& Key, bool& Relative) {
  Relative = Key.empty() || Key[0] != L'\\';
  String s = Relative ? Key : Key.substr(1);
  while (!s.empty() && s.back() == L'\\') s.pop_back();
  return s;
}

// A key path without backslashes at its ends.
String TrimmedPath(const String& Path) {
  size_t b = Path.find_first_not_of(L'\\');
  if (b == String::npos) return String();
  return Path.substr(b, Path.find_last_not_of(L'\\') + 1 - b);
}

String JoinPath(const String& a, const String& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return a + L"\\" + b;
}

// The path of a subkey: one backslash between, also before an empty name
// (a key may have one).
String SubKeyPath(const String& Parent, const String& Name) {
  if (Parent.empty()) return Name;
  if (Parent.back() == L'\\') return Parent + Name;
  return Parent + L"\\" + Name;
}

[[noreturn]] void RaiseListError(const wchar_t* What, const String& Path) {
  throw ERegistryException(String(L"Unable to list the ") + What + L" of the key " + Path);
}

}  // namespace

// ---------------------------------------------------------------------------
// TRegKey

TRegKey::TRegKey(TRegKey&& Other) noexcept
    : key_(Other.key_), path_(std::move(Other.path_)), lastError_(Other.lastError_), owned_(Other.owned_) {
  Other.key_ = nullptr;
}

TRegKey& TRegKey::operator=(TRegKey&& Other) noexcept {
  if (this != &Other) {
    Close();
    key_ = Other.key_;
    path_ = std::move(Other.path_);
    lastError_ = Other.lastError_;
    owned_ = Other.owned_;
    Other.key_ = nullptr;
  }
  return *this;
}

void TRegKey::Take(HKEY Key, const String& Path) {
  key_ = Key;
  owned_ = true;
  path_ = Path;
}

bool TRegKey::Open(HKEY Root, const String& Path, REGSAM Access) {
  Close();
  const String p = TrimmedPath(Path);
  HKEY k = nullptr;
  lastError_ = OpenKeyEx(Root, p.c_str(), Access, &k);
  if (lastError_ != ERROR_SUCCESS) return false;
  Take(k, p);
  return true;
}

bool TRegKey::Create(HKEY Root, const String& Path, REGSAM Access) {
  const String p = TrimmedPath(Path);
  if (p.empty()) return Open(Root, p, Access);
  Close();
  HKEY k = nullptr;
  lastError_ = CreateKeyEx(Root, p.c_str(), Access, &k);
  if (lastError_ != ERROR_SUCCESS) return false;
  Take(k, p);
  return true;
}

bool TRegKey::OpenSub(const TRegKey& Parent, const String& Name, REGSAM Access) {
  Close();
  HKEY k = nullptr;
  lastError_ = OpenKeyEx(Parent.key_, Name.c_str(), Access, &k);
  if (lastError_ != ERROR_SUCCESS) return false;
  Take(k, SubKeyPath(Parent.path_, Name));
  return true;
}

bool TRegKey::OpenSubItself(const TRegKey& Parent, const String& Name, REGSAM Access) {
  Close();
  HKEY k = nullptr;
  lastError_ = OpenKeyEx(Parent.key_, Name.c_str(), Access, &k, REG_OPTION_OPEN_LINK);
  if (lastError_ != ERROR_SUCCESS) return false;
  Take(k, SubKeyPath(Parent.path_, Name));
  return true;
}

bool TRegKey::CreateSub(const TRegKey& Parent, const String& Name, REGSAM Access) {
  if (Name.empty()) return OpenSub(Parent, Name, Access);
  Close();
  HKEY k = nullptr;
  lastError_ = CreateKeyEx(Parent.key_, Name.c_str(), Access, &k);
  if (lastError_ != ERROR_SUCCESS) return false;
  Take(k, SubKeyPath(Parent.path_, Name));
  return true;
}

bool TRegKey::CreateSubLink(const TRegKey& Parent, const String& Name, REGSAM Access) {
  Close();
  HKEY k = nullptr;
  DWORD disposition = 0;
  lastError_ = CreateKeyEx(Parent.key_, Name.c_str(), Access | KEY_CREATE_LINK, &k, REG_OPTION_CREATE_LINK,
                           &disposition);
  if (lastError_ != ERROR_SUCCESS) return false;
  if (disposition != REG_CREATED_NEW_KEY) {
    // An existing key opened: it must not be given a link's value.
    CloseHKey(k);
    lastError_ = ERROR_ALREADY_EXISTS;
    return false;
  }
  Take(k, SubKeyPath(Parent.path_, Name));
  return true;
}

namespace {
const wchar_t* const kLinkValue = L"SymbolicLinkValue";
}  // namespace

bool TRegKey::LeadsElsewhere(const TRegKey& Parent, const String& Name, const TRegKey& Itself) {
  // A key of its own that merely holds a link's value opens as itself
  // either way; a link leads elsewhere, or nowhere.
  TRegKey through;
  if (!through.OpenSub(Parent, Name, KEY_QUERY_VALUE)) return true;
  const String a = Itself.SystemName(), b = through.SystemName();
  return !a.empty() && !b.empty() &&
         CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) != CSTR_EQUAL;
}

bool TRegKey::IsLinkKey(const TRegKey& Parent, const String& Name) {
  TRegKey itself;
  TRegKeyInfo info;
  DWORD type = REG_NONE;
  return itself.OpenSubItself(Parent, Name, KEY_QUERY_VALUE) && itself.QueryInfo(info) && info.NumSubKeys == 0 &&
         QueryValueEx(itself.key_, kLinkValue, &type, nullptr, nullptr) == ERROR_SUCCESS && type == REG_LINK &&
         LeadsElsewhere(Parent, Name, itself);
}

String TRegKey::SystemName() const {
  using TNtQueryKey = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  static const TNtQueryKey query = reinterpret_cast<TNtQueryKey>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryKey")));
  constexpr int kKeyNameInformation = 3;
  if (!query || !key_ || IsPredefined(key_)) return String();
  ULONG fixed[128];  // a length, then the name: most names fit
  std::vector<ULONG> more;
  ULONG* buffer = fixed;
  ULONG size = sizeof fixed;
  for (int attempt = 0; attempt < 3; ++attempt) {
    ULONG needed = 0;
    const LONG status = query(key_, kKeyNameInformation, buffer, size, &needed);
    if (status >= 0) {
      const ULONG bytes = std::min<ULONG>(buffer[0], size - ULONG(sizeof(ULONG)));
      return String(reinterpret_cast<const wchar_t*>(buffer + 1), bytes / sizeof(wchar_t));
    }
    if (needed <= size) break;
    more.resize(needed / sizeof(ULONG) + 2);
    buffer = more.data();
    size = ULONG(more.size() * sizeof(ULONG));
  }
  return String();
}

void TRegKey::Close() {
  if (key_ && owned_) CloseHKey(key_);
  key_ = nullptr;
}

HKEY TRegKey::Detach() {
  HKEY k = key_;
  key_ = nullptr;
  return k;
}

bool TRegKey::QueryInfo(TRegKeyInfo& Info) const {
  Info = TRegKeyInfo();
  const LONG rc = key_ ? QueryInfoKey(key_, Info) : ERROR_INVALID_HANDLE;
  if (rc != ERROR_SUCCESS) lastError_ = rc;
  return rc == ERROR_SUCCESS;
}

bool TRegKey::HasSubKeys() const {
  TRegKeyInfo info;
  return QueryInfo(info) && info.NumSubKeys > 0;
}

bool TRegKey::KeyExists(const String& SubPath) const {
  TRegKey sub;
  return sub.OpenSub(*this, TrimmedPath(SubPath), KEY_READ);
}

bool TRegKey::ValueExists(const String& Name) const {
  return key_ && QueryValueEx(key_, Name.c_str(), nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool TRegKey::Flush() const { return key_ && FlushKey(key_) == ERROR_SUCCESS; }

bool TRegKey::ReadKeyNames(std::vector<String>& Names) const {
  TRegKeyInfo info;
  Names.clear();
  return QueryInfo(info) && ReadKeyNames(info, Names);
}

bool TRegKey::ReadKeyNames(const TRegKeyInfo& Info, std::vector<String>& Names) const {
  Names.clear();
  Names.reserve(static_cast<size_t>(Info.NumSubKeys));
  std::wstring buf(static_cast<size_t>(Info.MaxSubKeyLen) + 2, L'\0');
  int retries = 0;
  // Counted by the info query: a key that loses subkeys meanwhile ends the
  // list early; a name that grew meanwhile is read again, bigger.
  for (DWORD i = 0; i < static_cast<DWORD>(Info.NumSubKeys);) {
    DWORD len = static_cast<DWORD>(buf.size());
    const LONG rc = EnumKeyEx(key_, i, buf.data(), &len);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc == ERROR_MORE_DATA && ++retries <= 8) {
      buf.resize(buf.size() * 2 + 256);
      continue;
    }
    if (rc != ERROR_SUCCESS) {
      lastError_ = rc;
      return false;
    }
    retries = 0;
    Names.emplace_back(buf.data(), len);
    ++i;
  }
  return true;
}

bool TRegKey::ReadValueNames(std::vector<String>& Names) const {
  Names.clear();
  TRegKeyInfo info;
  if (!QueryInfo(info)) return false;
  Names.reserve(static_cast<size_t>(info.NumValues));
  TRegValueBuffers b;
  return ForEachValue(info, b, false, [&](std::wstring_view Name, DWORD, const unsigned char*, DWORD) {
    Names.emplace_back(Name);
    return true;
  });
}

bool TRegKey::ReadKeyName(DWORD Index, String& Name) const {
  Name.clear();
  std::wstring buf(256, L'\0');
  for (int retries = 0;; ++retries) {
    DWORD len = static_cast<DWORD>(buf.size());
    const LONG rc = EnumKeyEx(key_, Index, buf.data(), &len);
    if (rc == ERROR_MORE_DATA && retries < 8) {
      buf.resize(buf.size() * 2 + 256);
      continue;
    }
    if (rc != ERROR_SUCCESS) {
      lastError_ = rc;
      return false;
    }
    Name.assign(buf.data(), len);
    return true;
  }
}

std::vector<String> TRegKey::KeyNames() const {
  std::vector<String> names;
  if (!ReadKeyNames(names)) RaiseListError(L"subkeys", path_);
  return names;
}

std::vector<String> TRegKey::KeyNames(const TRegKeyInfo& Info) const {
  std::vector<String> names;
  if (!ReadKeyNames(Info, names)) RaiseListError(L"subkeys", path_);
  return names;
}

std::vector<String> TRegKey::ValueNames() const {
  std::vector<String> names;
  if (!ReadValueNames(names)) RaiseListError(L"values", path_);
  return names;
}

bool TRegKey::ReadValues(std::vector<TRegNamedValue>& Values) const {
  Values.clear();
  TRegKeyInfo info;
  if (!QueryInfo(info)) return false;
  return ReadValues(info, 0, MAXDWORD, Values);
}

bool TRegKey::ReadValues(const TRegKeyInfo& Info, DWORD From, DWORD To, std::vector<TRegNamedValue>& Values) const {
  Values.clear();
  const DWORD count = static_cast<DWORD>(Info.NumValues > 0 ? Info.NumValues : 0);
  if (From < count) Values.reserve(static_cast<size_t>((To < count ? To : count) - From));
  TRegValueBuffers b;
  const bool ok = ForEachValue(
      Info, b, true,
      [&](std::wstring_view Name, DWORD Type, const unsigned char* Data, DWORD Size) {
        TRegNamedValue& v = Values.emplace_back();
        v.Name.assign(Name);
        v.Value.Type = Type;
        v.Value.Data.assign(Data, Data + Size);
        return true;
      },
      From, To);
  if (!ok) Values.clear();
  return ok;
}

LONG TRegKey::EnumValueAt(DWORD Index, TRegValueBuffers& Buffers, bool WithData, DWORD& NameLen, DWORD& Type,
                          DWORD& DataLen) const {
  NameLen = static_cast<DWORD>(Buffers.Name.size());
  DataLen = WithData ? static_cast<DWORD>(Buffers.Data.size()) : 0;
  return EnumValue(key_, Index, Buffers.Name.data(), &NameLen, &Type,
                   WithData ? reinterpret_cast<BYTE*>(Buffers.Data.data()) : nullptr, WithData ? &DataLen : nullptr);
}

void TRegKey::SizeValueBuffers(const TRegKeyInfo& Info, TRegValueBuffers& Buffers, bool WithData) const {
  const size_t name = static_cast<size_t>(Info.MaxValueLen) + 2, data = static_cast<size_t>(Info.MaxDataLen) + 2;
  if (Buffers.Name.size() < name) Buffers.Name.resize(name);
  if (WithData && Buffers.Data.size() < data) Buffers.Data.resize(data);
}

bool TRegKey::GrowValueBuffers(TRegValueBuffers& Buffers, bool WithData) const {
  // A name is at most 16383 characters: a name buffer beyond that means
  // something else is wrong.
  TRegKeyInfo now;
  if (Buffers.Name.size() > 70000 || !QueryInfo(now)) return false;
  Buffers.Name.resize(std::max(Buffers.Name.size() * 2 + 256, static_cast<size_t>(now.MaxValueLen) + 2));
  if (WithData)
    Buffers.Data.resize(std::max(Buffers.Data.size() * 2 + 1024, static_cast<size_t>(now.MaxDataLen) + 2));
  return true;
}

namespace {

// One query into a buffer of the caller's (its capacity is kept between
// reads); a value that doesn't fit is read again into a bigger one.
template <class TBytes>
LONG ReadValueInto(HKEY Key, const String& Name, DWORD& Type, TBytes& Data) {
  DWORD size = static_cast<DWORD>(Data.capacity() > 256 ? Data.capacity() : 256);
  for (int attempt = 0; attempt < 8; ++attempt) {
    Data.resize(size);
    DWORD got = size;
    const LONG rc = QueryValueEx(Key, Name.c_str(), &Type, Data.data(), &got);
    if (rc == ERROR_SUCCESS) {
      Data.resize(got);
      return rc;
    }
    Data.clear();
    if (rc != ERROR_MORE_DATA) return rc;
    size = got > size ? got : size * 2;
  }
  return ERROR_MORE_DATA;
}

}  // namespace

LONG TRegKey::ReadValue(const String& Name, TRegRawValue& Value) const {
  if (!key_) return ERROR_INVALID_HANDLE;
  return ReadValueInto(key_, Name, Value.Type, Value.Data);
}

bool TRegKey::ReadValue(const String& Name, DWORD& Type, std::string& Data) const {
  return key_ && ReadValueInto(key_, Name, Type, Data) == ERROR_SUCCESS;
}

void TRegKey::WriteValue(const String& Name, DWORD Type, const void* Data, DWORD Size) {
  if (!key_ || SetValueEx(key_, Name.c_str(), Type, Data, Size) != ERROR_SUCCESS)
    throw ERegistryException(Format(L"Failed to set data for '%s'", Name));
}

bool TRegKey::DeleteValue(const String& Name) {
  lastError_ = key_ ? DeleteValueW_(key_, Name.c_str()) : ERROR_INVALID_HANDLE;
  return lastError_ == ERROR_SUCCESS;
}

LONG TRegKey::DeleteTree(const String& Name, String* FailedPath) {
  const String path = SubKeyPath(path_, Name);
  auto fail = [&](LONG rc, const String& at) {
    if (FailedPath) *FailedPath = at;
    return rc;
  };
  // Each key is opened and deleted as itself: a link key has no subkeys of
  // its own, so the walk never leaves the branch through one, and the link
  // goes, not the key it links to.
  TRegKey sub;
  if (!sub.OpenSubItself(*this, Name, KEY_READ | DELETE)) return fail(sub.LastError(), path);
  std::vector<String> names;
  if (!sub.ReadKeyNames(names)) return fail(ERROR_ACCESS_DENIED, path);
  for (const String& n : names) {
    // An empty name opens the key itself again, not a subkey: it is not
    // walked (the deletion of its parent then fails, said as such).
    if (n.empty()) continue;
    const LONG rc = sub.DeleteTree(n, FailedPath);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return rc;
  }
  const LONG rc = DeleteOpenKey(sub.key_);
  return rc == ERROR_SUCCESS ? rc : fail(rc, path);
}

LONG TRegKey::CopyTo(const TRegKey& Target) const {
  TRegKeyInfo info;
  std::vector<TRegNamedValue> values;
  if (!QueryInfo(info) || !ReadValues(info, 0, MAXDWORD, values)) return ERROR_ACCESS_DENIED;
  return CopyInto(Target, info, values);
}

LONG TRegKey::CopyInto(const TRegKey& Target, const TRegKeyInfo& Info,
                       const std::vector<TRegNamedValue>& Values) const {
  for (const TRegNamedValue& v : Values) {
    const LONG r = SetValueEx(Target.key_, v.Name.c_str(), v.Value.Type, v.Value.Data.data(),
                              static_cast<DWORD>(v.Value.Data.size()));
    if (r != ERROR_SUCCESS) return r;
  }
  if (Info.NumSubKeys == 0) return ERROR_SUCCESS;
  std::vector<String> names;
  if (!ReadKeyNames(Info, names)) return ERROR_ACCESS_DENIED;
  for (const String& n : names)
    if (const LONG r = CopySubTo(n, Target, n)) return r;
  return ERROR_SUCCESS;
}

LONG TRegKey::CopySubTo(const String& Name, const TRegKey& Target, const String& NewName) const {
  // Opened as itself: the key as it is, a link being the link. What is
  // read to copy it tells a link (no subkeys of its own, its REG_LINK value
  // SymbolicLinkValue) without another call for any other key.
  TRegKey s;
  TRegKeyInfo info;
  std::vector<TRegNamedValue> values;
  if (!s.OpenSubItself(*this, Name, KEY_READ)) return s.LastError();
  if (!s.QueryInfo(info) || !s.ReadValues(info, 0, MAXDWORD, values)) return ERROR_ACCESS_DENIED;
  const bool link = info.NumSubKeys == 0 &&
                    std::any_of(values.begin(), values.end(),
                                [](const TRegNamedValue& v) {
                                  return v.Value.Type == REG_LINK &&
                                         CompareStringOrdinal(v.Name.c_str(), int(v.Name.size()), kLinkValue, -1,
                                                              TRUE) == CSTR_EQUAL;
                                }) &&
                    LeadsElsewhere(*this, Name, s);
  TRegKey d;
  if (!link) {
    if (!d.CreateSub(Target, NewName, KEY_ALL_ACCESS)) return d.LastError();
    return s.CopyInto(d, info, values);
  }
  // A new link, below the keys on the way to it, with the link's values.
  const String to = TrimmedPath(NewName);
  const size_t cut = to.rfind(L'\\');
  TRegKey parent;
  if (cut == String::npos)
    parent = TRegKey(Target.key_, Target.path_);
  else if (!parent.CreateSub(Target, to.substr(0, cut), KEY_ALL_ACCESS))
    return parent.LastError();
  if (!d.CreateSubLink(parent, cut == String::npos ? to : to.substr(cut + 1))) return d.LastError();
  return s.CopyInto(d, info, values);
}

void RegistryFailNext(const String& Operation, int Count, LONG ErrorCode, int Skip) {
  std::lock_guard<std::mutex> lock(g_faultLock);
  if (Count == 0) {
    Faults().erase(Operation);
  } else {
    Faults()[Operation] = TFault{Count, ErrorCode, Skip};
  }
  NoteFaults();
}

void RegistryRefuseKey(const String& Name, LONG ErrorCode) {
  String name = Name;
  CharUpperBuffW(name.data(), static_cast<DWORD>(name.size()));
  std::lock_guard<std::mutex> lock(g_faultLock);
  if (ErrorCode == ERROR_SUCCESS)
    RefusedKeys().erase(name);
  else
    RefusedKeys()[name] = ErrorCode;
  NoteFaults();
}

void RegistryClearFaults() {
  std::lock_guard<std::mutex> lock(g_faultLock);
  Faults().clear();
  RefusedKeys().clear();
  g_anyFault = false;
}

TRegDataType RegDataTypeOf(DWORD Type) {
  switch (Type) {
    case REG_SZ: return rdString;
    case REG_EXPAND_SZ: return rdExpandString;
    case REG_DWORD: return rdInteger;
    case REG_BINARY: return rdBinary;
    default: return rdUnknown;
  }
}

// ---------------------------------------------------------------------------
// TRegistry

TRegistry::TRegistry() = default;

TRegistry::TRegistry(REGSAM AAccess) : access_(AAccess) {}

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY Value) {
  if (rootKey_ == Value) return;
  if (closeRootKey_) {
    RegCloseKey(rootKey_);
    closeRootKey_ = false;
  }
  rootKey_ = Value;
  CloseKey();
}

void TRegistry::CloseKey() {
  if (currentKey_) {
    if (!lazyWrite_) FlushKey(currentKey_);
    CloseHKey(currentKey_);
    currentKey_ = nullptr;
    currentPath_.clear();
  }
}

HKEY TRegistry::BaseKey(bool Relative) const { return (currentKey_ && Relative) ? currentKey_ : rootKey_; }

void TRegistry::ChangeKey(HKEY Value, const String& Path) {
  CloseKey();
  currentKey_ = Value;
  currentPath_ = Path;
}

HKEY TRegistry::GetKey(const String& Key, REGSAM Access) {
  bool relative;
  String s = PathPart(Key, relative);
  TRegKey k;
  return k.OpenSub(TRegKey(BaseKey(relative)), s, Access) ? k.Detach() : nullptr;
}

bool TRegistry::OpenKey(const String& Key, bool CanCreate) {
  bool relative;
  String s = PathPart(Key, relative);
  TRegKey k;
  const TRegKey base(BaseKey(relative));
  if (!(CanCreate ? k.CreateSub(base, s, access_) : k.OpenSub(base, s, access_))) return false;
  String path = (relative && currentKey_) ? JoinPath(currentPath_, s) : s;
  ChangeKey(k.Detach(), path);
  return true;
}

bool TRegistry::OpenKeyReadOnly(const String& Key) {
  static const REGSAM kTries[] = {KEY_READ, STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS,
                                  KEY_QUERY_VALUE};
  REGSAM saved = access_;
  for (REGSAM a : kTries) {
    access_ = a;
    if (OpenKey(Key, false)) return true;
  }
  access_ = saved;
  return false;
}

bool TRegistry::CreateKey(const String& Key) {
  bool relative;
  String s = PathPart(Key, relative);
  if (s.empty()) return false;
  TRegKey k;
  return k.CreateSub(TRegKey(BaseKey(relative)), s, access_);
}

bool TRegistry::DeleteKey(const String& Key) {
  bool relative;
  String s = PathPart(Key, relative);
  if (s.empty()) return false;  // never the root or the open key itself this way
  return TRegKey(BaseKey(relative)).DeleteTree(s) == ERROR_SUCCESS;
}

bool TRegistry::KeyExists(const String& Key) {
  static const REGSAM kTries[] = {KEY_QUERY_VALUE, STANDARD_RIGHTS_READ, KEY_ENUMERATE_SUB_KEYS};
  for (REGSAM a : kTries) {
    HKEY k = GetKey(Key, a);
    if (k) {
      CloseHKey(k);
      return true;
    }
  }
  return false;
}

bool TRegistry::GetKeyInfo(TRegKeyInfo& Value) {
  return TRegKey(currentKey_).QueryInfo(Value);
}

bool TRegistry::HasSubKeys() { return TRegKey(currentKey_).HasSubKeys(); }

namespace {

// Fills Strings with the names a listing gives (none when it fails).
void FillNames(TStrings* Strings, bool (TRegKey::*List)(std::vector<String>&) const, HKEY Key) {
  std::vector<String> names;
  if (!(TRegKey(Key).*List)(names)) names.clear();
  Strings->BeginUpdate();
  try {
    Strings->Clear();
    for (auto& n : names) Strings->Add(n);
  } catch (...) {
    Strings->EndUpdate();
    throw;
  }
  Strings->EndUpdate();
}

}  // namespace

void TRegistry::GetKeyNames(TStrings* Strings) { FillNames(Strings, &TRegKey::ReadKeyNames, currentKey_); }

void TRegistry::GetValueNames(TStrings* Strings) { FillNames(Strings, &TRegKey::ReadValueNames, currentKey_); }

bool TRegistry::GetValues(std::vector<TRegNamedValue>& Values) { return TRegKey(currentKey_).ReadValues(Values); }

bool TRegistry::QueryInfo(const String& Name, DWORD& Type, DWORD& Size) {
  Type = REG_NONE;
  Size = 0;
  if (!currentKey_) return false;
  return QueryValueEx(currentKey_, Name.c_str(), &Type, nullptr, &Size) == ERROR_SUCCESS;
}

bool TRegistry::GetDataInfo(const String& Name, TRegDataInfo& Value) {
  DWORD type, size;
  Value = TRegDataInfo();
  if (!QueryInfo(Name, type, size)) return false;
  Value.RegData = RegDataTypeOf(type);
  Value.DataSize = static_cast<int>(size);
  return true;
}

bool TRegistry::ValueExists(const String& Name) {
  TRegDataInfo info;
  return GetDataInfo(Name, info);
}

TRegDataType TRegistry::GetDataType(const String& Name) {
  TRegDataInfo info;
  return GetDataInfo(Name, info) ? info.RegData : rdUnknown;
}

int TRegistry::GetDataSize(const String& Name) {
  TRegDataInfo info;
  return GetDataInfo(Name, info) ? info.DataSize : -1;
}

void TRegistry::PutData(const String& Name, const void* Buffer, DWORD Size, DWORD Type) {
  TRegKey(currentKey_).WriteValue(Name, Type, Buffer, Size);
}

void TRegistry::GetData(const String& Name, void* Buffer, DWORD& Size, DWORD& Type) {
  if (!currentKey_ || QueryValueEx(currentKey_, Name.c_str(), &Type, Buffer, &Size) != ERROR_SUCCESS)
    throw ERegistryException(Format(L"Failed to get data for '%s'", Name));
}

bool TRegistry::ReadRaw(const String& Name, TRegRawValue& Value) {
  if (!currentKey_) return false;
  LONG r = TRegKey(currentKey_).ReadValue(Name, Value);
  if (r == ERROR_FILE_NOT_FOUND) return false;
  if (r != ERROR_SUCCESS) throw ERegistryException(Format(L"Failed to get data for '%s'", Name));
  return true;
}

void TRegistry::WriteRaw(const String& Name, const TRegRawValue& Value) {
  PutData(Name, Value.Data.data(), static_cast<DWORD>(Value.Data.size()), Value.Type);
}

String RegTextOf(const TRegRawValue& Value) {
  size_t n = Value.Data.size() / sizeof(wchar_t);
  String s(n, L'\0');
  if (n) std::memcpy(s.data(), Value.Data.data(), n * sizeof(wchar_t));
  // Stored text need not end in a null; anything after one is not text.
  size_t z = s.find(L'\0');
  if (z != String::npos) s.resize(z);
  return s;
}

String TRegistry::ReadText(const String& Name, bool Expand) {
  (void)Expand;
  TRegRawValue v;
  if (!ReadRaw(Name, v)) return String();  // a missing value reads as empty
  if (v.Type != REG_SZ && v.Type != REG_EXPAND_SZ)
    throw ERegistryException(Format(L"Invalid data type for '%s'", Name));
  return RegTextOf(v);
}

String TRegistry::ReadString(const String& Name) { return ReadText(Name, false); }
String TRegistry::ReadExpandString(const String& Name) { return ReadText(Name, true); }

int TRegistry::ReadInteger(const String& Name) {
  DWORD type = 0, size = 0;
  if (!QueryInfo(Name, type, size)) throw ERegistryException(Format(L"Failed to get data for '%s'", Name));
  if (type != REG_DWORD || size != sizeof(DWORD)) throw ERegistryException(Format(L"Invalid data type for '%s'", Name));
  DWORD v = 0;
  size = sizeof v;
  GetData(Name, &v, size, type);
  if (type != REG_DWORD) throw ERegistryException(Format(L"Invalid data type for '%s'", Name));
  return static_cast<int>(v);
}

bool TRegistry::ReadBool(const String& Name) { return ReadInteger(Name) != 0; }

double TRegistry::ReadFloat(const String& Name) {
  TRegRawValue v;
  if (!ReadRaw(Name, v)) throw ERegistryException(Format(L"Failed to get data for '%s'", Name));
  if (v.Type != REG_BINARY || v.Data.size() != sizeof(double))
    throw ERegistryException(Format(L"Invalid data type for '%s'", Name));
  double d;
  std::memcpy(&d, v.Data.data(), sizeof d);
  return d;
}

TDateTime TRegistry::ReadDateTime(const String& Name) { return ReadFloat(Name); }

int TRegistry::ReadBinaryData(const String& Name, void* Buffer, int BufSize) {
  TRegRawValue v;
  if (!ReadRaw(Name, v)) return 0;
  TRegDataType t = RegDataTypeOf(v.Type);
  if (t != rdBinary && t != rdUnknown) throw ERegistryException(Format(L"Invalid data type for '%s'", Name));
  // The data must fit: never write past the caller's buffer.
  if (BufSize < 0 || v.Data.size() > static_cast<size_t>(BufSize))
    throw ERegistryException(Format(L"Invalid data type for '%s'", Name));
  if (!v.Data.empty()) std::memcpy(Buffer, v.Data.data(), v.Data.size());
  return static_cast<int>(v.Data.size());
}

void TRegistry::WriteString(const String& Name, const String& Value) {
  PutData(Name, Value.c_str(), static_cast<DWORD>((Value.size() + 1) * sizeof(wchar_t)), REG_SZ);
}

void TRegistry::WriteExpandString(const String& Name, const String& Value) {
  PutData(Name, Value.c_str(), static_cast<DWORD>((Value.size() + 1) * sizeof(wchar_t)), REG_EXPAND_SZ);
}

void TRegistry::WriteInteger(const String& Name, int Value) {
  DWORD v = static_cast<DWORD>(Value);
  PutData(Name, &v, sizeof v, REG_DWORD);
}

void TRegistry::WriteBool(const String& Name, bool Value) { WriteInteger(Name, Value ? 1 : 0); }

void TRegistry::WriteFloat(const String& Name, double Value) { PutData(Name, &Value, sizeof Value, REG_BINARY); }

void TRegistry::WriteDateTime(const String& Name, TDateTime Value) { WriteFloat(Name, Value); }

void TRegistry::WriteBinaryData(const String& Name, const void* Buffer, int BufSize) {
  if (BufSize < 0) throw ERegistryException(Format(L"Failed to set data for '%s'", Name));
  PutData(Name, Buffer, static_cast<DWORD>(BufSize), REG_BINARY);
}

bool TRegistry::DeleteValue(const String& Name) { return TRegKey(currentKey_).DeleteValue(Name); }

void TRegistry::RenameValue(const String& OldName, const String& NewName) {
  if (!ValueExists(OldName) || ValueExists(NewName)) return;
  TRegRawValue v;
  if (!ReadRaw(OldName, v)) return;
  WriteRaw(NewName, v);
  if (!DeleteValue(OldName)) {
    // Keep one copy only: take the new one back and report.
    DeleteValue(NewName);
    throw ERegistryException(Format(L"Failed to rename value '%s'", OldName));
  }
}

void TRegistry::MoveKey(const String& OldName, const String& NewName, bool Delete) {
  bool relOld, relNew;
  String from = PathPart(OldName, relOld);
  String to = PathPart(NewName, relNew);
  if (from.empty() || to.empty()) return;
  // A link to a key that is not there is a key of its name too: moved, or
  // in the way.
  if ((!KeyExists(OldName) && !TRegKey::IsLinkKey(TRegKey(BaseKey(relOld)), from)) || KeyExists(NewName) ||
      TRegKey::IsLinkKey(TRegKey(BaseKey(relNew)), to))
    return;
  // A key can't be copied into its own subtree.
  if (BaseKey(relOld) == BaseKey(relNew)) {
    String a = UpperCase(AnsiUpperCase(from)) + L"\\";
    String b = UpperCase(AnsiUpperCase(to)) + L"\\";
    if (b.compare(0, a.size(), a) == 0)
      throw ERegistryException(Format(L"Cannot move key %s into itself", OldName));
  }
  TRegKey oldBase(BaseKey(relOld)), newBase(BaseKey(relNew)), src;
  if (!src.OpenSubItself(oldBase, from, KEY_READ))
    throw ERegistryException(Format(L"Failed to open key %s", OldName));
  // Nor through a link on the way to the new name: the nearest key there is
  // of that path, links followed, must not be the key or below it (the copy
  // would land inside what is then deleted).
  const String srcName = UpperCase(AnsiUpperCase(src.SystemName()));
  src.Close();
  if (!srcName.empty()) {
    String nearest = to;
    TRegKey at;
    while (!at.OpenSub(newBase, nearest, KEY_READ) && !nearest.empty()) {
      // Only a key that is not there is stepped over: one that can't be
      // opened may be the key itself, reached through a link.
      if (at.LastError() != ERROR_FILE_NOT_FOUND)
        throw ERegistryException(Format(L"Failed to open key %s", NewName));
      const size_t cut = nearest.rfind(L'\\');
      nearest = cut == String::npos ? String() : nearest.substr(0, cut);
    }
    const String atName = at.IsOpen() ? UpperCase(AnsiUpperCase(at.SystemName())) : String();
    if (!atName.empty() && (atName == srcName || atName.compare(0, srcName.size() + 1, srcName + L"\\") == 0))
      throw ERegistryException(Format(L"Cannot move key %s into itself", OldName));
  }
  // A link is moved as itself (a new link to the same key), as are the
  // links below the key.
  LONG r = oldBase.CopySubTo(from, newBase, to);
  if (r != ERROR_SUCCESS && !newBase.KeyExists(to) && !TRegKey::IsLinkKey(newBase, to))
    throw ERegistryException(Format(L"Failed to create key %s", NewName));
  if (r != ERROR_SUCCESS) {
    newBase.DeleteTree(to);  // take back the partial copy
    throw ERegistryException(Format(L"Failed to copy key %s to %s: %s", OldName, NewName, SysErrorMessage(r)));
  }
  if (Delete) {
    r = oldBase.DeleteTree(from);
    if (r != ERROR_SUCCESS)
      throw ERegistryException(Format(L"Key %s was copied to %s but could not be deleted: %s", OldName, NewName,
                                      SysErrorMessage(r)));
  }
}

// ---------------------------------------------------------------------------
// TRegIniFile

TRegIniFile::TRegIniFile(const String& FileName) : TRegIniFile(FileName, KEY_ALL_ACCESS) {}

TRegIniFile::TRegIniFile(const String& FileName, REGSAM AAccess) : TRegistry(AAccess), fileName_(FileName) {
  OpenKey(FileName, true);
}

template <class F>
bool TRegIniFile::WithSection(const String& Section, bool Create, F&& f, REGSAM Access) {
  if (Section.empty()) {
    if (!currentKey_) return false;
    f();
    return true;
  }
  const TRegKey base(currentKey_ ? currentKey_ : rootKey_);
  TRegKey k;
  const REGSAM access = Access ? Access : access_;
  if (!(Create ? k.CreateSub(base, Section, access) : k.OpenSub(base, Section, access))) return false;
  HKEY savedKey = currentKey_;
  String savedPath = currentPath_;
  currentKey_ = k.Handle();
  currentPath_ = JoinPath(currentPath_, Section);
  try {
    f();
  } catch (...) {
    currentKey_ = savedKey;
    currentPath_ = savedPath;
    throw;
  }
  if (!lazyWrite_) k.Flush();
  currentKey_ = savedKey;
  currentPath_ = savedPath;
  return true;
}

bool TRegIniFile::ReadRawIn(const String& Section, const String& Ident, TRegRawValue& Value) {
  bool found = false;
  WithSection(Section, false, [&] { found = ReadRaw(Ident, Value); }, KEY_READ);
  return found;
}

// A value of a type that holds no text or number (binary data, a list of
// texts) reads as the default, as a missing one does: one damaged value
// spoils no more than itself.
String TRegIniFile::ReadString(const String& Section, const String& Ident, const String& Default) {
  String result = Default;
  WithSection(Section, false, [&] {
    TRegRawValue v;
    if (!ReadRaw(Ident, v)) return;
    if (v.Type == REG_DWORD && v.Data.size() == sizeof(DWORD))
      result = IntToStr(static_cast<int>(*reinterpret_cast<const DWORD*>(v.Data.data())));
    else if (v.Type == REG_SZ || v.Type == REG_EXPAND_SZ)
      result = RegTextOf(v);
  }, KEY_READ);
  return result;
}

int TRegIniFile::ReadInteger(const String& Section, const String& Ident, int Default) {
  int result = Default;
  WithSection(Section, false, [&] {
    TRegRawValue v;
    if (!ReadRaw(Ident, v)) return;
    if (v.Type == REG_SZ || v.Type == REG_EXPAND_SZ)
      result = StrToIntDef(RegTextOf(v), Default);
    else if (v.Type == REG_DWORD && v.Data.size() == sizeof(DWORD))
      result = static_cast<int>(*reinterpret_cast<const DWORD*>(v.Data.data()));
  }, KEY_READ);
  return result;
}

bool TRegIniFile::ReadBool(const String& Section, const String& Ident, bool Default) {
  return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

void TRegIniFile::WriteString(const String& Section, const String& Ident, const String& Value) {
  if (!WithSection(Section, true, [&] { TRegistry::WriteString(Ident, Value); }))
    throw ERegistryException(Format(L"Failed to create key %s", Section));
}

void TRegIniFile::WriteInteger(const String& Section, const String& Ident, int Value) {
  // Like a line of an ini file: the number as decimal text.
  WriteString(Section, Ident, IntToStr(Value));
}

void TRegIniFile::WriteRawIn(const String& Section, const String& Ident, const TRegRawValue& Value) {
  if (!WithSection(Section, true, [&] { WriteRaw(Ident, Value); }))
    throw ERegistryException(Format(L"Failed to create key %s", Section));
}

void TRegIniFile::WriteBool(const String& Section, const String& Ident, bool Value) {
  WriteInteger(Section, Ident, Value ? 1 : 0);
}

void TRegIniFile::ReadSection(const String& Section, TStrings* Strings) {
  Strings->Clear();
  WithSection(Section, false, [&] { GetValueNames(Strings); }, KEY_READ);
}

void TRegIniFile::ReadSections(TStrings* Strings) { GetKeyNames(Strings); }

void TRegIniFile::ReadSectionValues(const String& Section, TStrings* Strings) {
  TStringList names;
  ReadSection(Section, &names);
  Strings->BeginUpdate();
  Strings->Clear();
  for (int i = 0; i < names.GetCount(); ++i)
    Strings->Add(names[i] + L"=" + ReadString(Section, names[i], String()));
  Strings->EndUpdate();
}

void TRegIniFile::EraseSection(const String& Section) {
  if (!Section.empty()) TRegistry::DeleteKey(Section);
}

void TRegIniFile::DeleteKey(const String& Section, const String& Ident) {
  WithSection(Section, false, [&] { DeleteValue(Ident); });
}

// ---------------------------------------------------------------------------
// TRegistryIniFile

TRegistryIniFile::TRegistryIniFile(const String& FileName) : TRegistryIniFile(FileName, KEY_ALL_ACCESS) {}

TRegistryIniFile::TRegistryIniFile(const String& FileName, REGSAM AAccess)
    : TCustomIniFile(FileName), reg_(new TRegIniFile(FileName, AAccess)) {}

TRegistryIniFile::~TRegistryIniFile() { delete reg_; }

String TRegistryIniFile::ReadString(const String& Section, const String& Ident, const String& Default) {
  return reg_->ReadString(Section, Ident, Default);
}

void TRegistryIniFile::WriteString(const String& Section, const String& Ident, const String& Value) {
  reg_->WriteString(Section, Ident, Value);
}

int TRegistryIniFile::ReadInteger(const String& Section, const String& Ident, int Default) {
  TRegRawValue v;
  if (!reg_->ReadRawIn(Section, Ident, v)) return Default;
  if (v.Type == REG_DWORD && v.Data.size() == sizeof(DWORD)) {
    DWORD d;
    std::memcpy(&d, v.Data.data(), sizeof d);
    return static_cast<int>(d);
  }
  // Text must be a number here: a stored "abc" is an error, not a default.
  if (v.Type == REG_SZ || v.Type == REG_EXPAND_SZ) return StrToInt(RegTextOf(v));
  throw ERegistryException(Format(L"Invalid data type for '%s'", Ident));
}

void TRegistryIniFile::WriteInteger(const String& Section, const String& Ident, int Value) {
  TRegRawValue v;
  if (reg_->ReadRawIn(Section, Ident, v) && (v.Type == REG_SZ || v.Type == REG_EXPAND_SZ)) {
    reg_->WriteString(Section, Ident, IntToStr(Value));
  } else {
    TRegRawValue d;
    d.Type = REG_DWORD;
    DWORD u = static_cast<DWORD>(Value);
    d.Data.resize(sizeof u);
    std::memcpy(d.Data.data(), &u, sizeof u);
    reg_->WriteRawIn(Section, Ident, d);
  }
}

void TRegistryIniFile::ReadSection(const String& Section, TStrings* Strings) { reg_->ReadSection(Section, Strings); }
void TRegistryIniFile::ReadSections(TStrings* Strings) { reg_->ReadSections(Strings); }
void TRegistryIniFile::ReadSectionValues(const String& Section, TStrings* Strings) {
  reg_->ReadSectionValues(Section, Strings);
}
void TRegistryIniFile::EraseSection(const String& Section) { reg_->EraseSection(Section); }
void TRegistryIniFile::DeleteKey(const String& Section, const String& Ident) { reg_->DeleteKey(Section, Ident); }

bool TRegistryIniFile::ValueExists(const String& Section, const String& Ident) {
  TStringList names;
  reg_->ReadSection(Section, &names);
  return names.IndexOf(Ident) >= 0;
}
