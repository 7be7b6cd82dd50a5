// The editor's main window as the window benchmarks use it: the forms the
// program makes, settings under a scratch key, message boxes answered and
// errors printed, the window shown and its first messages handled; and
// the benchmarks' timer.
#pragma once

#include <windows.h>

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
