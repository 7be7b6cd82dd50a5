// The item tree of menus and toolbars: every menu entry and toolbar button
// is a TBarCustomItem; views subscribe to the items' change notifications.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "classlib/Classes.h"
#include "classlib/Controls.h"
#include "classlib/ImgList.h"
#include "classlib/Menus.h"
#include "toolbars/BarUtils.h"

class TBarCustomItem;
class TBarItemViewer;
class TBarView;
class TBarPopupWindow;
class TCustomImageList;
class TBarCustomItemActionLink;
class TFiler;

// A class reference: the function that makes an object of class T, answered
// as its base B (e.g. &BarClassOf<TBarRootItem, TSkinRootItem, TComponent*>).
template <class B, class T, class... A>
B* BarClassOf(A... Args) {
  return new T(Args...);
}

class TBarRootItem;
using TBarRootItemClass = TBarRootItem* (*)(TComponent* AOwner);

// The class of a pop-up window: makes one whole (its view included).
using TBarPopupWindowClass = TBarPopupWindow* (*)(TComponent* AOwner, TBarView* AParentView, TBarCustomItem* AItem,
                                                  bool ACustomizing);

ZEMBRIO_DECLARE_EXCEPTION(EBarItemError, Exception)

// Resource strings of the toolbar framework.
extern const wchar_t* const SBarItemIndexOutOfRange;
extern const wchar_t* const SBarItemAlreadyInserted;
extern const wchar_t* const SBarViewerNotFound;
extern const wchar_t* const SBarChevronItemMoreButtonsHint;
extern const wchar_t* const SBarDockParentNotAllowed;
extern const wchar_t* const SBarDockCannotChangePosition;
extern const wchar_t* const SBarToolwinNameNotSet;
extern const wchar_t* const SBarToolwinDockedToNameNotSet;

// ---- shortcuts (TShortCut, ShortCut, ShortCutToText: classlib/Menus.h) ----
constexpr TShortCut scShift = 0x2000;
constexpr TShortCut scCtrl = 0x4000;
constexpr TShortCut scAlt = 0x8000;

// A key message as handed to shortcut processing.
struct TWMKey {
  UINT Msg = WM_KEYDOWN;
  WORD CharCode = 0;
  LPARAM KeyData = 0;
  LRESULT Result = 0;
};

// ---- options, styles, notifications -------------------------------------
enum TBarItemOption {
  tboDefault,
  tboDropdownArrow,
  tboImageAboveCaption,
  tboLongHintInMenuOnly,
  tboNoRotation,
  tboSameWidth,
  tboShowHint,
  tboToolbarStyle,
  tboToolbarSize
};
using TBarItemOptions = TSet<TBarItemOption>;

enum TBarItemDisplayMode { nbdmDefault, nbdmTextOnly, nbdmTextOnlyInMenus, nbdmImageAndText };

enum TBarItemStyleFlag {
  tbisSubmenu,
  tbisSelectable,
  tbisSeparator,
  tbisEmbeddedGroup,
  tbisClicksTransparent,
  tbisCombo,
  tbisNoAutoOpen,
  tbisSubitemsEditable,
  tbisNoLineBreak,
  tbisRightAlign,
  tbisDontSelectFirst,
  tbisRedrawOnSelChange,
  tbisRedrawOnMouseOverChange,
  tbisStretch
};
using TBarItemStyle = TSet<TBarItemStyleFlag>;

enum TBarItemChangedAction {
  tbicInserted,
  tbicDeleting,
  tbicSubitemsChanged,
  tbicSubitemsBeginUpdate,
  tbicSubitemsEndUpdate,
  tbicInvalidate,
  tbicInvalidateAndResize,
  tbicRecreateItemViewers,
  tbicNameChanged,
  tbicSubMenuImagesChanged
};

using TBarItemChangedProc = TEvent<void(TBarCustomItem* Sender, bool Relayed,
                                        TBarItemChangedAction Action, int Index,
                                        TBarCustomItem* Item)>;
