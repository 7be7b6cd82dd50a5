// The registry-file component: exports a key's branch to a registry file
// (or to its RegistryData lines), imports registry files (or those lines)
// into the registry, compares two dumps and reads and writes single values.
// Windows only.
#pragma once

#include <atomic>
#include <cstdint>

#include "app/RegFile.h"
#include "app/RegRoots.h"
#include "classlib/Classes.h"
#include "classlib/Events.h"
#include "classlib/Registry.h"
#include "classlib/SysUtils.h"

struct TRegExportResult {
  size_t Keys = 0;
  size_t Values = 0;
  bool Unicode = false;  // written as "Windows Registry Editor Version 5.00"
  bool Stopped = false;  // stopped through StopRequested: nothing was written
  // Left out of the file: keys and values whose names hold a line break or
  // a NUL, which a registry file can't hold (a left-out key takes its
  // values and subkeys along).
  size_t LeftOutKeys = 0;
  size_t LeftOutValues = 0;
  // Text values written whose data lacks its final NUL character: imported
  // from the file, they are stored with one added.
  size_t GainNul = 0;
  // Both told to the user: how many, why, and the first few by name; empty
  // when there are none.
  String Notes;
  // Keys that could not be read whole (the system refused them): the file
  // lacks their values or subkeys.
  size_t UnreadKeys = 0;
};

// Raised by an export whose file is written but lacks keys that could not
// be read: the message names the first of them with the system's reason
// (and adds the result's Notes); Result tells what was written.
class ERegExportIncomplete : public ERegistryException {
 public:
  ERegExportIncomplete(const String& Message, const TRegExportResult& R) : ERegistryException(Message), Result(R) {}
  Exception* Clone() const override { return new ERegExportIncomplete(*this); }
  [[noreturn]] void Raise() const override { throw *this; }
  const char* ClassName() const override { return "ERegExportIncomplete"; }
  TRegExportResult Result;
};

// The key to export can't be opened (gone, not readable, a link to a key
// that is not there): nothing was read and no file is written.
ZEMBRIO_DECLARE_EXCEPTION(ERegExportUnreadable, ERegistryException)

// "1 key", "2 values", "1 key and 2 values" (Keys or Values may be 0, not both).
String KeysAndValuesText(size_t Keys, size_t Values);

// Where an export puts its lines and where an import takes them from.
enum TExpImpSource : unsigned char { eiFile, eiProperty };

// Progress of a comparison, an export or an import: Sender, progress,
// level, maxprogress, maxlevel. The last event of a run has all four
// numbers 0.
using TProgressEvent = TEvent<void(TObject*, uint32_t, uint32_t, uint32_t, uint32_t)>;

// The format properties (RegHeader, DataNameValueDelim, StringStartEndChar,
// RootStart, RootEnd, HexIntPrefix, BinaryPrefix, ExpStringPrefix,
// KeyLevelDelim) are those of TRegFileFormat, with regedit's values.
class TIORegistry : public TComponent, public TRegFileFormat {
 public:
  explicit TIORegistry(TComponent* AOwner = nullptr) : TComponent(AOwner) {}
  const char* ClassName() const override { return "TIORegistry"; }

  // The component's own root-key enumeration.
  enum TRootKeys : unsigned char {
    rkHKEY_CLASSES_ROOT,
    rkHKEY_CURRENT_USER,
    rkHKEY_LOCAL_MACHINE,
    rkHKEY_USERS,
    rkHKEY_CURRENT_CONFIG,
    rkHKEY_DYN_DATA,
    rkNONE
  };

  // Compare output: blocks of the keys only the first dump has, blocks of
  // the keys only the second has, and the changed value lines of the keys
  // both have; each begins with RegHeader.
  TStringList NewKeyList;
  TStringList DeletedKeyList;
  TStringList ExistingKeyList;
  String Filename = L"RegistryDump.reg";
  TRootKeys RootKey = rkHKEY_CURRENT_USER;
  bool IncludeSubKeys = true;
  String KeyToGet;
  TExpImpSource ExportDestination = eiFile;
  TExpImpSource ImportSource = eiFile;
  // The lines an export without a file (or with ExportDestination
  // eiProperty) appends, and an import with ImportSource eiProperty reads.
  TStringList RegistryData;
  String RemovedPrefix = L"Removed : ";
  String AddedPrefix = L"Added   : ";
  // Fires on the thread that runs the work, only when assigned, one call
  // at a time. Export: level 1 reading the branch (parts read of all
  // parts), level 2 writing; import (on the reading thread and on the
  // threads that write): level 1 lines read of all lines, level 2 keys and
  // values written of all lines, which overlap; compare: levels 1 to 7.
  TProgressEvent OnProgressChange;

  // Set (from any thread) to stop the export or import under way: an
  // export then writes nothing, an import stops reading after the line it
  // is on and writing at the next value (what was written stays).
  // Every export and import clears it when it ends.
  std::atomic<bool> StopRequested{false};

