#include "app/RegAccess.h"

#include <algorithm>

bool RegKeyExists(TRegRoot Root, const String& Path) {
  TRegKey k;
  return k.OpenReadOnly(Root, Path);
}

bool RegDanglingLink(HKEY Parent, const String& Path, String* Target) {
  HKEY link = nullptr;
  if (RegOpenKeyExW(Parent, Path.c_str(), REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE, &link) != ERROR_SUCCESS)
    return false;
  // Opened as itself, the key is there: only what it links to is missing
  // (a normal open of it reached nothing).
  HKEY through = nullptr;
  const LONG followed = RegOpenKeyExW(Parent, Path.c_str(), 0, KEY_QUERY_VALUE, &through);
  if (followed == ERROR_SUCCESS) RegCloseKey(through);
  if (Target) {
    Target->clear();
    TRegKey key(link);
    TRegRawValue raw;
    if (key.ReadValue(L"SymbolicLinkValue", raw) == ERROR_SUCCESS && raw.Type == REG_LINK)
      for (size_t i = 0; i + 1 < raw.Data.size(); i += 2)
        Target->push_back(static_cast<wchar_t>(raw.Data[i] | (raw.Data[i + 1] << 8)));
  }
  RegCloseKey(link);
  return followed == ERROR_FILE_NOT_FOUND;
}

String RegUnreadableReason(HKEY Parent, const String& Path, LONG Code) {
  if (Code != ERROR_FILE_NOT_FOUND) {
    const String r = Trim(SysErrorMessage(static_cast<unsigned long>(Code)));
    return r.empty() ? L"Error " + IntToStr(static_cast<int>(Code)) + L"." : r;
  }
  String target;
  if (Path.empty() || !RegDanglingLink(Parent, Path, &target)) return String();
  return L"It is a link to a key that does not exist" + (target.empty() ? String() : L": " + target) + L".";
}

LONG RegDeleteTree(TRegKey& Parent, const String& Name, String* FailedPath) {
  return Parent.DeleteTree(Name, FailedPath);
}

void RegDeleteBranch(TRegRoot Root, const String& Path) {
  const String p = ApiKeyPath(Path);
  if (p.empty()) throw ERegistryException(String(L"A root key can't be deleted."));
  String failed;
  TRegKey root(RootHandle(Root));
  const LONG rc = RegDeleteTree(root, p, &failed);
  if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND)
    throw ERegistryException(L"Unable to delete the key " + failed);
}

// ---------------------------------------------------------------------------
// Branches read in parts.

namespace {
constexpr size_t kPartsWanted = 256;
constexpr int kPlanLevels = 4;
}  // namespace

void PlanBranchParts(TRegRoot Root, const String& Path, std::vector<TBranchPart>& Parts) {
  struct TNode {
    String Path;
    std::vector<size_t> Children;
    bool Split = false;
  };
  std::vector<TNode> nodes{TNode{ApiKeyPath(Path), {}, false}};
  std::vector<size_t> level{0};
  for (int depth = 0; depth < kPlanLevels && !level.empty() && level.size() < kPartsWanted; ++depth) {
    std::vector<size_t> next;
    for (size_t i : level) {
      TRegKey key;
      TRegKeyInfo info;
      std::vector<String> names;
      if (!key.OpenReadOnly(Root, nodes[i].Path) || !key.QueryInfo(info) || info.NumSubKeys == 0 ||
          !key.ReadKeyNames(info, names))
        continue;
      nodes[i].Split = true;
      for (const String& n : names) {
        if (n.empty()) continue;
        nodes[i].Children.push_back(nodes.size());
        next.push_back(nodes.size());
        nodes.push_back(TNode{JoinKeyPath(nodes[i].Path, n), {}, false});
      }
    }
    level = std::move(next);
  }
  std::vector<size_t> stack{0};
  while (!stack.empty()) {
    const size_t i = stack.back();
    stack.pop_back();
    Parts.push_back(TBranchPart{Root, std::move(nodes[i].Path), !nodes[i].Split});
    for (auto c = nodes[i].Children.rbegin(); c != nodes[i].Children.rend(); ++c) stack.push_back(*c);
  }
}