using TBarPopupEvent = TEvent<void(TBarCustomItem* Sender, bool FromLink)>;
using TBarSelectEvent =
    TEvent<void(TBarCustomItem* Sender, TBarItemViewer* Viewer, bool Selecting)>;

// Creates a viewer of one class; comparing two of these compares classes.
using TBarItemViewerClass = TBarItemViewer* (*)(TBarView* AView, TBarCustomItem* AItem,
                                                int AGroupLevel);

enum TBarPopupAlignment { tbpaLeft, tbpaRight, tbpaCenter };

// ---- done actions of a menu loop ------------------------------------------
enum TBarDoneAction { tbdaNone, tbdaCancel, tbdaClickItem, tbdaOpenSystemMenu, tbdaHelpContext };
struct TBarDoneActionData {
  TBarDoneAction DoneAction = tbdaNone;
  TBarCustomItem* ClickItem = nullptr;  // tbdaClickItem
  HWND Wnd = nullptr;                   // tbdaOpenSystemMenu
  int ContextID = 0;                    // tbdaHelpContext
  bool Sound = false;                   // tbdaClickItem
  WORD Key = 0;                         // tbdaOpenSystemMenu
};
void ProcessDoneAction(const TBarDoneActionData& Data);

// Reports an exception caught where it must not propagate (message
// handlers, hooks, queued clicks). Call only inside a catch block.
void BarHandleException(TObject* Sender);

// Items that present a root item to streaming answer this.
class IBarItems {
 public:
  virtual ~IBarItems() = default;
  virtual TBarCustomItem* GetItems() = 0;
};

// Creates the action link of an item; comparing two of these compares classes.
using TBarCustomItemActionLinkClass = TBarCustomItemActionLink* (*)(TBarCustomItem* AClient);

// ---- the item --------------------------------------------------------------
// Watches an image list of an item; remembers the list's size as last seen,
// so that a change of its images is told apart from a change of its size.
class TBarImageChangeLink : public TChangeLink {
 public:
  int LastWidth = -1, LastHeight = -1;
};

class TBarCustomItem : public TComponent {
 public:
  explicit TBarCustomItem(TComponent* AOwner);
  ~TBarCustomItem() override;
  const char* ClassName() const override { return "TBarCustomItem"; }

