// Program entry: sets up the application, creates the main window (the
// first form, hence the main form) and runs the message loop.
#include "classlib/Forms.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  InitForms();
  try {
    Application->Initialize();
    Application->SetTitle(L"Zembrio");
    TForm* mainForm = Application->CreateForm<TForm>();
    mainForm->SetName(L"frmMain");
    mainForm->SetCaption(L"Zembrio");
    mainForm->SetPosition(poDefaultPosOnly);
    mainForm->SetBounds(0, 0, 694, 469);
    mainForm->Constraints()->Set(200, 150, 0, 0);
    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(e);
  } catch (const std::exception& e) {
    Application->ShowException(Exception(Utf8ToWide(e.what())));
  }
  DoneForms();
  return 0;
}
