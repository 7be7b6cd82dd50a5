#include <gtest/gtest.h>

#include <cmath>

#include "toolbars/skin/SkinColorMath.h"

namespace {
uint32_t FakeSys(int Index) { return Index == 15 ? 0xC0C0C0u : 0x102030u; }

TSkinColor Rgb(int r, int g, int b) { return r | (g << 8) | (b << 16); }

double Distance(TSkinColor a, TSkinColor b) {
  int r1, g1, b1, r2, g2, b2;
  GetRGB(a, r1, g1, b1);
  GetRGB(b, r2, g2, b2);
  double dr = (r1 - r2) * 0.764706, dg = (g1 - g2) * 1.52941, db = (b1 - b2) * 0.254902;
  return std::sqrt(dr * dr + dg * dg + db * db);
}
}  // namespace

TEST(SkinColorMath, MixAndBlendWeights) {
  // The >> 8 divides by 256: full weight is 255/256 of a colour.
  EXPECT_EQ(MixColors(Rgb(255, 255, 255), Rgb(0, 0, 0), 255), Rgb(254, 254, 254));
  EXPECT_EQ(MixColors(Rgb(0, 0, 0), Rgb(200, 100, 255), 0), Rgb(199, 99, 254));
  // Red, green and blue stay in their own lanes at the extremes.
  EXPECT_EQ(MixColors(Rgb(255, 0, 255), Rgb(0, 255, 0), 128), Rgb(127, 126, 127));
  EXPECT_THROW(MixColors(0, 0, 256), ESkinAssertion);
  EXPECT_THROW(MixColors(0, 0, -1), ESkinAssertion);
  // Below 100 a percentage, from 100 on per mille: both 10 % of C1 here.
  EXPECT_EQ(Blend(Rgb(200, 0, 100), Rgb(0, 200, 0), 10), Rgb(20, 180, 10));
  EXPECT_EQ(Blend(Rgb(200, 0, 100), Rgb(0, 200, 0), 100), Rgb(20, 180, 10));
  EXPECT_EQ(Blend(Rgb(1, 0, 0), Rgb(0, 0, 0), 50), Rgb(1, 0, 0));  // rounded half up
}

TEST(SkinColorMath, SystemColoursResolveBeforeArithmetic) {
  TSkinSysColorProc old = SetSkinSysColorProc(&FakeSys);
  const TSkinColor btnFace = static_cast<TSkinColor>(0x8000000F);
  EXPECT_EQ(SkinResolveColor(btnFace), 0xC0C0C0);
  EXPECT_TRUE(SameColors(btnFace, 0xC0C0C0));
  EXPECT_EQ(Lighten(btnFace, 100), Rgb(255, 255, 255));
  EXPECT_EQ(Lighten(Rgb(10, 20, 30), -15), Rgb(0, 5, 15));
  EXPECT_EQ(GetBGR(Rgb(1, 2, 3)), Rgb(3, 2, 1));
  EXPECT_EQ(ColorIntensity(Rgb(255, 255, 255)), 255);
  EXPECT_TRUE(IsDarkColor(Rgb(0, 0, 0), 100));
  EXPECT_FALSE(IsDarkColor(btnFace, 100));
  SetSkinSysColorProc(old);
}

TEST(SkinColorMath, ContrastMovesOnlyWhenTooClose) {
  TSkinColor c = Rgb(0, 0, 0);
  SetContrast(c, Rgb(255, 255, 255), 100);
  EXPECT_EQ(c, Rgb(0, 0, 0));  // far enough already
  for (TSkinColor bg : {Rgb(128, 128, 128), Rgb(20, 20, 20), Rgb(240, 240, 240), Rgb(0, 0, 255)}) {
    TSkinColor t = bg;  // the worst case: the text is the background
    SetContrast(t, bg, 60);
    EXPECT_GT(Distance(t, bg), 50.0) << std::hex << bg;
  }
  // A colour on a ray that never comes close enough is still a valid colour.
  TSkinColor odd = Rgb(1, 0, 0);
  SetContrast(odd, Rgb(0, 0, 0), 300);
  int r, g, b;
  GetRGB(odd, r, g, b);
  EXPECT_GE(r, 0);
  EXPECT_LE(r, 255);
}

