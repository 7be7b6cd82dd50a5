// Find results used as a user uses them: deleting through them with the
// keyboard, stopping a search from a narrow window, bookmarking a result,
// watching many results come in and stopping the search.
#include <algorithm>
#include <atomic>
#include <fstream>

#include <sddl.h>

#include "app/Dialogs.h"
#include "app/EditValue.h"
#include "app/FindForm.h"
#include "app/ItemData.h"
#include "app/RegAccess.h"
#include "app/SearchThread.h"
#include "app/tests/e2e_support.h"
#include "testsupport/Input.h"
#include "toolbars/BarPopup.h"

using namespace e2e;

namespace {

// Counts the times the Stop button is shown while it lives.
class TStopShows {
 public:
  explicit TStopShows(HWND Stop) : hook_(nullptr) {
    stop_ = Stop;
    shows_ = 0;
    hook_ = SetWindowsHookExW(WH_CALLWNDPROC, Proc, nullptr, GetCurrentThreadId());
  }
  ~TStopShows() {
    if (hook_) UnhookWindowsHookEx(hook_);
    stop_ = nullptr;
  }
  bool Hooked() const { return hook_ != nullptr; }
  int Count() const { return shows_; }

 private:
  static LRESULT CALLBACK Proc(int Code, WPARAM W, LPARAM L) {
    const auto* m = reinterpret_cast<const CWPSTRUCT*>(L);
    if (Code == HC_ACTION && m->hwnd == stop_ &&
        ((m->message == WM_SHOWWINDOW && m->wParam) ||
         (m->message == WM_WINDOWPOSCHANGING && (reinterpret_cast<const WINDOWPOS*>(m->lParam)->flags & SWP_SHOWWINDOW))))
      ++shows_;
    return CallNextHookEx(nullptr, Code, W, L);
  }
  static inline HWND stop_ = nullptr;
  static inline int shows_ = 0;
  HHOOK hook_;
};

class FindResults : public EditorTest {
 protected:
  // Starts a search of the selected subtree through the find dialog.
  void StartSearch(const String& Text, int Type) {
    TfrmFind* find = F.Find;
    ASSERT_TRUE(WithModal([&] { Window->mnuEdit_FindClick(nullptr); },
                          {[=] {
                            find->cboText->SetText(Text);
                            find->rgrpType->SetItemIndex(Type);
                            find->rgrpScope->SetItemIndex(1);
                            find->chkCaseSensitive->SetChecked(true);
                            find->btnFind->Click();
                          }}));
  }
  // The same, waiting for its end.
  void Search(const String& Text, int Type) {
    StartSearch(Text, Type);
    ASSERT_TRUE(PumpUntil([] { return !dmodCommon->Logic.IsSearching(); }, 30000));
    dlgtest::Pump(30);
  }
  TListItem* Result(const String& Text) {
    TListItems* items = Window->lvFindResults->Items();
    for (int i = 0; i < items->GetCount(); ++i)
      if (Window->GetFindResultText(items->GetItem(i)) == Text) return items->GetItem(i);
    return nullptr;
  }
  // Enter pressed on the result, chosen alone with the keyboard on the
  // results; true once the values list has the keyboard.
  bool OpenWithEnter(TListItem* Hit) {
    Window->lvFindResults->ClearSelection();
    Hit->SetSelected(true);
    Window->lvFindResults->SetItemFocused(Hit);
    Foreground(Window->lvFindResults);
    testsupport::PressKey(VK_RETURN);
    return PumpUntil([&] { return GetFocus() == Window->lvKeyValues->GetHandle(); }, 10000);
  }
  // The test's data key as HKEY_USERS shows it: "\<the user's SID>\" and
  // the path below HKEY_CURRENT_USER.
  String UsersData() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return String();
    alignas(TOKEN_USER) BYTE user[256];
    DWORD size = 0;
    const bool got = GetTokenInformation(token, TokenUser, user, sizeof user, &size);
    CloseHandle(token);
    wchar_t* sid = nullptr;
    if (!got || !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid)) return String();
    const String path = String(L"\\") + sid + L"\\" + Data;
    LocalFree(sid);
    return path;
  }
  // Delete pressed on the keyboard with the window in front.
  // The focused result's pop-up menu from the keyboard, its Bookmark item by
  // its letter; the new bookmark's name edit is left with Escape.
  bool BookmarkFromKeyboardPopup() {
    Script s;
    s.Steps = {{[] { return Shown<TBarPopupWindow>() != nullptr; },
                [] { testsupport::InputScript().Press('B').Post(); }}};
    if (s.Run([] { testsupport::InputScript().Press(VK_APPS).Post(); }) != s.Steps.size()) return false;
    if (!PumpUntil([&] { return Window->lvBookmarks->IsEditing(); }, 5000)) return false;
    testsupport::PressKey(VK_ESCAPE);
    return true;
  }
  void PressDelete() {
    SetForegroundWindow(Window->GetHandle());
    dlgtest::Pump(30);
    testsupport::PressKey(VK_DELETE);
    dlgtest::Pump(50);
  }
};

// After a find result is deleted the tree is re-opened to its key; the
// keyboard stays with the results, so a second Delete deletes the next
// result and not the key selected in the tree. A selected key that went
// with a result is not reported unreadable: the tree moves to its parent.
TEST_F(FindResults, DeletingWithTheDeleteKeyLeavesTheKeyboardOnTheResults) {
  CreateKey(String(Data) + L"\\Zap\\Inner");
  Write(String(Data) + L"\\Zap\\Inner", L"inner", REG_SZ, Sz(L"1"));
  Write(Data, L"A1", REG_SZ, Sz(L"2"));
  Write(Data, L"B2", REG_SZ, Sz(L"3"));
  Start();
  ASSERT_NE(Open(), nullptr);
  Search(L"^(Zap|A1)$", 2);
  const String data = String(L"HKEY_CURRENT_USER\\") + Data + L"\\";
  ASSERT_NE(Result(data + L"Zap\\"), nullptr);
  ASSERT_NE(Result(data + L" : A1"), nullptr);
  ASSERT_NE(Open(L"Zap\\Inner"), nullptr);

  std::vector<String> asked;
  TfrmConfirm::ExecuteHook = [&](TfrmConfirm* C) {
    asked.push_back(C->lblPrompt2->GetCaption());
    return int(mrYes);
  };
  Window->lvFindResults->ClearSelection();
  Window->lvFindResults->SetSelected(Result(data + L"Zap\\"));
  Window->SetActiveControl(Window->lvFindResults);
  PressDelete();
  EXPECT_FALSE(KeyExists(String(Data) + L"\\Zap"));
  EXPECT_EQ(Window->ActiveControlName(), L"lvFindResults");
  ASSERT_NE(Window->GetSelectedNode(), nullptr);
  EXPECT_EQ(Window->GetSelectedNode()->GetText(), L"Data");
  EXPECT_NE(ValueItem(L"A1"), nullptr);
  EXPECT_EQ(Window->GetStatusText().find(L"Unable to read"), String::npos) << WideToUtf8(Window->GetStatusText());

  Window->lvFindResults->SetSelected(Result(data + L" : A1"));
  PressDelete();
  EXPECT_EQ(asked, (std::vector<String>{data + L"Zap\\", data + L" : A1"}));
  EXPECT_TRUE(KeyExists(Data));
  EXPECT_EQ(ValueNames(Data), std::vector<String>{L"B2"});
  EXPECT_EQ(ValueItem(L"A1"), nullptr);
  EXPECT_EQ(Window->lvFindResults->Items()->GetCount(), 0);
  EXPECT_TRUE(Errors.empty());
}

// Enter on a value's result opens its key with the value chosen and the
// keyboard on it: Down goes on to the value below it, not to the top.
TEST_F(FindResults, EnterOnAValueResultPutsTheKeyboardOnTheValue) {
  for (const wchar_t* name : {L"a1", L"m2", L"z3"}) Write(Data, name, REG_SZ, Sz(name));
  CreateKey(String(Data) + L"\\Elsewhere");
  Start();
  ASSERT_NE(Open(), nullptr);
  Search(L"^m2$", 2);
  TListItem* hit = Result(String(L"HKEY_CURRENT_USER\\") + Data + L"\\ : m2");
  ASSERT_NE(hit, nullptr);
  ASSERT_NE(Open(L"Elsewhere"), nullptr);
  TListViewQ* values = Window->lvKeyValues;
  ASSERT_TRUE(OpenWithEnter(hit));
  EXPECT_EQ(Window->GetSelectedNode()->GetText(), L"Data");
  EXPECT_EQ(Chosen(values), std::vector<String>{L"m2"});
  EXPECT_EQ(FocusedCaption(values), L"m2");
  testsupport::PressKey(VK_DOWN);
  EXPECT_EQ(Chosen(values), std::vector<String>{L"z3"});
  EXPECT_TRUE(Messages().empty());
}

// A value named "(Default)" beside the key's default value, which is listed
// under the same caption (and first): its find result opens on the value
// itself, and Delete then deletes it and keeps the default value.
TEST_F(FindResults, AValueNamedLikeTheDefaultValueIsTheOneOpenedAndDeleted) {
  Write(Data, L"", REG_SZ, Sz(L"the default"));
  Write(Data, L"(Default)", REG_SZ, Sz(L"named"));
  Start();
  ASSERT_NE(Open(), nullptr);
  Search(L"(Default)", 0);
  TListItem* hit = Result(String(L"HKEY_CURRENT_USER\\") + Data + L"\\ : (Default)");
  ASSERT_NE(hit, nullptr);
  TListViewQ* values = Window->lvKeyValues;
  ASSERT_TRUE(OpenWithEnter(hit));
  ASSERT_EQ(values->GetSelCount(), 1);
  EXPECT_EQ(ItemValue(values->GetSelected())->GetName(), L"(Default)");
  TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrYes); };
  testsupport::PressKey(VK_DELETE);
  EXPECT_TRUE(PumpUntil([&] { return !HasValue(Data, L"(Default)"); }, 5000));
  DWORD type = 0;
  std::string bytes;
  ASSERT_TRUE(Read(Data, L"", type, bytes));
  EXPECT_EQ(bytes, Sz(L"the default"));
}

