// Menus: the items of a menu, a form's menu bar and the pop-up menu hook of
// controls. The toolbar framework's pop-up menus derive from TPopupMenu and
// override Popup.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "classlib/Classes.h"

// A keyboard shortcut: the virtual key in the low byte, with 0x2000 (Shift),
// 0x4000 (Ctrl) and 0x8000 (Alt) for the modifiers.
using TShortCut = uint16_t;

ZEMBRIO_DECLARE_EXCEPTION(EMenuError, Exception)

// The shortcut of a key with the modifiers of Shift (ssShift, ssCtrl, ssAlt).
TShortCut ShortCut(WORD Key, TShiftState Shift);
// The key and modifiers of a shortcut.
void ShortCutToKey(TShortCut ShortCut, WORD& Key, TShiftState& Shift);
// "Ctrl+O", "Shift+Del", "F1": the modifiers, then the key's name (the
// platform's name for keys without a short one). Empty for a key without a
// name.
String ShortCutToText(TShortCut ShortCut);
// The shortcut of such a text (case does not matter); 0 when it names none.
TShortCut TextToShortCut(const String& Text);

// Where a pop-up menu opens relative to its point.
enum TPopupAlignment { paLeft, paRight, paCenter };
// The mouse buttons a shown pop-up menu follows: the right one as well as
// the left (TPM_RIGHTBUTTON), or the left one alone (TPM_LEFTBUTTON).
enum TTrackButton { tbRightButton, tbLeftButton };

class TMenu;

// An item of a menu. An item with items of its own opens a sub-menu, whose
// HMENU is its Handle(); its OnClick runs as the sub-menu opens. An item
// frees the items it holds. A caption of "-" makes a separator.
class TMenuItem : public TComponent {
 public:
  explicit TMenuItem(TComponent* AOwner);
  ~TMenuItem() override;
  const char* ClassName() const override { return "TMenuItem"; }

  const String& GetCaption() const { return caption_; }
  void SetCaption(const String& Value);
  TShortCut GetShortCut() const { return shortCut_; }
  void SetShortCut(TShortCut Value);
  bool GetChecked() const { return checked_; }
  void SetChecked(bool Value);
  bool GetEnabled() const { return enabled_; }
  void SetEnabled(bool Value);
  bool GetVisible() const { return visible_; }
  void SetVisible(bool Value);
  const String& GetHint() const { return hint_; }
  void SetHint(const String& Value) { hint_ = Value; }
  // Whether this is a separator line.
  bool IsLine() const { return caption_ == L"-"; }

  // The items this one holds.
  void Add(TMenuItem* Item) { Insert(Count(), Item); }
  void Insert(int Index, TMenuItem* Item);
  // Takes the item at Index out (it is not freed).
  void Delete(int Index);
  void Remove(TMenuItem* Item);
  // Frees the items.
  void Clear();
  int IndexOf(const TMenuItem* Item) const;
  int Count() const { return static_cast<int>(items_.size()); }
  TMenuItem* Items(int Index) const;
  TMenuItem* Parent() const { return parent_; }
  // The item's place in its parent (-1 without one).
  int MenuIndex() const { return parent_ ? parent_->IndexOf(this) : -1; }
  // The menu the item belongs to, through its parents.
  TMenu* GetParentMenu() const;

  // The HMENU of the sub-menu while the item has items (the menu bar's for
  // a main menu's root item); nullptr otherwise.
  HMENU Handle();
  // The command id WM_COMMAND carries when the item is chosen.
  WORD Command() const { return command_; }

  // Runs OnClick when the item is enabled.
  virtual void Click();
  TNotifyEvent OnClick;

 private:
  friend class TMenu;
  // The menu entries of the sub-menu, made again from the items.
  void RebuildHandle();
  // The entries of the menu holding this item follow its properties.
  void Changed();
  void ReleaseHandle();
  String caption_;
  String hint_;
  TShortCut shortCut_ = 0;
  bool checked_ = false;
  bool enabled_ = true;
  bool visible_ = true;
  WORD command_ = 0;
  HMENU handle_ = nullptr;
  TMenuItem* parent_ = nullptr;
  TMenu* menu_ = nullptr;  // set on a menu's root item
  std::vector<TMenuItem*> items_;

