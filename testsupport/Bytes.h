// Value data as the registry stores it, for tests of any build (header
// only, no window system needed).
#pragma once

#include <cstdint>
#include <string>

namespace testsupport {

// Little-endian bytes of a REG_DWORD.
inline std::string Dw(uint32_t V) {
  std::string b(4, '\0');
  for (int i = 0; i < 4; ++i) b[i] = static_cast<char>((V >> (8 * i)) & 0xFF);
  return b;
}

// UTF-16LE bytes of a string with its terminating zero (REG_SZ data).
inline std::string Sz(const std::wstring& S) {
  std::string b;
  for (wchar_t c : S) b += static_cast<char>(c & 0xFF), b += static_cast<char>((c >> 8) & 0xFF);
  b += std::string(2, '\0');
  return b;
}

}  // namespace testsupport
