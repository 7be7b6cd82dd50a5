// Records which functions a program runs from its start until it has idled
// a while, in the order each first runs: linked into a build compiled with
// -finstrument-functions (tools/startup-order.sh), which calls
// __cyg_profile_func_enter on entry to every function. This file is
// compiled without that option.
//
// ZEMBRIO_TRACE_OUT names the file written (a Windows path), one address a
// line, each relative to the program's image base, in hexadecimal;
// ZEMBRIO_TRACE_SECONDS (default 12) is how long after its start the
// program is traced. The program's windows are then closed as a user
// closes them.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#define ZEMBRIO_NO_TRACE __attribute__((no_instrument_function))

namespace {

// Every function entered goes once into an open-addressing table of
// addresses, and in the order first entered into a list.
constexpr size_t kSlots = size_t(1) << 18;
std::atomic<uintptr_t> gSeen[kSlots];
std::atomic<uintptr_t> gOrder[kSlots];
std::atomic<size_t> gCount{0};
std::atomic<bool> gStopped{false};

ZEMBRIO_NO_TRACE void Record(uintptr_t Address) {
  size_t h = static_cast<size_t>((Address * 0x9E3779B97F4A7C15ull) >> 46);
  for (;; ++h) {
    h &= kSlots - 1;
    uintptr_t seen = gSeen[h].load(std::memory_order_relaxed);
    if (seen == Address) return;
    if (seen == 0) {
      if (gSeen[h].compare_exchange_strong(seen, Address)) {
        const size_t i = gCount.fetch_add(1);
        if (i < kSlots) gOrder[i] = Address;
        return;
      }
      if (seen == Address) return;
    }
  }
}

ZEMBRIO_NO_TRACE BOOL CALLBACK CloseWindow(HWND Window, LPARAM) {
  if (IsWindowVisible(Window)) PostMessageW(Window, WM_CLOSE, 0, 0);
  return TRUE;
}

ZEMBRIO_NO_TRACE DWORD WINAPI Writer(void* MainThread) {
  const char* seconds = getenv("ZEMBRIO_TRACE_SECONDS");
  Sleep((seconds ? atoi(seconds) : 12) * 1000);
  gStopped = true;
  if (const char* out = getenv("ZEMBRIO_TRACE_OUT")) {
    if (FILE* f = fopen(out, "wb")) {
      const uintptr_t base = reinterpret_cast<uintptr_t>(GetModuleHandleW(nullptr));
      const size_t n = gCount.load() < kSlots ? gCount.load() : kSlots;
      for (size_t i = 0; i < n; ++i) fprintf(f, "%llx\n", static_cast<unsigned long long>(gOrder[i] - base));
      fclose(f);
    }
  }
  EnumThreadWindows(static_cast<DWORD>(reinterpret_cast<uintptr_t>(MainThread)), CloseWindow, 0);
  return 0;
}

// The table needs no construction: functions run by static constructors
// that come before this one are recorded too.
struct TStart {
  ZEMBRIO_NO_TRACE TStart() {
    CreateThread(nullptr, 0, Writer, reinterpret_cast<void*>(static_cast<uintptr_t>(GetCurrentThreadId())), 0,
                 nullptr);
  }
} gStart;

}  // namespace

extern "C" ZEMBRIO_NO_TRACE void __cyg_profile_func_enter(void* Function, void*) {
  if (!gStopped.load(std::memory_order_relaxed)) Record(reinterpret_cast<uintptr_t>(Function));
}
extern "C" ZEMBRIO_NO_TRACE void __cyg_profile_func_exit(void*, void*) {}
