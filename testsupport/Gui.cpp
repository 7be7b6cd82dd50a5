#include "testsupport/Gui.h"

#include "classlib/Forms.h"

namespace testsupport {

std::vector<std::wstring>& ShownExceptions() {
  static std::vector<std::wstring> v;
  return v;
}

void GuiEnvironment::SetUp() {
  InitForms();
  Application->Initialize();
  Application->ShowExceptionHook = [](const String& msg, const String&) { ShownExceptions().push_back(msg); };
  // The first form is the main form.
  mainForm_ = Application->CreateForm<TForm>();
  mainForm_->SetCaption(L"Test host");
}

void GuiEnvironment::TearDown() { DoneForms(); }

}  // namespace testsupport
