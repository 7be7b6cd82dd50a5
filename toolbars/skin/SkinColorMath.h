// Colour arithmetic, drop-shadow geometry and colour names of the themed
// toolbar layer. Portable: no window system needed.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "classlib/SysUtils.h"

// Same representation as the class library's TColor: 0x00BBGGRR, a
// negative value names a system colour (index in the low byte).
using TSkinColor = int32_t;
constexpr TSkinColor skinColorNone = 0x1FFFFFFF;

ZEMBRIO_DECLARE_EXCEPTION(ESkinAssertion, Exception)

// How system colours are resolved; the Windows build installs GetSysColor.
using TSkinSysColorProc = uint32_t (*)(int Index);
TSkinSysColorProc SetSkinSysColorProc(TSkinSysColorProc Proc);
// A system colour becomes its RGB value; others are returned unchanged.
TSkinColor SkinResolveColor(TSkinColor C);

void GetRGB(TSkinColor C, int& R, int& G, int& B);
TSkinColor GetBGR(TSkinColor C);
// Per channel (c1 * W + c2 * (255 - W)) >> 8; W must be 0..255.
TSkinColor MixColors(TSkinColor C1, TSkinColor C2, int W);
// W below 100 is a percentage of C1, from 100 on per mille.
TSkinColor Blend(TSkinColor C1, TSkinColor C2, int W);
TSkinColor Lighten(TSkinColor C, int Amount);
bool SameColors(TSkinColor C1, TSkinColor C2);
int ColorIntensity(TSkinColor C);
bool IsDarkColor(TSkinColor C, int Threshold);
// Moves Color along its ray from black (or white) until it stands at least
// Threshold away from Background in a weighted colour space.
void SetContrast(TSkinColor& Color, TSkinColor Background, int Threshold);

// ---- shadow strips ----------------------------------------------------------
struct TSkinRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  bool Empty() const { return Right <= Left || Bottom <= Top; }
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool operator==(const TSkinRect& o) const {
    return Left == o.Left && Top == o.Top && Right == o.Right && Bottom == o.Bottom;
  }
};

// Corners of a strip: the near one (left of a horizontal strip, top of a
// vertical one) and the far one.
constexpr unsigned seNearCorner = 1, seFarCorner = 2;
// A combination of seNearCorner and seFarCorner.
using TShadowEdges = unsigned;

struct TShadowStripSpec {
  bool Vertical = false;  // a strip right of an edge; else under one
  TSkinRect Bounds;
  TShadowEdges Edges = 0;
};

// The strips that outline the right and bottom edges of one rectangle (the
// other empty) or of two touching ones; in the order they are shown.
std::vector<TShadowStripSpec> BuildShadowStrips(const TSkinRect& R1, const TSkinRect& R2, int Size);
// Alpha-only pixels (alpha in the high byte) of a W x H strip, row-major.
void FillHorzShadowBuffer(uint32_t* Pixels, int W, int H, TShadowEdges Edges);
void FillVertShadowBuffer(uint32_t* Pixels, int W, int H, TShadowEdges Edges);

// ---- colour names -----------------------------------------------------------
// The extended names refer to variables: a later change of the variable
// changes what the name means.
void AddSkinColor(TSkinColor* Variable, const String& Name);
void ClearSkinColors();
int SkinColorCount();
String SkinColorToString(TSkinColor C);
bool SkinIdentToColor(const String& Name, TSkinColor& C);
// Raises EConvertError for text that is neither a name nor a number.
TSkinColor SkinStringToColor(const String& S);
void SkinGetColorValues(const std::function<void(const String&)>& Proc);
// The basic colour names (without the extended list).
bool BasicColorToIdent(TSkinColor C, String& Ident);
bool BasicIdentToColor(const String& Ident, TSkinColor& C);
