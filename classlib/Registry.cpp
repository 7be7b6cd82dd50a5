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
};

std::mutex g_faultLock;
std::map<String, TFault>& Faults() {
  static std::map<String, TFault> faults;
  return faults;
}
std::atomic<bool> g_anyFault{false};

// Returns the forced error for Operation, or ERROR_SUCCESS.
LONG Forced(const wchar_t* Operation) {
  if (!g_anyFault.load(std::memory_order_relaxed)) return ERROR_SUCCESS;
  std::lock_guard<std::mutex> lock(g_faultLock);
  auto it = Faults().find(Operation);
  if (it == Faults().end() || it->second.count == 0) return ERROR_SUCCESS;
  LONG code = it->second.code;
  if (it->second.count > 0 && --it->second.count == 0) Faults().erase(it);
  if (Faults().empty()) g_anyFault = false;
  return code;
}

LONG OpenKeyEx(HKEY key, const wchar_t* sub, REGSAM sam, HKEY* out) {
  *out = nullptr;
  if (LONG f = Forced(L"RegOpenKeyEx")) return f;
  return RegOpenKeyExW(key, sub, 0, sam, out);
}
LONG CreateKeyEx(HKEY key, const wchar_t* sub, REGSAM sam, HKEY* out) {
  *out = nullptr;
  if (LONG f = Forced(L"RegCreateKeyEx")) return f;
  DWORD disp = 0;
  return RegCreateKeyExW(key, sub, 0, nullptr, REG_OPTION_NON_VOLATILE, sam, nullptr, out, &disp);
}
LONG SetValueEx(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
  if (LONG f = Forced(L"RegSetValueEx")) return f;
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
LONG DeleteKeyW_(HKEY key, const wchar_t* sub) {
  if (LONG f = Forced(L"RegDeleteKey")) return f;
  return RegDeleteKeyW(key, sub);
}
LONG EnumKeyEx(HKEY key, DWORD index, wchar_t* name, DWORD* len) {
  if (LONG f = Forced(L"RegEnumKeyEx")) return f;
  return RegEnumKeyExW(key, index, name, len, nullptr, nullptr, nullptr, nullptr);
}
LONG EnumValue(HKEY key, DWORD index, wchar_t* name, DWORD* len) {
  if (LONG f = Forced(L"RegEnumValue")) return f;
  return RegEnumValueW(key, index, name, len, nullptr, nullptr, nullptr, nullptr);
}
LONG EnumValueData(HKEY key, DWORD index, wchar_t* name, DWORD* len, DWORD* type, BYTE* data, DWORD* size) {
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

String JoinPath(const String& a, const String& b) {
  if (a.empty()) return b;
  if (b.empty()) return a;
  return a + L"\\" + b;
}

// Subkey names of an open key.
bool EnumSubKeys(HKEY key, std::vector<String>& names) {
  names.clear();
  TRegKeyInfo info;
  if (QueryInfoKey(key, info) != ERROR_SUCCESS) return false;
  std::vector<wchar_t> buf(static_cast<size_t>(info.MaxSubKeyLen) + 2);
  for (DWORD i = 0;; ++i) {
    DWORD len = static_cast<DWORD>(buf.size());
    LONG r = EnumKeyEx(key, i, buf.data(), &len);
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r == ERROR_MORE_DATA) {
      buf.resize(buf.size() * 2 + 256);
      --i;
      continue;
    }
    if (r != ERROR_SUCCESS) return false;
    names.emplace_back(buf.data(), len);
  }
  return true;
}

bool EnumValueNames(HKEY key, std::vector<String>& names) {
  names.clear();
  TRegKeyInfo info;
  if (QueryInfoKey(key, info) != ERROR_SUCCESS) return false;
  std::vector<wchar_t> buf(static_cast<size_t>(info.MaxValueLen) + 2);
  for (DWORD i = 0;; ++i) {
    DWORD len = static_cast<DWORD>(buf.size());
    LONG r = EnumValue(key, i, buf.data(), &len);
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r == ERROR_MORE_DATA) {
      if (buf.size() > 70000) return false;
      buf.resize(buf.size() * 2 + 256);
      --i;
      continue;
    }
    if (r != ERROR_SUCCESS) return false;
    names.emplace_back(buf.data(), len);
  }
  return true;
}

