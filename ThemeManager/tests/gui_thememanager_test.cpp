// Theme manager tests. Under the test prefix the visual styles are off, so
// the real library gives the inactive path; a fake library (through the
// loader seam) stands in for a system with visual styles on.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ThemeManager/ThemeMgr.h"
#include "classlib/Buttons.h"
#include "classlib/Filer.h"
#include "classlib/CheckLst.h"
#include "classlib/ComCtrls.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Grids.h"
#include "classlib/StdCtrls.h"
#include "classlib/ToolWin.h"
#include "classlib/Forms.h"
#include "testsupport/Gui.h"
#include "testsupport/Pump.h"
#include "testsupport/Input.h"
#include "ThemeManager/tests/tm_support.h"
#include "toolbars/tests/DeclaredNames.h"

using namespace testsupport;
using namespace tmtest;

static ::testing::Environment* const kGuiEnv = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

namespace {

// ---- The fake visual-styles library ---------------------------------------

struct DrawCall {
  HTHEME Theme;
  int Part, State;
};
struct FakeState {
  DWORD AppProperties = STAP_ALLOW_NONCLIENT | STAP_ALLOW_CONTROLS;
  DWORD SetProperties = 0xFFFFFFFF;
  int Opened = 0, Closed = 0;
  std::map<HTHEME, std::wstring> ClassOf;
  std::vector<DrawCall> Backgrounds;
  std::vector<HWND> ParentBackgrounds;
  std::vector<HWND> DialogTextures;
  std::vector<std::wstring> Texts;
  bool Transparent = true;
  bool Paint = false;  // elements and parent backgrounds leave colours behind
  std::vector<std::string> Missing;  // exports the fake lacks
} fake;

// With fake.Paint: an element fills its rectangle with a colour of its part
// and state, a parent background with kParentColour.
COLORREF ElementColour(int part, int state) { return RGB(40 + part * 10, 40 + state * 10, 250); }
const COLORREF kParentColour = RGB(0, 220, 110);
void FakeFill(HDC dc, const RECT* r, COLORREF c) {
  RECT box;
  if (!r) {
    ::GetClipBox(dc, &box);
    r = &box;
  }
  HBRUSH b = ::CreateSolidBrush(c);
  ::FillRect(dc, r, b);
  ::DeleteObject(b);
}

HTHEME WINAPI FakeOpen(HWND, LPCWSTR cls) {
  HTHEME h = reinterpret_cast<HTHEME>(intptr_t(0x1000 + ++fake.Opened));
  fake.ClassOf[h] = cls;
  return h;
}
HRESULT WINAPI FakeClose(HTHEME) { ++fake.Closed; return S_OK; }
HRESULT WINAPI FakeDrawBackground(HTHEME t, HDC dc, int p, int s, const RECT* r, const RECT*) {
  fake.Backgrounds.push_back({t, p, s});
  if (fake.Paint) FakeFill(dc, r, ElementColour(p, s));
  return S_OK;
}
HRESULT WINAPI FakeDrawText(HTHEME, HDC, int, int, LPCWSTR text, int n, DWORD, DWORD, const RECT*) {
  fake.Texts.emplace_back(text, size_t(n));
  return S_OK;
}
HRESULT WINAPI FakeContentRect(HTHEME, HDC, int, int, const RECT* in, RECT* out) {
  *out = *in;
  return S_OK;
}
HRESULT WINAPI FakeParentBackground(HWND h, HDC dc, RECT* r) {
  fake.ParentBackgrounds.push_back(h);
  if (fake.Paint) FakeFill(dc, r, kParentColour);
  return S_OK;
}
BOOL WINAPI FakeTransparent(HTHEME, int, int) { return fake.Transparent; }
BOOL WINAPI FakeTrue() { return TRUE; }
DWORD WINAPI FakeGetProps() { return fake.AppProperties; }
void WINAPI FakeSetProps(DWORD p) { fake.SetProperties = p; fake.AppProperties = p; }
HRESULT WINAPI FakeEnableTexture(HWND h, DWORD flags) {
  if (flags == ETDT_ENABLETAB) fake.DialogTextures.push_back(h);
  return S_OK;
}

HMODULE const kFakeModule = reinterpret_cast<HMODULE>(intptr_t(0x7700));
HMODULE FakeLoad() { return kFakeModule; }
HMODULE NoLoad() { return nullptr; }
FARPROC FakeGetProc(HMODULE, const char* name) {
  for (auto& m : fake.Missing)
    if (m == name) return nullptr;
  static const std::map<std::string, void*> procs = {
      {"OpenThemeData", reinterpret_cast<void*>(&FakeOpen)},
      {"CloseThemeData", reinterpret_cast<void*>(&FakeClose)},
      {"DrawThemeBackground", reinterpret_cast<void*>(&FakeDrawBackground)},
      {"DrawThemeText", reinterpret_cast<void*>(&FakeDrawText)},
      {"GetThemeBackgroundContentRect", reinterpret_cast<void*>(&FakeContentRect)},
      {"DrawThemeParentBackground", reinterpret_cast<void*>(&FakeParentBackground)},
      {"IsThemeBackgroundPartiallyTransparent", reinterpret_cast<void*>(&FakeTransparent)},
      {"IsThemeActive", reinterpret_cast<void*>(&FakeTrue)},
      {"IsAppThemed", reinterpret_cast<void*>(&FakeTrue)},
      {"GetThemeAppProperties", reinterpret_cast<void*>(&FakeGetProps)},
      {"SetThemeAppProperties", reinterpret_cast<void*>(&FakeSetProps)},
      {"EnableThemeDialogTexture", reinterpret_cast<void*>(&FakeEnableTexture)},
  };
  auto it = procs.find(name);
  return it == procs.end() ? nullptr : reinterpret_cast<FARPROC>(it->second);
}
void FakeFree(HMODULE) {}
DWORD ComCtl6() { return 0x60000; }
DWORD ComCtl5() { return 0x50082; }

enum class Lib { Real, Missing, Fake };

// Puts the process-wide binding and services into a known state and back.
class ThemeFixture : public ::testing::Test {
 protected:
  void Use(Lib lib, TComCtlVersionProvider version = &ComCtl6) {
    FreeThemeServices();
    while (ThemeLibraryRefCount() > 0) FreeThemeLibrary();
    fake = FakeState();
    TThemeLibraryLoader l;
    if (lib == Lib::Missing) l.Load = &NoLoad;
    if (lib == Lib::Fake) {
      l.Load = &FakeLoad;
      l.GetProc = &FakeGetProc;
      l.Free = &FakeFree;
    }
    SetThemeLibraryLoader(l);
    SetComCtlVersionProvider(lib == Lib::Real ? nullptr : version);
  }
  void SetUp() override { Use(Lib::Real); }
  void TearDown() override {
    FreeThemeServices();
    while (ThemeLibraryRefCount() > 0) FreeThemeLibrary();
    SetThemeLibraryLoader(TThemeLibraryLoader());
    SetComCtlVersionProvider(nullptr);
  }
};

int CountDraws(const wchar_t* cls, int part, int state) {
  int n = 0;
  for (auto& d : fake.Backgrounds)
    if (fake.ClassOf[d.Theme] == cls && d.Part == part && d.State == state) ++n;
  return n;
}

// A panel that refuses to be subclassed.
class TStubbornPanel : public TPanel {
 public:
  using TPanel::TPanel;
  void WndProc(TMessage& m) override {
    if (m.Msg == CM_DENYSUBCLASSING) m.Result = 1;
    else TPanel::WndProc(m);
  }
};

// A form with one control of each subclassed kind.
struct TestForm {
  TForm* Form;
  TButton* Button;
  TPanel* Panel;
  TGroupBox* Group;
  TListView* List;
  TStatusBar* Status;
  TEdit* Edit;
  TButton* InPanel;
  TestForm() {
    Form = new TForm(Application);
    Form->SetBounds(10, 10, 400, 300);
    Button = new TButton(Form);
    Button->SetParent(Form);
    Panel = new TPanel(Form);
    Panel->SetParent(Form);
    Panel->SetBounds(0, 40, 200, 100);
    InPanel = new TButton(Form);
    InPanel->SetParent(Panel);
    Group = new TGroupBox(Form);
    Group->SetParent(Form);
    Group->SetCaption(L"Group");
    Group->SetBounds(200, 40, 150, 100);
    List = new TListView(Form);
    List->SetParent(Form);
    Status = new TStatusBar(Form);
    Status->SetParent(Form);
    Edit = new TEdit(Form);
    Edit->SetParent(Form);
    Form->HandleNeeded();
  }
  ~TestForm() { delete Form; }
  // One more control on the form (or on Parent), at its default bounds or
  // at the given ones.
  template <class T> T* Add(TWinControl* Parent = nullptr) {
    T* c = new T(Form);
    c->SetParent(Parent ? Parent : Form);
    return c;
  }
  template <class T> T* Add(int L, int T_, int W, int H) {
    T* c = Add<T>();
    c->SetBounds(L, T_, W, H);
    return c;
  }
};

}  // namespace

// ---- Library binding --------------------------------------------------------

TEST_F(ThemeFixture, BindingWithoutTheLibraryStaysNullAndBalanced) {
  Use(Lib::Missing);
  EXPECT_FALSE(InitThemeLibrary());
  EXPECT_EQ(ThemeLibraryRefCount(), 1);
  EXPECT_EQ(uxtheme::OpenThemeData, nullptr);
  EXPECT_EQ(uxtheme::IsAppThemed, nullptr);
  EXPECT_FALSE(UseThemes());
  FreeThemeLibrary();
  EXPECT_EQ(ThemeLibraryRefCount(), 0);
  FreeThemeLibrary();  // never below zero
  EXPECT_EQ(ThemeLibraryRefCount(), 0);
}

TEST_F(ThemeFixture, BindingIsReferenceCounted) {
  Use(Lib::Fake);
  EXPECT_TRUE(InitThemeLibrary());
  EXPECT_TRUE(InitThemeLibrary());
  FreeThemeLibrary();
  EXPECT_TRUE(ThemeLibraryLoaded());
  EXPECT_NE(uxtheme::OpenThemeData, nullptr);
  EXPECT_EQ(uxtheme::GetThemeFont, nullptr);  // the fake lacks it
  EXPECT_TRUE(UseThemes());
  FreeThemeLibrary();
  EXPECT_FALSE(ThemeLibraryLoaded());
  EXPECT_EQ(uxtheme::OpenThemeData, nullptr);
}

