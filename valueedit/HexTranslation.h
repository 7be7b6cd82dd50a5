// Character translations of the hex editor's character field: the data can
// be shown and typed as Windows ANSI, DOS (OEM), 7-bit ASCII, Macintosh,
// EBCDIC or through a pair of tables supplied by the host.
#pragma once

#include <cstddef>
#include <cstdint>

#include "classlib/SysUtils.h"

enum THexTranslationKind : uint8_t { tkAsIs, tkDos8, tkASCII, tkMac, tkBCD, tkCustom };

constexpr int kHexTranslationKindCount = 6;

// Long and short display names of the kinds, indexed by kind.
extern const String HexTranslationDesc[kHexTranslationKindCount];
extern const String HexTranslationDescShort[kHexTranslationKindCount];

// Macintosh <-> ANSI, indexed by byte - 128 (bytes below 128 are unchanged).
extern const uint8_t tblMac2MSAnsi[128];
extern const uint8_t tblMSAnsi2Mac[128];
// EBCDIC (code page 38) <-> ANSI, indexed by byte.
extern const uint8_t tblBCD2MSAnsi[256];
extern const uint8_t tblMSAnsi2BCD[256];
// Host-writable custom tables: ANSI to data, and data to ANSI. Identity at
// start-up.
extern uint8_t HexCustTransFieldFrom[256];
extern uint8_t HexCustTransFieldTo[256];

// ANSI <-> OEM through the platform (a built-in code page 1252/437 pair in
// the host build). Source and destination may be the same buffer.
void HexAnsiToOemBuff(const uint8_t* src, uint8_t* dst, size_t count);
void HexOemToAnsiBuff(const uint8_t* src, uint8_t* dst, size_t count);

// Converts count bytes from ANSI into the data's character set of `kind`,
// or back. Source and destination may be the same buffer; a kind beyond
// tkCustom converts nothing.
void TranslateBufferFromAnsi(THexTranslationKind kind, const uint8_t* src, uint8_t* dst,
                             size_t count);
void TranslateBufferToAnsi(THexTranslationKind kind, const uint8_t* src, uint8_t* dst,
                           size_t count);

// One typed ANSI character into a data byte; 0 = the character can't be
// entered under this kind.
uint8_t HexTranslateFromAnsiChar(THexTranslationKind kind, uint8_t c);
// One data byte into the ANSI character that shows it. Control characters
// become maskChar unless maskChar is 0.
uint8_t HexTranslateToAnsiChar(THexTranslationKind kind, uint8_t b, uint8_t maskChar);
