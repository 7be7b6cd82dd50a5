// Offset formats and radix texts from arbitrary bytes: parsing must either
// succeed or raise EHexException, and a failure must leave the previous
// format intact.
#include <cstddef>
#include <cstdint>

#include "valueedit/HexOffsetFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  String text;
  for (size_t i = 0; i < size; ++i) text += static_cast<wchar_t>(data[i]);
  THexOffsetFormat f;
  f.GenerateOffsetFormat(L"-!10:0x|", 16, 2);
  THexOffsetFormat before = f;
  try {
    f.GenerateOffsetFormat(text, 256, 256);
    if (f.BytesPerUnit == 0 || f.Radix < 2 || f.Radix > 16) __builtin_trap();
  } catch (const EHexException&) {
    if (f.Format != before.Format || f.BytesPerUnit != before.BytesPerUnit) __builtin_trap();
  }
  try {
    (void)CheckRadixToInt(text);
  } catch (const EHexException&) {
  }
  return 0;
}
