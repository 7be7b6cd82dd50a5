// Toolbars, tool windows and docks hold each published property and event
// in a form stream; the handlers come back by the names the form offers.
#include <gtest/gtest.h>

#include "classlib/Forms.h"
#include "toolbars/BarDock.h"
#include "toolbars/BarFiler.h"
#include "toolbars/BarToolWindow.h"
#include "toolbars/BarToolbar.h"
#include "toolbars/tests/BarTestHost.h"
#include "toolbars/tests/DeclaredNames.h"

namespace {

using bartest::FloatHost;
using declared::Handler;

// What a dockable window publishes (a toolbar's bases), less the dock it
// sits on, which is its parent.
const std::vector<const wchar_t*> kDockableNames = {
    L"ActivateParent", L"Align", L"Anchors", L"AutoResize", L"BorderStyle", L"Caption", L"CloseButton",
    L"CloseButtonWhenDocked", L"Color", L"DefaultDock", L"DockableTo", L"DockMode", L"DockPos", L"DockRow",
    L"DragHandleStyle", L"FloatingMode", L"Font", L"FullSize", L"HideWhenInactive", L"ParentFont",
    L"ParentShowHint", L"PopupMenu", L"Resizable", L"ShowCaption", L"ShowHint", L"SmoothDrag", L"Stretch",
    L"TabOrder", L"UseLastDock", L"Visible"};
const std::vector<const wchar_t*> kDockableEvents = {
    L"OnClose", L"OnCloseQuery", L"OnDragDrop", L"OnDragOver", L"OnMouseDown", L"OnMouseMove", L"OnMouseUp",
    L"OnMove", L"OnRecreated", L"OnRecreating", L"OnDockChanged", L"OnDockChanging", L"OnDockChangingHidden",
    L"OnResize", L"OnVisibleChanged"};
const std::vector<const wchar_t*> kToolbarNames = {
    L"Images", L"LinkSubitems", L"Options", L"ChevronHint", L"ChevronMoveItems", L"FloatingWidth", L"MenuBar",
    L"ProcessShortCuts", L"ShrinkMode", L"SystemFont", L"UpdateActions", L"OnShortCut"};
const std::vector<const wchar_t*> kToolWindowNames = {L"ClientAreaWidth", L"ClientAreaHeight", L"MaxClientHeight",
                                                      L"MaxClientWidth",  L"MinClientHeight",  L"MinClientWidth"};
const std::vector<const wchar_t*> kDockNames = {L"AllowDrag", L"Background", L"BackgroundOnToolbars", L"BoundLines",
                                                L"Color",     L"FixAlign",   L"LimitToOneRow",        L"Position",
                                                L"OnInsertRemoveBar", L"OnRequestDock"};

void Offer(TComponent* Form) {
  declared::Offer<TNotifyEvent, TBarCloseQueryEvent, TBarDockChangingEvent, TBarInsertRemoveEvent,
                  TBarRequestDockEvent, TShortCutEvent, TMouseEvent, TMouseMoveEvent, TDragOverEvent,
                  TDragDropEvent>(Form);
}

void SetEvents(TBarCustomDockableWindow* W, TComponent* Form) {
  W->OnClose = Handler<TNotifyEvent>(Form);
  W->OnCloseQuery = Handler<TBarCloseQueryEvent>(Form);
  W->OnDockChanged = Handler<TNotifyEvent>(Form);
  W->OnDockChanging = Handler<TBarDockChangingEvent>(Form);
  W->OnDockChangingHidden = Handler<TBarDockChangingEvent>(Form);
  W->OnMove = Handler<TNotifyEvent>(Form);
  W->OnRecreated = Handler<TNotifyEvent>(Form);
  W->OnRecreating = Handler<TNotifyEvent>(Form);
  W->OnVisibleChanged = Handler<TNotifyEvent>(Form);
  W->OnResize = Handler<TNotifyEvent>(Form);
  W->OnMouseDown = Handler<TMouseEvent>(Form);
  W->OnMouseMove = Handler<TMouseMoveEvent>(Form);
  W->OnMouseUp = Handler<TMouseEvent>(Form);
  W->OnDragOver = Handler<TDragOverEvent>(Form);
  W->OnDragDrop = Handler<TDragDropEvent>(Form);
}

TEST(BarPublished, WindowsAndDocksDeclareWhatTheyPublishAndTheirEventsReadBack) {
  BarFiler::RegisterClasses();
  FloatHost b(600, 300);
  Offer(b.Form.get());
  TBarToolbar* bar = b.AddToolbar(L"tbrEvents", 0, 0, 1);
  auto* tw = new TBarToolWindow(b.Form.get());
  tw->SetName(L"twEvents");
  tw->SetParent(b.Dock);
  for (auto* w : std::vector<TBarCustomDockableWindow*>{bar, tw}) {
    declared::ExpectDeclared(w, b.Form.get(), kDockableNames);
    SetEvents(w, b.Form.get());
    declared::ExpectWritten(w, b.Form.get(), kDockableEvents);
  }
  declared::ExpectDeclared(bar, b.Form.get(), kToolbarNames);
  declared::ExpectDeclared(tw, b.Form.get(), kToolWindowNames);
  declared::ExpectDeclared(b.Dock, b.Form.get(), kDockNames);
  bar->OnShortCut = Handler<TShortCutEvent>(b.Form.get());
  b.Dock->OnInsertRemoveBar = Handler<TBarInsertRemoveEvent>(b.Form.get());
  b.Dock->OnRequestDock = Handler<TBarRequestDockEvent>(b.Form.get());
  declared::ExpectWritten(bar, b.Form.get(), {L"OnShortCut"});
  declared::ExpectWritten(b.Dock, b.Form.get(), {L"OnInsertRemoveBar", L"OnRequestDock"});
  b.Show();

  std::unique_ptr<TForm> again(new TForm(Application));
  Offer(again.get());
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(b.Form.get());
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(again.get());
  auto* readBar = dynamic_cast<TBarToolbar*>(again->FindComponent(L"tbrEvents"));
  auto* readWindow = dynamic_cast<TBarToolWindow*>(again->FindComponent(L"twEvents"));
  auto* readDock = dynamic_cast<TBarDock*>(again->FindComponent(L"tbdTop"));
  ASSERT_TRUE(readBar && readWindow && readDock);
  for (auto* w : std::vector<TBarCustomDockableWindow*>{readBar, readWindow}) {
    EXPECT_EQ(w->OnCloseQuery, Handler<TBarCloseQueryEvent>(again.get()));
    EXPECT_EQ(w->OnDockChangingHidden, Handler<TBarDockChangingEvent>(again.get()));
    EXPECT_EQ(w->OnVisibleChanged, Handler<TNotifyEvent>(again.get()));
    EXPECT_EQ(w->OnMouseMove, Handler<TMouseMoveEvent>(again.get()));
    EXPECT_EQ(w->OnDragDrop, Handler<TDragDropEvent>(again.get()));
    declared::ExpectWritten(w, again.get(), kDockableEvents);
  }
  EXPECT_EQ(readBar->OnShortCut, Handler<TShortCutEvent>(again.get()));
  EXPECT_EQ(readDock->OnRequestDock, Handler<TBarRequestDockEvent>(again.get()));
  EXPECT_EQ(readDock->OnInsertRemoveBar, Handler<TBarInsertRemoveEvent>(again.get()));
}

// ShrinkMode and ProcessShortCuts are stored in their own right: a toolbar
// that only stops shrinking, or only processes shortcuts, reads back so, and
// a menu bar keeps the values stored with it rather than those it implies.
TEST(BarPublished, ShrinkModeAndShortCutProcessingReadBackOnTheirOwn) {
  BarFiler::RegisterClasses();
  FloatHost b(600, 300);
  TBarToolbar* still = b.AddToolbar(L"tbrStill", 0, 0, 1);
  still->SetShrinkMode(tbsmNone);
  TBarToolbar* keys = b.AddToolbar(L"tbrKeys", 1, 0, 1);
  keys->SetProcessShortCuts(true);
  TBarToolbar* menu = b.AddToolbar(L"tbrMenu", 2, 0, 1);
  menu->SetMenuBar(true);
  menu->SetShrinkMode(tbsmNone);
  menu->SetProcessShortCuts(false);
  b.Show();

  std::unique_ptr<TForm> again(new TForm(Application));
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(b.Form.get());
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(again.get());
  auto* readStill = dynamic_cast<TBarToolbar*>(again->FindComponent(L"tbrStill"));
  auto* readKeys = dynamic_cast<TBarToolbar*>(again->FindComponent(L"tbrKeys"));
  auto* readMenu = dynamic_cast<TBarToolbar*>(again->FindComponent(L"tbrMenu"));
  ASSERT_TRUE(readStill && readKeys && readMenu);
  EXPECT_EQ(readStill->GetShrinkModeProp(), tbsmNone);
  EXPECT_FALSE(readStill->GetProcessShortCuts());
  EXPECT_EQ(readKeys->GetShrinkModeProp(), tbsmChevron);
  EXPECT_TRUE(readKeys->GetProcessShortCuts());
  EXPECT_FALSE(readKeys->GetMenuBar());
  EXPECT_TRUE(readMenu->GetMenuBar());
  EXPECT_EQ(readMenu->GetShrinkModeProp(), tbsmNone);
  EXPECT_FALSE(readMenu->GetProcessShortCuts());

  // The toolbar read with shortcut processing runs its item's shortcut.
  auto* item = new TBarItem(again.get());
  item->SetShortCut(ShortCut('K', TShiftState{ssCtrl}));
  int clicks = 0;
  item->OnClick = [&](TObject*) { ++clicks; };
  readKeys->Items()->Add(item);
  again->SetBounds(40, 40, 600, 300);
  again->Show();
  SetForegroundWindow(again->GetHandle());
  ASSERT_TRUE(testsupport::PumpUntil([&] { return GetForegroundWindow() == again->GetHandle(); }, 10000));
  EXPECT_TRUE(bartest::CtrlKIsShortCut());
  EXPECT_TRUE(testsupport::PumpUntil([&] { return clicks == 1; }, 10000));
}

}  // namespace

