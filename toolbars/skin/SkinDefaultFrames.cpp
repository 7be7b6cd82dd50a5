// The Default theme's non-client areas, window captions, scroll arrows,
// check and radio glyphs and status-bar parts.
#include <vssym32.h>

#include <algorithm>

#include "toolbars/BarUtilsWin.h"
#include "toolbars/skin/SkinDefaultTheme.h"
#include "toolbars/skin/SkinUtils.h"
#include "toolbars/skin/SkinUxThemes.h"

namespace {
const uint8_t kToolbarClose[8] = {0xCC, 0x78, 0x30, 0x78, 0xCC, 0, 0, 0};
const uint8_t kPanelClose[8] = {0xC6, 0x6C, 0x38, 0x38, 0x6C, 0xC6, 0, 0};
// Grip offset by [close button][drag-handle style].
const int kGripOffset[2][3] = {{2, 0, 2}, {3, 0, 5}};

inline int Cx(const RECT& R) { return (R.left + R.right) / 2; }
inline int Cy(const RECT& R) { return (R.top + R.bottom) / 2; }

void DrawPart(HTHEME Theme, HDC DC, int Part, int State, const RECT& R) {
  if (Theme && skinux::DrawThemeBackground) skinux::DrawThemeBackground(Theme, DC, Part, State, &R, nullptr);
}

void FrameIn(HDC DC, RECT& R, TColor C) {
  HBRUSH b = CreateSolidBrush(ColorToRef(C));
  FrameRect(DC, &R, b);
  DeleteObject(b);
  InflateRect(&R, -1, -1);
}

void FillColor(HDC DC, const RECT& R, TColor C) { FillRectEx2(DC, R, C); }

void SysTriangle(HDC DC, const POINT* P, TColor C) { FillTriangle(DC, P, C); }
}  // namespace

void TSkinDefaultTheme::PaintPopupNCArea(TCanvas* Canvas, const RECT& ARect, const TSkinPopupInfo& P) {
  HDC dc = Canvas->GetHandle();
  RECT R = ARect;
  if ((P.ViewType & VT_LISTBOX) == VT_LISTBOX) {
    FrameIn(dc, R, clWindowFrame);
    FrameIn(dc, R, clWindow);
    RECT r = R;
    FrameIn(dc, r, clWindow);
  } else if (USE_FLATMENUS && (P.ViewType & VT_GRIDPOPUP) != VT_GRIDPOPUP) {
    FrameIn(dc, R, clBtnShadow);
    FrameIn(dc, R, clPopup);
    FrameIn(dc, R, clPopup);
  } else {
    DrawEdge(dc, &R, EDGE_RAISED, BF_RECT | BF_ADJUST);
    FrameIn(dc, R, (P.ViewType & VT_GRIDPOPUP) == VT_GRIDPOPUP ? toolbarColor_ : clPopup);
  }
}