// A find result deleted beside the key shown (a value elsewhere, a key
// below it) leaves the key's list as it is: the key is not read again. Its
// own values deleted through their results list it again, once for the
// whole command.
TEST_F(FindResults, TheKeyShownIsListedAgainOnlyWhenItLosesAValueAndThenOnce) {
  const String shown = String(Data) + L"\\Shown";
  for (const wchar_t* name : {L"mine1", L"mine2", L"keep"}) Write(shown, name, REG_SZ, Sz(L"v"));
  Write(String(Data) + L"\\Beside", L"mine3", REG_SZ, Sz(L"3"));
  CreateKey(shown + L"\\mineSub");
  Start();
  ASSERT_NE(Open(), nullptr);
  Search(L"^mine", 2);
  ASSERT_NE(Open(L"Shown"), nullptr);
  // Each listing of the key drops its default value's row once.
  TListViewQ* values = Window->lvKeyValues;
  int listings = 0;
  const TLVDeletedEvent dropped = values->OnDeletion;
  values->OnDeletion = [&](TObject* Sender, TListItem* Item) {
    listings += ItemValue(Item) && ItemValue(Item)->GetName().empty();
    dropped(Sender, Item);
  };
  const String data = String(L"HKEY_CURRENT_USER\\") + Data + L"\\";
  auto deleteResults = [&](const std::vector<String>& Texts, int Answer) {
    TfrmConfirm::ExecuteHook = [Answer](TfrmConfirm*) { return Answer; };
    Window->lvFindResults->ClearSelection();
    for (const String& t : Texts) Result(t)->SetSelected(true);
    Window->SetActiveControl(Window->lvFindResults);
    PressDelete();
  };
  TListItem* keep = ValueItem(L"keep");
  deleteResults({data + L"Beside\\ : mine3"}, mrYes);
  deleteResults({data + L"Shown\\mineSub\\"}, mrYes);
  EXPECT_FALSE(HasValue(String(Data) + L"\\Beside", L"mine3"));
  EXPECT_FALSE(KeyExists(shown + L"\\mineSub"));
  EXPECT_EQ(listings, 0);
  EXPECT_EQ(ValueItem(L"keep"), keep);

  deleteResults({data + L"Shown\\ : mine1", data + L"Shown\\ : mine2"}, mrYesToAll);
  EXPECT_EQ(ValueNames(shown), std::vector<String>{L"keep"});
  EXPECT_EQ(listings, 1);
  EXPECT_EQ(values->Items()->GetCount(), 2);
  EXPECT_EQ(Window->ActiveControlName(), L"lvFindResults");
  values->OnDeletion = dropped;
  EXPECT_EQ(Window->lvFindResults->Items()->GetCount(), 0);
  EXPECT_TRUE(Errors.empty());
}

// Many results deleted as the user does it, their key shown beside them:
// the first chosen with a click, Shift+End, Delete, No to the first
// question and "Yes to All" to the next. The hourglass is up while the
// rows leave the list (read as each goes); the result refused stays with
// its value, chosen and with the keyboard on it; the other values are gone
// from the registry and from the key's values listed beside.
TEST_F(FindResults, ManyResultsDeletedAtOnceGoUnderTheHourglassSparingTheOneRefused) {
  for (int i = 0; i < 60; ++i) Write(Data, L"hit" + IntToStr(100 + i), REG_SZ, Sz(L"x"));
  Start();
  ASSERT_NE(Open(), nullptr);
  Search(L"^hit", 2);
  TListViewQ* results = Window->lvFindResults;
  ASSERT_EQ(results->Items()->GetCount(), 60);
  TListItem* first = results->Items()->GetItem(0);
  const String spared = ItemHit(first)->ValueName;
  const TLVDeletedEvent deletion = results->OnDeletion;
  std::vector<String> busy;
  results->OnDeletion = [&](TObject* Sender, TListItem* Item) {
    if (Screen->GetCursor() != crHourGlass || GetCursor() != LoadCursorW(nullptr, IDC_WAIT))
      busy.push_back(Window->GetFindResultText(Item));
    deletion(Sender, Item);
  };
  const bool deleted = DeleteToTheEndSparingFirst(results, first, L"Find results deleted: 59");
  results->OnDeletion = deletion;
  ASSERT_TRUE(deleted);
  EXPECT_TRUE(busy.empty()) << busy.size() << " rows left without the hourglass, the first " << WideToAnsi(busy[0]);
  EXPECT_EQ(Screen->GetCursor(), crDefault);
  EXPECT_EQ(ValueNames(Data), std::vector<String>{spared});
  ASSERT_EQ(results->Items()->GetCount(), 1);
  EXPECT_EQ(ItemHit(results->Items()->GetItem(0))->ValueName, spared);
  EXPECT_EQ(int(SendMessageW(results->GetHandle(), LVM_GETITEMCOUNT, 0, 0)), 1);
  EXPECT_EQ(Chosen(results).size(), 1u);
  EXPECT_NE(FocusedCaption(results), L"<none>");
  TListItems* values = Window->lvKeyValues->Items();
  ASSERT_EQ(values->GetCount(), 2);
  EXPECT_EQ(values->GetItem(1)->GetCaption(), spared);
  EXPECT_TRUE(Errors.empty());
  EXPECT_TRUE(Messages().empty());
}

// The handles this process holds open, as the system lists them; -1 when
// it can't tell.
int OpenHandles() {
  struct TEntry {
    USHORT Process, Creator;
    UCHAR Type, Flags;
    USHORT Handle;
    PVOID Object;
    ACCESS_MASK Access;
  };
  using TQuery = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
  auto query = reinterpret_cast<TQuery>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return -1;
  std::vector<ULONG_PTR> buffer(1 << 17);
  LONG status;
  ULONG size = 0;
  const ULONG kHandleList = 16;
  while ((status = query(kHandleList, buffer.data(), ULONG(buffer.size() * sizeof(ULONG_PTR)), &size)) ==
         LONG(0xC0000004))  // the buffer too small
    buffer.resize(buffer.size() * 2);
  if (status != 0) return -1;
  const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
  const auto* entries = reinterpret_cast<const TEntry*>(buffer.data() + 1);
  int own = 0;
  for (ULONG i = 0; i < count; ++i) own += entries[i].Process == USHORT(GetCurrentProcessId());
  return own;
}

// Values found in many keys, deleted together: the keys are opened one
// at a time, each for the values of its own results, and not held open
// until the command ends (one handle for each key, 100,000 for 100,000).
TEST_F(FindResults, ValuesDeletedThroughResultsInManyKeysHoldOneKeyOpenAtATime) {
  const int kKeys = 300;
  for (int i = 0; i < kKeys; ++i)
    for (const wchar_t* name : {L"hitA", L"hitB"}) Write(Data + L"\\K" + IntToStr(1000 + i), name, REG_SZ, Sz(L"x"));
  Start();
  ASSERT_NE(Open(), nullptr);
  Search(L"^hit", 2);
  TListViewQ* results = Window->lvFindResults;
  ASSERT_EQ(results->Items()->GetCount(), 2 * kKeys);
  const TLVDeletedEvent deletion = results->OnDeletion;
  int during = -1;
  // Read as the rows deleted leave the list, the keys' work done.
  results->OnDeletion = [&](TObject* Sender, TListItem* Item) {
    if (during < 0) during = OpenHandles();
    deletion(Sender, Item);
  };
  const int before = OpenHandles();
  const bool deleted = DeleteToTheEndSparingFirst(results, results->Items()->GetItem(0),
                                                  L"Find results deleted: " + IntToStr(2 * kKeys - 1));
  results->OnDeletion = deletion;
  ASSERT_TRUE(deleted);
  ASSERT_GT(before, 0);
  EXPECT_LT(during, before + 30) << "handles before " << before << ", while deleting " << during;
  int left = 0;
  for (int i = 0; i < kKeys; ++i) left += int(ValueNames(Data + L"\\K" + IntToStr(1000 + i)).size());
  EXPECT_EQ(left, 1);
  EXPECT_TRUE(Errors.empty());
}

