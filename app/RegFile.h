// Registry-file text: writing a branch as "REGEDIT4" (ANSI) or, when a
// name or text doesn't fit the ANSI code page, as "Windows Registry Editor
// Version 5.00" (UTF-16LE); reading both forms as regedit writes them.
// Portable: no registry access here, the caller supplies and applies the
// keys and values.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/RegRoots.h"
#include "classlib/SysUtils.h"

extern const wchar_t* const RegHeader4;  // "REGEDIT4"
extern const wchar_t* const RegHeader5;  // "Windows Registry Editor Version 5.00"

// The characters and prefixes of registry-file text. The defaults are
// regedit's; the writer and the reader take them from here.
struct TRegFileFormat {
  String RegHeader = RegHeader4;         // the ANSI form's header line
  wchar_t DataNameValueDelim = L'=';     // between a value's name and its data
  wchar_t StringStartEndChar = L'"';     // encloses names and string data
  wchar_t RootStart = L'[';              // opens a key line
  wchar_t RootEnd = L']';                // closes a key line
  String HexIntPrefix = L"dword:";       // integer data
  String BinaryPrefix = L"hex:";         // binary data
  String ExpStringPrefix = L"hex(2):";   // expandable-string data
  wchar_t KeyLevelDelim = L'\\';         // between the root name and the levels of a key path
};

// What a line of a registry file is.
enum TRegLineKind : unsigned char { rlkHEADER, rlkKEY, rlkDATA, rlkCOMMENT, rlkUNKNOWN };

// The kind of a line, looked at without its leading blanks and control
// characters: one of the two headers, a key line (RootStart), a data line
// (StringStartEndChar, or "@" for a key's default value), a comment (";");
// anything else, an empty line included, is rlkUNKNOWN.
TRegLineKind ClassifyRegLine(const String& Line, const TRegFileFormat& Format = TRegFileFormat());

// True when the first line that is not blank is one of the two headers:
// anything else is not a registry file.
bool HasRegFileHeader(const std::vector<String>& Lines, const TRegFileFormat& Format = TRegFileFormat());

// Collects a branch and renders it as file bytes.
class TRegFileWriter {
 public:
  explicit TRegFileWriter(const TRegFileFormat& Format = TRegFileFormat()) : format_(Format) {}

  // A key line: RootName and the key path below it (no leading backslash;
  // empty for the root key itself, written as "[ROOT]").
  void AddKey(const String& RootName, const String& Path);
  // A value of the last key: its name (empty for the default value), its
  // registry type and its bytes as the registry holds them.
  void AddValue(String Name, uint32_t Type, std::string Data);

  // True when the file must be written in the Unicode form.
  bool NeedsUnicode() const;
  // The whole file: ANSI text for "REGEDIT4", or a byte-order mark and
  // UTF-16LE text for version 5. Lines end in CR LF.
  std::string Render() const;
  // The same as lines (without line ends), for the chosen form.
  std::vector<String> RenderLines() const;

  // Moves what Other collected (apart, another thread's part of the same
  // branch, say) to the end of this writer, as if it had been added here.
  void Append(TRegFileWriter&& Other);

  size_t KeyCount() const { return keyCount_; }
  size_t ValueCount() const { return values_.size() - keyCount_; }
  // Keys and values left out because a line break or a NUL in their name or path
  // has no form in a registry file (a left-out key takes its values along).
  size_t Unwritable() const { return unwritable_; }
  size_t UnwritableKeys() const { return unwritableKeys_; }
  // Text values written whose data lacks its final NUL character: read back
  // from the file they get one, as text from a registry file is stored.
  size_t GainsNul() const { return gainsNul_.Count; }
  // The first few of each by name, and how many could be named: a key as
  // its full name, a value as its key's full name, ", value " and its
  // quoted name (the values of a left-out key are not named apart); line
  // breaks and NULs show as <CR>, <LF> and <NUL>.
  static constexpr size_t kNamed = 5;
  const std::vector<String>& UnwritableNamed() const { return unwritableNamed_.Named; }
  size_t UnwritableNameable() const { return unwritableNamed_.Count; }
  const std::vector<String>& GainsNulNamed() const { return gainsNul_.Named; }