void TSkinDefaultTheme::PaintToolbarNCArea(TCanvas* Canvas, const RECT& ARect, const TSkinToolbarInfo& T) {
  HDC dc = Canvas->GetHandle();
  RECT R = ARect;
  Canvas->FillRect(R);
  if (T.BorderStyle == 1) {
    if (USE_THEMES && TOOLBAR_THEME && skinux::DrawThemeEdge) {
      RECT in{};
      skinux::DrawThemeEdge(TOOLBAR_THEME, dc, TP_SPLITBUTTON, 0, &R, BDR_RAISEDINNER, BF_RECT | BF_ADJUST, &in);
      R = in;
    } else {
      DrawEdge(dc, &R, BDR_RAISEDINNER, BF_RECT | BF_ADJUST);
    }
  }
  bool closeButton = (T.CloseButtonState & 1) != 0;
  if (T.AllowDrag) {
    int h = GetSkinDragHandleSize(T);
    RECT strip = R;
    if (!T.IsVertical)
      strip.right = strip.left + h;
    else
      strip.bottom = strip.top + h;
    if (T.DragHandleStyle != dhNone) {
      RECT G = strip;
      if (USE_THEMES) {
        if (closeButton) {
          if (!T.IsVertical)
            G.top += h - 1;
          else
            G.right -= h - 1;
        }
        if (!T.IsVertical) {
          G.left = (G.left + G.right - 6) / 2;
          G.right = G.left + 6;
          G.bottom -= 1;
        } else {
          G.top = (G.top + G.bottom - 6) / 2;
          G.bottom = G.top + 6;
          G.right -= 1;
        }
        DrawPart(REBAR_THEME, dc, T.IsVertical ? RP_GRIPPERVERT : RP_GRIPPER, 0, G);
      } else {
        int off = kGripOffset[closeButton ? 1 : 0][T.DragHandleStyle];
        if (!T.IsVertical) {
          G.left += off;
          if (closeButton) G.top += h - 2;
          G.right = G.left + 3;
          InflateRect(&G, 0, -1);
        } else {
          G.top += off;
          if (closeButton) G.right -= h - 2;
          G.bottom = G.top + 3;
          InflateRect(&G, -1, 0);
        }
        int bars = T.DragHandleStyle == dhDouble ? 2 : 1;
        for (int b = 0; b < bars; ++b) {
          RECT e = G;
          DrawEdge(dc, &e, BDR_RAISEDINNER, BF_RECT);
          SetPixel(dc, G.left, G.bottom - 1, ColorToRef(clBtnHighlight));
          if (!T.IsVertical)
            OffsetRect(&G, 3, 0);
          else
            OffsetRect(&G, 0, 3);
        }
      }
    }
  }
  if (closeButton) {
    RECT C;
    GetSkinDockedCloseButtonRect(T, C);
    int d = USE_THEMES ? 1 : 2;
    C.bottom -= d;
    if (!T.IsVertical)
      C.right -= d;
    else
      C.left += d;
    bool pushed = (T.CloseButtonState & 4) != 0, hot = (T.CloseButtonState & 2) != 0;
    if (USE_THEMES) {
      DrawPart(TOOLBAR_THEME, dc, TP_BUTTON, pushed ? 3 : hot ? 2 : 1, C);
      if (pushed) OffsetRect(&C, 1, 1);
    } else if (pushed) {
      RECT e = C;
      DrawEdge(dc, &e, BDR_SUNKENOUTER, BF_RECT);
      OffsetRect(&C, 1, 1);
    } else if (hot) {
      RECT e = C;
      DrawEdge(dc, &e, BDR_RAISEDINNER, BF_RECT);
    }
    DrawSkinPattern(dc, kToolbarClose, (C.left + C.right - 6) / 2, (C.top + C.bottom - 7) / 2, 7, 7, COLOR_BTNTEXT);
  }
}

void TSkinDefaultTheme::PaintFloatingBorder(TCanvas* Canvas, const RECT& ARect, const TSkinWindowInfo& W) {
  HDC dc = Canvas->GetHandle();
  RECT R = ARect;
  bool closeShown = (W.CloseButtonState & 1) != 0;
  bool pushed = (W.CloseButtonState & 4) != 0, hot = (W.CloseButtonState & 2) != 0;
  if (!USE_THEMES) {
    if (W.RedrawPart & 1) {
      int s = SaveDC(dc);
      RECT in = R;
      InflateRect(&in, -W.FloatingBorderSize.x, -W.FloatingBorderSize.y);
      ExcludeClipRect(dc, in.left, in.top, in.right, in.bottom);
      RECT e = R;
      DrawEdge(dc, &e, EDGE_RAISED, BF_RECT | BF_MIDDLE);
      RestoreDC(dc, s);
    }
    if (W.ShowCaption) {
      BOOL gradient = FALSE;
      bool grad = SystemParametersInfoW(SPI_GETGRADIENTCAPTIONS, 0, &gradient, 0) && gradient;
      RECT K;
      GetSkinCloseButtonRect(W, true, K);
      if (W.RedrawPart & 2) {
        int s = SaveDC(dc);
        if (closeShown) ExcludeClipRect(dc, K.left, K.top, K.right, K.bottom);
        RECT cap;
        GetSkinCaptionRect(W, true, closeShown, cap);
        UINT flags = DC_SMALLCAP | DC_TEXT | (W.Active ? DC_ACTIVE : 0) | (grad ? DC_GRADIENT : 0);
        DrawCaption(W.WindowHandle ? W.WindowHandle : W.ParentHandle, dc, &cap, flags);
        RestoreDC(dc, s);
        RECT full;
        GetSkinCaptionRect(W, true, false, full);
        RECT line{full.left, full.bottom, full.right, full.bottom + 1};
        FillRect(dc, &line, GetSysColorBrush(COLOR_BTNFACE));
      }
      if (closeShown) {
        RECT I = K;
        InflateRect(&I, -2, -2);
        if (W.RedrawPart & 2) {
          int idx = grad ? (W.Active ? COLOR_GRADIENTACTIVECAPTION : COLOR_GRADIENTINACTIVECAPTION)
                         : (W.Active ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION);
          int s = SaveDC(dc);
          ExcludeClipRect(dc, I.left, I.top, I.right, I.bottom);
          FillRect(dc, &K, GetSysColorBrush(idx));
          RestoreDC(dc, s);
        }
        if (W.RedrawPart & 4) DrawFrameControl(dc, &I, DFC_CAPTION, DFCS_CAPTIONCLOSE | (pushed ? DFCS_PUSHED : 0));
      }
    }
    return;
  }
  int state = W.Active ? FS_ACTIVE : FS_INACTIVE;
  int bx = W.FloatingBorderSize.x, by = W.FloatingBorderSize.y;
  if (W.RedrawPart & 1) {
    RECT b = R;
    b.top = R.bottom - by;
    DrawPart(WINDOW_THEME, dc, WP_SMALLFRAMEBOTTOM, state, b);
    RECT c = R;
    c.bottom = R.top + by + GetSystemMetrics(SM_CYSMCAPTION);
    DrawPart(WINDOW_THEME, dc, WP_SMALLCAPTION, state, c);
    RECT l{R.left, c.bottom, R.left + bx, R.bottom - by};
    DrawPart(WINDOW_THEME, dc, WP_SMALLFRAMELEFT, state, l);
    RECT r{R.right - bx, c.bottom, R.right, R.bottom - by};
    DrawPart(WINDOW_THEME, dc, WP_SMALLFRAMERIGHT, state, r);
  }
  if (W.ShowCaption) {
    RECT T = R;
    InflateRect(&T, -bx, -by);
    T.bottom -= W.ClientHeight;
    if (W.RedrawPart & 2) {
      RECT box = T;
      if (closeShown && (W.RedrawPart & 4)) box.right -= GetSystemMetrics(SM_CYSMCAPTION);
      if (SmCaptionFont) SelectObject(dc, SmCaptionFont);
      SetTextColor(dc, ColorToRef(W.Active ? clCaptionText : clInactiveCaptionText));
      SetBkMode(dc, TRANSPARENT);
      if (W.Caption) DrawTextW(dc, W.Caption, -1, &box, 0x108024);
      SetBkMode(dc, OPAQUE);
    }
    if (closeShown) {
      T.bottom -= 1;
      T.left = T.right - (T.bottom - T.top);
      InflateRect(&T, -2, -2);
      DrawPart(WINDOW_THEME, dc, WP_SMALLCLOSEBUTTON, pushed ? 3 : hot ? 2 : 1, T);
    }
  }
}