// Opening a find result or a bookmark whose key another program deleted
// warns and selects the deepest key still there, but the keyboard stays on
// the list: the Delete that follows drops the stale entry (it once asked to
// delete the key above, Yes the default). The parent's value of the same
// name is not selected in its place either.
TEST_F(FindResults, AFailedOpenOfAStaleResultOrBookmarkLeavesTheKeyboardOnItsList) {
  Write(String(Data) + L"\\Gone", L"Stale", REG_SZ, Sz(L"1"));
  Write(Data, L"Stale", REG_SZ, Sz(L"2"));
  Start();
  ASSERT_NE(Open(), nullptr);
  Search(L"^Stale$", 2);
  const String data = String(L"HKEY_CURRENT_USER\\") + Data + L"\\";
  TListItem* hit = Result(data + L"Gone\\ : Stale");
  ASSERT_NE(hit, nullptr);
  Window->AddBookmarkItem(L"Gone", RegRoot::CurrentUser, String(L"\\") + Data + L"\\Gone");
  DeleteTree(String(Data) + L"\\Gone");
  const String warning = L"The requested key does not exist:\n\n" + data + L"Gone";

  struct Asked {
    String Prompt, Item;
  };
  std::vector<Asked> asked;
  int answer = mrNo;
  TfrmConfirm::ExecuteHook = [&](TfrmConfirm* C) {
    asked.push_back({C->lblPrompt1->GetCaption(), C->lblPrompt2->GetCaption()});
    return answer;
  };
  auto openAndDelete = [&](TListViewQ* List, TTabSheet* Page, const String& Kind, const String& Item) {
    Window->pagExtras->SetActivePage(Page);
    List->ClearSelection();
    TListItem* item = List == Window->lvFindResults ? hit : List->Items()->GetItem(0);
    List->SetSelected(item);
    List->SetItemFocused(item);
    Foreground(List);
    for (bool doubleClick : {true, false}) {
      SCOPED_TRACE(testing::Message() << WideToAnsi(List->GetName()) << (doubleClick ? " double click" : " Enter"));
      Messages().clear();
      asked.clear();
      if (doubleClick) {
        RECT r{LVIR_LABEL};
        ASSERT_TRUE(SendMessageW(List->GetHandle(), LVM_GETITEMRECT, item->GetIndex(), LPARAM(&r)));
        testsupport::DoubleClick(testsupport::ScreenPoint(List->GetHandle(), (r.left + r.right) / 2,
                                                          (r.top + r.bottom) / 2));
      } else {
        testsupport::PressKey(VK_RETURN);
      }
      ASSERT_TRUE(PumpUntil([&] { return !Messages().empty(); }, 10000));
      EXPECT_EQ(Messages(), std::vector<String>{warning});
      ASSERT_NE(Window->GetSelectedNode(), nullptr);
      EXPECT_EQ(Window->GetSelectedNode()->GetText(), L"Data");
      EXPECT_EQ(Window->lvKeyValues->GetSelected(), nullptr);
      // Elsewhere, the keys below would act on the wrong list.
      ASSERT_EQ(Window->ActiveControlName(), List->GetName());
      ASSERT_EQ(GetFocus(), List->GetHandle());
      answer = doubleClick ? mrNo : mrYes;
      PressDelete();
      ASSERT_EQ(asked.size(), 1u);
      EXPECT_NE(asked[0].Prompt.find(L"the following " + Kind + L":"), String::npos) << WideToAnsi(asked[0].Prompt);
      EXPECT_EQ(asked[0].Item, Item);
    }
    EXPECT_EQ(List->Items()->IndexOf(item), -1);
    EXPECT_TRUE(KeyExists(Data));
    EXPECT_TRUE(HasValue(Data, L"Stale"));
  };
  openAndDelete(Window->lvFindResults, Window->tbsFindResults, L"find result (key or value)", data + L"Gone\\ : Stale");
  // The value's key is reported gone, in an ordinary message, as the
  // result drops.
  EXPECT_TRUE(Errors.empty());
  ASSERT_EQ(Messages().size(), 2u);
  EXPECT_EQ(Messages()[1].substr(0, 43), L"Unable to find key for the value to delete.");
  openAndDelete(Window->lvBookmarks, Window->tbsBookmarks, L"bookmark", L"Gone");
  EXPECT_TRUE(Errors.empty());
}

// Results whose key or value another program deleted since the search:
// Delete drops each with an ordinary message that names what is gone (not
// the error dialog, which asks for a restart), also one gone alone among
// several deleted, and none counts as deleted; opening a value result
// whose value went says so as well.
TEST_F(FindResults, ResultsWhoseKeyOrValueWentAreDroppedWithAnOrdinaryMessage) {
  Write(String(Data) + L"\\Gone", L"Hit", REG_SZ, Sz(L"1"));
  CreateKey(String(Data) + L"\\HitKey");
  Write(Data, L"Hit", REG_SZ, Sz(L"2"));
  Write(Data, L"Hit2", REG_SZ, Sz(L"3"));
  Start();
  ASSERT_NE(Open(), nullptr);
  Search(L"^Hit", 2);
  const String data = String(L"HKEY_CURRENT_USER\\") + Data;
  for (const String& r : {data + L"\\Gone\\ : Hit", data + L"\\HitKey\\", data + L"\\ : Hit", data + L"\\ : Hit2"})
    ASSERT_NE(Result(r), nullptr) << WideToAnsi(r);
  DeleteTree(String(Data) + L"\\Gone");
  DeleteTree(String(Data) + L"\\HitKey");
  ASSERT_EQ(RegDeleteKeyValueW(HKEY_CURRENT_USER, Data.c_str(), L"Hit"), ERROR_SUCCESS);
  int asked = 0;
  TfrmConfirm::ExecuteHook = [&](TfrmConfirm* C) {
    ++asked;
    return int(C->btnYesToAll->GetVisible() ? mrYesToAll : mrYes);
  };
  auto selectOnly = [&](const std::vector<String>& Texts) {
    Window->lvFindResults->ClearSelection();
    for (const String& t : Texts) Window->lvFindResults->SetSelected(Result(t));
    Window->lvFindResults->SetItemFocused(Result(Texts[0]));
    Foreground(Window->lvFindResults);
    Messages().clear();
  };

  selectOnly({data + L"\\ : Hit"});
  testsupport::PressKey(VK_RETURN);
  EXPECT_EQ(Messages(), std::vector<String>{L"The requested value does not exist:\n\n" + data + L"\n\nValue: Hit"});

  const String gone = L" may have been deleted or renamed by another process or application.\n\nKey: ";
  selectOnly({data + L"\\Gone\\ : Hit"});
  PressDelete();
  EXPECT_EQ(Messages(),
            std::vector<String>{L"Unable to find key for the value to delete.  The key value" + gone + data +
                                L"\\Gone"});
  EXPECT_EQ(Result(data + L"\\Gone\\ : Hit"), nullptr);
  selectOnly({data + L"\\ : Hit"});
  PressDelete();
  EXPECT_EQ(Messages(), std::vector<String>{L"Unable to find the value to delete.  The value" + gone + data +
                                            L"\nValue: Hit"});
  // Two at once, one of them still there: only that one counts, and the
  // one gone alone has its own message too.
  selectOnly({data + L"\\HitKey\\", data + L"\\ : Hit2"});
  PressDelete();
  EXPECT_EQ(Messages(), std::vector<String>{L"Unable to find the key to delete.  The key" + gone + data + L"\\HitKey"});
  EXPECT_EQ(Window->GetStatusText(), L"Find results deleted: 1");
  EXPECT_EQ(asked, 3);
  EXPECT_EQ(Window->lvFindResults->Items()->GetCount(), 0);
  EXPECT_TRUE(ValueNames(Data).empty());
  EXPECT_TRUE(Errors.empty());
}

// A search that finds a key and the values below it, all deleted in one
// go: the key takes its values along, and their results leave the list as
// deleted, without a question each (after a Yes) and without a message
// each that their key is gone; a value found twice (by name and by data)
// goes once. So too where a result names its key through an alias (the
// same key below HKEY_USERS).
TEST_F(FindResults, ResultsTakenWithAKeyDeletedBeforeThemGoAsDeleted) {
  const int values = 500;
  const String data = String(L"HKEY_CURRENT_USER\\") + Data;
  Start();
  ASSERT_NE(Open(), nullptr);
  std::vector<String> asked;
  int answer = mrYes;
  TfrmConfirm::ExecuteHook = [&](TfrmConfirm* C) {
    asked.push_back(C->lblPrompt2->GetCaption());
    return C->btnYesToAll->GetVisible() ? answer : int(mrYes);
  };
  auto deleteAll = [&] {
    Window->lvFindResults->SelectAll();
    Window->lvFindResults->SetItemFocused(Window->lvFindResults->Items()->GetItem(0));
    Foreground(Window->lvFindResults);
    asked.clear();
    Messages().clear();
    testsupport::PressKey(VK_DELETE);
    dlgtest::Pump(50);
  };
  for (const int a : {int(mrYes), int(mrYesToAll)}) {
    SCOPED_TRACE(a == mrYes ? "Yes to each" : "Yes to All");
    answer = a;
    for (int i = 0; i < values; ++i) {
      wchar_t name[16];
      swprintf(name, 16, L"Hit%03d", i);
      Write(String(Data) + L"\\Hit", name, REG_SZ, Sz(L"x"));
    }
    Write(Data, L"HitTwice", REG_SZ, Sz(L"Hit"));
    Search(L"^Hit", 2);
    ASSERT_EQ(Window->lvFindResults->Items()->GetCount(), values + 3);
    deleteAll();
    EXPECT_FALSE(KeyExists(String(Data) + L"\\Hit"));
    EXPECT_TRUE(ValueNames(Data).empty());
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(Window->GetStatusText(), L"Find results deleted: " + IntToStr(values + 3));
    EXPECT_EQ(Window->lvFindResults->Items()->GetCount(), 0);
    if (a == mrYes)
      EXPECT_EQ(asked, (std::vector<String>{data + L"\\ : HitTwice", data + L"\\Hit\\"}));
    else
      EXPECT_EQ(asked.size(), 1u);
  }

  // The same keys below HKEY_USERS, by the user's security identifier.
  const String users = UsersData();
  ASSERT_FALSE(users.empty());
  ASSERT_TRUE(RegKeyExists(RegRoot::Users, users));
  Write(String(Data) + L"\\A", L"v", REG_SZ, Sz(L"1"));
  Write(String(Data) + L"\\B\\Sub", L"w", REG_SZ, Sz(L"2"));
  const String mine = L"\\" + Data;
  const TSearchHit hits[] = {{hkKeyName, RegRoot::CurrentUser, mine + L"\\A\\", L"", L""},
                             {hkValueName, RegRoot::Users, users + L"\\A\\", L"v", L""},
                             {hkKeyName, RegRoot::Users, users + L"\\B\\", L"", L""},
                             {hkKeyName, RegRoot::CurrentUser, mine + L"\\B\\Sub\\", L"", L""},
                             {hkStringData, RegRoot::CurrentUser, mine + L"\\B\\Sub\\", L"w", L"2"}};
  Window->SearchStarted();
  for (const TSearchHit& h : hits) Window->AddFindResult(new TSearchHit(h));
  Window->SearchFinished();
  answer = mrYesToAll;
  {
    // A batch this short never shows the Stop button.
    TStopShows shows(Window->btnStop->GetHandle());
    ASSERT_TRUE(shows.Hooked());
    deleteAll();
    EXPECT_EQ(shows.Count(), 0);
  }
  EXPECT_EQ(asked.size(), 1u);
  EXPECT_FALSE(KeyExists(String(Data) + L"\\A"));
  EXPECT_FALSE(KeyExists(String(Data) + L"\\B"));
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(Window->GetStatusText(), L"Find results deleted: 5");
  EXPECT_TRUE(Errors.empty());
}