TEST_F(ThemeFixture, MissingQueryExportsMeanNoThemesRatherThanACrash) {
  Use(Lib::Fake);
  fake.Missing = {"IsAppThemed"};
  ASSERT_TRUE(InitThemeLibrary());
  EXPECT_FALSE(UseThemes());
  EXPECT_FALSE(ThemeServices()->ThemesEnabled());
  FreeThemeLibrary();
}

TEST_F(ThemeFixture, RealLibraryBindsUnderTheTestSystem) {
  ASSERT_TRUE(InitThemeLibrary());
  EXPECT_NE(uxtheme::OpenThemeData, nullptr);
  EXPECT_NE(uxtheme::DrawThemeBackground, nullptr);
  FreeThemeLibrary();
}

// ---- Element details ----------------------------------------------------------

TEST(ThemeDetails, PartsAndStatesCountFromTheEnumerations) {
  auto d = TThemeServices::GetElementDetails(tbCheckBoxCheckedHot);
  EXPECT_EQ(d.Element, teButton);
  EXPECT_EQ(d.Part, 3);
  EXPECT_EQ(d.State, 6);
  d = TThemeServices::GetElementDetails(tbButtonDontCare);
  EXPECT_EQ(d.Part, 0);
  EXPECT_EQ(d.State, 1);
  d = TThemeServices::GetElementDetails(tsStatusRoot);
  EXPECT_EQ(d.Element, teStatus);
  EXPECT_EQ(d.Part, 0);
  EXPECT_EQ(d.State, 2);
  d = TThemeServices::GetElementDetails(tbGroupBoxDisabled);
  EXPECT_EQ(d.Part, 4);
  EXPECT_EQ(d.State, 2);
  d = TThemeServices::GetElementDetails(ttBody);
  EXPECT_EQ(d.Element, teTab);
  EXPECT_EQ(d.Part, 10);
  EXPECT_EQ(d.State, 1);
  d = TThemeServices::GetElementDetails(twSmallFrameBottomSizingTemplate);
  EXPECT_EQ(d.Element, teWindow);
  EXPECT_EQ(d.Part, 37);
  d = TThemeServices::GetElementDetails(tsSizeBoxLeftAlign);
  EXPECT_EQ(d.Element, teScrollBar);
  EXPECT_EQ(d.Part, 10);
  EXPECT_EQ(d.State, 2);
}

// ---- Theme services -----------------------------------------------------------

TEST_F(ThemeFixture, ServicesAreOffWithoutVisualStyles) {
  TThemeServices* s = ThemeServices();
  EXPECT_TRUE(s->LibraryAvailable());  // the test system has the library...
  EXPECT_FALSE(s->ThemesEnabled());    // ...but the classic look
  EXPECT_EQ(s->GetTheme(teButton), nullptr);

  Use(Lib::Missing);
  EXPECT_FALSE(ThemeServices()->LibraryAvailable());
  EXPECT_FALSE(ThemeServices()->ThemesEnabled());
  EXPECT_EQ(ThemeServices()->GetTheme(teEdit), nullptr);

  Use(Lib::Fake, &ComCtl5);  // old common controls
  EXPECT_FALSE(ThemeServices()->ThemesEnabled());

  Use(Lib::Fake);
  fake.AppProperties = STAP_ALLOW_NONCLIENT;  // controls not themed
  ThemeServices()->UpdateThemes();
  EXPECT_TRUE(ThemeServices()->ThemesAvailable());
  EXPECT_FALSE(ThemeServices()->ThemesEnabled());
}

TEST_F(ThemeFixture, ThemeDataIsCachedAndReopenedAfterAThemeChange) {
  Use(Lib::Fake);
  TThemeServices* s = ThemeServices();
  ASSERT_TRUE(s->ThemesEnabled());
  int changes = 0;
  s->OnThemeChange = TNotifyEvent([&](TObject*) { ++changes; });
  HTHEME a = s->GetTheme(teButton);
  EXPECT_NE(a, nullptr);
  EXPECT_EQ(fake.ClassOf[a], L"button");
  EXPECT_EQ(s->GetTheme(teButton), a);
  EXPECT_EQ(fake.Opened, 1);
  ::SendMessageW(Application->Handle(), WM_THEMECHANGED, 0, 0);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(fake.Closed, 1);
  HTHEME b = s->GetTheme(teButton);
  EXPECT_NE(b, a);
  EXPECT_EQ(fake.ClassOf[b], L"button");
  s->OnThemeChange = TNotifyEvent();
}

TEST_F(ThemeFixture, ParentBackgroundOnlyWhereTheElementIsTransparent) {
  Use(Lib::Fake);
  TThemeServices* s = ThemeServices();
  auto d = TThemeServices::GetElementDetails(tbPushButtonNormal);
  HDC dc = ::GetDC(nullptr);
  fake.Transparent = false;
  s->DrawParentBackground(HWND(1), dc, &d, true);
  EXPECT_TRUE(fake.ParentBackgrounds.empty());
  s->DrawParentBackground(HWND(1), dc, &d, false);
  s->DrawParentBackground(HWND(1), dc, nullptr, true);
  EXPECT_EQ(fake.ParentBackgrounds.size(), 2u);
  ::ReleaseDC(nullptr, dc);
}

// ---- Theme manager: inactive ---------------------------------------------------

TEST_F(ThemeFixture, WithoutTheLibraryOnlyListViewsAreSubclassed) {
  Use(Lib::Missing);
  TestForm t;
  {
    TThemeManager m(t.Form);
    m.CollectForms();
    EXPECT_TRUE(m.IsMainManager());
    EXPECT_TRUE(m.IsSubclassed(t.List, skListView));
    EXPECT_FALSE(m.IsSubclassed(t.Button, skButton));
    EXPECT_FALSE(m.IsSubclassed(t.Panel, skPanel));
    // Forms are watched regardless, for list views added later.
    EXPECT_EQ(m.ListCount(skForm), 2);
    EXPECT_EQ(TThemeManager::SubclassedCount(), 3);
  }
  EXPECT_EQ(TThemeManager::SubclassedCount(), 0);
  EXPECT_EQ(TThemeManager::CurrentThemeManager(), nullptr);
}

TEST_F(ThemeFixture, ClassicLookSubclassesButChangesNoPainting) {
  TestForm t;
  TThemeManager m(t.Form);
  m.CollectForms();
  ASSERT_FALSE(ThemeServices()->ThemesEnabled());
  EXPECT_TRUE(m.IsSubclassed(t.Form, skForm));
  EXPECT_TRUE(m.IsSubclassed(t.Button, skButton));
  EXPECT_TRUE(m.IsSubclassed(t.InPanel, skButton));
  EXPECT_TRUE(m.IsSubclassed(t.Group, skGroupBox));
  EXPECT_TRUE(m.IsSubclassed(t.Status, skStatusBar));
  EXPECT_TRUE(m.IsSubclassed(t.Edit, skWinControl));
  // Off the themed path every message reaches the control's own procedure.
  t.Edit->SetText(L"still an edit");
  EXPECT_EQ(t.Edit->GetText(), L"still an edit");
  t.Form->Show();
  Pump(50);
  t.Form->Hide();
}

// ---- Theme manager: active (fake library) --------------------------------------

TEST_F(ThemeFixture, ThemedPaintingOfPanelsGroupsStatusAndButtons) {
  Use(Lib::Fake);
  TestForm t;
  TThemeManager m(t.Form);
  m.CollectForms();
  ASSERT_TRUE(ThemeServices()->ThemesEnabled());
  HDC dc = ::GetDC(t.Form->GetHandle());

  EXPECT_EQ(t.Panel->Perform(WM_ERASEBKGND, WPARAM(dc), 0), 1);
  ASSERT_FALSE(fake.ParentBackgrounds.empty());
  EXPECT_EQ(fake.ParentBackgrounds.back(), t.Panel->GetHandle());

  EXPECT_EQ(t.Button->Perform(WM_ERASEBKGND, WPARAM(dc), 0), 1);
  EXPECT_EQ(t.Button->Perform(CN_CTLCOLORBTN, WPARAM(dc), 0), LRESULT(::GetStockObject(NULL_BRUSH)));

  EXPECT_EQ(t.Status->Perform(WM_ERASEBKGND, WPARAM(dc), 0), 1);
  EXPECT_EQ(CountDraws(L"status", 0, 2), 1);

  t.Group->Perform(WM_PAINT, WPARAM(dc), 0);
  EXPECT_EQ(CountDraws(L"button", 4, 1), 1);  // tbGroupBoxNormal
  ASSERT_FALSE(fake.Texts.empty());
  EXPECT_EQ(fake.Texts.back(), L"Group");
  t.Group->SetEnabled(false);
  t.Group->Perform(WM_PAINT, WPARAM(dc), 0);
  EXPECT_EQ(CountDraws(L"button", 4, 2), 1);  // tbGroupBoxDisabled

  ::ReleaseDC(t.Form->GetHandle(), dc);
  t.Form->Show();
  Pump(50);
  t.Form->Hide();
}

TEST_F(ThemeFixture, ListViewColumnsWithoutImageLoseTheImageFlag) {
  Use(Lib::Fake);
  TestForm t;
  TThemeManager m(t.Form);
  m.CollectForms();
  ASSERT_TRUE(m.IsSubclassed(t.List, skListView));
  LVCOLUMNW col{};
  col.mask = LVCF_TEXT | LVCF_IMAGE | LVCF_WIDTH;
  col.iImage = -1;
  col.cx = 50;
  col.pszText = const_cast<wchar_t*>(L"Name");
  t.List->Perform(LVM_INSERTCOLUMNW, 0, LPARAM(&col));
  EXPECT_EQ(col.mask & LVCF_IMAGE, 0u);
  EXPECT_EQ(col.mask & LVCF_TEXT, UINT(LVCF_TEXT));
  col.mask |= LVCF_IMAGE;
  col.iImage = 0;
  t.List->Perform(LVM_SETCOLUMNW, 0, LPARAM(&col));
  EXPECT_NE(col.mask & LVCF_IMAGE, 0u);
}

