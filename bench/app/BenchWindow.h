// The editor's main window as the window benchmarks use it: the forms the
// program makes, settings under a scratch key, message boxes answered and
// errors printed, the window shown and its first messages handled; and
// the benchmarks' timer.
#pragma once

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cwchar>
#include <functional>

#include "app/Dialogs.h"
#include "app/Main.h"
#include "app/dmodCommonU.h"

// How long f takes, in milliseconds.
inline double Ms(const std::function<void()>& f) {
  auto t = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count();
}

// The baseline of opening a key: the names, types and data of its values
// read straight from the registry; their count.
inline int RawReadValues(const wchar_t* Key) {
  HKEY k;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, Key, 0, KEY_READ, &k) != ERROR_SUCCESS) return 0;
  wchar_t name[256];
  BYTE data[1024];
  int n = 0;
  for (DWORD i = 0;; ++i) {
    DWORD len = 256, size = sizeof data, type = 0;
    if (RegEnumValueW(k, i, name, &len, nullptr, &type, data, &size) != ERROR_SUCCESS) break;
    ++n;
  }
  RegCloseKey(k);
  return n;
}

// Application set-up first; Prepare (the registry data) runs before the
// data module reads its settings.
template <class F>
TfrmMain* StartBenchWindow(const wchar_t* SettingsKey, F Prepare) {
  InitForms();
  Application->Initialize();
  MessageBoxHook = [](const String&, const String&, UINT) { return IDOK; };
  TfrmError::ShowHook = [](const String& t) { std::fwprintf(stderr, L"error: %ls\n", t.c_str()); };
  Prepare();
  new TdmodCommon(Application);
  dmodCommon->rsOptions().BaseKey = SettingsKey;
  frmConfirm = new TfrmConfirm(Application);
  frmError = new TfrmError(Application);
  auto* w = new TfrmMain(Application);
  w->Show();
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
  return w;
}

// The hits of a search handed to the find-results list as the search hands
// them over: in batches, the hit of each index made by Make.
template <class F>
void AddHits(TfrmMain* W, int Count, F Make) {
  for (int i = 0; i < Count;) {
    W->FindResultBatch(true);
    for (int end = std::min(Count, i + 2000); i < end; ++i) W->AddFindResult(Make(i));
    W->FindResultBatch(false);
  }
}
