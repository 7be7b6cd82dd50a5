// The program's forms: the data module, the main window and the dialogs,
// created in their order and bound together. WinMain and the end-to-end
// tests start the editor through the same function.
#pragma once

#include <functional>

class TdmodCommon;
class TfrmMain;
class TfrmEditValue;
class TfrmEditValueBin;
class TfrmFind;
class TfrmOptions;
class TfrmConfirm;
class TfrmAbout;
class TfrmError;

// The forms belong to the application; these only point at them.
struct TZembrioForms {
  TdmodCommon* DataModule = nullptr;
  TfrmMain* Main = nullptr;
  TfrmEditValue* EditValue = nullptr;
  TfrmEditValueBin* EditValueBin = nullptr;
  TfrmFind* Find = nullptr;
  TfrmOptions* Options = nullptr;
  TfrmConfirm* Confirm = nullptr;
  TfrmAbout* About = nullptr;
  TfrmError* Error = nullptr;
};

// Creates the data module, the main window, the value editors, find,
// options, confirm, about and error dialogs, in this order, all owned by
// the application, and binds the dialogs to the data module and the main
// window. AfterDataModule runs once the data module exists and before the
// main window is created (the settings are read when the window shows).
TZembrioForms CreateZembrioForms(const std::function<void(TdmodCommon*)>& AfterDataModule = nullptr);

// Frees what CreateZembrioForms made, the dialogs first and the data module
// last, and clears the global pointers (a program that starts again within
// the same process, as the tests do).
void DestroyZembrioForms(TZembrioForms& Forms);
