// The bookmark file: three lines per bookmark (description, full root-key
// name, key path), lines ended by CR LF. Written in the ANSI code page when
// every character fits, else as UTF-16LE with a byte-order mark; both are
// read (UTF-16 of either byte order by its mark).
#pragma once

#include <string>
#include <vector>

#include "app/RegRoots.h"
#include "classlib/SysUtils.h"

ZEMBRIO_DECLARE_EXCEPTION(EBookmarkFileError, Exception)

struct TBookmark {
  String Description;
  TRegRoot RootKey = RegRoot::None;
  String KeyPath;  // each component preceded by a backslash; empty for a root key
  // The file's root-key line of a bookmark whose root key is not known
  // (RootKey None), or that names it by an abbreviation (HKLM...): written
  // back as it was read.
  String RootText;
};

// The root-key line a bookmark is written with.
String BookmarkRootLine(const TBookmark& B);

// Whether a key path can be kept in the bookmark file, one line per path:
// a key whose name holds a line break can't be.
bool BookmarkPathStorable(const String& KeyPath);

// The file a BookmarkFile setting names. A name in double quotes, as
// Explorer's "Copy as path" gives it, stands for the name inside them; any
// other name is taken as it is (a quote at one end only is no pair, and a
// name with a quote names no file).
String BookmarkFileFromSetting(const String& Setting);

// The file's bytes for a list of bookmarks. A bookmark whose path can't be
// stored is left out (never written as some other key's path).
std::string EncodeBookmarks(const std::vector<TBookmark>& Bookmarks);
// Appends the bookmarks of the file's bytes to Out, in file order. The root
// line takes the full and short names and the abbreviations (HKLM...); an
// abbreviation, and any other text (which gives RegRoot::None), is kept in
// RootText. A last group of fewer
// than three lines raises EBookmarkFileError after the complete groups
// before it were appended.
void DecodeBookmarks(const std::string& Bytes, std::vector<TBookmark>& Out);

// Whole files. Save replaces the file; a failure raises an Exception that
// names the file (the old file is kept when the new one can't be written).
void SaveBookmarkFile(const String& FileName, const std::vector<TBookmark>& Bookmarks);
// Returns false (Out unchanged) when the file doesn't exist; raises when it
// can't be read or is cut short.
bool LoadBookmarkFile(const String& FileName, std::vector<TBookmark>& Out);

// Whole-file helpers shared with the registry-file component.
std::string ReadFileBytes(const String& FileName);  // raises EFOpenError
// Writes through a temporary file beside the target, then replaces it.
void WriteFileBytes(const String& FileName, const std::string& Bytes);  // raises EFCreateError
