// The "Default" theme: classic system colours, edges and frame controls,
// or the visual styles when they are in use; flat menus with the highlight
// colour where the system has them.
#pragma once

#include "toolbars/skin/SkinThemes.h"

class TSkinDefaultTheme : public TSkinTheme {
 public:
  explicit TSkinDefaultTheme(const String& AName);
  ~TSkinDefaultTheme() override;

  POINT GetImageOffset(TCanvas* Canvas, const TSkinItemInfo& ItemInfo, TCustomImageList* ImageList) override;
  TColor GetItemColor(const TSkinItemInfo& ItemInfo) override;
  TColor GetItemTextColor(const TSkinItemInfo& ItemInfo) override;
  TColor GetItemImageBackground(const TSkinItemInfo& ItemInfo) override;
  void GetMargins(int MarginID, TSkinMargins& Margins) override;
  int GetPopupShadowType() override { return 1; }
  void GetViewBorder(int ViewType, POINT& Border) override;
  TColor GetViewColor(int ViewType) override;
  void GetViewMargins(int ViewType, TSkinMargins& Margins) override;
  void PaintBackgnd(TCanvas* Canvas, const RECT& ARect, const RECT& AClipRect, const RECT& APaintRect,
                    TColor AColor, bool Transparent, int AViewType) override;
  void PaintButton(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& ItemInfo) override;
  void PaintCaption(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& ItemInfo, const String& ACaption,
                    UINT AFormat, bool Rotated) override;
  void PaintCheckMark(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& ItemInfo) override;
  void PaintChevron(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& ItemInfo) override;
  void PaintEditFrame(TCanvas* Canvas, const RECT& ARect, TSkinItemInfo& ItemInfo,
                      const TSkinEditInfo& EditInfo) override;
  void PaintEditButton(TCanvas* Canvas, const RECT& ARect, TSkinItemInfo& ItemInfo,
                       const TSkinEditBtnInfo& ButtonInfo) override;
  void PaintDock(TCanvas* Canvas, const RECT& AClientRect, const RECT& ADockRect, int ADockPosition) override;
  void PaintDockPanelNCArea(TCanvas* Canvas, const RECT& R, const TSkinDockPanelInfo& DockPanelInfo) override;
  void PaintDropDownArrow(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& ItemInfo) override;
  void PaintFloatingBorder(TCanvas* Canvas, const RECT& ARect, const TSkinWindowInfo& WindowInfo) override;
  void PaintFrame(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& ItemInfo) override;
  void PaintImage(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& ItemInfo, TCustomImageList* ImageList,
                  int ImageIndex) override;
  void PaintMDIButton(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& ItemInfo,
                      unsigned ButtonKind) override;
  void PaintMenuItem(TCanvas* Canvas, RECT& ARect, TSkinItemInfo& ItemInfo) override;
  void PaintMenuItemFrame(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& ItemInfo) override;
  void PaintPageScrollButton(TCanvas* Canvas, const RECT& ARect, int ButtonType, bool Hot) override;
  void PaintPopupNCArea(TCanvas* Canvas, const RECT& R, const TSkinPopupInfo& PopupInfo) override;
  void PaintSeparator(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& ItemInfo, bool Horizontal,
                      bool LineSeparator) override;
  void PaintToolbarNCArea(TCanvas* Canvas, const RECT& R, const TSkinToolbarInfo& ToolbarInfo) override;
  void PaintGlyph(TCanvas* Canvas, const RECT& R, int GlyphKind, int State) override;
  void PaintStatusBar(TCanvas* Canvas, const RECT& R, int Part) override;
  int GetIntegerMetrics(int Index) override;
  bool GetBooleanMetrics(int Index) override;

  virtual void SetupColorCache();
  void SkinMessage(TMessage& Message) override;
  TColor ToolbarColor() const { return toolbarColor_; }

 protected:
  // The system-change notice: colours changed (WParam 2) refresh the cache.
  void SkinSysCommand(TMessage& Message);
  TColor toolbarColor_ = clBtnFace;
};

TSkinTheme* CreateSkinDefaultTheme(const String& Name);
