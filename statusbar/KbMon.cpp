#include "statusbar/KbMon.h"

#include <algorithm>
#include <vector>

String KbMonDLLName = L"KbMon.dll";
bool KbMonDLL_Loaded = false;

namespace {

using TRegisterProc = UINT(WINAPI*)(HWND);
using TDeregisterProc = void(WINAPI*)(HWND);

HMODULE gLibrary = nullptr;
TRegisterProc gRegister = nullptr;
TDeregisterProc gDeregister = nullptr;
std::vector<HWND> gWindows;

}  // namespace

int KbMonRegisteredCount() { return int(gWindows.size()); }

bool InitKbMonDLL() {
  // Windows registered with a library about to be freed are told first;
  // they would otherwise stay in the list against the wrong instance.
  if (gLibrary) UnloadKbMonDLL();
  if (gLibrary) {  // could not be freed: keep using it
    return KbMonDLL_Loaded;
  }
  UINT oldMode = SetErrorMode(SEM_NOOPENFILEERRORBOX);
  HMODULE lib = KbMonDLLName.empty() ? nullptr : LoadLibraryW(KbMonDLLName.c_str());
  SetErrorMode(oldMode);
  if (!lib) {
    KbMonDLL_Loaded = false;
    return false;
  }
  gLibrary = lib;
  gRegister = reinterpret_cast<TRegisterProc>(reinterpret_cast<void*>(GetProcAddress(lib, "RegisterKeyboardHook")));
  gDeregister = reinterpret_cast<TDeregisterProc>(reinterpret_cast<void*>(GetProcAddress(lib, "DeregisterKeyboardHook")));
  KbMonDLL_Loaded = true;
  return true;
}

void UnloadKbMonDLL() {
  if (!gLibrary) return;
  for (size_t i = gWindows.size(); i-- > 0;) {
    if (i < gWindows.size()) DLLDeregisterKeyboardHook(gWindows[i]);
  }
  // Without a deregistration entry point nothing can be told; the list is
  // dropped with the library all the same.
  gWindows.clear();
  if (FreeLibrary(gLibrary)) {
    gLibrary = nullptr;
    gRegister = nullptr;
    gDeregister = nullptr;
    KbMonDLL_Loaded = false;
  }
}

UINT DLLRegisterKeyboardHook(HWND Window) {
  if (!gLibrary || !gRegister) return 0;
  gWindows.push_back(Window);
  return gRegister(Window);
}

void DLLDeregisterKeyboardHook(HWND Window) {
  if (!gLibrary || !gDeregister) return;
  auto it = std::find(gWindows.begin(), gWindows.end(), Window);
  if (it != gWindows.end()) gWindows.erase(it);
  gDeregister(Window);
}

void KbMonInitialize() {
  gWindows.clear();
  KbMonDLLName = L"KbMon.dll";
  gLibrary = nullptr;
}

void KbMonFinalize() {
  UnloadKbMonDLL();
  gWindows.clear();
  KbMonDLLName.clear();
}
