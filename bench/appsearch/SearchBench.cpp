// The editor's search, export and import on a generated branch of about
// 20,000 keys and 100,000 values, in one run:
//  - a substring search over key names, value names and string data by the
//    real search thread, from its start to its finish report, against a raw
//    walk of the same branch through the registry API with the same rule;
//    the same over the whole registry (every root key) against a raw walk
//    of every root key;
//  - export of the branch to a registry file against Wine's "regedit /e";
//  - import of that file against "regedit /s" (the branch deleted before
//    each import, the counts checked after it).
// Our export and import run as the editor runs them: on a worker thread
// while this (the window) thread handles its messages.
// Each figure is ours over theirs; below 1 means ours is faster.
// ZEMBRIO_BENCH_DETAIL=1 adds a breakdown of where the time goes after the
// figures; ZEMBRIO_BENCH_DETAIL=only prints the breakdown alone.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <vector>

#include "app/Bookmarks.h"
#include "app/CommonLogic.h"
#include "app/Cvalue.h"
#include "app/IORegistry.h"
#include "app/RegAccess.h"
#include "app/SearchThread.h"

namespace {

const wchar_t* const kBench = L"Software\\ZembrioBench";
const wchar_t* const kBranch = L"Software\\ZembrioBench\\Branch";
const wchar_t* const kBranchFull = L"HKEY_CURRENT_USER\\Software\\ZembrioBench\\Branch";
// What the search looks for: found in a few key names, a few value names
// and some string data, so that reports don't drown the walk.
const wchar_t* const kNeedle = L"zeta";

constexpr int kVendors = 20;
constexpr int kProducts = 20;     // per vendor
constexpr int kComponents = 49;   // per product
constexpr int kValuesPerKey = 5;
constexpr int kSearchRounds = 3;
constexpr int kFileRounds = 3;

const wchar_t* const kVendorNames[] = {L"Contoso", L"Fabrikam", L"Northwind", L"Litware", L"Adventure Works",
                                       L"Tailspin", L"Wingtip", L"Proseware", L"Lucerne", L"Coho Vineyard",
                                       L"Alpine Ski", L"Blue Yonder", L"Trey Research", L"Margie", L"Humongous",
                                       L"Woodgrove", L"Fourth Coffee", L"Graphic Design", L"Zeta Systems",
                                       L"Wide World"};
const wchar_t* const kProductWords[] = {L"Office", L"Studio", L"Player", L"Backup", L"Viewer",
                                        L"Designer", L"Manager", L"Toolkit", L"Server", L"Client"};
const wchar_t* const kComponentWords[] = {L"Settings", L"Plugins", L"Recent", L"Windows", L"Toolbars",
                                          L"Filters", L"Codecs", L"Profiles", L"Layout", L"Cache",
                                          L"Updates", L"Licenses", L"Fonts"};

struct TCounts {
  size_t keys = 0, values = 0, hits = 0;
};

double Ms(const std::function<void()>& f) {
  auto t = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

[[noreturn]] void Fail(const char* what) { throw std::runtime_error(what); }

void DeleteBranch() {
  LONG rc = RegDeleteTreeW(HKEY_CURRENT_USER, kBranch);
  if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) Fail("could not delete the branch");
}

// Deletes the whole bench key however the run ends.
struct TCleanup {
  std::vector<String> files;
  ~TCleanup() {
    RegDeleteTreeW(HKEY_CURRENT_USER, kBench);
    RegDeleteKeyW(HKEY_CURRENT_USER, kBench);
    for (const auto& f : files) DeleteFileW(f.c_str());
  }
};

void SetSz(HKEY k, const wchar_t* name, DWORD type, const String& text) {
  if (RegSetValueExW(k, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
    Fail("could not write a value");
}

// Five values of a key: a display name, an install path (expandable), a
// version number, a flags blob and a description.
void FillKey(HKEY k, const String& label, int n) {
  SetSz(k, L"DisplayName", REG_SZ, label);
  SetSz(k, L"InstallLocation", REG_EXPAND_SZ, L"%ProgramFiles%\\" + label + L"\\bin");
  DWORD ver = 0x00010000u + static_cast<DWORD>(n);
  if (RegSetValueExW(k, L"Version", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&ver), sizeof ver) != ERROR_SUCCESS)
    Fail("could not write a value");
  BYTE blob[16];
  for (int i = 0; i < 16; ++i) blob[i] = static_cast<BYTE>(n * 7 + i);
  if (RegSetValueExW(k, L"Flags", 0, REG_BINARY, blob, sizeof blob) != ERROR_SUCCESS) Fail("could not write a value");
  // Every 97th description mentions the needle; every 1000th key has a
  // value named after it.
  String desc = (n % 97 == 0) ? L"Uses the Zeta runtime, build " : L"Component of " + label + L", build ";
  desc += std::to_wstring(n);
  SetSz(k, n % 1000 == 0 ? L"ZetaNotes" : L"Description", REG_SZ, desc);
}

HKEY CreateSub(HKEY parent, const String& name) {
  HKEY k = nullptr;
  if (RegCreateKeyExW(parent, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) != ERROR_SUCCESS)
    Fail("could not create a key");
  return k;
}

TCounts Generate() {
  DeleteBranch();
  TCounts c;
  int n = 0;
  HKEY root = CreateSub(HKEY_CURRENT_USER, kBranch);
  FillKey(root, L"Branch", n++);
  ++c.keys;
  for (int v = 0; v < kVendors; ++v) {
    const String vendor = kVendorNames[v];
    HKEY kv = CreateSub(root, vendor);
    FillKey(kv, vendor, n++);
    ++c.keys;
    for (int p = 0; p < kProducts; ++p) {
      const String product = String(kProductWords[p % 10]) + L" " + std::to_wstring(2000 + p);
      HKEY kp = CreateSub(kv, product);
      FillKey(kp, vendor + L" " + product, n++);
      ++c.keys;
      for (int m = 0; m < kComponents; ++m) {
        const String comp = String(kComponentWords[m % 13]) + std::to_wstring(m);
        HKEY km = CreateSub(kp, comp);
        FillKey(km, product + L" " + comp, n++);
        ++c.keys;
        RegCloseKey(km);
      }
      RegCloseKey(kp);
    }
    RegCloseKey(kv);
  }
  RegCloseKey(root);
  c.values = c.keys * kValuesPerKey;
  return c;
}

// The raw walk: every key opened and enumerated, its values read with their
// data, key names, value names and string data upper-cased in place and
// searched for the upper-cased needle.
struct TRawWalk {
  std::wstring needle;
  std::vector<wchar_t> name = std::vector<wchar_t>(512);
  std::vector<BYTE> data = std::vector<BYTE>(4096);
  TCounts c;

  bool Hit(wchar_t* text, size_t len) {
    if (len == 0) return false;
    CharUpperBuffW(text, static_cast<DWORD>(len));
    return std::wstring_view(text, len).find(needle) != std::wstring_view::npos;
  }

  void Walk(HKEY key, wchar_t* keyName, size_t keyLen) {
    ++c.keys;
    if (Hit(keyName, keyLen)) ++c.hits;
    for (DWORD i = 0;; ++i) {
      DWORD nlen = static_cast<DWORD>(name.size()), dlen = static_cast<DWORD>(data.size()), type = 0;
      LONG rc = RegEnumValueW(key, i, name.data(), &nlen, nullptr, &type, data.data(), &dlen);
      if (rc != ERROR_SUCCESS) break;
      ++c.values;
      if (Hit(name.data(), nlen)) ++c.hits;
      if (type == REG_SZ || type == REG_EXPAND_SZ) {
        wchar_t* text = reinterpret_cast<wchar_t*>(data.data());
        size_t len = dlen / sizeof(wchar_t);
        while (len && text[len - 1] == 0) --len;
        if (Hit(text, len)) ++c.hits;
      }
    }
    wchar_t sub[256];
    for (DWORD i = 0;; ++i) {
      DWORD len = 256;
      if (RegEnumKeyExW(key, i, sub, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      HKEY k;
      if (RegOpenKeyExW(key, sub, 0, KEY_READ, &k) != ERROR_SUCCESS) continue;
      Walk(k, sub, len);
      RegCloseKey(k);
    }
  }
};

TCounts RawWalk() {
  TRawWalk w;
  w.needle = kNeedle;
  CharUpperBuffW(w.needle.data(), static_cast<DWORD>(w.needle.size()));
  HKEY k;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kBranch, 0, KEY_READ, &k) != ERROR_SUCCESS) Fail("branch missing");
  wchar_t name[] = L"Branch";
  w.Walk(k, name, 6);
  RegCloseKey(k);
  return w.c;
}

// The raw walk over every root key the search covers.
TCounts RawWalkRegistry() {
  TRawWalk w;
  w.needle = kNeedle;
  CharUpperBuffW(w.needle.data(), static_cast<DWORD>(w.needle.size()));
  for (const auto& e : RootKeyTable) {
    HKEY k;
    if (RegOpenKeyExW(RootHandle(e.Root), L"", 0, KEY_READ, &k) != ERROR_SUCCESS) continue;
    wchar_t name[] = L"";
    w.Walk(k, name, 0);
    RegCloseKey(k);
  }
  return w.c;
}

// Counts keys and values of the branch (no matching).
TCounts CountBranch() {
  TRawWalk w;
  w.needle = L"\x1";  // never found
  HKEY k;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kBranch, 0, KEY_READ, &k) != ERROR_SUCCESS) return {};
  wchar_t name[] = L"Branch";
  w.Walk(k, name, 6);
  RegCloseKey(k);
  return w.c;
}

