// The tree's two storage formats, independent of any window: the binary
// node record and the indented text format. Portable.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "classlib/SysUtils.h"

ZEMBRIO_DECLARE_EXCEPTION(ETreeExError, Exception)

// One node's record in the binary node stream. Text and font name are
// 8-bit text in the ANSI code page.
struct TNodeInfo {
  int32_t ImageIndex = -1;
  int32_t SelectedIndex = -1;
  int32_t StateIndex = -1;
  int32_t OverlayIndex = -1;
  int32_t IntegralHeight = 0;
  uint8_t CheckState = 0;  // TCheckState
  uint8_t CheckType = 0;   // TCheckType
  bool Enabled = true;
  bool Expanded = false;
  bool Selected = false;
  uint32_t Data = 0;  // an opaque number; never a pointer
  int32_t Count = 0;  // child records that follow
  uint32_t Color = 0;
  bool ParentColor = true;
  bool ParentFont = true;
  // Own font; meaningful only when ParentFont is false.
  int32_t FontHeight = 0;
  uint8_t FontPitch = 0;  // fpDefault, fpVariable, fpFixed
  uint8_t FontStyle = 0;  // bit 0 bold, 1 italic, 2 underline, 3 strike-out
  AnsiString FontName;    // up to 31 characters
  uint32_t FontColor = 0;
  AnsiString Text;        // up to 255 characters
};

namespace nodeformat {

constexpr uint32_t kFixedSize = 88;               // record without its text
constexpr uint32_t kMaxTextLength = 255;
constexpr uint32_t kMaxSize = kFixedSize + kMaxTextLength;  // 343
constexpr uint32_t kMaxFontName = 31;

// Appends a record as written to the stream: the 4-byte size S, then S
// bytes. Text and font name are cut to their limits. The font area is
// written as zeros unless the record carries its own font.
void AppendRecord(std::string& Out, const TNodeInfo& Info);

// Raises EReadError unless Size is a valid record size.
void CheckRecordSize(uint32_t Size);

// Decodes the Size bytes of a record (after its size field). Raises
// EReadError on a malformed record: bad text length, font name length,
// enumeration values or a negative child count.
void ParseRecord(const unsigned char* Body, uint32_t Size, TNodeInfo& Info);

void PutInt32(std::string& Out, uint32_t V);
uint32_t GetUInt32(const unsigned char* P);

// Receives what the text reader finds. Parents are opaque handles; the
// reader starts with the one it is given as root.
class TTextTreeSink {
 public:
  virtual ~TTextTreeSink() = default;
  virtual void* AddChild(void* Parent, const String& Text) = 0;
  // A level jump of more than one at Line; answers whether to raise.
  virtual bool LevelError(int Line) = 0;
};

// Reads the indented text format: one node per line, its level given by
// leading tabs or spaces. Raises ETreeExError "Invalid item level
// assignment" on a level jump unless the sink declines. Runs without
// recursion, so any nesting depth is safe.
void ReadIndentedText(std::wstring_view Text, void* Root, TTextTreeSink& Sink);

// Appends one line of the text format: Level tabs, the text, CR LF.
void AppendTextLine(String& Out, int Level, std::wstring_view Text);

}  // namespace nodeformat
