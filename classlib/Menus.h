// The pop-up menu hook of controls. The real menus come from the toolbar
// framework, whose pop-up menus derive from TPopupMenu and override Popup.
#pragma once

#include <cstdint>

#include "classlib/Classes.h"

// A keyboard shortcut: the virtual key in the low byte, with scShift,
// scCtrl and scAlt (0x2000, 0x4000, 0x8000) for the modifiers.
using TShortCut = uint16_t;

// Where a pop-up menu opens relative to its point.
enum TPopupAlignment { paLeft, paRight, paCenter };

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
  // The control whose context menu request opened the menu.
  TComponent* GetPopupComponent() const { return popupComponent_; }
  void SetPopupComponent(TComponent* c) { popupComponent_ = c; }

  TNotifyEvent OnPopup;

 private:
  bool autoPopup_ = true;
  TPopupAlignment alignment_ = paLeft;
  TComponent* popupComponent_ = nullptr;
};
