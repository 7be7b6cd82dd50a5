// Access to the system registry: the key layer TRegKey, TRegistry on it,
// and the registry-backed settings files TRegIniFile and TRegistryIniFile.
// Windows only.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
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

// A root key carried as a number (the value of HKEY_CURRENT_USER and its
// siblings, as the editor keeps root keys), as the handle the registry
// functions take.
inline HKEY RootHandle(std::uintptr_t Root) { return reinterpret_cast<HKEY>(Root); }

// Buffers that a walk over many keys reuses for their values.
struct TRegValueBuffers {
  std::wstring Name;
  std::string Data;
};

// One open registry key: the layer below TRegistry and the editor's walks,
// over the fault seam further down (so the seam reaches every registry
// call made through it). Owns its handle, unless made as a view of a
// handle that someone else closes. Paths may have backslashes at their
// ends; the empty path is the root key itself.
class TRegKey {
 public:
  TRegKey() = default;
  // A view of Key: used, never closed, by this object. Path is only what
  // messages and subkeys' paths start from.
  explicit TRegKey(HKEY Key, const String& Path = String()) : key_(Key), path_(Path), owned_(false) {}
  TRegKey(TRegKey&& Other) noexcept;
  TRegKey& operator=(TRegKey&& Other) noexcept;
  TRegKey(const TRegKey&) = delete;
  TRegKey& operator=(const TRegKey&) = delete;
  ~TRegKey() { Close(); }

  // Opens the key Path below Root. False (the system's code in LastError)
  // when it can't.
  bool Open(HKEY Root, const String& Path, REGSAM Access = KEY_READ | KEY_WRITE);
  bool OpenReadOnly(HKEY Root, const String& Path) { return Open(Root, Path, KEY_READ); }
  // Opens the key, creating it and the missing keys on the way.
  bool Create(HKEY Root, const String& Path, REGSAM Access = KEY_READ | KEY_WRITE);
  // The same with the root as a number (see RootHandle).
  bool Open(std::uintptr_t Root, const String& Path, REGSAM Access = KEY_READ | KEY_WRITE) {
    return Open(RootHandle(Root), Path, Access);
  }
  bool OpenReadOnly(std::uintptr_t Root, const String& Path) { return Open(RootHandle(Root), Path, KEY_READ); }
  bool Create(std::uintptr_t Root, const String& Path) { return Create(RootHandle(Root), Path); }
  // A subkey (a name, or a relative path) of an open key; the empty name is
  // the key itself again.
  bool OpenSub(const TRegKey& Parent, const String& Name, REGSAM Access = KEY_READ);
  // The same as OpenSub, a link key being opened as itself (no subkeys of
  // its own, its target in its value SymbolicLinkValue), not as the key it
  // links to; a link to a key that is not there opens too. Links on the way
  // to it are followed.
  bool OpenSubItself(const TRegKey& Parent, const String& Name, REGSAM Access = KEY_READ);
  bool CreateSub(const TRegKey& Parent, const String& Name, REGSAM Access = KEY_READ | KEY_WRITE);
  // Creates the subkey Name (one name) of Parent as a new link key, opened
  // as itself: its value SymbolicLinkValue (REG_LINK, a native path such as
  // "\\Registry\\User\\...") then names the key it leads to. False (the
  // system's code in LastError) when it can't, ERROR_ALREADY_EXISTS when
  // Name is there already.
  bool CreateSubLink(const TRegKey& Parent, const String& Name, REGSAM Access = KEY_ALL_ACCESS);
  // True when the subkey Name (a relative path) of Parent is a link key: opened
  // as itself it has no subkeys and holds the REG_LINK value
  // SymbolicLinkValue, and opened as usual it is another key (or none: a link
  // to a key that is not there). Links on the way to it are followed.
  static bool IsLinkKey(const TRegKey& Parent, const String& Name);
  void Close();
  bool IsOpen() const { return key_ != nullptr; }
  // Hands the open handle to the caller, who closes it; the object is closed.
  HKEY Detach();
  HKEY Handle() const { return key_; }
  // The system's code of the last open, listing or info query that failed.
  LONG LastError() const { return lastError_; }
  // The path the key was opened by, without backslashes at its ends.
  const String& Path() const { return path_; }
  // The name the system keeps for the key ("\\REGISTRY\\USER\\..."): a key
  // reached through a link names the key the link leads to. Empty when the
  // system tells none (a root key's predefined handle, say).
  String SystemName() const;