// Results whose keys or values another program deleted since the search,
// deleted together: one message at the end names them (the first ten, and
// the count of the rest); the results the command took itself are not
// among them.
TEST_F(FindResults, ResultsGoneBehindTheProgramsBackAreNamedInOneMessage) {
  for (int i = 0; i < 12; ++i) Write(String(Data) + L"\\Many", L"Lost" + IntToStr(i), REG_SZ, Sz(L"x"));
  Write(String(Data) + L"\\LostKey", L"LostInside", REG_SZ, Sz(L"x"));
  CreateKey(String(Data) + L"\\LostKey2");
  Write(Data, L"Lost", REG_SZ, Sz(L"x"));
  Start();
  ASSERT_NE(Open(), nullptr);
  Search(L"^Lost", 2);
  TListItems* items = Window->lvFindResults->Items();
  ASSERT_EQ(items->GetCount(), 16);
  std::vector<String> gone;  // in the list's order
  for (int i = 0; i < items->GetCount(); ++i) {
    const String text = Window->GetFindResultText(items->GetItem(i));
    if (text.find(L"\\Many\\") != String::npos || text.find(L"\\LostKey2\\") != String::npos) gone.push_back(text);
  }
  ASSERT_EQ(gone.size(), 13u);
  DeleteTree(String(Data) + L"\\Many");
  DeleteTree(String(Data) + L"\\LostKey2");
  TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrYesToAll); };
  Window->lvFindResults->SelectAll();
  Foreground(Window->lvFindResults);
  Messages().clear();
  PressDelete();
  String expected = L"Unable to find the keys or values of 13 find results to delete.  They may have been deleted or "
                    L"renamed by another process or application.\n";
  for (size_t i = 0; i < 10; ++i) expected += L"\n" + gone[i];
  expected += L"\n... and 3 more.";
  EXPECT_EQ(Messages(), std::vector<String>{expected});
  EXPECT_EQ(Window->GetStatusText(), L"Find results deleted: 3");
  EXPECT_EQ(items->GetCount(), 0);
  EXPECT_FALSE(KeyExists(String(Data) + L"\\LostKey"));
  EXPECT_TRUE(ValueNames(Data).empty());
  EXPECT_TRUE(Errors.empty());
}

// A search that ends while its Stop button has the keyboard (Tab to Stop,
// Space, and the search's end report) leaves the keyboard on the find
// results, where the arrows move on (Stop, hidden and disabled, once left
// no control taking keys until a click).
TEST_F(FindResults, ASearchEndingOnItsStopButtonLeavesTheKeyboardOnTheResults) {
  Start();
  Window->SearchStarted();
  for (const wchar_t* path : {L"\\A\\", L"\\B\\", L"\\C\\"})
    Window->AddFindResult(new TSearchHit{hkKeyName, RegRoot::CurrentUser, path, L"", L""});
  Foreground(Window->lvFindResults);
  const HWND list = Window->lvFindResults->GetHandle(), stop = Window->btnFindStop->GetHandle();
  Window->lvFindResults->Items()->GetItem(0)->SetFocused(true);
  for (int i = 0; i < 12 && GetFocus() != stop; ++i) {
    testsupport::PressKey(VK_TAB);
    dlgtest::Pump(20);
  }
  ASSERT_EQ(GetFocus(), stop);
  testsupport::PressKey(VK_SPACE);
  dlgtest::Pump(30);
  Window->SearchFinished();
  dlgtest::Pump(30);
  EXPECT_EQ(GetFocus(), list);
  auto focusedRow = [&] { return int(SendMessageW(list, LVM_GETNEXTITEM, WPARAM(-1), LVNI_FOCUSED)); };
  const int row = focusedRow();
  ASSERT_GE(row, 0);
  const bool down = row + 1 < Window->lvFindResults->Items()->GetCount();
  testsupport::PressKey(down ? VK_DOWN : VK_UP);
  dlgtest::Pump(30);
  EXPECT_EQ(focusedRow(), down ? row + 1 : row - 1);
}

// The Stop button of the search panel stays inside a narrow window, where
// the mouse reaches it.
TEST_F(FindResults, TheStopButtonStaysInReachOfANarrowWindow) {
  Start();
  Window->SetBounds(20, 20, 400, 480);
  dlgtest::Pump(50);
  Window->SearchStarted();
  dlgtest::Pump(50);
  ASSERT_TRUE(Window->panelSearching->Showing());
  RECT panel, button;
  GetWindowRect(Window->panelSearching->GetHandle(), &panel);
  GetWindowRect(Window->btnFindStop->GetHandle(), &button);
  EXPECT_GE(button.left, panel.left);
  EXPECT_LE(button.right, panel.right);
  EXPECT_LE(button.right, panel.right - 4);
  int clicks = 0;
  const TNotifyEvent stop = Window->btnFindStop->OnClick;
  Window->btnFindStop->OnClick = [&](TObject*) { ++clicks; };
  testsupport::Click(POINT{(button.left + button.right) / 2, (button.top + button.bottom) / 2});
  dlgtest::Pump(30);
  Window->btnFindStop->OnClick = stop;
  EXPECT_EQ(clicks, 1);
  // Widened, it keeps to the right edge.
  Window->SetBounds(20, 20, 900, 480);
  dlgtest::Pump(50);
  GetWindowRect(Window->panelSearching->GetHandle(), &panel);
  GetWindowRect(Window->btnFindStop->GetHandle(), &button);
  EXPECT_GT(button.left, panel.left + 500);
  EXPECT_LE(button.right, panel.right);
  Window->SearchFinished();
}

// The results window keeps only the count of the hits (the list keeps the
// hits): a new search empties it at once however many it shows, where a
// window that holds a record per hit frees them one by one (under Wine in
// time that grows with the square of their number: seconds for 200,000).
TEST_F(FindResults, TheResultsWindowHoldsOnlyTheCountOfItsHits) {
  Start();
  const HWND h = Window->lvFindResults->GetHandle();
  EXPECT_NE(GetWindowLongPtrW(h, GWL_STYLE) & LVS_OWNERDATA, 0);
  Window->SearchStarted();
  for (const wchar_t* k : {L"\\B\\", L"\\A\\"})
    Window->AddFindResult(new TSearchHit{hkValueName, RegRoot::CurrentUser, k, L"v", L""});
  Window->SearchFinished();
  ASSERT_EQ(SendMessageW(h, LVM_GETITEMCOUNT, 0, 0), 2);
  Window->SearchStarted();
  EXPECT_EQ(SendMessageW(h, LVM_GETITEMCOUNT, 0, 0), 0);
  EXPECT_EQ(Window->lvFindResults->Items()->GetCount(), 0);
  Window->SearchFinished();
}

// A result on a root key itself is bookmarked under the root key's name,
// as the root key is from the tree, never under an empty name.
TEST_F(FindResults, ABookmarkedRootKeyResultIsNamedAfterTheRootKey) {
  Start();
  Window->SearchStarted();
  Window->AddFindResult(new TSearchHit{hkKeyName, RegRoot::CurrentUser, L"\\", L"", L""});
  Window->AddFindResult(new TSearchHit{hkKeyName, RegRoot::CurrentUser, L"\\Software\\Wine\\", L"", L""});
  Window->SearchFinished();
  TListItems* results = Window->lvFindResults->Items();
  for (int i = 0; i < results->GetCount(); ++i) {
    Window->lvFindResults->ClearSelection();
    Window->lvFindResults->SetSelected(results->GetItem(i));
    Window->pmnuFind_BookmarkClick(nullptr);
    SendMessageW(Window->lvBookmarks->GetHandle(), LVM_CANCELEDITLABEL, 0, 0);
  }
  TListItems* marks = Window->lvBookmarks->Items();
  ASSERT_EQ(marks->GetCount(), 2);
  std::vector<std::pair<String, String>> got;
  for (int i = 0; i < 2; ++i) got.emplace_back(marks->GetItem(i)->GetCaption(), marks->GetItem(i)->SubItems()->Get(1));
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, (std::vector<std::pair<String, String>>{{L"HKEY_CURRENT_USER", L""}, {L"Wine", L"\\Software\\Wine"}}));
}

}  // namespace

namespace {

// A key deleted through its result leaves the tree also where the tree
// shows it beside or below the selected key, not only on the way to it.
TEST_F(FindResults, AKeyDeletedThroughItsResultLeavesTheTree) {
  for (const wchar_t* k : {L"\\Zap", L"\\Keep", L"\\Zap2", L"\\Keep\\Below"}) CreateKey(String(Data) + k);
  Start();
  TTreeExNode* data = Open();
  ASSERT_NE(data, nullptr);
  data->Expand(false);
  ASSERT_NE(Open(L"Keep\\Below"), nullptr);
  ASSERT_NE(Open(L"Keep"), nullptr);
  auto children = [](TTreeExNode* N) {
    std::vector<String> v;
    for (TTreeExNode* c = N->GetFirstChild(); c; c = c->GetNextSibling()) v.push_back(c->GetText());
    return v;
  };
  ASSERT_EQ(children(data), (std::vector<String>{L"Keep", L"Zap", L"Zap2"}));
  Window->SearchStarted();
  for (const wchar_t* k : {L"\\Zap\\", L"\\Keep\\Below\\"})
    Window->AddFindResult(new TSearchHit{hkKeyName, RegRoot::CurrentUser, String(L"\\") + Data + k, L"", L""});
  Window->SearchFinished();
  TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrYesToAll); };
  Window->lvFindResults->SelectAll();
  Window->DeleteSelected(Window->lvFindResults);
  EXPECT_EQ(Window->GetStatusText(), L"Find results deleted: 2");
  EXPECT_EQ(children(data), (std::vector<String>{L"Keep", L"Zap2"}));
  ASSERT_NE(Window->GetSelectedNode(), nullptr);
  EXPECT_EQ(Window->GetSelectedNode()->GetText(), L"Keep");
  EXPECT_TRUE(children(Window->GetSelectedNode()).empty());
  // The selected key itself goes too: the tree moves to the key above.
  Window->SearchStarted();
  Window->AddFindResult(new TSearchHit{hkKeyName, RegRoot::CurrentUser, String(L"\\") + Data + L"\\Keep\\", L"", L""});
  Window->SearchFinished();
  TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrYes); };
  Window->lvFindResults->SelectAll();
  Window->DeleteSelected(Window->lvFindResults);
  EXPECT_FALSE(KeyExists(String(Data) + L"\\Keep"));
  EXPECT_EQ(children(data), std::vector<String>{L"Zap2"});
  EXPECT_EQ(Window->GetSelectedNode(), data);
  EXPECT_TRUE(Errors.empty());
  EXPECT_TRUE(Messages().empty());
}

