// Forms, layout, message routing, exceptions and modal loops on real windows.
#include "classlib/StdCtrls.h"
#include "classlib/tests/gui_support.h"

using namespace guitest;

static ::testing::Environment* const kGuiEnv = ::testing::AddGlobalTestEnvironment(new GuiEnvironment);

namespace {

TForm* NewForm(int w = 400, int h = 300) {
  auto* f = new TForm(Application);
  f->SetBorderStyle(bsNone);  // client area == bounds: easy arithmetic
  f->SetBounds(50, 50, w, h);
  return f;
}

TWinControl* NewBox(TWinControl* parent, TAlign a, int l, int t, int w, int h) {
  auto* c = new TCustomControl(parent);
  c->SetBounds(l, t, w, h);
  c->SetAlign(a);
  c->SetParent(parent);
  return c;
}

}  // namespace

// --- layout -----------------------------------------------------------------

TEST(GuiLayout, AlignedControlsShareTheClientAreaInOrder) {
  std::unique_ptr<TForm> f(NewForm(400, 300));
  TWinControl* top = NewBox(f.get(), alTop, 0, 0, 10, 30);
  TWinControl* bottom = NewBox(f.get(), alBottom, 0, 0, 10, 40);
  TWinControl* left = NewBox(f.get(), alLeft, 0, 0, 100, 10);
  TWinControl* right = NewBox(f.get(), alRight, 0, 0, 50, 10);
  TWinControl* client = NewBox(f.get(), alClient, 0, 0, 1, 1);
  EXPECT_EQ(Bounds(0, 0, 400, 30), top->GetBoundsRect());
  EXPECT_EQ(Bounds(0, 260, 400, 40), bottom->GetBoundsRect());
  EXPECT_EQ(Bounds(0, 30, 100, 230), left->GetBoundsRect());
  EXPECT_EQ(Bounds(350, 30, 50, 230), right->GetBoundsRect());
  EXPECT_EQ(Bounds(100, 30, 250, 230), client->GetBoundsRect());

  // Resizing the parent re-lays everything out.
  f->SetBounds(50, 50, 500, 400);
  EXPECT_EQ(Bounds(0, 0, 500, 30), top->GetBoundsRect());
  EXPECT_EQ(Bounds(0, 360, 500, 40), bottom->GetBoundsRect());
  EXPECT_EQ(Bounds(450, 30, 50, 330), right->GetBoundsRect());
  EXPECT_EQ(Bounds(100, 30, 350, 330), client->GetBoundsRect());

  // A hidden control gives its space back.
  left->SetVisible(false);
  EXPECT_EQ(Bounds(0, 30, 450, 330), client->GetBoundsRect());
}

TEST(GuiLayout, SameAlignmentStacksByPosition) {
  std::unique_ptr<TForm> f(NewForm(300, 200));
  TWinControl* a = NewBox(f.get(), alLeft, 0, 0, 40, 10);
  TWinControl* b = NewBox(f.get(), alLeft, 200, 0, 60, 10);
  EXPECT_EQ(0, a->GetLeft());
  EXPECT_EQ(40, b->GetLeft());
  // Moving b left of a puts it first.
  b->SetLeft(0);
  EXPECT_EQ(0, b->GetLeft());
  EXPECT_EQ(60, a->GetLeft());
}

TEST(GuiLayout, AnchorsFollowTheParentsEdges) {
  std::unique_ptr<TForm> f(NewForm(400, 300));
  TWinControl* br = NewBox(f.get(), alNone, 300, 250, 80, 30);
  br->SetAnchors(TAnchors{akRight, akBottom});
  TWinControl* stretch = NewBox(f.get(), alNone, 10, 10, 380, 100);
  stretch->SetAnchors(TAnchors{akLeft, akTop, akRight, akBottom});
  TWinControl* fixed = NewBox(f.get(), alNone, 10, 200, 50, 20);
  TWinControl* centred = NewBox(f.get(), alNone, 100, 100, 20, 20);
  centred->SetAnchors(TAnchors{});

  f->SetBounds(50, 50, 500, 360);
  EXPECT_EQ(Bounds(400, 310, 80, 30), br->GetBoundsRect());
  EXPECT_EQ(Bounds(10, 10, 480, 160), stretch->GetBoundsRect());
  EXPECT_EQ(Bounds(10, 200, 50, 20), fixed->GetBoundsRect());
  EXPECT_EQ(Bounds(150, 130, 20, 20), centred->GetBoundsRect());

  // Shrinking and growing back returns to the first layout exactly.
  f->SetBounds(50, 50, 250, 150);
  f->SetBounds(50, 50, 400, 300);
  EXPECT_EQ(Bounds(300, 250, 80, 30), br->GetBoundsRect());
  EXPECT_EQ(Bounds(10, 10, 380, 100), stretch->GetBoundsRect());
  EXPECT_EQ(Bounds(100, 100, 20, 20), centred->GetBoundsRect());
}

