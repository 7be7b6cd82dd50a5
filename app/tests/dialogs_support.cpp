#include "app/tests/dialogs_support.h"

#include <algorithm>
#include <cwchar>

#include "testsupport/Registry.h"
#include "testsupport/Watchdog.h"

namespace dlgtest {

MessageLog& Messages() {
  static MessageLog log;
  return log;
}

namespace {

const String BackupKey = String(ScratchKey) + L"\\SavedSettings";

void CopyTree(const String& from, const String& to) {
  HKEY src = nullptr, dst = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, from.c_str(), 0, KEY_READ, &src) != ERROR_SUCCESS) return;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, to.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &dst, nullptr) ==
      ERROR_SUCCESS) {
    RegCopyTreeW(src, nullptr, dst);
    RegCloseKey(dst);
  }
  RegCloseKey(src);
}

// A test program started again to run one test that ends its program (a
// death test); the program that started it owns the settings set aside.
bool IsChildRun() { return std::wcsstr(GetCommandLineW(), L"gtest_internal_run_death_test") != nullptr; }

// The real settings are set aside for the run and put back at its end.
class DialogEnvironment : public testsupport::GuiEnvironment {
 public:
  void SetUp() override {
    GuiEnvironment::SetUp();
    MessageBoxHook = [](const String& text, const String&, UINT) {
      Messages().Texts.push_back(text);
      return Messages().Answer;
    };
    if (IsChildRun()) return;
    RegDeleteTreeW(HKEY_CURRENT_USER, BackupKey.c_str());
    hadSettings_ = testsupport::reg::KeyExists(SettingsKey);
    if (hadSettings_) CopyTree(SettingsKey, BackupKey);
  }
  void TearDown() override {
    if (IsChildRun()) {
      MessageBoxHook = nullptr;
      GuiEnvironment::TearDown();
      return;
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKey);
    if (hadSettings_) CopyTree(BackupKey, SettingsKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, ScratchKey);
    MessageBoxHook = nullptr;
    GuiEnvironment::TearDown();
  }

 private:
  bool hadSettings_ = false;
};

const auto* const kEnv = ::testing::AddGlobalTestEnvironment(new DialogEnvironment);

}  // namespace

void ClearSettings() { RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKey); }

bool ReadSetting(const String& SubKey, const String& Name, DWORD& Type, std::wstring& Text, DWORD& Number) {
  const String path = String(SettingsKey) + L"\\" + SubKey;
  HKEY k = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  BYTE buf[4096];
  DWORD size = sizeof buf;
  const LONG r = RegQueryValueExW(k, Name.c_str(), nullptr, &Type, buf, &size);
  RegCloseKey(k);
  if (r != ERROR_SUCCESS) return false;
  Text.clear();
  Number = 0;
  if (Type == REG_SZ || Type == REG_EXPAND_SZ) {
    Text.assign(reinterpret_cast<const wchar_t*>(buf), size / sizeof(wchar_t));
    while (!Text.empty() && Text.back() == L'\0') Text.pop_back();
  } else if (Type == REG_DWORD && size == 4) {
    std::memcpy(&Number, buf, 4);
  }
  return true;
}

namespace {
std::vector<std::function<void()>> g_steps;

void CALLBACK ScriptTimer(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  if (g_steps.empty()) return;
  std::function<void()> s = std::move(g_steps.front());
  g_steps.erase(g_steps.begin());
  if (!g_steps.empty()) SetTimer(nullptr, 0, 50, &ScriptTimer);
  try {
    s();
  } catch (const Exception& e) {
    ADD_FAILURE() << "exception in the dialog script: " << WideToAnsi(e.Message());
  } catch (...) {
    ADD_FAILURE() << "exception in the dialog script";
  }
}
}  // namespace

TModalResult RunModal(TCustomForm* Form, const std::function<void()>& Script, int TimeoutMs) {
  return RunModalSteps(Form, {Script}, TimeoutMs);
}

void ScheduleSteps(std::vector<std::function<void()>> Steps) {
  g_steps = std::move(Steps);
  SetTimer(nullptr, 0, 50, &ScriptTimer);
}

TModalResult RunModalSteps(TCustomForm* Form, std::vector<std::function<void()>> Steps, int TimeoutMs) {
  ScheduleSteps(std::move(Steps));
  Form->HandleNeeded();
  const HWND h = Form->GetHandle();
  const DWORD tid = GetCurrentThreadId();
  TModalResult r;
  bool fired;
  {
    testsupport::Watchdog dog(TimeoutMs, [h, tid] {
      PostMessageW(h, WM_CLOSE, 0, 0);
      PostThreadMessageW(tid, WM_NULL, 0, 0);
    }, 2000);
    r = Form->ShowModal();
    fired = dog.Fired();
  }
  g_steps.clear();
  EXPECT_FALSE(fired) << "the dialog did not end by itself";
  return r;
}

POINT TitleBarPoint(HWND Window, LRESULT Hit) {
  RECT w{};
  GetWindowRect(Window, &w);
  RECT box{w.right, w.bottom, w.left, w.top};
  // The title bar's buttons lie at its right end; the caption's middle
  // (left of them) is looked for over the whole width.
  const int rows = std::min<LONG>(w.bottom - w.top, 64);
  const int cols = Hit == HTCAPTION ? w.right - w.left : std::min<LONG>(w.right - w.left, 160);
  for (int y = w.top; y < w.top + rows; ++y)
    for (int x = w.right - cols; x < w.right; ++x)
      if (SendMessageW(Window, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == Hit) {
        box.left = std::min<LONG>(box.left, x);
        box.right = std::max<LONG>(box.right, x);
        box.top = std::min<LONG>(box.top, y);
        box.bottom = std::max<LONG>(box.bottom, y);
      }
  EXPECT_LE(box.left, box.right) << "no such part on the title bar: " << Hit;
  return POINT{(box.left + box.right) / 2, (box.top + box.bottom) / 2};
}

bool WaitForKeyboard(TCustomForm* Form) {
  const HWND h = Form->GetHandle();
  const bool has = testsupport::PumpUntil([h] {
    const HWND focus = GetFocus();
    return GetForegroundWindow() == h && focus && (focus == h || IsChild(h, focus));
  });
  // The step that waited cannot go on: the dialog ends, so that the test
  // reports at once instead of waiting in the modal loop for the watchdog.
  if (!has && Form->GetVisible()) Form->SetModalResult(mrCancel);
  return has;
}

void DialogTest::SetUp() {
  Messages().Texts.clear();
  Messages().Answer = IDYES;
  ShownExceptions().clear();
  ClearSettings();
  dm = std::make_unique<TCommonLogic>();
  dm->ReadAllOptions();
}

void DialogTest::TearDown() {
  EXPECT_TRUE(ShownExceptions().empty()) << (ShownExceptions().empty() ? "" : WideToAnsi(ShownExceptions()[0]));
  dm.reset();
}

}  // namespace dlgtest
