// The registry-file component: exports a key's branch to a registry file
// and imports registry files into the registry. Windows only.
#pragma once

#include "app/RegFile.h"
#include "app/RegRoots.h"
#include "classlib/Classes.h"
#include "classlib/SysUtils.h"

struct TRegExportResult {
  size_t Keys = 0;
  size_t Values = 0;
  bool Unicode = false;  // written as "Windows Registry Editor Version 5.00"
};

class TIORegistry : public TComponent {
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

  String Filename = L"RegistryDump.reg";
  TRootKeys RootKey = rkHKEY_CURRENT_USER;
  bool IncludeSubKeys = true;
  String KeyToGet;

  // Exports the key KeyPath (with or without a leading backslash; empty
  // for the root key) below the root of that full name (empty: the current
  // user's) to FileName. Keys are only read, never created. Raises
  // ERegistryException when the key can't be opened or a part of the branch
  // can't be read (the file then holds what could be read), and a stream
  // error when the file can't be written.
  TRegExportResult ExportRegistry(const String& RootName, const String& KeyPath, const String& FileName,
                                  bool IncludeSubKeys);
  TRegExportResult ExportRegistry(const String& RootName, const String& KeyPath) {
    return ExportRegistry(RootName, KeyPath, Filename, IncludeSubKeys);
  }
  TRegExportResult ExportRegistry();

  // Collects the branch into a writer (used by ExportRegistry).
  void CollectBranch(TRegRoot Root, const String& RootName, const String& KeyPath, bool IncludeSubKeys,
                     TRegFileWriter& Writer);

  // Imports a registry file (ANSI, or UTF-16 of either byte order by its
  // byte-order mark). A missing file raises EFOpenError
  // "File \"<name>\" not found."; a registry failure raises, with the
  // lines before it applied (and, as values are written side by side, possibly
  // some values of other keys after it). Lines that can't be read are counted.
  TRegImportResult ImportRegistry(const String& FileName, bool Unused = true);
  TRegImportResult ImportRegistry() { return ImportRegistry(Filename, true); }
  // Imports lines already read.
  TRegImportResult ImportLines(const std::vector<String>& Lines, bool Unicode);
};