TEST(GuiLayout, ConstraintsLimitSizeAlsoWhenAligned) {
  std::unique_ptr<TForm> f(NewForm(400, 300));
  TWinControl* left = NewBox(f.get(), alNone, 0, 0, 100, 10);
  left->Constraints()->Set(0, 0, 80, 0);
  left->SetAlign(alLeft);
  TWinControl* client = NewBox(f.get(), alClient, 0, 0, 1, 1);
  EXPECT_EQ(80, left->GetWidth());
  EXPECT_EQ(80, client->GetLeft());
  TWinControl* box = NewBox(f.get(), alNone, 0, 0, 5, 5);
  box->Constraints()->Set(10, 20, 0, 0);
  box->SetBounds(0, 0, 1, 1);
  EXPECT_EQ(10, box->GetWidth());
  EXPECT_EQ(20, box->GetHeight());
}

TEST(GuiLayout, LayoutIsTheSameBeforeAndAfterTheWindowExists) {
  std::unique_ptr<TForm> f(new TForm(Application));
  f->SetBorderStyle(bsSizeable);
  f->SetBounds(10, 10, 400, 300);
  TWinControl* client = NewBox(f.get(), alClient, 0, 0, 1, 1);
  TWinControl* br = NewBox(f.get(), alNone, 0, 0, 30, 30);
  TRect cr = f->GetClientRect();
  br->SetBounds(RectWidth(cr) - 40, RectHeight(cr) - 40, 30, 30);
  br->SetAnchors(TAnchors{akRight, akBottom});
  TRect before = client->GetBoundsRect();
  TRect brBefore = br->GetBoundsRect();
  f->HandleNeeded();
  EXPECT_EQ(before, client->GetBoundsRect());
  EXPECT_EQ(brBefore, br->GetBoundsRect());
}

// --- fonts and colours ------------------------------------------------------

TEST(GuiControls, FontsAndColoursComeFromTheParentUntilSet) {
  std::unique_ptr<TForm> f(NewForm());
  auto* panel = new TCustomControl(f.get());
  panel->SetParent(f.get());
  auto* edit = new TEdit(f.get());
  edit->SetParent(panel);
  f->Font()->SetName(L"Arial");
  f->Font()->SetSize(12);
  EXPECT_EQ(L"Arial", edit->Font()->GetName());
  EXPECT_EQ(12, edit->Font()->GetSize());
  EXPECT_TRUE(edit->GetParentFont());
  edit->Font()->SetStyle(TFontStyles{fsBold});
  EXPECT_FALSE(edit->GetParentFont());
  f->Font()->SetSize(14);
  EXPECT_EQ(12, edit->Font()->GetSize());
  EXPECT_EQ(14, panel->Font()->GetSize());

  panel->SetParentColor(true);
  f->SetColor(clYellow);
  EXPECT_EQ(clYellow, panel->GetColor());
  panel->SetColor(clRed);
  f->SetColor(clBlue);
  EXPECT_EQ(clRed, panel->GetColor());
}

// --- recreation -------------------------------------------------------------

