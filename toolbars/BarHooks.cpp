#include "toolbars/BarHooks.h"

#include <vector>

namespace {
struct Registration {
  THookProc Proc;
  int RefCount;
  THookProcCodes Codes;
  // How many of the RefCount registrations took a use of the system hooks
  // (a designer registers without one).
  int Counted;
};

std::vector<Registration>* g_list = nullptr;
int g_useCount[3] = {0, 0, 0};
HHOOK g_hook[3] = {nullptr, nullptr, nullptr};
const int kHookIds[3] = {WH_CALLWNDPROC, WH_CBT, WH_GETMESSAGE};

// Calls every registration that wants Code. The list is copied first, so a
// client that removes itself (or the last registration, freeing the list)
// during the call cannot disturb the walk.
void Dispatch(THookProcCode Code, HWND Wnd, WPARAM WParam, LPARAM LParam) {
  if (!g_list) return;
  std::vector<Registration> snapshot = *g_list;
  for (const Registration& r : snapshot) {
    if (!r.Codes.Contains(Code)) continue;
    // Skip a client that unregistered meanwhile.
    bool still = false;
    if (g_list)
      for (const Registration& x : *g_list)
        if (x.Proc == r.Proc) still = true;
    if (!still) continue;
    try {
      r.Proc(Code, Wnd, WParam, LParam);
    } catch (...) {
      // A client's failure must not stop the others or unwind into the system.
    }
  }
}

LRESULT CALLBACK CallWndProcHook(int Code, WPARAM WParam, LPARAM LParam) {
  if (Code == HC_ACTION) {
    auto* cwp = reinterpret_cast<CWPSTRUCT*>(LParam);
    if (cwp->message == WM_ACTIVATEAPP)
      Dispatch(hpSendActivateApp, cwp->hwnd, cwp->wParam, cwp->lParam);
    else if (cwp->message == WM_WINDOWPOSCHANGED)
      Dispatch(hpSendWindowPosChanged, cwp->hwnd, cwp->wParam, cwp->lParam);
  }
  return CallNextHookEx(g_hook[0], Code, WParam, LParam);
}

LRESULT CALLBACK CBTHook(int Code, WPARAM WParam, LPARAM LParam) {
  if (Code == HCBT_DESTROYWND) Dispatch(hpPreDestroy, reinterpret_cast<HWND>(WParam), 0, 0);
  return CallNextHookEx(g_hook[1], Code, WParam, LParam);
}

LRESULT CALLBACK GetMessageHook(int Code, WPARAM WParam, LPARAM LParam) {
  if (Code == HC_ACTION) Dispatch(hpGetMessage, nullptr, WParam, LParam);
  return CallNextHookEx(g_hook[2], Code, WParam, LParam);
}

const HOOKPROC kProcs[3] = {CallWndProcHook, CBTHook, GetMessageHook};

unsigned KindsOf(THookProcCodes Codes) {
  unsigned k = 0;
  if (Codes.Contains(hpSendActivateApp) || Codes.Contains(hpSendWindowPosChanged)) k |= 1;
  if (Codes.Contains(hpPreDestroy)) k |= 2;
  if (Codes.Contains(hpGetMessage)) k |= 4;
  return k;
}

void Release(unsigned Kinds, bool All) {
  for (int i = 0; i < 3; ++i) {
    if (!(Kinds & (1u << i))) continue;
    if (g_useCount[i] > 0) --g_useCount[i];
    if ((g_useCount[i] == 0 || All) && g_hook[i]) {
      UnhookWindowsHookEx(g_hook[i]);
      g_hook[i] = nullptr;
    }
  }
}
}  // namespace

void InstallHookProc(THookProc Proc, THookProcCodes Codes, bool OnlyIncrementCount) {
  if (!g_list) g_list = new std::vector<Registration>();
  Registration* reg = nullptr;
  for (Registration& r : *g_list)
    if (r.Proc == Proc) {
      ++r.RefCount;
      reg = &r;
      break;
    }
  if (!reg) {
    g_list->push_back(Registration{Proc, 1, Codes, 0});
    reg = &g_list->back();
  }
  if (OnlyIncrementCount) return;
  ++reg->Counted;
  unsigned kinds = KindsOf(Codes);
  for (int i = 0; i < 3; ++i) {
    if (!(kinds & (1u << i))) continue;
    ++g_useCount[i];
    if (!g_hook[i]) g_hook[i] = SetWindowsHookExW(kHookIds[i], kProcs[i], nullptr, GetCurrentThreadId());
  }
}

void UninstallHookProc(THookProc Proc) {
  if (!g_list) return;
  for (size_t i = 0; i < g_list->size(); ++i) {
    Registration& r = (*g_list)[i];
    if (r.Proc != Proc) continue;
    THookProcCodes codes = r.Codes;
    // Only a use that was taken is given back: a registration made without
    // one must not drop the hooks another client still needs. Which of
    // several registrations goes is not known, so a taken use is kept for
    // as long as the registrations left could all hold one.
    bool release = r.Counted > r.RefCount - 1;
    if (release) --r.Counted;
    if (--r.RefCount == 0) g_list->erase(g_list->begin() + static_cast<long>(i));
    if (release) Release(KindsOf(codes), false);
    break;
  }
  if (g_list->empty()) {
    FreeAndNil(g_list);
  }
}

void UninstallAllHookProcs() {
  Release(7, true);
  FreeAndNil(g_list);
}

bool BarHookInstalled(int Kind) { return Kind >= 0 && Kind < 3 && g_hook[Kind] != nullptr; }
int BarHookUses(int Kind) { return Kind >= 0 && Kind < 3 ? g_useCount[Kind] : 0; }
