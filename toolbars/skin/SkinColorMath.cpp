#include "toolbars/skin/SkinColorMath.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
uint32_t NoSysColor(int) { return 0; }
TSkinSysColorProc g_sysColor = &NoSysColor;

inline int Ch(uint32_t c, int shift) { return static_cast<int>((c >> shift) & 0xFF); }
inline TSkinColor Make(int r, int g, int b) {
  return static_cast<TSkinColor>(static_cast<uint32_t>(r) | (static_cast<uint32_t>(g) << 8) |
                                 (static_cast<uint32_t>(b) << 16));
}
inline int Clamp255(int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); }
}  // namespace

TSkinSysColorProc SetSkinSysColorProc(TSkinSysColorProc Proc) {
  TSkinSysColorProc old = g_sysColor;
  g_sysColor = Proc ? Proc : &NoSysColor;
  return old;
}

TSkinColor SkinResolveColor(TSkinColor C) {
  if (C < 0) return static_cast<TSkinColor>(g_sysColor(C & 0xFF) & 0xFFFFFF);
  return C;
}

void GetRGB(TSkinColor C, int& R, int& G, int& B) {
  uint32_t c = static_cast<uint32_t>(SkinResolveColor(C));
  R = Ch(c, 0);
  G = Ch(c, 8);
  B = Ch(c, 16);
}

TSkinColor GetBGR(TSkinColor C) {
  int r, g, b;
  GetRGB(C, r, g, b);
  return Make(b, g, r);
}

TSkinColor MixColors(TSkinColor C1, TSkinColor C2, int W) {
  if (W < 0 || W > 255) throw ESkinAssertion(L"Mix weight out of range (SkinUtils)");
  uint32_t a = static_cast<uint32_t>(SkinResolveColor(C1)) & 0xFFFFFF;
  uint32_t b = static_cast<uint32_t>(SkinResolveColor(C2)) & 0xFFFFFF;
  uint32_t w = static_cast<uint32_t>(W), v = 255 - w;
  // Red and blue in one multiplication, green in another: no channel
  // overflows into its neighbour since 255 * 255 < 0x10000.
  uint32_t rb = (((a & 0xFF00FF) * w + (b & 0xFF00FF) * v) >> 8) & 0xFF00FF;
  uint32_t g = (((a & 0x00FF00) * w + (b & 0x00FF00) * v) >> 8) & 0x00FF00;
  return static_cast<TSkinColor>(rb | g);
}

TSkinColor Blend(TSkinColor C1, TSkinColor C2, int W) {
  int S = W < 100 ? 100 : 1000;
  if (W < 0) W = 0;
  if (W > S) W = S;
  int r1, g1, b1, r2, g2, b2;
  GetRGB(C1, r1, g1, b1);
  GetRGB(C2, r2, g2, b2);
  auto f = [&](int x1, int x2) { return (x2 * (S - W) + x1 * W + S / 2) / S; };
  return Make(f(r1, r2), f(g1, g2), f(b1, b2));
}

TSkinColor Lighten(TSkinColor C, int Amount) {
  int r, g, b;
  GetRGB(C, r, g, b);
  return Make(Clamp255(r + Amount), Clamp255(g + Amount), Clamp255(b + Amount));
}

bool SameColors(TSkinColor C1, TSkinColor C2) { return SkinResolveColor(C1) == SkinResolveColor(C2); }

int ColorIntensity(TSkinColor C) {
  int r, g, b;
  GetRGB(C, r, g, b);
  return (77 * r + 151 * g + 28 * b) >> 8;
}

bool IsDarkColor(TSkinColor C, int Threshold) {
  int r, g, b;
  GetRGB(C, r, g, b);
  return 76 * r + 150 * g + 30 * b < Threshold * 256;
}

