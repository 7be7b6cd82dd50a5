#include "app/RegAccess.h"

namespace {

const wchar_t* W(const String& s) { return s.c_str(); }

[[noreturn]] void RaiseReg(const String& text) { throw ERegistryException(text); }

}  // namespace

bool TRegKey::Open(TRegRoot Root, const String& Path, REGSAM Access) {
  Close();
  const String p = ApiKeyPath(Path);
  HKEY k = nullptr;
  lastError_ = RegOpenKeyExW(ToHKEY(Root), W(p), 0, Access, &k);
  if (lastError_ != ERROR_SUCCESS) return false;
  key_ = k;
  root_ = Root;
  path_ = p;
  return true;
}

bool TRegKey::Create(TRegRoot Root, const String& Path) {
  Close();
  const String p = ApiKeyPath(Path);
  HKEY k = nullptr;
  if (p.empty()) return Open(Root, p);
  lastError_ = RegCreateKeyExW(ToHKEY(Root), W(p), 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_READ | KEY_WRITE, nullptr, &k, nullptr);
  if (lastError_ != ERROR_SUCCESS) return false;
  key_ = k;
  root_ = Root;
  path_ = p;
  return true;
}

bool TRegKey::OpenSub(const TRegKey& Parent, const String& Name, REGSAM Access) {
  Close();
  HKEY k = nullptr;
  lastError_ = RegOpenKeyExW(Parent.key_, W(Name), 0, Access, &k);
  if (lastError_ != ERROR_SUCCESS) return false;
  key_ = k;
  root_ = Parent.root_;
  path_ = JoinKeyPath(Parent.path_, Name);
  return true;
}

void TRegKey::Close() {
  if (key_) RegCloseKey(key_);
  key_ = nullptr;
}

bool TRegKey::QueryInfo(TKeyCounts& Info) const {
  Info = TKeyCounts();
  return RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &Info.SubKeys, &Info.MaxSubKeyLen, nullptr, &Info.Values,
                          &Info.MaxValueNameLen, &Info.MaxValueLen, nullptr, nullptr) == ERROR_SUCCESS;
}

std::vector<String> TRegKey::KeyNames() const {
  TKeyCounts info;
  if (!QueryInfo(info)) RaiseReg(L"Unable to list the subkeys of the key " + path_);
  return KeyNames(info);
}

std::vector<String> TRegKey::KeyNames(const TKeyCounts& Info) const {
  std::vector<String> names;
  names.reserve(Info.SubKeys);
  std::wstring buf(Info.MaxSubKeyLen + 2, L'\0');
  // Counted by the info query; a key that loses subkeys meanwhile ends the
  // list early, a name that grew meanwhile gets a bigger buffer and is read
  // again.
  for (DWORD i = 0; i < Info.SubKeys;) {
    DWORD len = static_cast<DWORD>(buf.size());
    const LONG rc = RegEnumKeyExW(key_, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc == ERROR_MORE_DATA) {
      buf.resize(buf.size() * 2 + 256);
      continue;
    }
    if (rc != ERROR_SUCCESS) RaiseReg(L"Unable to list the subkeys of the key " + path_);
    names.emplace_back(buf.data(), len);
    ++i;
  }
  return names;
}

std::vector<String> TRegKey::ValueNames() const {
  std::vector<String> names;
  DWORD count = 0, maxLen = 0;
  LONG rc = RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                             &maxLen, nullptr, nullptr, nullptr);
  if (rc != ERROR_SUCCESS) RaiseReg(L"Unable to list the values of the key " + path_);
  names.reserve(count);
  std::wstring buf(maxLen + 2, L'\0');
  for (DWORD i = 0;; ++i) {
    DWORD len = static_cast<DWORD>(buf.size());
    rc = RegEnumValueW(key_, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc == ERROR_MORE_DATA) {
      buf.resize(buf.size() * 2 + 256);
      --i;
      continue;
    }
    if (rc != ERROR_SUCCESS) RaiseReg(L"Unable to list the values of the key " + path_);
    names.emplace_back(buf.data(), len);
  }
  return names;
}

bool TRegKey::HasSubKeys() const {
  DWORD count = 0;
  if (RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr, nullptr) != ERROR_SUCCESS)
    return false;
  return count > 0;
}

