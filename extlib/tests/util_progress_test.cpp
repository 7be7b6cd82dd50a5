#include <gtest/gtest.h>

#include <memory>

#include "classlib/Forms.h"
#include "classlib/PropFiler.h"
#include "classlib/StdCtrls.h"
#include "extlib/ExProgress.h"

namespace {

// A progress bar variant whose properties go by other names.
class TStepBar : public TProgressBar {
 public:
  using TProgressBar::TProgressBar;
  int Top = 0, Bottom = 0, Step = 0;
  void SetTop(int V) { Top = V; }
  void SetBottom(int V) { Bottom = V; }
  void SetStep(int V) { Step = V; }
};

class TStepBar2 : public TStepBar {
 public:
  using TStepBar::TStepBar;
};

class ProgressRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    InitForms();
    ExProgressFinalize();  // start from the built-in registry
    Form.reset(new TForm(Application));
  }
  void TearDown() override { ExProgressFinalize(); }
  std::unique_ptr<TForm> Form;
};

}  // namespace

TEST_F(ProgressRegistry, ProgressBarIsKnownFromTheStart) {
  auto* Bar = new TProgressBar(Form.get());
  Bar->SetParent(Form.get());
  EXPECT_TRUE(SupportsProgressControl(Bar));
  EXPECT_TRUE(SetProgressMax(Bar, 200));
  EXPECT_TRUE(SetProgressMin(Bar, 10));
  EXPECT_TRUE(SetProgressValue(Bar, 50));
  EXPECT_EQ(Bar->GetMax(), 200);
  EXPECT_EQ(Bar->GetMin(), 10);
  EXPECT_EQ(Bar->GetPosition(), 50);

  auto* Label = new TLabel(Form.get());
  EXPECT_FALSE(SupportsProgressControl(Label));
  EXPECT_FALSE(SetProgressValue(Label, 5));
  EXPECT_FALSE(SetProgressValue(nullptr, 5));
  EXPECT_FALSE(SupportsProgressControl(nullptr));
}

TEST_F(ProgressRegistry, DescendantWithOwnNamesAndUnregistering) {
  RegisterIntProperty<TStepBar>(L"Top", &TStepBar::SetTop);
  RegisterIntProperty<TStepBar>(L"Bottom", &TStepBar::SetBottom);
  RegisterIntProperty<TStepBar>(L"Step", &TStepBar::SetStep);
  RegisterProgressControl(TControlClassRef::Of<TStepBar>(), L"Top", L"Bottom", L"Step");

  auto* Bar = new TProgressBar(Form.get());
  auto* Steps = new TStepBar2(Form.get());
  Bar->SetParent(Form.get());
  Steps->SetParent(Form.get());
  EXPECT_TRUE(SetProgressValue(Steps, 7));
  EXPECT_TRUE(SetProgressMax(Steps, 70));
  EXPECT_EQ(Steps->Step, 7);
  EXPECT_EQ(Steps->Top, 70);
  EXPECT_TRUE(SetProgressMax(Bar, 300));
  EXPECT_EQ(Bar->GetMax(), 300);

  // A registration naming a property that does not exist sets nothing.
  RegisterProgressControl(TControlClassRef::Of<TStepBar2>(), L"NoSuchMax", L"Bottom", L"Step");
  EXPECT_FALSE(SetProgressMax(Steps, 1));
  EXPECT_TRUE(SetProgressMin(Steps, 3));
  EXPECT_EQ(Steps->Bottom, 3);

  // Unregistering the base class takes its registered descendants along.
  UnRegisterProgressControl(TControlClassRef::Of<TProgressBar>());
  EXPECT_FALSE(SupportsProgressControl(Bar));
  EXPECT_FALSE(SupportsProgressControl(Steps));
}

TEST_F(ProgressRegistry, UnregisteringADescendantKeepsTheBase) {
  RegisterProgressControl(TControlClassRef::Of<TStepBar>(), L"Top", L"Bottom", L"Step");
  UnRegisterProgressControl(TControlClassRef::Of<TStepBar>());
  auto* Steps = new TStepBar(Form.get());
  Steps->SetParent(Form.get());
  EXPECT_TRUE(SupportsProgressControl(Steps));  // as a plain progress bar
  EXPECT_TRUE(SetProgressValue(Steps, 4));
  EXPECT_EQ(Steps->GetPosition(), 4);
}

namespace {

// A gauge whose properties are published the usual way: declared to the
// form stream, nothing registered for them.
class TMeter : public TGraphicControl {
 public:
  using TGraphicControl::TGraphicControl;
  int Limit = 100, Floor = 0, Level = 0;
  String Label;

 protected:
  void DefineProperties(TFiler* Filer) override {
    TGraphicControl::DefineProperties(Filer);
    using namespace PropFiler;
    Integer(Filer, L"Limit", Limit, 100, [this](int64_t V) { Limit = int(V); });
    Integer(Filer, L"Floor", Floor, 0, [this](int64_t V) { Floor = int(V); });
    Integer(Filer, L"Level", Level, 0, [this](int64_t V) { Level = int(V); });
    Text(Filer, L"Label", Label, String(), [this](const String& V) { Label = V; });
  }
};

}  // namespace

TEST_F(ProgressRegistry, PublishedIntegerPropertiesAreFoundByName) {
  RegisterProgressControl(TControlClassRef::Of<TMeter>(), L"limit", L"Floor", L"Level");
  auto* Meter = new TMeter(Form.get());
  Meter->SetParent(Form.get());
  EXPECT_TRUE(SetProgressMax(Meter, 250));
  EXPECT_TRUE(SetProgressMin(Meter, 5));
  EXPECT_TRUE(SetProgressValue(Meter, 60));
  EXPECT_EQ(Meter->Limit, 250);
  EXPECT_EQ(Meter->Floor, 5);
  EXPECT_EQ(Meter->Level, 60);
  // A text property is no progress property, nor one that does not exist.
  RegisterProgressControl(TControlClassRef::Of<TMeter>(), L"Label", L"NoSuchFloor", L"Level");
  EXPECT_FALSE(SetProgressMax(Meter, 1));
  EXPECT_FALSE(SetProgressMin(Meter, 1));
  EXPECT_EQ(Meter->Label, L"");
}
