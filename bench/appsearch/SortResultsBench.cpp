// Sorting a find-results list of 440,000 hits by its column headers, as the
// user does it with clicks on the headers: each column in turn, the value
// names twice (ascending, then descending). The hits are those of a search
// of a large branch: two root keys, 22,000 keys of 20 hits each in the
// order of the walk, value names and data of many kinds. The headline
// figure is the longest of the sorts; each is given too.
//   BENCH appsearch.sort_440k_hits_ms <ms> ms
// The end of the search, which sorts the hits by their first column, is
// timed too, and the window's taking of the hits in batches as the search
// hands them over:
//   BENCH appsearch.search_finished_440k_hits_ms <ms> ms
//   BENCH appsearch.add_440k_hits_ms <ms> ms
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/app/BenchWindow.h"

namespace {

const wchar_t* const kSettings = L"Software\\ZembrioTest\\benchsort\\Settings";
constexpr int kHits = 440000;
constexpr int kPerKey = 20;

// A fixed sequence of numbers, the same in every run.
uint32_t Scramble(uint32_t i) {
  i ^= i >> 16;
  i *= 0x7feb352dU;
  i ^= i >> 15;
  i *= 0x846ca68bU;
  return i ^ (i >> 16);
}

TSearchHit* Hit(int i) {
  const int key = i / kPerKey;
  const uint32_t r = Scramble(uint32_t(i));
  const bool data = r % 3 == 0;
  String path = L"\\Software\\Vendor" + std::to_wstring(key / 1000) + L"\\Product " + std::to_wstring(key % 1000) +
                (key % 4 ? L"\\Settings\\" : L"\\");
  String name = (r % 7 == 0 ? L"" : r % 2 ? L"Option" : L"option_") + std::to_wstring(r % 100000);
  String text = data ? L"C:\\Program Files\\Product " + std::to_wstring(r % 5000) + L"\\bin" : String();
  return new TSearchHit{uint8_t(data ? hkStringData : hkValueName),
                        key < 440000 / kPerKey / 4 ? RegRoot::LocalMachine : RegRoot::CurrentUser, path, name, text};
}

// The list's texts of a column, in the list's order.
std::vector<String> ColumnTexts(TListViewQ* List, int Column) {
  std::vector<String> texts;
  for (int i = 0; i < List->Items()->GetCount(); ++i) {
    TListItem* it = List->Items()->GetItem(i);
    texts.push_back(Column == 0 ? it->GetCaption() : it->SubItems()->Get(Column - 1));
  }
  return texts;
}

bool InOrder(const std::vector<String>& Texts, bool Ascending) {
  for (size_t i = 1; i < Texts.size(); ++i) {
    const String& a = Ascending ? Texts[i - 1] : Texts[i];
    const String& b = Ascending ? Texts[i] : Texts[i - 1];
    if (CompareStringW(LOCALE_USER_DEFAULT, 0, a.c_str(), int(a.size()), b.c_str(), int(b.size())) == CSTR_GREATER_THAN)
      return false;
  }
  return true;
}

}  // namespace

int main() {
  TfrmMain* w = StartBenchWindow(kSettings, [] {});
  w->SearchStarted();
  const double added = Ms([&] { AddHits(w, kHits, Hit); });
  TListViewQ* lv = w->lvFindResults;
  // The end of the search puts the hits in the order of their first column.
  const double finished = Ms([&] { w->SearchFinished(); });
  int rc = InOrder(ColumnTexts(lv, 0), true) ? 0 : 1;
  if (rc) std::fprintf(stderr, "the end of the search left the hits out of order\n");
  struct Sort {
    int Column;
    bool Ascending;
    const char* Name;
    double Ms = 0;
  } sorts[] = {{2, true, "value"}, {2, false, "value_descending"}, {3, true, "data"}, {1, true, "branch"},
               {0, true, "base_key"}};
  if (lv->Items()->GetCount() != kHits) rc = 1;
  double worst = 0;
  for (Sort& s : sorts) {
    if (rc) break;
    s.Ms = Ms([&] { lv->ColumnSort(s.Column, s.Ascending); });
    worst = std::max(worst, s.Ms);
    if (!InOrder(ColumnTexts(lv, s.Column), s.Ascending) || lv->SortColumn != s.Column) {
      std::fprintf(stderr, "the sort by %s left the hits out of order\n", s.Name);
      rc = 1;
    }
  }
  if (rc == 0) {
    std::printf("BENCH appsearch.sort_440k_hits_ms %.1f ms\n", worst);
    std::printf("BENCH appsearch.search_finished_440k_hits_ms %.1f ms\n", finished);
    std::printf("BENCH appsearch.add_440k_hits_ms %.1f ms\n", added);
    for (const Sort& s : sorts) std::printf("BENCH appsearch.sort_440k_hits_by_%s_ms %.1f ms\n", s.Name, s.Ms);
  }
  std::fflush(stdout);
  delete w;
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\ZembrioTest\\benchsort");
  return rc;
}