TEST_F(ThemeFixture, AListViewWithAWindowIsMadeAnewUnderTheManager) {
  Use(Lib::Fake);
  TestForm t;
  t.List->SetViewStyle(vsReport);
  t.List->Columns()->Add()->SetCaption(L"Name");
  HWND before = t.List->GetHandle();
  ASSERT_TRUE(::IsWindow(before));
  // The manager sees what reaches the list view from now on.
  int inserted = 0;
  TThemeManager m(t.Form);
  m.OnControlMessage = TControlMessageEvent([&](TThemeManager*, TControl* c, TMessage& msg, bool&) {
    if (c == t.List && msg.Msg == LVM_INSERTCOLUMNW) ++inserted;
  });
  m.CollectForms();
  ASSERT_TRUE(m.IsSubclassed(t.List, skListView));
  EXPECT_EQ(t.List->GetHandle(), before) << "made anew only when the message loop runs";
  EXPECT_TRUE(PumpUntil([&] { return t.List->HandleAllocated() && t.List->GetHandle() != before; }, 3000));
  EXPECT_FALSE(::IsWindow(before));
  EXPECT_TRUE(m.IsSubclassed(t.List, skListView));
  // The new window's column went in through the manager's procedure.
  EXPECT_EQ(inserted, 1);
  HWND header = HWND(::SendMessageW(t.List->GetHandle(), LVM_GETHEADER, 0, 0));
  EXPECT_EQ(::SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 1);
  m.OnControlMessage = TControlMessageEvent();
}

TEST_F(ThemeFixture, RemovalRestoresTheControlsOwnProcedure) {
  Use(Lib::Fake);
  TestForm t;
  TThemeManager m(t.Form);
  m.CollectForms();
  ASSERT_TRUE(m.IsSubclassed(t.Panel, skPanel));
  ASSERT_TRUE(m.IsSubclassed(t.InPanel, skButton));
  int before = TThemeManager::SubclassedCount();
  // Taking the panel off the form unsubclasses it and its children.
  t.Panel->SetParent(nullptr);
  EXPECT_FALSE(m.IsSubclassed(t.Panel, skPanel));
  EXPECT_FALSE(m.IsSubclassed(t.InPanel, skButton));
  EXPECT_EQ(TThemeManager::SubclassedCount(), before - 2);
  HDC dc = ::GetDC(nullptr);
  size_t parents = fake.ParentBackgrounds.size();
  t.Panel->Perform(WM_ERASEBKGND, WPARAM(dc), 0);
  EXPECT_EQ(fake.ParentBackgrounds.size(), parents);  // its own procedure again
  ::ReleaseDC(nullptr, dc);
  // Putting it back subclasses it again.
  t.Panel->SetParent(t.Form);
  EXPECT_TRUE(m.IsSubclassed(t.Panel, skPanel));
}

TEST_F(ThemeFixture, FreedControlsLeaveTheListsWhereverTheyLive) {
  Use(Lib::Fake);
  TestForm t;
  TThemeManager m(nullptr);  // owned by nobody: hears of frees only by request
  m.CollectForms(t.Form);
  int before = TThemeManager::SubclassedCount();
  delete t.InPanel;  // a child of a panel: the form never sees it go
  EXPECT_EQ(TThemeManager::SubclassedCount(), before - 1);
  delete t.Edit;
  EXPECT_EQ(TThemeManager::SubclassedCount(), before - 2);
  EXPECT_FALSE(m.IsSubclassed(t.Edit, skWinControl));
  delete t.Form;  // the whole form, manager still alive
  t.Form = nullptr;
  EXPECT_EQ(TThemeManager::SubclassedCount(), 0);
  t.Form = new TForm(Application);  // for the fixture's delete
}

// A form that owns the manager and a control shown on another form: freed,
// it frees both, in either order, and the control's window goes without a
// word from a manager that is gone or has let go of it.
TEST_F(ThemeFixture, AControlFreedAfterItsManagerLetGoOfItUsesItsOwnProcedure) {
  Use(Lib::Fake);
  TestForm shownOn;
  std::vector<String> reported;
  const TExceptionEvent oldHandler = Application->OnException;
  Application->OnException = [&](TObject*, const Exception& E) { reported.push_back(E.Message()); };
  for (bool managerFirst : {true, false}) {
    auto* owner = new TForm(Application);
    TThemeManager* m = managerFirst ? new TThemeManager(owner) : nullptr;
    auto* edit = new TEdit(owner);
    edit->SetParent(shownOn.Form);
    if (!m) m = new TThemeManager(owner);
    m->CollectForms();
    EXPECT_TRUE(m->IsSubclassed(edit, skWinControl));
    delete owner;
    EXPECT_EQ(TThemeManager::SubclassedCount(), 0);
  }
  Application->OnException = oldHandler;
  EXPECT_TRUE(reported.empty()) << reported.front();
}

TEST_F(ThemeFixture, OptionsGovernOnlyNewInsertions) {
  Use(Lib::Fake);
  TestForm t;
  TThemeManager m(t.Form);
  m.CollectForms();
  ASSERT_TRUE(m.IsSubclassed(t.Panel, skPanel));
  m.SetThemeOptions(m.GetOptions() - toSubclassPanel);
  EXPECT_TRUE(m.IsSubclassed(t.Panel, skPanel));  // existing ones stay
  auto* p2 = new TPanel(t.Form);
  p2->SetParent(t.Form);
  EXPECT_FALSE(m.IsSubclassed(p2, skPanel));
  EXPECT_FALSE(m.IsSubclassed(p2, skWinControl));
  t.Panel->SetParent(nullptr);  // a removal unsubclasses whatever the options
  EXPECT_FALSE(m.IsSubclassed(t.Panel, skPanel));
  t.Panel->SetParent(t.Form);
  m.SetThemeOptions(m.GetOptions() + toSubclassPanel);
  auto* p3 = new TPanel(t.Form);
  p3->SetParent(t.Form);
  EXPECT_TRUE(m.IsSubclassed(p3, skPanel));
  // The first three options go to the library.
  m.SetThemeOptions(m.GetOptions() - toAllowWebContent + toAllowNonClientArea + toAllowControls);
  EXPECT_EQ(fake.SetProperties, DWORD(STAP_ALLOW_NONCLIENT | STAP_ALLOW_CONTROLS));
}

TEST_F(ThemeFixture, ControlsCanRefuseSubclassing) {
  Use(Lib::Fake);
  TestForm t;
  TThemeManager m(t.Form);
  m.OnAllowSubclassing = TAllowSubclassingEvent([&](TThemeManager*, TControl* c, bool& allow) {
    if (c == t.Button) allow = false;
  });
  auto* stubborn = new TStubbornPanel(t.Form);
  stubborn->SetParent(t.Form);
  m.CollectForms();
  EXPECT_FALSE(m.IsSubclassed(stubborn, skPanel));
  EXPECT_FALSE(m.IsSubclassed(t.Button, skButton));
  EXPECT_TRUE(m.IsSubclassed(t.Panel, skPanel));
  // A form that refuses still has its controls asked.
  TestForm u;
  m.OnAllowSubclassing = TAllowSubclassingEvent([&](TThemeManager*, TControl* c, bool& allow) {
    if (c == u.Form) allow = false;
  });
  m.HandleControlChange(u.Form, true);
  EXPECT_FALSE(m.IsSubclassed(u.Form, skForm));
  EXPECT_TRUE(m.IsSubclassed(u.Button, skButton));
}

TEST_F(ThemeFixture, HandledMessagesStopAtTheManager) {
  Use(Lib::Fake);
  TestForm t;
  TThemeManager m(t.Form);
  m.CollectForms();
  const UINT probe = WM_APP + 17;
  int eventSeen = 0, listenerSeen = 0;
  m.OnControlMessage = TControlMessageEvent([&](TThemeManager*, TControl* c, TMessage& msg, bool& handled) {
    if (msg.Msg == probe && c == t.Edit) {
      ++eventSeen;
      handled = msg.WParam == 1;
      if (handled) msg.Result = 42;
    }
  });
  struct Listener {
    int* Seen;
    UINT Probe;
    void OnMessage(TThemeManager*, TControl*, TMessage& msg, bool& handled) {
      if (msg.Msg == Probe) {
        ++*Seen;
        handled = true;
        msg.Result = 7;
      }
    }
  } l{&listenerSeen, probe};
  TControlMessageEvent listener(&l, &Listener::OnMessage);
  m.RegisterListener(listener);
  m.RegisterListener(TControlMessageEvent(&l, &Listener::OnMessage));  // kept once
  EXPECT_EQ(t.Edit->Perform(probe, 1, 0), 42);
  EXPECT_EQ(listenerSeen, 0);
  EXPECT_EQ(t.Edit->Perform(probe, 0, 0), 7);
  EXPECT_EQ(eventSeen, 2);
  EXPECT_EQ(listenerSeen, 1);
  m.UnregisterListener(listener);
  t.Edit->Perform(probe, 0, 0);
  EXPECT_EQ(listenerSeen, 1);
}

TEST_F(ThemeFixture, TheNextManagerTakesOverWhenTheMainOneGoes) {
  Use(Lib::Fake);
  TestForm t;
  auto* first = new TThemeManager(nullptr);
  first->CollectForms();
  TThemeManager second(nullptr);
  EXPECT_TRUE(first->IsMainManager());
  EXPECT_FALSE(second.IsMainManager());
  EXPECT_EQ(second.GetOptions(), first->GetOptions());
  EXPECT_TRUE(first->IsSubclassed(t.Button, skButton));
  // A sub-manager's option change goes to the main manager.
  second.SetThemeOptions(second.GetOptions() - toSubclassStatusBar);
  EXPECT_FALSE(first->GetOptions().Contains(toSubclassStatusBar));
  delete first;
  EXPECT_TRUE(second.IsMainManager());
  EXPECT_TRUE(second.IsSubclassed(t.Button, skButton));
  EXPECT_TRUE(second.IsSubclassed(t.Form, skForm));
  HDC dc = ::GetDC(nullptr);
  EXPECT_EQ(t.Button->Perform(WM_ERASEBKGND, WPARAM(dc), 0), 1);
  ::ReleaseDC(nullptr, dc);
}