void SetContrast(TSkinColor& Color, TSkinColor Background, int Threshold) {
  const float WR = 0.764706f, WG = 1.52941f, WB = 0.254902f;
  const float MR = 195.f, MG = 390.f, MB = 65.f;
  int r, g, b;
  GetRGB(Color, r, g, b);
  float c[3] = {r * WR, g * WG, b * WB};
  GetRGB(Background, r, g, b);
  float bg[3] = {r * WR, g * WG, b * WB};
  auto len = [](const float* v) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); };
  float lb = len(bg), lc = len(c);
  float K = static_cast<float>(Threshold);
  if (lb < 220.f) K = K * (2.f - lb / 220.f);
  float d[3] = {c[0] - bg[0], c[1] - bg[1], c[2] - bg[2]};
  if (len(d) > K) return;
  bool mirror = (lc <= lb && lb < K) || (lc > lb && 442.f - K > lb);
  const float M[3] = {MR, MG, MB};
  if (mirror)
    for (int i = 0; i < 3; ++i) {
      c[i] = M[i] - c[i];
      bg[i] = M[i] - bg[i];
    }
  float n = len(c);
  if (n <= 0.01f) n = 0.01f;
  float t = (c[0] * bg[0] + c[1] * bg[1] + c[2] * bg[2]) / n;
  float p[3];
  for (int i = 0; i < 3; ++i) p[i] = (t / n) * c[i] - bg[i];
  float lp = len(p);
  // The ray may pass farther from the background than K; then its nearest
  // point to the background is the best there is.
  float root = K * K - lp * lp;
  float s = t - (root > 0.f ? std::sqrt(root) : 0.f);
  float out[3];
  for (int i = 0; i < 3; ++i) out[i] = s * c[i] / n;
  if (mirror)
    for (int i = 0; i < 3; ++i) out[i] = M[i] - out[i];
  for (int i = 0; i < 3; ++i) out[i] = std::clamp(out[i], 0.f, M[i]);
  const float Wt[3] = {WR, WG, WB};
  int ch[3];
  for (int i = 0; i < 3; ++i) ch[i] = Clamp255(static_cast<int>(out[i] / Wt[i] + 0.5f));
  Color = Make(ch[0], ch[1], ch[2]);
}

// ---- shadow strips ----------------------------------------------------------
std::vector<TShadowStripSpec> BuildShadowStrips(const TSkinRect& R1, const TSkinRect& R2, int size) {
  std::vector<TShadowStripSpec> out;
  auto horz = [&](int l, int t, int r, int b, unsigned e) { out.push_back({false, {l, t, r, b}, e}); };
  auto vert = [&](int l, int t, int r, int b, unsigned e) { out.push_back({true, {l, t, r, b}, e}); };
  bool e1 = R1.Empty(), e2 = R2.Empty();
  if (e1 && e2) return out;
  if (e1 || e2) {
    const TSkinRect& R = e1 ? R2 : R1;
    vert(R.Right, R.Top + size, R.Right + size, R.Bottom, seNearCorner);
    horz(R.Left + size, R.Bottom, R.Right + size, R.Bottom + size, seNearCorner | seFarCorner);
    return out;
  }
  if (R2.Top + 2 >= R1.Bottom || R2.Bottom - 2 <= R1.Top) {
    const TSkinRect& U = R2.Top + 2 >= R1.Bottom ? R1 : R2;
    const TSkinRect& L = &U == &R1 ? R2 : R1;
    if (U.Left + size < L.Left) horz(U.Left + size, U.Bottom, L.Left, U.Bottom + size, seNearCorner);
    horz(L.Left + size, L.Bottom, L.Right + size, L.Bottom + size, seNearCorner | seFarCorner);
    vert(U.Right, U.Top + size, U.Right + size, U.Bottom, seNearCorner);
    if (L.Right < U.Right) horz(L.Right, U.Bottom, U.Right + size, U.Bottom + size, seNearCorner | seFarCorner);
    if (U.Right + size >= L.Right)
      vert(L.Right, L.Top + 1, L.Right + size, L.Bottom, 0);
    else
      vert(L.Right, L.Top + size, L.Right + size, L.Bottom, seNearCorner);
  } else if (R2.Left + 2 >= R1.Right || R2.Right - 2 <= R1.Left) {
    const TSkinRect& A = R2.Left + 2 >= R1.Right ? R1 : R2;
    const TSkinRect& B = &A == &R1 ? R2 : R1;
    if (A.Top + size < B.Top) vert(A.Right, A.Top + size, A.Right + size, B.Top, seNearCorner);
    vert(B.Right, B.Top + size, B.Right + size, B.Bottom + size, seNearCorner | seFarCorner);
    horz(A.Left + size, A.Bottom, A.Right, A.Bottom + size, seNearCorner);
    if (B.Bottom < A.Bottom) vert(A.Right, B.Bottom, A.Right + size, A.Bottom + size, seNearCorner | seFarCorner);
    if (A.Bottom + size < B.Bottom)
      horz(B.Left + size, B.Bottom, B.Right, B.Bottom + size, seNearCorner);
    else
      horz(B.Left, B.Bottom, B.Right, B.Bottom + size, 0);
  }
  // Rectangles that overlap without touching get no strips.
  std::vector<TShadowStripSpec> valid;
  for (auto& s : out)
    if (!s.Bounds.Empty()) valid.push_back(s);
  return valid;
}

