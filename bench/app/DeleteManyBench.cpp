// Deleting 10,000 values as the user does it, against deleting the same
// values through the registry API with the key opened once, in the same
// run: the main window shown, the first row clicked, Shift+End, Delete,
// and "Yes to All" clicked in the confirmation. Timed from the click on
// "Yes to All" to the status that tells the count. Once from the values
// list of the key, once from 10,000 find results naming those values
// (the key shown in the tree beside them). Each side's best of three
// rounds, taken in turn.
//   BENCH app.delete_10k_values_ratio <ours / raw> x
//   BENCH app.delete_10k_find_results_ratio <ours / raw> x
// Then a key of 230,000 values shown, every value chosen (the first row
// clicked, Shift+End) and Delete pressed: timed from the key to the question (the rows chosen
// gathered and the first named), answered Cancel; against reading the
// key's values raw in the same run. The best of three.
//   BENCH app.delete_230k_values_question_ms <ms> ms
//   BENCH app.delete_230k_values_question_ratio <question / raw read> x
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <thread>

#include "app/frmConfirmU.h"
#include "bench/app/BenchWindow.h"

namespace {

const wchar_t* const kBase = L"Software\\ZembrioTest\\benchdelete";
const wchar_t* const kSettings = L"Software\\ZembrioTest\\benchdelete\\Settings";
const wchar_t* const kKey = L"Software\\ZembrioTest\\benchdelete\\Values";
const wchar_t* const kBigKey = L"Software\\ZembrioTest\\benchdelete\\Big";
constexpr int kValues = 10000;
constexpr int kBigValues = 230000;
constexpr int kRounds = 3;

String ValueName(int I) {
  wchar_t name[32];
  swprintf(name, 32, L"Value%05d", I);
  return name;
}

void MakeValues() {
  HKEY k;
  RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
  for (int i = 0; i < kValues; ++i) {
    DWORD v = DWORD(i);
    RegSetValueExW(k, ValueName(i).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
  }
  RegCloseKey(k);
}

int ValuesLeft() {
  HKEY k;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &k) != ERROR_SUCCESS) return -1;
  DWORD n = 0;
  RegQueryInfoKeyW(k, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &n, nullptr, nullptr, nullptr, nullptr);
  RegCloseKey(k);
  return int(n);
}

// The baseline: the key opened once, each value deleted by name.
double RawDelete() {
  return Ms([] {
    HKEY k;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, &k) != ERROR_SUCCESS) return;
    for (int i = 0; i < kValues; ++i) RegDeleteValueW(k, ValueName(i).c_str());
    RegCloseKey(k);
  });
}