TEST_F(ThemeFixture, ForcingTheMainRoleMovesTheControls) {
  Use(Lib::Fake);
  TestForm t;
  TThemeManager first(nullptr);
  first.CollectForms();
  TThemeManager second(nullptr);
  second.ForceAsMainManager();
  EXPECT_TRUE(second.IsMainManager());
  EXPECT_FALSE(first.IsMainManager());
  EXPECT_EQ(first.ListCount(skButton), 0);
  EXPECT_TRUE(second.IsSubclassed(t.Button, skButton));
  // Messages reach the new main manager's lists without complaint.
  t.Button->SetCaption(L"moved");
  EXPECT_EQ(t.Button->GetCaption(), L"moved");
}

TEST_F(ThemeFixture, ControlsAddedToASubclassedFormAreSubclassed) {
  Use(Lib::Fake);
  TestForm t;
  TThemeManager m(t.Form);
  m.CollectForms();
  auto* b = new TButton(t.Form);
  b->SetParent(t.Form);
  EXPECT_TRUE(m.IsSubclassed(b, skButton));
  delete b;
  EXPECT_EQ(m.ListCount(skButton), 2);  // the form's button and the panel's
  // Put inside a panel or a group box, they are subclassed too; taken out,
  // let go.
  auto* nested = t.Add<TButton>(t.Panel);
  auto* edit = t.Add<TEdit>(t.Group);
  EXPECT_TRUE(m.IsSubclassed(nested, skButton));
  EXPECT_TRUE(m.IsSubclassed(edit, skWinControl));
  t.InPanel->SetParent(nullptr);
  EXPECT_FALSE(m.IsSubclassed(t.InPanel, skButton));
}

TEST_F(ThemeFixture, FormsMadeLaterAreTakenUpWhenTheMessageLoopRuns) {
  Use(Lib::Fake);
  TThemeManager m(Application);  // hears of every form the application makes
  m.CollectForms();
  auto* f = new TForm(Application);
  auto* b = new TButton(f);
  b->SetParent(f);
  EXPECT_FALSE(m.IsSubclassed(f, skForm));
  EXPECT_TRUE(PumpUntil([&] { return m.IsSubclassed(f, skForm); }, 2000));
  EXPECT_TRUE(m.IsSubclassed(b, skButton));
  // A form freed before the loop comes round is simply forgotten.
  auto* g = new TForm(Application);
  delete g;
  Pump(30);
  delete f;
  EXPECT_EQ(m.ListCount(skButton), 0);
}

TEST_F(ThemeFixture, TabSheetsShowTheParentOrTheTabBody) {
  Use(Lib::Fake);
  TestForm t;
  auto* pages = new TPageControl(t.Form);
  pages->SetParent(t.Form);
  pages->SetBounds(0, 150, 300, 120);
  auto* sheet = new TTabSheet(t.Form);
  sheet->SetPageControl(pages);
  TThemeManager m(t.Form);
  m.CollectForms();
  ASSERT_TRUE(m.IsSubclassed(sheet, skTabSheet));
  EXPECT_TRUE(m.IsSubclassed(pages, skWinControl));
  HDC dc = ::GetDC(nullptr);
  fake.ParentBackgrounds.clear();
  EXPECT_EQ(sheet->Perform(WM_ERASEBKGND, WPARAM(dc), 0), 1);
  ASSERT_EQ(fake.ParentBackgrounds.size(), 1u);
  EXPECT_EQ(fake.ParentBackgrounds[0], sheet->GetHandle());
  m.SetThemeOptions(m.GetOptions() + toAlternateTabSheetDraw);
  EXPECT_EQ(sheet->Perform(WM_ERASEBKGND, WPARAM(dc), 0), 1);
  EXPECT_EQ(CountDraws(L"tab", 10, 1), 1);  // ttBody
  ::ReleaseDC(nullptr, dc);
}

TEST_F(ThemeFixture, BordersKeysAndStatusBarSizing) {
  Use(Lib::Fake);
  TestForm t;
  TThemeManager m(t.Form);
  m.CollectForms();
  // A client-edged control gets the themed edit border after its own frame.
  ASSERT_TRUE(::GetWindowLongPtrW(t.Edit->GetHandle(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  t.Edit->Perform(WM_NCPAINT, 1, 0);
  EXPECT_EQ(CountDraws(L"edit", 1, 1), 1);  // teEditTextNormal
  // Keyboard use clears the hidden focus cues of the form.
  std::vector<WPARAM> uiStates;
  m.OnControlMessage = TControlMessageEvent([&](TThemeManager*, TControl* c, TMessage& msg, bool&) {
    if (c == t.Form && msg.Msg == WM_CHANGEUISTATE) uiStates.push_back(msg.WParam);
  });
  t.Button->Perform(WM_KEYDOWN, VK_TAB, 0);
  t.Edit->Perform(WM_SYSKEYDOWN, VK_MENU, 0);
  t.Edit->Perform(WM_KEYDOWN, 'A', 0);
  ASSERT_EQ(uiStates.size(), 2u);
  EXPECT_EQ(uiStates[0], WPARAM(MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS)));
  EXPECT_EQ(uiStates[1], WPARAM(MAKEWPARAM(UIS_CLEAR, UISF_HIDEACCEL)));
  m.OnControlMessage = TControlMessageEvent();
  // The status bar redraws whole when resized.
  RECT rs[3] = {{0, 0, 100, 20}, {0, 0, 100, 20}, {0, 0, 100, 20}};
  NCCALCSIZE_PARAMS params{};
  std::copy(std::begin(rs), std::end(rs), std::begin(params.rgrc));
  WINDOWPOS pos{};
  params.lppos = &pos;
  LRESULT r = t.Status->Perform(WM_NCCALCSIZE, TRUE, LPARAM(&params));
  EXPECT_EQ(r & (WVR_HREDRAW | WVR_VREDRAW), LRESULT(WVR_HREDRAW | WVR_VREDRAW));
}

// ---- Themed buttons -------------------------------------------------------------

TEST_F(ThemeFixture, ButtonGlyphCellsFollowTheStateAndKeepTheirTransparentColour) {
  Use(Lib::Fake);
  TThemeManager m(nullptr);
  auto strip = GlyphStrip();
  TThemedButtonFace face;
  face.Glyph = strip.get();
  face.NumGlyphs = 4;
  struct Case {
    TButtonState State;
    int Glyphs;
    int Cell;
  } cases[] = {
      {bsUp, 4, 0},       {bsDisabled, 4, 1},
      {bsDown, 4, 2},     {bsExclusive, 4, 3},
      {bsDisabled, 1, 0},  // one cell serves every state
      {bsDown, 2, 0},     {bsExclusive, 3, 0},
  };
  for (const Case& c : cases) {
    Canvas32 pic(40, 40);
    face.State = c.State;
    face.NumGlyphs = c.Glyphs;
    strip->SetWidth(16 * c.Glyphs);
    m.DrawButton(face, tbPushButtonNormal, false, TRect(0, 0, 40, 40), pic.DC);
    // Centred: the cell spans 12..27, its square 16..23.
    EXPECT_EQ(pic.At(20, 20), kCellColours[c.Cell]) << "state " << c.State << ", " << c.Glyphs << " cells";
    EXPECT_EQ(pic.At(13, 13), RGB(255, 255, 255)) << "the transparent colour shows the button";
    EXPECT_EQ(pic.Span(RGB(255, 0, 255), true).first, -1);
  }
}

TEST_F(ThemeFixture, ButtonLayoutPlacesGlyphAndCaptionByLayoutMarginAndSpacing) {
  Use(Lib::Fake);
  TThemeManager m(nullptr);
  TestFace t(1, L"Wide");
  TThemedButtonFace& face = t.Face;
  face.Margin = 5;
  face.Spacing = 7;
  const TRect r(0, 0, 160, 60);
  const COLORREF red = kCellColours[0];

  Canvas32 left(160, 60);
  m.DrawButton(face, tbPushButtonNormal, false, r, left.DC);
  EXPECT_EQ(left.Span(red, true).first, 5 + 4);
  auto ink = left.InkColumns({red});
  EXPECT_GE(ink.first, 5 + 16 + 7);  // the caption starts past glyph and spacing
  EXPECT_LT(ink.first, 5 + 16 + 7 + 4);
  EXPECT_EQ(left.Span(red, false).first, (60 - 16) / 2 + 4);  // centred across

  face.Layout = blGlyphRight;
  Canvas32 right(160, 60);
  m.DrawButton(face, tbPushButtonNormal, false, r, right.DC);
  EXPECT_EQ(right.Span(red, true).second, 160 - 5 - 4 - 1);
  EXPECT_LE(right.InkColumns({red}).second, 160 - 5 - 16 - 7);

  // Right-to-left reading swaps left and right.
  face.RightToLeft = true;
  Canvas32 swapped(160, 60);
  m.DrawButton(face, tbPushButtonNormal, false, r, swapped.DC);
  EXPECT_EQ(swapped.Span(red, true).first, 5 + 4);

  face.RightToLeft = false;
  face.Layout = blGlyphTop;
  Canvas32 top(160, 60);
  m.DrawButton(face, tbPushButtonNormal, false, r, top.DC);
  EXPECT_EQ(top.Span(red, false).first, 5 + 4);
  EXPECT_EQ(top.Span(red, true).first, (160 - 16) / 2 + 4);

  face.Layout = blGlyphBottom;
  Canvas32 bottom(160, 60);
  m.DrawButton(face, tbPushButtonNormal, false, r, bottom.DC);
  EXPECT_EQ(bottom.Span(red, false).second, 60 - 5 - 4 - 1);

  // Margin -1 centres the pair; Spacing -1 shares the room in three.
  face.Layout = blGlyphLeft;
  face.Margin = -1;
  face.Spacing = -1;
  face.Caption.clear();
  Canvas32 shared(160, 60);
  m.DrawButton(face, tbPushButtonNormal, false, r, shared.DC);
  EXPECT_EQ(shared.Span(red, true).first, (160 - 16) / 2 + 4) << "no caption: the glyph alone is centred";
}

TEST_F(ThemeFixture, ButtonCaptionGreysWhenDisabledAndFlatButtonsUseTheToolBarElement) {
  Use(Lib::Fake);
  TThemeManager m(nullptr);
  TFont font;
  font.SetColor(clBlack);
  TThemedButtonFace face;
  face.Caption = L"Caption";
  face.Font = &font;
  Canvas32 on(120, 30), off(120, 30);
  m.DrawButton(face, tbPushButtonNormal, false, TRect(0, 0, 120, 30), on.DC);
  EXPECT_NE(on.Span(RGB(0, 0, 0), true).first, -1);
  EXPECT_EQ(CountDraws(L"button", 1, 1), 1);  // tbPushButtonNormal
  face.Enabled = false;
  m.DrawButton(face, tbPushButtonDisabled, false, TRect(0, 0, 120, 30), off.DC);
  EXPECT_EQ(off.Span(RGB(0, 0, 0), true).first, -1);
  EXPECT_NE(off.Span(::GetSysColor(COLOR_GRAYTEXT), true).first, -1);
  // Centred in the button.
  auto ink = on.InkColumns({});
  EXPECT_NEAR((ink.first + ink.second) / 2, 60, 2);

  face.Flat = true;
  Canvas32 flat(120, 30);
  m.DrawButton(face, tbPushButtonHot, false, TRect(0, 0, 120, 30), flat.DC);
  EXPECT_EQ(CountDraws(L"toolbar", 1, 2), 1);  // ttbButtonHot
  m.DrawButton(face, tbPushButtonDefaulted, false, TRect(0, 0, 120, 30), flat.DC);
  EXPECT_EQ(CountDraws(L"toolbar", 1, 1), 1);  // a tool-bar button is never "default"
}

TEST_F(ThemeFixture, WindowProceduresNeedAMainManagerAndCheckBoxesAreMeasured) {
  Use(Lib::Fake);
  ASSERT_EQ(TThemeManager::CurrentThemeManager(), nullptr);
  TEdit edit(nullptr);
  TMessage msg{WM_NULL, 0, 0, 0};
  try {
    TThemeManager::PreWinControlWindowProc(&edit, msg);
    ADD_FAILURE() << "no main manager, yet the procedure ran";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), L"Assertion failure");
  }
  // One image of the system's 4 x 3 check-box strip, about 13 pixels (the
  // strip may keep a pixel between images).
  TSize box = TThemeManager::CheckBoxSize();
  EXPECT_GE(box.cx, 12);
  EXPECT_LE(box.cx, 16);
  EXPECT_GE(box.cy, 12);
  EXPECT_LE(box.cy, 16);
}

