// Access to the system registry: TRegistry, and the registry-backed
// settings files TRegIniFile and TRegistryIniFile. Windows only.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <vector>

#include "classlib/Classes.h"
#include "classlib/IniFiles.h"
#include "classlib/SysUtils.h"

ZEMBRIO_DECLARE_EXCEPTION(ERegistryException, Exception)

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

struct TRegDataInfo {
  TRegDataType RegData = rdUnknown;
  int DataSize = 0;
};

struct TRegKeyInfo {
  int NumSubKeys = 0;
  int MaxSubKeyLen = 0;
  int NumValues = 0;
  int MaxValueLen = 0;
  int MaxDataLen = 0;
  FILETIME FileTime{};
};

// One value exactly as the registry holds it: any type, the raw bytes.
struct TRegRawValue {
  DWORD Type = REG_NONE;
  std::vector<unsigned char> Data;
};

// A value with its name, as one enumeration pass returns it.
struct TRegNamedValue {
  String Name;
  TRegRawValue Value;
};

class TRegistry : public TObject {
 public:
  // Root HKEY_CURRENT_USER, access KEY_ALL_ACCESS, lazy write on.
  TRegistry();
  explicit TRegistry(REGSAM AAccess);
  ~TRegistry() override;

  HKEY GetRootKey() const { return rootKey_; }
  // Closes the open key first.
  void SetRootKey(HKEY Value);
  HKEY GetCurrentKey() const { return currentKey_; }
  // The open key's path below the root, without a leading backslash.
  const String& GetCurrentPath() const { return currentPath_; }
  REGSAM GetAccess() const { return access_; }
  void SetAccess(REGSAM Value) { access_ = Value; }
  // When off, closing a key flushes it to disk first.
  bool GetLazyWrite() const { return lazyWrite_; }
  void SetLazyWrite(bool Value) { lazyWrite_ = Value; }

  // Key paths: a leading backslash means from the root key; without one
  // the path is relative to the open key (or the root when none is open).
  // OpenKey makes the key the open one; CanCreate creates missing keys.
  bool OpenKey(const String& Key, bool CanCreate);
  // Opens for reading only (Access becomes the read access that worked).
  bool OpenKeyReadOnly(const String& Key);
  // Creates a key (and missing parents) without opening it; false if the
  // registry refuses.
  bool CreateKey(const String& Key);
  void CloseKey();
  // Deletes a key with all its subkeys; false when it could not.
  bool DeleteKey(const String& Key);
  bool KeyExists(const String& Key);
  bool HasSubKeys();
  bool GetKeyInfo(TRegKeyInfo& Value);
  // Fill Strings with the open key's subkey / value names (cleared first).
  void GetKeyNames(TStrings* Strings);
  void GetValueNames(TStrings* Strings);
  // Every value of the open key with its type and bytes, in the registry's
  // order, read in one pass (false when the key can't be enumerated).
  bool GetValues(std::vector<TRegNamedValue>& Values);

  // Values of the open key. An empty name is the key's default value.
  bool ValueExists(const String& Name);
  // rdUnknown for a missing value or a type other than the four.
  TRegDataType GetDataType(const String& Name);
  // Size of the data in bytes, -1 when the value does not exist.
  int GetDataSize(const String& Name);
  bool GetDataInfo(const String& Name, TRegDataInfo& Value);

  // Reads raise ERegistryException "Invalid data type for '%s'" for a value
  // of another type, and "Failed to get data for '%s'" when the value can't
  // be read; ReadString of a missing value gives the empty string.
  String ReadString(const String& Name);
  String ReadExpandString(const String& Name);  // unexpanded
  int ReadInteger(const String& Name);
  bool ReadBool(const String& Name);
  double ReadFloat(const String& Name);
  TDateTime ReadDateTime(const String& Name);
  // Copies the data of a binary (or other non-text, non-integer) value into
  // Buffer; returns the size, 0 for a missing value. Raises when the data
  // does not fit in BufSize.
  int ReadBinaryData(const String& Name, void* Buffer, int BufSize);

  // Writes raise ERegistryException "Failed to set data for '%s'".
  void WriteString(const String& Name, const String& Value);
  void WriteExpandString(const String& Name, const String& Value);
  void WriteInteger(const String& Name, int Value);
  void WriteBool(const String& Name, bool Value);
  void WriteFloat(const String& Name, double Value);
  void WriteDateTime(const String& Name, TDateTime Value);
  void WriteBinaryData(const String& Name, const void* Buffer, int BufSize);

  // Any value type, byte for byte. ReadRaw returns false for a missing value.
  bool ReadRaw(const String& Name, TRegRawValue& Value);
  void WriteRaw(const String& Name, const TRegRawValue& Value);

  bool DeleteValue(const String& Name);
  // Gives a value a new name, keeping its type and data exactly (also for
  // empty data). Does nothing when OldName is missing or NewName exists.
  // The new value is written before the old one goes, so a failure loses
  // nothing (it raises ERegistryException).
  void RenameValue(const String& OldName, const String& NewName);
  // Copies the key OldName with all values and subkeys to NewName, then
  // deletes OldName when Delete is set. Does nothing when OldName is missing
  // or NewName exists. Refuses (ERegistryException) to move a key into its
  // own subtree; when the copy fails midway, the partial copy is removed,
  // the source stays, and ERegistryException is raised.
  void MoveKey(const String& OldName, const String& NewName, bool Delete);

