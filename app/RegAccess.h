// Thin, fast registry access for the walks of the search and the export
// and for applying imports: one handle per object, opened without creation
// unless asked, raw types and bytes, relative opens below an open key.
// Windows only. (Single-value work goes through the class library's
// TRegistry.)
#pragma once

#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/RegRoots.h"
#include "classlib/SysUtils.h"

#if __has_include("classlib/Registry.h") && __has_include("classlib/IniFiles.h")
#include "classlib/Registry.h"
#else
ZEMBRIO_DECLARE_EXCEPTION(ERegistryException, Exception)
#endif

inline HKEY ToHKEY(TRegRoot r) { return reinterpret_cast<HKEY>(r); }

// What one RegQueryInfoKeyW call tells about a key: enough to size the name
// and data buffers of both enumerations once.
struct TKeyCounts {
  DWORD SubKeys = 0;
  DWORD MaxSubKeyLen = 0;     // characters, without the terminator
  DWORD Values = 0;
  DWORD MaxValueNameLen = 0;  // characters, without the terminator
  DWORD MaxValueLen = 0;      // bytes
};

class TRegKey {
 public:
  TRegKey() = default;
  TRegKey(const TRegKey&) = delete;
  TRegKey& operator=(const TRegKey&) = delete;
  ~TRegKey() { Close(); }

  // Opens the key Path (with or without backslashes at its ends; empty for
  // the root key itself) below Root. Returns false and keeps the system's
  // error code when it can't.
  bool Open(TRegRoot Root, const String& Path, REGSAM Access = KEY_READ | KEY_WRITE);
  bool OpenReadOnly(TRegRoot Root, const String& Path) { return Open(Root, Path, KEY_READ); }
  // Opens the key, creating it and the missing keys on the way.
  bool Create(TRegRoot Root, const String& Path);
  // Opens a subkey of this key (read-only unless Access says otherwise).
  bool OpenSub(const TRegKey& Parent, const String& Name, REGSAM Access = KEY_READ);
  void Close();
  bool IsOpen() const { return key_ != nullptr; }
  // Hands the open handle to the caller, who closes it; the object is closed.
  HKEY Detach() {
    HKEY k = key_;
    key_ = nullptr;
    return k;
  }
  HKEY Handle() const { return key_; }
  LONG LastError() const { return lastError_; }
  TRegRoot Root() const { return root_; }
  const String& Path() const { return path_; }  // without leading backslash

  // Enumerations in the registry's order; raise ERegistryException when the
  // key can't be enumerated.
  std::vector<String> KeyNames() const;
  // The same with the counts already queried (no second info query).
  std::vector<String> KeyNames(const TKeyCounts& Info) const;
  // One combined info query; false when the key can't be queried.
  bool QueryInfo(TKeyCounts& Info) const;
  std::vector<String> ValueNames() const;
  bool HasSubKeys() const;
  bool ValueExists(const String& Name) const;
  bool KeyExists(const String& SubPath) const;
  // Reads a value's type and bytes; false when there is no such value.
  bool ReadValue(const String& Name, DWORD& Type, std::string& Data) const;
  // Writes a value; raises ERegistryException "Failed to set data for '%s'".
  void WriteValue(const String& Name, DWORD Type, const std::string& Data);
  void WriteString(const String& Name, const String& Text, DWORD Type = REG_SZ);
  void WriteDword(const String& Name, uint32_t Value);
  bool DeleteValue(const String& Name);

 private:
  HKEY key_ = nullptr;
  TRegRoot root_ = 0;
  String path_;
  LONG lastError_ = 0;
};

// True when the key exists (opens it read-only).
bool RegKeyExists(TRegRoot Root, const String& Path);
// Deletes a key with everything below it. Raises ERegistryException when
// any part can't be deleted. A root key (empty path) is refused.
void RegDeleteBranch(TRegRoot Root, const String& Path);

// A lock and a condition variable over the system's slim lock and condition
// variable. The C++ library's are built on semaphores here, and under Wine
// every wait and wake on those is a round trip to the system's server (about
// ten times the cost); these wait and wake without one.
class TSlimLock {
 public:
  void lock() { AcquireSRWLockExclusive(&lock_); }
  void unlock() { ReleaseSRWLockExclusive(&lock_); }
  SRWLOCK* Handle() { return &lock_; }

 private:
  SRWLOCK lock_ = SRWLOCK_INIT;
};

class TSlimCondition {
 public:
  template <class Pred>
  void Wait(std::unique_lock<TSlimLock>& Held, Pred Ready) {
    while (!Ready()) SleepConditionVariableSRW(&cond_, Held.mutex()->Handle(), INFINITE, 0);
  }
  void NotifyOne() { WakeConditionVariable(&cond_); }
  void NotifyAll() { WakeAllConditionVariable(&cond_); }

 private:
  CONDITION_VARIABLE cond_ = CONDITION_VARIABLE_INIT;
};

// A branch read side by side: each registry call waits on the system far
// longer than it computes, so several threads reading different keys finish
// in about the time of one. The branch is cut into parts in the order of a
// depth-first walk: the keys of its top levels on their own (their line,
// values and names), and whole subtrees below them.
struct TBranchPart {
  TRegRoot Root = 0;
  String Path;  // below the root, no backslashes at its ends
  bool Whole = false;  // the subtree; else the key alone, its subkeys being parts of their own
};

// Appends the parts of the branch Path below Root in walk order: the top
// levels are opened and listed here until there are enough parts. A key
// that can't be opened or listed stays a whole part (whoever reads it
// finds that out). Empty subkey names are left out.
void PlanBranchParts(TRegRoot Root, const String& Path, std::vector<TBranchPart>& Parts);

// Runs Work(i) for every part index on a few threads, taking the parts in
// order; WaitFor(i) waits for part i. The threads run at most Ahead parts
// beyond the last part waited for, so what the parts collect is held for a
// bounded stretch only. Work must not throw. Without threads (none could
// start) WaitFor runs the parts itself. The destructor stops and waits for
// the threads.
class TPartRunner {
 public:
  TPartRunner(size_t Count, std::function<void(size_t)> Work, unsigned Threads = 4, bool LowerPriority = false,
              size_t Ahead = 64);
  ~TPartRunner();
  TPartRunner(const TPartRunner&) = delete;
  TPartRunner& operator=(const TPartRunner&) = delete;

  // True once part i is done; false when the runner was stopped before the
  // part was taken.
  bool WaitFor(size_t i);
  // No part is taken after this; those under way finish.
  void Stop();

 private:
  void Run();
  size_t count_;
  std::function<void(size_t)> work_;
  TSlimLock lock_;
  TSlimCondition changed_;
  std::vector<char> done_;
  size_t next_ = 0;
  size_t waited_ = 0;  // the highest part waited for
  size_t ahead_;
  unsigned active_ = 0;
  bool stopped_ = false;
  bool lower_ = false;
  std::vector<std::thread> threads_;
};