void TSkinDefaultTheme::PaintDockPanelNCArea(TCanvas* Canvas, const RECT& ARect, const TSkinDockPanelInfo& P) {
  HDC dc = Canvas->GetHandle();
  int s = GetSystemMetrics(SM_CYSMCAPTION);
  RECT R = ARect;
  FrameIn(dc, R, toolbarColor_);
  RECT inner = R;
  if (!P.IsVertical)
    inner.top += s;
  else
    inner.left += s;
  {
    RECT f = inner;
    FrameIn(dc, f, clWindow);
  }
  if (!P.ShowCaption) return;
  RECT C = R;
  if (!P.IsVertical)
    C.bottom = C.top + s;
  else
    C.right = C.left + s;
  const RECT box = C;
  DrawEdge(dc, &C, BDR_RAISEDINNER, BF_RECT | BF_ADJUST);  // the caption lies inside its edge
  if (P.CloseButtonState & 1) {
    RECT B = box;
    if (!P.IsVertical) {
      B.left = box.right - s;
      C.right = std::min(C.right, B.left);
    } else {
      B.top = box.bottom - s;
      C.bottom = std::min(C.bottom, B.top);
    }
    FillColor(dc, B, toolbarColor_);
    InflateRect(&B, -1, -1);
    if (!P.IsVertical)
      B.left += 1;
    else
      B.bottom -= 1;
    bool pushed = (P.CloseButtonState & 4) != 0, hot = (P.CloseButtonState & 2) != 0;
    if (USE_THEMES) {
      DrawPart(TOOLBAR_THEME, dc, TP_BUTTON, pushed ? 3 : hot ? 2 : 1, B);
      if (pushed) OffsetRect(&B, 1, 1);
    } else if (pushed) {
      RECT x = B;
      DrawEdge(dc, &x, BDR_SUNKENOUTER, BF_RECT);
      OffsetRect(&B, 1, 1);
    } else if (hot) {
      RECT x = B;
      DrawEdge(dc, &x, BDR_RAISEDINNER, BF_RECT);
    }
    InflateRect(&B, -2, -2);
    DrawSkinPattern(dc, kPanelClose, (B.left + B.right - 7) / 2, (B.top + B.bottom - 6) / 2, 7, 6, COLOR_BTNTEXT);
  }
  FillColor(dc, C, toolbarColor_);
  if (!P.IsVertical)
    InflateRect(&C, -2, 0);
  else
    InflateRect(&C, 0, -2);
  if (SmCaptionFont) SelectObject(dc, SmCaptionFont);
  SetTextColor(dc, ColorToRef(clBtnText));
  SetBkMode(dc, TRANSPARENT);
  if (P.Caption) {
    if (!P.IsVertical)
      DrawTextW(dc, P.Caption, -1, &C, 0x8824);
    else
      DrawRotatedText(dc, P.Caption, C, 0x8824);
  }
  SetBkMode(dc, OPAQUE);
}