namespace {
inline uint32_t Alpha(int a) { return static_cast<uint32_t>(a) << 24; }
int CornerAlpha(int a, int b, int s) {
  if (s <= 0) return 0;
  int d = (128 * (std::max(a, b) + a + b)) / s;
  return d < 255 ? 255 - d : 0;
}
// Corner pixels of a W x H region whose gradient fades toward the given
// corner kind: 0 bottom-left, 1 bottom-right, 2 top-right.
int CornerPixel(int kind, int x, int y, int w, int h) {
  int s = std::max(w, h);
  int a, b;
  switch (kind) {
    case 0:
      a = std::abs(y + s - h);
      b = std::abs(x + 1 - s);
      break;
    case 1:
      a = std::abs(y - (h - s));
      b = std::abs(x - (w - s));
      break;
    default:
      a = std::abs(y + 1 - s);
      b = std::abs(x + s - w);
      break;
  }
  return CornerAlpha(a, b, s);
}
void SplitCorners(int length, int across, unsigned edges, int& c1, int& c2) {
  c1 = (edges & seNearCorner) ? across : 0;
  c2 = (edges & seFarCorner) ? across : 0;
  if (c1 + c2 > length) {
    if (c1 && c2)
      c1 = c2 = length / 2;
    else if (c1)
      c1 = length;
    else
      c2 = length;
  }
}
}  // namespace

void FillHorzShadowBuffer(uint32_t* P, int W, int H, unsigned Edges) {
  if (W <= 0 || H <= 0) return;
  int c1, c2;
  SplitCorners(W, H, Edges, c1, c2);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      int a;
      if (x < c1)
        a = CornerPixel(0, x, y, c1, H);
      else if (x >= W - c2)
        a = CornerPixel(1, x - (W - c2), y, c2, H);
      else
        a = 255 - (256 * y) / H;
      P[y * W + x] = Alpha(a);
    }
}

void FillVertShadowBuffer(uint32_t* P, int W, int H, unsigned Edges) {
  if (W <= 0 || H <= 0) return;
  int c1, c2;
  SplitCorners(H, W, Edges, c1, c2);
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      int a;
      if (y < c1)
        a = CornerPixel(2, x, y, W, c1);
      else if (y >= H - c2)
        a = CornerPixel(1, x, y - (H - c2), W, c2);
      else
        a = 255 - (256 * x) / W;
      P[y * W + x] = Alpha(a);
    }
}

