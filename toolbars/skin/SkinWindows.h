// Themed windows: pop-up windows and menus, toolbars, tool windows,
// floating forms and docks, all painted through the current theme and
// answering the layer's view-type and effective-colour queries.
#pragma once

#include <utility>

#include <memory>

#include "toolbars/BarFloat.h"
#include "toolbars/BarPopup.h"
#include "toolbars/BarToolWindow.h"
#include "toolbars/BarToolbar.h"
#include "toolbars/skin/SkinItems.h"
#include "toolbars/skin/SkinUtils.h"

class TSkinPopupView : public TBarPopupView {
 public:
  using TBarPopupView::TBarPopupView;
  const char* ClassName() const override { return "TSkinPopupView"; }
};

class TSkinPopupWindow : public TBarPopupWindow {
 public:
  TSkinPopupWindow(TComponent* AOwner, TBarView* AParentView, TBarCustomItem* AItem, bool ACustomizing);
  ~TSkinPopupWindow() override;
  const char* ClassName() const override { return "TSkinPopupWindow"; }

  virtual void CreateShadow();
  virtual void DestroyShadow();
  virtual bool GetShowShadow();
  virtual int GetViewTypeOf();
  TShadows* Shadow() const { return shadow_.get(); }

  SIZE GetNCSize() override;
  TBarPopupViewClass GetViewClass() override;
  void PaintNCArea(HDC DC) override;
  void WndProc(TMessage& m) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  // The showing notice: a themed shadow once the window shows.
  void WMVmoxPopupShowing(TMessage& Message);

 private:
  std::unique_ptr<TShadows> shadow_;
};

class TSkinChevronPopupWindow : public TSkinPopupWindow {
 public:
  using TSkinPopupWindow::TSkinPopupWindow;
  const char* ClassName() const override { return "TSkinChevronPopupWindow"; }
};

class TSkinRootItem : public TBarRootItem {
 public:
  using TBarRootItem::TBarRootItem;
  const char* ClassName() const override { return "TSkinRootItem"; }
  TBarPopupWindowClass GetPopupWindowClass() override;
};

class TSkinPopupMenu : public TBarPopupMenu, public ISkinListener {
 public:
  explicit TSkinPopupMenu(TComponent* AOwner);
  const char* ClassName() const override { return "TSkinPopupMenu"; }
  TBarRootItemClass GetRootItemClass() override;
  void SkinMessage(TMessage& Message) override;
};

class TSkinChevronItem : public TBarChevronItem {
 public:
  explicit TSkinChevronItem(TBarCustomToolbar* AToolbar) : TBarChevronItem(AToolbar) {}
  const char* ClassName() const override { return "TSkinChevronItem"; }
  TBarItemViewerClass GetItemViewerClass(TBarView* AView) override;
  TBarPopupWindowClass GetPopupWindowClass() override;
  void GetPopupPosition(TBarView* ParentView, TBarPopupWindow* PopupWindow, TBarPopupPositionRec& Rec) override;
};

class TSkinToolbarView : public TBarToolbarView {
 public:
  using TBarToolbarView::TBarToolbarView;
  const char* ClassName() const override { return "TSkinToolbarView"; }
  void GetMargins(TBarViewOrientation AOrientation, TBarMargins& Margins) override;
};

class TSkinFloatingWindowParent : public TBarFloatingWindowParent {
 public:
  using TBarFloatingWindowParent::TBarFloatingWindowParent;
  const char* ClassName() const override { return "TSkinFloatingWindowParent"; }
  void DrawNCArea(HDC DC, HRGN Clip, TBarToolWindowNCRedrawWhat RedrawWhat) override;
  void WndProc(TMessage& m) override;
  int SnapDistance = 0;
  bool CloseButtonHot() const { return closeHot_; }

 private:
  void SetCloseHot(bool Hot);
  bool closeHot_ = false;
};

enum TSkinItemTransparency { itAuto, itEnable, itDisable };

// What the themed toolbar and the themed tool window share: the colour they
// paint with, the snap distance of their floating form, and the docked frame,
// close button and floating border drawn by the theme. Base is the core
// class each of them extends.
template <class Base>
class TSkinDockableWindow : public Base, public ISkinListener {
 public:
  template <class... Args>
  explicit TSkinDockableWindow(Args&&... A) : Base(std::forward<Args>(A)...) {}

