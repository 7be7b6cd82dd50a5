// The small tool form that hosts one floating dockable window: its own
// border, small caption and close button, and activation that stays with
// the form the window belongs to.
#pragma once

#include <vector>

#include "classlib/Forms.h"
#include "toolbars/BarDock.h"

// Posted to a visible floating form when the focus has entered its form
// (see RaiseAboveOwner).
constexpr UINT BarMRaiseAboveOwner = WM_USER + 0x120;

enum TBarToolWindowNCRedrawWhatElement { twrdBorder, twrdCaption, twrdCloseButton };
using TBarToolWindowNCRedrawWhat = TSet<TBarToolWindowNCRedrawWhatElement>;

class TBarFloatingWindowParent : public TCustomForm {
 public:
  explicit TBarFloatingWindowParent(TComponent* AOwner);
  ~TBarFloatingWindowParent() override;
  const char* ClassName() const override { return "TBarFloatingWindowParent"; }

  TBarCustomDockableWindow* GetDockableWindow() const { return dockableWindow_; }
  TCustomForm* GetParentForm() const { return parentForm_; }
  void SetParentForm(TCustomForm* Value);

  virtual void DrawNCArea(HDC DC, HRGN Clip, TBarToolWindowNCRedrawWhat RedrawWhat);
  void RedrawNCArea(TBarToolWindowNCRedrawWhat RedrawWhat);
  void SetCloseButtonState(bool Pushed);
  bool GetCloseButtonPushed() const { return closePushed_; }
  // Whether the hosted window's logic wants the form shown.
  bool ShouldShow = false;
  void UpdateShowing();
  // Owned by its form (by the application window when the hosted window
  // floats on top of all forms), just above that form.
  void PlaceAboveOwner();
  // A form has taken the focus, and with it the top of the z-order: these
  // windows it owns (its floating forms and the windows above them) go back
  // above it in this order, once the messages in hand are through; each
  // floating form among them is posted BarMRaiseAboveOwner, which runs
  // RaisePending. Where a dialog has come up over the form by then, they go
  // just above the form, below the dialog.
  static void RaiseAboveOwner(HWND Owner, const std::vector<HWND>& LowestFirst);
  static void RaisePending();

  // Layout in window coordinates.
  bool HasCaption() const;
  RECT GetCaptionRect();
  RECT GetCloseButtonRect();
  // Sizes the form around its hosted window's present size.
  void FitToWindow();

  void WndProc(TMessage& m) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void AlignControls(TControl* AControl, TRect& R) override {}
  LRESULT HitTest(POINT Screen);
  void WMActivate(TMessage& m);
  void WMMouseActivate(TMessage& m);
  void WMClose(TMessage& m);
  void TrackCloseButton();

 private:
  friend class TBarCustomDockableWindow;
  TBarCustomDockableWindow* dockableWindow_ = nullptr;
  TCustomForm* parentForm_ = nullptr;
  bool closePushed_ = false;
};
