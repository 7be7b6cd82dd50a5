// Actions, help requests, focus notices and reparenting on real windows,
// driven by real mouse and keyboard input.
#include "classlib/Actions.h"
#include "classlib/ComCtrls.h"
#include "classlib/ExtCtrls.h"
#include "classlib/Filer.h"
#include "classlib/StdCtrls.h"
#include "classlib/tests/gui_support.h"

using namespace guitest;

namespace {

std::unique_ptr<TForm> ShownForm() {
  std::unique_ptr<TForm> f(new TForm(Application));
  f->SetBounds(40, 40, 400, 300);
  f->Show();
  SetForegroundWindow(f->GetHandle());
  PumpUntil([&] { return GetForegroundWindow() == f->GetHandle(); });
  return f;
}

template <class T>
T* Put(TWinControl* parent, int x, int y, int w = 100, int h = 24) {
  T* c = new T(parent->GetParentForm() ? static_cast<TComponent*>(parent->GetParentForm()) : parent);
  c->SetParent(parent);
  c->SetBounds(x, y, w, h);
  return c;
}

// Runs the application's own loop, idle time included, until done holds.
bool RunLoopUntil(const std::function<bool()>& done, int timeoutMs = 10000) {
  const UINT_PTR timer = SetTimer(nullptr, 0, 10, nullptr);  // wakes the idle wait
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  bool ok = true;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) {
      ok = false;
      break;
    }
    Application->HandleMessage();
  }
  KillTimer(nullptr, timer);
  return ok;
}

// An action that works on edit boxes (or panels) by itself.
class TTargetAction : public TAction {
 public:
  TTargetAction(TComponent* Owner, bool Panels) : TAction(Owner), panels_(Panels) {}
  bool HandlesTarget(TObject* Target) override {
    return panels_ ? dynamic_cast<TPanel*>(Target) != nullptr : dynamic_cast<TEdit*>(Target) != nullptr;
  }
  void ExecuteTarget(TObject* Target) override { Ran = Target; }
  void UpdateTarget(TObject* Target) override {
    Updated = Target;
    SetEnabled(true);
  }
  TObject* Ran = nullptr;
  TObject* Updated = nullptr;

 private:
  bool panels_;
};

}  // namespace

TEST(Actions, OneActionDrivesTwoClientsAndIdleUpdatesThem) {
  auto f = ShownForm();
  auto* list = new TActionList(f.get());
  auto* act = new TAction(f.get());
  act->SetActionList(list);
  act->SetCaption(L"&Run");
  act->SetHint(L"Runs it");
  act->SetHelpContext(12);
  int runs = 0;
  bool allow = true;
  act->OnExecute = [&](TObject*) { ++runs; };
  act->OnUpdate = [&](TObject* s) { static_cast<TAction*>(s)->SetEnabled(allow); };
  auto* b1 = Put<TButton>(f.get(), 10, 10);
  auto* b2 = Put<TButton>(f.get(), 10, 50);
  b1->SetAction(act);
  b2->SetAction(act);
  for (TButton* b : {b1, b2}) {
    EXPECT_EQ(b->GetCaption(), L"&Run");
    EXPECT_EQ(b->GetHint(), L"Runs it");
    EXPECT_EQ(b->GetHelpContext(), 12);
  }
  Pump(50);
  MouseClick(b2, 20, 10);
  EXPECT_TRUE(PumpUntil([&] { return runs == 1; }));
  act->SetCaption(L"Go");
  EXPECT_EQ(b1->GetCaption(), L"Go");
  EXPECT_EQ(b2->GetCaption(), L"Go");

  // Idle time: the action's update disables both buttons and their windows.
  allow = false;
  EXPECT_TRUE(RunLoopUntil([&] { return !b1->GetEnabled() && !b2->GetEnabled(); }));
  EXPECT_FALSE(IsWindowEnabled(b1->GetHandle()));
  EXPECT_FALSE(IsWindowEnabled(b2->GetHandle()));
  EXPECT_FALSE(act->Execute());  // a disabled action runs nothing
  allow = true;
  EXPECT_TRUE(RunLoopUntil([&] { return b1->GetEnabled() && b2->GetEnabled(); }));
  EXPECT_EQ(runs, 1);

  // A group: checking one action unchecks the other; a shortcut runs its action.
  auto* other = new TAction(f.get());
  other->SetActionList(list);
  act->SetGroupIndex(3);
  other->SetGroupIndex(3);
  act->SetChecked(true);
  other->SetChecked(true);
  EXPECT_FALSE(act->GetChecked());
  act->SetShortCut(VK_F5);
  EXPECT_TRUE(list->IsShortCut(VK_F5));
  EXPECT_EQ(runs, 2);

  // Freeing the action leaves the clients without one.
  delete act;
  EXPECT_EQ(b1->GetAction(), nullptr);
  EXPECT_EQ(b2->GetAction(), nullptr);
}

