#include <gtest/gtest.h>

#include <algorithm>

#include "classlib/Forms.h"
#include "extlib/ExDateUtil.h"
#include "extlib/ExFormStorage.h"
#include "extlib/ExHook.h"
#include "extlib/ExPlacement.h"
#include "extlib/ExProps.h"
#include "classlib/StdCtrls.h"
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

// Once the library has started, a property storage used on its own (no form
// storage made yet) knows the class library's controls: an edit's caption
// (its text under the name every control answers to) is stored, not
// silently passed over; its text and font are found in what the edit writes
// to a form in any case. Finishing the library takes that back, whatever
// earlier tests of the process started.
TEST(ExtLibModules, StartedLibraryLetsAPropertyStorageStoreAControlAlone) {
  InitForms();
  TComponent Owner(nullptr);
  TEdit* Edit = new TEdit(&Owner);
  Edit->SetText(L"kept");
  auto Stored = [&] {
    std::vector<String> Written;
    struct TSink {
      std::vector<String>* Out;
      void Write(const String&, const String& Item, const String& Value) { Out->push_back(Item + L"=" + Value); }
    } Sink{&Written};
    TPropsStorage Storage;
    Storage.AObject = Edit;
    Storage.Section = L"Edit";
    Storage.OnWriteString = TWriteStrEvent(&Sink, &TSink::Write);
    TStringList Props;
    Props.Add(L"Text");
    Props.Add(L"Caption");
    Storage.StoreProperties(&Props);
    return Written;
  };
  InitializeModules(ExtLibUtilModules, ExtLibUtilModuleCount);
  FinalizeModules();
  EXPECT_EQ(Stored(), std::vector<String>{L"Text=kept"});
  InitializeModules(ExtLibUtilModules, ExtLibUtilModuleCount);
  const std::vector<String> Started = Stored();
  FinalizeModules();
  EXPECT_EQ(Started, (std::vector<String>{L"Text=kept", L"Caption=kept"}));
}

// The controls' descriptions, recorded at the start, are made by the first
// use of storable properties however it comes: here a form storage made
// before anything looked them up (it asks for them itself).
TEST(ExtLibModules, FormStorageMadeFirstAfterTheStartFindsTheControlsDescribed) {
  InitForms();
  InitializeModules(ExtLibUtilModules, ExtLibUtilModuleCount);
  TComponent Owner(nullptr);
  new TFormStorage(&Owner);
  TEdit* Edit = new TEdit(&Owner);
  TPropInfoList Props(Edit, tkStoredProps);
  // Looked at while the descriptions it points to are still registered:
  // finalising takes them back.
  EXPECT_NE(Props.Find(L"Text"), nullptr);
  FinalizeModules();
}
