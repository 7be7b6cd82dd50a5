// TFormPlacement: remembers its form's size, position, window state and
// focused control in an ini file or a registry key below the current user
// and restores them the next time the form is shown.
#pragma once

#include "classlib/Forms.h"
#include "extlib/ExHook.h"
#include "extlib/ExPlacement.h"

class TIniLink;

enum TPlacementOption { fpState, fpPosition, fpActiveControl };
enum TPlacementOperation { poSave, poRestore };
using TPlacementOptions = TSet<TPlacementOption>;
enum TPlacementRegRoot { prCurrentUser, prLocalMachine, prCurrentConfig, prClassesRoot, prUsers, prDynData };

// Minimum and maximum tracking sizes and the maximised position and size
// of the form; 0 leaves a value to the system.
struct TWinMinMaxInfo {
  int MaxPosLeft = 0, MaxPosTop = 0, MaxSizeWidth = 0, MaxSizeHeight = 0;
  int MaxTrackWidth = 0, MaxTrackHeight = 0, MinTrackWidth = 0, MinTrackHeight = 0;
  bool DefaultMinMaxInfo() const {
    return !(MaxPosLeft || MaxPosTop || MaxSizeWidth || MaxSizeHeight || MaxTrackWidth || MaxTrackHeight ||
             MinTrackWidth || MinTrackHeight);
  }
};

class TFormPlacement : public TComponent {
 public:
  explicit TFormPlacement(TComponent* AOwner);
  ~TFormPlacement() override;
  const char* ClassName() const override { return "TFormPlacement"; }

  bool Active = true;
  bool UseRegistry = false;
  // The registry root the key lies under (with UseRegistry).
  TPlacementRegRoot RegistryRoot = prCurrentUser;
  TPlacementOptions Options;
  int Version = 0;
  TNotifyEvent OnSavePlacement;
  TNotifyEvent OnRestorePlacement;

  String GetIniFileName() const;
  void SetIniFileName(const String& Value) { iniFileName_ = Value; }
  String GetIniSection() const;
  void SetIniSection(const String& Value) { iniSection_ = Value; }

  // Chains the form's OnShow, OnCloseQuery and OnDestroy (call once the
  // form is built).
  void Loaded() override;

  void SaveFormPlacement();
  void RestoreFormPlacement();
  String ReadString(const String& Ident, const String& Default);
  void WriteString(const String& Ident, const String& Value);
  int ReadInteger(const String& Ident, int Default);
  void WriteInteger(const String& Ident, int Value);
  // Erases the section and every section below it ("S.x", "S\x").
  void EraseSections();
  // The open ini or registry object, or nullptr.
  TObject* GetIniFile() const;
  bool IsRestored() const { return restored_; }
  // The section as set, without the default (empty when not set).
  const String& GetStoredIniSection() const { return iniSection_; }

  // Links are told to save and load with the placement.
  void AddLink(TIniLink* ALink);
  void RemoveLink(TIniLink* ALink);

  // Pins the form's size: no sizing borders, no Size or Maximize command
  // and no maximise button.
  bool GetPreventResize() const { return preventResize_; }
  void SetPreventResize(bool Value);
  const TWinMinMaxInfo& GetMinMaxInfo() const { return minMaxInfo_; }
  void SetMinMaxInfo(const TWinMinMaxInfo& Value);
  // The limits changed: the maximised border and the hook follow.
  void MinMaxInfoModified();
  // Puts a maximised form's border just outside the screen (only while the
  // placement neither pins the size nor limits it).
  void UpdatePlacement();

 protected:
  // Active, IniFileName and IniSection (only when set), UseRegistry,
  // RegistryRoot, Options, Version, PreventResize and the MinMaxInfo
  // fields where they differ from their defaults.
  void DefineProperties(TFiler* Filer) override;
  virtual void SavePlacement();
  // The form's own placement (ReadFormPlacementOnly), then the links.
  virtual void RestorePlacement();
  // Reads the form's size, position and state as Options ask (a placement
  // that belongs to no form has none).
  void ReadFormPlacementOnly();
  virtual void Save();
  virtual void Restore();
  // Values of any section through the open store (opened for the call
  // when none is).
  virtual String DoReadString(const String& Section, const String& Ident, const String& Default);
  virtual void DoWriteString(const String& Section, const String& Ident, const String& Value);
  void NotifyLinks(TPlacementOperation Operation);
  // Opens the store; a read-only open creates no key below another root
  // than the current user.
  void IniNeeded(bool ReadOnly = false);
  // Gives the form's window the placement UpdatePlacement made.
  virtual void ApplyPlacement(HWND Wnd, const WINDOWPLACEMENT& Placement);
  void IniFree();
  TCustomForm* Form() const;

 private:
  void FormShow(TObject* Sender);
  void FormCloseQuery(TObject* Sender, bool& CanClose);
  void FormDestroy(TObject* Sender);
  // Chains the form's OnShow, OnCloseQuery and OnDestroy.
  void SetEvents();
  void RestoreEvents();
  void UpdatePreventResize();
  void CheckToggleHook();
  void WndMessage(TObject* Sender, TMessage& Msg, bool& Handled);

  String iniFileName_, iniSection_;
  std::unique_ptr<TIniFile> ini_;
  std::unique_ptr<TRegIniFile> reg_;
  bool saved_ = false, restored_ = false, destroying_ = false, hooked_ = false;
  TNotifyEvent saveShow_, saveDestroy_;
  TCloseQueryEvent saveCloseQuery_;
  bool preventResize_ = false;
  bool defMaximize_ = false;
  TWinMinMaxInfo minMaxInfo_;
  std::unique_ptr<TExtWindowHook> hook_;
  std::vector<TIniLink*> links_;
};

// Ties an object that stores settings of its own to a placement: the
// placement's saves and restores reach it through OnSave and OnLoad.
class TIniLink : public TPersistent {
 public:
  TIniLink() = default;
  ~TIniLink() override;
  TFormPlacement* GetStorage() const { return storage_; }
  void SetStorage(TFormPlacement* Value);
  // The placement's open ini or registry object, or nullptr.
  TObject* GetIniObject() const;
  // The placement's own section (as set) followed by a backslash, or empty.
  String GetRootSection() const;

  TNotifyEvent OnSave;
  TNotifyEvent OnLoad;
  virtual void SaveToIni();
  virtual void LoadFromIni();

 private:
  friend class TFormPlacement;
  TFormPlacement* storage_ = nullptr;
};
