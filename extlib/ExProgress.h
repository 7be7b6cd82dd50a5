// Drives any progress-indicating control through three calls without
// knowing its class. A process-wide registry maps control classes to the
// names of their maximum, minimum and position properties; the names are
// resolved through a small table of integer property setters
// (RegisterIntProperty; TProgressBar's Max, Min and Position are known from
// the start), else among the control's published integer properties as the
// property storage sees them (ExProps.h).
#pragma once

#include <functional>
#include <string>

#include "classlib/ComCtrls.h"
#include "classlib/Controls.h"

// A class reference: tells whether an object is of the class (or a
// descendant) and whether another class descends from it.
class TControlClassRef {
 public:
  template <class C>
  static TControlClassRef Of() {
    TControlClassRef R;
    R.isInstance_ = [](TObject* O) { return dynamic_cast<C*>(O) != nullptr; };
    R.raise_ = [] { throw static_cast<C*>(nullptr); };
    R.catches_ = [](void (*Raise)()) {
      try {
        Raise();
      } catch (C*) {
        return true;
      } catch (...) {
      }
      return false;
    };
    R.name_ = typeid(C).name();
    return R;
  }
  bool IsInstance(TObject* O) const { return O && isInstance_(O); }
  // True when Other is this class or descends from it.
  bool IsAncestorOf(const TControlClassRef& Other) const { return catches_(Other.raise_); }
  bool operator==(const TControlClassRef& O) const { return name_ == O.name_; }

 private:
  bool (*isInstance_)(TObject*) = nullptr;
  void (*raise_)() = nullptr;
  bool (*catches_)(void (*)()) = nullptr;
  std::string name_;
};

using TIntPropertySetter = std::function<void(TControl*, int)>;

// Publishes an integer property of a control class under Name.
void RegisterIntProperty(const TControlClassRef& AClass, const String& Name, TIntPropertySetter Setter);
template <class C>
void RegisterIntProperty(const String& Name, void (C::*Setter)(int)) {
  RegisterIntProperty(TControlClassRef::Of<C>(), Name,
                      [Setter](TControl* Ctl, int V) { (static_cast<C*>(Ctl)->*Setter)(V); });
}

void RegisterProgressControl(const TControlClassRef& AClass, const String& MaxPropName,
                             const String& MinPropName, const String& ProgressPropName);
void UnRegisterProgressControl(const TControlClassRef& AClass);
bool SupportsProgressControl(TControl* Control);
bool SetProgressMax(TControl* Control, int Value);
bool SetProgressMin(TControl* Control, int Value);
bool SetProgressValue(TControl* Control, int Value);

void ExProgressInitialize();
void ExProgressFinalize();
