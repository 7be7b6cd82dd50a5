// The six registry root keys, their names, and helpers on key paths and
// free names. Portable: root keys are carried as the numeric value of the
// platform's predefined handles, so this builds without Windows headers.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "classlib/SysUtils.h"

// A registry root-key handle as a number (the value of HKEY_CLASSES_ROOT
// and its siblings, sign-extended as on 64-bit Windows). 0 is the null
// handle that no root key has.
using TRegRoot = std::uintptr_t;

namespace RegRoot {
constexpr TRegRoot ClassesRoot = static_cast<TRegRoot>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000000u)));
constexpr TRegRoot CurrentUser = static_cast<TRegRoot>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000001u)));
constexpr TRegRoot LocalMachine = static_cast<TRegRoot>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000002u)));
constexpr TRegRoot Users = static_cast<TRegRoot>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000003u)));
constexpr TRegRoot PerformanceData = static_cast<TRegRoot>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000004u)));
constexpr TRegRoot CurrentConfig = static_cast<TRegRoot>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000005u)));
constexpr TRegRoot DynData = static_cast<TRegRoot>(static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000006u)));
constexpr TRegRoot None = 0;
}  // namespace RegRoot

// How a root key is named: always short, always full, or short only when
// the option AbbrBaseKeyNames is set.
enum TRootNameMode : unsigned char { rnmShort = 0, rnmFull = 1, rnmByOption = 2 };

struct TRootKeyEntry {
  TRegRoot Root;
  const wchar_t* FullName;
  const wchar_t* ShortName;
};

// The six root keys in their fixed order (the order of the tree and the
// search). HKEY_PERFORMANCE_DATA is not among them.
constexpr int RootKeyCount = 6;
extern const TRootKeyEntry RootKeyTable[RootKeyCount];

// Name of a root key; `abbreviate` is the AbbrBaseKeyNames option, used by
// mode rnmByOption. A handle outside the table gives the empty text.
String RootKeyName(TRegRoot Root, TRootNameMode Mode, bool abbreviate);
// Root key of a full or short name, compared without regard to case (the
// registry ignores case too); RegRoot::None when no name matches.
TRegRoot RootKeyFromName(const String& Name);
// Root key of an abbreviation that other registry tools write and accept
// ("HKCR", "HKCU", "HKLM", "HKU", "HKCC"), without regard to case;
// RegRoot::None for any other text.
TRegRoot RootOfAbbreviation(const String& Name);
// Index of a root key in RootKeyTable, or -1.
int RootKeyIndex(TRegRoot Root);

// Splits "ROOT\path" (an optional leading backslash is dropped): returns the
// root name and leaves in Text the key path with its leading backslash
// ("HKEY_USERS\A\B" gives "HKEY_USERS" and "\A\B"; "HKEY_USERS" gives an
// empty path).
String SplitRegistryPath(String& Text);
// The last non-empty component of a key path ("Software\A\B\" gives "B").
String GetKeyNameFromPath(const String& Path);
// A key path in the form the API wants: no leading or trailing backslash.
String ApiKeyPath(const String& Path);
// Joins a parent path and a child name with one backslash.
String JoinKeyPath(const String& Parent, const String& Name);
// True when Name can be a key name: not empty and without a backslash.
bool IsValidKeyName(const String& Name);
// Case-insensitive comparison of two key paths (the registry's rule),
// ignoring a leading and a trailing backslash.
bool SameKeyPath(const String& A, const String& B);

// "New <typeWord> Value", then "... #2", "#3"...: the first name for which
// exists(name) is false.
String NewValueName(const std::function<bool(const String&)>& exists, const String& typeWord);
// "New Key", then "New Key #2", ...: the first name for which exists is false.
String NewKeyName(const std::function<bool(const String&)>& exists);

// Text conversion between String and UTF-16 code units (String holds
// UTF-32 in the host build).
std::u16string ToUtf16(std::wstring_view s);
String FromUtf16(std::u16string_view s);
// True when every character of s survives a round trip through the ANSI
// code page (no best-fit substitutions, no default characters).
bool FitsAnsi(std::wstring_view s);