// Our search over the subtree (or Whole, the registry), from its start to
// its finish report.
size_t OurSearch(const wchar_t* needle = kNeedle, bool values = true, bool Whole = false) {
  TSearchInput in;
  in.Text = needle;
  in.SearchType = stSubstring;
  in.Subtree = !Whole;
  in.RootKey = RegRoot::CurrentUser;
  in.StartPath = String(L"\\") + kBranch + L"\\";
  in.KeyNames = true;
  in.ValueNames = in.StringData = values;
  size_t hits = 0;
  int finished = 0;
  bool failed = false;
  TSearchEvents ev;
  ev.OnResult = [&](const TSearchHit&) { ++hits; };
  ev.OnException = [&](const Exception& e, const String&) {
    std::fwprintf(stderr, L"search failed: %ls\n", e.Message().c_str());
    failed = true;
  };
  ev.OnFinished = [&] { ++finished; };
  TthrdRegSearch search(in, ev);
  search.WaitFor();  // runs the search's reports on this (the window) thread meanwhile
  if (failed || finished != 1) Fail("the search did not finish cleanly");
  return hits;
}

// Runs Wine's regedit with the arguments and waits for it.
void Regedit(const String& args) {
  String cmd = L"regedit.exe " + args;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    Fail("could not start regedit.exe");
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  if (code != 0) Fail("regedit.exe failed");
}