 private:
  struct Entry {
    bool isKey;
    String name;  // key: "ROOT\path" text between the brackets; value: its name
    uint32_t type;
    std::string data;
  };
  // A count and the first kNamed names.
  struct TNamedCount {
    size_t Count = 0;
    std::vector<String> Named;
    void Add(String Name);
    void Append(TNamedCount&& Other);
  };
  TRegFileFormat format_;
  std::vector<Entry> values_;
  size_t keyCount_ = 0;
  size_t unwritable_ = 0;
  size_t unwritableKeys_ = 0;
  TNamedCount unwritableNamed_;  // the left-out keys and the values left out for their own names
  TNamedCount gainsNul_;
  size_t lastKey_ = SIZE_MAX;  // the entry of the last key written, for naming its values
  const String& LastKeyName() const;
  bool skipping_ = false;
  mutable int unicode_ = -1;  // NeedsUnicode's answer until the next addition; -1 unknown
  bool ValueNeedsUnicode(const Entry& e) const;
  // Appends the value's line (without line end) to Line: its quoted name,
  // the delimiter and the data text.
  void _WriteToDummyList(String& Line, const Entry& e, bool unicode) const;
  // Appends the data text of a value by its type (string, dword, hex,
  // hex(2) or hex(n)) to Line.
  void _GetDataValue(String& Line, const Entry& e, bool unicode) const;
};

// Escapes backslashes and the quote character and encloses the text in
// quotes.
String RegQuote(const String& s, wchar_t Quote = L'"');

// What import does with the lines it reads.
class IRegFileSink {
 public:
  virtual ~IRegFileSink() = default;
  // Opens (creating) the key Path below Root; Path has no leading
  // backslash and is empty for the root key itself. Returns false when the
  // key can't be opened or created: its data lines are then skipped.
  virtual bool OpenKey(TRegRoot Root, const String& Path) = 0;
  // Deletes a key with everything below it ("[-ROOT\path]").
  virtual void DeleteKey(TRegRoot Root, const String& Path) = 0;
  // The 0-based index of the line the next change (SetValue, DeleteValue
  // or DeleteKey) comes from.
  virtual void DataLine(size_t Index) {}
  // Writes a value into the key opened last.
  virtual void SetValue(const String& Name, uint32_t Type, const std::string& Data) = 0;
  // Deletes a value of the key opened last ("name"=-).
  virtual void DeleteValue(const String& Name) = 0;
  // The end of the section of the key opened last: the 0-based index of its
  // key line, the lines it took (the key line and its data lines) and the
  // values written or deleted. A sink that opens keys later, and finds one
  // it can't open, hands these back so that they count as skipped.
  virtual void SectionEnd(size_t FirstLine, size_t Lines, int Values) {}
};

struct TRegImportResult {
  int Keys = 0;           // key lines applied
  int Values = 0;         // values written or deleted
  int DeletedKeys = 0;    // key deletions applied
  int SkippedLines = 0;   // lines that could not be read or applied
  int FirstSkippedLine = 0;  // 1-based number of the first of them, 0 if none
  int LinesRead = 0;      // lines handled (all of them unless stopped)
  int TotalLines = 0;
  // The progress callback asked to stop. An import into the registry then
  // gives in LinesRead the lines before the first one left unwritten, and
  // in Keys and Values what was written in all.
  bool Stopped = false;
  // Stopped while the keys' writers were apart: some lines after LinesRead
  // were written too.
  bool LaterLinesWritten = false;
};

struct TRegImportOptions {
  TRegFileFormat Format;
  // Called every few hundred lines with the lines handled so far and the
  // total; returning false stops the import after the line just handled.
  std::function<bool(size_t Done, size_t Total)> Progress;
};

// Reads the lines of a registry file and applies them to the sink. A
// header may stand anywhere; it decides whether hex(1), hex(2) and hex(7)
// data are ANSI bytes ("REGEDIT4") or UTF-16LE (version 5); before any
// header, Unicode tells. A line that can't be read, a root that is not one
// of the six and data lines without an open key are skipped and counted.
// A comment may follow the data or the key on its line, and comment and
// blank lines may stand between a hex value's continuation lines, as
// regedit allows. A hex value continued by a line that is no hex data is
// skipped whole with that line; one whose backslash follows a byte without
// its comma is skipped alone (the next line is read as usual), as is
// string data holding the escape "\0". Text data without its final NUL
// character gets one, as regedit stores it; text data of an odd byte count
// in a Unicode file (a value the registry held so, as the writer writes it)
// is stored exactly as given. Exceptions of the sink pass to the caller.
TRegImportResult ImportRegLines(const std::vector<String>& Lines, IRegFileSink& Sink, bool Unicode,
                                const TRegImportOptions& Options = TRegImportOptions());

// Decodes file bytes: UTF-16 by byte-order mark (either order), else the
// ANSI code page; splits lines only at CR, LF and CR LF. `Unicode` tells
// whether the file was UTF-16.
std::vector<String> DecodeTextLines(const std::string& Bytes, bool* Unicode = nullptr);