  // One info query: counts and the longest name and data.
  bool QueryInfo(TRegKeyInfo& Info) const;
  bool HasSubKeys() const;
  bool KeyExists(const String& SubPath) const;
  bool ValueExists(const String& Name) const;
  bool Flush() const;

  // Subkey and value names in the registry's order; false (the code in
  // LastError) when the key can't be listed. With Info (this key's), no
  // second info query.
  bool ReadKeyNames(std::vector<String>& Names) const;
  bool ReadKeyNames(const TRegKeyInfo& Info, std::vector<String>& Names) const;
  // The one subkey name at Index in the registry's order; false (the code
  // in LastError, ERROR_NO_MORE_ITEMS past the last) when there is none.
  bool ReadKeyName(DWORD Index, String& Name) const;
  bool ReadValueNames(std::vector<String>& Names) const;
  // The same raising ERegistryException "Unable to list the subkeys (the
  // values) of the key <path>".
  std::vector<String> KeyNames() const;
  std::vector<String> KeyNames(const TRegKeyInfo& Info) const;
  std::vector<String> ValueNames() const;
  // Every value with its type and bytes, in one pass (cleared and false
  // when the key can't be enumerated).
  bool ReadValues(std::vector<TRegNamedValue>& Values) const;
  // The same for the values at the indexes From up to To (not included) of
  // the ones Info (this key's) counts: parts of one key read side by side.
  bool ReadValues(const TRegKeyInfo& Info, DWORD From, DWORD To, std::vector<TRegNamedValue>& Values) const;
  // Calls Each(name, type, data, size) for every value in the registry's
  // order, Info being this key's; bool Each returns false to stop. The
  // data is read only WithData (else data is null, size 0). A value that
  // outgrew the buffers meanwhile is read again into bigger ones. False
  // (the code in LastError) when the enumeration failed partway.
  // From and To limit the indexes visited.
  template <class F>
  bool ForEachValue(const TRegKeyInfo& Info, TRegValueBuffers& Buffers, bool WithData, F&& Each, DWORD From = 0,
                    DWORD To = MAXDWORD) const;

  // A value's type and bytes: ERROR_SUCCESS, ERROR_FILE_NOT_FOUND for a
  // missing value, or the system's error.
  LONG ReadValue(const String& Name, TRegRawValue& Value) const;
  // The same; false when the value is missing or unreadable.
  bool ReadValue(const String& Name, DWORD& Type, std::string& Data) const;
  // Raises ERegistryException "Failed to set data for '%s'".
  void WriteValue(const String& Name, DWORD Type, const void* Data, DWORD Size);
  void WriteValue(const String& Name, DWORD Type, const std::string& Data) {
    WriteValue(Name, Type, Data.data(), static_cast<DWORD>(Data.size()));
  }
  bool DeleteValue(const String& Name);
  // Deletes the subkey Name (a relative path) with everything below it.
  // Returns the system's code; on failure FailedPath (when given) names the
  // key that could not be opened or deleted, as a path below this key's
  // Path. A subkey that vanishes meanwhile counts as deleted. A link key
  // (Name itself or one below it) is deleted as itself: the key it links
  // to, which lies elsewhere, stays as it is, and a link to a key that is
  // not there goes too.
  LONG DeleteTree(const String& Name, String* FailedPath = nullptr);
  // Copies every value and subkey of this key into Target. A link key below
  // it is copied as a link to the same key (its SymbolicLinkValue bytes),
  // never as what it links to: a link back to a key above it can't make the
  // copy go round for ever.
  LONG CopyTo(const TRegKey& Target) const;
  // Copies the subkey Name (a relative path) with everything below it to
  // NewName (a relative path, its missing keys on the way created) below
  // Target, as CopyTo does; Name itself a link key is copied as a link.
  LONG CopySubTo(const String& Name, const TRegKey& Target, const String& NewName) const;