String TempFile(const wchar_t* name) {
  wchar_t dir[MAX_PATH];
  GetTempPathW(MAX_PATH, dir);
  return String(dir) + name;
}

size_t FileSize(const String& f) {
  WIN32_FILE_ATTRIBUTE_DATA a{};
  if (!GetFileAttributesExW(f.c_str(), GetFileExInfoStandard, &a)) return 0;
  return a.nFileSizeLow;
}

void CheckCounts(const TCounts& want, const char* after) {
  TCounts got = CountBranch();
  if (got.keys != want.keys || got.values != want.values) {
    std::fprintf(stderr, "after %s: %zu keys, %zu values (want %zu, %zu)\n", after, got.keys, got.values, want.keys,
                 want.values);
    Fail("the branch is not what it was");
  }
}


// --- Where the time goes (ZEMBRIO_BENCH_DETAIL set): each step of our
// search, export and import on its own, and the registry calls beneath.

// The raw walk with the calls our walks add per key: a key-information
// query before the values and another before the subkeys.
struct TRawWalkInfo : TRawWalk {
  void Walk(HKEY key, wchar_t* keyName, size_t keyLen) {
    DWORD count = 0, maxName = 0, maxData = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &maxName, &maxData, nullptr,
                     nullptr);
    DWORD subs = 0, maxSub = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subs, &maxSub, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr);
    ++c.keys;
    if (Hit(keyName, keyLen)) ++c.hits;
    for (DWORD i = 0;; ++i) {
      DWORD nlen = static_cast<DWORD>(name.size()), dlen = static_cast<DWORD>(data.size()), type = 0;
      if (RegEnumValueW(key, i, name.data(), &nlen, nullptr, &type, data.data(), &dlen) != ERROR_SUCCESS) break;
      ++c.values;
    }
    wchar_t sub[256];
    for (DWORD i = 0;; ++i) {
      DWORD len = 256;
      if (RegEnumKeyExW(key, i, sub, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      HKEY k;
      if (RegOpenKeyExW(key, sub, 0, KEY_READ, &k) != ERROR_SUCCESS) continue;
      Walk(k, sub, len);
      RegCloseKey(k);
    }
  }
};

