// Worker threads, synchronised calls and hidden utility windows.
#include "classlib/Thread.h"

#include <process.h>

#include <deque>
#include <exception>
#include <mutex>

// ---------------------------------------------------------------------------
// Hidden utility windows

namespace {

const wchar_t kUtilWindowClass[] = L"ZembrioUtilWindow";

LRESULT CALLBACK UtilWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* method = reinterpret_cast<TWndMethodEvent*>(GetWindowLongPtrW(wnd, GWLP_USERDATA));
  if (!method || !*method) return DefWindowProcW(wnd, msg, wp, lp);
  TMessage m;
  m.Msg = msg;
  m.WParam = wp;
  m.LParam = lp;
  m.Result = 0;
  if (!CallProtected([&] { (*method)(m); })) return 0;
  return m.Result;
}

ATOM RegisterUtilClass() {
  static ATOM atom = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = UtilWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = kUtilWindowClass;
    return RegisterClassExW(&wc);
  }();
  return atom;
}

// A hidden window whose messages go to Method: a top-level one (which hears
// the system's broadcasts) or, under HWND_MESSAGE, a message-only one.
HWND MakeUtilWindow(TWndMethodEvent Method, HWND Parent) {
  RegisterUtilClass();
  HWND wnd = CreateWindowExW(Parent ? 0 : WS_EX_TOOLWINDOW, kUtilWindowClass, L"", Parent ? 0 : WS_POPUP, 0, 0, 0, 0,
                             Parent, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!wnd) RaiseLastOSError();
  if (Method) SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new TWndMethodEvent(std::move(Method))));
  return wnd;
}

}  // namespace

HWND AllocateHWnd(TWndMethodEvent Method) { return MakeUtilWindow(std::move(Method), nullptr); }

void DeallocateHWnd(HWND Wnd) {
  if (!Wnd) return;
  auto* method = reinterpret_cast<TWndMethodEvent*>(GetWindowLongPtrW(Wnd, GWLP_USERDATA));
  SetWindowLongPtrW(Wnd, GWLP_USERDATA, 0);
  DestroyWindow(Wnd);
  delete method;
}

// ---------------------------------------------------------------------------
// Synchronised calls

DWORD MainThreadID = GetCurrentThreadId();

namespace {

constexpr UINT WM_ZSYNC = WM_USER + 0x5A;

struct TSyncRequest {
  TThreadMethod method;
  HANDLE done = nullptr;
  std::exception_ptr error;
  bool ran = false;
};

std::mutex g_syncLock;
std::deque<TSyncRequest*> g_pending;
bool g_shutDown = false;
HWND g_syncWindow = nullptr;
// Set whenever a request is queued, for WaitFor on the window thread.
HANDLE SyncEvent() {
  static HANDLE e = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  return e;
}

void SyncWindowMethod(TMessage& m) {
  if (m.Msg == WM_ZSYNC) {
    CheckSynchronize();
    m.Result = 0;
    return;
  }
  m.Result = DefWindowProcW(g_syncWindow, m.Msg, m.WParam, m.LParam);
}

}  // namespace

void InitThreadSynchronization() {
  if (GetCurrentThreadId() != MainThreadID) return;
  std::lock_guard<std::mutex> lock(g_syncLock);
  if (g_syncWindow || g_shutDown) return;
  SyncEvent();
  // It only hears the requests posted to it: a message-only window.
  g_syncWindow = MakeUtilWindow(TWndMethodEvent(&SyncWindowMethod), HWND_MESSAGE);
}

bool CheckSynchronize() {
  if (GetCurrentThreadId() != MainThreadID) return false;
  bool any = false;
  for (;;) {
    TSyncRequest* req;
    {
      std::lock_guard<std::mutex> lock(g_syncLock);
      if (g_pending.empty()) break;
      req = g_pending.front();
      g_pending.pop_front();
    }
    any = true;
    try {
      req->method();
    } catch (...) {
      req->error = std::current_exception();
    }
    req->ran = true;
    SetEvent(req->done);
  }
  return any;
}

void ShutdownSynchronize() {
  std::deque<TSyncRequest*> released;
  HWND wnd;
  {
    std::lock_guard<std::mutex> lock(g_syncLock);
    g_shutDown = true;
    released.swap(g_pending);
    wnd = g_syncWindow;
    g_syncWindow = nullptr;
  }
  for (TSyncRequest* r : released) SetEvent(r->done);
  if (wnd && GetCurrentThreadId() == MainThreadID) DeallocateHWnd(wnd);
}

bool IsSynchronizeShutDown() {
  std::lock_guard<std::mutex> lock(g_syncLock);
  return g_shutDown;
}

void TThread::Synchronize(TThread* Thread, TThreadMethod Method) {
  (void)Thread;
  if (!Method) return;
  if (GetCurrentThreadId() == MainThreadID) {
    Method();
    return;
  }
  TSyncRequest req;
  req.method = std::move(Method);
  req.done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!req.done) RaiseLastOSError();
  HWND wnd;
  {
    std::lock_guard<std::mutex> lock(g_syncLock);
    if (g_shutDown) {
      CloseHandle(req.done);
      return;
    }
    g_pending.push_back(&req);
    wnd = g_syncWindow;
  }
  SetEvent(SyncEvent());
  if (wnd) PostMessageW(wnd, WM_ZSYNC, 0, 0);
  WaitForSingleObject(req.done, INFINITE);
  CloseHandle(req.done);
  if (req.error) std::rethrow_exception(req.error);
}

