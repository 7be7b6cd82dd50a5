#include "app/SearchThread.h"

#include "app/Cvalue.h"
#include "app/RegAccess.h"

#include <algorithm>
#include <exception>
#include <mutex>
#include <optional>

const wchar_t* const SearchExceptionText = L"An exception occurred in the search thread.";

namespace {

// String data as the registry holds it: every character, NULs inside it
// included; the NULs at its end (its terminator) and an odd last byte left
// out.
String WholeText(const unsigned char* Data, DWORD Size) {
  size_t n = Size / 2;
  while (n > 0 && Data[2 * n - 2] == 0 && Data[2 * n - 1] == 0) --n;
  String text(n, L'\0');
  for (size_t i = 0; i < n; ++i) text[i] = static_cast<wchar_t>(Data[2 * i] | (Data[2 * i + 1] << 8));
  return text;
}

// Data with a NUL inside it is searched piece by piece: the text after a
// NUL is a string of its own, as the text before it is (the empty pieces
// between NULs are none).
bool DataMatches(TSearchMatcher& Matcher, const String& Text) {
  if (Text.find(L'\0') == String::npos) return Matcher.Matches(Text);
  for (size_t at = 0; at <= Text.size();) {
    size_t end = Text.find(L'\0', at);
    if (end == String::npos) end = Text.size();
    if (end > at && Matcher.Matches(Text.substr(at, end - at))) return true;
    at = end + 1;
  }
  return false;
}

// A hit's data as the find results show it: whole, each NUL inside it as
// the sign for NUL (a list shows text only up to a NUL).
String ShownData(String Text) {
  std::replace(Text.begin(), Text.end(), L'\0', L'\u2400');
  return Text;
}

}  // namespace

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
    message_ = SearchExceptionText;
    caught_ = failure.get();
    try {
      Sync(&TthrdRegSearch::SyncException);
    } catch (...) {
      // The report failed on the window thread; the search still ends below.
    }
    caught_ = nullptr;
  }
}

void TthrdRegSearch::DoTerminate() {
  // Every search ends with this report, however it ended.
  Sync(&TthrdRegSearch::SyncFinished);
  TThread::DoTerminate();
}

void TthrdRegSearch::SyncAddResult() {
  // A stop made by the receiver at one of these hits drops the rest of the
  // batch; hits found before a stop made earlier (the Stop button while
  // the batch was being collected) are all shown.
  const bool stoppedBefore = Terminated();
  if (events_.OnResultBatch) events_.OnResultBatch(true);
  try {
    for (const TSearchHit& hit : pending_) {
      if (!stoppedBefore && Terminated()) break;
      if (events_.OnResult) events_.OnResult(hit);
    }
  } catch (...) {
    if (events_.OnResultBatch) events_.OnResultBatch(false);
    throw;
  }
  if (events_.OnResultBatch) events_.OnResultBatch(false);
}

void TthrdRegSearch::SyncProgress() {
  if (events_.OnProgress) events_.OnProgress(progressText_);
}

void TthrdRegSearch::SyncRegexError() {
  if (events_.OnRegexError) events_.OnRegexError(message_);
}

void TthrdRegSearch::SyncException() {
  if (events_.OnException && caught_) events_.OnException(*caught_, message_);
}

void TthrdRegSearch::SyncFinished() {
  if (events_.OnFinished) events_.OnFinished();
}

// The walk is cut into parts (the keys of the top levels on their own, whole
// subtrees below them, in depth-first order) that helper threads read side
// by side, each into a list of its own; this thread hands the lists to the
// window thread part after part, so hits and progress arrive in the order
// of a walk in sequence, while the reading runs ahead.
struct TthrdRegSearch::TEvent {
  // 0 a key visited (progress), kUnreadKey a key whose values or subkeys
  // could not be listed, else the kind of hit.
  static constexpr uint8_t kUnreadKey = 0xFF;
  uint8_t Kind = 0;
  String Path;       // the key's path below the root, no backslashes at its ends
  String ValueName;
  String Data;
  TRegRoot Root = RegRoot::None;
  std::exception_ptr Failure;  // set: the walk ended here with this exception
};