void TSkinDefaultTheme::PaintPageScrollButton(TCanvas* Canvas, const RECT& ARect, int Kind, bool Hot) {
  HDC dc = Canvas->GetHandle();
  RECT R = ARect;
  if (!USE_THEMES) {
    static const UINT kinds[5] = {0, DFCS_SCROLLUP, DFCS_SCROLLDOWN, DFCS_SCROLLLEFT, DFCS_SCROLLRIGHT};
    UINT k = (Kind >= 1 && Kind <= 4) ? kinds[Kind] : 0;
    DrawFrameControl(dc, &R, DFC_SCROLL, k | (Hot ? DFCS_FLAT : 0));
    return;
  }
  DrawPart(TOOLBAR_THEME, dc, TP_BUTTON, Hot ? TS_PRESSED : TS_HOT, R);
  int cx = Cx(R), cy = Cy(R);
  int s = (std::min(cx - R.left, cy - R.top) * 3) / 4;
  TColor c = Hot ? clBtnText : Canvas->Pen()->GetColor();
  POINT p[3];
  switch (Kind) {
    case 1:
      p[0] = {cx + s, cy + s / 2};
      p[1] = {cx, cy + s / 2 - s};
      p[2] = {cx - s, cy + s / 2};
      break;
    case 2: {
      int y0 = (R.top + R.bottom - 1) / 2 - s / 2;
      p[0] = {cx + s, y0};
      p[1] = {cx, y0 + s};
      p[2] = {cx - s, y0};
      break;
    }
    case 3: {
      int x0 = cx + s / 2;
      p[0] = {x0, cy + s};
      p[1] = {x0 - s, cy};
      p[2] = {x0, cy - s};
      break;
    }
    default: {
      int x0 = (R.left + R.right - 1) / 2 - s / 2;
      p[0] = {x0, cy + s};
      p[1] = {x0 + s, cy};
      p[2] = {x0, cy - s};
      break;
    }
  }
  SysTriangle(dc, p, c);
}