 protected:
  HKEY BaseKey(bool Relative) const;
  // Opens Key relative to the base for it with the given access; 0 if not.
  HKEY GetKey(const String& Key, REGSAM Access);
  void ChangeKey(HKEY Value, const String& Path);
  bool QueryInfo(const String& Name, DWORD& Type, DWORD& Size);
  void PutData(const String& Name, const void* Buffer, DWORD Size, DWORD Type);
  void GetData(const String& Name, void* Buffer, DWORD& Size, DWORD& Type);
  String ReadText(const String& Name, bool Expand);

  HKEY rootKey_ = HKEY_CURRENT_USER;
  HKEY currentKey_ = nullptr;
  String currentPath_;
  REGSAM access_ = KEY_ALL_ACCESS;
  bool lazyWrite_ = true;
  bool closeRootKey_ = false;
};

// Maps a registry value type to the TRegDataType it reads as.
TRegDataType RegDataTypeOf(DWORD Type);
// The text of a string value's raw data (up to the first null).
String RegTextOf(const TRegRawValue& Value);

// ---------------------------------------------------------------------------
// Fault seam: makes the registry calls of this library fail on purpose, for
// tests (the real registry can't be made to refuse under every system).
// Operation is the registry function's name without the W: "RegOpenKeyEx",
// "RegCreateKeyEx", "RegSetValueEx", "RegQueryValueEx", "RegDeleteValue",
// "RegDeleteKey", "RegEnumKeyEx", "RegEnumValue", "RegQueryInfoKey",
// "RegFlushKey". The next Count calls of it fail with ErrorCode (e.g.
// ERROR_ACCESS_DENIED); Count -1 means until cleared. Thread-safe.
void RegistryFailNext(const String& Operation, int Count, LONG ErrorCode);
void RegistryClearFaults();

// ---------------------------------------------------------------------------
// TRegIniFile: sections are subkeys of the open key (the one opened at
// creation, or any opened later); the settings are values in them, all
// written as string values like the lines of an ini file (integers and
// booleans as decimal text). Reading an integer accepts a DWORD value or
// decimal text and gives the default for anything else.
class TRegIniFile : public TRegistry {
 public:
  // FileName is a key path below HKEY_CURRENT_USER (created when missing).
  explicit TRegIniFile(const String& FileName);
  TRegIniFile(const String& FileName, REGSAM AAccess);
  const String& GetFileName() const { return fileName_; }

  String ReadString(const String& Section, const String& Ident, const String& Default);
  int ReadInteger(const String& Section, const String& Ident, int Default);
  bool ReadBool(const String& Section, const String& Ident, bool Default);
  void WriteString(const String& Section, const String& Ident, const String& Value);
  void WriteInteger(const String& Section, const String& Ident, int Value);
  void WriteBool(const String& Section, const String& Ident, bool Value);
  // The value names of a section / the subkey names.
  void ReadSection(const String& Section, TStrings* Strings);
  void ReadSections(TStrings* Strings);
  // Name=value lines of a section.
  void ReadSectionValues(const String& Section, TStrings* Strings);
  void EraseSection(const String& Section);
  // Deletes one value of a section.
  void DeleteKey(const String& Section, const String& Ident);
  // The raw value Ident of a section; false when missing.
  bool ReadRawIn(const String& Section, const String& Ident, TRegRawValue& Value);
  void WriteRawIn(const String& Section, const String& Ident, const TRegRawValue& Value);

  using TRegistry::ReadString;
  using TRegistry::ReadInteger;
  using TRegistry::ReadBool;
  using TRegistry::WriteString;
  using TRegistry::WriteInteger;
  using TRegistry::WriteBool;
  using TRegistry::DeleteKey;

 private:
  // Runs f with the section's key as the current key (created when Create).
  template <class F>
  bool WithSection(const String& Section, bool Create, F&& f);
  String fileName_;
};

// TRegistryIniFile: the TCustomIniFile interface over the registry. The
// empty section means the base key itself.
class TRegistryIniFile : public TCustomIniFile {
 public:
  // FileName is a key path below HKEY_CURRENT_USER (created when missing).
  explicit TRegistryIniFile(const String& FileName);
  TRegistryIniFile(const String& FileName, REGSAM AAccess);
  ~TRegistryIniFile() override;

  // Reads a string value; an integer value reads as its decimal text.
  String ReadString(const String& Section, const String& Ident, const String& Default) override;
  void WriteString(const String& Section, const String& Ident, const String& Value) override;
  // Reads an integer value, or a string value as a number (raising
  // EConvertError when it is none); Default when missing.
  int ReadInteger(const String& Section, const String& Ident, int Default) override;
  // Writes a DWORD, or decimal text where a string value of the name exists.
  void WriteInteger(const String& Section, const String& Ident, int Value) override;
  void ReadSection(const String& Section, TStrings* Strings) override;
  void ReadSections(TStrings* Strings) override;
  void ReadSectionValues(const String& Section, TStrings* Strings) override;
  void EraseSection(const String& Section) override;
  void DeleteKey(const String& Section, const String& Ident) override;
  bool ValueExists(const String& Section, const String& Ident) override;
  void UpdateFile() override {}

  TRegIniFile* GetRegIniFile() const { return reg_; }

 private:
  TRegIniFile* reg_;
};
