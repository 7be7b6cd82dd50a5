// MDI forms and their children on real windows: the application's main form
// is made an MDI form for each test and made plain again afterwards.
#include <atomic>
#include <memory>

#include "classlib/ExtCtrls.h"
#include "classlib/Forms.h"
#include "classlib/StdCtrls.h"
#include "testsupport/Gui.h"
#include "testsupport/Input.h"
#include "testsupport/Pump.h"

using testsupport::PumpUntil;

static ::testing::Environment* const kGuiEnv = ::testing::AddGlobalTestEnvironment(new testsupport::GuiEnvironment);

namespace {

TRect WindowRectIn(HWND Window, HWND Parent) {
  RECT r{};
  GetWindowRect(Window, &r);
  MapWindowPoints(nullptr, Parent, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

class Mdi : public ::testing::Test {
 protected:
  TCustomForm* frame = Application->MainForm();
  TPanel* bar = nullptr;
  std::vector<TForm*> children;

  void SetUp() override {
    frame->SetFormStyle(fsMDIForm);
    frame->SetBounds(30, 30, 640, 460);
    bar = new TPanel(frame);
    bar->SetHeight(30);
    bar->SetAlign(alTop);
    bar->SetParent(frame);
    frame->Show();
    SetForegroundWindow(frame->GetHandle());
    ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == frame->GetHandle(); }));
  }
  void TearDown() override {
    for (TForm* c : children) delete c;
    delete bar;
    frame->Hide();
    frame->SetFormStyle(fsNormal);
  }
  // A child side by side with the others (no two overlap).
  TForm* AddChild(const String& Caption) {
    auto* c = new TForm(Application);
    c->SetCaption(Caption);
    c->SetFormStyle(fsMDIChild);
    c->SetBounds(int(children.size()) * 200, 0, 190, 140);
    children.push_back(c);
    c->Show();
    return c;
  }
  void Forget(TForm* c) { children.erase(std::find(children.begin(), children.end(), c)); }
  std::vector<TCustomForm*> Order() const {
    std::vector<TCustomForm*> v;
    for (int i = 0; i < frame->MDIChildCount(); ++i) v.push_back(frame->MDIChildren(i));
    return v;
  }
  // The middle of a child's caption, on the screen.
  static POINT CaptionPoint(TCustomForm* c) {
    RECT r{};
    GetWindowRect(c->GetHandle(), &r);
    const int y = r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
    return POINT{(r.left + r.right) / 2, y};
  }
};

}  // namespace

