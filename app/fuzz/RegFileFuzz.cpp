// Registry-file reading must survive any bytes, and every file the writer
// renders must read back to the same values.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/RegFile.h"

namespace {

struct Value {
  String name;
  uint32_t type;
  std::string data;
};

class Sink : public IRegFileSink {
 public:
  std::vector<Value> values;
  bool OpenKey(TRegRoot, const String&) override { return true; }
  void DeleteKey(TRegRoot, const String&) override {}
  void SetValue(const String& Name, uint32_t Type, const std::string& Data) override {
    values.push_back({Name, Type, Data});
  }
  void DeleteValue(const String&) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  {
    bool unicode = false;
    Sink sink;
    ImportRegLines(DecodeTextLines(bytes, &unicode), sink, unicode);
  }
  // Round trip: the input cut into values (1 byte type, 1 byte length).
  TRegFileWriter w;
  w.AddKey(L"HKEY_CURRENT_USER", L"Software\\Fuzz");
  std::vector<Value> expected;
  size_t gainsNul = 0;
  size_t i = 0;
  while (i + 2 <= size && expected.size() < 64) {
    const uint32_t type = data[i] % 13;
    const size_t len = data[i + 1] % 32;
    i += 2;
    const std::string d = bytes.substr(i, len);
    i += d.size();
    String name = AnsiToWide(d.substr(0, d.size() / 2));
    for (auto& c : name)
      if (c == L'\r' || c == L'\n' || c == L'\0') c = L'_';
    w.AddValue(name, type, d);
    // Text reads back as regedit stores it: text of whole characters
    // without its final NUL character gets one (and the writer names it);
    // an odd byte count comes back as it was.
    const bool text = type == 1 || type == 2 || type == 7;
    std::string stored = d;
    if (text && !d.empty() && d.size() % 2 == 0 && (d[d.size() - 2] != '\0' || d[d.size() - 1] != '\0')) {
      stored.append(2, '\0');
      ++gainsNul;
    }
    expected.push_back({name, type, stored});
  }
  bool unicode = false;
  Sink sink;
  const auto res = ImportRegLines(DecodeTextLines(w.Render(), &unicode), sink, unicode);
  if (res.SkippedLines != 0 || sink.values.size() != expected.size() || w.GainsNul() != gainsNul) std::abort();
  for (size_t k = 0; k < expected.size(); ++k) {
    if (sink.values[k].name != expected[k].name || sink.values[k].type != expected[k].type ||
        sink.values[k].data != expected[k].data)
      std::abort();
  }
  return 0;
}