TEST_F(ThemeFixture, FixingControlsMakesLabelsTransparentAndTexturesWindowedChildren) {
  Use(Lib::Fake);
  TestForm t;
  auto* label = new TLabel(t.Form);
  label->SetParent(t.Form);
  auto* inPanel = new TLabel(t.Form);
  inPanel->SetParent(t.Panel);
  ASSERT_FALSE(label->GetTransparent());
  TThemeManager m(t.Form);
  m.SetThemeOptions(m.GetOptions() - toSetTransparency - toResetMouseCapture);
  m.CollectForms();  // neither option: nothing fixed
  EXPECT_FALSE(label->GetTransparent());
  EXPECT_TRUE(fake.DialogTextures.empty());

  m.SetThemeOptions(m.GetOptions() + toSetTransparency);
  m.FixControls(t.Form);
  EXPECT_TRUE(label->GetTransparent());
  EXPECT_TRUE(inPanel->GetTransparent()) << "windowed children with children are entered";
  auto textured = [&](TWinControl* w) {
    return std::count(fake.DialogTextures.begin(), fake.DialogTextures.end(), w->GetHandle());
  };
  EXPECT_EQ(textured(t.Panel), 1);
  EXPECT_EQ(textured(t.Edit), 1);
  EXPECT_EQ(textured(t.InPanel), 1);
  EXPECT_EQ(textured(t.Form), 0) << "only the children";

  // Without themes the labels still become transparent, but nothing is
  // textured.
  Use(Lib::Missing);
  label->SetTransparent(false);
  fake.DialogTextures.clear();
  m.FixControls(nullptr);  // every form
  EXPECT_TRUE(label->GetTransparent());
  EXPECT_TRUE(fake.DialogTextures.empty());
}

TEST_F(ThemeFixture, BorderPaintIsNeededByGridsScrollingControlsAndRichEdits) {
  Use(Lib::Fake);
  TThemeManager m(nullptr);
  TDrawGrid grid(nullptr);
  TScrollBox scroll(nullptr);
  TRichEdit rich(nullptr);
  TEdit edit(nullptr);
  TPanel panel(nullptr);
  EXPECT_TRUE(m.NeedsBorderPaint(&grid));
  EXPECT_TRUE(m.NeedsBorderPaint(&scroll));
  EXPECT_TRUE(m.NeedsBorderPaint(&rich));
  EXPECT_FALSE(m.NeedsBorderPaint(&edit));
  EXPECT_FALSE(m.NeedsBorderPaint(&panel));
}

TEST_F(ThemeFixture, ThemeChangesReachEveryWindowAndRecreateListViews) {
  Use(Lib::Fake);
  TestForm t;
  auto* deep = new TEdit(t.Form);
  deep->SetParent(t.Panel);
  deep->HandleNeeded();
  TThemeManager m(t.Form);
  m.CollectForms();
  std::vector<TControl*> told;
  m.OnControlMessage = TControlMessageEvent([&](TThemeManager*, TControl* c, TMessage& msg, bool&) {
    if (msg.Msg == WM_THEMECHANGED) told.push_back(c);
  });
  HWND list = t.List->GetHandle();
  m.SetThemeOptions(m.GetOptions() + toAlternateTabSheetDraw);
  m.OnControlMessage = TControlMessageEvent();
  for (TControl* c : {static_cast<TControl*>(t.Form), static_cast<TControl*>(t.Edit),
                      static_cast<TControl*>(t.Panel), static_cast<TControl*>(deep)})
    EXPECT_NE(std::find(told.begin(), told.end(), c), told.end()) << c->ClassName();
  t.List->HandleNeeded();
  EXPECT_NE(t.List->GetHandle(), list) << "a list view gets a new window";
}

// ---- The other standard controls ------------------------------------------

namespace {

// What WM_PRINT paints of a window's client area.
void Print(TWinControl* c, Canvas32& pic) {
  ::SendMessageW(c->GetHandle(), WM_PRINT, WPARAM(pic.DC), PRF_CLIENT | PRF_ERASEBKGND);
}

int Count(const Canvas32& pic, const TRect& r, COLORREF c) {
  int n = 0;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) n += pic.At(x, y) == c;
  return n;
}

// The columns of one row holding the colour.
std::pair<int, int> RowSpan(const Canvas32& pic, int y, COLORREF c) {
  int lo = -1, hi = -1;
  for (int x = 0; x < pic.W; ++x)
    if (pic.At(x, y) == c) {
      if (lo < 0) lo = x;
      hi = x;
    }
  return {lo, hi};
}

}  // namespace

TEST_F(ThemeFixture, EveryStandardControlGoesToTheFirstListOfItsClass) {
  Use(Lib::Fake);
  TestForm t;
  auto* speed = t.Add<TSpeedButton>();
  auto* bit = t.Add<TBitBtn>();
  auto* track = t.Add<TTrackBar>();
  auto* anim = t.Add<TAnimate>();
  auto* checks = t.Add<TCheckListBox>();
  auto* scroll = t.Add<TScrollBox>();
  TThemeManager m(t.Form);
  m.CollectForms();
  EXPECT_TRUE(m.IsSubclassed(speed, skSpeedButton));
  EXPECT_TRUE(m.IsSubclassed(bit, skButton));
  EXPECT_TRUE(m.IsSubclassed(track, skTrackBar));
  EXPECT_TRUE(m.IsSubclassed(checks, skCheckListBox));
  EXPECT_FALSE(m.IsSubclassed(checks, skWinControl)) << "the first class that matches picks the list";
  EXPECT_TRUE(m.IsSubclassed(scroll, skWinControl));
  // Animations are off by default, and not handed to the general list either.
  EXPECT_FALSE(m.IsSubclassed(anim, skAnimate));
  EXPECT_FALSE(m.IsSubclassed(anim, skWinControl));
  m.SetThemeOptions(m.GetOptions() + toSubclassAnimate - toSubclassSpeedButtons);
  m.CollectForms();
  EXPECT_TRUE(m.IsSubclassed(anim, skAnimate));
  EXPECT_FALSE(m.IsSubclassed(speed, skSpeedButton));
  EXPECT_EQ(m.ListCount(skSpeedButton), 0);
}