// Names, types and data of every value in one pass. The buffers start at
// the sizes the key reports; a value that grew meanwhile is read again at
// the same index with bigger buffers.
bool EnumValues(HKEY key, std::vector<TRegNamedValue>& values) {
  values.clear();
  TRegKeyInfo info;
  if (QueryInfoKey(key, info) != ERROR_SUCCESS) return false;
  values.reserve(static_cast<size_t>(info.NumValues));
  std::vector<wchar_t> name(static_cast<size_t>(info.MaxValueLen) + 2);
  std::vector<BYTE> data(static_cast<size_t>(info.MaxDataLen) + 2);
  int retries = 0;
  for (DWORD i = 0;;) {
    DWORD len = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size()), type = REG_NONE;
    LONG r = EnumValueData(key, i, name.data(), &len, &type, data.data(), &size);
    if (r == ERROR_NO_MORE_ITEMS) break;
    if (r == ERROR_MORE_DATA) {
      TRegKeyInfo now;
      if (++retries > 8 || name.size() > 70000 || QueryInfoKey(key, now) != ERROR_SUCCESS) {
        values.clear();
        return false;
      }
      name.resize(std::max(name.size() * 2, static_cast<size_t>(now.MaxValueLen) + 2));
      data.resize(std::max(data.size() * 2, static_cast<size_t>(now.MaxDataLen) + 2));
      continue;
    }
    if (r != ERROR_SUCCESS) {
      values.clear();
      return false;
    }
    retries = 0;
    TRegNamedValue& v = values.emplace_back();
    v.Name.assign(name.data(), len);
    v.Value.Type = type;
    v.Value.Data.assign(data.begin(), data.begin() + size);
    ++i;
  }
  return true;
}

// Reads a value exactly; false when it is missing or unreadable.
LONG ReadRawFrom(HKEY key, const String& name, TRegRawValue& v) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    DWORD type = 0, size = 0;
    LONG r = QueryValueEx(key, name.c_str(), &type, nullptr, &size);
    if (r != ERROR_SUCCESS) return r;
    v.Data.resize(size);
    DWORD got = size;
    r = QueryValueEx(key, name.c_str(), &type, size ? v.Data.data() : nullptr, &got);
    if (r == ERROR_MORE_DATA) continue;  // grew in between: ask again
    if (r != ERROR_SUCCESS) return r;
    v.Data.resize(got);
    v.Type = type;
    return ERROR_SUCCESS;
  }
  return ERROR_MORE_DATA;
}

// Deletes a key below `parent` with all its subkeys.
LONG DeleteTree(HKEY parent, const String& sub) {
  HKEY k = nullptr;
  LONG r = OpenKeyEx(parent, sub.c_str(), KEY_READ | KEY_WRITE | DELETE, &k);
  if (r != ERROR_SUCCESS) return r;
  std::vector<String> names;
  if (!EnumSubKeys(k, names)) {
    RegCloseKey(k);
    return ERROR_ACCESS_DENIED;
  }
  for (auto& n : names) {
    r = DeleteTree(k, n);
    if (r != ERROR_SUCCESS) {
      RegCloseKey(k);
      return r;
    }
  }
  RegCloseKey(k);
  return DeleteKeyW_(parent, sub.c_str());
}

// Copies every value and subkey of src into dst.
LONG CopyTree(HKEY src, HKEY dst) {
  std::vector<String> names;
  if (!EnumValueNames(src, names)) return ERROR_ACCESS_DENIED;
  for (auto& n : names) {
    TRegRawValue v;
    LONG r = ReadRawFrom(src, n, v);
    if (r != ERROR_SUCCESS) return r;
    r = SetValueEx(dst, n.c_str(), v.Type, v.Data.data(), static_cast<DWORD>(v.Data.size()));
    if (r != ERROR_SUCCESS) return r;
  }
  if (!EnumSubKeys(src, names)) return ERROR_ACCESS_DENIED;
  for (auto& n : names) {
    HKEY s = nullptr, d = nullptr;
    LONG r = OpenKeyEx(src, n.c_str(), KEY_READ, &s);
    if (r != ERROR_SUCCESS) return r;
    r = CreateKeyEx(dst, n.c_str(), KEY_ALL_ACCESS, &d);
    if (r != ERROR_SUCCESS) {
      RegCloseKey(s);
      return r;
    }
    r = CopyTree(s, d);
    RegCloseKey(s);
    RegCloseKey(d);
    if (r != ERROR_SUCCESS) return r;
  }
  return ERROR_SUCCESS;
}

}  // namespace

