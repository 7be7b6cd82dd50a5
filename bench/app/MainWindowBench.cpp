// Expanding a key with 5,000 subkeys in the tree and listing a key with
// 2,000 values, each against a raw enumeration of the same key through the
// registry API, in the same run; going to that key against its listing;
// deleting 2,000 selected values against deleting them through the API.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <vector>

#include "app/frmConfirmU.h"
#include "bench/app/BenchWindow.h"
#include "classlib/Registry.h"

namespace {

const wchar_t* const kBase = L"Software\\ZembrioTest\\bench";
const wchar_t* const kSettings = L"Software\\ZembrioTest\\bench\\Settings";
const wchar_t* const kExpand = L"Software\\ZembrioTest\\bench\\Expand";
const wchar_t* const kList = L"Software\\ZembrioTest\\bench\\List";
const wchar_t* const kDelete = L"Software\\ZembrioTest\\bench\\Delete";
constexpr int kKeys = 5000;
constexpr int kValues = 2000;
constexpr int kRounds = 7;

// The best of several rounds (the least disturbed by the rest of the machine).
double Best(const std::function<void()>& f) {
  double best = 1e30;
  for (int i = 0; i < kRounds; ++i) best = std::min(best, Ms(f));
  return best;
}

void Prepare() {
  RegDeleteTreeW(HKEY_CURRENT_USER, kBase);
  HKEY k;
  RegCreateKeyExW(HKEY_CURRENT_USER, kExpand, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
  for (int i = 0; i < kKeys; ++i) {
    wchar_t name[32];
    swprintf(name, 32, L"Key%05d", i);
    HKEY c;
    RegCreateKeyExW(k, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &c, nullptr);
    if (i % 10 == 0) {
      HKEY g;
      RegCreateKeyExW(c, L"Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &g, nullptr);
      RegCloseKey(g);
    }
    RegCloseKey(c);
  }
  RegCloseKey(k);
  RegCreateKeyExW(HKEY_CURRENT_USER, kList, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
  for (int i = 0; i < kValues; ++i) {
    wchar_t name[32];
    swprintf(name, 32, L"Value%05d", i);
    switch (i % 4) {
      case 0: {
        const wchar_t text[] = L"some text of a string value";
        RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
        break;
      }
      case 1: {
        DWORD v = DWORD(i);
        RegSetValueExW(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
        break;
      }
      case 2: {
        BYTE b[24];
        for (int j = 0; j < 24; ++j) b[j] = BYTE(i + j);
        RegSetValueExW(k, name, 0, REG_BINARY, b, sizeof b);
        break;
      }
      default: {
        const wchar_t text[] = L"%SystemRoot%\\system32";
        RegSetValueExW(k, name, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
        break;
      }
    }
  }
  RegCloseKey(k);
}

// Raw: the subkey names of the key.
void RawKeys() {
  HKEY k;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kExpand, 0, KEY_READ, &k) != ERROR_SUCCESS) return;
  wchar_t name[256];
  int n = 0;
  for (DWORD i = 0;; ++i) {
    DWORD len = 256;
    if (RegEnumKeyExW(k, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    ++n;
  }
  RegCloseKey(k);
  if (n != kKeys) std::fprintf(stderr, "raw keys: %d\n", n);
}

// Raw: the names, types and data of the values.
void RawValues() {
  const int n = RawReadValues(kList);
  if (n != kValues) std::fprintf(stderr, "raw values: %d\n", n);
}

// The platform's own controls: the same item counts through the bare
// messages our windows send (redrawing off; list texts and all images by
// callback, tree texts given),
// in a list view and a tree view of the main window. What the editor adds
// on top of these and of the raw registry calls is its own cost.
// The values to delete: kValues integers.
void MakeDeleteValues() {
  HKEY k;
  RegCreateKeyExW(HKEY_CURRENT_USER, kDelete, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
  for (int i = 0; i < kValues; ++i) {
    wchar_t name[32];
    swprintf(name, 32, L"Value%05d", i);
    DWORD v = DWORD(i);
    RegSetValueExW(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
  }
  RegCloseKey(k);
}

// Raw: each value deleted through the registry API, the key opened once
// for all of them.
void RawDeleteValues() {
  HKEY k;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kDelete, 0, KEY_SET_VALUE, &k) != ERROR_SUCCESS) return;
  for (int i = 0; i < kValues; ++i) {
    wchar_t name[32];
    swprintf(name, 32, L"Value%05d", i);
    RegDeleteValueW(k, name);
  }
  RegCloseKey(k);
}

double NativeListInsert(HWND parentWnd) {
  HWND lv = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHAREIMAGELISTS, 0, 0, 300,
                            300, parentWnd, nullptr, nullptr, nullptr);
  LVCOLUMNW col{};
  col.mask = LVCF_WIDTH;
  col.cx = 100;
  SendMessageW(lv, LVM_INSERTCOLUMNW, 0, LPARAM(&col));
  SendMessageW(lv, LVM_INSERTCOLUMNW, 1, LPARAM(&col));
  double t = Best([&] {
    SendMessageW(lv, WM_SETREDRAW, FALSE, 0);
    SendMessageW(lv, LVM_DELETEALLITEMS, 0, 0);
    for (int i = 0; i < kValues + 1; ++i) {
      LVITEMW it{};
      it.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
      it.iItem = i;
      it.pszText = LPSTR_TEXTCALLBACKW;
      it.iImage = I_IMAGECALLBACK;
      SendMessageW(lv, LVM_INSERTITEMW, 0, LPARAM(&it));
    }
    SendMessageW(lv, WM_SETREDRAW, TRUE, 0);
  });
  DestroyWindow(lv);
  return t;
}

double NativeTreeExpand(HWND parentWnd) {
  HWND tv = CreateWindowExW(0, WC_TREEVIEWW, L"", WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES, 0, 0, 300,
                            300, parentWnd, nullptr, nullptr, nullptr);
  TVINSERTSTRUCTW is{};
  is.hParent = TVI_ROOT;
  is.hInsertAfter = TVI_LAST;
  is.item.mask = TVIF_TEXT | TVIF_CHILDREN;
  is.item.pszText = const_cast<LPWSTR>(L"Parent");
  is.item.cChildren = 1;
  HTREEITEM parent = HTREEITEM(SendMessageW(tv, TVM_INSERTITEMW, 0, LPARAM(&is)));
  double t = 1e30;
  for (int round = 0; round < kRounds; ++round) {
    SendMessageW(tv, TVM_EXPAND, TVE_COLLAPSE | TVE_COLLAPSERESET, LPARAM(parent));
    t = std::min(t, Ms([&] {
      SendMessageW(tv, WM_SETREDRAW, FALSE, 0);
      for (int i = 0; i < kKeys; ++i) {
        TVINSERTSTRUCTW c{};
        c.hParent = parent;
        c.hInsertAfter = TVI_LAST;
        c.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM | TVIF_CHILDREN;
        wchar_t name[32];
        swprintf(name, 32, L"Key%05d", i);
        c.item.pszText = name;
        c.item.iImage = c.item.iSelectedImage = I_IMAGECALLBACK;
        c.item.cChildren = i % 10 == 0;
        SendMessageW(tv, TVM_INSERTITEMW, 0, LPARAM(&c));
      }
      SendMessageW(tv, WM_SETREDRAW, TRUE, 0);
      SendMessageW(tv, TVM_EXPAND, TVE_EXPAND, LPARAM(parent));
    }));
  }
  DestroyWindow(tv);
  return t;
}

}  // namespace

int main() {
  TfrmMain* w = StartBenchWindow(kSettings, [] { Prepare(); });

  // Rounds interleaved, the best of each side: a load that comes and goes
  // on the machine falls on both alike.
  TTreeExNode* expandNode = w->ExpandToBranch(RegRoot::CurrentUser, String(L"\\") + kExpand, false);
  double rawKeys = 1e30, ourExpand = 1e30;
  for (int i = 0; i < kRounds; ++i) {
    rawKeys = std::min(rawKeys, Ms(RawKeys));
    expandNode->Collapse(true);
    ourExpand = std::min(ourExpand, Ms([&] { expandNode->Expand(false); }));
  }
  if (expandNode->GetCount() != kKeys) std::fprintf(stderr, "expanded: %d\n", expandNode->GetCount());
  // Every tenth key has a subkey: exactly those show a button.
  int buttons = 0, wrong = 0;
  for (TTreeExNode* c = expandNode->GetFirstChild(); c; c = c->GetNextSibling()) {
    bool b = c->GetChildren();
    buttons += b;
    wrong += b != (std::wcstol(c->GetText().c_str() + 3, nullptr, 10) % 10 == 0);
  }
  if (buttons != kKeys / 10 || wrong) std::fprintf(stderr, "buttons: %d, wrong: %d\n", buttons, wrong);

  TTreeExNode* listNode = w->ExpandToBranch(RegRoot::CurrentUser, String(L"\\") + kList, false);
  double rawValues = 1e30, ourList = 1e30;
  for (int i = 0; i < kRounds; ++i) {
    rawValues = std::min(rawValues, Ms(RawValues));
    ourList = std::min(ourList, Ms([&] { w->LoadValues(listNode); }));
  }
  if (w->lvKeyValues->Items()->GetCount() != kValues + 1)
    std::fprintf(stderr, "listed: %d\n", w->lvKeyValues->Items()->GetCount());
  // Going to the key (Go, a bookmark, a find result, Refresh) selects it,
  // which lists its values: once, as the listing alone costs.
  double ourGo = 1e30;
  for (int i = 0; i < kRounds; ++i) {
    w->ExpandToBranch(RegRoot::CurrentUser, String(L"\\") + kBase, false);
    ourGo = std::min(ourGo, Ms([&] { w->ExpandToBranch(RegRoot::CurrentUser, String(L"\\") + kList, false); }));
  }

  if (getenv("ZEMBRIO_BENCH_DETAIL")) {

    TListItems* items = w->lvKeyValues->Items();
    double clear = Ms([&] { items->Clear(); });
    std::vector<TListItem*> added;
    double add = Ms([&] { for (int i = 0; i < kValues; ++i) added.push_back(items->Add()); });
    double cap = Ms([&] { for (TListItem* it : added) it->SetCaption(L"x"); });
    double sub = Ms([&] { for (TListItem* it : added) it->SubItems()->Add(L"y"); });
    double img = Ms([&] { for (TListItem* it : added) it->SetImageIndex(1); });
    double sort = Ms([&] { w->lvKeyValues->AlphaSort(); });
    TRegistry reg(KEY_READ);
    reg.SetRootKey(HKEY_CURRENT_USER);
    reg.OpenKeyReadOnly(kList);
    double read = Ms([&] {
      TStringList names;
      reg.GetValueNames(&names);
      for (int i = 0; i < names.GetCount(); ++i) {
        TRegRawValue v;
        reg.ReadRaw(names.Get(i), v);
      }
    });
    std::printf("detail: clear %.1f add %.1f caption %.1f sub %.1f image %.1f sort %.1f read %.1f\n", clear, add, cap,
                sub, img, sort, read);
  }
  // Every value of a key selected in the values list and deleted with one
  // "Yes to All", against deleting them through the registry API.
  double rawDelete = 1e30, ourDelete = 1e30;
  TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrYesToAll); };
  for (int i = 0; i < 3; ++i) {
    MakeDeleteValues();
    rawDelete = std::min(rawDelete, Ms(RawDeleteValues));
    MakeDeleteValues();
    w->ExpandToBranch(RegRoot::CurrentUser, String(L"\\") + kDelete, false);
    TListItems* items = w->lvKeyValues->Items();
    for (int j = 0; j < items->GetCount(); ++j) items->GetItem(j)->SetSelected(items->GetItem(j)->GetCaption() != L"(Default)");
    ourDelete = std::min(ourDelete, Ms([&] { w->DeleteSelected(w->lvKeyValues); }));
    if (items->GetCount() != 1) std::fprintf(stderr, "left after delete: %d\n", items->GetCount());
  }
  TfrmConfirm::ExecuteHook = nullptr;
  double nativeList = NativeListInsert(w->GetHandle());
  double nativeTree = NativeTreeExpand(w->GetHandle());
  std::printf("raw: keys %.1f ms, values %.1f ms; ours: expand %.1f ms, list %.1f ms\n", rawKeys, rawValues,
              ourExpand, ourList);
  // The least any editor showing these items in the native controls could
  // take, as the same ratios: raw enumeration plus the bare control messages.
  std::printf("platform: tree view insert+expand %.1f ms, list view insert %.1f ms; floor ratios expand %.3f, list %.3f\n",
              nativeTree, nativeList, (rawKeys + nativeTree) / rawKeys, (rawValues + nativeList) / rawValues);
  std::printf("BENCH app.expand_5k_ratio %.3f ratio\n", ourExpand / rawKeys);
  std::printf("BENCH app.list_2k_ratio %.3f ratio\n", ourList / rawValues);
  std::printf("BENCH app.go_to_2k_values_vs_list %.3f ratio\n", ourGo / ourList);
  std::printf("BENCH app.delete_2k_values_ratio %.3f ratio\n", ourDelete / rawDelete);
  std::fflush(stdout);
  delete w;
  RegDeleteTreeW(HKEY_CURRENT_USER, kBase);
  return 0;
}