TEST_F(ThemeFixture, SpeedButtonsPaintTheThemedFaceOfTheirStateAndFollowThePointer) {
  Use(Lib::Fake);
  TestForm t;
  auto* b = t.Add<TSpeedButton>(300, 200, 40, 40);
  auto strip = GlyphStrip();
  b->SetGlyph(strip.get());
  b->SetNumGlyphs(4);
  TThemeManager m(t.Form);
  m.CollectForms();
  ASSERT_TRUE(m.IsSubclassed(b, skSpeedButton));
  // Painted into a picture: the element drawn, and the glyph cell at the
  // centre (the cell spans 12..27, its square 16..23).
  auto paint = [&](const wchar_t* cls, int state, int cell, const char* what) {
    fake.Backgrounds.clear();
    Canvas32 pic(40, 40);
    EXPECT_EQ(b->Perform(WM_PAINT, WPARAM(pic.DC), 0), 0);
    ASSERT_EQ(fake.Backgrounds.size(), 1u) << what;
    EXPECT_EQ(fake.ClassOf[fake.Backgrounds[0].Theme], cls) << what;
    EXPECT_EQ(fake.Backgrounds[0].Part, 1) << what;
    EXPECT_EQ(fake.Backgrounds[0].State, state) << what;
    EXPECT_EQ(pic.At(20, 20), kCellColours[cell]) << what;
  };
  paint(L"button", 1, 0, "up");
  b->SetGroupIndex(1);
  b->SetDown(true);
  paint(L"button", 3, 3, "held down: pressed, the fourth cell");
  b->SetAllowAllUp(true);
  b->SetDown(false);
  b->SetEnabled(false);
  paint(L"button", 4, 1, "disabled");
  b->SetEnabled(true);

  // The pointer over it: a raised button is hot when it is the control under
  // the pointer, a flat one when it heard the mouse come in.
  t.Form->Show();
  ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(t.Form->GetHandle()) != 0; }));
  testsupport::MoveMouse(testsupport::ScreenPoint(t.Form->GetHandle(), 320, 220));
  ASSERT_TRUE(PumpUntil([&] { return b->MouseInControl(); }));
  paint(L"button", 2, 0, "raised, pointer over it");
  b->SetFlat(true);
  paint(L"toolbar", 2, 0, "flat, pointer over it");
  testsupport::MoveMouse(testsupport::ScreenPoint(t.Form->GetHandle(), 280, 190));
  ASSERT_TRUE(PumpUntil([&] { return !b->MouseInControl(); }));
  paint(L"toolbar", 1, 0, "flat, pointer gone");
  b->SetFlat(false);
  paint(L"button", 1, 0, "raised, pointer gone");

  // A raised, enabled button repaints when the pointer comes or goes (a
  // flat one repaints itself).
  ASSERT_TRUE(PumpUntil([&] { return !::GetUpdateRect(t.Form->GetHandle(), nullptr, FALSE); }));
  b->Perform(CM_MOUSEENTER, 0, 0);
  RECT dirty{};
  EXPECT_TRUE(::GetUpdateRect(t.Form->GetHandle(), &dirty, FALSE));
  EXPECT_EQ(TRect(dirty), TRect(300, 200, 340, 240));
  ::ValidateRect(t.Form->GetHandle(), nullptr);
  b->SetEnabled(false);
  ::ValidateRect(t.Form->GetHandle(), nullptr);
  b->Perform(CM_MOUSELEAVE, 0, 0);
  EXPECT_FALSE(::GetUpdateRect(t.Form->GetHandle(), nullptr, FALSE));
  t.Form->Hide();
}

TEST_F(ThemeFixture, GroupBoxAndPanelCaptionsFollowTheReadingOrder) {
  Use(Lib::Fake);
  fake.Paint = true;
  TestForm t;
  t.Group->SetCaption(L"Caption");
  t.Panel->SetCaption(L"WWWW");
  t.Panel->Font()->SetColor(TColor(RGB(200, 0, 0)));
  TThemeManager m(t.Form);
  m.CollectForms();
  ASSERT_TRUE(m.IsSubclassed(t.Group, skGroupBox));
  ASSERT_TRUE(m.IsSubclassed(t.Panel, skPanel));
  t.Form->Show();
  ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(t.Group->GetHandle()) != 0; }));

  SIZE text{};
  HDC screen = ::GetDC(nullptr);
  HGDIOBJ old = ::SelectObject(screen, t.Group->Font()->GetHandle());
  ::GetTextExtentPoint32W(screen, L"Caption", 7, &text);
  ::SelectObject(screen, old);
  ::ReleaseDC(nullptr, screen);
  const TRect gc = t.Group->GetClientRect();
  const TRect pc = t.Panel->GetClientRect();

  // The group frame's top line is left out where the caption stands: 8
  // pixels in from the edge where the reading starts.
  auto captionGap = [&]() {
    Canvas32 pic(gc.right, gc.bottom);
    t.Group->Perform(WM_PAINT, WPARAM(pic.DC), 0);
    const int y = text.cy / 2 + 1;
    int lo = -1, hi = -1;
    for (int x = 0; x < pic.W; ++x)
      if (pic.At(x, y) != ElementColour(4, 1)) {
        if (lo < 0) lo = x;
        hi = x;
      }
    return std::make_pair(lo, hi);
  };
  // The panel's caption ink, left-justified.
  auto panelInk = [&]() {
    Canvas32 pic(pc.right, pc.bottom);
    t.Panel->Perform(WM_PAINT, WPARAM(pic.DC), 0);
    return pic.Span(RGB(200, 0, 0), true);
  };
  t.Panel->SetAlignment(taLeftJustify);

  auto gap = captionGap();
  EXPECT_EQ(gap.first, 8);
  EXPECT_EQ(gap.second, 8 + text.cx - 1);
  auto ink = panelInk();
  ASSERT_GE(ink.first, 0);
  EXPECT_LT(ink.first, 8) << "left-justified text starts at the left";
  EXPECT_LT(ink.second, pc.right / 2);

  t.Group->SetBiDiMode(bdRightToLeft);
  t.Panel->SetBiDiMode(bdRightToLeft);
  gap = captionGap();
  EXPECT_EQ(gap.second, gc.right - 8 - 1) << "the caption ends 8 pixels from the right edge";
  EXPECT_EQ(gap.first, gc.right - 8 - text.cx);
  ink = panelInk();
  ASSERT_GE(ink.first, 0);
  EXPECT_GT(ink.second, pc.right - 8) << "left-justified text mirrors to the right";
  EXPECT_GT(ink.first, pc.right / 2);
  t.Panel->SetAlignment(taRightJustify);
  ink = panelInk();
  EXPECT_LT(ink.first, 8) << "and right-justified text to the left";
  t.Form->Hide();
}

TEST_F(ThemeFixture, BitButtonsDrawTheirThemedFaceByItemStateAndPointer) {
  Use(Lib::Fake);
  fake.Paint = true;
  TestForm t;
  auto* b = t.Add<TBitBtn>();
  b->SetCaption(L"");
  b->SetBounds(300, 200, 60, 40);
  auto strip = GlyphStrip();
  b->SetGlyph(strip.get());
  b->SetNumGlyphs(4);
  TThemeManager m(t.Form);
  m.CollectForms();
  ASSERT_TRUE(m.IsSubclassed(b, skButton));
  t.Form->Show();
  ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(b->GetHandle()) != 0; }));
  // What the button's own painting shows: the element of the state over
  // the whole item, the glyph cell at the centre.
  auto print = [&](int state, int cell, const char* what) {
    fake.Backgrounds.clear();
    Canvas32 pic(60, 40);
    Print(b, pic);
    EXPECT_EQ(CountDraws(L"button", 1, state), 1) << what;
    EXPECT_EQ(pic.At(2, 2), ElementColour(1, state)) << what;
    EXPECT_EQ(pic.At(30, 20), kCellColours[cell]) << what;
  };
  print(1, 0, "normal");
  b->SetDefault(true);
  print(5, 0, "default");
  ::SendMessageW(b->GetHandle(), BM_SETSTATE, TRUE, 0);
  print(3, 2, "pressed");
  ::SendMessageW(b->GetHandle(), BM_SETSTATE, FALSE, 0);
  b->SetEnabled(false);
  print(4, 1, "disabled");
  b->SetEnabled(true);
  b->SetDefault(false);
  testsupport::MoveMouse(testsupport::ClientCentre(b->GetHandle()));
  print(2, 0, "the pointer over it");

  // The pointer coming or going repaints a bit button (not a plain one),
  // and the control still hears of it.
  int heard = 0;
  m.OnControlMessage = TControlMessageEvent([&](TThemeManager*, TControl* c, TMessage& msg, bool&) {
    if (c == b && msg.Msg == CM_MOUSELEAVE) ++heard;
  });
  for (TButton* button : {static_cast<TButton*>(b), t.Button}) {
    ::ValidateRect(button->GetHandle(), nullptr);
    button->Perform(CM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(::GetUpdateRect(button->GetHandle(), nullptr, FALSE) != 0, button == b);
  }
  m.OnControlMessage = TControlMessageEvent();
  EXPECT_EQ(heard, 1);
  t.Form->Hide();
}

TEST_F(ThemeFixture, TrackBarsShowTheParentBehindTicsAndChannel) {
  Use(Lib::Fake);
  fake.Paint = true;
  TestForm t;
  auto* bar = t.Add<TTrackBar>(10, 150, 200, 40);
  TThemeManager m(t.Form);
  m.CollectForms();
  ASSERT_TRUE(m.IsSubclassed(bar, skTrackBar));
  fake.ParentBackgrounds.clear();
  Canvas32 pic(200, 40);
  Print(bar, pic);
  EXPECT_EQ(std::count(fake.ParentBackgrounds.begin(), fake.ParentBackgrounds.end(), bar->GetHandle()), 2)
      << "once behind the tics, once along the channel";
  EXPECT_EQ(pic.At(1, 1), kParentColour);
  EXPECT_EQ(pic.At(198, 38), kParentColour);
  EXPECT_GT(Count(pic, TRect(0, 0, 200, 40), kParentColour), 0);
  EXPECT_LT(Count(pic, TRect(0, 0, 200, 40), kParentColour), 200 * 40) << "the bar's own parts drawn over it";

  // The stages: items announced on pre-paint, the default drawing kept.
  NMCUSTOMDRAW cd{};
  cd.hdr = {bar->GetHandle(), UINT_PTR(0), UINT(NM_CUSTOMDRAW)};
  cd.hdc = pic.DC;
  cd.dwDrawStage = CDDS_PREPAINT;
  EXPECT_EQ(bar->Perform(CN_NOTIFY, 0, LPARAM(&cd)), CDRF_NOTIFYITEMDRAW);
  cd.dwDrawStage = CDDS_ITEMPREPAINT;
  cd.dwItemSpec = TBCD_THUMB;
  fake.ParentBackgrounds.clear();
  EXPECT_EQ(bar->Perform(CN_NOTIFY, 0, LPARAM(&cd)), CDRF_DODEFAULT);
  EXPECT_TRUE(fake.ParentBackgrounds.empty()) << "the thumb is the bar's own";
}