// A key result whose deletion fails part way (a subkey the user may not
// delete) goes as a key the tree fails to delete: what the tree read of it
// is read again, and a later result whose key went with the part deleted
// went by this command (no message that another program took it).
TEST_F(FindResults, AKeyResultDeletedPartWayLeavesNoStaleNodeOrMessage) {
  Write(Data + L"\\K\\A", L"a", REG_SZ, Sz(L"x"));
  CreateKey(Data + L"\\K\\B");
  struct TLocked {
    String Path;
    void Set(const wchar_t* Sddl) {
      PSECURITY_DESCRIPTOR sd = nullptr;
      HKEY k = nullptr;
      if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(Sddl, SDDL_REVISION_1, &sd, nullptr)) return;
      if (RegOpenKeyExW(HKEY_CURRENT_USER, Path.c_str(), 0, WRITE_DAC, &k) == ERROR_SUCCESS) {
        RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, sd);
        RegCloseKey(k);
      }
      LocalFree(sd);
    }
    explicit TLocked(const String& P) : Path(P) { Set(L"D:(D;;KA;;;WD)"); }
    ~TLocked() { Set(L"D:(A;;KA;;;WD)"); }
  } locked(Data + L"\\K\\B");
  Start();
  ASSERT_NE(Open(L"K\\A"), nullptr);
  TTreeExNode* data = Open();
  ASSERT_NE(data, nullptr);
  TTreeExNode* k = Window->FindChild(data, L"K");
  ASSERT_TRUE(k && k->GetExpanded());
  Window->SearchStarted();
  Window->AddFindResult(new TSearchHit{hkKeyName, RegRoot::CurrentUser, L"\\" + Data + L"\\K\\", L"", L""});
  Window->AddFindResult(new TSearchHit{hkValueName, RegRoot::CurrentUser, L"\\" + Data + L"\\K\\A\\", L"a", L""});
  Window->SearchFinished();
  TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrYesToAll); };
  Window->lvFindResults->SelectAll();
  Window->SetActiveControl(Window->lvFindResults);
  PressDelete();
  ASSERT_TRUE(PumpUntil([&] { return Window->GetStatusText().rfind(L"Find results deleted: ", 0) == 0; }));
  ASSERT_FALSE(KeyExists(Data + L"\\K\\A"));
  ASSERT_TRUE(KeyExists(Data + L"\\K")) << (Errors.empty() ? "no error" : WideToAnsi(Errors[0]));
  // The value's result went with the part deleted, but what is gone below
  // a key deleted part way may have gone by another program: it leaves
  // the list unnamed and uncounted.
  EXPECT_EQ(Window->GetStatusText(), L"Find results deleted: 0");
  EXPECT_EQ(Window->lvFindResults->Items()->GetCount(), 1);
  EXPECT_EQ(Errors.size(), 1u);
  EXPECT_TRUE(Messages().empty()) << WideToAnsi(Messages().empty() ? String() : Messages()[0]);
  k = Window->FindChild(data, L"K");
  ASSERT_NE(k, nullptr);
  EXPECT_EQ(Window->FindChild(k, L"A"), nullptr);
}

// A search that ends while a value's editor is open reports its end as
// any search does: the report stays when another key is listed (it was
// taken for the editor's word on the value and cleared).
TEST_F(FindResults, ASearchEndingWhileAValueIsEditedKeepsItsReport) {
  Write(Data + L"\\A", L"s", REG_SZ, Sz(L"needle"));
  CreateKey(Data + L"\\B");
  Start();
  ASSERT_NE(Open(), nullptr);
  Search(L"needle", 2);
  TTreeExNode* b = Open(L"B");
  ASSERT_NE(Open(L"A"), nullptr);
  SelectOnly(Window->lvKeyValues, {L"s"});
  Foreground(Window->lvKeyValues);
  TfrmEditValue* ed = F.EditValue;
  Script s;
  s.Steps = {{[] { return true; }, [] { testsupport::InputScript().Press(VK_RETURN).Post(); }},
             // The search the user started before runs on while the editor is open.
             {[=] { return ed->GetVisible(); }, [] { dmodCommon->StartSearch(true, TSearchInput()); }},
             {[=] { return !dmodCommon->Logic.IsSearching() && Window->GetStatusText() == L"Search finished."; },
              [=] { testsupport::InputScript().Click(testsupport::ClientCentre(ed->btnCancel->GetHandle())).Post(); }},
             {[=] { return !ed->GetVisible(); }, [] {}}};
  ASSERT_EQ(s.Run(15000), s.Steps.size()) << WideToAnsi(Window->GetStatusText());
  const TRect r = b->DisplayRect(true);
  testsupport::Click(
      testsupport::ScreenPoint(Window->treeRegTree->GetHandle(), (r.left + r.right) / 2, (r.top + r.bottom) / 2));
  ASSERT_TRUE(PumpUntil([&] { return Window->GetSelectedNode() == b; }));
  EXPECT_EQ(Window->GetStatusText(), L"Search finished.");
}

// A key of a large branch deleted through its result goes as the tree
// deletes one: while the window goes on answering, the status telling how
// far it got.
TEST_F(FindResults, AKeyDeletedThroughItsResultGoesWhileTheWindowGoesOnAnswering) {
  const int kKeys = 300;
  for (int i = 0; i < kKeys; ++i) CreateKey(Data + L"\\Big\\K" + IntToStr(i) + (i % 10 == 0 ? L"\\Child" : L""));
  CreateKey(Data + L"\\Kept");
  Start();
  ASSERT_NE(Open(), nullptr);
  TListViewQ* results = Window->lvFindResults;
  Window->SearchStarted();
  Window->AddFindResult(new TSearchHit{hkKeyName, RegRoot::CurrentUser, L"\\" + Data + L"\\Big\\", L"", L""});
  Window->SearchFinished();
  results->SetSelected(results->Items()->GetItem(0));
  TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrYes); };
  const HWND main = Window->GetHandle(), bar = Window->sbStatus->GetHandle();
  std::atomic<int> reports{0};
  std::atomic<bool> answered{false};
  wchar_t during[256] = {};
  // The first report, on the worker: the window thread answers and shows
  // the deletion under way.
  dmodCommon->Logic.OnDeleteProgress = [&](size_t, size_t) {
    if (reports++ != 0) return;
    DWORD_PTR r = 0;
    answered = SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &r) != 0;
    SendMessageTimeoutW(bar, SB_GETTEXTW, 0, LPARAM(during), SMTO_ABORTIFHUNG, 10000, &r);
  };
  Window->SetActiveControl(results);
  PressDelete();
  const bool done = PumpUntil([&] { return Window->GetStatusText() == L"Find result deleted."; });
  dmodCommon->Logic.OnDeleteProgress = {};
  EXPECT_TRUE(done) << WideToAnsi(Window->GetStatusText());
  EXPECT_EQ(reports, kKeys);
  EXPECT_TRUE(answered);
  EXPECT_EQ(String(during).rfind(L"Deleting key...", 0), 0u) << WideToAnsi(during);
  EXPECT_FALSE(KeyExists(Data + L"\\Big"));
  EXPECT_TRUE(KeyExists(Data + L"\\Kept"));
  EXPECT_EQ(results->Items()->GetCount(), 0);
  EXPECT_TRUE(Errors.empty());
}

// Past "Yes to All" many key results, each with subkeys: the share done
// shows with the Stop button (each key is slow, as on a busy disk) and
// Escape pressed then stops the delete before its next key: the keys not
// reached stay, with their results, and the status counts the keys really
// deleted. An exception out of the command (here out of the status) takes
// the results of the keys deleted before it out of the list all the same.
TEST_F(FindResults, ManyKeyResultsWithSubkeysShowHowFarTheyGotAndStopOnEscape) {
  constexpr int kKeys = 300;
  TListViewQ* results = nullptr;
  auto keysLeft = [&] {
    int left = 0;
    for (int i = 0; i < kKeys; ++i) left += KeyExists(Data + L"\\K" + IntToStr(1000 + i)) ? 1 : 0;
    return left;
  };
  for (const bool escape : {true, false}) {
    SCOPED_TRACE(escape ? "Escape" : "an exception");
    for (int i = 0; i < kKeys; ++i)
      for (const wchar_t* sub : {L"\\A", L"\\B"}) CreateKey(Data + L"\\K" + IntToStr(1000 + i) + sub);
    if (!Window) {
      Start();
      ASSERT_NE(Open(), nullptr);
    }
    results = Window->lvFindResults;
    Window->SearchStarted();
    for (int i = 0; i < kKeys; ++i)
      Window->AddFindResult(
          new TSearchHit{hkKeyName, RegRoot::CurrentUser, L"\\" + Data + L"\\K" + IntToStr(1000 + i) + L"\\", L"", L""});
    Window->SearchFinished();
    TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrYesToAll); };
    dmodCommon->Logic.OnDeleteProgress = [](size_t, size_t) { Sleep(1); };
    String progress;
    bool stopShown = false;
    std::vector<String> raised;
    const auto shownBy = Application->OnException;
    Application->OnException = [&](TObject*, const Exception& E) { raised.push_back(E.Message()); };
    const auto before = dmodCommon->Logic.OnStatusText;
    dmodCommon->Logic.OnStatusText = [&](const String& Text) {
      before(Text);
      if (!progress.empty() || Text.rfind(L"Deleting find results... ", 0) != 0) return;
      progress = Text;
      stopShown = IsWindowVisible(Window->btnStop->GetHandle()) != 0;
      if (!escape) throw Exception(String(L"broken status"));
      testsupport::InputScript().Press(VK_ESCAPE).Post();
      MSG m;
      for (int i = 0; i < 5000 && !PeekMessageW(&m, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE); ++i) Sleep(1);
    };
    results->SelectAll();
    Window->SetActiveControl(results);
    PressDelete();
    const bool ended = PumpUntil([&] {
      return escape ? Window->GetStatusText().rfind(L"Find results deleted: ", 0) == 0 : !raised.empty();
    });
    dmodCommon->Logic.OnStatusText = before;
    dmodCommon->Logic.OnDeleteProgress = {};
    Application->OnException = shownBy;
    ASSERT_TRUE(ended) << WideToAnsi(Window->GetStatusText());
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(stopShown);
    const int left = keysLeft();
    EXPECT_GT(left, 0);
    EXPECT_LT(left, kKeys);
    if (escape) EXPECT_EQ(Window->GetStatusText(), L"Find results deleted: " + IntToStr(kKeys - left));
    EXPECT_EQ(results->Items()->GetCount(), left);
    EXPECT_EQ(int(SendMessageW(results->GetHandle(), LVM_GETITEMCOUNT, 0, 0)), left);
    EXPECT_FALSE(Window->btnStop->GetVisible());
    EXPECT_TRUE(Errors.empty());
    for (int i = 0; i < kKeys; ++i) testsupport::reg::DeleteTree(Data + L"\\K" + IntToStr(1000 + i));
    results->Items()->Clear();
  }
}