  // Tree.
  TBarCustomItem* GetItem(int Index) const;
  TBarCustomItem* Items(int Index) const { return GetItem(Index); }
  int Count() const { return static_cast<int>(items_.size()); }
  int IndexOf(const TBarCustomItem* Item) const;
  void Add(TBarCustomItem* Item) { Insert(Count(), Item); }
  void Insert(int NewIndex, TBarCustomItem* Item);
  void Delete(int Index);
  void Remove(TBarCustomItem* Item);
  void Clear();
  void Move(int CurIndex, int NewIndex);
  bool ContainsItem(const TBarCustomItem* Item) const;
  void ViewBeginUpdate();
  void ViewEndUpdate();
  TBarCustomItem* GetParent() const { return parent_; }
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* Value) override;
  void SetRootParentComponent(TComponent* Value) { parentComponent_ = Value; }

  // Notifications.
  void RegisterNotification(const TBarItemChangedProc& Proc);
  void UnregisterNotification(const TBarItemChangedProc& Proc);
  void Notify(TBarItemChangedAction Action, int Index, TBarCustomItem* Item);
  void RecreateItemViewers();

  // Clicks and shortcuts.
  virtual void Click();
  void PostClick();
  bool IsShortCut(TWMKey& Message);
  TBarCustomItem* FindItemWithShortCut(TShortCut AShortCut, TBarCustomItem*& TopmostParent);
  String GetShortCutText() const;
  // Updates the item's action (through its link).
  virtual void InitiateAction();

  // The action the item shows and runs (null: none). While the link ties
  // them, the item's caption, checked and enabled state, help context,
  // hint, image, shortcut, visibility and OnClick follow the action's.
  TBasicAction* GetAction() const;
  void SetAction(TBasicAction* Value);
  TBarCustomItemActionLink* GetActionLink() const { return actionLink_.get(); }
  virtual TBarCustomItemActionLinkClass GetActionLinkClass();
  // Takes the action's properties; with CheckDefaults only those the item
  // still has at their defaults.
  virtual void ActionChange(TObject* Sender, bool CheckDefaults);
  void DoActionChange(TObject* Sender);
  // The caption a new item of the class has; a caption equal to it is not
  // stored.
  virtual String GetDefaultCaption() const { return String(); }
  // A property is stored only while the action link does not tie it.
  bool IsCaptionStored() const;
  bool IsCheckedStored() const;
  bool IsEnabledStored() const;
  bool IsHelpContextStored() const;
  bool IsHintStored() const;
  bool IsImageIndexStored() const;
  bool IsShortCutStored() const;
  bool IsVisibleStored() const;
  bool IsOnClickStored() const;

  // Streaming: the subitems are stored inside the item, in order.
  void GetChildren(const TGetChildProc& Proc, TComponent* Root) override;
  void SetChildOrder(TComponent* Child, int Order) override;
  bool HasParent() const override { return true; }
  void DefineProperties(TFiler* Filer) override;
  // Finds the components a stream named (action, image lists, linked
  // items); Loaded does it, a holder that needs them earlier may too.
  virtual void ResolveReferences();

  // Pop-ups (see BarPopup.cpp).
  virtual TBarPopupWindow* CreatePopup(TBarView* ParentView, TBarItemViewer* ParentViewer,
                                       bool PositionAsSubmenu, bool SelectFirstItem,
                                       bool Customizing, POINT APopupPoint,
                                       TBarPopupAlignment Alignment);
  virtual void GetPopupPosition(TBarView* ParentView, TBarPopupWindow* PopupWindow,
                                struct TBarPopupPositionRec& Rec);
  // The class of this item's pop-up windows.
  virtual TBarPopupWindowClass GetPopupWindowClass();
  bool OpenPopup(bool SelectFirstItem, bool TrackRightButton, POINT PopupPoint,
                 TBarPopupAlignment Alignment);
  void Popup(int X, int Y, bool TrackRightButton,
             TBarPopupAlignment Alignment = tbpaLeft);

  virtual void DoPopup(TBarCustomItem* Sender, bool FromLink);
  virtual TBarView* GetChevronParentView() { return nullptr; }
  virtual TBarItemViewerClass GetItemViewerClass(TBarView* AView);
  virtual bool NeedToRecreateViewer(TBarItemViewer* AViewer) { return false; }

  // Properties.
  const String& GetCaption() const { return caption_; }
  void SetCaption(const String& Value);
  bool GetChecked() const { return checked_; }
  void SetChecked(bool Value);
  bool GetAutoCheck() const { return autoCheck_; }
  void SetAutoCheck(bool Value) { autoCheck_ = Value; }
  TBarItemDisplayMode GetDisplayMode() const { return displayMode_; }
  void SetDisplayMode(TBarItemDisplayMode Value);
  bool GetEnabled() const { return enabled_; }
  void SetEnabled(bool Value);
  int GetGroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int Value);
  int GetHelpContext() const { return helpContext_; }
  void SetHelpContext(int Value) { helpContext_ = Value; }
  const String& GetHint() const { return hint_; }
  void SetHint(const String& Value) { hint_ = Value; }
  TImageIndex GetImageIndex() const { return imageIndex_; }
  void SetImageIndex(TImageIndex Value);
  TCustomImageList* GetImages() const { return images_; }
  void SetImages(TCustomImageList* Value);
  TCustomImageList* GetSubMenuImages() const { return subMenuImages_; }
  void SetSubMenuImages(TCustomImageList* Value);
  TBarItemStyle GetItemStyle() const { return itemStyle_; }
  void SetItemStyle(TBarItemStyle Value) { itemStyle_ = Value; }
  // Sets or clears one style flag; a change redraws the item and resizes its views.
  void ChangeItemStyleFlag(TBarItemStyleFlag Flag, bool On) {
    if (itemStyle_.Contains(Flag) == On) return;
    if (On)
      itemStyle_ += Flag;
    else
      itemStyle_ -= Flag;
    Change(true);
  }
  TBarItemOptions GetEffectiveOptions() const { return effectiveOptions_; }
  TBarItemOptions GetOptions() const { return options_; }
  void SetOptions(TBarItemOptions Value);
  TBarItemOptions GetMaskOptions() const { return maskOptions_; }
  void SetMaskOptions(TBarItemOptions Value);
  bool GetInheritOptions() const { return inheritOptions_; }
  void SetInheritOptions(bool Value);
  TShortCut GetShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut Value) { shortCut_ = Value; }
  TBarCustomItem* GetLinkSubitems() const { return linkSubitems_; }
  void SetLinkSubitems(TBarCustomItem* Value);
  bool GetVisible() const { return visible_; }
  void SetVisible(bool Value);
  void SetName(const String& NewName) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void Loaded() override;

  // Fired when a submenu of the item is about to open.
  TBarPopupEvent OnPopup;
  TNotifyEvent OnClick;
  TBarSelectEvent OnSelect;

  // Tells the views of the parent that this item changed.
  void Change(bool NeedResize);
  void RefreshOptions();
  static TBarItemOptions FixOptions(TBarItemOptions Value);
  // An assigned image list changed: its size (the item is resized) or only
  // its images (redrawn); submenu images tell the item's views.
  void ImageListChangeHandler(TObject* Sender);

 protected:
  virtual void EnabledChanged() { Change(false); }
  void TurnSiblingsOff();
  void SubMenuImagesChanged() { Notify(tbicSubMenuImagesChanged, -1, nullptr); }
  // Names of the components a stream refers to, until they are found.
  struct StoredReferences;
  std::unique_ptr<StoredReferences> storedRefs_;

 private:
  void InternalNotify(TBarCustomItem* Ancestor, int NestingLevel, TBarItemChangedAction Action,
                      int Index, TBarCustomItem* Item);
  TBarCustomItem* SearchShortCut(TBarCustomItem* I, TShortCut SC, int Depth,
                                 TBarCustomItem*& Topmost);

  struct NotifyRec {
    TBarItemChangedProc Proc;
    int RefCount;
  };

  bool autoCheck_ = false;
  String caption_;
  bool checked_ = false;
  TBarItemDisplayMode displayMode_ = nbdmDefault;
  bool enabled_ = true;
  TBarItemOptions effectiveOptions_;
  int groupIndex_ = 0;
  int helpContext_ = 0;
  String hint_;
  TImageIndex imageIndex_ = -1;
  TCustomImageList* images_ = nullptr;
  TCustomImageList* subMenuImages_ = nullptr;
  std::unique_ptr<TBarImageChangeLink> imagesLink_, subMenuImagesLink_;
  bool ChangeImages(TCustomImageList*& List, TCustomImageList* NewList, std::unique_ptr<TBarImageChangeLink>& Link);
  std::unique_ptr<TBarCustomItemActionLink> actionLink_;
  std::vector<TBarCustomItem*> items_;
  TBarItemStyle itemStyle_;
  std::vector<TBarCustomItem*>* linkParents_ = nullptr;
  TBarItemOptions maskOptions_;
  TBarItemOptions options_;
  bool inheritOptions_ = true;
  std::vector<NotifyRec>* notifyList_ = nullptr;
  TBarCustomItem* parent_ = nullptr;
  TComponent* parentComponent_ = nullptr;
  TShortCut shortCut_ = 0;
  TBarCustomItem* linkSubitems_ = nullptr;
  bool visible_ = true;
};

