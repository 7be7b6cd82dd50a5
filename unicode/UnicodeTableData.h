// The character tables compiled into the host build (the Windows build
// links them as "UNICODE" resources instead). Generated from tables/*.bin.
#pragma once

#include <cstddef>
#include <cstdint>

struct TUnicodeEmbeddedTable {
  const char* Name;
  const std::uint8_t* Data;
  std::size_t Size;
};

extern const TUnicodeEmbeddedTable kUnicodeEmbeddedTables[5];