bool TRegKey::ValueExists(const String& Name) const {
  return RegQueryValueExW(key_, W(Name), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool TRegKey::KeyExists(const String& SubPath) const {
  HKEY k = nullptr;
  if (RegOpenKeyExW(key_, W(ApiKeyPath(SubPath)), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

bool TRegKey::ReadValue(const String& Name, DWORD& Type, std::string& Data) const {
  DWORD size = static_cast<DWORD>(Data.capacity() > 256 ? Data.capacity() : 256);
  for (int attempt = 0; attempt < 8; ++attempt) {
    Data.resize(size);
    DWORD got = size;
    LONG rc = RegQueryValueExW(key_, W(Name), nullptr, &Type, reinterpret_cast<BYTE*>(Data.data()), &got);
    if (rc == ERROR_SUCCESS) {
      Data.resize(got);
      return true;
    }
    if (rc != ERROR_MORE_DATA) {
      Data.clear();
      return false;
    }
    size = got > size ? got : size * 2;
  }
  Data.clear();
  return false;
}

void TRegKey::WriteValue(const String& Name, DWORD Type, const std::string& Data) {
  LONG rc = RegSetValueExW(key_, W(Name), 0, Type, reinterpret_cast<const BYTE*>(Data.data()),
                           static_cast<DWORD>(Data.size()));
  if (rc != ERROR_SUCCESS) RaiseReg(L"Failed to set data for '" + Name + L"'");
}

void TRegKey::WriteString(const String& Name, const String& Text, DWORD Type) {
  WriteValue(Name, Type, std::string(reinterpret_cast<const char*>(Text.c_str()), (Text.size() + 1) * sizeof(wchar_t)));
}

void TRegKey::WriteDword(const String& Name, uint32_t Value) {
  WriteValue(Name, REG_DWORD, std::string(reinterpret_cast<const char*>(&Value), 4));
}

bool TRegKey::DeleteValue(const String& Name) {
  lastError_ = RegDeleteValueW(key_, W(Name));
  return lastError_ == ERROR_SUCCESS;
}

bool RegKeyExists(TRegRoot Root, const String& Path) {
  TRegKey k;
  return k.OpenReadOnly(Root, Path);
}

namespace {

// Deletes everything below the open key, then nothing else.
void DeleteChildren(HKEY key, const String& path) {
  for (;;) {
    wchar_t name[512];
    DWORD len = 512;
    LONG rc = RegEnumKeyExW(key, 0, name, &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) return;
    if (rc != ERROR_SUCCESS) RaiseReg(L"Unable to delete the key " + path);
    HKEY sub = nullptr;
    const String subName(name, len);
    if (RegOpenKeyExW(key, name, 0, KEY_READ | KEY_WRITE, &sub) != ERROR_SUCCESS)
      RaiseReg(L"Unable to delete the key " + JoinKeyPath(path, subName));
    try {
      DeleteChildren(sub, JoinKeyPath(path, subName));
    } catch (...) {
      RegCloseKey(sub);
      throw;
    }
    RegCloseKey(sub);
    if (RegDeleteKeyW(key, name) != ERROR_SUCCESS)
      RaiseReg(L"Unable to delete the key " + JoinKeyPath(path, subName));
  }
}

}  // namespace

void RegDeleteBranch(TRegRoot Root, const String& Path) {
  const String p = ApiKeyPath(Path);
  if (p.empty()) RaiseReg(L"A root key can't be deleted.");
  TRegKey k;
  if (!k.Open(Root, p)) {
    if (k.LastError() == ERROR_FILE_NOT_FOUND) return;
    RaiseReg(L"Unable to delete the key " + p);
  }
  DeleteChildren(k.Handle(), p);
  k.Close();
  if (RegDeleteKeyW(ToHKEY(Root), p.c_str()) != ERROR_SUCCESS) RaiseReg(L"Unable to delete the key " + p);
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
      TKeyCounts info;
      if (!key.OpenReadOnly(Root, nodes[i].Path) || !key.QueryInfo(info) || info.SubKeys == 0) continue;
      std::vector<String> names;
      try {
        names = key.KeyNames(info);
      } catch (const ERegistryException&) {
        continue;
      }
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

TPartRunner::TPartRunner(size_t Count, std::function<void(size_t)> Work, unsigned Threads, bool LowerPriority,
                         size_t Ahead)
    : count_(Count), work_(std::move(Work)), done_(Count, 0), ahead_(Ahead < 1 ? 1 : Ahead), lower_(LowerPriority) {
  try {
    for (unsigned t = 0; t < Threads && t < Count; ++t) threads_.emplace_back([this] { Run(); });
  } catch (...) {
    // Fewer threads (or none: WaitFor then does the work).
  }
}

TPartRunner::~TPartRunner() {
  Stop();
  for (std::thread& t : threads_) t.join();
}

void TPartRunner::Run() {
  if (lower_) SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
  std::unique_lock<TSlimLock> hold(lock_);
  while (!stopped_ && next_ < count_) {
    if (next_ > waited_ + ahead_) {
      changed_.Wait(hold, [&] { return stopped_ || next_ >= count_ || next_ <= waited_ + ahead_; });
      continue;
    }
    const size_t i = next_++;
    ++active_;
    hold.unlock();
    work_(i);
    hold.lock();
    --active_;
    done_[i] = 1;
    changed_.NotifyAll();
  }
  changed_.NotifyAll();
}

bool TPartRunner::WaitFor(size_t i) {
  if (i >= count_) return false;
  std::unique_lock<TSlimLock> hold(lock_);
  if (i > waited_) {
    waited_ = i;
    changed_.NotifyAll();  // the threads may run further ahead now
  }
  if (threads_.empty()) {
    while (!done_[i] && !stopped_ && next_ <= i) {
      const size_t j = next_++;
      hold.unlock();
      work_(j);
      hold.lock();
      done_[j] = 1;
    }
    return done_[i] != 0;
  }
  changed_.Wait(hold, [&] { return done_[i] || (stopped_ && (i >= next_ || active_ == 0)); });
  return done_[i] != 0;
}

void TPartRunner::Stop() {
  std::lock_guard<TSlimLock> hold(lock_);
  stopped_ = true;
  changed_.NotifyAll();
}
