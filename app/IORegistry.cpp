#include "app/IORegistry.h"

#include "app/Bookmarks.h"
#include "app/RegAccess.h"

#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <exception>
#include <mutex>
#include <thread>

namespace {

TRegRoot RootOfFullName(const String& Name) {
  if (Name.empty()) return RegRoot::CurrentUser;
  const String up = AnsiUpperCase(Name);
  for (const auto& e : RootKeyTable)
    if (up == e.FullName) return e.Root;
  return RegRoot::None;
}

struct TWalk {
  TRegFileWriter& writer;
  String rootName;
  size_t unreadable = 0;
  std::wstring name;
  std::string data;

  void Values(const TRegKey& key, const TKeyCounts& info) {
    if (info.Values == 0) return;
    if (name.size() < info.MaxValueNameLen + 2) name.resize(info.MaxValueNameLen + 2);
    if (data.size() < info.MaxValueLen + 2) data.resize(info.MaxValueLen + 2);
    // Counted by the info query; values removed meanwhile end the list early,
    // a name or data that grew meanwhile gets bigger buffers and is read again.
    for (DWORD i = 0; i < info.Values;) {
      DWORD nlen = static_cast<DWORD>(name.size()), dlen = static_cast<DWORD>(data.size()), type = 0;
      const LONG rc = RegEnumValueW(key.Handle(), i, name.data(), &nlen, nullptr, &type,
                                    reinterpret_cast<BYTE*>(data.data()), &dlen);
      if (rc == ERROR_NO_MORE_ITEMS) break;
      if (rc == ERROR_MORE_DATA) {
        name.resize(name.size() * 2 + 256);
        data.resize(data.size() * 2 + 1024);
        continue;
      }
      if (rc != ERROR_SUCCESS) {
        ++unreadable;
        break;
      }
      writer.AddValue(String(name.data(), nlen), type, std::string(data.data(), dlen));
      ++i;
    }
  }

  // The key's line and values, then (Recurse) its subkeys, down to the
  // last level when Deep.
  void Key(const TRegKey& key, bool Recurse, bool Deep) {
    writer.AddKey(rootName, key.Path());
    // One info query sizes both enumerations.
    TKeyCounts info;
    if (!key.QueryInfo(info)) {
      ++unreadable;
      return;
    }
    Values(key, info);
    if (!Recurse || info.SubKeys == 0) return;
    std::vector<String> subs;
    try {
      subs = key.KeyNames(info);
    } catch (const ERegistryException&) {
      ++unreadable;
      return;
    }
    for (const auto& s : subs) {
      TRegKey sub;
      if (!sub.OpenSub(key, s, KEY_READ)) {
        ++unreadable;
        continue;
      }
      Key(sub, Deep, Deep);
    }
  }
};

// Reads the parts of a branch side by side into Writer, in order (each
// part into a writer of its own, joined afterwards, so the file is the one
// a walk in sequence would give); returns the count of keys and value lists
// that couldn't be read.
size_t ReadBranchParts(const String& RootName, const std::vector<TBranchPart>& Parts, TRegFileWriter& Writer) {
  std::vector<TRegFileWriter> got(Parts.size());
  std::vector<size_t> unreadable(Parts.size(), 0);
  std::vector<std::exception_ptr> failures(Parts.size());
  {
    TPartRunner runner(Parts.size(), [&](size_t i) {
      try {
        TRegKey key;
        if (!key.OpenReadOnly(Parts[i].Root, Parts[i].Path)) {
          unreadable[i] = 1;
          return;
        }
        TWalk walk{got[i], RootName};
        walk.Key(key, Parts[i].Whole, true);
        unreadable[i] = walk.unreadable;
      } catch (...) {
        failures[i] = std::current_exception();
      }
    });
    for (size_t i = 0; i < Parts.size(); ++i) runner.WaitFor(i);
  }
  size_t total = 0;
  for (size_t i = 0; i < Parts.size(); ++i) {
    if (failures[i]) std::rethrow_exception(failures[i]);
    Writer.Append(std::move(got[i]));
    total += unreadable[i];
  }
  return total;
}

// Applies an import. Keys are opened (created) here, in file order, so a
// key that can't be created skips its lines at once; the values of each key
// section are then written by one of several writer threads, for the same
// reason the export reads side by side. A key always goes to the same
// writer, which keeps the order of its sections; deleting a key waits for
// every writer to finish first. The first failed write stops the import
// and is raised.
class TRegistrySink : public IRegFileSink {
 public:
  TRegistrySink() {
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
    Check();
    TRegKey key;
    if (!key.Create(Root, Path)) return false;
    section_.Key = key.Detach();
    // The same key in any spelling goes to the same writer.
    String up = UIntToStr(static_cast<unsigned>(reinterpret_cast<uintptr_t>(ToHKEY(Root)) & 0xFFFF)) + L"\\" +
                ApiKeyPath(Path);
    CharUpperBuffW(up.data(), static_cast<DWORD>(up.size()));
    writer_ = std::hash<String>{}(up) % writers_.size();
    return true;
  }
  void DeleteKey(TRegRoot Root, const String& Path) override {
    Send();
    WaitIdle();
    Check();
    RegDeleteBranch(Root, Path);
  }
  void SetValue(const String& Name, uint32_t Type, const std::string& Data) override {
    section_.Ops.push_back(TOp{false, Name, Type, Data});
  }
  void DeleteValue(const String& Name) override { section_.Ops.push_back(TOp{true, Name, 0, {}}); }

