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
  constexpr size_t kNone = size_t(-1);
  struct TNode {
    String Path;
    size_t Parent;
    std::vector<size_t> Children;
    std::shared_ptr<const TRegWalkLevel> Level;  // set: split into parts
  };
  std::vector<TNode> nodes{TNode{ApiKeyPath(Path), kNone, {}, nullptr}};
  std::vector<size_t> level{0};
  for (int depth = 0; depth < kPlanLevels && !level.empty() && level.size() < kPartsWanted; ++depth) {
    std::vector<size_t> next;
    for (size_t i : level) {
      TRegKey key;
      TRegKeyInfo info;
      std::vector<String> names;
      if (!key.OpenReadOnly(Root, nodes[i].Path) || !key.QueryInfo(info) || info.NumSubKeys == 0) continue;
      const size_t up = nodes[i].Parent;
      auto walked = std::make_shared<const TRegWalkLevel>(Root, up == kNone ? nullptr : nodes[up].Level, key);
      if (!walked->Readable() || !key.ReadKeyNames(info, names)) continue;
      nodes[i].Level = std::move(walked);
      for (const String& n : names) {
        if (n.empty()) continue;
        nodes[i].Children.push_back(nodes.size());
        next.push_back(nodes.size());
        nodes.push_back(TNode{JoinKeyPath(nodes[i].Path, n), i, {}, nullptr});
      }
    }
    level = std::move(next);
  }
  std::vector<size_t> stack{0};
  while (!stack.empty()) {
    const size_t i = stack.back();
    stack.pop_back();
    const size_t up = nodes[i].Parent;
    Parts.push_back(
        TBranchPart{Root, std::move(nodes[i].Path), !nodes[i].Level, up == kNone ? nullptr : nodes[up].Level});
    for (auto c = nodes[i].Children.rbegin(); c != nodes[i].Children.rend(); ++c) stack.push_back(*c);
  }
}

// ---------------------------------------------------------------------------
// The levels of a walk.

namespace {
String SystemRootName(TRegRoot Root);
}  // namespace

TRegWalkLevel::TRegWalkLevel(TRegRoot Root, const TRegWalkLevel* Up, const TRegKey& Key)
    : up_(Up), name_(Key.SystemName()), path_(Key.Path()) {
  if (name_.empty() && path_.empty()) name_ = SystemRootName(Root);
  if (up_) {
    depth_ = up_->depth_ + 1;
  } else {
    depth_ = path_.empty() ? 0 : unsigned(std::count(path_.begin(), path_.end(), L'\\')) + 1;
  }
  // Below a key every name is longer than the key's own, unless a link was
  // followed: the sizes tell most keys apart before their names are compared.
  if (!name_.empty())
    for (const TRegWalkLevel* l = up_; l; l = l->up_)
      if (l->name_.size() == name_.size() && SameKeyName(l->name_, name_)) {
        repeats_ = l;
        break;
      }
}

TRegWalkLevel::TRegWalkLevel(TRegRoot Root, std::shared_ptr<const TRegWalkLevel> Up, const TRegKey& Key)
    : TRegWalkLevel(Root, Up.get(), Key) {
  keep_ = std::move(Up);
}

String TRegWalkLevel::Refusal(const String& RootName) const {
  if (repeats_) {
    const String& above = repeats_->path_;
    return L"a link back to a key above it: " + RootName + (above.empty() ? String() : L"\\" + above);
  }
  if (depth_ > kMaxDepth) return L"more than " + UIntToStr(kMaxDepth) + L" levels deep";
  return String();
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
// The name the system keeps for a root key: its handle tells none, a key
// below it does (the root's being that name less the last component);
// empty when it has no subkey to ask.
String SystemRootName(TRegRoot Root) {
  const TRegKey root(RootHandle(Root));
  String child;
  TRegKey sub;
  if (!root.ReadKeyName(0, child) || !sub.Open(Root, child, KEY_QUERY_VALUE)) return String();
  const String name = sub.SystemName();
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
      const String name = key.SystemName();
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

bool RegKeyRepeatsAbove(TRegRoot Root, const String& Path, const TRegKey& Key, String* Above) {
  String path = ApiKeyPath(Path);
  const String name = Key.SystemName();
  if (path.empty() || name.empty()) return false;
  const String rootName = SystemRootName(Root);
  // Reached through no link, a key has the root's name and its path, and
  // every key above it is one of its own.
  if (!rootName.empty() && SameKeyName(name, rootName + L"\\" + path)) return false;
  while (!path.empty()) {
    const size_t cut = path.rfind(L'\\');
    path = cut == String::npos ? String() : path.substr(0, cut);
    TRegKey above;
    const String aboveName =
        path.empty() ? rootName : above.Open(Root, path, KEY_QUERY_VALUE) ? above.SystemName() : String();
    if (aboveName.size() == name.size() && SameKeyName(aboveName, name)) {
      if (Above) *Above = path;
      return true;
    }
  }
  return false;
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
