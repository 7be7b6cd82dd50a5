// Settings files: the abstract TCustomIniFile, the text-file TMemIniFile
// (in memory until UpdateFile) and TIniFile (every write goes straight to
// the file). Portable.
#pragma once

#include <memory>
#include <vector>

#include "classlib/Classes.h"
#include "classlib/SysUtils.h"

ZEMBRIO_DECLARE_EXCEPTION(EIniFileException, Exception)

class TCustomIniFile : public TObject {
 public:
  explicit TCustomIniFile(const String& FileName) : fileName_(FileName) {}
  const String& GetFileName() const { return fileName_; }

  virtual String ReadString(const String& Section, const String& Ident, const String& Default) = 0;
  virtual void WriteString(const String& Section, const String& Ident, const String& Value) = 0;
  // Decimal, "$hex" or "0xhex"; Default when missing or not a number.
  virtual int ReadInteger(const String& Section, const String& Ident, int Default);
  virtual void WriteInteger(const String& Section, const String& Ident, int Value);
  // Any nonzero number is true; written as "1" / "0".
  virtual bool ReadBool(const String& Section, const String& Ident, bool Default);
  virtual void WriteBool(const String& Section, const String& Ident, bool Value);
  virtual double ReadFloat(const String& Section, const String& Ident, double Default);
  virtual void WriteFloat(const String& Section, const String& Ident, double Value);

  // The names in a section, the section names, and Name=Value lines.
  virtual void ReadSection(const String& Section, TStrings* Strings) = 0;
  virtual void ReadSections(TStrings* Strings) = 0;
  virtual void ReadSectionValues(const String& Section, TStrings* Strings) = 0;
  virtual void EraseSection(const String& Section) = 0;
  virtual void DeleteKey(const String& Section, const String& Ident) = 0;
  virtual void UpdateFile() = 0;
  virtual bool SectionExists(const String& Section);
  virtual bool ValueExists(const String& Section, const String& Ident);

 private:
  String fileName_;
};

// An ini file held in memory; UpdateFile writes it back. Sections and names
// compare without regard to case; order of first appearance is kept.
class TMemIniFile : public TCustomIniFile {
 public:
  // Loads FileName when it exists (missing file: empty).
  explicit TMemIniFile(const String& FileName);
  ~TMemIniFile() override;

  String ReadString(const String& Section, const String& Ident, const String& Default) override;
  void WriteString(const String& Section, const String& Ident, const String& Value) override;
  void ReadSection(const String& Section, TStrings* Strings) override;
  void ReadSections(TStrings* Strings) override;
  void ReadSectionValues(const String& Section, TStrings* Strings) override;
  void EraseSection(const String& Section) override;
  void DeleteKey(const String& Section, const String& Ident) override;
  // Writes the file: ANSI text, or UTF-16 with a byte-order mark when some
  // text has no ANSI form. Raises EFCreateError when it can't be written.
  void UpdateFile() override;

  void Clear();
  // The whole file as lines / from lines.
  void GetStrings(TStrings* List) const;
  void SetStrings(const TStrings* List);

 protected:
  struct Entry {
    String Name;
    String Value;
  };
  struct Section {
    String Name;
    std::vector<Entry> Entries;
  };
  void LoadValues();
  Section* FindSection(const String& Name);
  std::vector<Section> sections_;
  String path_;
};

// An ini file that reads the file afresh for each read and writes it after
// each change, like the system's profile functions.
class TIniFile : public TMemIniFile {
 public:
  explicit TIniFile(const String& FileName);
  ~TIniFile() override;

  String ReadString(const String& Section, const String& Ident, const String& Default) override;
  void WriteString(const String& Section, const String& Ident, const String& Value) override;
  void ReadSection(const String& Section, TStrings* Strings) override;
  void ReadSections(TStrings* Strings) override;
  void ReadSectionValues(const String& Section, TStrings* Strings) override;
  void EraseSection(const String& Section) override;
  void DeleteKey(const String& Section, const String& Ident) override;
  void UpdateFile() override;
};