class TBarItem : public TBarCustomItem {
 public:
  using TBarCustomItem::TBarCustomItem;
  const char* ClassName() const override { return "TBarItem"; }
};

class TBarRootItem : public TBarCustomItem {
 public:
  using TBarCustomItem::TBarCustomItem;
  const char* ClassName() const override { return "TBarRootItem"; }
};

class TBarGroupItem : public TBarCustomItem {
 public:
  explicit TBarGroupItem(TComponent* AOwner);
  const char* ClassName() const override { return "TBarGroupItem"; }
};

class TBarSubmenuItem : public TBarCustomItem {
 public:
  explicit TBarSubmenuItem(TComponent* AOwner);
  const char* ClassName() const override { return "TBarSubmenuItem"; }
  bool GetDropdownCombo() const { return GetItemStyle().Contains(tbisCombo); }
  void SetDropdownCombo(bool Value);
};

class TBarSeparatorItem : public TBarCustomItem {
 public:
  explicit TBarSeparatorItem(TComponent* AOwner);
  const char* ClassName() const override { return "TBarSeparatorItem"; }
  TBarItemViewerClass GetItemViewerClass(TBarView* AView) override;
  bool GetBlank() const { return blank_; }
  void SetBlank(bool Value);

 private:
  bool blank_ = false;
};