void RegistryFailNext(const String& Operation, int Count, LONG ErrorCode) {
  std::lock_guard<std::mutex> lock(g_faultLock);
  if (Count == 0) {
    Faults().erase(Operation);
  } else {
    Faults()[Operation] = TFault{Count, ErrorCode};
  }
  g_anyFault = !Faults().empty();
}

void RegistryClearFaults() {
  std::lock_guard<std::mutex> lock(g_faultLock);
  Faults().clear();
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
  HKEY k = nullptr;
  if (OpenKeyEx(BaseKey(relative), s.c_str(), Access, &k) != ERROR_SUCCESS) return nullptr;
  return k;
}

bool TRegistry::OpenKey(const String& Key, bool CanCreate) {
  bool relative;
  String s = PathPart(Key, relative);
  HKEY k = nullptr;
  LONG r = CanCreate && !s.empty() ? CreateKeyEx(BaseKey(relative), s.c_str(), access_, &k)
                                   : OpenKeyEx(BaseKey(relative), s.c_str(), access_, &k);
  if (r != ERROR_SUCCESS) return false;
  String path = (relative && currentKey_) ? JoinPath(currentPath_, s) : s;
  ChangeKey(k, path);
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
  HKEY k = nullptr;
  if (CreateKeyEx(BaseKey(relative), s.c_str(), access_, &k) != ERROR_SUCCESS) return false;
  CloseHKey(k);
  return true;
}

bool TRegistry::DeleteKey(const String& Key) {
  bool relative;
  String s = PathPart(Key, relative);
  if (s.empty()) return false;  // never the root or the open key itself this way
  return DeleteTree(BaseKey(relative), s) == ERROR_SUCCESS;
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
  Value = TRegKeyInfo();
  if (!currentKey_) return false;
  return QueryInfoKey(currentKey_, Value) == ERROR_SUCCESS;
}

bool TRegistry::HasSubKeys() {
  TRegKeyInfo info;
  return GetKeyInfo(info) && info.NumSubKeys > 0;
}

void TRegistry::GetKeyNames(TStrings* Strings) {
  Strings->BeginUpdate();
  try {
    Strings->Clear();
    std::vector<String> names;
    if (currentKey_ && EnumSubKeys(currentKey_, names))
      for (auto& n : names) Strings->Add(n);
  } catch (...) {
    Strings->EndUpdate();
    throw;
  }
  Strings->EndUpdate();
}

void TRegistry::GetValueNames(TStrings* Strings) {
  Strings->BeginUpdate();
  try {
    Strings->Clear();
    std::vector<String> names;
    if (currentKey_ && EnumValueNames(currentKey_, names))
      for (auto& n : names) Strings->Add(n);
  } catch (...) {
    Strings->EndUpdate();
    throw;
  }
  Strings->EndUpdate();
}

bool TRegistry::GetValues(std::vector<TRegNamedValue>& Values) {
  Values.clear();
  return currentKey_ && EnumValues(currentKey_, Values);
}

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
  if (!currentKey_ || SetValueEx(currentKey_, Name.c_str(), Type, Buffer, Size) != ERROR_SUCCESS)
    throw ERegistryException(Format(L"Failed to set data for '%s'", Name));
}

void TRegistry::GetData(const String& Name, void* Buffer, DWORD& Size, DWORD& Type) {
  if (!currentKey_ || QueryValueEx(currentKey_, Name.c_str(), &Type, Buffer, &Size) != ERROR_SUCCESS)
    throw ERegistryException(Format(L"Failed to get data for '%s'", Name));
}

