// Loading any bytes into a wide-string list (UTF-16 by byte-order mark, else
// ANSI), then saving and loading again, keeps the lines.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "unicode/WideStrings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  TWideStringList list;
  list.LoadFromBytes(data, size);
  if (list.GetSaveUnicode()) {
    TMemoryStream stream;
    list.SaveToStream(&stream);
    stream.SetPosition(0);
    TWideStringList again;
    again.LoadFromStream(&stream);
    if (!again.Equals(&list)) std::abort();
  }
  list.SetSorted(true);
  for (int i = 1; i < list.GetCount(); ++i) (void)list.Get(i);
  TWideStringList commas;
  commas.SetCommaText(list.GetTextStr());
  TWideStringList back;
  back.SetCommaText(commas.GetCommaText());
  if (!back.Equals(&commas)) std::abort();
  return 0;
}
