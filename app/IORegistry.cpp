#include "app/IORegistry.h"

#include "app/Bookmarks.h"
#include "app/RegAccess.h"
#include "classlib/Filer.h"
#include "classlib/PropFiler.h"
#include "classlib/Registry.h"
#include "classlib/Thread.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>

namespace {

TRegRoot RootOfFullName(const String& Name) {
  if (Name.empty()) return RegRoot::CurrentUser;
  const String up = AnsiUpperCase(Name);
  for (const auto& e : RootKeyTable)
    if (up == e.FullName) return e.Root;
  return RegRoot::None;
}

// The system's own words for an error code.
String SystemReason(LONG Code) {
  String r = SysErrorMessage(static_cast<unsigned long>(Code));
  return r.empty() ? L"error " + IntToStr(static_cast<int>(Code)) : r;
}

// The performance-data keys (Perflib\009 and its kin) open as predefined
// handles whose contents the system makes up on request: they can't be
// listed, and hold nothing a registry file could restore.
bool IsPredefinedHandle(HKEY Key) { return (reinterpret_cast<uintptr_t>(Key) & 0x80000000u) != 0; }

// Why a link key can't be read.
String DanglingLinkReason(const String& Target) {
  return L"a link to a key that does not exist" + (Target.empty() ? String() : L": " + Target);
}

// Keys whose values or subkeys could not be read: the first few with the
// system's reason, and how many in all.
struct TReadFailures {
  static constexpr size_t kNamed = 5;
  std::vector<String> Named;
  size_t Count = 0;

  void Add(const String& Where, LONG Code) { AddReason(Where, SystemReason(Code)); }
  void AddReason(const String& Where, const String& Reason) {
    if (Named.size() < kNamed) Named.push_back(Where + L" (" + Reason + L")");
    ++Count;
  }
  // A key that failed to open with Code: a key deleted since it was listed
  // is no loss; a listed key that is a link to a key that is not there
  // can't be read, like one the user may not read.
  void OpenFailed(HKEY Parent, const String& Path, const String& Where, LONG Code) {
    if (Code != ERROR_FILE_NOT_FOUND) {
      Add(Where, Code);
      return;
    }
    String target;
    if (RegDanglingLink(Parent, Path, &target)) AddReason(Where, DanglingLinkReason(target));
  }
  void Append(TReadFailures&& Other) {
    for (String& n : Other.Named)
      if (Named.size() < kNamed) Named.push_back(std::move(n));
    Count += Other.Count;
  }
  String Text() const {
    String t = L"The exported file is incomplete: " + UIntToStr(static_cast<unsigned>(Count)) +
               (Count == 1 ? L" key" : L" keys") + L" could not be read whole:";
    for (const String& n : Named) t += L"\n" + n;
    if (Count > Named.size()) t += L"\n... and " + UIntToStr(static_cast<unsigned>(Count - Named.size())) + L" more.";
    return t;
  }
};

// What the user is told of the keys and values an export left out for
// their names, and of the text values that will read back with a NUL added.
String ExportNotes(const TRegFileWriter& W) {
  String t;
  auto list = [&t](const std::vector<String>& Named, size_t Nameable) {
    for (const String& n : Named) t += L"\n" + n;
    if (Nameable > Named.size())
      t += L"\n... and " + UIntToStr(static_cast<unsigned>(Nameable - Named.size())) + L" more.";
  };
  if (W.Unwritable()) {
    const size_t keys = W.UnwritableKeys(), values = W.Unwritable() - keys;
    t += KeysAndValuesText(keys, values) + (keys + values == 1 ? L" was" : L" were") +
         L" left out of the file: a registry file has no way to write a line break or a NUL character in a name" +
         (keys ? L" (a key left out takes its values and subkeys along):" : L":");
    list(W.UnwritableNamed(), W.UnwritableNameable());
  }
  if (W.GainsNul()) {
    const bool one = W.GainsNul() == 1;
    if (!t.empty()) t += L"\n\n";
    t += UIntToStr(static_cast<unsigned>(W.GainsNul())) +
         (one ? L" text value has no NUL character at its end: imported from the file, it will be stored with one"
              : L" text values have no NUL character at their end: imported from the file, they will be stored with "
                L"one") +
         L" added, as text from a registry file is stored:";
    list(W.GainsNulNamed(), W.GainsNul());
  }
  return t;
}

struct TWalk {
  TRegFileWriter& writer;
  TRegRoot root;
  String rootName;
  const std::atomic<bool>& stop;
  TReadFailures failures;
  TRegValueBuffers buffers;

  String Where(const String& Path) const { return Path.empty() ? rootName : rootName + L"\\" + Path; }

  // The key's values (names and data) into the writer.
  void _GetValueNameList(const TRegKey& key, const TRegKeyInfo& info) {
    const bool read = key.ForEachValue(info, buffers, true, [&](std::wstring_view Name, DWORD Type,
                                                                 const unsigned char* Data, DWORD Size) {
      writer.AddValue(String(Name), Type, std::string(reinterpret_cast<const char*>(Data), Size));
      return true;
    });
    if (!read) failures.Add(Where(key.Path()), key.LastError());
  }

  // The subkey names; false (and a failure) when they can't be listed.
  bool SubKeys(const TRegKey& key, const TRegKeyInfo& info, std::vector<String>& subs) {
    if (!key.ReadKeyNames(info, subs)) {
      failures.Add(Where(key.Path()), key.LastError());
      return false;
    }
    // An empty name would reopen this key itself: never followed.
    subs.erase(std::remove(subs.begin(), subs.end(), String()), subs.end());
    return true;
  }