bool TRegistry::ReadRaw(const String& Name, TRegRawValue& Value) {
  if (!currentKey_) return false;
  LONG r = ReadRawFrom(currentKey_, Name, Value);
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

bool TRegistry::DeleteValue(const String& Name) {
  return currentKey_ && DeleteValueW_(currentKey_, Name.c_str()) == ERROR_SUCCESS;
}

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
  if (!KeyExists(OldName) || KeyExists(NewName)) return;
  // A key can't be copied into its own subtree.
  if (BaseKey(relOld) == BaseKey(relNew)) {
    String a = UpperCase(AnsiUpperCase(from)) + L"\\";
    String b = UpperCase(AnsiUpperCase(to)) + L"\\";
    if (b.compare(0, a.size(), a) == 0)
      throw ERegistryException(Format(L"Cannot move key %s into itself", OldName));
  }
  HKEY src = GetKey(OldName, KEY_READ);
  if (!src) throw ERegistryException(Format(L"Failed to open key %s", OldName));
  HKEY dst = nullptr;
  LONG r = CreateKeyEx(BaseKey(relNew), to.c_str(), KEY_ALL_ACCESS, &dst);
  if (r != ERROR_SUCCESS) {
    RegCloseKey(src);
    throw ERegistryException(Format(L"Failed to create key %s", NewName));
  }
  r = CopyTree(src, dst);
  RegCloseKey(src);
  RegCloseKey(dst);
  if (r != ERROR_SUCCESS) {
    DeleteTree(BaseKey(relNew), to);  // take back the partial copy
    throw ERegistryException(Format(L"Failed to copy key %s to %s: %s", OldName, NewName, SysErrorMessage(r)));
  }
  if (Delete) {
    r = DeleteTree(BaseKey(relOld), from);
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
bool TRegIniFile::WithSection(const String& Section, bool Create, F&& f) {
  if (Section.empty()) {
    if (!currentKey_) return false;
    f();
    return true;
  }
  HKEY base = currentKey_ ? currentKey_ : rootKey_;
  HKEY k = nullptr;
  LONG r = Create ? CreateKeyEx(base, Section.c_str(), access_, &k) : OpenKeyEx(base, Section.c_str(), access_, &k);
  if (r != ERROR_SUCCESS) return false;
  HKEY savedKey = currentKey_;
  String savedPath = currentPath_;
  currentKey_ = k;
  currentPath_ = JoinPath(currentPath_, Section);
  try {
    f();
  } catch (...) {
    RegCloseKey(k);
    currentKey_ = savedKey;
    currentPath_ = savedPath;
    throw;
  }
  if (!lazyWrite_) FlushKey(k);
  RegCloseKey(k);
  currentKey_ = savedKey;
  currentPath_ = savedPath;
  return true;
}

bool TRegIniFile::ReadRawIn(const String& Section, const String& Ident, TRegRawValue& Value) {
  bool found = false;
  WithSection(Section, false, [&] { found = ReadRaw(Ident, Value); });
  return found;
}

String TRegIniFile::ReadString(const String& Section, const String& Ident, const String& Default) {
  String result = Default;
  WithSection(Section, false, [&] {
    TRegRawValue v;
    if (!ReadRaw(Ident, v)) return;
    if (v.Type == REG_DWORD && v.Data.size() == sizeof(DWORD))
      result = IntToStr(static_cast<int>(*reinterpret_cast<const DWORD*>(v.Data.data())));
    else
      result = TRegistry::ReadString(Ident);
  });
  return result;
}

int TRegIniFile::ReadInteger(const String& Section, const String& Ident, int Default) {
  int result = Default;
  WithSection(Section, false, [&] {
    TRegDataInfo info;
    if (!GetDataInfo(Ident, info)) return;
    if (info.RegData == rdString || info.RegData == rdExpandString)
      result = StrToIntDef(TRegistry::ReadString(Ident), Default);
    else
      result = TRegistry::ReadInteger(Ident);
  });
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
  WithSection(Section, false, [&] { GetValueNames(Strings); });
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