void TthrdRegSearch::Search() {
  matcher_ = std::make_unique<TSearchMatcher>(input_);
  String error;
  if (!matcher_->Prepare(error)) {
    message_ = error;
    Sync(&TthrdRegSearch::SyncRegexError);
    return;  // nothing to search with
  }
  std::vector<TBranchPart> parts;
  if (!input_.Subtree) {
    for (const auto& e : RootKeyTable) {
      if (Terminated()) break;
      TRegKey key;
      // A root key that this system doesn't have is left out.
      if (key.OpenReadOnly(e.Root, String())) PlanBranchParts(e.Root, String(), parts);
    }
  } else {
    TRegKey key;
    const String start = ApiKeyPath(input_.StartPath);
    if (Terminated()) return;
    // A key that another program deleted since it was selected (or one
    // that can't be read) is said so, not searched as if it were empty.
    if (!key.OpenReadOnly(input_.RootKey, start))
      throw ERegistryException(L"The key to search can't be opened: " + RootKeyName(input_.RootKey, rnmFull, false) +
                               (start.empty() ? String() : L"\\" + start) + L"\n" +
                               SysErrorMessage(static_cast<DWORD>(key.LastError())));
    PlanBranchParts(input_.RootKey, start, parts);
  }
  if (parts.empty() || Terminated()) return;

  std::vector<std::vector<TEvent>> found(parts.size());
  // Set by the readers once a part is read, so that hits collected so far
  // are not held back longer than a batch's time while a part is read.
  std::vector<char> read(parts.size());
  TSlimLock readLock;
  CONDITION_VARIABLE readDone = CONDITION_VARIABLE_INIT;
  TSlimLock matchersLock;
  std::vector<std::unique_ptr<TSearchMatcher>> matchers;  // one per reader at a time
  auto work = [&](size_t i) {
    std::unique_ptr<TSearchMatcher> m;
    {
      std::lock_guard<TSlimLock> hold(matchersLock);
      if (!matchers.empty()) {
        m = std::move(matchers.back());
        matchers.pop_back();
      }
    }
    try {
      if (!m) {
        m = std::make_unique<TSearchMatcher>(input_);
        String unused;
        m->Prepare(unused);  // the same expression compiled above
      }
      TRegKey key;
      if (Stopping()) {
      } else if (key.OpenReadOnly(parts[i].Root, parts[i].Path)) {
        SearchKey(key, parts[i].Root, parts[i].Path, parts[i].Whole, *m, found[i], parts[i].Above.get());
      } else if (!RegUnreadableReason(RootHandle(parts[i].Root), parts[i].Path, key.LastError()).empty()) {
        // Listed above it, yet it can't be opened: left out, and counted.
        TEvent unread;
        unread.Kind = TEvent::kUnreadKey;
        found[i].push_back(std::move(unread));
      }
    } catch (...) {
      TEvent failure;
      failure.Failure = std::current_exception();
      found[i].push_back(std::move(failure));
    }
    {
      std::lock_guard<TSlimLock> hold(readLock);
      read[i] = 1;
    }
    WakeAllConditionVariable(&readDone);
    if (m) {
      std::lock_guard<TSlimLock> hold(matchersLock);
      try {
        matchers.push_back(std::move(m));
      } catch (...) {
        // Out of memory: the matcher is simply not kept for another part.
      }
    }
  };
  TPartRunner runner(parts.size(), work, kReaders, true, kReadAhead);
  // However the hand-over ends (a failed report included), the readers stop.
  struct TStopReaders {
    TthrdRegSearch* Self;
    TPartRunner& Runner;
    ~TStopReaders() {
      Self->abandon_ = true;
      Runner.Stop();
    }
  } stopReaders{this, runner};
  for (size_t i = 0; i < parts.size() && !Terminated(); ++i) {
    if (!pending_.empty()) {
      // Waits for the part while the batch may still grow, then hands the
      // batch over before waiting on.
      bool ready;
      {
        std::unique_lock<TSlimLock> hold(readLock);
        for (;;) {
          ready = read[i] != 0;
          const unsigned long long age = GetTickCount64() - pendingSince_;
          if (ready || age >= BatchMilliseconds || Terminated()) break;
          SleepConditionVariableSRW(&readDone, readLock.Handle(), static_cast<DWORD>(BatchMilliseconds - age), 0);
        }
      }
      if (!ready) FlushResults();
    }
    if (!runner.WaitFor(i)) break;
    for (TEvent& e : found[i]) {
      if (Terminated()) break;
      if (e.Failure) {
        abandon_ = true;
        runner.Stop();
        FlushResults();  // the hits found before the failure come before its report
        std::rethrow_exception(e.Failure);
      }
      if (e.Kind == TEvent::kUnreadKey) {
        ++unreadKeys_;
        continue;
      }
      root_ = e.Root;
      if (e.Kind == 0) {
        ReportProgress(e.Path);
        continue;
      }
      const String hitPath = e.Path.empty() ? String(L"\\") : L"\\" + e.Path + L"\\";
      ReportResult(e.Kind, hitPath, e.ValueName, e.Data);
    }
    std::vector<TEvent>().swap(found[i]);
  }
  abandon_ = true;
  runner.Stop();
  FlushResults();
}

