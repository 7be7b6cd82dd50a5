// Program entry: sets up the application, creates the data module, the
// main window (the first form, hence the main form) and the dialogs in
// their order, binds the dialogs to the data module and the main window,
// and runs the message loop.
#ifdef ZEMBRIO_SKELETON
#include "classlib/Forms.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  InitForms();
  try {
    Application->Initialize();
    Application->SetTitle(L"Zembrio");
    TForm* mainForm = Application->CreateForm<TForm>();
    mainForm->SetCaption(L"Zembrio");
    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(e);
  }
  DoneForms();
  return 0;
}
#else
#include "app/ModuleTable.h"
#include "app/Startup.h"
#include "classlib/Forms.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  InitForms();
  TZembrioForms forms;
  try {
    InitializeModules(ZembrioModuleTable());
    Application->Initialize();
    Application->SetTitle(L"Zembrio");
    forms = CreateZembrioForms();
    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(e);
  } catch (const std::exception& e) {
    Application->ShowException(Exception(Utf8ToWide(e.what())));
  }
  // The forms go before the modules they stand on are finalised.
  DestroyZembrioForms(forms);
  FinalizeModules();
  DoneForms();
  return 0;
}
#endif