 private:
  // Writes Values (this key's) into Target and copies this key's subkeys,
  // as many as Info (this key's) counts, below it.
  LONG CopyInto(const TRegKey& Target, const TRegKeyInfo& Info, const std::vector<TRegNamedValue>& Values) const;
  // Itself, the subkey Name of Parent opened as itself, is another key
  // than Name opened as usual (or Name leads nowhere): it is a link.
  static bool LeadsElsewhere(const TRegKey& Parent, const String& Name, const TRegKey& Itself);
  LONG EnumValueAt(DWORD Index, TRegValueBuffers& Buffers, bool WithData, DWORD& NameLen, DWORD& Type,
                   DWORD& DataLen) const;
  void SizeValueBuffers(const TRegKeyInfo& Info, TRegValueBuffers& Buffers, bool WithData) const;
  bool GrowValueBuffers(TRegValueBuffers& Buffers, bool WithData) const;
  void Take(HKEY Key, const String& Path);

  HKEY key_ = nullptr;
  String path_;
  mutable LONG lastError_ = ERROR_SUCCESS;
  bool owned_ = true;
};

template <class F>
bool TRegKey::ForEachValue(const TRegKeyInfo& Info, TRegValueBuffers& Buffers, bool WithData, F&& Each, DWORD From,
                           DWORD To) const {
  if (Info.NumValues <= 0) return true;
  SizeValueBuffers(Info, Buffers, WithData);
  int retries = 0;
  // Counted by the info query: values removed meanwhile end the list early.
  const DWORD end = To < static_cast<DWORD>(Info.NumValues) ? To : static_cast<DWORD>(Info.NumValues);
  for (DWORD i = From; i < end;) {
    DWORD nameLen = 0, type = REG_NONE, dataLen = 0;
    const LONG rc = EnumValueAt(i, Buffers, WithData, nameLen, type, dataLen);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc == ERROR_MORE_DATA && ++retries <= 8 && GrowValueBuffers(Buffers, WithData)) continue;
    if (rc != ERROR_SUCCESS) {
      lastError_ = rc;
      return false;
    }
    retries = 0;
    if (!Each(std::wstring_view(Buffers.Name.data(), nameLen), type,
              WithData ? reinterpret_cast<const unsigned char*>(Buffers.Data.data()) : nullptr, dataLen))
      break;
    ++i;
  }
  return true;
}

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
  // deletes OldName when Delete is set; link keys (OldName itself too) are
  // copied and deleted as links, never what they link to. Does nothing when
  // OldName is missing or NewName exists. Refuses (ERegistryException) to
  // move a key into its own subtree; when the copy fails midway, the
  // partial copy is removed, the source stays, and ERegistryException is
  // raised.
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
// ERROR_ACCESS_DENIED); Count -1 means until cleared. With Skip, that many
// calls of it go through first. Thread-safe.
void RegistryFailNext(const String& Operation, int Count, LONG ErrorCode, int Skip = 0);
// Every open of a key named Name (its last path component, letter case
// aside), under any root, fails with ErrorCode until the faults are
// cleared: a key the user may not read. ERROR_SUCCESS lifts it.
void RegistryRefuseKey(const String& Name, LONG ErrorCode);
void RegistryClearFaults();

// ---------------------------------------------------------------------------
// TRegIniFile: sections are subkeys of the open key (the one opened at
// creation, or any opened later); the settings are values in them, all
// written as string values like the lines of an ini file (integers and
// booleans as decimal text). Reading an integer accepts a DWORD value or
// decimal text, reading a text a string or DWORD value; any other value
// (binary data, say) reads as the default, as a missing one does.
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
  // Runs f with the section's key as the current key (created when Create),
  // opened with Access (0: the file's own; reads ask for KEY_READ only, so
  // that a section one may read but not write still reads).
  template <class F>
  bool WithSection(const String& Section, bool Create, F&& f, REGSAM Access = 0);
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
