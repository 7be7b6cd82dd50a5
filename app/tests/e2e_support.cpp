#include "app/tests/e2e_support.h"

#include "app/Dialogs.h"
#include "app/PlacesDialogs.h"
#include "app/frmConfirmU.h"
#include "testsupport/Input.h"
#include "testsupport/Watchdog.h"

namespace e2e {

bool WithModal(const std::function<void()>& Action, std::vector<std::function<void()>> Steps, int TimeoutMs) {
  dlgtest::ScheduleSteps(std::move(Steps));
  const DWORD tid = GetCurrentThreadId();
  bool fired;
  {
    // Closes the active window until the action returns.
    testsupport::Watchdog dog(TimeoutMs, [tid] {
      GUITHREADINFO gi{};
      gi.cbSize = sizeof gi;
      if (GetGUIThreadInfo(tid, &gi) && gi.hwndActive) PostMessageW(gi.hwndActive, WM_CLOSE, 0, 0);
      PostThreadMessageW(tid, WM_NULL, 0, 0);
    });
    Action();
    fired = dog.Fired();
  }
  dlgtest::ScheduleSteps({});
  return !fired;
}

namespace {
Script* g_script = nullptr;

void CALLBACK ScriptTick(HWND, UINT, UINT_PTR, DWORD Now) {
  Script* s = g_script;
  if (!s) return;
  if (s->TimedOut || Now > s->Deadline()) {
    s->TimedOut = true;
    testsupport::InputScript().Press(VK_ESCAPE).Post();
    GUITHREADINFO gi{};
    gi.cbSize = sizeof gi;
    if (GetGUIThreadInfo(GetCurrentThreadId(), &gi) && gi.hwndActive) PostMessageW(gi.hwndActive, WM_CLOSE, 0, 0);
    return;
  }
  while (s->Next < s->Steps.size() && s->Steps[s->Next].When()) s->Steps[s->Next++].Do();
}
}  // namespace

size_t Script::Run(const std::function<void()>& Action, int TimeoutMs) {
  g_script = this;
  deadline_ = GetTickCount() + DWORD(TimeoutMs);
  UINT_PTR t = SetTimer(nullptr, 0, 15, &ScriptTick);
  Action();
  PumpUntil([&] { return Next == Steps.size() || TimedOut; }, TimeoutMs + 4000);
  // The last step's effects (a closing menu) settle.
  PumpUntil([] { return false; }, 100);
  KillTimer(nullptr, t);
  g_script = nullptr;
  return Next;
}

void EditorTest::SetUp() {
  dlgtest::Messages().Texts.clear();
  dlgtest::Messages().Answer = IDYES;
  dlgtest::ShownExceptions().clear();
  Scratch = std::make_unique<testsupport::ScratchKey>(L"app");
  Settings = Scratch->Path(L"Settings");
  Data = Scratch->Path(L"Data");
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
  Scratch.reset();
  for (const String& f : files_) DeleteFileW(f.c_str());
}

TfrmMain* EditorTest::Start() {
  const String bookmarks = BookmarkFile, settings = Settings;
  F = CreateZembrioForms([bookmarks, settings](TdmodCommon* dm) {
    dm->rsOptions().BaseKey = settings;
    if (!KeyExists(settings)) {
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

void EditorTest::Foreground(TWinControl* Focus) {
  testsupport::MoveMouse(testsupport::ClientCentre(Focus->GetHandle()));
  SetForegroundWindow(Window->GetHandle());
  Window->SetActiveControl(Focus);
  ASSERT_TRUE(
      PumpUntil([&] { return GetForegroundWindow() == Window->GetHandle() && GetFocus() == Focus->GetHandle(); }));
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

std::vector<String> EditorTest::Chosen(TListViewQ* List) {
  std::vector<String> captions;
  for (TListItem* i = List->GetSelected(); i; i = List->GetNextItem(i, sdAll, TItemStates{isSelected}))
    captions.push_back(i->GetCaption());
  return captions;
}

String EditorTest::FocusedCaption(TListViewQ* List) {
  TListItem* i = List->GetItemFocused();
  return i ? i->GetCaption() : String(L"<none>");
}

bool EditorTest::DeleteToTheEndSparingFirst(TListViewQ* List, TListItem* First, const String& Status) {
  Foreground(List);
  const TRect r = First->DisplayRect(drLabel);
  testsupport::Click(testsupport::ScreenPoint(List->GetHandle(), r.left + 4, (r.top + r.bottom) / 2));
  testsupport::PressKey(VK_END, {VK_SHIFT});
  TfrmConfirm* c = F.Confirm;
  auto asking = [c] {
    return c->GetVisible() && GetForegroundWindow() == c->GetHandle() && IsWindowVisible(c->btnYesToAll->GetHandle());
  };
  auto click = [](TButton* B) { testsupport::InputScript().Click(testsupport::ClientCentre(B->GetHandle())).Post(); };
  String asked;
  Script s;
  s.Steps = {{asking,
              [&] {
                asked = c->lblPrompt2->GetCaption();
                click(c->btnNo);
              }},
             {[&] { return asking() && c->lblPrompt2->GetCaption() != asked; }, [&] { click(c->btnYesToAll); }},
             {[&] { return Window->GetStatusText() == Status; }, [] {}}};
  return s.Run([] { testsupport::InputScript().Press(VK_DELETE).Post(); }, 20000) == s.Steps.size();
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