TEST(GuiControls, RecreatedWindowsKeepTheirState) {
  std::unique_ptr<TForm> f(NewForm());
  auto* edit = new TEdit(f.get());
  edit->SetParent(f.get());
  auto* check = new TCheckBox(f.get());
  check->SetParent(f.get());
  check->SetTop(40);
  auto* list = new TListBox(f.get());
  list->SetParent(f.get());
  list->SetTop(70);
  list->SetMultiSelect(true);
  f->Show();
  edit->SetText(L"h\u00e9llo \u4e16\u754c");
  edit->SetSelStart(2);
  edit->SetSelLength(3);
  edit->SetModified(true);
  edit->SetMaxLength(40);
  check->SetChecked(true);
  for (auto s : {L"one", L"two", L"three"}) list->Items()->Add(s);
  list->SetSelected(0, true);
  list->SetSelected(2, true);
  HWND oldEdit = edit->GetHandle();

  edit->SetPasswordChar(L'*');  // needs a new window
  check->SetAlignment(lrLeft);  // needs a new window
  list->SetMultiSelect(false);
  list->SetMultiSelect(true);
  EXPECT_NE(oldEdit, edit->GetHandle());
  EXPECT_FALSE(IsWindow(oldEdit));
  EXPECT_EQ(L"h\u00e9llo \u4e16\u754c", edit->GetText());
  EXPECT_EQ(2, edit->GetSelStart());
  EXPECT_EQ(3, edit->GetSelLength());
  EXPECT_TRUE(edit->GetModified());
  EXPECT_EQ(40, SendMessageW(edit->GetHandle(), EM_GETLIMITTEXT, 0, 0));
  EXPECT_EQ(L'*', wchar_t(SendMessageW(edit->GetHandle(), EM_GETPASSWORDCHAR, 0, 0)));
  EXPECT_TRUE(check->GetChecked());
  ASSERT_EQ(3, list->Items()->GetCount());
  EXPECT_EQ(L"three", list->Items()->Get(2));
  // Through single selection only the first selected item stays selected.
  EXPECT_TRUE(list->GetSelected(0));
  EXPECT_FALSE(list->GetSelected(2));
  list->SetSelected(2, true);

  // A parent re-created takes its children's windows with it; their state stays.
  list->SetSelected(1, true);
  SetForegroundWindow(f->GetHandle());
  edit->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return GetFocus() == edit->GetHandle(); }, 10000));
  f->SetBorderStyle(bsDialog);  // a new window for the form itself
  // Shown again and active, with the focus back on its control.
  EXPECT_TRUE(IsWindowVisible(f->GetHandle()));
  EXPECT_TRUE(PumpUntil([&] { return GetForegroundWindow() == f->GetHandle() && GetFocus() == edit->GetHandle(); }, 10000));
  EXPECT_TRUE(IsWindow(edit->GetHandle()));
  EXPECT_EQ(f->GetHandle(), GetParent(edit->GetHandle()));
  EXPECT_EQ(L"h\u00e9llo \u4e16\u754c", edit->GetText());
  EXPECT_TRUE(check->GetChecked());
  EXPECT_EQ(3, list->GetSelCount());
}

TEST(GuiControls, ReplaceableWindowProcSeesMessagesAndCanBeRestored) {
  std::unique_ptr<TForm> f(NewForm());
  auto* edit = new TEdit(f.get());
  edit->SetParent(f.get());
  int seen = 0;
  TWndMethod old = edit->WindowProc;
  edit->WindowProc = TWndMethod([&](TMessage& m) {
    if (m.Msg == WM_USER + 77) {
      ++seen;
      m.Result = 42;
      return;
    }
    old(m);
  });
  EXPECT_EQ(42, SendMessageW(edit->GetHandle(), WM_USER + 77, 0, 0));
  EXPECT_EQ(42, edit->Perform(WM_USER + 77));
  edit->WindowProc = old;
  EXPECT_EQ(0, SendMessageW(edit->GetHandle(), WM_USER + 77, 0, 0));
  EXPECT_EQ(2, seen);
  // Text still goes through the system procedure.
  SetWindowTextW(edit->GetHandle(), L"abc");
  EXPECT_EQ(L"abc", edit->GetText());
}

// --- notifications and exceptions ------------------------------------------

