#include "toolbars/skin/SkinDefaultTheme.h"

#include <commctrl.h>
#include <vssym32.h>

#include <algorithm>

#include "toolbars/BarImages.h"
#include "toolbars/BarUtilsWin.h"
#include "toolbars/skin/SkinUtils.h"
#include "toolbars/skin/SkinUxThemes.h"

namespace {
const uint8_t kChevronHorz[8] = {0xCC, 0x66, 0x33, 0x66, 0xCC, 0, 0, 0};
const uint8_t kChevronVert[8] = {0x88, 0xD8, 0x70, 0x20, 0x88, 0xD8, 0x70, 0x20};
const int kComboPart[4] = {TP_BUTTON, TP_DROPDOWNBUTTON, TP_SPLITBUTTON, TP_SPLITBUTTONDROPDOWN};

inline bool IsMenuBar(const TSkinItemInfo& I) { return (I.ViewType & VT_MENUBAR) == VT_MENUBAR; }
inline bool IsPopupMenu(const TSkinItemInfo& I) { return (I.ViewType & VT_POPUPMENU) == VT_POPUPMENU; }
inline bool IsToolbarStyle(const TSkinItemInfo& I) { return (I.ItemOptions & IO_TOOLBARSTYLE) != 0; }
inline bool IsTransparentToolbar(const TSkinItemInfo& I) {
  return (I.ViewType & VT_TOOLBAR) && (I.ViewType & VT_ITEMTRANSPARENCY);
}
inline bool IsHot(const TSkinItemInfo& I) {
  return (I.Enabled && I.HoverKind != hkNone) || (!I.Enabled && I.HoverKind == hkKeyboardHover);
}
inline int Cx(const RECT& R) { return (R.left + R.right) / 2; }
inline int Cy(const RECT& R) { return (R.top + R.bottom) / 2; }

void Triangle(HDC DC, const POINT* P, TColor C) { FillTriangle(DC, P, C); }

void TriangleEmbossed(HDC DC, const POINT* P) {
  POINT s[3];
  for (int i = 0; i < 3; ++i) s[i] = POINT{P[i].x + 1, P[i].y + 1};
  Triangle(DC, s, clBtnHighlight);
  Triangle(DC, P, clBtnShadow);
}

void Polyline(HDC DC, TColor C, std::initializer_list<POINT> Pts) {
  HPEN pen = CreatePen(PS_SOLID, 1, ColorToRef(C));
  HGDIOBJ op = SelectObject(DC, pen);
  ::Polyline(DC, Pts.begin(), static_cast<int>(Pts.size()));
  SelectObject(DC, op);
  DeleteObject(pen);
}

void DrawPart(HTHEME Theme, HDC DC, int Part, int State, const RECT& R, const RECT* Clip = nullptr) {
  if (Theme && skinux::DrawThemeBackground) skinux::DrawThemeBackground(Theme, DC, Part, State, &R, Clip);
}

void Frame(HDC DC, RECT& R, TColor C) {
  if (C != clNone) {
    HBRUSH b = CreateSolidBrush(ColorToRef(C));
    FrameRect(DC, &R, b);
    DeleteObject(b);
  }
  InflateRect(&R, -1, -1);
}

void DrawTextIn(TCanvas* Canvas, const String& S, RECT R, UINT Format, TColor Color, bool Rotated) {
  HDC dc = Canvas->GetHandle();
  Canvas->Font()->SetColor(Color);
  SelectObject(dc, Canvas->Font()->GetHandle());
  SetTextColor(dc, ColorToRef(Color));
  SetBkMode(dc, TRANSPARENT);
  if (Rotated)
    DrawRotatedText(dc, S, R, Format);
  else
    DrawTextW(dc, S.c_str(), static_cast<int>(S.size()), &R, Format);
}
}  // namespace

TSkinTheme* CreateSkinDefaultTheme(const String& Name) { return new TSkinDefaultTheme(Name); }

TSkinDefaultTheme::TSkinDefaultTheme(const String& AName) : TSkinTheme(AName) {
  AddSkinSysChangeNotification(this);
  SetupColorCache();
}

TSkinDefaultTheme::~TSkinDefaultTheme() { RemoveSkinSysChangeNotification(this); }

void TSkinDefaultTheme::SetupColorCache() { toolbarColor_ = clToolbar; }

