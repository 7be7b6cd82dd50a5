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
#include "app/AboutForm.h"
#include "app/DataModule.h"
#include "app/Dialogs.h"
#include "app/EditValue.h"
#include "app/EditValueBin.h"
#include "app/FindForm.h"
#include "app/Help.h"
#include "app/Main.h"
#include "app/OptionsForm.h"
#include "app/PlacesDialogs.h"
#include "classlib/Forms.h"

namespace {

// The data module's file dialogs with the places bar, set up like the
// plain ones it was created with.
template <class D>
D* WithPlacesBar(TOpenDialog*& Dialog) {
  auto* d = new D(dmodCommon);
  d->SetName(Dialog->GetName());
  d->SetDefaultExt(Dialog->GetDefaultExt());
  d->SetFileName(Dialog->GetFileName());
  d->SetFilter(Dialog->GetFilter());
  d->SetOptions(Dialog->GetOptions());
  d->SetTitle(Dialog->GetTitle());
  d->SetShowPlacesBar(true);
  delete Dialog;
  Dialog = d;
  return d;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  InitForms();
  try {
    Application->Initialize();
    Application->SetTitle(L"Zembrio");
    Hh::InitializeModule();
    dmodCommon = new TdmodCommon(Application);
    WithPlacesBar<TPlacesOpenDialog>(dmodCommon->odlgImport);
    WithPlacesBar<TPlacesOpenDialog>(dmodCommon->odlgBookmarks);
    WithPlacesBar<TPlacesSaveDialog>(dmodCommon->sdlgExport);
    WithPlacesBar<TPlacesSaveDialog>(dmodCommon->sdlgBookmarks);
    TCommonLogic* logic = &dmodCommon->Logic;
    TfrmMain* main = Application->CreateForm<TfrmMain>();
    auto* editValue = new TfrmEditValue(Application, logic);
    Application->FormCreated(editValue);
    auto* editValueBin = new TfrmEditValueBin(Application, logic);
    Application->FormCreated(editValueBin);
    auto* find = new TfrmFind(Application, logic);
    Application->FormCreated(find);
    auto* options = new TfrmOptions(Application, logic);
    Application->FormCreated(options);
    frmConfirm = Application->CreateForm<TfrmConfirm>();
    auto* about = Application->CreateForm<TfrmAbout>();
    frmError = Application->CreateForm<TfrmError>();

    logic->OnEditValue = [editValue, editValueBin](unsigned char Type) {
      return Type == cValue::cvtBinary ? editValueBin->ShowModal() : editValue->ShowModal();
    };
    find->OnStartSearch = [](bool Repeat, const TSearchInput& Input) { dmodCommon->StartSearch(Repeat, Input); };
    dmodCommon->ShowFindDialogHook = [find] { find->ShowModal(); };
    options->OnClearBookmarks = [main](TObject*) { main->ClearBookmarks(); };
    options->OnLoadBookmarks = [main](const String& FileName) { main->LoadBookmarks(FileName, false); };
    options->OnCloseMainWindow = [main](TObject*) { main->Close(); };
    options->OnAskYesNo = [](const String& Question) { return dmodCommon->AskYesNo(Question); };
    dmodCommon->ShowOptionsHook = [options] { return options->ShowModal(); };
    dmodCommon->ShowAboutHook = [about] { about->ShowModal(); };
    dmodCommon->HtmlHelpHook = [](const String& File, const String& Topic) { ShowHelpTopicIn(File, Topic); };

    Application->Run();
  } catch (const Exception& e) {
    Application->ShowException(e);
  } catch (const std::exception& e) {
    Application->ShowException(Exception(Utf8ToWide(e.what())));
  }
  Hh::FinalizeModule();
  DoneForms();
  return 0;
}
#endif
