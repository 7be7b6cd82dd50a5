// The search thread: walks the registry (all six root keys or one subtree)
// on a worker thread and hands its hits (in batches), progress text,
// expression error, exception and its end to the window thread, waiting
// each time until the window thread has handled it. Windows only.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "app/SearchMatch.h"
#include "classlib/Events.h"
#include "classlib/Thread.h"

class TRegKey;
class TRegWalkLevel;

struct TSearchEvents {
  TEvent<void(const TSearchHit&)> OnResult;
  // Hits are handed over in batches: the OnResult calls of one batch come
  // between OnResultBatch(true) and OnResultBatch(false), the end also
  // when a hit's report fails.
  TEvent<void(bool)> OnResultBatch;
  TEvent<void(const String&)> OnProgress;
  TEvent<void(const String&)> OnRegexError;
  TEvent<void(const Exception&, const String&)> OnException;
  TEvent<void()> OnFinished;
};

class TthrdRegSearch : public TThread {
 public:
  // Copies the find options and starts the run at a priority one step
  // below normal. The events run on the window thread, each while the
  // search waits for it.
  TthrdRegSearch(const TSearchInput& Input, const TSearchEvents& Events);
  // Stops the run if needed and waits for it (running its waiting reports
  // meanwhile when called on the window thread).
  ~TthrdRegSearch() override;

  bool Terminated() const { return GetTerminated(); }
  // True once the run has made its finish report and ended.
  bool Finished() const { return GetFinished(); }
  // Keys whose values or subkeys could not be listed (left out of the
  // search), among those handed over so far; final at the finish report.
  int UnreadKeys() const { return unreadKeys_; }

  // Keys visited, shared by all searches: progress is reported on every
  // 102nd key.
  static std::atomic<int> ProgressCounter;
  // A batch of hits is handed over once it holds this many, once its first
  // hit is this old, before the search waits for a part of the registry
  // not read yet, before a progress report and at the end (also after a
  // stop: the hits found before it are shown).
  static constexpr size_t BatchHits = 2000;
  static constexpr unsigned BatchMilliseconds = 100;

 protected:
  void Execute() override;
  // Makes the finish report: after the run, and also when the search was
  // stopped before its run began (Execute is then skipped).
  void DoTerminate() override;

 private:
  struct TEvent;
  static constexpr unsigned kReaders = 4;
  // Parts read beyond the one being handed over: the readers go on while
  // the window thread adds a batch to its list.
  static constexpr size_t kReadAhead = 1024;
  void Search();
  // Reads one key (and, with Recurse, everything below it) into Out; Up is
  // the level of the key it was listed in (null for the walk's top).
  void SearchKey(TRegKey& Key, TRegRoot Root, const String& Path, bool Recurse, TSearchMatcher& Matcher,
                 std::vector<TEvent>& Out, const TRegWalkLevel* Up);
  bool Stopping() const { return abandon_ || Terminated(); }
  void ReportProgress(const String& Path);
  void ReportResult(uint8_t Kind, const String& Path, const String& ValueName, const String& Data);
  // Hands the pending hits over, if any.
  void FlushResults();
  // The reports, each run on the window thread while the search waits:
  // the pending hits, the progress text, the expression's error text, the
  // caught exception with the message text, and the end.
  void SyncAddResult();
  void SyncProgress();
  void SyncRegexError();
  void SyncException();
  void SyncFinished();
  void Sync(void (TthrdRegSearch::*Report)()) { Synchronize(TThreadMethod(this, Report)); }

  TSearchInput input_;
  TSearchEvents events_;
  TRegRoot root_ = RegRoot::None;
  std::vector<TSearchHit> pending_;
  unsigned long long pendingSince_ = 0;  // tick count of the batch's first hit
  String progressText_;
  String message_;
  const Exception* caught_ = nullptr;  // during the exception report only; not owned
  std::unique_ptr<TSearchMatcher> matcher_;
  std::atomic<bool> abandon_{false};  // the readers stop: the walk ended early
  std::atomic<int> unreadKeys_{0};
};

extern const wchar_t* const SearchExceptionText;  // "An exception occurred in the search thread."
