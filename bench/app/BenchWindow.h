// The editor's main window as the window benchmarks use it: the forms the
// program makes, settings under a scratch key, message boxes answered and
// errors printed, the window shown and its first messages handled.
#pragma once

#include <windows.h>

#include <cwchar>

#include "app/Dialogs.h"
#include "app/Main.h"
#include "app/dmodCommonU.h"

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
