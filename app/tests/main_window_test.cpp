// The main window driven under Wine: start-up and restart, the key tree,
// the values list, bookmarks, navigation and the dialogs' texts. The forms
// are made as the program makes them (CreateZembrioForms). Registry data
// lives below the test's scratch key in Data, the settings in Settings.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "ThemeManager/ThemeMgr.h"
#include "treecontrol/TreeEx.h"
#include "app/ListViewQ.h"
#include "app/dmodCommonU.h"
#include "app/Dialogs.h"
#include "app/Main.h"
#include "app/Startup.h"
#include "classlib/Clipbrd.h"
#include "classlib/Dialogs.h"
#include "classlib/Registry.h"
#include "toolbars/skin/SkinFiler.h"
#include "toolbars/skin/SkinSwitcher.h"
#include "classlib/Filer.h"
#include "testsupport/Gui.h"
#include "testsupport/Pump.h"
#include "testsupport/Registry.h"

#include <commctrl.h>

using testsupport::Pump;

static ::testing::Environment* const kGuiEnv = ::testing::AddGlobalTestEnvironment(new testsupport::GuiEnvironment);

namespace {

using testsupport::Dw;
using testsupport::Sz;
using testsupport::reg::CreateKey;
using testsupport::reg::DeleteTree;
using testsupport::reg::KeyExists;

// A path with a blank on each side of every backslash, as the delete
// question shows it.
String Spaced(const String& Path) {
  String out;
  for (wchar_t c : Path) out += c == L'\\' ? String(L" \\ ") : String(1, c);
  return out;
}

// A path in other letter case: lower case, but upper case after the
// second backslash.
String OtherCase(const String& Path) {
  String out;
  int slashes = 0;
  for (wchar_t c : Path) {
    if (c == L'\\') ++slashes;
    out += slashes == 2 ? wchar_t(towupper(c)) : wchar_t(towlower(c));
  }
  return out;
}

void WriteValue(const String& Key, const String& Name, DWORD Type, const std::string& Bytes) {
  testsupport::reg::Write(Key, Name, Type, Bytes);
}

bool ReadValue(const String& Key, const String& Name, TRegRawValue& V) {
  std::string bytes;
  if (!testsupport::reg::Read(Key, Name, V.Type, bytes)) return false;
  V.Data.assign(bytes.begin(), bytes.end());
  return true;
}

class MainWindow : public testsupport::ScratchKeyTest {
 protected:
  MainWindow() : ScratchKeyTest(L"app") {}
  std::vector<String> Warnings, Errors;
  String BookmarkFile;
  String Data, Settings;  // below the scratch key
  TZembrioForms F;

  void SetUp() override {
    ScratchKeyTest::SetUp();
    Data = Path(L"Data");
    Settings = Path(L"Settings");
    CreateKey(Data);
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    BookmarkFile = String(tmp) + L"ZembrioTest_app.ZembrioBM";
    DeleteFileW(BookmarkFile.c_str());
    MessageBoxHook = [this](const String& Text, const String&, UINT) {
      Warnings.push_back(Text);
      return IDOK;
    };
    TfrmError::ShowHook = [this](const String& Text) { Errors.push_back(Text); };
    TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrNo); };
  }

  void TearDown() override {
    StopForms();
    MessageBoxHook = nullptr;
    TfrmError::ShowHook = nullptr;
    TfrmConfirm::ExecuteHook = nullptr;
    DeleteFileW(BookmarkFile.c_str());
    ScratchKeyTest::TearDown();
  }

  // Makes the forms as the program does, with the settings in the test's
  // key; the main window is not shown yet.
  void StartForms() {
    const String settings = Settings, bookmarks = BookmarkFile;
    F = CreateZembrioForms([settings, bookmarks](TdmodCommon* dm) {
      dm->rsOptions().BaseKey = settings;
      TRegStoreValue& v = dm->rsOptions().GetValueByName(L"BookmarkFile");
      v.SetValue(bookmarks);
      v.WriteToRegistry();
    });
  }

  void StopForms() {
    if (F.DataModule) DestroyZembrioForms(F);
    Window = nullptr;
  }

  // Stores one setting in the test settings key.
  void StoreOption(const String& Name, const TSettingValue& V) {
    TRegStoreValue& s = dmodCommon->rsOptions().GetValueByName(Name);
    s.SetValue(V);
    s.WriteToRegistry();
  }

  TfrmMain* Window = nullptr;

  TfrmMain* StartWindow() {
    StartForms();
    Window = F.Main;
    Window->Show();
    Pump(30);
    return Window;
  }

  void CloseWindow() {
    Window->Close();
    Pump(10);
  }

  // Opens the data key (or a key below it) in the tree.
  TTreeExNode* Open(const String& Sub = String()) {
    String path = String(L"\\") + Data + (Sub.empty() ? String() : L"\\" + Sub);
    return Window->ExpandToBranch(RegRoot::CurrentUser, path, true);
  }

  TListItem* ValueItem(const String& Caption) {
    TListItems* items = Window->lvKeyValues->Items();
    for (int i = 0; i < items->GetCount(); ++i)
      if (items->GetItem(i)->GetCaption() == Caption) return items->GetItem(i);
    return nullptr;
  }

  static String ValueText(TListItem* Item) {
    return Item && Item->SubItems()->GetCount() ? Item->SubItems()->Get(0) : String(L"<none>");
  }

  // The column headers the list window really shows.
  static std::vector<String> HeaderTexts(TListViewQ* List) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(List->GetHandle(), LVM_GETHEADER, 0, 0));
    std::vector<String> out;
    const int n = int(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
      wchar_t text[64] = {};
      HDITEMW item{};
      item.mask = HDI_TEXT;
      item.pszText = text;
      item.cchTextMax = 64;
      SendMessageW(header, HDM_GETITEMW, WPARAM(i), LPARAM(&item));
      out.push_back(text);
    }
    return out;
  }
  // Each list shows its own columns once: the values list two, the others
  // three and four.
  void ExpectListHeaders() {
    const std::pair<TListViewQ*, int> lists[] = {
        {Window->lvKeyValues, 2}, {Window->lvBookmarks, 3}, {Window->lvFindResults, 4}};
    for (const auto& [list, count] : lists) {
      std::vector<String> captions;
      for (int i = 0; i < list->Columns()->GetCount(); ++i) captions.push_back(list->Columns()->GetItem(i)->GetCaption());
      EXPECT_EQ(int(captions.size()), count) << WideToAnsi(list->GetName());
      EXPECT_EQ(HeaderTexts(list), captions) << WideToAnsi(list->GetName());
    }
  }

  std::vector<String> ChildTexts(TTreeExNode* Node) {
    std::vector<String> v;
    for (TTreeExNode* c = Node->GetFirstChild(); c; c = c->GetNextSibling()) v.push_back(c->GetText());
    return v;
  }
};

