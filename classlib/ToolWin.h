// Tool bars: a row of window-less tool buttons (with images from an image
// list, check and drop-down styles), and the cool bar (the system's rebar)
// holding controls in movable bands.
#pragma once

#include "classlib/ComCtrls.h"
#include "classlib/ImgList.h"
#include "classlib/Menus.h"

class TToolBar;

enum TToolButtonStyle { tbsButton, tbsCheck, tbsDropDown, tbsSeparator, tbsDivider };

class TToolButton : public TGraphicControl {
 public:
  const char* ClassName() const override { return "TToolButton"; }
  explicit TToolButton(TComponent* AOwner);
  TToolButtonStyle GetStyle() const { return style_; }
  void SetStyle(TToolButtonStyle Value);
  int GetImageIndex() const { return imageIndex_; }
  void SetImageIndex(int Value);
  // A check button stays down until clicked again (or, in a group, until
  // another of its group goes down).
  bool GetDown() const { return down_; }
  void SetDown(bool Value);
  bool GetGrouped() const { return grouped_; }
  void SetGrouped(bool Value) { grouped_ = Value; }
  bool GetAllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool Value) { allowAllUp_ = Value; }
  TPopupMenu* GetDropdownMenu() const { return dropdownMenu_; }
  void SetDropdownMenu(TPopupMenu* Value);
  // Whether the mouse is over the button.
  bool MouseInControl() const { return mouseIn_; }
  // The index among the tool bar's buttons (-1 without a tool bar).
  int GetIndex() const;
  TToolBar* GetToolBar() const;

  void Click() override;
  void WndProc(TMessage& m) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseMove(TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  bool OnArrow(int x) const;
  TToolButtonStyle style_ = tbsButton;
  int imageIndex_ = -1;
  bool down_ = false, grouped_ = false, allowAllUp_ = false;
  bool pressed_ = false, tracking_ = false, mouseIn_ = false;
  TPopupMenu* dropdownMenu_ = nullptr;
};

class TToolBar : public TCustomControl {
 public:
  const char* ClassName() const override { return "TToolBar"; }
  explicit TToolBar(TComponent* AOwner);
  int ButtonCount() const;
  TToolButton* Buttons(int Index) const;
  int GetButtonWidth() const { return buttonWidth_; }
  void SetButtonWidth(int Value);
  int GetButtonHeight() const { return buttonHeight_; }
  void SetButtonHeight(int Value);
  TCustomImageList* GetImages() const { return images_; }
  void SetImages(TCustomImageList* Value);
  bool GetShowCaptions() const { return showCaptions_; }
  void SetShowCaptions(bool Value);
  bool GetFlat() const { return flat_; }
  void SetFlat(bool Value);
  // Transparent: the parent's background shows between the buttons.
  bool GetTransparent() const { return transparent_; }
  void SetTransparent(bool Value);
  // Places the buttons left to right, in the order of their Left.
  void ArrangeButtons();
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void WndProc(TMessage& m) override;

 protected:
  void Paint() override;

 private:
  int buttonWidth_ = 23, buttonHeight_ = 22;
  TCustomImageList* images_ = nullptr;
  bool showCaptions_ = false, flat_ = false, transparent_ = false;
  bool arranging_ = false;
};

// ---------------------------------------------------------------------------
class TCoolBar;

class TCoolBand : public TCollectionItem {
 public:
  explicit TCoolBand(TCollection* Collection);
  ~TCoolBand() override;
  TWinControl* GetControl() const { return control_; }
  void SetControl(TWinControl* Value);
  const String& GetText() const { return text_; }
  void SetText(const String& Value);
  int GetWidth() const { return width_; }
  void SetWidth(int Value);
  int GetMinHeight() const { return minHeight_; }
  void SetMinHeight(int Value);
  // Starts a new row.
  bool GetBreak() const { return break_; }
  void SetBreak(bool Value);

 private:
  friend class TCoolBar;
  TCoolBar* Bar() const;
  void Update();
  TWinControl* control_ = nullptr;
  String text_;
  int width_ = 100, minHeight_ = 25;
  bool break_ = true;
  UINT id_ = 0;
};

class TCoolBands : public TOwnedCollection {
 public:
  explicit TCoolBands(TCoolBar* Owner);
  TCoolBand* Add() { return static_cast<TCoolBand*>(TCollection::Add()); }
  TCoolBand* Items(int Index) const { return static_cast<TCoolBand*>(GetItem(Index)); }
};

class TCoolBar : public TWinControl {
 public:
  const char* ClassName() const override { return "TCoolBar"; }
  explicit TCoolBar(TComponent* AOwner);
  ~TCoolBar() override;
  TCoolBands* Bands() const { return bands_.get(); }
  // The system's band index of a band (-1 when not shown).
  int BandIndex(const TCoolBand* Band) const;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void WndProc(TMessage& m) override;

 protected:
  friend class TCoolBand;
  void CreateParams(TCreateParams& p) override;
  void CreateWnd() override;
  void InsertBands();

 private:
  std::unique_ptr<TCoolBands> bands_;
  UINT nextId_ = 1;
};