  // Exports the key KeyPath (with or without a leading backslash; empty
  // for the root key) below the root of that full name (empty: the current
  // user's) to FileName, or appends the lines to RegistryData when FileName
  // is empty or ExportDestination is eiProperty. Keys are only read, never
  // created. Raises ERegExportUnreadable (an ERegistryException) when the
  // key can't be opened (gone, not readable, a link to a key that is not
  // there; nothing is written), ERegExportIncomplete when a part of the
  // branch can't be read (naming the first keys that could not be read and
  // why, a dangling link among them, and the result's Notes; the file then
  // holds what could be read), and a stream error when the file can't be
  // written. Keys and values left out for their names are no failure: the
  // result counts and names them.
  TRegExportResult ExportRegistry(const String& RootName, const String& KeyPath, const String& FileName,
                                  bool IncludeSubKeys);
  TRegExportResult ExportRegistry(const String& RootName, const String& KeyPath) {
    return ExportRegistry(RootName, KeyPath, Filename, IncludeSubKeys);
  }
  TRegExportResult ExportRegistry();

  // Reads the branch into Writer (the reading half of ExportRegistry);
  // false when stopped. Raises as ExportRegistry does.
  bool CollectBranch(TRegRoot Root, const String& RootName, const String& KeyPath, bool IncludeSubKeys,
                     TRegFileWriter& Writer) {
    return _GetKeyList(Root, RootName, KeyPath, IncludeSubKeys, Writer);
  }

  // Imports a registry file (ANSI, or UTF-16 of either byte order by its
  // byte-order mark), or the RegistryData lines with ImportSource
  // eiProperty. A missing file raises EFOpenError "File \"<name>\" not
  // found."; a file whose first line that is not blank is no registry
  // header raises ENotRegistryFile and writes nothing (RegistryData lines
  // need no header), one in UTF-8 (a header after a UTF-8 byte-order mark,
  // or without one, bytes beyond ASCII that are all UTF-8 sequences)
  // EUtf8RegistryFile, saying which encodings are read; a registry failure raises,
  // with the lines before it applied (and, as values are written side by
  // side, possibly some values of other keys after it). Lines that can't be
  // read are counted.
  TRegImportResult ImportRegistry(const String& FileName, bool Unused = true);
  TRegImportResult ImportRegistry() { return ImportRegistry(Filename, true); }
  // Imports the lines of a file already read (its header checked).
  TRegImportResult ImportLines(const std::vector<String>& Lines, bool Unicode);

  // Compares two dumps given as registry-file lines and fills NewKeyList,
  // DeletedKeyList and ExistingKeyList; false when anything failed.
  bool CompareRegFiles(const TStrings& First, const TStrings& Second);

  // Single values of the key Key below RootKey (rkNONE: the current user's);
  // the key is never created. A get gives Default when the read fails, a
  // set false when the write fails.
  int GetRegistryValue(const String& Key, const String& Name, int Default);
  bool GetRegistryValue(const String& Key, const String& Name, bool Default);
  String GetRegistryValue(const String& Key, const String& Name, const String& Default);
  String GetRegistryValue(const String& Key, const String& Name, const wchar_t* Default) {
    return GetRegistryValue(Key, Name, String(Default));
  }
  bool SetRegistryValue(const String& Key, const String& Name, int Value);
  bool SetRegistryValue(const String& Key, const String& Name, bool Value);
  bool SetRegistryValue(const String& Key, const String& Name, const String& Value);
  bool SetRegistryValue(const String& Key, const String& Name, const wchar_t* Value) {
    return SetRegistryValue(Key, Name, String(Value));
  }

  // The kind of a registry-file line by the format properties.
  TRegLineKind _whatIsThisLine(const String& Line) const { return ClassifyRegLine(Line, *this); }

  // Registers the class for form readers (by name); each call after the
  // first does nothing.
  static void Register();

 protected:
  // Stored with the form where they differ from what the constructor sets:
  // the four line lists, the format properties, Filename, RootKey,
  // IncludeSubKeys, KeyToGet, ExportDestination, ImportSource, the compare
  // prefixes and OnProgressChange (by the name its form offers it under).
  void DefineProperties(TFiler* Filer) override;

 private:
  // The full name of a root-key value (rkNONE: the empty text).
  static String _ExtractRootKey(TRootKeys Root);
  // The full name of a root handle; any other handle gives
  // "HKEY_CURRENT_USER".
  static String _GetHKEYKeyAsString(TRegRoot Root);
  // The handle of a full root name; any other text gives the current user's.
  static TRegRoot _GetHKEYKey(const String& Name);
  TRegRoot SingleValueRoot() const { return _GetHKEYKey(_ExtractRootKey(RootKey)); }

  TRegExportResult _DoExportRegistryKey(TRegRoot Root, const String& RootName, const String& KeyPath,
                                        const String& FileName, bool IncludeSubKeys);
  // Reads the branch into Writer; false when stopped. Keys that could not
  // be read whole are counted in Unread, and raised (as ERegistryException
  // naming them) only when Unread is not given.
  bool _GetKeyList(TRegRoot Root, const String& RootName, const String& KeyPath, bool IncludeSubKeys,
                   TRegFileWriter& Writer, size_t* Unread = nullptr, String* UnreadText = nullptr);
  // FileLines: the lines of a file, which must begin with a header.
  TRegImportResult _DoImportRegistryKey(const std::vector<String>& Lines, bool Unicode, bool FileLines);
  bool _CompareTwoRegFiles(const TStrings& First, const TStrings& Second);
  // The lines of First that are empty or key lines (progress Level).
  std::vector<String> _getKeyListToCompare(const TStrings& Lines, uint32_t Level);
  void Progress(uint32_t Value, uint32_t Level, uint32_t Max, uint32_t MaxLevel);
};

ZEMBRIO_DECLARE_EXCEPTION(ENotRegistryFile, Exception)
ZEMBRIO_DECLARE_EXCEPTION(EUtf8RegistryFile, ENotRegistryFile)