  // The key's line and values, then (Recurse) its subkeys, down to the
  // last level when Deep. Up is the level of the key it was listed in
  // (null for the walk's top).
  void Key(const TRegKey& key, bool Recurse, bool Deep, const TRegWalkLevel* Up) {
    if (stop.load(std::memory_order_relaxed)) return;
    if (IsPredefinedHandle(key.Handle())) {
      writer.AddKey(rootName, key.Path());
      return;  // served on request: nothing to list
    }
    // One info query sizes both enumerations.
    TRegKeyInfo info;
    if (!key.QueryInfo(info)) {
      writer.AddKey(rootName, key.Path());
      failures.Add(Where(key.Path()), key.LastError());
      return;
    }
    // A key already on the walk's path (a link back to it) is left out
    // whole: the file holds each of its keys once.
    std::optional<TRegWalkLevel> level;
    if (info.NumSubKeys > 0 && !level.emplace(root, Up, key).Readable()) {
      failures.AddReason(Where(key.Path()), level->Refusal(rootName));
      return;
    }
    writer.AddKey(rootName, key.Path());
    _GetValueNameList(key, info);
    if (!Recurse || info.NumSubKeys == 0) return;
    std::vector<String> subs;
    if (!SubKeys(key, info, subs)) return;
    for (const auto& s : subs) {
      TRegKey sub;
      if (!sub.OpenSub(key, s, KEY_READ)) {
        failures.OpenFailed(key.Handle(), s, Where(JoinKeyPath(key.Path(), s)), sub.LastError());
        continue;
      }
      Key(sub, Deep, Deep, &*level);
    }
  }
};

// Applies an import. Each registry call waits on the system far longer
// than it computes, so several writer threads each create (open) the key of
// a section and write its values, for the same reason the export reads side
// by side. A key always goes to the same writer, which keeps the order of
// its sections; deleting a key, and a key line under another root (one key
// may be reached through two roots), wait for every writer to finish first.
// Every key is created with the spelling of its first mention in the file
// (its own line or a line below it), whichever writer comes to it first, so
// the outcome is that of writing the sections one after another.
// The first failed write stops the import and is raised; a key that can't
// be created has its lines counted as skipped. A stop request ends the
// writing at the next value: what was written stays.
class TRegistrySink : public IRegFileSink {
 public:
  // Report is called (one call at a time, from whichever thread) with the
  // keys and values written so far, every few hundred of them.
  TRegistrySink(const std::atomic<bool>& StopFlag, std::function<void(size_t Written)> Report)
      : stop_(StopFlag), report_(std::move(Report)) {
    try {
      for (unsigned i = 0; i < kWriters; ++i) writers_.emplace_back(std::make_unique<TWriter>());
      for (auto& w : writers_) w->Thread = std::thread([this, wp = w.get()] { Run(*wp); });
    } catch (...) {
      Stop();
      throw;
    }
  }
  ~TRegistrySink() override { Stop(); }

  bool OpenKey(TRegRoot Root, const String& Path) override {
    Send();
    if (Root != lastRoot_) {
      // HKEY_CLASSES_ROOT and HKLM\Software\Classes, HKCU and HKEY_USERS\<SID>,
      // HKEY_CURRENT_CONFIG and its target: the same key under two roots
      // must not be written out of file order.
      if (lastRoot_ != RegRoot::None) WaitIdle();
      lastRoot_ = Root;
    }
    Check();
    section_.Root = Root;
    section_.Path = FirstSpelling(Path);
    section_.Open = true;
    // The same key in any spelling the registry takes for it goes to the
    // same writer.
    writer_ = KeyNameHash(ApiKeyPath(Path)) % writers_.size();
    return true;
  }
  void SectionEnd(size_t FirstLine, size_t Lines, int Values) override {
    section_.FirstLine = FirstLine;
    section_.Lines = Lines;
    section_.Values = Values;
  }
  void DeleteKey(TRegRoot Root, const String& Path) override {
    Send();
    WaitIdle();
    Check();
    // Once stopped, nothing more is changed, deletions included.
    if (stop_.load()) {
      std::lock_guard<TSlimLock> hold(lock_);
      unwritten_ = std::min(unwritten_, line_);
      return;
    }
    RegDeleteBranch(Root, Path);
  }
  void DataLine(size_t Index) override { line_ = Index; }
  void SetValue(const String& Name, uint32_t Type, const std::string& Data) override {
    section_.Ops.push_back(TOp{false, Name, Type, Data, line_});
  }
  void DeleteValue(const String& Name) override { section_.Ops.push_back(TOp{true, Name, 0, {}, line_}); }

  // Writes what is left (nothing once stopped) and raises the first failure.
  void Finish() {
    Send();
    WaitIdle();
    Check();
  }

  // The sections whose key could not be created (after Finish).
  struct TSkipped {
    size_t FirstLine, Lines;
    int Values;
  };
  const std::vector<TSkipped>& Skipped() const { return skipped_; }
  // After Finish: whether a stop left anything unwritten, the 0-based index
  // of the first line it left unwritten, and what was written in all.
  bool Stopped() const { return unwritten_ != SIZE_MAX; }
  size_t FirstUnwritten() const { return unwritten_; }
  // Whether the writers, each on its own keys, wrote lines after the first
  // one a stop left unwritten.
  bool WroteAfterUnwritten() const { return Stopped() && writtenKeys_ && lastWritten_ > unwritten_; }
  int WrittenKeys() const { return writtenKeys_; }
  int WrittenValues() const { return writtenValues_; }
  // Runs F in turn with the writers' reports.
  template <class F>
  void InTurn(F&& Fn) {
    std::lock_guard<std::mutex> hold(reportLock_);
    Fn();
  }