// The walk with one key-information query per key whose counts bound the
// enumerations (no closing "no more items" calls).
struct TRawWalkCounted : TRawWalk {
  void Walk(HKEY key, wchar_t* keyName, size_t keyLen) {
    DWORD subs = 0, count = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subs, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                     nullptr);
    ++c.keys;
    if (Hit(keyName, keyLen)) ++c.hits;
    for (DWORD i = 0; i < count; ++i) {
      DWORD nlen = static_cast<DWORD>(name.size()), dlen = static_cast<DWORD>(data.size()), type = 0;
      if (RegEnumValueW(key, i, name.data(), &nlen, nullptr, &type, data.data(), &dlen) != ERROR_SUCCESS) break;
      ++c.values;
    }
    wchar_t sub[256];
    for (DWORD i = 0; i < subs; ++i) {
      DWORD len = 256;
      if (RegEnumKeyExW(key, i, sub, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      HKEY k;
      if (RegOpenKeyExW(key, sub, 0, KEY_READ, &k) != ERROR_SUCCESS) continue;
      Walk(k, sub, len);
      RegCloseKey(k);
    }
  }
};

// Records the lines of an import without touching the registry.
class TNullSink : public IRegFileSink {
 public:
  bool OpenKey(TRegRoot, const String&) override { return true; }
  void DeleteKey(TRegRoot, const String&) override {}
  void SetValue(const String&, uint32_t, const std::string&) override {}
  void DeleteValue(const String&) override {}
};

// Replays an import's keys and values straight through the API.
class TRawSink : public IRegFileSink {
 public:
  ~TRawSink() override { Close(); }
  bool OpenKey(TRegRoot Root, const String& Path) override {
    Close();
    return RegCreateKeyExW(RootHandle(Root), Path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_,
                           nullptr) == ERROR_SUCCESS;
  }
  void DeleteKey(TRegRoot, const String&) override {}
  void SetValue(const String& Name, uint32_t Type, const std::string& Data) override {
    RegSetValueExW(key_, Name.c_str(), 0, Type, reinterpret_cast<const BYTE*>(Data.data()),
                   static_cast<DWORD>(Data.size()));
  }
  void DeleteValue(const String&) override {}

