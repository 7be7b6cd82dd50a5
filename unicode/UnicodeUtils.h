// Wide-string helpers: zero-terminated UTF-16 primitives, operations on
// WideString, code pages and keyboard, code blocks, and UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "unicode/WideTypes.h"

// --- zero-terminated wide strings (lengths and counts in characters) -------
std::size_t StrLenW(const WideChar* S);
WideChar* StrEndW(const WideChar* S);
WideChar* StrMoveW(WideChar* Dest, const WideChar* Source, std::size_t Count);
WideChar* StrCopyW(WideChar* Dest, const WideChar* Source);
WideChar* StrECopyW(WideChar* Dest, const WideChar* Source);
WideChar* StrLCopyW(WideChar* Dest, const WideChar* Source, std::size_t MaxLen);
// Converts S from the system ANSI code page; Dest must hold S.size() + 1.
WideChar* StrPCopyW(WideChar* Dest, const AnsiString& S);
// Widens MaxLen bytes of S one by one (no code page), without terminator.
WideChar* StrPLCopyW(WideChar* Dest, const AnsiString& S, std::size_t MaxLen);
WideChar* StrCatW(WideChar* Dest, const WideChar* Source);
WideChar* StrLCatW(WideChar* Dest, const WideChar* Source, std::size_t MaxLen);
int StrCompW(const WideChar* S1, const WideChar* S2);
int StrICompW(const WideChar* S1, const WideChar* S2);
int StrLCompW(const WideChar* S1, const WideChar* S2, std::size_t MaxLen);
int StrLICompW(const WideChar* S1, const WideChar* S2, std::size_t MaxLen);
// First Ch in S (the terminator can be found), or nullptr.
WideChar* StrScanW(const WideChar* S, WideChar Ch);
// First Ch among the first Count characters (terminators don't stop the
// scan); nullptr when there is none, for no string and for Count <= 0.
WideChar* StrScanW(const WideChar* S, WideChar Ch, std::ptrdiff_t Count);
WideChar* StrRScanW(const WideChar* S, WideChar Ch);
// Characters of S1 before the first one that occurs in S2; -1 for no string.
int StrNScanW(const WideChar* S1, const WideChar* S2);
// Characters at the end of S1 after the last one that occurs in S2 (the
// whole length when none does); -1 for no string.
int StrRNScanW(const WideChar* S1, const WideChar* S2);
WideChar* StrPosW(const WideChar* S1, const WideChar* S2);
WideChar* StrUpperW(WideChar* S);
WideChar* StrLowerW(WideChar* S);
WideChar* StrTitleW(WideChar* S);
// Blocks with a hidden size header; free them with StrDisposeW.
WideChar* StrAllocW(std::size_t Size);
std::size_t StrBufSizeW(const WideChar* S);
WideChar* StrNewW(const WideChar* S);
void StrDisposeW(WideChar* S);
void StrSwapByteOrder(WideChar* S);

// --- WideString (positions 1-based) ------------------------------------------
WideString WideQuotedStr(const WideString& S, WideChar Quote);
// When P points at Quote, reads the quoted text (a doubled Quote stands for
// one), leaves P after the closing Quote (or at the terminator) and returns
// the text; otherwise returns the empty text and leaves P.
WideString WideExtractQuotedStr(const WideChar*& P, WideChar Quote);
WideString WideStringOfChar(WideChar C, int Count);
WideString WideTrim(const WideString& S);
WideString WideTrimLeft(const WideString& S);
WideString WideTrimRight(const WideString& S);
int WideCharPos(const WideString& S, WideChar Ch, int Index);
// Every CR LF, lone CR and lone LF becomes one U+2028.
WideString WideAdjustLineBreaks(const WideString& S);
WideChar WideUpCase(WideChar C);
WideChar WideLoCase(WideChar C);
WideChar WideTitleCaseChar(WideChar C);
WideString WideUpperCase(const WideString& S);
WideString WideLowerCase(const WideString& S);
WideString WideTitleCaseString(const WideString& S);

// --- code pages and keyboard --------------------------------------------------
// The ANSI code page of the locale, else the system's ANSI code page. The
// host build knows only code page 1252.
unsigned CodePageFromLocale(std::uint32_t Language);
unsigned KeyboardCodePage();
WideChar KeyUnicode(char C);
// S converted from the code page (0: the system ANSI code page); the result
// holds exactly the characters converted.
WideString CodePageToWideString(const AnsiString& S, unsigned CodePage);
// S converted to the code page (0: the system ANSI code page). Lost is set
// when the result does not convert back to S: a character had no form
// there and the converter put its default or a look-alike in its place.
AnsiString WideStringToCodePage(const WideString& S, unsigned CodePage, bool* Lost = nullptr);
// The user's default locale.
std::uint32_t UserDefaultLocale();

// Index of the code block holding C (67 for none of them).
int CodeBlockFromChar(WideChar C);

// --- UTF-8 --------------------------------------------------------------------
// Surrogate pairs become one 4-byte sequence, a lone surrogate U+FFFD.
std::string WideStringToUTF8(const WideString& S);
// Strict decoding: overlong forms, encoded surrogates, values above U+10FFFF,
// stray and missing continuation bytes each give one U+FFFD.
WideString UTF8ToWideString(const std::string& S);
