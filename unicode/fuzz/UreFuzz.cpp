// The regular-expression compiler takes any pattern: it compiles or raises
// Exception, and a compiled expression searches any text without fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "unicode/SearchEngines.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // First byte: flags and where the pattern ends; the rest: UTF-16 units.
  unsigned flagsByte = data[0];
  std::size_t units = (size - 1) / 2;
  WideString all(units, 0);
  for (std::size_t i = 0; i < units; ++i)
    all[i] = static_cast<WideChar>(data[1 + 2 * i] | (data[2 + 2 * i] << 8));
  std::size_t cut = units ? (flagsByte >> 2) % (units + 1) : 0;
  WideString pattern = all.substr(0, cut);
  WideString text = all.substr(cut);
  TSearchFlags flags;
  if (flagsByte & 1) flags += sfCaseSensitive;
  if (flagsByte & 2) flags += sfIgnoreNonSpacing;
  TURESearch ure(nullptr);
  try {
    ure.FindPrepare(pattern, flags);
  } catch (const Exception&) {
    return 0;
  }
  ure.FindAll(text);
  for (int i = 0; i < ure.GetCount(); ++i) {
    int s, e;
    ure.GetResult(i, s, e);
    if (s < 0 || e < s || e > static_cast<int>(text.size())) std::abort();
  }
  int s, e;
  ure.ExecuteURE(text.data(), static_cast<int>(text.size()), 0, 3, s, e);
  TUTBMSearch utbm(nullptr);
  if (flagsByte & 0x80) flags += sfSpaceCompress;
  if (flagsByte & 0x40) flags += sfWholeWordOnly;
  utbm.FindPrepare(pattern, flags);
  utbm.FindAll(text);
  for (int i = 0; i < utbm.GetCount(); ++i) {
    utbm.GetResult(i, s, e);
    if (s < 0 || e <= s || e > static_cast<int>(text.size())) std::abort();
  }
  return 0;
}