// The link of an item to its action: each property is tied while the
// item's value equals the action's.
class TBarCustomItemActionLink : public TActionLink {
 public:
  explicit TBarCustomItemActionLink(TBarCustomItem* AClient) : TActionLink(AClient) { AssignClient(AClient); }
  static TBarCustomItemActionLink* CreateLink(TBarCustomItem* AClient) { return new TBarCustomItemActionLink(AClient); }

  bool IsCaptionLinked() override;
  bool IsCheckedLinked() override;
  bool IsEnabledLinked() override;
  bool IsHelpContextLinked() override;
  bool IsHintLinked() override;
  bool IsImageIndexLinked() override;
  bool IsShortCutLinked() override;
  bool IsVisibleLinked() override;
  bool IsOnExecuteLinked() override;
  void SetCaption(const String& Value) override;
  void SetChecked(bool Value) override;
  void SetEnabled(bool Value) override;
  void SetHelpContext(THelpContext Value) override;
  void SetHint(const String& Value) override;
  void SetImageIndex(TImageIndex Value) override;
  void SetShortCut(TShortCut Value) override;
  void SetVisible(bool Value) override;
  void SetOnExecute(const TNotifyEvent& Value) override;

 protected:
  void AssignClient(TObject* AClient) override { client_ = dynamic_cast<TBarCustomItem*>(AClient); }
  TBarCustomItem* client_ = nullptr;
};

class TBarControlItem : public TBarCustomItem {
 public:
  explicit TBarControlItem(TComponent* AOwner);
  TBarControlItem(TComponent* AOwner, TControl* AControl);
  ~TBarControlItem() override;
  const char* ClassName() const override { return "TBarControlItem"; }
  TControl* GetControl() const { return control_; }
  void SetControl(TControl* Value);
  bool DontFreeControl = false;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void DefineProperties(TFiler* Filer) override;

 private:
  TControl* control_ = nullptr;
};

// ---- the per-thread click queue --------------------------------------------
// Clicks chosen in a menu run after the menu has closed: they are posted to
// a hidden window of the thread and run when the message loop dispatches.
namespace BarClickQueue {
void AddRef();
void Release();
// Queues a click of an item, or an accessibility selection of a viewer
// (WParam 1: also execute it), for the message loop to run.
void QueueClick(TObject* Object, WPARAM WParam);
// Replaces the pending entries of Object by a placeholder.
void Forget(TObject* Object);
// Number of queue slots in use (placeholders included); for tests.
int SlotCount();
HWND Window();
}  // namespace BarClickQueue