 private:
  static constexpr unsigned kWriters = 6;
  static constexpr size_t kReportEvery = 256;
  struct TOp {
    bool Delete;
    String Name;
    uint32_t Type;
    std::string Data;
    size_t Line;
  };
  struct TSection {
    bool Open = false;
    TRegRoot Root = RegRoot::None;
    String Path;
    std::vector<TOp> Ops;
    size_t Order = 0;  // place in the file
    size_t FirstLine = 0, Lines = 0;
    int Values = 0;
  };
  struct TWriter {
    std::thread Thread;
    std::deque<TSection> Queue;
    TSlimCondition Wake;
    bool Sleeping = false;  // waiting on Wake for work
    bool Busy = false;      // writing a section taken from the queue
  };

  // The path with each level spelled as the file first named it since the
  // writers were last idle (before then, every key named exists, and the
  // registry keeps its spelling).
  String FirstSpelling(const String& Path) {
    String spelled, folded;
    size_t from = 0;
    for (;;) {
      const size_t to = std::min(Path.find(L'\\', from), Path.size());
      const String level = Path.substr(from, to - from);
      if (from) {
        spelled += L'\\';
        folded += L'\\';
      }
      folded += KeyNameFold(level);
      auto it = spelling_.find(folded);
      if (it == spelling_.end())
        spelling_.emplace(folded, spelled += level);
      else
        spelled = it->second;
      if (to == Path.size()) return spelled;
      from = to + 1;
    }
  }

  void Send() {
    if (!section_.Open) return;
    section_.Order = sent_++;
    TWriter& w = *writers_[writer_];
    bool wake;
    {
      std::lock_guard<TSlimLock> hold(lock_);
      w.Queue.push_back(std::move(section_));
      wake = w.Sleeping;
    }
    section_ = TSection();
    if (wake) w.Wake.NotifyOne();
  }
  void WaitIdle() {
    std::unique_lock<TSlimLock> hold(lock_);
    waitingIdle_ = true;
    idle_.Wait(hold, [&] {
      for (auto& w : writers_)
        if (w->Busy || !w->Queue.empty()) return false;
      return true;
    });
    waitingIdle_ = false;
    spelling_.clear();
  }
  void Check() {
    std::lock_guard<TSlimLock> hold(lock_);
    if (failure_) {
      std::exception_ptr f = failure_;
      failure_ = nullptr;
      std::rethrow_exception(f);
    }
  }
  void Wrote() {
    const size_t n = ++written_;
    if (n % kReportEvery || !report_) return;
    std::lock_guard<std::mutex> hold(reportLock_);
    report_(n);
  }
  void Run(TWriter& W) {
    std::unique_lock<TSlimLock> hold(lock_);
    for (;;) {
      W.Sleeping = true;
      W.Wake.Wait(hold, [&] { return stopping_ || !W.Queue.empty(); });
      W.Sleeping = false;
      if (W.Queue.empty()) return;  // stopping with nothing left
      TSection s = std::move(W.Queue.front());
      W.Queue.pop_front();
      W.Busy = true;
      // Sections after a failed one in the file are left out; those before
      // it are written whichever writer took them.
      const bool skip = s.Order > failedAt_;
      hold.unlock();
      std::exception_ptr failure;
      bool created = true;
      size_t unwritten = SIZE_MAX, lastWritten = 0;
      int keys = 0, values = 0;
      if (!skip) {
        if (stop_.load()) {
          unwritten = s.FirstLine;
        } else {
          TRegKey key;
          created = key.Create(s.Root, s.Path);
          try {
            if (created) {
              ++keys;
              lastWritten = s.FirstLine;
              Wrote();
              for (const TOp& op : s.Ops) {
                if (stop_.load()) {
                  unwritten = op.Line;
                  break;
                }
                if (op.Delete)
                  key.DeleteValue(op.Name);
                else
                  key.WriteValue(op.Name, op.Type, op.Data);
                ++values;
                lastWritten = op.Line;
                Wrote();
              }
            }
          } catch (...) {
            failure = std::current_exception();
          }
        }
      }
      hold.lock();
      if (!created) skipped_.push_back({s.FirstLine, s.Lines, s.Values});
      if (failure && s.Order < failedAt_) {
        failedAt_ = s.Order;
        failure_ = failure;
      }
      unwritten_ = std::min(unwritten_, unwritten);
      if (keys) lastWritten_ = std::max(lastWritten_, lastWritten);
      writtenKeys_ += keys;
      writtenValues_ += values;
      W.Busy = false;
      if (waitingIdle_ && W.Queue.empty()) idle_.NotifyAll();
    }
  }
  void Stop() {
    {
      std::lock_guard<TSlimLock> hold(lock_);
      stopping_ = true;
    }
    for (auto& w : writers_) w->Wake.NotifyAll();
    for (auto& w : writers_)
      if (w->Thread.joinable()) w->Thread.join();
    section_ = TSection();
  }