void TSkinDefaultTheme::PaintGlyph(TCanvas* Canvas, const RECT& ARect, int Kind, int State) {
  HDC dc = Canvas->GetHandle();
  RECT R = ARect;
  bool checked = State & 1, mixed = State & 2, disabled = State & 4, hot = State & 8, pushed = State & 16;
  TColor frame = disabled ? clBtnShadow : (hot || pushed) ? clNone : clBtnShadow;
  if (Kind == 1) {
    if (USE_THEMES) {
      int base = checked ? 5 : mixed ? 9 : 1;
      int add = disabled ? 3 : pushed ? 2 : hot ? 1 : 0;
      DrawPart(BUTTON_THEME, dc, BP_CHECKBOX, base + add, R);
      return;
    }
    if (frame != clNone) {
      InflateRect(&R, -1, -1);
      FrameIn(dc, R, frame);
      if (disabled || pushed)
        FillColor(dc, R, clBtnFace);
      else if (mixed)
        DitherRect(Canvas, R, clWindow, clBtnFace);
      else
        FillColor(dc, R, clWindow);
      if (checked || mixed) {
        int x = Cx(R) - 1, y = Cy(R) + 1;
        TColor c = disabled ? clGrayText : mixed ? clBtnShadow : clBtnText;
        POINT p[7] = {{x - 2, y}, {x, y + 2}, {x + 4, y - 2}, {x + 4, y - 4}, {x, y}, {x - 2, y - 2}, {x - 2, y}};
        HPEN pen = CreatePen(PS_SOLID, 1, ColorToRef(c));
        HBRUSH br = CreateSolidBrush(ColorToRef(c));
        HGDIOBJ op = SelectObject(dc, pen), ob = SelectObject(dc, br);
        Polygon(dc, p, 7);
        SelectObject(dc, op);
        SelectObject(dc, ob);
        DeleteObject(pen);
        DeleteObject(br);
      }
    } else {
      UINT f = DFCS_BUTTONCHECK;
      if (checked) f |= DFCS_CHECKED;
      if (mixed) f |= DFCS_BUTTON3STATE | DFCS_CHECKED;
      if (pushed) f |= DFCS_PUSHED;
      DrawFrameControl(dc, &R, DFC_BUTTON, f);
    }
  } else if (Kind == 2) {
    if (USE_THEMES) {
      int st = checked ? (disabled ? 8 : pushed ? 7 : hot ? 6 : 5) : (disabled ? 4 : pushed ? 3 : hot ? 2 : 1);
      DrawPart(BUTTON_THEME, dc, BP_RADIOBUTTON, st, R);
      return;
    }
    if (frame != clNone) {
      HPEN pen = CreatePen(PS_SOLID, 1, ColorToRef(frame));
      HBRUSH br = CreateSolidBrush(ColorToRef((disabled || pushed) ? clBtnFace : clWindow));
      HGDIOBJ op = SelectObject(dc, pen), ob = SelectObject(dc, br);
      InflateRect(&R, -1, -1);
      R.left += 1;
      R.bottom -= 1;
      RoundRect(dc, R.left, R.top, R.right, R.bottom, R.right - R.left - 2, R.bottom - R.top - 2);
      SelectObject(dc, op);
      SelectObject(dc, ob);
      DeleteObject(pen);
      DeleteObject(br);
      if (checked) {
        InflateRect(&R, -3, -3);
        HPEN p2 = CreatePen(PS_SOLID, 1, ColorToRef(clBtnText));
        HBRUSH b2 = CreateSolidBrush(ColorToRef(clBtnText));
        op = SelectObject(dc, p2);
        ob = SelectObject(dc, b2);
        RoundRect(dc, R.left, R.top, R.right, R.bottom, R.right - R.left, R.bottom - R.top);
        SelectObject(dc, op);
        SelectObject(dc, ob);
        DeleteObject(p2);
        DeleteObject(b2);
      }
    } else {
      UINT f = DFCS_BUTTONRADIO | (checked ? DFCS_CHECKED : 0) | (pushed ? DFCS_PUSHED : 0);
      DrawFrameControl(dc, &R, DFC_BUTTON, f);
    }
  }
}

void TSkinDefaultTheme::PaintStatusBar(TCanvas* Canvas, const RECT& ARect, int Part) {
  HDC dc = Canvas->GetHandle();
  RECT R = ARect;
  switch (Part) {
    case 0:
      if (USE_THEMES)
        DrawPart(STATUSBAR_THEME, dc, 0, 0, R);
      else
        FillColor(dc, R, clBtnFace);
      break;
    case 1:
    case 2:
      if (USE_THEMES) {
        DrawPart(STATUSBAR_THEME, dc, Part == 1 ? SP_PANE : SP_GRIPPERPANE, 0, R);
      } else {
        if (Part == 1) R.right -= 2;
        Frame3D(Canvas, R, clBtnShadow, clBtnHighlight);
      }
      break;
    case 3: {
      if (USE_THEMES) {
        DrawPart(STATUSBAR_THEME, dc, SP_GRIPPER, 0, R);
        break;
      }
      int n = std::min(R.right - R.left, R.bottom - R.top);
      std::vector<TColor> group;
      if (n < 9)
        group = {clBtnShadow, clBtnHighlight};
      else if (n < 12)
        group = {clBtnFace, clBtnShadow, clBtnHighlight};
      else if (n < 15)
        group = {clBtnShadow, clBtnShadow, clBtnHighlight};
      else
        group = {clBtnFace, clBtnShadow, clBtnShadow, clBtnHighlight};
      int k = 0;
      auto line = [&](TColor c, int x1, int y1, int x2, int y2) {
        HPEN p = CreatePen(PS_SOLID, 1, ColorToRef(c));
        HGDIOBJ o = SelectObject(dc, p);
        MoveToEx(dc, x1, y1, nullptr);
        LineTo(dc, x2, y2);
        SelectObject(dc, o);
        DeleteObject(p);
      };
      for (int g = 0; g < 3; ++g)
        for (TColor c : group) {
          line(c, R.right - 2 - k, R.bottom - 2, R.right - 1, R.bottom - 3 - k);
          ++k;
        }
      HPEN p = CreatePen(PS_SOLID, 1, ColorToRef(clBtnFace));
      HGDIOBJ o = SelectObject(dc, p);
      MoveToEx(dc, R.right - k - 1, R.bottom - 1, nullptr);
      LineTo(dc, R.right - 1, R.bottom - 1);
      LineTo(dc, R.right - 1, R.bottom - k - 2);
      SelectObject(dc, o);
      DeleteObject(p);
      break;
    }
    default:
      break;
  }
}