// ---------------------------------------------------------------------------
TEST_F(MainWindow, FirstStartUsesDefaultsAndShowsTheRootKeys) {
  StartWindow();
  EXPECT_EQ(Window->GetCaption(), L"Zembrio");
  EXPECT_EQ(Window->GetLeft(), 0);
  EXPECT_EQ(Window->GetTop(), 0);
  EXPECT_EQ(Window->GetWidth(), 500);
  EXPECT_EQ(Window->GetHeight(), 400);
  EXPECT_EQ(Window->treeRegTree->GetWidth(), 150);
  TTreeExNode* top = Window->treeRegTree->Items()->GetFirstNode();
  ASSERT_NE(top, nullptr);
  EXPECT_EQ(top->GetText(), L"My Registry");
  EXPECT_EQ(ChildTexts(top), (std::vector<String>{L"HKEY_CLASSES_ROOT", L"HKEY_CURRENT_USER", L"HKEY_LOCAL_MACHINE",
                                                  L"HKEY_USERS", L"HKEY_CURRENT_CONFIG", L"HKEY_DYN_DATA"}));
  EXPECT_EQ(Window->GetStatusText(), L"Y..yes, Captain?!?");
  // The theme manager sits on the main window.
  ASSERT_NE(Window->tmThemes, nullptr);
  EXPECT_EQ(Window->FindComponent(L"tmThemes"), static_cast<TComponent*>(Window->tmThemes));
  // A first start has no previous key: nothing is reported.
  EXPECT_TRUE(Errors.empty());
  EXPECT_TRUE(Warnings.empty());
  // The commands are there with their captions, shortcuts and images.
  EXPECT_EQ(Window->mnuEdit_Rename->GetCaption(), L"Re&name");
  EXPECT_EQ(Window->mnuEdit_Rename->GetShortCut(), TShortCut(VK_F2));
  EXPECT_EQ(Window->mnuEdit_CopyKey->GetShortCut(), TShortCut('C' | scCtrl | scAlt));
  EXPECT_EQ(Window->mnuEdit_New_ExpString->GetImageIndex(), 29);
  EXPECT_FALSE(Window->mnuEdit_RepeatFind->GetEnabled());
  EXPECT_FALSE(Window->mnuView_LVS_Details->GetEnabled());
  EXPECT_TRUE(Window->mnuView_TB_File->GetChecked());
  EXPECT_EQ(Window->lvKeyValues->Columns()->GetItem(0)->GetCaption(), L"Name +");
  EXPECT_EQ(Window->lvFindResults->Columns()->GetCount(), 4);
}

// The items in the tree when the watched window is first shown; -1 until then.
struct TFirstShowWatch {
  static inline TfrmMain* Window = nullptr;
  static inline int TreeItems = -1;
  HHOOK Hook;
  explicit TFirstShowWatch(TfrmMain* W) {
    Window = W;
    TreeItems = -1;
    Hook = SetWindowsHookExW(WH_CALLWNDPROC, &Proc, nullptr, GetCurrentThreadId());
  }
  ~TFirstShowWatch() {
    UnhookWindowsHookEx(Hook);
    Window = nullptr;
  }
  static LRESULT CALLBACK Proc(int Code, WPARAM W, LPARAM L) {
    const auto* m = reinterpret_cast<const CWPSTRUCT*>(L);
    if (Code == HC_ACTION && m->message == WM_SHOWWINDOW && m->wParam && TreeItems < 0 && Window &&
        Window->HandleAllocated() && m->hwnd == Window->GetHandle())
      TreeItems = Window->treeRegTree->Items()->GetCount();
    return CallNextHookEx(nullptr, Code, W, L);
  }
};

// The window appears with its tree filled, not empty and filling in view
// (on a first start and after any close in the normal state).
TEST_F(MainWindow, TheWindowAppearsWithTheRootKeysInItsTree) {
  StartForms();
  Window = F.Main;
  {
    TFirstShowWatch watch(Window);
    Window->Show();
    Pump(30);
  }
  EXPECT_EQ(TFirstShowWatch::TreeItems, 7);
  EXPECT_TRUE(IsWindowVisible(Window->GetHandle()));
}

TEST_F(MainWindow, DamagedSettingsReadAsDefaults) {
  // Wrong types and bad texts where numbers and layouts belong.
  WriteValue(String(Settings) + L"\\MainForm", L"Width", REG_SZ, Sz(L"wide"));
  WriteValue(String(Settings) + L"\\ListViews\\Values", L"ColumnSizes", REG_SZ, Sz(L"abc,,7"));
  WriteValue(String(Settings) + L"\\ListViews\\Values", L"ViewStyle", REG_DWORD, Dw(99));
  StartWindow();
  EXPECT_EQ(Window->GetStatusText(), L"Y..yes, Captain?!?");
  EXPECT_EQ(Window->lvKeyValues->GetViewStyle(), vsReport);
  EXPECT_EQ(Window->lvKeyValues->Columns()->GetItem(1)->GetWidth(), 310);
  EXPECT_TRUE(Errors.empty());
}

TEST_F(MainWindow, RestartRestoresGeometryLayoutsAndPreviousKey) {
  CreateKey(String(Data) + L"\\Sub");
  StartWindow();
  Window->SetBounds(30, 40, 620, 450);
  Window->treeRegTree->SetWidth(180);
  Window->lvKeyValues->Columns()->GetItem(1)->SetWidth(222);
  Window->tbrView->SetVisible(false);
  Window->pagExtras->SetHeight(120);
  int topHeight = Window->panelTop->GetHeight();
  ASSERT_NE(Open(L"Sub"), nullptr);
  ExpectListHeaders();
  CloseWindow();
  EXPECT_EQ(Window->GetStatusText(), L"Options saved.");
  EXPECT_EQ(dmodCommon->OptionString(L"PreviousHKEY"), L"HKEY_CURRENT_USER");
  EXPECT_EQ(dmodCommon->OptionString(L"PreviousPath"), String(L"\\") + Data + L"\\Sub");
  StopForms();

  StartWindow();
  EXPECT_EQ(Window->GetLeft(), 30);
  EXPECT_EQ(Window->GetTop(), 40);
  EXPECT_EQ(Window->GetWidth(), 620);
  EXPECT_EQ(Window->GetHeight(), 450);
  EXPECT_EQ(Window->treeRegTree->GetWidth(), 180);
  EXPECT_EQ(Window->panelTop->GetHeight(), topHeight);
  EXPECT_EQ(Window->lvKeyValues->Columns()->GetItem(1)->GetWidth(), 222);
  EXPECT_FALSE(Window->tbrView->GetVisible());
  EXPECT_FALSE(Window->mnuView_TB_View->GetChecked());
  TTreeExNode* sel = Window->GetSelectedNode();
  ASSERT_NE(sel, nullptr);
  EXPECT_EQ(sel->GetText(), L"Sub");
  EXPECT_EQ(Window->txtPath->GetText(), String(L"HKEY_CURRENT_USER\\") + Data + L"\\Sub");
  EXPECT_EQ(Window->GetStatusText(), L"Y..yes, Captain?!?");
  ExpectListHeaders();
}

TEST_F(MainWindow, ExpansionIsLazyAndRefreshReadsAgain) {
  CreateKey(String(Data) + L"\\Leaf");
  CreateKey(String(Data) + L"\\Branch\\Child");
  CreateKey(String(Data) + L"\\alpha");
  StartWindow();
  TTreeExNode* data = Open();
  ASSERT_NE(data, nullptr);
  data->Expand(false);
  EXPECT_EQ(ChildTexts(data), (std::vector<String>{L"alpha", L"Branch", L"Leaf"}));
  TTreeExNode* leaf = Window->FindChild(data, L"Leaf");
  TTreeExNode* branch = Window->FindChild(data, L"Branch");
  EXPECT_FALSE(leaf->GetChildren());  // the probe found no subkeys
  EXPECT_TRUE(branch->GetChildren());
  // Created elsewhere: seen after a collapse and a new expansion.
  CreateKey(String(Data) + L"\\Later");
  data->Collapse(true);
  EXPECT_EQ(data->GetCount(), 0);
  data->Expand(false);
  EXPECT_NE(Window->FindChild(data, L"Later"), nullptr);
  // Refresh keeps the selection and its expansion.
  CreateKey(String(Data) + L"\\Newer");
  Window->RefreshTree();
  EXPECT_EQ(Window->GetStatusText(), L"Refresh complete.");
  TTreeExNode* again = Window->GetSelectedNode();
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(again->GetText(), L"Data");
  EXPECT_NE(Window->FindChild(again, L"Newer"), nullptr);
}