 private:
  void Close() {
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
  }
  HKEY key_ = nullptr;
};

// CPU time of this process (the wineserver's work is not in it), in ms.
double ProcessCpuMs() {
  FILETIME c, e, k, u;
  GetProcessTimes(GetCurrentProcess(), &c, &e, &k, &u);
  auto ms = [](const FILETIME& f) { return ((uint64_t(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 10000.0; };
  return ms(k) + ms(u);
}

// The raw walk on a thread of its own at the given priority.
void RawWalkOnThread(int priority) {
  HANDLE t = CreateThread(
      nullptr, 0, [](void*) -> DWORD { RawWalk(); return 0; }, nullptr, CREATE_SUSPENDED, nullptr);
  SetThreadPriority(t, priority);
  ResumeThread(t);
  WaitForSingleObject(t, INFINITE);
  CloseHandle(t);
}

void Detail(const TCounts& made, const String& file) {
  std::printf("detail (median of 3 interleaved rounds; wall ms / this process's CPU ms):\n");
  struct TStep {
    const char* what;
    std::function<void()> f;
    std::vector<double> wall, cpu;
  };
  TIORegistry io0;
  std::vector<TStep> steps = {
      {"raw walk", [] { RawWalk(); }},
      {"raw walk + 2 key-info queries per key",
       [] {
         TRawWalkInfo w;
         w.needle = L"\x1";
         HKEY k;
         RegOpenKeyExW(HKEY_CURRENT_USER, kBranch, 0, KEY_READ, &k);
         wchar_t name[] = L"Branch";
         w.Walk(k, name, 6);
         RegCloseKey(k);
       }},
      {"raw walk, 1 key-info query per key, counted loops",
       [] {
         TRawWalkCounted w;
         w.needle = L"\x1";
         HKEY k;
         RegOpenKeyExW(HKEY_CURRENT_USER, kBranch, 0, KEY_READ, &k);
         wchar_t name[] = L"Branch";
         w.Walk(k, name, 6);
         RegCloseKey(k);
       }},
      {"raw walk on a worker thread, normal priority", [] { RawWalkOnThread(THREAD_PRIORITY_NORMAL); }},
      {"raw walk on a worker thread, below normal", [] { RawWalkOnThread(THREAD_PRIORITY_BELOW_NORMAL); }},
      {"our search (292 hits)", [] { OurSearch(); }},
      {"our search, no hit", [] { OurSearch(L"qqqq"); }},
      {"export: walk into the writer",
       [&] {
         TRegFileWriter w;
         io0.CollectBranch(RegRoot::CurrentUser, L"HKEY_CURRENT_USER", kBranch, true, w);
       }},
  };
  for (int r = 0; r < 3; ++r)
    for (auto& s : steps) {
      double c0 = ProcessCpuMs();
      s.wall.push_back(Ms(s.f));
      s.cpu.push_back(ProcessCpuMs() - c0);
    }
  for (auto& s : steps) std::printf("  %-46s %6.0f / %5.0f\n", s.what, Median(s.wall), Median(s.cpu));

  // The per-value work of the search on data already read.
  {
    std::vector<std::string> datas;
    std::vector<String> names;
    TRegKey key;
    key.OpenReadOnly(RegRoot::CurrentUser, kBranch);
    for (int i = 0; i < 20000; ++i) {
      names.push_back(i % 2 ? L"InstallLocation" : L"DisplayName");
      datas.push_back(StringToRegBytes(L"%ProgramFiles%\\Fabrikam Office 2003\\bin"));
    }
    TSearchInput in;
    in.Text = kNeedle;
    in.SearchType = stSubstring;
    TSearchMatcher m(in);
    String err;
    m.Prepare(err);
    size_t n = 0;
    double cpu = Ms([&] {
      for (size_t i = 0; i < datas.size(); ++i) {
        std::string copy(datas[i]);
        String name(names[i]);
        n += m.Matches(name);
        n += m.Matches(RegBytesToString(copy));
      }
    });
    std::printf("  search: matching 20,000 values already read (name and data): %.1f (x5 for the branch)\n", cpu);
  }

  // Export, step by step.
  TIORegistry io;
  TRegFileWriter writer;
  double collect = Ms([&] { io.CollectBranch(RegRoot::CurrentUser, L"HKEY_CURRENT_USER", kBranch, true, writer); });
  bool uni = false;
  double needs = Ms([&] { uni = writer.NeedsUnicode(); });
  std::vector<String> lines;
  double renderLines = Ms([&] { lines = writer.RenderLines(); });
  std::string bytes;
  double render = Ms([&] { bytes = writer.Render(); });
  double write = Ms([&] { WriteFileBytes(file + L".detail", bytes); });
  DeleteFileW((file + L".detail").c_str());
  std::printf("  export: walk into the writer %.0f, NeedsUnicode %.0f (%d), RenderLines %.0f, Render %.0f, "
              "file write %.0f\n", collect, needs, uni, renderLines, render, write);

  // Import, step by step.
  std::string fileBytes;
  double read = Ms([&] { fileBytes = ReadFileBytes(file); });
  std::vector<String> in;
  bool unicode = false;
  double decode = Ms([&] { in = DecodeTextLines(fileBytes, &unicode); });
  TNullSink nul;
  double parse = Ms([&] { ImportRegLines(in, nul, unicode); });
  DeleteBranch();
  TRawSink rawSink;
  double apply = Ms([&] { ImportRegLines(in, rawSink, unicode); });
  CheckCounts(made, "the raw replay");
  DeleteBranch();
  double ourLines = Ms([&] { io.ImportLines(in, unicode); });
  CheckCounts(made, "our import of lines");
  std::printf("  import: read %.0f, decode %.0f, parse alone %.0f, parse + raw API replay %.0f, "
              "parse + our registry sink %.0f\n", read, decode, parse, apply, ourLines);
}

int Run() {
  TCleanup cleanup;
  const String ours = TempFile(L"zembrio-bench-ours.reg");
  const String theirs = TempFile(L"zembrio-bench-regedit.reg");
  const String empty = TempFile(L"zembrio-bench-empty.reg");
  cleanup.files = {ours, theirs, empty};

  TCounts made;
  const double genMs = Ms([&] { made = Generate(); });
  std::printf("branch: %zu keys, %zu values, generated in %.0f ms\n", made.keys, made.values, genMs);

  // --- Search against the raw walk, rounds interleaved.
  if (getenv("ZEMBRIO_BENCH_DETAIL") && !wcscmp(_wgetenv(L"ZEMBRIO_BENCH_DETAIL"), L"only")) {
    TIORegistry io;
    io.ExportRegistry(L"HKEY_CURRENT_USER", kBranch, ours, true);
    Detail(made, ours);
    return 0;
  }
  std::vector<double> raw, search;
  TCounts rawCounts;
  size_t ourHits = 0;
  RawWalk();  // warm the server's caches alike for both
  for (int i = 0; i < kSearchRounds; ++i) {
    raw.push_back(Ms([&] { rawCounts = RawWalk(); }));
    search.push_back(Ms([&] { ourHits = OurSearch(); }));
  }
  if (rawCounts.keys != made.keys || rawCounts.values != made.values) Fail("the raw walk missed part of the branch");
  if (ourHits != rawCounts.hits) {
    std::fprintf(stderr, "hits: ours %zu, raw %zu\n", ourHits, rawCounts.hits);
    Fail("the search and the raw walk disagree");
  }
  const double rawMs = Median(raw), searchMs = Median(search);

  // --- The whole registry (the branch among it) against the raw walk of
  // every root key, rounds interleaved.
  std::vector<double> rawAll, searchAll;
  TCounts registryCounts;
  for (int i = 0; i < kSearchRounds; ++i) {
    rawAll.push_back(Ms([&] { registryCounts = RawWalkRegistry(); }));
    searchAll.push_back(Ms([&] { OurSearch(kNeedle, true, true); }));
  }
  std::printf("registry: %zu keys, %zu values\n", registryCounts.keys, registryCounts.values);
  const double rawAllMs = Median(rawAll), searchAllMs = Median(searchAll);

  // --- Export, checked once through the component, then timed as the
  // editor runs it.
  TIORegistry io;
  const TRegExportResult res = io.ExportRegistry(L"HKEY_CURRENT_USER", kBranch, ours, true);
  if (res.Keys != made.keys || res.Values != made.values) Fail("our export missed part of the branch");
  const size_t checkedSize = FileSize(ours);
  TCommonLogic logic;
  logic.rsOptions.BaseKey = String(kBench) + L"\\Settings";
  logic.OnShowException = [](const Exception& e, const String& t) {
    std::fwprintf(stderr, L"%ls\n%ls\n", t.c_str(), e.Message().c_str());
  };
  std::vector<double> ourExp, theirExp;
  for (int i = 0; i < kFileRounds; ++i) {
    DeleteFileW(ours.c_str());
    DeleteFileW(theirs.c_str());
    bool ok = false;
    ourExp.push_back(Ms([&] { ok = logic.ExportKey(RegRoot::CurrentUser, String(L"\\") + kBranch, ours); }));
    if (!ok || FileSize(ours) != checkedSize) Fail("our export failed");
    theirExp.push_back(Ms([&] { Regedit(L"/e \"" + theirs + L"\" \"" + kBranchFull + L"\""); }));
  }
  if (FileSize(theirs) == 0) Fail("regedit wrote no file");
  std::printf("files: ours %zu bytes (%s), regedit's %zu bytes\n", FileSize(ours),
              res.Unicode ? "version 5" : "REGEDIT4", FileSize(theirs));

  // --- Import of our file, the branch deleted before each import.
  std::vector<double> ourImp, theirImp;
  for (int i = 0; i < kFileRounds; ++i) {
    DeleteBranch();
    bool ok = false;
    ourImp.push_back(Ms([&] { ok = logic.ImportFile(ours); }));
    if (!ok || logic.LastImport().SkippedLines) Fail("our import failed or skipped lines");
    CheckCounts(made, "our import");
    DeleteBranch();
    theirImp.push_back(Ms([&] { Regedit(L"/s \"" + ours + L"\""); }));
    // The peer's import is checked once: every walk here costs seconds.
    if (i == 0) CheckCounts(made, "regedit's import");
  }
  // regedit's start-up alone: an import of a file holding only the header.
  {
    HANDLE h = CreateFileW(empty.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    const char text[] = "REGEDIT4\r\n\r\n";
    DWORD w = 0;
    WriteFile(h, text, sizeof text - 1, &w, nullptr);
    CloseHandle(h);
  }
  std::vector<double> startup;
  for (int i = 0; i < kFileRounds; ++i) startup.push_back(Ms([&] { Regedit(L"/s \"" + empty + L"\""); }));

  const double ourExpMs = Median(ourExp), theirExpMs = Median(theirExp);
  const double ourImpMs = Median(ourImp), theirImpMs = Median(theirImp);
  std::printf("BENCH app.search_ratio %.3f x\n", searchMs / rawMs);
  std::printf("BENCH app.export_vs_regedit %.3f x\n", ourExpMs / theirExpMs);
  std::printf("BENCH app.import_vs_regedit %.3f x\n", ourImpMs / theirImpMs);
  std::printf("BENCH app.search_raw_walk_ms %.1f ms\n", rawMs);
  std::printf("BENCH app.search_ms %.1f ms\n", searchMs);
  std::printf("BENCH app.search_registry_ratio %.3f x\n", searchAllMs / rawAllMs);
  std::printf("BENCH app.search_registry_ms %.1f ms\n", searchAllMs);
  std::printf("BENCH app.search_registry_raw_walk_ms %.1f ms\n", rawAllMs);
  std::printf("BENCH app.export_ms %.1f ms\n", ourExpMs);
  std::printf("BENCH app.export_regedit_ms %.1f ms\n", theirExpMs);
  std::printf("BENCH app.import_ms %.1f ms\n", ourImpMs);
  std::printf("BENCH app.import_regedit_ms %.1f ms\n", theirImpMs);
  std::printf("BENCH app.regedit_startup_ms %.1f ms\n", Median(startup));
  std::fflush(stdout);
  if (getenv("ZEMBRIO_BENCH_DETAIL")) Detail(made, ours);
  std::fflush(stdout);
  return 0;
}

}  // namespace

int main() {
  try {
    return Run();
  } catch (const Exception& e) {
    std::fwprintf(stderr, L"app_search_bench: %ls\n", e.Message().c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "app_search_bench: %s\n", e.what());
  }
  return 1;
}
