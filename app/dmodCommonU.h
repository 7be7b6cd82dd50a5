// The editor's data module: the shared image lists and file dialogs, the
// settings store and registry-file component (through TCommonLogic), and
// the services the windows share (root-key names, node helpers, options,
// status relay, confirmations and error reports, search, value saving).
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "app/CommonLogic.h"
#include "app/ItemData.h"
#include "app/PlacesDialogs.h"
#include "classlib/Dialogs.h"
#include "classlib/Forms.h"
#include "classlib/ImgList.h"

class TTreeExNode;
class TfrmMain;


class TdmodCommon : public TDataModule {
 public:
  explicit TdmodCommon(TComponent* AOwner);
  ~TdmodCommon() override;
  const char* ClassName() const override { return "TdmodCommon"; }

  TCommonLogic Logic;

  TImageList* imlTreeImages;
  TImageList* imlLVImages16;
  TImageList* imlLVImages32;
  TImageList* imlTabSheets;
  TImageList* imlMenuToolbar;
  // The file dialogs show the places bar where the system has one.
  TPlacesOpenDialog* odlgImport;
  TPlacesSaveDialog* sdlgExport;
  TPlacesOpenDialog* odlgBookmarks;
  TFontDialog* fdlgFont;
  TPlacesSaveDialog* sdlgBookmarks;
  // Components of the data module held by Logic.
  TRegStore& rsOptions() { return Logic.rsOptions; }
  TIORegistry& iorPort() { return Logic.iorPort; }

  // The window that shows the status text and receives the search reports.
  void SetMainForm(TfrmMain* Form);
  TfrmMain* MainForm() const { return main_; }

  // --- Root keys and paths.
  String GetRootKeyName(TRegRoot Root, TRootNameMode Mode) { return Logic.GetRootKeyName(Root, Mode); }
  static TRegRoot GetRootKeyFromName(const String& Name) { return TCommonLogic::GetRootKeyFromName(Name); }
  static String SplitRegistryPath(String& Text) { return TCommonLogic::SplitRegistryPath(Text); }
  static String GetKeyNameFromPath(const String& Path) { return TCommonLogic::GetKeyNameFromPath(Path); }

  // --- Tree nodes.
  static bool NodeHasData(TTreeExNode* Node);
  static bool IsRootNode(TTreeExNode* Node);
  static TRegRoot GetNodeRootKey(TTreeExNode* Node);
  static String GetNodeKeyPath(TTreeExNode* Node);
  String GetNodeRootKeyName(TTreeExNode* Node, TRootNameMode Mode);

  // --- Settings.
  TSettingValue GetOption(const String& Name) { return Logic.GetOption(Name); }
  void SetOption(const String& Name, const TSettingValue& V) { Logic.SetOption(Name, V); }
  // A setting read as a boolean / integer / text; a stored value that has
  // no such form reads as the setting's default.
  bool OptionBool(const String& Name);
  int OptionInt(const String& Name);
  String OptionString(const String& Name);
  void ReadAllOptions() { Logic.ReadAllOptions(); }
  void WriteAllOptions() { Logic.WriteAllOptions(); }

  // --- Status, dialogs.
  void SetStatusText(const String& Text) { Logic.SetStatusText(Text); }
  // The search's progress text, for the main window's search panel.
  void ShowSearchProgressText(const String& Text);
  bool ConfirmDelete(const String& Kind, const String& Item);
  int ConfirmDeleteEach(const String& Kind, const String& Item);
  bool ConfirmImport(const String& FileName);
  bool AskYesNo(const String& Text);
  void ShowMessageText(const String& Text);
  void ShowErrorText(const String& Text);
  // While set, what the error and message dialogs would show is kept here,
  // as the showing of it, instead of shown: the main window holds what its
  // start-up has to say until it is on the screen.
  std::vector<std::function<void()>>* HeldErrors = nullptr;
  void ShowException(const Exception& E, const String& Text);
  void ShowHelpTopic(const String& Topic);
  void ShowHelpContents() { ShowHelpTopic(L"int_welcome.htm"); }

  // --- Search and value editing.
  void StartSearch(bool Repeat, const TSearchInput& Input) { Logic.StartSearch(Repeat, Input); }
  void StopSearch() { Logic.StopSearch(); }
  bool SaveEditedValue(TRegRoot Root, const String& KeyPath, cValue& Value) {
    return Logic.SaveEditedValue(Root, KeyPath, Value);
  }

  // Hooks for the dialogs that live in their own units (find, options,
  // about, help): the start-up binds them; unbound they do nothing (the
  // options hook then answers mrAbort, as a cancelled dialog).
  std::function<void()> ShowFindDialogHook;
  std::function<int()> ShowOptionsHook;
  std::function<void()> ShowAboutHook;
  std::function<void(const String& HelpFile, const String& Topic)> HtmlHelpHook;
  void ShowFindDialog() {
    if (ShowFindDialogHook) ShowFindDialogHook();
  }

 private:
  void BuildImages();
  bool GetSelectedKey(TRegRoot& Root, String& Path);
  TfrmMain* main_ = nullptr;  // the main window (the application owns it)
};

extern TdmodCommon* dmodCommon;