// A key with many subkeys has them probed beside the reading of its names;
// buttons stay exact, order and count whole.
TEST_F(MainWindow, ButtonsOfALargeKeyAreExact) {
  for (int i = 0; i < 600; ++i) {
    wchar_t name[32];
    swprintf(name, 32, L"\\Many\\K%04d", i);
    CreateKey(String(Data) + name + (i % 7 == 0 ? L"\\Sub" : L""));
  }
  StartWindow();
  TTreeExNode* many = Window->ExpandToBranch(RegRoot::CurrentUser, String(L"\\") + Data + L"\\Many", false);
  ASSERT_NE(many, nullptr);
  many->Expand(false);
  ASSERT_EQ(many->GetCount(), 600);
  int i = 0;
  for (TTreeExNode* c = many->GetFirstChild(); c; c = c->GetNextSibling(), ++i) {
    wchar_t name[32];
    swprintf(name, 32, L"K%04d", i);
    EXPECT_EQ(c->GetText(), name);
    EXPECT_EQ(c->GetChildren(), i % 7 == 0) << i;
  }
  // Expanding one with a subkey shows it; one without loses nothing.
  TTreeExNode* first = many->GetFirstChild();
  first->Expand(false);
  EXPECT_EQ(ChildTexts(first), (std::vector<String>{L"Sub"}));
}

TEST_F(MainWindow, NewKeysGetFreeNames) {
  StartWindow();
  TTreeExNode* data = Open();
  ASSERT_NE(data, nullptr);
  Window->NewKey();
  TTreeExNode* first = Window->GetSelectedNode();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->GetText(), L"New Key");
  first->EndEdit(true);
  EXPECT_EQ(Window->GetStatusText(), L"New key successfully added: New Key");
  EXPECT_TRUE(KeyExists(String(Data) + L"\\New Key"));
  Window->treeRegTree->SetSelection(data);
  Window->NewKey();
  TTreeExNode* second = Window->GetSelectedNode();
  second->EndEdit(true);
  EXPECT_EQ(second->GetText(), L"New Key #2");
  EXPECT_TRUE(KeyExists(String(Data) + L"\\New Key #2"));
  EXPECT_EQ(data->GetCount(), 2);
}

TEST_F(MainWindow, RenameKeyInPlace) {
  CreateKey(String(Data) + L"\\Old\\Inner");
  WriteValue(String(Data) + L"\\Old", L"v", REG_DWORD, Dw(7));
  CreateKey(String(Data) + L"\\Other");
  StartWindow();
  TTreeExNode* old = Open(L"Old");
  ASSERT_NE(old, nullptr);
  bool allow = true;
  Window->treeRegTreeEditing(nullptr, Window->treeRegTree->Items()->GetFirstNode(), allow);
  EXPECT_FALSE(allow);  // "My Registry"
  TTreeExNode* rootKey = old;  // HKEY_CURRENT_USER, just below "My Registry"
  while (rootKey->GetParent() && rootKey->GetParent()->GetParent()) rootKey = rootKey->GetParent();
  ASSERT_EQ(rootKey->GetText(), L"HKEY_CURRENT_USER");
  allow = true;
  Window->treeRegTreeEditing(nullptr, rootKey, allow);
  EXPECT_FALSE(allow);

  String text = L"";
  Window->treeRegTreeEdited(nullptr, old, text);
  EXPECT_EQ(text, L"Old");
  text = L"A\\B";
  Window->treeRegTreeEdited(nullptr, old, text);
  EXPECT_EQ(text, L"Old");
  ASSERT_EQ(Warnings.size(), 2u);
  EXPECT_EQ(Warnings[0], L"Invalid key name.");
  EXPECT_EQ(Warnings[1], L"Invalid key name.");
  EXPECT_FALSE(KeyExists(String(Data) + L"\\Old\\A"));

  text = L"Other";
  Window->treeRegTreeEdited(nullptr, old, text);
  EXPECT_EQ(text, L"Old");
  ASSERT_EQ(Warnings.size(), 3u);
  EXPECT_EQ(Warnings[2], L"Key name already exists: Old\n\nRename aborted.");

  text = L"Renamed";
  Window->treeRegTreeEdited(nullptr, old, text);
  EXPECT_EQ(text, L"Renamed");
  EXPECT_EQ(Window->GetStatusText(), L"Key successfully renamed.");
  EXPECT_FALSE(KeyExists(String(Data) + L"\\Old"));
  EXPECT_TRUE(KeyExists(String(Data) + L"\\Renamed\\Inner"));
  TRegRawValue v;
  ASSERT_TRUE(ReadValue(String(Data) + L"\\Renamed", L"v", v));
  EXPECT_EQ(v.Type, DWORD(REG_DWORD));
  EXPECT_EQ(dmodCommon->GetNodeKeyPath(old), String(L"\\") + Data + L"\\Renamed");
  // The address box follows the selected key's new name.
  ASSERT_EQ(Window->treeRegTree->GetSelection(), old);
  EXPECT_EQ(Window->txtPath->GetText(), String(L"HKEY_CURRENT_USER\\") + Data + L"\\Renamed");
  EXPECT_TRUE(Errors.empty());
}

TEST_F(MainWindow, ValuesListShowsEveryType) {
  WriteValue(Data, L"Number", REG_DWORD, Dw(255));
  WriteValue(Data, L"Bytes", REG_BINARY, std::string("\x01\xAB\xFF", 3));
  WriteValue(Data, L"Empty", REG_BINARY, std::string());
  WriteValue(Data, L"Text", REG_SZ, Sz(L"hello"));
  WriteValue(Data, L"Multi", REG_MULTI_SZ, Sz(L"a") + std::string(2, '\0'));
  StartWindow();
  ASSERT_NE(Open(), nullptr);
  TListItems* items = Window->lvKeyValues->Items();
  ASSERT_EQ(items->GetCount(), 6);
  EXPECT_EQ(items->GetItem(0)->GetCaption(), L"(Default)");
  EXPECT_EQ(ValueText(items->GetItem(0)), L"(value not set)");
  EXPECT_EQ(items->GetItem(0)->GetImageIndex(), 0);
  EXPECT_EQ(ValueText(ValueItem(L"Number")), L"0x000000FF  (255)");
  EXPECT_EQ(ValueItem(L"Number")->GetImageIndex(), 1);
  EXPECT_EQ(ValueItem(L"Bytes")->GetImageIndex(), 2);
  EXPECT_NE(ValueText(ValueItem(L"Bytes")).find(L"AB"), String::npos);
  EXPECT_EQ(ValueText(ValueItem(L"Empty")), L"(zero-length binary value)");
  EXPECT_EQ(ValueText(ValueItem(L"Text")), L"hello");
  // A multi-string has an empty Value column, never "(value not set)", and
  // it can't be opened in an editor.
  TListItem* multi = ValueItem(L"Multi");
  ASSERT_NE(multi, nullptr);
  EXPECT_EQ(multi->GetImageIndex(), 0);
  EXPECT_EQ(ValueText(multi), L"");
  EXPECT_FALSE(ItemValue(multi)->IsEditable());
  // The default value set: listed first with its text.
  WriteValue(Data, L"", REG_SZ, Sz(L"dflt"));
  Window->RefreshTree();
  EXPECT_EQ(items->GetItem(0)->GetCaption(), L"(Default)");
  EXPECT_EQ(ValueText(items->GetItem(0)), L"dflt");
}

