#include "app/Startup.h"

#include "app/AboutForm.h"
#include "app/dmodCommonU.h"
#include "app/Dialogs.h"
#include "app/EditValue.h"
#include "app/EditValueBin.h"
#include "app/FindForm.h"
#include "app/Help.h"
#include "app/Main.h"
#include "app/OptionsForm.h"
#include "classlib/Forms.h"

TZembrioForms CreateZembrioForms(const std::function<void(TdmodCommon*)>& AfterDataModule) {
  TZembrioForms f;
  InstallApplicationHelp();
  f.DataModule = dmodCommon = new TdmodCommon(Application);
  if (AfterDataModule) AfterDataModule(dmodCommon);
  TCommonLogic* logic = &dmodCommon->Logic;
  f.Main = Application->CreateForm<TfrmMain>();
  f.EditValue = new TfrmEditValue(Application, logic);
  Application->FormCreated(f.EditValue);
  f.EditValueBin = new TfrmEditValueBin(Application, logic);
  Application->FormCreated(f.EditValueBin);
  f.Find = new TfrmFind(Application, logic);
  Application->FormCreated(f.Find);
  f.Options = new TfrmOptions(Application, logic);
  Application->FormCreated(f.Options);
  f.Confirm = frmConfirm = Application->CreateForm<TfrmConfirm>();
  f.About = Application->CreateForm<TfrmAbout>();
  f.Error = frmError = Application->CreateForm<TfrmError>();

  TfrmMain* main = f.Main;
  TfrmEditValue* editValue = f.EditValue;
  TfrmEditValueBin* editValueBin = f.EditValueBin;
  TfrmFind* find = f.Find;
  TfrmOptions* options = f.Options;
  TfrmAbout* about = f.About;
  logic->OnEditValue = [editValue, editValueBin](unsigned char Type) {
    return Type == cValue::cvtBinary ? editValueBin->ShowModal() : editValue->ShowModal();
  };
  find->OnStartSearch = [](bool Repeat, const TSearchInput& Input) { dmodCommon->StartSearch(Repeat, Input); };
  dmodCommon->ShowFindDialogHook = [find] { find->ShowModal(); };
  // The options dialog browses for the bookmark file and picks the font
  // through the data module's dialogs.
  options->BookmarkDialog = dmodCommon->sdlgBookmarks;
  options->FontDialog = dmodCommon->fdlgFont;
  options->OnClearBookmarks = [main](TObject*) { main->ClearBookmarks(); };
  options->OnLoadBookmarks = [main](const String& FileName) { main->LoadBookmarks(FileName, false); };
  options->OnCloseMainWindow = [main](TObject*) { main->Close(); };
  options->OnAskYesNo = [](const String& Question) { return dmodCommon->AskYesNo(Question); };
  dmodCommon->ShowOptionsHook = [options] { return options->ShowModal(); };
  dmodCommon->ShowAboutHook = [about] { about->ShowModal(); };
  dmodCommon->HtmlHelpHook = [](const String& File, const String& Topic) { ShowHelpTopicIn(File, Topic); };
  return f;
}

void DestroyZembrioForms(TZembrioForms& Forms) {
  if (dmodCommon) {
    dmodCommon->ShowFindDialogHook = nullptr;
    dmodCommon->ShowOptionsHook = nullptr;
    dmodCommon->ShowAboutHook = nullptr;
    dmodCommon->Logic.OnEditValue = nullptr;
  }
  delete Forms.Error;
  frmError = nullptr;
  delete Forms.About;
  delete Forms.Confirm;
  frmConfirm = nullptr;
  delete Forms.Options;
  delete Forms.Find;
  delete Forms.EditValueBin;
  delete Forms.EditValue;
  delete Forms.Main;
  frmMain = nullptr;
  delete Forms.DataModule;
  dmodCommon = nullptr;
  Forms = TZembrioForms();
}
