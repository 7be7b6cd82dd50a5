// A property restored into a live component is read as a form file would
// set it, but it is no load of the component's form: what the component
// owns does no loading work again.
#include <gtest/gtest.h>

#include "extlib/ExProps.h"
#include "testsupport/Pump.h"
#include "toolbars/BarFloat.h"
#include "toolbars/tests/BarTestHost.h"

TEST(PropsRestore, AFloatingToolbarOfTheRestoredFormStaysWhereItFloats) {
  InitForms();
  bartest::FloatHost b(400, 300);
  auto* t = b.AddToolbar(L"tbrFloat", 0, 0, 2);
  b.Show();
  t->FloatingPosition = POINT{30, 40};
  t->SetFloating(true);
  testsupport::Pump(50);
  ASSERT_TRUE(t->GetFloating());
  RECT Before;
  GetWindowRect(t->GetFloatingParent()->GetHandle(), &Before);

  // The form's ParentShowHint is declared only to the form stream.
  TPropsStorage Storage;
  Storage.AObject = b.Form.get();
  Storage.Section = L"Main";
  Storage.OnReadString = TReadStrEvent([](const String&, const String& Item, const String& Default) -> String {
    return Item == L"ParentShowHint" ? String(L"False") : Default;
  });
  TStringList Props;
  Props.Add(L"ParentShowHint");
  for (int Restore = 0; Restore < 2; ++Restore) {
    b.Form->SetParentShowHint(true);
    Storage.LoadProperties(&Props);
    ASSERT_FALSE(b.Form->GetParentShowHint());
  }
  testsupport::Pump(50);
  RECT After;
  GetWindowRect(t->GetFloatingParent()->GetHandle(), &After);
  EXPECT_EQ(After.left, Before.left);
  EXPECT_EQ(After.top, Before.top);
  EXPECT_TRUE(t->GetFloating());
}