TEST_F(MainWindow, NewValuesOfTheFourTypes) {
  WriteValue(Data, L"New String Value", REG_SZ, Sz(L"taken"));
  StartWindow();
  ASSERT_NE(Open(), nullptr);
  TRegRoot root = RegRoot::CurrentUser;
  String path = String(L"\\") + Data;
  struct {
    void (TfrmMain::*Make)(TRegRoot, const String&);
    const wchar_t* Name;
    const wchar_t* Status;
    DWORD Type;
  } cases[] = {
      {&TfrmMain::NewStringValue, L"New String Value #2", L"New string value added: New String Value #2", REG_SZ},
      {&TfrmMain::NewExpandStringValue, L"New String Value #3",
       L"New expandable string value added: New String Value #3", REG_EXPAND_SZ},
      {&TfrmMain::NewBinaryValue, L"New Binary Value", L"New binary value added: New Binary Value", REG_BINARY},
      {&TfrmMain::NewIntegerValue, L"New Integer Value", L"New integer value added: New Integer Value", REG_DWORD},
  };
  for (auto& c : cases) {
    (Window->*c.Make)(root, path);
    TListItem* item = ValueItem(c.Name);
    ASSERT_NE(item, nullptr) << c.Name;
    item->CancelEdit();
    EXPECT_EQ(Window->GetStatusText(), c.Status);
    TRegRawValue v;
    ASSERT_TRUE(ReadValue(Data, c.Name, v)) << c.Name;
    EXPECT_EQ(v.Type, c.Type);
  }
  TRegRawValue v;
  ReadValue(Data, L"New Binary Value", v);
  EXPECT_TRUE(v.Data.empty());
  ReadValue(Data, L"New Integer Value", v);
  EXPECT_EQ(v.Data, std::vector<unsigned char>(4, 0));
  // A key that is gone: an error, and no item is added.
  int before = Window->lvKeyValues->Items()->GetCount();
  Window->NewStringValue(root, path + L"\\Missing");
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0].rfind(L"Unable to successfully create a new string value.", 0), 0u);
  EXPECT_EQ(Window->lvKeyValues->Items()->GetCount(), before);
  EXPECT_FALSE(KeyExists(String(Data) + L"\\Missing"));
}

TEST_F(MainWindow, RenameValueInPlace) {
  WriteValue(Data, L"One", REG_SZ, Sz(L"1"));
  WriteValue(Data, L"Two", REG_DWORD, Dw(2));
  WriteValue(Data, L"Multi", REG_MULTI_SZ, Sz(L"x") + std::string(2, '\0'));
  StartWindow();
  ASSERT_NE(Open(), nullptr);
  bool allow = true;
  Window->lvKeyValuesEditing(nullptr, Window->lvKeyValues->Items()->GetItem(0), allow);
  EXPECT_FALSE(allow);  // "(Default)"
  TListItem* one = ValueItem(L"One");
  String text = L"";
  Window->lvKeyValuesEdited(nullptr, one, text);
  EXPECT_EQ(text, L"One");
  text = L"Two";
  Window->lvKeyValuesEdited(nullptr, one, text);
  EXPECT_EQ(text, L"One");
  ASSERT_EQ(Warnings.size(), 2u);
  EXPECT_EQ(Warnings[0], L"Invalid value name.");
  EXPECT_EQ(Warnings[1], L"Value already exists: Two\n\nRename aborted.");
  TRegRawValue v;
  ASSERT_TRUE(ReadValue(Data, L"One", v));
  ASSERT_TRUE(ReadValue(Data, L"Two", v));
  EXPECT_EQ(v.Type, DWORD(REG_DWORD));

  text = L"Three";
  Window->lvKeyValuesEdited(nullptr, one, text);
  EXPECT_EQ(text, L"Three");
  EXPECT_EQ(Window->GetStatusText(), L"Value successfully renamed to Three.");
  EXPECT_FALSE(ReadValue(Data, L"One", v));
  ASSERT_TRUE(ReadValue(Data, L"Three", v));
  EXPECT_EQ(v.Type, DWORD(REG_SZ));
  // An unsupported type keeps its type and bytes exactly.
  text = L"Multi2";
  Window->lvKeyValuesEdited(nullptr, ValueItem(L"Multi"), text);
  ASSERT_TRUE(ReadValue(Data, L"Multi2", v));
  EXPECT_EQ(v.Type, DWORD(REG_MULTI_SZ));
  std::string bytes = Sz(L"x") + std::string(2, '\0');
  EXPECT_EQ(std::string(v.Data.begin(), v.Data.end()), bytes);
}

// A key deleted elsewhere, or one whose values or subkeys the registry
// refuses to list, shows nothing of its own and says so (an error for the
// values, the status line for both).
TEST_F(MainWindow, KeyDeletedElsewhereEmptiesTheList) {
  CreateKey(String(Data) + L"\\Gone");
  CreateKey(String(Data) + L"\\Kept\\Inner");
  WriteValue(Data, L"Here", REG_SZ, Sz(L"x"));
  StartWindow();
  TTreeExNode* data = Open();
  ASSERT_NE(data, nullptr);
  EXPECT_NE(ValueItem(L"Here"), nullptr);
  data->Expand(false);
  TTreeExNode* gone = Window->FindChild(data, L"Gone");
  ASSERT_NE(gone, nullptr);
  DeleteTree(String(Data) + L"\\Gone");
  Window->treeRegTree->SetSelection(gone);
  Pump(10);
  EXPECT_EQ(Window->lvKeyValues->Items()->GetCount(), 0);
  EXPECT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Window->GetStatusText().rfind(L"Unable to read the values of the key", 0), 0u);
  // The list does not re-create the key either.
  EXPECT_FALSE(KeyExists(String(Data) + L"\\Gone"));

  struct TFaults {
    ~TFaults() { RegistryClearFaults(); }
  } faults;
  const String where = L"HKEY_CURRENT_USER\\" + String(Data);
  RegistryFailNext(L"RegEnumValue", -1, ERROR_ACCESS_DENIED);
  Window->treeRegTree->SetSelection(data);
  Pump(10);
  EXPECT_EQ(Window->lvKeyValues->Items()->GetCount(), 0);
  EXPECT_EQ(Window->GetStatusText(), L"Unable to read the values of the key " + where + L".");
  TTreeExNode* kept = Window->FindChild(data, L"Kept");
  ASSERT_NE(kept, nullptr);
  RegistryFailNext(L"RegEnumKeyEx", -1, ERROR_ACCESS_DENIED);
  kept->Expand(false);
  EXPECT_EQ(Window->GetStatusText(), L"Unable to read the subkeys of the key " + where + L"\\Kept.");
  EXPECT_FALSE(kept->GetExpanded());
  EXPECT_TRUE(kept->GetChildren());  // tried again on the next expansion
  RegistryClearFaults();
  kept->Expand(false);
  EXPECT_NE(Window->FindChild(kept, L"Inner"), nullptr);
}

TEST_F(MainWindow, ExpandToBranchIgnoresCaseAndReportsMissingKeys) {
  CreateKey(String(Data) + L"\\MixedCase\\Deep");
  StartWindow();
  TTreeExNode* n = Window->ExpandToBranch(RegRoot::CurrentUser,
                                          L"\\" + OtherCase(Data) + L"\\mixedcase\\DEEP", true);
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->GetText(), L"Deep");
  EXPECT_TRUE(Errors.empty());
  EXPECT_TRUE(Warnings.empty());
  // A missing last part stops at the deepest key and names the whole path.
  String missing = String(L"\\") + Data + L"\\MixedCase\\Nope";
  n = Window->ExpandToBranch(RegRoot::CurrentUser, missing, true);
  ASSERT_NE(n, nullptr);
  EXPECT_EQ(n->GetText(), L"MixedCase");
  ASSERT_EQ(Warnings.size(), 1u);
  EXPECT_EQ(Warnings[0], L"The requested key does not exist:\n\nHKEY_CURRENT_USER" + missing);
  // Go with a short root name in any case opens the same key.
  Window->txtPath->SetText(String(L"current user\\") + Data + L"\\MixedCase");
  Window->tbtnNavigation_GoClick(nullptr);
  EXPECT_EQ(Window->GetSelectedNode()->GetText(), L"MixedCase");
  EXPECT_EQ(Window->txtPath->GetText(), String(L"HKEY_CURRENT_USER\\") + Data + L"\\MixedCase");
}