// A toolbar, a tool window and a dock are written against new ones: what
// their constructors set (their face colour) is not written while
// unchanged, and a toolbar made clWindow, the class library's own default,
// reads back clWindow.
TEST(BarPublished, WindowsAtTheirConstructorsColoursWriteNoneAndAWindowColourReadsBack) {
  BarFiler::RegisterClasses();
  FloatHost b(600, 300);
  TBarToolbar* bar = b.AddToolbar(L"tbrColour", 0, 0, 1);
  auto* tw = new TBarToolWindow(b.Form.get());
  tw->SetName(L"twColour");
  tw->SetParent(b.Dock);
  for (TComponent* c : std::vector<TComponent*>{bar, tw, b.Dock}) {
    auto d = declared::Of(c, b.Form.get());
    EXPECT_FALSE(d[L"Color"] || d[L"ParentColor"]) << c->ClassName() << " writes its colour";
  }
  bar->SetColor(clWindow);
  tw->SetColor(clWindow);
  std::unique_ptr<TForm> again(new TForm(Application));
  TMemoryStream m;
  TWriter(&m).WriteRootComponent(b.Form.get());
  m.SetPosition(0);
  TReader(&m).ReadRootComponent(again.get());
  auto* readBar = dynamic_cast<TBarToolbar*>(again->FindComponent(L"tbrColour"));
  auto* readWindow = dynamic_cast<TBarToolWindow*>(again->FindComponent(L"twColour"));
  auto* readDock = dynamic_cast<TBarDock*>(again->FindComponent(L"tbdTop"));
  ASSERT_TRUE(readBar && readWindow && readDock);
  EXPECT_EQ(readBar->GetColor(), clWindow);
  EXPECT_EQ(readWindow->GetColor(), clWindow);
  EXPECT_EQ(readDock->GetColor(), clBtnFace);
}