TEST(Actions, WithoutAHandlerTheFocusedControlThenItsParentsAreOffered) {
  auto f = ShownForm();
  auto* panel = Put<TPanel>(f.get(), 10, 10, 200, 100);
  auto* inner = Put<TEdit>(panel, 10, 10);
  auto* outer = Put<TEdit>(f.get(), 10, 150);
  auto* forEdits = new TTargetAction(f.get(), false);
  auto* forPanels = new TTargetAction(f.get(), true);
  MouseClick(inner, 5, 5);
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == inner->GetHandle(); }));
  EXPECT_TRUE(forEdits->Execute());
  EXPECT_EQ(forEdits->Ran, inner);
  EXPECT_TRUE(forPanels->Execute());
  EXPECT_EQ(forPanels->Ran, panel);  // the focused edit's parent
  MouseClick(outer, 5, 5);
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == outer->GetHandle(); }));
  EXPECT_TRUE(forEdits->Execute());
  EXPECT_EQ(forEdits->Ran, outer);
  EXPECT_TRUE(forPanels->Execute());  // not a parent: found among the form's other controls
  EXPECT_EQ(forPanels->Ran, panel);

  // The application's handler comes first.
  bool appHandled = false;
  Application->OnActionExecute = [&](TBasicAction*, bool& Handled) { Handled = appHandled = true; };
  forEdits->Ran = nullptr;
  EXPECT_TRUE(forEdits->Execute());
  EXPECT_TRUE(appHandled);
  EXPECT_EQ(forEdits->Ran, nullptr);
  Application->OnActionExecute = nullptr;

  // An action that nobody handles is disabled by its update.
  auto* orphan = new TAction(f.get());
  EXPECT_FALSE(orphan->Update());
  EXPECT_FALSE(orphan->GetEnabled());
}

TEST(Help, F1OnAControlWithoutContextReachesItsParentsAndTheHandler) {
  auto f = ShownForm();
  auto* panel = Put<TPanel>(f.get(), 10, 10, 200, 100);
  auto* edit = Put<TEdit>(panel, 10, 10);
  auto* own = Put<TEdit>(f.get(), 10, 150);
  panel->SetHelpContext(42);
  own->SetHelpContext(7);
  std::vector<std::pair<WORD, intptr_t>> asked;
  Application->HelpHandler = [&](WORD Command, intptr_t Data) {
    asked.emplace_back(Command, Data);
    return true;
  };
  MouseClick(edit, 5, 5);
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == edit->GetHandle(); }));
  PressKey(VK_F1);
  EXPECT_TRUE(PumpUntil([&] { return asked.size() == 1; }));
  MouseClick(own, 5, 5);
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == own->GetHandle(); }));
  PressKey(VK_F1);
  EXPECT_TRUE(PumpUntil([&] { return asked.size() == 2; }));
  ASSERT_EQ(asked.size(), 2u);
  EXPECT_EQ(asked[0], std::make_pair(WORD(HELP_CONTEXT), intptr_t(42)));
  EXPECT_EQ(asked[1], std::make_pair(WORD(HELP_CONTEXT), intptr_t(7)));

  // OnHelp sees the request first and may answer it itself.
  bool seen = false;
  Application->OnHelp = [&](WORD Command, intptr_t Data, bool& CallHelp) {
    seen = Data == 7;
    CallHelp = false;
    return true;
  };
  PressKey(VK_F1);
  EXPECT_TRUE(PumpUntil([&] { return seen; }));
  EXPECT_EQ(asked.size(), 2u);
  Application->OnHelp = nullptr;

  // A form with the help button shows the topic as a pop-up.
  f->SetBorderIcons(TBorderIcons{biSystemMenu, biHelp});
  f->SetBorderStyle(bsDialog);  // a new window, shown and active as the old one was
  ASSERT_TRUE(IsWindowVisible(f->GetHandle()));
  ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == f->GetHandle(); }));
  MouseClick(own, 60, 8);
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == own->GetHandle(); }));
  PressKey(VK_F1);
  EXPECT_TRUE(PumpUntil([&] { return asked.size() == 3; }));
  ASSERT_EQ(asked.size(), 3u);
  EXPECT_EQ(asked[2], std::make_pair(WORD(HELP_CONTEXTPOPUP), intptr_t(7)));
  Application->HelpHandler = nullptr;
}

