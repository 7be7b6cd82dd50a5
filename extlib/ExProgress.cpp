#include "extlib/ExProgress.h"

#include <memory>
#include <vector>

#include "extlib/ExProps.h"

namespace {

struct TProgressEntry {
  TControlClassRef Class;
  String MaxName, MinName, PosName;
};

struct TIntProperty {
  TControlClassRef Class;
  String Name;
  TIntPropertySetter Setter;
};

// The registry: control classes and their three property names, newest
// last.
using TProgressList = std::vector<TProgressEntry>;
std::unique_ptr<TProgressList> GProgressList;
std::unique_ptr<std::vector<TIntProperty>> GIntProps;

String Cut(const String& S) { return S.substr(0, 63); }

std::vector<TIntProperty>& IntProps() {
  if (!GIntProps) {
    GIntProps = std::make_unique<std::vector<TIntProperty>>();
    GIntProps->push_back({TControlClassRef::Of<TProgressBar>(), L"Max",
                          [](TControl* C, int V) { static_cast<TProgressBar*>(C)->SetMax(V); }});
    GIntProps->push_back({TControlClassRef::Of<TProgressBar>(), L"Min",
                          [](TControl* C, int V) { static_cast<TProgressBar*>(C)->SetMin(V); }});
    GIntProps->push_back({TControlClassRef::Of<TProgressBar>(), L"Position",
                          [](TControl* C, int V) { static_cast<TProgressBar*>(C)->SetPosition(V); }});
  }
  return *GIntProps;
}

TProgressList& ProgressList() {
  if (!GProgressList) {
    GProgressList = std::make_unique<TProgressList>();
    GProgressList->push_back({TControlClassRef::Of<TProgressBar>(), L"Max", L"Min", L"Position"});
  }
  return *GProgressList;
}

const TProgressEntry* FindEntry(TControl* Control) {
  if (!Control) return nullptr;
  auto& L = ProgressList();
  for (auto It = L.rbegin(); It != L.rend(); ++It)
    if (It->Class.IsInstance(Control)) return &*It;
  return nullptr;
}

bool SetIntProp(TControl* Control, const String& Name, int Value) {
  // The newest matching publication wins, like a derived class's property.
  auto& P = IntProps();
  for (auto It = P.rbegin(); It != P.rend(); ++It) {
    if (It->Class.IsInstance(Control) && SameText(It->Name, Name)) {
      It->Setter(Control, Value);
      return true;
    }
  }
  // Else the control's published properties, as the property storage sees
  // them: those described to it and those the control declares to the form
  // stream. Only an integer property is set.
  TPropInfoList Info(Control, tkStoredProps);
  PPropInfo Prop = Info.Find(Name);
  std::unique_ptr<TPropInfo> Filed;
  if (!Prop) {
    Filed = FilerPropInfo(Control, Name);
    Prop = Filed.get();
  }
  if (!Prop || (Prop->Kind != tkInteger && Prop->Kind != tkInt64) || !Prop->SetOrd) return false;
  SetOrdProp(Control, Prop, Value);
  return true;
}

bool SetProgress(TControl* Control, int Value, String TProgressEntry::*Field) {
  const TProgressEntry* E = FindEntry(Control);
  if (!E) return false;
  return SetIntProp(Control, E->*Field, Value);
}

}  // namespace

void RegisterIntProperty(const TControlClassRef& AClass, const String& Name, TIntPropertySetter Setter) {
  IntProps().push_back({AClass, Name, std::move(Setter)});
}

void RegisterProgressControl(const TControlClassRef& AClass, const String& MaxPropName,
                             const String& MinPropName, const String& ProgressPropName) {
  ProgressList().push_back({AClass, Cut(MaxPropName), Cut(MinPropName), Cut(ProgressPropName)});
}

void UnRegisterProgressControl(const TControlClassRef& AClass) {
  if (!GProgressList) return;
  auto& L = *GProgressList;
  for (size_t I = L.size(); I-- > 0;)
    if (AClass.IsAncestorOf(L[I].Class)) L.erase(L.begin() + static_cast<std::ptrdiff_t>(I));
}

bool SupportsProgressControl(TControl* Control) { return FindEntry(Control) != nullptr; }
bool SetProgressMax(TControl* Control, int Value) { return SetProgress(Control, Value, &TProgressEntry::MaxName); }
bool SetProgressMin(TControl* Control, int Value) { return SetProgress(Control, Value, &TProgressEntry::MinName); }
bool SetProgressValue(TControl* Control, int Value) {
  return SetProgress(Control, Value, &TProgressEntry::PosName);
}

void ExProgressInitialize() {}

void ExProgressFinalize() {
  GProgressList.reset();
  GIntProps.reset();
}
