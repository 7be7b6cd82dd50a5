// A search with many hits (12,000 in a generated branch) as the user runs
// it: through the main window, its results list filled while the search
// runs and the window's own message loop turning, against the same search
// whose hits are only counted, in the same run. The figure is the window's
// time over the counting one's (the best of a few rounds each).
// ZEMBRIO_BENCH_DETAIL=1 adds both times and where the window's time goes.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <functional>
#include <memory>

#include "app/SearchThread.h"
#include "bench/app/BenchWindow.h"

namespace {

const wchar_t* const kBase = L"Software\\ZembrioTest\\benchfind";
const wchar_t* const kSettings = L"Software\\ZembrioTest\\benchfind\\Settings";
const wchar_t* const kBranch = L"Software\\ZembrioTest\\benchfind\\Branch";
constexpr int kGroups = 40;
constexpr int kKeysPerGroup = 60;
constexpr int kHitsPerKey = 5;
constexpr int kHits = kGroups * kKeysPerGroup * kHitsPerKey;
constexpr int kRounds = 5;

// Every key holds five string values whose data holds the needle "hit"
// (and one integer value that never matches); no key or value name does.
void Generate() {
  RegDeleteTreeW(HKEY_CURRENT_USER, kBase);
  HKEY branch;
  RegCreateKeyExW(HKEY_CURRENT_USER, kBranch, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &branch, nullptr);
  for (int g = 0; g < kGroups; ++g)
    for (int i = 0; i < kKeysPerGroup; ++i) {
      wchar_t name[32];
      swprintf(name, 32, L"Group%02d\\Key%04d", g, i);
      HKEY k;
      RegCreateKeyExW(branch, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
      for (int v = 0; v < kHitsPerKey; ++v) {
        wchar_t vn[16], data[64];
        swprintf(vn, 16, L"Value%d", v);
        swprintf(data, 64, L"C:\\Data\\hit %d of key %d-%d.bin", v, g, i);
        RegSetValueExW(k, vn, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), DWORD((wcslen(data) + 1) * 2));
      }
      DWORD n = DWORD(i);
      RegSetValueExW(k, L"Count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), sizeof n);
      RegCloseKey(k);
    }
  RegCloseKey(branch);
}

TSearchInput Input() {
  TSearchInput in;
  in.Text = L"HIT";
  in.SearchType = stSubstring;
  in.Subtree = true;
  in.RootKey = RegRoot::CurrentUser;
  in.StartPath = String(L"\\") + kBranch + L"\\";
  in.KeyNames = in.ValueNames = in.StringData = true;
  return in;
}

// The window thread's loop as the program runs it, until Done.
void RunUntil(const std::function<bool()>& Done) {
  while (!Done()) Application->HandleMessage();
}

}  // namespace

int main() {
  TfrmMain* w = StartBenchWindow(kSettings, [] { Generate(); });
  int rc = 0;
  double counted = 1e30, window = 1e30;
  for (int round = 0; round < kRounds; ++round) {
    // The search alone: every hit handed to the window thread and counted.
    int hits = 0;
    bool finished = false;
    TSearchEvents ev;
    ev.OnResult = [&](const TSearchHit&) { ++hits; };
    ev.OnFinished = [&] { finished = true; };
    std::unique_ptr<TthrdRegSearch> search;
    counted = std::min(counted, Ms([&] {
                         search = std::make_unique<TthrdRegSearch>(Input(), ev);
                         RunUntil([&] { return finished; });
                       }));
    search.reset();
    if (hits != kHits) {
      std::fprintf(stderr, "counted %d hits, want %d\n", hits, kHits);
      rc = 1;
    }
    // The same search through the main window: the search the find dialog
    // starts with the branch selected in the tree.
    if (!w->ExpandToBranch(RegRoot::CurrentUser, kBranch, false)) {
      std::fprintf(stderr, "the branch is not in the tree\n");
      return 1;
    }
    TSearchInput in = Input();
    window = std::min(window, Ms([&] {
                        dmodCommon->Logic.StartSearch(false, in);
                        RunUntil([&] { return !dmodCommon->Logic.IsSearching(); });
                      }));
    const int listed = w->lvFindResults->Items()->GetCount();
    if (listed != kHits) {
      std::fprintf(stderr, "the window lists %d hits, want %d\n", listed, kHits);
      rc = 1;
    }
  }
  const char* detail = std::getenv("ZEMBRIO_BENCH_DETAIL");
  if (detail && *detail) {
    // Where the window's time goes: the window thread adding the batches
    // of hits (the list drawn once a batch), against the same number of
    // hits added one at a time to a list drawn after each.
    auto batch = dmodCommon->Logic.OnFindResultBatch;
    int batches = 0;
    double adding = 0;
    std::chrono::steady_clock::time_point begun;
    dmodCommon->Logic.OnFindResultBatch = [&](bool Begin) {
      if (Begin) {
        ++batches;
        begun = std::chrono::steady_clock::now();
      }
      batch(Begin);
      if (!Begin) adding += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begun).count();
    };
    TSearchInput in = Input();
    const double once = Ms([&] {
      dmodCommon->Logic.StartSearch(false, in);
      RunUntil([&] { return !dmodCommon->Logic.IsSearching(); });
    });
    dmodCommon->Logic.OnFindResultBatch = batch;
    w->SearchStarted();
    const double single = Ms([&] {
      for (int i = 0; i < kHits; ++i)
        w->AddFindResult(new TSearchHit{hkStringData, RegRoot::CurrentUser, String(L"\\") + kBranch + L"\\",
                                        L"Value" + std::to_wstring(i % 5), L"hit " + std::to_wstring(i)});
    });
    w->SearchFinished();
    std::printf("counted %.0f ms, window %.0f ms (%d hits); once more %.0f ms, of it %.0f ms adding %d batches "
                "to the list; the hits added one at a time %.0f ms\n",
                counted, window, kHits, once, adding, batches, single);
  }
  std::printf("BENCH app.find_many_hits_ratio %.3f ratio\n", window / counted);
  std::fflush(stdout);
  delete w;
  RegDeleteTreeW(HKEY_CURRENT_USER, kBase);
  return rc;
}
