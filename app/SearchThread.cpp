#include "app/SearchThread.h"

#include "app/Cvalue.h"
#include "app/RegAccess.h"

const wchar_t* const SearchExceptionText = L"An exception occurred in the search thread.";

// ---------------------------------------------------------------------------

namespace {

struct TSyncCall {
  const std::function<void()>* fn;
  bool done = false;
};

std::mutex gSyncMutex;
std::condition_variable gSyncArrived;
std::condition_variable gSyncDone;
std::deque<TSyncCall*> gSyncQueue;
std::atomic<DWORD> gMainThreadId{0};

}  // namespace

TEvent<void()> TAppSync::WakeMainThread;

void TAppSync::SetMainThread() { gMainThreadId = GetCurrentThreadId(); }

bool TAppSync::InMainThread() { return gMainThreadId == GetCurrentThreadId(); }

void TAppSync::Synchronize(const std::function<void()>& f) {
  if (InMainThread()) {
    CallProtected(f);
    return;
  }
  TSyncCall call{&f};
  std::unique_lock<std::mutex> lock(gSyncMutex);
  gSyncQueue.push_back(&call);
  gSyncArrived.notify_all();
  lock.unlock();
  if (WakeMainThread) CallProtected([] { WakeMainThread(); });
  lock.lock();
  gSyncDone.wait(lock, [&] { return call.done; });
}

bool TAppSync::CheckSynchronize(unsigned TimeoutMs) {
  if (gMainThreadId == 0) SetMainThread();
  std::unique_lock<std::mutex> lock(gSyncMutex);
  if (gSyncQueue.empty() && TimeoutMs > 0)
    gSyncArrived.wait_for(lock, std::chrono::milliseconds(TimeoutMs), [] { return !gSyncQueue.empty(); });
  bool ran = false;
  while (!gSyncQueue.empty()) {
    TSyncCall* call = gSyncQueue.front();
    gSyncQueue.pop_front();
    lock.unlock();
    CallProtected(*call->fn);
    lock.lock();
    call->done = true;
    gSyncDone.notify_all();
    ran = true;
  }
  return ran;
}

// ---------------------------------------------------------------------------

std::atomic<int> TthrdRegSearch::ProgressCounter{0};

TthrdRegSearch::TthrdRegSearch(const TSearchInput& Input, const TSearchEvents& Events)
    : input_(Input), events_(Events) {
  if (gMainThreadId == 0) TAppSync::SetMainThread();
  thread_ = std::thread([this] { Execute(); });
}

TthrdRegSearch::~TthrdRegSearch() {
  Terminate();
  WaitFor();
}

void TthrdRegSearch::WaitFor() {
  if (!thread_.joinable()) return;
  if (TAppSync::InMainThread()) {
    while (!finished_) TAppSync::CheckSynchronize(10);
  }
  thread_.join();
}

void TthrdRegSearch::Execute() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
  try {
    Search();
  } catch (const Exception& e) {
    TAppSync::Synchronize([&] {
      if (events_.OnException) events_.OnException(e, SearchExceptionText);
    });
  } catch (const std::exception& e) {
    const Exception ex(String(Utf8ToWide(e.what())));
    TAppSync::Synchronize([&] {
      if (events_.OnException) events_.OnException(ex, SearchExceptionText);
    });
  } catch (...) {
    const Exception ex(String(L"Unknown exception"));
    TAppSync::Synchronize([&] {
      if (events_.OnException) events_.OnException(ex, SearchExceptionText);
    });
  }
  TAppSync::Synchronize([&] {
    if (events_.OnFinished) events_.OnFinished();
  });
  finished_ = true;
}

