// Pop-up windows (submenus and context menus), their view, the pop-up menu
// component and the item container.
#pragma once

#include <functional>

#include "classlib/Controls.h"
#include "classlib/Menus.h"
#include "toolbars/BarAnimation.h"
#include "toolbars/BarViews.h"

struct TBarPopupPositionRec {
  bool PositionAsSubmenu = false;
  TBarPopupAlignment Alignment = tbpaLeft;
  bool Opposite = false;
  RECT MonitorRect{};
  RECT ParentItemRect{};
  int NCSizeX = 0, NCSizeY = 0;
  int X = 0, Y = 0, W = 0, H = 0;
  TBarAnimationDirection AnimDir = 0;
  bool PlayPopupSound = true;
};

// Sent to a pop-up window about its showing: WParam 1 asks whether to skip
// the animation (non-zero answer skips), 2 an animation ended, 3 shown
// without animation.
constexpr UINT BarMPopupShowing = 0x62A;

class TBarPopupView : public TBarView {
 public:
  using TBarView::TBarView;
  const char* ClassName() const override { return "TBarPopupView"; }
  void AutoSize(int AWidth, int AHeight) override;
  TFont* GetFont() override;
};

class TBarPopupWindow : public TCustomControl {
 public:
  // Makes the window's view; a themed window passes its own.
  using TViewFactory = std::function<TBarView*(TBarPopupWindow* Window, TBarView* AParentView,
                                               TBarCustomItem* AItem, bool ACustomizing)>;
  TBarPopupWindow(TComponent* AOwner, TBarView* AParentView, TBarCustomItem* AItem,
                  bool ACustomizing, const TViewFactory& ViewClass = nullptr);
  ~TBarPopupWindow() override;
  const char* ClassName() const override { return "TBarPopupWindow"; }

  TBarView* View = nullptr;
  TBarAnimationDirection AnimationDirection = 0;

  virtual SIZE GetNCSize() { return SIZE{3, 3}; }
  virtual void PaintScrollArrows();
  virtual void PaintNCArea(HDC DC);
  void WndProc(TMessage& m) override;
  // Shows or hides the window (with the opening animation when it applies).
  void ShowPopup(bool Show);

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void DestroyWindowHandle() override;
  void Paint() override;

 private:
  bool accelsInitialised_ = false;
  bool shown_ = false;
};

// A context menu of framework items; a control's PopupMenu can hold it.
class TBarPopupMenu : public TPopupMenu, public IBarItems {
 public:
  explicit TBarPopupMenu(TComponent* AOwner);
  ~TBarPopupMenu() override;
  const char* ClassName() const override { return "TBarPopupMenu"; }
  TBarCustomItem* GetItems() override { return items_; }
  TBarRootItem* Items() const { return items_; }
  TCustomImageList* GetImages() const { return items_->GetSubMenuImages(); }
  void SetImages(TCustomImageList* Value) { items_->SetSubMenuImages(Value); }
  TBarItemOptions GetOptions() const { return items_->GetOptions(); }
  void SetOptions(TBarItemOptions Value) { items_->SetOptions(Value); }
  void SetLinkSubitems(TBarCustomItem* Value) { items_->SetLinkSubitems(Value); }
  void Popup(int X, int Y) override;
  bool IsShortCut(TBarKeyMessage& Message) { return items_->IsShortCut(Message); }
  void GetChildren(const TGetChildProc& Proc, TComponent* Root) override { items_->GetChildren(Proc, Root); }
  void SetChildOrder(TComponent* Child, int Order) override { items_->SetChildOrder(Child, Order); }

  TBarPopupAlignment Alignment = tbpaLeft;
  bool TrackRightButton = true;

 protected:
  void RootItemClick(TObject* Sender);
  TBarRootItem* items_;
};

class TBarItemContainer : public TComponent, public IBarItems {
 public:
  explicit TBarItemContainer(TComponent* AOwner);
  ~TBarItemContainer() override;
  const char* ClassName() const override { return "TBarItemContainer"; }
  TBarCustomItem* GetItems() override { return items_; }
  void GetChildren(const TGetChildProc& Proc, TComponent* Root) override { items_->GetChildren(Proc, Root); }
  void SetChildOrder(TComponent* Child, int Order) override { items_->SetChildOrder(Child, Order); }
  TBarRootItem* Items() const { return items_; }
  TCustomImageList* GetImages() const { return items_->GetSubMenuImages(); }
  void SetImages(TCustomImageList* Value) { items_->SetSubMenuImages(Value); }

 private:
  TBarRootItem* items_;
};