TEST(Reparent, AWindowedControlKeepsItsWindowAndItsChildren) {
  auto a = ShownForm();
  auto b = ShownForm();
  auto* panel = Put<TPanel>(a.get(), 10, 10, 200, 100);
  auto* edit = Put<TEdit>(panel, 10, 10);
  edit->SetText(L"typed");
  const HWND ph = panel->GetHandle(), eh = edit->GetHandle();
  panel->SetParent(b.get());
  EXPECT_EQ(panel->GetHandle(), ph);
  EXPECT_EQ(edit->GetHandle(), eh);
  EXPECT_EQ(GetParent(ph), b->GetHandle());
  EXPECT_EQ(GetParent(eh), ph);
  EXPECT_EQ(edit->GetText(), L"typed");
  EXPECT_TRUE(IsWindowVisible(eh));
  MouseClick(edit, 5, 5);
  EXPECT_TRUE(PumpUntil([&] { return GetFocus() == eh && b->GetActiveControl() == edit; }));

  // A parent without a window: the window goes, and comes back (a new one,
  // the text kept) once the parent has one.
  auto* loose = new TPanel(b.get());
  panel->SetParent(loose);
  EXPECT_FALSE(IsWindow(ph));
  EXPECT_EQ(b->GetActiveControl(), nullptr);
  loose->SetParent(a.get());
  EXPECT_TRUE(panel->HandleAllocated());
  EXPECT_EQ(GetParent(edit->GetHandle()), panel->GetHandle());
  EXPECT_EQ(edit->GetText(), L"typed");
}

namespace {
// A windowless control that records the focus notices it receives.
class TFocusWatcher : public TGraphicControl {
 public:
  explicit TFocusWatcher(TComponent* Owner) : TGraphicControl(Owner) {}
  void WndProc(TMessage& m) override {
    if (m.Msg == CM_FOCUSCHANGED) Seen.push_back(reinterpret_cast<TControl*>(m.LParam));
    TGraphicControl::WndProc(m);
  }
  std::vector<TControl*> Seen;
};
}  // namespace

TEST(FocusNotice, TheFormTellsEveryControlWhichOneGotTheFocus) {
  auto f = ShownForm();
  auto* panel = Put<TPanel>(f.get(), 10, 10, 200, 100);
  auto* watcher = Put<TFocusWatcher>(panel, 150, 10, 20, 20);  // a grandchild of the form
  auto* e1 = Put<TEdit>(panel, 10, 10);
  auto* e2 = Put<TEdit>(f.get(), 10, 150);
  MouseClick(e1, 5, 5);
  EXPECT_TRUE(PumpUntil([&] { return !watcher->Seen.empty() && watcher->Seen.back() == e1; }));
  PressKey(VK_TAB);
  EXPECT_TRUE(PumpUntil([&] { return GetFocus() == e2->GetHandle(); }));
  EXPECT_TRUE(PumpUntil([&] { return watcher->Seen.back() == e2; }));
  MouseClick(e1, 60, 8);  // away from the first click: no double click
  EXPECT_TRUE(PumpUntil([&] { return watcher->Seen.back() == e1; }));
  // One notice per change of the active control.
  std::vector<TControl*> changes;
  for (TControl* c : watcher->Seen)
    if (changes.empty() || changes.back() != c) changes.push_back(c);
  EXPECT_EQ(changes.size(), watcher->Seen.size());
}