// Among many results, a key whose one subkey holds a deep branch goes while
// the window goes on answering (the deletion is not on its thread).
TEST_F(FindResults, AKeyResultWithADeepSubkeyGoesAmongManyWhileTheWindowGoesOnAnswering) {
  for (int i = 0; i < 200; ++i) CreateKey(Data + L"\\Deep\\Sub\\K" + IntToStr(i) + L"\\Inner");
  CreateKey(Data + L"\\Plain");
  Start();
  ASSERT_NE(Open(), nullptr);
  TListViewQ* results = Window->lvFindResults;
  Window->SearchStarted();
  for (const wchar_t* k : {L"\\Deep\\", L"\\Plain\\"})
    Window->AddFindResult(new TSearchHit{hkKeyName, RegRoot::CurrentUser, L"\\" + Data + k, L"", L""});
  Window->SearchFinished();
  TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrYesToAll); };
  const HWND main = Window->GetHandle();
  const DWORD windowThread = GetCurrentThreadId();
  std::atomic<int> reports{0};
  std::atomic<bool> answered{false};
  dmodCommon->Logic.OnDeleteProgress = [&](size_t, size_t) {
    if (reports++ != 0 || GetCurrentThreadId() == windowThread) return;
    DWORD_PTR r = 0;
    answered = SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 10000, &r) != 0;
  };
  results->SelectAll();
  Window->SetActiveControl(results);
  PressDelete();
  const bool done = PumpUntil([&] { return Window->GetStatusText().rfind(L"Find results deleted: ", 0) == 0; });
  dmodCommon->Logic.OnDeleteProgress = {};
  ASSERT_TRUE(done) << WideToAnsi(Window->GetStatusText());
  EXPECT_EQ(reports, 1);
  EXPECT_TRUE(answered);
  EXPECT_FALSE(KeyExists(Data + L"\\Deep"));
  EXPECT_FALSE(KeyExists(Data + L"\\Plain"));
  EXPECT_EQ(Window->GetStatusText(), L"Find results deleted: 2");
  EXPECT_EQ(results->Items()->GetCount(), 0);
  EXPECT_TRUE(Errors.empty());
}

// A key deleted through its result below HKEY_USERS\<SID> leaves the tree
// below HKEY_CURRENT_USER too, where the tree had read it (a click on it
// there reported the key unreadable); a key deleted, or renamed, in the
// tree below HKEY_CURRENT_USER leaves it below HKEY_USERS\<SID>.
TEST_F(FindResults, AKeyDeletedLeavesTheTreeUnderEveryRootKeyThatShowsIt) {
  for (const wchar_t* k : {L"\\One", L"\\Two", L"\\Three"}) CreateKey(String(Data) + k);
  const String users = UsersData();
  ASSERT_FALSE(users.empty());
  Start();
  TTreeExNode* mine = Open();
  ASSERT_NE(mine, nullptr);
  mine->Expand(false);
  TTreeExNode* theirs = Window->ExpandToBranch(RegRoot::Users, users, true);
  ASSERT_NE(theirs, nullptr);
  theirs->Expand(false);
  auto children = [](TTreeExNode* N) {
    std::vector<String> v;
    for (TTreeExNode* c = N->GetFirstChild(); c; c = c->GetNextSibling()) v.push_back(c->GetText());
    return v;
  };
  ASSERT_EQ(children(mine), (std::vector<String>{L"One", L"Three", L"Two"}));
  ASSERT_EQ(children(theirs), (std::vector<String>{L"One", L"Three", L"Two"}));
  TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrYes); };
  Window->SearchStarted();
  Window->AddFindResult(new TSearchHit{hkKeyName, RegRoot::Users, users + L"\\One\\", L"", L""});
  Window->SearchFinished();
  Window->lvFindResults->SelectAll();
  Window->SetActiveControl(Window->lvFindResults);
  PressDelete();
  EXPECT_FALSE(KeyExists(String(Data) + L"\\One"));
  EXPECT_EQ(children(mine), (std::vector<String>{L"Three", L"Two"}));
  EXPECT_EQ(children(theirs), (std::vector<String>{L"Three", L"Two"}));

  ASSERT_NE(Open(L"Two"), nullptr);
  ASSERT_EQ(GetFocus(), Window->treeRegTree->GetHandle());
  PressDelete();
  EXPECT_FALSE(KeyExists(String(Data) + L"\\Two"));
  EXPECT_EQ(children(mine), std::vector<String>{L"Three"});
  EXPECT_EQ(children(theirs), std::vector<String>{L"Three"});

  ASSERT_NE(Open(L"Three"), nullptr);
  Foreground(Window->treeRegTree);
  testsupport::PressKey(VK_F2);
  ASSERT_TRUE(PumpUntil([&] { return Window->treeRegTree->IsEditing(); }, 10000));
  testsupport::InputScript().Press('A', {VK_CONTROL}).Text(L"Trois").Press(VK_RETURN).Send();
  ASSERT_TRUE(PumpUntil([&] { return !Window->treeRegTree->IsEditing() && !dmodCommon->Logic.IsWorking(); }, 20000));
  EXPECT_TRUE(KeyExists(String(Data) + L"\\Trois"));
  EXPECT_EQ(children(mine), std::vector<String>{L"Trois"});
  EXPECT_TRUE(children(theirs).empty());
  EXPECT_TRUE(Errors.empty());
}

// Results chosen and deleted while their search still runs: the search ends
// (and sorts its results by root key), one more hit comes in and a chosen
// result leaves the list while the first question is up. Exactly the
// results chosen and still listed are asked about, each once, in the order
// they were chosen in, and deleted; the hit that came later is not (the
// walk on from the "next" result in the sorted list left a chosen result
// out).
TEST_F(FindResults, ResultsChosenWhileTheSearchRunsAreAskedAboutOnceEachWhateverItsEndDoes) {
  for (const wchar_t* name : {L"u1", L"u2", L"u3", L"c1", L"late"}) Write(Data, name, REG_SZ, Sz(L"x"));
  const String users = UsersData();
  ASSERT_FALSE(users.empty());
  Start();
  ASSERT_NE(Open(), nullptr);
  const String mine = L"\\" + Data + L"\\";
  Window->SearchStarted();
  // In the order of a walk of the whole registry: below HKEY_USERS first,
  // which the end of the search sorts after HKEY_CURRENT_USER.
  Window->AddFindResult(new TSearchHit{hkValueName, RegRoot::Users, users + L"\\", L"u1", L""});
  Window->AddFindResult(new TSearchHit{hkValueName, RegRoot::Users, users + L"\\", L"u2", L""});
  Window->AddFindResult(new TSearchHit{hkValueName, RegRoot::Users, users + L"\\", L"u3", L""});
  Window->AddFindResult(new TSearchHit{hkValueName, RegRoot::CurrentUser, mine, L"c1", L""});
  TListViewQ* results = Window->lvFindResults;
  std::vector<String> chosen;
  for (int i = 0; i < results->Items()->GetCount(); ++i)
    if (ItemHit(results->Items()->GetItem(i))->ValueName != L"u3")
      chosen.push_back(Window->GetFindResultText(results->Items()->GetItem(i)));
  results->SelectAll();
  results->SetItemFocused(results->Items()->GetItem(0));
  Foreground(results);

  TfrmConfirm* c = F.Confirm;
  std::vector<String> asked;
  auto askingAnew = [&] {
    return c->GetVisible() && GetForegroundWindow() == c->GetHandle() &&
           (asked.empty() || c->lblPrompt2->GetCaption() != asked.back());
  };
  auto yes = [&] {
    asked.push_back(c->lblPrompt2->GetCaption());
    testsupport::InputScript().Click(testsupport::ClientCentre(c->btnYes->GetHandle())).Post();
  };
  Script s;
  s.Steps = {{askingAnew,
              [&] {
                Window->AddFindResult(new TSearchHit{hkValueName, RegRoot::CurrentUser, mine, L"late", L""});
                for (int i = 0; i < results->Items()->GetCount(); ++i)
                  if (ItemHit(results->Items()->GetItem(i))->ValueName == L"u3") results->Items()->Delete(i);
                Window->SearchFinished();
                yes();
              }},
             {askingAnew, yes},
             {askingAnew, yes},
             {[&] { return !c->GetVisible() && Window->GetStatusText().rfind(L"Find results deleted: ", 0) == 0; },
              [] {}}};
  EXPECT_EQ(s.Run([] { testsupport::InputScript().Press(VK_DELETE).Post(); }), s.Steps.size());
  EXPECT_EQ(asked, chosen);
  EXPECT_EQ(Window->GetStatusText(), L"Find results deleted: 3");
  EXPECT_EQ(ValueNames(Data), (std::vector<String>{L"late", L"u3"}));
  ASSERT_EQ(results->Items()->GetCount(), 1);
  EXPECT_EQ(ItemHit(results->Items()->GetItem(0))->ValueName, L"late");
  EXPECT_TRUE(Errors.empty());
  EXPECT_TRUE(Messages().empty());
}

}  // namespace

