#include "app/SearchThread.h"

#include "app/Cvalue.h"
#include "app/RegAccess.h"

const wchar_t* const SearchExceptionText = L"An exception occurred in the search thread.";

std::atomic<int> TthrdRegSearch::ProgressCounter{0};

TthrdRegSearch::TthrdRegSearch(const TSearchInput& Input, const TSearchEvents& Events)
    : TThread(true), input_(Input), events_(Events) {
  SetPriority(tpLower);
  Start();
}

TthrdRegSearch::~TthrdRegSearch() {
  Terminate();
  WaitFor();
}

void TthrdRegSearch::Execute() {
  std::unique_ptr<Exception> failure;
  try {
    Search();
  } catch (const Exception& e) {
    failure.reset(e.Clone());
  } catch (const std::exception& e) {
    failure = std::make_unique<Exception>(Utf8ToWide(e.what()));
  } catch (...) {
    failure = std::make_unique<Exception>(String(L"Unknown exception"));
  }
  if (failure) {
    try {
      Sync([&] {
        if (events_.OnException) events_.OnException(*failure, SearchExceptionText);
      });
    } catch (...) {
      // The report failed on the window thread; the search still ends below.
    }
  }
}

void TthrdRegSearch::DoTerminate() {
  // Every search ends with this report, however it ended.
  Sync([&] {
    if (events_.OnFinished) events_.OnFinished();
  });
  TThread::DoTerminate();
}

void TthrdRegSearch::Search() {
  matcher_ = std::make_unique<TSearchMatcher>(input_);
  String error;
  if (!matcher_->Prepare(error)) {
    Sync([&] {
      if (events_.OnRegexError) events_.OnRegexError(error);
    });
    return;  // nothing to search with
  }
  if (!input_.Subtree) {
    for (const auto& e : RootKeyTable) {
      if (Terminated()) break;
      TRegKey key;
      root_ = e.Root;
      // A root key that this system doesn't have is left out.
      if (key.OpenReadOnly(e.Root, String())) SearchKey(key, String());
    }
  } else {
    TRegKey key;
    root_ = input_.RootKey;
    const String start = ApiKeyPath(input_.StartPath);
    if (!Terminated() && key.OpenReadOnly(root_, start)) SearchKey(key, start);
  }
}

void TthrdRegSearch::Report(uint8_t Kind, const String& Path, const String& ValueName, const String& Data) {
  TSearchHit hit;
  hit.Kind = Kind;
  hit.RootKey = root_;
  hit.Path = Path;
  hit.ValueName = ValueName;
  hit.Data = Data;
  Sync([&] {
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
      Sync([&] {
        if (events_.OnProgress) events_.OnProgress(text);
      });
    }
  }
  if (input_.KeyNames && matcher_->Matches(GetKeyNameFromPath(Path))) Report(hkKeyName, hitPath, String(), String());

  // One info query sizes both enumerations below.
  TKeyCounts info;
  if (!Key.QueryInfo(info)) return;  // can't be read: left out like a key that can't be opened

  if ((input_.ValueNames || input_.StringData) && info.Values > 0) {
    // Read the key's values first, then test them.
    struct Val {
      String name;
      DWORD type;
      std::string data;
    };
    std::vector<Val> vals;
    std::wstring name(info.MaxValueNameLen + 2, L'\0');
    std::string data(input_.StringData ? info.MaxValueLen + 2 : 0, '\0');
    vals.reserve(info.Values);
    // Counted by the info query; values removed meanwhile end the list early,
    // a name or data that grew meanwhile gets bigger buffers and is read again.
    for (DWORD i = 0; i < info.Values;) {
      DWORD nlen = static_cast<DWORD>(name.size()), dlen = static_cast<DWORD>(data.size()), type = 0;
      const LONG rc = RegEnumValueW(Key.Handle(), i, name.data(), &nlen, nullptr, &type,
                                    input_.StringData ? reinterpret_cast<BYTE*>(data.data()) : nullptr,
                                    input_.StringData ? &dlen : nullptr);
      if (rc == ERROR_NO_MORE_ITEMS) break;
      if (rc == ERROR_MORE_DATA) {
        name.resize(name.size() * 2 + 256);
        if (input_.StringData) data.resize(data.size() * 2 + 1024);
        continue;
      }
      if (rc != ERROR_SUCCESS) break;
      Val v{String(name.data(), nlen), type, {}};
      if (input_.StringData && (type == REG_SZ || type == REG_EXPAND_SZ)) v.data.assign(data.data(), dlen);
      vals.push_back(std::move(v));
      ++i;
    }
    for (const auto& v : vals) {
      if (Terminated()) return;
      if (input_.ValueNames && matcher_->Matches(v.name)) Report(hkValueName, hitPath, v.name, String());
      if (input_.StringData && (v.type == REG_SZ || v.type == REG_EXPAND_SZ)) {
        const String text = RegBytesToString(v.data);
        if (matcher_->Matches(text)) Report(hkStringData, hitPath, v.name, text);
      }
    }
  }

  if (info.SubKeys == 0) return;
  std::vector<String> subs;
  try {
    subs = Key.KeyNames(info);
  } catch (const ERegistryException&) {
    return;  // can't be listed: left out like a key that can't be opened
  }
  for (const auto& s : subs) {
    if (Terminated()) return;
    if (s.empty()) continue;
    TRegKey sub;
    if (sub.OpenSub(Key, s, KEY_READ)) SearchKey(sub, JoinKeyPath(Path, s));
  }
}