  const std::atomic<bool>& stop_;
  std::function<void(size_t)> report_;
  std::mutex reportLock_;
  std::atomic<size_t> written_{0};
  std::vector<std::unique_ptr<TWriter>> writers_;
  TSlimLock lock_;
  TSlimCondition idle_;
  bool waitingIdle_ = false;
  bool stopping_ = false;
  size_t sent_ = 0;
  size_t failedAt_ = SIZE_MAX;  // the first section in the file whose write failed
  std::exception_ptr failure_;
  std::vector<TSkipped> skipped_;
  size_t unwritten_ = SIZE_MAX;
  size_t lastWritten_ = 0;  // 0-based index of the last line written
  int writtenKeys_ = 0, writtenValues_ = 0;
  TSection section_;
  size_t writer_ = 0;
  size_t line_ = 0;
  TRegRoot lastRoot_ = RegRoot::None;
  // Folded key path -> its spelling in the file, since the writers were
  // last idle.
  std::unordered_map<String, String> spelling_;
};

// Clears the stop request when an export or import ends, however it ends.
struct TStopReset {
  std::atomic<bool>& Flag;
  ~TStopReset() { Flag = false; }
};

// Lets the window answer while a long comparison runs on its thread: the
// waiting messages are handled at most every few milliseconds.
class TMessagePump {
 public:
  void Poll() {
    if (GetCurrentThreadId() != MainThreadID) return;
    const ULONGLONG now = GetTickCount64();
    if (now - last_ < 15) return;
    last_ = now;
    Run();
  }
  static void Run() {
    if (GetCurrentThreadId() != MainThreadID) return;
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(m.wParam));
        break;
      }
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
    CheckSynchronize();
  }

 private:
  ULONGLONG last_ = GetTickCount64();
};

}  // namespace

String KeysAndValuesText(size_t Keys, size_t Values) {
  auto count = [](size_t n, const wchar_t* One, const wchar_t* Many) {
    return UIntToStr(static_cast<unsigned>(n)) + (n == 1 ? One : Many);
  };
  String t;
  if (Keys) t = count(Keys, L" key", L" keys");
  if (Keys && Values) t += L" and ";
  if (Values || !Keys) t += count(Values, L" value", L" values");
  return t;
}

// ---------------------------------------------------------------------------
// Root names.

String TIORegistry::_ExtractRootKey(TRootKeys Root) {
  static const wchar_t* const names[] = {L"HKEY_CLASSES_ROOT",   L"HKEY_CURRENT_USER", L"HKEY_LOCAL_MACHINE",
                                         L"HKEY_USERS",          L"HKEY_CURRENT_CONFIG", L"HKEY_DYN_DATA", L""};
  return Root <= rkNONE ? String(names[Root]) : String();
}

String TIORegistry::_GetHKEYKeyAsString(TRegRoot Root) {
  for (const auto& e : RootKeyTable)
    if (e.Root == Root) return e.FullName;
  return L"HKEY_CURRENT_USER";
}

TRegRoot TIORegistry::_GetHKEYKey(const String& Name) {
  for (const auto& e : RootKeyTable)
    if (Name == e.FullName) return e.Root;
  return RegRoot::CurrentUser;
}

void TIORegistry::Progress(uint32_t Value, uint32_t Level, uint32_t Max, uint32_t MaxLevel) {
  if (OnProgressChange) OnProgressChange(this, Value, Level, Max, MaxLevel);
}

// ---------------------------------------------------------------------------
// Export.

bool TIORegistry::_GetKeyList(TRegRoot Root, const String& RootName, const String& KeyPath, bool IncludeSubKeys,
                              TRegFileWriter& Writer, size_t* Unread, String* UnreadText) {
  TRegKey key;
  if (!key.OpenReadOnly(Root, KeyPath)) {
    // Nothing of the branch is read, so no file is written.
    const String path = ApiKeyPath(KeyPath);
    String target, reason;
    if (key.LastError() == ERROR_FILE_NOT_FOUND && !path.empty() && RegDanglingLink(RootHandle(Root), path, &target))
      reason = L"It is " + DanglingLinkReason(target) + L".";
    else if (key.LastError() == ERROR_FILE_NOT_FOUND)
      reason = L"It may have been deleted or renamed by another process or application.";
    else
      reason = SystemReason(key.LastError());
    throw ERegExportUnreadable(L"The key to export can't be read: nothing was exported, and no file was written."
                               L"\n\nKey: " + RootName + (path.empty() ? String() : L"\\" + path) + L"\n" + reason);
  }
  TReadFailures failures;
  if (!IncludeSubKeys) {
    TWalk walk{Writer, Root, RootName, StopRequested};
    walk.Key(key, true, false, nullptr);  // the key and its first level of subkeys
    failures = std::move(walk.failures);
    Progress(1, 1, 1, 2);
  } else {
    // Each registry call waits on the system far longer than it computes:
    // the parts of the branch are read side by side, each into a writer of
    // its own, and joined in order, so the file is the one a walk in
    // sequence would give.
    const String top = key.Path();
    key.Close();
    std::vector<TBranchPart> parts;
    PlanBranchParts(Root, top, parts);
    const uint32_t count = static_cast<uint32_t>(parts.size());
    std::vector<TRegFileWriter> got(parts.size(), TRegFileWriter(*this));
    std::vector<TReadFailures> partFailures(parts.size());
    std::vector<std::exception_ptr> errors(parts.size());
    TPartRunner runner(parts.size(), [&](size_t i) {
      try {
        TRegKey part;
        if (!part.OpenReadOnly(parts[i].Root, parts[i].Path)) {
          partFailures[i].OpenFailed(RootHandle(parts[i].Root), parts[i].Path, RootName + L"\\" + parts[i].Path,
                                     part.LastError());
          return;
        }
        TWalk walk{got[i], Root, RootName, StopRequested};
        walk.Key(part, parts[i].Whole, true, parts[i].Above.get());
        partFailures[i] = std::move(walk.failures);
      } catch (...) {
        errors[i] = std::current_exception();
      }
    });
    for (size_t i = 0; i < parts.size(); ++i) {
      if (StopRequested) {
        runner.Stop();
        return false;
      }
      runner.WaitFor(i);
      if (errors[i]) std::rethrow_exception(errors[i]);
      Writer.Append(std::move(got[i]));
      failures.Append(std::move(partFailures[i]));
      Progress(static_cast<uint32_t>(i + 1), 1, count, 2);
    }
  }
  if (StopRequested) return false;
  if (failures.Count) {
    if (!Unread) throw ERegistryException(failures.Text());
    *Unread = failures.Count;
    if (UnreadText) *UnreadText = failures.Text();
  }
  return true;
}