TEST_F(ThemeFixture, AnimationsEraseNothingAndShowTheirColourWhenTransparent) {
  Use(Lib::Fake);
  TestForm t;
  auto* a = t.Add<TAnimate>();
  TThemeManager m(t.Form);
  m.SetThemeOptions(m.GetOptions() + toSubclassAnimate);
  m.CollectForms();
  ASSERT_TRUE(m.IsSubclassed(a, skAnimate));
  Canvas32 pic(10, 10);
  EXPECT_EQ(a->Perform(WM_ERASEBKGND, WPARAM(pic.DC), 0), 1);
  EXPECT_EQ(pic.At(5, 5), RGB(255, 255, 255)) << "nothing erased";
  a->SetColor(clBtnFace);
  EXPECT_EQ(a->Perform(CN_CTLCOLORSTATIC, WPARAM(pic.DC), 0), LRESULT(::GetSysColorBrush(COLOR_BTNFACE)));
  a->SetColor(clWindow);
  EXPECT_EQ(a->Perform(CN_CTLCOLORSTATIC, WPARAM(pic.DC), 0), LRESULT(::GetSysColorBrush(COLOR_WINDOW)));
  a->SetTransparent(false);
  EXPECT_NE(a->Perform(CN_CTLCOLORSTATIC, WPARAM(pic.DC), 0), LRESULT(::GetSysColorBrush(COLOR_WINDOW)))
      << "an opaque animation answers for itself";
}

TEST_F(ThemeFixture, CheckListBoxesDrawAThemedCheckBesideEachItem) {
  Use(Lib::Fake);
  fake.Paint = true;
  TestForm t;
  auto* list = t.Add<TCheckListBox>(10, 150, 150, 100);
  list->SetColor(clWindow);
  for (const wchar_t* s : {L"one", L"two", L"three"}) list->Items()->Add(s);
  list->SetAllowGrayed(true);
  list->SetState(0, cbChecked);
  list->SetState(1, cbGrayed);
  list->SetItemEnabled(2, false);
  TThemeManager m(t.Form);
  m.CollectForms();
  ASSERT_TRUE(m.IsSubclassed(list, skCheckListBox));
  t.Form->Show();
  ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(list->GetHandle()) != 0; }));

  const int strip = list->CheckWidth();
  const TSize box = TThemeManager::CheckBoxSize();
  const int looks[] = {5, 9, 1};  // checked, mixed, unchecked
  auto check = [&](bool rtl) {
    Canvas32 pic(150, 100);
    Print(list, pic);
    for (int i = 0; i < 3; ++i) {
      TRect r = list->ItemRect(i);
      int y = (r.top + r.bottom) / 2;
      auto span = RowSpan(pic, y, ElementColour(3, looks[i]));
      int from = rtl ? r.right - strip : r.left;
      EXPECT_EQ(span.first, from + (strip - box.cx) / 2) << "item " << i << (rtl ? ", right to left" : "");
      EXPECT_EQ(span.second - span.first + 1, box.cx) << "item " << i;
      // The text, 2 pixels off the check strip.
      TRect text = rtl ? TRect(r.left, r.top, r.right - strip - 2, r.bottom) : TRect(r.left + strip + 2, r.top, r.right, r.bottom);
      TRect beside = rtl ? TRect(r.right - strip - 2, r.top, r.right - strip, r.bottom) : TRect(r.left + strip, r.top, r.left + strip + 2, r.bottom);
      COLORREF ink = i == 2 ? ::GetSysColor(COLOR_GRAYTEXT) : ::GetSysColor(COLOR_WINDOWTEXT);
      EXPECT_GT(Count(pic, text, ink), 0) << "item " << i;
      EXPECT_EQ(Count(pic, beside, ink), 0) << "item " << i;
    }
    return pic.At(rtl ? 1 : 149 - 1, (list->ItemRect(0).top + list->ItemRect(0).bottom) / 2);
  };
  check(false);
  // A selected item is highlighted beside its check box.
  list->SetItemIndex(0);
  {
    Canvas32 pic(150, 100);
    Print(list, pic);
    TRect r = list->ItemRect(0);
    int y = (r.top + r.bottom) / 2;
    EXPECT_EQ(pic.At(r.right - 3, y), ::GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(pic.At(r.left + strip / 2, y), ElementColour(3, 5));
  }
  list->SetItemIndex(-1);
  // Right-to-left reading puts the check on the right.
  HWND h = list->GetHandle();
  ::SetWindowLongW(h, GWL_EXSTYLE, ::GetWindowLongW(h, GWL_EXSTYLE) | WS_EX_RTLREADING);
  check(true);
  t.Form->Hide();
}

TEST_F(ThemeFixture, ScrollBoxesAndStaticTextsShowTheParentBackground) {
  Use(Lib::Fake);
  fake.Paint = true;
  TestForm t;
  auto* scroll = t.Add<TScrollBox>(10, 150, 100, 80);
  auto* text = t.Add<TStaticText>();
  text->SetCaption(L"Static text");
  text->SetBounds(150, 150, 100, 20);
  TThemeManager m(t.Form);
  m.CollectForms();
  ASSERT_TRUE(m.IsSubclassed(scroll, skWinControl));
  ASSERT_TRUE(m.IsSubclassed(text, skWinControl));

  Canvas32 box(100, 80);
  Print(scroll, box);
  EXPECT_EQ(box.At(50, 40), kParentColour);
  // Double-buffered, it has its parent erase into the buffer instead.
  int formErased = 0;
  m.OnControlMessage = TControlMessageEvent([&](TThemeManager*, TControl* c, TMessage& msg, bool&) {
    if (c == t.Form && msg.Msg == WM_ERASEBKGND) ++formErased;
  });
  scroll->SetDoubleBuffered(true);
  fake.ParentBackgrounds.clear();
  Canvas32 buffered(100, 80);
  EXPECT_EQ(scroll->Perform(WM_ERASEBKGND, WPARAM(buffered.DC), 0), 1);
  EXPECT_EQ(formErased, 1);
  EXPECT_TRUE(fake.ParentBackgrounds.empty());
  m.OnControlMessage = TControlMessageEvent();

  // The static text is drawn over the parent's background.
  Canvas32 label(100, 20);
  Print(text, label);
  EXPECT_GT(Count(label, TRect(0, 0, 100, 20), kParentColour), 100 * 20 / 2);
  EXPECT_GT(Count(label, TRect(0, 0, 100, 20), ::GetSysColor(COLOR_WINDOWTEXT)), 0);
  EXPECT_EQ(Count(label, TRect(0, 0, 100, 20), ::GetSysColor(COLOR_BTNFACE)), 0);
  EXPECT_EQ(text->Perform(CN_CTLCOLORSTATIC, WPARAM(label.DC), 0), LRESULT(::GetStockObject(NULL_BRUSH)));
  EXPECT_EQ(::GetBkMode(label.DC), TRANSPARENT);
}

TEST_F(ThemeFixture, ADoubleBufferedParentErasesForItsThemedChildren) {
  Use(Lib::Fake);
  TestForm t;
  TThemeManager m(t.Form);
  m.CollectForms();
  int formErased = 0;
  m.OnControlMessage = TControlMessageEvent([&](TThemeManager*, TControl* c, TMessage& msg, bool&) {
    if (c == t.Form && msg.Msg == WM_ERASEBKGND) ++formErased;
  });
  t.Form->SetDoubleBuffered(true);
  Canvas32 pic(100, 100);
  fake.ParentBackgrounds.clear();
  EXPECT_EQ(t.Group->Perform(WM_ERASEBKGND, WPARAM(pic.DC), 0), 1);
  EXPECT_EQ(t.Panel->Perform(WM_ERASEBKGND, WPARAM(pic.DC), 0), 1);
  t.Panel->Perform(WM_PRINTCLIENT, WPARAM(pic.DC), 0);
  EXPECT_EQ(t.Button->Perform(CN_CTLCOLORBTN, WPARAM(pic.DC), 0), LRESULT(::GetStockObject(NULL_BRUSH)));
  EXPECT_EQ(formErased, 4);
  EXPECT_TRUE(fake.ParentBackgrounds.empty());
  // The button in the panel: its parent is not double-buffered.
  t.InPanel->Perform(CN_CTLCOLORBTN, WPARAM(pic.DC), 0);
  EXPECT_EQ(formErased, 4);
  ASSERT_EQ(fake.ParentBackgrounds.size(), 1u);
  EXPECT_EQ(fake.ParentBackgrounds[0], t.InPanel->GetHandle());
  m.OnControlMessage = TControlMessageEvent();
}

TEST_F(ThemeFixture, FixingToolBarsMakesThemTransparentAndFreesTheirButtonsMouse) {
  Use(Lib::Fake);
  TestForm t;
  auto* bar = t.Add<TToolBar>();
  auto* plain = t.Add<TToolButton>(bar);
  auto* drop = t.Add<TToolButton>(bar);
  drop->SetStyle(tbsDropDown);
  auto* onBar = t.Add<TEdit>(bar);
  onBar->HandleNeeded();
  TThemeManager m(t.Form);
  m.SetThemeOptions(m.GetOptions() - toSetTransparency - toResetMouseCapture);
  m.CollectForms();
  EXPECT_FALSE(bar->GetTransparent());
  EXPECT_TRUE(plain->ControlStyle.Contains(csCaptureMouse));

  m.SetThemeOptions(m.GetOptions() + toSetTransparency);
  m.FixControls(t.Form);
  EXPECT_TRUE(bar->GetTransparent());
  EXPECT_TRUE(plain->ControlStyle.Contains(csCaptureMouse)) << "only with toResetMouseCapture";
  EXPECT_EQ(std::count(fake.DialogTextures.begin(), fake.DialogTextures.end(), onBar->GetHandle()), 0)
      << "a tool bar is not entered";

  bar->SetTransparent(false);
  m.SetThemeOptions(m.GetOptions() - toSetTransparency + toResetMouseCapture);
  m.FixControls(t.Form);
  EXPECT_FALSE(bar->GetTransparent());
  EXPECT_FALSE(plain->ControlStyle.Contains(csCaptureMouse));
  EXPECT_TRUE(drop->ControlStyle.Contains(csCaptureMouse)) << "a drop-down button keeps it for its menu";
}

TEST_F(ThemeFixture, ThemeChangesRecreateCoolBarsWithoutVisitingTheirBands) {
  Use(Lib::Fake);
  TestForm t;
  auto* cool = t.Add<TCoolBar>();
  auto* inBand = t.Add<TEdit>(cool);
  cool->Bands()->Add()->SetControl(inBand);
  cool->HandleNeeded();
  inBand->HandleNeeded();
  TThemeManager m(t.Form);
  m.CollectForms();
  std::vector<TControl*> told;
  m.OnControlMessage = TControlMessageEvent([&](TThemeManager*, TControl* c, TMessage& msg, bool&) {
    if (msg.Msg == WM_THEMECHANGED) told.push_back(c);
  });
  HWND before = cool->GetHandle();
  TThemeManager::BroadcastThemeChange();
  m.OnControlMessage = TControlMessageEvent();
  EXPECT_NE(std::find(told.begin(), told.end(), cool), told.end());
  EXPECT_EQ(std::find(told.begin(), told.end(), inBand), told.end());
  cool->HandleNeeded();
  EXPECT_NE(cool->GetHandle(), before);
}

