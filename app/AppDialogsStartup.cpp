#include "app/AppDialogsStartup.h"

#include "app/AboutForm.h"
#include "app/DataModule.h"
#include "app/EditValue.h"
#include "app/EditValueBin.h"
#include "app/FindForm.h"
#include "app/Help.h"
#include "app/Main.h"
#include "app/OptionsForm.h"

TfrmEditValue* frmEditValue = nullptr;
TfrmEditValueBin* frmEditValueBin = nullptr;
TfrmFind* frmFind = nullptr;
TfrmOptions* frmOptions = nullptr;
TfrmAbout* frmAbout = nullptr;

void CreateEditorDialogsBeforeConfirm() {
  Hh::InitializeModule();
  TCommonLogic* logic = &dmodCommon->Logic;

  frmEditValue = Application->CreateForm<TfrmEditValue>();
  frmEditValue->SetLogic(logic);
  frmEditValueBin = Application->CreateForm<TfrmEditValueBin>();
  frmEditValueBin->SetLogic(logic);
  frmFind = Application->CreateForm<TfrmFind>();
  frmFind->SetLogic(logic);
  frmOptions = Application->CreateForm<TfrmOptions>();
  frmOptions->SetLogic(logic);
  frmOptions->BookmarkDialog = dmodCommon->sdlgBookmarks;
  frmOptions->FontDialog = dmodCommon->fdlgFont;
  frmOptions->OnClearBookmarks = [](TObject*) {
    if (frmMain) frmMain->ClearBookmarks();
  };
  frmOptions->OnLoadBookmarks = [](const String& FileName) {
    if (frmMain) frmMain->LoadBookmarks(FileName, false);
  };
  frmOptions->OnAskYesNo = [](const String& Question) { return dmodCommon->AskYesNo(Question); };

  // The value editor by type; its modal result (1 for OK) decides whether
  // the data module saves.
  logic->OnEditValue = [](unsigned char Type) -> int {
    switch (Type) {
      case cValue::cvtString:
      case cValue::cvtExpandString:
      case cValue::cvtInteger:
        return frmEditValue->ShowModal();
      case cValue::cvtBinary:
        return frmEditValueBin->ShowModal();
      default:
        return mrCancel;
    }
  };
  dmodCommon->ShowFindDialogHook = [] { frmFind->ShowModal(); };
  // The main window re-applies the options unless the answer is mrAbort:
  // anything but OK counts as cancelled here.
  dmodCommon->ShowOptionsHook = [] { return frmOptions->ShowModal() == mrOk ? mrOk : mrAbort; };
  dmodCommon->HtmlHelpHook = [](const String& HelpFile, const String& Topic) { ShowHelpTopicIn(HelpFile, Topic); };
}

void CreateEditorDialogsBeforeError() {
  frmAbout = Application->CreateForm<TfrmAbout>();
  dmodCommon->ShowAboutHook = [] { frmAbout->ShowModal(); };
}
