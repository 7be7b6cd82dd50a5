#include "valueedit/ValueEditFiler.h"

#include "valueedit/BinHexEdit.h"
#include "valueedit/HexEditor.h"

namespace ValueEditFiler {

namespace {

// A filer that only notes the names declared to it.
class TNameProbe : public TFiler {
 public:
  TNameProbe() : TFiler(nullptr) {}
  void DefineProperty(const String& Name, const TReaderProc&, const TWriterProc&, bool) override {
    Names.insert(Name);
  }
  void DefineBinaryProperty(const String& Name, const TStreamProc&, const TStreamProc&, bool) override {
    Names.insert(Name);
  }
  std::set<String> Names;
};

}  // namespace

std::set<String> DeclaredNames(const std::function<void(TFiler*)>& Define) {
  TNameProbe Probe;
  Define(&Probe);
  return std::move(Probe.Names);
}

}  // namespace ValueEditFiler

void ValueEditInitialize() {
  RegisterClasses({ComponentClass<THexEditor>(L"THexEditor"), ComponentClass<TBinHexEdit>(L"TBinHexEdit")});
  // Making one touches nothing but the new control: what its constructor
  // sets is not written while unchanged.
  CompareWithNewComponents({L"THexEditor", L"TBinHexEdit"});
}

void ValueEditFinalize() {
  UnRegisterClass(L"THexEditor");
  UnRegisterClass(L"TBinHexEdit");
}