TRegExportResult TIORegistry::_DoExportRegistryKey(TRegRoot Root, const String& RootName, const String& KeyPath,
                                                   const String& FileName, bool IncludeSubKeys) {
  TStopReset reset{StopRequested};
  TRegFileWriter writer(*this);
  // A failure after keys were read: what was read is written, then reported.
  String failure;
  bool failed = false;
  TRegExportResult result;
  try {
    if (!_GetKeyList(Root, RootName, KeyPath, IncludeSubKeys, writer, &result.UnreadKeys, &failure)) {
      result.Stopped = true;
      Progress(0, 0, 0, 0);
      return result;
    }
  } catch (const ERegistryException& e) {
    if (writer.KeyCount() == 0) throw;
    failure = e.Message();
    failed = true;
  }
  if (StopRequested) {
    result.Stopped = true;
    Progress(0, 0, 0, 0);
    return result;
  }
  Progress(1, 2, 1, 2);
  if (!FileName.empty() && ExportDestination == eiFile) {
    WriteFileBytes(FileName, writer.Render());
  } else {
    for (const String& line : writer.RenderLines()) RegistryData.Add(line);
  }
  Progress(0, 0, 0, 0);
  result.Keys = writer.KeyCount();
  result.Values = writer.ValueCount();
  result.Unicode = writer.NeedsUnicode();
  result.LeftOutKeys = writer.UnwritableKeys();
  result.LeftOutValues = writer.Unwritable() - writer.UnwritableKeys();
  result.GainNul = writer.GainsNul();
  result.Notes = ExportNotes(writer);
  if (!failure.empty()) {
    const String text = result.Notes.empty() ? failure : failure + L"\n\n" + result.Notes;
    if (failed) throw ERegistryException(text);
    throw ERegExportIncomplete(text, result);
  }
  return result;
}

TRegExportResult TIORegistry::ExportRegistry(const String& RootName, const String& KeyPath, const String& FileName,
                                             bool IncludeSubKeys) {
  // A name that is no root key is refused: exporting another root under
  // that name would write a wrong file.
  const TRegRoot root = RootOfFullName(RootName);
  if (root == RegRoot::None) {
    StopRequested = false;
    throw ERegistryException(L"Unknown root key: " + RootName);
  }
  return _DoExportRegistryKey(root, _GetHKEYKeyAsString(root), KeyPath, FileName, IncludeSubKeys);
}

TRegExportResult TIORegistry::ExportRegistry() {
  return ExportRegistry(_ExtractRootKey(RootKey), KeyToGet, Filename, IncludeSubKeys);
}

// ---------------------------------------------------------------------------
// Import.

