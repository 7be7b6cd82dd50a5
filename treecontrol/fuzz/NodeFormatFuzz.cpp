// Feeds arbitrary bytes to the node record parser and the text reader.
#include <cstddef>
#include <cstdint>
#include <string>

#include "treecontrol/NodeFormat.h"

namespace {
class CountingSink : public nodeformat::TTextTreeSink {
 public:
  void* AddChild(void* Parent, const String&) override {
    ++Nodes;
    return reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(Parent) + 1);
  }
  bool LevelError(int) override { return (Nodes & 1) != 0; }
  size_t Nodes = 0;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size >= 4) {
    uint32_t S = nodeformat::GetUInt32(Data);
    if (S <= Size - 4) {
      try {
        TNodeInfo Info;
        nodeformat::ParseRecord(Data + 4, S, Info);
        std::string Again;
        nodeformat::AppendRecord(Again, Info);
      } catch (const Exception&) {
      }
    }
  }
  String Text;
  for (size_t I = 0; I < Size; ++I) Text.push_back(static_cast<wchar_t>(Data[I]));
  CountingSink Sink;
  try {
    nodeformat::ReadIndentedText(Text, reinterpret_cast<void*>(1), Sink);
  } catch (const Exception&) {
  }
  return 0;
}