  virtual void GetToolbarInfo(TSkinToolbarInfo& ToolbarInfo) = 0;
  virtual int GetViewTypeOf() = 0;
  virtual void UpdateEffectiveColor() = 0;
  TColor GetEffectiveColorOf() const { return effectiveColor_; }
  int GetSnapDistance() const { return snapDistance_; }
  void SetSnapDistance(int Value);
  bool DefaultDblClickUndock() const override { return false; }

  void DrawNCArea(HDC DC, HRGN Clip) override;
  POINT GetFloatingBorderSize() override;
  RECT GetDockedCloseButtonRect(bool LeftRight) override;
  TBarFloatingWindowParentClass GetFloatingWindowParentClass() override;
  void SetParent(TWinControl* AParent) override;
  void SkinMessage(TMessage& Message) override { this->WndProc(Message); }

 protected:
  // The constructors' common end: listens to the theme, keeps the designed
  // colour as the effective one and paints through the theme from then on.
  void InitSkinWindow();
  void DoneSkinWindow();
  // The messages both answer alike: the view-type and colour queries, the
  // background (ParentBackground: the dock's background may show through)
  // and a colour change. True when the message was handled.
  bool HandleSkinMessage(TMessage& m, bool ParentBackground);
  TColor effectiveColor_ = clBtnFace;
  int snapDistance_ = 0;
};

class TSkinToolbar : public TSkinDockableWindow<TBarCustomToolbar> {
 public:
  explicit TSkinToolbar(TComponent* AOwner);
  ~TSkinToolbar() override;
  const char* ClassName() const override { return "TSkinToolbar"; }

  void GetToolbarInfo(TSkinToolbarInfo& ToolbarInfo) override;
  int GetViewTypeOf() override;
  void UpdateEffectiveColor() override;
  TBarRootItemClass GetItemClass() override;
  TBarChevronItemClass GetChevronItemClass() override;
  TBarToolbarViewClass GetViewClass() override;
  bool IsEmbedded() { return !GetFloating() && !GetDocked(); }
  TSkinItemTransparency GetItemTransparency() const { return itemTransparency_; }
  void SetItemTransparency(TSkinItemTransparency Value);
  void DefineProperties(TFiler* Filer) override;

  void WndProc(TMessage& m) override;
  // Repaints only the background between the items (on a dock background).
  void RedrawBackgroundOnly(bool RedrawFrame);

 private:
  void TellChildren();
  TSkinItemTransparency itemTransparency_ = itAuto;
};

class TSkinToolWindow : public TSkinDockableWindow<TBarToolWindow> {
 public:
  explicit TSkinToolWindow(TComponent* AOwner);
  ~TSkinToolWindow() override;
  const char* ClassName() const override { return "TSkinToolWindow"; }

  void GetToolbarInfo(TSkinToolbarInfo& ToolbarInfo) override;
  int GetViewTypeOf() override;
  void UpdateEffectiveColor() override;
  void DefineProperties(TFiler* Filer) override;

  void WndProc(TMessage& m) override;
};

class TSkinDock : public TBarDock, public ISkinListener {
 public:
  explicit TSkinDock(TComponent* AOwner);
  ~TSkinDock() override;
  const char* ClassName() const override { return "TSkinDock"; }

  virtual bool ThemedBackground();
  bool UsingBackground() override;
  void DrawBackground(HDC DC, const RECT& DrawRect) override;
  bool GetUseParentBackground() const { return useParentBackground_; }
  void SetUseParentBackground(bool Value);
  void DefineProperties(TFiler* Filer) override;
  TColor GetEffectiveColorOf();
  bool Resizing() const { return resizing_; }
  void WndProc(TMessage& m) override;
  void SkinMessage(TMessage& Message) override { WndProc(Message); }

 private:
  bool useParentBackground_ = false;
  bool moving_ = false;
  bool resizing_ = false;
};

// Paints the part of Control's parent that lies under Rect into DC.
void DrawParentBackground(TControl* Control, HDC DC, const RECT& R);
