// Starting a new search over a find-results list that holds 220,000 hits,
// as the user does it: the window thread empties the old list when the
// search starts and can answer nothing else meanwhile. The figure is the
// time that start holds the window thread over the time the same start
// takes with an empty list, in the same run (the best of a few rounds each).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "bench/app/BenchWindow.h"

namespace {

const wchar_t* const kBase = L"Software\\ZembrioTest\\benchclear";
const wchar_t* const kSettings = L"Software\\ZembrioTest\\benchclear\\Settings";
const wchar_t* const kBranch = L"Software\\ZembrioTest\\benchclear\\Branch";
constexpr int kHits = 220000;
constexpr int kRounds = 3;

// The hits of a finished search.
void ListHits(TfrmMain* W) {
  AddHits(W, kHits, [](int i) {
    return new TSearchHit{hkStringData, RegRoot::CurrentUser,
                          L"\\Software\\Vendor\\Product " + std::to_wstring(i / 50) + L"\\",
                          L"Value" + std::to_wstring(i % 5), L"C:\\Data\\hit " + std::to_wstring(i)};
  });
}

// How long starting a search holds the window thread; then the search (of
// a branch of one key, which finds nothing) runs to its end.
double StartSearch() {
  TSearchInput in;
  in.Text = L"no such text";
  in.SearchType = stSubstring;
  in.Subtree = true;
  in.KeyNames = in.ValueNames = in.StringData = true;
  const double ms = Ms([&] { dmodCommon->Logic.StartSearch(false, in); });
  while (dmodCommon->Logic.IsSearching()) Application->HandleMessage();
  return ms;
}

}  // namespace

int main() {
  TfrmMain* w = StartBenchWindow(kSettings, [] {
    RegDeleteTreeW(HKEY_CURRENT_USER, kBase);
    HKEY k;
    RegCreateKeyExW(HKEY_CURRENT_USER, kBranch, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    RegCloseKey(k);
  });
  int rc = 0;
  if (!w->ExpandToBranch(RegRoot::CurrentUser, kBranch, false)) {
    std::fprintf(stderr, "the branch is not in the tree\n");
    rc = 1;
  }
  double full = 1e30, empty = 1e30;
  for (int round = 0; rc == 0 && round < kRounds; ++round) {
    ListHits(w);
    if (w->lvFindResults->Items()->GetCount() != kHits) {
      std::fprintf(stderr, "the list holds %d hits, want %d\n", w->lvFindResults->Items()->GetCount(), kHits);
      rc = 1;
    }
    full = std::min(full, StartSearch());
    if (w->lvFindResults->Items()->GetCount() != 0 ||
        SendMessageW(w->lvFindResults->GetHandle(), LVM_GETITEMCOUNT, 0, 0) != 0) {
      std::fprintf(stderr, "the new search did not empty the list\n");
      rc = 1;
    }
    for (int i = 0; i < 3; ++i) empty = std::min(empty, StartSearch());
  }
  if (rc == 0) {
    std::printf("BENCH appsearch.new_search_over_220k_hits_ratio %.3f ratio\n", full / empty);
    std::printf("BENCH appsearch.new_search_over_220k_hits_ms %.1f ms\n", full);
    std::printf("BENCH appsearch.new_search_over_no_hits_ms %.1f ms\n", empty);
  }
  std::fflush(stdout);
  delete w;
  RegDeleteTreeW(HKEY_CURRENT_USER, kBase);
  return rc;
}
