// Program entry: sets up the application, creates the data module, the
// main window (the first form, hence the main form) and the dialogs, and
// runs the message loop.
#include "app/DataModule.h"
#include "app/Dialogs.h"
#include "app/Main.h"
#include "classlib/Forms.h"

#if __has_include("app/AppDialogsStartup.h")
#include "app/AppDialogsStartup.h"
#define ZEMBRIO_HAVE_DIALOGS 1
#endif

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  InitForms();
  try {
    Application->Initialize();
    Application->SetTitle(L"Zembrio");
    dmodCommon = new TdmodCommon(Application);
    Application->CreateForm<TfrmMain>();
#ifdef ZEMBRIO_HAVE_DIALOGS
    // TfrmEditValue, TfrmEditValueBin, TfrmFind and TfrmOptions.
    CreateEditorDialogsBeforeConfirm();
#endif
    frmConfirm = Application->CreateForm<TfrmConfirm>();
#ifdef ZEMBRIO_HAVE_DIALOGS
    // TfrmAbout.
    CreateEditorDialogsBeforeError();
#endif
    frmError = Application->CreateForm<TfrmError>();
    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(e);
  } catch (const std::exception& e) {
    Application->ShowException(Exception(Utf8ToWide(e.what())));
  }
  DoneForms();
  return 0;
}