void TSkinDefaultTheme::SkinMessage(TMessage& Message) {
  if (Message.Msg == SkinMSysChange) SkinSysCommand(Message);
}

void TSkinDefaultTheme::SkinSysCommand(TMessage& Message) {
  if (Message.WParam == 2) SetupColorCache();
}

bool TSkinDefaultTheme::GetBooleanMetrics(int Index) {
  switch (Index) {
    case 3:
    case 6: return true;
    case 5: return USE_THEMES;
    default: return false;
  }
}

int TSkinDefaultTheme::GetIntegerMetrics(int Index) {
  switch (Index) {
    case 10:
      if (USE_THEMES) {
        SIZE s{};
        if (TOOLBAR_THEME && skinux::GetThemePartSize &&
            SUCCEEDED(skinux::GetThemePartSize(TOOLBAR_THEME, StockCompatibleDC(), TP_SPLITBUTTONDROPDOWN, 1,
                                                nullptr, TS_TRUE, &s)))
          return s.cx + 2;
        return 11;
      }
      return 11;
    case 20: return 8;
    case 21: return 3;
    case 30: return 2;
    case 31: return 0;
    case 32: return 1;
    case 33: return 2;
    case 34: return 3;
    case 36: return 2;
    case 37: return 4;
    case 40: return 6;
    case 60: return 2;
    case 61: return 2;
    case 62: return 1;
    case 64: return 4;
    case 65: return 13;
    default: return -1;
  }
}

TColor TSkinDefaultTheme::GetViewColor(int VT) {
  if (VT & VT_TOOLBAR) return toolbarColor_;
  if (VT & VT_POPUP) {
    if ((VT & VT_POPUPMENU) == VT_POPUPMENU) return clPopup;
    if ((VT & VT_LISTBOX) == VT_LISTBOX) return clWindow;
    if ((VT & VT_GRIDPOPUP) == VT_GRIDPOPUP) return toolbarColor_;
    if ((VT & VT_CHEVRONPOPUP) == VT_CHEVRONPOPUP) return clPopup;
    return toolbarColor_;
  }
  if (VT & VT_PANEL) return NearestMixedColor(toolbarColor_, clWindow, 64);
  return toolbarColor_;
}

TColor TSkinDefaultTheme::GetItemColor(const TSkinItemInfo& I) {
  if (!USE_THEMES && IsPopupMenu(I) && !IsToolbarStyle(I) && I.HoverKind != hkNone) return clHighlight;
  return GetViewColor(static_cast<int>(I.ViewType));
}

TColor TSkinDefaultTheme::GetItemTextColor(const TSkinItemInfo& I) {
  bool inactiveMenuBar = IsMenuBar(I) && !(I.ItemOptions & IO_APPACTIVE);
  if (!I.Enabled) return clGrayText;
  if (IsToolbarStyle(I) && (!IsMenuBar(I) || !USE_FLATMENUS)) return inactiveMenuBar ? clGrayText : clBtnText;
  if (I.HoverKind != hkNone) return clHighlightText;
  if (inactiveMenuBar) return clGrayText;
  return clPopupText;
}

TColor TSkinDefaultTheme::GetItemImageBackground(const TSkinItemInfo& I) {
  if (USE_FLATMENUS) {
    if (IsMenuBar(I) && I.HoverKind != hkNone) return clHighlight;
    if ((I.ViewType & VT_CHEVRONPOPUP) == VT_CHEVRONPOPUP) return toolbarColor_;
    if (IsPopupMenu(I) && !IsToolbarStyle(I) && I.HoverKind != hkNone) return toolbarColor_;
  }
  return GetViewColor(static_cast<int>(I.ViewType));
}

POINT TSkinDefaultTheme::GetImageOffset(TCanvas*, const TSkinItemInfo& I, TCustomImageList*) {
  return (I.Pushed || I.Selected) ? POINT{1, 1} : POINT{0, 0};
}

