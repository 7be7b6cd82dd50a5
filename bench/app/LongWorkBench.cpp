// The main window while it exports and imports a big branch (10,000 keys,
// 50,000 values): another thread sends it a message every 20 ms and times
// how long each takes to be answered. The figures are the longest waits.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <thread>

#include "bench/app/BenchWindow.h"

namespace {

const wchar_t* const kBase = L"Software\\ZembrioTest\\benchlong";
const wchar_t* const kSettings = L"Software\\ZembrioTest\\benchlong\\Settings";
const wchar_t* const kBranch = L"Software\\ZembrioTest\\benchlong\\Branch";
constexpr int kKeys = 10000;
constexpr int kValuesPerKey = 5;

void Generate() {
  RegDeleteTreeW(HKEY_CURRENT_USER, kBase);
  HKEY branch;
  RegCreateKeyExW(HKEY_CURRENT_USER, kBranch, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &branch, nullptr);
  for (int i = 0; i < kKeys; ++i) {
    wchar_t name[32];
    swprintf(name, 32, L"G%02d\\Key%05d", i % 50, i);
    HKEY k;
    RegCreateKeyExW(branch, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    for (int v = 0; v < kValuesPerKey; ++v) {
      wchar_t vn[16], data[64];
      swprintf(vn, 16, L"Value%d", v);
      swprintf(data, 64, L"C:\\Program Files\\Vendor %d\\file%d.dll", i, v);
      RegSetValueExW(k, vn, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), DWORD((wcslen(data) + 1) * 2));
    }
    RegCloseKey(k);
  }
  RegCloseKey(branch);
}

// Sends the window WM_NULL every 20 ms while it runs; the longest answer.
class TProbe {
 public:
  explicit TProbe(HWND Window) : window_(Window), thread_([this] { Run(); }) {}
  ~TProbe() { Stop(); }
  // Called on the window's thread: it goes on answering until the probe's
  // last message has been answered, so that wait is not counted as the
  // window's.
  double Stop() {
    stop_ = true;
    while (!done_) {
      MSG m;
      while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    if (thread_.joinable()) thread_.join();
    return worst_;
  }
  int Count() const { return count_; }

 private:
  void Run() {
    while (!stop_) {
      const auto t = std::chrono::steady_clock::now();
      DWORD_PTR r = 0;
      SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &r);
      worst_ = std::max(worst_, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t).count());
      ++count_;
      Sleep(20);
    }
    done_ = true;
  }
  HWND window_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> done_{false};
  double worst_ = 0;
  int count_ = 0;
  std::thread thread_;
};

}  // namespace

int main() {
  TfrmMain* w = StartBenchWindow(kSettings, [] { Generate(); });

  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  const String file = String(tmp) + L"zembrio-bench-long.reg";
  TCommonLogic& logic = dmodCommon->Logic;
  int rc = 0;

  double exportWait = 0, importWait = 0, exportMs = 0, importMs = 0;
  {
    TProbe probe(w->GetHandle());
    exportMs = Ms([&] {
      if (!logic.ExportKey(RegRoot::CurrentUser, String(L"\\") + kBranch, file)) rc = 1;
    });
    exportWait = probe.Stop();
  }
  RegDeleteTreeW(HKEY_CURRENT_USER, kBranch);
  {
    TProbe probe(w->GetHandle());
    importMs = Ms([&] {
      if (!logic.ImportFile(file, [w] { w->RefreshTree(); })) rc = 1;
    });
    importWait = probe.Stop();
  }
  std::printf("export %.0f ms, import %.0f ms (%d keys, %d values)\n", exportMs, importMs, kKeys,
              kKeys * kValuesPerKey);
  std::printf("BENCH app.export_window_wait_max_ms %.1f ms\n", exportWait);
  std::printf("BENCH app.import_window_wait_max_ms %.1f ms\n", importWait);
  std::fflush(stdout);
  delete w;
  DeleteFileW(file.c_str());
  RegDeleteTreeW(HKEY_CURRENT_USER, kBase);
  return rc;
}