void Pump() {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

// Lets messages run until Done holds or TimeoutMs has passed.
template <class F>
bool PumpUntil(F Done, int TimeoutMs) {
  const ULONGLONG end = GetTickCount64() + ULONGLONG(TimeoutMs);
  while (!Done()) {
    if (GetTickCount64() > end) return false;
    Pump();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
  return true;
}

void SendKeys(std::initializer_list<std::pair<WORD, bool>> Keys) {
  std::vector<INPUT> in;
  for (auto [vk, down] : Keys) {
    INPUT i{};
    i.type = INPUT_KEYBOARD;
    i.ki.wVk = vk;
    i.ki.wScan = WORD(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    i.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    in.push_back(i);
  }
  SendInput(UINT(in.size()), in.data(), sizeof(INPUT));
}

void ClickAt(POINT P) {
  INPUT in[3]{};
  in[0].type = in[1].type = in[2].type = INPUT_MOUSE;
  in[0].mi.dx = MulDiv(P.x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
  in[0].mi.dy = MulDiv(P.y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
  in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[2].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(3, in, sizeof(INPUT));
}

POINT Centre(HWND W) {
  RECT r;
  GetWindowRect(W, &r);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// The user's road in List: the first row clicked, Shift+End, Delete, and
// "Yes to All" clicked once the confirmation shows. Milliseconds from that
// click to the status Status; negative when the road failed.
double UserDelete(TfrmMain* W, TListViewQ* List, const String& Status) {
  SetForegroundWindow(W->GetHandle());
  W->SetActiveControl(List);
  if (!PumpUntil([&] { return GetFocus() == List->GetHandle(); }, 5000)) return -1;
  const int rows = List->Items()->GetCount();
  RECT first{LVIR_LABEL};
  SendMessageW(List->GetHandle(), LVM_GETITEMRECT, 0, LPARAM(&first));
  POINT p{first.left + 8, (first.top + first.bottom) / 2};
  ClientToScreen(List->GetHandle(), &p);
  // Away from an earlier click, so the click is no double click.
  Sleep(GetDoubleClickTime() + 10);
  ClickAt(p);
  if (!PumpUntil([&] { return List->GetSelCount() == 1; }, 5000)) return -2;
  SendKeys({{VK_SHIFT, true}, {VK_END, true}, {VK_END, false}, {VK_SHIFT, false}});
  if (!PumpUntil([&] { return List->GetSelCount() == rows; }, 10000)) return -3;
  const HWND dialog = frmConfirm->GetHandle(), yesToAll = frmConfirm->btnYesToAll->GetHandle();
  std::atomic<bool> clicked{false};
  std::chrono::steady_clock::time_point at;
  std::thread user([&] {
    const ULONGLONG end = GetTickCount64() + 10000;
    while (!(IsWindowVisible(dialog) && IsWindowVisible(yesToAll) && GetForegroundWindow() == dialog) &&
           GetTickCount64() < end)
      Sleep(5);
    Sleep(50);  // as a user reads the question
    at = std::chrono::steady_clock::now();
    ClickAt(Centre(yesToAll));
    clicked = true;
  });
  SendKeys({{VK_DELETE, true}, {VK_DELETE, false}});
  const bool done = PumpUntil([&] { return clicked && W->GetStatusText() == Status; }, 300000);
  const auto end = std::chrono::steady_clock::now();
  user.join();
  if (!done) return -4;
  return std::chrono::duration<double, std::milli>(end - at).count();
}

// Every row of the big key's values chosen (the first clicked, Shift+End),
// then Delete:
// milliseconds from the key to the question, which is answered Cancel;
// negative when the road failed.
double DeleteQuestion(TfrmMain* W) {
  TListViewQ* list = W->lvKeyValues;
  SetForegroundWindow(W->GetHandle());
  W->SetActiveControl(list);
  if (!PumpUntil([&] { return GetFocus() == list->GetHandle(); }, 5000)) return -1;
  list->ClearSelection();
  const int rows = list->Items()->GetCount();
  SendMessageW(list->GetHandle(), LVM_ENSUREVISIBLE, 0, FALSE);
  RECT first{LVIR_LABEL};
  SendMessageW(list->GetHandle(), LVM_GETITEMRECT, 0, LPARAM(&first));
  POINT p{first.left + 8, (first.top + first.bottom) / 2};
  ClientToScreen(list->GetHandle(), &p);
  Sleep(GetDoubleClickTime() + 10);
  ClickAt(p);
  if (!PumpUntil([&] { return list->GetSelCount() == 1; }, 5000)) return -2;
  SendKeys({{VK_SHIFT, true}, {VK_END, true}, {VK_END, false}, {VK_SHIFT, false}});
  if (!PumpUntil([&] { return list->GetSelCount() == rows; }, 20000)) return -2;
  std::chrono::steady_clock::time_point asked{};
  TfrmConfirm::ExecuteHook = [&](TfrmConfirm*) {
    asked = std::chrono::steady_clock::now();
    return int(mrCancel);
  };
  W->SetStatusText(String());  // the round before ended with the same status
  const auto start = std::chrono::steady_clock::now();
  SendKeys({{VK_DELETE, true}, {VK_DELETE, false}});
  const bool done = PumpUntil([&] { return W->GetStatusText() == L"Values deleted: 0"; }, 600000);
  TfrmConfirm::ExecuteHook = nullptr;
  if (!done || asked == std::chrono::steady_clock::time_point{}) {
    std::fprintf(stderr, "230k values: status \"%ls\", %s\n", W->GetStatusText().c_str(),
                 asked == std::chrono::steady_clock::time_point{} ? "not asked" : "asked");
    return -3;
  }
  return std::chrono::duration<double, std::milli>(asked - start).count();
}

void MakeBigKey() {
  HKEY k;
  RegCreateKeyExW(HKEY_CURRENT_USER, kBigKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
  for (int i = 0; i < kBigValues; ++i) {
    wchar_t name[32];
    swprintf(name, 32, L"Value%06d", i);
    DWORD v = DWORD(i);
    RegSetValueExW(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
  }
  RegCloseKey(k);
}

}  // namespace

int main() {
  TfrmMain* w = StartBenchWindow(kSettings, [] { RegDeleteTreeW(HKEY_CURRENT_USER, kBase); });
  SetForegroundWindow(w->GetHandle());
  int rc = 0;
  const String status = L"Values deleted: " + IntToStr(kValues);
  const String findStatus = L"Find results deleted: " + IntToStr(kValues);
  double raw = 1e300, values = 1e300, results = 1e300;
  for (int round = 0; round < kRounds && rc == 0; ++round) {
    MakeValues();
    raw = std::min(raw, RawDelete());

    // The values list: every value but the default one, which has nothing
    // to delete; chosen from the first row down.
    MakeValues();
    w->ExpandToBranch(RegRoot::CurrentUser, String(L"\\") + kKey, false);
    double took = UserDelete(w, w->lvKeyValues, status);
    if (took < 0 || ValuesLeft() != 0 || w->lvKeyValues->Items()->GetCount() != 1) {
      std::fprintf(stderr, "values: road %.0f, %d left in the key, %d listed\n", took, ValuesLeft(),
                   w->lvKeyValues->Items()->GetCount());
      rc = 1;
      break;
    }
    values = std::min(values, took);

    // The find results, the key shown beside them.
    MakeValues();
    w->ExpandToBranch(RegRoot::CurrentUser, String(L"\\") + kKey, false);
    w->SearchStarted();
    AddHits(w, kValues, [](int I) {
      return new TSearchHit{hkValueName, RegRoot::CurrentUser, String(L"\\") + kKey + L"\\", ValueName(I), L""};
    });
    w->SearchFinished();
    took = UserDelete(w, w->lvFindResults, findStatus);
    if (took < 0 || ValuesLeft() != 0 || w->lvFindResults->Items()->GetCount() != 0 ||
        w->lvKeyValues->Items()->GetCount() != 1) {
      std::fprintf(stderr, "find results: road %.0f, %d left in the key, %d results and %d values listed\n", took,
                   ValuesLeft(), w->lvFindResults->Items()->GetCount(), w->lvKeyValues->Items()->GetCount());
      rc = 1;
      break;
    }
    results = std::min(results, took);
  }
  if (rc == 0) {
    std::printf("raw %.0f ms, values list %.0f ms, find results %.0f ms (%d values)\n", raw, values, results,
                kValues);
    std::printf("BENCH app.delete_10k_values_ratio %.3f x\n", values / raw);
    std::printf("BENCH app.delete_10k_find_results_ratio %.3f x\n", results / raw);
    std::fflush(stdout);
    MakeBigKey();
    w->ExpandToBranch(RegRoot::CurrentUser, String(L"\\") + kBigKey, false);
    double question = 1e300, read = 1e300;
    for (int round = 0; round < kRounds && rc == 0; ++round) {
      read = std::min(read, Ms([] { RawReadValues(kBigKey); }));
      const double took = DeleteQuestion(w);
      if (took < 0 || w->lvKeyValues->Items()->GetCount() != kBigValues + 1) {
        std::fprintf(stderr, "230k values: road %.0f, %d listed\n", took, w->lvKeyValues->Items()->GetCount());
        rc = 1;
        break;
      }
      question = std::min(question, took);
    }
    if (rc == 0) {
      std::printf("raw read %.0f ms, question %.0f ms (%d values)\n", read, question, kBigValues);
      std::printf("BENCH app.delete_230k_values_question_ms %.1f ms\n", question);
      std::printf("BENCH app.delete_230k_values_question_ratio %.5f x\n", question / read);
    }
  }
  std::fflush(stdout);
  delete w;
  RegDeleteTreeW(HKEY_CURRENT_USER, kBase);
  return rc;
}