TEST(GuiMessages, ChildNotificationsAreReflectedToTheChild) {
  std::unique_ptr<TForm> f(NewForm());
  auto* edit = new TEdit(f.get());
  edit->SetParent(f.get());
  int changes = 0;
  edit->OnChange = [&](TObject* s) {
    EXPECT_EQ(edit, s);
    ++changes;
  };
  edit->SetText(L"x");
  EXPECT_EQ(1, changes);
  SendMessageW(edit->GetHandle(), WM_CHAR, L'y', 0);
  EXPECT_EQ(2, changes);
}

namespace {

// An edit (or a graphic control) that keeps the senders of the cancel-mode
// notices and counts the system-colour notices it hears.
template <class Base>
class TNoticeRecorder : public Base {
 public:
  using Base::Base;
  std::vector<TControl*> cancels;
  int colourChanges = 0;
  std::vector<WPARAM> settingChanges;
  void WndProc(TMessage& m) override {
    if (m.Msg == CM_CANCELMODE) cancels.push_back(reinterpret_cast<TControl*>(m.LParam));
    if (m.Msg == CM_SYSCOLORCHANGE) ++colourChanges;
    if (m.Msg == CM_WININICHANGE) settingChanges.push_back(m.WParam);
    Base::WndProc(m);
  }
};
using TRecordingEdit = TNoticeRecorder<TEdit>;

}  // namespace

// A press anywhere else on the form, and a focus change, tell the focused
// control who the user turned to; pressing the focused control itself does
// not.
TEST(GuiMessages, PressOrFocusElsewhereSendsCancelModeToTheFocusedControl) {
  std::unique_ptr<TForm> f(NewForm());
  auto* first = new TRecordingEdit(f.get());
  first->SetParent(f.get());
  first->SetBounds(10, 10, 100, 24);
  auto* second = new TRecordingEdit(f.get());
  second->SetParent(f.get());
  second->SetBounds(10, 50, 100, 24);
  TWinControl* box = NewBox(f.get(), alNone, 200, 10, 120, 120);
  auto* label = new TLabel(f.get());
  label->SetParent(box);
  label->SetBounds(10, 10, 60, 20);
  label->SetCaption(L"Label");
  f->Show();
  SetForegroundWindow(f->GetHandle());
  first->SetFocus();
  ASSERT_TRUE(PumpUntil([&] { return f->GetActive() && GetFocus() == first->GetHandle(); }));

  MouseClick(box, 100, 100);
  ASSERT_EQ(first->cancels, (std::vector<TControl*>{box}));
  MouseClick(label, 5, 5);  // a windowless control is the sender itself
  ASSERT_EQ(first->cancels.size(), 2u);
  EXPECT_EQ(first->cancels.back(), label);
  MouseClick(f.get(), 150, 250);
  ASSERT_EQ(first->cancels.size(), 3u);
  EXPECT_EQ(first->cancels.back(), f.get());
  MouseClick(first, 5, 5);
  EXPECT_EQ(first->cancels.size(), 3u);
  EXPECT_EQ(GetFocus(), first->GetHandle());
  EXPECT_TRUE(second->cancels.empty());

  // The press on another edit and the focus it takes name that edit.
  first->cancels.clear();
  MouseClick(second, 5, 5);
  ASSERT_EQ(GetFocus(), second->GetHandle());
  ASSERT_FALSE(first->cancels.empty());
  for (TControl* c : first->cancels) EXPECT_EQ(c, second);
  // A focus change by the keyboard alone.
  PressKey(VK_TAB);
  ASSERT_EQ(GetFocus(), first->GetHandle());
  EXPECT_EQ(second->cancels, (std::vector<TControl*>{first}));
}