void TthrdRegSearch::Search() {
  matcher_ = std::make_unique<TSearchMatcher>(input_);
  String error;
  if (!matcher_->Prepare(error)) {
    TAppSync::Synchronize([&] {
      if (events_.OnRegexError) events_.OnRegexError(error);
    });
    return;  // nothing to search with
  }
  if (!input_.Subtree) {
    for (const auto& e : RootKeyTable) {
      if (terminated_) break;
      TRegKey key;
      root_ = e.Root;
      // A root key that this system doesn't have is left out.
      if (key.OpenReadOnly(e.Root, String())) SearchKey(key, String());
    }
  } else {
    TRegKey key;
    root_ = input_.RootKey;
    const String start = ApiKeyPath(input_.StartPath);
    if (!terminated_ && key.OpenReadOnly(root_, start)) SearchKey(key, start);
  }
}

void TthrdRegSearch::Report(uint8_t Kind, const String& Path, const String& ValueName, const String& Data) {
  TSearchHit hit;
  hit.Kind = Kind;
  hit.RootKey = root_;
  hit.Path = Path;
  hit.ValueName = ValueName;
  hit.Data = Data;
  TAppSync::Synchronize([&] {
    if (events_.OnResult) events_.OnResult(hit);
  });
}

void TthrdRegSearch::SearchKey(TRegKey& Key, const String& Path) {
  // Path: the key path below the root without backslashes at its ends.
  const String hitPath = Path.empty() ? String(L"\\") : L"\\" + Path + L"\\";
  if (input_.ShowProgress) {
    if (ProgressCounter.fetch_add(1) > 100) {
      ProgressCounter = 0;
      const String text = Path.empty() ? String() : Path + L"\\";
      TAppSync::Synchronize([&] {
        if (events_.OnProgress) events_.OnProgress(text);
      });
    }
  }
  if (input_.KeyNames && matcher_->Matches(GetKeyNameFromPath(Path))) Report(hkKeyName, hitPath, String(), String());

  if (input_.ValueNames || input_.StringData) {
    // Read the key's values first, then test them.
    struct Val {
      String name;
      DWORD type;
      std::string data;
    };
    std::vector<Val> vals;
    DWORD count = 0, maxName = 0, maxData = 0;
    if (RegQueryInfoKeyW(Key.Handle(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         &maxName, &maxData, nullptr, nullptr) == ERROR_SUCCESS && count > 0) {
      std::wstring name(maxName + 2, L'\0');
      std::string data(input_.StringData ? maxData + 2 : 0, '\0');
      vals.reserve(count);
      for (DWORD i = 0;; ++i) {
        DWORD nlen = static_cast<DWORD>(name.size()), dlen = static_cast<DWORD>(data.size()), type = 0;
        LONG rc = RegEnumValueW(Key.Handle(), i, name.data(), &nlen, nullptr, &type,
                                input_.StringData ? reinterpret_cast<BYTE*>(data.data()) : nullptr,
                                input_.StringData ? &dlen : nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc == ERROR_MORE_DATA) {
          // Grown meanwhile: make room and read this one again.
          name.resize(name.size() * 2 + 256);
          if (input_.StringData) data.resize(data.size() * 2 + 1024);
          --i;
          continue;
        }
        if (rc != ERROR_SUCCESS) break;
        Val v{String(name.data(), nlen), type, {}};
        if (input_.StringData && (type == REG_SZ || type == REG_EXPAND_SZ)) v.data.assign(data.data(), dlen);
        vals.push_back(std::move(v));
      }
    }
    for (const auto& v : vals) {
      if (terminated_) return;
      if (input_.ValueNames && matcher_->Matches(v.name)) Report(hkValueName, hitPath, v.name, String());
      if (input_.StringData && (v.type == REG_SZ || v.type == REG_EXPAND_SZ)) {
        const String text = RegBytesToString(v.data);
        if (matcher_->Matches(text)) Report(hkStringData, hitPath, v.name, text);
      }
    }
  }

  std::vector<String> subs;
  try {
    subs = Key.KeyNames();
  } catch (const ERegistryException&) {
    return;  // can't be listed: left out like a key that can't be opened
  }
  for (const auto& s : subs) {
    if (terminated_) return;
    if (s.empty()) continue;
    TRegKey sub;
    if (sub.OpenSub(Key, s, KEY_READ)) SearchKey(sub, JoinKeyPath(Path, s));
  }
}