namespace {

// True when the bytes hold characters beyond ASCII and every one of them
// is a well-formed UTF-8 sequence (no overlong form, no surrogate, nothing
// above U+10FFFF): such a file is UTF-8 text. ANSI text beyond ASCII
// hardly ever reads so; a file of ASCII alone is the same in both.
bool IsUtf8BeyondAscii(const std::string& Bytes) {
  bool beyond = false;
  const size_t n = Bytes.size();
  for (size_t i = 0; i < n;) {
    const auto b = static_cast<unsigned char>(Bytes[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    size_t len;
    uint32_t cp;
    if (b >= 0xC2 && b <= 0xDF) len = 2, cp = b & 0x1F;
    else if (b >= 0xE0 && b <= 0xEF) len = 3, cp = b & 0x0F;
    else if (b >= 0xF0 && b <= 0xF4) len = 4, cp = b & 0x07;
    else return false;
    if (i + len > n) return false;
    for (size_t k = 1; k < len; ++k) {
      const auto c = static_cast<unsigned char>(Bytes[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    beyond = true;
    i += len;
  }
  return beyond;
}

}  // namespace

TRegImportResult TIORegistry::ImportRegistry(const String& FileName, bool) {
  if (ImportSource == eiProperty) {
    std::vector<String> lines;
    lines.reserve(static_cast<size_t>(RegistryData.GetCount()));
    for (int i = 0; i < RegistryData.GetCount(); ++i) lines.push_back(RegistryData.Get(i));
    // Lines a caller gives need no header: a header in them still tells
    // ANSI from Unicode text data.
    return _DoImportRegistryKey(lines, false, false);
  }
  if (!FileExists(FileName)) {
    StopRequested = false;
    throw EFOpenError(L"File \"" + FileName + L"\" not found.");
  }
  const std::string bytes = ReadFileBytes(FileName);
  // A UTF-8 file would read as ANSI text, its characters beyond ASCII
  // turned into others: refused, and said so. It is told by its
  // byte-order mark, or without one by its bytes beyond ASCII, all of
  // which are UTF-8 sequences.
  const bool marked = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
  if ((marked || IsUtf8BeyondAscii(bytes)) && HasRegFileHeader(DecodeTextLines(bytes.substr(marked ? 3 : 0)), *this)) {
    StopRequested = false;
    throw EUtf8RegistryFile(String(L"This registry file is UTF-8 text (") +
                            (marked ? L"it begins with the UTF-8 byte-order mark" : L"its characters beyond ASCII are UTF-8") +
                            L"). Zembrio reads Unicode (UTF-16) and ANSI registry files: save the file in one of these "
                            L"encodings and import it again.  The registry was left as it was.");
  }
  bool unicode = false;
  const std::vector<String> lines = DecodeTextLines(bytes, &unicode);
  return ImportLines(lines, unicode);
}

TRegImportResult TIORegistry::ImportLines(const std::vector<String>& Lines, bool Unicode) {
  return _DoImportRegistryKey(Lines, Unicode, true);
}

TRegImportResult TIORegistry::_DoImportRegistryKey(const std::vector<String>& Lines, bool Unicode, bool FileLines) {
  TStopReset reset{StopRequested};
  if (FileLines && !HasRegFileHeader(Lines, *this))
    throw ENotRegistryFile(L"This is not a registry file: its first line is neither \"" + RegHeader +
                           L"\" nor \"" + RegHeader5 + L"\".  The registry was left as it was.");
  // Progress in two halves: the lines read, then the keys and values
  // written (of all lines, which hold at least one line for each). Reading
  // and writing overlap; the reports come one at a time.
  const uint32_t total = static_cast<uint32_t>(Lines.size());
  TRegistrySink sink(StopRequested, [this, total](size_t Written) {
    Progress(static_cast<uint32_t>(std::min<size_t>(Written, total)), 2, total, 2);
  });
  TRegImportOptions options;
  options.Format = *this;
  options.Progress = [this, &sink](size_t Done, size_t Total) {
    sink.InTurn([&] { Progress(static_cast<uint32_t>(Done), 1, static_cast<uint32_t>(Total), 2); });
    return !StopRequested.load();
  };
  TRegImportResult result = ImportRegLines(Lines, sink, Unicode, options);
  if (!StopRequested) sink.InTurn([&] { Progress(total, 1, total, 2); });  // every line read
  sink.Finish();
  if (sink.Stopped() || result.Stopped) {
    // Stopped while reading or writing: the lines before the first one
    // left unwritten are in the registry, and the counts are those written
    // (a writer may have gone on a little beyond that line).
    result.Stopped = true;
    if (sink.Stopped()) {
      result.LinesRead = std::min(result.LinesRead, static_cast<int>(sink.FirstUnwritten()));
      result.LaterLinesWritten = sink.WroteAfterUnwritten();
    }
    result.Keys = sink.WrittenKeys();
    result.Values = sink.WrittenValues();
    Progress(0, 0, 0, 0);
    return result;
  }
  // Keys that could not be created: their lines count as skipped.
  for (const auto& k : sink.Skipped()) {
    result.Keys -= 1;
    result.Values -= k.Values;
    result.SkippedLines += static_cast<int>(k.Lines);
    const int line = static_cast<int>(k.FirstLine) + 1;
    if (result.FirstSkippedLine == 0 || line < result.FirstSkippedLine) result.FirstSkippedLine = line;
  }
  Progress(0, 0, 0, 0);
  return result;
}

// ---------------------------------------------------------------------------
// Compare.

namespace {

bool IsKeyLine(const String& Line, wchar_t RootStart) { return !Line.empty() && Line[0] == RootStart; }

// Lines by their upper-case text, for the matching that ignores letter case.
String MatchKey(const String& Line) { return AnsiUpperCase(Line); }

// A key's block in Lines: its line (the first one that matches, ignoring
// case) and the lines after it up to the next empty line, the next key
// line or the end.
class TBlocks {
 public:
  TBlocks(const TStrings& Lines, wchar_t RootStart) : lines_(Lines), rootStart_(RootStart) {
    for (int i = Lines.GetCount() - 1; i >= 0; --i) first_[MatchKey(Lines.Get(i))] = i;
  }
  std::vector<String> Block(const String& Line) const {
    std::vector<String> out;
    auto it = first_.find(MatchKey(Line));
    if (it == first_.end()) return out;
    out.push_back(lines_.Get(it->second));
    for (int i = it->second + 1; i < lines_.GetCount(); ++i) {
      String l = lines_.Get(i);
      if (l.empty() || IsKeyLine(l, rootStart_)) break;
      out.push_back(std::move(l));
    }
    return out;
  }

 private:
  const TStrings& lines_;
  wchar_t rootStart_;
  std::unordered_map<String, int> first_;
};

}  // namespace

std::vector<String> TIORegistry::_getKeyListToCompare(const TStrings& Lines, uint32_t Level) {
  std::vector<String> kept;
  const uint32_t count = static_cast<uint32_t>(Lines.GetCount());
  TMessagePump pump;
  for (uint32_t i = 0; i < count; ++i) {
    String l = Lines.Get(static_cast<int>(i));
    if (l.empty() || IsKeyLine(l, RootStart)) kept.push_back(std::move(l));
    Progress(i + 1, Level, count, 7);
    pump.Poll();
  }
  return kept;
}

bool TIORegistry::_CompareTwoRegFiles(const TStrings& First, const TStrings& Second) {
  NewKeyList.Clear();
  DeletedKeyList.Clear();
  ExistingKeyList.Clear();
  std::vector<String> first = _getKeyListToCompare(First, 1);
  std::vector<String> second = _getKeyListToCompare(Second, 2);

  // Lines of the first copy that the second also holds (one occurrence
  // each, the earliest left) go to both; the rest to first-only; what the
  // second keeps is second-only.
  std::unordered_map<String, std::deque<size_t>> inSecond;
  for (size_t i = 0; i < second.size(); ++i) inSecond[MatchKey(second[i])].push_back(i);
  std::vector<char> taken(second.size(), 0);
  std::vector<String> both, firstOnly, secondOnly;
  const uint32_t firstCount = static_cast<uint32_t>(first.size());
  for (uint32_t i = 0; i < firstCount; ++i) {
    auto it = inSecond.find(MatchKey(first[i]));
    if (it != inSecond.end() && !it->second.empty()) {
      taken[it->second.front()] = 1;
      it->second.pop_front();
      both.push_back(first[i]);
    } else {
      firstOnly.push_back(first[i]);
    }
    Progress(i + 1, 3, firstCount, 7);
  }
  for (size_t i = 0; i < second.size(); ++i)
    if (!taken[i]) secondOnly.push_back(second[i]);

  const TBlocks firstBlocks(First, RootStart), secondBlocks(Second, RootStart);
  std::vector<String> added, removed, changed;
  auto copyBlocks = [this](const std::vector<String>& Keys, const TBlocks& Blocks, uint32_t Level,
                           std::vector<String>& Out) {
    const uint32_t n = static_cast<uint32_t>(Keys.size());
    for (uint32_t i = 0; i < n; ++i) {
      for (String& l : Blocks.Block(Keys[i])) Out.push_back(std::move(l));
      Progress(i + 1, Level, n, 7);
    }
  };
  copyBlocks(firstOnly, firstBlocks, 4, added);
  copyBlocks(secondOnly, secondBlocks, 5, removed);

  // Per key of both: the data lines only the second holds (removed), then
  // those only the first holds (added), under the key line. Lines that
  // changed show as one of each, whatever the counts.
  const uint32_t bothCount = static_cast<uint32_t>(both.size());
  for (uint32_t i = 0; i < bothCount; ++i) {
    const std::vector<String> a = firstBlocks.Block(both[i]), b = secondBlocks.Block(both[i]);
    std::unordered_map<String, int> inA, inB;
    for (size_t k = 1; k < a.size(); ++k) ++inA[MatchKey(a[k])];
    for (size_t k = 1; k < b.size(); ++k) ++inB[MatchKey(b[k])];
    bool keyWritten = false;
    auto list = [&](const std::vector<String>& From, const std::unordered_map<String, int>& Other,
                    const String& Prefix) {
      for (size_t k = 1; k < From.size(); ++k) {
        if (Other.count(MatchKey(From[k]))) continue;
        if (!keyWritten) {
          changed.push_back(both[i]);
          keyWritten = true;
        }
        changed.push_back(Prefix + From[k]);
      }
    };
    if (!a.empty() && !b.empty()) {
      list(b, inA, RemovedPrefix);
      list(a, inB, AddedPrefix);
    }
    Progress(i + 1, 6, bothCount, 7);
  }

  auto fill = [this](TStringList& List, const std::vector<String>& Lines) {
    List.BeginUpdate();
    List.Add(RegHeader);
    for (const String& l : Lines) List.Add(l);
    List.EndUpdate();
  };
  fill(NewKeyList, added);
  Progress(1, 7, 4, 7);
  fill(DeletedKeyList, removed);
  Progress(2, 7, 4, 7);
  fill(ExistingKeyList, changed);
  Progress(3, 7, 4, 7);
  Progress(4, 7, 4, 7);
  TMessagePump::Run();
  Progress(0, 0, 0, 0);
  return true;
}

bool TIORegistry::CompareRegFiles(const TStrings& First, const TStrings& Second) {
  try {
    return _CompareTwoRegFiles(First, Second);
  } catch (...) {
    return false;
  }
}

// ---------------------------------------------------------------------------
// Form streaming.

namespace {
// A character property stored as a text of that one character.
void CharProperty(TFiler* Filer, const wchar_t* Name, wchar_t& Value, wchar_t Base) {
  PropFiler::Text(Filer, Name, String(1, Value), String(1, Base), [&Value, Name](const String& V) {
    if (V.size() != 1) throw EReadError(String(L"Invalid property value for ") + Name + L": one character was expected");
    Value = V[0];
  });
}
}  // namespace

void TIORegistry::DefineProperties(TFiler* Filer) {
  TComponent::DefineProperties(Filer);
  // Without an ancestor the base is what the constructor sets.
  const TIORegistry fresh;
  const auto* a = dynamic_cast<TIORegistry*>(Filer->GetAncestor());
  const TIORegistry& b = a ? *a : fresh;
  // A list is stored when it has lines (or differs from the ancestor's).
  auto listBase = [a](TStringList TIORegistry::*List) -> TStrings* {
    return a ? &(const_cast<TIORegistry*>(a)->*List) : nullptr;
  };
  PropFiler::Lines(Filer, L"NewKeyList", &NewKeyList, listBase(&TIORegistry::NewKeyList));
  PropFiler::Lines(Filer, L"DeletedKeyList", &DeletedKeyList, listBase(&TIORegistry::DeletedKeyList));
  PropFiler::Lines(Filer, L"ExistingKeyList", &ExistingKeyList, listBase(&TIORegistry::ExistingKeyList));
  PropFiler::Text(Filer, L"RegHeader", RegHeader, b.RegHeader, [this](const String& V) { RegHeader = V; });
  CharProperty(Filer, L"DataNameValueDelim", DataNameValueDelim, b.DataNameValueDelim);
  CharProperty(Filer, L"StringStartEndChar", StringStartEndChar, b.StringStartEndChar);
  CharProperty(Filer, L"RootStart", RootStart, b.RootStart);
  CharProperty(Filer, L"RootEnd", RootEnd, b.RootEnd);
  PropFiler::Text(Filer, L"Filename", Filename, b.Filename, [this](const String& V) { Filename = V; });
  PropFiler::Enum(Filer, L"RootKey", RootKey, b.RootKey,
                  {L"rkHKEY_CLASSES_ROOT", L"rkHKEY_CURRENT_USER", L"rkHKEY_LOCAL_MACHINE", L"rkHKEY_USERS",
                   L"rkHKEY_CURRENT_CONFIG", L"rkHKEY_DYN_DATA", L"rkNONE"},
                  [this](int V) { RootKey = static_cast<TRootKeys>(V); });
  PropFiler::Text(Filer, L"HexIntPrefix", HexIntPrefix, b.HexIntPrefix, [this](const String& V) { HexIntPrefix = V; });
  PropFiler::Text(Filer, L"BinaryPrefix", BinaryPrefix, b.BinaryPrefix, [this](const String& V) { BinaryPrefix = V; });
  PropFiler::Text(Filer, L"ExpStringPrefix", ExpStringPrefix, b.ExpStringPrefix,
                  [this](const String& V) { ExpStringPrefix = V; });
  CharProperty(Filer, L"KeyLevelDelim", KeyLevelDelim, b.KeyLevelDelim);
  PropFiler::Boolean(Filer, L"IncludeSubKeys", IncludeSubKeys, b.IncludeSubKeys,
                     [this](bool V) { IncludeSubKeys = V; });
  PropFiler::Text(Filer, L"KeyToGet", KeyToGet, b.KeyToGet, [this](const String& V) { KeyToGet = V; });
  const PropFiler::TNames sources = {L"eiFile", L"eiProperty"};
  PropFiler::Enum(Filer, L"ExportDestination", ExportDestination, b.ExportDestination, sources,
                  [this](int V) { ExportDestination = static_cast<TExpImpSource>(V); });
  PropFiler::Enum(Filer, L"ImportSource", ImportSource, b.ImportSource, sources,
                  [this](int V) { ImportSource = static_cast<TExpImpSource>(V); });
  PropFiler::Lines(Filer, L"RegistryData", &RegistryData, listBase(&TIORegistry::RegistryData));
  PropFiler::Text(Filer, L"RemovedPrefix", RemovedPrefix, b.RemovedPrefix,
                  [this](const String& V) { RemovedPrefix = V; });
  PropFiler::Text(Filer, L"AddedPrefix", AddedPrefix, b.AddedPrefix, [this](const String& V) { AddedPrefix = V; });
  PropFiler::Event(Filer, L"OnProgressChange", OnProgressChange, a ? &a->OnProgressChange : nullptr);
}

void TIORegistry::Register() { RegisterClass(ComponentClass<TIORegistry>(L"TIORegistry")); }

// ---------------------------------------------------------------------------
// Single values.

namespace {

// Opens Key (never creating it) on a registry object of its own.
bool OpenSingle(TRegistry& Reg, TRegRoot Root, const String& Key) {
  Reg.SetRootKey(RootHandle(Root));
  return Reg.OpenKey(L"\\" + ApiKeyPath(Key), false);
}

template <class T, class Read>
T GetSingle(TRegRoot Root, const String& Key, T Default, Read ReadIt) {
  try {
    TRegistry reg(KEY_READ);
    if (!OpenSingle(reg, Root, Key)) return Default;
    return ReadIt(reg);
  } catch (...) {
    return Default;
  }
}

template <class Write>
bool SetSingle(TRegRoot Root, const String& Key, Write WriteIt) {
  try {
    TRegistry reg(KEY_READ | KEY_WRITE);
    if (!OpenSingle(reg, Root, Key)) return false;
    WriteIt(reg);
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

int TIORegistry::GetRegistryValue(const String& Key, const String& Name, int Default) {
  return GetSingle(SingleValueRoot(), Key, Default, [&](TRegistry& R) {
    if (!R.ValueExists(Name)) return Default;
    return R.ReadInteger(Name);
  });
}

bool TIORegistry::GetRegistryValue(const String& Key, const String& Name, bool Default) {
  return GetSingle(SingleValueRoot(), Key, Default, [&](TRegistry& R) {
    if (!R.ValueExists(Name)) return Default;
    return R.ReadInteger(Name) != 0;
  });
}

String TIORegistry::GetRegistryValue(const String& Key, const String& Name, const String& Default) {
  return GetSingle(SingleValueRoot(), Key, Default, [&](TRegistry& R) {
    if (!R.ValueExists(Name)) return Default;
    return R.ReadString(Name);
  });
}

bool TIORegistry::SetRegistryValue(const String& Key, const String& Name, int Value) {
  return SetSingle(SingleValueRoot(), Key, [&](TRegistry& R) { R.WriteInteger(Name, Value); });
}

bool TIORegistry::SetRegistryValue(const String& Key, const String& Name, bool Value) {
  return SetSingle(SingleValueRoot(), Key, [&](TRegistry& R) { R.WriteInteger(Name, Value ? 1 : 0); });
}

bool TIORegistry::SetRegistryValue(const String& Key, const String& Name, const String& Value) {
  return SetSingle(SingleValueRoot(), Key, [&](TRegistry& R) { R.WriteString(Name, Value); });
}
