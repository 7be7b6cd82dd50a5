// Start-up of the editor's dialogs: creates them in their place among the
// program's forms and binds them to the data module and the main window.
// Windows only.
#pragma once

class TfrmEditValue;
class TfrmEditValueBin;
class TfrmFind;
class TfrmOptions;
class TfrmAbout;

extern TfrmEditValue* frmEditValue;
extern TfrmEditValueBin* frmEditValueBin;
extern TfrmFind* frmFind;
extern TfrmOptions* frmOptions;
extern TfrmAbout* frmAbout;

// After the data module and the main window: loads the HTML Help control,
// creates TfrmEditValue, TfrmEditValueBin, TfrmFind and TfrmOptions and
// binds the data module's value editing, find, preferences and help.
void CreateEditorDialogsBeforeConfirm();
// After the confirm dialog: creates TfrmAbout and binds the about command.
void CreateEditorDialogsBeforeError();