void TSkinDefaultTheme::GetViewBorder(int VT, POINT& Border) {
  int b = 0;
  if ((VT & VT_TOOLBAR) || ((VT & VT_PANEL) && !(VT & VT_POPUP))) {
    if (VT & VT_FLOATING) {
      bool res = (VT & VT_RESIZABLE) != 0;
      Border.x = GetSystemMetrics(res ? SM_CXSIZEFRAME : SM_CXFIXEDFRAME);
      Border.y = GetSystemMetrics(res ? SM_CYSIZEFRAME : SM_CYFIXEDFRAME);
      return;
    }
    b = 2;
  } else if (VT & VT_POPUP) {
    b = (VT & VT_LISTBOX) == VT_LISTBOX ? 1 : 3;
  }
  Border = POINT{b, b};
}

void TSkinDefaultTheme::GetViewMargins(int VT, TSkinMargins& M) {
  if ((VT & VT_TOOLBAR) && (VT & VT_FLOATING))
    M = TSkinMargins{4, 4, 2, 1};
  else
    M = TSkinMargins{};
}

void TSkinDefaultTheme::GetMargins(int ID, TSkinMargins& M) {
  M = TSkinMargins{};
  if (ID == 1) {
    M = TSkinMargins{2, 2, 2, 2};
    if (USE_THEMES && TOOLBAR_THEME && skinux::GetThemeMargins) {
      MARGINS m{};
      if (SUCCEEDED(skinux::GetThemeMargins(TOOLBAR_THEME, StockCompatibleDC(), TP_BUTTON, TS_HOT, 3603, nullptr,
                                             &m)))
        M = TSkinMargins{m.cxLeftWidth, m.cxRightWidth, m.cyTopHeight, m.cyBottomHeight};
    }
  } else if (ID == 3) {
    M = TSkinMargins{1, 3, 1, 1};
    if (USE_THEMES && STATUSBAR_THEME && skinux::GetThemeBackgroundContentRect) {
      RECT r{0, 0, 100, 100}, c{};
      if (SUCCEEDED(skinux::GetThemeBackgroundContentRect(STATUSBAR_THEME, StockCompatibleDC(), SP_PANE, 0, &r, &c)))
        M = TSkinMargins{c.left, 100 - c.right, c.top, 100 - c.bottom};
    }
  }
}

void TSkinDefaultTheme::PaintBackgnd(TCanvas* Canvas, const RECT&, const RECT& AClipRect, const RECT& APaintRect,
                                     TColor AColor, bool Transparent, int) {
  if (Transparent) return;
  RECT r;
  if (IntersectRect(&r, &AClipRect, &APaintRect)) FillRectEx(Canvas, r, AColor);
}

void TSkinDefaultTheme::PaintDock(TCanvas* Canvas, const RECT&, const RECT& ADockRect, int) {
  if (USE_THEMES) DrawPart(REBAR_THEME, Canvas->GetHandle(), 0, 0, ADockRect);
}