// A search with thousands of hits: they are listed while it runs (a batch
// at a time), and a stop with the Stop button keeps every hit found before
// it, none missing in between; run to its end, all of them are listed.
TEST_F(FindResults, ManyHitsAreListedWhileTheSearchRunsAndNoneIsLostAtAStop) {
  const int keys = 40, perKey = static_cast<int>(3 * TthrdRegSearch::BatchHits) / keys + 1;
  const int total = keys * perKey;
  // The data numbers the hits in the order of the walk.
  for (int k = 0; k < keys; ++k)
    for (int v = 0; v < perKey; ++v) {
      wchar_t key[16], name[16], data[32];
      swprintf(key, 16, L"\\K%02d", k);
      swprintf(name, 16, L"v%03d", v);
      swprintf(data, 32, L"hit %05d", k * perKey + v);
      Write(String(Data) + key, name, REG_SZ, Sz(data));
    }
  Start();
  Window->SetBounds(20, 20, 700, 520);
  ASSERT_NE(Open(), nullptr);
  // Each batch's end: how many results the list shows, and whether the
  // search still runs.
  std::vector<std::pair<int, bool>> batchEnds;
  auto batch = dmodCommon->Logic.OnFindResultBatch;
  dmodCommon->Logic.OnFindResultBatch = [&](bool Begin) {
    batch(Begin);
    if (!Begin) batchEnds.emplace_back(Window->lvFindResults->Items()->GetCount(), dmodCommon->Logic.IsSearching());
  };
  // Listed numbers, checked to be exactly the first ones of the walk.
  auto listed = [&] {
    std::vector<int> r;
    TListItems* items = Window->lvFindResults->Items();
    for (int i = 0; i < items->GetCount(); ++i) r.push_back(std::stoi(items->GetItem(i)->SubItems()->Get(2).substr(4)));
    std::sort(r.begin(), r.end());
    return r;
  };
  auto firstOnes = [](int n) {
    std::vector<int> r(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) r[static_cast<size_t>(i)] = i;
    return r;
  };

  StartSearch(L"hit ", 1);
  ASSERT_TRUE(PumpUntil([&] { return !batchEnds.empty(); }, 30000));
  ASSERT_TRUE(batchEnds[0].second);  // shown while the search runs
  EXPECT_GT(batchEnds[0].first, 0);
  RECT stop;
  GetWindowRect(Window->btnFindStop->GetHandle(), &stop);
  testsupport::Click(POINT{(stop.left + stop.right) / 2, (stop.top + stop.bottom) / 2});
  ASSERT_TRUE(PumpUntil([] { return !dmodCommon->Logic.IsSearching(); }, 30000));
  const std::vector<int> stopped = listed();
  EXPECT_GE(stopped.size(), static_cast<size_t>(batchEnds[0].first));
  EXPECT_EQ(stopped, firstOnes(static_cast<int>(stopped.size())));
  EXPECT_EQ(stopped.size(), static_cast<size_t>(batchEnds.back().first));

  batchEnds.clear();
  Window->mnuEdit_RepeatFindClick(nullptr);
  ASSERT_TRUE(PumpUntil([] { return !dmodCommon->Logic.IsSearching(); }, 30000));
  EXPECT_GE(batchEnds.size(), 2u);
  EXPECT_TRUE(batchEnds[0].second);
  EXPECT_EQ(listed(), firstOnes(total));
  EXPECT_FALSE(Window->panelSearching->GetVisible());
  dmodCommon->Logic.OnFindResultBatch = batch;
  EXPECT_TRUE(Errors.empty());
}

namespace {

// Names far beyond the lists' display buffer stay whole through the lists:
// a found value name opens its value, and a long bookmark description
// renamed in place (End, one more character, Enter) is saved whole.
TEST_F(FindResults, LongNamesStayWholeThroughResultsAndBookmarks) {
  String digits;
  for (int i = 0; i < 300; ++i) digits += wchar_t(L'0' + i % 10);
  Write(String(Data) + L"\\Deep", L"L" + digits, REG_SZ, Sz(L"x"));
  const String description = L"D" + digits;
  {
    std::ofstream out(WideToAnsi(BookmarkFile), std::ios::binary);
    out << WideToAnsi(description) << "\r\nHKEY_CURRENT_USER\r\n\\" << WideToAnsi(Data) << "\r\n";
  }
  Start();
  ASSERT_NE(Open(), nullptr);
  Search(L"^L[0-9]+$", 2);
  ASSERT_EQ(Window->lvFindResults->Items()->GetCount(), 1);
  TListItem* hit = Window->lvFindResults->Items()->GetItem(0);
  Window->lvFindResults->SetSelected(hit);
  Window->lvFindResults->SetItemFocused(hit);
  Foreground(Window->lvFindResults);
  testsupport::PressKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return Window->lvKeyValues->GetSelected() != nullptr; }, 10000));
  EXPECT_TRUE(Window->lvKeyValues->GetSelected()->GetCaption() == L"L" + digits);

  Window->pagExtras->SetActivePage(Window->tbsBookmarks);
  ASSERT_EQ(Window->lvBookmarks->Items()->GetCount(), 1);
  SelectOnly(Window->lvBookmarks, {description});
  Foreground(Window->lvBookmarks);
  testsupport::PressKey(VK_F2);
  ASSERT_TRUE(PumpUntil([&] { return Window->lvBookmarks->IsEditing(); }, 10000));
  testsupport::InputScript().Press(VK_END).Text(L"!").Press(VK_RETURN).Send();
  ASSERT_TRUE(PumpUntil([&] { return !Window->lvBookmarks->IsEditing(); }, 10000));
  Stop();
  std::ifstream in(WideToAnsi(BookmarkFile), std::ios::binary);
  std::string first;
  std::getline(in, first);
  EXPECT_EQ(first.size(), 303u);
  EXPECT_TRUE(first == WideToAnsi(description) + "!\r");
  EXPECT_TRUE(Errors.empty());
  EXPECT_TRUE(Messages().empty());
}

// Each command that acts says what it did in the status bar, in place of
// what came before: a single delete after a multiple one, and Go to a path
// after the search and a bookmark made from the results' pop-up menu.
TEST_F(FindResults, EachCommandOnTheResultsSetsItsOwnStatus) {
  for (const wchar_t* name : {L"S1", L"S2", L"S3"}) Write(Data, name, REG_SZ, Sz(L"x"));
  CreateKey(String(Data) + L"\\Mark");
  Start();
  ASSERT_NE(Open(), nullptr);
  Search(L"^(S[123]|Mark)$", 2);
  ASSERT_EQ(Window->lvFindResults->Items()->GetCount(), 4);
  ASSERT_EQ(Window->GetStatusText(), L"Search finished.");
  const String data = String(L"HKEY_CURRENT_USER\\") + Data + L"\\";
  TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrYes); };
  auto selectOnly = [&](const std::vector<String>& Texts) {
    Window->lvFindResults->ClearSelection();
    for (const String& t : Texts) {
      ASSERT_NE(Result(t), nullptr) << WideToAnsi(t);
      Window->lvFindResults->SetSelected(Result(t));
      Window->lvFindResults->SetItemFocused(Result(t));
    }
    Foreground(Window->lvFindResults);
  };

  selectOnly({data + L" : S1", data + L" : S2"});
  PressDelete();
  ASSERT_EQ(Window->GetStatusText(), L"Find results deleted: 2");
  selectOnly({data + L" : S3"});
  PressDelete();
  EXPECT_EQ(Window->GetStatusText(), L"Find result deleted.");
  EXPECT_FALSE(HasValue(Data, L"S3"));

  // The pop-up menu from the keyboard, its Bookmark item by its letter.
  selectOnly({data + L"Mark\\"});
  ASSERT_TRUE(BookmarkFromKeyboardPopup());
  ASSERT_EQ(Window->lvBookmarks->Items()->GetCount(), 1);

  // A path opened from the address box.
  Window->txtPath->SetText(data + L"mark");
  Window->tbtnNavigation_GoClick(nullptr);
  EXPECT_EQ(Window->GetStatusText(), L"Key opened: " + data + L"Mark");
  EXPECT_TRUE(Errors.empty());
}

// A single delete that fails says so in the status bar: an earlier
// delete's success does not stand for it.
TEST_F(FindResults, AFailedDeleteReplacesTheSuccessOfTheOneBefore) {
  for (const wchar_t* name : {L"S1", L"S2"}) Write(Data, name, REG_SZ, Sz(L"x"));
  Start();
  ASSERT_NE(Open(), nullptr);
  Search(L"^S[12]$", 2);
  ASSERT_EQ(Window->lvFindResults->Items()->GetCount(), 2);
  const String data = String(L"HKEY_CURRENT_USER\\") + Data + L"\\";
  TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrYes); };
  auto selectOnly = [&](const String& Text) {
    Window->lvFindResults->ClearSelection();
    ASSERT_NE(Result(Text), nullptr);
    Window->lvFindResults->SetSelected(Result(Text));
    Window->lvFindResults->SetItemFocused(Result(Text));
    Foreground(Window->lvFindResults);
  };
  selectOnly(data + L" : S1");
  PressDelete();
  ASSERT_EQ(Window->GetStatusText(), L"Find result deleted.");
  selectOnly(data + L" : S2");
  RegistryFailNext(L"RegDeleteValue", 1, ERROR_ACCESS_DENIED);
  PressDelete();
  RegistryClearFaults();
  EXPECT_TRUE(HasValue(Data, L"S2"));
  EXPECT_NE(Result(data + L" : S2"), nullptr);
  EXPECT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Window->GetStatusText(), L"Find result not deleted.");
}

