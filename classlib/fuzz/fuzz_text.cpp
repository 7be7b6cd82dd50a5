// Fuzzes the text helpers that parse outside input: UTF-8 and ANSI
// conversion, number parsing, Format with any format text, comma text and
// ini-file parsing. Each must either succeed or raise one of our exceptions,
// and the round trips must hold.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "classlib/Classes.h"
#include "classlib/IniFiles.h"
#include "classlib/SysUtils.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);

  // UTF-8 decoding never fails, and its output encodes back to valid UTF-8
  // that decodes to the same text.
  String w = Utf8ToWide(bytes);
  std::string u = WideToUtf8(w);
  if (Utf8ToWide(u) != w) std::abort();

  // ANSI text survives a round trip (every byte has a wide form).
  if (WideToAnsi(AnsiToWide(bytes)) != bytes) std::abort();

  try {
    (void)StrToInt64(w);
  } catch (const EConvertError&) {
  }
  try {
    (void)StrToInt(w);
  } catch (const EConvertError&) {
  }
  (void)StrToFloatDef(w, 0);
  try {
    (void)Format(w, 1, String(L"s"), 2.5);
  } catch (const EConvertError&) {
  }

  // Whatever comma text is read, writing and reading it again gives the
  // same list.
  TStringList a, b;
  a.SetCommaText(w);
  b.SetCommaText(a.GetCommaText());
  if (!a.Equals(&b)) std::abort();

  TMemIniFile ini(String{});
  a.SetText(w);
  ini.SetStrings(&a);
  TStringList sections;
  ini.ReadSections(&sections);
  return 0;
}