void TSkinDefaultTheme::PaintButton(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& I) {
  HDC dc = Canvas->GetHandle();
  RECT R = ARect;
  bool menuBar = IsMenuBar(I), hot = IsHot(I), transparent = IsTransparentToolbar(I);
  bool design = (I.ItemOptions & IO_DESIGNING) != 0;
  if (USE_THEMES && !menuBar) {
    int state;
    if (!I.Enabled)
      state = I.HoverKind == hkKeyboardHover ? TS_HOT : TS_DISABLED;
    else if (I.Pushed)
      state = TS_PRESSED;
    else if (I.Selected)
      state = I.HoverKind != hkNone ? TS_HOTCHECKED : TS_CHECKED;
    else
      state = I.HoverKind != hkNone ? TS_HOT : TS_NORMAL;
    int part = kComboPart[I.ComboPart & 3];
    if ((transparent || design) && TOOLBAR_THEME && skinux::GetThemeBackgroundRegion) {
      RECT rr = R;
      if (I.ComboPart == cpSplitRight) rr.left -= 1;
      HRGN rgn = nullptr;
      if (SUCCEEDED(skinux::GetThemeBackgroundRegion(TOOLBAR_THEME, dc, part, TS_HOT, &rr, &rgn)) && rgn) {
        if (!(!transparent && design)) {
          HBRUSH b = CreateSolidBrush(ColorToRef(toolbarColor_));
          FillRgn(dc, rgn, b);
          DeleteObject(b);
        }
        FrameRgn(dc, rgn, GetSysColorBrush(COLOR_BTNSHADOW), 1, 1);
        DeleteObject(rgn);
      }
    }
    DrawPart(TOOLBAR_THEME, dc, part, state, R);
    return;
  }
  if (menuBar && USE_FLATMENUS) {
    if ((I.Enabled && (I.Pushed || I.Selected)) || hot) FillRectEx(Canvas, R, clHighlight);
    return;
  }
  if (I.ComboPart == cpSplitRight && !menuBar && !USE_THEMES) R.right -= 2;
  if (USE_FLATMENUS && ((I.Enabled && (I.Pushed || I.Selected)) || hot)) FillRectEx(Canvas, R, toolbarColor_);
  if (transparent) {
    UINT flags = (hot && I.Enabled && !I.Pushed && !I.Selected) ? (BF_RECT | BF_MIDDLE | BF_ADJUST)
                                                                  : (BF_RECT | BF_MIDDLE | BF_ADJUST | BF_FLAT);
    RECT e = R;
    if (I.ComboPart == cpSplitLeft && !hot && !I.Pushed) e.right += 1;
    DrawEdge(dc, &e, EDGE_RAISED, flags);
    if (I.Selected && I.Enabled && I.HoverKind == hkNone) DitherRect(Canvas, e, toolbarColor_, clBtnHighlight);
  } else if (I.Enabled && (I.Pushed || I.Selected)) {
    RECT e = R;
    DrawEdge(dc, &e, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    if (!I.Pushed && I.HoverKind == hkNone) DitherRect(Canvas, e, toolbarColor_, clBtnHighlight);
  } else if (hot || design) {
    RECT e = R;
    DrawEdge(dc, &e, BDR_RAISEDINNER, BF_RECT);
  }
  if (I.ComboPart == cpSplitRight) PaintDropDownArrow(Canvas, R, I);
}

void TSkinDefaultTheme::PaintFrame(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& I) {
  HDC dc = Canvas->GetHandle();
  RECT R = ARect;
  bool transparent = IsTransparentToolbar(I), hot = IsHot(I), design = (I.ItemOptions & IO_DESIGNING) != 0;
  bool active = I.Pushed || I.Selected || hot;
  if (USE_THEMES) {
    InflateRect(&R, -1, -1);
    RECT f = R;
    Frame(dc, f, transparent ? clBtnShadow : toolbarColor_);
    InflateRect(&R, 1, 1);
    if (active || design) DrawPart(COMBO_THEME, dc, 0, 0, R);
    InflateRect(&R, -2, -2);
    Frame(dc, R, clWindow);
    return;
  }
  if (transparent) {
    if (!active) {
      InflateRect(&R, -1, -1);
      DrawEdge(dc, &R, BDR_SUNKENOUTER, BF_RECT | BF_FLAT);
    } else {
      DrawEdge(dc, &R, EDGE_SUNKEN, BF_RECT);
      InflateRect(&R, -1, -1);
    }
    return;
  }
  if (active || design) DrawEdge(dc, &R, BDR_SUNKENOUTER, BF_RECT);
  InflateRect(&R, -1, -1);
  Frame(dc, R, toolbarColor_);
  Frame(dc, R, clWindow);
}

void TSkinDefaultTheme::PaintCaption(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& I,
                                     const String& ACaption, UINT AFormat, bool Rotated) {
  TColor color = Canvas->Font()->GetColor();
  if (color == clNone) color = GetItemTextColor(I);
  RECT R = ARect;
  Canvas->Brush()->SetStyle(bsClear);
  if (!I.Enabled && !IsToolbarStyle(I) && I.HoverKind == hkKeyboardHover) {
    DrawTextIn(Canvas, ACaption, R, AFormat, color, Rotated);
  } else if (I.Enabled) {
    if (IsToolbarStyle(I) && (I.Pushed || I.Selected) && (!IsMenuBar(I) || !USE_FLATMENUS)) OffsetRect(&R, 1, 1);
    DrawTextIn(Canvas, ACaption, R, AFormat, color, Rotated);
  } else if (USE_THEMES) {
    DrawTextIn(Canvas, ACaption, R, AFormat, color, Rotated);
  } else {
    OffsetRect(&R, 1, 1);
    DrawTextIn(Canvas, ACaption, R, AFormat, clBtnHighlight, Rotated);
    OffsetRect(&R, -1, -1);
    DrawTextIn(Canvas, ACaption, R, AFormat, clBtnShadow, Rotated);
  }
  Canvas->Brush()->SetStyle(bsSolid);
}

void TSkinDefaultTheme::PaintCheckMark(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& I) {
  HDC dc = Canvas->GetHandle();
  int x = Cx(ARect) - 1, y = Cy(ARect);
  Polyline(dc, I.Enabled ? clBtnText : clGrayText,
           {{x - 2, y}, {x, y + 2}, {x + 4, y - 2}, {x + 4, y - 1}, {x, y + 3}, {x - 2, y + 1}, {x - 2, y}});
  if (!I.Enabled)
    Polyline(dc, clBtnHighlight, {{x - 3, y}, {x - 3, y + 1}, {x, y + 4}, {x + 5, y - 1}, {x + 5, y - 3}});
}

void TSkinDefaultTheme::PaintChevron(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& I) {
  PaintButton(Canvas, ARect, I);
  RECT G;
  if (!I.IsVertical) {
    G.top = 4;
    G.bottom = 9;
    G.left = ARect.left + 2;
    G.right = G.left + 8;
  } else {
    G.left = ARect.right - 9;
    G.right = G.left + 5;
    G.top = ARect.top + 2;
    G.bottom = G.top + 8;
  }
  if (I.Pushed) OffsetRect(&G, 1, 1);
  const uint8_t* pat = I.IsVertical ? kChevronVert : kChevronHorz;
  HDC dc = Canvas->GetHandle();
  int w = G.right - G.left, h = G.bottom - G.top;
  if (I.Enabled) {
    DrawSkinPattern(dc, pat, G.left, G.top, w, h, COLOR_BTNTEXT);
  } else {
    DrawSkinPattern(dc, pat, G.left, G.top + 1, w, h, COLOR_BTNHIGHLIGHT);
    DrawSkinPattern(dc, pat, G.left, G.top, w, h, COLOR_BTNSHADOW);
  }
}

void TSkinDefaultTheme::PaintDropDownArrow(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& I) {
  int x = Cx(ARect), y = Cy(ARect) - 1;
  if ((I.Pushed || I.Selected) && I.ComboPart != cpSplitRight) {
    ++x;
    ++y;
  }
  POINT p[3];
  if (!I.IsVertical) {
    p[0] = {x - 2, y};
    p[1] = {x + 2, y};
    p[2] = {x, y + 2};
  } else {
    p[0] = {x, y + 2};
    p[1] = {x, y - 2};
    p[2] = {x - 2, y};
  }
  HDC dc = Canvas->GetHandle();
  if (!I.Enabled)
    TriangleEmbossed(dc, p);
  else
    Triangle(dc, p, IsToolbarStyle(I) ? clPopupText : clBtnText);
}

void TSkinDefaultTheme::PaintEditFrame(TCanvas* Canvas, const RECT& ARect, TSkinItemInfo& I,
                                       const TSkinEditInfo& E) {
  PaintFrame(Canvas, ARect, I);
  int w = GetIntegerMetrics(60);
  RECT R = ARect;
  InflateRect(&R, -w, -w);
  if (E.RightBtnWidth > 0) R.right += 2 - E.RightBtnWidth;
  if (I.Enabled) FillRectEx(Canvas, R, clWindow);
  if (E.RightBtnWidth >= 1) {
    R = ARect;
    InflateRect(&R, -w, -w);
    R.left = R.right - E.RightBtnWidth;
    PaintEditButton(Canvas, R, I, E.RightBtnInfo);
  }
}

void TSkinDefaultTheme::PaintEditButton(TCanvas* Canvas, const RECT& ARect, TSkinItemInfo& I,
                                        const TSkinEditBtnInfo& B) {
  HDC dc = Canvas->GetHandle();
  RECT R = ARect;
  int st = B.ButtonState;
  bool disabled = st & 1, hot = (st & 2) != 0, transparent = IsTransparentToolbar(I);
  auto separatorLine = [&](bool active) {
    if (disabled) return;
    RECT l;
    if (active) {
      l = RECT{R.left - 1, R.top - 1, R.left, R.bottom + 1};
      FillRectEx(Canvas, l, toolbarColor_);
    } else {
      l = RECT{R.left - 1, R.top, R.left, R.bottom};
      FillRectEx(Canvas, l, transparent ? clBtnShadow : clWindow);
    }
  };
  auto edge = [&](RECT& r, bool pushed) {
    if (pushed)
      DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    else if (hot)
      DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
    else if (!transparent)
      Frame(dc, r, clWindow);
  };
  if (B.ButtonType == 1) {
    bool pushed = (st & 4) != 0;
    if (USE_THEMES) {
      int s = disabled ? CBXS_DISABLED : pushed ? CBXS_PRESSED : hot ? CBXS_HOT : CBXS_NORMAL;
      if (hot) InflateRect(&R, 1, 1);
      DrawPart(COMBO_THEME, dc, CP_DROPDOWNBUTTON, s, R);
      return;
    }
    R.left += 2;
    if (!disabled) {
      separatorLine(hot || pushed);
      edge(R, pushed);
    }
    TSkinItemInfo ai = I;
    ai.Enabled = !disabled;
    ai.Pushed = pushed;
    PaintDropDownArrow(Canvas, R, ai);
  } else if (B.ButtonType == 2) {
    bool upPushed = (st & 4) != 0, downPushed = (st & 8) != 0;
    if (USE_THEMES) {
      if (hot) InflateRect(&R, 1, 1);
      RECT up = R, down = R;
      up.bottom = (R.top + R.bottom - 1) / 2;
      down.top = (R.top + R.bottom) / 2;
      auto state = [&](bool pushed) { return disabled ? 4 : pushed ? 3 : hot ? 2 : 1; };
      DrawPart(SPIN_THEME, dc, SPNP_UP, state(upPushed), up);
      DrawPart(SPIN_THEME, dc, SPNP_DOWN, state(downPushed), down);
      return;
    }
    R.left += 2;
    if (!disabled) separatorLine(hot || upPushed || downPushed);
    TColor arrow = IsToolbarStyle(I) ? clPopupText : clBtnText;
    auto draw = [&](const POINT* p) {
      if (disabled)
        TriangleEmbossed(dc, p);
      else
        Triangle(dc, p, arrow);
    };
    RECT up = R;
    up.bottom = (R.top + R.bottom + 1) / 2;
    if (hot || upPushed) up.bottom -= 1;
    if (!disabled) edge(up, upPushed);
    {
      int p = upPushed ? 1 : 0;
      int x = Cx(R) + p, y = (3 * R.top + R.bottom + 3) / 4 + p;
      POINT t[3] = {{x - 2, y}, {x + 2, y}, {x, y - 2}};
      draw(t);
    }
    RECT down = R;
    down.top = (R.top + R.bottom) / 2;
    if (hot || downPushed) down.top += 1;
    if (!disabled) edge(down, downPushed);
    {
      int p = downPushed ? 1 : 0;
      int x = Cx(R) + p, y = (R.top + 3 * R.bottom - 4) / 4 + p;
      POINT t[3] = {{x - 2, y}, {x + 2, y}, {x, y + 2}};
      draw(t);
    }
  }
}

void TSkinDefaultTheme::PaintImage(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& I,
                                   TCustomImageList* IL, int Index) {
  if (!IL) return;
  RECT R = ARect;
  if (I.Pushed || I.Selected) OffsetRect(&R, 1, 1);
  if (auto* bl = dynamic_cast<TBarCustomImageList*>(IL)) {
    bl->DrawState(Canvas, R.left, R.top, Index, I.Enabled, I.HoverKind != hkNone, I.Selected);
    return;
  }
  bool popupItem = IsPopupMenu(I) && !IsToolbarStyle(I);
  if ((popupItem && !USE_FLATMENUS) || !USE_THEMES) {
    IL->Draw(Canvas, R.left, R.top, Index, I.Enabled);
    return;
  }
  TColor bg = GetItemImageBackground(I);
  bool dark = !popupItem && IsDarkColor(bg, 100);
  if (I.Enabled) {
    if (!I.Selected && !I.Pushed && I.HoverKind == hkNone && !dark && !SkinHiContrast && !SkinLoColor)
      HighlightSkinIcon(Canvas, R, IL, Index, clWindow, 178);
    else
      DrawSkinIcon(Canvas, R, IL, Index, dark);
  } else {
    DrawSkinIconShadow(Canvas, R, IL, Index, 0);
  }
}

void TSkinDefaultTheme::PaintMDIButton(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& I,
                                       unsigned Kind) {
  HDC dc = Canvas->GetHandle();
  RECT R = ARect;
  if (USE_THEMES) {
    int part = Kind == 0 ? WP_MDICLOSEBUTTON : Kind == 1 ? WP_MDIMINBUTTON : Kind == 3 ? WP_MDIRESTOREBUTTON : 0;
    int state = I.Pushed ? 3 : I.HoverKind != hkNone ? 2 : 1;
    DrawPart(WINDOW_THEME, dc, part, state, R);
    return;
  }
  DrawFrameControl(dc, &R, DFC_CAPTION, Kind | (I.Pushed ? DFCS_PUSHED : 0));
}

void TSkinDefaultTheme::PaintMenuItemFrame(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& I) {
  if (IsHot(I)) FillRectEx(Canvas, ARect, clHighlight);
}

void TSkinDefaultTheme::PaintMenuItem(TCanvas* Canvas, RECT& ARect, TSkinItemInfo& I) {
  HDC dc = Canvas->GetHandle();
  int w = GetSystemMetrics(SM_CXMENUCHECK);
  bool imageColumn = I.ImageWidth >= 1 || I.Selected;
  bool combo = (I.ItemOptions & IO_COMBO) != 0;
  bool hot = IsHot(I);
  RECT F = ARect;
  if (imageColumn) F.left += GetIntegerMetrics(32) + I.PopupMargin;
  if (combo && I.Enabled) F.right -= w;
  PaintMenuItemFrame(Canvas, F, I);
  if (combo) {
    RECT A{ARect.right - w, ARect.top, ARect.right, ARect.bottom};
    if (!I.Enabled || I.HoverKind == hkNone) {
      A.left -= 1;
      DrawEdge(dc, &A, hot ? BDR_SUNKENOUTER : EDGE_ETCHED, BF_LEFT);
    } else {
      DrawEdge(dc, &A, BDR_SUNKENOUTER, BF_RECT);
    }
  }
  if (I.ItemOptions & IO_SUBMENUITEM) {
    int y = (ARect.top + ARect.bottom) / 2, x = ARect.right - (2 * w) / 3 - 2;
    POINT p[3] = {{x, y - 3}, {x, y + 3}, {x + 3, y}};
    if (!I.Enabled) {
      if (I.HoverKind != hkKeyboardHover) {
        POINT s[3] = {{x + 1, y - 2}, {x + 1, y + 4}, {x + 4, y + 1}};
        Triangle(dc, s, clBtnHighlight);
      }
      Triangle(dc, p, clBtnShadow);
    } else if (I.HoverKind == hkNone || combo) {
      Triangle(dc, p, clPopupText);
    } else {
      Triangle(dc, p, clHighlightText);
    }
  }
  if (I.Enabled && imageColumn && (I.HoverKind != hkNone || I.Selected)) {
    RECT B{ARect.left, ARect.top, ARect.left + I.PopupMargin, ARect.bottom};
    if (USE_FLATMENUS) FillRectEx(Canvas, B, toolbarColor_);
    PaintButton(Canvas, B, I);
  }
}

void TSkinDefaultTheme::PaintSeparator(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& I, bool Horizontal,
                                       bool LineSeparator) {
  if (!I.Enabled) return;
  HDC dc = Canvas->GetHandle();
  RECT R = ARect;
  if (USE_THEMES && !IsPopupMenu(I)) {
    DrawPart(TOOLBAR_THEME, dc, Horizontal ? TP_SEPARATORVERT : TP_SEPARATOR, 1, R);
    return;
  }
  int m = 0;
  // On a floating toolbar a line separator runs close to the edges.
  if (LineSeparator) m = (I.ItemOptions & IO_FLOATING) ? 1 : 4;
  if (Horizontal) {
    if (!IsToolbarStyle(I)) m = 12;
    int h = R.bottom - R.top;
    R.top = R.top + h / 2 - 1;
    R.left += m;
    R.right -= m;
    DrawEdge(dc, &R, EDGE_ETCHED, BF_TOP);
  } else {
    int w = R.right - R.left;
    R.left = R.left + w / 2 - 1;
    R.top += m;
    R.bottom -= m;
    DrawEdge(dc, &R, EDGE_ETCHED, BF_LEFT);
  }
}
