// Pop-up windows (submenus and context menus), their view, the pop-up menu
// component and the item container.
#pragma once

#include <functional>
#include <memory>

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

// The class of a pop-up window's view.
using TBarPopupViewClass = TBarView* (*)(TComponent* AOwner, TBarView* AParentView, TBarCustomItem* AParentItem,
                                         TWinControl* AWindow, bool AIsToolbar, bool ACustomizing,
                                         bool AUsePriorityList);

class TBarPopupWindow : public TCustomControl {
 public:
  TBarPopupWindow(TComponent* AOwner, TBarView* AParentView, TBarCustomItem* AItem, bool ACustomizing);
  ~TBarPopupWindow() override;
  const char* ClassName() const override { return "TBarPopupWindow"; }

  // Makes a pop-up window of class T whole: the window, then its view of
  // the class T answers (GetViewClass). A pop-up window class reference
  // (TBarPopupWindowClass) is &CreatePopupWindow<T>.
  template <class T>
  static TBarPopupWindow* CreatePopupWindow(TComponent* AOwner, TBarView* AParentView, TBarCustomItem* AItem,
                                            bool ACustomizing) {
    std::unique_ptr<TBarPopupWindow> w(new T(AOwner, AParentView, AItem, ACustomizing));
    w->CreateView(AParentView, AItem, ACustomizing);
    return w.release();
  }

  TBarView* View = nullptr;
  TBarAnimationDirection AnimationDirection = 0;

  virtual SIZE GetNCSize() { return SIZE{3, 3}; }
  virtual TBarPopupViewClass GetViewClass();
  virtual void PaintScrollArrows();
  virtual void PaintNCArea(HDC DC);
  void WndProc(TMessage& m) override;
  // Shows or hides the window (with the opening animation when it applies).
  void ShowPopup(bool Show);
  // Before the window goes: the view's own pop-ups close first.
  void BeforeDestruction();

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void DestroyWindowHandle() override;
  void Paint() override;
  void CMHintShow(TMessage& Message);
  void CMShowingChanged(TMessage& Message);

 private:
  void CreateView(TBarView* AParentView, TBarCustomItem* AItem, bool ACustomizing);
  bool accelsInitialised_ = false;
};

// A context menu of framework items; a control's PopupMenu can hold it.
class TBarPopupMenu : public TPopupMenu, public IBarItems {
 public:
  explicit TBarPopupMenu(TComponent* AOwner);
  ~TBarPopupMenu() override;
  const char* ClassName() const override { return "TBarPopupMenu"; }
  // The class of the root item. It is made on first use, once the menu is
  // whole, so a derived menu's class is the one made.
  virtual TBarRootItemClass GetRootItemClass();
  TBarCustomItem* GetItems() override { return Items(); }
  TBarRootItem* Items() const;
  TCustomImageList* GetImages() const { return Items()->GetSubMenuImages(); }
  void SetImages(TCustomImageList* Value) { Items()->SetSubMenuImages(Value); }
  TBarItemOptions GetOptions() const { return Items()->GetOptions(); }
  void SetOptions(TBarItemOptions Value) { Items()->SetOptions(Value); }
  void SetLinkSubitems(TBarCustomItem* Value) { Items()->SetLinkSubitems(Value); }
  // Where the menu stands against the point is the pop-up menu's
  // Alignment, and whether the right button chooses too its TrackButton.
  void Popup(int X, int Y) override;
  bool IsShortCut(TWMKey& Message) { return Items()->IsShortCut(Message); }
  // A key typed in a control whose pop-up menu this is (or in one inside
  // it) runs the item it is the shortcut of.
  bool IsShortCut(WORD Key, LPARAM KeyData) override {
    TWMKey k;
    k.CharCode = Key;
    k.KeyData = KeyData;
    return IsShortCut(k);
  }
  void GetChildren(const TGetChildProc& Proc, TComponent* Root) override { Items()->GetChildren(Proc, Root); }
  void SetChildOrder(TComponent* Child, int Order) override { Items()->SetChildOrder(Child, Order); }
  // Images, LinkSubitems and Options, kept by the root item.
  void DefineProperties(TFiler* Filer) override;
  void Loaded() override;

 protected:
  void RootItemClick(TObject* Sender);

 private:
  bool itemsMade_ = false;
  TBarRootItem* items_ = nullptr;
  String pendingImages_, pendingLink_;  // names read, found in Loaded
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
  void DefineProperties(TFiler* Filer) override;
  void Loaded() override;

 private:
  TBarRootItem* items_;
  String pendingImages_;  // the name read, found in Loaded
};