bool SameKeyName(const String& A, const String& B) {
  return CompareStringOrdinal(A.c_str(), int(A.size()), B.c_str(), int(B.size()), TRUE) == CSTR_EQUAL;
}

namespace {
// The system's upper-case table, the one the comparison above and the
// registry's own name matching use (the user's locale plays no part).
using TUpcaseChar = WCHAR(NTAPI*)(WCHAR);
TUpcaseChar UpcaseChar() {
  static const TUpcaseChar f = reinterpret_cast<TUpcaseChar>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlUpcaseUnicodeChar")));
  return f;
}
}  // namespace

String KeyNameFold(const String& Name) {
  const TUpcaseChar up = UpcaseChar();
  String r(Name);
  if (up)
    for (wchar_t& c : r) c = static_cast<wchar_t>(up(static_cast<WCHAR>(c)));
  return r;
}

namespace {
// The key's full name as the system keeps it ("\\REGISTRY\\USER\\..."); empty
// when it tells none (a root key's predefined handle, say).
String SystemKeyName(HKEY Key) {
  using TNtQueryKey = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  static const TNtQueryKey query = reinterpret_cast<TNtQueryKey>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryKey")));
  constexpr int kKeyNameInformation = 3;
  if (!query || !Key) return String();
  std::vector<ULONG> buffer(256);  // ULONG aligned: a length, then the name
  for (int attempt = 0; attempt < 2; ++attempt) {
    ULONG needed = 0;
    const LONG status =
        query(Key, kKeyNameInformation, buffer.data(), ULONG(buffer.size() * sizeof(ULONG)), &needed);
    if (status >= 0) {
      const ULONG bytes = std::min<ULONG>(buffer[0], ULONG((buffer.size() - 1) * sizeof(ULONG)));
      return String(reinterpret_cast<const wchar_t*>(buffer.data() + 1), bytes / sizeof(wchar_t));
    }
    if (needed <= buffer.size() * sizeof(ULONG)) break;
    buffer.resize(needed / sizeof(ULONG) + 2);
  }
  return String();
}

// The name the system keeps for a root key: its handle tells none, a key
// below it does (the root's being that name less the last component);
// empty when it has no subkey to ask.
String SystemRootName(TRegRoot Root) {
  const TRegKey root(RootHandle(Root));
  String child;
  TRegKey sub;
  if (!root.ReadKeyName(0, child) || !sub.Open(Root, child, KEY_QUERY_VALUE)) return String();
  const String name = SystemKeyName(sub.Handle());
  const size_t cut = name.rfind(L'\\');
  return cut == String::npos ? String() : name.substr(0, cut);
}
}  // namespace

String RegKeyIdentity(TRegRoot Root, const String& Path) {
  String path = ApiKeyPath(Path);
  String rest;  // the part of the path below the key named
  auto named = [&rest](const String& Name) { return KeyNameFold(rest.empty() ? Name : Name + L"\\" + rest); };
  while (!path.empty()) {
    TRegKey key;
    if (key.Open(Root, path, KEY_QUERY_VALUE)) {
      const String name = SystemKeyName(key.Handle());
      if (!name.empty()) return named(name);
    }
    const size_t cut = path.rfind(L'\\');
    const String last = cut == String::npos ? path : path.substr(cut + 1);
    rest = rest.empty() ? last : last + L"\\" + rest;
    path = cut == String::npos ? String() : path.substr(0, cut);
  }
  // The root itself: the system's name, else the root's own (a root the
  // editor has no name for by its number).
  String name = SystemRootName(Root);
  if (name.empty()) name = RootKeyName(Root, rnmFull, false);
  if (name.empty()) name = L"0x" + IntToHexBits(static_cast<uint64_t>(Root), 64, 8);
  return named(name);
}

size_t KeyNameHash(const String& Name) {
  const TUpcaseChar up = UpcaseChar();
  uint64_t h = 1469598103934665603ull;
  for (const wchar_t c : Name) {
    const WCHAR u = up ? up(static_cast<WCHAR>(c)) : static_cast<WCHAR>(c);
    h = (h ^ static_cast<uint64_t>(u)) * 1099511628211ull;
  }
  return static_cast<size_t>(h);
}
