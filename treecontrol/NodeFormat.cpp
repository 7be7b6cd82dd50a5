#include "treecontrol/NodeFormat.h"

#include <cstring>
#include <vector>

namespace nodeformat {

void PutInt32(std::string& Out, uint32_t V) {
  Out.push_back(static_cast<char>(V & 0xFF));
  Out.push_back(static_cast<char>((V >> 8) & 0xFF));
  Out.push_back(static_cast<char>((V >> 16) & 0xFF));
  Out.push_back(static_cast<char>((V >> 24) & 0xFF));
}

uint32_t GetUInt32(const unsigned char* P) {
  return static_cast<uint32_t>(P[0]) | (static_cast<uint32_t>(P[1]) << 8) |
         (static_cast<uint32_t>(P[2]) << 16) | (static_cast<uint32_t>(P[3]) << 24);
}

static void PutByte(std::string& Out, uint8_t V) { Out.push_back(static_cast<char>(V)); }

void AppendRecord(std::string& Out, const TNodeInfo& Info) {
  const size_t L = Info.Text.size() > kMaxTextLength ? kMaxTextLength : Info.Text.size();
  const uint32_t S = kFixedSize + static_cast<uint32_t>(L);
  PutInt32(Out, S);
  PutInt32(Out, static_cast<uint32_t>(Info.ImageIndex));
  PutInt32(Out, static_cast<uint32_t>(Info.SelectedIndex));
  PutInt32(Out, static_cast<uint32_t>(Info.StateIndex));
  PutInt32(Out, static_cast<uint32_t>(Info.OverlayIndex));
  PutInt32(Out, static_cast<uint32_t>(Info.IntegralHeight));
  PutByte(Out, Info.CheckState);
  PutByte(Out, Info.CheckType);
  PutByte(Out, Info.Enabled ? 1 : 0);
  PutByte(Out, Info.Expanded ? 1 : 0);
  PutByte(Out, Info.Selected ? 1 : 0);
  PutInt32(Out, Info.Data);
  PutInt32(Out, static_cast<uint32_t>(Info.Count));
  PutInt32(Out, Info.Color);
  PutByte(Out, Info.ParentColor ? 1 : 0);
  PutByte(Out, Info.ParentFont ? 1 : 0);
  if (Info.ParentFont) {
    Out.append(48, '\0');  // offsets 39..86: no font of its own
  } else {
    PutInt32(Out, 0);  // font handle slot
    PutInt32(Out, static_cast<uint32_t>(Info.FontHeight));
    PutByte(Out, Info.FontPitch);
    PutByte(Out, Info.FontStyle);
    PutByte(Out, 0);  // character set slot
    const size_t N = Info.FontName.size() > kMaxFontName ? kMaxFontName : Info.FontName.size();
    PutByte(Out, static_cast<uint8_t>(N));
    Out.append(Info.FontName, 0, N);
    Out.append(kMaxFontName - N, '\0');
    PutByte(Out, 0);  // filler
    PutInt32(Out, Info.FontColor);
  }
  PutByte(Out, static_cast<uint8_t>(L));
  Out.append(Info.Text, 0, L);
}

void CheckRecordSize(uint32_t Size) {
  if (Size < kFixedSize || Size > kMaxSize)
    throw EReadError(L"Invalid node record size (" + std::to_wstring(Size) + L")");
}

void ParseRecord(const unsigned char* B, uint32_t Size, TNodeInfo& Info) {
  CheckRecordSize(Size);
  auto I32 = [&](size_t Off) { return static_cast<int32_t>(GetUInt32(B + Off)); };
  const uint32_t L = B[87];
  if (L != Size - kFixedSize) throw EReadError(L"Invalid node record text length");
  Info.ImageIndex = I32(0);
  Info.SelectedIndex = I32(4);
  Info.StateIndex = I32(8);
  Info.OverlayIndex = I32(12);
  Info.IntegralHeight = I32(16);
  Info.CheckState = B[20];
  Info.CheckType = B[21];
  if (Info.CheckState > 3 || Info.CheckType > 3) throw EReadError(L"Invalid node check value");
  Info.Enabled = B[22] != 0;
  Info.Expanded = B[23] != 0;
  Info.Selected = B[24] != 0;
  Info.Data = GetUInt32(B + 25);
  Info.Count = I32(29);
  if (Info.Count < 0) throw EReadError(L"Invalid node child count");
  Info.Color = GetUInt32(B + 33);
  Info.ParentColor = B[37] != 0;
  Info.ParentFont = B[38] != 0;
  Info.FontName.clear();
  Info.FontHeight = 0;
  Info.FontPitch = 0;
  Info.FontStyle = 0;
  Info.FontColor = 0;
  if (!Info.ParentFont) {
    Info.FontHeight = I32(43);
    Info.FontPitch = B[47];
    Info.FontStyle = B[48] & 0x0F;
    const uint32_t N = B[50];
    if (N > kMaxFontName || Info.FontPitch > 2) throw EReadError(L"Invalid node font");
    Info.FontName.assign(reinterpret_cast<const char*>(B + 51), N);
    Info.FontColor = GetUInt32(B + 83);
  }
  Info.Text.assign(reinterpret_cast<const char*>(B + 88), L);
}

// Line reader state shared by the loop below.
namespace {
struct Reader {
  std::wstring_view T;
  size_t Pos = 0;
  int Line = 1;

  String TakeLine() {
    size_t Start = Pos;
    while (Pos < T.size() && T[Pos] != L'\r' && T[Pos] != L'\n') ++Pos;
    String R(T.substr(Start, Pos - Start));
    while (Pos < T.size() && (T[Pos] == L'\r' || T[Pos] == L'\n')) ++Pos;
    ++Line;
    return R;
  }
  int TakeIndent() {
    int N = 0;
    while (Pos < T.size() && (T[Pos] == L'\t' || T[Pos] == L' ')) {
      ++Pos;
      ++N;
    }
    return N;
  }
};
struct Frame {
  void* Node;
  int Level;
};
}  // namespace

void ReadIndentedText(std::wstring_view Text, void* Root, TTextTreeSink& Sink) {
  Reader R{Text};
  std::vector<Frame> Stack;
  Stack.push_back({Root, 0});
  int Next = 0;
  for (;;) {
    // The frame on top reads its next line.
    Frame F = Stack.back();
    String Line = R.TakeLine();
    bool Returned = false;
    if (Line.empty()) {
      Next = 0;
      Returned = true;
    } else {
      void* Child = Sink.AddChild(F.Node, Line);
      Next = R.TakeIndent();
      if (Next > F.Level + 1 && Sink.LevelError(R.Line))
        throw ETreeExError(L"Invalid item level assignment");
      if (Next > F.Level) {
        Stack.push_back({Child, F.Level + 1});
        continue;
      }
    }
    // Unwind while the next line lies above the current frame's level.
    if (Returned) Stack.pop_back();
    while (!Stack.empty() && Next < Stack.back().Level) Stack.pop_back();
    if (Stack.empty()) return;
  }
}

void AppendTextLine(String& Out, int Level, std::wstring_view Text) {
  Out.append(static_cast<size_t>(Level < 0 ? 0 : Level), L'\t');
  Out.append(Text);
  Out.append(L"\r\n");
}

}  // namespace nodeformat
