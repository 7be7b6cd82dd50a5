// Where settings live by default (an ini file named after the program or a
// key under "Software\"), one set of value calls over TIniFile-like and
// TRegIniFile objects, line-break escaping for ini values, and a form's
// window placement in a fixed text format.
#pragma once

#include <functional>

#include "classlib/Forms.h"
#include "classlib/IniFiles.h"
#include "classlib/Registry.h"

extern std::function<String()> OnGetDefaultIniName;
extern String DefCompanyName;
extern bool RegUseAppTitle;

String GetDefaultIniName();
String GetDefaultIniRegKey();

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

void ExPlacementInitialize();
void ExPlacementFinalize();