TEST(Ctl3D, ChildrenFollowTheirParentUntilTheyHaveTheirOwn) {
  auto f = ShownForm();
  auto* outer = Put<TPanel>(f.get(), 10, 10, 300, 200);
  auto* inner = Put<TPanel>(outer, 10, 10, 200, 100);
  auto* edit = Put<TEdit>(inner, 10, 10);
  auto* own = Put<TEdit>(outer, 10, 150);
  own->SetCtl3D(true);  // its own value, even if equal
  EXPECT_FALSE(own->GetParentCtl3D());
  outer->SetCtl3D(false);
  EXPECT_FALSE(outer->GetParentCtl3D());
  EXPECT_FALSE(inner->GetCtl3D());
  EXPECT_FALSE(edit->GetCtl3D());  // through the grandparent
  EXPECT_TRUE(inner->GetParentCtl3D());
  EXPECT_TRUE(own->GetCtl3D());
  // A control put into a parent takes its value; one set back to follow
  // its parent takes it at once.
  auto* late = Put<TEdit>(inner, 10, 50);
  EXPECT_FALSE(late->GetCtl3D());
  own->SetParentCtl3D(true);
  EXPECT_FALSE(own->GetCtl3D());
  outer->SetCtl3D(true);
  EXPECT_TRUE(edit->GetCtl3D());
  EXPECT_TRUE(own->GetCtl3D());
}

TEST(MenuKey, AltLetterTypedInAControlReachesTheFormsHooks) {
  auto f = ShownForm();
  auto* panel = Put<TPanel>(f.get(), 10, 10, 200, 100);
  auto* edit = Put<TEdit>(panel, 10, 10);
  std::vector<WPARAM> keys;
  TWindowHook hook = [&](TMessage& m) {
    if (m.Msg != CM_APPSYSCOMMAND) return false;
    const MSG* msg = reinterpret_cast<const MSG*>(m.LParam);
    if ((msg->wParam & 0xFFF0) == SC_KEYMENU) keys.push_back(LOWORD(msg->lParam));
    m.Result = 1;  // handled: no system menu
    return true;
  };
  Application->HookMainWindow(hook);
  MouseClick(edit, 5, 5);
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == edit->GetHandle(); }));
  INPUT in[4] = {};
  for (INPUT& i : in) i.type = INPUT_KEYBOARD;
  in[0].ki.wVk = in[3].ki.wVk = VK_MENU;
  in[1].ki.wVk = in[2].ki.wVk = 'K';
  in[2].ki.dwFlags = in[3].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(4, in, sizeof(INPUT));
  EXPECT_TRUE(PumpUntil([&] { return !keys.empty(); }));
  Application->UnhookMainWindow(hook);
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(towlower(wchar_t(keys[0])), L'k');
  EXPECT_EQ(GetFocus(), edit->GetHandle());
}

namespace {
// A windowless control that records the mouse's coming and going.
class TMouseWatcher : public TGraphicControl {
 public:
  explicit TMouseWatcher(TComponent* Owner) : TGraphicControl(Owner) {}
  void WndProc(TMessage& m) override {
    if (m.Msg == CM_MOUSEENTER) Seen.push_back(L'+');
    if (m.Msg == CM_MOUSELEAVE) Seen.push_back(L'-');
    TGraphicControl::WndProc(m);
  }
  String Seen;
};
}  // namespace

TEST(Hints, AMouseMoveKeptFromTheQueueMovesTheHintAndTheMouseNotices) {
  auto f = ShownForm();
  auto* a = Put<TMouseWatcher>(f.get(), 10, 10, 50, 50);
  auto* b = Put<TMouseWatcher>(f.get(), 100, 10, 50, 50);
  a->SetHint(L"first");
  b->SetHint(L"second");
  a->SetShowHint(true);
  b->SetShowHint(true);
  const int savedPause = Application->HintPause;
  Application->HintPause = 10;
  // The pointer agrees with the messages, so that the queue's own moves
  // point at the same control.
  auto move = [&](TControl* c) {
    const TPoint p = c->ClientToScreen(TPoint{25, 25});
    SetCursorPos(p.x, p.y);
    const TPoint q = f->ScreenToClient(p);
    TMessage m{WM_MOUSEMOVE, 0, MAKELPARAM(q.x, q.y), 0};
    Application->HintMouseMessage(f.get(), m);
  };
  auto hintShows = [&](const String& text) {
    return PumpUntil([&] {
      THintWindow* w = Application->GetHintWindow();
      return w && w->HandleAllocated() && IsWindowVisible(w->GetHandle()) && w->GetText() == text;
    });
  };
  move(a);
  EXPECT_EQ(a->Seen, L"+");
  EXPECT_TRUE(hintShows(L"first"));
  move(b);
  EXPECT_EQ(a->Seen, L"+-");
  EXPECT_EQ(b->Seen, L"+");
  EXPECT_TRUE(hintShows(L"second"));
  TMessage down{WM_LBUTTONDOWN, 0, 0, 0};
  Application->HintMouseMessage(f.get(), down);
  EXPECT_FALSE(IsWindowVisible(Application->GetHintWindow()->GetHandle()));
  Application->HintPause = savedPause;
  Application->CancelHint();
}