TEST_F(ThemeFixture, RegisteredOnThePageXPAndMadeByName) {
  ThemeMgr::Register();
  ThemeMgr::Register();  // again: still once
  EXPECT_EQ(ComponentsOnPage(L"XP"), (std::vector<String>{L"TThemeManager"}));
  std::unique_ptr<TForm> form(new TForm(Application));
  TComponent* made = FindClass(L"TThemeManager")(form.get());
  auto* m = dynamic_cast<TThemeManager*>(made);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->GetOwner(), form.get());
  EXPECT_EQ(m->GetOptions(), DefaultThemeOptions());
}

// ---- Design time and the form stream ----------------------------------------

namespace {
// A manager whose reading state a test sets alone, as a reader filling in
// one component of a loaded form does.
class TReadManager : public TThemeManager {
 public:
  using TThemeManager::TThemeManager;
  void Reading(bool On) { SetComponentStateFlag(csReading, On); }
};
}  // namespace

TEST_F(ThemeFixture, ADesignedManagerKeepsItsOptionsAndLeavesTheApplicationAlone) {
  Use(Lib::Fake);
  TestForm t;
  auto* running = new TThemeManager(nullptr);
  running->CollectForms();
  running->SetThemeOptions(running->GetOptions() - toSubclassPanel);
  const TThemeOptions runningOptions = running->GetOptions();

  TComponent designer(nullptr);
  designer.SetDesigning(true);
  auto* designed = new TThemeManager(&designer);
  EXPECT_TRUE(designed->IsDesigning());
  EXPECT_FALSE(designed->IsMainManager());
  EXPECT_EQ(designed->GetOptions(), DefaultThemeOptions());  // not the running manager's

  // No collecting, whatever asks for it.
  designed->CollectForms();
  designed->CollectForms(t.Form);
  designed->CollectControls(t.Form);
  designer.BeginLoading();
  designer.EndLoading();
  for (int kind = 0; kind < SubclassKindCount; ++kind)
    EXPECT_EQ(designed->ListCount(TSubclassKind(kind)), 0) << kind;
  EXPECT_THROW(designed->CollectControls(nullptr), EThemeManagerError);

  // A form put on the designer is not handed to the running manager.
  auto* designedForm = new TForm(&designer);
  Pump(30);
  EXPECT_FALSE(running->IsSubclassed(designedForm, skForm));

  // Its options are its own: no forwarding, no application properties, and
  // the library's properties do not overwrite them. Nor does a change of
  // them touch the running application: its themes stay open, no theme
  // change reaches the application window or a form, no form is redrawn.
  fake.SetProperties = 0xFFFFFFFF;
  ASSERT_NE(ThemeServices()->GetTheme(teButton), nullptr);
  const int closed = fake.Closed;
  Pump(30);
  int appThemeChanges = 0, formMessages = 0;
  running->OnThemeChange = [&](TObject*) { ++appThemeChanges; };
  running->OnControlMessage = TControlMessageEvent([&](TThemeManager*, TControl* c, TMessage& msg, bool&) {
    if (c == t.Form && (msg.Msg == WM_THEMECHANGED || msg.Msg == WM_PAINT || msg.Msg == WM_ERASEBKGND)) ++formMessages;
  });
  designed->SetThemeOptions(DefaultThemeOptions() - toSubclassButtons);
  Pump(30);
  running->OnThemeChange = nullptr;
  running->OnControlMessage = TControlMessageEvent();
  EXPECT_EQ(fake.Closed, closed);
  EXPECT_EQ(appThemeChanges, 0);
  EXPECT_EQ(formMessages, 0);
  EXPECT_EQ(designed->GetOptions(), DefaultThemeOptions() - toSubclassButtons);
  EXPECT_EQ(fake.SetProperties, 0xFFFFFFFFu);
  EXPECT_EQ(running->GetOptions(), runningOptions);
  fake.AppProperties = 0;
  designed->UpdateThemes();
  EXPECT_TRUE(designed->GetOptions().Contains(toAllowNonClientArea));

  // Taking the main role and going away hands nothing over (no 0xBCB2):
  // the manager that was main stays a sub-manager, and no one points at
  // the designed one any more.
  designed->ForceAsMainManager();
  EXPECT_EQ(TThemeManager::CurrentThemeManager(), designed);
  delete designed;
  Pump(30);
  EXPECT_EQ(TThemeManager::CurrentThemeManager(), nullptr);
  EXPECT_FALSE(running->IsMainManager());
  // The running manager's hook still hears the application window.
  ::SendMessageW(Application->Handle(), WM_MAINMANAGERRELEASED, 0, 0);
  EXPECT_TRUE(running->IsMainManager());
  delete running;
}

TEST_F(ThemeFixture, ADesignedManagerDoesNotHookTheApplicationWindow) {
  Use(Lib::Fake);
  TComponent designer(nullptr);
  designer.SetDesigning(true);
  TThemeManager designed(&designer);
  ASSERT_EQ(TThemeManager::CurrentThemeManager(), nullptr);
  // A hooked manager with no main manager about would take the role here.
  ::SendMessageW(Application->Handle(), WM_MAINMANAGERRELEASED, 0, 0);
  EXPECT_EQ(TThemeManager::CurrentThemeManager(), nullptr);
  EXPECT_FALSE(designed.IsMainManager());
}

TEST_F(ThemeFixture, OptionsTravelWithTheFormAndReadingDefersTheThemeChange) {
  Use(Lib::Fake);
  auto stored = [](TThemeOptions options) {
    std::unique_ptr<TForm> form(new TForm(Application));
    form->SetName(L"Stored");
    auto* m = new TThemeManager(form.get());
    m->SetName(L"tmThemes");
    m->SetThemeOptions(options);
    TMemoryStream s;
    TWriter(&s).WriteRootComponent(form.get());
    std::string bytes(static_cast<const char*>(s.Memory()), size_t(s.GetSize()));
    delete m;
    return bytes;
  };
  EXPECT_EQ(stored(DefaultThemeOptions()).find("Options"), std::string::npos);
  const TThemeOptions chosen = TThemeOptions{toAllowNonClientArea, toAllowControls, toSubclassButtons,
                                             toSubclassListView, toAlternateTabSheetDraw};
  const std::string bytes = stored(chosen);
  ASSERT_NE(bytes.find("toAlternateTabSheetDraw"), std::string::npos);

  std::unique_ptr<TForm> form(new TForm(Application));
  auto* m = new TReadManager(form.get());
  m->SetName(L"tmThemes");
  ASSERT_TRUE(m->IsMainManager());
  int themeChanges = 0;
  m->OnThemeChange = [&](TObject*) { ++themeChanges; };
  fake.SetProperties = 0xFFFFFFFF;
  TMemoryStream s;
  s.WriteBuffer(bytes.data(), int64_t(bytes.size()));
  s.SetPosition(0);
  TReader(&s).ReadRootComponent(form.get());
  EXPECT_EQ(m->GetOptions(), chosen);
  EXPECT_EQ(fake.SetProperties, DWORD(STAP_ALLOW_NONCLIENT | STAP_ALLOW_CONTROLS));
  Pump(30);
  EXPECT_EQ(themeChanges, 0);

  // Reading alone (one component filled in, no loading) defers it too;
  // afterwards an option change is announced.
  m->Reading(true);
  m->SetThemeOptions(m->GetOptions() + toSubclassPanel);
  EXPECT_TRUE(m->GetOptions().Contains(toSubclassPanel));
  Pump(30);
  EXPECT_EQ(themeChanges, 0);
  m->Reading(false);
  m->SetThemeOptions(m->GetOptions() - toSubclassPanel);
  EXPECT_EQ(themeChanges, 1);
  m->OnThemeChange = nullptr;
}

// Every published property and event of the manager is held in the form
// stream; the events come back by the names the form offers.
TEST_F(ThemeFixture, EveryPublishedPropertyAndEventTravelsWithTheForm) {
  Use(Lib::Fake);
  std::unique_ptr<TForm> form(new TForm(Application));
  form->SetName(L"Stored");
  declared::Offer<TNotifyEvent, TAllowSubclassingEvent, TControlMessageEvent>(form.get());
  auto* m = new TThemeManager(form.get());
  m->SetName(L"tmThemes");
  declared::ExpectNothingWritten(m, form.get());
  m->SetThemeOptions(m->GetOptions() - toSubclassGroupBox);
  m->OnAllowSubclassing = declared::Handler<TAllowSubclassingEvent>(form.get());
  m->OnControlMessage = declared::Handler<TControlMessageEvent>(form.get());
  m->OnThemeChange = declared::Handler<TNotifyEvent>(form.get());
  declared::ExpectWritten(m, form.get(), {L"Options", L"OnAllowSubclassing", L"OnControlMessage", L"OnThemeChange"});
  TMemoryStream s;
  TWriter(&s).WriteRootComponent(form.get());
  form.reset();  // the name is the one read next

  std::unique_ptr<TForm> again(new TForm(Application));
  declared::Offer<TNotifyEvent, TAllowSubclassingEvent, TControlMessageEvent>(again.get());
  auto* read = new TThemeManager(again.get());
  read->SetName(L"tmThemes");
  s.SetPosition(0);
  TReader(&s).ReadRootComponent(again.get());
  EXPECT_FALSE(read->GetOptions().Contains(toSubclassGroupBox));
  EXPECT_EQ(read->OnAllowSubclassing, declared::Handler<TAllowSubclassingEvent>(again.get()));
  EXPECT_EQ(read->OnControlMessage, declared::Handler<TControlMessageEvent>(again.get()));
  EXPECT_EQ(read->OnThemeChange, declared::Handler<TNotifyEvent>(again.get()));
  read->OnThemeChange = nullptr;
  read->OnAllowSubclassing = nullptr;
  read->OnControlMessage = nullptr;
}