TEST_F(Mdi, TheClientTakesWhatTheAlignedControlsLeave) {
  HWND client = frame->ClientHandle();
  ASSERT_TRUE(client);
  wchar_t cls[32] = {};
  GetClassNameW(client, cls, 32);
  EXPECT_EQ(0, _wcsicmp(L"MDICLIENT", cls));
  EXPECT_TRUE(GetWindowLongPtrW(client, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  const TRect cr = frame->GetClientRect();
  EXPECT_EQ(Rect(0, 30, cr.right, cr.bottom), WindowRectIn(client, frame->GetHandle()));
  // It follows the form's size.
  frame->SetBounds(30, 30, 560, 400);
  const TRect cr2 = frame->GetClientRect();
  EXPECT_EQ(Rect(0, 30, cr2.right, cr2.bottom), WindowRectIn(client, frame->GetHandle()));
  auto other = std::make_unique<TForm>(Application);
  EXPECT_EQ(nullptr, other->ClientHandle());
}

TEST_F(Mdi, ChildrenAreListedActiveFirstAndFollowAClickOnTheCaption) {
  TForm* a = AddChild(L"A");
  TForm* b = AddChild(L"B");
  TForm* c = AddChild(L"C");
  EXPECT_EQ(frame->ClientHandle(), GetParent(a->GetHandle()));
  ASSERT_EQ(3, frame->MDIChildCount());
  EXPECT_EQ(c, frame->ActiveMDIChild());
  EXPECT_EQ((std::vector<TCustomForm*>{c, b, a}), Order());

  int activated = 0;
  a->OnActivate = [&](TObject*) { ++activated; };
  testsupport::Click(CaptionPoint(a));
  EXPECT_TRUE(PumpUntil([&] { return frame->ActiveMDIChild() == a; }));
  EXPECT_EQ(a, frame->MDIChildren(0));
  EXPECT_EQ(1, activated);
  EXPECT_EQ(a, Screen->GetActiveForm());

  frame->Next();
  EXPECT_NE(a, frame->ActiveMDIChild());
  frame->Previous();
  EXPECT_EQ(a, frame->ActiveMDIChild());

  // A child freed leaves the list.
  Forget(b);
  delete b;
  EXPECT_EQ((std::vector<TCustomForm*>{a, c}), Order());
  EXPECT_THROW(frame->MDIChildren(2), EListError);
}

TEST_F(Mdi, TileAndCascadeMoveTheChildren) {
  TForm* a = AddChild(L"A");
  TForm* b = AddChild(L"B");
  HWND client = frame->ClientHandle();
  frame->SetTileMode(tbVertical);
  frame->Tile();
  RECT cr{};
  GetClientRect(client, &cr);
  TRect ra = WindowRectIn(a->GetHandle(), client), rb = WindowRectIn(b->GetHandle(), client);
  // Side by side, each the client's height.
  EXPECT_EQ(cr.bottom, RectHeight(ra));
  EXPECT_EQ(cr.bottom, RectHeight(rb));
  EXPECT_NE(ra.left, rb.left);
  EXPECT_NEAR(cr.right, RectWidth(ra) + RectWidth(rb), 1);
  frame->SetTileMode(tbHorizontal);
  frame->Tile();
  ra = WindowRectIn(a->GetHandle(), client), rb = WindowRectIn(b->GetHandle(), client);
  EXPECT_EQ(cr.right, RectWidth(ra));
  EXPECT_NE(ra.top, rb.top);
  frame->Cascade();
  ra = WindowRectIn(a->GetHandle(), client), rb = WindowRectIn(b->GetHandle(), client);
  // One behind the other, each a step further down and right.
  EXPECT_NE(ra.top, rb.top);
  EXPECT_EQ(rb.left - ra.left, rb.top - ra.top);
  EXPECT_EQ(RectWidth(ra), RectWidth(rb));
}

TEST_F(Mdi, AMaximisedChildFillsTheClientAndIsRestored) {
  AddChild(L"A");
  TForm* b = AddChild(L"B");
  b->SetWindowState(wsMaximized);
  EXPECT_EQ(wsMaximized, b->GetWindowState());
  BOOL maximised = FALSE;
  EXPECT_EQ(b->GetHandle(), reinterpret_cast<HWND>(SendMessageW(frame->ClientHandle(), WM_MDIGETACTIVE, 0,
                                                                  reinterpret_cast<LPARAM>(&maximised))));
  EXPECT_TRUE(maximised);
  RECT cr{};
  GetClientRect(frame->ClientHandle(), &cr);
  RECT bc{};
  GetClientRect(b->GetHandle(), &bc);
  EXPECT_GE(bc.right, cr.right);
  b->SetWindowState(wsNormal);
  EXPECT_EQ(wsNormal, b->GetWindowState());
  EXPECT_EQ(Bounds(200, 0, 190, 140), WindowRectIn(b->GetHandle(), frame->ClientHandle()));
}

TEST_F(Mdi, ClosingMinimisesUnlessTheHandlerSaysOtherwise) {
  TForm* a = AddChild(L"A");
  TForm* b = AddChild(L"B");
  TForm* c = AddChild(L"C");
  c->Close();
  EXPECT_EQ(wsMinimized, c->GetWindowState());
  b->OnClose = [](TObject*, TCloseAction& Action) { Action = caHide; };
  b->Close();
  EXPECT_FALSE(IsWindowVisible(b->GetHandle()));
  EXPECT_NE(b, frame->ActiveMDIChild());
  bool freed = false;
  a->OnDestroy = [&](TObject*) { freed = true; };
  a->OnClose = [](TObject*, TCloseAction& Action) { Action = caFree; };
  Forget(a);
  a->Close();
  EXPECT_TRUE(PumpUntil([&] { return freed; }));
  EXPECT_EQ(2, frame->MDIChildCount());
}

TEST_F(Mdi, CtrlF6AndCtrlF4WorkInTheActiveChild) {
  TForm* a = AddChild(L"A");
  TForm* b = AddChild(L"B");
  auto* edit = new TEdit(b);
  edit->SetParent(b);
  b->FocusControl(edit);
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == edit->GetHandle(); }));
  testsupport::PressKey(VK_F6, {VK_CONTROL});
  EXPECT_TRUE(PumpUntil([&] { return frame->ActiveMDIChild() == a; }));
  int closes = 0;
  a->OnClose = [&](TObject*, TCloseAction&) { ++closes; };
  testsupport::PressKey(VK_F4, {VK_CONTROL});
  EXPECT_TRUE(PumpUntil([&] { return closes == 1; }));
  EXPECT_EQ(wsMinimized, a->GetWindowState());
}

TEST_F(Mdi, AltMinusOpensTheChildsSystemMenu) {
  TForm* a = AddChild(L"A");
  auto* edit = new TEdit(a);
  edit->SetParent(a);
  a->FocusControl(edit);
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == edit->GetHandle(); }));
  // The child's system menu opens, owned by the child.
  const HMENU sys = GetSystemMenu(a->GetHandle(), FALSE);
  std::atomic<bool> systemMenu{false};
  TWndMethod old = a->WindowProc;
  a->WindowProc = TWndMethod([&](TMessage& m) {
    if (m.Msg == WM_INITMENUPOPUP && reinterpret_cast<HMENU>(m.WParam) == sys) systemMenu = true;
    old(m);
  });
  testsupport::RunInput([&] {
    testsupport::InputScript().Press(VK_SUBTRACT, {VK_MENU}).Post();
    for (int i = 0; i < 1000 && !systemMenu; ++i) Sleep(10);
    for (int i = 0; i < 100 && !IsWindowVisible(FindWindowW(L"#32768", nullptr)); ++i) Sleep(10);
    testsupport::InputScript().Press(VK_ESCAPE).Post();
  });
  a->WindowProc = old;
  EXPECT_TRUE(systemMenu);
}

TEST(MdiChild, WithoutAnMdiMainFormCannotBeMade) {
  ASSERT_NE(fsMDIForm, Application->MainForm()->GetFormStyle());
  auto child = std::make_unique<TForm>(Application);
  child->SetFormStyle(fsMDIChild);
  try {
    child->HandleNeeded();
    FAIL() << "no exception";
  } catch (const EInvalidOperation& e) {
    EXPECT_EQ(L"Cannot create form. No MDI forms are currently active", e.Message());
  }
  EXPECT_FALSE(child->HandleAllocated());
}