TEST(Hints, AnActionsOnHintMayChangeOrRefuseItsHint) {
  TAction act(nullptr);
  String hint = L"Open";
  EXPECT_TRUE(act.DoHint(hint));  // nobody asked: shown as it is
  EXPECT_EQ(hint, L"Open");
  act.OnHint = [](String& h, bool& canShow) {
    canShow = h != L"secret";
    h += L" file";
  };
  EXPECT_TRUE(act.DoHint(hint));
  EXPECT_EQ(hint, L"Open file");
  String secret = L"secret";
  EXPECT_FALSE(act.DoHint(secret));
  EXPECT_TRUE(Application->GetHintShortCuts());
}

TEST(Registration, ARegisteredFormClassMakesAForm) {
  RegisterClass(ComponentClass<TForm>(L"TRegisteredTestForm"));
  std::unique_ptr<TComponent> made(FindClass(L"TRegisteredTestForm")(Application));
  auto* form = dynamic_cast<TForm*>(made.get());
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(form->GetOwner(), Application);
  form->Show();
  EXPECT_TRUE(IsWindowVisible(form->GetHandle()));
}

TEST(OEMConvert, AnEditConvertsThroughTheOEMSetAndKeepsItsText) {
  auto f = ShownForm();
  auto* e = Put<TEdit>(f.get(), 10, 10);
  e->SetText(L"name.txt");
  EXPECT_FALSE(GetWindowLongW(e->GetHandle(), GWL_STYLE) & ES_OEMCONVERT);
  e->SetOEMConvert(true);
  EXPECT_TRUE(GetWindowLongW(e->GetHandle(), GWL_STYLE) & ES_OEMCONVERT);
  EXPECT_EQ(e->GetText(), L"name.txt");
}

TEST(BiDiMode, ControlsFollowTheirParentsReadingOrderAndTheirWindowsShowIt) {
  auto f = ShownForm();
  auto* panel = Put<TPanel>(f.get(), 10, 10, 300, 200);
  auto* edit = Put<TEdit>(panel, 10, 10);
  auto* own = Put<TEdit>(panel, 10, 50);
  own->SetBiDiMode(bdLeftToRight);
  EXPECT_FALSE(own->GetParentBiDiMode());
  auto ex = [](TWinControl* c) { return GetWindowLongW(c->GetHandle(), GWL_EXSTYLE); };
  f->SetBiDiMode(bdRightToLeft);
  EXPECT_EQ(edit->GetBiDiMode(), bdRightToLeft);  // through the panel
  EXPECT_TRUE(edit->UseRightToLeftReading());
  EXPECT_TRUE(ex(edit) & WS_EX_RTLREADING);
  EXPECT_TRUE(ex(edit) & WS_EX_RIGHT);
  EXPECT_TRUE(ex(edit) & WS_EX_LEFTSCROLLBAR);
  EXPECT_FALSE(ex(own) & WS_EX_RTLREADING);
  panel->SetBiDiMode(bdRightToLeftReadingOnly);
  EXPECT_TRUE(ex(edit) & WS_EX_RTLREADING);
  EXPECT_FALSE(ex(edit) & WS_EX_RIGHT);
  EXPECT_FALSE(edit->UseRightToLeftAlignment());
  // A control made later takes its parent's; one set to follow takes it at once.
  auto* late = Put<TEdit>(panel, 10, 90);
  EXPECT_EQ(late->GetBiDiMode(), bdRightToLeftReadingOnly);
  EXPECT_TRUE(ex(late) & WS_EX_RTLREADING);
  own->SetParentBiDiMode(true);
  EXPECT_TRUE(ex(own) & WS_EX_RTLREADING);
  f->SetBiDiMode(bdLeftToRight);
  EXPECT_EQ(edit->GetBiDiMode(), bdRightToLeftReadingOnly);  // the panel has its own

  // Status panels read as their bar does until they have their own order.
  auto* bar = new TStatusBar(f.get());
  bar->SetParent(f.get());
  TStatusPanel* sp = bar->Panels()->Add();
  EXPECT_FALSE(sp->UseRightToLeftReading());
  bar->SetBiDiMode(bdRightToLeft);
  EXPECT_TRUE(sp->UseRightToLeftReading());
  sp->SetBiDiMode(bdLeftToRight);
  EXPECT_FALSE(sp->GetParentBiDiMode());
  EXPECT_FALSE(sp->UseRightToLeftReading());
}

