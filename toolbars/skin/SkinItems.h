// Themed items and their viewers: the core items with per-item font
// overrides, a glyph layout, minimum sizes and a stretch flag, measured and
// painted through the current theme.
#pragma once

#include "toolbars/BarPopup.h"
#include "toolbars/BarToolbar.h"
#include "toolbars/skin/SkinThemes.h"

enum TTriState { tsDefault, tsTrue, tsFalse };

class TFontSettings : public TPersistent {
 public:
  const char* ClassName() const override { return "TFontSettings"; }
  void Assign(TPersistent* Source) override;
  // Applies the overrides to a font.
  void Apply(TFont* Font) const;

  TTriState GetBold() const { return bold_; }
  void SetBold(TTriState V) { Set(bold_, V); }
  TTriState GetItalic() const { return italic_; }
  void SetItalic(TTriState V) { Set(italic_, V); }
  TTriState GetUnderline() const { return underline_; }
  void SetUnderline(TTriState V) { Set(underline_, V); }
  TTriState GetStrikeOut() const { return strikeOut_; }
  void SetStrikeOut(TTriState V) { Set(strikeOut_, V); }
  uint16_t GetSize() const { return size_; }
  void SetSize(uint16_t V) { Set(size_, V); }
  TColor GetColor() const { return color_; }
  void SetColor(TColor V) { Set(color_, V); }
  const String& GetName() const { return name_; }
  void SetName(const String& V) { Set(name_, V); }

  TNotifyEvent OnChange;

 private:
  template <class T>
  void Set(T& Field, const T& V) {
    if (Field == V) return;
    Field = V;
    if (OnChange) OnChange(this);
  }
  TTriState bold_ = tsDefault, italic_ = tsDefault, underline_ = tsDefault, strikeOut_ = tsDefault;
  uint16_t size_ = 100;
  TColor color_ = clNone;
  String name_;
};

class TSkinItemViewer;
using TAdjustFontEvent = TEvent<void(TBarCustomItem* Item, TBarItemViewer* Viewer, TFont* Font, unsigned StateFlags)>;
using TDrawImageEvent = TEvent<void(TBarCustomItem* Item, TBarItemViewer* Viewer, TCanvas* Canvas, RECT ImageRect,
                                    POINT ImageOffset, unsigned StateFlags)>;

class TSkinCustomItem : public TBarCustomItem {
 public:
  explicit TSkinCustomItem(TComponent* AOwner);
  ~TSkinCustomItem() override;
  const char* ClassName() const override { return "TSkinCustomItem"; }

  TBarItemViewerClass GetItemViewerClass(TBarView* AView) override;
  TBarPopupWindow* CreatePopup(TBarView* ParentView, TBarItemViewer* ParentViewer, bool PositionAsSubmenu,
                               bool SelectFirstItem, bool Customizing, POINT APopupPoint,
                               TBarPopupAlignment Alignment) override;
  TBarPopupWindowClass GetPopupWindowClass() override;
  void GetPopupPosition(TBarView* ParentView, TBarPopupWindow* PopupWindow, TBarPopupPositionRec& Rec) override;
  void DefineProperties(TFiler* Filer) override;

  TFontSettings* FontSettings() const { return fontSettings_; }
  TSkinItemLayout GetLayout() const { return layout_; }
  void SetLayout(TSkinItemLayout Value);
  int GetMinHeight() const { return minHeight_; }
  void SetMinHeight(int Value);
  int GetMinWidth() const { return minWidth_; }
  void SetMinWidth(int Value);
  bool GetStretch() const { return GetItemStyle().Contains(tbisStretch); }
  void SetStretch(bool Value);

  bool ForceSelectFirst = false;
  bool GridPopup = false;
  TAdjustFontEvent OnAdjustFont;
  TDrawImageEvent OnDrawImage;

 private:
  void FontSettingsChanged(TObject* Sender) { Change(true); }
  TFontSettings* fontSettings_;
  TSkinItemLayout layout_ = skinlAuto;
  int minHeight_ = 0, minWidth_ = 0;
};

class TSkinItem : public TSkinCustomItem {
 public:
  using TSkinCustomItem::TSkinCustomItem;
  const char* ClassName() const override { return "TSkinItem"; }
};

class TSkinSubmenuItem : public TSkinCustomItem {
 public:
  explicit TSkinSubmenuItem(TComponent* AOwner);
  const char* ClassName() const override { return "TSkinSubmenuItem"; }
  bool GetDropdownCombo() const { return GetItemStyle().Contains(tbisCombo); }
  void SetDropdownCombo(bool Value);
};

