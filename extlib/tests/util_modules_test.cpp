#include <gtest/gtest.h>

#include "classlib/Forms.h"
#include "extlib/ExDateUtil.h"
#include "extlib/ExHook.h"
#include "extlib/ExPlacement.h"
#include "extlib/ExUtilModules.h"

// The table runs each module once and the finalisations release their
// process-wide state; later tests create it again on first use.
TEST(ExtLibModules, StartUpAndShutDown) {
  InitForms();
  String OldFormat = ShortDateFormat;
  ShortDateFormat = L"d.M.yy";
  InitializeModules(ExtLibUtilModules, ExtLibUtilModuleCount);
  EXPECT_FALSE(FourDigitYear);
  EXPECT_EQ(ModuleInitCount("extlib.Hook"), 1);
  ShortDateFormat = OldFormat;

  DefCompanyName = L"Someone";
  FinalizeModules();
  EXPECT_EQ(ModuleInitCount("extlib.Hook"), 0);
  EXPECT_TRUE(DefCompanyName.empty());
  EXPECT_EQ(HookList(), nullptr);
  ExDateUtilInitialize();
}
