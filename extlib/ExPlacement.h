// Where settings live by default (an ini file named after the program or a
// key under "Software\"), one set of value calls over TIniFile-like and
// TRegIniFile objects, line-break escaping for ini values, and a form's
// window placement in a fixed text format.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "classlib/Forms.h"
#include "classlib/Grids.h"
#include "classlib/IniFiles.h"
#include "classlib/Registry.h"

extern std::function<String()> OnGetDefaultIniName;
extern String DefCompanyName;
extern bool RegUseAppTitle;

String GetDefaultIniName();
String GetDefaultIniRegKey();
// The section a component's settings go to by default: a form's class
// name; a control's name after its form's class name (or its parent's
// name); "FormClass.Name" for another component owned by a form; else the
// name alone.
String GetDefaultSection(TComponent* Component);
// Where a control's settings go: the ini name of the first form placement
// on its form (else the default ini file or registry key) and its
// default section.
void GetDefaultIniData(TControl* Control, String& IniFileName, String& Section, bool UseRegistry);

// Ini objects are a TRegIniFile or a TCustomIniFile; any other object
// reads as the default and writes nothing.
String IniReadString(TObject* IniFile, const String& Section, const String& Ident, const String& Default);
int IniReadInteger(TObject* IniFile, const String& Section, const String& Ident, int Default);
bool IniReadBool(TObject* IniFile, const String& Section, const String& Ident, bool Default);
void IniWriteString(TObject* IniFile, const String& Section, const String& Ident, const String& Value);
void IniWriteInteger(TObject* IniFile, const String& Section, const String& Ident, int Value);
void IniWriteBool(TObject* IniFile, const String& Section, const String& Ident, bool Value);
void IniEraseSection(TObject* IniFile, const String& Section);
void IniDeleteKey(TObject* IniFile, const String& Section, const String& Ident);
void IniReadSections(TObject* IniFile, TStrings* Strings);

// Line breaks to backslash-n and back; longer texts than the limit raise
// "Line too long".
constexpr size_t MaxIniLine = 4096;
String StrToIniStr(const String& S);
String IniStrToStr(const String& S);

void WriteFormPlacement(TCustomForm* Form, TObject* IniFile, const String& Section);
void ReadFormPlacement(TCustomForm* Form, TObject* IniFile, const String& Section, bool LoadState,
                       bool LoadPosition);
inline void WriteFormPlacementReg(TCustomForm* Form, TRegIniFile* IniFile, const String& Section) {
  WriteFormPlacement(Form, IniFile, Section);
}
inline void ReadFormPlacementReg(TCustomForm* Form, TRegIniFile* IniFile, const String& Section, bool LoadState,
                                 bool LoadPosition) {
  ReadFormPlacement(Form, IniFile, Section, LoadState, LoadPosition);
}
// The placement in the section named after the form's class, in the ini
// file or registry key IniFileName.
void SaveFormPlacement(TCustomForm* Form, const String& IniFileName, bool UseRegistry);
void RestoreFormPlacement(TCustomForm* Form, const String& IniFileName, bool UseRegistry);

// The MDI children of a main form in its MDI client's order, the active
// one first.
std::vector<TCustomForm*> MDIChildrenOf(TCustomForm* MainForm);
// The class names of the open MDI children in section "MDI Children".
// EInvalidOperation when MainForm is no MDI parent.
void SaveMDIChildren(TCustomForm* MainForm, TObject* IniFile);
inline void SaveMDIChildrenReg(TCustomForm* MainForm, TRegIniFile* IniFile) { SaveMDIChildren(MainForm, IniFile); }
// Opens the saved children again, the last saved first: for each class name
// registered by name (RegisterClass), a form of that class already open
// or a new one, shown. EInvalidOperation when MainForm is no MDI parent.
void RestoreMDIChildren(TCustomForm* MainForm, TObject* IniFile);
inline void RestoreMDIChildrenReg(TCustomForm* MainForm, TRegIniFile* IniFile) {
  RestoreMDIChildren(MainForm, IniFile);
}

// Column widths of a grid as "Item%d" in its default section.
void SaveGridLayout(TCustomGrid* Grid, TObject* IniFile);
void RestoreGridLayout(TCustomGrid* Grid, TObject* IniFile);
inline void SaveGridLayoutReg(TCustomGrid* Grid, TRegIniFile* IniFile) { SaveGridLayout(Grid, IniFile); }
inline void RestoreGridLayoutReg(TCustomGrid* Grid, TRegIniFile* IniFile) { RestoreGridLayout(Grid, IniFile); }

// Forms by class: the first open one; the first with that caption (any
// caption when empty), made when there is none, shown and restored from the
// task bar; one made, run modally and freed (true for OK or Yes); one made
// into Reference only when that is empty.
template <class T>
T* FindForm() {
  for (int I = 0; Screen && I < Screen->FormCount(); ++I)
    if (auto* F = dynamic_cast<T*>(Screen->Forms(I))) return F;
  return nullptr;
}
template <class T>
T* FindShowForm(const String& Caption) {
  T* Found = nullptr;
  for (int I = 0; Screen && I < Screen->FormCount() && !Found; ++I)
    if (auto* F = dynamic_cast<T*>(Screen->Forms(I)))
      if (Caption.empty() || F->GetCaption() == Caption) Found = F;
  if (!Found) {
    Found = Application->CreateForm<T>();
    if (!Caption.empty()) Found->SetCaption(Caption);
  }
  if (Found->GetWindowState() == wsMinimized) Found->SetWindowState(wsNormal);
  Found->Show();
  return Found;
}
template <class T>
bool ShowDialog() {
  std::unique_ptr<T> F(Application->CreateForm<T>());
  TModalResult R = F->ShowModal();
  return R == mrOk || R == mrYes;
}
template <class T>
T* InstantiateForm(T*& Reference) {
  if (!Reference) Reference = Application->CreateForm<T>();
  return Reference;
}

// The first name Format(FileNameMask, n), n = 0, 1, ..., of no file in
// Path (the name without the path); empty when none is free.
String GetUniqueFileNameInDir(const String& Path, const String& FileNameMask);
// Sends the message to every form's window; the last result.
LRESULT AppBroadcast(UINT Msg, WPARAM WParam, LPARAM LParam);
// With AppOnly the application's window gets a caption (one task-bar
// button for the program) and comes to the front; without, it loses it.
void AppTaskbarIcons(bool AppOnly);

void ExPlacementInitialize();
void ExPlacementFinalize();