TEST_F(MainWindow, OpeningAKeyKeepsTheTreesButtonsInSight) {
  CreateKey(String(Data) + L"\\Sub");
  StartWindow();
  Window->treeRegTree->SetWidth(110);  // narrower than "HKEY_CURRENT_USER" with its button
  const HWND tree = Window->treeRegTree->GetHandle();
  TTreeExNode* root = Window->ExpandToBranch(RegRoot::CurrentUser, L"", true);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(GetScrollPos(tree, SB_HORZ), 0);
  // Rename on a root key, which can't be renamed, starts no edit either.
  Window->treeRegTree->SetFocus();
  Window->mnuEdit_RenameClick(nullptr);
  EXPECT_FALSE(Window->treeRegTree->IsEditing());
  EXPECT_EQ(GetScrollPos(tree, SB_HORZ), 0);
  // A key so deep that its name starts beyond the pane is still shown.
  TTreeExNode* deep = Open(L"Sub");
  ASSERT_NE(deep, nullptr);
  const TRect r = deep->DisplayRect(true);
  ASSERT_GT(r.right, r.left);
  EXPECT_LT(r.left, Window->treeRegTree->GetClientWidth());
  EXPECT_GT(r.right, 0);
}

TEST_F(MainWindow, CopyKeyPathAndValue) {
  WriteValue(Data, L"Number", REG_DWORD, Dw(16));
  StartWindow();
  ASSERT_NE(Open(), nullptr);
  Window->mnuEdit_CopyKeyClick(nullptr);
  EXPECT_EQ(Clipboard()->GetAsText(), String(L"HKEY_CURRENT_USER\\") + Data);
  EXPECT_EQ(Window->GetStatusText(), L"Copied path of the selected key to the clipboard.");
  Window->lvKeyValues->SetSelected(ValueItem(L"Number"));
  Window->mnuEdit_CopyValueClick(nullptr);
  EXPECT_EQ(Clipboard()->GetAsText(), L"0x00000010  (16)");
  EXPECT_EQ(Window->GetStatusText(), L"Copied selected value to the clipboard.");
}