// The system's colour and setting changes reach the top-level window only; the form
// passes the notice to every control inside it, windowed or not, at any depth.
TEST(GuiMessages, SystemColourAndSettingChangesReachEveryControl) {
  std::unique_ptr<TForm> f(NewForm());
  auto* top = new TRecordingEdit(f.get());
  top->SetParent(f.get());
  TWinControl* outer = NewBox(f.get(), alNone, 10, 40, 200, 200);
  TWinControl* inner = NewBox(outer, alNone, 10, 10, 150, 150);
  auto* deep = new TRecordingEdit(f.get());
  deep->SetParent(inner);
  auto* graphic = new TNoticeRecorder<TLabel>(f.get());
  graphic->SetParent(inner);
  f->Show();
  SendMessageW(f->GetHandle(), WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_EQ(top->colourChanges, 1);
  EXPECT_EQ(deep->colourChanges, 1);
  EXPECT_EQ(graphic->colourChanges, 1);
  // A changed system setting reaches them the same way, with its argument.
  SendMessageW(f->GetHandle(), WM_SETTINGCHANGE, SPI_SETNONCLIENTMETRICS, 0);
  for (auto* c : {static_cast<TNoticeRecorder<TEdit>*>(top), deep})
    EXPECT_EQ(c->settingChanges, std::vector<WPARAM>{SPI_SETNONCLIENTMETRICS});
  EXPECT_EQ(graphic->settingChanges, std::vector<WPARAM>{SPI_SETNONCLIENTMETRICS});
}

TEST(GuiMessages, ExceptionInAClickHandlerIsShownAndTheLoopGoesOn) {
  std::unique_ptr<TForm> f(NewForm());
  auto* bad = new TButton(f.get());
  bad->SetParent(f.get());
  bad->SetCaption(L"Bad");
  auto* good = new TButton(f.get());
  good->SetParent(f.get());
  good->SetTop(40);
  bad->OnClick = [](TObject*) { throw EConvertError(L"'abc' is not a valid integer value"); };
  bool goodClicked = false;
  good->OnClick = [&](TObject*) { goodClicked = true; };
  f->Show();
  ShownExceptions().clear();
  // Clicks arrive as the parent's WM_COMMAND, posted to the queue.
  PostMessageW(f->GetHandle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(bad->GetHandle()), BN_CLICKED),
               LPARAM(bad->GetHandle()));
  PostMessageW(f->GetHandle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(good->GetHandle()), BN_CLICKED),
               LPARAM(good->GetHandle()));
  EXPECT_TRUE(PumpUntil([&] { return goodClicked; }));
  ASSERT_EQ(1u, ShownExceptions().size());
  EXPECT_EQ(L"'abc' is not a valid integer value.", ShownExceptions()[0]);

  // OnException replaces the display; EAbort stays silent.
  std::vector<String> seen;
  Application->OnException = [&](TObject*, const Exception& e) { seen.push_back(e.Message()); };
  bad->OnClick = [](TObject*) { Abort(); };
  SendMessageW(f->GetHandle(), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), LPARAM(bad->GetHandle()));
  bad->OnClick = [](TObject*) { throw std::runtime_error("plain"); };
  SendMessageW(f->GetHandle(), WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), LPARAM(bad->GetHandle()));
  Application->OnException = nullptr;
  ASSERT_EQ(1u, seen.size());
  EXPECT_EQ(L"plain", seen[0]);
  EXPECT_EQ(1u, ShownExceptions().size());
}

// --- modal forms and dialog keys -------------------------------------------

namespace {

struct Dialog {
  TForm* form;
  TEdit* edit;
  TButton* ok;
  TButton* cancel;
};

Dialog MakeDialog() {
  Dialog d;
  d.form = new TForm(Application);
  d.form->SetBorderStyle(bsDialog);
  d.form->SetPosition(poScreenCenter);
  d.form->SetBounds(0, 0, 300, 150);
  d.form->SetCaption(L"Modal");
  d.edit = new TEdit(d.form);
  d.edit->SetParent(d.form);
  d.ok = new TButton(d.form);
  d.ok->SetParent(d.form);
  d.ok->SetBounds(10, 60, 75, 25);
  d.ok->SetModalResult(mrOk);
  d.ok->SetDefault(true);
  d.cancel = new TButton(d.form);
  d.cancel->SetParent(d.form);
  d.cancel->SetBounds(100, 60, 75, 25);
  d.cancel->SetModalResult(mrCancel);
  d.cancel->SetCancel(true);
  return d;
}

}  // namespace

