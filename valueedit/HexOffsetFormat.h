// The offset column's format language of the hex editor and the module's
// radix helpers.
#pragma once

#include <cstdint>

#include "classlib/SysUtils.h"

ZEMBRIO_DECLARE_EXCEPTION(EHexException, Exception)

enum THexOffsetFormatFlag : uint8_t { offCalcWidth = 1, offCalcRow = 2, offCalcColumn = 4 };
using THexOffsetFormatFlags = uint8_t;

// A parsed offset format, e.g. "-!10:0x|" (one byte per unit, width from the
// largest offset, radix 16, prefix "0x", no suffix).
struct THexOffsetFormat {
  String Format;          // the text as last accepted
  String Prefix;
  String Suffix;
  int32_t MinWidth = 1;   // minimum digit count
  THexOffsetFormatFlags Flags = 0;
  uint8_t Radix = 16;
  // Bytes per offset unit; 16 bits so that a unit of a whole 256-byte row
  // stays representable (never 0).
  uint16_t BytesPerUnit = 1;

  // Parses `text` against the editor's current row and column sizes. On a
  // faulty text raises EHexException and leaves *this unchanged.
  void GenerateOffsetFormat(const String& text, int bytesPerRow, int bytesPerColumn);
};

// Digits of value in radix (2..16), most significant first, "0" for 0.
String IntToRadix(uint32_t value, uint8_t radix);
// The same, padded on the left with "0" to at least len digits.
String IntToRadixLen(uint32_t value, uint8_t radix, int len);
String IntToOctal(uint32_t value);
// Reads text (case-insensitive) in radix; raises EHexException
// "Invalid character %s, cannot convert using radix %xh" on a foreign digit.
uint32_t RadixToInt(const String& text, uint8_t radix);
uint32_t OctalToInt(const String& text);
// Picks the radix from the notation (0x.., $.., ..h, ..o, o.., 0-leading
// octal, ..%, %.., else decimal) and converts.
uint32_t CheckRadixToInt(const String& text);

// "%xh"-style formatting helper: uppercase hexadecimal of v.
String HexNumberText(uint32_t v);