// ---- colour names -----------------------------------------------------------
namespace {
struct NamedColor {
  TSkinColor Value;
  const wchar_t* Name;
};
constexpr TSkinColor Sys(int i) { return static_cast<TSkinColor>(0x80000000u | unsigned(i)); }
const NamedColor kBasicColors[] = {
    {0x000000, L"clBlack"},   {0x000080, L"clMaroon"},   {0x008000, L"clGreen"},
    {0x008080, L"clOlive"},   {0x800000, L"clNavy"},     {0x800080, L"clPurple"},
    {0x808000, L"clTeal"},    {0x808080, L"clGray"},     {0xC0C0C0, L"clSilver"},
    {0x0000FF, L"clRed"},     {0x00FF00, L"clLime"},     {0x00FFFF, L"clYellow"},
    {0xFF0000, L"clBlue"},    {0xFF00FF, L"clFuchsia"},  {0xFFFF00, L"clAqua"},
    {0xFFFFFF, L"clWhite"},   {Sys(0), L"clScrollBar"},  {Sys(1), L"clBackground"},
    {Sys(2), L"clActiveCaption"}, {Sys(3), L"clInactiveCaption"}, {Sys(4), L"clMenu"},
    {Sys(5), L"clWindow"},    {Sys(6), L"clWindowFrame"}, {Sys(7), L"clMenuText"},
    {Sys(8), L"clWindowText"}, {Sys(9), L"clCaptionText"}, {Sys(10), L"clActiveBorder"},
    {Sys(11), L"clInactiveBorder"}, {Sys(12), L"clAppWorkSpace"}, {Sys(13), L"clHighlight"},
    {Sys(14), L"clHighlightText"}, {Sys(15), L"clBtnFace"}, {Sys(16), L"clBtnShadow"},
    {Sys(17), L"clGrayText"}, {Sys(18), L"clBtnText"}, {Sys(19), L"clInactiveCaptionText"},
    {Sys(20), L"clBtnHighlight"}, {Sys(21), L"cl3DDkShadow"}, {Sys(22), L"cl3DLight"},
    {Sys(23), L"clInfoText"}, {Sys(24), L"clInfoBk"}, {0x1FFFFFFF, L"clNone"},
    {0x20000000, L"clDefault"},
};

struct ExtColor {
  TSkinColor* Variable;
  String Name;
};
std::vector<ExtColor>& Ext() {
  static std::vector<ExtColor> list;
  return list;
}
}  // namespace

bool BasicColorToIdent(TSkinColor C, String& Ident) {
  for (const auto& e : kBasicColors)
    if (e.Value == C) {
      Ident = e.Name;
      return true;
    }
  return false;
}

bool BasicIdentToColor(const String& Ident, TSkinColor& C) {
  for (const auto& e : kBasicColors)
    if (SameText(Ident, e.Name)) {
      C = e.Value;
      return true;
    }
  return false;
}

void AddSkinColor(TSkinColor* Variable, const String& Name) {
  if (Variable) Ext().push_back({Variable, Name});
}
void ClearSkinColors() { Ext().clear(); }
int SkinColorCount() { return static_cast<int>(Ext().size()); }

String SkinColorToString(TSkinColor C) {
  String s;
  if (BasicColorToIdent(C, s)) return s;
  for (const auto& e : Ext())
    if (*e.Variable == C) return e.Name;
  static const wchar_t kHex[] = L"0123456789abcdef";
  String hex = L"0x";
  uint32_t v = static_cast<uint32_t>(C);
  for (int shift = 28; shift >= 0; shift -= 4) hex += kHex[(v >> shift) & 0xF];
  return hex;
}

bool SkinIdentToColor(const String& Name, TSkinColor& C) {
  for (const auto& e : Ext())
    if (SameText(Name, e.Name)) {
      C = *e.Variable;
      return true;
    }
  return BasicIdentToColor(Name, C);
}

TSkinColor SkinStringToColor(const String& S) {
  TSkinColor c;
  if (SkinIdentToColor(S, c)) return c;
  int64_t v = StrToInt64(S);  // raises EConvertError on bad text
  return static_cast<TSkinColor>(static_cast<uint32_t>(v));
}

void SkinGetColorValues(const std::function<void(const String&)>& Proc) {
  if (!Proc) return;
  for (const auto& e : kBasicColors) Proc(e.Name);
  for (const auto& e : Ext()) Proc(e.Name);
}