TEST(Scaling, AFormMadeAt96IsScaledToA120DotScreenOnce) {
  Screen->SetPixelsPerInch(120);
  std::unique_ptr<TForm> f(new TForm(Application));
  f->SetBorderStyle(bsNone);
  f->SetBounds(40, 40, 400, 300);
  auto* panel = new TPanel(f.get());
  panel->SetParent(f.get());
  panel->SetBounds(8, 16, 200, 100);
  auto* edit = new TEdit(f.get());
  edit->SetParent(panel);
  edit->SetBounds(4, 8, 100, 24);
  auto* unscaled = new TForm(Application);
  unscaled->SetBorderStyle(bsNone);
  unscaled->SetScaled(false);
  unscaled->SetBounds(40, 40, 400, 300);
  f->Show();
  unscaled->HandleNeeded();
  Screen->SetPixelsPerInch(0);
  EXPECT_EQ(f->GetClientWidth(), 500);
  EXPECT_EQ(f->GetClientHeight(), 375);
  EXPECT_EQ(panel->GetLeft(), 10);
  EXPECT_EQ(panel->GetTop(), 20);
  EXPECT_EQ(panel->GetWidth(), 250);
  EXPECT_EQ(edit->GetLeft(), 5);
  EXPECT_EQ(edit->GetTop(), 10);
  EXPECT_EQ(edit->GetWidth(), 125);
  EXPECT_EQ(panel->GetHeight(), 125);
  EXPECT_EQ(f->GetPixelsPerInch(), 120);
  f->RecreateWnd();  // not again
  EXPECT_EQ(edit->GetWidth(), 125);
  EXPECT_EQ(unscaled->GetClientWidth(), 400);
  delete unscaled;
}

// A radio group lays its buttons out itself when it is resized: scaled to a
// 144-dot screen (inside a group box), its buttons fill the group once, not
// one and a half times over, and every button stays inside it; the group
// box's size limits are scaled with it.
TEST(Scaling, RadioGroupButtonsAreScaledOnceAt144Dots) {
  auto layout = [](int ppi) {
    Screen->SetPixelsPerInch(ppi);
    std::unique_ptr<TForm> f(new TForm(Application));
    f->SetBorderStyle(bsNone);
    f->SetBounds(40, 40, 400, 300);
    auto* frame = new TGroupBox(f.get());
    frame->SetParent(f.get());
    frame->SetBounds(8, 8, 180, 140);
    frame->Constraints()->Set(0, 0, 180, 0);  // limits move with the layout
    auto* group = new TRadioGroup(f.get());
    group->SetParent(frame);
    group->SetBounds(8, 16, 161, 105);
    for (const wchar_t* s : {L"Exact text", L"Substring", L"Regular expression"}) group->Items()->Add(s);
    f->Show();
    Screen->SetPixelsPerInch(0);
    std::vector<int> widths{group->GetWidth()};
    for (int i = 0; i < group->ButtonCount(); ++i) {
      const TRadioButton* b = group->Buttons(i);
      EXPECT_LE(b->GetLeft() + b->GetWidth(), group->GetClientWidth()) << ppi << " dpi, button " << i;
      EXPECT_LE(b->GetTop() + b->GetHeight(), group->GetClientHeight()) << ppi << " dpi, button " << i;
      widths.push_back(b->GetWidth());
    }
    EXPECT_LE(group->GetLeft() + group->GetWidth(), frame->GetClientWidth()) << ppi << " dpi";
    EXPECT_EQ(frame->GetWidth(), MulDiv(180, ppi, 96));
    EXPECT_EQ(frame->Constraints()->MaxWidth, MulDiv(180, ppi, 96));
    return widths;
  };
  const std::vector<int> at96 = layout(96), at144 = layout(144);
  ASSERT_EQ(at96.size(), 4u);
  ASSERT_EQ(at144.size(), 4u);
  EXPECT_EQ(at96[0], 161);
  EXPECT_EQ(at144[0], 242);  // 161 * 1.5, rounded
  for (size_t i = 1; i < 4; ++i) EXPECT_GT(at144[i], at96[i]) << "button " << i;  // they grew with the group
}