class TSkinSeparatorItem : public TBarSeparatorItem {
 public:
  using TBarSeparatorItem::TBarSeparatorItem;
  const char* ClassName() const override { return "TSkinSeparatorItem"; }
  TBarItemViewerClass GetItemViewerClass(TBarView* AView) override;
  void DefineProperties(TFiler* Filer) override;
  int GetSize() const { return size_; }
  void SetSize(int Value);

 private:
  int size_ = -1;
};

// Shows and hides a control, checked while the control is visible.
class TSkinVisibilityToggleItem : public TSkinCustomItem {
 public:
  using TSkinCustomItem::TSkinCustomItem;
  const char* ClassName() const override { return "TSkinVisibilityToggleItem"; }
  void Click() override;
  void InitiateAction() override {
    UpdateProps();
    TSkinCustomItem::InitiateAction();
  }
  TControl* GetControl() const { return control_; }
  void SetControl(TControl* Value);
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void DefineProperties(TFiler* Filer) override;
  void Loaded() override;

 private:
  void UpdateProps();
  TControl* control_ = nullptr;
  String pendingControl_;  // the control a stream names, found in Loaded
};

class TSkinItemViewer : public TBarItemViewer {
 public:
  TSkinItemViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel);
  static TBarItemViewer* CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel);
  TBarItemViewerClass GetClass() const override { return &CreateViewer; }

  void CalcSize(TCanvas* Canvas, int& AWidth, int& AHeight) override;
  void Paint(TCanvas* Canvas, RECT ClientAreaRect, bool IsSelected, bool IsPushed, bool UseDisabledShadow) override;
  bool IsPtInButtonPart(int X, int Y) override;
  void MouseUp(int X, int Y, bool MouseWasDownOnMenu) override;
  bool IsToolbarSize() override;
  bool IsToolbarStyle() override;
  int GetAccRole() override;

  virtual void DoPaintCaption(TCanvas* Canvas, const RECT& ClientAreaRect, RECT& CaptionRect, bool IsRotated,
                              bool& PaintDefault) {}
  virtual int GetItemType() { return IsToolbarStyle() ? 1 : 2; }
  virtual void DrawItemImage(TCanvas* Canvas, const RECT& ARect, const TSkinItemInfo& ItemInfo);
  virtual void DoAdjustFont(TFont* AFont, unsigned StateFlags);
  virtual bool GetImageShown();
  virtual SIZE GetImageSize();
  virtual SIZE GetTextSize(TCanvas* Canvas, const String& Text, UINT Flags, bool Rotated);
  UINT GetTextFlags();

  // Fills the record the theme paints from.
  void FillItemInfo(TSkinItemInfo& Info, bool IsPushed);
  // The effective glyph layout and whether the caption runs downwards.
  TSkinItemLayout EffectiveLayout();
  bool CaptionRotated();

 protected:
  bool glyphGap_ = true;
};

class TSkinSeparatorItemViewer : public TBarSeparatorItemViewer {
 public:
  using TBarSeparatorItemViewer::TBarSeparatorItemViewer;
  static TBarItemViewer* CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel);
  TBarItemViewerClass GetClass() const override { return &CreateViewer; }
  void CalcSize(TCanvas* Canvas, int& AWidth, int& AHeight) override;
  void Paint(TCanvas* Canvas, RECT ClientAreaRect, bool IsSelected, bool IsPushed, bool UseDisabledShadow) override;
};

class TSkinChevronItemViewer : public TBarChevronItemViewer {
 public:
  using TBarChevronItemViewer::TBarChevronItemViewer;
  static TBarItemViewer* CreateViewer(TBarView* AView, TBarCustomItem* AItem, int AGroupLevel);
  TBarItemViewerClass GetClass() const override { return &CreateViewer; }
  void Paint(TCanvas* Canvas, RECT ClientAreaRect, bool IsSelected, bool IsPushed, bool UseDisabledShadow) override;
};

// Width of the image column of a pop-up for a viewer's row.
int GetPopupMargin(TBarItemViewer* Viewer);
void DrawSkinCaption(TCanvas* Canvas, const RECT& R, const String& Text, UINT Format, unsigned StateFlags);
void DrawSkinImage(TCanvas* Canvas, const RECT& R, TCustomImageList* ImageList, int ImageIndex, unsigned StateFlags);
// Pop-up placement shared by the themed items and the themed chevron.
void SkinAdjustPopupPosition(TBarCustomItem* Item, TBarView* ParentView, TBarPopupWindow* PopupWindow,
                             TBarPopupPositionRec& Rec, bool IsSkinItem);