  // Writes what is left and raises the first failure.
  void Finish() {
    Send();
    WaitIdle();
    Check();
  }

 private:
  static constexpr unsigned kWriters = 4;
  struct TOp {
    bool Delete;
    String Name;
    uint32_t Type;
    std::string Data;
  };
  struct TSection {
    HKEY Key = nullptr;
    std::vector<TOp> Ops;
  };
  struct TWriter {
    std::thread Thread;
    std::deque<TSection> Queue;
    TSlimCondition Wake;
    bool Sleeping = false;  // waiting on Wake for work
    bool Busy = false;      // writing a section taken from the queue
  };

  void Send() {
    if (!section_.Key) return;
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
  }
  void Check() {
    std::lock_guard<TSlimLock> hold(lock_);
    if (failure_) {
      std::exception_ptr f = failure_;
      failure_ = nullptr;
      std::rethrow_exception(f);
    }
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
      const bool skip = failed_;
      hold.unlock();
      std::exception_ptr failure;
      if (!skip) {
        for (const TOp& op : s.Ops) {
          if (op.Delete) {
            RegDeleteValueW(s.Key, op.Name.c_str());
            continue;
          }
          const LONG rc = RegSetValueExW(s.Key, op.Name.c_str(), 0, op.Type,
                                         reinterpret_cast<const BYTE*>(op.Data.data()),
                                         static_cast<DWORD>(op.Data.size()));
          if (rc != ERROR_SUCCESS) {
            failure = std::make_exception_ptr(ERegistryException(L"Failed to set data for '" + op.Name + L"'"));
            break;
          }
        }
      }
      RegCloseKey(s.Key);
      hold.lock();
      if (failure && !failed_) {
        failed_ = true;
        failure_ = failure;
      }
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
    if (section_.Key) RegCloseKey(section_.Key);
    section_ = TSection();
  }

  std::vector<std::unique_ptr<TWriter>> writers_;
  TSlimLock lock_;
  TSlimCondition idle_;
  bool waitingIdle_ = false;
  bool stopping_ = false;
  bool failed_ = false;
  std::exception_ptr failure_;
  TSection section_;
  size_t writer_ = 0;
};


}  // namespace

void TIORegistry::CollectBranch(TRegRoot Root, const String& RootName, const String& KeyPath, bool IncludeSubKeys,
                                TRegFileWriter& Writer) {
  TRegKey key;
  if (!key.OpenReadOnly(Root, KeyPath))
    throw ERegistryException(L"Unable to open the key to export.  The key may have been deleted or renamed by "
                             L"another process or application.\n\nKey: " + RootName + L"\\" + ApiKeyPath(KeyPath));
  size_t unreadable = 0;
  if (IncludeSubKeys) {
    const String top = key.Path();
    key.Close();
    std::vector<TBranchPart> parts;
    PlanBranchParts(Root, top, parts);
    unreadable = ReadBranchParts(RootName, parts, Writer);
  } else {
    TWalk walk{Writer, RootName};
    walk.Key(key, true, false);  // the key and its first level of subkeys
    unreadable = walk.unreadable;
  }
  if (unreadable)
    throw ERegistryException(L"Part of the branch could not be read (" + UIntToStr(unreadable) +
                             L" keys or value lists); the exported file is incomplete.");
}

TRegExportResult TIORegistry::ExportRegistry(const String& RootName, const String& KeyPath, const String& FileName,
                                             bool IncludeSubKeys) {
  const TRegRoot root = RootOfFullName(RootName);
  if (root == RegRoot::None) throw ERegistryException(L"Unknown root key: " + RootName);
  const String rootName = RootKeyName(root, rnmFull, false);
  TRegFileWriter writer;
  String failure;
  try {
    CollectBranch(root, rootName, KeyPath, IncludeSubKeys, writer);
  } catch (const ERegistryException& e) {
    if (writer.KeyCount() == 0) throw;
    failure = e.Message();  // write what was read, then report
  }
  WriteFileBytes(FileName, writer.Render());
  if (failure.empty() && writer.Unwritable())
    failure = UIntToStr(writer.Unwritable()) +
              L" keys or values have a line break in their name and were left out of the file.";
  if (!failure.empty()) throw ERegistryException(failure);
  return {writer.KeyCount(), writer.ValueCount(), writer.NeedsUnicode()};
}

TRegExportResult TIORegistry::ExportRegistry() {
  static const wchar_t* const names[] = {L"HKEY_CLASSES_ROOT", L"HKEY_CURRENT_USER", L"HKEY_LOCAL_MACHINE",
                                         L"HKEY_USERS",        L"HKEY_CURRENT_CONFIG", L"HKEY_DYN_DATA", L""};
  return ExportRegistry(names[RootKey], KeyToGet, Filename, IncludeSubKeys);
}

TRegImportResult TIORegistry::ImportRegistry(const String& FileName, bool) {
  if (!FileExists(FileName)) throw EFOpenError(L"File \"" + FileName + L"\" not found.");
  bool unicode = false;
  const std::vector<String> lines = DecodeTextLines(ReadFileBytes(FileName), &unicode);
  return ImportLines(lines, unicode);
}

TRegImportResult TIORegistry::ImportLines(const std::vector<String>& Lines, bool Unicode) {
  TRegistrySink sink;
  TRegImportResult result = ImportRegLines(Lines, sink, Unicode);
  sink.Finish();
  return result;
}
