// Typed spin-edit text: parsing must neither crash nor hang on any input,
// and a parsed value must format again.
#include <cstddef>
#include <cstdint>

#include "toolbars/skin/SkinSpinValue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 1) return 0;
  TSpinValueFormat f;
  f.ValueType = static_cast<TSEValueType>(Data[0] % 3);
  f.Decimal = Data[0] % 11;
  String text;
  for (size_t i = 1; i + 1 < Size; i += 2) text += static_cast<wchar_t>(Data[i] | (Data[i + 1] << 8));
  double v = 0;
  if (SpinParseValue(f, text, v)) (void)SpinValueToText(f, v);
  return 0;
}