// ---------------------------------------------------------------------------
// TThread

TThread::TThread(bool CreateSuspended) {
  InitThreadSynchronization();
  unsigned id = 0;
  handle_ = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, &TThread::ThreadProc, this, CREATE_SUSPENDED, &id));
  if (!handle_) throw EThread(Format(L"Thread creation error: %s", SysErrorMessage(GetLastError())));
  threadId_ = id;
  suspended_ = true;
  if (!CreateSuspended) Start();
}

TThread::~TThread() {
  if (handle_ && !finished_.load() && GetCurrentThreadId() != threadId_) {
    Terminate();
    if (suspended_) {
      // Never started: let it run to its end (Execute is skipped).
      suspended_ = false;
      ResumeThread(handle_);
    }
    WaitForEnd();
  }
  if (handle_) CloseHandle(handle_);
}

unsigned __stdcall TThread::ThreadProc(void* Param) {
  auto* t = static_cast<TThread*>(Param);
  try {
    if (!t->terminated_.load()) t->Execute();
  } catch (const Exception& e) {
    t->fatalException_.reset(e.Clone());
  } catch (const std::exception& e) {
    t->fatalException_ = std::make_unique<Exception>(Utf8ToWide(e.what()));
  } catch (...) {
    t->fatalException_ = std::make_unique<Exception>(String(L"Unknown exception in thread"));
  }
  bool freeThread = t->freeOnTerminate_;
  unsigned result = static_cast<unsigned>(t->returnValue_);
  try {
    t->DoTerminate();
  } catch (...) {
    // OnTerminate failed on the window thread; the run is over regardless.
  }
  t->finished_ = true;
  if (freeThread) delete t;
  return result;
}

void TThread::Start() {
  if (!suspended_ || finished_.load()) throw EThread(String(L"Cannot call Start on a running or finished thread"));
  suspended_ = false;
  ResumeThread(handle_);
}

void TThread::Terminate() { terminated_ = true; }

namespace {

// Removes the wake-up messages posted for synchronised calls. Call
// CheckSynchronize afterwards: every request is queued before its message
// is posted, so none whose message was removed is left unserved.
void RemoveSyncMessages() {
  HWND wnd;
  {
    std::lock_guard<std::mutex> lock(g_syncLock);
    wnd = g_syncWindow;
  }
  if (!wnd) return;
  MSG msg;
  while (PeekMessageW(&msg, wnd, WM_ZSYNC, WM_ZSYNC, PM_REMOVE | PM_NOYIELD)) {
  }
}

}  // namespace

void TThread::WaitForEnd() {
  if (GetCurrentThreadId() == MainThreadID) {
    // Keep serving synchronised calls: the thread may be waiting for one.
    // Their posted wake-up messages are taken out of the queue here, or one
    // would pile up per call while this waits.
    HANDLE handles[2] = {handle_, SyncEvent()};
    for (;;) {
      DWORD r = MsgWaitForMultipleObjects(2, handles, FALSE, INFINITE, QS_SENDMESSAGE);
      if (r == WAIT_OBJECT_0) break;
      if (r == WAIT_OBJECT_0 + 1) {
        RemoveSyncMessages();
        CheckSynchronize();
      } else if (r == WAIT_OBJECT_0 + 2) {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // delivers sent messages
      } else {
        break;
      }
    }
    // The thread's last call may have posted after the removal above.
    RemoveSyncMessages();
    CheckSynchronize();
  } else {
    WaitForSingleObject(handle_, INFINITE);
  }
}

int TThread::WaitFor() {
  if (freeOnTerminate_) throw EThread(String(L"Cannot wait for a thread that frees itself"));
  if (GetCurrentThreadId() == threadId_) throw EThread(String(L"A thread cannot wait for itself"));
  if (suspended_) throw EThread(String(L"Cannot wait for a thread that was never started"));
  WaitForEnd();
  DWORD code = 0;
  GetExitCodeThread(handle_, &code);
  return static_cast<int>(code);
}

void TThread::SetPriority(TThreadPriority Value) {
  static const int kPriorities[] = {THREAD_PRIORITY_IDLE,   THREAD_PRIORITY_LOWEST,  THREAD_PRIORITY_BELOW_NORMAL,
                                    THREAD_PRIORITY_NORMAL, THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                                    THREAD_PRIORITY_TIME_CRITICAL};
  if (!SetThreadPriority(handle_, kPriorities[Value]))
    throw EThread(Format(L"Cannot set thread priority: %s", SysErrorMessage(GetLastError())));
  priority_ = Value;
}

void TThread::DoTerminate() {
  if (OnTerminate) Synchronize([this] { OnTerminate(this); });
}