// A delete refused at its question deletes nothing and says so, of values,
// bookmarks and find results alike: the success of the delete before it
// does not stand for it. A delete of many rows cancelled at its first
// question counts none; Yes on a default value that is not set deletes
// nothing, and no success stands for it either.
TEST_F(FindResults, ARefusedDeleteSaysSoInPlaceOfTheSuccessBeforeIt) {
  for (const wchar_t* name : {L"m000", L"m001", L"m002", L"f1", L"f2"}) Write(Data, name, REG_SZ, Sz(L"x"));
  CreateKey(String(Data) + L"\\Sub");
  Start();
  TTreeExNode* data = Open();
  ASSERT_NE(data, nullptr);
  Search(L"^f[12]$", 2);
  const String results = String(L"HKEY_CURRENT_USER\\") + Data + L"\\ : ";
  ASSERT_EQ(Window->lvFindResults->Items()->GetCount(), 2);
  data->Expand(false);
  for (TTreeExNode* node : {data, Window->FindChild(data, L"Sub")}) {
    Window->AddBookmark(node);
    Window->lvBookmarks->Items()->GetItem(Window->lvBookmarks->Items()->GetCount() - 1)->CancelEdit();
  }
  int answer = mrYes;
  TfrmConfirm::ExecuteHook = [&](TfrmConfirm*) { return answer; };
  // The rows chosen alone, Delete pressed on them and the question answered.
  auto deleteRows = [&](TListViewQ* List, const std::vector<TListItem*>& Rows, int Answer) {
    answer = Answer;
    List->ClearSelection();
    for (TListItem* row : Rows) {
      ASSERT_NE(row, nullptr);
      row->SetSelected(true);
      List->SetItemFocused(row);
    }
    Foreground(List);
    PressDelete();
  };
  TListViewQ* values = Window->lvKeyValues;
  deleteRows(values, {ValueItem(L"m000")}, mrYes);
  ASSERT_EQ(Window->GetStatusText(), L"Value deleted.");
  deleteRows(values, {ValueItem(L"m001")}, mrNo);
  EXPECT_EQ(Window->GetStatusText(), L"Value delete aborted.");
  deleteRows(values, {ValueItem(L"m002")}, mrYes);
  ASSERT_EQ(Window->GetStatusText(), L"Value deleted.");
  deleteRows(values, {ValueItem(L"(Default)")}, mrYes);
  EXPECT_EQ(Window->GetStatusText(), L"");
  deleteRows(values, {ValueItem(L"f1"), ValueItem(L"m001")}, mrCancel);
  EXPECT_EQ(Window->GetStatusText(), L"Values deleted: 0");
  EXPECT_NE(ValueItem(L"m001"), nullptr);

  TListViewQ* marks = Window->lvBookmarks;
  auto mark = [&](const String& Caption) {
    for (int i = 0; i < marks->Items()->GetCount(); ++i)
      if (marks->Items()->GetItem(i)->GetCaption() == Caption) return marks->Items()->GetItem(i);
    return static_cast<TListItem*>(nullptr);
  };
  deleteRows(marks, {mark(L"Sub")}, mrYes);
  ASSERT_EQ(Window->GetStatusText(), L"Bookmark deleted.");
  deleteRows(marks, {mark(L"Data")}, mrNo);
  EXPECT_EQ(Window->GetStatusText(), L"Bookmark delete aborted.");
  EXPECT_EQ(marks->Items()->GetCount(), 1);

  Window->pagExtras->SetActivePage(Window->tbsFindResults);
  deleteRows(Window->lvFindResults, {Result(results + L"f1")}, mrYes);
  ASSERT_EQ(Window->GetStatusText(), L"Find result deleted.");
  deleteRows(Window->lvFindResults, {Result(results + L"f2")}, mrNo);
  EXPECT_EQ(Window->GetStatusText(), L"Find result delete aborted.");
  EXPECT_NE(Result(results + L"f2"), nullptr);

  std::vector<String> names = ValueNames(Data);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<String>{L"f2", L"m001"}));
  EXPECT_TRUE(Errors.empty());
}

// Every command sets its own status, or clears the one before it: no
// earlier success or failure is left standing for a command after it that
// failed, or that succeeded with no text of its own.
TEST_F(FindResults, NoEarlierStatusOutlivesTheCommandAfterIt) {
  Write(String(Data) + L"\\Odd", L"Q4", REG_QWORD, Dw(7));
  Write(String(Data) + L"\\Odd", L"Multi", REG_MULTI_SZ, std::string("a\0\0\0\0\0", 6));
  Write(String(Data) + L"\\Plain", L"D", REG_DWORD, Dw(5));
  Write(String(Data) + L"\\Plain", L"S", REG_SZ, Sz(L"s"));
  CreateKey(String(Data) + L"\\Gone");
  CreateKey(String(Data) + L"\\Mark");
  Start();
  TTreeExNode* data = Open();
  ASSERT_NE(data, nullptr);
  Search(L"^Mark$", 2);
  ASSERT_EQ(Window->lvFindResults->Items()->GetCount(), 1);
  auto chosen = [&](TListViewQ* List, const String& Caption) {
    SelectOnly(List, {Caption});
    Foreground(List);
  };
  auto enter = [&](const String& Caption, std::function<void()> InEditor) {
    chosen(Window->lvKeyValues, Caption);
    ASSERT_TRUE(WithModal([] { testsupport::PressKey(VK_RETURN); }, {std::move(InEditor)}));
  };
  // A key of the data listed with a click on it in the tree.
  auto click = [&](const String& Key) {
    if (!data->GetExpanded()) data->Expand(false);
    TTreeExNode* node = Window->FindChild(data, Key);
    ASSERT_NE(node, nullptr);
    Foreground(Window->treeRegTree);
    const TRect r = node->DisplayRect(true);
    testsupport::Click(testsupport::ScreenPoint(Window->treeRegTree->GetHandle(), (r.left + r.right) / 2,
                                                (r.top + r.bottom) / 2));
    ASSERT_TRUE(PumpUntil([&] { return Window->GetSelectedNode() == node; }, 5000));
  };

  // Another key listed leaves the search's report standing: it speaks of
  // the results, not of a key.
  ASSERT_EQ(Window->GetStatusText(), L"Search finished.");
  click(L"Plain");
  EXPECT_EQ(Window->GetStatusText(), L"Search finished.");

  // Copy value: a value with no text to copy fails after one that did not.
  chosen(Window->lvKeyValues, L"D");
  testsupport::PressKey('C', {VK_SHIFT, VK_CONTROL});
  ASSERT_TRUE(PumpUntil([&] { return Window->GetStatusText() == L"Copied selected value to the clipboard."; }, 5000));
  ASSERT_NE(Open(L"Odd"), nullptr);
  chosen(Window->lvKeyValues, L"Multi");
  testsupport::PressKey('C', {VK_SHIFT, VK_CONTROL});
  EXPECT_TRUE(PumpUntil([] { return !dlgtest::ShownExceptions().empty(); }, 5000));
  EXPECT_EQ(Window->GetStatusText(), L"Value not copied.");
  dlgtest::ShownExceptions().clear();

  // The note on how one value is edited goes when another is opened.
  enter(L"Q4", [] { testsupport::PressKey(VK_ESCAPE); });
  ASSERT_EQ(Window->GetStatusText(),
            L"The REG_QWORD value has 4 bytes of data: it is edited as bytes, and stays a REG_QWORD.");
  click(L"Plain");
  EXPECT_EQ(Window->GetStatusText(), L"");
  // A key opened by its path is no more once the keys in the tree list
  // another.
  Window->txtPath->SetText(String(L"HKEY_CURRENT_USER\\") + Data + L"\\Odd");
  Window->tbtnNavigation_GoClick(nullptr);
  ASSERT_EQ(Window->GetStatusText(), String(L"Key opened: HKEY_CURRENT_USER\\") + Data + L"\\Odd");
  Foreground(Window->treeRegTree);
  testsupport::PressKey(VK_DOWN);
  ASSERT_TRUE(PumpUntil([&] { return Window->GetSelectedNode()->GetText() == L"Plain"; }, 5000));
  EXPECT_EQ(Window->GetStatusText(), L"");
  String whileEdited = L"?";
  enter(L"D", [&] {
    ASSERT_TRUE(F.EditValue->GetVisible());
    whileEdited = Window->GetStatusText();
    testsupport::PressKey(VK_ESCAPE);
  });
  EXPECT_EQ(whileEdited, L"");
  // A cancelled editor leaves no other value's success standing.
  enter(L"D", [] { testsupport::PressKey(VK_RETURN); });
  ASSERT_EQ(Window->GetStatusText(), L"Integer value saved.");
  enter(L"S", [] { testsupport::PressKey(VK_ESCAPE); });
  EXPECT_EQ(Window->GetStatusText(), L"");

  // Enter on a new bookmark's name as given renames nothing.
  ASSERT_NE(Open(L"Gone"), nullptr);
  Foreground(Window->treeRegTree);
  testsupport::PressKey('B', {VK_CONTROL});
  ASSERT_TRUE(PumpUntil([&] { return Window->lvBookmarks->IsEditing(); }, 5000));
  testsupport::PressKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return !Window->lvBookmarks->IsEditing(); }, 5000));
  EXPECT_EQ(Window->GetStatusText(), L"New bookmark added: Gone");

  // A bookmark whose key is gone, opened after an aborted export.
  TPlacesOpenDialog::DialogHook = [](OPENFILENAMEW&, bool) -> BOOL { return FALSE; };
  Window->mnuFile_ExportClick(nullptr);
  ASSERT_EQ(Window->GetStatusText(), L"Export aborted.");
  DeleteTree(String(Data) + L"\\Gone");
  chosen(Window->lvBookmarks, L"Gone");
  testsupport::PressKey(VK_RETURN);
  ASSERT_TRUE(PumpUntil([&] { return !Messages().empty(); }, 5000));
  EXPECT_EQ(Window->GetStatusText(), L"Key not found.");

  // A find result bookmarked from its pop-up menu after that failure.
  Window->pagExtras->SetActivePage(Window->tbsFindResults);
  TListItem* mark = Result(String(L"HKEY_CURRENT_USER\\") + Data + L"\\Mark\\");
  ASSERT_NE(mark, nullptr);
  Window->lvFindResults->ClearSelection();
  Window->lvFindResults->SetSelected(mark);
  Window->lvFindResults->SetItemFocused(mark);
  Foreground(Window->lvFindResults);
  ASSERT_TRUE(BookmarkFromKeyboardPopup());
  EXPECT_EQ(Window->lvBookmarks->Items()->GetCount(), 2);
  EXPECT_EQ(Window->GetStatusText(), L"");
  EXPECT_TRUE(Errors.empty());
}

}  // namespace
