// UTF-8 decoding must accept any bytes, and whatever it decodes must come
// back unchanged from an encode/decode round trip.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "unicode/UnicodeUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  WideString wide = UTF8ToWideString(bytes);
  if (wide.size() > size) std::abort();
  std::string again = WideStringToUTF8(wide);
  if (UTF8ToWideString(again) != wide) std::abort();
  // Valid input survives unchanged.
  if (wide.find(static_cast<WideChar>(0xFFFD)) == WideString::npos && again != bytes) std::abort();
  // The same bytes read as UTF-16 (lone surrogates included) round-trip
  // once lone surrogates have become U+FFFD.
  WideString units(size / 2, 0);
  for (std::size_t i = 0; i < units.size(); ++i)
    units[i] = static_cast<WideChar>(data[2 * i] | (data[2 * i + 1] << 8));
  WideString back = UTF8ToWideString(WideStringToUTF8(units));
  if (back.size() > units.size()) std::abort();
  return 0;
}
