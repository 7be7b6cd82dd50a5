// Toolbars being designed: the designer owns the keyboard, so a designed
// toolbar takes no item shortcuts from its form and watches no messages.
#include <gtest/gtest.h>

#include "testsupport/Pump.h"
#include "toolbars/BarHooks.h"
#include "toolbars/tests/BarTestHost.h"

namespace {

using bartest::CtrlKIsShortCut;
using bartest::FloatHost;
using testsupport::Pump;
using testsupport::PumpUntil;

TEST(BarDesign, ADesignedToolbarTakesNoShortCutsFromItsForm) {
  FloatHost b;
  TBarToolbar* t = b.AddToolbar(L"tbrKeys", 0, 0, 0);
  auto* item = new TBarItem(b.Form.get());
  item->SetCaption(L"Keyed");
  item->SetShortCut(ShortCut('K', TShiftState{ssCtrl}));
  int clicks = 0;
  item->OnClick = [&](TObject*) { ++clicks; };
  t->Items()->Add(item);
  b.Form->SetDesigning(true);
  t->SetProcessShortCuts(true);
  b.Show();
  const HWND form = b.Form->GetHandle();
  ASSERT_TRUE(PumpUntil([&] { return GetForegroundWindow() == form; }, 10000));
  EXPECT_FALSE(CtrlKIsShortCut());
  Pump(30);
  EXPECT_EQ(clicks, 0);
  // Running, the same toolbar takes it once it processes shortcuts again.
  b.Form->SetDesigning(false);
  t->SetProcessShortCuts(false);
  t->SetProcessShortCuts(true);
  EXPECT_TRUE(CtrlKIsShortCut());
  ASSERT_TRUE(PumpUntil([&] { return clicks == 1; }, 10000));
  t->SetProcessShortCuts(false);
}

// A designed menu bar registers its message watcher but takes no use of a
// system hook for it, nor gives one back, whatever hooks other windows hold;
// running, it takes one.
TEST(BarDesign, ADesignedMenuBarSetsNoMessageHook) {
  FloatHost b;
  TBarToolbar* t = b.AddToolbar(L"tbrMenu", 0, 0, 1);
  const int uses = BarHookUses(2);
  const bool before = BarHookInstalled(2);  // a menu bar of another test may hold it
  b.Form->SetDesigning(true);
  t->SetMenuBar(true);
  EXPECT_EQ(BarHookUses(2), uses);
  EXPECT_EQ(BarHookInstalled(2), before);
  t->SetMenuBar(false);
  EXPECT_EQ(BarHookUses(2), uses);
  b.Form->SetDesigning(false);
  t->SetMenuBar(true);
  EXPECT_EQ(BarHookUses(2), uses + 1);
  EXPECT_TRUE(BarHookInstalled(2));
  t->SetMenuBar(false);
  EXPECT_EQ(BarHookUses(2), uses);
  EXPECT_EQ(BarHookInstalled(2), before);
}

}  // namespace