TEST(SkinShadowGeometry, StripsAroundOneAndTwoRectangles) {
  TSkinRect none{}, popup{100, 120, 300, 400};
  EXPECT_TRUE(BuildShadowStrips(none, none, 4).empty());
  auto one = BuildShadowStrips(none, popup, 4);
  ASSERT_EQ(one.size(), 2u);
  EXPECT_TRUE(one[0].Vertical);
  EXPECT_EQ(one[0].Bounds, (TSkinRect{300, 124, 304, 400}));
  EXPECT_EQ(one[1].Bounds, (TSkinRect{104, 400, 304, 404}));
  EXPECT_EQ(one[1].Edges, seNearCorner | seFarCorner);

  // A drop-down under a narrower toolbar button: no strip under the button
  // where the pop-up covers it, the button's right edge gets its strip.
  TSkinRect button{100, 100, 140, 120};
  auto two = BuildShadowStrips(button, popup, 4);
  ASSERT_EQ(two.size(), 3u);
  for (auto& s : two) EXPECT_FALSE(s.Bounds.Top < 120 && s.Bounds.Bottom > 120 && !s.Vertical);
  EXPECT_EQ(two[1].Bounds, (TSkinRect{140, 104, 144, 120}));  // right of the button
  EXPECT_EQ(two[2].Bounds, (TSkinRect{300, 124, 304, 400}));

  // A button wider than its pop-up: the overhang gets a strip of its own.
  TSkinRect wide{100, 100, 400, 120};
  auto over = BuildShadowStrips(wide, popup, 4);
  bool overhang = false;
  for (auto& s : over)
    if (!s.Vertical && s.Bounds == (TSkinRect{300, 120, 404, 124})) overhang = true;
  EXPECT_TRUE(overhang);

  // Overlapping without touching: nothing.
  EXPECT_TRUE(BuildShadowStrips(TSkinRect{150, 150, 250, 250}, popup, 4).empty());
}

TEST(SkinShadowGeometry, BuffersFadeAndSplitNarrowCorners) {
  std::vector<uint32_t> px(4 * 4);
  FillHorzShadowBuffer(px.data(), 4, 4, 0);
  EXPECT_EQ(px[0] >> 24, 255u);           // top row opaque-most
  EXPECT_EQ(px[3 * 4] >> 24, 255u - 192); // last row 255 - 256*3/4
  EXPECT_EQ(px[0] & 0xFFFFFF, 0u);        // alpha only
  // 6 wide, 4 high, both corners: 3 + 3 instead of 4 + 4.
  std::vector<uint32_t> n(6 * 4);
  FillHorzShadowBuffer(n.data(), 6, 4, seNearCorner | seFarCorner);
  // Symmetric corners: the two halves mirror each other in the first row.
  EXPECT_GT(n[2] >> 24, n[0] >> 24);
  EXPECT_GT(n[3] >> 24, n[5] >> 24);
  std::vector<uint32_t> v(4 * 10);
  FillVertShadowBuffer(v.data(), 4, 10, 0);
  EXPECT_EQ(v[5 * 4 + 0] >> 24, 255u);
  EXPECT_EQ(v[5 * 4 + 2] >> 24, 255u - 128);
}

TEST(SkinColorNames, ExtendedNamesFollowTheirVariables) {
  ClearSkinColors();
  TSkinColor hot = 0x123456;
  AddSkinColor(&hot, L"clHotLight");
  EXPECT_EQ(SkinColorToString(0x000000), L"clBlack");
  EXPECT_EQ(SkinColorToString(0x123456), L"clHotLight");
  hot = 0x654321;  // the name now means the new value
  EXPECT_EQ(SkinColorToString(0x123456), L"0x00123456");
  TSkinColor c = 0;
  EXPECT_TRUE(SkinIdentToColor(L"CLHOTLIGHT", c));
  EXPECT_EQ(c, 0x654321);
  EXPECT_EQ(SkinStringToColor(L"clBtnFace"), static_cast<TSkinColor>(0x8000000F));
  EXPECT_EQ(SkinStringToColor(L"0x00ABCDEF"), 0xABCDEF);
  EXPECT_EQ(SkinColorToString(0x00ABCDEF), L"0x00abcdef");
  EXPECT_THROW(SkinStringToColor(L"notacolour"), EConvertError);
  int n = 0;
  String last;
  SkinGetColorValues([&](const String& s) {
    ++n;
    last = s;
  });
  EXPECT_EQ(last, L"clHotLight");
  EXPECT_GT(n, 40);
  ClearSkinColors();
}