 protected:
  // Its own stored properties and events, after its base's.
  void DefineProperties(TFiler* Filer) override;
};

enum TFindItemKind { fkCommand, fkHandle, fkShortCut };

// A tree of items under a root item.
class TMenu : public TComponent {
 public:
  explicit TMenu(TComponent* AOwner);
  ~TMenu() override;
  const char* ClassName() const override { return "TMenu"; }

  TMenuItem* Items() const { return items_; }
  // The root's menu (made on first use).
  virtual HMENU Handle() { return items_->Handle(); }
  // The item whose sub-menu has this handle runs its OnClick (the notice
  // that the sub-menu opens); false when the menu has no such item.
  bool DispatchPopup(HMENU AHandle);
  // The item with this command id is clicked; false when there is none.
  bool DispatchCommand(WORD ACommand);
  // The item with the command id, sub-menu handle or shortcut; nullptr
  // when there is none (shortcuts: visible items only).
  TMenuItem* FindItem(UINT_PTR Value, TFindItemKind Kind) const;
  // A key (its message's virtual key and key data) that is the shortcut of
  // an item: the item's parents are told their sub-menus open (so that they
  // can update it), then the item is clicked when enabled. True when it was.
  bool IsShortCut(WORD Key, LPARAM KeyData);

 protected:
  friend class TMenuItem;
  // Makes the root's HMENU (a pop-up menu unless overridden).
  virtual HMENU CreateMenuHandle() { return CreatePopupMenu(); }
  // The root's entries changed.
  virtual void MenuChanged() {}

 private:
  TMenuItem* items_;
};

class TCustomForm;

// A form's menu bar; the form shows it (TCustomForm::SetMenu).
class TMainMenu : public TMenu {
 public:
  explicit TMainMenu(TComponent* AOwner) : TMenu(AOwner) {}
  ~TMainMenu() override;
  const char* ClassName() const override { return "TMainMenu"; }
  // The form that shows the menu (set by the form).
  TCustomForm* GetForm() const { return form_; }
  void SetForm(TCustomForm* Form) { form_ = Form; }

 protected:
  HMENU CreateMenuHandle() override { return CreateMenu(); }
  void MenuChanged() override;

 private:
  TCustomForm* form_ = nullptr;
};

class TPopupMenu : public TComponent {
 public:
  explicit TPopupMenu(TComponent* AOwner) : TComponent(AOwner) {}
  const char* ClassName() const override { return "TPopupMenu"; }

  // Shows the menu at a screen position. The base only runs OnPopup.
  virtual void Popup(int X, int Y) {
    if (OnPopup) OnPopup(this);
  }
  // The menu's left edge, right edge or middle at the point (TPM_LEFTALIGN,
  // TPM_RIGHTALIGN, TPM_CENTERALIGN for the menus that show one).
  TPopupAlignment GetAlignment() const { return alignment_; }
  void SetAlignment(TPopupAlignment Value) { alignment_ = Value; }
  bool GetAutoPopup() const { return autoPopup_; }
  void SetAutoPopup(bool v) { autoPopup_ = v; }
  // Whether the menus that show one choose their items with the right
  // button too; tbRightButton unless set.
  TTrackButton GetTrackButton() const { return trackButton_; }
  void SetTrackButton(TTrackButton Value) { trackButton_ = Value; }
  // The control whose context menu request opened the menu.
  TComponent* GetPopupComponent() const { return popupComponent_; }
  void SetPopupComponent(TComponent* c) { popupComponent_ = c; }
  // A key (virtual key and key data) typed in the control whose menu this
  // is, or in a control inside it: true when it ran the item it is the
  // shortcut of. The base menu has no items of its own.
  virtual bool IsShortCut(WORD Key, LPARAM KeyData) { return false; }

  TNotifyEvent OnPopup;

 private:
  bool autoPopup_ = true;
  TPopupAlignment alignment_ = paLeft;
  TTrackButton trackButton_ = tbRightButton;
  TComponent* popupComponent_ = nullptr;

 protected:
  // Its own stored properties and events, after its base's.
  void DefineProperties(TFiler* Filer) override;
};