void TthrdRegSearch::ReportProgress(const String& Path) {
  if (ProgressCounter.fetch_add(1) > 100) {
    ProgressCounter = 0;
    FlushResults();  // the hits met before this key come first
    progressText_ = Path.empty() ? String() : Path + L"\\";
    Sync(&TthrdRegSearch::SyncProgress);
  }
}

void TthrdRegSearch::ReportResult(uint8_t Kind, const String& Path, const String& ValueName, const String& Data) {
  // Each hand-over waits for the window thread, and a list that takes its
  // hits one by one lays itself out and repaints for every one: hits go
  // over in batches.
  const unsigned long long now = GetTickCount64();
  if (pending_.empty()) pendingSince_ = now;
  pending_.push_back(TSearchHit{Kind, root_, Path, ValueName, Data});
  if (pending_.size() >= BatchHits || now - pendingSince_ >= BatchMilliseconds) FlushResults();
}

void TthrdRegSearch::FlushResults() {
  if (pending_.empty()) return;
  struct TClear {
    std::vector<TSearchHit>& Hits;
    ~TClear() { Hits.clear(); }
  } clear{pending_};
  Sync(&TthrdRegSearch::SyncAddResult);
}

void TthrdRegSearch::SearchKey(TRegKey& Key, TRegRoot Root, const String& Path, bool Recurse, TSearchMatcher& Matcher,
                             std::vector<TEvent>& Out, const TRegWalkLevel* Up) {
  // Path: the key path below the root without backslashes at its ends.
  auto add = [&](uint8_t Kind, const String& ValueName, const String& Data) {
    TEvent e;
    e.Kind = Kind;
    e.Path = Path;
    e.ValueName = ValueName;
    e.Data = Data;
    e.Root = Root;
    Out.push_back(std::move(e));
  };
  if (input_.ShowProgress) add(0, String(), String());
  if (input_.KeyNames && Matcher.Matches(GetKeyNameFromPath(Path))) add(hkKeyName, String(), String());

  // What can't be listed is left out and counted, once per key: the end of
  // the search tells how many keys it could not read whole.
  auto unread = [&] { add(TEvent::kUnreadKey, String(), String()); };
  // One info query sizes both enumerations below.
  TRegKeyInfo info;
  if (!Key.QueryInfo(info)) {
    unread();
    return;
  }
  // A key already on the walk's path (a link back to it) is read no more.
  std::optional<TRegWalkLevel> level;
  if (info.NumSubKeys > 0 && !level.emplace(Root, Up, Key).Readable()) {
    unread();
    return;
  }

  bool valuesUnread = false;
  if ((input_.ValueNames || input_.StringData) && info.NumValues > 0 && !Stopping()) {
    TRegValueBuffers buffers;
    // Values that can't be read end the key's list.
    valuesUnread = !Key.ForEachValue(info, buffers, input_.StringData,
                                     [&](std::wstring_view Name, DWORD Type, const unsigned char* Data, DWORD Size) {
                                       const String valueName(Name);
                                       if (input_.ValueNames && Matcher.Matches(valueName))
                                         add(hkValueName, valueName, String());
                                       if (input_.StringData && (Type == REG_SZ || Type == REG_EXPAND_SZ)) {
                                         String text = WholeText(Data, Size);
                                         if (DataMatches(Matcher, text))
                                           add(hkStringData, valueName, ShownData(std::move(text)));
                                       }
                                       return !Stopping();
                                     });
    if (valuesUnread) unread();
    if (Stopping()) return;
  }

  if (!Recurse || info.NumSubKeys == 0) return;
  std::vector<String> subs;
  if (!Key.ReadKeyNames(info, subs)) {
    if (!valuesUnread) unread();
    return;
  }
  for (const auto& s : subs) {
    if (Stopping()) return;
    if (s.empty()) continue;
    TRegKey sub;
    if (sub.OpenSub(Key, s, KEY_READ))
      SearchKey(sub, Root, JoinKeyPath(Path, s), true, Matcher, Out, &*level);
    else if (!RegUnreadableReason(Key.Handle(), s, sub.LastError()).empty())
      unread();  // this key's subkey, which can't be opened: counted here
  }
}