namespace {
// A control whose hint holds over its left half only; it records where the
// application says the pointer is.
class THalfHint : public TCustomControl {
 public:
  explicit THalfHint(TComponent* Owner) : TCustomControl(Owner) {}
  void WndProc(TMessage& m) override {
    if (m.Msg == CM_HINTSHOW) {
      auto* info = reinterpret_cast<THintInfo*>(m.LParam);
      Asked.push_back(info->CursorPos);
      const int half = GetClientWidth() / 2;
      info->CursorRect = info->CursorPos.x < half ? Rect(0, 0, half, GetClientHeight())
                                                  : Rect(half, 0, GetClientWidth(), GetClientHeight());
      m.Result = 0;
      return;
    }
    TCustomControl::WndProc(m);
  }
  std::vector<TPoint> Asked;
};
}  // namespace

TEST(Hints, TheHintFollowsThePointerAcrossItsRectangleAndTheControlsHintChanges) {
  auto f = ShownForm();
  auto* c = Put<THalfHint>(f.get(), 50, 60, 200, 40);
  c->SetHint(L"left or right");
  c->SetShowHint(true);
  const int savedPause = Application->HintPause, savedShort = Application->HintShortPause,
            savedHide = Application->HintHidePause;
  Application->HintPause = 10;
  Application->HintShortPause = 10;
  Application->HintHidePause = 0;  // stays up
  auto shownText = [] {
    THintWindow* w = Application->GetHintWindow();
    return w && w->HandleAllocated() && IsWindowVisible(w->GetHandle()) ? w->GetText() : String();
  };
  auto moveTo = [&](int x, int y) { testsupport::MoveMouse(testsupport::ScreenPoint(c->GetHandle(), x, y)); };
  moveTo(30, 20);
  ASSERT_TRUE(PumpUntil([&] { return shownText() == L"left or right"; }));
  ASSERT_EQ(c->Asked.size(), 1u);
  // The control's own client coordinates, not the screen's.
  EXPECT_EQ(c->Asked[0].x, 30);
  EXPECT_EQ(c->Asked[0].y, 20);
  // Within the rectangle the hint holds; past it the control is asked again.
  moveTo(60, 25);
  Pump(100);
  EXPECT_EQ(c->Asked.size(), 1u);
  moveTo(150, 10);
  ASSERT_TRUE(PumpUntil([&] { return c->Asked.size() == 2 && shownText() == L"left or right"; }));
  EXPECT_EQ(c->Asked[1].x, 150);
  EXPECT_EQ(c->Asked[1].y, 10);
  // The pointer stays: a new hint of the control replaces the shown one, an
  // empty one puts it away, and a hint given later shows after its pause.
  c->SetHint(L"changed");
  EXPECT_TRUE(PumpUntil([&] { return shownText() == L"changed"; }));
  EXPECT_EQ(Application->GetHint(), L"changed");
  c->SetHint(L"");
  EXPECT_TRUE(PumpUntil([&] { return shownText().empty(); }));
  c->SetHint(L"given later");
  EXPECT_TRUE(PumpUntil([&] { return shownText() == L"given later"; }));
  Application->HintPause = savedPause;
  Application->HintShortPause = savedShort;
  Application->HintHidePause = savedHide;
  Application->CancelHint();
}