TEST_F(MainWindow, BookmarksAreAddedRenamedSavedAndRestored) {
  CreateKey(String(Data) + L"\\Marked");
  StartWindow();
  TTreeExNode* marked = Open(L"Marked");
  ASSERT_NE(marked, nullptr);
  Window->AddBookmark(marked);
  EXPECT_EQ(Window->GetStatusText(), L"New bookmark added: Marked");
  EXPECT_EQ(Window->pagExtras->GetActivePage(), Window->tbsBookmarks);
  ASSERT_EQ(Window->lvBookmarks->Items()->GetCount(), 1);
  TListItem* item = Window->lvBookmarks->Items()->GetItem(0);
  item->CancelEdit();
  EXPECT_EQ(item->SubItems()->Get(0), L"HKEY_CURRENT_USER");
  EXPECT_EQ(item->SubItems()->Get(1), String(L"\\") + Data + L"\\Marked");
  String text = L"";
  Window->lvBookmarksEdited(nullptr, item, text);
  EXPECT_EQ(text, L"Marked");
  ASSERT_EQ(Warnings.size(), 1u);
  EXPECT_EQ(Warnings[0], L"Invalid bookmark name.");
  text = L"My place";
  Window->lvBookmarksEdited(nullptr, item, text);
  EXPECT_EQ(Window->GetStatusText(), L"Bookmark renamed.");
  // A key whose name holds a line break can't be kept in the file: refused.
  CreateKey(String(Data) + L"\\Two\r\nLines");
  TTreeExNode* broken = Open(L"Two\r\nLines");
  ASSERT_NE(broken, nullptr);
  Window->AddBookmark(broken);
  EXPECT_EQ(Window->lvBookmarks->Items()->GetCount(), 1);
  ASSERT_EQ(Warnings.size(), 2u);
  EXPECT_EQ(Warnings[1].rfind(L"This key can't be bookmarked", 0), 0u);
  CloseWindow();
  // The file: three lines, the full root-key name.
  auto fileBytes = [&] {
    std::ifstream in(BookmarkFile.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  const std::string mine = "My place\r\nHKEY_CURRENT_USER\r\n\\" + WideToAnsi(Data) + "\\Marked\r\n";
  EXPECT_EQ(fileBytes(), mine);
  // Root lines written by others: an abbreviation and a short name are
  // their root key, and one the editor doesn't know is kept as it was. At
  // close the short name is written in full, the abbreviation and the
  // unknown name as they were read.
  const std::string others = "Abbr\r\nHKLM\r\n\\Software\r\nShort\r\nLocal Machine\r\n\\Software\r\n"
                             "Odd\r\nHKEY_ELSEWHERE\r\n\\X\r\n";
  std::ofstream(BookmarkFile.c_str(), std::ios::binary | std::ios::app) << others;
  StopForms();
  StartWindow();
  ASSERT_EQ(Window->lvBookmarks->Items()->GetCount(), 4);
  EXPECT_EQ(Window->lvBookmarks->Items()->GetItem(1)->SubItems()->Get(0), L"HKEY_LOCAL_MACHINE");
  EXPECT_EQ(Window->lvBookmarks->Items()->GetItem(2)->SubItems()->Get(0), L"HKEY_LOCAL_MACHINE");
  EXPECT_EQ(Window->lvBookmarks->Items()->GetItem(3)->SubItems()->Get(0), L"HKEY_ELSEWHERE");
  Window->lvBookmarks->SetSelected(Window->lvBookmarks->Items()->GetItem(0));
  EXPECT_EQ(Window->lvBookmarks->Items()->GetItem(0)->GetCaption(), L"My place");
  Window->OpenBookmark();
  EXPECT_EQ(Window->GetSelectedNode()->GetText(), L"Marked");
  CloseWindow();
  const std::string rewritten = mine + "Abbr\r\nHKLM\r\n\\Software\r\nShort\r\nHKEY_LOCAL_MACHINE\r\n\\Software\r\n"
                                       "Odd\r\nHKEY_ELSEWHERE\r\n\\X\r\n";
  EXPECT_EQ(fileBytes(), rewritten);
  // A file that holds the list as it would be written is not written
  // again: made read-only, it gives no error at close.
  StopForms();
  StartWindow();
  SetFileAttributesW(BookmarkFile.c_str(), FILE_ATTRIBUTE_READONLY);
  CloseWindow();
  SetFileAttributesW(BookmarkFile.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_TRUE(Errors.empty());
  EXPECT_EQ(fileBytes(), rewritten);
  // A bookmark renamed: the file is written, the abbreviation as it was read.
  StopForms();
  StartWindow();
  text = L"Elsewhere";
  Window->lvBookmarksEdited(nullptr, Window->lvBookmarks->Items()->GetItem(1), text);
  CloseWindow();
  EXPECT_EQ(fileBytes(), mine + "Elsewhere\r\nHKLM\r\n\\Software\r\nShort\r\nHKEY_LOCAL_MACHINE\r\n\\Software\r\n"
                                "Odd\r\nHKEY_ELSEWHERE\r\n\\X\r\n");
}

// A bookmark file whose last bookmark lacks lines, or that ends in a blank
// line, loads its whole bookmarks (the failure said) and is written again
// at close without the incomplete one, a bookmark added or not; the next
// start reads it without complaint. A save whose folder has gone since
// start-up asks plainly (no error dialog), and nothing is written when the
// user declines.
TEST_F(MainWindow, ABookmarkFileEndingShortIsRewrittenAndAGoneFolderIsSaidPlainly) {
  CreateKey(String(Data) + L"\\New");
  const std::string whole = "a\r\nHKEY_USERS\r\n\\1\r\nb\r\nHKEY_USERS\r\n\\2\r\n";
  const std::string added = "New\r\nHKEY_CURRENT_USER\r\n\\" + WideToAnsi(Data) + "\\New\r\n";
  auto fileBytes = [&] {
    std::ifstream in(BookmarkFile.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  };
  for (const std::string& stored : {whole + "c\r\n", whole + "\r\n"})
    for (bool add : {false, true}) {
      std::ofstream(BookmarkFile.c_str(), std::ios::binary | std::ios::trunc) << stored;
      Errors.clear();
      Warnings.clear();
      StartWindow();
      EXPECT_EQ(Errors.size(), 1u);  // the load failure
      ASSERT_EQ(Window->lvBookmarks->Items()->GetCount(), 2);
      if (add) {
        TTreeExNode* node = Open(L"New");
        ASSERT_NE(node, nullptr);
        Window->AddBookmark(node);
        Window->lvBookmarks->Items()->GetItem(2)->CancelEdit();
      }
      CloseWindow();
      StopForms();
      EXPECT_EQ(fileBytes(), add ? whole + added : whole) << add;
      EXPECT_EQ(Errors.size(), 1u);
      EXPECT_TRUE(Warnings.empty());
      StartWindow();
      EXPECT_EQ(Window->lvBookmarks->Items()->GetCount(), add ? 3 : 2);
      CloseWindow();
      StopForms();
      EXPECT_EQ(Errors.size(), 1u);
    }

  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  const String folder = String(tmp) + L"ZembrioTest_app_marks";
  CreateDirectoryW(folder.c_str(), nullptr);
  const String kept = BookmarkFile;
  BookmarkFile = folder + L"\\Marks.ZembrioBM";
  std::ofstream(BookmarkFile.c_str(), std::ios::binary) << "a\r\nHKEY_USERS\r\n\\1\r\n";
  Errors.clear();
  Warnings.clear();
  StartWindow();
  ASSERT_EQ(Window->lvBookmarks->Items()->GetCount(), 1);
  TTreeExNode* node = Open(L"New");
  ASSERT_NE(node, nullptr);
  Window->AddBookmark(node);
  Window->lvBookmarks->Items()->GetItem(1)->CancelEdit();
  DeleteFileW(BookmarkFile.c_str());
  RemoveDirectoryW(folder.c_str());
  CloseWindow();
  StopForms();
  BookmarkFile = kept;
  EXPECT_TRUE(Errors.empty());
  // Both offers (the folder made again, another file) declined: nothing
  // is written, by the user's choice.
  ASSERT_EQ(Warnings.size(), 2u);
  EXPECT_EQ(Warnings[0].rfind(L"The bookmarks can't be saved: the folder of the bookmark file does not exist:", 0), 0u);
  EXPECT_EQ(Warnings[1], TfrmMain::UnsavedBookmarksQuestion);
  EXPECT_EQ(Warnings[0].find(L"restart"), String::npos);
  EXPECT_FALSE(DirectoryExists(folder));
}

// A bookmark file that can't be read at start-up (another program holds it
// locked) is not replaced at close by a list that lacks its bookmarks: they
// are read again then and kept ahead of the ones added meanwhile; a file
// still unreadable is left as it is, and another file is offered.
TEST_F(MainWindow, ABookmarkFileUnreadableAtStartIsNotOverwrittenAtClose) {
  CreateKey(String(Data) + L"\\New");
  const std::string stored = "Kept\r\nHKEY_CURRENT_USER\r\n\\Software\r\n";
  auto writeFile = [&] {
    FILE* f = _wfopen(BookmarkFile.c_str(), L"wb");
    ASSERT_NE(f, nullptr);
    fwrite(stored.data(), 1, stored.size(), f);
    fclose(f);
  };
  auto readFile = [&] {
    FILE* f = _wfopen(BookmarkFile.c_str(), L"rb");
    std::string s;
    if (!f) return s;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    fclose(f);
    return s;
  };
  auto lock = [&] {
    return CreateFileW(BookmarkFile.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  };
  for (bool freedBeforeClose : {true, false}) {
    writeFile();
    HANDLE held = lock();
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Errors.clear();
    Warnings.clear();
    StartWindow();
    EXPECT_EQ(Errors.size(), 1u);  // the load failure is reported
    EXPECT_EQ(Window->lvBookmarks->Items()->GetCount(), 0);
    TTreeExNode* added = Open(L"New");
    ASSERT_NE(added, nullptr);
    Window->AddBookmark(added);
    Window->lvBookmarks->Items()->GetItem(0)->CancelEdit();
    if (freedBeforeClose) CloseHandle(held);
    CloseWindow();
    if (!freedBeforeClose) CloseHandle(held);
    StopForms();
    EXPECT_EQ(Errors.size(), 1u);
    if (freedBeforeClose) {
      EXPECT_EQ(readFile(), stored + "New\r\nHKEY_CURRENT_USER\r\n\\" + WideToAnsi(Data) + "\\New\r\n");
      EXPECT_TRUE(Warnings.empty());
    } else {
      // Another file offered and declined.
      EXPECT_EQ(readFile(), stored);
      ASSERT_EQ(Warnings.size(), 2u);
      EXPECT_EQ(Warnings[0].rfind(L"The bookmarks can't be saved in the bookmark file: it can't be read,", 0), 0u);
      EXPECT_EQ(Warnings[1], TfrmMain::UnsavedBookmarksQuestion);
    }
  }
}

TEST_F(MainWindow, ListStyleCommandsFollowTheFocusedList) {
  StartWindow();
  Window->ListEnter(Window->lvBookmarks);
  EXPECT_TRUE(Window->mnuView_LVS_List->GetEnabled());
  EXPECT_TRUE(Window->mnuView_LVS_Details->GetChecked());
  Window->SetListViewStyle(Window->lvBookmarks, vsSmallIcon);
  EXPECT_TRUE(Window->mnuView_LVS_SmallIcons->GetChecked());
  EXPECT_FALSE(Window->mnuView_LVS_Details->GetChecked());
  EXPECT_EQ(Window->tbtnView_ListStyle->GetImageIndex(), 2);
  EXPECT_EQ(Window->pmnuFind_ListStyle->GetImageIndex(), 2);
  Window->ListExit(Window->lvBookmarks);
  EXPECT_FALSE(Window->mnuView_LVS_List->GetEnabled());
  EXPECT_FALSE(Window->tbtnView_ListStyle->GetEnabled());
  Window->mnuView_TB_FileClick(nullptr);
  EXPECT_FALSE(Window->tbrFile->GetVisible());
  EXPECT_FALSE(Window->mnuView_TB_File->GetChecked());
}

// ---------------------------------------------------------------------------
TEST_F(MainWindow, ConfirmDialogLayoutsAndAnswers) {
  StartForms();
  int answered = 0;
  TfrmConfirm::ExecuteHook = [&answered](TfrmConfirm* f) {
    answered = f->panelButtons->GetLeft() * 1000 + f->panelButtons->GetWidth();
    return int(mrYes);
  };
  EXPECT_TRUE(dmodCommon->ConfirmDelete(L"key", L"HKEY_CURRENT_USER\\X"));
  EXPECT_EQ(answered, 136 * 1000 + 153);
  EXPECT_EQ(frmConfirm->GetCaption(), L"Please confirm delete");
  EXPECT_EQ(frmConfirm->lblPrompt1->GetCaption(), L"Please confirm.  Zembrio is about to delte the following key:");
  EXPECT_FALSE(frmConfirm->btnCancel->GetVisible());
  EXPECT_EQ(dmodCommon->ConfirmDeleteEach(L"value", L"v"), mrYes);
  EXPECT_EQ(frmConfirm->lblPrompt1->GetCaption(), L"Please confirm.  Zembrio is about to delete the following value:");
  EXPECT_EQ(answered, 56 * 1000 + 313);
  EXPECT_TRUE(frmConfirm->btnYesToAll->GetVisible());
  EXPECT_EQ(frmConfirm->panelButtons->GetTop() + 33, frmConfirm->GetClientHeight());
  // A long item makes the dialog taller.
  int shortHeight = frmConfirm->GetClientHeight();
  dmodCommon->ConfirmDeleteEach(L"value", String(400, L'x') + L" " + String(300, L'y'));
  EXPECT_GT(frmConfirm->GetClientHeight(), shortHeight);
  TfrmConfirm::ExecuteHook = [](TfrmConfirm*) { return int(mrCancel); };
  EXPECT_FALSE(dmodCommon->ConfirmImport(L"C:\\a.reg"));
  EXPECT_EQ(frmConfirm->GetCaption(), L"Please confirm import");
}

TEST_F(MainWindow, ErrorDialogShowsTheExceptionDetails) {
  StartForms();
  dmodCommon->ShowException(Exception(L"boom"), L"");
  ASSERT_EQ(Errors.size(), 1u);
  EXPECT_EQ(Errors[0].rfind(L"\n\nMessage: boom\nAddress: ", 0), 0u);
  // Two empty lines, then the message line.
  EXPECT_EQ(frmError->txtDescription->GetText().rfind(L"\r\n\r\nMessage: boom\r\nAddress: ", 0), 0u);
  EXPECT_EQ(frmError->GetCaption(), L"Zembrio Error");
  EXPECT_EQ(frmError->lblHead->GetCaption(), L"Zembrio encountered the following error:");
  EXPECT_EQ(frmError->lblInfo->GetCaption(),
            L"NT-based versions of Windows (NT, Windows 2000, Windows XP), implement registry security.  If you are "
            L"running one of these operating systems, please ensure you are an administator, or have the necessary "
            L"user permissions.\r\n\r\nIf you require further assistance, please contact the author.  Contact "
            L"information is available in the online Zembrio manual.");
  // The memo scrolls: a text of many lines is shown whole, down to the
  // message and the address after it; only an over-long line is shortened.
  String many;
  for (int i = 1; i <= 150; ++i) many += L"Line " + IntToStr(i) + L"\n";
  many += String(3000, L'x');
  dmodCommon->ShowException(Exception(L"boom"), many);
  const std::vector<String> lines = SplitDialogLines(frmError->txtDescription->GetText());
  ASSERT_EQ(lines.size(), 154u);
  EXPECT_EQ(lines[0], L"Line 1");
  EXPECT_EQ(lines[149], L"Line 150");
  EXPECT_EQ(lines[150].size(), 1000u);
  EXPECT_EQ(lines[152], L"Message: boom");
  EXPECT_EQ(lines[153].rfind(L"Address: ", 0), 0u);
}

// ---------------------------------------------------------------------------
// Deleting.

struct Answers {
  std::vector<int> Queue;
  std::vector<String> Items;
  void Install() {
    TfrmConfirm::ExecuteHook = [this](TfrmConfirm* f) {
      Items.push_back(f->lblPrompt2->GetCaption());
      int a = Queue.empty() ? int(mrCancel) : Queue.front();
      if (!Queue.empty()) Queue.erase(Queue.begin());
      return a;
    };
  }
};

TEST_F(MainWindow, MultipleValueDeleteAsksPerItem) {
  for (const wchar_t* n : {L"A", L"B", L"C", L"D"}) WriteValue(Data, n, REG_SZ, Sz(n));
  StartWindow();
  ASSERT_NE(Open(), nullptr);
  Answers ans;
  ans.Queue = {mrNo, mrYes};
  ans.Install();
  ValueItem(L"A")->SetSelected(true);
  ValueItem(L"B")->SetSelected(true);
  Window->DeleteSelected(Window->lvKeyValues);
  EXPECT_EQ(ans.Items, (std::vector<String>{L"A", L"B"}));
  EXPECT_EQ(Window->GetStatusText(), L"Values deleted: 1");
  TRegRawValue v;
  EXPECT_TRUE(ReadValue(Data, L"A", v));
  EXPECT_FALSE(ReadValue(Data, L"B", v));
  EXPECT_EQ(ValueItem(L"B"), nullptr);
  // Cancel at the first question deletes nothing.
  Window->lvKeyValues->ClearSelection();
  ValueItem(L"C")->SetSelected(true);
  ValueItem(L"D")->SetSelected(true);
  ans.Queue = {mrCancel};
  Window->DeleteSelected(Window->lvKeyValues);
  EXPECT_EQ(Window->GetStatusText(), L"Values deleted: 0");
  EXPECT_TRUE(ReadValue(Data, L"C", v));
  // Yes to All: one question for all.
  ans.Items.clear();
  ans.Queue = {mrYesToAll};
  Window->DeleteSelected(Window->lvKeyValues);
  EXPECT_EQ(ans.Items.size(), 1u);
  EXPECT_EQ(Window->GetStatusText(), L"Values deleted: 2");
  EXPECT_FALSE(ReadValue(Data, L"C", v));
  EXPECT_FALSE(ReadValue(Data, L"D", v));
  // No selection: nothing at all.
  ans.Items.clear();
  Window->lvKeyValues->ClearSelection();
  Window->DeleteSelected(Window->lvKeyValues);
  EXPECT_TRUE(ans.Items.empty());
}

TEST_F(MainWindow, DeleteKeyAndRefuseRootKeys) {
  CreateKey(String(Data) + L"\\Doomed\\Inner");
  StartWindow();
  TTreeExNode* doomed = Open(L"Doomed");
  ASSERT_NE(doomed, nullptr);
  Answers ans;
  ans.Queue = {mrNo, mrYes};
  ans.Install();
  Window->DeleteSelected(Window->treeRegTree);
  EXPECT_EQ(Window->GetStatusText(), L"Key delete aborted.");
  EXPECT_TRUE(KeyExists(String(Data) + L"\\Doomed"));
  ASSERT_EQ(ans.Items.size(), 1u);
  EXPECT_EQ(ans.Items[0],
            Spaced(L"HKEY_CURRENT_USER\\" + Data + L"\\Doomed"));
  TTreeExNode* data = doomed->GetParent();
  Window->DeleteSelected(Window->treeRegTree);
  EXPECT_EQ(Window->GetStatusText(), L"Key deleted.");
  EXPECT_FALSE(KeyExists(String(Data) + L"\\Doomed"));
  EXPECT_EQ(Window->FindChild(data, L"Doomed"), nullptr);
  // A root key is refused before any question.
  ans.Items.clear();
  TTreeExNode* hkcu = Window->FindChild(Window->treeRegTree->Items()->GetFirstNode(), L"HKEY_CURRENT_USER");
  Window->treeRegTree->SetSelection(hkcu);
  Window->DeleteSelected(Window->treeRegTree);
  EXPECT_TRUE(ans.Items.empty());
  ASSERT_FALSE(Warnings.empty());
  EXPECT_EQ(Warnings.back(), L"A root key can't be deleted.");
  EXPECT_TRUE(KeyExists(L"Software"));
}

TEST_F(MainWindow, FindResultsAreListedDeletedAndOpened) {
  CreateKey(String(Data) + L"\\Hit");
  WriteValue(String(Data) + L"\\Hit", L"val", REG_SZ, Sz(L"x"));
  WriteValue(Data, L"keep", REG_SZ, Sz(L"y"));
  StartWindow();
  Window->SearchStarted();
  EXPECT_EQ(Window->pagExtras->GetActivePage(), Window->tbsFindResults);
  EXPECT_FALSE(Window->mnuEdit_Find->GetEnabled());
  EXPECT_TRUE(Window->btnFindStop->GetEnabled());
  EXPECT_TRUE(Window->panelSearching->GetVisible());
  String hitPath = String(L"\\") + Data + L"\\Hit\\";
  Window->AddFindResult(new TSearchHit{hkValueName, RegRoot::CurrentUser, hitPath, L"val", L"x"});
  Window->AddFindResult(new TSearchHit{hkKeyName, RegRoot::CurrentUser, hitPath, L"", L""});
  Window->AddFindResult(new TSearchHit{hkValueName, RegRoot::CurrentUser, String(L"\\") + Data + L"\\", L"keep", L""});
  Window->AddFindResult(new TSearchHit{hkKeyName, RegRoot::CurrentUser, L"\\", L"", L""});
  Window->SearchFinished();
  EXPECT_TRUE(Window->mnuEdit_Find->GetEnabled());
  EXPECT_TRUE(Window->mnuEdit_RepeatFind->GetEnabled());
  EXPECT_FALSE(Window->btnFindStop->GetEnabled());
  EXPECT_FALSE(Window->panelSearching->GetVisible());
  TListItems* items = Window->lvFindResults->Items();
  ASSERT_EQ(items->GetCount(), 4);
  EXPECT_EQ(items->GetItem(0)->SubItems()->Get(1), L"val");

  // Open a value hit: the key and the value are selected.
  auto itemOf = [&](const std::function<bool(const TSearchHit&)>& Is) -> TListItem* {
    for (int i = 0; i < items->GetCount(); ++i)
      if (Is(*ItemHit(items->GetItem(i)))) return items->GetItem(i);
    return nullptr;
  };
  TListItem* keep = itemOf([](const TSearchHit& h) { return h.ValueName == L"keep"; });
  ASSERT_NE(keep, nullptr);
  Window->lvFindResults->SetSelected(keep);
  Window->OpenListItem();
  ASSERT_NE(Window->GetSelectedNode(), nullptr);
  EXPECT_EQ(Window->GetSelectedNode()->GetText(), L"Data");
  ASSERT_NE(Window->lvKeyValues->GetSelected(), nullptr);
  EXPECT_EQ(Window->lvKeyValues->GetSelected()->GetCaption(), L"keep");

  // The root-key result is refused; the key and its value go in order.
  Window->lvFindResults->ClearSelection();
  for (int i = 0; i < items->GetCount(); ++i) {
    auto* h = ItemHit(items->GetItem(i));
    if (h->Path == hitPath || h->Path == L"\\") items->GetItem(i)->SetSelected(true);
  }
  const int keyAt = itemOf([&](const TSearchHit& h) { return h.Path == hitPath && h.Kind == hkKeyName; })->GetIndex();
  const int valueAt = itemOf([&](const TSearchHit& h) { return h.Path == hitPath && h.Kind == hkValueName; })->GetIndex();
  const bool valueFirst = valueAt < keyAt;
  Answers ans;
  ans.Queue = {mrYesToAll};
  ans.Install();
  Window->DeleteSelected(Window->lvFindResults);
  EXPECT_FALSE(KeyExists(String(Data) + L"\\Hit"));
  EXPECT_TRUE(KeyExists(L"Software"));
  EXPECT_EQ(std::count(Warnings.begin(), Warnings.end(), String(L"A root key can't be deleted.")), 1);
  // The root key is refused. The key and its value result go in list
  // order: the value first counts both; the key first leaves the value
  // result naming a key that is gone (removed, but not counted).
  EXPECT_EQ(Window->GetStatusText(), valueFirst ? L"Find results deleted: 2" : L"Find results deleted: 1");
  EXPECT_EQ(items->GetCount(), 2);  // keep and the refused root key
  TRegRawValue v;
  EXPECT_TRUE(ReadValue(Data, L"keep", v));
}

// The preferences command applies the options again, without the window's
// geometry, unless the dialog was cancelled.
TEST_F(MainWindow, PreferencesReapplyOptionsWithoutGeometryUnlessCancelled) {
  StartWindow();
  Window->SetBounds(10, 20, 510, 410);
  StoreOption(L"Top", 300);
  StoreOption(L"UseSystemFont", false);
  StoreOption(L"FontName", String(L"Courier New"));
  StoreOption(L"FontBold", true);
  int shown = 0;
  // "Cancel" (the Abort result) is the one answer that applies nothing.
  dmodCommon->ShowOptionsHook = [&shown] {
    ++shown;
    return int(mrAbort);
  };
  Window->SetStatusText(L"before");
  Window->mnuFile_PreferencesClick(nullptr);
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(Window->GetStatusText(), L"before");
  // "OK" and the close box (the standard cancel result) apply the options.
  for (int answer : {int(mrOk), int(mrCancel)}) {
    Window->SetStatusText(L"before");
    Window->Font()->SetName(L"Tahoma");
    dmodCommon->ShowOptionsHook = [answer] { return answer; };
    Window->mnuFile_PreferencesClick(nullptr);
    EXPECT_EQ(Window->GetStatusText(), L"Options loaded.") << answer;
    EXPECT_EQ(Window->GetTop(), 20);
    EXPECT_EQ(Window->GetLeft(), 10);
    EXPECT_EQ(Window->Font()->GetName(), L"Courier New") << answer;
    EXPECT_TRUE(Window->Font()->GetStyle().Contains(fsBold));
  }
}

// The main window written as a form stream reads back into a new form: every
// class it holds is known by name, and the theme switcher sets the
// program-wide state it stored.
TEST_F(MainWindow, TheMainWindowsFormStreamReadsBack) {
  RegisterSkinClasses();
  ThemeMgr::Register();
  // What the program's start-up table registers for the editor's own
  // controls.
  ListViewQ::Register();
  TreeExInitialize();
  StartWindow();
  // Each class the window holds must be known to a reader by its own name.
  std::vector<std::string> unknown;
  for (int i = 0; i < Window->GetComponentCount(); ++i) {
    const std::string name = Window->GetComponent(i)->ClassName();
    if (name == "TComponent" || !GetClass(String(name.begin(), name.end()))) unknown.push_back(name);
  }
  std::sort(unknown.begin(), unknown.end());
  unknown.erase(std::unique(unknown.begin(), unknown.end()), unknown.end());
  std::string list;
  for (const std::string& n : unknown) {
    // The toolbars, their items and the theme's components all are.
    EXPECT_FALSE(n.rfind("TBar", 0) == 0 || n.rfind("TSkin", 0) == 0 || n == "TThemeManager") << n;
    list += " " + n;
  }
  // A control that does not name its own class reads as "TComponent".
  ASSERT_TRUE(unknown.empty()) << "classes a reader can't make:" << list;

  Window->skinSwitcher->SetFlatMenuStyle(fmsDisable);
  // The lists' items go with them.
  Window->AddBookmarkItem(L"Mark", RegRoot::CurrentUser, L"\\Software");
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(Window);
  Window->skinSwitcher->SetFlatMenuStyle(fmsAuto);
  std::unique_ptr<TForm> copy(new TForm(nullptr));
  m.SetPosition(0);
  try {
    TReader(&m).ReadRootComponent(copy.get());
  } catch (Exception& E) {
    FAIL() << WideToAnsi(E.Message());
  }
  auto* sw = dynamic_cast<TSkinSwitcher*>(copy->FindComponent(L"skinSwitcher"));
  ASSERT_NE(sw, nullptr);
  EXPECT_EQ(sw->GetTheme(), L"Default");
  EXPECT_EQ(sw->GetFlatMenuStyle(), fmsDisable);
  EXPECT_EQ(Window->skinSwitcher->GetFlatMenuStyle(), fmsDisable);  // one state for both
  auto* marks = dynamic_cast<TListViewQ*>(copy->FindComponent(L"lvBookmarks"));
  ASSERT_NE(marks, nullptr);
  ASSERT_EQ(marks->Items()->GetCount(), 1);
  EXPECT_EQ(marks->Items()->GetItem(0)->GetCaption(), L"Mark");
  EXPECT_EQ(marks->Items()->GetItem(0)->SubItems()->Get(1), L"\\Software");
  for (int i = 0; i < Window->GetComponentCount(); ++i) {
    TComponent* c = Window->GetComponent(i);
    if (c->GetName().empty()) continue;
    TComponent* read = copy->FindComponent(c->GetName());
    EXPECT_TRUE(read && std::string(read->ClassName()) == c->ClassName()) << WideToAnsi(c->GetName());
  }
  sw->SetFlatMenuStyle(fmsAuto);
}

}  // namespace
