// Types, pastes and switches bases in a headless integer box. Whatever is
// typed, a decimal or binary text that reads as a number stays one that
// fits 64 bits, and a hexadecimal text keeps at most one "$", in front.
#include <cstddef>
#include <cstdint>

#include "valueedit/BinHexEditCore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TBinHexEditCore box;
  static const wchar_t kChars[] = L"0123456789abcdefABCDEFxz$- \b\r\x1b\x03\x16\x18";
  for (size_t i = 0; i + 1 < size; i += 2) {
    uint8_t op = data[i], arg = data[i + 1];
    try {
      switch (op % 6) {
        case 0:
        case 1:
          box.TypeChar(kChars[arg % (sizeof(kChars) / sizeof(wchar_t) - 1)]);
          break;
        case 2: {
          int k = (arg & 1) ? 0x2E : 0x41;
          box.FilterKeyDown(k, TShiftState{});
          break;
        }
        case 3: {
          int k = 0;
          box.FilterKeyUp(k, TShiftState{});
          break;
        }
        case 4:
          box.SetBaseFormat(static_cast<TBaseFormat>(arg % 3));
          break;
        case 5:
          box.PasteText(String(1, kChars[arg % 10]) + String(1, kChars[(arg / 10) % 20]));
          break;
      }
      // A lone "-" or "$" doesn't read as a number: the box's own answer.
      String t = box.GetAsHex();
      if (t.size() < 2 || t[0] != L'$') __builtin_trap();
    } catch (const EConvertError&) {
    }
  }
  return 0;
}
