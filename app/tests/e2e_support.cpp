#include "app/tests/e2e_support.h"

#include <atomic>
#include <chrono>
#include <thread>

#include "app/Dialogs.h"
#include "app/PlacesDialogs.h"

namespace e2e {

void DeleteTree(const String& Path) { RegDeleteTreeW(HKEY_CURRENT_USER, Path.c_str()); }

void CreateKey(const String& Path) {
  HKEY k = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExW(HKEY_CURRENT_USER, Path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr));
  RegCloseKey(k);
}

void Write(const String& Key, const String& Name, DWORD Type, const std::string& Bytes) {
  HKEY k = nullptr;
  ASSERT_EQ(ERROR_SUCCESS,
            RegCreateKeyExW(HKEY_CURRENT_USER, Key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr));
  RegSetValueExW(k, Name.c_str(), 0, Type, reinterpret_cast<const BYTE*>(Bytes.data()), DWORD(Bytes.size()));
  RegCloseKey(k);
}

bool Read(const String& Key, const String& Name, DWORD& Type, std::string& Bytes) {
  HKEY k = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, Key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  LONG r = RegQueryValueExW(k, Name.c_str(), nullptr, &Type, nullptr, &size);
  if (r == ERROR_SUCCESS) {
    Bytes.assign(size, '\0');
    r = RegQueryValueExW(k, Name.c_str(), nullptr, &Type, reinterpret_cast<BYTE*>(Bytes.data()), &size);
    Bytes.resize(size);
  }
  RegCloseKey(k);
  return r == ERROR_SUCCESS;
}

bool KeyExists(const String& Path) {
  HKEY k = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, Path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

std::string Dw(uint32_t V) { return std::string(reinterpret_cast<const char*>(&V), 4); }

std::string Sz(const String& S) {
  std::string b;
  for (wchar_t c : S) b += char(c & 0xFF), b += char((c >> 8) & 0xFF);
  b += std::string(2, '\0');
  return b;
}

std::vector<String> ValueNames(const String& Key) {
  std::vector<String> v;
  HKEY k = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, Key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return v;
  for (DWORD i = 0;; ++i) {
    wchar_t name[16384];
    DWORD len = 16384;
    if (RegEnumValueW(k, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    v.emplace_back(name, len);
  }
  RegCloseKey(k);
  std::sort(v.begin(), v.end());
  return v;
}

bool PumpUntil(const std::function<bool()>& Done, int TimeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  while (!Done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    MSG msg;
    if (!Application->ProcessMessage(msg)) Sleep(1);
  }
  return true;
}

bool WithModal(const std::function<void()>& Action, std::vector<std::function<void()>> Steps, int TimeoutMs) {
  dlgtest::ScheduleSteps(std::move(Steps));
  std::atomic<bool> stop{false}, fired{false};
  const DWORD tid = GetCurrentThreadId();
  std::thread watchdog([&] {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
    while (!stop && std::chrono::steady_clock::now() < end) Sleep(10);
    // Closes the active window until the action returns.
    while (!stop) {
      fired = true;
      GUITHREADINFO gi{};
      gi.cbSize = sizeof gi;
      if (GetGUIThreadInfo(tid, &gi) && gi.hwndActive) PostMessageW(gi.hwndActive, WM_CLOSE, 0, 0);
      PostThreadMessageW(tid, WM_NULL, 0, 0);
      Sleep(200);
    }
  });
  Action();
  stop = true;
  watchdog.join();
  dlgtest::ScheduleSteps({});
  return !fired;
}

void EditorTest::SetUp() {
  dlgtest::Messages().Texts.clear();
  dlgtest::Messages().Answer = IDYES;
  dlgtest::ShownExceptions().clear();
  DeleteTree(Root);
  CreateKey(Data);
  TfrmError::ShowHook = [this](const String& Text) { Errors.push_back(Text); };
  BookmarkFile = TempFile(L"bookmarks.ZembrioBM");
}

void EditorTest::TearDown() {
  if (F.Main) Stop();
  TPlacesOpenDialog::DialogHook = nullptr;
  TfrmConfirm::ExecuteHook = nullptr;
  TfrmError::ShowHook = nullptr;
  InputQueryShowHook = nullptr;
  EXPECT_TRUE(dlgtest::ShownExceptions().empty())
      << (dlgtest::ShownExceptions().empty() ? "" : WideToAnsi(dlgtest::ShownExceptions()[0]));
  DeleteTree(Root);
  for (const String& f : files_) DeleteFileW(f.c_str());
}

TfrmMain* EditorTest::Start() {
  const String bookmarks = BookmarkFile;
  F = CreateZembrioForms([bookmarks](TdmodCommon* dm) {
    dm->rsOptions().BaseKey = Settings;
    if (!KeyExists(String(Settings))) {
      TRegStoreValue& v = dm->rsOptions().GetValueByName(L"BookmarkFile");
      v.SetValue(bookmarks);
      v.WriteToRegistry();
    }
  });
  Window = F.Main;
  Window->Show();
  dlgtest::Pump(100);
  return Window;
}

void EditorTest::Stop() {
  Window->Close();
  dlgtest::Pump(30);
  DestroyZembrioForms(F);
  Window = nullptr;
}

TTreeExNode* EditorTest::Open(const String& Sub) {
  String path = String(L"\\") + Data + (Sub.empty() ? String() : L"\\" + Sub);
  return Window->ExpandToBranch(RegRoot::CurrentUser, path, true);
}

TListItem* EditorTest::ValueItem(const String& Caption) {
  TListItems* items = Window->lvKeyValues->Items();
  for (int i = 0; i < items->GetCount(); ++i)
    if (items->GetItem(i)->GetCaption() == Caption) return items->GetItem(i);
  return nullptr;
}

String EditorTest::ValueText(TListItem* Item) {
  return Item && Item->SubItems()->GetCount() ? Item->SubItems()->Get(0) : String(L"<none>");
}

void EditorTest::SelectOnly(TListViewQ* List, const std::vector<String>& Captions) {
  List->ClearSelection();
  for (int i = 0; i < List->Items()->GetCount(); ++i) {
    TListItem* it = List->Items()->GetItem(i);
    if (std::find(Captions.begin(), Captions.end(), it->GetCaption()) != Captions.end()) {
      it->SetSelected(true);
      List->SetItemFocused(it);
    }
  }
}

String EditorTest::TempFile(const String& Name) {
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  String f = String(tmp) + L"ZembrioE2E_" + Name;
  DeleteFileW(f.c_str());
  files_.push_back(f);
  return f;
}

}  // namespace e2e