TEST(GuiModal, EnterPressesTheDefaultButtonEscTheCancelButton) {
  Dialog d = MakeDialog();
  std::unique_ptr<TForm> owner(d.form);
  d.form->SetActiveControl(d.edit);
  {
    Watchdog wd(d.form, 5000);
    HWND e = d.edit->GetHandle();
    PostMessageW(e, WM_CHAR, L'x', 0);
    PostMessageW(e, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(mrOk, d.form->ShowModal());
    EXPECT_FALSE(wd.Fired());
  }
  EXPECT_EQ(L"x", d.edit->GetText());
  EXPECT_FALSE(d.form->GetVisible());
  {
    Watchdog wd(d.form, 5000);
    PostMessageW(d.edit->GetHandle(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(mrCancel, d.form->ShowModal());
  }
  // Buttons without Default/Cancel leave the keys alone; the watchdog ends it.
  d.ok->SetDefault(false);
  d.cancel->SetCancel(false);
  {
    Watchdog wd(d.form, 300);
    PostMessageW(d.edit->GetHandle(), WM_KEYDOWN, VK_RETURN, 0);
    PostMessageW(d.edit->GetHandle(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(mrAbort, d.form->ShowModal());
    EXPECT_TRUE(wd.Fired());
  }
}

TEST(GuiModal, CloseQueryAndCloseEventsDecideWhenTheLoopEnds) {
  Dialog d = MakeDialog();
  std::unique_ptr<TForm> owner(d.form);
  int queries = 0;
  d.form->OnCloseQuery = [&](TObject*, bool& can) { can = ++queries > 1; };
  std::vector<TModalResult> closes;
  d.form->OnClose = [&](TObject*, TCloseAction& a) { closes.push_back(d.form->GetModalResult()); };
  Watchdog wd(d.form, 5000);
  // The first click is refused by OnCloseQuery, the second one ends the loop.
  HWND f = d.form->GetHandle();
  LPARAM b = LPARAM(d.ok->GetHandle());
  PostMessageW(f, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), b);
  PostMessageW(f, WM_COMMAND, MAKEWPARAM(0, BN_CLICKED), b);
  EXPECT_EQ(mrOk, d.form->ShowModal());
  EXPECT_EQ(2, queries);
  ASSERT_EQ(1u, closes.size());
  EXPECT_EQ(mrOk, closes[0]);
  // The window's close box cancels.
  d.form->OnCloseQuery = nullptr;
  PostMessageW(f, WM_CLOSE, 0, 0);
  EXPECT_EQ(mrCancel, d.form->ShowModal());
}

TEST(GuiModal, OtherWindowsAreDisabledWhileModal) {
  std::unique_ptr<TForm> other(NewForm());
  other->Show();
  Dialog d = MakeDialog();
  std::unique_ptr<TForm> owner(d.form);
  bool otherEnabledDuring = true;
  d.form->OnShow = [&](TObject*) {
    otherEnabledDuring = IsWindowEnabled(other->GetHandle()) != FALSE;
    PostMessageW(d.form->GetHandle(), WM_CLOSE, 0, 0);
  };
  Watchdog wd(d.form, 5000);
  EXPECT_EQ(mrCancel, d.form->ShowModal());
  EXPECT_FALSE(otherEnabledDuring);
  EXPECT_TRUE(IsWindowEnabled(other->GetHandle()));
  EXPECT_THROW(other->ShowModal(), EInvalidOperation);  // already visible
}

TEST(GuiModal, KeyPreviewLetsTheFormSeeKeysFirst) {
  std::unique_ptr<TForm> f(NewForm());
  auto* edit = new TEdit(f.get());
  edit->SetParent(f.get());
  std::vector<String> order;
  f->OnKeyDown = [&](TObject*, WORD& key, TShiftState) {
    order.push_back(L"form");
    if (key == VK_F2) key = 0;
  };
  edit->OnKeyDown = [&](TObject*, WORD&, TShiftState) { order.push_back(L"edit"); };
  SendMessageW(edit->GetHandle(), WM_KEYDOWN, VK_F3, 0);
  f->SetKeyPreview(true);
  SendMessageW(edit->GetHandle(), WM_KEYDOWN, VK_F3, 0);
  SendMessageW(edit->GetHandle(), WM_KEYDOWN, VK_F2, 0);  // eaten by the form
  std::vector<String> want{L"edit", L"form", L"edit", L"form"};
  EXPECT_EQ(want, order);
}

TEST(GuiApplication, MessageHooksSeeMessagesBeforeDispatch) {
  std::unique_ptr<TForm> f(NewForm());
  auto* edit = new TEdit(f.get());
  edit->SetParent(f.get());
  int hooked = 0;
  int id = Application->AddMessageHook([&](MSG& m) {
    if (m.message == WM_CHAR && m.wParam == L'q') {
      ++hooked;
      return true;  // swallowed
    }
    return false;
  });
  HWND e = edit->GetHandle();
  PostMessageW(e, WM_CHAR, L'q', 0);
  PostMessageW(e, WM_CHAR, L'w', 0);
  EXPECT_TRUE(PumpUntil([&] { return edit->GetText() == L"w"; }));
  Application->RemoveMessageHook(id);
  PostMessageW(e, WM_CHAR, L'q', 0);
  EXPECT_TRUE(PumpUntil([&] { return edit->GetText() == L"wq"; }));
  EXPECT_EQ(1, hooked);

  // Shortcut hooks on the application window get CM_APPKEYDOWN.
  int shortcuts = 0;
  struct Sink {
    int* n;
    bool Hook(TMessage& m) {
      if (m.Msg == CM_APPKEYDOWN && m.WParam == VK_F5) {
        ++*n;
        return true;
      }
      return false;
    }
  } sink{&shortcuts};
  TWindowHook hook(&sink, &Sink::Hook);
  Application->HookMainWindow(hook);
  PostMessageW(e, WM_KEYDOWN, VK_F5, 0);
  EXPECT_TRUE(PumpUntil([&] { return shortcuts == 1; }));
  Application->UnhookMainWindow(hook);
  PostMessageW(e, WM_KEYDOWN, VK_F5, 0);
  Pump(50);
  EXPECT_EQ(1, shortcuts);
}

TEST(GuiApplication, ScreenKnowsFormsCursorAndFonts) {
  int before = Screen->FormCount();
  {
    std::unique_ptr<TForm> f(NewForm());
    EXPECT_EQ(before + 1, Screen->FormCount());
  }
  EXPECT_EQ(before, Screen->FormCount());
  Screen->SetCursor(crHourGlass);
  EXPECT_EQ(crHourGlass, Screen->GetCursor());
  EXPECT_EQ(LoadCursorW(nullptr, IDC_WAIT), Screen->Cursors(crHourGlass));
  Screen->SetCursor(crDefault);
  EXPECT_FALSE(Screen->IconFont()->GetName().empty());
  EXPECT_GT(Screen->GetWidth(), 0);
  EXPECT_GE(Screen->MonitorCount(), 1);
  TRect work = Screen->GetWorkAreaRect();
  EXPECT_GT(RectWidth(work), 0);
}

TEST(GuiApplication, HintShowsForTheControlUnderTheMouse) {
  std::unique_ptr<TForm> f(NewForm(300, 200));
  auto* b = new TButton(f.get());
  b->SetParent(f.get());
  b->SetBounds(20, 20, 100, 30);
  b->SetHint(L"Stop the search");
  b->SetShowHint(true);
  std::vector<String> hints;
  Application->OnHint = [&](TObject*) { hints.push_back(Application->GetHint()); };
  int savedPause = Application->HintPause;
  Application->HintPause = 10;
  f->Show();
  Pump(50);
  TPoint p = b->ClientToScreen(Point(10, 10));
  SetCursorPos(p.x, p.y);
  bool shown = PumpUntil(
      [&] {
        THintWindow* w = Application->GetHintWindow();
        return w && w->HandleAllocated() && IsWindowVisible(w->GetHandle());
      });
  Application->HintPause = savedPause;
  Application->OnHint = nullptr;
  ASSERT_TRUE(shown);
  EXPECT_EQ(L"Stop the search", Application->GetHintWindow()->GetText());
  ASSERT_FALSE(hints.empty());
  EXPECT_EQ(L"Stop the search", hints.back());
  // A key press puts the hint away.
  PostMessageW(b->GetHandle(), WM_KEYDOWN, VK_SHIFT, 0);
  EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(Application->GetHintWindow()->GetHandle()); }, 2000));
  SetCursorPos(0, 0);
  Pump(20);
}
